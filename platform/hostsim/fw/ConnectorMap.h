#ifndef VYN_PLATFORM_HOSTSIM_FW_CONNECTORMAP_H
#define VYN_PLATFORM_HOSTSIM_FW_CONNECTORMAP_H

#include "platform/hostsim/fw/Dispatcher.h"

namespace vyn::hostsim {

// Answers FIB 708 from the connector-map entries of the description
// ("laneL", "connectorC"); false, with nothing written, when it gives none.
bool describedConnectorMap(FibCall& call);

}  // namespace vyn::hostsim

#endif
