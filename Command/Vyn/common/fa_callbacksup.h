#ifndef VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H
#define VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;
struct FSA_TASK_DESCRIPTOR;
struct AifJobProgressReport;

// A task progress callback: status 1 for progress, 99 for the final call,
// the task's information and the caller's context word.
typedef void (*FSA_TASK_PROGRESS_CALLBACK)(uint32_t status, const FSA_TASK_INFO* info, uint32_t contextWord);

// One registered progress callback: its task (0: every task), the step in
// tenths of a percent between calls and the progress last reported.
struct ProgressCallbackInfo {
    uint32_t taskId;
    FSA_TASK_PROGRESS_CALLBACK callback;
    uint32_t step;
    uint32_t last;
    uint32_t contextWord;
};

// One task as the API names it: its id, its function (FSA_TF_*), the drive or
// the container it works on and the adapter identifier.
struct FSA_TASK_DESCRIPTOR {
    uint32_t taskId;
    uint32_t function;
    FSA_STORAGE_DEVICE device;
    tag_FSA_CONTAINER container;
    uint32_t adapterId;
};
static_assert(sizeof(FSA_TASK_DESCRIPTOR) == 36, "task descriptor is 36 bytes");

// Task functions of a descriptor.
enum FSA_TASK_FUNCTION : uint32_t {
    FSA_TF_SD_ZERO = 0,
    FSA_TF_SD_VERIFY = 1,
    FSA_TF_SD_EXERCISE = 2,
    FSA_TF_CTR_ZERO = 3,
    FSA_TF_CTR_COPY = 4,
    FSA_TF_CTR_MCREATE = 5,
    FSA_TF_RESERVED1 = 6,
    FSA_TF_CTR_MSCRUB = 7,
    FSA_TF_CTR_R5REBUILD = 8,
    FSA_TF_CTR_R5SCRUB = 9,
    FSA_TF_RESERVED2 = 10,
    FSA_TF_RESERVED3 = 11,
    FSA_TF_SD_VERIFY_REPLACE = 12,
    FSA_TF_RESERVED4 = 13,
    FSA_TF_CTR_MORPH = 14,
    // The three host file-system formats a container task may run, named by
    // their role: the primary format, the compact one and its wide variant.
    FSA_TF_CTR_FORMAT_PRIMARY = 15,
    FSA_TF_CTR_FORMAT_COMPACT = 16,
    FSA_TF_CTR_MREBUILD = 17,
    FSA_TF_CTR_UPDATE_SNAPSHOT = 18,
    FSA_TF_ADAPTER_VERIFY = 19,
    FSA_TF_UNKNOWN = 20,
    FSA_TF_CTR_FORMAT_COMPACT_WIDE = 21,
    FSA_TF_CTR_COPYBACK = 22,
    FSA_TF_CTR_R5EECOMPACT = 23,
    FSA_TF_CTR_R5EEEXPAND = 24,
    FSA_TF_CTR_R6REBUILD = 25,
    FSA_TF_CTR_R6SCRUB = 26,
    FSA_TF_CTR_SS_BACKUP = 27,
    FSA_TF_SD_SECURE_ERASE = 28,
    FSA_TF_CTR_ORVEXA_FLUSH = 29,
};

// Firmware task records of the adapter-initiated task requests, read with the
// little-endian helpers: a job description (task id, job code, object) and a
// progress report (the job description, status at 16, total at 24, done at
// 32, task-specific values at 40 and 44).
struct AifJobDesc {
    uint8_t bytes[16];
};
static_assert(sizeof(AifJobDesc) == 16, "job description is 16 bytes");
struct AifJobProgressReport {
    uint8_t bytes[48];
};
static_assert(sizeof(AifJobProgressReport) == 48, "progress report is 48 bytes");

// Tables of task descriptors hold what one 512-byte reply can carry.
constexpr uint32_t AIF_MAX_TASKS = 29;

