#include "cli/commands/SetOrvexa.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/System.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/ErrorMessages.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/AddrCollection.h"

#include <algorithm>
#include <strings.h>

namespace {

enum Operation {
    OP_NONE = 0,
    OP_ADD_TO_POOL = 1,
    OP_REMOVE_FROM_POOL = 2,
    OP_CLEAR = 3,
    OP_READCACHE_ENABLE = 4,
    OP_READCACHE_DISABLE = 5,
    OP_WRITECACHE_ENABLE = 6,
    OP_WRITECACHE_DISABLE = 7,
    OP_WRITEPOLICY = 8,
    OP_DIRTYPAGETHRESHOLD = 9,
    OP_FLUSHANDFETCHRATE = 10,
    OP_RWBALANCE = 11
};

// EnumOrvexaPreferredSetting and EnumOrvexaWriteCachePreferredSetting.
constexpr int SETTING_DISABLED = 1;
constexpr int SETTING_ENABLED = 2;
constexpr int SETTING_CHANGE_POLICY = 3;

// API status: the pool still holds data not written to the logical drives.
constexpr unsigned ORVEXA_DIRTY_DATA = 639;
constexpr std::size_t ERROR_TEXT_SIZE = 400;

const char* const ARE_YOU_SURE = "\nAre you sure you want to continue?\n";
const char* const DIRTY_DATA_TEXT =
    "\nThis operation is not allowed because Orvexa is having dirty data. Please disable the Orvexa "
    "write-back caching on all logical devices and try later.\n\n";
const char* const WRITE_CACHE_WARNING =
    "Enabling write caching can result in data loss for \nall arrays that use SSD caching if an SSD fails.\n"
    "Please contact your Quenvar representative for additional details.\n";

struct PolicyName {
    const char* word;
    int value;
    const char* display;
};

const PolicyName policyNames[] = {
    {"WB", 1, "Write Back"},
    {"INSTWB", 2, "Instant Write Back"},
    {"WT", 3, "Write Through"},
    {"WBWITHWT", 4, "Write Back with Write Through"},
};

const char* policyDisplayName(int value)
{
    for (const PolicyName& p : policyNames)
        if (p.value == value)
            return p.display;
    return "";
}

bool is(const char* word, const char* keyword)
{
    return word != nullptr && strcasecmp(word, keyword) == 0;
}

bool isCacheKeyword(const char* word)
{
    return is(word, "READCACHE") || is(word, "WRITECACHE") || is(word, "WRITEPOLICY");
}


}  // namespace

int SetOrvexa::writePolicy(const char* word)
{
    for (const PolicyName& p : policyNames)
        if (is(word, p.word))
            return p.value;
    return 0;
}

int SetOrvexa::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    subCommand = argv[3];
    if (is(argv[3], "ADDTOPOOL") || is(argv[3], "REMOVEFROMPOOL")) {
        operation = is(argv[3], "ADDTOPOOL") ? OP_ADD_TO_POOL : OP_REMOVE_FROM_POOL;
        return loadArgumentsPhysical(argv, argc);
    }
    if (is(argv[3], "CLEAR") || is(argv[3], "FLUSHANDFETCHRATE") || is(argv[3], "DIRTYPAGETHRESHOLD")) {
        operation = is(argv[3], "CLEAR") ? OP_CLEAR
                    : is(argv[3], "FLUSHANDFETCHRATE") ? OP_FLUSHANDFETCHRATE
                                                       : OP_DIRTYPAGETHRESHOLD;
        return loadArgumentsAdapter(argv, argc);
    }
    if (is(argv[3], "RWBALANCE")) {
        if (argc <= 5)
            return 3;
        operation = OP_RWBALANCE;
        return loadArgumentsAdapter(argv, argc);
    }
    if (is(argv[3], "LOGICALDRIVE"))
        return loadArgumentsLogical(argv, argc);
    operation = OP_NONE;
    return 3;
}

