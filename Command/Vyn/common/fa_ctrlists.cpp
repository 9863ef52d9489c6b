// Container lists: list 0 of container numbers and list 1 of logical-device
// handles with their records.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <bitset>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t CT_GET_CONTAINER_LIST = 229;
constexpr uint32_t CT_CID_TO_32BITS_UID = 165;
constexpr uint32_t kOpt2Lists = 0x200;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr size_t kRecord = sizeof(VYNIO_LOGDEV_INFO_S);
constexpr size_t kContainerNum = 20;
constexpr FSA_STATUS kNotFound = 12;

void knowMaxCount(FSAAPI_CONTEXT* ctx)
{
    if (ctx->maxContainerCount == 0)
        ctx->maxContainerCount = CT_GetContainerCount(ctx, nullptr, nullptr);
}

uint32_t listBytes(const FSAAPI_CONTEXT* ctx) { return ctx->maxContainerCount * 4 + 8; }

}  // namespace

uint32_t CT_GetContainerList(FSAAPI_CONTEXT* ctx, uint32_t which)
{
    FsaApiEntryExit scope("CT_GetContainerList");
    if (which > 1)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    knowMaxCount(ctx);
    uint8_t*& list = ctx->containerList[which];
    if (ctx->maxContainerCount == 0) {
        if (list != nullptr)
            faPutLe32(list + 4, 0);
        return 0;
    }
    if ((FsaOptionWord2(ctx) & kOpt2Lists) == 0)
        return 0;
    if (list == nullptr)
        list = static_cast<uint8_t*>(std::calloc(1, listBytes(ctx)));
    if (list == nullptr)
        return 0;
    uint32_t p0 = which;
    uint32_t p1 = 0;
    uint32_t p2 = CT_STS_NEW_SUCCESS;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_GET_CONTAINER_LIST, &p0, &p1, &p2, nullptr, 0, list,
                                              listBytes(ctx), 1);
    FsaDebugPrintf("CT_GET_CONTAINER_LIST  fsaStatus:%d  status:%d\n", static_cast<int>(sent), static_cast<int>(p2));
    FSA_STATUS status = FSA_STS_SUCCESS;
    if (p2 == 219)
        status = kNotFound;
    else if (p2 == 226)
        status = FSA_STS_GENERAL_FAILURE;
    else if (p2 != CT_STS_NEW_SUCCESS)
        status = FSA_STS_CT_BAD_STATUS;
    if (faGetLe32(list + 4) > ctx->maxContainerCount)
        faPutLe32(list + 4, ctx->maxContainerCount);
    const uint32_t count = faGetLe32(list + 4);
    FsaDebugPrintf("age:%x  numLogDev:%d\n", faGetLe32(list), static_cast<int>(count));
    for (uint32_t i = 0; i < count; ++i)
        FsaDebugPrintf("index:%d  logDev:%x\n", static_cast<int>(i), faGetLe32(list + 8 + 4 * i));
    if (status != FSA_STS_SUCCESS) {
        faPutLe32(list + 4, 0);
        throw status;
    }
    return count;
}

FSA_STATUS CT_UpdateContainerLists(FSAAPI_CONTEXT* ctx)
{
    FsaApiEntryExit scope("CT_UpdateContainerLists");
    uint32_t count0 = 0;
    uint32_t count1 = 0;
    try {
        if ((FsaOptionWord2(ctx) & kOpt2Lists) == 0) {
            knowMaxCount(ctx);
            return FSA_STS_NOT_SUPPORTED;
        }
        count0 = CT_GetContainerList(ctx, 0);
        count1 = CT_GetContainerList(ctx, 1);
    } catch (FSA_STATUS status) {
        return status;
    }
    if (count1 > 0) {
        std::free(ctx->logDevRecords);
        ctx->logDevRecordCount = 0;
        ctx->logDevRecords = static_cast<uint8_t*>(std::malloc(count1 * kRecord));
        if (ctx->logDevRecords == nullptr)
            return FSA_STS_OUT_OF_MEMORY;
    }
    std::bitset<256> setA;
    std::bitset<256> setB;
    std::free(ctx->listIdentifiers);
    ctx->listIdentifiers = nullptr;
    try {
        if (count0 > 0) {
            ctx->listIdentifiers = static_cast<uint32_t*>(std::calloc(count0, 4));
            if (ctx->listIdentifiers == nullptr)
                return FSA_STS_OUT_OF_MEMORY;
            for (uint32_t i = 0; i < count0; ++i) {
                const uint32_t number = faGetLe32(ctx->containerList[0] + 8 + 4 * i);
                if (number != kNone && number < 256)
                    setA.set(number);
                uint32_t p0 = number;
                uint32_t p1 = 0;
                uint32_t p2 = 0;
                CT_SendReceiveFIB(ctx, CT_CID_TO_32BITS_UID, &p0, &p1, &p2, nullptr, 0, nullptr, 0, 1);
                ctx->listIdentifiers[i] = p1;
            }
        }
        for (uint32_t i = 0; i < count1; ++i) {
            uint8_t* slot = ctx->logDevRecords + i * kRecord;
            uint32_t p0 = faGetLe32(ctx->containerList[1] + 8 + 4 * i);
            uint32_t p1 = 1;
            uint32_t p2 = CT_STS_NEW_SUCCESS;
            std::memset(slot, 0, kRecord);
            const FSA_STATUS sent =
                CT_SendReceiveFIB(ctx, CT_GET_LOGDEV_INFO, &p0, &p1, &p2, nullptr, 0, slot, kRecord, 1);
            FsaDebugPrintf("CT_GET_LOGDEV_INFO  fsaStatus:%d  status:%d\n", static_cast<int>(sent),
                           static_cast<int>(p2));
            if (sent != FSA_STS_SUCCESS || p2 != CT_STS_NEW_SUCCESS || faGetLe32(slot + kContainerNum) == kNone) {
                std::memset(slot, 0xFF, kRecord);
                continue;
            }
            const uint32_t number = faGetLe32(slot + kContainerNum);
            if (number < 256)
                setB.set(number);
        }
        ctx->logDevRecordCount = count1 > 0 ? count1 : ctx->logDevRecordCount;
    } catch (FSA_STATUS status) {
        return status;
    }
    // Numbers of list 1 that clash with list 0 move to the lowest free one.
    for (uint32_t i = 0; i < count1; ++i) {
        uint8_t* slot = ctx->logDevRecords + i * kRecord;
        const uint32_t number = faGetLe32(slot + kContainerNum);
        if (number == kNone)
            continue;
        if (number < 256 && setA.test(number)) {
            for (uint32_t n = 0; n < 256; ++n) {
                if (!setA.test(n) && !setB.test(n)) {
                    faPutLe32(slot + kContainerNum, n);
                    setA.set(n);
                    break;
                }
            }
        } else if (number < 256) {
            setA.set(number);
        }
    }
    return FSA_STS_SUCCESS;
}
