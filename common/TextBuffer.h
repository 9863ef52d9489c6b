#ifndef VYN_COMMON_TEXTBUFFER_H
#define VYN_COMMON_TEXTBUFFER_H

// One growing NUL-terminated heap buffer whose address is published into the
// caller's variable after every growth, for the text writers. It owns the
// block that variable held at construction (null or from array new) until
// the first append replaces it, and frees its buffer when destroyed. An
// append that would pass 4 GiB, or whose allocation fails, is dropped whole
// and leaves the text as it was.
class TextBuffer {
public:
    explicit TextBuffer(char** out);
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    void append(const char* text, unsigned long n);

    unsigned int capacity() const { return bufSize; }
    unsigned int length() const { return strSize; }

private:
    bool allocateFirst(unsigned long long needed);
    bool grow(unsigned long long needed);
    void publish();

    char* buffer;
    char** out;
    unsigned int bufSize;
    unsigned int strSize;
};

#endif
