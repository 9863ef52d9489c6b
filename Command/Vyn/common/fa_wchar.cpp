#include "Command/Vyn/common/fa_wchar.h"

#include <cstdint>
#include <cstdlib>

size_t FA_mbstowcs(wchar_t* dst, const char* src, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        dst[i] = static_cast<wchar_t>(static_cast<signed char>(src[i]));
        if (src[i] == '\0')
            return i;
    }
    return n;
}

size_t FA_wcstombs(char* dst, const wchar_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        dst[i] = static_cast<char>(src[i] & 0xFF);
        if (src[i] == 0)
            return i;
    }
    return n;
}

size_t FA_wcslen(const wchar_t* s)
{
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

wchar_t* FA_wcscpy(wchar_t* dst, const wchar_t* src)
{
    size_t i = 0;
    do {
        dst[i] = src[i];
    } while (src[i++] != 0);
    return dst;
}

wchar_t* FA_wcsncpy(wchar_t* dst, const wchar_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        dst[i] = src[i];
        if (src[i] == 0)
            break;
    }
    return dst;
}

wchar_t* FA_wcscat(wchar_t* dst, const wchar_t* src)
{
    FA_wcscpy(dst + FA_wcslen(dst), src);
    return dst;
}

wchar_t* FA_wcsncat(wchar_t* dst, const wchar_t* src, size_t n)
{
    wchar_t* end = dst + FA_wcslen(dst);
    size_t i = 0;
    for (; i < n && src[i] != 0; ++i)
        end[i] = src[i];
    end[i] = 0;
    return dst;
}

int FA_wcsncmp(const wchar_t* a, const wchar_t* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const int32_t x = static_cast<int32_t>(a[i]);
        const int32_t y = static_cast<int32_t>(b[i]);
        if (x != y)
            return x > y ? 1 : -1;
        if (x == 0)
            return 0;
    }
    return 0;
}

int FA_wcscmp(const wchar_t* a, const wchar_t* b) { return FA_wcsncmp(a, b, static_cast<size_t>(-1)); }

long FA_wcstol(const wchar_t* str, wchar_t** /*end*/, int /*base*/)
{
    char narrow[64];
    size_t i = 0;
    for (; i + 1 < sizeof narrow && str[i] != 0; ++i)
        narrow[i] = static_cast<char>(str[i] & 0xFF);
    narrow[i] = '\0';
    return std::atol(narrow);
}

wchar_t* FA_wcsupr(wchar_t* s)
{
    for (wchar_t* p = s; *p != 0; ++p)
        if (*p >= L'a' && *p <= L'z')
            *p -= L'a' - L'A';
    return s;
}

char* FA_strupr(char* s)
{
    for (char* p = s; *p != '\0'; ++p)
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - ('a' - 'A'));
    return s;
}

wchar_t* FA_wcslwr(wchar_t* s)
{
    for (wchar_t* p = s; *p != 0; ++p)
        if (*p >= L'A' && *p <= L'Z')
            *p += L'a' - L'A';
    return s;
}

char* FA_strlwr(char* s)
{
    for (char* p = s; *p != '\0'; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p + ('a' - 'A'));
    return s;
}
