#include "cli/commands/Task.h"

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
#include "common/AddrCollection.h"
#include "common/Ret.h"

#include <strings.h>

#include <cstring>

namespace {

const char* const kKeyword = "TASK";
const char* const kQuestion = "\nAre you sure you want to continue?\n";

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

bool isReconfiguring(EnumLogicalDeviceState state)
{
    return state == LD_RECONFIGURING || state == LD_DEGRADED_RECONFIGURING || state == LD_SUBOPTIMAL_RECONFIGURING;
}

// Levels without redundancy to check against.
bool cannotBeVerified(EnumRaidLevel level)
{
    return level == RAID_LEVEL_0 || level == RAID_LEVEL_SPANNED_VOLUME || level == RAID_LEVEL_SIMPLE_VOLUME;
}

void printLongProcess(const char* task, const char* target)
{
    myprintf(stdout, "%s of a %s is a long process.\n", task, target);
}

constexpr int kSubStateQuickInitialized = 8;

}  // namespace

int Task::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    logicalDriveFlag = false;
    deviceFlag = false;
    allFlag = false;
    forceFlag = false;
    passwordGiven = false;
    password = nullptr;
    taskWord = nullptr;
    if (argc < 6)
        return 3;
    if (isWord(argv[2], "START"))
        start = true;
    else if (isWord(argv[2], "STOP"))
        start = false;
    else
        return 3;
    if (!readControllerWord(argv[3], adapterNumber))
        return 3;
    if (isWord(argv[4], "DEVICE")) {
        deviceFlag = true;
        return loadDeviceArguments(argv, argc, 5);
    }
    if (!isWord(argv[4], "LOGICALDRIVE"))
        return 3;
    logicalDriveFlag = true;
    if (!readNumber(argv[5], logicalDrive))
        return 3;
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    if (start) {
        if (argc != 7)
            return 3;
        taskWord = argv[6];
    } else if (argc != 6) {
        return 3;
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int Task::loadDeviceArguments(char** argv, int argc, int next)
{
    if (isWord(argv[next], "all")) {
        allFlag = true;
        ++next;
        if (argc < 7)
            return 3;
    } else {
        if (argc < 7 || !readNumber(argv[next], channel) || !readNumber(argv[next + 1], deviceID))
            return 3;
        next += 2;
    }
    if (start) {
        if (!allFlag && argc < 8)
            return 3;
        taskWord = argv[next++];
        if (argc - next == 1 && isWord(taskWord, "secureerase")) {
            password = argv[next++];
            passwordGiven = true;
            if (std::strlen(password) > MAX_PASSWORD_LENGTH)
                return 3;
        }
        if (allFlag && !isWord(taskWord, "initialize")) {
            myprintf(stdout, "The ALL parameter is only valid for an INITIALIZE task.\n");
            return 3;
        }
        if (isWord(taskWord, "initialize") && next < argc && isWord(argv[next], "force")) {
            forceFlag = true;
            ++next;
        }
    }
    if (next != argc)
        return 3;
    debugArgumentsValid(kKeyword);
    return 0;
}

int Task::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    return logicalDriveFlag ? executeLogicalDrive(lib, adapter) : executeDevice(lib, adapter);
}

int Task::executeLogicalDrive(StorLibPlugin* lib, Adapter* adapter)
{
    LogicalDrive* drive = findLogicalDrive(adapter, logicalDrive);
    if (drive == nullptr) {
        myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(logicalDrive));
        return 2;
    }
    return start ? startLogicalDriveTask(lib, drive) : stopLogicalDriveTask(lib);
}

