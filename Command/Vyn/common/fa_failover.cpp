// Failover spaces (hot spares): dedicated to a container or global to the
// controller, candidate spares, failing a drive's partitions and the
// automatic-failover switch.
#include "Command/Vyn/common/fa_failover.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_char.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

enum FailoverOperation : uint32_t {
    FSA_FF_ADDFAILOVER = 0,
    FSA_FF_REMOVEFAILOVER = 1,
    FSA_FF_GETFAILOVER = 2,
    FSA_FF_ADD_GLOBAL_SPARE = 3,
    FSA_FF_REMOVE_GLOBAL_SPARE = 4,
    FSA_FF_GET_GLOBAL_SPARE = 5,
    FSA_FF_ADD_CANDIDATE_SPARE = 7,
    FSA_FF_REMOVE_CANDIDATE_SPARE = 8,
};

constexpr uint32_t kOpt3NewSpares = 0x8;
constexpr uint32_t kOpt2CandidateSpares = 0x8;
constexpr uint32_t kOpt2AnyContainerKind = 0x100000;
constexpr uint64_t kConditionNoSpares = 0x4000;
constexpr uint32_t kGlobalPool = 0x80000000u;
constexpr uint32_t kMissingSparePool = 100;
// The most drives one call lists or acts on: a failover record holds 64
// slices.
constexpr uint32_t kMaxDrives = FailoverSlices::kMaxSlices;
constexpr uint8_t kSpareKind = 3;
constexpr uint32_t kNoHandle = 0xFFFF;
constexpr uint32_t kNoDeviceHandle = 0xFFFFFFFFu;
constexpr uint8_t kModelGlobalSpare = 0x4;
constexpr size_t kModelFlags = 68;
constexpr uint32_t kMissingDeviceKind = 1;

constexpr FSA_STATUS kTooSmall = 5;
constexpr FSA_STATUS kNotFound = 12;
constexpr FSA_STATUS kBadOperation = 29;
constexpr FSA_STATUS kNoMemory = 91;
constexpr FSA_STATUS kNotAFailoverDisk = 553;

bool isAddOrRemove(uint32_t op)
{
    return op == FSA_FF_ADDFAILOVER || op == FSA_FF_REMOVEFAILOVER || op == FSA_FF_ADD_GLOBAL_SPARE ||
           op == FSA_FF_REMOVE_GLOBAL_SPARE;
}

bool isCandidate(uint32_t op) { return op == FSA_FF_ADD_CANDIDATE_SPARE || op == FSA_FF_REMOVE_CANDIDATE_SPARE; }

void requireWriteAccess(const FSAAPI_CONTEXT* ctx)
{
    if ((kFsaModesWrite & (1u << ctx->accessMode)) == 0)
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_OPEN_READ_WRITE);
}

bool sameAddress(const FSA_STORAGE_DEVICE& a, const FSA_STORAGE_DEVICE& b)
{
    return a.busNumber == b.busNumber && a.targetId == b.targetId && a.lun == b.lun;
}

// The missing PPI entries of the context's copy of the table.
std::vector<FSA_PPI_ENTRY> missingEntries(FSAAPI_CONTEXT* ctx)
{
    std::vector<FSA_PPI_ENTRY> entries;
    if (ctx->ppiTable == nullptr || ctx->ppiCount == 0)
        return entries;
    entries.resize(ctx->ppiCount);
    uint32_t n = 0;
    CT_GetMissingPPITableEntries(ctx, entries.data(), &n);
    entries.resize(n);
    return entries;
}

uint8_t entryKind(const FSA_PPI_ENTRY& e) { return e.bytes[PPI_FLAGS] & PPI_KIND_MASK; }

// The drive a slice of a failover record stands for.
FSA_STORAGE_DEVICE driveOfSlice(FSAAPI_CONTEXT* ctx, uint32_t slice)
{
    uint64_t size = 0, maxSize = 0, c = 0;
    uint32_t handle = 0;
    CT_GetSliceInfo(ctx, slice, &size, &maxSize, &c, &handle, nullptr, nullptr);
    FSA_STORAGE_DEVICE d{};
    SCSI_GetStandardID(ctx, &d, handle);
    return d;
}

uint32_t sliceCount(const FailoverSlices& f)
{
    return std::min(faGetLe32(f.bytes + FailoverSlices::kCount), kMaxDrives);
}

