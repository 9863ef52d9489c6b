#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

constexpr FSA_STATUS kBufferTooSmall = 5;
// More tasks than a controller runs at once: a larger count is the
// firmware's mistake and is not allocated.
constexpr uint32_t kMaxTasks = 1024;
// Task details: state, progress in tenths of a percent, further information.
constexpr size_t kTaskState = 36;
constexpr size_t kTaskProgress = 40;
constexpr size_t kTaskExplanation = 48;
// A related container below this number is the one its tasks run on.
constexpr uint32_t kRelatedLimit = 64;
constexpr size_t kRelated = 104;

EnumTaskState stateOf(uint32_t firmware)
{
    switch (firmware) {
    case 0: return TASK_STATE_IN_PROGRESS;
    case 1: return TASK_STATE_PAUSED;
    case 2: return TASK_STATE_COMPLETE;
    case 3: return TASK_STATE_FAILED;
    case 4: return TASK_STATE_ABORTED;
    case 6: return TASK_STATE_PREEMPTED;
    case 7: return TASK_STATE_PENDING;
    default: return TASK_STATE_NONE;
    }
}

}  // namespace

EnumTaskType VynGetTaskType(const FSA_TASK_DESCRIPTOR* descriptor)
{
    if (descriptor == nullptr)
        return TASK_TYPE_NONE;
    switch (descriptor->function) {
    case 0: case 3: return TASK_TYPE_CLEAR;
    case 1: return TASK_TYPE_VERIFY;
    case 5: case 8: case 17: case 25: return TASK_TYPE_REBUILD;
    case 7: case 9: case 26: return TASK_TYPE_BUILD_VERIFY;
    case 12: return TASK_TYPE_VERIFY_WITH_FIX;
    case 14: return TASK_TYPE_RECONFIGURATION;
    case 15: case 16: case 21: return TASK_TYPE_FORMAT;
    case 22: return TASK_TYPE_COPYBACK;
    case 23: return TASK_TYPE_COMPACTING;
    case 24: return TASK_TYPE_EXPANDING;
    case 27: return TASK_TYPE_BACKUP_SNAPSHOT;
    case 28: return TASK_TYPE_SECURE_ERASE;
    case 29: return TASK_TYPE_FLUSH;
    default: return TASK_TYPE_NONE;
    }
}

bool taskSupportsSettingItsPriority(FSA_TASK_FUNCTION function)
{
    static const FSA_TASK_FUNCTION settable[] = {
        FSA_TF_CTR_ZERO,           FSA_TF_CTR_COPY,           FSA_TF_CTR_MCREATE,
        FSA_TF_CTR_MSCRUB,         FSA_TF_CTR_R5REBUILD,      FSA_TF_CTR_R5SCRUB,
        FSA_TF_CTR_MORPH,          FSA_TF_CTR_FORMAT_PRIMARY, FSA_TF_CTR_FORMAT_COMPACT,
        FSA_TF_CTR_MREBUILD,       FSA_TF_CTR_UPDATE_SNAPSHOT, FSA_TF_CTR_FORMAT_COMPACT_WIDE,
        FSA_TF_CTR_R6REBUILD,      FSA_TF_CTR_R6SCRUB,        FSA_TF_CTR_COPYBACK,
        FSA_TF_CTR_R5EECOMPACT,    FSA_TF_CTR_R5EEEXPAND,     FSA_TF_CTR_SS_BACKUP,
        FSA_TF_CTR_ORVEXA_FLUSH,
    };
    return std::find(std::begin(settable), std::end(settable), function) != std::end(settable);
}

EnumPriorityLevel VynGetTaskPriority(const VynLogicalDriveInfo* info)
{
    return info != nullptr ? info->GetTaskPriority() : PRIORITY_HIGH;
}

void VynGetTaskDetails(void* handle, Progress& progress, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynGetTaskDetails()");
    FSA_TASK_INFO details = {};
    const FSA_STATUS status =
        fsaExports().FsaGetTaskDetails(handle, static_cast<uint32_t>(progress.getTaskID()), &details);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "VynGetTaskDetails(): FsaGetTaskDetails(x,x,x)", status);
        return;
    }
    progress.setStatus(stateOf(faGetLe32(details.bytes + kTaskState)));
    const unsigned long percent = faGetLe32(details.bytes + kTaskProgress) / 10;
    if (progress.getPercent() == 0 || progress.getPercent() > percent) {
        progress.setPercent(percent);
        progress.setExplanation(faGetLe32(details.bytes + kTaskExplanation));
    }
    if (progress.getType() == TASK_TYPE_BUILD_VERIFY && (progress.getExplanation() & 0x2) != 0)
        progress.setType(TASK_TYPE_VERIFY);
}

void VynGetLogicalDriveProgress(void* handle, VynLogicalDriveInfo* info, Progress& progress, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynGetLogicalDriveProgress()");
    if (info == nullptr || info->getContainer() == nullptr)
        return;
    const uint8_t* key = info->word(kRelated) < kRelatedLimit ? info->getContainer() + kRelated : info->getContainer();
    tag_FSA_CONTAINER container;
    container.number = faGetLe32(key);
    container.uniqueId = faGetLe32(key + 4);
    container.adapterWord = faGetLe32(key + 8);

    std::unique_ptr<FSA_TASK_DESCRIPTOR[]> tasks(new (std::nothrow) FSA_TASK_DESCRIPTOR[1]());
    if (tasks == nullptr) {
        vynerror::resourceError(ret, "pFsaTDs = new FSA_TASK_DESCRIPTOR");
        return;
    }
    uint32_t count = 1;
    FsaExports& fsa = fsaExports();
    FSA_STATUS status = fsa.FsaGetTaskList(handle, nullptr, &container, tasks.get(), &count,
                                           sizeof(FSA_TASK_DESCRIPTOR));
    if (status == kBufferTooSmall) {
        const uint32_t wanted = std::min(count, kMaxTasks);
        tasks.reset(new (std::nothrow) FSA_TASK_DESCRIPTOR[wanted == 0 ? 1 : wanted]());
        if (tasks == nullptr) {
            vynerror::resourceError(ret, "pFsaTDs = new FSA_TASK_DESCRIPTOR[numFsaTDs]");
            return;
        }
        count = wanted;
        status = fsa.FsaGetTaskList(handle, nullptr, &container, tasks.get(), &count,
                                    wanted * static_cast<uint32_t>(sizeof(FSA_TASK_DESCRIPTOR)));
    }
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaGetTaskList()", status);
        ret.setMiscErrors(count, 0);
        return;
    }
    if (count == 0)
        return;
    progress.setTaskID(tasks[0].taskId);
    progress.setType(VynGetTaskType(&tasks[0]));
    progress.setPriority(VynGetTaskPriority(info));
    VynGetTaskDetails(handle, progress, ret);
}
