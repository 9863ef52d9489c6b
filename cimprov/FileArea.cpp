#include "cimprov/FileArea.h"

#include "common/HostPath.h"

#include <fcntl.h>

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

}  // namespace

int confinePath(const std::string& clientPath, FileArea area, ConfinedPath& out) {
    if (clientPath.empty() || clientPath[0] != '/') return EACCES;
    const std::vector<std::string> parts = components(clientPath);
    for (const std::string& part : parts) {
        if (part == "..") return EACCES;
    }
    const char* areaRoot = nullptr;
    std::size_t areaDepth = 0;
    if (!parts.empty() && parts[0] == "tmp") {
        areaRoot = "/tmp";
        areaDepth = 1;
    } else if (area == FileArea::TempOrLogs && parts.size() >= 2 && parts[0] == "var" &&
               parts[1] == "log") {
        areaRoot = "/var/log";
        areaDepth = 2;
    } else {
        return EACCES;
    }
    std::string realRoot;
    if (int rc = resolve(vynHostPath(areaRoot), realRoot)) return rc;
    if (parts.size() == areaDepth) {
        out.hostPath = realRoot;
        out.isAreaRoot = true;
        return 0;
    }
    std::string parent = realRoot;
    for (std::size_t i = areaDepth; i + 1 < parts.size(); ++i) parent += "/" + parts[i];
    std::string realParent;
    if (int rc = resolve(parent, realParent)) return rc;
    if (!isInside(realParent, realRoot)) return EACCES;
    out.hostPath = (realParent == "/" ? "" : realParent) + "/" + parts.back();
    out.isAreaRoot = false;
    return 0;
}

int openConfined(const ConfinedPath& path, int flags, unsigned mode) {
    return open(path.hostPath.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                static_cast<mode_t>(mode));
}
