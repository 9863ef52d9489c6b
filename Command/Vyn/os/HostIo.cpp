#include "Command/Vyn/os/HostIo.h"

#include "common/HostPath.h"
#include "platform/hostsim/SimHostIo.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

int RealHostIo::open(const char* path, int flags, mode_t mode)
{
    return ::open(vynHostPath(path).c_str(), flags, mode);
}

int RealHostIo::close(int fd) { return ::close(fd); }

ssize_t RealHostIo::read(int fd, void* buf, size_t len) { return ::read(fd, buf, len); }

ssize_t RealHostIo::write(int fd, const void* buf, size_t len) { return ::write(fd, buf, len); }

int RealHostIo::ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

int RealHostIo::ioctlValue(int fd, unsigned long request, unsigned long value)
{
    return ::ioctl(fd, request, value);
}

int RealHostIo::fcntlLock(int fd, int cmd, struct flock* lock) { return ::fcntl(fd, cmd, lock); }

int RealHostIo::stat(const char* path, struct stat* st) { return ::stat(vynHostPath(path).c_str(), st); }

int RealHostIo::access(const char* path, int mode) { return ::access(vynHostPath(path).c_str(), mode); }

int RealHostIo::mknod(const char* path, mode_t mode, dev_t dev)
{
    return ::mknod(vynHostPath(path).c_str(), mode, dev);
}

int RealHostIo::unlink(const char* path) { return ::unlink(vynHostPath(path).c_str()); }

int RealHostIo::mkdir(const char* path, mode_t mode) { return ::mkdir(vynHostPath(path).c_str(), mode); }

int RealHostIo::chmod(const char* path, mode_t mode) { return ::chmod(vynHostPath(path).c_str(), mode); }

DIR* RealHostIo::opendir(const char* path) { return ::opendir(vynHostPath(path).c_str()); }

dirent* RealHostIo::readdir(DIR* dir) { return ::readdir(dir); }

int RealHostIo::closedir(DIR* dir) { return ::closedir(dir); }

FILE* RealHostIo::fopen(const char* path, const char* mode)
{
    return std::fopen(vynHostPath(path).c_str(), mode);
}

void RealHostIo::sync() { ::sync(); }

void RealHostIo::sleepMs(unsigned ms)
{
    // poll with no descriptors is the firmware interface's sleep; a signal
    // only cuts one wait short, which its polling callers tolerate.
    ::poll(nullptr, 0, static_cast<int>(ms > 0x7FFFFFFFu ? 0x7FFFFFFFu : ms));
}

namespace {

std::atomic<HostIo*> installedHostIo{nullptr};

std::unique_ptr<HostIo> chooseHostIo()
{
    const char* selection = std::getenv("VYN_SIMULATOR");
    if (selection == nullptr || selection[0] == '\0')
        return std::make_unique<RealHostIo>();
    return vyn::hostsim::makeSimHostIo(selection);
}

}  // namespace

HostIo& hostIo()
{
    if (HostIo* installed = installedHostIo.load(std::memory_order_acquire))
        return *installed;
    // Never destroyed: lock files are closed through it at process exit.
    static HostIo* const chosen = chooseHostIo().release();
    return *chosen;
}

ScopedHostIo::ScopedHostIo(HostIo& io) : previous_(installedHostIo.exchange(&io)) {}

ScopedHostIo::~ScopedHostIo() { installedHostIo.store(previous_); }
