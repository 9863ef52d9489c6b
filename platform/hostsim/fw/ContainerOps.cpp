// The one-command container operations, container names, cache settings and
// statistics, whether a container number is in use, and background
// verification: each answers the success status
// the library expects and keeps its effect in the controller's container
// settings. Deletion (CT 17) takes the container away; the verify priority
// (CT 205) answers without fuller effects (checks and zeroing, which start
// tasks, are in ContainerTasks.cpp). The boot
// record (CT 6) and the physical-device operations (CT 251) change drives:
// their effects stay in the drives' object lines.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kNotFound = 194;
constexpr size_t kNameBytes = 16;
constexpr size_t kSnapshotInfoBytes = 96;
constexpr size_t kStatsHeader = 96;
constexpr size_t kStatsEntry = 92;
constexpr size_t kStatsBuffered = 88;
constexpr size_t kPhyDevHeader = 8;
constexpr uint32_t kAllDevices = 0xFFFFFFFFu;

bool exists(const ControllerState& c, uint32_t number)
{
    const ConfigView v = configurationOf(c);
    return std::any_of(v.logDevs.begin(), v.logDevs.end(), [&](const LogDevView& l) { return l.number == number; });
}

ControllerState::ContainerSettings& settingsOf(ControllerState& c, uint32_t number)
{
    return c.containerSettings[number];
}

// A handler that answers `success` for an existing container and 194 for
// any other number.
CtHandler onContainer(uint32_t success, void (*effect)(ControllerState&, const CtRequest&) = nullptr)
{
    return [success, effect](ControllerState& c, const CtRequest& q, CtReply& r) {
        if (!exists(c, q.param[0])) {
            r.status = kNotFound;
            return;
        }
        if (effect != nullptr)
            effect(c, q);
        r.status = success;
    };
}

CtHandler answer(uint32_t status)
{
    return [status](ControllerState&, const CtRequest&, CtReply& r) { r.status = status; };
}

void readName(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    auto l = std::find_if(v.logDevs.begin(), v.logDevs.end(),
                          [&](const LogDevView& d) { return d.number == q.param[0]; });
    if (l == v.logDevs.end()) {
        r.status = kNotFound;
        return;
    }
    const ControllerState::ContainerSettings& s = settingsOf(c, q.param[0]);
    const std::string& name = s.named ? s.name : l->name;
    r.data.assign(kNameBytes, 0);
    std::memcpy(r.data.data(), name.data(), std::min(name.size(), kNameBytes));
    r.status = kNewSuccess;
}

void writeName(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (!exists(c, q.param[0])) {
        r.status = kNotFound;
        return;
    }
    ControllerState::ContainerSettings& s = settingsOf(c, q.param[0]);
    const size_t n = std::min(q.inputSize, kNameBytes);
    const char* text = reinterpret_cast<const char*>(q.input);
    s.name.assign(text, strnlen(text, n));
    s.named = true;
    r.status = kNewSuccess;
}

void readUserFlags(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (!exists(c, q.param[0])) {
        r.status = kNotFound;
        return;
    }
    r.result1 = settingsOf(c, q.param[0]).userFlags;
    r.status = 237;
}

void getDelay(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.result1 = settingsOf(c, q.param[0]).delay;
    r.status = 0;
}

// The 28-byte request: container, read-cache word, write-cache word.
void cacheSet(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (!exists(c, q.param[0]) || q.inputSize < 12) {
        r.status = kNotFound;
        return;
    }
    ControllerState::ContainerSettings& s = settingsOf(c, q.param[0]);
    s.readCache = static_cast<uint8_t>(getLe32(q.input + 4));
    s.writeCache = static_cast<uint8_t>(getLe32(q.input + 8));
    r.status = 264;
}

