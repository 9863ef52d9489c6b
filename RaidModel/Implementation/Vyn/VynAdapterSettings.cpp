// The controller's settings and maintenance operations, and the SSD cache
// pool: each is one firmware call on a read-write handle of its own.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// Background verification: switch on, switch off, adjust its pace.
constexpr int kVerifyOn = 0;
constexpr int kVerifyOff = 1;
constexpr int kVerifyAdjustPriority = 2;

// Pausing for ever.
constexpr long kPauseForEver = 0x7FFFFFFF;

// Room for the largest image set a controller takes.
constexpr size_t kFirmwareImageBytes = (10 * 1024 * 1024) + (1024 * 256);
// Write the images, then verify them.
constexpr uint32_t kFlashWrite = 1;

// The spare test reads this many blocks from the start of each spare.
constexpr unsigned long kSpareTestBlocks = 100;

// The drive's state word of its device record (storageDeviceUsage): 1 is
// ready for the pool; 0, 2 and 4 need the controller's initialisation first.
constexpr uint32_t kMemberReady = 1;

constexpr uint32_t kPoolAdd = 1;
constexpr uint32_t kPoolRemove = 0;

constexpr unsigned long kMinBalanceFactor = 1;
constexpr unsigned long kMaxBalanceFactor = 10;

// The device id of a firmware drive record as the tree numbers devices.
uint32_t deviceIdOf(const FSA_STORAGE_DEVICE& device)
{
    return static_cast<uint32_t>(device.lun) << 16 | device.targetId;
}

// The firmware records of the drives at `drives`, in order, with their
// attachments. False with the Ret set at the first address that names no
// object or an object without the firmware side: nothing may go to the
// firmware then, since a zeroed record names channel 0, target 0.
struct DriveSet {
    std::unique_ptr<FSA_STORAGE_DEVICE[]> records;
    std::vector<VynPhysicalDeviceAttach*> attachments;
    uint32_t count = 0;
};

bool collectDrives(const Adapter& adapter, const AddrCollection& drives, DriveSet& set, Ret& ret)
{
    const unsigned long n = drives.getAddrCount();
    set.records.reset(new (std::nothrow) FSA_STORAGE_DEVICE[n == 0 ? 1 : n]());
    if (set.records == nullptr) {
        vynerror::resourceError(ret, "new FSA_STORAGE_DEVICE[size] failed");
        return false;
    }
    for (unsigned long i = 0; i < n; ++i) {
        RaidObject* found = adapter.getChild(drives.getAddr(i), true);
        if (found == nullptr) {
            vynerror::badParam(ret, "One or more addresses are wrong", static_cast<long>(i));
            return false;
        }
        Serializable* attachment = found->getAttachment();
        if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach")) {
            vynerror::badParam(ret, "One or more Hard-drive objects had no attachment", static_cast<long>(i));
            return false;
        }
        auto* attach = static_cast<VynPhysicalDeviceAttach*>(attachment);
        std::memcpy(&set.records[i], attach->getStorageDevice(), sizeof set.records[i]);
        set.attachments.push_back(attach);
    }
    set.count = static_cast<uint32_t>(n);
    return true;
}

// After a set operation the firmware leaves in the records the drives it
// failed to handle; those of the caller's addresses become the caller's
// collection. True when there were any.
bool keepFailedDrives(AddrCollection& drives, const DriveSet& set, uint32_t returned)
{
    // The firmware cannot have failed more drives than it was given.
    const uint32_t failedCount = returned < set.count ? returned : set.count;
    AddrCollection failed;
    for (unsigned long i = 0; i < drives.getAddrCount(); ++i) {
        const Addr addr = drives.getAddr(i);
        for (uint32_t k = 0; k < failedCount; ++k) {
            if (deviceIdOf(set.records[k]) == addr.getDeviceID()) {
                failed.addAddr(addr);
                break;
            }
        }
    }
    drives = failed;
    return failed.getAddrCount() != 0;
}

}  // namespace

Ret VynAdapter::setDataScrubActive(bool active)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setDataScrubActive()");
    return writeHandleCall(this, "FsaVerifyContainer(x,x)", [&](FsaExports& fsa, void* h) {
        FSA_VERIFY_REQUEST params;
        std::memset(&params, 0, sizeof params);
        faPutLe32(params.bytes, 1);
        return fsa.FsaVerifyContainer2(h, active ? kVerifyOn : kVerifyOff, &params);
    });
}

