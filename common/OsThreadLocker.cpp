#include "common/OsThreadLocker.h"

osThreadLocker::osThreadLocker()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex_, &attr);
    pthread_mutexattr_destroy(&attr);
}

osThreadLocker::~osThreadLocker()
{
    pthread_mutex_destroy(&mutex_);
}

void osThreadLocker::Lock()
{
    pthread_mutex_lock(&mutex_);
}

void osThreadLocker::UnLock()
{
    pthread_mutex_unlock(&mutex_);
}

bool osThreadLocker::TryLock()
{
    return pthread_mutex_trylock(&mutex_) == 0;
}

osThreadLockerGrabber::osThreadLockerGrabber(osThreadLocker* locker) : locker_(locker)
{
    if (locker_ != nullptr)
        locker_->Lock();
}

osThreadLockerGrabber::osThreadLockerGrabber(osThreadLocker& locker) : osThreadLockerGrabber(&locker)
{
}

osThreadLockerGrabber::~osThreadLockerGrabber()
{
    if (locker_ != nullptr)
        locker_->UnLock();
}
