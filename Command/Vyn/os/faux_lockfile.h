#ifndef VYN_COMMAND_VYN_OS_FAUX_LOCKFILE_H
#define VYN_COMMAND_VYN_OS_FAUX_LOCKFILE_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>
#include <mutex>

// One adapter lock file, "/var/lock/.<adapter>lock", whose content is its own
// path. Paths are logical; the host root applies inside the seam only.
class CLock {
public:
    CLock();
    ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    // Stores the lock name of an adapter (does not open anything).
    void SetName(const char* adapterName);
    const char* GetName() const { return lockName; }
    bool IsOpen() const { return fd >= 0; }

    // 1, or throws 475 / 484 (477 through CreateLock).
    int OpenLock(const char* adapterName);
    // Creates the file (and /var/lock when missing); throws 477 or 484.
    void CreateLock();
    // Throws 476.
    void CloseLock();
    FSA_ADAPTER_AVAIL_TYPE QuerryLock(const char* adapterName);
    int TakeLock(const char* adapterName);
    int ReleaseLock();
    // cmd 5 (F_GETLK) or 6 (F_SETLK), type 0 read, 1 write, 2 unlock.
    int fcntlLock(int cmd, int type);

    uint32_t lockId;
    char lockName[40];
    int fd;
    CLock* next;
};

// The adapters this process holds read-write, so that one process can open an
// adapter read-write more than once with one lock.
class CAdapterLockHandler {
public:
    CAdapterLockHandler() = default;
    ~CAdapterLockHandler();
    CAdapterLockHandler(const CAdapterLockHandler&) = delete;
    CAdapterLockHandler& operator=(const CAdapterLockHandler&) = delete;

    FSA_ADAPTER_AVAIL_TYPE QuerryAdapter(char* name);
    // 1 granted, 0 refused; only FSA_ACC_READ_WRITE takes a lock.
    int TakeAdapter(char* name, FSA_ACCESS access);
    void ReleaseAdapter(char* name);
    // Entries held, for diagnostics and tests.
    unsigned count();

private:
    CLock* findAdapterInList(const CLock* lock, CLock** previous);
    CLock* addAdapter(CLock* lock);
    CLock* getLastAdapter();
    void delAdapter(CLock* lock, CLock* previous);

    CLock* head_ = nullptr;
    // Adapter opens of several threads may meet here.
    std::mutex listMutex_;
};

extern CAdapterLockHandler clsALH;

#endif
