#ifndef VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H
#define VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct tag_FSA_CONTAINER;
struct FSA_STORAGE_DEVICE;
struct FSA_STORAGE_DEVICE_SPACE;

// The mode of a channel, one per bus in the context's channel-mode table.
enum FSAAPI_CHANNEL_MODE : uint32_t {
    FSAAPI_CHANNEL_MODE_1 = 1,
    FSAAPI_CHANNEL_MODE_2 = 2,
};

// True when the context has no local driver: its driver-handle word is 0 and
// its no-host-driver indicator is 1.
bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx);

// The preconditions of the exported operations; `mask` holds the container
// conditions, `mode` is the throw mode. Not available yet: the checks throw
// 31 (with a non-zero throw mode they answer it), the status-returning one
// returns it.
FSA_STATUS PCK_ContainerIsRet(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, int* exists);
uint32_t PCK_ContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, FSA_THROW_MODE mode);
void PCK_ThrowIfContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask);
uint32_t PCK_ScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask, FSA_THROW_MODE mode);
void PCK_ThrowIfScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask);
void PCK_ValidateChunkSize(FSAAPI_CONTEXT* ctx, uint32_t chunk, uint64_t sizeBytes);
void PCK_ValidateUserChunkSize(FSAAPI_CONTEXT* ctx, uint32_t* chunk);
void PCK_ValidateFreeSpace(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n,
                           int skipSizeCheck);
// OEM server families with their own rules: the ROMB servers (OEM ids 9, 13
// and 14) and, with them, the legacy servers (also OEM id 8).
bool PCK_IsOemServerRomb(const FSAAPI_CONTEXT* ctx);
bool PCK_IsOemServerLegacy(const FSAAPI_CONTEXT* ctx);
void PCK_GetContainersMaxPartitionSize(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint64_t* out);
void PCK_InternalGetContainersMaxPartitionSize(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container,
                                               uint64_t* inOut);
void PCK_ValidateContainerDedicatedHotSpares(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t n,
                                             const FSA_STORAGE_DEVICE* drives);
void PCK_CheckAndRemoveActiveCtrs(FSAAPI_CONTEXT* ctx, int device, int allowDelete, int unconditional);
// Checks that each of the n devices sits on a channel of `mode`: throws 7 for
// a null context or device list, 36 for a bus not below the channel count,
// 28 for a channel of another mode.
void PCK_ValidateChannelMode(const FSAAPI_CONTEXT* ctx, FSAAPI_CHANNEL_MODE mode, const FSA_STORAGE_DEVICE* devices,
                             uint32_t n);

#endif
