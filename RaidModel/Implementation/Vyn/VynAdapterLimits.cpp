#include "RaidModel/Implementation/Vyn/VynAdapterLimits.h"

#include "RaidModel/Interface/Adapter.h"

VynAdapterLimits::~VynAdapterLimits() = default;

const VynAdapterLimits* vynAdapterLimits(const Adapter* adapter)
{
    return dynamic_cast<const VynAdapterLimits*>(adapter);
}
