// Drive metadata sector, candidate spares and per-drive cache policy. Not
// available yet: each routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

void CT_ReadSWSector(FSAAPI_CONTEXT*, uint32_t, FSAAPI_SW_METADATA*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_WriteSWSector(FSAAPI_CONTEXT*, uint32_t, const FSAAPI_SW_METADATA*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SetDeviceCachePolicy(FSAAPI_CONTEXT*, uint32_t, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_GetDeviceCachePolicy(FSAAPI_CONTEXT*, uint32_t, int*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_SetCandidateSpare(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_ClrCandidateSpare(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

int CT_IsCandidateSpare(FSAAPI_CONTEXT*, uint32_t) { return 0; }
