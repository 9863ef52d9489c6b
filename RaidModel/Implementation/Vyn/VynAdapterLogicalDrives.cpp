// Building a controller's subtree: global spares, the container records,
// the logical drives and their dedicated spares.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <algorithm>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynDriveIndex.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/Ret.h"
#include "common/ReturnCode.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

constexpr uint32_t FSA_FF_GETFAILOVER = 2;
constexpr uint32_t FSA_FF_GET_GLOBAL_SPARE = 5;
constexpr FSA_STATUS kNoMoreContainers = 17;

// Container types the build treats apart.
constexpr uint32_t kMorphing = 16;
constexpr uint32_t kCachePool = 55;

using Info = VynLogicalDriveInfo;

constexpr uint32_t kRelatedContainer = 3;

// Slots of a spare list: more than any controller keeps, so that a limit
// the firmware reports wrongly cannot size the list.
constexpr int kMaxSpares = 256;
// Containers of one walk: more than any controller holds, so that a walk
// the firmware never ends stops.
constexpr unsigned kMaxContainers = 4096;

tag_FSA_CONTAINER keyAt(const uint8_t* bytes)
{
    tag_FSA_CONTAINER key;
    key.number = faGetLe32(bytes);
    key.uniqueId = faGetLe32(bytes + 4);
    key.adapterWord = faGetLe32(bytes + 8);
    return key;
}

uint32_t deviceIdOf(const FSA_STORAGE_DEVICE& device)
{
    return static_cast<uint32_t>(device.lun) << 16 | device.targetId;
}

// The lookups of one build go through an index of the devices, dropped when
// the build leaves the phases that use it.
class DriveIndexScope {
public:
    DriveIndexScope(VynAdapter& adapter) : adapter_(adapter), index_(&adapter) { adapter_.setDriveIndex(&index_); }
    ~DriveIndexScope() { adapter_.setDriveIndex(nullptr); }
    DriveIndexScope(const DriveIndexScope&) = delete;
    DriveIndexScope& operator=(const DriveIndexScope&) = delete;

private:
    VynAdapter& adapter_;
    VynDriveIndex index_;
};

}  // namespace

using vynerror::apiError;
using vynerror::resourceError;

HardDrive* VynAdapter::findHardDrive(uint32_t channel, uint32_t device) const
{
    if (driveIndex == nullptr) {
        Addr addr;
        addr.setAdapterID(static_cast<uint32_t>(getAdapterID()));
        addr.setChannelID(channel);
        addr.setDeviceID(device);
        RaidObject* found = getChild(addr, true);
        return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
    }
    RaidObject* found = driveIndex->find(channel, device);
    return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
}

HardDrive* VynAdapter::addMissingHardDrive(Addr& addr)
{
    HardDrive* drive = addDeadHardDrive(this, addr);
    if (driveIndex != nullptr)
        driveIndex->add(drive);
    return drive;
}

void VynAdapter::buildGlobalSpares(FSA_STORAGE_DEVICE* devices, uint32_t capacity, Ret& retOUT)
{
    uint32_t count = capacity;
    const FSA_STATUS status =
        fsaExports().FsaFailoverSpace(adapterHandle, nullptr, FSA_FF_GET_GLOBAL_SPARE, &count, devices);
    if (status != FSA_STS_SUCCESS) {
        apiError(retOUT, "FsaFailoverSpace(x,x,FSA_FF_GET_GLOBAL_SPARE,x,x)", status);
        return;
    }
    for (uint32_t i = 0; i < std::min(count, capacity); ++i) {
        HardDrive* drive = findHardDrive(devices[i].busNumber, deviceIdOf(devices[i]));
        if (drive == nullptr) {
            Addr addr(static_cast<uint32_t>(getAdapterID()), Addr::UNSET_ID, Addr::UNSET_ID, devices[i].busNumber,
                      devices[i].targetId, Addr::UNSET_CHUNK_ID, Addr::UNSET_ID, Addr::UNSET_ID);
            drive = addMissingHardDrive(addr);
            if (drive != nullptr)
                drive->setSpareTypeProperty(SPARE_GLOBAL);
            continue;
        }
        if (drive->getState() != PD_FAILED)
            drive->setStateProperty(PD_HOT_SPARE);
        drive->setSpareTypeProperty(SPARE_GLOBAL);
    }
}

