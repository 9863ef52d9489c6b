// Drive metadata sector, candidate spares and per-drive cache policy.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"

#include <cstring>

namespace {

constexpr char kSignature[] = "FsAaPiFuN:)";
constexpr unsigned CT_SET_DEVICE_CACHE_POLICY = 203;
constexpr unsigned CT_GET_DEVICE_CACHE_POLICY = 204;
constexpr unsigned CT_READ_SW_SECTOR = 208;
constexpr unsigned CT_WRITE_SW_SECTOR = 209;
constexpr uint32_t kOpt2MetadataSector = 0x8;
constexpr uint32_t kDriveNotFound = 219;
constexpr uint32_t kNotSupported = 226;

// The newer status convention: a setter (and the sector read) reports the
// controller's refusals 350 and 351 as a general failure, a getter as a bad
// container status.
void checkNewStatus(uint32_t status, bool getter)
{
    switch (status) {
    case CT_STS_NEW_SUCCESS: return;
    case kDriveNotFound: throw static_cast<FSA_STATUS>(12);
    case kNotSupported: throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    case 350:
    case 351:
        throw static_cast<FSA_STATUS>(getter ? FSA_STS_CT_BAD_STATUS : FSA_STS_GENERAL_FAILURE);
    default: throw static_cast<FSA_STATUS>(FSA_STS_CT_BAD_STATUS);
    }
}

bool hasMetadataSector(FSAAPI_CONTEXT* ctx) { return (FsaOptionWord2(ctx) & kOpt2MetadataSector) != 0; }

}  // namespace

void FSAAPI_SW_METADATA::Init()
{
    std::memset(bytes, 0, sizeof bytes);
    std::strncpy(reinterpret_cast<char*>(bytes), kSignature, kSignatureBytes);
    faPutLe32(bytes + kFormat1, 1);
    faPutLe32(bytes + kFormat2, 4);
    faPutLe32(bytes + kCandidateFlag, 0);
}

bool FSAAPI_SW_METADATA::IsValidSignature() const
{
    // Equal as a string means the signature and its zero byte: compared as
    // bytes, so that a sector without any zero is never read past its end.
    return std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

void FSAAPI_SW_METADATA::SetCandidateSpare() { faPutLe32(bytes + kCandidateFlag, 1); }

void FSAAPI_SW_METADATA::ClrCandidateSpare() { faPutLe32(bytes + kCandidateFlag, 0); }

uint32_t FSAAPI_SW_METADATA::IsCandidateSpare() const { return faGetLe32(bytes + kCandidateFlag); }

void CT_ReadSWSector(FSAAPI_CONTEXT* ctx, uint32_t device, FSAAPI_SW_METADATA* out)
{
    if (!hasMetadataSector(ctx))
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    uint32_t p0 = device;
    uint32_t p1 = sizeof out->bytes;
    uint8_t reply[sizeof out->bytes] = {};
    CT_SendReceiveFIB(ctx, CT_READ_SW_SECTOR, &p0, &p1, nullptr, nullptr, 0, reply, sizeof reply, 1);
    CT_DebugText("CT_READ_SW_SECTOR returns %d\n", p0);
    checkNewStatus(p0, false);
    std::memcpy(out->bytes, reply, sizeof reply);
}

void CT_WriteSWSector(FSAAPI_CONTEXT* ctx, uint32_t device, const FSAAPI_SW_METADATA* in)
{
    if (!hasMetadataSector(ctx))
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    uint32_t p0 = device;
    uint32_t p1 = sizeof in->bytes;
    CT_SendReceiveFIB(ctx, CT_WRITE_SW_SECTOR, &p0, &p1, nullptr, in->bytes, sizeof in->bytes, nullptr, 0, 1);
    CT_DebugText("CT_WRITE_SW_SECTOR returns %d\n", p0);
    checkNewStatus(p0, false);
}

void CT_SetDeviceCachePolicy(FSAAPI_CONTEXT* ctx, uint32_t device, int enable)
{
    uint32_t p0 = device;
    uint32_t p1 = enable != 0 ? 1 : 0;
    CT_SendReceiveFIB(ctx, CT_SET_DEVICE_CACHE_POLICY, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 1);
    CT_DebugText("CT_SetDeviceCachePolicy returns %d\n", p0);
    checkNewStatus(p0, false);
}

void CT_GetDeviceCachePolicy(FSAAPI_CONTEXT* ctx, uint32_t device, int* out)
{
    uint32_t p0 = device;
    uint32_t p1 = 0;
    CT_SendReceiveFIB(ctx, CT_GET_DEVICE_CACHE_POLICY, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 1);
    CT_DebugText("CT_GetDeviceCachePolicy returns p0: %d p1: %d\n", p0, p1);
    checkNewStatus(p0, true);
    switch (p1) {
    case 0: *out = 0; break;
    case 1:
    case 2: *out = 1; break;
    default: throw static_cast<FSA_STATUS>(FSA_STS_CT_BAD_STATUS);
    }
}

void CT_SetControllerDeviceCachePolicy(FSAAPI_CONTEXT* ctx, int first, int second)
{
    uint32_t p0 = 0;
    uint32_t mask = (first != 0 ? CT_CACHE_POLICY_FIRST : 0u) | (second != 0 ? CT_CACHE_POLICY_SECOND : 0u);
    CT_SendReceiveFIB(ctx, CT_SET_CONTROLLER_DEVICE_CACHE_POLICY, &p0, &mask, nullptr, nullptr, 0, nullptr, 0, 1);
    CT_DebugText("CT_SetControllerDeviceCachePolicy returns %d\n", p0);
    checkNewStatus(p0, false);
}

void CT_GetControllerDeviceCachePolicy(FSAAPI_CONTEXT* ctx, int* first, int* second)
{
    uint32_t p0 = 0;
    uint32_t mask = 0;
    CT_SendReceiveFIB(ctx, CT_GET_CONTROLLER_DEVICE_CACHE_POLICY, &p0, &mask, nullptr, nullptr, 0, nullptr, 0, 1);
    CT_DebugText("CT_GetControllerDeviceCachePolicy returns p0: %d p1: %d\n", p0, mask);
    checkNewStatus(p0, true);
    *first = (mask & CT_CACHE_POLICY_FIRST) != 0 ? 1 : 0;
    *second = (mask & CT_CACHE_POLICY_SECOND) != 0 ? 1 : 0;
}

void CT_SetCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    FSAAPI_SW_METADATA sector;
    CT_ReadSWSector(ctx, device, &sector);
    if (!sector.IsValidSignature())
        sector.Init();
    sector.SetCandidateSpare();
    CT_WriteSWSector(ctx, device, &sector);
}

void CT_ClrCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    FSAAPI_SW_METADATA sector;
    CT_ReadSWSector(ctx, device, &sector);
    if (!sector.IsValidSignature())
        sector.Init();
    sector.ClrCandidateSpare();
    CT_WriteSWSector(ctx, device, &sector);
}

int CT_IsCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    if (!hasMetadataSector(ctx))
        return 0;
    FSAAPI_SW_METADATA sector;
    try {
        CT_ReadSWSector(ctx, device, &sector);
    } catch (...) {
        return 0;
    }
    return sector.IsValidSignature() && sector.IsCandidateSpare() != 0 ? 1 : 0;
}
