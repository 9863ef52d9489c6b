// 1 MiB through FIB 907 chunks of 1996 bytes, each with its CRC, to the
// simulated firmware, which checks every CRC. Bytes are the data carried.
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "platform/hostsim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool openChannel(FSAAPI_CONTEXT& ctx)
{
    try {
        return faos_OpenChannelToAdapter(&ctx, L"ulb0") == 1;
    } catch (FSA_STATUS) {
        return false;
    }
}

constexpr unsigned kBytes = 1u << 20;

void fsa_large_transfer(benchmark::State& state)
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
            faos_CloseChannelToAdapter(&ctx);
        }
    }
    ::unsetenv("VYN_HOST_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
}
BENCHMARK(fsa_large_transfer);

}  // namespace

BENCHMARK_MAIN();
