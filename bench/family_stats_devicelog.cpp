// The device log (drive error table) of a controller, in-process against the
// simulator: VynAdapter::getControllerLog of type 0 over a built tree of 64
// or 256 SAS drives on four buses, the controller answering the older table
// of 85, 170 or 341 entries (its whole room), each entry naming a drive of
// the tree. Items are entries. Every entry of the older table looks its
// drive up in the tree; the log indexes the tree once, so items per second
// must stay level as the entries grow and as the tree grows; a fall with the
// tree means a lookup walks it.
#include "family_controller.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned kBuses = 4;
constexpr unsigned long kLogRoom = 1UL << 20;

std::string description(unsigned drives, unsigned entries)
{
    const unsigned perBus = (drives + kBuses - 1) / kBuses;
    std::string text = "adapters = 1\n[hostsim]\npersist = 0\n[adapter0]\n";
    text += "drive_error_version = 0\ndrive_error_entries = " + std::to_string(entries) + "\n";
    for (unsigned b = 0; b < kBuses; ++b)
        text += "bus" + std::to_string(b) + " = sas " + std::to_string(perBus) + "\n";
    for (unsigned k = 0; k < drives; ++k)
        text += "drive" + std::to_string(k) + " = " + std::to_string(k / perBus) + ":" + std::to_string(k % perBus) +
                " sas 146G\n";
    return text;
}

void family_stats_devicelog(benchmark::State& state)
{
    const unsigned entries = static_cast<unsigned>(state.range(0));
    const unsigned drives = static_cast<unsigned>(state.range(1));
    familybench::onBuiltController(state, description(drives, entries), drives, [&](VynAdapter& adapter) {
        std::unique_ptr<char[]> buffer(new char[kLogRoom]);
        unsigned long bytes = 0;
        for (auto _ : state) {
            unsigned long size = kLogRoom;
            const Ret log = adapter.getControllerLog(static_cast<EnumLogTypeRequest>(0), buffer.get(), size, 0);
            if (log.getReturn() != 0) {
                state.SkipWithError("the log failed");
                break;
            }
            bytes = size;
            benchmark::DoNotOptimize(buffer.get());
        }
        state.counters["log_bytes"] = static_cast<double>(bytes);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * entries);
    });
}

BENCHMARK(family_stats_devicelog)
    ->ArgNames({"entries", "drives"})
    ->Args({85, 256})
    ->Args({170, 256})
    ->Args({341, 256})
    ->Args({341, 64})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
