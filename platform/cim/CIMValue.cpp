#include "platform/cim/CIMValue.h"

#include "platform/cim/Exception.h"
#include "platform/cim/HttpText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace cimxml {

namespace {

bool isUnsigned(CIMType t)
{
    return t == CIMTYPE_UINT8 || t == CIMTYPE_UINT16 || t == CIMTYPE_UINT32 || t == CIMTYPE_UINT64;
}

bool isSigned(CIMType t)
{
    return t == CIMTYPE_SINT8 || t == CIMTYPE_SINT16 || t == CIMTYPE_SINT32 || t == CIMTYPE_SINT64;
}

unsigned bitsOf(CIMType t)
{
    switch (t) {
    case CIMTYPE_UINT8: case CIMTYPE_SINT8: return 8;
    case CIMTYPE_UINT16: case CIMTYPE_SINT16: return 16;
    case CIMTYPE_UINT32: case CIMTYPE_SINT32: return 32;
    default: return 64;
    }
}

[[noreturn]] void badText(CIMType type, const String& text)
{
    throw TypeMismatchException("Bad " + String(cimTypeToString(type)) + " value \"" + text + "\"");
}

// Decimal integer with optional sign, checked against the type's range.
Uint64 parseInteger(CIMType type, const String& raw)
{
    String s = http::trim(raw);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i == s.size())
        badText(type, raw);
    Uint64 magnitude = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            badText(type, raw);
        unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (magnitude > (std::numeric_limits<Uint64>::max() - digit) / 10)
            badText(type, raw);
        magnitude = magnitude * 10 + digit;
    }
    unsigned bits = bitsOf(type);
    if (isUnsigned(type)) {
        Uint64 max = bits == 64 ? std::numeric_limits<Uint64>::max() : ((Uint64(1) << bits) - 1);
        if ((negative && magnitude != 0) || magnitude > max)
            badText(type, raw);
        return magnitude;
    }
    Uint64 limit = Uint64(1) << (bits - 1);
    if (negative) {
        if (magnitude > limit)
            badText(type, raw);
        return ~magnitude + 1;  // two's complement of the magnitude
    }
    if (magnitude > limit - 1)
        badText(type, raw);
    return magnitude;
}

// Decodes one UTF-8 character filling all of `s`; false otherwise.
bool decodeSingleUtf8(const String& s, char32_t& cp)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size();
    if (n == 0)
        return false;
    std::size_t len;
    if (p[0] < 0x80) {
        cp = p[0];
        len = 1;
    } else if ((p[0] & 0xE0) == 0xC0) {
        cp = p[0] & 0x1F;
        len = 2;
    } else if ((p[0] & 0xF0) == 0xE0) {
        cp = p[0] & 0x0F;
        len = 3;
    } else if ((p[0] & 0xF8) == 0xF0) {
        cp = p[0] & 0x07;
        len = 4;
    } else {
        return false;
    }
    if (n != len)
        return false;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    return cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

String encodeUtf8(char32_t cp)
{
    String out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

Real64 parseReal(CIMType type, const String& raw)
{
    String s = http::trim(raw);
    if (s.empty())
        badText(type, raw);
    errno = 0;
    char* end = nullptr;
    Real64 value = type == CIMTYPE_REAL32 ? std::strtof(s.c_str(), &end) : std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || errno == ERANGE)
        badText(type, raw);
    return value;
}

}  // namespace

CIMValue::CIMValue(CIMType type, bool isArray) { setNullValue(type, isArray); }

#define CIMXML_INTEGER_CTOR(T, TYPE)                       \
    CIMValue::CIMValue(T x) : type_(TYPE), isNull_(false)  \
    {                                                      \
        Element e;                                         \
        e.bits = static_cast<Uint64>(x);                   \
        elements_.push_back(e);                            \
    }
