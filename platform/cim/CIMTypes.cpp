#include "platform/cim/CIMTypes.h"

#include <cstring>

namespace cimxml {

namespace {

struct TypeName {
    CIMType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {CIMTYPE_BOOLEAN, "boolean"}, {CIMTYPE_UINT8, "uint8"},     {CIMTYPE_SINT8, "sint8"},
    {CIMTYPE_UINT16, "uint16"},   {CIMTYPE_SINT16, "sint16"},   {CIMTYPE_UINT32, "uint32"},
    {CIMTYPE_SINT32, "sint32"},   {CIMTYPE_UINT64, "uint64"},   {CIMTYPE_SINT64, "sint64"},
    {CIMTYPE_REAL32, "real32"},   {CIMTYPE_REAL64, "real64"},   {CIMTYPE_CHAR16, "char16"},
    {CIMTYPE_STRING, "string"},   {CIMTYPE_DATETIME, "datetime"}, {CIMTYPE_REFERENCE, "reference"},
};

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const char* cimTypeToString(CIMType type)
{
    for (const TypeName& t : kTypeNames)
        if (t.type == type)
            return t.name;
    return "string";
}

bool cimTypeFromString(const String& text, CIMType& type)
{
    for (const TypeName& t : kTypeNames) {
        if (text == t.name) {
            type = t.type;
            return true;
        }
    }
    return false;
}

bool equalNoCase(const String& a, const String& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

}  // namespace cimxml
