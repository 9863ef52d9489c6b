// The container operation export: the simple operations on an existing
// container, each behind the condition checks its table row names.
#include "Command/Vyn/common/fa_container.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr uint32_t FSA_CO_SET_DELAY = 4;
constexpr uint32_t FSA_CO_ZERO_ALWAYS = 7;
constexpr uint32_t FSA_CO_DELETE_UNCONDITIONAL = 13;
constexpr uint32_t FSA_CO_SET_LABEL = 22;
constexpr uint32_t FSA_CO_RESTORE_CONTAINER = 26;
constexpr uint32_t kLastOperation = 30;

constexpr FSA_STATUS kNotFound = 11;
constexpr FSA_STATUS kNoSuchContainer = 17;
constexpr FSA_STATUS kTargetInUse = 23;
constexpr FSA_STATUS kNotImplemented = FSA_STS_NOT_IMPLEMENTED;
constexpr FSA_STATUS kOutOfMemory = 91;
constexpr FSA_STATUS kBadOperation = 92;
constexpr FSA_STATUS kImportantData = 93;
constexpr FSA_STATUS kTaskRunning = 145;
constexpr FSA_STATUS kDelayTooLong = 226;
constexpr FSA_STATUS kNoHiddenSlot = 388;
constexpr FSA_STATUS kRemovalBusy = 395;
constexpr FSA_STATUS kHiddenPartner = 402;
constexpr FSA_STATUS kNoDeadPartitions = 405;
constexpr FSA_STATUS kNotValid = 421;
constexpr FSA_STATUS kScrubFailedPartitions = 526;

constexpr uint32_t kMaxDelay = 100;
constexpr uint32_t kEventDelayChanged = 0x200000;
constexpr uint32_t kEventPhantomDeleted = 0x40000;
constexpr uint32_t kNone = 0xFFFFFFFFu;

// The partition cache kinds a phantom's clearing passes over.
constexpr uint32_t kKindFree = PCE_FREE;
constexpr uint32_t kKindUnplaced = PCE_UNPLACED;

// Segments of one partition-deletion request.
constexpr uint32_t kSegmentsPerRequest = 20;
// Window of a plug-and-play host after a removal; this platform has none, so
// the wait is the plain sleep.
constexpr uint32_t kPnpOsType = 10;
constexpr unsigned kRemovalWindowMs = 20000;

// Part of the information record the delete reads: the word at byte 256 set
// limits the phantom's clearing to partitions naming the container.
constexpr size_t kInfoOwnPartitionsOnly = 256;

// A device's usage that marks a drive this controller manages and holds
// partitions on.
constexpr uint32_t kDeviceInUse = 1;
constexpr uint32_t kOpt3ConfigurationModel = 0x8;

// Snapshot map: the record's 64-bit slot mask, then 24 entries of 16 bytes.
constexpr size_t kSlotMask = 12;
constexpr unsigned kMapEntries = 24;
constexpr size_t kMapEntryBytes = 16;



bool holds(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask)
{
    return PCK_ContainerIs(ctx, container, mask, 1) != 0;
}

bool hostUsesData(uint32_t usage)
{
    return usage == 7 || usage == 8 || usage == 9 || usage == 11 || usage == 13;
}

