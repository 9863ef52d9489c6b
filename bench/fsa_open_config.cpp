// A read-only adapter open followed by a configuration read, on a controller
// of 256 drives and 64 RAID-5 logical devices: the open's bring-up and the
// reader's model of drives, devices and segments. Items are opens.
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "fsa_channel.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr unsigned kBuses = 8;
constexpr unsigned kTargets = 32;
constexpr unsigned kDrivesPerDevice = 4;

std::string description()
{
    std::string text = "adapters = 1\nhostsim.persist = 0\n";
    for (unsigned b = 0; b < kBuses; ++b)
        text += "adapter0.bus" + std::to_string(b) + " = sas " + std::to_string(kTargets) + "\n";
    std::string members;
    for (unsigned i = 0; i < kBuses * kTargets; ++i) {
        const std::string address = std::to_string(i / kTargets) + ":" + std::to_string(i % kTargets);
        text += "adapter0.drive" + std::to_string(i) + " = " + address + " sas 146G\n";
        members += (members.empty() ? "" : ",") + address;
        if ((i + 1) % kDrivesPerDevice == 0) {
            text += "adapter0.ld" + std::to_string(i / kDrivesPerDevice) + " = raid5 " + members + "\n";
            members.clear();
        }
    }
    return text;
}

void fsa_open_config(benchmark::State& state)
{
    fsabench::onSimulator(state, description(), [&](vyn::hostsim::Simulator& sim) {
        size_t devices = 0;
        for (auto _ : state) {
            void* handle = nullptr;
            int aux = 0;
            if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_ONLY, 1, nullptr, nullptr, &handle,
                                 &aux) != FSA_STS_SUCCESS) {
                state.SkipWithError("open failed");
                break;
            }
            FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
            GetVynIoConfig(ctx);
            devices = ctx->vynIoConfig != nullptr ? ctx->vynIoConfig->allLogDevs().size() : 0;
            FsaCloseAdapter(handle);
            sim.clearRequests();
        }
        state.counters["logical_devices"] = static_cast<double>(devices);
        state.SetItemsProcessed(state.iterations());
    });
}

}  // namespace

BENCHMARK(fsa_open_config)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
