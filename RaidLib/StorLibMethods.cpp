#include "RaidLib/StorLibPlugin.h"

#include <cstdint>
#include <vector>

#include "RaidModel/Interface/System.h"
#include "common/Addr.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// The frame shared by every operation: trace, current-tree check, lookup by
// address (library type ignored), then `call` on the object found; nothing
// thrown below escapes.
template <typename Call>
Ret runFrame(const StorLibPlugin& lib, const char* label, const Addr& addr, Call call)
{
    const EnumStorLibType type = lib.getStorLibType();
    StorDebugTracer trace(type, STOR_DEBUG_TRACE, label);
    Ret ret(0);
    System* root = lib.getSystem();
    if (root == nullptr) {
        ret.setBadParam(0);
        StorErrorPrintf(type, __FILE__, __LINE__, "*** Bad Parameter: curSystem==NULL ***");
        return ret;
    }
    try {
        RaidObject* object = root->getChild(addr, true);
        if (object == nullptr) {
            ret.setObjectNotFound();
            StorErrorPrintf(
                type, __FILE__, __LINE__,
                "*** Object Not Found (adapterID=0x%08x, channelID=0x%08x, deviceID=0x%08x, "
                "logicalDriveID=0x%08x, arrayID=0x%08x) ***",
                addr.getAdapterID(), addr.getChannelID(), addr.getDeviceID(),
                addr.getLogicalDriveID(), addr.getArrayID());
            return ret;
        }
        ret = call(*object);
    } catch (...) {
        ret.setException();
        StorErrorPrintf(type, __FILE__, __LINE__, "*** Exception Caught ***");
    }
    return ret;
}

// Operations whose target has no operation to reach yet.
Ret notConnected(RaidObject&)
{
    Ret ret(0);
    ret.setNotSupported(0);
    return ret;
}

}  // namespace

Ret StorLibPlugin::createLogicalDrive(const Addr& addr, const LogicalDriveSpec&)
{
    return runFrame(*this, "StorLib::createLogicalDrive()", addr, notConnected);
}

Ret StorLibPlugin::getEvents(const Addr& addr, unsigned long, char**)
{
    return runFrame(*this, "StorLib::getEvents(char**)", addr, notConnected);
}

Ret StorLibPlugin::getEvents(const Addr& addr, unsigned long, std::vector<GenericRecord>&)
{
    return runFrame(*this,
                    "StorLib::getEvents(const ADDR_T& addr, ULONG startEventNumberIN, "
                    "vector<GENERIC_RECORD>& eventsINOUT)",
                    addr, notConnected);
}

Ret StorLibPlugin::getEvents(const Addr& addr, StorEventCollection&)
{
    return runFrame(*this, "StorLib::getEvents(StorEventCollection &)", addr, notConnected);
}

Ret StorLibPlugin::setAlarmState(const Addr& addr, EnumAlarmState)
{
    return runFrame(*this, "StorLib::setAlarmState()", addr, notConnected);
}

Ret StorLibPlugin::getAlarmState(const Addr& addr, EnumAlarmState&)
{
    return runFrame(*this, "StorLib::getAlarmState()", addr, notConnected);
}

Ret StorLibPlugin::setControllerConfiguration(const Addr& addr, EnumConfigurationSource,
                                              const Buffer&)
{
    return runFrame(*this, "StorLib::setControllerConfiguration()", addr, notConnected);
}

Ret StorLibPlugin::getControllerConfiguration(const Addr& addr, Buffer&)
{
    return runFrame(*this, "StorLib::getControllerConfiguration()", addr, notConnected);
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest, char**, unsigned long*)
{
    return runFrame(*this, "StorLib::getControllerLog(char **)", addr, notConnected);
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest, char*, unsigned long&,
                                    unsigned int)
{
    return runFrame(*this, "StorLib::getControllerLog(char *)", addr, notConnected);
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest, char*, unsigned long&,
                                    char*, unsigned long&)
{
    return runFrame(*this, "StorLib::getControllerLog(char *)", addr, notConnected);
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest, char**, unsigned long*,
                                    char**, unsigned long*)
{
    return runFrame(*this, "StorLib::getControllerLog(char **, ULONG*, char**, ULONG *)", addr,
                    notConnected);
}

