#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_semaphore.h"
#include "Command/Vyn/os/faux_signals.h"
#include "Command/Vyn/os/faux_threads.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// Waits poll through the seam: a simulator measures them on its clock.
class SyncTest : public vyntest::SimulatorTest {
protected:
    void SetUp() override
    {
        vyntest::SimulatorTest::SetUp();
        startSimulator("[hostsim]\npersist = 0\n");
    }

    static int lockedSeenByAnotherThread(void* m)
    {
        int seen = -1;
        std::thread([&] { seen = faux_locked(m); }).join();
        return seen;
    }
};

TEST_F(SyncTest, OwnerReentersAndOnlyTheLastReleaseFrees)
{
    char name[] = "ctx";
    void* m = faos_CreateMutex(name);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(faos_WaitForAndGetMutex(m), 1u);
    EXPECT_EQ(static_cast<CMutexHandle*>(m)->lockCount.load(), 3);
    EXPECT_EQ(faos_ReleaseMutex(m), 1u);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 1);
    EXPECT_EQ(faos_ReleaseMutex(m), 1u);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 1);
    EXPECT_EQ(faos_ReleaseMutex(m), 1u);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 0);
    EXPECT_EQ(faos_ReleaseMutex(m), 0u);  // not held any more
    EXPECT_EQ(faos_DestroyMutex(m), 1u);
    EXPECT_EQ(faos_DestroyMutex(nullptr), 0u);
    EXPECT_EQ(faux_locked(nullptr), 0);
}

TEST_F(SyncTest, ANonOwnersReleaseReturnsZeroAndChangesNothing)
{
    void* m = faos_CreateMutex(nullptr);
    faos_WaitForAndGetMutex(m);
    FSA_STATUS released = 9;
    std::thread([&] { released = faos_ReleaseMutex(m); }).join();
    EXPECT_EQ(released, 0u);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 1);
    EXPECT_EQ(faos_ReleaseMutex(m), 1u);
    faos_DestroyMutex(m);
}

TEST_F(SyncTest, AWaiterGivesUpAfter2400Polls)
{
    sim().setSleepScale(0);
    void* m = faos_CreateMutex(nullptr);
    faos_WaitForAndGetMutex(m);
    FSA_STATUS thrown = 0;
    std::thread([&] {
        try {
            faos_WaitForAndGetMutex(m);
        } catch (FSA_STATUS s) {
            thrown = s;
        }
    }).join();
    EXPECT_EQ(thrown, 486u);
    EXPECT_EQ(sim().clockMs(), 2400u * 50);
    // still usable after the time-out
    EXPECT_EQ(faos_ReleaseMutex(m), 1u);
    EXPECT_EQ(lockedSeenByAnotherThread(m), 0);
    faos_DestroyMutex(m);
}

TEST_F(SyncTest, AWaiterTakesTheMutexOnceItIsFree)
{
    sim().setSleepScale(10);
    void* m = faos_CreateMutex(nullptr);
    faos_WaitForAndGetMutex(m);
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        faos_WaitForAndGetMutex(m);
        got = true;
        faos_ReleaseMutex(m);
    });
    while (sim().clockMs() < 100)
        std::this_thread::yield();
    EXPECT_FALSE(got.load());
    faos_ReleaseMutex(m);
    waiter.join();
    EXPECT_TRUE(got.load());
    faos_DestroyMutex(m);
}

TEST_F(SyncTest, NullHandlesGiveStatusesNotCrashes)
{
    EXPECT_THROW(faos_WaitForAndGetMutex(nullptr), FSA_STATUS);
    EXPECT_EQ(faos_ReleaseMutex(nullptr), 0u);
    EXPECT_THROW(faos_WaitForSemaphore(nullptr, 0), FSA_STATUS);
    EXPECT_THROW(faos_SetSemaphore(nullptr), FSA_STATUS);
    EXPECT_EQ(faos_ResetSemaphore(nullptr), 1u);
    EXPECT_THROW(faos_DestroySemaphore(nullptr), FSA_STATUS);
}

TEST_F(SyncTest, SemaphoreLimitIs5000MsForAnyTimeoutButMinusOne)
{
    sim().setSleepScale(0);
    void* s = faos_CreateSemaphore();
    for (int timeout : {180000, 0, 10}) {
        const uint64_t before = sim().clockMs();
        EXPECT_THROW(
            {
                try {
                    faos_WaitForSemaphore(s, timeout);
                } catch (FSA_STATUS st) {
                    EXPECT_EQ(st, 490u);
                    throw;
                }
            },
            FSA_STATUS);
        EXPECT_EQ(sim().clockMs() - before, 100u * 50) << timeout;
    }
    faos_SetSemaphore(s);
    EXPECT_EQ(faos_ResetSemaphore(s), 1u);
    EXPECT_EQ(static_cast<CSemaHandle*>(s)->getSemaType(), 1);  // reset only traces
    EXPECT_EQ(faos_WaitForSemaphore(s, 0), 1u);
    EXPECT_EQ(faos_DestroySemaphore(s), 1u);
}

TEST_F(SyncTest, WaitingForeverEndsWithAPostFromAnotherThread)
{
    sim().setSleepScale(10);
    void* s = faos_CreateSemaphore();
    std::thread poster([&] {
        while (sim().clockMs() < 6000)
            std::this_thread::yield();
        faos_SetSemaphore(s);
    });
    EXPECT_EQ(faos_WaitForSemaphore(s, -1), 1u);
    EXPECT_GE(sim().clockMs(), 6000u);  // beyond the 5000 ms of other timeouts
    poster.join();
    faos_DestroySemaphore(s);
}

std::atomic<int> threadRan{0};

void* detachedBody(void* arg)
{
    threadRan.store(*static_cast<int*>(arg));
    return nullptr;
}

TEST_F(SyncTest, DetachedThreadsRunAndSleepsGoThroughTheSeam)
{
    static int value = 7;
    faos_CreateThread(detachedBody, &value);
    for (int i = 0; i < 2000 && threadRan.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(threadRan.load(), 7);
    sim().setSleepScale(0);
    const uint64_t before = sim().clockMs();
    faos_SwitchThread();
    EXPECT_EQ(sim().clockMs() - before, 50u);
    faos_Sleep(1234);
    EXPECT_EQ(sim().clockMs() - before, 50u + 1234u);
}

TEST(SignalTableTest, RowsAndNames)
{
    EXPECT_STREQ(faux_mbSignalName(28), "SIGWINCH");
    EXPECT_STREQ(faux_mbSignalName(16), "SIGSTKFLT");
    EXPECT_STREQ(faux_mbSignalName(30), "SIGPWR");
    EXPECT_EQ(faux_mbSignalName(3), nullptr);
    int rows = 0;
    for (const FAUX_SIGNAL_ROW* row = faux_clsSignals; row->signo != 0; ++row)
        ++rows;
    EXPECT_EQ(rows, 12);
}

void exitFunction()
{
    std::fputs("exit function called\n", stderr);
}

std::atomic<int> resets{0};
void resetFunction() { ++resets; }

TEST(SignalTableTest, TermCallsTheExitFunctionAndDiesOfTheSignal)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            FsaUxInitSignal(exitFunction, nullptr);
            ::raise(SIGTERM);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "exit function called");
}

TEST(SignalTableTest, GeneralRowsStayInstalled)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            FsaUxInitSignal(exitFunction, resetFunction);
            ::raise(SIGWINCH);
            ::raise(SIGWINCH);
            std::_Exit(resets.load() == 2 ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
