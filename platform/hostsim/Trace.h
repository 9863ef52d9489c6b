#ifndef VYN_PLATFORM_HOSTSIM_TRACE_H
#define VYN_PLATFORM_HOSTSIM_TRACE_H

#include <cstdint>
#include <string>

namespace vyn::hostsim {

// One ioctl as the simulator saw it; text() is its trace line:
// "<node> 0x<request>[ cmd=.. xfer=0x........ size=.. sender=..][ class=.. ct=..]"
// then " unhandled", " fault=<F>", " rejected=<reason>" or " errno=<n>".
struct Request {
    std::string node;
    unsigned long request = 0;
    bool isFib = false;
    unsigned command = 0;
    uint32_t xferState = 0;
    unsigned size = 0;
    unsigned senderSize = 0;
    bool hasClass = false;
    uint32_t fibClass = 0;
    uint32_t ct = 0;
    bool unhandled = false;
    long fault = -1;
    std::string rejected;
    int error = 0;

    std::string text() const;
};

}  // namespace vyn::hostsim

#endif
