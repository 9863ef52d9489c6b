#ifndef VYN_TESTS_RAIDMODEL_IMPLEMENTATION_VYN_SCRIPTEDFSAEXPORTS_H
#define VYN_TESTS_RAIDMODEL_IMPLEMENTATION_VYN_SCRIPTEDFSAEXPORTS_H

#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vyntest {

// A scripted stand-in for the exported firmware functions, in force while it
// lives (it installs itself through ScopedFsaExports).
//
// Per export name a test queues answers: a status and the reply bytes that
// are copied into the call's output record (the record named in the comment
// of each member below; bytes beyond it are dropped, missing ones keep what
// the caller put there). Each call takes the oldest answer queued for its
// name; a call with none queued answers the fallback: by default the real
// export (so a test can script a few calls over a simulator), or a fixed
// status for every unscripted call. Every call is logged by name, in order.
//
// Later units add a member for each export they add to FsaExports: log,
// play, and forward to FsaExports when unscripted.
class ScriptedFsaExports : public FsaExports {
public:
    ScriptedFsaExports();
    ~ScriptedFsaExports() override;

    // Queues one answer for the next unanswered call of `name`.
    void script(const std::string& name, FSA_STATUS status, std::vector<uint8_t> reply = {});
    // Queues the same answer `times` times.
    void scriptTimes(const std::string& name, unsigned times, FSA_STATUS status, std::vector<uint8_t> reply = {});
    // Answers every call of `name` that finds no queued answer the same way
    // (before the fallback).
    void scriptAlways(const std::string& name, FSA_STATUS status, std::vector<uint8_t> reply = {});
    // Unscripted calls answer `status` without reaching the firmware
    // interface; 0 sends them to the real exports again.
    void answerUnscripted(FSA_STATUS status) { fallback_ = status; }

    const std::vector<std::string>& calls() const { return calls_; }
    // What the calls of the members that keep their requests sent, in
    // order: the handle and the request bytes (named in the member's
    // comment).
    struct Sent {
        void* handle;
        std::vector<uint8_t> bytes;
    };
    std::vector<Sent> sent(const std::string& name) const;
    unsigned count(const std::string& name) const;
    void clearCalls() { calls_.clear(); }

