#include "common/StringUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr unsigned char kUntouched = 0xEE;

struct CopyCase {
    const char* name;
    std::string src;
    int n;
    std::string expected;  // the bytes dst must hold; beyond them dst stays untouched
};

const CopyCase kCopyCases[] = {
    {"control byte replaced, trailing blank trimmed", std::string("AB\x01 ", 4), 4,
     std::string("AB?\0", 4)},
    {"all blanks become empty", "   ", 3, std::string("\0\0\0", 3)},
    {"copying stops after a NUL", std::string("AB\0CD", 5), 5, std::string("AB\0", 3)},
    {"blanks before the NUL are trimmed", std::string("AB  \0X", 6), 6, std::string("AB\0\0\0", 5)},
    {"no NUL and a printable end: no terminator", "ABCD", 4, "ABCD"},
    {"bytes at or above 0x80 replaced", "\x80\xff", 2, "??"},
    {"a tab is a control byte", "A\t B", 4, "A? B"},
    {"DEL is kept", "AB\x7f", 3, "AB\x7f"},
    {"a replaced last byte stops the trim", "A \x01", 3, "A ?"},
    {"trailing control bytes as '?' are kept", std::string("A\x1f\0", 3), 3, std::string("A?\0", 3)},
    {"only the first n bytes", "ABCDEF", 3, "ABC"},
    {"blank-padded device string", "ST3500     ", 11, std::string("ST3500\0\0\0\0\0", 11)},
};

TEST(StringUtilsTest, SafeASCIICopyCases)
{
    for (const CopyCase& c : kCopyCases) {
        SCOPED_TRACE(c.name);
        unsigned char dst[32];
        std::memset(dst, kUntouched, sizeof dst);
        StringUtils::safeASCIICopy(dst, c.src.data(), c.n);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(dst), c.expected.size()), c.expected);
        for (std::size_t i = c.expected.size(); i < sizeof dst; ++i)
            ASSERT_EQ(dst[i], kUntouched) << "byte " << i << " written";
    }
}

TEST(StringUtilsTest, SafeASCIICopyDegenerateArguments)
{
    const int counts[] = {0, -1, -1000};
    for (int n : counts) {
        char dst[4] = {'x', 'x', 'x', 'x'};
        StringUtils::safeASCIICopy(dst, "AB", n);
        EXPECT_EQ(dst[0], '\0') << "n = " << n;
        EXPECT_EQ(dst[1], 'x') << "n = " << n;
    }

    char dst[4] = {'x', 'x', 'x', 'x'};
    StringUtils::safeASCIICopy(dst, nullptr, 3);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(dst[1], 'x');

    StringUtils::safeASCIICopy(nullptr, "AB", 2);
}

TEST(StringUtilsTest, SasAddrToStrWritesUpperCaseDigits)
{
    const unsigned char two[] = {0x50, 0x0A};
    char out[32];
    StringUtils::sasAddrToStr(two, out, 2);
    EXPECT_STREQ(out, "500A");

    const unsigned char sas[] = {0x50, 0x00, 0xC5, 0x00, 0xAB, 0xCD, 0xEF, 0x01};
    std::memset(out, 'x', sizeof out);
    StringUtils::sasAddrToStr(sas, out, 8);
    EXPECT_STREQ(out, "5000C500ABCDEF01");

    for (int n : {0, -3}) {
        std::memset(out, 'x', sizeof out);
        StringUtils::sasAddrToStr(sas, out, n);
        EXPECT_STREQ(out, "") << "n = " << n;
    }

    StringUtils::sasAddrToStr(sas, nullptr, 8);
}

TEST(StringUtilsTest, GetHexDigit)
{
    const struct {
        unsigned char value;
        char digit;
    } cases[] = {{0, '0'}, {9, '9'}, {10, 'A'}, {15, 'F'}, {16, ' '}, {255, ' '}};
    for (const auto& c : cases)
        EXPECT_EQ(StringUtils::getHexDigit(c.value), c.digit) << int(c.value);
}

}  // namespace
