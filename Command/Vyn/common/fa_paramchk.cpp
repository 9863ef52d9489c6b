#include "Command/Vyn/common/fa_paramchk.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr FSA_STATUS kBadChunk = 26;

}  // namespace

bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx)
{
    return ctx->driverHandleWord == 0 && ctx->remoteAdapter == 1;
}

namespace {

constexpr unsigned kRecordBytes = 1152;
constexpr uint32_t kTaskClear = FSA_TF_CTR_ZERO;

// Fields of the legacy container record.
constexpr unsigned kRecMembers = 0;
constexpr unsigned kRecFlags = 12;
constexpr unsigned kRecMemberIndex = 20;
constexpr unsigned kRecPairFirst = 135 * 4;
constexpr unsigned kRecPairSecond = 136 * 4;
constexpr unsigned kRecPairReference = 137 * 4;
constexpr unsigned kRecPairSkip = 557;
// Member indexes the record holds (words 5 to 134).
constexpr uint32_t kRecMaxMembers = 130;
constexpr uint32_t kFlagHiddenIncomplete = 1u << 7;
constexpr uint32_t kFlagReadOnly = 1u << 28;
constexpr uint32_t kFlagLocked = 1u << 31;

// Fields of a partition record as these checks read them.
constexpr unsigned kParMemberContainer = 40;
constexpr unsigned kParKind = 48;
constexpr unsigned kParSnapshotA = 54;
constexpr unsigned kParSnapshotB = 55;
constexpr unsigned kParDead = 64;
constexpr unsigned kParUser = 76;
constexpr unsigned kParMirrorState = 100;
constexpr unsigned kParSlave = 104;
constexpr unsigned kParSize = 256;
constexpr uint32_t kKindSlice = 8;

constexpr uint64_t bit(unsigned n) { return uint64_t{1} << n; }
constexpr uint64_t kAnswerNone = bit(23) | bit(25) | bit(32) | bit(33) | bit(34) | bit(35);

uint32_t highestContainer(const FSAAPI_CONTEXT* ctx)
{
    return faGetLe32(ctx->generalInfo.bytes + GI_MAX_CONTAINER_NUMBER);
}

uint32_t exposureLimit(const FSAAPI_CONTEXT* ctx)
{
    return faGetLe32(ctx->generalInfo.bytes + GI_MAX_ACCESSIBLE_CONTAINERS);
}

uint32_t maxMembers(const FSAAPI_CONTEXT* ctx) { return faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS); }

// The tasks of a container.
uint32_t containerTasks(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_TASK_DESCRIPTOR* list)
{
    std::memset(list, 0, AIF_MAX_TASKS * sizeof *list);
    return AIF_GetTaskListForContainer(ctx, container, list);
}

bool isUsedByHost(uint32_t usage) { return usage == 7 || usage == 8 || usage == 9 || usage == 11 || usage == 13; }

bool isRedundant(uint32_t type) { return type == 17 || type == 2 || type == 4 || type == 15 || type == 18; }

// The snapshot containers whose pair is being examined on this thread. A pair
// is followed down to its end, but a record naming itself, or pairs naming
// each other, end the walk at the first container met twice; container numbers
// are bounded, so the walk is too.
thread_local std::vector<uint32_t> pairWalk;

struct PairVisit {
    explicit PairVisit(uint32_t container) { pairWalk.push_back(container); }
    ~PairVisit() { pairWalk.pop_back(); }
    PairVisit(const PairVisit&) = delete;
    PairVisit& operator=(const PairVisit&) = delete;
};

bool onPairWalk(uint32_t container)
{
    return std::find(pairWalk.begin(), pairWalk.end(), container) != pairWalk.end();
}

}  // namespace

