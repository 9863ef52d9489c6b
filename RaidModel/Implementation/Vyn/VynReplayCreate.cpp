#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "RaidModel/Implementation/Vyn/Raid6Layout.h"
#include "RaidModel/Implementation/Vyn/VynReplay.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/Addr.h"
#include "common/Ret.h"
#include "common/StorDebugTracer.h"

using namespace vynreplay;

namespace {

constexpr unsigned long long kLowAddressingLimit = 1ull << 32;

unsigned long long roundDown(unsigned long long value, unsigned long long multiple)
{
    return value - value % multiple;
}

bool featureOn(Adapter* adapter, FeatureEnum feature)
{
    return adapter != nullptr && adapter->getFeature(feature) != 0;
}

bool isSpanned(EnumRaidLevel level)
{
    return level == RAID_LEVEL_10 || level == RAID_LEVEL_50 || level == RAID_LEVEL_60 || level == RAID_LEVEL_60RS;
}

// States in which a drive takes no new chunk.
bool unusableState(const HardDrive* drive)
{
    const int state = static_cast<int>(drive->getState());
    return state == 2 || state == 4 || state == 6;
}

}  // namespace

HardDrive* VynSystem::liveMember(Adapter* adapter, const ChunkSpec& chunk) const
{
    if (adapter == nullptr)
        return nullptr;
    const Addr addr(static_cast<std::uint32_t>(adapter->getAdapterID()), Addr::UNSET_ID, Addr::UNSET_ID,
                    static_cast<std::uint32_t>(chunk.getChannelID()), static_cast<std::uint32_t>(chunk.getDeviceID()),
                    Addr::UNSET_CHUNK_ID, Addr::UNSET_ID, Addr::UNSET_ID);
    RaidObject* found = adapter->getObject(addr);
    return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
}

Ret VynSystem::createLogical(Adapter* curAdapter, LogicalDrive* pLogical)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::createLogical(Adapter *curAdapterIN, LogicalDrive *pLogicalIN)");
    Ret ret(0);
    if (curAdapter == nullptr || pLogical == nullptr) {
        ret.setReturn(-1);
        return ret;
    }
    // Nothing of the drive replayed before carries over, the legs of
    // RAID 50 and 60 included: a saved drive does not name them.
    replay.spec.reset(new LogicalDriveSpec());
    replay.savedName = pLogical->getName();
    replay.stripeKB = static_cast<unsigned>(pLogical->getStripeSize());
    replay.spec->stripeSize = pLogical->getStripeSize();
    replay.vynAdapter = curAdapter->isInstanceOf("VynAdapter");
    replay.promoteJbod = false;
    replay.wholeDrive = 0;
    replay.spanned = false;
    replay.enclRedundancy = false;
    replay.legs = 2;
    replay.chunkSize = 0;
    try {
        ret = createUserSizeLogical(curAdapter, pLogical);
    } catch (...) {
        ret.setException();
    }
    replay.spec.reset();
    return ret;
}

Ret VynSystem::createUserSizeLogical(Adapter* curAdapter, LogicalDrive* pLogical)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::createUserSizeLogical(Adapter *curAdapterIN, LogicalDrive *pLogicalIN)");
    LogicalDriveSpec& spec = *replay.spec;
    int code = 0;
    if (pLogical->getRaidLevel() == RAID_LEVEL_RAID_VOLUME) {
        spec.raidLevel = RAID_LEVEL_RAID_VOLUME;
        spec.readCache = pLogical->getReadCacheSetting();
        spec.writeCache = pLogical->getWriteCacheSetting();
        spec.orvexaWriteCache = static_cast<int>(pLogical->getOrvexaWriteCachePreferredSetting());
        spec.orvexaWritePolicy = static_cast<int>(pLogical->getOrvexaWriteCachePolicySetting());
        spec.orvexaReadCache = static_cast<int>(pLogical->getOrvexaPreferredSetting());
        code = buildRaidVolumeSpec(curAdapter, replay.storLib);
    } else {
        std::vector<unsigned long> chunkList;
        for (HardDrive* member : pLogical->getHardDriveVector()) {
            if (member == nullptr || member->getSpareType() == SPARE_DEDICATED)
                continue;
            chunkList.push_back(member->getChannelID());
            chunkList.push_back(member->getDeviceID());
        }
        unsigned driveCount = 0;
        if (!buildChunkSpec(pLogical, chunkList, static_cast<int>(chunkList.size()), driveCount))
            return Ret(-9);
        code = buildLogicalDriveSpec(curAdapter, pLogical, driveCount);
    }
    if (code != 0)
        return Ret(-9);
    return curAdapter->createLogicalDrive(spec);
}

