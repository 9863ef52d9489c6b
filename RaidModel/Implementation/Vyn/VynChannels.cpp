#include "RaidModel/Implementation/Vyn/VynChannels.h"

#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/StringUtils.h"

namespace {

bool named(const char* name, const char* own) { return name != nullptr && std::strcmp(name, own) == 0; }

unsigned long channelOf(const _tagFSA_CHANNEL_ENUM_INFO* info) { return info != nullptr ? info->busIndex : 0; }

}  // namespace

VynSCSIChannel::VynSCSIChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SCSIChannel(adapter, channelOf(info),
                  info != nullptr ? static_cast<unsigned long>(static_cast<uint32_t>(info->adapterScsiId)) : 0,
                  speed),
      vynAdapter(adapter)
{
}

VynSCSIChannel::~VynSCSIChannel() = default;

bool VynSCSIChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSCSIChannel") || SCSIChannel::isInstanceOf(name);
}

const char* VynSCSIChannel::typeName() const { return "VynSCSIChannel"; }

VynSATAChannel::VynSATAChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SATAChannel(adapter, channelOf(info), speed, info != nullptr ? info->portsMapped : 0), vynAdapter(adapter)
{
}

VynSATAChannel::~VynSATAChannel() = default;

bool VynSATAChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSATAChannel") || SATAChannel::isInstanceOf(name);
}

const char* VynSATAChannel::typeName() const { return "VynSATAChannel"; }

VynSASChannel::VynSASChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SASChannel(adapter, channelOf(info), speed), vynAdapter(adapter)
{
}

VynSASChannel::~VynSASChannel() = default;

bool VynSASChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSASChannel") || SASChannel::isInstanceOf(name);
}

const char* VynSASChannel::typeName() const { return "VynSASChannel"; }

VynSASPhy::VynSASPhy(const _FSA_SAS_PHY_ENTITY* phy)
{
    if (phy == nullptr)
        return;
    const uint8_t* p = phy->bytes;
    setSASPhyID(p[20]);
    attachedDeviceType = static_cast<EnumSASDeviceType>(p[36]);
    negotiatedLinkRate = static_cast<EnumSASNegotiatedLinkRate>(p[29]);
    initiatorProtocols = p[2];
    targetProtocols = p[3];
    attachedInitiatorProtocols = p[38];
    attachedTargetProtocols = p[39];
    attachedPhyID = p[56];
    StringUtils::sasAddrToStr(p + 12, sasAddress, 8);
    StringUtils::sasAddrToStr(p + 48, attachedSasAddress, 8);
    programmedMinLinkRate = static_cast<EnumSASProgrammedLinkRate>(8);
    programmedMaxLinkRate = static_cast<EnumSASProgrammedLinkRate>(9);
    hardwareMinLinkRate = static_cast<EnumSASHardwareLinkRate>(p[30]);
    hardwareMaxLinkRate = static_cast<EnumSASHardwareLinkRate>(p[31]);
    phyChangeCount = p[32];
    virtualPhy = false;
    pathTimeout = 0;
    routingType = static_cast<EnumSASRoutingType>(0);
}

VynSASPhy::~VynSASPhy() = default;

bool VynSASPhy::isInstanceOf(const char* name) const
{
    return named(name, "VynSASPhy") || SASPhy::isInstanceOf(name);
}

const char* VynSASPhy::typeName() const { return "VynSASPhy"; }
const char* VynSASPhy::serializedName() const { return "VynSASPhy"; }

VynSASConnector::VynSASConnector(const fsa_dev_info_struct* lane, const fsa_connector_info_struct* connector)
{
    if (lane != nullptr) {
        const uint32_t device = faGetLe32(lane->bytes);
        channelID = static_cast<int32_t>(device >> 24);
        deviceID = static_cast<int32_t>(device & 0xFFFFFF);
        laneID = lane->bytes[5];
        phyID = lane->bytes[6];
        StringUtils::sasAddrToStr(lane->bytes + 8, sasAddress, 8);
    }
    if (connector != nullptr) {
        connectorID = connector->bytes[0];
        connectorType = connector->bytes[1];
        StringUtils::safeASCIICopy(connectorName, connector->bytes + 4, 8);
        connectorName[8] = '\0';
    }
}

VynSASConnector::~VynSASConnector() = default;

bool VynSASConnector::isInstanceOf(const char* name) const
{
    return named(name, "VynSASConnector") || SASConnector::isInstanceOf(name);
}

const char* VynSASConnector::typeName() const { return "VynSASConnector"; }
const char* VynSASConnector::serializedName() const { return "VynSASConnector"; }
