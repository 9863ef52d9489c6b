// Controller-wide answers of the container layer's first commands: the
// revision check (FIB 701), the heat sensor (FIB 803), the container count
// (CT 4), SCSI method (CT 64), container options (CT 73), miscellaneous status
// (CT 87), OEM id (CT 193), drive cache policy (CT 239) and the dynamic
// adapter properties (class 25), and the bus records of the SCSI-class
// requests (class 3 sub-commands 12 and 9).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

// Success statuses the library expects of each command.
constexpr uint32_t kContainerOptionsOk = 192;
constexpr uint32_t kMiscStatusOk = 205;
constexpr uint32_t kNewSuccess = 218;

constexpr uint32_t kOpt2WideMiscStatus = 0x10;
constexpr size_t kOptionEntries = 8;
constexpr size_t kOptionEntryBytes = 36;
constexpr size_t kPropertiesBytes = 480;

constexpr uint32_t kBlocksPerMiB = 2048;

void revisionCheck(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    call.setWord(0, 1);
    const RevisionValue& fw = c.firmware;
    call.setWord(1, static_cast<uint32_t>(fw.major) << 24 | static_cast<uint32_t>(fw.minor) << 16 | fw.dash);
    call.setWord(2, fw.build);
}

void heatSensor(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    putLe16(p + 36, static_cast<uint16_t>(c.heatSensor[0]));
    putLe16(p + 40, static_cast<uint16_t>(c.heatSensor[1]));
    putLe16(p + 42, static_cast<uint16_t>(c.heatSensor[2]));
}

void containerCount(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = c.maxContainers;
    r.result1 = c.accessibleContainers;
    r.result2 = c.partitions;
}

void scsiMethod(ControllerState&, const CtRequest&, CtReply& r) { r.status = 0; }

// One CT 73 entry: minimum and maximum members, chunk minimum, maximum and
// granularity, minimum and maximum container size (512-byte blocks), two
// reserved words. An unset entry has words 0 and 1 at -1.
void putOptionEntry(uint8_t* p, uint32_t minMembers, uint32_t maxMembers)
{
    putLe32(p + 0, minMembers);
    putLe32(p + 4, maxMembers);
    if (minMembers == 0xFFFFFFFFu)
        return;
    putLe32(p + 8, 16);                      // 8 KiB
    putLe32(p + 12, 2048);                   // 1 MiB
    putLe32(p + 16, 16);
    putLe32(p + 20, 10 * kBlocksPerMiB);     // 10 MiB
    putLe32(p + 24, 0xFFFFFFFFu);
}

void containerOptions(ControllerState&, const CtRequest&, CtReply& r)
{
    r.status = kContainerOptionsOk;
    r.data.assign(kOptionEntries * kOptionEntryBytes, 0);
    uint8_t* p = r.data.data();
    putOptionEntry(p + 0 * kOptionEntryBytes, 1, 32);   // volume
    putOptionEntry(p + 1 * kOptionEntryBytes, 2, 32);   // RAID-0
    putOptionEntry(p + 2 * kOptionEntryBytes, 2, 2);    // RAID-1
    putOptionEntry(p + 3 * kOptionEntryBytes, 3, 32);   // RAID-5
    putOptionEntry(p + 4 * kOptionEntryBytes, 2, 32);   // RAID volume
    putOptionEntry(p + 5 * kOptionEntryBytes, 4, 128);  // second level
    putOptionEntry(p + 6 * kOptionEntryBytes, 0xFFFFFFFFu, 0xFFFFFFFFu);
    putOptionEntry(p + 7 * kOptionEntryBytes, 0xFFFFFFFFu, 0xFFFFFFFFu);
}

// 48 bytes: word 0, 8 status bytes, 8 zero bytes, seven words from byte 20;
// 40 bytes without option word 2 bit 0x10 (the seven words from byte 12).
void miscStatus(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kMiscStatusOk;
    const bool wide = (c.optionWord[1] & kOpt2WideMiscStatus) != 0;
    r.data.assign(wide ? 48 : 40, 0);
    const size_t words = wide ? 20 : 12;
    putLe32(r.data.data() + words, c.serial[0]);
    putLe32(r.data.data() + words + 4, c.serial[1]);
}

void oemId(ControllerState& c, const CtRequest&, CtReply& r) { r.status = c.oemId; }

void cachePolicy(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.result1 = c.cachePolicy;
}

// Class 25: the stored record with the reported-property mask; word 0 = 0.
void dynamicProperties(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    const size_t n = std::min({c.properties.size(), kPropertiesBytes, call.payloadSize()});
    std::memcpy(p, c.properties.data(), n);
    putLe32(p + 0, 0);
    uint32_t mask = c.propertiesMask;
    // A controller with the SSD cache pool reports how many drives it holds.
    if ((c.optionWord[2] & 0x40) != 0 && call.payloadSize() > 53) {
        p[53] = static_cast<uint8_t>(std::min<size_t>(c.cachePool.size(), 255));
        mask |= 1u << 20;
    }
    putLe32(p + 4, mask);
}

// SCSI-class requests (FIB 500 service words 3 and 9): sub-command at word 4,
// data from payload byte 20; the status in word 0.
constexpr size_t kScsiData = 20;
constexpr uint32_t kScsiFailed = 1;
constexpr uint32_t kMaxBuses = 10;
constexpr uint32_t kBusTypeSas = 12;
constexpr uint8_t kBusStateNormal = 1;

