// Enclosures and their management service (FIB 500, word 0 = 12): the EMP
// count and information (commands 1 and 7), a drive's slot (command 9), the
// SAF-TE configuration and status records (command 2, sub-commands 0x240 and
// 0x280) and the SES-2 diagnostic pages (command 100, sub-command 0x2002),
// with long replies fetched through the container transport's CT 83 and 84.
#include "platform/hostsim/fw/Enclosures.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/state/Derived.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace vyn::hostsim {

namespace {

// Enclosure statuses of the firmware.
constexpr uint32_t kNoProcessor = 16;
constexpr uint32_t kBadParameter = 20;
constexpr uint32_t kNotSupported = 22;

// Request and reply words.
constexpr size_t kRequestWords = 32;
constexpr size_t kWordStatus = 0;
constexpr size_t kWordCommand = 1;
constexpr size_t kWordParam0 = 2;
constexpr size_t kWordLength = 7;

constexpr uint32_t kSes2Marker = 0x50;
constexpr unsigned kDefaultSlots = 8;

// SAF-TE records: configuration (132 bytes: fans, supplies, slots, door lock,
// sensors, speaker in bytes 0-5, the slot count again as u32 at 12 and the
// processor's bus, target and LUN at 32-34) and status (332 bytes; 8-byte
// slot entries from 108, byte 1 the SCSI ID of the device in the slot).
constexpr size_t kSafteConfigBytes = 132;
constexpr size_t kSafteStatusBytes = 332;
constexpr size_t kSafteSlotTable = 108;
constexpr size_t kSafteSlotEntry = 8;
constexpr uint8_t kEmptySlotId = 0xFF;

// SES-2 element types and diagnostic pages.
constexpr uint8_t kElemDeviceSlot = 0x01;
constexpr uint8_t kElemPowerSupply = 0x02;
constexpr uint8_t kElemCooling = 0x03;
constexpr uint8_t kElemTemperature = 0x04;
constexpr uint8_t kElemAlarm = 0x06;
constexpr uint8_t kStatusOk = 0x01;
constexpr uint8_t kStatusNotInstalled = 0x05;
constexpr uint8_t kProtocolSas = 0x06;
constexpr size_t kPhyDescriptor = 28;

unsigned numberOf(const std::string& key, size_t prefix)
{
    return static_cast<unsigned>(std::strtoul(key.c_str() + prefix, nullptr, 10));
}

uint32_t pairNumber(const DeviceView& d, const char* name, uint32_t fallback)
{
    const std::string v = d.pair(name);
    return v.empty() ? fallback : static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 0));
}

// Kept between requests while the object lines stay as they are.
std::shared_ptr<const std::map<unsigned, DeviceView>> drivesOf(const ControllerState& c)
{
    return drivesByIndex(c);
}

