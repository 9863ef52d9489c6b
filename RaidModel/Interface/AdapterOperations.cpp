#include "RaidModel/Interface/Adapter.h"

#include "RaidModel/Interface/GenericRecord.h"
#include "common/AddrCollection.h"
#include "common/Buffer.h"
#include "common/LogicalDriveSpec.h"
#include "common/Progress.h"
#include "common/StorEvent.h"

// The operations below need a controller; a controller family overrides
// them. On a bare adapter (one read from XML, say) they answer "not
// supported" and change nothing.
namespace {

Ret notSupported()
{
    return Ret(-1);
}

}  // namespace

Ret Adapter::getProgress(Progress&)
{
    return notSupported();
}

Ret Adapter::getProgress(ProgressCollection& collection)
{
    Progress progress;
    Ret ret = getProgress(progress);
    if (ret.getReturn() == 0) {
        collection.add(progress);
    }
    return ret;
}

Ret Adapter::scanForDrives(bool) { return notSupported(); }
Ret Adapter::abortTask(unsigned long) { return notSupported(); }
Ret Adapter::setTaskPriority(unsigned long, EnumPriorityLevel) { return notSupported(); }
Ret Adapter::getEvents(std::string&) { return notSupported(); }
Ret Adapter::getEvents(unsigned long, std::string&) { return notSupported(); }
Ret Adapter::getEvents(unsigned long, std::vector<GenericRecord>&) { return notSupported(); }
Ret Adapter::getEvents(StorEventCollection&) { return notSupported(); }
Ret Adapter::getEvents(unsigned long, StorEventCollection&) { return notSupported(); }
Ret Adapter::createLogicalDrive(const LogicalDriveSpec&) { return notSupported(); }
Ret Adapter::identifyDevice(bool) { return notSupported(); }
Ret Adapter::getConfiguration(Buffer&) { return notSupported(); }
Ret Adapter::setConfiguration(const Buffer&) { return notSupported(); }

Ret Adapter::getControllerLog(EnumLogTypeRequest, char*, unsigned long&, unsigned int)
{
    return notSupported();
}

Ret Adapter::getControllerLog(EnumLogTypeRequest, char*, unsigned long&, char*, unsigned long&)
{
    return notSupported();
}

Ret Adapter::clearControllerLog(EnumLogTypeRequest) { return notSupported(); }
Ret Adapter::getAdapterStats(char*, unsigned long&) { return notSupported(); }
Ret Adapter::setDataScrubActive(bool) { return notSupported(); }
Ret Adapter::setDataScrubRate(EnumPriorityLevel) { return notSupported(); }
Ret Adapter::setDataScrubRate(unsigned long) { return notSupported(); }
Ret Adapter::pauseResumeIO(unsigned long) { return notSupported(); }
Ret Adapter::testAllSpares() { return notSupported(); }
Ret Adapter::upgradeControllerFirmware(const char*, bool) { return notSupported(); }
Ret Adapter::startControllerDiagnostic(EnumAdapterDiagType) { return notSupported(); }
Ret Adapter::setCopyBack(bool) { return notSupported(); }
Ret Adapter::setOrvexaWrite(bool) { return notSupported(); }
Ret Adapter::startBatteryCalibration() { return notSupported(); }
Ret Adapter::setAlarmState(EnumAlarmState) { return notSupported(); }
Ret Adapter::isPaused(bool&) { return notSupported(); }
Ret Adapter::clearPPITable() { return notSupported(); }
unsigned long long Adapter::getCacheMemory() const { return 0; }
unsigned long long Adapter::getInstalledMemory() const { return 0; }
Ret Adapter::setAutoFailoverEnabled(bool) { return notSupported(); }
Ret Adapter::resetController() { return notSupported(); }
Ret Adapter::setPhysicalDriveCache(EnumHardDriveCacheMode, EnumHardDriveCacheMode) { return notSupported(); }
Ret Adapter::getSmartStats(char*, unsigned long&) { return notSupported(); }
Ret Adapter::setDefaultLDTaskPriority(EnumPriorityLevel, bool) { return notSupported(); }
Ret Adapter::setPerformanceMode(EnumPerformanceMode) { return notSupported(); }

Ret Adapter::setPMStayAwakePeriod(unsigned long, unsigned long, unsigned long, unsigned char)
{
    return notSupported();
}

Ret Adapter::setPMSpinupLimits(unsigned long, unsigned long) { return notSupported(); }
Ret Adapter::setPMUTCToLocalTimeDiff(long) { return notSupported(); }
Ret Adapter::clearNvsRam() { return notSupported(); }
Ret Adapter::initializeHardDriveSet(AddrCollection&, bool) { return notSupported(); }
Ret Adapter::protectHardDriveSet(AddrCollection&, bool, bool) { return notSupported(); }
Ret Adapter::addDriveToOrvexaPool(AddrCollection&) { return notSupported(); }
Ret Adapter::removeDriveFromOrvexaPool(AddrCollection&) { return notSupported(); }
Ret Adapter::clearOrvexaPool() { return notSupported(); }
Ret Adapter::setOrvexaFlushAndFetchRate(unsigned long) { return notSupported(); }
Ret Adapter::setDirtyPageThresholdValue(unsigned long) { return notSupported(); }
Ret Adapter::setOrvexaRWFactor(unsigned long, unsigned long) { return notSupported(); }
Ret Adapter::setSataNCQ(bool) { return notSupported(); }
Ret Adapter::setStatisticDataCollectionMode(bool) { return notSupported(); }
Ret Adapter::resetStatisticsCounters() { return notSupported(); }
Ret Adapter::isOrvexaHasDirtyData() { return notSupported(); }
