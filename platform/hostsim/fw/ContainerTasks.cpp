// Tasks the controller runs on its containers: the consistency check with or
// without repair (CT 141, 142, 61, 67) and the zeroing of a whole container
// (CT 59), each a task of the container's kind that ends on the simulated
// clock or by a command; and the rebuild that keeps a redundant container
// whole: onto a hot spare that takes a failed member's place, or onto a
// member that came back.
#include "platform/hostsim/fw/ContainerTasks.h"

#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/ContainerActivity.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/Spares.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

using Task = ControllerState::Task;

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Job codes, as the firmware's job descriptions name them.
constexpr uint32_t kJobZero = 101;
constexpr uint32_t kJobMirrorScrub = 105;
constexpr uint32_t kJobRaid5Rebuild = 106;
constexpr uint32_t kJobRaid5Scrub = 107;
constexpr uint32_t kJobMirrorRebuild = 110;
constexpr uint32_t kJobRaid6Rebuild = 115;
constexpr uint32_t kJobRaid6Scrub = 116;
// A check that repairs nothing says so in its second task-specific value.
constexpr uint32_t kCheckOnly = 0x2;
// A task that ended in failure.
constexpr uint32_t kDoneWithErrors = 2;
constexpr uint64_t kFinalReportMs = 1000;

// Container statuses.
constexpr uint32_t kScrubStarted = 163;
constexpr uint32_t kWrongState = 176;
constexpr uint32_t kNotFound = 194;
constexpr uint32_t kWholeZeroStarted = 159;
constexpr uint32_t kWholeZeroNoContainer = 161;
constexpr uint32_t kAreaCleared = 153;
constexpr uint32_t kAreaNoContainer = 154;
constexpr uint32_t kZeroRefused = 0;
constexpr uint32_t kWholeContainer = 0xFFFFFFFFu;

constexpr uint32_t kDiskFailure = 5;
constexpr uint32_t kSliceForContainers = 6;
constexpr uint64_t kLeadBlocks = 128;

uint32_t handleOf(const DeviceView& d) { return d.bus << 24 | d.lun << 16 | d.target; }

// The drive a device handle names, or null.
const DeviceView* driveWithHandle(const std::vector<DeviceView>& devices, uint32_t handle)
{
    for (const DeviceView& d : devices)
        if (d.key.compare(0, 5, "drive") == 0 && handleOf(d) == handle)
            return &d;
    return nullptr;
}

bool answers(const std::vector<DeviceView>& devices, uint32_t handle)
{
    const DeviceView* d = driveWithHandle(devices, handle);
    return d != nullptr && d->answers();
}

const LogDevView* logDevWithNumber(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.number == number)
            return &l;
    return nullptr;
}

// The level that keeps the data of a container: its own, or its legs'.
uint32_t redundantType(const ConfigView& v, const LogDevView& l)
{
    for (const LogDevView::Member& m : l.members)
        if (m.phy == kNone)
            if (const LogDevView* leg = logDevWithHandle(v, m.log))
                return leg->raidType;
    return l.raidType;
}

uint32_t scrubJob(uint32_t raidType)
{
    switch (raidType) {
    case 3: case 5: return kJobMirrorScrub;
    case 7: case 9: return kJobRaid5Scrub;
    case 11: case 13: return kJobRaid6Scrub;
    default: return 0;
    }
}

uint32_t rebuildJob(uint32_t raidType)
{
    switch (raidType) {
    case 3: case 5: return kJobMirrorRebuild;
    case 7: case 9: return kJobRaid5Rebuild;
    case 11: case 13: return kJobRaid6Rebuild;
    default: return 0;
    }
}

// How many of its members a logical device can lose and keep its data.
size_t tolerated(const LogDevView& l)
{
    switch (l.raidType) {
    case 3: return l.members.empty() ? 0 : l.members.size() - 1;
    case 5: case 7: case 9: return 1;
    case 11: case 13: return 2;
    default: return 0;
    }
}

// The container and its legs.
std::vector<const LogDevView*> withLegs(const ConfigView& v, const LogDevView& l)
{
    std::vector<const LogDevView*> out{&l};
    for (const LogDevView& leg : v.logDevs)
        if (leg.parent == l.handle)
            out.push_back(&leg);
    return out;
}

