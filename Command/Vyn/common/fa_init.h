#ifndef VYN_COMMAND_VYN_COMMON_FA_INIT_H
#define VYN_COMMAND_VYN_COMMON_FA_INIT_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct FSA_STORAGE_DEVICE;

// Drive initialisation, protection and the SSD cache pool; the set forms take
// a pointer to an array of 1 to 256 drives and a pointer to its count. The
// initialisation and protection of a set rewrite the count and the caller's
// records with the drives the controller acted on.
extern "C" {
FSA_STATUS FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                      uint32_t waitForTasks);
FSA_STATUS FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                         FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t allDevices);
FSA_STATUS FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t allDevices,
                                      uint32_t protect);
FSA_STATUS FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t add);
FSA_STATUS FsaHasDirtyData(void* handle);
FSA_STATUS FsaClearOrvexaPool(void* handle);
}

#endif
