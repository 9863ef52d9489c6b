// What a description may say only if a controller could report it: checks
// over its object lines (drives, enclosures, buses, containers) that no
// single value shows. Each refusal names the line of the object that breaks
// the rule, the later one where two objects collide.
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/desc/Keys.h"
#include "platform/hostsim/fw/Configuration.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace vyn::hostsim {

namespace {

// Bus, target and LUN are one byte each in every address the firmware and
// the host carry, so is a bus's target count at most 256.
constexpr unsigned long kMaxAddressPart = 255;
constexpr unsigned long kMaxTargets = 256;

bool decimal(const std::string& text, unsigned long limit, unsigned long& out)
{
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
        return false;
    out = std::stoul(text);
    return out <= limit;
}

using Address = std::tuple<unsigned long, unsigned long, unsigned long>;

// "bus:target[:lun]"
bool readAddress(const std::string& text, Address& out)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (true) {
        const size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    unsigned long v[3] = {0, 0, 0};
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    for (size_t i = 0; i < parts.size(); ++i)
        if (!decimal(parts[i], kMaxAddressPart, v[i]))
            return false;
    out = Address{v[0], v[1], v[2]};
    return true;
}

// "146G", "1.5T", "2048s", "0": the number of 512-byte blocks; false when not
// a size.
bool readSizeBlocks(const std::string& text, double& blocks)
{
    static const std::map<char, double> units = {
        {'s', 512.0}, {'K', 1024.0}, {'M', 1024.0 * 1024}, {'G', 1024.0 * 1024 * 1024}, {'T', 1024.0 * 1024 * 1024 * 1024}};
    if (text == "0") {
        blocks = 0;
        return true;
    }
    if (text.size() < 2 || units.count(text.back()) == 0)
        return false;
    const std::string number = text.substr(0, text.size() - 1);
    const size_t point = number.find('.');
    const std::string whole = number.substr(0, point);
    const std::string fraction = point == std::string::npos ? "0" : number.substr(point + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 15 &&
               std::all_of(s.begin(), s.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); });
    };
    if (!digits(whole) || !digits(fraction))
        return false;
    blocks = std::stod(number) * units.at(text.back()) / 512.0;
    return true;
}

std::vector<std::string> commaList(const std::string& text)
{
    std::vector<std::string> out;
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(',', from);
        out.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos)
            return out;
        from = comma + 1;
    }
}

class AdapterCheck {
public:
    AdapterCheck(const Description& desc, const std::string& prefix, std::string& error)
        : desc_(desc), prefix_(prefix), error_(error)
    {
    }

