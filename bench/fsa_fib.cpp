// FIB 704 round trips through the exported pass-through: the frame, the
// send routine, the host-I/O seam and the simulated firmware, in memory and
// without real sleeping. Items are FIBs.
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

bool openChannel(FSAAPI_CONTEXT& ctx)
{
    try {
        return faos_OpenChannelToAdapter(&ctx, L"ulb0") == 1;
    } catch (FSA_STATUS) {
        return false;
    }
}

void fsa_fib(benchmark::State& state)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vynbench.XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        state.SkipWithError("cannot make a host root");
        return;
    }
    ::setenv("VYN_HOST_ROOT", tmpl.c_str(), 1);
    for (const char* dir : {"/var/lock", "/dev"})
        std::filesystem::create_directories(tmpl + dir);
    {
        vyn::hostsim::Simulator sim("adapters = 1\n[hostsim]\npersist = 0\n");
        sim.setSleepScale(0);
        sim.install();
        FSAAPI_CONTEXT ctx;
        ctx.accessMode = FSA_ACC_READ_WRITE;
        if (!openChannel(ctx)) {
            state.SkipWithError("channel did not open");
        } else {
            char name[] = "OmrWrapperMutexulb0";
            ctx.contextMutex = faos_CreateMutex(name);
            void* handle = FsaHandleFromNumber(UtilCreateHandle(&ctx));
            _FIB fib;
            FSA_STATUS status = 1;
            for (auto _ : state) {
                std::memset(&fib, 0, sizeof fib);
                fib.Header.Command = FIB_CMD_IS_ADAPTER_PAUSED;
                fib.Header.Size = 4;
                status = FsaSendReceiveFib(handle, &fib);
                if ((state.iterations() & 1023) == 0)
                    sim.clearRequests();
            }
            benchmark::DoNotOptimize(status);
            state.SetItemsProcessed(state.iterations());
            UtilDeleteHandle(handle);
            faos_CloseChannelToAdapter(&ctx);
        }
    }
    ::unsetenv("VYN_HOST_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
}
BENCHMARK(fsa_fib);

}  // namespace

BENCHMARK_MAIN();
