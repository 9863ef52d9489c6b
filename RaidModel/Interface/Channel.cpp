#include "RaidModel/Interface/Channel.h"

#include <cstring>

#include "RaidModel/Interface/CDROMDrive.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/TapeDrive.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

bool named(const char* name, const char* a, const char* b)
{
    return name != nullptr && (std::strcmp(name, a) == 0 || std::strcmp(name, b) == 0);
}

template <typename T>
T* entryAt(const std::vector<T*>& index, unsigned long i)
{
    return i < index.size() ? index[i] : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- Channel

Channel::Channel()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Channel::Channel()");
}

Channel::Channel(Adapter* adapterIN, unsigned long channelID, EnumChannelType type, EnumSpeed speed)
    : adapter(adapterIN), transferSpeed(speed), channelType(type)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Channel::Channel(Adapter *, ...)");
    setChannelID(channelID);
}

Channel::Channel(const Channel& other)
    : RaidObject(), adapter(other.adapter), transferSpeed(other.transferSpeed), channelType(other.channelType)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Channel::Channel(const Channel &)");
    setChannelID(other.getChannelID());
}

Channel& Channel::operator=(const Channel& other)
{
    adapter = other.adapter;
    setChannelID(other.getChannelID());
    transferSpeed = other.transferSpeed;
    channelType = other.channelType;
    return *this;
}

Channel::~Channel()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Channel::~Channel()");
}

bool Channel::operator==(const Channel& other) const
{
    return adapter == other.adapter && getChannelID() == other.getChannelID();
}

bool Channel::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Channel") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* Channel::typeName() const
{
    return "Channel";
}

const char* Channel::serializedName() const
{
    return "Channel";
}

// "channelSpeed" repeats the speed for readers that know it by that name.
void Channel::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("transferSpeed", transferSpeed);
    writer->writeInt("channelSpeed", transferSpeed);
    writer->writeInt("channelType", channelType);
}

void Channel::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    descendant->setChannelID(getChannelID());
    if (!descendant->isInstanceOf("PhysicalDevice")) {
        return;
    }
    PhysicalDevice* device = static_cast<PhysicalDevice*>(descendant);
    physicalDevices.push_back(device);
    if (descendant->isInstanceOf("HardDrive")) {
        hardDrives.push_back(static_cast<HardDrive*>(descendant));
    } else if (descendant->isInstanceOf("Enclosure")) {
        enclosures.push_back(static_cast<Enclosure*>(descendant));
    } else if (descendant->isInstanceOf("SES2EnclosureDevice")) {
        ses2EnclosureDevices.push_back(static_cast<SES2EnclosureDevice*>(descendant));
    } else {
        otherPhysicalDevices.push_back(device);
    }
}

Ret Channel::identifyDevice(bool)
{
    return Ret(-1);
}

Ret Channel::setTransferSpeed(EnumSpeed)
{
    return Ret(-1);
}

void Channel::build()
{
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("transferSpeed")) {
        transferSpeed = static_cast<EnumSpeed>(a.GetULong("transferSpeed"));
    }
    if (a.Exists("channelType")) {
        channelType = static_cast<EnumChannelType>(a.GetULong("channelType"));
    }
}

HardDrive* Channel::getHardDrive(unsigned long index) const
{
    return entryAt(hardDrives, index);
}

Enclosure* Channel::getEnclosure(unsigned long index) const
{
    return entryAt(enclosures, index);
}

SES2EnclosureDevice* Channel::getSES2EnclosureDevice(unsigned long index) const
{
    return entryAt(ses2EnclosureDevices, index);
}

PhysicalDevice* Channel::getPhysicalDevice(unsigned long index) const
{
    return entryAt(physicalDevices, index);
}

PhysicalDevice* Channel::getOtherPhysicalDevice(unsigned long index) const
{
    return entryAt(otherPhysicalDevices, index);
}

// The devices stamp the channel's id as they are added, so the id is taken
// from the start tag before the first device is built.
void Channel::buildElement(Adapter* owner, SimpleXmlParser& parser, bool acceptSES)
{
    adapter = owner;
    readXmlElement(*this, parser, "Channel", [this, owner, acceptSES](SimpleXmlParser& p) {
        if (getAttributes().Exists("channelID")) {
            setChannelID(getAttributes().GetULong("channelID"));
        }
        RaidObject* device = nullptr;
        if (p.tagIs("HardDrive")) {
            device = new HardDrive(owner, this, p);
        } else if (p.tagIs("TapeDrive")) {
            device = new TapeDrive(owner, this, p);
        } else if (p.tagIs("CDROMDrive")) {
            device = new CDROMDrive(owner, this, p);
        } else if (p.tagIs("Enclosure")) {
            device = new Enclosure(owner, this, p);
        } else if (p.tagIs("PhysicalDevice") || OtherDevice::isElementName(p.getTag())) {
            device = new OtherDevice(owner, this, p);
        } else if (acceptSES && p.tagIs("SESEnclosureDevice")) {
            device = new SES2EnclosureDevice(owner, this, p);
        }
        if (device != nullptr) {
            addChild(device);
        }
    });
    Channel::build();
}

// ---------------------------------------------------------------- SCSIChannel

SCSIChannel::SCSIChannel() : Channel(nullptr, 0, CHANNEL_TYPE_SCSI, SPEED_UNSET) {}

SCSIChannel::SCSIChannel(Adapter* owner, unsigned long channelID, unsigned long initiator, EnumSpeed speed)
    : Channel(owner, channelID, CHANNEL_TYPE_SCSI, speed), initiatorID(static_cast<std::uint32_t>(initiator))
{
}

