#ifndef VYN_COMMAND_VYN_OS_FAUX_CHAR_H
#define VYN_COMMAND_VYN_OS_FAUX_CHAR_H

#include "Command/Vyn/common/fa_status.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;

// A device behind the controller. Only bus, target and LUN identify it; the
// kind of attachment and the adapter's serial word ride along.
struct FSA_STORAGE_DEVICE {
    uint32_t storageDeviceType;
    uint8_t busNumber;
    uint8_t targetId;
    uint8_t lun;
    uint8_t pad;
    uint32_t adapterSerial;
};
static_assert(sizeof(FSA_STORAGE_DEVICE) == 12, "storage device record is 12 bytes");

// An extent of free space on a device: start and length in bytes, both
// multiples of 64 KB. Packed: the 64-bit fields sit at bytes 12 and 20.
#pragma pack(push, 4)
struct FSA_STORAGE_DEVICE_SPACE {
    FSA_STORAGE_DEVICE device;
    uint64_t start;
    uint64_t length;
};
#pragma pack(pop)
static_assert(sizeof(FSA_STORAGE_DEVICE_SPACE) == 28, "device extent is 28 bytes");

enum FSA_SCSI_DATA_DIR : int {
    FSA_SCSI_NO_DATA = 0,
    FSA_SCSI_DATA_IN = 1,   // device to host
    FSA_SCSI_DATA_OUT = 2,  // host to device
};

// Hands a FIB of size bytes to the driver (512 with the send ioctl, any other
// size with the large one): 1, or 479 when the ioctl failed. Never throws;
// the FIB keeps what the driver left in it.
FSA_STATUS faos_SendReceiveFIB(FSAAPI_CONTEXT* ctx, _FIB* fib, unsigned size);

// One SCSI command to a device: through its SCSI generic node when it has one,
// else through the driver's raw request. The device's own verdict is in the
// SRB and SCSI status outputs; the result is 1, 6, 7, 66, 91 or 479.
FSA_STATUS faos_SendScsiCommand(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, unsigned cdbLength,
                                unsigned char* cdb, unsigned* transferred, unsigned char* data, unsigned dataLength,
                                FSA_SCSI_DATA_DIR direction, int wantSense, unsigned* senseLength,
                                unsigned char* sense, unsigned senseSize, unsigned* scsiStatus, unsigned* srbStatus);
FSA_STATUS faux_SendScsiCommand(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, unsigned cdbLength,
                                unsigned char* cdb, unsigned* transferred, unsigned char* data, unsigned dataLength,
                                FSA_SCSI_DATA_DIR direction, int wantSense, unsigned* senseLength,
                                unsigned char* sense, unsigned senseSize, unsigned* scsiStatus, unsigned* srbStatus);

#endif
