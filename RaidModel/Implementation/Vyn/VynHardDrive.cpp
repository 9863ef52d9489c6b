#include "RaidModel/Implementation/Vyn/VynHardDrive.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
char emptyText[1] = "";
}  // namespace

VynHardDrive::VynHardDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size)
    : HardDrive(adapter, channel, deviceID, size, PD_READY, emptyText, emptyText, emptyText, emptyText, false,
                static_cast<EnumHardDriveCacheMode>(4), false, false, false, emptyText, false),
      vynAdapter(adapter)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynHardDrive::VynHardDrive()");
}

VynHardDrive::~VynHardDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynHardDrive::~VynHardDrive()");
}

bool VynHardDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynHardDrive") == 0) || HardDrive::isInstanceOf(name);
}

const char* VynHardDrive::typeName() const { return "VynHardDrive"; }

Ret VynHardDrive::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::identifyDevice()");
    Ret ret(0);
    Serializable* attachment = getAttachment();
    if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach")) {
        ret.setBadParam(0);
        VynErrorPrintf(__FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***", "pAttach==NULL", 0);
        return ret;
    }
    try {
        static_cast<VynPhysicalDeviceAttach*>(attachment)->identifyDevice(on, ret);
    } catch (...) {
        VynErrorPrintf(__FILE__, __LINE__, "*** Exception Caught ***");
        ret.setException();
    }
    return ret;
}
