#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_main.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

namespace {

class FrameTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        char name[] = "OmrWrapperMutexulb0";
        ctx_.contextMutex = faos_CreateMutex(name);
        handle_ = FsaHandleFromNumber(UtilCreateHandle(&ctx_));
    }
    void TearDown() override
    {
        UtilDeleteHandle(handle_);
        HostRootTest::TearDown();
    }

    // An exported routine whose work counts its runs.
    FSA_STATUS call(const FsaGateKind& gate)
    {
        return FsaExportedCall("FrameTestRoutine", handle_, gate, [this](FSAAPI_CONTEXT*) {
            ++runs_;
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        });
    }

    CMutexHandle* mutex() { return static_cast<CMutexHandle*>(ctx_.contextMutex); }

    FSAAPI_CONTEXT ctx_;
    void* handle_ = nullptr;
    int runs_ = 0;
};

TEST_F(FrameTest, GatesAcceptTheirModesOnly)
{
    struct Case {
        const FsaGateKind* gate;
        const char* name;
        uint32_t accepted;  // bit n: mode n accepted
        FSA_STATUS refused;
    };
    const Case cases[] = {
        {&FSA_READ_ONLY_ROUTINE, "read-only", 0x7F, 123},
        {&FSA_READ_ONLY_PAUSE_OK_ROUTINE, "read-only pause-OK", 0x7F, 123},
        {&FSA_READ_WRITE_ROUTINE, "read-write", 1 << 1 | 1 << 3 | 1 << 6, 122},
        {&FSA_RW_PAUSE_OK_ROUTINE, "read-write pause-OK", 1 << 1 | 1 << 3 | 1 << 6, 122},
        {&FSA_OS_READ_WRITE_ROUTINE, "OS-layer read-write", 1 << 1 | 1 << 3 | 1 << 6, 122},
        {&FSA_PASS_THROUGH_ROUTINE, "pass-through", 1 << 1 | 1 << 2 | 1 << 3 | 1 << 6, 124},
    };
    for (const Case& c : cases) {
        for (int mode = 0; mode <= 7; ++mode) {
            SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(mode));
            ctx_.accessMode = static_cast<FSA_ACCESS>(mode);
            runs_ = 0;
            const bool accepted = (c.accepted >> mode & 1) != 0;
            EXPECT_EQ(call(*c.gate), accepted ? 1u : c.refused);
            EXPECT_EQ(runs_, accepted ? 1 : 0);
        }
    }
}

TEST_F(FrameTest, UnknownHandleIsRefusedBeforeAnything)
{
    EXPECT_EQ(FsaExportedCall("FrameTestRoutine", FsaHandleFromNumber(1), FSA_READ_ONLY_ROUTINE,
                              [this](FSAAPI_CONTEXT*) {
                                  ++runs_;
                                  return static_cast<FSA_STATUS>(1);
                              }),
              9u);
    EXPECT_EQ(runs_, 0);
}

TEST_F(FrameTest, PausedControllerRefusesAllButPauseOkRoutines)
{
    ctx_.accessMode = FSA_ACC_READ_WRITE;
    ctx_.paused = 1;
    EXPECT_EQ(call(FSA_READ_ONLY_ROUTINE), 129u);
    EXPECT_EQ(call(FSA_READ_WRITE_ROUTINE), 129u);
    EXPECT_EQ(call(FSA_OS_READ_WRITE_ROUTINE), 129u);
    EXPECT_EQ(runs_, 0);
    EXPECT_EQ(call(FSA_READ_ONLY_PAUSE_OK_ROUTINE), 1u);
    EXPECT_EQ(call(FSA_RW_PAUSE_OK_ROUTINE), 1u);
    EXPECT_EQ(runs_, 2);
    // The late check runs with the context mutex held and releases it.
    EXPECT_EQ(mutex()->locked.load(), 0);
    EXPECT_EQ(ctx_.mutexHeld, 0);
}

TEST_F(FrameTest, ThrownStatusBecomesTheResultAndTheGuardsAreReleased)
{
    ctx_.accessMode = FSA_ACC_READ_WRITE;
    ctx_.partitionLayoutCache.buffer = std::malloc(64);
    const FSA_STATUS status = FsaExportedCall("FrameTestRoutine", handle_, FSA_READ_WRITE_ROUTINE,
                                              [](FSAAPI_CONTEXT*) -> FSA_STATUS { return FSA_THROW(0, 42); });
    EXPECT_EQ(status, 42u);
    EXPECT_EQ(ctx_.partitionLayoutCache.buffer, nullptr);
    EXPECT_EQ(mutex()->locked.load(), 0);
    EXPECT_EQ(ctx_.mutexHeld, 0);
    EXPECT_EQ(FSA_THROW(1, 42), 42u);
    EXPECT_THROW(FSA_THROW(0, 42), FSA_STATUS);
}

