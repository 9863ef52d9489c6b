// How CREATE turns its arguments into a logical-drive layout: segment size
// by level, alignment, legs and enclosures, cache and initialisation words,
// and the search of the drives' free space.
#include "cli/commands/Create.h"

#include "RaidModel/Implementation/Vyn/Raid6Layout.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"

#include <algorithm>
#include <limits>
#include <string>

namespace {

constexpr unsigned long long MIN_LOGICAL_DRIVE_SECTORS = 40960;  // 20 MB
constexpr unsigned long long SEARCH_GRANULE = 128;
constexpr unsigned long long LOW_32_BITS = 0xFFFFFFFFull;
constexpr int MAX_CHUNKS_PER_DRIVE = 5;
constexpr unsigned long NO_ENCLOSURE = 0x7FFFFFFF;
constexpr unsigned long ENCLOSURE_SLOTS = 32;
constexpr int SPANNED_ARRAYS_FAILED = -30;

unsigned long long ceilDiv(unsigned long long a, unsigned long long b)
{
    return (a + b - 1) / b;
}

unsigned long long roundDown(unsigned long long value, unsigned long long unit)
{
    return value / unit * unit;
}

unsigned mb(unsigned long long sectors)
{
    return static_cast<unsigned>(sectors / SECTORS_PER_MB);
}

int chunkChildren(HardDrive* drive)
{
    int count = 0;
    for (unsigned long i = 0; i < drive->getChildCount(); ++i) {
        RaidObject* child = drive->getChild(static_cast<int>(i));
        if (child != nullptr && child->isInstanceOf("Chunk"))
            ++count;
    }
    return count;
}

}  // namespace

unsigned Create::getMinimumDriveCount(EnumRaidLevel level)
{
    return ::getMinimumDriveCount(level);
}

unsigned Create::getMinimumSubArrayDriveCount(EnumRaidLevel level)
{
    switch (static_cast<int>(level)) {
    case 8:
        return getMinimumDriveCount(RAID_LEVEL_0);
    case 9:
        return getMinimumDriveCount(RAID_LEVEL_1);
    case 10:
        return getMinimumDriveCount(RAID_LEVEL_1E);
    case 11:
        return getMinimumDriveCount(RAID_LEVEL_5);
    case 17:
        return getMinimumDriveCount(RAID_LEVEL_6);
    case 19:
        return getMinimumDriveCount(RAID_LEVEL_6RS);
    default:
        return getMinimumDriveCount(level);
    }
}

unsigned Create::getMinChunks(EnumRaidLevel level, int legCount)
{
    if (level == RAID_LEVEL_10 || level == RAID_LEVEL_50 || level == RAID_LEVEL_60 || level == RAID_LEVEL_60RS)
        return getMinimumSubArrayDriveCount(level) * static_cast<unsigned>(std::max(legCount, 0));
    return getMinimumDriveCount(level);
}

void Create::printRaid6Debug(unsigned drives, int stripe, EnumRaidLevel level)
{
    if (!UCLI_DEBUG)
        return;
    unsigned long row[3] = {0, 0, 0};
    get_raid6_params(row, drives, level);
    myprintf(stderr, "cycle size=%d,table row=%d,%d,%d\n",
             static_cast<int>((row[1] + row[2]) * static_cast<unsigned long>(stripe) * 1024),
             static_cast<int>(row[0]), static_cast<int>(row[1]), static_cast<int>(row[2]));
}

int Create::check_raid6_limits(unsigned drives, int stripe, EnumRaidLevel level)
{
    unsigned long row[3] = {0, 0, 0};
    if (!get_raid6_params(row, drives, level))
        return CREATE_BAD_DRIVE_COUNT;
    printRaid6Debug(drives, stripe, level);
    const int result = ::check_raid6_limits(drives, stripe, level);
    if (result == CREATE_STRIPE_TOO_LARGE)
        myprintf(stdout, "The maximum stripe size allowed for the selected configuration is %dk.\n",
                 getMaxRaid6StripeSize(row[1], row[2]));
    return result;
}

int Create::set_raid6_chunksize(unsigned long long targetSize, unsigned long long& segment, unsigned drives,
                                EnumRaidLevel level)
{
    return ::set_raid6_chunksize(targetSize, segment, drives, level);
}

