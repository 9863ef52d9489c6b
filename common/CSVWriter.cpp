#include "common/CSVWriter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CSVWriter::CSVWriter(char** out) : output(out), scratch()
{
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
    output.append(text, n);
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