    // Output: the handle (pointer-sized, little-endian).
    FSA_STATUS FsaOpenAdapter2A(const char* adapterName, const char* domainName, unsigned int callerBuild,
                                FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_A callback, void* callbackContext,
                                void** handleOut, int* auxOut) override;
    FSA_STATUS FsaCloseAdapter(void* handle) override;
    // Output: whole 2272-byte enumeration records, each handed to the
    // callback with success, in order, before the status is returned.
    FSA_STATUS FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                                FSA_ENUM_ADAPTERS_CALLBACK callback) override;
    FSA_STATUS FsaDisableDebugLogs() override;
    // Output: the 2764-byte general information.
    FSA_STATUS FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out) override;
    // Output: the u32 mode.
    FSA_STATUS FsaGetCopyback(void* handle, uint32_t* state) override;
    // Output: the three state words.
    FSA_STATUS FsaVerifyContainerGetInfo(void* handle, uint32_t state[3]) override;
    // Output: the 132-byte verify request (the state words stay 0).
    FSA_STATUS FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out) override;
    // Output: the four u16 identifiers.
    FSA_STATUS FsaGetPCIIds(void* handle, uint16_t ids[4]) override;
    // Output: the 384-byte container options.
    FSA_STATUS FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options) override;
    // Output: the u32 flags.
    FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags) override;
    // Output: the 340-byte RAID-6 options.
    FSA_STATUS FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options) override;
    FSA_STATUS FsaStartGetConfig(void* handle) override;
    FSA_STATUS FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback) override;
    // Output: the 64-byte phy record.
    FSA_STATUS FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy) override;
    // Kept: operation, then the three words of the array as the caller gave
    // them. Output: the three u32 words of the array.
    FSA_STATUS FsaAlarm(void* handle, uint32_t operation, uint32_t* array) override;
    // Output: the 60-byte battery record.
    FSA_STATUS FsaBattery(void* handle, uint32_t version, void* record) override;
    // Output: the u32 size.
    FSA_STATUS FsaGetConnectorMapSize(void* handle, unsigned int* size) override;
    // Output: the map (as many bytes as scripted).
    FSA_STATUS FsaGetConnectorMap(void* handle, void* buffer) override;
    // Output: the 368-byte request record. Keeps the request record.
    FSA_STATUS FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record) override;
    // Output: the 384-byte device information.
    FSA_STATUS FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                       FSA_STORAGE_DEVICE_INFO* info) override;
    // Output: the 76-byte SMART record.
    FSA_STATUS FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                     FSA_SMART_DATA* smart) override;
    // Output: the first 48-byte phy record, then the second.
    FSA_STATUS FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first,
                                    void* second) override;
    // Output: u32 SCSI status, u32 completion class, then the sense bytes
    // (kScsiSenseBytes of them, as much as the caller's room takes), then
    // the data in. Keeps the CDB.
    static constexpr size_t kScsiSenseBytes = 32;
    FSA_STATUS FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength, uint8_t* cdb,
                                  uint32_t* dataLength, uint8_t* data, uint32_t dataBufferLength,
                                  FSA_SCSI_DATA_DIR direction, int reportSense, uint32_t* senseLength,
                                  uint8_t* sense, uint32_t senseBufferLength, uint32_t* scsiStatus,
                                  uint32_t* completionClass) override;
    // No output. Keeps the operation and the first two parameter words, as
    // three little-endian u32. Kept: operation, bus, target, whether a block
    // came, block words 1 and 2, the password pointer at byte 40, and the
    // extra word (0xFFFFFFFF without one).
    FSA_STATUS FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                 uint32_t* parameters, uint32_t* extra) override;

    // Creation calls. Output: the new container's 12-byte key. Each logs its
    // numeric arguments (arguments()), its extents and its name.
    // Kept: type, n, chunk size, no-build flag, then the sources' numbers.
    FSA_STATUS FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                           uint32_t n, const tag_FSA_CONTAINER* sources, uint32_t chunkSize,
                                           int noBuild) override;
    // Kept: type, legs, count, chunk bytes, the four option words, init,
    // priority, extra.
    FSA_STATUS FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                     uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                     uint32_t chunkBytes, const uint32_t* options, uint32_t init, uint32_t priority,
                                     uint32_t extra) override;
    // Kept: type, legs, count, chunk size, the two cache words, no-build flag.
    FSA_STATUS FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name, uint32_t legs,
                               uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                               const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild) override;
    FSA_STATUS FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name, uint32_t legs,
                               uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                               const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild) override;
    // Kept: type, count, chunk size, the two cache words, no-build flag.
    FSA_STATUS FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                         uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                                         const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild) override;
    // Kept: force, bus, target, LUN, wait.
    FSA_STATUS FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                          uint32_t waitForTasks) override;
    // Kept: container number, operation, and for operation 4 the delay.
    FSA_STATUS FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                            void* parameter) override;

    // The kept arguments of each call of `name`, in call order.
    std::vector<std::vector<uint64_t>> arguments(const std::string& name) const;
    // The extents and name of the last creation call that had them.
    const std::vector<FSA_STORAGE_DEVICE_SPACE>& lastSpaces() const { return lastSpaces_; }
    const std::string& lastName() const { return lastName_; }

    // Output: `*count` (u32), then that many 12-byte drive records (as many
    // as the caller's count had room for). Kept: container number
    // (0xFFFFFFFF without one), operation, count as given, then the first
    // drive's bus, target and LUN (0 without a drive).
    FSA_STATUS FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                uint32_t* count, FSA_STORAGE_DEVICE* drives) override;
    // Output: the container record (at most `size` bytes).
    FSA_STATUS FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                    FSA_CONTAINER_INFO_EXTND* info, uint32_t size) override;
    // Output: the two u32 words.
    FSA_STATUS FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                          tag_FSA_CONTAINER_PARAMS* out) override;
    // Output: the two u32 words.
    FSA_STATUS FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container, uint32_t out[2]) override;
    // Output: the 112-byte partition record.
    FSA_STATUS FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition,
                                      FSA_PARTITION_INFO* info) override;
    // Output: `*count` (u32), then the 36-byte descriptors (at most
    // `outBytes`). Kept: the handle, the drive's target (0xFFFFFFFF without
    // a drive), `outBytes`.
    FSA_STATUS FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device, const tag_FSA_CONTAINER* container,
                              FSA_TASK_DESCRIPTOR* out, uint32_t* count, uint32_t outBytes) override;
    // Output: the 56-byte task record.
    FSA_STATUS FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out) override;
    // The container keys the failover and task calls were given, in order
    // (0xFFFFFFFF for none).
    const std::vector<uint32_t>& containersAsked() const { return containersAsked_; }

    // Controller operations. Each keeps its numeric arguments (arguments()).
    // Kept: task id, operation.
    FSA_STATUS FsaTask(void* handle, uint32_t taskId, uint32_t operation) override;
    // Kept: timeout, no-rescan flag.
    FSA_STATUS FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan) override;
    // Kept: the flag.
    FSA_STATUS FsaSetAutomaticFailover(void* handle, uint32_t on) override;
    FSA_STATUS FsaResetController(void* handle) override;
    // Kept: operation, then the five record words as the caller gave them.
    // Output: the 20-byte record.
    FSA_STATUS FsaNvram(void* handle, uint32_t operation, uint32_t* record) override;
    // Kept: both policy words.
    FSA_STATUS FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second) override;
    FSA_STATUS FsaHasDirtyData(void* handle) override;

    // Hard-drive operations.
    // Kept: the unused word, then the partition's bus, target and LUN.
    FSA_STATUS FsaFailPartition(void* handle, uint32_t unused, const FSA_PARTITION* partition) override;
    // Kept: bus, target, LUN.
    FSA_STATUS FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device) override;
    FSA_STATUS FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device) override;
    // Kept: bus, target, LUN, operation. Output: the 132-byte result.
    FSA_STATUS FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                       void* result) override;
    // Kept: the three words.
    FSA_STATUS FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c) override;

    // Events.
    // Kept: the buffer size. Output: the buffer (at most its size).
    FSA_STATUS FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer) override;
    // Kept: the device handle. Output: bus, target, LUN as three u32.
    FSA_STATUS FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus, uint32_t* target,
                                               uint32_t* lun) override;

    // Controller logs. Each keeps its numeric arguments (arguments()).
    // Kept: size. Output: the buffer (at most `size` bytes).
    FSA_STATUS FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size) override;
    // Kept: selector, the parameter word (0xFFFFFFFF without one). Output:
    // chunks, each a u32 length and that many bytes, handed to the callback
    // in order as NUL-terminated copies; for selector 6 the first u32 of
    // `arg` is set to the chunk's length before each call. delivered()
    // holds the chunks as they were after the callback returned.
    FSA_STATUS FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback,
                             void* arg) override;
    const std::vector<std::string>& delivered() const { return delivered_; }
    // Kept: whether a buffer came, `*size` on entry. Output: the 32-byte
    // header, then the entries (at most `*size` bytes, only with a buffer).
    // Without a buffer, `*size` becomes the log's size as the export reports
    // it: deadDriveLogSize when set (not negative), else the header's count
    // times the entry size of its version, in 32 bits.
    FSA_STATUS FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size) override;
    long long deadDriveLogSize = -1;
    // Output: the u32 size.
    FSA_STATUS FsaGetDriveErrorTableSize(void* handle, uint32_t* size) override;
    // Kept: size. Output: the table (at most `size` bytes).
    FSA_STATUS FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer) override;
    // Kept: the count on entry. Output: the u32 count, then the entries (at
    // most the entry count's 12-byte entries).
    FSA_STATUS FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer) override;
    FSA_STATUS FsaResetNvramEventLog(void* handle) override;
    FSA_STATUS FsaClearDeadDriveLog(void* handle) override;
    FSA_STATUS FsaClearDriveErrorTable(void* handle) override;

    // Controller statistics.
    // Kept: type, the size word as given. Output: the record (at most the
    // size word's bytes); the size word is left as given.
    FSA_STATUS FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size) override;
    // Kept: the flag.
    FSA_STATUS FsaSetControllerStats(void* handle, uint32_t enable) override;
    FSA_STATUS FsaResetControllerStatsCounters(void* handle) override;

    // Controller settings, maintenance and the SSD cache pool.
    // Kept: operation, request words 0 and 1.
    FSA_STATUS FsaVerifyContainer2(void* handle, int operation, const void* request) override;
    // Kept: the flag.
    FSA_STATUS FsaSetCopyback(void* handle, uint32_t enable) override;
    FSA_STATUS FsaOnlineControllerDiagnostic(void* handle) override;
    FSA_STATUS FsaClearPPITable(void* handle) override;
    // Kept: priority, flag.
    FSA_STATUS FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag) override;
    // Kept: the mode.
    FSA_STATUS FsaSetPerformanceMode(void* handle, uint32_t mode) override;
    // Kept: start, stop, enable, days.
    FSA_STATUS FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable,
                                       uint8_t days) override;
    // Kept: both limits.
    FSA_STATUS FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external) override;
    // Kept: the minutes (sign-extended).
    FSA_STATUS FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes) override;
    FSA_STATUS FsaClearControllerNvsRam(void* handle) override;
    // Kept: the flag.
    FSA_STATUS FsaSetSataNCQ(void* handle, int32_t enable) override;
    // Output: the int flag.
    FSA_STATUS FsaIsAdapterPausedEx(void* handle, int* paused) override;
    // Kept: nothing (the file name in lastName()).
    FSA_STATUS FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer) override;
    // Kept: the mode.
    FSA_STATUS FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle) override;
    // The set calls keep their flags, the count, then each record's device
    // id (LUN << 16 | target). Output: `*count` (u32), then that many 12-byte
    // records (as many as the caller's count had room for).
    // Kept: force, wait, all devices, count, ids.
    FSA_STATUS FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                             FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                             uint32_t allDevices) override;
    // Kept: all devices, protect, count, ids.
    FSA_STATUS FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                          uint32_t allDevices, uint32_t protect) override;
    // Kept: add, count, ids. No output.
    FSA_STATUS FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                            uint32_t add) override;
    FSA_STATUS FsaClearOrvexaPool(void* handle) override;
    // Kept: the flag.
    FSA_STATUS FsaSetOrvexaWrite(void* handle, uint32_t enable) override;
    // Kept: the rate.
    FSA_STATUS FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate) override;
    // Kept: the threshold.
    FSA_STATUS FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold) override;
    // Kept: both factors.
    FSA_STATUS FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor) override;

    // Logical-drive operations. Each keeps its numeric arguments
    // (arguments()), the container number first.
    // Kept: number, type, count, chunk bytes, size, flag, then the devices'
    // bus and target.
    FSA_STATUS FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type, uint32_t count,
                                 FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes, uint64_t size, int flag) override;
    // Kept: number, read word, write word.
    FSA_STATUS FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                          const tag_FSA_CONTAINER_PARAMS* params) override;
    // Kept: number. Output: the u32 word.
    FSA_STATUS FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out) override;
    // Kept: number, mode, flags.
    FSA_STATUS FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                       uint32_t flags) override;
    // Kept: number, enable, the three timers.
    FSA_STATUS FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container, uint32_t enable,
                                              uint32_t timer1, uint32_t timer2, uint32_t timer3) override;
    // Kept: number, flag.
    FSA_STATUS FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container, int enable) override;
    // Kept: number, mode, value.
    FSA_STATUS FsaContainerSetOrvexaWriteCacheSettings(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                                       uint32_t value) override;

    // Hot spares, drive firmware and other devices.

    // SMART data.

