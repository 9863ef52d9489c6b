#ifndef VYN_COMMON_STRINGUTILS_H
#define VYN_COMMON_STRINGUTILS_H

// Text helpers for the fixed-width byte strings that devices report.
class StringUtils {
public:
    // '0'-'9', 'A'-'F' for 0-15; a blank for anything larger.
    static char getHexDigit(unsigned char v);

    // Two upper-case hex digits per byte, then a NUL; `out` needs 2n+1 bytes.
    static void sasAddrToStr(unsigned char const* bytes, char* out, int n);

    // Copies n device bytes as printable text: control and non-ASCII bytes
    // become '?', copying ends after a NUL, and trailing blanks become NULs.
    // A copy that meets no NUL is not terminated within the n bytes.
    static void safeASCIICopy(void* dst, void const* src, int n);
};

#endif