// Statistics of the reply's capacity: a header, then one 92-byte entry per
// container number; words 88, 96 and 100 of an entry: buffers held, read
// and write cache settings.
void cacheStats(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.data.assign(q.capacity, 0);
    for (const auto& [number, s] : c.containerSettings) {
        const size_t entry = kStatsEntry * number;
        if (kStatsHeader + entry + 8 > r.data.size())
            continue;
        putLe32(r.data.data() + kStatsBuffered + entry, s.buffered);
        putLe32(r.data.data() + kStatsHeader + entry, s.readCache);
        putLe32(r.data.data() + kStatsHeader + entry + 4, s.writeCache);
    }
    r.status = kNewSuccess;
    // A long reply hands back result word 2 in place of the status.
    r.result2 = r.status;
}

void cacheToss(ControllerState& c, const CtRequest& q, CtReply& r)
{
    auto it = c.containerSettings.find(q.param[0]);
    if (it != c.containerSettings.end())
        it->second.buffered = 0;
    r.status = kNewSuccess;
}

void verifyDelay(ControllerState& c, const CtRequest& q, CtReply& r)
{
    c.verifyPriority = q.param[0];
    r.status = 0;
}

// The key of the drive present with that slice, or "".
std::string driveWithSlice(const ControllerState& c, uint32_t slice)
{
    for (const DriveView& d : configurationOf(c).drives)
        if (d.sliceType != 0 && !d.missing && d.slice == slice)
            return "drive" + std::to_string(d.index);
    return "";
}

// The controller's boot record on a drive makes it a drive initialised for
// containers, a pass-through drive included.
void initialiseDrive(ControllerState& c, const std::string& key) { setObjectPair(c, key, "jbod", ""); }

// CT 6: the boot record onto the drive of slice parameter 0 (parameter 2
// the word it carries). The library reads no status; a slice without a
// drive is left as it is.
void writeBootRecord(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    const std::string key = driveWithSlice(c, q.param[0]);
    if (!key.empty())
        initialiseDrive(c, key);
    r.status = 0;
}

// Operations on a list of drives, named by their slices: initialise (the
// boot record written), protect and unprotect.
constexpr uint8_t kPhyDevInitialise = 0;
constexpr uint8_t kPhyDevProtect = 1;
constexpr uint8_t kPhyDevUnprotect = 2;

// Acts on the drives of the listed slices and answers the slices it could
// not handle (those without a drive), in the order given, each once: the
// library hands the answer back as the drives that failed.
std::vector<uint32_t> actOnSlices(ControllerState& c, uint8_t operation, const std::vector<uint32_t>& slices)
{
    std::vector<uint32_t> failed;
    for (uint32_t slice : slices) {
        const std::string key = driveWithSlice(c, slice);
        if (key.empty()) {
            if (std::find(failed.begin(), failed.end(), slice) == failed.end())
                failed.push_back(slice);
        } else if (operation == kPhyDevInitialise) {
            initialiseDrive(c, key);
        } else {
            setObjectPair(c, key, "protected", operation == kPhyDevProtect ? "1" : "");
        }
    }
    return failed;
}

// CT 251: the request's count and entries, or every drive's handle for
// 0xFFFFFFFF. Initialise, protect and unprotect name drives by their slices
// and answer the slices they could not handle; other operations echo the
// entries.
void phyDevOperation(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    std::vector<uint32_t> handles;
    const uint32_t count = q.inputSize >= kPhyDevHeader ? getLe32(q.input + 4) : 0;
    const uint8_t operation = q.inputSize >= 2 ? q.input[1] : 0xFF;
    if (count == kAllDevices) {
        for (const DriveView& d : configurationOf(c).drives)
            handles.push_back(d.handle());
    } else {
        for (uint32_t i = 0; i < count && kPhyDevHeader + 4 * (i + 1) <= q.inputSize; ++i)
            handles.push_back(getLe32(q.input + kPhyDevHeader + 4 * i));
        if (operation == kPhyDevInitialise || operation == kPhyDevProtect || operation == kPhyDevUnprotect)
            handles = actOnSlices(c, operation, handles);
    }
    r.data.assign(std::max<size_t>(q.capacity, kPhyDevHeader), 0);
    r.data[0] = 1;
    const size_t room = (r.data.size() - kPhyDevHeader) / 4;
    const size_t n = std::min(handles.size(), room);
    putLe32(r.data.data() + 4, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i)
        putLe32(r.data.data() + kPhyDevHeader + 4 * i, handles[i]);
    r.status = kNewSuccess;
    r.result2 = r.status;
}

