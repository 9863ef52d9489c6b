#ifndef VYN_RAIDMODEL_INTERFACE_ENCLOSURE_H
#define VYN_RAIDMODEL_INTERFACE_ENCLOSURE_H

#include <vector>

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class EnclosureItem;
class SafteConfig;
class SafteFan;
class SaftePowerSupply;
class SafteSlot;
class SafteStatus;
class SafteTempSensor;
class SimpleXmlParser;

// A SAF-TE enclosure processor on a channel. It holds the two SAF-TE pages
// that the controller family reads and one child per enclosure element, and
// numbers every child it receives.
class Enclosure : public PhysicalDevice {
public:
    static constexpr unsigned char STATUS_UNKNOWN = 0x80;
    static constexpr int MAX_STATUS_INDEX = 31;

    Enclosure();
    Enclosure(Adapter* adapter, Channel* channel, unsigned long deviceID, char* vendor, char* model,
              char* serialNumber, char* firmwareLevel, EnumPhysicalDeviceState state, char* fruNumber);
    Enclosure(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    // The device part only: no items, no pages.
    Enclosure(const Enclosure& other);
    Enclosure& operator=(const Enclosure&) = delete;
    ~Enclosure() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void addChild(RaidObject* child) override;
    void addChild(RaidObject* child, unsigned long index) override;
    void descendantAdded(RaidObject* descendant) override;

    virtual Ret setAlarmState(EnumAlarmState state);
    virtual void build(SimpleXmlParser& parser);

    bool isSafteDataValid() const { return safteDataValid; }
    SafteConfig* getSafteConfig() const { return safteConfig; }
    SafteStatus* getSafteStatus() const { return safteStatus; }

    EnclosureItem* getEnclosureItem(unsigned long i) const;
    EnclosureItem* getOtherEnclosureItem(unsigned long i) const;
    SafteFan* getSafteFan(unsigned long i) const;
    SaftePowerSupply* getSaftePowerSupply(unsigned long i) const;
    SafteSlot* getSafteSlot(unsigned long i) const;
    SafteTempSensor* getSafteTempSensor(unsigned long i) const;

    unsigned short getFanCount() const;
    unsigned short getPowerSupplyCount() const;
    unsigned char getFanStatus(unsigned short i) const;
    unsigned char getPowerSupplyStatus(unsigned short i) const;
    bool isTempOutOfRange() const;
    int getSlotNumberFromDeviceID(int deviceID) const;

protected:
    // For the controller family, which reads the pages; the enclosure owns
    // what it is given.
    void setSafteDataValid(bool valid) { safteDataValid = valid; }
    void setSafteConfig(SafteConfig* config);
    void setSafteStatus(SafteStatus* status);

private:
    bool hasStatus() const { return safteDataValid && safteStatus != nullptr; }
    // The device and item ids of the attributes read so far.
    void takeOwnIds();

    std::vector<EnclosureItem*> items;
    std::vector<EnclosureItem*> otherItems;
    std::vector<SafteFan*> fans;
    std::vector<SaftePowerSupply*> powerSupplies;
    std::vector<SafteSlot*> slots;
    std::vector<SafteTempSensor*> tempSensors;
    bool safteDataValid = false;
    SafteConfig* safteConfig = nullptr;
    SafteStatus* safteStatus = nullptr;
    unsigned long nextItemID = 0;
};

#endif