bool VynSystem::buildChunkSpec(LogicalDrive*, std::vector<unsigned long> chunkList, int count, unsigned& driveCount)
{
    driveCount = 0;
    const std::size_t pairs = std::min(chunkList.size(), static_cast<std::size_t>(count > 0 ? count : 0)) / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        const unsigned long channel = chunkList[2 * i];
        const unsigned long device = chunkList[2 * i + 1];
        for (const ChunkSpec& chunk : replay.spec->chunks)
            if (chunk.getChannelID() == channel && chunk.getDeviceID() == device)
                return false;
        ChunkSpec chunk;
        chunk.setHardDriveID(channel, device);
        replay.spec->addChunk(chunk);
        ++driveCount;
    }
    return true;
}

std::string VynSystem::buildLogicalDriveName(Adapter* adapter)
{
    std::set<std::string> names;
    std::set<unsigned long> ids;
    if (adapter != nullptr) {
        for (LogicalDrive* ld : adapter->getAllLogicalDrives()) {
            if (ld == nullptr)
                continue;
            names.insert(ld->getName() != nullptr ? ld->getName() : "");
            ids.insert(ld->getLogicalDriveID());
        }
    }
    unsigned long number = 0;
    while (ids.count(number) != 0)
        ++number;
    // A name taken by another drive moves on to the next number; 15
    // characters hold any number of up to three digits.
    for (;; ++number) {
        char text[32];
        std::snprintf(text, sizeof text, "LogicalDrive%lu", number % 1000);
        if (names.count(text) == 0 || number >= 1000)
            return text;
    }
}

