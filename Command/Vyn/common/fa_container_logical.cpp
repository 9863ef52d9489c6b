#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"

// Logical-drive creation, commit, forced online and power management. Not
// available yet: each export answers 31.

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
