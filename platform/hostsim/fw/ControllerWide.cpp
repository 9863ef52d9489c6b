// Controller-wide answers: the battery pages (class 3 sub-commands 0x30000,
// 0x700000, 0xA0000, 0x80000, 0x100), the online diagnostic (FIB 800),
// copyback (CT 216), the PPI table (CT 194, 195, 202),
// the NVS RAM clear (CT 10 of class 23), the dynamic properties (class 26),
// the history logs (CT 189, 57, 231, 232).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/DriveMetadata.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr size_t kScsiData = 20;
constexpr uint32_t kNewSuccess = 218;
constexpr size_t kPropertiesBytes = 480;
constexpr uint32_t kOpt1NewerLog = 0x10000;
constexpr uint32_t kLogEntry = 150;
constexpr uint32_t kNoLogEntry = 151;
constexpr size_t kOlderLogEntry = 101;
constexpr uint32_t kOpt2WidePpi = 0x200000;
constexpr size_t kPpiHeaderBytes = 24;
constexpr uint8_t kPpiKind = 1;
// CT 195 reads the table only for its one sub-command (parameter 0); any other
// is refused as a controller refuses a request it does not know.
constexpr uint32_t kPpiDataRequest = 219;
constexpr uint32_t kUnknownRequest = 226;

uint8_t* scsiData(FibCall& call)
{
    std::memset(call.payload(), 0, call.payloadSize());
    return call.payload() + kScsiData;
}

bool noBattery(FibCall& call)
{
    if (call.controller().battery != "none")
        return false;
    call.clearPayload();
    call.setWord(0, kStatusNotSupported);
    return true;
}

// The 24-byte legacy page: u8 at 0, 1, 2; u32 at 4; values at 8 to 18; u8 at
// 20, 21; the validity word V at 22 (bit 13: read the 56-byte page).
void legacyPage(FibCall& call)
{
    if (noBattery(call))
        return;
    const ControllerState& c = call.controller();
    uint8_t* p = scsiData(call);
    const bool full = c.battery == "full";
    p[0] = 1;
    putLe32(p + 4, 3600);
    putLe16(p + 8, 4200);
    putLe16(p + 12, 35);
    putLe16(p + 14, 100);
    putLe16(p + 16, 1200);
    putLe16(p + 18, 1250);
    p[20] = 1;
    putLe16(p + 22, static_cast<uint16_t>(full ? 0x2000 : c.batteryValid & 0xDFFF));
}

// The 56-byte page: W at 0, values from 4, status bits S at 28.
void fullPage(FibCall& call)
{
    if (noBattery(call))
        return;
    const ControllerState& c = call.controller();
    uint8_t* p = scsiData(call);
    putLe32(p + 0, c.batteryValid);
    putLe16(p + 4, 30);
    putLe16(p + 6, 1250);
    putLe16(p + 8, 1200);
    putLe16(p + 10, 100);
    putLe16(p + 12, 35);
    putLe32(p + 16, 72);
    putLe32(p + 20, 3600);
    putLe32(p + 24, 4200);
    putLe32(p + 28, c.batteryStatus);
    for (size_t i = 32; i < 56; ++i)
        p[i] = static_cast<uint8_t>(i);
}

void batteryValue(FibCall& call)
{
    if (noBattery(call))
        return;
    putLe32(scsiData(call), 72);
}

void batterySerial(FibCall& call)
{
    if (noBattery(call))
        return;
    putLe16(scsiData(call), static_cast<uint16_t>(call.controller().serial[0]));
}

void batteryInformation(FibCall& call)
{
    if (noBattery(call))
        return;
    putLe16(scsiData(call), 1);
}

// The six-word battery page of older OEM controllers: full charge and design
// capacity, remaining capacity (mAh), voltage (mV), current (mA), temperature.
void batterySixWords(FibCall& call)
{
    if (noBattery(call))
        return;
    uint8_t* p = scsiData(call);
    const uint32_t words[6] = {1250, 1200, 1000, 4100, static_cast<uint32_t>(-20), 35};
    for (size_t i = 0; i < 6; ++i)
        putLe32(p + 4 * i, words[i]);
}

void diagnostic(FibCall& call) { call.clearPayload(); }

// CT 238: parameter 1 the mask in the form CT 239 answers (bit 1 SATA, bit 0
// SAS).
void setCachePolicy(ControllerState& c, const CtRequest& q, CtReply& r)
{
    c.cachePolicy = q.param[1] & 0x3;
    r.status = kNewSuccess;
}

void copyback(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNewSuccess;
    if (q.param[0] == 2)
        r.result1 = c.copyback ? 1 : 0;
    else
        c.copyback = q.param[0] != 0;
}

