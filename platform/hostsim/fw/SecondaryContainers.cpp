// Containers built over containers, moves and mirrors added or taken away.
// A container over containers is the object line "ldK = volume|raid0
// ldA,ldB,..." (CT 171 makes a volume set, CT 172 a stripe set); its
// members keep their own lines and numbers. A move (CT 21) renames a
// container's line with its settings; the host sees nothing at the new
// number until the container is exposed there. A mirror is added to a
// single-drive container (CT 26) or to every member of a container over
// containers (CT 27), a mirror gives up its second drive (CT 24), and a
// volume set is extended (CT 44).
#include "platform/hostsim/fw/SecondaryContainers.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kMoved = 64;
constexpr uint32_t kMoveNoSource = 60;
constexpr uint32_t kMoveBadDestination = 61;
constexpr uint32_t kVolumeSetMade = 7;
constexpr uint32_t kStripeSetMade = 322;
constexpr uint32_t kMirrorMade = 37;
constexpr uint32_t kUnmirrored = 89;
constexpr uint32_t kVolumeAdded = 131;
constexpr uint32_t kLocked = 3;
constexpr uint32_t kNotFound = 194;
constexpr uint32_t kRefused = 2;

constexpr size_t kSecondaryHeader = 8;
constexpr size_t kMirrorCommandBytes = 136;
constexpr size_t kMirrorSlicesAt = 8;
constexpr uint32_t kMaxMirrorDrives = 32;
// Containers a secondary request may name (the library's request holds 128).
constexpr uint32_t kMaxSecondaryMembers = 128;

// An object line: level, member list, and the name=value pairs as written.
struct Line {
    std::string level;
    std::vector<std::string> members;
    std::vector<std::string> pairs;

    std::string text() const
    {
        std::string out = level + ' ';
        for (size_t i = 0; i < members.size(); ++i)
            out += (i != 0 ? "," : "") + members[i];
        for (const std::string& p : pairs)
            out += ' ' + p;
        return out;
    }
    void dropPair(const std::string& name)
    {
        pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                                   [&](const std::string& p) { return p.compare(0, name.size() + 1, name + "=") == 0; }),
                    pairs.end());
    }
    void setPair(const std::string& name, const std::string& value)
    {
        dropPair(name);
        pairs.push_back(name + "=" + value);
    }
};

bool parseLine(const std::string& text, Line* out)
{
    std::istringstream in(text);
    std::string list;
    if (!(in >> out->level >> list))
        return false;
    std::istringstream members(list);
    std::string m;
    while (std::getline(members, m, ','))
        out->members.push_back(m);
    std::string p;
    while (in >> p)
        out->pairs.push_back(p);
    return true;
}

std::string keyOf(uint32_t number) { return "ld" + std::to_string(number); }

bool locked(const ControllerState& c, uint32_t number)
{
    auto it = c.containerSettings.find(number);
    return it != c.containerSettings.end() && it->second.locked;
}

// The description line of a container a change may touch: end() with the
// answer set when there is none (194) or it is locked (3).
decltype(ControllerState::objects)::iterator changeable(ControllerState& c, uint32_t number, CtReply& r)
{
    auto it = c.objects.find(keyOf(number));
    if (it == c.objects.end())
        r.status = kNotFound;
    else if (locked(c, number)) {
        r.status = kLocked;
        return c.objects.end();
    }
    return it;
}

// A number some container or leg of the configuration, or an object line,
// already holds.
bool numberInUse(const ControllerState& c, const ConfigView& v, uint32_t number)
{
    if (c.objects.count(keyOf(number)) != 0)
        return true;
    return std::any_of(v.logDevs.begin(), v.logDevs.end(), [&](const LogDevView& l) { return l.number == number; });
}

const LogDevView* topOf(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.number == number && l.parent == 0xFFFFFFFFu)
            return &l;
    return nullptr;
}

// The drive address ("bus:target[:lun]") of the drive holding `slice`.
bool driveOfSlice(const ConfigView& v, uint32_t slice, std::string* address)
{
    for (const DriveView& d : v.drives)
        if (d.sliceType == 6 && d.slice == slice) {
            *address = std::to_string(d.bus) + ':' + std::to_string(d.target);
            if (d.lun != 0)
                *address += ':' + std::to_string(d.lun);
            return true;
        }
    return false;
}

