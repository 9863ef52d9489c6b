#include "common/VStream.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

namespace {

namespace ns = VStream_NS;

const VStreamFormat_MC kWith1000Sep{ns::no1000sep.mask, 0};

std::string textOf(VStream& s)
{
    return std::string(s.Buffer() == nullptr ? "" : s.Buffer(), s.PutOffset());
}

struct FormatCase {
    const char* name;
    std::function<void(VStream&)> write;
    const char* expected;
};

void expectFormats(const FormatCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        VStream s(0);
        cases[i].write(s);
        EXPECT_EQ(textOf(s), cases[i].expected);
    }
}

TEST(VStreamTest, Integers)
{
    const FormatCase cases[] = {
        {"defaults have no separators", [](VStream& s) { s << 1234567; }, "1234567"},
        {"separators", [](VStream& s) { s << kWith1000Sep << 1234567; }, "1,234,567"},
        {"separator after SetNo1000Seperator", [](VStream& s) { s << kWith1000Sep; s.SetNo1000Seperator(); s << 1234567; },
         "1234567"},
        {"own separator", [](VStream& s) { s << kWith1000Sep; s.SetThousandSep('.'); s << 1234567L; }, "1.234.567"},
        {"three digits", [](VStream& s) { s << kWith1000Sep << 999u; }, "999"},
        {"negative", [](VStream& s) { s << -42; }, "-42"},
        {"unsigned char is a number", [](VStream& s) { s << static_cast<unsigned char>(200); }, "200"},
        {"unsigned short", [](VStream& s) { s << static_cast<unsigned short>(65535); }, "65535"},
        {"zero", [](VStream& s) { s << 0; }, "0"},
        {"int minimum", [](VStream& s) { s << INT_MIN; }, "-2147483648"},
        {"long minimum", [](VStream& s) { s << LONG_MIN; }, "-9223372036854775808"},
        {"unsigned long maximum", [](VStream& s) { s << ULONG_MAX; }, "18446744073709551615"},
        {"show positive", [](VStream& s) { s << ns::showpositive << 5; }, "+5"},
        {"no negative", [](VStream& s) { s << ns::nonegative << -5; }, "5"},
        {"binary writes nothing", [](VStream& s) { s << ns::binary << ns::fieldwidth(4) << 5 << ns::base10 << 6; },
         "6"},
        {"characters", [](VStream& s) { s << 'a' << "bc" << 'd'; }, "abcd"},
        {"defaults restore", [](VStream& s) { s << ns::base16 << kWith1000Sep << ns::defaults << 1234567; },
         "1234567"},
    };
    expectFormats(cases, std::size(cases));
}

TEST(VStreamTest, Base16)
{
    const FormatCase cases[] = {
        {"int -1", [](VStream& s) { s << ns::base16 << -1; }, "0xffffffff"},
        {"int -2", [](VStream& s) { s << ns::base16 << -2; }, "0xfffffffe"},
        {"int -16", [](VStream& s) { s << ns::base16 << -16; }, "0xfffffff0"},
        {"255", [](VStream& s) { s << ns::base16 << 255; }, "0xff"},
        {"zero", [](VStream& s) { s << ns::base16 << 0u; }, "0x0"},
        {"capitals", [](VStream& s) { s << ns::base16 << ns::capitals << 0xabcdu; }, "0xABCD"},
        {"precision fills zeros", [](VStream& s) { s << ns::base16 << ns::numprecision(4) << 255; }, "0x00ff"},
        {"precision fills ones", [](VStream& s) { s << ns::base16 << ns::numprecision(2) << -16; }, "0xf0"},
        {"unsigned maximum", [](VStream& s) { s << ns::base16 << ULONG_MAX; }, "0xffffffffffffffff"},
        // A negative value wider than its size keeps the nibble that shows its sign.
        {"wide negative long", [](VStream& s) { s << ns::base16 << -0x100000000L; }, "0xf00000000"},
        {"right justified", [](VStream& s) { s << ns::base16 << ns::rightjustify << ns::fieldwidth(6) << 255; },
         "  0xff"},
        {"own prefix",
         [](VStream& s) {
             s.SetHexPrefixChar(0, '$');
             s.SetHexPrefixChar(1, '\0');
             s << ns::base16 << 255;
         },
         "$ff"},
    };
    expectFormats(cases, std::size(cases));

    VStream s(0);
    EXPECT_EQ(s.GetHexPrefixChar(1), 'x');
    EXPECT_EQ(s.GetHexPrefixChar(4), '\0');
    s.SetHexPrefixChar(4, 'y');  // ignored
}

