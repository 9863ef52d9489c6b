#include "cli/commands/SetState.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <strings.h>

#include <cstring>

namespace {

const char* const kKeyword = "SETSTATE";
const char* const kQuestion = "\nAre you sure you want to continue?\n";
const char* const kMaximumSpares =
    "The maximum number of spares allowed for this controller\nhave already been configured.\n";

constexpr int kDedicatedSpareLimit = 11;
constexpr EnumLogicalDeviceFOCmd kForceWithChecks = static_cast<EnumLogicalDeviceFOCmd>(1);
constexpr EnumLogicalDeviceFOCmd kForceWithoutCheck = static_cast<EnumLogicalDeviceFOCmd>(2);

// Force-online flags the controller reports for a failed logical drive.
constexpr unsigned kCanForce = 1u << 0;
constexpr unsigned kAdvancedMayHelp = 1u << 1;
constexpr unsigned kDisksMissingSinceFailure = 1u << 27;
constexpr unsigned kFailureOrderUnknown = 1u << 28;
constexpr unsigned kNotEnoughDisks = 1u << 29;
constexpr unsigned kNoDisks = 1u << 30;
constexpr unsigned kTwoHalves = 1u << 31;

bool isWord(const char* word, const char* expected)
{
    return word != nullptr && strcasecmp(word, expected) == 0;
}

bool hasBits(unsigned flags, unsigned bits)
{
    return (flags & bits) == bits;
}

// Interface types 1 and 5 are SATA, 4 is SAS.
enum InterfaceKind { KIND_OTHER, KIND_SATA, KIND_SAS };

InterfaceKind interfaceKind(int type)
{
    if (type == 1 || type == 5)
        return KIND_SATA;
    return type == 4 ? KIND_SAS : KIND_OTHER;
}

void printCannotChange(EnumPhysicalDeviceState from, EnumPhysicalDeviceState to)
{
    myprintf(stdout, "Cannot change device state from %s to %s\n\n", getPhysicalState(from), getPhysicalState(to));
}

const char* const kAdvancedWarning =
    "Attention: Using advanced options to force a logical device online is a dangerous operation and\n"
    "requires substantial knowledge of the RAID level and the nature of the logical device failure.\n"
    "Even if this operation can force the logical device online,\n"
    "all data on this logical device may be lost if one or more disks contain outdated data.\n"
    "\n"
    "All available disk segments that constitute this logical device will be forced online;\n"
    "the data they contain will be used as valid data.\n"
    "If you are not sure, abort and contact your service representative.\n";

const char* const kAdvancedSuccess =
    "The logical device has been forced online.\n"
    "You should check the integrity of your data and file system now.\n"
    "After you check the data and file system, if there are disks missing from this logical device,\n"
    "you should replace them and allow a rebuild task to bring the logical device back to Optimal.\n"
    "\n"
    "If all disks of this logical device are online, and you have checked your data and file system,\n"
    "you should start a Verify with fix task on this logical device;\n"
    "otherwise you may experience further data corruption if additional disks fail.\n";

}  // namespace

