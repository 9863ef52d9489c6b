// What the adapter open reads beyond the identity and the first container
// commands: the extended supplement (FIB 707), the connector map (FIB 708),
// the RAID-6 family options (CT 217), the alarm (CT 190-192), pause and
// release (CT 65, 66), the bus reset (class 3 sub-command 22), client events
// (FIB 700 request 107) and the
// configuration records (CT 165, 229, 234, 247, 248, 249).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ConnectorMap.h"
#include "platform/hostsim/fw/ContainerActivity.h"
#include "platform/hostsim/fw/ContainerTasks.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/Enclosures.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kNotFound = 219;
constexpr uint32_t kOptionsOk = 192;
constexpr uint32_t kPauseDone = 173;
constexpr uint32_t kReleaseDone = 174;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint8_t kNoChannel = 0xFF;

// Alarm record flags and the answers of the alarm commands.
constexpr uint32_t kAlarmSoundOn = 0x1;
constexpr uint32_t kAlarmEnabled = 0x2;
constexpr uint32_t kAlarmSounding = 0x4;
constexpr uint32_t kAlarmDone = 1;
constexpr uint32_t kAlarmIsDisabled = 3;
constexpr uint32_t kNoAlarm = 4;

constexpr size_t kOptionEntryBytes = 36;
constexpr size_t kRaidOptionEntries = 6;
constexpr size_t kLogDevBytes = 432;
constexpr size_t kPhyDevBytes = 440;
constexpr size_t kSegmentBytes = 32;

void supplementExt(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    // Two expander WWNs derived from the serial.
    putLe32(p + 0, c.serial[0]);
    putLe32(p + 4, 0x50000000u);
    putLe32(p + 8, c.serial[0] + 1);
    putLe32(p + 12, 0x50000000u);
}

// Connector map: u32 1, byte 4 = A connectors, byte 5 = B lanes, B 12-byte
// lane entries from byte 8, A 16-byte connector entries, 12 zero bytes.
void connectorMap(FibCall& call)
{
    if (describedConnectorMap(call))
        return;
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    const uint32_t a = std::min<uint32_t>(c.sasPorts, 8);
    const uint32_t b = std::min<uint32_t>(c.ports, 64);
    if (20 + 16 * a + 12 * b > call.payloadSize())
        return;
    putLe32(p, 1);
    p[4] = static_cast<uint8_t>(a);
    p[5] = static_cast<uint8_t>(b);
    // The lanes lead to the controller's phys, not to drives: channel 0xFF
    // (the top byte of the lane's device word) is none, so a connector these
    // lanes make claims no drive of a channel.
    for (uint32_t i = 0; i < b; ++i) {
        uint8_t* lane = p + 8 + 12 * i;
        lane[0] = static_cast<uint8_t>(i);
        lane[1] = static_cast<uint8_t>(a > 0 ? i / std::max<uint32_t>(1, b / a) : 0);
        lane[3] = kNoChannel;
    }
    for (uint32_t i = 0; i < a; ++i) {
        uint8_t* con = p + 8 + 12 * b + 16 * i;
        con[0] = static_cast<uint8_t>(i);
        con[1] = static_cast<uint8_t>(b / std::max<uint32_t>(1, a));
    }
}

void putEntry(uint8_t* p, uint32_t minMembers, uint32_t maxMembers)
{
    putLe32(p + 0, minMembers);
    putLe32(p + 4, maxMembers);
    if (minMembers == kNone)
        return;
    putLe32(p + 8, 16);
    putLe32(p + 12, 2048);
    putLe32(p + 16, 16);
    putLe32(p + 20, 20480);
    putLe32(p + 24, kNone);
}

void raidOptions(ControllerState&, const CtRequest&, CtReply& r)
{
    r.status = kOptionsOk;
    r.data.assign(kRaidOptionEntries * kOptionEntryBytes, 0);
    uint8_t* p = r.data.data();
    putEntry(p + 0 * kOptionEntryBytes, 4, 32);  // RAID-6
    putEntry(p + 1 * kOptionEntryBytes, 4, 32);  // RAID-5EE
    putEntry(p + 2 * kOptionEntryBytes, 3, 32);  // RAID-1E
    for (size_t e = 3; e < kRaidOptionEntries; ++e)
        putEntry(p + e * kOptionEntryBytes, kNone, kNone);
}

