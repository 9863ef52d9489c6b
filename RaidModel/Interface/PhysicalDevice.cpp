#include "RaidModel/Interface/PhysicalDevice.h"

#include <cstdio>
#include <cstring>

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

Ret notSupported()
{
    return Ret(-1);
}

}  // namespace

PhysicalDevice::PhysicalDevice()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "PhysicalDevice::PhysicalDevice()");
}

PhysicalDevice::PhysicalDevice(Adapter* adapterIN, Channel* channelIN, unsigned long deviceID,
                               EnumPhysicalDeviceType deviceTypeIN, const char* vendorIN,
                               const char* modelIN, const char* serialNumberIN,
                               const char* firmwareLevelIN, EnumPhysicalDeviceState stateIN,
                               const char* fruNumberIN)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "PhysicalDevice::PhysicalDevice(Adapter *, ...)");
    adapter = adapterIN;
    channel = channelIN;
    setDeviceID(deviceID);
    deviceType = deviceTypeIN;
    state = stateIN;
    copyTextField(vendor, vendorIN);
    copyTextField(model, modelIN);
    copyTextField(serialNumber, serialNumberIN);
    copyTextField(firmwareLevel, firmwareLevelIN);
    copyTextField(fruNumber, fruNumberIN);
    interfaceType = channel != nullptr ? static_cast<int>(channel->getChannelType()) : 0;
}

PhysicalDevice::PhysicalDevice(const PhysicalDevice& other)
    : RaidObject(),
      adapter(other.adapter),
      channel(other.channel),
      deviceType(other.deviceType),
      state(other.state),
      setSpeed(other.setSpeed),
      negotiatedSpeed(other.negotiatedSpeed),
      enumeratedSetSpeed(other.enumeratedSetSpeed),
      enumeratedNegotiatedSpeed(other.enumeratedNegotiatedSpeed),
      wwn0(other.wwn0),
      wwn1(other.wwn1),
      I_T_nexusLossTime(other.I_T_nexusLossTime),
      I_T_nexusLossTimeChangeable(other.I_T_nexusLossTimeChangeable),
      interfaceType(other.interfaceType),
      unsupportedDeviceReason(other.unsupportedDeviceReason)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "PhysicalDevice::PhysicalDevice(const PhysicalDevice &)");
    setDeviceID(other.getDeviceID());
    std::memcpy(vendor, other.vendor, sizeof(vendor));
    std::memcpy(model, other.model, sizeof(model));
    std::memcpy(serialNumber, other.serialNumber, sizeof(serialNumber));
    std::memcpy(firmwareLevel, other.firmwareLevel, sizeof(firmwareLevel));
    std::memcpy(fruNumber, other.fruNumber, sizeof(fruNumber));
    updateWWN();
}

PhysicalDevice& PhysicalDevice::operator=(const PhysicalDevice& other)
{
    if (this == &other) {
        return *this;
    }
    adapter = other.adapter;
    channel = other.channel;
    setDeviceID(other.getDeviceID());
    deviceType = other.deviceType;
    state = other.state;
    std::memcpy(vendor, other.vendor, sizeof(vendor));
    std::memcpy(model, other.model, sizeof(model));
    std::memcpy(serialNumber, other.serialNumber, sizeof(serialNumber));
    std::memcpy(firmwareLevel, other.firmwareLevel, sizeof(firmwareLevel));
    std::memcpy(fruNumber, other.fruNumber, sizeof(fruNumber));
    wwn0 = other.wwn0;
    wwn1 = other.wwn1;
    updateWWN();
    return *this;
}

PhysicalDevice::~PhysicalDevice()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "PhysicalDevice::~PhysicalDevice()");
}

bool PhysicalDevice::operator==(const PhysicalDevice& other) const
{
    return adapter == other.adapter && channel == other.channel
        && getDeviceID() == other.getDeviceID() && deviceType == other.deviceType
        && std::strcmp(vendor, other.vendor) == 0 && std::strcmp(model, other.model) == 0
        && std::strcmp(serialNumber, other.serialNumber) == 0
        && std::strcmp(firmwareLevel, other.firmwareLevel) == 0
        && std::strcmp(fruNumber, other.fruNumber) == 0 && state == other.state;
}

bool PhysicalDevice::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "PhysicalDevice") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* PhysicalDevice::typeName() const
{
    return "PhysicalDevice";
}

const char* PhysicalDevice::serializedName() const
{
    return "PhysicalDevice";
}

