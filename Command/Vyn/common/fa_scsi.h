#ifndef VYN_COMMAND_VYN_COMMON_FA_SCSI_H
#define VYN_COMMAND_VYN_COMMON_FA_SCSI_H

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstddef>
#include <cstdint>

class FSAAPI_CONTEXT;
struct EnhancedGetDeviceProbeInfo_CSS;
struct FSA_SMART_DATA;

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

// SCSI-class requests and SMART settings not available yet: the
// status-returning routines answer 31, the drive requests throw it, the
// firmware blink (whose result nobody reads) sends nothing.
// The device probe information, falling back on the legacy request.
FSA_STATUS SCSI_GetDeviceProbeInfo(FSAAPI_CONTEXT* ctx, uint32_t handle, EnhancedGetDeviceProbeInfo_CSS* info);
// Whether the record carries the field at `offset`.
int SCSI_GetDeviceProbeInfoIsSupported(const EnhancedGetDeviceProbeInfo_CSS* info, size_t offset);
// 1 when the slice's partition type is 3.
int SCSI_hasDosPartition(FSAAPI_CONTEXT* ctx, int slice);
void SCSI_BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);
void SCSI_FWBlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);
// Drive requests on a device handle; the passwords are zero-terminated.
void SCSI_StartVerify(FSAAPI_CONTEXT* ctx, uint32_t handle, int repair);
void SCSI_StartZero(FSAAPI_CONTEXT* ctx, uint32_t handle);
void SCSI_StartSecureErase(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
void SCSI_SetATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
void SCSI_ClearATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
// The SMART informational-exceptions settings of one drive; `channelMode` is
// an FSAAPI_CHANNEL_MODE.
FSA_STATUS FsaApiInternalSetSmartDeviceInfo(void* handle, int flags, const FSA_STORAGE_DEVICE* device,
                                            FSA_SMART_DATA* smart);
FSA_STATUS FsaApiInternalSetSmartDeviceInfoForChanMode(void* handle, int flags, const FSA_STORAGE_DEVICE* device,
                                                       FSA_SMART_DATA* smart, uint32_t channelMode);

// Physical device operations. Not available yet: each answers 31.
extern "C" {
FSA_STATUS FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                             uint32_t* parameters, uint32_t* extra);
FSA_STATUS FsaStorageDevice(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                            uint32_t* parameters);
FSA_STATUS FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device);
FSA_STATUS FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device);
FSA_STATUS FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength, uint8_t* cdb,
                              uint32_t* dataLength, uint8_t* data, uint32_t dataBufferLength,
                              FSA_SCSI_DATA_DIR direction, int reportSense, uint32_t* senseLength, uint8_t* sense,
                              uint32_t senseBufferLength, uint32_t* scsiStatus, uint32_t* completionClass);
// `result` is the 132-byte diagnostic result record.
FSA_STATUS FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation, void* result);
FSA_STATUS FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c);
}

#endif
