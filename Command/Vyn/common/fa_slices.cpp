// Slices, the controller's partition table in its three record forms, the
// slices' boot records and the partition limits.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kOpt3Slices64 = 0x10;
constexpr uint32_t kNoSlice = 0xFFFFFFFFu;
constexpr uint32_t kMbrOk = 132;
constexpr uint32_t kEntryFound = 68;
constexpr uint32_t kTableRead = 202;
constexpr uint32_t kDiskTableRead = 204;
constexpr uint32_t kSliceKindPassThrough = 7;
constexpr unsigned kMbrBytes = 48;
constexpr unsigned kOldMbrBytes = 40;
constexpr unsigned kSliceReplyBytes = 32;
constexpr FSA_STATUS kPartitionReadFailed = 39;
constexpr FSA_STATUS kNoSuchDevice = 12;
constexpr FSA_STATUS kPartitionLimit = 528;

// Device record of the configuration model: slice number and the two sizes.
constexpr size_t kPhySlice = 136;
constexpr size_t kPhySliceSize = 144;
constexpr size_t kPhyMaxSliceSize = 152;

// Creation fields of the container information (both forms).
constexpr size_t kInfoCreator1 = 80;
constexpr size_t kInfoCreator2 = 84;
constexpr size_t kInfoMonth = 88;
constexpr size_t kInfoDay = 89;
constexpr size_t kInfoYear = 90;
constexpr size_t kInfoHour = 92;
constexpr size_t kInfoMinute = 93;
constexpr size_t kInfoSecond = 94;
constexpr size_t kInfoLast = 95;
constexpr size_t kInfoCreation = 208;

bool slices64(FSAAPI_CONTEXT* ctx) { return (FsaOptionWord3(ctx) & kOpt3Slices64) != 0; }

uint32_t statusOnly(FSAAPI_CONTEXT* ctx, uint32_t code)
{
    uint32_t status = 0;
    CT_SendReceiveFIB(ctx, code, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    return status;
}

// The three commands of one table read, newest record form first.
struct RecordForms {
    uint32_t code[3];
};
constexpr RecordForms kWholeTable{{CT_GET_PARTITION_TABLE_500, CT_GET_PARTITION_TABLE_2, CT_GET_PARTITION_TABLE}};
constexpr RecordForms kDiskTable{{CT_GET_DISK_PARTITIONS_500, CT_GET_DISK_PARTITIONS_2, CT_GET_DISK_PARTITIONS}};
constexpr unsigned kFormBytes[3] = {sizeof(Partition), PARTITION_BYTES_196, PARTITION_BYTES_160};

// Bytes of n records of one form, or 0 when they could not be addressed in
// one transfer.
unsigned tableBytes(int n, unsigned recordBytes)
{
    const unsigned long long bytes = static_cast<unsigned long long>(n) * recordBytes;
    if (bytes > UINT_MAX)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    return static_cast<unsigned>(bytes);
}

// Reads n records with the first form the controller knows; an older form is
// widened record by record into its 420-byte slot.
void readRecords(FSAAPI_CONTEXT* ctx, const RecordForms& forms, uint32_t param, Partition* out, int n,
                 uint32_t okStatus)
{
    if (n <= 0)
        return;
    uint32_t status = param;
    FSA_STATUS sent = CT_SendReceiveFIB(ctx, forms.code[0], &status, nullptr, nullptr, nullptr, 0, out,
                                        tableBytes(n, sizeof(Partition)), 0);
    for (int form = 1; form < 3 && sent == FSA_STS_CT_BAD_STATUS; ++form) {
        const unsigned size = kFormBytes[form];
        const unsigned bytes = tableBytes(n, size);
        std::unique_ptr<uint8_t, decltype(&std::free)> old(static_cast<uint8_t*>(std::calloc(bytes, 1)), &std::free);
        if (old == nullptr)
            throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
        status = param;
        sent = CT_SendReceiveFIB(ctx, forms.code[form], &status, nullptr, nullptr, nullptr, 0, old.get(), bytes, 0);
        if (sent != FSA_STS_SUCCESS)
            continue;
        for (int i = 0; i < n; ++i) {
            std::memcpy(out[i].bytes, old.get() + static_cast<size_t>(i) * size, size);
            std::memset(out[i].bytes + size, 0, sizeof(Partition) - size);
        }
    }
    if (sent != FSA_STS_SUCCESS)
        throw sent;
    if (status != okStatus)
        throw kPartitionReadFailed;
}

void logEntry(const char* scope, bool supported, uint32_t index, const uint8_t* p)
{
    FsaApiEntryExit::logToFileV(scope, "%s: [TableOffset:%u] %llu %llu (%u %u)", supported ? "SUPP" : "NOT SUPP", index,
                                static_cast<unsigned long long>(faGetLe64(p + PART_START_64)),
                                static_cast<unsigned long long>(faGetLe64(p + PART_LENGTH_64)),
                                faGetLe32(p + PART_START_32), faGetLe32(p + PART_LENGTH_32));
}

}  // namespace

