#ifndef VYN_RAIDMODEL_INTERFACE_SAFTEPAGES_H
#define VYN_RAIDMODEL_INTERFACE_SAFTEPAGES_H

#include <cstddef>
#include <cstdint>

#include "RaidModel/Interface/RaidObject.h"

class Enclosure;
class SimpleXmlParser;
class Writer;

// The SAF-TE "read enclosure configuration" page as the enclosure answers it.
struct SAFTE_CONFIG {
    std::uint8_t bytes[64];
};
static_assert(sizeof(SAFTE_CONFIG) == 64, "SAF-TE configuration page is 64 bytes");

// The decoded SAF-TE configuration page: how many elements of each kind the
// enclosure has, which also lays out its status page.
class SafteConfig : public RaidObject {
public:
    static constexpr std::size_t RESERVED_SIZE = 57;

    SafteConfig();
    SafteConfig(SafteConfig& other);
    // The enclosure is not kept: the caller attaches the page.
    SafteConfig(Enclosure* enclosure, SimpleXmlParser& parser);
    ~SafteConfig() override;
    SafteConfig& operator=(const SafteConfig&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    virtual void build(SimpleXmlParser& parser);

    // The reserved area is left as it is.
    void initFieldsFromData(const SAFTE_CONFIG* page);

    unsigned short getFanCount() const { return fanCount; }
    unsigned short getPowerSupplyCount() const { return powerSupplyCount; }
    unsigned short getDeviceSlotCount() const { return deviceSlotCount; }
    unsigned short getDoorLockPresent() const { return doorLockPresent; }
    unsigned short getTempSensorCount() const { return tempSensorCount; }
    unsigned short getAudibleAlarmPresent() const { return audibleAlarmPresent; }
    unsigned short getVendorUniqueBytes() const { return vendorUniqueBytes; }
    bool isCelsius() const { return celsius; }
    const unsigned char* getReserved() const { return reserved; }
    // Bytes of the status page this configuration lays out.
    unsigned short getStatusLength() const;

    void setFanCount(unsigned short n) { fanCount = n; }
    void setPowerSupplyCount(unsigned short n) { powerSupplyCount = n; }
    void setDeviceSlotCount(unsigned short n) { deviceSlotCount = n; }
    void setDoorLockPresent(unsigned short n) { doorLockPresent = n; }
    void setTempSensorCount(unsigned short n) { tempSensorCount = n; }
    void setAudibleAlarmPresent(unsigned short n) { audibleAlarmPresent = n; }
    void setVendorUniqueBytes(unsigned short n) { vendorUniqueBytes = n; }
    void setCelsius(bool value) { celsius = value; }
    // Copies up to the first zero byte, never past the area's end.
    void setReserved(const unsigned char* text);

private:
    std::uint16_t fanCount = 0;
    std::uint16_t powerSupplyCount = 0;
    std::uint16_t deviceSlotCount = 0;
    std::uint16_t doorLockPresent = 0;
    std::uint16_t tempSensorCount = 0;
    std::uint16_t audibleAlarmPresent = 0;
    unsigned char reserved[RESERVED_SIZE] = {};
    std::uint16_t vendorUniqueBytes = 0;
    bool celsius = false;
};

// The decoded SAF-TE enclosure status page, one byte per element.
class SafteStatus : public RaidObject {
public:
    static constexpr int MAX_FANS = 32;
    static constexpr int MAX_POWER_SUPPLIES = 32;
    static constexpr int MAX_SLOTS = 64;
    static constexpr int MAX_TEMP_SENSORS = 32;
    static constexpr unsigned char STATUS_UNKNOWN = 0x80;
    static constexpr unsigned char NO_DEVICE = 0xFF;
    static constexpr int NOT_FOUND = 0x7FFFFFFF;

    SafteStatus();
    SafteStatus(SafteStatus& other);
    ~SafteStatus() override;
    SafteStatus& operator=(const SafteStatus&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    void clearFields();
    // `page` holds config->getStatusLength() bytes.
    void initFieldsFromData(SafteConfig* config, char* page);
    // Stops at the end of the `length` bytes of `page`; fields it does not
    // reach keep their values.
    void initFieldsFromData(SafteConfig* config, const char* page, std::size_t length);

    int getSlotNumberFromDeviceID(int deviceID) const;
    int getDeviceIDFromSlotNumber(int slot) const;

    // Bytes by element index; an index outside the array reads as unknown.
    unsigned char getFanStatus(int i) const;
    unsigned char getPowerSupplyStatus(int i) const;
    unsigned char getSlotScsiID(int i) const;
    unsigned char getTemperature(int i) const;
    unsigned char getDoorLock() const { return doorLock; }
    unsigned char getSpeaker() const { return speaker; }
    unsigned char getTempFlags1() const { return tempFlags1; }
    unsigned char getTempFlags2() const { return tempFlags2; }

private:
    unsigned char fanStatus[MAX_FANS];
    unsigned char powerSupplyStatus[MAX_POWER_SUPPLIES];
    unsigned char slotScsiID[MAX_SLOTS];
    unsigned char doorLock;
    unsigned char speaker;
    unsigned char temperature[MAX_TEMP_SENSORS];
    unsigned char tempFlags1;
    unsigned char tempFlags2;
    // As the configuration gave them; -1 until a page was read.
    int numFans;
    int numPowerSupplies;
    int numSlots;
    int numTempSensors;
};

#endif
