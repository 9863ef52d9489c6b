#ifndef VYN_PLATFORM_HOSTSIM_FW_DEVICEATTACH_H
#define VYN_PLATFORM_HOSTSIM_FW_DEVICEATTACH_H

#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyn::hostsim {

struct DeviceView;

// The drive-count tables of the 340-byte RAID-6 options record from their
// description keys ("first:second:count,..."): entries from byte 84 and
// from byte 212, at most 32 each, a given list replacing its whole table;
// the entry count at byte 12 becomes the larger list's length. An empty
// text leaves its table as it is; malformed entries are passed over.
void applyRaid6DriveCounts(std::vector<uint8_t>& record, const std::string& raid6, const std::string& reedSolomon);

// The device-record fields the physical-device attachment reads, from the
// drive's pairs, over a record fillDriveRecord has written: `jbod=1` leaves
// a disk's peripheral qualifier 0 (the controller passes the drive to the
// host), any other disk gets qualifier 1 unless `type=` set the byte;
// `unsupported=` the unsupported-device reason; `fingerprint=` the 64-bit
// fingerprint; `flagged=1` the auxiliary state bit.
void applyAttachFields(const DeviceView& drive, uint8_t* record);

// Bytes 36-55 and 96-127 of a drive's standard INQUIRY data from its
// `inquiry36=` and `inquiry96=` pairs (hex bytes; blanks pad a shorter
// value). `data` holds `size` bytes; what lies beyond it is not written.
void putInquiryVendorBytes(const DeviceView& drive, uint8_t* data, size_t size);

}  // namespace vyn::hostsim

#endif