// SSD-cache pool tuning by property: the flush-and-fetch rate (21), the
// read/write balance (22) and the dirty-page threshold (23), each offered by
// its bit of option word 3.
bool offersPoolTuning(const ControllerState& c, uint32_t code)
{
    switch (code) {
    case 21: return (c.optionWord[2] & 0x80) != 0;
    case 22: return (c.optionWord[2] & 0x200) != 0;
    case 23: return (c.optionWord[2] & 0x8000) != 0;
    default: return false;
    }
}

// Class 26: the property whose code is at byte 36 is applied, whatever the
// change mask says; a rejected code answers 430 at byte 40.
void setProperty(FibCall& call)
{
    ControllerState& c = call.controller();
    uint8_t* p = call.payload();
    const size_t n = std::min<size_t>(kPropertiesBytes, call.payloadSize());
    c.propertiesSets.emplace_back(p, p + n);
    const uint32_t code = getLe32(p + 36);
    c.properties.resize(kPropertiesBytes, 0);
    const bool rejected = std::find(c.propertiesReject.begin(), c.propertiesReject.end(), code) !=
                          c.propertiesReject.end();
    if (!rejected) {
        // Properties that share a field each own bits of it: the flag byte
        // 48 (statistics 0x10, NCQ 0x20, SSD cache writes 0x40) and the
        // power-management word at 92 (12: bits 0-2, 13: bits 3 and 4, 18:
        // the stay-awake bit 5 and its days in bits 6-12); setting one
        // leaves the others as they were. The stay-awake setter sends its
        // window with property 18 as well.
        struct Field {
            uint32_t code;
            size_t at, len;
            uint16_t bits;  // 0: the whole field; else bits of a u8 or u16
        };
        static const Field kFields[] = {
            {0, 44, 4, 0},       {10, 88, 4, 0},      {11, 48, 1, 0x10},  {12, 92, 2, 0x0007}, {13, 92, 2, 0x0018},
            {14, 96, 8, 0},      {15, 104, 8, 0},     {16, 112, 4, 0},    {17, 116, 4, 0},     {18, 92, 2, 0x1FE0},
            {18, 96, 8, 0},      {19, 48, 1, 0x20},   {21, 54, 2, 0},     {22, 58, 2, 0},      {23, 120, 1, 0},
            {24, 48, 1, 0x40}};
        for (const Field& f : kFields) {
            if (f.code != code)
                continue;
            uint8_t* to = c.properties.data() + f.at;
            if (f.bits == 0) {
                std::memcpy(to, p + f.at, f.len);
            } else if (f.len == 1) {
                to[0] = static_cast<uint8_t>((to[0] & ~f.bits) | (p[f.at] & f.bits));
            } else {
                putLe16(to, static_cast<uint16_t>((getLe16(to) & ~f.bits) | (getLe16(p + f.at) & f.bits)));
            }
        }
        // The pool tuning a controller offers is reported once it is set.
        if (offersPoolTuning(c, code))
            c.propertiesMask |= 1u << code;
        call.markChanged();
    }
    std::memset(p, 0, n);
    if (rejected)
        putLe32(p + 40, 430);
}

// Logs read in entries: a size request (parameter 0 not 151) answers the
// size in result word 1; an entry read (parameter 0 = 151, parameter 1 the
// offset, parameter 2 the length) answers 150 with the bytes, the next offset
// and the count, or 151 past the end.
void textLog(const std::string& text, uint32_t chunk, const CtRequest& q, CtReply& r)
{
    if (q.param[0] != 151) {
        r.status = kNewSuccess;
        r.result1 = static_cast<uint32_t>(text.size());
        r.result2 = chunk;
        return;
    }
    const size_t offset = q.param[1];
    if (offset >= text.size()) {
        r.status = 151;
        return;
    }
    const size_t n = std::min<size_t>({text.size() - offset, q.param[2], chunk, q.capacity});
    r.status = 150;
    r.result1 = static_cast<uint32_t>(offset + n);
    r.result2 = static_cast<uint32_t>(n);
    r.data.assign(text.begin() + static_cast<long>(offset), text.begin() + static_cast<long>(offset + n));
}

// The older history log: the history text as lines without their newline.
std::vector<std::string> historyLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find('\n', from);
        if (nl == std::string::npos)
            nl = text.size();
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
    return lines;
}

// CT 189 on a controller without the newer log: the line count as the
// container status, the current run's first line in result word 1.
void olderLogSize(const ControllerState& c, CtReply& r)
{
    r.status = static_cast<uint32_t>(historyLines(c.historyText).size());
    r.result1 = c.historyStart;
}

