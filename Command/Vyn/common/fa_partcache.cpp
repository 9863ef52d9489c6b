// The partition cache: one sorted picture of every partition and free extent
// of the controller's slices, rebuilt after each configuration change, and
// the container unique-id table taken from it.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t kOpt3Slices64 = 0x10;
constexpr uint32_t kSliceForContainers = 6;
constexpr uint32_t kNoDevice = 0xFFFFFFFFu;
constexpr uint32_t kTrailer = 0xFFFFFFFFu;
constexpr unsigned kMergedGrowth = 10;
constexpr unsigned kLastRetry = 5;
constexpr unsigned kRetryDelayMs = 200;

typedef FSA_PARTITION_CACHE_ELEMENT Element;

[[noreturn]] void outOfMemory() { throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY); }

void debugText(const char* text) { UtilPrintDebugFormatted(const_cast<char*>(text)); }

uint32_t kindOf(const Element& e) { return faGetLe32(e.bytes + PCE_KIND); }
void setKind(Element& e, uint32_t kind) { faPutLe32(e.bytes + PCE_KIND, kind); }
uint32_t locationOf(const Element& e) { return faGetLe32(e.bytes + PART_LOCATION); }
uint64_t startOf(const Element& e) { return faGetLe64(e.bytes + PART_START_64); }
uint64_t lengthOf(const Element& e) { return faGetLe64(e.bytes + PART_LENGTH_64); }
bool isFree(uint32_t kind) { return kind == PCE_FREE || kind == PCE_FOREIGN_FREE; }
bool isUsed(uint32_t kind) { return kind == PCE_IN_MEMORY || kind == PCE_ON_DISK || kind == PCE_MATCHED; }

bool keepsDuplicate(const Element& e)
{
    return e.bytes[PART_KEEP_DUPLICATE] != 0 || (faGetLe32(e.bytes + PART_ATTRIBUTES) & PART_ATTR_KEEP_DUPLICATE) != 0;
}

// A malloc'ed array of elements that grows on demand; freed unless released.
class ElementArray {
public:
    ElementArray() = default;
    ~ElementArray() { std::free(data_); }
    ElementArray(const ElementArray&) = delete;
    ElementArray& operator=(const ElementArray&) = delete;