uint32_t sliceAt(const FailoverSlices& f, uint32_t i)
{
    return faGetLe32(f.bytes + FailoverSlices::kFirstSlice + 4 * i);
}

// The spares the controller lists for a container, skipping slices marked
// unusable.
std::vector<FSA_STORAGE_DEVICE> containerSpares(FSAAPI_CONTEXT* ctx, uint32_t uniqueId)
{
    FailoverSlices reply{};
    CT_GetFailover(ctx, uniqueId, &reply);
    std::vector<FSA_STORAGE_DEVICE> out;
    for (uint32_t i = 0; i < sliceCount(reply); ++i) {
        const uint32_t slice = sliceAt(reply, i);
        if (static_cast<int32_t>(slice) < 0)
            continue;
        out.push_back(driveOfSlice(ctx, slice));
    }
    return out;
}

// Hands a list to the caller: the count is always the number found; the
// records only when they all fit.
FSA_STATUS deliver(const std::vector<FSA_STORAGE_DEVICE>& found, uint32_t capacity, uint32_t* count,
                   FSA_STORAGE_DEVICE* drives)
{
    *count = static_cast<uint32_t>(found.size());
    if (found.size() > capacity || drives == nullptr)
        return FSA_STS_SUCCESS;
    std::copy(found.begin(), found.end(), drives);
    return FSA_STS_SUCCESS;
}

// Assigns (or, undoing, clears) each slice in order; the first failure
// undoes the drives before it and is thrown.
void assignAll(FSAAPI_CONTEXT* ctx, uint32_t container, const std::vector<uint32_t>& slices,
               const std::vector<uint32_t>& handles, bool clearCandidate)
{
    for (size_t i = 0; i < slices.size(); ++i) {
        try {
            CT_AssignFailover(ctx, container, slices[i]);
            if (clearCandidate)
                CT_ClrCandidateSpare(ctx, handles[i]);
        } catch (FSA_STATUS failed) {
            for (size_t j = 0; j < i; ++j)
                CT_ClearFailover(ctx, container, slices[j]);
            throw failed;
        }
    }
}

void clearAll(FSAAPI_CONTEXT* ctx, uint32_t container, const std::vector<uint32_t>& slices)
{
    for (size_t i = 0; i < slices.size(); ++i) {
        try {
            CT_ClearFailover(ctx, container, slices[i]);
        } catch (FSA_STATUS failed) {
            for (size_t j = 0; j < i; ++j)
                CT_AssignFailover(ctx, container, slices[j]);
            throw failed;
        }
    }
}

