#include "platform/hostsim/desc/Description.h"

#include "platform/hostsim/desc/Keys.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

namespace vyn::hostsim {

const char* defaultDescriptionText()
{
    return "[driver]\n"
           "major = 250\n"
           "sysfs = 1\n"
           "first_host = 1\n"
           "\n"
           "[adapter0]\n"
           "bus0   = sas 16\n"
           "drive0 = 0:0 sas 146G\n"
           "drive1 = 0:1 sas 146G\n"
           "drive2 = 0:2 sas 146G\n"
           "drive3 = 0:3 sas 146G spare=global\n"
           "drive4 = 0:4 sas 300G\n"
           "drive5 = 0:5 sas 300G\n"
           "drive6 = 0:6 sata 500G\n"
           "drive7 = 0:7 ssd 120G\n"
           "encl0  = ses2 0:8 slots=8 fans=2 psus=2 temps=1\n"
           "ld0    = raid5 0:0,0:1,0:2 stripe=256K name=Data\n";
}

uint64_t fnv1a64(const std::string& text)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

namespace {

std::string trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool validName(const std::string& name)
{
    if (name.empty() || name.front() == '.' || name.back() == '.')
        return false;
    for (unsigned char c : name)
        if (!(std::islower(c) || std::isdigit(c) || c == '_' || c == '.'))
            return false;
    return name.find("..") == std::string::npos;
}

// A double-quoted string with \" and \\ escapes and nothing after it.
bool unquote(const std::string& raw, std::string& out)
{
    out.clear();
    for (size_t i = 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\') {
            if (i + 1 >= raw.size() || (raw[i + 1] != '"' && raw[i + 1] != '\\'))
                return false;
            out += raw[++i];
        } else if (c == '"') {
            return i + 1 == raw.size();
        } else {
            out += c;
        }
    }
    return false;
}

struct Entry {
    std::string key;
    std::string value;
    int line;
};

bool parseLines(const std::string& text, const std::string& source, std::vector<Entry>& entries, std::string& error)
{
    std::istringstream in(text);
    std::string raw;
    std::string section;
    std::set<std::string> seen;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        error = source + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return fail("malformed section '" + line + "'");
            section = trim(line.substr(1, line.size() - 2));
            if (!validName(section))
                return fail("bad section name '" + section + "'");
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected 'key = value', found '" + line + "'");
        const std::string name = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (!validName(name))
            return fail("bad key name '" + name + "'");
        const std::string key = section.empty() ? name : section + "." + name;
        const KeyDef* def = findKey(key);
        if (def == nullptr)
            return fail("unknown key '" + key + "'");
        if (!value.empty() && value[0] == '"') {
            std::string unquoted;
            if (!unquote(value, unquoted))
                return fail("bad quoted value for '" + key + "'");
            value = unquoted;
        }
        if (!checkValue(def->type, value) || (key == "base" && value != "default") ||
            (def->type == KeyType::Integer && parseInteger(value) > def->maxValue))
            return fail("bad value '" + value + "' for '" + key + "'");
        if (!seen.insert(key).second)
            return fail("key '" + key + "' given twice");
        entries.push_back({key, value, lineNo});
    }
    return true;
}

}  // namespace

bool Description::parse(const std::string& text, const std::string& source, std::string& error)
{
    values_.clear();
    origins_.clear();
    seed_ = 0;
    std::vector<Entry> entries;
    if (!parseLines(text, source, entries, error))
        return false;
    std::string expanded;
    for (const Entry& e : entries) {
        if (e.key == "base") {
            std::vector<Entry> base;
            if (!parseLines(defaultDescriptionText(), "default", base, error))
                return false;
            for (const Entry& b : base) {
                values_[b.key] = b.value;
                origins_[b.key] = Origin{"default:" + std::to_string(b.line), static_cast<size_t>(b.line)};
            }
            expanded = defaultDescriptionText();
        }
    }
    // The text's own keys override what the base gave.
    // Ranks of the text's keys follow every line of the base.
    const size_t textRank = std::count(expanded.begin(), expanded.end(), '\n') + 1;
    for (const Entry& e : entries) {
        if (e.key == "base")
            continue;
        values_[e.key] = e.value;
        origins_[e.key] = Origin{source + ":" + std::to_string(e.line), textRank + static_cast<size_t>(e.line)};
    }
    expanded += text;
    seed_ = fnv1a64(expanded);
    return true;
}

std::string Description::where(const std::string& key) const
{
    auto it = origins_.find(key);
    return it == origins_.end() ? std::string() : it->second.where;
}

size_t Description::rank(const std::string& key) const
{
    auto it = origins_.find(key);
    return it == origins_.end() ? 0 : it->second.rank;
}

std::string Description::get(const std::string& key) const
{
    auto it = values_.find(key);
    if (it != values_.end())
        return it->second;
    if (const KeyDef* def = findKey(key))
        if (def->defaultValue != nullptr)
            return def->defaultValue;
    return std::string();
}

}  // namespace vyn::hostsim
