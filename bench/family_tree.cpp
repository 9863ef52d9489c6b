// The controller's tree build, in-process against the simulator: VynAdapter
// construction (open, general information, limits) and buildChildren over
// the large controller of family_tree.conf (128 drives on four buses, 32
// logical drives, global and dedicated spares). Items are the hard drives
// and logical drives the tree holds after the build, so the figure follows
// the tree as its phases grow; the counters say what was built. The loops
// over containers, drives and spares must stay linear: items per second of
// this controller should match those of smaller ones.
#include "family_controller.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readDescription()
{
    std::ifstream in(VYN_BENCH_DIR "/family_tree.conf");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t countOf(const RaidObject& node, const char* className)
{
    std::vector<RaidObject*> found;
    node.getChildren(found, className, true, true);
    return found.size();
}

void family_tree(benchmark::State& state)
{
    const std::string description = readDescription();
    if (description.empty()) {
        state.SkipWithError("family_tree.conf not found");
        return;
    }
    fsabench::onSimulator(state, description, [&](vyn::hostsim::Simulator&) {
        const std::vector<_tagFSA_ADAPTER_ENUM_INFO> records = familybench::listedControllers();
        if (records.empty()) {
            state.SkipWithError("no controller listed");
            return;
        }
        size_t drives = 0;
        size_t logicalDrives = 0;
        size_t items = 0;
        for (auto _ : state) {
            Ret ret(0);
            VynAdapter* adapter = new VynAdapter(&records.front(), nullptr, 0, nullptr, &ret);
            adapter->buildChildren(ret);
            drives = countOf(*adapter, "HardDrive");
            logicalDrives = countOf(*adapter, "LogicalDrive");
            items += drives + logicalDrives;
            adapter->deleteAllChildren();
            delete adapter;
        }
        if (drives < 128)
            state.SkipWithError(("the tree holds " + std::to_string(drives) + " hard drives").c_str());
        state.counters["hard_drives"] = static_cast<double>(drives);
        state.counters["logical_drives"] = static_cast<double>(logicalDrives);
        state.SetItemsProcessed(static_cast<int64_t>(items));
    });
}

}  // namespace

BENCHMARK(family_tree)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
