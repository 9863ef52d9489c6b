#ifndef VYN_COMMON_TEXTBUFFER_H
#define VYN_COMMON_TEXTBUFFER_H

#include <cstring>

// One growing NUL-terminated heap buffer whose address is published into the
// caller's variable after every growth, for the text writers. It owns the
// block that variable held at construction (null or from array new) until
// the first append replaces it, and frees its buffer when destroyed. An
// append that would pass 4 GiB, or whose allocation fails, is dropped whole
// and leaves the text as it was.
//
// capacity() is the size the text has grown to by its fixed steps: doubling
// from the first size up to 64 KiB, then 64 KiB at a time. Up to 64 KiB the
// block behind the text has exactly that size and each step is a new block.
// Past it the block may be larger than capacity() and grows geometrically,
// so that most steps take no new block and no copy; a step that takes none
// leaves the published address as it was. The block always holds at least
// capacity() bytes.
class TextBuffer {
public:
    explicit TextBuffer(char** out);
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    void append(const char* text, unsigned long n)
    {
        // Room for the text, its terminator and one spare byte, without a step.
        if (text != nullptr && fits(n)) {
            std::memcpy(buffer + strSize, text, n);
            strSize += static_cast<unsigned int>(n);
            buffer[strSize] = '\0';
            return;
        }
        appendGrowing(text, n);
    }

    // Where n bytes can be written at the end of the text when they fit as
    // append would take them without a step; null otherwise. They become
    // text with commit(n).
    char* room(unsigned long n)
    {
        return fits(n) ? buffer + strSize : nullptr;
    }
    void commit(unsigned long n)
    {
        strSize += static_cast<unsigned int>(n);
        buffer[strSize] = '\0';
    }

    unsigned int capacity() const { return bufSize; }
    unsigned int length() const { return strSize; }

private:
    // strSize + n + 2 < bufSize, without wrapping for any n.
    bool fits(unsigned long n) const { return bufSize > 2 && n < bufSize - 2u && strSize < bufSize - 2u - n; }
    void appendGrowing(const char* text, unsigned long n);
    bool allocateFirst(unsigned long long needed);
    bool grow(unsigned long long needed);
    void publish();

    char* buffer;
    char** out;
    unsigned int bufSize;
    unsigned int strSize;
    // Bytes of the block behind buffer; bufSize or more.
    unsigned int blockSize;
};

#endif
