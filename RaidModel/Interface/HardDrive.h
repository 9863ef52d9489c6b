#ifndef VYN_RAIDMODEL_INTERFACE_HARDDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_HARDDRIVE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A disk on a channel.
// For now it carries only what the channel and controller indexes and the
// tree's XML reader need: its names and its element.
class HardDrive : public PhysicalDevice {
public:
    HardDrive();
    HardDrive(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    ~HardDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
