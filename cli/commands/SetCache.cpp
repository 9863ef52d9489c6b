#include "cli/commands/SetCache.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <strings.h>

namespace {

const char* const kKeyword = "SETCACHE";
const char* const kInvalidOption = "Invalid cache option specified\n";
const char* const kSameMode = "New %s cache mode is the same as the old %s cache mode.\n";

// Logical-drive cache values; 4 leaves the other cache as it is.
constexpr int kReadOff = 1;
constexpr int kReadOn = 2;
constexpr int kClearCache = 5;
constexpr int kWriteBack = 2;
constexpr EnumLogicalDriveCacheMode kUnchanged = static_cast<EnumLogicalDriveCacheMode>(4);
// A controller-wide mode the controller cannot set.
constexpr int kCannotSet = 3;
constexpr int kOrvexaPreferredOn = 2;
constexpr EnumOrvexaPreferredSetting kOrvexaPreferredOff = static_cast<EnumOrvexaPreferredSetting>(1);

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

EnumLogicalDriveCacheMode SetCache::getLogCacheMode(const char* word)
{
    const struct {
        const char* word;
        int mode;
        bool read;
    } modes[] = {
        {"ron", kReadOn, true}, {"roff", kReadOff, true}, {"clearcache", kClearCache, true},
        {"wt", 1, false},       {"wb", kWriteBack, false}, {"wbb", 3, false},
    };
    for (const auto& m : modes) {
        if (isWord(word, m.word)) {
            readMode = m.read;
            return static_cast<EnumLogicalDriveCacheMode>(m.mode);
        }
    }
    return static_cast<EnumLogicalDriveCacheMode>(0);
}

EnumHardDriveCacheMode SetCache::getPhyCacheMode(const char* word)
{
    if (isWord(word, "wt"))
        return static_cast<EnumHardDriveCacheMode>(1);
    if (isWord(word, "wb"))
        return static_cast<EnumHardDriveCacheMode>(0);
    return static_cast<EnumHardDriveCacheMode>(3);
}

int SetCache::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    logicalDriveFlag = false;
    deviceFlag = false;
    sasFlag = false;
    sataFlag = false;
    logicalDrive = UNSET;
    channel = UNSET;
    deviceID = UNSET;
    sasMode = static_cast<EnumHardDriveCacheMode>(4);
    sataMode = static_cast<EnumHardDriveCacheMode>(4);
    if (argc < 6 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (isWord(argv[3], "LOGICALDRIVE")) {
        logicalDriveFlag = true;
        if (argc != 6 || !readNumber(argv[4], logicalDrive))
            return 3;
        logicalMode = getLogCacheMode(argv[5]);
        if (logicalMode == 0) {
            myprintf(stdout, "%s", kInvalidOption);
            return 3;
        }
    } else if (isWord(argv[3], "DEVICE")) {
        deviceFlag = true;
        const int loaded = loadDeviceArguments(argv, argc);
        if (loaded != 0)
            return loaded;
    } else {
        return 3;
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int SetCache::loadDeviceArguments(char** argv, int argc)
{
    int next = 4;
    while (next < argc) {
        const bool sas = !sasFlag && isWord(argv[next], "SAS");
        const bool sata = !sataFlag && isWord(argv[next], "SATA");
        if (!sas && !sata)
            break;
        const EnumHardDriveCacheMode mode = getPhyCacheMode(argv[next + 1]);
        if (next + 1 >= argc || mode == 3) {
            myprintf(stdout, "%s", kInvalidOption);
            return 3;
        }
        if (sas) {
            sasFlag = true;
            sasMode = mode;
        } else {
            sataFlag = true;
            sataMode = mode;
        }
        next += 2;
    }
    if (sasFlag || sataFlag)
        return 0;
    if (next + 1 >= argc || !readNumber(argv[next], channel) || !readNumber(argv[next + 1], deviceID))
        return 3;
    physicalMode = getPhyCacheMode(argv[next + 2]);
    if (physicalMode == 3) {
        myprintf(stdout, "%s", kInvalidOption);
        return 3;
    }
    return 0;
}

int SetCache::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featCacheSupport) == 0) {
        myprintf(stdout, "Command not supported for this controller\n");
        return 2;
    }
    if (logicalDriveFlag)
        return setLogicalDriveCache(lib, adapter);
    if (adapter->getFeature(featEnableHDDCache) == 0) {
        myprintf(stdout, "Controller #%d does not have Hard Drive Cache support.\n", adapterNumber + 1);
        return 2;
    }
    return sasFlag || sataFlag ? setControllerCache(lib, adapter) : setDriveCache(lib, adapter);
}

