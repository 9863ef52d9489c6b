#include "Command/Vyn/common/fa_paramchk.h"

#include "Command/Vyn/common/fa_context.h"

bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx)
{
    return ctx->driverHandleWord == 0 && ctx->remoteAdapter == 1;
}

bool PCK_IsDellServerRomb(const FSAAPI_CONTEXT* ctx)
{
    return ctx->oemId == 9 || ctx->oemId == 13 || ctx->oemId == 14;
}

bool PCK_IsDellServerLegacy(const FSAAPI_CONTEXT* ctx) { return PCK_IsDellServerRomb(ctx) || ctx->oemId == 8; }
