#ifndef VYN_COMMON_CSVWRITER_H
#define VYN_COMMON_CSVWRITER_H

#include "common/TextBuffer.h"

// Writes comma-separated values into one growing NUL-terminated heap buffer
// and publishes the buffer's address into the caller's variable after every
// growth, as XMLWriter does. Every value is followed by a comma and nothing
// is quoted: line breaks and text fields are the caller's raw text.
class CSVWriter {
public:
    explicit CSVWriter(char** out);
    // Not virtual: the writer is never deleted through a base.
    ~CSVWriter() = default;
    CSVWriter(const CSVWriter&) = delete;
    CSVWriter& operator=(const CSVWriter&) = delete;

    virtual void writeULong(unsigned long value);
    virtual void writeRawString(const char* text);
    virtual void writeInt(int value);
    virtual void writeUInt(unsigned int value);
    virtual void writeU64(unsigned long long value);

    void append(const char* text, unsigned long n);
    void append(const char* text);
    void append(char c);

private:
    void appendFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));

    TextBuffer output;
    char scratch[64];
};

#endif