bool isContainerMember(const std::string& member) { return member.size() > 2 && member.compare(0, 2, "ld") == 0; }

// CT 21: parameter 0 the container, parameter 1 the number it moves to.
void moveContainer(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const uint32_t from = q.param[0];
    const uint32_t to = q.param[1];
    auto it = c.objects.find(keyOf(from));
    if (it == c.objects.end()) {
        r.status = kMoveNoSource;
        return;
    }
    if (locked(c, from)) {
        r.status = kLocked;
        return;
    }
    if (to >= c.maxContainers || to == from || numberInUse(c, configurationOf(c), to)) {
        r.status = kMoveBadDestination;
        return;
    }
    std::string text = it->second;
    c.objects.erase(it);
    c.objects[keyOf(to)] = text;
    setContainerHost(c, to, "none");
    auto s = c.containerSettings.find(from);
    if (s != c.containerSettings.end()) {
        c.containerSettings[to] = s->second;
        c.containerSettings.erase(from);
    }
    // Containers built over the moved one follow it.
    std::vector<std::pair<std::string, std::string>> followers;
    for (const auto& [key, value] : c.objects) {
        if (key.compare(0, 2, "ld") != 0)
            continue;
        Line line;
        if (!parseLine(value, &line))
            continue;
        bool changed = false;
        for (std::string& m : line.members)
            if (m == keyOf(from)) {
                m = keyOf(to);
                changed = true;
            }
        if (changed)
            followers.emplace_back(key, line.text());
    }
    for (const auto& [key, text] : followers)
        c.objects.set(key, text);
    ++c.configAge;
    r.status = kMoved;
}

// CT 171 and 172: word 0 the member count n, word 1 the chunk in blocks,
// then n container numbers. The new container takes the lowest free number.
void createSecondary(ControllerState& c, const CtRequest& q, CtReply& r, bool stripe)
{
    keepCtRequest(c, q);
    r.status = kRefused;
    if (q.input == nullptr || q.inputSize < kSecondaryHeader)
        return;
    const uint32_t n = getLe32(q.input);
    if (n == 0 || n > kMaxSecondaryMembers || q.inputSize < kSecondaryHeader + 4 * size_t{n})
        return;
    const ConfigView v = configurationOf(c);
    std::vector<uint32_t> members;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t number = getLe32(q.input + kSecondaryHeader + 4 * i);
        // Each member once, a configured top-level container of its own.
        if (std::find(members.begin(), members.end(), number) != members.end() || topOf(v, number) == nullptr ||
            c.objects.count(keyOf(number)) == 0)
            return;
        members.push_back(number);
    }
    uint32_t number = 0;
    while (number < c.maxContainers && numberInUse(c, v, number))
        ++number;
    if (number >= c.maxContainers)
        return;
    Line line;
    line.level = stripe ? "raid0" : "volume";
    for (uint32_t m : members)
        line.members.push_back(keyOf(m));
    line.setPair("host", "none");
    c.objects[keyOf(number)] = line.text();
    ++c.configAge;
    r.status = stripe ? kStripeSetMade : kVolumeSetMade;
}

// A single-drive container of `line` made a mirror with the drive of
// `slice`; false when it cannot be.
bool addMirror(const ConfigView& v, Line* line, uint32_t slice)
{
    if ((line->level != "volume" && line->level != "raid0") || line->members.size() != 1 ||
        isContainerMember(line->members[0]))
        return false;
    std::string address;
    if (!driveOfSlice(v, slice, &address) || address == line->members[0])
        return false;
    line->level = "raid1";
    line->members.push_back(address);
    return true;
}

// CT 26: parameter 0 the container, parameter 1 the new drive's slice.
void generateMirror(ControllerState& c, const CtRequest& q, CtReply& r)
{
    auto it = changeable(c, q.param[0], r);
    if (it == c.objects.end())
        return;
    Line line;
    if (!parseLine(it->second, &line) || !addMirror(configurationOf(c), &line, q.param[1])) {
        r.status = kRefused;
        return;
    }
    c.objects.set(it->first, line.text());
    ++c.configAge;
    r.status = kMirrorMade;
}

