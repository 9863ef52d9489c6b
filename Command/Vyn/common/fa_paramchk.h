#ifndef VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H
#define VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H

#include <cstdint>

class FSAAPI_CONTEXT;
struct FSA_STORAGE_DEVICE;

// The mode of a channel, one per bus in the context's channel-mode table.
enum FSAAPI_CHANNEL_MODE : uint32_t {
    FSAAPI_CHANNEL_MODE_1 = 1,
    FSAAPI_CHANNEL_MODE_2 = 2,
};

// True when the context has no local driver: its driver-handle word is 0 and
// its no-host-driver indicator is 1.
bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx);

// Checks that each of the n devices sits on a channel of `mode`: throws 7 for
// a null context or device list, 36 for a bus not below the channel count,
// 28 for a channel of another mode.
void PCK_ValidateChannelMode(const FSAAPI_CONTEXT* ctx, FSAAPI_CHANNEL_MODE mode, const FSA_STORAGE_DEVICE* devices,
                             uint32_t n);

#endif
