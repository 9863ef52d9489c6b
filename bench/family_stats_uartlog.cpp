// The console (UART) text of a controller as the library reads it:
// VynAdapter::getControllerLog of the UART type over a simulated controller
// holding 0.45, 0.9 or 1.8 MB of console text (items are bytes of text). The
// library reads the text in entries of at most 432 bytes, one firmware
// request each, so every request must cost the same however long the text
// is: bytes per second must stay level as the text doubles.
#include "family_controller.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr unsigned long kUartLogType = 7;

// Console lines of the usual width, numbered, up to `bytes`.
std::string consoleText(size_t bytes)
{
    std::string text;
    text.reserve(bytes);
    char line[96];
    for (unsigned n = 0; text.size() < bytes; ++n) {
        const int len = std::snprintf(line, sizeof line, "[%08u] ctl0: task %u checked stripe %u of container %u\n",
                                      n, n % 64, n * 7, n % 32);
        text.append(line, static_cast<size_t>(len));
    }
    text.resize(bytes);
    text.back() = '\n';
    return text;
}

void family_uart_log(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    const std::string description = "adapters = 1\n[hostsim]\npersist = 0\n[adapter0]\nbus0 = sas 4\n"
                                    "drive0 = 0:0 sas 146G\n";
    const std::string text = consoleText(bytes);
    familybench::onBuiltController(
        state, description, 1, [&](vyn::hostsim::Simulator& sim) { sim.controller(0).historyText = text; },
        [&](VynAdapter& adapter) {
            // Room for the text and its frame.
            const unsigned long room = 2 * bytes + 4096;
            std::unique_ptr<char[]> buffer(new char[room]);
            unsigned long written = 0;
            for (auto _ : state) {
                unsigned long size = room;
                const Ret log =
                    adapter.getControllerLog(static_cast<EnumLogTypeRequest>(kUartLogType), buffer.get(), size, 0);
                if (log.getReturn() != 0) {
                    state.SkipWithError("the log failed");
                    break;
                }
                written = size;
                benchmark::DoNotOptimize(buffer.get());
            }
            if (written < bytes)
                state.SkipWithError("the log holds less than the console text");
            state.counters["log_bytes"] = static_cast<double>(written);
            state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
        });
}

BENCHMARK(family_uart_log)->Arg(460800)->Arg(921600)->Arg(1843200)->Unit(benchmark::kMillisecond);

}  // namespace
