#include "cli/PasswordMask.h"

#include <strings.h>

#include <cstring>

const char kPasswordMask[] = "********";

namespace {

bool sameWord(const char* a, const char* b)
{
    return a != nullptr && strcasecmp(a, b) == 0;
}

}  // namespace

bool isPasswordWord(char** argv, int argc, int index)
{
    if (argv == nullptr || argc < 2 || index < 2 || index >= argc)
        return false;
    const char* keyword = argv[1];
    if (sameWord(keyword, "ATAPASSWORD"))
        return index == 4;
    if (sameWord(keyword, "SETVMCREDENTIAL"))
        return index == 5;
    if (sameWord(keyword, "TASK"))
        return sameWord(argv[index - 1], "secureerase");
    return false;
}

std::string maskPasswordWords(const std::string& text, char** argv, int argc)
{
    // Only the echoed command line carries the password; replacing the
    // password text anywhere else would also mangle unrelated output that
    // happens to contain it (a password "0" and "Controllers found: 0").
    std::string plain;
    std::string masked;
    bool anyPassword = false;
    for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
        const bool secret = isPasswordWord(argv, argc, i);
        anyPassword = anyPassword || secret;
        if (i > 1) {
            plain += ' ';
            masked += ' ';
        }
        plain += argv[i];
        masked += secret ? kPasswordMask : argv[i];
    }
    std::string result = text;
    if (!anyPassword)
        return result;
    for (std::size_t at = result.find(plain); at != std::string::npos;
         at = result.find(plain, at + masked.size()))
        result.replace(at, plain.size(), masked);
    return result;
}
