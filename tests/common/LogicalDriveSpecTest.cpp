#include "common/LogicalDriveSpec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned long kUnset = 0x7FFFFFFF;

}  // namespace

TEST(ChunkSpec, ResetLeavesEveryIdUnset)
{
    ChunkSpec chunk;
    EXPECT_EQ(chunk.getLogicalDriveID(), kUnset);
    EXPECT_EQ(chunk.getChannelID(), kUnset);
    EXPECT_EQ(chunk.getDeviceID(), kUnset);
    EXPECT_EQ(chunk.getStartBlock(), 0u);
    EXPECT_EQ(chunk.getNumBlocks(), 0u);
    EXPECT_EQ(chunk.getGroupNum(), 0u);
}

TEST(ChunkSpec, NamingByLogicalDriveOrByDriveUnsetsTheOtherName)
{
    ChunkSpec chunk(0, 2, 100, 200, 1, static_cast<EnumChunkType>(3));
    EXPECT_EQ(chunk.getLogicalDriveID(), kUnset);
    chunk.setLogicalID(kUnset);
    EXPECT_EQ(chunk.getChannelID(), 0u);
    EXPECT_EQ(chunk.getDeviceID(), 2u);
    chunk.setLogicalID(3);
    EXPECT_EQ(chunk.getLogicalDriveID(), 3u);
    EXPECT_EQ(chunk.getChannelID(), kUnset);
    EXPECT_EQ(chunk.getDeviceID(), kUnset);

    chunk.setHardDriveID(0, kUnset);
    EXPECT_EQ(chunk.getLogicalDriveID(), 3u);
    EXPECT_EQ(&chunk.setHardDriveID(1, 4), &chunk);
    EXPECT_EQ(chunk.getLogicalDriveID(), kUnset);
    EXPECT_EQ(chunk.getChannelID(), 1u);
}

TEST(ChunkSpec, FromTheSevenWordRecord)
{
    chunkspec words = {5, 1, 2, 0xFFFFFFFFu, 8, 3, 4};
    ChunkSpec chunk(words);
    EXPECT_EQ(chunk.getLogicalDriveID(), 5u);
    EXPECT_EQ(chunk.getStartBlock(), 0xFFFFFFFFull);
    EXPECT_EQ(chunk.getNumBlocks(), 8u);
    EXPECT_EQ(chunk.getGroupNum(), 3u);
    EXPECT_EQ(chunk.getChunkType(), 4);
}

TEST(LogicalDriveSpec, DefaultsAndReset)
{
    LogicalDriveSpec spec;
    EXPECT_EQ(spec.raidLevel, RAID_LEVEL_NONE);
    EXPECT_EQ(spec.stripeSize, 1);
    EXPECT_STREQ(spec.getName(), "");
    EXPECT_EQ(spec.readCache, 2);
    EXPECT_EQ(spec.writeCache, 2);
    EXPECT_EQ(spec.orvexaReadCache, 2);
    EXPECT_EQ(spec.orvexaWriteCache, 2);
    EXPECT_EQ(spec.orvexaWritePolicy, 0);
    EXPECT_EQ(spec.initMethod, 0);
    EXPECT_EQ(spec.priority, PRIORITY_HIGH);
    EXPECT_TRUE(spec.chunks.empty());

    spec.addChunk(0, 1, 0, 1000, 0, static_cast<EnumChunkType>(1));
    spec.addChunk(ChunkSpec(0, 2, 0, 1000, 0, static_cast<EnumChunkType>(1)));
    spec.writeCache = 1;
    spec.reset(RAID_LEVEL_5, static_cast<EnumStripeSize>(256), "data");
    EXPECT_TRUE(spec.chunks.empty());
    EXPECT_EQ(spec.raidLevel, RAID_LEVEL_5);
    EXPECT_EQ(spec.stripeSize, 256);
    EXPECT_STREQ(spec.getName(), "data");
    EXPECT_EQ(spec.writeCache, 2);
}

TEST(LogicalDriveSpec, NameKeepsAtMost31Characters)
{
    const std::string name40(40, 'n');
    LogicalDriveSpec spec(RAID_LEVEL_1, static_cast<EnumStripeSize>(1), name40.c_str());
    EXPECT_EQ(std::string(spec.getName()), name40.substr(0, 31));
    spec.setName(nullptr);
    EXPECT_STREQ(spec.getName(), "");
    spec.addChunk(1, 2, 3, 4, 5, static_cast<EnumChunkType>(0));
    ASSERT_EQ(spec.chunks.size(), 1u);
    EXPECT_EQ(spec.chunks[0].getDeviceID(), 2u);
    EXPECT_EQ(spec.chunks[0].getLogicalDriveID(), kUnset);
}
