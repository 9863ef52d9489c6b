// Container information from a logical device: either the firmware's record
// as CT 234 sends it (a device off line or faulted), or a node of the
// configuration model with its segments and children.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_ctrprep.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kTaskMorph = 3;
constexpr uint32_t kTypeMorphing = 16;
constexpr uint32_t kTypeUnknown = 22;
constexpr uint32_t kFaultStateFailed = 3;
constexpr uint32_t kUsageFailed = 3;
constexpr uint32_t kOpt2Attributes = 0x400;
constexpr uint32_t kOpt3Extension = 0x4;
constexpr uint32_t kMemberKindDrive = 3;
constexpr size_t kSegmentListHeader = 8;
constexpr size_t kSegmentBytes = sizeof(VYNIO_SEGMENT64_INFO_S);
constexpr size_t kContainerRecordBytes = 1152;
// Member indexes are 16-bit: no list can name more members than that.
constexpr uint32_t kMaxListedMembers = 0x10000;

uint32_t at(const uint8_t* record, size_t offset) { return faGetLe32(record + offset); }
void put(uint8_t* info, size_t offset, uint32_t value) { faPutLe32(info + offset, value); }
uint32_t bit(uint32_t word, uint32_t mask) { return (word & mask) != 0 ? 1 : 0; }

void putTriple(uint8_t* info, size_t offset, uint32_t number, uint32_t second, uint32_t adapterWord)
{
    put(info, offset, number);
    put(info, offset + 4, second);
    put(info, offset + 8, adapterWord);
}

uint32_t numberOf(FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    return static_cast<uint32_t>(CT_FindCtrNumFromHandle(ctx, handle));
}

// Table of the firmware's container types by raidType.
uint32_t firmwareTypeOf(uint32_t raidType)
{
    static const uint32_t kTypes[] = {22, 3, 1, 2, 4, 5, 6, 16, 21, 9, 13, 14, 15, 11, 26, 34, 35, 40, 45, 50, 55};
    return raidType < sizeof kTypes / sizeof kTypes[0] ? kTypes[raidType] : kTypeUnknown;
}

