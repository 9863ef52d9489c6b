// Creating a logical drive on the controller: the request is checked against
// the tree and the controller's features, turned into firmware records and
// sent with one of the five creation calls. The tree is not rebuilt here; the
// caller refreshes it.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// Bits of the controller's capability word (general information, byte 2580).
constexpr uint32_t kSingleCreationCall = 0x8;
constexpr uint32_t kOrvexaWriteCacheSettings = 0x8000;

constexpr int kInitNone = 4;
constexpr uint32_t kSetDelay = 4;  // FSA_CO_SET_DELAY
constexpr uint64_t kBlockBytes = 512;

// Firmware drive state of a drive ready for a container; states 0, 2 and 4
// need the drive prepared first, any other cannot take one.
constexpr uint32_t kDriveReady = 1;

// Per RAID level: the level code of the single creation call and the feature
// the controller must offer (featMaxIndex: none).
struct LevelRow {
    EnumRaidLevel level;
    uint32_t code;
    FeatureEnum feature;
    const char* missing;
};

const LevelRow kLevels[] = {
    {RAID_LEVEL_0, 2, featMaxIndex, nullptr},
    {RAID_LEVEL_1, 3, featMaxIndex, nullptr},
    {RAID_LEVEL_1E, 5, featRaid1E, "RAID level not supported by adapter: FeatRaid1E"},
    {RAID_LEVEL_5, 7, featMaxIndex, nullptr},
    {RAID_LEVEL_5EE, 9, featRaid5EE, "RAID level not supported by adapter: FeatRaid5EE"},
    {RAID_LEVEL_10, 4, featMaxIndex, nullptr},
    {RAID_LEVEL_50, 8, featRaid50, "RAID level not supported by adapter: FeatRaid50"},
    {RAID_LEVEL_SPANNED_VOLUME, 1, featMaxIndex, nullptr},
    {RAID_LEVEL_SIMPLE_VOLUME, 1, featMaxIndex, nullptr},
    {RAID_LEVEL_RAID_VOLUME, 0, featMaxIndex, nullptr},
    {RAID_LEVEL_6, 11, featRaid6, "RAID level not supported by adapter: FeatRaid6"},
    {RAID_LEVEL_60, 12, featRaid60, "RAID level not supported by adapter: FeatRaid60"},
    // The Reed-Solomon levels name the feature of their plain level.
    {RAID_LEVEL_6RS, 13, featRaid6RS, "RAID level not supported by adapter: FeatRaid6"},
    {RAID_LEVEL_60RS, 14, featRaid60RS, "RAID level not supported by adapter: FeatRaid60"},
};

const LevelRow* levelRow(EnumRaidLevel level)
{
    for (const LevelRow& row : kLevels)
        if (row.level == level)
            return &row;
    return nullptr;
}

// The firmware's initialisation code of the single creation call.
uint32_t initCode(int method)
{
    switch (method) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 3;
    case 3: return 0;
    case 4: return 4;
    default: return 0;
    }
}

uint32_t priorityCode(EnumPriorityLevel priority)
{
    switch (static_cast<int>(priority)) {
    case 0: return 0;
    case 1: return 1;
    default: return 2;
    }
}

const VynPhysicalDeviceAttach* familyAttachment(const HardDrive* drive)
{
    Serializable* attachment = drive->getAttachment();
    return attachment != nullptr && attachment->isInstanceOf("VynPhysicalDeviceAttach")
               ? static_cast<const VynPhysicalDeviceAttach*>(attachment)
               : nullptr;
}

}  // namespace

