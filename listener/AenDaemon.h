#ifndef VYN_LISTENER_AENDAEMON_H
#define VYN_LISTENER_AENDAEMON_H

#include "listener/VynEvent.h"
#include "listener/osal/Tov.h"

#include <signal.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>

class FnLogger;
struct PlugInNode;

// Trace file of the daemon under "/var/log/".
extern const char* const AEN_LOG_FILE;

// Values of `CurrentStatus`; 3 and 4 both mean the daemon is stopping.
enum : uint32_t {
    AEN_STATUS_STARTING = 0,
    AEN_STATUS_RUNNING = 1,
    AEN_STATUS_RUNNING_2 = 2,
    AEN_STATUS_STOPPING = 3,
    AEN_STATUS_STOPPING_2 = 4,
};

// The daemon state that all its threads share.
struct _AenConfigInfo {
    std::atomic<uint32_t> CurrentStatus{AEN_STATUS_STARTING};
    TovEventHandle TerminateEvent = nullptr;
    TovEventHandle AenMonitorEvent = nullptr;
    TovEventHandle AenPushedToQEvent = nullptr;
    TovThreadHandle MonitorThread = nullptr;
    TovThreadHandle ProcessThread = nullptr;
    TovMutexHandle QueueMutex = nullptr;
    std::deque<_vynEvent> EventQueue;
    PlugInNode* PlugInList = nullptr;
    int ConfigFileFd = -1;
    // Raised by every stop path before the process thread is woken for the
    // last time, so that it ends even when `CurrentStatus` still reads 1.
    std::atomic<bool> StopRequested{false};
};

extern _AenConfigInfo gAenConfig;

bool AenIsStopping();

// Start-up, signals and shutdown. `exit_status` is the launcher's verdict,
// 0 while no signal from the child has arrived.
extern volatile sig_atomic_t exit_status;
int daemonize(int delayedStart);
void child_handler(int signal);
void* sig_thread(void* unused);
void* aenMonitorThread(void* unused);
void AenTerminateMonitor();
// The daemon's life after it has detached: creates the terminate event, starts
// the monitor thread, reports to `launcher` (SIGUSR1, or SIGALRM on a failure)
// and runs the stop sequence once the terminate event fires. Returns the exit
// status. Its lines go to the caller's trace, whose last line is then
// "AEN_DAEMON: bye bye ".
int AenDaemonServe(pid_t launcher, FnLogger& logger);

// Event queue.
void* processAenThread(void* unused);
// Producer side: queues a copy and wakes the process and monitor threads.
void AenQueueEvent(const _vynEvent& event);

// The stop sequence shared by the monitor thread's paths: sets the terminate
// event, wakes the process thread for the last time and waits for it. Its
// lines go to the caller's trace.
void AenStopProcessThread(FnLogger& logger, bool announceWakeUp);

// CIM work of the monitor thread; returns when the daemon stops.
void AenDaemonStartConsumerNProcessEvent();

#endif
