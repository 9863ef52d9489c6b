#include "cli/commands/AtaPassword.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/System.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"

#include <cstring>
#include <strings.h>

int AtaPassword::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc != 7 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (strcasecmp(argv[3], "SET") == 0)
        set = true;
    else if (strcasecmp(argv[3], "CLEAR") == 0)
        set = false;
    else
        return 3;
    password = argv[4];
    // Longer passwords would be cut by the drive's security field and then
    // never match again.
    if (std::strlen(password) > MAX_PASSWORD_LENGTH)
        return 3;
    channel = ascii2int(argv[5]);
    device = ascii2int(argv[6]);
    if (channel == CLI_NAN || device == CLI_NAN)
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int AtaPassword::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    const Addr addr =
        deviceAddress(adapterNumber, static_cast<unsigned long>(channel), static_cast<unsigned long>(device));
    RaidObject* object = lib != nullptr && lib->getSystem() != nullptr ? lib->getSystem()->getObject(addr) : nullptr;
    if (object == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    if (!object->isInstanceOf("HardDrive") || !static_cast<HardDrive*>(object)->IsATAsecuritySupport()) {
        myprintf(stderr, "The requested feature is not supported on this device.\n");
        return 2;
    }
    myprintf(stdout, set ? "Setting the ATA security password on the SATA harddrive \n"
                         : "Clearing the ATA security password on the SATA harddrive\n");
    if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    returnCodes = lib->configureATAPassword(addr, password, set);
    return 5;
}

void AtaPassword::displayHelp()
{
    myprintf(stdout, "Usage: ATAPASSWORD <Controller#> SET <NEW PASSWORD> <Channel# ID#> [nologs]\n");
    myprintf(stdout, "Usage: ATAPASSWORD <Controller#> CLEAR <CURRENT PASSWORD> <Channel# ID#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Settings of password on the physical drive for secure erase\n");
}