// The writer takes device texts as mutable, but leaves them as they are.
void PhysicalDevice::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("deviceType", deviceType);
    writer->writeASCIIString("vendor", const_cast<char*>(vendor));
    writer->writeASCIIString("model", const_cast<char*>(model));
    writer->writeASCIIString("serialNumber", const_cast<char*>(serialNumber));
    writer->writeASCIIString("firmwareLevel", const_cast<char*>(firmwareLevel));
    writer->writeASCIIString("fruNumber", const_cast<char*>(fruNumber));
    writer->writeInt("state", state);
    writer->writeInt("maxSpeed", enumeratedSetSpeed);
    writer->writeInt("negotiatedSpeed", enumeratedNegotiatedSpeed);
    writer->writeULong("wwn0", wwn0);
    writer->writeULong("wwn1", wwn1);
    writer->writeASCIIString("wwn", const_cast<char*>(wwn));
    writer->writeUShort("I_T_nexusLossTime", I_T_nexusLossTime);
    writer->writeBool("I_T_nexusLossTimeChangeable", I_T_nexusLossTimeChangeable);
    writer->writeInt("interfaceType", interfaceType);
    writer->writeInt("sataPort", sataPort);
    writer->writeInt("sataMultiplierPort", sataMultiplierPort);
    writer->writeULong("unsupportedDeviceReason", unsupportedDeviceReason);
}

void PhysicalDevice::writeToXML(Writer* writer) const
{
    RaidObject::writeToXML(writer);
    writer->writeInt("deviceType", deviceType);
    writer->writeInt("state", state);
}

void PhysicalDevice::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    descendant->setDeviceID(getDeviceID());
    if (descendant->isInstanceOf("SASPhy")) {
        sasPhys.push_back(static_cast<SASPhy*>(descendant));
    }
}

Ret PhysicalDevice::setState(EnumPhysicalDeviceState)
{
    return notSupported();
}

Ret PhysicalDevice::scsiPassThruCommand(SCSICommand&)
{
    return notSupported();
}

Ret PhysicalDevice::upgradeFirmware(const char*, bool)
{
    return notSupported();
}

Ret PhysicalDevice::identifyDevice(bool)
{
    return notSupported();
}

void PhysicalDevice::setVendor(const char* text)
{
    copyTextField(vendor, text);
}

void PhysicalDevice::setModel(const char* text)
{
    copyTextField(model, text);
}

void PhysicalDevice::setSerialNumber(const char* text)
{
    copyTextField(serialNumber, text);
}

void PhysicalDevice::setWWN0(unsigned long word)
{
    wwn0 = static_cast<std::uint32_t>(word);
    updateWWN();
}

void PhysicalDevice::setWWN1(unsigned long word)
{
    wwn1 = static_cast<std::uint32_t>(word);
    updateWWN();
}

SASPhy* PhysicalDevice::getSASPhy(unsigned long i) const
{
    return i < sasPhys.size() ? sasPhys[i] : nullptr;
}

// Each word's bytes from the least significant up, as the firmware lays the
// name out in memory.
void PhysicalDevice::updateWWN()
{
    char text[WWN_TEXT_SIZE] = {};
    const std::uint32_t words[2] = {wwn0, wwn1};
    for (int w = 0; w < 2; ++w) {
        for (int b = 0; b < 4; ++b) {
            const unsigned byte = (words[w] >> (8 * b)) & 0xFFu;
            std::snprintf(text + 8 * w + 2 * b, 3, "%02X", byte);
        }
    }
    std::memcpy(wwn, text, sizeof(wwn));
}

void PhysicalDevice::build()
{
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    deviceType = static_cast<EnumPhysicalDeviceType>(a.GetLong("deviceType"));
    copyTextField(vendor, a.GetValue("vendor"));
    copyTextField(model, a.GetValue("model"));
    copyTextField(serialNumber, a.GetValue("serialNumber"));
    copyTextField(firmwareLevel, a.GetValue("firmwareLevel"));
    copyTextField(fruNumber, a.GetValue("fruNumber"));
    state = static_cast<EnumPhysicalDeviceState>(a.GetLong("state"));
    enumeratedSetSpeed = static_cast<int>(a.GetLong("maxSpeed"));
    enumeratedNegotiatedSpeed = static_cast<int>(a.GetLong("negotiatedSpeed"));
    wwn0 = static_cast<std::uint32_t>(a.GetULong("wwn0"));
    wwn1 = static_cast<std::uint32_t>(a.GetULong("wwn1"));
    copyTextField(wwn, a.GetValue("wwn"));
    I_T_nexusLossTime = static_cast<std::uint16_t>(a.GetULong("I_T_nexusLossTime"));
    I_T_nexusLossTimeChangeable = a.GetBool("I_T_nexusLossTimeChangeable");
    interfaceType = static_cast<int>(a.GetULong("interfaceType"));
    sataPort = static_cast<int>(a.GetLong("sataPort"));
    unsupportedDeviceReason = static_cast<std::uint32_t>(a.GetULong("unsupportedDeviceReason"));
}

void PhysicalDevice::buildFromXml(SimpleXmlParser& parser)
{
    readXmlElement(*this, parser, currentXmlTag(parser, serializedName()), [this](SimpleXmlParser& p) {
        if (p.tagIs("SASPhy")) {
            addChild(new SASPhy(p));
        }
    });
    build();
}
