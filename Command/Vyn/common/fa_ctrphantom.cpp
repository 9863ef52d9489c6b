// Phantom containers and the unique ids recorded in partitions: container
// information put together from the partitions the partition cache still
// knows, for a container the controller no longer reports because member
// drives are missing.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

typedef FSA_PARTITION_CACHE_ELEMENT Element;

constexpr FSA_STATUS kBufferTooSmall = 5;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint64_t kBlock = 512;

// Partition fields read here besides those fa_intern_ctr.h names.
enum : unsigned {
    P_SNAP_A = 54,           // u8, snapshot pair
    P_SNAP_B = 55,           // u8
    P_FIRST_COUNT = 56,      // u16, members of the first owner
    P_SLOT_A = 58,           // u8, slot container numbers of the snapshot pair
    P_SLOT_B = 59,           // u8
    P_MEMBER_INDEX = 60,     // u16, place in the first owner
    P_SECOND_COUNT = 76,     // u16, members of the second owner (0: no second pair)
    P_SNAP_STRIPE = 78,      // u8
    P_RELATED = 79,          // u8, reconfiguration bytes
    P_LEG_INDEX = 80,        // u16, the first owner's place in the second
    P_MORPH_SOURCE = 90,     // u8
    P_MORPH_DESTINATION = 91,// u8
    P_FIRST_STRIPE = 92,     // u32, blocks
    P_SECOND_STRIPE = 96,    // u32, blocks
    P_MIRROR_STATE = 100,    // u32
    P_FIRST_PARTNER = 104,   // u16
    P_FURTHER_2 = 106,       // u8
    P_SECOND_PARTNER = 108,  // u16
    P_SECOND_FLAG = 128,     // u32
    P_FURTHER_1 = 142,       // u8
    P_FURTHER_3 = 143,       // u8
    P_PPI_UID = 164,         // u32, unique id the PPI table lists the members under
    P_OWNER_NEXT = 36,       // u32, the word after the owner word
    P_DESCRIPTION = 424,     // 152 bytes, the container description
};

// Container types of the library (FSA_CONTAINER_TYPE) met here.
enum : uint32_t {
    kMirror = 1,
    kStripe = 2,
    kVolume = 3,
    kRaid5 = 4,
    kSnapshotRw = 5,
    kSnapshotRo = 6,
    kReconfiguring = 16,
    kUnknownType = 22,
    kRaid5EE = 34,
    kRaid1E = 40,
    kRaid6 = 45,
};
constexpr uint32_t kUsagePhantom = 3;
constexpr uint8_t kReconfigurationMarker = 63;
constexpr size_t kNestedRecordBytes = 4136;

uint8_t u8(const Element& e, unsigned at) { return e.bytes[at]; }
uint16_t u16(const Element& e, unsigned at) { return faGetLe16(e.bytes + at); }
uint32_t u32(const Element& e, unsigned at) { return faGetLe32(e.bytes + at); }
uint64_t u64(const Element& e, unsigned at) { return faGetLe64(e.bytes + at); }
uint32_t kindOf(const Element& e) { return u32(e, PCE_KIND); }
bool isFree(const Element& e) { return kindOf(e) == PCE_FREE || kindOf(e) == PCE_FOREIGN_FREE; }
uint32_t firstNumber(const Element& e) { return u16(e, PART_FIRST_CONTAINER); }
uint32_t secondNumber(const Element& e) { return u16(e, PART_SECOND_CONTAINER); }
// Not placed on a slice, and not an owner whose location still names one.
bool unplaced(const Element& e)
{
    return u64(e, PART_START_64) == 0 && u32(e, PART_FIRST_OWNER) != PART_OWNER_UNPLACED;
}

Partition recordOf(const Element& e)
{
    Partition p;
    std::memcpy(p.bytes, e.bytes, sizeof p.bytes);
    return p;
}

// A partition owner's type code is the firmware's own container type, the
// code its container record reports (1 volume, 2 mirror, 3 stripe, 4 RAID-5,
// 15 RAID-5EE, 17 RAID-1E, 18 RAID-6): the simulator writes those codes and
// the diagnostic dump shows them as such. This map turns them into the
// library's container types; it leaves pass-through and every other code
// unknown.
uint32_t ownerContainerType(uint32_t code)
{
    switch (code) {
    case 1: return kVolume;
    case 2: return kMirror;
    case 3: return kStripe;
    case 4: return kRaid5;
    case 15: return kRaid5EE;
    case 17: return kRaid1E;
    case 18: return kRaid6;
    default: return kUnknownType;
    }
}