int Create::setSpannedArrays()
{
    const unsigned n = static_cast<unsigned>(spec->chunks.size());
    if (raidLevel == RAID_LEVEL_10)
        legs = std::max(static_cast<int>(n / 2), 2);
    if (legs <= 0)
        return SPANNED_ARRAYS_FAILED;
    const unsigned perLeg = n / static_cast<unsigned>(legs);
    for (unsigned leg = 0; leg < static_cast<unsigned>(legs); ++leg) {
        for (unsigned k = 0; k < perLeg; ++k) {
            const unsigned index = leg * perLeg + k;
            if (index >= n)
                return SPANNED_ARRAYS_FAILED;
            spec->chunks[index].setGroupNum(leg);
        }
    }
    return 0;
}

void Create::configEnclRedundancy(Adapter* adapter)
{
    unsigned counts[ENCLOSURE_SLOTS] = {};
    for (const ChunkSpec& chunk : spec->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            return;
        const unsigned long enclosure = drive->getEnclosureID();
        if (enclosure == NO_ENCLOSURE || enclosure >= ENCLOSURE_SLOTS)
            return;
        ++counts[enclosure];
    }
    unsigned perEnclosure = 0;
    unsigned enclosures = 0;
    for (unsigned count : counts) {
        if (count == 0)
            continue;
        if (perEnclosure != 0 && count != perEnclosure)
            return;
        perEnclosure = count;
        ++enclosures;
    }
    if (enclosures == 0)
        return;
    const unsigned n = static_cast<unsigned>(spec->chunks.size());
    if (!legsGiven)
        legs = static_cast<int>(n / enclosures);
    else if (n / enclosures != static_cast<unsigned>(legs))
        return;
    switch (raidLevel) {
    case RAID_LEVEL_50:
        if (enclosures < 3)
            return;
        break;
    case RAID_LEVEL_10:
        if (enclosures != 2)
            return;
        break;
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS:
        if (enclosures < 4)
            return;
        break;
    default:
        return;
    }
    if (UCLI_DEBUG) {
        for (unsigned e = 0; e < ENCLOSURE_SLOTS; ++e)
            myprintf(stderr, "Enclosure %d, drives %d\n", static_cast<int>(e), static_cast<int>(counts[e]));
        myprintf(stderr, "Enclosure Level Redundancy enabled.\n");
    }
    enclosureRedundancy = true;
    // Each leg takes one drive of every enclosure.
    for (ChunkSpec& chunk : spec->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        const unsigned long enclosure = drive != nullptr ? drive->getEnclosureID() : NO_ENCLOSURE;
        if (enclosure >= ENCLOSURE_SLOTS || counts[enclosure] == 0) {
            setSpannedArrays();
            return;
        }
        chunk.setGroupNum(--counts[enclosure]);
    }
}

void Create::setCacheMode(Adapter* adapter)
{
    if (!isVynAdapter)
        return;
    if (adapter->getFeature(featCacheSupport) == 0)
        readCache = writeCache = orvexaReadCache = orvexaWriteCache = 0;
    if (readCache == 4)
        readCache = 2;
    if (writeCache == 4)
        writeCache = 2;
    if (orvexaReadCache == 0)
        orvexaReadCache = 2;
    if (orvexaWriteCache == 0) {
        orvexaWriteCache = 1;
        writePolicy = 0;
    }
    spec->readCache = readCache;
    spec->writeCache = writeCache;
    spec->orvexaReadCache = orvexaReadCache;
    spec->orvexaWriteCache = orvexaWriteCache;
    spec->orvexaWritePolicy = writePolicy;
}

void Create::setInitMethod(Adapter* adapter)
{
    int method = 0;
    if (!noInit && (raidLevel == RAID_LEVEL_1 || raidLevel == RAID_LEVEL_1E || raidLevel == RAID_LEVEL_10) &&
        adapter->getFeature(featFastInit) != 0)
        method = 2;
    if (noInit)
        method = 3;
    const bool levelZero = raidLevel == RAID_LEVEL_0;
    if (initMethod == "build" && !levelZero) {
        method = 0;
    } else if (initMethod == "clear" && !levelZero) {
        method = 1;
    } else if (initMethod == "quick" && !levelZero) {
        if (adapter->getFeature(featQuickInit) != 0)
            method = 2;
        else
            myprintf(stdout, "\nInvalid Initialization Method, option ignored.\n");
    } else if (initMethod == "skip") {
        if (adapter->getFeature(featNoBuild) != 0) {
            method = 4;
            myprintf(stdout, "You have chosen not to initialize this logical device.\n"
                             "This option is provided as a last resort for recovering failed logical devices.\n"
                             "You should verify the integrity of the data on any logical devices created with "
                             "this option.\n");
        } else {
            myprintf(stdout, "\nInvalid Initialization Method, option ignored.\n");
        }
    }
    spec->initMethod = method;
}