    void reserve(size_t n)
    {
        if (n <= capacity_)
            return;
        if (n > SIZE_MAX / sizeof(Element))
            outOfMemory();
        void* grown = std::realloc(data_, n * sizeof(Element));
        if (grown == nullptr)
            outOfMemory();
        data_ = static_cast<Element*>(grown);
        capacity_ = n;
    }
    // Room for one more, growing by `step` elements at a time.
    Element& append(const Element& e, size_t step)
    {
        if (size_ == capacity_)
            reserve(capacity_ + step);
        data_[size_] = e;
        return data_[size_++];
    }
    Element& operator[](size_t i) { return data_[i]; }
    const Element& operator[](size_t i) const { return data_[i]; }
    size_t size() const { return size_; }
    void truncate(size_t n) { size_ = n; }
    Element* data() { return data_; }
    // The array, shrunk to its size, for the caller to free.
    Element* release()
    {
        Element* out = data_;
        if (size_ != 0 && size_ < capacity_)
            if (void* shrunk = std::realloc(data_, size_ * sizeof(Element)))
                out = static_cast<Element*>(shrunk);
        data_ = nullptr;
        size_ = capacity_ = 0;
        return out;
    }

private:
    Element* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Converts records read from the firmware into cache elements; the 64-bit
// fields come from the 32-bit ones on controllers without 64-bit slices.
void convertRecords(FSAAPI_CONTEXT* ctx, const Partition* records, Element* out, int n)
{
    const bool wide = (FsaOptionWord3(ctx) & kOpt3Slices64) != 0;
    for (int i = 0; i < n; ++i) {
        uint8_t* e = out[i].bytes;
        std::memset(e, 0, sizeof(Element));
        std::memcpy(e, records[i].bytes, sizeof(Partition));
        if (!wide) {
            faPutLe64(e + PART_START_64, faGetLe32(e + PART_START_32));
            faPutLe64(e + PART_LENGTH_64, faGetLe32(e + PART_LENGTH_32));
        }
        if (faGetLe64(e + PART_START_64) != 0 || faGetLe64(e + PART_LENGTH_64) != 0)
            FsaDebugPrintf("%s: [i:%d] [%d] %llu %llu (%u %u)", wide ? "SUPP" : "NOT SUPP", i,
                           static_cast<int>(faGetLe32(e + PART_LOCATION)),
                           static_cast<unsigned long long>(faGetLe64(e + PART_START_64)),
                           static_cast<unsigned long long>(faGetLe64(e + PART_LENGTH_64)), faGetLe32(e + PART_START_32),
                           faGetLe32(e + PART_LENGTH_32));
    }
}

template <class Read>
void readElements(FSAAPI_CONTEXT* ctx, Element* out, int n, Read&& read)
{
    if (n <= 0)
        return;
    std::unique_ptr<Partition[]> records(new (std::nothrow) Partition[static_cast<size_t>(n)]());
    if (records == nullptr)
        outOfMemory();
    read(records.get());
    convertRecords(ctx, records.get(), out, n);
}

// The slice walk's view of one slice.
struct SliceView {
    uint64_t size = 0;
    uint32_t handle = kNoDevice;
    uint32_t type = 0;
    bool foreign = true;
    std::vector<size_t> records;  // merged records on it, by start, then merged order
};

Element freeEntry(uint64_t start, uint64_t length, uint32_t handle, bool foreign)
{
    Element e;
    std::memset(&e, 0, sizeof e);
    faPutLe64(e.bytes + PART_START_64, start);
    faPutLe64(e.bytes + PART_LENGTH_64, length);
    faPutLe32(e.bytes + PART_LOCATION, handle);
    setKind(e, foreign ? PCE_FOREIGN_FREE : PCE_FREE);
    faPutLe32(e.bytes + PCE_TRAILER, kTrailer);
    return e;
}

// Thrown inside the walk when the controller holds two in-memory records for
// one extent: the caller starts again.
struct RebuildList {};

// Steps 5 and 6 over one slice: the records of the slice in ascending start,
// with free space between and after them.
void walkSlice(uint32_t slice, SliceView& s, ElementArray& merged, ElementArray& result, unsigned retry)
{
    const uint64_t end = s.size + FSADATASTART;
    uint64_t nextFree = FSADATASTART;
    size_t pos = 0;
    for (;;) {
        // A record inside space already listed cannot be placed: it overlaps.
        while (pos < s.records.size() && startOf(merged[s.records[pos]]) < nextFree) {
            Element& r = merged[s.records[pos++]];
            UtilPrintDebugFormatted(
                const_cast<char*>("CT_GetSortedPartitionList: leastStartingSector.SS=%d, leastStartingSector.SS64=%llu, "
                                  "nextFreeSector=%llu"),
                static_cast<int>(faGetLe32(r.bytes + PART_START_32)), static_cast<unsigned long long>(startOf(r)),
                static_cast<unsigned long long>(nextFree));
            setKind(r, PCE_TAKEN);
        }
        bool appended = false;
        bool taken = false;
        while (pos < s.records.size() && startOf(merged[s.records[pos]]) == nextFree) {
            Element& r = merged[s.records[pos++]];
            if (!taken || keepsDuplicate(r) || keepsDuplicate(result[result.size() - 1])) {
                Element& listed = result.append(r, kMergedGrowth);
                faPutLe32(listed.bytes + PART_LOCATION, s.handle);
                faPutLe32(listed.bytes + PCE_TRAILER, kTrailer);
                if (s.foreign)
                    setKind(listed, PCE_FOREIGN_USED);
                setKind(r, PCE_TAKEN);
                taken = true;
                appended = true;
                continue;
            }
            Element& last = result[result.size() - 1];
            const uint32_t lastKind = kindOf(last);
            const uint32_t kind = kindOf(r);
            setKind(r, PCE_TAKEN);
            if (lengthOf(r) == lengthOf(last)) {
                if (lastKind == PCE_IN_MEMORY && kind == PCE_ON_DISK) {
                    setKind(last, PCE_MATCHED);
                } else if (lastKind == PCE_IN_MEMORY && kind == PCE_IN_MEMORY) {
                    if (retry < kLastRetry)
                        throw RebuildList{};
                    setKind(last, PCE_MATCHED);
                }
            } else {
                debugText("CT_GetSortedPartitionList: Used overlap larger than space");
                FsaDebugPrintf("CT_GetSortedPartitionList: StartingSector=%llu, SectorCounts=%llu and %llu",
                               static_cast<unsigned long long>(nextFree), static_cast<unsigned long long>(lengthOf(last)),
                               static_cast<unsigned long long>(lengthOf(r)));
                faPutLe64(last.bytes + PART_LENGTH_64, std::min(lengthOf(last), lengthOf(r)));
            }
        }
        const bool left = pos < s.records.size();
        if (!left) {
            if (!(s.foreign && nextFree == FSADATASTART) && nextFree < end)
                result.append(freeEntry(nextFree, end - nextFree, s.handle, s.foreign), kMergedGrowth);
            return;
        }
        if (!taken && nextFree < end) {
            const uint64_t least = startOf(merged[s.records[pos]]);
            if (least > nextFree) {
                result.append(freeEntry(nextFree, least - nextFree, s.handle, s.foreign), kMergedGrowth);
                appended = true;
            }
        }
        // Nothing listed in this step: the rest of the slice lies beyond its end.
        if (!appended)
            return;
        FsaDebugPrintf("nextFreeSector:%llu for slice:%u", static_cast<unsigned long long>(nextFree), slice);
        nextFree += lengthOf(result[result.size() - 1]);
        FsaDebugPrintf("updating to: nextFreeSector:%llu", static_cast<unsigned long long>(nextFree));
        if (s.foreign || nextFree > end)
            return;
    }
}

// Step 8: free space that the tail of a used extent on the same drive
// reaches into starts after that tail. The used extents of each drive are
// sorted once, with the furthest end of all that start at or before each, so
// that every free entry needs one search.
void trimFreeSpace(ElementArray& list)
{
    struct Used {
        uint32_t location;
        uint64_t start;
        uint64_t furthestEnd;
    };
    std::vector<Used> used;
    for (size_t i = 0; i < list.size(); ++i)
        if (isUsed(kindOf(list[i])))
            used.push_back(Used{locationOf(list[i]), startOf(list[i]), startOf(list[i]) + lengthOf(list[i])});
    std::sort(used.begin(), used.end(), [](const Used& a, const Used& b) {
        return a.location != b.location ? a.location < b.location : a.start < b.start;
    });
    for (size_t k = 1; k < used.size(); ++k)
        if (used[k].location == used[k - 1].location)
            used[k].furthestEnd = std::max(used[k].furthestEnd, used[k - 1].furthestEnd);
    for (size_t i = 0; i < list.size(); ++i) {
        Element& f = list[i];
        if (!isFree(kindOf(f)))
            continue;
        const uint64_t start = startOf(f);
        // The last used extent of the drive that starts at or before the free one.
        auto after = std::upper_bound(used.begin(), used.end(), Used{locationOf(f), start, 0},
                                      [](const Used& a, const Used& b) {
                                          return a.location != b.location ? a.location < b.location : a.start < b.start;
                                      });
        if (after == used.begin() || (after - 1)->location != locationOf(f))
            continue;
        const uint64_t end = (after - 1)->furthestEnd;
        const uint64_t overhang = end > start ? end - start : 0;
        if (overhang != 0 && overhang <= lengthOf(f)) {
            faPutLe64(f.bytes + PART_START_64, start + overhang);
            faPutLe64(f.bytes + PART_LENGTH_64, lengthOf(f) - overhang);
        }
    }
}

// Steps 9 and 10: empty free entries go, and an in-memory entry absorbs the
// first on-disk entry of the same extent and owner that no earlier one took.
void compact(ElementArray& list)
{
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (!(isFree(kindOf(list[i])) && lengthOf(list[i]) == 0))
            list[kept++] = list[i];
    list.truncate(kept);

    typedef std::tuple<uint32_t, uint64_t, uint16_t, uint64_t> Extent;
    auto extentOf = [&list](size_t i) {
        return Extent{locationOf(list[i]), startOf(list[i]), faGetLe16(list[i].bytes + PART_FIRST_CONTAINER),
                      lengthOf(list[i])};
    };
    std::map<Extent, std::deque<size_t>> onDisk;
    for (size_t i = 0; i < list.size(); ++i)
        if (kindOf(list[i]) == PCE_ON_DISK)
            onDisk[extentOf(i)].push_back(i);
    if (onDisk.empty())
        return;
    std::vector<bool> removed(list.size(), false);
    for (size_t i = 0; i < list.size(); ++i) {
        if (removed[i] || kindOf(list[i]) != PCE_IN_MEMORY)
            continue;
        auto it = onDisk.find(extentOf(i));
        if (it == onDisk.end())
            continue;
        std::deque<size_t>& candidates = it->second;
        while (!candidates.empty() && removed[candidates.front()])
            candidates.pop_front();
        if (candidates.empty())
            continue;
        removed[candidates.front()] = true;
        candidates.pop_front();
        setKind(list[i], PCE_MATCHED);
    }
    kept = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (!removed[i])
            list[kept++] = list[i];
    list.truncate(kept);
}

Element* buildSortedList(FSAAPI_CONTEXT* ctx, unsigned* count, unsigned retry)
{
    // Step 1.
    const uint32_t age = CT_GetConfigAge(ctx);
    const uint32_t tableSize = CT_GetPartitionTableSize(ctx);
    FsaDebugPrintf("CT_GetPartitionTableSize:%d", static_cast<int>(tableSize));
    // The whole table is read in one transfer of 420-byte records: a size
    // that cannot be is a table that cannot be held.
    const size_t n = tableSize;
    if (n > UINT32_MAX / sizeof(Partition))
        outOfMemory();
    ElementArray merged;
    merged.reserve(n + 1);
    ElementArray table;
    table.reserve(n + 1);
    CT_GetPCEsForPartitionsInMemory(ctx, table.data(), static_cast<int>(n));

    // Step 2: index 0 of the table is never used.
    for (size_t i = 1; i < n; ++i) {
        Element& e = table[i];
        if (faGetLe32(e.bytes + PART_OWNER_WORD) == 0)
            continue;
        setKind(e, startOf(e) != 0 ? PCE_IN_MEMORY : PCE_UNPLACED);
        faPutLe32(e.bytes + PART_TABLE_INDEX, static_cast<uint32_t>(i));
        merged.append(e, kMergedGrowth);
    }

    // Step 3.
    const uint32_t sliceCount = CT_GetSliceCount(ctx);
    FsaDebugPrintf("CT_GetSliceCount:%d", static_cast<int>(sliceCount));
    std::vector<SliceView> slices(sliceCount);
    for (uint32_t slice = 0; slice < sliceCount; ++slice) {
        SliceMBR mbr;
        if (!CT_ReadMBR(ctx, slice, &mbr) || faGetLe32(mbr.bytes) != SLICE_MBR_SIGNATURE)
            continue;
        slices[slice].foreign = false;
        // The record count comes from the drive: never more than the table holds.
        const uint32_t records = std::min<uint32_t>(faGetLe32(mbr.bytes + SLICE_MBR_COUNT), tableSize);
        if (records == 0)
            continue;
        ElementArray disk;
        disk.reserve(records);
        CT_GetPCEsForDiskPartitions(ctx, static_cast<int>(slice), disk.data(), static_cast<int>(records));
        for (uint32_t i = 0; i < records; ++i) {
            Element& e = disk[i];
            if (faGetLe32(e.bytes + PART_OWNER_WORD) == 0 || faGetLe32(e.bytes + PART_AGE) > age || lengthOf(e) == 0)
                continue;
            faPutLe32(e.bytes + PART_LOCATION, slice);
            faPutLe32(e.bytes + PART_SLICE, slice);
            setKind(e, PCE_ON_DISK);
            merged.append(e, kMergedGrowth);
        }
    }

    // Steps 4 to 6. Each slice's records are gathered once, in ascending start
    // and merged order, so that every step only looks at the next of them.
    for (size_t i = 0; i < merged.size(); ++i) {
        const uint32_t kind = kindOf(merged[i]);
        const uint32_t slice = locationOf(merged[i]);
        if (kind != PCE_UNPLACED && slice < sliceCount)
            slices[slice].records.push_back(i);
    }
    ElementArray result;
    result.reserve(merged.size() + sliceCount + 1);
    for (uint32_t slice = 0; slice < sliceCount; ++slice) {
        FsaDebugPrintf(">>f1: CurrentSlice:%d", static_cast<int>(slice));
        SliceView& s = slices[slice];
        uint64_t maxSize = 0;
        uint64_t c = 0;
        CT_GetSliceInfo(ctx, slice, &s.size, &maxSize, &c, &s.handle, nullptr, &s.type);
        if (s.type != kSliceForContainers)
            continue;
        std::stable_sort(s.records.begin(), s.records.end(),
                         [&merged](size_t a, size_t b) { return startOf(merged[a]) < startOf(merged[b]); });
        walkSlice(slice, s, merged, result, retry);
    }

    // Step 7.
    for (size_t i = 0; i < merged.size(); ++i) {
        if (kindOf(merged[i]) != PCE_UNPLACED)
            continue;
        Element& e = result.append(merged[i], kMergedGrowth);
        if (faGetLe32(e.bytes + PART_FIRST_OWNER) == PART_OWNER_UNPLACED) {
            const uint32_t slice = locationOf(e);
            faPutLe32(e.bytes + PART_LOCATION, slice < sliceCount ? slices[slice].handle : kNoDevice);
        }
        std::memset(e.bytes + PCE_PRIVATE, 0, PCE_PRIVATE_BYTES);
        faPutLe32(e.bytes + PCE_TRAILER, kTrailer);
    }

    // Steps 8 to 11.
    trimFreeSpace(result);
    compact(result);
    *count = static_cast<unsigned>(result.size());
    if (result.size() == 0) {
        // An empty list is still a list the caller frees.
        Element* empty = static_cast<Element*>(std::malloc(sizeof(Element)));
        if (empty == nullptr)
            outOfMemory();
        return empty;
    }
    return result.release();
}

}  // namespace