uint32_t mirrorState(uint32_t code)
{
    switch (code) {
    case 1: return 4;
    case 2: return 1;
    case 3: return 3;
    case 4: return 2;
    default: return 0;
    }
}

// The base type of a second-level container over first-level containers.
uint32_t secondLevelBaseType(uint32_t type, uint32_t firstLevel)
{
    if (type == kStripe) {
        switch (firstLevel) {
        case kStripe: return 14;
        case kMirror: return 13;
        case kRaid5: return 26;
        case kRaid6: return 50;
        default: return kUnknownType;
        }
    }
    if (type == kVolume) {
        switch (firstLevel) {
        case kMirror: return 15;
        case kStripe: return 17;
        case kVolume: return 20;
        case kRaid5: return 19;
        case kRaid5EE: return 39;
        case kRaid1E: return 44;
        case kRaid6: return 49;
        default: return kUnknownType;
        }
    }
    return kUnknownType;
}

bool matchesPartition(const Element& e, const Partition& p, bool bySlice)
{
    const uint8_t* q = p.bytes;
    if (bySlice) {
        if (u32(e, PART_SLICE) != faGetLe32(q + PART_SLICE))
            return false;
    } else if (u8(e, P_SNAP_A) != q[P_SNAP_A] || u8(e, P_SNAP_B) != q[P_SNAP_B] || u8(e, P_SLOT_A) != q[P_SLOT_A] ||
               u8(e, P_SLOT_B) != q[P_SLOT_B]) {
        return false;
    }
    return u32(e, PART_OWNER_WORD) == faGetLe32(q + PART_OWNER_WORD) &&
           u32(e, P_OWNER_NEXT) == faGetLe32(q + P_OWNER_NEXT);
}

// The four passes of the unique-id search over the cache; true on a hit.
bool findUid(FSAAPI_CONTEXT* ctx, const std::vector<Element>& elements, uint32_t container, const Partition& p,
             uint32_t* uid, bool bySlice)
{
    auto ask = [&](const Element& e, unsigned mode) {
        const Partition record = recordOf(e);
        CT_GetContainerUIDFromPartition(ctx, &record, uid, mode);
        return true;
    };
    for (const Element& e : elements)
        if (matchesPartition(e, p, bySlice) && u32(e, PART_FIRST_OWNER) != 0 && firstNumber(e) == container)
            return ask(e, 0);
    for (const Element& e : elements)
        if (matchesPartition(e, p, bySlice) && u32(e, PART_SECOND_OWNER) != 0 && secondNumber(e) == container)
            return ask(e, 1);
    for (const Element& e : elements) {
        if (!matchesPartition(e, p, bySlice) || u32(e, PART_FIRST_OWNER) == 0)
            continue;
        const uint32_t a = u8(e, P_SNAP_A), b = u8(e, P_SNAP_B);
        if (a == b)
            continue;
        auto owns = [&](uint32_t slot) { return slot == firstNumber(e) || slot == secondNumber(e); };
        if ((a == container && owns(u8(e, P_SLOT_A))) || (b == container && owns(u8(e, P_SLOT_B))))
            return ask(e, 2);
    }
    for (const Element& e : elements)
        if (matchesPartition(e, p, bySlice) && u32(e, PART_FIRST_OWNER) != 0 && u8(e, P_RELATED) == container &&
            u8(e, P_MORPH_SOURCE) != u8(e, P_MORPH_DESTINATION))
            return ask(e, 2);
    return false;
}

// The elements of the context's partition cache, copied while the caller
// holds the cache's mutex: the lookups below take it again and may refresh.
std::vector<Element> cachedElements(FSAAPI_CONTEXT* ctx)
{
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr || cache->elements == nullptr)
        return {};
    return std::vector<Element>(cache->elements, cache->elements + cache->count);
}

// One build of a phantom record into `out` of `size` bytes.
class PhantomBuilder {
public:
    PhantomBuilder(FSAAPI_CONTEXT* ctx, uint32_t container, uint8_t* out, uint32_t size, bool nested)
        : ctx_(ctx), container_(container), out_(out), size_(size), nested_(nested),
          capacity_((size + 28 - FSA_CONTAINER_INFO_MIN) / sizeof(FSA_PARTITION))
    {
    }

