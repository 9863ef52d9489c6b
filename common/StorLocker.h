#ifndef VYN_COMMON_STORLOCKER_H
#define VYN_COMMON_STORLOCKER_H

#include <cstdio>
#include <semaphore.h>
#include <string>

// Controller type code; its values belong to the controller object.
enum EnumAdapterType : int;

// Owners delete the concrete lockers; the interface has no virtual destructor.
class Locker {
public:
    Locker() = default;
    virtual void getLock() = 0;
    virtual void releaseLock() = 0;

protected:
    ~Locker() = default;
};

// Serialises the processes of one machine on the System V semaphore set with
// the fixed key UNIX_LOCKER_KEY, shared by every UnixLocker. The set outlives
// the locker; only the lock file is removed with it.
class UnixLocker final : public Locker {
public:
    static constexpr int UNIX_LOCKER_KEY = 54321;

    UnixLocker(EnumAdapterType type, char* suffix);
    ~UnixLocker();
    UnixLocker(const UnixLocker&) = delete;
    UnixLocker& operator=(const UnixLocker&) = delete;

    void getLock() override;
    void releaseLock() override;

    const std::string& path() const { return path_; }
    bool hasSemaphore() const { return semId_ >= 0; }

private:
    int semId_;         // -1: no semaphore, the locker locks nothing
    std::string path_;  // sized to the host root and suffix, never truncated
    FILE* file_;
};

class SemLocker : public Locker {
public:
    SemLocker() = default;
    virtual int getLockWithTimeout(long ms) = 0;

protected:
    ~SemLocker() = default;
};

// A counting lock for the threads of one process.
class UnixSemLocker : public SemLocker {
public:
    explicit UnixSemLocker(long initial);
    virtual ~UnixSemLocker();
    UnixSemLocker(const UnixSemLocker&) = delete;
    UnixSemLocker& operator=(const UnixSemLocker&) = delete;

    void getLock() override;
    void releaseLock() override;
    // Up to ms attempts a millisecond apart; 1 when obtained, else 0.
    int getLockWithTimeout(long ms) override;

private:
    sem_t sem_;
    long initial_;
};

#endif
