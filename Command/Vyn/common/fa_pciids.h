#ifndef VYN_COMMAND_VYN_COMMON_FA_PCIIDS_H
#define VYN_COMMAND_VYN_COMMON_FA_PCIIDS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

extern "C" {
// The controller's four PCI identifiers (vendor, device, sub-vendor,
// sub-device), read with the flash request; 589, with the identifiers left
// as they were, when the controller does not answer it.
FSA_STATUS FsaGetPCIIds(void* handle, uint16_t ids[4]);
}

#endif
