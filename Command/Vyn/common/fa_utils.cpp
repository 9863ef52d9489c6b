#include "Command/Vyn/common/fa_utils.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_misc.h"
#include "Command/Vyn/os/faux_misc.h"
#include "common/HostPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

std::atomic<unsigned char> fsaDisableDebugLog{0};
std::atomic<unsigned int> bGlobalFibDebug{0};
std::atomic<int> debugFibCounter{0};

namespace {

constexpr const char* kApiLog = "/var/log/fsaapi.txt";
constexpr const char* kFibLog = "/var/log/fsafibs.txt";
constexpr size_t kTextRoom = 528;
constexpr int kBannerWidth = 56;

// The log for appending, only when it already exists: never created, and
// created files would need a mode, which switching the umask would give to
// every thread at once.
FILE* openExisting(const char* logical)
{
    const std::string path = vynHostPath(logical);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    FILE* f = ::fdopen(fd, "a");
    if (f == nullptr)
        ::close(fd);
    return f;
}

FILE* openApiLog()
{
    if (::access(vynHostPath(kApiLog).c_str(), R_OK | W_OK) != 0)
        return nullptr;
    if (fsaDisableDebugLog.load() != 0)
        return nullptr;
    return openExisting(kApiLog);
}

void writeApiLine(const char* name, const char* text)
{
    FAOS_TIME_INFO t;
    faos_GetTime(0, &t);
    FILE* f = openApiLog();
    if (f == nullptr)
        return;
    std::fprintf(f, "%02d:%02d:%02d.%03d %s %s\n", t.hour, t.minute, t.second, t.milliseconds, name, text);
    std::fclose(f);
}

void formatTime(char* out, size_t size, const FAOS_TIME_INFO& t)
{
    std::snprintf(out, size, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.milliseconds);
}

}  // namespace

FsaApiEntryExit::FsaApiEntryExit(const char* name)
{
    std::snprintf(name_, sizeof name_, "%s", name != nullptr ? name : "");
    logToFile(name_, "In");
}

FsaApiEntryExit::~FsaApiEntryExit() { logToFile(name_, "Out"); }

void FsaApiEntryExit::logToFile(const char* name, const char* text)
{
    writeApiLine(name != nullptr ? name : "", text != nullptr ? text : "");
}

void FsaApiEntryExit::logToFileV(const char* name, const char* format, ...)
{
    char text[kTextRoom];
    va_list args;
    va_start(args, format);
    // A longer text is cut at the buffer.
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    logToFile(name, text);
}

int FsaDebugPrintf(const char* format, ...)
{
    FAOS_TIME_INFO t;
    faos_GetTime(0, &t);
    FILE* f = openApiLog();
    if (f == nullptr)
        return 0;
    int written = std::fprintf(f, "%02d:%02d:%02d.%03d ", t.hour, t.minute, t.second, t.milliseconds);
    va_list args;
    va_start(args, format);
    const int body = std::vfprintf(f, format, args);
    va_end(args);
    written += body > 0 ? body : 0;
    written += std::fprintf(f, "\n");
    std::fclose(f);
    return written;
}

FsaApiFibDebugger::FsaApiFibDebugger(_FIB* fib) : fib_(fib), copy_{}, time_{}
{
    try {
        if (fib_ == nullptr)
            return;
        std::memcpy(copy_, fib_, sizeof copy_);
        faos_GetTime(0, &time_);
        const uint8_t* payload = copy_ + 32;
        const int command = faGetLe16(copy_ + 4);
        const uint32_t w0 = faGetLe32(payload);
        std::string subText = "NA";
        int subValue = -1;
        if (command == 550) {
            subText = FSA_API_XLATE_CL_SUBCMD(static_cast<int>(w0));
            subValue = static_cast<int>(w0);
        } else if (command == 700) {
            subText = FSA_API_XLATE_AIF_SUBCMD(static_cast<int>(w0));
            subValue = static_cast<int>(w0);
        } else if (command == 500) {
            const uint32_t w1 = faGetLe32(payload + 4);
            if (w0 == 3) {
                const uint32_t w4 = faGetLe32(payload + 16);
                subText = FSA_API_XLATE_IOCTL_SUBCMD(static_cast<int>(w4));
                subValue = static_cast<int>(w4);
            } else if (w0 == 2) {
                subText = FSA_API_XLATE_CT_SUBCMD(w1);
                subValue = static_cast<int>(w1);
            } else if (w0 == 12) {
                subText = std::string(FSA_API_XLATE_EM_CMD(w1 >> 16)) + "/" +
                          FSA_API_XLATE_EM_SUBCMD(static_cast<int>(w1 & 0xFFFF));
                subValue = static_cast<int>(w1);
            } else {
                subText = FSA_API_XLATE_CTVM_SUBCMD(w0);
                subValue = static_cast<int>(w0);
            }
        }
        if (bGlobalFibDebug.load() == 0)
            return;
        ++debugFibCounter;
        FILE* f = openExisting(kFibLog);
        if (f == nullptr)
            return;
        char when[32];
        formatTime(when, sizeof when, time_);
        std::fprintf(f, "%s %s(%d) - %s(%d),", when, FSA_API_XLATE_FIB_CMD(command), command, subText.c_str(),
                     subValue);
        std::fclose(f);
    } catch (...) {
        // Tracing never changes the outcome of a send.
    }
}

FsaApiFibDebugger::~FsaApiFibDebugger()
{
    try {
        if (fib_ == nullptr)
            return;
        FAOS_TIME_INFO now;
        faos_GetTime(0, &now);
        const uint8_t* reply = reinterpret_cast<const uint8_t*>(fib_);
        const int command = faGetLe16(copy_ + 4);
        const int w0 = static_cast<int>(faGetLe32(reply + 32));
        const int w1 = static_cast<int>(faGetLe32(reply + 36));
        std::string resultText = "NA";
        int resultValue = -1;
        if (command == 500) {
            resultText = FSA_API_XLATE_CT_RESULTS(w0);
            resultValue = w0;
        } else if (command == 550) {
            resultText = FSA_API_XLATE_CL_RESULTS(w0);
            resultValue = w0;
        } else if (command == 700) {
            char head[96];
            std::snprintf(head, sizeof head, "%s(%d) ", FSA_API_XLATE_AIF_RESULTS(w1), w1);
            resultText = std::string(head) + FSA_API_XLATE_CT_RESULTS(w0);
            resultValue = w0;
        }
        if (bGlobalFibDebug.load() == 0)
            return;
        FILE* f = openExisting(kFibLog);
        if (f == nullptr)
            return;
        char when[32];
        formatTime(when, sizeof when, now);
        std::fprintf(f, " %s(%d) %s\n", resultText.c_str(), resultValue, when);
        std::fclose(f);
    } catch (...) {
    }
}

void SetFibDebug(unsigned int on, const char* label)
{
    if (on != 0 && bGlobalFibDebug.load() == 0)
        debugFibCounter.store(0);
    bGlobalFibDebug.store(on);
    FILE* f = openExisting(kFibLog);
    if (f == nullptr)
        return;
    const std::string rule(kBannerWidth, '-');
    std::fprintf(f, "%s\n%s, # Fibs = %d\n%s\n", rule.c_str(), label != nullptr ? label : "", debugFibCounter.load(),
                 rule.c_str());
    std::fclose(f);
}

FSA_STATUS FsaDisableDebugLogs()
{
    fsaDisableDebugLog.store(1);
    return FSA_STS_SUCCESS;
}

void UtilPrintDebugFormatted(char* /*format*/, ...) {}