Ret StorLibPlugin::clearControllerLog(const Addr& addr, EnumLogTypeRequest)
{
    return runFrame(*this, "StorLib::clearControllerLog()", addr, notConnected);
}

Ret StorLibPlugin::setDataScrubActive(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setDataScrubActive()", addr, notConnected);
}

Ret StorLibPlugin::setDataScrubRate(const Addr& addr, EnumPriorityLevel)
{
    return runFrame(*this, "StorLib::setDataScrubRate()", addr, notConnected);
}

Ret StorLibPlugin::setDataScrubRate(const Addr& addr, unsigned long)
{
    return runFrame(*this, "StorLib::setDataScrubRate()", addr, notConnected);
}

Ret StorLibPlugin::pauseResumeIO(const Addr& addr, unsigned long)
{
    return runFrame(*this, "StorLib::pauseResumeIO()", addr, notConnected);
}

Ret StorLibPlugin::upgradeControllerFirmware(const Addr& addr, const char*, bool)
{
    return runFrame(*this, "StorLib::upgradeControllerFirmware()", addr, notConnected);
}

Ret StorLibPlugin::upgradeSASDriveMicrocode(const Addr& addr, const char*, unsigned long,
                                            unsigned char)
{
    return runFrame(*this, "StorLib::upgradeSASDriveMicrocode()", addr, notConnected);
}

Ret StorLibPlugin::upgradeSATADriveMicrocode(const Addr& addr, const char*, unsigned long,
                                             unsigned char)
{
    return runFrame(*this, "StorLib::upgradeSATADriveMicrocode()", addr, notConnected);
}

Ret StorLibPlugin::isControllerPaused(const Addr& addr, bool&)
{
    return runFrame(*this, "StorLib::isControllerPaused()", addr, notConnected);
}

Ret StorLibPlugin::setAutoFailover(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setAutoFailover()", addr, notConnected);
}

Ret StorLibPlugin::resetController(const Addr& addr)
{
    return runFrame(*this, "StorLib::resetController()", addr, notConnected);
}

Ret StorLibPlugin::setControllerPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode,
                                                   EnumHardDriveCacheMode)
{
    return runFrame(*this, "StorLib::setControllerPhysicalDriveCache()", addr, notConnected);
}

Ret StorLibPlugin::setDefaultLDTaskPriority(const Addr& addr, EnumPriorityLevel, bool)
{
    return runFrame(*this, "StorLib::setDefaultLDTaskPriority()", addr, notConnected);
}

Ret StorLibPlugin::setPerformanceMode(const Addr& addr, EnumPerformanceMode)
{
    return runFrame(*this, "StorLib::setPerformanceMode()", addr, notConnected);
}

Ret StorLibPlugin::setPMControllerStayAwakePeriod(const Addr& addr, unsigned long, unsigned long,
                                                  unsigned long, unsigned char)
{
    return runFrame(*this, "StorLib::setPMControllerStayAwakePeriod()", addr, notConnected);
}

Ret StorLibPlugin::setPMControllerSpinupLimits(const Addr& addr, unsigned long, unsigned long)
{
    return runFrame(*this, "StorLib::setPMControllerSpinupLimits()", addr, notConnected);
}

Ret StorLibPlugin::clearControllerNvsRam(const Addr& addr)
{
    return runFrame(*this, "StorLib::clearControllerNvsRam()", addr, notConnected);
}

Ret StorLibPlugin::setLogicalDriveName(const Addr& addr, const char*)
{
    return runFrame(*this, "StorLib::setLogicalDriveName()", addr, notConnected);
}