TEST(VStreamTest, FieldWidthAndJustification)
{
    const FormatCase cases[] = {
        {"left", [](VStream& s) { s << ns::fieldwidth(5) << "ab" << "|"; }, "ab   |"},
        {"right", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(5) << "ab"; }, "   ab"},
        {"decimal", [](VStream& s) { s << ns::decimaljustify << ns::fieldwidth(5) << "ab"; }, "   ab"},
        {"center-left", [](VStream& s) { s << ns::centerleftjustify << ns::fieldwidth(5) << "ab" << "|"; }, " ab  |"},
        {"center-right", [](VStream& s) { s << ns::centerrightjustify << ns::fieldwidth(5) << "ab" << "|"; },
         "  ab |"},
        {"text wider than the field", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(2) << "abcd"; },
         "abcd"},
        {"width applies to one item", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(4) << 7 << 8; },
         "   78"},
        {"a character resets the width", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(4) << 'c' << 8; },
         "c8"},
        {"number right", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(6) << -42; }, "   -42"},
        {"number with separators",
         [](VStream& s) { s << kWith1000Sep << ns::rightjustify << ns::fieldwidth(7) << 12345; }, " 12,345"},
        {"null text pads", [](VStream& s) { s << ns::rightjustify << ns::fieldwidth(2) << static_cast<const char*>(nullptr); },
         "  "},
    };
    expectFormats(cases, std::size(cases));
}

// Decimal justification pads only the part before the decimal point, so that
// the points of a column line up.
TEST(VStreamTest, DecimalJustifyLinesUpDecimalPoints)
{
    VStream s(0);
    s << ns::decimaljustify << ns::decprecision(2);
    for (double v : {3.25, -12.5, 1234.0}) {
        s << ns::fieldwidth(6);
        s.Put(v);
        s << "\n";
    }
    EXPECT_EQ(textOf(s), "     3.25\n   -12.50\n  1234.00\n");
}

TEST(VStreamTest, Doubles)
{
    const FormatCase cases[] = {
        {"exact half", [](VStream& s) { s.Put(0.5); }, "0.5"},
        {"whole", [](VStream& s) { s.Put(2.0); }, "2"},
        {"exact binary value", [](VStream& s) { s.Put(0.1); },
         "0.1000000000000000055511151231257827021181583404541015625"},
        {"large", [](VStream& s) { s.Put(1e20); }, "100000000000000000000"},
        {"negative zero", [](VStream& s) { s.Put(-0.0); }, "-0"},
        {"rounds half up", [](VStream& s) { s << ns::decprecision(1); s.Put(1.25); }, "1.3"},
        {"truncates", [](VStream& s) { s << ns::decprecision(1) << ns::truncate; s.Put(1.25); }, "1.2"},
        {"carry into a new digit", [](VStream& s) { s << ns::decprecision(1); s.Put(9.96); }, "10.0"},
        {"zeros up to the precision", [](VStream& s) { s << ns::decprecision(3); s.Put(-2.5); }, "-2.500"},
        {"at most 20 digits", [](VStream& s) { s << ns::decprecision(30); s.Put(0.1); }, "0.1000000000000000056"},
        {"significant digits", [](VStream& s) { s << ns::numprecision(3); s.Put(3.14159); }, "3.14"},
        {"decimal point without fraction", [](VStream& s) { s << ns::showdecimalpoint; s.Put(2.0); }, "2."},
        {"no lead zero", [](VStream& s) { s << ns::noleadzero; s.Put(0.5); }, ".5"},
        {"separators", [](VStream& s) { s << kWith1000Sep << ns::decprecision(1); s.Put(1234567.25); },
         "1,234,567.3"},
        {"smallest subnormal ends in its last digit",
         [](VStream& s) {
             s.Put(std::nextafter(0.0, 1.0));
             std::string t(s.Buffer(), s.PutOffset());
             s.Discard();
             s << static_cast<unsigned long>(t.size()) << ":" << t.substr(t.size() - 4).c_str();
         },
         "1076:5625"},
        {"largest", [](VStream& s) { s.Put(DBL_MAX); std::string t(s.Buffer(), s.PutOffset()); s.Discard();
                                     s << static_cast<unsigned long>(t.size()) << ":" << t.substr(0, 6).c_str(); },
         "309:179769"},
        {"not a number", [](VStream& s) { s.Put(std::nan("")); }, "nan"},
        {"infinity", [](VStream& s) { s.Put(-HUGE_VAL); }, "-inf"},
        {"base16 truncates", [](VStream& s) { s << ns::base16; s.Put(255.9); }, "0xff"},
    };
    expectFormats(cases, std::size(cases));
}

