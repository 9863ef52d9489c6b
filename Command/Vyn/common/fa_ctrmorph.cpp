// Dead partitions, partition deletion and morphing. Everything here works
// from the partition cache; the cache mutex is held while the cache is
// scanned and the found entries are acted on, and is always released before
// a sleep, a reconfiguration or a throw.
#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

enum : unsigned {
    CT_SET_DEAD = 72,
    CT_GEN_MORPH = 109,
    CT_DELETE_SEGMENTS = 250,
    CT_GEN_MORPH64 = 252,
};

// Cache-element fields besides those fa_intern_ctr.h names.
constexpr unsigned kMemberIndex = 60;    // u16
constexpr unsigned kDeadMask = 64;       // u32
constexpr unsigned kDeadIndex = 88;      // u16, index CT 72 takes
constexpr uint32_t kAttrLocked = 0x80000000u;

// The legacy container record and its size in blocks (words 1 and 2).
constexpr unsigned kRecordBytes = 1152;
constexpr unsigned kRecordBlocksLow = 4;
constexpr unsigned kRecordBlocksHigh = 8;

constexpr uint32_t kMarkedDead = 190;
constexpr uint32_t kMorphStarted = 253;
constexpr uint32_t kMorphAgainInitialising = 323;
constexpr unsigned kSettleMs = 5000;
constexpr uint32_t kReconfigure = 1;
constexpr uint32_t kOpt3Slices64 = 0x10;
constexpr uint64_t kNotMorphable = 0x50800010ull;
constexpr uint32_t kModeResize = 1;
constexpr uint32_t kModeExtend = 2;
constexpr uint32_t kModeReplace = 4;
constexpr uint32_t kMaxSliceNumber = 255;

constexpr FSA_STATUS kNotFound = 11;
constexpr FSA_STATUS kPartitionNotFound = 14;
constexpr FSA_STATUS kWrongType = 22;
constexpr FSA_STATUS kTooManyMembers = 24;
constexpr FSA_STATUS kForeignSlice = 28;
constexpr FSA_STATUS kDeadLocked = 285;
constexpr FSA_STATUS kPartitionLocked = 350;
constexpr FSA_STATUS kNotFailed = 351;
constexpr FSA_STATUS kTooManyOnDrive = 581;

const uint8_t* at(const FSA_PARTITION_CACHE* cache, uint32_t i) { return cache->elements[i].bytes; }

uint32_t kindOf(const uint8_t* e) { return faGetLe32(e + PCE_KIND); }
bool isFree(const uint8_t* e) { return kindOf(e) == PCE_FREE || kindOf(e) == PCE_FOREIGN_FREE; }
bool isLocked(const uint8_t* e) { return (faGetLe32(e + PART_ATTRIBUTES) & kAttrLocked) != 0; }
bool onDevice(const uint8_t* e, int device) { return faGetLe32(e + PART_LOCATION) == static_cast<uint32_t>(device); }

