#include "common/SimpleXmlParser.h"

#include <cstdlib>
#include <cstring>

namespace {

// The writer escapes these five characters; a value read back must be the
// text that was written, or every save and load would escape it once more.
// Decoding only shortens the text, so it is done in place.
void decodeEntities(char* text)
{
    static const struct {
        const char* entity;
        std::size_t length;
        char character;
    } entities[] = {
        {"&quot;", 6, '"'}, {"&amp;", 5, '&'}, {"&apos;", 6, '\''}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'},
    };
    char* out = text;
    for (const char* in = text; *in != '\0';) {
        bool decoded = false;
        if (*in == '&') {
            for (const auto& e : entities) {
                if (std::strncmp(in, e.entity, e.length) == 0) {
                    *out++ = e.character;
                    in += e.length;
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            *out++ = *in++;
    }
    *out = '\0';
}

const SimpleXmlAttribute_S* const NO_ATTRIBUTE = nullptr;

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

bool startsHex(const char* text)
{
    return text[0] == '0' && text[1] == 'x';
}

long toLong(const char* text)
{
    return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
}

unsigned long toULong(const char* text)
{
    return text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
}

// Sizes and chunk starts need all 64 bits, read exactly.
long long toI64(const char* text)
{
    return text != nullptr ? std::strtoll(text, nullptr, 10) : 0;
}

unsigned long long toU64(const char* text)
{
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 0;
}

bool toBool(const char* text)
{
    return text != nullptr && (text[0] == '1' || text[0] == 'T' || text[0] == 't');
}

} // namespace

// ---------------------------------------------------------------------------
// XmlAttributeList_C

XmlAttributeList_C::XmlAttributeList_C(unsigned long initialEntries, unsigned long growEntries)
    : list(initialEntries * sizeof(SimpleXmlAttribute_S), growEntries * sizeof(SimpleXmlAttribute_S))
{
}

XmlAttributeList_C::XmlAttributeList_C(const XmlAttributeList_C& other)
    : list(other.NumEntries() * sizeof(SimpleXmlAttribute_S), 8 * sizeof(SimpleXmlAttribute_S))
{
    for (unsigned long i = 0; i < other.NumEntries(); ++i)
        list.InsertBack(*other.at(i));
}

XmlAttributeList_C& XmlAttributeList_C::operator=(const XmlAttributeList_C& other)
{
    if (this != &other) {
        list.RemoveAll();
        for (unsigned long i = 0; i < other.NumEntries(); ++i)
            list.InsertBack(*other.at(i));
    }
    return *this;
}

XmlAttributeList_C::~XmlAttributeList_C() = default;

void XmlAttributeList_C::setInitElements(unsigned long n, unsigned long grow)
{
    list.SetGrowBy(grow * sizeof(SimpleXmlAttribute_S));
    list.AllocTo(n * sizeof(SimpleXmlAttribute_S));
}

void XmlAttributeList_C::setInitElements(unsigned long n)
{
    setInitElements(n, 1);
}

void XmlAttributeList_C::Append(const char* name, const char* value)
{
    if (name == nullptr)
        return;
    SimpleXmlAttribute_S entry = {name, value != nullptr ? value : ""};
    list.InsertBack(entry);
}

unsigned long XmlAttributeList_C::NumEntries() const
{
    return static_cast<unsigned long>(list.LastIndex() + 1);
}

const SimpleXmlAttribute_S* XmlAttributeList_C::at(unsigned long i) const
{
    return i < NumEntries() ? list.Obj_P(static_cast<long>(i)) : NO_ATTRIBUTE;
}

const SimpleXmlAttribute_S* XmlAttributeList_C::find(const char* name) const
{
    if (name == nullptr)
        return NO_ATTRIBUTE;
    for (unsigned long i = 0; i < NumEntries(); ++i) {
        const SimpleXmlAttribute_S* entry = at(i);
        if (std::strcmp(entry->name, name) == 0)
            return entry;
    }
    return NO_ATTRIBUTE;
}

const char* XmlAttributeList_C::GetName(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return entry != nullptr ? entry->name : nullptr;
}

const char* XmlAttributeList_C::GetValue(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return entry != nullptr ? entry->value : "";
}

bool XmlAttributeList_C::Exists(const char* name) const
{
    return find(name) != nullptr;
}

const char* XmlAttributeList_C::GetValue(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return entry != nullptr ? entry->value : "";
}

long XmlAttributeList_C::GetLong(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return toLong(entry != nullptr ? entry->value : nullptr);
}

unsigned long XmlAttributeList_C::GetULong(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return toULong(entry != nullptr ? entry->value : nullptr);
}

long long XmlAttributeList_C::GetI64(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return toI64(entry != nullptr ? entry->value : nullptr);
}

unsigned long long XmlAttributeList_C::GetU64(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return toU64(entry != nullptr ? entry->value : nullptr);
}

bool XmlAttributeList_C::GetBool(const char* name) const
{
    const SimpleXmlAttribute_S* entry = find(name);
    return toBool(entry != nullptr ? entry->value : nullptr);
}

long XmlAttributeList_C::GetLong(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return toLong(entry != nullptr ? entry->value : nullptr);
}

unsigned long XmlAttributeList_C::GetULong(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return toULong(entry != nullptr ? entry->value : nullptr);
}

long long XmlAttributeList_C::GetI64(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return toI64(entry != nullptr ? entry->value : nullptr);
}

unsigned long long XmlAttributeList_C::GetU64(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return toU64(entry != nullptr ? entry->value : nullptr);
}

bool XmlAttributeList_C::GetBool(unsigned long i) const
{
    const SimpleXmlAttribute_S* entry = at(i);
    return toBool(entry != nullptr ? entry->value : nullptr);
}

// ---------------------------------------------------------------------------
// SimpleXmlParser

SimpleXmlParser::SimpleXmlParser()
    : buf(nullptr), end(nullptr), cur(nullptr), flags(0), saved(0), tag(nullptr), name(nullptr), value(nullptr)
{
}

SimpleXmlParser::SimpleXmlParser(char* text, unsigned long length) : SimpleXmlParser()
{
    attach(text, length);
}

void SimpleXmlParser::attach(char* text, unsigned long length)
{
    buf = cur = text;
    end = text != nullptr ? text + length : nullptr;
    flags = 0;
    saved = 0;
    tag = name = value = nullptr;
}

int SimpleXmlParser::invalidate()
{
    cur = end;
    flags = 0;
    saved = 0;
    tag = name = value = nullptr;
    return 0;
}

bool SimpleXmlParser::tagIs(const char* text) const
{
    return tag != nullptr && text != nullptr && std::strcmp(tag, text) == 0;
}

bool SimpleXmlParser::nameIs(const char* text) const
{
    return name != nullptr && text != nullptr && std::strcmp(name, text) == 0;
}

void SimpleXmlParser::skipWhiteSpace()
{
    while (cur < end && isWhiteSpace(*cur))
        ++cur;
}

bool SimpleXmlParser::parseNext()
{
    name = nullptr;
    value = nullptr;
    const unsigned int previous = flags;
    flags = 0;
    if (buf == nullptr)
        return false;
    if (saved != 0) {
        *cur = saved;
        saved = 0;
    }
    // An attribute leaves the parser inside its start tag.
    if ((previous & FOUND_ATTRIBUTE) != 0)
        return parseInside();
    return parseOutside();
}

bool SimpleXmlParser::parseOutside()
{
    while (cur < end && *cur != '<')
        ++cur;
    if (atEnd())
        return false;
    terminate();

    if (!atEnd() && *cur == '/') {
        ++cur;
        tag = cur;
        while (cur < end && *cur != '>' && !isWhiteSpace(*cur))
            ++cur;
        if (atEnd()) {
            tag = nullptr;
            return false;
        }
        const bool spaced = *cur != '>';
        terminate();
        if (spaced) {
            while (cur < end && *cur != '>')
                ++cur;
            if (!atEnd())
                ++cur;
        }
        flags |= FOUND_END;
        return true;
    }

    tag = cur;
    while (cur < end && *cur != '>' && *cur != '/' && !isWhiteSpace(*cur))
        ++cur;
    if (atEnd()) {
        tag = nullptr;
        return false;
    }
    flags |= FOUND_START;
    if (isWhiteSpace(*cur)) {
        terminate();
        skipWhiteSpace();
        if (atEnd())
            return flags != 0;
    }
    if (*cur == '>') {
        terminate();
        return true;
    }
    if (*cur == '/') {
        char* slash = cur;
        terminate();
        if (atEnd()) {
            tag = nullptr;
            return false;
        }
        if (*cur != '>') {
            tag = nullptr;
            throw SimpleXmlException('/', offsetOf(slash));
        }
        flags |= FOUND_EMPTY | FOUND_END;
        terminate();
        return true;
    }
    return parseInside();
}

bool SimpleXmlParser::parseInside()
{
    skipWhiteSpace();
    if (atEnd())
        return flags != 0;
    if (*cur == '>') {
        terminate();
        if ((flags & FOUND_START) != 0)
            return true;
        return parseOutside();
    }
    if (*cur == '/') {
        char* slash = cur;
        terminate();
        if (atEnd()) {
            tag = nullptr;
            return false;
        }
        if (*cur != '>') {
            tag = nullptr;
            throw SimpleXmlException('/', offsetOf(slash));
        }
        ++cur;
        flags |= FOUND_EMPTY | FOUND_END;
        return true;
    }

    name = cur;
    while (cur < end && *cur != '=' && *cur != '/' && *cur != '>' && !isWhiteSpace(*cur))
        ++cur;
    if (atEnd()) {
        name = nullptr;
        return false;
    }
    flags |= FOUND_ATTRIBUTE;
    if (isWhiteSpace(*cur)) {
        terminate();
        skipWhiteSpace();
        if (atEnd())
            return flags != 0;
    }
    if (*cur != '=') {
        // The name needs its NUL where the next item starts: keep that
        // character for the next call.
        saved = *cur;
        *cur = '\0';
        return true;
    }
    terminate();
    skipWhiteSpace();
    if (atEnd())
        return flags != 0;
    const char quote = *cur;
    if (quote != '\'' && quote != '"')
        throw SimpleXmlException(quote, offsetOf(cur));
    ++cur;
    value = cur;
    while (cur < end && *cur != quote)
        ++cur;
    if (atEnd()) {
        value = nullptr;
        return flags != 0;
    }
    terminate();
    decodeEntities(value);
    return true;
}

unsigned long SimpleXmlParser::getULONG() const
{
    if (value == nullptr)
        return 0;
    return std::strtoul(value, nullptr, startsHex(value) ? 16 : 10);
}

long SimpleXmlParser::getLONG() const
{
    if (value == nullptr)
        return 0;
    return std::strtol(value, nullptr, startsHex(value) ? 16 : 10);
}

unsigned long long SimpleXmlParser::getULONGLONG() const
{
    if (value == nullptr)
        return 0;
    return std::strtoull(value, nullptr, startsHex(value) ? 16 : 10);
}

long long SimpleXmlParser::getLONGLONG() const
{
    if (value == nullptr)
        return 0;
    return std::strtoll(value, nullptr, startsHex(value) ? 16 : 10);
}

double SimpleXmlParser::getDOUBLE() const
{
    return value != nullptr ? std::strtod(value, nullptr) : 0.0;
}
