#include "RaidModel/Interface/TapeDrive.h"

#include <cstring>

#include "RaidModel/Interface/SASPhy.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
constexpr unsigned long DEVICE_ATTRIBUTE_ENTRIES = 35;
}

TapeDrive::TapeDrive()
    : PhysicalDevice(nullptr, nullptr, 0, PHYSICAL_DEVICE_TAPE, nullptr, nullptr, nullptr, nullptr, PD_STANDBY, nullptr)
{
}

TapeDrive::TapeDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, const char* vendor, const char* model,
                    const char* serialNumber, const char* firmwareLevel, const char* fruNumber)
    : PhysicalDevice(adapter, channel, deviceID, PHYSICAL_DEVICE_TAPE, vendor, model, serialNumber, firmwareLevel, PD_STANDBY,
                     fruNumber)
{
}

TapeDrive::TapeDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser) : TapeDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "TapeDrive::TapeDrive(Adapter *, Channel *, SimpleXmlParser &)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(DEVICE_ATTRIBUTE_ENTRIES);
    build(parser);
}

TapeDrive::TapeDrive(const TapeDrive& other)
    : PhysicalDevice(other.adapter, other.channel, other.getDeviceID(), other.deviceType, other.vendor, other.model,
                     other.serialNumber, other.firmwareLevel, PD_STANDBY, other.fruNumber)
{
}

TapeDrive::~TapeDrive() = default;

bool TapeDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "TapeDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* TapeDrive::typeName() const
{
    return "TapeDrive";
}

const char* TapeDrive::serializedName() const
{
    return "TapeDrive";
}

void TapeDrive::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
}

void TapeDrive::build(SimpleXmlParser& parser)
{
    buildFromXml(parser);
    // The phys joined before the device's own id was read.
    for (unsigned long i = 0; i < getNumSASPhys(); ++i)
        getSASPhy(i)->setDeviceID(getDeviceID());
}
