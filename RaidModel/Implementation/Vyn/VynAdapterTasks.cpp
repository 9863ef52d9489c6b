#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// More tasks than a controller runs at once: a larger count is the
// firmware's mistake and is not allocated.
constexpr uint32_t kMaxTasks = 1024;

// A task descriptor, as bytes: the object the task runs on (a container
// number, or above the controller's last container number a drive), the
// drive's bus, target and LUN, and the container reference.
constexpr size_t kDescBus = 12;
constexpr size_t kDescTarget = 13;
constexpr size_t kDescLun = 14;
constexpr size_t kDescContainer = 20;
// The container reference's words: the object (all ones for a task on no
// container); the container number.
constexpr size_t kRefUsed = 0;
constexpr size_t kRefNumber = 4;
constexpr size_t kDescObject = kDescContainer + kRefUsed;
constexpr uint32_t kNoContainer = 0xFFFFFFFFu;
constexpr size_t kTaskFunction = 4;

constexpr uint32_t kTaskStop = 2;
constexpr uint32_t kSetDelay = 4;  // FSA_CO_SET_DELAY
constexpr uint32_t kBatteryRecondition = 2;  // FSA_NVO_START_BATT_RECONDITION
constexpr uint32_t kFailoverOn = 4;
// Containers a reconfiguration names are numbered at most this.
constexpr uint32_t kMorphContainerLimit = 255;
// General information, option word 2: the drives' write-cache policy can be
// set for the whole controller.
constexpr uint32_t kDeviceCachePolicy = 0x8000;

constexpr uint32_t kAlarmSet = 1;
constexpr uint32_t kAlarmSound = 2;

struct DescriptorList {
    std::unique_ptr<FSA_TASK_DESCRIPTOR[]> items;
    uint32_t count = 0;
};

// Every task of the controller: the count, then the descriptors. False with
// the error reported (the count in the Ret's unsigned word).
bool listAllTasks(void* handle, DescriptorList& list, Ret& ret, const char* firstCall, const char* secondCall,
                  const char* allocation)
{
    FsaExports& fsa = fsaExports();
    uint32_t count = 0;
    FSA_STATUS status = fsa.FsaGetTaskList(handle, nullptr, nullptr, nullptr, &count, 0);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, firstCall, status);
        ret.setMiscErrors(count, 0);
        return false;
    }
    const uint32_t room = count < kMaxTasks ? count : kMaxTasks;
    list.items.reset(new (std::nothrow) FSA_TASK_DESCRIPTOR[room == 0 ? 1 : room]());
    if (list.items == nullptr) {
        vynerror::resourceError(ret, allocation);
        return false;
    }
    count = room;
    status = fsa.FsaGetTaskList(handle, nullptr, nullptr, list.items.get(), &count,
                                room * static_cast<uint32_t>(sizeof(FSA_TASK_DESCRIPTOR)));
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, secondCall, status);
        ret.setMiscErrors(count, 0);
        return false;
    }
    // The firmware's count says how many it wrote, never more than there was
    // room for.
    list.count = count < room ? count : room;
    return true;
}

const uint8_t* descriptorBytes(const FSA_TASK_DESCRIPTOR& descriptor)
{
    return reinterpret_cast<const uint8_t*>(&descriptor);
}

// A container key as the records hold it (number, unique id, adapter word).
tag_FSA_CONTAINER keyAt(const uint8_t* bytes)
{
    tag_FSA_CONTAINER key;
    key.number = faGetLe32(bytes);
    key.uniqueId = faGetLe32(bytes + 4);
    key.adapterWord = faGetLe32(bytes + 8);
    return key;
}

// The records a logical drive is made of: its own and its members'.
std::vector<VynLogicalDriveInfo*> recordsOf(const VynBasicLogicalDrive* drive)
{
    std::vector<VynLogicalDriveInfo*> records;
    if (drive->getLogicalDriveInfo() != nullptr)
        records.push_back(drive->getLogicalDriveInfo());
    for (VynLogicalDriveInfo* member : drive->getMemberRecords())
        if (member != nullptr)
            records.push_back(member);
    return records;
}

}  // namespace

