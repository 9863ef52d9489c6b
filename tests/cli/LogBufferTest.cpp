// The 3 MiB buffers of GETLOGS and GETSMARTSTATS when the memory is not
// there: this file replaces the no-throw array allocation of the test
// program so that one buffer of that size can be refused.
#include "CommandTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <new>

namespace {

constexpr std::size_t kLogBufferSize = 0x300000;
bool refuseLogBuffers = false;

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (refuseLogBuffers && size == kLogBufferSize)
        return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using namespace vyntest;
using ::testing::EndsWith;

class LogBufferTest : public CommandTest {
protected:
    void TearDown() override
    {
        refuseLogBuffers = false;
        CommandTest::TearDown();
    }
};

TEST_F(LogBufferTest, NoBufferNoRequest)
{
    refuseLogBuffers = true;
    for (const std::vector<std::string>& words : {std::vector<std::string>{"GETLOGS", "1", "EVENT"},
                                                  std::vector<std::string>{"GETSMARTSTATS", "1"}}) {
        SCOPED_TRACE(words[0]);
        const ProviderResult result = runProvider(words);
        EXPECT_EQ(result.value, 1);
        EXPECT_THAT(result.text, EndsWith("Command failed.\n"));
    }
    EXPECT_TRUE(calls().empty());
}

}  // namespace
