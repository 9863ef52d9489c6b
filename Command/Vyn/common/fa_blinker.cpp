#include "Command/Vyn/common/fa_blinker.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_threads.h"

#include <chrono>
#include <new>
#include <random>

namespace {

// The drive's size: SCSI-class request on the device handle; the first reply
// word is the block count.
constexpr uint32_t kSubDriveSize = 6;
constexpr uint32_t kDriveSizeBytes = 24;

// One cycle: three reads a third of a second apart, about one second per
// remaining second.
constexpr unsigned kReadsPerCycle = 3;
constexpr unsigned kReadSpacingMs = 333;
constexpr uint32_t kBlockBytes = 512;

constexpr unsigned kWorkerPollMs = 400;

// What a new worker receives, its own to free. The device handle and slice
// are worked out by BlinkDrive under the API mutex: the configuration model
// they come from may be rebuilt by any export while the worker runs.
struct FAB_WORKER_START {
    FSA_BLINK_MANAGER* manager;
    tag_Blinker_Control_Entry* entry;
    uint32_t deviceHandle;
    uint32_t slice;
};

// The manager's mutex on a road that must not give up: a worker that could
// not count itself off would keep the destructor waiting for ever.
class PatientLock {
public:
    explicit PatientLock(void* mutex) : mutex_(mutex)
    {
        for (;;) {
            try {
                faos_WaitForAndGetMutex(mutex_);
                return;
            } catch (FSA_STATUS) {
                // The 120 s limit ran out; keep waiting.
            }
        }
    }
    ~PatientLock()
    {
        try {
            faos_ReleaseMutex(mutex_);
        } catch (FSA_STATUS) {
        }
    }
    PatientLock(const PatientLock&) = delete;
    PatientLock& operator=(const PatientLock&) = delete;

private:
    void* mutex_;
};

// One firmware exchange of a worker, under the context's API mutex like any
// export, so that it never interleaves with another export's requests. False
// when the exchange failed or the mutex could not be had; nothing leaves a
// worker thread.
template <class Exchange>
bool workerExchange(FSAAPI_CONTEXT* ctx, Exchange&& exchange)
{
    try {
        CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
        return exchange();
    } catch (...) {
        return false;
    }
}

bool sameDrive(const FSA_STORAGE_DEVICE& a, const FSA_STORAGE_DEVICE& b)
{
    return a.busNumber == b.busNumber && a.targetId == b.targetId && a.lun == b.lun;
}

}  // namespace

FSA_BLINK_MANAGER::FSA_BLINK_MANAGER() { mutex_ = faos_CreateMutex(nullptr); }

FSA_BLINK_MANAGER::~FSA_BLINK_MANAGER()
{
    {
        PatientLock lock(mutex_);
        for (tag_Blinker_Control_Entry* e = first_; e != nullptr; e = e->next)
            e->remainingSeconds = 0;
    }
    for (;;) {
        {
            PatientLock lock(mutex_);
            if (workers_ == 0)
                break;
        }
        faos_Sleep(kWorkerPollMs);
    }
    // Every worker removed its own entry; nothing else is left to free.
    while (first_ != nullptr) {
        tag_Blinker_Control_Entry* next = first_->next;
        delete first_;
        first_ = next;
    }
    try {
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the manager goes anyway.
    }
}

tag_Blinker_Control_Entry* FSA_BLINK_MANAGER::LocateDeviceEntry(const FSA_STORAGE_DEVICE* device)
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    for (tag_Blinker_Control_Entry* e = first_; e != nullptr; e = e->next)
        if (sameDrive(e->device, *device))
            return e;
    return nullptr;
}

void FSA_BLINK_MANAGER::AddDeviceEntry(tag_Blinker_Control_Entry* entry)
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    entry->previous = nullptr;
    entry->next = first_;
    if (first_ != nullptr)
        first_->previous = entry;
    first_ = entry;
}

void FSA_BLINK_MANAGER::UnlinkAndFreeEntry(tag_Blinker_Control_Entry* entry)
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    if (entry->previous != nullptr)
        entry->previous->next = entry->next;
    else
        first_ = entry->next;
    if (entry->next != nullptr)
        entry->next->previous = entry->previous;
    delete entry;
}

bool FSA_BLINK_MANAGER::IsDriveBlinking(const FSA_STORAGE_DEVICE* device)
{
    return device != nullptr && LocateDeviceEntry(device) != nullptr;
}

