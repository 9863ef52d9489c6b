#include "common/Base64.h"

#include <array>
#include <cstdint>

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
    unsigned int count = len;
    std::size_t start = out.size();
    out.resize(start + (static_cast<std::size_t>(count) + 2) / 3 * 4);
    char* dst = &out[0] + start;
    unsigned int i = 0;
    for (; count - i >= 3; i += 3, dst += 4) {
        unsigned int group = (static_cast<unsigned int>(data[i]) << 16) |
                             (static_cast<unsigned int>(data[i + 1]) << 8) | data[i + 2];
        dst[0] = kAlphabet[group >> 18];
        dst[1] = kAlphabet[(group >> 12) & 0x3F];
        dst[2] = kAlphabet[(group >> 6) & 0x3F];
        dst[3] = kAlphabet[group & 0x3F];
    }
    if (i < count) {
        unsigned char tail[3] = {0, 0, 0};
        for (unsigned int j = 0; i + j < count; ++j)
            tail[j] = data[i + j];
        encodeBlock(tail, dst, static_cast<int>(count - i));
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
    // A skipped character leaves its slot as the previous group set it.
    unsigned char group[4] = {0, 0, 0, 0};
    const std::size_t length = text.size();
    for (std::size_t p = 0; p < length; ++p) {
        int8_t value = kDecode[static_cast<unsigned char>(text[p])];
        if (value != kSkip)
            group[p % 4] = static_cast<unsigned char>(value);
        if (p % 4 == 3) {
            decodeBlock(group, out);
            out += 3;
        }
    }
    return 0;
}