CIMXML_INTEGER_CTOR(Boolean, CIMTYPE_BOOLEAN)
CIMXML_INTEGER_CTOR(Uint8, CIMTYPE_UINT8)
CIMXML_INTEGER_CTOR(Sint8, CIMTYPE_SINT8)
CIMXML_INTEGER_CTOR(Uint16, CIMTYPE_UINT16)
CIMXML_INTEGER_CTOR(Sint16, CIMTYPE_SINT16)
CIMXML_INTEGER_CTOR(Uint32, CIMTYPE_UINT32)
CIMXML_INTEGER_CTOR(Sint32, CIMTYPE_SINT32)
CIMXML_INTEGER_CTOR(Uint64, CIMTYPE_UINT64)
CIMXML_INTEGER_CTOR(Sint64, CIMTYPE_SINT64)
#undef CIMXML_INTEGER_CTOR

CIMValue::CIMValue(Real32 x) : type_(CIMTYPE_REAL32), isNull_(false)
{
    Element e;
    e.real = x;
    elements_.push_back(e);
}

CIMValue::CIMValue(Real64 x) : type_(CIMTYPE_REAL64), isNull_(false)
{
    Element e;
    e.real = x;
    elements_.push_back(e);
}

CIMValue::CIMValue(Char16 x) : type_(CIMTYPE_CHAR16), isNull_(false)
{
    if (x >= 0xD800 && x <= 0xDFFF)
        throw TypeMismatchException("A lone surrogate is no char16 value");
    Element e;
    e.text = encodeUtf8(x);
    elements_.push_back(e);
}

CIMValue::CIMValue(const String& x) : type_(CIMTYPE_STRING), isNull_(false)
{
    Element e;
    e.text = x;
    elements_.push_back(e);
}

CIMValue::CIMValue(const char* x) : CIMValue(String(x ? x : "")) {}

CIMValue::CIMValue(const CIMObjectPath& x) : type_(CIMTYPE_REFERENCE), isNull_(false)
{
    Element e;
    e.text = x.toString();
    elements_.push_back(e);
}

CIMValue::Element CIMValue::parseElement(CIMType type, const String& text)
{
    Element e;
    if (type == CIMTYPE_BOOLEAN) {
        String s = http::trim(text);
        if (equalNoCase(s, "TRUE"))
            e.bits = 1;
        else if (!equalNoCase(s, "FALSE"))
            badText(type, text);
    } else if (isUnsigned(type) || isSigned(type)) {
        e.bits = parseInteger(type, text);
    } else if (type == CIMTYPE_REAL32 || type == CIMTYPE_REAL64) {
        e.real = parseReal(type, text);
    } else if (type == CIMTYPE_CHAR16) {
        char32_t cp = 0;
        if (!decodeSingleUtf8(text, cp) || cp > 0xFFFF)
            badText(type, text);
        e.text = text;
    } else if (type == CIMTYPE_REFERENCE) {
        throw TypeMismatchException("A reference value is no VALUE text");
    } else {
        e.text = text;
    }
    return e;
}

CIMValue CIMValue::fromXmlText(CIMType type, const String& text)
{
    CIMValue v;
    v.type_ = type;
    v.isNull_ = false;
    v.elements_.push_back(parseElement(type, text));
    return v;
}

CIMValue CIMValue::arrayFromXmlTexts(CIMType type, const std::vector<String>& texts)
{
    CIMValue v;
    v.type_ = type;
    v.isNull_ = false;
    v.isArray_ = true;
    for (const String& t : texts)
        v.elements_.push_back(parseElement(type, t));
    return v;
}

void CIMValue::setNullValue(CIMType type, bool isArray)
{
    type_ = type;
    isNull_ = true;
    isArray_ = isArray;
    elements_.clear();
}

void CIMValue::requireScalar(CIMType type) const
{
    if (type_ != type)
        throw TypeMismatchException(String("Value of type ") + cimTypeToString(type_) + " read as " +
                                    cimTypeToString(type));
    if (isArray_)
        throw TypeMismatchException(String("Array value read as ") + cimTypeToString(type));
    if (isNull_)
        throw TypeMismatchException(String("Null value read as ") + cimTypeToString(type));
}

void CIMValue::get(Boolean& x) const
{
    requireScalar(CIMTYPE_BOOLEAN);
    x = elements_[0].bits != 0;
}

