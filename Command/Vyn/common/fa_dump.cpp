#include "Command/Vyn/common/fa_dump.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

#include <algorithm>
#include <cstdarg>
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

// Reads `size` bytes (capped) of the log of command `cmd`, in chunks.
std::string readLog(FSAAPI_CONTEXT* ctx, uint32_t cmd, uint32_t size)
{
    size = std::min(size, kMaxLogBytes);
    std::string text;
    std::vector<uint8_t> chunk(kLogChunk);
    uint32_t offset = 0;
    while (offset < size) {
        uint32_t next = offset;
        uint32_t len = std::min<uint32_t>(kLogChunk, size - offset);
        CT_NewGetNvLogEntry(ctx, &next, &len, chunk.data(), cmd);
        len = std::min<uint32_t>(len, kLogChunk);
        if (len == 0)
            break;
        text.append(reinterpret_cast<const char*>(chunk.data()), len);
        // A controller that does not move on would loop for ever.
        offset = next > offset ? next : offset + len;
    }
    if (text.size() > size)
        text.resize(size);
    return text;
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

void MSC_DTprintf(FSA_DIAG_CALLBACK callback, void* arg, const char* format, ...)
{
    char text[1024];
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
    if (p0 == kNoEntry)
        throw kNoSuchEntry;
    if (p0 != kEntryReturned)
        throw kBadEntry;
}

void CT_SetGetNvLogObfuscationMethod(FSAAPI_CONTEXT* ctx, uint32_t* method)
{
    FsaApiEntryExit scope("CT_SetGetNvLogObfuscationMethod");
    uint32_t p0 = 398;
    CT_SendReceiveFIB(ctx, CT_NV_LOG_OBFUSCATION, &p0, method, nullptr, nullptr, 0, nullptr, 0, 1);
}

void MSC_ShowBattery(FSAAPI_CONTEXT* ctx, FSA_DIAG_CALLBACK callback, void* arg)
{
    MSC_DTprintf(callback, arg, "\n\nBattery Information");
    MSC_DTprintf(callback, arg, "\n-------------------");
    uint8_t record[60] = {};
    const bool have = FsaBattery(ctx->apiHandle, 2, record) == FSA_STS_SUCCESS;
    const uint32_t flags = faGetLe32(record);
    char value[64];
    auto u16At = [&](size_t at, uint32_t bit, const char* format) {
        if (have && (flags & bit))
            std::snprintf(value, sizeof value, format, faGetLe16(record + at));
        else
            std::snprintf(value, sizeof value, "Unknown");
        return value;
    };
    MSC_DTprintf(callback, arg, "\nBattery Serial Number:     %s", "Unknown");
    MSC_DTprintf(callback, arg, "\nFull Charge Capacity:      %s", u16At(20, 0x2, "%hu mAh"));
    MSC_DTprintf(callback, arg, "\nDesign capacity:           %s", u16At(18, 0x4, "%hu mAh"));
    MSC_DTprintf(callback, arg, "\nRemaining Capacity:        %s", u16At(16, 0x8, "%hu mAh"));
    MSC_DTprintf(callback, arg, "\nVoltage:                   %s", u16At(14, 0x10, "%hu mV"));
    MSC_DTprintf(callback, arg, "\nCurrent:                   %s", u16At(12, 0x800, "%hu mA"));
}

void MSC_DumpMassiveTextData(FSAAPI_CONTEXT* ctx, uint32_t flags, FSA_DIAG_CALLBACK callback, void* arg)
{
    // The partition and container tables need the container cache.
    if (flags & 0x3)
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    if (flags & 0x10)
        MSC_ShowBattery(ctx, callback, arg);
    if ((flags & 0x8) && (FsaOptionWord1(ctx) & kOpt1NewerLogOnly)) {
        MSC_DTprintf(callback, arg, " ***      HISTORY BUFFER FROM CONTROLLER     ***\n");
        try {
            uint32_t a = 0, size = 0, c = 0;
            CT_NewGetLogSize(ctx, &a, &size, &c, CT_GET_NEW_LOG);
            const std::string text = readLog(ctx, CT_GET_NEW_LOG, size);
            MSC_DTprintf(callback, arg, "%s", text.c_str());
        } catch (FSA_STATUS status) {
            MSC_DTprintf(callback, arg, "New - got bad status: %d\n", static_cast<int>(status));
        }
    }
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
    FsaDebugPrintf("obfuscationMethod:%s\n", std::to_string(method).c_str());
    const std::string text = readLog(ctx, CT_MONITOR_ARCHIVE, size);
    // Lines reach the callback whole: a line split over two entries is
    // carried into the next.
    std::string partial;
    for (char ch : text) {
        partial += ch;
        if (ch == '\n') {
            call(callback, arg, partial);
            partial.clear();
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
