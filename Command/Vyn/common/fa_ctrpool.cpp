// Snapshot maps, bad stripes, automatic failover, power management and the
// SSD cache pool. Not available yet: each routine answers 31.
#include "Command/Vyn/common/fa_intern_ctr.h"

FSA_STATUS CT_GetSSMapInfo(FSAAPI_CONTEXT*, uint32_t, SnapshotMap*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_GetBadStripeInfo(FSAAPI_CONTEXT*, uint32_t, _FSA_BAD_STRIPE_ENTRY*) { return FSA_STS_NOT_SUPPORTED; }

void CT_UseAutoFailover(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_SetPowerManagement(FSAAPI_CONTEXT*, uint32_t, const PM_CONFIG_DATA_S*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_UpdateITPCacheSettings(FSAAPI_CONTEXT*, uint32_t, int) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_UpdateOrvexaWriteCacheSettings(FSAAPI_CONTEXT*, uint32_t, uint32_t, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS CT_AddDriveToCachePool(FSAAPI_CONTEXT*, uint32_t**, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_RemoveDriveFromCachePool(FSAAPI_CONTEXT*, uint32_t**, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_HasDirtyData(FSAAPI_CONTEXT*) { return FSA_STS_NOT_SUPPORTED; }

FSA_STATUS CT_ClearOrvexaPool(FSAAPI_CONTEXT*) { return FSA_STS_NOT_SUPPORTED; }
