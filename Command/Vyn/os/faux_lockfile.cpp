#include "Command/Vyn/os/faux_lockfile.h"
#include "Command/Vyn/os/faux_misc.h"

#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

CAdapterLockHandler clsALH;

namespace {

constexpr const char* kLockDir = "/var/lock";
constexpr unsigned kPollMs = 50;
constexpr unsigned kOpenLimitMs = 120000;

std::atomic<uint32_t> nGlobalLockCount{0};

uint32_t nextLockId() { return faux_NextObjectId(nGlobalLockCount); }

const char* typeName(int type)
{
    switch (type) {
    case F_RDLCK:
        return "F_RDLCK";
    case F_WRLCK:
        return "F_WRLCK";
    case F_UNLCK:
        return "F_UNLCK";
    default:
        return "????";
    }
}

}  // namespace

CLock::CLock() : lockId(nextLockId()), lockName{}, fd(-1), next(nullptr) {}

CLock::~CLock()
{
    if (fd >= 0)
        hostIo().close(fd);
}

void CLock::SetName(const char* adapterName)
{
    // A name that does not fit leaves no half path behind.
    if (std::snprintf(lockName, sizeof lockName, "%s/.%slock", kLockDir, adapterName) >= static_cast<int>(sizeof lockName))
        lockName[0] = '\0';
}

