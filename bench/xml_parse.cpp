// Reading back the XML text of a whole system (4 controllers, 256 hard
// drives with their chunks, 64 logical drives): once as bare parser items,
// once into a new tree, as a saved configuration is loaded.
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

unsigned long countNodes(const RaidObject& node)
{
    unsigned long n = 1;
    for (const RaidObject* child : node.getChildren()) {
        n += countNodes(*child);
    }
    return n;
}

void BM_XmlReadSystem(benchmark::State& state)
{
    const std::string xml = benchTreeText();
    std::vector<char> buffer(xml.size());
    unsigned long nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(buffer.data(), xml.data(), xml.size());
        state.ResumeTiming();
        SimpleXmlParser parser(buffer.data(), buffer.size());
        vynbench::BenchSystem root;
        root.buildChildren(parser);
        state.PauseTiming();
        nodes = countNodes(root);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(nodes));
    state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_XmlReadSystem);

} // namespace

BENCHMARK_MAIN();
