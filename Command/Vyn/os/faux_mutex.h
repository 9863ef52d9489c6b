#ifndef VYN_COMMAND_VYN_OS_FAUX_MUTEX_H
#define VYN_COMMAND_VYN_OS_FAUX_MUTEX_H

#include "Command/Vyn/common/fa_types.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>

// A re-entrant mutex of the firmware interface. The POSIX mutex is of the
// adaptive, non-recursive kind; re-entry by its owner is counted here.
struct CMutexHandle {
    uint32_t id;
    char* name;
    pthread_mutex_t mutex;
    // Read by other threads without the lock to decide re-entry; written only
    // by the owner while it holds the POSIX mutex.
    std::atomic<int> locked;
    std::atomic<int> lockCount;
    std::atomic<pthread_t> owner;  // kNoOwner when free
};

// Creates a mutex (throws 485 when the POSIX mutex cannot be initialised).
void* faos_CreateMutex(char* name);
// 1; polls every 50 ms and throws 486 after 120000 ms.
FSA_STATUS faos_WaitForAndGetMutex(void* m);
// 1 released one level; 0 when the caller does not hold it; throws 487.
FSA_STATUS faos_ReleaseMutex(void* m);
// 1; 0 for null; throws 488.
FSA_STATUS faos_DestroyMutex(void* m);
// 1 when another holder has the mutex, 0 when it is free or null.
int faux_locked(void* m);

// Takes a mutex for one scope.
class FAUX_AUTORELEASE_MUTEX {
public:
    explicit FAUX_AUTORELEASE_MUTEX(void* mutex) : mutex_(mutex) { faos_WaitForAndGetMutex(mutex_); }
    ~FAUX_AUTORELEASE_MUTEX() { faos_ReleaseMutex(mutex_); }
    FAUX_AUTORELEASE_MUTEX(const FAUX_AUTORELEASE_MUTEX&) = delete;
    FAUX_AUTORELEASE_MUTEX& operator=(const FAUX_AUTORELEASE_MUTEX&) = delete;

private:
    void* mutex_;
};

#endif
