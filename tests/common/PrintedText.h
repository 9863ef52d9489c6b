#ifndef VYN_TESTS_COMMON_PRINTEDTEXT_H
#define VYN_TESTS_COMMON_PRINTEDTEXT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vyntest {

// What `print(stream)` writes, as text; the debug dumps print only to a
// stream.
template <typename Print> std::string printedText(Print print)
{
    char* text = nullptr;
    std::size_t size = 0;
    FILE* stream = open_memstream(&text, &size);
    if (stream == nullptr) {
        ADD_FAILURE() << "open_memstream failed";
        return std::string();
    }
    print(stream);
    std::fclose(stream);
    std::string result(text, size);
    std::free(text);
    return result;
}

}  // namespace vyntest

#endif
