#include "platform/hostsim/SmartPage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr size_t kPageBytes = 512;
constexpr size_t kTableOffset = 2;
constexpr size_t kEntryBytes = 12;
constexpr size_t kMaxEntries = 30;
constexpr uint16_t kRevision = 0x0010;
// Raw read error rate, power-on hours, temperature.
constexpr const char* kHealthyTable = "01:100:100:0,09:100:100:1000,C2:100:100:30";

bool isSmartRead(const uint8_t* cdb, size_t cdbLength)
{
    return cdb != nullptr && cdbLength >= 12 && cdb[0] == 0xA1 && cdb[3] == 0xD0 && cdb[6] == 0x4F &&
           cdb[7] == 0xC2 && cdb[9] == 0xB0;
}

// "ID:current:worst:raw" entries into the page; malformed ones are skipped.
void putTable(const std::string& text, uint8_t* page)
{
    std::stringstream list(text);
    std::string item;
    size_t n = 0;
    while (n < kMaxEntries && std::getline(list, item, ',')) {
        std::stringstream fields(item);
        std::string id, current, worst, raw;
        if (!std::getline(fields, id, ':') || !std::getline(fields, current, ':') ||
            !std::getline(fields, worst, ':') || !std::getline(fields, raw, ':'))
            continue;
        const unsigned long attribute = std::strtoul(id.c_str(), nullptr, 16);
        if (attribute == 0 || attribute > 0xFF)
            continue;
        uint8_t* e = page + kTableOffset + n * kEntryBytes;
        e[0] = static_cast<uint8_t>(attribute);
        e[1] = 0x03;  // pre-failure, online collection
        e[3] = static_cast<uint8_t>(std::strtoul(current.c_str(), nullptr, 0));
        e[4] = static_cast<uint8_t>(std::strtoul(worst.c_str(), nullptr, 0));
        const unsigned long long value = std::strtoull(raw.c_str(), nullptr, 0);
        for (size_t b = 0; b < 6; ++b)
            e[5 + b] = static_cast<uint8_t>(value >> (8 * b));
        ++n;
    }
}

}  // namespace

bool runSmartReadCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                     size_t dataLength, CdbResult& result)
{
    if (!isSmartRead(cdb, cdbLength) || (device.kind != "sata" && device.kind != "ssd"))
        return false;
    uint8_t page[kPageBytes] = {};
    page[0] = static_cast<uint8_t>(kRevision);
    page[1] = static_cast<uint8_t>(kRevision >> 8);
    const std::string table = device.pair("smart.attrs");
    putTable(table.empty() ? kHealthyTable : table, page);
    result = CdbResult();
    result.transferred = data != nullptr ? std::min(dataLength, kPageBytes) : 0;
    if (result.transferred > 0)
        std::memcpy(data, page, result.transferred);
    return true;
}

}  // namespace vyn::hostsim
