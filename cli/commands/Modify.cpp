#include "cli/commands/Modify.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Implementation/Vyn/Raid6Layout.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/Ret.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr int NO_FEATURE = 277;
constexpr int MIN_MODIFY_WORDS = 10;
constexpr int DEFAULT_MODIFY_STRIPE = 256;

// One of the stripe sizes that STRIPESIZE accepts (1 is its "invalid").
bool isStripeSize(int kb)
{
    return kb != 1 && getStripeSize(std::to_string(kb).c_str()) == kb;
}

bool is(const char* word, const char* keyword)
{
    return word != nullptr && strcasecmp(word, keyword) == 0;
}

unsigned long long ceilDiv(unsigned long long a, unsigned long long b)
{
    return (a + b - 1) / b;
}

// Rows and columns of the migration table.
int migrationIndex(EnumRaidLevel level)
{
    switch (level) {
    case RAID_LEVEL_0:
        return 0;
    case RAID_LEVEL_1:
        return 1;
    case RAID_LEVEL_5:
        return 2;
    case RAID_LEVEL_5EE:
        return 3;
    case RAID_LEVEL_10:
        return 4;
    case RAID_LEVEL_50:
        return 5;
    case RAID_LEVEL_SIMPLE_VOLUME:
        return 6;
    case RAID_LEVEL_6:
        return 7;
    case RAID_LEVEL_60:
        return 8;
    case RAID_LEVEL_6RS:
        return 9;
    default:
        return -1;
    }
}

// The feature that allows a migration, "featMorph<from>To<to>"; 277 for a
// migration the controllers do not offer.
constexpr int kMigrationFeatures[10][10] = {
    // to: 0    1    5    5EE  10   50   SV   6    60   6RS
    {31, 59, 33, 61, 32, 63, 67, 62, 64, NO_FEATURE},                        // from 0
    {34, 68, 36, 70, 35, 72, 76, 71, 73, NO_FEATURE},                        // from 1
    {37, 89, 39, 91, 38, 93, 97, 92, 94, 214},                               // from 5
    {98, 99, 101, 102, 104, 105, 109, 103, 106, NO_FEATURE},                 // from 5EE
    {122, 123, 125, 126, 128, 129, 133, 127, 130, NO_FEATURE},               // from 10
    {134, 135, 137, 138, 140, 141, 145, 139, 142, NO_FEATURE},               // from 50
    {182, 183, 185, 186, 188, 189, NO_FEATURE, 187, 190, NO_FEATURE},        // from simple volume
    {110, 111, 113, 114, 116, 117, 121, 115, 118, 218},                      // from 6
    {146, 147, 149, 150, 152, 153, 157, 151, 154, NO_FEATURE},               // from 60
    {NO_FEATURE, NO_FEATURE, 235, NO_FEATURE, NO_FEATURE, NO_FEATURE, NO_FEATURE, NO_FEATURE, NO_FEATURE,
     238},                                                                   // from 6 RS
};

bool isRaid5Or6(EnumRaidLevel level)
{
    return level == RAID_LEVEL_6 || level == RAID_LEVEL_6RS;
}

void raid6Row(unsigned long drives, EnumRaidLevel level, unsigned long& parity, unsigned long& data)
{
    unsigned long row[3] = {0, 0, 0};
    get_raid6_params(row, static_cast<unsigned>(drives), level);
    parity = row[1];
    data = row[2];
}

void notSupported()
{
    myprintf(stdout, "The requested reconfiguration is not supported.\n");
}

void invalidDriveCount()
{
    myprintf(stdout, "Invalid number of drives for the requested target RAID level\n");
}

}  // namespace

Modify::Modify() : Create("MODIFY", "performs RAID Level Migration or Online Capacity Expansion") {}

Modify::~Modify()
{
    cleanUp();
}

void Modify::cleanUp()
{
    releaseSpec();
    delete sourceChunks;
    sourceChunks = nullptr;
}

int Modify::fail()
{
    cleanUp();
    return 2;
}

unsigned long Modify::getMinorDataStripesPerMajorCycle(unsigned long drives, EnumRaidLevel level)
{
    unsigned long parity = 0;
    unsigned long data = 0;
    switch (static_cast<int>(level)) {
    case 3:
    case 4:
    case 5:
    case 11:
        return drives - 1;
    case 7:
        return drives - 2;
    case 16:
    case 17:
        raid6Row(drives, RAID_LEVEL_6, parity, data);
        return data;
    case 18:
    case 19:
        raid6Row(drives, RAID_LEVEL_6RS, parity, data);
        return data;
    default:
        return drives;
    }
}

