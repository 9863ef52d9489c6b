#include "cli/commands/ImageUpdate.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "cli/ArgParse.h"
#include "cli/CliSleep.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/MaintenanceSupport.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"

#include <strings.h>

#include <cstdio>

namespace {

constexpr const char* kKeyword = "IMAGEUPDATE";
constexpr int kInterfaceSATA = 1;
constexpr int kInterfaceSAS = 4;
constexpr int kDefaultSATAMode = 3;
constexpr int kDefaultSASMode = 7;

bool isWord(const char* word, const char* keyword)
{
    return strcasecmp(word, keyword) == 0;
}

}  // namespace

int ImageUpdate::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    deviceGiven = modeGiven = noQuiesce = false;
    mode = -1;
    channel = device = UNSET;
    fileName[0] = '\0';
    if (argc < 8 || argc > 12 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (!isWord(argv[3], "DEVICE"))
        return 3;
    deviceGiven = true;
    const int typedChannel = ascii2int(argv[4]);
    const int typedDevice = ascii2int(argv[5]);
    const int typedChunk = ascii2int(argv[6]);
    if (typedChannel == CLI_NAN || typedDevice == CLI_NAN || typedChunk == CLI_NAN)
        return 3;
    channel = typedChannel;
    device = typedDevice;
    chunkSize = typedChunk;
    std::snprintf(fileName, sizeof fileName, "%s", argv[7]);

    int word = 8;
    if (word < argc && ascii2int(argv[word]) != CLI_NAN) {
        mode = ascii2int(argv[word]);
        modeGiven = true;
        ++word;
    }
    // The driver acts on "forcelog"; here it is only allowed in its place.
    if (word < argc && isWord(argv[word], "forcelog"))
        ++word;
    if (word < argc && isWord(argv[word], "noquiesce")) {
        noQuiesce = true;
        ++word;
    }
    if (word < argc && isWord(argv[word], "noprompt"))
        ++word;
    if (word < argc)
        return 3;
    if (UCLI_DEBUG)
        myprintf(stderr, "%s: file: %s\n", kKeyword, fileName);
    debugArgumentsValid(kKeyword);
    return 0;
}

int ImageUpdate::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    PhysicalDevice* found = findDevice(lib, adapterNumber, static_cast<unsigned long>(channel),
                                       static_cast<unsigned long>(device));
    if (found == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    // Nothing is asked of a device that takes no drive image; saying so
    // keeps an earlier call's outcome from being reported as this one's.
    if (!found->isInstanceOf("HardDrive")) {
        myprintf(stdout, "The device specified is not a hard drive.\n");
        return 2;
    }
    HardDrive* drive = static_cast<HardDrive*>(found);

    myprintf(stdout, "\n");
    myprintf(stdout, "Updating a hard disk with an invalid image file may render the hard disk unusable. "
                     "Please make sure you have the correct image file.\n\n");
    myprintf(stdout, "You must restart the system for firmware updates to take effect.\n");
    if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;

    Addr own(static_cast<std::uint32_t>(drive->getAdapterID()));
    own.setChannelID(static_cast<std::uint32_t>(drive->getChannelID()));
    own.setDeviceID(static_cast<std::uint32_t>(drive->getDeviceID()));
    AddrCollection set;
    set.addAddr(own);

    const int interfaceType = drive->getInterfaceType();
    if (interfaceType != kInterfaceSATA && interfaceType != kInterfaceSAS) {
        myprintf(stdout, "interface type not supported");
        return 2;
    }
    if (drive->readDriveFirmwareFile(fileName, *drive->getImageBuffer()).getReturn() != 0)
        return 2;

    Adapter* adapter = drive->getAdapter();
    if (!noQuiesce && (adapter == nullptr || adapter->protectHardDriveSet(set, true, false).getReturn() != 0)) {
        myprintf(stdout, "Failed");
        myprintf(stdout, "\n");
        return 1;
    }

    const unsigned long chunk = static_cast<unsigned long>(chunkSize);
    Ret download;
    if (interfaceType == kInterfaceSATA)
        download = drive->upgradeSATADriveFirmware(fileName, chunk,
                                                   static_cast<unsigned char>(modeGiven ? mode : kDefaultSATAMode));
    else
        download = drive->upgradeSASDriveFirmware(fileName, chunk,
                                                  static_cast<unsigned char>(modeGiven ? mode : kDefaultSASMode));
    const bool succeeded = download.getReturn() == 0;

    if (!noQuiesce) {
        if (succeeded)
            cliSleep(SETTLE_SECONDS);
        if (adapter->protectHardDriveSet(set, false, false).getReturn() != 0) {
            myprintf(stdout, "Unprotect failed on the HardDrive set\n");
            return 16;
        }
    }
    myprintf(stdout, succeeded ? "Succeeded" : "Failed");
    myprintf(stdout, "\n");
    return succeeded ? 7 : 2;
}

void ImageUpdate::displayHelp()
{
    myprintf(stdout, " Usage: IMAGEUPDATE <Controller#> DEVICE <Channel# ID# ChunkSize# Filename> [Mode#]"
                     " [noprompt]\n");
    myprintf(stdout, "  DEVICE parameters\n");
    myprintf(stdout, "    Channel# ID#   : Channel and ID of the device whose firmware will be updated\n");
    myprintf(stdout, "    ChunkSize#     : ChunkSize# is the chunk size in bytes to be used for firmware update\n");
    myprintf(stdout, "    Filename       : Name of the device firmware update file\n");
    myprintf(stdout, "    Mode#          : Mode# is the mode to be used for device firmware update.\n");
    myprintf(stdout, "                     Default values used for supported devices are\n");
    myprintf(stdout, "                   : SATA 3-Download with offsets and save image for immediate and future"
                     " use\n");
    myprintf(stdout, "                   : SAS  7-Download microcode with offsets, save, and activate\n");
    myprintf(stdout, "    Example        : ... imageupdate 1 device 0 83 16384 ados.lod 3\n");
}
