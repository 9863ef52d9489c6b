// Controller logs: the NVRAM event log (FIB 900 read, FIB 901 reset) and the
// drive logs of class 21 (drive error table, dead-drive log).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kLogEmpty = 366;
constexpr uint32_t kMaxNvlogEntries = 113;
constexpr size_t kNvlogEntryBytes = 144;
constexpr uint32_t kClockBase = 1704067200;  // 2024-01-01 00:00:00 UTC
constexpr uint32_t kContainerChange = 4;
constexpr uint32_t kNewSuccess = 218;
constexpr size_t kDeadEntryBytes[2] = {48, 56};
constexpr size_t kErrorEntryBytes = 12;
constexpr size_t kErrorTable2Entry = 60;
constexpr size_t kErrorTable1Entry = 16;
// Option word 2 bit 21: device address words hold the bus in the top byte
// and the device in the low 24 bits.
constexpr uint32_t kOpt2WideDeviceAddress = 0x200000;
// Failure reasons of the dead-drive entries: a medium error with its sense
// (major 4), or a drive that stopped answering (major 2).
constexpr uint32_t kFailureMediumError = 0x04031100;
constexpr uint32_t kFailureNoResponse = 0x02000000;

// Who entry i of a drive log names: the described drives in turn (drive I
// sits in slot I of enclosure 0), or, on a controller without drives, the
// drive at bus 0, target i + 1.
struct LoggedDrive {
    uint32_t bus = 0;
    uint32_t target = 0;
    uint32_t lun = 0;
    uint8_t slot = 0;
    std::string serial;  // eight characters
};

LoggedDrive loggedDrive(const ControllerState& c, size_t i)
{
    LoggedDrive d;
    const ConfigView v = configurationOf(c);
    if (v.drives.empty()) {
        d.target = static_cast<uint32_t>(i + 1);
    } else {
        const DriveView& drive = v.drives[i % v.drives.size()];
        d.bus = drive.bus;
        d.target = drive.target;
        d.lun = drive.lun;
        d.slot = static_cast<uint8_t>(drive.index);
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, "SIM%02X%03X", d.bus & 0xFF, d.target & 0xFFF);
    d.serial = serial;
    return d;
}

uint32_t addressWord(const ControllerState& c, const LoggedDrive& d)
{
    if ((c.optionWord[1] & kOpt2WideDeviceAddress) != 0)
        return d.bus << 24 | (d.lun << 16 | d.target);
    return (d.bus & 0x3F) << 7 | (d.target & 0xF) | ((d.lun & 0x7) << 4);
}

// `text` into a field of `width` bytes: blank-padded on the right, or with
// `leading` blanks in front.
void putText(uint8_t* field, size_t width, const std::string& text, size_t leading = 0, char pad = ' ')
{
    std::memset(field, pad, width);
    for (size_t k = 0; k < text.size() && leading + k < width; ++k)
        field[leading + k] = static_cast<uint8_t>(text[k]);
}

void putWwn(uint8_t* field, const LoggedDrive& d)
{
    const uint64_t wwn = 0x5000C50000000000ULL | static_cast<uint64_t>(d.bus) << 16 | d.target;
    for (int b = 0; b < 8; ++b)
        field[b] = static_cast<uint8_t>(wwn >> (8 * (7 - b)));
}

// Entry i failed i hours after the clock base (2024-01-01 00:00).
void putClock(uint8_t* seconds, size_t i)
{
    seconds[0] = 0;
    seconds[1] = 0;
    seconds[2] = static_cast<uint8_t>(i % 24);
    seconds[3] = static_cast<uint8_t>(1 + (i / 24) % 28);
    seconds[4] = 1;
}