void putText(uint8_t* p, size_t width, const std::string& text)
{
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

void putBe64(uint8_t* p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}

uint64_t expanderAddress(const ControllerState& c, const EnclosureView& e) { return enclosureSasAddress(c, e.emp); }

const EnclosureView* enclosureAt(const std::vector<EnclosureView>& all, uint32_t emp)
{
    return emp < all.size() ? &all[emp] : nullptr;
}

// ---- SES-2 diagnostic pages ----

struct ElementType {
    uint8_t type;
    uint32_t count;
};

std::vector<ElementType> elementTypes(const EnclosureView& e)
{
    std::vector<ElementType> types = {{kElemDeviceSlot, static_cast<uint32_t>(e.slotDrive.size())}};
    if (e.psus > 0)
        types.push_back({kElemPowerSupply, e.psus});
    if (e.fans > 0)
        types.push_back({kElemCooling, e.fans});
    if (e.temps > 0)
        types.push_back({kElemTemperature, e.temps});
    if (e.alarm)
        types.push_back({kElemAlarm, 1});
    return types;
}

void finishPage(std::vector<uint8_t>& page, uint8_t code)
{
    page[0] = code;
    const size_t length = page.size() - 4;
    page[2] = static_cast<uint8_t>(length >> 8);
    page[3] = static_cast<uint8_t>(length);
}

std::vector<uint8_t> supportedPages()
{
    std::vector<uint8_t> page = {0, 0, 0, 0, 0x00, 0x01, 0x02, 0x07, 0x0A};
    finishPage(page, 0x00);
    return page;
}

std::vector<uint8_t> configurationPage(const ControllerState& c, const EnclosureView& e)
{
    const std::vector<ElementType> types = elementTypes(e);
    std::vector<uint8_t> page(8 + 40 + 4 * types.size(), 0);
    uint8_t* d = page.data() + 8;
    d[0] = 0x11;  // one enclosure services process, this one
    d[2] = static_cast<uint8_t>(types.size());
    d[3] = 36;
    putBe64(d + 4, expanderAddress(c, e));
    putText(d + 12, 8, "VYNSIM");
    putText(d + 20, 16, "ENCLOSURE");
    putText(d + 36, 4, "0001");
    uint8_t* h = d + 40;
    for (const ElementType& t : types) {
        h[0] = t.type;
        h[1] = static_cast<uint8_t>(t.count);
        h += 4;
    }
    finishPage(page, 0x01);
    return page;
}

std::vector<uint8_t> statusPage(const EnclosureView& e)
{
    std::vector<uint8_t> page(8, 0);
    for (const ElementType& t : elementTypes(e)) {
        page.insert(page.end(), 4, 0);  // overall status element
        for (uint32_t i = 0; i < t.count; ++i) {
            uint8_t element[4] = {kStatusOk, 0, 0, 0};
            if (t.type == kElemDeviceSlot) {
                element[0] = e.slotDrive[i] >= 0 ? kStatusOk : kStatusNotInstalled;
                element[1] = static_cast<uint8_t>(i);
            }
            page.insert(page.end(), element, element + 4);
        }
    }
    finishPage(page, 0x02);
    return page;
}

std::vector<uint8_t> descriptorPage(const EnclosureView& e)
{
    std::vector<uint8_t> page(8, 0);
    const char* names[] = {"", "Slot", "Power Supply", "Cooling", "Temperature", "", "Alarm"};
    for (const ElementType& t : elementTypes(e)) {
        page.insert(page.end(), 4, 0);  // overall descriptor, no text
        for (uint32_t i = 0; i < t.count; ++i) {
            char text[32];
            const int n = std::snprintf(text, sizeof text, "%s %02u", names[t.type], i);
            const uint8_t header[4] = {0, 0, 0, static_cast<uint8_t>(n)};
            page.insert(page.end(), header, header + 4);
            page.insert(page.end(), text, text + n);
        }
    }
    finishPage(page, 0x07);
    return page;
}

// Additional element status: one SAS descriptor of two phys per device slot,
// each phy showing the address of the drive port it reaches.
std::vector<uint8_t> additionalStatusPage(const ControllerState& c, const EnclosureView& e)
{
    const auto keptDrives = drivesOf(c);
    const std::map<unsigned, DeviceView>& drives = *keptDrives;
    std::vector<uint8_t> page(8, 0);
    for (size_t s = 0; s < e.slotDrive.size(); ++s) {
        std::vector<uint8_t> d(8 + 2 * kPhyDescriptor, 0);
        d[0] = 0x10 | kProtocolSas;  // element index present
        d[1] = static_cast<uint8_t>(d.size() - 2);
        d[3] = static_cast<uint8_t>(s);
        d[4] = 2;
        d[7] = static_cast<uint8_t>(s);
        auto it = e.slotDrive[s] >= 0 ? drives.find(static_cast<unsigned>(e.slotDrive[s])) : drives.end();
        for (unsigned phy = 0; phy < 2 && it != drives.end(); ++phy) {
            const uint64_t address = driveSasAddress(it->second, phy);
            if (address == 0)
                continue;
            uint8_t* p = d.data() + 8 + phy * kPhyDescriptor;
            const bool sata = it->second.kind == "sata" || it->second.kind == "ssd";
            p[0] = 0x10;  // end device
            p[3] = sata ? 0x04 : 0x08;
            putBe64(p + 4, expanderAddress(c, e));
            putBe64(p + 12, address);
            p[20] = static_cast<uint8_t>(phy);
        }
        page.insert(page.end(), d.begin(), d.end());
    }
    finishPage(page, 0x0A);
    return page;
}

// ---- handlers ----

void empCount(ControllerState& c, const EmRequest&, EmReply& r)
{
    const uint32_t n = static_cast<uint32_t>(enclosuresOf(c).size());
    r.param[0] = n;
    r.data.assign(4, 0);
    putLe32(r.data.data(), n);
}

void empInfo(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = enclosureAt(all, q.param[0]);
    if (e == nullptr) {
        r.status = kNoProcessor;
        return;
    }
    r.param[0] = e->bus;
    r.param[1] = e->target;
    r.param[2] = e->lun;
    r.param[3] = e->ses2 ? kSes2Marker : 0;
    r.data.assign(4, 0);
}

// Command 9: parameter 0 names a drive by its handle; the answer carries its
// slot in parameter 2 and its enclosure's NVSRAM index in parameter 4.
void deviceSlot(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    for (const auto& [index, d] : *drivesOf(c)) {
        if ((d.bus << 24 | d.lun << 16 | d.target) != q.param[0])
            continue;
        unsigned emp = 0, slot = 0;
        if (!slotOfDrive(all, index, &emp, &slot))
            break;
        r.param[0] = q.param[0];
        r.param[1] = emp;
        r.param[2] = slot;
        r.param[4] = all[emp].nvsram;
        r.data.assign(4, 0);
        return;
    }
    r.status = kBadParameter;
}

const EnclosureView* safte(const std::vector<EnclosureView>& all, const EmRequest& q, EmReply& r)
{
    const EnclosureView* e = enclosureAt(all, q.param[0]);
    if (e == nullptr)
        r.status = kNoProcessor;
    else if (e->ses2)
        r.status = kNotSupported;
    return r.status == 0 ? e : nullptr;
}

void safteConfig(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = safte(all, q, r);
    if (e == nullptr)
        return;
    r.data.assign(kSafteConfigBytes, 0);
    uint8_t* p = r.data.data();
    const uint32_t slots = static_cast<uint32_t>(e->slotDrive.size());
    p[0] = static_cast<uint8_t>(e->fans);
    p[1] = static_cast<uint8_t>(e->psus);
    p[2] = static_cast<uint8_t>(slots);
    p[4] = static_cast<uint8_t>(e->temps);
    p[5] = e->alarm ? 1 : 0;
    putLe32(p + 12, slots);
    p[32] = static_cast<uint8_t>(e->bus);
    p[33] = static_cast<uint8_t>(e->target);
    p[34] = static_cast<uint8_t>(e->lun);
}

void safteStatus(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = safte(all, q, r);
    if (e == nullptr)
        return;
    const auto keptDrives = drivesOf(c);
    const std::map<unsigned, DeviceView>& drives = *keptDrives;
    r.data.assign(kSafteStatusBytes, 0);
    const size_t room = (kSafteStatusBytes - kSafteSlotTable) / kSafteSlotEntry;
    for (size_t s = 0; s < e->slotDrive.size() && s < room; ++s) {
        uint8_t* entry = r.data.data() + kSafteSlotTable + s * kSafteSlotEntry;
        entry[0] = static_cast<uint8_t>(s);
        entry[1] = kEmptySlotId;
        auto it = e->slotDrive[s] >= 0 ? drives.find(static_cast<unsigned>(e->slotDrive[s])) : drives.end();
        if (it != drives.end()) {
            entry[1] = static_cast<uint8_t>(it->second.target);
            entry[2] = 1;  // device installed
        }
    }
}

// Command 100, sub-command 0x2002: SES-2 page `parameter 1` of enclosure
// `parameter 0`, cut to the length the request expects.
void receiveDiagnostic(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = enclosureAt(all, q.param[0]);
    if (e == nullptr) {
        r.status = kNoProcessor;
        return;
    }
    if (!e->ses2) {
        r.status = kNotSupported;
        return;
    }
    switch (q.param[1]) {
    case 0x00: r.data = supportedPages(); break;
    case 0x01: r.data = configurationPage(c, *e); break;
    case 0x02: r.data = statusPage(*e); break;
    case 0x07: r.data = descriptorPage(*e); break;
    case 0x0A: r.data = additionalStatusPage(c, *e); break;
    default: r.status = kBadParameter; return;
    }
    if (q.length != 0 && r.data.size() > q.length)
        r.data.resize(q.length);
}

void answer(FibCall& call, uint32_t commandWord, const EmHandler& handler)
{
    ControllerState& c = call.controller();
    EmRequest q;
    q.commandWord = commandWord;
    for (size_t i = 0; i < 5; ++i)
        q.param[i] = call.word(kWordParam0 + i);
    q.length = call.word(kWordLength);
    const size_t room = call.payloadSize() > kRequestWords ? call.payloadSize() - kRequestWords : 0;
    const size_t size = getLe16(call.payload() - kFibHeaderSize + kFibSize);
    const std::vector<uint8_t> input(call.payload() + kRequestWords,
                                     call.payload() + kRequestWords +
                                         (size > kRequestWords ? std::min(size - kRequestWords, room) : 0));
    q.input = input.data();
    q.inputSize = input.size();

    EmReply r;
    handler(c, q, r);

    call.clearPayload();
    call.setWord(kWordStatus, r.status);
    call.setWord(kWordCommand, commandWord);
    for (size_t i = 0; i < 5; ++i)
        call.setWord(kWordParam0 + i, r.param[i]);
    if (r.data.size() <= room) {
        call.setWord(kWordLength, static_cast<uint32_t>(r.data.size()));
        if (!r.data.empty())
            std::memcpy(call.payload() + kRequestWords, r.data.data(), r.data.size());
        return;
    }
    // A long reply: the parameter words take the container transport's
    // layout (201, total, the value handed back, the transfer handle), and
    // CT 83 and 84 fetch and close it.
    const uint32_t total = static_cast<uint32_t>(r.data.size());
    const uint32_t handedBack = r.param[2];
    const uint32_t handle = openCtTransfer(c, std::move(r.data));
    call.setWord(kWordParam0 + 0, kCtMultiPacket);
    call.setWord(kWordParam0 + 1, total);
    call.setWord(kWordParam0 + 2, handedBack);
    call.setWord(kWordParam0 + 3, handle);
    call.setWord(kWordParam0 + 4, 0);
}

}  // namespace