int SetState::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    dedicatedList = false;
    dedicatedCount = 0;
    advanced = false;
    forceOnlineCommand = kForceWithChecks;
    logicalDrives = AddrCollection();
    if (argc < 3 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    int loaded = 0;
    if (isWord(argv[3], "LOGICALDRIVE")) {
        deviceMode = false;
        loaded = loadLogicalArguments(argv, argc);
    } else if (isWord(argv[3], "DEVICE")) {
        deviceMode = true;
        loaded = loadPhysicalArguments(argv, argc, adapter);
    } else {
        return 3;
    }
    if (loaded == 2 || loaded == 3)
        return loaded;
    familyController = adapter->isInstanceOf("VynAdapter");
    if (!familyController)
        return 3;
    if (deviceMode) {
        if (requestedPhysical != PD_READY && requestedPhysical != PD_FAILED && requestedPhysical != PD_HOT_SPARE)
            return 3;
    } else if (requestedLogical != LD_OPTIMAL) {
        return 3;
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int SetState::loadLogicalArguments(char** argv, int argc)
{
    if (argc < 6)
        return 3;
    const int number = ascii2int(argv[4]);
    if (number == CLI_NAN)
        return 3;
    logicalDrive = static_cast<unsigned long>(number);
    if (isWord(argv[5], "OPTIMAL"))
        requestedLogical = LD_OPTIMAL;
    else if (isWord(argv[5], "FAILED"))
        requestedLogical = LD_FAILED;
    else
        return 3;
    int next = 6;
    if (next < argc && isWord(argv[next], "advanced")) {
        advanced = true;
        ++next;
        // The dangerous option is taken only as written.
        if (next >= argc || std::strcmp(argv[next], "nocheck") != 0)
            return 3;
        forceOnlineCommand = kForceWithoutCheck;
        ++next;
    }
    return next == argc ? 0 : 3;
}

int SetState::loadPhysicalArguments(char** argv, int argc, Adapter* adapter)
{
    if (argc < 7)
        return 3;
    unsigned ch = 0;
    unsigned dev = 0;
    const int used = getnextdevice(argc - 4, argv + 4, ch, dev);
    if (used <= 0)
        return 3;
    channel = ch;
    deviceID = dev;
    int next = 4 + used;
    if (next >= argc)
        return 3;
    const struct {
        const char* word;
        EnumPhysicalDeviceState state;
    } states[] = {
        {"DDD", PD_FAILED},     {"EMP", PD_NOT_EXISTING}, {"OPTIMAL", PD_ONLINE},
        {"RBL", PD_REBUILDING}, {"RDY", PD_READY},        {"HSP", PD_HOT_SPARE},
    };
    bool known = false;
    for (const auto& s : states) {
        if (isWord(argv[next], s.word)) {
            requestedPhysical = s.state;
            known = true;
        }
    }
    if (!known)
        return 3;
    ++next;
    if ((requestedPhysical == PD_READY || requestedPhysical == PD_HOT_SPARE) && next < argc) {
        if (!isWord(argv[next], "LOGICALDRIVE"))
            return 3;
        ++next;
        // A list keyword without a logical drive names nothing to protect.
        if (next >= argc)
            return 3;
        dedicatedList = true;
        dedicatedCount = argc - next;
        for (; next < argc; ++next) {
            const int number = ascii2int(argv[next]);
            if (number == CLI_NAN)
                return 3;
            if (findLogicalDrive(adapter, static_cast<unsigned long>(number)) == nullptr) {
                myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(number));
                return 2;
            }
            logicalDrives.addAddr(logicalDriveAddress(adapterNumber, static_cast<unsigned long>(number)));
        }
    }
    return next == argc ? 0 : 3;
}

int SetState::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    const int result = deviceMode ? executePhysicalSetState(lib) : executeLogicalSetState(lib);
    if (result == 2 || result == 6 || result == CONFIRMATION_PENDING)
        return result;
    return 5;
}

