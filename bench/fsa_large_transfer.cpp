// 1 MiB through FIB 907 chunks of 1996 bytes, each with its CRC, to the
// simulated firmware, which checks every CRC. Bytes are the data carried.
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr unsigned kBytes = 1u << 20;

void fsa_large_transfer(benchmark::State& state)
{
    fsabench::onOpenChannel(state, [&state](vyn::hostsim::Simulator& sim, FSAAPI_CONTEXT& ctx) {
        ctx.supportedOptions = FSA_SUPPORTED_LARGE_TRANSFER;
        std::vector<unsigned char> data(kBytes);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<unsigned char>(i * 31 + 7);
        unsigned char reply[2016];
        FSA_STATUS status = 1;
        for (auto _ : state) {
            unsigned replyLength = sizeof reply;
            status = FsaInternalSendReceiveFibWithLargeTransfer(&ctx, 1, data.data(), kBytes, reply, &replyLength);
            sim.clearRequests();
        }
        if (status != 1)
            state.SkipWithError("transfer failed");
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
    });
}
BENCHMARK(fsa_large_transfer);

}  // namespace

BENCHMARK_MAIN();