Ret StorLibPlugin::setLogicalDriveCache(const Addr& addr, EnumLogicalDriveCacheMode,
                                        EnumLogicalDriveCacheMode)
{
    return runFrame(*this, "StorLib::setLogicalDriveCache()", addr, notConnected);
}

Ret StorLibPlugin::startTask(const Addr& addr, EnumTaskType, char*)
{
    return runFrame(*this, "StorLib::startTask()", addr, notConnected);
}

Ret StorLibPlugin::setPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode)
{
    return runFrame(*this, "StorLib::setPhysicalDriveCache()", addr, notConnected);
}

Ret StorLibPlugin::synchronizeLogicalDrive(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::synchronizeLogicalDrive()", addr, notConnected);
}

Ret StorLibPlugin::initializeLogicalDrive(const Addr& addr, EnumInitMethod, EnumPriorityLevel)
{
    return runFrame(*this, "StorLib::initializeLogicalDrive()", addr, notConnected);
}

Ret StorLibPlugin::deleteLogicalDrive(const Addr& addr)
{
    return runFrame(*this, "StorLib::deleteLogicalDrive()", addr, notConnected);
}

Ret StorLibPlugin::deleteArray(const Addr& addr)
{
    return runFrame(*this, "StorLib::deleteArray()", addr, notConnected);
}

Ret StorLibPlugin::setStripeSize(const Addr& addr, EnumStripeSize)
{
    return runFrame(*this, "StorLib::setStripeSize()", addr, notConnected);
}

Ret StorLibPlugin::increaseLogicalDriveSize(const Addr& addr, const std::vector<ChunkSpec>&,
                                            EnumPriorityLevel)
{
    return runFrame(*this, "StorLib::increaseLogicalDriveSize()", addr, notConnected);
}

Ret StorLibPlugin::modifyLogicalDrive(const Addr& addr, const LogicalDriveSpec&)
{
    return runFrame(*this, "StorLib::modifyLogicalDrive()", addr, notConnected);
}

Ret StorLibPlugin::setLogicalDriveBootable(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setLogicalDriveBootable()", addr, notConnected);
}

Ret StorLibPlugin::setLogicalDriveState(const Addr& addr, EnumLogicalDeviceState,
                                        EnumLogicalDeviceFOCmd, unsigned long)
{
    return runFrame(*this, "StorLib::setLogicalDriveState()", addr, notConnected);
}

Ret StorLibPlugin::setPMLogicalDriveEnabled(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setPMLogicalDriveEnabled()", addr, notConnected);
}

Ret StorLibPlugin::setPMLogicalDriveTimers(const Addr& addr, unsigned long, unsigned long,
                                           unsigned long)
{
    return runFrame(*this, "StorLib::setPMLogicalDriveTimers()", addr, notConnected);
}

Ret StorLibPlugin::createJBOD(const Addr& addr)
{
    return runFrame(*this, "StorLib::createJBOD()", addr, notConnected);
}

Ret StorLibPlugin::deleteJBOD(const Addr& addr)
{
    return runFrame(*this, "StorLib::deleteJBOD()", addr, notConnected);
}

Ret StorLibPlugin::setDeviceState(const Addr& addr, EnumPhysicalDeviceState)
{
    return runFrame(*this, "StorLib::setDeviceState()", addr, notConnected);
}

Ret StorLibPlugin::createGlobalHotSpare(const Addr& addr)
{
    return runFrame(*this, "StorLib::createGlobalHotSpare()", addr, notConnected);
}

Ret StorLibPlugin::createAssignedHotSpare(const Addr& addr, const AddrCollection&)
{
    return runFrame(*this, "StorLib::createAssignedHotSpare()", addr, notConnected);
}

Ret StorLibPlugin::deleteHotSpare(const Addr& addr)
{
    return runFrame(*this, "StorLib::deleteHotSpare()", addr, notConnected);
}

