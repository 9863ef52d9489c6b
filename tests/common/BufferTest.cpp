#include "PrintedText.h"

#include "common/Buffer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const Buffer& b)
{
    return b.Size() == 0 ? Bytes() : Bytes(b.CPtr(), b.CPtr() + b.Size());
}

Buffer makeBuffer(const Bytes& v)
{
    return Buffer(v.size(), v.data());
}

std::string printed(const Buffer& b)
{
    return vyntest::printedText([&b](FILE* stream) { b.Print(stream); });
}

// More than a 32-bit size can hold.
constexpr unsigned long kTooLarge = 0x100000000UL;

TEST(BufferTest, EmptyBuffersHoldNoBlock)
{
    unsigned char abc[] = {'a', 'b', 'c'};
    const Buffer cases[] = {Buffer(), Buffer(0), Buffer(0, abc), Buffer(3, nullptr), Buffer(kTooLarge),
                            Buffer(kTooLarge, abc)};
    for (const Buffer& b : cases) {
        EXPECT_EQ(b.Size(), 0u);
        EXPECT_EQ(b.CPtr(), nullptr);
    }
}

TEST(BufferTest, ConstructionCopiesTheBytes)
{
    unsigned char abc[] = {'a', 'b', 'c'};
    Buffer b(3, abc);
    abc[0] = 'z';
    EXPECT_EQ(bytesOf(b), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(Buffer(5).Size(), 5u);
    EXPECT_NE(Buffer(5).CPtr(), nullptr);

    Buffer copy(b);
    EXPECT_NE(copy.CPtr(), b.CPtr());
    EXPECT_EQ(bytesOf(copy), bytesOf(b));
    EXPECT_EQ(Buffer(Buffer()).CPtr(), nullptr);
}

TEST(BufferTest, Assignment)
{
    struct Case {
        const char* name;
        Bytes target;
        Bytes source;
    };
    const Case cases[] = {
        {"empty source empties the target", {1, 2, 3, 4}, {}},
        {"into an empty target", {}, {5, 6}},
        {"same size", {1, 2, 3, 4}, {9, 8, 7, 6}},
        {"larger source", {1}, {9, 8, 7, 6, 5}},
        {"smaller source", {1, 2, 3, 4}, {9}},
        {"both empty", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer target = makeBuffer(c.target);
        Buffer source = makeBuffer(c.source);
        const unsigned char* before = target.CPtr();
        Buffer& result = (target = source);
        EXPECT_EQ(&result, &target);
        EXPECT_EQ(bytesOf(target), c.source);
        EXPECT_EQ(target.CPtr() == nullptr, c.source.empty());
        if (!c.target.empty() && c.target.size() == c.source.size()) {
            EXPECT_EQ(target.CPtr(), before);  // the block is reused
        }
        if (!c.source.empty()) {
            EXPECT_NE(target.CPtr(), source.CPtr());  // a copy, not a share
        }
    }
}

TEST(BufferTest, SelfAssignmentKeepsTheBytes)
{
    Buffer b = makeBuffer({1, 2, 3});
    Buffer& alias = b;
    b = alias;
    EXPECT_EQ(bytesOf(b), (Bytes{1, 2, 3}));
}

TEST(BufferTest, Equality)
{
    struct Case {
        Bytes a;
        Bytes b;
        bool equal;
    };
    const Case cases[] = {
        {{}, {}, true}, {{1, 2}, {1, 2}, true}, {{1, 2}, {1, 3}, false}, {{1, 2}, {1, 2, 0}, false}, {{}, {0}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(makeBuffer(c.a) == makeBuffer(c.b), c.equal);
        EXPECT_EQ(makeBuffer(c.a) != makeBuffer(c.b), !c.equal);
    }
}

TEST(BufferTest, GetByteIsZeroPastTheEnd)
{
    Buffer b = makeBuffer({7, 8});
    EXPECT_EQ(b.getByte(1), 8);
    EXPECT_EQ(b.getByte(2), 0);
    EXPECT_EQ(Buffer().getByte(0), 0);
    b[0] = 9;
    EXPECT_EQ(b.getByte(0), 9);
}

TEST(BufferTest, AllocResizes)
{
    struct Case {
        unsigned long n;
        bool preserve;
        Bytes kept;  // leading bytes that must survive
    };
    const Case cases[] = {
        {8, true, {1, 2, 3, 4}}, {2, true, {1, 2}}, {4, true, {1, 2, 3, 4}}, {8, false, {}}, {0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        Buffer b = makeBuffer({1, 2, 3, 4});
        unsigned char* p = b.Alloc(c.n, c.preserve);
        EXPECT_EQ(p, b.Ptr());
        EXPECT_EQ(b.Size(), c.n);
        EXPECT_EQ(p == nullptr, c.n == 0);
        Bytes all = bytesOf(b);
        EXPECT_EQ(Bytes(all.begin(), all.begin() + c.kept.size()), c.kept);
    }
}

// The old block is dropped with the size when the new one cannot be had, so
// no size ever describes memory the buffer does not hold.
TEST(BufferTest, FailedAllocLeavesAnEmptyBuffer)
{
    for (bool preserve : {true, false}) {
        Buffer b = makeBuffer({1, 2, 3, 4});
        EXPECT_EQ(b.Alloc(kTooLarge, preserve), nullptr);
        EXPECT_EQ(b.Size(), 0u);
        EXPECT_EQ(b.Ptr(), nullptr);
    }
}

TEST(BufferTest, ClearZeroesEveryByte)
{
    Buffer b = makeBuffer({1, 2, 3});
    b.Clear();
    EXPECT_EQ(bytesOf(b), (Bytes{0, 0, 0}));
    Buffer().Clear();
}

TEST(BufferTest, PrintShowsWordsHighestByteFirst)
{
    EXPECT_EQ(printed(makeBuffer({1, 2, 3, 4, 5})), "0000: 04030201 :     \n0004: ------05 :     \n");
    EXPECT_EQ(printed(Buffer()), "0000: -------- :     \n");
    EXPECT_EQ(printed(makeBuffer({'A', 'B', 'C', 'D', '~', 0x7F})), "0000: 44434241 : DCBA\n0004: ----7f7e :    ~\n");

    testing::internal::CaptureStdout();
    makeBuffer({0x20}).Print(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0000: ------20 :     \n");
}

// ---------------------------------------------------------------- DynamicBuffer

Bytes bytesOf(const DynamicBuffer& b)
{
    const unsigned char* p = static_cast<const unsigned char*>(b.Buffer());
    return b.Size() == 0 ? Bytes() : Bytes(p, p + b.Size());
}

// A dynamic buffer holding 0, 1, ... n-1 in a block of its own.
void fill(DynamicBuffer& b, unsigned long n)
{
    unsigned char* p = static_cast<unsigned char*>(b.Alloc(n));
    for (unsigned long i = 0; i < n; ++i)
        p[i] = static_cast<unsigned char>(i);
}

Bytes iota(unsigned n)
{
    Bytes v(n);
    for (unsigned i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>(i);
    return v;
}

void expectEmpty(const DynamicBuffer& b)
{
    EXPECT_EQ(b.Size(), 0u);
    EXPECT_EQ(b.Buffer(), nullptr);
    EXPECT_FALSE(b.OwnBuffer());
}

int codeOf(void (*action)(DynamicBuffer&), DynamicBuffer& b)
{
    try {
        action(b);
    } catch (const DynamicBufferException& e) {
        return e.code;
    }
    return 0;
}

TEST(DynamicBufferTest, Construction)
{
    unsigned char memory[8];
    DynamicBuffer none(0);
    expectEmpty(none);
    DynamicBuffer owned(16);
    EXPECT_EQ(owned.Size(), 16u);
    EXPECT_TRUE(owned.OwnBuffer());
    DynamicBuffer attached(memory, sizeof memory);
    EXPECT_EQ(attached.Buffer(), memory);
    EXPECT_EQ(attached.Size(), 8u);
    EXPECT_FALSE(attached.OwnBuffer());
    DynamicBuffer noMemory(nullptr, 8);
    expectEmpty(noMemory);
    DynamicBuffer noSize(memory, 0);
    expectEmpty(noSize);
    EXPECT_THROW(DynamicBuffer tooLarge(kTooLarge), DynamicBufferException);
}

TEST(DynamicBufferTest, AllocReplacesTheBlock)
{
    unsigned char memory[4] = {9, 9, 9, 9};
    DynamicBuffer b(memory, sizeof memory);
    EXPECT_NE(b.Alloc(32), nullptr);
    EXPECT_TRUE(b.OwnBuffer());
    EXPECT_EQ(b.Size(), 32u);
    EXPECT_EQ(memory[0], 9);  // attached memory is only dropped
    EXPECT_EQ(b.Alloc(0), nullptr);
    expectEmpty(b);

    fill(b, 4);
    EXPECT_EQ(codeOf([](DynamicBuffer& d) { d.Alloc(kTooLarge); }, b), 1);
    expectEmpty(b);
}

TEST(DynamicBufferTest, AllocAndPreserve)
{
    struct Case {
        const char* name;
        unsigned long n;
        unsigned long keep;
        int code;       // 0: no exception
        Bytes leading;  // first bytes afterwards
    };
    const Case cases[] = {
        {"keep everything, larger", 20, 0xFFFFFFFF, 0, iota(10)},
        {"keep a part", 4, 3, 0, iota(3)},
        {"keep everything, too small", 4, 0xFFFFFFFF, 2, iota(10)},
        {"keep nothing, free", 0, 0, 0, {}},
        {"keep some, free", 0, 5, 2, iota(10)},
        {"beyond a 32-bit size", kTooLarge, 0xFFFFFFFF, 1, iota(10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DynamicBuffer b(0);
        fill(b, 10);
        const void* before = b.Buffer();
        int code = 0;
        try {
            b.AllocAndPreserve(c.n, c.keep);
        } catch (const DynamicBufferException& e) {
            code = e.code;
        }
        EXPECT_EQ(code, c.code);
        if (code != 0) {
            EXPECT_EQ(b.Buffer(), before);
            EXPECT_EQ(bytesOf(b), iota(10));
            continue;
        }
        EXPECT_EQ(b.Size(), c.n);
        EXPECT_EQ(b.OwnBuffer(), c.n != 0);
        Bytes all = bytesOf(b);
        EXPECT_EQ(Bytes(all.begin(), all.begin() + c.leading.size()), c.leading);
    }

    DynamicBuffer empty(0);
    EXPECT_EQ(empty.AllocAndPreserve(0, 5), nullptr);
    EXPECT_NE(empty.AllocAndPreserve(8, 0xFFFFFFFF), nullptr);
    EXPECT_TRUE(empty.OwnBuffer());
}

TEST(DynamicBufferTest, AllocAndPreserveMovesAttachedBytesIntoAnOwnedBlock)
{
    unsigned char memory[4] = {1, 2, 3, 4};
    DynamicBuffer b(memory, sizeof memory);
    b.AllocAndPreserve(6, 0xFFFFFFFF);
    EXPECT_TRUE(b.OwnBuffer());
    Bytes all = bytesOf(b);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 4), (Bytes{1, 2, 3, 4}));
}

// The sanitizer run shows that caller memory is never freed and that a
// replaced owned block is.
TEST(DynamicBufferTest, AttachNeverFreesCallerMemory)
{
    unsigned char memory[8] = {};
    {
        DynamicBuffer b(0);
        fill(b, 16);
        EXPECT_EQ(b.Attach(memory, sizeof memory), memory);
        EXPECT_FALSE(b.OwnBuffer());
        EXPECT_EQ(b.Size(), 8u);
    }
    DynamicBuffer b(memory, sizeof memory);
    EXPECT_EQ(b.Attach(nullptr, 8), nullptr);
    expectEmpty(b);
}

TEST(DynamicBufferTest, AttachAndPreserve)
{
    unsigned char target[16] = {};
    DynamicBuffer b(0);
    fill(b, 10);
    b.AttachAndPreserve(target, sizeof target, 4);
    EXPECT_EQ(b.Buffer(), target);
    EXPECT_FALSE(b.OwnBuffer());
    EXPECT_EQ(Bytes(target, target + 5), (Bytes{0, 1, 2, 3, 0}));

    // Overlapping areas: the kept bytes move two places on.
    unsigned char area[12] = {1, 2, 3, 4, 5, 6, 7, 8};
    DynamicBuffer c(area, 8);
    c.AttachAndPreserve(area + 2, 10, 0xFFFFFFFF);
    EXPECT_EQ(Bytes(area + 2, area + 10), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

    EXPECT_EQ(codeOf([](DynamicBuffer& d) {
                  unsigned char small[4];
                  d.AttachAndPreserve(small, sizeof small, 0xFFFFFFFF);
              },
                     c),
              2);
    EXPECT_EQ(c.Buffer(), area + 2);
    EXPECT_EQ(codeOf([](DynamicBuffer& d) { d.AttachAndPreserve(nullptr, 4, 1); }, c), 2);
    c.AttachAndPreserve(nullptr, 4, 0);
    EXPECT_EQ(c.Buffer(), area + 2);
    EXPECT_EQ(c.Size(), 10u);
}

}  // namespace
