// What the pass-through benchmarks share: one simulated controller behind an
// open channel, under a host root of their own.
#ifndef VYN_BENCH_FSA_CHANNEL_H
#define VYN_BENCH_FSA_CHANNEL_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fsabench {

inline bool openChannel(FSAAPI_CONTEXT& ctx)
{
    try {
        return faos_OpenChannelToAdapter(&ctx, L"ulb0") == 1;
    } catch (FSA_STATUS) {
        return false;
    }
}

// Runs `body()` under a fresh host root of its own (with /var/lock and
// /dev), removed when it is done. The benchmark is skipped when no root can
// be had.
template <typename Body> void onHostRoot(benchmark::State& state, Body body)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vynbench.XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        state.SkipWithError("cannot make a host root");
        return;
    }
    ::setenv("VYN_HOST_ROOT", tmpl.c_str(), 1);
    for (const char* dir : {"/var/lock", "/dev"})
        std::filesystem::create_directories(tmpl + dir);
    body();
    ::unsetenv("VYN_HOST_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
}

// Runs `body(sim)` with a simulator of `description` installed under a host
// root of its own, which goes when it is done.
template <typename Body> void onSimulator(benchmark::State& state, const std::string& description, Body body)
{
    onHostRoot(state, [&] {
        vyn::hostsim::Simulator sim(description);
        sim.setSleepScale(0);
        sim.install();
        body(sim);
    });
}

// Runs `body(sim, handle)` with the first controller of `description` opened
// read-only, and closes it afterwards. The benchmark is skipped when the open
// fails.
template <typename Body> void onOpenAdapter(benchmark::State& state, const std::string& description, Body body)
{
    onSimulator(state, description, [&](vyn::hostsim::Simulator& sim) {
        void* handle = nullptr;
        int aux = 0;
        if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_ONLY, 1, nullptr, nullptr, &handle,
                             &aux) != FSA_STS_SUCCESS) {
            state.SkipWithError("open failed");
            return;
        }
        body(sim, handle);
        FsaCloseAdapter(handle);
    });
}

// Runs `body(sim, ctx)` with the channel open and closes it afterwards. The
// benchmark is skipped when the channel cannot be had.
template <typename Body> void onOpenChannel(benchmark::State& state, Body body)
{
    onSimulator(state, "adapters = 1\n[hostsim]\npersist = 0\n", [&](vyn::hostsim::Simulator& sim) {
        FSAAPI_CONTEXT ctx;
        ctx.accessMode = FSA_ACC_READ_WRITE;
        if (!openChannel(ctx)) {
            state.SkipWithError("channel did not open");
        } else {
            body(sim, ctx);
            faos_CloseChannelToAdapter(&ctx);
        }
    });
}

}  // namespace fsabench

#endif