Ret StorLibPlugin::deleteAssignedHotSpare(const Addr& addr, const AddrCollection&)
{
    return runFrame(*this, "StorLib::deleteAssignedHotSpare()", addr, notConnected);
}

Ret StorLibPlugin::identifyDevice(const Addr& addr, EnumIdentifyOption)
{
    return runFrame(*this, "StorLib::identifyDevice()", addr, notConnected);
}

Ret StorLibPlugin::initializeHardDrive(const Addr& addr)
{
    return runFrame(*this, "StorLib::initializeHardDrive()", addr, notConnected);
}

Ret StorLibPlugin::initializeHardDriveSet(const Addr& addr, AddrCollection&, bool)
{
    return runFrame(*this, "StorLib::initializeHardDriveSet()", addr, notConnected);
}

Ret StorLibPlugin::protectHardDriveSet(const Addr& addr, AddrCollection&, bool, bool)
{
    return runFrame(*this, "StorLib::protectHardDriveSet()", addr, notConnected);
}

Ret StorLibPlugin::scsiPassThruCommand(const Addr& addr, SCSICommand&)
{
    return runFrame(*this, "StorLib::scsiPassThruCommand()", addr, notConnected);
}

Ret StorLibPlugin::downHardDrive(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::downHardDrive()", addr, notConnected);
}

Ret StorLibPlugin::syncRescan(const Addr& addr)
{
    return runFrame(*this, "StorLib::syncRescan()", addr, notConnected);
}

Ret StorLibPlugin::asyncRescan(const Addr& addr)
{
    return runFrame(*this, "StorLib::asyncRescan()", addr, notConnected);
}

Ret StorLibPlugin::getTasks(const Addr& addr, char**)
{
    return runFrame(*this, "StorLib::getTasks(char**)", addr, notConnected);
}

Ret StorLibPlugin::getTasks(const Addr& addr, ProgressCollection&)
{
    return runFrame(*this, "StorLib::getTasks(ProgressCollection &)", addr, notConnected);
}

Ret StorLibPlugin::setTaskPriority(const Addr& addr, unsigned long, EnumPriorityLevel)
{
    return runFrame(*this, "StorLib::setTaskPriority()", addr, notConnected);
}

Ret StorLibPlugin::abortTask(const Addr& addr, unsigned long)
{
    return runFrame(*this, "StorLib::abortTask()", addr, notConnected);
}

Ret StorLibPlugin::testAllSpares(const Addr& addr)
{
    return runFrame(*this, "StorLib::testAllSpares()", addr, notConnected);
}

Ret StorLibPlugin::setCopyBack(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setCopyBack()", addr, notConnected);
}

Ret StorLibPlugin::setOrvexaWrite(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setOrvexaWrite()", addr, notConnected);
}

Ret StorLibPlugin::startDiskDiagnostic(const Addr& addr, EnumDiskDiagType)
{
    return runFrame(*this, "StorLib::startDiskDiagnostic()", addr, notConnected);
}

Ret StorLibPlugin::abortDiskDiagnostic(const Addr& addr)
{
    return runFrame(*this, "StorLib::abortDiskDiagnostic()", addr, notConnected);
}

Ret StorLibPlugin::getDiskDiagnosticProgress(const Addr& addr, DISK_DIAGNOSTIC_STATE&)
{
    return runFrame(*this, "StorLib::getDiskDiagnosticProgress()", addr, notConnected);
}

Ret StorLibPlugin::getDiskDiagnosticResults(const Addr& addr, DISK_DIAGNOSTIC_STATE&)
{
    return runFrame(*this, "StorLib::getDiskDiagnosticResults()", addr, notConnected);
}

Ret StorLibPlugin::startControllerDiagnostic(const Addr& addr, EnumAdapterDiagType)
{
    return runFrame(*this, "StorLib::startControllerDiagnostic()", addr, notConnected);
}

