// test_common links vyn_alloc, so every allocation of this program, gtest's
// included, goes through the library's operators.
#include "common/VynAlloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// The header lies outside the object that the compiler knows of, so its
// address is computed as a number.
VynBlockDeleter deleterOf(const void* p)
{
    const std::uintptr_t header = reinterpret_cast<std::uintptr_t>(p) - VYN_ALLOC_HEADER_SIZE;
    VynBlockDeleter deleter;
    std::memcpy(&deleter, reinterpret_cast<const void*>(header), sizeof deleter);
    return deleter;
}

constexpr std::size_t kWideAlign = 64;

struct AllocForm {
    const char* name;
    void* (*allocate)(std::size_t);
    std::size_t alignment;
};

struct ReleaseForm {
    const char* name;
    void (*release)(void*, std::size_t);
};

const AllocForm kAllocForms[] = {
    {"new", [](std::size_t n) { return ::operator new(n); }, 16},
    {"new[]", [](std::size_t n) { return ::operator new[](n); }, 16},
    {"new nothrow", [](std::size_t n) { return ::operator new(n, std::nothrow); }, 16},
    {"new[] nothrow", [](std::size_t n) { return ::operator new[](n, std::nothrow); }, 16},
    {"new aligned 8", [](std::size_t n) { return ::operator new(n, std::align_val_t(8)); }, 16},
    {"new aligned 64", [](std::size_t n) { return ::operator new(n, std::align_val_t(kWideAlign)); },
     kWideAlign},
    {"new[] aligned 64",
     [](std::size_t n) { return ::operator new[](n, std::align_val_t(kWideAlign)); }, kWideAlign},
    {"new aligned 64 nothrow",
     [](std::size_t n) { return ::operator new(n, std::align_val_t(kWideAlign), std::nothrow); },
     kWideAlign},
    {"new[] aligned 4096 nothrow",
     [](std::size_t n) { return ::operator new[](n, std::align_val_t(4096), std::nothrow); }, 4096},
};

const ReleaseForm kReleaseForms[] = {
    {"delete", [](void* p, std::size_t) { ::operator delete(p); }},
    {"delete[]", [](void* p, std::size_t) { ::operator delete[](p); }},
    {"sized delete", [](void* p, std::size_t n) { ::operator delete(p, n); }},
    {"sized delete[]", [](void* p, std::size_t n) { ::operator delete[](p, n); }},
    {"delete nothrow", [](void* p, std::size_t) { ::operator delete(p, std::nothrow); }},
    {"delete[] nothrow", [](void* p, std::size_t) { ::operator delete[](p, std::nothrow); }},
    {"delete aligned", [](void* p, std::size_t) { ::operator delete(p, std::align_val_t(kWideAlign)); }},
    {"delete[] aligned",
     [](void* p, std::size_t) { ::operator delete[](p, std::align_val_t(kWideAlign)); }},
    {"sized delete aligned",
     [](void* p, std::size_t n) { ::operator delete(p, n, std::align_val_t(kWideAlign)); }},
    {"sized delete[] aligned",
     [](void* p, std::size_t n) { ::operator delete[](p, n, std::align_val_t(kWideAlign)); }},
    {"delete aligned nothrow",
     [](void* p, std::size_t) { ::operator delete(p, std::align_val_t(kWideAlign), std::nothrow); }},
    {"delete[] aligned nothrow",
     [](void* p, std::size_t) { ::operator delete[](p, std::align_val_t(kWideAlign), std::nothrow); }},
};

TEST(AllocTest, PlainBlocksCarryTheDeleterInASixteenByteHeader)
{
    int* value = new int(42);
    EXPECT_EQ(deleterOf(value), &dllSafeDeleteStorVyn);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(value) % 16, 0u);
    delete value;

    // Storage that the C++ runtime allocates goes through the same operators.
    std::string text(100, 'x');
    EXPECT_EQ(deleterOf(text.data()), &dllSafeDeleteStorVyn);
}

// Whichever form made a block, every delete form releases it through the
// deleter stored with it.
TEST(AllocTest, EveryReleaseFormFreesEveryAllocationForm)
{
    const std::size_t sizes[] = {0, 1, 40, 4097};
    for (const AllocForm& alloc : kAllocForms) {
        for (const ReleaseForm& rel : kReleaseForms) {
            for (std::size_t n : sizes) {
                SCOPED_TRACE(std::string(alloc.name) + " / " + rel.name + " / " + std::to_string(n));
                void* p = alloc.allocate(n);
                ASSERT_NE(p, nullptr);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alloc.alignment, 0u);
                EXPECT_NE(deleterOf(p), nullptr);
                std::memset(p, 0xA5, n);
                rel.release(p, n);
            }
        }
    }
}

TEST(AllocTest, NullIsIgnoredByEveryReleaseForm)
{
    for (const ReleaseForm& rel : kReleaseForms) {
        SCOPED_TRACE(rel.name);
        rel.release(nullptr, 8);
    }
}

// A size that cannot be served gives null, never an exception.
TEST(AllocTest, ImpossibleSizesGiveNullInsteadOfThrowing)
{
    volatile std::size_t huge = SIZE_MAX;
    volatile std::size_t almost = SIZE_MAX - VYN_ALLOC_HEADER_SIZE + 1;
    for (const AllocForm& alloc : kAllocForms) {
        SCOPED_TRACE(alloc.name);
        EXPECT_EQ(alloc.allocate(huge), nullptr);
        EXPECT_EQ(alloc.allocate(almost), nullptr);
    }
    EXPECT_EQ(::operator new(16, std::align_val_t(48), std::nothrow), nullptr)
        << "an alignment that is not a power of two";
}

TEST(AllocTest, ContainersWorkOverTheOperators)
{
    std::vector<std::string> words;
    for (int i = 0; i < 1000; ++i)
        words.push_back("word number " + std::to_string(i));
    EXPECT_EQ(words[999], "word number 999");
    EXPECT_EQ(deleterOf(words.data()), &dllSafeDeleteStorVyn);
}

}  // namespace
