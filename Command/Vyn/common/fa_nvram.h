#ifndef VYN_COMMAND_VYN_COMMON_FA_NVRAM_H
#define VYN_COMMAND_VYN_COMMON_FA_NVRAM_H

// NVRAM and battery: the operations of FsaNvram (declared in fa_filesys.h)
// and the two requests that carry them.
#include "Command/Vyn/common/fa_filesys.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// Operations of FsaNvram. The status query fills record words 0 to 3; a new
// battery reads the low 16 bits of word 4; the others use no record.
enum FSA_NVRAM_OPERATION : uint32_t {
    FSA_NVO_GET_STATUS = 0,
    FSA_NVO_RELEASE_ORPHAN_BUFFERS = 1,
    FSA_NVO_START_BATT_RECONDITION = 2,
    FSA_NVO_NEW_BATTERY = 3,
};

// Words of the caller's record. Words 2 and 3 stand for two words the
// firmware keeps past the end of a FIB; they never reach this host and are 0.
enum : unsigned {
    FSA_NVRAM_STATE_WORD = 0,
    FSA_NVRAM_BATTERY_WORD = 1,
    FSA_NVRAM_FIRMWARE_WORD2 = 2,
    FSA_NVRAM_FIRMWARE_WORD3 = 3,
    FSA_NVRAM_NEW_BATTERY_WORD = 4,
    FSA_NVRAM_RECORD_WORDS = 5,
};

// One file-system-class request (FIB 300): `requestLength` bytes of request
// (at most the 480 a FIB holds) in, the FIB's payload back into `reply`. A
// reply area longer than the FIB gets zeros past it. Throws the send's status,
// or 7 for a request that does not fit.
void FS_SendReceiveFib(FSAAPI_CONTEXT* ctx, const void* request, int requestLength, void* reply, int replyLength);

// Tells the controller that a new battery was fitted: 1, or 535 when the
// request fails. The request goes out with adapter number word 3; the
// context's word is restored afterwards.
FSA_STATUS NVRAM_NewBattery(FSAAPI_CONTEXT* ctx, uint16_t value);

#endif
