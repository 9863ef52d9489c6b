#include "listener/AenDaemon.h"

#include "common/HostPath.h"
#include "listener/PlugInManager.h"
#include "listener/osal/FnLogger.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kLauncherWaitSeconds = 4;
constexpr unsigned kDelayedStartSeconds = 60;
constexpr int kVersion[4] = {1, 0, 0, 0};

TovEventHandle TerminateParent = nullptr;
volatile sig_atomic_t verdictSignal = 0;
sigset_t daemonSigMask;
TovThreadHandle signalThread = nullptr;
// Set once the signal thread has traced its start, so that none of its lines
// can follow the daemon's last one.
TovEventHandle signalThreadReady = nullptr;

const char* signalName(int signal)
{
    switch (signal) {
    case SIGALRM:
        return "SIGALRM";
    case SIGUSR1:
        return "SIGUSR1";
    case SIGCHLD:
        return "SIGCHLD";
    default:
        return "unknown";
    }
}

// Standard streams of the daemon; this is the real null device, not one under
// the host root.
void reopenStandardStreams()
{
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    if (in >= 0) {
        ::dup2(in, STDIN_FILENO);
        if (in != STDIN_FILENO)
            ::close(in);
    }
    if (out >= 0) {
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        if (out != STDOUT_FILENO && out != STDERR_FILENO)
            ::close(out);
    }
}

void releaseCredentialFile(FnLogger& logger)
{
    if (gAenConfig.ConfigFileFd < 0)
        return;
    if (::flock(gAenConfig.ConfigFileFd, LOCK_UN | LOCK_NB) != 0)
        logger.log("flock failed during unlock.\n");
    ::close(gAenConfig.ConfigFileFd);
    gAenConfig.ConfigFileFd = -1;
}

}  // namespace

// The first signal from the child decides, so a child that reports a failure
// and then its start still counts as failed.
volatile sig_atomic_t exit_status = 0;

void child_handler(int signal)
{
    // Only async-signal-safe work here: the verdict is logged by the
    // launcher once its wait returns.
    if (verdictSignal == 0) {
        verdictSignal = signal;
        exit_status = signal == SIGUSR1 ? 0 : 1;
    }
    TovSetEvent(TerminateParent);
}

void* sig_thread(void*)
{
    int signal = 0;
    {
        FnLogger logger("sig_thread", AEN_LOG_FILE);
        TovSetEvent(signalThreadReady);
        if (sigwait(&daemonSigMask, &signal) != 0)
            logger.log("SIG_THREAD: sigwait Failed");
        logger.log("SIG_THREAD: received signal");
        if (signal == SIGTERM)
            logger.log("SIG_THREAD: terminate signal received");
    }
    // Only once this thread's trace is complete: the main thread may run the
    // whole stop sequence, down to its last line, as soon as the event is set.
    if (signal == SIGTERM)
        TovSetEvent(gAenConfig.TerminateEvent);
    return nullptr;
}

void* aenMonitorThread(void*)
{
    FnLogger logger("aenMonitorThread", AEN_LOG_FILE);
    if (TovCreateEvent(&gAenConfig.AenMonitorEvent, "", 0) != TOV_SUCCESS) {
        logger.log("TovCreateEvent() Failed, Closing down Aen Daemon");
        TovSetEvent(gAenConfig.TerminateEvent);
        logger.log("THREAD_EXIT __aenMonitorThread__");
        return nullptr;
    }
    if (AenDaemonLoadPlugIn() == 1) {
        logger.log("PlugIn Loading fails, Closing down Aen Daemon");
        TovSetEvent(gAenConfig.TerminateEvent);
        return nullptr;
    }
    logger.log(" UploadPlugIn Successful");
    if (gAenConfig.CurrentStatus.load() != AEN_STATUS_RUNNING) {
        logger.log("THREAD_EXIT __aenMonitorThread__");
        return nullptr;
    }

    bool started = false;
    if (TovCreateEvent(&gAenConfig.AenPushedToQEvent, "", 0) != TOV_SUCCESS) {
        logger.log("TovCreateEvent() Failed, Closing down Aen Daemon");
    } else {
        gAenConfig.QueueMutex = TovMutexInit();
        if (gAenConfig.QueueMutex != nullptr)
            gAenConfig.ProcessThread = TovThreadCreate(processAenThread, nullptr);
        started = gAenConfig.ProcessThread != nullptr;
        if (!started)
            logger.log("Unable to start AenProcess Thread");
    }
    if (started) {
        AenDaemonStartConsumerNProcessEvent();
        releaseCredentialFile(logger);
        logger.log("THREAD_EXIT __aenMonitorThread__");
        return nullptr;
    }
    AenDaemonUnloadPlugIn();
    TovSetEvent(gAenConfig.TerminateEvent);
    logger.log("THREAD_EXIT :: aenMonitorThread()");
    return nullptr;
}

