#include "Command/Vyn/common/fa_container.h"

// Not available yet: each export answers 31.

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

extern "C" FSA_STATUS FsaContainer(void*, const tag_FSA_CONTAINER*, uint32_t, void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaMorphContainer(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t, FSA_STORAGE_DEVICE*,
                                        uint32_t, uint64_t, int)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaGetContainerUsage(void*, const tag_FSA_CONTAINER*, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaVerifyContainer(void*, int) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaVerifyContainer2(void*, int, const void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaCreateLogicalDrive(void*, tag_FSA_CONTAINER*, uint32_t, const char*, uint32_t, uint32_t,
                                            const FSA_STORAGE_DEVICE_SPACE*, uint32_t, const uint32_t*, uint32_t,
                                            uint32_t, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaCommitDriveConfiguration(void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaForcePartitionCacheUpdate(void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaContainerForceOnline(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaContainerSetPowerManagement(void*, const tag_FSA_CONTAINER*, uint32_t, uint32_t, uint32_t,
                                                     uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}