// The log data: a count byte, then 144-byte entries: time stamp at 4, the
// notification (code, then its words) from 8.
std::vector<uint8_t> nvlogData(const ControllerState& c)
{
    const uint32_t n = std::min(c.nvlogEntries, kMaxNvlogEntries);
    std::vector<uint8_t> data(1 + n * kNvlogEntryBytes, 0);
    data[0] = static_cast<uint8_t>(n);
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t* e = data.data() + 1 + i * kNvlogEntryBytes;
        putLe32(e + 4, kClockBase + 60 * i);
        putLe32(e + 8, kContainerChange);
        putLe32(e + 12, i);
    }
    return data;
}

void nvlogRead(FibCall& call)
{
    ControllerState& c = call.controller();
    call.clearPayload();
    if (c.nvlogEntries == 0) {
        call.setWord(2, kLogEmpty);
        return;
    }
    std::vector<uint8_t> data = nvlogData(c);
    const uint32_t total = static_cast<uint32_t>(data.size());
    call.setWord(2, kCtMultiPacket);
    call.setWord(3, total);
    call.setWord(5, openCtTransfer(c, std::move(data)));
}

void nvlogReset(FibCall& call)
{
    call.controller().nvlogEntries = 0;
    call.markChanged();
    call.clearPayload();
}

void clearErrors(ControllerState& c, const CtRequest&, CtReply& r)
{
    c.driveErrorEntries = 0;
    r.status = kNewSuccess;
}

void errorCount(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.data.assign(4, 0);
    putLe32(r.data.data(), c.driveErrorEntries);
}

// Entries of the older table (12 bytes: address word, parity errors, link
// failures, hardware errors, slot, enclosure), cut to the requested length.
void errorEntries(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNewSuccess;
    const size_t n = std::min<size_t>(c.driveErrorEntries, q.capacity / kErrorEntryBytes);
    r.data.assign(n * kErrorEntryBytes, 0);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* e = r.data.data() + i * kErrorEntryBytes;
        const LoggedDrive d = loggedDrive(c, i);
        putLe32(e, addressWord(c, d));
        e[4] = static_cast<uint8_t>(i + 1);
        e[5] = static_cast<uint8_t>(i % 4);
        e[6] = static_cast<uint8_t>(i % 3);
        e[7] = d.slot;
        e[8] = 0;
    }
}

// The newer table: a 12-byte header (entry size, count, version), then
// entries of 16 bytes (version 1) or 60 bytes (versions 2 and 3).
std::vector<uint8_t> errorTable2(const ControllerState& c)
{
    const size_t entry = c.driveErrorVersion == 1 ? kErrorTable1Entry : kErrorTable2Entry;
    const size_t n = std::min<size_t>(c.driveErrorEntries, 0xFFFF);
    std::vector<uint8_t> t(12 + n * entry, 0);
    putLe16(t.data() + 2, static_cast<uint16_t>(entry));
    putLe16(t.data() + 4, static_cast<uint16_t>(n));
    putLe16(t.data() + 8, static_cast<uint16_t>(c.driveErrorVersion));
    for (size_t i = 0; i < n; ++i) {
        uint8_t* e = t.data() + 12 + i * entry;
        const LoggedDrive d = loggedDrive(c, i);
        const auto count = [i](unsigned k) { return static_cast<uint16_t>((i + 1) * k); };
        if (c.driveErrorVersion == 1) {
            putLe32(e, addressWord(c, d));
            e[5] = d.slot;
            e[6] = 0;
            e[7] = static_cast<uint8_t>(i % 3);
            putLe16(e + 8, count(1));
            putLe16(e + 10, count(2));
            putLe16(e + 12, count(3));
            putLe16(e + 14, count(4));
            continue;
        }
        e[1] = static_cast<uint8_t>(i % 3);
        putLe16(e + 2, count(4));
        putLe16(e + 4, count(1));
        putLe16(e + 6, count(2));
        putLe16(e + 8, count(3));
        putLe16(e + 10, i % 4 == 3 ? 1 : 0);
        e[12] = static_cast<uint8_t>(i % 2);
        e[13] = static_cast<uint8_t>(d.lun);
        putLe16(e + 14, static_cast<uint16_t>(d.target));
        putText(e + 16, 20, d.serial, 20 - d.serial.size());
        putWwn(e + 36, d);
        putText(e + 44, 8, "VYNSIM");
        putText(e + 52, 8, "SIMDISK");
    }
    return t;
}

