#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChunk.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

using Info = VynLogicalDriveInfo;

constexpr uint32_t kFlagForcedOnline = 0x40;
constexpr uint32_t kFlagNoBuild = 0x80;
// General information, option word 2: the record's bad-stripe count is the
// drive's bad-block count.
constexpr uint32_t kBadStripesFromRecord = 1u << 24;

constexpr uint32_t kRebuildPartition = 3;

bool deadPartition(uint32_t type) { return type == 2 || type == 4 || type == 5 || type == 7; }

// A stand-in for a member the controller lost: failed and without a device.
bool isPlaceholder(const HardDrive* drive)
{
    return drive->getState() == PD_FAILED && drive->getDeviceID() == Addr::UNSET_ID;
}

int raid5EEStateOf(uint32_t flags)
{
    if (flags & 0x2)
        return 1;
    if (flags & 0x1)
        return 2;
    if (flags & 0x4)
        return 3;
    return 0;
}

void traceDead(const HardDrive* drive, unsigned long adapterID, const char* why, long value, unsigned long dead)
{
    const int ad = static_cast<int>(adapterID);
    const int ch = drive != nullptr ? static_cast<int>(drive->getChannelID()) : -1;
    const int id = drive != nullptr ? static_cast<int>(drive->getDeviceID()) : -1;
    if (why == nullptr)
        VynTracePrintf("hd ad:%d ch:%d id:%d  (state == DRIVE_DEAD)  deadCount:%d\n", ad, ch, id,
                       static_cast<int>(dead));
    else if (std::strcmp(why, "type") == 0)
        VynTracePrintf("hd ad:%d ch:%d id:%d  (partitionType == %d)  deadCount:%d\n", ad, ch, id,
                       static_cast<int>(value), static_cast<int>(dead));
    else if (std::strcmp(why, "rebuild") == 0)
        VynTracePrintf("hd ad:%d ch:%d id:%d  (partitionType == FSA_FPT_REBUILD)  deadCount:%d\n", ad, ch, id,
                       static_cast<int>(dead));
    else
        VynTracePrintf("hd ad:%d ch:%d id:%d  (FsaGetFsaPartitionInfo status == %d)  deadCount:%d\n", ad, ch, id,
                       static_cast<int>(value), static_cast<int>(dead));
}

}  // namespace

VynBasicLogicalDrive::VynBasicLogicalDrive(VynLogicalDriveInfo* recordIN, VynAdapter* adapter,
                                           unsigned long logicalDriveID, EnumRaidLevel raidLevel,
                                           unsigned long long dataSpace, unsigned long long paritySpace,
                                           EnumLogicalDeviceState state, bool blockedAccess)
    : BasicLogicalDrive(adapter, nullptr, logicalDriveID, state, raidLevel, dataSpace, paritySpace, blockedAccess,
                        static_cast<EnumLogicalDriveCacheMode>(0), false, false),
      vynAdapter(adapter),
      record(recordIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynBasicLogicalDrive::VynBasicLogicalDrive()");
    subState = static_cast<EnumLogicalDeviceSubState>(0x7FFFFFFF);
    if (record == nullptr)
        return;
    if (record->isPrimaryContainer())
        createChunks(record, 0, 0);
    else
        addMembers();
    const uint32_t flags = record->word(Info::FLAGS);
    if (raidLevel == RAID_LEVEL_5EE)
        raid5EEState = raid5EEStateOf(flags);
    forcedOnline = (flags & kFlagForcedOnline) != 0;
    createdWithNoBuild = (flags & kFlagNoBuild) != 0;
    forceOnlineFlags = static_cast<int>(record->word(Info::FORCE_ONLINE));
    record->setLogicalDrive(this);
}

VynBasicLogicalDrive::~VynBasicLogicalDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynBasicLogicalDrive::~VynBasicLogicalDrive()");
    // The record outlives the drive: it must not point at it any more.
    if (record != nullptr && record->getLogicalDrive() == this)
        record->forgetLogicalDrive();
}

bool VynBasicLogicalDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynBasicLogicalDrive") == 0) ||
           BasicLogicalDrive::isInstanceOf(name);
}

const char* VynBasicLogicalDrive::typeName() const { return "VynBasicLogicalDrive"; }

