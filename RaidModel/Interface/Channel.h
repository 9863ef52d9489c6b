#ifndef VYN_RAIDMODEL_INTERFACE_CHANNEL_H
#define VYN_RAIDMODEL_INTERFACE_CHANNEL_H

#include <cstdint>
#include <vector>

#include "RaidModel/Interface/RaidObject.h"
#include "common/Ret.h"

class Adapter;
class Enclosure;
class HardDrive;
class PhysicalDevice;
class SES2EnclosureDevice;
class SimpleXmlParser;
class Writer;

enum EnumChannelType : int {
    CHANNEL_TYPE_SCSI = 0,
    CHANNEL_TYPE_SATA = 1,
    CHANNEL_TYPE_SAS = 4
};

// A transfer speed code of the controller family; UNSET when none is set.
enum EnumSpeed : int {
    SPEED_UNSET = 0x7FFFFFFF
};

// One bus or port group of a controller. It stamps its id into every node
// added below it and keeps non-owning indexes of its devices. Every kind is
// written as "Channel"; readers tell the kinds apart by "typeName".
class Channel : public RaidObject {
public:
    Channel();
    Channel(Adapter* adapter, unsigned long channelID, EnumChannelType type, EnumSpeed speed);
    // A fresh node outside the tree, with empty indexes.
    Channel(const Channel& other);
    Channel& operator=(const Channel& other);
    ~Channel() override;

    bool operator==(const Channel& other) const;
    bool operator!=(const Channel& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;

    virtual Ret identifyDevice(bool on);
    virtual Ret setTransferSpeed(EnumSpeed speed);
    // Reads the fields from the collected attribute list.
    virtual void build();

    Adapter* getAdapter() const { return adapter; }
    EnumSpeed getTransferSpeed() const { return transferSpeed; }
    EnumChannelType getChannelType() const { return channelType; }

    HardDrive* getHardDrive(unsigned long index) const;
    Enclosure* getEnclosure(unsigned long index) const;
    SES2EnclosureDevice* getSES2EnclosureDevice(unsigned long index) const;
    PhysicalDevice* getPhysicalDevice(unsigned long index) const;
    PhysicalDevice* getOtherPhysicalDevice(unsigned long index) const;

protected:
    // Walks the element and builds its devices; the SES-2 enclosure devices
    // are taken only where `acceptSES` (SAS channels).
    void buildElement(Adapter* owner, SimpleXmlParser& parser, bool acceptSES);

    std::vector<HardDrive*> hardDrives;
    std::vector<Enclosure*> enclosures;
    std::vector<SES2EnclosureDevice*> ses2EnclosureDevices;
    std::vector<PhysicalDevice*> physicalDevices;
    std::vector<PhysicalDevice*> otherPhysicalDevices;
    Adapter* adapter = nullptr;
    EnumSpeed transferSpeed = SPEED_UNSET;
    EnumChannelType channelType = CHANNEL_TYPE_SCSI;
};

// A parallel SCSI bus; the controller sits on it under its initiator id.
class SCSIChannel : public Channel {
public:
    SCSIChannel();
    SCSIChannel(Adapter* adapter, unsigned long channelID, unsigned long initiatorID, EnumSpeed speed);
    SCSIChannel(Adapter* adapter, SimpleXmlParser& parser);
    SCSIChannel(const SCSIChannel& other);
    SCSIChannel& operator=(const SCSIChannel& other);
    ~SCSIChannel() override;

    bool operator==(const SCSIChannel& other) const;
    bool operator!=(const SCSIChannel& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    virtual Ret setInitiatorID(unsigned long id);
    using Channel::build;
    virtual void build(Adapter* owner, SimpleXmlParser& parser);

    unsigned long getInitiatorID() const { return initiatorID; }

private:
    std::uint32_t initiatorID = 0;
};

class SASChannel : public Channel {
public:
    SASChannel();
    SASChannel(Adapter* adapter, unsigned long channelID, EnumSpeed speed);
    SASChannel(Adapter* adapter, SimpleXmlParser& parser);
    SASChannel(const SASChannel& other);
    SASChannel& operator=(const SASChannel& other);
    ~SASChannel() override;

    bool operator==(const SASChannel& other) const;
    bool operator!=(const SASChannel& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    using Channel::build;
    void build(Adapter* owner, SimpleXmlParser& parser);
};

// SATA ports of a controller, counted in `ports`.
class SATAChannel : public Channel {
public:
    SATAChannel();
    SATAChannel(Adapter* adapter, unsigned long channelID, EnumSpeed speed, unsigned long ports);
    SATAChannel(Adapter* adapter, SimpleXmlParser& parser);
    SATAChannel(const SATAChannel& other);
    SATAChannel& operator=(const SATAChannel& other);
    ~SATAChannel() override;

    bool operator==(const SATAChannel& other) const;
    bool operator!=(const SATAChannel& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    using Channel::build;
    void build(Adapter* owner, SimpleXmlParser& parser);

    unsigned long getPortCount() const { return portCount; }

private:
    std::uint32_t portCount = 0;
};

#endif