    int build();

private:
    // Member element i when its 28 bytes lie inside the record, else null:
    // the member indexes come from the partitions and are not trusted.
    uint8_t* member(uint32_t i) const
    {
        if (i >= capacity_ || CI_MEMBERS + (static_cast<size_t>(i) + 1) * sizeof(FSA_PARTITION) > size_)
            return nullptr;
        return out_ + CI_MEMBERS + static_cast<size_t>(i) * sizeof(FSA_PARTITION);
    }
    void setMemberCount(uint32_t n)
    {
        if (n > capacity_)
            throw kBufferTooSmall;
        memberCount_ = n;
        faPutLe32(out_ + CI_MEMBER_COUNT, n);
    }
    void put32(size_t at, uint32_t v) { faPutLe32(out_ + at, v); }
    uint32_t get32(size_t at) const { return faGetLe32(out_ + at); }
    void putTriple(size_t at, const tag_FSA_CONTAINER& id)
    {
        put32(at, id.number);
        put32(at + 4, id.uniqueId);
        put32(at + 8, id.adapterWord);
    }
    void addSize(uint64_t bytes) { faPutLe64(out_ + CI_SIZE, faGetLe64(out_ + CI_SIZE) + bytes); }
    uint32_t uidFrom(const Element& e, unsigned mode)
    {
        const Partition p = recordOf(e);
        uint32_t uid = 0;
        CT_GetContainerUIDFromPartition(ctx_, &p, &uid, mode);
        return uid;
    }
    tag_FSA_CONTAINER standardId(uint32_t number)
    {
        tag_FSA_CONTAINER id;
        CT_GetStandardID(ctx_, &id, number);
        return id;
    }
    // The identifier of a number with the unique id its partitions record.
    tag_FSA_CONTAINER recordedId(uint32_t number, const Element& e)
    {
        tag_FSA_CONTAINER id = standardId(number);
        const Partition p = recordOf(e);
        CT_FindUidForCtrWithPartition(ctx_, number, &p, &id.uniqueId, 1);
        return id;
    }
    tag_FSA_CONTAINER triple(uint32_t number, uint32_t uid) { return {number, uid, ctx_->adapterIdentityWord}; }
    // The container's own identifier in the first three words, once.
    void identify(uint32_t uid, bool withUid)
    {
        if (identified_)
            return;
        tag_FSA_CONTAINER id = standardId(container_);
        if (withUid)
            id.uniqueId = uid;
        putTriple(CI_NUMBER, id);
        identified_ = true;
    }
    void describe(const Element& e)
    {
        std::memcpy(out_ + CI_DESCRIPTION, e.bytes + P_DESCRIPTION, CI_DESCRIPTION_BYTES);
    }
    void moveCreation(const Element& e)
    {
        const Partition p = recordOf(e);
        CT_MoveCreationInfo2(&p, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(out_));
    }
    void snapshotRelation(const Element& e)
    {
        if (u16(e, P_SECOND_COUNT) != 0)
            putTriple(CI_SNAPSHOT_RELATION, standardId(secondNumber(e)));
        else if (u8(e, P_SNAP_A) != 0 || u8(e, P_SNAP_B) != 0)
            putTriple(CI_SNAPSHOT_RELATION,
                      standardId(u8(e, P_SLOT_B) == container_ ? u8(e, P_SNAP_B) : u8(e, P_SNAP_A)));
    }
    // The mirror state and, in states 2 and 3, the container paired with it.
    void mirror(const Element& e, unsigned partnerAt, uint32_t owner)
    {
        const uint32_t state = mirrorState(u32(e, P_MIRROR_STATE));
        put32(CI_MIRROR_STATE, state);
        if (state != 2 && state != 3)
            return;
        const uint32_t partner = u16(e, partnerAt);
        const bool self = partner == container_;
        put32(CI_MIRROR_FLAG, self ? 1 : 0);
        putTriple(CI_MIRROR_PARTNER, recordedId(self ? owner : partner, e));
    }

    void choose(const std::vector<Element>& elements);
    void fill(const std::vector<Element>& elements);
    void reconfigurationBytes(const Element& e);
    void snapshotPartition(const Element& e);
    void firstOwnerPartition(const Element& e);
    void secondOwnerPartition(const Element& e);
    void finishReconfigurationTarget();
    void markMissingMembers();
    void correctSize();
    bool checkLiveConfiguration(const std::vector<Element>& elements);

