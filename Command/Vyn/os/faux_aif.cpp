#include "Command/Vyn/os/faux_aif.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_semaphore.h"

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned kPollMs = 50;
constexpr uint32_t kAifIdWrap = 10000;
constexpr int kWaitForever = -1;

std::atomic<uint32_t> nGlobalAIFCount{0};

uint32_t nextAifId()
{
    uint32_t cur = nGlobalAIFCount.load();
    uint32_t next;
    do {
        next = cur + 1 >= kAifIdWrap ? 0 : cur + 1;
    } while (!nGlobalAIFCount.compare_exchange_weak(cur, next));
    return cur;
}

// The fetch record of the driver: channel id, wait (always 0: the driver
// never blocks) and the address of the caller's FIB.
struct AifFetchRecord {
    uint32_t channelId;
    int32_t wait;
    _FIB* fib;
};
static_assert(sizeof(AifFetchRecord) == 16, "fetch record is 16 bytes");

}  // namespace

FAUX_AIF_CONTEXT::FAUX_AIF_CONTEXT() : aifId(nextAifId()), owner(static_cast<pthread_t>(-1))
{
    wakeSema = faos_CreateSemaphore();
    try {
        ackSema = faos_CreateSemaphore();
    } catch (FSA_STATUS) {
        faos_DestroySemaphore(wakeSema);
        throw;
    }
}

FAUX_AIF_CONTEXT::~FAUX_AIF_CONTEXT()
{
    try {
        faos_DestroySemaphore(ackSema);
        faos_DestroySemaphore(wakeSema);
    } catch (FSA_STATUS) {
    }
}

void* faos_OpenAIFReceiveChannel(FSAAPI_CONTEXT* ctx)
{
    if (ctx->remoteAdapter == 1)
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_IMPLEMENTED);
    FAUX_COMM_CONTEXT* comm = ctx->commContext;
    if (comm == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    FAUX_AIF_CONTEXT* slot = nullptr;
    {
        FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
        for (FAUX_AIF_CONTEXT& s : comm->aifSlots) {
            if (s.inUse == 0) {
                s.inUse = 1;
                slot = &s;
                break;
            }
        }
    }
    if (slot == nullptr) {
        FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 2, "-- faos_OpenAIFReceiveChannel: no free slot\n");
        return nullptr;
    }
    if (hostIo().ioctl(comm->fd, FSACTL_OPEN_GET_ADAPTER_FIB, &slot->channelId) != 0) {
        const int err = errno;
        FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 1,
                           "-- faos_OpenAIFReceiveChannel, Failed ioctl:FSACTL_OPEN_GET_ADAPTER_FIB, errno=%d:%s\n",
                           err, std::strerror(err));
        // The slot holds no channel: give it back so that failures cannot
        // use up the slots.
        {
            FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
            slot->channelId = 0;
            slot->inUse = 0;
        }
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    slot->setAifThread();
    FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 4, "-- faos_OpenAIFReceiveChannel: aif %u channel %u\n", slot->getAIFID(),
                       slot->channelId);
    return slot;
}

int faos_GetAIF(FSAAPI_CONTEXT* ctx, void* slotHandle, int wait, _FIB* fib)
{
    FAUX_COMM_CONTEXT* comm = ctx != nullptr ? ctx->commContext : nullptr;
    FAUX_AIF_CONTEXT* slot = static_cast<FAUX_AIF_CONTEXT*>(slotHandle);
    if (comm == nullptr || slot == nullptr)
        return FAOS_AIF_NO_SLOT;
    {
        FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
        if (slot->inUse == 0)
            return FAOS_AIF_NO_SLOT;
        if (slot->closing != 0)
            return FAOS_AIF_CLOSING;
        slot->busy = 1;
        slot->setWaitOnIoctl(wait != 0 ? 1 : 0);
        slot->setAifThread();
    }

    AifFetchRecord record{slot->channelId, 0, fib};
    int result = FAOS_AIF_NONE;
    bool interrupted = false;
    for (;;) {
        const int rc = hostIo().ioctl(comm->fd, FSACTL_GET_NEXT_ADAPTER_FIB, &record);
        if (rc == 0) {
            result = FAOS_AIF_FIB_COPIED;
            break;
        }
        int err = errno;
        FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 3,
                           "-- faos_GetAIF, Failed ioctl:FSACTL_GET_NEXT_ADAPTER_FIB, errno=%d:%s\n", err,
                           std::strerror(err));
        bool closing;
        {
            FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
            closing = slot->closing != 0;
        }
        if (closing)
            err = EINTR;
        else if (err != EAGAIN && err != EINVAL && err != EINTR) {
            hostIo().sleepMs(kPollMs);
            err = EAGAIN;
        } else if (err == EINTR) {
            // Interrupted while the channel stays open: nothing was copied.
            // Ask once more at once, then treat it as an empty queue.
            if (!interrupted) {
                interrupted = true;
                hostIo().sleepMs(kPollMs);
                continue;
            }
            err = EAGAIN;
        }
        if (err == EINVAL) {
            result = FAOS_AIF_CLOSING;
            break;
        }
        if (err == EINTR) {
            faos_WaitForSemaphore(slot->wakeSema, kWaitForever);
            result = FAOS_AIF_CLOSING;
            break;
        }
        // EAGAIN: the queue is empty. The attempt rests, and rests once more
        // for its result, whether or not the fetch goes on waiting; so an
        // empty fetch without wait takes about 150 ms with the closing rest.
        hostIo().sleepMs(kPollMs);
        hostIo().sleepMs(kPollMs);
        if (wait == 0) {
            result = FAOS_AIF_NONE;
            break;
        }
    }

    {
        FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
        if (slot->closing != 0) {
            faos_SetSemaphore(slot->ackSema);
            result = FAOS_AIF_CLOSING;
        }
        slot->setWaitOnIoctl(0);
        slot->busy = 0;
    }
    hostIo().sleepMs(kPollMs);
    return result;
}

void faos_CloseAIFReceiveChannel(FSAAPI_CONTEXT* ctx, void* slotHandle)
{
    FAUX_AIF_CONTEXT* slot = static_cast<FAUX_AIF_CONTEXT*>(slotHandle);
    FAUX_COMM_CONTEXT* comm = ctx != nullptr ? ctx->commContext : nullptr;
    if (slot == nullptr || comm == nullptr) {
        FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 2, "-- faos_CloseAIFReceiveChannel: no channel\n");
        return;
    }
    bool busy;
    {
        FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
        slot->closing = 1;
        busy = slot->busy != 0;
    }
    if (busy) {
        faos_SetSemaphore(slot->wakeSema);
        faos_WaitForSemaphore(slot->ackSema, kWaitForever);
    }
    const int rc = hostIo().ioctlValue(comm->fd, FSACTL_CLOSE_GET_ADAPTER_FIB, slot->channelId);
    const int err = errno;
    {
        FAUX_AUTORELEASE_MUTEX lock(comm->aifMutex);
        slot->channelId = 0;
        slot->closing = 0;
        slot->inUse = 0;
    }
    if (rc != 0) {
        FsaUxDbgFilePrintf(FAUX_DBG_AIF, 0, 1,
                           "-- faos_CloseAIFReceiveChannel, Failed ioctl:FSACTL_CLOSE_GET_ADAPTER_FIB, errno=%d:%s\n",
                           err, std::strerror(err));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
}
