#ifndef VYN_TESTS_CLI_SUPPORT_RECORDINGLIB_H
#define VYN_TESTS_CLI_SUPPORT_RECORDINGLIB_H

#include <memory>
#include <string>
#include <vector>

#include "RaidLib/StorLibPlugin.h"
#include "cli/support/Scenario.h"
#include "common/Ret.h"

namespace vyntest {

// A storage library that carries out nothing: every facade call is recorded
// as one line, "operation adapter=0,channel=1,device=2 | arguments", so that
// command tests compare whole call sequences. Every call answers Ret(0)
// unless the test chose another answer for its operation. What it records
// and answers lives in its Scenario, which may outlive it.
//
// Canned answers of successful calls: getControllerLog (every form) the
// scenario's log text for the type; getSmartStats "<SmartStats/>"; getTasks
// the tasks seeded for the address, none unless seeded; initializeHardDriveSet
// empties the list (every drive initialized); getAlarmState state 2 (present
// and off); scsiPassThruCommand records the command block in hex and the
// direction and zeroes the read data.
class RecordingLib : public StorLibPlugin {
public:
    // The tree that discovery builds: a fixture of cli/support/Fixtures.h,
    // "empty" (no controller), "basic" or "ld"; the library keeps its own
    // scenario.
    explicit RecordingLib(std::string fixture = "empty");
    explicit RecordingLib(std::shared_ptr<Scenario> scenario);
    ~RecordingLib() override;

    System* newSystem() override;

    // The answer of every later call of `operation`.
    void answer(const std::string& operation, const Ret& ret);
    // Return code -5 with firmware API status `status`.
    void failWithApiStatus(const std::string& operation, unsigned int status);

    const std::vector<std::string>& calls() const { return scenario_->calls(); }
    void clearCalls() { scenario_->clearCalls(); }
    const std::string& fixture() const { return scenario_->fixture(); }
    Scenario& scenario() { return *scenario_; }

