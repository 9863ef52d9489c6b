#include "Command/Vyn/common/fa_dump.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct CodeName {
    int code;
    const char* name;
};

const CodeName kFibCommands[] = {
    {1, "TestCommandResponse"}, {2, "TestAdapterCommand"}, {100, "LastTestCommand"},
    {101, "ReinitHostNormCommandQueue"}, {102, "ReinitHostHighCommandQueue"}, {103, "ReinitHostHighRespQueue"},
    {104, "ReinitHostNormRespQueue"}, {105, "ReinitAdapNormCommandQueue"}, {107, "ReinitAdapHighCommandQueue"},
    {108, "ReinitAdapHighRespQueue"}, {109, "ReinitAdapNormRespQueue"}, {110, "InterfaceShutdown"},
    {120, "DmaCommandFib"}, {121, "StartProfile"}, {122, "TermProfile"}, {123, "SpeedTest"},
    {124, "TakeABreakPt"}, {125, "RequestPerfData"}, {126, "SetInterruptDefTimer"},
    {127, "SetInterruptDefCount"}, {128, "GetInterruptDefStatus"}, {129, "LastCommCommand"},
    {300, "NuFileSystem"}, {301, "UFS"}, {302, "HostFileSystem"}, {303, "LastFileSystemCommand"},
    {500, "ContainerCommand"}, {550, "ClusterCommand"}, {600, "ScsiPortCommand"}, {700, "AifRequest"},
    {701, "CheckRevision"}, {702, "FsaHostShutdown"}, {703, "RequestAdapterInfo"}, {704, "IsAdapterPaused"},
    {709, "LastMiscCommand"},
};

const CodeName kCtCommands[] = {
    {0, "Null"},
    {1, "GET_SLICE_COUNT"},
    {2, "GET_PARTITION_COUNT"},
    {3, "GET_PARTITION_INFO"},
    {4, "GET_CONTAINER_COUNT"},
    {6, "WRITE_MBR"},
    {7, "WRITE_PARTITION"},
    {8, "UPDATE_PARTITION"},
    {9, "UNLOAD_CONTAINER"},
    {10, "CONFIG_SINGLE_PRIMARY"},
    {11, "READ_CONFIG_AGE"},
    {12, "WRITE_CONFIG_AGE"},
    {13, "READ_SERIAL_NUMBER"},
    {14, "ZERO_PAR_ENTRY"},
    {15, "READ_MBR"},
    {16, "READ_PARTITION"},
    {17, "DESTROY_CONTAINER"},
    {18, "DESTROY2_CONTAINER"},
    {19, "SLICE_SIZE"},
    {20, "CHECK_CONFLICTS"},
    {21, "MOVE_CONTAINER"},
    {22, "READ_LAST_DRIVE"},
    {23, "WRITE_LAST_DRIVE"},
    {24, "UNMIRROR"},
    {25, "MIRROR_DELAY"},
    {26, "GEN_MIRROR"},
    {27, "GEN_MIRROR2"},
    {28, "TEST_CONTAINER"},
    {29, "MOVE2"},
    {30, "SPLIT"},
    {31, "SPLIT2"},
    {32, "SPLIT_BROKEN"},
    {33, "SPLIT_BROKEN2"},
    {34, "RECONFIG"},
    {35, "BREAK2"},
    {36, "BREAK"},
    {37, "MERGE2"},
    {38, "MERGE"},
    {39, "FORCE_ERROR"},
    {40, "CLEAR_ERROR"},
    {41, "ASSIGN_FAILOVER"},
    {42, "CLEAR_FAILOVER"},
    {43, "GET_FAILOVER_DATA"},
    {44, "VOLUME_ADD"},
    {45, "VOLUME_ADD2"},
    {46, "MIRROR_STATUS"},
    {47, "COPY_STATUS"},
    {48, "COPY"},
    {49, "UNLOCK_CONTAINER"},
    {50, "LOCK_CONTAINER"},
    {51, "MAKE_READ_ONLY"},
    {52, "MAKE_READ_WRITE"},
    {53, "CLEAN_DEAD"},
    {54, "ABORT_MIRROR_COMMAND"},
    {55, "SET"},
    {56, "GET"},
    {57, "GET_NVLOG_ENTRY"},
    {58, "GET_DELAY"},
    {59, "ZERO_CONTAINER_SPACE"},
    {60, "GET_ZERO_STATUS"},
    {61, "SCRUB"},
    {62, "GET_SCRUB_STATUS"},
    {63, "GET_SLICE_INFO"},
    {64, "GET_SCSI_METHOD"},
    {65, "PAUSE_IO"},
    {66, "RELEASE_IO"},
    {67, "SCRUB2"},
    {68, "MCHECK"},
    {69, "CORRUPT"},
    {70, "GET_TASK_COUNT"},
    {71, "PROMOTE"},
    {72, "SET_DEAD"},
    {73, "CONTAINER_OPTIONS"},
    {74, "GET_NV_PARAM"},
    {75, "GET_PARAM"},
    {76, "NV_PARAM_SIZE"},
    {77, "COMMON_PARAM_SIZE"},
    {78, "PLATFORM_PARAM_SIZE"},
    {79, "SET_NV_PARAM"},
    {80, "ABORT_SCRUB"},
    {81, "GET_SCRUB_ERROR"},
    {82, "LABEL_CONTAINER"},
    {83, "CONTINUE_DATA"},
    {84, "STOP_DATA"},
    {85, "GET_PARTITION_TABLE"},
    {86, "GET_DISK_PARTITIONS"},
    {87, "GET_MISC_STATUS"},
    {88, "GET_CONTAINER_PERF_INFO"},
    {89, "GET_TIME"},
    {90, "READ_DATA"},
    {91, "CTR"},
    {92, "CTL"},
    {93, "DRAINIO"},
    {94, "RELEASEIO"},
    {95, "GET_NVRAM"},
    {96, "GET_MEMORY"},
    {97, "PRINT_CT_LOG"},
    {98, "ADD_LEVEL"},
    {99, "NV_ZERO"},
    {100, "READ_SIGNATURE"},
    {101, "THROTTLE_ON"},
    {102, "THROTTLE_OFF"},
    {103, "GET_THROTTLE_STATS"},
    {104, "MAKE_SNAPSHOT"},
    {105, "REMOVE_SNAPSHOT"},
    {106, "WRITE_USER_FLAGS"},
    {107, "READ_USER_FLAGS"},
    {108, "MONITOR"},
    {109, "GEN_MORPH"},
    {110, "GET_SNAPSHOT_INFO"},
    {111, "CACHE_SET"},
    {112, "CACHE_STAT"},
    {113, "TRACE_START"},
    {114, "TRACE_STOP"},
    {115, "TRACE_ENABLE"},
    {116, "TRACE_DISABLE"},
    {117, "FORCE_CORE_DUMP"},
    {118, "SET_SERIAL_NUMBER"},
    {119, "RESET_SERIAL_NUMBER"},
    {120, "ENABLE_RAID5"},
    {121, "CLEAR_VALID_DUMP_FLAG"},
    {122, "GET_MEM_STATS"},
    {123, "GET_CORE_SIZE"},
    {125, "STOP_DUMPS"},
    {126, "PANIC_ON_TAKE_A_BREAK"},
    {127, "GET_CACHE_STATS"},
    {128, "MOVE_PARTITION"},
    {129, "FLUSH_CACHE"},
    {130, "READ_NAME"},
    {131, "WRITE_NAME"},
    {132, "TOSS_CACHE"},
    {133, "LOCK_DRAINIO"},
    {134, "CONTAINER_OFFLINE"},
    {135, "SET_CACHE_SIZE"},
    {136, "CLEAN_SHUTDOWN_STATUS"},
    {137, "CLEAR_DISKLOG_ON_DISK"},
    {138, "CLEAR_ALL_DISKLOG"},
    {139, "CACHE_FAVOR"},
    {140, "READ_PASSTHRU_MBR"},
    {141, "SCRUB_NOFIX"},
    {142, "SCRUB2_NOFIX"},
    {143, "FLUSH"},
    {144, "REBUILD"},
    {145, "FLUSH_CONTAINER"},
    {146, "RESTART"},
    {147, "GET_CONFIG_STATUS"},
    {148, "TRACE_FLAG"},
    {149, "RESTART_MORPH"},
    {150, "GET_TRACE_INFO"},
    {151, "GET_TRACE_ITEM"},
    {152, "COMMIT_CONFIG"},
    {153, "CONTAINER_EXISTS"},
    {154, "GET_SLICE_FROM_DEVT"},
    {155, "OPEN_READ_WRITE"},
    {156, "WRITE_MEMORY_BLOCK"},
    {157, "GET_CACHE_PARAMS"},
    {158, "CRAZY_CACHE"},
    {159, "GET_PROFILE_STRUCT"},
    {160, "SET_IO_TRACE_FLAG"},
    {161, "GET_IO_TRACE_STRUCT"},
    {162, "CID_TO_64BITS_UID"},
    {163, "64BITS_UID_TO_CID"},
    {164, "PAR_TO_64BITS_UID"},
    {165, "CID_TO_32BITS_UID"},
    {166, "32BITS_UID_TO_CID"},
    {167, "PAR_TO_32BITS_UID"},
    {168, "SET_FAILOVER_OPTION"},
    {169, "GET_FAILOVER_OPTION"},
    {170, "STRIPE_ADD2"},
    {171, "CREATE_VOLUME_SET"},
    {172, "CREATE_STRIPE_SET"},
    {178, "GET_CONTAINER_INFO"},
    {179, "CREATE_CONTAINER"},
    {258, "LAST_COMMAND"}
};

