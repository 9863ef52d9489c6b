#ifndef VYN_COMMON_LOGICALDRIVESPEC_H
#define VYN_COMMON_LOGICALDRIVESPEC_H

#include <cstdint>
#include <vector>

#include "common/TaskEnums.h"

enum EnumRaidLevel : int {
    RAID_LEVEL_0 = 0,
    RAID_LEVEL_1 = 1,
    RAID_LEVEL_1E = 2,
    RAID_LEVEL_5 = 5,
    RAID_LEVEL_5EE = 7,
    RAID_LEVEL_10 = 9,
    RAID_LEVEL_50 = 11,
    RAID_LEVEL_SPANNED_VOLUME = 13,
    RAID_LEVEL_RAID_VOLUME = 14,
    RAID_LEVEL_SIMPLE_VOLUME = 15,
    RAID_LEVEL_6 = 16,
    RAID_LEVEL_60 = 17,
    RAID_LEVEL_6RS = 18,
    RAID_LEVEL_60RS = 19,
    RAID_LEVEL_NONE = 0x7FFFFFFF
};

// The kinds of extent belong to the controller family; the model only
// carries the code.
enum EnumChunkType : int {};

// Stripe size codes are the model's (RaidModel/Interface/ModelEnums.h).
enum EnumStripeSize : int;

// One extent as callers hand it over in seven 32-bit words: logical drive,
// channel, device, start block, block count, group, type.
struct chunkspec {
    std::uint32_t logicalDriveID;
    std::uint32_t channelID;
    std::uint32_t deviceID;
    std::uint32_t startBlock;
    std::uint32_t numBlocks;
    std::uint32_t groupNum;
    std::uint32_t chunkType;
};
static_assert(sizeof(chunkspec) == 28, "chunkspec is seven 32-bit words");

// One extent of a logical drive to be built, named either by the logical
// drive that provides it or by the channel and device of a hard drive.
class ChunkSpec {
public:
    static constexpr std::uint32_t UNSET_ID = 0x7FFFFFFFu;

    ChunkSpec();
    ChunkSpec(unsigned long channelID, unsigned long deviceID, unsigned long long startBlock,
              unsigned long long numBlocks, unsigned long groupNum, EnumChunkType type);
    explicit ChunkSpec(chunkspec c);

    void reset();

    // Naming the extent one way unsets the other way.
    void setLogicalID(unsigned long id);
    ChunkSpec& setHardDriveID(unsigned long channel, unsigned long device);

    void setChannelID(unsigned long id) { channelID = static_cast<std::uint32_t>(id); }
    void setDeviceID(unsigned long id) { deviceID = static_cast<std::uint32_t>(id); }
    void setStartBlock(unsigned long long block) { startBlock = block; }
    void setNumBlocks(unsigned long long blocks) { numBlocks = blocks; }
    void setGroupNum(unsigned long group) { groupNum = static_cast<std::uint32_t>(group); }
    void setChunkType(EnumChunkType type) { chunkType = type; }

    unsigned long getLogicalDriveID() const { return logicalDriveID; }
    unsigned long getChannelID() const { return channelID; }
    unsigned long getDeviceID() const { return deviceID; }
    unsigned long long getStartBlock() const { return startBlock; }
    unsigned long long getNumBlocks() const { return numBlocks; }
    unsigned long getGroupNum() const { return groupNum; }
    EnumChunkType getChunkType() const { return chunkType; }

private:
    std::uint32_t logicalDriveID;
    std::uint32_t channelID;
    std::uint32_t deviceID;
    std::uint64_t startBlock;
    std::uint64_t numBlocks;
    std::uint32_t groupNum;
    EnumChunkType chunkType;
};

// The request to create or modify a logical drive. The commands fill the
// option words directly; the controller family reads them.
class LogicalDriveSpec {
public:
    static constexpr unsigned NAME_SIZE = 32;

    LogicalDriveSpec();
    LogicalDriveSpec(EnumRaidLevel level, EnumStripeSize stripe, const char* name);

    void reset();
    void reset(EnumRaidLevel level, EnumStripeSize stripe, const char* name);

    void addChunk(const ChunkSpec& chunk);
    void addChunk(unsigned long channelID, unsigned long deviceID, unsigned long long startBlock,
                  unsigned long long numBlocks, unsigned long groupNum, EnumChunkType type);

    // A null name is ""; a longer one keeps its first 31 characters.
    void setName(const char* newName);
    const char* getName() const { return name; }

    char name[NAME_SIZE];
    std::vector<ChunkSpec> chunks;
    EnumRaidLevel raidLevel;
    EnumStripeSize stripeSize;
    int readCache;          // 1 off, 2 on
    int writeCache;         // 1 write-through, 2 write-back, 3 the create command's third choice
    int orvexaReadCache;    // 1 off, 2 on
    int orvexaWriteCache;   // 1 off, 2 on
    int orvexaWritePolicy;  // 0 none, 1 write-back, 2 instant write-back, 3 write-through, 4 both
    int initMethod;         // 0 build, 1 clear, 2 quick, 3 chosen by the command, 4 none
    EnumPriorityLevel priority;
};

#endif
