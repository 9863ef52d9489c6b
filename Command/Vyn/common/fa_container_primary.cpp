// Primary containers (built directly on free space of physical drives) and the
// two-level RAID-50 and RAID-60 containers.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_misc.h"

namespace {

constexpr FSA_STATUS kStsBadType = 22;
constexpr FSA_STATUS kStsTooManyMembers = 24;
constexpr FSA_STATUS kStsTableFull = 89;
constexpr FSA_STATUS kStsTooFewMembers = 90;
constexpr FSA_STATUS kStsTooFewRaid5 = 211;
constexpr FSA_STATUS kStsNotValid = 421;

// Operations of the container export that start an initialisation.
constexpr uint32_t kOpZero = 8;
constexpr uint32_t kOpScrub = 21;
// How long a host that announces new disks needs before a new container can
// be zeroed directly.
constexpr unsigned kZeroSettleMs = 30000;

enum class After { None, Scrub, Zero };

// One row of a creation table: the caller's type code, the code the
// container layer builds, the quick flag, the initialisation after creation,
// the fewest members and the status for fewer, and whether the container
// number comes from the top of the range.
struct TypeRow {
    uint32_t code;
    uint32_t createdAs;
    bool quick;
    After after;
    uint32_t minMembers;  // 0: any
    FSA_STATUS tooFew;
    bool fromTop;
};

constexpr TypeRow kPrimaryTypes[] = {
    {1, 1, false, After::Scrub, 0, 0, false},
    {23, 1, false, After::Zero, 0, 0, false},
    {28, 1, false, After::None, 0, 0, true},
    {29, 1, true, After::None, 0, 0, false},
    {2, 2, false, After::None, 0, 0, false},
    {54, 2, false, After::Zero, 0, 0, false},
    {3, 3, false, After::None, 0, 0, false},
    {4, 4, false, After::Scrub, 3, kStsTooFewRaid5, false},
    {8, 4, false, After::Zero, 3, kStsTooFewRaid5, false},
    {7, 4, false, After::None, 3, kStsTooFewRaid5, true},
    {30, 4, true, After::None, 3, kStsTooFewRaid5, false},
    {13, 13, false, After::Scrub, 0, 0, false},
    {25, 13, false, After::Zero, 0, 0, false},
    {31, 13, true, After::None, 0, 0, false},
    {15, 15, false, After::Scrub, 0, 0, false},
    {24, 15, false, After::Zero, 0, 0, false},
    {33, 15, true, After::None, 0, 0, false},
    {26, 26, false, After::Scrub, 0, 0, false},
    {27, 26, false, After::Zero, 0, 0, false},
    {32, 26, true, After::None, 0, 0, false},
    // RAID-5EE asks for 4 members: 3 are refused as RAID-5EE (90), not with
    // the RAID-5 status.
    {34, 34, false, After::Scrub, 4, kStsTooFewMembers, false},
    {35, 34, false, After::Zero, 4, kStsTooFewMembers, false},
    {36, 34, false, After::None, 4, kStsTooFewMembers, true},
    {38, 34, true, After::None, 4, kStsTooFewMembers, false},
    {40, 40, false, After::Scrub, 3, kStsTooFewMembers, false},
    {41, 40, false, After::Zero, 3, kStsTooFewMembers, false},
    {42, 40, false, After::None, 3, kStsTooFewMembers, false},
    {43, 40, true, After::None, 3, kStsTooFewMembers, false},
    {45, 45, false, After::Scrub, 4, kStsTooFewMembers, false},
    {46, 45, false, After::Zero, 4, kStsTooFewMembers, false},
    {47, 45, false, After::None, 4, kStsTooFewMembers, false},
    {48, 45, true, After::None, 4, kStsTooFewMembers, false},
};

// The two-level codes: created as RAID-50 (26) or RAID-60 (50).
constexpr TypeRow kTwoLevelTypes[] = {
    {26, 26, false, After::Scrub, 0, 0, false}, {27, 26, false, After::Zero, 0, 0, false},
    {32, 26, true, After::None, 0, 0, false},   {50, 50, false, After::Scrub, 0, 0, false},
    {51, 50, false, After::Zero, 0, 0, false},  {53, 50, true, After::None, 0, 0, false},
};

template <size_t N>
const TypeRow* rowOf(const TypeRow (&table)[N], uint32_t code)
{
    for (const TypeRow& row : table)
        if (row.code == code)
            return &row;
    return nullptr;
}



// Steps shared by both exports before the create request: the member limit,
// room in the controller's partition table, and the new number.
uint32_t checkRoomAndNumber(FSAAPI_CONTEXT* ctx, uint32_t count, bool fromTop)
{
    if (count > memberLimit(ctx)) {
        FsaDebugPrintf("FsaCreatePrimaryContainer: Too many partition requested\n");
        throw kStsTooManyMembers;
    }
    const uint32_t tableSize = CT_GetPartitionTableSize(ctx);
    uint32_t accessible = 0;
    uint32_t partitionLimit = 0;
    CT_GetContainerCount(ctx, &accessible, &partitionLimit);
    if (static_cast<uint64_t>(tableSize) + count > partitionLimit)
        throw kStsTableFull;
    return CT_GetNextFreeContainer(ctx, fromTop ? 1 : 0, 1);
}

// What follows a successful create request: the controller re-reads its
// configuration, the container gets its name, an empty file system and its
// host disk, the caller its identifier and the container its cache settings
// and initialisation. The container stays whatever these return.
FSA_STATUS finishPrimary(FSAAPI_CONTEXT* ctx, void* handle, uint32_t number, After after, const char* name,
                         const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild, tag_FSA_CONTAINER* out,
                         bool settleBeforeZero)
{
    if (noBuild != 0)
        after = After::None;
    CT_ReConfig(ctx, 1);
    RefreshConfigurationModel(ctx);
    if (name != nullptr) {
        const FSA_STATUS named = CT_SetName(ctx, number, name);
        if (named != FSA_STS_SUCCESS)
            return named;
    }
    if (noBuild == 0)
        CT_ClearFileSystem(ctx, number, 0);
    const bool hostAnnounces = IsHostWithDeviceNotifications(ctx);
    if (!(hostAnnounces && after == After::Zero) && number < exposureLimit(ctx)) {
        const FSA_STATUS exposed = FsaExposeCtrToOs(handle, static_cast<int>(number), noBuild != 0 ? 1 : 0);
        if (exposed != FSA_STS_SUCCESS)
            return exposed;
    }
    CT_GetStandardID(ctx, out, number);
    FSA_STATUS cacheStatus = FSA_STS_SUCCESS;
    if (cacheParams != nullptr && (cacheParams->readCache != 0 || cacheParams->writeCache != 0))
        cacheStatus = FsaContainerSetCacheParams(handle, out, cacheParams);
    FSA_STATUS result = FSA_STS_SUCCESS;
    switch (after) {
    case After::Scrub:
        result = FsaContainer(handle, out, kOpScrub, nullptr);
        break;
    case After::Zero:
        if (hostAnnounces) {
            if (settleBeforeZero)
                faos_Sleep(kZeroSettleMs);
            CT_Zero(ctx, number);
        } else {
            result = FsaContainer(handle, out, kOpZero, nullptr);
        }
        break;
    case After::None:
        break;
    }
    return cacheStatus != FSA_STS_SUCCESS ? cacheStatus : result;
}

}  // namespace

