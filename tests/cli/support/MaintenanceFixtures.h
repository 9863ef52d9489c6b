#ifndef VYN_TESTS_CLI_SUPPORT_MAINTENANCEFIXTURES_H
#define VYN_TESTS_CLI_SUPPORT_MAINTENANCEFIXTURES_H

#include "cli/support/Fixtures.h"
#include "cli/support/Scenario.h"

namespace vyntest {

// A controller whose drive-set protection is recorded in the scenario, as
// "protectHardDriveSet adapter=0 | [adapter=0,channel=0,device=2], true,
// false", answering the scenario's answer for "protectHardDriveSet", or for
// "unprotectHardDriveSet" when `protect` is false.
class FirmwareAdapter : public FixtureAdapter {
public:
    explicit FirmwareAdapter(Scenario* scenario) : scenario_(scenario) {}
    Ret protectHardDriveSet(AddrCollection& drives, bool protect, bool flag) override;

private:
    Scenario* scenario_;
};

// A drive whose firmware operations are recorded in the scenario:
// "readDriveFirmwareFile adapter=0,channel=0,device=2 | "file"" and
// "upgradeSATADriveFirmware ... | "file", 16384, 3" (SAS alike).
class FirmwareDrive : public FixtureHardDrive {
public:
    FirmwareDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, Scenario* scenario);
    Ret readDriveFirmwareFile(const char* file, Buffer& image) override;
    Ret upgradeSATADriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode) override;
    Ret upgradeSASDriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode) override;

private:
    Ret note(const char* operation, const std::string& arguments);
    Scenario* scenario_;
};

// For the "empty" fixture: one controller at position 0 as "basic" has it,
// but built of the recording classes above, so drive firmware and drive-set
// protection show in the call log. The scenario must outlive the trees.
TreeChange addFirmwareController(Scenario& scenario);

// Another controller like the one of "basic", at `position` (its adapter
// id), with `drives` ready SATA drives on channel 0.
TreeChange addBasicController(unsigned long position, int drives = 4);

// A device that is no hard drive (a processor device) at 0,`device`.
TreeChange addOtherDevice(unsigned long device);

}  // namespace vyntest

#endif
