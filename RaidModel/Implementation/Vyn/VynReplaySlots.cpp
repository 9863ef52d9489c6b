#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "RaidModel/Implementation/Vyn/VynReplay.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Implementation/Vyn/Raid6Layout.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/StorDebugTracer.h"

using namespace vynreplay;

namespace {

constexpr unsigned long kUnset = 0x7FFFFFFFul;

std::uint64_t slotKey(unsigned long enclosure, unsigned long slot)
{
    return (static_cast<std::uint64_t>(enclosure & 0xFFFFFFFFul) << 32) | (slot & 0xFFFFFFFFul);
}

bool bothSet(unsigned long enclosure, unsigned long slot)
{
    return enclosure != kUnset && slot != kUnset;
}

// The live drives of one controller by enclosure slot, the first in tree
// order winning: one look-up per saved drive or chunk instead of a walk.
class SlotIndex {
public:
    explicit SlotIndex(const Adapter& live)
    {
        // Sized once: no rehash while the drives go in.
        drives.reserve(live.getNumHardDrives());
        chunks.reserve(live.getNumHardDrives());
        for (HardDrive* drive : live.getAllHardDrives()) {
            if (drive == nullptr || !bothSet(drive->getEnclosureID(), drive->getSlotID()))
                continue;
            const std::uint64_t key = slotKey(drive->getEnclosureID(), drive->getSlotID());
            drives.emplace(key, drive);
            // A saved chunk finds a drive through the drive's own first
            // chunk; a drive without chunks is none of its matches.
            for (RaidObject* child : drive->getChildList()) {
                if (child->isInstanceOf("Chunk")) {
                    chunks.emplace(key, Found{drive, static_cast<Chunk*>(child)});
                    break;
                }
            }
        }
    }

    struct Found {
        HardDrive* drive;
        Chunk* chunk;
    };

    HardDrive* drive(unsigned long enclosure, unsigned long slot) const
    {
        if (!bothSet(enclosure, slot))
            return nullptr;
        auto it = drives.find(slotKey(enclosure, slot));
        return it != drives.end() ? it->second : nullptr;
    }
    const Found* chunk(unsigned long enclosure, unsigned long slot) const
    {
        if (!bothSet(enclosure, slot))
            return nullptr;
        auto it = chunks.find(slotKey(enclosure, slot));
        return it != chunks.end() ? &it->second : nullptr;
    }

private:
    std::unordered_map<std::uint64_t, HardDrive*> drives;
    std::unordered_map<std::uint64_t, Found> chunks;
};

const char* const kSlotMissing =
    "The EnclosureID/SlotID specified in Input XML is not present in the current system. EnclosureID =";

}  // namespace

bool VynSystem::assignDeviceIDfromSlotID(System& saved, System& current)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::assignDeviceIDfromSlotID(System &pNewSystemIN,System &curSystemIN)");
    FILE* log = replay.log;
    // A miss ends the mapping only without force.
    auto missed = [&]() {
        if (force == 0)
            return false;
        retFlag = true;
        return true;
    };
    for (Adapter* savedAdapter : saved.getAdapters()) {
        if (savedAdapter == nullptr)
            continue;
        Adapter* live = findAdapter(current, savedAdapter->getAdapterID());
        if (live == nullptr)
            continue;
        const SlotIndex index(*live);

        const std::vector<HardDrive*> savedDrives = savedAdapter->getAllHardDrives();
        if (savedDrives.size() == live->getNumHardDrives() + 1) {
            for (std::size_t i = 1; i < savedDrives.size(); ++i) {
                HardDrive* s = savedDrives[i];
                if (HardDrive* l = index.drive(s->getEnclosureID(), s->getSlotID())) {
                    s->setChannelID(l->getChannelID());
                    s->setDeviceID(l->getDeviceID());
                    continue;
                }
                if (s->getSlotID() == kUnset)
                    continue;
                if (s->getSlotID() != 0)
                    freeLine(log, kSlotMissing, "%s   %s %d %s %d\n", getTime(timeEntry), kSlotMissing,
                             static_cast<int>(s->getEnclosureID()), " SlotID =", static_cast<int>(s->getSlotID()));
                else
                    freeLine(log, "The EnclosureID/SlotID is not specified in Input XML", "%s   %s \n",
                             getTime(timeEntry), "The EnclosureID/SlotID is not specified in Input XML");
                if (!missed())
                    return false;
            }
        }

        // One list and one visited set serve every logical drive.
        std::vector<RaidObject*> chunks;
        std::unordered_set<const RaidObject*> seen;
        for (LogicalDrive* ld : savedAdapter->getAllLogicalDrives()) {
            if (ld == nullptr)
                continue;
            chunks.clear();
            seen.clear();
            ld->getChildren(chunks, "Chunk", true, true, seen);
            unsigned long k = 0;
            for (RaidObject* node : chunks) {
                ++k;
                const Chunk* savedChunk = static_cast<const Chunk*>(node);
                const SlotIndex::Found* found = index.chunk(savedChunk->getEnclosureID(), savedChunk->getSlotID());
                // The drive to rewrite is named by the saved drive's id; a
                // saved file may have no drive at that index.
                LogicalDrive* target =
                    found != nullptr ? savedAdapter->getLogicalDrive(ld->getLogicalDriveID()) : nullptr;
                if (target != nullptr) {
                    HardDrive* member = target->getHardDrive(k - 1);
                    if (member == nullptr) {
                        target->addHardDriveVector(found->drive);
                        member = found->drive;
                    }
                    member->setChannelID(found->chunk->getChannelID());
                    member->setDeviceID(found->chunk->getDeviceID());
                    continue;
                }
                if (savedChunk->getSlotID() == kUnset)
                    continue;
                if (savedChunk->getSlotID() != 0)
                    freeLine(log, kSlotMissing, "%s   %s %d %s %d\n", getTime(timeEntry), kSlotMissing,
                             static_cast<int>(savedChunk->getEnclosureID()), "SlotID =",
                             static_cast<int>(savedChunk->getSlotID()));
                else
                    freeLine(log,
                             "The EnclosureID/SlotID is not specified in Input XML for a physical device under the "
                             "logical device",
                             "%s   %s %d\n", getTime(timeEntry),
                             "The EnclosureID/SlotID is not specified in Input XML for a physical device under the "
                             "logical device",
                             static_cast<int>(ld->getLogicalDriveID()));
                if (!missed())
                    return false;
            }
        }
    }
    return true;
}

