#include "listener/osal/FnLogger.h"

#include "common/HostPath.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

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
    log("Entering %s", functionName_.c_str());
}

FnLogger::~FnLogger()
{
    log("Leaving %s", functionName_.c_str());
}

namespace {

// The date and time text of `now` (month with two digits, day without a
// leading zero, then the time; the separators are "_" and "." so that the
// text could stand in a file name); 0 when the local time cannot be had.
std::size_t formatDate(char* out, std::size_t size, std::time_t now)
{
    struct tm local;
    if (localtime_r(&now, &local) == nullptr)
        return 0;
    const int written = std::snprintf(out, size, "%02d_%d_%d %02d.%02d.%02d", local.tm_mon + 1, local.tm_mday,
                                      local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return written > 0 && static_cast<std::size_t>(written) < size ? static_cast<std::size_t>(written) : 0;
}

// The prefix from its date text, cut to fit.
std::size_t formatPrefixOf(char* out, std::size_t size, const char* date, std::size_t dateLength,
                           unsigned int thread, const char* function)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    if (dateLength == 0)
        return 0;
    const std::size_t room = std::min(size, kPrefixSize);
    const int written =
        std::snprintf(out, room, "%.*s[%08X] %s - ", static_cast<int>(dateLength), date, thread, function);
    if (written < 0)
        return 0;
    return std::min(static_cast<std::size_t>(written), room - 1);
}

}  // namespace

std::size_t FnLogger::formatPrefix(char* out, std::size_t size, std::time_t now, unsigned int thread,
                                   const char* function)
{
    char date[48];
    return formatPrefixOf(out, size, date, formatDate(date, sizeof date, now), thread, function);
}

std::string FnLogger::linePrefix(std::time_t now, unsigned int thread, const std::string& function)
{
    char prefix[kPrefixSize];
    const std::size_t length = formatPrefix(prefix, sizeof prefix, now, thread, function.c_str());
    return std::string(prefix, length);
}

void FnLogger::log(const char* format, ...)
{
    // The whole line goes out in one write on a file opened for appending,
    // so that lines of other threads and processes never land inside it;
    // the usual line is formatted on the stack.
    char line[1024];
    const unsigned int thread = static_cast<unsigned int>(pthread_self());
    // Lines come many to a second: the date text is made once a second per
    // thread.
    thread_local std::time_t dateOf = -1;
    thread_local char date[48];
    thread_local std::size_t dateLength = 0;
    const std::time_t now = std::time(nullptr);
    if (now != dateOf) {
        dateLength = formatDate(date, sizeof date, now);
        dateOf = now;
    }
    const std::size_t prefix = formatPrefixOf(line, sizeof line, date, dateLength, thread, functionName_.c_str());
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int text = std::vsnprintf(line + prefix, sizeof line - prefix, format, args);
    va_end(args);
    if (text < 0) {
        va_end(again);
        return;
    }
    const std::size_t length = prefix + static_cast<std::size_t>(text) + 1;
    char* whole = line;
    std::unique_ptr<char[]> longLine;
    if (length >= sizeof line) {
        longLine.reset(new char[length + 1]);
        whole = longLine.get();
        std::memcpy(whole, line, prefix);
        std::vsnprintf(whole + prefix, length - prefix, format, again);
    }
    va_end(again);
    whole[length - 1] = '\n';

    const int fd = ::open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    ssize_t written;
    do {
        written = ::write(fd, whole, length);
    } while (written < 0 && errno == EINTR);
    ::close(fd);
}
