#ifndef VYN_PLATFORM_HOSTSIM_FW_FLASH_H
#define VYN_PLATFORM_HOSTSIM_FW_FLASH_H

#include "platform/hostsim/fw/Dispatcher.h"

namespace vyn::hostsim {

// Flash images: PCI identifiers, image writes and read-back.
void registerFlashHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