bool VynAdapter::readLogicalDriveInfos(Ret& retOUT)
{
    FsaContainerInfoGrabber buffer;
    FsaExports& fsa = fsaExports();
    tag_FSA_CONTAINER previous;
    const tag_FSA_CONTAINER* after = nullptr;
    for (unsigned walked = 0; walked < kMaxContainers; ++walked) {
        const FSA_STATUS status =
            fsa.FsaGetContainerInfo2(adapterHandle, 1, after, buffer, sizeof(FSA_CONTAINER_INFO_EXTND));
        if (status == kNoMoreContainers)
            break;
        if (status != FSA_STS_SUCCESS) {
            apiError(retOUT, "FsaGetContainerInfo2()", status);
            break;
        }
        previous = keyAt(buffer->bytes);
        after = &previous;

        // Both records are kept at the 16 bytes the logical drive reads.
        alignas(tag_FSA_CONTAINER_PARAMS) uint8_t params[VynLogicalDriveInfo::PARAMS_SIZE] = {};
        alignas(tag_FSA_CONTAINER_PARAMS) uint8_t mode[VynLogicalDriveInfo::PARAMS_SIZE] = {};
        tag_FSA_CONTAINER_PARAMS readParams = {};
        FSA_STATUS cache = fsa.FsaContainerGetCacheParams(adapterHandle, &previous, &readParams);
        faPutLe32(params, readParams.readCache);
        faPutLe32(params + 4, readParams.writeCache);
        if (cache != FSA_STS_SUCCESS)
            apiError(retOUT, "FsaContainerGetCacheParams()", cache);
        uint32_t readMode[2] = {0, 0};
        cache = fsa.FsaContainerGetCacheMode(adapterHandle, &previous, readMode);
        faPutLe32(mode, readMode[0]);
        faPutLe32(mode + 4, readMode[1]);
        if (cache != FSA_STS_SUCCESS) {
            apiError(retOUT, "FsaContainerGetCacheMode()", cache);
            std::memcpy(mode, params, sizeof mode);
        }
        VynTracePrintf("ctr:%d  cacheParams r:%x  w:%x   cacheMode r:%x  w:%x\n", static_cast<int>(previous.number),
                       faGetLe32(params), faGetLe32(params + 4), faGetLe32(mode), faGetLe32(mode + 4));

        auto* info = newOrNull<VynLogicalDriveInfo>(buffer, reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params),
                                                    reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(mode));
        if (info == nullptr) {
            resourceError(retOUT, "new VynLogicalDriveInfo()");
            return false;
        }
        addLogicalInfo(info);
        buffer.clear();
    }
    return true;
}

bool VynAdapter::buildMorphPair(VynLogicalDriveInfo* info, std::vector<VynBasicLogicalDrive*>& hang, Ret& retOUT)
{
    VynLogicalDriveInfo* destination = getLogicalInfoByContainerNum(info->word(Info::MORPH_DESTINATION));
    VynLogicalDriveInfo* source = getLogicalInfoByContainerNum(info->word(Info::MORPH_SOURCE));
    VynLogicalDriveInfo* related = getLogicalInfoByContainerNum(info->word(Info::RELATED));
    VynBasicLogicalDrive* destinationDrive = nullptr;
    VynBasicLogicalDrive* sourceDrive = nullptr;
    if (destination != nullptr) {
        destination->setWord(Info::RELATED, info->word(Info::RELATED));
        if (related != nullptr) {
            // What the host sees of the container stays with the one being
            // reshaped; attribute bits are only ever added.
            destination->copyBytes(*related, 4, 4);
            destination->copyBytes(*related, 40, 4);
            destination->copyBytes(*related, 420, 51);
            destination->copyBytes(*related, 56, 1);
            destination->copyBytes(*related, 76, 4);
            const uint32_t relatedFlags = related->word(Info::FLAGS);
            uint32_t flags = destination->word(Info::FLAGS);
            if (relatedFlags & 0x200)
                flags |= 0x200 | (relatedFlags & (0x400 | 0x800));
            destination->setWord(Info::FLAGS, flags);
        }
        destinationDrive = newOrNull<VynBasicLogicalDrive>(
            destination, this, info->getContainerNumber(), getRaidLevelFromFsa(destination->getContainerInfo()),
            faGetLe64(destination->getContainer() + Info::CAPACITY) >> 9, 0ull, LD_OPTIMAL, false);
        if (destinationDrive == nullptr) {
            resourceError(retOUT, "pMorphDestination = new VynBasicLogicalDrive()");
            return false;
        }
        destinationDrive->mergeStateProperty(LD_RECONFIGURING);
    }
    if (source != nullptr) {
        sourceDrive = newOrNull<VynBasicLogicalDrive>(source, this, source->getContainerNumber(),
                                                      getRaidLevelFromFsa(source->getContainerInfo()),
                                                      faGetLe64(source->getContainer() + Info::CAPACITY) >> 9, 0ull,
                                                      LD_OPTIMAL, false);
        if (sourceDrive == nullptr) {
            resourceError(retOUT, "pMorphSource = new VynBasicLogicalDrive()");
            if (destinationDrive != nullptr) {
                destinationDrive->deleteAllChildren();
                delete destinationDrive;
            }
            return false;
        }
        sourceDrive->setMorphPartner(destinationDrive);
        if (destinationDrive != nullptr)
            sourceDrive->setMorphPartnerID(static_cast<int>(destinationDrive->getLogicalDriveID()));
        sourceDrive->setMorphTypeProperty(static_cast<EnumLDMorphType>(1));
        hang.push_back(sourceDrive);
    }
    if (destinationDrive != nullptr) {
        destinationDrive->setMorphPartner(sourceDrive);
        if (sourceDrive != nullptr)
            destinationDrive->setMorphPartnerID(static_cast<int>(sourceDrive->getLogicalDriveID()));
        destinationDrive->setMorphTypeProperty(static_cast<EnumLDMorphType>(2));
        hang.push_back(destinationDrive);
        if (sourceDrive == nullptr || sourceDrive->getState() == LD_FAILED)
            destinationDrive->mergeStateProperty(LD_FAILED);
    }
    return true;
}

