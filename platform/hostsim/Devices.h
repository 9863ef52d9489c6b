#ifndef VYN_PLATFORM_HOSTSIM_DEVICES_H
#define VYN_PLATFORM_HOSTSIM_DEVICES_H

#include "platform/hostsim/state/Controller.h"
#include "platform/hostsim/state/Derived.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vyn::hostsim {

// A drive or enclosure device of a controller, read from its object line
// ("driveI = <bus:target[:lun]> <kind> <size> name=value ...").
struct DeviceView {
    std::string key;       // "drive3", "encl0"
    unsigned bus = 0;
    unsigned target = 0;
    unsigned lun = 0;
    std::string kind;      // sas, sata, ssd, sas-ssd, tape, cdrom, other; "enclosure"
    uint64_t blocks = 0;   // 512-byte blocks
    std::string vendor;
    std::string product;
    std::string revision;
    std::string serial;
    std::string state;     // ready, failed, missing
    std::vector<std::string> words;  // the object line's words as written
    bool answers() const { return state != "failed" && state != "missing"; }
    uint8_t peripheralType() const;
    // The value of a name=value pair of the object line, or "".
    std::string pair(const std::string& name) const;
};

// One drive ("driveI") or enclosure ("enclE") object line as a device; false
// when the line is not one.
bool readDevice(const std::string& key, const std::string& value, DeviceView& out);

// Drives in index order, then enclosure devices; kept while the object lines
// stay as they are (state/Derived.h).
SharedList<DeviceView> devicesOf(const ControllerState& c);

// How the host sees a container: none, exposed, open, deleted, unmapped.
struct ContainerHostView {
    unsigned number = 0;
    std::string host;
};
// Kept as devicesOf is.
SharedList<ContainerHostView> containersOf(const ControllerState& c);
// The drives ("driveI" lines) by I; kept as devicesOf is.
std::shared_ptr<const std::map<unsigned, DeviceView>> drivesByIndex(const ControllerState& c);
// Rewrites the container's host state in its object line; false when the
// controller has no such container.
bool setContainerHost(ControllerState& c, unsigned number, const std::string& host);
// Sets (an empty value: removes) a name=value pair of an object line; false
// when the controller has no such object.
bool setObjectPair(ControllerState& c, const std::string& key, const std::string& name, const std::string& value);

// One SCSI command answered by a device.
struct CdbResult {
    uint8_t status = 0;        // GOOD 0, CHECK CONDITION 2
    uint8_t sense[18] = {};
    size_t senseLength = 0;
    size_t transferred = 0;
};
constexpr uint8_t kScsiGood = 0;
constexpr uint8_t kScsiCheckCondition = 2;

// The CDB engine: INQUIRY, TEST UNIT READY, READ CAPACITY (10) and (16), READ (10),
// REQUEST SENSE; anything else CHECK CONDITION 5/0x20/0x00.
CdbResult runCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t dataLength);
// Fixed-format sense data.
void makeSense(CdbResult& r, uint8_t key, uint8_t asc, uint8_t ascq);

// A notification as the controller queues it: a 512-byte FIB 700 with
// payload word 0 = 1, word 2 = the code, its words from word 3 and then the
// text's bytes with a NUL (cut to the FIB).
std::vector<uint8_t> notificationFib(uint32_t code, const std::vector<uint32_t>& words,
                                     const std::string& text = std::string());

// The simulator's CRC of a large-transfer chunk: reflected, polynomial
// 0xEDB88320, seed 0, no final inversion.
uint32_t chunkCrc(const uint8_t* data, size_t length);

}  // namespace vyn::hostsim

#endif
