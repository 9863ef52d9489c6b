#ifndef VYN_COMMAND_VYN_OS_FAUX_SIGNALS_H
#define VYN_COMMAND_VYN_OS_FAUX_SIGNALS_H

#include <pthread.h>

// What the common handler does after a row's extra handler.
enum FAUX_SIGNAL_MODE {
    FAUX_SIGNAL_DEFAULT = 0,    // default action, then the signal again to this process
    FAUX_SIGNAL_NO_CHANGE = 1,
    FAUX_SIGNAL_GENERAL = 2,    // the common handler is installed again
};

struct FAUX_SIGNAL_ROW {
    int signo;  // 0 ends the table
    const char* name;
    void (*extraHandler)(int);
    FAUX_SIGNAL_MODE mode;
};

extern const FAUX_SIGNAL_ROW faux_clsSignals[];

typedef void (*FAUX_SIGNAL_CALLBACK)();

// Stores the caller's exit and reset functions and installs the table.
void FsaUxInitSignal(FAUX_SIGNAL_CALLBACK exitFn, FAUX_SIGNAL_CALLBACK resetFn);
// Installs the common handler for SIGWINCH only.
void FsaUxInitWindowResizeSignal();
// Installs the common handler for every row, whatever its mode.
void faux_InitSignal();
void faux_generalHandler(int signo);
void faux_killAifThread(pthread_t thread);
// The table's name of a signal, null when absent.
const char* faux_mbSignalName(int signo);
const char* faux_mbSignalModeName(int mode);

void faux_catchKillAifThread(int signo);
void faux_catchResetWindow(int signo);
void faux_cleanUpCurses(int signo);
void faux_catchLeftOverSignal(int signo);

#endif
