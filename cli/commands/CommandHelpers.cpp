#include "cli/commands/CommandHelpers.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/System.h"
#include "cli/ArgParse.h"
#include "cli/Engine.h"
#include "common/Addr.h"

Adapter* findAdapter(StorLibPlugin* lib, int adapterNumber)
{
    if (lib == nullptr || adapterNumber < 0)
        return nullptr;
    System* system = lib->getSystem();
    if (system == nullptr)
        return nullptr;
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapterNumber));
    RaidObject* found = system->getObject(addr);
    return found != nullptr && found->isInstanceOf("Adapter") ? static_cast<Adapter*>(found) : nullptr;
}

LogicalDrive* findLogicalDrive(Adapter* adapter, unsigned long id)
{
    if (adapter == nullptr)
        return nullptr;
    for (LogicalDrive* drive : adapter->getAllLogicalDrives())
        if (drive->getLogicalDriveID() == id)
            return drive;
    return nullptr;
}

HardDrive* findHardDrive(Adapter* adapter, unsigned long channel, unsigned long device)
{
    if (adapter == nullptr)
        return nullptr;
    for (HardDrive* drive : adapter->getAllHardDrives())
        if (drive->getChannelID() == channel && drive->getDeviceID() == device)
            return drive;
    return nullptr;
}

void printHelpRule()
{
    myprintf(stdout, " ======================================================\n");
}

void debugExecuting(const char* keyword)
{
    if (UCLI_DEBUG)
        myprintf(stderr, "%s: EXECUTING\n", keyword);
}

void debugArgumentsValid(const char* keyword)
{
    if (UCLI_DEBUG)
        myprintf(stderr, "%s: arguments valid\n", keyword);
}

bool readControllerWord(const char* word, int& adapterNumber)
{
    if (word == nullptr)
        return false;
    const int number = ascii2int(word);
    if (number == CLI_NAN)
        return false;
    adapterNumber = number - 1;
    return true;
}
