#include "cli/commands/OnOffSetting.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/Copyback.h"
#include "cli/commands/FailOver.h"
#include "cli/commands/OrvexaWrite.h"
#include "cli/commands/SetNCQ.h"
#include "cli/commands/SetStatisticDataCollection.h"
#include "common/Addr.h"

#include <strings.h>

namespace {

// API status: the SSD write cache already has the requested state.
constexpr unsigned ORVEXA_ALREADY_SET = 643;

const char* const NOT_SUPPORTED = "The requested feature is not supported on this controller.\n";

}  // namespace

OnOffSetting::OnOffSetting(const char* keyword, const char* description, Visibility visibility, Words words,
                           const char* fullMenuLine)
    : UcliCommand(keyword, description, visibility, fullMenuLine), words_(words)
{
}

int OnOffSetting::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    const char* on = words_ == OnOff ? "On" : "ENABLE";
    const char* off = words_ == OnOff ? "Off" : "DISABLE";
    if (strcasecmp(argv[3], on) == 0)
        flag = true;
    else if (strcasecmp(argv[3], off) == 0)
        flag = false;
    else
        return 3;
    if (argc != 4)
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int OnOffSetting::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    const int early = checkBeforeCall(*adapter);
    if (early >= 0)
        return early;
    returnCodes = call(*lib, controllerAddress(adapterNumber));
    return interpret(returnCodes);
}

int OnOffSetting::interpret(const Ret&)
{
    return 5;
}

// COPYBACK --------------------------------------------------------------------

int Copyback::checkBeforeCall(Adapter& adapter)
{
    if (adapter.IsCopyBackEnabled() == flag) {
        myprintf(stdout, "Copy back is already turned %s.\n", onOffText());
        return 2;
    }
    return -1;
}

Ret Copyback::call(StorLibPlugin& lib, const Addr& addr)
{
    return lib.setCopyBack(addr, flag);
}

void Copyback::displayHelp()
{
    myprintf(stdout, " Usage: COPYBACK <Controller#> <on|off> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller copy back mode.  Copy back attempts\n to keep drives in the original "
                     "slot order after rebuilds.\n");
}

// FAILOVER --------------------------------------------------------------------

int FailOver::checkBeforeCall(Adapter& adapter)
{
    if (adapter.IsAutoFailoverEnabled() == flag) {
        myprintf(stdout, "Automatic Failover is already turned %s.\n", onOffText());
        return 2;
    }
    return -1;
}

Ret FailOver::call(StorLibPlugin& lib, const Addr& addr)
{
    return lib.setAutoFailover(addr, flag);
}

void FailOver::displayHelp()
{
    myprintf(stdout, " Usage: FAILOVER <Controller#> <on/off> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller automatic failover mode.\n");
}

// SETNCQ ----------------------------------------------------------------------

int SetNCQ::checkBeforeCall(Adapter& adapter)
{
    if (adapter.isSataNCQEnabled() == flag) {
        myprintf(stdout, flag ? "NCQ is already enabled for controller %d.\n"
                              : "NCQ is already disabled for controller %d.\n",
                 adapterNumber + 1);
        return 2;
    }
    myprintf(stdout, "\n");
    myprintf(stdout, "WARNING : NCQ setting changes will be reflected only after next power cycle.\n");
    return -1;
}

Ret SetNCQ::call(StorLibPlugin& lib, const Addr& addr)
{
    return lib.setSataNCQ(addr, flag);
}

void SetNCQ::displayHelp()
{
    myprintf(stdout, " Usage: SETNCQ <Controller#> <NCQ mode> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller NCQ status.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    NCQ mode :\n");
    myprintf(stdout, "        Enable  - Enables NCQ\n");
    myprintf(stdout, "        Disable - Disables NCQ\n");
}

// SETSTATSDATACOLLECTION ------------------------------------------------------

int SetStatisticDataCollection::checkBeforeCall(Adapter& adapter)
{
    if (adapter.getFeature(featAdapterStatsDataCollectionMode) == 0) {
        myprintf(stdout, "%s", NOT_SUPPORTED);
        return 2;
    }
    if (adapter.isStatisticDataCollectionEnabled() == flag) {
        myprintf(stdout, flag ? "Statistics data collection is already enabled for controller %d.\n"
                              : "Statistics data collection is already disabled for controller %d.\n",
                 adapterNumber + 1);
        return 2;
    }
    myprintf(stdout, "\n");
    return -1;
}

Ret SetStatisticDataCollection::call(StorLibPlugin& lib, const Addr& addr)
{
    return lib.setStatisticDataCollectionMode(addr, flag);
}

void SetStatisticDataCollection::displayHelp()
{
    myprintf(stdout, " Usage: SETSTATSDATACOLLECTION <Controller#> <STATSDATACOLLECTION mode> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller statistics data collection modes.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    STATSDATACOLLECTION mode :\n");
    myprintf(stdout, "        Enable  - Enables statistics data collection\n");
    myprintf(stdout, "        Disable - Disables statistics data collection\n");
}

// ORVEXAWRITECACHE ------------------------------------------------------------

int OrvexaWrite::checkBeforeCall(Adapter& adapter)
{
    // Controller models whose name begins with a digit up to '5' have no SSD
    // write cache.
    const char* name = adapter.getDeviceName();
    if (name != nullptr && name[0] != '\0' && !(name[0] > '5')) {
        myprintf(stdout, "%s", NOT_SUPPORTED);
        return 2;
    }
    return -1;
}

Ret OrvexaWrite::call(StorLibPlugin& lib, const Addr& addr)
{
    return lib.setOrvexaWrite(addr, flag);
}

int OrvexaWrite::interpret(const Ret& ret)
{
    if (ret.getAPIReturn() == ORVEXA_ALREADY_SET) {
        myprintf(stdout, "Orvexa is already turned %s.\n", onOffText());
        return 2;
    }
    return 5;
}

void OrvexaWrite::displayHelp()
{
    myprintf(stdout, " Usage: ORVEXAWRITECACHE <Controller#> <on|off> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller Orvexa write cache mode\n");
}
