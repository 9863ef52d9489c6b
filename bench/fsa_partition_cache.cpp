// The partition-cache rebuild of a large controller: 64 drives, each holding
// a stripe of `partitions` / 64 RAID-5 containers of four drives, so that
// every slice carries several partitions and free space behind them. Each
// round invalidates the cache and rebuilds it with its unique-id table. Items
// are partitions listed; the rate should stay flat as the count grows.
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_open.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr unsigned kDrives = 64;
constexpr unsigned kDrivesPerDevice = 4;

std::string description(unsigned partitions)
{
    std::string text = "adapters = 1\nhostsim.persist = 0\nadapter0.max_containers = 256\n"
                       "adapter0.partitions = 1024\nadapter0.bus0 = sas 32\nadapter0.bus1 = sas 32\n";
    for (unsigned i = 0; i < kDrives; ++i)
        text += "adapter0.drive" + std::to_string(i) + " = " + std::to_string(i / 32) + ":" + std::to_string(i % 32) +
                " sas 146G\n";
    const unsigned devices = partitions / kDrivesPerDevice;
    for (unsigned d = 0; d < devices; ++d) {
        std::string members;
        const unsigned first = d * kDrivesPerDevice % kDrives;
        for (unsigned m = 0; m < kDrivesPerDevice; ++m) {
            const unsigned i = first + m;
            members += (m == 0 ? "" : ",") + std::to_string(i / 32) + ":" + std::to_string(i % 32);
        }
        text += "adapter0.ld" + std::to_string(d) + " = raid5 " + members + " size=3G\n";
    }
    return text;
}

void fsa_partition_cache(benchmark::State& state)
{
    const unsigned partitions = static_cast<unsigned>(state.range(0));
    fsabench::onOpenAdapter(state, description(partitions), [&](vyn::hostsim::Simulator& sim, void* handle) {
        FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
        unsigned listed = 0;
        for (auto _ : state) {
            CT_InvalidateCache(ctx);
            try {
                CT_UpdateCache(ctx);
            } catch (FSA_STATUS) {
                state.SkipWithError("rebuild failed");
                break;
            }
            listed = ctx->partitionCache->count;
            sim.clearRequests();
        }
        state.counters["entries"] = listed;
        state.counters["unique_ids"] = ctx->uniqueIdCount;
        state.SetItemsProcessed(state.iterations() * partitions);
    });
}

}  // namespace

BENCHMARK(fsa_partition_cache)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
