#include "RaidModel/Interface/SafteItems.h"

#include <cstring>

#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

const int TEMPERATURE_OFFSET = 10;
const unsigned char SLOT_INSERTED = 0x01;
const unsigned char SLOT_READY_FOR_REMOVAL = 0x02;
const unsigned char SLOT_PREPARED = 0x04;

bool named(const char* name, const char* own)
{
    return name != nullptr && std::strcmp(name, own) == 0;
}

} // namespace

EnclosureItem::EnclosureItem(Enclosure* owner, ITEM_TYPE type, unsigned long number)
    : EnclosureItem(owner, type, number, JoinLater())
{
    registerWithEnclosure();
}

EnclosureItem::EnclosureItem(Enclosure* owner, ITEM_TYPE type, unsigned long number, JoinLater)
    : enclosure(owner), itemType(type), itemNum(number), fru(nullptr)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "EnclosureItem::EnclosureItem(Enclosure *, ITEM_TYPE, ULONG)");
}

EnclosureItem::~EnclosureItem()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "EnclosureItem::~EnclosureItem()");
    delete fru;
}

void EnclosureItem::registerWithEnclosure()
{
    if (enclosure != nullptr && getParent() == nullptr)
        enclosure->addChild(this);
}

bool EnclosureItem::isInstanceOf(const char* name) const
{
    return named(name, "EnclosureItem") || RaidObject::isInstanceOf(name);
}

const char* EnclosureItem::typeName() const
{
    return "EnclosureItem";
}

const char* EnclosureItem::serializedName() const
{
    return "EnclosureItem";
}

void EnclosureItem::setIbmFruInfo(IbmFruInfo* info)
{
    if (info != fru) {
        delete fru;
        fru = info;
    }
}

void EnclosureItem::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("itemType", itemType);
    writer->writeULong("itemNum", itemNum);
    if (fru != nullptr) {
        writer->writeString("fruPartNum", fru->getPartNum());
        writer->writeString("fruSerialNum", fru->getSerialNum());
        writer->writeString("fruDateOfMfr", fru->getDateOfManufacture());
        writer->writeString("fruVendor", fru->getVendor());
        writer->writeString("fruType", fru->getType());
    }
}

// Items have no place in the user-configuration form.
void EnclosureItem::writeToXML(Writer*) const
{
}

void EnclosureItem::build()
{
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("itemType"))
        itemType = static_cast<ITEM_TYPE>(a.GetLong("itemType"));
    if (a.Exists("itemNum"))
        itemNum = static_cast<unsigned long>(a.GetLong("itemNum"));
    struct FruField {
        const char* name;
        void (IbmFruInfo::*set)(const char*);
    };
    static const FruField fields[] = {
        {"fruPartNum", &IbmFruInfo::setPartNum},
        {"fruSerialNum", &IbmFruInfo::setSerialNum},
        {"fruDateOfMfr", &IbmFruInfo::setDateOfManufacture},
        {"fruVendor", &IbmFruInfo::setVendor},
        {"fruType", &IbmFruInfo::setType},
    };
    for (const FruField& f : fields) {
        if (!a.Exists(f.name))
            continue;
        if (fru == nullptr)
            fru = new IbmFruInfo();
        if (fru != nullptr)
            (fru->*f.set)(a.GetValue(f.name));
    }
}

void EnclosureItem::readElement(SimpleXmlParser& parser, const char* tag)
{
    readXmlElement(*this, parser, tag, [](SimpleXmlParser&) {});
    EnclosureItem::build();
}

// Fans ----------------------------------------------------------------------

SafteFan::SafteFan(Enclosure* owner, STATUS status, unsigned long number)
    : EnclosureItem(owner, FAN, number, JoinLater()), fanStatus(status)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteFan::SafteFan(Enclosure *, STATUS, ULONG)");
    registerWithEnclosure();
}

SafteFan::SafteFan(Enclosure* owner, unsigned long number, SimpleXmlParser& parser)
    : EnclosureItem(owner, FAN, number, JoinLater()), fanStatus(STATUS())
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteFan::SafteFan(Enclosure *, ULONG, SimpleXmlParser &)");
    getAttributes().setInitElements(7);
    build(parser);
    registerWithEnclosure();
}

SafteFan::~SafteFan() = default;

bool SafteFan::isInstanceOf(const char* name) const
{
    return named(name, "SafteFan") || EnclosureItem::isInstanceOf(name);
}

const char* SafteFan::typeName() const
{
    return "SafteFan";
}

const char* SafteFan::serializedName() const
{
    return "Fan";
}

void SafteFan::writeTo(Writer* writer) const
{
    EnclosureItem::writeTo(writer);
    writer->writeInt("fanStatus", fanStatus);
}

void SafteFan::writeToXML(Writer*) const
{
}

void SafteFan::build(SimpleXmlParser& parser)
{
    readElement(parser, "Fan");
    if (getAttributes().Exists("fanStatus"))
        fanStatus = static_cast<STATUS>(getAttributes().GetULong("fanStatus"));
}

// Power supplies ------------------------------------------------------------

SaftePowerSupply::SaftePowerSupply(Enclosure* owner, STATUS status, unsigned long number)
    : EnclosureItem(owner, POWER_SUPPLY, number, JoinLater()), powerSupplyStatus(status)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SaftePowerSupply::SaftePowerSupply(Enclosure *, STATUS, ULONG)");
    registerWithEnclosure();
}

