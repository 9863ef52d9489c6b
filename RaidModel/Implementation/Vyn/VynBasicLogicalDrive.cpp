#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

VynBasicLogicalDrive::VynBasicLogicalDrive(VynLogicalDriveInfo* recordIN, VynAdapter* adapter,
                                           unsigned long logicalDriveID, EnumRaidLevel raidLevel,
                                           unsigned long long dataSpace, unsigned long long paritySpace,
                                           EnumLogicalDeviceState state, bool blockedAccess)
    : BasicLogicalDrive(adapter, nullptr, logicalDriveID, state, raidLevel, dataSpace, paritySpace, blockedAccess,
                        static_cast<EnumLogicalDriveCacheMode>(0), false, false),
      record(recordIN),
      vynAdapter(adapter)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynBasicLogicalDrive::VynBasicLogicalDrive()");
}

VynBasicLogicalDrive::~VynBasicLogicalDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynBasicLogicalDrive::~VynBasicLogicalDrive()");
}

bool VynBasicLogicalDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynBasicLogicalDrive") == 0) ||
           BasicLogicalDrive::isInstanceOf(name);
}

const char* VynBasicLogicalDrive::typeName() const { return "VynBasicLogicalDrive"; }

const uint8_t* VynBasicLogicalDrive::getContainer() const
{
    return record != nullptr ? record->getContainer() : nullptr;
}
