#include "cli/CommandLog.h"

#include "cli/Engine.h"
#include "common/HostPath.h"
#include "common/Ret.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

char logFilePath[UCLI_LOG_PATH_SIZE] = "";
int useUserEventLog = 0;
const char* userEventLog = nullptr;
int useUserErrorLog = 0;
const char* userErrorLog = nullptr;
int disableUcliLog = 0;

FILE* ucliRealStdout = stdout;
FILE* ucliRealStderr = stderr;

namespace {

// The counter line keeps at least this many characters (the number, then
// blanks), so that counting up to the rotation limit never needs more room
// than the line already has and the first entry stays untouched.
constexpr std::size_t kCounterWidth = 4;
constexpr std::size_t kCounterLineMax = 64;

// A name longer than the path buffer is cut to fit it.
void buildLogPath(char* out, int useUser, const char* userFile, const char* defaultName)
{
    const std::string path = useUser && userFile != nullptr
                                 ? std::string(userFile)
                                 : std::string(logFilePath) + defaultName;
    const std::size_t length = std::min(path.size(), UCLI_LOG_PATH_SIZE - 1);
    std::memcpy(out, path.data(), length);
    out[length] = '\0';
}

// The log's name up to its first "." and ".bak". The host root is not part of
// the name the system gave the log, so a "." inside the root does not count.
std::string backupName(const char* path)
{
    std::string name(path);
    if (name.size() > UCLI_LOG_PATH_SIZE - 1)
        name.resize(UCLI_LOG_PATH_SIZE - 1);
    std::size_t searchFrom = 0;
    const std::string root = vynHostRoot();
    if (!root.empty() && name.compare(0, root.size(), root) == 0 &&
        (name.size() == root.size() || name[root.size()] == '/'))
        searchFrom = root.size();
    const std::size_t dot = name.find('.', searchFrom);
    if (dot != std::string::npos)
        name.resize(dot);
    return name + ".bak";
}

// Digits, then only blanks: the counter as ucliprintf writes it, or as an
// older log wrote it without padding.
bool parseCounter(const char* line, std::size_t length, unsigned long* value)
{
    std::size_t i = 0;
    unsigned long number = 0;
    while (i < length && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (i >= 9)
            return false;
        number = number * 10 + static_cast<unsigned long>(line[i] - '0');
        ++i;
    }
    if (i == 0)
        return false;
    for (; i < length; ++i)
        if (line[i] != ' ')
            return false;
    *value = number;
    return true;
}

// Writes `counter` as a line of at least kCounterWidth characters followed by
// the rest of the old file, through a temporary file so that a failure leaves
// the old log as it was.
void rewriteWithCounter(const char* path, FILE* log, long restOffset, unsigned long counter)
{
    const std::string temporary = std::string(path) + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "w");
    if (out == nullptr)
        return;
    bool ok = std::fprintf(out, "%-*lu\n", static_cast<int>(kCounterWidth), counter) > 0;
    if (std::fseek(log, restOffset, SEEK_SET) == 0) {
        char chunk[4096];
        std::size_t n;
        while (ok && (n = std::fread(chunk, 1, sizeof chunk, log)) > 0)
            ok = std::fwrite(chunk, 1, n, out) == n;
    } else {
        ok = false;
    }
    ok = (std::fclose(out) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path) != 0)
        std::remove(temporary.c_str());
}

// Counts one entry; false when the log holds no readable counter below the
// rotation limit.
bool countEntry(const char* path, FILE* log)
{
    char line[kCounterLineMax];
    if (std::fgets(line, sizeof line, log) == nullptr)
        return false;
    std::size_t length = std::strlen(line);
    const bool hasLineEnd = length > 0 && line[length - 1] == '\n';
    if (!hasLineEnd && !std::feof(log))
        return false;
    if (hasLineEnd)
        --length;
    unsigned long counter = 0;
    if (!parseCounter(line, length, &counter) || counter >= UCLI_LOG_MAX_ENTRIES)
        return false;
    const unsigned long next = counter + 1;
    char digits[16];
    const int needed = std::snprintf(digits, sizeof digits, "%lu", next);
    if (hasLineEnd && length >= kCounterWidth && static_cast<std::size_t>(needed) <= length) {
        std::fseek(log, 0, SEEK_SET);
        std::fprintf(log, "%-*lu", static_cast<int>(length), next);
        return true;
    }
    const long rest = hasLineEnd ? static_cast<long>(length + 1) : static_cast<long>(length);
    rewriteWithCounter(path, log, rest, next);
    return true;
}

void writeLine(FILE* stream, const char* text)
{
    if (stream == nullptr)
        return;
    std::fputs(text, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

FILE* openLog(const char* path, FILE* complaintStream, int* status)
{
    checkLogSize(path);
    FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        if (complaintStream != nullptr) {
            // After the program's captured text, as every direct line.
            emitCapturedOutput();
            std::fprintf(complaintStream, "Could not open log file: %s\n", path);
            std::fflush(complaintStream);
        }
        *status = 2;
    }
    return file;
}

}  // namespace

void checkLogSize(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return;
    // Only a log file of our own has a counter and a backup generation. A
    // device such as /dev/null or a directory given as the log is left where
    // it is: moving it aside would take it away from the whole system.
    struct stat info;
    if (::stat(path, &info) == 0 && !S_ISREG(info.st_mode))
        return;
    FILE* log = std::fopen(path, "r+");
    if (log != nullptr) {
        const bool counted = countEntry(path, log);
        std::fclose(log);
        if (counted)
            return;
    }
    if (log != nullptr || ::access(path, F_OK) == 0) {
        const std::string backup = backupName(path);
        std::remove(backup.c_str());
        std::rename(path, backup.c_str());
    }
    FILE* fresh = std::fopen(path, "w");
    if (fresh == nullptr)
        return;
    std::fprintf(fresh, "%-*d\n", static_cast<int>(kCounterWidth), 0);
    std::fclose(fresh);
}

