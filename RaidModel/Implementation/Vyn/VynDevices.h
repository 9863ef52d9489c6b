#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNDEVICES_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNDEVICES_H

#include <cstdint>

#include "RaidModel/Interface/CDROMDrive.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "RaidModel/Interface/TapeDrive.h"

class VynAdapter;

// The SCSI address and peripheral type a device of the family carries
// besides its model fields; 0 until the tree build sets them.
class VynScsiFields {
public:
    unsigned long getScsiID() const { return scsiID; }
    unsigned long getScsiLUN() const { return scsiLUN; }
    unsigned long getScsiDeviceType() const { return scsiDeviceType; }

protected:
    friend class VynPhysicalDeviceAttach;

    uint32_t scsiID = 0;
    uint32_t scsiLUN = 0;
    uint32_t scsiDeviceType = 0;
};

// CD-ROM, tape and other devices behind a controller of the family, made by
// the tree build with empty texts; their attachment carries the firmware
// records. The SCSI fields stay 0 unless the build sets them.
//
// Beyond what the model bases do they pass a SCSI command through to the
// device and switch its identify light, both through the attachment; a
// device without one answers both with a bad parameter. Neither opens a
// firmware handle of its own.
class VynCDROMDrive : public CDROMDrive, public VynScsiFields {
public:
    VynCDROMDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID);
    ~VynCDROMDrive() override;
    VynCDROMDrive(const VynCDROMDrive&) = delete;
    VynCDROMDrive& operator=(const VynCDROMDrive&) = delete;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    // The base's attributes, then the SCSI fields.
    void writeTo(Writer* writer) const override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    Ret identifyDevice(bool on) override;
};

class VynTapeDrive : public TapeDrive, public VynScsiFields {
public:
    VynTapeDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID);
    ~VynTapeDrive() override;
    VynTapeDrive(const VynTapeDrive&) = delete;
    VynTapeDrive& operator=(const VynTapeDrive&) = delete;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    // The base's attributes, then the SCSI fields.
    void writeTo(Writer* writer) const override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    Ret identifyDevice(bool on) override;
};

class VynOtherDevice : public OtherDevice, public VynScsiFields {
public:
    VynOtherDevice(VynAdapter* adapter, Channel* channel, unsigned long deviceID, EnumPhysicalDeviceType type);
    ~VynOtherDevice() override;
    VynOtherDevice(const VynOtherDevice&) = delete;
    VynOtherDevice& operator=(const VynOtherDevice&) = delete;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    // The base's attributes, then the SCSI fields.
    void writeTo(Writer* writer) const override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    Ret identifyDevice(bool on) override;
};

#endif
