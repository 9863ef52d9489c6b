#ifndef VYN_COMMON_BUFFER_H
#define VYN_COMMON_BUFFER_H

#include <cstdint>
#include <cstdio>

// A value type owning a heap copy of its bytes (command blocks, data-in and
// data-out areas, sense data, diagnostic pages). It never throws: a failed
// allocation leaves it empty, so callers test Ptr() or Size().
class Buffer {
public:
    Buffer();
    explicit Buffer(unsigned long n);
    Buffer(unsigned long n, const unsigned char* bytes);
    Buffer(const Buffer& other);
    ~Buffer();

    Buffer& operator=(const Buffer& other);
    bool operator==(const Buffer& other) const;
    bool operator!=(const Buffer& other) const;

    unsigned char getByte(unsigned long i) const;
    unsigned char& operator[](unsigned long i);

    unsigned char* Ptr() { return data; }
    const unsigned char* CPtr() const { return data; }
    unsigned char* getAddr() { return data; }
    unsigned long Size() const { return size; }
    unsigned long getSize() const { return size; }

    static bool isValidBuffer(unsigned long n, unsigned char* bytes);

    unsigned char* Alloc(unsigned long n, bool preserve);
    void Clear();
    void Print(FILE* stream) const;

private:
    void release();

    unsigned char* data;
    uint32_t size;
};

// Thrown by DynamicBuffer (and the classes built on it) by value.
class DynamicBufferException {
public:
    enum { AllocationFailed = 1, KeepExceedsSize = 2 };
    explicit DynamicBufferException(int32_t c) : code(c) {}

    int32_t code;
};

// A resizable byte area that either owns its block or is attached to memory
// that the caller owns and keeps.
class DynamicBuffer {
public:
    explicit DynamicBuffer(unsigned long n);
    DynamicBuffer(void* memory, unsigned long n);
    ~DynamicBuffer();

    // An owned block has exactly one owner.
    DynamicBuffer(const DynamicBuffer&) = delete;
    DynamicBuffer& operator=(const DynamicBuffer&) = delete;

    void* Buffer() const { return data; }
    unsigned long Size() const { return size; }
    bool OwnBuffer() const { return owned; }

    void* Alloc(unsigned long n);
    void* AllocAndPreserve(unsigned long n, unsigned long keep);
    void* Attach(void* memory, unsigned long n);
    void AttachAndPreserve(void* memory, unsigned long n, unsigned long keep);
    void Free();

private:
    uint32_t size;
    unsigned char* data;
    bool owned;
};

#endif
