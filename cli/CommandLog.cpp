#include "cli/CommandLog.h"

#include "cli/Engine.h"
#include "common/HostPath.h"
#include "common/Ret.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
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

// A new file beside the log, named for this process so that processes
// creating the first log at once never share one, and locked before any
// other process can see it under the log's name.
struct LockedTemporary {
    std::string name;
    FILE* file = nullptr;
};

LockedTemporary createLockedTemporary(const char* path)
{
    LockedTemporary temporary;
    temporary.name = std::string(path) + "." + std::to_string(::getpid()) + ".tmp";
    temporary.file = std::fopen(temporary.name.c_str(), "w+e");
    if (temporary.file != nullptr && ::flock(fileno(temporary.file), LOCK_EX) != 0) {
        std::fclose(temporary.file);
        temporary.file = nullptr;
    }
    if (temporary.file == nullptr)
        std::remove(temporary.name.c_str());
    return temporary;
}

// A counter line of at least kCounterWidth characters.
bool writeCounterLine(FILE* file, unsigned long counter)
{
    return std::fprintf(file, "%-*lu\n", static_cast<int>(kCounterWidth), counter) > 0;
}

// Flushes the temporary; false (and the file gone) when it could not be
// written whole.
bool finishTemporary(LockedTemporary& temporary, bool written)
{
    if (written && std::fflush(temporary.file) == 0)
        return true;
    std::fclose(temporary.file);
    temporary.file = nullptr;
    std::remove(temporary.name.c_str());
    return false;
}

