#ifndef VYN_COMMAND_VYN_OS_FAUX_OEM_ULB_H
#define VYN_COMMAND_VYN_OS_FAUX_OEM_ULB_H

#include <cwchar>

// OEM types; the device-name prefix follows the process-wide type.
enum FSA_OEM_TYPE {
    FSA_OEM_UNKNOWN = 0,
    FSA_OEM_GENERIC = 1,  // "ulb"
    FSA_OEM_DELL = 3,     // "omr"
    FSA_OEM_HP = 4,       // "hpn"
};

// The OEM type of this process, 1 at load.
extern int faux_oemtype;

// Writes the prefix of the current OEM type ("" for an unknown type) and
// returns the buffer, which must hold 4 bytes.
char* FsaUxGetDeviceNamePrefix(char* buffer);
int faos_GetOEMWithNoContext();

// 1 when the lower-cased name begins with the current prefix; 0 otherwise and
// always when the prefix is empty.
int faux_IsAdapterNameValid(const char* name);
// A lower-case narrow name of at most outSize - 1 characters; an output size
// below 17 gives the empty string.
void faux_mbAdapterNameFromWide(const wchar_t* wide, char* out, int outSize);
// "/dev/<name>", lower-cased; an output size below 101 gives the empty string.
void faux_mbFullAdapterName(const char* name, char* out, int outSize);

#endif
