#include "Command/Vyn/common/fa_container_cache.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>
#include <vector>

FSA_CONTAINER_CACHE::FSA_CONTAINER_CACHE() { mutex = faos_CreateMutex(nullptr); }

FSA_CONTAINER_CACHE::~FSA_CONTAINER_CACHE()
{
    count = 0;
    std::free(buffer);
    buffer = nullptr;
    try {
        faos_DestroyMutex(mutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the cache goes anyway.
    }
}

namespace {

constexpr uint32_t kOpt2LogDevRecords = 0x200;
constexpr FSA_STATUS kStsNotFound = 11;
constexpr FSA_STATUS kStsLocked = 42;
constexpr FSA_STATUS kStsHidden = 401;
constexpr FSA_STATUS kStsNoMemory = 91;
constexpr unsigned kInfoBytes = 4096;
constexpr unsigned kRecordBytes = 1152;
constexpr unsigned kLogDevRecordBytes = 432;
constexpr unsigned kLockedWord = 52;
constexpr unsigned kCacheModeStatsBytes = 23724;
constexpr unsigned kStatsEntryBytes = 92;
constexpr unsigned kStatsModeWord = 96;
constexpr unsigned kStatsFlagsWord = 100;
constexpr unsigned kStatsHeaderBytes = 264;
constexpr unsigned kStatsBufferedWord = 88;
constexpr unsigned kPartReadCache = 137;
constexpr unsigned kPartWriteCache = 136;
constexpr unsigned kRecPairFirst = 135 * 4;
constexpr unsigned kRecPairSecond = 136 * 4;
constexpr unsigned kRecMembers = 0;
constexpr unsigned kRecFirstMember = 20;

// Checks shared by the setters, in the order the controller's rules need:
// existence, exposure, then the lock (from the container information).
FSA_STATUS checkSettable(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container)
{
    const uint32_t number = CT_GetInternalID(container);
    if (CT_CheckConflicts(ctx, number) == 0)
        return kStsNotFound;
    if (number >= faGetLe32(ctx->generalInfo.bytes + GI_MAX_ACCESSIBLE_CONTAINERS))
        return kStsHidden;
    std::vector<uint8_t> info(kInfoBytes, 0);
    const FSA_STATUS read = FsaGetContainerInfo(ctx->apiHandle, 0, container,
                                                reinterpret_cast<FSA_CONTAINER_INFO*>(info.data()), kInfoBytes);
    if (read != FSA_STS_SUCCESS)
        return read;
    if (faGetLe32(info.data() + kLockedWord) != 0)
        return kStsLocked;
    return FSA_STS_SUCCESS;
}

bool hasModel(FSAAPI_CONTEXT* ctx) { return (FsaOptionWord3(ctx) & 0x8) != 0; }

// The model's logical device of a container number; false when the context
// keeps no model (the firmware's records decide then).
bool modelDevice(FSAAPI_CONTEXT* ctx, uint32_t number, FsaVynIoLogDevInfo** found)
{
    *found = nullptr;
    if (!hasModel(ctx))
        return false;
    FsaVynIoAdapterConfig* model = nullptr;
    const FSA_STATUS status = CT_ModelOf(ctx, &model);
    if (status != FSA_STS_SUCCESS)
        throw status;
    *found = CT_LogDevNumbered(model, number);
    return true;
}

// The firmware's container record; when it names no container, the status
// for a container the controller still knows of (1) or does not (11).
FSA_STATUS firmwareRecord(FSAAPI_CONTEXT* ctx, uint32_t number, uint8_t* record, uint32_t* type, bool* found)
{
    *found = CT_GetContainer(ctx, number, record, type) != 0;
    if (*found)
        return FSA_STS_SUCCESS;
    if ((FsaOptionWord2(ctx) & kOpt2LogDevRecords) != 0 && ctx->logDevRecords != nullptr) {
        for (uint32_t i = 0; i < ctx->logDevRecordCount; ++i)
            if (faGetLe32(ctx->logDevRecords + kLogDevRecordBytes * i + LD_CONTAINER_NUM) == number)
                return FSA_STS_SUCCESS;
        return kStsNotFound;
    }
    const uint32_t size = FSA_CONTAINER_INFO_EXTND_MIN + 28 * faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS);
    uint8_t* phantom = static_cast<uint8_t*>(std::calloc(1, size));
    if (phantom == nullptr)
        return kStsNoMemory;
    int exists = 0;
    try {
        exists = CT_GetPhantomContainer2(ctx, number, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(phantom), size);
    } catch (...) {
        std::free(phantom);
        throw;
    }
    std::free(phantom);
    return exists ? FSA_STS_SUCCESS : kStsNotFound;
}

// The partition index holding a container's settings (0: none).
uint32_t firstMember(const uint8_t* record)
{
    return faGetLe32(record + kRecMembers) != 0 ? faGetLe32(record + kRecFirstMember) : 0;
}

FSA_STATUS getCacheParams(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, tag_FSA_CONTAINER_PARAMS* out,
                          int depth)
{
    out->readCache = 0;
    out->writeCache = 0;
    const uint32_t number = CT_GetInternalID(container);
    FsaVynIoLogDevInfo* device = nullptr;
    if (modelDevice(ctx, number, &device)) {
        if (device != nullptr) {
            out->readCache = faGetLe32(device->record.bytes + LD_READ_CACHE_SETTING);
            out->writeCache = faGetLe32(device->record.bytes + LD_WRITE_CACHE_SETTING);
        }
        return FSA_STS_SUCCESS;
    }
    uint8_t record[kRecordBytes] = {};
    uint32_t type = 0;
    bool found = false;
    const FSA_STATUS status = firmwareRecord(ctx, number, record, &type, &found);
    if (!found)
        return status;
    uint32_t index = 0;
    switch (type) {
    case 1: case 2: case 3: case 4: case 15: case 17: case 18:
        index = firstMember(record);
        break;
    case 5:
    case 6: {
        const uint32_t other = faGetLe32(record + (type == 5 ? kRecPairFirst : kRecPairSecond));
        uint8_t otherRecord[kRecordBytes] = {};
        uint32_t otherType = 0;
        if (CT_GetContainer(ctx, other, otherRecord, &otherType))
            index = firstMember(otherRecord);
        break;
    }
    case 7: {
        // A snapshot-related container takes its companion's settings; one
        // level only, since two such records may name each other.
        if (depth > 0)
            return FSA_STS_SUCCESS;
        tag_FSA_CONTAINER companion{};
        CT_GetStandardID(ctx, &companion, faGetLe32(record + kRecPairSecond));
        return getCacheParams(ctx, &companion, out, depth + 1);
    }
    default:
        return FSA_STS_SUCCESS;
    }
    if (index != 0) {
        Partition partition{};
        CT_GetPartitionInMemory(ctx, index, &partition);
        out->readCache = partition.bytes[kPartReadCache];
        out->writeCache = partition.bytes[kPartWriteCache];
    }
    return FSA_STS_SUCCESS;
}

}  // namespace