    Ret createLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec) override;
    Ret getEvents(const Addr& addr, unsigned long startEventNumber, char** xml) override;
    Ret getEvents(const Addr& addr, unsigned long startEventNumber,
                  std::vector<GenericRecord>& events) override;
    Ret getEvents(const Addr& addr, StorEventCollection& events) override;
    Ret setAlarmState(const Addr& addr, EnumAlarmState state) override;
    Ret getAlarmState(const Addr& addr, EnumAlarmState& state) override;
    Ret setControllerConfiguration(const Addr& addr, EnumConfigurationSource source,
                                   const Buffer& buffer) override;
    Ret getControllerConfiguration(const Addr& addr, Buffer& buffer) override;
    Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** buffer,
                         unsigned long* size) override;
    Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* buffer,
                         unsigned long& size, unsigned int logicalDrive) override;
    Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* xmlBuffer,
                         unsigned long& xmlSize, char* csvBuffer, unsigned long& csvSize) override;
    Ret getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** xmlBuffer,
                         unsigned long* xmlSize, char** csvBuffer, unsigned long* csvSize) override;
    Ret clearControllerLog(const Addr& addr, EnumLogTypeRequest type) override;
    Ret setDataScrubActive(const Addr& addr, bool active) override;
    Ret setDataScrubRate(const Addr& addr, EnumPriorityLevel rate) override;
    Ret setDataScrubRate(const Addr& addr, unsigned long days) override;
    Ret pauseResumeIO(const Addr& addr, unsigned long pause) override;
    Ret upgradeControllerFirmware(const Addr& addr, const char* file, bool flag) override;
    Ret upgradeSASDriveMicrocode(const Addr& addr, const char* file, unsigned long chunkSize,
                                 unsigned char mode) override;
    Ret upgradeSATADriveMicrocode(const Addr& addr, const char* file, unsigned long chunkSize,
                                  unsigned char mode) override;
    Ret isControllerPaused(const Addr& addr, bool& paused) override;
    Ret setAutoFailover(const Addr& addr, bool enable) override;
    Ret resetController(const Addr& addr) override;
    Ret setControllerPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode sata,
                                        EnumHardDriveCacheMode sas) override;
    Ret setDefaultLDTaskPriority(const Addr& addr, EnumPriorityLevel priority,
                                 bool applyToRunningTasks) override;
    Ret setPerformanceMode(const Addr& addr, EnumPerformanceMode mode) override;
    Ret setPMControllerStayAwakePeriod(const Addr& addr, unsigned long start, unsigned long end,
                                       unsigned long enable, unsigned char days) override;
    Ret setPMControllerSpinupLimits(const Addr& addr, unsigned long internalLimit,
                                    unsigned long externalLimit) override;
    Ret clearControllerNvsRam(const Addr& addr) override;
    Ret setLogicalDriveName(const Addr& addr, const char* name) override;
    Ret setLogicalDriveCache(const Addr& addr, EnumLogicalDriveCacheMode readMode,
                             EnumLogicalDriveCacheMode writeMode) override;
    Ret startTask(const Addr& addr, EnumTaskType task, char* text) override;
    Ret setPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode mode) override;
    Ret synchronizeLogicalDrive(const Addr& addr, bool fix) override;
    Ret initializeLogicalDrive(const Addr& addr, EnumInitMethod method,
                               EnumPriorityLevel priority) override;
    Ret deleteLogicalDrive(const Addr& addr) override;
    Ret deleteArray(const Addr& addr) override;
    Ret setStripeSize(const Addr& addr, EnumStripeSize stripeSize) override;
    Ret increaseLogicalDriveSize(const Addr& addr, const std::vector<ChunkSpec>& chunks,
                                 EnumPriorityLevel priority) override;
    Ret modifyLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec) override;
    Ret setLogicalDriveBootable(const Addr& addr, bool bootable) override;
    Ret setLogicalDriveState(const Addr& addr, EnumLogicalDeviceState state,
                             EnumLogicalDeviceFOCmd command, unsigned long value) override;
    Ret setPMLogicalDriveEnabled(const Addr& addr, bool enable) override;
    Ret setPMLogicalDriveTimers(const Addr& addr, unsigned long slowdown, unsigned long powerOff,
                                unsigned long verify) override;
    Ret createJBOD(const Addr& addr) override;
    Ret deleteJBOD(const Addr& addr) override;
    Ret setDeviceState(const Addr& addr, EnumPhysicalDeviceState state) override;
    Ret createGlobalHotSpare(const Addr& addr) override;
    Ret createAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives) override;
    Ret deleteHotSpare(const Addr& addr) override;
    Ret deleteAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives) override;
    Ret identifyDevice(const Addr& addr, EnumIdentifyOption option) override;
    Ret initializeHardDrive(const Addr& addr) override;
    Ret initializeHardDriveSet(const Addr& addr, AddrCollection& drives, bool flag) override;
    Ret protectHardDriveSet(const Addr& addr, AddrCollection& drives, bool protect,
                            bool flag) override;
    Ret scsiPassThruCommand(const Addr& addr, SCSICommand& command) override;
    Ret downHardDrive(const Addr& addr, bool down) override;
    Ret syncRescan(const Addr& addr) override;
    Ret asyncRescan(const Addr& addr) override;
    Ret getTasks(const Addr& addr, char** xml) override;
    Ret getTasks(const Addr& addr, ProgressCollection& tasks) override;
    Ret setTaskPriority(const Addr& addr, unsigned long taskID,
                        EnumPriorityLevel priority) override;
    Ret abortTask(const Addr& addr, unsigned long taskID) override;
    Ret testAllSpares(const Addr& addr) override;
    Ret setCopyBack(const Addr& addr, bool enable) override;
    Ret setOrvexaWrite(const Addr& addr, bool enable) override;
    Ret startDiskDiagnostic(const Addr& addr, EnumDiskDiagType type) override;
    Ret abortDiskDiagnostic(const Addr& addr) override;
    Ret getDiskDiagnosticProgress(const Addr& addr, DISK_DIAGNOSTIC_STATE& state) override;
    Ret getDiskDiagnosticResults(const Addr& addr, DISK_DIAGNOSTIC_STATE& state) override;
    Ret startControllerDiagnostic(const Addr& addr, EnumAdapterDiagType type) override;
    Ret startBatteryCalibration(const Addr& addr) override;
    Ret startHardDriveTask(const Addr& addr, EnumHardDriveTask task) override;
    Ret clearPPITable(const Addr& addr) override;
    Ret setSesControlBytes(const Addr& addr, unsigned char byte0, unsigned char byte1,
                           unsigned char byte2, unsigned char byte3) override;
    Ret addDriveToOrvexaPool(const Addr& addr, AddrCollection& drives) override;
    Ret removeDriveFromOrvexaPool(const Addr& addr, AddrCollection& drives) override;
    Ret clearOrvexaPool(const Addr& addr) override;
    Ret isOrvexaHasDirtyData(const Addr& addr) override;
    Ret setOrvexaPreferredCache(const Addr& addr, EnumOrvexaPreferredSetting setting) override;
    Ret setPreferredOrvexaWriteCache(const Addr& addr, EnumOrvexaWriteCachePreferredSetting setting,
                                     EnumOrvexaWriteCachePolicySetting policy) override;
    Ret setOrvexaFlushAndFetchRate(const Addr& addr, unsigned long rate) override;
    Ret setDirtyPageThresholdValue(const Addr& addr, unsigned long value) override;
    Ret setOrvexaRWFactor(const Addr& addr, unsigned long readFactor,
                          unsigned long writeFactor) override;
    Ret setSataNCQ(const Addr& addr, bool enable) override;
    Ret getSmartStats(const Addr& addr, char* buffer, unsigned long& size) override;
    Ret getControllerStats(const Addr& addr, char* buffer, unsigned long& size) override;
    Ret setStatisticDataCollectionMode(const Addr& addr, bool enable) override;
    Ret configureATAPassword(const Addr& addr, const char* password, bool set) override;
    Ret resetStatisticsCounters(const Addr& addr) override;

private:
    Ret record(const char* operation, const Addr& addr, const std::vector<std::string>& arguments);

    std::shared_ptr<Scenario> scenario_;
};

}  // namespace vyntest

#endif
