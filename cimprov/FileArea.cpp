#include "cimprov/FileArea.h"

#include "common/HostPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// The resolved form of a host directory, or an errno value.
int resolve(const std::string& hostDir, std::string& real) {
    std::unique_ptr<char, FreeDeleter> resolved(realpath(hostDir.c_str(), nullptr));
    if (!resolved) return errno != 0 ? errno : ENOENT;
    real = resolved.get();
    return 0;
}

bool isInside(const std::string& real, const std::string& root) {
    if (real == root) return true;
    const std::string prefix = root == "/" ? root : root + "/";
    return real.compare(0, prefix.size(), prefix) == 0;
}

// A name ending in "/" or "/." asks for a directory, as it does for the
// system: never a file to read, append to or delete.
bool namesDirectory(const std::string& path) {
    const std::size_t size = path.size();
    return size > 1 && (path.back() == '/' || path.compare(size - 2, 2, "/.") == 0);
}

void closeKeepingErrno(int fd) {
    const int error = errno;
    close(fd);
    errno = error;
}

// The parent directory of a confined path, reached from the area's directory
// one component at a time without following a link. -1 with errno set.
int openParent(const ConfinedPath& path) {
    const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(path.areaRoot.c_str(), flags);
    for (std::size_t i = 0; fd >= 0 && i < path.parentDirs.size(); ++i) {
        const int next = openat(fd, path.parentDirs[i].c_str(), flags);
        closeKeepingErrno(fd);
        fd = next;
    }
    if (fd < 0) return -1;
    // A link opened as itself is no directory to look into.
    struct stat st;
    if (fstat(fd, &st) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    if (!S_ISDIR(st.st_mode)) {
        close(fd);
        errno = ENOTDIR;
        return -1;
    }
    return fd;
}

}  // namespace

int confinePath(const std::string& clientPath, FileArea area, ConfinedPath& out) {
    if (clientPath.empty() || clientPath[0] != '/') return EACCES;
    const std::vector<std::string> parts = components(clientPath);
    for (const std::string& part : parts) {
        if (part == "..") return EACCES;
    }
    const char* areaDir = nullptr;
    std::size_t areaDepth = 0;
    if (!parts.empty() && parts[0] == "tmp") {
        areaDir = "/tmp";
        areaDepth = 1;
    } else if (area == FileArea::TempOrLogs && parts.size() >= 2 && parts[0] == "var" &&
               parts[1] == "log") {
        areaDir = "/var/log";
        areaDepth = 2;
    } else {
        return EACCES;
    }
    std::string realRoot;
    if (int rc = resolve(vynHostPath(areaDir), realRoot)) return rc;
    out = ConfinedPath();
    out.areaRoot = realRoot;
    if (parts.size() == areaDepth) {
        out.isAreaRoot = true;
        return 0;
    }
    std::string parent = realRoot;
    for (std::size_t i = areaDepth; i + 1 < parts.size(); ++i) parent += "/" + parts[i];
    std::string realParent;
    if (int rc = resolve(parent, realParent)) return rc;
    if (!isInside(realParent, realRoot)) return EACCES;
    const std::size_t below = realRoot.size() + (realRoot == "/" ? 0 : 1);
    if (realParent.size() > below) out.parentDirs = components(realParent.substr(below));
    out.leaf = parts.back();
    out.directoryOnly = namesDirectory(clientPath);
    return 0;
}

int openConfined(const ConfinedPath& path, int flags, unsigned mode) {
    flags |= O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    if (path.directoryOnly) {
        if ((flags & O_CREAT) != 0) {
            errno = EISDIR;
            return -1;
        }
        flags |= O_DIRECTORY;
    }
    if (path.isAreaRoot) return open(path.areaRoot.c_str(), flags, static_cast<mode_t>(mode));
    const int dir = openParent(path);
    if (dir < 0) return -1;
    const int fd = openat(dir, path.leaf.c_str(), flags, static_cast<mode_t>(mode));
    closeKeepingErrno(dir);
    return fd;
}

int statConfined(const ConfinedPath& path, struct stat& st) {
    if (path.isAreaRoot) return lstat(path.areaRoot.c_str(), &st);
    const int dir = openParent(path);
    if (dir < 0) return -1;
    const int rc = fstatat(dir, path.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    closeKeepingErrno(dir);
    return rc;
}

int removeConfined(const ConfinedPath& path, bool directory) {
    if (path.isAreaRoot || (path.directoryOnly && !directory)) {
        errno = path.isAreaRoot ? EACCES : ENOTDIR;
        return -1;
    }
    const int dir = openParent(path);
    if (dir < 0) return -1;
    const int rc = unlinkat(dir, path.leaf.c_str(), directory ? AT_REMOVEDIR : 0);
    closeKeepingErrno(dir);
    return rc;
}