bool VynSystem::isSafeConfig(System& saved, System& current)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::isSafeConfig(System &pNewSystemIN,System &curSystemIN)");
    FILE* log = replay.log;
    for (Adapter* savedAdapter : saved.getAdapters()) {
        if (savedAdapter == nullptr)
            continue;
        const unsigned long id = savedAdapter->getAdapterID();
        Adapter* live = findAdapter(current, id);
        if (live == nullptr)
            continue;
        if (live->getNumLogicalDrives() != 0) {
            freeLine(log,
                     "Could not apply the new configuration. There are one or more logical existing in the Controller",
                     "%s   %s %d.\n", getTime(timeEntry),
                     "Could not apply the new configuration. There are one or more logical existing in the Controller",
                     static_cast<int>(id));
            retFlagSafeConfig = true;
            return false;
        }
        // The live drives by device id, the first in tree order winning.
        std::unordered_map<unsigned long, HardDrive*> byDevice;
        byDevice.reserve(live->getNumHardDrives());
        for (HardDrive* drive : live->getAllHardDrives()) {
            // What an earlier check promised is no promise of this one.
            drive->setPromisedSectors(0);
            byDevice.emplace(drive->getDeviceID(), drive);
        }
        auto sizeLogical = [&](LogicalDrive* ld, unsigned long ldID) {
            if (!sizeInSectors(ld->getUserSize(), ld->getUserSizeUnit())) {
                objectLine(log, id, "Logical Drive", ldID,
                           "Error in creating logical drive due to invalid input size unit", true);
                retFlagSafeConfig = true;
                return false;
            }
            replay.driveCount = static_cast<unsigned>(ld->getNumHardDrives());
            replay.stripeKB = static_cast<unsigned>(ld->getStripeSize());
            replay.raidLevel = ld->getRaidLevel();
            if (!calculateChunkSize())
                return false;
            alignChunkSizeWithStripeSize();
            return true;
        };
        for (LogicalDrive* ld : savedAdapter->getAllLogicalDrives()) {
            if (ld == nullptr || ld->getParent() != savedAdapter)
                continue;
            const unsigned long ldID = ld->getLogicalDriveID();
            if (ld->getNumHardDrives() == 0) {
                objectLine(log, id, "Logical Drive", ldID,
                           "Error in creating logical drive. No Physical drive found with specified DeviceID", true);
                retFlagSafeConfig = true;
                return false;
            }
            replay.requestedSize = 0;
            replay.raidLevel = ld->getRaidLevel();
            if (replay.raidLevel == RAID_LEVEL_RAID_VOLUME) {
                logicalNumVector = ld->getSecondLevelLogicalVector();
                for (LogicalDrive* leg : logicalNumVector)
                    if (!sizeLogical(leg, ldID))
                        return false;
            } else if (!sizeLogical(ld, ldID)) {
                return false;
            }
            for (unsigned long m = 0; m < ld->getNumHardDrives(); ++m) {
                const HardDrive* member = ld->getHardDrive(m);
                auto found = byDevice.find(member->getDeviceID());
                HardDrive* match = found != byDevice.end() ? found->second : nullptr;
                if (match == nullptr) {
                    // The "%d" stays as it is: the log has always shown it so.
                    objectLine(log, id, "Logical Drive", ldID, "Unable to locate the hard drive. DeviceID = %d", true);
                    retFlagSafeConfig = true;
                    return false;
                }
                match->setPromisedSectors(match->getPromisedSectors() + replay.chunkSize);
                if (match->getPromisedSectors() > match->getMaxUsableBlocks())
                    return false;
            }
        }
        if (savedAdapter->getNumHardDrives() != live->getNumHardDrives() + 1) {
            freeLine(log, "Unequal physical drives in Controller", "%s   %s %d   %s. \n", getTime(timeEntry),
                     "Unequal physical drives in Controller", static_cast<int>(id),
                     " : The physical drives from input XML varies from actual physical drives present in the system");
            retFlagSafeConfig = true;
            return false;
        }
    }
    return true;
}

bool VynSystem::calculateChunkSize()
{
    ChunkSizing sizing;
    sizing.requested = replay.requestedSize;
    sizing.drives = replay.driveCount;
    sizing.level = replay.raidLevel;
    sizing.stripeKB = static_cast<int>(replay.stripeKB);
    sizing.legs = replay.legs;
    sizing.chunk = replay.chunkSize;
    const bool ok = ::calculateChunkSize(sizing);
    replay.chunkSize = sizing.chunk;
    if (sizing.wholeDrive)
        replay.wholeDrive = 1;
    if (sizing.spanned)
        replay.spanned = true;
    return ok;
}

void VynSystem::alignChunkSizeWithStripeSize()
{
    replay.chunkSize = ::alignChunkSizeWithStripeSize(replay.chunkSize, static_cast<int>(replay.stripeKB));
}
