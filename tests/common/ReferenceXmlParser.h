#ifndef VYN_TESTS_COMMON_REFERENCEXMLPARSER_H
#define VYN_TESTS_COMMON_REFERENCEXMLPARSER_H

#include <cstring>

#include "common/SimpleXmlParser.h"

namespace vyntest {

// The pull parser as it was written first, one byte and one test at a time:
// the oracle against which the fast parser's items, the NULs it writes and
// the exceptions it throws are compared. Kept apart from the library so
// that it never changes with it.
class ReferenceXmlParser {
public:
    ReferenceXmlParser(char* text, unsigned long length) : buf(text), end(text + length), cur(text) {}

    bool parseNext()
    {
        name = nullptr;
        value = nullptr;
        const unsigned int previous = flags;
        flags = 0;
        if (saved != 0) {
            *cur = saved;
            saved = 0;
        }
        if ((previous & SimpleXmlParser::FOUND_ATTRIBUTE) != 0)
            return parseInside();
        return parseOutside();
    }

    const char* getTag() const { return tag; }
    const char* getName() const { return name; }
    const char* getValue() const { return value; }
    unsigned int getFlags() const { return flags; }

private:
    static bool isWhiteSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }
    bool atEnd() const { return cur >= end; }
    void terminate() { *cur++ = '\0'; }
    void skipWhiteSpace()
    {
        while (cur < end && isWhiteSpace(*cur))
            ++cur;
    }
    unsigned long offsetOf(const char* p) const { return static_cast<unsigned long>(p - buf); }

    static void decodeEntities(char* text)
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

    bool parseOutside()
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
            flags |= SimpleXmlParser::FOUND_END;
            return true;
        }
        tag = cur;
        while (cur < end && *cur != '>' && *cur != '/' && !isWhiteSpace(*cur))
            ++cur;
        if (atEnd()) {
            tag = nullptr;
            return false;
        }
        flags |= SimpleXmlParser::FOUND_START;
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
            flags |= SimpleXmlParser::FOUND_EMPTY | SimpleXmlParser::FOUND_END;
            terminate();
            return true;
        }
        return parseInside();
    }

    bool parseInside()
    {
        skipWhiteSpace();
        if (atEnd())
            return flags != 0;
        if (*cur == '>') {
            terminate();
            if ((flags & SimpleXmlParser::FOUND_START) != 0)
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
            flags |= SimpleXmlParser::FOUND_EMPTY | SimpleXmlParser::FOUND_END;
            return true;
        }
        name = cur;
        while (cur < end && *cur != '=' && *cur != '/' && *cur != '>' && !isWhiteSpace(*cur))
            ++cur;
        if (atEnd()) {
            name = nullptr;
            return false;
        }
        flags |= SimpleXmlParser::FOUND_ATTRIBUTE;
        if (isWhiteSpace(*cur)) {
            terminate();
            skipWhiteSpace();
            if (atEnd())
                return flags != 0;
        }
        if (*cur != '=') {
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

    char* buf;
    char* end;
    char* cur;
    unsigned int flags = 0;
    char saved = 0;
    char* tag = nullptr;
    char* name = nullptr;
    char* value = nullptr;
};

}  // namespace vyntest

#endif
