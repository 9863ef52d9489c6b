#include "cli/ArgParse.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/FilterCollection.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// Decimal value of text[0, length). A value past the largest int is not a
// number: wrapped, 4294967296 would name logical drive 0 and 4294967297
// controller 1, and the command would act on them.
int parseDecimal(const char* text, std::size_t length)
{
    constexpr std::uint32_t largest = std::numeric_limits<int>::max();
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return CLI_NAN;
        const auto digit = static_cast<std::uint32_t>(c - '0');
        if (value > (largest - digit) / 10u)
            return CLI_NAN;
        value = value * 10u + digit;
    }
    return static_cast<int>(value);
}

bool isTrimmed(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

}  // namespace

int ascii2int(const char* text)
{
    if (text == nullptr)
        return CLI_NAN;
    return parseDecimal(text, std::strlen(text));
}

int parseHexChar(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return CLI_NAN;
}

int asciiHex2int(const char* text)
{
    if (text == nullptr)
        return CLI_NAN;
    std::uint32_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const int digit = parseHexChar(*p);
        if (digit == CLI_NAN)
            return CLI_NAN;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<int>(value);
}

int isLegal(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 32 && u <= 126) ? 1 : 0;
}

int checkNameRange(const char* name)
{
    if (name == nullptr)
        return CLI_NAN;
    for (const char* p = name; *p != '\0'; ++p) {
        if (!isLegal(*p))
            return CLI_NAN;
    }
    return 1;
}

void toLower(char* text)
{
    if (text == nullptr)
        return;
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
    }
}

void toUpper(char* text)
{
    if (text == nullptr)
        return;
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
}

void trim(char* text)
{
    if (text == nullptr)
        return;
    std::size_t length = std::strlen(text);
    while (length > 0 && isTrimmed(text[length - 1]))
        --length;
    std::size_t start = 0;
    while (start < length && isTrimmed(text[start]))
        ++start;
    std::memmove(text, text + start, length - start);
    text[length - start] = '\0';
}

char* hideWhitespace(char* text)
{
    if (text == nullptr)
        return text;
    while (*text == ' ')
        ++text;
    return text;
}

int getnextdevice(int wordsLeft, char** words, unsigned& channel, unsigned& device)
{
    if (wordsLeft < 1 || words == nullptr || words[0] == nullptr)
        return -2;
    const char* first = words[0];
    if (const char* comma = std::strchr(first, ',')) {
        // The device is stored before the channel is looked at, so a bad
        // channel still leaves the device changed, as callers have seen it.
        const int dev = ascii2int(comma + 1);
        if (dev == CLI_NAN)
            return -1;
        device = static_cast<unsigned>(dev);
        const int chan = parseDecimal(first, static_cast<std::size_t>(comma - first));
        if (chan == CLI_NAN)
            return -1;
        channel = static_cast<unsigned>(chan);
        return 1;
    }
    if (wordsLeft < 2 || words[1] == nullptr)
        return -2;
    const int chan = ascii2int(words[0]);
    const int dev = ascii2int(words[1]);
    if (chan == CLI_NAN || dev == CLI_NAN)
        return -1;
    channel = static_cast<unsigned>(chan);
    device = static_cast<unsigned>(dev);
    return 2;
}

void u64ToString(unsigned long long value, std::string& out)
{
    char digits[24];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.clear();
    while (n > 0)
        out.push_back(digits[--n]);
}

int strtoken(const char* source, const char* delimiter, char* target, std::size_t targetSize)
{
    if (target == nullptr || targetSize == 0)
        return 0;
    if (source == nullptr) {
        target[0] = '\0';
        return 1;
    }
    const char stop = delimiter != nullptr ? delimiter[0] : '\0';
    std::size_t length = 0;
    while (source[length] != '\0' && (stop == '\0' || source[length] != stop))
        ++length;
    const bool cut = length >= targetSize;
    if (cut)
        length = targetSize - 1;
    std::memcpy(target, source, length);
    target[length] = '\0';
    return cut ? 0 : 1;
}

int devID2TL(unsigned deviceID, int* upper)
{
    if (upper != nullptr)
        *upper = static_cast<int>(deviceID >> 16);
    return static_cast<int>(deviceID & 0xFFFFu);
}

char* replace_str(char* text, const char* find, const char* replacement)
{
    static char buffer[REPLACE_STR_BUFFER_SIZE];
    if (text == nullptr || find == nullptr)
        return text;
    const char* match = std::strstr(text, find);
    if (match == nullptr)
        return text;
    // Built aside first: `text` may be the buffer of an earlier call.
    std::string result(text, static_cast<std::size_t>(match - text));
    result += replacement != nullptr ? replacement : "";
    result += match + std::strlen(find);
    const std::size_t length = result.size() < sizeof(buffer) ? result.size() : sizeof(buffer) - 1;
    std::memcpy(buffer, result.data(), length);
    buffer[length] = '\0';
    return buffer;
}

char* append_str(char* text)
{
    if (text == nullptr)
        return text;
    std::size_t length = std::strlen(text);
    while (length < APPEND_STR_WIDTH)
        text[length++] = '.';
    text[length] = '\0';
    return text;
}

int hasFaultTolerance(int raidLevel, unsigned long long value)
{
    if (raidLevel < 0 || raidLevel > 19)
        return 0;
    if (raidLevel == 14)
        return value != 0 ? 1 : 0;
    constexpr unsigned faultTolerantLevels = 0xF0EFEu;
    return ((faultTolerantLevels >> raidLevel) & 1u) != 0 ? 1 : 0;
}

int isSASAdapter(Adapter* adapter)
{
    if (adapter == nullptr)
        return 0;
    FilterCollection below(adapter);
    return below.apply("SASChannel", false)->size() > 0 ? 1 : 0;
}