uint32_t CT_GetSliceCount(FSAAPI_CONTEXT* ctx) { return statusOnly(ctx, CT_GET_SLICE_COUNT); }

uint32_t CT_GetPartitionTableSize(FSAAPI_CONTEXT* ctx) { return statusOnly(ctx, CT_GET_PARTITION_COUNT); }

uint32_t CT_GetConfigAge(FSAAPI_CONTEXT* ctx) { return statusOnly(ctx, CT_READ_CONFIG_AGE); }

void CT_GetGenerationId(FSAAPI_CONTEXT* ctx, tag_FSA_GENERATION* out) { out->age = CT_GetConfigAge(ctx); }

FSA_STATUS CT_GetSerialNumber(FSAAPI_CONTEXT* ctx, SerialNumberT* out)
{
    uint32_t status = 0;
    return CT_SendReceiveFIB(ctx, CT_READ_SERIAL_NUMBER, &status, nullptr, nullptr, nullptr, 0, out->bytes,
                             sizeof out->bytes, 1);
}

FSA_STATUS CT_PartitionEntryZero(FSAAPI_CONTEXT* ctx, uint32_t index)
{
    uint32_t p0 = index;
    return CT_SendReceiveFIB(ctx, CT_ZERO_PAR_ENTRY, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
}

bool CT_ReadMBR(FSAAPI_CONTEXT* ctx, uint32_t slice, SliceMBR* out)
{
    std::memset(out, 0, sizeof *out);
    uint32_t status = slice;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_READ_MBR, &status, nullptr, nullptr, nullptr, 0, out->bytes,
                                              slices64(ctx) ? kMbrBytes : kOldMbrBytes, 0);
    return sent == FSA_STS_SUCCESS && status == kMbrOk;
}

int CT_MbrExists(FSAAPI_CONTEXT* ctx, uint32_t slice)
{
    SliceMBR mbr;
    if (!CT_ReadMBR(ctx, slice, &mbr))
        return 2;
    return faGetLe32(mbr.bytes) == SLICE_MBR_SIGNATURE ? 1 : 0;
}

uint32_t CT_CheckConflicts(FSAAPI_CONTEXT* ctx, uint32_t n)
{
    uint32_t status = n;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_CONTAINER_EXISTS, &status, nullptr, nullptr, nullptr, 0, nullptr,
                                              0, 0);
    return sent == FSA_STS_SUCCESS ? status : 0;
}

