#ifndef VYN_COMMAND_VYN_COMMON_FA_SCSI_H
#define VYN_COMMAND_VYN_COMMON_FA_SCSI_H

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstddef>
#include <cstdint>

class FSAAPI_CONTEXT;

// SCSI-class request sub-commands of the bus information.
enum : uint32_t {
    SCSI_SUB_GET_BUS_INFO_LEGACY = 9,
    SCSI_SUB_GET_BUS_INFO = 12,
};

// Largest request data of a SCSI-class request.
constexpr uint32_t SCSI_MAX_DATA = 456;

// The bus information; the firmware fills the version word at byte 32, a
// record read with the legacy request carries version 0.
struct EnhancedGetBusInfo_CSS {
    uint8_t bytes[156];
};
static_assert(sizeof(EnhancedGetBusInfo_CSS) == 156, "enhanced bus information is 156 bytes");
constexpr size_t BUS_INFO_VERSION = 32;
constexpr uint32_t BUS_INFO_LEGACY_BYTES = 32;

// Sends one SCSI-class request (FIB 500, service words 3 and 9) with `length`
// bytes of data, which the reply overwrites. 1; 71 for data over 456 bytes
// (nothing sent); 31 for a controller status of 10004; 72 for any other
// non-zero status; the send status. Thrown instead when throwOnError is set.
FSA_STATUS SCSI_sendfib(FSAAPI_CONTEXT* ctx, uint32_t command, uint32_t subCommand, void* data, uint32_t length,
                        int throwOnError);
// The enhanced bus information, falling back on the legacy request when the
// controller answers 72. 7 for a null record.
FSA_STATUS SCSI_GetBusInfo(FSAAPI_CONTEXT* ctx, EnhancedGetBusInfo_CSS* info);
// Whether the record carries the field at `offset`.
int SCSI_GetBusInfoIsSupported(const EnhancedGetBusInfo_CSS* info, size_t offset);
// The device handle of a device address in the low word (0xFFFFFFFF when it
// has none); the high word the decoded bus, or the value that failed.
uint64_t SCSI_GetInternalID(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device);
// The device address of a device handle.
void SCSI_GetStandardID(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE* device, uint32_t handle);

#endif