#define CIMXML_INTEGER_GET(T, TYPE)                    \
    void CIMValue::get(T& x) const                     \
    {                                                  \
        requireScalar(TYPE);                           \
        x = static_cast<T>(elements_[0].bits);         \
    }
CIMXML_INTEGER_GET(Uint8, CIMTYPE_UINT8)
CIMXML_INTEGER_GET(Sint8, CIMTYPE_SINT8)
CIMXML_INTEGER_GET(Uint16, CIMTYPE_UINT16)
CIMXML_INTEGER_GET(Sint16, CIMTYPE_SINT16)
CIMXML_INTEGER_GET(Sint32, CIMTYPE_SINT32)
CIMXML_INTEGER_GET(Uint64, CIMTYPE_UINT64)
CIMXML_INTEGER_GET(Sint64, CIMTYPE_SINT64)
#undef CIMXML_INTEGER_GET

void CIMValue::get(Uint32& x) const
{
    requireScalar(type_ == CIMTYPE_SINT32 ? CIMTYPE_SINT32 : CIMTYPE_UINT32);
    x = static_cast<Uint32>(elements_[0].bits);
}

void CIMValue::get(Real32& x) const
{
    requireScalar(CIMTYPE_REAL32);
    x = static_cast<Real32>(elements_[0].real);
}

void CIMValue::get(Real64& x) const
{
    requireScalar(CIMTYPE_REAL64);
    x = elements_[0].real;
}

void CIMValue::get(Char16& x) const
{
    requireScalar(CIMTYPE_CHAR16);
    char32_t cp = 0;
    if (!decodeSingleUtf8(elements_[0].text, cp) || cp > 0xFFFF)
        throw TypeMismatchException("char16 value outside the basic multilingual plane");
    x = static_cast<Char16>(cp);
}

void CIMValue::get(String& x) const
{
    bool textual = type_ == CIMTYPE_STRING || type_ == CIMTYPE_CHAR16 || type_ == CIMTYPE_DATETIME;
    requireScalar(textual ? type_ : CIMTYPE_STRING);
    x = elements_[0].text;
}

void CIMValue::get(CIMObjectPath& x) const
{
    requireScalar(CIMTYPE_REFERENCE);
    try {
        x = CIMObjectPath(elements_[0].text);
    } catch (const MalformedObjectNameException& e) {
        throw TypeMismatchException(e.getMessage());
    }
}

void CIMValue::get(std::vector<String>& x) const
{
    if (!isArray_)
        throw TypeMismatchException("Scalar value read as array");
    if (isNull_)
        throw TypeMismatchException("Null value read as array");
    x.clear();
    for (const Element& e : elements_)
        x.push_back(elementText(e));
}

String CIMValue::elementText(const Element& e) const
{
    char buf[64];
    switch (type_) {
    case CIMTYPE_BOOLEAN:
        return e.bits ? "TRUE" : "FALSE";
    case CIMTYPE_UINT8: case CIMTYPE_UINT16: case CIMTYPE_UINT32: case CIMTYPE_UINT64:
        return std::to_string(e.bits);
    case CIMTYPE_SINT8: case CIMTYPE_SINT16: case CIMTYPE_SINT32: case CIMTYPE_SINT64:
        return std::to_string(static_cast<Sint64>(e.bits));
    case CIMTYPE_REAL32:
        std::snprintf(buf, sizeof buf, "%.9g", e.real);
        return buf;
    case CIMTYPE_REAL64:
        std::snprintf(buf, sizeof buf, "%.17g", e.real);
        return buf;
    default:
        return e.text;
    }
}

String CIMValue::toString() const
{
    String out;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (i)
            out += ",";
        out += elementText(elements_[i]);
    }
    return out;
}

bool CIMValue::equal(const CIMValue& other) const
{
    if (type_ != other.type_ || isNull_ != other.isNull_ || isArray_ != other.isArray_ ||
        elements_.size() != other.elements_.size())
        return false;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const Element& a = elements_[i];
        const Element& b = other.elements_[i];
        if (a.bits != b.bits || a.text != b.text)
            return false;
        if (a.real != b.real && !(std::isnan(a.real) && std::isnan(b.real)))
            return false;
    }
    return true;
}

}  // namespace cimxml
