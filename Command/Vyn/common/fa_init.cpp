// Drive initialisation (the controller's own boot record on a drive, for one
// drive or a set), protection of a drive set and the SSD cache pool.
#include "Command/Vyn/common/fa_init.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_misc.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kOpt2InitSet = 0x400;
constexpr uint32_t kOpt3Protect = 0x20;
constexpr uint32_t kOpt3CachePool = 0x40;
constexpr uint32_t kOpt3DirtyData = 0x8000;

// Codes of the physical-device operation list.
constexpr uint32_t kPhyDevInitialise = 0;
constexpr uint32_t kPhyDevProtect = 1;
constexpr uint32_t kPhyDevUnprotect = 2;

constexpr uint32_t kMaxSetDrives = 256;

// The word of the adapter information the controller's boot record carries.
constexpr size_t kMbrWordIndex = 19;
constexpr uint32_t kReconfigure = 1;

// Request 104 with a task's identifier; its reply's payload word 1 is the
// task's state.
constexpr uint32_t kTaskRequestEnd = 104;
constexpr uint32_t kTaskRequestBytes = 72;
constexpr size_t kTaskRequestId = 8;
constexpr size_t kTaskReplyState = 4;
constexpr unsigned kSettleMs = 2000;

// Slice number of a model device (VYNIO_PHYDEV_INFO_S).
constexpr size_t kPhyDevSlice = 136;

constexpr FSA_STATUS kNotFound = 12;
constexpr FSA_STATUS kAlreadyInitialised = 20;
constexpr FSA_STATUS kNoMemory = 91;
constexpr FSA_STATUS kTasksRunning = 145;

// CT_MbrExists answers.
constexpr int kMbrUnreadable = 2;
constexpr int kMbrOurs = 1;

bool waitableState(uint32_t state) { return state == 1 || (state >= 4 && state <= 7); }

uint32_t tasksOf(FSAAPI_CONTEXT* ctx, uint32_t device, FSA_TASK_DESCRIPTOR* tasks)
{
    return std::min(AIF_GetTaskListForScsi(ctx, device, tasks), AIF_MAX_TASKS);
}

// Request 104 ends a task on the controller; its state in the reply says
// whether the end can be waited for. Every task is asked before the first
// wait, so a task that cannot be waited for refuses the drive with 6 before
// any time is spent. The waits give the context mutex up meanwhile.
void endAndWaitForTasks(FSAAPI_CONTEXT* ctx, const FSA_TASK_DESCRIPTOR* tasks, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t request[kTaskRequestBytes] = {};
        faPutLe32(request, kTaskRequestEnd);
        faPutLe32(request + kTaskRequestId, tasks[i].taskId);
        _FIB reply;
        std::memset(&reply, 0, sizeof reply);
        AIF_SendFIB(ctx, request, sizeof request, &reply, 1);
        const uint32_t state = faGetLe32(reply.data + kTaskReplyState);
        if (!waitableState(state))
            throw static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
    }
    for (uint32_t i = 0; i < n; ++i)
        ctx->taskCallbackManager.WaitForTaskFinish(ctx, tasks[i].taskId);
}

// The task step of an initialisation: with `wait`, the drive's tasks are
// ended and waited for (and `settleMs` slept after them); a drive that still
// has tasks is refused with 145.
void clearTasks(FSAAPI_CONTEXT* ctx, uint32_t device, bool wait, unsigned settleMs)
{
    FSA_TASK_DESCRIPTOR tasks[AIF_MAX_TASKS];
    uint32_t n = tasksOf(ctx, device, tasks);
    if (wait && n > 0) {
        endAndWaitForTasks(ctx, tasks, n);
        if (settleMs != 0)
            faos_Sleep(settleMs);
        n = tasksOf(ctx, device, tasks);
    }
    if (n > 0)
        throw kTasksRunning;
}

