// The state of the background verification (data scrub).
#include "Command/Vyn/common/fa_verify.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"

#include <cstring>

namespace {

// Words of the running verify task's record copied into the state.
constexpr size_t kTaskProgress = 44;
constexpr size_t kTaskTotal = 48;

FSA_STATUS verifyInfo(FSAAPI_CONTEXT* ctx, uint32_t state[3])
{
    state[0] = state[1] = state[2] = 0;
    state[0] = CT_VerifyTaskOn(ctx);
    if (state[0] != 0) {
        FSA_TASK_INFO task = {};
        if (CtFindVerifyTask(ctx, &task)) {
            state[1] = faGetLe32(task.bytes + kTaskProgress);
            state[2] = faGetLe32(task.bytes + kTaskTotal);
        }
    }
    return FSA_STS_SUCCESS;
}

}  // namespace

extern "C" FSA_STATUS FsaVerifyContainerGetInfo(void* handle, uint32_t state[3])
{
    return FsaExportedCall("FsaVerifyContainerGetInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (state == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return verifyInfo(ctx, state);
    });
}

extern "C" FSA_STATUS FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out)
{
    return FsaExportedCall("FsaVerifyContainerGetInfo2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (state == nullptr || out == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        std::memset(out->bytes, 0, sizeof out->bytes);
        unsigned days = 0;
        CT_VerifyGetPriorityDays(ctx, &days);
        faPutLe32(out->bytes + 4, days);
        return verifyInfo(ctx, state);
    });
}
