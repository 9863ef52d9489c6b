// Creation requests: the container request of CT 179 and CT 221 (the same
// record, 221 sent in its full 1068-byte form) for every request kind the
// library builds, and the logical-drive request of CT 237 for every RAID type
// code. A request the controller can build joins the configuration as a
// container of the description, its members where the request places them
// (or after what their drives already hold) with the size it names; the
// configuration view then shows it like a described one.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kCreated = 305;
// The number asked for is in use (the library reports it apart).
constexpr uint32_t kNumberTaken = 389;
// A request the controller cannot build: no status of the created set, so the
// library reports its general failure.
constexpr uint32_t kCannotBuild = 2;
constexpr uint32_t kOpt2WideRaid10Halves = 0x10;

constexpr size_t kLdHeaderBytes = 64;
// A member start the library leaves to the controller.
constexpr uint32_t kAnyStart = 0xFFFFFFFFu;
constexpr size_t kPairBytes = 8;
constexpr size_t kTripleBytes = 12;
constexpr size_t kMirrorPairBytes = 16;

// What a request asks for, in the description's terms.
struct Wanted {
    const char* level = nullptr;
    uint32_t number = 0;
    std::vector<uint32_t> members;  // drive handles, in member order
    uint32_t stripeBlocks = 0;      // 0: the controller's default
    uint64_t sizeBlocks = 0;        // 0: what the members hold
    uint32_t legs = 0;              // two-level containers
    std::string name;
    std::vector<uint64_t> starts;   // member start blocks asked for
    bool reedSolomon = false;       // RAID-6 and RAID-60 of the Reed-Solomon codes
};

bool twoLevel(const char* level)
{
    const std::string l = level;
    return l == "raid10" || l == "raid50" || l == "raid60" || l == "mirrorvolume";
}

// Checks what every level needs and adds the container: the status.
uint32_t addContainer(ControllerState& c, const Wanted& w)
{
    const size_t n = w.members.size();
    if (w.level == nullptr || n == 0 || w.number >= c.maxContainers)
        return kCannotBuild;
    const std::string level = w.level;
    const bool pairs = level == "raid10" || level == "mirrorvolume";
    if ((level == "raid1" && n != 2) || (pairs && (n % 2 != 0 || w.legs != n / 2)))
        return kCannotBuild;
    // Mirrored pairs may be a single pair; RAID-50/60 need two legs.
    if (twoLevel(w.level) && (w.legs < (pairs ? 1u : 2u) || n % w.legs != 0 || n / w.legs < 2))
        return kCannotBuild;
    const std::string key = "ld" + std::to_string(w.number);
    if (c.objects.count(key) != 0)
        return kNumberTaken;
    std::string text = level + ' ';
    for (size_t i = 0; i < n; ++i) {
        const uint32_t h = w.members[i];
        if (i != 0)
            text += ',';
        text += std::to_string(h >> 24) + ':' + std::to_string(h & 0xFFFF);
        if ((h >> 16 & 0xFF) != 0)
            text += ':' + std::to_string(h >> 16 & 0xFF);
    }
    if (w.stripeBlocks != 0)
        text += " stripe=" + std::to_string(w.stripeBlocks) + 's';
    if (w.sizeBlocks != 0)
        text += " size=" + std::to_string(w.sizeBlocks) + 's';
    // The name becomes a word of the description line the state file keeps:
    // one a space, line break or quote would split is kept as the
    // container's label instead, as a label written later would be.
    const auto plainWord = [](unsigned char ch) { return ch > ' ' && ch < 0x7F && ch != '"' && ch != '\\' && ch != '='; };
    if (!w.name.empty() && std::all_of(w.name.begin(), w.name.end(), plainWord)) {
        text += " name=" + w.name;
    } else if (!w.name.empty()) {
        ControllerState::ContainerSettings& s = c.containerSettings[w.number];
        s.named = true;
        s.name = w.name;
    }
    if (twoLevel(w.level))
        text += " legs=" + std::to_string(w.legs);
    if (!w.starts.empty()) {
        text += " starts=";
        for (size_t i = 0; i < w.starts.size(); ++i)
            text += (i != 0 ? "," : "") + std::to_string(w.starts[i]);
    }
    if (w.reedSolomon)
        text += " rs=1";
    c.objects[key] = text;
    c.containerSettings[w.number].created = c.clockSeconds();
    ++c.configAge;
    return kCreated;
}

// Request words read within what was sent; a word past it reads 0.
struct Input {
    const uint8_t* p;
    size_t size;
    bool has(size_t at, size_t width) const { return at <= size && width <= size - at; }
    uint32_t u32(size_t at) const { return has(at, 4) ? getLe32(p + at) : 0; }
    uint16_t u16(size_t at) const { return has(at, 2) ? getLe16(p + at) : 0; }
};

