#ifndef VYN_PLATFORM_HOSTSIM_FW_DRIVEMETADATA_H
#define VYN_PLATFORM_HOSTSIM_FW_DRIVEMETADATA_H

#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyn::hostsim {

// Drive metadata sectors and cache policy, failover switch, snapshot maps,
// bad stripes, power management, the SSD cache pool and the creation
// requests.
void registerDriveMetadataHandlers(Dispatcher& dispatcher);

// The scripted PPI table in entries of `size` bytes (16, or 12 narrowed).
void scriptedPpiData(const ControllerState& c, size_t size, std::vector<uint8_t>& out);

// The scripted PPI entry of a drive: identity words, device handle, bundle
// length and flags (bit 7 missing, bits 0-3 kind).
std::vector<uint8_t> ppiEntry(uint32_t id0, uint32_t id1, uint32_t handle, uint8_t bundle, uint8_t flags);

}  // namespace vyn::hostsim

#endif
