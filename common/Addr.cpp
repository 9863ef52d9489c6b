#include "common/Addr.h"

#include <cinttypes>

namespace {

bool isSet(std::uint32_t id)
{
    return id != Addr::UNSET_ID;
}

bool isSetChunk(std::uint64_t id)
{
    return id != Addr::UNSET_CHUNK_ID;
}

}  // namespace

Addr::Addr()
{
    clear();
}

Addr::Addr(std::uint32_t adapter)
{
    clear();
    adapterID = adapter;
}

Addr::Addr(std::uint32_t adapter, std::uint32_t array, std::uint32_t logicalDrive,
           std::uint32_t channel, std::uint32_t device, std::uint64_t chunk, std::uint32_t item,
           std::uint32_t sasPhy)
    : adapterID(adapter),
      arrayID(array),
      logicalDriveID(logicalDrive),
      channelID(channel),
      deviceID(device),
      chunkID(chunk),
      itemID(item),
      SASPhyID(sasPhy)
{
}

Addr::Addr(const address& ids)
    : Addr(ids.adapterID, ids.arrayID, ids.logicalDriveID, ids.channelID, ids.deviceID,
           UNSET_CHUNK_ID, UNSET_ID, UNSET_ID)
{
}

void Addr::clear()
{
    adapterID = UNSET_ID;
    arrayID = UNSET_ID;
    logicalDriveID = UNSET_ID;
    channelID = UNSET_ID;
    deviceID = UNSET_ID;
    chunkID = UNSET_CHUNK_ID;
    itemID = UNSET_ID;
    SASPhyID = UNSET_ID;
}

bool Addr::IsEqual(const Addr& other) const
{
    return adapterID == other.adapterID && arrayID == other.arrayID
           && logicalDriveID == other.logicalDriveID && channelID == other.channelID
           && deviceID == other.deviceID && chunkID == other.chunkID && itemID == other.itemID
           && SASPhyID == other.SASPhyID;
}

// The steps run in this order and the first that matches decides; later steps
// rely on what the earlier ones ruled out.
int Addr::getType() const
{
    if (!isSet(adapterID))
        return ADDR_TYPE_INVALID;

    if (isSet(arrayID)) {
        const bool onlyArray = !isSet(logicalDriveID) && !isSet(channelID) && !isSet(deviceID)
                               && !isSetChunk(chunkID) && !isSet(itemID) && !isSet(SASPhyID);
        return onlyArray ? ADDR_TYPE_ARRAY : ADDR_TYPE_INVALID;
    }

    if (isSet(logicalDriveID)) {
        if (isSet(channelID) || isSet(deviceID) || isSet(itemID) || isSet(SASPhyID))
            return ADDR_TYPE_INVALID;
        return isSetChunk(chunkID) ? ADDR_TYPE_CHUNK : ADDR_TYPE_LOGICAL;
    }

    if (!isSet(channelID)) {
        if (isSet(deviceID) || isSetChunk(chunkID) || isSet(itemID))
            return ADDR_TYPE_INVALID;
        return isSet(SASPhyID) ? ADDR_TYPE_SAS_PHY : ADDR_TYPE_ADAPTER;
    }

    if (!isSet(deviceID))
        return ADDR_TYPE_CHANNEL;

    if (isSetChunk(chunkID))
        return (isSet(itemID) || isSet(SASPhyID)) ? ADDR_TYPE_INVALID : ADDR_TYPE_CHUNK;

    if (isSet(itemID))
        return isSet(SASPhyID) ? ADDR_TYPE_SAS_PHY : ADDR_TYPE_ITEM;

    return isSet(SASPhyID) ? ADDR_TYPE_SAS_PHY : ADDR_TYPE_DEVICE;
}

const char* Addr::typeText(int type)
{
    switch (type) {
    case ADDR_TYPE_ADAPTER: return "ADAPTER";
    case ADDR_TYPE_LOGICAL: return "LOGICAL";
    case ADDR_TYPE_DEVICE: return "DEVICE";
    case ADDR_TYPE_CHANNEL: return "CHANNEL";
    case ADDR_TYPE_CHUNK: return "CHUNK";
    case ADDR_TYPE_ITEM: return "ITEM (SAFTE or SESElement)";
    case ADDR_TYPE_SAS_PHY: return "SAS PHY";
    case ADDR_TYPE_STORLIB: return "STORLIB";
    case ADDR_TYPE_INVALID: return "INVALID";
    default: return "???";
    }
}

void Addr::debug(FILE* stream) const
{
    dump(stream, getType(), nullptr);
}

void Addr::dump(FILE* stream, int type, const EnumStorLibType* storLibType) const
{
    static const char rule[] = "-------------------------------------------------\n";
    if (stream == nullptr)
        return;
    std::fputs(rule, stream);
    std::fprintf(stream, "Type                =%s\n", typeText(type));
    if (storLibType != nullptr)
        std::fprintf(stream, "getStorLibType()     =%u\n", static_cast<unsigned int>(*storLibType));
    std::fprintf(stream, "getAdapterID()      =%" PRIu32 "\n", adapterID);
    std::fprintf(stream, "getArrayID()        =%" PRIu32 "\n", arrayID);
    std::fprintf(stream, "getLogicalDriveID() =%" PRIu32 "\n", logicalDriveID);
    std::fprintf(stream, "getChannelID()      =%" PRIu32 "\n", channelID);
    std::fprintf(stream, "getDeviceID()       =%" PRIu32 "\n", deviceID);
    std::fprintf(stream, "getChunkID()        =%" PRIu64 "\n", chunkID);
    std::fprintf(stream, "getItemID()         =%" PRIu32 "\n", itemID);
    std::fprintf(stream, "getSASPhyID()       =%" PRIu32 "\n", SASPhyID);
    std::fputs(rule, stream);
}

Addr2::Addr2() : storLibType(STORLIB_TYPE_NONE) {}

Addr2::Addr2(EnumStorLibType type, std::uint32_t adapter, std::uint32_t array,
             std::uint32_t logicalDrive, std::uint32_t channel, std::uint32_t device,
             std::uint64_t chunk, std::uint32_t item, std::uint32_t sasPhy)
    : Addr(adapter, array, logicalDrive, channel, device, chunk, item, sasPhy), storLibType(type)
{
}

Addr2::Addr2(EnumStorLibType type, const address& ids) : Addr(ids), storLibType(type) {}

Addr2& Addr2::operator=(const Addr& other)
{
    Addr::operator=(other);
    return *this;
}

void Addr2::clear()
{
    Addr::clear();
    storLibType = STORLIB_TYPE_NONE;
}

bool Addr2::IsEqual2(const Addr2& other) const
{
    return storLibType == other.storLibType && IsEqual(other);
}

int Addr2::getType() const
{
    if (storLibType == STORLIB_TYPE_NONE)
        return ADDR_TYPE_INVALID;
    const int type = Addr::getType();
    return type == ADDR_TYPE_INVALID ? ADDR_TYPE_STORLIB : type;
}

void Addr2::debug(FILE* stream) const
{
    dump(stream, getType(), &storLibType);
}
