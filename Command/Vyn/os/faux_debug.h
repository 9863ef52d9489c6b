#ifndef VYN_COMMAND_VYN_OS_FAUX_DEBUG_H
#define VYN_COMMAND_VYN_OS_FAUX_DEBUG_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

// Module bits of the OS layer's trace file: low word.
enum : uint32_t {
    FAUX_DBG_DEBUG = 0x100,
    FAUX_DBG_THROW = 0x200,
    FAUX_DBG_AIF = 0x100000,
    FAUX_DBG_DRIVER = 0x200000,
    FAUX_DBG_FIB = 0x400000,
    FAUX_DBG_IOCTL = 0x800000,
    FAUX_DBG_SNMP = 0x1000000,
};
// High word.
enum : uint32_t {
    FAUX_DBG_LOCK = 0x1,
    FAUX_DBG_MUTEX = 0x2,
    FAUX_DBG_SEMA = 0x4,
    FAUX_DBG_SIGNAL = 0x8,
    FAUX_DBG_THREAD = 0x10,
    FAUX_DBG_LATER = 0x1000,
    FAUX_DBG_MISC = 0x2000,
    FAUX_DBG_MISSED = 0x4000,
    FAUX_DBG_TERM = 0x8000,
    FAUX_DBG_TEXT = 0x10000,
};

// Writes one line "%5d %2d %-5.5s %s" (process, thread, module, text) to the
// trace file when 1 <= level <= the current level and the module mask shares a
// bit with (lowMask, highMask). For (0, MISSED) and (0, LATER) the arguments
// are a file name and an operation name, formatted as the "is missing" and
// "is put off" notices; `format` is then not used.
void FsaUxDbgFilePrintf(uint32_t lowMask, uint32_t highMask, int level, const char* format, ...);

// The notices of operations that this host does not have or puts off.
#define FAUX_TRACE_MISSING(file, function) FsaUxDbgFilePrintf(0, FAUX_DBG_MISSED, 2, nullptr, file, function)
#define FAUX_TRACE_PUT_OFF(file, function) FsaUxDbgFilePrintf(0, FAUX_DBG_LATER, 2, nullptr, file, function)

void FsaUxDbgFileSetLevel(int level);
int FsaUxDbgFileGetLevel();
void FsaUxDbgFileSetModule(uint32_t low, uint32_t high);
// Removes bits; returns the new mask (high word in the upper 32 bits).
uint64_t FsaUxDbgFileClrModule(uint32_t low, uint32_t high);
int FsaUxDbgFileTstModule(uint32_t low, uint32_t high);
uint64_t FsaUxDbgFileGetModules();
void FsaUxDbgFileSetAll();
void FsaUxDbgFileSetAdapter();
void FsaUxDbgFileSetInfra();
void FsaUxDbgFileSetOther();

// The name is stored lower-cased; "/tmp/dbg.api" until one is set.
const char* FsaUxDbgFileSetName(char* name);
const char* FsaUxDbgFileGetName();

// 6 when tracing is off or the file is open, 1 when it can be appended to,
// 502 otherwise.
FSA_STATUS FsaUxDbgFileInUse();
FSA_STATUS FsaUxDbgFileOpenEmptyClose();

// "-L<0..5>", "-F<name>", "-M<ALL|ADAPTER|INFRA|OTHER>", upper-cased in place
// first; 1 accepted, 0 rejected.
int FsaUxParseCmdLineArg(char* argument);

// Module column text of a mask pair, "????" for any combination not in the table.
const char* fauxDbgFileModuleName(uint32_t low, uint32_t high);

#endif
