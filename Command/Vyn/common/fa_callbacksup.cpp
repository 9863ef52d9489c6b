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