void CLock::CreateLock()
{
    struct stat st;
    if (hostIo().stat(kLockDir, &st) != 0 && errno == ENOENT) {
        // The mode is set explicitly: switching the umask would race with
        // other threads that create files.
        if (hostIo().mkdir(kLockDir, 0775) == 0)
            hostIo().chmod(kLockDir, 0775);
    }
    // The lock directory is writable by everyone on most hosts: a link planted
    // there must not lead the creation elsewhere.
    const int created = hostIo().open(lockName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (created < 0) {
        const int err = errno;
        FsaUxDbgFilePrintf(0, FAUX_DBG_LOCK, 1, "-- CreateLock: %s [ERR:%d:%s]\n", lockName, err, std::strerror(err));
        throw static_cast<FSA_STATUS>(err == EACCES ? FSA_STS_UX_AUTH_REQUIRED : FSA_STS_UX_LOCK_CREATE_FAILED);
    }
    hostIo().chmod(lockName, 0600);
    // The content is the file's own logical path, without a terminating zero.
    const size_t len = std::strlen(lockName);
    const ssize_t written = hostIo().write(created, lockName, len);
    hostIo().close(created);
    if (written != static_cast<ssize_t>(len))
        throw static_cast<FSA_STATUS>(FSA_STS_UX_LOCK_CREATE_FAILED);
}

int CLock::OpenLock(const char* adapterName)
{
    if (fd < 0)
        SetName(adapterName);
    if (lockName[0] == '\0')
        throw static_cast<FSA_STATUS>(FSA_STS_UX_LOCK_OPEN_FAILED);
    int opened = -1;
    int err = 0;
    for (unsigned waited = 0;; waited += kPollMs) {
        opened = hostIo().open(lockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
        err = errno;
        if (opened < 0 && err == ENOENT) {
            CreateLock();
            opened = hostIo().open(lockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
            err = errno;
        }
        // Neither a refusal nor a link planted in the lock directory (ELOOP
        // under O_NOFOLLOW) goes away by waiting.
        if (opened >= 0 || err == EACCES || err == ELOOP || waited + kPollMs > kOpenLimitMs)
            break;
        hostIo().sleepMs(kPollMs);
    }
    if (opened < 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_LOCK, 1, "-- OpenLock: %s [ERR:%d:%s]\n", lockName, err, std::strerror(err));
        throw static_cast<FSA_STATUS>(err == EACCES ? FSA_STS_UX_AUTH_REQUIRED : FSA_STS_UX_LOCK_OPEN_FAILED);
    }
    fd = opened;
    return 1;
}

void CLock::CloseLock()
{
    if (fd < 0)
        return;
    const int rc = hostIo().close(fd);
    fd = -1;
    if (rc != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_LOCK, 1, "-- CloseLock: throw FSA_STS_UX_LOCK_CLOSE_FAILED\n");
        throw static_cast<FSA_STATUS>(FSA_STS_UX_LOCK_CLOSE_FAILED);
    }
}

int CLock::fcntlLock(int cmd, int type)
{
    if (fd < 0)
        return FSA_AVL_UNKNOWN;
    struct flock record;
    std::memset(&record, 0, sizeof record);
    record.l_type = static_cast<short>(type);
    record.l_whence = SEEK_SET;
    record.l_start = 0;
    record.l_len = 1;
    FsaUxDbgFilePrintf(0, FAUX_DBG_LOCK, 4, "-- fcntlLock: %s cmd %d type %s whence SEEK_SET start 0 len 1\n", lockName,
                       cmd, typeName(type));
    if (cmd != F_GETLK && cmd != F_SETLK)
        return FSA_AVL_UNKNOWN;
    if (type < 0 || type > 2)
        return FSA_AVL_UNKNOWN;
    // Asking about an unlock means nothing to the kernel; its answer is fixed.
    const bool ask = !(cmd == F_GETLK && type == F_UNLCK);
    if (ask && hostIo().fcntlLock(fd, cmd, &record) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            return FSA_AVL_READ_ONLY;
        throw static_cast<FSA_STATUS>(FSA_STS_UX_LOCK_FCNTL_FAILED);
    }
    static const int answers[2][3] = {
        {FSA_AVL_READ_ONLY, FSA_AVL_READ_WRITE, FSA_AVL_UNKNOWN},  // F_GETLK
        {FSA_AVL_READ_ONLY, FSA_AVL_READ_ONLY, FSA_AVL_READ_WRITE}, // F_SETLK
    };
    return answers[cmd == F_GETLK ? 0 : 1][type];
}

FSA_ADAPTER_AVAIL_TYPE CLock::QuerryLock(const char* adapterName)
{
    if (fd >= 0)
        return static_cast<FSA_ADAPTER_AVAIL_TYPE>(fcntlLock(F_GETLK, F_WRLCK));
    // Opening creates the file when missing: enumeration leaves lock files.
    OpenLock(adapterName);
    const int answer = fcntlLock(F_GETLK, F_WRLCK);
    CloseLock();
    return static_cast<FSA_ADAPTER_AVAIL_TYPE>(answer);
}

int CLock::TakeLock(const char* adapterName)
{
    if (QuerryLock(adapterName) != FSA_AVL_READ_WRITE)
        return 0;
    OpenLock(adapterName);
    return fcntlLock(F_SETLK, F_WRLCK) == FSA_AVL_READ_ONLY ? 1 : 0;
}

int CLock::ReleaseLock() { return fcntlLock(F_SETLK, F_UNLCK) == FSA_AVL_READ_WRITE ? 1 : 0; }

CAdapterLockHandler::~CAdapterLockHandler()
{
    while (head_ != nullptr) {
        CLock* next = head_->next;
        try {
            head_->CloseLock();
        } catch (FSA_STATUS) {
        }
        delete head_;
        head_ = next;
    }
}

CLock* CAdapterLockHandler::findAdapterInList(const CLock* lock, CLock** previous)
{
    CLock* prev = nullptr;
    for (CLock* cur = head_; cur != nullptr; prev = cur, cur = cur->next) {
        if (std::strcmp(cur->lockName, lock->lockName) == 0) {
            if (previous != nullptr)
                *previous = prev;
            return cur;
        }
    }
    return nullptr;
}

CLock* CAdapterLockHandler::getLastAdapter()
{
    CLock* cur = head_;
    while (cur != nullptr && cur->next != nullptr)
        cur = cur->next;
    return cur;
}

CLock* CAdapterLockHandler::addAdapter(CLock* lock)
{
    lock->next = nullptr;
    CLock* last = getLastAdapter();
    if (last == nullptr) {
        head_ = lock;
        return nullptr;
    }
    last->next = lock;
    return last;
}

void CAdapterLockHandler::delAdapter(CLock* lock, CLock* previous)
{
    if (previous != nullptr)
        previous->next = lock->next;
    else
        head_ = lock->next;
    lock->next = nullptr;
}

FSA_ADAPTER_AVAIL_TYPE CAdapterLockHandler::QuerryAdapter(char* name)
{
    CLock probe;
    probe.SetName(name);
    {
        std::lock_guard<std::mutex> guard(listMutex_);
        if (findAdapterInList(&probe, nullptr) != nullptr)
            return FSA_AVL_READ_WRITE;
    }
    return probe.QuerryLock(name);
}

int CAdapterLockHandler::TakeAdapter(char* name, FSA_ACCESS access)
{
    if (access != FSA_ACC_READ_WRITE)
        return 1;
    std::unique_ptr<CLock> lock(new (std::nothrow) CLock);
    if (!lock)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    lock->SetName(name);
    std::lock_guard<std::mutex> guard(listMutex_);
    if (findAdapterInList(lock.get(), nullptr) != nullptr)
        return 1;
    if (!lock->TakeLock(name))
        return 0;
    addAdapter(lock.release());
    return 1;
}

void CAdapterLockHandler::ReleaseAdapter(char* name)
{
    CLock probe;
    probe.SetName(name);
    std::lock_guard<std::mutex> guard(listMutex_);
    CLock* previous = nullptr;
    CLock* found = findAdapterInList(&probe, &previous);
    if (found == nullptr)
        return;
    delAdapter(found, previous);
    try {
        found->CloseLock();
    } catch (FSA_STATUS) {
        // The descriptor is gone either way; the entry must not stay behind.
    }
    delete found;
}

unsigned CAdapterLockHandler::count()
{
    std::lock_guard<std::mutex> guard(listMutex_);
    unsigned n = 0;
    for (CLock* cur = head_; cur != nullptr; cur = cur->next)
        ++n;
    return n;
}
