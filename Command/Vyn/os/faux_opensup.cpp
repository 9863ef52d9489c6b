#include "Command/Vyn/os/faux_opensup.h"

#include "Command/Vyn/os/faux_debug.h"

int faos_CheckAdapterAccess(FSAAPI_CONTEXT* /*ctx*/, FSA_ACCESS /*access*/)
{
    FAUX_TRACE_MISSING("faux_opensup", "faos_CheckAdapterAccess");
    return 1;
}

int faos_GetPartnerAdapterInfo(FSAAPI_CONTEXT* /*ctx*/)
{
    FAUX_TRACE_MISSING("faux_opensup", "faos_GetPartnerAdapterInfo");
    return 0;
}

int faos_OpenClusterPartnerAdapter(FSAAPI_CONTEXT* /*ctx*/)
{
    FAUX_TRACE_MISSING("faux_opensup", "faos_OpenClusterPartnerAdapter");
    return 1;
}

int faos_GrantThreadOwnership(int /*thread*/) { return 1; }