// The parts both conversions fill alike.
void fillCommon(FSAAPI_CONTEXT* ctx, const uint8_t* r, uint8_t* info)
{
    const uint32_t adapterWord = ctx->adapterIdentityWord;
    const uint32_t number = at(r, LD_CONTAINER_NUM);
    const uint32_t flags1 = at(r, LD_FLAGS1);
    put(info, CI_NUMBER, number);
    put(info, CI_HANDLE, at(r, LD_HANDLE));
    put(info, CI_ADAPTER_WORD, adapterWord);
    // A full name keeps all 16 characters and no terminator.
    const uint8_t* name = r + LD_NAME;
    size_t n = 0;
    while (n < CI_NAME_BYTES && name[n] != 0)
        ++n;
    std::memset(info + CI_NAME, 0, CI_NAME_BYTES);
    std::memcpy(info + CI_NAME, name, n);

    put(info, CI_MIRROR_STATE, 0);
    put(info, CI_USAGE,
        at(r, LD_FAULT_STATE) == kFaultStateFailed ? kUsageFailed
                                                   : static_cast<uint32_t>(faos_CtrGetUsage(ctx, static_cast<int>(number))));
    put(info, CI_FLAG_A, bit(flags1, 0x4));
    put(info, CI_FLAG_B, bit(flags1, 0x1));
    put(info, CI_FLAG_C, bit(flags1, 0x2));
    put(info, CI_WORD_56, 0);
    put(info, CI_WORD_60, kNone);
    faPutLe64(info + CI_SIZE, faGetLe64(r + LD_NUM_BLOCKS) * 512);
    put(info, CI_TASK_PRIORITY, at(r, LD_TASK_PRIORITY));
    put(info, CI_CREATOR, adapterWord);

    const uint32_t date = at(r, LD_CREATION_DATE);
    uint8_t* c = info + CI_CREATION;
    c[0] = static_cast<uint8_t>(date & 0xF);
    c[1] = static_cast<uint8_t>(date >> 4 & 0x1F);
    faPutLe16(c + 2, static_cast<uint16_t>(at(r, LD_CREATION_YEAR) + 1900));
    c[4] = static_cast<uint8_t>(date >> 10 & 0x3F);
    c[5] = static_cast<uint8_t>(date >> 16 & 0x3F);
    c[6] = static_cast<uint8_t>(date >> 22 & 0x3F);
    c[7] = static_cast<uint8_t>(at(r, LD_CREATION_TIME));

    put(info, CI_STRIPE, at(r, LD_STRIPE_SIZE) * 512);
    put(info, CI_MIRROR_FLAG, 0);
    putTriple(info, CI_MIRROR_PARTNER, kNone, 0, 0);
    put(info, CI_TASK_PRESENT, at(r, LD_TASK_TYPE) != 0 ? 1 : 0);
    const uint32_t original = at(r, LD_SS_ORIGINAL);
    put(info, CI_SNAPSHOT_ORIGINAL, numberOf(ctx, original));
    put(info, CI_SNAPSHOT_ORIGINAL + 4, original);
    put(info, CI_FAULTED, at(r, LD_FAULT_STATE) != 0 ? 1 : 0);
    std::memset(info + CI_FAULTED + 4, 0, 20);
    put(info, CI_MEMBER_COUNT, at(r, LD_NUM_CHILDREN));
    put(info, CI_FILE_NAME - 4, 0);
    info[CI_FILE_NAME] = 0;
    put(info, CI_PERFORMANCE, bit(at(r, LD_PERFORMANCE_FLAGS), 0x4));
    put(info, CI_WRITE_CACHE, bit(flags1, 0x4));
    put(info, CI_BAD_UNITS, at(r, LD_BAD_UNIT_COUNT));
    put(info, CI_FORCE_ONLINE, at(r, LD_FORCE_ONLINE_FLAGS));
    if (FsaOptionWord3(ctx) & kOpt3Extension) {
        for (size_t w = 0; w < 5; ++w)
            put(info, CI_EXTENSION + 4 * w, at(r, LD_EXTENSION + 4 * w));
    } else {
        put(info, CI_EXTENSION + 16, 0);
    }
    put(info, CI_FLAGS4 + 0, bit(flags1, 0x2000));
    put(info, CI_FLAGS4 + 4, bit(flags1, 0x4000));
    put(info, CI_FLAGS4 + 8, bit(flags1, 0x8000));
    put(info, CI_FLAGS4 + 12, bit(flags1, 0x10000));
    if (flags1 & 0x20000)
        put(info, CI_STATE_KIND, 1);
    else if (flags1 & 0x80000)
        put(info, CI_STATE_KIND, 2);
    else if (flags1 & 0x40000)
        put(info, CI_STATE_KIND, 3);
    else if (flags1 & 0x100000)
        put(info, CI_STATE_KIND, 4);
}

// The attribute bits; `fromFirmware` selects the firmware record's variants.
uint32_t attributesOf(FSAAPI_CONTEXT* ctx, const uint8_t* r, bool fromFirmware)
{
    const uint32_t flags1 = at(r, LD_FLAGS1);
    const uint32_t raidType = at(r, LD_RAID_TYPE);
    uint32_t a = 0;
    if (fromFirmware ? (flags1 & 0x400) != 0 : raidType == 13 || raidType == 14)
        a |= 0x100;
    if (at(r, LD_TASK_STATE) != 0) {
        switch (at(r, LD_TASK_TYPE)) {
        case 8: a |= 0x4; break;
        case 9: a |= 0x1; break;
        case 7: a |= 0x8; break;
        default: break;
        }
    }
    if (flags1 & 0x200)
        a |= 0x2;
    const uint32_t ss = at(r, LD_SS_FLAGS);
    if (ss & 0x1)
        a |= 0x10;
    if (ss & 0x2)
        a |= 0x20;
    if (flags1 & 0x100)
        a |= 0x40;
    if (flags1 & 0x80)
        a |= 0x80;
    if (FsaOptionWord2(ctx) & kOpt2Attributes) {
        a |= 0x200;
        if (flags1 & 0x800)
            a |= 0x400;
        if ((flags1 & 0x1000) || (fromFirmware && (flags1 & 0x4)))
            a |= 0x800;
    }
    if (at(r, LD_PERFORMANCE_FLAGS) & 0x1)
        a |= 0x1000;
    return a;
}

