#include "RaidModel/Interface/OtherDevice.h"

#include <cstring>

#include "RaidModel/Interface/SASPhy.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
constexpr unsigned long DEVICE_ATTRIBUTE_ENTRIES = 35;
}

OtherDevice::OtherDevice()
    : PhysicalDevice(nullptr, nullptr, 0, static_cast<EnumPhysicalDeviceType>(DEFAULT_TYPE), nullptr, nullptr,
                     nullptr, nullptr, PD_STANDBY, nullptr)
{
}

OtherDevice::OtherDevice(Adapter* adapter, Channel* channel, unsigned long deviceID, EnumPhysicalDeviceType type,
                         char* vendor, char* model, char* serialNumber, char* firmwareLevel, char* fruNumber)
    : PhysicalDevice(adapter, channel, deviceID, type, vendor, model, serialNumber, firmwareLevel, PD_STANDBY,
                     fruNumber)
{
}

OtherDevice::OtherDevice(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser) : OtherDevice()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "OtherDevice::OtherDevice(Adapter *, Channel *, SimpleXmlParser &)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(DEVICE_ATTRIBUTE_ENTRIES);
    build(parser);
}

OtherDevice::OtherDevice(const OtherDevice& other)
    : PhysicalDevice(other.adapter, other.channel, other.getDeviceID(), other.deviceType, other.vendor, other.model,
                     other.serialNumber, other.firmwareLevel, PD_STANDBY, other.fruNumber)
{
}

OtherDevice::~OtherDevice() = default;

bool OtherDevice::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "OtherDevice") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* OtherDevice::typeName() const
{
    return "OtherDevice";
}

const char* OtherDevice::elementName(int type)
{
    switch (type) {
    case 0:
        return "RemovableDrive";
    case 2:
        return "Printer";
    case 4:
        return "WormDrive";
    case 6:
        return "Scanner";
    case 7:
        return "OpticalDrive";
    case 8:
        return "MediaChanger";
    case 9:
        return "CommDevice";
    default:
        return "UnknownDevice";
    }
}

bool OtherDevice::isElementName(const char* tag)
{
    static const char* const names[] = {"RemovableDrive", "Printer",    "WormDrive",    "Scanner",
                                        "OpticalDrive",   "MediaChanger", "CommDevice", "UnknownDevice"};
    for (const char* name : names) {
        if (tag != nullptr && std::strcmp(tag, name) == 0) {
            return true;
        }
    }
    return false;
}

const char* OtherDevice::serializedName() const
{
    return elementName(deviceType);
}

void OtherDevice::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
}

// The element is recognised by the tag it was started on: its name by type
// is not known before "deviceType" has been read.
void OtherDevice::build(SimpleXmlParser& parser)
{
    buildFromXml(parser);
    // The phys joined before the device's own id was read.
    for (unsigned long i = 0; i < getNumSASPhys(); ++i)
        getSASPhy(i)->setDeviceID(getDeviceID());
}
