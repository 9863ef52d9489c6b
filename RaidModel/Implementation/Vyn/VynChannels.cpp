#include "RaidModel/Implementation/Vyn/VynChannels.h"

#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/StringUtils.h"
#include "common/Writer.h"

#include <vector>

namespace {

bool named(const char* name, const char* own) { return name != nullptr && std::strcmp(name, own) == 0; }

unsigned long channelOf(const _tagFSA_CHANNEL_ENUM_INFO* info) { return info != nullptr ? info->busIndex : 0; }

}  // namespace

VynSCSIChannel::VynSCSIChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SCSIChannel(adapter, channelOf(info),
                  info != nullptr ? static_cast<unsigned long>(static_cast<uint32_t>(info->adapterScsiId)) : 0,
                  speed),
      VynChannelRecord(this),
      vynAdapter(adapter)
{
    new VynChannelAttach(this, info);
}

VynSCSIChannel::~VynSCSIChannel() = default;

bool VynSCSIChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSCSIChannel") || SCSIChannel::isInstanceOf(name);
}

const char* VynSCSIChannel::typeName() const { return "VynSCSIChannel"; }

Ret VynSCSIChannel::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSCSIChannel::identifyDevice(bool bIdentify)");
    return identifyChannel(on);
}

VynSATAChannel::VynSATAChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SATAChannel(adapter, channelOf(info), speed, info != nullptr ? info->portsMapped : 0),
      VynChannelRecord(this),
      vynAdapter(adapter)
{
    new VynChannelAttach(this, info);
}

VynSATAChannel::~VynSATAChannel() = default;

bool VynSATAChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSATAChannel") || SATAChannel::isInstanceOf(name);
}

const char* VynSATAChannel::typeName() const { return "VynSATAChannel"; }

Ret VynSATAChannel::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSATAChannel::identifyDevice(bool bIdentify)");
    return identifyChannel(on);
}

VynSASChannel::VynSASChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed)
    : SASChannel(adapter, channelOf(info), speed), VynChannelRecord(this), vynAdapter(adapter)
{
    new VynChannelAttach(this, info);
}

VynSASChannel::~VynSASChannel() = default;

bool VynSASChannel::isInstanceOf(const char* name) const
{
    return named(name, "VynSASChannel") || SASChannel::isInstanceOf(name);
}

const char* VynSASChannel::typeName() const { return "VynSASChannel"; }

Ret VynSASChannel::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSASChannel::identifyDevice(bool bIdentify)");
    return identifyChannel(on);
}

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

VynSASPhy::VynSASPhy(const _FSA_SAS_DISK_PHY_INFO* phy)
{
    if (phy == nullptr)
        return;
    const uint8_t* p = phy->bytes;
    setSASPhyID(p[1]);
    attachedDeviceType = static_cast<EnumSASDeviceType>((p[4] >> 4) & 0x7);
    negotiatedLinkRate = static_cast<EnumSASNegotiatedLinkRate>(p[5] & 0xF);
    initiatorProtocols = 0;
    targetProtocols = 0;
    attachedInitiatorProtocols = p[6];
    attachedTargetProtocols = p[7];
    attachedPhyID = p[24];
    StringUtils::sasAddrToStr(p + 8, sasAddress, 8);
    StringUtils::sasAddrToStr(p + 16, attachedSasAddress, 8);
    // Each rate byte holds the programmed rate above the hardware's.
    programmedMinLinkRate = static_cast<EnumSASProgrammedLinkRate>(p[32] >> 4);
    programmedMaxLinkRate = static_cast<EnumSASProgrammedLinkRate>(p[33] >> 4);
    hardwareMinLinkRate = static_cast<EnumSASHardwareLinkRate>(p[32] & 0xF);
    hardwareMaxLinkRate = static_cast<EnumSASHardwareLinkRate>(p[33] & 0xF);
    phyChangeCount = 0;
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

VynChannelAttach::VynChannelAttach(Channel* owner, const _tagFSA_CHANNEL_ENUM_INFO* info) : channel(owner)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynChannelAttach::VynChannelAttach()");
    std::memset(&record, 0, sizeof record);
    if (channel != nullptr)
        channel->attach(this);
    setFsaInfo(info);
}