    FSAAPI_CONTEXT* ctx_;
    uint32_t container_;
    uint8_t* out_;
    uint32_t size_;
    bool nested_;
    uint32_t capacity_;

    uint32_t memberCount_ = 0;
    uint32_t workingType_ = kUnknownType;
    int role_ = 0;  // 0 none, 1 first owner, 2 second owner, 3 snapshot or reconfiguration target
    bool reconfigurationTarget_ = false;
    bool identified_ = false;
    // The chosen creation: partition bytes 4-19 and the configuration age.
    bool chosen_ = false;
    uint8_t creation_[16] = {};
    uint32_t age_ = 0;
    uint64_t memberLength_ = 0;
    uint32_t ppiUid_ = 0;
    uint32_t primaryIndex_ = 0;
    uint32_t secondaryIndex_ = 0;
    uint32_t runningSecondary_ = 0;
};

void PhantomBuilder::choose(const std::vector<Element>& elements)
{
    for (const Element& e : elements) {
        if (CT_IsConflictingPartition(ctx_, &e) || isFree(e) || !LOCAL_ATTACHED(&e))
            continue;
        if (unplaced(e))
            break;
        const uint32_t a = u8(e, P_SNAP_A), b = u8(e, P_SNAP_B);
        bool names = ((a != 0 || b != 0) && (a == container_ || b == container_)) ||
                     (u16(e, P_FIRST_PARTNER) != 0 && u16(e, P_FIRST_PARTNER) == container_) ||
                     (u16(e, P_SECOND_PARTNER) != 0 && u16(e, P_SECOND_PARTNER) == container_) ||
                     firstNumber(e) == container_ || (secondNumber(e) == container_ && u16(e, P_SECOND_COUNT) != 0);
        const uint32_t destination = u8(e, P_MORPH_DESTINATION);
        if (u8(e, P_RELATED) == container_ && destination != container_ &&
            ((destination == firstNumber(e) && u32(e, PART_FIRST_OWNER) != 0) ||
             (destination == secondNumber(e) && u32(e, PART_SECOND_OWNER) != 0))) {
            role_ = 3;
            reconfigurationTarget_ = true;
            names = true;
            identify(0, false);
            put32(CI_HANDLE, uidFrom(e, 2));
        }
        if (!names)
            continue;
        const uint32_t date = faGetLe32(creation_ + 4);
        bool take = !chosen_ || date == 0;
        if (!take && u32(e, PART_AGE) == age_ && u32(e, PART_CREATOR_1) == faGetLe32(creation_ + 8) &&
            u32(e, PART_CREATOR_2) == faGetLe32(creation_ + 12))
            continue;
        if (!take) {
            const uint8_t year = u8(e, PART_CREATION_YEAR), chosenYear = creation_[3];
            take = year > chosenYear || (year == chosenYear && u32(e, PART_CREATION_DATE) > date);
        }
        if (take) {
            std::memcpy(creation_, e.bytes + PART_CREATION, sizeof creation_);
            age_ = u32(e, PART_AGE);
            chosen_ = true;
        }
    }
}

void PhantomBuilder::reconfigurationBytes(const Element& e)
{
    const uint32_t related = u8(e, P_RELATED), further1 = u8(e, P_FURTHER_1), destination = u8(e, P_MORPH_DESTINATION),
                   further2 = u8(e, P_FURTHER_2), source = u8(e, P_MORPH_SOURCE), further3 = u8(e, P_FURTHER_3);
    const uint32_t bytes[6] = {related, further1, destination, further2, source, further3};
    if (std::none_of(bytes, bytes + 6, [](uint32_t b) { return b != 0; }) ||
        std::none_of(bytes, bytes + 6, [this](uint32_t b) { return b == container_; }))
        return;
    // A later match overwrites the relation of an earlier one.
    auto relate = [this](uint32_t number, uint32_t relation) {
        if (number == container_)
            put32(CI_TASK_RELATION, relation);
    };
    if (further1 != 0) {
        putTriple(CI_FURTHER_1, triple(further1, uidFrom(e, 0)));
        relate(further1, 4);
    }
    if (destination != 0) {
        putTriple(CI_MORPH_DESTINATION, triple(destination, uidFrom(e, 0)));
        putTriple(CI_RELATED, triple(related, uidFrom(e, 0)));
        relate(destination, 3);
    }
    if (further2 != 0) {
        putTriple(CI_FURTHER_2, triple(further2, uidFrom(e, 0)));
        relate(further2, 7);
    }
    if (related != source) {
        putTriple(CI_RELATED, triple(related, uidFrom(e, 2)));
        relate(related, 1);
    }
    if (source != 0) {
        putTriple(CI_MORPH_SOURCE, triple(source, uidFrom(e, 0)));
        relate(source, 2);
    }
    if (further3 != 0) {
        putTriple(CI_FURTHER_3, triple(further3, uidFrom(e, 0)));
        relate(further3, 5);
    }
}

