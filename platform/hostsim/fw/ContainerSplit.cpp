// Splitting mirrors (CT 30) and two-level mirrors (CT 31): the mirror keeps
// the first half of each pair and a new container, numbered as the request
// asks, gets the second; both keep the mirror's size.
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kSplitDone = 134;
constexpr uint32_t kLocked = 3;
constexpr uint32_t kNotFound = 194;
constexpr uint32_t kRefused = 2;

struct Shorthand {
    std::string level;
    std::vector<std::string> members;
    std::string pairs;  // name=value pairs kept as written, but size and legs
    size_t legs = 2;
};

bool parse(const std::string& text, Shorthand* out)
{
    std::istringstream in(text);
    std::string word;
    if (!(in >> out->level))
        return false;
    if (!(in >> word))
        return false;
    std::istringstream list(word);
    std::string member;
    while (std::getline(list, member, ','))
        out->members.push_back(member);
    while (in >> word) {
        if (word.compare(0, 5, "legs=") == 0)
            out->legs = std::strtoul(word.c_str() + 5, nullptr, 10);
        else if (word.compare(0, 5, "size=") != 0)
            out->pairs += " " + word;
    }
    return true;
}

std::string join(const std::vector<std::string>& members)
{
    std::string out;
    for (const std::string& m : members)
        out += (out.empty() ? "" : ",") + m;
    return out;
}

void split(ControllerState& c, const CtRequest& q, CtReply& r, bool twoLevel)
{
    const uint32_t number = q.param[0];
    const uint32_t second = q.param[1];
    auto it = c.objects.find("ld" + std::to_string(number));
    if (it == c.objects.end()) {
        r.status = kNotFound;
        return;
    }
    auto settings = c.containerSettings.find(number);
    if (settings != c.containerSettings.end() && settings->second.locked) {
        r.status = kLocked;
        return;
    }
    Shorthand s;
    const bool pairsOfTwo = parse(it->second, &s) && s.legs > 0 && s.members.size() == 2 * s.legs;
    const bool fits = twoLevel ? s.level == "raid10" && pairsOfTwo : s.level == "raid1" && s.members.size() == 2;
    if (!fits || second == number || second >= c.maxContainers ||
        c.objects.count("ld" + std::to_string(second)) != 0) {
        r.status = kRefused;
        return;
    }
    uint64_t blocks = 0;
    for (const LogDevView& l : configurationOf(c).logDevs)
        if (l.number == number && l.parent == 0xFFFFFFFFu)
            blocks = l.blocks;
    // A mirror pair's members sit next to each other: one leg of a RAID-10
    // is members 2g and 2g + 1.
    std::vector<std::string> kept, given;
    for (size_t m = 0; m < s.members.size(); ++m)
        (m % 2 == 0 ? kept : given).push_back(s.members[m]);
    const std::string level = twoLevel ? "raid0" : "volume";
    const std::string size = " size=" + std::to_string(blocks) + "s";
    c.objects.set("ld" + std::to_string(number), level + " " + join(kept) + size + s.pairs);
    c.objects["ld" + std::to_string(second)] = level + " " + join(given) + size;
    ++c.configAge;
    r.status = kSplitDone;
}

}  // namespace

void registerContainerSplitHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 30, [](ControllerState& c, const CtRequest& q, CtReply& r) { split(c, q, r, false); });
    addCtHandler(dispatcher, 31, [](ControllerState& c, const CtRequest& q, CtReply& r) { split(c, q, r, true); });
}

}  // namespace vyn::hostsim
