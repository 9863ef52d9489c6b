// SAVESUPPORTARCHIVE over the recording library: four controllers whose logs
// run to a few MiB each, written under a private host root. Reports the
// bytes that land in the support directory per second.
#include "cli/Vynconf.h"
#include "cli/support/MaintenanceFixtures.h"
#include "cli/support/Scenario.h"
#include "common/HostPath.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kControllers = 4;
constexpr std::size_t kLogBytes = 2u << 20;

std::string filler(std::size_t bytes, char seed)
{
    std::string text(bytes, ' ');
    for (std::size_t i = 0; i < bytes; ++i)
        text[i] = static_cast<char>('a' + (seed + i * 7) % 26);
    return text;
}

std::uint64_t directoryBytes(const std::string& path)
{
    std::uint64_t total = 0;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return 0;
    while (dirent* entry = ::readdir(dir)) {
        struct stat info {};
        if (::stat((path + "/" + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            total += static_cast<std::uint64_t>(info.st_size);
    }
    ::closedir(dir);
    return total;
}

void writeWhole(const std::string& path, const std::string& content)
{
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
}

void support_archive(benchmark::State& state)
{
    char rootTemplate[] = "/tmp/vyn-bench-archive-XXXXXX";
    const char* root = ::mkdtemp(rootTemplate);
    if (root == nullptr) {
        state.SkipWithError("no temporary root");
        return;
    }
    ::setenv("VYN_HOST_ROOT", root, 1);
    for (const char* dir : {"/var", "/var/log", "/usr", "/usr/Kalpern", "/tmp"})
        ::mkdir((std::string(root) + dir).c_str(), 0755);

    std::shared_ptr<vyntest::Scenario> scenario = vyntest::Scenario::make("basic");
    for (unsigned long position = 1; position < kControllers; ++position)
        scenario->changeTree(vyntest::addBasicController(position));
    const std::string body = filler(kLogBytes, 'x');
    for (int type : {0, 5, 6, 9})
        scenario->setControllerLog(static_cast<EnumLogTypeRequest>(type),
                                   "<ControllerLog type=\"" + std::to_string(type) + "\"><Entry text=\"" + body +
                                       "\"/></ControllerLog>");
    scenario->setControllerLog(static_cast<EnumLogTypeRequest>(7),
                               "<ControllerLog type=\"7\"><![CDATA[" + body + "]]></ControllerLog>");
    writeWhole(vynHostPath("/var/log/VelmornArch.log"), filler(3u << 20, 'm'));
    writeWhole(vynHostPath("/var/log/vyntrace.txt"), filler(4u << 20, 't'));
    writeWhole(vynHostPath("/usr/Kalpern/RaidEvt.log"), filler(1u << 20, 'r'));

    FILE* sink = std::fopen("/dev/null", "w");
    const std::string support = vynHostPath("/var/log/Support");
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        const int code = runVynconf({"vynconf", "SAVESUPPORTARCHIVE", "nologs"}, scenario->factory(), sink);
        if (code != 0)
            state.SkipWithError("the archive failed");
        bytes += directoryBytes(support);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    if (sink != nullptr)
        std::fclose(sink);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

}  // namespace

BENCHMARK(support_archive)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
