#include "RaidModel/Implementation/Vyn/VynAdapter.h"

// Not available yet: each answers as the model does.

Ret VynAdapter::getProgress(Progress& progress) { return Adapter::getProgress(progress); }
Ret VynAdapter::getProgress(ProgressCollection& collection) { return Adapter::getProgress(collection); }
Ret VynAdapter::scanForDrives(bool flag) { return Adapter::scanForDrives(flag); }
Ret VynAdapter::abortTask(unsigned long taskID) { return Adapter::abortTask(taskID); }
Ret VynAdapter::setTaskPriority(unsigned long taskID, EnumPriorityLevel priority)
{
    return Adapter::setTaskPriority(taskID, priority);
}
Ret VynAdapter::startBatteryCalibration() { return Adapter::startBatteryCalibration(); }
Ret VynAdapter::setAlarmState(EnumAlarmState state) { return Adapter::setAlarmState(state); }
Ret VynAdapter::setAutoFailoverEnabled(bool enable) { return Adapter::setAutoFailoverEnabled(enable); }
Ret VynAdapter::resetController() { return Adapter::resetController(); }
Ret VynAdapter::setPhysicalDriveCache(EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas)
{
    return Adapter::setPhysicalDriveCache(sata, sas);
}
Ret VynAdapter::isOrvexaHasDirtyData() { return Adapter::isOrvexaHasDirtyData(); }