int Task::startLogicalDriveTask(StorLibPlugin* lib, LogicalDrive* drive)
{
    const Addr target = logicalDriveAddress(adapterNumber, logicalDrive);
    const EnumRaidLevel level = drive->getRaidLevel();
    Progress current;
    if (firstTask(lib, target, current) && isRunningTask(current)) {
        myprintf(stdout, "Task '%s' is already running on this device.  Aborting \n",
                 getTaskType(current.getType(), *current.getDeviceAddr()));
        return 2;
    }
    if (isReconfiguring(drive->getState())) {
        myprintf(stdout, "Reconfiguring logical devices cannot be verified.\n");
        return 2;
    }
    Ret ret;
    if (isWord(taskWord, "verify_fix") || isWord(taskWord, "verify")) {
        const bool fix = isWord(taskWord, "verify_fix");
        const char* name = fix ? "Verify with fix" : "Verify";
        if (cannotBeVerified(level)) {
            myprintf(stdout, "Cannot perform a %s task on a raid level %s.\n", name, getRAIDLevelString(level));
            return 2;
        }
        if (!fix && drive->getSubState() == LD_SUBSTATE_IMPACTED) {
            myprintf(stdout, "Cannot verify an impacted logical device.\n");
            return 2;
        }
        if (!fix && static_cast<int>(drive->getSubState()) == kSubStateQuickInitialized) {
            myprintf(stdout, "Cannot verify a quick initialized logical device.\nYou must run a verify_fix task.\n");
            return 2;
        }
        printLongProcess(name, "Logical Device");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        ret = lib->synchronizeLogicalDrive(target, fix);
    } else if (isWord(taskWord, "clear")) {
        const char* mountPoint = mountPointOf(drive->getUnixMountPoint());
        if (!isUnmounted(mountPoint)) {
            myprintf(stdout, "The selected logical device is mounted on %s and cannot be altered.\n", mountPoint);
            return 2;
        }
        if (drive->getHasPartition() != 0)
            myprintf(stdout, "WARNING: The logical device may contain a partition.\n");
        myprintf(stdout, "WARNING: All data on this logical device will be lost during the clear process.\n");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        ret = lib->initializeLogicalDrive(target, static_cast<EnumInitMethod>(1), PRIORITY_MEDIUM);
    } else {
        myprintf(stdout, "'%s' is an invalid task option.\n", taskWord);
        displayHelp();
        return 2;
    }
    keepOutcome(ret);
    return 5;
}

int Task::stopLogicalDriveTask(StorLibPlugin* lib)
{
    Progress current;
    Ret query;
    const bool found = firstTask(lib, logicalDriveAddress(adapterNumber, logicalDrive), current, &query);
    returnCodes = query;
    if (query.getReturn() != 0 || !found || current.getType() == TASK_TYPE_NONE) {
        myprintf(stdout, "There is currently no running task on the specified logical device.\n");
        return 2;
    }
    if (current.getType() == TASK_TYPE_RECONFIGURATION) {
        myprintf(stdout, "Cannot stop a reconfiguration task.\n");
        return 2;
    }
    keepOutcome(lib->abortTask(controllerAddress(adapterNumber), current.getTaskID()));
    return 5;
}

