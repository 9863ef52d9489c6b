#include "RaidModel/Interface/Enclosure.h"

#include <cstring>

#include "RaidModel/Interface/SafteItems.h"
#include "RaidModel/Interface/SaftePages.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

template <typename T>
T* entry(const std::vector<T*>& index, unsigned long i)
{
    return i < index.size() ? index[i] : nullptr;
}

} // namespace

Enclosure::Enclosure()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Enclosure::Enclosure()");
}

Enclosure::Enclosure(Adapter* owner, Channel* onChannel, unsigned long deviceID, char* vendorText,
                     char* modelText, char* serial, char* firmware, EnumPhysicalDeviceState deviceState,
                     char* fru)
    : PhysicalDevice(owner, onChannel, deviceID, PHYSICAL_DEVICE_PROCESSOR, vendorText, modelText, serial,
                     firmware, deviceState, fru)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Enclosure::Enclosure(Adapter *, Channel *, ULONG, char *, ...)");
}

Enclosure::Enclosure(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Enclosure::Enclosure(Adapter *, Channel *, SimpleXmlParser &)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(19);
    build(parser);
}

Enclosure::Enclosure(const Enclosure& other) : PhysicalDevice(other)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Enclosure::Enclosure(Enclosure &)");
}

Enclosure::~Enclosure()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Enclosure::~Enclosure()");
    delete safteConfig;
    delete safteStatus;
}

bool Enclosure::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Enclosure") == 0)
        return true;
    return PhysicalDevice::isInstanceOf(name);
}

const char* Enclosure::typeName() const
{
    return "Enclosure";
}

const char* Enclosure::serializedName() const
{
    return "Enclosure";
}

void Enclosure::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
    writer->writeBool("safteDataValid", safteDataValid);
}

void Enclosure::addChild(RaidObject* child)
{
    if (child == nullptr)
        return;
    child->setItemID(nextItemID++);
    RaidObject::addChild(child);
}

void Enclosure::addChild(RaidObject* child, unsigned long index)
{
    if (child == nullptr)
        return;
    child->setItemID(nextItemID++);
    RaidObject::addChild(child, index);
}

void Enclosure::descendantAdded(RaidObject* descendant)
{
    PhysicalDevice::descendantAdded(descendant);
    if (descendant == nullptr || !descendant->isInstanceOf("EnclosureItem"))
        return;
    EnclosureItem* item = static_cast<EnclosureItem*>(descendant);
    items.push_back(item);
    if (item->isInstanceOf("SafteFan"))
        fans.push_back(static_cast<SafteFan*>(item));
    else if (item->isInstanceOf("SaftePowerSupply"))
        powerSupplies.push_back(static_cast<SaftePowerSupply*>(item));
    else if (item->isInstanceOf("SafteSlot"))
        slots.push_back(static_cast<SafteSlot*>(item));
    else if (item->isInstanceOf("SafteTempSensor"))
        tempSensors.push_back(static_cast<SafteTempSensor*>(item));
    else
        otherItems.push_back(item);
}

Ret Enclosure::setAlarmState(EnumAlarmState)
{
    return Ret(-1);
}

void Enclosure::build(SimpleXmlParser& parser)
{
    unsigned long fanNum = 0;
    unsigned long supplyNum = 0;
    unsigned long slotNum = 0;
    unsigned long sensorNum = 0;
    readXmlElement(*this, parser, "Enclosure", [&](SimpleXmlParser& p) {
        // The element's attributes all precede its first child: take the ids
        // now, so that every child is stamped with this device's id.
        takeOwnIds();
        if (p.tagIs("SafteConfig"))
            addChild(new SafteConfig(this, p));
        else if (p.tagIs("Fan"))
            new SafteFan(this, fanNum++, p);
        else if (p.tagIs("PowerSupply"))
            new SaftePowerSupply(this, supplyNum++, p);
        else if (p.tagIs("Slot"))
            new SafteSlot(this, slotNum++, p);
        else if (p.tagIs("TempSensor"))
            new SafteTempSensor(this, sensorNum++, p);
    });
    PhysicalDevice::build();
    if (getAttributes().Exists("safteDataValid"))
        safteDataValid = getAttributes().GetBool("safteDataValid");
}

void Enclosure::takeOwnIds()
{
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("deviceID"))
        setDeviceID(a.GetULong("deviceID"));
    if (a.Exists("itemID"))
        setItemID(a.GetULong("itemID"));
}

void Enclosure::setSafteConfig(SafteConfig* config)
{
    if (config != safteConfig) {
        delete safteConfig;
        safteConfig = config;
    }
}

void Enclosure::setSafteStatus(SafteStatus* status)
{
    if (status != safteStatus) {
        delete safteStatus;
        safteStatus = status;
    }
}

EnclosureItem* Enclosure::getEnclosureItem(unsigned long i) const
{
    return entry(items, i);
}

EnclosureItem* Enclosure::getOtherEnclosureItem(unsigned long i) const
{
    return entry(otherItems, i);
}

SafteFan* Enclosure::getSafteFan(unsigned long i) const
{
    return entry(fans, i);
}

SaftePowerSupply* Enclosure::getSaftePowerSupply(unsigned long i) const
{
    return entry(powerSupplies, i);
}

SafteSlot* Enclosure::getSafteSlot(unsigned long i) const
{
    return entry(slots, i);
}

SafteTempSensor* Enclosure::getSafteTempSensor(unsigned long i) const
{
    return entry(tempSensors, i);
}

unsigned short Enclosure::getFanCount() const
{
    return safteDataValid && safteConfig != nullptr ? safteConfig->getFanCount() : 0;
}

unsigned short Enclosure::getPowerSupplyCount() const
{
    return safteDataValid && safteConfig != nullptr ? safteConfig->getPowerSupplyCount() : 0;
}

unsigned char Enclosure::getFanStatus(unsigned short i) const
{
    if (!hasStatus() || i > MAX_STATUS_INDEX)
        return STATUS_UNKNOWN;
    return safteStatus->getFanStatus(i);
}

unsigned char Enclosure::getPowerSupplyStatus(unsigned short i) const
{
    if (!hasStatus() || i > MAX_STATUS_INDEX)
        return STATUS_UNKNOWN;
    return safteStatus->getPowerSupplyStatus(i);
}

bool Enclosure::isTempOutOfRange() const
{
    return hasStatus() && (safteStatus->getTempFlags1() != 0 || safteStatus->getTempFlags2() != 0);
}

int Enclosure::getSlotNumberFromDeviceID(int deviceID) const
{
    if (!hasStatus())
        return PhysicalDevice::UNSET;
    return safteStatus->getSlotNumberFromDeviceID(deviceID);
}
