#ifndef VYN_COMMAND_VYN_COMMON_FA_UTILS_H
#define VYN_COMMAND_VYN_COMMON_FA_UTILS_H

#include "Command/Vyn/common/fa_types.h"

#include <atomic>
#include <cstdint>

struct _FIB;

// Process-wide switches of the two debug logs under /var/log/; neither file
// is ever created by the library: each is written only while it exists.
extern std::atomic<unsigned char> fsaDisableDebugLog;
extern std::atomic<unsigned int> bGlobalFibDebug;
extern std::atomic<int> debugFibCounter;

// Call trace in "/var/log/fsaapi.txt": "In" on entry and "Out" on leaving.
class FsaApiEntryExit {
public:
    explicit FsaApiEntryExit(const char* name);
    ~FsaApiEntryExit();
    FsaApiEntryExit(const FsaApiEntryExit&) = delete;
    FsaApiEntryExit& operator=(const FsaApiEntryExit&) = delete;

    // One line "%02d:%02d:%02d.%03d <name> <text>".
    static void logToFile(const char* name, const char* text);
    static void logToFileV(const char* name, const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    char name_[256];  // at most 255 characters kept
};

// A printf-style line in the call trace; the characters written, 0 for none.
int FsaDebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// FIB trace around one send, in "/var/log/fsafibs.txt": the request half of the
// line before the send, the reply half after it. Never changes the send.
class FsaApiFibDebugger {
public:
    explicit FsaApiFibDebugger(_FIB* fib);
    ~FsaApiFibDebugger();
    FsaApiFibDebugger(const FsaApiFibDebugger&) = delete;
    FsaApiFibDebugger& operator=(const FsaApiFibDebugger&) = delete;

private:
    _FIB* fib_;
    uint8_t copy_[512];
    FAOS_TIME_INFO time_;
};

// Switches the FIB trace and writes a banner; the counter restarts only when
// tracing goes from off to on.
void SetFibDebug(unsigned int on, const char* label);
// Switches the call trace off for the rest of the process; 1.
FSA_STATUS FsaDisableDebugLogs();
// Accepts a message and does nothing.
void UtilPrintDebugFormatted(char* format, ...);

#endif
