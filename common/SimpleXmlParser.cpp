#include "common/SimpleXmlParser.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Character classes of the parser's scans, as bits of one entry per byte.
enum : unsigned char {
    CC_SPACE = 1,        // blank, line feed, tab, carriage return
    CC_TAG_STOP = 2,     // ends a start tag's name: white space, '>', '/'
    CC_END_TAG_STOP = 4, // ends an end tag's name: white space, '>'
    CC_NAME_STOP = 8,    // ends an attribute name: white space, '=', '/', '>'
    CC_VALUE_STOP = 16   // may end or change a value: either quote, '&'
};

struct CharClasses {
    unsigned char of[256];
    constexpr CharClasses() : of()
    {
        const char spaces[] = " \n\t\r";
        for (int i = 0; i < 4; ++i)
            of[static_cast<unsigned char>(spaces[i])] = CC_SPACE | CC_TAG_STOP | CC_END_TAG_STOP | CC_NAME_STOP;
        of[static_cast<unsigned char>('>')] = CC_TAG_STOP | CC_END_TAG_STOP | CC_NAME_STOP;
        of[static_cast<unsigned char>('/')] = CC_TAG_STOP | CC_NAME_STOP;
        of[static_cast<unsigned char>('=')] = CC_NAME_STOP;
        of[static_cast<unsigned char>('"')] = CC_VALUE_STOP;
        of[static_cast<unsigned char>('\'')] = CC_VALUE_STOP;
        of[static_cast<unsigned char>('&')] = CC_VALUE_STOP;
    }
};

constexpr CharClasses CHAR_CLASSES;

inline bool isClass(char c, unsigned char bits)
{
    return (CHAR_CLASSES.of[static_cast<unsigned char>(c)] & bits) != 0;
}

// The first byte of the class at or after p, or end. Four bytes per round
// while four remain, with one end check for them. (A vector scan counts
// fewer instructions but runs slower here: names and values are short, and
// each scan's end would become a data dependency of the next scan's start
// instead of a predicted branch.)
template <unsigned char stopClass>
inline char* scanTo(char* p, const char* end)
{
    while (end - p >= 4) {
        if (isClass(p[0], stopClass))
            return p;
        if (isClass(p[1], stopClass))
            return p + 1;
        if (isClass(p[2], stopClass))
            return p + 2;
        if (isClass(p[3], stopClass))
            return p + 3;
        p += 4;
    }
    while (p < end && !isClass(*p, stopClass))
        ++p;
    return p;
}

// An attribute name's end: as scanTo<CC_NAME_STOP>, 16 bytes at a time
// while 16 remain. Every byte up to 0x20 is a candidate, checked against
// the table.
inline char* scanNameEnd(char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i blank = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i stops = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, blank), blank), _mm_cmpeq_epi8(v, _mm_set1_epi8('='))),
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))));
        unsigned int mask = static_cast<unsigned int>(_mm_movemask_epi8(stops));
        while (mask != 0) {
            char* at = p + __builtin_ctz(mask);
            if (isClass(*at, CC_NAME_STOP))
                return at;
            mask &= mask - 1;
        }
        p += 16;
    }
#endif
    return scanTo<CC_NAME_STOP>(p, end);
}

bool startsHex(const char* text)
{
    return text[0] == '0' && text[1] == 'x';
}

// Most values are plain decimal digits. Those of up to `maxDigits` digits,
// whatever follows them, are read here as strtol and its kin read them (no
// value of that many digits overflows); anything else (a sign, leading
// white space, more digits, no digit) is left to them. False when left.
template <typename T>
bool plainDecimal(const char* text, T& value)
{
    constexpr unsigned int maxDigits = std::numeric_limits<T>::digits10;
    if (static_cast<unsigned char>(text[0] - '0') > 9)
        return false;
    T result = 0;
    for (unsigned int i = 0; i < maxDigits; ++i) {
        const unsigned char digit = static_cast<unsigned char>(text[i] - '0');
        if (digit > 9) {
            value = result;
            return true;
        }
        result = result * 10 + digit;
    }
    if (static_cast<unsigned char>(text[maxDigits] - '0') <= 9)
        return false;
    value = result;
    return true;
}

long toLong(const char* text)
{
    long value = 0;
    if (text == nullptr)
        return 0;
    return plainDecimal(text, value) ? value : std::strtol(text, nullptr, 10);
}

unsigned long toULong(const char* text)
{
    unsigned long value = 0;
    if (text == nullptr)
        return 0;
    return plainDecimal(text, value) ? value : std::strtoul(text, nullptr, 10);
}

