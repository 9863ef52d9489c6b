#ifndef VYN_COMMON_SIMPLEXMLPARSER_H
#define VYN_COMMON_SIMPLEXMLPARSER_H

#include "common/ByRefArray.h"

// Thrown by SimpleXmlParser::parseNext for text it cannot read: a '/' that is
// not followed by '>', or an attribute value that does not start with a quote.
class SimpleXmlException {
public:
    SimpleXmlException(char character, unsigned long offset) : character(character), offset(offset) {}

    // The offending character and its offset from the start of the text.
    char getCharacter() const { return character; }
    unsigned long getOffset() const { return offset; }

private:
    char character;
    unsigned long offset;
};

// One attribute of a start tag; the strings belong to the parsed text.
struct SimpleXmlAttribute_S {
    const char* name;
    const char* value;
};

// The attributes of one XML start tag as (name, value) pointers into the
// parsed text, with typed reads by name or by position. Sizes are counted in
// entries. Copies share the strings, never own them. Readers ask for dozens
// of names per element, mostly each twice in a row (Exists, then a Get), so
// reads by name go through a hash index of the first entry of each name,
// built on the first read and extended by later appends, and the entry found
// last is tried first.
class XmlAttributeList_C {
public:
    explicit XmlAttributeList_C(unsigned long initialEntries = 0, unsigned long growEntries = 8);
    XmlAttributeList_C(const XmlAttributeList_C& other);
    XmlAttributeList_C& operator=(const XmlAttributeList_C& other);
    ~XmlAttributeList_C();

    void setInitElements(unsigned long n, unsigned long grow);
    void setInitElements(unsigned long n);

    // A null name adds nothing; a null value is kept as "".
    void Append(const char* name, const char* value);

    unsigned long NumEntries() const { return static_cast<unsigned long>(list.LastIndex() + 1); }
    const char* GetName(unsigned long i) const;
    const char* GetValue(unsigned long i) const;

    // By name: the first exact match; absent names read as "", 0 or false.
    bool Exists(const char* name) const;
    const char* GetValue(const char* name) const;
    long GetLong(const char* name) const;
    unsigned long GetULong(const char* name) const;
    long long GetI64(const char* name) const;
    unsigned long long GetU64(const char* name) const;
    bool GetBool(const char* name) const;

    // By position: out of range reads as 0 or false.
    long GetLong(unsigned long i) const;
    unsigned long GetULong(unsigned long i) const;
    long long GetI64(unsigned long i) const;
    unsigned long long GetU64(unsigned long i) const;
    bool GetBool(unsigned long i) const;

private:
    const SimpleXmlAttribute_S* find(const char* name) const;
    const SimpleXmlAttribute_S* at(unsigned long i) const;
    bool updateIndex() const;
    void dropIndex();

    ByRefArray_TC<SimpleXmlAttribute_S> list;
    // Open-addressed slots holding entry number + 1 (0: empty), followed by
    // the hash of each slot's name and by a flag per entry that is set when
    // no earlier entry has its name; slotCount is a power of two, at least
    // twice the entries indexed. Without it (too few entries, or no memory
    // for it) reads scan the list.
    mutable unsigned int* slots = nullptr;
    mutable unsigned int slotCount = 0;
    mutable unsigned int indexed = 0;
    mutable unsigned int lastFound = 0;
};

// A pull parser that works in place on a writable text: it writes NULs into
// the text to end names and values and hands out pointers into it, so every
// result lives only as long as the text. It never reads at or past the end,
// and the text need not be NUL-terminated. In attribute values the five
// entities the XML writer produces are decoded, one level, so that a value
// reads back as it was written; any other '&' stays as it stands.
class SimpleXmlParser {
public:
    // What parseNext found, as bits of getFlags().
    enum : unsigned int { FOUND_START = 1, FOUND_ATTRIBUTE = 2, FOUND_EMPTY = 4, FOUND_END = 8 };

    SimpleXmlParser();
    SimpleXmlParser(char* text, unsigned long length);

    void attach(char* text, unsigned long length);
    // Nothing more is found after this; returns 0.
    int invalidate();

    // Steps to the next start tag, attribute, end tag or empty-element end.
    // A start tag and its first attribute are one item. Throws
    // SimpleXmlException for malformed text; text cut short never throws.
    bool parseNext();

    const char* getTag() const { return tag; }
    const char* getName() const { return name; }
    const char* getValue() const { return value; }
    unsigned int getFlags() const { return flags; }
    bool tagIs(const char* text) const;
    bool nameIs(const char* text) const;
    bool foundStartTag() const { return (flags & FOUND_START) != 0; }
    bool foundEndTag() const { return (flags & FOUND_END) != 0; }

    // The current value as a number; "0x" (lowercase only) selects base 16.
    unsigned long getULONG() const;
    long getLONG() const;
    unsigned long long getULONGLONG() const;
    long long getLONGLONG() const;
    double getDOUBLE() const;

private:
    bool parseOutside();
    bool parseInside();
    bool atEnd() const { return cur >= end; }
    void terminate() { *cur++ = '\0'; }
    void skipWhiteSpace();
    unsigned long offsetOf(const char* p) const { return static_cast<unsigned long>(p - buf); }

    char* buf;
    char* end;
    char* cur;
    unsigned int flags;
    char saved;
    char* tag;
    char* name;
    char* value;
};

#endif
