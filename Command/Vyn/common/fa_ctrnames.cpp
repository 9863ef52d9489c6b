// Container cache statistics, names, unique ids, background verification and
// the consistency check of a multi-level container's sources.
#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_ctrprep.h"

#include <cstdlib>
#include <cstring>

namespace {

enum : unsigned {
    CT_ENABLE_RAID5 = 120,
    CT_READ_NAME = 130,
    CT_WRITE_NAME = 131,
    CT_TOSS_CACHE = 132,
    CT_CACHE_SET = 111,
    CT_CACHE_STAT = 112,
    CT_CID_TO_32BITS_UID = 165,
    CT_VERIFY_CONTAINER = 173,
    CT_SET_VERIFY_DELAY = 205,
    CT_GET_VERIFY_DELAY = 206,
};

constexpr uint32_t kCacheSetDone = 264;
constexpr uint32_t kRaid5Enabled = 287;
constexpr uint32_t kNoSuchContainer = 194;
constexpr uint32_t kUnknownContainer = 12;
constexpr uint32_t kVerifyDelaySet = 0;
constexpr uint32_t kVerifyDelayRead = 152;
constexpr FSA_STATUS kVerifyInfoFailed = 520;
constexpr FSA_STATUS kStsNotFound = 11;
constexpr FSA_STATUS kCacheSetFailed = 321;
constexpr FSA_STATUS kCacheTossFailed = 328;
constexpr FSA_STATUS kCacheStatsFailed = 329;
constexpr FSA_STATUS kSetNameFailed = 348;
constexpr FSA_STATUS kGetNameFailed = 349;
constexpr FSA_STATUS kRaid5EnableFailed = 404;
constexpr FSA_STATUS kVerifyStartFailed = 504;
constexpr FSA_STATUS kStsMixedTypes = 421;
constexpr FSA_STATUS kStsTooManyMembers = 24;
constexpr uint32_t kOpt2DayCounts = 0x4000000;
constexpr unsigned kNameBytes = 16;
constexpr unsigned kCacheSetBytes = 28;
constexpr uint32_t kMinDays = 10;
constexpr uint32_t kMaxDays = 365;
// Mirrors of mirrors hold at most this many members in all.
constexpr uint32_t kMaxMirrorMembers = 48;
constexpr unsigned kValidityInfoBytes = 4060;

// One command with throwOnError set: the send result, the container status
// in *status.
FSA_STATUS sendThrowing(FSAAPI_CONTEXT* ctx, unsigned code, uint32_t* status, uint32_t* p1, const void* in,
                        unsigned inLen, void* out, unsigned outLen)
{
    return CT_SendReceiveFIB(ctx, code, status, p1, nullptr, in, inLen, out, outLen, 1);
}

// Sends the verify period or level; a controller that does not know the
// command (37) takes nothing and says nothing.
void setVerifyDelay(FSAAPI_CONTEXT* ctx, uint32_t value)
{
    uint32_t status = value;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_SET_VERIFY_DELAY, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent == FSA_STS_CT_BAD_STATUS)
        return;
    if (sent != FSA_STS_SUCCESS || status != kVerifyDelaySet)
        throw static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
}

}  // namespace

FSA_STATUS CT_UpdateCacheParms(FSAAPI_CONTEXT* ctx, uint32_t container, CacheSetCommand* command)
{
    uint32_t status = container;
    const FSA_STATUS sent = sendThrowing(ctx, CT_CACHE_SET, &status, nullptr, command, kCacheSetBytes, nullptr, 0);
    if (sent == FSA_STS_SUCCESS && status != kCacheSetDone)
        return kCacheSetFailed;
    return sent;
}

FSA_STATUS CT_GetGlobalCacheStats(FSAAPI_CONTEXT* ctx, int which, int length, GlobalCacheStats* out)
{
    uint32_t status = 0;
    uint32_t p1 = static_cast<uint32_t>(which);
    const unsigned len = length > 0 ? static_cast<unsigned>(length) : 0;
    const FSA_STATUS sent = sendThrowing(ctx, CT_CACHE_STAT, &status, &p1, nullptr, 0, out, len);
    if (sent == FSA_STS_SUCCESS && status != CT_STS_NEW_SUCCESS)
        return kCacheStatsFailed;
    return sent;
}

FSA_STATUS CT_CacheToss(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* p1)
{
    uint32_t status = container;
    const FSA_STATUS sent = sendThrowing(ctx, CT_TOSS_CACHE, &status, p1, nullptr, 0, nullptr, 0);
    if (sent == FSA_STS_SUCCESS && status != CT_STS_NEW_SUCCESS)
        return kCacheTossFailed;
    return sent;
}

FSA_STATUS CT_SetName(FSAAPI_CONTEXT* ctx, uint32_t container, const char* name)
{
    // The label is 16 bytes on the wire whatever the caller's string holds; a
    // name that fills them travels without a terminator.
    char label[kNameBytes] = {};
    if (name != nullptr)
        std::memcpy(label, name, strnlen(name, sizeof label));
    uint32_t status = container;
    const FSA_STATUS sent = sendThrowing(ctx, CT_WRITE_NAME, &status, nullptr, label, sizeof label, nullptr, 0);
    if (sent == FSA_STS_SUCCESS && status != CT_STS_NEW_SUCCESS)
        return kSetNameFailed;
    return sent;
}

