#ifndef VYN_PLATFORM_HOSTSIM_FW_CONFIGURATION_H
#define VYN_PLATFORM_HOSTSIM_FW_CONFIGURATION_H

#include "platform/hostsim/state/Controller.h"
#include "platform/hostsim/state/Derived.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vyn::hostsim {

// A drive of the description as the firmware sees it.
struct DriveView {
    unsigned index = 0;
    uint32_t bus = 0, target = 0, lun = 0;
    uint64_t blocks = 0;
    uint64_t usable = 0;
    uint32_t slice = 0xFFFFFFFFu;
    // Slice type: 6 a drive initialised for containers, 7 a pass-through
    // drive, 0 no slice. What the drive's own table holds: "" nothing,
    // "copy" its partitions, "only" partitions the controller does not list.
    uint32_t sliceType = 0;
    std::string ondisk;
    // Gone from the controller (`state = missing`): its slice answers no
    // more, while the controller's partition table keeps its partitions.
    bool missing = false;
    uint32_t handle() const { return bus << 24 | lun << 16 | target; }
};

// A logical device: a container of the description or one leg of a
// two-level container.
struct LogDevView {
    uint32_t number = 0;
    uint32_t handle = 0;
    uint32_t parent = 0xFFFFFFFFu;
    uint32_t raidType = 0;
    uint64_t blocks = 0;
    uint32_t stripeBlocks = 512;
    std::string name;
    // Members: drive handles with their extent, or legs (by handle).
    struct Member {
        uint32_t phy = 0xFFFFFFFFu;
        uint32_t log = 0xFFFFFFFFu;
        uint64_t start = 0;
        uint64_t blocks = 0;
        // Index of the member's entry in the partition table (0: none).
        uint32_t tableIndex = 0;
    };
    std::vector<Member> members;
};

// The configuration computed from the description's drives and containers:
// drives in index order; top-level devices by container number, then legs.
struct ConfigView {
    SharedList<DriveView> drives;
    SharedList<LogDevView> logDevs;
};
// Derived once per change of the controller's object lines and kept (the
// rule is at ViewStore, state/Derived.h): a call costs a look-up.
ConfigView configurationOf(const ControllerState& c);

// The logical device of a view with that handle, or null.
const LogDevView* logDevWithHandle(const ConfigView& v, uint32_t handle);

// Words of an object shorthand and its name=value pairs.
void splitShorthand(const std::string& value, std::vector<std::string>* words,
                    std::map<std::string, std::string>* pairs);

// Whether `name` is a container level of the description ("raid5", ...);
// `overLegs` tells whether it is built over legs of its own.
bool containerLevel(const std::string& name, bool* overLegs);

// Logical-device handles and unique ids of the simulator.
constexpr uint32_t kFirstLogDevHandle = 0x00100000;
constexpr uint32_t kFirstUniqueId = 0x5A000000;

}  // namespace vyn::hostsim

#endif
