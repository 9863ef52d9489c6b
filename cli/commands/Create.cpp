#include "cli/commands/Create.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Implementation/Vyn/VynAdapterLimits.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/CliSleep.h"
#include "cli/Confirm.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/Ret.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <set>

namespace {

constexpr std::size_t MAX_NAME_LENGTH = 16;
// Seconds between two looks at the tasks of a SYNC creation.
constexpr unsigned SYNC_POLL_SECONDS = 15;

bool is(const char* word, const char* keyword)
{
    return word != nullptr && strcasecmp(word, keyword) == 0;
}

bool isReconfiguring(EnumLogicalDeviceState state)
{
    return state == LD_RECONFIGURING || state == LD_DEGRADED_RECONFIGURING || state == LD_SUBOPTIMAL_RECONFIGURING;
}

// Clear, format, build/verify, verify and flush keep a SYNC creation waiting.
bool keepsSyncWaiting(EnumTaskType type)
{
    return type == TASK_TYPE_CLEAR || type == TASK_TYPE_FORMAT || type == TASK_TYPE_BUILD_VERIFY ||
           type == TASK_TYPE_VERIFY || type == TASK_TYPE_FLUSH;
}

Addr controllerAddr(Adapter* adapter)
{
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
    return addr;
}

std::string trimmed(const std::string& text)
{
    std::string copy(text);
    trim(&copy[0]);
    return std::string(copy.c_str());
}

}  // namespace

EnumRaidLevel getRAIDLevelEnum(const char* word)
{
    static const struct {
        const char* word;
        EnumRaidLevel level;
    } kLevels[] = {
        {"0", RAID_LEVEL_0},
        {"1", RAID_LEVEL_1},
        {"1E", RAID_LEVEL_1E},
        {"5", RAID_LEVEL_5},
        {"5E", static_cast<EnumRaidLevel>(6)},
        {"5EE", RAID_LEVEL_5EE},
        {"00", static_cast<EnumRaidLevel>(8)},
        {"10", RAID_LEVEL_10},
        {"1E0", static_cast<EnumRaidLevel>(10)},
        {"50", RAID_LEVEL_50},
        {"5E0", static_cast<EnumRaidLevel>(12)},
        {"Spanned_volume", RAID_LEVEL_SPANNED_VOLUME},
        {"RAID_volume", RAID_LEVEL_RAID_VOLUME},
        {"RVOLUME", RAID_LEVEL_RAID_VOLUME},
        {"volume", RAID_LEVEL_SIMPLE_VOLUME},
        {"Simple_volume", RAID_LEVEL_SIMPLE_VOLUME},
        {"6", RAID_LEVEL_6},
        {"60", RAID_LEVEL_60},
    };
    for (const auto& entry : kLevels)
        if (is(word, entry.word))
            return entry.level;
    return RAID_LEVEL_NONE;
}

int getStripeSize(const char* word)
{
    if (word == nullptr || *word == '\0')
        return 1;
    const int value = ascii2int(word);
    for (int size : {4, 8, 16, 32, 64, 128, 256, 512, 1024})
        if (value == size)
            return size;
    return 1;
}

Create::Create() : UcliCommand("CREATE", "creates a logical device", Listed) {}

Create::Create(const char* keyword, const char* description) : UcliCommand(keyword, description, Listed) {}

Create::~Create()
{
    releaseSpec();
}

void Create::releaseSpec()
{
    delete spec;
    spec = nullptr;
}

Adapter* Create::adapterOf(StorLibPlugin* lib) const
{
    return findAdapter(lib, adapterNumber);
}