uint32_t alarmFlags(const ControllerState& c)
{
    if (c.alarm == "off")
        return 0;
    if (c.alarm == "sounding")
        return kAlarmSoundOn | kAlarmEnabled | kAlarmSounding;
    return kAlarmEnabled;
}

void alarmGet(ControllerState& c, const CtRequest&, CtReply& r)
{
    if (c.alarm == "none") {
        r.status = kNoAlarm;
        return;
    }
    r.status = kAlarmDone;
    r.data.assign(8, 0);
    putLe32(r.data.data(), alarmFlags(c));
    putLe32(r.data.data() + 4, c.alarmSoundTime);
}

void alarmSetState(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (c.alarm == "none") {
        r.status = kNoAlarm;
        return;
    }
    const uint32_t flags = q.inputSize >= 4 ? getLe32(q.input) : 0;
    c.alarm = (flags & kAlarmEnabled) ? (c.alarm == "off" ? "on" : c.alarm) : "off";
    r.status = kAlarmDone;
}

void alarmOnOff(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (c.alarm == "none") {
        r.status = kNoAlarm;
        return;
    }
    if (c.alarm == "off") {
        r.status = kAlarmIsDisabled;
        return;
    }
    const uint32_t flags = q.inputSize >= 4 ? getLe32(q.input) : 0;
    c.alarm = (flags & kAlarmSoundOn) ? "sounding" : "on";
    if (flags & kAlarmSoundOn)
        c.alarmSoundTime = q.inputSize >= 8 ? getLe32(q.input + 4) : 0;
    r.status = kAlarmDone;
}

void pauseIo(ControllerState& c, const CtRequest&, CtReply& r)
{
    c.paused = true;
    c.pauseReleaseAtMs = 0;
    r.status = kPauseDone;
}

void releaseIo(ControllerState& c, const CtRequest&, CtReply& r)
{
    if (c.pauseReleaseMs == 0) {
        c.paused = false;
        c.pauseReleaseAtMs = 0;
    } else if (c.paused) {
        c.pauseReleaseAtMs = c.clockMs + c.pauseReleaseMs;
    }
    r.status = kReleaseDone;
}

void resetBus(FibCall& call)
{
    ControllerState& c = call.controller();
    ++c.resetCount;
    call.markChanged();
    std::memset(call.payload(), 0, 20);
}

// FIB 700 request 107: an event for the other clients (class at byte 8,
// details from byte 12, 56 bytes) goes out as a client-event FIB.
void clientEvent(FibCall& call)
{
    constexpr size_t kFib = 512;
    constexpr size_t kHeader = 32;
    constexpr size_t kDetails = 56;
    std::vector<uint8_t> fib(kFib, 0);
    putLe32(fib.data(), 0);
    putLe16(fib.data() + 4, 700);
    fib[6] = 1;
    putLe16(fib.data() + 8, static_cast<uint16_t>(12 + kDetails));
    putLe16(fib.data() + 10, static_cast<uint16_t>(kFib));
    putLe32(fib.data() + kHeader, 3);
    putLe32(fib.data() + kHeader + 8, call.word(2));
    for (size_t i = 0; i < kDetails / 4; ++i)
        putLe32(fib.data() + kHeader + 12 + 4 * i, call.word(3 + i));
    call.controller().raisedAif.push_back(std::move(fib));
    call.clearPayload();
}

// List 0: container numbers ascending; list 1: handles, top level first.
// Each {age, count, entries}, cut to the reply capacity.
void containerList(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    std::vector<uint32_t> entries;
    for (const LogDevView& l : v.logDevs)
        entries.push_back(q.param[0] == 0 ? l.number : l.handle);
    if (q.param[0] == 0)
        std::sort(entries.begin(), entries.end());
    else if (q.param[0] != 1) {
        r.status = kNotFound;
        return;
    }
    const size_t room = q.capacity >= 8 ? (q.capacity - 8) / 4 : 0;
    if (entries.size() > room)
        entries.resize(room);
    // The list commands carry their status in result word 2 as well.
    r.status = kNewSuccess;
    r.result2 = kNewSuccess;
    r.data.assign(8 + 4 * entries.size(), 0);
    putLe32(r.data.data(), containerListAge(c));
    putLe32(r.data.data() + 4, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i)
        putLe32(r.data.data() + 8 + 4 * i, entries[i]);
}

