#include "cli/commands/ActionHelpers.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <cstring>

Addr controllerAddress(int adapterNumber)
{
    return Addr(static_cast<std::uint32_t>(adapterNumber));
}

Addr logicalDriveAddress(int adapterNumber, unsigned long logicalDrive)
{
    Addr addr = controllerAddress(adapterNumber);
    addr.setLogicalDriveID(static_cast<std::uint32_t>(logicalDrive));
    return addr;
}

Addr deviceAddress(int adapterNumber, unsigned long channel, unsigned long device)
{
    Addr addr = controllerAddress(adapterNumber);
    addr.setChannelID(static_cast<std::uint32_t>(channel));
    addr.setDeviceID(static_cast<std::uint32_t>(device));
    return addr;
}

Addr channelAddress(int adapterNumber, unsigned long channel)
{
    Addr addr = controllerAddress(adapterNumber);
    addr.setChannelID(static_cast<std::uint32_t>(channel));
    return addr;
}

PhysicalDevice* findDevice(Adapter* adapter, unsigned long channel, unsigned long device)
{
    for (PhysicalDevice* found : collect<PhysicalDevice>(adapter, "PhysicalDevice", false))
        if (found->getChannelID() == channel && found->getDeviceID() == device)
            return found;
    return nullptr;
}

HardDrive* findHardDriveOrExplain(Adapter* adapter, unsigned long channel, unsigned long device)
{
    PhysicalDevice* found = findDevice(adapter, channel, device);
    if (found == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return nullptr;
    }
    if (!found->isInstanceOf("HardDrive")) {
        myprintf(stdout, "The device specified is not a hard drive.\n");
        return nullptr;
    }
    return static_cast<HardDrive*>(found);
}

bool firstTask(StorLibPlugin* lib, const Addr& target, Progress& task, Ret* ret)
{
    ProgressCollection tasks;
    const Ret answer = lib->getTasks(target, tasks);
    if (ret != nullptr)
        *ret = answer;
    if (answer.getReturn() != 0 || tasks.getSize() == 0)
        return false;
    task = *tasks.getProgress(0);
    return true;
}

bool isRunningTask(const Progress& task)
{
    return task.getType() != TASK_TYPE_NONE && task.getStatus() == TASK_STATE_IN_PROGRESS;
}

bool keepOutcome(const Ret& ret)
{
    returnCodes = ret;
    return ret.getReturn() == 0;
}

const char* mountPointOf(const char* reported)
{
    return reported != nullptr ? reported : "unknown";
}

bool isUnmounted(const char* mountPoint)
{
    return std::strcmp(mountPoint, "none") == 0 || std::strcmp(mountPoint, "unknown") == 0;
}