unsigned long Modify::getMinorParityStripesPerMajorCycle(unsigned long drives, EnumRaidLevel level)
{
    unsigned long parity = 0;
    unsigned long data = 0;
    switch (static_cast<int>(level)) {
    case 1:
    case 2:
    case 9:
    case 10:
        return drives;
    case 3:
    case 4:
    case 5:
    case 7:
    case 11:
        return 1;
    case 16:
    case 17:
        raid6Row(drives, RAID_LEVEL_6, parity, data);
        return parity;
    case 18:
    case 19:
        raid6Row(drives, RAID_LEVEL_6RS, parity, data);
        return parity;
    default:
        return 0;
    }
}

int Modify::getRLMFeature(EnumRaidLevel from, EnumRaidLevel to)
{
    mirrorSwap = (from == RAID_LEVEL_1 && to == RAID_LEVEL_SIMPLE_VOLUME) ||
                 (from == RAID_LEVEL_SIMPLE_VOLUME && to == RAID_LEVEL_1);
    const int row = migrationIndex(from);
    const int column = migrationIndex(to);
    return row < 0 || column < 0 ? NO_FEATURE : kMigrationFeatures[row][column];
}

int Modify::getOCEFeature(EnumRaidLevel level)
{
    switch (level) {
    case RAID_LEVEL_0:
        return featExpandRaid0;
    case RAID_LEVEL_1:
        return featExpandRaid1;
    case RAID_LEVEL_1E:
        return featExpandRaid1E;
    case RAID_LEVEL_5:
        return featExpandRaid5;
    case RAID_LEVEL_5EE:
        return featExpandRaid5EE;
    case RAID_LEVEL_10:
        return featExpandRaid10;
    case RAID_LEVEL_50:
        return featExpandRaid50;
    case RAID_LEVEL_6:
        return featExpandRaid6;
    case RAID_LEVEL_60:
        return featExpandRaid60;
    case RAID_LEVEL_6RS:
        return featExpandRaid6RS;
    default:
        return NO_FEATURE;
    }
}

bool Modify::isExpandable(EnumRaidLevel level)
{
    const int feature = getOCEFeature(level);
    return feature < NO_FEATURE && adapter->getFeature(static_cast<FeatureEnum>(feature)) != 0;
}

// Whether the reconfiguration allowed here must keep the source's size
// exactly: a stripe-size change on a controller that cannot grow the level,
// and a mirror swap. Reads the features as isValidRLM does, without its
// message, so that the size can be settled before the checks that read it.
bool Modify::keepsSourceSize(bool expandable)
{
    const int feature = getRLMFeature(sourceLevel, targetLevel);
    if (feature >= NO_FEATURE || adapter->getFeature(static_cast<FeatureEnum>(feature)) != 1)
        return false;
    return mirrorSwap || (!expandable && sourceLevel == targetLevel);
}

bool Modify::isValidRLM(EnumRaidLevel from, EnumRaidLevel to)
{
    const int feature = getRLMFeature(from, to);
    if (feature >= NO_FEATURE)
        return false;
    const int value = adapter->getFeature(static_cast<FeatureEnum>(feature));
    if (value == 1)
        return true;
    if (value != 0)
        myprintf(stdout, "Unknown Feature value.\n");
    return false;
}

