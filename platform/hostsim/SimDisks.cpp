// Reads of the host's device nodes: a container's disk (/dev/sdX) returns
// the image its description names, zeros beyond it, up to the container's
// size; every other descriptor reads as it would without the simulator.
#include "platform/hostsim/SimHostIo.h"
#include "platform/hostsim/fw/DiskImages.h"

#include <cerrno>

namespace vyn::hostsim {

ssize_t SimHostIo::read(int fd, void* buf, size_t len)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end() || it->second.kind != NodeKind::Disk)
        return RealHostIo::read(fd, buf, len);
    if (buf == nullptr && len > 0) {
        errno = EFAULT;
        return -1;
    }
    OpenNode& node = it->second;
    auto c = controllers_.find(node.controller);
    if (c == controllers_.end())
        return 0;
    StateStore::Guard guard(*store_);
    store_->refresh(c->second);
    const std::string file = imageFile(containerImage(c->second, node.device), source_, root_);
    const size_t n = readContainerDisk(file, containerDiskBytes(c->second, node.device), node.offset,
                                       static_cast<uint8_t*>(buf), len);
    node.offset += n;
    return static_cast<ssize_t>(n);
}

}  // namespace vyn::hostsim
