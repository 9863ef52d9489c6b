// Live events of the family: VynAdapter::getEvents(StorEventCollection&)
// over N events that a scripted FsaPollForEvent delivers, one record per
// call, then "none pending". Each round polls, renders every record as an
// event element and parses the list into event records, as a caller of the
// library receives them. Items are events; their cost must not grow with
// their number (compare 2,500, 5,000 and 10,000): the list text, the event
// array and each event's attribute list all grow geometrically.
//
// Beside it, pugixml parses the same list text in place and walks every
// attribute of every event, reading the numbers the records keep.
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/StorEvent.h"

#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr FSA_STATUS kNoEvent = 336;

struct Field {
    size_t at;
    uint32_t value;
};

std::vector<uint8_t> eventRecord(uint32_t eventClass, std::initializer_list<Field> fields, const char* text = nullptr,
                                 size_t textAt = 0)
{
    std::vector<uint8_t> bytes(sizeof(tag_FSA_EVENT), 0);
    faPutLe32(bytes.data(), eventClass);
    faPutLe32(bytes.data() + 328, 1700000000);
    for (const Field& f : fields)
        faPutLe32(bytes.data() + f.at, f.value);
    if (text != nullptr)
        std::memcpy(bytes.data() + textAt, text, std::strlen(text) + 1);
    return bytes;
}

// A mix of what controllers report: drive, container, enclosure, battery,
// task, SMART and expanded events, and a line of adapter text.
std::vector<std::vector<uint8_t>> eventMix()
{
    return {
        eventRecord(0x8, {{12, 0x0300}}),
        eventRecord(0x100, {{8, 2}, {20, 12}}),
        eventRecord(0x2000, {{12, 0x00000005}, {16, 24}}),
        eventRecord(0x4000, {{8, 2}, {12, 1}, {16, 5}}),
        eventRecord(0x8000, {{8, 17}, {12, 8}, {16, 1}, {28, 2}, {44, 1}, {48, 375}}),
        eventRecord(0x100000, {{12, 0x0400}, {20, 2}}),
        eventRecord(0x10000000, {{8, 2}, {12, 2}, {16, 5}, {20, 0x0300}, {28, 2}, {32, 4096}, {36, 4103}}),
        eventRecord(0x8000000, {{12, 1}, {16, 0x41}, {20, 3}, {24, 0xFFFB}, {28, 1200}, {32, 900}}),
        eventRecord(0x10, {}, "Battery backup unit charging", 8),
        eventRecord(0x20000000, {{8, 3}, {12, 1}, {16, 71}}),
    };
}

// A controller object that is never opened: the scripted exports answer
// every firmware call the events make.
std::unique_ptr<VynAdapter> controller()
{
    _tagFSA_ADAPTER_ENUM_INFO record = {};
    std::wcsncpy(record.adapterName, L"ulb0", 16);
    std::wcsncpy(record.adapterTypeText, L"VYN SIMRAID", 18);
    record.availability = VynAdapter::AVAILABILITY_CANNOT_OPEN;
    return std::unique_ptr<VynAdapter>(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
}

void scriptEvents(vyntest::ScriptedFsaExports& fsa, const std::vector<std::vector<uint8_t>>& mix, size_t count)
{
    fsa.clearCalls();
    for (size_t i = 0; i < count; ++i)
        fsa.script("FsaPollForEvent", 1, mix[i % mix.size()]);
    fsa.script("FsaPollForEvent", kNoEvent);
}

void family_events(benchmark::State& state)
{
    const size_t count = static_cast<size_t>(state.range(0));
    const auto mix = eventMix();
    vyntest::ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaGetBusTargetLunFromDevHandle", 1, vyntest::words({0, 5, 0}));
    std::unique_ptr<VynAdapter> adapter = controller();
    StorEventCollection events(16, 16, 0);
    long parsed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scriptEvents(fsa, mix, count);
        state.ResumeTiming();
        const Ret ret = adapter->getEvents(events);
        if (ret.getReturn() != 0) {
            state.SkipWithError("getEvents failed");
            break;
        }
        parsed = events.LastIndex() + 1;
    }
    if (parsed != static_cast<long>(count))
        state.SkipWithError("not every event was parsed");
    state.counters["text_bytes"] = static_cast<double>(events.getText().Size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(count));
}

// The list text the library returns for the same events.
std::string eventListText(size_t count)
{
    vyntest::ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaGetBusTargetLunFromDevHandle", 1, vyntest::words({0, 5, 0}));
    std::unique_ptr<VynAdapter> adapter = controller();
    scriptEvents(fsa, eventMix(), count);
    std::string xml;
    adapter->getEvents(0, xml);
    return xml;
}

void pugixml_events(benchmark::State& state)
{
    const size_t count = static_cast<size_t>(state.range(0));
    const std::string xml = eventListText(count);
    std::vector<char> buffer(xml.size());
    size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(buffer.data(), xml.data(), xml.size());
        state.ResumeTiming();
        pugi::xml_document doc;
        if (!doc.load_buffer_inplace(buffer.data(), buffer.size(), pugi::parse_default)) {
            state.SkipWithError("pugixml could not parse the list");
            break;
        }
        size_t events = 0;
        unsigned long long sum = 0;
        for (pugi::xml_node event : doc.child("eventlog").children("event")) {
            ++events;
            for (pugi::xml_attribute a : event.attributes()) {
                sum += static_cast<unsigned char>(a.value()[0]);
                sum += a.as_uint();
            }
        }
        benchmark::DoNotOptimize(sum);
        found = events;
    }
    if (found != count)
        state.SkipWithError("pugixml did not find every event");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(count));
}

}  // namespace

BENCHMARK(family_events)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(pugixml_events)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