Ret StorLibPlugin::startBatteryCalibration(const Addr& addr)
{
    return runFrame(*this, "StorLib::startBatteryCalibration()", addr, notConnected);
}

Ret StorLibPlugin::startHardDriveTask(const Addr& addr, EnumHardDriveTask)
{
    return runFrame(*this, "StorLib::startHardDriveTask()", addr, notConnected);
}

Ret StorLibPlugin::clearPPITable(const Addr& addr)
{
    return runFrame(*this, "StorLib::clearPPITable()", addr, notConnected);
}

Ret StorLibPlugin::setSesControlBytes(const Addr& addr, unsigned char, unsigned char, unsigned char,
                                      unsigned char)
{
    return runFrame(*this, "StorLib::setSesControlBytes()", addr, notConnected);
}

Ret StorLibPlugin::addDriveToOrvexaPool(const Addr& addr, AddrCollection&)
{
    return runFrame(*this, "StorLib::addDriveToOrvexaPool()", addr, notConnected);
}

Ret StorLibPlugin::removeDriveFromOrvexaPool(const Addr& addr, AddrCollection&)
{
    return runFrame(*this, "StorLib::removeDriveFromOrvexaPool()", addr, notConnected);
}

Ret StorLibPlugin::clearOrvexaPool(const Addr& addr)
{
    return runFrame(*this, "StorLib::clearOrvexaPool()", addr, notConnected);
}

Ret StorLibPlugin::isOrvexaHasDirtyData(const Addr& addr)
{
    return runFrame(*this, "StorLib::isOrvexaHasDirtyData()", addr, notConnected);
}

Ret StorLibPlugin::setOrvexaPreferredCache(const Addr& addr, EnumOrvexaPreferredSetting)
{
    return runFrame(*this, "StorLib::setOrvexaPreferredCache()", addr, notConnected);
}

Ret StorLibPlugin::setPreferredOrvexaWriteCache(const Addr& addr,
                                                EnumOrvexaWriteCachePreferredSetting,
                                                EnumOrvexaWriteCachePolicySetting)
{
    return runFrame(*this, "StorLib::setPreferredOrvexaWriteCache()", addr, notConnected);
}

Ret StorLibPlugin::setOrvexaFlushAndFetchRate(const Addr& addr, unsigned long)
{
    return runFrame(*this, "StorLib::setOrvexaFlushAndFetchRate()", addr, notConnected);
}

Ret StorLibPlugin::setDirtyPageThresholdValue(const Addr& addr, unsigned long)
{
    return runFrame(*this, "StorLib::setDirtyPageThresholdValue()", addr, notConnected);
}

Ret StorLibPlugin::setOrvexaRWFactor(const Addr& addr, unsigned long, unsigned long)
{
    return runFrame(*this, "StorLib::setOrvexaRWFactor()", addr, notConnected);
}

Ret StorLibPlugin::setSataNCQ(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setSataNCQ()", addr, notConnected);
}

Ret StorLibPlugin::getSmartStats(const Addr& addr, char*, unsigned long&)
{
    return runFrame(*this, "StorLib::getSmartStats()", addr, notConnected);
}

Ret StorLibPlugin::getControllerStats(const Addr& addr, char*)
{
    return runFrame(*this, "StorLib::getControllerStats()", addr, notConnected);
}

Ret StorLibPlugin::setStatisticDataCollectionMode(const Addr& addr, bool)
{
    return runFrame(*this, "StorLib::setStatisticDataCollectionMode()", addr, notConnected);
}

Ret StorLibPlugin::configureATAPassword(const Addr& addr, const char*, bool)
{
    return runFrame(*this, "StorLib::configureATAPassword()", addr, notConnected);
}

Ret StorLibPlugin::resetStatisticsCounters(const Addr& addr)
{
    return runFrame(*this, "StorLib::resetStatisticsCounters()", addr, notConnected);
}
