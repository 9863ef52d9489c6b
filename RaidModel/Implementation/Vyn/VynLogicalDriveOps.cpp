// The changes a logical drive of the family makes on its controller: verify,
// synchronize, clear, rename, cache settings, force online and restore,
// power management, the SSD-cache preferences, task priority and the online
// migrations. Each is a thin wrapper around one or two firmware calls on the
// drive's container key: the arguments are checked first, every change
// holds its own read-write handle, and every failure leaves one record in
// the error log.
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"

#include <cstring>
#include <vector>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/ReturnCode.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

constexpr uint32_t FSA_CO_SET_DELAY = 4;
constexpr uint32_t FSA_CO_ZERO_ALWAYS = 7;
constexpr uint32_t FSA_CO_SYNCHRONIZE = 21;
constexpr uint32_t FSA_CO_SET_LABEL = 22;
constexpr uint32_t FSA_CO_VERIFY = 23;
constexpr uint32_t FSA_CO_RESTORE_CONTAINER = 26;
// A restore of a container that has nothing to restore.
constexpr FSA_STATUS kNothingToRestore = 405;
// Containers a migration names are numbered at most this; a larger word is
// an unused slot of the record.
constexpr uint32_t kMorphContainerLimit = 255;
// The longest label the firmware keeps.
constexpr size_t kLabelChars = 16;

// The clear initialisation, the only one a drive on the controller takes.
constexpr int kInitClear = 1;
// The cache mode that keeps the drive's own setting.
constexpr int kNoChange = 4;
// The state a drive can be forced into.
constexpr int kOptimal = 2;

// Cache flags of the container parameters.
constexpr uint32_t kReadCacheOn = 0x1;
constexpr uint32_t kWriteBack = 0x2;
constexpr uint32_t kWriteBackWhenProtected = 0x1;

// Firmware levels that have no stripe: a mirror and a volume.
constexpr unsigned kFsaMirror = 1;
constexpr unsigned kFsaVolume = 3;

tag_FSA_CONTAINER keyAt(const uint8_t* bytes)
{
    tag_FSA_CONTAINER key{};
    if (bytes != nullptr) {
        key.number = faGetLe32(bytes);
        key.uniqueId = faGetLe32(bytes + 4);
        key.adapterWord = faGetLe32(bytes + 8);
    }
    return key;
}

// The device array of a request could not be made: the grabber has set the
// Ret for chunks it could not name, and only logged a shortage of memory.
void deviceArrayFailed(Ret& ret, const ReturnCode& code)
{
    if (ret.getReturn() == 0) {
        if (code.getCode() == -3)
            ret.setResource();
        else
            ret.setBadParam(0);
    }
}

}  // namespace

// One write handle and the drive's key around a single container operation:
// the shape most of the operations below share.
Ret VynBasicLogicalDrive::containerOperation(uint32_t operation, void* parameter, const char* call)
{
    return writeHandleCall(this, call, [&](FsaExports& fsa, void* h) {
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        return fsa.FsaContainer(h, &key, operation, parameter);
    });
}

Ret VynBasicLogicalDrive::verify()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::verify()");
    return containerOperation(FSA_CO_VERIFY, nullptr, "FsaContainer(x,x,x,x)");
}

Ret VynBasicLogicalDrive::synchronize()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::synchronize()");
    return containerOperation(FSA_CO_SYNCHRONIZE, nullptr, "FsaContainer(x,x,x,x)");
}

Ret VynBasicLogicalDrive::initializeLogicalDrive(EnumInitMethod method, EnumPriorityLevel)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::initializeLogicalDrive()");
    if (static_cast<int>(method) != kInitClear) {
        Ret ret(0);
        vynerror::badParam(ret, "methodIN != INIT_CLEAR", 0);
        return ret;
    }
    return containerOperation(FSA_CO_ZERO_ALWAYS, nullptr, "FsaContainer(x,x,FSA_CO_ZERO_ALWAYS,x)");
}

