#ifndef VYN_COMMAND_VYN_COMMON_FA_WCHAR_H
#define VYN_COMMAND_VYN_COMMON_FA_WCHAR_H

#include <cstddef>
#include <cwchar>

// String functions over the 32-bit wide characters in which the exported
// interface carries names. Each does what the standard function without the
// FA_ prefix does, except as noted.

// Copies at most n bytes, each sign-extended, through the terminating zero;
// the number of characters before it, or n when no zero was reached.
size_t FA_mbstowcs(wchar_t* dst, const char* src, size_t n);
// The reverse, keeping the low byte of each character.
size_t FA_wcstombs(char* dst, const wchar_t* src, size_t n);
size_t FA_wcslen(const wchar_t* s);
wchar_t* FA_wcscpy(wchar_t* dst, const wchar_t* src);
// Stops after n characters without adding a zero.
wchar_t* FA_wcsncpy(wchar_t* dst, const wchar_t* src, size_t n);
wchar_t* FA_wcscat(wchar_t* dst, const wchar_t* src);
wchar_t* FA_wcsncat(wchar_t* dst, const wchar_t* src, size_t n);
// Characters compared as signed 32-bit numbers; exactly 1, -1 or 0.
int FA_wcscmp(const wchar_t* a, const wchar_t* b);
int FA_wcsncmp(const wchar_t* a, const wchar_t* b, size_t n);
// Narrows the string and converts it with atol; end and base are not used.
long FA_wcstol(const wchar_t* str, wchar_t** end, int base);
// In place, 'a'..'z' to 'A'..'Z' and back.
wchar_t* FA_wcsupr(wchar_t* s);
char* FA_strupr(char* s);
wchar_t* FA_wcslwr(wchar_t* s);
char* FA_strlwr(char* s);

#endif
