#ifndef VYN_COMMAND_VYN_COMMON_FA_ASYNC_H
#define VYN_COMMAND_VYN_COMMON_FA_ASYNC_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;

// Waits for the next adapter-initiated FIB of the context's event thread and
// copies it into fib (512 bytes). Throws 31 until the event thread exists.
FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT* ctx, _FIB* fib);

// Bytes of the event details every adapter event carries.
constexpr uint32_t FSA_EVENT_DETAILS_BYTES = 320;

// Passes an event (its class and 320 bytes of details) to every client of
// the controller's events; a failure is thrown. Throws 31 until the sender
// of the event channel exists.
void AIF_SendEventToAllClients(FSAAPI_CONTEXT* ctx, uint32_t eventClass, const uint8_t* details);

#endif