int VynSystem::buildLogicalDriveSpec(Adapter* curAdapter, LogicalDrive* pLogical, unsigned& drivecount)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::buildLogicalDriveSpec()");
    LogicalDriveSpec& spec = *replay.spec;
    spec.priority = static_cast<EnumPriorityLevel>(pLogical->getTaskPriority());
    spec.raidLevel = pLogical->getRaidLevel();
    spec.stripeSize = pLogical->getStripeSize();
    spec.readCache = pLogical->getReadCacheSetting();
    spec.writeCache = pLogical->getWriteCacheSetting();
    spec.orvexaWriteCache = static_cast<int>(pLogical->getOrvexaWriteCachePreferredSetting());
    spec.orvexaWritePolicy = static_cast<int>(pLogical->getOrvexaWriteCachePolicySetting());
    spec.orvexaReadCache = static_cast<int>(pLogical->getOrvexaPreferredSetting());
    spec.initMethod = static_cast<int>(pLogical->getInitMethod());
    const char* savedName = pLogical->getName();
    spec.setName(savedName != nullptr && savedName[0] != '\0' ? savedName
                                                              : buildLogicalDriveName(curAdapter).c_str());
    const EnumRaidLevel level = spec.raidLevel;
    replay.raidLevel = level;
    replay.stripeKB = static_cast<unsigned>(spec.stripeSize);
    replay.driveCount = drivecount;
    const unsigned n = drivecount;

    bool jbodMember = false;
    int firstInterface = 0;
    bool first = true;
    for (const ChunkSpec& chunk : spec.chunks) {
        HardDrive* drive = liveMember(curAdapter, chunk);
        if (drive == nullptr || drive->IsOrvexaAssigned())
            return 4;
        unsigned long chunks = 0;
        for (RaidObject* child : drive->getChildList())
            if (child->isInstanceOf("Chunk"))
                ++chunks;
        if (chunks > 5)
            return 8;
        if (first) {
            firstInterface = drive->getInterfaceType();
            first = false;
        } else if (drive->getInterfaceType() != firstInterface && !featureOn(curAdapter, featMixedArrays)) {
            return 6;
        }
        if (drive->isJBOD())
            jbodMember = true;
    }

    if (replay.requestedSize != 0 && replay.requestedSize < MIN_REQUESTED_SECTORS)
        return 3;
    if (n < getMinimumDriveCount(level))
        return 1;
    if (isSpanned(level)) {
        if (checkSpanCounts(level, n, replay.legs) != 0)
            return 1;
        if (setSpannedArrays() != 0)
            return -30;
    }
    if (level == RAID_LEVEL_SIMPLE_VOLUME && jbodMember)
        replay.requestedSize = 0;
    ChunkSizing sizing;
    sizing.requested = replay.requestedSize;
    sizing.drives = n;
    sizing.level = level;
    sizing.stripeKB = static_cast<int>(replay.stripeKB);
    sizing.legs = replay.legs;
    const int sized = sizeChunk(sizing);
    if (sized != 0)
        return sized;
    replay.chunkSize = sizing.chunk;
    replay.wholeDrive = sizing.wholeDrive ? 1 : 0;
    replay.spanned = sizing.spanned;

    if (jbodMember) {
        if (level != RAID_LEVEL_SIMPLE_VOLUME || n != 1)
            return 4;
        replay.promoteJbod = true;
    }
    if (replay.requestedSize == 0)
        replay.chunkSize = 0;
    else
        alignChunkSizeWithStripeSize();
    if (isSpanned(level))
        configEnclRedundancy(curAdapter);

    if (replay.chunkSize != 0 && (force == 1 || force == 2)) {
        unsigned long long savedSmallest = ~0ull;
        for (HardDrive* member : pLogical->getHardDriveVector())
            if (member != nullptr && member->getSpareType() != SPARE_DEDICATED)
                savedSmallest = std::min(savedSmallest, member->getMaxUsableBlocks());
        // A saved file without drive sizes gives no proportion to keep.
        if (savedSmallest == 0 || savedSmallest == ~0ull)
            return 1;
        const long double percent =
            static_cast<long double>(replay.chunkSize) * 100.0L / static_cast<long double>(savedSmallest);
        unsigned long long liveSmallest = ~0ull;
        for (const ChunkSpec& chunk : spec.chunks) {
            HardDrive* drive = liveMember(curAdapter, chunk);
            if (drive == nullptr || (drive->IsOrvexaAssigned() && featureOn(curAdapter, featOrvexaSupport)))
                return 4;
            liveSmallest = std::min(liveSmallest, drive->getMaxUsableBlocks());
        }
        const long double scaled = std::floor(percent * static_cast<long double>(liveSmallest) / 100.0L);
        replay.chunkSize = roundDown(static_cast<unsigned long long>(scaled), 128);
    }
    return findChunkSpace(curAdapter, replay.chunkSize, level, static_cast<int>(n));
}

int VynSystem::findChunkSpace(Adapter* adapter, unsigned long long& chunkSize, EnumRaidLevel level, int numberDrives)
{
    if (initHDFreeSpace(adapter) == 4)
        return 4;
    if (level == RAID_LEVEL_SIMPLE_VOLUME)
        return replay.promoteJbod ? findJBODPromoteChunkSpace(adapter, chunkSize)
                                  : findVolumeChunkSpace(adapter, chunkSize);
    const bool requested = chunkSize != 0;
    unsigned long long smallest = ~0ull;
    for (ChunkSpec& chunk : replay.spec->chunks) {
        HardDrive* drive = liveMember(adapter, chunk);
        if (drive == nullptr || (drive->IsOrvexaAssigned() && featureOn(adapter, featOrvexaSupport)))
            return 4;
        const unsigned long long found =
            roundDown(requested ? findChunk(drive, chunk, chunkSize) : findMaxChunk(drive, chunk), 128);
        if (found == 0 || found < chunkSize)
            return 2;
        smallest = std::min(smallest, found);
    }
    if (!requested)
        chunkSize = roundDown(smallest, 2048);
    const unsigned long long n = numberDrives > 0 ? static_cast<unsigned long long>(numberDrives) : 1;
    // Without 64-bit addressing the whole drive must stay below 2 TiB.
    if (!featureOn(adapter, feat64BitLBA) && chunkSize > (kLowAddressingLimit - 1) / n) {
        if (requested)
            return 7;
        chunkSize = (2097151 / n) * 2048;
    }
    for (ChunkSpec& chunk : replay.spec->chunks)
        chunk.setNumBlocks(chunkSize);
    return 0;
}

