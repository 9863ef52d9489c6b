// Routines of the slice and partition-cache work that the container queries
// already call. They are not supported until that work is in place.
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_types.h"

void CT_GetPartitionInMemory(FSAAPI_CONTEXT*, uint32_t, Partition*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
