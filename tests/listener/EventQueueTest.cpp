#include "AenTestSupport.h"

#include "listener/AenDaemon.h"
#include "listener/PlugInManager.h"
#include "listener/osal/FnLogger.h"

#include <pthread.h>
#include <semaphore.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using aentest::AenDaemonTest;
using namespace std::chrono_literals;

// Bounds a hang only; a passing run never waits this long, and a slow one
// (parallel sanitizer runs on a small machine) must not fail for its pace.
constexpr std::chrono::seconds kDeadline{30};

_vynEvent makeEvent(const std::string& desc, uint32_t code)
{
    _vynEvent e;
    e.eventTime = "t" + std::to_string(code);
    e.eventCode = code;
    e.eventType = 2;
    e.eventDesc = desc;
    e.identifier = "ctl0";
    return e;
}

class EventQueueTest : public AenDaemonTest {
protected:
    void startProcessThread(const char* plugin)
    {
        writeInstallFile("PlugInConfig.txt", std::string("PLUGIN=") + plugin + "\nSTATE=ON\n");
        ASSERT_EQ(AenDaemonLoadPlugIn(), 0);
        ASSERT_EQ(TovCreateEvent(&gAenConfig.TerminateEvent, "", 0), 0u);
        ASSERT_EQ(TovCreateEvent(&gAenConfig.AenMonitorEvent, "", 0), 0u);
        ASSERT_EQ(TovCreateEvent(&gAenConfig.AenPushedToQEvent, "", 0), 0u);
        gAenConfig.QueueMutex = TovMutexInit();
        gAenConfig.CurrentStatus.store(AEN_STATUS_RUNNING);
        gAenConfig.ProcessThread = TovThreadCreate(processAenThread, nullptr);
        ASSERT_NE(gAenConfig.ProcessThread, nullptr);
    }

    // Waits until the process thread has handed a record to the plug-in.
    bool waitUntilNotifying() const
    {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        while (!logHas("Calling NotifyFunc")) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    // Runs `stop` and fails the whole program when the process thread does not
    // end: a hung join must not hold the suite until its time-out.
    void expectStopsWithin(std::function<void()> stop)
    {
        auto done = std::async(std::launch::async, stop);
        if (done.wait_for(kDeadline) != std::future_status::ready) {
            std::fprintf(stderr, "process thread did not end\n");
            std::_Exit(1);
        }
    }
};

TEST_F(EventQueueTest, EventsQueuedWhileAPlugInIsBusyArriveInOrderOnce)
{
    // The slow plug-in holds the first event until the test lets it go.
    ::setenv("VYN_PLUGIN_RELEASE", "/tmp/release", 1);
    startProcessThread("slownotify");
    AenQueueEvent(makeEvent("first", 1));
    ASSERT_TRUE(waitUntilNotifying());
    AenQueueEvent(makeEvent("second", 2));
    AenQueueEvent(makeEvent("third", 3));
    AenQueueEvent(makeEvent("", 4));
    // All three wait in the queue while the plug-in is busy, and the queue
    // stays open meanwhile: plug-ins run outside its lock.
    std::size_t waiting = 0;
    const int locked = pthread_mutex_trylock(static_cast<pthread_mutex_t*>(gAenConfig.QueueMutex));
    EXPECT_EQ(locked, 0) << "queue locked while a plug-in runs";
    if (locked == 0) {
        waiting = gAenConfig.EventQueue.size();
        TovMutexUnlock(gAenConfig.QueueMutex);
    }
    EXPECT_EQ(waiting, 3u);
    EXPECT_EQ(pluginLines(), std::vector<std::string>{"init"});
    vyntest::writeFile(hostFile("/tmp/release"), "");
    ASSERT_TRUE(waitForPluginLines(5, kDeadline));

    expectStopsWithin([] {
        gAenConfig.CurrentStatus.store(AEN_STATUS_STOPPING);
        TovSetEvent(gAenConfig.AenPushedToQEvent);
        TovWaitForThreadTerminate(gAenConfig.ProcessThread);
    });
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"init", "t1|1|2|first|ctl0", "t2|2|2|second|ctl0",
                                                        "t3|3|2|third|ctl0", "t4|4|2||ctl0"}));
    EXPECT_TRUE(logHas("Received event : second , Time Stamp : t2 : eventType : 2 : eventCode : 2"));
    EXPECT_TRUE(logHas("Received event :  , Time Stamp : t4 : eventType : 2 : eventCode : 4"));
    EXPECT_TRUE(logHas("Process AEN Thread received terminate event!"));
    EXPECT_TRUE(logHas("Leaving processAenThread"));
}

