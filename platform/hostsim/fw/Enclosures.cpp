// Enclosures and their management service (FIB 500, word 0 = 12): the EMP
// count and information (commands 1 and 7), a drive's slot (command 9), the
// SAF-TE configuration and status records (command 2, sub-commands 0x240 and
// 0x280), the SAF-TE alarm and identify (command 2, sub-commands 0x100,
// 0x101, 0x285, 0x286), slot identify (command 3, sub-commands 0x402 and
// 0x403) and the SES-2 diagnostic pages (command 100, sub-command 0x2002
// reads one, 0x2000 sends a control page), with long replies fetched through
// the container transport's CT 83 and 84; and RECEIVE DIAGNOSTIC RESULTS on
// the enclosure devices.
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

// SAF-TE records: configuration (132 bytes: u32 counts of fans at 4,
// supplies at 8, slots at 12, door lock installed at 16, sensors at 20,
// audible alarm installed at 24; the processor's bus, target and LUN at
// 32-34) and status (332 bytes: speaker on (u32) at 8, temperature out of
// range at 12, temperature flags at 24, a byte per fan from 28 and per
// supply from 44, the door lock at 60, an i16 per sensor from 76, 8-byte
// slot entries from 108 (byte 1 the SCSI ID of the device in the slot), a
// u32 per slot from 268 with its status in the top byte). Room for 16
// items of each kind; the slot entries end where the slot words begin.
constexpr size_t kSafteConfigBytes = 132;
constexpr size_t kSafteStatusBytes = 332;
constexpr size_t kCfgFans = 4, kCfgPsus = 8, kCfgSlots = 12, kCfgSensors = 20, kCfgAlarm = 24;
constexpr size_t kStSpeaker = 8, kStFans = 28, kStPsus = 44, kStDoorLock = 60, kStTemps = 76;
constexpr size_t kSafteSlotTable = 108;
constexpr size_t kSafteSlotEntry = 8;
constexpr size_t kStSlotWords = 268;
constexpr uint32_t kSafteItems = 16;
constexpr uint8_t kEmptySlotId = 0xFF;
constexpr uint8_t kSafteOperational = 1;
constexpr uint8_t kSafteDoorUnlocked = 2;
constexpr int16_t kSafteTemperature = 25;
constexpr uint8_t kSlotInserted = 0x01;

// SES-2 element types and diagnostic pages.
constexpr uint8_t kElemDeviceSlot = 0x01;
constexpr uint8_t kElemPowerSupply = 0x02;
constexpr uint8_t kElemCooling = 0x03;
constexpr uint8_t kElemTemperature = 0x04;
constexpr uint8_t kElemAlarm = 0x06;
constexpr uint8_t kElemEnclosure = 0x0E;
constexpr uint8_t kStatusOk = 0x01;
// Control and status element bits.
constexpr uint8_t kSelect = 0x80;         // byte 0 of a control element
constexpr uint8_t kAlarmDisable = 0x20;   // byte 0 of an alarm element
constexpr uint8_t kIdent = 0x80;          // byte 1 of the types but the slots
constexpr uint8_t kSlotIdent = 0x02;      // byte 2 of a device slot
constexpr uint8_t kAlarmMute = 0x40;      // byte 3 of an alarm element
constexpr uint8_t kAlarmTones = 0x0F;     // byte 3 of an alarm element
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

// The SES-2 enclosure a diagnostic-page request names in parameter 0; null,
// with the reply's status set, when there is none or it is another kind.
const EnclosureView* ses2EnclosureOf(const std::vector<EnclosureView>& all, const EmRequest& q, EmReply& r)
{
    const EnclosureView* e = enclosureAt(all, q.param[0]);
    if (e == nullptr)
        r.status = kNoProcessor;
    else if (!e->ses2)
        r.status = kNotSupported;
    return e != nullptr && e->ses2 ? e : nullptr;
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
    types.push_back({kElemEnclosure, 1});
    return types;
}