// The boot-record checks of an initialisation without waiting, on the
// answer of CT_MbrExists: 12 for a record that cannot be read; without
// force, 20 for a drive that carries the controller's record or a DOS
// partition.
void checkBootRecord(FSAAPI_CONTEXT* ctx, uint32_t slice, int mbr, bool force)
{
    if (mbr == kMbrUnreadable)
        throw kNotFound;
    if (!force && (mbr == kMbrOurs || SCSI_hasDosPartition(ctx, static_cast<int>(slice))))
        throw kAlreadyInitialised;
}

void removeActiveContainers(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    PCK_CheckAndRemoveActiveCtrs(ctx, static_cast<int>(device), 1, 0);
}

uint32_t deviceHandleOf(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* drive)
{
    return static_cast<uint32_t>(SCSI_GetInternalID(ctx, drive));
}

// A drive set as the set operations take it: 1 to 256 drives.
bool validSet(FSA_STORAGE_DEVICE** drives, const uint32_t* count)
{
    return drives != nullptr && *drives != nullptr && count != nullptr && *count != 0 && *count <= kMaxSetDrives;
}

using SliceList = std::unique_ptr<uint32_t[]>;

// Validates the set's channels and allocates its slice list (91 when that
// fails); the slices are filled in by the caller.
SliceList newSliceList(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE* drives, uint32_t n)
{
    PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drives, n);
    SliceList list(new (std::nothrow) uint32_t[n]);
    if (list == nullptr)
        throw kNoMemory;
    return list;
}

uint32_t sliceOf(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    return static_cast<uint32_t>(CT_GetSliceFromDriveHandle(ctx, device, 1, nullptr));
}

// Sends a physical-device operation for the set's slices. On success the
// caller's count becomes the number of slices the controller answered with,
// and each model device whose slice is the j-th of them writes its location
// into the caller's j-th record: devices in model order, the slices in order
// for each.
FSA_STATUS phyDevOperation(FSAAPI_CONTEXT* ctx, uint32_t operation, const SliceList& list, FSA_STORAGE_DEVICE* drives,
                           uint32_t* count)
{
    uint32_t n = *count;
    uint32_t* slices = list.get();
    const FSA_STATUS status = CT_VynIoPhyDevOp(ctx, operation, &slices, &n, 0);
    if (status != FSA_STS_SUCCESS)
        return status;
    // The reply never lists more slices than were sent, so record j exists.
    *count = n;
    if (n == 0)
        return status;
    FsaVynIoAdapterConfig* model = nullptr;
    if (CT_ModelOf(ctx, &model) != FSA_STS_SUCCESS)
        return status;
    for (const FsaVynIoPhyDevInfo* node : model->phyDevs()) {
        const uint32_t slice = faGetLe32(node->record.bytes + kPhyDevSlice);
        for (uint32_t j = 0; j < n; ++j)
            if (slices[j] == slice)
                FsaSetDeviceLocation(node, &drives[j]);
    }
    return status;
}

FSA_STATUS initialiseOne(FSAAPI_CONTEXT* ctx, uint32_t force, const FSA_STORAGE_DEVICE* drive, uint32_t wait)
{
    if (drive == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t device = deviceHandleOf(ctx, drive);
    PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drive, 1);
    clearTasks(ctx, device, wait != 0, kSettleMs);
    const uint32_t slice = sliceOf(ctx, device);
    // The record is read whatever the wait; a caller that waited for the
    // drive's tasks takes the drive as it is, even with a record that cannot
    // be read.
    const int mbr = CT_MbrExists(ctx, slice);
    if (wait == 0) {
        checkBootRecord(ctx, slice, mbr, force != 0);
        removeActiveContainers(ctx, device);
    }
    CT_WriteMBR(ctx, slice, ctx->adapterInfoWords[kMbrWordIndex]);
    CT_ReConfig(ctx, kReconfigure);
    return FSA_STS_SUCCESS;
}

