#include "cli/commands/SetConfig.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"

#include <strings.h>

int SetConfig::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc <= 3 || argc > 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (strcasecmp(argv[3], "DEFAULT") != 0)
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int SetConfig::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (confirmBeforeActing("WARNING: All data and partitions on all configured logical devices will be lost!\n"
                            "Do you wish to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    const Addr addr = controllerAddress(adapterNumber);
    lib->setPMControllerStayAwakePeriod(addr, 0, 0, 0, 0);
    lib->setPMControllerSpinupLimits(addr, 0, 0);

    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
        const Addr ldAddr = logicalDriveAddress(adapterNumber, drive->getLogicalDriveID());
        lib->abortTask(ldAddr, 0);
        returnCodes = lib->deleteLogicalDrive(ldAddr);
        if (returnCodes.getReturn() != 0)
            return 5;
    }

    // The deletions changed the drives' states: read them again.
    lib->getSystemConfig();
    adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr) {
        myprintf(stdout, "Unable to finish configuration reset!\n");
        return 1;
    }
    for (HardDrive* drive : collect<HardDrive>(adapter, "HardDrive", false)) {
        const Addr driveAddr = deviceAddress(adapterNumber, drive->getChannelID(), drive->getDeviceID());
        if (drive->getState() == PD_READY)
            continue;
        if (drive->getState() == PD_HOT_SPARE) {
            returnCodes = lib->deleteSpare(driveAddr);
        } else if (drive->IsNonSpinning() && drive->IsOrvexaCapable() && drive->IsOrvexaAssigned()) {
            AddrCollection member;
            member.addAddr(driveAddr);
            returnCodes = adapter->removeDriveFromOrvexaPool(member);
        } else if (drive->isJBOD()) {
            returnCodes = drive->deleteJBOD();
        } else {
            returnCodes = lib->setDeviceState(driveAddr, PD_READY);
        }
        if (returnCodes.getReturn() != 0)
            return 5;
    }
    return 0;
}

void SetConfig::displayHelp()
{
    myprintf(stdout, " Usage: SETCONFIG <Controller#> DEFAULT [noprompt] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Resets the controller's configuration.  Logical devices\n are deleted, and hard drives are "
                     "reset to the ready state.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    noprompt : Don't prompt for confirmation.\n");
}