uint8_t* element(uint8_t* info, uint32_t index) { return info + CI_MEMBERS + index * sizeof(FSA_PARTITION); }

void putExtent(uint8_t* e, uint64_t startBlock, uint64_t blocks)
{
    faPutLe64(e + FSA_PARTITION_OFFSET, startBlock * 512);
    faPutLe64(e + FSA_PARTITION_LENGTH, blocks * 512);
}

// The legacy record's extended type decides whether a firmware volume lays
// its data out over drives.
bool volumeOverContainers(FSAAPI_CONTEXT* ctx, uint32_t number)
{
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kContainerRecordBytes]());
    if (!record)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    uint32_t status = 0;
    if (CT_GetContainer(ctx, number, record.get(), &status) == 0)
        return false;
    const uint32_t extended = GetExtendedType(ctx, number, status, record.get());
    return extended != 3 && extended != kTypeUnknown;
}

// Members from the firmware's segment list (CT 249). A list that could not be
// read leaves the elements as they were.
void firmwareMembers(FSAAPI_CONTEXT* ctx, const uint8_t* r, uint8_t* info, uint32_t capacity)
{
    const uint32_t children = std::min(at(r, LD_NUM_CHILDREN), kMaxListedMembers);
    const size_t bytes = children * kSegmentBytes + 40;
    std::unique_ptr<uint8_t[]> list(new (std::nothrow) uint8_t[bytes]());
    if (!list)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    uint32_t p0 = at(r, LD_HANDLE);
    uint32_t p1 = 0;
    uint32_t p2 = CT_STS_NEW_SUCCESS;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_GET_LOGDEV_SEGMENT64_LIST, &p0, &p1, &p2, nullptr, 0, list.get(),
                                              static_cast<unsigned>(bytes), 1);
    FsaDebugPrintf("CT_GET_LOGDEV_SEGMENT64_LIST  fsaStatus:%d  status:%d", static_cast<int>(sent),
                   static_cast<int>(p2));
    if (sent != FSA_STS_SUCCESS || p2 != CT_STS_NEW_SUCCESS)
        return;
    // Never more entries than the list buffer holds, whatever the count says.
    const uint32_t count =
        std::min<uint32_t>(faGetLe32(list.get() + 4), static_cast<uint32_t>((bytes - kSegmentListHeader) / kSegmentBytes));
    FsaDebugPrintf("number of segments:%d", static_cast<int>(count));
    std::memset(info + CI_MEMBERS, 0xFF, std::min(children, capacity) * sizeof(FSA_PARTITION));
    const uint32_t adapterWord = ctx->adapterIdentityWord;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* s = list.get() + kSegmentListHeader + i * kSegmentBytes;
        const uint32_t phy = faGetLe32(s + SEG_PHY_HANDLE);
        const uint32_t log = faGetLe32(s + SEG_LOG_HANDLE);
        FsaDebugPrintf("index:%d  hPhyDev:%x   hLogDev:%x", static_cast<int>(i), phy, log);
        FsaDebugPrintf("startBlock:%llu  numBlocks:%llu",
                       static_cast<unsigned long long>(faGetLe64(s + SEG_START)),
                       static_cast<unsigned long long>(faGetLe64(s + SEG_BLOCKS)));
        const uint32_t index = faGetLe16(s + SEG_MEMBER_INDEX);
        if (index >= capacity)
            continue;
        uint8_t* e = element(info, index);
        if (phy != kNone) {
            faPutLe32(e, kMemberKindDrive);
            e[4] = static_cast<uint8_t>(phy >> 24);
            e[5] = static_cast<uint8_t>(phy);
            e[6] = static_cast<uint8_t>(phy >> 16);
        } else {
            faPutLe32(e, numberOf(ctx, log));
            faPutLe32(e + 4, log);
        }
        faPutLe32(e + 8, adapterWord);
        putExtent(e, faGetLe64(s + SEG_START), faGetLe64(s + SEG_BLOCKS));
    }
}