FSA_STATUS PCK_ContainerIsRet(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, int* exists)
{
    *exists = 1;
    if (container > highestContainer(ctx))
        return 41;
    if ((mask & bit(10)) && container >= exposureLimit(ctx)) {
        *exists = 0;
        return 173;
    }
    if (mask & kAnswerNone)
        return FSA_STS_SUCCESS;

    FSA_TASK_DESCRIPTOR tasks[AIF_MAX_TASKS];
    if (mask & (bit(6) | bit(18))) {
        const uint32_t n = containerTasks(ctx, container, tasks);
        if (n != 0) {
            if (mask & bit(6))
                return 145;
            for (uint32_t i = 0; i < n && i < AIF_MAX_TASKS; ++i)
                if (tasks[i].function == kTaskClear)
                    return 205;
        }
    }
    if (mask & (bit(17) | bit(29))) {
        const uint32_t usage = CT_GetContainerUsage(ctx, container);
        if ((mask & bit(17)) && isUsedByHost(usage))
            return 93;
        if ((mask & bit(29)) && usage == 11)
            return 420;
    }

    uint8_t record[kRecordBytes];
    uint32_t type = 0;
    if (!CT_GetContainer(ctx, container, record, &type)) {
        *exists = 0;
        return 11;
    }
    const uint32_t flags = faGetLe32(record + kRecFlags);
    const uint32_t members = faGetLe32(record + kRecMembers);
    if (mask & bit(8))
        return 153;
    if ((mask & bit(11)) && members == maxMembers(ctx))
        return 175;
    if ((mask & bit(4)) && ((flags & kFlagReadOnly) || type == 6))
        return 143;
    if ((mask & bit(5)) && !(flags & kFlagReadOnly))
        return 144;
    if ((mask & bit(28)) && (flags & kFlagHiddenIncomplete))
        return 406;
    if ((mask & bit(7)) && type != 1)
        return 151;
    if ((mask & bit(15)) && type != 5 && type != 6)
        return 185;
    if ((mask & bit(14)) && (type == 5 || type == 6))
        return 186;
    if ((mask & bit(20)) && (type == 4 || type == 15))
        return 223;
    if ((mask & bit(24)) && type == 8)
        return 356;
    if ((mask & bit(30)) && (flags & kFlagLocked))
        return 42;
    if ((mask & bit(36)) && CT_GetContainerUsage(ctx, container) == 13)
        return 547;

    if (type == 5 || type == 6) {
        if (mask & bit(2))
            return 107;
        const uint32_t wordA = faGetLe32(record + kRecPairFirst);
        const uint32_t wordB = faGetLe32(record + kRecPairSecond);
        const bool reference = container == faGetLe32(record + kRecPairReference);
        const uint32_t first = reference ? wordA : wordB;
        const uint32_t second = reference ? wordB : wordA;
        const bool skip = record[kRecPairSkip] != 0;
        int ignored = 0;
        FSA_STATUS status = FSA_STS_SUCCESS;
        if (!skip && !onPairWalk(container)) {
            const PairVisit visit(container);
            status = PCK_ContainerIsRet(ctx, first, mask & (bit(6) | bit(9) | bit(12) | bit(13) | bit(18)), &ignored);
            if (status == 11)
                status = FSA_STS_SUCCESS;
            if (status != FSA_STS_SUCCESS)
                return status;
            status = PCK_ContainerIsRet(ctx, second, mask & (bit(6) | bit(18)), &ignored);
            if (status == 11)
                status = FSA_STS_SUCCESS;
        }
        return status;
    }
    if (type == 7)
        return FSA_STS_SUCCESS;

    // The member scan: member containers make this one multilevel.
    bool multilevel = false;
    bool deadNoted = false;
    uint32_t referenceType = 0;
    uint8_t reference[kRecordBytes];
    std::memcpy(reference, record, sizeof reference);
    Partition partition{};
    bool havePartition = false;
    const uint32_t n = std::min(members, kRecMaxMembers);
    for (uint32_t m = 0; m < n; ++m) {
        const uint32_t index = faGetLe32(record + kRecMemberIndex + 4 * m);
        if (index == 0)
            continue;
        Partition p{};
        CT_GetPartitionInMemory(ctx, index, &p);
        const bool memberContainer = faGetLe64(p.bytes + kParSize) == 0 && faGetLe32(p.bytes + kParKind) != kKindSlice;
        if (memberContainer) {
            multilevel = true;
            const uint32_t member = faGetLe32(p.bytes + kParMemberContainer);
            uint8_t memberRecord[kRecordBytes];
            uint32_t memberType = 0;
            if (CT_GetContainer(ctx, member, memberRecord, &memberType)) {
                if ((mask & bit(6)) && containerTasks(ctx, member, tasks) != 0)
                    return 145;
                if (referenceType == 0 || referenceType == 2 || referenceType == 17 || referenceType == 4 ||
                    referenceType == 15 || referenceType == 18) {
                    std::memcpy(reference, memberRecord, sizeof reference);
                    referenceType = memberType;
                }
            }
            continue;
        }
        if (multilevel)
            return 11;
        partition = p;
        havePartition = true;
        if (!(mask & bit(27)))
            break;
        if (faGetLe32(p.bytes + kParDead) != 0)
            deadNoted = true;
    }

    if ((mask & bit(2)) && multilevel)
        return 107;
    if ((mask & bit(1)) && !multilevel)
        return 141;
    if ((mask & bit(27)) && !deadNoted)
        return 405;
    if ((mask & bit(3)) && !multilevel && havePartition && faGetLe16(partition.bytes + kParUser) != 0)
        return 142;

    if (multilevel) {
        const uint32_t count = std::min(faGetLe32(reference + kRecMembers), kRecMaxMembers);
        uint32_t index = 0;
        for (uint32_t m = 0; m < count && index == 0; ++m)
            index = faGetLe32(reference + kRecMemberIndex + 4 * m);
        if (index == 0) {
            *exists = 0;
            return 128;
        }
        CT_GetPartitionInMemory(ctx, index, &partition);
        havePartition = true;
    } else {
        referenceType = type;
    }

    if ((mask & bit(9)) && referenceType == 2 && havePartition) {
        const uint32_t state = faGetLe32(partition.bytes + kParMirrorState);
        if ((state == 3 || state == 4) && faGetLe16(partition.bytes + kParSlave) == container)
            return 172;
    }
    if ((mask & bit(12)) && referenceType != 17 && referenceType != 2)
        return 103;
    if ((mask & bit(13)) && !isRedundant(referenceType))
        return 180;
    if ((mask & bit(19)) && havePartition &&
        (partition.bytes[kParSnapshotA] != 0 || partition.bytes[kParSnapshotB] != 0))
        return 212;
    return FSA_STS_SUCCESS;
}

