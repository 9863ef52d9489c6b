#include "cli/commands/SetName.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <strings.h>

#include <cstring>

namespace {

const char* const kKeyword = "SETNAME";

bool isBlank(const char* name)
{
    for (const char* c = name; *c != '\0'; ++c)
        if (*c != ' ')
            return false;
    return true;
}

}  // namespace

int SetName::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    newName = nullptr;
    if (argc < 5 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (argv[3] == nullptr || strcasecmp(argv[3], "LOGICALDRIVE") != 0)
        return 3;
    const int number = ascii2int(argv[4]);
    if (number == CLI_NAN || argc < 6)
        return 3;
    logicalDrive = static_cast<unsigned long>(number);
    newName = argv[5];
    if (checkNameRange(newName) == CLI_NAN) {
        myprintf(stdout, "\nOne or more characters in the logical device name is invalid.\n");
        return 3;
    }
    if (isBlank(newName)) {
        myprintf(stdout, "\nLogical device name cannot be blank.\n");
        return 3;
    }
    if (std::strlen(newName) > MAX_NAME_LENGTH) {
        myprintf(stdout, "\nLogical device name must be no more than %d characters\n",
                 static_cast<int>(MAX_NAME_LENGTH));
        return 3;
    }
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    // The drive's own name counts too, in any case.
    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
        if (strcasecmp(drive->getName(), newName) == 0) {
            myprintf(stdout, "\nThere exists another logical device with that name.\n");
            return 3;
        }
    }
    if (argc > 6)
        return 3;
    debugArgumentsValid(kKeyword);
    return 0;
}

int SetName::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    LogicalDrive* drive = findLogicalDrive(findAdapter(lib, adapterNumber), logicalDrive);
    if (drive == nullptr) {
        myprintf(stdout, "Logical device does not exist.\n");
        return 2;
    }
    const EnumLogicalDeviceState state = drive->getState();
    if (state == LD_RECONFIGURING || state == LD_DEGRADED_RECONFIGURING || state == LD_SUBOPTIMAL_RECONFIGURING) {
        myprintf(stdout, "Reconfiguring logical devices cannot be renamed.\n");
        return 2;
    }
    Progress current;
    if (firstTask(lib, logicalDriveAddress(adapterNumber, logicalDrive), current) && isRunningTask(current)) {
        myprintf(stdout, "There is a task running on the logical device.  Cannot alter the configuration.\n");
        return 2;
    }
    keepOutcome(drive->setName(newName));
    return 5;
}

void SetName::displayHelp()
{
    static const char* const lines[] = {
        " Usage: SETNAME <Controller#> LOGICALDRIVE <LogicalDrive#> <New Name> [nologs]",
        nullptr,
        "",
        " Rename a logical device.",
        "",
        "    LogicalDrive# : Number of the logical device to be renamed",
        "    New Name      : New name of the logical device.",
    };
    for (const char* line : lines) {
        if (line == nullptr)
            printHelpRule();
        else
            myprintf(stdout, "%s\n", line);
    }
}
