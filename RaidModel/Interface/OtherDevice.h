#ifndef VYN_RAIDMODEL_INTERFACE_OTHERDEVICE_H
#define VYN_RAIDMODEL_INTERFACE_OTHERDEVICE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A device of any other SCSI peripheral type, written under a name by its
// type ("MediaChanger", "Printer", ... or "UnknownDevice"). It starts in
// standby (3), and so does a copy.
class OtherDevice : public PhysicalDevice {
public:
    static constexpr int DEFAULT_TYPE = 10;

    OtherDevice();
    OtherDevice(Adapter* adapter, Channel* channel, unsigned long deviceID, EnumPhysicalDeviceType type,
                char* vendor, char* model, char* serialNumber, char* firmwareLevel, char* fruNumber);
    // Reads the element the parser stands on, whatever its name (a generic
    // "PhysicalDevice" or one of the names by type).
    OtherDevice(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    OtherDevice(const OtherDevice& other);
    OtherDevice& operator=(const OtherDevice& other) = default;
    ~OtherDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    virtual void build(SimpleXmlParser& parser);

    // The element name of a device of `type`.
    static const char* elementName(int type);
    // Whether `tag` is one of the names an other device is written under.
    static bool isElementName(const char* tag);
};

#endif