// A controller with the older table only does not know the newer one.
void errorTable2Size(ControllerState& c, const CtRequest&, CtReply& r)
{
    if (c.driveErrorVersion == 0) {
        r.unknown = true;
        return;
    }
    r.status = static_cast<uint32_t>(errorTable2(c).size());
}

void errorTable2Read(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (c.driveErrorVersion == 0) {
        r.unknown = true;
        return;
    }
    r.status = kNewSuccess;
    r.data = errorTable2(c);
    if (r.data.size() > q.capacity)
        r.data.resize(q.capacity);
}

void clearDead(ControllerState& c, const CtRequest&, CtReply& r)
{
    c.deadDriveEntries = 0;
    r.status = kNewSuccess;
}

void deadCount(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.data.assign(4, 0);
    putLe32(r.data.data(), c.deadDriveEntries);
}

void deadHeader(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.data.assign(32, 0);
    putLe32(r.data.data(), c.deadDriveVersion == 1 ? c.deadDriveEntries : 0);
    putLe16(r.data.data() + 16, static_cast<uint16_t>(c.deadDriveVersion));
}

void deadEntries(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNewSuccess;
    const size_t entry = kDeadEntryBytes[c.deadDriveVersion == 1 ? 1 : 0];
    const size_t n = std::min<size_t>(c.deadDriveEntries, q.capacity / entry);
    r.data.assign(n * entry, 0);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* e = r.data.data() + i * entry;
        const LoggedDrive d = loggedDrive(c, i);
        const uint32_t reason = i % 2 == 0 ? kFailureMediumError : kFailureNoResponse;
        if (entry == kDeadEntryBytes[0]) {
            // Slot, device, bus, entry type, enclosure, the clock, the
            // serial number (zero-padded) with the vendor behind it, the
            // failure reason and the address word.
            e[0] = d.slot;
            e[1] = static_cast<uint8_t>(d.target);
            e[2] = static_cast<uint8_t>(d.bus);
            e[3] = 1;
            e[4] = 0;
            putClock(e + 5, i);
            putLe16(e + 10, 2024);
            putText(e + 12, 8, d.serial, 0, '\0');
            putText(e + 20, 8, "VYNSIM");
            putLe32(e + 36, reason);
            putLe32(e + 40, addressWord(c, d));
        } else {
            putClock(e + 1, i);
            putLe16(e + 6, 2024);
            putText(e + 8, 20, d.serial, 20 - d.serial.size());
            putWwn(e + 28, d);
            putText(e + 36, 8, "VYNSIM");
            putText(e + 44, 8, "SIMDISK");
            putLe32(e + 52, reason);
        }
    }
}

}  // namespace

void registerLogHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 900, nvlogRead);
    dispatcher.add(HandlerKind::Fib, 901, nvlogReset);
    addCtHandler(dispatcher, HandlerKind::Class21, 1, clearErrors);
    addCtHandler(dispatcher, HandlerKind::Class21, 2, errorCount);
    addCtHandler(dispatcher, HandlerKind::Class21, 3, errorEntries);
    addCtHandler(dispatcher, HandlerKind::Class21, 5, clearDead);
    addCtHandler(dispatcher, HandlerKind::Class21, 6, deadCount);
    addCtHandler(dispatcher, HandlerKind::Class21, 7, deadHeader);
    addCtHandler(dispatcher, HandlerKind::Class21, 8, deadEntries);
    addCtHandler(dispatcher, HandlerKind::Class21, 12, errorTable2Read);
    addCtHandler(dispatcher, HandlerKind::Class21, 14, errorTable2Size);
}

}  // namespace vyn::hostsim
