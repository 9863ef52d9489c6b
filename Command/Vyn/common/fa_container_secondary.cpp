#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"

// Secondary containers built over existing ones, volume growth and mirrors.
// Not available yet: each export answers 31.

extern "C" FSA_STATUS FsaCreateSecondaryContainer(void*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t,
                                                  const tag_FSA_CONTAINER*, uint32_t, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaGrowPrimaryVolumeSet(void*, const tag_FSA_CONTAINER*, const FSA_STORAGE_DEVICE_SPACE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaCreateMirrorFromVolume(void*, tag_FSA_CONTAINER*, uint32_t, const FSA_STORAGE_DEVICE*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaMirror(void*, uint32_t, tag_FSA_CONTAINER*, tag_FSA_CONTAINER*)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS FinishCreateSecondaryContainer(FSAAPI_CONTEXT*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t,
                                          const tag_FSA_CONTAINER*, uint32_t, int)
{
    return FSA_STS_NOT_SUPPORTED;
}