void AenTerminateMonitor()
{
    FnLogger logger("ENTER:AenTerminateMonitor", "/var/log/vynconf.log");
    uint32_t status = AEN_STATUS_RUNNING;
    if (!gAenConfig.CurrentStatus.compare_exchange_strong(status, AEN_STATUS_STOPPING)) {
        status = AEN_STATUS_RUNNING_2;
        gAenConfig.CurrentStatus.compare_exchange_strong(status, AEN_STATUS_STOPPING_2);
    }
    logger.log("gAenConfig.CurrentStatus = %d", static_cast<int>(gAenConfig.CurrentStatus.load()));
    logger.log("AenMonitorEvent is SET");
    if (TovSetEvent(gAenConfig.AenMonitorEvent) != TOV_SUCCESS) {
        logger.log("Failed to terminate AenMonitor");
    } else {
        logger.log("waiting for Aen Monitor End");
        TovWaitForThreadTerminate(gAenConfig.MonitorThread);
        logger.log("Aen Monitor thread terminated");
    }
    logger.log("EXIT:AenTerminateMonitor");
}

int AenDaemonServe(pid_t launcher, FnLogger& logger)
{
    gAenConfig.CurrentStatus.store(AEN_STATUS_RUNNING);
    if (TovCreateEvent(&gAenConfig.TerminateEvent, "", 0) != TOV_SUCCESS) {
        logger.log("Unable to create terminate Event");
        ::kill(launcher, SIGALRM);
    }
    gAenConfig.MonitorThread = TovThreadCreate(aenMonitorThread, nullptr);
    if (gAenConfig.MonitorThread == nullptr) {
        logger.log("Unable to create monitor Thread");
        ::kill(launcher, SIGALRM);
    }
    ::kill(launcher, SIGUSR1);

    TovWaitOnEvent(gAenConfig.TerminateEvent);
    uint32_t running = AEN_STATUS_RUNNING;
    gAenConfig.CurrentStatus.compare_exchange_strong(running, AEN_STATUS_STOPPING);
    logger.log("AEN_DAEMON:Terminating aens Thread");
    AenTerminateMonitor();
    logger.log("AEN_DAEMON: closing shop ");
    TovDestroyEvent(&gAenConfig.TerminateEvent);
    logger.log("AEN_DAEMON: bye bye ");
    return 0;
}

int daemonize(int delayedStart)
{
    FnLogger logger("daemonize", AEN_LOG_FILE);
    gAenConfig.CurrentStatus.store(AEN_STATUS_STARTING);
    logger.log("--- Initailizing Vyn Event Listener Daemon ---");
    logger.log("<version>      : %d.%d.%d.%d", kVersion[0], kVersion[1], kVersion[2], kVersion[3]);
    logger.log("<Build Stamp>  : %s %s", __DATE__, __TIME__);

    if (::getppid() == 1)
        return 1;

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = child_handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGCHLD, &action, nullptr);
    ::sigaction(SIGALRM, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
    if (TovCreateEvent(&TerminateParent, "", 0) != TOV_SUCCESS) {
        logger.log("Unable to create terminate Parent event.");
        return 1;
    }

    const pid_t child = ::fork();
    if (child < 0) {
        logger.log("unable to fork daemon code=%d (%s)", errno, std::strerror(errno));
        return 1;
    }
    if (child > 0) {
        ::alarm(kLauncherWaitSeconds);
        TovWaitOnEvent(TerminateParent);
        {
            FnLogger handler("child_handler", AEN_LOG_FILE);
            handler.log("CHILD_HANDLER: received %s", signalName(verdictSignal));
        }
        TovDestroyEvent(&TerminateParent);
        return exit_status == 0 ? 0 : 1;
    }

    if (delayedStart != 0)
        TovSleep(kDelayedStartSeconds);
    const pid_t launcher = ::getppid();

    sigemptyset(&daemonSigMask);
    sigaddset(&daemonSigMask, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &daemonSigMask, nullptr) != 0)
        logger.log("AEN_DAEMON: Mask creation failed, will not terminate gracefully");
    TovCreateEvent(&signalThreadReady, "", 0);
    signalThread = TovThreadCreate(sig_thread, nullptr);
    if (signalThread == nullptr)
        logger.log("AEN_DAEMON: Signal thread creation failed, will not terminate gracefully");
    else if (signalThreadReady != nullptr)
        TovWaitOnEvent(signalThreadReady);

    ::signal(SIGCHLD, SIG_DFL);
    ::signal(SIGTSTP, SIG_IGN);
    ::signal(SIGTTOU, SIG_IGN);
    ::signal(SIGTTIN, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
    ::umask(0);

    if (::setsid() < 0) {
        logger.log("unable to create a new session code=%d (%s)", errno, std::strerror(errno));
        std::exit(1);
    }
    const std::string workDir = vynHostPath("/");
    if (::chdir(workDir.c_str()) != 0) {
        logger.log("unable to directory to %s,code=%d (%s)", "/", errno, std::strerror(errno));
        std::exit(1);
    }
    reopenStandardStreams();
    std::exit(AenDaemonServe(launcher, logger));
}
