#include "common/VynAlloc.h"

#include <cstdint>
#include <cstdlib>
#include <new>

// Header layout: word 0 the deleter; word 1 the address malloc returned when
// it differs from the header's own (over-aligned blocks), else unused.
static_assert(VYN_ALLOC_HEADER_SIZE >= 2 * sizeof(void*), "header holds two words");
static_assert(VYN_ALLOC_HEADER_SIZE % alignof(std::max_align_t) == 0,
              "the caller's bytes keep malloc's alignment");

namespace {

struct BlockHeader {
    VynBlockDeleter deleter;
    void* origin;
};

BlockHeader* headerOf(void* p)
{
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(p) - VYN_ALLOC_HEADER_SIZE);
}

// Over-aligned blocks were not made at their header, so their deleter frees
// the address that the allocation returned.
void dllSafeDeleteStorVynAligned(void* header)
{
    std::free(static_cast<BlockHeader*>(header)->origin);
}

void* allocateBlock(std::size_t n) noexcept
{
    if (n > SIZE_MAX - VYN_ALLOC_HEADER_SIZE)
        return nullptr;
    void* block = std::malloc(n + VYN_ALLOC_HEADER_SIZE);
    if (block == nullptr)
        return nullptr;
    BlockHeader* header = static_cast<BlockHeader*>(block);
    header->deleter = dllSafeDeleteStorVyn;
    header->origin = block;
    return static_cast<unsigned char*>(block) + VYN_ALLOC_HEADER_SIZE;
}

// The caller's bytes start `align` bytes into an aligned allocation, which
// leaves room for the header right in front of them.
void* allocateAlignedBlock(std::size_t n, std::align_val_t alignment) noexcept
{
    std::size_t align = static_cast<std::size_t>(alignment);
    if (align <= VYN_ALLOC_HEADER_SIZE)
        return allocateBlock(n);
    if ((align & (align - 1)) != 0 || align > SIZE_MAX / 4 || n > SIZE_MAX - 2 * align)
        return nullptr;
    std::size_t total = (n + align + align - 1) / align * align;
    void* origin = std::aligned_alloc(align, total);
    if (origin == nullptr)
        return nullptr;
    unsigned char* user = static_cast<unsigned char*>(origin) + align;
    BlockHeader* header = headerOf(user);
    header->deleter = dllSafeDeleteStorVynAligned;
    header->origin = origin;
    return user;
}

void releaseBlock(void* p) noexcept
{
    if (p == nullptr)
        return;
    BlockHeader* header = headerOf(p);
    header->deleter(header);
}

}  // namespace

void dllSafeDeleteStorVyn(void* block)
{
    std::free(block);
}

// Allocation failure yields null, never an exception: callers test the result
// (library code is compiled with -fcheck-new for that).

void* operator new(std::size_t n) { return allocateBlock(n); }
void* operator new[](std::size_t n) { return allocateBlock(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocateBlock(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocateBlock(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateAlignedBlock(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateAlignedBlock(n, a); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return allocateAlignedBlock(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return allocateAlignedBlock(n, a);
}

// Every delete form defers to the deleter stored with the block, so a block
// may be released by any of them.
void operator delete(void* p) noexcept { releaseBlock(p); }
void operator delete[](void* p) noexcept { releaseBlock(p); }
void operator delete(void* p, std::size_t) noexcept { releaseBlock(p); }
void operator delete[](void* p, std::size_t) noexcept { releaseBlock(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { releaseBlock(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { releaseBlock(p); }
void operator delete(void* p, std::align_val_t) noexcept { releaseBlock(p); }
void operator delete[](void* p, std::align_val_t) noexcept { releaseBlock(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { releaseBlock(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { releaseBlock(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { releaseBlock(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { releaseBlock(p); }
