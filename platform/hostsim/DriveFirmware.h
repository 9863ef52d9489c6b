#ifndef VYN_PLATFORM_HOSTSIM_DRIVEFIRMWARE_H
#define VYN_PLATFORM_HOSTSIM_DRIVEFIRMWARE_H

#include "platform/hostsim/Devices.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyn::hostsim {

// ATA PASS-THROUGH (12) carrying IDENTIFY DEVICE (A1 08 0E .. EC) to a SATA
// drive: 512 bytes of little-endian words with the drive's serial, revision,
// model and size, word 80 from its `identify.word80` pair (ATA8-ACS and
// below by default) and word 120 from `identify.word120` (download
// microcode mode 3 by default). False when the CDB is not that command or
// the drive is not a SATA one.
bool runIdentifyCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                    size_t dataLength, CdbResult& result);

// A chunk of a drive firmware download, accepted by the CDB engine and kept
// as the drive's staged image once the command completes without a fault.
struct StagedChunk {
    bool pending = false;
    std::string key;  // the drive's object line
    size_t offset = 0;
    std::vector<uint8_t> bytes;
};

// ATA PASS-THROUGH (12) carrying DOWNLOAD MICROCODE (byte 9 0x92; count in
// blocks at bytes 4-5, block offset at bytes 6-7) to a SATA drive, or WRITE
// BUFFER (0x3B; byte offset at bytes 3-5, length at 6-8) to a disk. The
// chunk must continue the drive's staged image or start it again at offset
// 0, and its data must be there: otherwise CHECK CONDITION 5/0x24/0x00.
// `out` is the data sent to the drive. False when the CDB is neither.
bool runDownloadCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, const uint8_t* out,
                    size_t outLength, CdbResult& result, StagedChunk& chunk);

// Writes an accepted chunk into the drive's staged image (the `staged` pair
// of its object line, hex); true when the state changed.
bool stageChunk(ControllerState& c, const StagedChunk& chunk);

// The staged image of a drive object line ("drive6"); empty when none.
std::vector<uint8_t> stagedImage(const ControllerState& c, const std::string& key);

}  // namespace vyn::hostsim

#endif
