#ifndef VYN_COMMAND_VYN_COMMON_FA_ASYNC_H
#define VYN_COMMAND_VYN_COMMON_FA_ASYNC_H

#include "Command/Vyn/common/fa_types.h"

class FSAAPI_CONTEXT;
struct _FIB;

// Waits for the next adapter-initiated FIB of the context's event thread and
// copies it into fib (512 bytes). Throws 31 until the event thread exists.
FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT* ctx, _FIB* fib);

#endif