int Modify::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    library = lib;
    cleanUp();
    stripeGiven = false;
    // Unset: the target keeps the source's stripe size.
    modifyStripe = 1;
    modifyPriority = PRIORITY_HIGH;
    modifyLegs = 2;
    mirrorSwap = false;
    keepSize = false;
    sourceDrive = nullptr;
    targetChunkCount = 0;

    if (argc < MIN_MODIFY_WORDS || ascii2int(argv[2]) == CLI_NAN)
        return 3;
    modifyAdapterNumber = adapterNumber = ascii2int(argv[2]) - 1;
    adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featDefaultLDTaskPriority) == 1)
        modifyPriority = adapter->getDefaultLDTaskPriority();
    if (!is(argv[3], "FROM"))
        return 3;
    sourceNumber = ascii2int(argv[4]);
    if (sourceNumber == CLI_NAN)
        return 3;
    sourceDrive = findLogicalDrive(adapter, static_cast<unsigned long>(sourceNumber));
    if (sourceDrive == nullptr) {
        myprintf(stdout, "Logical device does not exist.\n");
        return 2;
    }
    sourceLevel = sourceDrive->getRaidLevel();
    if (!is(argv[5], "TO"))
        return 3;

    int next = 6;
    for (bool options = true; options && next < argc;) {
        const char* option = argv[next];
        const char* value = next + 1 < argc ? argv[next + 1] : nullptr;
        if (is(option, "STRIPESIZE")) {
            stripeGiven = true;
            const int kb = value != nullptr ? getStripeSize(value) : 1;
            if (kb == 1)
                return 3;
            if (kb < adapter->getMinStripeSize() || kb > adapter->getMaxStripeSize()) {
                const bool low = kb < adapter->getMinStripeSize();
                myprintf(stdout, "This controller supports a %s stripe size of %d\n", low ? "minimum" : "maximum",
                         low ? adapter->getMinStripeSize() : adapter->getMaxStripeSize());
                return 3;
            }
            modifyStripe = kb;
            next += 2;
        } else if (is(option, "LEGS")) {
            const int count = value != nullptr ? ascii2int(value) : CLI_NAN;
            if (count == CLI_NAN || count < 2)
                return 3;
            modifyLegs = count;
            next += 2;
        } else if (is(option, "INIT_PRIORITY")) {
            if (value == nullptr)
                return 3;
            if (is(value, "high")) {
                modifyPriority = PRIORITY_HIGH;
            } else if (is(value, "med")) {
                modifyPriority = PRIORITY_MEDIUM;
            } else if (is(value, "low")) {
                modifyPriority = PRIORITY_LOW;
            } else {
                myprintf(stdout, "\nInvalid Initialization Priority input.\nValid inputs are HIGH, MED, or LOW.\n");
                return 3;
            }
            next += 2;
            // Always the last option: the next word is the size.
            options = false;
        } else {
            options = false;
        }
    }

    if (next >= argc)
        return 3;
    if (is(argv[next], "MAX")) {
        targetSize = 0;
    } else {
        const int megabytes = ascii2int(argv[next]);
        if (megabytes == CLI_NAN || megabytes == 0)
            return 3;
        targetSize = static_cast<unsigned long long>(static_cast<unsigned>(megabytes)) * SECTORS_PER_MB;
    }
    ++next;
    if (next >= argc)
        return 3;
    targetLevel = getRAIDLevelEnum(argv[next]);
    if (targetLevel == RAID_LEVEL_6 && adapter->getFeature(featRaid6RS) == 1)
        targetLevel = RAID_LEVEL_6RS;
    if (targetLevel == RAID_LEVEL_60 && adapter->getFeature(featRaid60RS) == 1)
        targetLevel = RAID_LEVEL_60RS;
    if (!isValidRAIDLevel(adapter, targetLevel)) {
        myprintf(stdout, "The requested %s RAID Level is not a supported reconfiguration %s.\n", "target", "target");
        return 2;
    }
    ++next;
    if (stripeGiven && targetLevel != sourceLevel) {
        modifyStripe = DEFAULT_MODIFY_STRIPE;
        myprintf(stdout, "The requested reconfiguration does not support stripe size changes, option ignored.\n");
    }
    if (next >= argc)
        return 3;
    spec = new LogicalDriveSpec(targetLevel, static_cast<EnumStripeSize>(256), "");
    if (spec == nullptr)
        return 1;
    const int result = buildChunkSpec(argv + next, argc - next, spec, targetChunkCount);
    if (result != 0)
        cleanUp();
    else
        debugArgumentsValid("MODIFY");
    return result;
}

const Chunk* Modify::sourceChunkOn(unsigned long channel, unsigned long device) const
{
    if (sourceChunks == nullptr)
        return nullptr;
    for (const Chunk* chunk : *sourceChunks)
        if (chunk->getDeviceID() != Chunk::UNSET && chunk->getChannelID() == channel &&
            chunk->getDeviceID() == device)
            return chunk;
    return nullptr;
}

bool Modify::isTargetChunkDisjoint(const ChunkSpec& chunk) const
{
    if (sourceChunkOn(chunk.getChannelID(), chunk.getDeviceID()) == nullptr)
        return true;
    if (UCLI_DEBUG)
        myprintf(stderr, "Source and target are NOT disjoint (%d,%d)\n", static_cast<int>(chunk.getChannelID()),
                 static_cast<int>(chunk.getDeviceID()));
    return false;
}

bool Modify::isSourceTargetDisjoint() const
{
    for (const ChunkSpec& chunk : spec->chunks)
        if (!isTargetChunkDisjoint(chunk))
            return false;
    return true;
}

bool Modify::isSourceTargetNonDisjoint() const
{
    for (const ChunkSpec& chunk : spec->chunks)
        if (isTargetChunkDisjoint(chunk))
            return false;
    return true;
}

