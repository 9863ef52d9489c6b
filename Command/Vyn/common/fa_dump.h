#ifndef VYN_COMMAND_VYN_COMMON_FA_DUMP_H
#define VYN_COMMAND_VYN_COMMON_FA_DUMP_H

#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>
#include <ctime>

class FSAAPI_CONTEXT;
struct dirent;
struct flock;
struct stat;

// The driver's view of one container's disk (FSACTL_QUERY_DISK), 48 bytes.
struct _UNIX_QUERY_DISK {
    int32_t container;
    int32_t bus;
    int32_t target;
    int32_t lun;
    uint32_t valid;
    uint32_t locked;  // opened by the host
    uint32_t deleted;
    int32_t instance;  // SCSI host number
    char diskName[10];
    uint8_t reserved[2];
    uint32_t unmapped;
};
static_assert(sizeof(_UNIX_QUERY_DISK) == 48, "_UNIX_QUERY_DISK is 48 bytes");

// The dump's print callback: one text and the caller's argument.
typedef void (*FSA_DIAG_CALLBACK)(const char* text, void* arg);

// Sizes in 512-byte blocks as text; each returns its own static buffer.
const char* SizeString(int blocks);
const char* SizeString64(uint64_t blocks);
struct Partition;
// The chunk size of a striped partition as "%2dKB"; four blanks for others.
const char* PChunk(const Partition* partition);

// Names for the trace file; each returns its own static buffer.
const char* fauxAscii_FSA_Access(int access);
const char* fauxAscii_FSA_Avail(uint32_t avail);
const char* fauxAscii_FSA_FIBStructType(uint8_t type);
const char* fauxAscii_FSA_FIBCommand(uint16_t command);
const char* fauxAscii_FSA_TFibCommand(const _FIB* fib);
const char* fauxAscii_OS_Cmd(int cmd);
const char* fauxAscii_OS_Type(int type);
const char* fauxAscii_OS_Whence(int whence);
const char* fauxAscii_FSA_Usage(int usage);
// " 0x%08lx" and ten flag characters: a blank, then t (sticky), the file type
// of a device, fifo or socket (c, b, p, s), g (set-group), u (set-user),
// l (link), d (directory) and the owner's r, w and x; '-' for each one clear.
const char* fauxAscii_OS_mode(unsigned long mode);
// "YYYY-MM-DD hh:mm:ss" in UTC.
const char* fauxAscii_OS_time_t(time_t t);
// No controller disk types on this host: "unknown".
const char* fauxAscii_OS_dki_ctype(int type);

// Record dumps into the OS layer's trace file, at the given modules and level.
void fauxPrint_FIB(uint32_t low, uint32_t high, int level, const char* label, const _FIB* fib);
void fauxPrint_REVISION(uint32_t low, uint32_t high, int level, const char* label, const FSA_REVISION* revision);
void fauxPrint_UnixQueryDisk(uint32_t low, uint32_t high, int level, const char* label, const _UNIX_QUERY_DISK* disk);
void fauxPrint_OS_FileLock(uint32_t low, uint32_t high, int level, const char* label, int cmd,
                           const struct flock* lock);
void fauxPrint_OS_StatStruct(uint32_t low, uint32_t high, int level, const char* label, const struct stat* st);
// The same for an open descriptor; nothing when it cannot be asked.
void fauxPrint_OS_FStatStruct(uint32_t low, uint32_t high, int level, const char* label, int fd);
void fauxPrint_OS_dirent(uint32_t low, uint32_t high, int level, const char* label, const struct dirent* entry);
// No controller disk records on this host: writes nothing.
void fauxPrint_OS_dk_cfio(uint32_t low, uint32_t high, int level, const char* label, const void* record);

// Formats and passes one text to the callback.
void MSC_DTprintf(FSA_DIAG_CALLBACK callback, void* arg, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Container commands of the history logs.
void CT_ReConfig(FSAAPI_CONTEXT* ctx, uint32_t mode);
// The older log's size: its line count and the current run's first line, kept
// in two library-wide words (100 and 0 until the first answer).
void CT_GetLogSize(FSAAPI_CONTEXT* ctx);
uint32_t CT_LogLines();
uint32_t CT_LogStartLine();
// One line of the older log: 101 bytes into out (61 in the legacy form, which
// returns a failed send instead of throwing). A line past the end throws 168,
// any other entry status 169.
void CT_GetNvLogEntry(FSAAPI_CONTEXT* ctx, unsigned line, unsigned p1, void* out);
FSA_STATUS CT_GetLegacyNvLogEntry(FSAAPI_CONTEXT* ctx, unsigned line, unsigned p1, void* out);
// CT_NewGetLogSize that returns a failed send instead of throwing.
FSA_STATUS CT_GetHistLogSize(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t command);
void CT_NewGetLogSize(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t command);
void CT_NewGetNvLogEntry(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* len, void* out, uint32_t command);
void CT_SetGetNvLogObfuscationMethod(FSAAPI_CONTEXT* ctx, uint32_t* method);

void MSC_ShowBattery(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg);
// The lines of one container of the container table; nothing for a number
// without a container.
void MSC_ShowContainer(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_DIAG_CALLBACK callback, void* arg);
void MSC_DumpMassiveTextData(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg);
void MSC_DumpMonitorArchive(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg);

extern "C" {
FSA_STATUS FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback, void* arg);
FSA_STATUS FsaDiagnosticEx(void* handle, uint32_t index, unsigned selector, unsigned* parameter,
                           FSA_DIAG_CALLBACK callback, void* arg);
}

#endif