template <size_t N>
const char* lookup(const CodeName (&table)[N], int code)
{
    for (const CodeName& row : table)
        if (row.code == code)
            return row.name;
    return nullptr;
}

const char* named(char* buffer, size_t size, const char* name, const char* other)
{
    std::snprintf(buffer, size, "%s", name != nullptr ? name : other);
    return buffer;
}

constexpr uint32_t kOpt1NewerLogOnly = 0x10000;
constexpr uint32_t CT_GET_LOG_SIZE = 189;
constexpr uint32_t CT_GET_NVLOG_ENTRY = 57;
constexpr uint32_t CT_GET_NEW_LOG = 189;
constexpr uint32_t CT_MONITOR_ARCHIVE = 231;
constexpr uint32_t CT_RECONFIG = 34;
constexpr uint32_t CT_NV_LOG_OBFUSCATION = 232;
constexpr uint32_t kEntryReturned = 150;
constexpr uint32_t kNoEntry = 151;
constexpr FSA_STATUS kNoSuchEntry = 168;
constexpr FSA_STATUS kBadEntry = 169;
// Logs the firmware announces are read into memory; a size beyond this
// buffer is not believed.
constexpr uint32_t kMaxLogBytes = 10u * 1024 * 1024;
constexpr uint32_t kLogChunk = 432;
constexpr uint32_t kOlderEntryBytes = 101;
constexpr uint32_t kLegacyEntryBytes = 61;
constexpr FSA_STATUS kTransportFailure = 37;

// The older log's size words, library-wide.
uint32_t logLines = 100;
uint32_t startLine = 0;

// Reads `size` bytes (capped) of the log of command `cmd`, entry by entry.
std::vector<std::string> readLogEntries(FSAAPI_CONTEXT* ctx, uint32_t cmd, uint32_t size)
{
    size = std::min(size, kMaxLogBytes);
    std::vector<std::string> entries;
    std::vector<uint8_t> chunk(kLogChunk);
    uint32_t offset = 0;
    uint32_t read = 0;
    while (read < size) {
        uint32_t next = offset;
        const uint32_t asked = std::min<uint32_t>(kLogChunk, size - read);
        uint32_t len = asked;
        CT_NewGetNvLogEntry(ctx, &next, &len, chunk.data(), cmd);
        len = std::min(len, asked);
        if (len == 0)
            break;
        entries.emplace_back(reinterpret_cast<const char*>(chunk.data()), len);
        read += len;
        // A controller that does not move on would loop for ever.
        offset = next > offset ? next : offset + len;
    }
    return entries;
}

std::string readLog(FSAAPI_CONTEXT* ctx, uint32_t cmd, uint32_t size)
{
    std::string text;
    for (const std::string& entry : readLogEntries(ctx, cmd, size))
        text += entry;
    return text;
}

void checkEntryStatus(uint32_t status)
{
    if (status == kNoEntry)
        throw kNoSuchEntry;
    if (status != kEntryReturned)
        throw kBadEntry;
}

// One formatted dump text at the most; longer texts are cut.
constexpr size_t kDTprintfRoom = 1024;

// A log text longer than one formatted text would be cut: it goes out in
// pieces that fit, each ending at a line's end where one is in reach.
void passText(FSA_DIAG_CALLBACK callback, void* arg, const std::string& text)
{
    const size_t room = kDTprintfRoom - 1;
    for (size_t from = 0; from < text.size();) {
        size_t n = std::min(room, text.size() - from);
        if (from + n < text.size()) {
            const size_t nl = text.rfind('\n', from + n - 1);
            if (nl != std::string::npos && nl >= from)
                n = nl + 1 - from;
        }
        MSC_DTprintf(callback, arg, "%.*s", static_cast<int>(n), text.c_str() + from);
        from += n;
    }
}

// A trace of one piece of the archive, without the newline that ends it.
void traceLine(const char* what, const std::string& text)
{
    const size_t n = !text.empty() && text.back() == '\n' ? text.size() - 1 : text.size();
    FsaDebugPrintf("%s:%.*s", what, static_cast<int>(n), text.c_str());
}

void call(FSA_DIAG_CALLBACK callback, void* arg, const std::string& text)
{
    if (arg != nullptr)
        faPutLe32(static_cast<uint8_t*>(arg), static_cast<uint32_t>(text.size()));
    callback(text.c_str(), arg);
}

}  // namespace

const char* SizeString(int blocks)
{
    static char buffer[32];
    const long long k = blocks / 2;
    if (k <= 1024)
        std::snprintf(buffer, sizeof buffer, "%4dKB", static_cast<int>(k));
    else if (k <= 1048576)
        k % 1024 == 0 ? std::snprintf(buffer, sizeof buffer, "%4dMB", static_cast<int>(k / 1024))
                      : std::snprintf(buffer, sizeof buffer, "%4.1fMB", static_cast<double>(k) / 1024.0);
    else
        k % 1048576 == 0 ? std::snprintf(buffer, sizeof buffer, "%4dGB", static_cast<int>(k / 1048576))
                         : std::snprintf(buffer, sizeof buffer, "%4.1fGB", static_cast<double>(k) / 1048576.0);
    return buffer;
}