Ret VynAdapter::setDataScrubRate(EnumPriorityLevel rate)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setDataScrubRate(EnumPriorityLevel)");
    const char* const failure = "FsaVerifyContainer2(x,FSA_BG_VERIFY_ADJUST_PRIORITY,x)";
    return writeHandleCall(this, failure, [&](FsaExports& fsa, void* h) {
        FSA_VERIFY_REQUEST params;
        std::memset(&params, 0, sizeof params);
        // The firmware's priorities count from 1; anything else is left to it
        // as 0.
        if (rate == PRIORITY_LOW || rate == PRIORITY_MEDIUM || rate == PRIORITY_HIGH)
            faPutLe32(params.bytes, static_cast<uint32_t>(rate) + 1);
        return fsa.FsaVerifyContainer2(h, kVerifyAdjustPriority, &params);
    });
}

Ret VynAdapter::setDataScrubRate(unsigned long days)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setDataScrubRate(unsigned long)");
    const char* const failure = "FsaVerifyContainer2(x,FSA_BG_VERIFY_ADJUST_PRIORITY,x)";
    return writeHandleCall(this, failure, [&](FsaExports& fsa, void* h) {
        FSA_VERIFY_REQUEST params;
        std::memset(&params, 0, sizeof params);
        // 0 to 2 are the priorities again; a larger value is a period in days.
        faPutLe32(params.bytes + 4, days <= 2 ? static_cast<uint32_t>(days) + 1 : static_cast<uint32_t>(days));
        return fsa.FsaVerifyContainer2(h, kVerifyAdjustPriority, &params);
    });
}

Ret VynAdapter::pauseResumeIO(unsigned long pause)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::pauseResumeIO()");
    Ret ret(0);
    try {
        long seconds = static_cast<long>(pause);
        if (seconds < 0 || seconds > kPauseForEver)
            seconds = kPauseForEver;
        // The pause outlives this request: it holds the adapter's saved
        // handle until the resume.
        if (seconds != 0 && getSavedWriteHandle() == nullptr)
            openSavedWriteHandle();
        void* saved = getSavedWriteHandle();
        if (saved == nullptr) {
            vynerror::badParam(ret, "No saved FSA API read-write handle available", 0);
            return ret;
        }
        const FSA_STATUS status = fsaExports().FsaPauseResumeIo(saved, static_cast<int>(seconds), 0);
        if (seconds == 0)
            closeSavedWriteHandle();
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaPauseResumeIo(x,x)", status);
        else if (seconds != 0)
            setRescanPending(true);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::isPaused(bool& paused)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::isPaused()");
    Ret ret(0);
    paused = false;
    try {
        int flag = 0;
        const FSA_STATUS status = fsaExports().FsaIsAdapterPausedEx(adapterHandle, &flag);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaIsAdapterPausedEx()", status);
        else
            paused = flag != 0;
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::upgradeControllerFirmware(const char* file, bool)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::upgradeControllerFirmware()");
    Ret ret(0);
    try {
        std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[kFirmwareImageBytes]);
        if (image == nullptr) {
            vynerror::resourceError(ret, "pFWImageBuffer = new FA_UINT8[(10 * 1024 * 1024) + (1024 * 256)]");
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaExports& fsa = fsaExports();
        FSA_STATUS status = fsa.FsaCreateUFIfromFile(handle.getAdapterRWHandle(), file, image.get());
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaCreateUFIfromFile()", status);
            return ret;
        }
        status = fsa.FsaUpdateFlashImages(image.get(), kFlashWrite, handle.getAdapterRWHandle());
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaUpdateFlashImages()", status);
            return ret;
        }
        // The staged build shows at once.
        FSA_GENERAL_INFO2 info;
        std::memset(&info, 0, sizeof info);
        status = fsa.FsaGetGeneralInformation2Ex(handle.getAdapterRWHandle(), 0, &info);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetGeneralInformation2Ex()", status);
            return ret;
        }
        setFsaGeneralInfo(&info);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::testAllSpares()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::testAllSpares()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        std::vector<RaidObject*> drives;
        getChildren(drives, "HardDrive", true, true);
        // Every spare is read; a failure is kept even when a later spare
        // passes, so the answer is the last failure or success.
        bool failed = false;
        for (RaidObject* node : drives) {
            auto* drive = static_cast<HardDrive*>(node);
            const EnumSpareType spare = drive->getSpareType();
            if (spare != SPARE_GLOBAL && spare != SPARE_DEDICATED)
                continue;
            SCSICommand read;
            read.initRead(0, kSpareTestBlocks, false);
            const Ret outcome = drive->scsiPassThruCommand(read);
            if (outcome.getReturn() != 0) {
                ret = outcome;
                failed = true;
            } else if (!failed) {
                ret = outcome;
            }
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::startControllerDiagnostic(EnumAdapterDiagType)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::startControllerDiagnostic()");
    return writeHandleCall(this, "FsaOnlineControllerDiagnostic()",
                           [&](FsaExports& fsa, void* h) { return fsa.FsaOnlineControllerDiagnostic(h); });
}

