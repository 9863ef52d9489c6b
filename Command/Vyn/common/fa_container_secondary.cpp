// Secondary containers built over existing ones, volume growth and mirrors.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_misc.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// The request of a mirror over each member of a multilevel container: u16
// container number, u16 drive count, four zero bytes, then one u32 slice per
// new mirror drive.
struct MirrorCommand {
    uint8_t bytes[136];
};
static_assert(sizeof(MirrorCommand) == 136, "mirror request is 136 bytes");

namespace {

constexpr FSA_STATUS kStsNotFound = 11;
constexpr FSA_STATUS kStsNoFreeContainer = 17;
constexpr FSA_STATUS kStsBadType = 22;
constexpr FSA_STATUS kStsTooManyMembers = 24;
constexpr FSA_STATUS kStsSizesDiffer = 25;
constexpr FSA_STATUS kStsTooManyDevices = 27;
constexpr FSA_STATUS kStsBadMirrorFunction = 30;
constexpr FSA_STATUS kStsNoMemory = 91;
constexpr FSA_STATUS kStsInUse = 93;
constexpr FSA_STATUS kStsUnmirrorState = 95;
constexpr FSA_STATUS kStsNotEnoughDevices = 154;
constexpr FSA_STATUS kStsExtensionTooSmall = 310;
constexpr FSA_STATUS kStsNetWare = 420;
constexpr FSA_STATUS kStsNotValid = 421;
constexpr FSA_STATUS kStsLockedInUse = 495;
constexpr FSA_STATUS kStsMounted = 547;
constexpr FSA_STATUS kStsPartitionsFull = 581;

constexpr uint64_t bit(unsigned n) { return uint64_t{1} << n; }

constexpr unsigned kRecordBytes = 1152;
constexpr unsigned kRecordMembers = 0;
constexpr unsigned kRecordSizeLow = 4;
constexpr unsigned kRecordSizeHigh = 8;

constexpr uint64_t kMinExtensionBytes = 32ull * 1024 * 1024;
constexpr uint32_t kMaxMirrorDrives = 32;
constexpr unsigned kMirrorSlicesAt = 8;


// Waits of a host that announces removals and arrivals but whose
// notification window cannot be opened here.
constexpr unsigned kHostSettleMs = 20000;
constexpr unsigned kMirrorSettleMs = 1000;

uint32_t osTypeOf(const FSAAPI_CONTEXT* ctx) { return ctx->osTypeOverride != 0 ? ctx->osTypeOverride : ctx->osType; }



// The size of a container in blocks from its record; 0 when none is found.
uint64_t recordSize(FSAAPI_CONTEXT* ctx, uint32_t number)
{
    std::vector<uint8_t> record(kRecordBytes, 0);
    uint32_t type = 0;
    if (CT_GetContainer(ctx, number, record.data(), &type) == 0)
        return 0;
    return uint64_t{faGetLe32(record.data() + kRecordSizeHigh)} << 32 | faGetLe32(record.data() + kRecordSizeLow);
}

uint32_t recordMembers(FSAAPI_CONTEXT* ctx, uint32_t number)
{
    std::vector<uint8_t> record(kRecordBytes, 0);
    uint32_t type = 0;
    if (CT_GetContainer(ctx, number, record.data(), &type) == 0)
        return 0;
    return faGetLe32(record.data() + kRecordMembers);
}

// The usage export's answer for a container of this session, read in the
// session already held: 1 with the usage, or the status the query threw.
FSA_STATUS usageOf(FSAAPI_CONTEXT* ctx, uint32_t number, uint32_t* usage)
{
    try {
        *usage = CT_GetContainerUsage(ctx, number);
    } catch (FSA_STATUS thrown) {
        return thrown;
    }
    return FSA_STS_SUCCESS;
}

// The slice of a drive of the caller's list; 12 thrown for a drive without.
uint32_t sliceOf(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE& drive)
{
    const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drive));
    return static_cast<uint32_t>(CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr));
}

bool sameDrive(const FSA_STORAGE_DEVICE& a, const FSA_STORAGE_DEVICE& b)
{
    return a.busNumber == b.busNumber && a.targetId == b.targetId && a.lun == b.lun &&
           a.adapterSerial == b.adapterSerial;
}

void throwIfNot(FSA_STATUS status)
{
    if (status != FSA_STS_SUCCESS)
        throw status;
}

// One source of a secondary container on its way out of the host's view.
struct SourceEntry {
    bool prepared = false;
    std::unique_ptr<FAOS_CTR_REMOVE_BASE> removal;
    uint32_t number = 0;  // before any move
};

}  // namespace

