// What the controller-family benchmarks share: the first controller the
// simulator lists, as a built tree.
#ifndef VYN_BENCH_FAMILY_CONTROLLER_H
#define VYN_BENCH_FAMILY_CONTROLLER_H

#include "Command/Vyn/common/fa_enum.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/Ret.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace familybench {

inline FSA_STATUS keepListed(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO* info, void* context)
{
    auto* records = static_cast<std::vector<_tagFSA_ADAPTER_ENUM_INFO>*>(context);
    if (status == FSA_STS_SUCCESS && info != nullptr)
        records->push_back(*info);
    return FSA_STS_SUCCESS;
}

// The records of the controllers the simulator lists, in order.
inline std::vector<_tagFSA_ADAPTER_ENUM_INFO> listedControllers()
{
    std::vector<_tagFSA_ADAPTER_ENUM_INFO> records;
    FsaEnumAdaptersA(nullptr, "", &records, keepListed);
    return records;
}

// Runs `body(adapter)` over the built tree of the first controller of
// `description`, after `prepare(sim)` has set what the description does not
// say; the run is skipped when the tree does not hold `drives` hard drives,
// so that a figure never stands for a smaller controller.
template <typename Prepare, typename Body>
void onBuiltController(benchmark::State& state, const std::string& description, unsigned drives, Prepare prepare,
                       Body body)
{
    fsabench::onSimulator(state, description, [&](vyn::hostsim::Simulator& sim) {
        prepare(sim);
        const std::vector<_tagFSA_ADAPTER_ENUM_INFO> records = listedControllers();
        if (records.empty()) {
            state.SkipWithError("no controller listed");
            return;
        }
        Ret ret(0);
        VynAdapter* adapter = new VynAdapter(&records.front(), nullptr, 0, nullptr, &ret);
        adapter->buildChildren(ret);
        if (adapter->getNumHardDrives() != drives)
            state.SkipWithError(("the tree holds " + std::to_string(adapter->getNumHardDrives()) + " drives").c_str());
        else
            body(*adapter);
        adapter->deleteAllChildren();
        delete adapter;
    });
}

template <typename Body>
void onBuiltController(benchmark::State& state, const std::string& description, unsigned drives, Body body)
{
    onBuiltController(state, description, drives, [](vyn::hostsim::Simulator&) {}, body);
}

}  // namespace familybench

#endif
