#ifndef VYN_COMMAND_VYN_COMMON_FA_CTRWIDE_H
#define VYN_COMMAND_VYN_COMMON_FA_CTRWIDE_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

// Host operating-system queries: 213 for OS codes 2, 7 and 8, else 1.
extern "C" FSA_STATUS FsaValidHostOs();
extern "C" int FsaIsUnixOS(int osType);
extern "C" int FsaIsNTOS(int osType);
extern "C" int FsaGetOSType();

#endif
