// The legacy container record of one container (cttype, 1152 bytes), from
// CT 178 or, on controllers that only know the older command, from the
// 708-byte record of CT 5 widened.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

#include <cstring>

namespace {

constexpr uint32_t CT_GET_CONTAINER_INFO_OLD = 5;
constexpr uint32_t CT_GET_CONTAINER_INFO = 178;
constexpr unsigned kRecordBytes = 1152;
constexpr unsigned kOldRecordBytes = 708;
constexpr uint32_t kOpt2NewRecord = 0x10;
// Statuses that name a container even when its record is empty.
constexpr uint32_t kSnapshotStatusA = 5;
constexpr uint32_t kSnapshotStatusB = 6;

int exists(const uint8_t* record, uint32_t status)
{
    return faGetLe32(record) != 0 || status == kSnapshotStatusA || status == kSnapshotStatusB ? 1 : 0;
}

// The older record's words 0, 1, 2, 35 and 3-34 take words 0, 1, 3, 4 and
// 5-36; its bytes from 144 on move to byte 532.
void widen(const uint8_t* old, uint8_t* out)
{
    std::memset(out, 0, kRecordBytes);
    std::memcpy(out + 0, old + 0, 8);
    std::memcpy(out + 12, old + 8, 4);
    std::memcpy(out + 16, old + 140, 4);
    std::memcpy(out + 20, old + 12, 32 * 4);
    std::memcpy(out + 532, old + 144, kOldRecordBytes - 144);
}

}  // namespace

int CT_GetContainer(FSAAPI_CONTEXT* ctx, uint32_t container, void* record, uint32_t* status)
{
    FsaApiEntryExit scope("CT_GetContainer");
    uint8_t* out = static_cast<uint8_t*>(record);
    uint32_t p0 = container;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_CONTAINER_INFO, &p0, nullptr, nullptr, nullptr, 0, out, kRecordBytes, 0);
    if (sent == FSA_STS_SUCCESS) {
        *status = p0;
        return exists(out, p0);
    }
    if (FsaOptionWord2(ctx) & kOpt2NewRecord)
        return 0;
    if (sent != FSA_STS_CT_BAD_STATUS)
        throw sent;

    uint8_t old[kOldRecordBytes] = {};
    p0 = container;
    const FSA_STATUS oldSent =
        CT_SendReceiveFIB(ctx, CT_GET_CONTAINER_INFO_OLD, &p0, nullptr, nullptr, nullptr, 0, old, sizeof old, 0);
    if (oldSent == FSA_STS_CT_BAD_STATUS)
        return 0;
    if (oldSent != FSA_STS_SUCCESS)
        throw oldSent;
    *status = p0;
    widen(old, out);
    return exists(out, p0);
}
