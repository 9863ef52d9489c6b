#include "Command/Vyn/common/fa_failover.h"

// Not available yet: each export answers 31.

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
