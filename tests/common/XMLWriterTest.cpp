#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/Addr.h"

namespace {

const std::uint32_t U = Addr::UNSET_ID;
const std::uint64_t UC = Addr::UNSET_CHUNK_ID;

// Runs `write` on a fresh writer and returns the text it produced.
std::string written(const std::function<void(XMLWriter&)>& write)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    write(writer);
    return text != nullptr ? std::string(text) : std::string();
}

struct AttributeCase {
    const char* label;
    std::function<void(XMLWriter&)> write;
    const char* expected;
};

TEST(XMLWriterTest, AttributeValuesAreFormattedAndEscaped)
{
    static const char binary[] = {0x00, 0x01, static_cast<char>(0xAB)};
    const std::vector<AttributeCase> cases = {
        {"entities", [](XMLWriter& w) { w.writeString("name", "a<b & \"c\""); },
         " name=\"a&lt;b &amp; &quot;c&quot;\""},
        {"apostrophe and greater-than", [](XMLWriter& w) { w.writeString("n", "'>"); }, " n=\"&apos;&gt;\""},
        {"control byte", [](XMLWriter& w) { w.writeString("n", "x\ty"); }, " n=\"xDELIMy\""},
        {"first and last control bytes", [](XMLWriter& w) { w.writeString("n", "\x01\x1f"); },
         " n=\"DELIMDELIM\""},
        {"high bytes kept", [](XMLWriter& w) { w.writeString("n", "\xc3\xa9"); }, " n=\"\xc3\xa9\""},
        {"empty", [](XMLWriter& w) { w.writeString("n", ""); }, " n=\"\""},
        {"null value", [](XMLWriter& w) { w.writeString("n", nullptr); }, " n=\"\""},
        {"char escaped", [](XMLWriter& w) { w.writeChar("c", '<'); }, " c=\"&lt;\""},
        {"char without DELIM rule", [](XMLWriter& w) { w.writeChar("c", '\t'); }, " c=\"\t\""},
        {"unsigned char", [](XMLWriter& w) { w.writeUChar("c", 'A'); }, " c=\"A\""},
        {"hex", [](XMLWriter& w) { w.writeUIntHex("mask", 255); }, " mask=\"0xff\""},
        {"hex zero", [](XMLWriter& w) { w.writeUIntHex("mask", 0); }, " mask=\"0x0\""},
        {"bool true", [](XMLWriter& w) { w.writeBool("b", true); }, " b=\"true\""},
        {"bool false", [](XMLWriter& w) { w.writeBool("b", false); }, " b=\"false\""},
        {"negative long", [](XMLWriter& w) { w.writeLong("v", -7); }, " v=\"-7\""},
        {"unsigned long", [](XMLWriter& w) { w.writeULong("v", 4294967295UL); }, " v=\"4294967295\""},
        {"short", [](XMLWriter& w) { w.writeShort("v", -1); }, " v=\"-1\""},
        {"unsigned short", [](XMLWriter& w) { w.writeUShort("v", 65535); }, " v=\"65535\""},
        {"int", [](XMLWriter& w) { w.writeInt("v", INT_MIN); }, " v=\"-2147483648\""},
        {"unsigned int", [](XMLWriter& w) { w.writeUInt("v", 7); }, " v=\"7\""},
        {"negative I64", [](XMLWriter& w) { w.writeI64("v", -5); }, " v=\"-5\""},
        {"largest U64", [](XMLWriter& w) { w.writeU64("v", 18446744073709551615ULL); },
         " v=\"18446744073709551615\""},
        {"block count", [](XMLWriter& w) { w.writeBlockT("v", 0x100000000ULL); }, " v=\"4294967296\""},
        {"float", [](XMLWriter& w) { w.writeFloat("v", 1.5f); }, " v=\"1.500000\""},
        {"double", [](XMLWriter& w) { w.writeDouble("v", -0.25); }, " v=\"-0.250000\""},
        {"binary", [](XMLWriter& w) { w.writeBinary("d", binary, 3); }, " d=\"00 01 ab\""},
        {"binary empty", [](XMLWriter& w) { w.writeBinary("d", binary, 0); }, " d=\"\""},
        {"raw text", [](XMLWriter& w) { w.writeRawString("<x a=\"&\">"); }, "<x a=\"&\">"},
        {"raw null", [](XMLWriter& w) { w.writeRawString(nullptr); }, ""},
        {"tag", [](XMLWriter& w) { w.addTag("</y>\n"); }, "</y>\n"},
    };
    for (const AttributeCase& c : cases)
        EXPECT_EQ(written(c.write), c.expected) << c.label;
}

