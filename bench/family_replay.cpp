// The checks a configuration replay runs before it changes anything, in
// process over the simulator: the slot mapping (saved drives and the chunks
// of saved logical drives take the addresses of the live drives in the same
// enclosure slots) and the safety check (every saved logical drive fits on
// the live drives it names). The saved configuration has N drives, spread
// over buses of up to 26 with an SES-2 enclosure each, and N/4 RAID 5 logical
// drives of four members; the live controller has the same drives and no
// logical drives (N = 64, 128, 256). Items are saved drives and logical
// drives checked. Every saved drive and chunk finds its live drive by one
// look-up, so items per second must stay level as N doubles.
#include "RaidModel/Implementation/Vyn/VynLib.h"
#include "RaidModel/Implementation/Vyn/VynReplay.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Ret.h"
#include "common/SimpleXmlParser.h"
#include "fsa_channel.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Up to 26 drives to a bus, each bus with its enclosure of 26 slots: the
// simulated controller puts drives in slots of at most ten enclosures and
// slot numbers below 31.
constexpr unsigned kPerBus = 26;

std::string description(unsigned drives)
{
    const unsigned perBus = kPerBus;
    const unsigned buses = (drives + kPerBus - 1) / kPerBus;
    std::string text = "adapters = 1\nhostsim.persist = 0\n[adapter0]\n";
    for (unsigned b = 0; b < buses; ++b)
        text += "bus" + std::to_string(b) + " = sas " + std::to_string(perBus + 1) + "\n";
    for (unsigned i = 0; i < drives; ++i) {
        const std::string at = std::to_string(i / perBus) + ":" + std::to_string(i % perBus);
        text += "drive" + std::to_string(i) + " = " + at + " sas 146G slot=" + at + "\n";
    }
    for (unsigned b = 0; b < buses; ++b)
        text += "encl" + std::to_string(b) + " = ses2 " + std::to_string(b) + ":" + std::to_string(perBus) +
                " slots=" + std::to_string(perBus) + "\n";
    return text;
}

// The saved form of the live drives, under other addresses, with a RAID 5
// of 10 GiB on every four of them and the extra leading entry a saved
// controller carries.
std::string savedXml(const Adapter& live)
{
    const std::vector<HardDrive*> drives = live.getAllHardDrives();
    std::ostringstream out;
    auto chunk = [&out](unsigned device, const HardDrive* drive) {
        out << "<Chunk typeName=\"Chunk\" storlibType=\"9\" controllerID=\"0\" channelID=\"0\" deviceID=\"" << device
            << "\" chunkID=\"0\" startSector=\"0\" numSectors=\"128\" chunkType=\"0\" enclosureID=\""
            << drive->getEnclosureID() << "\" slotID=\"" << drive->getSlotID() << "\"/>";
    };
    out << "<System><Controller typeName=\"Adapter\" storlibType=\"9\" controllerID=\"0\">"
        << "<Channel typeName=\"SASChannel\" storlibType=\"9\" controllerID=\"0\" channelID=\"0\">";
    for (unsigned i = 0; i <= drives.size(); ++i) {
        const HardDrive* drive = drives[i == 0 ? 0 : i - 1];
        const unsigned device = 1000 + i;
        out << "<HardDrive typeName=\"HardDrive\" storlibType=\"9\" controllerID=\"0\" channelID=\"0\" deviceID=\""
            << device << "\" size=\"" << drive->getSize() << "\" maxUsableBlocks=\"" << drive->getMaxUsableBlocks()
            << "\" enclosureID=\"" << drive->getEnclosureID() << "\" slotID=\"" << drive->getSlotID() << "\">";
        chunk(device, drive);
        out << "</HardDrive>";
    }
    out << "</Channel>";
    for (unsigned k = 0; k < drives.size() / 4; ++k) {
        out << "<LogicalDrive typeName=\"BasicLogicalDrive\" storlibType=\"9\" controllerID=\"0\" logicalDriveID=\""
            << k << "\" raidLevel=\"5\" size=\"10\" sizeUnit=\"GB\" stripeSize=\"256\" name=\"Data" << k << "\">";
        for (unsigned m = 0; m < 4; ++m)
            chunk(1000 + 1 + 4 * k + m, drives[4 * k + m]);
        out << "</LogicalDrive>";
    }
    out << "</Controller></System>";
    return out.str();
}

void family_replay(benchmark::State& state)
{
    const unsigned drives = static_cast<unsigned>(state.range(0));
    fsabench::onSimulator(state, description(drives), [&](vyn::hostsim::Simulator&) {
        const std::string root = std::getenv("VYN_HOST_ROOT");
        std::filesystem::create_directories(root + "/var/log");
        VynLib lib;
        if (lib.getSystemConfig().getReturn() != 0 || lib.getSystem() == nullptr ||
            lib.getSystem()->getAdapter(0) == nullptr) {
            state.SkipWithError("no live controller");
            return;
        }
        auto* live = static_cast<VynSystem*>(lib.getSystem());
        const Adapter& adapter = *live->getAdapter(0);
        if (adapter.getNumHardDrives() != drives || adapter.getHardDrive(0)->getSlotID() == 0x7FFFFFFF) {
            state.SkipWithError("the live drives are not in enclosure slots");
            return;
        }
        std::string text = savedXml(adapter);
        VynSystem saved;
        SimpleXmlParser parser(&text[0], static_cast<unsigned long>(text.size()));
        static_cast<System&>(saved).buildChildren(parser);
        const unsigned long logicals = saved.getAdapter(0)->getNumLogicalDrives();

        FILE* log = std::fopen((root + "/var/log/replay.log").c_str(), "a");
        live->replayState().log = log;
        vynreplay::force = 0;
        for (auto _ : state) {
            const bool mapped = live->assignDeviceIDfromSlotID(saved, *live);
            const bool safe = live->isSafeConfig(saved, *live);
            if (!mapped || !safe) {
                state.SkipWithError(mapped ? "the safety check failed" : "a slot was not found");
                break;
            }
        }
        live->replayState().log = nullptr;
        std::fclose(log);
        saved.deleteAllChildren();
        state.counters["drives"] = drives;
        state.counters["logical_drives"] = static_cast<double>(logicals);
        state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * (drives + logicals));
    });
}

}  // namespace

BENCHMARK(family_replay)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
