// Reading back the XML text of a configuration tree of about 5,000 nodes,
// visiting every item.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/xml_tree.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

namespace {

std::string benchTreeText()
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.writeTree(tree.root.get());
    return std::string(text);
}

void BM_XmlParseTree(benchmark::State& state)
{
    const std::string xml = benchTreeText();
    std::vector<char> buffer(xml.size());
    unsigned long items = 0;
    for (auto _ : state) {
        // The parser writes into its text, so every round starts from a copy.
        state.PauseTiming();
        std::memcpy(buffer.data(), xml.data(), xml.size());
        state.ResumeTiming();
        SimpleXmlParser parser(buffer.data(), buffer.size());
        unsigned long found = 0;
        unsigned long long sum = 0;
        while (parser.parseNext()) {
            ++found;
            if (parser.getValue() != nullptr)
                sum += static_cast<unsigned char>(parser.getValue()[0]);
        }
        benchmark::DoNotOptimize(sum);
        items = found;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(items));
}
BENCHMARK(BM_XmlParseTree);

} // namespace

BENCHMARK_MAIN();