// Where each kind of the container request keeps its fields. Counts: a
// member count word, a pair count (RAID-10, two members each), u16 legs and
// drives per leg (RAID-50/60), exactly two members (RAID-1), or a count of
// 16-byte mirror-pair records (volume of mirrors: u16 slices of both members,
// the length, both starts).
enum class Count { Word, Pairs, Legs, Two, MirrorPairs };
struct Kind {
    uint32_t kind;
    const char* level;
    Count count;
    size_t countAt;
    size_t stripeAt;   // 0: none
    size_t membersAt;
    size_t memberBytes;
    size_t sizeLowAt;
    size_t sizeHighAt;
};

const Kind kKinds[] = {
    {1, "volume", Count::Word, 28, 0, 36, kTripleBytes, 8, 420},
    {2, "raid1", Count::Two, 0, 0, 32, kPairBytes, 8, 48},
    {3, "raid0", Count::Word, 32, 12, 40, kPairBytes, 8, 1064},
    {4, "raid5", Count::Word, 36, 12, 40, kPairBytes, 8, 168},
    {10, "raid10", Count::Pairs, 32, 12, 40, kPairBytes, 8, 1064},
    {12, "mirrorvolume", Count::MirrorPairs, 24, 0, 32, kMirrorPairBytes, 0, 0},
    {14, "raid50", Count::Legs, 32, 28, 40, kPairBytes, 24, 1064},
    {15, "raid5ee", Count::Word, 36, 12, 40, kPairBytes, 8, 168},
    {17, "raid1e", Count::Word, 36, 16, 44, kPairBytes, 12, 172},
    {18, "raid6", Count::Word, 36, 12, 40, kPairBytes, 8, 296},
    {19, "raid60", Count::Legs, 32, 28, 40, kPairBytes, 24, 1064},
};

// The drive holding `slice`, or none.
bool driveOfSlice(const ConfigView& v, uint32_t slice, uint32_t* handle)
{
    for (const DriveView& d : v.drives)
        if (d.sliceType != 0 && d.slice == slice) {
            *handle = d.handle();
            return true;
        }
    return false;
}

// CT 179 and CT 221: word 0 the kind, word 1 the container number; members
// are {slice, start block} pairs (volume: triples with the length), RAID-10
// members alternate between two halves of the pair area.
void createContainer(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    r.status = kCannotBuild;
    const Input in{q.input, q.input != nullptr ? q.inputSize : 0};
    if (!in.has(0, 8))
        return;
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds)
        if (k.kind == in.u32(0))
            kind = &k;
    if (kind == nullptr)
        return;
    Wanted w;
    w.level = kind->level;
    w.number = in.u32(4);
    uint32_t n = 0;
    switch (kind->count) {
    case Count::Word: n = in.u32(kind->countAt); break;
    case Count::Two: n = 2; break;
    case Count::Pairs:
    case Count::MirrorPairs:
        n = 2 * std::min<uint32_t>(in.u32(kind->countAt), 0x7FFFFFFF);
        w.legs = n / 2;
        break;
    case Count::Legs:
        w.legs = in.u16(kind->countAt);
        n = w.legs * uint32_t{in.u16(kind->countAt + 2)};
        break;
    }
    if (kind->stripeAt != 0)
        w.stripeBlocks = in.u32(kind->stripeAt);
    if (kind->sizeLowAt != 0)
        w.sizeBlocks = uint64_t{in.u32(kind->sizeHighAt)} << 32 | in.u32(kind->sizeLowAt);
    const size_t secondHalf = (c.optionWord[1] & kOpt2WideRaid10Halves) != 0 ? 64 : 24;
    const ConfigView v = configurationOf(c);
    for (uint32_t i = 0; i < n; ++i) {
        size_t slot = i;
        if (kind->count == Count::Pairs)
            slot = i / 2 + (i % 2 != 0 ? secondHalf : 0);
        else if (kind->count == Count::MirrorPairs)
            slot = i / 2;
        const size_t at = kind->membersAt + slot * kind->memberBytes;
        if (!in.has(at, kind->memberBytes))
            return;
        const uint32_t slice = kind->count == Count::MirrorPairs ? in.u16(at + 2 * (i % 2)) : in.u32(at);
        uint32_t handle = 0;
        if (!driveOfSlice(v, slice, &handle))
            return;
        w.members.push_back(handle);
        w.starts.push_back(in.u32(kind->count == Count::MirrorPairs ? at + 8 + 4 * (i % 2) : at + 4));
    }
    // Each member starts where the request places it; a start of all ones
    // leaves every member to follow what its drive holds.
    if (std::find(w.starts.begin(), w.starts.end(), kAnyStart) != w.starts.end())
        w.starts.clear();
    r.status = addContainer(c, w);
}

// Description levels by logical-device RAID type code; the Reed-Solomon codes
// take their plain level and are marked apart.
const char* levelOfCode(uint8_t code)
{
    switch (code) {
    case 0:
    case 1: return "volume";
    case 2: return "raid0";
    case 3: return "raid1";
    case 4: return "raid10";
    case 5: return "raid1e";
    case 7: return "raid5";
    case 8: return "raid50";
    case 9: return "raid5ee";
    case 11:
    case 13: return "raid6";
    case 12:
    case 14: return "raid60";
    default: return nullptr;
    }
}