const uint8_t* VynBasicLogicalDrive::getContainer() const
{
    return record != nullptr ? record->getContainer() : nullptr;
}

const char* VynBasicLogicalDrive::getName() const { return logicalName; }

int VynBasicLogicalDrive::getReadCacheMode() const { return readCacheSetting; }

void VynBasicLogicalDrive::mergeRedundancy(const VynLogicalDriveInfo* member)
{
    if (member->word(Info::INITIALLY_REDUNDANT) == 0)
        record->setWord(Info::INITIALLY_REDUNDANT, 0);
    if (member->word(Info::NOT_REDUNDANT) != 0)
        record->setWord(Info::NOT_REDUNDANT, 1);
}

HardDrive* VynBasicLogicalDrive::memberDrive(VynLogicalDriveInfo* info, unsigned long i)
{
    const auto deviceOf = [&]() {
        return static_cast<uint32_t>(info->getScsiLun(i)) << 16 | static_cast<uint32_t>(info->getScsiID(i));
    };
    HardDrive* drive = vynAdapter->findHardDrive(info->getScsiBusNum(i), deviceOf());
    // A member the firmware marks as replaced is shown by a placeholder,
    // never by the drive now in its slot.
    if (faGetLe32(info->getFsaPartition(i)) == 1 && drive != nullptr && !isPlaceholder(drive)) {
        info->setElementAddress(i, 0xFF, 0xFF, 0xFF);
        drive = vynAdapter->findHardDrive(info->getScsiBusNum(i), deviceOf());
    }
    if (drive != nullptr)
        return drive;
    Addr addr(static_cast<uint32_t>(vynAdapter->getAdapterID()), Addr::UNSET_ID, Addr::UNSET_ID,
              info->getScsiBusNum(i), deviceOf(), Addr::UNSET_CHUNK_ID, Addr::UNSET_ID, Addr::UNSET_ID);
    return vynAdapter->addMissingHardDrive(addr);
}

void VynBasicLogicalDrive::createChunks(VynLogicalDriveInfo* info, unsigned long group, unsigned long recursionLevel)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::createChunks()");
    if (info == nullptr || vynAdapter == nullptr)
        return;
    const unsigned long elements = info->getNumElements();
    if (!info->isPrimaryContainer()) {
        if (recursionLevel > MAX_RECURSION) {
            VynErrorPrintf(__FILE__, __LINE__, "recursionLevel > %d", static_cast<int>(MAX_RECURSION));
            return;
        }
        for (unsigned long i = 0; i < elements; ++i) {
            VynLogicalDriveInfo* member = vynAdapter->getLogicalInfoByContainerNum(faGetLe32(info->getFsaPartition(i)));
            // A record that names itself or a member already listed would
            // multiply the walk by its element count at every level.
            if (member == nullptr || member == info ||
                std::find(memberRecords.begin(), memberRecords.end(), member) != memberRecords.end())
                continue;
            mergeRedundancy(member);
            memberRecords.push_back(member);
            createChunks(member, i, recursionLevel + 1);
        }
        return;
    }

    const bool stripesFromRecord =
        (faGetLe32(vynAdapter->getFsaInfo()->bytes + GI_SUPPORTED_OPTIONS2) & kBadStripesFromRecord) != 0;
    if (stripesFromRecord)
        badBlockCount = static_cast<int>(info->word(Info::BAD_STRIPES));
    const uint32_t flags = info->word(Info::FLAGS);
    unsigned long long chunkBlocks = 0;
    bool first = true;
    unsigned long dead = 0;
    for (unsigned long i = 0; i < elements; ++i) {
        HardDrive* drive = memberDrive(info, i);
        FSA_PARTITION_INFO partition = {};
        FSA_PARTITION element;
        std::memcpy(element.bytes, info->getFsaPartition(i), sizeof element.bytes);
        const FSA_STATUS status =
            fsaExports().FsaGetFsaPartitionInfo(vynAdapter->getAdapterHandle(), 0, &element, &partition);
        const unsigned long long start = info->getStartBlock(i);
        const unsigned long long blocks = info->getNumBlocks(i);
        const auto chunkType = static_cast<EnumChunkType>(0);
        if (status == FSA_STS_SUCCESS) {
            // Each parent owns a chunk of its own: a node under two parents
            // would be freed twice with the tree.
            addChild(newOrNull<VynChunk>(&partition, drive, this, start, blocks, chunkType, group,
                                         CHUNK_STATE_NORMAL, i, elements));
            if (drive != nullptr)
                drive->addChild(newOrNull<VynChunk>(&partition, drive, this, start, blocks, chunkType, group,
                                                    CHUNK_STATE_NORMAL, i, elements));
            if (!stripesFromRecord)
                badBlockCount += static_cast<int>(faGetLe32(partition.bytes + PI_BAD_BLOCK_COUNT));
            const uint32_t type = faGetLe32(partition.bytes + PI_PARTITION_TYPE);
            if (drive != nullptr && drive->getState() == PD_FAILED) {
                traceDead(drive, vynAdapter->getAdapterID(), nullptr, 0, ++dead);
            } else if (deadPartition(type)) {
                traceDead(drive, vynAdapter->getAdapterID(), "type", type, ++dead);
            } else if (type == kRebuildPartition) {
                if (drive != nullptr)
                    drive->setStateProperty(PD_REBUILDING);
                if ((flags & Info::FLAG_NO_DEGRADE) == 0)
                    traceDead(drive, vynAdapter->getAdapterID(), "rebuild", 0, ++dead);
            }
        } else {
            traceDead(drive, vynAdapter->getAdapterID(), "status", static_cast<long>(status), ++dead);
            addChild(newOrNull<Chunk>(drive, this, start, blocks, chunkType, group, CHUNK_STATE_NORMAL, i, elements));
            if (drive != nullptr)
                drive->addChild(
                    newOrNull<Chunk>(drive, this, start, blocks, chunkType, group, CHUNK_STATE_NORMAL, i, elements));
        }
        if (first) {
            chunkBlocks = blocks;
            first = false;
        }
    }
    addToParitySpace(parityBlocksOf(raidLevel, chunkBlocks, elements, vynAdapter));
    if (dead > 0) {
        const EnumLogicalDeviceState merged =
            missingMemberState(getRaidLevelFromFsa(info->getContainerInfo()), dead);
        mergeStateProperty(merged);
    }
}

