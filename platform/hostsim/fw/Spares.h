#ifndef VYN_PLATFORM_HOSTSIM_FW_SPARES_H
#define VYN_PLATFORM_HOSTSIM_FW_SPARES_H

#include "platform/hostsim/fw/Dispatcher.h"

#include <string>
#include <vector>

namespace vyn::hostsim {

// Global and dedicated spares (CT 41, 42, 43) and the removal of a missing
// drive's PPI bundle (CT 197). A drive's spare assignments live in its
// `spare` pair: "global" and container numbers, separated by commas.
void registerSpareHandlers(Dispatcher& dispatcher);

// The owners a `spare` pair names.
std::vector<std::string> spareOwners(const std::string& value);
bool isGlobalSpare(const std::string& value);

}  // namespace vyn::hostsim

#endif
