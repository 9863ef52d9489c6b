#include "Command/Vyn/common/fa_callbacksup.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_semaphore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

CTaskCallbackManager::CTaskCallbackManager()
{
    mutex_ = faos_CreateMutex(nullptr);
    StartAccess();
    count_ = 0;
    capacity_ = 0;
    callbacks_ = nullptr;
    FinishAccess();
    try {
        semaphore_ = faos_CreateSemaphore();
    } catch (FSA_STATUS) {
        faos_DestroyMutex(mutex_);
        throw;
    }
}

CTaskCallbackManager::~CTaskCallbackManager()
{
    std::free(callbacks_);
    try {
        faos_DestroySemaphore(semaphore_);
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // Nothing is left to release them for.
    }
}

void CTaskCallbackManager::StartAccess() { faos_WaitForAndGetMutex(mutex_); }

void CTaskCallbackManager::FinishAccess() { faos_ReleaseMutex(mutex_); }

namespace {

// Adapter-initiated task requests: the request word, its argument in word 2.
constexpr uint32_t kRequestAllJobs = 100;
constexpr uint32_t kRequestContainerJobs = 101;
constexpr uint32_t kRequestDriveJobs = 102;
constexpr uint32_t kRequestOneJob = 103;
constexpr uint32_t kRequestBytes = 72;

// Reply: the status word and the records from payload byte 8; their count
// follows from the header's Size.
constexpr size_t kFibHeader = 32;
constexpr size_t kReplyStatus = 4;
constexpr size_t kReplyRecords = 8;
constexpr uint32_t kReplySizeBase = 40;
constexpr uint32_t kReplyNoSuchTask = 4;
constexpr uint32_t kReplyFinished = 5;

// Job description and progress report fields.
constexpr size_t kJobTaskId = 0;
constexpr size_t kJobCode = 4;
constexpr size_t kJobObject = 8;
constexpr size_t kReportStatus = 16;
constexpr size_t kReportTotal = 24;
constexpr size_t kReportDone = 32;
constexpr size_t kReportSpecific1 = 40;
constexpr size_t kReportSpecific2 = 44;

// Task information fields after the 36-byte descriptor.
constexpr size_t kInfoState = 36;
constexpr size_t kInfoProgress = 40;
constexpr size_t kInfoSpecific1 = 44;
constexpr size_t kInfoSpecific2 = 48;
constexpr size_t kInfoAdapter = 52;

constexpr FSA_STATUS kStsNoSuchTask = 100;
constexpr FSA_STATUS kStsTaskFinished = 111;
constexpr FSA_STATUS kStsMoreTasks = 5;

enum class JobObject { Drive, Container, Neither };

struct JobMapping {
    uint32_t code;
    uint32_t function;
    JobObject object;
};

constexpr JobMapping kJobs[] = {
    {2, FSA_TF_SD_ZERO, JobObject::Drive},
    {3, FSA_TF_SD_VERIFY, JobObject::Drive},
    {4, FSA_TF_SD_EXERCISE, JobObject::Drive},
    {5, FSA_TF_SD_VERIFY_REPLACE, JobObject::Drive},
    {7, FSA_TF_SD_SECURE_ERASE, JobObject::Drive},
    {101, FSA_TF_CTR_ZERO, JobObject::Container},
    {102, FSA_TF_CTR_COPY, JobObject::Container},
    {103, FSA_TF_CTR_MCREATE, JobObject::Container},
    {105, FSA_TF_CTR_MSCRUB, JobObject::Container},
    {106, FSA_TF_CTR_R5REBUILD, JobObject::Container},
    {107, FSA_TF_CTR_R5SCRUB, JobObject::Container},
    {108, FSA_TF_CTR_MORPH, JobObject::Container},
    {110, FSA_TF_CTR_MREBUILD, JobObject::Container},
    {111, FSA_TF_UNKNOWN, JobObject::Container},
    {112, FSA_TF_CTR_COPYBACK, JobObject::Container},
    {113, FSA_TF_CTR_R5EECOMPACT, JobObject::Container},
    {114, FSA_TF_CTR_R5EEEXPAND, JobObject::Container},
    {115, FSA_TF_CTR_R6REBUILD, JobObject::Container},
    {116, FSA_TF_CTR_R6SCRUB, JobObject::Container},
    {117, FSA_TF_CTR_SS_BACKUP, JobObject::Container},
    {118, FSA_TF_CTR_ORVEXA_FLUSH, JobObject::Container},
    {300, FSA_TF_CTR_FORMAT_PRIMARY, JobObject::Container},
    {301, FSA_TF_CTR_FORMAT_COMPACT, JobObject::Container},
    {302, FSA_TF_CTR_UPDATE_SNAPSHOT, JobObject::Container},
    {303, FSA_TF_CTR_FORMAT_COMPACT_WIDE, JobObject::Container},
    {400, FSA_TF_ADAPTER_VERIFY, JobObject::Neither},
};

bool isDriveFunction(uint32_t function)
{
    switch (function) {
    case FSA_TF_SD_ZERO:
    case FSA_TF_SD_VERIFY:
    case FSA_TF_SD_EXERCISE:
    case FSA_TF_SD_VERIFY_REPLACE:
    case FSA_TF_SD_SECURE_ERASE:
        return true;
    default:
        return false;
    }
}

bool isContainerFunction(uint32_t function)
{
    switch (function) {
    case FSA_TF_CTR_ZERO:
    case FSA_TF_CTR_COPY:
    case FSA_TF_CTR_MCREATE:
    case FSA_TF_CTR_MSCRUB:
    case FSA_TF_CTR_R5REBUILD:
    case FSA_TF_CTR_R5SCRUB:
        return true;
    default:
        return (function >= FSA_TF_CTR_MORPH && function <= FSA_TF_CTR_UPDATE_SNAPSHOT) ||
               (function >= FSA_TF_UNKNOWN && function <= FSA_TF_CTR_SS_BACKUP) ||
               function == FSA_TF_CTR_ORVEXA_FLUSH;
    }
}

// Sends one task request; the reply lands in *reply. A failed send throws.
void sendTaskRequest(FSAAPI_CONTEXT* ctx, uint32_t request, uint32_t argument, _FIB* reply)
{
    uint8_t words[kRequestBytes] = {};
    faPutLe32(words + 0, request);
    faPutLe32(words + 8, argument);
    AIF_SendFIB(ctx, words, sizeof words, reply, 1);
}

// Records of `recordBytes` a reply announces, cut to what the table takes and
// to what the 512-byte block can hold: a Size that claims more is not
// followed past the block.
uint32_t replyRecordCount(const _FIB* reply, uint32_t recordBytes)
{
    const uint32_t size = reply->Header.Size;
    if (size < kReplySizeBase)
        return 0;
    const uint32_t room = static_cast<uint32_t>((sizeof reply->data - kReplyRecords) / recordBytes);
    return std::min({(size - kReplySizeBase) / recordBytes, AIF_MAX_TASKS, room});
}

const uint8_t* replyPayload(const _FIB* reply) { return reinterpret_cast<const uint8_t*>(reply) + kFibHeader; }

uint32_t listTasks(FSAAPI_CONTEXT* ctx, uint32_t request, uint32_t argument, FSA_TASK_DESCRIPTOR* descriptors)
{
    _FIB reply;
    std::memset(&reply, 0, sizeof reply);
    sendTaskRequest(ctx, request, argument, &reply);
    if (request == kRequestAllJobs)
        return AIF_TranslateJDResponseFIB(ctx, &reply, descriptors);
    return AIF_TranslatePRResponseFIB(ctx, &reply, descriptors);
}

}  // namespace

