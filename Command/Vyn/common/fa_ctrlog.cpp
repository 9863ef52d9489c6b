// The controller's classic event log. Not available yet: each routine
// answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

void CT_GetLogSize(FSAAPI_CONTEXT*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_GetNvLogEntry(FSAAPI_CONTEXT*, uint32_t, uint32_t, void*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_GetLegacyNvLogEntry(FSAAPI_CONTEXT*, uint32_t, uint32_t, void*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_GetHistLogSize(FSAAPI_CONTEXT*, uint32_t*, uint32_t*, uint32_t*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
