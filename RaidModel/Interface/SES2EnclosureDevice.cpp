#include "RaidModel/Interface/SES2EnclosureDevice.h"

#include <cstring>

SES2EnclosureDevice::SES2EnclosureDevice() = default;

SES2EnclosureDevice::SES2EnclosureDevice(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    buildFromXml(parser);
}

SES2EnclosureDevice::~SES2EnclosureDevice() = default;

bool SES2EnclosureDevice::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SES2EnclosureDevice") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* SES2EnclosureDevice::typeName() const
{
    return "SES2EnclosureDevice";
}

const char* SES2EnclosureDevice::serializedName() const
{
    return "SESEnclosureDevice";
}