int ucliprintf(EnumOutputStream stream, const char* text)
{
    if (text == nullptr)
        text = "";
    char eventPath[UCLI_LOG_PATH_SIZE];
    char errorPath[UCLI_LOG_PATH_SIZE];
    buildLogPath(eventPath, useUserEventLog, userEventLog, "UcliEvt.log");
    buildLogPath(errorPath, useUserErrorLog, userErrorLog, "UcliErr.log");
    int status = 1;

    FILE* eventLog = nullptr;
    FILE* errorLog = nullptr;
    if (stream == UCLI_EVENT_LOG || stream == UCLI_STDOUT_AND_EVENT_LOG || stream == UCLI_ALL)
        eventLog = openLog(eventPath, ucliRealStdout, &status);
    if (stream == UCLI_ERROR_LOG || stream == UCLI_STDERR_AND_ERROR_LOG || stream == UCLI_ALL)
        errorLog = openLog(errorPath, ucliRealStderr, &status);

    const bool toStdout =
        stream == UCLI_STDOUT || stream == UCLI_STDOUT_AND_EVENT_LOG || stream == UCLI_ALL;
    const bool toStderr =
        stream == UCLI_STDERR || stream == UCLI_STDERR_AND_ERROR_LOG || stream == UCLI_ALL;
    // The program's captured text comes first, so that the real output keeps
    // the order in which things were printed.
    if (toStdout || toStderr)
        emitCapturedOutput();
    if (toStdout)
        writeLine(ucliRealStdout, text);
    if (eventLog != nullptr)
        logMessage(eventLog, text);
    if (toStderr)
        writeLine(ucliRealStderr, text);
    if (errorLog != nullptr && !disableUcliLog)
        logMessage(errorLog, text);

    if (eventLog != nullptr)
        std::fclose(eventLog);
    if (errorLog != nullptr)
        std::fclose(errorLog);
    return status;
}

void logMessage(FILE* file, const char* text)
{
    if (file == nullptr)
        return;
    char stamp[UCLI_LOG_STAMP_LENGTH + 1];
    std::fprintf(file, "%s%.*s\n", getTime(stamp), static_cast<int>(UCLI_LOG_TEXT_MAX),
                 text != nullptr ? text : "");
    std::fflush(file);
}

char* getTime(char* buffer)
{
    std::memset(buffer, ' ', UCLI_LOG_STAMP_LENGTH);
    buffer[UCLI_LOG_STAMP_LENGTH] = '\0';
    const std::time_t now = std::time(nullptr);
    struct tm local;
    // asctime_r writes at most 26 bytes for four-digit years; the larger
    // buffer keeps a far-off year from overrunning it.
    char text[64];
    if (localtime_r(&now, &local) == nullptr || local.tm_year > 9999 - 1900 ||
        asctime_r(&local, text) == nullptr)
        return buffer;
    for (std::size_t i = 0; i < UCLI_LOG_STAMP_LENGTH && text[i] != '\0' && text[i] != '\n'; ++i)
        buffer[i] = text[i];
    return buffer;
}

char* setUCliLogPath()
{
    if (!vynHostPathCopy(logFilePath, sizeof logFilePath, "/var/log/"))
        logFilePath[0] = '\0';
    return logFilePath;
}

void logRet(const Ret& ret)
{
    char line[64];
    ucliprintf(UCLI_ERROR_LOG, "** Return structure details **");
    std::snprintf(line, sizeof line, "   ReturnCode()          = 0x%x",
                  static_cast<unsigned int>(ret.getReturn()));
    ucliprintf(UCLI_ERROR_LOG, line);
    const struct {
        const char* format;
        unsigned int value;
    } fields[] = {
        {"   APIReturnCode()       = 0x%x", ret.getAPIReturn()},
        {"   IOCTLReturnCode()     = 0x%x", ret.getIOCTLReturn()},
        {"   RetryNumber()         = 0x%x", ret.getRetryNumber()},
        {"   UnsignedReturnValue() = 0x%x", ret.getUnsignedReturn()},
        {"   SignedReturnValue()   = 0x%x", static_cast<unsigned int>(ret.getSignedReturn())},
        {"   SenseDataError()      = 0x%x", ret.getSenseDataError()},
        {"   SenseKey()            = 0x%x", ret.getSenseKey()},
        {"   SenseCode()           = 0x%x", ret.getSenseCode()},
        {"   SenseCodeQualifier()  = 0x%x", ret.getSenseCodeQualifier()},
    };
    for (const auto& field : fields) {
        if (field.value == 0)
            continue;
        std::snprintf(line, sizeof line, field.format, field.value);
        ucliprintf(UCLI_ERROR_LOG, line);
    }
}

int GetLocalTime(char* buffer, int mode)
{
    if (buffer == nullptr)
        return 0;
    buffer[0] = '\0';
    const std::time_t now = std::time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr)
        return 0;
    const int length =
        std::snprintf(buffer, 25, "%02d/%d/%d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
                      local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    if (mode == 2) {
        for (char* p = buffer; *p != '\0'; ++p) {
            if (*p == '/')
                *p = '_';
            else if (*p == ':')
                *p = '.';
        }
    }
    return length;
}
