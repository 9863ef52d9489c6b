#include "Command/Vyn/common/fa_init.h"

// Not available yet: each export answers 31.

extern "C" FSA_STATUS FsaInitStorageDeviceForFsa(void*, uint32_t, const FSA_STORAGE_DEVICE*, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaInitStorageDeviceSetForFsa(void*, uint32_t, uint32_t, FSA_STORAGE_DEVICE**, uint32_t*,
                                                    uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaProtectStorageDeviceSet(void*, FSA_STORAGE_DEVICE**, uint32_t*, uint32_t, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaStorageDeviceSetCachePool(void*, FSA_STORAGE_DEVICE**, uint32_t*, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaHasDirtyData(void*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaClearOrvexaPool(void*) { return FSA_STS_NOT_SUPPORTED; }
