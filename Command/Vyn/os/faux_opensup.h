#ifndef VYN_COMMAND_VYN_OS_FAUX_OPENSUP_H
#define VYN_COMMAND_VYN_OS_FAUX_OPENSUP_H

#include "Command/Vyn/common/fa_types.h"

class FSAAPI_CONTEXT;

// Checks of other host systems: fixed answers with an "is missing" notice.
int faos_CheckAdapterAccess(FSAAPI_CONTEXT* ctx, FSA_ACCESS access);
int faos_GetPartnerAdapterInfo(FSAAPI_CONTEXT* ctx);
int faos_OpenClusterPartnerAdapter(FSAAPI_CONTEXT* ctx);
int faos_GrantThreadOwnership(int thread);

#endif
