#include "RaidModel/Interface/CDROMDrive.h"

#include <cstring>

CDROMDrive::CDROMDrive() = default;

CDROMDrive::CDROMDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    buildFromXml(parser);
}

CDROMDrive::~CDROMDrive() = default;

bool CDROMDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "CDROMDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* CDROMDrive::typeName() const
{
    return "CDROMDrive";
}

const char* CDROMDrive::serializedName() const
{
    return "CDROMDrive";
}