bool Modify::isSourceSubsetOfTarget() const
{
    for (const Chunk* source : *sourceChunks) {
        if (source->getDeviceID() == Chunk::UNSET)
            continue;
        bool found = false;
        for (const ChunkSpec& chunk : spec->chunks)
            found = found || (chunk.getChannelID() == source->getChannelID() &&
                              chunk.getDeviceID() == source->getDeviceID());
        if (!found)
            return false;
    }
    return true;
}

bool Modify::targetHasMixedTech() const
{
    int reference = -1;
    for (const ChunkSpec& chunk : spec->chunks) {
        const HardDrive* drive = findHardDrive(adapter, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            continue;
        if (reference < 0)
            reference = drive->getInterfaceType();
        else if (drive->getInterfaceType() != reference)
            return true;
    }
    return false;
}

bool Modify::anyMorphingComponents() const
{
    for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false)) {
        const EnumLogicalDeviceState state = drive->getState();
        if (state != LD_RECONFIGURING && state != LD_DEGRADED_RECONFIGURING && state != LD_SUBOPTIMAL_RECONFIGURING)
            continue;
        for (const Chunk* chunk : drive->getHardDriveChunkVector()) {
            bool isTarget = false;
            for (const ChunkSpec& wanted : spec->chunks)
                isTarget = isTarget || (wanted.getChannelID() == chunk->getChannelID() &&
                                        wanted.getDeviceID() == chunk->getDeviceID());
            if (isTarget || sourceChunkOn(chunk->getChannelID(), chunk->getDeviceID()) != nullptr)
                return true;
        }
    }
    return false;
}

bool Modify::calculateMaxDataSize(unsigned long long total, unsigned long n, EnumRaidLevel level,
                                  unsigned long legCount, unsigned long long& space)
{
    switch (static_cast<int>(level)) {
    case 0:
    case 8:
    case 13:
    case 15:
        space = total;
        return true;
    case 1:
    case 2:
    case 9:
    case 10:
        space = total / 2;
        return true;
    case 3:
    case 4:
    case 5:
    case 7:
    case 16: {
        const unsigned long d = getMinorDataStripesPerMajorCycle(n, level);
        const unsigned long p = getMinorParityStripesPerMajorCycle(n, level);
        const unsigned long s = sourceLevel == RAID_LEVEL_5EE ? 1 : 0;
        // No drives, or a RAID-6 count without a layout, leaves nothing to
        // divide by.
        if (static_cast<std::uint32_t>(d + p + s) == 0)
            return false;
        // Fewer members than the parity takes: the data count wrapped below
        // zero and the size would be out of any range.
        if (level != RAID_LEVEL_6 && d > n)
            return false;
        space = static_cast<unsigned long long>(static_cast<double>(total) * static_cast<double>(d) /
                                                static_cast<double>(static_cast<std::uint32_t>(d + p + s)));
        return true;
    }
    case 11:
    case 17: {
        if (n == 0 || legCount == 0)
            return false;
        const unsigned long long perDrive = total / n;
        const unsigned long perLeg = n / legCount;
        unsigned long long oneLeg = 0;
        if (!calculateMaxDataSize(perDrive * perLeg, perLeg, level == RAID_LEVEL_50 ? RAID_LEVEL_5
                                                                                    : static_cast<EnumRaidLevel>(6),
                                  1, oneLeg))
            return false;
        space = oneLeg * legCount;
        return true;
    }
    default:
        space = 0;
        return true;
    }
}

bool Modify::getMinDataSpace(unsigned long long& space)
{
    unsigned long long sum = 0;
    std::uint32_t highestGroup = 0;
    for (const Chunk* chunk : *sourceChunks) {
        const HardDrive* drive = chunk->getPhysicalDevice();
        if (drive != nullptr && drive->getState() != PD_HOT_SPARE)
            sum += chunk->getNumSector();
        highestGroup = std::max(highestGroup, static_cast<std::uint32_t>(chunk->getGroup()));
    }
    unsigned long legCount = 1;
    switch (static_cast<int>(sourceLevel)) {
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 17:
        // A group number of all ones gives no legs at all.
        legCount = static_cast<std::uint32_t>(highestGroup + 1);
        break;
    default:
        break;
    }
    return calculateMaxDataSize(sum, static_cast<unsigned long>(sourceChunks->size()), sourceLevel, legCount, space);
}

bool Modify::isValid_56_65_Morph(unsigned long t, unsigned long d, unsigned long k)
{
    const unsigned long targetParity = getMinorParityStripesPerMajorCycle(t, targetLevel);
    const unsigned long targetData = getMinorDataStripesPerMajorCycle(t, targetLevel);
    return d * ((targetData + targetParity) / t) <= targetData * k;
}

