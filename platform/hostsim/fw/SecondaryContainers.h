#ifndef VYN_PLATFORM_HOSTSIM_FW_SECONDARYCONTAINERS_H
#define VYN_PLATFORM_HOSTSIM_FW_SECONDARYCONTAINERS_H

#include "platform/hostsim/fw/Dispatcher.h"

namespace vyn::hostsim {

// Containers built over containers (CT 171, 172), moves (CT 21), mirrors
// added to or taken from a container (CT 24, 26, 27) and volume extensions
// (CT 44). Registered after the one-command operations, whose plain answers
// for 21, 24, 26, 27 and 44 these replace.
void registerSecondaryContainerHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