// The log that stands under `path` now, open for reading and writing and
// locked; null when there is none. Whoever holds the lock may put another
// file in the log's place, so a file that lost its name while this process
// waited is let go and the new one taken.
FILE* openLockedLog(const char* path)
{
    for (;;) {
        FILE* log = std::fopen(path, "r+e");
        if (log == nullptr)
            return nullptr;
        // A file system without locks keeps the unlocked behaviour.
        if (::flock(fileno(log), LOCK_EX) != 0)
            return log;
        struct stat held;
        struct stat named;
        if (::fstat(fileno(log), &held) == 0 && ::stat(path, &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return log;
        std::fclose(log);
    }
}

// The counter line and the rest of the locked log from `restOffset` in a new
// locked file that takes the log's place; the old log as it was when the new
// one cannot be written.
FILE* rewriteWithCounter(const char* path, FILE* log, long restOffset, unsigned long counter)
{
    LockedTemporary temporary = createLockedTemporary(path);
    if (temporary.file == nullptr)
        return log;
    bool ok = writeCounterLine(temporary.file, counter);
    if (std::fseek(log, restOffset, SEEK_SET) == 0) {
        char chunk[4096];
        std::size_t n;
        while (ok && (n = std::fread(chunk, 1, sizeof chunk, log)) > 0)
            ok = std::fwrite(chunk, 1, n, temporary.file) == n;
    } else {
        ok = false;
    }
    if (!finishTemporary(temporary, ok) || std::rename(temporary.name.c_str(), path) != 0) {
        if (temporary.file != nullptr) {
            std::fclose(temporary.file);
            std::remove(temporary.name.c_str());
        }
        return log;
    }
    std::fclose(log);
    return temporary.file;
}

// Counts one entry in the locked log: the log to write the entry to, or null
// when the log holds no readable counter below the rotation limit.
FILE* countEntry(const char* path, FILE* log)
{
    char line[kCounterLineMax];
    if (std::fgets(line, sizeof line, log) == nullptr)
        return nullptr;
    std::size_t length = std::strlen(line);
    const bool hasLineEnd = length > 0 && line[length - 1] == '\n';
    if (!hasLineEnd && !std::feof(log))
        return nullptr;
    if (hasLineEnd)
        --length;
    unsigned long counter = 0;
    if (!parseCounter(line, length, &counter) || counter >= UCLI_LOG_MAX_ENTRIES)
        return nullptr;
    const unsigned long next = counter + 1;
    char digits[16];
    const int needed = std::snprintf(digits, sizeof digits, "%lu", next);
    if (hasLineEnd && length >= kCounterWidth && static_cast<std::size_t>(needed) <= length) {
        std::fseek(log, 0, SEEK_SET);
        std::fprintf(log, "%-*lu", static_cast<int>(length), next);
        return log;
    }
    const long rest = hasLineEnd ? static_cast<long>(length + 1) : static_cast<long>(length);
    return rewriteWithCounter(path, log, rest, next);
}

// Puts a new log holding only the counter 0 under `path`, locked: the full
// log `old` (when there is one) becomes the backup, and when there was none,
// a log another process made first wins. Null when the new log cannot be
// made, or when another process made one first (then `lost` is set).
FILE* startNewLog(const char* path, FILE* old, bool* lost)
{
    *lost = false;
    LockedTemporary temporary = createLockedTemporary(path);
    if (temporary.file != nullptr && !finishTemporary(temporary, writeCounterLine(temporary.file, 0)))
        temporary.file = nullptr;
    if (old == nullptr) {
        if (temporary.file == nullptr)
            return nullptr;
        // link never replaces a log made since this process looked.
        if (::link(temporary.name.c_str(), path) == 0) {
            std::remove(temporary.name.c_str());
            return temporary.file;
        }
        const bool exists = errno == EEXIST;
        if (!exists && std::rename(temporary.name.c_str(), path) == 0)
            return temporary.file;
        std::fclose(temporary.file);
        std::remove(temporary.name.c_str());
        *lost = exists;
        return nullptr;
    }
    // The backup is linked rather than renamed where the file system allows,
    // so that the log's name stands for a file at every moment and no process
    // starts a log of its own in between.
    const std::string backup = backupName(path);
    std::remove(backup.c_str());
    if (temporary.file == nullptr || ::link(path, backup.c_str()) != 0) {
        std::rename(path, backup.c_str());
        if (temporary.file == nullptr) {
            std::fclose(old);
            return nullptr;
        }
    }
    const bool moved = std::rename(temporary.name.c_str(), path) == 0;
    std::fclose(old);
    if (!moved) {
        std::fclose(temporary.file);
        std::remove(temporary.name.c_str());
        return nullptr;
    }
    return temporary.file;
}

// Counts one entry in the log and rotates it when full, under an exclusive
// lock that the returned file holds until it is closed, so that the entry is
// written before another process reads the counter. Null when the log is no
// regular file of our own or cannot be made.
FILE* countLocked(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    // Only a log file of our own has a counter and a backup generation. A
    // device such as /dev/null or a directory given as the log is left where
    // it is: moving it aside would take it away from the whole system.
    struct stat info;
    if (::stat(path, &info) == 0 && !S_ISREG(info.st_mode))
        return nullptr;
    for (;;) {
        FILE* log = openLockedLog(path);
        if (log != nullptr) {
            // Read only now that the lock is held: a counter read before
            // could be one that another process has since counted past.
            if (FILE* counted = countEntry(path, log))
                return counted;
        } else if (::access(path, F_OK) == 0) {
            // There, but unreadable: moved aside as a full log is, unlocked.
            const std::string backup = backupName(path);
            std::remove(backup.c_str());
            std::rename(path, backup.c_str());
        }
        bool lost = false;
        FILE* fresh = startNewLog(path, log, &lost);
        if (!lost)
            return fresh;
    }
}

void writeLine(FILE* stream, const char* text)
{
    if (stream == nullptr)
        return;
    std::fputs(text, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// The log counted and open for its entry; locked while open when it is a
// log of our own.
FILE* openLog(const char* path, FILE* complaintStream, int* status)
{
    FILE* file = countLocked(path);
    if (file != nullptr && std::fseek(file, 0, SEEK_END) != 0) {
        std::fclose(file);
        file = nullptr;
    }
    if (file == nullptr)
        file = std::fopen(path, "a");
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
    if (FILE* log = countLocked(path))
        std::fclose(log);
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

    const bool toStdout =
        stream == UCLI_STDOUT || stream == UCLI_STDOUT_AND_EVENT_LOG || stream == UCLI_ALL;
    const bool toStderr =
        stream == UCLI_STDERR || stream == UCLI_STDERR_AND_ERROR_LOG || stream == UCLI_ALL;
    const bool toEventLog = stream == UCLI_EVENT_LOG || stream == UCLI_STDOUT_AND_EVENT_LOG || stream == UCLI_ALL;
    const bool toErrorLog = stream == UCLI_ERROR_LOG || stream == UCLI_STDERR_AND_ERROR_LOG || stream == UCLI_ALL;

    // Each log is locked from its count until its entry is written and
    // closed before the next is opened, so that no process ever waits for
    // one log while holding the other, even where both are one file.
    FILE* eventLog = toEventLog ? openLog(eventPath, ucliRealStdout, &status) : nullptr;
    // The program's captured text comes first, so that the real output keeps
    // the order in which things were printed.
    if (toStdout || toStderr)
        emitCapturedOutput();
    if (toStdout)
        writeLine(ucliRealStdout, text);
    if (eventLog != nullptr) {
        logMessage(eventLog, text);
        std::fclose(eventLog);
    }
    FILE* errorLog = toErrorLog ? openLog(errorPath, ucliRealStderr, &status) : nullptr;
    if (toStderr)
        writeLine(ucliRealStderr, text);
    if (errorLog != nullptr) {
        if (!disableUcliLog)
            logMessage(errorLog, text);
        std::fclose(errorLog);
    }
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
