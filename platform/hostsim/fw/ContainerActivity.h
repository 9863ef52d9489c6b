#ifndef VYN_PLATFORM_HOSTSIM_FW_CONTAINERACTIVITY_H
#define VYN_PLATFORM_HOSTSIM_FW_CONTAINERACTIVITY_H

#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <cstdint>

namespace vyn::hostsim {

// What happens to containers after they are made: forced online (CT 224),
// morphed (CT 109, 252) and verified by the adapter's background verify (CT
// 173).
void registerContainerActivityHandlers(Dispatcher& dispatcher);

// Writes into a 432-byte logical-device record what those leave on the
// container: a running morph (task type 3 and both morph handles), the
// force-online flags, the task priority and cache settings it was created
// with, and the Reed-Solomon marking of RAID-6 and RAID-60.
void addContainerActivity(const ControllerState& c, const LogDevView& l, uint8_t* record);

// The age of the controller's container lists (word 0 of CT 229).
inline uint32_t containerListAge(const ControllerState& c) { return c.configAge; }

// Job codes of the tasks these start.
constexpr uint32_t kJobMorph = 108;
constexpr uint32_t kJobAdapterVerify = 400;

}  // namespace vyn::hostsim

#endif
