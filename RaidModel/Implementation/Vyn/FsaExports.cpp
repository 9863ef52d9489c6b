#include "RaidModel/Implementation/Vyn/FsaExports.h"

#include <atomic>

namespace {

FsaExports& realExports()
{
    static FsaExports real;
    return real;
}

std::atomic<FsaExports*> inForce{nullptr};

}  // namespace

FsaExports::~FsaExports() = default;

FSA_STATUS FsaExports::FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                                        FSA_ENUM_ADAPTERS_CALLBACK callback)
{
    return ::FsaEnumAdaptersA(server1, server2, context, callback);
}

FSA_STATUS FsaExports::FsaOpenAdapter2A(const char* adapterName, const char* domainName, unsigned int callerBuild,
                                        FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_A callback,
                                        void* callbackContext, void** handleOut, int* auxOut)
{
    return ::FsaOpenAdapter2A(adapterName, domainName, callerBuild, access, flag, callback, callbackContext,
                              handleOut, auxOut);
}

FSA_STATUS FsaExports::FsaCloseAdapter(void* handle) { return ::FsaCloseAdapter(handle); }

FSA_STATUS FsaExports::FsaDisableDebugLogs() { return ::FsaDisableDebugLogs(); }

FSA_STATUS FsaExports::FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out)
{
    return ::FsaGetGeneralInformation2Ex(handle, index, out);
}

FSA_STATUS FsaExports::FsaGetCopyback(void* handle, uint32_t* state) { return ::FsaGetCopyback(handle, state); }

FSA_STATUS FsaExports::FsaVerifyContainerGetInfo(void* handle, uint32_t state[3])
{
    return ::FsaVerifyContainerGetInfo(handle, state);
}

FSA_STATUS FsaExports::FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out)
{
    return ::FsaVerifyContainerGetInfo2(handle, state, out);
}

FSA_STATUS FsaExports::FsaGetPCIIds(void* handle, uint16_t ids[4]) { return ::FsaGetPCIIds(handle, ids); }

FSA_STATUS FsaExports::FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options)
{
    return ::FsaGetContainerOptions(handle, options);
}

FSA_STATUS FsaExports::FsaGetAutomaticFailover(void* handle, uint32_t* flags)
{
    return ::FsaGetAutomaticFailover(handle, flags);
}

FSA_STATUS FsaExports::FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options)
{
    return ::FsaGetRaid6Options(handle, options);
}

FSA_STATUS FsaExports::FsaStartGetConfig(void* handle) { return ::FsaStartGetConfig(handle); }

FSA_STATUS FsaExports::FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback)
{
    return ::FsaEnumChannels(handle, context, callback);
}

FSA_STATUS FsaExports::FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy)
{
    return ::FsaGetAdapterSasPhyInfo(handle, phyIndex, phy);
}

FSA_STATUS FsaExports::FsaAlarm(void* handle, uint32_t operation, uint32_t* array)
{
    return ::FsaAlarm(handle, operation, array);
}

FSA_STATUS FsaExports::FsaBattery(void* handle, uint32_t version, void* record)
{
    return ::FsaBattery(handle, version, record);
}

FSA_STATUS FsaExports::FsaGetConnectorMapSize(void* handle, unsigned int* size)
{
    return ::FsaGetConnectorMapSize(handle, size);
}

FSA_STATUS FsaExports::FsaGetConnectorMap(void* handle, void* buffer) { return ::FsaGetConnectorMap(handle, buffer); }

FSA_STATUS FsaExports::FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record)
{
    return ::FsaEnclosureMgt(handle, record);
}

FSA_STATUS FsaExports::FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                               FSA_STORAGE_DEVICE_INFO* info)
{
    return ::FsaGetStorageDeviceInfo(handle, next, device, info);
}

FSA_STATUS FsaExports::FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                             FSA_SMART_DATA* smart)
{
    return ::FsaGetSmartDeviceInfo(handle, next, device, smart);
}

FSA_STATUS FsaExports::FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first,
                                            void* second)
{
    return ::FsaGetDiskSasPhyInfo(handle, device, first, second);
}