uint64_t enclosureSasAddress(const ControllerState& c, unsigned emp)
{
    return 0x5001A00000000000ull | static_cast<uint64_t>(c.serial[0] & 0xFFFFF) << 12 | (emp & 0xFFF);
}

uint64_t driveSasAddress(const DeviceView& d, unsigned phy)
{
    const std::string given = d.pair("sas_address");
    const uint64_t first = given.empty() ? 0x5000C50000000000ull | static_cast<uint64_t>(d.bus & 0xFF) << 24 |
                                               static_cast<uint64_t>(d.target & 0xFFFF) << 8 | (d.lun & 0x3F) << 2
                                         : std::strtoull(given.c_str(), nullptr, 0);
    if (phy == 0)
        return first;
    const bool sasPorts = d.kind == "sas" || d.kind == "sas-ssd";
    return sasPorts ? first + 1 : 0;
}

namespace {

std::vector<EnclosureView> deriveEnclosures(const ControllerState& c)
{
    std::map<unsigned, EnclosureView> byNumber;
    for (const auto& [key, value] : c.objects) {
        if (key.compare(0, 4, "encl") != 0)
            continue;
        DeviceView d;
        if (!readDevice(key, value, d))
            continue;
        EnclosureView e;
        e.number = numberOf(key, 4);
        e.ses2 = d.kind == "enclosure";
        e.bus = d.bus;
        e.target = d.target;
        e.lun = d.lun;
        e.fans = pairNumber(d, "fans", 0);
        e.psus = pairNumber(d, "psus", 0);
        e.temps = pairNumber(d, "temps", 0);
        const std::string alarm = d.pair("alarm");
        e.alarm = !alarm.empty() && alarm != "none" && alarm != "0";
        e.slotDrive.assign(pairNumber(d, "slots", kDefaultSlots), -1);
        e.nvsram = pairNumber(d, "nvsram", 0xFFFFFFFFu);
        byNumber[e.number] = e;
    }
    std::vector<EnclosureView> all;
    for (auto& entry : byNumber) {
        entry.second.emp = static_cast<unsigned>(all.size());
        if (entry.second.nvsram == 0xFFFFFFFFu)
            entry.second.nvsram = entry.second.emp;
        all.push_back(entry.second);
    }
    if (all.empty())
        return all;

    const auto keptDrives = drivesOf(c);
    const std::map<unsigned, DeviceView>& drives = *keptDrives;
    std::vector<unsigned> unplaced;
    for (const auto& [index, d] : drives) {
        const std::string slot = d.pair("slot");
        if (slot.empty()) {
            unplaced.push_back(index);
            continue;
        }
        unsigned number = 0, s = 0;
        if (std::sscanf(slot.c_str(), "%u:%u", &number, &s) != 2)
            continue;  // "none", or malformed: in no slot
        for (EnclosureView& e : all)
            if (e.number == number && s < e.slotDrive.size() && e.slotDrive[s] < 0)
                e.slotDrive[s] = static_cast<int>(index);
    }
    for (unsigned index : unplaced) {
        const DeviceView& d = drives.at(index);
        for (EnclosureView& e : all) {
            if (e.bus != d.bus)
                continue;
            if (index < e.slotDrive.size() && e.slotDrive[index] < 0)
                e.slotDrive[index] = static_cast<int>(index);
            break;
        }
    }
    return all;
}

}  // namespace

