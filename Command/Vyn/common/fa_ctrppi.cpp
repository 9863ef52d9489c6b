// The physical-device (PPI) table and the missing drives.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>

namespace {

constexpr unsigned CT_GET_PPI_HEADERS = 194;
constexpr unsigned CT_GET_PPI_DATA = 195;
// Parameter 0 of CT_GET_PPI_DATA: the request for the whole table.
constexpr uint32_t kPpiDataRequest = 219;
constexpr uint32_t kOpt2WidePpi = 0x200000;
constexpr uint32_t kNoHandle = 0xFFFF;
constexpr FSA_STATUS kNoMemory = 91;

uint32_t handleOf(const FSA_PPI_ENTRY& e) { return faGetLe32(e.bytes + PPI_HANDLE); }

// A 12-byte controller entry in the kept 16-byte form.
void widen(const uint8_t* narrow, FSA_PPI_ENTRY* out)
{
    std::memset(out->bytes, 0, sizeof out->bytes);
    std::memcpy(out->bytes, narrow, 8);
    faPutLe32(out->bytes + PPI_HANDLE, faGetLe16(narrow + 8));
    out->bytes[PPI_BUNDLE] = narrow[10];
    out->bytes[PPI_FLAGS] = narrow[11];
}

void emptyMissingList(FSAAPI_CONTEXT* ctx)
{
    std::free(ctx->missingDrives);
    ctx->missingDrives = nullptr;
    ctx->missingCount = 0;
}

}  // namespace

int compareAddresses(const void* a, const void* b)
{
    const uint32_t ha = handleOf(*static_cast<const FSA_PPI_ENTRY*>(a));
    const uint32_t hb = handleOf(*static_cast<const FSA_PPI_ENTRY*>(b));
    return ha < hb ? -1 : (ha > hb ? 1 : 0);
}

void CT_GetPPITableHeaders(FSAAPI_CONTEXT* ctx, FSA_PPI_TABLE_HDRS* out)
{
    uint32_t status = 0;
    uint8_t reply[sizeof out->words] = {};
    CT_SendReceiveFIB(ctx, CT_GET_PPI_HEADERS, &status, nullptr, nullptr, nullptr, 0, reply, sizeof reply, 0);
    if (status != CT_STS_NEW_SUCCESS)
        return;
    for (unsigned i = 0; i < 6; ++i)
        out->words[i] = faGetLe32(reply + 4 * i);
}

FSA_STATUS CT_GetPPITable(FSAAPI_CONTEXT* ctx)
{
    FINISH_OPEN finish(ctx);
    CMutexObject guard(ctx->contextMutex, &ctx->mutexHeld, FsaTakesContextMutex(ctx));
    FAUX_AUTORELEASE_MUTEX lock(ctx->ppiMutex);
    FSA_PPI_TABLE_HDRS headers = {};
    CT_GetPPITableHeaders(ctx, &headers);
    std::memcpy(ctx->ppiHeaders, headers.words, sizeof headers.words);
    const uint32_t count = headers.words[PPI_HDR_COUNT];
    if (count == 0)
        return FSA_STS_GENERAL_FAILURE;
    const bool wide = (FsaOptionWord2(ctx) & kOpt2WidePpi) != 0;
    const size_t entryBytes = wide ? sizeof(FSA_PPI_ENTRY) : PPI_NARROW_BYTES;
    // The count is one word of the controller's reply: the table cannot hold
    // more entries than the controller has partitions, so a larger count is a
    // bad reply, refused before anything is allocated for it.
    if (count > ctx->partitionLimitWord) {
        CT_DebugText("PPI table of %u entries refused, the controller has %u partitions\n", count,
                     ctx->partitionLimitWord);
        return FSA_STS_GENERAL_FAILURE;
    }
    auto* raw = static_cast<uint8_t*>(std::calloc(count, entryBytes));
    if (raw == nullptr)
        throw kNoMemory;
    uint32_t status = kPpiDataRequest;
    unsigned received = 0;
    try {
        CT_SendReceiveFIB(ctx, CT_GET_PPI_DATA, &status, nullptr, nullptr, nullptr, 0, raw,
                          static_cast<unsigned>(count * entryBytes), 1, VM_ContainerConfig, nullptr, &received);
    } catch (FSA_STATUS) {
        std::free(raw);
        throw;
    }
    // Only the entries that arrived are kept.
    const uint32_t arrived = static_cast<uint32_t>(std::min<size_t>(count, received / entryBytes));
    if (status != CT_STS_NEW_SUCCESS || arrived == 0) {
        std::free(raw);
        return FSA_STS_GENERAL_FAILURE;
    }
    auto* entries = static_cast<FSA_PPI_ENTRY*>(std::calloc(arrived, sizeof(FSA_PPI_ENTRY)));
    if (entries == nullptr) {
        std::free(raw);
        throw kNoMemory;
    }
    for (uint32_t i = 0; i < arrived; ++i) {
        if (wide)
            std::memcpy(entries[i].bytes, raw + i * entryBytes, sizeof entries[i].bytes);
        else
            widen(raw + i * entryBytes, &entries[i]);
    }
    std::free(raw);
    std::free(ctx->ppiTable);
    ctx->ppiTable = entries;
    ctx->ppiCount = arrived;
    ctx->ppiValid = 1;
    return FSA_STS_SUCCESS;
}

