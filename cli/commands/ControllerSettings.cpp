// RESETSTATISTICSCOUNTERS, SETPERFORM, DATASCRUB and SETVMCREDENTIAL.
#include "cli/commands/DataScrub.h"
#include "cli/commands/ResetStatisticsCounters.h"
#include "cli/commands/SetPerform.h"
#include "cli/commands/SetVMCredential.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"

#include <strings.h>

namespace {

const char* const NOT_SUPPORTED = "The requested feature is not supported on this controller.\n";

// API status of setDataScrubActive that still lets the period be set.
constexpr unsigned SCRUB_ALREADY_ACTIVE = 505;
constexpr int MIN_SCRUB_DAYS = 10;
constexpr int MAX_SCRUB_DAYS = 365;


struct PerformanceMode {
    int word;
    int mode;
    const char* name;
};

const PerformanceMode performanceModes[] = {
    {1, 0, "Default/Dynamic"},
    {2, 3, "OLTP/Database"},
    {3, 11, "Big Block Bypass"},
};

}  // namespace

// RESETSTATISTICSCOUNTERS -----------------------------------------------------

int ResetStatisticsCounters::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    // One word after the controller number is accepted and passed over.
    if (argc < 3 || argc > 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int ResetStatisticsCounters::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featAdapterStatsResetCounters) == 0) {
        myprintf(stdout, "%s", NOT_SUPPORTED);
        return 2;
    }
    myprintf(stdout, "\n");
    returnCodes = lib->resetStatisticsCounters(controllerAddress(adapterNumber));
    return 5;
}

void ResetStatisticsCounters::displayHelp()
{
    myprintf(stdout, " Usage: RESETSTATISTICSCOUNTERS<Controller#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Resets the controller statistics counters.\n");
}

// SETPERFORM ------------------------------------------------------------------

int SetPerform::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc != 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    const int word = ascii2int(argv[3]);
    for (const PerformanceMode& p : performanceModes) {
        if (p.word == word) {
            mode = p.mode;
            debugArgumentsValid(keyword());
            return 0;
        }
    }
    return 3;
}

int SetPerform::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (lib == nullptr || lib->getSystem() == nullptr) {
        myprintf(stdout, "\nSystem Failure.\n");
        return 1;
    }
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featPerformanceMode) == 0) {
        myprintf(stdout, "%s", NOT_SUPPORTED);
        return 2;
    }
    if (adapter->getSupportedPerformanceModes() == 0) {
        myprintf(stdout, "%s", NOT_SUPPORTED);
        return 17;
    }
    if (static_cast<int>(adapter->getPerformanceMode()) == mode) {
        const char* name = "";
        for (const PerformanceMode& p : performanceModes)
            if (p.mode == mode)
                name = p.name;
        myprintf(stdout, "Controller %d is already configured for %s.\n", adapterNumber + 1, name);
        return 2;
    }
    returnCodes = lib->setPerformanceMode(controllerAddress(adapterNumber), static_cast<EnumPerformanceMode>(mode));
    return 5;
}

void SetPerform::displayHelp()
{
    myprintf(stdout, " Usage: SETPERFORM <Controller#> <Performance Mode> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Changes adapter settings based on application.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Performance Mode :\n");
    myprintf(stdout, "        1  - Default/Dynamic mode\n");
    myprintf(stdout, "        2  - OLTP/Database\n");
    myprintf(stdout, "        3  - Big Block Bypass mode\n");
}

// DATASCRUB -------------------------------------------------------------------

int DataScrub::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    period = 0;
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (strcasecmp(argv[3], "On") == 0 || strcasecmp(argv[3], "Off") == 0) {
        flag = strcasecmp(argv[3], "On") == 0;
        if (argc != 4)
            return 3;
    } else if (strcasecmp(argv[3], "period") == 0) {
        if (argc < 5)
            return 3;
        const int days = ascii2int(argv[4]);
        if (days == CLI_NAN)
            return 3;
        if (days < MIN_SCRUB_DAYS || days > MAX_SCRUB_DAYS) {
            myprintf(stderr, "background consistency check period must be between %d and %d days inclusive.\n",
                     MIN_SCRUB_DAYS, MAX_SCRUB_DAYS);
            return 3;
        }
        if (argc != 5)
            return 3;
        flag = true;
        period = days;
    } else {
        return 3;
    }
    debugArgumentsValid(keyword());
    return 0;
}

int DataScrub::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    const Addr addr = controllerAddress(adapterNumber);
    if (period == 0) {
        returnCodes = lib->setDataScrubActive(addr, flag);
        return 5;
    }
    myprintf(stdout, "Setting the period will automatically turn on background consistency check.\n");
    if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    returnCodes = lib->setDataScrubActive(addr, true);
    if (returnCodes.getReturn() == 0 || returnCodes.getAPIReturn() == SCRUB_ALREADY_ACTIVE)
        returnCodes = lib->setDataScrubRate(addr, static_cast<unsigned long>(period));
    return 5;
}

void DataScrub::displayHelp()
{
    myprintf(stdout, " Usage: DATASCRUB <Controller#> <on|off|period <DAYS>> [noprompt] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Toggles the controller background consistency check mode.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    period <DAYS> : Minimum of 10 days (quick), maximum of 365 days (slow).\n");
}

// SETVMCREDENTIAL -------------------------------------------------------------

void SetVMCredential::displayHelp()
{
    myprintf(stdout, " Usage: SETVMCREDENTIAL <ESXIP> <ESXCIMOMPORT> <ESXUSERID> <ESXPASSWORD> [noprompt]\n");
}