int SetState::executePhysicalSetState(StorLibPlugin* lib)
{
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    PhysicalDevice* device = findDevice(adapter, channel, deviceID);
    if (device == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    if (!device->isInstanceOf("HardDrive")) {
        myprintf(stdout, "The device specified is not a hard drive.\n");
        return 2;
    }
    HardDrive* drive = static_cast<HardDrive*>(device);
    currentPhysical = drive->getState();
    if (currentPhysical == requestedPhysical && !dedicatedList) {
        myprintf(stdout, "The %s device is already in the %s state.\n", "physical", getPhysicalState(currentPhysical));
        return 2;
    }
    const Addr target = deviceAddress(adapterNumber, channel, deviceID);
    switch (requestedPhysical) {
    case PD_HOT_SPARE:
        return makeHotSpare(lib, adapter, drive);
    case PD_FAILED:
        if (currentPhysical == PD_STANDBY || currentPhysical == PD_PARTITIONED || currentPhysical == PD_FAILED) {
            printCannotChange(currentPhysical, requestedPhysical);
            return 2;
        }
        keepOutcome(lib->downHardDrive(target, true));
        return 5;
    case PD_READY:
        if (currentPhysical == PD_HOT_SPARE && dedicatedList) {
            if (drive->getSpareType() != SPARE_DEDICATED) {
                myprintf(stdout, "The specified spare is NOT of type: %s.\n", "DHS");
                return 2;
            }
            keepOutcome(lib->removeDedicatedSpare(target, logicalDrives));
        } else if (currentPhysical == PD_HOT_SPARE) {
            keepOutcome(lib->deleteSpare(target));
        } else if (currentPhysical == PD_FAILED) {
            keepOutcome(lib->downHardDrive(target, false));
        } else {
            printCannotChange(currentPhysical, requestedPhysical);
            return 2;
        }
        return 5;
    default:
        printCannotChange(currentPhysical, requestedPhysical);
        return 2;
    }
}

int SetState::makeHotSpare(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive)
{
    const Addr target = deviceAddress(adapterNumber, channel, deviceID);
    Progress current;
    Ret query;
    const bool found = firstTask(lib, target, current, &query);
    if (query.getReturn() != 0)
        return 2;
    if (found && isRunningTask(current)) {
        myprintf(stdout, "The %s device has a running task.\n", "physical");
        return 2;
    }
    int spares = 0;
    for (HardDrive* candidate : adapter->getAllHardDrives())
        if (candidate->getState() == PD_HOT_SPARE)
            ++spares;

    if (dedicatedList) {
        if (spares >= adapter->getLimit(static_cast<Limit>(kDedicatedSpareLimit))) {
            myprintf(stdout, "%s", kMaximumSpares);
            return 2;
        }
        bool refused = false;
        for (unsigned long i = 0; i < logicalDrives.getAddrCount(); ++i) {
            const unsigned long id = logicalDrives.getAddr(i).getLogicalDriveID();
            LogicalDrive* protectedDrive = findLogicalDrive(adapter, id);
            if (protectedDrive == nullptr)
                return 2;
            const int result = canProtect(adapter, drive, protectedDrive);
            if (result == MEMBER_NOT_FOUND)
                return 2;
            if (result == CAN_PROTECT)
                continue;
            refused = true;
            myprintf(stdout, "The candidate spare cannot protect logical device %d, ", static_cast<int>(id));
            switch (result) {
            case INVALID_RAID_LEVEL:
                myprintf(stdout, "invalid target RAID level (%s).\n", getRAIDLevelString(protectedDrive->getRaidLevel()));
                break;
            case SPARE_TOO_SMALL:
                myprintf(stdout, "candidate spare too small.\n");
                break;
            case SATA_CANNOT_PROTECT_SAS:
                myprintf(stdout, "SATA drive cannot protect SAS array.\n");
                break;
            default:
                myprintf(stdout, "SAS drive cannot protect SATA array.\n");
                break;
            }
        }
        if (refused)
            return 2;
        if (currentPhysical == PD_READY) {
            keepOutcome(lib->createDedicatedSpare(target, logicalDrives));
            return 5;
        }
        if (currentPhysical != PD_HOT_SPARE) {
            printCannotChange(currentPhysical, requestedPhysical);
            return 2;
        }
        if (drive->getSpareType() == SPARE_GLOBAL) {
            myprintf(stdout, "The device is already a Global Spare.\n");
            return 2;
        }
        if (drive->getSpareType() != SPARE_DEDICATED) {
            myprintf(stdout, "The device is already a Standby Spare.\n");
            return 2;
        }
        // The controller replaces the spare's list: the drives it already
        // protects go with the new ones.
        const int* protectedIds = drive->getSpareList();
        for (int i = 0; protectedIds != nullptr && i < drive->getSpareListSize(); ++i)
            logicalDrives.addAddr(logicalDriveAddress(adapterNumber, static_cast<unsigned long>(protectedIds[i])));
        keepOutcome(lib->createDedicatedSpare(target, logicalDrives));
        return 5;
    }

    if (spares >= adapter->getLimit(LIMIT_MAX_GLOBAL_SPARES)) {
        myprintf(stdout, "%s", kMaximumSpares);
        return 2;
    }
    bool unprotected = false;
    for (LogicalDrive* existing : collect<LogicalDrive>(adapter, "LogicalDrive", false))
        unprotected = unprotected || canProtect(adapter, drive, existing) != CAN_PROTECT;
    if (unprotected)
        myprintf(stdout, "One or more existing logical devices cannot be protected by this spare.\n");
    if (currentPhysical != PD_READY) {
        printCannotChange(currentPhysical, requestedPhysical);
        return 2;
    }
    keepOutcome(lib->createGlobalSpare(target));
    return 5;
}

int SetState::canProtect(Adapter* adapter, HardDrive* spare, LogicalDrive* logicalDrive)
{
    const EnumRaidLevel level = logicalDrive->getRaidLevel();
    if (level == RAID_LEVEL_0 || level == RAID_LEVEL_SPANNED_VOLUME || level == RAID_LEVEL_SIMPLE_VOLUME ||
        level == RAID_LEVEL_NONE)
        return INVALID_RAID_LEVEL;
    const std::vector<Chunk*> chunks = logicalDrive->getHardDriveChunkVector();
    // Without a first chunk there is nothing to measure the spare against.
    if (chunks.empty())
        return MEMBER_NOT_FOUND;
    if (spare->getSize() < chunks.front()->getNumSector())
        return SPARE_TOO_SMALL;
    bool oneKind = true;
    InterfaceKind membersKind = KIND_OTHER;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        PhysicalDevice* member = findDevice(adapter, chunks[i]->getChannelID(), chunks[i]->getDeviceID());
        if (member == nullptr)
            return MEMBER_NOT_FOUND;
        const InterfaceKind kind = interfaceKind(member->getInterfaceType());
        if (i == 0)
            membersKind = kind;
        else if (kind != membersKind)
            oneKind = false;
    }
    if (oneKind) {
        const InterfaceKind spareKind = interfaceKind(spare->getInterfaceType());
        if (membersKind == KIND_SAS && spareKind == KIND_SATA && adapter->getFeature(featSataProtectSasArrays) == 0)
            return SATA_CANNOT_PROTECT_SAS;
        if (membersKind == KIND_SATA && spareKind == KIND_SAS && adapter->getFeature(featSasProtectSataArrays) == 0)
            return SAS_CANNOT_PROTECT_SATA;
    }
    return CAN_PROTECT;
}