// Integers are formatted without printf now; its digits are the reference.
TEST(XMLWriterTest, IntegerAttributesMatchPrintf)
{
    auto expect = [](const char* format, auto value) {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        return std::string(" v=\"") + text + "\"";
    };
    for (long long v : {0LL, 1LL, -1LL, 9LL, 10LL, -10LL, 99999LL, 2147483647LL, -2147483647LL - 1, 4294967295LL,
                        9223372036854775807LL, -9223372036854775807LL - 1}) {
        SCOPED_TRACE(v);
        const int i = static_cast<int>(v);
        const unsigned int u = static_cast<unsigned int>(v);
        const long l = static_cast<long>(v);
        const unsigned long ul = static_cast<unsigned long>(v);
        const short sh = static_cast<short>(v);
        const unsigned short us = static_cast<unsigned short>(v);
        const unsigned long long ull = static_cast<unsigned long long>(v);
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeInt("v", i); }), expect("%d", i));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeUInt("v", u); }), expect("%u", u));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeUIntHex("v", u); }), expect("0x%x", u));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeLong("v", l); }), expect("%ld", l));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeULong("v", ul); }), expect("%lu", ul));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeShort("v", sh); }), expect("%d", sh));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeUShort("v", us); }), expect("%u", us));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeI64("v", v); }), expect("%lld", v));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeU64("v", ull); }), expect("%llu", ull));
        EXPECT_EQ(written([&](XMLWriter& w) { w.writeBlockT("v", ull); }), expect("%llu", ull));
    }
}

// The growth rule of the text, for pieces appended one at a time: the first
// block max(needed, 512), then doubling up to 64 KiB and 64 KiB steps past
// it, where needed is the text, the piece, its terminator and a spare byte.
struct GrowthModel {
    std::string text;
    unsigned long size = 0;
    bool moved = false;
    void append(const std::string& piece)
    {
        const unsigned long needed = text.size() + piece.size() + 2;
        if (size == 0) {
            size = needed > 512 ? needed : 512;
            moved = true;
        }
        if (size <= needed) {
            while (size < needed)
                size = size <= 65535 ? size * 2 : size + 65536;
            moved = true;
        }
        text += piece;
    }
};

// An attribute goes into the buffer in one copy when it fits; when it does
// not, the buffer must grow exactly where the attribute's pieces (blank,
// name, '="', value, '"') appended one by one make it grow, to the same
// sizes, with a new address at the same steps up to 64 KiB.
TEST(XMLWriterTest, AttributesGrowTheBufferWhereTheirPiecesWould)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    GrowthModel model;
    const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned long moves = 0;
    for (unsigned int i = 0; writer.getStrSize() < 300000; ++i) {
        const std::string name = letters.substr(0, 1 + i % 37);
        const std::string value = letters.substr(i % 11, (i * 7) % 50);
        const char* before = text;
        std::string valueText;
        switch (i % 4) {
        case 0:
            writer.writeString(name.c_str(), value.c_str());
            valueText = value;
            break;
        case 1:
            writer.writeU64(name.c_str(), 1ULL << (i % 64));
            valueText = std::to_string(1ULL << (i % 64));
            break;
        case 2:
            writer.writeBool(name.c_str(), i % 3 == 0);
            valueText = i % 3 == 0 ? "true" : "false";
            break;
        default:
            writer.writeInt(name.c_str(), -static_cast<int>(i));
            valueText = std::to_string(-static_cast<int>(i));
            break;
        }
        model.moved = false;
        for (const std::string& piece : {std::string(" "), name, std::string("=\""), valueText, std::string("\"")})
            model.append(piece);
        ASSERT_EQ(writer.getStrSize(), model.text.size()) << i;
        ASSERT_EQ(writer.getBuffSize(), model.size) << i;
        if (model.size <= 65536) {
            ASSERT_EQ(text != before, model.moved) << i;
        }
        moves += text != before ? 1 : 0;
    }
    EXPECT_EQ(std::string(text), model.text);
    // 512 to 64 KiB in eight blocks, and far fewer than the 64 KiB steps
    // (131072 ... 327680) past it.
    EXPECT_GE(moves, 8u);
    EXPECT_LT(moves, 8u + 4u);
}

