#ifndef VYN_LISTENER_OSAL_FNLOGGER_H
#define VYN_LISTENER_OSAL_FNLOGGER_H

#include <cstddef>
#include <ctime>
#include <string>

// Scope trace: construction writes "Entering <name>", destruction
// "Leaving <name>", and log() writes one line in between. Each line opens the
// file, appends it in a single write and closes it, so nothing stays open,
// lines of other threads never split it, and a log that cannot be written is
// silently skipped.
class FnLogger {
public:
    // `logFile` is a file name under "/var/log/", or a full path when it
    // begins with "/"; either way it lies under the host root.
    explicit FnLogger(const char* function, const std::string& logFile = "vynconf.log");
    ~FnLogger();

    FnLogger(const FnLogger&) = delete;
    FnLogger& operator=(const FnLogger&) = delete;

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const std::string& logPath() const { return logPath_; }

    // "12_9_2026 09.35.44[7F3A2B00] name - ": the local date text of `now`,
    // the thread in eight upper-case hex digits and the function name.
    static std::string linePrefix(std::time_t now, unsigned int thread, const std::string& function);
    // The same prefix into `out` (cut to fit, always terminated); its length.
    static std::size_t formatPrefix(char* out, std::size_t size, std::time_t now, unsigned int thread,
                                    const char* function);

private:
    std::string functionName_;
    std::string logPath_;
};

#endif
