#include "cli/commands/SetPriority.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Progress.h"
#include "common/Ret.h"

#include <strings.h>

namespace {

const char* const kKeyword = "SETPRIORITY";

bool isWord(const char* word, const char* expected)
{
    return word != nullptr && strcasecmp(word, expected) == 0;
}

bool readPriority(const char* word, EnumPriorityLevel& priority)
{
    const struct {
        const char* word;
        EnumPriorityLevel level;
    } levels[] = {{"Low", PRIORITY_LOW}, {"Medium", PRIORITY_MEDIUM}, {"High", PRIORITY_HIGH}};
    for (const auto& l : levels) {
        if (isWord(word, l.word)) {
            priority = l.level;
            return true;
        }
    }
    return false;
}

}  // namespace

int SetPriority::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    current = false;
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    int next = 3;
    const int number = ascii2int(argv[next]);
    global = number == CLI_NAN;
    if (!global) {
        taskID = static_cast<unsigned long>(number);
        ++next;
    }
    if (next >= argc || !readPriority(argv[next], priority))
        return 3;
    ++next;
    if (next < argc) {
        current = isWord(argv[next], "current");
        ++next;
    }
    if (next < argc)
        return 3;
    debugArgumentsValid(kKeyword);
    return 0;
}

int SetPriority::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    return global ? executeGlobalSetPriority(lib) : executeTaskSetPriority(lib);
}

int SetPriority::executeTaskSetPriority(StorLibPlugin* lib)
{
    if (lib == nullptr || lib->getSystem() == nullptr) {
        myprintf(stdout, "\nSystem Failure.\n");
        return 1;
    }
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    bool found = false;
    Progress match;
    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", true)) {
        ProgressCollection tasks;
        returnCodes = lib->getTasks(logicalDriveAddress(adapterNumber, drive->getLogicalDriveID()), tasks);
        if (returnCodes.getReturn() != 0)
            continue;
        for (unsigned long i = 0; i < tasks.getSize() && !found; ++i) {
            if (tasks.getProgress(static_cast<int>(i))->getTaskID() == taskID) {
                match = *tasks.getProgress(static_cast<int>(i));
                found = true;
            }
        }
        if (found)
            break;
    }
    if (!found) {
        myprintf(stdout, "Task %d is not a valid logical device task ID.\n", static_cast<int>(taskID));
        return 2;
    }
    if (match.getPriority() == priority) {
        myprintf(stdout, "Task %d is already running at %s priority.\n", static_cast<int>(taskID),
                 getTaskPriority(priority));
        return 2;
    }
    keepOutcome(lib->setTaskPriority(controllerAddress(adapterNumber), taskID, priority));
    return 5;
}

int SetPriority::executeGlobalSetPriority(StorLibPlugin* lib)
{
    if (lib == nullptr || lib->getSystem() == nullptr) {
        myprintf(stdout, "\nSystem Failure.\n");
        return 1;
    }
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featDefaultLDTaskPriority) == 0) {
        myprintf(stdout, "The requested feature is not supported on this controller.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "The requested feature is supported and enabled.\n");
    if (adapter->getDefaultLDTaskPriority() == priority) {
        myprintf(stdout, "The controller global priority is already set to %s.\n", getTaskPriority(priority));
        return 2;
    }
    keepOutcome(lib->setDefaultLDTaskPriority(controllerAddress(adapterNumber), priority, current));
    return 5;
}

void SetPriority::displayHelp()
{
    static const char* const lines[] = {
        " Usage: SETPRIORITY <Controller#> [Task ID#] <New Priority> [current] [nologs]",
        nullptr,
        "",
        " Change a logical device current task execution priority.",
        " Change a controller's global background task priority.",
        "",
        "    Task ID#     : Optional Task ID number to be changed.  Can be found using GETSTATUS.",
        "                   Omit to set global task execution priority.",
        "    New Priority : The new priority ; LOW, MEDIUM, or HIGH",
        "    current      : Optional parameter to apply global priority setting to current tasks.",
        "                   Default behavior is to NOT apply global priority change to current tasks.",
    };
    for (const char* line : lines) {
        if (line == nullptr)
            printHelpRule();
        else
            myprintf(stdout, "%s\n", line);
    }
}
