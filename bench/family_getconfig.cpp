// GETCONFIG 1 AL through the whole program and the family's library, in
// process, over generated controllers of N drives, N/4 RAID 5 logical drives
// of four members and two SES-2 enclosures (N = 32, 64, 128, 256); and the part
// of it that builds the tree and writes it as XML (the library's
// getSystemConfig). Items are drives, bytes are the program's output or the
// XML text; the fitted complexity should come out linear in N.
#include "RaidLib/StorLib.h"
#include "RaidLib/StorLibPlugin.h"
#include "cli/LibraryFactory.h"
#include "cli/Vynconf.h"
#include "common/Ret.h"
#include "fsa_channel.h"
#include "vynconf_rounds.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned kBuses = 4;

// With `persist` the controller lives in state files under the host root, as
// it does for a vynconf process.
std::string description(unsigned drives, bool persist = false)
{
    const unsigned perBus = drives / kBuses;
    std::string text = persist ? "adapters = 1\n[adapter0]\n" : "adapters = 1\nhostsim.persist = 0\n[adapter0]\n";
    // Room for every drive and, on the first two buses, an enclosure after them.
    for (unsigned b = 0; b < kBuses; ++b)
        text += "bus" + std::to_string(b) + " = sas " + std::to_string(perBus + 1) + "\n";
    auto at = [perBus](unsigned i) { return std::to_string(i / perBus) + ":" + std::to_string(i % perBus); };
    for (unsigned i = 0; i < drives; ++i)
        text += "drive" + std::to_string(i) + " = " + at(i) + " sas 146G\n";
    for (unsigned e = 0; e < 2; ++e)
        text += "encl" + std::to_string(e) + " = ses2 " + std::to_string(e) + ":" + std::to_string(perBus) +
                " slots=" + std::to_string(perBus) + " fans=2 psus=2 temps=1\n";
    for (unsigned k = 0; k < drives / 4; ++k)
        text += "ld" + std::to_string(k) + " = raid5 " + at(4 * k) + "," + at(4 * k + 1) + "," + at(4 * k + 2) + "," +
                at(4 * k + 3) + " name=Data" + std::to_string(k) + "\n";
    return text;
}

// The command and trace logs grow with every run: they start over between runs.
void clearLogs(const std::string& root)
{
    std::error_code ignored;
    std::filesystem::remove(root + "/var/log/vynconf.log", ignored);
    std::filesystem::remove(root + "/var/log/UcliEvt.log", ignored);
}

template <typename Body> void onController(benchmark::State& state, Body body)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    fsabench::onHostRoot(state, [&] {
        const std::string root = std::getenv("VYN_HOST_ROOT");
        std::filesystem::create_directories(root + "/var/log");
        StorLibInit library;
        vyn::hostsim::Simulator sim(description(drives));
        sim.setSleepScale(0);
        sim.install();
        body(root, drives);
        state.SetComplexityN(drives);
    });
}

void family_getconfig(benchmark::State& state)
{
    onController(state, [&](const std::string& root, unsigned drives) {
        state.SetBytesProcessed(clibench::runRounds(state, {"vynconf", "GETCONFIG", "1", "AL"}, createStorageLibrary,
                                                    [&root] { clearLogs(root); }));
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
    });
}

void family_system_xml(benchmark::State& state)
{
    onController(state, [&](const std::string&, unsigned drives) {
        int64_t bytes = 0;
        for (auto _ : state) {
            std::unique_ptr<StorLibPlugin> lib(createStorageLibrary());
            char* xml = nullptr;
            const Ret ret = lib->getSystemConfig(&xml);
            if (ret.getReturn() != 0 || xml == nullptr) {
                state.SkipWithError("no system configuration");
                lib->freeBuffer(xml);
                break;
            }
            bytes += static_cast<int64_t>(std::strlen(xml));
            lib->freeBuffer(xml);
        }
        state.SetBytesProcessed(bytes);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
    });
}

// A vynconf process on a host root that earlier ones left: each round makes
// the simulator anew over the persisted state files and node registry, as a
// new process does at its first firmware call, and runs GETCONFIG 1 AL. The
// start-up of the simulator is part of the round. `registry_reads` is how
// often a round read the node registry file: once, when nothing changed it.
void family_getconfig_process(benchmark::State& state)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    fsabench::onHostRoot(state, [&] {
        const std::string root = std::getenv("VYN_HOST_ROOT");
        std::filesystem::create_directories(root + "/var/log");
        StorLibInit library;
        const std::string text = description(drives, true);
        std::FILE* out = std::tmpfile();
        if (out == nullptr) {
            state.SkipWithError("no output file");
            return;
        }
        // An earlier process seeded the state and registered the nodes.
        {
            vyn::hostsim::Simulator first(text);
            first.setSleepScale(0);
            first.install();
            if (runVynconf({"vynconf", "GETCONFIG", "1", "AL"}, createStorageLibrary, out) != 0) {
                state.SkipWithError("the command failed");
                std::fclose(out);
                return;
            }
        }
        uint64_t reads = 0;
        int64_t bytes = 0;
        for (auto _ : state) {
            std::rewind(out);
            if (::ftruncate(::fileno(out), 0) != 0) {
                state.SkipWithError("output file not emptied");
                break;
            }
            vyn::hostsim::Simulator sim(text);
            sim.setSleepScale(0);
            sim.install();
            const int code = runVynconf({"vynconf", "GETCONFIG", "1", "AL"}, createStorageLibrary, out);
            reads += sim.nodeReads();
            std::fflush(out);
            bytes += std::ftell(out);
            if (code != 0) {
                state.SkipWithError("the command failed");
                break;
            }
            state.PauseTiming();
            clearLogs(root);
            state.ResumeTiming();
        }
        std::fclose(out);
        state.counters["registry_reads"] =
            benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kAvgIterations);
        state.SetBytesProcessed(bytes);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
        state.SetComplexityN(drives);
    });
}

}  // namespace

BENCHMARK(family_getconfig_process)->Arg(64)->Arg(128)->Arg(256)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(family_getconfig)->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(family_system_xml)->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
