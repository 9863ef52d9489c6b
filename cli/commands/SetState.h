#ifndef VYN_CLI_COMMANDS_SETSTATE_H
#define VYN_CLI_COMMANDS_SETSTATE_H

#include "RaidModel/Interface/ModelEnums.h"
#include "cli/UcliFunction.h"
#include "common/AddrCollection.h"

class Adapter;
class HardDrive;
class LogicalDrive;

// SETSTATE: makes and removes hot spares, sets drives ready or failed, and
// forces a failed logical drive back online.
class SetState : public UcliCommand {
public:
    SetState()
        : UcliCommand("SETSTATE",
                      "manually sets the state of a physical or logical device",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // What canProtect finds for a spare and a logical drive.
    enum Protection {
        CAN_PROTECT = 1,
        INVALID_RAID_LEVEL = 2,
        SPARE_TOO_SMALL = 3,
        SATA_CANNOT_PROTECT_SAS = 4,
        SAS_CANNOT_PROTECT_SATA = 5,
        MEMBER_NOT_FOUND = 6
    };
    static int canProtect(Adapter* adapter, HardDrive* spare, LogicalDrive* logicalDrive);

private:
    int loadLogicalArguments(char** argv, int argc);
    int loadPhysicalArguments(char** argv, int argc, Adapter* adapter);
    int executeLogicalSetState(StorLibPlugin* lib);
    int executePhysicalSetState(StorLibPlugin* lib);
    int makeHotSpare(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive);
    int forceVynLogDriveOnline(StorLibPlugin* lib, LogicalDrive* drive);

    unsigned long logicalDrive = 0;
    unsigned long channel = 0;
    unsigned long deviceID = 0;
    bool dedicatedList = false;
    int dedicatedCount = 0;
    AddrCollection logicalDrives;
    EnumPhysicalDeviceState requestedPhysical = PD_READY;
    EnumPhysicalDeviceState currentPhysical = PD_READY;
    EnumLogicalDeviceState requestedLogical = LD_OPTIMAL;
    bool familyController = false;
    bool deviceMode = false;
    bool advanced = false;
    EnumLogicalDeviceFOCmd forceOnlineCommand = static_cast<EnumLogicalDeviceFOCmd>(1);
};

#endif
