#include "common/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const unsigned char* bytesOf(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

std::string encoded(const std::string& plain)
{
    std::string out;
    unsigned int len = static_cast<unsigned int>(plain.size());
    EXPECT_EQ(b64Encode(bytesOf(plain), len, out), 0);
    return out;
}

// Decodes into a buffer of exactly the announced size, with guard bytes
// behind it that must stay untouched.
Bytes decoded(const std::string& text, int& rc)
{
    unsigned int len = 0;
    if (getDataLength(text, len) != 0)
        len = 0;
    Bytes area(len + 4, 0xAA);
    rc = b64Decode(text, area.data(), len);
    EXPECT_EQ(Bytes(area.end() - 4, area.end()), Bytes(4, 0xAA));
    return Bytes(area.begin(), area.begin() + len);
}

TEST(Base64Test, Encode)
{
    struct Case {
        std::string plain;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xFF\xFE", 2), "//4="},
        {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(encoded(c.plain), c.text) << c.plain;
}

TEST(Base64Test, EncodeAppendsAndRefusesNull)
{
    std::string out = "x:";
    unsigned int len = 2;
    EXPECT_EQ(b64Encode(reinterpret_cast<const unsigned char*>("ab"), len, out), 0);
    EXPECT_EQ(out, "x:YWI=");
    EXPECT_EQ(b64Encode(nullptr, len, out), 2);
    EXPECT_EQ(out, "x:YWI=");
}

TEST(Base64Test, Blocks)
{
    unsigned char in[3] = {'a', 'b', 'c'};
    char out[5] = {};
    for (int len : {1, 2, 3}) {
        encodeBlock(in, out, len);
        EXPECT_EQ(std::string(out), std::string(len == 1 ? "YQ==" : len == 2 ? "YWI=" : "YWJj"));
    }
    unsigned char values[4] = {24, 22, 9, 35};  // "YWJj"
    unsigned char bytes[3];
    decodeBlock(values, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 3), (Bytes{'a', 'b', 'c'}));
}

TEST(Base64Test, DataLength)
{
    struct Case {
        const char* text;
        int rc;
        unsigned int len;  // 77 when unchanged
    };
    const Case cases[] = {{"", 0, 0}, {"YWJj", 0, 3}, {"YWI=", 0, 3}, {"YWJjYQ==", 0, 6}, {"YWI", 1, 77}, {"YWJjY", 1, 77}};
    for (const Case& c : cases) {
        unsigned int len = 77;
        EXPECT_EQ(getDataLength(c.text, len), c.rc) << c.text;
        EXPECT_EQ(len, c.len) << c.text;
    }
}

TEST(Base64Test, Decode)
{
    struct Case {
        const char* text;
        int rc;
        Bytes bytes;
    };
    const Case cases[] = {
        {"YWJj", 0, {'a', 'b', 'c'}},
        // Padding stands for bytes that are written as zeros.
        {"YWI=", 0, {'a', 'b', 0}},
        {"YQ==", 0, {'a', 0, 0}},
        {"", 0, {}},
        {"//4=", 0, {0xFF, 0xFE, 0}},
    };
    for (const Case& c : cases) {
        int rc = -1;
        EXPECT_EQ(decoded(c.text, rc), c.bytes) << c.text;
        EXPECT_EQ(rc, c.rc) << c.text;
    }
}

TEST(Base64Test, DecodeRefusals)
{
    unsigned char area[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(b64Decode("YWJjY", area, sizeof area), 1);
    EXPECT_EQ(b64Decode("YWJj", nullptr, 3), 2);
    // The text decodes to three bytes; the buffer holds two.
    EXPECT_EQ(b64Decode("YWI=", area, 2), 1);
    EXPECT_EQ(b64Decode("YWJjYWJj", area, 5), 1);
    EXPECT_EQ(Bytes(area, area + 8), Bytes(8, 1));
    // A larger buffer is fine; only the decoded bytes are written.
    EXPECT_EQ(b64Decode("YWJj", area, sizeof area), 0);
    EXPECT_EQ(Bytes(area, area + 4), (Bytes{'a', 'b', 'c', 1}));
}

// Decoding never rejects a character: those outside "+" to "z" are skipped
// and keep their slot from the group before, others count as zero bits.
TEST(Base64Test, DecodeIsLenient)
{
    struct Case {
        const char* text;
        const char* sameAs;
    };
    const Case cases[] = {
        {"YW-j", "YWAj"},
        {"YWJjYW\nJ", "YWJjYWJJ"},
        {"Y=Jj", "YAJj"},
        {"\x01\x01\x01\x01", "AAAA"},
    };
    for (const Case& c : cases) {
        int rc = -1;
        int rcSame = -1;
        EXPECT_EQ(decoded(c.text, rc), decoded(c.sameAs, rcSame)) << c.text;
        EXPECT_EQ(rc, 0);
    }
}

// The character-by-character decoding as first written: the reference for
// texts where groups with skipped characters and whole groups alternate.
Bytes referenceDecode(const std::string& text)
{
    auto valueOf = [](unsigned char c) -> int {
        static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        if (c < '+' || c > 'z')
            return -1;
        const std::size_t at = alphabet.find(static_cast<char>(c));
        return at == std::string::npos ? 0 : static_cast<int>(at);
    };
    Bytes out;
    unsigned char group[4] = {0, 0, 0, 0};
    for (std::size_t p = 0; p < text.size(); ++p) {
        const int value = valueOf(static_cast<unsigned char>(text[p]));
        if (value >= 0)
            group[p % 4] = static_cast<unsigned char>(value);
        if (p % 4 == 3) {
            out.push_back(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
            out.push_back(static_cast<unsigned char>(((group[1] & 0x0F) << 4) | (group[2] >> 2)));
            out.push_back(static_cast<unsigned char>(((group[2] & 0x03) << 6) | group[3]));
        }
    }
    return out;
}

TEST(Base64Test, MixedGroupsDecodeAsCharacterByCharacter)
{
    std::mt19937 random(11);
    // Mostly the alphabet, with padding, characters inside "+" to "z" that
    // are not in it, and skipped ones (outside that range) sprinkled in.
    const std::string plain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string odd = "=,-.:;<>?@[\\]^_`\n\r \x01\x7f\x80\xff{|}~!\"#*";
    for (int round = 0; round < 400; ++round) {
        std::string text(4 * (1 + random() % 24), 'A');
        const unsigned int oddPercent = random() % 40;
        for (char& c : text)
            c = random() % 100 < oddPercent ? odd[random() % odd.size()] : plain[random() % plain.size()];
        int rc = -1;
        EXPECT_EQ(decoded(text, rc), referenceDecode(text)) << text;
        EXPECT_EQ(rc, 0);
    }
}

TEST(Base64Test, RoundTrip)
{
    std::mt19937 random(7);
    for (unsigned int n = 0; n < 64; ++n) {
        std::string plain(n, '\0');
        for (char& c : plain)
            c = static_cast<char>(random());
        std::string text = encoded(plain);
        EXPECT_EQ(text.size(), (n + 2) / 3 * 4);
        int rc = -1;
        Bytes back = decoded(text, rc);
        EXPECT_EQ(rc, 0);
        ASSERT_GE(back.size(), n);
        EXPECT_EQ(std::string(back.begin(), back.begin() + n), plain);
        EXPECT_EQ(Bytes(back.begin() + n, back.end()), Bytes(back.size() - n, 0));
    }
}

}  // namespace