unsigned long long VynBasicLogicalDrive::parityBlocksOf(EnumRaidLevel level, unsigned long long s,
                                                        unsigned long members, const VynAdapter* adapter)
{
    switch (static_cast<int>(level)) {
    case 1: case 3: case 4: case 5: case 7: case 9: case 11:
        return s;
    case 2:
        return s * members / 2;
    case 16: case 17: case 18: case 19: {
        const bool rs = level == RAID_LEVEL_6RS || level == RAID_LEVEL_60RS;
        const char* fault = rs ? "Raid6RS parity and data count error." : "Raid6 parity and data count error.";
        const unsigned long n = std::max<unsigned long>(members, 4);
        // The tables hold 32 entries; a count beyond them names no entry.
        if (adapter == nullptr || n >= RAID6_OPT_MAX_ENTRIES) {
            VynErrorPrintf(__FILE__, __LINE__, "%s", fault);
            return 0;
        }
        const FSA_RAID6_OPTIONS options = adapter->getRaid6Options();
        const uint8_t* entry = options.bytes + (rs ? RAID6_OPT_RS_TABLE : RAID6_OPT_TABLE) + 4 * n;
        const unsigned long long p = entry[1];
        const unsigned long long d = faGetLe16(entry + 2);
        if (p + d == 0) {
            VynErrorPrintf(__FILE__, __LINE__, "%s", fault);
            return 0;
        }
        return s * n * p / (p + d);
    }
    default:
        return 0;
    }
}

EnumLogicalDeviceState VynBasicLogicalDrive::missingMemberState(EnumRaidLevel level, unsigned long missing)
{
    if (missing == 0)
        return LD_OPTIMAL;
    const int r = static_cast<int>(level);
    if ((r >= 1 && r <= 7) || (r >= 9 && r <= 12))
        return missing == 1 ? LD_DEGRADED : LD_FAILED;
    if (r >= 16 && r <= 19)
        return missing == 1 ? LD_SUBOPTIMAL : missing == 2 ? LD_DEGRADED : LD_FAILED;
    return LD_FAILED;
}

