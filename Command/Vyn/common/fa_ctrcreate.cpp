// Container creation requests. Not available yet: each routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

FSA_STATUS CT_GenCreateInfo(FSAAPI_CONTEXT*, _ContainerCreationInfo*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SetDateTimeInfo(VYNIO_CREATE_HEADER_S*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_FindDiskOffset(int64_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_GetRaid6Size(void*, uint32_t, uint64_t, uint64_t*) { return FSA_STS_NOT_SUPPORTED; }

void CT_ContainerCreate(FSAAPI_CONTEXT*, CreateContainer*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_CreateNewContainer(FSAAPI_CONTEXT*, uint32_t, uint32_t, const FSA_STORAGE_DEVICE_SPACE*, uint32_t, uint32_t,
                           int, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_CreateRAID50(FSAAPI_CONTEXT*, uint32_t, uint32_t, const FSA_STORAGE_DEVICE_SPACE*, uint32_t, uint32_t, int, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_CreateRAID60(FSAAPI_CONTEXT*, uint32_t, uint32_t, const FSA_STORAGE_DEVICE_SPACE*, uint32_t, uint32_t, int, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_GenerateSecondary(FSAAPI_CONTEXT*, uint32_t, uint32_t, const uint32_t*, uint32_t, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_VynIoCreateLogicalDrive(FSAAPI_CONTEXT*, VYNIO_CREATE_HEADER_S*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_GetPartitionForContainer(FSAAPI_CONTEXT*, uint32_t, int, Partition*, FSA_THROW_MODE mode)
{
    return FSA_THROW(mode, FSA_STS_NOT_SUPPORTED);
}

int CT_PhantomOrRealExists(FSAAPI_CONTEXT*, uint32_t, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_GetNextFreeContainer(FSAAPI_CONTEXT*, int, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }
