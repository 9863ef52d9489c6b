#include "Command/Vyn/os/faux_signals.h"

#include "Command/Vyn/os/faux_debug.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

// Numbers are those of Linux on x86.
const FAUX_SIGNAL_ROW faux_clsSignals[] = {
    {1, "SIGHUP", faux_catchKillAifThread, FAUX_SIGNAL_GENERAL},
    {28, "SIGWINCH", faux_catchResetWindow, FAUX_SIGNAL_GENERAL},
    {2, "SIGINT", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {6, "SIGABRT", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {7, "SIGBUS", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {8, "SIGFPE", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {11, "SIGSEGV", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {15, "SIGTERM", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {16, "SIGSTKFLT", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {24, "SIGXCPU", nullptr, FAUX_SIGNAL_NO_CHANGE},
    {25, "SIGXFSZ", nullptr, FAUX_SIGNAL_NO_CHANGE},
    {30, "SIGPWR", faux_cleanUpCurses, FAUX_SIGNAL_DEFAULT},
    {0, nullptr, nullptr, FAUX_SIGNAL_NO_CHANGE},
};

namespace {

std::atomic<FAUX_SIGNAL_CALLBACK> exitFunction{nullptr};
std::atomic<FAUX_SIGNAL_CALLBACK> resetFunction{nullptr};

const FAUX_SIGNAL_ROW* findRow(int signo)
{
    for (const FAUX_SIGNAL_ROW* row = faux_clsSignals; row->signo != 0; ++row)
        if (row->signo == signo)
            return row;
    return nullptr;
}

}  // namespace

const char* faux_mbSignalName(int signo)
{
    const FAUX_SIGNAL_ROW* row = findRow(signo);
    return row != nullptr ? row->name : nullptr;
}

const char* faux_mbSignalModeName(int mode)
{
    switch (mode) {
    case FAUX_SIGNAL_DEFAULT:
        return "DEFAULT";
    case FAUX_SIGNAL_NO_CHANGE:
        return "NO_CHANGE";
    case FAUX_SIGNAL_GENERAL:
        return "GENERAL";
    default:
        return "????";
    }
}

void faux_generalHandler(int signo)
{
    const FAUX_SIGNAL_ROW* row = findRow(signo);
    if (row == nullptr)
        return;
    if (row->extraHandler != nullptr)
        row->extraHandler(signo);
    switch (row->mode) {
    case FAUX_SIGNAL_GENERAL:
        ::signal(signo, faux_generalHandler);
        break;
    case FAUX_SIGNAL_DEFAULT:
        ::signal(signo, SIG_DFL);
        ::kill(::getpid(), signo);
        break;
    case FAUX_SIGNAL_NO_CHANGE:
        break;
    }
}

void faux_InitSignal()
{
    for (const FAUX_SIGNAL_ROW* row = faux_clsSignals; row->signo != 0; ++row) {
        ::signal(row->signo, faux_generalHandler);
        FsaUxDbgFilePrintf(0, FAUX_DBG_SIGNAL, 4, "-- InitSignal: %s mode %s\n", row->name,
                           faux_mbSignalModeName(row->mode));
    }
}

void FsaUxInitSignal(FAUX_SIGNAL_CALLBACK exitFn, FAUX_SIGNAL_CALLBACK resetFn)
{
    exitFunction.store(exitFn);
    resetFunction.store(resetFn);
    faux_InitSignal();
}

void FsaUxInitWindowResizeSignal() { ::signal(SIGWINCH, faux_generalHandler); }

void faux_killAifThread(pthread_t thread) { pthread_kill(thread, SIGHUP); }

void faux_catchKillAifThread(int signo)
{
    FsaUxDbgFilePrintf(0, FAUX_DBG_SIGNAL, 3, "-- catchKillAifThread: signal %d\n", signo);
}

void faux_catchResetWindow(int /*signo*/)
{
    if (FAUX_SIGNAL_CALLBACK reset = resetFunction.load())
        reset();
}

void faux_cleanUpCurses(int /*signo*/)
{
    if (FAUX_SIGNAL_CALLBACK exitFn = exitFunction.load())
        exitFn();
}

void faux_catchLeftOverSignal(int signo)
{
    const char* name = faux_mbSignalName(signo);
    FsaUxDbgFilePrintf(0, FAUX_DBG_SIGNAL, 1, "-- catchLeftOverSignal: %s\n", name != nullptr ? name : "unknown");
    if (FAUX_SIGNAL_CALLBACK exitFn = exitFunction.load())
        exitFn();
}
