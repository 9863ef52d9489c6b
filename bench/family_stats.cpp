// The controller statistics reports of a version 3.0 record: XML
// (VynAdapter::GetStatsXml) and CSV (VynAdapter::GetStatsCSV) of records of
// 16, 32 and 64 logical drives with 64, 128 and 256 physical devices. Bytes
// are those of the text written. Each entry costs one element (or row) of a
// fixed set of counters, so bytes per second must stay level as the record
// doubles; a fall means the text or a loop over the entries stopped being
// linear.
//
// The record is written here from the layout tables with its own
// little-endian writer, its counters filled with values of varying width.
//
// pugixml_stats_xml/<drives> builds the same document (elements and
// attribute values read back from our report) and saves it into a string,
// for scale: it decodes no record. The CSV text has no peer library here.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/CSVWriter.h"
#include "common/Ret.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t kHeader = 144;  // version 3.0
constexpr size_t kSectionHeader = 24;
constexpr size_t kDriveEntry = 1168;
constexpr size_t kDeviceEntry = 28;
constexpr unsigned kDevicesPerDrive = 4;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (unsigned i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void put64(std::vector<uint8_t>& b, size_t at, uint64_t v)
{
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

// A deterministic spread of small and large counter values.
uint64_t counter(uint64_t seed)
{
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 33) >> ((seed >> 7) & 31);
}

std::vector<uint8_t> record(unsigned drives)
{
    const unsigned devices = drives * kDevicesPerDrive;
    const size_t ld = kHeader;
    const size_t pd = ld + kSectionHeader + size_t(drives) * kDriveEntry;
    std::vector<uint8_t> b(pd + kSectionHeader + size_t(devices) * kDeviceEntry, 0);
    put32(b, 0, static_cast<uint32_t>(ld));
    put32(b, 8, 3600);
    put32(b, 12, 0x00030000);
    uint64_t seed = 1;
    for (size_t at = 16; at < 104; at += 8)
        put64(b, at, counter(seed++));
    for (size_t at = 104; at < 124; at += 4)
        put32(b, at, static_cast<uint32_t>(counter(seed++)));
    put64(b, 124, counter(seed++));
    for (size_t at = 132; at < 144; at += 4)
        put32(b, at, static_cast<uint32_t>(counter(seed++)));
    put32(b, ld, drives);
    put32(b, ld + 4, kDriveEntry);
    for (unsigned i = 0; i < drives; ++i) {
        const size_t e = ld + kSectionHeader + size_t(i) * kDriveEntry;
        put32(b, e, i);
        for (size_t at = 8; at < 968; at += 8)
            put64(b, e + at, counter(seed++));
        for (size_t at = 976; at < 1120; at += 8)
            put64(b, e + at, counter(seed++));
        for (size_t at = 1120; at < 1168; at += 4)
            put32(b, e + at, static_cast<uint32_t>(counter(seed++)));
    }
    put32(b, pd, devices);
    put32(b, pd + 4, kDeviceEntry);
    for (unsigned i = 0; i < devices; ++i) {
        const size_t e = pd + kSectionHeader + size_t(i) * kDeviceEntry;
        put32(b, e, (i / 32) << 24 | (i % 32));
        for (size_t at = 4; at < kDeviceEntry; at += 4)
            put32(b, e + at, static_cast<uint32_t>(counter(seed++) & 0xFFFF));
    }
    return b;
}

std::string statsXml(const std::vector<uint8_t>& r)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    Ret ret(0);
    VynAdapter::GetStatsXml(reinterpret_cast<const char*>(r.data()), r.size(), &writer, ret);
    return text != nullptr ? std::string(text) : std::string();
}

void family_stats_xml(benchmark::State& state)
{
    const std::vector<uint8_t> r = record(static_cast<unsigned>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        char* text = nullptr;
        XMLWriter writer(&text);
        Ret ret(0);
        VynAdapter::GetStatsXml(reinterpret_cast<const char*>(r.data()), r.size(), &writer, ret);
        bytes = writer.getStrSize();
        benchmark::DoNotOptimize(text);
    }
    state.counters["record_bytes"] = static_cast<double>(r.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void family_stats_csv(benchmark::State& state)
{
    const std::vector<uint8_t> r = record(static_cast<unsigned>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        char* text = nullptr;
        CSVWriter writer(&text);
        Ret ret(0);
        VynAdapter::GetStatsCSV(reinterpret_cast<const char*>(r.data()), r.size(), &writer, ret);
        bytes = text != nullptr ? std::char_traits<char>::length(text) : 0;
        benchmark::DoNotOptimize(text);
    }
    state.counters["record_bytes"] = static_cast<double>(r.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// One element of the report as read back, or the end of the one open.
struct Element {
    std::string name;
    bool closes = false;
    std::vector<std::pair<std::string, std::string>> attributes;
};

std::vector<Element> elementsOf(std::string text)
{
    std::vector<Element> out;
    SimpleXmlParser parser(&text[0], text.size());
    while (parser.parseNext()) {
        if (parser.foundStartTag())
            out.push_back({parser.getTag(), false, {}});
        if ((parser.getFlags() & SimpleXmlParser::FOUND_ATTRIBUTE) != 0 && !out.empty())
            out.back().attributes.emplace_back(parser.getName(), parser.getValue());
        if ((parser.getFlags() & (SimpleXmlParser::FOUND_EMPTY | SimpleXmlParser::FOUND_END)) != 0)
            out.push_back({"", true, {}});
    }
    return out;
}

struct StringSink : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

void pugixml_stats_xml(benchmark::State& state)
{
    const std::string ours = statsXml(record(static_cast<unsigned>(state.range(0))));
    const std::vector<Element> elements = elementsOf(ours);
    size_t bytes = 0;
    for (auto _ : state) {
        pugi::xml_document document;
        std::vector<pugi::xml_node> open{document};
        for (const Element& e : elements) {
            if (e.closes) {
                if (open.size() > 1)
                    open.pop_back();
                continue;
            }
            pugi::xml_node node = open.back().append_child(e.name.c_str());
            for (const auto& a : e.attributes)
                node.append_attribute(a.first.c_str()).set_value(a.second.c_str());
            open.push_back(node);
        }
        StringSink sink;
        document.save(sink, "", pugi::format_raw);
        bytes = sink.text.size();
        benchmark::DoNotOptimize(sink.text.data());
    }
    state.counters["our_bytes"] = static_cast<double>(ours.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

}  // namespace

BENCHMARK(family_stats_xml)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(family_stats_csv)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(pugixml_stats_xml)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
