#include "Command/Vyn/common/fa_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kAdapterLen = 132;
constexpr uint32_t kServerLen = 259;
constexpr uint32_t kThirdLen = 256;
constexpr wchar_t kFill = L'#';

struct Buffers {
    Buffers() : adapter(kAdapterLen + 1, kFill), server(kServerLen + 1, kFill), third(kThirdLen + 1, kFill) {}
    FSA_STATUS parse(const std::wstring& name)
    {
        return FsaParseAdapterName(name.c_str(), adapter.data(), kAdapterLen, server.data(), kServerLen, third.data(),
                                   kThirdLen);
    }
    // A part read bounded by its buffer, as every reader of the parts does.
    static std::wstring part(const std::vector<wchar_t>& buffer, uint32_t length)
    {
        std::wstring s;
        for (uint32_t i = 0; i < length && buffer[i] != L'\0'; ++i)
            s += buffer[i];
        return s;
    }
    std::vector<wchar_t> adapter, server, third;
};

struct NameCase {
    std::wstring name;
    FSA_STATUS status;
    std::wstring adapter, server, third;
};

TEST(ParseAdapterNameTest, FormsOfTheGrammar)
{
    const std::vector<NameCase> cases = {
        {L"ulb0", 1, L"ULB0", L"", L""},
        {L"\\ulb0", 1, L"ULB0", L"", L""},
        {L"\\\\srv\\ulb0", 1, L"ULB0", L"SRV", L""},
        {L"\\\\\\third\\\\srv\\ulb0", 1, L"ULB0", L"SRV", L"THIRD"},
        {L"\\\\srv", 1, L"", L"SRV", L""},
        {L"\\\\\\third", 1, L"", L"", L"THIRD"},
        {L"  \t\\ulb0", 1, L"ULB0", L"", L""},
        {L"ulb\\0", 1, L"ULB\\0", L"", L""},  // one backslash inside the adapter part is kept
        {L" ulb0", 8, L"", L"", L""},           // after white space only a backslash starts a name
        {L"\\\\srv\\", 8, L"", L"", L""},       // ends right after the server's backslash
        {L"ulb\\\\0", 8, L"", L"", L""},        // two backslashes inside the adapter part
        {L"ulb0\\", 8, L"", L"", L""},
        {L"", 8, L"", L"", L""},
        {L"\\\\\\third\\x", 8, L"", L"", L""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        Buffers b;
        ASSERT_EQ(b.parse(c.name), c.status);
        if (c.status != 1) {
            EXPECT_EQ(b.adapter[0], kFill);
            continue;
        }
        EXPECT_EQ(Buffers::part(b.adapter, kAdapterLen), c.adapter);
        EXPECT_EQ(Buffers::part(b.server, kServerLen), c.server);
        EXPECT_EQ(Buffers::part(b.third, kThirdLen), c.third);
        // shorter parts are zero-padded to the buffer's length, never beyond
        EXPECT_EQ(b.adapter[kAdapterLen - 1], L'\0');
        EXPECT_EQ(b.adapter[kAdapterLen], kFill);
        EXPECT_EQ(b.server[kServerLen], kFill);
        EXPECT_EQ(b.third[kThirdLen], kFill);
    }
}

TEST(ParseAdapterNameTest, LengthLimits)
{
    Buffers tooLong;
    EXPECT_EQ(tooLong.parse(std::wstring(1035, L'a')), 233u);
    EXPECT_EQ(tooLong.adapter[0], kFill);
    EXPECT_EQ(tooLong.server[0], kFill);
    EXPECT_EQ(tooLong.third[0], kFill);

    // 1034 characters are measured as fitting; the adapter part is then too
    // long for its buffer.
    Buffers longest;
    EXPECT_EQ(longest.parse(std::wstring(1034, L'a')), 8u);

    // One more than the buffer: accepted, cut, no terminator.
    Buffers cut;
    ASSERT_EQ(cut.parse(std::wstring(133, L'b')), 1u);
    for (uint32_t i = 0; i < kAdapterLen; ++i)
        ASSERT_EQ(cut.adapter[i], L'B') << i;
    EXPECT_EQ(cut.adapter[kAdapterLen], kFill);

    Buffers exact;
    ASSERT_EQ(exact.parse(std::wstring(132, L'b')), 1u);
    EXPECT_EQ(exact.adapter[kAdapterLen - 1], L'B');

    Buffers twoOver;
    EXPECT_EQ(twoOver.parse(std::wstring(134, L'b')), 8u);
    EXPECT_EQ(twoOver.adapter[0], kFill);
}

TEST(ParseAdapterNameTest, NullNameIsInvalid)
{
    Buffers b;
    EXPECT_EQ(FsaParseAdapterName(nullptr, b.adapter.data(), kAdapterLen, b.server.data(), kServerLen, b.third.data(),
                                  kThirdLen),
              8u);
}

}  // namespace