Ret VynAdapter::setCopyBack(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setCopyBack()");
    Ret ret(0);
    try {
        if (!getFeature(featCopyBack)) {
            vynerror::notSupported(ret, "!getFeature(FeatCopyBack)", 0);
            return ret;
        }
        ret = writeHandleCall(this, "FsaSetCopyback()",
                              [&](FsaExports& fsa, void* h) { return fsa.FsaSetCopyback(h, enable ? 1 : 0); });
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::clearPPITable()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::clearPPITable()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaExports& fsa = fsaExports();
        FSA_STATUS status = fsa.FsaClearPPITable(handle.getAdapterRWHandle());
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaClearPPITable()", status);
            return ret;
        }
        status = fsa.FsaPauseResumeIo(handle.getAdapterRWHandle(), 1, 0);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaPauseResumeIo()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::setDefaultLDTaskPriority(EnumPriorityLevel priority, bool applyToRunningTasks)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setDefaultLDTaskPriority()");
    return writeHandleCall(this, "FsaSetDefaultLDTaskPriority()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetDefaultLDTaskPriority(h, static_cast<uint32_t>(priority), applyToRunningTasks ? 1 : 0);
    });
}

Ret VynAdapter::setPerformanceMode(EnumPerformanceMode mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setPerformanceMode()");
    return writeHandleCall(this, "FsaSetPerformanceMode()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetPerformanceMode(h, static_cast<uint32_t>(mode));
    });
}

Ret VynAdapter::setPMStayAwakePeriod(unsigned long start, unsigned long end, unsigned long enable,
                                     unsigned char days)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setPMStayAwakePeriod()");
    return writeHandleCall(this, "setPMStayAwakePeriod()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetPMStayAwakePeriod(h, static_cast<uint32_t>(start), static_cast<uint32_t>(end),
                                           static_cast<uint32_t>(enable), days);
    });
}

Ret VynAdapter::setPMSpinupLimits(unsigned long internalLimit, unsigned long externalLimit)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setPMSpinupLimits()");
    return writeHandleCall(this, "setPMSpinupLimits()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetPMSpinupLimits(h, static_cast<uint32_t>(internalLimit), static_cast<uint32_t>(externalLimit));
    });
}

Ret VynAdapter::setPMUTCToLocalTimeDiff(long difference)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setPMUTCToLocalTimeDiff()");
    return writeHandleCall(this, "setPMUTCToLocalTimeDiff()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetPMUTCToLocalTimeDiff(h, static_cast<int32_t>(difference));
    });
}

Ret VynAdapter::clearNvsRam()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::clearNvsRam()");
    return writeHandleCall(this, "clearNvsRam()",
                   [&](FsaExports& fsa, void* h) { return fsa.FsaClearControllerNvsRam(h); });
}

Ret VynAdapter::setSataNCQ(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setSataNCQ()");
    return writeHandleCall(this, "setSataNCQ()",
                   [&](FsaExports& fsa, void* h) { return fsa.FsaSetSataNCQ(h, enable ? 1 : 0); });
}