// A task that has not ended runs on the container or one of its legs.
bool busy(const ControllerState& c, const ConfigView& v, const LogDevView& l)
{
    const std::vector<const LogDevView*> parts = withLegs(v, l);
    for (const auto& [id, t] : c.tasks)
        if (t.job >= 100 && t.job != kJobAdapterVerify && !taskFinished(t) &&
            std::any_of(parts.begin(), parts.end(), [&t](const LogDevView* p) { return p->number == t.object; }))
            return true;
    return false;
}

// Every member answers and none waits for its data.
bool whole(const ControllerState& c, const ConfigView& v, const LogDevView& l)
{
    const SharedList<DeviceView> devices = devicesOf(c);
    for (const LogDevView* part : withLegs(v, l)) {
        auto s = c.containerSettings.find(part->number);
        if (s != c.containerSettings.end() && s->second.rebuildDrive != kNone)
            return false;
        for (const LogDevView::Member& m : part->members)
            if (m.phy != kNone && !answers(devices, m.phy))
                return false;
    }
    return true;
}

uint32_t startTask(ControllerState& c, uint32_t job, uint32_t object, uint64_t total)
{
    const uint32_t id = c.tasks.empty() ? 1 : c.tasks.rbegin()->first + 1;
    // A new task runs: its report status is the one a task starts with.
    Task& t = c.tasks[id];
    t.job = job;
    t.object = object;
    t.total = std::max<uint64_t>(total, 1);
    t.atMs = c.clockMs;
    return id;
}

bool activeTask(const ControllerState& c, uint32_t id)
{
    auto it = c.tasks.find(id);
    return id != 0 && it != c.tasks.end() && !taskFinished(it->second);
}

// CT 141, 142 (check) and 61, 67 (check and repair): the container's
// consistency check. Only a redundant container with every member in place
// and nothing else running is checked.
void check(ControllerState& c, const CtRequest& q, CtReply& r, bool repair)
{
    const ConfigView v = configurationOf(c);
    const LogDevView* l = logDevWithNumber(v, q.param[0]);
    if (l == nullptr) {
        r.status = kNotFound;
        return;
    }
    const uint32_t job = scrubJob(redundantType(v, *l));
    if (job == 0 || busy(c, v, *l) || !whole(c, v, *l)) {
        r.status = kWrongState;
        return;
    }
    const uint32_t id = startTask(c, job, l->number, l->blocks);
    if (!repair)
        c.tasks[id].specific[1] = kCheckOnly;
    r.status = kScrubStarted;
}

std::string hostStateOf(const ControllerState& c, uint32_t number)
{
    for (const ContainerHostView& h : containersOf(c))
        if (h.number == number)
            return h.host;
    return "";
}

// CT 59: parameter 1 = 0xFFFFFFFF zeroes the whole container as a task; any
// other value clears its file-system area at once. The container's data go
// from the start (its image with them); the host, which the library takes
// the disk from, sees it again when the zeroing ends.
void zero(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const bool whole = q.param[1] == kWholeContainer;
    const ConfigView v = configurationOf(c);
    const LogDevView* l = logDevWithNumber(v, q.param[0]);
    if (l == nullptr) {
        r.status = whole ? kWholeZeroNoContainer : kAreaNoContainer;
        return;
    }
    if (!whole) {
        r.status = kAreaCleared;
        return;
    }
    if (busy(c, v, *l)) {
        r.status = kZeroRefused;
        return;
    }
    const uint32_t number = l->number;
    const uint64_t blocks = l->blocks;
    c.containerSettings[number].clearHost = hostStateOf(c, number);
    setObjectPair(c, "ld" + std::to_string(number), "image", "");
    startTask(c, kJobZero, number, blocks);
    r.status = kWholeZeroStarted;
}

// The first and second words of an object line and where the second one
// stands: the level and the member list of a container line.
bool memberWord(const std::string& line, size_t* from, size_t* to)
{
    const auto space = [](char ch) { return ch == ' ' || ch == '\t'; };
    size_t i = 0;
    while (i < line.size() && space(line[i]))
        ++i;
    while (i < line.size() && !space(line[i]))
        ++i;
    while (i < line.size() && space(line[i]))
        ++i;
    size_t end = i;
    while (end < line.size() && !space(line[end]))
        ++end;
    *from = i;
    *to = end;
    return end > i && line.find('=', i) >= end;
}

