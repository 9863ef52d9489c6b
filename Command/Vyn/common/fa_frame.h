#ifndef VYN_COMMAND_VYN_COMMON_FA_FRAME_H
#define VYN_COMMAND_VYN_COMMON_FA_FRAME_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/common/fa_utils.h"

#include <cstdint>

// Frees the context's partition-layout cache when the exported call ends, so
// that cached layouts never outlive one call.
class FINISH_OPEN {
public:
    explicit FINISH_OPEN(FSAAPI_CONTEXT* ctx) : ctx_(ctx) {}
    ~FINISH_OPEN();
    FINISH_OPEN(const FINISH_OPEN&) = delete;
    FINISH_OPEN& operator=(const FINISH_OPEN&) = delete;

private:
    FSAAPI_CONTEXT* ctx_;
};

// The context mutex for one exported call. The held flag lets an exported
// call made inside another on the same handle pass without releasing the
// outer call's lock: only the outermost guard owns it.
class CMutexObject {
public:
    // take set: locks (throws 486 at the limit); take clear: never locks.
    CMutexObject(void* mutex, int* heldFlag, int take);
    ~CMutexObject();
    CMutexObject(const CMutexObject&) = delete;
    CMutexObject& operator=(const CMutexObject&) = delete;

    bool owner() const { return owner_; }

private:
    void* mutex_;
    bool owner_ = false;
    bool take_;
    int* held_;
};

// Where a gate tests the paused flag: before the context mutex, after it, or
// not at all (the pause-OK routines).
enum class FsaPauseCheck { BeforeLock, AfterLock, None };

// An access gate: the modes (bit n = mode n) it lets in, the status for any
// other, and the place of its pause check.
struct FsaGateKind {
    const char* trace;
    uint32_t modes;
    FSA_STATUS refused;
    FsaPauseCheck pause;
};

constexpr uint32_t kFsaModesAll = 0x7F;  // 0 to 6
constexpr uint32_t kFsaModesWrite = 1u << FSA_ACC_READ_WRITE | 1u << FSA_ACC_LL_READ_WRITE | 1u << FSA_ACC_UTILITY;
constexpr uint32_t kFsaModesPassThrough = kFsaModesWrite | 1u << FSA_ACC_LL_READ_ONLY;

constexpr FsaGateKind FSA_READ_ONLY_ROUTINE{"START_READ_ONLY_ROUTINE - Not Supported: File: %s, Line: %d\n",
                                            kFsaModesAll, FSA_STS_NOT_OPEN_READ_ONLY, FsaPauseCheck::BeforeLock};
// The read-write gate of the container layer and the exported operations: the
// pause is tested only once the context mutex is held, so a paused controller
// is reported to a caller that waited its turn, never to one that cut in.
constexpr FsaGateKind FSA_READ_WRITE_ROUTINE{"START_READ_WRITE_ROUTINE - Not Supported: File: %s, Line: %d\n",
                                             kFsaModesWrite, FSA_STS_NOT_OPEN_READ_WRITE, FsaPauseCheck::AfterLock};
constexpr FsaGateKind FSA_READ_ONLY_PAUSE_OK_ROUTINE{
    "START_READ_ONLY_PAUSE_OK_ROUTINE - Not Supported: File: %s, Line: %d\n", kFsaModesAll,
    FSA_STS_NOT_OPEN_READ_ONLY, FsaPauseCheck::None};
constexpr FsaGateKind FSA_RW_PAUSE_OK_ROUTINE{"START_RW_PAUSE_OK_ROUTINE - Not Supported: File: %s, Line: %d\n",
                                              kFsaModesWrite, FSA_STS_NOT_OPEN_READ_WRITE, FsaPauseCheck::None};
// The read-write gate of the OS layer's own exports (open and pause status,
// dynamic properties, controller logs, controller-wide settings): they refuse a
// paused controller before they ask for the context mutex.
constexpr FsaGateKind FSA_OS_READ_WRITE_ROUTINE{"START_READ_WRITE_ROUTINE - Not Supported: File: %s, Line: %d\n",
                                                kFsaModesWrite, FSA_STS_NOT_OPEN_READ_WRITE,
                                                FsaPauseCheck::BeforeLock};
constexpr FsaGateKind FSA_PASS_THROUGH_ROUTINE{"START_READ_WRITE_ROUTINE - Not Supported: File: %s, Line: %d\n",
                                               kFsaModesPassThrough, FSA_STS_NOT_OPEN_RW_OR_LL_RO,
                                               FsaPauseCheck::BeforeLock};

// Whether the frame takes the context mutex for this access mode: not for the
// low-level read-only and utility modes.
inline int FsaTakesContextMutex(const FSAAPI_CONTEXT* ctx)
{
    return ctx->accessMode != FSA_ACC_LL_READ_ONLY && ctx->accessMode != FSA_ACC_UTILITY;
}

// Steps 2 to 4 of the frame: the context of a handle behind its gate, or null
// with the refusal in *status. The after-lock pause check is left to the
// guarded part.
FSAAPI_CONTEXT* FsaOpenGate(void* handle, const FsaGateKind& gate, FSA_STATUS* status);

// The guarded part of the frame: FINISH_OPEN, the context mutex, the late
// pause check of the gate, and the work. Exceptions pass through it after the
// guards are released.
template <class Work>
FSA_STATUS FsaRunGuarded(FSAAPI_CONTEXT* ctx, const FsaGateKind& gate, Work&& work)
{
    FINISH_OPEN finish(ctx);
    CMutexObject guard(ctx->contextMutex, &ctx->mutexHeld, FsaTakesContextMutex(ctx));
    if (gate.pause == FsaPauseCheck::AfterLock && ctx->paused)
        return FSA_STS_ADAPTER_PAUSED;
    return work(ctx);
}

// The exported-call frame: trace scope, handle, gate, pause check, guards and
// the work, a thrown FSA_STATUS becoming the return value. `work` takes the
// context and returns the status.
template <class Work>
FSA_STATUS FsaExportedCall(const char* name, void* handle, const FsaGateKind& gate, Work&& work)
{
    FsaApiEntryExit scope(name);
    FSA_STATUS status = FSA_STS_SUCCESS;
    FSAAPI_CONTEXT* ctx = FsaOpenGate(handle, gate, &status);
    if (ctx == nullptr)
        return status;
    try {
        status = FsaRunGuarded(ctx, gate, work);
    } catch (FSA_STATUS thrown) {
        status = thrown;
    }
    return status;
}

#endif
