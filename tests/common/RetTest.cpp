#include "PrintedText.h"

#include "common/Ret.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

using Words = std::array<std::uint32_t, 14>;

// Words without setters arrive only by copying whole records (from the
// firmware layers); the tests build such records the same way.
Ret retFromWords(const Words& words)
{
    static_assert(sizeof(Ret) == sizeof(Words), "Ret is fourteen words");
    Ret ret;
    std::memcpy(static_cast<void*>(&ret), words.data(), sizeof ret);
    return ret;
}

Words wordsOf(const Ret& ret)
{
    Words words;
    std::memcpy(words.data(), static_cast<const void*>(&ret), sizeof ret);
    return words;
}

std::string message(const Ret& ret)
{
    char buffer[Ret::ERROR_MESSAGE_SIZE];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ret.getErrorMessage(buffer), buffer);
    return buffer;
}

std::string dumpOf(const Ret& ret)
{
    return vyntest::printedText([&ret](FILE* stream) { ret.debug(stream); });
}

TEST(RetTest, ConstructorsClearAllWords)
{
    EXPECT_EQ(wordsOf(Ret()), Words{});
    Words expected{};
    expected[0] = static_cast<std::uint32_t>(-9);
    EXPECT_EQ(wordsOf(Ret(-9)), expected);

    Ret filled = retFromWords({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    filled.clear();
    EXPECT_EQ(filled, Ret());
}

TEST(RetTest, GettersReadTheirOwnWord)
{
    const Ret ret = retFromWords({0xFFFFFFFE, 2, 3, 4, 5, 0xFFFFFFFA, 7, 8, 9, 10, 11, 12, 13, 14});
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getAPIReturn(), 2u);
    EXPECT_EQ(ret.getIOCTLReturn(), 3u);
    EXPECT_EQ(ret.getRetryNumber(), 4u);
    EXPECT_EQ(ret.getUnsignedReturn(), 5u);
    EXPECT_EQ(ret.getSignedReturn(), -6);
    EXPECT_EQ(ret.getIOCStatus(), 7u);
    EXPECT_EQ(ret.getSCSIStatus(), 10u);
    EXPECT_EQ(ret.getSenseDataError(), 11u);
    EXPECT_EQ(ret.getSenseKey(), 12u);
    EXPECT_EQ(ret.getSenseCode(), 13u);
    EXPECT_EQ(ret.getSenseCodeQualifier(), 14u);
}

TEST(RetTest, SettersChangeOnlyTheWordsTheyName)
{
    const Words start{0, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    struct Case {
        const char* name;
        void (*apply)(Ret&);
        int code;
        std::uint32_t api;
        std::uint32_t unsignedValue;
        std::int32_t signedValue;
    };
    const Case cases[] = {
        {"setReturn", [](Ret& r) { r.setReturn(-100); }, -100, 0, 5, 6},
        {"setNotSupported", [](Ret& r) { r.setNotSupported(-3); }, -1, 0, 5, -3},
        {"setBadParam", [](Ret& r) { r.setBadParam(7); }, -2, 0, 5, 7},
        {"setResource", [](Ret& r) { r.setResource(); }, -3, 0, 5, 6},
        {"setApiError", [](Ret& r) { r.setApiError(324); }, -5, 324, 5, 6},
        {"setBusy", [](Ret& r) { r.setBusy(); }, -6, 0, 5, 6},
        {"setObjectNotFound", [](Ret& r) { r.setObjectNotFound(); }, -12, 0, 5, 6},
        {"setException", [](Ret& r) { r.setException(); }, -13, 0, 5, 6},
        {"setOverflow", [](Ret& r) { r.setOverflow(); }, -14, 0, 5, 6},
        {"setMiscErrors", [](Ret& r) { r.setMiscErrors(0xABCD, -42); }, 0, 0, 0xABCD, -42},
    };
    for (const Case& c : cases) {
        Ret ret = retFromWords(start);
        c.apply(ret);
        Words expected = start;
        expected[0] = static_cast<std::uint32_t>(c.code);
        expected[1] = c.api;
        expected[4] = c.unsignedValue;
        expected[5] = static_cast<std::uint32_t>(c.signedValue);
        EXPECT_EQ(wordsOf(ret), expected) << c.name;
    }
}

TEST(RetTest, SetMiscErrorsKeepsTheReturnCode)
{
    Ret ret(-7);
    ret.setMiscErrors(1, 2);
    EXPECT_EQ(ret.getReturn(), -7);
}

TEST(RetTest, EqualityComparesAllFourteenWords)
{
    EXPECT_EQ(Ret(), Ret(0));
    Ret notSupported;
    notSupported.setNotSupported(0);
    EXPECT_EQ(Ret(-1), notSupported);
    notSupported.setNotSupported(5);
    EXPECT_NE(Ret(-1), notSupported);

    const Words base{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    for (std::size_t i = 0; i < base.size(); ++i) {
        Words changed = base;
        changed[i] ^= 0x80000000u;
        EXPECT_NE(retFromWords(base), retFromWords(changed)) << "word " << i;
        EXPECT_FALSE(retFromWords(base) == retFromWords(changed)) << "word " << i;
    }

    Ret copy;
    copy = retFromWords(base);
    EXPECT_EQ(wordsOf(copy), base);
}

TEST(RetTest, MessageFollowsTheReturnCode)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {-100, "Unsupported Error (parse error)"},
        {-16, "Unsupported Error (invalid command/buffer)"},
        {-15, "Unsupported Error (debug overflow)"},
        {-14, "Unsupported Error (output overflow)"},
        {-13, "Unsupported Error (exception thrown)"},
        {-12, "Unsupported Error (object not found)"},
        {-11, "Unsupported Error (uninitialized)"},
        {-10, "Unsupported Error (more info)"},
        {-9, "Unsupported Error (general failure)"},
        {-8, "Unsupported Error (parameter limit failure)"},
        {-7, "The requested action has timed out"},
        {-6, "Unsupported Error (busy failure)"},
        {-5, "No further details."},
        {-4, "IOCTL failure occurred (0x0)"},
        {-3, "Unsupported Error (resource failure)"},
        {-2, "Parameter Check failure occured (0x0)"},
        {-1, "The requested action is not supported"},
    };
    std::map<int, std::string> texts;
    for (const Case& c : cases)
        texts[c.code] = c.text;

    // Every code around and between the named ones: those without a row,
    // 0 and positive codes included, read as an unknown failure.
    for (int code = -130; code <= 5; ++code) {
        const auto row = texts.find(code);
        const std::string expected =
            row != texts.end() ? row->second : "Unsupported Error (unknown failure)";
        EXPECT_EQ(message(Ret(code)), expected) << "code " << code;
    }
    for (int code : {INT_MIN, INT_MAX})
        EXPECT_EQ(message(Ret(code)), "Unsupported Error (unknown failure)") << "code " << code;
}

TEST(RetTest, MessageShowsTheWordOfItsKind)
{
    struct Case {
        const char* name;
        Words words;
        const char* text;
    };
    const auto code = [](int c) { return static_cast<std::uint32_t>(c); };
    const Case cases[] = {
        // Parameter checks read the API word; the detail word is ignored.
        {"bad param 30", {code(-2), 30, 0, 0, 0, 31}, "Specified driver(s) do not match any currently installed device."},
        {"bad param 31", {code(-2), 31, 0, 0, 0, 30}, "Specified driver file does not exist."},
        {"bad param other", {code(-2), 0x1F4, 0, 0, 0, 30}, "Parameter Check failure occured (0x1f4)"},
        {"ioctl", {code(-4), 7, 0xC0DE, 0, 0, 0}, "IOCTL failure occurred (0xc0de)"},
        {"api row", {code(-5), 7, 9, 0, 0, 0}, "One of the parameters specified is invalid."},
        {"api shared", {code(-5), 324}, "The specified segment or stripe size is invalid."},
        {"api past table", {code(-5), 700}, "API failure occurred (0x2bc)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(message(retFromWords(c.words)), c.text) << c.name;

    Ret badParam;
    badParam.setBadParam(7);
    EXPECT_EQ(message(badParam), "Parameter Check failure occured (0x0)");
}

// Every kind of record, table lookups and formatted values included, answers
// a missing buffer with null instead of writing through it.
TEST(RetTest, MessageIntoNoBufferWritesNothing)
{
    for (int code : {-100, -7, -5, -4, -2, -1, 0}) {
        Ret ret(code);
        EXPECT_EQ(ret.getErrorMessage(nullptr), nullptr) << "code " << code;
    }
}

TEST(RetTest, DumpPrintsTenWordsBetweenRules)
{
    const Ret ret = retFromWords({0xFFFFFFFB, 0x1A, 3, 4, 5, 0xFFFFFFFF, 6, 7, 8, 9, 0x70, 0x0B, 0x47, 0x2});
    const std::string expected =
        " " + std::string(61, '-') + "\n"
        "(DEBUG) Return structure details:\n"
        "   GetReturnCode()=0xfffffffb\n"
        "   GetAPIReturnCode()=0x1a\n"
        "   GetIOCTLReturnCode()=0x3\n"
        "   GetRetryNumber()=Ox4\n"
        "   GetUnsignedReturnValue()=0x5\n"
        "   GetSignedReturnValue()=0xffffffff\n"
        "   getSenseDataError()=0x70\n"
        "   getSenseKey()=0xb\n"
        "   getSenseCode()=0x47\n"
        "   getSenseCodeQualifier()=0x2\n"
        " " + std::string(62, '-') + "\n";
    EXPECT_EQ(dumpOf(ret), expected);
}

}  // namespace