bool VynAdapter::buildLogicalDrives(std::vector<VynBasicLogicalDrive*>& hang, Ret& retOUT)
{
    const auto topLimit = static_cast<unsigned long>(static_cast<unsigned int>(getMaxTopLevelLogicalDrives()));
    for (unsigned long i = 0; i < numLogicalInfo(); ++i) {
        VynLogicalDriveInfo* info = getLogicalInfo(i);
        if (info == nullptr)
            continue;
        const uint32_t type = info->word(Info::TYPE);
        if (info->getContainerNumber() > topLimit && type != kCachePool)
            continue;
        if (type == kMorphing) {
            if (!buildMorphPair(info, hang, retOUT))
                return false;
            continue;
        }
        EnumRaidLevel level = RAID_LEVEL_NONE;
        if (type == 5 || type == 6) {
            const uint8_t* firstElement = info->getFsaPartition(0);
            const VynLogicalDriveInfo* first =
                firstElement != nullptr ? getLogicalInfoByContainerNum(faGetLe32(firstElement)) : nullptr;
            if (first != nullptr)
                level = getRaidLevelFromFsa(first->getContainerInfo());
        } else {
            level = getRaidLevelFromFsa(info->getContainerInfo());
        }
        const unsigned long long size = faGetLe64(info->getContainer() + Info::CAPACITY) >> 9;
        if (type == kCachePool)
            orvexaReadCachePoolSize = size;
        VynBasicLogicalDrive* drive = newOrNull<VynBasicLogicalDrive>(info, this, info->getContainerNumber(), level,
                                                                      size, 0ull, LD_OPTIMAL, false);
        if (drive == nullptr) {
            resourceError(retOUT, "new VynBasicLogicalDrive()");
            continue;
        }
        // The cache pool is no logical drive of the host's; the controller
        // keeps it, since its chunks are on the pool's drives.
        if (type == kCachePool)
            unhungDrives.push_back(drive);
        else
            hang.push_back(drive);
    }
    return true;
}

void VynAdapter::buildDedicatedSpares(const std::vector<VynBasicLogicalDrive*>& hang, FSA_STORAGE_DEVICE* devices,
                                      uint32_t capacity, Ret& retOUT)
{
    for (VynBasicLogicalDrive* drive : hang) {
        const VynLogicalDriveInfo* info = drive->getLogicalDriveInfo();
        const uint8_t* head = info->getContainer();
        if (info->word(Info::TASK_RELATION) == kRelatedContainer)
            head += Info::RELATED;
        const tag_FSA_CONTAINER key = keyAt(head);
        uint32_t count = capacity;
        const FSA_STATUS status = fsaExports().FsaFailoverSpace(adapterHandle, &key, FSA_FF_GETFAILOVER, &count, devices);
        if (status != FSA_STS_SUCCESS) {
            apiError(retOUT, "FsaFailoverSpace(x,x,FSA_FF_GETFAILOVER,x,x)", status);
            continue;
        }
        for (uint32_t i = 0; i < std::min(count, capacity); ++i) {
            HardDrive* spare = findHardDrive(devices[i].busNumber, deviceIdOf(devices[i]));
            if (spare != nullptr)
                spare->addAssignedLogical(drive);
        }
    }
}

bool VynAdapter::buildSparesAndLogicalDrives(Ret& retOUT)
{
    try {
        DriveIndexScope index(*this);
        const uint32_t capacity = static_cast<uint32_t>(std::clamp(getMaxGlobalSpares(), 0, kMaxSpares));
        FsaStorageDeviceArrayGrabber devices(capacity);

        VynTracePrintf("--- GET GLOBAL SPARES ---\n");
        buildGlobalSpares(devices, capacity, retOUT);

        VynTracePrintf("--- GET VynLogicalDriveInfo STRUCTURES ---\n");
        if (!readLogicalDriveInfos(retOUT))
            return false;

        VynTracePrintf("--- CREATE VynBasicLogicalDrive OBJECTS ---\n");
        std::vector<VynBasicLogicalDrive*> hang;
        const bool whole = buildLogicalDrives(hang, retOUT);
        for (VynBasicLogicalDrive* drive : hang)
            addChild(drive);
        if (!whole)
            return false;

        VynTracePrintf("--- GET DEDICATED SPARES ---\n");
        buildDedicatedSpares(hang, devices, capacity, retOUT);
        return true;
    } catch (const ReturnCode&) {
        // Only the buffers of the phases throw, when memory runs out.
        retOUT.setResource();
        return false;
    }
}

void VynAdapter::deleteUnhungDrives()
{
    for (VynBasicLogicalDrive* drive : unhungDrives) {
        drive->deleteAllChildren();
        delete drive;
    }
    unhungDrives.clear();
}
