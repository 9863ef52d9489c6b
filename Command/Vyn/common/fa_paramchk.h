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
// conditions (bit N of the 64-bit mask), `mode` the throw mode: 0 throws the
// first failing condition's status, any other answers instead.
// PCK_ContainerIsRet returns that status (1 for none) and clears *exists when
// the container does not exist; PCK_ContainerIs answers 0 for none, else 1
// for an existing container and 0 for a missing one.
FSA_STATUS PCK_ContainerIsRet(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, int* exists);
uint32_t PCK_ContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, FSA_THROW_MODE mode);
void PCK_ThrowIfContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask);
uint32_t PCK_ScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask, FSA_THROW_MODE mode);
void PCK_ThrowIfScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask);
void PCK_ValidateChunkSize(FSAAPI_CONTEXT* ctx, uint32_t chunk, uint64_t sizeBytes);
// 8, 16, 32 and 64 are taken as KB; the result must be the context's minimum
// chunk doubled k times, at most its maximum (26 otherwise, also for a
// minimum of 0); 0 stays 0.
void PCK_ValidateUserChunkSize(FSAAPI_CONTEXT* ctx, uint32_t* chunk);
// Free-space extents for a new container: throws 581, 147, 36, 28, 148, 149,
// 150 or, unless skipped, 146 for a total below the smallest container.
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
// Deletes the containers on a drive (137 when not allowed), at most as many
// times as containers were first listed.
void PCK_CheckAndRemoveActiveCtrs(FSAAPI_CONTEXT* ctx, int device, int allowDelete, int unconditional);
// Checks that each of the n devices sits on a channel of `mode`: throws 7 for
// a null context or device list, 36 for a bus not below the channel count,
// 28 for a channel of another mode.
void PCK_ValidateChannelMode(const FSAAPI_CONTEXT* ctx, FSAAPI_CHANNEL_MODE mode, const FSA_STORAGE_DEVICE* devices,
                             uint32_t n);

#endif
