#ifndef VYN_COMMAND_VYN_OS_HOSTIO_H
#define VYN_COMMAND_VYN_OS_HOSTIO_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

// The one seam between the firmware interface's OS layer and the host: every
// call on /dev, /proc, /sys and the adapter lock files, and every sleep of the
// firmware interface, goes through hostIo(). The default talks to the kernel;
// the simulated driver of platform/hostsim answers in-process when
// VYN_SIMULATOR asks for it. Code above the seam never asks which it has.
class HostIo {
public:
    virtual ~HostIo() = default;
    // Paths are logical ("/dev/ulb0"); every implementation maps them under
    // VYN_HOST_ROOT just before the system call. Results and errno as libc.
    virtual int     open(const char* path, int flags, mode_t mode = 0) = 0;
    virtual int     close(int fd) = 0;
    virtual ssize_t read(int fd, void* buf, size_t len) = 0;
    virtual ssize_t write(int fd, const void* buf, size_t len) = 0;
    virtual int     ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual int     ioctlValue(int fd, unsigned long request, unsigned long value) = 0;
    virtual int     fcntlLock(int fd, int cmd, struct flock* lock) = 0;
    virtual int     stat(const char* path, struct stat* st) = 0;
    virtual int     access(const char* path, int mode) = 0;
    virtual int     mknod(const char* path, mode_t mode, dev_t dev) = 0;
    virtual int     unlink(const char* path) = 0;
    virtual int     mkdir(const char* path, mode_t mode) = 0;
    virtual int     chmod(const char* path, mode_t mode) = 0;
    virtual DIR*    opendir(const char* path) = 0;
    virtual dirent* readdir(DIR* dir) = 0;
    virtual int     closedir(DIR* dir) = 0;
    virtual FILE*   fopen(const char* path, const char* mode) = 0;
    virtual void    sync() = 0;
    virtual void    sleepMs(unsigned ms) = 0;
};

// The kernel: maps each path under the host root and calls libc.
class RealHostIo : public HostIo {
public:
    int     open(const char* path, int flags, mode_t mode = 0) override;
    int     close(int fd) override;
    ssize_t read(int fd, void* buf, size_t len) override;
    ssize_t write(int fd, const void* buf, size_t len) override;
    int     ioctl(int fd, unsigned long request, void* arg) override;
    int     ioctlValue(int fd, unsigned long request, unsigned long value) override;
    int     fcntlLock(int fd, int cmd, struct flock* lock) override;
    int     stat(const char* path, struct stat* st) override;
    int     access(const char* path, int mode) override;
    int     mknod(const char* path, mode_t mode, dev_t dev) override;
    int     unlink(const char* path) override;
    int     mkdir(const char* path, mode_t mode) override;
    int     chmod(const char* path, mode_t mode) override;
    DIR*    opendir(const char* path) override;
    dirent* readdir(DIR* dir) override;
    int     closedir(DIR* dir) override;
    FILE*   fopen(const char* path, const char* mode) override;
    void    sync() override;
    void    sleepMs(unsigned ms) override;
};

// The process-wide instance, chosen once at the first call: VYN_SIMULATOR unset
// or empty gives RealHostIo; "default" the simulator with its built-in
// description; any other value names a description file.
HostIo& hostIo();

// Tests only: installs another instance for one scope and restores the one
// before on leaving it. Install it before any thread of the test starts.
class ScopedHostIo {
public:
    explicit ScopedHostIo(HostIo& io);
    ~ScopedHostIo();
    ScopedHostIo(const ScopedHostIo&) = delete;
    ScopedHostIo& operator=(const ScopedHostIo&) = delete;

private:
    HostIo* previous_;
};

#endif
