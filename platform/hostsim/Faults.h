#ifndef VYN_PLATFORM_HOSTSIM_FAULTS_H
#define VYN_PLATFORM_HOSTSIM_FAULTS_H

#include <string>
#include <vector>

namespace vyn::hostsim {

// One injected fault: what it acts on (`on`: "ioctl 0x42008", "open /dev/ulb0"),
// its effect (`errno = n`: the call fails), and its counters: `skip` matches
// pass first, then it acts `times` times (0: always).
struct Fault {
    std::string on;
    std::string effect;
    unsigned skip = 0;
    unsigned times = 1;
};

class FaultList {
public:
    // False (and nothing added) when `on` or `effect` is malformed.
    bool add(int adapter, const Fault& fault);
    void clear() { faults_.clear(); }

    // The first armed fault matching the call, counted; null when none acts.
    // `adapter` is -1 for calls not bound to a controller.
    struct Armed;
    const Armed* match(int adapter, const std::string& trigger, const std::string& argument);

    struct Armed {
        int adapter;
        std::string trigger;   // "ioctl", "open"
        std::string argument;  // normalised: request in lower-case hex, or the path
        int errnoValue;
        unsigned skip;
        unsigned times;
        unsigned seen = 0;
        unsigned acted = 0;
        size_t number = 0;     // position in the list, for the trace
    };

private:
    std::vector<Armed> faults_;
};

}  // namespace vyn::hostsim

#endif