FSA_STATUS FsaExports::FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                   const char* name, uint32_t n, const tag_FSA_CONTAINER* sources,
                                                   uint32_t chunkSize, int noBuild)
{
    return ::FsaCreateSecondaryContainer(handle, out, type, name, n, sources, chunkSize, noBuild);
}

FSA_STATUS FsaExports::FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                             uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                             uint32_t chunkBytes, const uint32_t* options, uint32_t init,
                                             uint32_t priority, uint32_t extra)
{
    return ::FsaCreateLogicalDrive(handle, out, type, name, legs, count, spaces, chunkBytes, options, init, priority,
                                   extra);
}

FSA_STATUS FsaExports::FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                       uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                       uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    return ::FsaCreateRAID50(handle, out, type, name, legs, count, spaces, chunkSize, cacheParams, noBuild);
}

FSA_STATUS FsaExports::FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                       uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                       uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    return ::FsaCreateRAID60(handle, out, type, name, legs, count, spaces, chunkSize, cacheParams, noBuild);
}

FSA_STATUS FsaExports::FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                 const char* name, uint32_t count,
                                                 const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                                                 const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    return ::FsaCreatePrimaryContainer(handle, out, type, name, count, spaces, chunkSize, cacheParams, noBuild);
}

FSA_STATUS FsaExports::FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                                  uint32_t waitForTasks)
{
    return ::FsaInitStorageDeviceForFsa(handle, force, drive, waitForTasks);
}

FSA_STATUS FsaExports::FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                    void* parameter)
{
    return ::FsaContainer(handle, container, operation, parameter);
}

FSA_STATUS FsaExports::FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                        uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    return ::FsaFailoverSpace(handle, container, operation, count, drives);
}

FSA_STATUS FsaExports::FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                            FSA_CONTAINER_INFO_EXTND* info, uint32_t size)
{
    return ::FsaGetContainerInfo2(handle, next, container, info, size);
}

FSA_STATUS FsaExports::FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                  tag_FSA_CONTAINER_PARAMS* out)
{
    return ::FsaContainerGetCacheParams(handle, container, out);
}

FSA_STATUS FsaExports::FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container, uint32_t out[2])
{
    return ::FsaContainerGetCacheMode(handle, container, out);
}

FSA_STATUS FsaExports::FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition,
                                              FSA_PARTITION_INFO* info)
{
    return ::FsaGetFsaPartitionInfo(handle, next, partition, info);
}

FSA_STATUS FsaExports::FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device,
                                      const tag_FSA_CONTAINER* container, FSA_TASK_DESCRIPTOR* out, uint32_t* count,
                                      uint32_t outBytes)
{
    return ::FsaGetTaskList(handle, device, container, out, count, outBytes);
}

FSA_STATUS FsaExports::FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out)
{
    return ::FsaGetTaskDetails(handle, taskId, out);
}

FSA_STATUS FsaExports::FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength,
                                          uint8_t* cdb, uint32_t* dataLength, uint8_t* data,
                                          uint32_t dataBufferLength, FSA_SCSI_DATA_DIR direction, int reportSense,
                                          uint32_t* senseLength, uint8_t* sense, uint32_t senseBufferLength,
                                          uint32_t* scsiStatus, uint32_t* completionClass)
{
    return ::FsaSendScsiCommand(handle, device, cdbLength, cdb, dataLength, data, dataBufferLength, direction,
                                reportSense, senseLength, sense, senseBufferLength, scsiStatus, completionClass);
}

FSA_STATUS FsaExports::FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                         uint32_t* parameters, uint32_t* extra)
{
    return ::FsaStorageDevice2(handle, device, operation, parameters, extra);
}

FSA_STATUS FsaExports::FsaTask(void* handle, uint32_t taskId, uint32_t operation)
{
    return ::FsaTask(handle, taskId, operation);
}

FSA_STATUS FsaExports::FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan)
{
    return ::FsaPauseResumeIo(handle, timeoutSeconds, noRescan);
}

FSA_STATUS FsaExports::FsaSetAutomaticFailover(void* handle, uint32_t on) { return ::FsaSetAutomaticFailover(handle, on); }

FSA_STATUS FsaExports::FsaResetController(void* handle) { return ::FsaResetController(handle); }

FSA_STATUS FsaExports::FsaNvram(void* handle, uint32_t operation, uint32_t* record)
{
    return ::FsaNvram(handle, operation, record);
}