TEST_F(EventQueueTest, ProducerWakesBothThreadsOncePerRecord)
{
    ASSERT_EQ(TovCreateEvent(&gAenConfig.AenMonitorEvent, "", 0), 0u);
    ASSERT_EQ(TovCreateEvent(&gAenConfig.AenPushedToQEvent, "", 0), 0u);
    gAenConfig.QueueMutex = TovMutexInit();
    AenQueueEvent(makeEvent("a", 1));
    AenQueueEvent(makeEvent("b", 2));
    ASSERT_EQ(gAenConfig.EventQueue.size(), 2u);
    EXPECT_EQ(gAenConfig.EventQueue.front().eventDesc, "a");
    int pushed = 0;
    int monitor = 0;
    while (sem_trywait(static_cast<sem_t*>(gAenConfig.AenPushedToQEvent)) == 0)
        ++pushed;
    while (sem_trywait(static_cast<sem_t*>(gAenConfig.AenMonitorEvent)) == 0)
        ++monitor;
    EXPECT_EQ(pushed, 2);
    EXPECT_EQ(monitor, 2);
}

TEST_F(EventQueueTest, StopSequenceEndsTheThreadWhileStatusStillReadsRunning)
{
    // The monitor thread gives up on its own (a failed subscription, say)
    // before the main thread has changed the status.
    startProcessThread("notifyfile");
    AenQueueEvent(makeEvent("one", 1));
    ASSERT_TRUE(waitForPluginLines(2, kDeadline));
    expectStopsWithin([] {
        FnLogger logger("test", "vynlistend.log");
        AenStopProcessThread(logger, false);
    });
    EXPECT_EQ(gAenConfig.CurrentStatus.load(), AEN_STATUS_RUNNING);
    EXPECT_TRUE(logHas("Shutting down the Daemon Now!!"));
    EXPECT_TRUE(logHas("Aen Monitor Thread is waiting for Process AEN thread to End"));
    EXPECT_TRUE(logHas("Process AEN thread terminated"));
    // The stop also asks the main thread to stop the daemon.
    EXPECT_EQ(sem_trywait(static_cast<sem_t*>(gAenConfig.TerminateEvent)), 0);
}

TEST_F(EventQueueTest, LeftOverWakeUpsWithAnEmptyQueueWaitAgain)
{
    startProcessThread("notifyfile");
    // Counts without records: the thread must not take from the empty queue.
    TovSetEvent(gAenConfig.AenPushedToQEvent);
    TovSetEvent(gAenConfig.AenPushedToQEvent);
    AenQueueEvent(makeEvent("real", 7));
    ASSERT_TRUE(waitForPluginLines(2, kDeadline));
    expectStopsWithin([] {
        gAenConfig.CurrentStatus.store(AEN_STATUS_STOPPING_2);
        TovSetEvent(gAenConfig.AenPushedToQEvent);
        TovWaitForThreadTerminate(gAenConfig.ProcessThread);
    });
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"init", "t7|7|2|real|ctl0"}));
}

TEST_F(EventQueueTest, RecordsStillQueuedAtStopAreDropped)
{
    startProcessThread("slownotify");
    AenQueueEvent(makeEvent("busy", 1));
    // Taken before the stop: a wake-up that already finds the daemon stopping
    // would leave it queued as well.
    ASSERT_TRUE(waitUntilNotifying());
    gAenConfig.CurrentStatus.store(AEN_STATUS_STOPPING);
    expectStopsWithin([] {
        FnLogger logger("test", "vynlistend.log");
        AenStopProcessThread(logger, true);
    });
    // Queued after the stop: nobody takes it any more.
    AenQueueEvent(makeEvent("late", 2));
    EXPECT_EQ(gAenConfig.EventQueue.size(), 1u);
    EXPECT_TRUE(logHas("AenPushedToQEvent is SET"));
}

}  // namespace
