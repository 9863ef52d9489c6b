// The trace log of the command engine: one line of FnLogger::log, beside the
// least any line can cost with the file opened, written and closed per line,
// as the log must be: a bare open, write and close of the same line in the
// same program. Items are lines; bytes are those of the line.
#include "listener/osal/FnLogger.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

// The text of a typical traced print.
constexpr const char* kText = "Logical device number 0";

// A private host root for the log, removed at the end.
class TraceRoot {
public:
    TraceRoot()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vyntrace.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        std::filesystem::create_directories(root_ + "/var/log");
        ::setenv("VYN_HOST_ROOT", root_.c_str(), 1);
    }
    ~TraceRoot()
    {
        ::unsetenv("VYN_HOST_ROOT");
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    // Empties the log between runs, so that its size never grows large.
    void truncate() const { ::truncate((root_ + "/var/log/vynconf.log").c_str(), 0); }
    std::string log() const { return root_ + "/var/log/vynconf.log"; }

private:
    std::string root_;
};

// The line the trace log writes for kText, into `line`; its length.
std::size_t traceLine(char* line, std::size_t size)
{
    const std::size_t prefix = FnLogger::formatPrefix(line, size, std::time(nullptr),
                                                      static_cast<unsigned int>(pthread_self()), "fprintf");
    return prefix + static_cast<std::size_t>(std::snprintf(line + prefix, size - prefix, "%s\n", kText));
}

void countLines(benchmark::State& state, std::size_t length)
{
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
}

void BM_TraceLogLine(benchmark::State& state)
{
    TraceRoot root;
    FnLogger logger("fprintf");
    char line[256];
    const std::size_t length = traceLine(line, sizeof line);
    for (auto _ : state)
        logger.log("%s", kText);
    countLines(state, length);
    root.truncate();
}
BENCHMARK(BM_TraceLogLine);

// The same line, already formatted, with the three calls and nothing else.
void BM_BareOpenWriteClose(benchmark::State& state)
{
    TraceRoot root;
    char line[256];
    const std::size_t length = traceLine(line, sizeof line);
    const std::string path = root.log();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(fd, line, length));
        ::close(fd);
    }
    countLines(state, length);
    root.truncate();
}
BENCHMARK(BM_BareOpenWriteClose);

// A whole trace scope as every print of the engine makes one: the entering
// and the leaving line (items are lines).
void BM_TraceScope(benchmark::State& state)
{
    TraceRoot root;
    for (auto _ : state) {
        FnLogger scope("fprintf");
    }
    state.SetItemsProcessed(2 * state.iterations());
    root.truncate();
}
BENCHMARK(BM_TraceScope);

}  // namespace

BENCHMARK_MAIN();
