// FIB 704 round trips through the exported pass-through: the frame, the
// send routine, the host-I/O seam and the simulated firmware, in memory and
// without real sleeping. Items are FIBs.
#include "Command/Vyn/os/faux_mutex.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

void fsa_fib(benchmark::State& state)
{
    fsabench::onOpenChannel(state, [&state](vyn::hostsim::Simulator& sim, FSAAPI_CONTEXT& ctx) {
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
    });
}
BENCHMARK(fsa_fib);

}  // namespace

BENCHMARK_MAIN();