bool Modify::getMinChunksAllowed(unsigned& required)
{
    unsigned long c = 0;
    for (const Chunk* chunk : *sourceChunks) {
        const HardDrive* drive = chunk->getPhysicalDevice();
        if (drive == nullptr || drive->getState() != PD_HOT_SPARE)
            ++c;
    }
    const unsigned m = getMinChunks(targetLevel, modifyLegs);
    disjoint = isSourceTargetDisjoint();
    required = m;
    if (disjoint)
        return true;
    const unsigned cc = static_cast<unsigned>(c);
    const EnumRaidLevel s = sourceLevel;
    const EnumRaidLevel t = targetLevel;
    auto pair = [s, t](EnumRaidLevel from, EnumRaidLevel to) { return s == from && t == to; };
    if (s == t && (s == RAID_LEVEL_0 || s == RAID_LEVEL_1 || s == RAID_LEVEL_1E || s == RAID_LEVEL_5 ||
                   s == RAID_LEVEL_5EE || s == RAID_LEVEL_10 || s == RAID_LEVEL_6 || s == RAID_LEVEL_6RS)) {
        required = std::max(m, cc);
    } else if (pair(RAID_LEVEL_5EE, RAID_LEVEL_5) && sourceDrive->getRaid5EEState() == 1) {
        required = std::max(m, cc);
    } else if (pair(RAID_LEVEL_0, RAID_LEVEL_5) || pair(RAID_LEVEL_5, RAID_LEVEL_5EE) ||
               pair(RAID_LEVEL_1, RAID_LEVEL_5)) {
        required = std::max(cc + 1, m);
    } else if (pair(RAID_LEVEL_1, RAID_LEVEL_10)) {
        required = std::max(cc + 2, m);
    } else if (pair(RAID_LEVEL_5, RAID_LEVEL_0) || pair(RAID_LEVEL_5EE, RAID_LEVEL_5)) {
        required = std::max(m, cc);
    } else if (pair(RAID_LEVEL_0, RAID_LEVEL_10)) {
        required = std::max(2 * cc, m);
    } else if (pair(RAID_LEVEL_5, RAID_LEVEL_10)) {
        required = std::max(2 * cc >= 2 ? 2 * cc - 2 : 0, m);
    } else if ((s == RAID_LEVEL_5 && isRaid5Or6(t)) || (isRaid5Or6(s) && t == RAID_LEVEL_5)) {
        // Every source member on a spare leaves no drives to divide by.
        if (c == 0)
            return false;
        const unsigned long p = getMinorParityStripesPerMajorCycle(c, s);
        const unsigned long d = getMinorDataStripesPerMajorCycle(c, s);
        const unsigned long k = (d + p) / c;
        const unsigned hardDrives = static_cast<unsigned>(collect<HardDrive>(adapter, "HardDrive", false).size());
        required = hardDrives + 1;
        for (unsigned count = getMinimumDriveCount(t); count <= hardDrives; ++count) {
            if (isValid_56_65_Morph(count, d, k)) {
                required = count;
                break;
            }
        }
    }
    return true;
}

unsigned long long Modify::findModifyChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment)
{
    const Chunk* source = sourceChunkOn(chunk.getChannelID(), chunk.getDeviceID());
    if (source == nullptr) {
        chunk.setStartBlock(0);
        return 0;
    }
    const unsigned long long sourceStart = source->getStartSector();
    unsigned long long start = adapter->getReservedInBeginning();
    unsigned long long limit = drive->getSize() - std::min<unsigned long long>(drive->getSize(),
                                                                                adapter->getReservedInEnd());
    bool havePreceding = false;
    unsigned long long precedingStart = 0;
    for (unsigned long i = 0; i < drive->getChildCount(); ++i) {
        RaidObject* child = drive->getChild(static_cast<int>(i));
        if (child == nullptr || !child->isInstanceOf("Chunk"))
            continue;
        const Chunk* other = static_cast<const Chunk*>(child);
        const unsigned long long otherStart = other->getStartSector();
        if (otherStart < sourceStart && (!havePreceding || otherStart > precedingStart)) {
            havePreceding = true;
            precedingStart = otherStart;
            start = otherStart + other->getNumSector();
        } else if (otherStart > sourceStart && otherStart < limit) {
            limit = otherStart;
        }
    }
    unsigned long long available = limit > start ? limit - start : 0;
    if (segment != 0) {
        if (segment > available) {
            unsigned long long fitStart = 0;
            unsigned long long fitLength = segment;
            drive->freeSpace.FindAdequate(fitStart, fitLength);
            start = fitStart;
            available = fitLength;
        } else {
            available = segment;
        }
    } else if (drive->freeSpace.BigFreeNumSectors() > available) {
        start = drive->freeSpace.BigFreeStartSector();
        available = drive->freeSpace.BigFreeNumSectors();
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "Start sector = %d, Number sectors = %d, End sector = %d\n", static_cast<int>(start),
                 static_cast<int>(available), static_cast<int>(start + available));
    chunk.setStartBlock(start);
    return available;
}

