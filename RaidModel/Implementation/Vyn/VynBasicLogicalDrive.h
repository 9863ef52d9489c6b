#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNBASICLOGICALDRIVE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNBASICLOGICALDRIVE_H

#include <cstdint>

#include "RaidModel/Interface/LogicalDrive.h"

class VynAdapter;
class VynLogicalDriveInfo;

// A logical drive of a controller of the family: one top-level container of
// the firmware, built from the record the adapter read for it. The record
// belongs to the adapter and outlives the drive.
class VynBasicLogicalDrive : public BasicLogicalDrive {
public:
    VynBasicLogicalDrive(VynLogicalDriveInfo* record, VynAdapter* adapter, unsigned long logicalDriveID,
                         EnumRaidLevel raidLevel, unsigned long long dataSpace, unsigned long long paritySpace,
                         EnumLogicalDeviceState state, bool blockedAccess);
    ~VynBasicLogicalDrive() override;
    VynBasicLogicalDrive(const VynBasicLogicalDrive&) = delete;
    VynBasicLogicalDrive& operator=(const VynBasicLogicalDrive&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;

    // The container key of the firmware calls (number, unique id, adapter
    // word): the first 12 bytes of the record; null without a record.
    const uint8_t* getContainer() const;
    VynLogicalDriveInfo* getLogicalDriveInfo() const { return record; }
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynLogicalDriveInfo* record;
    VynAdapter* vynAdapter;
};

#endif