FSA_STATUS FsaExports::FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second)
{
    return ::FsaSetControllerDeviceCachePolicy(handle, first, second);
}

FSA_STATUS FsaExports::FsaHasDirtyData(void* handle) { return ::FsaHasDirtyData(handle); }

FSA_STATUS FsaExports::FsaFailPartition(void* handle, uint32_t unused, const FSA_PARTITION* partition)
{
    return ::FsaFailPartition(handle, unused, partition);
}

FSA_STATUS FsaExports::FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    return ::FsaCreateJBOD(handle, device);
}

FSA_STATUS FsaExports::FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    return ::FsaDeleteJBOD(handle, device);
}

FSA_STATUS FsaExports::FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                               void* result)
{
    return ::FsaOnlineDiskDiagnostic(handle, device, operation, result);
}

FSA_STATUS FsaExports::FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c)
{
    return ::FSASetWearOutParams(handle, a, b, c);
}

FSA_STATUS FsaExports::FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer)
{
    return ::FsaPollForEvent(handle, bufferSize, buffer);
}

FSA_STATUS FsaExports::FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus, uint32_t* target,
                                                       uint32_t* lun)
{
    return ::FsaGetBusTargetLunFromDevHandle(handle, device, bus, target, lun);
}

// Controller logs.
FSA_STATUS FsaExports::FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size)
{
    return ::FsaGetNvramEventLog(handle, buffer, size);
}

FSA_STATUS FsaExports::FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback,
                                     void* arg)
{
    return ::FsaDiagnostic(handle, selector, parameter, callback, arg);
}

FSA_STATUS FsaExports::FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size)
{
    return ::FsaGetDeadDriveLog2(handle, header, buffer, size);
}

FSA_STATUS FsaExports::FsaGetDriveErrorTableSize(void* handle, uint32_t* size)
{
    return ::FsaGetDriveErrorTableSize(handle, size);
}

FSA_STATUS FsaExports::FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer)
{
    return ::FsaGetDriveErrorTable2(handle, size, buffer);
}

FSA_STATUS FsaExports::FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer)
{
    return ::FsaGetDriveErrorTable(handle, count, buffer);
}

FSA_STATUS FsaExports::FsaResetNvramEventLog(void* handle) { return ::FsaResetNvramEventLog(handle); }

FSA_STATUS FsaExports::FsaClearDeadDriveLog(void* handle) { return ::FsaClearDeadDriveLog(handle); }

FSA_STATUS FsaExports::FsaClearDriveErrorTable(void* handle) { return ::FsaClearDriveErrorTable(handle); }

// Controller statistics.
FSA_STATUS FsaExports::FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size)
{
    return ::FsaGetControllerStats(handle, type, buffer, size);
}

FSA_STATUS FsaExports::FsaSetControllerStats(void* handle, uint32_t enable)
{
    return ::FsaSetControllerStats(handle, enable);
}

FSA_STATUS FsaExports::FsaResetControllerStatsCounters(void* handle)
{
    return ::FsaResetControllerStatsCounters(handle);
}

// Controller settings, maintenance and the SSD cache pool.
FSA_STATUS FsaExports::FsaVerifyContainer2(void* handle, int operation, const void* request)
{
    return ::FsaVerifyContainer2(handle, operation, request);
}

FSA_STATUS FsaExports::FsaSetCopyback(void* handle, uint32_t enable) { return ::FsaSetCopyback(handle, enable); }

FSA_STATUS FsaExports::FsaOnlineControllerDiagnostic(void* handle) { return ::FsaOnlineControllerDiagnostic(handle); }

FSA_STATUS FsaExports::FsaClearPPITable(void* handle) { return ::FsaClearPPITable(handle); }

FSA_STATUS FsaExports::FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag)
{
    return ::FsaSetDefaultLDTaskPriority(handle, priority, flag);
}

FSA_STATUS FsaExports::FsaSetPerformanceMode(void* handle, uint32_t mode)
{
    return ::FsaSetPerformanceMode(handle, mode);
}

FSA_STATUS FsaExports::FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable,
                                               uint8_t days)
{
    return ::FsaSetPMStayAwakePeriod(handle, start, stop, enable, days);
}

