// RESET, CLEARNVSRAM and RESCAN: one controller call each.
#include "cli/commands/ClearNvsRam.h"
#include "cli/commands/Rescan.h"
#include "cli/commands/Reset.h"

#include "RaidLib/StorLibPlugin.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"

#include <cstring>

// RESET -----------------------------------------------------------------------

int Reset::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc != 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    return 0;
}

int Reset::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    returnCodes = lib->resetController(controllerAddress(adapterNumber));
    return 5;
}

void Reset::displayHelp()
{
    myprintf(stdout, " Usage: RESET <Controller#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Resets controller with updated firmware to avoid required reboot.\n");
}

// CLEARNVSRAM -----------------------------------------------------------------

int ClearNvsRam::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc != 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int ClearNvsRam::execute(StorLibPlugin* lib)
{
    if (lib == nullptr || lib->getSystem() == nullptr) {
        myprintf(stdout, "\nSystem Failure.\n");
        return 1;
    }
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    returnCodes = lib->clearControllerNvsRam(controllerAddress(adapterNumber));
    return 5;
}

void ClearNvsRam::displayHelp()
{
    myprintf(stdout, " Usage: CLEARNVSRAM <Controller#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Clears the SAS NVSRAM layout.\n");
}

// RESCAN ----------------------------------------------------------------------

int Rescan::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    force = false;
    if (argc < 3 || argc > 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (argc == 4) {
        if (std::strncmp(argv[3], "force", 5) != 0)
            return 3;
        force = true;
    }
    return 0;
}

int Rescan::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    returnCodes = lib->syncRescan(controllerAddress(adapterNumber));
    return 5;
}

void Rescan::displayHelp()
{
    myprintf(stdout, " Usage: RESCAN <Controller#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Scan for any change in available drives.\n");
}
