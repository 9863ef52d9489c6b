#ifndef VYN_COMMON_ADDR_H
#define VYN_COMMON_ADDR_H

#include "common/StorLibType.h"

#include <cstdint>
#include <cstdio>

// What an address names, as getType reports it.
enum AddrType : int {
    ADDR_TYPE_ADAPTER = 0,
    ADDR_TYPE_ARRAY = 1,
    ADDR_TYPE_LOGICAL = 2,
    ADDR_TYPE_DEVICE = 3,
    ADDR_TYPE_CHANNEL = 4,
    ADDR_TYPE_CHUNK = 5,    // of a device or of a logical drive
    ADDR_TYPE_ITEM = 6,     // SAF-TE item or SES element
    ADDR_TYPE_SAS_PHY = 7,  // of the controller, a device or an item
    ADDR_TYPE_STORLIB = 10, // Addr2 with a library type and no object
    ADDR_TYPE_INVALID = 20
};

// The five leading identifiers as callers hand them over in one record.
struct address {
    std::uint32_t adapterID;
    std::uint32_t arrayID;
    std::uint32_t logicalDriveID;
    std::uint32_t channelID;
    std::uint32_t deviceID;
};

// The address of one object of the storage tree. Which identifiers are set
// decides what kind of object it names; an unset identifier holds UNSET_ID
// (the chunk id UNSET_CHUNK_ID) and is not written to XML.
class Addr {
public:
    static constexpr std::uint32_t UNSET_ID = 0x7FFFFFFFu;
    static constexpr std::uint64_t UNSET_CHUNK_ID = 0x7FFFFFFFFFFFFFFFull;

    Addr();
    explicit Addr(std::uint32_t adapterID);
    Addr(std::uint32_t adapterID, std::uint32_t arrayID, std::uint32_t logicalDriveID,
         std::uint32_t channelID, std::uint32_t deviceID, std::uint64_t chunkID,
         std::uint32_t itemID, std::uint32_t SASPhyID);
    explicit Addr(const address& ids);
    Addr(const Addr&) = default;
    Addr& operator=(const Addr&) = default;

    void clear();

    std::uint32_t getAdapterID() const { return adapterID; }
    std::uint32_t getArrayID() const { return arrayID; }
    std::uint32_t getLogicalDriveID() const { return logicalDriveID; }
    std::uint32_t getChannelID() const { return channelID; }
    std::uint32_t getDeviceID() const { return deviceID; }
    std::uint64_t getChunkID() const { return chunkID; }
    std::uint32_t getItemID() const { return itemID; }
    std::uint32_t getSASPhyID() const { return SASPhyID; }

    void setAdapterID(std::uint32_t id) { adapterID = id; }
    void setArrayID(std::uint32_t id) { arrayID = id; }
    void setLogicalDriveID(std::uint32_t id) { logicalDriveID = id; }
    void setLogicalDeviceID(std::uint32_t id) { logicalDriveID = id; }
    void setChannelID(std::uint32_t id) { channelID = id; }
    void setDeviceID(std::uint32_t id) { deviceID = id; }
    void setChunkID(std::uint64_t id) { chunkID = id; }
    void setItemID(std::uint32_t id) { itemID = id; }
    void setSASPhyID(std::uint32_t id) { SASPhyID = id; }

    // All eight identifiers equal.
    bool IsEqual(const Addr& other) const;
    bool operator==(const Addr& other) const { return IsEqual(other); }

    // An AddrType value.
    int getType() const;
    bool isValid() const { return getType() != ADDR_TYPE_INVALID; }

    const char* typeName() const { return "Addr"; }
    const char* serializedName() const { return "Addr"; }

    void debug(FILE* stream) const;

    // The dump text of a type code; "???" for a code without one.
    static const char* typeText(int type);

protected:
    // The dump of both address classes; the library type line only for Addr2.
    void dump(FILE* stream, int type, const EnumStorLibType* storLibType) const;

private:
    std::uint32_t adapterID;
    std::uint32_t arrayID;
    std::uint32_t logicalDriveID;
    std::uint32_t channelID;
    std::uint32_t deviceID;
    std::uint64_t chunkID;
    std::uint32_t itemID;
    std::uint32_t SASPhyID;
};

// An address together with the storage-library type that owns the object.
class Addr2 : public Addr {
public:
    Addr2();
    Addr2(EnumStorLibType type, std::uint32_t adapterID, std::uint32_t arrayID,
          std::uint32_t logicalDriveID, std::uint32_t channelID, std::uint32_t deviceID,
          std::uint64_t chunkID, std::uint32_t itemID, std::uint32_t SASPhyID);
    Addr2(EnumStorLibType type, const address& ids);
    Addr2(const Addr2&) = default;
    Addr2& operator=(const Addr2&) = default;
    // Takes the identifiers only; the library type stays.
    Addr2& operator=(const Addr& other);

    EnumStorLibType getStorLibType() const { return storLibType; }
    void setStorLibType(EnumStorLibType type) { storLibType = type; }

    // Identifiers unset and library type 0.
    void clear();

    bool IsEqual2(const Addr2& other) const;
    bool operator==(const Addr2& other) const { return IsEqual2(other); }
    // Compares the identifiers only, whatever the library type.
    bool operator==(const Addr& other) const { return IsEqual(other); }

    // Library type 0 is invalid; an invalid Addr with a type names the library.
    int getType() const;
    bool isValid() const { return getType() != ADDR_TYPE_INVALID; }

    const char* typeName() const { return "Addr2"; }

    void debug(FILE* stream) const;

private:
    EnumStorLibType storLibType;
};

#endif
