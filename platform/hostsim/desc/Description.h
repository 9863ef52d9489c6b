#ifndef VYN_PLATFORM_HOSTSIM_DESC_DESCRIPTION_H
#define VYN_PLATFORM_HOSTSIM_DESC_DESCRIPTION_H

#include <cstdint>
#include <map>
#include <string>

namespace vyn::hostsim {

// The built-in description selected by VYN_SIMULATOR=default or `base = default`.
const char* defaultDescriptionText();

// A parsed description: full dotted keys ("adapter0.firmware_build") with their
// values, after `base` expansion. Parsing is all or nothing: an unknown key, a
// bad value or a key given twice rejects the whole text with one message that
// names the source and the line.
class Description {
public:
    // Returns false and sets `error` ("<source>:<line>: ...") on rejection.
    bool parse(const std::string& text, const std::string& source, std::string& error);

    const std::map<std::string, std::string>& values() const { return values_; }
    bool has(const std::string& key) const { return values_.count(key) != 0; }
    // The value, or the key table's default, or "" when neither exists.
    std::string get(const std::string& key) const;

    // FNV-1a 64 of the text after `base` expansion: a changed description
    // reseeds the controllers' state.
    uint64_t seed() const { return seed_; }

    // Where a key's value was given, "<source>:<line>" ("default:N" for the
    // base's), for messages about values that only make sense together.
    std::string where(const std::string& key) const;
    // Keys given later have a larger rank: the base's come before the text's.
    size_t rank(const std::string& key) const;

private:
    struct Origin {
        std::string where;
        size_t rank = 0;
    };
    std::map<std::string, std::string> values_;
    std::map<std::string, Origin> origins_;
    uint64_t seed_ = 0;
};

// The checks of what a controller could report that single values cannot
// show (desc/Objects.cpp): addresses used twice, containers over drives not
// described or named twice, leg counts, bus target counts, drive sizes,
// quotes left open in object lines. False with a "<source>:<line>: ..."
// message for the first fault.
bool checkObjects(const Description& desc, std::string& error);

uint64_t fnv1a64(const std::string& text);

}  // namespace vyn::hostsim

#endif
