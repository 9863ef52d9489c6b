// Container cache statistics, names, unique ids and background verification.
// Not available yet: each routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

FSA_STATUS CT_UpdateCacheParms(FSAAPI_CONTEXT*, uint32_t, CacheSetCommand*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_GetGlobalCacheStats(FSAAPI_CONTEXT*, int, int, GlobalCacheStats*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_CacheToss(FSAAPI_CONTEXT*, uint32_t, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_SetName(FSAAPI_CONTEXT*, uint32_t, const char*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_GetName(FSAAPI_CONTEXT*, uint32_t, char*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_EnableRaid5(FSAAPI_CONTEXT*, uint32_t, uint32_t) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_GetContainerSerialNumber(void*, uint32_t, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

void CT_StartContainerVerify(FSAAPI_CONTEXT*, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_VerifySetPriority(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_VerifySetPriorityDays(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_VerifyGetPriority(FSAAPI_CONTEXT*, uint32_t*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

bool CT_IsGenerationEqual(const tag_FSA_GENERATION*, const tag_FSA_GENERATION*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

bool CT_IsGenerationCurrent(FSAAPI_CONTEXT*, const tag_FSA_GENERATION*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t CT_GetContainerUsage(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }
