#ifndef VYN_PLATFORM_HOSTSIM_FAULTS_H
#define VYN_PLATFORM_HOSTSIM_FAULTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyn::hostsim {

// One injected fault as written: what it acts on (`on`: "ioctl 0x42008",
// "open /dev/ulb0", "fib 907", "aif 104" (a FIB 700 request), "cdb 0x12",
// "ct 239" (a class-2 container command), "partition 2" (the partition-table
// entry of that index, in every record the controller writes of it)),
// its effect (`errno = n`: the call fails; `status = n`: the operation's
// status word; `sense = k/asc/ascq`: CHECK CONDITION; `truncate = n`: reply
// data cut to n bytes; `poke = offset:width=value`: one reply field
// overwritten; `transport = n` and `echo = n`: words 0 and 1 of a container
// reply; `total = n`: the total a multi-packet reply announces), and its
// counters: `skip` matches pass first, then it acts
// `times` times (0: always). An open can only fail; an ioctl can fail or have
// a field of its fixed-size record poked (the disk query, the delete record).
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
    std::string argument;  // normalised: request or opcode in lower-case hex, a decimal code, or the path
    std::string effect;    // "errno", "status", "sense", "truncate", "poke"
    int errnoValue = 0;
    uint32_t value = 0;    // status, truncate length, poke value
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint32_t pokeOffset = 0;
    uint32_t pokeWidth = 0;  // 1, 2 or 4
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

// Every fault of `faults` that acts on this call, in order, with its counters
// advanced: for shapes that several faults build together (the fields of one
// partition record).
std::vector<ArmedFault*> matchFaults(std::vector<ArmedFault>& faults, const std::string& trigger,
                                     const std::string& argument, bool& touched);

// Writes a poke's value over its field of `base` (`room` bytes); a field
// that does not lie inside is left alone.
void pokeField(uint8_t* base, size_t room, const ArmedFault& fault);

// The effect as written ("errno = 5", "sense = 5/0x24/0x0").
std::string faultEffectText(const ArmedFault& fault);

// The argument of an ioctl trigger as matched: "0x" and lower-case hex.
std::string faultRequestText(unsigned long request);

}  // namespace vyn::hostsim

#endif
