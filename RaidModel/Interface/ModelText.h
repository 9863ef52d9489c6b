#ifndef VYN_RAIDMODEL_INTERFACE_MODELTEXT_H
#define VYN_RAIDMODEL_INTERFACE_MODELTEXT_H

#include <cstddef>
#include <cstring>

// Texts from firmware and from saved configurations may be longer than the
// fixed fields that hold them: keep what fits and always terminate.
inline void copyTextField(char* field, std::size_t fieldSize, const char* text)
{
    std::memset(field, 0, fieldSize);
    if (text != nullptr && fieldSize > 1) {
        std::size_t n = 0;
        while (n + 1 < fieldSize && text[n] != '\0') {
            ++n;
        }
        std::memcpy(field, text, n);
    }
}

template <std::size_t N>
inline void copyTextField(char (&field)[N], const char* text)
{
    copyTextField(field, N, text);
}

#endif
