#include "listener/osal/FnLogger.h"

#include "common/HostPath.h"

#include <pthread.h>

#include <cstdarg>
#include <cstdio>

namespace {

// Date, thread and name stay below this; a longer name is cut, not overrun.
constexpr std::size_t kPrefixSize = 120;

std::string resolveLogPath(const std::string& logFile)
{
    if (!logFile.empty() && logFile[0] == '/')
        return vynHostPath(logFile.c_str());
    return vynHostPath("/var/log/") + logFile;
}

}  // namespace

FnLogger::FnLogger(const char* function, const std::string& logFile)
    : functionName_(function != nullptr ? function : ""), logPath_(resolveLogPath(logFile))
{
    log("%s", ("Entering " + functionName_).c_str());
}

FnLogger::~FnLogger()
{
    log("%s", ("Leaving " + functionName_).c_str());
}

std::string FnLogger::linePrefix(std::time_t now, unsigned int thread, const std::string& function)
{
    struct tm local;
    if (localtime_r(&now, &local) == nullptr)
        return std::string();
    // Month with two digits, day without a leading zero, then the time; the
    // separators are "_" and "." so that the text could stand in a file name.
    char date[48];
    std::snprintf(date, sizeof date, "%02d_%d_%d %02d.%02d.%02d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    char prefix[kPrefixSize];
    std::snprintf(prefix, sizeof prefix, "%s[%08X] %s", date, thread, (function + " - ").c_str());
    return prefix;
}

void FnLogger::log(const char* format, ...)
{
    FILE* file = std::fopen(logPath_.c_str(), "a+");
    if (file == nullptr)
        return;
    const unsigned int thread = static_cast<unsigned int>(pthread_self());
    std::fputs(linePrefix(std::time(nullptr), thread, functionName_).c_str(), file);
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}
