#include "RaidModel/Implementation/Vyn/VynChunk.h"

#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

constexpr uint32_t kRebuildPartition = 3;

uint32_t partitionTypeOf(const FSA_PARTITION_INFO* partition)
{
    return partition != nullptr ? faGetLe32(partition->bytes + PI_PARTITION_TYPE) : 0;
}

}  // namespace

static_assert(VynChunk::PARTITION_INFO_SIZE == sizeof(FSA_PARTITION_INFO), "the copy holds one partition record");

VynChunk::VynChunk(const FSA_PARTITION_INFO* partition, RaidObject* provider, LogicalDrive* consumer,
                   unsigned long long startSector, unsigned long long numSectors, EnumChunkType chunkType,
                   unsigned long group, EnumChunkState chunkState, unsigned long groupPosition,
                   unsigned long groupSize)
    : Chunk(provider, consumer, startSector, numSectors, chunkType, group,
            stateOf(partitionTypeOf(partition), chunkState), groupPosition, groupSize)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynChunk::VynChunk()");
    if (partition != nullptr)
        std::memcpy(partitionInfo, partition->bytes, sizeof partitionInfo);
}

VynChunk::~VynChunk()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynChunk::~VynChunk()");
}

EnumChunkState VynChunk::stateOf(uint32_t type, EnumChunkState given)
{
    if (type == 2 || type == 4 || type == 5 || type == 7)
        return CHUNK_STATE_FAILED_SEGMENT;
    if (type == kRebuildPartition)
        return static_cast<EnumChunkState>(1);
    return given;
}

bool VynChunk::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynChunk") == 0) || Chunk::isInstanceOf(name);
}

const char* VynChunk::typeName() const { return "VynChunk"; }

uint32_t VynChunk::word(unsigned offset) const { return faGetLe32(partitionInfo + offset); }

void VynChunk::writeTo(Writer* writer) const
{
    Chunk::writeTo(writer);
    writer->writeInt("fsaPartitionType", static_cast<int>(word(PI_PARTITION_TYPE)));
    writer->writeInt("fsaPrimaryContainerType", static_cast<int>(word(PI_PRIMARY_CONTAINER_TYPE)));
    writer->writeUInt("fsaPrimaryContainerNum", word(PI_PRIMARY_CONTAINER));
    writer->writeInt("fsaSecondaryContainerType", static_cast<int>(word(PI_SECONDARY_CONTAINER_TYPE)));
    writer->writeUInt("fsaSecondaryContainerNum", word(PI_SECONDARY_CONTAINER));
    writer->writeBool("fsaReadOnly", word(PI_READ_ONLY) != 0);
    writer->writeBool("fsaMirrorSlaveSpace", word(PI_MIRROR_SLAVE_SPACE) != 0);
    writer->writeUInt("fsaBadBlockCount", word(PI_BAD_BLOCK_COUNT));
}