// The last piece needs room for itself, the terminator and one spare byte:
// a text that would end one byte short of the buffer's end steps to a new
// block (of the same size, the step rule giving no more), one that ends two
// bytes short does not; written raw or as one attribute.
TEST(XMLWriterTest, PieceEndingOneByteShortOfTheBufferTakesANewBlock)
{
    const std::string filler(400, 'f');
    const std::string name = "attribute";
    for (unsigned long spare : {0ul, 1ul}) {
        // Text after the piece: 510 - spare bytes, i.e. needed = 512 - spare.
        const unsigned long valueLength = 510 - spare - filler.size() - name.size() - 4;
        const std::string value(valueLength, 'v');
        const std::string piece = " " + name + "=\"" + value + "\"";
        for (bool raw : {false, true}) {
            SCOPED_TRACE(std::string(raw ? "raw" : "attribute") + ", spare " + std::to_string(spare));
            char* text = nullptr;
            XMLWriter writer(&text);
            writer.append(filler.c_str());
            const char* before = text;
            if (raw)
                writer.append(piece.c_str());
            else
                writer.writeString(name.c_str(), value.c_str());
            EXPECT_EQ(writer.getStrSize(), 510 - spare);
            EXPECT_EQ(writer.getBuffSize(), 512u);
            EXPECT_EQ(text != before, spare == 0);
            EXPECT_EQ(std::string(text), filler + piece);
        }
    }
}

TEST(XMLWriterTest, HugeDoubleIsWrittenWhole)
{
    std::string text = written([](XMLWriter& w) { w.writeDouble("v", 1e300); });
    ASSERT_EQ(text.substr(0, 5), " v=\"1");
    EXPECT_EQ(text.size(), 4 + 301 + 7 + 1u);
    EXPECT_EQ(text.substr(text.size() - 8), ".000000\"");
}

TEST(XMLWriterTest, ASCIIStringDropsBit7WithoutTouchingTheCallersText)
{
    char text[] = "A\xc1\x81" "B<\x80tail";
    const std::string before = text;
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeASCIIString("s", text); }), " s=\"AADELIMB&lt;\"");
    EXPECT_EQ(std::string(text), before);
}

TEST(XMLWriterTest, AddressAttributesFollowTheirFixedOrder)
{
    const Addr device(0, U, U, U, 3, UC, U, U);
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddr(device); }), " controllerID=\"0\" deviceID=\"3\"");
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddrDefinedIDsOnly(device); }),
              " controllerID=\"0\" deviceID=\"3\"");
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddrAll(device); }),
              " controllerID=\"0\" arrayID=\"2147483647\" logicalDriveID=\"2147483647\" channelID=\"2147483647\""
              " deviceID=\"3\" chunkID=\"9223372036854775807\" itemID=\"2147483647\" phyID=\"2147483647\"");

    const Addr all(1, 2, 3, 4, 5, 0x100000006ULL, 7, 8);
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddr(&all); }),
              " controllerID=\"1\" arrayID=\"2\" logicalDriveID=\"3\" channelID=\"4\" deviceID=\"5\""
              " chunkID=\"4294967302\" itemID=\"7\" phyID=\"8\"");
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeObject(Addr(1)); }), "<Addr controllerID=\"1\"/>");

    Addr2 typed(STORLIB_TYPE_VYN, 1, U, U, U, U, UC, U, U);
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddr2(typed); }), " storlibType=\"9\" controllerID=\"1\"");
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeObject(typed); }), "<Addr storlibType=\"9\" controllerID=\"1\"/>");
    typed.setStorLibType(STORLIB_TYPE_NONE);
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddr2(typed); }), " controllerID=\"1\"");
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeAddr2All(Addr2()); }),
              " storlibType=\"0\" controllerID=\"2147483647\" arrayID=\"2147483647\" logicalDriveID=\"2147483647\""
              " channelID=\"2147483647\" deviceID=\"2147483647\" chunkID=\"9223372036854775807\""
              " itemID=\"2147483647\" phyID=\"2147483647\"");
}

