#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "FsaContextTest.h"

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using vyn::hostsim::Fault;

class FibTest : public vyntest::FsaContextTest {
protected:
    FSAAPI_CONTEXT* start()
    {
        startSimulator("adapters = 1\n");
        FSAAPI_CONTEXT* ctx = openContext();
        sim().clearRequests();
        return ctx;
    }

    static _FIB fib704()
    {
        _FIB fib;
        std::memset(&fib, 0, sizeof fib);
        fib.Header.XferState = FSA_FIB_XFER_BUILT;
        fib.Header.Command = FIB_CMD_IS_ADAPTER_PAUSED;
        fib.Header.StructType = 1;
        fib.Header.Size = 4;
        return fib;
    }
};

TEST_F(FibTest, PassThroughSendsThePausedQuery)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    _FIB fib = fib704();
    EXPECT_EQ(FsaSendReceiveFib(handleOf(ctx), &fib), 1u);
    EXPECT_EQ(faGetLe32(fib.data), 0u);
    EXPECT_EQ(fib.Header.XferState, 0x00100001u);
    EXPECT_EQ(fib.Header.SenderSize, 512u);
    EXPECT_EQ(sim().requestLines(), std::vector<std::string>{"ulb0 0x42008 cmd=704 xfer=0x00100001 size=4 sender=512"});
}

TEST_F(FibTest, LargeFibGoesOutWithTheLargeRequest)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    _LARGE_FIB large;
    std::memset(&large, 0, sizeof large);
    large.Header.Command = FIB_CMD_IS_ADAPTER_PAUSED;
    large.Header.Size = 4;
    EXPECT_EQ(FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(&large), 1, FSA_LARGE_FIB_SIZE), 1u);
    EXPECT_EQ(large.Header.SenderSize, 2048u);
    EXPECT_EQ(sim().requestLines(),
              std::vector<std::string>{"ulb0 0x42168 cmd=704 xfer=0x00100001 size=4 sender=2048"});
}

TEST_F(FibTest, PassThroughRefusalsSendNothing)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    _FIB fib = fib704();
    EXPECT_EQ(FsaSendReceiveFib(FsaHandleFromNumber(77), &fib), 9u);
    EXPECT_EQ(FsaSendReceiveFib(handleOf(ctx), nullptr), 7u);
    ctx->accessMode = FSA_ACC_READ_ONLY;
    EXPECT_EQ(FsaSendReceiveFib(handleOf(ctx), &fib), 124u);
    ctx->accessMode = FSA_ACC_READ_WRITE;
    ctx->paused = 1;
    EXPECT_EQ(FsaSendReceiveFib(handleOf(ctx), &fib), 129u);
    ctx->paused = 0;
    // A read-write routine on a read-only handle.
    ctx->accessMode = FSA_ACC_READ_ONLY;
    EXPECT_EQ(FsaExportedCall("FsaSetSomething", handleOf(ctx), FSA_READ_WRITE_ROUTINE,
                              [&](FSAAPI_CONTEXT* c) { return FsaInternalSendReceiveFib(c, &fib, 1, 512); }),
              122u);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(FibTest, FailedSendLeavesAsExceptionWithTheMutexFree)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    _FIB fib = fib704();
    fib.data[0] = 0xAB;
    try {
        FsaSendReceiveFib(handleOf(ctx), &fib);
        ADD_FAILURE() << "no exception";
    } catch (FSA_STATUS status) {
        EXPECT_EQ(status, 479u);
    }
    EXPECT_EQ(ctx->mutexHeld, 0);
    bool taken = false;
    std::thread other([&] {
        taken = static_cast<CMutexHandle*>(ctx->contextMutex)->locked.load() == 0 &&
                faos_WaitForAndGetMutex(ctx->contextMutex) == 1;
        faos_ReleaseMutex(ctx->contextMutex);
    });
    other.join();
    EXPECT_TRUE(taken);
    // The internal send returns the status when asked not to throw; the FIB
    // keeps what it held.
    EXPECT_EQ(faos_SendReceiveFIB(ctx, &fib, 512), 1u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    fib.data[0] = 0xAB;
    EXPECT_EQ(FsaInternalSendReceiveFib(ctx, &fib, 0, 512), 479u);
    EXPECT_EQ(fib.data[0], 0xAB);
}

TEST_F(FibTest, CrcHasNoInitialOrFinalInversion)
{
    const unsigned char abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(FsaInternalComputeCrc32(abc, abc + 2, 0), 0xCA6598D0u);
    EXPECT_EQ(FsaInternalComputeCrc32(abc, abc, 0), FsaInternalComputeCrc32(abc, abc, 0));
}