bool isDead(const uint8_t* e)
{
    const uint32_t bit = faGetLe16(e + kMemberIndex) & 31u;
    if ((faGetLe32(e + kDeadMask) >> bit) & 1u)
        return true;
    return kindOf(e) == PCE_MATCHED && (faGetLe32(e + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) == 0;
}

bool sameExtent(const uint8_t* e, uint64_t start, uint64_t length)
{
    return faGetLe64(e + PART_START_64) == start && faGetLe64(e + PART_LENGTH_64) == length;
}

// Whether a cached partition is the one a caller describes in bytes.
bool isPartition(const uint8_t* e, const FSA_PARTITION& p)
{
    const uint64_t offset = faGetLe64(p.bytes + FSA_PARTITION_OFFSET);
    const uint64_t length = faGetLe64(p.bytes + FSA_PARTITION_LENGTH);
    return offset % 512 == 0 && length % 512 == 0 && sameExtent(e, offset / 512, length / 512);
}

// The refreshed cache, held under its mutex for as long as this lives.
class LockedCache {
public:
    explicit LockedCache(FSAAPI_CONTEXT* ctx) : ctx_(ctx)
    {
        CT_UpdateCache(ctx);
        lock_.reset(new FAUX_AUTORELEASE_MUTEX(ctx->partitionCache->mutex));
    }
    const FSA_PARTITION_CACHE* operator->() const { return ctx_->partitionCache; }

private:
    FSAAPI_CONTEXT* ctx_;
    std::unique_ptr<FAUX_AUTORELEASE_MUTEX> lock_;
};

void markDead(FSAAPI_CONTEXT* ctx, const uint8_t* e)
{
    CT_SetDead(ctx, faGetLe16(e + PART_FIRST_CONTAINER), faGetLe16(e + kDeadIndex));
}

// Acts, under the cache mutex, on every cached partition of a drive with
// that extent; a locked one stops the walk with 350. Whether any was found.
template <class Act>
bool forEachAt(FSAAPI_CONTEXT* ctx, int device, uint64_t start, uint64_t length, Act act)
{
    bool found = false;
    LockedCache cache(ctx);
    for (uint32_t i = 0; i < cache->count; ++i) {
        const uint8_t* e = at(cache.operator->(), i);
        if (!onDevice(e, device) || !sameExtent(e, start, length))
            continue;
        if (isLocked(e))
            throw kPartitionLocked;
        act(e);
        found = true;
    }
    return found;
}

uint32_t morphKind(uint32_t type)
{
    switch (type) {
    case 1: return 2;
    case 2: return 3;
    case 3: return 1;
    case 4:
    case 8: return 4;
    case 9:
    case 10: return 9;
    case 11:
    case 12: return 13;
    case 13: return 10;
    case 15: return 12;
    case 34:
    case 35: return 15;
    case 40: return 17;
    case 45:
    case 46: return 18;
    default: throw kWrongType;
    }
}

bool checksStripe(uint32_t type)
{
    switch (type) {
    case 2:
    case 4:
    case 9:
    case 11:
    case 13:
    case 34:
    case 40:
    case 45: return true;
    default: return false;
    }
}

bool morphable(uint32_t type)
{
    switch (type) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 9:
    case 11:
    case 13:
    case 15:
    case 34:
    case 40:
    case 45: return true;
    default: return false;
    }
}

FSA_STATUS morphStatus(uint32_t status)
{
    switch (status) {
    case 255: return 324;
    case 256: return 41;
    case 257: return 325;
    case 258: return 326;
    case 259: return 327;
    case 260: return 91;
    case 261: return 31;
    case 331: return 496;
    case 332: return 497;
    case 389: return 610;
    default: return kMorphAgainInitialising;
    }
}

// Checks the request and fills the fields both forms share; the slice bytes
// go to `slices`, which has room for MORPH_MAX_MEMBERS.
uint32_t prepareMorph(FSAAPI_CONTEXT* ctx, uint32_t type, uint32_t n, const FSA_STORAGE_DEVICE* drives,
                      uint32_t stripeBytes, uint64_t newSizeBytes, int extend, uint8_t* request, uint8_t* slices)
{
    if (checksStripe(type) && stripeBytes != 0 && newSizeBytes != 0)
        PCK_ValidateChunkSize(ctx, stripeBytes, newSizeBytes);
    // The request has a byte per member and no more room than this.
    if (n > MORPH_MAX_MEMBERS)
        throw kTooManyMembers;
    if (n != 0)
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, drives, n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drives[i]));
        const int slice = CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr);
        // A slice byte cannot name a higher slice: it would name another drive.
        if (slice < 0 || static_cast<uint32_t>(slice) > kMaxSliceNumber)
            throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        slices[i] = static_cast<uint8_t>(slice);
    }
    const uint32_t kind = morphKind(type);
    if (extend && n == 0)
        throw kMorphAgainInitialising;
    faPutLe32(request + MorphRequest::kKind, kind);
    faPutLe32(request + MorphRequest::kMembers, n);
    faPutLe32(request + MorphRequest::kStripe, stripeBytes / 512);
    return n == 0 ? kModeResize : (extend ? kModeExtend : kModeReplace);
}

FSA_STATUS sendMorph(FSAAPI_CONTEXT* ctx, unsigned code, const uint8_t* request, unsigned length)
{
    uint32_t status = 0;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, code, &status, nullptr, nullptr, request, length, nullptr, 0, 1);
    if (status != kMorphStarted)
        throw morphStatus(status);
    return sent;
}

}  // namespace

