#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHUNK_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHUNK_H

#include <cstdint>

#include "RaidModel/Interface/Chunk.h"

struct FSA_PARTITION_INFO;

// One member extent of a logical drive of the family on a hard drive, with
// what the firmware reports about the partition behind it.
class VynChunk : public Chunk {
public:
    static constexpr unsigned PARTITION_INFO_SIZE = 112;

    // A null partition record leaves the copy zero. The partition's type
    // decides the chunk state where it marks the extent failed or rebuilding;
    // other types keep `chunkState`.
    VynChunk(const FSA_PARTITION_INFO* partition, RaidObject* provider, LogicalDrive* consumer,
             unsigned long long startSector, unsigned long long numSectors, EnumChunkType chunkType,
             unsigned long group, EnumChunkState chunkState, unsigned long groupPosition, unsigned long groupSize);
    ~VynChunk() override;
    VynChunk(const VynChunk&) = delete;
    VynChunk& operator=(const VynChunk&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;

    const uint8_t* getPartitionInfo() const { return partitionInfo; }

    // The chunk state a partition type gives: failed for the dead kinds,
    // rebuilding for a rebuild target, else `given`.
    static EnumChunkState stateOf(uint32_t partitionType, EnumChunkState given);

private:
    uint32_t word(unsigned offset) const;

    uint8_t partitionInfo[PARTITION_INFO_SIZE] = {};
};

#endif
