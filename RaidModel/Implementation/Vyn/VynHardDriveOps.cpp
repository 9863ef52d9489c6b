// The changes a hard drive of the family asks of its controller: state,
// write cache, initialisation, enable and force-down, JBOD, background
// tasks, online diagnostics, ATA security and the wear-out parameters.
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"

#include <cstring>
#include <vector>

#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChunk.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Features.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// Drive operations of FsaStorageDevice2.
constexpr uint32_t FSA_SDO_VERIFY = 0;
constexpr uint32_t FSA_SDO_VERIFY_REPLACE = 1;
constexpr uint32_t FSA_SDO_CLEAR = 5;
constexpr uint32_t FSA_SDO_WRITE_CACHE = 8;
constexpr uint32_t FSA_SDO_FORCE_DOWN_DEVICE = 10;
constexpr uint32_t FSA_SDO_ENABLE_DEVICE = 11;
constexpr uint32_t FSA_SDO_SECURE_ERASE = 104;
constexpr uint32_t FSA_SDO_ATA_PASSWORD = 105;

// Online diagnostic operations.
constexpr uint32_t DIAG_ABORT = 1;
constexpr uint32_t DIAG_START_SHORT = 2;
constexpr uint32_t DIAG_START_EXTENDED = 3;
constexpr uint32_t DIAG_PROGRESS = 4;
constexpr uint32_t DIAG_RESULTS = 5;
constexpr uint32_t DIAG_START_OTHER = 6;
// What the firmware fills on every diagnostic call.
constexpr size_t DIAG_RESULT_BYTES = 132;

const char* const NO_ATTACHMENT = "Hard drive object had no attachment";

// A drive-operation block: the operation in word 0, the rest zero.
struct DriveOpBlock {
    explicit DriveOpBlock(uint32_t operation) { words[0] = operation; }
    uint32_t words[FSA_DRIVE_OP_PARAM_WORDS] = {};
};

