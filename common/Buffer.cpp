#include "common/Buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Sizes are kept in 32 bits; a larger request is treated like an allocation
// that failed rather than stored truncated, which would under-report the block.
constexpr unsigned long kMaxBytes = UINT32_MAX;

// Null on failure whichever allocation operators the module links, those that
// return null or those that throw.
unsigned char* allocateBytes(unsigned long n)
{
    if (n == 0 || n > kMaxBytes)
        return nullptr;
    return new (std::nothrow) unsigned char[n];
}

}  // namespace

// ---------------------------------------------------------------- Buffer

Buffer::Buffer() : data(nullptr), size(0) {}

Buffer::Buffer(unsigned long n) : data(allocateBytes(n)), size(0)
{
    if (data != nullptr)
        size = static_cast<uint32_t>(n);
}

Buffer::Buffer(unsigned long n, const unsigned char* bytes) : data(nullptr), size(0)
{
    if (bytes == nullptr || n == 0)
        return;
    data = allocateBytes(n);
    if (data == nullptr)
        return;
    size = static_cast<uint32_t>(n);
    std::memcpy(data, bytes, size);
}

Buffer::Buffer(const Buffer& other) : Buffer(other.size, other.data) {}

Buffer::~Buffer()
{
    delete[] data;
}

void Buffer::release()
{
    delete[] data;
    data = nullptr;
    size = 0;
}

Buffer& Buffer::operator=(const Buffer& other)
{
    if (this == &other)
        return *this;
    if (data != nullptr && size != other.size)
        release();
    if (other.size == 0)
        return *this;
    if (data == nullptr) {
        data = allocateBytes(other.size);
        if (data == nullptr)
            return *this;
        size = other.size;
    }
    std::memcpy(data, other.data, size);
    return *this;
}

bool Buffer::operator==(const Buffer& other) const
{
    return size == other.size && (size == 0 || std::memcmp(data, other.data, size) == 0);
}

bool Buffer::operator!=(const Buffer& other) const
{
    return !(*this == other);
}

unsigned char Buffer::getByte(unsigned long i) const
{
    return i < size ? data[i] : 0;
}

unsigned char& Buffer::operator[](unsigned long i)
{
    return data[i];
}

bool Buffer::isValidBuffer(unsigned long, unsigned char*)
{
    return true;
}

unsigned char* Buffer::Alloc(unsigned long n, bool preserve)
{
    if (!preserve || n == 0)
        release();
    if (n == 0)
        return nullptr;
    unsigned char* block = allocateBytes(n);
    if (block == nullptr) {
        // Keeping the old block under a size it does not have would invite
        // reads past its end; the caller sees the null result.
        release();
        return nullptr;
    }
    if (data != nullptr)
        std::memcpy(block, data, std::min<unsigned long>(size, n));
    delete[] data;
    data = block;
    size = static_cast<uint32_t>(n);
    return data;
}

void Buffer::Clear()
{
    if (data != nullptr)
        std::memset(data, 0, size);
}

// Each line shows four bytes, the highest address first, so that a
// little-endian word reads as its value.
void Buffer::Print(FILE* stream) const
{
    FILE* out = stream != nullptr ? stream : stdout;
    unsigned long offset = 0;
    do {
        std::fprintf(out, "%04lx: ", offset);
        for (int j = 3; j >= 0; --j) {
            unsigned long pos = offset + static_cast<unsigned long>(j);
            if (pos < size)
                std::fprintf(out, "%02x", data[pos]);
            else
                std::fputs("--", out);
        }
        std::fputs(" : ", out);
        for (int j = 3; j >= 0; --j) {
            unsigned long pos = offset + static_cast<unsigned long>(j);
            bool printable = pos < size && data[pos] >= 32 && data[pos] <= 126;
            std::fputc(printable ? data[pos] : ' ', out);
        }
        std::fputc('\n', out);
        offset += 4;
    } while (offset < size);
}

// ---------------------------------------------------------------- DynamicBuffer

DynamicBuffer::DynamicBuffer(unsigned long n) : size(0), data(nullptr), owned(false)
{
    if (n != 0)
        Alloc(n);
}

DynamicBuffer::DynamicBuffer(void* memory, unsigned long n) : size(0), data(nullptr), owned(false)
{
    if (memory != nullptr && n != 0)
        Attach(memory, n);
}

DynamicBuffer::~DynamicBuffer()
{
    Free();
}

void DynamicBuffer::Free()
{
    if (owned)
        delete[] data;
    size = 0;
    data = nullptr;
    owned = false;
}

void* DynamicBuffer::Alloc(unsigned long n)
{
    Free();
    if (n == 0)
        return nullptr;
    unsigned char* block = allocateBytes(n);
    if (block == nullptr)
        throw DynamicBufferException(DynamicBufferException::AllocationFailed);
    data = block;
    size = static_cast<uint32_t>(n);
    owned = true;
    return data;
}

void* DynamicBuffer::AllocAndPreserve(unsigned long n, unsigned long keep)
{
    unsigned long k = std::min<unsigned long>(keep, size);
    if (n == 0) {
        if (keep != 0 && data != nullptr && size != 0)
            throw DynamicBufferException(DynamicBufferException::KeepExceedsSize);
        Free();
        return nullptr;
    }
    if (k > n)
        throw DynamicBufferException(DynamicBufferException::KeepExceedsSize);
    unsigned char* block = allocateBytes(n);
    if (block == nullptr)
        throw DynamicBufferException(DynamicBufferException::AllocationFailed);
    if (data != nullptr) {
        std::memcpy(block, data, k);
        if (owned)
            delete[] data;
    }
    data = block;
    size = static_cast<uint32_t>(n);
    owned = true;
    return data;
}

void* DynamicBuffer::Attach(void* memory, unsigned long n)
{
    if (memory == nullptr || n == 0) {
        Free();
        return nullptr;
    }
    if (owned)
        delete[] data;
    data = static_cast<unsigned char*>(memory);
    // The caller's area is at least this large; only the count is capped.
    size = static_cast<uint32_t>(std::min(n, kMaxBytes));
    owned = false;
    return data;
}

void DynamicBuffer::AttachAndPreserve(void* memory, unsigned long n, unsigned long keep)
{
    unsigned long k = std::min<unsigned long>(keep, size);
    if (memory == nullptr || n == 0) {
        if (keep != 0 && data != nullptr && size != 0)
            throw DynamicBufferException(DynamicBufferException::KeepExceedsSize);
        return;
    }
    if (k > n)
        throw DynamicBufferException(DynamicBufferException::KeepExceedsSize);
    if (k != 0)
        std::memmove(memory, data, k);
    if (owned && data != memory)
        delete[] data;
    data = static_cast<unsigned char*>(memory);
    size = static_cast<uint32_t>(std::min(n, kMaxBytes));
    owned = false;
}