void CT_GetPCEsForPartitionsInMemory(FSAAPI_CONTEXT* ctx, FSA_PARTITION_CACHE_ELEMENT* out, int n)
{
    readElements(ctx, out, n, [&](Partition* records) { CT_GetPartitionsInMemory(ctx, records, n); });
}

void CT_GetPCEsForDiskPartitions(FSAAPI_CONTEXT* ctx, int slice, FSA_PARTITION_CACHE_ELEMENT* out, int n)
{
    readElements(ctx, out, n, [&](Partition* records) { CT_GetDiskPartitions(ctx, slice, records, n); });
}

FSA_PARTITION_CACHE_ELEMENT* CT_GetSortedPartitionList(FSAAPI_CONTEXT* ctx, unsigned* count, unsigned retry)
{
    for (;; ++retry) {
        try {
            return buildSortedList(ctx, count, retry);
        } catch (const std::bad_alloc&) {
            // The per-slice bookkeeping of a controller that claims too many slices.
            outOfMemory();
        } catch (RebuildList) {
            debugText("CT_GetSortedPartitionList: WARNING: Matching in-memory partitions, probably from mirror create.");
            faos_Sleep(kRetryDelayMs);
        }
    }
}

void CT_FreePartitionCache(FSAAPI_CONTEXT* ctx)
{
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr)
        return;
    std::free(cache->elements);
    try {
        faos_DestroyMutex(cache->mutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the cache goes anyway.
    }
    delete cache;
    ctx->partitionCache = nullptr;
}

