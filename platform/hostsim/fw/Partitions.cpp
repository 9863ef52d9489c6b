// Slices and partitions: the slice count and information (CT 1, 63, 154), the
// partition table in its three record forms (CT 2, 212/198/85, 213/199/3),
// the slices' boot records and on-disk tables (CT 15, 214/200/86), the
// configuration age (CT 11) and a partition's unique id (CT 167). Every
// record is computed from the drives and containers of the state. A missing
// drive has no slice: its slice information, boot record and own table no
// longer answer, while the controller's table keeps its partitions.
#include "platform/hostsim/fw/Partitions.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kNotFound = 219;
constexpr uint32_t kMbrRead = 132;
constexpr uint32_t kEntryFound = 68;
constexpr uint32_t kTableRead = 202;
constexpr uint32_t kDiskTableRead = 204;
constexpr uint32_t kMbrSignature = 0x21956;
constexpr uint32_t kOpt3Slices64 = 0x10;
constexpr size_t kMbrBytes = 48;
constexpr size_t kOldMbrBytes = 40;
constexpr size_t kSliceReplyBytes = 32;
constexpr uint8_t kCreationYear = 124;  // 2024
constexpr uint32_t kCreationDate = 1 | 1 << 4;  // 1 January, 00:00:00

// The firmware's container type of a logical-device code.
uint32_t firmwareType(uint32_t raidType)
{
    switch (raidType) {
    case 0:
    case 1: return 1;
    case 2: return 3;
    case 3: return 2;
    case 5: return 17;
    case 7: return 4;
    case 9: return 15;
    case 11:
    case 13: return 18;
    default: return 3;  // the tops of two-level containers are stripes
    }
}

const DriveView* driveWithHandle(const ConfigView& v, uint32_t handle)
{
    for (const DriveView& d : v.drives)
        if (d.handle() == handle)
            return &d;
    return nullptr;
}

// The drive present with that slice.
const DriveView* driveWithSlice(const ConfigView& v, uint32_t slice)
{
    for (const DriveView& d : v.drives)
        if (d.sliceType != 0 && !d.missing && d.slice == slice)
            return &d;
    return nullptr;
}

bool containerExists(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.number == number)
            return true;
    return false;
}

// Whether the controller knows a command of this record form.
bool knowsForm(const ControllerState& c, size_t recordBytes) { return c.partitionRecords >= recordBytes; }

// The answer to a code the controller does not know: the library falls back.
void unknownCode(FibCall& call, uint32_t code)
{
    call.clearPayload();
    call.setWord(0, 1);
    call.setWord(1, code);
    call.reject("older_partition_records");
}

// A class-2 handler that only a controller of that record form or newer knows.
void addFormHandler(Dispatcher& dispatcher, uint32_t code, size_t recordBytes, CtHandler handler)
{
    auto inner = std::make_shared<Dispatcher>();
    addCtHandler(*inner, code, std::move(handler));
    dispatcher.add(HandlerKind::Class2, code, [inner, code, recordBytes](FibCall& call) {
        if (!knowsForm(call.controller(), recordBytes))
            unknownCode(call, code);
        else
            inner->dispatch(call);
    });
}

uint32_t tableSize(const std::vector<PartitionView>& parts)
{
    uint32_t n = 1;
    for (const PartitionView& p : parts)
        if (p.inTable)
            n = std::max(n, p.index + 1);
    return n;
}

// The records of one table, each of `recordBytes`, at most `capacity` bytes.
void putRecords(ControllerState& c, const std::vector<const PartitionView*>& list, size_t recordBytes,
                uint32_t capacity, CtReply& r)
{
    const size_t n = std::min(list.size(), static_cast<size_t>(capacity / recordBytes));
    r.data.assign(n * recordBytes, 0);
    for (size_t i = 0; i < n; ++i)
        if (list[i] != nullptr)
            writePartitionRecord(c, *list[i], r.data.data() + i * recordBytes, recordBytes);
}

void wholeTable(ControllerState& c, const CtRequest& q, CtReply& r, size_t recordBytes)
{
    const std::vector<PartitionView> parts = partitionsOf(c);
    std::vector<const PartitionView*> table(tableSize(parts), nullptr);
    for (const PartitionView& p : parts)
        if (p.inTable)
            table[p.index] = &p;
    r.status = kTableRead;
    // A long reply hands its status back through result word 2.
    r.result2 = kTableRead;
    putRecords(c, table, recordBytes, q.capacity, r);
}

void tableEntry(ControllerState& c, const CtRequest& q, CtReply& r, size_t recordBytes)
{
    const std::vector<PartitionView> parts = partitionsOf(c);
    r.data.assign(recordBytes, 0);
    if (q.param[0] >= std::max(tableSize(parts), c.partitions)) {
        r.status = 0;
        return;
    }
    r.status = kEntryFound;
    for (const PartitionView& p : parts)
        if (p.inTable && p.index == q.param[0])
            writePartitionRecord(c, p, r.data.data(), recordBytes);
}