void PhantomBuilder::snapshotPartition(const Element& e)
{
    describe(e);
    role_ = 3;
    setMemberCount(1);
    addSize(u64(e, PART_LENGTH_64) * kBlock);
    put32(CI_STRIPE, u8(e, P_SNAP_STRIPE));
    memberLength_ = u64(e, PART_LENGTH_64);
    moveCreation(e);
    workingType_ = ownerContainerType(u32(e, PART_SECOND_OWNER));
    const bool readOnly = u8(e, P_SNAP_B) == container_;
    put32(CI_FLAG_B, readOnly ? 1 : 0);
    put32(CI_TYPE, readOnly ? kSnapshotRo : kSnapshotRw);
    const tag_FSA_CONTAINER original = recordedId(readOnly ? u8(e, P_SNAP_A) : u8(e, P_SNAP_B), e);
    putTriple(CI_SNAPSHOT_ORIGINAL, original);
    const uint32_t firstSlot = readOnly ? u8(e, P_SLOT_B) : u8(e, P_SLOT_A);
    const uint32_t secondSlot = readOnly ? u8(e, P_SLOT_A) : u8(e, P_SLOT_B);
    if (uint8_t* m = member(0)) {
        const tag_FSA_CONTAINER id = recordedId(firstSlot, e);
        std::memcpy(m, &id, sizeof id);
    }
    // The second slot's element lies beyond the member count of one; it is
    // written only where the record has room for it.
    if (uint8_t* m = member(1)) {
        const tag_FSA_CONTAINER id = recordedId(secondSlot, e);
        std::memcpy(m, &id, sizeof id);
    }
}

void PhantomBuilder::firstOwnerPartition(const Element& e)
{
    if (role_ == 0)
        role_ = 1;
    if (!identified_)
        identify(uidFrom(e, 0), true);
    describe(e);
    put32(CI_TYPE, ownerContainerType(u32(e, PART_FIRST_OWNER)));
    put32(CI_FLAG_B, u32(e, P_SECOND_FLAG) != 0 ? 1 : 0);
    put32(CI_LAYOUT, 1);
    addSize(u64(e, PART_LENGTH_64) * kBlock);
    memberLength_ = u64(e, PART_LENGTH_64);
    moveCreation(e);
    put32(CI_STRIPE, static_cast<uint32_t>(u32(e, P_FIRST_STRIPE) * kBlock));
    if (get32(CI_TYPE) == kMirror)
        mirror(e, P_FIRST_PARTNER, firstNumber(e));
    if (memberCount_ == 0)
        setMemberCount(u16(e, P_FIRST_COUNT));
    if (uint8_t* m = member(u16(e, P_MEMBER_INDEX))) {
        FSA_STORAGE_DEVICE device = {};
        SCSI_GetStandardID(ctx_, &device, u32(e, PART_LOCATION));
        faPutLe32(m + 0, device.storageDeviceType);
        m[4] = device.busNumber;
        m[5] = device.targetId;
        m[6] = device.lun;
        m[7] = 0;
        faPutLe32(m + 8, device.adapterSerial);
        faPutLe64(m + FSA_PARTITION_OFFSET, u64(e, PART_START_64) * kBlock);
        faPutLe64(m + FSA_PARTITION_LENGTH, u64(e, PART_LENGTH_64) * kBlock);
    }
    ppiUid_ = u32(e, P_PPI_UID);
    primaryIndex_ = u16(e, P_MEMBER_INDEX);
    secondaryIndex_ = u16(e, P_LEG_INDEX);
    snapshotRelation(e);
}

