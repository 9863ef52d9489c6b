#include "Command/Vyn/common/fa_frame.h"

#include "Command/Vyn/os/faux_mutex.h"

FINISH_OPEN::~FINISH_OPEN()
{
    try {
        ctx_->partitionLayoutCache.FreePartitionLayoutCache();
    } catch (FSA_STATUS) {
        // The cache is freed by the next call or with the context.
    }
}

CMutexObject::CMutexObject(void* mutex, int* heldFlag, int take) : mutex_(mutex), take_(take != 0), held_(heldFlag)
{
    if (!take_) {
        *held_ = 1;
        return;
    }
    faos_WaitForAndGetMutex(mutex_);
    if (*held_ != 0) {
        // An outer call of this chain owns the lock: give back the level
        // just taken and leave the release to it.
        faos_ReleaseMutex(mutex_);
        return;
    }
    owner_ = true;
    *held_ = 1;
}

CMutexObject::~CMutexObject()
{
    if (!take_) {
        *held_ = 0;
        return;
    }
    if (!owner_)
        return;
    *held_ = 0;
    try {
        faos_ReleaseMutex(mutex_);
    } catch (FSA_STATUS) {
        // Unwinding must not throw; the mutex stays with this thread.
    }
}

FSAAPI_CONTEXT* FsaOpenGate(void* handle, const FsaGateKind& gate, FSA_STATUS* status)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr) {
        *status = FSA_STS_INVALID_HANDLE;
        return nullptr;
    }
    UtilPrintDebugFormatted(const_cast<char*>(gate.trace), __FILE__, __LINE__);
    const int mode = static_cast<int>(ctx->accessMode);
    if (mode < 0 || mode > 31 || (gate.modes & 1u << mode) == 0) {
        *status = gate.refused;
        return nullptr;
    }
    if (gate.pause == FsaPauseCheck::BeforeLock && ctx->paused) {
        *status = FSA_STS_ADAPTER_PAUSED;
        return nullptr;
    }
    return ctx;
}
