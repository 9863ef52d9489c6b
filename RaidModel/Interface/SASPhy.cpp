#include "RaidModel/Interface/SASPhy.h"

#include <cstring>

#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/Writer.h"

SASPhy::SASPhy() = default;

SASPhy::SASPhy(unsigned long phyID, const char* sasAddressIN, unsigned char initiatorProtocolsIN,
               unsigned char targetProtocolsIN, unsigned long attachedPhyIDIN,
               const char* attachedSasAddressIN, unsigned char attachedInitiatorProtocolsIN,
               unsigned char attachedTargetProtocolsIN, EnumSASDeviceType attachedDeviceTypeIN,
               EnumSASNegotiatedLinkRate negotiatedRate, EnumSASProgrammedLinkRate progMin,
               EnumSASProgrammedLinkRate progMax, EnumSASHardwareLinkRate hwMin,
               EnumSASHardwareLinkRate hwMax, unsigned char phyChangeCountIN, bool virtualPhyIN,
               unsigned char pathTimeoutIN, EnumSASRoutingType routingTypeIN)
    : attachedDeviceType(attachedDeviceTypeIN),
      negotiatedLinkRate(negotiatedRate),
      initiatorProtocols(initiatorProtocolsIN),
      targetProtocols(targetProtocolsIN),
      attachedInitiatorProtocols(attachedInitiatorProtocolsIN),
      attachedTargetProtocols(attachedTargetProtocolsIN),
      attachedPhyID(static_cast<std::uint32_t>(attachedPhyIDIN)),
      programmedMinLinkRate(progMin),
      programmedMaxLinkRate(progMax),
      hardwareMinLinkRate(hwMin),
      hardwareMaxLinkRate(hwMax),
      phyChangeCount(phyChangeCountIN),
      virtualPhy(virtualPhyIN),
      pathTimeout(pathTimeoutIN),
      routingType(routingTypeIN)
{
    setSASPhyID(phyID);
    copyTextField(sasAddress, sasAddressIN);
    copyTextField(attachedSasAddress, attachedSasAddressIN);
}

SASPhy::SASPhy(SimpleXmlParser& parser)
{
    getAttributes().setInitElements(13);
    readXmlElement(*this, parser, "SASPhy", [](SimpleXmlParser&) {});
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    copyTextField(sasAddress, a.GetValue("SASaddress"));
    copyTextField(attachedSasAddress, a.GetValue("attachedSASaddress"));
    initiatorProtocols = static_cast<std::uint8_t>(a.GetLong("initiatorProtocols"));
    targetProtocols = static_cast<std::uint8_t>(a.GetLong("targetProtocols"));
    attachedPhyID = static_cast<std::uint32_t>(a.GetLong("attachedPhyID"));
    attachedInitiatorProtocols = static_cast<std::uint8_t>(a.GetLong("attachedInitiatorProtocols"));
    attachedTargetProtocols = static_cast<std::uint8_t>(a.GetLong("attachedTargetProtocols"));
    attachedDeviceType = static_cast<EnumSASDeviceType>(a.GetLong("attachedDeviceType"));
    negotiatedLinkRate = static_cast<EnumSASNegotiatedLinkRate>(a.GetLong("negPhyLinkRate"));
    programmedMinLinkRate = static_cast<EnumSASProgrammedLinkRate>(a.GetLong("progMinPhyLinkRate"));
    programmedMaxLinkRate = static_cast<EnumSASProgrammedLinkRate>(a.GetLong("progMaxPhyLinkRate"));
    hardwareMinLinkRate = static_cast<EnumSASHardwareLinkRate>(a.GetLong("hwMinPhyLinkRate"));
    hardwareMaxLinkRate = static_cast<EnumSASHardwareLinkRate>(a.GetLong("hwMaxPhyLinkRate"));
    phyChangeCount = static_cast<std::uint8_t>(a.GetLong("phyChangeCount"));
    virtualPhy = a.GetBool("virtualPhy");
    pathTimeout = static_cast<std::uint8_t>(a.GetLong("pathTimeout"));
    routingType = static_cast<EnumSASRoutingType>(a.GetLong("routingType"));
}

SASPhy::SASPhy(const SASPhy& other) : RaidObject()
{
    copyFields(other);
}

SASPhy& SASPhy::operator=(const SASPhy& other)
{
    if (this != &other) {
        copyFields(other);
    }
    return *this;
}

SASPhy::~SASPhy() = default;

void SASPhy::copyFields(const SASPhy& other)
{
    setSASPhyID(other.getSASPhyID());
    attachedDeviceType = other.attachedDeviceType;
    negotiatedLinkRate = other.negotiatedLinkRate;
    initiatorProtocols = other.initiatorProtocols;
    targetProtocols = other.targetProtocols;
    attachedInitiatorProtocols = other.attachedInitiatorProtocols;
    attachedTargetProtocols = other.attachedTargetProtocols;
    std::memcpy(sasAddress, other.sasAddress, sizeof(sasAddress));
    std::memcpy(attachedSasAddress, other.attachedSasAddress, sizeof(attachedSasAddress));
    attachedPhyID = other.attachedPhyID;
    programmedMinLinkRate = other.programmedMinLinkRate;
    programmedMaxLinkRate = other.programmedMaxLinkRate;
    hardwareMinLinkRate = other.hardwareMinLinkRate;
    hardwareMaxLinkRate = other.hardwareMaxLinkRate;
    phyChangeCount = other.phyChangeCount;
    virtualPhy = other.virtualPhy;
    pathTimeout = other.pathTimeout;
    routingType = other.routingType;
}

bool SASPhy::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SASPhy") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* SASPhy::typeName() const
{
    return "SASPhy";
}

const char* SASPhy::serializedName() const
{
    return "SASPhy";
}

void SASPhy::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeString("SASaddress", sasAddress);
    writer->writeInt("initiatorProtocols", initiatorProtocols);
    writer->writeInt("targetProtocols", targetProtocols);
    writer->writeInt("attachedPhyID", static_cast<int>(attachedPhyID));
    writer->writeString("attachedSASaddress", attachedSasAddress);
    writer->writeInt("attachedInitiatorProtocols", attachedInitiatorProtocols);
    writer->writeInt("attachedTargetProtocols", attachedTargetProtocols);
    writer->writeInt("attachedDeviceType", attachedDeviceType);
    writer->writeInt("negPhyLinkRate", negotiatedLinkRate);
    writer->writeInt("progMinPhyLinkRate", programmedMinLinkRate);
    writer->writeInt("progMaxPhyLinkRate", programmedMaxLinkRate);
    writer->writeInt("hwMinPhyLinkRate", hardwareMinLinkRate);
    writer->writeInt("hwMaxPhyLinkRate", hardwareMaxLinkRate);
    writer->writeInt("phyChangeCount", phyChangeCount);
    writer->writeBool("virtualPhy", virtualPhy);
    writer->writeInt("pathTimeout", pathTimeout);
    writer->writeInt("routingType", routingType);
}
