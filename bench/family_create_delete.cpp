// Creating and deleting a logical drive on a large simulated controller, the
// firmware interface's whole road: the free-space and member checks, the
// next free container number, the creation request, the host's exposure, and
// the unconditional delete with its condition checks and host removal. The
// controller is the one of family_tree.conf (128 drives, four buses) with
// L of its logical drives kept, L = 8, 16 and 24; the three drives of the
// last one are the free space each round builds a mirror on. Items are
// operations (a creation and a deletion per round): the number lookup and
// the free-space check walk the containers and partitions once each, so
// operations per second may fall no faster than the configuration grows.
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/faux_char.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

constexpr uint64_t kSliceStart = 128 * 512;
constexpr uint64_t kMemberBytes = 1024ull * 1024 * 1024;  // 1 GiB on each member

// family_tree.conf with logical drives 0 to kept-1 only; spares dedicated to
// the others become plain drives.
std::string description(int kept)
{
    std::ifstream in(VYN_BENCH_DIR "/family_tree.conf");
    std::ostringstream out;
    std::string line;
    const std::regex ld(R"(^ld(\d+) =)");
    const std::regex dedicated(R"( spare=(\d+)$)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, ld) && std::stoi(m[1]) >= kept)
            continue;
        if (std::regex_search(line, m, dedicated) && std::stoi(m[1]) >= kept)
            line = line.substr(0, static_cast<size_t>(m.position(0)));
        out << line << '\n';
        // Each drive's free space is an entry of the partition table too:
        // room for all of them, so that the limit never decides.
        if (line == "[adapter0]")
            out << "partitions = 1024\n";
    }
    return out.str();
}

void family_create_delete(benchmark::State& state)
{
    const int kept = static_cast<int>(state.range(0));
    const std::string text = description(kept);
    if (text.find("[adapter0]") == std::string::npos) {
        state.SkipWithError("family_tree.conf not found");
        return;
    }
    fsabench::onSimulator(state, text, [&](vyn::hostsim::Simulator&) {
        void* handle = nullptr;
        int aux = 0;
        if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_WRITE, 1, nullptr, nullptr, &handle,
                             &aux) != FSA_STS_SUCCESS) {
            state.SkipWithError("open failed");
            return;
        }
        // Drives 2:29 and 2:30 belong to no kept logical drive.
        FSA_STORAGE_DEVICE_SPACE spaces[2] = {};
        for (int i = 0; i < 2; ++i) {
            spaces[i].device.busNumber = 2;
            spaces[i].device.targetId = static_cast<uint8_t>(29 + i);
            spaces[i].start = kSliceStart;
            spaces[i].length = kMemberBytes;
        }
        int64_t operations = 0;
        for (auto _ : state) {
            tag_FSA_CONTAINER made = {};
            const FSA_STATUS created =
                FsaCreateLogicalDrive(handle, &made, 2, "Bench", 0, 2, spaces, 0, nullptr, 0, 0, 0);
            if (created != FSA_STS_SUCCESS) {
                state.SkipWithError(("creation answered " + std::to_string(created)).c_str());
                break;
            }
            const FSA_STATUS deleted = FsaContainer(handle, &made, 13, nullptr);
            if (deleted != FSA_STS_SUCCESS) {
                state.SkipWithError(("deletion answered " + std::to_string(deleted)).c_str());
                break;
            }
            operations += 2;
        }
        state.counters["logical_drives"] = kept;
        state.SetItemsProcessed(operations);
        FsaCloseAdapter(handle);
    });
}

}  // namespace

BENCHMARK(family_create_delete)->Arg(8)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