void diskTable(ControllerState& c, const CtRequest& q, CtReply& r, size_t recordBytes)
{
    const ConfigView v = configurationOf(c);
    const DriveView* d = driveWithSlice(v, q.param[0]);
    if (d == nullptr) {
        r.status = 0;
        return;
    }
    const std::vector<PartitionView> parts = partitionsOf(v);
    std::vector<const PartitionView*> onDisk;
    for (const PartitionView& p : parts)
        if (p.onDisk && p.slice == d->slice)
            onDisk.push_back(&p);
    r.status = kDiskTableRead;
    r.result2 = kDiskTableRead;
    putRecords(c, onDisk, recordBytes, q.capacity, r);
}

void sliceCount(ControllerState& c, const CtRequest&, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    r.status = 0;
    for (const DriveView& d : v.drives)
        if (d.sliceType != 0 && !d.missing)
            r.status = std::max(r.status, d.slice + 1);
}

void sliceInfo(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    r.status = kNewSuccess;
    r.data.assign(kSliceReplyBytes, 0);
    uint8_t* w = r.data.data();
    const DriveView* d = driveWithSlice(v, q.param[0]);
    if (d == nullptr) {
        putLe32(w + 12, kNone);
        return;
    }
    putLe32(w + 12, d->handle());
    putLe32(w + 20, d->sliceType);
    putLe32(w + 24, static_cast<uint32_t>(d->usable));
    putLe32(w + 28, static_cast<uint32_t>(d->usable));
}

void sliceOfDrive(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    r.data.assign(kSliceReplyBytes, 0);
    const DriveView* d = driveWithHandle(v, q.param[0]);
    if (d == nullptr || d->sliceType == 0 || d->missing) {
        r.status = kNone;
        return;
    }
    r.status = d->slice;
    uint8_t* w = r.data.data();
    putLe32(w + 8, 0);  // the adapter index word
    putLe32(w + 12, d->handle());
    putLe32(w + 20, d->sliceType);
}

void bootRecord(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    const DriveView* d = driveWithSlice(v, q.param[0]);
    if (d == nullptr) {
        r.status = 0;
        return;
    }
    r.status = kMbrRead;
    r.data.assign((c.optionWord[2] & kOpt3Slices64) != 0 ? kMbrBytes : kOldMbrBytes, 0);
    // A pass-through drive carries no boot record of this system.
    if (d->sliceType != 6)
        return;
    uint32_t records = 0;
    for (const PartitionView& p : partitionsOf(v))
        if (p.onDisk && p.slice == d->slice)
            ++records;
    putLe32(r.data.data(), kMbrSignature);
    putLe32(r.data.data() + 4, records);
    putLe32(r.data.data() + 8, d->slice);
}

// CT 167: parameter 0 chooses the owner (0 first, 1 second, 2 the related
// container at byte 79) of the partition record sent.
void uniqueIdOfPartition(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNotFound;
    if (q.inputSize < kPartitionRecordBytes)
        return;
    uint32_t number = 0;
    if (q.param[0] == 0)
        number = getLe16(q.input + kRecFirstNumber);
    else if (q.param[0] == 1)
        number = getLe16(q.input + kRecSecondNumber);
    else if (q.param[0] == 2)
        number = q.input[kRecRelated];
    else
        return;
    if (!containerExists(configurationOf(c), number))
        return;
    r.status = kNewSuccess;
    r.result1 = kFirstUniqueId + number;
}

}  // namespace

std::vector<PartitionView> partitionsOf(const ControllerState& c) { return partitionsOf(configurationOf(c)); }

std::vector<PartitionView> partitionsOf(const ConfigView& v)
{
    std::vector<PartitionView> out;
    for (const LogDevView& l : v.logDevs) {
        const LogDevView* top = l.parent != kNone ? logDevWithHandle(v, l.parent) : nullptr;
        for (size_t i = 0; i < l.members.size(); ++i) {
            const LogDevView::Member& m = l.members[i];
            PartitionView p;
            p.index = m.tableIndex;
            p.blocks = m.blocks;
            p.firstType = firmwareType(l.raidType);
            p.firstNumber = l.number;
            p.memberCount = static_cast<uint32_t>(l.members.size());
            p.memberIndex = static_cast<uint32_t>(i);
            p.firstStripe = l.stripeBlocks;
            p.outerNumber = top != nullptr ? top->number : l.number;
            if (m.phy != kNone) {
                const DriveView* d = driveWithHandle(v, m.phy);
                if (d == nullptr || d->sliceType == 0)
                    continue;
                p.slice = d->slice;
                p.start = m.start;
                p.onDisk = !d->missing && (d->ondisk == "copy" || d->ondisk == "only");
                p.inTable = d->missing || d->ondisk != "only";
            } else {
                // A leg of a two-level container: not placed, located by the leg's number.
                const LogDevView* leg = logDevWithHandle(v, m.log);
                p.slice = leg != nullptr ? leg->number : kNone;
            }
            if (top != nullptr) {
                p.secondType = firmwareType(top->raidType);
                p.secondNumber = top->number;
                p.secondCount = static_cast<uint32_t>(top->members.size());
                p.secondStripe = top->stripeBlocks;
                for (size_t k = 0; k < top->members.size(); ++k)
                    if (top->members[k].log == l.handle)
                        p.legIndex = static_cast<uint32_t>(k);
            }
            out.push_back(p);
        }
    }
    return out;
}

