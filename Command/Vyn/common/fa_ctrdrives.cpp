// The containers that depend on given drives. Not available yet: each routine
// answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

void CT_FindContainersToDeleteByDisk(FSAAPI_CONTEXT*, FSA_STORAGE_DEVICE*, uint32_t, tag_FSA_CONTAINER*, uint32_t*,
                                     uint32_t, tag_FSA_CONTAINER*, uint32_t*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_AddToFindList(FSAAPI_CONTEXT*, FIND_CT_TO_DELETE_STRUCT*, uint32_t*, FSA_PARTITION_CACHE_ELEMENT*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_CheckForHigherUpContainers(FSAAPI_CONTEXT*, FIND_CT_TO_DELETE_STRUCT*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
