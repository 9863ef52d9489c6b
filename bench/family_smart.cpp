// The SMART statistics report of a controller, in-process against the
// simulator: VynAdapter::getSmartStats over 64, 128 and 256 awake SATA drives
// on four buses, each answering one SMART READ DATA of twelve attributes.
// Items are drives. Each drive costs one SMART command and one append of its
// element, so items per second must stay level as the drives double; a fall
// means the report or a drive's element stopped growing geometrically.
//
// The drives are spinning ones of no family: an SSD of a family also hands
// its wear-out parameters to the controller, a change with a write handle of
// its own, and the simulator keeps every such request and digests its whole
// state after each, so a run of many reports would time the simulator.
//
// pugixml_smart/<drives> builds the same document (the attribute values read
// back from our report) and saves it into a string, for scale: it neither
// reads the drives nor computes the longevity figures.
#include "common/SimpleXmlParser.h"
#include "family_controller.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kBuses = 4;
constexpr unsigned long kReportRoom = 16UL << 20;
const char* const kAttributes = "smart.attrs=01:100:100:0,05:100:100:0,09:98:98:4120,0C:99:99:310,"
                                "AA:100:100:0,AB:100:100:0,AC:100:100:0,B8:100:100:0,BB:100:100:0,"
                                "C2:70:60:30,E1:200:200:98431,E9:97:97:0";

std::string description(unsigned drives)
{
    const unsigned perBus = (drives + kBuses - 1) / kBuses;
    std::string text = "adapters = 1\n[hostsim]\npersist = 0\n[adapter0]\n";
    for (unsigned b = 0; b < kBuses; ++b)
        text += "bus" + std::to_string(b) + " = sas " + std::to_string(perBus) + "\n";
    for (unsigned k = 0; k < drives; ++k) {
        text += "drive" + std::to_string(k) + " = " + std::to_string(k / perBus) + ":" + std::to_string(k % perBus);
        text += " sata 500G ";
        text += kAttributes;
        text += "\n";
    }
    return text;
}

// Runs `body(adapter)` over the built tree of a controller of `drives` SATA
// drives.
template <typename Body> void onSmartController(benchmark::State& state, unsigned drives, Body body)
{
    familybench::onBuiltController(state, description(drives), drives, body);
}

void family_smart(benchmark::State& state)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    onSmartController(state, drives, [&](VynAdapter& adapter) {
        std::unique_ptr<char[]> buffer(new char[kReportRoom]);
        unsigned long bytes = 0;
        for (auto _ : state) {
            unsigned long size = kReportRoom;
            const Ret ret = adapter.getSmartStats(buffer.get(), size);
            if (ret.getReturn() != 0) {
                state.SkipWithError("the report failed");
                return;
            }
            bytes = size;
            benchmark::DoNotOptimize(buffer.get());
        }
        state.counters["report_bytes"] = static_cast<double>(bytes);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
    });
}

// One element of the report as read back: its name and attributes.
struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
};

std::vector<Element> elementsOf(std::string text)
{
    std::vector<Element> out;
    SimpleXmlParser parser(&text[0], text.size());
    while (parser.parseNext()) {
        if (parser.foundStartTag())
            out.push_back({parser.getTag(), {}});
        if ((parser.getFlags() & SimpleXmlParser::FOUND_ATTRIBUTE) != 0 && !out.empty())
            out.back().attributes.emplace_back(parser.getName(), parser.getValue());
    }
    return out;
}

struct StringSink : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

void pugixml_smart(benchmark::State& state)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    onSmartController(state, drives, [&](VynAdapter& adapter) {
        std::unique_ptr<char[]> buffer(new char[kReportRoom]);
        unsigned long size = kReportRoom;
        if (adapter.getSmartStats(buffer.get(), size).getReturn() != 0) {
            state.SkipWithError("the report failed");
            return;
        }
        const std::vector<Element> elements = elementsOf(std::string(buffer.get(), size));
        size_t bytes = 0;
        for (auto _ : state) {
            pugi::xml_document document;
            pugi::xml_node root;
            pugi::xml_node drive;
            for (const Element& e : elements) {
                pugi::xml_node node;
                if (e.name == "SmartStats")
                    node = root = document.append_child("SmartStats");
                else if (e.name == "PhysicalDriveSmartStats")
                    node = drive = root.append_child("PhysicalDriveSmartStats");
                else
                    node = drive.append_child(e.name.c_str());
                for (const auto& a : e.attributes)
                    node.append_attribute(a.first.c_str()).set_value(a.second.c_str());
            }
            StringSink sink;
            document.save(sink, "", pugi::format_raw);
            bytes = sink.text.size();
            benchmark::DoNotOptimize(sink.text.data());
        }
        state.counters["report_bytes"] = static_cast<double>(bytes);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * drives);
    });
}

}  // namespace

BENCHMARK(family_smart)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(pugixml_smart)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