void CT_InvalidateCache(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_InvalidateCache");
    if (ctx->partitionCache != nullptr)
        ctx->partitionCache->valid = 0;
    if (ctx->changeNotify && ctx->changeCallback != nullptr)
        ctx->changeCallback(ctx->changeUserData);
}

FSA_STATUS CT_GetContainerUIDFromPartition(FSAAPI_CONTEXT* ctx, const Partition* partition, uint32_t* uid,
                                           unsigned secondOwner)
{
    uint32_t p0 = secondOwner;
    uint32_t p1 = *uid;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_PAR_TO_32BITS_UID, &p0, &p1, nullptr, partition->bytes,
                                              sizeof partition->bytes, nullptr, 0, 0);
    if (sent == FSA_STS_SUCCESS)
        *uid = p1;
    return sent;
}

namespace {

void addUniqueId(FSAAPI_CONTEXT* ctx, const Element& e, uint32_t container, unsigned secondOwner)
{
    const uint32_t owner = faGetLe32(e.bytes + PART_OWNER_WORD);
    auto* table = static_cast<FSA_CONTAINER_UID_ENTRY*>(ctx->uniqueIdTable);
    for (uint32_t i = 0; i < ctx->uniqueIdCount; ++i)
        if (table[i].container == container && table[i].ownerWord == owner)
            return;
    Partition record;
    std::memcpy(record.bytes, e.bytes, sizeof record.bytes);
    uint32_t uid = 0;
    if (CT_GetContainerUIDFromPartition(ctx, &record, &uid, secondOwner) != FSA_STS_SUCCESS)
        uid = 0;
    void* grown = std::realloc(ctx->uniqueIdTable, (ctx->uniqueIdCount + 1) * sizeof(FSA_CONTAINER_UID_ENTRY));
    if (grown == nullptr)
        outOfMemory();
    ctx->uniqueIdTable = grown;
    static_cast<FSA_CONTAINER_UID_ENTRY*>(grown)[ctx->uniqueIdCount++] = FSA_CONTAINER_UID_ENTRY{container, uid, owner};
}

void rebuildUniqueIds(FSAAPI_CONTEXT* ctx)
{
    FAUX_AUTORELEASE_MUTEX lock(ctx->uniqueIdMutex);
    std::free(ctx->uniqueIdTable);
    ctx->uniqueIdTable = nullptr;
    ctx->uniqueIdCount = 0;
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    for (uint32_t i = 0; i < cache->count; ++i) {
        const Element& e = cache->elements[i];
        const uint32_t first = faGetLe32(e.bytes + PART_FIRST_OWNER);
        const uint32_t second = faGetLe32(e.bytes + PART_SECOND_OWNER);
        if ((first == 0 && second == 0) || (faGetLe32(e.bytes + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) == 0)
            continue;
        addUniqueId(ctx, e, faGetLe16(e.bytes + PART_FIRST_CONTAINER), 0);
        if (second != 0)
            addUniqueId(ctx, e, faGetLe16(e.bytes + PART_SECOND_CONTAINER), 1);
    }
}

}  // namespace

FSA_STATUS CT_UpdateCache(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_UpdateCache");
    FINISH_OPEN finish(ctx);
    CMutexObject guard(ctx->contextMutex, &ctx->mutexHeld, FsaTakesContextMutex(ctx));
    if (ctx->partitionCache == nullptr) {
        auto* cache = new (std::nothrow) FSA_PARTITION_CACHE{0, 0, nullptr, 0xFFFFFFFFu, nullptr};
        if (cache == nullptr)
            outOfMemory();
        try {
            cache->mutex = faos_CreateMutex(nullptr);
        } catch (FSA_STATUS) {
            delete cache;
            throw;
        }
        ctx->partitionCache = cache;
    }
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    FAUX_AUTORELEASE_MUTEX lock(cache->mutex);
    if (cache->valid == 0) {
        std::free(cache->elements);
        cache->elements = nullptr;
        cache->count = 0;
        unsigned count = 0;
        cache->elements = CT_GetSortedPartitionList(ctx, &count, 0);
        cache->count = count;
        cache->valid = 1;
        rebuildUniqueIds(ctx);
    }
    return FSA_STS_SUCCESS;
}

extern "C" FSA_STATUS FsaGetSortedPartitionList(void* adapterHandle, unsigned* count,
                                                FSA_PARTITION_CACHE_ELEMENT** list)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(adapterHandle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    if (static_cast<int>(ctx->accessMode) < FSA_ACC_READ_ONLY || ctx->accessMode > FSA_ACC_UTILITY)
        return FSA_STS_NOT_OPEN_READ_ONLY;
    // Nowhere to put the list.
    if (count == nullptr || list == nullptr)
        return FSA_STS_BAD_PARAMETER;
    try {
        *list = CT_GetSortedPartitionList(ctx, count, 0);
    } catch (FSA_STATUS status) {
        return status;
    }
    return FSA_STS_SUCCESS;
}