void CB_JobDescToTaskDesc(FSAAPI_CONTEXT* ctx, const AifJobDesc* job, FSA_TASK_DESCRIPTOR* out)
{
    std::memset(out, 0, sizeof *out);
    out->taskId = faGetLe32(job->bytes + kJobTaskId);
    out->function = FSA_TF_UNKNOWN;
    out->device.storageDeviceType = 1;
    out->container.number = 0xFFFFFFFFu;
    const uint32_t code = faGetLe32(job->bytes + kJobCode);
    const uint32_t object = faGetLe32(job->bytes + kJobObject);
    for (const JobMapping& m : kJobs) {
        if (m.code != code)
            continue;
        out->function = m.function;
        if (m.object == JobObject::Drive)
            SCSI_GetStandardID(ctx, &out->device, object);
        else if (m.object == JobObject::Container)
            out->container.number = object;
        return;
    }
    char text[] = "Unrecognized AIF job description code. Code = %d\n";
    UtilPrintDebugFormatted(text, static_cast<int>(code));
}

void CB_JobPRToTaskInfo(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifJobProgressReport* report,
                        FSA_TASK_INFO* out)
{
    std::memset(out->bytes, 0, sizeof out->bytes);
    AifJobDesc job;
    std::memcpy(job.bytes, report->bytes, sizeof job.bytes);
    FSA_TASK_DESCRIPTOR descriptor;
    CB_JobDescToTaskDesc(ctx, &job, &descriptor);
    std::memcpy(out->bytes, &descriptor, sizeof descriptor);
    const uint64_t total = faGetLe64(report->bytes + kReportTotal);
    const uint64_t done = faGetLe64(report->bytes + kReportDone);
    uint32_t progress = total == 0 ? 0 : static_cast<uint32_t>(done * 1000 / total);
    uint32_t state = 5;
    const uint32_t status = faGetLe32(report->bytes + kReportStatus);
    switch (status) {
    case 101: state = 1; break;
    case 102: state = 0; break;
    case 1:
    case 2:
        state = 2;
        progress = 1000;
        break;
    case 3: state = 4; break;
    case 4: state = 3; break;
    case 5: state = 6; break;
    case 6: state = 7; break;
    default: {
        char text[] = "Unrecognized AIF job progress status. Status = %d\n";
        UtilPrintDebugFormatted(text, static_cast<int>(status));
        break;
    }
    }
    faPutLe32(out->bytes + kInfoState, state);
    faPutLe32(out->bytes + kInfoProgress, progress);
    faPutLe32(out->bytes + kInfoSpecific1, faGetLe32(report->bytes + kReportSpecific1));
    faPutLe32(out->bytes + kInfoSpecific2, faGetLe32(report->bytes + kReportSpecific2));
    faPutLe32(out->bytes + kInfoAdapter, (second != nullptr ? second : ctx)->adapterIdentityWord);
}

