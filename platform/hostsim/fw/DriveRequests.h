#ifndef VYN_PLATFORM_HOSTSIM_FW_DRIVEREQUESTS_H
#define VYN_PLATFORM_HOSTSIM_FW_DRIVEREQUESTS_H

#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>

namespace vyn::hostsim {

// Drive self-test over the CDB engine: SEND DIAGNOSTIC starts or aborts a
// background self-test (or runs the default one), REQUEST SENSE reports the
// progress of a running one, LOG SENSE page 0x10 the latest result. The
// test's state is kept in the drive's object line (`selftest=`), so the next
// process sees it. False when the CDB is none of these; *changed is set when
// the state changed and must be saved.
bool runSelfTestCdb(ControllerState& c, const DeviceView& device, const uint8_t* cdb, size_t cdbLength,
                    uint8_t* data, size_t dataLength, CdbResult& result, bool* changed);

// Class 3 sub-commands of drives: device probe (11, and 5 of older
// controllers), drive size (6), the informational exceptions mode page (17,
// 18), drive requests (48, 52: verify, zero, secure erase, ATA passwords),
// drive state requests (80) and drive security (96); CT 241 (firmware
// blink), 242 and 243 (JBOD) and 257 (wear-out parameters).
void registerDriveRequestHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
