// Enumeration of 16 simulated controllers: faos_GetAdapterInfo for indexes 0
// to 16 (the last one fails, as in the exported enumeration), in memory and
// without real sleeping. Items are adapter queries.
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_linux.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

void fsa_enumerate(benchmark::State& state)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vynbench.XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        state.SkipWithError("cannot make a host root");
        return;
    }
    ::setenv("VYN_HOST_ROOT", tmpl.c_str(), 1);
    {
        vyn::hostsim::Simulator sim("adapters = 16\n[hostsim]\npersist = 0\n");
        sim.setSleepScale(0);
        sim.install();
        auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
        int found = 0;
        for (auto _ : state) {
            for (unsigned index = 0; index <= 16; ++index)
                found += faos_GetAdapterInfo(index, info.get()) >= 0;
            sim.clearRequests();
        }
        benchmark::DoNotOptimize(found);
        state.SetItemsProcessed(state.iterations() * 17);
    }
    ::unsetenv("VYN_HOST_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
}
BENCHMARK(fsa_enumerate);

}  // namespace

BENCHMARK_MAIN();