uint32_t AIF_TranslateJDResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors)
{
    const uint32_t count = replyRecordCount(reply, sizeof(AifJobDesc));
    for (uint32_t i = 0; i < count; ++i) {
        AifJobDesc job;
        std::memcpy(job.bytes, replyPayload(reply) + kReplyRecords + i * sizeof job, sizeof job);
        CB_JobDescToTaskDesc(ctx, &job, &descriptors[i]);
    }
    return count;
}

uint32_t AIF_TranslatePRResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors)
{
    const uint32_t count = replyRecordCount(reply, sizeof(AifJobProgressReport));
    for (uint32_t i = 0; i < count; ++i) {
        AifJobDesc job;
        std::memcpy(job.bytes, replyPayload(reply) + kReplyRecords + i * sizeof(AifJobProgressReport),
                    sizeof job);
        CB_JobDescToTaskDesc(ctx, &job, &descriptors[i]);
    }
    return count;
}

void AIF_FillinTaskDescriptor(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        FSA_TASK_DESCRIPTOR& d = descriptors[i];
        d.adapterId = ctx->adapterIdentityWord;
        if (isContainerFunction(d.function))
            CT_GetStandardID(ctx, &d.container, d.container.number);
        else if (isDriveFunction(d.function))
            d.device.adapterSerial = ctx->adapterIdentityWord;
    }
}

uint32_t AIF_GetTaskListForAll(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors)
{
    return listTasks(ctx, kRequestAllJobs, 0, descriptors);
}

uint32_t AIF_GetTaskListForContainer(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_TASK_DESCRIPTOR* descriptors)
{
    return listTasks(ctx, kRequestContainerJobs, container, descriptors);
}

