// Writing a whole system (4 controllers, 256 hard drives with their chunks,
// 64 logical drives) as XML, in the full and the user-configuration forms.
#include <benchmark/benchmark.h>

#include "bench/xml_tree.h"
#include "common/XMLWriter.h"

namespace {

template <bool UserForm>
void BM_XmlWriteTree(benchmark::State& state)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    unsigned long bytes = 0;
    for (auto _ : state) {
        char* text = nullptr;
        XMLWriter writer(&text);
        if (UserForm) {
            writer.writeUserConfigTree(tree.root.get());
        } else {
            writer.writeTree(tree.root.get());
        }
        benchmark::DoNotOptimize(text);
        bytes = writer.getStrSize();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["textBytes"] = static_cast<double>(bytes);
}
BENCHMARK_TEMPLATE(BM_XmlWriteTree, false)->Name("BM_XmlWriteTree");
BENCHMARK_TEMPLATE(BM_XmlWriteTree, true)->Name("BM_XmlWriteUserConfig");

} // namespace

BENCHMARK_MAIN();