// Kept between requests while the object lines stay as they are.
std::vector<EnclosureView> enclosuresOf(const ControllerState& c) { return *keptView<deriveEnclosures>(c); }

bool slotOfDrive(const std::vector<EnclosureView>& enclosures, unsigned driveIndex, unsigned* emp, unsigned* slot)
{
    for (const EnclosureView& e : enclosures)
        for (size_t s = 0; s < e.slotDrive.size(); ++s)
            if (e.slotDrive[s] == static_cast<int>(driveIndex)) {
                *emp = e.emp;
                *slot = static_cast<unsigned>(s);
                return true;
            }
    return false;
}

void addEnclosureHandler(Dispatcher& dispatcher, uint32_t commandWord, EmHandler handler)
{
    dispatcher.add(HandlerKind::Class12, commandWord,
                   [h = std::move(handler)](FibCall& call) { answer(call, call.word(kWordCommand), h); });
}

void registerEnclosureHandlers(Dispatcher& dispatcher)
{
    addEnclosureHandler(dispatcher, 1u << 16, empCount);
    addEnclosureHandler(dispatcher, 7u << 16, empInfo);
    addEnclosureHandler(dispatcher, 9u << 16, deviceSlot);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x240, safteConfig);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x280, safteStatus);
    addEnclosureHandler(dispatcher, 100u << 16 | 0x2002, receiveDiagnostic);
}

}  // namespace vyn::hostsim