// The frame of the changes that reach the drive by its attachment: no
// attachment is a bad parameter with `missingText`; no write handle is busy;
// `call(attachment, handle)` answers the firmware's status, anything but 1
// an API error named `label`. Nothing leaves as an exception.
template <class Call>
Ret changeDrive(VynPhysicalDeviceAttach* attachment, const RaidObject* drive, const char* missingText,
                const char* label, Call call)
{
    Ret ret(0);
    try {
        if (attachment == nullptr) {
            vynerror::badParam(ret, missingText, 0);
            return ret;
        }
        FsaWriteHandleGrabber handle(drive, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        const FSA_STATUS status = call(*attachment, handle.getAdapterRWHandle(), ret);
        if (status != FSA_STS_SUCCESS && ret.getReturn() == 0)
            vynerror::apiError(ret, label, status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

// A diagnostic call needs the device record besides the attachment.
template <class Call>
Ret diagnoseDrive(VynPhysicalDeviceAttach* attachment, const RaidObject* drive, const char* label, Call call)
{
    return changeDrive(attachment, drive, NO_ATTACHMENT, label,
                       [&](VynPhysicalDeviceAttach& a, void* handle, Ret& ret) -> FSA_STATUS {
                           const FSA_STORAGE_DEVICE_INFO* info = a.getFsaInfo();
                           if (info == nullptr) {
                               vynerror::badParam(ret, "FSA attachment had no associated storage device", 0);
                               return FSA_STS_SUCCESS;
                           }
                           return call(handle, &info->address);
                       });
}

}  // namespace

Ret VynHardDrive::setState(EnumPhysicalDeviceState state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::setState()");
    Ret ret(0);
    try {
        if (state != PD_FAILED && state != PD_REBUILDING) {
            vynerror::badParam(ret, "invalid (HardDrive) state", static_cast<int>(state));
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FsaExports& fsa = fsaExports();
        if (state == PD_FAILED) {
            std::vector<RaidObject*> chunks;
            getChildren(chunks, "VynChunk", true, true);
            for (RaidObject* node : chunks) {
                auto* chunk = static_cast<VynChunk*>(node);
                // A chunk that serves no logical drive has nothing to fail.
                if (chunk->getConsumer() == nullptr)
                    continue;
                const uint8_t* info = chunk->getPartitionInfo();
                if (info == nullptr) {
                    vynerror::badParam(ret, "VynChunk had no FSA partition info", 0);
                    return ret;
                }
                FSA_PARTITION partition;
                std::memcpy(partition.bytes, info + PI_PARTITION, sizeof partition.bytes);
                const FSA_STATUS status = fsa.FsaFailPartition(handle.getAdapterRWHandle(), 1, &partition);
                if (status != FSA_STS_SUCCESS) {
                    vynerror::apiError(ret, "FsaFailPartition(x,x,x)", status);
                    return ret;
                }
            }
            return ret;
        }
        VynPhysicalDeviceAttach* attachment = fsaAttachment();
        if (attachment == nullptr) {
            vynerror::badParam(ret, "HardDrive had no FSA attachment", 0);
            return ret;
        }
        const FSA_STATUS status = fsa.FsaStorageDevice2(handle.getAdapterRWHandle(), &attachment->getFsaInfo()->address,
                                                        FSA_SDO_VERIFY_REPLACE, nullptr, nullptr);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaStorageDevice2(x,x,FSA_SDO_VERIFY_REPLACE,x,x)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::setWriteCacheEnable(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::setWriteCacheEnable()");
    return changeDrive(fsaAttachment(), this, NO_ATTACHMENT, "FsaStorageDevice2()",
                       [&](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           DriveOpBlock block(FSA_SDO_WRITE_CACHE);
                           // The same policy words as the controller-wide
                           // setting: 1 caches writes, 0 does not.
                           block.words[2] = enable ? 1 : 0;
                           return fsaExports().FsaStorageDevice2(handle, a.getStorageDevice(), FSA_SDO_WRITE_CACHE,
                                                                 block.words, nullptr);
                       });
}

Ret VynHardDrive::setPhysicalDriveCache(EnumHardDriveCacheMode mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::setPhysicalDriveCache()");
    return setWriteCacheEnable(mode == 0);
}

Ret VynHardDrive::initializeHardDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::initializeHardDrive()");
    return changeDrive(fsaAttachment(), this, NO_ATTACHMENT, "FsaInitStorageDeviceForFsa()",
                       [](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           return fsaExports().FsaInitStorageDeviceForFsa(handle, 1, a.getStorageDevice(), 1);
                       });
}

Ret VynHardDrive::downHardDrive(bool force)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::downHardDrive()");
    const uint32_t operation = force ? FSA_SDO_FORCE_DOWN_DEVICE : FSA_SDO_ENABLE_DEVICE;
    return changeDrive(fsaAttachment(), this, NO_ATTACHMENT,
                       force ? "FsaStorageDevice2(x,x,FSA_SDO_FORCE_DOWN_DEVICE,x,x)"
                             : "FsaStorageDevice2(x,x,FSA_SDO_ENABLE_DEVICE,x,x)",
                       [&](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           return fsaExports().FsaStorageDevice2(handle, &a.getFsaInfo()->address, operation, nullptr,
                                                                 nullptr);
                       });
}

Ret VynHardDrive::createJBOD()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::createJBOD()");
    return changeDrive(fsaAttachment(), this, "pAttach==NULL", "FsaCreateJBOD()",
                       [](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           return fsaExports().FsaCreateJBOD(handle, a.getStorageDevice());
                       });
}

Ret VynHardDrive::deleteJBOD()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::deleteJBOD()");
    return changeDrive(fsaAttachment(), this, "pAttach==NULL", "FsaDeleteJBOD()",
                       [](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           return fsaExports().FsaDeleteJBOD(handle, a.getStorageDevice());
                       });
}

Ret VynHardDrive::startTask(EnumHardDriveTask task, const char* argument)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::startTask()");
    VynPhysicalDeviceAttach* attachment = fsaAttachment();
    Ret ret(0);
    if (attachment == nullptr) {
        vynerror::badParam(ret, NO_ATTACHMENT, 0);
        return ret;
    }
    uint32_t operation = 0;
    switch (static_cast<int>(task)) {
    case 1: operation = FSA_SDO_VERIFY; break;
    case 2: operation = FSA_SDO_VERIFY_REPLACE; break;
    case 3: operation = FSA_SDO_CLEAR; break;
    case 4:
        if (vynAdapter == nullptr || vynAdapter->getFeature(featSecureErase) == 0)
            return Ret(-1);
        operation = FSA_SDO_SECURE_ERASE;
        break;
    default:
        vynerror::badParam(ret, "Invalid hard drive task type.", static_cast<int>(task));
        return ret;
    }
    return changeDrive(attachment, this, NO_ATTACHMENT, "FsaStorageDevice2(x,x,x,x,x)",
                       [&](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           DriveOpBlock block(operation);
                           FsaDriveOpParamSetPassword(block.words, argument);
                           return fsaExports().FsaStorageDevice2(handle, a.getStorageDevice(), operation,
                                                                 block.words, nullptr);
                       });
}

Ret VynHardDrive::startDiskDiagnostic(EnumDiskDiagType type)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::startDiskDiagnostic()");
    const uint32_t operation = type == 1 ? DIAG_START_SHORT : type == 2 ? DIAG_START_EXTENDED : DIAG_START_OTHER;
    return diagnoseDrive(fsaAttachment(), this, "FsaOnlineDiskDiagnostic(START)",
                         [&](void* handle, const FSA_STORAGE_DEVICE* device) {
                             uint8_t scratch[DIAG_RESULT_BYTES] = {};
                             return fsaExports().FsaOnlineDiskDiagnostic(handle, device, operation, scratch);
                         });
}

