#ifndef VYN_RAIDMODEL_INTERFACE_SAFTEITEMS_H
#define VYN_RAIDMODEL_INTERFACE_SAFTEITEMS_H

#include <string>

#include "RaidModel/Interface/RaidObject.h"

class Enclosure;
class SimpleXmlParser;
class Writer;

// A field-replaceable-unit record in the format of IBM enclosures.
class IbmFruInfo {
public:
    const char* getPartNum() const { return partNum.c_str(); }
    const char* getSerialNum() const { return serialNum.c_str(); }
    const char* getVendor() const { return vendor.c_str(); }
    const char* getDateOfManufacture() const { return dateOfManufacture.c_str(); }
    const char* getType() const { return type.c_str(); }
    void setPartNum(const char* text) { partNum = text != nullptr ? text : ""; }
    void setSerialNum(const char* text) { serialNum = text != nullptr ? text : ""; }
    void setVendor(const char* text) { vendor = text != nullptr ? text : ""; }
    void setDateOfManufacture(const char* text) { dateOfManufacture = text != nullptr ? text : ""; }
    void setType(const char* text) { type = text != nullptr ? text : ""; }

private:
    std::string partNum;
    std::string serialNum;
    std::string vendor;
    std::string dateOfManufacture;
    std::string type;
};

// One element of a SAF-TE enclosure; it joins its enclosure as a child. The
// enclosure files an item by its class, which is only known once the item is
// fully built: the SAF-TE kinds below therefore join at the end of their own
// constructors, and any other item joins from this constructor.
class EnclosureItem : public RaidObject {
public:
    enum ITEM_TYPE : int { SLOT = 1, POWER_SUPPLY = 2, FAN = 3, TEMP_SENSOR = 4 };

    // Joins the enclosure at once.
    EnclosureItem(Enclosure* enclosure, ITEM_TYPE type, unsigned long itemNum);
    ~EnclosureItem() override;
    EnclosureItem(const EnclosureItem&) = delete;
    EnclosureItem& operator=(const EnclosureItem&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    // Reads the attributes common to every item from the attribute list.
    virtual void build();

    Enclosure* getEnclosure() const { return enclosure; }
    ITEM_TYPE getItemType() const { return itemType; }
    unsigned long getItemNum() const { return itemNum; }
    IbmFruInfo* getIbmFruInfo() const { return fru; }
    // The item owns the record from now on.
    void setIbmFruInfo(IbmFruInfo* info);

protected:
    struct JoinLater {};
    // Leaves joining to the derived constructor (registerWithEnclosure).
    EnclosureItem(Enclosure* enclosure, ITEM_TYPE type, unsigned long itemNum, JoinLater);
    // Adds the item to its enclosure once; later calls change nothing.
    void registerWithEnclosure();
    // Collects the attributes of the item's element `tag`, then runs build().
    void readElement(SimpleXmlParser& parser, const char* tag);

private:
    Enclosure* enclosure;
    ITEM_TYPE itemType;
    unsigned long itemNum;
    IbmFruInfo* fru;
};

class SafteFan : public EnclosureItem {
public:
    // The SAF-TE fan status byte.
    enum STATUS : int {};

    SafteFan(Enclosure* enclosure, STATUS status, unsigned long itemNum);
    SafteFan(Enclosure* enclosure, unsigned long itemNum, SimpleXmlParser& parser);
    ~SafteFan() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    using EnclosureItem::build;
    virtual void build(SimpleXmlParser& parser);

    STATUS getFanStatus() const { return fanStatus; }

private:
    STATUS fanStatus;
};

class SaftePowerSupply : public EnclosureItem {
public:
    // The SAF-TE power-supply status byte.
    enum STATUS : int {};

    SaftePowerSupply(Enclosure* enclosure, STATUS status, unsigned long itemNum);
    SaftePowerSupply(Enclosure* enclosure, unsigned long itemNum, SimpleXmlParser& parser);
    ~SaftePowerSupply() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    using EnclosureItem::build;
    virtual void build(SimpleXmlParser& parser);

    STATUS getPowerSupplyStatus() const { return powerSupplyStatus; }

private:
    STATUS powerSupplyStatus;
};

class SafteSlot : public EnclosureItem {
public:
    SafteSlot(Enclosure* enclosure, unsigned long scsiID, unsigned char status, unsigned long itemNum);
    SafteSlot(Enclosure* enclosure, unsigned long itemNum, SimpleXmlParser& parser);
    ~SafteSlot() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    using EnclosureItem::build;
    virtual void build(SimpleXmlParser& parser);

    unsigned long getScsiID() const { return scsiID; }
    bool getDeviceInserted() const { return deviceInserted; }
    bool getReadyForInsertionRemoval() const { return readyForInsertionRemoval; }
    bool getPreparedForOperation() const { return preparedForOperation; }
    // The SAF-TE slot status byte: bit 0 inserted, 1 ready for removal,
    // 2 prepared for operation.
    void setSlotStatus(unsigned char status);

private:
    unsigned long scsiID = 0;
    bool deviceInserted = false;
    bool readyForInsertionRemoval = false;
    bool preparedForOperation = false;
};

class SafteTempSensor : public EnclosureItem {
public:
    SafteTempSensor(Enclosure* enclosure, int temperature, bool outOfRange, unsigned long itemNum);
    SafteTempSensor(Enclosure* enclosure, unsigned long itemNum, SimpleXmlParser& parser);
    ~SafteTempSensor() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    using EnclosureItem::build;
    virtual void build(SimpleXmlParser& parser);

    int getTemperature() const { return temperature; }
    bool getOutOfRange() const { return outOfRange; }
    // The SAF-TE temperature byte counts from -10 degrees.
    void setTemperature(unsigned char raw);

private:
    int temperature = 0;
    bool outOfRange = false;
};

#endif
