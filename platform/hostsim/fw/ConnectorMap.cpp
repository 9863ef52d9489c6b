// The connector map (FIB 708) as a description gives it:
//   laneL      = <channel>:<device> [lane=N] [phy=N] [sas_address=<16 hex digits>]
//   connectorC = <id> <type> <name>
// Lane entries are 12 bytes: u32 channel << 24 | device at 0, lane at 5, phy
// at 6, the first four bytes of the SAS address at 8 (the rest of an
// address has no room in the entry). Connector entries are 16 bytes: id at
// 0, type at 1, the name (8 characters, zero-padded) at 4. A connector leads
// to the lanes whose byte 0, the low byte of the device number, equals its
// byte 4, the first character of its name. Entries go in index order; those
// that do not fit the reply are left out.
#include "platform/hostsim/fw/ConnectorMap.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kTrailerBytes = 12;
constexpr size_t kLaneBytes = 12;
constexpr size_t kConnectorBytes = 16;
constexpr size_t kNameChars = 8;
constexpr size_t kMaxEntries = 255;

// The object lines of one kind ("lane", "connector") in index order.
std::vector<std::string> entriesOf(const ControllerState& c, const std::string& kind)
{
    std::map<unsigned long, std::string> byIndex;
    for (const auto& [key, value] : c.objects) {
        if (key.compare(0, kind.size(), kind) != 0 || key.size() == kind.size())
            continue;
        char* end = nullptr;
        const unsigned long index = std::strtoul(key.c_str() + kind.size(), &end, 10);
        if (end != nullptr && *end == '\0')
            byIndex[index] = value;
    }
    std::vector<std::string> out;
    for (auto& entry : byIndex)
        out.push_back(entry.second);
    return out;
}

uint32_t number(const std::map<std::string, std::string>& pairs, const char* name)
{
    auto it = pairs.find(name);
    return it == pairs.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 0));
}

void putLane(uint8_t* p, const std::string& line)
{
    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
    splitShorthand(line, &words, &pairs);
    unsigned long channel = 0;
    unsigned long device = 0;
    if (!words.empty()) {
        char* end = nullptr;
        channel = std::strtoul(words[0].c_str(), &end, 0);
        if (end != nullptr && *end == ':')
            device = std::strtoul(end + 1, nullptr, 0);
    }
    putLe32(p, (channel & 0xFF) << 24 | (device & 0xFFFFFF));
    p[5] = static_cast<uint8_t>(number(pairs, "lane"));
    p[6] = static_cast<uint8_t>(number(pairs, "phy"));
    auto address = pairs.find("sas_address");
    if (address != pairs.end()) {
        std::string hex = address->second;
        if (hex.compare(0, 2, "0x") == 0 || hex.compare(0, 2, "0X") == 0)
            hex.erase(0, 2);
        for (size_t i = 0; i < 4 && 2 * i + 2 <= hex.size(); ++i)
            p[8 + i] = static_cast<uint8_t>(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    }
}

void putConnector(uint8_t* p, const std::string& line)
{
    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
    splitShorthand(line, &words, &pairs);
    p[0] = static_cast<uint8_t>(words.size() > 0 ? std::strtoul(words[0].c_str(), nullptr, 0) : 0);
    p[1] = static_cast<uint8_t>(words.size() > 1 ? std::strtoul(words[1].c_str(), nullptr, 0) : 0);
    if (words.size() > 2)
        std::memcpy(p + 4, words[2].data(), std::min(words[2].size(), kNameChars));
}

}  // namespace

bool describedConnectorMap(FibCall& call)
{
    const ControllerState& c = call.controller();
    std::vector<std::string> lanes = entriesOf(c, "lane");
    std::vector<std::string> connectors = entriesOf(c, "connector");
    if (lanes.empty() && connectors.empty())
        return false;
    call.clearPayload();
    const size_t room = call.payloadSize() - kHeaderBytes - kTrailerBytes;
    lanes.resize(std::min({lanes.size(), kMaxEntries, room / kLaneBytes}));
    connectors.resize(
        std::min({connectors.size(), kMaxEntries, (room - lanes.size() * kLaneBytes) / kConnectorBytes}));
    uint8_t* p = call.payload();
    putLe32(p, 1);
    p[4] = static_cast<uint8_t>(connectors.size());
    p[5] = static_cast<uint8_t>(lanes.size());
    for (size_t i = 0; i < lanes.size(); ++i)
        putLane(p + kHeaderBytes + kLaneBytes * i, lanes[i]);
    uint8_t* first = p + kHeaderBytes + kLaneBytes * lanes.size();
    for (size_t i = 0; i < connectors.size(); ++i)
        putConnector(first + kConnectorBytes * i, connectors[i]);
    return true;
}

}  // namespace vyn::hostsim
