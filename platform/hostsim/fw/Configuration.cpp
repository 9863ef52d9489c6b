// The configuration view: drives ("driveI = <bus:target[:lun]> <kind> <size>")
// and containers ("ldK = <level> <members>") as the firmware records show them.
#include "platform/hostsim/fw/Configuration.h"

#include "platform/hostsim/state/Derived.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <tuple>

namespace vyn::hostsim {

namespace {

constexpr uint64_t kLeadBlocks = 128;
constexpr uint32_t kSliceForContainers = 6;
constexpr uint32_t kSlicePassThrough = 7;
constexpr uint64_t kTailBlocks = 2048;
constexpr unsigned kMaxObjects = 1024;

uint64_t parseSizeBlocks(const std::string& text)
{
    if (text.empty())
        return 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    const std::string unit = end != nullptr ? std::string(end) : "";
    double bytes = v;
    if (unit == "s")
        return static_cast<uint64_t>(v);
    if (unit == "K")
        bytes = v * 1024;
    else if (unit == "M")
        bytes = v * 1024 * 1024;
    else if (unit == "G")
        bytes = v * 1024 * 1024 * 1024;
    else if (unit == "T")
        bytes = v * 1024 * 1024 * 1024 * 1024;
    return static_cast<uint64_t>(bytes / 512);
}

// "bus:target[:lun]", as sscanf("%u:%u:%u") reads it (what follows is
// ignored), without its cost: the view reads every drive's address.
bool parseAddress(const std::string& text, uint32_t* bus, uint32_t* target, uint32_t* lun)
{
    const char* p = text.c_str();
    char* end = nullptr;
    auto number = [&p, &end](uint32_t* out) {
        while (std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '+' && *p != '-')
            return false;
        const unsigned long v = std::strtoul(p, &end, 10);
        if (end == p)
            return false;
        *out = static_cast<uint32_t>(v);
        p = end;
        return true;
    };
    uint32_t b = 0, t = 0, l = 0;
    if (!number(&b) || *p != ':')
        return false;
    ++p;
    if (!number(&t))
        return false;
    const bool hasLun = *p == ':' && (++p, number(&l));
    *bus = b;
    *target = t;
    *lun = hasLun ? l : 0;
    return true;
}

// The number N of a key "<prefix>N" written as the description writes it
// (decimal, no leading zero), below `limit`; -1 for any other key.
long objectNumber(const std::string& key, const char* prefix, size_t prefixLength, unsigned limit)
{
    if (key.size() <= prefixLength || key.compare(0, prefixLength, prefix) != 0)
        return -1;
    unsigned long n = 0;
    for (size_t i = prefixLength; i < key.size(); ++i) {
        const char ch = key[i];
        if (ch < '0' || ch > '9' || (i == prefixLength && ch == '0' && key.size() > prefixLength + 1))
            return -1;
        n = n * 10 + static_cast<unsigned long>(ch - '0');
        if (n >= limit)
            return -1;
    }
    return static_cast<long>(n);
}

}  // namespace

void splitShorthand(const std::string& value, std::vector<std::string>* words,
                    std::map<std::string, std::string>* pairs)
{
    size_t i = 0;
    while (i < value.size()) {
        while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i])))
            ++i;
        size_t end = i;
        while (end < value.size() && !std::isspace(static_cast<unsigned char>(value[end])))
            ++end;
        if (end == i)
            break;
        const size_t eq = value.find('=', i);
        if (eq == std::string::npos || eq >= end)
            words->push_back(value.substr(i, end - i));
        else
            (*pairs)[value.substr(i, eq - i)] = value.substr(eq + 1, end - eq - 1);
        i = end;
    }
}

namespace {

struct Level {
    const char* name;
    uint32_t raidType;
    uint32_t legType;  // 0: one level
};
const Level kLevels[] = {
    {"volume", 1, 0}, {"raid0", 2, 0},  {"raid1", 3, 0},  {"raid10", 4, 3}, {"raid1e", 5, 0},
    {"raid5", 7, 0},  {"raid50", 8, 7}, {"raid5ee", 9, 0}, {"raid6", 11, 0}, {"raid60", 12, 11},
    // a volume over mirrored pairs (legs of two)
    {"mirrorvolume", 1, 3},
};

}  // namespace