void CT_GetMissingPPITableEntries(FSAAPI_CONTEXT* ctx, FSA_PPI_ENTRY* out, uint32_t* n)
{
    const auto* table = static_cast<const FSA_PPI_ENTRY*>(ctx->ppiTable);
    uint32_t found = 0;
    for (uint32_t i = 0; table != nullptr && i < ctx->ppiCount; ++i)
        if (table[i].bytes[PPI_FLAGS] & PPI_MISSING)
            out[found++] = table[i];
    *n = found;
}

void CT_SortMissingDrives(FSAAPI_CONTEXT* ctx, FSA_PPI_ENTRY* in, FSA_PPI_ENTRY* out, uint32_t n, uint32_t& count)
{
    count = 0;
    std::unordered_set<uint32_t> seen;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t handle = handleOf(in[i]);
        if (handle == kNoHandle || !seen.insert(handle).second)
            continue;
        FSA_STORAGE_DEVICE device = {};
        SCSI_GetStandardID(ctx, &device, handle);
        FSA_STORAGE_DEVICE_INFO info = {};
        const FSA_STATUS present = FsaGetStorageDeviceInfo(ctx->apiHandle, 0, &device, &info);
        CT_DebugText("CT_GetMissingDiskList, FsaGetStorageDeviceInfo returns %d for device %hhd:%hhd:%hhd\n",
                     present, device.busNumber, device.targetId, device.lun);
        if (present == FSA_STS_SUCCESS)
            continue;
        out[count++] = in[i];
    }
    std::qsort(out, count, sizeof(FSA_PPI_ENTRY), compareAddresses);
}

FSA_STATUS CT_GetMissingDiskList(FSAAPI_CONTEXT* ctx)
{
    FSA_PPI_TABLE_HDRS headers = {};
    CT_GetPPITableHeaders(ctx, &headers);
    CT_DebugText("Current PPI Age: %u, in memory: %u", headers.words[PPI_HDR_AGE], ctx->ppiHeaders[PPI_HDR_AGE]);
    if (headers.words[PPI_HDR_AGE] != ctx->ppiHeaders[PPI_HDR_AGE]) {
        try {
            CT_GetPPITable(ctx);
        } catch (FSA_STATUS thrown) {
            emptyMissingList(ctx);
            return thrown;
        }
    }
    emptyMissingList(ctx);
    const uint32_t total = ctx->ppiCount;
    if (total == 0 || ctx->ppiTable == nullptr)
        return FSA_STS_SUCCESS;
    auto* missing = static_cast<FSA_PPI_ENTRY*>(std::calloc(total, sizeof(FSA_PPI_ENTRY)));
    auto* kept = static_cast<FSA_PPI_ENTRY*>(std::calloc(total, sizeof(FSA_PPI_ENTRY)));
    auto* sorted = static_cast<FSA_PPI_ENTRY*>(std::calloc(total, sizeof(FSA_PPI_ENTRY)));
    if (missing == nullptr || kept == nullptr || sorted == nullptr) {
        std::free(missing);
        std::free(kept);
        std::free(sorted);
        return kNoMemory;
    }
    uint32_t n = 0;
    CT_GetMissingPPITableEntries(ctx, missing, &n);
    uint32_t keptCount = 0;
    for (uint32_t i = 0; i < n;) {
        const FSA_PPI_ENTRY& e = missing[i];
        const uint8_t bundle = e.bytes[PPI_BUNDLE];
        const uint8_t kind = e.bytes[PPI_FLAGS] & PPI_KIND_MASK;
        if (bundle != 0 && (kind == 1 || kind == 3 || !(e.bytes[PPI_FLAGS] & PPI_MISSING))) {
            kept[keptCount++] = e;
            ++i;
        } else if (bundle == 0) {
            ++i;
        } else {
            i += bundle;
        }
    }
    uint32_t count = 0;
    try {
        CT_SortMissingDrives(ctx, kept, sorted, keptCount, count);
    } catch (FSA_STATUS) {
        count = 0;
    } catch (const std::bad_alloc&) {
        std::free(missing);
        std::free(kept);
        std::free(sorted);
        return kNoMemory;
    }
    std::free(missing);
    std::free(kept);
    if (count == 0) {
        std::free(sorted);
        return FSA_STS_SUCCESS;
    }
    void* shrunk = std::realloc(sorted, count * sizeof(FSA_PPI_ENTRY));
    ctx->missingDrives = shrunk != nullptr ? shrunk : sorted;
    ctx->missingCount = count;
    return FSA_STS_SUCCESS;
}

void CT_DebugPrintPPIEntries(char*, uint32_t, FSA_PPI_ENTRY*) {}