// The 28-byte snapshot request: the snapshot's number first, the container
// it stands over second.
void makeSnapshot(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (q.inputSize >= 8)
        settingsOf(c, getLe32(q.input)).snapshotOf = getLe32(q.input + 4);
    r.status = 232;
}

void removeSnapshot(ControllerState& c, const CtRequest& q, CtReply& r)
{
    auto it = c.containerSettings.find(q.param[0]);
    if (it != c.containerSettings.end())
        it->second.snapshotOf = 0xFFFFFFFFu;
    r.status = 234;
}

// The containers a container over containers ("ldK = volume ldA,ldB") is
// built of, and theirs in turn, each once; none for a container of drives.
std::vector<uint32_t> containerMembersOf(const ControllerState& c, uint32_t number)
{
    std::vector<uint32_t> found;
    std::vector<uint32_t> pending{number};
    while (!pending.empty()) {
        const uint32_t at = pending.back();
        pending.pop_back();
        auto line = c.objects.find("ld" + std::to_string(at));
        if (line == c.objects.end())
            continue;
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        splitShorthand(line->second, &words, &pairs);
        if (words.size() < 2)
            continue;
        std::istringstream list(words[1]);
        std::string member;
        while (std::getline(list, member, ',')) {
            if (member.size() < 3 || member.compare(0, 2, "ld") != 0 ||
                member.find_first_not_of("0123456789", 2) != std::string::npos)
                continue;
            const uint32_t m = static_cast<uint32_t>(std::strtoul(member.c_str() + 2, nullptr, 10));
            if (m != number && std::find(found.begin(), found.end(), m) == found.end()) {
                found.push_back(m);
                pending.push_back(m);
            }
        }
    }
    return found;
}

bool isLocked(const ControllerState& c, uint32_t number)
{
    auto s = c.containerSettings.find(number);
    return s != c.containerSettings.end() && s->second.locked;
}

// One container's line and everything kept for it: settings, power
// management record, cache-pool mode and the tasks running on it.
void forgetContainer(ControllerState& c, uint32_t number)
{
    c.objects.erase("ld" + std::to_string(number));
    c.containerSettings.erase(number);
    c.pmRecords.erase(number);
    c.poolCacheMode.erase(number);
    for (auto t = c.tasks.begin(); t != c.tasks.end();) {
        const bool containerJob = t->second.job >= 100 && t->second.job != 400;
        t = containerJob && t->second.object == number ? c.tasks.erase(t) : std::next(t);
    }
}

// CT 17: the container goes with what it holds: its partitions, legs and list
// entries (all computed from its description line), its settings, power
// management record, cache-pool mode and the tasks running on it. A RAID
// volume takes its member containers with it, as a two-level container takes
// its legs: the library hides them at numbers above the accessible ones when
// it builds the volume, so once the volume is gone no command could reach
// them or free their space. Parameter 2 is 2 for a forced destruction; a
// locked container, or a locked member, is refused unless forced. The
// controller's container-delete events follow from the transport, which sees
// the containers go.
void destroyContainer(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    const uint32_t number = q.param[0];
    if (c.objects.count("ld" + std::to_string(number)) == 0) {
        r.status = kNotFound;
        return;
    }
    std::vector<uint32_t> going = containerMembersOf(c, number);
    going.insert(going.begin(), number);
    if (q.param[2] != 2 && std::any_of(going.begin(), going.end(), [&](uint32_t n) { return isLocked(c, n); })) {
        r.status = 3;
        return;
    }
    for (uint32_t n : going)
        forgetContainer(c, n);
    ++c.configAge;
    r.status = 59;
}

}  // namespace

void registerContainerOpHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 6, writeBootRecord);
    addCtHandler(dispatcher, 17, destroyContainer);
    addCtHandler(dispatcher, 21, onContainer(64));
    addCtHandler(dispatcher, 24, onContainer(89));
    // The delay paces the container's tasks: its record reports it as their
    // priority from then on.
    addCtHandler(dispatcher, 25, onContainer(0, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).delay = q.param[1];
        settingsOf(c, q.param[0]).taskPriority = q.param[1];
    }));
    addCtHandler(dispatcher, 26, answer(37));
    addCtHandler(dispatcher, 27, answer(37));
    addCtHandler(dispatcher, 44, onContainer(131));
    addCtHandler(dispatcher, 48, answer(24));
    addCtHandler(dispatcher, 49, onContainer(13, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).locked = false;
    }));
    addCtHandler(dispatcher, 50, onContainer(11, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).locked = true;
    }));
    addCtHandler(dispatcher, 51, onContainer(141, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).readOnly = true;
    }));
    addCtHandler(dispatcher, 52, onContainer(141, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).readOnly = false;
    }));
    addCtHandler(dispatcher, 58, getDelay);
    addCtHandler(dispatcher, 71, onContainer(186));
    addCtHandler(dispatcher, 90, [](ControllerState&, const CtRequest& q, CtReply& r) {
        r.data.assign(q.capacity, 0);
        r.status = 208;
        r.result2 = r.status;
    });
    addCtHandler(dispatcher, 98, onContainer(216));
    addCtHandler(dispatcher, 104, makeSnapshot);
    addCtHandler(dispatcher, 105, removeSnapshot);
    addCtHandler(dispatcher, 106, onContainer(236, [](ControllerState& c, const CtRequest& q) {
        settingsOf(c, q.param[0]).userFlags = static_cast<uint16_t>(q.param[1]);
    }));
    addCtHandler(dispatcher, 107, readUserFlags);
    addCtHandler(dispatcher, 110, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        r.data.assign(kSnapshotInfoBytes, 0);
        r.status = exists(c, q.param[0]) ? 262 : kNotFound;
    });
    addCtHandler(dispatcher, 111, cacheSet);
    addCtHandler(dispatcher, 112, cacheStats);
    // A restore brings the dead members back.
    addCtHandler(dispatcher, 120, onContainer(287, [](ControllerState& c, const CtRequest& q) {
        auto s = c.containerSettings.find(q.param[0]);
        if (s != c.containerSettings.end() && !s->second.deadMembers.empty()) {
            s->second.deadMembers.clear();
            ++c.configAge;
        }
    }));
    addCtHandler(dispatcher, 130, readName);
    addCtHandler(dispatcher, 131, writeName);
    addCtHandler(dispatcher, 132, cacheToss);
    addCtHandler(dispatcher, 133, onContainer(308));
    addCtHandler(dispatcher, 134, onContainer(309));
    addCtHandler(dispatcher, 143, onContainer(314));
    addCtHandler(dispatcher, 149, onContainer(253));
    addCtHandler(dispatcher, 152, answer(kNewSuccess));
    // Whether a container number is in use: non-zero when it is.
    addCtHandler(dispatcher, 153, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        r.status = exists(c, q.param[0]) ? 1 : 0;
    });
    addCtHandler(dispatcher, 155, answer(kNewSuccess));
    addCtHandler(dispatcher, 205, verifyDelay);
    addCtHandler(dispatcher, 207, answer(kNewSuccess));
    addCtHandler(dispatcher, 251, phyDevOperation);
}

}  // namespace vyn::hostsim
