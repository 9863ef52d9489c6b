#ifndef VYN_COMMAND_VYN_COMMON_FA_DUMP_H
#define VYN_COMMAND_VYN_COMMON_FA_DUMP_H

#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The dump's print callback: one text and the caller's argument.
typedef void (*FSA_DIAG_CALLBACK)(const char* text, void* arg);

// Sizes in 512-byte blocks as text; each returns its own static buffer.
const char* SizeString(int blocks);
const char* SizeString64(uint64_t blocks);

// Names for the trace file; each returns its own static buffer.
const char* fauxAscii_FSA_Access(int access);
const char* fauxAscii_FSA_Avail(uint32_t avail);
const char* fauxAscii_FSA_FIBStructType(uint8_t type);
const char* fauxAscii_FSA_FIBCommand(uint16_t command);
const char* fauxAscii_FSA_TFibCommand(const _FIB* fib);
const char* fauxAscii_OS_Cmd(int cmd);
const char* fauxAscii_OS_Type(int type);
const char* fauxAscii_OS_Whence(int whence);

// Formats and passes one text to the callback.
void MSC_DTprintf(FSA_DIAG_CALLBACK callback, void* arg, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Container commands of the history logs.
void CT_ReConfig(FSAAPI_CONTEXT* ctx, uint32_t mode);
void CT_NewGetLogSize(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t command);
void CT_NewGetNvLogEntry(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* len, void* out, uint32_t command);
void CT_SetGetNvLogObfuscationMethod(FSAAPI_CONTEXT* ctx, uint32_t* method);

void MSC_ShowBattery(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg);
void MSC_DumpMassiveTextData(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg);
void MSC_DumpMonitorArchive(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg);

extern "C" {
FSA_STATUS FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback, void* arg);
FSA_STATUS FsaDiagnosticEx(void* handle, uint32_t index, unsigned selector, unsigned* parameter,
                           FSA_DIAG_CALLBACK callback, void* arg);
}

#endif