bool Create::isValidRAIDLevel(Adapter* adapter, EnumRaidLevel level)
{
    auto has = [adapter](int feature) { return adapter->getFeature(static_cast<FeatureEnum>(feature)) != 0; };
    switch (level) {
    case RAID_LEVEL_0:
        return has(featRaid0);
    case RAID_LEVEL_1:
        return has(featRaid1);
    case RAID_LEVEL_1E:
        return has(featRaid1E);
    case RAID_LEVEL_5:
        return has(featRaid5);
    case RAID_LEVEL_5EE:
        return has(featRaid5EE);
    case RAID_LEVEL_10:
        return has(featRaid10);
    case RAID_LEVEL_50:
        return has(featRaid50);
    case RAID_LEVEL_SIMPLE_VOLUME:
        return true;
    case RAID_LEVEL_6:
        return has(featRaid6);
    case RAID_LEVEL_60:
        return has(featRaid60);
    case RAID_LEVEL_6RS:
        return has(featRaid6RS);
    case RAID_LEVEL_60RS:
        return has(featRaid60RS);
    default:
        return false;
    }
}

int Create::getMaxDrivesPerRaidLevel(Adapter* adapter, EnumRaidLevel level)
{
    if (level == RAID_LEVEL_1)
        return 2;
    if (level == RAID_LEVEL_60 || level == RAID_LEVEL_60RS)
        return 16 * legs;
    const VynAdapterLimits* limits = vynAdapterLimits(adapter);
    if (limits == nullptr)
        return INT_MAX;
    switch (level) {
    case RAID_LEVEL_0:
        return limits->getMaxRaid0Members();
    case RAID_LEVEL_1E:
        return limits->getMaxRaid1EMembers();
    case RAID_LEVEL_5:
        return limits->getMaxRaid5Members();
    case RAID_LEVEL_5EE:
        return limits->getMaxRaid5EEMembers();
    case RAID_LEVEL_SPANNED_VOLUME:
    case RAID_LEVEL_SIMPLE_VOLUME:
        return limits->getMaxSpannedVolumeMembers();
    case RAID_LEVEL_RAID_VOLUME:
        return limits->getMaxRaidVolumeMembers();
    case RAID_LEVEL_6:
        return limits->getMaxRaid6Members();
    default:
        return limits->getMaxLogicalDriveMembers();
    }
}

std::string Create::buildLogicalDriveName(Adapter* adapter)
{
    std::set<std::string> names;
    std::set<unsigned long> ids;
    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
        names.insert(drive->getName() != nullptr ? drive->getName() : "");
        ids.insert(drive->getLogicalDriveID());
    }
    unsigned long id = 0;
    while (ids.count(id) != 0)
        ++id;
    std::string candidate = "LogicalDrv " + std::to_string(id);
    while (names.count(candidate) != 0 && candidate.size() < MAX_NAME_LENGTH)
        candidate = "LogicalDrv " + std::to_string(++id);
    return candidate;
}

void Create::displayError(int code)
{
    switch (code) {
    case CREATE_BAD_DRIVE_COUNT:
        myprintf(stdout, "Incorrect number of disks for the requested RAID type.\n");
        break;
    case CREATE_NO_SPACE:
        myprintf(stdout, "Not enough available space.\n");
        break;
    case CREATE_TOO_SMALL:
        myprintf(stdout, "Requested logical device size is too small.\n");
        break;
    case CREATE_DEVICE_UNAVAILABLE:
        myprintf(stdout, "A selected device is not available for use.\n");
        break;
    case CREATE_STRIPE_TOO_LARGE:
        myprintf(stdout, "Stripe size is too large for selected disks and RAID type.\n");
        break;
    case CREATE_MIXED_INTERFACES:
        myprintf(stdout, "Cannot mix physical device interface types (SAS, SATA) within a logical device.\n");
        break;
    case CREATE_TOO_LARGE:
        myprintf(stdout, "Size specified is larger than the maximum logical device size of %u MB.\n",
                 static_cast<unsigned>(MAX_32BIT_LOGICAL_DRIVE_MB));
        break;
    case CREATE_SEGMENT_LIMIT:
        myprintf(stdout, "A selected physical device segment limit has been reached.\n");
        break;
    case CREATE_BAD_CONTROLLER:
        myprintf(stdout, "Invalid controller number.\n");
        break;
    default:
        myprintf(stdout, "Create error (0x%X)\n", static_cast<unsigned>(code));
        break;
    }
}