int SetOrvexa::loadArgumentsAdapter(char** argv, int argc)
{
    if (argc < 5 && operation != OP_CLEAR)
        return 3;
    int expectedWords = 5;
    if (operation == OP_FLUSHANDFETCHRATE) {
        flushAndFetchRate = ascii2int(argv[4]);
        if (flushAndFetchRate == CLI_NAN)
            return 3;
        if (flushAndFetchRate < 1 || flushAndFetchRate > 1000) {
            myprintf(stdout, "The flush and fetch rate should be between 1 and 1000 inclusive\n");
            return 3;
        }
    } else if (operation == OP_RWBALANCE) {
        readFactor = ascii2int(argv[4]);
        writeFactor = ascii2int(argv[5]);
        if (readFactor < 1 || readFactor > 10 || writeFactor < 1 || writeFactor > 10) {
            myprintf(stdout, "The read, write balance factor should be between 1 to 10 inclusive.\n");
            return 3;
        }
        expectedWords = 6;
    } else if (operation == OP_DIRTYPAGETHRESHOLD) {
        dirtyPageThreshold = ascii2int(argv[4]);
        if (dirtyPageThreshold < 1 || dirtyPageThreshold > 100) {
            myprintf(stdout, "The Orvexa dirty page threshold should be in between 1 to 100.\n");
            return 3;
        }
    } else {
        expectedWords = 4;
    }
    if (argc != expectedWords)
        return 3;
    debugArgumentsValid("SETORVEXA");
    return 0;
}

int SetOrvexa::loadArgumentsPhysical(char** argv, int argc)
{
    if (argc <= 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    drives.clear();
    for (int i = 4; i < argc;) {
        unsigned channel = 0;
        unsigned device = 0;
        const int used = getnextdevice(argc - i, &argv[i], channel, device);
        if (used < 0)
            return 3;
        i += used;
        const bool repeated = std::any_of(drives.begin(), drives.end(), [&](const Addr& a) {
            return a.getChannelID() == channel && a.getDeviceID() == device;
        });
        if (repeated) {
            myprintf(stdout, "\nCannot use a drive multiple times\n");
            return 3;
        }
        drives.push_back(deviceAddress(adapterNumber, channel, device));
        if (UCLI_DEBUG)
            myprintf(stderr, "%s: %d,%d\n", "Loaded segment", static_cast<int>(channel), static_cast<int>(device));
    }
    debugArgumentsValid("SETORVEXA");
    return 0;
}

int SetOrvexa::loadArgumentsLogical(char** argv, int argc)
{
    if (argc < 7)
        return 3;
    logicalDrives.clear();
    int i = 4;
    for (; i < argc && !isCacheKeyword(argv[i]); ++i) {
        const int number = ascii2int(argv[i]);
        if (number == CLI_NAN)
            return 3;
        if (std::find(logicalDrives.begin(), logicalDrives.end(), number) != logicalDrives.end()) {
            myprintf(stderr, "The logical device number is redundant in the given input\n");
            return 3;
        }
        logicalDrives.push_back(number);
    }
    if (i >= argc)
        return 3;
    if (logicalDrives.empty()) {
        myprintf(stdout, "No logical devices found for Orvexa operation.\n");
        return 3;
    }
    policy = 0;
    if (i + 1 >= argc)
        return 3;
    const char* value = argv[i + 1];
    int last = i + 1;
    if (is(argv[i], "READCACHE")) {
        if (is(value, "ENABLE"))
            operation = OP_READCACHE_ENABLE;
        else if (is(value, "DISABLE"))
            operation = OP_READCACHE_DISABLE;
        else
            return 3;
    } else if (is(argv[i], "WRITEPOLICY")) {
        policy = writePolicy(value);
        if (policy == 0)
            return 3;
        operation = OP_WRITEPOLICY;
    } else if (is(value, "DISABLE")) {
        operation = OP_WRITECACHE_DISABLE;
    } else if (is(value, "ENABLE")) {
        operation = OP_WRITECACHE_ENABLE;
        if (argc > static_cast<int>(logicalDrives.size()) + 6) {
            if (i + 3 >= argc || !is(argv[i + 2], "WRITEPOLICY"))
                return 3;
            policy = writePolicy(argv[i + 3]);
            if (policy == 0)
                return 3;
            last = i + 3;
        }
    } else {
        return 3;
    }
    if (last != argc - 1)
        return 3;
    debugArgumentsValid("SETORVEXA");
    return 0;
}

int SetOrvexa::execute(StorLibPlugin* lib)
{
    debugExecuting("SETORVEXA");
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featOrvexaSupport) == 0 && adapter->getFeature(featOrvexaWriteCacheSupport) == 0) {
        myprintf(stdout, "Controller %d does not support Orvexa read and write cache.\n", adapterNumber + 1);
        return 19;
    }
    if ((operation == OP_WRITECACHE_ENABLE || operation == OP_WRITECACHE_DISABLE || operation == OP_WRITEPOLICY) &&
        adapter->getFeature(featOrvexaWriteCacheSupport) == 0) {
        myprintf(stdout, "Controller %d does not support Orvexa write cache.\n", adapterNumber + 1);
        return 19;
    }
    switch (operation) {
    case OP_CLEAR:
    case OP_DIRTYPAGETHRESHOLD:
    case OP_FLUSHANDFETCHRATE:
    case OP_RWBALANCE:
        return executeAdapter(lib, adapter);
    case OP_ADD_TO_POOL:
    case OP_REMOVE_FROM_POOL:
        return executeDisk(lib, adapter);
    default:
        return executeLogical(lib, adapter);
    }
}

