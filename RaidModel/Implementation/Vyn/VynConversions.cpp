#include "RaidModel/Implementation/Vyn/VynConversions.h"

#include "common/StringUtils.h"

namespace {

char narrow(wchar_t c)
{
    return static_cast<unsigned long>(c) > 127 ? '?' : static_cast<char>(c & 0xFF);
}

}  // namespace

void WCharToString(std::string& out, const wchar_t* in, unsigned long maxChars)
{
    if (in == nullptr)
        return;
    for (unsigned long i = 0; i < maxChars && in[i] != L'\0'; ++i)
        out += narrow(in[i]);
}

void WCharToBuff(char* out, const wchar_t* in, unsigned long maxChars)
{
    if (out == nullptr || in == nullptr)
        return;
    for (unsigned long i = 0; i < maxChars; ++i) {
        out[i] = narrow(in[i]);
        if (in[i] == L'\0')
            return;
    }
}

void SafeAsciiCopy(void* dst, const void* src, int n)
{
    StringUtils::safeASCIICopy(dst, src, n);
}

int fsaPasswordCallback(void*, char* user, char* password)
{
    if (user != nullptr)
        user[0] = '\0';
    if (password != nullptr)
        password[0] = '\0';
    return 1;
}
