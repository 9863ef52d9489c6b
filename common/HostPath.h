#ifndef VYN_COMMON_HOSTPATH_H
#define VYN_COMMON_HOSTPATH_H

#include <cstddef>
#include <string>

// Every fixed host path ("/var/log/", "/var/lock", "/tmp", "/dev", "/proc",
// "/sys", "/etc") is resolved here, so that tests and the simulator can run the
// whole system under a private root named by VYN_HOST_ROOT (unset or empty: "/").

// The root itself without a trailing slash; empty for the real root.
std::string vynHostRoot();

// The fixed path `path` (absolute, as the system names it) under the host root.
std::string vynHostPath(const char* path);

// Bounded form for fixed-size C buffers: writes the resolved path with its NUL
// into `out` and returns true, or writes an empty string and returns false when
// it does not fit in `outSize` bytes.
bool vynHostPathCopy(char* out, std::size_t outSize, const char* path);

#endif