Ret VynAdapter::getProgress(Progress& progress)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getProgress(Progress &)");
    Ret ret(0);
    try {
        ProgressCollection all;
        ret = getProgress(all);
        if (ret.getReturn() == 0 && all.getSize() > 0)
            progress = *all.getProgress(0);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getProgress(ProgressCollection& collection)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getProgress(ProgressCollection &)");
    Ret ret(0);
    try {
        const uint32_t adapterID = static_cast<uint32_t>(getAdapterID());
        DescriptorList tasks;
        if (!listAllTasks(adapterHandle, tasks, ret, "FsaGetTaskList()#1", "FsaGetTaskList()#2",
                          "new FSA_TASK_DESCRIPTOR[numFsaTDs] failed"))
            return ret;
        const uint32_t lastContainer = faGetLe32(fsaInfo.bytes + GI_MAX_CONTAINER_NUMBER);
        Progress progress;
        for (uint32_t i = 0; i < tasks.count; ++i) {
            const FSA_TASK_DESCRIPTOR& descriptor = tasks.items[i];
            const uint8_t* d = descriptorBytes(descriptor);
            progress.setTaskID(descriptor.taskId);
            progress.setType(VynGetTaskType(&descriptor));
            progress.setPriority(PRIORITY_HIGH);
            progress.setPercent(0);
            // A failed details read leaves nothing of the previous task.
            progress.setStatus(TASK_STATE_NONE);
            progress.setExplanation(0);
            Addr addr(adapterID);
            const uint32_t object = faGetLe32(d + kDescObject);
            if (object > lastContainer) {
                addr.setChannelID(d[kDescBus]);
                addr.setDeviceID(static_cast<uint32_t>(d[kDescLun]) << 16 | d[kDescTarget]);
            } else {
                addr.setLogicalDriveID(object);
                const RaidObject* found = getChild(addr, true);
                if (found != nullptr && std::strcmp(found->typeName(), "VynBasicLogicalDrive") == 0)
                    progress.setPriority(VynGetTaskPriority(
                        static_cast<const VynBasicLogicalDrive*>(found)->getLogicalDriveInfo()));
            }
            progress.setDeviceAddr(addr);
            VynGetTaskDetails(adapterHandle, progress, ret);
            if (progress.getType() != TASK_TYPE_NONE)
                collection.add(progress);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::scanForDrives(bool flag)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::scanForDrives()");
    return writeHandleCall(this, "FsaPauseResumeIo(x,x)", [&](FsaExports& fsa, void* h) {
        const FSA_STATUS status = fsa.FsaPauseResumeIo(h, flag ? 1 : 0, 0);
        if (status == FSA_STS_SUCCESS && !flag)
            setRescanPending(true);
        return status;
    });
}

Ret VynAdapter::abortTask(unsigned long taskID)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::abortTask()");
    Ret ret(0);
    try {
        FsaExports& fsa = fsaExports();
        std::vector<uint32_t> stop{static_cast<uint32_t>(taskID)};
        FSA_TASK_INFO details = {};
        FSA_STATUS status = fsa.FsaGetTaskDetails(adapterHandle, static_cast<uint32_t>(taskID), &details);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetTaskDetails(x,x,x)", status);
            return ret;
        }

        // The tasks on the other levels of a multi-level logical drive stop
        // with it.
        const uint8_t* reference = details.bytes + kDescContainer;
        if (faGetLe32(reference + kRefUsed) != kNoContainer) {
            const uint32_t container = faGetLe32(reference + kRefNumber);
            std::vector<RaidObject*> drives;
            getChildren(drives, "VynBasicLogicalDrive", true, true);
            std::vector<VynLogicalDriveInfo*> records;
            for (RaidObject* node : drives) {
                if (std::strcmp(node->typeName(), "VynBasicLogicalDrive") != 0)
                    continue;
                std::vector<VynLogicalDriveInfo*> held = recordsOf(static_cast<VynBasicLogicalDrive*>(node));
                bool holds = false;
                for (const VynLogicalDriveInfo* record : held)
                    holds = holds || record->getContainerNumber() == container;
                if (holds) {
                    records = held;
                    break;
                }
            }
            if (!records.empty()) {
                DescriptorList tasks;
                if (!listAllTasks(adapterHandle, tasks, ret, "FsaGetTaskList()", "FsaGetTaskList()",
                                  "new FSA_TASK_DESCRIPTOR[numFsaTDs]"))
                    return ret;
                for (uint32_t i = 0; i < tasks.count; ++i) {
                    const uint32_t on = faGetLe32(descriptorBytes(tasks.items[i]) + kDescContainer + kRefNumber);
                    for (const VynLogicalDriveInfo* record : records) {
                        const uint32_t number = record->getContainerNumber();
                        if (number != container && number == on)
                            stop.push_back(tasks.items[i].taskId);
                    }
                }
            }
        }

        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        for (uint32_t id : stop) {
            status = fsa.FsaTask(handle.getAdapterRWHandle(), id, kTaskStop);
            if (status != FSA_STS_SUCCESS) {
                vynerror::apiError(ret, "FsaTask(x,x,x)", status);
                break;
            }
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::setTaskPriority(unsigned long taskID, EnumPriorityLevel priority)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setTaskPriority()");
    Ret ret(0);
    try {
        FsaExports& fsa = fsaExports();
        FSA_TASK_INFO details = {};
        FSA_STATUS status = fsa.FsaGetTaskDetails(adapterHandle, static_cast<uint32_t>(taskID), &details);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetTaskDetails(x,x,x)", status);
            return ret;
        }
        const uint32_t function = faGetLe32(details.bytes + kTaskFunction);
        if (!taskSupportsSettingItsPriority(static_cast<FSA_TASK_FUNCTION>(function))) {
            vynerror::notSupported(ret, "!taskSupportsSettingItsPriority(taskInfo.taskDesc.taskFunction)", 0);
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        // The firmware's delay: the lower, the sooner the task runs.
        unsigned long delay = 50;
        if (priority == PRIORITY_LOW)
            delay = 100;
        else if (priority == PRIORITY_HIGH)
            delay = 0;

        void* writeHandle = handle.getAdapterRWHandle();
        tag_FSA_CONTAINER container = keyAt(details.bytes + kDescContainer);
        FsaContainerInfoGrabber info;
        status = fsa.FsaGetContainerInfo2(adapterHandle, 0, &container, info, FSA_CONTAINER_INFO_EXTND_MAX);

        if (function != FSA_TF_CTR_MORPH) {
            // A container inside another takes its tasks' pace from the one
            // that encloses it.
            if (status == FSA_STS_SUCCESS && faGetLe32(info->bytes + CI_SNAPSHOT_RELATION) != kNoContainer) {
                const tag_FSA_CONTAINER enclosing = keyAt(info->bytes + CI_SNAPSHOT_RELATION);
                FsaContainerInfoGrabber outer;
                if (fsa.FsaGetContainerInfo2(adapterHandle, 0, &enclosing, outer, FSA_CONTAINER_INFO_EXTND_MAX) ==
                    FSA_STS_SUCCESS)
                    container = keyAt(outer->bytes);
            }
            status = fsa.FsaContainer(writeHandle, &container, kSetDelay, &delay);
            if (status != FSA_STS_SUCCESS)
                vynerror::apiError(ret, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x)", status);
            return ret;
        }

        // A reconfiguration runs on its container and on every container the
        // record names for it; each gets the delay, whatever became of the
        // others.
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetContainerInfo2(x,x,x,x,x)", status);
            return ret;
        }
        status = fsa.FsaContainer(writeHandle, &container, kSetDelay, &delay);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - Original", status);
        static const struct {
            size_t offset;
            const char* call;
        } kMorphContainers[] = {
            {CI_RELATED, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphOriginal"},
            {CI_MORPH_SOURCE, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphSource"},
            {CI_MORPH_DESTINATION, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphDestination"},
            {CI_FURTHER_2, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphTemp"},
            {CI_FURTHER_1, "FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphCopy"},
        };
        for (const auto& morph : kMorphContainers) {
            if (faGetLe32(info->bytes + morph.offset) > kMorphContainerLimit)
                continue;
            const tag_FSA_CONTAINER key = keyAt(info->bytes + morph.offset);
            status = fsa.FsaContainer(writeHandle, &key, kSetDelay, &delay);
            if (status != FSA_STS_SUCCESS)
                vynerror::apiError(ret, morph.call, status);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::startBatteryCalibration()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::startBatteryCalibration()");
    return writeHandleCall(this, "FsaNvram(x, FSA_NVO_START_BATT_RECONDITION, x)", [&](FsaExports& fsa, void* h) {
        uint32_t record[5] = {};
        return fsa.FsaNvram(h, kBatteryRecondition, record);
    });
}

Ret VynAdapter::setAlarmState(EnumAlarmState state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setAlarmState()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        uint32_t operation = 0;
        uint32_t record[3] = {0, 0, 0};
        switch (state) {
        case ALARM_ON:
            operation = kAlarmSet;
            record[0] = 1;
            break;
        case ALARM_OFF:
            operation = kAlarmSet;
            break;
        case ALARM_SILENCE:
            operation = kAlarmSound;
            break;
        case ALARM_TEST:  // sounds until stopped
            operation = kAlarmSound;
            record[0] = 1;
            record[1] = 0xFFFFFFFFu;
            break;
        default:
            vynerror::badParam(ret, "Invalid Alarm State", 0);
            return ret;
        }
        FsaExports& fsa = fsaExports();
        // A switched-off alarm neither sounds nor falls silent: it is switched
        // on first.
        if (operation == kAlarmSound && alarmState == ALARM_OFF) {
            uint32_t on[3] = {1, 0, 0};
            const FSA_STATUS status = fsa.FsaAlarm(handle.getAdapterRWHandle(), kAlarmSet, on);
            if (status != FSA_STS_SUCCESS) {
                vynerror::apiError(ret, "FsaAlarm(x,x,x)", status);
                return ret;
            }
        }
        const FSA_STATUS status = fsa.FsaAlarm(handle.getAdapterRWHandle(), operation, record);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaAlarm(x,x,x)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::setAutoFailoverEnabled(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setAutoFailoverEnabled()");
    return writeHandleCall(this, "FsaSetAutomaticFailover()", [&](FsaExports& fsa, void* h) {
        return fsa.FsaSetAutomaticFailover(h, enable ? kFailoverOn : 0);
    });
}

Ret VynAdapter::resetController()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::resetController()");
    return writeHandleCall(this, "FsaResetController()",
                           [&](FsaExports& fsa, void* h) { return fsa.FsaResetController(h); });
}

Ret VynAdapter::setPhysicalDriveCache(EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setPhysicalDriveCache()");
    Ret ret(0);
    try {
        if ((faGetLe32(fsaInfo.bytes + GI_SUPPORTED_OPTIONS2) & kDeviceCachePolicy) == 0) {
            ret.setReturn(-1);
            return ret;
        }
        // Mode 0 enables the drives' write cache (policy 1), mode 1 disables
        // it (policy 0).
        int32_t policy[2] = {0, 0};
        const int modes[2] = {static_cast<int>(sata), static_cast<int>(sas)};
        for (int i = 0; i < 2; ++i) {
            if (modes[i] != 0 && modes[i] != 1) {
                ret.setReturn(-2);
                return ret;
            }
            policy[i] = modes[i] == 0 ? 1 : 0;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        const FSA_STATUS status =
            fsaExports().FsaSetControllerDeviceCachePolicy(handle.getAdapterRWHandle(), policy[0], policy[1]);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaSetControllerDeviceCachePolicy()", status);
            return ret;
        }
        sataHDCacheMode = sata;
        sasHDCacheMode = sas;
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::isOrvexaHasDirtyData()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::isOrvexaHasDirtyData()");
    // The answer is the status itself: 1 when the pool holds dirty data.
    return writeHandleCall(this, "isOrvexaHasDirtyData()",
                           [&](FsaExports& fsa, void* h) { return fsa.FsaHasDirtyData(h); });
}
