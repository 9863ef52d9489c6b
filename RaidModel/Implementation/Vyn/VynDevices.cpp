#include "RaidModel/Implementation/Vyn/VynDevices.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

char emptyText[1] = "";

bool named(const char* name, const char* own) { return name != nullptr && std::strcmp(name, own) == 0; }

}  // namespace

VynCDROMDrive::VynCDROMDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : CDROMDrive(adapter, channel, deviceID, emptyText, emptyText, emptyText, emptyText, emptyText)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynCDROMDrive::VynCDROMDrive()");
}

VynCDROMDrive::~VynCDROMDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynCDROMDrive::~VynCDROMDrive()");
}

bool VynCDROMDrive::isInstanceOf(const char* name) const
{
    return named(name, "VynCDROMDrive") || CDROMDrive::isInstanceOf(name);
}

const char* VynCDROMDrive::typeName() const { return "VynCDROMDrive"; }

VynTapeDrive::VynTapeDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : TapeDrive(adapter, channel, deviceID, "", "", "", "", "")
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynTapeDrive::VynTapeDrive()");
}

VynTapeDrive::~VynTapeDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynTapeDrive::~VynTapeDrive()");
}

bool VynTapeDrive::isInstanceOf(const char* name) const
{
    return named(name, "VynTapeDrive") || TapeDrive::isInstanceOf(name);
}

const char* VynTapeDrive::typeName() const { return "VynTapeDrive"; }

VynOtherDevice::VynOtherDevice(VynAdapter* adapter, Channel* channel, unsigned long deviceID,
                               EnumPhysicalDeviceType type)
    : OtherDevice(adapter, channel, deviceID, type, emptyText, emptyText, emptyText, emptyText, emptyText)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynOtherDevice::VynOtherDevice()");
}

VynOtherDevice::~VynOtherDevice()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynOtherDevice::~VynOtherDevice()");
}

bool VynOtherDevice::isInstanceOf(const char* name) const
{
    return named(name, "VynOtherDevice") || OtherDevice::isInstanceOf(name);
}

const char* VynOtherDevice::typeName() const { return "VynOtherDevice"; }