TEST_F(FibTest, LargeTransferInChunks)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    std::vector<unsigned char> data(1997);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    unsigned char reply[2048] = {};
    unsigned replyLength = sizeof reply;

    // Without the option nothing goes out.
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 3, data.data(), 1997, reply, &replyLength), 31u);
    EXPECT_TRUE(sim().requests().empty());

    ctx->supportedOptions = FSA_SUPPORTED_LARGE_TRANSFER;
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 3, data.data(), 0, reply, &replyLength), 7u);
    EXPECT_TRUE(sim().requests().empty());

    // 1996 bytes and one more: the simulator checks each CRC and the handle.
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 3, data.data(), 1997, reply, &replyLength), 1u);
    EXPECT_EQ(replyLength, 1u);
    EXPECT_EQ(reply[0], data[1996]);
    const std::vector<std::string> two(2, "ulb0 0x42168 cmd=907 xfer=0x00100001 size=2016 sender=2048");
    EXPECT_EQ(sim().requestLines(), two);

    sim().clearRequests();
    replyLength = sizeof reply;
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 3, data.data(), 1996, reply, &replyLength), 1u);
    EXPECT_EQ(sim().requests().size(), 1u);
    EXPECT_EQ(replyLength, 1996u);
}

TEST_F(FibTest, RefusedOrEarlyCompletedTransferGivesBadParameter)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ctx->supportedOptions = FSA_SUPPORTED_LARGE_TRANSFER;
    std::vector<unsigned char> data(3000, 0x5A);
    unsigned replyLength = 0;
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 907", "status = 5"}));
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 1, data.data(), 3000, nullptr, &replyLength), 7u);
    EXPECT_EQ(sim().requests().size(), 1u);
    sim().clearRequests();
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 907", "status = 6"}));
    EXPECT_EQ(FsaInternalSendReceiveFibWithLargeTransfer(ctx, 1, data.data(), 3000, nullptr, &replyLength), 7u);
    EXPECT_EQ(sim().requests().size(), 1u);
}

// Adapter-initiated FIBs as the driver hands them over.
_FIB eventFib(uint32_t kind, uint32_t code, uint16_t size)
{
    _FIB fib;
    std::memset(&fib, 0, sizeof fib);
    fib.Header.Command = 700;
    fib.Header.Size = size;
    faPutLe32(fib.data, kind);
    faPutLe32(fib.data + 8, code);
    return fib;
}

int drain(FSA_ASYNC_FIB_CACHE& cache, std::vector<_FIB>* out = nullptr)
{
    int n = 0;
    _FIB fib;
    while (cache.GetFirstAsyncFib(&fib) == 1) {
        ++n;
        if (out != nullptr)
            out->push_back(fib);
    }
    return n;
}

TEST(AsyncFibCache, BatchesSplitIntoOneFibPerReport)
{
    FSA_ASYNC_FIB_CACHE cache;
    _FIB batch = eventFib(2, 0, 136);
    for (int i = 0; i < 2; ++i) {
        faPutLe32(batch.data + 8 + 48 * i, 100 + i);        // word 2 of the element
        faPutLe32(batch.data + 8 + 48 * i + 16, 7);         // word 6
        faPutLe32(batch.data + 8 + 48 * i + 32, 10 + i);    // word 10
    }
    cache.PushOnList(&batch);
    std::vector<_FIB> out;
    ASSERT_EQ(drain(cache, &out), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(out[i].Header.Size, 88u);
        EXPECT_EQ(faGetLe32(out[i].data + 8), 100u + i);
        EXPECT_EQ(faGetLe32(out[i].data + 40), 10u + i);
    }
    _FIB empty;
    EXPECT_EQ(cache.GetFirstAsyncFib(&empty), 0);
}

TEST(AsyncFibCache, RepeatedEventsAndReportsAreFolded)
{
    FSA_ASYNC_FIB_CACHE cache;
    const _FIB event = eventFib(1, 3, 20);
    cache.PushOnList(&event);
    cache.PushOnList(&event);
    // Event 2 is not folded.
    const _FIB other = eventFib(1, 2, 20);
    cache.PushOnList(&other);
    cache.PushOnList(&other);
    EXPECT_EQ(drain(cache), 3);

    _FIB report = eventFib(2, 55, 88);
    faPutLe32(report.data + 24, 9);   // word 6
    faPutLe32(report.data + 40, 1);   // word 10
    faPutLe32(report.data + 44, 2);   // word 11
    cache.PushOnList(&report);
    faPutLe32(report.data + 40, 30);
    faPutLe32(report.data + 44, 40);
    cache.PushOnList(&report);
    std::vector<_FIB> out;
    ASSERT_EQ(drain(cache, &out), 1);
    EXPECT_EQ(faGetLe32(out[0].data + 40), 30u);
    EXPECT_EQ(faGetLe32(out[0].data + 44), 40u);
}

TEST(AsyncFibCache, AFirmwareSizeNeverLeadsOutsideThePayload)
{
    struct Case {
        uint16_t size;
        int queued;
    };
    for (const Case& c : {Case{2000, 9}, Case{87, 0}, Case{40, 0}, Case{0, 0}, Case{88, 1}}) {
        SCOPED_TRACE(c.size);
        FSA_ASYNC_FIB_CACHE cache;
        _FIB batch = eventFib(2, 0, c.size);
        for (int i = 0; i < 9; ++i)
            faPutLe32(batch.data + 8 + 48 * i, static_cast<uint32_t>(i + 1));
        cache.PushOnList(&batch);
        EXPECT_EQ(drain(cache), c.queued);
    }
}

}  // namespace