extern "C" FSA_STATUS FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                                uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                                uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams,
                                                int noBuild)
{
    FsaDebugPrintf("typeToCreate:%d  bNoBuild:%d\n", static_cast<int>(type), noBuild);
    return FsaExportedCall("FsaCreatePrimaryContainer", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (out == nullptr || (count != 0 && spaces == nullptr))
            return FSA_STS_BAD_PARAMETER;
        PCK_ValidateUserChunkSize(ctx, &chunkSize);
        const TypeRow* row = rowOf(kPrimaryTypes, type);
        const uint32_t number = checkRoomAndNumber(ctx, count, row != nullptr && row->fromTop);
        PCK_ValidateFreeSpace(ctx, spaces, count, 0);
        if (row == nullptr)
            return kStsBadType;
        if (row->minMembers != 0 && count < row->minMembers)
            return row->tooFew;
        CT_CreateNewContainer(ctx, number, row->createdAs, spaces, count, chunkSize, row->quick ? 1 : 0, noBuild);
        return finishPrimary(ctx, handle, number, row->after, name, cacheParams, noBuild, out, true);
    });
}

extern "C" FSA_STATUS FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                      uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                      uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    return FsaExportedCall("FsaCreateRAID50", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (out == nullptr || (count != 0 && spaces == nullptr))
            return FSA_STS_BAD_PARAMETER;
        PCK_ValidateUserChunkSize(ctx, &chunkSize);
        const uint32_t number = checkRoomAndNumber(ctx, count, false);
        PCK_ValidateFreeSpace(ctx, spaces, count, 0);
        const TypeRow* row = rowOf(kTwoLevelTypes, type);
        if (row == nullptr)
            return kStsBadType;
        if (row->createdAs == 26)
            CT_CreateRAID50(ctx, number, legs, spaces, count, chunkSize, row->quick ? 1 : 0, noBuild);
        else
            CT_CreateRAID60(ctx, number, legs, spaces, count, chunkSize, row->quick ? 1 : 0, noBuild);
        return finishPrimary(ctx, handle, number, row->after, name, cacheParams, noBuild, out, false);
    });
}

extern "C" FSA_STATUS FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                      uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                      uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    return FsaCreateRAID50(handle, out, type, name, legs, count, spaces, chunkSize, cacheParams, noBuild);
}

void RefreshConfigurationModel(FSAAPI_CONTEXT* ctx)
{
    if (ctx->vynIoConfig == nullptr)
        return;
    try {
        GetVynIoConfig(ctx);
    } catch (FSA_STATUS) {
    }
}

FSA_STATUS VerifySourceContainers(FSAAPI_CONTEXT* ctx, uint32_t type, uint32_t n, const tag_FSA_CONTAINER* sources)
{
    // Multilevel, used in a multilevel container, snapshot, locked; for a
    // volume also a running task.
    uint64_t mask = 0x4 | 0x8 | 0x4000 | 0x40000000;
    if (type == 3)
        mask |= 0x40;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t number = CT_GetInternalID(&sources[i]);
        if (CT_CheckConflicts(ctx, number) == 0)
            return kStsNotValid;
        if (PCK_ContainerIs(ctx, number, mask, 1) != 0)
            return kStsNotValid;
    }
    return FSA_STS_SUCCESS;
}