FSA_STATUS initialiseSet(FSAAPI_CONTEXT* ctx, uint32_t force, uint32_t wait, FSA_STORAGE_DEVICE** drives,
                         uint32_t* count, uint32_t allDevices)
{
    if ((FsaOptionWord2(ctx) & kOpt2InitSet) == 0)
        return FSA_STS_NOT_SUPPORTED;
    if (allDevices != 0 || !validSet(drives, count))
        return FSA_STS_BAD_PARAMETER;
    FSA_STORAGE_DEVICE* set = *drives;
    const uint32_t n = *count;
    SliceList list = newSliceList(ctx, set, n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t device = deviceHandleOf(ctx, &set[i]);
        clearTasks(ctx, device, wait != 0, 0);
        const uint32_t slice = sliceOf(ctx, device);
        list.get()[i] = slice;
        if (wait == 0) {
            checkBootRecord(ctx, slice, CT_MbrExists(ctx, slice), force != 0);
            removeActiveContainers(ctx, device);
        }
    }
    return phyDevOperation(ctx, kPhyDevInitialise, list, set, count);
}

FSA_STATUS protectSet(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t allDevices,
                      uint32_t protect)
{
    if ((FsaOptionWord3(ctx) & kOpt3Protect) == 0)
        return FSA_STS_NOT_SUPPORTED;
    if (allDevices != 0 || !validSet(drives, count))
        return FSA_STS_BAD_PARAMETER;
    FSA_STORAGE_DEVICE* set = *drives;
    const uint32_t n = *count;
    SliceList list = newSliceList(ctx, set, n);
    for (uint32_t i = 0; i < n; ++i)
        list.get()[i] = sliceOf(ctx, deviceHandleOf(ctx, &set[i]));
    return phyDevOperation(ctx, protect != 0 ? kPhyDevProtect : kPhyDevUnprotect, list, set, count);
}

FSA_STATUS cachePoolSet(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t add)
{
    if ((FsaOptionWord3(ctx) & kOpt3CachePool) == 0)
        return FSA_STS_NOT_SUPPORTED;
    if (!validSet(drives, count))
        return FSA_STS_BAD_PARAMETER;
    FSA_STORAGE_DEVICE* set = *drives;
    uint32_t n = *count;
    SliceList list = newSliceList(ctx, set, n);
    for (uint32_t i = 0; i < n; ++i)
        list.get()[i] = sliceOf(ctx, deviceHandleOf(ctx, &set[i]));
    // The pool commands answer no list: the caller's count and records stay.
    uint32_t* slices = list.get();
    return add != 0 ? CT_AddDriveToCachePool(ctx, &slices, &n) : CT_RemoveDriveFromCachePool(ctx, &slices, &n);
}

}  // namespace

extern "C" FSA_STATUS FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                                 uint32_t waitForTasks)
{
    return FsaExportedCall("FsaInitStorageDeviceForFsa", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return initialiseOne(ctx, force, drive, waitForTasks);
    });
}

extern "C" FSA_STATUS FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                                    FSA_STORAGE_DEVICE** drives, uint32_t* count, uint32_t allDevices)
{
    return FsaExportedCall("FsaInitStorageDeviceSetForFsa", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return initialiseSet(ctx, force, waitForTasks, drives, count, allDevices);
    });
}

extern "C" FSA_STATUS FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                 uint32_t allDevices, uint32_t protect)
{
    return FsaExportedCall("FsaProtectStorageDeviceSet", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return protectSet(ctx, drives, count, allDevices, protect);
    });
}

extern "C" FSA_STATUS FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                   uint32_t add)
{
    return FsaExportedCall("FsaStorageDeviceSetCachePool", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return cachePoolSet(ctx, drives, count, add);
    });
}

extern "C" FSA_STATUS FsaHasDirtyData(void* handle)
{
    return FsaExportedCall("FsaHasDirtyData", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord3(ctx) & kOpt3DirtyData) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        return CT_HasDirtyData(ctx);
    });
}

extern "C" FSA_STATUS FsaClearOrvexaPool(void* handle)
{
    return FsaExportedCall("FsaClearOrvexaPool", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord3(ctx) & kOpt3CachePool) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        return CT_ClearOrvexaPool(ctx);
    });
}
