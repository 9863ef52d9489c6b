#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_misc.h"

#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const pthread_t kNoOwner = static_cast<pthread_t>(-1);
constexpr unsigned kPollMs = 50;
constexpr unsigned kMutexLimitMs = 120000;

std::atomic<uint32_t> nGlobalMutexCount{0};

uint32_t nextMutexId() { return faux_NextObjectId(nGlobalMutexCount); }

CMutexHandle* handleOf(void* m) { return static_cast<CMutexHandle*>(m); }

const char* nameOf(const CMutexHandle* h) { return h->name != nullptr ? h->name : ""; }

}  // namespace

void* faos_CreateMutex(char* name)
{
    CMutexHandle* h = new (std::nothrow) CMutexHandle;
    if (h == nullptr) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 1, "-- CreateMutex: throw FSA_STS_UX_MUTEX_CREATE\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_CREATE);
    }
    h->id = nextMutexId();
    h->name = strdup(name != nullptr ? name : "");
    h->locked.store(0);
    h->lockCount.store(0);
    h->owner.store(kNoOwner);
    pthread_mutexattr_t attr;
    bool ok = h->name != nullptr && pthread_mutexattr_init(&attr) == 0;
    if (ok) {
        ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ADAPTIVE_NP) == 0 &&
             pthread_mutex_init(&h->mutex, &attr) == 0;
        pthread_mutexattr_destroy(&attr);
    }
    if (!ok) {
        std::free(h->name);
        delete h;
        FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 1, "-- CreateMutex: throw FSA_STS_UX_MUTEX_CREATE\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_CREATE);
    }
    FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 4, "-- CreateMutex: id %u name \"%s\"\n", h->id, h->name);
    return h;
}

FSA_STATUS faos_WaitForAndGetMutex(void* m)
{
    if (m == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_GET_LOCK);
    CMutexHandle* h = handleOf(m);
    const pthread_t self = pthread_self();
    if (pthread_equal(h->owner.load(), self)) {
        h->lockCount.fetch_add(1);
        return FSA_STS_SUCCESS;
    }
    const int lockedOnEntry = h->locked.load();
    // Polled, not a timed wait in the kernel: the sleeps go through the seam,
    // so the simulator's clock and sleep scale reach this limit.
    unsigned waited = 0;
    while (pthread_mutex_trylock(&h->mutex) != 0) {
        if (waited >= kMutexLimitMs) {
            FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 1,
                               "-- waitForAndGetMutex: mutex is %s, waiting to lock: throw FSA_STS_UX_MUTEX_GET_LOCK\n",
                               lockedOnEntry ? "already locked" : "not locked");
            throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_GET_LOCK);
        }
        hostIo().sleepMs(kPollMs);
        waited += kPollMs;
    }
    h->locked.store(1);
    h->lockCount.store(1);
    h->owner.store(self);
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_ReleaseMutex(void* m)
{
    if (m == nullptr)
        return 0;
    CMutexHandle* h = handleOf(m);
    if (!pthread_equal(h->owner.load(), pthread_self())) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 3, "-- ReleaseMutex: %s (id %u, \"%s\")\n",
                           h->locked.load() ? "mutex is locked by someone else" : "unlock of an unlocked mutex",
                           h->id, nameOf(h));
        return 0;
    }
    if (h->lockCount.load() > 1) {
        h->lockCount.fetch_sub(1);
        return FSA_STS_SUCCESS;
    }
    // The record is clean before the next holder can take the mutex.
    h->owner.store(kNoOwner);
    h->lockCount.store(0);
    h->locked.store(0);
    if (pthread_mutex_unlock(&h->mutex) != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 1, "-- ReleaseMutex: throw FSA_STS_UX_MUTEX_RELEASE\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_RELEASE);
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_DestroyMutex(void* m)
{
    if (m == nullptr)
        return 0;
    CMutexHandle* h = handleOf(m);
    if (pthread_mutex_destroy(&h->mutex) != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_MUTEX, 1, "-- DestroyMutex: throw FSA_STS_UX_MUTEX_DESTROY\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_MUTEX_DESTROY);
    }
    std::free(h->name);
    delete h;
    return FSA_STS_SUCCESS;
}

int faux_locked(void* m)
{
    if (m == nullptr)
        return 0;
    CMutexHandle* h = handleOf(m);
    const int rc = pthread_mutex_trylock(&h->mutex);
    if (rc == EBUSY)
        return 1;
    if (rc == 0)
        pthread_mutex_unlock(&h->mutex);
    return 0;
}
