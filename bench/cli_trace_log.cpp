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
#include <cstring>
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

void BM_TraceLogLine(benchmark::State& state)
{
    TraceRoot root;
    FnLogger logger("fprintf");
    char prefix[128];
    const std::size_t length = FnLogger::formatPrefix(prefix, sizeof prefix, std::time(nullptr),
                                                      static_cast<unsigned int>(pthread_self()), "fprintf") +
                               std::strlen(kText) + 1;
    for (auto _ : state)
        logger.log("%s", kText);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
    root.truncate();
}
BENCHMARK(BM_TraceLogLine);

// The same line, already formatted, with the three calls and nothing else.
void BM_BareOpenWriteClose(benchmark::State& state)
{
    TraceRoot root;
    char line[256];
    const std::size_t prefix = FnLogger::formatPrefix(line, sizeof line, std::time(nullptr),
                                                      static_cast<unsigned int>(pthread_self()), "fprintf");
    const std::size_t length = prefix + static_cast<std::size_t>(std::snprintf(line + prefix, sizeof line - prefix,
                                                                               "%s\n", kText));
    const std::string path = root.log();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(fd, line, length));
        ::close(fd);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
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