int SetCache::setLogicalDriveCache(StorLibPlugin* lib, Adapter* adapter)
{
    LogicalDrive* drive = findLogicalDrive(adapter, logicalDrive);
    if (drive == nullptr) {
        myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(logicalDrive));
        return 2;
    }
    if (drive->getState() == LD_FAILED) {
        myprintf(stderr,
                 "logical device %d is in failed state. Cache settings cannot be changed for offline/failed "
                 "array.\n",
                 static_cast<int>(logicalDrive));
        return 2;
    }
    const Addr target = logicalDriveAddress(adapterNumber, logicalDrive);
    const int mode = static_cast<int>(logicalMode);
    if (!readMode) {
        if (drive->getWriteCacheSetting() == mode) {
            myprintf(stdout, kSameMode, "write", "write");
            return 2;
        }
        if (mode == kWriteBack &&
            confirmBeforeActing("WARNING: Power failure without battery/KVT support will lead to data loss.\n"
                                "Do you wish to continue?\n") == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        keepOutcome(lib->setLogicalDriveCache(target, kUnchanged, logicalMode));
        return 5;
    }
    if (adapter->getFeature(featReadCacheChangeable) == 0) {
        myprintf(stdout, "Controller does not support read cache changes.\n");
        return 2;
    }
    if (mode != kClearCache && drive->getReadCacheSetting() == mode) {
        myprintf(stdout, kSameMode, "read", "read");
        return 2;
    }
    if (mode == kReadOff && adapter->getFeature(featOrvexaSupport) != 0 &&
        static_cast<int>(drive->getOrvexaPreferredSetting()) == kOrvexaPreferredOn) {
        // The SSD cache would keep reading for the drive: it goes first.
        myprintf(stdout, "\n");
        if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        if (!keepOutcome(lib->setOrvexaPreferredCache(target, kOrvexaPreferredOff)))
            return 5;
    }
    keepOutcome(lib->setLogicalDriveCache(target, logicalMode, kUnchanged));
    return 5;
}

int SetCache::setControllerCache(StorLibPlugin* lib, Adapter* adapter)
{
    const struct {
        bool& given;
        EnumHardDriveCacheMode& requested;
        EnumHardDriveCacheMode current;
        const char* name;
    } options[] = {
        {sasFlag, sasMode, adapter->getSasHDCacheMode(), "SAS"},
        {sataFlag, sataMode, adapter->getSataHDCacheMode(), "SATA"},
    };
    for (const auto& option : options) {
        if (!option.given)
            continue;
        if (option.current == kCannotSet) {
            option.given = false;
            myprintf(stdout, "Controller #%d does not support setting global %s device cache.\n", adapterNumber + 1,
                     option.name);
            myprintf(stdout, "The selected parameter will be ignored.\n");
        } else if (option.current == option.requested) {
            option.given = false;
            myprintf(stdout, kSameMode, option.name, option.name);
            myprintf(stdout, "The selected parameter will be ignored.\n");
        }
    }
    if (!sasFlag && !sataFlag) {
        myprintf(stdout, "No new supported cache settings have been specified.\n");
        return 2;
    }
    const EnumHardDriveCacheMode sata = sataFlag ? sataMode : adapter->getSataHDCacheMode();
    const EnumHardDriveCacheMode sas = sasFlag ? sasMode : adapter->getSasHDCacheMode();
    keepOutcome(lib->setControllerPhysicalDriveCache(controllerAddress(adapterNumber), sata, sas));
    return 5;
}

int SetCache::setDriveCache(StorLibPlugin* lib, Adapter* adapter)
{
    PhysicalDevice* device = findDevice(adapter, channel, deviceID);
    if (device == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }
    // Only hard drives have a write cache to set.
    if (!device->isInstanceOf("HardDrive")) {
        myprintf(stdout, "The device specified is not a hard drive.\n");
        return 2;
    }
    HardDrive* drive = static_cast<HardDrive*>(device);
    if (!drive->getWriteCacheEnableSupported()) {
        myprintf(stdout, "Write cache not supported on this device.\n");
        return 2;
    }
    if (adapter->getFeature(featOrvexaSupport) != 0 && drive->IsOrvexaAssigned()) {
        myprintf(stdout, "Disk specified cannot be used as it is assigned to Orvexa pool\n");
        return 2;
    }
    if (drive->getWriteCacheEnable() == physicalMode) {
        myprintf(stdout, kSameMode, "write", "write");
        return 2;
    }
    keepOutcome(lib->setPhysicalDriveCache(deviceAddress(adapterNumber, channel, deviceID), physicalMode));
    return 5;
}

void SetCache::displayHelp()
{
    static const char* const lines[] = {
        " Usage: SETCACHE <Controller#> LOGICALDRIVE <LogicalDrive#> <logical mode> [noprompt] [nologs]",
        " Usage: SETCACHE <Controller#> DEVICE <Channel# ID#> <physical mode> [nologs]",
        nullptr,
        "",
        " Changes a device's cache mode.",
        "",
        "  LOGICALDRIVE parameters",
        "    LogicalDrive#  : Number of the logical device whose cache will be altered",
        "    Logical Modes  : ron  - read cache enabled",
        "                     roff - read cache disabled",
        "                     wt   - write through",
        "                     wb   - write back",
        "                     wbb  - write back with battery/KVT",
        "",
        "  DEVICE parameters",
        "    Channel# ID#   : Channel and ID of the device whose cache will be altered",
        "    Physical Modes : wt   - write through",
        "                     wb   - write back",
    };
    for (const char* line : lines) {
        if (line == nullptr)
            printHelpRule();
        else
            myprintf(stdout, "%s\n", line);
    }
}
