#include "cli/commands/GetConfig.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"

#include <strings.h>

#include <string>

namespace {

void printSection(const char* title)
{
    static const std::string rule(70, '-');
    myprintf(CONFIGOUT, "%s\n", rule.c_str());
    myprintf(CONFIGOUT, "%s\n", title);
    myprintf(CONFIGOUT, "%s\n", rule.c_str());
}

bool is(const char* word, const char* keyword)
{
    return strcasecmp(word, keyword) == 0;
}

}  // namespace

int GetConfig::loadAdapterNumberArgs(char** argv, int argc)
{
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    return 0;
}

int GetConfig::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    mode = All;
    logicalDriveNumber = 0;
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    int words = 3;
    if (argc > 3) {
        const char* option = argv[3];
        words = 4;
        if (is(option, "AD")) {
            mode = AdapterOnly;
        } else if (is(option, "LD")) {
            mode = LogicalDrives;
            if (argc > 4) {
                const int number = ascii2int(argv[4]);
                if (number == CLI_NAN)
                    return 3;
                mode = OneLogicalDrive;
                logicalDriveNumber = static_cast<unsigned>(number);
                words = 5;
            }
        } else if (is(option, "PD")) {
            mode = PhysicalDevices;
        } else if (is(option, "AL")) {
            mode = All;
        } else {
            return 3;
        }
    }
    if (argc > words)
        return 3;
    debugArgumentsValid("GETCONFIG");
    return 0;
}

int GetConfig::execute(StorLibPlugin* lib)
{
    debugExecuting("GETCONFIG");
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;

    if (mode == All || mode == AdapterOnly) {
        printSection("Controller information");
        printAdapter(adapter);
        myprintf(CONFIGOUT, "\n");
    }

    if (mode == All || mode == OneLogicalDrive || mode == LogicalDrives) {
        printSection("Logical device information");
        const std::vector<LogicalDrive*> drives = collect<LogicalDrive>(adapter, "LogicalDrive", true);
        bool matched = false;
        for (LogicalDrive* drive : drives) {
            if (mode == OneLogicalDrive && drive->getLogicalDriveID() != logicalDriveNumber)
                continue;
            matched = true;
            printLogicalDrive(drive);
        }
        if (mode == OneLogicalDrive && !matched)
            myprintf(CONFIGOUT, "Logical device number %u does not exist\n", logicalDriveNumber);
        if (drives.empty())
            myprintf(CONFIGOUT, "   No logical devices configured\n");
        myprintf(CONFIGOUT, "\n");
    }

    if (mode == All || mode == PhysicalDevices) {
        printSection("Physical Device information");
        const std::vector<Channel*> channels = collect<Channel>(adapter, "Channel", true);
        if (!channels.empty() && channels.front()->getChannelType() == CHANNEL_TYPE_SAS) {
            printSASPhysicalDevices(adapter);
        } else {
            for (Channel* channel : channels)
                printChannel(adapter, channel);
        }
        myprintf(CONFIGOUT, "\n");
    }
    return 0;
}

void GetConfig::displayHelp()
{
    myprintf(stdout, " Usage: GETCONFIG <Controller#> [AD | LD [LD#] | PD | [AL]] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Prints controller configuration information.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Option  AD  : Adapter information only\n");
    myprintf(stdout, "            LD  : Logical device information only\n");
    myprintf(stdout, "            LD# : Optionally display information about the specified logical device\n");
    myprintf(stdout, "            PD  : Physical device information only\n");
    myprintf(stdout, "            AL  : All information (optional)\n");
}
