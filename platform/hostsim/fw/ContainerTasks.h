#ifndef VYN_PLATFORM_HOSTSIM_FW_CONTAINERTASKS_H
#define VYN_PLATFORM_HOSTSIM_FW_CONTAINERTASKS_H

#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <cstdint>

namespace vyn::hostsim {

// The consistency checks with and without repair (CT 61, 67, 141, 142) and
// the zeroing of a whole container (CT 59): each starts a task on the
// container.
void registerContainerTaskHandlers(Dispatcher& dispatcher);

// What the controller does on its own, before and after each request: tasks
// move on with the clock, an ended task leaves its container as it should (a
// zeroed container goes back to the host, a rebuilt member is whole again),
// and a redundant container that lost a member is rebuilt onto a hot spare,
// or onto the member itself when it came back. True when the state changed.
bool settleTasks(ControllerState& c);

// A drive fails now: it stops answering, its containers degrade or fail and
// the disk-failure notification goes out; the rebuild, where one can run,
// follows from settleTasks. False when the controller has no such drive or
// it had failed already.
bool failDrive(ControllerState& c, uint32_t handle);
// A failed drive is enabled again: it answers, and a redundant container it
// still belongs to rebuilds its data onto it. False when the controller has
// no such drive.
bool enableDrive(ControllerState& c, uint32_t handle);

// The flags word of a segment (CT 249): bit 1 while the member's data is
// being rebuilt.
uint32_t segmentFlags(const ControllerState& c, const LogDevView& l, const LogDevView::Member& m);

// Whether task `id` writes onto the drive: a rebuild onto it, listed with the
// drive's own tasks.
bool taskWritesDrive(const ControllerState& c, uint32_t id, uint32_t driveHandle);

}  // namespace vyn::hostsim

#endif