void PhantomBuilder::secondOwnerPartition(const Element& e)
{
    if (role_ == 0)
        role_ = 2;
    if (!identified_)
        identify(uidFrom(e, 1), true);
    describe(e);
    const uint32_t type = ownerContainerType(u32(e, PART_SECOND_OWNER));
    const uint32_t firstLevel = ownerContainerType(u32(e, PART_FIRST_OWNER));
    put32(CI_TYPE, type);
    put32(CI_BASE_TYPE, secondLevelBaseType(type, firstLevel));
    put32(CI_FLAG_B, u32(e, P_SECOND_FLAG) != 0 ? 1 : 0);
    put32(CI_LAYOUT, 0);
    const uint64_t length = u64(e, PART_LENGTH_64);
    memberLength_ = length;
    moveCreation(e);
    put32(CI_STRIPE, static_cast<uint32_t>(u32(e, P_SECOND_STRIPE) * kBlock));
    if (firstLevel == kMirror)
        mirror(e, P_SECOND_PARTNER, secondNumber(e));
    if (memberCount_ == 0)
        setMemberCount(u16(e, P_SECOND_COUNT));
    if (uint8_t* m = member(u16(e, P_LEG_INDEX))) {
        const tag_FSA_CONTAINER id = recordedId(firstNumber(e), e);
        std::memcpy(m, &id, sizeof id);
    }
    snapshotRelation(e);
    // Each first-level member adds its data once, in member order.
    const uint8_t* running = member(runningSecondary_);
    if (type != kStripe || running == nullptr || faGetLe32(running) != firstNumber(e))
        return;
    const uint32_t legMembers = u16(e, P_FIRST_COUNT);
    if (firstLevel == kRaid5)
        addSize((legMembers > 0 ? legMembers - 1 : 0) * length * kBlock);
    else if (firstLevel == kMirror)
        addSize(length * kBlock);
    else if (firstLevel == kRaid6) {
        uint64_t blocks = 0;
        const FSA_STATUS sized = CT_GetRaid6Size(ctx_->apiHandle, legMembers, length * kBlock, &blocks);
        if (sized != FSA_STS_SUCCESS)
            throw sized;
        addSize(blocks * kBlock);
    }
    ++runningSecondary_;
}

void PhantomBuilder::fill(const std::vector<Element>& elements)
{
    for (const Element& e : elements) {
        if (isFree(e) || !LOCAL_ATTACHED(&e) || unplaced(e))
            continue;
        if (u32(e, PART_CREATOR_1) != faGetLe32(creation_ + 8) || u32(e, PART_CREATOR_2) != faGetLe32(creation_ + 12))
            continue;
        reconfigurationBytes(e);
        const uint32_t a = u8(e, P_SNAP_A), b = u8(e, P_SNAP_B);
        if ((a != 0 || b != 0) && (a == container_ || b == container_))
            snapshotPartition(e);
        if (firstNumber(e) == container_) {
            if (u16(e, P_FIRST_COUNT) == 0)
                continue;
            firstOwnerPartition(e);
        }
        if (secondNumber(e) == container_ && u16(e, P_SECOND_COUNT) != 0)
            secondOwnerPartition(e);
    }
}

void PhantomBuilder::finishReconfigurationTarget()
{
    put32(CI_TYPE, kReconfiguring);
    put32(CI_BASE_TYPE, kReconfiguring);
    put32(CI_MIRROR_STATE, 0);
    put32(CI_USAGE, kUsagePhantom);
    put32(CI_FLAG_A, 1);
    put32(CI_FLAG_B, 0);
    out_[CI_WORD_56] = kReconfigurationMarker;
    put32(CI_LAYOUT, 0);
    put32(CI_SNAPSHOT_RELATION, kNone);
    put32(CI_TASK_RELATION, 1);
    role_ = 3;
    std::unique_ptr<uint8_t[]> destination(new (std::nothrow) uint8_t[kNestedRecordBytes]());
    if (!destination)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    // The destination is built one level deep only: two reconfigurations
    // that name each other would otherwise build each other without end.
    const uint32_t target = get32(CI_MORPH_DESTINATION);
    if (target != container_ && !nested_) {
        PhantomBuilder inner(ctx_, target, destination.get(), kNestedRecordBytes, true);
        if (inner.build() != 0)
            faPutLe64(out_ + CI_SIZE, faGetLe64(destination.get() + CI_SIZE));
    }
    destination.reset();
    for (size_t at : {CI_FURTHER_1, CI_MORPH_DESTINATION, CI_RELATED, CI_MORPH_SOURCE, CI_FURTHER_3, CI_FURTHER_2}) {
        if (get32(at) == kNone)
            continue;
        const uint32_t i = memberCount_;
        setMemberCount(i + 1);
        if (uint8_t* m = member(i))
            std::memcpy(m, out_ + at, sizeof(tag_FSA_CONTAINER));
    }
}