const char* elementName(uint8_t type)
{
    switch (type) {
    case kElemDeviceSlot: return "Slot";
    case kElemPowerSupply: return "Power Supply";
    case kElemCooling: return "Cooling";
    case kElemTemperature: return "Temperature";
    case kElemAlarm: return "Alarm";
    case kElemEnclosure: return "Enclosure";
    default: return "";
    }
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
            const bool identified = e.isIdentified(t.type, i);
            if (t.type == kElemDeviceSlot) {
                element[0] = e.slotDrive[i] >= 0 ? kStatusOk : kStatusNotInstalled;
                element[1] = static_cast<uint8_t>(i);
                if (identified)
                    element[2] |= kSlotIdent;
            } else if (identified) {
                element[1] |= kIdent;
            }
            if (t.type == kElemAlarm) {
                if (e.alarmState == "off")
                    element[0] |= kAlarmDisable;
                else if (e.alarmState == "silenced")
                    element[3] |= kAlarmMute;
                else if (e.alarmState == "sounding")
                    element[3] |= 0x02;  // critical tone
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
    for (const ElementType& t : elementTypes(e)) {
        page.insert(page.end(), 4, 0);  // overall descriptor, no text
        for (uint32_t i = 0; i < t.count; ++i) {
            char text[32];
            const int n = std::snprintf(text, sizeof text, "%s %02u", elementName(t.type), i);
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

// Element descriptors of a SAF-TE processor in the FRU layout: per element
// type one group of 68-byte blocks, one per element, the first block's
// bytes 2-3 giving the length of the group after its first four bytes; in
// each block the part number at 7, the serial number at 23, the vendor at
// 39, the date of manufacture at 51 and a short type name at 63, each
// NUL-terminated inside its field.
std::vector<uint8_t> fruDescriptorPage(const EnclosureView& e)
{
    constexpr size_t kBlock = 68;
    std::vector<uint8_t> page(8, 0);
    for (const ElementType& t : elementTypes(e)) {
        const size_t group = page.size();
        const size_t length = t.count == 0 ? 0 : kBlock * t.count - 4;
        page.resize(group + 4 + length, 0);
        page[group + 2] = static_cast<uint8_t>(length >> 8);
        page[group + 3] = static_cast<uint8_t>(length);
        for (uint32_t i = 0; i < t.count; ++i) {
            char* b = reinterpret_cast<char*>(page.data() + group + kBlock * i);
            const char* shortName = t.type == kElemDeviceSlot    ? "SLOT"
                                    : t.type == kElemPowerSupply ? "PSU"
                                    : t.type == kElemCooling     ? "FAN"
                                    : t.type == kElemTemperature ? "TEMP"
                                    : t.type == kElemAlarm       ? "ALRM"
                                                                 : "ENCL";
            std::snprintf(b + 7, 16, "PN%02X%02u", t.type, i);
            std::snprintf(b + 23, 16, "SN%u%02X%02u", e.number, t.type, i);
            std::snprintf(b + 39, 12, "%s", e.vendor.c_str());
            std::snprintf(b + 51, 12, "2024-01-01");
            std::snprintf(b + 63, 5, "%s", shortName);
        }
    }
    finishPage(page, 0x07);
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
    putLe32(p + kCfgFans, e->fans);
    putLe32(p + kCfgPsus, e->psus);
    putLe32(p + kCfgSlots, static_cast<uint32_t>(e->slotDrive.size()));
    putLe32(p + kCfgSensors, e->temps);
    putLe32(p + kCfgAlarm, e->alarm ? 1 : 0);
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
    uint8_t* p = r.data.data();
    putLe32(p + kStSpeaker, e->alarm && e->alarmState == "sounding" ? 1 : 0);
    for (uint32_t k = 0; k < std::min(e->fans, kSafteItems); ++k)
        p[kStFans + k] = kSafteOperational;
    for (uint32_t k = 0; k < std::min(e->psus, kSafteItems); ++k)
        p[kStPsus + k] = kSafteOperational;
    p[kStDoorLock] = kSafteDoorUnlocked;
    for (uint32_t k = 0; k < std::min(e->temps, kSafteItems); ++k)
        putLe16(p + kStTemps + 2 * k, static_cast<uint16_t>(kSafteTemperature));
    const size_t room = (kStSlotWords - kSafteSlotTable) / kSafteSlotEntry;
    for (size_t s = 0; s < e->slotDrive.size() && s < room; ++s) {
        uint8_t* entry = p + kSafteSlotTable + s * kSafteSlotEntry;
        entry[0] = static_cast<uint8_t>(s);
        entry[1] = kEmptySlotId;
        auto it = e->slotDrive[s] >= 0 ? drives.find(static_cast<unsigned>(e->slotDrive[s])) : drives.end();
        if (it != drives.end()) {
            entry[1] = static_cast<uint8_t>(it->second.target);
            entry[2] = 1;  // device installed
            if (s < kSafteItems)
                p[kStSlotWords + 4 * s + 3] = kSlotInserted;
        }
    }
}

// ---- requests that change the enclosure's state ----

std::string identText(const std::vector<std::pair<unsigned, unsigned>>& identified)
{
    std::string text;
    for (const auto& [type, index] : identified)
        text += (text.empty() ? "" : ",") + std::to_string(type) + ":" + std::to_string(index);
    return text;
}

// Sets the identify state of element (type, index) in the enclosure's line.
// `e` follows, so that one request can change several elements.
void setIdentified(ControllerState& c, EnclosureView& e, unsigned type, unsigned index, bool on, EmReply& r)
{
    std::vector<std::pair<unsigned, unsigned>> next = e.identified;
    const auto element = std::make_pair(type, index);
    const auto at = std::lower_bound(next.begin(), next.end(), element);
    const bool present = at != next.end() && *at == element;
    if (on == present)
        return;
    if (on)
        next.insert(at, element);
    else
        next.erase(at);
    setObjectPair(c, "encl" + std::to_string(e.number), "ident", identText(next));
    e.identified = std::move(next);
    r.changed = true;
}

void setAlarmState(ControllerState& c, EnclosureView& e, const std::string& state, EmReply& r)
{
    if (e.alarmState == state)
        return;
    setObjectPair(c, "encl" + std::to_string(e.number), "alarm_state", state == "on" ? "" : state);
    e.alarmState = state;
    r.changed = true;
}

// Command 2, sub-commands 0x100 and 0x101: the SAF-TE alarm sounds (its
// test) or is silenced.
void safteAlarm(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = safte(all, q, r);
    if (e == nullptr)
        return;
    if (!e->alarm) {
        r.status = kNotSupported;
        return;
    }
    EnclosureView view = *e;
    setAlarmState(c, view, (q.commandWord & 0xFFFF) == 0x100 ? "sounding" : "silenced", r);
    r.data.assign(4, 0);
}

// Command 2, sub-commands 0x285 and 0x286: the SAF-TE enclosure's identify.
void safteIdentify(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = safte(all, q, r);
    if (e == nullptr)
        return;
    EnclosureView view = *e;
    setIdentified(c, view, kElemEnclosure, 0, (q.commandWord & 0xFFFF) == 0x285, r);
    r.data.assign(4, 0);
}

// Command 3, sub-commands 0x402 and 0x403: the identify of slot `parameter
// 1` of enclosure `parameter 0`.
void slotIdentify(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = enclosureAt(all, q.param[0]);
    if (e == nullptr) {
        r.status = kNoProcessor;
        return;
    }
    if (q.param[1] >= e->slotDrive.size()) {
        r.status = kBadParameter;
        return;
    }
    EnclosureView view = *e;
    setIdentified(c, view, kElemDeviceSlot, q.param[1], (q.commandWord & 0xFFFF) == 0x402, r);
    r.data.assign(4, 0);
}

// Command 100, sub-command 0x2000: an Enclosure Control page for enclosure
// `parameter 0`, laid out as its status page. Each element with SELECT set
// takes its identify bit, and the alarm its disable, mute and tone bits.
void sendDiagnostic(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = ses2EnclosureOf(all, q, r);
    if (e == nullptr)
        return;
    EnclosureView view = *e;
    const std::vector<ElementType> types = elementTypes(view);
    size_t length = 8;
    for (const ElementType& t : types)
        length += 4 * (1 + t.count);
    // The request's data length says what was sent; the FIB around it is
    // larger.
    const uint8_t* page = q.input;
    const size_t sent = std::min<size_t>(q.length, q.inputSize);
    if (q.param[1] != 0x02 || page == nullptr || sent < length || page[0] != 0x02) {
        r.status = kBadParameter;
        return;
    }
    size_t at = 8;
    for (const ElementType& t : types) {
        at += 4;  // overall control element
        for (uint32_t i = 0; i < t.count; ++i, at += 4) {
            const uint8_t* element = page + at;
            if ((element[0] & kSelect) == 0)
                continue;
            const bool ident = t.type == kElemDeviceSlot ? (element[2] & kSlotIdent) != 0 : (element[1] & kIdent) != 0;
            setIdentified(c, view, t.type, i, ident, r);
            if (t.type != kElemAlarm)
                continue;
            if ((element[0] & kAlarmDisable) != 0)
                setAlarmState(c, view, "off", r);
            else if ((element[3] & kAlarmMute) != 0)
                setAlarmState(c, view, "silenced", r);
            else if ((element[3] & kAlarmTones) != 0)
                setAlarmState(c, view, "sounding", r);
            else
                setAlarmState(c, view, "on", r);
        }
    }
    r.data.assign(4, 0);
}

// Command 100, sub-command 0x2002: SES-2 page `parameter 1` of enclosure
// `parameter 0`, cut to the length the request expects.
void receiveDiagnostic(ControllerState& c, const EmRequest& q, EmReply& r)
{
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = ses2EnclosureOf(all, q, r);
    if (e == nullptr)
        return;
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
    if (r.changed)
        call.markChanged();

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

// "<type>:<index>,..." as sorted pairs; malformed entries are passed over.
std::vector<std::pair<unsigned, unsigned>> identifiedElements(const std::string& text)
{
    std::vector<std::pair<unsigned, unsigned>> out;
    size_t from = 0;
    while (from < text.size()) {
        const size_t comma = std::min(text.find(',', from), text.size());
        unsigned type = 0, index = 0;
        char tail = 0;
        if (std::sscanf(text.substr(from, comma - from).c_str(), "%u:%u%c", &type, &index, &tail) == 2)
            out.emplace_back(type, index);
        from = comma + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

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
        const std::string alarmState = d.pair("alarm_state");
        if (!alarmState.empty())
            e.alarmState = alarmState;
        e.identified = identifiedElements(d.pair("ident"));
        e.vendor = d.vendor;
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

bool runEnclosureCdb(const ControllerState& c, const DeviceView& device, const uint8_t* cdb, size_t cdbLength,
                     uint8_t* data, size_t dataLength, CdbResult& r)
{
    if (cdb == nullptr || cdbLength < 6 || cdb[0] != 0x1C || (device.kind != "enclosure" && device.kind != "processor"))
        return false;
    const std::vector<EnclosureView> all = enclosuresOf(c);
    const EnclosureView* e = nullptr;
    for (const EnclosureView& each : all)
        if (each.bus == device.bus && each.target == device.target && each.lun == device.lun)
            e = &each;
    if (e == nullptr)
        return false;
    std::vector<uint8_t> page;
    if (cdb[2] == 0x01)
        page = configurationPage(c, *e);
    else if (cdb[2] == 0x07)
        page = e->ses2 ? descriptorPage(*e) : fruDescriptorPage(*e);
    if (page.empty()) {
        makeSense(r, 5, 0x24, 0x00);  // invalid field in CDB: no such page
        return true;
    }
    const size_t allocation = static_cast<size_t>(cdb[3]) << 8 | cdb[4];
    const size_t n = std::min({page.size(), allocation, dataLength});
    if (data != nullptr && n != 0)
        std::memcpy(data, page.data(), n);
    r.transferred = data != nullptr ? n : 0;
    return true;
}

bool EnclosureView::isIdentified(unsigned type, unsigned index) const
{
    return std::binary_search(identified.begin(), identified.end(), std::make_pair(type, index));
}

void registerEnclosureHandlers(Dispatcher& dispatcher)
{
    addEnclosureHandler(dispatcher, 1u << 16, empCount);
    addEnclosureHandler(dispatcher, 7u << 16, empInfo);
    addEnclosureHandler(dispatcher, 9u << 16, deviceSlot);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x240, safteConfig);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x280, safteStatus);
    addEnclosureHandler(dispatcher, 100u << 16 | 0x2002, receiveDiagnostic);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x100, safteAlarm);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x101, safteAlarm);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x285, safteIdentify);
    addEnclosureHandler(dispatcher, 2u << 16 | 0x286, safteIdentify);
    addEnclosureHandler(dispatcher, 3u << 16 | 0x402, slotIdentify);
    addEnclosureHandler(dispatcher, 3u << 16 | 0x403, slotIdentify);
    addEnclosureHandler(dispatcher, 100u << 16 | 0x2000, sendDiagnostic);
}

}  // namespace vyn::hostsim