Ret VynAdapter::createLogicalDrive(const LogicalDriveSpec& spec)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynAdapter::createLogicalDrive()");
    Ret ret(0);
    try {
        const std::vector<ChunkSpec>& chunks = spec.chunks;
        const EnumRaidLevel level = spec.raidLevel;
        int initMethod = spec.initMethod;
        bool noBuild = initMethod == kInitNone;
        VynTracePrintf("initMethod:%d   bNoBuild:%d\n", initMethod, noBuild ? 1 : 0);

        // Members, from the tree under this controller.
        std::vector<HardDrive*> hardDrives;
        std::vector<LogicalDrive*> logicalDrives;
        bool jbodMember = false;
        uint32_t highestGroup = 0;
        for (size_t i = 0; i < chunks.size(); ++i) {
            const ChunkSpec& chunk = chunks[i];
            Addr addr;
            addr.setAdapterID(static_cast<uint32_t>(getAdapterID()));
            addr.setLogicalDriveID(static_cast<uint32_t>(chunk.getLogicalDriveID()));
            addr.setChannelID(static_cast<uint32_t>(chunk.getChannelID()));
            addr.setDeviceID(static_cast<uint32_t>(chunk.getDeviceID()));
            if (chunk.getGroupNum() > highestGroup)
                highestGroup = static_cast<uint32_t>(chunk.getGroupNum());
            RaidObject* member = getChild(addr, true);
            if (member == nullptr)
                return vynerror::badParam(ret, "member not found", static_cast<long>(i));
            if (member->isInstanceOf("HardDrive")) {
                auto* drive = static_cast<HardDrive*>(member);
                hardDrives.push_back(drive);
                if (drive->isJBOD())
                    jbodMember = true;
            } else if (member->isInstanceOf("LogicalDrive")) {
                auto* drive = static_cast<LogicalDrive*>(member);
                for (const LogicalDrive* earlier : logicalDrives)
                    if (earlier->getRaidLevel() != drive->getRaidLevel())
                        return vynerror::badParam(ret, "dissimilar member RAID levels", 0);
                logicalDrives.push_back(drive);
            } else {
                return vynerror::badParam(ret, "illegal member object type (not a HardDrive or LogicalDrive)", 0);
            }
        }

        if (level == RAID_LEVEL_RAID_VOLUME) {
            if (logicalDrives.size() < 2)
                return vynerror::badParam(ret, "too few RAID Volume members", static_cast<long>(logicalDrives.size()));
        } else if (hardDrives.empty()) {
            return vynerror::badParam(ret, "no valid members specified", 0);
        }

        const uint32_t containerType = getFsaRaidLevel(level, static_cast<EnumInitMethod>(initMethod));
        const LevelRow* row = levelRow(level);
        if (containerType == 0 || row == nullptr)
            return vynerror::badParam(ret, "invalid RAID level", level);
        if (row->missing != nullptr && getFeature(row->feature) == 0)
            return vynerror::notSupported(ret, row->missing, 0);

        const uint32_t capabilities = faGetLe32(getFsaInfo()->bytes + GI_OPTION_WORD3);
        // Read cache, write cache, Orvexa preferred, Orvexa write cache.
        uint32_t cacheBlock[4] = {0, 0, 0, 0};
        uint32_t writePolicy = 0;
        if (spec.readCache == 2) {
            cacheBlock[0] = 1;
            if (spec.orvexaReadCache == 2)
                cacheBlock[2] = 1;
        }
        if (spec.writeCache == 2)
            cacheBlock[1] = 2;
        else if (spec.writeCache == 3)
            cacheBlock[1] = 1;
        if ((capabilities & kOrvexaWriteCacheSettings) != 0) {
            if (spec.orvexaWriteCache == 2)
                cacheBlock[3] = 1;
            if (spec.orvexaWritePolicy < 0 || spec.orvexaWritePolicy > 4)
                return vynerror::notSupported(ret, "not supported write back cache setting", spec.orvexaWritePolicy);
            writePolicy = static_cast<uint32_t>(spec.orvexaWritePolicy);
        }
        const uint32_t stripeSize = getFsaStripeSize(spec.stripeSize);

        FsaWriteHandleGrabber handle(this, &ret);
        if (handle == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        tag_FSA_CONTAINER created = {};

        if (level == RAID_LEVEL_RAID_VOLUME) {
            std::vector<VynBasicLogicalDrive*> sources;
            for (LogicalDrive* drive : logicalDrives)
                sources.push_back(drive->isInstanceOf("VynBasicLogicalDrive") ? static_cast<VynBasicLogicalDrive*>(drive)
                                                                              : nullptr);
            FsaContainerArrayGrabber containers(sources);
            const FSA_STATUS status = fsaExports().FsaCreateSecondaryContainer(
                handle, &created, containerType, spec.name, static_cast<uint32_t>(containers.getNumItems()),
                containers, stripeSize, noBuild ? 1 : 0);
            if (status != FSA_STS_SUCCESS)
                return vynerror::apiError(ret, "FsaCreateSecondaryContainer()", status);
            VynTracePrintf("FsaCreateSecondaryContainer() - SUCCESS");
            return ret;
        }

        if (chunks.size() != hardDrives.size())
            return vynerror::badParam(ret, "not all members were physical drives", 0);

        FsaStorageDeviceSpaceGrabber spaces(hardDrives.size());
        if (spaces == nullptr) {
            ret.setResource();
            return ret;
        }
        // Every check on the members runs before any drive is prepared, so a
        // refused request leaves every drive as it was.
        std::vector<const FSA_STORAGE_DEVICE*> toPrepare;
        unsigned long filled = 0;
        for (uint64_t group = 0; group <= highestGroup; ++group) {
            bool groupSeen = false;
            for (size_t i = 0; i < chunks.size(); ++i) {
                if (chunks[i].getGroupNum() != group)
                    continue;
                groupSeen = true;
                const VynPhysicalDeviceAttach* attachment = familyAttachment(hardDrives[i]);
                if (attachment == nullptr)
                    return vynerror::badParam(ret,
                                              "HardDrive had no VYN attachment (the drive was probably not physically "
                                              "found in the system)",
                                              static_cast<long>(i));
                FSA_STORAGE_DEVICE_SPACE& space = static_cast<FSA_STORAGE_DEVICE_SPACE*>(spaces)[filled++];
                std::memcpy(&space.device, attachment->getStorageDevice(), sizeof space.device);
                space.start = chunks[i].getStartBlock() * kBlockBytes;
                space.length = chunks[i].getNumBlocks() * kBlockBytes;
                VynTracePrintf("offsetInBytes: %llu sizeInBytes: %llu",
                               static_cast<unsigned long long>(space.start),
                               static_cast<unsigned long long>(space.length));
                const uint32_t state = attachment->getFsaInfo()->storageDeviceUsage;
                if (state == 0 || state == 2 || state == 4)
                    toPrepare.push_back(attachment->getStorageDevice());
                else if (state != kDriveReady)
                    return vynerror::badParam(ret, "invalid member state", static_cast<long>(i));
            }
            if (!groupSeen)
                return vynerror::badParam(ret, "discontiguous RAID group numbers", 0);
        }

        if (jbodMember) {
            if (level != RAID_LEVEL_SIMPLE_VOLUME)
                return vynerror::badParam(ret, "JBOD configured drive specified as logical drive member", 0);
            initMethod = kInitNone;
            noBuild = true;
        }

        if (!noBuild) {
            for (const FSA_STORAGE_DEVICE* device : toPrepare) {
                const FSA_STATUS status = fsaExports().FsaInitStorageDeviceForFsa(handle, 1, device, 1);
                if (status != FSA_STS_SUCCESS)
                    return vynerror::apiError(ret, "FsaInitStorageDeviceForFsa()", status);
            }
        }

        const uint32_t count = static_cast<uint32_t>(hardDrives.size());
        const uint32_t groupCount = highestGroup + 1;
        // The primary and RAID-50/60 calls look at the read and write words.
        tag_FSA_CONTAINER_PARAMS cacheParams = {cacheBlock[0], cacheBlock[1]};
        const int build = noBuild ? 1 : 0;
        const bool single = (capabilities & kSingleCreationCall) != 0;
        FSA_STATUS status;
        const char* call;
        if (single) {
            call = "FsaCreateLogicalDrive()";
            status = fsaExports().FsaCreateLogicalDrive(handle, &created, row->code, spec.name, groupCount, count,
                                                        spaces, stripeSize, cacheBlock, initCode(initMethod),
                                                        priorityCode(spec.priority), writePolicy);
        } else if (level == RAID_LEVEL_50) {
            call = "FsaCreateRAID50()";
            status = fsaExports().FsaCreateRAID50(handle, &created, containerType, spec.name, count / groupCount,
                                                  count, spaces, stripeSize, &cacheParams, build);
        } else if (level == RAID_LEVEL_60 || level == RAID_LEVEL_60RS) {
            call = "FsaCreateRAID60()";
            status = fsaExports().FsaCreateRAID60(handle, &created, containerType, spec.name, count / groupCount,
                                                  count, spaces, stripeSize, &cacheParams, build);
        } else {
            call = "FsaCreatePrimaryContainer()";
            status = fsaExports().FsaCreatePrimaryContainer(handle, &created, containerType, spec.name, count, spaces,
                                                            stripeSize, &cacheParams, build);
        }
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, call, status);
        else
            VynTracePrintf("%s - SUCCESS", call);
        ret.setMiscErrors(created.number, 0);

        if (status == FSA_STS_SUCCESS && !single) {
            unsigned long delay = getFsaDelay(spec.priority);
            const FSA_STATUS delayed = fsaExports().FsaContainer(handle, &created, kSetDelay, &delay);
            if (delayed != FSA_STS_SUCCESS)
                VynErrorPrintf(__FILE__, __LINE__, "FsaContainer(FSA_CO_SET_DELAY) - FAILED (fsaStatus=%d)",
                               static_cast<int>(delayed));
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
