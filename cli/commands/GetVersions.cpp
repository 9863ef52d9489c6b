#include "cli/commands/GetVersions.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Implementation/Vyn/VynAdapterLimits.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/System.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"

namespace {

const char* label(const char* text, char (&layout)[GETVERSION_LABEL_WIDTH])
{
    return getFormattedString(0, text, GETVERSION_LABEL_WIDTH, layout);
}

void printAdapterVersions(Adapter* adapter)
{
    char layout[GETVERSION_LABEL_WIDTH];
    myprintf(stdout, "Controller #%d\n", static_cast<int>(adapter->getAdapterID()) + 1);
    myprintf(stdout, "==============\n");
    myprintf(stdout, "%s: %s (%d)\n", label("Firmware", layout), adapter->getFirmwareVersion(),
             static_cast<int>(adapter->getFwBuildNum()));
    const VynAdapterLimits* family = vynAdapterLimits(adapter);
    const unsigned long staged = family != nullptr ? family->getStagedBuildNum() : 0;
    if (staged != 0)
        myprintf(stdout, "%s: %s (%d)\n", label("Staged Firmware", layout), adapter->getStagedVersion(),
                 static_cast<int>(staged));
    myprintf(stdout, "%s: %s (%d)\n", label("BIOS", layout), adapter->getBiosVersion(),
             static_cast<int>(adapter->getBiosBuildNum()));
    myprintf(stdout, "%s: %s (%d)\n", label("Driver", layout), adapter->getDeviceDriverVersion(),
             static_cast<int>(adapter->getDriverBuildNum()));
    myprintf(stdout, "%s: %s (%u)\n", label("Boot Flash", layout), adapter->getFirmwareBootVersion(),
             static_cast<unsigned>(adapter->getFwBootBuildNum()));
    myprintf(stdout, "\n");
}

}  // namespace

int GetVersions::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    allControllers = true;
    adapterNumber = -1;
    if (argc > 3)
        return 3;
    if (argc == 3) {
        if (!readControllerWord(argv[2], adapterNumber))
            return 3;
        if (findAdapter(lib, adapterNumber) == nullptr)
            return 6;
        allControllers = false;
    }
    debugArgumentsValid("GETVERSION");
    return 0;
}

int GetVersions::execute(StorLibPlugin* lib)
{
    debugExecuting("GETVERSION");
    if (lib == nullptr)
        return 1;
    for (Adapter* adapter : collect<Adapter>(lib->getSystem(), "Adapter", false)) {
        if (allControllers || static_cast<int>(adapter->getAdapterID()) == adapterNumber)
            printAdapterVersions(adapter);
    }
    return 0;
}

void GetVersions::displayHelp()
{
    myprintf(stdout, " Usage: GETVERSION [Controller#] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Prints version information for all controllers.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    [Controller#] optional parameter to print version information about\n");
    myprintf(stdout, "    only the specified controller.\n");
}
