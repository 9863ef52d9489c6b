#include "Command/Vyn/common/fa_container_cache.h"

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>

FSA_CONTAINER_CACHE::FSA_CONTAINER_CACHE() { mutex = faos_CreateMutex(nullptr); }

FSA_CONTAINER_CACHE::~FSA_CONTAINER_CACHE()
{
    count = 0;
    std::free(buffer);
    buffer = nullptr;
    try {
        faos_DestroyMutex(mutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the cache goes anyway.
    }
}

// Container cache settings are not available yet: each routine answers 31.

extern "C" FSA_STATUS FsaContainerSetCacheParams(void*, const tag_FSA_CONTAINER*, const tag_FSA_CONTAINER_PARAMS*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaContainerGetCacheParams(void*, const tag_FSA_CONTAINER*, tag_FSA_CONTAINER_PARAMS*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaContainerGetCacheMode(void*, const tag_FSA_CONTAINER*, uint32_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaReleaseContainerCache(void*, const tag_FSA_CONTAINER*, uint32_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaContainerSetITPCacheSettings(void*, const tag_FSA_CONTAINER*, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaContainerSetOrvexaWriteCacheSettings(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS FsaAreThereOphanRawBuffers(void*, int) { return FSA_STS_NOT_SUPPORTED; }
