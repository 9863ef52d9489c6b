#ifndef VYN_COMMAND_VYN_COMMON_FA_CTROPS_H
#define VYN_COMMAND_VYN_COMMON_FA_CTROPS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The 8-byte alarm record, exchanged unchanged with the controller; bit 0x2
// of its first byte: the alarm sounds.
struct _ALARM_INFO {
    uint8_t bytes[8];
};
static_assert(sizeof(_ALARM_INFO) == 8, "alarm record is 8 bytes");

enum : uint32_t {
    CT_PAUSE_IO = 65,
    CT_RELEASE_IO = 66,
    CT_ALARM_GET_STATE = 190,
    CT_ALARM_SET_STATE = 191,
    CT_ALARM_ON_OFF = 192,
    CT_SET_CONTROLLER_DEVICE_CACHE_POLICY = 238,
    CT_CLEAR_CONTROLLER_NVSRAM = 10,
};

// Controller I/O: pause (CT 65, status 173, else 115) and release (CT 66,
// 174 or 175, else 116). Thrown on failure; a release invalidates the
// partition cache.
void CT_PauseIo(FSAAPI_CONTEXT* ctx, unsigned int timeoutSeconds, unsigned int mode, int noRescan);
void CT_ReleaseIo(FSAAPI_CONTEXT* ctx);
// Alarm commands: 1 when done; 2 -> 7, 3 -> 605 (sending only), 4 -> 604,
// any other -> 6, thrown.
FSA_STATUS CT_AlarmCmdOut(FSAAPI_CONTEXT* ctx, unsigned int command, _ALARM_INFO* out);
FSA_STATUS CT_AlarmCmdIn(FSAAPI_CONTEXT* ctx, unsigned int command, _ALARM_INFO* in);
// Bits of the controller's drive write-cache policy mask.
constexpr uint32_t CT_CACHE_POLICY_FIRST = 0x2;
constexpr uint32_t CT_CACHE_POLICY_SECOND = 0x1;
// CT 238 with parameter 1 the policy mask; thrown on failure.
void CT_SetControllerDeviceCachePolicy(FSAAPI_CONTEXT* ctx, int first, int second);
// CT 10 of request class 23; the send status.
FSA_STATUS CT_ClearControllerNvsRam(FSAAPI_CONTEXT* ctx);

#endif