unsigned long long Modify::findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment)
{
    if (isTargetChunkDisjoint(chunk))
        return Create::findMaxChunk(drive, chunk);
    return findModifyChunk(drive, chunk, segment);
}

unsigned long long Modify::findMaxChunk(HardDrive* drive, ChunkSpec& chunk)
{
    if (isTargetChunkDisjoint(chunk))
        return Create::findMaxChunk(drive, chunk);
    return findModifyChunk(drive, chunk, 0);
}

int Modify::findMirrorSpace(Adapter* owner, LogicalDriveSpec* layout, unsigned long long segment, EnumRaidLevel,
                            unsigned)
{
    const int ready = initHDFreeSpace(owner, layout);
    if (ready != 0)
        return ready;
    const Chunk* kept = sourceChunks->empty() ? nullptr : sourceChunks->front();
    for (ChunkSpec& chunk : layout->chunks) {
        if (kept != nullptr && chunk.getChannelID() == kept->getChannelID() &&
            chunk.getDeviceID() == kept->getDeviceID())
            continue;
        HardDrive* drive = findHardDrive(owner, chunk.getChannelID(), chunk.getDeviceID());
        if (drive == nullptr)
            return CREATE_DEVICE_UNAVAILABLE;
        if (owner->getFeature(featOrvexaSupport) != 0 && drive->IsOrvexaAssigned())
            return CREATE_DEVICE_UNAVAILABLE;
        const unsigned long long space = findChunk(drive, chunk, segment) / 128 * 128;
        if (space < segment)
            return CREATE_NO_SPACE;
    }
    for (ChunkSpec& chunk : layout->chunks)
        chunk.setNumBlocks(segment);
    return 0;
}

int Modify::buildLogicalDriveChunkSpec()
{
    const unsigned n = targetChunkCount;
    const unsigned long long S = targetSize;
    const unsigned L = static_cast<unsigned>(modifyLegs);
    unsigned required = 0;
    if (!getMinChunksAllowed(required)) {
        notSupported();
        return 2;
    }
    if (n < required) {
        invalidDriveCount();
        myprintf(stdout, "specified (%u): required (%u)\n", n, required);
        return 2;
    }
    unsigned long long segment = 0;
    auto groupsInOrder = [this, n, L]() {
        const unsigned perLeg = n / L;
        for (unsigned i = 0; i < n && perLeg > 0; ++i)
            spec->chunks[i].setGroupNum(i / perLeg);
    };
    switch (targetLevel) {
    case RAID_LEVEL_0:
        segment = ceilDiv(S, n);
        break;
    case RAID_LEVEL_1:
        if (n != 2) {
            invalidDriveCount();
            return 2;
        }
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
    case RAID_LEVEL_SPANNED_VOLUME:
        segment = S;
        break;
    case RAID_LEVEL_SIMPLE_VOLUME:
        if (n != 1) {
            invalidDriveCount();
            return 2;
        }
        segment = S;
        break;
    case RAID_LEVEL_6:
    case RAID_LEVEL_6RS: {
        segment = ceilDiv(S, n - 2);
        int result = check_raid6_limits(n, modifyStripe, targetLevel);
        if (result == 0)
            result = set_raid6_chunksize(S, segment, n, targetLevel);
        if (result == CREATE_BAD_DRIVE_COUNT)
            invalidDriveCount();
        if (result != 0)
            return result;
        break;
    }
    case RAID_LEVEL_10:
        if (n % 2 != 0) {
            invalidDriveCount();
            return 2;
        }
        segment = 2 * ceilDiv(S, n);
        break;
    case RAID_LEVEL_50:
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS: {
        const unsigned parity = targetLevel == RAID_LEVEL_50 ? 1 : 2;
        if (L < 2 || n % L != 0 || n / L < parity + 2) {
            invalidDriveCount();
            return 2;
        }
        groupsInOrder();
        if (targetLevel == RAID_LEVEL_50) {
            segment = ceilDiv(S, n - L);
        } else {
            const EnumRaidLevel subLevel = targetLevel == RAID_LEVEL_60 ? RAID_LEVEL_6 : RAID_LEVEL_6RS;
            int result = check_raid6_limits(n / L, modifyStripe, subLevel);
            if (result == 0)
                result = set_raid6_chunksize(S, segment, n / L, subLevel);
            if (result == CREATE_BAD_DRIVE_COUNT)
                invalidDriveCount();
            if (result != 0)
                return result;
            segment /= L;
        }
        break;
    }
    default:
        return 2;
    }
    if (UCLI_DEBUG)
        myprintf(stderr, "size = %u MB, segment size = %u MB, segment size*drives = %u MB\n",
                 static_cast<unsigned>(S / SECTORS_PER_MB), static_cast<unsigned>(segment / SECTORS_PER_MB),
                 static_cast<unsigned>(segment * n / SECTORS_PER_MB));
    if (S == 0) {
        segment = 0;
    } else if (keepSize) {
        // The source's chunks need not be whole stripes of the new size;
        // rounding up would ask for more than they hold.
    } else {
        const unsigned long long unit = 2 * static_cast<unsigned long long>(modifyStripe);
        segment = ceilDiv(segment, unit) * unit;
        if (UCLI_DEBUG)
            myprintf(stderr, "aligned segment size = %u MB\n", static_cast<unsigned>(segment / SECTORS_PER_MB));
    }

    // The search reads CREATE's view of the request.
    isVynAdapter = adapter->isInstanceOf("VynAdapter");
    jbodToSimpleVolume = false;
    raidLevel = targetLevel;
    stripeSize = modifyStripe;
    legs = modifyLegs;
    int found = 0;
    if (!mirrorSwap)
        found = findChunkSpace(adapter, spec, segment, targetLevel, n);
    else if (targetLevel == RAID_LEVEL_1)
        found = findMirrorSpace(adapter, spec, segment, targetLevel, n);
    if (found != 0) {
        displayError(found);
        return found;
    }
    return 0;
}

