#include "cli/commands/GetXML.h"

#include "RaidLib/StorLibPlugin.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <strings.h>

int GetXML::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    tabular = false;
    if (argc > 3)
        return 3;
    if (argc == 3 && strcasecmp(argv[2], "tabular") == 0)
        tabular = true;
    debugArgumentsValid("GETXML");
    return 0;
}

int GetXML::execute(StorLibPlugin* lib)
{
    debugExecuting("GETXML");
    if (lib == nullptr)
        return 1;
    char* xml = nullptr;
    returnCodes = lib->getSystemConfig(&xml);
    if (returnCodes.getReturn() != 0 || xml == nullptr) {
        lib->freeBuffer(xml);
        return 5;
    }
    if (tabular)
        printXML(xml, nullptr);
    else
        myprintf(stdout, "%s\n", xml);
    lib->freeBuffer(xml);
    return 0;
}

void GetXML::displayHelp()
{
    myprintf(stdout, " Usage: GETXML [tabular] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Displays current system configuration.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    tabular: Displays the configuration in tabular (vs XML) format.\n");
}
