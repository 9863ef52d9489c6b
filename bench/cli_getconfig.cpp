// GETCONFIG 1 AL through the whole program, on one large controller: the
// report printers, the captured output and the trace lines every print
// writes. Bytes per second of the program's output.
#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/System.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "cli/Vynconf.h"
#include "vynconf_rounds.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kChannels = 4;
constexpr unsigned long kDrivesPerChannel = 64;
constexpr unsigned long kLogicals = 64;
constexpr unsigned long kMembersPerLogical = kChannels * kDrivesPerChannel / kLogicals;
constexpr unsigned long long kDriveSectors = 1953525168ULL;
constexpr unsigned long long kChunkSectors = 976762584ULL;

// A controller of the family as the printers see it.
class BenchVynAdapter : public Adapter {
public:
    BenchVynAdapter()
    {
        setAdapterType(ADAPTER_TYPE_VYN);
        setAdapterID(0);
        maxTopLevelLogicalDrives = 128;
    }
    bool isInstanceOf(const char* name) const override
    {
        return (name != nullptr && std::strcmp(name, "VynAdapter") == 0) || Adapter::isInstanceOf(name);
    }
};

HardDrive* newDrive(Adapter* adapter, Channel* channel, unsigned long id)
{
    static char vendor[] = "VENDOR";
    static char model[] = "Model 2TB";
    static char serial[] = "WD-WCC4E0123456";
    static char firmware[] = "80.00A80";
    return new HardDrive(adapter, channel, id, kDriveSectors, PD_READY, vendor, model, serial, firmware, false,
                         static_cast<EnumHardDriveCacheMode>(4), true, true, false, nullptr, true);
}

// Discovery builds the controller: four SAS channels of 64 drives and 64
// RAID 5 drives over four drives each, every member extent a chunk under
// the logical drive and its twin under the hard drive.
class BenchSystem : public System {
public:
    BenchSystem() : System(STORLIB_TYPE_VYN) {}
    void buildChildren(StorLib*, Ret&) override { build(); }
    void buildChildrenForSingleAdapter(StorLib*, unsigned long index, Ret& ret) override
    {
        if (index != 0) {
            ret.setBadParam(static_cast<long>(index));
            return;
        }
        build();
    }
    int getControllerCount(StorLib*, Ret&) override { return static_cast<int>(getNumAdapters()); }

private:
    void build()
    {
        Adapter* adapter = new BenchVynAdapter;
        addChild(adapter);
        for (unsigned long ch = 0; ch < kChannels; ++ch) {
            Channel* channel = new SASChannel(adapter, ch, SPEED_UNSET);
            adapter->addChild(channel);
            for (unsigned long d = 0; d < kDrivesPerChannel; ++d)
                channel->addChild(newDrive(adapter, channel, ch * kDrivesPerChannel + d));
        }
        for (unsigned long l = 0; l < kLogicals; ++l) {
            BasicLogicalDrive* ld =
                new BasicLogicalDrive(adapter, nullptr, l, LD_OPTIMAL, RAID_LEVEL_5, kChunkSectors * 3, kChunkSectors,
                                      false, static_cast<EnumLogicalDriveCacheMode>(1), false, false);
            ld->setName("bench volume");
            adapter->addChild(ld);
            for (unsigned long m = 0; m < kMembersPerLogical; ++m) {
                HardDrive* drive = adapter->getHardDrive(l * kMembersPerLogical + m);
                const EnumChunkType type = static_cast<EnumChunkType>(1);
                ld->addChild(new Chunk(drive, ld, 0, kChunkSectors, type, 0, CHUNK_STATE_NORMAL, m, kMembersPerLogical));
                drive->addChild(
                    new Chunk(drive, ld, 0, kChunkSectors, type, 0, CHUNK_STATE_NORMAL, m, kMembersPerLogical));
            }
        }
    }
};

// Task queries answer "no task" and are counted.
long taskQueries = 0;

class BenchLib : public StorLibPlugin {
public:
    BenchLib() : StorLibPlugin(STORLIB_TYPE_VYN) {}
    System* newSystem() override { return new BenchSystem; }
    Ret getTasks(const Addr&, ProgressCollection&) override
    {
        ++taskQueries;
        return Ret(0);
    }
};

// A host root of the run's own, so the command and trace logs stay there.
class TemporaryHostRoot {
public:
    TemporaryHostRoot()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vynbench.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        root_ = pattern;
        for (const char* dir : {"var/log", "var/lock", "var/lib", "tmp", "dev", "proc", "sys", "etc"})
            std::filesystem::create_directories(std::filesystem::path(root_) / dir);
        ::setenv("VYN_HOST_ROOT", root_.c_str(), 1);
    }
    ~TemporaryHostRoot()
    {
        ::unsetenv("VYN_HOST_ROOT");
        std::error_code ignored;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ignored);
    }
    bool ready() const { return !root_.empty(); }
    // The trace log grows with every run; it is started over between runs.
    void clearTrace() const
    {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(root_) / "var/log/vynconf.log", ignored);
    }

private:
    std::string root_;
};

void BM_GetConfigAll(benchmark::State& state)
{
    TemporaryHostRoot root;
    if (!root.ready()) {
        state.SkipWithError("no temporary host root");
        return;
    }
    state.SetBytesProcessed(clibench::runRounds(
        state, {"vynconf", "GETCONFIG", "1", "AL"}, []() -> StorLibPlugin* { return new BenchLib; },
        [&root] { root.clearTrace(); }));
}
BENCHMARK(BM_GetConfigAll)->Unit(benchmark::kMillisecond);

// GETSTATUS on the same controller asks once per logical drive and once per
// hard drive; items are those queries.
void BM_GetStatus(benchmark::State& state)
{
    TemporaryHostRoot root;
    std::FILE* out = std::tmpfile();
    if (!root.ready() || out == nullptr) {
        state.SkipWithError("no host root or output file");
        if (out != nullptr)
            std::fclose(out);
        return;
    }
    const std::vector<std::string> words = {"vynconf", "GETSTATUS", "1"};
    long queries = 0;
    for (auto _ : state) {
        taskQueries = 0;
        runVynconf(words, []() -> StorLibPlugin* { return new BenchLib; }, out);
        if (taskQueries != static_cast<long>(kLogicals + kChannels * kDrivesPerChannel)) {
            state.SkipWithError("not one task query per logical drive and per hard drive");
            break;
        }
        queries += taskQueries;
        state.PauseTiming();
        std::rewind(out);
        root.clearTrace();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(queries);
    std::fclose(out);
}
BENCHMARK(BM_GetStatus)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
