#include "common/Base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Decoding is lenient: characters outside '+'..'z' are skipped, and those
// inside that range but not in the alphabet ("=" among them) count as zero.
constexpr int8_t kSkip = -1;

constexpr std::array<int8_t, 256> makeDecodeTable()
{
    std::array<int8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = (c >= '+' && c <= 'z') ? 0 : kSkip;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr std::array<int8_t, 256> kDecode = makeDecodeTable();

// Two characters per 12 bits of input, so that a group of three bytes takes
// two lookups and two stores.
struct PairTable {
    char pairs[4096][2];
    constexpr PairTable() : pairs()
    {
        for (int i = 0; i < 4096; ++i) {
            pairs[i][0] = kAlphabet[i >> 6];
            pairs[i][1] = kAlphabet[i & 0x3F];
        }
    }
};

constexpr PairTable kPairs;

// Per character, its 6-bit value already shifted to its place in a group of
// four (position 0 is the highest), or kInvalid for a skipped character, so
// that a group whose four characters are all taken decodes with one OR.
constexpr std::uint32_t kInvalid = 0x80000000u;

struct ShiftedTables {
    std::uint32_t at[4][256];
    constexpr ShiftedTables() : at()
    {
        for (int pos = 0; pos < 4; ++pos) {
            for (int c = 0; c < 256; ++c) {
                const int8_t v = kDecode[static_cast<std::size_t>(c)];
                at[pos][c] = v == kSkip ? kInvalid : static_cast<std::uint32_t>(v) << (18 - 6 * pos);
            }
        }
    }
};

constexpr ShiftedTables kShifted;

}  // namespace

void encodeBlock(unsigned char* in, char* out, int len)
{
    if (len < 1)
        return;
    if (len > 3)
        len = 3;
    unsigned int b0 = in[0];
    unsigned int b1 = len > 1 ? in[1] : 0;
    unsigned int b2 = len > 2 ? in[2] : 0;
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[2] = len > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : kPad;
    out[3] = len > 2 ? kAlphabet[b2 & 0x3F] : kPad;
}

void decodeBlock(unsigned char* in, unsigned char* out)
{
    out[0] = static_cast<unsigned char>(((in[0] & 0x3F) << 2) | ((in[1] & 0x3F) >> 4));
    out[1] = static_cast<unsigned char>(((in[1] & 0x0F) << 4) | ((in[2] & 0x3F) >> 2));
    out[2] = static_cast<unsigned char>(((in[2] & 0x03) << 6) | (in[3] & 0x3F));
}

int b64Encode(unsigned char const* data, unsigned int const& len, std::string& out)
{
    if (data == nullptr)
        return 2;
    const unsigned int count = len;
    const std::size_t start = out.size();
    out.resize(start + (static_cast<std::size_t>(count) + 2) / 3 * 4);
    char* dst = &out[0] + start;
    const unsigned char* src = data;
    const unsigned char* const whole = data + count / 3 * 3;
    for (; src != whole; src += 3, dst += 4) {
        const unsigned int group = (static_cast<unsigned int>(src[0]) << 16) |
                                   (static_cast<unsigned int>(src[1]) << 8) | src[2];
        std::memcpy(dst, kPairs.pairs[group >> 12], 2);
        std::memcpy(dst + 2, kPairs.pairs[group & 0xFFF], 2);
    }
    const unsigned int rest = count % 3;
    if (rest != 0) {
        unsigned char tail[3] = {0, 0, 0};
        for (unsigned int j = 0; j < rest; ++j)
            tail[j] = src[j];
        encodeBlock(tail, dst, static_cast<int>(rest));
    }
    return 0;
}

int getDataLength(std::string const& text, unsigned int& len)
{
    if (text.size() % 4 != 0)
        return 1;
    // A count that does not fit would make callers allocate too little.
    unsigned long long bytes = static_cast<unsigned long long>(text.size()) / 4 * 3;
    if (bytes > UINT32_MAX)
        return 1;
    len = static_cast<unsigned int>(bytes);
    return 0;
}

int b64Decode(std::string const& text, unsigned char* out, unsigned int size)
{
    if (out == nullptr)
        return 2;
    unsigned int needed = 0;
    if (getDataLength(text, needed) != 0)
        return 1;
    // The text decides how much is written; the buffer decides how much may be.
    if (needed > size)
        return 1;
    // A skipped character leaves its slot as the previous group set it. A
    // group of four characters none of which is skipped needs no slots: it
    // decodes at once, and only a group with a skipped character takes the
    // character-by-character path, starting from the slots of the group
    // before it.
    const unsigned char* text8 = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t groups = text.size() / 4;
    unsigned char group[4] = {0, 0, 0, 0};
    bool slotsCurrent = true;
    for (std::size_t g = 0; g < groups; ++g, text8 += 4, out += 3) {
        const std::uint32_t bits = kShifted.at[0][text8[0]] | kShifted.at[1][text8[1]] | kShifted.at[2][text8[2]] |
                                   kShifted.at[3][text8[3]];
        if ((bits & kInvalid) == 0) {
            out[0] = static_cast<unsigned char>(bits >> 16);
            out[1] = static_cast<unsigned char>(bits >> 8);
            out[2] = static_cast<unsigned char>(bits);
            slotsCurrent = false;
            continue;
        }
        if (!slotsCurrent) {
            for (int i = 0; i < 4; ++i)
                group[i] = static_cast<unsigned char>(kDecode[text8[i - 4]]);
        }
        for (int i = 0; i < 4; ++i) {
            const int8_t value = kDecode[text8[i]];
            if (value != kSkip)
                group[i] = static_cast<unsigned char>(value);
        }
        decodeBlock(group, out);
        slotsCurrent = true;
    }
    return 0;
}
