#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/os/faux_aif.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "FsaContextTest.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using vyn::hostsim::Fault;

class AifChannelTest : public vyntest::FsaContextTest {
protected:
    FSAAPI_CONTEXT* start()
    {
        startSimulator("adapters = 1\n");
        sim().setSleepScale(0);
        FSAAPI_CONTEXT* ctx = openContext();
        sim().clearRequests();
        return ctx;
    }

    size_t countRequests(const std::string& line)
    {
        size_t n = 0;
        for (const std::string& l : sim().requestLines())
            n += l == line ? 1 : 0;
        return n;
    }
};

TEST_F(AifChannelTest, ThreeSlotsPerConnection)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* slots[3];
    for (void*& s : slots) {
        s = faos_OpenAIFReceiveChannel(ctx);
        ASSERT_NE(s, nullptr);
    }
    EXPECT_EQ(faos_OpenAIFReceiveChannel(ctx), nullptr);
    faos_CloseAIFReceiveChannel(ctx, slots[1]);
    void* again = faos_OpenAIFReceiveChannel(ctx);
    EXPECT_EQ(again, slots[1]);
    EXPECT_EQ(countRequests("ulb0 0x420d0"), 4u);
    // The channel id travels by value on close.
    EXPECT_EQ(countRequests("ulb0 0x420d8"), 1u);
}

TEST_F(AifChannelTest, FetchesWholeFibsAndReportsAnEmptyQueue)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    // Raised while no channel is open: kept for the first channel.
    sim().raiseEvent(0, 4, {11, 12});
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    sim().raiseEvent(0, 15, {7});
    _FIB fib;
    std::memset(&fib, 0xEE, sizeof fib);
    ASSERT_EQ(faos_GetAIF(ctx, slot, 0, &fib), 0);
    EXPECT_EQ(fib.Header.Command, 700u);
    EXPECT_EQ(fib.Header.SenderSize, 512u);
    EXPECT_EQ(faGetLe32(fib.data), 1u);
    EXPECT_EQ(faGetLe32(fib.data + 8), 4u);
    EXPECT_EQ(faGetLe32(fib.data + 12), 11u);
    EXPECT_EQ(faGetLe32(fib.data + 16), 12u);
    EXPECT_EQ(fib.data[479], 0);  // the whole 512 bytes were copied
    ASSERT_EQ(faos_GetAIF(ctx, slot, 0, &fib), 0);
    EXPECT_EQ(faGetLe32(fib.data + 8), 15u);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(faos_GetAIF(ctx, slot, 0, &fib), 1);
    // A fetch always rests 50 ms before it returns.
    EXPECT_GE(sim().clockMs() - before, 50u);
    faos_CloseAIFReceiveChannel(ctx, slot);
    EXPECT_EQ(faos_GetAIF(ctx, slot, 0, &fib), 3);
    EXPECT_EQ(faos_GetAIF(ctx, nullptr, 0, &fib), 3);
}

TEST_F(AifChannelTest, AnEmptyFetchWithoutWaitKeepsThePollingPace)
{
    // A fetch that finds a FIB rests 50 ms; one that finds nothing with wait
    // 0 rests after its attempt, for its result and before it returns.
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    sim().raiseEvent(0, 5);
    struct Case {
        int result;
        uint64_t ms;
    };
    for (const Case& c : {Case{0, 50}, Case{1, 150}}) {
        SCOPED_TRACE(c.result);
        _FIB fib;
        const uint64_t before = sim().clockMs();
        EXPECT_EQ(faos_GetAIF(ctx, slot, 0, &fib), c.result);
        EXPECT_EQ(sim().clockMs() - before, c.ms);
    }
    faos_CloseAIFReceiveChannel(ctx, slot);
}

TEST_F(AifChannelTest, InterruptedFetchOfAnOpenChannelAsksAgain)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    sim().raiseEvent(0, 5);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d4", "errno = 4"}));
    _FIB fib;
    std::memset(&fib, 0, sizeof fib);
    EXPECT_EQ(faos_GetAIF(ctx, slot, 0, &fib), 0);
    EXPECT_EQ(faGetLe32(fib.data + 8), 5u);
    EXPECT_EQ(countRequests("ulb0 0x420d4 fault=0 errno=4"), 1u);
    faos_CloseAIFReceiveChannel(ctx, slot);
}

TEST_F(AifChannelTest, CloseWakesAWaitingFetchAndWaitsForIt)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    // The two threads wait on each other through polled sleeps.
    sim().setSleepScale(10);
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    std::atomic<int> result{-1};
    std::thread fetcher([&] {
        _FIB fib;
        result = faos_GetAIF(ctx, slot, 1, &fib);
    });
    FAUX_AIF_CONTEXT* s = static_cast<FAUX_AIF_CONTEXT*>(slot);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (countRequests("ulb0 0x420d4 errno=11") < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    faos_CloseAIFReceiveChannel(ctx, slot);
    fetcher.join();
    EXPECT_EQ(result.load(), 2);
    EXPECT_EQ(s->inUse, 0u);
    EXPECT_EQ(s->channelId, 0u);
    // The driver's channel was closed only after the fetch had let go.
    const std::vector<std::string> lines = sim().requestLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "ulb0 0x420d8");
}

TEST_F(AifChannelTest, FailuresFreeTheirSlots)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d0", "errno = 24", 0, 3}));
    for (int i = 0; i < 3; ++i) {
        try {
            faos_OpenAIFReceiveChannel(ctx);
            ADD_FAILURE() << "open " << i << " did not fail";
        } catch (FSA_STATUS status) {
            EXPECT_EQ(status, 479u);
        }
    }
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    // A refused close still frees the slot, then reports.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d8", "errno = 22"}));
    EXPECT_THROW(faos_CloseAIFReceiveChannel(ctx, slot), FSA_STATUS);
    EXPECT_EQ(static_cast<FAUX_AIF_CONTEXT*>(slot)->inUse, 0u);
    // A remote adapter has no channel.
    ctx->remoteAdapter = 1;
    try {
        faos_OpenAIFReceiveChannel(ctx);
        ADD_FAILURE() << "remote open did not throw";
    } catch (FSA_STATUS status) {
        EXPECT_EQ(status, 66u);
    }
    ctx->remoteAdapter = 0;
    faos_CloseAIFReceiveChannel(ctx, nullptr);
}

TEST_F(AifChannelTest, AChannelTheDriverForgotGivesClosing)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* slot = faos_OpenAIFReceiveChannel(ctx);
    ASSERT_NE(slot, nullptr);
    // The driver drops channels with its descriptor.
    ASSERT_EQ(sim().io().ioctlValue(ctx->commContext->fd, FSACTL_CLOSE_GET_ADAPTER_FIB,
                                    static_cast<FAUX_AIF_CONTEXT*>(slot)->channelId),
              0);
    _FIB fib;
    EXPECT_EQ(faos_GetAIF(ctx, slot, 1, &fib), 2);
}

}  // namespace
