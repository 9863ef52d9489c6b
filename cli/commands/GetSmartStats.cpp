#include "cli/commands/GetSmartStats.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/Ret.h"

#include <strings.h>

#include <memory>
#include <new>

namespace {

constexpr unsigned long SMART_BUFFER_SIZE = 0x300000;

}  // namespace

int GetSmartStats::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    tabular = false;
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (argc > 4)
        return 3;
    if (argc == 4 && strcasecmp(argv[3], "tabular") == 0)
        tabular = true;
    debugArgumentsValid("GETSMARTSTATS");
    return 0;
}

int GetSmartStats::execute(StorLibPlugin* lib)
{
    debugExecuting("GETSMARTSTATS");
    if (lib == nullptr || lib->getSystem() == nullptr)
        return 1;
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[SMART_BUFFER_SIZE]);
    if (buffer == nullptr)
        return 1;
    buffer[0] = '\0';
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
    unsigned long size = SMART_BUFFER_SIZE;
    returnCodes = lib->getSmartStats(addr, buffer.get(), size);
    if (returnCodes.getReturn() == 0) {
        buffer[SMART_BUFFER_SIZE - 1] = '\0';
        if (tabular)
            printXML(buffer.get(), nullptr);
        else
            myprintf(stdout, "%s\n", buffer.get());
    }
    return 5;
}

void GetSmartStats::displayHelp()
{
    myprintf(stdout, " Usage GETSMARTSTATS <Controller#> [tabular] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Obtains SMART statistics of all the hard drives attached to the controller.\n");
    myprintf(stdout, " tabular : Displays the specified log in tabular (vs XML) format.\n");
}
