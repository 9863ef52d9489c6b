#include "platform/hostsim/Trace.h"

#include <cstdio>

namespace vyn::hostsim {

std::string Request::text() const
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s 0x%lx", node.c_str(), request);
    std::string t = buf;
    if (isFib) {
        std::snprintf(buf, sizeof buf, " cmd=%u xfer=0x%08x size=%u sender=%u", command, xferState, size, senderSize);
        t += buf;
        if (hasClass) {
            std::snprintf(buf, sizeof buf, " class=%u ct=%u", fibClass, ct);
            t += buf;
        }
    }
    if (unhandled)
        t += " unhandled";
    if (fault >= 0)
        t += " fault=" + std::to_string(fault);
    if (!rejected.empty())
        t += " rejected=" + rejected;
    if (error != 0)
        t += " errno=" + std::to_string(error);
    return t;
}

}  // namespace vyn::hostsim
