#include "RaidModel/Interface/Chunk.h"

#include <cstring>

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {
constexpr unsigned long CHUNK_ATTRIBUTE_ENTRIES = 10;
}

Chunk::Chunk()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Chunk::Chunk()");
}

Chunk::Chunk(RaidObject* provider, LogicalDrive* consumer, unsigned long long startSector,
             unsigned long long numSectors, EnumChunkType chunkType, unsigned long group,
             EnumChunkState chunkState, unsigned long groupPosition, unsigned long groupSize)
    : provider(provider),
      consumer(consumer),
      startSector(startSector),
      numSectors(numSectors),
      group(static_cast<std::uint32_t>(group)),
      chunkType(chunkType),
      chunkState(chunkState)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Chunk::Chunk( RaidObject *, ...)");
    if (provider != nullptr && provider->isInstanceOf("HardDrive")) {
        providerHardDrive = static_cast<HardDrive*>(provider);
        // A drive not yet on a channel has no channel id to give.
        if (providerHardDrive->getChannel() != nullptr) {
            setChannelID(providerHardDrive->getChannel()->getChannelID());
        }
        setDeviceID(providerHardDrive->getDeviceID());
        if (consumer != nullptr && providerHardDrive->getState() == PD_READY) {
            providerHardDrive->setStateProperty(PD_ONLINE);
        }
    } else if (provider != nullptr && provider->isInstanceOf("LogicalDrive")) {
        providerLogical = static_cast<LogicalDrive*>(provider);
        setLogicalDriveID(providerLogical->getLogicalDriveID());
    }
    setChunkID(startSector);
    this->groupPosition = static_cast<std::uint32_t>(groupPosition);
    this->groupSize = static_cast<std::uint32_t>(groupSize);
}

Chunk::Chunk(unsigned long channelID, unsigned long deviceID, unsigned long long startSector,
             unsigned long long numSectors, unsigned long reserved, unsigned long group,
             EnumChunkType chunkType, EnumChunkState chunkState, unsigned long groupPosition,
             unsigned long groupSize)
    : startSector(startSector),
      numSectors(numSectors),
      reserved(static_cast<std::uint32_t>(reserved)),
      group(static_cast<std::uint32_t>(group)),
      groupPosition(static_cast<std::uint32_t>(groupPosition)),
      groupSize(static_cast<std::uint32_t>(groupSize)),
      chunkType(chunkType),
      chunkState(chunkState)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Chunk::Chunk(ULONG channelIDIN, ...) *** DEPRECATED ***");
    setChannelID(channelID);
    setDeviceID(deviceID);
    setChunkID(startSector);
}

Chunk::Chunk(RaidObject* provider, LogicalDrive* consumer, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Chunk::Chunk(SimpleXmlParser &xmlParser)");
    getAttributes().setInitElements(CHUNK_ATTRIBUTE_ENTRIES);
    build(parser);
    setProvider(provider);
    setConsumer(consumer);
}

Chunk::Chunk(const Chunk& other)
    : RaidObject(),
      provider(other.provider),
      providerHardDrive(other.providerHardDrive),
      providerLogical(other.providerLogical),
      consumer(other.consumer),
      startSector(other.startSector),
      numSectors(other.numSectors),
      reserved(other.reserved),
      group(other.group),
      groupPosition(other.groupPosition),
      groupSize(other.groupSize),
      chunkType(other.chunkType),
      chunkState(other.chunkState),
      chunkTypeGiven(other.chunkTypeGiven)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Chunk::Chunk(const Chunk &)");
}

Chunk& Chunk::operator=(const Chunk& other)
{
    provider = other.provider;
    providerHardDrive = other.providerHardDrive;
    providerLogical = other.providerLogical;
    consumer = other.consumer;
    startSector = other.startSector;
    numSectors = other.numSectors;
    reserved = other.reserved;
    group = other.group;
    groupPosition = other.groupPosition;
    groupSize = other.groupSize;
    chunkType = other.chunkType;
    chunkState = other.chunkState;
    chunkTypeGiven = other.chunkTypeGiven;
    return *this;
}

Chunk::~Chunk()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Chunk::~Chunk()");
}

bool Chunk::operator==(const Chunk& other) const
{
    return startSector == other.startSector && numSectors == other.numSectors && reserved == other.reserved &&
           group == other.group;
}

