#ifndef VYN_COMMAND_VYN_COMMON_FA_VERIFY_H
#define VYN_COMMAND_VYN_COMMON_FA_VERIFY_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

// The verify request record: word 0 a priority code (1 to 3), word 1 the
// period in days, used when word 0 is 0.
struct FSA_VERIFY_REQUEST {
    uint8_t bytes[132];
};
static_assert(sizeof(FSA_VERIFY_REQUEST) == 132, "verify request is 132 bytes");

extern "C" {
// state[0] = background verification on; with a running verify task its
// progress words in state[1] and state[2]. 1, or 520 when the controller does
// not answer.
FSA_STATUS FsaVerifyContainerGetInfo(void* handle, uint32_t state[3]);
// The same after writing the verify period into word 1 of a zeroed *out; 7
// for a null pointer.
FSA_STATUS FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out);
}

#endif