int SetOrvexa::executeAdapter(StorLibPlugin* lib, Adapter* adapter)
{
    if ((operation == OP_FLUSHANDFETCHRATE && adapter->getFeature(featOrvexaFlushAndFetchRate) == 0) ||
        (operation == OP_RWBALANCE && adapter->getFeature(featOrvexaRWFactor) == 0)) {
        myprintf(stdout, "The requested feature is not supported on this controller.\n");
        return 2;
    }
    const bool readCache = adapter->getFeature(featOrvexaSupport) == 1;
    const bool writeCache = adapter->getFeature(featOrvexaWriteCacheSupport) == 1;
    if ((operation == OP_CLEAR && !readCache) || (operation == OP_DIRTYPAGETHRESHOLD && !(readCache && writeCache))) {
        myprintf(stdout, "The requested operation is allowed only if both Orvexa read cache and Orvexa write "
                         "cache are enabled.\n");
        return 2;
    }
    if (adapter->getNumOrvexaAssignedDrives() == 0) {
        if (operation == OP_CLEAR) {
            myprintf(stdout, "\nThe requested operation needs a Orvexa pool configured. \n");
            return 2;
        }
        myprintf(stdout, "\nWarning: There is no cache pool configured.\nThe settings would be effective only "
                         "after the cache pool is configured \n");
    }
    const Addr addr = controllerAddress(adapterNumber);
    switch (operation) {
    case OP_FLUSHANDFETCHRATE:
        if (adapter->getOrvexaFlushAndFetchRate() == static_cast<unsigned long>(flushAndFetchRate)) {
            myprintf(stderr, "The flush and fetch rate input value is same as the existing one\n");
            return 2;
        }
        returnCodes = lib->setOrvexaFlushAndFetchRate(addr, static_cast<unsigned long>(flushAndFetchRate));
        break;
    case OP_DIRTYPAGETHRESHOLD:
        if (adapter->getDirtyPageThresholdValue() == static_cast<unsigned long>(dirtyPageThreshold)) {
            myprintf(stderr, "The dirty page threshold input value is same as the existing one\n");
            return 2;
        }
        returnCodes = lib->setDirtyPageThresholdValue(addr, static_cast<unsigned long>(dirtyPageThreshold));
        break;
    case OP_RWBALANCE:
        returnCodes = lib->setOrvexaRWFactor(addr, static_cast<unsigned long>(readFactor),
                                             static_cast<unsigned long>(writeFactor));
        break;
    default:
        returnCodes = adapter->clearOrvexaPool();
        if (returnCodes.getAPIReturn() == ORVEXA_DIRTY_DATA) {
            myprintf(stderr, "%s", DIRTY_DATA_TEXT);
            return 1;
        }
        break;
    }
    return returnCodes.getReturn() != 0 ? 5 : 0;
}