int SetState::executeLogicalSetState(StorLibPlugin* lib)
{
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featForceOnline) == 0) {
        myprintf(stdout, "The requested feature is not supported on this controller.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "The requested feature is supported and enabled.\n");
    LogicalDrive* drive = findLogicalDrive(adapter, logicalDrive);
    if (drive == nullptr) {
        myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(logicalDrive));
        return 2;
    }
    return forceVynLogDriveOnline(lib, drive);
}

int SetState::forceVynLogDriveOnline(StorLibPlugin* lib, LogicalDrive* drive)
{
    myprintf(stdout, "\n");
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    const unsigned flags = static_cast<unsigned>(drive->getForceOnlineFlags());
    const Addr target = logicalDriveAddress(adapterNumber, logicalDrive);
    if (advanced) {
        myprintf(stdout, "%s", kAdvancedWarning);
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        if (keepOutcome(lib->setLogicalDriveState(target, LD_OPTIMAL, forceOnlineCommand, 0)))
            myprintf(stdout, "%s", kAdvancedSuccess);
        else
            myprintf(stdout, "The logical device could not be forced online using the advanced force option.\n");
        return 5;
    }
    if (hasBits(flags, kCanForce | kAdvancedMayHelp)) {
        myprintf(stdout,
                 "Attention:  Forcing a logical device online is not guaranteed to succeed and\n"
                 "should be used as a last resort.  Before using this command, try to restore\n"
                 "the logical device by performing a bus rescan or restarting your server.\n"
                 "This logical device might contain corrupt data.\n");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        if (keepOutcome(lib->setLogicalDriveState(target, LD_OPTIMAL, kForceWithChecks, 0)))
            myprintf(stdout,
                     "The logical device has been forced online.\n"
                     "You should check the integrity of your data and file system now.\n"
                     "If there are still missing members of this logical device, you should\n"
                     "reinsert or replace them now and allow a rebuild task to complete.\n"
                     "Then, confirm that the logical device status changes to Optimal.\n");
        else
            myprintf(stdout,
                     "The logical device could not be forced online.\n"
                     "Please check your disks, connectors, power supplies, etc. and try again.\n"
                     "\n"
                     "Expert users may rerun SETSTATE with advanced options\n");
        return 5;
    }
    if (hasBits(flags, kNotEnoughDisks)) {
        myprintf(stdout, "This logical device cannot be forced online.\n"
                         "The controller cannot find enough disks that were part of this logical device.\n");
    } else if (hasBits(flags, kNoDisks)) {
        myprintf(stdout, "This logical device cannot be forced online.\n"
                         "The controller cannot find any disks that were part of this logical device.\n"
                         "Please ensure that your disks and disk enclosures are connected and powered on.\n");
    } else if (hasBits(flags, kDisksMissingSinceFailure | kAdvancedMayHelp)) {
        myprintf(stdout, "The controller cannot find all of the disks of this logical device present when it "
                         "failed.\n"
                         "Reinsert the disks that were present when this logical device went offline, and try "
                         "again.\n"
                         "\n"
                         "Expert users may rerun SETSTATE with advanced options.\n");
    } else if (hasBits(flags, kFailureOrderUnknown | kAdvancedMayHelp)) {
        myprintf(stdout, "The controller cannot determine the order of the disk failures of this logical device.\n"
                         "Remove all disks that failed before this logical device went offline, then try again.\n"
                         "\n"
                         "Expert users may rerun SETSTATE with advanced options.\n");
    } else if (hasBits(flags, kTwoHalves | kAdvancedMayHelp)) {
        myprintf(stdout, "The controller has identified two independent halves of this logical device.\n"
                         "You should remove the disks that constitute one of these halves.\n"
                         "Then, perform a bus rescan on your controller and try this command again.\n"
                         "\n"
                         "Expert users may rerun SETSTATE with advanced options.\n");
    } else {
        myprintf(stdout,
                 "This logical device cannot be forced online.\n"
                 "The controller reported an unsupported combination of force online flags 0x%x.\n",
                 flags);
    }
    return 2;
}

