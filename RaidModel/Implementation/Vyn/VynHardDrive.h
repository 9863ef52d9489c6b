#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHARDDRIVE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHARDDRIVE_H

#include <cstdint>
#include <string>

#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Interface/HardDrive.h"

class VynAdapter;
class VynPhysicalDeviceAttach;

// A disk behind a controller of the family. The tree build makes it Ready
// with its size in 512-byte blocks and empty texts; its attachment carries
// the firmware records.
//
// Every change opens a read-write firmware handle of its own for the length
// of the call and leaves the tree as it is: the next tree the controller
// builds shows the new state. A drive without an attachment has no address
// to give the firmware and answers every operation with a bad parameter.
class VynHardDrive : public HardDrive, public VynScsiFields {
public:
    VynHardDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size);
    ~VynHardDrive() override;
    VynHardDrive(const VynHardDrive&) = delete;
    VynHardDrive& operator=(const VynHardDrive&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;

    // Only Failed (2: every partition of the drive that serves a logical
    // drive is failed) and Rebuilding (5: verify and replace) are asked of
    // the firmware; any other state is a bad parameter.
    Ret setState(EnumPhysicalDeviceState state) override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    // Blinks the drive's locate light through its attachment: by the
    // enclosure that holds it, else by the controller.
    Ret identifyDevice(bool on) override;
    Ret getSmartInfoById(char* id, char* buffer, unsigned long& size) override;
    // The firmware's cache policy of the drive: 1 with the write cache on,
    // 0 with it off.
    Ret setWriteCacheEnable(bool enable) override;
    // Mode 0 switches the write cache on, every other mode off.
    Ret setPhysicalDriveCache(EnumHardDriveCacheMode mode) override;
    Ret initializeHardDrive() override;
    // Forces the drive down (failed) or, with false, enables it again.
    Ret downHardDrive(bool force) override;
    // The diagnostic states are the firmware's 132-byte result records.
    Ret startDiskDiagnostic(EnumDiskDiagType type) override;
    Ret abortDiskDiagnostic() override;
    Ret getDiskDiagnosticProgress(DISK_DIAGNOSTIC_STATE& state) override;
    Ret getDiskDiagnosticResults(DISK_DIAGNOSTIC_STATE& state) override;
    // Tasks 1 verify, 2 verify and replace, 3 clear, 4 secure erase (only on
    // a controller that has it; `argument` is then the drive's ATA
    // password).
    Ret startTask(EnumHardDriveTask task, const char* argument) override;
    // The first firmware task of the drive; none leaves the record with only
    // the drive's address.
    Ret getProgress(Progress& progress) override;
    // Adds the drive's record, task or not, when it could be read.
    Ret getProgress(ProgressCollection& out) override;
    // The SMART error count the firmware reported for the drive.
    int getPfaWarn() override;
    Ret createJBOD() override;
    Ret deleteJBOD() override;
    // The caller's zero-terminated password goes to the firmware as it is.
    Ret setATASecurePassword(const char* password) override;
    Ret clearATASecurePassword(const char* password) override;
    // Controller-wide: the drive only names the controller.
    Ret SetWearOutParams(unsigned long first, unsigned long second, unsigned long third) override;

    // New drive firmware from an image file, in chunks of `chunkSize` bytes
    // through the drive's own pass-through: DOWNLOAD MICROCODE inside ATA
    // PASS-THROUGH (12) for a SATA drive (whole 512-byte blocks only), WRITE
    // BUFFER for a SAS drive. The image is read once per drive object and
    // read again when another file is named.
    Ret upgradeSATADriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode) override;
    Ret upgradeSASDriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode) override;
    // Word `index` (0 to 255) of a SATA drive's IDENTIFY DEVICE data.
    Ret GetSataIdentifyWord(unsigned long index, unsigned long* word) override;
    // The whole file into `image`: -2 when it cannot be opened, sized or
    // read whole, or is empty; -3 when memory is short.
    Ret readDriveFirmwareFile(const char* path, Buffer& image) override;
    // The chunk loops of the two upgrades.
    Ret flashSataHarddrive(const char* file, unsigned long chunkSize, unsigned char mode);
    Ret flashSasHarddrive(const char* file, unsigned long chunkSize, unsigned char mode);

    // Spare roles. A drive the controller does not use yet is initialised
    // for it before it stands by; the dedicated forms name logical drives
    // by their addresses under this drive's controller. Removing the
    // dedicated protection of some drives checks every address before any
    // change. Candidates are only proposed by the firmware: creating one
    // is not supported (-1).
    Ret createGlobalHotSpare() override;
    Ret createAssignedHotSpare(const AddrCollection& logicalDrives) override;
    Ret createAssignedHotSpare(LogicalDrive* logicalDrive) override;
    Ret createCandidateHotSpare() override;
    // Drops every role the tree shows: candidate, then global, then each
    // dedicated protection.
    Ret deleteHotSpare() override;
    Ret deleteAssignedHotSpare(const AddrCollection& logicalDrives) override;

    VynAdapter* getVynAdapter() const { return vynAdapter; }
    unsigned long getDisksetID() const { return disksetID; }
    unsigned long long getNumUsableBlocks() const { return numUsableBlocks; }
    int getClusterState() const { return clusterState; }

private:
    // Its attachment fills the usable sizes from the device record.
    friend class VynPhysicalDeviceAttach;

    // The attachment, when the drive has one of the family.
    VynPhysicalDeviceAttach* fsaAttachment() const;

    VynAdapter* vynAdapter;
    unsigned long long vynMaxUsableBlocks = 0;
    unsigned long long numUsableBlocks = 0;
    int32_t clusterState = 0;
    uint32_t disksetID = 0x7FFFFFFF;
    // The file the image buffer was last filled from ("" when it holds
    // nothing read by this drive).
    std::string imageFile;
};

#endif