FsaVynIoLogDevInfo* findByHandle(const FsaVynIoAdapterConfig* model, uint32_t handle)
{
    if (model == nullptr || handle == kNone)
        return nullptr;
    for (FsaVynIoLogDevInfo* l : model->allLogDevs())
        if (l->handle() == handle)
            return l;
    return nullptr;
}

uint32_t modelNumberOf(const FsaVynIoAdapterConfig* model, uint32_t handle)
{
    const FsaVynIoLogDevInfo* l = findByHandle(model, handle);
    return l != nullptr ? at(l->record.bytes, LD_CONTAINER_NUM) : kNone;
}

// The API member kind of a drive by its attachment kind.
uint32_t memberKindOf(uint8_t attachment)
{
    switch (attachment) {
    case 1: return 0;
    case 2: return 2;
    case 3: return 3;
    case 4: return 4;
    default: return 1;
    }
}

// The base type of a volume over second-level devices, by their raidType.
uint32_t volumeBaseType(uint32_t memberRaidType)
{
    switch (memberRaidType) {
    case 1: return 20;
    case 2: return 17;
    case 5: return 44;
    case 7: return 19;
    case 9: return 39;
    default: return 15;
    }
}

}  // namespace

uint32_t CT_ConvertVynIoLogDevType(uint32_t raidType)
{
    switch (raidType) {
    case 0:
    case 1: return 3;
    case 2: return 2;
    case 3: return 1;
    case 4: return 13;
    case 5: return 40;
    case 7: return 4;
    case 8: return 26;
    case 9: return 34;
    case 10: return 35;
    case 11:
    case 13: return 45;
    case 12:
    case 14: return 50;
    case 15: return 55;
    default: return kTypeUnknown;
    }
}

void CT_ConvertCtrInfo(FSAAPI_CONTEXT* ctx, VYNIO_LOGDEV_INFO_S* record, FSA_CONTAINER_INFO_EXTND* out, uint32_t size)
{
    FsaApiEntryExit scope("CT_ConvertCtrInfo");
    const uint8_t* r = record->bytes;
    uint8_t* info = out->bytes;
    const uint32_t number = at(r, LD_CONTAINER_NUM);
    FsaDebugPrintf("Converting container hLogDev:%x  containerNum:%d", at(r, LD_HANDLE), static_cast<int>(number));
    const uint32_t adapterWord = ctx->adapterIdentityWord;
    fillCommon(ctx, r, info);

    const uint32_t raidType = at(r, LD_RAID_TYPE);
    const uint32_t type = firmwareTypeOf(raidType);
    const bool morphing = at(r, LD_TASK_TYPE) == kTaskMorph;
    put(info, CI_TYPE, morphing ? kTypeMorphing : type);
    put(info, CI_BASE_TYPE, type);

    uint32_t layout = 1;
    switch (raidType) {
    case 5: case 6: case 10: case 11: case 12: case 14: case 16: case 19:
        layout = 0;
        break;
    case 1:
        if (volumeOverContainers(ctx, number))
            layout = 0;
        break;
    default:
        break;
    }
    put(info, CI_LAYOUT, layout);

    const uint32_t related = morphing ? adapterWord : 0;
    put(info, CI_TASK_RELATION, morphing ? 1 : 0);
    if (morphing)
        putTriple(info, CI_RELATED, number, at(r, LD_UID), adapterWord);
    else
        putTriple(info, CI_RELATED, kNone, 0, 0);
    const uint32_t source = at(r, LD_MORPH_SOURCE);
    const uint32_t destination = at(r, LD_MORPH_DESTINATION);
    putTriple(info, CI_MORPH_SOURCE, numberOf(ctx, source), source, related);
    putTriple(info, CI_MORPH_DESTINATION, numberOf(ctx, destination), destination, related);
    putTriple(info, CI_FURTHER_1, kNone, 0, related);
    putTriple(info, CI_FURTHER_2, kNone, 0, related);
    putTriple(info, CI_FURTHER_3, kNone, 0, related);
    putTriple(info, CI_SNAPSHOT_RELATION, kNone, 0, related);
    std::memset(info + CI_CREATION_BLOCK, 0, 16);
    const uint32_t shown = at(info, CI_TYPE);
    put(info, CI_SNAPSHOT_ADAPTER, shown == 5 || shown == 6 ? adapterWord : 0);
    put(info, CI_ATTRIBUTES, at(info, CI_ATTRIBUTES) | attributesOf(ctx, r, true));

    if (at(r, LD_NUM_CHILDREN) == 0)
        return;
    firmwareMembers(ctx, r, info, FsaMemberCapacity(size, CI_MEMBERS));
}