// CT 27: the 136-byte request (u16 container, u16 drive count, u32 slices
// from byte 8): member i of a container over containers is mirrored onto
// drive i. All members or none.
void generateMirror2(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kRefused;
    if (q.input == nullptr || q.inputSize < kMirrorCommandBytes)
        return;
    const uint32_t number = getLe16(q.input);
    const uint32_t n = getLe16(q.input + 2);
    auto it = changeable(c, number, r);
    if (it == c.objects.end())
        return;
    Line top;
    if (!parseLine(it->second, &top) || n == 0 || n > kMaxMirrorDrives || top.members.size() != n)
        return;
    const ConfigView v = configurationOf(c);
    std::vector<std::pair<std::string, std::string>> changes;
    for (uint32_t i = 0; i < n; ++i) {
        auto member = c.objects.find(top.members[i]);
        Line line;
        if (!isContainerMember(top.members[i]) || member == c.objects.end() || !parseLine(member->second, &line) ||
            !addMirror(v, &line, getLe32(q.input + kMirrorSlicesAt + 4 * i)))
            return;
        changes.emplace_back(member->first, line.text());
    }
    for (const auto& [key, text] : changes)
        c.objects[key] = text;
    ++c.configAge;
    r.status = kMirrorMade;
}

// CT 44: parameter 0 a volume set, parameter 1 the slice of the drive that
// extends it, parameter 2 the extension in blocks. The firmware places the
// extension; the configuration keeps extents of one length per member, so
// the request is kept for its words and the volume answers as it stands.
void volumeAdd(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    auto it = changeable(c, q.param[0], r);
    if (it == c.objects.end())
        return;
    Line line;
    std::string address;
    if (!parseLine(it->second, &line) || line.level != "volume" || q.param[2] == 0 ||
        !driveOfSlice(configurationOf(c), q.param[1], &address)) {
        r.status = kRefused;
        return;
    }
    r.status = kVolumeAdded;
}

// CT 24: a mirror keeps its first drive as a volume of the mirror's size.
void unmirror(ControllerState& c, const CtRequest& q, CtReply& r)
{
    auto it = changeable(c, q.param[0], r);
    if (it == c.objects.end())
        return;
    Line line;
    const ConfigView v = configurationOf(c);
    const LogDevView* l = topOf(v, q.param[0]);
    if (!parseLine(it->second, &line) || line.level != "raid1" || line.members.size() != 2 || l == nullptr) {
        r.status = kRefused;
        return;
    }
    line.level = "volume";
    line.members.resize(1);
    line.setPair("size", std::to_string(l->blocks) + "s");
    c.objects.set(it->first, line.text());
    ++c.configAge;
    r.status = kUnmirrored;
}

// A change stands only when its answer leaves as the success: a fault that
// turns the reply into another status or a transport failure takes it back.
void addChange(Dispatcher& dispatcher, uint32_t code, uint32_t success, CtHandler handler)
{
    dispatcher.add(HandlerKind::Class2, code, [code, success, h = std::move(handler)](FibCall& call) {
        ControllerState& c = call.controller();
        auto objects = c.objects;
        auto settings = c.containerSettings;
        const uint32_t age = c.configAge;
        answerCt(call, code, h);
        call.onFinal([objects = std::move(objects), settings = std::move(settings), age, success](FibCall& final) {
            if (final.word(0) == 0 && final.word(2) == success)
                return;
            final.controller().objects = objects;
            final.controller().containerSettings = settings;
            final.controller().configAge = age;
        });
    });
}

}  // namespace

void registerSecondaryContainerHandlers(Dispatcher& dispatcher)
{
    addChange(dispatcher, 21, kMoved, moveContainer);
    addChange(dispatcher, 24, kUnmirrored, unmirror);
    addChange(dispatcher, 26, kMirrorMade, generateMirror);
    addCtHandler(dispatcher, 44, volumeAdd);
    addChange(dispatcher, 27, kMirrorMade, generateMirror2);
    addChange(dispatcher, 171, kVolumeSetMade, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        createSecondary(c, q, r, false);
    });
    addChange(dispatcher, 172, kStripeSetMade, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        createSecondary(c, q, r, true);
    });
}

}  // namespace vyn::hostsim