// The job of the task that initialises a new drive of `level`: initialisation
// code 1 clears it; 2 builds its redundancy; the quick and skipped forms
// (3, 4, and 0) start nothing.
uint32_t initialisationJob(uint8_t code, const std::string& level)
{
    if (code == 1)
        return 101;
    if (code != 2)
        return 0;
    if (level == "raid1" || level == "raid10" || level == "raid1e")
        return 103;
    if (level == "raid5" || level == "raid50" || level == "raid5ee")
        return 107;
    if (level == "raid6" || level == "raid60")
        return 116;
    return 0;
}

// CT 237: a 64-byte header (version 1) and one record per member from byte
// 64, 20 bytes for type code 1 (handle, start, blocks), else 12 (handle,
// start). RAID-10 is built of mirrored pairs; RAID-50/60 take the leg count
// of the header. The drive takes the member starts asked for; its task
// priority (u16 at 10), read cache (byte 2, 1 or 2: on) and write cache
// (byte 3: 1 protected by battery, 2 on) are kept with it, and its
// initialisation code (byte 1) starts the task that prepares it.
void createLogicalDrive(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    r.status = kNumberTaken;
    const Input in{q.input, q.input != nullptr ? q.inputSize : 0};
    if (!in.has(0, kLdHeaderBytes) || q.input[0] != 1)
        return;
    const uint8_t code = q.input[8];
    const uint16_t n = in.u16(30);
    const size_t record = code == 1 ? 20 : kTripleBytes;
    if (levelOfCode(code) == nullptr || !in.has(kLdHeaderBytes, size_t{n} * record))
        return;
    Wanted w;
    w.level = levelOfCode(code);
    w.number = in.u32(12);
    w.stripeBlocks = in.u16(26);
    w.sizeBlocks = uint64_t{in.u32(36)} << 32 | in.u32(32);
    w.legs = std::string(w.level) == "raid10" ? n / 2u : in.u16(28);
    const char* name = reinterpret_cast<const char*>(q.input + 40);
    w.name.assign(name, std::find(name, name + 16, '\0'));
    const ConfigView v = configurationOf(c);
    uint64_t spanned = 0;
    for (uint16_t i = 0; i < n; ++i) {
        const size_t at = kLdHeaderBytes + size_t{i} * record;
        const uint32_t handle = in.u32(at);
        if (std::none_of(v.drives.begin(), v.drives.end(), [&](const DriveView& d) { return d.handle() == handle; }))
            return;
        w.members.push_back(handle);
        w.starts.push_back(uint64_t{in.u32(at + 8)} << 32 | in.u32(at + 4));
        if (record == 20)
            spanned += uint64_t{in.u32(at + 16)} << 32 | in.u32(at + 12);
    }
    // A volume of extents of their own length, when the header names no size.
    if (w.sizeBlocks == 0)
        w.sizeBlocks = spanned;
    w.reedSolomon = code == 13 || code == 14;
    const uint32_t status = addContainer(c, w);
    r.status = status == kCreated ? kCreated : kNumberTaken;
    if (status != kCreated)
        return;
    ControllerState::ContainerSettings& s = c.containerSettings[w.number];
    s.taskPriority = in.u16(10);
    s.readCache = q.input[2] != 0 ? 1 : 0;
    s.writeCache = q.input[3];
    const uint32_t job = initialisationJob(q.input[1], w.level);
    if (job != 0) {
        const uint32_t id = c.tasks.empty() ? 1 : c.tasks.rbegin()->first + 1;
        ControllerState::Task& t = c.tasks[id];
        t.job = job;
        t.object = w.number;
        t.total = 1000;
        t.atMs = c.clockMs;
    }
}

// A creation stands only when its answer leaves as one: a fault that turns
// the reply into a transport failure or another status (a controller that
// does not know the command, as tests make it) takes the container back.
void addCreation(Dispatcher& dispatcher, uint32_t code, CtHandler handler)
{
    dispatcher.add(HandlerKind::Class2, code, [code, h = std::move(handler)](FibCall& call) {
        ControllerState& c = call.controller();
        std::map<std::string, std::string> objects = c.objects;
        std::map<uint32_t, ControllerState::ContainerSettings> settings = c.containerSettings;
        std::map<uint32_t, ControllerState::Task> tasks = c.tasks;
        const uint32_t age = c.configAge;
        answerCt(call, code, h);
        call.markChanged();
        call.onFinal([objects = std::move(objects), settings = std::move(settings), tasks = std::move(tasks),
                      age](FibCall& final) {
            if (final.word(0) == 0 && final.word(2) == kCreated)
                return;
            final.controller().objects = objects;
            final.controller().containerSettings = settings;
            final.controller().tasks = tasks;
            final.controller().configAge = age;
        });
    });
}

}  // namespace

void registerCreationHandlers(Dispatcher& dispatcher)
{
    addCreation(dispatcher, 179, createContainer);
    addCreation(dispatcher, 221, createContainer);
    addCreation(dispatcher, 237, createLogicalDrive);
}

}  // namespace vyn::hostsim