void CT_GetSliceInfo(FSAAPI_CONTEXT* ctx, uint32_t slice, uint64_t* size, uint64_t* maxSize, uint64_t* c,
                     uint32_t* handle, uint32_t* e, uint32_t* f)
{
    uint8_t reply[kSliceReplyBytes] = {};
    uint32_t status = slice;
    CT_SendReceiveFIB(ctx, CT_GET_SLICE_INFO, &status, nullptr, nullptr, nullptr, 0, reply, sizeof reply, 1);
    auto r = [&reply](unsigned n) { return faGetLe32(reply + 4 * n); };
    *handle = r(3);
    if (slices64(ctx)) {
        *c = 0;
        CT_GetSliceInfoNew64(ctx, slice, size, maxSize, handle);
    } else {
        *size = r(6);
        *maxSize = r(7);
        *c = r(1);
    }
    if (e != nullptr)
        *e = r(2);
    if (f != nullptr)
        *f = r(5);
}

namespace {

// The configuration model's device record of a drive handle, or null.
const uint8_t* modelRecord(FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    if (ctx->vynIoConfig == nullptr)
        return nullptr;
    for (const FsaVynIoPhyDevInfo* node : ctx->vynIoConfig->phyDevs())
        if (node->handle() == handle)
            return node->record.bytes;
    return nullptr;
}

}  // namespace

void CT_GetSliceInfoNew64(FSAAPI_CONTEXT* ctx, uint32_t slice, uint64_t* size, uint64_t* maxSize,
                          const uint32_t* handle)
{
    static const char kScope[] = "2TB: CT_GetSliceInfoNew64";
    FsaApiEntryExit scope(kScope);
    *size = 0;
    *maxSize = 0;
    if (const uint8_t* record = modelRecord(ctx, *handle)) {
        *size = faGetLe64(record + kPhySliceSize);
        *maxSize = faGetLe64(record + kPhyMaxSliceSize);
    }
    FsaApiEntryExit::logToFileV(kScope, "for Slice:%u, handle:%#x SliceSize:%llu MaxSliceSize:%llu", slice, *handle,
                                static_cast<unsigned long long>(*size), static_cast<unsigned long long>(*maxSize));
}

int CT_GetSliceFromDriveHandle(FSAAPI_CONTEXT* ctx, uint32_t handle, int throwIfNone, int* localKind7)
{
    if (slices64(ctx))
        return CT_GetNewSliceFromDriveHandle(ctx, handle, throwIfNone, localKind7);
    if (localKind7 != nullptr)
        *localKind7 = 0;
    uint8_t reply[kSliceReplyBytes] = {};
    uint32_t status = handle;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_SLICE_FROM_DEVT, &status, nullptr, nullptr, nullptr, 0, reply, sizeof reply, 0);
    if (sent != FSA_STS_SUCCESS) {
        if (throwIfNone)
            throw sent;
        return -1;
    }
    if (status != kNoSlice) {
        if (localKind7 != nullptr && faGetLe32(reply + 8) == ctx->adapterIndexWord && faGetLe32(reply + 12) == handle)
            *localKind7 = faGetLe32(reply + 20) == kSliceKindPassThrough ? 1 : 0;
        return static_cast<int>(status);
    }
    if (throwIfNone)
        throw kNoSuchDevice;
    return -1;
}

int CT_GetNewSliceFromDriveHandle(FSAAPI_CONTEXT* ctx, uint32_t handle, int throwIfNone, int* localKind7)
{
    static const char kScope[] = "CT_GetNewSliceFromDriveHandle";
    FsaApiEntryExit scope(kScope);
    if (localKind7 != nullptr)
        *localKind7 = 0;
    const uint8_t* record = modelRecord(ctx, handle);
    // A drive the model lists without a slice has none either.
    if (record != nullptr && faGetLe32(record + kPhySlice) != kNoSlice) {
        const uint32_t slice = faGetLe32(record + kPhySlice);
        FsaApiEntryExit::logToFileV(kScope, "for dh = %u slice = %u", handle, slice);
        return static_cast<int>(slice);
    }
    if (throwIfNone)
        throw kNoSuchDevice;
    return -1;
}

