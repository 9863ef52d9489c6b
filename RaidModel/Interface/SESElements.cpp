#include "RaidModel/Interface/SESElements.h"

#include <cstring>

#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/Writer.h"

namespace {

const unsigned long UNSET = 0x7FFFFFFF;
const unsigned long STATUS_WORD_UNKNOWN = 6;

// Bits of the audible alarm status element.
const unsigned long ALARM_DISABLED = 1ul << 5;    // byte 0 bit 5
const unsigned long ALARM_REMIND = 1ul << 30;     // byte 3 bit 6
const unsigned long ALARM_TONE_BITS = 0xFul << 24; // byte 3 bits 0-3

bool named(const char* name, const char* own)
{
    return name != nullptr && std::strcmp(name, own) == 0;
}

} // namespace

// Elements ------------------------------------------------------------------

SESElement::SESElement(unsigned long statusWord, std::string text, int type)
    : status(statusWord), descriptor(std::move(text)), elementType(type)
{
}

SESElement::SESElement(SimpleXmlParser& parser) : status(0), elementType(0)
{
    collectXml(parser, false);
    build();
}

SESElement::~SESElement() = default;

bool SESElement::isInstanceOf(const char* name) const
{
    return named(name, "SESElement");
}

const char* SESElement::typeName() const
{
    return "SESElement";
}

const char* SESElement::serializedName() const
{
    return "SESElement";
}

void SESElement::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeULong("status", getStatus());
    writer->writeString("descriptor", descriptor.c_str());
    writer->writeInt("elementType", elementType);
}

void SESElement::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    if (descendant != nullptr)
        descendant->setItemID(getItemID());
}

unsigned long SESElement::getStatus() const
{
    return elementType == SES_TYPE_AUDIBLE_ALARM ? getAlarmStatus(status) : status;
}

// The EnumAlarmState of an SES-2 audible alarm status element.
unsigned long SESElement::getAlarmStatus(unsigned long statusWord)
{
    switch (statusWord & STATUS_CODE_MASK) {
    case 1: case 2: case 3: case 4:
        if ((statusWord & ALARM_DISABLED) != 0)
            return 2;
        if ((statusWord & ALARM_REMIND) != 0)
            return 3;
        if ((statusWord & ALARM_TONE_BITS) != 0)
            return 4;
        return 1;
    case 0: case 6: case 7: case 8:
        return 2;
    default:
        return 0;
    }
}

void SESElement::build()
{
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("status"))
        status = a.GetULong("status");
    if (a.Exists("descriptor"))
        descriptor = a.GetValue("descriptor");
    if (a.Exists("elementType"))
        elementType = static_cast<int>(a.GetLong("elementType"));
}

void SESElement::collectXml(SimpleXmlParser& parser, bool withPhys)
{
    readXmlElement(*this, parser, "SESElement", [this, withPhys](SimpleXmlParser& p) {
        if (withPhys && p.tagIs("SASPhy"))
            addChild(new SASPhy(p));
    });
}

Ret SESElement::setControlBytes(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3)
{
    RaidObject* parent = getParent();
    if (parent == nullptr || !parent->isInstanceOf("SES2EnclosureDevice"))
        return Ret(-1);
    return static_cast<SES2EnclosureDevice*>(parent)->setElementControlBytes(this, b0, b1, b2, b3);
}

// Device slots ----------------------------------------------------------------

SESDevice::SESDevice(unsigned long statusWord, std::string text, unsigned long protocol)
    : SESElement(statusWord, std::move(text), SES_TYPE_DEVICE_SLOT), protocolIdentifier(protocol)
{
}

SESDevice::~SESDevice() = default;

bool SESDevice::isInstanceOf(const char* name) const
{
    return named(name, "SESDevice") || SESElement::isInstanceOf(name);
}

const char* SESDevice::typeName() const
{
    return "SESDevice";
}

void SESDevice::writeTo(Writer* writer) const
{
    SESElement::writeTo(writer);
    writer->writeInt("protocolIdentifier", static_cast<int>(protocolIdentifier));
}

void SESDevice::build()
{
    SESElement::build();
    if (getAttributes().Exists("protocolIdentifier"))
        protocolIdentifier = getAttributes().GetULong("protocolIdentifier");
}

unsigned long SESDevice::getSlotAddress() const
{
    if (getStatusWord() == STATUS_WORD_UNKNOWN)
        return UNSET;
    return (getStatusWord() >> 8) & 0xFF;
}

SESArrayDevice::SESArrayDevice(unsigned long statusWord, std::string text, unsigned long protocol)
    : SESElement(statusWord, std::move(text), SES_TYPE_ARRAY_DEVICE_SLOT), protocolIdentifier(protocol)
{
}

SESArrayDevice::~SESArrayDevice() = default;

bool SESArrayDevice::isInstanceOf(const char* name) const
{
    return named(name, "SESArrayDevice") || SESElement::isInstanceOf(name);
}

const char* SESArrayDevice::typeName() const
{
    return "SESArrayDevice";
}

void SESArrayDevice::writeTo(Writer* writer) const
{
    SESElement::writeTo(writer);
    writer->writeInt("protocolIdentifier", static_cast<int>(protocolIdentifier));
}

void SESArrayDevice::build()
{
    SESElement::build();
    if (getAttributes().Exists("protocolIdentifier"))
        protocolIdentifier = getAttributes().GetULong("protocolIdentifier");
}

// SAS slot data ---------------------------------------------------------------

