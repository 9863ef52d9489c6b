#include "Command/Vyn/os/faux_semaphore.h"
#include "Command/Vyn/os/faux_misc.h"

#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"

#include <atomic>
#include <new>

namespace {

constexpr unsigned kPollMs = 50;
constexpr uint64_t kForeverMs = 0xFFFFFFFFull;
constexpr uint64_t kDefaultLimitMs = 5000;

std::atomic<uint32_t> nGlobalSemaCount{0};

uint32_t nextSemaId() { return faux_NextObjectId(nGlobalSemaCount); }

}  // namespace

uint16_t CSemaHandle::getSemaType()
{
    int value = 0;
    sem_getvalue(&sema, &value);
    return static_cast<uint16_t>(value);
}

void* faos_CreateSemaphore()
{
    CSemaHandle* h = new (std::nothrow) CSemaHandle;
    if (h == nullptr || sem_init(&h->sema, 0, 0) != 0) {
        delete h;
        FsaUxDbgFilePrintf(0, FAUX_DBG_SEMA, 1, "-- CreateSemaphore: throw FSA_STS_UX_SEMA_CREATE\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_CREATE);
    }
    h->id = nextSemaId();
    return h;
}

FSA_STATUS faos_WaitForSemaphore(void* s, int timeoutMs)
{
    if (s == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_WAIT);
    CSemaHandle* h = static_cast<CSemaHandle*>(s);
    const uint64_t limit = timeoutMs == -1 ? kForeverMs : kDefaultLimitMs;
    // Polled through the seam, so that the simulator's sleep scale reaches it.
    uint64_t waited = 0;
    while (sem_trywait(&h->sema) != 0) {
        if (waited >= limit) {
            FsaUxDbgFilePrintf(0, FAUX_DBG_SEMA, 1, "-- WaitForSemaphore: throw FSA_STS_UX_SEMA_WAIT\n");
            throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_WAIT);
        }
        hostIo().sleepMs(kPollMs);
        waited += kPollMs;
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_SetSemaphore(void* s)
{
    if (s == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_POST);
    CSemaHandle* h = static_cast<CSemaHandle*>(s);
    const int ret = sem_post(&h->sema);
    if (ret != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_SEMA, 1, "-- SetSemaphore: throw FSA_STS_UX_SEMA_POST, ret: %d\n", ret);
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_POST);
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_ResetSemaphore(void* s)
{
    if (s == nullptr)
        return FSA_STS_SUCCESS;
    CSemaHandle* h = static_cast<CSemaHandle*>(s);
    FsaUxDbgFilePrintf(0, FAUX_DBG_SEMA, 4, "-- ResetSemaphore: id %u value %u\n", h->id,
                       static_cast<unsigned>(h->getSemaType()));
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_DestroySemaphore(void* s)
{
    if (s == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_DESTROY);
    CSemaHandle* h = static_cast<CSemaHandle*>(s);
    if (sem_destroy(&h->sema) != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_SEMA, 1, "-- DestroySemaphore: throw FSA_STS_UX_SEMA_DESTROY\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_SEMA_DESTROY);
    }
    delete h;
    return FSA_STS_SUCCESS;
}
