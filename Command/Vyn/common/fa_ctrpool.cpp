// Snapshot maps, bad stripes, automatic failover, power management and the
// SSD cache pool.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_misc.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned CT_SET_FAILOVER_OPTION = 168;
constexpr unsigned CT_GET_SS_MAP_INFO = 220;
constexpr unsigned CT_GET_BST_INFO = 227;
constexpr unsigned CT_PM_CONFIGURATION = 246;
constexpr unsigned CT_ITP_SUPPORT_RRC_POOL = 254;

constexpr uint32_t kOpt3PowerManagement = 0x4;
constexpr uint32_t kOpt3CachePool = 0x40;
constexpr uint32_t kOpt3WriteCache = 0x8000;

// Sub-commands of the cache-pool command.
constexpr uint32_t kPoolAdd = 1;
constexpr uint32_t kPoolRemove = 2;
constexpr uint32_t kPoolReadCacheOn = 3;
constexpr uint32_t kPoolReadCacheOff = 4;
constexpr uint32_t kPoolWriteCacheDefault = 8;
constexpr uint32_t kPoolWriteCacheMode1 = 9;
constexpr uint32_t kPoolWriteCacheMode3 = 10;
constexpr uint32_t kPoolDirtyData = 11;
constexpr uint32_t kPmSet = 2;

constexpr FSA_STATUS kFailoverSetFailed = 469;
constexpr FSA_STATUS kNoMemory = 91;

bool gated(uint32_t bit, FSAAPI_CONTEXT* ctx) { return (FsaOptionWord3(ctx) & bit) == 0; }

// Maps a container status by a table of {status, result}; anything else
// leaves the transport's result.
struct StatusMap {
    uint32_t status;
    FSA_STATUS result;
};

template <size_t N>
FSA_STATUS mapStatus(FSA_STATUS sent, uint32_t status, const StatusMap (&table)[N])
{
    for (const StatusMap& m : table)
        if (m.status == status)
            return m.result;
    return sent;
}

// Sends a pool drive list of n handles with sub-command `sub`; the container
// status in *status. Lists longer than the record holds are refused.
FSA_STATUS sendPoolList(FSAAPI_CONTEXT* ctx, uint32_t sub, uint32_t p1, uint32_t p2, const uint32_t* handles,
                        uint32_t n, uint32_t* status)
{
    if (n > POOL_LIST_MAX || (n != 0 && handles == nullptr))
        return FSA_STS_BAD_PARAMETER;
    auto* list = static_cast<uint8_t*>(std::calloc(1, POOL_LIST_BYTES));
    if (list == nullptr)
        return kNoMemory;
    faPutLe32(list + 4, n);
    for (uint32_t i = 0; i < n; ++i)
        faPutLe32(list + 8 + 4 * i, handles[i]);
    *status = sub;
    uint32_t w1 = p1;
    uint32_t w2 = p2;
    FSA_STATUS sent = FSA_STS_SUCCESS;
    try {
        sent = CT_SendReceiveFIB(ctx, CT_ITP_SUPPORT_RRC_POOL, status, &w1, &w2, list, POOL_LIST_BYTES, nullptr, 0, 0);
    } catch (FSA_STATUS thrown) {
        sent = thrown;
    }
    std::free(list);
    return sent;
}

}  // namespace

uint32_t CT_DateWord(const FAOS_TIME_INFO& t)
{
    return static_cast<uint32_t>(t.month) | static_cast<uint32_t>(t.day) << 4 | static_cast<uint32_t>(t.hour) << 10 |
           static_cast<uint32_t>(t.minute) << 16 | static_cast<uint32_t>(t.second) << 22;
}

FSA_STATUS CT_GetSSMapInfo(FSAAPI_CONTEXT* ctx, uint32_t container, SnapshotMap* out)
{
    uint32_t p0 = container;
    CT_SendReceiveFIB(ctx, CT_GET_SS_MAP_INFO, &p0, nullptr, nullptr, nullptr, 0, out->bytes, sizeof out->bytes, 1);
    static const StatusMap kMap[] = {{378, 175}, {379, FSA_STS_BAD_PARAMETER}};
    return mapStatus(FSA_STS_SUCCESS, p0, kMap);
}

FSA_STATUS CT_GetBadStripeInfo(FSAAPI_CONTEXT* ctx, uint32_t container, _FSA_BAD_STRIPE_ENTRY* out)
{
    uint32_t p0 = container;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_BST_INFO, &p0, nullptr, nullptr, nullptr, 0, out->bytes, sizeof out->bytes, 0);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    static const StatusMap kMap[] = {{387, FSA_STS_BAD_PARAMETER}};
    return mapStatus(FSA_STS_SUCCESS, p0, kMap);
}

void CT_UseAutoFailover(FSAAPI_CONTEXT* ctx, uint32_t on)
{
    uint32_t p0 = on;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_SET_FAILOVER_OPTION, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent != FSA_STS_SUCCESS || p0 != CT_STS_NEW_SUCCESS)
        throw kFailoverSetFailed;
}

