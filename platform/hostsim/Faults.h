#ifndef VYN_PLATFORM_HOSTSIM_FAULTS_H
#define VYN_PLATFORM_HOSTSIM_FAULTS_H

#include <cstdint>
#include <string>
#include <vector>

namespace vyn::hostsim {

// One injected fault: what it acts on (`on`: "ioctl 0x42008", "open /dev/ulb0",
// "fib 907", "aif 104" (a FIB 700 request), "cdb 0x12", "ct 239" (a class-2
// container command)), its effect (`errno = n`: the call
// fails; `status = n`: the operation's status word; `sense = k/asc/ascq`:
// CHECK CONDITION; `truncate = n`: reply data cut to n bytes; `poke =
// offset:width=value`: one reply field overwritten; `transport = n` and
// `echo = n`: words 0 and 1 of a container reply), and its counters: `skip`
// matches pass first, then it acts `times` times (0: always).
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
        std::string effect;    // "errno", "status", "sense", "truncate", "poke"
        int errnoValue;
        uint32_t value = 0;    // status, truncate length, poke value
        uint8_t senseKey = 0, asc = 0, ascq = 0;
        uint32_t pokeOffset = 0;
        uint32_t pokeWidth = 0;  // 1, 2 or 4
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
