#ifndef VYN_CIMPROV_FILEAREA_H
#define VYN_CIMPROV_FILEAREA_H

#include <string>

// Client paths of the file provider reach only the host's temporary
// directory, and for reading also its log directory (logs and the support
// archive), both under the host root. The broker runs the provider as root,
// so a path is never trusted as given.
enum class FileArea {
    Temp,        // "/tmp"
    TempOrLogs,  // "/tmp" or below "/var/log/"
};

// A client path that passed the checks: its parent directory resolved on the
// host and inside the area, the last component not yet looked at.
struct ConfinedPath {
    std::string hostPath;
    // The path names the area's directory itself.
    bool isAreaRoot = false;
};

// 0, or the reason as an errno value: EACCES for a path that is not
// absolute, has a ".." component or lies outside the area (its parent
// resolved through links included); the error of resolving the parent
// otherwise (ENOENT for a missing one).
int confinePath(const std::string& clientPath, FileArea area, ConfinedPath& out);

// open() of a confined path that never follows a link in its last component
// and never blocks on a FIFO. -1 with errno set on failure.
int openConfined(const ConfinedPath& path, int flags, unsigned mode = 0);

#endif
