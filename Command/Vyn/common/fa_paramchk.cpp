#include "Command/Vyn/common/fa_paramchk.h"

#include "Command/Vyn/common/fa_context.h"

bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx)
{
    return ctx->driverHandleWord == 0 && ctx->remoteAdapter == 1;
}
