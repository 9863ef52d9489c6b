// The spare roles of a hard drive of the family: global spare, dedicated
// spare of chosen logical drives, and the candidate spare the firmware
// proposed. Each change rewrites the firmware's spare tables on a write
// handle of its own; the tree keeps the roles it was built with until the
// next build.
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"

#include <vector>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "common/AddrCollection.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// Operations of FsaFailoverSpace.
constexpr uint32_t FSA_FF_ADDFAILOVER = 0;
constexpr uint32_t FSA_FF_REMOVEFAILOVER = 1;
constexpr uint32_t FSA_FF_ADD_GLOBAL_SPARE = 3;
constexpr uint32_t FSA_FF_REMOVE_GLOBAL_SPARE = 4;
constexpr uint32_t FSA_FF_REMOVE_CANDIDATE_SPARE = 8;

const char* const ADD_FAILOVER = "FsaFailoverSpace(x,x,FSA_FF_ADDFAILOVER,x,x)";
const char* const REMOVE_FAILOVER = "FsaFailoverSpace(x,x,FSA_FF_REMOVEFAILOVER,x,x)";
const char* const NO_ATTACHMENT = "Hard drive object had no attachment";

tag_FSA_CONTAINER keyOf(const VynBasicLogicalDrive& drive)
{
    tag_FSA_CONTAINER key{};
    if (const uint8_t* bytes = drive.getContainer()) {
        key.number = faGetLe32(bytes);
        key.uniqueId = faGetLe32(bytes + 4);
        key.adapterWord = faGetLe32(bytes + 8);
    }
    return key;
}

VynPhysicalDeviceAttach* attachmentOf(const RaidObject& drive)
{
    Serializable* attachment = drive.getAttachment();
    if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
        return nullptr;
    return static_cast<VynPhysicalDeviceAttach*>(attachment);
}

// One drive, one spare-table operation; `container` null for the global
// and candidate tables. Anything but success is an API error named `label`.
bool failover(Ret& ret, void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
              const VynPhysicalDeviceAttach& attachment, const char* label)
{
    FSA_STORAGE_DEVICE device = *attachment.getStorageDevice();
    uint32_t count = 1;
    const FSA_STATUS status = fsaExports().FsaFailoverSpace(handle, container, operation, &count, &device);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, label, status);
        return false;
    }
    return true;
}

// A drive the controller does not use yet (device usage 0, 2 or 4) is
// initialised for it before it can stand by.
bool prepare(Ret& ret, void* handle, const VynPhysicalDeviceAttach& attachment)
{
    const uint32_t usage = attachment.getFsaInfo()->storageDeviceUsage;
    if (usage != 0 && usage != 2 && usage != 4)
        return true;
    const FSA_STATUS status = fsaExports().FsaInitStorageDeviceForFsa(handle, 1, attachment.getStorageDevice(), 1);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaInitStorageDeviceForFsa()", status);
        return false;
    }
    return true;
}

// The logical drive of the family at `addr` under `adapter`, or null.
VynBasicLogicalDrive* logicalDriveAt(const VynAdapter* adapter, const Addr& addr)
{
    if (adapter == nullptr)
        return nullptr;
    RaidObject* found = adapter->getChild(addr, true);
    if (found == nullptr || !found->isInstanceOf("VynBasicLogicalDrive"))
        return nullptr;
    return static_cast<VynBasicLogicalDrive*>(found);
}