uint32_t PCK_ContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask, FSA_THROW_MODE mode)
{
    int exists = 1;
    const FSA_STATUS status = PCK_ContainerIsRet(ctx, container, mask, &exists);
    if (status == FSA_STS_SUCCESS)
        return 0;
    if (mode == 0)
        throw status;
    return exists ? 1 : 0;
}

void PCK_ThrowIfContainerIs(FSAAPI_CONTEXT* ctx, uint32_t container, uint64_t mask)
{
    PCK_ContainerIs(ctx, container, mask, 0);
}

uint32_t PCK_ScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask, FSA_THROW_MODE mode)
{
    if ((mask & 0x1) == 0)
        return 0;
    FSA_TASK_DESCRIPTOR tasks[AIF_MAX_TASKS] = {};
    if (AIF_GetTaskListForScsi(ctx, static_cast<uint32_t>(device), tasks) == 0)
        return 0;
    if (mode == 0)
        throw static_cast<FSA_STATUS>(270);
    return 1;
}

void PCK_ThrowIfScsiDeviceIs(FSAAPI_CONTEXT* ctx, int device, uint32_t mask) { PCK_ScsiDeviceIs(ctx, device, mask, 0); }

void PCK_ValidateChunkSize(FSAAPI_CONTEXT* ctx, uint32_t chunk, uint64_t sizeBytes)
{
    const bool inRange = chunk >= ctx->chunkMinimum && chunk <= ctx->chunkMaximum;
    const bool granular = ctx->chunkGranularity == 0 || chunk % ctx->chunkGranularity == 0;
    const bool fits = chunk != 0 && sizeBytes % chunk == 0;
    if (!inRange || !granular || !fits)
        throw kBadChunk;
}

void PCK_ValidateUserChunkSize(FSAAPI_CONTEXT* ctx, uint32_t* chunk)
{
    if (*chunk == 0)
        return;
    if (*chunk == 8 || *chunk == 16 || *chunk == 32 || *chunk == 64)
        *chunk *= 1024;
    if (*chunk == 8192 && PCK_IsOemServerLegacy(ctx))
        return;
    // Doubling a minimum of 0 never reaches anything.
    if (ctx->chunkMinimum == 0)
        throw kBadChunk;
    for (uint64_t size = ctx->chunkMinimum; size <= ctx->chunkMaximum; size *= 2)
        if (size == *chunk)
            return;
    throw kBadChunk;
}

