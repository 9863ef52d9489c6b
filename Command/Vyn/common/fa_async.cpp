#include "Command/Vyn/common/fa_async.h"

FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT*, _FIB*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void AIF_SendEventToAllClients(FSAAPI_CONTEXT*, uint32_t, const uint8_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
