#include "Command/Vyn/os/faux_debug.h"

#include "common/HostPath.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr uint32_t kAdapterLow = FAUX_DBG_DEBUG | FAUX_DBG_THROW | FAUX_DBG_AIF | FAUX_DBG_DRIVER | FAUX_DBG_FIB |
                                 FAUX_DBG_IOCTL | FAUX_DBG_SNMP;
constexpr uint32_t kInfraLow = FAUX_DBG_DEBUG | FAUX_DBG_THROW;
constexpr uint32_t kInfraHigh = FAUX_DBG_LOCK | FAUX_DBG_MUTEX | FAUX_DBG_SEMA | FAUX_DBG_SIGNAL | FAUX_DBG_THREAD;
constexpr uint32_t kOtherLow = FAUX_DBG_DEBUG | FAUX_DBG_THROW;
constexpr uint32_t kOtherHigh = FAUX_DBG_LATER | FAUX_DBG_MISC | FAUX_DBG_MISSED | FAUX_DBG_TERM | FAUX_DBG_TEXT;

constexpr const char* kDefaultName = "/tmp/dbg.api";
constexpr size_t kLineRoom = 1024;

std::atomic<int> faux_nLevel{0};
std::atomic<uint32_t> faux_nModulesLow{0};
std::atomic<uint32_t> faux_nModulesHigh{0};
std::atomic<bool> fileOpen{false};

// The name is the one setting that is not a single word; a small lock keeps a
// reader from seeing half of a new name.
std::mutex nameMutex;
char fileName[256] = "";

std::string currentName()
{
    std::lock_guard<std::mutex> lock(nameMutex);
    return fileName[0] != '\0' ? std::string(fileName) : std::string(kDefaultName);
}

// Opened for appending like "a+", but never through a planted symbolic link.
FILE* openTraceFile(const char* how)
{
    // Fixed (absolute) names lie under the host root; a relative name given
    // with -F stays relative to the working directory.
    const std::string name = currentName();
    const std::string path = name[0] == '/' ? vynHostPath(name.c_str()) : name;
    int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    flags |= (how[0] == 'w') ? O_TRUNC : O_APPEND;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return nullptr;
    FILE* f = ::fdopen(fd, how[0] == 'w' ? "w" : "a+");
    if (f == nullptr)
        ::close(fd);
    return f;
}

struct ModuleRow {
    uint32_t low;
    uint32_t high;
    const char* name;
};

const ModuleRow kModuleNames[] = {
    {FAUX_DBG_DEBUG, 0, "DEBUG"},  {FAUX_DBG_THROW, 0, "THROW"},   {FAUX_DBG_AIF, 0, "AIF"},
    {FAUX_DBG_DRIVER, 0, "DRIVER"}, {FAUX_DBG_FIB, 0, "FIB"},       {FAUX_DBG_IOCTL, 0, "IOCTL"},
    {FAUX_DBG_SNMP, 0, "SNMP"},    {0, FAUX_DBG_LOCK, "LOCK"},     {0, FAUX_DBG_MUTEX, "MUTEX"},
    {0, FAUX_DBG_SEMA, "SEMA"},    {0, FAUX_DBG_SIGNAL, "SIGNAL"}, {0, FAUX_DBG_THREAD, "THREAD"},
    {0, FAUX_DBG_LATER, "LATER"},  {0, FAUX_DBG_MISC, "MISC"},     {0, FAUX_DBG_MISSED, "MISSED"},
    {0, FAUX_DBG_TERM, "TERM"},    {0, FAUX_DBG_TEXT, "TEXT"},
};

}  // namespace

const char* fauxDbgFileModuleName(uint32_t low, uint32_t high)
{
    for (const ModuleRow& row : kModuleNames)
        if (row.low == low && row.high == high)
            return row.name;
    return "????";
}

void FsaUxDbgFilePrintf(uint32_t lowMask, uint32_t highMask, int level, const char* format, ...)
{
    if (level < 1 || level > faux_nLevel.load() || !FsaUxDbgFileTstModule(lowMask, highMask))
        return;
    char text[kLineRoom];
    const char* used = format;
    if (lowMask == 0 && highMask == FAUX_DBG_MISSED)
        used = "-- %s.cpp: %s() is missing\n";
    else if (lowMask == 0 && highMask == FAUX_DBG_LATER)
        used = "-- %s.cpp: %s() is put off\n";
    if (used == nullptr)
        return;
    va_list args;
    va_start(args, format);
    // A longer text is cut at the buffer, never written past it.
    std::vsnprintf(text, sizeof text, used, args);
    va_end(args);

    FILE* f = openTraceFile("a+");
    if (f == nullptr)
        return;
    fileOpen.store(true);
    std::fprintf(f, "%5d %2d %-5.5s %s", static_cast<int>(::getpid()), static_cast<int>(::syscall(SYS_gettid)),
                 fauxDbgFileModuleName(lowMask, highMask), text);
    std::fflush(f);
    std::fclose(f);
    fileOpen.store(false);
}