template <class T>
T* parameterAs(void* parameter)
{
    if (parameter == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    return static_cast<T*>(parameter);
}

// A statement made by the OS-side calls: anything but 1 ends the operation.
void passOn(FSA_STATUS status)
{
    if (status != FSA_STS_SUCCESS)
        throw status;
}

// A container information record sized for the controller's largest
// container (the member limit bounded by the largest record there is).
class InfoBuffer {
public:
    explicit InfoBuffer(const FSAAPI_CONTEXT* ctx)
    {
        const uint32_t members = std::min(memberLimit(ctx), FsaMemberCapacity(FSA_CONTAINER_INFO_EXTND_MAX, CI_MEMBERS));
        size_ = FSA_CONTAINER_INFO_EXTND_MIN + static_cast<uint32_t>(sizeof(FSA_PARTITION)) * members;
        bytes_.reset(new (std::nothrow) uint8_t[size_]());
        if (!bytes_)
            throw kOutOfMemory;
    }
    FSA_STATUS read(void* handle, const tag_FSA_CONTAINER* id)
    {
        std::memset(bytes_.get(), 0, size_);
        return FsaGetContainerInfo2(handle, 0, id, record(), size_);
    }
    FSA_CONTAINER_INFO_EXTND* record() { return reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(bytes_.get()); }
    uint32_t word(size_t at) const { return faGetLe32(bytes_.get() + at); }
    uint32_t members() const { return std::min(word(CI_MEMBER_COUNT), FsaMemberCapacity(size_, CI_MEMBERS)); }
    const uint8_t* member(uint32_t m) const { return bytes_.get() + CI_MEMBERS + sizeof(FSA_PARTITION) * m; }

private:
    uint32_t size_ = 0;
    std::unique_ptr<uint8_t[]> bytes_;
};

void sendContainerEvent(FSAAPI_CONTEXT* ctx, uint32_t eventClass, uint32_t container)
{
    tag_FSA_CONTAINER id;
    CT_GetStandardID(ctx, &id, container);
    FSA_EVENT_DETAILS details{};
    faPutLe32(details.bytes, id.number);
    faPutLe32(details.bytes + 4, id.uniqueId);
    faPutLe32(details.bytes + 8, id.adapterWord);
    AIF_SendEventToAllClients(ctx, eventClass, &details);
}

// The removal of a container around the work that takes it from the host.
class Removal {
public:
    void prepare(FSAAPI_CONTEXT* ctx, uint32_t container, int permanent, int force, bool tolerateBusy = false)
    {
        FAOS_CTR_REMOVE_BASE* state = nullptr;
        const FSA_STATUS status = FsaPrepareCtrForRemoval(ctx, static_cast<int>(container), permanent, force, &state);
        state_.reset(state);
        if (status != FSA_STS_SUCCESS && !(tolerateBusy && status == kRemovalBusy))
            throw status;
        prepared_ = true;
    }
    void complete(FSAAPI_CONTEXT* ctx, uint32_t container)
    {
        if (prepared_)
            passOn(FsaCtrRemovalComplete(ctx, static_cast<int>(container), 0, state_.get()));
    }

private:
    bool prepared_ = false;
    std::unique_ptr<FAOS_CTR_REMOVE_BASE> state_;
};

// Make read-only or read-write, between the host's preparation and its
// completion.
void changeAccess(FSAAPI_CONTEXT* ctx, uint32_t container, void (*change)(FSAAPI_CONTEXT*, uint32_t))
{
    FAOS_CTR_CHANGE_BASE* state = nullptr;
    passOn(FsaPrepareCtrForChange(ctx, container, &state));
    change(ctx, container);
    passOn(FsaCtrChangeComplete(ctx, static_cast<int>(container), 0, state));
}

// The common end of the zeroing codes.
FSA_STATUS zero(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    PCK_ThrowIfContainerIs(ctx, container, 0x41084058);
    Removal removal;
    removal.prepare(ctx, container, 1, 1);
    CT_Zero(ctx, container);
    removal.complete(ctx, container);
    return FSA_STS_SUCCESS;
}

// A phantom's partitions in the cache that belong to it (by unique id) are
// zeroed when any of them still records a container.
void clearPhantomEntries(FSAAPI_CONTEXT* ctx, uint32_t number, uint32_t uid, bool ownOnly)
{
    CT_InvalidateCache(ctx);
    CT_UpdateCache(ctx);
    struct Entry {
        uint32_t index;
        uint32_t kind;
        bool named;
    };
    std::vector<Entry> entries;
    bool anyHasContainer = false;
    {
        FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
        const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
        for (uint32_t i = 0; cache->elements != nullptr && i < cache->count; ++i) {
            const uint8_t* e = cache->elements[i].bytes;
            const uint32_t kind = faGetLe32(e + PCE_KIND);
            if (kind == kKindFree)
                continue;
            Partition record;
            std::memcpy(record.bytes, e, sizeof record.bytes);
            uint32_t owner = 0;
            if (CT_GetContainerUIDFromPartition(ctx, &record, &owner, 0) != FSA_STS_SUCCESS || owner != uid)
                continue;
            anyHasContainer = anyHasContainer || (faGetLe32(e + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0;
            entries.push_back({faGetLe32(e + PART_TABLE_INDEX), kind, faGetLe16(e + PART_FIRST_CONTAINER) == number});
        }
        if (anyHasContainer)
            for (const Entry& e : entries)
                if (e.kind != kKindUnplaced && (!ownOnly || e.named))
                    CT_PartitionEntryZero(ctx, e.index);
    }
    if (anyHasContainer) {
        CT_ReConfig(ctx, 1);
        CT_InvalidateCache(ctx);
    }
}

void flushSegments(FSAAPI_CONTEXT* ctx, std::vector<VYNIO_SEGMENT64_S>& segments)
{
    for (size_t at = 0; at < segments.size(); at += kSegmentsPerRequest) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(kSegmentsPerRequest, segments.size() - at));
        CT_DeletePartitions(ctx, n, segments.data() + at);
    }
    segments.clear();
}

// The device of a member element when it is a drive this controller holds
// partitions on.
bool memberDevice(void* handle, FSAAPI_CONTEXT* ctx, const uint8_t* member, FSA_STORAGE_DEVICE_INFO* device)
{
    FSA_STORAGE_DEVICE address;
    std::memcpy(&address, member + FSA_PARTITION_DEVICE, sizeof address);
    if (FsaGetStorageDeviceInfo(handle, 0, &address, device) != FSA_STS_SUCCESS)
        return false;
    return device->storageDeviceUsage == kDeviceInUse && (FsaOptionWord3(ctx) & kOpt3ConfigurationModel) != 0;
}

// What a phantom still holds on the drives that remain.
void deletePhantomRemains(void* handle, FSAAPI_CONTEXT* ctx, InfoBuffer& info)
{
    if (info.word(CI_LAYOUT) != 0) {
        const uint32_t type = info.word(CI_TYPE);
        if (type == 5 || type == 6) {
            tag_FSA_CONTAINER first;
            std::memcpy(&first, info.member(0), sizeof first);
            if (info.read(handle, &first) == kNotFound) {
                deletePhantomContainerPartitions(handle, first.number);
                CT_ReConfig(ctx, 1);
                CT_InvalidateCache(ctx);
                CT_UpdateCache(ctx);
            }
        }
        std::vector<VYNIO_SEGMENT64_S> segments;
        for (uint32_t m = 0; m < info.members(); ++m) {
            FSA_STORAGE_DEVICE_INFO device{};
            if (!memberDevice(handle, ctx, info.member(m), &device))
                continue;
            VYNIO_SEGMENT64_S s{};
            faPutLe32(s.bytes + VYNIO_SEGMENT64_S::kHandle, device.deviceHandle);
            faPutLe64(s.bytes + VYNIO_SEGMENT64_S::kStart, faGetLe64(info.member(m) + FSA_PARTITION_OFFSET) / 512);
            faPutLe64(s.bytes + VYNIO_SEGMENT64_S::kBlocks, faGetLe64(info.member(m) + FSA_PARTITION_LENGTH) / 512);
            segments.push_back(s);
        }
        flushSegments(ctx, segments);
        CT_ReConfig(ctx, 1);
        CT_InvalidateCache(ctx);
        return;
    }
    // Members that are containers: the first dead partition on a drive that
    // remains is cleared.
    std::vector<tag_FSA_CONTAINER> members;
    for (uint32_t m = 0; m < info.members(); ++m) {
        tag_FSA_CONTAINER id;
        std::memcpy(&id, info.member(m), sizeof id);
        members.push_back(id);
    }
    for (const tag_FSA_CONTAINER& id : members) {
        if (info.read(handle, &id) != FSA_STS_SUCCESS)
            continue;
        for (uint32_t m = 0; m < info.members(); ++m) {
            FSA_STORAGE_DEVICE_INFO device{};
            if (!memberDevice(handle, ctx, info.member(m), &device))
                continue;
            CT_ClearDeadPartition(ctx, static_cast<int>(device.deviceHandle),
                                  faGetLe64(info.member(m) + FSA_PARTITION_OFFSET) / 512,
                                  faGetLe64(info.member(m) + FSA_PARTITION_LENGTH) / 512);
            return;
        }
    }
}

// Codes 10 to 13.
FSA_STATUS deleteContainer(void* handle, FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t operation)
{
    uint32_t number = CT_GetInternalID(container);
    uint32_t uid = CT_GetInternalUID(container);
    InfoBuffer info(ctx);
    // The read answers a number without container with the end of a walk
    // (17, "maximum number exceeded"); here it is a container that is not
    // there, or no longer: another deletion took it.
    const FSA_STATUS read = info.read(handle, container);
    passOn(read == kNoSuchContainer ? kNotFound : read);
    const uint32_t fixedPartner = info.word(CI_FLAG_A);
    const uint32_t usage = info.word(CI_USAGE);
    const uint32_t partner = info.word(CI_RELATED);

    int unconditional = operation == FSA_CO_DELETE_UNCONDITIONAL ? 1 : 0;
    if (!unconditional && fixedPartner == 0)
        PCK_ThrowIfContainerIs(ctx, number, 0xD00800000);
    if ((usage == 0 || usage == 3) && fixedPartner != 0)
        unconditional = 1;
    else
        PCK_ThrowIfContainerIs(ctx, number, 0x8);
    if (!unconditional) {
        PCK_ThrowIfContainerIs(ctx, number, 0x40080040);
        if (partner != kNone && partner != number)
            throw kHiddenPartner;
    }
    if (partner != kNone && fixedPartner == 0) {
        number = partner;
        uid = info.word(CI_RELATED + 4);
    }
    if ((operation == 10 || operation == 11) &&
        (usage == 4 || usage == 7 || usage == 8 || usage == 9 || usage == 11 || usage == 13))
        throw kImportantData;
    if (unconditional && fixedPartner == 0)
        EndAllApiTasksOnContainer(ctx, number, 1);

    // The host lets go of the container first; a container the host no
    // longer knows (395) goes on.
    Removal removal;
    const bool configured = holds(ctx, number, 0x100);
    if (configured) {
        uint8_t record[1152];
        uint32_t type = 0;
        CT_GetContainer(ctx, number, record, &type);
        if (!holds(ctx, number, 0x40000))
            removal.prepare(ctx, number, 1, unconditional, true);
    } else {
        if (CT_PhantomOrRealExists(ctx, number, 0) == 0)
            throw kNotFound;
        removal.prepare(ctx, number, 1, unconditional, true);
    }
    if (usage != 0 && usage != 3 && usage != 4)
        CT_ClearFileSystem(ctx, number, 0);
    if (!configured)
        clearPhantomEntries(ctx, number, uid, info.word(kInfoOwnPartitionsOnly) != 0);

    if (configured) {
        // "A limit of the context" is the accessible-container limit: a
        // container the host can reach must still be known to the controller
        // (421 otherwise). The destroy's force is the unconditional flag, so
        // an unconditional delete (code 13) sends parameter 2 = 2.
        if (number < exposureLimit(ctx) && CT_CheckConflicts(ctx, number) == 0)
            throw kNotValid;
        CT_DestroyContainer(ctx, number, static_cast<uint32_t>(unconditional), unconditional);
    } else {
        deletePhantomRemains(handle, ctx, info);
    }

    if (ctx->osType == kPnpOsType && configured && number < exposureLimit(ctx))
        faos_Sleep(kRemovalWindowMs);
    if (!configured)
        sendContainerEvent(ctx, kEventPhantomDeleted, number);
    // The container is gone now: a host that fails to let go of its disk
    // (the OS layer has written why) does not make the deletion a failure,
    // and the model below must still lose the container.
    try {
        removal.complete(ctx, number);
    } catch (FSA_STATUS) {
    }
    // Nor may the session's model keep the container that went: a creation
    // that takes its number would be judged by the old one.
    RefreshConfigurationModel(ctx);
    return FSA_STS_SUCCESS;
}

FSA_STATUS operate(void* handle, FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t operation,
                   void* parameter)
{
    const uint32_t number = CT_GetInternalID(container);
    switch (operation) {
    case 0:
        PCK_ThrowIfContainerIs(ctx, number, 0x8);
        CT_LockContainer(ctx, number);
        return FSA_STS_SUCCESS;
    case 1:
        PCK_ThrowIfContainerIs(ctx, number, 0x48);
        CT_UnlockContainer(ctx, number);
        return FSA_STS_SUCCESS;
    case 2:
        PCK_ThrowIfContainerIs(ctx, number, 0x1040084208);
        PCK_ThrowIfContainerIs(ctx, number, 0x22000000);
        changeAccess(ctx, number, CT_MakeReadOnly);
        return FSA_STS_SUCCESS;
    case 3:
        PCK_ThrowIfContainerIs(ctx, number, 0x1040084208);
        changeAccess(ctx, number, CT_MakeReadWrite);
        return FSA_STS_SUCCESS;
    case FSA_CO_SET_DELAY: {
        if (CT_CheckConflicts(ctx, number) == 0)
            return kNotFound;
        const uint32_t delay = *parameterAs<uint32_t>(parameter);
        if (delay > kMaxDelay)
            return kDelayTooLong;
        CT_SetMirrorDelay(ctx, number, delay);
        sendContainerEvent(ctx, kEventDelayChanged, number);
        return FSA_STS_SUCCESS;
    }
    case 5:
        PCK_ThrowIfContainerIs(ctx, number, 0xD41800000);
        if (hostUsesData(CT_GetContainerUsage(ctx, number)))
            return kImportantData;
        [[fallthrough]];
    case 6:
        PCK_ThrowIfContainerIs(ctx, number, 0xD41800000);
        [[fallthrough]];
    case FSA_CO_ZERO_ALWAYS:
    case 8:
        PCK_ThrowIfContainerIs(ctx, number, 0xD41884058);
        return zero(ctx, number);
    case 9:
        PCK_ThrowIfContainerIs(ctx, number, 0x4100400C);
        if (CT_GetNextFreeContainer(ctx, 1, 0) < exposureLimit(ctx))
            return kNoHiddenSlot;
        CT_Promote(ctx, number);
        return FSA_STS_SUCCESS;
    case 10:
    case 11:
    case 12:
    case FSA_CO_DELETE_UNCONDITIONAL:
        return deleteContainer(handle, ctx, container, operation);
    case 14: {
        PCK_ThrowIfContainerIs(ctx, number, 0x41004048);
        const uint32_t target = parameterAs<tag_FSA_CONTAINER>(parameter)->number;
        if (CT_PhantomOrRealExists(ctx, target, 1) != 0)
            return kTargetInUse;
        Removal removal;
        removal.prepare(ctx, number, 0, 0);
        CT_MoveContainer(ctx, number, target);
        removal.complete(ctx, number);
        if (FsaIsUnixOS(static_cast<int>(ctx->osType)))
            passOn(FsaExposeCtrToOs(ctx, static_cast<int>(target), 1));
        return FSA_STS_SUCCESS;
    }
    case 15:
        PCK_ThrowIfContainerIs(ctx, number, 0x1000000);
        if (hostUsesData(CT_GetContainerUsage(ctx, parameterAs<tag_FSA_CONTAINER>(parameter)->number)))
            return kImportantData;
        [[fallthrough]];
    case 16:
        PCK_ThrowIfContainerIs(ctx, number, 0x1000000);
        return kNotImplemented;
    case 17:
        return kNotImplemented;
    case 18:
        PCK_ThrowIfContainerIs(ctx, number, 0x4108400C);
        CT_AddLevel(ctx, number);
        return FSA_STS_SUCCESS;
    case 19:
    case 20: {
        PCK_ThrowIfContainerIs(ctx, number, 0x4008);
        const uint16_t change = *parameterAs<uint16_t>(parameter);
        uint16_t flags = 0;
        CT_ReadUserFlags(ctx, number, &flags);
        flags = operation == 19 ? static_cast<uint16_t>(flags | change) : static_cast<uint16_t>(flags & ~change);
        CT_WriteUserFlags(ctx, number, flags);
        return FSA_STS_SUCCESS;
    }
    case 21: {
        const bool multilevel = !holds(ctx, number, 0x2);
        if (holds(ctx, number, 0x8000000)) {
            PCK_ThrowIfContainerIs(ctx, number, 0x41002000);
            if (!multilevel)
                CT_ScrubContainer(ctx, number);
            else
                CT_Scrub2Container(ctx, number);
            return FSA_STS_SUCCESS;
        }
        return holds(ctx, number, 0x8000) ? kScrubFailedPartitions : kTaskRunning;
    }
    case FSA_CO_SET_LABEL:
        PCK_ThrowIfContainerIs(ctx, number, 0x41000008);
        return CT_SetName(ctx, number, parameterAs<const char>(parameter));
    case 23: {
        const bool singleLevel = holds(ctx, number, 0x2);
        PCK_ThrowIfContainerIs(ctx, number, 0x41002000);
        if (singleLevel)
            CT_CheckContainer(ctx, number);
        else
            CT_Check2Container(ctx, number);
        return FSA_STS_SUCCESS;
    }
    case 24:
        return kBadOperation;
    case 25:
        PCK_ThrowIfContainerIs(ctx, number, 0x40000000);
        CT_RestartMorph(ctx, number);
        return FSA_STS_SUCCESS;
    case FSA_CO_RESTORE_CONTAINER: {
        if (holds(ctx, number, 0x8000000))
            return kNoDeadPartitions;
        const FSA_STATUS status = CT_EnableRaid5(ctx, number, CT_GetInternalUID(container));
        CT_InvalidateCache(ctx);
        return status;
    }
    case 27:
    case 28:
        return kNotImplemented;
    case 29:
        return zero(ctx, number);
    case kLastOperation: {
        uint8_t* record = parameterAs<uint8_t>(parameter);
        faPutLe64(record + kSlotMask, 0);
        SnapshotMap map{};
        const FSA_STATUS status = CT_GetSSMapInfo(ctx, faGetLe32(record), &map);
        uint64_t slots = 0;
        for (unsigned e = 0; e < kMapEntries; ++e)
            if (faGetLe32(map.bytes + kMapEntryBytes * e) != 0)
                slots |= uint64_t{1} << e;
        faPutLe64(record + kSlotMask, slots);
        return status;
    }
    default:
        return kBadOperation;
    }
}

}  // namespace

extern "C" FSA_STATUS FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                   void* parameter)
{
    return FsaExportedCall("FsaContainer", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (operation > kLastOperation)
            return kBadOperation;
        if (container == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return operate(handle, ctx, container, operation, parameter);
    });
}
