#include "RaidModel/Interface/HardDrive.h"

#include <cstring>

HardDrive::HardDrive() = default;

HardDrive::HardDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    buildFromXml(parser);
}

HardDrive::~HardDrive() = default;

bool HardDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "HardDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* HardDrive::typeName() const
{
    return "HardDrive";
}

const char* HardDrive::serializedName() const
{
    return "HardDrive";
}