FSA_STATUS FinishCreateSecondaryContainer(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t type,
                                          const char* name, uint32_t n, const tag_FSA_CONTAINER* sources,
                                          uint32_t chunkSize, int noBuild)
{
    if (n == 0)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t os = osTypeOf(ctx);
    uint32_t newNumber = 0;
    if (os == 3)
        newNumber = CT_GetNextFreeContainer(ctx, 0, 0);
    if (n > memberLimit(ctx))
        return kStsTooManyMembers;
    if (type != 3 && type != 2)
        return kStsBadType;
    if (sources == nullptr)
        return kStsNoMemory;

    std::vector<SourceEntry> entries(n);
    std::vector<uint32_t> members(n, 0);
    uint32_t lowest = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < n; ++i) {
        entries[i].number = CT_GetInternalID(&sources[i]);
        if (entries[i].number < lowest)
            lowest = entries[i].number;
        // Multilevel, used in a multilevel container, a task running,
        // snapshot, locked.
        PCK_ThrowIfContainerIs(ctx, entries[i].number, bit(2) | bit(3) | bit(6) | bit(14) | bit(30));
    }
    const bool hostAnnounces = os == 10;
    // No notification window can be opened on this host: the fixed waits
    // below stand in for the host's notices.
    if (hostAnnounces)
        FsaDebugPrintf("FinishCreateSecondaryContainer: Failure to open the PnP window\n");

    void* handle = ctx->apiHandle;
    for (uint32_t i = 0; i < n; ++i) {
        SourceEntry& e = entries[i];
        members[i] = e.number;
        try {
            FAOS_CTR_REMOVE_BASE* removal = nullptr;
            const FSA_STATUS prepared = FsaPrepareCtrForRemoval(handle, static_cast<int>(e.number), 1, 0, &removal);
            e.removal.reset(removal);
            throwIfNot(prepared);
            e.prepared = true;
            const uint32_t top = CT_GetNextFreeContainer(ctx, 1, 1);
            if (e.number < top) {
                CT_MoveContainer(ctx, e.number, top);
                members[i] = top;
            }
            if (hostAnnounces && e.number < exposureLimit(ctx))
                faos_Sleep(kHostSettleMs);
            throwIfNot(FsaCtrRemovalComplete(handle, static_cast<int>(e.number), 0, e.removal.get()));
        } catch (FSA_STATUS status) {
            if (status == kStsNoFreeContainer) {
                // The source keeps its number and stays with the host; a
                // second refusal ends the creation.
                CT_InvalidateCache(ctx);
                CT_GetNextFreeContainer(ctx, 1, 1);
                continue;
            }
            if (e.prepared) {
                const FSA_STATUS undone =
                    FsaCtrRemovalComplete(handle, static_cast<int>(e.number), 1, e.removal.get());
                if (undone != FSA_STS_SUCCESS)
                    status = undone;
            }
            return status;
        }
    }

    CT_InvalidateCache(ctx);
    if (os == 10) {
        newNumber = CT_GetNextFreeContainer(ctx, 0, 0);
    } else if (os != 3) {
        newNumber = CT_GetNextFreeContainer(ctx, 0, 0);
        if (lowest < newNumber)
            newNumber = lowest;
    }
    CT_GenerateSecondary(ctx, newNumber, type, members.data(), n, chunkSize);
    CT_InvalidateCache(ctx);
    RefreshConfigurationModel(ctx);
    if (hostAnnounces && newNumber < exposureLimit(ctx))
        faos_Sleep(kHostSettleMs);
    if (noBuild == 0)
        CT_ClearFileSystem(ctx, newNumber, 0);
    if (name != nullptr)
        throwIfNot(CT_SetName(ctx, newNumber, name));
    throwIfNot(FsaExposeCtrToOs(handle, static_cast<int>(newNumber), noBuild != 0 ? 1 : 0));
    if (out != nullptr)
        CT_GetStandardID(ctx, out, newNumber);
    return FSA_STS_SUCCESS;
}