namespace {

bool sameDrive(const FSA_STORAGE_DEVICE& a, const FSA_STORAGE_DEVICE& b)
{
    return a.busNumber == b.busNumber && a.targetId == b.targetId && a.lun == b.lun;
}

constexpr uint64_t kAlignMask = 0xFFFF;

}  // namespace

void PCK_ValidateFreeSpace(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n,
                           int skipSizeCheck)
{
    CT_InvalidateCache(ctx);
    CT_UpdateCache(ctx);
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t same = 0;
        for (uint32_t j = i; j < n; ++j)
            if (sameDrive(spaces[i].device, spaces[j].device))
                ++same;
        const uint64_t total =
            static_cast<uint64_t>(same) + CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, &spaces[i].device);
        if (total > CT_GetMaxNumberOfCtrPartitions(ctx))
            throw static_cast<FSA_STATUS>(581);
    }

    std::vector<uint32_t> handles(n);
    uint64_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const FSA_STORAGE_DEVICE_SPACE& s = spaces[i];
        handles[i] = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &s.device));
        if ((s.start & kAlignMask) != 0 || (s.length & kAlignMask) != 0)
            throw static_cast<FSA_STATUS>(147);
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, &s.device, 1);
        sum += s.length;
        const uint64_t end = s.start + s.length;
        bool found = false;
        {
            FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
            const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
            for (uint32_t e = 0; e < cache->count && !found; ++e) {
                const uint8_t* el = cache->elements[e].bytes;
                if (faGetLe32(el + PART_LOCATION) != handles[i])
                    continue;
                const uint64_t eStart = faGetLe64(el + PART_START_64) * 512;
                const uint64_t eEnd = eStart + faGetLe64(el + PART_LENGTH_64) * 512;
                if (s.start < eStart || s.start >= eEnd)
                    continue;
                found = true;
                if (faGetLe32(el + PCE_KIND) != PCE_FREE)
                    throw static_cast<FSA_STATUS>(148);
                if (eEnd < end)
                    throw static_cast<FSA_STATUS>(149);
            }
        }
        if (!found)
            throw static_cast<FSA_STATUS>(149);
        for (uint32_t j = i + 1; j < n; ++j) {
            if (static_cast<uint32_t>(SCSI_GetInternalID(ctx, &spaces[j].device)) != handles[i])
                continue;
            // Extents that only touch do not overlap.
            const uint64_t jStart = spaces[j].start;
            const uint64_t jEnd = jStart + spaces[j].length;
            if (jStart < end && s.start < jEnd)
                throw static_cast<FSA_STATUS>(150);
        }
    }
    if (!skipSizeCheck && sum < ctx->minContainerBytes)
        throw static_cast<FSA_STATUS>(146);
}

bool PCK_IsOemServerRomb(const FSAAPI_CONTEXT* ctx)
{
    return ctx->oemId == 9 || ctx->oemId == 13 || ctx->oemId == 14;
}

bool PCK_IsOemServerLegacy(const FSAAPI_CONTEXT* ctx) { return PCK_IsOemServerRomb(ctx) || ctx->oemId == 8; }

void PCK_GetContainersMaxPartitionSize(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint64_t* out)
{
    *out = 0;
    PCK_InternalGetContainersMaxPartitionSize(ctx, container, out);
}

namespace {

constexpr uint32_t kMaxPartitionInfoBytes = 4136;
constexpr unsigned kMemberBytes = 28;
// Member containers nest a few levels at most; a record naming itself would
// otherwise recurse without end.
constexpr int kMaxDepth = 8;

void largestExtent(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint64_t* inOut, int depth)
{
    if (depth > kMaxDepth)
        return;
    std::vector<uint8_t> info(sizeof(FSA_CONTAINER_INFO_EXTND), 0);
    const FSA_STATUS read = FsaGetContainerInfo2(ctx->apiHandle, 0, container,
                                                 reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(info.data()),
                                                 kMaxPartitionInfoBytes);
    if (read != FSA_STS_SUCCESS)
        throw read;
    const uint32_t room = (kMaxPartitionInfoBytes - CI_MEMBERS) / kMemberBytes;
    const uint32_t members = std::min(faGetLe32(info.data() + CI_MEMBER_COUNT), room);
    const bool ofContainers = faGetLe32(info.data() + CI_LAYOUT) == 0;
    for (uint32_t m = 0; m < members; ++m) {
        const uint8_t* entry = info.data() + CI_MEMBERS + kMemberBytes * m;
        if (ofContainers) {
            if (faGetLe32(entry) == 0xFFFFFFFFu)
                continue;
            tag_FSA_CONTAINER member{};
            member.number = faGetLe32(entry);
            member.uniqueId = faGetLe32(entry + 4);
            member.adapterWord = faGetLe32(entry + 8);
            largestExtent(ctx, &member, inOut, depth + 1);
        } else {
            *inOut = std::max(*inOut, faGetLe64(entry + 20));
        }
    }
}

}  // namespace

