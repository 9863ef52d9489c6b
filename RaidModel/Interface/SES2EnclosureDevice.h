#ifndef VYN_RAIDMODEL_INTERFACE_SES2ENCLOSUREDEVICE_H
#define VYN_RAIDMODEL_INTERFACE_SES2ENCLOSUREDEVICE_H

#include "RaidModel/Interface/PhysicalDevice.h"

class Adapter;
class Channel;
class SimpleXmlParser;

// An SES-2 enclosure services device on a SAS channel.
// For now it carries only what the channel and controller indexes and the
// tree's XML reader need: its names and its element.
class SES2EnclosureDevice : public PhysicalDevice {
public:
    SES2EnclosureDevice();
    SES2EnclosureDevice(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    ~SES2EnclosureDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