int SetOrvexa::executeDisk(StorLibPlugin*, Adapter* adapter)
{
    const bool adding = operation == OP_ADD_TO_POOL;
    if (drives.empty()) {
        myprintf(stderr, "No Disks to be added to Orvexa pool.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        for (const Addr& d : drives)
            myprintf(stdout, "Disk %d,%d scheduled for Orvexa pool operation\n", static_cast<int>(d.getChannelID()),
                     static_cast<int>(d.getDeviceID()));
    if (adapter->getFeature(featOrvexaWriteCacheSupport) != 0) {
        returnCodes = adapter->isOrvexaHasDirtyData();
        if (returnCodes.getAPIReturn() == ORVEXA_DIRTY_DATA) {
            myprintf(stderr, "%s", DIRTY_DATA_TEXT);
            return 1;
        }
    }
    unsigned long poolCount = adapter->getNumOrvexaAssignedDrives();
    bool poolFullShown = false;
    bool acted = false;
    int failures = 0;
    for (const Addr& d : drives) {
        const int channel = static_cast<int>(d.getChannelID());
        const int device = static_cast<int>(d.getDeviceID());
        HardDrive* drive = findHardDrive(adapter, d.getChannelID(), d.getDeviceID());
        if (drive == nullptr) {
            myprintf(stderr, "Disk %d,%d does not exist\n\n", channel, device);
            ++failures;
            continue;
        }
        if (adding) {
            if (!drive->IsNonSpinning() || !drive->IsOrvexaCapable()) {
                myprintf(stderr, "Disk %d,%d is not Orvexa capable.\n\n", channel, device);
                ++failures;
                continue;
            }
            if (drive->IsOrvexaAssigned()) {
                myprintf(stderr, "Disk %d,%d is already a member of the Orvexa pool.\n\n", channel, device);
                ++failures;
                continue;
            }
            if (drive->getState() != PD_READY) {
                myprintf(stderr,
                         "Disk %d,%d is not in Ready state. Only SSD drives with Ready state can be assigned to "
                         "orvexa pool.\n\n",
                         channel, device);
                ++failures;
                continue;
            }
            if (poolCount >= adapter->getMaxNumOrvexaAssignedDrives()) {
                if (!poolFullShown)
                    myprintf(stderr, "Orvexa pool can support a maximum of %d SSD drives.\nUnable to add more SSD "
                                     "drives.\n",
                             static_cast<int>(adapter->getMaxNumOrvexaAssignedDrives()));
                poolFullShown = true;
                ++failures;
                continue;
            }
            ++poolCount;
        } else if (!drive->IsOrvexaAssigned()) {
            myprintf(stderr, "Disk %d,%d is not a member of the Orvexa pool.\n\n", channel, device);
            ++failures;
            continue;
        }
        if (!acted) {
            myprintf(stdout, adding ? "This will add the disks specified to the Orvexa pool.\n"
                                    : "This will remove the disks specified from the Orvexa pool.\n");
            if (confirmBeforeActing(ARE_YOU_SURE) == CONFIRMATION_PENDING)
                return CONFIRMATION_PENDING;
        }
        acted = true;
        AddrCollection one;
        one.addAddr(deviceAddress(static_cast<int>(drive->getAdapterID()), drive->getChannelID(),
                                  drive->getDeviceID()));
        returnCodes = adding ? adapter->addDriveToOrvexaPool(one) : adapter->removeDriveFromOrvexaPool(one);
        if (returnCodes.getReturn() != 0) {
            ++failures;
            char text[ERROR_TEXT_SIZE] = {};
            myprintf(stdout, "Disk %d, %d: %s", channel, device, getErrorMessage(returnCodes, text, subCommand));
        }
    }
    if (!acted)
        return 1;
    if (failures > 0)
        myprintf(stdout, "Warning:Requested operation could not be performed on %d disks.\n", failures);
    return failures == static_cast<int>(drives.size()) ? 5 : 0;
}

int SetOrvexa::executeLogical(StorLibPlugin* lib, Adapter* adapter)
{
    if (UCLI_DEBUG)
        for (int id : logicalDrives)
            myprintf(stdout, "logical device %d is being configured for OrvexaCaching\n", id);
    bool asked = false;
    bool called = false;
    int failures = 0;
    // The question is asked once, before the first call that needs it.
    auto confirmOnce = [&](const char* question) {
        if (asked)
            return 0;
        asked = true;
        return confirmBeforeActing(question);
    };
    for (int id : logicalDrives) {
        myprintf(stderr, "\n");
        const Addr ldAddr = logicalDriveAddress(adapterNumber, static_cast<unsigned long>(id));
        LogicalDrive* drive = findLogicalDrive(adapter, static_cast<unsigned long>(id));
        if (drive == nullptr) {
            myprintf(stderr, "logical device %d does not exist.\n", id);
            ++failures;
            continue;
        }
        if (drive->getState() == LD_FAILED) {
            myprintf(stderr, "logical device %d is in failed state. Cache settings cannot be changed for "
                             "offline/failed array.\n",
                     id);
            ++failures;
            continue;
        }
        const int readSetting = static_cast<int>(drive->getOrvexaPreferredSetting());
        const int writeSetting = static_cast<int>(drive->getOrvexaWriteCachePreferredSetting());
        int setting = 0;
        int newPolicy = 0;
        const char* question = ARE_YOU_SURE;
        std::string writeQuestion;
        switch (operation) {
        case OP_READCACHE_ENABLE:
            if (readSetting == SETTING_ENABLED) {
                myprintf(stderr, "Orvexa read cache is currently enabled for the logical device %d\n", id);
                ++failures;
                continue;
            }
            question = nullptr;
            setting = SETTING_ENABLED;
            break;
        case OP_READCACHE_DISABLE:
            if (readSetting != SETTING_ENABLED) {
                myprintf(stderr, "Orvexa read cache is currently disabled for the logical device %d\n", id);
                ++failures;
                continue;
            }
            setting = SETTING_DISABLED;
            break;
        case OP_WRITECACHE_ENABLE: {
            if (writeSetting != SETTING_DISABLED) {
                myprintf(stderr, "Orvexa write cache is currently enabled for the logical device %d\n", id);
                ++failures;
                continue;
            }
            const int protection = adapter->IsBLBUPresent() ? adapter->getBLBUStatus() : adapter->getBatStatus();
            const bool unprotected = adapter->IsBLBUPresent() ? (protection == 3 || protection == 4)
                                                              : (protection == 3 || protection == 4 || protection == 6);
            writeQuestion = WRITE_CACHE_WARNING;
            if (unprotected)
                writeQuestion += "\nWARNING: Power failure without battery/KVT support will lead to \ndata loss.\n";
            writeQuestion += "Do you wish to continue?\n\n";
            question = writeQuestion.c_str();
            setting = SETTING_ENABLED;
            newPolicy = policy;
            break;
        }
        case OP_WRITECACHE_DISABLE:
            if (writeSetting != SETTING_ENABLED) {
                myprintf(stderr, "Orvexa write cache is currently disabled for the logical device %d\n", id);
                ++failures;
                continue;
            }
            setting = SETTING_DISABLED;
            break;
        default:
            if (writeSetting != SETTING_ENABLED) {
                myprintf(stderr, "Orvexa write policy cannot be modified. Orvexa write cache is disabled for the "
                                 "logical device %d\n",
                         id);
                ++failures;
                continue;
            }
            if (static_cast<int>(drive->getOrvexaWriteCachePolicySetting()) == policy) {
                myprintf(stderr, "Orvexa write cache policy \"%s\" is already enabled for the logical device %d\n",
                         policyDisplayName(policy), id);
                ++failures;
                continue;
            }
            setting = SETTING_CHANGE_POLICY;
            newPolicy = policy;
            break;
        }
        if (question != nullptr && confirmOnce(question) == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        called = true;
        if (operation == OP_READCACHE_ENABLE || operation == OP_READCACHE_DISABLE)
            returnCodes = lib->setOrvexaPreferredCache(ldAddr, static_cast<EnumOrvexaPreferredSetting>(setting));
        else
            returnCodes = lib->setPreferredOrvexaWriteCache(ldAddr,
                                                            static_cast<EnumOrvexaWriteCachePreferredSetting>(setting),
                                                            static_cast<EnumOrvexaWriteCachePolicySetting>(newPolicy));
        if (returnCodes.getReturn() != 0)
            ++failures;
    }
    if (logicalDrives.size() > 1 && failures > 0)
        myprintf(stdout, "Warning:Requested operation could not be performed on %d logical device(s).\n", failures);
    return called ? 0 : 1;
}

void SetOrvexa::displayHelp()
{
    myprintf(stdout, " Read Caching:\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> LOGICALDRIVE <LD#> [<LD#> <LD#>..] READCACHE <ENABLE/DISABLE> "
                     "[nologs]\n");
    myprintf(stdout, "\n Write Caching: Please contact your Quenvar representative to enable the SSD write caching "
                     "feature\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> DIRTYPAGETHRESHOLD <DIRTYPAGETHRESHOLD#> [nologs]\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> LOGICALDRIVE <LD#> [<LD#> <LD#>..] WRITECACHE "
                     "<ENABLE/DISABLE> [WRITEPOLICY <Policy>] [nologs]\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> LOGICALDRIVE <LD#> [<LD#> <LD#>..] WRITEPOLICY <Policy> "
                     "[nologs]\n");
    myprintf(stdout, "\n General Orvexa Commands:\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> ADDTOPOOL <Channel# ID#> [Channel# ID#] ... [nologs] \n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> REMOVEFROMPOOL <Channel# ID#> [Channel# ID#] ... [nologs] \n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> CLEAR [nologs]\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> FLUSHANDFETCHRATE <FLUSHANDFETCHRATE#> [nologs]\n");
    myprintf(stdout, " Usage: SETORVEXA <Controller#> RWBALANCE <READ#> <WRITE#> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "    FLUSHANDFETCHRATE# : Valid range is 1 to 1000. 1-50 Low, 51-100 Medium, 101-1000 High\n");
    myprintf(stdout, "    READ# WRITE#       : Valid range is 1 to 10\n");
    myprintf(stdout, "    DIRTYPAGETHRESHOLD : Sets the percentage of write cache in Orvexa Pool\n");
    myprintf(stdout, "                         Valid range is 1 to 100\n");
    myprintf(stdout, "    Policy             : WB       - Write Back Cache Policy\n");
}
