#include "Command/Vyn/common/fa_failover.h"

#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"

extern "C" FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags)
{
    return FsaExportedCall("FsaGetAutomaticFailover", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (flags == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        CT_GetAutoFailover(ctx, flags);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

// Not available yet: the exports below answer 31.

extern "C" FSA_STATUS FsaFailoverSpace(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t*, FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaNewFailoverSpace(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t*, FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaFailoverSpaceByUniqueCtrID(void*, uint32_t, uint32_t, uint32_t*, FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaNewFailoverSpaceByUniqueCtrID(void*, uint32_t, uint32_t, uint32_t*, FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaFailPartition(void*, uint32_t, const FSA_PARTITION*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaSetAutomaticFailover(void*, uint32_t) { return FSA_STS_NOT_SUPPORTED; }
