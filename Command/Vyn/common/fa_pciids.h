#ifndef VYN_COMMAND_VYN_COMMON_FA_PCIIDS_H
#define VYN_COMMAND_VYN_COMMON_FA_PCIIDS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

extern "C" {
// The controller's four PCI identifiers (vendor, device, sub-vendor,
// sub-device). The flash request that reads them is not part of this build:
// 31, and the identifiers are left as they were.
FSA_STATUS FsaGetPCIIds(void* handle, uint16_t ids[4]);
}

#endif