Ret VynAdapter::initializeHardDriveSet(AddrCollection& drives, bool allDrives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::initializeHardDriveSet()");
    Ret ret(0);
    try {
        // A handle that could not be opened shows as the call's failure.
        FsaWriteHandleGrabber handle(this, nullptr);
        if (allDrives) {
            vynerror::badParam(ret, "True option is not supported for bAllDrives", 0);
            return ret;
        }
        DriveSet set;
        if (!collectDrives(*this, drives, set, ret))
            return ret;
        FSA_STORAGE_DEVICE* records = set.records.get();
        uint32_t count = set.count;
        const FSA_STATUS status =
            fsaExports().FsaInitStorageDeviceSetForFsa(handle.getAdapterRWHandle(), 1, 1, &records, &count, 0);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaInitStorageDeviceSetForFsa()", status);
            return ret;
        }
        if (keepFailedDrives(drives, set, count))
            vynerror::apiError(ret, "FsaInitStorageDeviceSetForFsa() failedDrives.getAddrCount()", FSA_STS_SUCCESS);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::protectHardDriveSet(AddrCollection& drives, bool protect, bool allDrives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::protectHardDriveSet()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, nullptr);
        // The whole adapter cannot be asked for; the given drives still are.
        if (allDrives)
            vynerror::badParam(ret, "True option is not supported for bAllDrives", 0);
        DriveSet set;
        if (!collectDrives(*this, drives, set, ret))
            return ret;
        FSA_STORAGE_DEVICE* records = set.records.get();
        uint32_t count = set.count;
        const FSA_STATUS status = fsaExports().FsaProtectStorageDeviceSet(handle.getAdapterRWHandle(), &records,
                                                                          &count, 0, protect ? 1 : 0);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaProtectStorageDeviceSet()", status);
            return ret;
        }
        if (keepFailedDrives(drives, set, count))
            vynerror::apiError(ret, "FsaProtectStorageDeviceSet()", FSA_STS_SUCCESS);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::setOrvexaWrite(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setOrvexaWrite()");
    Ret ret(0);
    try {
        if (!getFeature(featOrvexaSupport)) {
            vynerror::notSupported(ret, "!getFeature(FeatOrvexaSupport)", 0);
            return ret;
        }
        ret = writeHandleCall(this, "FsaSetOrvexaWrite()",
                              [&](FsaExports& fsa, void* h) { return fsa.FsaSetOrvexaWrite(h, enable ? 1 : 0); });
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::setOrvexaFlushAndFetchRate(unsigned long rate)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setOrvexaFlushAndFetchRate()");
    return writeHandleCall(this, "setOrvexaFlushAndFetchRate()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetOrvexaFlushAndFetchRate(h, static_cast<uint32_t>(rate));
    });
}

Ret VynAdapter::setDirtyPageThresholdValue(unsigned long value)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setDirtyPageThresholdValue()");
    return writeHandleCall(this, "setDirtyPageThresholdValue()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetDirtyPageThresholdValue(h, static_cast<uint32_t>(value));
    });
}

Ret VynAdapter::setOrvexaRWFactor(unsigned long readFactor, unsigned long writeFactor)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setOrvexaRWFactor()");
    const auto inRange = [](unsigned long f) { return f >= kMinBalanceFactor && f <= kMaxBalanceFactor; };
    if (!inRange(readFactor) || !inRange(writeFactor)) {
        Ret ret(0);
        vynerror::badParam(ret, "The read, write balance factor should be in the range of 1 to 10", 0);
        return ret;
    }
    return writeHandleCall(this, "setOrvexaRWFactor()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetOrvexaRWFactor(h, static_cast<uint32_t>(readFactor), static_cast<uint32_t>(writeFactor));
    });
}

Ret VynAdapter::clearOrvexaPool()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::clearOrvexaPool()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, nullptr);
        const FSA_STATUS status = fsaExports().FsaClearOrvexaPool(handle.getAdapterRWHandle());
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "clearOrvexaPool()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::addDriveToOrvexaPool(AddrCollection& drives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::addDriveToOrvexaPool()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, nullptr);
        if (drives.getAddrCount() > 1) {
            vynerror::notSupported(
                ret, "Adding more than one drive to Orvexa Pool in a single API call is not supported", 0);
            return ret;
        }
        DriveSet set;
        if (!collectDrives(*this, drives, set, ret))
            return ret;
        FsaExports& fsa = fsaExports();
        for (uint32_t i = 0; i < set.count; ++i) {
            const uint32_t state = set.attachments[i]->getFsaInfo()->storageDeviceUsage;
            if (state == kMemberReady)
                continue;
            if (state != 0 && state != 2 && state != 4) {
                vynerror::badParam(ret, "invalid member state", static_cast<long>(i));
                return ret;
            }
            const FSA_STATUS status = fsa.FsaInitStorageDeviceForFsa(handle.getAdapterRWHandle(), 1, &set.records[i], 1);
            if (status != FSA_STS_SUCCESS) {
                vynerror::apiError(ret, "FsaInitStorageDeviceForFsa()", status);
                return ret;
            }
        }
        FSA_STORAGE_DEVICE* records = set.records.get();
        uint32_t count = set.count;
        const FSA_STATUS status = fsa.FsaStorageDeviceSetCachePool(handle.getAdapterRWHandle(), &records, &count, kPoolAdd);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "addDriveToOrvexaPool()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::removeDriveFromOrvexaPool(AddrCollection& drives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::removeDriveFromOrvexaPool()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, nullptr);
        DriveSet set;
        if (!collectDrives(*this, drives, set, ret))
            return ret;
        FSA_STORAGE_DEVICE* records = set.records.get();
        uint32_t count = set.count;
        const FSA_STATUS status =
            fsaExports().FsaStorageDeviceSetCachePool(handle.getAdapterRWHandle(), &records, &count, kPoolRemove);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "removeDriveFromOrvexaPool()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