// The worker of both generations. The classic one removes a global spare
// the controller no longer sees through its PPI entry and answers the
// global list; the new one leaves both to the model.
FSA_STATUS failoverWorker(FSAAPI_CONTEXT* ctx, uint32_t uniqueId, uint32_t op, uint32_t* count,
                          FSA_STORAGE_DEVICE* drives, bool classic)
{
    if (count == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t n = *count;
    if (!classic && op > FSA_FF_REMOVE_GLOBAL_SPARE)
        return kBadOperation;

    std::vector<uint32_t> slices;
    std::vector<uint32_t> handles;
    bool missingSpare = false;
    uint32_t missingSlice = 0;
    if (isAddOrRemove(op)) {
        requireWriteAccess(ctx);
        if (n > kMaxDrives)
            return FSA_STS_BAD_PARAMETER;
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drives, n);
        for (uint32_t i = 0; i < n; ++i) {
            FSA_STATUS failed = FSA_STS_SUCCESS;
            uint32_t handle = kNoDeviceHandle;
            int slice = -1;
            if (drives[i].targetId > ctx->highestTarget) {
                failed = kNotFound;
            } else {
                try {
                    handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drives[i]));
                    slice = CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr);
                } catch (FSA_STATUS thrown) {
                    failed = thrown;
                }
            }
            if (failed == FSA_STS_SUCCESS) {
                slices.push_back(static_cast<uint32_t>(slice));
                handles.push_back(handle);
                continue;
            }
            if (!classic || op != FSA_FF_REMOVE_GLOBAL_SPARE || failed != kNotFound)
                return failed;
            const uint32_t wanted =
                FsaApiGetDevtFromBLT(ctx, drives[i].busNumber, drives[i].targetId, drives[i].lun);
            const std::vector<FSA_PPI_ENTRY> missing = missingEntries(ctx);
            auto hit = std::find_if(missing.begin(), missing.end(), [&](const FSA_PPI_ENTRY& e) {
                return entryKind(e) == kSpareKind && faGetLe32(e.bytes + PPI_HANDLE) == wanted;
            });
            if (hit == missing.end())
                return kNotFound;
            missingSpare = true;
            missingSlice = faGetLe32(hit->bytes + 4);
        }
    }

    const bool clearCandidate = (FsaOptionWord2(ctx) & kOpt2CandidateSpares) != 0;
    switch (op) {
    case FSA_FF_ADDFAILOVER:
        assignAll(ctx, uniqueId, slices, handles, clearCandidate);
        return FSA_STS_SUCCESS;
    case FSA_FF_ADD_GLOBAL_SPARE:
        assignAll(ctx, kGlobalPool, slices, handles, clearCandidate);
        return FSA_STS_SUCCESS;
    case FSA_FF_REMOVEFAILOVER: {
        const std::vector<FSA_STORAGE_DEVICE> current = containerSpares(ctx, uniqueId);
        for (uint32_t i = 0; i < n; ++i)
            if (std::none_of(current.begin(), current.end(),
                             [&](const FSA_STORAGE_DEVICE& s) { return sameAddress(s, drives[i]); }))
                return kNotAFailoverDisk;
        clearAll(ctx, uniqueId, slices);
        return FSA_STS_SUCCESS;
    }
    case FSA_FF_REMOVE_GLOBAL_SPARE:
        if (missingSpare) {
            CT_ClearFailover(ctx, kMissingSparePool, missingSlice);
            return FSA_STS_SUCCESS;
        }
        clearAll(ctx, kGlobalPool, slices);
        return FSA_STS_SUCCESS;
    case FSA_FF_GETFAILOVER:
        return deliver(containerSpares(ctx, uniqueId), n, count, drives);
    case FSA_FF_GET_GLOBAL_SPARE: {
        FailoverSlices reply{};
        CT_GetFailover(ctx, kGlobalPool, &reply);
        std::vector<FSA_STORAGE_DEVICE> found;
        for (uint32_t i = 0; i < sliceCount(reply); ++i)
            found.push_back(driveOfSlice(ctx, sliceAt(reply, i) & ~kGlobalPool));
        return deliver(found, n, count, drives);
    }
    default:
        return kBadOperation;
    }
}

// The lists and tables here are small, but an allocation that fails still
// ends the call with 91 rather than escaping the export.
template <class Work>
FSA_STATUS allocating(Work&& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}

// The unique id of a container for the spare commands (0 without one), or
// the status that ends the call.
FSA_STATUS uniqueIdOf(void* handle, FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, bool classic,
                      uint32_t* uid)
{
    *uid = 0;
    if (container == nullptr)
        return FSA_STS_SUCCESS;
    const uint32_t number = CT_GetInternalID(container);
    const FSA_REVISION& rev = ctx->firmwareRevision;
    const bool exempt = rev.major == 5 && rev.minor == 0 && rev.dash == 2;
    if ((FsaOptionWord2(ctx) & kOpt2AnyContainerKind) == 0 && !exempt &&
        PCK_ContainerIs(ctx, number, kConditionNoSpares, 1) != 0)
        return FSA_STS_NOT_SUPPORTED;
    void* holder = handle;
    if (classic) {
        const FSA_STATUS found = FsaGetHandleFromSerial(handle, container->adapterWord, &holder);
        if (found != FSA_STS_SUCCESS)
            return found;
    }
    CT_GetContainerSerialNumber(holder, number, uid);
    return FSA_STS_SUCCESS;
}

// Candidate spares: the flag in each drive's metadata sector.
FSA_STATUS candidateSpares(FSAAPI_CONTEXT* ctx, uint32_t op, uint32_t n, const FSA_STORAGE_DEVICE* drives)
{
    if ((FsaOptionWord2(ctx) & kOpt2CandidateSpares) == 0)
        return FSA_STS_NOT_SUPPORTED;
    requireWriteAccess(ctx);
    if (n > kMaxDrives)
        return FSA_STS_BAD_PARAMETER;
    PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drives, n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t device = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drives[i]));
        if (op == FSA_FF_ADD_CANDIDATE_SPARE)
            CT_SetCandidateSpare(ctx, device);
        else
            CT_ClrCandidateSpare(ctx, device);
    }
    return FSA_STS_SUCCESS;
}

