#include "RaidModel/Interface/CDROMDrive.h"

#include <cstring>

#include "RaidModel/Interface/SASPhy.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
constexpr unsigned long DEVICE_ATTRIBUTE_ENTRIES = 35;
}

CDROMDrive::CDROMDrive()
    : PhysicalDevice(nullptr, nullptr, 0, PHYSICAL_DEVICE_CDROM, nullptr, nullptr, nullptr, nullptr, PD_STANDBY, nullptr)
{
}

CDROMDrive::CDROMDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, char* vendor, char* model,
                      char* serialNumber, char* firmwareLevel, char* fruNumber)
    : PhysicalDevice(adapter, channel, deviceID, PHYSICAL_DEVICE_CDROM, vendor, model, serialNumber, firmwareLevel, PD_STANDBY,
                     fruNumber)
{
}

CDROMDrive::CDROMDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser) : CDROMDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "CDROMDrive::CDROMDrive(Adapter *, Channel *, SimpleXmlParser &)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(DEVICE_ATTRIBUTE_ENTRIES);
    build(parser);
}

CDROMDrive::CDROMDrive(const CDROMDrive& other)
    : PhysicalDevice(other.adapter, other.channel, other.getDeviceID(), other.deviceType, other.vendor, other.model,
                     other.serialNumber, other.firmwareLevel, PD_STANDBY, other.fruNumber)
{
}

CDROMDrive::~CDROMDrive() = default;

bool CDROMDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "CDROMDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* CDROMDrive::typeName() const
{
    return "CDROMDrive";
}

const char* CDROMDrive::serializedName() const
{
    return "CDROMDrive";
}

void CDROMDrive::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
}

void CDROMDrive::build(SimpleXmlParser& parser)
{
    buildFromXml(parser);
    // The phys joined before the device's own id was read.
    for (unsigned long i = 0; i < getNumSASPhys(); ++i)
        getSASPhy(i)->setDeviceID(getDeviceID());
}
