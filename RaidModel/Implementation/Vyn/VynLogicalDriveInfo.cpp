#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"

#include "Command/Vyn/common/fa_bytes.h"

VynLogicalDriveInfo::VynLogicalDriveInfo(const void* source, size_t bytes)
{
    const auto* p = static_cast<const uint8_t*>(source);
    if (p != nullptr)
        record.assign(p, p + bytes);
}

VynLogicalDriveInfo::~VynLogicalDriveInfo() = default;

uint32_t VynLogicalDriveInfo::getContainerNumber() const
{
    return record.size() >= 4 ? faGetLe32(record.data()) : 0;
}