FSA_STATUS CT_GetName(FSAAPI_CONTEXT* ctx, uint32_t container, char* out)
{
    uint32_t status = container;
    const FSA_STATUS sent = sendThrowing(ctx, CT_READ_NAME, &status, nullptr, nullptr, 0, out, kNameBytes);
    if (sent == FSA_STS_SUCCESS && status != CT_STS_NEW_SUCCESS)
        return kGetNameFailed;
    return sent;
}

FSA_STATUS CT_EnableRaid5(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t p1)
{
    uint32_t status = container;
    uint32_t word = p1;
    sendThrowing(ctx, CT_ENABLE_RAID5, &status, &word, nullptr, 0, nullptr, 0);
    return status == kRaid5Enabled ? FSA_STS_SUCCESS : kRaid5EnableFailed;
}

FSA_STATUS CT_GetContainerSerialNumber(void* adapterHandle, uint32_t container, uint32_t* uid)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(adapterHandle);
    if (ctx == nullptr)
        return kStsNotFound;
    uint32_t status = container;
    uint32_t result1 = 0;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_CID_TO_32BITS_UID, &status, &result1, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    if (status == kUnknownContainer || status == kNoSuchContainer)
        return kStsNotFound;
    *uid = result1;
    return FSA_STS_SUCCESS;
}

void CT_StartContainerVerify(FSAAPI_CONTEXT* ctx, int on)
{
    uint32_t status = on ? 1 : 0;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_VERIFY_CONTAINER, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent == FSA_STS_SUCCESS && status == CT_STS_NEW_SUCCESS)
        return;
    if (sent == FSA_STS_SUCCESS && status == kNoSuchContainer)
        throw kStsNotFound;
    throw kVerifyStartFailed;
}

void CT_VerifySetPriority(FSAAPI_CONTEXT* ctx, uint32_t priority)
{
    if (priority < 1 || priority > 3)
        throw static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
    setVerifyDelay(ctx, priority);
}

void CT_VerifySetPriorityDays(FSAAPI_CONTEXT* ctx, uint32_t days)
{
    const bool dayCounts = (FsaOptionWord2(ctx) & kOpt2DayCounts) != 0;
    const bool level = days >= 1 && days <= 3;
    const bool period = dayCounts && days >= kMinDays && days <= kMaxDays;
    if (!level && !period)
        throw static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
    setVerifyDelay(ctx, days);
}

void CT_VerifyGetPriority(FSAAPI_CONTEXT* ctx, uint32_t* out)
{
    *out = 0;
    uint32_t status = 0;
    uint32_t word = 0;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_VERIFY_DELAY, &status, &word, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent == FSA_STS_CT_BAD_STATUS)
        return;
    if (sent != FSA_STS_SUCCESS || status != kVerifyDelayRead)
        throw kVerifyInfoFailed;
    if (word >= 1 && word <= 3)
        *out = word;
}

bool CT_IsGenerationEqual(const tag_FSA_GENERATION* a, const tag_FSA_GENERATION* b) { return a->age == b->age; }

bool CT_IsGenerationCurrent(FSAAPI_CONTEXT* ctx, const tag_FSA_GENERATION* generation)
{
    tag_FSA_GENERATION current{};
    CT_GetGenerationId(ctx, &current);
    return CT_IsGenerationEqual(generation, &current);
}

uint32_t CT_GetContainerUsage(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    return static_cast<uint32_t>(faos_CtrGetUsage(ctx, static_cast<int>(container)));
}

FSA_STATUS CheckMContainerValidity(void* adapterHandle, const tag_FSA_CONTAINER* list, uint32_t n, uint32_t)
{
    uint8_t* info = static_cast<uint8_t*>(std::calloc(1, kValidityInfoBytes));
    if (info == nullptr)
        return 91;
    uint32_t reference = 0;
    uint32_t members = 0;
    FSA_STATUS result = FSA_STS_SUCCESS;
    for (uint32_t i = 0; i < n; ++i) {
        const FSA_STATUS read = FsaGetContainerInfo(adapterHandle, 0, &list[i],
                                                    reinterpret_cast<FSA_CONTAINER_INFO*>(info), kValidityInfoBytes);
        if (read != FSA_STS_SUCCESS) {
            result = read;
            break;
        }
        const uint32_t type = faGetLe32(info + CI_TYPE);
        if (i == 0) {
            reference = type;
        } else if (type != reference) {
            result = kStsMixedTypes;
            break;
        }
        members += faGetLe32(info + CI_MEMBER_COUNT);
    }
    std::free(info);
    if (result == FSA_STS_SUCCESS && reference == 1 && members > kMaxMirrorMembers)
        result = kStsTooManyMembers;
    return result;
}
