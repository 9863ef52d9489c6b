#ifndef VYN_RAIDMODEL_INTERFACE_CHUNK_H
#define VYN_RAIDMODEL_INTERFACE_CHUNK_H

#include <cstdint>

#include "RaidModel/Interface/DriveEnums.h"
#include "RaidModel/Interface/RaidObject.h"
#include "common/LogicalDriveSpec.h"

class HardDrive;
class LogicalDrive;
class Writer;

// One extent that a logical drive uses: a run of sectors on a provider (a
// hard drive, or for spanned and multi-level drives another logical drive).
// Its address names the provider and carries the start sector as chunk id.
// The links are plain pointers into the tree; a chunk owns nothing.
class Chunk : public RaidObject {
public:
    static constexpr std::uint32_t UNSET = 0x7FFFFFFF;

    Chunk();
    Chunk(RaidObject* provider, LogicalDrive* consumer, unsigned long long startSector,
          unsigned long long numSectors, EnumChunkType chunkType, unsigned long group,
          EnumChunkState chunkState, unsigned long groupPosition, unsigned long groupSize);
    // Without links: the free extents of a drive are made this way.
    Chunk(unsigned long channelID, unsigned long deviceID, unsigned long long startSector,
          unsigned long long numSectors, unsigned long reserved, unsigned long group,
          EnumChunkType chunkType, EnumChunkState chunkState, unsigned long groupPosition,
          unsigned long groupSize);
    Chunk(RaidObject* provider, LogicalDrive* consumer, SimpleXmlParser& parser);
    Chunk(const Chunk& other);
    Chunk& operator=(const Chunk& other);
    ~Chunk() override;

    // Extents compare by start, length, reserved count and group only.
    bool operator==(const Chunk& other) const;
    bool operator!=(const Chunk& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;

    RaidObject* getProvider() const { return provider; }
    HardDrive* getProviderHardDrive() const { return providerHardDrive; }
    LogicalDrive* getProviderLogical() const { return providerLogical; }
    LogicalDrive* getConsumer() const { return consumer; }
    unsigned long long getStartSector() const { return startSector; }
    unsigned long long getNumSector() const { return numSectors; }
    unsigned long getReserved() const { return reserved; }
    unsigned long getGroup() const { return group; }
    unsigned long getGroupPosition() const { return groupPosition; }
    unsigned long getGroupSize() const { return groupSize; }
    EnumChunkType getChunkType() const { return chunkType; }
    EnumChunkState getChunkState() const { return chunkState; }
    // False for a chunk read from an element without "chunkType": the
    // user-configuration form names its extents by address only.
    bool hasChunkType() const { return chunkTypeGiven; }
    unsigned long getEnclosureID() const { return enclosureID; }
    unsigned long getSlotID() const { return slotID; }

    void setConsumer(LogicalDrive* newConsumer) { consumer = newConsumer; }
    void setGroup(unsigned long newGroup) { group = static_cast<std::uint32_t>(newGroup); }
    // The address is left as it is.
    void setProvider(RaidObject* newProvider);

    // The hard drive the extent lies on: the provider, else the drive of the
    // chunk's channel and device id under its controller; null when none.
    HardDrive* getPhysicalDevice() const;

private:
    void build(SimpleXmlParser& parser);

    RaidObject* provider = nullptr;
    HardDrive* providerHardDrive = nullptr;
    LogicalDrive* providerLogical = nullptr;
    LogicalDrive* consumer = nullptr;
    unsigned long long startSector = 0;
    unsigned long long numSectors = 0;
    std::uint32_t reserved = 0;
    std::uint32_t group = 0;
    std::uint32_t groupPosition = UNSET;
    std::uint32_t groupSize = UNSET;
    EnumChunkType chunkType = static_cast<EnumChunkType>(1);
    EnumChunkState chunkState = CHUNK_STATE_NORMAL;
    bool chunkTypeGiven = true;
    std::uint32_t enclosureID = UNSET;
    std::uint32_t slotID = UNSET;
};

#endif