uint32_t AIF_GetTaskListForScsi(FSAAPI_CONTEXT* ctx, uint32_t deviceHandle, FSA_TASK_DESCRIPTOR* descriptors)
{
    return listTasks(ctx, kRequestDriveJobs, deviceHandle, descriptors);
}

FSA_STATUS AIF_GetTaskDetails(FSAAPI_CONTEXT* ctx, uint32_t taskId, FSA_TASK_INFO* out)
{
    _FIB reply;
    std::memset(&reply, 0, sizeof reply);
    sendTaskRequest(ctx, kRequestOneJob, taskId, &reply);
    const uint32_t status = faGetLe32(replyPayload(&reply) + kReplyStatus);
    if (status == kReplyNoSuchTask)
        return kStsNoSuchTask;
    if (status == kReplyFinished)
        return kStsTaskFinished;
    AifJobProgressReport report;
    std::memcpy(report.bytes, replyPayload(&reply) + kReplyRecords, sizeof report.bytes);
    CB_JobPRToTaskInfo(ctx, nullptr, &report, out);
    return FSA_STS_SUCCESS;
}

extern "C" FSA_STATUS FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device,
                                     const tag_FSA_CONTAINER* container, FSA_TASK_DESCRIPTOR* out, uint32_t* count,
                                     uint32_t outBytes)
{
    return FsaExportedCall("FsaGetTaskList", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((device != nullptr && container != nullptr) || count == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        FSA_TASK_DESCRIPTOR found[AIF_MAX_TASKS];
        uint32_t n = 0;
        if (device != nullptr)
            n = AIF_GetTaskListForScsi(ctx, static_cast<uint32_t>(SCSI_GetInternalID(ctx, device)), found);
        else if (container != nullptr)
            n = AIF_GetTaskListForContainer(ctx, container->number, found);
        else
            n = AIF_GetTaskListForAll(ctx, found);
        *count = n;
        if (out == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        const uint32_t copied = std::min<uint32_t>(n, outBytes / sizeof(FSA_TASK_DESCRIPTOR));
        std::memcpy(out, found, copied * sizeof(FSA_TASK_DESCRIPTOR));
        AIF_FillinTaskDescriptor(ctx, out, copied);
        return copied < n ? kStsMoreTasks : static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out)
{
    return FsaExportedCall("FsaGetTaskDetails", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (out == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return AIF_GetTaskDetails(ctx, taskId, out);
    });
}

namespace {

bool taskEnded(const FSA_TASK_INFO& info)
{
    const uint32_t state = faGetLe32(info.bytes + kInfoState);
    return state != 0 && state != 1;
}

// Lets the context mutex go for the length of a wait, so that other calls on
// the context proceed meanwhile.
class ContextMutexReleased {
public:
    // Only a context whose calls really take the mutex holds it; the others
    // only mark it held.
    explicit ContextMutexReleased(FSAAPI_CONTEXT* ctx)
        : ctx_(ctx), held_(ctx->mutexHeld != 0 && FsaTakesContextMutex(ctx) != 0)
    {
        if (held_) {
            ctx_->mutexHeld = 0;
            faos_ReleaseMutex(ctx_->contextMutex);
        }
    }
    ~ContextMutexReleased()
    {
        if (!held_)
            return;
        try {
            faos_WaitForAndGetMutex(ctx_->contextMutex);
            ctx_->mutexHeld = 1;
        } catch (FSA_STATUS) {
            // Not retaken within the limit: the call ends without it.
        }
    }
    ContextMutexReleased(const ContextMutexReleased&) = delete;
    ContextMutexReleased& operator=(const ContextMutexReleased&) = delete;

private:
    FSAAPI_CONTEXT* ctx_;
    bool held_;
};

}  // namespace

void CTaskCallbackManager::AddCallback(const ProgressCallbackInfo* info)
{
    constexpr uint32_t kGrowth = 5;
    StartAccess();
    if (count_ == capacity_) {
        void* grown = std::realloc(callbacks_, (capacity_ + kGrowth) * sizeof *callbacks_);
        if (grown == nullptr) {
            FinishAccess();
            throw static_cast<FSA_STATUS>(91);
        }
        callbacks_ = static_cast<ProgressCallbackInfo*>(grown);
        capacity_ += kGrowth;
    }
    callbacks_[count_++] = *info;
    FinishAccess();
}

void CTaskCallbackManager::RemoveCallback(uint32_t taskId)
{
    StartAccess();
    if (taskId == 0) {
        count_ = 0;
    } else {
        uint32_t i = 0;
        while (i < count_) {
            if (callbacks_[i].taskId == taskId)
                callbacks_[i] = callbacks_[--count_];
            else
                ++i;
        }
    }
    if (count_ == 0) {
        std::free(callbacks_);
        callbacks_ = nullptr;
        capacity_ = 0;
    }
    FinishAccess();
}

int CTaskCallbackManager::DoCallback(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifJobProgressReport* report,
                                     const FSA_TASK_INFO* given)
{
    FSA_TASK_INFO info;
    if (report != nullptr)
        CB_JobPRToTaskInfo(ctx, second, report, &info);
    else if (given != nullptr)
        info = *given;
    else
        return 0;
    const uint32_t taskId = faGetLe32(info.bytes + 0);
    const uint32_t progress = faGetLe32(info.bytes + kInfoProgress);
    const bool ended = taskEnded(info);
    int called = 0;
    bool signalled = false;
    StartAccess();
    for (uint32_t i = 0; i < count_; ++i) {
        // A copy: the callback may register or remove callbacks, which moves
        // or frees the list.
        const ProgressCallbackInfo entry = callbacks_[i];
        if (entry.taskId != 0 && entry.taskId != taskId)
            continue;
        uint32_t status = 1;
        bool final = false;
        if (ended) {
            if (entry.taskId == taskId) {
                status = 99;
                final = true;
            }
            // One signal for the waiter, however many entries match: a
            // second would end the next wait before its task did.
            if (taskId == awaitedTask_ && !signalled) {
                faos_SetSemaphore(semaphore_);
                signalled = true;
            }
        }
        if (entry.taskId != 0 && !final && entry.last + entry.step > progress)
            continue;
        char text[] = "callback-from-FsaGetTaskProgress\n";
        UtilPrintDebugFormatted(text);
        entry.callback(status, &info, entry.contextWord);
        if (i < count_ && callbacks_[i].taskId == entry.taskId && callbacks_[i].callback == entry.callback)
            callbacks_[i].last = progress;
        called = 1;
        if (final) {
            RemoveCallback(taskId);  // the list's mutex is ours to take again
            break;
        }
    }
    FinishAccess();
    return called;
}

void CTaskCallbackManager::WaitForTaskFinish(FSAAPI_CONTEXT* ctx, uint32_t taskId)
{
    faos_ResetSemaphore(semaphore_);
    awaitedTask_ = taskId;
    FSA_TASK_INFO info;
    const FSA_STATUS status = AIF_GetTaskDetails(ctx, taskId, &info);
    if (status != FSA_STS_SUCCESS)
        throw status;
    if (taskEnded(info))
        return;
    ContextMutexReleased unlocked(ctx);
    // The end is signalled only while a progress callback matches the task
    // and someone asks for progress; between signals the task's details are
    // read, so that the wait ends when the task does in any case.
    for (;;) {
        try {
            faos_WaitForSemaphore(semaphore_, 0);
            return;
        } catch (FSA_STATUS) {
            // No signal within the semaphore's limit: look at the task.
        }
        FSA_STATUS read = FSA_STS_SUCCESS;
        try {
            read = AIF_GetTaskDetails(ctx, taskId, &info);
        } catch (FSA_STATUS thrown) {
            read = thrown;
        }
        if (read != FSA_STS_SUCCESS || taskEnded(info))
            return;
    }
}

extern "C" FSA_STATUS FsaGetTaskProgress(void* handle, uint32_t taskId, uint32_t step,
                                         FSA_TASK_PROGRESS_CALLBACK callback, uint32_t contextWord)
{
    return FsaExportedCall("FsaGetTaskProgress", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        CTaskCallbackManager& manager = ctx->taskCallbackManager;
        if (callback == nullptr) {
            manager.RemoveCallback(taskId);
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        }
        const ProgressCallbackInfo entry{taskId, callback, step, 0, contextWord};
        manager.AddCallback(&entry);
        constexpr uint32_t kListed = 100;
        std::vector<FSA_TASK_DESCRIPTOR> tasks(kListed);
        uint32_t count = 0;
        const FSA_STATUS listed = FsaGetTaskList(handle, nullptr, nullptr, tasks.data(), &count,
                                                 static_cast<uint32_t>(kListed * sizeof(FSA_TASK_DESCRIPTOR)));
        if (listed != FSA_STS_SUCCESS)
            return listed;
        for (uint32_t i = 0; i < count && i < kListed; ++i) {
            _FIB reply;
            std::memset(&reply, 0, sizeof reply);
            sendTaskRequest(ctx, kRequestOneJob, tasks[i].taskId, &reply);
            if (faGetLe32(replyPayload(&reply) + kReplyStatus) == kReplyFinished ||
                replyRecordCount(&reply, sizeof(AifJobProgressReport)) == 0)
                continue;
            AifJobProgressReport report;
            std::memcpy(report.bytes, replyPayload(&reply) + kReplyRecords, sizeof report.bytes);
            manager.DoCallback(ctx, nullptr, &report, nullptr);
        }
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaWaitForTaskComplete(void* handle, uint32_t taskId, const tag_FSA_CONTAINER* container,
                                             const FSA_STORAGE_DEVICE* device)
{
    return FsaExportedCall("FsaWaitForTaskComplete", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        CTaskCallbackManager& manager = ctx->taskCallbackManager;
        if (taskId != 0) {
            if (container != nullptr || device != nullptr)
                return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
            manager.WaitForTaskFinish(ctx, taskId);
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        }
        if ((container == nullptr) == (device == nullptr))
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        // A task the firmware still lists after its wait ended would be
        // waited for again without end: each task is waited for once.
        std::set<uint32_t> waited;
        for (;;) {
            FSA_TASK_DESCRIPTOR first;
            uint32_t count = 0;
            const FSA_STATUS listed = FsaGetTaskList(handle, device, container, &first, &count, sizeof first);
            if (listed != FSA_STS_SUCCESS && listed != kStsMoreTasks)
                return listed;
            if (count == 0 || !waited.insert(first.taskId).second)
                return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
            manager.WaitForTaskFinish(ctx, first.taskId);
            if (count == 1)
                return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        }
    });
}

namespace {

constexpr uint32_t kRequestTerminate = 104;
constexpr uint32_t kRequestSuspend = 105;
constexpr uint32_t kRequestResume = 106;
constexpr uint32_t kRequestFinishJob = 110;

constexpr uint32_t kOperationSuspend = 0;
constexpr uint32_t kOperationResume = 1;
constexpr uint32_t kOperationTerminate = 2;

// A job ended on the host's behalf rather than run to its end.
constexpr uint32_t kFinishStopped = 3;

constexpr uint32_t kCommandPolls = 10;
constexpr unsigned kCommandPollMs = 1000;

constexpr uint32_t kStateRunning = 0;
constexpr uint32_t kStateSuspended = 1;

constexpr FSA_STATUS kStsFailed = 6;
constexpr FSA_STATUS kStsBadOperation = 92;
constexpr FSA_STATUS kStsTaskSuspended = 112;
constexpr FSA_STATUS kStsTaskRunning = 113;
constexpr FSA_STATUS kStsScsiTaskStays = 155;
constexpr FSA_STATUS kStsRebuildStays = 176;
constexpr FSA_STATUS kStsFormatTaskStays = 367;

bool isFormatFunction(uint32_t function)
{
    return function == FSA_TF_CTR_FORMAT_PRIMARY || function == FSA_TF_CTR_FORMAT_COMPACT ||
           function == FSA_TF_CTR_FORMAT_COMPACT_WIDE;
}

// Word 1 of a command's reply as a status.
FSA_STATUS commandStatus(uint32_t word)
{
    switch (word) {
    case 1: return FSA_STS_SUCCESS;
    case kReplyNoSuchTask: return kStsNoSuchTask;
    case kReplyFinished: return kStsTaskFinished;
    case 6: return kStsTaskSuspended;
    case 7: return kStsTaskRunning;
    default: return kStsFailed;
    }
}

FSA_STATUS taskCommand(FSAAPI_CONTEXT* ctx, void* handle, uint32_t taskId, uint32_t operation)
{
    uint32_t request = 0;
    switch (operation) {
    case kOperationSuspend: request = kRequestSuspend; break;
    case kOperationResume: request = kRequestResume; break;
    case kOperationTerminate: request = kRequestTerminate; break;
    default: return kStsBadOperation;
    }
    FSA_TASK_INFO info;
    const FSA_STATUS read = AIF_GetTaskDetails(ctx, taskId, &info);
    if (read != FSA_STS_SUCCESS)
        return read;
    const uint32_t function = faGetLe32(info.bytes + 4);
    if (operation == kOperationTerminate) {
        if (function == FSA_TF_CTR_R5REBUILD || function == FSA_TF_CTR_MREBUILD)
            return kStsRebuildStays;
        if (isFormatFunction(function) || function == FSA_TF_CTR_UPDATE_SNAPSHOT)
            return FtaFinishJob(handle, taskId, kFinishStopped) == 1 ? FSA_STS_SUCCESS : kStsFailed;
    } else {
        if (isDriveFunction(function))
            return kStsScsiTaskStays;
        if (isFormatFunction(function))
            return kStsFormatTaskStays;
    }

    _FIB reply;
    std::memset(&reply, 0, sizeof reply);
    sendTaskRequest(ctx, request, taskId, &reply);

    if (operation != kOperationTerminate) {
        // The controller takes a moment to suspend a task or set it running
        // again: the poll ends once the task has left the state it was in
        // before the command (running before a suspend, suspended before a
        // resume), or the read fails.
        const uint32_t before = operation == kOperationSuspend ? kStateRunning : kStateSuspended;
        for (uint32_t poll = 0; poll < kCommandPolls; ++poll) {
            faos_Sleep(kCommandPollMs);
            FSA_TASK_INFO now;
            FSA_STATUS polled = FSA_STS_SUCCESS;
            try {
                polled = AIF_GetTaskDetails(ctx, taskId, &now);
            } catch (FSA_STATUS thrown) {
                polled = thrown;
            }
            if (polled != FSA_STS_SUCCESS || faGetLe32(now.bytes + kInfoState) != before)
                break;
        }
    }
    return commandStatus(faGetLe32(replyPayload(&reply) + kReplyStatus));
}

}  // namespace

uint32_t FtaFinishJob(void* handle, uint32_t taskId, uint32_t finishCode)
{
    constexpr uint16_t kAifCommand = 700;
    alignas(_FIB) uint8_t fib[FSA_FIB_SIZE] = {};
    faBuildFib(fib, sizeof fib, kAifCommand, static_cast<uint16_t>(kRequestBytes));
    uint8_t* payload = fib + kFibHeader;
    faPutLe32(payload + 0, kRequestFinishJob);
    faPutLe32(payload + 8, taskId);
    faPutLe32(payload + 12, finishCode);
    const FSA_STATUS sent = FsaSendReceiveFib(handle, faAsFib(fib));
    if (sent != FSA_STS_SUCCESS)
        throw sent;
    if (faGetLe32(payload + 0) != 0)
        return 4;
    const uint32_t result = faGetLe32(payload + kReplyStatus);
    if (result == 1)
        return 1;
    return result == kReplyNoSuchTask ? 3 : 5;
}

extern "C" FSA_STATUS FsaTask(void* handle, uint32_t taskId, uint32_t operation)
{
    return FsaExportedCall("FsaTask", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return taskCommand(ctx, handle, taskId, operation); });
}