void CT_GetPartitionInMemory(FSAAPI_CONTEXT* ctx, uint32_t index, void* partition)
{
    static const char kScope[] = "2TB: CT_GetPartitionInMemory";
    FsaApiEntryExit scope(kScope);
    uint8_t* out = static_cast<uint8_t*>(partition);
    static const uint32_t kCodes[3] = {CT_GET_PARTITION_INFO_500, CT_GET_PARTITION_INFO_2, CT_GET_PARTITION_INFO};
    static const uint8_t kZeros[sizeof(Partition)] = {};
    uint32_t status = 0;
    FSA_STATUS sent = FSA_STS_CT_BAD_STATUS;
    for (int form = 0; form < 3 && sent == FSA_STS_CT_BAD_STATUS; ++form) {
        const unsigned size = kFormBytes[form];
        status = index;
        sent = CT_SendReceiveFIB(ctx, kCodes[form], &status, nullptr, nullptr, kZeros, size, out, size, 0);
        if (sent == FSA_STS_SUCCESS)
            std::memset(out + size, 0, sizeof(Partition) - size);
    }
    if (sent != FSA_STS_SUCCESS)
        throw sent;
    if (status != kEntryFound)
        throw kPartitionReadFailed;
    if (!slices64(ctx)) {
        faPutLe64(out + PART_START_64, faGetLe32(out + PART_START_32));
        faPutLe64(out + PART_LENGTH_64, faGetLe32(out + PART_LENGTH_32));
    }
    logEntry(kScope, slices64(ctx), index, out);
}

void CT_GetPartitionsInMemory(FSAAPI_CONTEXT* ctx, Partition* out, int n)
{
    readRecords(ctx, kWholeTable, 0, out, n, kTableRead);
}

void CT_GetDiskPartitions(FSAAPI_CONTEXT* ctx, int slice, Partition* out, int n)
{
    readRecords(ctx, kDiskTable, static_cast<uint32_t>(slice), out, n, kDiskTableRead);
}

uint32_t CT_GetMaxNumberOfCtrPartitions(FSAAPI_CONTEXT* ctx) { return ctx->partitionLimitWord / 3; }

namespace {

const uint8_t* elementBytes(const FSA_PARTITION_CACHE* cache, uint32_t i) { return cache->elements[i].bytes; }

}  // namespace

uint32_t CT_GetNumberOfPartitionsAlreadyOnDevice(FSAAPI_CONTEXT* ctx, const FSA_SCSI_DEVICE* device)
{
    if (device == nullptr)
        return 0;
    const uint32_t handle = FsaApiGetDevtFromBLT(ctx, device->busNumber, device->targetId, device->lun);
    CT_UpdateCache(ctx);
    FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    uint32_t count = 0;
    uint32_t grouped = 0;
    for (uint32_t i = 0; i < cache->count; ++i) {
        const uint8_t* e = elementBytes(cache, i);
        if (faGetLe32(e + PART_OWNER_WORD) != ctx->adapterIdentityWord || faGetLe32(e + PART_LOCATION) != handle ||
            faGetLe64(e + PART_START_64) == 0)
            continue;
        ++count;
        if (e[PART_KEEP_DUPLICATE] != 0)
            ++grouped;
    }
    // All the grouped partitions of a drive count as one.
    return grouped != 0 ? count - grouped + 1 : count;
}

void CT_CheckMaxNumberOfPartitions(FSAAPI_CONTEXT* ctx, uint32_t n)
{
    uint32_t p1 = 0;
    uint32_t limit = 0;
    CT_GetContainerCount(ctx, &p1, &limit);
    CT_UpdateCache(ctx);
    FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    uint64_t counted = 0;
    for (uint32_t i = 0; i < cache->count; ++i) {
        const uint8_t* e = elementBytes(cache, i);
        if (faGetLe32(e + PART_OWNER_WORD) == ctx->adapterIdentityWord || faGetLe32(e + PCE_KIND) == PCE_FREE)
            ++counted;
    }
    if (n + counted > limit)
        throw kPartitionLimit;
}