bool Create::isMemberOfLogicalDrive(Adapter* adapter, HardDrive* drive)
{
    if (adapter == nullptr || drive == nullptr)
        return false;
    for (LogicalDrive* logical : collect<LogicalDrive>(adapter, "LogicalDrive", false))
        if (containsHardDrive(logical, drive))
            return true;
    return false;
}

bool Create::containsHardDrive(LogicalDrive* logicalDrive, HardDrive* drive)
{
    std::vector<HardDrive*> members;
    logicalDrive->getHardDrives(members);
    for (HardDrive* member : members)
        if (member != nullptr && member->getDeviceID() == drive->getDeviceID())
            return true;
    return false;
}

int Create::buildLogicalDriveSpec(Adapter* adapter)
{
    const unsigned n = static_cast<unsigned>(spec->chunks.size());
    unsigned long long S = size;
    const int L = legs;

    spec->setName(nameGiven ? name.c_str() : buildLogicalDriveName(adapter).c_str());
    if (initPriority == "high")
        spec->priority = PRIORITY_HIGH;
    else if (initPriority == "med")
        spec->priority = PRIORITY_MEDIUM;
    else if (initPriority == "low")
        spec->priority = PRIORITY_LOW;
    else if (adapter->getFeature(featDefaultLDTaskPriority) == 1)
        spec->priority = adapter->getDefaultLDTaskPriority();

    bool anyJBOD = false;
    int referenceInterface = -1;
    for (const ChunkSpec& chunk : spec->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr || drive->IsOrvexaAssigned())
            return CREATE_DEVICE_UNAVAILABLE;
        if (chunkChildren(drive) > MAX_CHUNKS_PER_DRIVE)
            return CREATE_SEGMENT_LIMIT;
        if (referenceInterface < 0)
            referenceInterface = drive->getInterfaceType();
        else if (drive->getInterfaceType() != referenceInterface && adapter->getFeature(featMixedArrays) == 0)
            return CREATE_MIXED_INTERFACES;
        anyJBOD = anyJBOD || drive->isJBOD();
    }
    if (S != 0 && S < MIN_LOGICAL_DRIVE_SECTORS)
        return CREATE_TOO_SMALL;
    if (n < getMinChunks(raidLevel, L))
        return CREATE_BAD_DRIVE_COUNT;

    unsigned long long segment = 0;
    switch (raidLevel) {
    case RAID_LEVEL_0:
        segment = ceilDiv(S, n);
        noInit = 1;
        break;
    case RAID_LEVEL_1:
    case RAID_LEVEL_SPANNED_VOLUME:
        segment = S;
        break;
    case RAID_LEVEL_1E:
        segment = 2 * ceilDiv(S, n);
        break;
    case RAID_LEVEL_5:
        segment = ceilDiv(S, n - 1);
        break;
    case RAID_LEVEL_5EE:
        segment = ceilDiv(S, n - 2);
        break;
    case RAID_LEVEL_6:
    case RAID_LEVEL_6RS: {
        segment = ceilDiv(S, n - 2);
        int result = check_raid6_limits(n, stripeSize, raidLevel);
        if (result == 0)
            result = set_raid6_chunksize(S, segment, n, raidLevel);
        if (result != 0)
            return result;
        break;
    }
    case RAID_LEVEL_10:
        if (n % 2 != 0)
            return CREATE_BAD_DRIVE_COUNT;
        if (setSpannedArrays() != 0)
            return SPANNED_ARRAYS_FAILED;
        spanned = true;
        segment = 2 * ceilDiv(S, n);
        break;
    case RAID_LEVEL_50:
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS: {
        if (L < 2 || n % static_cast<unsigned>(L) != 0)
            return CREATE_BAD_DRIVE_COUNT;
        spanned = true;
        const unsigned parity = raidLevel == RAID_LEVEL_50 ? 1 : 2;
        const unsigned perLeg = n / static_cast<unsigned>(L);
        if (perLeg < parity + 2)
            return CREATE_BAD_DRIVE_COUNT;
        if (setSpannedArrays() != 0)
            return SPANNED_ARRAYS_FAILED;
        if (raidLevel == RAID_LEVEL_50) {
            segment = ceilDiv(S, n - static_cast<unsigned>(L));
        } else {
            const EnumRaidLevel subLevel = raidLevel == RAID_LEVEL_60 ? RAID_LEVEL_6 : RAID_LEVEL_6RS;
            int result = check_raid6_limits(perLeg, stripeSize, subLevel);
            if (result == 0)
                result = set_raid6_chunksize(S, segment, perLeg, subLevel);
            if (result != 0)
                return result;
            segment /= static_cast<unsigned>(L);
        }
        break;
    }
    case RAID_LEVEL_SIMPLE_VOLUME:
        if (anyJBOD)
            S = 0;
        segment = S;
        noInit = 1;
        break;
    default:
        return CREATE_BAD_DRIVE_COUNT;
    }

    if (anyJBOD) {
        if (raidLevel == RAID_LEVEL_SIMPLE_VOLUME && n == 1) {
            jbodToSimpleVolume = true;
        } else if (raidLevel == RAID_LEVEL_SIMPLE_VOLUME) {
            myprintf(stderr, "Only one JBOD at a time may be converted to a simple volume.\n");
            return CREATE_DEVICE_UNAVAILABLE;
        } else {
            myprintf(stderr, "One or more of the selected disks is a JBOD.\n");
            return CREATE_DEVICE_UNAVAILABLE;
        }
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "size = %u MB, segment size = %u MB, segment size*drives = %u MB\n", mb(S), mb(segment),
                 mb(segment * n));

    if (S == 0) {
        segment = 0;
    } else {
        const unsigned long long unit = 2 * static_cast<unsigned long long>(std::max(stripeSize, 64));
        segment = ceilDiv(segment, unit) * unit;
        if (UCLI_DEBUG)
            myprintf(stderr, "aligned segment size = %u MB\n", mb(segment));
    }

    spec->raidLevel = raidLevel;
    spec->stripeSize = static_cast<EnumStripeSize>(stripeSize);
    setCacheMode(adapter);
    setInitMethod(adapter);
    if (spanned)
        configEnclRedundancy(adapter);
    return findChunkSpace(adapter, spec, segment, raidLevel, n);
}