std::string addressOf(const DriveView& d)
{
    char text[40];
    if (d.lun != 0)
        std::snprintf(text, sizeof text, "%u:%u:%u", d.bus, d.target, d.lun);
    else
        std::snprintf(text, sizeof text, "%u:%u", d.bus, d.target);
    return text;
}

bool sameAddress(const std::string& text, const DriveView& d)
{
    unsigned b = 0, t = 0, l = 0;
    const int n = std::sscanf(text.c_str(), "%u:%u:%u", &b, &t, &l);
    return n >= 2 && b == d.bus && t == d.target && (n == 3 ? l : 0) == d.lun;
}

// Puts drive `to` where drive `from` stands in the member list of the
// container line `key`; false when it does not stand there. A start the
// creation pinned for that member gives way to where the new drive's space
// begins.
bool replaceMember(ControllerState& c, const std::string& key, const DriveView& from, const DriveView& to)
{
    auto it = c.objects.find(key);
    if (it == c.objects.end())
        return false;
    std::string line = it->second;
    size_t begin = 0, end = 0;
    if (!memberWord(line, &begin, &end))
        return false;
    std::vector<std::string> members;
    for (size_t at = begin; at <= end;) {
        size_t comma = line.find(',', at);
        if (comma == std::string::npos || comma > end)
            comma = end;
        members.push_back(line.substr(at, comma - at));
        at = comma + 1;
    }
    auto found = std::find_if(members.begin(), members.end(),
                              [&from](const std::string& m) { return sameAddress(m, from); });
    if (found == members.end())
        return false;
    const size_t index = static_cast<size_t>(found - members.begin());
    *found = addressOf(to);
    std::string list;
    for (const std::string& m : members)
        list += (list.empty() ? "" : ",") + m;
    line.replace(begin, end - begin, list);
    c.objects.set(key, line);

    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
    splitShorthand(line, &words, &pairs);
    if (pairs.count("starts") != 0) {
        std::vector<std::string> starts;
        std::string start;
        std::istringstream in(pairs["starts"]);
        while (std::getline(in, start, ','))
            starts.push_back(start);
        if (index < starts.size()) {
            starts[index] = std::to_string(kLeadBlocks);
            std::string text;
            for (const std::string& s : starts)
                text += (text.empty() ? "" : ",") + s;
            setObjectPair(c, key, "starts", text);
        }
    }
    return true;
}

// Whether the drive holds a segment of any logical device.
bool holdsSegments(const ConfigView& v, uint32_t handle)
{
    for (const LogDevView& l : v.logDevs)
        for (const LogDevView::Member& m : l.members)
            if (m.phy == handle)
                return true;
    return false;
}

// A hot spare that can take a member of `blocks` blocks: one dedicated to one
// of `owners` first, a global one next, each in drive order.
const DriveView* spareFor(const ControllerState& c, const ConfigView& v, const std::vector<std::string>& owners,
                          uint64_t blocks)
{
    const SharedList<DeviceView> devices = devicesOf(c);
    for (const std::vector<std::string>& wanted : {owners, std::vector<std::string>{"global"}}) {
        for (const DriveView& d : v.drives) {
            const DeviceView* device = driveWithHandle(devices, d.handle());
            if (device == nullptr || !device->answers() || d.missing || d.sliceType != kSliceForContainers ||
                d.usable < blocks || holdsSegments(v, d.handle()))
                continue;
            const std::vector<std::string> standsBy = spareOwners(device->pair("spare"));
            if (std::any_of(wanted.begin(), wanted.end(), [&standsBy](const std::string& o) {
                    return std::find(standsBy.begin(), standsBy.end(), o) != standsBy.end();
                }))
                return &d;
        }
    }
    return nullptr;
}

// The top-level container a logical device belongs to.
const LogDevView& topOf(const ConfigView& v, const LogDevView& l)
{
    const LogDevView* top = &l;
    for (size_t depth = 0; top->parent != kNone && depth < 4; ++depth) {
        const LogDevView* up = logDevWithHandle(v, top->parent);
        if (up == nullptr)
            break;
        top = up;
    }
    return *top;
}