// The frame of every spare change: the attachment, then a write handle, then
// `work(attachment, handle)`; nothing leaves as an exception.
template <class Work>
Ret spareChange(const RaidObject* drive, Work work)
{
    Ret ret(0);
    try {
        VynPhysicalDeviceAttach* attachment = attachmentOf(*drive);
        if (attachment == nullptr) {
            vynerror::badParam(ret, NO_ATTACHMENT, 0);
            return ret;
        }
        FsaWriteHandleGrabber handle(drive, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        work(*attachment, handle.getAdapterRWHandle(), ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

}  // namespace

Ret VynHardDrive::createGlobalHotSpare()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::createGlobalHotSpare()");
    // The attachment always holds the drive's device record: having one
    // is all the record check asks.
    return spareChange(this, [](VynPhysicalDeviceAttach& a, void* handle, Ret& ret) {
        if (prepare(ret, handle, a))
            failover(ret, handle, nullptr, FSA_FF_ADD_GLOBAL_SPARE, a,
                     "FsaFailoverSpace(x,x,FSA_FF_ADD_GLOBAL_SPARE,x,x)");
    });
}

Ret VynHardDrive::createAssignedHotSpare(LogicalDrive* logicalDrive)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::createAssignedHotSpare(LogicalDrive*)");
    Ret ret(0);
    if (logicalDrive == nullptr) {
        vynerror::badParam(ret, "pLogicalDriveIN==NULL", 0);
        return ret;
    }
    if (!logicalDrive->isInstanceOf("VynBasicLogicalDrive")) {
        vynerror::badParam(ret, "pLogicalDriveIN parameter is not an VynBasicLogicalDrive", 0);
        return ret;
    }
    const tag_FSA_CONTAINER key = keyOf(*static_cast<VynBasicLogicalDrive*>(logicalDrive));
    return spareChange(this, [&](VynPhysicalDeviceAttach& a, void* handle, Ret& r) {
        if (prepare(r, handle, a))
            failover(r, handle, &key, FSA_FF_ADDFAILOVER, a, ADD_FAILOVER);
    });
}

Ret VynHardDrive::createAssignedHotSpare(const AddrCollection& logicalDrives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynHardDrive::createAssignedHotSpare(AddrCollection const&)");
    return spareChange(this, [&](VynPhysicalDeviceAttach& a, void* handle, Ret& ret) {
        if (!prepare(ret, handle, a))
            return;
        // Assignments made before a failure stay: the firmware has them.
        for (unsigned long i = 0; i < logicalDrives.getAddrCount(); ++i) {
            const VynBasicLogicalDrive* target = logicalDriveAt(vynAdapter, logicalDrives.getAddr(i));
            if (target == nullptr) {
                vynerror::badParam(ret, "pVynLogical==NULL", 0);
                return;
            }
            const tag_FSA_CONTAINER key = keyOf(*target);
            if (!failover(ret, handle, &key, FSA_FF_ADDFAILOVER, a, ADD_FAILOVER))
                return;
        }
    });
}

Ret VynHardDrive::createCandidateHotSpare()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::createCandidateHotSpare()");
    // Only the firmware proposes candidates.
    return Ret(-1);
}

Ret VynHardDrive::deleteHotSpare()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::deleteHotSpare()");
    return spareChange(this, [&](VynPhysicalDeviceAttach& a, void* handle, Ret& ret) {
        if (a.getFsaInfo()->isCandidateSpare != 0 &&
            !failover(ret, handle, nullptr, FSA_FF_REMOVE_CANDIDATE_SPARE, a,
                      "FsaFailoverSpace(x,x,FSA_FF_REMOVE_CANDIDATE_SPARE,x,x)"))
            return;
        if (getSpareType() == SPARE_GLOBAL &&
            !failover(ret, handle, nullptr, FSA_FF_REMOVE_GLOBAL_SPARE, a,
                      "FsaFailoverSpace(x,x,FSA_FF_REMOVE_GLOBAL_SPARE,x,x)"))
            return;
        for (LogicalDrive* protectedDrive : getNumAssignedLogical()) {
            if (protectedDrive == nullptr || !protectedDrive->isInstanceOf("VynBasicLogicalDrive"))
                continue;
            const tag_FSA_CONTAINER key = keyOf(*static_cast<VynBasicLogicalDrive*>(protectedDrive));
            if (!failover(ret, handle, &key, FSA_FF_REMOVEFAILOVER, a, REMOVE_FAILOVER))
                return;
        }
    });
}

Ret VynHardDrive::deleteAssignedHotSpare(const AddrCollection& logicalDrives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::deleteAssignedHotSpare()");
    Ret ret(0);
    std::vector<tag_FSA_CONTAINER> keys;
    try {
        // Every address is checked before anything changes, so a request
        // that names one wrong drive leaves all of them protected.
        if (getSpareType() != SPARE_DEDICATED) {
            vynerror::badParam(ret, "spareType != SPARE_DEDICATED", static_cast<int>(getSpareType()));
            return ret;
        }
        for (unsigned long i = 0; i < logicalDrives.getAddrCount(); ++i) {
            const VynBasicLogicalDrive* target = logicalDriveAt(vynAdapter, logicalDrives.getAddr(i));
            if (target == nullptr) {
                vynerror::badParam(ret, "Invalid logical drive specified", 0);
                return ret;
            }
            // Two logical drives are the same when their containers are.
            const uint8_t* mine = target->getContainer();
            bool protectedBySpare = false;
            for (LogicalDrive* assigned : getNumAssignedLogical()) {
                if (assigned == nullptr || !assigned->isInstanceOf("VynBasicLogicalDrive"))
                    continue;
                const uint8_t* theirs = static_cast<VynBasicLogicalDrive*>(assigned)->getContainer();
                if (mine != nullptr && theirs != nullptr && faGetLe32(mine) == faGetLe32(theirs)) {
                    protectedBySpare = true;
                    break;
                }
            }
            if (!protectedBySpare) {
                vynerror::badParam(ret, "Logical drive not protected by spare", 0);
                return ret;
            }
            keys.push_back(keyOf(*target));
        }
    } catch (...) {
        vynerror::exception(ret);
        return ret;
    }
    return spareChange(this, [&](VynPhysicalDeviceAttach& a, void* handle, Ret& r) {
        for (const tag_FSA_CONTAINER& key : keys)
            if (!failover(r, handle, &key, FSA_FF_REMOVEFAILOVER, a, REMOVE_FAILOVER))
                return;
    });
}