extern "C" FSA_STATUS FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                  const char* name, uint32_t n, const tag_FSA_CONTAINER* sources,
                                                  uint32_t chunkSize, int noBuild)
{
    return FsaExportedCall("FsaCreateSecondaryContainer", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        // A missing list is refused as the creation itself refuses it, before
        // anything would read it.
        if (sources == nullptr && n != 0)
            return kStsNoMemory;
        FSA_STATUS status = CheckMContainerValidity(handle, sources, n, type);
        if (status != FSA_STS_SUCCESS)
            return status;
        PCK_ValidateUserChunkSize(ctx, &chunkSize);
        const uint32_t os = osTypeOf(ctx);
        if (os == 3)
            status = VerifySourceContainers(ctx, type, n, sources);
        // Members of a stripe or a parity set must be equal in size; this is
        // settled before the host is asked about any of them.
        if (type == 2 || type == 4 || type == 34 || type == 45) {
            const uint64_t first = n != 0 ? recordSize(ctx, CT_GetInternalID(&sources[0])) : 0;
            for (uint32_t i = 1; i < n; ++i)
                if (recordSize(ctx, CT_GetInternalID(&sources[i])) != first) {
                    status = kStsSizesDiffer;
                    break;
                }
        }
        if (status != FSA_STS_SUCCESS)
            return status;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t number = CT_GetInternalID(&sources[i]);
            uint32_t usage = 0;
            const FSA_STATUS read = usageOf(ctx, number, &usage);
            if (read != FSA_STS_SUCCESS) {
                status = read;
                continue;
            }
            if (usage == 0 || usage == 6 || usage == 12 || usage == 14)
                continue;
            if (usage == 13)
                status = kStsMounted;
            else if (usage == 16)
                status = kStsNotValid;
            else if (os == 3)
                status = kStsNetWare;
            else
                status = PCK_ContainerIs(ctx, number, bit(30), 1) != 0 ? kStsLockedInUse : kStsInUse;
            break;
        }
        if (status != FSA_STS_SUCCESS)
            return status;
        return FinishCreateSecondaryContainer(ctx, out, type, name, n, sources, chunkSize, noBuild);
    });
}

extern "C" FSA_STATUS FsaGrowPrimaryVolumeSet(void* handle, const tag_FSA_CONTAINER* container,
                                              const FSA_STORAGE_DEVICE_SPACE* space)
{
    return FsaExportedCall("FsaGrowPrimaryVolumeSet", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (container == nullptr || space == nullptr)
            return FSA_STS_BAD_PARAMETER;
        const uint32_t number = CT_GetInternalID(container);
        // Multilevel, used in a multilevel container, read-only, a task
        // running, not a volume set, full, locked.
        PCK_ThrowIfContainerIs(ctx, number, bit(2) | bit(3) | bit(4) | bit(6) | bit(7) | bit(11) | bit(30));
        PCK_ValidateFreeSpace(ctx, space, 1, 1);
        if (space->length < kMinExtensionBytes)
            return kStsExtensionTooSmall;
        const uint32_t slice = sliceOf(ctx, space->device);
        // The firmware places the extension itself: only its length goes.
        CT_VolumeAdd(ctx, number, slice, static_cast<uint32_t>(space->length / 512));
        faos_ExposeExtendedContainer(ctx, static_cast<int>(number));
        return FSA_STS_SUCCESS;
    });
}

extern "C" FSA_STATUS FsaCreateMirrorFromVolume(void* handle, tag_FSA_CONTAINER* container, uint32_t n,
                                                const FSA_STORAGE_DEVICE* drives)
{
    return FsaExportedCall("FsaCreateMirrorFromVolume", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (container == nullptr)
            return FSA_STS_BAD_PARAMETER;
        const uint32_t number = CT_GetInternalID(container);
        PCK_ThrowIfContainerIs(ctx, number, bit(30));
        if (CT_CheckConflicts(ctx, number) == 0)
            return kStsNotFound;
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drives, n);
        if (n > kMaxMirrorDrives)
            return kStsTooManyDevices;
        const uint32_t perDrive = CT_GetMaxNumberOfCtrPartitions(ctx);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t same = 0;
            for (uint32_t j = 0; j < n; ++j)
                same += sameDrive(drives[i], drives[j]) ? 1 : 0;
            if (same + CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, &drives[i]) > perDrive)
                return kStsPartitionsFull;
        }
        std::vector<uint32_t> slices(n, 0);
        for (uint32_t i = 0; i < n; ++i)
            slices[i] = sliceOf(ctx, drives[i]);
        const bool singleLevel = PCK_ContainerIs(ctx, number, bit(1), 1) != 0;
        const uint32_t count = recordMembers(ctx, number);
        if (!singleLevel) {
            // Each member container is mirrored onto one drive.
            if (n < count)
                return kStsNotEnoughDevices;
            if (n > count)
                return kStsTooManyDevices;
            MirrorCommand command{};
            faPutLe16(command.bytes, static_cast<uint16_t>(number));
            faPutLe16(command.bytes + 2, static_cast<uint16_t>(n));
            for (uint32_t i = 0; i < n; ++i)
                faPutLe32(command.bytes + kMirrorSlicesAt + 4 * i, slices[i]);
            CT_GenerateMirror2(ctx, &command);
        } else {
            if (count > 1)
                return kStsTooManyMembers;
            if (n > 2)
                return kStsTooManyDevices;
            if (n == 0)
                return FSA_STS_BAD_PARAMETER;
            CT_GenerateMirror(ctx, number, slices[0]);
        }
        faos_Sleep(kMirrorSettleMs);
        CT_GetStandardID(ctx, container, number);
        return FSA_STS_SUCCESS;
    });
}