// Sizes and chunk starts need all 64 bits, read exactly.
long long toI64(const char* text)
{
    long long value = 0;
    if (text == nullptr)
        return 0;
    return plainDecimal(text, value) ? value : std::strtoll(text, nullptr, 10);
}

unsigned long long toU64(const char* text)
{
    unsigned long long value = 0;
    if (text == nullptr)
        return 0;
    return plainDecimal(text, value) ? value : std::strtoull(text, nullptr, 10);
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
        dropIndex();
        for (unsigned long i = 0; i < other.NumEntries(); ++i)
            list.InsertBack(*other.at(i));
    }
    return *this;
}

XmlAttributeList_C::~XmlAttributeList_C()
{
    delete[] slots;
}

void XmlAttributeList_C::dropIndex()
{
    delete[] slots;
    slots = nullptr;
    slotCount = 0;
    indexed = 0;
    lastFound = 0;
}

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
    // A full list grows by at least its own size, whatever step it was
    // given, so that an element with many more attributes than its reader
    // expected costs few copies.
    const unsigned long used = list.BytesUsed();
    if (list.BytesAvailable() < sizeof entry && used > sizeof entry && used <= 0x7FFFFFFFul)
        list.AllocTo(2 * used);
    list.InsertBack(entry);
}

const SimpleXmlAttribute_S* XmlAttributeList_C::at(unsigned long i) const
{
    return i < NumEntries() ? list.Obj_P(static_cast<long>(i)) : NO_ATTRIBUTE;
}

namespace {

// Short lists are scanned: an index would cost more than it saves.
const unsigned long INDEX_MIN_ENTRIES = 8;

// A hash of the name's length and four of its bytes (both ends and the
// middle): attribute names are short and mostly differ there, and the
// probe compares whole names anyway.
unsigned int hashName(const char* name)
{
    const std::size_t length = std::strlen(name);
    if (length == 0)
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    unsigned int h = static_cast<unsigned int>(length);
    h = h * 31 + p[0];
    h = h * 31 + p[length / 2];
    h = h * 31 + p[(length - 1) / 2];
    h = h * 31 + p[length - 1];
    return (h * 0x9E3779B1u) >> 7;
}

} // namespace

// Brings the index up to the list's entries; false when there is none to use.
bool XmlAttributeList_C::updateIndex() const
{
    const unsigned long entries = NumEntries();
    if (entries < INDEX_MIN_ENTRIES)
        return false;
    if (slots == nullptr || entries * 2 > slotCount) {
        unsigned long count = 16;
        while (count < entries * 2)
            count *= 2;
        if (count > 0x40000000ul)
            return false;
        // Entry number + 1 (0: empty), then each slot's hash, then for each
        // entry whether it is the first of its name.
        unsigned int* fresh = new (std::nothrow) unsigned int[3 * count];
        if (fresh == nullptr)
            return false;
        std::memset(fresh, 0, count * sizeof(unsigned int));
        delete[] slots;
        slots = fresh;
        slotCount = static_cast<unsigned int>(count);
        indexed = 0;
    }
    const unsigned int mask = slotCount - 1;
    unsigned int* const hashes = slots + slotCount;
    unsigned int* const firstOfName = slots + 2 * slotCount;
    const SimpleXmlAttribute_S* first = list.Obj_P(0);
    for (; indexed < entries; ++indexed) {
        const char* name = first[indexed].name;
        const unsigned int hash = hashName(name);
        unsigned int slot = hash & mask;
        // A later entry of a name already indexed is never found by name.
        while (slots[slot] != 0 &&
               (hashes[slot] != hash || std::strcmp(first[slots[slot] - 1].name, name) != 0))
            slot = (slot + 1) & mask;
        firstOfName[indexed] = slots[slot] == 0;
        if (slots[slot] == 0) {
            slots[slot] = indexed + 1;
            hashes[slot] = hash;
        }
    }
    return true;
}