extern "C" FSA_STATUS FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                 const tag_FSA_CONTAINER_PARAMS* params)
{
    if (container == nullptr || params == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaContainerSetCacheParams", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        const FSA_STATUS checked = checkSettable(ctx, container);
        if (checked != FSA_STS_SUCCESS)
            return checked;
        const uint32_t number = CT_GetInternalID(container);
        CacheSetCommand command{};
        faPutLe32(command.bytes + 0, number);
        faPutLe32(command.bytes + 4, (params->readCache & 0x1) != 0 ? params->readCache : 0);
        faPutLe32(command.bytes + 8, (params->writeCache & 0x3) != 0 ? params->writeCache : 0);
        return CT_UpdateCacheParms(ctx, number, &command);
    });
}

extern "C" FSA_STATUS FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                 tag_FSA_CONTAINER_PARAMS* out)
{
    if (container == nullptr || out == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaContainerGetCacheParams", handle, FSA_READ_ONLY_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS { return getCacheParams(ctx, container, out, 0); });
}

extern "C" FSA_STATUS FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out)
{
    if (container == nullptr || out == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaContainerGetCacheMode", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        out[0] = 0;
        out[1] = 0;
        const uint32_t number = CT_GetInternalID(container);
        FsaVynIoLogDevInfo* device = nullptr;
        if (modelDevice(ctx, number, &device)) {
            if (device != nullptr) {
                const uint8_t* r = device->record.bytes;
                const uint32_t flags = faGetLe32(r + LD_WRITE_CACHE_FLAGS);
                out[0] = faGetLe32(r + LD_READ_CACHE_SETTING);
                out[1] = ((flags & 0x1) ? 0x8u : 0u) | ((flags & 0x2) ? 0x4u : 0u) |
                         (faGetLe32(r + LD_WRITE_CACHE_MODE) == 1 ? 0x2u : 0u);
            }
            return FSA_STS_SUCCESS;
        }
        uint8_t record[kRecordBytes] = {};
        uint32_t type = 0;
        bool found = false;
        const FSA_STATUS status = firmwareRecord(ctx, number, record, &type, &found);
        if (!found)
            return status;
        // Container n's entry must lie inside the statistics read.
        if (kStatsFlagsWord + kStatsEntryBytes * static_cast<uint64_t>(number) + 4 > kCacheModeStatsBytes)
            return FSA_STS_SUCCESS;
        uint8_t* stats = static_cast<uint8_t*>(std::calloc(1, kCacheModeStatsBytes));
        if (stats == nullptr)
            return kStsNoMemory;
        FSA_STATUS read = FSA_STS_SUCCESS;
        try {
            read = CT_GetGlobalCacheStats(ctx, 0, kCacheModeStatsBytes, reinterpret_cast<GlobalCacheStats*>(stats));
        } catch (...) {
            std::free(stats);
            throw;
        }
        if (read == FSA_STS_SUCCESS) {
            out[0] = faGetLe32(stats + kStatsModeWord + kStatsEntryBytes * number);
            out[1] = faGetLe32(stats + kStatsFlagsWord + kStatsEntryBytes * number);
        }
        std::free(stats);
        return read;
    });
}

