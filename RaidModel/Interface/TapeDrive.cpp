#include "RaidModel/Interface/TapeDrive.h"

#include <cstring>

TapeDrive::TapeDrive() = default;

TapeDrive::TapeDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    buildFromXml(parser);
}

TapeDrive::~TapeDrive() = default;

bool TapeDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "TapeDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* TapeDrive::typeName() const
{
    return "TapeDrive";
}

const char* TapeDrive::serializedName() const
{
    return "TapeDrive";
}
