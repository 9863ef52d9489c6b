#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTAINER_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTAINER_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct tag_FSA_CONTAINER;
struct tag_FSA_CONTAINER_PARAMS;
struct FSA_STORAGE_DEVICE;
struct FSA_STORAGE_DEVICE_SPACE;

// Exported container operations: creation, mirrors, morphing, verification,
// logical drives, commit, forced online and power management. Container types
// are the library's FSA_CONTAINER_TYPE numbers.
extern "C" {
// Primary containers and RAID-50/60.
FSA_STATUS FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                     uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                                     const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);
FSA_STATUS FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name, uint32_t legs,
                           uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                           const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);
FSA_STATUS FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name, uint32_t legs,
                           uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                           const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild);

// Secondary containers and mirrors.
FSA_STATUS FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                       uint32_t n, const tag_FSA_CONTAINER* sources, uint32_t chunkSize, int noBuild);
FSA_STATUS FsaGrowPrimaryVolumeSet(void* handle, const tag_FSA_CONTAINER* container,
                                   const FSA_STORAGE_DEVICE_SPACE* space);
FSA_STATUS FsaCreateMirrorFromVolume(void* handle, tag_FSA_CONTAINER* container, uint32_t n,
                                     const FSA_STORAGE_DEVICE* drives);
FSA_STATUS FsaMirror(void* handle, uint32_t operation, tag_FSA_CONTAINER* container, tag_FSA_CONTAINER* newContainer);

// Container operations.
FSA_STATUS FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation, void* parameter);

// Morphing, usage and verification; `request` is the 132-byte verify request.
FSA_STATUS FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type, uint32_t count,
                             FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes, uint64_t size, int flag);
FSA_STATUS FsaGetContainerUsage(void* handle, const tag_FSA_CONTAINER* container, uint32_t* usage);
FSA_STATUS FsaVerifyContainer(void* handle, int enable);
FSA_STATUS FsaVerifyContainer2(void* handle, int operation, const void* request);

// Logical-drive creation, commit, forced online and power management.
FSA_STATUS FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char name[16],
                                 uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                 uint32_t chunkBytes, const uint32_t* options, uint32_t init, uint32_t priority,
                                 uint32_t extra);
FSA_STATUS FsaCommitDriveConfiguration(void* handle);
FSA_STATUS FsaForcePartitionCacheUpdate(void* handle);
FSA_STATUS FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode, uint32_t flags);
FSA_STATUS FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container, uint32_t enable,
                                          uint32_t timer1, uint32_t timer2, uint32_t timer3);
}

#endif
