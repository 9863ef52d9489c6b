#include "cli/ArgParse.h"

#include "RaidModel/Interface/Adapter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct NumberCase {
    const char* text;
    int expected;
};

TEST(ArgParseNumbers, DecimalTakesDigitsOnly)
{
    const NumberCase cases[] = {
        {"", 0},
        {"0", 0},
        {"42", 42},
        {"2147483647", 2147483647},
        // a value that does not fit is not a number, never a wrapped one
        {"2147483648", CLI_NAN},
        {"4294967295", CLI_NAN},
        {"4294967296", CLI_NAN},
        {"4294967297", CLI_NAN},
        {"99999999999999999999", CLI_NAN},
        {"00000000000000000042", 42},
        {"-1", CLI_NAN},
        {"+1", CLI_NAN},
        {"1 ", CLI_NAN},
        {" 1", CLI_NAN},
        {"1a", CLI_NAN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ascii2int(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(ascii2int(nullptr), CLI_NAN);
}

TEST(ArgParseNumbers, HexTakesDigitsWithoutPrefix)
{
    const NumberCase cases[] = {
        {"", 0},
        {"ff", 255},
        {"FF", 255},
        {"7FFFFFFF", 0x7FFFFFFF},
        {"0x10", CLI_NAN},
        {"g", CLI_NAN},
        {"1 ", CLI_NAN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(asciiHex2int(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ArgParseNumbers, HexCharacter)
{
    EXPECT_EQ(parseHexChar('0'), 0);
    EXPECT_EQ(parseHexChar('9'), 9);
    EXPECT_EQ(parseHexChar('a'), 10);
    EXPECT_EQ(parseHexChar('F'), 15);
    EXPECT_EQ(parseHexChar('G'), CLI_NAN);
    EXPECT_EQ(parseHexChar('x'), CLI_NAN);
}

TEST(ArgParseNames, PrintableAsciiOnly)
{
    EXPECT_EQ(checkNameRange("Data volume 1"), 1);
    EXPECT_EQ(checkNameRange(""), 1);
    EXPECT_EQ(checkNameRange("tab\there"), CLI_NAN);
    EXPECT_EQ(checkNameRange("del\x7f"), CLI_NAN);
    EXPECT_EQ(checkNameRange("caf\xc3\xa9"), CLI_NAN);
    EXPECT_EQ(isLegal(' '), 1);
    EXPECT_EQ(isLegal('~'), 1);
    EXPECT_EQ(isLegal('\x1f'), 0);
    EXPECT_EQ(isLegal(static_cast<char>(0x80)), 0);
}

TEST(ArgParseText, CaseTrimAndBlanks)
{
    char mixed[] = "GetConfig 1 \xc4";
    toUpper(mixed);
    EXPECT_STREQ(mixed, "GETCONFIG 1 \xc4");
    toLower(mixed);
    EXPECT_STREQ(mixed, "getconfig 1 \xc4");

    struct {
        const char* in;
        const char* out;
    } trims[] = {
        {"  \t name \n", "name"},
        {"   ", ""},
        {"", ""},
        {"a b", "a b"},
        {"\ra\r", "\ra\r"},
    };
    for (const auto& t : trims) {
        char buffer[32];
        std::strcpy(buffer, t.in);
        trim(buffer);
        EXPECT_STREQ(buffer, t.out) << '"' << t.in << '"';
    }

    char blanks[] = "  \tx";
    EXPECT_STREQ(hideWhitespace(blanks), "\tx");
    EXPECT_EQ(hideWhitespace(nullptr), nullptr);
}

struct DeviceCase {
    std::vector<std::string> words;
    int expected;
    unsigned channel;
    unsigned device;
};

TEST(ArgParseDevice, OneOrTwoWords)
{
    const DeviceCase cases[] = {
        {{"0,3"}, 1, 0, 3},
        {{"2,15", "x"}, 1, 2, 15},
        {{"0", "3"}, 2, 0, 3},
        {{"0", "3", "7"}, 2, 0, 3},
        {{"0"}, -2, 99, 99},
        {{"a,3"}, -1, 99, 3},  // the device part is read first
        {{"0,b"}, -1, 99, 99},
        {{"a", "3"}, -1, 99, 99},
        {{"0", "b"}, -1, 99, 99},
        {{"0,-3"}, -1, 99, 99},
        // numbers too large for an int are bad, not wrapped to 4
        {{"4294967300,3"}, -1, 99, 3},
        {{"0,4294967300"}, -1, 99, 99},
        {{"4294967300", "3"}, -1, 99, 99},
        {{"0", "4294967300"}, -1, 99, 99},
    };
    for (const auto& c : cases) {
        std::vector<std::string> storage = c.words;
        std::vector<char*> words;
        for (auto& w : storage)
            words.push_back(&w[0]);
        unsigned channel = 99;
        unsigned device = 99;
        const int used = getnextdevice(static_cast<int>(words.size()), words.data(), channel, device);
        EXPECT_EQ(used, c.expected) << c.words[0];
        EXPECT_EQ(channel, c.channel) << c.words[0];
        EXPECT_EQ(device, c.device) << c.words[0];
        EXPECT_EQ(storage, c.words) << "the words stay as typed";
    }
}

TEST(ArgParseDevice, NoWordsLeft)
{
    unsigned channel = 0;
    unsigned device = 0;
    EXPECT_EQ(getnextdevice(0, nullptr, channel, device), -2);
}

TEST(ArgParseConvert, U64ToDecimalText)
{
    std::string text = "stale";
    u64ToString(0, text);
    EXPECT_EQ(text, "0");
    u64ToString(20480000ull, text);
    EXPECT_EQ(text, "20480000");
    u64ToString(18446744073709551615ull, text);
    EXPECT_EQ(text, "18446744073709551615");
}

TEST(ArgParseConvert, DeviceIdHalves)
{
    int upper = -1;
    EXPECT_EQ(devID2TL(0x00020005u, &upper), 5);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(devID2TL(0xFFFF00FFu, &upper), 255);
    EXPECT_EQ(upper, 0xFFFF);
    EXPECT_EQ(devID2TL(7, nullptr), 7);
}

TEST(ArgParseStrings, TokenStopsAtDelimiterAndBuffer)
{
    char target[8];
    EXPECT_EQ(strtoken("0,3", ",", target, sizeof(target)), 1);
    EXPECT_STREQ(target, "0");
    EXPECT_EQ(strtoken("abc", ",;", target, sizeof(target)), 1);
    EXPECT_STREQ(target, "abc");
    EXPECT_EQ(strtoken("a;b,c", ";,", target, sizeof(target)), 1);
    EXPECT_STREQ(target, "a");

    // A canary after a short target shows that nothing is written past it.
    char guarded[6] = {'x', 'x', 'x', 'x', '\0', '#'};
    EXPECT_EQ(strtoken("0123456789", ",", guarded, 5), 0);
    EXPECT_STREQ(guarded, "0123");
    EXPECT_EQ(guarded[5], '#');
}

TEST(ArgParseStrings, ReplaceFirstMatch)
{
    char text[] = "cmdTimeUsec_16";
    char* replaced = replace_str(text, "cmdTimeUsec", "Inter-IO times (usecs) ");
    EXPECT_STREQ(replaced, "Inter-IO times (usecs) _16");
    EXPECT_NE(replaced, text);

    char none[] = "secondsSinceLastUpdate";
    EXPECT_EQ(replace_str(none, "cmdSize", "x"), none);

    char twice[] = "a-a";
    EXPECT_STREQ(replace_str(twice, "a", "bb"), "bb-a");

    // Feeding the buffer back in is allowed.
    char* again = replace_str(replace_str(twice, "a", "bb"), "-", "+");
    EXPECT_STREQ(again, "bb+a");
}

TEST(ArgParseStrings, ReplaceStaysInsideItsBuffer)
{
    std::string longText(REPLACE_STR_BUFFER_SIZE - 2, 'x');
    longText += "KEY";
    std::string replacement(100, 'y');
    char* result = replace_str(&longText[0], "KEY", replacement.c_str());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::strlen(result), REPLACE_STR_BUFFER_SIZE - 1);
    EXPECT_EQ(result[REPLACE_STR_BUFFER_SIZE - 2], 'y');
}

TEST(ArgParseStrings, AppendDotsTo49)
{
    char label[64] = "Controller";
    append_str(label);
    EXPECT_EQ(std::string(label), "Controller" + std::string(39, '.'));

    char full[64];
    std::memset(full, 'n', 52);
    full[52] = '\0';
    append_str(full);
    EXPECT_EQ(std::strlen(full), 52u);
}

TEST(ArgParseModel, FaultToleranceByLevel)
{
    const int tolerant[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 16, 17, 18, 19};
    const int intolerant[] = {0, 8, 12, 13, 15, 20, -1, 0x7FFFFFFF};
    for (int level : tolerant)
        EXPECT_EQ(hasFaultTolerance(level, 0), 1) << level;
    for (int level : intolerant)
        EXPECT_EQ(hasFaultTolerance(level, 1), 0) << level;
    EXPECT_EQ(hasFaultTolerance(14, 0), 0);
    EXPECT_EQ(hasFaultTolerance(14, 1ull << 40), 1);
}

class NamedNode : public RaidObject {
public:
    explicit NamedNode(const char* n) : name(n) {}
    bool isInstanceOf(const char* cls) const override
    {
        return std::strcmp(cls, name) == 0 || RaidObject::isInstanceOf(cls);
    }

private:
    const char* name;
};

TEST(ArgParseModel, SasAdapterHasSasChannelBelow)
{
    Adapter adapter;
    EXPECT_EQ(isSASAdapter(&adapter), 0);
    adapter.addChild(new NamedNode("SCSIChannel"));
    EXPECT_EQ(isSASAdapter(&adapter), 0);
    adapter.addChild(new NamedNode("SASChannel"));
    EXPECT_EQ(isSASAdapter(&adapter), 1);
    EXPECT_EQ(isSASAdapter(nullptr), 0);
    adapter.deleteAllChildren();
}

}  // namespace