void uniqueId(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    r.status = kNewSuccess;
    for (const LogDevView& l : v.logDevs)
        if (l.number == q.param[0])
            r.result1 = kFirstUniqueId + l.number;
}

// The write cache in effect: the flags as set (word 38) and the mode (word
// 39, 1 = write-back). Caching only while protected needs a battery; without
// one the drive stays write-through.
void putCacheMode(const ControllerState& c, const ControllerState::ContainerSettings& s, uint8_t* p)
{
    const uint32_t flags = s.writeCache & 0x3u;
    const bool writeBack = (flags & 0x2) != 0 || ((flags & 0x1) != 0 && c.battery != "none");
    putLe32(p + 152, flags);
    putLe32(p + 156, writeBack ? 1 : 0);
}

// SSD-cache preferences in flags1: 0x2000 read cache wanted, 0x4000 read
// cache in use, 0x8000 write cache wanted, 0x10000 write cache in use (a
// cache is in use while the pool has drives), and the write policy 1-4 as
// 0x20000, 0x80000, 0x40000, 0x100000.
void putPoolPreferences(const ControllerState& c, const ControllerState::ContainerSettings& s, uint8_t* p)
{
    static const uint32_t kPolicyFlags[] = {0, 0x20000, 0x80000, 0x40000, 0x100000};
    const bool pool = !c.cachePool.empty();
    uint32_t flags = 0;
    if (s.poolRead)
        flags |= pool ? 0x6000 : 0x2000;
    if (s.poolWrite)
        flags |= pool ? 0x18000 : 0x8000;
    if (s.poolWrite && s.poolPolicy <= 4)
        flags |= kPolicyFlags[s.poolPolicy];
    putLe32(p + 88, getLe32(p + 88) | flags);
}

// The creation date, packed (bits 0-3 month, 4-8 day, 10-15 hour, 16-21
// minute, 22-27 second), and the year less 1900.
void putCreation(uint32_t created, uint8_t* p)
{
    if (created == 0)
        return;
    const time_t at = static_cast<time_t>(created);
    struct tm t = {};
    if (gmtime_r(&at, &t) == nullptr)
        return;
    putLe32(p + 240, static_cast<uint32_t>(t.tm_mon + 1) | static_cast<uint32_t>(t.tm_mday) << 4 |
                         static_cast<uint32_t>(t.tm_hour) << 10 | static_cast<uint32_t>(t.tm_min) << 16 |
                         static_cast<uint32_t>(t.tm_sec) << 22);
    putLe32(p + 244, static_cast<uint32_t>(t.tm_year));
}

void logDevInfo(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    const LogDevView* l = logDevWithHandle(v, q.param[0]);
    if (l == nullptr) {
        r.status = kNotFound;
        return;
    }
    r.status = kNewSuccess;
    r.result2 = kNewSuccess;
    r.data.assign(kLogDevBytes, 0);
    uint8_t* p = r.data.data();
    putLe32(p + 16, l->handle);
    putLe32(p + 20, l->number);
    putLe32(p + 24, kFirstUniqueId + l->number);
    putLe32(p + 48, l->raidType);
    putLe32(p + 52, l->parent);
    putLe32(p + 56, static_cast<uint32_t>(l->members.size()));
    putLe32(p + 64, static_cast<uint32_t>(l->blocks));
    putLe32(p + 68, static_cast<uint32_t>(l->blocks >> 32));
    putLe32(p + 80, 512);
    putLe32(p + 84, l->stripeBlocks);
    std::string name = l->name;
    auto s = c.containerSettings.find(l->number);
    if (s != c.containerSettings.end()) {
        // Flags1 bit 0x2: locked; the cache words as last set.
        if (s->second.locked)
            putLe32(p + 88, 0x2);
        putLe32(p + 144, s->second.readCache);
        putLe32(p + 148, s->second.writeCache);
        putCacheMode(c, s->second, p);
        putPoolPreferences(c, s->second, p);
        putCreation(s->second.created, p);
        if (s->second.named)
            name = s->second.name;
    }
    // The field holds 16 characters; a name that fills it has no terminator.
    std::memcpy(p + 296, name.data(), std::min<size_t>(name.size(), 16));
    addContainerActivity(c, *l, p);
}