struct BusView {
    uint32_t type = kBusTypeSas;
    uint32_t targets = 16;
    uint8_t state = kBusStateNormal;
    int ports = -1;          // -1: the controller's ports when it has one bus
    uint16_t linkSpeed = 0;  // 0: unset
    int id = -1;             // the controller's identifier byte; -1: the bus index
};

uint32_t busTypeOf(const std::string& word)
{
    if (word == "sas")
        return kBusTypeSas;
    if (word == "sata")
        return 11;
    if (word == "fibre")
        return 8;
    return static_cast<uint32_t>(std::strtoul(word.c_str(), nullptr, 0));
}

// A bus's field, from "name=value" in its shorthand or its own key.
bool busField(const ControllerState& c, const std::string& bus, const std::string& shorthand, const char* name,
              uint32_t* value)
{
    const std::string pair = std::string(" ") + name + "=";
    const size_t at = (" " + shorthand).find(pair);
    if (at != std::string::npos) {
        *value = static_cast<uint32_t>(std::strtoul(shorthand.c_str() + at - 1 + pair.size(), nullptr, 0));
        return true;
    }
    auto it = c.objects.find(bus + "." + name);
    if (it == c.objects.end())
        return false;
    *value = static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 0));
    return true;
}

// The buses of the description ("busB = <type> <targets>", with link_speed,
// state, ports and id as name=value pairs or keys of their own); one SAS bus of
// 16 targets when none is described.
std::vector<BusView> busesOf(const ControllerState& c)
{
    std::vector<BusView> buses;
    for (unsigned b = 0; b < kMaxBuses; ++b) {
        const std::string name = "bus" + std::to_string(b);
        auto it = c.objects.find(name);
        if (it == c.objects.end())
            break;
        BusView v;
        char type[16] = {};
        unsigned targets = 16;
        if (std::sscanf(it->second.c_str(), "%15s %u", type, &targets) >= 1) {
            v.type = busTypeOf(type);
            v.targets = targets;
        }
        uint32_t field = 0;
        if (busField(c, name, it->second, "state", &field))
            v.state = static_cast<uint8_t>(field);
        if (busField(c, name, it->second, "ports", &field))
            v.ports = static_cast<int>(field & 0xFF);
        if (busField(c, name, it->second, "link_speed", &field))
            v.linkSpeed = static_cast<uint16_t>(field);
        if (busField(c, name, it->second, "id", &field))
            v.id = static_cast<int>(field & 0xFF);
        buses.push_back(v);
    }
    if (buses.empty())
        buses.push_back(BusView{});
    return buses;
}

// Bus record: bus count at 4, targets per bus at 8, per-bus identifier bytes
// from 12, state bytes from 22, version at 32, bus types (u32) from 36, port
// counts from 76, link speeds (u16) from 86. The legacy record is its first
// 32 bytes.
void fillBusRecord(const ControllerState& c, uint8_t* p, size_t room, bool enhanced)
{
    const std::vector<BusView> buses = busesOf(c);
    const uint32_t n = static_cast<uint32_t>(buses.size());
    putLe32(p + 4, n);
    uint32_t targets = 0;
    for (const BusView& b : buses)
        targets = std::max(targets, b.targets);
    putLe32(p + 8, targets);
    for (uint32_t i = 0; i < n; ++i) {
        p[12 + i] = static_cast<uint8_t>(buses[i].id >= 0 ? buses[i].id : static_cast<int>(i));
        p[22 + i] = buses[i].state;
    }
    if (!enhanced || room < 156)
        return;
    putLe32(p + 32, 4);
    for (uint32_t i = 0; i < n; ++i) {
        putLe32(p + 36 + 4 * i, buses[i].type);
        const int ports = buses[i].ports >= 0 ? buses[i].ports : (n == 1 ? static_cast<int>(c.ports) : 0);
        p[76 + i] = static_cast<uint8_t>(ports);
        putLe16(p + 86 + 2 * i, buses[i].linkSpeed);
    }
}

void busInfo(FibCall& call, bool enhanced)
{
    ControllerState& c = call.controller();
    const size_t room = call.payloadSize() - kScsiData;
    uint8_t* data = call.payload() + kScsiData;
    std::memset(call.payload(), 0, call.payloadSize());
    if (enhanced && c.legacyBusInfo) {
        // An older controller: a failure the library falls back from.
        call.setWord(0, kScsiFailed);
        return;
    }
    fillBusRecord(c, data, room, enhanced);
}

}  // namespace

void registerContainerInfoHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 701, revisionCheck);
    dispatcher.add(HandlerKind::Fib, 803, heatSensor);
    addCtHandler(dispatcher, 4, containerCount);
    addCtHandler(dispatcher, 64, scsiMethod);
    addCtHandler(dispatcher, 73, containerOptions);
    addCtHandler(dispatcher, 87, miscStatus);
    addCtHandler(dispatcher, 193, oemId);
    addCtHandler(dispatcher, 239, cachePolicy);
    dispatcher.add(HandlerKind::Class25, 0, dynamicProperties);
    dispatcher.add(HandlerKind::Class3, 12, [](FibCall& call) { busInfo(call, true); });
    dispatcher.add(HandlerKind::Class3, 9, [](FibCall& call) { busInfo(call, false); });
}

}  // namespace vyn::hostsim
