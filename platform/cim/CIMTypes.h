#ifndef VYN_PLATFORM_CIM_CIMTYPES_H
#define VYN_PLATFORM_CIM_CIMTYPES_H

#include <cstdint>
#include <string>

// Basic types of the CIM-XML layer. Texts are UTF-8 in std::string.
namespace cimxml {

using String = std::string;
using Boolean = bool;
using Uint8 = std::uint8_t;
using Sint8 = std::int8_t;
using Uint16 = std::uint16_t;
using Sint16 = std::int16_t;
using Uint32 = std::uint32_t;
using Sint32 = std::int32_t;
using Uint64 = std::uint64_t;
using Sint64 = std::int64_t;
using Real32 = float;
using Real64 = double;
using Char16 = char16_t;

// Returned by the find functions when nothing matches.
constexpr Uint32 PEG_NOT_FOUND = 0xFFFFFFFFu;

enum CIMType {
    CIMTYPE_BOOLEAN,
    CIMTYPE_UINT8,
    CIMTYPE_SINT8,
    CIMTYPE_UINT16,
    CIMTYPE_SINT16,
    CIMTYPE_UINT32,
    CIMTYPE_SINT32,
    CIMTYPE_UINT64,
    CIMTYPE_SINT64,
    CIMTYPE_REAL32,
    CIMTYPE_REAL64,
    CIMTYPE_CHAR16,
    CIMTYPE_STRING,
    CIMTYPE_DATETIME,
    CIMTYPE_REFERENCE
};

// The TYPE attribute text ("uint16", "reference", ...).
const char* cimTypeToString(CIMType type);
// Parses a TYPE attribute text (exact, lower case); false when unknown.
bool cimTypeFromString(const String& text, CIMType& type);

// ASCII case-insensitive comparison, as CIM names compare.
bool equalNoCase(const String& a, const String& b);

// A class, property or key name: compares case-insensitively.
class CIMName {
public:
    CIMName() = default;
    CIMName(const String& name) : name_(name) {}
    CIMName(const char* name) : name_(name ? name : "") {}

    const String& getString() const { return name_; }
    bool isNull() const { return name_.empty(); }
    void clear() { name_.clear(); }
    bool equal(const CIMName& other) const { return equalNoCase(name_, other.name_); }

private:
    String name_;
};

inline bool operator==(const CIMName& a, const CIMName& b) { return a.equal(b); }
inline bool operator!=(const CIMName& a, const CIMName& b) { return !a.equal(b); }

// A namespace such as "root/interop": compares case-insensitively.
class CIMNamespaceName {
public:
    CIMNamespaceName() = default;
    CIMNamespaceName(const String& name) : name_(name) {}
    CIMNamespaceName(const char* name) : name_(name ? name : "") {}

    const String& getString() const { return name_; }
    bool isNull() const { return name_.empty(); }
    void clear() { name_.clear(); }
    bool equal(const CIMNamespaceName& other) const { return equalNoCase(name_, other.name_); }

private:
    String name_;
};

inline bool operator==(const CIMNamespaceName& a, const CIMNamespaceName& b) { return a.equal(b); }
inline bool operator!=(const CIMNamespaceName& a, const CIMNamespaceName& b) { return !a.equal(b); }

}  // namespace cimxml

#endif