TEST(VStreamTest, ExponentForms)
{
    const FormatCase cases[] = {
        {"power10", [](VStream& s) { s << ns::power10 << 12345; }, "1.235e4"},
        {"engineering", [](VStream& s) { s << ns::engineering << 12345; }, "12.35e3"},
        {"engineering carry to the next step", [](VStream& s) { s << ns::engineering << 999999; }, "1.000e6"},
        {"power10 carry", [](VStream& s) { s << ns::power10 << 99999; }, "1.000e5"},
        {"power10 fraction", [](VStream& s) { s << ns::power10; s.Put(0.00123); }, "1.230e-3"},
        {"engineering fraction", [](VStream& s) { s << ns::engineering; s.Put(0.000123); }, "123.0e-6"},
        {"engineering zero", [](VStream& s) { s << ns::engineering << 0; }, "0.000e0"},
        {"exponent sign and width",
         [](VStream& s) { s << ns::power10 << ns::showpositiveexponent << ns::expprecision(2) << 12345; },
         "1.235e+04"},
        {"capitals", [](VStream& s) { s << ns::power10 << ns::capitals << 12345; }, "1.235E4"},
        {"no exponent", [](VStream& s) { s << ns::power10 << ns::noexponent << 12345; }, "1.235"},
        {"truncated", [](VStream& s) { s << ns::power10 << ns::truncate << 19999; }, "1.999e4"},
        {"negative", [](VStream& s) { s << ns::power10 << -12345; }, "-1.235e4"},
    };
    expectFormats(cases, std::size(cases));
}

TEST(VStreamTest, Power1024)
{
    const FormatCase cases[] = {
        {"below one step", [](VStream& s) { s << ns::power1024 << 512; }, "512.0k0"},
        {"one and a half steps", [](VStream& s) { s << ns::power1024 << 1536; }, "1.500k1"},
        {"four integer digits", [](VStream& s) { s << ns::power1024 << 1023; }, "1023k0"},
        {"rounds to a whole step", [](VStream& s) { s << ns::power1024 << 1048575; }, "1.000k2"},
        {"step-up threshold", [](VStream& s) { s << ns::power1024 << ns::power1024stepup << 1000; }, "0.977k1"},
        {"step-up below", [](VStream& s) { s << ns::power1024 << ns::power1024stepup << 999; }, "999.0k0"},
        {"step-up rounds to a step", [](VStream& s) { s << ns::power1024 << ns::power1024stepup << 1023999; },
         "0.977k2"},
        {"capitals", [](VStream& s) { s << ns::power1024 << ns::capitals << 2048; }, "2.000K1"},
        {"largest", [](VStream& s) { s << ns::power1024 << ULONG_MAX; }, "16.00k6"},
        {"double", [](VStream& s) { s << ns::power1024; s.Put(3072.7); }, "3.000k1"},
    };
    expectFormats(cases, std::size(cases));
}

TEST(VStreamTest, OwnedBufferGrowth)
{
    struct Case {
        unsigned long initial;
        unsigned long needed;  // offset + piece + the four spare bytes
        unsigned long grown;
    };
    const Case cases[] = {
        {0, 5, 32}, {16, 100, 128}, {2048, 5000, 8192}, {4095, 5000, 8190}, {4096, 5000, 8192}, {8192, 9000, 12288}, {4096, 8192, 12288},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.needed);
        VStream s(c.initial);
        s.PutByte('x', c.needed - 4);
        EXPECT_EQ(s.BufferSize(), c.grown);
        EXPECT_EQ(s.PutOffset(), c.needed - 4);
    }

    VStream s(0);
    s << "start";
    s.PutByte('y', 5000);
    EXPECT_EQ(std::string(s.Buffer(), 5), "start");
    EXPECT_FALSE(s.IsOverflow());
}

