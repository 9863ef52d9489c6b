#include "common/HostPath.h"

#include <cstdlib>
#include <cstring>

std::string vynHostRoot()
{
    const char* root = std::getenv("VYN_HOST_ROOT");
    if (root == nullptr)
        return std::string();
    std::string r(root);
    while (!r.empty() && r.back() == '/')
        r.pop_back();
    return r;
}

std::string vynHostPath(const char* path)
{
    std::string result = vynHostRoot();
    if (path == nullptr)
        return result;
    if (path[0] != '/')
        result += '/';
    result += path;
    return result;
}

bool vynHostPathCopy(char* out, std::size_t outSize, const char* path)
{
    if (out == nullptr || outSize == 0)
        return false;
    const std::string resolved = vynHostPath(path);
    if (resolved.size() >= outSize) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, resolved.c_str(), resolved.size() + 1);
    return true;
}
