#include "common/StorLocker.h"

#include "common/HostPath.h"
#include "common/OsServices.h"

#include <cerrno>
#include <sys/ipc.h>
#include <sys/sem.h>

namespace {

// semctl's fourth argument, which the caller must declare.
union SemArg {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

void changeSemaphore(int semId, short delta)
{
    struct sembuf op = {0, delta, 0};
    while (semop(semId, &op, 1) == -1 && errno == EINTR) {
    }
}

std::string lockFileName(EnumAdapterType type, const char* suffix)
{
    std::string name = "/StorLock" + std::to_string(static_cast<int>(type));
    if (suffix != nullptr)
        name += suffix;
    return vynHostPath(name.c_str());
}

}  // namespace

UnixLocker::UnixLocker(EnumAdapterType type, char* suffix)
    : semId_(-1), path_(lockFileName(type, suffix)), file_(nullptr)
{
    file_ = std::fopen(path_.c_str(), "w+");
    if (file_ == nullptr)
        perror("File open failed:");

    // The key of the file only proves that the lock file is usable; the set
    // itself is the machine-wide one.
    if (ftok(path_.c_str(), UNIX_LOCKER_KEY) == -1) {
        perror("key for lock unavailable:");
        return;
    }

    semId_ = semget(UNIX_LOCKER_KEY, 1, IPC_CREAT | IPC_EXCL | 0777);
    if (semId_ >= 0) {
        SemArg arg;
        arg.val = 1;
        if (semctl(semId_, 0, SETVAL, arg) == -1)
            perror("set value for semaphore failed:");
        return;
    }
    // Another locker made the set; its current value belongs to its holders.
    semId_ = semget(UNIX_LOCKER_KEY, 1, IPC_CREAT | 0777);
}

UnixLocker::~UnixLocker()
{
    if (file_ != nullptr)
        std::fclose(file_);
    if (std::remove(path_.c_str()) != 0)
        perror("Error deleting lock file");
}

// No SEM_UNDO: a process that dies holding the lock leaves it taken, as every
// other holder of the machine-wide set expects.
void UnixLocker::getLock()
{
    if (semId_ >= 0)
        changeSemaphore(semId_, -1);
}

void UnixLocker::releaseLock()
{
    if (semId_ >= 0)
        changeSemaphore(semId_, 1);
}

UnixSemLocker::UnixSemLocker(long initial) : initial_(initial)
{
    sem_init(&sem_, 0, static_cast<unsigned int>(initial));
}

UnixSemLocker::~UnixSemLocker()
{
    sem_destroy(&sem_);
}

void UnixSemLocker::getLock()
{
    while (sem_wait(&sem_) == -1 && errno == EINTR) {
    }
}

void UnixSemLocker::releaseLock()
{
    sem_post(&sem_);
}

int UnixSemLocker::getLockWithTimeout(long ms)
{
    for (long attempt = 0; attempt < ms; ++attempt) {
        if (sem_trywait(&sem_) == 0)
            return 1;
        MilliSleep(1);
    }
    return 0;
}