void PCK_InternalGetContainersMaxPartitionSize(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container,
                                               uint64_t* inOut)
{
    largestExtent(ctx, container, inOut, 0);
}

void PCK_ValidateContainerDedicatedHotSpares(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t n,
                                             const FSA_STORAGE_DEVICE* drives)
{
    uint64_t needed = 0;
    PCK_GetContainersMaxPartitionSize(ctx, container, &needed);
    CT_UpdateCache(ctx);
    FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
    CT_UpdateCache(ctx);
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    for (uint32_t d = 0; d < n; ++d) {
        const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drives[d]));
        CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr);
        uint64_t largest = 0;
        for (uint32_t e = 0; e < cache->count; ++e) {
            const FSA_PARTITION_CACHE_ELEMENT* el = &cache->elements[e];
            if (!LOCAL_ATTACHED(el) || faGetLe32(el->bytes + PART_LOCATION) != handle)
                continue;
            if (faGetLe32(el->bytes + PCE_KIND) != PCE_FREE || faGetLe64(el->bytes + PART_START_64) == 0)
                continue;
            largest = std::max(largest, faGetLe64(el->bytes + PART_LENGTH_64) * 512);
        }
        if (largest < needed)
            throw static_cast<FSA_STATUS>(607);
    }
}

void PCK_CheckAndRemoveActiveCtrs(FSAAPI_CONTEXT* ctx, int device, int allowDelete, int unconditional)
{
    constexpr uint32_t kListEntries = 128;
    constexpr uint32_t kListBytes = kListEntries * sizeof(tag_FSA_CONTAINER);
    std::vector<tag_FSA_CONTAINER> dead(kListEntries);
    std::vector<tag_FSA_CONTAINER> affected(kListEntries);
    FSA_STORAGE_DEVICE drive{};
    SCSI_GetStandardID(ctx, &drive, static_cast<uint32_t>(device));
    FSA_STATUS status = FSA_STS_SUCCESS;
    uint32_t deadCount = 0;
    uint32_t affectedCount = 0;
    auto list = [&] {
        deadCount = 0;
        affectedCount = 0;
        CT_FindContainersToDeleteByDisk(ctx, &drive, 1, dead.data(), &deadCount, kListBytes, affected.data(),
                                        &affectedCount, kListBytes);
    };
    list();
    // A controller that keeps listing a container it reports deleted would
    // hold this loop forever: no more deletions than containers first listed.
    uint32_t budget = deadCount;
    while (deadCount != 0) {
        if (!allowDelete) {
            status = 137;
            break;
        }
        if (budget == 0)
            break;
        --budget;
        status = FsaContainer(ctx->apiHandle, &dead[0], unconditional ? 13 : 12, nullptr);
        if (status != FSA_STS_SUCCESS)
            break;
        list();
    }
    CT_InvalidateCache(ctx);
    CT_UpdateCache(ctx);
    if (status != FSA_STS_SUCCESS)
        throw status;
}

void PCK_ValidateChannelMode(const FSAAPI_CONTEXT* ctx, FSAAPI_CHANNEL_MODE mode, const FSA_STORAGE_DEVICE* devices,
                             uint32_t n)
{
    if (ctx == nullptr || devices == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t bus = devices[i].busNumber;
        // The table has a fixed number of buses whatever the count claims.
        if (bus >= ctx->channelCount || bus >= std::size(ctx->channelKind))
            throw static_cast<FSA_STATUS>(FSA_STS_BAD_BUS);
        if (ctx->channelKind[bus] != mode)
            throw static_cast<FSA_STATUS>(FSA_STS_WRONG_CHANNEL_MODE);
    }
}
