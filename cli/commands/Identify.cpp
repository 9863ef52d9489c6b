#include "cli/commands/Identify.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <algorithm>
#include <vector>

namespace {

const char* const kKeyword = "IDENTIFY";
constexpr EnumIdentifyOption kStartBlinking = static_cast<EnumIdentifyOption>(0);
constexpr EnumIdentifyOption kStopBlinking = static_cast<EnumIdentifyOption>(1);
// The blink acknowledgement a remote caller answers.
constexpr int kBlinkingWarning = 2;

}  // namespace

int Identify::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    logicalDriveFlag = false;
    deviceFlag = false;
    allFlag = false;
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    int next = 3;
    if (argc == 3 || wordMatches(argv[3], "all")) {
        allFlag = true;
        next = 4;
    } else if (wordMatches(argv[3], "LOGICALDRIVE")) {
        logicalDriveFlag = true;
        if (!readNumberWord(argv[4], logicalDrive))
            return 3;
        next = 5;
    } else if (wordMatches(argv[3], "DEVICE")) {
        deviceFlag = true;
        if (argc < 6 || !readNumberWord(argv[4], channel) || !readNumberWord(argv[5], deviceID))
            return 3;
        next = 6;
    } else {
        return 3;
    }
    if (next < argc)
        return 3;
    debugArgumentsValid(kKeyword);
    return 0;
}

int Identify::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    std::vector<Addr> targets;
    if (deviceFlag) {
        if (findDevice(adapter, channel, deviceID) == nullptr) {
            myprintf(stdout, "The device specified does not exist.\n");
            return 2;
        }
        targets.push_back(deviceAddress(adapterNumber, channel, deviceID));
    } else if (logicalDriveFlag) {
        LogicalDrive* drive = findLogicalDrive(adapter, logicalDrive);
        if (drive == nullptr) {
            myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(logicalDrive));
            return 2;
        }
        for (Chunk* chunk : collect<Chunk>(drive, "Chunk", false)) {
            PhysicalDevice* member = findDevice(adapter, chunk->getChannelID(), chunk->getDeviceID());
            if (member != nullptr)
                targets.push_back(deviceAddress(adapterNumber, member->getChannelID(), member->getDeviceID()));
        }
    } else {
        // The controller has no light of its own to blink: its drives blink,
        // channel by channel.
        std::vector<Channel*> channels = collect<Channel>(adapter, "Channel", false);
        std::stable_sort(channels.begin(), channels.end(), [](const Channel* a, const Channel* b) {
            return a->getChannelID() < b->getChannelID();
        });
        for (const Channel* each : channels)
            targets.push_back(channelAddress(adapterNumber, each->getChannelID()));
    }

    bool failed = false;
    for (const Addr& target : targets)
        failed = !keepOutcome(lib->identifyDevice(target, kStartBlinking)) || failed;
    if (failed)
        myprintf(stderr, "One or more devices could not be identified.\n");
    if (adapter->getFeature(featFWRawBlink) == 0)
        myprintf(stdout, "Only devices managed by an enclosure processor may be identified\n");
    myprintf(stdout, "The specified device is blinking.\nPress any key to stop the blinking.\n");
    // A remote caller acknowledges in a second request; until then the
    // devices go on blinking.
    if (inputWarningFlag) {
        outputWarningFlag = kBlinkingWarning;
        return CONFIRMATION_PENDING;
    }
    dropOutputBeforeActing();
    for (const Addr& target : targets)
        keepOutcome(lib->identifyDevice(target, kStopBlinking));
    return 5;
}

void Identify::displayHelp()
{
    static const char* const lines[] = {
        " Usage: IDENTIFY <Controller#> LOGICALDRIVE <LogicalDrive#> [nologs]",
        " Usage: IDENTIFY <Controller#> DEVICE <Channel# ID#> [nologs]",
        nullptr,
        "",
        " Identifies a logical device or a physical device.",
        "",
        "    LogicalDrive# : Number of the logical device to be identified",
        "    Channel# ID#  : The Channel and ID of the physical device to be identified",
    };
    for (const char* line : lines) {
        if (line == nullptr)
            printHelpRule();
        else
            myprintf(stdout, "%s\n", line);
    }
}