void VynBasicLogicalDrive::addSubDrive(VynLogicalDriveInfo* member, unsigned long group, unsigned long index,
                                       unsigned long count, unsigned long long& badBlocks)
{
    // A volume whose members name the volume again would build sub-drives
    // without end: sub-drives nest no deeper than member records do.
    static thread_local unsigned long depth = 0;
    if (depth > MAX_RECURSION) {
        VynErrorPrintf(__FILE__, __LINE__, "recursionLevel > %d", static_cast<int>(MAX_RECURSION));
        return;
    }
    const unsigned long long blocks = faGetLe64(member->getContainer() + Info::CAPACITY) / 512;
    ++depth;
    auto* sub = newOrNull<VynBasicLogicalDrive>(member, vynAdapter, member->getContainerNumber(),
                                                getRaidLevelFromFsa(member->getContainerInfo()), blocks, 0ull,
                                                LD_OPTIMAL, false);
    --depth;
    if (sub == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE, "new VynBasicLogicalDrive()");
        return;
    }
    for (RaidObject* child : sub->getChildList())
        if (child->isInstanceOf("Chunk"))
            static_cast<Chunk*>(child)->setGroup(group);
    addChild(sub);
    const auto chunkType = static_cast<EnumChunkType>(0);
    sub->addChild(newOrNull<Chunk>(sub, this, 0ull, blocks, chunkType, group, CHUNK_STATE_NORMAL, index, count));
    addChild(newOrNull<Chunk>(sub, this, 0ull, blocks, chunkType, group, CHUNK_STATE_NORMAL, index, count));
    if (member->word(Info::QUICK_INIT) != 0)
        record->setWord(Info::QUICK_INIT, member->word(Info::QUICK_INIT));
    badBlocks += static_cast<unsigned long long>(sub->getBadBlockCount());
    addToParitySpace(sub->getParitySpace());
    mergeStateProperty(sub->getState());
}

void VynBasicLogicalDrive::addMembers()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::addMembers()");
    if (vynAdapter == nullptr)
        return;
    unsigned long long badBlocks = 0;
    const uint32_t ownType = record->word(Info::TYPE);
    const unsigned long elements = record->getNumElements();
    for (unsigned long i = 0; i < elements; ++i) {
        VynLogicalDriveInfo* member = vynAdapter->getLogicalInfoByContainerNum(faGetLe32(record->getFsaPartition(i)));
        if (member == nullptr)
            continue;
        if (raidLevel == RAID_LEVEL_RAID_VOLUME && ownType != 5 && ownType != 6) {
            addSubDrive(member, i, i, elements, badBlocks);
        } else if (raidLevel == RAID_LEVEL_RAID_VOLUME) {
            const unsigned long legs = member->getNumElements();
            for (unsigned long j = 0; j < legs; ++j) {
                VynLogicalDriveInfo* leg =
                    vynAdapter->getLogicalInfoByContainerNum(faGetLe32(member->getFsaPartition(j)));
                if (leg != nullptr)
                    addSubDrive(leg, i, j, legs, badBlocks);
            }
            record->copyBytes(*member, Info::LABEL, Info::LABEL_SIZE);
            record->setWord(Info::CHUNK_SIZE, member->word(Info::CHUNK_SIZE));
            if (member->word(Info::QUICK_INIT) != 0)
                record->setWord(Info::QUICK_INIT, member->word(Info::QUICK_INIT));
            snapshotTopContainer = member->getContainerNumber();
        } else {
            memberRecords.push_back(member);
            mergeRedundancy(member);
            createChunks(member, memberRecords.size() - 1, 0);
            badBlocks += member->word(Info::BAD_STRIPES);
        }
    }
    badBlockCount = static_cast<int>(badBlocks);
}

