#include "Command/Vyn/common/fa_ctrops.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"

namespace {

constexpr uint32_t kPauseDone = 173;
constexpr uint32_t kReleaseDone = 174;
constexpr uint32_t kReleaseDoneAlso = 175;
constexpr FSA_STATUS kPauseFailed = 115;
constexpr FSA_STATUS kReleaseFailed = 116;
constexpr FSA_STATUS kAlarmDisabled = 605;
constexpr FSA_STATUS kNoAlarm = 604;

FSA_STATUS alarmStatus(uint32_t status, bool sending)
{
    switch (status) {
    case 1: return FSA_STS_SUCCESS;
    case 2: return FSA_STS_BAD_PARAMETER;
    case 3: return sending ? kAlarmDisabled : FSA_STS_GENERAL_FAILURE;
    case 4: return kNoAlarm;
    default: return FSA_STS_GENERAL_FAILURE;
    }
}

}  // namespace

void CT_PauseIo(FSAAPI_CONTEXT* ctx, unsigned int timeoutSeconds, unsigned int mode, int noRescan)
{
    uint32_t p0 = timeoutSeconds;
    uint32_t p1 = mode;
    uint32_t p2 = static_cast<uint32_t>(noRescan);
    CT_SendReceiveFIB(ctx, CT_PAUSE_IO, &p0, &p1, &p2, nullptr, 0, nullptr, 0, 1);
    if (p0 != kPauseDone) {
        CT_DebugPrintStatus(CT_PAUSE_IO, p0);
        throw kPauseFailed;
    }
}

void CT_ReleaseIo(FSAAPI_CONTEXT* ctx)
{
    uint32_t p0 = 0;
    CT_SendReceiveFIB(ctx, CT_RELEASE_IO, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    if (p0 != kReleaseDone && p0 != kReleaseDoneAlso) {
        CT_DebugPrintStatus(CT_RELEASE_IO, p0);
        throw kReleaseFailed;
    }
    // The controller may have changed its configuration while paused.
    CT_InvalidateCache(ctx);
}

FSA_STATUS CT_AlarmCmdOut(FSAAPI_CONTEXT* ctx, unsigned int command, _ALARM_INFO* out)
{
    uint32_t p0 = 1;
    CT_SendReceiveFIB(ctx, command, &p0, nullptr, nullptr, nullptr, 0, out->bytes, sizeof out->bytes, 1);
    const FSA_STATUS status = alarmStatus(p0, false);
    if (status != FSA_STS_SUCCESS)
        throw status;
    return status;
}

FSA_STATUS CT_AlarmCmdIn(FSAAPI_CONTEXT* ctx, unsigned int command, _ALARM_INFO* in)
{
    uint32_t p0 = 1;
    CT_SendReceiveFIB(ctx, command, &p0, nullptr, nullptr, in->bytes, sizeof in->bytes, nullptr, 0, 1);
    const FSA_STATUS status = alarmStatus(p0, true);
    if (status != FSA_STS_SUCCESS)
        throw status;
    return status;
}

FSA_STATUS CT_ClearControllerNvsRam(FSAAPI_CONTEXT* ctx)
{
    uint32_t status = 0;
    try {
        return CT_SendReceiveFIB(ctx, CT_CLEAR_CONTROLLER_NVSRAM, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 0,
                                 VM_SasNvsramAccess);
    } catch (FSA_STATUS thrown) {
        // The send path may still throw; this clear reports every failure.
        return thrown;
    }
}