int Modify::execute(StorLibPlugin* lib)
{
    debugExecuting("MODIFY");
    adapter = findAdapter(lib, modifyAdapterNumber);
    sourceDrive = findLogicalDrive(adapter, static_cast<unsigned long>(sourceNumber));
    if (adapter == nullptr || sourceDrive == nullptr || spec == nullptr)
        return fail();
    delete sourceChunks;
    sourceChunks = new std::vector<Chunk*>(collect<Chunk>(sourceDrive, "Chunk", false));
    if (sourceChunks == nullptr)
        return fail();

    unsigned long long minimum = 0;
    if (!getMinDataSpace(minimum)) {
        notSupported();
        return fail();
    }
    if (sourceDrive->getState() != LD_OPTIMAL || sourceDrive->getSubState() == LD_SUBSTATE_IMPACTED) {
        myprintf(stdout, "The source logical device must be in an optimal state.\n");
        return fail();
    }
    if (sourceDrive->getBadBlockCount() >= 1) {
        myprintf(stdout, "The source logical device must not have failed stripes.\n");
        return fail();
    }
    if (anyMorphingComponents()) {
        myprintf(stdout, "A selected source or target physical device is part of a current reconfiguration.\n");
        return fail();
    }
    Progress progress;
    sourceDrive->getProgress(progress);
    if (progress.getType() != TASK_TYPE_NONE) {
        myprintf(stdout, "There is a task running on the logical device.  Cannot alter the configuration.\n");
        return fail();
    }
    const int minimumMB = static_cast<int>(minimum / SECTORS_PER_MB);
    const bool expandable = isExpandable(sourceLevel);
    // The source's size is rarely a whole number of MB, and a user can type
    // only whole MB: where the size may not change, MAX and the size as the
    // messages show it both mean the source's size.
    keepSize = keepsSourceSize(expandable);
    if (keepSize && (targetSize == 0 || targetSize / SECTORS_PER_MB == minimum / SECTORS_PER_MB))
        targetSize = minimum;
    if (targetSize != 0 && targetSize < minimum) {
        myprintf(stdout, "The target logical device must be at least as large as the source (%d MB)\n", minimumMB);
        return fail();
    }
    if (!isValidRAIDLevel(adapter, sourceLevel)) {
        myprintf(stdout, "The requested %s RAID Level is not a supported reconfiguration %s.\n", "source", "source");
        return fail();
    }
    if (adapter->getFeature(featMixedArrays) == 0 && targetHasMixedTech()) {
        myprintf(stdout, "Cannot mix physical device interface types (SAS, SATA) within a logical device.\n");
        return fail();
    }
    if (modifyStripe == 1) {
        // A source that reports no stripe size (0) leaves nothing to keep;
        // the segment is aligned to the stripe, so it takes the default.
        const int kept = static_cast<int>(sourceDrive->getStripeSize());
        modifyStripe = isStripeSize(kept) ? kept : DEFAULT_MODIFY_STRIPE;
    }

    const char* const unchangeable = "The requested modification does not support change of logical device %s.\n";
    if (!isValidRLM(sourceLevel, targetLevel)) {
        if (!(expandable && sourceLevel == targetLevel)) {
            notSupported();
            return fail();
        }
    } else if (!expandable && sourceLevel == targetLevel) {
        if (!isSourceTargetNonDisjoint()) {
            myprintf(stdout, unchangeable, "members");
            myprintf(stdout, "Only stripe size changes are allowed.\n");
            return fail();
        }
        if (targetSize != minimum) {
            myprintf(stdout, unchangeable, "size");
            myprintf(stdout, "The target logical device must be %d MB\n", minimumMB);
            myprintf(stdout, "Only stripe size changes are allowed.\n");
            return fail();
        }
        if (!stripeGiven || modifyStripe == static_cast<int>(sourceDrive->getStripeSize())) {
            myprintf(stdout, "The requested reconfiguration does not define any changes.\n");
            return fail();
        }
    } else {
        if (mirrorSwap && isSourceTargetDisjoint()) {
            myprintf(stdout, unchangeable, "members");
            return fail();
        }
        if (mirrorSwap && targetSize != minimum) {
            myprintf(stdout, unchangeable, "size");
            myprintf(stdout, "The target logical device must be %d MB\n", minimumMB);
            return fail();
        }
        if (((sourceLevel == RAID_LEVEL_5 && targetLevel == RAID_LEVEL_0) ||
             (sourceLevel == RAID_LEVEL_5EE && targetLevel == RAID_LEVEL_5)) &&
            !isSourceSubsetOfTarget()) {
            myprintf(stdout, unchangeable, "members");
            return fail();
        }
    }

    spec->raidLevel = targetLevel;
    spec->stripeSize = static_cast<EnumStripeSize>(modifyStripe);
    spec->priority = modifyPriority;
    spec->setName(sourceDrive->getName());
    spec->writeCache = static_cast<int>(sourceDrive->getWriteCacheMode());
    spec->readCache = sourceDrive->getReadCacheMode();
    if (adapter->getFeature(featOrvexaSupport) != 0)
        spec->orvexaReadCache = static_cast<int>(sourceDrive->getOrvexaPreferredSetting());

    if (buildLogicalDriveChunkSpec() != 0)
        return fail();
    if (confirmBeforeActing("Reconfiguration of a logical device is a long process.  Are you sure you want to "
                            "continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;
    myprintf(stdout, "Reconfiguring logical device: %s\n", spec->getName());
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
    addr.setLogicalDriveID(static_cast<std::uint32_t>(sourceDrive->getLogicalDriveID()));
    returnCodes = lib->modifyLogicalDrive(addr, *spec);
    cleanUp();
    return 5;
}

void Modify::displayHelp()
{
    myprintf(stdout, " Usage: MODIFY <Controller#> FROM <LogicalDrive#>\n");
    myprintf(stdout, "               TO [Options] <Size> <RAID#> <Channel# ID#> [Channel# ID#] ... [noprompt] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Morphs a logical device FROM one RAID level TO another (RAID Level Migration).\n");
    myprintf(stdout, " Expands a logical device FROM original TO one with larger capacity (Online Capacity Expansion).\n");
    myprintf(stdout, "\n");
    static const char* const kItems[][2] = {
        {"Stripesize", "Stripe size in kilobytes: 16, 32, 64, 128, 256, 512 and 1024."},
        {"Legs", "RAID 50/60: 2 to 16 legs, 3 to 16 drives per leg, 48 drives at most."},
        {"Init_Priority", "Initialization priority: HIGH, MED or LOW."},
        {"Size", "Size in megabytes, or MAX for all available space."},
        {"Raid#", "0, 1, 10, 5, 5EE, 6 and SIMPLE_VOLUME."},
    };
    for (const auto& item : kItems)
        myprintf(stdout, "       %-14s%s\n", item[0], item[1]);
    myprintf(stdout, "\n");
    myprintf(stdout, "               Note: For RAID1->SV, CHANNEL# & DRIVE# parameters are ignored.\n");
}