const char* SizeString64(uint64_t blocks)
{
    static char buffer[48];
    const uint64_t k = blocks / 2;
    if (k <= 1024)
        std::snprintf(buffer, sizeof buffer, "%8dKB", static_cast<int>(k));
    else if (k <= 1048576)
        k % 1024 == 0 ? std::snprintf(buffer, sizeof buffer, "%8dMB", static_cast<int>(k / 1024))
                      : std::snprintf(buffer, sizeof buffer, "%8.1fMB", static_cast<double>(k) / 1024.0);
    else
        k % 1048576 == 0 ? std::snprintf(buffer, sizeof buffer, "%8dGB", static_cast<int>(k / 1048576))
                         : std::snprintf(buffer, sizeof buffer, "%8.1fGB", static_cast<double>(k) / 1048576.0);
    return buffer;
}

const char* fauxAscii_FSA_Access(int access)
{
    static const char* const kNames[] = {"FSA_ACC_READ_ONLY", "FSA_ACC_READ_WRITE", "FSA_ACC_LL_READ_ONLY",
                                         "FSA_ACC_LL_READ_WRITE", "FSA_ACC_SNAPSHOT", "FSA_ACC_LL_SNAPSHOT",
                                         "FSA_ACC_UTILITY", "FSA_ACC_UNKNOWN", "FSA_ULB_CLUSTER_MANAGER",
                                         "FSA_ULB_LL_CLUSTER_MANAGER"};
    static char buffer[32];
    return named(buffer, sizeof buffer, access >= 0 && access <= 9 ? kNames[access] : nullptr, "unknown");
}

const char* fauxAscii_FSA_Avail(uint32_t avail)
{
    static const char* const kNames[] = {"FSA_AVL_UNKNOWN", "FSA_AVL_READ_ONLY", "FSA_AVL_READ_WRITE"};
    static char buffer[24];
    return named(buffer, sizeof buffer, avail >= 1 && avail <= 3 ? kNames[avail - 1] : nullptr, "unknown");
}

const char* fauxAscii_FSA_FIBStructType(uint8_t type)
{
    static const char* const kNames[] = {"TFib", "TQe", "TCtPerf"};
    static char buffer[24];
    return named(buffer, sizeof buffer, type >= 1 && type <= 3 ? kNames[type - 1] : nullptr,
                 "unknown STRUCT_TYPES");
}

const char* fauxAscii_FSA_FIBCommand(uint16_t command)
{
    static char buffer[32];
    return named(buffer, sizeof buffer, lookup(kFibCommands, command), "unknown FIB_COMMAND");
}

const char* fauxAscii_FSA_TFibCommand(const _FIB* fib)
{
    static char buffer[48];
    buffer[0] = '\0';
    if (fib == nullptr || fib->Header.StructType != 1 || fib->Header.Command != 500)
        return buffer;
    const uint32_t w0 = faGetLe32(fib->data);
    const uint32_t w1 = faGetLe32(fib->data + 4);
    if (fib->Header.Size == 464) {
        const char* name = w1 <= 258 ? lookup(kCtCommands, static_cast<int>(w1)) : nullptr;
        if (name != nullptr)
            std::snprintf(buffer, sizeof buffer, "%s", name);
        else
            std::snprintf(buffer, sizeof buffer, "[unknown CTCOMMAND:%d]", static_cast<int>(w1));
    } else if (fib->Header.Size == 12) {
        if (w0 == 1)
            std::snprintf(buffer, sizeof buffer, "VM_NameServe");
        else
            std::snprintf(buffer, sizeof buffer, "[unknown MNTINFO:VMCOMMAND:%d]", static_cast<int>(w0));
    } else {
        std::snprintf(buffer, sizeof buffer, "[unknown TFib, Header.Size:%d]", static_cast<int>(fib->Header.Size));
    }
    return buffer;
}

const char* fauxAscii_OS_Cmd(int cmd) { return cmd == 5 ? "F_GETLK" : cmd == 6 ? "F_SETLK" : "unknown"; }
const char* fauxAscii_OS_Type(int type)
{
    return type == 0 ? "F_RDLCK" : type == 1 ? "F_WRLCK" : type == 2 ? "F_UNLCK" : "unknown";
}
const char* fauxAscii_OS_Whence(int whence)
{
    return whence == 0 ? "SEEK_SET" : whence == 1 ? "SEEK_CUR" : whence == 2 ? "SEEK_END" : "unknown";
}

const char* fauxAscii_FSA_Usage(int usage)
{
    // Code 15 has no name.
    static const char* const kNames[] = {
        "FSA_CU_NONE",      "FSA_CU_RESERVED1",     "FSA_CU_MULTI_PARTTN", "FSA_CU_NOT_AVAILABLE", "FSA_CU_UNKNOWN",
        "FSA_CU_RESERVED2", "FSA_CU_SNAPSHOT_DEAD", "FSA_CU_NTFS",         "FSA_CU_FAT",           "FSA_CU_HPFS",
        "FSA_CU_BUSY",      "FSA_CU_NETWARE",       "FSA_CU_UX_VALID",     "FSA_CU_UX_OPEN",       "FSA_CU_UX_DELETED",
        nullptr,            "FSA_CU_UX_UNMAPPED",   "FSA_CU_UX_UNKNOWN"};
    static char buffer[24];
    const size_t count = sizeof kNames / sizeof kNames[0];
    return named(buffer, sizeof buffer, usage >= 0 && static_cast<size_t>(usage) < count ? kNames[usage] : nullptr,
                 "unknown");
}

const char* fauxAscii_OS_mode(unsigned long mode)
{
    static char buffer[32];
    const unsigned long type = mode & S_IFMT;
    const char device = type == S_IFCHR    ? 'c'
                        : type == S_IFBLK  ? 'b'
                        : type == S_IFIFO  ? 'p'
                        : type == S_IFSOCK ? 's'
                                           : '-';
    const char flags[] = {' ',
                          (mode & S_ISVTX) ? 't' : '-',
                          device,
                          (mode & S_ISGID) ? 'g' : '-',
                          (mode & S_ISUID) ? 'u' : '-',
                          type == S_IFLNK ? 'l' : '-',
                          type == S_IFDIR ? 'd' : '-',
                          (mode & S_IRUSR) ? 'r' : '-',
                          (mode & S_IWUSR) ? 'w' : '-',
                          (mode & S_IXUSR) ? 'x' : '-',
                          '\0'};
    std::snprintf(buffer, sizeof buffer, " 0x%08lx%s", mode, flags);
    return buffer;
}

const char* fauxAscii_OS_time_t(time_t t)
{
    static char buffer[32];
    struct tm parts;
    if (gmtime_r(&t, &parts) == nullptr || std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts) == 0)
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(t));
    return buffer;
}

const char* fauxAscii_OS_dki_ctype(int) { return "unknown"; }

void fauxPrint_FIB(uint32_t low, uint32_t high, int level, const char* label, const _FIB* fib)
{
    if (fib == nullptr)
        return;
    FsaUxDbgFilePrintf(low, high, level, "-- %s: Size=%d, StructType=%s, Command=%s:%s\n", label,
                       static_cast<int>(fib->Header.Size), fauxAscii_FSA_FIBStructType(fib->Header.StructType),
                       fauxAscii_FSA_FIBCommand(fib->Header.Command), fauxAscii_FSA_TFibCommand(fib));
}

void fauxPrint_REVISION(uint32_t low, uint32_t high, int level, const char* label, const FSA_REVISION* revision)
{
    if (revision == nullptr)
        return;
    FsaUxDbgFilePrintf(low, high, level, "-- %s: BN=%d, dash=%d, type=%d, minor=%d, major=%d\n", label,
                       static_cast<int>(revision->buildNumber), revision->dash, revision->type, revision->minor,
                       revision->major);
}

