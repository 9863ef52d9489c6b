#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLOGICALDRIVEINFO_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLOGICALDRIVEINFO_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The family's copy of one container's firmware record, kept by its
// controller. The record begins with the container's identifier, whose first
// word is the container number.
class VynLogicalDriveInfo {
public:
    // Copies `bytes` of the container record.
    VynLogicalDriveInfo(const void* record, size_t bytes);
    virtual ~VynLogicalDriveInfo();
    VynLogicalDriveInfo(const VynLogicalDriveInfo&) = delete;
    VynLogicalDriveInfo& operator=(const VynLogicalDriveInfo&) = delete;

    const uint8_t* getContainer() const { return record.data(); }
    // The first word of the record; 0 for a record too short to hold it.
    uint32_t getContainerNumber() const;

private:
    std::vector<uint8_t> record;
};

#endif