TEST_F(FrameTest, NestedCallOnTheSameHandleTakesTheMutexOnce)
{
    ctx_.accessMode = FSA_ACC_READ_WRITE;
    int innerRan = 0;
    const FSA_STATUS status = FsaExportedCall("Outer", handle_, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* c) {
        EXPECT_EQ(mutex()->lockCount.load(), 1);
        const FSA_STATUS inner = FsaExportedCall("Inner", handle_, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
            ++innerRan;
            // The inner guard gave its level back at once.
            EXPECT_EQ(mutex()->lockCount.load(), 1);
            return static_cast<FSA_STATUS>(1);
        });
        // Still held by the outer call.
        EXPECT_EQ(mutex()->locked.load(), 1);
        EXPECT_TRUE(pthread_equal(mutex()->owner.load(), pthread_self()));
        EXPECT_EQ(c->mutexHeld, 1);
        return inner;
    });
    EXPECT_EQ(status, 1u);
    EXPECT_EQ(innerRan, 1);
    EXPECT_EQ(mutex()->locked.load(), 0);
    EXPECT_EQ(ctx_.mutexHeld, 0);
}

TEST_F(FrameTest, LowLevelReadOnlyAndUtilityModesNeverLock)
{
    for (FSA_ACCESS mode : {FSA_ACC_LL_READ_ONLY, FSA_ACC_UTILITY}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ctx_.accessMode = mode;
        std::atomic<int> inside{0};
        std::atomic<int> together{0};
        auto routine = [&] {
            FsaExportedCall("Concurrent", handle_, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
                ++inside;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (inside.load() < 2 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (inside.load() == 2)
                    ++together;
                EXPECT_EQ(mutex()->locked.load(), 0);
                return static_cast<FSA_STATUS>(1);
            });
        };
        std::thread a(routine);
        std::thread b(routine);
        a.join();
        b.join();
        EXPECT_EQ(together.load(), 2);
    }
}

TEST_F(FrameTest, StatusTextsOfTheInterface)
{
    struct Case {
        FSA_STATUS status;
        FSA_STATUS result;
        const char* text;
    };
    const Case cases[] = {
        {129, 1, "The controller is paused. It must be resumed before the request can be executed."},
        {11, 1, "The specified container was not found."},
        {26, 1, "The specified chunk or stripe size is invalid."},
        // The older word also where a sentence begins with it.
        {577, 1, "Chunk size is an invalid parameter for container type specified."},
        {1, 1, "OK: The operation was successful."},
        {7, 1, "One of the parameters specified is bad."},
        {479, 1, "The driver could not execute the requested IOCTL sssssssssssssssssssssssss, nnn=ssssssssssssssssssssssssssssss."},
        {619, 1, "There are no devices available."},
        {620, 1, "This controller does not support battery."},
        {52, 1, kFsaNoStatusText},
        {0, 0, kFsaNoStatusText},
        {621, 0, kFsaNoStatusText},
        {637, 0, kFsaNoStatusText},
        {641, 0, kFsaNoStatusText},
        {700, 0, kFsaNoStatusText},
        {999, 0, kFsaNoStatusText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        char text[300];
        EXPECT_EQ(FsaGetErrorTextA(c.status, text), c.result);
        EXPECT_STREQ(text, c.text);
        wchar_t wide[300];
        EXPECT_EQ(FsaGetErrorTextW(c.status, wide), c.result);
        EXPECT_EQ(std::wcslen(wide), std::strlen(c.text));
        EXPECT_EQ(static_cast<char>(wide[0]), c.text[0]);
    }
    EXPECT_EQ(std::string(kFsaNoStatusText).back(), ' ');
    EXPECT_EQ(FsaGetErrorTextA(129, nullptr), 0u);
    EXPECT_EQ(FsaGetErrorTextW(129, nullptr), 0u);
}

TEST_F(FrameTest, EveryRowSpeaksOfContainersAndChunks)
{
    int rows = 0;
    for (FSA_STATUS status = 1; status < 641; ++status) {
        char text[300];
        if (FsaGetErrorTextA(status, text) != 1)
            continue;
        ++rows;
        const std::string t = text;
        EXPECT_EQ(t.find("logical device"), std::string::npos) << status << ": " << t;
        EXPECT_EQ(t.find("segment"), std::string::npos) << status << ": " << t;
        EXPECT_EQ(t.find("Segment"), std::string::npos) << status << ": " << t;
        EXPECT_LT(t.size(), 300u);
    }
    // 622 rows less row 0 and the end marker.
    EXPECT_EQ(rows, 620);
}

TEST_F(FrameTest, StatusTableIsBuiltOnceAcrossThreads)
{
    std::thread threads[4];
    std::atomic<int> ok{0};
    for (std::thread& t : threads)
        t = std::thread([&] {
            char text[300];
            if (FsaGetErrorTextA(17, text) == 1 && std::strstr(text, "containers has been exceeded") != nullptr)
                ++ok;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(ok.load(), 4);
    EXPECT_EQ(&fsaStatusTextTable(), &fsaStatusTextTable());
}

}  // namespace