void phyDevList(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    // A drive the controller lost is no longer among its devices; its
    // containers keep naming it as a member, which so reads as missing.
    std::vector<uint32_t> handles;
    for (const DriveView& d : v.drives)
        if (!d.missing)
            handles.push_back(d.handle());
    for (uint32_t h : enclosureDeviceHandles(c))
        handles.push_back(h);
    // The request presets the list's first word with its capacity.
    uint32_t room = q.capacity >= 4 ? (q.capacity - 4) / 4 : 0;
    size_t n = std::min<size_t>(handles.size(), room);
    // A list too long for one reply is handed back, with its status, by the
    // transfer's close.
    r.status = kNewSuccess;
    r.result2 = kNewSuccess;
    r.data.assign(4 + 4 * n, 0);
    putLe32(r.data.data(), static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i)
        putLe32(r.data.data() + 4 + 4 * i, handles[i]);
}

// The device record: handle at word 2, slice number at 136, slice size at
// 144, maximum slice size at 152.
void phyDevInfo(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    for (const DriveView& d : v.drives) {
        if (d.handle() != q.param[0] || d.missing)
            continue;
        r.status = kNewSuccess;
        r.data.assign(kPhyDevBytes, 0);
        uint8_t* p = r.data.data();
        fillDriveRecord(c, d.index, p);
        putLe32(p + 8, d.handle());
        // A drive without a slice has no slice sizes either.
        const uint64_t sliceBlocks = d.sliceType != 0 ? d.usable : 0;
        putLe32(p + 136, d.slice);
        putLe32(p + 144, static_cast<uint32_t>(sliceBlocks));
        putLe32(p + 148, static_cast<uint32_t>(sliceBlocks >> 32));
        putLe32(p + 152, static_cast<uint32_t>(sliceBlocks));
        putLe32(p + 156, static_cast<uint32_t>(sliceBlocks >> 32));
        return;
    }
    std::vector<uint8_t> record(kPhyDevBytes, 0);
    if (enclosureDeviceRecord(c, q.param[0], record.data())) {
        r.status = kNewSuccess;
        r.data = std::move(record);
        return;
    }
    r.status = kNotFound;
}

// Segments: an 8-byte header (word 1 the count), then 32-byte records.
void segmentList(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const ConfigView v = configurationOf(c);
    const LogDevView* l = logDevWithHandle(v, q.param[0]);
    if (l == nullptr) {
        r.status = kNotFound;
        return;
    }
    size_t n = l->members.size();
    if (q.capacity >= 8)
        n = std::min<size_t>(n, (q.capacity - 8) / kSegmentBytes);
    r.status = kNewSuccess;
    r.result2 = kNewSuccess;
    r.data.assign(8 + kSegmentBytes * n, 0);
    putLe32(r.data.data() + 4, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        uint8_t* s = r.data.data() + 8 + kSegmentBytes * i;
        const LogDevView::Member& m = l->members[i];
        putLe32(s + 0, m.phy);
        putLe32(s + 4, m.log);
        putLe16(s + 10, static_cast<uint16_t>(i));
        putLe32(s + 12, segmentFlags(c, *l, m));
        putLe32(s + 16, static_cast<uint32_t>(m.start));
        putLe32(s + 20, static_cast<uint32_t>(m.start >> 32));
        putLe32(s + 24, static_cast<uint32_t>(m.blocks));
        putLe32(s + 28, static_cast<uint32_t>(m.blocks >> 32));
    }
}

}  // namespace

void registerAdapterOpenHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 707, supplementExt);
    dispatcher.add(HandlerKind::Fib, 708, connectorMap);
    dispatcher.add(HandlerKind::Class3, 22, resetBus);
    dispatcher.add(HandlerKind::Aif, 107, clientEvent);
    addCtHandler(dispatcher, 217, raidOptions);
    addCtHandler(dispatcher, 190, alarmGet);
    addCtHandler(dispatcher, 191, alarmSetState);
    addCtHandler(dispatcher, 192, alarmOnOff);
    addCtHandler(dispatcher, 65, pauseIo);
    addCtHandler(dispatcher, 66, releaseIo);
    addCtHandler(dispatcher, 165, uniqueId);
    addCtHandler(dispatcher, 229, containerList);
    addCtHandler(dispatcher, 234, logDevInfo);
    addCtHandler(dispatcher, 247, phyDevList);
    addCtHandler(dispatcher, 248, phyDevInfo);
    addCtHandler(dispatcher, 249, segmentList);
}

}  // namespace vyn::hostsim