void writePartitionRecord(ControllerState& c, const PartitionView& p, uint8_t* out, size_t recordBytes)
{
    uint8_t r[kPartitionRecordBytes] = {};
    putLe32(r + kRecIndex, p.index);
    r[kRecCreation] = 1;
    r[kRecCreationYear] = kCreationYear;
    putLe32(r + kRecCreationDate, kCreationDate);
    putLe32(r + kRecCreator1, c.serial[0]);
    putLe32(r + kRecCreator2, p.outerNumber);
    putLe32(r + kRecAge, c.configAge);
    putLe32(r + kRecStart32, static_cast<uint32_t>(std::min<uint64_t>(p.start, kNone)));
    putLe32(r + kRecLength32, static_cast<uint32_t>(std::min<uint64_t>(p.blocks, kNone)));
    putLe32(r + kRecOwnerWord, c.serial[0]);
    putLe32(r + kRecLocation, p.slice);
    putLe32(r + kRecSlice, p.slice);
    putLe32(r + kRecFirstOwner, p.firstType);
    putLe16(r + kRecFirstNumber, static_cast<uint16_t>(p.firstNumber));
    putLe16(r + kRecMemberCount, static_cast<uint16_t>(p.memberCount));
    putLe16(r + kRecMemberIndex, static_cast<uint16_t>(p.memberIndex));
    putLe32(r + kRecSecondOwner, p.secondType);
    putLe16(r + kRecSecondNumber, static_cast<uint16_t>(p.secondNumber));
    putLe16(r + kRecSecondCount, static_cast<uint16_t>(p.secondCount));
    putLe16(r + kRecLegIndex, static_cast<uint16_t>(p.legIndex));
    putLe32(r + kRecFirstStripe, p.firstStripe);
    putLe32(r + kRecSecondStripe, p.secondStripe);
    putLe32(r + kRecAttributes, 1);
    putLe32(r + kRecPpiUid, kFirstUniqueId + p.outerNumber);
    putLe32(r + kRecStart64, static_cast<uint32_t>(p.start));
    putLe32(r + kRecStart64 + 4, static_cast<uint32_t>(p.start >> 32));
    putLe32(r + kRecLength64, static_cast<uint32_t>(p.blocks));
    putLe32(r + kRecLength64 + 4, static_cast<uint32_t>(p.blocks >> 32));
    // The cache settings of the owning container (CT 111).
    auto s = c.containerSettings.find(p.firstNumber);
    if (s != c.containerSettings.end()) {
        r[kRecWriteCache] = s->second.writeCache;
        r[kRecReadCache] = s->second.readCache;
        // A dead member shows the bit of its member index (low five bits).
        for (uint32_t m : s->second.deadMembers)
            if (m == p.memberIndex)
                putLe32(r + kRecDeadMask, 1u << (p.memberIndex & 31));
    }
    putLe16(r + kRecDeadIndex, static_cast<uint16_t>(p.memberIndex));
    bool touched = false;
    for (const ArmedFault* f : matchFaults(c.faults, "partition", std::to_string(p.index), touched))
        pokeField(r, sizeof r, *f);
    std::memcpy(out, r, std::min(recordBytes, sizeof r));
}

void registerPartitionHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 1, sliceCount);
    addCtHandler(dispatcher, 2, [](ControllerState& c, const CtRequest&, CtReply& r) {
        r.status = tableSize(partitionsOf(c));
    });
    addCtHandler(dispatcher, 11, [](ControllerState& c, const CtRequest&, CtReply& r) { r.status = c.configAge; });
    addCtHandler(dispatcher, 15, bootRecord);
    addCtHandler(dispatcher, 63, sliceInfo);
    addCtHandler(dispatcher, 154, sliceOfDrive);
    addCtHandler(dispatcher, 167, uniqueIdOfPartition);
    struct Form {
        uint32_t table, entry, disk;
        size_t bytes;
    };
    for (const Form& f : {Form{212, 213, 214, 420}, Form{198, 199, 200, 196}, Form{85, 3, 86, 160}}) {
        const size_t bytes = f.bytes;
        addFormHandler(dispatcher, f.table, bytes,
                       [bytes](ControllerState& c, const CtRequest& q, CtReply& r) { wholeTable(c, q, r, bytes); });
        addFormHandler(dispatcher, f.entry, bytes,
                       [bytes](ControllerState& c, const CtRequest& q, CtReply& r) { tableEntry(c, q, r, bytes); });
        addFormHandler(dispatcher, f.disk, bytes,
                       [bytes](ControllerState& c, const CtRequest& q, CtReply& r) { diskTable(c, q, r, bytes); });
    }
}

}  // namespace vyn::hostsim