void PhantomBuilder::markMissingMembers()
{
    // One cookie per member up to the controller's member limit; members
    // beyond the limit get none.
    const uint32_t limit = std::min(faGetLe32(ctx_->generalInfo.bytes + GI_MAX_LD_MEMBERS), memberCount_);
    std::vector<uint16_t> cookies;
    try {
        cookies.assign(limit, 0xFFFF);
    } catch (const std::bad_alloc&) {
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    }
    const auto* ppi = static_cast<const FSA_PPI_ENTRY*>(ctx_->ppiTable);
    const bool ppiLoaded = ctx_->ppiValid != 0 && ppi != nullptr;
    if (role_ == 1 && ppiLoaded) {
        uint64_t offset = 0;
        for (uint32_t j = 0; j < ctx_->ppiCount; ++j)
            if (faGetLe32(ppi[j].bytes + 4) == ppiUid_) {
                CT_DebugText("FOUND CONTAINER\n");
                CT_DebugText("parPrimaryOffset: %d\n", static_cast<int>(primaryIndex_));
                CT_DebugText("parSecondaryOffset: %d\n", static_cast<int>(secondaryIndex_));
                CT_DebugText("pCI->numberOfElements: %d\n", static_cast<int>(memberCount_));
                offset = static_cast<uint64_t>(memberCount_) * secondaryIndex_ + 1;
                CT_DebugText("arrayPuidOffset: %d\n", static_cast<int>(offset));
                break;
            }
        // Members past the cookie array or past the table get no cookie.
        for (uint32_t i = 0; i < memberCount_ && i < limit; ++i) {
            if (i + offset >= ctx_->ppiCount)
                break;
            cookies[i] = static_cast<uint16_t>(faGetLe32(ppi[i + offset].bytes + PPI_HANDLE));
            CT_DebugText("count: %d\n", static_cast<int>(i));
            CT_DebugText("arrayPuidOffset+count: %d\n", static_cast<int>(i + offset));
            CT_DebugText("devCookie: %x\n", static_cast<unsigned>(cookies[i]));
            CT_DebugText("uid: %x\n", faGetLe32(ppi[i + offset].bytes + 4));
        }
    }
    const uint32_t type = get32(CI_TYPE);
    for (uint32_t i = 0; i < memberCount_; ++i) {
        uint8_t* m = member(i);
        if (m == nullptr)
            break;
        if (role_ == 1) {
            CT_DebugText("FOUND CONTAINER\n");
            if (faGetLe64(m + FSA_PARTITION_OFFSET) != 0)
                continue;
            faPutLe32(m + 0, 1);
            faPutLe64(m + FSA_PARTITION_OFFSET, 0);
            faPutLe64(m + FSA_PARTITION_LENGTH, 0);
            m[4] = m[5] = m[6] = 0xFF;
            CT_DebugText("CT_GetPhantomContainer2: init BTL to 0xff\n");
            if (ppiLoaded && i < limit && cookies[i] < 0xFFFF) {
                m[4] = static_cast<uint8_t>(FsaApiGetBusFromDeviceHandle(ctx_, cookies[i]));
                m[5] = static_cast<uint8_t>(FsaApiGetTargetFromDeviceHandle(ctx_, cookies[i]));
                m[6] = static_cast<uint8_t>(FsaApiGetLunFromDeviceHandle(ctx_, cookies[i]));
            }
            CT_DebugText("CT_GetPhantomContainer2: Missing Drive %hhd:%hhd:%hhd\n", m[4], m[5], m[6]);
            if (type == kMirror || type == kStripe || type == kRaid5 || type == kRaid5EE || type == kRaid1E)
                faPutLe64(m + FSA_PARTITION_LENGTH, memberLength_ * kBlock);
            if (type == kStripe || type == kRaid5)
                addSize(memberLength_ * kBlock);
        } else if (role_ == 2 && faGetLe32(m) == 0) {
            faPutLe32(m, kNone);
            if (type == kStripe || type == kRaid5)
                addSize(memberLength_ * kBlock);
        }
    }
}

