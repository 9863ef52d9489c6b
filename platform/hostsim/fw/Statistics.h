#ifndef VYN_PLATFORM_HOSTSIM_FW_STATISTICS_H
#define VYN_PLATFORM_HOSTSIM_FW_STATISTICS_H

#include "platform/hostsim/fw/Dispatcher.h"
#include "platform/hostsim/state/Controller.h"

#include <cstdint>
#include <vector>

namespace vyn::hostsim {

// The controller statistics record (CT 244 type 0) of the controller as it
// stands: a section entry per top-level container and per present drive.
std::vector<uint8_t> statisticsRecord(const ControllerState& c);

// Controller statistics: CT 244 (record, other types, counter reset).
void registerStatisticsHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
