#ifndef VYN_COMMAND_VYN_OS_FAUX_MISC_H
#define VYN_COMMAND_VYN_OS_FAUX_MISC_H

#include "Command/Vyn/common/fa_types.h"

#include <atomic>
#include <cstdint>
#include <cwchar>

class FSAAPI_CONTEXT;

// Current time with milliseconds, in UTC when utc is non-zero, else local.
void faos_GetTime(int utc, FAOS_TIME_INFO* info);
// 0, or -1 when the clock cannot be read. Without utcOnly the epoch is local
// seconds and the bias the offset from UTC in force, in minutes.
int faos_GetEpochTimeAndBias(int utcOnly, unsigned* epoch, int* biasMinutes);
// Sleeps through the host-I/O seam.
void faos_Sleep(unsigned ms);
// 1; out receives at most *length characters and a zero, *length is lowered
// to the name's length when it is shorter.
FSA_STATUS faos_GetHostName(wchar_t* out, unsigned* length);
int faos_GetOSType();
int faos_GetLastError();
int faos_IsThereOCE(FSAAPI_CONTEXT* ctx);
void faos_OutputDebugString(char* text);
// 9 without a driver connection; otherwise 1 with the verdict in out.
FSA_STATUS faos_GetVersionStatus(FSAAPI_CONTEXT* ctx, FSA_CODE_VERSION_STATUS* out);
// End offset of the first match of the extended regular expression; 0 when
// none or when the pattern does not compile.
int faux_MatchString(const char* text, const char* pattern);

// The window in which a host with device notifications is told of arriving
// and departing devices; this host has none: each answers 1 and does nothing.
FSA_STATUS faos_OpenDeviceNotificationWindow();
FSA_STATUS faos_WaitOnDeviceRemovalNotification();
FSA_STATUS faos_WaitOnDeviceArrivalNotification();
void faos_CloseDeviceNotificationWindow();
void faos_BreakInDebugger();

// The next id of a family of OS objects (mutexes, semaphores, locks): 1 to
// 9999, then 0 again, taken atomically from the family's counter.
uint32_t faux_NextObjectId(std::atomic<uint32_t>& counter);

#endif
