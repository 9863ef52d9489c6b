#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHARDDRIVE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHARDDRIVE_H

#include <cstdint>

#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Interface/HardDrive.h"

class VynAdapter;

// A disk behind a controller of the family. The tree build makes it Ready
// with its size in 512-byte blocks and empty texts; its attachment carries
// the firmware records.
class VynHardDrive : public HardDrive, public VynScsiFields {
public:
    VynHardDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size);
    ~VynHardDrive() override;
    VynHardDrive(const VynHardDrive&) = delete;
    VynHardDrive& operator=(const VynHardDrive&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    // Blinks the drive's locate light through its attachment: by the
    // enclosure that holds it, else by the controller.
    Ret identifyDevice(bool on) override;

    VynAdapter* getVynAdapter() const { return vynAdapter; }
    unsigned long getDisksetID() const { return disksetID; }

private:
    // Its attachment fills the usable sizes from the device record.
    friend class VynPhysicalDeviceAttach;

    VynAdapter* vynAdapter;
    unsigned long long vynMaxUsableBlocks = 0;
    unsigned long long numUsableBlocks = 0;
    int32_t clusterState = 0;
    uint32_t disksetID = 0x7FFFFFFF;
};

#endif