int Create::initHDFreeSpace(Adapter* adapter, LogicalDriveSpec* target)
{
    for (const ChunkSpec& chunk : target->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            return CREATE_DEVICE_UNAVAILABLE;
        const EnumPhysicalDeviceState state = drive->getState();
        if (state == PD_FAILED || state == PD_HOT_SPARE || state == PD_PARTITIONED || drive->getTaskInProgress())
            return CREATE_DEVICE_UNAVAILABLE;
        drive->InitFreeSpace(0);
    }
    return 0;
}

unsigned long long Create::findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment)
{
    unsigned long long start = 0;
    unsigned long long length = segment;
    drive->freeSpace.FindAdequate(start, length);
    chunk.setStartBlock(start);
    return length;
}

unsigned long long Create::findMaxChunk(HardDrive* drive, ChunkSpec& chunk)
{
    chunk.setStartBlock(drive->freeSpace.BigFreeStartSector());
    return drive->freeSpace.BigFreeNumSectors();
}

int Create::findChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long& segment,
                           EnumRaidLevel level, unsigned n)
{
    const int ready = initHDFreeSpace(adapter, target);
    if (ready != 0)
        return ready;
    if (level == RAID_LEVEL_SIMPLE_VOLUME) {
        if (isVynAdapter) {
            if (jbodToSimpleVolume) {
                myprintf(stdout, "Attention: Creating a simple volume on a JBOD disk while I/O is in progress may "
                                 "result in loss of data.");
                return findJBODPromoteChunkSpace(adapter, target, segment);
            }
            return findVolumeChunkSpace(adapter, target, segment);
        }
        if (n > 1)
            return CREATE_DEVICE_UNAVAILABLE;
    }
    const bool wide = adapter->getFeature(feat64BitLBA) != 0;
    unsigned long long minimum = std::numeric_limits<unsigned long long>::max();
    bool sizeGiven = false;
    for (ChunkSpec& chunk : target->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            return CREATE_DEVICE_UNAVAILABLE;
        if (adapter->getFeature(featOrvexaSupport) != 0 && drive->IsOrvexaAssigned())
            return CREATE_DEVICE_UNAVAILABLE;
        unsigned long long space = 0;
        if (segment == 0) {
            space = findMaxChunk(drive, chunk);
        } else {
            sizeGiven = true;
            space = findChunk(drive, chunk, segment);
        }
        if (!wide)
            space &= LOW_32_BITS;
        space = roundDown(space, SEARCH_GRANULE);
        if (space == 0 || space < segment)
            return CREATE_NO_SPACE;
        minimum = std::min(minimum, space);
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "free space = %u MB\n", mb(minimum));
    if (segment == 0)
        segment = roundDown(minimum, SECTORS_PER_MB);
    if (UCLI_DEBUG)
        myprintf(stderr, "segment size = %u MB\n", mb(segment));
    if (!wide && n > 0 && static_cast<unsigned long long>(n) * segment > MAX_32BIT_LOGICAL_DRIVE_MB * SECTORS_PER_MB) {
        if (sizeGiven)
            return CREATE_TOO_LARGE;
        segment = MAX_32BIT_LOGICAL_DRIVE_MB / n * SECTORS_PER_MB;
    }
    for (ChunkSpec& chunk : target->chunks)
        chunk.setNumBlocks(segment);
    return 0;
}