void SetState::displayHelp()
{
    static const char* const lines[] = {
        " Usage: SETSTATE <Controller#> DEVICE <Channel# ID#> <State> [LOGICALDRIVE <LD#> [LD#] ... ] [noprompt] "
        "[nologs]",
        " Usage: SETSTATE <Controller#> LOGICALDRIVE <LogicalDrive#> OPTIMAL [ADVANCED option] [noprompt] [nologs]",
        nullptr,
        "",
        " Redefine the state of a physical or logical device from its",
        " current state to the designated state.",
        "",
        "   DEVICE parameters",
        "    Channel# ID#     : The Channel and ID of the device whose state will be altered.",
        "    Physical states  : HSP, Create a hot spare from a ready drive.",
        "                            Optional [LOGICALDRIVE <LD#> [LD#] ...] parameters",
        "                            Dedicates the HSP to one or more logical devices.",
        "                     : RDY, Remove a hot spare designation.",
        "                            Optional [LOGICALDRIVE <LD#> [LD#] ...] parameters",
        "                            removes a dedicated HSP from one or more logical devices.",
        "                            Attempts to change drive from Failed to Ready.",
        "                     : DDD, Force a drive to Failed.",
        "",
        "   LOGICALDRIVE parameters",
        "    LogicalDrive#    : logical device ID to be forced optimal.",
        "    ADVANCED         : Optional parameter indicating an advanced option will be attempted.",
        "    Advanced Options   Attention!: using advanced options is dangerous and may result in data loss.",
        "       nocheck       : Force optimal without a consistency check. ",
        "",
        "    noprompt         : Don't prompt for confirmation.",
    };
    for (const char* line : lines) {
        if (line == nullptr)
            printHelpRule();
        else
            myprintf(stdout, "%s\n", line);
    }
}
