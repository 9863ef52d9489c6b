#ifndef VYN_COMMAND_VYN_COMMON_FA_ENUM_H
#define VYN_COMMAND_VYN_COMMON_FA_ENUM_H

#include "Command/Vyn/common/fa_types.h"

#include <cstddef>

struct _ADAPTER_INFO_STRUCT;
struct _ADAPTER_SUPPLEMENT_INFO_STRUCT;

// The enumeration callback: status 1 with one record per controller, then 4
// with a null record. A result other than 1 stops the walk.
typedef FSA_STATUS (*FSA_ENUM_ADAPTERS_CALLBACK)(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO* info, void* context);

// Lists every controller the driver exposes, one callback each, in ascending
// device index. The server names are not used: enumeration is always local.
// 1 when a controller was found, else 3; 7 without a callback; a thrown
// status is returned.
FSA_STATUS FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                            FSA_ENUM_ADAPTERS_CALLBACK callback);
FSA_STATUS FsaEnumAdaptersW(const wchar_t* server1, const wchar_t* server2, void* context,
                            FSA_ENUM_ADAPTERS_CALLBACK callback);
// The loop over device indexes 0 to 16; `remote` is always 0.
FSA_STATUS LocalEnumAdapters(int remote, void* context, FSA_ENUM_ADAPTERS_CALLBACK callback);

// Fills the OS-independent fields of the enumeration record from the adapter
// information and supplement replies (payloads of FIBs 703 and 706; either may
// be null).
void PopulateOSIndependentPartAdapterEnum(_tagFSA_ADAPTER_ENUM_INFO* info, _ADAPTER_INFO_STRUCT* adapterInfo,
                                          _ADAPTER_SUPPLEMENT_INFO_STRUCT* supplement);

// Offsets readers of the record rely on, with 4-byte wide characters.
static_assert(offsetof(_tagFSA_ADAPTER_ENUM_INFO, adapterType) == 2196, "adapter type at byte 2196");
static_assert(offsetof(_tagFSA_ADAPTER_ENUM_INFO, serialNumber) == 2208, "serial word 0 at byte 2208");
static_assert(offsetof(_tagFSA_ADAPTER_ENUM_INFO, serialNumber) + 4 == 2212, "serial word 1 at byte 2212");
static_assert(offsetof(_tagFSA_ADAPTER_ENUM_INFO, pcbaSerialNumber) == 2236, "long serial at byte 2236");
static_assert(offsetof(_tagFSA_ADAPTER_ENUM_INFO, trailing) + 32 == 2272, "the record ends at byte 2272");

#endif