namespace {

void moveCreationInfo(const Partition* partition, uint8_t* info)
{
    const uint8_t* p = partition->bytes;
    const uint32_t date = faGetLe32(p + PART_CREATION_DATE);
    info[kInfoCreation] = p[PART_CREATION];
    faPutLe32(info + kInfoCreator1, faGetLe32(p + PART_CREATOR_1));
    faPutLe32(info + kInfoCreator2, faGetLe32(p + PART_CREATOR_2));
    info[kInfoMonth] = static_cast<uint8_t>(date & 0xF);
    info[kInfoDay] = static_cast<uint8_t>(date >> 4 & 0x1F);
    info[kInfoHour] = static_cast<uint8_t>(date >> 10 & 0x3F);
    info[kInfoMinute] = static_cast<uint8_t>(date >> 16 & 0x3F);
    info[kInfoSecond] = static_cast<uint8_t>(date >> 22 & 0x3F);
    faPutLe16(info + kInfoYear, static_cast<uint16_t>(p[PART_CREATION_YEAR] + 1900));
    info[kInfoLast] = p[PART_CREATION_LAST];
}

}  // namespace

void CT_MoveCreationInfo(const Partition* partition, FSA_CONTAINER_INFO* info)
{
    moveCreationInfo(partition, reinterpret_cast<uint8_t*>(info));
}

void CT_MoveCreationInfo2(const Partition* partition, FSA_CONTAINER_INFO_EXTND* info)
{
    moveCreationInfo(partition, reinterpret_cast<uint8_t*>(info));
}

namespace {

constexpr uint32_t kLastOwnerType = 20;

// An owner's container number when its type is valid (1 to 20), else -1.
long ownerNumber(const uint8_t* e, unsigned typeAt, unsigned numberAt)
{
    const uint32_t type = faGetLe32(e + typeAt);
    return type >= 1 && type <= kLastOwnerType ? static_cast<long>(faGetLe16(e + numberAt)) : -1;
}

bool neverConflicts(uint32_t kind) { return kind == PCE_FREE || kind == PCE_FOREIGN_USED || kind == PCE_FOREIGN_FREE; }

}  // namespace

bool DoPartitionContainerNumbersMatch(const FSA_PARTITION_CACHE_ELEMENT* a, const FSA_PARTITION_CACHE_ELEMENT* b)
{
    const long aNumbers[2] = {ownerNumber(a->bytes, PART_FIRST_OWNER, PART_FIRST_CONTAINER),
                              ownerNumber(a->bytes, PART_SECOND_OWNER, PART_SECOND_CONTAINER)};
    const long bNumbers[2] = {ownerNumber(b->bytes, PART_FIRST_OWNER, PART_FIRST_CONTAINER),
                              ownerNumber(b->bytes, PART_SECOND_OWNER, PART_SECOND_CONTAINER)};
    for (long x : aNumbers)
        for (long y : bNumbers)
            if (x != -1 && x == y)
                return true;
    return false;
}

bool CT_IsConflictingPartition(FSAAPI_CONTEXT* ctx, const FSA_PARTITION_CACHE_ELEMENT* element)
{
    const uint8_t* e = element->bytes;
    if (neverConflicts(faGetLe32(e + PCE_KIND)) || (faGetLe32(e + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0)
        return false;
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr)
        return false;
    for (uint32_t i = 0; i < cache->count; ++i) {
        const FSA_PARTITION_CACHE_ELEMENT* other = &cache->elements[i];
        const uint8_t* o = other->bytes;
        if (neverConflicts(faGetLe32(o + PCE_KIND)) || !DoPartitionContainerNumbersMatch(element, other))
            continue;
        if (faGetLe16(o + PART_FIRST_CONTAINER) == faGetLe16(e + PART_FIRST_CONTAINER) &&
            (faGetLe32(o + PART_ATTRIBUTES) & PART_ATTR_HAS_CONTAINER) != 0)
            return true;
    }
    return false;
}

bool LOCAL_ATTACHED(const FSA_PARTITION_CACHE_ELEMENT* element)
{
    return faGetLe32(element->bytes + PART_LOCATION) != 0xFFFFFFFFu;
}
