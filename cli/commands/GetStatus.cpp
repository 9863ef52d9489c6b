#include "cli/commands/GetStatus.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/Ret.h"

#include <cstdarg>
#include <cstdio>

namespace {

bool hasId(std::uint32_t id)
{
    return id != Addr::UNSET_ID;
}

void printStatusLine(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));
void printStatusLine(const char* label, const char* format, ...)
{
    char layout[GETSTATUS_LABEL_WIDTH];
    char value[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(value, sizeof value, format, args);
    va_end(args);
    myprintf(stdout, "%s: %s\n", getFormattedString(1, label, GETSTATUS_LABEL_WIDTH, layout), value);
}

}  // namespace

int GetStatus::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (argc > 3)
        return 3;
    debugArgumentsValid("GETSTATUS");
    return 0;
}

void GetStatus::displayProgress(const Progress& record)
{
    const Addr& target = *record.getDeviceAddr();
    const bool onLogicalDrive = hasId(target.getLogicalDriveID());
    if (record.getType() == TASK_TYPE_NONE || (record.getType() == TASK_TYPE_BUILD_VERIFY && !onLogicalDrive))
        return;
    if (hasId(target.getChannelID()) && hasId(target.getDeviceID())) {
        myprintf(stdout, "Physical Device Task:\n");
        printStatusLine("Channel,Device", "%d,%d", static_cast<int>(target.getChannelID()),
                        static_cast<int>(target.getDeviceID()));
    } else if (onLogicalDrive) {
        myprintf(stdout, "Logical device Task:\n");
        printStatusLine("Logical device", "%d", static_cast<int>(target.getLogicalDriveID()));
    }
    printStatusLine("Task ID", "%d", static_cast<int>(record.getTaskID()));
    printStatusLine("Current operation", "%s", getTaskType(record.getType(), target));
    printStatusLine("Status", "%s", getTaskState(record.getStatus()));
    printStatusLine("Priority", "%s", getTaskPriority(record.getPriority()));
    if (record.getStatus() == TASK_STATE_IN_PROGRESS)
        printStatusLine("Percentage complete", "%d", static_cast<int>(record.getPercent()));
    myprintf(stdout, "\n");
    shown = true;
}

int GetStatus::execute(StorLibPlugin* lib)
{
    debugExecuting("GETSTATUS");
    shown = false;
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    const bool vyn = adapter->isInstanceOf("VynAdapter");
    logicalDriveLimit = vyn ? static_cast<unsigned long>(adapter->getMaxTopLevelLogicalDrives())
                            : static_cast<unsigned long>(adapter->getLimit(LIMIT_MAX_LOGICAL_DRIVES)) +
                                  static_cast<unsigned long>(adapter->getLimit(static_cast<Limit>(12)));
    const std::vector<LogicalDrive*> drives = collect<LogicalDrive>(adapter, "LogicalDrive", true);
    if (vyn) {
        for (LogicalDrive* drive : drives) {
            Addr addr;
            addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
            addr.setLogicalDriveID(static_cast<std::uint32_t>(drive->getLogicalDriveID()));
            ProgressCollection tasks;
            returnCodes = lib->getTasks(addr, tasks);
            if (returnCodes.getReturn() != 0)
                continue;
            for (unsigned long i = 0; i < tasks.getSize(); ++i)
                if (drive->getLogicalDriveID() < logicalDriveLimit)
                    displayProgress(*tasks.getProgress(static_cast<int>(i)));
        }
        for (PhysicalDevice* device : collect<PhysicalDevice>(adapter, "PhysicalDevice", true)) {
            if (!device->isInstanceOf("HardDrive"))
                continue;
            Addr addr;
            addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
            addr.setChannelID(static_cast<std::uint32_t>(device->getChannelID()));
            addr.setDeviceID(static_cast<std::uint32_t>(device->getDeviceID()));
            ProgressCollection tasks;
            returnCodes = lib->getTasks(addr, tasks);
            if (returnCodes.getReturn() != 0)
                continue;
            for (unsigned long i = 0; i < tasks.getSize(); ++i) {
                const Progress& record = *tasks.getProgress(static_cast<int>(i));
                if (!hasId(record.getDeviceAddr()->getLogicalDriveID()))
                    displayProgress(record);
            }
        }
    } else {
        for (LogicalDrive* drive : drives) {
            Progress record;
            returnCodes = drive->getProgress(record);
            if (returnCodes.getReturn() == 0 && record.getLogicalDrive() == drive->getLogicalDriveID() &&
                drive->getLogicalDriveID() <= logicalDriveLimit)
                displayProgress(record);
        }
    }
    if (!shown)
        printStatusLine("Current operation", "%s", "None");
    return 0;
}

void GetStatus::displayHelp()
{
    myprintf(stdout, " Usage: GETSTATUS <Controller#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Displays the status of any background task that is currently running.\n");
}
