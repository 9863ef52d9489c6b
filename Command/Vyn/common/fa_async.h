#ifndef VYN_COMMAND_VYN_COMMON_FA_ASYNC_H
#define VYN_COMMAND_VYN_COMMON_FA_ASYNC_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;

// The details every adapter event carries; their layout depends on the
// event's class, so they are kept as bytes and read with the little-endian
// helpers.
constexpr uint32_t FSA_EVENT_DETAILS_BYTES = 320;
struct FSA_EVENT_DETAILS {
    uint8_t bytes[FSA_EVENT_DETAILS_BYTES];
};
static_assert(sizeof(FSA_EVENT_DETAILS) == FSA_EVENT_DETAILS_BYTES, "event details are 320 bytes");

// Waits for the next adapter-initiated FIB of the context's event thread and
// copies it into fib (512 bytes). Throws 31 until the event thread exists.
FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT* ctx, _FIB* fib);

// Event polling, the adapter-initiated event channel and its thread. Not
// available yet: the exports and the status-returning routines answer 31,
// the others throw it; the thread neither starts nor runs.
extern "C" {
FSA_STATUS FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer);
FSA_STATUS FsaRegisterGeneralCallback(void* handle, uint32_t eventMask, FSA_EVENT_CALLBACK callback, void* userData);
}

// One adapter-initiated request (FIB 700) with its reply; a failure is thrown
// when throwOnError is set.
FSA_STATUS AIF_SendFIB(FSAAPI_CONTEXT* ctx, const void* request, uint32_t requestLength, _FIB* reply,
                       int throwOnError);
// An event for every other client of the controller (request 107): the
// class and the first 56 bytes of the details. A failure is thrown.
void AIF_SendEventToAllClients(FSAAPI_CONTEXT* ctx, uint32_t eventClass, const FSA_EVENT_DETAILS* details);
// 1 when the thread runs, 0 when it could not be started.
int AIF_StartThreadProcessing(FSAAPI_CONTEXT* ctx);
void AIF_StopThreadProcessing(FSAAPI_CONTEXT* ctx);
// The thread body; 0.
int AIF_FibThreadProcessing(FSAAPI_CONTEXT* ctx);
void AIF_ParseAndProcessFib(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, _FIB* fib);
void AIF_ProcessEventNotify(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const uint8_t* notify);
void AIF_FilterAndProcessEvent(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, uint32_t eventClass,
                               FSA_EVENT_DETAILS* details);

#endif
