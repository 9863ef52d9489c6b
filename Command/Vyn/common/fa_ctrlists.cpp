// Container lists: list 0 of container numbers and list 1 of logical-device
// handles with their records.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t CT_GET_CONTAINER_LIST = 229;
constexpr uint32_t CT_CID_TO_32BITS_UID = 165;
constexpr uint32_t kOpt2Lists = 0x200;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr size_t kRecord = sizeof(VYNIO_LOGDEV_INFO_S);
constexpr uint32_t kNumbers = 256;
constexpr FSA_STATUS kNotFound = 12;

void knowMaxCount(FSAAPI_CONTEXT* ctx)
{
    if (ctx->maxContainerCount == 0)
        ctx->maxContainerCount = std::min(CT_GetContainerCount(ctx, nullptr, nullptr), kNumbers);
}

uint32_t listBytes(const FSAAPI_CONTEXT* ctx) { return ctx->maxContainerCount * 4 + 8; }

// Whether list 0 names container `number` with unique id `uid`.
bool sameAsList0(const FSAAPI_CONTEXT* ctx, uint32_t number, uint32_t uid)
{
    for (uint32_t i = 0; i < ctx->listIdentifierCount; ++i)
        if (faGetLe32(ctx->containerList[0] + 8 + 4 * i) == number && ctx->listIdentifiers[i] == uid)
            return true;
    return false;
}