int Create::buildChunkSpec(char** words, int count, LogicalDriveSpec* target, unsigned& n)
{
    n = 0;
    int at = 0;
    while (at < count) {
        unsigned channel = 0;
        unsigned device = 0;
        const int used = getnextdevice(count - at, words + at, channel, device);
        if (used < 1)
            return 3;
        for (const ChunkSpec& earlier : target->chunks) {
            if (earlier.getChannelID() == channel && earlier.getDeviceID() == device) {
                myprintf(stdout, "\nCannot use a drive multiple times in one logical device!\n");
                return 3;
            }
        }
        target->addChunk(channel, device, 0, 0, 0, static_cast<EnumChunkType>(0));
        if (UCLI_DEBUG)
            myprintf(stderr, "%s: %d,%d\n", "Loaded segment", static_cast<int>(channel), static_cast<int>(device));
        ++n;
        at += used;
    }
    return 0;
}

int Create::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    library = lib;
    if (argc < 3 || ascii2int(argv[2]) == CLI_NAN || argc < 4)
        return 3;
    adapterNumber = ascii2int(argv[2]) - 1;
    int result = 3;
    if (is(argv[3], "LOGICALDRIVE"))
        result = loadArgumentsLD(argv, argc, lib);
    else if (is(argv[3], "JBOD"))
        result = loadArgumentsJBOD(argv, argc, lib);
    if (result == 0)
        debugArgumentsValid("CREATE");
    return result;
}

