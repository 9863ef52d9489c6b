// Writing a configuration tree of about 5,000 nodes as XML.
#include <benchmark/benchmark.h>

#include "bench/xml_tree.h"
#include "common/XMLWriter.h"

namespace {

void BM_XmlWriteTree(benchmark::State& state)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    unsigned long bytes = 0;
    for (auto _ : state) {
        char* text = nullptr;
        XMLWriter writer(&text);
        writer.writeTree(tree.root.get());
        benchmark::DoNotOptimize(text);
        bytes = writer.getStrSize();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["textBytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_XmlWriteTree);

} // namespace

BENCHMARK_MAIN();
