#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>
#include <cstring>

FSA_PARTITION_LAYOUT_CACHE::FSA_PARTITION_LAYOUT_CACHE() { mutex_ = faos_CreateMutex(nullptr); }

FSA_PARTITION_LAYOUT_CACHE::~FSA_PARTITION_LAYOUT_CACHE()
{
    try {
        FreePartitionLayoutCache();
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the cache goes anyway.
    }
}

void FSA_PARTITION_LAYOUT_CACHE::TakeMutex() { faos_WaitForAndGetMutex(mutex_); }

void FSA_PARTITION_LAYOUT_CACHE::ReleaseMutex() { faos_ReleaseMutex(mutex_); }

void FSA_PARTITION_LAYOUT_CACHE::FreePartitionLayoutCache()
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    std::free(buffer);
    buffer = nullptr;
}

void CT_GetStandardID(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t container)
{
    std::memset(out, 0, sizeof *out);
    out->number = container;
    out->adapterWord = ctx->adapterIdentityWord;
}

uint32_t CT_GetInternalID(const tag_FSA_CONTAINER* container) { return container->number; }

void CT_Split(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_SplitTwo(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_MakeSnapshot(FSAAPI_CONTEXT*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
