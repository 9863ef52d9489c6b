#include "cli/commands/Backup.h"
#include "cli/commands/Restore.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/Confirm.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/MaintenanceSupport.h"
#include "common/Addr.h"
#include "common/Buffer.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// "<keyword> <Controller#> <file>": the controller and the file word.
int loadControllerAndFile(const char* keyword, char** argv, int argc, int& adapterNumber, const char*& fileName)
{
    if (argc <= 3 || argc > 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    fileName = argv[3];
    debugArgumentsValid(keyword);
    return 0;
}

Addr logicalDriveAddress(const Adapter& adapter, const LogicalDrive& drive)
{
    Addr addr(static_cast<std::uint32_t>(adapter.getAdapterID()));
    addr.setLogicalDriveID(static_cast<std::uint32_t>(drive.getLogicalDriveID()));
    return addr;
}

Addr deviceAddress(const Adapter& adapter, const PhysicalDevice& device)
{
    Addr addr(static_cast<std::uint32_t>(adapter.getAdapterID()));
    addr.setChannelID(static_cast<std::uint32_t>(device.getChannelID()));
    addr.setDeviceID(static_cast<std::uint32_t>(device.getDeviceID()));
    return addr;
}

}  // namespace

int Backup::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    return loadControllerAndFile("BACKUP", argv, argc, adapterNumber, fileName);
}

bool Backup::isGoodConfiguration(StorLibPlugin* lib)
{
    myprintf(stdout, "\n");
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr) {
        myprintf(stdout, "Invalid controller number.\n");
        return false;
    }
    if (adapter->getAdapterStatus() != 0) {
        myprintf(stdout, "Controller %d status: %s.\n", adapterNumber + 1,
                 getAdapterStatus(adapter->getAdapterStatus()));
        return false;
    }
    bool good = true;
    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
        if (drive->getState() == LD_OPTIMAL)
            continue;
        myprintf(stdout, "Logical device %d status: %s.\n", static_cast<int>(drive->getLogicalDriveID()),
                 getLogicalState(drive->getState(), static_cast<int>(drive->getSubState())));
        good = false;
    }
    for (PhysicalDevice* device : collect<PhysicalDevice>(adapter, "PhysicalDevice", false)) {
        const int state = static_cast<int>(device->getState());
        if (state != 2 && state != 8)
            continue;
        myprintf(stdout, "Physical device %u,%u status: %s.\n", static_cast<unsigned>(device->getChannelID()),
                 static_cast<unsigned>(device->getDeviceID()), getPhysicalState(device->getState()));
        good = false;
    }
    return good;
}

int Backup::execute(StorLibPlugin* lib)
{
    debugExecuting("BACKUP");
    if (!isGoodConfiguration(lib)) {
        myprintf(stdout, "The current configuration is not optimal.\n");
        return 2;
    }
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    Buffer image(IMAGE_SIZE);
    returnCodes = lib->getControllerConfiguration(Addr(static_cast<std::uint32_t>(adapterNumber)), image);
    if (returnCodes.getReturn() != 0)
        return 5;

    FILE* file = std::fopen(fileName, "wb");
    if (file == nullptr) {
        myprintf(stdout, "Cannot open \"%s\".\n", fileName);
        return 1;
    }
    const std::size_t written = image.getSize() > 0 ? std::fwrite(image.CPtr(), 1, image.getSize(), file) : 0;
    // A write that fails only when the last bytes are flushed is short too.
    const bool closed = std::fclose(file) == 0;
    if (written != image.getSize() || !closed) {
        myprintf(stdout, "Unable to write the configuration to \"%s\".\n", fileName);
        return 1;
    }
    return 0;
}

void Backup::displayHelp()
{
    myprintf(stdout, " Usage: BACKUP <Controller#> <File Name> [nologs]\n");
    myprintf(stdout, " Save the controller's current configuration to a file.\n");
    myprintf(stdout, "    File Name:  Name of the file to save the configuration to.\n");
}

int Restore::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    return loadControllerAndFile("RESTORE", argv, argc, adapterNumber, fileName);
}

int Restore::execute(StorLibPlugin* lib)
{
    debugExecuting("RESTORE");
    if (confirmBeforeActing("WARNING: All data and partitions on all configured logical devices will be lost!\n"
                            "Do you wish to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;

    File file(std::fopen(fileName, "rb"), &std::fclose);
    if (file == nullptr) {
        myprintf(stdout, "Cannot open \"%s\"\n", fileName);
        return 1;
    }
    Buffer image(Backup::IMAGE_SIZE);
    if (image.getSize() != Backup::IMAGE_SIZE ||
        std::fread(image.Ptr(), 1, image.getSize(), file.get()) != Backup::IMAGE_SIZE) {
        myprintf(stdout, "Unable to read the configuration from \"%s\"\n", fileName);
        return 1;
    }

    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    const Addr controller(static_cast<std::uint32_t>(adapterNumber));

    // Everything below is destroyed before the image is written: a
    // controller that cannot take an image at all must be found out first,
    // while its logical drives are still there.
    Buffer scratch(Backup::IMAGE_SIZE);
    const Ret probe = lib->getControllerConfiguration(controller, scratch);
    if (probe.getReturn() == -1) {
        returnCodes = probe;
        return 5;
    }

    for (LogicalDrive* drive : adapter->getAllLogicalDrives()) {
        const Addr addr = logicalDriveAddress(*adapter, *drive);
        lib->abortTask(addr, 0);
        returnCodes = lib->deleteLogicalDrive(addr);
    }
    lib->getSystemConfig();
    adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 1;
    for (HardDrive* drive : adapter->getAllHardDrives()) {
        if (drive->getState() != PD_READY)
            returnCodes = lib->setDeviceState(deviceAddress(*adapter, *drive), PD_READY);
    }
    returnCodes = lib->setControllerConfiguration(controller, static_cast<EnumConfigurationSource>(2), image);
    myprintf(stdout, "Configuration restored.\nThe system must be rebooted for the restored configuration to take "
                     "effect.\n");
    return 5;
}

void Restore::displayHelp()
{
    myprintf(stdout, " Usage: RESTORE <Controller#> <Filename> [noprompt] [nologs]\n");
    myprintf(stdout, " Restore the controller's configuration from the\n configuration in a file.  The current "
                     "configuration\n will be deleted.  A reboot will be required for\n the configuration change "
                     "to take effect.\n");
    myprintf(stdout, "    Filename:  Name of the file to read the configuration from.\n");
    myprintf(stdout, "    noprompt:  Don't prompt for confirmation.\n");
}
