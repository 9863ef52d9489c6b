#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct tag_FSA_CONTAINER;
struct tag_FSA_CONTAINER_PARAMS;

// The context's container cache: a word, a heap buffer and its mutex. The
// container commands fill it.
struct FSA_CONTAINER_CACHE {
    // Word 0, no buffer; creates the mutex (throws 485).
    FSA_CONTAINER_CACHE();
    // Frees the buffer and destroys the mutex.
    ~FSA_CONTAINER_CACHE();
    FSA_CONTAINER_CACHE(const FSA_CONTAINER_CACHE&) = delete;
    FSA_CONTAINER_CACHE& operator=(const FSA_CONTAINER_CACHE&) = delete;

    uint32_t count = 0;
    void* buffer = nullptr;  // malloc'ed
    void* mutex = nullptr;
};

// Container cache settings. Not available yet: each answers 31.
extern "C" {
FSA_STATUS FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                      const tag_FSA_CONTAINER_PARAMS* params);
FSA_STATUS FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container, tag_FSA_CONTAINER_PARAMS* out);
FSA_STATUS FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container, uint32_t out[2]);
FSA_STATUS FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out);
FSA_STATUS FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container, int enable);
FSA_STATUS FsaContainerSetOrvexaWriteCacheSettings(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                                   uint32_t value);
}
// The NVRAM export's check for cache buffers without a container.
FSA_STATUS FsaAreThereOphanRawBuffers(void* handle, int release);

#endif
