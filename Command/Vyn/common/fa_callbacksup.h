#ifndef VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H
#define VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct ProgressCallbackInfo;
struct FSA_STORAGE_DEVICE;
struct FSA_TASK_INFO;
struct tag_FSA_CONTAINER;
struct _FIB;

// One task of the task lists (36 bytes): word 0 the task id, word 1 the task
// function, bytes 8-19 the drive of a drive task, word 5 the number of the
// object the task runs on, word 6 the container number of a container task.
struct FSA_TASK_DESCRIPTOR {
    uint8_t bytes[36];
};
static_assert(sizeof(FSA_TASK_DESCRIPTOR) == 36, "task descriptor is 36 bytes");

// The context's list of task progress callbacks. Only its construction,
// destruction and the access lock live here; the callbacks themselves come
// with the task operations.
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

private:
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    ProgressCallbackInfo* callbacks_ = nullptr;
    void* semaphore_ = nullptr;
    uint32_t awaitedTask_ = 0;
    void* mutex_ = nullptr;
};

// A task progress callback: status 1 for progress, 99 for the final call,
// the task's information and the caller's context word.
typedef void (*FSA_TASK_PROGRESS_CALLBACK)(uint32_t status, const FSA_TASK_INFO* info, uint32_t contextWord);

// Firmware tasks. Not available yet: the exports answer 31 and the internal
// routines throw it.
extern "C" {
FSA_STATUS FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device, const tag_FSA_CONTAINER* container,
                          FSA_TASK_DESCRIPTOR* out, uint32_t* count, uint32_t outBytes);
FSA_STATUS FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out);
FSA_STATUS FsaWaitForTaskComplete(void* handle, uint32_t taskId, const tag_FSA_CONTAINER* container,
                                  const FSA_STORAGE_DEVICE* device);
FSA_STATUS FsaGetTaskProgress(void* handle, uint32_t taskId, uint32_t step, FSA_TASK_PROGRESS_CALLBACK callback,
                              uint32_t contextWord);
// Operation 0 suspends, 1 resumes, 2 terminates.
FSA_STATUS FsaTask(void* handle, uint32_t taskId, uint32_t operation);
}

// Task lists into an array of 29 descriptors; the number of tasks.
uint32_t AIF_GetTaskListForAll(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_GetTaskListForContainer(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_GetTaskListForScsi(FSAAPI_CONTEXT* ctx, uint32_t deviceHandle, FSA_TASK_DESCRIPTOR* descriptors);
// A task-list reply as descriptors; the number of records.
uint32_t AIF_TranslateJDResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors);
uint32_t AIF_TranslatePRResponseFIB(FSAAPI_CONTEXT* ctx, const _FIB* reply, FSA_TASK_DESCRIPTOR* descriptors);
void AIF_FillinTaskDescriptor(FSAAPI_CONTEXT* ctx, FSA_TASK_DESCRIPTOR* descriptors, uint32_t count);

#endif
