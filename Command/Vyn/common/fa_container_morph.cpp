#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"

// Morphing, container usage and background verification. Not available yet:
// each export answers 31.

extern "C" FSA_STATUS FsaMorphContainer(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t, FSA_STORAGE_DEVICE*,
                                        uint32_t, uint64_t, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaGetContainerUsage(void*, const tag_FSA_CONTAINER*, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaVerifyContainer(void*, int) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaVerifyContainer2(void*, int, const void*) { return FSA_STS_NOT_SUPPORTED; }
