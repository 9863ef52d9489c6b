#include "common/LogicalDriveSpec.h"

#include <cstring>

namespace {

constexpr EnumStripeSize kDefaultStripe = static_cast<EnumStripeSize>(1);

}  // namespace

ChunkSpec::ChunkSpec()
{
    reset();
}

ChunkSpec::ChunkSpec(unsigned long channel, unsigned long device, unsigned long long start,
                     unsigned long long blocks, unsigned long group, EnumChunkType type)
    : logicalDriveID(UNSET_ID),
      channelID(static_cast<std::uint32_t>(channel)),
      deviceID(static_cast<std::uint32_t>(device)),
      startBlock(start),
      numBlocks(blocks),
      groupNum(static_cast<std::uint32_t>(group)),
      chunkType(type)
{
}

ChunkSpec::ChunkSpec(chunkspec c)
    : logicalDriveID(c.logicalDriveID),
      channelID(c.channelID),
      deviceID(c.deviceID),
      startBlock(c.startBlock),
      numBlocks(c.numBlocks),
      groupNum(c.groupNum),
      chunkType(static_cast<EnumChunkType>(c.chunkType))
{
}

void ChunkSpec::reset()
{
    logicalDriveID = UNSET_ID;
    channelID = UNSET_ID;
    deviceID = UNSET_ID;
    startBlock = 0;
    numBlocks = 0;
    groupNum = 0;
    chunkType = static_cast<EnumChunkType>(0);
}

void ChunkSpec::setLogicalID(unsigned long id)
{
    logicalDriveID = static_cast<std::uint32_t>(id);
    if (logicalDriveID != UNSET_ID) {
        channelID = UNSET_ID;
        deviceID = UNSET_ID;
    }
}

ChunkSpec& ChunkSpec::setHardDriveID(unsigned long channel, unsigned long device)
{
    channelID = static_cast<std::uint32_t>(channel);
    deviceID = static_cast<std::uint32_t>(device);
    if (channelID != UNSET_ID && deviceID != UNSET_ID) {
        logicalDriveID = UNSET_ID;
    }
    return *this;
}

LogicalDriveSpec::LogicalDriveSpec()
{
    reset();
}

LogicalDriveSpec::LogicalDriveSpec(EnumRaidLevel level, EnumStripeSize stripe, const char* newName)
{
    reset(level, stripe, newName);
}

void LogicalDriveSpec::reset()
{
    reset(RAID_LEVEL_NONE, kDefaultStripe, "");
}

void LogicalDriveSpec::reset(EnumRaidLevel level, EnumStripeSize stripe, const char* newName)
{
    chunks.clear();
    raidLevel = level;
    stripeSize = stripe;
    setName(newName);
    readCache = 2;
    writeCache = 2;
    orvexaReadCache = 2;
    orvexaWriteCache = 2;
    orvexaWritePolicy = 0;
    initMethod = 0;
    priority = PRIORITY_HIGH;
}

void LogicalDriveSpec::addChunk(const ChunkSpec& chunk)
{
    chunks.push_back(chunk);
}

void LogicalDriveSpec::addChunk(unsigned long channelID, unsigned long deviceID,
                                unsigned long long startBlock, unsigned long long numBlocks,
                                unsigned long groupNum, EnumChunkType type)
{
    chunks.emplace_back(channelID, deviceID, startBlock, numBlocks, groupNum, type);
}

void LogicalDriveSpec::setName(const char* newName)
{
    std::memset(name, 0, sizeof(name));
    if (newName != nullptr) {
        std::strncpy(name, newName, sizeof(name) - 1);
    }
}
