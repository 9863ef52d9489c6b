#include "RaidModel/Implementation/Vyn/VynHardDrive.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "Command/Vyn/common/fa_callbacksup.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

char emptyText[1] = "";

constexpr FSA_STATUS kBufferTooSmall = 5;
// More tasks than a drive ever carries: a larger count from the firmware is
// its mistake and is not allocated.
constexpr uint32_t kMaxDriveTasks = 256;

}  // namespace

VynHardDrive::VynHardDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size)
    : HardDrive(adapter, channel, deviceID, size, PD_READY, emptyText, emptyText, emptyText, emptyText, false,
                static_cast<EnumHardDriveCacheMode>(4), false, false, false, emptyText, false),
      vynAdapter(adapter)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynHardDrive::VynHardDrive()");
}

VynHardDrive::~VynHardDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynHardDrive::~VynHardDrive()");
}

bool VynHardDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynHardDrive") == 0) || HardDrive::isInstanceOf(name);
}

const char* VynHardDrive::typeName() const { return "VynHardDrive"; }

VynPhysicalDeviceAttach* VynHardDrive::fsaAttachment() const
{
    Serializable* attachment = getAttachment();
    if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
        return nullptr;
    return static_cast<VynPhysicalDeviceAttach*>(attachment);
}

void VynHardDrive::writeTo(Writer* writer) const
{
    HardDrive::writeTo(writer);
    writer->writeBlockT("maxUsableBlocks", vynMaxUsableBlocks);
    writer->writeULong("scsiID", scsiID);
    writer->writeULong("scsiLUN", scsiLUN);
    writer->writeULong("scsiDeviceType", scsiDeviceType);
    writer->writeInt("clusterState", clusterState);
    writer->writeULong("disksetID", disksetID);
    writer->writeBool("taskInProgress", getTaskInProgress());
    writer->writeBool("isCandidateSpare", getCandidateSpare());
    writer->writeULong("pmState", static_cast<unsigned long>(getPMState()));
    writer->writeULong("pmSupportedState", static_cast<unsigned long>(getPMSupportedStates()));
    writer->writeBool("nonSpinning", IsNonSpinning());
    writer->writeBool("OrvexaCapable", IsOrvexaCapable());
    writer->writeBool("OrvexaAssigned", IsOrvexaAssigned());
    writer->writeBool("sataNCQEnabled", IsSataNCQEnabled());
    writer->writeBool("ATAsecuritySupport", IsATAsecuritySupport());
}

void VynHardDrive::writeToXML(Writer* writer) const
{
    HardDrive::writeToXML(writer);
    writer->writeBlockT("maxUsableBlocks", vynMaxUsableBlocks);
    writer->writeBool("isCandidateSpare", getCandidateSpare());
    writer->writeULong("pmState", static_cast<unsigned long>(getPMState()));
    writer->writeULong("pmSupportedState", static_cast<unsigned long>(getPMSupportedStates()));
    writer->writeBool("nonSpinning", IsNonSpinning());
    writer->writeBool("OrvexaCapable", IsOrvexaCapable());
    writer->writeBool("OrvexaAssigned", IsOrvexaAssigned());
    writer->writeBool("sataNCQEnabled", IsSataNCQEnabled());
}

Ret VynHardDrive::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::identifyDevice()");
    Ret ret(0);
    VynPhysicalDeviceAttach* attachment = fsaAttachment();
    if (attachment == nullptr) {
        vynerror::badParam(ret, "pAttach==NULL", 0);
        return ret;
    }
    try {
        attachment->identifyDevice(on, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::scsiPassThruCommand()");
    Ret ret(0);
    VynPhysicalDeviceAttach* attachment = fsaAttachment();
    if (attachment == nullptr) {
        vynerror::badParam(ret, "Hard drive object had no attachment", 0);
        return ret;
    }
    try {
        attachment->doScsiPassThru(command, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::getProgress(Progress& progress)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getProgress(Progress &)");
    Ret ret(0);
    try {
        VynPhysicalDeviceAttach* attachment = fsaAttachment();
        if (attachment == nullptr) {
            vynerror::badParam(ret, "pAttach==NULL", 0);
            return ret;
        }
        Addr* addr = progress.getDeviceAddr();
        addr->setAdapterID(static_cast<uint32_t>(getAdapterID()));
        addr->setChannelID(static_cast<uint32_t>(getChannelID()));
        addr->setDeviceID(static_cast<uint32_t>(getDeviceID()));

        std::unique_ptr<FSA_TASK_DESCRIPTOR[]> tasks(new (std::nothrow) FSA_TASK_DESCRIPTOR[1]());
        if (tasks == nullptr) {
            vynerror::resourceError(ret, "new FSA_TASK_DESCRIPTOR failed");
            return ret;
        }
        void* handle = vynAdapter != nullptr ? vynAdapter->getAdapterHandle() : nullptr;
        FsaExports& fsa = fsaExports();
        uint32_t count = 1;
        FSA_STATUS status = fsa.FsaGetTaskList(handle, attachment->getStorageDevice(), nullptr, tasks.get(), &count,
                                               count * static_cast<uint32_t>(sizeof(FSA_TASK_DESCRIPTOR)));
        if (status == kBufferTooSmall) {
            // The count the firmware needs is bounded before it is allocated;
            // the second call is told the room there is.
            const uint32_t wanted = std::max<uint32_t>(1, std::min(count, kMaxDriveTasks));
            tasks.reset(new (std::nothrow) FSA_TASK_DESCRIPTOR[wanted]());
            if (tasks == nullptr) {
                vynerror::resourceError(ret, "new FSA_TASK_DESCRIPTOR[numFsaTDs]");
                return ret;
            }
            count = wanted;
            status = fsa.FsaGetTaskList(handle, attachment->getStorageDevice(), nullptr, tasks.get(), &count,
                                        wanted * static_cast<uint32_t>(sizeof(FSA_TASK_DESCRIPTOR)));
        }
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetTaskList()", status);
            ret.setMiscErrors(count, 0);
            return ret;
        }
        if (count == 0)
            return ret;
        progress.setTaskID(tasks[0].taskId);
        progress.setType(VynGetTaskType(&tasks[0]));
        VynGetTaskDetails(handle, progress, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::getProgress(ProgressCollection& out)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getProgress(ProgressCollection &)");
    Ret ret(0);
    try {
        Progress progress;
        ret = getProgress(progress);
        if (ret.getReturn() == 0)
            out.add(progress);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

int VynHardDrive::getPfaWarn()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getPfaWarn()");
    VynPhysicalDeviceAttach* attachment = fsaAttachment();
    if (attachment == nullptr) {
        // Nothing is known of the drive: it reports no warning.
        VynErrorPrintf(__FILE__, __LINE__, vynerror::BAD_PARAM,
                       "HardDrive had no FSA attachment", 0);
        return 0;
    }
    const FSA_SMART_DATA* smart = attachment->getSmartInfo();
    return smart != nullptr ? static_cast<int>(smart->errorCount) : 0;
}