FSA_STATUS CT_SetPowerManagement(FSAAPI_CONTEXT* ctx, uint32_t container, const PM_CONFIG_DATA_S* config)
{
    if (gated(kOpt3PowerManagement, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t p0 = kPmSet;
    uint32_t p1 = container;
    FSA_STATUS sent = FSA_STS_SUCCESS;
    try {
        sent = CT_SendReceiveFIB(ctx, CT_PM_CONFIGURATION, &p0, &p1, nullptr, config->bytes, sizeof config->bytes,
                                 nullptr, 0, 0);
    } catch (FSA_STATUS thrown) {
        sent = thrown;
    }
    if (sent != FSA_STS_SUCCESS)
        return FSA_STS_CT_BAD_STATUS;
    switch (p0) {
    case CT_STS_NEW_SUCCESS: return FSA_STS_SUCCESS;
    case 219: return 92;
    case 12: return 11;
    default: return FSA_STS_CT_BAD_STATUS;
    }
}

FSA_STATUS CT_UpdateITPCacheSettings(FSAAPI_CONTEXT* ctx, uint32_t container, int enable)
{
    if (gated(kOpt3CachePool, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t p0 = enable != 0 ? kPoolReadCacheOn : kPoolReadCacheOff;
    uint32_t p1 = container;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_ITP_SUPPORT_RRC_POOL, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 1);
    static const StatusMap kMap[] = {{410, 624}, {412, 626}};
    return mapStatus(sent, p0, kMap);
}

FSA_STATUS CT_UpdateOrvexaWriteCacheSettings(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t mode, uint32_t p2)
{
    if (gated(kOpt3WriteCache, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t p0 = mode == 1 ? kPoolWriteCacheMode1 : (mode == 3 ? kPoolWriteCacheMode3 : kPoolWriteCacheDefault);
    uint32_t p1 = container;
    uint32_t w2 = p2;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_ITP_SUPPORT_RRC_POOL, &p0, &p1, &w2, nullptr, 0, nullptr, 0, 1);
    static const StatusMap kMap[] = {{414, 632}, {416, 634}, {418, 635}};
    return mapStatus(sent, p0, kMap);
}

FSA_STATUS CT_AddDriveToCachePool(FSAAPI_CONTEXT* ctx, uint32_t** drives, uint32_t* n)
{
    FsaApiEntryExit scope("CT_AddDriveToCachePool");
    CT_DebugText("CT_AddDriveToCachePool\n");
    if (gated(kOpt3CachePool, ctx))
        return FSA_STS_NOT_SUPPORTED;
    FAOS_TIME_INFO t = {};
    faos_GetTime(0, &t);
    uint32_t status = 0;
    const FSA_STATUS sent = sendPoolList(ctx, kPoolAdd, CT_DateWord(t), static_cast<uint32_t>(t.year) - 1900,
                                         drives != nullptr ? *drives : nullptr, n != nullptr ? *n : 0, &status);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    static const StatusMap kMap[] = {{420, 628}, {426, 637}};
    return mapStatus(sent, status, kMap);
}

FSA_STATUS CT_RemoveDriveFromCachePool(FSAAPI_CONTEXT* ctx, uint32_t** drives, uint32_t* n)
{
    FsaApiEntryExit scope("CT_RemoveDriveFromCachePool");
    CT_DebugText("CT_RemoveDriveFromCachePool\n");
    if (gated(kOpt3CachePool, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t status = 0;
    const FSA_STATUS sent = sendPoolList(ctx, kPoolRemove, 0, 0, drives != nullptr ? *drives : nullptr,
                                         n != nullptr ? *n : 0, &status);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    static const StatusMap kMap[] = {{422, 630}, {427, 638}};
    return mapStatus(sent, status, kMap);
}

FSA_STATUS CT_HasDirtyData(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_HasDirtyData");
    CT_DebugText("CT_HasDirtyData\n");
    if (gated(kOpt3WriteCache, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t p0 = kPoolDirtyData;
    FSA_STATUS sent = FSA_STS_SUCCESS;
    try {
        sent = CT_SendReceiveFIB(ctx, CT_ITP_SUPPORT_RRC_POOL, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    } catch (FSA_STATUS thrown) {
        return thrown;
    }
    if (sent != FSA_STS_SUCCESS)
        return sent;
    static const StatusMap kMap[] = {{428, 639}, {429, 640}};
    return mapStatus(sent, p0, kMap);
}

FSA_STATUS CT_ClearOrvexaPool(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_ClearOrvexaPool");
    CT_DebugText("CT_ClearOrvexaPool\n");
    if (gated(kOpt3CachePool, ctx))
        return FSA_STS_NOT_SUPPORTED;
    uint32_t status = 0;
    const FSA_STATUS sent = sendPoolList(ctx, kPoolRemove, 0, 0, nullptr, 0, &status);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    static const StatusMap kMap[] = {{422, 630}, {427, 639}};
    return mapStatus(sent, status, kMap);
}