// Global spares the controller has lost sight of, from its PPI table.
std::vector<FSA_STORAGE_DEVICE> missingGlobalSpares(FSAAPI_CONTEXT* ctx)
{
    std::vector<FSA_STORAGE_DEVICE> out;
    for (const FSA_PPI_ENTRY& e : missingEntries(ctx)) {
        const uint32_t handle = faGetLe32(e.bytes + PPI_HANDLE);
        if (entryKind(e) != kSpareKind || e.bytes[PPI_BUNDLE] == 0 || handle == kNoHandle)
            continue;
        FSA_STORAGE_DEVICE d{};
        d.storageDeviceType = kMissingDeviceKind;
        d.busNumber = static_cast<uint8_t>(FsaApiGetBusFromDeviceHandle(ctx, handle));
        d.targetId = static_cast<uint8_t>(FsaApiGetTargetFromDeviceHandle(ctx, handle));
        d.lun = static_cast<uint8_t>(FsaApiGetLunFromDeviceHandle(ctx, handle));
        d.adapterSerial = ctx->adapterIdentityWord;
        out.push_back(d);
    }
    return out;
}

// A list call through a local table of at most 64 records: the caller's
// count is set to what was found, and the records are copied only when all
// of them fit.
FSA_STATUS listThroughWorker(FSAAPI_CONTEXT* ctx, uint32_t uid, uint32_t op, uint32_t* count,
                             FSA_STORAGE_DEVICE* drives, bool classic,
                             const std::vector<FSA_STORAGE_DEVICE>& appended)
{
    const uint32_t capacity = *count;
    uint32_t local = std::clamp<uint32_t>(capacity, 1, kMaxDrives);
    std::vector<FSA_STORAGE_DEVICE> table(local, FSA_STORAGE_DEVICE{});
    const FSA_STATUS status = failoverWorker(ctx, uid, op, &local, table.data(), classic);
    // A refused operation leaves the caller's count and records alone.
    if (status != FSA_STS_SUCCESS)
        return status;
    const uint64_t total = static_cast<uint64_t>(local) + appended.size();
    *count = static_cast<uint32_t>(total);
    if (total > capacity || drives == nullptr)
        return drives != nullptr ? kTooSmall : FSA_STS_SUCCESS;
    std::copy(table.begin(), table.begin() + local, drives);
    std::copy(appended.begin(), appended.end(), drives + local);
    return status;
}

// The new interface answers the global list from the configuration model.
FSA_STATUS modelGlobalSpares(FSAAPI_CONTEXT* ctx, uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    const uint32_t capacity = drives != nullptr ? *count : 0;
    uint32_t written = 0;
    if (ctx->vynIoConfig != nullptr) {
        for (const FsaVynIoPhyDevInfo* node : ctx->vynIoConfig->phyDevs()) {
            if (written >= capacity)
                break;
            if ((node->record.bytes[kModelFlags] & kModelGlobalSpare) == 0)
                continue;
            FsaSetDeviceLocation(node, &drives[written++]);
        }
    }
    *count = written;
    return FSA_STS_SUCCESS;
}

FSA_STATUS newFailoverSpace(void* handle, FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t op,
                            uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    if (count == nullptr)
        return FSA_STS_BAD_PARAMETER;
    uint32_t uid = 0;
    const FSA_STATUS found = uniqueIdOf(handle, ctx, container, false, &uid);
    if (found != FSA_STS_SUCCESS)
        return found;
    if (isAddOrRemove(op))
        return failoverWorker(ctx, uid, op, count, drives, false);
    if (isCandidate(op))
        return candidateSpares(ctx, op, *count, drives);
    if (op == FSA_FF_GET_GLOBAL_SPARE)
        return modelGlobalSpares(ctx, count, drives);
    return listThroughWorker(ctx, uid, op, count, drives, false, {});
}

// Re-reads the PPI table when the controller's copy is newer than ours.
void refreshPpiTable(FSAAPI_CONTEXT* ctx)
{
    FSA_PPI_TABLE_HDRS headers = {};
    headers.words[PPI_HDR_AGE] = ctx->ppiHeaders[PPI_HDR_AGE];
    CT_GetPPITableHeaders(ctx, &headers);
    if (headers.words[PPI_HDR_AGE] != ctx->ppiHeaders[PPI_HDR_AGE])
        CT_GetPPITable(ctx);
}

