#ifndef VYN_BENCH_XML_TREE_H
#define VYN_BENCH_XML_TREE_H

#include <memory>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/System.h"

namespace vynbench {

// A root that discovers nothing: the benchmark builds or reads its tree.
class BenchSystem : public System {
public:
    BenchSystem() : System(STORLIB_TYPE_VYN) {}
    using System::buildChildren;
    void buildChildren(StorLib*, Ret&) override {}
    int getControllerCount(StorLib*, Ret&) override { return static_cast<int>(getNumAdapters()); }
};

// The whole tree goes with its root.
struct BenchTree {
    std::unique_ptr<BenchSystem> root;
};

constexpr unsigned long kControllers = 4;
constexpr unsigned long kChannelsPerController = 4;
constexpr unsigned long kDrivesPerChannel = 16;
constexpr unsigned long kLogicalsPerController = 16;
constexpr unsigned long long kDriveSectors = 1953525168ULL;
constexpr unsigned long long kChunkSectors = 976762584ULL;

// Hard drives in a tree of `drivesPerChannel` drives on each channel.
constexpr unsigned long benchDriveCount(unsigned long drivesPerChannel)
{
    return kControllers * kChannelsPerController * drivesPerChannel;
}

inline HardDrive* newBenchDrive(Adapter* adapter, Channel* channel, unsigned long id)
{
    static char vendor[] = "VENDOR";
    static char model[] = "Model 2TB <rev 1.0> & co";
    static char serial[] = "WD-WCC4E0123456";
    static char firmware[] = "80.00A80";
    return new HardDrive(adapter, channel, id, kDriveSectors, PD_READY, vendor, model, serial, firmware, false,
                         static_cast<EnumHardDriveCacheMode>(4), true, true, false, nullptr, true);
}

// A system as discovery makes it: 4 controllers, each with 4 SAS channels of
// 16 hard drives (256 drives in all) and 16 RAID 5 drives over 4 of its
// drives each (64 logical drives), every member extent a chunk under the
// logical drive and its twin under the hard drive. Other drive counts keep
// the 16 logical drives per controller, so chunks grow with the drives.
inline void buildBenchTree(BenchTree& tree, unsigned long drivesPerChannel = kDrivesPerChannel)
{
    tree.root.reset(new BenchSystem);
    for (unsigned long c = 0; c < kControllers; ++c) {
        Adapter* adapter = new Adapter;
        adapter->setAdapterType(ADAPTER_TYPE_VYN);
        adapter->setAdapterID(c);
        tree.root->addChild(adapter);
        for (unsigned long ch = 0; ch < kChannelsPerController; ++ch) {
            Channel* channel = new SASChannel(adapter, ch, SPEED_UNSET);
            adapter->addChild(channel);
            for (unsigned long d = 0; d < drivesPerChannel; ++d) {
                channel->addChild(newBenchDrive(adapter, channel, ch * drivesPerChannel + d));
            }
        }
        const unsigned long membersPerLogical = adapter->getNumHardDrives() / kLogicalsPerController;
        for (unsigned long l = 0; l < kLogicalsPerController; ++l) {
            BasicLogicalDrive* ld =
                new BasicLogicalDrive(adapter, nullptr, l, LD_OPTIMAL, RAID_LEVEL_5, kChunkSectors * 3, kChunkSectors,
                                      false, static_cast<EnumLogicalDriveCacheMode>(1), false, false);
            ld->setName("bench volume");
            adapter->addChild(ld);
            for (unsigned long m = 0; m < membersPerLogical; ++m) {
                HardDrive* drive = adapter->getHardDrive(l * membersPerLogical + m);
                const EnumChunkType type = static_cast<EnumChunkType>(1);
                ld->addChild(new Chunk(drive, ld, 0, kChunkSectors, type, 0, CHUNK_STATE_NORMAL, m,
                                       membersPerLogical));
                drive->addChild(new Chunk(drive, ld, 0, kChunkSectors, type, 0, CHUNK_STATE_NORMAL, m,
                                          membersPerLogical));
            }
        }
    }
}

} // namespace vynbench

#endif