Ret VynHardDrive::abortDiskDiagnostic()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::abortDiskDiagnostic()");
    return diagnoseDrive(fsaAttachment(), this, "FsaOnlineDiskDiagnostic(ABORT)",
                         [](void* handle, const FSA_STORAGE_DEVICE* device) {
                             uint8_t scratch[DIAG_RESULT_BYTES] = {};
                             return fsaExports().FsaOnlineDiskDiagnostic(handle, device, DIAG_ABORT, scratch);
                         });
}

Ret VynHardDrive::getDiskDiagnosticProgress(DISK_DIAGNOSTIC_STATE& state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getDiskDiagnosticProgress()");
    return diagnoseDrive(fsaAttachment(), this, "FsaOnlineDiskDiagnostic(GET_PROGRESS)",
                         [&](void* handle, const FSA_STORAGE_DEVICE* device) {
                             return fsaExports().FsaOnlineDiskDiagnostic(handle, device, DIAG_PROGRESS, &state);
                         });
}

Ret VynHardDrive::getDiskDiagnosticResults(DISK_DIAGNOSTIC_STATE& state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getDiskDiagnosticResults()");
    return diagnoseDrive(fsaAttachment(), this, "FsaOnlineDiskDiagnostic(GET_RESULTS)",
                         [&](void* handle, const FSA_STORAGE_DEVICE* device) {
                             return fsaExports().FsaOnlineDiskDiagnostic(handle, device, DIAG_RESULTS, &state);
                         });
}

namespace {

Ret changeAtaPassword(VynPhysicalDeviceAttach* attachment, const RaidObject* drive, const char* password, bool set)
{
    return changeDrive(attachment, drive, NO_ATTACHMENT, "FsaStorageDevice2(x,x,x,x,x)",
                       [&](VynPhysicalDeviceAttach& a, void* handle, Ret&) {
                           DriveOpBlock block(FSA_SDO_ATA_PASSWORD);
                           FsaDriveOpParamSetPassword(block.words, password);
                           uint32_t flag = set ? 1 : 0;
                           return fsaExports().FsaStorageDevice2(handle, a.getStorageDevice(), FSA_SDO_ATA_PASSWORD,
                                                                 block.words, &flag);
                       });
}

}  // namespace

Ret VynHardDrive::setATASecurePassword(const char* password)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::setATASecurePassword()");
    return changeAtaPassword(fsaAttachment(), this, password, true);
}

Ret VynHardDrive::clearATASecurePassword(const char* password)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::clearATASecurePassword()");
    return changeAtaPassword(fsaAttachment(), this, password, false);
}

Ret VynHardDrive::SetWearOutParams(unsigned long first, unsigned long second, unsigned long third)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::SetWearOutParams()");
    return changeDrive(fsaAttachment(), this, NO_ATTACHMENT, "FSASetWearOutParams()",
                       [&](VynPhysicalDeviceAttach&, void* handle, Ret&) {
                           return fsaExports().FSASetWearOutParams(handle, static_cast<uint32_t>(first),
                                                                   static_cast<uint32_t>(second),
                                                                   static_cast<uint32_t>(third));
                       });
}