SCSIChannel::SCSIChannel(Adapter* owner, SimpleXmlParser& parser)
    : Channel(nullptr, 0, CHANNEL_TYPE_SCSI, SPEED_UNSET)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SCSIChannel::SCSIChannel(SimpleXmlParser &xmlParser...)");
    getAttributes().setInitElements(7);
    build(owner, parser);
}

SCSIChannel::SCSIChannel(const SCSIChannel& other) : Channel(other), initiatorID(other.initiatorID) {}

SCSIChannel& SCSIChannel::operator=(const SCSIChannel& other)
{
    Channel::operator=(other);
    initiatorID = other.initiatorID;
    return *this;
}

SCSIChannel::~SCSIChannel()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SCSIChannel::~SCSIChannel()");
}

bool SCSIChannel::operator==(const SCSIChannel& other) const
{
    return Channel::operator==(other) && initiatorID == other.initiatorID;
}

bool SCSIChannel::isInstanceOf(const char* name) const
{
    return named(name, "SCSIChannel", "ScsiChannel") || Channel::isInstanceOf(name);
}

const char* SCSIChannel::typeName() const
{
    return "SCSIChannel";
}

const char* SCSIChannel::serializedName() const
{
    return "Channel";
}

void SCSIChannel::writeTo(Writer* writer) const
{
    Channel::writeTo(writer);
    writer->writeString("type", "scsi");
    writer->writeULong("initiatorID", initiatorID);
}

Ret SCSIChannel::setInitiatorID(unsigned long)
{
    return Ret(-1);
}

void SCSIChannel::build(Adapter* owner, SimpleXmlParser& parser)
{
    buildElement(owner, parser, false);
    if (getAttributes().Exists("initiatorID")) {
        initiatorID = static_cast<std::uint32_t>(getAttributes().GetLong("initiatorID"));
    }
}

// ---------------------------------------------------------------- SASChannel

SASChannel::SASChannel() : Channel(nullptr, 0, CHANNEL_TYPE_SAS, SPEED_UNSET) {}

SASChannel::SASChannel(Adapter* owner, unsigned long channelID, EnumSpeed speed)
    : Channel(owner, channelID, CHANNEL_TYPE_SAS, speed)
{
}

SASChannel::SASChannel(Adapter* owner, SimpleXmlParser& parser)
    : Channel(nullptr, 0, CHANNEL_TYPE_SAS, SPEED_UNSET)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SASChannel::SASChannel(SimpleXmlParser &xmlParser...)");
    getAttributes().setInitElements(4);
    build(owner, parser);
}

SASChannel::SASChannel(const SASChannel& other) : Channel(other) {}

SASChannel& SASChannel::operator=(const SASChannel& other)
{
    Channel::operator=(other);
    return *this;
}

SASChannel::~SASChannel()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SASChannel::~SASChannel()");
}

bool SASChannel::operator==(const SASChannel& other) const
{
    return Channel::operator==(other) && transferSpeed == other.transferSpeed;
}

bool SASChannel::isInstanceOf(const char* name) const
{
    return named(name, "SASChannel", "SasChannel") || Channel::isInstanceOf(name);
}

const char* SASChannel::typeName() const
{
    return "SASChannel";
}

const char* SASChannel::serializedName() const
{
    return "Channel";
}

void SASChannel::writeTo(Writer* writer) const
{
    Channel::writeTo(writer);
    writer->writeString("type", "sas");
}

void SASChannel::build(Adapter* owner, SimpleXmlParser& parser)
{
    buildElement(owner, parser, true);
}

// ---------------------------------------------------------------- SATAChannel

SATAChannel::SATAChannel() : Channel(nullptr, 0, CHANNEL_TYPE_SATA, SPEED_UNSET) {}

SATAChannel::SATAChannel(Adapter* owner, unsigned long channelID, EnumSpeed speed, unsigned long ports)
    : Channel(owner, channelID, CHANNEL_TYPE_SATA, speed), portCount(static_cast<std::uint32_t>(ports))
{
}

SATAChannel::SATAChannel(Adapter* owner, SimpleXmlParser& parser)
    : Channel(nullptr, 0, CHANNEL_TYPE_SATA, SPEED_UNSET)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SATAChannel::SATAChannel(SimpleXmlParser &xmlParser...)");
    getAttributes().setInitElements(5);
    build(owner, parser);
}

SATAChannel::SATAChannel(const SATAChannel& other) : Channel(other), portCount(other.portCount) {}

SATAChannel& SATAChannel::operator=(const SATAChannel& other)
{
    Channel::operator=(other);
    portCount = other.portCount;
    return *this;
}

SATAChannel::~SATAChannel()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SATAChannel::~SATAChannel()");
}

bool SATAChannel::operator==(const SATAChannel& other) const
{
    return Channel::operator==(other) && portCount == other.portCount;
}

bool SATAChannel::isInstanceOf(const char* name) const
{
    return named(name, "SATAChannel", "SataChannel") || Channel::isInstanceOf(name);
}

const char* SATAChannel::typeName() const
{
    return "SATAChannel";
}

const char* SATAChannel::serializedName() const
{
    return "Channel";
}

void SATAChannel::writeTo(Writer* writer) const
{
    Channel::writeTo(writer);
    writer->writeString("type", "sata");
    writer->writeULong("ports", portCount);
}

void SATAChannel::build(Adapter* owner, SimpleXmlParser& parser)
{
    buildElement(owner, parser, false);
    if (getAttributes().Exists("ports")) {
        portCount = static_cast<std::uint32_t>(getAttributes().GetLong("ports"));
    }
}