    bool run()
    {
        // The adapter's object lines, in the order they were given.
        std::vector<std::string> keys;
        for (const auto& [key, value] : desc_.values()) {
            if (key.compare(0, prefix_.size(), prefix_) != 0)
                continue;
            const KeyDef* def = findKey(key);
            if (def != nullptr && def->type == KeyType::Object)
                keys.push_back(key);
        }
        std::stable_sort(keys.begin(), keys.end(),
                         [this](const std::string& a, const std::string& b) { return desc_.rank(a) < desc_.rank(b); });
        for (const std::string& key : keys)
            if (std::count(desc_.values().at(key).begin(), desc_.values().at(key).end(), '"') % 2 != 0)
                return fail(key, "a quote in '" + key + "' is not closed");
        for (const std::string& key : keys)
            if (!(is(key, "bus") ? bus(key) : is(key, "drive") ? drive(key) : is(key, "encl") ? enclosure(key) : true))
                return false;
        for (const std::string& key : keys)
            if (is(key, "ld") && !container(key))
                return false;
        return true;
    }

private:
    // "<prefix><kind>N" exactly.
    bool is(const std::string& key, const char* kind) const
    {
        const std::string head = prefix_ + kind;
        return key.size() > head.size() && key.compare(0, head.size(), head) == 0 &&
               std::all_of(key.begin() + static_cast<long>(head.size()), key.end(),
                           [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); });
    }
    std::string name(const std::string& key) const { return key.substr(prefix_.size()); }

    bool fail(const std::string& key, const std::string& what)
    {
        error_ = desc_.where(key) + ": " + what;
        return false;
    }

    void split(const std::string& key, std::vector<std::string>& words, std::map<std::string, std::string>& pairs) const
    {
        splitShorthand(desc_.values().at(key), &words, &pairs);
    }

    // Two devices never answer at one address.
    bool place(const std::string& key, const Address& at)
    {
        auto [it, fresh] = devices_.emplace(at, key);
        if (fresh)
            return true;
        return fail(key, "'" + name(key) + "' is at the address of '" + name(it->second) + "'");
    }

    bool bus(const std::string& key)
    {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        split(key, words, pairs);
        unsigned long targets = 0;
        if (words.size() >= 2 && !decimal(words[1], kMaxTargets, targets))
            return fail(key, "the target count '" + words[1] + "' of '" + name(key) + "' is not 0 to 256");
        return true;
    }

    bool drive(const std::string& key)
    {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        split(key, words, pairs);
        Address at;
        if (words.size() < 2 || !readAddress(words[0], at))
            return fail(key, "'" + name(key) + "' needs <bus:target[:lun]> <kind> <size>");
        // Tapes, optical drives and other devices may hold no medium; a
        // disk always has blocks.
        const bool disk = words[1] != "tape" && words[1] != "cdrom" && words[1] != "other";
        double blocks = 0;
        if (words.size() < 3 && disk)
            return fail(key, "'" + name(key) + "' needs <bus:target[:lun]> <kind> <size>");
        if (words.size() >= 3 && !readSizeBlocks(words[2], blocks))
            return fail(key, "the size '" + words[2] + "' of '" + name(key) + "' is not a size");
        if (disk && blocks < 1)
            return fail(key, "'" + name(key) + "' has no blocks (size '" + words[2] + "')");
        drives_.emplace(at, key);
        return place(key, at);
    }

    bool enclosure(const std::string& key)
    {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        split(key, words, pairs);
        Address at;
        if (words.size() < 2 || !readAddress(words[1], at))
            return fail(key, "'" + name(key) + "' needs <ses2|safte> <bus:target[:lun]>");
        return place(key, at);
    }

    bool container(const std::string& key)
    {
        std::vector<std::string> words;
        std::map<std::string, std::string> pairs;
        split(key, words, pairs);
        bool overLegs = false;
        if (words.size() < 2)
            return fail(key, "'" + name(key) + "' needs <level> <members>");
        if (words[0] == "snapshot") {
            // "snapshot N": what it stands over is the firmware's record, which
            // may name a container gone or itself.
            unsigned long over = 0;
            if (!decimal(words[1], 0xFFFFFFFFul, over))
                return fail(key, "'" + name(key) + "' is a snapshot of '" + words[1] + "', no container number");
            return true;
        }
        if (!containerLevel(words[0], &overLegs))
            return fail(key, "'" + words[0] + "' of '" + name(key) + "' is no container level");
        const std::vector<std::string> members = commaList(words[1]);
        std::set<std::string> named;
        for (const std::string& m : members) {
            const std::string shown = "'" + name(key) + "' member '" + m + "'";
            if (m.compare(0, 2, "ld") == 0) {
                // A volume or stripe over containers of the description.
                if (words[0] != "volume" && words[0] != "raid0")
                    return fail(key, shown + ": only volume and raid0 are built over containers");
                if (!is(prefix_ + m, "ld") || !desc_.has(prefix_ + m) || prefix_ + m == key)
                    return fail(key, shown + " is no other container of the description");
            } else {
                Address at;
                if (!readAddress(m, at))
                    return fail(key, shown + " is no address");
                if (drives_.count(at) == 0)
                    return fail(key, shown + " is no drive of the description");
            }
            if (!named.insert(m).second)
                return fail(key, shown + " is named twice");
        }
        auto legs = pairs.find("legs");
        if (legs != pairs.end() || overLegs) {
            unsigned long n = 2;
            if (legs != pairs.end() && !decimal(legs->second, members.size(), n))
                return fail(key, "'" + name(key) + "' has legs=" + legs->second + " over " +
                                     std::to_string(members.size()) + " members");
            if (n == 0 || members.size() % n != 0)
                return fail(key, "the " + std::to_string(members.size()) + " members of '" + name(key) +
                                     "' do not form " + std::to_string(n) + " legs");
        }
        return true;
    }

    const Description& desc_;
    const std::string prefix_;
    std::string& error_;
    std::map<Address, std::string> devices_;
    std::map<Address, std::string> drives_;
};

}  // namespace

bool checkObjects(const Description& desc, std::string& error)
{
    std::set<std::string> prefixes;
    for (const auto& [key, value] : desc.values()) {
        const size_t dot = key.find('.');
        if (key.compare(0, 7, "adapter") == 0 && dot != std::string::npos && dot > 7)
            prefixes.insert(key.substr(0, dot + 1));
    }
    for (const std::string& prefix : prefixes)
        if (!AdapterCheck(desc, prefix, error).run())
            return false;
    return true;
}

}  // namespace vyn::hostsim