// CT 57: line parameter 0 as a 101-byte entry, text cut to 100 bytes and
// zero-padded; 151 past the last line.
void olderLogEntry(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const std::vector<std::string> lines = historyLines(c.historyText);
    if (q.param[0] >= lines.size()) {
        r.status = kNoLogEntry;
        return;
    }
    const std::string& line = lines[q.param[0]];
    r.status = kLogEntry;
    r.data.assign(kOlderLogEntry, 0);
    std::memcpy(r.data.data(), line.data(), std::min(line.size(), kOlderLogEntry - 1));
}

// Entries of the PPI table, one per drive at target i of bus 0, in the
// 16-byte form with option word 2 bit 0x200000, else in the 12-byte form.
size_t ppiEntryBytes(const ControllerState& c) { return (c.optionWord[1] & kOpt2WidePpi) ? 16 : 12; }

void ppiHeaders(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.data.assign(kPpiHeaderBytes, 0);
    putLe32(r.data.data(), 1);
    putLe32(r.data.data() + 4, c.ppiClears);
    putLe32(r.data.data() + 16, c.ppiScripted ? static_cast<uint32_t>(c.ppiTable.size()) : c.ppiEntries);
    putLe32(r.data.data() + 20, static_cast<uint32_t>(ppiEntryBytes(c)));
}

void ppiData(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (q.param[0] != kPpiDataRequest) {
        r.status = kUnknownRequest;
        return;
    }
    r.status = kNewSuccess;
    // A table too long for one reply hands its status back in result word 2.
    r.result2 = kNewSuccess;
    const size_t size = ppiEntryBytes(c);
    if (c.ppiScripted) {
        scriptedPpiData(c, size, r.data);
        if (r.data.size() > q.capacity)
            r.data.resize(q.capacity);
        return;
    }
    r.data.assign(c.ppiEntries * size, 0);
    for (uint32_t i = 0; i < c.ppiEntries; ++i) {
        uint8_t* e = r.data.data() + i * size;
        putLe32(e, c.serial[0]);
        putLe32(e + 4, i);
        if (size == 16) {
            putLe32(e + 8, i);
            e[12] = 1;
            e[13] = kPpiKind;
        } else {
            putLe16(e + 8, static_cast<uint16_t>(i));
            e[10] = 1;
            e[11] = kPpiKind;
        }
    }
    if (r.data.size() > q.capacity)
        r.data.resize(q.capacity);
}

void clearPpi(ControllerState& c, const CtRequest&, CtReply& r)
{
    ++c.ppiClears;
    c.ppiEntries = 0;
    c.ppiTable.clear();
    r.status = kNewSuccess;
}

// Class 23 answers in the container reply's single-packet form.
void clearNvsRam(FibCall& call)
{
    call.clearPayload();
    call.setWord(1, 10);
    call.setWord(2, kNewSuccess);
    call.setWord(5, 0xFFFFFFFFu);
}

}  // namespace

void registerControllerWideHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Class3, 0x30000, legacyPage);
    dispatcher.add(HandlerKind::Class3, 0x700000, fullPage);
    dispatcher.add(HandlerKind::Class3, 0xA0000, batteryValue);
    dispatcher.add(HandlerKind::Class3, 0x80000, batterySerial);
    dispatcher.add(HandlerKind::Class3, 0x100, batteryInformation);
    dispatcher.add(HandlerKind::Class3, 0x500000, batterySixWords);
    addCtHandler(dispatcher, 238, setCachePolicy);
    dispatcher.add(HandlerKind::Fib, 800, diagnostic);
    dispatcher.add(HandlerKind::Class26, 0, setProperty);
    dispatcher.add(HandlerKind::Class23, 10, clearNvsRam);
    addCtHandler(dispatcher, 216, copyback);
    addCtHandler(dispatcher, 202, clearPpi);
    addCtHandler(dispatcher, 194, ppiHeaders);
    addCtHandler(dispatcher, 195, ppiData);
    addCtHandler(dispatcher, 189, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        if (c.optionWord[0] & kOpt1NewerLog)
            textLog(c.historyText, c.archiveChunk, q, r);
        else
            olderLogSize(c, r);
    });
    addCtHandler(dispatcher, 57, olderLogEntry);
    addCtHandler(dispatcher, 231, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        textLog(c.archiveText, c.archiveChunk, q, r);
    });
    addCtHandler(dispatcher, 232, [](ControllerState&, const CtRequest& q, CtReply& r) {
        r.status = kNewSuccess;
        r.result1 = q.param[1];
    });
    addCtHandler(dispatcher, 34, [](ControllerState& c, const CtRequest&, CtReply& r) {
        ++c.reconfigs;
        r.status = kNewSuccess;
    });
}

}  // namespace vyn::hostsim
