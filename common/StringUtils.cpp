#include "common/StringUtils.h"

char StringUtils::getHexDigit(unsigned char v)
{
    if (v < 10)
        return static_cast<char>('0' + v);
    if (v < 16)
        return static_cast<char>('A' + (v - 10));
    return ' ';
}

void StringUtils::sasAddrToStr(unsigned char const* bytes, char* out, int n)
{
    if (out == nullptr)
        return;
    int i = 0;
    for (; bytes != nullptr && i < n; ++i) {
        out[2 * i] = getHexDigit(bytes[i] >> 4);
        out[2 * i + 1] = getHexDigit(bytes[i] & 0x0F);
    }
    out[2 * i] = '\0';
}

void StringUtils::safeASCIICopy(void* dst, void const* src, int n)
{
    if (dst == nullptr)
        return;
    unsigned char* out = static_cast<unsigned char*>(dst);
    const unsigned char* in = static_cast<const unsigned char*>(src);
    if (in == nullptr || n <= 0) {
        out[0] = '\0';
        return;
    }
    int last = n - 1;
    for (int i = 0; i < n; ++i) {
        unsigned char c = in[i];
        if (c != '\0' && (c < 0x20 || c >= 0x80))
            c = '?';
        out[i] = c;
        if (c == '\0') {
            last = i;
            break;
        }
    }
    for (int j = last; j >= 0 && out[j] <= 0x20; --j)
        out[j] = '\0';
}
