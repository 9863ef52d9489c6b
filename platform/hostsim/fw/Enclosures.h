#ifndef VYN_PLATFORM_HOSTSIM_FW_ENCLOSURES_H
#define VYN_PLATFORM_HOSTSIM_FW_ENCLOSURES_H

#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vyn::hostsim {

// An enclosure of the description ("enclE = <ses2|safte> <bus:target[:lun]>
// slots=n fans=n psus=n temps=n alarm=..."): its processor device and the
// drive in each slot. Its EMP index is its place in E order.
//
// What requests change is kept in the enclosure's object line, so the next
// process sees it: `ident=` lists the elements whose identify (locate) is on
// as <SES element type>:<index> ("1:3" slot 3, "14:0" the enclosure itself),
// `alarm_state=` the alarm's state (on, off, silenced, sounding; on when
// absent).
struct EnclosureView {
    unsigned number = 0;  // E
    unsigned emp = 0;
    bool ses2 = true;
    uint32_t bus = 0, target = 0, lun = 0;
    uint32_t fans = 0, psus = 0, temps = 0;
    bool alarm = false;
    std::string alarmState = "on";
    std::vector<std::pair<unsigned, unsigned>> identified;  // (element type, index), sorted
    std::string vendor;
    uint32_t nvsram = 0;        // the NVSRAM index command 9 answers
    std::vector<int> slotDrive; // drive index in each slot, -1 when empty
    uint32_t handle() const { return bus << 24 | lun << 16 | target; }
    bool isIdentified(unsigned type, unsigned index) const;
};

// Enclosures in EMP order, each drive in its slot: a drive's `slot=E:S`
// places it, `slot=none` keeps it out, and without the key drive I sits in
// slot I of the first enclosure on its bus when that slot exists and is free.
std::vector<EnclosureView> enclosuresOf(const ControllerState& c);

// Where drive `driveIndex` sits: its enclosure's EMP index and slot; false
// when it sits in none.
bool slotOfDrive(const std::vector<EnclosureView>& enclosures, unsigned driveIndex, unsigned* emp, unsigned* slot);

// The SAS address of enclosure `emp`'s expander, which the phys of the
// drives in its slots attach to.
uint64_t enclosureSasAddress(const ControllerState& c, unsigned emp);

// The SAS address of a drive's phy 0 or 1 (`sas_address=` sets phy 0; a SAS
// drive's second port follows it, a SATA drive has none: 0).
struct DeviceView;
struct CdbResult;
uint64_t driveSasAddress(const DeviceView& drive, unsigned phy);

// The device record (CT 248, 440 bytes) of drive `driveIndex`: every field but
// the handle and the slice fields, which the configuration view writes.
void fillDriveRecord(const ControllerState& c, unsigned driveIndex, uint8_t* record);
// Enclosure processor devices, listed by CT 247 after the drives.
std::vector<uint32_t> enclosureDeviceHandles(const ControllerState& c);
// The device record of an enclosure processor device; false for another handle.
bool enclosureDeviceRecord(const ControllerState& c, uint32_t handle, uint8_t* record);

// RECEIVE DIAGNOSTIC RESULTS on an enclosure device: the configuration page
// (1) and the element descriptor page (7); an SES-2 device gives the pages
// of its enclosure management, a SAF-TE processor the FRU descriptors of
// its elements (68-byte blocks per element holding part number, serial
// number, vendor, date of manufacture and a short type name). False for
// another CDB or another device.
bool runEnclosureCdb(const ControllerState& c, const DeviceView& device, const uint8_t* cdb, size_t cdbLength,
                     uint8_t* data, size_t dataLength, CdbResult& result);

// An enclosure-management request (FIB 500, word 0 = 12) as a handler sees it.
struct EmRequest {
    uint32_t commandWord = 0;  // command << 16 | sub-command
    uint32_t param[5] = {0, 0, 0, 0, 0};
    uint32_t length = 0;       // data sent, or expected when none is sent
    const uint8_t* input = nullptr;
    size_t inputSize = 0;
};

// Its answer: the enclosure status (0 done), the five parameter words and all
// the data; the transport decides between a single reply and the long form.
struct EmReply {
    uint32_t status = 0;
    uint32_t param[5] = {0, 0, 0, 0, 0};
    std::vector<uint8_t> data;
    bool changed = false;  // the handler changed the state: it is saved
};

using EmHandler = std::function<void(ControllerState&, const EmRequest&, EmReply&)>;

// Registers a class-12 handler for a command word (command << 16 |
// sub-command), or for every sub-command of a command given alone.
void addEnclosureHandler(Dispatcher& dispatcher, uint32_t commandWord, EmHandler handler);

}  // namespace vyn::hostsim

#endif
