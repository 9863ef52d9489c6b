#ifndef VYN_PLATFORM_HOSTSIM_FAULTS_H
#define VYN_PLATFORM_HOSTSIM_FAULTS_H

#include <string>
#include <vector>

namespace vyn::hostsim {

// One injected fault as written: what it acts on (`on`: "ioctl 0x42008",
// "open /dev/ulb0"), its effect (`errno = n`: the call fails), and its
// counters: `skip` matches pass first, then it acts `times` times (0: always).
struct Fault {
    std::string on;
    std::string effect;
    unsigned skip = 0;
    unsigned times = 1;
};

// A fault ready to match, with its counters. A controller's faults are kept
// in its state, so that a fault acts exactly `times` times across processes.
struct ArmedFault {
    unsigned number = 0;   // F of [adapterN.faultF], shown in the trace
    std::string trigger;   // "ioctl", "open"
    std::string argument;  // normalised: request in lower-case hex, or the path
    int errnoValue = 0;
    unsigned skip = 0;
    unsigned times = 1;
    unsigned seen = 0;
    unsigned acted = 0;
};

// False when `on` or `effect` is malformed.
bool armFault(const Fault& fault, unsigned number, ArmedFault& out);

// The first fault of `faults` that acts on this call, with its counters
// advanced; null when none acts. `touched` is set when any counter moved.
ArmedFault* matchFault(std::vector<ArmedFault>& faults, const std::string& trigger, const std::string& argument,
                       bool& touched);

// The argument of an ioctl trigger as matched: "0x" and lower-case hex.
std::string faultRequestText(unsigned long request);

}  // namespace vyn::hostsim

#endif