Ret VynBasicLogicalDrive::getProgress(Progress& progress)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::getProgress(Progress &)");
    Ret ret(0);
    try {
        Addr addr(static_cast<uint32_t>(vynAdapter != nullptr ? vynAdapter->getAdapterID() : getAdapterID()));
        addr.setLogicalDriveID(static_cast<uint32_t>(getLogicalDriveID()));
        progress.setDeviceAddr(addr);
        VynGetLogicalDriveProgress(vynAdapter != nullptr ? vynAdapter->getAdapterHandle() : nullptr, record,
                                   progress, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynBasicLogicalDrive::getProgress(ProgressCollection& out)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynBasicLogicalDrive::getProgress(ProgressCollection &)");
    Ret ret(0);
    try {
        void* handle = vynAdapter != nullptr ? vynAdapter->getAdapterHandle() : nullptr;
        Progress progress;
        Addr addr(static_cast<uint32_t>(vynAdapter != nullptr ? vynAdapter->getAdapterID() : getAdapterID()));
        addr.setLogicalDriveID(static_cast<uint32_t>(getLogicalDriveID()));
        progress.setDeviceAddr(addr);
        VynGetLogicalDriveProgress(handle, record, progress, ret);
        if (!memberRecords.empty()) {
            for (VynLogicalDriveInfo* member : memberRecords)
                VynGetLogicalDriveProgress(handle, member, progress, ret);
        } else if (raidLevel == RAID_LEVEL_RAID_VOLUME && ret.getReturn() == 0) {
            for (RaidObject* child : getChildList())
                if (std::strcmp(child->typeName(), "VynBasicLogicalDrive") == 0)
                    VynGetLogicalDriveProgress(handle, static_cast<VynBasicLogicalDrive*>(child)->record, progress,
                                               ret);
        }
        if (progress.getType() != TASK_TYPE_NONE)
            out.add(progress);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynBasicLogicalDrive::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::identifyDevice()");
    Ret result(0);
    std::vector<RaidObject*> chunks;
    getChildren(chunks, "VynChunk", true, true);
    for (RaidObject* node : chunks) {
        HardDrive* drive = static_cast<Chunk*>(node)->getProviderHardDrive();
        if (drive == nullptr)
            continue;
        const Ret ret = drive->identifyDevice(on);
        if (ret.getReturn() != 0)
            result = ret;
    }
    return result;
}

Ret VynBasicLogicalDrive::deleteLogicalDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::deleteLogicalDrive()");
    constexpr uint32_t FSA_CO_DELETE_UNCONDITIONAL = 13;
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        // The key is copied out of the record, which keeps it as bytes.
        tag_FSA_CONTAINER key{};
        const uint8_t* container = getContainer();
        if (container != nullptr)
            std::memcpy(&key, container, sizeof key);
        const FSA_STATUS status = fsaExports().FsaContainer(
            handle.getAdapterRWHandle(), container != nullptr ? &key : nullptr, FSA_CO_DELETE_UNCONDITIONAL, nullptr);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaContainer(x, x, FSA_CO_DELETE_UNCONDITIONAL, NULL)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

void VynBasicLogicalDrive::writeTo(Writer* writer) const
{
    LogicalDrive::writeTo(writer);
    writer->writeULong("disksetID", disksetID);
    writer->writeString("logicalName", logicalName);
    writer->writeBool("quickInit", quickInit);
    writer->writeBool("unconfig", unconfig);
    writer->writeBool("readOnly", readOnly);
    writer->writeBool("locked", locked);
    writer->writeBool("forcedOnline", forcedOnline);
    writer->writeBool("noBuild", createdWithNoBuild);
    writer->writeInt("readCacheMode", readCacheMode);
    writer->writeInt("writeCacheSetting", writeCacheSetting);
    writer->writeInt("readCacheSetting", readCacheSetting);
    writer->writeInt("badBlockCount", badBlockCount);
    if (snapshotTopContainer != NO_SNAPSHOT_TOP)
        writer->writeULong("fsaSnapshotTopContainer", snapshotTopContainer);
    if (!memberRecords.empty()) {
        std::string numbers;
        for (const VynLogicalDriveInfo* member : memberRecords) {
            if (!numbers.empty())
                numbers += ",";
            numbers += std::to_string(member->getContainerNumber());
        }
        writer->writeString("fsaSecContainers", numbers.c_str());
    }
    writer->writeULong("forceOnlineFlags", static_cast<unsigned long>(static_cast<uint32_t>(forceOnlineFlags)));
    if (record != nullptr)
        record->writeTo(writer);
}

void VynBasicLogicalDrive::writeToXML(Writer* writer) const
{
    LogicalDrive::writeToXML(writer);
    writer->writeString("logicalName", logicalName);
    writer->writeInt("writeCacheSetting", writeCacheSetting);
    writer->writeInt("readCacheSetting", readCacheSetting);
}
