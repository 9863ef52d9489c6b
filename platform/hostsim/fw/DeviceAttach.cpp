// What the physical-device attachment and the adapter attributes read beyond
// the device records: the RAID-6 drive-count tables and the vendor bytes of
// the standard inquiry data.
#include "platform/hostsim/fw/DeviceAttach.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Enclosures.h"
#include "platform/hostsim/state/Controller.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vyn::hostsim {

namespace {

constexpr size_t kEntryCount = 12;
constexpr size_t kRaid6Table = 84;
constexpr size_t kReedSolomonTable = 212;
constexpr size_t kMaxEntries = 32;
constexpr size_t kEntryBytes = 4;

// Device-record fields, by byte offset.
constexpr size_t kFlags2 = 69;
constexpr size_t kFingerprint = 72;
constexpr size_t kInquiry = 80;
constexpr size_t kUnsupported = 332;
constexpr uint8_t kAuxiliaryState = 0x08;
constexpr uint8_t kQualifierNotConnected = 0x20;

// Writes the entries of `text` into the table at `at`, whose other entries
// become zero; their number.
size_t putTable(std::vector<uint8_t>& record, size_t at, const std::string& text)
{
    std::fill(record.begin() + static_cast<std::ptrdiff_t>(at),
              record.begin() + static_cast<std::ptrdiff_t>(at + kMaxEntries * kEntryBytes), 0);
    size_t n = 0;
    size_t from = 0;
    while (from < text.size() && n < kMaxEntries) {
        const size_t comma = std::min(text.find(',', from), text.size());
        const std::string entry = text.substr(from, comma - from);
        from = comma + 1;
        unsigned first = 0, second = 0, count = 0;
        char tail = 0;
        if (std::sscanf(entry.c_str(), "%u:%u:%u%c", &first, &second, &count, &tail) != 3 || first > 0xFF ||
            second > 0xFF || count > 0xFFFF)
            continue;
        uint8_t* e = record.data() + at + n * kEntryBytes;
        e[0] = static_cast<uint8_t>(first);
        e[1] = static_cast<uint8_t>(second);
        putLe16(e + 2, static_cast<uint16_t>(count));
        ++n;
    }
    return n;
}

bool isDisk(const DeviceView& d)
{
    return d.kind == "sas" || d.kind == "sata" || d.kind == "ssd" || d.kind == "sas-ssd";
}

void putVendorBytes(const std::string& hex, uint8_t* p, size_t width)
{
    const std::vector<uint8_t> bytes = parseHexBytes(hex, width);
    const size_t given = std::min(width, hex.size() / 2);
    std::fill(p, p + width, ' ');
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(given), p);
}

}  // namespace

void applyRaid6DriveCounts(std::vector<uint8_t>& record, const std::string& raid6, const std::string& reedSolomon)
{
    if (record.size() < kReedSolomonTable + kMaxEntries * kEntryBytes || (raid6.empty() && reedSolomon.empty()))
        return;
    size_t count = 0;
    if (!raid6.empty())
        count = putTable(record, kRaid6Table, raid6);
    if (!reedSolomon.empty())
        count = std::max(count, putTable(record, kReedSolomonTable, reedSolomon));
    putLe32(record.data() + kEntryCount, static_cast<uint32_t>(count));
}

void applyAttachFields(const DeviceView& d, uint8_t* r)
{
    if (isDisk(d) && d.pair("type").empty() && d.pair("jbod") != "1")
        r[kInquiry] |= kQualifierNotConnected;
    const std::string unsupported = d.pair("unsupported");
    if (!unsupported.empty())
        putLe32(r + kUnsupported, static_cast<uint32_t>(std::strtoul(unsupported.c_str(), nullptr, 0)));
    const std::string fingerprint = d.pair("fingerprint");
    if (!fingerprint.empty()) {
        const unsigned long long v = std::strtoull(fingerprint.c_str(), nullptr, 0);
        putLe32(r + kFingerprint, static_cast<uint32_t>(v));
        putLe32(r + kFingerprint + 4, static_cast<uint32_t>(v >> 32));
    }
    if (d.pair("flagged") == "1")
        r[kFlags2] |= kAuxiliaryState;
}

void putInquiryVendorBytes(const DeviceView& d, uint8_t* data, size_t size)
{
    const struct {
        const char* name;
        size_t at;
        size_t width;
    } areas[] = {{"inquiry36", 36, 20}, {"inquiry96", 96, 32}};
    for (const auto& a : areas) {
        const std::string hex = d.pair(a.name);
        if (!hex.empty() && a.at + a.width <= size)
            putVendorBytes(hex, data + a.at, a.width);
    }
}

}  // namespace vyn::hostsim