int VynSystem::initHDFreeSpace(Adapter* adapter)
{
    for (const ChunkSpec& chunk : replay.spec->chunks) {
        HardDrive* drive = liveMember(adapter, chunk);
        if (drive == nullptr || unusableState(drive) || drive->getTaskInProgress())
            return 4;
        drive->InitFreeSpace(0);
    }
    return 0;
}

unsigned long long VynSystem::findMaxChunk(HardDrive* drive, ChunkSpec& chunk)
{
    chunk.setStartBlock(drive->freeSpace.BigFreeStartSector());
    return drive->freeSpace.BigFreeNumSectors();
}

unsigned long long VynSystem::findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long chunkSize)
{
    unsigned long long start = 0;
    unsigned long long size = chunkSize;
    drive->freeSpace.FindAdequate(start, size);
    chunk.setStartBlock(start);
    return size;
}

int VynSystem::findVolumeChunkSpace(Adapter* adapter, unsigned long long chunksize)
{
    LogicalDriveSpec& spec = *replay.spec;
    std::vector<HardDrive*> members;
    for (const ChunkSpec& chunk : spec.chunks) {
        HardDrive* drive = liveMember(adapter, chunk);
        if (drive == nullptr)
            return 4;
        members.push_back(drive);
    }
    const std::string keptName = spec.getName();
    spec.reset(spec.raidLevel, static_cast<EnumStripeSize>(replay.stripeKB), keptName.c_str());
    unsigned long long total = 0;
    for (HardDrive* drive : members)
        total += drive->getSize();
    // Members of no size leave nothing to share.
    if (total == 0)
        return 2;
    std::size_t added = 0;
    for (HardDrive* drive : members) {
        const unsigned long long share = static_cast<unsigned long long>(
            std::floor(static_cast<double>(chunksize) * static_cast<double>(drive->getSize()) /
                       static_cast<double>(total)));
        for (const FreeSpace& extent : drive->freeSpace.getExtents()) {
            // The start of a drive is never part of a spread volume.
            if (extent.startSector == 0)
                continue;
            const unsigned long long usable = roundDown(roundDown(extent.numSectors, 128), 2048);
            if (usable > 2047 && usable >= share) {
                spec.addChunk(drive->getChannelID(), drive->getDeviceID(), extent.startSector, roundDown(share, 128),
                              0, static_cast<EnumChunkType>(0));
                ++added;
            }
        }
    }
    return added == members.size() ? 0 : 2;
}

int VynSystem::findJBODPromoteChunkSpace(Adapter* adapter, unsigned long long)
{
    LogicalDriveSpec& spec = *replay.spec;
    if (spec.chunks.size() != 1)
        return 4;
    HardDrive* drive = liveMember(adapter, spec.chunks.front());
    if (drive == nullptr)
        return 4;
    const std::string keptName = spec.getName();
    spec.reset(spec.raidLevel, static_cast<EnumStripeSize>(replay.stripeKB), keptName.c_str());
    spec.addChunk(drive->getChannelID(), drive->getDeviceID(), drive->freeSpace.BigFreeStartSector(),
                  roundDown(drive->freeSpace.BigFreeNumSectors(), 2048), 0, static_cast<EnumChunkType>(0));
    return 0;
}

bool VynSystem::containsHardDrive(LogicalDrive* logical, HardDrive* drive)
{
    if (logical == nullptr || drive == nullptr)
        return false;
    std::vector<HardDrive*> members;
    logical->getHardDrives(members);
    for (HardDrive* member : members)
        if (member != nullptr && member->getDeviceID() == drive->getDeviceID())
            return true;
    return false;
}

