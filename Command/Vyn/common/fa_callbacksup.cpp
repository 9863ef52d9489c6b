#include "Command/Vyn/common/fa_callbacksup.h"

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_semaphore.h"

#include <cstdlib>

CTaskCallbackManager::CTaskCallbackManager()
{
    mutex_ = faos_CreateMutex(nullptr);
    StartAccess();
    count_ = 0;
    capacity_ = 0;
    callbacks_ = nullptr;
    FinishAccess();
    try {
        semaphore_ = faos_CreateSemaphore();
    } catch (FSA_STATUS) {
        faos_DestroyMutex(mutex_);
        throw;
    }
}

CTaskCallbackManager::~CTaskCallbackManager()
{
    std::free(callbacks_);
    try {
        faos_DestroySemaphore(semaphore_);
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // Nothing is left to release them for.
    }
}

void CTaskCallbackManager::StartAccess() { faos_WaitForAndGetMutex(mutex_); }

void CTaskCallbackManager::FinishAccess() { faos_ReleaseMutex(mutex_); }

// Firmware tasks are not available yet: each routine answers 31.

extern "C" FSA_STATUS FsaGetTaskList(void*, const FSA_STORAGE_DEVICE*, const tag_FSA_CONTAINER*, FSA_TASK_DESCRIPTOR*,
                                     uint32_t*, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaGetTaskDetails(void*, uint32_t, FSA_TASK_INFO*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaWaitForTaskComplete(void*, uint32_t, const tag_FSA_CONTAINER*, const FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaGetTaskProgress(void*, uint32_t, uint32_t, FSA_TASK_PROGRESS_CALLBACK, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaTask(void*, uint32_t, uint32_t) { return FSA_STS_NOT_SUPPORTED; }

uint32_t AIF_GetTaskListForAll(FSAAPI_CONTEXT*, FSA_TASK_DESCRIPTOR*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t AIF_GetTaskListForContainer(FSAAPI_CONTEXT*, uint32_t, FSA_TASK_DESCRIPTOR*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t AIF_GetTaskListForScsi(FSAAPI_CONTEXT*, uint32_t, FSA_TASK_DESCRIPTOR*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t AIF_TranslateJDResponseFIB(FSAAPI_CONTEXT*, const _FIB*, FSA_TASK_DESCRIPTOR*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

uint32_t AIF_TranslatePRResponseFIB(FSAAPI_CONTEXT*, const _FIB*, FSA_TASK_DESCRIPTOR*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void AIF_FillinTaskDescriptor(FSAAPI_CONTEXT*, FSA_TASK_DESCRIPTOR*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