FSA_STATUS classicFailoverSpace(void* handle, FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t op,
                                uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    if (count == nullptr)
        return FSA_STS_BAD_PARAMETER;
    uint32_t uid = 0;
    const FSA_STATUS found = uniqueIdOf(handle, ctx, container, true, &uid);
    if (found != FSA_STS_SUCCESS)
        return found;
    if (op == FSA_FF_REMOVE_GLOBAL_SPARE || op == FSA_FF_GET_GLOBAL_SPARE)
        refreshPpiTable(ctx);
    if (isAddOrRemove(op))
        return failoverWorker(ctx, uid, op, count, drives, true);
    if (isCandidate(op))
        return candidateSpares(ctx, op, *count, drives);
    std::vector<FSA_STORAGE_DEVICE> missing;
    if (op == FSA_FF_GET_GLOBAL_SPARE)
        missing = missingGlobalSpares(ctx);
    return listThroughWorker(ctx, uid, op, count, drives, true, missing);
}

}  // namespace

extern "C" FSA_STATUS FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                       uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    return FsaExportedCall("FsaFailoverSpace", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (FsaOptionWord3(ctx) & kOpt3NewSpares)
            return FsaNewFailoverSpace(handle, container, operation, count, drives);
        return allocating([&] { return classicFailoverSpace(handle, ctx, container, operation, count, drives); });
    });
}

extern "C" FSA_STATUS FsaNewFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                          uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    return FsaExportedCall("FsaNewFailoverSpace", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return allocating([&] { return newFailoverSpace(handle, ctx, container, operation, count, drives); });
    });
}

namespace {

// The workers' frame: the export frame without an entry tracer.
FSA_STATUS untracedCall(void* handle, uint32_t uniqueId, uint32_t operation, uint32_t* count,
                        FSA_STORAGE_DEVICE* drives, bool classic)
{
    FSA_STATUS status = FSA_STS_SUCCESS;
    FSAAPI_CONTEXT* ctx = FsaOpenGate(handle, FSA_READ_ONLY_ROUTINE, &status);
    if (ctx == nullptr)
        return status;
    try {
        return FsaRunGuarded(ctx, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* c) {
            return allocating([&] { return failoverWorker(c, uniqueId, operation, count, drives, classic); });
        });
    } catch (FSA_STATUS thrown) {
        return thrown;
    }
}

}  // namespace

extern "C" FSA_STATUS FsaFailoverSpaceByUniqueCtrID(void* handle, uint32_t uniqueId, uint32_t operation,
                                                    uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    return untracedCall(handle, uniqueId, operation, count, drives, true);
}

extern "C" FSA_STATUS FsaNewFailoverSpaceByUniqueCtrID(void* handle, uint32_t uniqueId, uint32_t operation,
                                                       uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    return untracedCall(handle, uniqueId, operation, count, drives, false);
}

extern "C" FSA_STATUS FsaFailPartition(void* handle, uint32_t, const FSA_PARTITION* partition)
{
    return FsaExportedCall("FsaFailPartition", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (partition == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        FSA_STORAGE_DEVICE drive{};
        std::memcpy(&drive, partition->bytes + FSA_PARTITION_DEVICE, sizeof drive);
        const int device = static_cast<int>(static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drive)));
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, &drive, 1);
        const uint64_t start = faGetLe64(partition->bytes + FSA_PARTITION_OFFSET);
        const uint64_t length = faGetLe64(partition->bytes + FSA_PARTITION_LENGTH);
        if (start == 0 && length == 0)
            CT_SetDeadPartitions(ctx, device);
        else
            CT_SetDeadPartition(ctx, device, static_cast<uint32_t>(start >> 9), static_cast<uint32_t>(length >> 9));
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaSetAutomaticFailover(void* handle, uint32_t on)
{
    return FsaExportedCall("FsaSetAutomaticFailover", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        CT_UseAutoFailover(ctx, on);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags)
{
    return FsaExportedCall("FsaGetAutomaticFailover", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (flags == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        CT_GetAutoFailover(ctx, flags);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}