void fauxPrint_UnixQueryDisk(uint32_t low, uint32_t high, int level, const char* label, const _UNIX_QUERY_DISK* disk)
{
    if (disk == nullptr)
        return;
    auto truth = [](uint32_t v) { return v != 0 ? "TRUE" : "FALSE"; };
    FsaUxDbgFilePrintf(low, high, level,
                       "%s: ctr=%d, Instance=%d, Bus=%d, Target=%d, Lun=%d, Valid=%s, Locked=%s, Deleted=%s\n", label,
                       disk->container, disk->instance, disk->bus, disk->target, disk->lun, truth(disk->valid),
                       truth(disk->locked), truth(disk->deleted));
}

void fauxPrint_OS_FileLock(uint32_t low, uint32_t high, int level, const char* label, int cmd, const struct flock* lock)
{
    if (lock == nullptr)
        return;
    FsaUxDbgFilePrintf(low, high, level,
                       "-- %s: psd=%d, cmd=%s, l_type=%s, l_whence=%s, l_start=%ld, l_len=%ld, l_pid=%ld\n", label,
                       static_cast<int>(::getpid()), fauxAscii_OS_Cmd(cmd), fauxAscii_OS_Type(lock->l_type),
                       fauxAscii_OS_Whence(lock->l_whence), static_cast<long>(lock->l_start),
                       static_cast<long>(lock->l_len), static_cast<long>(lock->l_pid));
}

void fauxPrint_OS_StatStruct(uint32_t low, uint32_t high, int level, const char* label, const struct stat* st)
{
    if (st == nullptr)
        return;
    // The renderers share one buffer each: copy before the next call.
    const std::string mode = fauxAscii_OS_mode(st->st_mode);
    const std::string atim = fauxAscii_OS_time_t(st->st_atime);
    const std::string mtim = fauxAscii_OS_time_t(st->st_mtime);
    const std::string ctim = fauxAscii_OS_time_t(st->st_ctime);
    const int width = static_cast<int>(std::strlen(label));
    FsaUxDbgFilePrintf(low, high, level,
                       "-- %s: st_dev=%lu, st_ino=%lu, st_mode=%s, st_nlink=%lu, st_uid=%lu, st_gid=%lu,\n", label,
                       static_cast<unsigned long>(st->st_dev), static_cast<unsigned long>(st->st_ino), mode.c_str(),
                       static_cast<unsigned long>(st->st_nlink), static_cast<unsigned long>(st->st_uid),
                       static_cast<unsigned long>(st->st_gid));
    FsaUxDbgFilePrintf(low, high, level, "   %*.*s  st_rdev=%lu, st_size=%lu, st_blksize=%lu, st_blocks=%lu,\n", width,
                       width, "", static_cast<unsigned long>(st->st_rdev), static_cast<unsigned long>(st->st_size),
                       static_cast<unsigned long>(st->st_blksize), static_cast<unsigned long>(st->st_blocks));
    FsaUxDbgFilePrintf(low, high, level, "   %*.*s  st_atim=%s, st_mtim=%s, st_ctim=%s\n", width, width, "",
                       atim.c_str(), mtim.c_str(), ctim.c_str());
}

void fauxPrint_OS_FStatStruct(uint32_t low, uint32_t high, int level, const char* label, int fd)
{
    struct stat st;
    if (::fstat(fd, &st) == 0)
        fauxPrint_OS_StatStruct(low, high, level, label, &st);
}

void fauxPrint_OS_dirent(uint32_t low, uint32_t high, int level, const char* label, const struct dirent* entry)
{
    if (entry == nullptr)
        return;
    FsaUxDbgFilePrintf(low, high, level, "-- %s: ino_t=%lu, d_off=%lu, d_reclen=%lu, d_name='%s'\n", label,
                       static_cast<unsigned long>(entry->d_ino), static_cast<unsigned long>(entry->d_off),
                       static_cast<unsigned long>(entry->d_reclen), entry->d_name);
}

void fauxPrint_OS_dk_cfio(uint32_t, uint32_t, int, const char*, const void*) {}

void MSC_DTprintf(FSA_DIAG_CALLBACK callback, void* arg, const char* format, ...)
{
    char text[kDTprintfRoom];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (callback != nullptr)
        callback(text, arg);
}

void CT_ReConfig(FSAAPI_CONTEXT* ctx, uint32_t mode)
{
    uint32_t p0 = mode;
    CT_SendReceiveFIB(ctx, CT_RECONFIG, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    CT_InvalidateCache(ctx);
}

void CT_NewGetLogSize(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t command)
{
    FsaApiEntryExit scope("CT_NewGetLogSize");
    CT_SendReceiveFIB(ctx, command, a, b, c, nullptr, 0, nullptr, 0, 1);
}

void CT_NewGetNvLogEntry(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* len, void* out, uint32_t command)
{
    FsaApiEntryExit scope("CT_NewGetNvLogEntry");
    uint32_t p0 = kNoEntry;
    const uint32_t room = *len;
    CT_SendReceiveFIB(ctx, command, &p0, a, len, nullptr, 0, out, room, 1);
    checkEntryStatus(p0);
}

void CT_SetGetNvLogObfuscationMethod(FSAAPI_CONTEXT* ctx, uint32_t* method)
{
    FsaApiEntryExit scope("CT_SetGetNvLogObfuscationMethod");
    uint32_t p0 = 398;
    CT_SendReceiveFIB(ctx, CT_NV_LOG_OBFUSCATION, &p0, method, nullptr, nullptr, 0, nullptr, 0, 1);
}

void CT_GetLogSize(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_GetLogSize");
    uint32_t p0 = 0, p1 = 0, p2 = 0;
    CT_SendReceiveFIB(ctx, CT_GET_LOG_SIZE, &p0, &p1, &p2, nullptr, 0, nullptr, 0, 1);
    logLines = p0;
    startLine = p1;
}

uint32_t CT_LogLines() { return logLines; }
uint32_t CT_LogStartLine() { return startLine; }

void CT_GetNvLogEntry(FSAAPI_CONTEXT* ctx, unsigned line, unsigned p1, void* out)
{
    FsaApiEntryExit scope("CT_GetNvLogEntry");
    uint32_t p0 = line, q1 = p1;
    CT_SendReceiveFIB(ctx, CT_GET_NVLOG_ENTRY, &p0, &q1, nullptr, nullptr, 0, out, kOlderEntryBytes, 1);
    checkEntryStatus(p0);
}

FSA_STATUS CT_GetLegacyNvLogEntry(FSAAPI_CONTEXT* ctx, unsigned line, unsigned p1, void* out)
{
    uint32_t p0 = line, q1 = p1;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_NVLOG_ENTRY, &p0, &q1, nullptr, nullptr, 0, out, kLegacyEntryBytes, 0);
    if (sent == FSA_STS_SUCCESS)
        checkEntryStatus(p0);
    return sent;
}

FSA_STATUS CT_GetHistLogSize(FSAAPI_CONTEXT* ctx, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t command)
{
    return CT_SendReceiveFIB(ctx, command, a, b, c, nullptr, 0, nullptr, 0, 0);
}

