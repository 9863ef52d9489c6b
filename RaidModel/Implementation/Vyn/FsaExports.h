#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_FSAEXPORTS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_FSAEXPORTS_H

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_dynprops.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "Command/Vyn/common/fa_enum.h"
#include "Command/Vyn/common/fa_failover.h"
#include "Command/Vyn/common/fa_filesys.h"
#include "Command/Vyn/common/fa_init.h"
#include "Command/Vyn/common/fa_logs.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_pciids.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_verify.h"

#include <cstdint>

// The exported firmware functions as the controller family reaches them.
//
// Every call of the family into the firmware interface goes through
// fsaExports(), never to the export directly. The default object forwards
// each member to the export of the same name; a test puts another object in
// its place for one scope (ScopedFsaExports), for instance one that answers
// scripted statuses and replies and logs the calls. The static libraries
// make a replacement at link time fragile, so the seam is an object chosen at
// run time instead.
//
// Members carry the exports' own names and arguments. A family unit that
// calls an export not listed here adds it: a virtual member forwarding to the
// export, in the group of its area.
class FsaExports {
public:
    virtual ~FsaExports();

    // Adapters: enumeration, open and close.
    virtual FSA_STATUS FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                                        FSA_ENUM_ADAPTERS_CALLBACK callback);
    virtual FSA_STATUS FsaOpenAdapter2A(const char* adapterName, const char* domainName, unsigned int callerBuild,
                                        FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_A callback,
                                        void* callbackContext, void** handleOut, int* auxOut);
    virtual FSA_STATUS FsaCloseAdapter(void* handle);
    // Switches the firmware interface's debug logs off.
    virtual FSA_STATUS FsaDisableDebugLogs();

    // What the controller object reads when it opens a controller.
    virtual FSA_STATUS FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out);
    virtual FSA_STATUS FsaGetCopyback(void* handle, uint32_t* state);
    virtual FSA_STATUS FsaVerifyContainerGetInfo(void* handle, uint32_t state[3]);
    virtual FSA_STATUS FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out);
    virtual FSA_STATUS FsaGetPCIIds(void* handle, uint16_t ids[4]);
    virtual FSA_STATUS FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options);
    virtual FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags);
    virtual FSA_STATUS FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options);

    // What the tree build reads.
    virtual FSA_STATUS FsaStartGetConfig(void* handle);
    virtual FSA_STATUS FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback);
    virtual FSA_STATUS FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy);
    virtual FSA_STATUS FsaAlarm(void* handle, uint32_t operation, uint32_t* array);
    virtual FSA_STATUS FsaBattery(void* handle, uint32_t version, void* record);
    virtual FSA_STATUS FsaGetConnectorMapSize(void* handle, unsigned int* size);
    virtual FSA_STATUS FsaGetConnectorMap(void* handle, void* buffer);

    // Enclosures and physical devices of the tree build.
    virtual FSA_STATUS FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record);
    virtual FSA_STATUS FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                               FSA_STORAGE_DEVICE_INFO* info);
    virtual FSA_STATUS FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                             FSA_SMART_DATA* smart);
    virtual FSA_STATUS FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first,
                                            void* second);

    // Logical-drive creation and what follows it.
    virtual FSA_STATUS FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                   const char* name, uint32_t n, const tag_FSA_CONTAINER* sources,
                                                   uint32_t chunkSize, int noBuild);
    virtual FSA_STATUS FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                             uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                             uint32_t chunkBytes, const uint32_t* options, uint32_t init,
                                             uint32_t priority, uint32_t extra);
    virtual FSA_STATUS FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                       uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                       uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);
    virtual FSA_STATUS FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                       uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                       uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);
    virtual FSA_STATUS FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                 const char* name, uint32_t count,
                                                 const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                                                 const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);
    virtual FSA_STATUS FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                                  uint32_t waitForTasks);
    virtual FSA_STATUS FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                    void* parameter);
    // Spares, container records and partitions of the tree build.
    virtual FSA_STATUS FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                        uint32_t* count, FSA_STORAGE_DEVICE* drives);
    virtual FSA_STATUS FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                            FSA_CONTAINER_INFO_EXTND* info, uint32_t size);
    virtual FSA_STATUS FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                  tag_FSA_CONTAINER_PARAMS* out);
    virtual FSA_STATUS FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container, uint32_t out[2]);
    virtual FSA_STATUS FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition,
                                              FSA_PARTITION_INFO* info);

    // Tasks of a logical drive.
    virtual FSA_STATUS FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device,
                                      const tag_FSA_CONTAINER* container, FSA_TASK_DESCRIPTOR* out, uint32_t* count,
                                      uint32_t outBytes);
    virtual FSA_STATUS FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out);

    // What a physical device's attachment sends: SCSI pass-through and the
    // per-drive operations (the locate blink).
    virtual FSA_STATUS FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength,
                                          uint8_t* cdb, uint32_t* dataLength, uint8_t* data,
                                          uint32_t dataBufferLength, FSA_SCSI_DATA_DIR direction, int reportSense,
                                          uint32_t* senseLength, uint8_t* sense, uint32_t senseBufferLength,
                                          uint32_t* scsiStatus, uint32_t* completionClass);
    virtual FSA_STATUS FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                         uint32_t* parameters, uint32_t* extra);

    // Controller operations: tasks, I/O pause, failover, reset, alarm,
    // battery, device cache policy and the cache pool's dirty data.
    virtual FSA_STATUS FsaTask(void* handle, uint32_t taskId, uint32_t operation);
    virtual FSA_STATUS FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan);
    virtual FSA_STATUS FsaSetAutomaticFailover(void* handle, uint32_t on);
    virtual FSA_STATUS FsaResetController(void* handle);
    virtual FSA_STATUS FsaNvram(void* handle, uint32_t operation, uint32_t* record);
    virtual FSA_STATUS FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second);
    virtual FSA_STATUS FsaHasDirtyData(void* handle);

    // Hard-drive operations.
    virtual FSA_STATUS FsaFailPartition(void* handle, uint32_t unused, const FSA_PARTITION* partition);
    virtual FSA_STATUS FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device);
    virtual FSA_STATUS FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device);
    virtual FSA_STATUS FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                               void* result);
    virtual FSA_STATUS FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c);

    // Events.
    virtual FSA_STATUS FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer);
    virtual FSA_STATUS FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus, uint32_t* target,
                                                       uint32_t* lun);

    // Controller logs.
    virtual FSA_STATUS FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size);
    virtual FSA_STATUS FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback,
                                     void* arg);
    virtual FSA_STATUS FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size);
    virtual FSA_STATUS FsaGetDriveErrorTableSize(void* handle, uint32_t* size);
    virtual FSA_STATUS FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer);
    virtual FSA_STATUS FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer);
    virtual FSA_STATUS FsaResetNvramEventLog(void* handle);
    virtual FSA_STATUS FsaClearDeadDriveLog(void* handle);
    virtual FSA_STATUS FsaClearDriveErrorTable(void* handle);

    // Controller statistics.
    virtual FSA_STATUS FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size);
    virtual FSA_STATUS FsaSetControllerStats(void* handle, uint32_t enable);
    virtual FSA_STATUS FsaResetControllerStatsCounters(void* handle);

    // Controller settings, maintenance and the SSD cache pool.
    virtual FSA_STATUS FsaVerifyContainer2(void* handle, int operation, const void* request);
    virtual FSA_STATUS FsaSetCopyback(void* handle, uint32_t enable);
    virtual FSA_STATUS FsaOnlineControllerDiagnostic(void* handle);
    virtual FSA_STATUS FsaClearPPITable(void* handle);
    virtual FSA_STATUS FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag);
    virtual FSA_STATUS FsaSetPerformanceMode(void* handle, uint32_t mode);
    virtual FSA_STATUS FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable,
                                               uint8_t days);
    virtual FSA_STATUS FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external);
    virtual FSA_STATUS FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes);
    virtual FSA_STATUS FsaClearControllerNvsRam(void* handle);
    virtual FSA_STATUS FsaSetSataNCQ(void* handle, int32_t enable);
    virtual FSA_STATUS FsaIsAdapterPausedEx(void* handle, int* paused);
    virtual FSA_STATUS FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer);
    virtual FSA_STATUS FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle);
    virtual FSA_STATUS FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                                     FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                     uint32_t allDevices);
    virtual FSA_STATUS FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                  uint32_t allDevices, uint32_t protect);
    virtual FSA_STATUS FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                    uint32_t add);
    virtual FSA_STATUS FsaClearOrvexaPool(void* handle);
    virtual FSA_STATUS FsaSetOrvexaWrite(void* handle, uint32_t enable);
    virtual FSA_STATUS FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate);
    virtual FSA_STATUS FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold);
    virtual FSA_STATUS FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor);

    // Logical-drive operations.
    virtual FSA_STATUS FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type,
                                         uint32_t count, FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes,
                                         uint64_t size, int flag);
    virtual FSA_STATUS FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                  const tag_FSA_CONTAINER_PARAMS* params);
    virtual FSA_STATUS FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out);
    virtual FSA_STATUS FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                               uint32_t flags);
    virtual FSA_STATUS FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container,
                                                      uint32_t enable, uint32_t timer1, uint32_t timer2,
                                                      uint32_t timer3);
    virtual FSA_STATUS FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container, int enable);
    virtual FSA_STATUS FsaContainerSetOrvexaWriteCacheSettings(void* handle, const tag_FSA_CONTAINER* container,
                                                               uint32_t mode, uint32_t value);

    // Hot spares, drive firmware and other devices.

    // SMART data.
};

// The object in force: the real exports unless a test replaced them.
FsaExports& fsaExports();

// Tests only: puts `replacement` in force until the end of the scope, then
// restores the object before it. Scopes nest; make and leave them on one
// thread, before and after the calls they cover.
class ScopedFsaExports {
public:
    explicit ScopedFsaExports(FsaExports& replacement);
    ~ScopedFsaExports();
    ScopedFsaExports(const ScopedFsaExports&) = delete;
    ScopedFsaExports& operator=(const ScopedFsaExports&) = delete;

private:
    FsaExports* previous_;
};

#endif
