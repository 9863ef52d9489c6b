// Controller discovery of the family: VynSystem::buildChildren over one
// simulated controller with 64 exposed containers, each disk holding a
// partition table, under a host root whose "/etc/mtab" has 10,000 lines.
// Discovery opens the controller and builds its tree; each container's record
// brings one 17408-byte probe of its disk and one pass over the mount table.
// Items are containers. The cost per container must not grow with their
// number: compare items per second at 16, 32 and 64 containers.
//
// The controller reports no partition bits of its own (option word 2 without
// 0x400), so the probes are the host's. The firmware interface names disks
// sda to sdz only, so at most 25 containers get a device to probe.
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "common/Ret.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kBuses = 4;
constexpr unsigned kMtabLines = 10000;

std::string description(unsigned containers)
{
    const unsigned perBus = (containers + kBuses - 1) / kBuses;
    std::string text = "adapters = 1\nhostsim.persist = 0\n[adapter0]\n"
                       "max_containers = 64\naccessible_containers = 64\noption_word2 = 0x0EB793DC\n";
    for (unsigned b = 0; b < kBuses; ++b)
        text += "bus" + std::to_string(b) + " = sas " + std::to_string(perBus) + "\n";
    for (unsigned k = 0; k < containers; ++k) {
        const std::string at = std::to_string(k / perBus) + ":" + std::to_string(k % perBus);
        text += "drive" + std::to_string(k) + " = " + at + " sas 1G\n";
        text += "ld" + std::to_string(k) + " = volume " + at + " size=1M image=disk.img\n";
    }
    return text;
}

// The host's mount table: other devices first, the containers' disks last,
// so that every search reads the whole file.
void writeHostFiles(const std::string& root)
{
    std::filesystem::create_directories(root + "/etc");
    std::ofstream mtab(root + "/etc/mtab");
    char line[96];
    for (unsigned i = 0; i + 25 < kMtabLines; ++i) {
        std::snprintf(line, sizeof line, "/dev/mapper/vg0-lv%05u /srv/volume%05u ext4 rw,relatime 0 0\n", i, i);
        mtab << line;
    }
    for (char letter = 'b'; letter <= 'z'; ++letter) {
        std::snprintf(line, sizeof line, "/dev/sd%c1 /data/sd%c xfs rw,relatime 0 0\n", letter, letter);
        mtab << line;
    }
    // An MBR with one Linux partition.
    std::string disk(17408, '\0');
    disk[450] = static_cast<char>(0x83);
    disk[510] = static_cast<char>(0x55);
    disk[511] = static_cast<char>(0xAA);
    std::ofstream(root + "/disk.img", std::ios::binary) << disk;
}

void family_discovery(benchmark::State& state)
{
    const unsigned containers = static_cast<unsigned>(state.range(0));
    fsabench::onHostRoot(state, [&] {
        writeHostFiles(std::getenv("VYN_HOST_ROOT"));
        vyn::hostsim::Simulator sim(description(containers));
        sim.setSleepScale(0);
        sim.install();
        size_t adapters = 0;
        size_t logicalDrives = 0;
        for (auto _ : state) {
            VynSystem system;
            Ret ret(0);
            system.buildChildren(nullptr, ret);
            adapters = system.getNumAdapters();
            std::vector<RaidObject*> found;
            system.getChildren(found, "LogicalDrive", true, true);
            logicalDrives = found.size();
        }
        if (adapters != 1)
            state.SkipWithError("the controller was not found");
        state.counters["logical_drives"] = static_cast<double>(logicalDrives);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * containers);
    });
}

}  // namespace

BENCHMARK(family_discovery)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