const LogDevView* logDevWithHandle(const ConfigView& v, uint32_t handle)
{
    for (const LogDevView& l : v.logDevs)
        if (l.handle == handle)
            return &l;
    return nullptr;
}

bool containerLevel(const std::string& name, bool* overLegs)
{
    for (const Level& l : kLevels) {
        if (name == l.name) {
            *overLegs = l.legType != 0;
            return true;
        }
    }
    return false;
}

namespace {

// The data a container of n members holds per block of each member's
// extent, as a fraction: a RAID-1E keeps half of every extent, so its share
// is n / 2, which whole numbers per extent cannot express.
struct Share {
    uint64_t num = 0;
    uint64_t den = 1;
};

Share shareOf(uint32_t raidType, size_t n)
{
    switch (raidType) {
    case 3: return {1, 1};
    case 5: return {n, 2};
    case 7: return {n > 1 ? n - 1 : 0, 1};
    case 9:
    case 11: return {n > 2 ? n - 2 : 0, 1};
    default: return {n, 1};
    }
}

uint64_t dataBlocks(uint32_t raidType, size_t n, uint64_t extent)
{
    const Share s = shareOf(raidType, n);
    return extent * s.num / s.den;
}

// The smallest extent per member that holds `blocks` of data at `share`.
uint64_t extentFor(uint64_t blocks, Share share)
{
    return share.num == 0 ? 0 : (blocks * share.den + share.num - 1) / share.num;
}

// A controller lays the members of a striped container in whole stripes, so
// that a later change of the stripe finds whole stripes too; other
// containers keep extents of whole 64 KB.
uint64_t extentUnit(const Level& level, uint32_t stripeBlocks)
{
    constexpr uint64_t k64K = 128;
    const bool striped = level.legType != 0 ? level.raidType != 1 : level.raidType != 1 && level.raidType != 3;
    return striped && stripeBlocks > k64K && stripeBlocks % k64K == 0 ? stripeBlocks : k64K;
}

struct DerivedView {
    std::vector<DriveView> drives;
    std::vector<LogDevView> logDevs;
};

// "ldK = volume|raid0 ldA,ldB,...": a container over top-level containers of
// the configuration, which become its members (each member once); the
// tops stay in number order.
void addContainersOverContainers(const ControllerState& c, DerivedView& v)
{
    for (const auto& [key, value] : c.objects) {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        splitShorthand(value, &words, &pairs);
        if (key.size() < 3 || key.compare(0, 2, "ld") != 0 || words.size() < 2 || words[1].compare(0, 2, "ld") != 0 ||
            (words[0] != "volume" && words[0] != "raid0"))
            continue;
        LogDevView top;
        top.number = static_cast<uint32_t>(std::strtoul(key.c_str() + 2, nullptr, 10));
        top.handle = kFirstLogDevHandle + top.number;
        top.raidType = words[0] == "volume" ? 1 : 2;
        top.name = pairs.count("name") ? pairs["name"] : "";
        std::vector<LogDevView*> members;
        std::istringstream list(words[1]);
        std::string m;
        while (std::getline(list, m, ',')) {
            if (m.size() < 3 || m.compare(0, 2, "ld") != 0)
                continue;
            const uint32_t number = static_cast<uint32_t>(std::strtoul(m.c_str() + 2, nullptr, 10));
            for (LogDevView& l : v.logDevs)
                if (l.number == number && l.parent == 0xFFFFFFFFu &&
                    std::find(members.begin(), members.end(), &l) == members.end())
                    members.push_back(&l);
        }
        if (members.empty())
            continue;
        uint64_t smallest = members[0]->blocks;
        for (const LogDevView* l : members)
            smallest = std::min(smallest, l->blocks);
        for (LogDevView* l : members) {
            l->parent = top.handle;
            const uint64_t blocks = top.raidType == 1 ? l->blocks : smallest;
            top.members.push_back({0xFFFFFFFFu, l->handle, 0, blocks});
            top.blocks += blocks;
        }
        auto at = std::find_if(v.logDevs.begin(), v.logDevs.end(),
                               [&](const LogDevView& l) { return l.number > top.number; });
        v.logDevs.insert(at, top);
    }
}

}  // namespace