extern "C" FSA_STATUS FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container, uint32_t* out)
{
    if (container == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaReleaseContainerCache", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        uint32_t word = 0;
        const FSA_STATUS status = CT_CacheToss(ctx, CT_GetInternalID(container), &word);
        if (out != nullptr)
            *out = word;
        return status;
    });
}

extern "C" FSA_STATUS FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container, int enable)
{
    if (container == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaContainerSetITPCacheSettings", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
                               const FSA_STATUS checked = checkSettable(ctx, container);
                               if (checked != FSA_STS_SUCCESS)
                                   return checked;
                               return CT_UpdateITPCacheSettings(ctx, CT_GetInternalID(container), enable);
                           });
}

extern "C" FSA_STATUS FsaContainerSetOrvexaWriteCacheSettings(void* handle, const tag_FSA_CONTAINER* container,
                                                              uint32_t mode, uint32_t value)
{
    if (container == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaContainerSetOrvexaWriteCacheSettings", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
                               const FSA_STATUS checked = checkSettable(ctx, container);
                               if (checked != FSA_STS_SUCCESS)
                                   return checked;
                               return CT_UpdateOrvexaWriteCacheSettings(ctx, CT_GetInternalID(container), mode,
                                                                        value);
                           });
}

FSA_STATUS FsaAreThereOphanRawBuffers(void* handle, int release)
{
    return FsaExportedCall("FsaAreThereOphanRawBuffers", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        FSA_GENERAL_INFO general{};
        FsaGetGeneralInformation(handle, &general);
        const uint32_t count = faGetLe32(general.bytes + GI_MAX_CONTAINER_NUMBER);
        const uint64_t length = kStatsHeaderBytes + static_cast<uint64_t>(kStatsEntryBytes) * count;
        if (length > 0x7FFFFFFF)
            return kStsNoMemory;
        std::vector<uint8_t> stats(length, 0);
        const FSA_STATUS read =
            CT_GetGlobalCacheStats(ctx, 0, static_cast<int>(length), reinterpret_cast<GlobalCacheStats*>(stats.data()));
        if (read != FSA_STS_SUCCESS)
            return read;
        FSA_STATUS found = 0;
        for (uint32_t k = 0; k < count; ++k) {
            if (faGetLe32(stats.data() + kStatsBufferedWord + kStatsEntryBytes * k) == 0)
                continue;
            if (CT_CheckConflicts(ctx, k) != 0)
                continue;
            found = 1;
            if (release) {
                tag_FSA_CONTAINER id{};
                CT_GetStandardID(ctx, &id, k);
                FsaReleaseContainerCache(handle, &id, nullptr);
            }
        }
        return found;
    });
}