void CT_ConvertOnlineCtrInfo(FSAAPI_CONTEXT* ctx, FsaVynIoLogDevInfo* node, FSA_CONTAINER_INFO_EXTND* out,
                             uint32_t size)
{
    FsaApiEntryExit scope("CT_ConvertCtrInfo");
    uint8_t* r = node->record.bytes;
    uint8_t* info = out->bytes;
    const FsaVynIoAdapterConfig* model = ctx->vynIoConfig;
    const uint32_t adapterWord = ctx->adapterIdentityWord;
    const uint32_t handle = node->handle();
    FsaDebugPrintf("Converting container hLogDev:%x  containerNum:%d", handle,
                   static_cast<int>(at(r, LD_CONTAINER_NUM)));
    fillCommon(ctx, r, info);

    const uint32_t raidType = at(r, LD_RAID_TYPE);
    uint32_t type = raidType == 14 ? 2 : CT_ConvertVynIoLogDevType(raidType);
    uint32_t base = raidType == 14 ? 50 : type;
    put(info, CI_LAYOUT, 0);
    std::memset(info + CI_CREATION_BLOCK, 0, 12);
    put(info, CI_CREATION_BLOCK + 12, at(r, LD_FLAGS1));
    put(info, CI_SNAPSHOT_ADAPTER, at(r, LD_SS_FLAGS) != 0 || at(r, LD_SS_ORIGINAL) != 0 ? adapterWord : 0);
    put(info, CI_ATTRIBUTES, attributesOf(ctx, r, false));

    // A top-level device that another device is being morphed from or into
    // carries that device's task.
    const FsaVynIoLogDevInfo* partner = nullptr;
    if (node->parent() == kNone && model != nullptr) {
        for (const FsaVynIoLogDevInfo* other : model->allLogDevs()) {
            const uint8_t* o = other->record.bytes;
            if (other == node || at(o, LD_TASK_TYPE) != kTaskMorph)
                continue;
            if (at(o, LD_MORPH_SOURCE) != handle && at(o, LD_MORPH_DESTINATION) != handle)
                continue;
            faPutLe32(r + LD_TASK_TYPE, at(o, LD_TASK_TYPE));
            faPutLe32(r + LD_MORPH_SOURCE, at(o, LD_MORPH_SOURCE));
            faPutLe32(r + LD_MORPH_DESTINATION, at(o, LD_MORPH_DESTINATION));
            partner = other;
            break;
        }
    }
    uint32_t relation = 0;
    if (at(r, LD_TASK_TYPE) == kTaskMorph) {
        const uint32_t source = at(r, LD_MORPH_SOURCE);
        const uint32_t destination = at(r, LD_MORPH_DESTINATION);
        if (source == handle)
            relation = 2;
        else if (destination == handle)
            relation = 3;
        else
            relation = node->parent() == kNone ? 1 : 0;
        base = type;
        type = kTypeMorphing;
        if (relation != 1) {
            const uint32_t other = partner != nullptr ? partner->handle() : node->parent();
            putTriple(info, CI_RELATED, modelNumberOf(model, other), other, adapterWord);
        } else {
            putTriple(info, CI_RELATED, at(r, LD_CONTAINER_NUM), handle, adapterWord);
        }
        putTriple(info, CI_MORPH_SOURCE, modelNumberOf(model, source), source, adapterWord);
        putTriple(info, CI_MORPH_DESTINATION, modelNumberOf(model, destination), destination, adapterWord);
    } else {
        putTriple(info, CI_RELATED, kNone, 0, 0);
        putTriple(info, CI_MORPH_SOURCE, kNone, 0, 0);
        putTriple(info, CI_MORPH_DESTINATION, kNone, 0, 0);
    }
    put(info, CI_TASK_RELATION, relation);
    putTriple(info, CI_FURTHER_1, kNone, 0, 0);
    putTriple(info, CI_FURTHER_2, kNone, 0, 0);
    putTriple(info, CI_FURTHER_3, kNone, 0, 0);
    putTriple(info, CI_SNAPSHOT_RELATION, kNone, 0, relation != 0 ? adapterWord : 0);

    const uint32_t children = at(r, LD_NUM_CHILDREN);
    const uint32_t capacity = FsaMemberCapacity(size, CI_MEMBERS);
    if (children > 0) {
        std::memset(info + CI_MEMBERS, 0xFF, std::min(children, capacity) * sizeof(FSA_PARTITION));
        for (const FsaVynIoSegmentInfo* segment : node->segments) {
            const uint8_t* s = segment->record.bytes;
            const uint32_t phy = faGetLe32(s + SEG_PHY_HANDLE);
            const uint32_t log = faGetLe32(s + SEG_LOG_HANDLE);
            const uint32_t index = faGetLe16(s + SEG_MEMBER_INDEX);
            uint8_t* e = index < capacity ? element(info, index) : nullptr;
            if (phy == kNone && log == kNone) {
                if (e != nullptr)
                    putExtent(e, faGetLe64(s + SEG_START), faGetLe64(s + SEG_BLOCKS));
            } else if (phy == kNone) {
                const FsaVynIoLogDevInfo* child = findByHandle(model, log);
                if (child == nullptr)
                    continue;
                if (e != nullptr) {
                    faPutLe32(e, at(child->record.bytes, LD_CONTAINER_NUM));
                    faPutLe32(e + 4, at(child->record.bytes, LD_UID));
                    faPutLe32(e + 8, adapterWord);
                }
                if (base == 3)
                    base = volumeBaseType(at(child->record.bytes, LD_RAID_TYPE));
            } else {
                put(info, CI_LAYOUT, 1);
                if (e == nullptr)
                    continue;
                if (const FsaVynIoPhyDevInfo* drive = segment->phyDev) {
                    const uint8_t* d = drive->record.bytes;
                    faPutLe32(e, memberKindOf(d[PD_ATTACHMENT_KIND]));
                    e[4] = d[PD_BUS];
                    e[5] = d[PD_TARGET];
                    e[6] = d[PD_LUN];
                } else {
                    e[4] = static_cast<uint8_t>(FsaApiGetBusFromDeviceHandle(ctx, phy));
                    e[5] = static_cast<uint8_t>(FsaApiGetTargetFromDeviceHandle(ctx, phy));
                    e[6] = static_cast<uint8_t>(FsaApiGetLunFromDeviceHandle(ctx, phy));
                }
                faPutLe32(e + 8, adapterWord);
                putExtent(e, faGetLe64(s + SEG_START), faGetLe64(s + SEG_BLOCKS));
            }
        }
    }
    put(info, CI_TYPE, type);
    put(info, CI_BASE_TYPE, base);
}
