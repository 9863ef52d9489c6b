#include "Command/Vyn/common/fa_async.h"

FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT*, _FIB*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

// Event polling and the event channel are not available yet: each routine
// answers 31.

extern "C" FSA_STATUS FsaPollForEvent(void*, uint32_t, void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaRegisterGeneralCallback(void*, uint32_t, FSA_EVENT_CALLBACK, void*)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS AIF_SendFIB(FSAAPI_CONTEXT*, const void*, uint32_t, _FIB*, int throwOnError)
{
    return FSA_THROW(throwOnError ? 0 : 1, FSA_STS_NOT_SUPPORTED);
}

void AIF_SendEventToAllClients(FSAAPI_CONTEXT*, uint32_t, const FSA_EVENT_DETAILS*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
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
