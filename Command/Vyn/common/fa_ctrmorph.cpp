// Dead partitions, partition deletion and morphing. Not available yet: each
// routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

uint64_t CT_GetContainerSize(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_RemoveDeadPartitions(FSAAPI_CONTEXT*, int, const FSA_PARTITION*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SetDeadPartitions(FSAAPI_CONTEXT*, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_SetDeadPartition(FSAAPI_CONTEXT*, int, uint32_t, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_ClearDeadPartition(FSAAPI_CONTEXT*, int, uint64_t, uint64_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_DeletePartitions(FSAAPI_CONTEXT*, uint32_t, VYNIO_SEGMENT64_S*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SetDead(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_MorphContainer(FSAAPI_CONTEXT*, const tag_FSA_CONTAINER*, uint32_t, uint32_t, const FSA_STORAGE_DEVICE*,
                             uint32_t, uint64_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_GenerateMorphContainer(FSAAPI_CONTEXT*, uint32_t, uint32_t, uint32_t, const FSA_STORAGE_DEVICE*, uint32_t,
                                     uint64_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_GenerateMorphContainerNew64(FSAAPI_CONTEXT*, uint32_t, uint32_t, uint32_t, const FSA_STORAGE_DEVICE*,
                                          uint32_t, uint64_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
