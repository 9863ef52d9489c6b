#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"

// Primary containers and RAID-50/60 creation. Not available yet: each export
// answers 31.

extern "C" FSA_STATUS FsaCreatePrimaryContainer(void*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t,
                                                const FSA_STORAGE_DEVICE_SPACE*, uint32_t,
                                                const tag_FSA_CONTAINER_PARAMS*, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaCreateRAID50(void*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t, uint32_t,
                                      const FSA_STORAGE_DEVICE_SPACE*, uint32_t, const tag_FSA_CONTAINER_PARAMS*, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaCreateRAID60(void*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t, uint32_t,
                                      const FSA_STORAGE_DEVICE_SPACE*, uint32_t, const tag_FSA_CONTAINER_PARAMS*, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS VerifySourceContainers(FSAAPI_CONTEXT*, uint32_t, uint32_t, const tag_FSA_CONTAINER*)
{
    return FSA_STS_NOT_SUPPORTED;
}
