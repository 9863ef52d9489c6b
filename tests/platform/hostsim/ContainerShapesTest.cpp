// The shapes of the containers a description lists: the extent each member
// gets from the container's size and stripe, and where the next container
// on the same drives begins.
#include "platform/hostsim/fw/Configuration.h"
#include "support/SimulatorTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

class ContainerShapesTest : public vyntest::SimulatorTest {};

// Drive members of a top-level container, through its legs.
std::vector<LogDevView::Member> driveMembers(const ConfigView& v, const LogDevView& top)
{
    std::vector<LogDevView::Member> out;
    for (const LogDevView::Member& m : top.members)
        if (m.phy != 0xFFFFFFFFu)
            out.push_back(m);
    for (const LogDevView& leg : v.logDevs)
        if (leg.parent == top.handle)
            out.insert(out.end(), leg.members.begin(), leg.members.end());
    return out;
}

const LogDevView* topNumbered(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.number == number && l.parent == 0xFFFFFFFFu)
            return &l;
    return nullptr;
}

// 146G drives: 306184192 blocks, 306182016 usable (whole 64 KB).
TEST_F(ContainerShapesTest, EveryMemberOfEveryLegGetsTheExtentOfTheSizeInWholeStripes)
{
    struct Row {
        const char* line;
        uint64_t blocks;  // the container's
        uint64_t extent;  // each member's
    };
    const Row rows[] = {
        {"raid10 0:0,0:1,0:2,0:3 size=1000M", 2048000, 1024000},
        {"raid1e 0:0,0:1,0:2 size=1000M", 2048256, 1365504},
        {"raid50 0:0,0:1,0:2,0:3,0:4,0:5 legs=2 size=1000M", 2048000, 512000},
        {"raid60 0:0,0:1,0:2,0:3,0:4,0:5,0:6,0:7 legs=2 size=1000M", 2048000, 512000},
        {"raid5 0:0,0:1,0:2 stripe=64K size=100M", 204800, 102400},
        {"raid0 0:0,0:1 stripe=1M size=1M", 4096, 2048},
        // The whole drives, cut to whole stripes (256 KB unless given).
        {"raid5 0:0,0:1,0:2", 612363264, 306181632},
        {"raid10 0:0,0:1,0:2,0:3 stripe=1M", 612360192, 306180096},
        // No stripe to keep whole: 64 KB.
        {"raid1 0:0,0:1", 306182016, 306182016},
        {"volume 0:0", 306182016, 306182016},
    };
    const std::string drives = vyntest::readFile(fixturePath("eight-drives.conf"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        startSimulator(drives + "ld1 = " + row.line + "\nld9 = volume 0:0\n");
        ASSERT_TRUE(sim().ok()) << sim().message();
        const ConfigView v = configurationOf(sim().controller(0));
        const LogDevView* top = topNumbered(v, 1);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->blocks, row.blocks);
        for (const LogDevView::Member& m : driveMembers(v, *top)) {
            EXPECT_EQ(m.start, 128u);
            EXPECT_EQ(m.blocks, row.extent);
        }
        // What follows on the first drive begins right behind it.
        const LogDevView* next = topNumbered(v, 9);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(next->members.size(), 1u);
        EXPECT_EQ(next->members[0].start, 128 + row.extent);
    }
}

// The built-in "Data" lies in whole stripes of its 256 KB, so that a change
// of its stripe alone finds whole stripes of the new size too.
TEST_F(ContainerShapesTest, TheBuiltInDataLiesInWholeStripes)
{
    startSimulator("base = default\nhostsim.persist = 0\n");
    const ConfigView v = configurationOf(sim().controller(0));
    const LogDevView* data = topNumbered(v, 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->name, "Data");
    EXPECT_EQ(data->stripeBlocks, 512u);
    ASSERT_EQ(data->members.size(), 3u);
    for (const LogDevView::Member& m : data->members) {
        EXPECT_EQ(m.blocks % 512, 0u);
        EXPECT_EQ(m.blocks, 306181632u);
    }
    EXPECT_EQ(data->blocks, 2 * 306181632u);
}

}  // namespace
