#ifndef VYN_RAIDMODEL_INTERFACE_MODELENUMS_H
#define VYN_RAIDMODEL_INTERFACE_MODELENUMS_H

// Enumerations of the storage model that the library's operations take.
// Each is a 32-bit integer on the wire and in saved configurations; values
// that come from firmware or command words may lie outside the named ones,
// hence the fixed underlying type.

enum EnumAlarmState : int {
    ALARM_NONE = 0,
    ALARM_ON = 1,
    ALARM_OFF = 2,
    ALARM_SILENCE = 3,
    ALARM_TEST = 4,
    ALARM_CLEAR_TEST = 5
};

enum EnumPhysicalDeviceState : int {
    PD_READY = 0,
    PD_ONLINE = 1,
    PD_FAILED = 2,
    PD_STANDBY = 3,
    PD_HOT_SPARE = 4,
    PD_REBUILDING = 5,
    PD_PARTITIONED = 6,
    PD_NOT_EXISTING = 7,
    PD_UNSUPPORTED = 8,
    PD_COPYING_BACK = 9
};

enum EnumLogicalDeviceState : int {
    LD_NOT_EXISTING = 0,
    LD_FAILED = 1,
    LD_OPTIMAL = 2,
    LD_DEGRADED = 3,
    LD_RECONFIGURING = 4,
    LD_SYSTEM = 5,
    LD_DEGRADED_RECONFIGURING = 6,
    LD_DEGRADED_SYSTEM = 7,
    LD_SUBOPTIMAL = 8,
    LD_SUBOPTIMAL_RECONFIGURING = 9,
    LD_SUBOPTIMAL_SYSTEM = 10
};

enum EnumConfigurationSource : int {};
enum EnumLogTypeRequest : int {};
enum EnumHardDriveCacheMode : int {};
enum EnumPerformanceMode : int {};
enum EnumLogicalDriveCacheMode : int {};
enum EnumInitMethod : int {};
enum EnumStripeSize : int {};
enum EnumLogicalDeviceFOCmd : int {};
enum EnumIdentifyOption : int {};
enum EnumDiskDiagType : int {};
enum EnumAdapterDiagType : int {};
enum EnumHardDriveTask : int {};
enum EnumOrvexaPreferredSetting : int {};
enum EnumOrvexaWriteCachePreferredSetting : int {};
enum EnumOrvexaWriteCachePolicySetting : int {};

#endif