namespace {

DerivedView deriveConfiguration(const ControllerState& c)
{
    DerivedView v;
    // Slices: a drive keeps the number its `slice` pair names; the others
    // take the lowest free numbers in drive order.
    std::vector<bool> sliceTaken;
    auto takeSlice = [&sliceTaken](uint32_t n) {
        if (n >= sliceTaken.size())
            sliceTaken.resize(n + 1, false);
        sliceTaken[n] = true;
    };
    // The drive and container lines by number, in one pass over the lines.
    std::map<unsigned, const std::string*> driveLines, containerLines;
    for (const auto& [key, line] : c.objects) {
        const long drive = objectNumber(key, "drive", 5, kMaxObjects);
        const long container = objectNumber(key, "ld", 2, kMaxObjects);
        if (drive >= 0)
            driveLines[static_cast<unsigned>(drive)] = &line;
        else if (container >= 0)
            containerLines[static_cast<unsigned>(container)] = &line;
    }
    for (const auto& [i, line] : driveLines) {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        splitShorthand(*line, &words, &pairs);
        DriveView d;
        d.index = i;
        if (words.empty() || !parseAddress(words[0], &d.bus, &d.target, &d.lun))
            continue;
        d.blocks = words.size() > 2 ? parseSizeBlocks(words[2]) : 0;
        d.usable = d.blocks > kLeadBlocks + kTailBlocks ? (d.blocks - kLeadBlocks - kTailBlocks) / 128 * 128 : 0;
        const std::string kind = words.size() > 1 ? words[1] : "";
        const bool disk = kind != "tape" && kind != "cdrom" && kind != "other";
        if (disk && pairs["slice"] != "none") {
            d.sliceType = pairs["jbod"] == "1" ? kSlicePassThrough : kSliceForContainers;
            if (!pairs["slice"].empty() && pairs["slice"].size() <= 3) {
                d.slice = static_cast<uint32_t>(std::strtoul(pairs["slice"].c_str(), nullptr, 10));
                takeSlice(d.slice);
            }
        }
        d.ondisk = pairs["ondisk"];
        d.missing = pairs["state"] == "missing";
        v.drives.push_back(d);
    }
    for (DriveView& d : v.drives) {
        if (d.sliceType == 0 || d.slice != 0xFFFFFFFFu)
            continue;
        uint32_t n = 0;
        while (n < sliceTaken.size() && sliceTaken[n])
            ++n;
        d.slice = n;
        takeSlice(n);
    }
    // Each container takes its extent on a member where the member's earlier
    // containers end.
    std::map<uint32_t, uint64_t> nextBlock;
    for (const DriveView& d : v.drives)
        nextBlock[d.handle()] = kLeadBlocks;
    // The first drive at each address.
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, const DriveView*> byAddress;
    for (const DriveView& d : v.drives)
        byAddress.emplace(std::make_tuple(d.bus, d.target, d.lun), &d);
    auto driveAt = [&byAddress](const std::string& addr) -> const DriveView* {
        uint32_t b = 0, t = 0, l = 0;
        if (!parseAddress(addr, &b, &t, &l))
            return nullptr;
        auto it = byAddress.find(std::make_tuple(b, t, l));
        return it == byAddress.end() ? nullptr : it->second;
    };

    std::vector<LogDevView> legs;
    uint32_t nextLegNumber = c.maxContainers > 0 ? c.maxContainers - 1 : 0;
    uint32_t nextLegHandle = kFirstLogDevHandle + 0x1000;
    for (const auto& [k, line] : containerLines) {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        splitShorthand(*line, &words, &pairs);
        if (words.size() < 2)
            continue;
        const Level* level = nullptr;
        for (const Level& l : kLevels)
            if (words[0] == l.name)
                level = &l;
        if (level == nullptr)
            continue;
        std::vector<const DriveView*> members;
        for (size_t from = 0; from <= words[1].size();) {
            size_t comma = words[1].find(',', from);
            if (comma == std::string::npos)
                comma = words[1].size();
            if (comma > from)
                if (const DriveView* d = driveAt(words[1].substr(from, comma - from)))
                    members.push_back(d);
            from = comma + 1;
        }
        if (members.empty())
            continue;
        // Starts a creation asked for ("starts=" in blocks, member order);
        // members without one follow what their drive already holds.
        std::vector<uint64_t> starts;
        if (pairs.count("starts")) {
            std::istringstream list(pairs["starts"]);
            std::string word;
            while (std::getline(list, word, ','))
                starts.push_back(std::strtoull(word.c_str(), nullptr, 10));
        }
        const auto startOf = [&](size_t i, const DriveView* d) {
            return i < starts.size() ? starts[i] : nextBlock[d->handle()];
        };
        const uint32_t stripeBlocks =
            pairs.count("stripe") ? static_cast<uint32_t>(parseSizeBlocks(pairs["stripe"])) : LogDevView().stripeBlocks;
        const uint64_t unit = extentUnit(*level, stripeBlocks);
        const size_t legCount =
            level->legType == 0 ? 1 : (pairs.count("legs") ? std::strtoul(pairs["legs"].c_str(), nullptr, 10) : 2);
        const size_t perLeg = legCount > 0 ? members.size() / legCount : 0;
        uint64_t extent = members[0]->usable;
        for (size_t i = 0; i < members.size(); ++i) {
            const DriveView* d = members[i];
            extent = std::min(extent, d->usable + kLeadBlocks - std::min(startOf(i, d), d->usable + kLeadBlocks));
        }
        extent = extent / unit * unit;
        // A size asks for less than the members hold: each member, of every
        // leg alike, gets the extent that holds it.
        Share share = shareOf(level->legType != 0 ? level->legType : level->raidType, perLeg);
        share.num *= legCount;
        if (pairs.count("size") && share.num != 0) {
            const uint64_t want = extentFor(parseSizeBlocks(pairs["size"]), share);
            extent = std::min(extent, (want + unit - 1) / unit * unit);
        }
        auto placeOn = [&nextBlock, &startOf, extent](size_t i, const DriveView* d) {
            const uint64_t start = startOf(i, d);
            nextBlock[d->handle()] = std::max(nextBlock[d->handle()], start + extent);
            return start;
        };
        LogDevView top;
        top.number = k;
        top.handle = kFirstLogDevHandle + k;
        top.raidType = level->raidType;
        top.name = pairs.count("name") ? pairs["name"] : "";
        top.stripeBlocks = stripeBlocks;
        if (level->legType == 0) {
            for (size_t i = 0; i < members.size(); ++i)
                top.members.push_back({members[i]->handle(), top.handle, placeOn(i, members[i]), extent});
            top.blocks = dataBlocks(level->raidType, members.size(), extent);
        } else {
            const size_t per = perLeg;
            for (size_t g = 0; per > 0 && g < legCount; ++g) {
                LogDevView leg;
                leg.number = nextLegNumber--;
                leg.handle = nextLegHandle++;
                leg.parent = top.handle;
                leg.raidType = level->legType;
                leg.stripeBlocks = top.stripeBlocks;
                for (size_t m = 0; m < per; ++m)
                    leg.members.push_back({members[g * per + m]->handle(), leg.handle, placeOn(g * per + m, members[g * per + m]), extent});
                leg.blocks = dataBlocks(leg.raidType, per, extent);
                top.members.push_back({0xFFFFFFFFu, leg.handle, 0, leg.blocks});
                top.blocks += leg.blocks;
                legs.push_back(leg);
            }
        }
        v.logDevs.push_back(top);
    }
    addContainersOverContainers(c, v);
    v.logDevs.insert(v.logDevs.end(), legs.begin(), legs.end());
    // Partition-table indexes from 1, in the order of the devices and their members.
    uint32_t nextIndex = 1;
    for (LogDevView& l : v.logDevs)
        for (LogDevView::Member& m : l.members)
            m.tableIndex = nextIndex++;
    return v;
}

}  // namespace

// Kept under the rule of ViewStore (state/Derived.h); the container limit,
// which numbers the legs, is the one other value the view reads.
ConfigView configurationOf(const ControllerState& c)
{
    static ViewStore<ConfigView> store;
    return *store.get(c, c.maxContainers, [](const ControllerState& state) {
        DerivedView derived = deriveConfiguration(state);
        ConfigView view;
        view.drives = SharedList<DriveView>(std::move(derived.drives));
        view.logDevs = SharedList<LogDevView>(std::move(derived.logDevs));
        return view;
    });
}

}  // namespace vyn::hostsim