FSA_STATUS FsaExports::FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external)
{
    return ::FsaSetPMSpinupLimits(handle, internal, external);
}

FSA_STATUS FsaExports::FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes)
{
    return ::FsaSetPMUTCToLocalTimeDiff(handle, minutes);
}

FSA_STATUS FsaExports::FsaClearControllerNvsRam(void* handle) { return ::FsaClearControllerNvsRam(handle); }

FSA_STATUS FsaExports::FsaSetSataNCQ(void* handle, int32_t enable) { return ::FsaSetSataNCQ(handle, enable); }

FSA_STATUS FsaExports::FsaIsAdapterPausedEx(void* handle, int* paused)
{
    return ::FsaIsAdapterPausedEx(handle, paused);
}

FSA_STATUS FsaExports::FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer)
{
    return ::FsaCreateUFIfromFile(handle, fileName, buffer);
}

FSA_STATUS FsaExports::FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle)
{
    return ::FsaUpdateFlashImages(buffer, mode, handle);
}

FSA_STATUS FsaExports::FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                                     FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                     uint32_t allDevices)
{
    return ::FsaInitStorageDeviceSetForFsa(handle, force, waitForTasks, drives, count, allDevices);
}

FSA_STATUS FsaExports::FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                  uint32_t allDevices, uint32_t protect)
{
    return ::FsaProtectStorageDeviceSet(handle, drives, count, allDevices, protect);
}

FSA_STATUS FsaExports::FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                    uint32_t add)
{
    return ::FsaStorageDeviceSetCachePool(handle, drives, count, add);
}

FSA_STATUS FsaExports::FsaClearOrvexaPool(void* handle) { return ::FsaClearOrvexaPool(handle); }

FSA_STATUS FsaExports::FsaSetOrvexaWrite(void* handle, uint32_t enable) { return ::FsaSetOrvexaWrite(handle, enable); }

FSA_STATUS FsaExports::FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate)
{
    return ::FsaSetOrvexaFlushAndFetchRate(handle, rate);
}

FSA_STATUS FsaExports::FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold)
{
    return ::FsaSetDirtyPageThresholdValue(handle, threshold);
}

FSA_STATUS FsaExports::FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor)
{
    return ::FsaSetOrvexaRWFactor(handle, readFactor, writeFactor);
}

// Logical-drive operations.
FSA_STATUS FsaExports::FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type,
                                         uint32_t count, FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes,
                                         uint64_t size, int flag)
{
    return ::FsaMorphContainer(handle, container, type, count, devices, chunkBytes, size, flag);
}

FSA_STATUS FsaExports::FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                  const tag_FSA_CONTAINER_PARAMS* params)
{
    return ::FsaContainerSetCacheParams(handle, container, params);
}

FSA_STATUS FsaExports::FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out)
{
    return ::FsaReleaseContainerCache(handle, container, out);
}

FSA_STATUS FsaExports::FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                               uint32_t flags)
{
    return ::FsaContainerForceOnline(handle, container, mode, flags);
}

FSA_STATUS FsaExports::FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container,
                                                      uint32_t enable, uint32_t timer1, uint32_t timer2,
                                                      uint32_t timer3)
{
    return ::FsaContainerSetPowerManagement(handle, container, enable, timer1, timer2, timer3);
}

FSA_STATUS FsaExports::FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container, int enable)
{
    return ::FsaContainerSetITPCacheSettings(handle, container, enable);
}

FSA_STATUS FsaExports::FsaContainerSetOrvexaWriteCacheSettings(void* handle, const tag_FSA_CONTAINER* container,
                                                               uint32_t mode, uint32_t value)
{
    return ::FsaContainerSetOrvexaWriteCacheSettings(handle, container, mode, value);
}

// Hot spares, drive firmware and other devices.

// SMART data.

FsaExports& fsaExports()
{
    FsaExports* replaced = inForce.load();
    return replaced != nullptr ? *replaced : realExports();
}

ScopedFsaExports::ScopedFsaExports(FsaExports& replacement) : previous_(inForce.load())
{
    inForce.store(&replacement);
}

ScopedFsaExports::~ScopedFsaExports() { inForce.store(previous_); }
