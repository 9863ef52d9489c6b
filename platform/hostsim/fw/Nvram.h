#ifndef VYN_PLATFORM_HOSTSIM_FW_NVRAM_H
#define VYN_PLATFORM_HOSTSIM_FW_NVRAM_H

#include "platform/hostsim/fw/Dispatcher.h"

namespace vyn::hostsim {

// NVRAM and battery: the status FIB and the new-battery request.
void registerNvramHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
