#ifndef VYN_TESTS_COMMAND_VYN_OPENFILES_H
#define VYN_TESTS_COMMAND_VYN_OPENFILES_H

#include <dirent.h>
#include <unistd.h>

#include <string>

namespace vyntest {

// Descriptors of this process open on the host file `path`.
inline int descriptorsOn(const std::string& path)
{
    int n = 0;
    DIR* d = ::opendir("/proc/self/fd");
    if (d == nullptr)
        return -1;
    while (dirent* e = ::readdir(d)) {
        char link[512];
        const std::string fd = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t len = ::readlink(fd.c_str(), link, sizeof link - 1);
        if (len > 0) {
            link[len] = '\0';
            n += path == link;
        }
    }
    ::closedir(d);
    return n;
}

}  // namespace vyntest

#endif