Ret VynBasicLogicalDrive::setName(const char* name)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setName()");
    Ret ret(0);
    if (name == nullptr) {
        vynerror::badParam(ret, "pNameIN==NULL", 0);
        return ret;
    }
    const size_t length = std::strlen(name);
    if (length > kLabelChars) {
        vynerror::badParam(ret, "strlen(pNameIN) too long", static_cast<long>(length));
        return ret;
    }
    // The firmware reads a whole label; the copy ends it.
    char label[kLabelChars + 1] = {};
    std::memcpy(label, name, length);
    return containerOperation(FSA_CO_SET_LABEL, label, "FsaContainer(x,x,FSA_CO_SET_LABEL,x)");
}

Ret VynBasicLogicalDrive::setCache(EnumLogicalDriveCacheMode readMode, EnumLogicalDriveCacheMode writeMode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setCache()");
    Ret ret(0);
    try {
        tag_FSA_CONTAINER_PARAMS params{};
        FsaWriteHandleGrabber handle(this, &ret);
        void* h = handle.getAdapterRWHandle();
        if (h == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        if (readMode == kNoChange && writeMode == kNoChange) {
            vynerror::badParam(ret, "Both read/write cache settings set to LD_CACHE_NO_CHANGE", 0);
            return ret;
        }
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        // Releasing the cache is a request of its own: nothing else is set.
        auto release = [&]() {
            uint32_t out = 0;
            const FSA_STATUS status = fsaExports().FsaReleaseContainerCache(h, &key, &out);
            if (status != FSA_STS_SUCCESS)
                vynerror::apiError(ret, "FsaReleaseContainerCache(x,x,x)", status);
            return ret;
        };

        switch (static_cast<int>(readMode)) {
        case 0:
            vynerror::badParam(ret, "LD_CACHE_NOT_SUPPORTED invalid", 0);
            return ret;
        case 1:
            break;
        case 2:
            params.readCache = kReadCacheOn;
            break;
        case 3:
            vynerror::badParam(ret, "LD_CACHE_WHEN_PROTECTED is not supported for read", 0);
            return ret;
        case 4:
            if (readCacheSetting == 2)
                params.readCache = kReadCacheOn;
            break;
        case 5:
            return release();
        default:
            vynerror::badParam(ret, "Unknown value passed for readCacheSettingIN", 0);
            return ret;
        }

        switch (static_cast<int>(writeMode)) {
        case 0:
            vynerror::badParam(ret, "LD_CACHE_NOT_SUPPORTED invalid", 0);
            return ret;
        case 1:
            break;
        case 2:
            params.writeCache = kWriteBack;
            break;
        case 3:
            params.writeCache = kWriteBackWhenProtected;
            break;
        case 4:
            if (writeCacheSetting == 2)
                params.writeCache = kWriteBack;
            else if (writeCacheSetting == 3)
                params.writeCache = kWriteBackWhenProtected;
            break;
        case 5:
            return release();
        default:
            vynerror::badParam(ret, "Unknown value passed for writeCacheSettingIN", 0);
            return ret;
        }

        const FSA_STATUS status = fsaExports().FsaContainerSetCacheParams(h, &key, &params);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaContainerSetCacheParams(x,x,x)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynBasicLogicalDrive::setState(EnumLogicalDeviceState state, EnumLogicalDeviceFOCmd command, unsigned long flags)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setState()");
    Ret ret(0);
    try {
        if (static_cast<int>(state) != kOptimal) {
            vynerror::badParam(ret, "Logical drives can only be forced into the OKAY state", static_cast<long>(state));
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        void* h = handle.getAdapterRWHandle();
        if (h == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaExports& fsa = fsaExports();
        if (static_cast<int>(command) != 0) {
            const tag_FSA_CONTAINER key = keyAt(getContainer());
            const FSA_STATUS status =
                fsa.FsaContainerForceOnline(h, &key, static_cast<uint32_t>(command), static_cast<uint32_t>(flags));
            if (status != FSA_STS_SUCCESS)
                vynerror::apiError(ret, "FsaContainerForceOnline(x, x, x)", status);
            return ret;
        }
        // A restore goes to each member of a drive made of containers; every
        // member is asked, and the first refusal is the one reported.
        std::vector<tag_FSA_CONTAINER> keys;
        if (memberRecords.empty()) {
            keys.push_back(keyAt(getContainer()));
        } else {
            for (const VynLogicalDriveInfo* member : memberRecords)
                keys.push_back(keyAt(member != nullptr ? member->getContainer() : nullptr));
        }
        for (const tag_FSA_CONTAINER& key : keys) {
            const FSA_STATUS status = fsa.FsaContainer(h, &key, FSA_CO_RESTORE_CONTAINER, nullptr);
            if (status != FSA_STS_SUCCESS && status != kNothingToRestore && ret.getReturn() == 0)
                vynerror::apiError(ret, "FsaContainer(x, x, FSA_CO_RESTORE_CONTAINER, NULL)", status);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynBasicLogicalDrive::setStripeSize(EnumStripeSize size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setStripeSize()");
    return writeHandleCall(this, "FsaMorphContainer()", [&](FsaExports& fsa, void* h) {
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        const uint32_t type = record != nullptr ? record->word(CI_BASE_TYPE) : 0;
        return fsa.FsaMorphContainer(h, &key, type, 0, nullptr, getFsaStripeSize(size), 0, 0);
    });
}

Ret VynBasicLogicalDrive::increaseSize(const std::vector<ChunkSpec>& chunks, EnumPriorityLevel priority)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::increaseSize()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        void* h = handle.getAdapterRWHandle();
        if (h == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaStorageDeviceArrayGrabber devices(vynAdapter, chunks, ret);
        const uint64_t bytes = chunks.front().getNumBlocks() * 512ULL;
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        const uint32_t type = record != nullptr ? record->word(CI_BASE_TYPE) : 0;
        FsaExports& fsa = fsaExports();
        FSA_STATUS status = fsa.FsaMorphContainer(h, &key, type, static_cast<uint32_t>(devices.getNumItems()),
                                                  devices, 0, bytes, 0);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaMorphContainer()", status);
            return ret;
        }
        // The expansion runs whatever its pace: a refused delay only shows
        // in the log.
        unsigned long delay = getFsaDelay(priority);
        status = fsa.FsaContainer(h, &key, FSA_CO_SET_DELAY, &delay);
        if (status != FSA_STS_SUCCESS)
            VynErrorPrintf(__FILE__, __LINE__, "FsaContainer(x, x, FSA_CO_SET_DELAY, x), fsaStatus=%d",
                           static_cast<int>(status));
    } catch (const ReturnCode& code) {
        deviceArrayFailed(ret, code);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

bool VynBasicLogicalDrive::specFitsTree(const LogicalDriveSpec& spec, Ret& ret)
{
    const char* const mismatch = "FsaMorphContainer(): Mismatch in scheduled configuration spec and the current "
                                 "configuration";
    const unsigned long adapterID = vynAdapter != nullptr ? vynAdapter->getAdapterID() : getAdapterID();
    RaidObject* top = vynAdapter != nullptr ? static_cast<RaidObject*>(vynAdapter) : getRoot();
    Addr where;
    where.setAdapterID(static_cast<uint32_t>(adapterID));
    where.setLogicalDriveID(static_cast<uint32_t>(getLogicalDriveID()));
    RaidObject* self = top->getObject(where);
    if (self == nullptr) {
        vynerror::apiError(ret, "FsaMorphContainer()", 6);
        return false;
    }
    std::vector<RaidObject*> chunks;
    self->getChildren(chunks, "Chunk", false, true);
    for (const ChunkSpec& c : spec.chunks) {
        Addr addr;
        addr.setAdapterID(static_cast<uint32_t>(adapterID));
        addr.setChannelID(static_cast<uint32_t>(c.getChannelID()));
        addr.setDeviceID(static_cast<uint32_t>(c.getDeviceID()));
        RaidObject* found = top->getChild(addr, true);
        if (found == nullptr || !found->isInstanceOf("HardDrive")) {
            vynerror::apiError(ret, "FsaMorphContainer()", 6);
            return false;
        }
        auto* drive = static_cast<HardDrive*>(found);
        drive->InitFreeSpace(0);
        bool member = false;
        for (const RaidObject* chunk : chunks) {
            const Addr& at = chunk->getAddr();
            if (at.getDeviceID() == Addr::UNSET_ID)
                continue;
            if (at.getChannelID() == c.getChannelID() && at.getDeviceID() == c.getDeviceID()) {
                member = true;
                break;
            }
        }
        if (member)
            continue;
        // A new member takes the drive's biggest free extent from its start.
        if (c.getStartBlock() != drive->freeSpace.BigFreeStartSector() ||
            c.getNumBlocks() > drive->freeSpace.BigFreeNumSectors()) {
            vynerror::apiError(ret, mismatch, 6);
            return false;
        }
    }
    return true;
}

void VynBasicLogicalDrive::paceMigration(void* writeHandle, const tag_FSA_CONTAINER& key, unsigned long delay)
{
    FsaExports& fsa = fsaExports();
    FsaContainerInfoGrabber info;
    void* readHandle = vynAdapter != nullptr ? vynAdapter->getAdapterHandle() : nullptr;
    FSA_STATUS status = fsa.FsaGetContainerInfo2(readHandle, 0, &key, info, VynLogicalDriveInfo::RECORD_SIZE);
    if (status != FSA_STS_SUCCESS) {
        VynErrorPrintf(__FILE__, __LINE__, "FsaGetContainerInfo2(), fsaStatus=%d", static_cast<int>(status));
        return;
    }
    status = fsa.FsaContainer(writeHandle, &key, FSA_CO_SET_DELAY, &delay);
    if (status != FSA_STS_SUCCESS)
        VynTracePrintf("FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - Pre-MorphOriginal, fsaStatus=%d\n",
                       static_cast<int>(status));
    static const struct {
        size_t offset;
        const char* text;
    } kMorphContainers[] = {
        {CI_RELATED, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphOriginal, fsaStatus=%d\n"},
        {CI_MORPH_SOURCE, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphSource, fsaStatus=%d\n"},
        {CI_MORPH_DESTINATION, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphDestination, fsaStatus=%d\n"},
        {CI_FURTHER_2, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphTemp, fsaStatus=%d\n"},
        {CI_FURTHER_1, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphCopy, fsaStatus=%d\n"},
    };
    for (const auto& morph : kMorphContainers) {
        if (faGetLe32(info->bytes + morph.offset) > kMorphContainerLimit)
            continue;
        const tag_FSA_CONTAINER other = keyAt(info->bytes + morph.offset);
        status = fsa.FsaContainer(writeHandle, &other, FSA_CO_SET_DELAY, &delay);
        if (status != FSA_STS_SUCCESS)
            VynTracePrintf(morph.text, static_cast<int>(status));
    }
}

Ret VynBasicLogicalDrive::modify(const LogicalDriveSpec& spec)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::modify()");
    Ret ret(0);
    try {
        if (!specFitsTree(spec, ret))
            return ret;
        const unsigned level = getFsaRaidLevel(spec.raidLevel, static_cast<EnumInitMethod>(0));
        if (level == 0) {
            vynerror::badParam(ret, "invalid RAID level", static_cast<long>(spec.raidLevel));
            return ret;
        }
        if (spec.chunks.empty()) {
            vynerror::badParam(ret, "no members specified", 0);
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        void* h = handle.getAdapterRWHandle();
        if (h == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaStorageDeviceArrayGrabber devices(vynAdapter, spec.chunks, ret);
        const uint64_t bytes = spec.chunks.front().getNumBlocks() * 512ULL;
        // A mirror and a volume have no stripe to change.
        const uint32_t stripe = level == kFsaMirror || level == kFsaVolume ? 0 : getFsaStripeSize(spec.stripeSize);
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        const FSA_STATUS status = fsaExports().FsaMorphContainer(
            h, &key, level, static_cast<uint32_t>(devices.getNumItems()), devices, stripe, bytes, 0);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaMorphContainer()", status);
            return ret;
        }
        // The migration has started: its pace is set on every container
        // that takes part, and nothing that fails there undoes it.
        try {
            paceMigration(h, key, getFsaDelay(spec.priority));
        } catch (const ReturnCode&) {
            VynTracePrintf("FsaContainerInfoGrabber: no record buffer, the migration keeps its pace\n");
        }
    } catch (const ReturnCode& code) {
        deviceArrayFailed(ret, code);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynBasicLogicalDrive::setPMEnabled(bool enabled)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setPMEnabled()");
    return powerManagement(enabled ? 1 : 0, pmStandbyTimer, pmOffTimer, pmVerifyTimer);
}

Ret VynBasicLogicalDrive::setPMTimers(unsigned long standby, unsigned long off, unsigned long verifyTimer)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setPMTimers()");
    return powerManagement(1, standby, off, verifyTimer);
}

Ret VynBasicLogicalDrive::powerManagement(uint32_t enable, unsigned long standby, unsigned long off,
                                          unsigned long verifyTimer)
{
    return writeHandleCall(this, "FsaContainerSetPowerManagement()", [&](FsaExports& fsa, void* h) {
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        return fsa.FsaContainerSetPowerManagement(h, &key, enable, static_cast<uint32_t>(standby),
                                                  static_cast<uint32_t>(off), static_cast<uint32_t>(verifyTimer));
    });
}

Ret VynBasicLogicalDrive::setOrvexaPreferredCache(EnumOrvexaPreferredSetting setting)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setOrvexaPreferredCache()");
    int flag = 0;
    if (static_cast<int>(setting) == 1) {
        flag = 0;
    } else if (static_cast<int>(setting) == 2) {
        flag = 1;
    } else {
        Ret ret(0);
        return vynerror::badParam(ret, "Unknown value passed for read cache setting", 0);
    }
    return writeHandleCall(this, "setOrvexaPreferredCache()", [&](FsaExports& fsa, void* h) {
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        return fsa.FsaContainerSetITPCacheSettings(h, &key, flag);
    });
}

Ret VynBasicLogicalDrive::setPreferredOrvexaWriteCache(EnumOrvexaWriteCachePreferredSetting setting,
                                                       EnumOrvexaWriteCachePolicySetting policy)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynBasicLogicalDrive::setPreferredOrvexaWriteCache()");
    const int preferred = static_cast<int>(setting);
    const int policyValue = static_cast<int>(policy);
    if (preferred < 1 || preferred > 3 || policyValue < 0 || policyValue > 4) {
        Ret ret(0);
        return vynerror::badParam(ret, "Unknown value passed for write cache setting", 0);
    }
    return writeHandleCall(this, "setPreferredOrvexaWriteCache()", [&](FsaExports& fsa, void* h) {
        const tag_FSA_CONTAINER key = keyAt(getContainer());
        return fsa.FsaContainerSetOrvexaWriteCacheSettings(h, &key, static_cast<uint32_t>(preferred),
                                                           static_cast<uint32_t>(policyValue));
    });
}

Ret VynBasicLogicalDrive::setTaskPriority(unsigned long taskID, EnumPriorityLevel priority)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynBasicLogicalDrive::setTaskPriority()");
    if (vynAdapter == nullptr)
        return Ret(0);
    return vynAdapter->setTaskPriority(taskID, priority);
}
