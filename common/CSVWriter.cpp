#include "common/CSVWriter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

const unsigned int FIRST_BUFFER_SIZE = 512;
const unsigned int DOUBLING_LIMIT = 65535;
const unsigned int LINEAR_GROWTH = 65536;

} // namespace

CSVWriter::CSVWriter(char** out)
    : buffer(out != nullptr ? *out : nullptr), out(out), scratch(), bufSize(0), strSize(0)
{
}

CSVWriter::~CSVWriter()
{
    delete[] buffer;
}

void CSVWriter::writeULong(unsigned long value)
{
    // Whole value: a counter past 32 bits is not cut to its low word.
    appendFormatted("%lu,", value);
}

void CSVWriter::writeRawString(const char* text)
{
    if (text != nullptr && text[0] != '\0')
        append(text);
}

void CSVWriter::writeInt(int value)
{
    appendFormatted("%d,", value);
}

void CSVWriter::writeUInt(unsigned int value)
{
    appendFormatted("%u,", value);
}

void CSVWriter::writeU64(unsigned long long value)
{
    appendFormatted("%llu,", value);
}

void CSVWriter::appendFormatted(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (length > 0 && static_cast<unsigned int>(length) < sizeof scratch)
        append(scratch, static_cast<unsigned long>(length));
}

void CSVWriter::append(const char* text, unsigned long n)
{
    if (text == nullptr)
        return;
    unsigned long long needed = static_cast<unsigned long long>(strSize) + n + 2;
    if (needed > 0xFFFFFFFFull)
        return;
    if (bufSize == 0) {
        unsigned int size = needed > FIRST_BUFFER_SIZE ? static_cast<unsigned int>(needed) : FIRST_BUFFER_SIZE;
        // The caller's block goes only once its successor exists, so that
        // *out never designates freed memory.
        char* block = new (std::nothrow) char[size];
        if (block == nullptr)
            return;
        delete[] buffer;
        buffer = block;
        buffer[0] = '\0';
        strSize = 0;
        bufSize = size;
        if (out != nullptr)
            *out = buffer;
    }
    if (bufSize <= needed) {
        unsigned long long size = bufSize;
        while (size < needed)
            size = size <= DOUBLING_LIMIT ? size * 2 : size + LINEAR_GROWTH;
        if (size > 0xFFFFFFFFull)
            return;
        char* block = new (std::nothrow) char[size];
        if (block == nullptr)
            return;
        std::memcpy(block, buffer, strSize);
        delete[] buffer;
        buffer = block;
        bufSize = static_cast<unsigned int>(size);
        if (out != nullptr)
            *out = buffer;
    }
    std::memcpy(buffer + strSize, text, n);
    strSize += static_cast<unsigned int>(n);
    buffer[strSize] = '\0';
}

void CSVWriter::append(const char* text)
{
    if (text != nullptr)
        append(text, std::strlen(text));
}

void CSVWriter::append(char c)
{
    append(&c, 1);
}