TEST(VStreamTest, OwnedBufferBeyond32BitsThrowsAllocationFailure)
{
    VStream s(0);
    s << "kept";
    try {
        s.PutByte('x', 0x100000000UL);
        FAIL() << "no exception";
    } catch (const VStreamException&) {
        FAIL() << "not a stream exception";
    } catch (const DynamicBufferException& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_EQ(textOf(s), "kept");
}

TEST(VStreamTest, CallerBufferOverflowRestartsAtTheBeginning)
{
    char memory[16];
    std::memset(memory, '.', sizeof memory);
    VStream s(memory, sizeof memory);
    s.PutBytes("12345678", 8);
    EXPECT_FALSE(s.IsOverflow());
    s.PutBytes("abcdefghij", 10);
    EXPECT_TRUE(s.IsOverflow());
    EXPECT_EQ(s.PutOffset(), 10u);
    EXPECT_EQ(std::string(memory, 10), "abcdefghij");
    EXPECT_EQ(s.Buffer(), memory);
    EXPECT_EQ(s.BufferSize(), 16u);

    s.Discard();
    EXPECT_FALSE(s.IsOverflow());
    EXPECT_EQ(s.PutOffset(), 0u);
    s.PutBytes("123456789012", 12);  // exactly fills with the spare bytes
    EXPECT_FALSE(s.IsOverflow());
}

TEST(VStreamTest, PieceLargerThanTheCallerBufferThrows)
{
    char memory[16];
    std::memset(memory, '.', sizeof memory);
    VStream s(memory, sizeof memory);
    try {
        s.PutBytes("1234567890123", 13);
        FAIL() << "no exception";
    } catch (const VStreamException& e) {
        EXPECT_EQ(e.code, 2);
    }
    EXPECT_EQ(std::string(memory, sizeof memory), std::string(16, '.'));
    EXPECT_THROW(s.PutByte('x', 0x100000000UL), DynamicBufferException);
    EXPECT_EQ(std::string(memory, sizeof memory), std::string(16, '.'));
}

TEST(VStreamTest, TerminateWritesANulWithoutAdvancing)
{
    char memory[8];
    std::memset(memory, '.', sizeof memory);
    VStream s(memory, sizeof memory);
    s << "abc";
    s.Terminate();
    EXPECT_STREQ(memory, "abc");
    EXPECT_EQ(s.PutOffset(), 3u);

    VStream empty(0);
    empty.Terminate();
    ASSERT_NE(empty.Buffer(), nullptr);
    EXPECT_STREQ(empty.Buffer(), "");

    VStream flushed(0);
    flushed << "text";
    flushed.Flush();
    EXPECT_EQ(flushed.PutOffset(), 0u);
}

TEST(VStreamTest, PopAndPushEndOfTag)
{
    struct Case {
        const char* text;
        const char* popped;
        bool gt;
        bool slash;
    };
    const Case cases[] = {
        {"<a/>", "<a", true, true},
        {"<a>", "<a", true, false},
        {"<a", "<a", false, false},
        {"a/", "a/", false, false},
        {"", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        VStream s(0);
        s << c.text;
        s.PopEOT();
        EXPECT_EQ(textOf(s), c.popped);
        EXPECT_EQ(s.IsEotGtPopped(), c.gt);
        EXPECT_EQ(s.IsEotSlashPopped(), c.slash);
        if (c.gt) {
            EXPECT_EQ(s.Buffer()[s.PutOffset()], '\0');
        }
        s << " b=\"1\"";
        s.PushEOT();
        EXPECT_FALSE(s.IsEotGtPopped());
        EXPECT_FALSE(s.IsEotSlashPopped());
        std::string close = std::string(c.slash ? "/" : "") + (c.gt ? ">" : "");
        EXPECT_EQ(textOf(s), std::string(c.popped) + " b=\"1\"" + close);
    }
}

TEST(VStreamTest, CharacterSet)
{
    VStream s(0);
    s.PutChar(300);
    s.PutChar(0xE9);
    s.PutChar('a');
    EXPECT_EQ(textOf(s), "?\xE9" "a");
}

TEST(VStreamTest, DefaultSettings)
{
    VStream s(0);
    EXPECT_TRUE(s.IsNo1000Seperator());
    EXPECT_TRUE(s.IsLeftJustify());
    EXPECT_FALSE(s.IsPower1024());
    EXPECT_EQ(s.ThousandSep(), ',');
    EXPECT_FALSE(s.IsOverflow());
    s << ns::power1024 << ns::decimaljustify << ns::capitals;
    EXPECT_TRUE(s.IsPower1024());
    EXPECT_TRUE(s.IsDecimalJustify());
    EXPECT_TRUE(s.IsCapitals());
}

}  // namespace
