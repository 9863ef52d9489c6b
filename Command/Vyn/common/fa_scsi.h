#ifndef VYN_COMMAND_VYN_COMMON_FA_SCSI_H
#define VYN_COMMAND_VYN_COMMON_FA_SCSI_H

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstddef>
#include <cstdint>

class FSAAPI_CONTEXT;
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

// The device probe information; the firmware fills the version word at byte
// 108, a record read with the legacy request (108 bytes) carries version 0.
struct EnhancedGetDeviceProbeInfo_CSS {
    uint8_t bytes[204];
};
static_assert(sizeof(EnhancedGetDeviceProbeInfo_CSS) == 204, "enhanced device probe information is 204 bytes");
constexpr size_t DEVICE_PROBE_VERSION = 108;

// The parameter block of the drive operations (FsaStorageDevice2): ten u32
// words (1 blink seconds, 2 cache policy), then a pointer-sized slot at byte
// 40 for the password string, which a u32 word cannot hold on a 64-bit host.
// Always read and written through the helpers below.
constexpr unsigned FSA_DRIVE_OP_PASSWORD_AT = 40;
constexpr unsigned FSA_DRIVE_OP_PARAM_BYTES = FSA_DRIVE_OP_PASSWORD_AT + sizeof(void*);
constexpr unsigned FSA_DRIVE_OP_PARAM_WORDS = (FSA_DRIVE_OP_PARAM_BYTES + 3) / 4;
uint32_t FsaDriveOpParamWord(const uint32_t* block, unsigned word);
const char* FsaDriveOpParamPassword(const uint32_t* block);
void FsaDriveOpParamSetPassword(uint32_t* block, const char* password);

// The device probe information, falling back on the legacy request when the
// controller answers 72 (a second 72 gives 12). 7 for a null record.
FSA_STATUS SCSI_GetDeviceProbeInfo(FSAAPI_CONTEXT* ctx, uint32_t handle, EnhancedGetDeviceProbeInfo_CSS* info);
// Whether the record carries the field at `offset`.
int SCSI_GetDeviceProbeInfoIsSupported(const EnhancedGetDeviceProbeInfo_CSS* info, size_t offset);
// 1 when the slice's partition type is 3.
int SCSI_hasDosPartition(FSAAPI_CONTEXT* ctx, int slice);
// Blinking by software (the context's blink manager) and by the firmware
// (CT 241, result ignored).
void SCSI_BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);
void SCSI_FWBlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);
// Drive requests on a device handle; failures are thrown (a verify the
// controller refuses as 518). The passwords are zero-terminated, at most 31
// characters (7 otherwise, nothing sent).
void SCSI_StartVerify(FSAAPI_CONTEXT* ctx, uint32_t handle, int repair);
void SCSI_StartZero(FSAAPI_CONTEXT* ctx, uint32_t handle);
void SCSI_StartSecureErase(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
void SCSI_SetATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
void SCSI_ClearATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password);
// The handle of the adapter that owns the device: 0 when it is this adapter
// or one the context does not know.
uint32_t ScsiAdapterHandle(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device);
uint32_t GetRelevantAdapterForScsi(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device);
// The SMART informational-exceptions settings of one drive: 1 when the drive
// reads back what was asked, 384 when it does not, 377-383 for a setting the
// drive cannot take; `channelMode` is an FSAAPI_CHANNEL_MODE.
FSA_STATUS FsaApiInternalSetSmartDeviceInfo(void* handle, int flags, const FSA_STORAGE_DEVICE* device,
                                            FSA_SMART_DATA* smart);
FSA_STATUS FsaApiInternalSetSmartDeviceInfoForChanMode(void* handle, int flags, const FSA_STORAGE_DEVICE* device,
                                                       FSA_SMART_DATA* smart, uint32_t channelMode);

// Physical device operations on one drive, forwarded to the adapter that owns
// it. `parameters` is a drive-operation parameter block (above).
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
