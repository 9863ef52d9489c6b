#ifndef VYN_RAIDMODEL_INTERFACE_OTHERDEVICE_H
#define VYN_RAIDMODEL_INTERFACE_OTHERDEVICE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A device of any other SCSI peripheral type; read from "PhysicalDevice" elements.
// For now it carries only what the channel and controller indexes and the
// tree's XML reader need: its names and its element.
class OtherDevice : public PhysicalDevice {
public:
    OtherDevice();
    OtherDevice(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    ~OtherDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