int Task::executeDevice(StorLibPlugin* lib, Adapter* adapter)
{
    if (allFlag)
        return initializeAll(lib, adapter);

    PhysicalDevice* device = findDevice(adapter, channel, deviceID);
    if (device == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    if (!device->isInstanceOf("HardDrive")) {
        myprintf(stdout, "Device is not a hard drive.  Aborting.\n");
        return 2;
    }
    HardDrive* drive = static_cast<HardDrive*>(device);
    const Addr target = deviceAddress(adapterNumber, channel, deviceID);
    Progress current;
    const bool hasCurrent = firstTask(lib, target, current);
    if (adapter->getFeature(featOrvexaSupport) != 0 && drive->IsOrvexaAssigned()) {
        myprintf(stdout, "Disk specified cannot be used as it is assigned to Orvexa pool\n");
        return 2;
    }
    if (!start) {
        // Without the drive's task record there is no task id to abort.
        if (!drive->getTaskInProgress() || !hasCurrent) {
            myprintf(stdout, "There exists no task to stop on this device.");
            return 2;
        }
        keepOutcome(lib->abortTask(controllerAddress(adapterNumber), current.getTaskID()));
        return 5;
    }
    if (drive->getTaskInProgress()) {
        myprintf(stdout, "Task '%s' is already running on this device.  Aborting \n",
                 getTaskType(current.getType(), *current.getDeviceAddr()));
        return 2;
    }

    const int shownChannel = static_cast<int>(channel);
    const int shownDevice = static_cast<int>(deviceID);
    if (isWord(taskWord, "initialize"))
        return initializeOne(lib, adapter, drive);
    if (isWord(taskWord, "verify") || isWord(taskWord, "verify_fix")) {
        const bool fix = isWord(taskWord, "verify_fix");
        printLongProcess(fix ? "Verify with fix" : "Verify", "Hard drive");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        myprintf(stdout, fix ? "Verifying with fix Channel %d, Device %d.\n" : "Verifying Channel %d, Device %d.\n",
                 shownChannel, shownDevice);
        keepOutcome(lib->startTask(target, fix ? TASK_TYPE_BUILD_VERIFY : TASK_TYPE_VERIFY, nullptr));
        return 5;
    }
    if (isWord(taskWord, "clear"))
        return clearDrive(lib, drive);
    if (isWord(taskWord, "secureerase"))
        return secureErase(lib, adapter, drive);
    myprintf(stdout, "'%s' is an invalid task option.\n", taskWord);
    displayHelp();
    return 2;
}

int Task::initializeAll(StorLibPlugin* lib, Adapter* adapter)
{
    const bool multiInit = adapter->getFeature(featMultiInit) > 0;
    AddrCollection list;
    int count = 0;
    for (HardDrive* drive : collect<HardDrive>(adapter, "HardDrive", true)) {
        if (drive->getState() != PD_READY && !forceFlag)
            continue;
        myprintf(stdout, "Initializing Channel %d, Device %d.\n", static_cast<int>(drive->getChannelID()),
                 static_cast<int>(drive->getDeviceID()));
        ++count;
        const Addr addr = deviceAddress(adapterNumber, drive->getChannelID(), drive->getDeviceID());
        if (multiInit)
            list.addAddr(addr);
        else
            keepOutcome(lib->initializeHardDrive(addr));
    }
    if (multiInit)
        keepOutcome(lib->initializeHardDriveSet(controllerAddress(adapterNumber), list, false));
    const unsigned long left = multiInit ? list.getAddrCount() : 0;
    myprintf(stdout, "%d device(s) initialized.\n", count - static_cast<int>(left));
    for (unsigned long i = 0; i < left; ++i)
        myprintf(stdout, "initialization failed Channel %d, Device %d.\n",
                 static_cast<int>(list.getAddr(i).getChannelID()), static_cast<int>(list.getAddr(i).getDeviceID()));
    return 5;
}

int Task::initializeOne(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive)
{
    if (drive->getState() != PD_READY && !forceFlag) {
        // A drive left over from a failed logical device may still be
        // reclaimed.
        bool failedSegment = false;
        for (Chunk* chunk : drive->getChunks())
            failedSegment = failedSegment || chunk->getChunkState() == CHUNK_STATE_FAILED_SEGMENT;
        if (!failedSegment) {
            myprintf(stdout, "Initialize task can only be performed on a READY device.\n");
            return 2;
        }
    }
    const int shownChannel = static_cast<int>(channel);
    const int shownDevice = static_cast<int>(deviceID);
    myprintf(stdout,
             "Initializing Channel %d, Device %d will erase its metadata, the section\n"
             "where all the logical device definition data is stored\n",
             shownChannel, shownDevice);
    if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    myprintf(stdout, "Initializing Channel %d, Device %d.\n", shownChannel, shownDevice);
    const Addr target = deviceAddress(adapterNumber, channel, deviceID);
    if (adapter->getFeature(featMultiInit) > 0) {
        AddrCollection list;
        list.addAddr(target);
        keepOutcome(lib->initializeHardDriveSet(controllerAddress(adapterNumber), list, false));
        for (unsigned long i = 0; i < list.getAddrCount(); ++i)
            myprintf(stdout, "initialization failed Channel %d, Device %d.\n",
                     static_cast<int>(list.getAddr(i).getChannelID()),
                     static_cast<int>(list.getAddr(i).getDeviceID()));
    } else {
        keepOutcome(lib->initializeHardDrive(target));
    }
    return 5;
}

int Task::clearDrive(StorLibPlugin* lib, HardDrive* drive)
{
    if (drive->getOSPartitionInfo()) {
        myprintf(stdout, "WARNING: All data on this logical device will be lost during the clear process.\n");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
    }
    if (drive->getState() != PD_READY) {
        myprintf(stdout, "The device is in a %s state.\nAfter this operation, the device state will be %s.\n",
                 getPhysicalState(drive->getState()), "Ready");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
    }
    printLongProcess("Clear", "Hard drive");
    if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    myprintf(stdout, "Clearing Channel %d, Device %d.\n", static_cast<int>(channel), static_cast<int>(deviceID));
    keepOutcome(lib->startTask(deviceAddress(adapterNumber, channel, deviceID), TASK_TYPE_CLEAR, nullptr));
    return 5;
}

int Task::secureErase(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive)
{
    if (adapter->getFeature(featSecureErase) == 0) {
        myprintf(stdout, "The requested feature is not supported on this controller.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "The requested feature is supported and enabled.\n");
    if (drive->getState() != PD_READY) {
        myprintf(stdout, "WARNING: The drive appears to be in use.\nErasing the drive will result in loss of data.\n");
        if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
    }
    printLongProcess("Secure erase", "Hard drive");
    myprintf(stdout, "Warning: Rebooting the machine would stop the %s task.\n", "Secure erase");
    if (confirmBeforeActing(kQuestion) == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    myprintf(stdout, "Secure Erasing Channel %d, Device %d.\n", static_cast<int>(channel), static_cast<int>(deviceID));
    const Addr target = deviceAddress(adapterNumber, channel, deviceID);
    if (passwordGiven && !drive->IsATAsecuritySupport()) {
        myprintf(stderr, "The requested feature is not supported on this device.\n");
        return 2;
    }
    // The library takes the text as it is handed over; it does not keep it.
    char* text = passwordGiven ? const_cast<char*>(password) : nullptr;
    keepOutcome(lib->startTask(target, TASK_TYPE_SECURE_ERASE, text));
    return 5;
}

void Task::displayHelp()
{
    myprintf(stdout, " Usage: TASK START <Controller#> LOGICALDRIVE <LogicalDrive#> <task> [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: TASK STOP  <Controller#> LOGICALDRIVE <LogicalDrive#> [nologs] \n");
    myprintf(stdout, "\n");
    myprintf(stdout,
             " Usage: TASK START <Controller#> DEVICE <Channel# ID#> <task> [<password>][noprompt] [nologs]\n");
    myprintf(stdout, " Usage: TASK STOP  <Controller#> DEVICE <Channel# ID#> [nologs] \n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Performs a task on a logical device or a physical devices.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Task           : Task to be started or performed.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    LogicalDrive#  : logical device ID on which task is to be performed\n");
    myprintf(stdout, "    Logical Tasks  : verify_fix (Verify with fix)\n");
    myprintf(stdout, "                     verify\n");
    myprintf(stdout, "                     clear\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Channel# ID#   : The Channel and ID of the physical device on which task is to be\n");
    myprintf(stdout, "                     performed.  Optionally ALL indicates all ready drives for initialize\n");
    myprintf(stdout, "                     task only (ex. VYNCONF TASK START 1 DEVICE ALL INITIALIZE).\n");
    myprintf(stdout, "    Physical Tasks : verify_fix\n");
    for (const char* task : {"verify", "clear", "initialize", "secureerase"})
        myprintf(stdout, "                     %s\n", task);
    myprintf(stdout, "    Password       : Password is used for ata secure erase task\n");
}
