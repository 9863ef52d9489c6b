// The device walk of the controller-tree build over a controller of 128, 256
// and 512 drives: each device's information through the `next` walk, then
// its SMART record by address, as the tree builder asks them. Items are
// devices; items per second staying level from 128 to 512 drives shows the
// walk is linear in the device count.
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "fsa_channel.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr unsigned kBuses = 8;

std::string description(unsigned drives)
{
    const unsigned targets = (drives + kBuses - 1) / kBuses;
    std::string text = "adapters = 1\nhostsim.persist = 0\n";
    for (unsigned b = 0; b < kBuses; ++b)
        text += "adapter0.bus" + std::to_string(b) + " = sas " + std::to_string(targets) + "\n";
    for (unsigned i = 0; i < drives; ++i)
        text += "adapter0.drive" + std::to_string(i) + " = " + std::to_string(i / targets) + ":" +
                std::to_string(i % targets) + " sas 146G\n";
    return text;
}

void fsa_device_walk(benchmark::State& state)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    fsabench::onOpenAdapter(state, description(drives), [&](vyn::hostsim::Simulator&, void* handle) {
        size_t visited = 0;
        for (auto _ : state) {
            FSA_STORAGE_DEVICE_INFO info{};
            FSA_SMART_DATA smart{};
            const FSA_STORAGE_DEVICE* previous = nullptr;
            visited = 0;
            while (FsaGetStorageDeviceInfo(handle, 1, previous, &info) == FSA_STS_SUCCESS) {
                FsaGetSmartDeviceInfo(handle, 0, &info.address, &smart);
                previous = &info.address;
                ++visited;
            }
            benchmark::DoNotOptimize(smart);
        }
        if (visited != drives)
            state.SkipWithError(("the walk visited " + std::to_string(visited) + " devices").c_str());
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
    });
}

}  // namespace

BENCHMARK(fsa_device_walk)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
