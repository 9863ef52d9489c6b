// The containers that depend on given drives, from the partition cache: those
// that die with the drives and those that only lose members. Also the unique
// id of any container number, found through the partitions that name it.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

typedef FSA_PARTITION_CACHE_ELEMENT Element;

constexpr FSA_STATUS kListTooSmall = 5;
constexpr uint32_t kNoHandle = 0xFFFFFFFFu;

constexpr uint32_t kMemberMissing = 0x40;  // in the state flags

// Firmware container types of the first owner.
enum : uint32_t {
    kVolume = 1,
    kMirror = 2,
    kStripe = 3,
    kRaid5 = 4,
    kPassThrough = 8,
    kRaid5EE = 15,
    kRaid1E = 17,
    kRaid6 = 18,
};

bool isParity(uint32_t type) { return type == kRaid5 || type == kRaid5EE || type == kRaid6; }
bool isMirrored(uint32_t type) { return type == kMirror || type == kRaid1E; }

uint32_t uidFromPartition(FSAAPI_CONTEXT* ctx, const Element* e, unsigned owner)
{
    Partition record;
    std::memcpy(record.bytes, e->bytes, sizeof record.bytes);
    uint32_t uid = 0;
    const FSA_STATUS status = CT_GetContainerUIDFromPartition(ctx, &record, &uid, owner);
    if (status != FSA_STS_SUCCESS)
        throw status;
    return uid;
}

