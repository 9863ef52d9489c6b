// Phantom containers and the unique ids recorded in partitions. Not available
// yet: each routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

void CT_FindUidForCtrWithPartition(FSAAPI_CONTEXT*, uint32_t, const Partition*, uint32_t*, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

int CT_GetPhantomContainer2(FSAAPI_CONTEXT*, uint32_t, FSA_CONTAINER_INFO_EXTND*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
