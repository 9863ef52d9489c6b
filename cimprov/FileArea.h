#ifndef VYN_CIMPROV_FILEAREA_H
#define VYN_CIMPROV_FILEAREA_H

#include <sys/stat.h>

#include <string>
#include <vector>

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
    // The area's directory on the host, resolved.
    std::string areaRoot;
    // The resolved parent below areaRoot, one directory per entry.
    std::vector<std::string> parentDirs;
    // The last component; empty when the path names the area's directory.
    std::string leaf;
    // The path names the area's directory itself.
    bool isAreaRoot = false;
    // The path ends in "/" (or "/."): it names a directory, never a file.
    bool directoryOnly = false;
};

// 0, or the reason as an errno value: EACCES for a path that is not
// absolute, has a ".." component or lies outside the area (its parent
// resolved through links included); the error of resolving the parent
// otherwise (ENOENT for a missing one).
int confinePath(const std::string& clientPath, FileArea area, ConfinedPath& out);

// The operations below reach the last component through the parent resolved
// by confinePath, walked again from the area's directory without following
// any link: a directory swapped for a link after the check leads nowhere
// else. None follows a link in the last component. -1 with errno set on
// failure.

// open(); never blocks on a FIFO, never creates a directory-only path.
int openConfined(const ConfinedPath& path, int flags, unsigned mode = 0);
// lstat() of the last component.
int statConfined(const ConfinedPath& path, struct stat& st);
// unlink(), or rmdir() for `directory`; never the area's directory.
int removeConfined(const ConfinedPath& path, bool directory);

#endif
