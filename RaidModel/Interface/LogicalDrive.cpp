#include "RaidModel/Interface/LogicalDrive.h"

#include <cstring>

LogicalDrive::LogicalDrive() = default;

LogicalDrive::~LogicalDrive() = default;

bool LogicalDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "LogicalDrive") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* LogicalDrive::typeName() const
{
    return "LogicalDrive";
}

const char* LogicalDrive::serializedName() const
{
    return "LogicalDrive";
}
