// What the command-line benchmarks share: rounds of one vynconf command run
// in process, its output captured in a temporary file.
#ifndef VYN_BENCH_VYNCONF_ROUNDS_H
#define VYN_BENCH_VYNCONF_ROUNDS_H

#include "cli/LibraryFactory.h"
#include "cli/Vynconf.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace clibench {

// Runs `words` through runVynconf once per round with the library that
// `makeLibrary` makes, into one temporary file emptied before each round;
// `between()` runs untimed after each round. Returns the bytes the rounds
// wrote. The benchmark is skipped when the program fails.
template <typename Between>
int64_t runRounds(benchmark::State& state, const std::vector<std::string>& words, LibraryFactory makeLibrary,
                  Between between)
{
    std::FILE* out = std::tmpfile();
    if (out == nullptr) {
        state.SkipWithError("no output file");
        return 0;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        std::rewind(out);
        if (::ftruncate(::fileno(out), 0) != 0) {
            state.SkipWithError("output file not emptied");
            break;
        }
        const int code = runVynconf(words, makeLibrary, out);
        std::fflush(out);
        bytes += std::ftell(out);
        if (code != 0) {
            state.SkipWithError("the command failed");
            break;
        }
        state.PauseTiming();
        between();
        state.ResumeTiming();
    }
    std::fclose(out);
    return bytes;
}

}  // namespace clibench

#endif