// A redundant logical device that lost a member takes a hot spare in its
// place (with automatic failover on) and rebuilds onto it. Its size stays as
// it was, whatever the spare holds beyond the member's extent.
bool rebuildOntoSpare(ControllerState& c, const ConfigView& v, const LogDevView& l)
{
    if (!c.autoFailover)
        return false;
    const SharedList<DeviceView> devices = devicesOf(c);
    std::vector<const LogDevView::Member*> lost;
    for (const LogDevView::Member& m : l.members)
        if (m.phy != kNone && !answers(devices, m.phy))
            lost.push_back(&m);
    if (lost.empty() || lost.size() > tolerated(l))
        return false;
    const LogDevView::Member& m = *lost.front();
    const DriveView* failed = nullptr;
    for (const DriveView& d : v.drives)
        if (d.handle() == m.phy)
            failed = &d;
    const LogDevView& top = topOf(v, l);
    const DriveView* spare =
        spareFor(c, v, {std::to_string(l.number), std::to_string(top.number)}, m.blocks);
    if (failed == nullptr || spare == nullptr)
        return false;
    const DriveView from = *failed;
    const DriveView to = *spare;
    const uint32_t number = l.number;
    const uint32_t job = rebuildJob(l.raidType);
    const uint64_t blocks = m.blocks;
    const uint64_t size = top.blocks;
    const bool oneLevel = top.handle == l.handle;
    // The line that lists the drive: the container's own or its top's.
    std::string key = "ld" + std::to_string(number);
    if (!replaceMember(c, key, from, to)) {
        key = "ld" + std::to_string(top.number);
        if (!replaceMember(c, key, from, to))
            return false;
    }
    if (oneLevel) {
        const LogDevView* now = logDevWithNumber(configurationOf(c), number);
        if (now != nullptr && now->blocks != size)
            setObjectPair(c, key, "size", std::to_string(size) + "s");
    }
    setObjectPair(c, "drive" + std::to_string(to.index), "spare", "");
    ControllerState::ContainerSettings& s = c.containerSettings[number];
    s.rebuildDrive = to.handle();
    s.rebuildTask = startTask(c, job, number, blocks);
    ++c.configAge;
    return true;
}

// One step of keeping the containers whole; true when it acted (the views
// are then computed anew before the next step).
bool keepRedundancyStep(ControllerState& c)
{
    const ConfigView v = configurationOf(c);
    const SharedList<DeviceView> devices = devicesOf(c);
    for (const LogDevView& l : v.logDevs) {
        if (tolerated(l) == 0)
            continue;
        auto found = c.containerSettings.find(l.number);
        if (found != c.containerSettings.end() && found->second.rebuildDrive != kNone) {
            ControllerState::ContainerSettings& s = found->second;
            const bool running = activeTask(c, s.rebuildTask);
            if (running && !answers(devices, s.rebuildDrive)) {
                // The drive being rebuilt failed in its turn: the rebuild
                // ends in failure, and the member is lost as any other.
                Task& t = c.tasks[s.rebuildTask];
                t.status = kDoneWithErrors;
                t.finalUntilMs = c.clockMs + kFinalReportMs;
                s.rebuildDrive = kNone;
                s.rebuildTask = 0;
                return true;
            }
            if (!running && s.rebuildTask == 0 && answers(devices, s.rebuildDrive)) {
                const auto m = std::find_if(l.members.begin(), l.members.end(),
                                            [&s](const LogDevView::Member& each) { return each.phy == s.rebuildDrive; });
                if (m == l.members.end()) {
                    s.rebuildDrive = kNone;
                } else {
                    const uint64_t blocks = m->blocks;
                    s.rebuildTask = startTask(c, rebuildJob(l.raidType), l.number, blocks);
                }
                return true;
            }
            continue;
        }
        if (rebuildOntoSpare(c, v, l))
            return true;
    }
    return false;
}