namespace {

FSA_STATUS unmirror(FSAAPI_CONTEXT* ctx, void* handle, const tag_FSA_CONTAINER* container, bool singleLevel)
{
    const uint32_t number = CT_GetInternalID(container);
    PCK_ThrowIfContainerIs(ctx, number,
                           bit(12) | bit(14) | bit(19) | bit(23) | bit(30) | bit(32) | bit(34) | bit(35));
    if (singleLevel) {
        CT_UnMirror(ctx, number);
        return FSA_STS_SUCCESS;
    }
    const uint32_t limit = memberLimit(ctx);
    const uint32_t size = FSA_CONTAINER_INFO_MIN + static_cast<uint32_t>(sizeof(FSA_PARTITION)) * limit;
    std::unique_ptr<uint8_t[]> info(new (std::nothrow) uint8_t[size]());
    if (!info)
        return kStsNoMemory;
    const FSA_STATUS read =
        FsaGetContainerInfo(handle, 0, container, reinterpret_cast<FSA_CONTAINER_INFO*>(info.get()), size);
    if (read != FSA_STS_SUCCESS)
        return read;
    const uint32_t state = faGetLe32(info.get() + CI_MIRROR_STATE);
    if (state == 2 || state == 3)
        return kStsUnmirrorState;
    // Only the member entries the buffer holds are read.
    const uint32_t members =
        std::min(faGetLe32(info.get() + CI_MEMBER_COUNT), FsaMemberCapacity(size, CI_LEGACY_MEMBERS));
    for (uint32_t i = 0; i < members; ++i)
        CT_UnMirror(ctx, faGetLe32(info.get() + CI_LEGACY_MEMBERS + sizeof(FSA_PARTITION) * i));
    return FSA_STS_SUCCESS;
}

}  // namespace

extern "C" FSA_STATUS FsaMirror(void* handle, uint32_t operation, tag_FSA_CONTAINER* container,
                                tag_FSA_CONTAINER* newContainer)
{
    return FsaExportedCall("FsaMirror", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if ((kFsaModesWrite & 1u << ctx->accessMode) == 0)
            return FSA_STS_NOT_OPEN_READ_WRITE;
        if (container == nullptr)
            return FSA_STS_BAD_PARAMETER;
        const uint32_t number = CT_GetInternalID(container);
        const bool singleLevel = PCK_ContainerIs(ctx, number, bit(1), 1) != 0;
        uint32_t p1 = 0;
        uint32_t p2 = 0;
        CT_GetContainerCount(ctx, &p1, &p2);
        FSA_STATUS result = FSA_STS_SUCCESS;
        switch (operation) {
        case 1: {  // split
            PCK_ThrowIfContainerIs(ctx, number, bit(23) | bit(32) | bit(34) | bit(35));
            if (newContainer == nullptr)
                return FSA_STS_BAD_PARAMETER;
            const uint32_t second = CT_GetNextFreeContainer(ctx, 0, 1);
            CT_GetStandardID(ctx, newContainer, second);
            PCK_ThrowIfContainerIs(ctx, number,
                                   bit(3) | bit(12) | bit(14) | bit(19) | bit(23) | bit(30) | bit(32) | bit(34) |
                                       bit(35) | bit(36));
            faos_TakeContainerSnapshot(ctx, singleLevel ? FA_SPLIT_PRIMARY : FA_SPLIT_SECONDARY, nullptr,
                                       static_cast<int>(number), static_cast<int>(second));
            faos_ReReadPartitionTable(handle, second);
            throwIfNot(FsaExposeCtrToOs(handle, static_cast<int>(second), 1));
            break;
        }
        case 0:  // unmirror
            result = unmirror(ctx, handle, container, singleLevel);
            if (result != FSA_STS_SUCCESS)
                return result;
            break;
        case 4:  // scrub
        case 5:  // check
            FsaDebugPrintf("OMRAPI : Using obsolete function.  Use FsaContainer");
            // Not redundant, locked.
            PCK_ThrowIfContainerIs(ctx, number, bit(13) | bit(30));
            if (operation == 4)
                singleLevel ? CT_ScrubContainer(ctx, number) : CT_Scrub2Container(ctx, number);
            else
                singleLevel ? CT_CheckContainer(ctx, number) : CT_Check2Container(ctx, number);
            break;
        default:
            result = kStsBadMirrorFunction;
            break;
        }
        CT_GetStandardID(ctx, container, number);
        return result;
    });
}