const SimpleXmlAttribute_S* XmlAttributeList_C::find(const char* name) const
{
    if (name == nullptr)
        return NO_ATTRIBUTE;
    const unsigned long entries = NumEntries();
    if (entries == 0)
        return NO_ATTRIBUTE;
    const SimpleXmlAttribute_S* first = list.Obj_P(0);
    // The entry found last is the first of its name: entries are only ever
    // added behind it.
    if (lastFound < entries) {
        const char* last = first[lastFound].name;
        if (last[0] == name[0] && std::strcmp(last, name) == 0)
            return first + lastFound;
    }
    if ((indexed == entries && slots != nullptr) || updateIndex()) {
        // Readers mostly ask in the order the attributes were written: the
        // entry after the last one found is tried next, when it is the first
        // of its name.
        const unsigned int next = lastFound + 1;
        if (next < entries && slots[2 * slotCount + next] != 0) {
            const char* candidate = first[next].name;
            if (candidate[0] == name[0] && std::strcmp(candidate, name) == 0) {
                lastFound = next;
                return first + next;
            }
        }
        const unsigned int mask = slotCount - 1;
        const unsigned int* const hashes = slots + slotCount;
        const unsigned int hash = hashName(name);
        for (unsigned int slot = hash & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
            const unsigned int i = slots[slot] - 1;
            if (hashes[slot] == hash && std::strcmp(first[i].name, name) == 0) {
                lastFound = i;
                return first + i;
            }
        }
        return NO_ATTRIBUTE;
    }
    for (unsigned long i = 0; i < entries; ++i) {
        if (std::strcmp(first[i].name, name) == 0) {
            lastFound = static_cast<unsigned int>(i);
            return first + i;
        }
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

// Every scan below is one table lookup per byte; each stops at `end`, so the
// parser never reads at or past it and the text needs no NUL.
void SimpleXmlParser::skipWhiteSpace()
{
    while (cur < end && isClass(*cur, CC_SPACE))
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
    char* open = cur < end ? static_cast<char*>(std::memchr(cur, '<', static_cast<std::size_t>(end - cur))) : nullptr;
    if (open == nullptr) {
        cur = end;
        return false;
    }
    cur = open;
    terminate();

    if (!atEnd() && *cur == '/') {
        ++cur;
        tag = cur;
        cur = scanTo<CC_END_TAG_STOP>(cur, end);
        if (atEnd()) {
            tag = nullptr;
            return false;
        }
        const bool spaced = *cur != '>';
        terminate();
        if (spaced) {
            char* close = cur < end ? static_cast<char*>(std::memchr(cur, '>', static_cast<std::size_t>(end - cur)))
                                    : nullptr;
            cur = close != nullptr ? close + 1 : end;
        }
        flags |= FOUND_END;
        return true;
    }

    tag = cur;
    cur = scanTo<CC_TAG_STOP>(cur, end);
    if (atEnd()) {
        tag = nullptr;
        return false;
    }
    flags |= FOUND_START;
    if (isClass(*cur, CC_SPACE)) {
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
    // The common item, name="value" with nothing between name, '=' and
    // quote, is read here with the positions in locals (every NUL the parser
    // writes through a char pointer would otherwise make the compiler reload
    // its members) and only once it is known whole. Anything else, text cut
    // short included, is read again from the name by the general steps below.
    char* p = cur;
    char* const last = end;
    while (p < last && isClass(*p, CC_SPACE))
        ++p;
    if (p < last && !isClass(*p, CC_NAME_STOP)) {
        char* const nameStart = p;
        p = scanNameEnd(p, last);
        if (last - p >= 2 && *p == '=' && (p[1] == '"' || p[1] == '\'')) {
            char* const equals = p;
            const char quote = p[1];
            char* const valueStart = p + 2;
            char* amp = nullptr;
            p = valueStart;
            for (;;) {
                p = scanTo<CC_VALUE_STOP>(p, last);
                if (p >= last || *p == quote)
                    break;
                if (*p == '&' && amp == nullptr)
                    amp = p;
                ++p;
            }
            if (p < last) {
                *equals = '\0';
                *p = '\0';
                cur = p + 1;
                name = nameStart;
                value = valueStart;
                flags |= FOUND_ATTRIBUTE;
                if (amp != nullptr)
                    decodeEntities(amp);
                return true;
            }
        }
        p = nameStart;
    }
    cur = p;

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
    cur = scanTo<CC_NAME_STOP>(cur, end);
    if (atEnd()) {
        name = nullptr;
        return false;
    }
    flags |= FOUND_ATTRIBUTE;
    if (*cur != '=') {
        if (isClass(*cur, CC_SPACE)) {
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
    }
    terminate();
    if (cur < end && isClass(*cur, CC_SPACE))
        skipWhiteSpace();
    if (atEnd())
        return flags != 0;
    const char quote = *cur;
    if (quote != '\'' && quote != '"')
        throw SimpleXmlException(quote, offsetOf(cur));
    ++cur;
    value = cur;
    // Most values hold no '&': they are scanned once, up to their quote, and
    // only a value with one is passed over again from its first '&'.
    char* amp = nullptr;
    for (;;) {
        cur = scanTo<CC_VALUE_STOP>(cur, end);
        if (atEnd()) {
            value = nullptr;
            return flags != 0;
        }
        if (*cur == quote)
            break;
        if (*cur == '&' && amp == nullptr)
            amp = cur;
        ++cur;
    }
    terminate();
    if (amp != nullptr)
        decodeEntities(amp);
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