uint64_t CT_GetContainerSize(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kRecordBytes]());
    if (!record)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    uint32_t status = 0;
    if (CT_GetContainer(ctx, container, record.get(), &status) == 0)
        throw kNotFound;
    const uint64_t blocks = faGetLe32(record.get() + kRecordBlocksLow) |
                            static_cast<uint64_t>(faGetLe32(record.get() + kRecordBlocksHigh)) << 32;
    return blocks * 512;
}

void CT_RemoveDeadPartitions(FSAAPI_CONTEXT* ctx, int device, const FSA_PARTITION* only)
{
    bool lockedMet = false;
    {
        LockedCache cache(ctx);
        for (uint32_t i = 0; i < cache->count; ++i) {
            const uint8_t* e = at(cache.operator->(), i);
            if (!onDevice(e, device) || !isDead(e))
                continue;
            if (isLocked(e)) {
                lockedMet = true;
                continue;
            }
            if (kindOf(e) == PCE_FOREIGN_USED)
                throw kForeignSlice;
            if (only != nullptr && !isPartition(e, *only))
                continue;
            CT_PartitionEntryZero(ctx, faGetLe32(e + PART_TABLE_INDEX));
        }
    }
    CT_ReConfig(ctx, kReconfigure);
    if (lockedMet)
        throw kDeadLocked;
}

void CT_SetDeadPartitions(FSAAPI_CONTEXT* ctx, int device)
{
    bool lockedMet = false;
    {
        LockedCache cache(ctx);
        for (uint32_t i = 0; i < cache->count; ++i) {
            const uint8_t* e = at(cache.operator->(), i);
            if (!onDevice(e, device) || kindOf(e) != PCE_MATCHED)
                continue;
            if (isLocked(e)) {
                lockedMet = true;
                continue;
            }
            markDead(ctx, e);
        }
    }
    faos_Sleep(kSettleMs);
    if (lockedMet)
        throw kPartitionLocked;
}

void CT_SetDeadPartition(FSAAPI_CONTEXT* ctx, int device, uint32_t start, uint32_t length)
{
    if (!forEachAt(ctx, device, start, length, [ctx](const uint8_t* e) { markDead(ctx, e); }))
        throw kPartitionNotFound;
    faos_Sleep(kSettleMs);
}

void CT_ClearDeadPartition(FSAAPI_CONTEXT* ctx, int device, uint64_t start, uint64_t length)
{
    if (!forEachAt(ctx, device, start, length,
                   [ctx](const uint8_t* e) { CT_PartitionEntryZero(ctx, faGetLe32(e + PART_TABLE_INDEX)); }))
        throw kPartitionNotFound;
    CT_ReConfig(ctx, kReconfigure);
}

void CT_DeletePartitions(FSAAPI_CONTEXT* ctx, uint32_t n, VYNIO_SEGMENT64_S* segments)
{
    if ((n != 0 && segments == nullptr) || static_cast<uint64_t>(n) * sizeof(VYNIO_SEGMENT64_S) > CT_MAX_INPUT)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    uint32_t status = n;
    CT_SendReceiveFIB(ctx, CT_DELETE_SEGMENTS, &status, nullptr, nullptr, segments,
                      n * static_cast<unsigned>(sizeof(VYNIO_SEGMENT64_S)), nullptr, 0, 1);
    if (status != CT_STS_NEW_SUCCESS)
        throw kPartitionNotFound;
}

void CT_SetDead(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t index)
{
    uint32_t p0 = container;
    uint32_t p1 = index;
    CT_SendReceiveFIB(ctx, CT_SET_DEAD, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 1);
    if (p0 != kMarkedDead)
        throw kNotFailed;
}

