#include "RaidModel/Interface/SaftePages.h"

#include <cstdio>
#include <cstring>

#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

// Configuration page offsets.
const std::size_t CONFIG_FANS = 0;
const std::size_t CONFIG_POWER_SUPPLIES = 1;
const std::size_t CONFIG_SLOTS = 2;
const std::size_t CONFIG_DOOR_LOCK = 3;
const std::size_t CONFIG_TEMP_SENSORS = 4;
const std::size_t CONFIG_ALARM = 5;
const std::size_t CONFIG_FLAGS = 6;
const std::uint8_t CONFIG_CELSIUS_BIT = 0x80;
const std::size_t CONFIG_VENDOR_UNIQUE = 63;

// The door lock, speaker, two flag bytes and one trailing byte.
const unsigned STATUS_FIXED_BYTES = 5;

// Reads the page byte by byte and refuses to go past its end.
class PageCursor {
public:
    PageCursor(const char* page, std::size_t length) : page(page), length(length) {}
    bool take(unsigned char& out)
    {
        if (pos >= length)
            return false;
        out = static_cast<unsigned char>(page[pos++]);
        return true;
    }
    // Moves on whether or not the byte is kept.
    bool takeInto(unsigned char* array, int limit, int i)
    {
        unsigned char byte = 0;
        if (!take(byte))
            return false;
        if (i < limit)
            array[i] = byte;
        return true;
    }

private:
    const char* page;
    std::size_t length;
    std::size_t pos = 0;
};

void writeArray(Writer* writer, const char* format, const unsigned char* values, int count, int capacity)
{
    const int n = count < 0 || count > capacity ? capacity : count;
    char name[32];
    for (int i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, format, i);
        writer->writeInt(name, values[i]);
    }
}

} // namespace

SafteConfig::SafteConfig()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "SafteConfig::SafteConfig()");
}

SafteConfig::SafteConfig(SafteConfig& other)
    : RaidObject(), fanCount(other.fanCount), powerSupplyCount(other.powerSupplyCount),
      deviceSlotCount(other.deviceSlotCount), doorLockPresent(other.doorLockPresent),
      tempSensorCount(other.tempSensorCount), audibleAlarmPresent(other.audibleAlarmPresent),
      vendorUniqueBytes(other.vendorUniqueBytes), celsius(other.celsius)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteConfig::SafteConfig(SafteConfig &)");
}

SafteConfig::SafteConfig(Enclosure*, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteConfig::SafteConfig(Enclosure *, SimpleXmlParser &)");
    getAttributes().setInitElements(7);
    build(parser);
}

SafteConfig::~SafteConfig()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "SafteConfig::~SafteConfig()");
}

bool SafteConfig::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SafteConfig") == 0)
        return true;
    return RaidObject::isInstanceOf(name);
}

const char* SafteConfig::typeName() const
{
    return "SafteConfig";
}

const char* SafteConfig::serializedName() const
{
    return "SafteConfig";
}

void SafteConfig::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("fanCount", fanCount);
    writer->writeInt("powerSupplyCount", powerSupplyCount);
    writer->writeInt("slotCount", deviceSlotCount);
    writer->writeInt("doorLockPresent", doorLockPresent);
    writer->writeInt("tempSensorCount", tempSensorCount);
    writer->writeInt("speakerPresent", audibleAlarmPresent);
    writer->writeBool("celsius", celsius);
}

void SafteConfig::build(SimpleXmlParser& parser)
{
    readXmlElement(*this, parser, "SafteConfig", [](SimpleXmlParser&) {});
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    struct Field {
        const char* name;
        std::uint16_t* field;
    };
    const Field fields[] = {
        {"fanCount", &fanCount},
        {"powerSupplyCount", &powerSupplyCount},
        {"slotCount", &deviceSlotCount},
        {"doorLockPresent", &doorLockPresent},
        {"tempSensorCount", &tempSensorCount},
        {"speakerPresent", &audibleAlarmPresent},
    };
    for (const Field& f : fields) {
        if (a.Exists(f.name))
            *f.field = static_cast<std::uint16_t>(a.GetLong(f.name));
    }
    if (a.Exists("celsius"))
        celsius = a.GetBool("celsius");
}

void SafteConfig::initFieldsFromData(const SAFTE_CONFIG* page)
{
    if (page == nullptr)
        return;
    fanCount = page->bytes[CONFIG_FANS];
    powerSupplyCount = page->bytes[CONFIG_POWER_SUPPLIES];
    deviceSlotCount = page->bytes[CONFIG_SLOTS];
    doorLockPresent = page->bytes[CONFIG_DOOR_LOCK];
    tempSensorCount = page->bytes[CONFIG_TEMP_SENSORS];
    audibleAlarmPresent = page->bytes[CONFIG_ALARM];
    celsius = (page->bytes[CONFIG_FLAGS] & CONFIG_CELSIUS_BIT) != 0;
    vendorUniqueBytes = page->bytes[CONFIG_VENDOR_UNIQUE];
}

unsigned short SafteConfig::getStatusLength() const
{
    return static_cast<unsigned short>(fanCount + powerSupplyCount + deviceSlotCount + tempSensorCount +
                                       STATUS_FIXED_BYTES);
}

void SafteConfig::setReserved(const unsigned char* text)
{
    if (text == nullptr)
        return;
    for (std::size_t i = 0; i < RESERVED_SIZE && text[i] != 0; ++i)
        reserved[i] = text[i];
}

