#include "Command/Vyn/common/fa_paramchk.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"

#include <iterator>

bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx)
{
    return ctx->driverHandleWord == 0 && ctx->remoteAdapter == 1;
}

void PCK_ValidateChannelMode(const FSAAPI_CONTEXT* ctx, FSAAPI_CHANNEL_MODE mode, const FSA_STORAGE_DEVICE* devices,
                             uint32_t n)
{
    if (ctx == nullptr || devices == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t bus = devices[i].busNumber;
        // The table has a fixed number of buses whatever the count claims.
        if (bus >= ctx->channelCount || bus >= std::size(ctx->channelKind))
            throw static_cast<FSA_STATUS>(FSA_STS_BAD_BUS);
        if (ctx->channelKind[bus] != mode)
            throw static_cast<FSA_STATUS>(FSA_STS_WRONG_CHANNEL_MODE);
    }
}
