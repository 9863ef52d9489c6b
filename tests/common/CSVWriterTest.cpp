#include "common/CSVWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string written(const std::function<void(CSVWriter&)>& write)
{
    char* text = nullptr;
    CSVWriter writer(&text);
    write(writer);
    return text != nullptr ? std::string(text) : std::string();
}

struct CsvCase {
    const char* label;
    std::function<void(CSVWriter&)> write;
    const char* expected;
};

TEST(CSVWriterTest, ValuesAreFollowedByCommasAndNeverQuoted)
{
    const std::vector<CsvCase> cases = {
        {"signed, unsigned, raw line break",
         [](CSVWriter& w) { w.writeInt(-1); w.writeUInt(7); w.writeRawString("\n"); }, "-1,7,\n"},
        {"zero u64", [](CSVWriter& w) { w.writeU64(0); }, "0,"},
        {"largest u64", [](CSVWriter& w) { w.writeU64(18446744073709551615ull); }, "18446744073709551615,"},
        {"unsigned long past 32 bits", [](CSVWriter& w) { w.writeULong(4294967296ul); }, "4294967296,"},
        {"text with a comma unchanged", [](CSVWriter& w) { w.writeRawString("a,\"b\""); }, "a,\"b\""},
        {"null and empty add nothing",
         [](CSVWriter& w) { w.writeRawString(nullptr); w.writeRawString(""); w.writeInt(3); }, "3,"},
        {"int extremes", [](CSVWriter& w) { w.writeInt(-2147483647 - 1); w.writeUInt(4294967295u); },
         "-2147483648,4294967295,"},
    };
    for (const CsvCase& c : cases)
        EXPECT_EQ(written(c.write), c.expected) << c.label;
}

TEST(CSVWriterTest, GrowthPublishesEveryNewBufferAndKeepsTheText)
{
    char* text = nullptr;
    CSVWriter writer(&text);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        writer.writeInt(i);
        expected += std::to_string(i) + ",";
    }
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), expected);
}

TEST(CSVWriterTest, TakesOverTheCallersBlock)
{
    // The caller's array is released by the writer once it replaces it; the
    // sanitizer reports a leak or double release otherwise.
    char* text = new char[4]{'o', 'l', 'd', '\0'};
    CSVWriter writer(&text);
    writer.writeUInt(5);
    EXPECT_STREQ(text, "5,");
}

} // namespace