bool Chunk::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Chunk") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* Chunk::typeName() const
{
    return "Chunk";
}

const char* Chunk::serializedName() const
{
    return "Chunk";
}

void Chunk::setProvider(RaidObject* newProvider)
{
    provider = newProvider;
    if (newProvider == nullptr) {
        providerHardDrive = nullptr;
    } else if (newProvider->isInstanceOf("HardDrive")) {
        providerHardDrive = static_cast<HardDrive*>(newProvider);
    } else if (newProvider->isInstanceOf("LogicalDrive")) {
        providerLogical = static_cast<LogicalDrive*>(newProvider);
    }
}

HardDrive* Chunk::getPhysicalDevice() const
{
    if (providerHardDrive != nullptr) {
        return providerHardDrive;
    }
    const RaidObject* node = getParent();
    while (node != nullptr && !node->isInstanceOf("Adapter")) {
        node = node->getParent();
    }
    if (node == nullptr) {
        return nullptr;
    }
    Addr addr;
    addr.setAdapterID(node->getAdapterID());
    addr.setChannelID(getChannelID());
    addr.setDeviceID(getDeviceID());
    RaidObject* root = const_cast<RaidObject*>(node)->getRoot();
    RaidObject* found = root->getObject(addr);
    return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
}

void Chunk::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    if (consumer != nullptr) {
        writer->writeULong("consumerLogicalID", consumer->getLogicalDriveID());
    }
    writer->writeBlockT("startSector", startSector);
    writer->writeBlockT("numSectors", numSectors);
    writer->writeULong("reserved", reserved);
    writer->writeULong("group", group);
    if (groupPosition != UNSET) {
        writer->writeULong("groupPosition", groupPosition);
    }
    if (groupSize != UNSET) {
        writer->writeULong("groupSize", groupSize);
    }
    writer->writeInt("chunkType", chunkType);
    writer->writeInt("chunkState", chunkState);
    writer->writeBlockT("startBlock", startSector);
    writer->writeBlockT("numBlocks", numSectors);
    writer->writeULong("groupNum", group);
}

void Chunk::writeToXML(Writer* writer) const
{
    RaidObject::writeToXML(writer);
    const HardDrive* drive = getPhysicalDevice();
    if (drive == nullptr) {
        return;
    }
    if (drive->getEnclosureID() != UNSET) {
        writer->writeULong("enclosureID", drive->getEnclosureID());
    }
    if (drive->getSlotID() != UNSET) {
        writer->writeULong("slotID", drive->getSlotID());
    }
}

void Chunk::build(SimpleXmlParser& parser)
{
    readXmlElement(*this, parser, currentXmlTag(parser, serializedName()), [](SimpleXmlParser&) {});
    const XmlAttributeList_C& a = getAttributes();
    initBaseAttributes();
    if (a.Exists("startSector")) {
        startSector = a.GetU64("startSector");
    }
    if (a.Exists("numSectors")) {
        numSectors = a.GetU64("numSectors");
    }
    if (a.Exists("reserved")) {
        reserved = static_cast<std::uint32_t>(a.GetULong("reserved"));
    }
    if (a.Exists("group")) {
        group = static_cast<std::uint32_t>(a.GetULong("group"));
    }
    if (a.Exists("groupPosition")) {
        groupPosition = static_cast<std::uint32_t>(a.GetULong("groupPosition"));
    }
    if (a.Exists("groupSize")) {
        groupSize = static_cast<std::uint32_t>(a.GetULong("groupSize"));
    }
    chunkTypeGiven = a.Exists("chunkType");
    if (chunkTypeGiven) {
        chunkType = static_cast<EnumChunkType>(a.GetULong("chunkType"));
    }
    if (a.Exists("chunkState")) {
        chunkState = static_cast<EnumChunkState>(a.GetULong("chunkState"));
    }
    enclosureID = UNSET;
    slotID = UNSET;
    if (a.Exists("enclosureID")) {
        enclosureID = static_cast<std::uint32_t>(a.GetULong("enclosureID"));
    }
    if (a.Exists("slotID")) {
        slotID = static_cast<std::uint32_t>(a.GetULong("slotID"));
    }
}
