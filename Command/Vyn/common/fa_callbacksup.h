#ifndef VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H
#define VYN_COMMAND_VYN_COMMON_FA_CALLBACKSUP_H

#include <cstdint>

struct ProgressCallbackInfo;

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

#endif
