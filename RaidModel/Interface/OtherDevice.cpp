#include "RaidModel/Interface/OtherDevice.h"

#include <cstring>

OtherDevice::OtherDevice() = default;

OtherDevice::OtherDevice(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    buildFromXml(parser);
}

OtherDevice::~OtherDevice() = default;

bool OtherDevice::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "OtherDevice") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* OtherDevice::typeName() const
{
    return "OtherDevice";
}

const char* OtherDevice::serializedName() const
{
    return "UnknownDevice";
}
