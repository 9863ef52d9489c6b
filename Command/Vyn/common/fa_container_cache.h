#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct tag_FSA_CONTAINER;

// A container's cache parameters: word 0 the read-cache setting (bit 0 on),
// word 1 the write-cache setting (bit 1 on, bit 0 on while the cache is
// protected).
struct tag_FSA_CONTAINER_PARAMS {
    uint32_t readCache;
    uint32_t writeCache;
};
static_assert(sizeof(tag_FSA_CONTAINER_PARAMS) == 8, "cache parameters are two words");

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

// Container cache settings of one container. The setters refuse a missing
// container (11), one the host cannot reach (401) and a locked one (42)
// before they send anything.
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
// The NVRAM export's check for cache buffers without a container: 1 when
// some were found (and released with `release`), 0 when none; a gate refusal
// or a failed read comes back in the same word.
FSA_STATUS FsaAreThereOphanRawBuffers(void* handle, int release);

#endif