uint32_t FSA_BLINK_MANAGER::BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds)
{
    if (ctx == nullptr || device == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    {
        FAUX_AUTORELEASE_MUTEX lock(mutex_);
        if (context_ == nullptr)
            context_ = ctx;
    }
    FSA_STORAGE_DEVICE_INFO info;
    const FSA_STATUS found = FsaGetStorageDeviceInfo(ctx->apiHandle, 0, device, &info);
    if (found != FSA_STS_SUCCESS)
        throw found;

    // The API mutex before the manager's, the order every export keeps; a
    // caller inside an export already holds it.
    CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    tag_Blinker_Control_Entry* entry = LocateDeviceEntry(device);
    if (entry != nullptr) {
        entry->remainingSeconds = seconds;
        return FSA_STS_SUCCESS;
    }
    if (seconds == 0)
        return FSA_STS_SUCCESS;

    const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, device));
    const int slice = CT_GetSliceFromDriveHandle(ctx, handle, 0, nullptr);
    entry = new (std::nothrow) tag_Blinker_Control_Entry{};
    FAB_WORKER_START* start = nullptr;
    if (entry != nullptr)
        start = new (std::nothrow) FAB_WORKER_START{this, entry, handle, static_cast<uint32_t>(slice)};
    if (start == nullptr) {
        delete entry;
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    }
    entry->remainingSeconds = seconds;
    entry->device = *device;
    AddDeviceEntry(entry);
    ++workers_;
    try {
        faos_CreateThread(FAB_WorkerRoutine, start);
    } catch (FSA_STATUS status) {
        // Nothing will blink: the caller hears so, and the drive is not left
        // listed as blinking.
        --workers_;
        UnlinkAndFreeEntry(entry);
        delete start;
        throw status;
    }
    return FSA_STS_SUCCESS;
}

void FSA_BLINK_MANAGER::endWorker(tag_Blinker_Control_Entry* entry)
{
    PatientLock lock(mutex_);
    UnlinkAndFreeEntry(entry);
    --workers_;
}

void FSA_BLINK_MANAGER::runWorker(tag_Blinker_Control_Entry* entry, uint32_t deviceHandle, uint32_t slice)
{
    FSAAPI_CONTEXT* ctx = context_;
    uint32_t blocks = 0;
    const bool sized = workerExchange(ctx, [&] {
        uint8_t reply[kDriveSizeBytes] = {};
        if (SCSI_sendfib(ctx, deviceHandle, kSubDriveSize, reply, sizeof reply, 0) != FSA_STS_SUCCESS)
            return false;
        blocks = faGetLe32(reply);
        return true;
    });
    // A drive of unknown size has no block to read: its entry goes with the
    // worker, so it no longer shows as blinking.
    if (!sized || blocks == 0) {
        endWorker(entry);
        return;
    }

    // Each worker its own generator: the process-wide one is neither
    // thread-safe nor the workers' to disturb.
    std::seed_seq seed{deviceHandle, slice, blocks,
                       static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> pick(0, blocks - 1);
    for (;;) {
        for (unsigned i = 0; i < kReadsPerCycle; ++i) {
            faos_Sleep(kReadSpacingMs);
            const uint32_t block = pick(random);
            // A read that fails only misses one flicker.
            workerExchange(ctx, [&] {
                uint8_t buffer[kBlockBytes];
                return CT_ReadData(ctx, buffer, sizeof buffer, slice, block) != 0;
            });
        }
        PatientLock lock(mutex_);
        if (entry->remainingSeconds == 0) {
            endWorker(entry);
            return;
        }
        if (entry->remainingSeconds != FAB_BLINK_FOREVER)
            --entry->remainingSeconds;
    }
}

void* FAB_WorkerRoutine(void* startRecord)
{
    FAB_WORKER_START* start = static_cast<FAB_WORKER_START*>(startRecord);
    FSA_BLINK_MANAGER* manager = start->manager;
    tag_Blinker_Control_Entry* entry = start->entry;
    const uint32_t deviceHandle = start->deviceHandle;
    const uint32_t slice = start->slice;
    delete start;
    try {
        manager->runWorker(entry, deviceHandle, slice);
    } catch (...) {
        // Only the worker's set-up can throw (its generator's seed); every
        // way out after it has already counted the worker off.
        manager->endWorker(entry);
    }
    return nullptr;
}
