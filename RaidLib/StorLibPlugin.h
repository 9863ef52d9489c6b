#ifndef VYN_RAIDLIB_STORLIBPLUGIN_H
#define VYN_RAIDLIB_STORLIBPLUGIN_H

#include <vector>

#include "RaidLib/StorLib.h"
#include "RaidModel/Interface/ModelEnums.h"
#include "common/TaskEnums.h"

class Addr;
class AddrCollection;
class Buffer;
class ChunkSpec;
class LogicalDriveSpec;
class ProgressCollection;
class SCSICommand;
class StorEventCollection;
struct DISK_DIAGNOSTIC_STATE;
struct GenericRecord;

// The facade through which the commands change or query the storage system:
// one operation per storage function, each naming its target by address in
// the current tree. No operation throws; each answers with a Ret.
class StorLibPlugin : public StorLib {
public:
    explicit StorLibPlugin(EnumStorLibType type);
    ~StorLibPlugin() override;

    virtual Ret createLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec);
    virtual Ret getEvents(const Addr& addr, unsigned long startEventNumber, char** xml);
    virtual Ret getEvents(const Addr& addr, unsigned long startEventNumber,
                          std::vector<GenericRecord>& events);
    virtual Ret getEvents(const Addr& addr, StorEventCollection& events);
    virtual Ret setAlarmState(const Addr& addr, EnumAlarmState state);
    virtual Ret getAlarmState(const Addr& addr, EnumAlarmState& state);
    virtual Ret setControllerConfiguration(const Addr& addr, EnumConfigurationSource source,
                                           const Buffer& buffer);
    virtual Ret getControllerConfiguration(const Addr& addr, Buffer& buffer);
    virtual Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** buffer,
                                 unsigned long* size);
    virtual Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* buffer,
                                 unsigned long& size, unsigned int logicalDrive);
    virtual Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* xmlBuffer,
                                 unsigned long& xmlSize, char* csvBuffer, unsigned long& csvSize);
    virtual Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** xmlBuffer,
                                 unsigned long* xmlSize, char** csvBuffer, unsigned long* csvSize);
    virtual Ret clearControllerLog(const Addr& addr, EnumLogTypeRequest type);
    virtual Ret setDataScrubActive(const Addr& addr, bool active);
    virtual Ret setDataScrubRate(const Addr& addr, EnumPriorityLevel rate);
    virtual Ret setDataScrubRate(const Addr& addr, unsigned long days);
    virtual Ret pauseResumeIO(const Addr& addr, unsigned long pause);
    virtual Ret upgradeControllerFirmware(const Addr& addr, const char* file, bool flag);
    virtual Ret upgradeSASDriveMicrocode(const Addr& addr, const char* file,
                                         unsigned long chunkSize, unsigned char mode);
    virtual Ret upgradeSATADriveMicrocode(const Addr& addr, const char* file,
                                          unsigned long chunkSize, unsigned char mode);
    virtual Ret isControllerPaused(const Addr& addr, bool& paused);
    virtual Ret setAutoFailover(const Addr& addr, bool enable);
    virtual Ret resetController(const Addr& addr);
    virtual Ret setControllerPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode sata,
                                                EnumHardDriveCacheMode sas);
    virtual Ret setDefaultLDTaskPriority(const Addr& addr, EnumPriorityLevel priority,
                                         bool applyToRunningTasks);
    virtual Ret setPerformanceMode(const Addr& addr, EnumPerformanceMode mode);
    virtual Ret setPMControllerStayAwakePeriod(const Addr& addr, unsigned long start,
                                               unsigned long end, unsigned long enable,
                                               unsigned char days);
    virtual Ret setPMControllerSpinupLimits(const Addr& addr, unsigned long internalLimit,
                                            unsigned long externalLimit);
    virtual Ret clearControllerNvsRam(const Addr& addr);
    virtual Ret setLogicalDriveName(const Addr& addr, const char* name);
    virtual Ret setLogicalDriveCache(const Addr& addr, EnumLogicalDriveCacheMode readMode,
                                     EnumLogicalDriveCacheMode writeMode);
    virtual Ret startTask(const Addr& addr, EnumTaskType task, char* text);
    virtual Ret setPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode mode);
    virtual Ret synchronizeLogicalDrive(const Addr& addr, bool fix);
    virtual Ret initializeLogicalDrive(const Addr& addr, EnumInitMethod method,
                                       EnumPriorityLevel priority);
    virtual Ret deleteLogicalDrive(const Addr& addr);
    virtual Ret deleteArray(const Addr& addr);
    virtual Ret setStripeSize(const Addr& addr, EnumStripeSize stripeSize);
    virtual Ret increaseLogicalDriveSize(const Addr& addr, const std::vector<ChunkSpec>& chunks,
                                         EnumPriorityLevel priority);
    virtual Ret modifyLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec);
    virtual Ret setLogicalDriveBootable(const Addr& addr, bool bootable);
    virtual Ret setLogicalDriveState(const Addr& addr, EnumLogicalDeviceState state,
                                     EnumLogicalDeviceFOCmd command, unsigned long value);
    virtual Ret setPMLogicalDriveEnabled(const Addr& addr, bool enable);
    virtual Ret setPMLogicalDriveTimers(const Addr& addr, unsigned long slowdown,
                                        unsigned long powerOff, unsigned long verify);
    virtual Ret createJBOD(const Addr& addr);
    virtual Ret deleteJBOD(const Addr& addr);
    virtual Ret setDeviceState(const Addr& addr, EnumPhysicalDeviceState state);
    virtual Ret createGlobalHotSpare(const Addr& addr);
    virtual Ret createAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives);
    virtual Ret deleteHotSpare(const Addr& addr);
    virtual Ret deleteAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives);
    virtual Ret identifyDevice(const Addr& addr, EnumIdentifyOption option);
    virtual Ret initializeHardDrive(const Addr& addr);
    virtual Ret initializeHardDriveSet(const Addr& addr, AddrCollection& drives, bool flag);
    virtual Ret protectHardDriveSet(const Addr& addr, AddrCollection& drives, bool protect,
                                    bool flag);
    virtual Ret scsiPassThruCommand(const Addr& addr, SCSICommand& command);
    virtual Ret downHardDrive(const Addr& addr, bool down);
    virtual Ret syncRescan(const Addr& addr);
    virtual Ret asyncRescan(const Addr& addr);
    virtual Ret getTasks(const Addr& addr, char** xml);
    virtual Ret getTasks(const Addr& addr, ProgressCollection& tasks);
    virtual Ret setTaskPriority(const Addr& addr, unsigned long taskID, EnumPriorityLevel priority);
    virtual Ret abortTask(const Addr& addr, unsigned long taskID);
    virtual Ret testAllSpares(const Addr& addr);
    virtual Ret setCopyBack(const Addr& addr, bool enable);
    virtual Ret setOrvexaWrite(const Addr& addr, bool enable);
    virtual Ret startDiskDiagnostic(const Addr& addr, EnumDiskDiagType type);
    virtual Ret abortDiskDiagnostic(const Addr& addr);
    virtual Ret getDiskDiagnosticProgress(const Addr& addr, DISK_DIAGNOSTIC_STATE& state);
    virtual Ret getDiskDiagnosticResults(const Addr& addr, DISK_DIAGNOSTIC_STATE& state);
    virtual Ret startControllerDiagnostic(const Addr& addr, EnumAdapterDiagType type);
    virtual Ret startBatteryCalibration(const Addr& addr);
    virtual Ret startHardDriveTask(const Addr& addr, EnumHardDriveTask task);
    virtual Ret clearPPITable(const Addr& addr);
    virtual Ret setSesControlBytes(const Addr& addr, unsigned char byte0, unsigned char byte1,
                                   unsigned char byte2, unsigned char byte3);
    virtual Ret addDriveToOrvexaPool(const Addr& addr, AddrCollection& drives);
    virtual Ret removeDriveFromOrvexaPool(const Addr& addr, AddrCollection& drives);
    virtual Ret clearOrvexaPool(const Addr& addr);
    virtual Ret isOrvexaHasDirtyData(const Addr& addr);
    virtual Ret setOrvexaPreferredCache(const Addr& addr, EnumOrvexaPreferredSetting setting);
    virtual Ret setPreferredOrvexaWriteCache(const Addr& addr,
                                             EnumOrvexaWriteCachePreferredSetting setting,
                                             EnumOrvexaWriteCachePolicySetting policy);
    virtual Ret setOrvexaFlushAndFetchRate(const Addr& addr, unsigned long rate);
    virtual Ret setDirtyPageThresholdValue(const Addr& addr, unsigned long value);
    virtual Ret setOrvexaRWFactor(const Addr& addr, unsigned long readFactor,
                                  unsigned long writeFactor);
    virtual Ret setSataNCQ(const Addr& addr, bool enable);
    virtual Ret getSmartStats(const Addr& addr, char* buffer, unsigned long& size);
    virtual Ret getControllerStats(const Addr& addr, char* buffer, unsigned long& size);
    virtual Ret setStatisticDataCollectionMode(const Addr& addr, bool enable);
    virtual Ret configureATAPassword(const Addr& addr, const char* password, bool set);
    virtual Ret resetStatisticsCounters(const Addr& addr);

    // Builds a tree whose discovery, run by `lib`, adds its controllers to
    // `proxy` instead of the new root.
    Ret getSystemConfigWithProxy(System* proxy, StorLib* lib);

    Ret createGlobalSpare(const Addr& drive) { return createGlobalHotSpare(drive); }
    Ret createDedicatedSpare(const Addr& drive, const AddrCollection& logicalDrives)
    {
        return createAssignedHotSpare(drive, logicalDrives);
    }
    Ret deleteSpare(const Addr& drive) { return deleteHotSpare(drive); }
    Ret removeDedicatedSpare(const Addr& drive, const AddrCollection& logicalDrives)
    {
        return deleteAssignedHotSpare(drive, logicalDrives);
    }
};

#endif