void traceRecord(uint32_t index, const uint8_t* r)
{
    auto w = [r](size_t offset) { return faGetLe32(r + offset); };
    auto i = [r](size_t offset) { return static_cast<int>(faGetLe32(r + offset)); };
    FsaDebugPrintf("index:%d  devInfo:%x", static_cast<int>(index), w(LD_HANDLE));
    FsaDebugPrintf("supportedOptions1:%x  supportedOptions2:%x", w(LD_SUPPORTED_OPTIONS1), w(LD_SUPPORTED_OPTIONS2));
    FsaDebugPrintf("hLogDev:%x  containerNum:%d  uid:%x", w(LD_HANDLE), i(LD_CONTAINER_NUM), w(LD_UID));
    FsaDebugPrintf("raidType:%d  numChildren:%d", i(LD_RAID_TYPE), i(LD_NUM_CHILDREN));
    FsaDebugPrintf("hParentLogDev:%x  childOffset:%d", w(LD_PARENT), i(LD_CHILD_OFFSET));
    FsaDebugPrintf("numBlocks:%x  blockSize:%x  stripeSize:%x", w(LD_NUM_BLOCKS), w(LD_BLOCK_SIZE),
                   w(LD_STRIPE_SIZE));
    FsaDebugPrintf("flags1:%x  flags2:%x  performanceFlags:%x  forceOnlineFlags:%x", w(LD_FLAGS1), w(LD_FLAGS2),
                   w(LD_PERFORMANCE_FLAGS), w(LD_FORCE_ONLINE_FLAGS));
    FsaDebugPrintf("faultState:%x  onlineState:%x", w(LD_FAULT_STATE), w(LD_ONLINE_STATE));
    FsaDebugPrintf("taskType:%x  taskProgress:%x  taskState:%x  taskPriority:%x", w(LD_TASK_TYPE),
                   w(LD_TASK_PROGRESS), w(LD_TASK_STATE), w(LD_TASK_PRIORITY));
    FsaDebugPrintf("readCacheSetting:%x  writeCacheSetting:%x  writeCacheFlags:%x  writeCacheMode:%x",
                   w(LD_READ_CACHE_SETTING), w(LD_WRITE_CACHE_SETTING), w(LD_WRITE_CACHE_FLAGS),
                   w(LD_WRITE_CACHE_MODE));
    FsaDebugPrintf("r6TableVersion:%x  r6NumData:%x  r6NumParity:%x  r6RebuildPartitionMap:%x",
                   w(LD_R6_TABLE_VERSION), w(LD_R6_NUM_DATA), w(LD_R6_NUM_PARITY), w(LD_R6_REBUILD_MAP));
    FsaDebugPrintf("ssFlags:%x  ssHOriginal:%x  ssUsedBlocks:%x  ssAlertAtBlock:%x", w(LD_SS_FLAGS),
                   w(LD_SS_ORIGINAL), w(LD_SS_USED_BLOCKS), w(LD_SS_ALERT_AT));
    FsaDebugPrintf("hMorphSource:%x  hMorphDestination:%x", w(LD_MORPH_SOURCE), w(LD_MORPH_DESTINATION));
    FsaDebugPrintf("badUnitCount:%d", i(LD_BAD_UNIT_COUNT));
    char name[CI_NAME_BYTES + 1] = {};
    std::memcpy(name, r + LD_NAME, CI_NAME_BYTES);
    FsaDebugPrintf("name:%s", name);
}

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
    FsaDebugPrintf("CT_GET_CONTAINER_LIST  fsaStatus:%d  status:%d", static_cast<int>(sent), static_cast<int>(p2));
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
    FsaDebugPrintf("age:%x  numLogDev:%d", faGetLe32(list), static_cast<int>(count));
    for (uint32_t i = 0; i < count; ++i)
        FsaDebugPrintf("index:%d  logDev:%x", static_cast<int>(i), faGetLe32(list + 8 + 4 * i));
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
    std::bitset<kNumbers> setA;
    std::bitset<kNumbers> setB;
    std::free(ctx->listIdentifiers);
    ctx->listIdentifiers = nullptr;
    ctx->listIdentifierCount = 0;
    ctx->logDevRecordCount = 0;
    try {
        if (count0 > 0) {
            ctx->listIdentifiers = static_cast<uint32_t*>(std::calloc(count0, 4));
            if (ctx->listIdentifiers == nullptr)
                return FSA_STS_OUT_OF_MEMORY;
            ctx->listIdentifierCount = count0;
            for (uint32_t i = 0; i < count0; ++i) {
                const uint32_t number = faGetLe32(ctx->containerList[0] + 8 + 4 * i);
                if (number < kNumbers)
                    setA.set(number);
                // Every entry is asked, and whatever comes back is kept.
                uint32_t p0 = number;
                uint32_t p1 = 0;
                uint32_t p2 = 0;
                const FSA_STATUS sent =
                    CT_SendReceiveFIB(ctx, CT_CID_TO_32BITS_UID, &p0, &p1, &p2, nullptr, 0, nullptr, 0, 0);
                ctx->listIdentifiers[i] = sent == FSA_STS_SUCCESS ? p1 : 0;
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
            FsaDebugPrintf("CT_GET_LOGDEV_INFO  fsaStatus:%d  status:%d", static_cast<int>(sent),
                           static_cast<int>(p2));
            // Numbers beyond the firmware's 256 are no container number at all.
            if (sent != FSA_STS_SUCCESS || p2 != CT_STS_NEW_SUCCESS || faGetLe32(slot + LD_CONTAINER_NUM) >= kNumbers) {
                std::memset(slot, 0xFF, kRecord);
                continue;
            }
            setB.set(faGetLe32(slot + LD_CONTAINER_NUM));
            traceRecord(i, slot);
        }
        ctx->logDevRecordCount = count1;
    } catch (FSA_STATUS status) {
        return status;
    }
    // Numbers of list 1 that clash with list 0 or an earlier device move to
    // the lowest number no list names. A device that list 0 names under the
    // same unique id is that container, not a clash.
    std::bitset<kNumbers> claimed;
    for (uint32_t i = 0; i < count1; ++i) {
        uint8_t* slot = ctx->logDevRecords + i * kRecord;
        const uint32_t number = faGetLe32(slot + LD_CONTAINER_NUM);
        if (number == kNone)
            continue;
        if (!claimed.test(number) && sameAsList0(ctx, number, faGetLe32(slot + LD_UID))) {
            claimed.set(number);
            continue;
        }
        if (!setA.test(number)) {
            setA.set(number);
            continue;
        }
        for (uint32_t n = 0; n < kNumbers; ++n) {
            if (!setA.test(n) && !setB.test(n)) {
                faPutLe32(slot + LD_CONTAINER_NUM, n);
                setA.set(n);
                break;
            }
        }
    }
    return FSA_STS_SUCCESS;
}

int CT_FindCtrNumFromHandle(FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    const uint8_t* list0 = ctx->containerList[0];
    if (list0 != nullptr && ctx->listIdentifiers != nullptr) {
        const uint32_t n = std::min(faGetLe32(list0 + 4), ctx->listIdentifierCount);
        for (uint32_t i = 0; i < n; ++i)
            if (ctx->listIdentifiers[i] == handle)
                return static_cast<int>(faGetLe32(list0 + 8 + 4 * i));
    }
    const uint8_t* list1 = ctx->containerList[1];
    if (list1 != nullptr && ctx->logDevRecords != nullptr) {
        const uint32_t n = std::min(faGetLe32(list1 + 4), ctx->logDevRecordCount);
        for (uint32_t i = 0; i < n; ++i)
            if (faGetLe32(list1 + 8 + 4 * i) == handle)
                return static_cast<int>(faGetLe32(ctx->logDevRecords + i * kRecord + LD_CONTAINER_NUM));
    }
    return -1;
}
