#include "Command/Vyn/common/fa_paramchk.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"

#include <iterator>

bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx)
{
    return ctx->driverHandleWord == 0 && ctx->remoteAdapter == 1;
}

// The checks below are not available yet: each answers 31.

FSA_STATUS PCK_ContainerIsRet(FSAAPI_CONTEXT*, uint32_t, uint64_t, int*) { return FSA_STS_NOT_SUPPORTED; }

uint32_t PCK_ContainerIs(FSAAPI_CONTEXT*, uint32_t, uint64_t, FSA_THROW_MODE mode)
{
    return FSA_THROW(mode, FSA_STS_NOT_SUPPORTED);
}

void PCK_ThrowIfContainerIs(FSAAPI_CONTEXT*, uint32_t, uint64_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t PCK_ScsiDeviceIs(FSAAPI_CONTEXT*, int, uint32_t, FSA_THROW_MODE mode)
{
    return FSA_THROW(mode, FSA_STS_NOT_SUPPORTED);
}

void PCK_ThrowIfScsiDeviceIs(FSAAPI_CONTEXT*, int, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void PCK_ValidateChunkSize(FSAAPI_CONTEXT*, uint32_t, uint64_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void PCK_ValidateUserChunkSize(FSAAPI_CONTEXT*, uint32_t*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void PCK_ValidateFreeSpace(FSAAPI_CONTEXT*, const FSA_STORAGE_DEVICE_SPACE*, uint32_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

bool PCK_IsOemServerRomb(const FSAAPI_CONTEXT* ctx)
{
    return ctx->oemId == 9 || ctx->oemId == 13 || ctx->oemId == 14;
}

bool PCK_IsOemServerLegacy(const FSAAPI_CONTEXT* ctx) { return PCK_IsOemServerRomb(ctx) || ctx->oemId == 8; }

void PCK_GetContainersMaxPartitionSize(FSAAPI_CONTEXT*, const tag_FSA_CONTAINER*, uint64_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void PCK_InternalGetContainersMaxPartitionSize(FSAAPI_CONTEXT*, const tag_FSA_CONTAINER*, uint64_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void PCK_ValidateContainerDedicatedHotSpares(FSAAPI_CONTEXT*, const tag_FSA_CONTAINER*, uint32_t,
                                             const FSA_STORAGE_DEVICE*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void PCK_CheckAndRemoveActiveCtrs(FSAAPI_CONTEXT*, int, int, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
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