// What an ended task leaves on its container; true when it changed anything.
bool afterTasks(ControllerState& c)
{
    bool changed = false;
    const ConfigView v = configurationOf(c);
    for (auto& [number, s] : c.containerSettings) {
        const uint32_t n = number;
        if (!s.clearHost.empty() &&
            std::none_of(c.tasks.begin(), c.tasks.end(), [n](const std::pair<const uint32_t, Task>& t) {
                return t.second.job == kJobZero && t.second.object == n && !taskFinished(t.second);
            })) {
            // The zeroed container is the host's again, as it was.
            if (hostStateOf(c, n) == "deleted") {
                setContainerHost(c, n, s.clearHost);
                if (s.clearHost == "exposed" || s.clearHost == "open")
                    c.reexposed.push_back(n);
            }
            s.clearHost.clear();
            changed = true;
        }
        if (s.rebuildTask != 0 && !activeTask(c, s.rebuildTask)) {
            auto t = c.tasks.find(s.rebuildTask);
            const bool rebuilt = t != c.tasks.end() && t->second.done >= t->second.total;
            if (!rebuilt) {
                // A rebuild ended short of its end leaves the member's data
                // dead.
                if (const LogDevView* l = logDevWithNumber(v, n))
                    for (size_t i = 0; i < l->members.size(); ++i)
                        if (l->members[i].phy == s.rebuildDrive &&
                            std::find(s.deadMembers.begin(), s.deadMembers.end(), i) == s.deadMembers.end())
                            s.deadMembers.push_back(static_cast<uint32_t>(i));
            }
            s.rebuildDrive = kNone;
            s.rebuildTask = 0;
            ++c.configAge;
            changed = true;
        }
    }
    return changed;
}

}  // namespace

bool settleTasks(ControllerState& c)
{
    bool changed = advanceTasks(c);
    changed = afterTasks(c) || changed;
    // Each step acts on one container; a controller has few.
    for (size_t steps = 0; steps < 64 && keepRedundancyStep(c); ++steps)
        changed = true;
    return changed;
}

bool failDrive(ControllerState& c, uint32_t handle)
{
    const SharedList<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveWithHandle(devices, handle);
    if (d == nullptr || !d->answers())
        return false;
    setObjectPair(c, d->key, "state", "failed");
    c.raisedAif.push_back(notificationFib(kDiskFailure, {handle}));
    return true;
}

bool enableDrive(ControllerState& c, uint32_t handle)
{
    const SharedList<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveWithHandle(devices, handle);
    if (d == nullptr)
        return false;
    const bool wasFailed = d->state == "failed";
    setObjectPair(c, d->key, "state", "");
    if (!wasFailed)
        return true;
    // Its data are as old as its failure: a container that kept working
    // without it rebuilds them before it counts on the drive again.
    const ConfigView v = configurationOf(c);
    for (const LogDevView& l : v.logDevs) {
        if (tolerated(l) == 0 ||
            std::none_of(l.members.begin(), l.members.end(),
                         [handle](const LogDevView::Member& m) { return m.phy == handle; }))
            continue;
        ControllerState::ContainerSettings& s = c.containerSettings[l.number];
        if (s.rebuildDrive == kNone) {
            s.rebuildDrive = handle;
            s.rebuildTask = 0;
        }
    }
    return true;
}

uint32_t segmentFlags(const ControllerState& c, const LogDevView& l, const LogDevView::Member& m)
{
    auto s = c.containerSettings.find(l.number);
    return s != c.containerSettings.end() && m.phy != kNone && s->second.rebuildDrive == m.phy ? 0x2 : 0;
}

bool taskWritesDrive(const ControllerState& c, uint32_t id, uint32_t driveHandle)
{
    return std::any_of(c.containerSettings.begin(), c.containerSettings.end(), [&](const auto& entry) {
        return entry.second.rebuildTask == id && entry.second.rebuildDrive == driveHandle;
    });
}

void registerContainerTaskHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 141, [](ControllerState& c, const CtRequest& q, CtReply& r) { check(c, q, r, false); });
    addCtHandler(dispatcher, 142, [](ControllerState& c, const CtRequest& q, CtReply& r) { check(c, q, r, false); });
    addCtHandler(dispatcher, 61, [](ControllerState& c, const CtRequest& q, CtReply& r) { check(c, q, r, true); });
    addCtHandler(dispatcher, 67, [](ControllerState& c, const CtRequest& q, CtReply& r) { check(c, q, r, true); });
    addCtHandler(dispatcher, 59, zero);
}

}  // namespace vyn::hostsim
