// Container commands that read controller options: automatic failover and
// the background verification's state and period.
#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_misc.h"

#include <cstring>

namespace {

constexpr unsigned CT_GET_FAILOVER_OPTION = 169;
constexpr unsigned CT_GET_CONTAINER_OPTION = 175;
constexpr unsigned CT_GET_VERIFY_DELAY = 206;

constexpr uint32_t kStsVerifyDelay = 152;
constexpr FSA_STATUS kFailoverGetFailed = 470;
constexpr FSA_STATUS kVerifyInfoFailed = 520;
constexpr uint32_t kOpt2DayCounts = 0x4000000;

// Sends a command without throwing; its transport result, with the status
// and result word 1 out.
FSA_STATUS ask(FSAAPI_CONTEXT* ctx, unsigned code, uint32_t* status, uint32_t* result1)
{
    *status = 0;
    *result1 = 0;
    return CT_SendReceiveFIB(ctx, code, status, result1, nullptr, nullptr, 0, nullptr, 0, 0);
}

}  // namespace

void CT_GetAutoFailover(FSAAPI_CONTEXT* ctx, uint32_t* on)
{
    *on = 0;
    uint32_t status = 0;
    uint32_t word = 0;
    if (ask(ctx, CT_GET_FAILOVER_OPTION, &status, &word) != FSA_STS_SUCCESS || status != CT_STS_NEW_SUCCESS)
        throw kFailoverGetFailed;
    *on = word;
}

uint32_t CT_VerifyTaskOn(FSAAPI_CONTEXT* ctx)
{
    uint32_t status = 0;
    uint32_t word = 0;
    if (ask(ctx, CT_GET_CONTAINER_OPTION, &status, &word) != FSA_STS_SUCCESS || status != CT_STS_NEW_SUCCESS)
        throw kVerifyInfoFailed;
    return word & 0x1;
}

void CT_VerifyGetPriorityDays(FSAAPI_CONTEXT* ctx, unsigned* days)
{
    *days = 0;
    uint32_t status = 0;
    uint32_t word = 0;
    const FSA_STATUS sent = ask(ctx, CT_GET_VERIFY_DELAY, &status, &word);
    if (sent == FSA_STS_CT_BAD_STATUS)
        return;
    if (sent != FSA_STS_SUCCESS || status != kStsVerifyDelay)
        throw kVerifyInfoFailed;
    const bool dayCounts = (FsaOptionWord2(ctx) & kOpt2DayCounts) != 0;
    switch (word) {
    case 1: *days = dayCounts ? 30 : 1; break;
    case 2: *days = dayCounts ? 20 : 2; break;
    case 3: *days = dayCounts ? 10 : 3; break;
    default: *days = dayCounts ? word : 0; break;
    }
}

int CtFindVerifyTask(FSAAPI_CONTEXT* ctx, FSA_TASK_INFO* out)
{
    // The controller may list its verify task only a moment after it was
    // asked to start it, so every round runs even once one was found.
    constexpr int kRounds = 5;
    constexpr unsigned kRoundPauseMs = 200;
    constexpr size_t kTaskState = 36;
    std::memset(out->bytes, 0, 36);
    if (CT_VerifyTaskOn(ctx) == 0)
        return 0;
    int found = 0;
    for (int round = 0; round < kRounds; ++round) {
        FSA_TASK_DESCRIPTOR tasks[AIF_MAX_TASKS];
        const uint32_t count = AIF_GetTaskListForAll(ctx, tasks);
        for (uint32_t i = 0; i < count; ++i) {
            FSA_TASK_INFO details;
            FSA_STATUS status = FSA_STS_SUCCESS;
            try {
                status = AIF_GetTaskDetails(ctx, tasks[i].taskId, &details);
            } catch (FSA_STATUS thrown) {
                status = thrown;
            }
            if (status != FSA_STS_SUCCESS || faGetLe32(details.bytes + 4) != FSA_TF_ADAPTER_VERIFY ||
                faGetLe32(details.bytes + kTaskState) > 1)
                continue;
            std::memcpy(out->bytes, details.bytes, sizeof out->bytes);
            found = 1;
            break;
        }
        faos_Sleep(kRoundPauseMs);
    }
    return found;
}