void PhantomBuilder::correctSize()
{
    // A second-level container's size came from its first-level members
    // already; the corrections are for the members of one level.
    if (role_ == 2)
        return;
    const uint32_t type = get32(CI_TYPE);
    const uint64_t size = faGetLe64(out_ + CI_SIZE);
    const uint64_t member = memberLength_ * kBlock;
    if (type == kRaid5 || workingType_ == kRaid5)
        faPutLe64(out_ + CI_SIZE, size > member ? size - member : 0);
    else if (type == kMirror || workingType_ == kMirror)
        faPutLe64(out_ + CI_SIZE, member);
    if (type == kRaid6 || workingType_ == kRaid6) {
        uint64_t blocks = 0;
        CT_GetRaid6Size(ctx_->apiHandle, memberCount_, member, &blocks);
        faPutLe64(out_ + CI_SIZE, blocks * kBlock);
    }
}

bool PhantomBuilder::checkLiveConfiguration(const std::vector<Element>& elements)
{
    for (const Element& e : elements) {
        if (isFree(e) || unplaced(e))
            continue;
        if (role_ == 2 && secondNumber(e) != get32(CI_NUMBER)) {
            // A first-level member that now belongs to another container.
            for (uint32_t i = 0; i < memberCount_; ++i) {
                uint8_t* m = member(i);
                if (m == nullptr)
                    break;
                if (faGetLe32(m) == firstNumber(e)) {
                    faPutLe32(m, kNone);
                    break;
                }
            }
        } else if (role_ == 1 && firstNumber(e) == get32(CI_SNAPSHOT_RELATION)) {
            return false;
        }
    }
    return true;
}

int PhantomBuilder::build()
{
    CT_UpdateCache(ctx_);
    const uint32_t walking = 0x1, refreshed = 0x2;
    if ((ctx_->walkWord & (walking | refreshed)) != (walking | refreshed)) {
        FSA_PPI_TABLE_HDRS headers = {};
        CT_GetPPITableHeaders(ctx_, &headers);
        if (headers.words[PPI_HDR_AGE] != ctx_->ppiHeaders[PPI_HDR_AGE] && ctx_->ppiValid != 0)
            CT_GetPPITable(ctx_);
        ctx_->walkWord |= refreshed;
    }

    FAUX_AUTORELEASE_MUTEX lock(ctx_->partitionCache->mutex);
    const std::vector<Element> elements = cachedElements(ctx_);
    std::memset(out_, 0, size_);
    put32(CI_NUMBER, container_);
    put32(CI_USAGE, kUsagePhantom);
    put32(CI_FLAG_A, 1);
    put32(CI_WORD_60, kNone);
    put32(CI_WRITE_CACHE, 1);
    for (size_t at : {CI_RELATED, CI_MORPH_SOURCE, CI_MORPH_DESTINATION, CI_FURTHER_1, CI_FURTHER_2, CI_FURTHER_3,
                      CI_MIRROR_PARTNER, CI_SNAPSHOT_RELATION, CI_SNAPSHOT_ORIGINAL})
        put32(at, kNone);

    choose(elements);
    fill(elements);
    if (role_ == 0) {
        put32(CI_NUMBER, kNone);
        return 0;
    }
    identify(0, false);
    if (reconfigurationTarget_)
        finishReconfigurationTarget();
    markMissingMembers();
    correctSize();
    if (!checkLiveConfiguration(elements)) {
        std::memset(out_, 0, size_);
        return 0;
    }
    return 1;
}

}  // namespace

void CT_FindUidForCtrWithPartition(FSAAPI_CONTEXT* ctx, uint32_t container, const Partition* partition,
                                   uint32_t* uid, int matchBySlice)
{
    *uid = 0;
    CT_UpdateCache(ctx);
    bool found = false;
    {
        FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
        found = findUid(ctx, cachedElements(ctx), container, *partition, uid, matchBySlice != 0);
    }
    if (!found && matchBySlice != 0)
        CT_FindUidForCtrWithPartition(ctx, container, partition, uid, 0);
}

int CT_GetPhantomContainer2(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_CONTAINER_INFO_EXTND* out,
                            uint32_t outSize)
{
    // The fixed part and one member, at least.
    if (outSize < FSA_CONTAINER_INFO_EXTND_MIN)
        throw kBufferTooSmall;
    return PhantomBuilder(ctx, container, out->bytes, outSize, false).build();
}
