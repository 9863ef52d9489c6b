#ifndef VYN_RAIDMODEL_INTERFACE_TAPEDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_TAPEDRIVE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A tape device on a channel. It starts in standby (3), and so does a copy.
class TapeDrive : public PhysicalDevice {
public:
    TapeDrive();
    TapeDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, const char* vendor, const char* model,
             const char* serialNumber, const char* firmwareLevel, const char* fruNumber);
    TapeDrive(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    TapeDrive(const TapeDrive& other);
    TapeDrive& operator=(const TapeDrive& other) = default;
    ~TapeDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    // Reads the element the parser stands on, with its "SASPhy" children.
    virtual void build(SimpleXmlParser& parser);
};

#endif
