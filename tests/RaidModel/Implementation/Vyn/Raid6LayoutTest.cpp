#include "RaidModel/Implementation/Vyn/Raid6Layout.h"

#include <gtest/gtest.h>

namespace {

TEST(Raid6LayoutTest, RowsOfBothLayouts)
{
    const struct {
        unsigned drives;
        EnumRaidLevel level;
        bool found;
        unsigned long parity, data;
    } cases[] = {
        {8, RAID_LEVEL_6, true, 8, 24},      {4, RAID_LEVEL_6, true, 4, 4},
        {16, RAID_LEVEL_6, true, 16, 112},   {17, RAID_LEVEL_6, false, 0, 0},
        {32, RAID_LEVEL_6, false, 0, 0},     {3, RAID_LEVEL_6, false, 0, 0},
        {17, RAID_LEVEL_6RS, true, 2, 15},   {4, RAID_LEVEL_6RS, true, 2, 2},
        {32, RAID_LEVEL_6RS, true, 2, 30},   {33, RAID_LEVEL_6RS, false, 0, 0},
        {8, RAID_LEVEL_5, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.drives) + " drives, level " + std::to_string(c.level));
        unsigned long params[3] = {7, 7, 7};
        EXPECT_EQ(get_raid6_params(params, c.drives, c.level), c.found);
        if (c.found) {
            EXPECT_EQ(params[0], c.drives);
            EXPECT_EQ(params[1], c.parity);
            EXPECT_EQ(params[2], c.data);
        } else {
            EXPECT_EQ(params[0], 7u);
        }
    }
}

TEST(Raid6LayoutTest, FullStripeLimitAndSegmentSize)
{
    EXPECT_EQ(check_raid6_limits(8, 256, RAID_LEVEL_6), 0);
    EXPECT_EQ(check_raid6_limits(8, 512, RAID_LEVEL_6), 5);
    EXPECT_EQ(check_raid6_limits(16, 64, RAID_LEVEL_6), 0);
    EXPECT_EQ(check_raid6_limits(16, 128, RAID_LEVEL_6), 5);
    // More than 16 drives have no XOR layout: refused, never sized by a
    // zero data count.
    EXPECT_EQ(check_raid6_limits(17, 16, RAID_LEVEL_6), 1);
    EXPECT_EQ(check_raid6_limits(33, 16, RAID_LEVEL_6RS), 1);

    unsigned long long segment = 99;
    EXPECT_EQ(set_raid6_chunksize(800, segment, 10, RAID_LEVEL_6RS), 0);
    EXPECT_EQ(segment, 100u);
    EXPECT_EQ(set_raid6_chunksize(204800, segment, 8, RAID_LEVEL_6), 0);
    EXPECT_EQ(segment, 204800u / 24 * 32 / 8);
    segment = 99;
    EXPECT_EQ(set_raid6_chunksize(204800, segment, 17, RAID_LEVEL_6), 1);
    EXPECT_EQ(segment, 99u);
}

TEST(Raid6LayoutTest, LargestStripeAndMinimumDrives)
{
    EXPECT_EQ(getMaxRaid6StripeSize(8, 24), 256);
    EXPECT_EQ(getMaxRaid6StripeSize(5, 5), 512);
    EXPECT_EQ(getMaxRaid6StripeSize(4, 4), 1);  // every stripe fits: the check never asks
    EXPECT_EQ(getMaxRaid6StripeSize(16, 112), 64);
    EXPECT_EQ(getMaxRaid6StripeSize(2, 30), 256);
    EXPECT_EQ(getMaxRaid6StripeSize(0, 0), 1);
    EXPECT_EQ(getMaxRaid6StripeSize(100, 100), 1);
    const struct {
        int level;
        unsigned count;
    } minimums[] = {{0, 2}, {1, 2}, {2, 3}, {5, 3}, {7, 4}, {9, 4}, {10, 6}, {11, 6}, {13, 2},
                    {14, 2}, {15, 1}, {16, 4}, {17, 8}, {18, 4}, {19, 8}};
    for (const auto& m : minimums)
        EXPECT_EQ(getMinimumDriveCount(static_cast<EnumRaidLevel>(m.level)), m.count) << m.level;
}

}  // namespace
