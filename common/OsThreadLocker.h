#ifndef VYN_COMMON_OSTHREADLOCKER_H
#define VYN_COMMON_OSTHREADLOCKER_H

#include <pthread.h>

// The system's thread lock. It is recursive because the debug tracer locks it
// once more for every nested traced call of the same thread.
class osThreadLocker {
public:
    osThreadLocker();
    ~osThreadLocker();
    osThreadLocker(const osThreadLocker&) = delete;
    osThreadLocker& operator=(const osThreadLocker&) = delete;

    void Lock();
    void UnLock();
    bool TryLock();

private:
    pthread_mutex_t mutex_;
};

// Holds a locker for its own lifetime; a null locker is never locked.
class osThreadLockerGrabber {
public:
    explicit osThreadLockerGrabber(osThreadLocker* locker);
    explicit osThreadLockerGrabber(osThreadLocker& locker);
    ~osThreadLockerGrabber();
    osThreadLockerGrabber(const osThreadLockerGrabber&) = delete;
    osThreadLockerGrabber& operator=(const osThreadLockerGrabber&) = delete;

private:
    osThreadLocker* locker_;
};

#endif