// The context's list of task progress callbacks and the wait for a task's
// end.
class CTaskCallbackManager {
public:
    // Creates the mutex, clears the list under it, creates the semaphore
    // (throws 485 or 489).
    CTaskCallbackManager();
    ~CTaskCallbackManager();
    CTaskCallbackManager(const CTaskCallbackManager&) = delete;
    CTaskCallbackManager& operator=(const CTaskCallbackManager&) = delete;

    void StartAccess();
    void FinishAccess();

    // Grows the list by 5 entries when full (throws 91).
    void AddCallback(const ProgressCallbackInfo* info);
    // Task 0 empties the list.
    void RemoveCallback(uint32_t taskId);
    // Calls the callbacks that the task's progress concerns, from a report or
    // given information; 1 when one was called. A final call removes the
    // task's entries and, for the awaited task, ends the wait.
    int DoCallback(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifJobProgressReport* report,
                   const FSA_TASK_INFO* info);
    // Waits, without the context mutex, until the task has ended (throws the
    // status of a failed details read).
    void WaitForTaskFinish(FSAAPI_CONTEXT* ctx, uint32_t taskId);
    uint32_t CallbackCount() const { return count_; }

private:
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    ProgressCallbackInfo* callbacks_ = nullptr;
    void* semaphore_ = nullptr;
    uint32_t awaitedTask_ = 0;
    void* mutex_ = nullptr;
};

// Firmware tasks.
extern "C" {
FSA_STATUS FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device, const tag_FSA_CONTAINER* container,
                          FSA_TASK_DESCRIPTOR* out, uint32_t* count, uint32_t outBytes);
FSA_STATUS FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out);
FSA_STATUS FsaWaitForTaskComplete(void* handle, uint32_t taskId, const tag_FSA_CONTAINER* container,
                                  const FSA_STORAGE_DEVICE* device);
FSA_STATUS FsaGetTaskProgress(void* handle, uint32_t taskId, uint32_t step, FSA_TASK_PROGRESS_CALLBACK callback,
                              uint32_t contextWord);
// Operation 0 suspends, 1 resumes, 2 terminates. Drive tasks and format
// tasks cannot be suspended or resumed (155, 367), rebuilds cannot be
// terminated (176); format and snapshot-update tasks are ended by finishing
// their job.
FSA_STATUS FsaTask(void* handle, uint32_t taskId, uint32_t operation);
}

// Finishes the task's job with a finish code through the handle's FIB
// pass-through: 1 accepted, 4 when the controller refused the request, 3 when
// it knows no such task, 5 otherwise. A failed send is thrown.
uint32_t FtaFinishJob(void* handle, uint32_t taskId, uint32_t finishCode);

// Task lists into an array of 29 descriptors; the number of tasks.
uint32_t AIF_GetTaskListForAll(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_GetTaskListForContainer(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_GetTaskListForScsi(FSAAPI_CONTEXT* ctx, uint32_t deviceHandle, FSA_TASK_DESCRIPTOR* descriptors);
// A task-list reply as descriptors; the number of records.
uint32_t AIF_TranslateJDResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_TranslatePRResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors);
void AIF_FillinTaskDescriptor(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors, uint32_t count);
// A job description as a descriptor (function by job code; the drive or the
// container record from the object).
void CB_JobDescToTaskDesc(FSAAPI_CONTEXT* ctx, const AifJobDesc* job, FSA_TASK_DESCRIPTOR* out);
// A progress report as task information; the adapter identifier comes from
// `second` when given.
void CB_JobPRToTaskInfo(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifJobProgressReport* report,
                        FSA_TASK_INFO* out);
// The details of one task into *out: 1, 100 (no such task) or 111 (already
// finished); a failed send is thrown.
FSA_STATUS AIF_GetTaskDetails(FSAAPI_CONTEXT* ctx, uint32_t taskId, FSA_TASK_INFO* out);

#endif
