#include "RaidModel/Interface/Adapter.h"

#include <cstring>

bool Adapter::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Adapter") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* Adapter::typeName() const
{
    return "Adapter";
}

const char* Adapter::serializedName() const
{
    return "Controller";
}
