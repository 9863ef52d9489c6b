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
