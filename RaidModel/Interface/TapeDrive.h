#ifndef VYN_RAIDMODEL_INTERFACE_TAPEDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_TAPEDRIVE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// A tape device on a channel.
// For now it carries only what the channel and controller indexes and the
// tree's XML reader need: its names and its element.
class TapeDrive : public PhysicalDevice {
public:
    TapeDrive();
    TapeDrive(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    ~TapeDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
