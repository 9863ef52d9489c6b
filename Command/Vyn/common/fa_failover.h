#ifndef VYN_COMMAND_VYN_COMMON_FA_FAILOVER_H
#define VYN_COMMAND_VYN_COMMON_FA_FAILOVER_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct tag_FSA_CONTAINER;
struct FSA_STORAGE_DEVICE;
struct FSA_PARTITION;

// Failover spaces and hot spares: `count` is the capacity of `drives` in and
// the number of drives out. Operations 0-5 add, remove and list a
// container's (0-2) or the controller's (3-5) spares, 7 and 8 set and clear
// the candidate-spare flag; an add or remove handles at most 64 drives (7
// beyond). A list that does not fit sets the count and answers 5 (1 from the
// unique-id workers, which leave the array alone).
extern "C" {
FSA_STATUS FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation, uint32_t* count,
                            FSA_STORAGE_DEVICE* drives);
FSA_STATUS FsaNewFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation, uint32_t* count,
                               FSA_STORAGE_DEVICE* drives);
FSA_STATUS FsaFailoverSpaceByUniqueCtrID(void* handle, uint32_t uniqueId, uint32_t operation, uint32_t* count,
                                         FSA_STORAGE_DEVICE* drives);
FSA_STATUS FsaNewFailoverSpaceByUniqueCtrID(void* handle, uint32_t uniqueId, uint32_t operation, uint32_t* count,
                                            FSA_STORAGE_DEVICE* drives);
// `partition`: the drive, then the partition's start and length in bytes.
FSA_STATUS FsaFailPartition(void* handle, uint32_t unused, const FSA_PARTITION* partition);
FSA_STATUS FsaSetAutomaticFailover(void* handle, uint32_t on);
// The automatic-failover flags (bit 0x4 = on) into *flags: 1, or 470 when the
// controller does not answer them.
FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags);
}

#endif