void FsaUxDbgFileSetLevel(int level) { faux_nLevel.store(level); }

int FsaUxDbgFileGetLevel() { return faux_nLevel.load(); }

void FsaUxDbgFileSetModule(uint32_t low, uint32_t high)
{
    faux_nModulesLow.fetch_or(low);
    faux_nModulesHigh.fetch_or(high);
}

uint64_t FsaUxDbgFileClrModule(uint32_t low, uint32_t high)
{
    const uint32_t l = faux_nModulesLow.fetch_and(~low) & ~low;
    const uint32_t h = faux_nModulesHigh.fetch_and(~high) & ~high;
    return static_cast<uint64_t>(h) << 32 | l;
}

int FsaUxDbgFileTstModule(uint32_t low, uint32_t high)
{
    return ((faux_nModulesLow.load() & low) != 0 || (faux_nModulesHigh.load() & high) != 0) ? 1 : 0;
}

uint64_t FsaUxDbgFileGetModules()
{
    return static_cast<uint64_t>(faux_nModulesHigh.load()) << 32 | faux_nModulesLow.load();
}

void FsaUxDbgFileSetAdapter() { FsaUxDbgFileSetModule(kAdapterLow, 0); }

void FsaUxDbgFileSetInfra() { FsaUxDbgFileSetModule(kInfraLow, kInfraHigh); }

void FsaUxDbgFileSetOther() { FsaUxDbgFileSetModule(kOtherLow, kOtherHigh); }

void FsaUxDbgFileSetAll()
{
    FsaUxDbgFileSetAdapter();
    FsaUxDbgFileSetInfra();
    FsaUxDbgFileSetOther();
}

const char* FsaUxDbgFileSetName(char* name)
{
    std::lock_guard<std::mutex> lock(nameMutex);
    size_t i = 0;
    if (name != nullptr)
        for (; name[i] != '\0' && i + 1 < sizeof fileName; ++i)
            fileName[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    fileName[i] = '\0';
    return fileName;
}

const char* FsaUxDbgFileGetName()
{
    std::lock_guard<std::mutex> lock(nameMutex);
    return fileName[0] != '\0' ? fileName : kDefaultName;
}

FSA_STATUS FsaUxDbgFileInUse()
{
    if (faux_nLevel.load() < 1 || fileOpen.load())
        return FSA_STS_TRACE_OFF;
    FILE* f = openTraceFile("a+");
    if (f == nullptr)
        return FSA_STS_UX_DBG_FILE_OPEN;
    std::fclose(f);
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaUxDbgFileOpenEmptyClose()
{
    const FSA_STATUS inUse = FsaUxDbgFileInUse();
    if (inUse != FSA_STS_SUCCESS)
        return inUse;
    FILE* f = openTraceFile("w");
    if (f == nullptr)
        return FSA_STS_UX_DBG_FILE_OPEN;
    std::fclose(f);
    return FSA_STS_SUCCESS;
}

int FsaUxParseCmdLineArg(char* argument)
{
    if (argument == nullptr)
        return 0;
    for (char* p = argument; *p != '\0'; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (std::strlen(argument) <= 2 || argument[0] != '-')
        return 0;
    char* value = argument + 2;
    while (*value == ' ' || *value == '\t')
        ++value;
    switch (argument[1]) {
    case 'L': {
        char* end = nullptr;
        const long level = std::strtol(value, &end, 10);
        if (end == value || *end != '\0' || level < 0 || level > 5)
            return 0;
        FsaUxDbgFileSetLevel(static_cast<int>(level));
        return 1;
    }
    case 'F':
        if (*value == '\0')
            return 0;
        FsaUxDbgFileSetName(value);
        return 1;
    case 'M':
        if (std::strcmp(value, "ALL") == 0)
            FsaUxDbgFileSetAll();
        else if (std::strcmp(value, "ADAPTER") == 0)
            FsaUxDbgFileSetAdapter();
        else if (std::strcmp(value, "INFRA") == 0)
            FsaUxDbgFileSetInfra();
        else if (std::strcmp(value, "OTHER") == 0)
            FsaUxDbgFileSetOther();
        else
            return 0;
        return 1;
    default:
        return 0;
    }
}