SafteStatus::SafteStatus()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "SafteStatus::SafteStatus()");
    clearFields();
}

SafteStatus::SafteStatus(SafteStatus& other)
    : RaidObject(), doorLock(other.doorLock), speaker(other.speaker), tempFlags1(other.tempFlags1),
      tempFlags2(other.tempFlags2), numFans(other.numFans), numPowerSupplies(other.numPowerSupplies),
      numSlots(other.numSlots), numTempSensors(other.numTempSensors)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteStatus::SafteStatus(SafteStatus &)");
    std::memcpy(fanStatus, other.fanStatus, sizeof fanStatus);
    std::memcpy(powerSupplyStatus, other.powerSupplyStatus, sizeof powerSupplyStatus);
    std::memcpy(slotScsiID, other.slotScsiID, sizeof slotScsiID);
    std::memcpy(temperature, other.temperature, sizeof temperature);
}

SafteStatus::~SafteStatus()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "SafteStatus::~SafteStatus()");
}

bool SafteStatus::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SafteStatus") == 0)
        return true;
    return RaidObject::isInstanceOf(name);
}

const char* SafteStatus::typeName() const
{
    return "SafteStatus";
}

const char* SafteStatus::serializedName() const
{
    return "SafteStatus";
}

void SafteStatus::clearFields()
{
    std::memset(fanStatus, STATUS_UNKNOWN, sizeof fanStatus);
    std::memset(powerSupplyStatus, STATUS_UNKNOWN, sizeof powerSupplyStatus);
    std::memset(slotScsiID, NO_DEVICE, sizeof slotScsiID);
    doorLock = STATUS_UNKNOWN;
    speaker = 0;
    std::memset(temperature, 0, sizeof temperature);
    tempFlags1 = 0;
    tempFlags2 = 0;
    numFans = -1;
    numPowerSupplies = -1;
    numSlots = -1;
    numTempSensors = -1;
}

void SafteStatus::initFieldsFromData(SafteConfig* config, char* page)
{
    if (config != nullptr)
        initFieldsFromData(config, page, config->getStatusLength());
}

// SAF-TE "read enclosure status": the element bytes in the order fans, power
// supplies, slots, door lock, speaker, temperatures, two flag bytes, as many
// of each as the configuration counts.
void SafteStatus::initFieldsFromData(SafteConfig* config, const char* page, std::size_t length)
{
    if (config == nullptr || page == nullptr)
        return;
    PageCursor cursor(page, length);
    // Each group stops the read as soon as the page ends.
    [&] {
        for (int i = 0; i < config->getFanCount(); ++i)
            if (!cursor.takeInto(fanStatus, MAX_FANS, i))
                return false;
        for (int i = 0; i < config->getPowerSupplyCount(); ++i)
            if (!cursor.takeInto(powerSupplyStatus, MAX_POWER_SUPPLIES, i))
                return false;
        for (int i = 0; i < config->getDeviceSlotCount(); ++i)
            if (!cursor.takeInto(slotScsiID, MAX_SLOTS, i))
                return false;
        if (!cursor.take(doorLock) || !cursor.take(speaker))
            return false;
        for (int i = 0; i < config->getTempSensorCount(); ++i)
            if (!cursor.takeInto(temperature, MAX_TEMP_SENSORS, i))
                return false;
        return cursor.take(tempFlags1) && cursor.take(tempFlags2);
    }();
    numFans = config->getFanCount();
    numPowerSupplies = config->getPowerSupplyCount();
    numSlots = config->getDeviceSlotCount();
    numTempSensors = config->getTempSensorCount();
}

int SafteStatus::getSlotNumberFromDeviceID(int deviceID) const
{
    for (int i = 0; i < MAX_SLOTS; ++i) {
        if (slotScsiID[i] == deviceID)
            return i;
    }
    return NOT_FOUND;
}

int SafteStatus::getDeviceIDFromSlotNumber(int slot) const
{
    if (slot < 0 || slot >= MAX_SLOTS)
        return NOT_FOUND;
    return slotScsiID[slot];
}

unsigned char SafteStatus::getFanStatus(int i) const
{
    return i >= 0 && i < MAX_FANS ? fanStatus[i] : STATUS_UNKNOWN;
}

unsigned char SafteStatus::getPowerSupplyStatus(int i) const
{
    return i >= 0 && i < MAX_POWER_SUPPLIES ? powerSupplyStatus[i] : STATUS_UNKNOWN;
}

unsigned char SafteStatus::getSlotScsiID(int i) const
{
    return i >= 0 && i < MAX_SLOTS ? slotScsiID[i] : NO_DEVICE;
}

unsigned char SafteStatus::getTemperature(int i) const
{
    return i >= 0 && i < MAX_TEMP_SENSORS ? temperature[i] : 0;
}

void SafteStatus::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writeArray(writer, "fan%d", fanStatus, numFans, MAX_FANS);
    writeArray(writer, "powerSupply%d", powerSupplyStatus, numPowerSupplies, MAX_POWER_SUPPLIES);
    writeArray(writer, "slot%d", slotScsiID, numSlots, MAX_SLOTS);
    writer->writeInt("doorLock", doorLock);
    writer->writeInt("speaker", speaker);
    writeArray(writer, "tempSensor%d", temperature, numTempSensors, MAX_TEMP_SENSORS);
    writer->writeInt("tempFlags1", tempFlags1);
    writer->writeInt("tempFlags2", tempFlags2);
}