FSA_STATUS CT_MorphContainer(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t type, uint32_t n,
                             const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes, uint64_t newSizeBytes,
                             int extend)
{
    // The drives are read below before the request is built and checked.
    if (n > MORPH_MAX_MEMBERS)
        throw kTooManyMembers;
    if (n != 0 && drives == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    const uint32_t number = CT_GetInternalID(container);
    const uint32_t owner = container->adapterWord;
    uint32_t current = 0;
    {
        LockedCache cache(ctx);
        for (uint32_t i = 0; i < cache->count; ++i) {
            const uint8_t* e = at(cache.operator->(), i);
            if (isFree(e) || faGetLe32(e + PART_OWNER_WORD) != owner)
                continue;
            if (faGetLe16(e + PART_FIRST_CONTAINER) == number || faGetLe32(e + PART_SECOND_OWNER) == number)
                ++current;
        }
    }
    uint32_t needed = n + (extend ? current : 0);
    if (type == 15 || (type >= 17 && type <= 20))
        ++needed;

    if (!extend) {
        for (uint32_t d = 0; d < n; ++d) {
            const uint32_t handle = FsaApiGetDevtFromBLT(ctx, drives[d].busNumber, drives[d].targetId, drives[d].lun);
            bool reusable = false;
            {
                LockedCache cache(ctx);
                for (uint32_t i = 0; i < cache->count && !reusable; ++i) {
                    const uint8_t* e = at(cache.operator->(), i);
                    if (faGetLe32(e + PART_LOCATION) != handle || faGetLe32(e + PART_OWNER_WORD) != owner ||
                        isFree(e) || faGetLe64(e + PART_START_64) == 0 ||
                        (faGetLe32(e + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0)
                        continue;
                    const bool heldElsewhere =
                        faGetLe16(e + PART_FIRST_CONTAINER) != number ||
                        (faGetLe16(e + PART_SECOND_CONTAINER) != number && faGetLe32(e + PART_FIRST_OWNER) != 0);
                    reusable = heldElsewhere;
                }
            }
            if (!reusable && CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, &drives[d]) > CT_GetMaxNumberOfCtrPartitions(ctx))
                throw kTooManyOnDrive;
        }
    }
    CT_CheckMaxNumberOfPartitions(ctx, needed + 3);
    PCK_ThrowIfContainerIs(ctx, number, kNotMorphable);
    if (n > faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS)) {
        CT_DebugText("FsaCreatePrimaryContainer: Too many partition requested");
        throw kTooManyMembers;
    }
    if (!morphable(type))
        throw kWrongType;
    if (FsaOptionWord3(ctx) & kOpt3Slices64)
        return CT_GenerateMorphContainerNew64(ctx, number, type, n, drives, stripeBytes, newSizeBytes, extend);
    return CT_GenerateMorphContainer(ctx, number, type, n, drives, stripeBytes, newSizeBytes, extend);
}

FSA_STATUS CT_GenerateMorphContainer(FSAAPI_CONTEXT* ctx, uint32_t internalId, uint32_t type, uint32_t n,
                                     const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes, uint64_t newSizeBytes,
                                     int extend)
{
    MorphRequest request{};
    faPutLe32(request.bytes + MorphRequest::kContainer, internalId);
    const uint32_t mode = prepareMorph(ctx, type, n, drives, stripeBytes, newSizeBytes, extend, request.bytes,
                                       request.bytes + MorphRequest::kSlices);
    faPutLe32(request.bytes + MorphRequest::kSize, static_cast<uint32_t>(newSizeBytes / 512));
    faPutLe32(request.bytes + MorphRequest::kMode, mode);
    return sendMorph(ctx, CT_GEN_MORPH, request.bytes, sizeof request.bytes);
}

FSA_STATUS CT_GenerateMorphContainerNew64(FSAAPI_CONTEXT* ctx, uint32_t internalId, uint32_t type, uint32_t n,
                                          const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes,
                                          uint64_t newSizeBytes, int extend)
{
    MorphRequest64 request{};
    faPutLe32(request.bytes + MorphRequest::kContainer, internalId);
    const uint32_t mode = prepareMorph(ctx, type, n, drives, stripeBytes, newSizeBytes, extend, request.bytes,
                                       request.bytes + MorphRequest64::kSlices);
    faPutLe64(request.bytes + MorphRequest64::kSize, newSizeBytes / 512);
    faPutLe32(request.bytes + MorphRequest64::kMode, mode);
    return sendMorph(ctx, CT_GEN_MORPH64, request.bytes, sizeof request.bytes);
}