private:
    void keep(const char* name, std::vector<uint64_t> values);
    void keepSpaces(const char* name, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t count);
    // Keeps a creation call's arguments, extents and name, then plays it.
    bool playCreation(const char* call, std::vector<uint64_t> kept, const char* name,
                      const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t count, tag_FSA_CONTAINER* out,
                      FSA_STATUS* status);

    std::map<std::string, std::vector<std::vector<uint64_t>>> arguments_;
    std::vector<FSA_STORAGE_DEVICE_SPACE> lastSpaces_;
    std::string lastName_;

    struct Answer {
        FSA_STATUS status;
        std::vector<uint8_t> reply;
    };
    // Logs the call; true with *status set when it is answered here (reply
    // bytes copied into out, at most `room` of them).
    bool play(const char* name, void* out, size_t room, FSA_STATUS* status);

    std::map<std::string, std::deque<Answer>> answers_;
    std::map<std::string, Answer> always_;
    std::vector<std::string> calls_;
    std::vector<std::pair<std::string, Sent>> sent_;
    // The reply bytes of the last scripted answer played.
    std::vector<uint8_t> lastReply_;
    FSA_STATUS fallback_ = 0;
    std::vector<uint32_t> containersAsked_;
    std::vector<std::string> delivered_;
    ScopedFsaExports installed_;
};

// Reply bytes of little-endian u32 words.
std::vector<uint8_t> words(std::initializer_list<uint32_t> values);

// The write handle the operations' tests open.
inline const std::vector<uint8_t> kWriteHandle = {0x78, 0x56, 0, 0, 0, 0, 0, 0};

// Exports in force from here on whose calls succeed without output and open
// every write handle as kWriteHandle, or with `writeHandle` false refuse
// every write handle (status 301). A test drops the exports it held first.
std::unique_ptr<ScriptedFsaExports> succeedingExports(bool writeHandle = true);

}  // namespace vyntest

#endif
