// Controller logs: the NVRAM event log (FIB 900 read, FIB 901 reset) and the
// drive logs of class 21 (drive error table, dead-drive log).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>

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

// Entries cut to the requested length.
void errorEntries(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNewSuccess;
    const size_t n = std::min<size_t>(c.driveErrorEntries, q.capacity / kErrorEntryBytes);
    r.data.assign(n * kErrorEntryBytes, 0);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* e = r.data.data() + i * kErrorEntryBytes;
        putLe32(e, static_cast<uint32_t>(i));
        e[4] = static_cast<uint8_t>(i + 1);
    }
}

std::vector<uint8_t> errorTable2(const ControllerState& c)
{
    std::vector<uint8_t> t(12 + c.driveErrorEntries * kErrorTable2Entry, 0);
    putLe16(t.data() + 2, kErrorTable2Entry);
    putLe16(t.data() + 4, static_cast<uint16_t>(c.driveErrorEntries));
    putLe16(t.data() + 8, 3);
    return t;
}

void errorTable2Size(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = static_cast<uint32_t>(errorTable2(c).size());
}

void errorTable2Read(ControllerState& c, const CtRequest& q, CtReply& r)
{
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
    for (size_t i = 0; i < n; ++i)
        r.data[i * entry + 1] = static_cast<uint8_t>(i + 1);
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