namespace {

constexpr uint32_t kBatterySixWords = 0x500000;
constexpr uint32_t kBatterySerial = 0x80000;
constexpr uint32_t kBatteryInformation = 0x100;
constexpr uint32_t kOemSixWordBattery = 18;
constexpr uint32_t kOpt1SixWordBattery = 0x200;

// Fields of the 60-byte record FsaBattery fills: the flag that marks each
// valid and where it sits.
constexpr uint32_t kBatFullCapacity = 0x4;       // u16 at 18
constexpr uint32_t kBatDesignCapacity = 0x8;     // u16 at 16
constexpr uint32_t kBatRemainingCapacity = 0x2;  // u16 at 20
constexpr uint32_t kBatVoltage = 0x800;          // u16 at 12
constexpr uint32_t kBatCurrent = 0x80;           // i16 at 26
constexpr uint32_t kBatTemperature = 0x10;       // u16 at 14, tenths of a kelvin
constexpr uint32_t kBatReconditionDates = 0x80000000u;  // u32 at 28 (last) and 32 (next)

const char* const kBatteryLabels[] = {
    "\nBattery Serial Number:     %s", "\nFull Charge Capacity:      %s", "\nDesign capacity:           %s",
    "\nRemaining Capacity:        %s", "\nVoltage:                   %s", "\nCurrent:                   %s",
    "\nSpecification Information: %s", "\nTemperature:               %s", "\nLast recondition date:     %s",
    "\nNext recondition date:     %s"};
constexpr size_t kBatteryValues = sizeof kBatteryLabels / sizeof kBatteryLabels[0];

struct BatteryText {
    char value[kBatteryValues][32];

    void set(size_t i, const char* format, ...) __attribute__((format(printf, 3, 4)))
    {
        va_list ap;
        va_start(ap, format);
        std::vsnprintf(value[i], sizeof value[i], format, ap);
        va_end(ap);
    }
    void print(FSA_DIAG_CALLBACK callback, void* arg) const
    {
        for (size_t i = 0; i < kBatteryValues; ++i)
            MSC_DTprintf(callback, arg, kBatteryLabels[i], value[i]);
    }
};

// Older OEM controllers report six words of their own page.
void sixWordBattery(FSAAPI_CONTEXT* ctx, BatteryText& text)
{
    uint8_t page[24] = {};
    const bool have = SCSI_sendfib(ctx, 0, kBatterySixWords, page, sizeof page, 0) == FSA_STS_SUCCESS;
    auto word = [&](size_t i) { return static_cast<int>(faGetLe32(page + 4 * i)); };
    const char* const units[6] = {"%d mAh", "%d mAh", "%d mAh", "%d mV", "%d mA", "%d C"};
    const size_t slots[6] = {1, 2, 3, 4, 5, 7};
    for (size_t i : {0, 6, 8, 9})
        text.set(i, "NONE");
    for (size_t i = 0; i < 6; ++i) {
        if (have)
            text.set(slots[i], units[i], word(i));
        else
            text.set(slots[i], "Unknown");
    }
}

void recordBattery(FSAAPI_CONTEXT* ctx, BatteryText& text)
{
    uint8_t record[60] = {};
    const bool have = FsaBattery(ctx->apiHandle, 2, record) == FSA_STS_SUCCESS;
    const uint32_t flags = have ? faGetLe32(record) : 0;
    auto u16Value = [&](size_t slot, uint32_t bit, size_t at, const char* format) {
        if (flags & bit)
            text.set(slot, format, faGetLe16(record + at));
        else
            text.set(slot, "Unknown");
    };
    uint8_t word[2] = {};
    if (SCSI_sendfib(ctx, 0, kBatterySerial, word, sizeof word, 0) == FSA_STS_SUCCESS)
        text.set(0, "%d", faGetLe16(word));
    else
        text.set(0, "%s", PCK_IsOemServerRomb(ctx) ? "Not Available" : "Unknown");
    u16Value(1, kBatFullCapacity, 18, "%hu mAh");
    u16Value(2, kBatDesignCapacity, 16, "%hu mAh");
    u16Value(3, kBatRemainingCapacity, 20, "%hu mAh");
    u16Value(4, kBatVoltage, 12, "%hu mV");
    // A discharge is negative: shown as the signed value read back.
    if (flags & kBatCurrent)
        text.set(5, "%hd mA", static_cast<int16_t>(faGetLe16(record + 26)));
    else
        text.set(5, "Unknown");
    std::memset(word, 0, sizeof word);
    if (SCSI_sendfib(ctx, 0, kBatteryInformation, word, sizeof word, 0) == FSA_STS_SUCCESS)
        text.set(6, "%hu", faGetLe16(word));
    else
        text.set(6, "Unknown");
    if (flags & kBatTemperature)
        text.set(7, "%.1f K", faGetLe16(record + 14) / 10.0);
    else
        text.set(7, "Unknown");
    if (flags & kBatReconditionDates) {
        text.set(8, "0x%x", faGetLe32(record + 28));
        text.set(9, "0x%x", faGetLe32(record + 32));
    } else {
        text.set(8, "Unknown");
        text.set(9, "Unknown");
    }
}

// One line of the older log, prefixed with its number.
void printOlderEntry(FSA_DIAG_CALLBACK callback, void* arg, unsigned line, const char* entry, size_t room)
{
    const size_t n = strnlen(entry, room);
    const bool ended = n > 0 && entry[n - 1] == '\n';
    MSC_DTprintf(callback, arg, "[%02d]: %.*s%s", static_cast<int>(line), static_cast<int>(n), entry,
                 ended ? "" : "\n");
}

// The older history log: the lines before the current run's first line are
// the last run's. Controllers of the legacy servers without the size query
// keep the count of the last answer and give shorter entries.
void dumpOlderLog(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg)
{
    bool legacy = false;
    try {
        CT_GetLogSize(ctx);
    } catch (FSA_STATUS status) {
        if (status != kTransportFailure || !PCK_IsOemServerLegacy(ctx))
            throw;
        legacy = true;
    }
    const uint32_t lines = std::min(CT_LogLines(), kMaxLogBytes / kOlderEntryBytes);
    const uint32_t start = std::min(CT_LogStartLine(), lines);
    auto section = [&](const char* banner, uint32_t from, uint32_t to) {
        MSC_DTprintf(callback, arg, "%s", banner);
        for (uint32_t line = from; line < to; ++line) {
            char entry[kOlderEntryBytes + 1] = {};
            try {
                if (legacy) {
                    const FSA_STATUS sent = CT_GetLegacyNvLogEntry(ctx, line, 0, entry);
                    if (sent != FSA_STS_SUCCESS)
                        throw sent;
                } else {
                    CT_GetNvLogEntry(ctx, line, 0, entry);
                }
            } catch (FSA_STATUS status) {
                if (status == kNoSuchEntry)
                    return;
                throw;
            }
            printOlderEntry(callback, arg, line, entry, legacy ? kLegacyEntryBytes : kOlderEntryBytes);
        }
    };
    section("\n\n *** HISTORY BUFFER FROM LAST RUN ***\n\n", 0, start);
    section("\n\n *** HISTORY BUFFER FROM CURRENT CONTROLLER RUN ***\n\n", start, lines);
}

void dumpNewerLog(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg)
{
    MSC_DTprintf(callback, arg, " ***      HISTORY BUFFER FROM CONTROLLER     ***\n");
    MSC_DTprintf(callback, arg, " *** Time stamps are the time elapsed since the controller started, ***\n");
    MSC_DTprintf(callback, arg, " *** or Greenwich Mean Time once the host has set the controller's   ***\n");
    MSC_DTprintf(callback, arg, " *** clock; the change from one to the other shows where it was set. ***\n");
    try {
        uint32_t a = 0, size = 0, c = 0;
        CT_NewGetLogSize(ctx, &a, &size, &c, CT_GET_NEW_LOG);
        passText(callback, arg, readLog(ctx, CT_GET_NEW_LOG, size));
    } catch (FSA_STATUS status) {
        MSC_DTprintf(callback, arg, "New - got bad status: %d\n", static_cast<int>(status));
    }
}

}  // namespace

