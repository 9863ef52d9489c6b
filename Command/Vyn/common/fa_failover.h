#ifndef VYN_COMMAND_VYN_COMMON_FA_FAILOVER_H
#define VYN_COMMAND_VYN_COMMON_FA_FAILOVER_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

extern "C" {
// The automatic-failover flags (bit 0x4 = on) into *flags: 1, or 470 when the
// controller does not answer them.
FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags);
}

#endif
