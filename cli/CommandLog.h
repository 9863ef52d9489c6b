#ifndef VYN_CLI_COMMANDLOG_H
#define VYN_CLI_COMMANDLOG_H

#include <cstddef>
#include <cstdio>

class Ret;

// Where one line of ucliprintf goes; any other value writes nowhere.
enum EnumOutputStream {
    UCLI_STDOUT = 2,
    UCLI_STDERR = 3,
    UCLI_EVENT_LOG = 4,
    UCLI_ERROR_LOG = 5,
    UCLI_STDOUT_AND_EVENT_LOG = 6,
    UCLI_STDERR_AND_ERROR_LOG = 7,
    UCLI_ALL = 8
};

constexpr std::size_t UCLI_LOG_PATH_SIZE = 528;
// A log entry: the 26-character stamp and at most this much of the text.
constexpr std::size_t UCLI_LOG_STAMP_LENGTH = 26;
constexpr std::size_t UCLI_LOG_TEXT_MAX = 373;
// Counter value at which the next count moves the log to its backup name.
constexpr unsigned long UCLI_LOG_MAX_ENTRIES = 2500;

// Set by the driver before a command runs.
extern char logFilePath[UCLI_LOG_PATH_SIZE];
extern int useUserEventLog;
extern const char* userEventLog;
extern int useUserErrorLog;
extern const char* userErrorLog;
extern int disableUcliLog;

// The process's real standard streams as the router sees them. The program
// entry points the output at its own real output for the run; tests point
// both at files.
extern FILE* ucliRealStdout;
extern FILE* ucliRealStderr;

// Returns 1 when every log the stream needs was opened, 2 otherwise.
int ucliprintf(EnumOutputStream stream, const char* text);
void logMessage(FILE* file, const char* text);
// `buffer` holds at least 27 bytes.
char* getTime(char* buffer);
void checkLogSize(const char* path);
char* setUCliLogPath();
void logRet(const Ret& ret);
// `buffer` holds at least 25 bytes; mode 2 gives a form fit for a file name.
int GetLocalTime(char* buffer, int mode);

#endif
