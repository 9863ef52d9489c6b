// Container trees, the ending of background tasks and the partitions of
// phantom containers, used before a container is deleted. Not available yet:
// each routine answers or throws 31.
#include "Command/Vyn/common/fa_container_intern.h"

uint32_t GetContainerTree(FSAAPI_CONTEXT*, uint32_t, uint32_t*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void EndAllApiTasksOnContainer(FSAAPI_CONTEXT*, uint32_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS deletePhantomContainerPartitions(void*, uint32_t) { return FSA_STS_NOT_SUPPORTED; }
