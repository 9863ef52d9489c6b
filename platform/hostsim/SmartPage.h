#ifndef VYN_PLATFORM_HOSTSIM_SMARTPAGE_H
#define VYN_PLATFORM_HOSTSIM_SMARTPAGE_H

#include "platform/hostsim/Devices.h"

#include <cstddef>
#include <cstdint>

namespace vyn::hostsim {

// ATA PASS-THROUGH (12) carrying SMART READ DATA (features 0xD0, command
// 0xB0, LBA 0xC24F) to a SATA drive: one 512-byte page, a revision word and
// up to 30 attribute entries of 12 bytes from the drive's `smart.attrs` pair
// ("ID:current:worst:raw,..."; the id in hex, the others as C numbers, raw
// up to 48 bits), or a small table of a healthy disk without it. False when
// the CDB is not that command or the drive is not a SATA one.
bool runSmartReadCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                     size_t dataLength, CdbResult& result);

}  // namespace vyn::hostsim

#endif