void MSC_ShowBattery(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg)
{
    MSC_DTprintf(callback, arg, "\n\nBattery Information");
    MSC_DTprintf(callback, arg, "\n-------------------");
    BatteryText text;
    if (ctx->oemId == kOemSixWordBattery && (FsaOptionWord1(ctx) & kOpt1SixWordBattery))
        sixWordBattery(ctx, text);
    else
        recordBattery(ctx, text);
    text.print(callback, arg);
}

namespace {

// Partition-record fields the tables show besides those fa_intern_ctr.h names.
constexpr unsigned kParFirstCount = 56;   // u16, members of the first owner
constexpr unsigned kParMemberIndex = 60;  // u16, this partition's place in it
constexpr unsigned kParDead = 64;         // u32, non-zero: a dead partition
constexpr unsigned kParSecondCount = 76;  // u16, members of the second owner
constexpr unsigned kParLegIndex = 80;     // u16, the first owner's place in the second
constexpr unsigned kParStripe = 92;       // u32, the first owner's stripe in blocks
constexpr unsigned kParWriteCache = 136;  // u8
constexpr unsigned kParReadCache = 137;   // u8

// The legacy container record: word 0 the member count, word 3 flags, from
// word 5 the members' partition-table indexes, words 135 to 137 the snapshot
// pair and its reference.
constexpr unsigned kCtrRecordBytes = 1152;
constexpr unsigned kCtrFlags = 12;
constexpr unsigned kCtrFirstMember = 20;
constexpr unsigned kCtrSnapshotRw = 540;
constexpr unsigned kCtrSnapshotRo = 544;
constexpr unsigned kCtrSnapshotOriginal = 548;
constexpr uint32_t kCtrMaxMembers = (kCtrSnapshotRw - kCtrFirstMember) / 4;
constexpr uint32_t kCtrHidden = 0x80;
constexpr uint32_t kCtrReadOnly = 0x10000000;
constexpr uint32_t kCtrLocked = 0x80000000u;

// Firmware container types.
enum : uint32_t {
    kFwVolume = 1,
    kFwMirror = 2,
    kFwStripe = 3,
    kFwRaid5 = 4,
    kFwSnapshotRw = 5,
    kFwSnapshotRo = 6,
    kFwPassThrough = 8,
    kFwRaid5EE = 15,
    kFwRaid1E = 17,
    kFwRaid6 = 18,
};

const char* containerTypeName(uint32_t type, bool primary)
{
    switch (type) {
    case 0: return "NONE";
    case kFwVolume: return "VOLUME";
    case kFwMirror: return "MIRROR";
    case kFwStripe: return "STRIPE";
    case kFwRaid5: return "RAID5";
    case kFwSnapshotRw: return "SSRW";
    case kFwSnapshotRo: return "SSRO";
    // Only a container made of partitions passes a drive through.
    case kFwPassThrough: return primary ? "PASSTHRU" : "???";
    case kFwRaid5EE: return "RAID5EE";
    case kFwRaid1E: return "RAID1E";
    case kFwRaid6: return "RAID6";
    default: return "???";
    }
}

// A partition owner's type code as one letter of "P?RMSV", in the codes of
// the container types above: pass-through, unknown, the parity kinds,
// mirrors, stripes and volumes; '-' for no owner.
char ownerLetter(uint32_t code)
{
    switch (code) {
    case 0: return '-';
    case kFwVolume: return 'V';
    case kFwMirror:
    case kFwRaid1E: return 'M';
    case kFwStripe: return 'S';
    case kFwRaid5:
    case kFwRaid5EE:
    case kFwRaid6: return 'R';
    case kFwPassThrough: return 'P';
    default: return '?';
    }
}

// A partition's state as one letter of "!CNF": dead, holding a container,
// foreign (on a slice this system did not write), none of these.
char stateLetter(const uint8_t* p, uint32_t kind)
{
    if (faGetLe32(p + kParDead) != 0)
        return '!';
    if (kind == PCE_FOREIGN_USED)
        return 'F';
    return (faGetLe32(p + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0 ? 'C' : 'N';
}

// Creation date, time, creator words, creation byte and last creation byte.
std::string creationText(const uint8_t* p)
{
    const uint32_t date = faGetLe32(p + PART_CREATION_DATE);
    const uint32_t c1 = faGetLe32(p + PART_CREATOR_1);
    const uint32_t c2 = faGetLe32(p + PART_CREATOR_2);
    char text[96];
    std::snprintf(text, sizeof text, "%2d/%2d/%02d %2d:%2d:%2d %04X-%04X-%04X-%04X %04d %1d",
                  static_cast<int>(date & 0xF), static_cast<int>((date >> 4) & 0x1F),
                  (p[PART_CREATION_YEAR] + 1900) % 100, static_cast<int>((date >> 10) & 0x3F),
                  static_cast<int>((date >> 16) & 0x3F), static_cast<int>((date >> 22) & 0x3F), c1 >> 16, c1 & 0xFFFF,
                  c2 >> 16, c2 & 0xFFFF, p[PART_CREATION], p[PART_CREATION_LAST]);
    return text;
}

// Sizes beyond what SizeString's int holds go through the 64-bit form.
std::string sizeText(uint64_t blocks)
{
    if (blocks <= static_cast<uint64_t>(INT32_MAX))
        return SizeString(static_cast<int>(blocks));
    std::string text = SizeString64(blocks);
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    return text;
}

std::string textOf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string textOf(const char* format, ...)
{
    char text[kDTprintfRoom];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return text;
}

// Title lines, then a ruler under the last of them.
void printTitles(FSA_DIAG_CALLBACK callback, void* arg, const std::string& first, const std::string& second)
{
    MSC_DTprintf(callback, arg, "%s", first.c_str());
    MSC_DTprintf(callback, arg, "%s", second.c_str());
    MSC_DTprintf(callback, arg, "%s\n", std::string(second.size() - 1, '-').c_str());
}

void refreshCache(FSAAPI_CONTEXT* ctx)
{
    const FSA_STATUS refreshed = CT_UpdateCache(ctx);
    if (refreshed != FSA_STS_SUCCESS)
        throw refreshed;
}

// The context's partition cache, refreshed and copied out under its mutex.
std::vector<FSA_PARTITION_CACHE_ELEMENT> cachedPartitions(FSAAPI_CONTEXT* ctx)
{
    refreshCache(ctx);
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr)
        return {};
    FAUX_AUTORELEASE_MUTEX lock(cache->mutex);
    return std::vector<FSA_PARTITION_CACHE_ELEMENT>(cache->elements, cache->elements + cache->count);
}

#define PARTITION_TITLES "Par  %22s   %22s  Num Flags Cnt Cnt Ent Drv Par Age Ty Of R/W Orp Dirty " \
                                          "Loc Date     Time     Serial Number       BN   A\n"

void showPartition(FSA_DIAG_CALLBACK callback, void* arg, const FSA_PARTITION_CACHE_ELEMENT& e)
{
    const uint8_t* p = e.bytes;
    const uint32_t kind = faGetLe32(p + PCE_KIND);
    const char owners[4] = {' ', ownerLetter(faGetLe32(p + PART_FIRST_OWNER)),
                            ownerLetter(faGetLe32(p + PART_SECOND_OWNER)), '\0'};
    const char state[2] = {stateLetter(p, kind), '\0'};
    const char kindText[2] = {static_cast<char>('0' + std::min<uint32_t>(kind, 9)), '\0'};
    char cache[3];
    std::snprintf(cache, sizeof cache, "%x%x", p[kParReadCache] & 0xF, p[kParWriteCache] & 0xF);
    char flags[24];
    std::snprintf(flags, sizeof flags, "  %3s %5s %3s",
                  (faGetLe32(p + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0 ? "no" : "yes",
                  faGetLe32(p + kParDead) != 0 ? "yes" : "no", LOCAL_ATTACHED(&e) ? "yes" : "no");
    MSC_DTprintf(callback, arg, "%2d %24llu %24llu  %2d  %3s:%s  %2d %2d %3d %3d %3d %4d  %s %2d %2s",
                 static_cast<int>(faGetLe32(p + PART_TABLE_INDEX)),
                 static_cast<unsigned long long>(faGetLe64(p + PART_START_64)),
                 static_cast<unsigned long long>(faGetLe64(p + PART_LENGTH_64)), faGetLe16(p + PART_FIRST_CONTAINER),
                 owners, state, faGetLe16(p + kParFirstCount), faGetLe16(p + kParSecondCount),
                 faGetLe16(p + kParMemberIndex), static_cast<int>(faGetLe32(p + PART_SLICE)),
                 faGetLe16(p + PART_SECOND_CONTAINER), static_cast<int>(faGetLe32(p + PART_AGE)), kindText,
                 faGetLe16(p + kParLegIndex), cache);
    MSC_DTprintf(callback, arg, "%s %s\n", flags, creationText(p).c_str());
}

void showPartitionTable(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg)
{
    const std::vector<FSA_PARTITION_CACHE_ELEMENT> list = cachedPartitions(ctx);
    auto isFree = [](const FSA_PARTITION_CACHE_ELEMENT& e) {
        const uint32_t kind = faGetLe32(e.bytes + PCE_KIND);
        return kind == PCE_FREE || kind == PCE_FOREIGN_FREE;
    };
    const long used = std::count_if(list.begin(), list.end(), [&](const auto& e) { return !isFree(e); });
    MSC_DTprintf(callback, arg, "Partitions:%d\n", static_cast<int>(used));
    printTitles(callback, arg, textOf(PARTITION_TITLES, "Starting", "Sector"), textOf(PARTITION_TITLES, "Sector", "Count"));
    for (const FSA_PARTITION_CACHE_ELEMENT& e : list) {
        if (!isFree(e)) {
            showPartition(callback, arg, e);
            continue;
        }
        const int slice = CT_GetSliceFromDriveHandle(ctx, faGetLe32(e.bytes + PART_LOCATION), 0, nullptr);
        MSC_DTprintf(callback, arg, "NA %24llu %24llu  %2d (Free Space)\n",
                     static_cast<unsigned long long>(faGetLe64(e.bytes + PART_START_64)),
                     static_cast<unsigned long long>(faGetLe64(e.bytes + PART_LENGTH_64)), slice);
    }
}

#define CONTAINER_TITLES_1 "               TOTAL        FSA              CHUNK  SCSI       PARTI      " \
                                           "                                        %16s            USER\n"
#define CONTAINER_TITLES_2 "CONTR TYPE     SIZE   PROT  LOCK SIZE        SIZE  B:T:L SLICE TION  DATE     " \
                                           "TIME     SERIAL NUMBER       BN   A %16s     R5     FLAG\n"

// A member partition of a container with the drive it lies on.
struct Member {
    uint32_t index;
    Partition record;
    uint32_t handle;
};

uint64_t startOf(const Partition& p) { return faGetLe64(p.bytes + PART_START_64); }
uint64_t lengthOf(const Partition& p) { return faGetLe64(p.bytes + PART_LENGTH_64); }

// The drive of a table entry, from the partition cache; none when the cache
// does not list it.
uint32_t driveOf(const std::vector<FSA_PARTITION_CACHE_ELEMENT>& cache, uint32_t index)
{
    for (const FSA_PARTITION_CACHE_ELEMENT& e : cache) {
        const uint32_t kind = faGetLe32(e.bytes + PCE_KIND);
        if ((kind == PCE_IN_MEMORY || kind == PCE_MATCHED) && faGetLe32(e.bytes + PART_TABLE_INDEX) == index)
            return faGetLe32(e.bytes + PART_LOCATION);
    }
    return 0xFFFFFFFFu;
}

// The space a container of `type` offers over members of these sizes.
uint64_t usableBlocks(uint32_t type, const std::vector<uint64_t>& sizes)
{
    if (sizes.empty())
        return 0;
    const uint64_t n = sizes.size();
    const uint64_t smallest = *std::min_element(sizes.begin(), sizes.end());
    uint64_t sum = 0;
    for (uint64_t s : sizes)
        sum += s;
    switch (type) {
    case kFwMirror: return smallest;
    case kFwRaid5: return (n - 1) * smallest;
    case kFwRaid5EE:
    case kFwRaid6: return n > 2 ? (n - 2) * smallest : 0;
    case kFwRaid1E: return sum / 2;
    default: return sum;
    }
}

struct ContainerView {
    uint32_t type = 0;
    std::vector<uint8_t> record = std::vector<uint8_t>(kCtrRecordBytes, 0);
    std::vector<Member> members;
    bool primary = false;
};

bool readContainer(FSAAPI_CONTEXT* ctx, uint32_t container, const std::vector<FSA_PARTITION_CACHE_ELEMENT>& cache,
                   ContainerView& out)
{
    if (CT_GetContainer(ctx, container, out.record.data(), &out.type) == 0)
        return false;
    const uint32_t n = std::min(faGetLe32(out.record.data()), kCtrMaxMembers);
    for (uint32_t m = 0; m < n; ++m) {
        Member member{faGetLe32(out.record.data() + kCtrFirstMember + 4 * m), Partition(), 0xFFFFFFFFu};
        std::memset(member.record.bytes, 0, sizeof member.record.bytes);
        if (member.index == 0)
            continue;
        // A member whose entry cannot be read is left out; the table goes on.
        try {
            CT_GetPartitionInMemory(ctx, member.index, &member.record);
        } catch (FSA_STATUS status) {
            FsaDebugPrintf("MSC_ShowContainer: container %u member %u: status %u", container, member.index,
                           static_cast<unsigned>(status));
            continue;
        }
        member.handle = driveOf(cache, member.index);
        if (startOf(member.record) != 0)
            out.primary = true;
        out.members.push_back(member);
    }
    return true;
}

// A container's usable size; the members of one made of containers are
// containers themselves, followed one level down.
uint64_t containerBlocks(FSAAPI_CONTEXT* ctx, const ContainerView& c,
                         const std::vector<FSA_PARTITION_CACHE_ELEMENT>& cache, bool followMembers)
{
    std::vector<uint64_t> sizes;
    for (const Member& m : c.members) {
        if (c.primary) {
            sizes.push_back(lengthOf(m.record));
            continue;
        }
        ContainerView member;
        if (followMembers && readContainer(ctx, faGetLe32(m.record.bytes + PART_LOCATION), cache, member))
            sizes.push_back(containerBlocks(ctx, member, cache, false));
    }
    return usableBlocks(c.type, sizes);
}

std::string memberText(FSAAPI_CONTEXT* ctx, const Member& m, const std::string& userFlags)
{
    const uint8_t* p = m.record.bytes;
    char device[40];
    std::snprintf(device, sizeof device, "%d:%x:%d", static_cast<int>(FsaApiGetBusFromDeviceHandle(ctx, m.handle)),
                  FsaApiGetTargetFromDeviceHandle(ctx, m.handle),
                  static_cast<int>(FsaApiGetLunFromDeviceHandle(ctx, m.handle)));
    char text[256];
    std::snprintf(text, sizeof text, "        %4s  %5s %5d %4u  %s %16s     %2u     %s\n", PChunk(&m.record), device,
                  static_cast<int>(faGetLe32(p + PART_SLICE)), m.index, creationText(p).c_str(),
                  SizeString64(lengthOf(m.record)), faGetLe32(p + PART_WORD_100), userFlags.c_str());
    return text;
}

}  // namespace

const char* PChunk(const Partition* partition)
{
    static char buffer[16];
    const uint32_t type = faGetLe32(partition->bytes + PART_FIRST_OWNER);
    if (type == kFwStripe || type == kFwRaid5 || type == kFwRaid5EE || type == kFwRaid6)
        std::snprintf(buffer, sizeof buffer, "%2dKB", static_cast<int>(faGetLe32(partition->bytes + kParStripe) / 2));
    else
        std::snprintf(buffer, sizeof buffer, "    ");
    return buffer;
}

void MSC_ShowContainer(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_DIAG_CALLBACK callback, void* arg)
{
    const std::vector<FSA_PARTITION_CACHE_ELEMENT> cache = cachedPartitions(ctx);
    ContainerView c;
    if (!readContainer(ctx, container, cache, c))
        return;
    const uint32_t flags = faGetLe32(c.record.data() + kCtrFlags);
    const char* prot = (flags & kCtrLocked) != 0 ? "YES" : "NO ";
    const char* lock = (flags & kCtrReadOnly) != 0 ? "RO" : "RW";
    const int number = static_cast<int>(container);
    if (c.type == kFwSnapshotRw || c.type == kFwSnapshotRo) {
        MSC_DTprintf(callback, arg, "%-2d    %6s %7s       %-3s  %s      ", number, containerTypeName(c.type, false),
                     sizeText(containerBlocks(ctx, c, cache, true)).c_str(), prot, lock);
        MSC_DTprintf(callback, arg, " SNAPSHOT(rw:%d ro:%d original:%d)\n",
                     static_cast<int>(faGetLe32(c.record.data() + kCtrSnapshotRw)),
                     static_cast<int>(faGetLe32(c.record.data() + kCtrSnapshotRo)),
                     static_cast<int>(faGetLe32(c.record.data() + kCtrSnapshotOriginal)));
        return;
    }
    if (!c.primary) {
        MSC_DTprintf(callback, arg, "%-2d    %6s %7s         %-3s %s\n", number, containerTypeName(c.type, false),
                     sizeText(containerBlocks(ctx, c, cache, true)).c_str(), prot, lock);
        return;
    }
    uint64_t total = 0;
    for (const Member& m : c.members)
        total += lengthOf(m.record);
    // A hidden container, waiting for its companions, is shown in brackets.
    const bool hidden = (flags & kCtrHidden) != 0;
    MSC_DTprintf(callback, arg, "%s%-2d%s %-7s%7s  %3s    %s %s", hidden ? "[" : " ", number, hidden ? "]" : " ",
                 containerTypeName(c.type, true), sizeText(total).c_str(), prot, lock,
                 sizeText(containerBlocks(ctx, c, cache, false)).c_str());
    // The container's flags close its first line; further members follow
    // under the first, one a line.
    bool first = true;
    for (const Member& m : c.members) {
        MSC_DTprintf(callback, arg, "%s%s", first ? "" : std::string(37, ' ').c_str(),
                     memberText(ctx, m, first ? textOf("%08X", flags) : "").c_str());
        first = false;
    }
}

void MSC_DumpMassiveTextData(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg)
{
    if (flags & 0x1)
        showPartitionTable(ctx, callback, arg);
    if (flags & 0x2) {
        // Member drives come from the cache: a table that cannot have them
        // is not started.
        refreshCache(ctx);
        // Container numbers are bytes on the wire.
        const uint32_t count = std::min<uint32_t>(CT_GetContainerCount(ctx, nullptr, nullptr), 256);
        printTitles(callback, arg, textOf(CONTAINER_TITLES_1, "MEMBER"), textOf(CONTAINER_TITLES_2, "SIZE"));
        for (uint32_t container = 0; container < count; ++container)
            MSC_ShowContainer(ctx, container, callback, arg);
    }
    if (flags & 0x10)
        MSC_ShowBattery(ctx, callback, arg);
    if ((FsaOptionWord1(ctx) & kOpt1NewerLogOnly) == 0)
        dumpOlderLog(ctx, callback, arg);
    else if (flags & 0x8)
        dumpNewerLog(ctx, callback, arg);
}

void MSC_DumpMonitorArchive(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg)
{
    if ((flags & 0x8) == 0 || callback == nullptr)
        return;
    uint32_t a = 0, size = 0, c = 0;
    CT_NewGetLogSize(ctx, &a, &size, &c, CT_MONITOR_ARCHIVE);
    if (size == 0)
        return;
    uint32_t method = 1;
    CT_SetGetNvLogObfuscationMethod(ctx, &method);
    FsaDebugPrintf("obfuscationMethod:%s", std::to_string(method).c_str());
    // Lines reach the callback whole: a line split over two entries is
    // carried into the next.
    std::string partial;
    for (const std::string& entry : readLogEntries(ctx, CT_MONITOR_ARCHIVE, size)) {
        size_t from = 0;
        while (from < entry.size()) {
            const size_t nl = entry.find('\n', from);
            if (nl == std::string::npos) {
                partial.append(entry, from, std::string::npos);
                traceLine("Partial", partial);
                break;
            }
            std::string line = entry.substr(from, nl + 1 - from);
            from = nl + 1;
            if (!partial.empty()) {
                line = partial + line;
                partial.clear();
                traceLine("Partial/Newline", line);
            } else {
                traceLine("Newline", line);
            }
            call(callback, arg, line);
        }
    }
    if (!partial.empty())
        call(callback, arg, partial);
}

extern "C" FSA_STATUS FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter, FSA_DIAG_CALLBACK callback,
                                    void* arg)
{
    return FsaExportedCall("FsaDiagnostic", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        const unsigned flags = parameter != nullptr ? *parameter : 0;
        switch (selector) {
        case 0:
            MSC_DumpMassiveTextData(ctx, flags, callback, arg);
            break;
        case 2:
            if ((kFsaModesWrite & (1u << ctx->accessMode)) == 0)
                return static_cast<FSA_STATUS>(FSA_STS_NOT_OPEN_READ_WRITE);
            CT_ReConfig(ctx, 2);
            break;
        case 3:
            CT_ReConfig(ctx, 1);
            break;
        case 5:
            MSC_ShowBattery(ctx, callback, arg);
            break;
        case 6:
            MSC_DumpMonitorArchive(ctx, flags, callback, arg);
            break;
        default:
            return static_cast<FSA_STATUS>(92);
        }
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaDiagnosticEx(void* handle, uint32_t index, unsigned selector, unsigned* parameter,
                                      FSA_DIAG_CALLBACK callback, void* arg)
{
    return FsaExportedCall("FsaDiagnosticEx", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        void* entry = nullptr;
        const FSA_STATUS found = FsaGetHandleFromIndex(handle, index, &entry);
        if (found != FSA_STS_SUCCESS)
            return found;
        return FsaDiagnostic(entry, selector, parameter, callback, arg);
    });
}
