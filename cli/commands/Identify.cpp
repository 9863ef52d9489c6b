#include "cli/commands/Identify.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <strings.h>

#include <vector>

namespace {

const char* const kKeyword = "IDENTIFY";
constexpr EnumIdentifyOption kStartBlinking = static_cast<EnumIdentifyOption>(0);
constexpr EnumIdentifyOption kStopBlinking = static_cast<EnumIdentifyOption>(1);
// The blink acknowledgement a remote caller answers.
constexpr int kBlinkingWarning = 2;

bool isWord(const char* word, const char* expected)
{
    return word != nullptr && strcasecmp(word, expected) == 0;
}

bool readNumber(const char* word, unsigned long& value)
{
    const int number = word != nullptr ? ascii2int(word) : CLI_NAN;
    if (number == CLI_NAN)
        return false;
    value = static_cast<unsigned long>(number);
    return true;
}

}  // namespace

int Identify::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    logicalDriveFlag = false;
    deviceFlag = false;
    allFlag = false;
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    int next = 3;
    if (argc == 3 || isWord(argv[3], "all")) {
        allFlag = true;
        next = 4;
    } else if (isWord(argv[3], "LOGICALDRIVE")) {
        logicalDriveFlag = true;
        if (!readNumber(argv[4], logicalDrive))
            return 3;
        next = 5;
    } else if (isWord(argv[3], "DEVICE")) {
        deviceFlag = true;
        if (argc < 6 || !readNumber(argv[4], channel) || !readNumber(argv[5], deviceID))
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
        targets.push_back(controllerAddress(adapterNumber));
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