bool VynSystem::isMemberOfLogicalDrive(Adapter* adapter, HardDrive* drive)
{
    if (adapter == nullptr)
        return false;
    for (LogicalDrive* ld : adapter->getAllLogicalDrives())
        if (containsHardDrive(ld, drive))
            return true;
    return false;
}

int VynSystem::buildRaidVolumeSpec(Adapter* adapter, StorLib*)
{
    if (adapter == nullptr)
        return 9;
    if (logicalNumVector.size() < 2)
        return 1;
    std::vector<LogicalDrive*> candidates;
    for (LogicalDrive* ld : adapter->getAllLogicalDrives())
        if (ld == nullptr || ld->getParent() == adapter)
            candidates.push_back(ld);
    unsigned long long total = 0;
    for (LogicalDrive* leg : logicalNumVector) {
        const std::string legName = leg != nullptr && leg->getName() != nullptr ? leg->getName() : "";
        for (auto it = candidates.begin(); it != candidates.end(); ++it) {
            if (*it == nullptr)
                return 4;
            const char* candidateName = (*it)->getName();
            if (legName != (candidateName != nullptr ? candidateName : ""))
                continue;
            total += (*it)->getDataSpace64();
            ChunkSpec chunk;
            chunk.setLogicalID((*it)->getLogicalDriveID());
            replay.spec->addChunk(chunk);
            candidates.erase(it);
            break;
        }
    }
    if (!featureOn(adapter, feat64BitLBA) && total >= kLowAddressingLimit)
        return 7;
    replay.spec->setName(replay.savedName != nullptr && replay.savedName[0] != '\0'
                             ? replay.savedName
                             : buildLogicalDriveName(adapter).c_str());
    return 0;
}

int VynSystem::setSpannedArrays()
{
    const unsigned n = replay.driveCount;
    if (replay.raidLevel == RAID_LEVEL_10)
        replay.legs = std::max(static_cast<int>(n / 2), 2);
    if (replay.legs <= 0)
        return -30;
    const unsigned per = n / static_cast<unsigned>(replay.legs);
    std::vector<ChunkSpec>& chunks = replay.spec->chunks;
    std::size_t next = 0;
    for (int g = 0; g < replay.legs; ++g) {
        for (unsigned i = 0; i < per; ++i) {
            if (next >= chunks.size())
                return -30;
            chunks[next++].setGroupNum(static_cast<unsigned long>(g));
        }
    }
    return 0;
}

void VynSystem::configEnclRedundancy(Adapter* adapter)
{
    constexpr unsigned kEnclosures = 32;
    std::vector<ChunkSpec>& chunks = replay.spec->chunks;
    const std::size_t n = std::min<std::size_t>(replay.driveCount, chunks.size());
    unsigned remaining[kEnclosures] = {};
    for (std::size_t i = 0; i < n; ++i) {
        HardDrive* drive = liveMember(adapter, chunks[i]);
        if (drive == nullptr)
            continue;
        if (drive->getEnclosureID() >= kEnclosures)
            return;
        ++remaining[drive->getEnclosureID()];
    }
    unsigned enclosures = 0;
    unsigned perEnclosure = 0;
    for (unsigned count : remaining) {
        if (count == 0)
            continue;
        if (enclosures != 0 && count != perEnclosure)
            return;
        perEnclosure = count;
        ++enclosures;
    }
    if (enclosures == 0)
        return;
    replay.legs = static_cast<int>(replay.driveCount / enclosures);
    const EnumRaidLevel level = replay.raidLevel;
    const bool allowed = (level == RAID_LEVEL_50 && enclosures >= 3) ||
                         ((level == RAID_LEVEL_60 || level == RAID_LEVEL_60RS) && enclosures >= 4) ||
                         (level == RAID_LEVEL_10 && enclosures == 2);
    if (!allowed)
        return;
    replay.enclRedundancy = true;
    for (std::size_t i = 0; i < n; ++i) {
        HardDrive* drive = liveMember(adapter, chunks[i]);
        if (drive == nullptr || drive->getEnclosureID() >= kEnclosures) {
            setSpannedArrays();
            return;
        }
        chunks[i].setGroupNum(--remaining[drive->getEnclosureID()]);
    }
}
