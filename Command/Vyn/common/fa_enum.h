#ifndef VYN_COMMAND_VYN_COMMON_FA_ENUM_H
#define VYN_COMMAND_VYN_COMMON_FA_ENUM_H

#include "Command/Vyn/common/fa_types.h"

struct _ADAPTER_INFO_STRUCT;
struct _ADAPTER_SUPPLEMENT_INFO_STRUCT;

// Fills the OS-independent fields of the enumeration record from the adapter
// information and supplement replies (either may be null).
void PopulateOSIndependentPartAdapterEnum(_tagFSA_ADAPTER_ENUM_INFO* info, _ADAPTER_INFO_STRUCT* adapterInfo,
                                          _ADAPTER_SUPPLEMENT_INFO_STRUCT* supplement);

#endif