int Create::loadOptions(char** argv, int argc, int& next, Adapter* adapter)
{
    auto feature = [adapter](int index) { return adapter->getFeature(static_cast<FeatureEnum>(index)); };
    auto value = [&](int at) -> const char* { return at < argc ? argv[at] : nullptr; };
    for (;;) {
        const char* option = value(next);
        if (option == nullptr)
            return 0;
        const char* word = value(next + 1);
        if (is(option, "NEWARRAY")) {
            ++next;
        } else if (is(option, "NOINIT")) {
            noInit = 1;
            ++next;
        } else if (is(option, "SYNC")) {
            sync = 1;
            ++next;
        } else if (is(option, "STRIPESIZE")) {
            if (word == nullptr)
                return 3;
            const int kb = getStripeSize(word);
            if (kb == 1 || kb < adapter->getMinStripeSize() || kb > adapter->getMaxStripeSize())
                return 3;
            stripeSize = kb;
            stripeGiven = true;
            next += 2;
        } else if (is(option, "NAME")) {
            if (word == nullptr)
                return 3;
            if (std::strlen(word) > MAX_NAME_LENGTH) {
                myprintf(stdout, "\nLogical device name must be no more than %d characters\n",
                         static_cast<int>(MAX_NAME_LENGTH));
                return 3;
            }
            // The name is stored trimmed, so it is compared trimmed: leading
            // blanks must not slip a duplicate past the check.
            const std::string wanted = trimmed(word);
            if (!wanted.empty()) {
                for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
                    if (drive->getName() != nullptr && strcasecmp(drive->getName(), wanted.c_str()) == 0) {
                        myprintf(stdout, "\nThere exists another logical device with that name.\n");
                        return 2;
                    }
                }
            }
            if (checkNameRange(word) == CLI_NAN) {
                myprintf(stdout, "\nOne or more characters in the logical device name is invalid.\n");
                return 3;
            }
            if (wanted.empty()) {
                blankName = true;
                nameGiven = false;
                name.clear();
            } else {
                nameGiven = true;
                name = wanted;
            }
            next += 2;
        } else if (is(option, "INIT_PRIORITY") || is(option, "PRIORITY")) {
            if (word == nullptr)
                return 3;
            if (!is(word, "high") && !is(word, "med") && !is(word, "low")) {
                myprintf(stdout, "\nInvalid Initialization Priority input.\nValid inputs are HIGH, MED, or LOW.\n");
                return 3;
            }
            initPriority = word;
            std::transform(initPriority.begin(), initPriority.end(), initPriority.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            next += 2;
        } else if (is(option, "INIT_METHOD") || is(option, "METHOD")) {
            if (!is(word, "build") && !is(word, "clear") && !is(word, "quick") && !is(word, "skip")) {
                myprintf(stdout, "\nInvalid Initialization Method input.\n");
                return 3;
            }
            initMethod = word;
            std::transform(initMethod.begin(), initMethod.end(), initMethod.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            next += 2;
        } else if (is(option, "LEGS")) {
            legsGiven = true;
            const int count = word != nullptr ? ascii2int(word) : CLI_NAN;
            if (count == CLI_NAN || count < 2)
                return 3;
            legs = count;
            next += 2;
        } else if (is(option, "RCACHE") || is(option, "WCACHE")) {
            const bool read = is(option, "RCACHE");
            if (feature(featCacheSupport) == 0) {
                myprintf(stdout, "Specified controller does not have logical device cache support.\n");
                return 3;
            }
            int mode = 0;
            if (read)
                mode = is(word, "ron") ? 2 : is(word, "roff") ? 1 : 0;
            else
                mode = is(word, "wt") ? 1 : is(word, "wb") ? 2 : is(word, "wbb") ? 3 : 0;
            if (mode == 0) {
                myprintf(stdout, "\nInvalid %s cache mode input.\n", read ? "read" : "write");
                return 3;
            }
            (read ? readCache : writeCache) = mode;
            next += 2;
        } else if (is(option, "ORVEXAREADCACHE") || is(option, "ORVEXAWRITECACHE")) {
            const bool read = is(option, "ORVEXAREADCACHE");
            if (read && feature(featOrvexaSupport) == 0) {
                myprintf(stdout, "Controller %d does not support Orvexa read and write cache.\n", adapterNumber);
                return 3;
            }
            if (!read && feature(featOrvexaWriteCacheSupport) == 0) {
                myprintf(stdout, "Controller %d does not support Orvexa write cache.\n", adapterNumber);
                return 3;
            }
            const int mode = is(word, "ion") ? 2 : is(word, "ioff") ? 1 : 0;
            if (mode == 0) {
                myprintf(stdout, "\nInvalid %s cache mode input.\n", "Orvexa");
                return 3;
            }
            (read ? orvexaReadCache : orvexaWriteCache) = mode;
            next += 2;
        } else if (is(option, "WRITEPOLICY")) {
            if (feature(featOrvexaWriteCacheSupport) == 0 || orvexaWriteCache != 2) {
                myprintf(stdout, "Controller %d does not support Orvexa write cache.\n", adapterNumber);
                return 3;
            }
            const int policy = is(word, "WB") ? 1 : is(word, "INSTWB") ? 2 : is(word, "WT") ? 3
                                                    : is(word, "WBWITHWT") ? 4 : 0;
            if (policy == 0) {
                myprintf(stdout, "\nInvalid %s cache mode input.\n", "Orvexa");
                return 3;
            }
            writePolicy = policy;
            next += 2;
        } else {
            return 0;
        }
    }
}

int Create::loadArgumentsLD(char** argv, int argc, StorLibPlugin* lib)
{
    releaseSpec();
    size = 0;
    noInit = 0;
    sync = 0;
    legs = 2;
    isVynAdapter = spanned = legsGiven = enclosureRedundancy = jbodCommand = jbodToSimpleVolume = false;
    stripeGiven = false;
    readCache = writeCache = 4;
    orvexaReadCache = orvexaWriteCache = writePolicy = 0;
    nameGiven = false;
    name.clear();
    initPriority.clear();
    initMethod.clear();
    blankName = false;
    chunkCount = 0;
    volumeMembers.clear();
    raidLevel = RAID_LEVEL_NONE;

    if (argc <= 3)
        return 3;
    Adapter* adapter = adapterOf(lib);
    if (adapter == nullptr)
        return 6;
    isVynAdapter = adapter->isInstanceOf("VynAdapter");
    stripeSize = 64;
    if (isVynAdapter && adapter->getMaxStripeSize() > 256)
        stripeSize = 256;
    if (!is(argv[3], "LOGICALDRIVE"))
        return 3;

    int next = 4;
    const int options = loadOptions(argv, argc, next, adapter);
    if (options != 0)
        return options;
    if (next < argc && is(argv[next], "RVOLUME"))
        return loadRaidVolume(argv, argc, next + 1, adapter);

    if (next >= argc)
        return 3;
    if (is(argv[next], "MAX")) {
        size = 0;
    } else {
        const int megabytes = ascii2int(argv[next]);
        if (megabytes == CLI_NAN || megabytes == 0)
            return 3;
        size = static_cast<unsigned long long>(static_cast<unsigned>(megabytes)) * SECTORS_PER_MB;
    }
    ++next;

    if (next >= argc)
        return 3;
    raidLevel = getRAIDLevelEnum(argv[next]);
    if (raidLevel == RAID_LEVEL_6 && adapter->getFeature(featRaid6RS) == 1)
        raidLevel = RAID_LEVEL_6RS;
    if (raidLevel == RAID_LEVEL_60 && adapter->getFeature(featRaid60RS) == 1)
        raidLevel = RAID_LEVEL_60RS;
    if (!isValidRAIDLevel(adapter, raidLevel)) {
        myprintf(stdout, "The selected RAID level is not supported by this controller.\n");
        return 2;
    }
    ++next;

    const char* const notice = "The %s option will be ignored for a logical device of this raid level.\n";
    if (stripeGiven && (raidLevel == RAID_LEVEL_1 || raidLevel == RAID_LEVEL_SIMPLE_VOLUME))
        myprintf(stdout, notice, "STRIPESIZE");
    if (!initMethod.empty() && (raidLevel == RAID_LEVEL_SIMPLE_VOLUME ||
                                (raidLevel == RAID_LEVEL_0 && initMethod != "skip")))
        myprintf(stdout, notice, "METHOD");
    if (!initPriority.empty() && raidLevel == RAID_LEVEL_SIMPLE_VOLUME)
        myprintf(stdout, notice, "PRIORITY");

    if (next >= argc)
        return 3;
    spec = new LogicalDriveSpec(raidLevel, static_cast<EnumStripeSize>(stripeSize), "");
    if (spec == nullptr)
        return 1;
    return buildChunkSpec(argv + next, argc - next, spec, chunkCount);
}

int Create::loadRaidVolume(char** argv, int argc, int next, Adapter* adapter)
{
    if (readCache != 4 || writeCache != 4 || orvexaReadCache != 0 || orvexaWriteCache != 0 || writePolicy != 0)
        return 3;
    if (adapter->getFeature(featRaidVolume) == 0) {
        myprintf(stdout, "\nThe selected controller does not support raid volume creation.\n");
        return 3;
    }
    raidLevel = RAID_LEVEL_RAID_VOLUME;
    for (int at = next; at < argc; ++at) {
        const int member = ascii2int(argv[at]);
        if (member == CLI_NAN)
            return 3;
        if (std::find(volumeMembers.begin(), volumeMembers.end(), member) != volumeMembers.end()) {
            myprintf(stdout, "\nLogical device members of a raid volume must be distinct\n");
            return 2;
        }
        volumeMembers.push_back(member);
    }
    return searchRaidVolumeLogicalDrives(adapter);
}

int Create::searchRaidVolumeLogicalDrives(Adapter* adapter)
{
    chunkCount = 0;
    releaseSpec();
    spec = new LogicalDriveSpec(RAID_LEVEL_RAID_VOLUME, static_cast<EnumStripeSize>(stripeSize), "");
    if (spec == nullptr)
        return 1;
    bool possiblyMounted = false;
    EnumRaidLevel reference = RAID_LEVEL_NONE;
    for (std::size_t i = 0; i < volumeMembers.size(); ++i) {
        const unsigned id = static_cast<unsigned>(volumeMembers[i]);
        LogicalDrive* member = findLogicalDrive(adapter, id);
        if (member == nullptr) {
            myprintf(stdout, "Logical device %u does not exist.\n", id);
            return 2;
        }
        if (i == 0) {
            reference = member->getRaidLevel();
            if (reference != RAID_LEVEL_0 && reference != RAID_LEVEL_1 && reference != RAID_LEVEL_5) {
                myprintf(stdout, "Only RAID0, RAID1 or RAID5 levels allowed in a raid volume\n");
                return 2;
            }
        } else if (member->getRaidLevel() != reference) {
            myprintf(stdout, "The logical devices specified have different raid levels.\n");
            return 2;
        }
        chunkCount += static_cast<unsigned>(member->getNumHardDriveChunks());
        if (isReconfiguring(member->getState())) {
            myprintf(stdout, "Reconfiguring logical devices cannot be altered.\n");
            return 2;
        }
        const char* mountPoint = member->getUnixMountPoint();
        if (mountPoint != nullptr && std::strcmp(mountPoint, "empty") == 0) {
            possiblyMounted = true;
        } else if (mountPoint != nullptr && std::strcmp(mountPoint, "none") != 0 &&
                   std::strcmp(mountPoint, "unknown") != 0) {
            myprintf(stdout, "Logical device #%u is mounted on %s and cannot be altered.\n", id, mountPoint);
            return 2;
        }
        if (library != nullptr) {
            Addr addr = controllerAddr(adapter);
            addr.setLogicalDriveID(id);
            ProgressCollection tasks;
            const Ret ret = library->getTasks(addr, tasks);
            if (ret.getReturn() == 0 && tasks.getSize() > 0) {
                const Progress& first = *tasks.getProgress(0);
                const bool onMember =
                    first.getLogicalDrive() == id || first.getDeviceAddr()->getLogicalDriveID() == id;
                if (onMember && first.getType() != TASK_TYPE_NONE &&
                    first.getStatus() == TASK_STATE_IN_PROGRESS) {
                    myprintf(stdout, "\nCannot create a raid volume.  Logical device #%u has task %s running.\n", id,
                             getTaskType(first.getType(), *first.getDeviceAddr()));
                    return 2;
                }
            }
        }
    }
    if (possiblyMounted) {
        myprintf(stderr, "WARNING: One or more logical device(s) may be mounted.\n");
        if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
    }
    return 0;
}

int Create::buildRaidVolumeSpec(Adapter* adapter)
{
    if (adapter == nullptr)
        return CREATE_BAD_CONTROLLER;
    if (volumeMembers.size() < 2)
        return CREATE_BAD_DRIVE_COUNT;
    unsigned long long total = 0;
    for (int id : volumeMembers) {
        LogicalDrive* member = findLogicalDrive(adapter, static_cast<unsigned long>(id));
        if (member == nullptr)
            return CREATE_DEVICE_UNAVAILABLE;
        if (member->getHasPartition() != 0)
            myprintf(stdout, "WARNING: logical device %u may contain a partition.\n", static_cast<unsigned>(id));
        total += member->getDataSpace64();
        ChunkSpec chunk;
        chunk.setLogicalID(static_cast<unsigned long>(id));
        spec->addChunk(chunk);
    }
    if (adapter->getFeature(feat64BitLBA) == 0 && total > MAX_32BIT_LOGICAL_DRIVE_MB * SECTORS_PER_MB)
        return CREATE_TOO_LARGE;
    spec->setName(nameGiven ? name.c_str() : buildLogicalDriveName(adapter).c_str());
    return 0;
}

int Create::executeLD(StorLibPlugin* lib)
{
    Adapter* adapter = adapterOf(lib);
    if (adapter == nullptr || spec == nullptr) {
        releaseSpec();
        return 2;
    }
    maxDrives = getMaxDrivesPerRaidLevel(adapter, raidLevel);
    if (chunkCount > static_cast<unsigned>(maxDrives)) {
        myprintf(stdout, "The requested RAID level cannot contain more than %d segments; you have selected %d.\n",
                 maxDrives, static_cast<int>(chunkCount));
        releaseSpec();
        return 2;
    }
    if (isVynAdapter) {
        const int limit = adapter->getMaxTopLevelLogicalDrives();
        int count = 0;
        for (LogicalDrive* drive : adapter->getAllLogicalDrives())
            if (drive->getLogicalDriveID() < static_cast<unsigned long>(limit))
                ++count;
        if (count >= limit) {
            myprintf(stdout, "Cannot create another logical device. Logical device limit (%d) has been reached.\n",
                     limit);
            releaseSpec();
            return 2;
        }
    }
    const int built = raidLevel == RAID_LEVEL_RAID_VOLUME ? buildRaidVolumeSpec(adapter) : buildLogicalDriveSpec(adapter);
    if (built != 0) {
        displayError(built);
        releaseSpec();
        return 2;
    }
    if (blankName) {
        myprintf(stdout, "\n");
        myprintf(stdout, "Logical device name cannot be blank. Default name %s will be assigned.", spec->getName());
        myprintf(stdout, "\n");
    }
    myprintf(stdout, "\n");
    if (confirmBeforeActing("Do you want to add a logical device to the configuration?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    myprintf(stdout, "Creating logical device: %s\n", spec->getName());
    const Ret created = lib->createLogicalDrive(controllerAddr(adapter), *spec);
    returnCodes = created;
    releaseSpec();
    if (sync) {
        if (UCLI_DEBUG)
            myprintf(stderr, "sync set\n");
        // Waiting is pointless when nothing was created.
        if (created.getReturn() == 0)
            syncWait(lib);
        // The progress queries must not take the creation's outcome's place.
        returnCodes = created;
    }
    return 5;
}

void Create::syncWait(StorLibPlugin* lib)
{
    for (;;) {
        lib->getSystemConfig();
        if (lib->getSystem() == nullptr)
            return;
        Adapter* adapter = adapterOf(lib);
        if (adapter == nullptr) {
            if (UCLI_DEBUG)
                myprintf(stderr, "no adapter?!?\n");
            return;
        }
        bool busy = false;
        for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", true)) {
            Progress progress;
            const Ret ret = drive->getProgress(progress);
            if (ret.getReturn() == 0 && progress.getStatus() == TASK_STATE_IN_PROGRESS)
                busy = keepsSyncWaiting(progress.getType());
        }
        if (!busy)
            return;
        cliSleep(SYNC_POLL_SECONDS);
    }
}

int Create::loadArgumentsJBOD(char** argv, int argc, StorLibPlugin* lib)
{
    releaseSpec();
    readCache = writeCache = 4;
    stripeSize = 1;
    jbodCommand = true;
    chunkCount = 0;
    if (argc < 3 || ascii2int(argv[2]) == CLI_NAN || argc < 4)
        return 3;
    Adapter* adapter = adapterOf(lib);
    if (adapter == nullptr)
        return 6;
    isVynAdapter = adapter->isInstanceOf("VynAdapter");
    jbodToSimpleVolume = false;
    if (!is(argv[3], "JBOD"))
        return 3;
    if (adapter->getFeature(featJBOD) <= 0) {
        myprintf(stdout, "The requested feature is not supported on this controller.\n");
        return 2;
    }
    if (argc < 5)
        return 3;
    spec = new LogicalDriveSpec();
    if (spec == nullptr)
        return 1;
    return buildChunkSpec(argv + 4, argc - 4, spec, chunkCount);
}

int Create::executeJBOD(StorLibPlugin* lib)
{
    Adapter* adapter = adapterOf(lib);
    if (adapter == nullptr || spec == nullptr) {
        releaseSpec();
        return 2;
    }
    for (const ChunkSpec& chunk : spec->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr || drive->getState() != PD_READY) {
            displayError(CREATE_DEVICE_UNAVAILABLE);
            releaseSpec();
            return 2;
        }
    }
    if (adapter->getFeature(featJBOD) > 0 &&
        adapter->getFeature(featJBODDriver) < 1)
        myprintf(stdout, "WARNING: The selected controller supports JBODs, but the currently\n"
                         "installed driver does not.  You may not see JBOD disks in your\n"
                         "operating system until you upgrade your driver.\n");
    int jbods = 0;
    for (HardDrive* drive : adapter->getAllHardDrives())
        if (drive->isJBOD())
            ++jbods;
    int attempts = 0;
    for (const ChunkSpec& chunk : spec->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            continue;
        if (jbods >= adapter->getMaxJBODs()) {
            myprintf(stderr, "No more JBODs may be created.\n");
            break;
        }
        ++attempts;
        Addr addr = controllerAddr(adapter);
        addr.setChannelID(static_cast<std::uint32_t>(chunk.getChannelID()));
        addr.setDeviceID(static_cast<std::uint32_t>(chunk.getDeviceID()));
        returnCodes = lib->createJBOD(addr);
        const bool created = returnCodes.getReturn() == 0;
        if (created)
            ++jbods;
        myprintf(stdout, "%s: %d,%d\n", created ? "Created JBOD" : "Could not create JBOD",
                 static_cast<int>(chunk.getChannelID()), static_cast<int>(chunk.getDeviceID()));
    }
    releaseSpec();
    return attempts > 0 ? 5 : 2;
}

int Create::execute(StorLibPlugin* lib)
{
    debugExecuting("CREATE");
    library = lib;
    return jbodCommand ? executeJBOD(lib) : executeLD(lib);
}

void Create::displayHelp()
{
    myprintf(stdout, " Usage: CREATE <Controller#> LOGICALDRIVE [Options] <Size> <RAID#> <Channel# ID#> [Channel# ID#] ... "
                     "[noprompt] [nologs]\n");
    myprintf(stdout, "\n");
    myprintf(stdout, " Usage: CREATE <Controller#> LOGICALDRIVE RVOLUME <LD#> <LD#> [LD#] ... [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: CREATE <Controller#> JBOD <Channel# ID#> [Channel# ID#] ... [noprompt] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Create a new logical device or JBOD.\n");
    myprintf(stdout, "\n");
    // Label and text: the label from column 8, the text from column 22.
    static const char* const kItems[][2] = {
        {"Stripesize", "Stripe size in kilobytes: 16, 32, 64, 128, 256*, 512 and 1024."},
        {"Legs", "Number of legs (sub-logical devices) of a RAID 50 or RAID 60."},
        {"", "RAID 50: 2 to 16 legs, 3 to 32 drives per leg, 128 drives at most."},
        {"", "RAID 60: 2 to 16 legs, 4 to 16 drives per leg, 128 drives at most."},
        {"Name", "Optional name of the logical device."},
        {"Priority", "Initialization priority: HIGH*, MED or LOW."},
        {"Method", "Initialization method: BUILD, CLEAR, QUICK and SKIP."},
        {"", "SKIP is for recovery purposes only."},
        {"Rcache", "Read cache: RON (on), ROFF (off)."},
        {"Wcache", "Write cache: WT (write-through), WB (write-back),"},
        {"", "WBB (write-back when protected by battery/KVT)."},
        {"OrvexaReadCache", "Orvexa read cache: ION, IOFF."},
        {"OrvexaWriteCache", "Orvexa write cache: ION, IOFF."},
        {"WritePolicy", "Valid only with OrvexaWriteCache ION; value WB."},
        {"Size", "Size in megabytes, or MAX for all remaining space."},
        {"Raid#", "0, 1, 1E, 10, 5, 5EE, 50, 6, 60 and volume."},
        {"RVOLUME", "Concatenates two or more distinct logical devices"},
        {"LD#", "of the same level 0, 1 or 5 into a RAID volume."},
        {"Channel# ID#", "Space-delimited channel and device pairs."},
        {"noprompt", "No prompt for confirmation."},
    };
    for (const auto& item : kItems)
        myprintf(stdout, "       %-14s%s%s\n", item[0], std::strlen(item[0]) >= 14 ? " " : "", item[1]);
    myprintf(stdout, "\n");
    myprintf(stdout, "     * default parameter in MOST circumstances\n");
}