int Create::findVolumeChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long requested)
{
    std::vector<HardDrive*> drives;
    for (const ChunkSpec& chunk : target->chunks) {
        HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            return CREATE_DEVICE_UNAVAILABLE;
        drives.push_back(drive);
    }
    const std::string keptName = target->getName();
    target->reset(raidLevel, static_cast<EnumStripeSize>(stripeSize), keptName.c_str());
    setCacheMode(adapter);
    unsigned long long total = 0;
    for (HardDrive* drive : drives)
        total += drive->getSize();
    // Drives without sectors have no free extent to share out.
    if (total == 0)
        return CREATE_NO_SPACE;
    std::size_t appended = 0;
    for (HardDrive* drive : drives) {
        for (const FreeSpace& extent : drive->freeSpace.getExtents()) {
            if (extent.numSectors == 0)
                continue;
            const unsigned long long whole = roundDown(extent.numSectors, SECTORS_PER_MB);
            if (requested == 0) {
                if (whole != 0) {
                    target->addChunk(drive->getChannelID(), drive->getDeviceID(), extent.startSector, whole, 0,
                                     static_cast<EnumChunkType>(0));
                    ++appended;
                }
                continue;
            }
            if (extent.startSector == 0 || whole < SECTORS_PER_MB)
                continue;
            const long double share = static_cast<long double>(requested) / static_cast<long double>(total) *
                                      static_cast<long double>(drive->getSize());
            const unsigned long long sectors = static_cast<unsigned long long>(share);
            if (sectors <= whole) {
                target->addChunk(drive->getChannelID(), drive->getDeviceID(), extent.startSector,
                                 roundDown(sectors, SEARCH_GRANULE), 0, static_cast<EnumChunkType>(0));
                ++appended;
            }
        }
    }
    return appended == drives.size() ? 0 : CREATE_NO_SPACE;
}

int Create::findJBODPromoteChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long)
{
    if (target->chunks.size() != 1)
        return CREATE_DEVICE_UNAVAILABLE;
    HardDrive* drive = findHardDrive(adapter, target->chunks[0].getChannelID(), target->chunks[0].getDeviceID());
    if (drive == nullptr)
        return CREATE_DEVICE_UNAVAILABLE;
    const std::string keptName = target->getName();
    target->reset(raidLevel, static_cast<EnumStripeSize>(stripeSize), keptName.c_str());
    target->addChunk(drive->getChannelID(), drive->getDeviceID(), drive->freeSpace.BigFreeStartSector(),
                     roundDown(drive->freeSpace.BigFreeNumSectors(), SECTORS_PER_MB), 0,
                     static_cast<EnumChunkType>(0));
    return 0;
}