SESSasSlotData::SESSasSlotData(bool notAll, bool enclosed, bool bad, unsigned long index,
                               EnumSESAdditionalElementDescriptorTypes type, unsigned long bay,
                               unsigned long phyCount)
    : notAllPhys(notAll), eip(enclosed), invalid(bad), elementIndex(index), descriptorType(type),
      bayNumber(bay), numPhy(phyCount)
{
}

void SESSasSlotData::setPhy0(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(phy0, bytes, PHY_ADDRESS_SIZE);
}

void SESSasSlotData::setPhy1(const unsigned char* bytes)
{
    if (bytes != nullptr)
        std::memcpy(phy1, bytes, PHY_ADDRESS_SIZE);
}

void SESSasSlotData::writeSasFields(Writer* writer) const
{
    writer->writeBool("notAllPhys", notAllPhys);
    writer->writeBool("eip", eip);
    writer->writeBool("invalid", invalid);
    writer->writeULong("elementIndex", elementIndex);
    writer->writeUShort("descriptorType", static_cast<unsigned short>(descriptorType));
    writer->writeULong("bayNumber", bayNumber);
}

void SESSasSlotData::readSasFields(const XmlAttributeList_C& a)
{
    if (a.Exists("notAllPhys"))
        notAllPhys = a.GetBool("notAllPhys");
    if (a.Exists("eip"))
        eip = a.GetBool("eip");
    if (a.Exists("invalid"))
        invalid = a.GetBool("invalid");
    if (a.Exists("elementIndex"))
        elementIndex = a.GetULong("elementIndex");
    if (a.Exists("descriptorType"))
        descriptorType = static_cast<EnumSESAdditionalElementDescriptorTypes>(a.GetULong("descriptorType"));
    if (a.Exists("bayNumber"))
        bayNumber = a.GetULong("bayNumber");
}

void SESSasSlotData::notePhy(RaidObject* descendant)
{
    if (descendant != nullptr && descendant->isInstanceOf("SASPhy"))
        phys.push_back(static_cast<SASPhy*>(descendant));
}

// SAS slots -------------------------------------------------------------------

namespace {
const EnumSESAdditionalElementDescriptorTypes NO_DESCRIPTOR_TYPE = EnumSESAdditionalElementDescriptorTypes(0);
}

SESDeviceSAS::SESDeviceSAS(unsigned long statusWord, std::string text, bool notAll, bool enclosed, bool bad,
                           unsigned long index, EnumSESAdditionalElementDescriptorTypes type, unsigned long bay,
                           unsigned long phyCount)
    : SESDevice(statusWord, std::move(text), PROTOCOL_SAS),
      SESSasSlotData(notAll, enclosed, bad, index, type, bay, phyCount)
{
}

SESDeviceSAS::SESDeviceSAS(SimpleXmlParser& parser)
    : SESDevice(STATUS_WORD_UNKNOWN, std::string(), PROTOCOL_NONE),
      SESSasSlotData(false, false, false, UNSET, NO_DESCRIPTOR_TYPE, UNSET, 0)
{
    getAttributes().setInitElements(10);
    build(parser);
}

SESDeviceSAS::~SESDeviceSAS() = default;

bool SESDeviceSAS::isInstanceOf(const char* name) const
{
    return named(name, "SESDeviceSAS") || SESDevice::isInstanceOf(name);
}

const char* SESDeviceSAS::typeName() const
{
    return "SESDeviceSAS";
}

void SESDeviceSAS::writeTo(Writer* writer) const
{
    SESDevice::writeTo(writer);
    writeSasFields(writer);
}

void SESDeviceSAS::descendantAdded(RaidObject* descendant)
{
    SESDevice::descendantAdded(descendant);
    notePhy(descendant);
}

void SESDeviceSAS::build(SimpleXmlParser& parser)
{
    collectXml(parser, true);
    SESDevice::build();
    readSasFields(getAttributes());
}

SESArrayDeviceSAS::SESArrayDeviceSAS(unsigned long statusWord, std::string text, bool notAll, bool enclosed,
                                     bool bad, unsigned long index,
                                     EnumSESAdditionalElementDescriptorTypes type, unsigned long bay,
                                     unsigned long phyCount)
    : SESArrayDevice(statusWord, std::move(text), PROTOCOL_SAS),
      SESSasSlotData(notAll, enclosed, bad, index, type, bay, phyCount)
{
}

SESArrayDeviceSAS::SESArrayDeviceSAS(SimpleXmlParser& parser)
    : SESArrayDevice(STATUS_WORD_UNKNOWN, std::string(), PROTOCOL_NONE),
      SESSasSlotData(false, false, false, UNSET, NO_DESCRIPTOR_TYPE, UNSET, 0)
{
    getAttributes().setInitElements(10);
    build(parser);
}

SESArrayDeviceSAS::~SESArrayDeviceSAS() = default;

bool SESArrayDeviceSAS::isInstanceOf(const char* name) const
{
    return named(name, "SESArrayDeviceSAS") || SESArrayDevice::isInstanceOf(name);
}

const char* SESArrayDeviceSAS::typeName() const
{
    return "SESArrayDeviceSAS";
}

void SESArrayDeviceSAS::writeTo(Writer* writer) const
{
    SESArrayDevice::writeTo(writer);
    writeSasFields(writer);
}

void SESArrayDeviceSAS::descendantAdded(RaidObject* descendant)
{
    SESArrayDevice::descendantAdded(descendant);
    notePhy(descendant);
}

void SESArrayDeviceSAS::build(SimpleXmlParser& parser)
{
    collectXml(parser, true);
    SESArrayDevice::build();
    readSasFields(getAttributes());
}
