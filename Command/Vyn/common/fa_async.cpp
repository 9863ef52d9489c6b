#include "Command/Vyn/common/fa_async.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_lowlevel.h"

#include <cstring>

FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT*, _FIB*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

// Event polling and the event channel are not available yet: each routine
// answers 31.

extern "C" FSA_STATUS FsaPollForEvent(void*, uint32_t, void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaRegisterGeneralCallback(void*, uint32_t, FSA_EVENT_CALLBACK, void*)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS AIF_SendFIB(FSAAPI_CONTEXT* ctx, const void* request, uint32_t requestLength, _FIB* reply,
                       int throwOnError)
{
    constexpr uint16_t kAifCommand = 700;
    constexpr unsigned kFibHeader = 32;
    alignas(_FIB) uint8_t fib[FSA_FIB_SIZE];
    // A request longer than the FIB's payload would run past the block.
    if (request == nullptr || requestLength > sizeof fib - kFibHeader)
        return FSA_THROW(throwOnError ? 0 : 1, FSA_STS_BAD_PARAMETER);
    faBuildFib(fib, sizeof fib, kAifCommand, static_cast<uint16_t>(requestLength));
    std::memcpy(fib + kFibHeader, request, requestLength);
    const FSA_STATUS status = FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, FSA_FIB_SIZE);
    if (status == FSA_STS_SUCCESS && reply != nullptr)
        std::memcpy(reply, fib, sizeof fib);
    if (throwOnError && status != FSA_STS_SUCCESS)
        throw status;
    return status;
}

void AIF_SendEventToAllClients(FSAAPI_CONTEXT* ctx, uint32_t eventClass, const FSA_EVENT_DETAILS* details)
{
    // Request 107: word 0 the request, word 2 the class, the details from
    // byte 12; the request is 68 bytes long, so only 56 bytes of the details
    // travel.
    constexpr uint32_t kClientEvent = 107;
    constexpr uint32_t kRequestBytes = 68;
    constexpr size_t kDetailsAt = 12;
    uint8_t request[kRequestBytes] = {};
    faPutLe32(request, kClientEvent);
    faPutLe32(request + 8, eventClass);
    if (details != nullptr)
        std::memcpy(request + kDetailsAt, details->bytes, kRequestBytes - kDetailsAt);
    alignas(_FIB) uint8_t reply[FSA_FIB_SIZE];
    AIF_SendFIB(ctx, request, kRequestBytes, faAsFib(reply), 1);
}

int AIF_StartThreadProcessing(FSAAPI_CONTEXT*) { return 0; }

void AIF_StopThreadProcessing(FSAAPI_CONTEXT*) {}

int AIF_FibThreadProcessing(FSAAPI_CONTEXT*) { return 0; }

void AIF_ParseAndProcessFib(FSAAPI_CONTEXT*, FSAAPI_CONTEXT*, _FIB*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void AIF_ProcessEventNotify(FSAAPI_CONTEXT*, FSAAPI_CONTEXT*, const uint8_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void AIF_FilterAndProcessEvent(FSAAPI_CONTEXT*, FSAAPI_CONTEXT*, uint32_t, FSA_EVENT_DETAILS*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
