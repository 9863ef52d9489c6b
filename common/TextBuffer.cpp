#include "common/TextBuffer.h"

#include <cstring>
#include <new>

namespace {

const unsigned int FIRST_BUFFER_SIZE = 512;
const unsigned int DOUBLING_LIMIT = 65535;
const unsigned int LINEAR_GROWTH = 65536;
const unsigned long long MAX_BUFFER_SIZE = 0xFFFFFFFFull;

} // namespace

TextBuffer::TextBuffer(char** out)
    : buffer(out != nullptr ? *out : nullptr), out(out), bufSize(0), strSize(0), blockSize(0)
{
}

TextBuffer::~TextBuffer()
{
    delete[] buffer;
}

void TextBuffer::appendGrowing(const char* text, unsigned long n)
{
    if (text == nullptr)
        return;
    // Room for the text, its terminator and one spare byte.
    unsigned long long needed = static_cast<unsigned long long>(strSize) + n + 2;
    if (needed > MAX_BUFFER_SIZE)
        return;
    if (bufSize == 0 && !allocateFirst(needed))
        return;
    if (bufSize <= needed && !grow(needed))
        return;
    std::memcpy(buffer + strSize, text, n);
    strSize += static_cast<unsigned int>(n);
    buffer[strSize] = '\0';
}

bool TextBuffer::allocateFirst(unsigned long long needed)
{
    unsigned int size = needed > FIRST_BUFFER_SIZE ? static_cast<unsigned int>(needed) : FIRST_BUFFER_SIZE;
    // The caller's block is released only once its successor exists, so that
    // *out never designates freed memory.
    char* block = new (std::nothrow) char[size];
    if (block == nullptr)
        return false;
    delete[] buffer;
    buffer = block;
    buffer[0] = '\0';
    strSize = 0;
    bufSize = size;
    blockSize = size;
    publish();
    return true;
}

bool TextBuffer::grow(unsigned long long needed)
{
    unsigned long long size = bufSize;
    while (size < needed)
        size = size <= DOUBLING_LIMIT ? size * 2 : size + LINEAR_GROWTH;
    if (size > MAX_BUFFER_SIZE)
        return false;
    // Up to 64 KiB every step is a new block, even one of the same size;
    // past it a step within the block takes none.
    if (size > DOUBLING_LIMIT + 1ull && size <= blockSize) {
        bufSize = static_cast<unsigned int>(size);
        return true;
    }
    // Past 64 KiB a new block at least doubles, unless that much memory is
    // not to be had.
    unsigned long long wanted = size;
    if (size > DOUBLING_LIMIT + 1ull) {
        const unsigned long long doubled = static_cast<unsigned long long>(blockSize) * 2;
        if (doubled > wanted)
            wanted = doubled < MAX_BUFFER_SIZE ? doubled : MAX_BUFFER_SIZE;
    }
    char* block = new (std::nothrow) char[wanted];
    if (block == nullptr && wanted != size) {
        wanted = size;
        block = new (std::nothrow) char[wanted];
    }
    if (block == nullptr)
        return false;
    std::memcpy(block, buffer, strSize);
    delete[] buffer;
    buffer = block;
    bufSize = static_cast<unsigned int>(size);
    blockSize = static_cast<unsigned int>(wanted);
    publish();
    return true;
}

void TextBuffer::publish()
{
    if (out != nullptr)
        *out = buffer;
}
