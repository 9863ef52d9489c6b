// Containers at work: forcing a failed container online (CT 224, sent as a
// plain FIB: words 2, 224, number, unique id, mode, flags, list age), the
// online morph (CT 109 and its 64-bit form CT 252), which starts a morph task
// from the container to its new layout, and the adapter's background verify
// (CT 173), whose switch starts and ends the adapter verify task.
#include "platform/hostsim/fw/ContainerActivity.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kRunning = ControllerState::Task::kRunning;
constexpr uint32_t kSuspended = ControllerState::Task::kSuspended;
constexpr uint32_t kDoneOk = 1;
constexpr uint32_t kNone = 0xFFFFFFFFu;

// Force-online answers.
constexpr uint32_t kForcedOnline = 287;
constexpr uint32_t kListAgeChanged = 390;
constexpr uint32_t kNoSuchContainer = 393;
constexpr uint32_t kBadUid = 394;
constexpr uint32_t kAlreadyOnline = 395;

// Morph answers: started, and a container the controller does not have.
constexpr uint32_t kMorphStarted = 253;
constexpr uint32_t kMorphRefused = 194;
// A morph request: container at 0, member count at 8; CT 252 keeps the size
// as a u64 at 16, so it is four bytes longer.
constexpr size_t kMorphBytes = 152;
constexpr size_t kMorph64Bytes = 156;

// Destinations of a morph are logical devices of their own, apart from the
// handles of containers and legs.
constexpr uint32_t kMorphDestinationHandles = kFirstLogDevHandle + 0x2000;

// Logical-device record fields written here.
constexpr size_t kRecRaidType = 48;
constexpr size_t kRecFlags1 = 88;
constexpr size_t kRecForceOnlineFlags = 108;
constexpr size_t kRecTaskType = 120;
constexpr size_t kRecTaskState = 128;
constexpr size_t kRecTaskPriority = 132;
constexpr size_t kRecMorphSource = 224;
constexpr size_t kRecMorphDestination = 228;
constexpr uint32_t kFlags1ReedSolomon = 0x400;
constexpr uint32_t kTaskTypeMorph = 3;

using Task = ControllerState::Task;

bool active(const Task& t) { return t.status == kRunning || t.status == kSuspended; }

uint32_t newTaskId(const ControllerState& c) { return c.tasks.empty() ? 1 : c.tasks.rbegin()->first + 1; }

const LogDevView* topLevel(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.number == number && l.parent == kNone)
            return &l;
    return nullptr;
}

// The `state=` word of a container's description line ("" when none).
std::string stateOf(const ControllerState& c, uint32_t number)
{
    auto it = c.objects.find("ld" + std::to_string(number));
    if (it == c.objects.end())
        return "";
    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
    splitShorthand(it->second, &words, &pairs);
    return pairs["state"];
}