VynChannelAttach::~VynChannelAttach()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynChannelAttach::~VynChannelAttach()");
}

bool VynChannelAttach::isInstanceOf(const char* name) const
{
    return named(name, "VynChannelAttach") || Serializable::isInstanceOf(name);
}

const char* VynChannelAttach::typeName() const { return "VynChannelAttach"; }
const char* VynChannelAttach::serializedName() const { return "VynChannelAttach"; }

void VynChannelAttach::setFsaInfo(const _tagFSA_CHANNEL_ENUM_INFO* info)
{
    if (info == nullptr)
        return;
    std::memcpy(&record, info, sizeof record);
    isClustered = record.clustered != 0;
}

void VynChannelAttach::writeTo(Writer* writer) const
{
    Serializable::writeTo(writer);
    writer->writeBool("isPaused", isPaused);
    writer->writeBool("isClustered", isClustered);
    writer->writeUInt("numPortsMapped", record.portsMapped);
    writer->writeUInt("fsaChannelNumber", record.busIndex);
    writer->writeUInt("fsaAdapterScsiID", static_cast<uint32_t>(record.adapterScsiId));
    writer->writeUInt("fsaTargetsAvailable", record.targetsAvailable);
    writer->writeInt("fsaPhysicalType", static_cast<int>(record.channelType));
    writer->writeInt("fsaMaxUsageType", static_cast<int>(record.maxUsageType));
    writer->writeUInt("fsaPartnerChanNum", record.partnerChannel);
    writer->writeUInt("fsaPartnerScsiID", record.partnerScsiId);
    writer->writeInt("fsaChannelStatus", static_cast<int>(record.channelMode));
    writer->writeUInt("fsaMaxSpeedInMbps", record.linkSpeed);
}

Ret VynChannelAttach::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynChannelAttach::identifyDevice(bool bIdentify)");
    Ret ret(0);
    try {
        if (channel == nullptr) {
            vynerror::badParam(ret, "pChannel==NULL", 0);
            return ret;
        }
        std::vector<RaidObject*> drives;
        channel->getChildren(drives, "VynHardDrive", true, true);
        // Every drive is tried; a later failure replaces an earlier one.
        for (RaidObject* drive : drives) {
            const Ret one = static_cast<PhysicalDevice*>(drive)->identifyDevice(on);
            if (one.getReturn() != 0)
                ret = one;
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

const VynChannelAttach* VynChannelRecord::attachment() const
{
    Serializable* attach = self->getAttachment();
    return attach != nullptr && attach->isInstanceOf("VynChannelAttach") ? static_cast<VynChannelAttach*>(attach)
                                                                         : nullptr;
}

bool VynChannelRecord::getIsClustered() const
{
    const VynChannelAttach* a = attachment();
    return a != nullptr && a->IsClustered();
}

bool VynChannelRecord::getIsPaused() const
{
    const VynChannelAttach* a = attachment();
    return a != nullptr && a->IsPaused();
}

uint32_t VynChannelRecord::getFsaChanStatus() const
{
    const VynChannelAttach* a = attachment();
    return a != nullptr ? a->getFsaInfo()->channelMode : 0;
}

uint32_t VynChannelRecord::getClusterPartnerID() const
{
    const VynChannelAttach* a = attachment();
    return a != nullptr ? a->getFsaInfo()->partnerScsiId : 0;
}

Ret VynChannelRecord::identifyChannel(bool on) const
{
    Ret ret(0);
    try {
        Serializable* attach = self->getAttachment();
        if (attach == nullptr) {
            vynerror::badParam(ret, "pAttach==NULL", 0);
        } else if (!attach->isInstanceOf("VynChannelAttach")) {
            vynerror::badParam(ret, "pAttach != VynChannelAttach", 0);
        } else {
            ret = static_cast<VynChannelAttach*>(attach)->identifyDevice(on);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
