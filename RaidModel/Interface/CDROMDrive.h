#ifndef VYN_RAIDMODEL_INTERFACE_CDROMDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_CDROMDRIVE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A CD/DVD device on a channel. It starts in standby (3), and so does a copy.
class CDROMDrive : public PhysicalDevice {
public:
    CDROMDrive();
    CDROMDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, char* vendor, char* model,
              char* serialNumber, char* firmwareLevel, char* fruNumber);
    CDROMDrive(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    CDROMDrive(const CDROMDrive& other);
    CDROMDrive& operator=(const CDROMDrive& other) = default;
    ~CDROMDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    // Reads the element the parser stands on, with its "SASPhy" children.
    virtual void build(SimpleXmlParser& parser);
};

#endif
