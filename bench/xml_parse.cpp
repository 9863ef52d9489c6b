// Reading back the XML text of a whole system (4 controllers, 256 hard
// drives with their chunks, 64 logical drives): once as bare parser items,
// once into a new tree, as a saved configuration is loaded; side by side
// with pugixml parsing the same bytes in place (default flags), and parsing
// plus a walk that reads every attribute as text and as a number. Reading
// into the tree also runs over 64, 128 and 256 drives, to show it linear.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <vector>

#include "bench/xml_tree.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

namespace {

std::string benchTreeText(unsigned long drivesPerChannel = vynbench::kDrivesPerChannel)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree, drivesPerChannel);
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.writeTree(tree.root.get());
    return std::string(text);
}

// Both parsers write into their text, so every round starts from a fresh
// copy, made outside the timed part.
struct TextCopy {
    explicit TextCopy(const std::string& xml) : xml(xml), buffer(xml.size()) {}
    void refresh(benchmark::State& state)
    {
        state.PauseTiming();
        std::memcpy(buffer.data(), xml.data(), xml.size());
        state.ResumeTiming();
    }
    const std::string& xml;
    std::vector<char> buffer;
};

void setBytes(benchmark::State& state, const std::string& xml)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
}

void BM_XmlParseTree(benchmark::State& state)
{
    const std::string xml = benchTreeText();
    TextCopy copy(xml);
    unsigned long items = 0;
    for (auto _ : state) {
        copy.refresh(state);
        SimpleXmlParser parser(copy.buffer.data(), copy.buffer.size());
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
    setBytes(state, xml);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(items));
}
BENCHMARK(BM_XmlParseTree);

// Parses the copy in place; false, with the benchmark skipped, when pugixml
// cannot.
bool pugiLoad(pugi::xml_document& doc, TextCopy& copy, benchmark::State& state)
{
    if (doc.load_buffer_inplace(copy.buffer.data(), copy.buffer.size(), pugi::parse_default))
        return true;
    state.SkipWithError("pugixml could not parse the text");
    return false;
}

void BM_PugiParseTree(benchmark::State& state)
{
    const std::string xml = benchTreeText();
    TextCopy copy(xml);
    for (auto _ : state) {
        copy.refresh(state);
        pugi::xml_document doc;
        if (!pugiLoad(doc, copy, state))
            break;
        benchmark::DoNotOptimize(doc.first_child().name());
    }
    setBytes(state, xml);
}
BENCHMARK(BM_PugiParseTree);

unsigned long long walkAttributes(const pugi::xml_node& node)
{
    unsigned long long sum = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        sum += static_cast<unsigned char>(a.value()[0]);
        sum += static_cast<unsigned long long>(a.as_llong());
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        sum += walkAttributes(child);
    }
    return sum;
}

void BM_PugiParseWalk(benchmark::State& state)
{
    const std::string xml = benchTreeText();
    TextCopy copy(xml);
    for (auto _ : state) {
        copy.refresh(state);
        pugi::xml_document doc;
        if (!pugiLoad(doc, copy, state))
            break;
        benchmark::DoNotOptimize(walkAttributes(doc));
    }
    setBytes(state, xml);
}
BENCHMARK(BM_PugiParseWalk);

unsigned long countNodes(const RaidObject& node)
{
    unsigned long n = 1;
    for (const RaidObject* child : node.getChildren()) {
        n += countNodes(*child);
    }
    return n;
}

// The argument is the number of hard drives (16 logical drives on each of
// the 4 controllers, one chunk per drive on either side).
void BM_XmlReadSystem(benchmark::State& state)
{
    const unsigned long drives = static_cast<unsigned long>(state.range(0));
    const std::string xml = benchTreeText(drives / vynbench::benchDriveCount(1));
    TextCopy copy(xml);
    unsigned long nodes = 0;
    for (auto _ : state) {
        copy.refresh(state);
        SimpleXmlParser parser(copy.buffer.data(), copy.buffer.size());
        vynbench::BenchSystem root;
        root.buildChildren(parser);
        state.PauseTiming();
        nodes = countNodes(root);
        state.ResumeTiming();
    }
    setBytes(state, xml);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(nodes));
    state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_XmlReadSystem)->Arg(64)->Arg(128)->Arg(256);

} // namespace

BENCHMARK_MAIN();