// Records which pointer forms were reached, to show that every reference
// form dispatches through the virtual table.
class RecordingWriter : public XMLWriter {
public:
    explicit RecordingWriter(char** out) : XMLWriter(out) {}
    void writeAddr(const Addr* addr) override
    {
        calls.push_back("writeAddr");
        XMLWriter::writeAddr(addr);
    }
    void writeObject(const Addr* addr) override
    {
        calls.push_back("writeObject");
        XMLWriter::writeObject(addr);
    }
    void writeAddr2(const Addr2* addr) override
    {
        calls.push_back("writeAddr2");
        XMLWriter::writeAddr2(addr);
    }
    using XMLWriter::writeAddr;
    using XMLWriter::writeAddr2;
    using XMLWriter::writeObject;
    std::vector<std::string> calls;
};

TEST(XMLWriterTest, ReferenceFormsReachOverriddenPointerForms)
{
    char* text = nullptr;
    RecordingWriter writer(&text);
    Writer& base = writer;
    const Addr a(1);
    base.writeAddr(a);
    base.writeAddrDefinedIDsOnly(a);
    base.writeObject(a);
    writer.writeObject(Addr2(STORLIB_TYPE_VYN, 1, U, U, U, U, UC, U, U));
    const std::vector<std::string> expected = {"writeAddr",   "writeAddr",  "writeObject",
                                               "writeAddr",   "writeAddr2", "writeAddr"};
    EXPECT_EQ(writer.calls, expected);
}

TEST(XMLWriterTest, BufferStartsAt512AndDoublesPublishingEveryAddress)
{
    char* text = new char[1];
    text[0] = '\0';
    XMLWriter writer(&text);
    EXPECT_EQ(writer.getBuffSize(), 0u);

    writer.append("0123456789");
    EXPECT_EQ(writer.getBuffSize(), 512u);
    EXPECT_EQ(writer.getStrSize(), 10u);
    EXPECT_STREQ(text, "0123456789");

    const char* first = text;
    std::string expected = "0123456789";
    while (expected.size() < 600) {
        writer.append("abcdefghij", 10);
        expected += "abcdefghij";
    }
    EXPECT_EQ(writer.getBuffSize(), 1024u);
    EXPECT_NE(text, first);
    EXPECT_EQ(std::string(text), expected);
}

TEST(XMLWriterTest, RawStringOfNothingLeavesTheCallersBlock)
{
    char* text = new char[1];
    text[0] = '\0';
    char* const callers = text;
    XMLWriter writer(&text);
    writer.writeRawString("");
    writer.writeRawString(nullptr);
    EXPECT_EQ(writer.getBuffSize(), 0u);
    EXPECT_EQ(text, callers);
}

TEST(XMLWriterTest, GrowthDoublesUpTo64KiBThenAddsSteps)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    const std::string piece(100, 'x');
    std::vector<unsigned long> sizes;
    while (writer.getStrSize() < 300000) {
        writer.append(piece.c_str(), static_cast<unsigned int>(piece.size()));
        if (sizes.empty() || sizes.back() != writer.getBuffSize())
            sizes.push_back(writer.getBuffSize());
    }
    const std::vector<unsigned long> expected = {512,   1024,   2048,   4096,   8192,   16384,
                                                 32768, 65536, 131072, 196608, 262144, 327680};
    EXPECT_EQ(sizes, expected);
    EXPECT_EQ(std::strlen(text), writer.getStrSize());
}

TEST(XMLWriterTest, LargeFirstPieceIsKeptWhole)
{
    const std::string piece(3000, 'p');
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.append(piece.c_str());
    EXPECT_EQ(writer.getBuffSize(), 3002u);
    EXPECT_EQ(std::string(text), piece);
    // Growth doubles from the size the first piece needed.
    writer.append('q');
    EXPECT_EQ(writer.getBuffSize(), 6004u);
    EXPECT_EQ(std::string(text), piece + "q");
}

TEST(XMLWriterTest, AttributeLongerThanScratchSpaceIsWrittenWhole)
{
    const std::string name(200, 'n');
    const std::string value(300, 'v');
    EXPECT_EQ(written([&](XMLWriter& w) { w.writeString(name.c_str(), value.c_str()); }),
              " " + name + "=\"" + value + "\"");
}

} // namespace