// Whether a container still works with the partitions counted against it.
bool survives(const FIND_CT_TO_DELETE_STRUCT& entry)
{
    const uint32_t type = entry.words[FIND_TYPE];
    const uint32_t hits = entry.words[FIND_HITS];
    if (type == kVolume || type == kStripe || type == kPassThrough)
        return false;
    if ((isMirrored(type) || isParity(type)) && hits > 1)
        return false;
    return true;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

void CT_AddToFindList(FSAAPI_CONTEXT* ctx, FIND_CT_TO_DELETE_STRUCT* list, uint32_t* count,
                      FSA_PARTITION_CACHE_ELEMENT* element, uint32_t capacity)
{
    const uint8_t* e = element->bytes;
    const uint32_t number = faGetLe16(e + PART_FIRST_CONTAINER);
    const uint32_t owner = faGetLe32(e + PART_OWNER_WORD);
    const uint32_t type = faGetLe32(e + PART_FIRST_OWNER);
    FIND_CT_TO_DELETE_STRUCT* entry = nullptr;
    for (uint32_t i = 0; i < *count && entry == nullptr; ++i)
        if (list[i].words[FIND_NUMBER] == number && list[i].words[FIND_OWNER] == owner)
            entry = &list[i];
    if (entry == nullptr) {
        if (*count >= capacity)
            throw kListTooSmall;
        entry = &list[(*count)++];
        std::memset(entry, 0, sizeof *entry);
        uint32_t* w = entry->words;
        // Members the container has lost already count as if on the drives.
        const uint32_t lost = faGetLe32(e + PART_LOST_MEMBERS);
        const uint32_t own = faGetLe16(e + PART_MEMBER_INDEX);
        for (uint32_t bit = 0; bit < 32; ++bit) {
            if ((lost & (1u << bit)) != 0 && bit != own) {
                ++w[FIND_HITS];
                w[FIND_LOST_MEMBER] = 1;
            }
        }
        if ((faGetLe32(e + PART_STATE_FLAGS) & kMemberMissing) != 0 && w[FIND_HITS] == 0) {
            if (isParity(type) || (isMirrored(type) && (lost & 1) != 0))
                ++w[FIND_HITS];
            w[FIND_LOST_MEMBER] = 1;
        }
    }
    uint32_t* w = entry->words;
    w[FIND_SURVIVES] = faGetLe32(e + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER;
    w[FIND_NUMBER] = number;
    w[FIND_UID] = uidFromPartition(ctx, element, 0);
    w[FIND_OWNER] = owner;
    w[FIND_TYPE] = type;
    ++w[FIND_HITS];
    if (faGetLe32(e + PART_SECOND_OWNER) != 0) {
        w[FIND_SECOND] = faGetLe16(e + PART_SECOND_CONTAINER);
        w[FIND_SECOND + 1] = uidFromPartition(ctx, element, 1);
        w[FIND_SECOND + 2] = owner;
        w[FIND_SECOND + 3] = 1;
    }
    if (e[PART_RELATED] != e[PART_MORPH_DESTINATION]) {
        w[FIND_RELATED] = e[PART_RELATED];
        w[FIND_RELATED + 1] = uidFromPartition(ctx, element, 2);
        w[FIND_RELATED + 2] = owner;
        w[FIND_RELATED + 3] = 1;
    }
    if (e[PART_PAIR_A] != e[PART_PAIR_B]) {
        w[FIND_PAIR_B] = e[PART_PAIR_B];
        CTGetUid(ctx, e[PART_PAIR_B], &w[FIND_PAIR_B + 1]);
        w[FIND_PAIR_B + 2] = owner;
        w[FIND_PAIR_B + 3] = 1;
        w[FIND_PAIR_A] = e[PART_PAIR_A];
        CTGetUid(ctx, e[PART_PAIR_A], &w[FIND_PAIR_A + 1]);
        w[FIND_PAIR_A + 2] = owner;
        w[FIND_PAIR_A + 3] = 1;
        const uint32_t self = w[FIND_SECOND + 3] != 0 ? w[FIND_SECOND] : number;
        w[FIND_IN_PAIR_B] = e[PART_SLOT_B] == self ? 1 : 0;
    }
}

void CT_CheckForHigherUpContainers(FSAAPI_CONTEXT*, FIND_CT_TO_DELETE_STRUCT* entry)
{
    uint32_t* w = entry->words;
    auto take = [w](unsigned at) {
        w[FIND_NUMBER] = w[at];
        w[FIND_UID] = w[at + 1];
    };
    if (w[FIND_SECOND + 3] != 0)
        take(FIND_SECOND);
    if (w[FIND_RELATED + 3] != 0)
        take(FIND_RELATED);
    if (w[FIND_PAIR_B + 3] != 0 || w[FIND_PAIR_A + 3] != 0)
        take(w[FIND_IN_PAIR_B] != 0 ? FIND_PAIR_B : FIND_PAIR_A);
}

void CT_FindContainersToDeleteByDisk(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE* drives, uint32_t n,
                                     tag_FSA_CONTAINER* dead, uint32_t* deadCount, uint32_t deadSize,
                                     tag_FSA_CONTAINER* affected, uint32_t* affectedCount, uint32_t affectedSize)
{
    CT_UpdateCache(ctx);
    FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
    *deadCount = 0;
    *affectedCount = 0;
    if (deadSize != 0)
        std::memset(dead, 0, deadSize);
    if (affectedSize != 0)
        std::memset(affected, 0, affectedSize);
    if (n == 0)
        return;

    const size_t capacity = static_cast<size_t>(n) * FIND_ENTRIES_PER_DRIVE;
    std::unique_ptr<FIND_CT_TO_DELETE_STRUCT[], FreeDeleter> work(
        static_cast<FIND_CT_TO_DELETE_STRUCT*>(std::calloc(capacity, sizeof(FIND_CT_TO_DELETE_STRUCT))));
    if (work == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    std::vector<uint32_t> handles;
    std::vector<Element> elements;
    try {
        handles.reserve(n);
        for (uint32_t d = 0; d < n; ++d)
            handles.push_back(static_cast<uint32_t>(SCSI_GetInternalID(ctx, &drives[d])));
        // The unique-id reads below may refresh the cache; the search keeps
        // to the elements as they were when it began.
        const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
        if (cache->elements != nullptr)
            elements.assign(cache->elements, cache->elements + cache->count);
    } catch (const std::bad_alloc&) {
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    }

    // A count never passes what the work area holds, which fits 32 bits for
    // every n whose work area could be allocated.
    const uint32_t limit = static_cast<uint32_t>(capacity < 0xFFFFFFFFu ? capacity : 0xFFFFFFFFu);
    uint32_t count = 0;
    for (Element& el : elements) {
        const uint32_t kind = faGetLe32(el.bytes + PCE_KIND);
        if (kind == PCE_FREE || kind == PCE_FOREIGN_FREE)
            continue;
        const uint32_t location = faGetLe32(el.bytes + PART_LOCATION);
        bool onDrives = false;
        for (uint32_t h : handles)
            onDrives = onDrives || (h != kNoHandle && h == location);
        if (!onDrives || faGetLe32(el.bytes + PART_OWNER_WORD) != drives[0].adapterSerial)
            continue;
        if (CT_IsConflictingPartition(ctx, &el))
            continue;
        CT_AddToFindList(ctx, work.get(), &count, &el, limit);
    }

    for (uint32_t i = 0; i < count; ++i)
        if (!survives(work[i]))
            work[i].words[FIND_SURVIVES] = 0;
    for (uint32_t i = 0; i < count; ++i)
        CT_CheckForHigherUpContainers(ctx, &work[i]);
    // A container met through several of its levels is listed once; it dies
    // when any of them does.
    for (uint32_t i = 0; i < count; ++i) {
        if (work[i].words[FIND_DONE] != 0)
            continue;
        for (uint32_t j = i + 1; j < count; ++j) {
            if (work[j].words[FIND_NUMBER] != work[i].words[FIND_NUMBER] ||
                work[j].words[FIND_OWNER] != work[i].words[FIND_OWNER])
                continue;
            work[j].words[FIND_DONE] = 1;
            if (work[j].words[FIND_SURVIVES] == 0)
                work[i].words[FIND_SURVIVES] = 0;
        }
    }

    // Both lists are checked before either is written: a caller never sees
    // part of an answer.
    uint32_t deadNeeded = 0;
    uint32_t affectedNeeded = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (work[i].words[FIND_DONE] != 0)
            continue;
        if (work[i].words[FIND_SURVIVES] == 0)
            ++deadNeeded;
        else
            ++affectedNeeded;
    }
    if (deadNeeded > deadSize / sizeof(tag_FSA_CONTAINER) ||
        affectedNeeded > affectedSize / sizeof(tag_FSA_CONTAINER))
        throw kListTooSmall;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t* w = work[i].words;
        if (w[FIND_DONE] != 0)
            continue;
        tag_FSA_CONTAINER& out = w[FIND_SURVIVES] == 0 ? dead[(*deadCount)++] : affected[(*affectedCount)++];
        out = tag_FSA_CONTAINER{w[FIND_NUMBER], w[FIND_UID], w[FIND_OWNER]};
        w[FIND_DONE] = 1;
    }
}

int CTGetUid(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* uid)
{
    *uid = 0;
    if (CT_GetContainerSerialNumber(ctx->apiHandle, container, uid) == FSA_STS_SUCCESS)
        return 1;
    *uid = 0;
    CT_UpdateCache(ctx);
    FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    for (uint32_t i = 0; i < cache->count; ++i) {
        const Element* el = &cache->elements[i];
        const uint8_t* e = el->bytes;
        if (faGetLe32(e + PART_OWNER_WORD) != ctx->adapterIdentityWord)
            continue;
        const uint32_t first = faGetLe16(e + PART_FIRST_CONTAINER);
        unsigned owner = 0;
        if (faGetLe32(e + PART_FIRST_OWNER) != 0 && first == container)
            owner = 0;
        else if (e[PART_RELATED] == container && e[PART_RELATED] != e[PART_MORPH_DESTINATION])
            owner = 2;
        else if (e[PART_SLOT_A] != e[PART_SLOT_B] &&
                 ((e[PART_PAIR_B] == container && e[PART_SLOT_B] == first) ||
                  (e[PART_PAIR_A] == container && e[PART_SLOT_A] == first)))
            owner = 2;
        else
            continue;
        Partition record;
        std::memcpy(record.bytes, e, sizeof record.bytes);
        if (CT_GetContainerUIDFromPartition(ctx, &record, uid, owner) == FSA_STS_SUCCESS)
            return 1;
        *uid = 0;
        return 0;
    }
    return 0;
}
