#ifndef VYN_PLATFORM_HOSTSIM_DESC_KEYS_H
#define VYN_PLATFORM_HOSTSIM_DESC_KEYS_H

#include <cstdint>
#include <string>
#include <vector>

namespace vyn::hostsim {

// How a value is written and checked.
enum class KeyType {
    Integer,   // decimal or 0x hex, 0 to 2^32-1
    Wide,      // like Integer, up to 2^64-1
    Signed,    // decimal, may be negative
    Boolean,   // 0 or 1
    Text,      // rest of the line, or double-quoted with \" and \\ escapes
    Revision,  // "major.minor-dash [build]", for example 5.2-0 20000
    IntList,   // integers separated by commas
    Object,    // an object shorthand (drive, bus, container, enclosure)
    Trigger,   // a fault trigger: "ioctl <request>" or "open <logical path>"
};

// One row of the key table: the only place that names description keys. In a
// pattern '#' stands for a decimal number (an adapter, drive, ... index).
struct KeyDef {
    const char* pattern;
    KeyType type;
    const char* defaultValue;  // controller default; null when the key has none
    const char* meaning;
    uint32_t maxValue = 0xFFFFFFFFu;  // Integer keys: the largest value taken
};

const std::vector<KeyDef>& keyTable();

// The row whose pattern matches `key`, or null. A number in a key ('#') has
// at most three digits.
const KeyDef* findKey(const std::string& key);

// Whether `value` is well formed for `type`.
bool checkValue(KeyType type, const std::string& value);

// Value readers; each assumes checkValue passed.
uint32_t parseInteger(const std::string& value);
uint64_t parseWide(const std::string& value);
int64_t parseSigned(const std::string& value);
std::vector<uint32_t> parseIntList(const std::string& value);

struct RevisionValue {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint8_t dash = 0;
    uint32_t build = 0;
    bool hasBuild = false;
};
RevisionValue parseRevision(const std::string& value);
std::string formatRevision(const RevisionValue& rev);

}  // namespace vyn::hostsim

#endif