SaftePowerSupply::SaftePowerSupply(Enclosure* owner, unsigned long number, SimpleXmlParser& parser)
    : EnclosureItem(owner, POWER_SUPPLY, number, JoinLater()), powerSupplyStatus(STATUS())
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SaftePowerSupply::SaftePowerSupply(Enclosure *, ULONG, SimpleXmlParser &)");
    getAttributes().setInitElements(8);
    build(parser);
    registerWithEnclosure();
}

SaftePowerSupply::~SaftePowerSupply() = default;

bool SaftePowerSupply::isInstanceOf(const char* name) const
{
    return named(name, "SaftePowerSupply") || EnclosureItem::isInstanceOf(name);
}

const char* SaftePowerSupply::typeName() const
{
    return "SaftePowerSupply";
}

const char* SaftePowerSupply::serializedName() const
{
    return "PowerSupply";
}

void SaftePowerSupply::writeTo(Writer* writer) const
{
    EnclosureItem::writeTo(writer);
    writer->writeInt("powerSupplyStatus", powerSupplyStatus);
}

void SaftePowerSupply::writeToXML(Writer*) const
{
}

void SaftePowerSupply::build(SimpleXmlParser& parser)
{
    readElement(parser, "PowerSupply");
    if (getAttributes().Exists("powerSupplyStatus"))
        powerSupplyStatus = static_cast<STATUS>(getAttributes().GetULong("powerSupplyStatus"));
}

// Slots ---------------------------------------------------------------------

SafteSlot::SafteSlot(Enclosure* owner, unsigned long id, unsigned char status, unsigned long number)
    : EnclosureItem(owner, SLOT, number, JoinLater()), scsiID(id)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteSlot::SafteSlot(Enclosure *, ULONG, UCHAR, ULONG)");
    setSlotStatus(status);
    registerWithEnclosure();
}

SafteSlot::SafteSlot(Enclosure* owner, unsigned long number, SimpleXmlParser& parser)
    : EnclosureItem(owner, SLOT, number, JoinLater())
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteSlot::SafteSlot(Enclosure *, ULONG, SimpleXmlParser &)");
    getAttributes().setInitElements(9);
    build(parser);
    registerWithEnclosure();
}

SafteSlot::~SafteSlot() = default;

bool SafteSlot::isInstanceOf(const char* name) const
{
    return named(name, "SafteSlot") || EnclosureItem::isInstanceOf(name);
}

const char* SafteSlot::typeName() const
{
    return "SafteSlot";
}

const char* SafteSlot::serializedName() const
{
    return "Slot";
}

void SafteSlot::setSlotStatus(unsigned char status)
{
    deviceInserted = (status & SLOT_INSERTED) != 0;
    readyForInsertionRemoval = (status & SLOT_READY_FOR_REMOVAL) != 0;
    preparedForOperation = (status & SLOT_PREPARED) != 0;
}

void SafteSlot::writeTo(Writer* writer) const
{
    EnclosureItem::writeTo(writer);
    writer->writeULong("scsiID", scsiID);
    writer->writeULong("deviceInserted", deviceInserted ? 1 : 0);
    writer->writeULong("readyForInsertionRemoval", readyForInsertionRemoval ? 1 : 0);
    writer->writeULong("preparedForOperation", preparedForOperation ? 1 : 0);
}

void SafteSlot::writeToXML(Writer*) const
{
}

void SafteSlot::build(SimpleXmlParser& parser)
{
    readElement(parser, "Slot");
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("scsiID"))
        scsiID = a.GetULong("scsiID");
    if (a.Exists("deviceInserted"))
        deviceInserted = a.GetBool("deviceInserted");
    if (a.Exists("readyForInsertionRemoval"))
        readyForInsertionRemoval = a.GetBool("readyForInsertionRemoval");
    if (a.Exists("preparedForOperation"))
        preparedForOperation = a.GetBool("preparedForOperation");
}

// Temperature sensors -------------------------------------------------------

SafteTempSensor::SafteTempSensor(Enclosure* owner, int degrees, bool outside, unsigned long number)
    : EnclosureItem(owner, TEMP_SENSOR, number, JoinLater()), temperature(degrees), outOfRange(outside)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteTempSensor::SafteTempSensor(Enclosure *, int, bool, ULONG)");
    registerWithEnclosure();
}

SafteTempSensor::SafteTempSensor(Enclosure* owner, unsigned long number, SimpleXmlParser& parser)
    : EnclosureItem(owner, TEMP_SENSOR, number, JoinLater())
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SafteTempSensor::SafteTempSensor(Enclosure *, ULONG, SimpleXmlParser &)");
    getAttributes().setInitElements(9);
    build(parser);
    registerWithEnclosure();
}

SafteTempSensor::~SafteTempSensor() = default;

bool SafteTempSensor::isInstanceOf(const char* name) const
{
    return named(name, "SafteTempSensor") || EnclosureItem::isInstanceOf(name);
}

const char* SafteTempSensor::typeName() const
{
    return "SafteTempSensor";
}

const char* SafteTempSensor::serializedName() const
{
    return "TempSensor";
}

void SafteTempSensor::setTemperature(unsigned char raw)
{
    temperature = static_cast<int>(raw) - TEMPERATURE_OFFSET;
}

void SafteTempSensor::writeTo(Writer* writer) const
{
    EnclosureItem::writeTo(writer);
    writer->writeInt("temperature", temperature);
    writer->writeBool("outOfRange", outOfRange);
}

void SafteTempSensor::writeToXML(Writer*) const
{
}

void SafteTempSensor::build(SimpleXmlParser& parser)
{
    readElement(parser, "TempSensor");
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("temperature"))
        temperature = static_cast<int>(a.GetLong("temperature"));
    if (a.Exists("outOfRange"))
        outOfRange = a.GetBool("outOfRange");
}
