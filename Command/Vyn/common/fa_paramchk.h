#ifndef VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H
#define VYN_COMMAND_VYN_COMMON_FA_PARAMCHK_H

class FSAAPI_CONTEXT;

// True when the context has no local driver: its driver-handle word is 0 and
// its no-host-driver indicator is 1.
bool PCK_HasNoHostDriver(const FSAAPI_CONTEXT* ctx);

// OEM server families with their own rules: the ROMB servers (OEM ids 9, 13
// and 14) and, with them, the legacy servers (also OEM id 8).
bool PCK_IsDellServerRomb(const FSAAPI_CONTEXT* ctx);
bool PCK_IsDellServerLegacy(const FSAAPI_CONTEXT* ctx);

#endif
