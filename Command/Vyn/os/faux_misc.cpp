#include "Command/Vyn/os/faux_misc.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"

#include <regex.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

void faos_GetTime(int utc, FAOS_TIME_INFO* info)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm tm;
    if (utc != 0)
        gmtime_r(&now.tv_sec, &tm);
    else
        localtime_r(&now.tv_sec, &tm);
    info->year = static_cast<uint16_t>(tm.tm_year + 1900);
    info->month = static_cast<uint16_t>(tm.tm_mon + 1);
    info->dayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    info->day = static_cast<uint16_t>(tm.tm_mday);
    info->hour = static_cast<uint16_t>(tm.tm_hour);
    info->minute = static_cast<uint16_t>(tm.tm_min);
    info->second = static_cast<uint16_t>(tm.tm_sec);
    info->milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
}

int faos_GetEpochTimeAndBias(int utcOnly, unsigned* epoch, int* biasMinutes)
{
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) != 0)
        return -1;
    int bias = 0;
    if (utcOnly == 0) {
        // The offset in force now, summer time included; a zone whose
        // standard offset is 0 still moves in summer.
        struct tm tm;
        const time_t seconds = tv.tv_sec;
        localtime_r(&seconds, &tm);
        bias = static_cast<int>(tm.tm_gmtoff / 60);
    }
    *epoch = static_cast<unsigned>(tv.tv_sec + static_cast<time_t>(bias) * 60);
    *biasMinutes = bias;
    FsaUxDbgFilePrintf(0, FAUX_DBG_TEXT, 4, "-- GetEpochTimeAndBias: epoch %u\n", *epoch);
    FsaUxDbgFilePrintf(0, FAUX_DBG_TEXT, 4, "-- GetEpochTimeAndBias: bias %d\n", *biasMinutes);
    return 0;
}

void faos_Sleep(unsigned ms) { hostIo().sleepMs(ms); }

FSA_STATUS faos_GetHostName(wchar_t* out, unsigned* length)
{
    char name[256];
    if (gethostname(name, sizeof name) != 0)
        name[0] = '\0';
    name[sizeof name - 1] = '\0';
    const unsigned n = static_cast<unsigned>(std::strlen(name));
    if (n < *length)
        *length = n;
    for (unsigned i = 0; i < *length; ++i)
        out[i] = static_cast<wchar_t>(static_cast<signed char>(name[i]));
    out[*length] = 0;
    return FSA_STS_SUCCESS;
}

int faos_GetOSType() { return 5; }

int faos_GetLastError() { return errno; }

int faos_IsThereOCE(FSAAPI_CONTEXT* /*ctx*/)
{
    FAUX_TRACE_PUT_OFF("faux_misc", "faos_IsThereOCE");
    return 1;
}

void faos_OutputDebugString(char* text)
{
    FsaUxDbgFilePrintf(0, FAUX_DBG_TEXT, 2, "%s", text != nullptr ? text : "");
}

FSA_STATUS faos_GetVersionStatus(FSAAPI_CONTEXT* ctx, FSA_CODE_VERSION_STATUS* out)
{
    if (ctx == nullptr || ctx->commContext == nullptr)
        return FSA_STS_INVALID_HANDLE;
    *out = 2;
    // The driver writes its whole record, not only the verdict word.
    unsigned char reply[kDriverRecordBytes] = {};
    if (hostIo().ioctl(ctx->commContext->fd, FSACTL_GET_CODE_VERSION_STATUS, reply) != 0) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- GetVersionStatus: ioctl failed [ERR:%d:%s]\n", errno,
                           std::strerror(errno));
        return FSA_STS_SUCCESS;
    }
    const uint32_t verdict = reply[0] | reply[1] << 8 | reply[2] << 16 | static_cast<uint32_t>(reply[3]) << 24;
    if (verdict == 1)
        *out = 0;
    else if (verdict == 2)
        *out = 1;
    return FSA_STS_SUCCESS;
}

int faux_MatchString(const char* text, const char* pattern)
{
    regex_t re;
    if (text == nullptr || pattern == nullptr || regcomp(&re, pattern, REG_EXTENDED) != 0)
        return 0;
    regmatch_t match;
    const int found = regexec(&re, text, 1, &match, 0) == 0;
    regfree(&re);
    return found ? static_cast<int>(match.rm_eo) : 0;
}

FSA_STATUS faos_OpenDeviceNotificationWindow() { return FSA_STS_SUCCESS; }

FSA_STATUS faos_WaitOnDeviceRemovalNotification() { return FSA_STS_SUCCESS; }

FSA_STATUS faos_WaitOnDeviceArrivalNotification() { return FSA_STS_SUCCESS; }

void faos_CloseDeviceNotificationWindow() {}

// No caller; a debugger break is only a trace line here.
void faos_BreakInDebugger() { FsaUxDbgFilePrintf(FAUX_DBG_DEBUG, 0, 1, "-- BreakInDebugger\n"); }

uint32_t faux_NextObjectId(std::atomic<uint32_t>& counter)
{
    uint32_t cur = counter.load();
    uint32_t next;
    do {
        next = cur >= 9999 ? 0 : cur + 1;
    } while (!counter.compare_exchange_weak(cur, next));
    return next;
}