void setState(ControllerState& c, uint32_t number, const std::string& state)
{
    const std::string key = "ld" + std::to_string(number);
    std::string line = c.objects.count(key) != 0 ? c.objects.at(key) : std::string();
    const size_t at = line.find(" state=");
    if (at != std::string::npos) {
        const size_t end = line.find(' ', at + 1);
        line.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    c.objects.set(key, line + " state=" + state);
}

// CT 224: a container that failed comes back on line; the request must
// name it by its unique id, or by its logical-device handle (the identifier
// word of the container records the newer configuration interface gives),
// and carry the age of the lists it was read from.
void forceOnline(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t number = call.word(2);
    const uint32_t uid = call.word(3);
    const uint32_t flags = call.word(5);
    const uint32_t age = call.word(6);
    uint32_t status = kForcedOnline;
    const ConfigView v = configurationOf(c);
    const LogDevView* container = topLevel(v, number);
    if (container == nullptr) {
        status = kNoSuchContainer;
    } else if (uid != kFirstUniqueId + number && uid != container->handle) {
        status = kBadUid;
    } else if (age != containerListAge(c)) {
        status = kListAgeChanged;
    } else {
        const std::string state = stateOf(c, number);
        if (state != "failed" && state != "offline") {
            status = kAlreadyOnline;
        } else {
            setState(c, number, "optimal");
            c.containerSettings[number].forceOnlineFlags = flags;
            ++c.configAge;
            call.markChanged();
        }
    }
    call.setWord(0, 0);
    call.setWord(1, 224);
    call.setWord(2, status);
}

// CT 109 and 252: the morph runs as a task on the container; the record
// names the container as the source and a new device as the destination
// while it runs.
void morph(ControllerState& c, const CtRequest& q, CtReply& r, size_t bytes)
{
    keepCtRequest(c, q);
    r.status = kMorphRefused;
    if (q.input == nullptr || q.inputSize < std::min<size_t>(bytes, 24))
        return;
    const uint32_t number = getLe32(q.input);
    const ConfigView v = configurationOf(c);
    const LogDevView* l = topLevel(v, number);
    if (l == nullptr)
        return;
    ControllerState::ContainerSettings& s = c.containerSettings[number];
    auto running = c.tasks.find(s.morphTask);
    if (s.morphTask != 0 && running != c.tasks.end() && active(running->second)) {
        // One morph at a time: the controller reports it busy.
        r.status = 256;
        return;
    }
    const uint32_t id = newTaskId(c);
    Task& t = c.tasks[id];
    t.job = kJobMorph;
    t.object = number;
    t.status = kRunning;
    t.total = std::max<uint64_t>(l->blocks, 1);
    t.atMs = c.clockMs;
    s.morphTask = id;
    s.morphSource = l->handle;
    s.morphDestination = kMorphDestinationHandles + number;
    r.status = kMorphStarted;
}

// CT 173: on starts the adapter's verify task unless one runs; off ends it.
void verify(ControllerState& c, const CtRequest& q, CtReply& r)
{
    c.verifyOn = q.param[0] != 0;
    auto it = c.tasks.find(c.verifyTask);
    const bool running = c.verifyTask != 0 && it != c.tasks.end() && active(it->second);
    if (c.verifyOn && !running) {
        const uint32_t id = newTaskId(c);
        Task& t = c.tasks[id];
        t.job = kJobAdapterVerify;
        t.object = kNone;
        t.status = kRunning;
        t.total = 1000;
        t.atMs = c.clockMs;
        c.verifyTask = id;
    } else if (!c.verifyOn && running) {
        it->second.status = kDoneOk;
        it->second.done = it->second.total;
        c.verifyTask = 0;
    }
    r.status = kNewSuccess;
}

}  // namespace

void addContainerActivity(const ControllerState& c, const LogDevView& l, uint8_t* record)
{
    auto it = c.objects.find("ld" + std::to_string(l.number));
    if (l.parent == kNone && it != c.objects.end() && it->second.find(" rs=1") != std::string::npos &&
        (l.raidType == 11 || l.raidType == 12)) {
        putLe32(record + kRecRaidType, l.raidType + 2);
        putLe32(record + kRecFlags1, getLe32(record + kRecFlags1) | kFlags1ReedSolomon);
    }
    auto s = c.containerSettings.find(l.number);
    if (l.parent != kNone || s == c.containerSettings.end())
        return;
    putLe32(record + kRecForceOnlineFlags, s->second.forceOnlineFlags);
    putLe32(record + kRecTaskPriority, s->second.taskPriority);
    auto task = c.tasks.find(s->second.morphTask);
    if (s->second.morphTask != 0 && task != c.tasks.end() && active(task->second)) {
        putLe32(record + kRecTaskType, kTaskTypeMorph);
        putLe32(record + kRecTaskState, 1);
        putLe32(record + kRecMorphSource, s->second.morphSource);
        putLe32(record + kRecMorphDestination, s->second.morphDestination);
    }
}

void registerContainerActivityHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Class2, 224, [](FibCall& call) { forceOnline(call); });
    addCtHandler(dispatcher, 109, [](ControllerState& c, const CtRequest& q, CtReply& r) { morph(c, q, r, kMorphBytes); });
    addCtHandler(dispatcher, 252,
                 [](ControllerState& c, const CtRequest& q, CtReply& r) { morph(c, q, r, kMorph64Bytes); });
    addCtHandler(dispatcher, 173, verify);
}

}  // namespace vyn::hostsim
