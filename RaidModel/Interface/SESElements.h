#ifndef VYN_RAIDMODEL_INTERFACE_SESELEMENTS_H
#define VYN_RAIDMODEL_INTERFACE_SESELEMENTS_H

#include <string>
#include <vector>

#include "RaidModel/Interface/RaidObject.h"
#include "common/Ret.h"

class SASPhy;
class SimpleXmlParser;
class Writer;

// The DESCRIPTOR TYPE field of an SES-2 additional element status descriptor.
enum EnumSESAdditionalElementDescriptorTypes : int {};

// SES-2 element type codes the model acts on.
enum SESElementType : int {
    SES_TYPE_DEVICE_SLOT = 0x01,
    SES_TYPE_POWER_SUPPLY = 0x02,
    SES_TYPE_COOLING = 0x03,
    SES_TYPE_TEMPERATURE = 0x04,
    SES_TYPE_AUDIBLE_ALARM = 0x06,
    SES_TYPE_ESC_ELECTRONICS = 0x07,
    SES_TYPE_ENCLOSURE = 0x0E,
    SES_TYPE_VOLTAGE = 0x12,
    SES_TYPE_SCSI_TARGET_PORT = 0x14,
    SES_TYPE_SCSI_INITIATOR_PORT = 0x15,
    SES_TYPE_ARRAY_DEVICE_SLOT = 0x17,
    SES_TYPE_SAS_EXPANDER = 0x18,
    SES_TYPE_SAS_CONNECTOR = 0x19,
    SES_TYPE_VENDOR_83 = 0x83
};

// One individual element of an SES-2 enclosure status page: its status word
// (status bytes 0..3 as bits 0..31), descriptor text and element type.
class SESElement : public RaidObject {
public:
    static constexpr unsigned long STATUS_CODE_MASK = 0x0F;
    static constexpr unsigned long PROTOCOL_NONE = 15;
    static constexpr unsigned long PROTOCOL_SAS = 6;

    SESElement(unsigned long status, std::string descriptor, int elementType);
    explicit SESElement(SimpleXmlParser& parser);
    ~SESElement() override;
    SESElement(const SESElement&) = delete;
    SESElement& operator=(const SESElement&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;
    virtual int getType() const { return elementType; }
    virtual const char* getDescriptor() const { return descriptor.c_str(); }
    // The status word; an audible alarm answers its decoded EnumAlarmState.
    virtual unsigned long getStatus() const;
    virtual void build();

    unsigned long getStatusWord() const { return status; }
    // Hands the bytes to the enclosure this element belongs to.
    Ret setControlBytes(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3);

    static unsigned long getAlarmStatus(unsigned long statusWord);

protected:
    // Collects the attributes of the element the parser stands on and
    // builds its SAS phys; the caller then reads the fields.
    void collectXml(SimpleXmlParser& parser, bool withPhys);

private:
    unsigned long status;
    std::string descriptor;
    int elementType;
};

class SESDevice : public SESElement {
public:
    SESDevice(unsigned long status, std::string descriptor, unsigned long protocolIdentifier);
    ~SESDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void build() override;
    // The SLOT ADDRESS of a device slot status element.
    virtual unsigned long getSlotAddress() const;

    unsigned long getProtocolIdentifier() const { return protocolIdentifier; }

private:
    unsigned long protocolIdentifier;
};

class SESArrayDevice : public SESElement {
public:
    SESArrayDevice(unsigned long status, std::string descriptor, unsigned long protocolIdentifier);
    ~SESArrayDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void build() override;

    unsigned long getProtocolIdentifier() const { return protocolIdentifier; }

private:
    unsigned long protocolIdentifier;
};

// The SAS part of the additional element status of a slot, shared by both
// SAS slot classes.
class SESSasSlotData {
public:
    static constexpr unsigned PHY_ADDRESS_SIZE = 8;

    unsigned long getBayNumber() const { return bayNumber; }
    bool isEIP() const { return eip; }
    bool isNotAllPhys() const { return notAllPhys; }
    bool isInvalid() const { return invalid; }
    unsigned long getElementIndex() const { return elementIndex; }
    EnumSESAdditionalElementDescriptorTypes getDescriptorType() const { return descriptorType; }
    unsigned long getNumPhy() const { return numPhy; }
    const unsigned char* getPhy0() const { return phy0; }
    const unsigned char* getPhy1() const { return phy1; }
    void setPhy0(const unsigned char* bytes);
    void setPhy1(const unsigned char* bytes);
    unsigned long getNumSASPhys() const { return phys.size(); }
    SASPhy* getSASPhy(unsigned long i) const { return i < phys.size() ? phys[i] : nullptr; }

protected:
    SESSasSlotData(bool notAllPhys, bool eip, bool invalid, unsigned long elementIndex,
                   EnumSESAdditionalElementDescriptorTypes descriptorType, unsigned long bayNumber,
                   unsigned long numPhy);
    void writeSasFields(Writer* writer) const;
    void readSasFields(const XmlAttributeList_C& attributes);
    void notePhy(RaidObject* descendant);

private:
    bool notAllPhys;
    bool eip;
    bool invalid;
    unsigned long elementIndex;
    EnumSESAdditionalElementDescriptorTypes descriptorType;
    unsigned long bayNumber;
    unsigned long numPhy;
    unsigned char phy0[PHY_ADDRESS_SIZE] = {};
    unsigned char phy1[PHY_ADDRESS_SIZE] = {};
    std::vector<SASPhy*> phys;
};

class SESDeviceSAS : public SESDevice, public SESSasSlotData {
public:
    SESDeviceSAS(unsigned long status, std::string descriptor, bool notAllPhys, bool eip, bool invalid,
                 unsigned long elementIndex, EnumSESAdditionalElementDescriptorTypes descriptorType,
                 unsigned long bayNumber, unsigned long numPhy);
    explicit SESDeviceSAS(SimpleXmlParser& parser);
    ~SESDeviceSAS() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;
    using SESDevice::build;
    virtual void build(SimpleXmlParser& parser);
};

class SESArrayDeviceSAS : public SESArrayDevice, public SESSasSlotData {
public:
    SESArrayDeviceSAS(unsigned long status, std::string descriptor, bool notAllPhys, bool eip, bool invalid,
                      unsigned long elementIndex, EnumSESAdditionalElementDescriptorTypes descriptorType,
                      unsigned long bayNumber, unsigned long numPhy);
    explicit SESArrayDeviceSAS(SimpleXmlParser& parser);
    ~SESArrayDeviceSAS() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;
    using SESArrayDevice::build;
    virtual void build(SimpleXmlParser& parser);
};

#endif
