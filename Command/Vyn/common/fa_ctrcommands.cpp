// The one-command container operations: each sends one container command and
// turns its container status into success or a thrown FSA_STATUS.
#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// Sent where a request carries no signature of its own.
constexpr uint32_t kFakeSimSignature = 0x12346789;

enum : unsigned {
    CT_WRITE_MBR = 6,
    CT_DESTROY_CONTAINER = 17,
    CT_MOVE_CONTAINER = 21,
    CT_UNMIRROR = 24,
    CT_MIRROR_DELAY = 25,
    CT_GEN_MIRROR = 26,
    CT_GEN_MIRROR2 = 27,
    CT_SPLIT = 30,
    CT_SPLIT2 = 31,
    CT_ASSIGN_FAILOVER = 41,
    CT_CLEAR_FAILOVER = 42,
    CT_GET_FAILOVER_DATA = 43,
    CT_VOLUME_ADD = 44,
    CT_COPY = 48,
    CT_UNLOCK_CONTAINER = 49,
    CT_LOCK_CONTAINER = 50,
    CT_MAKE_READ_ONLY = 51,
    CT_MAKE_READ_WRITE = 52,
    CT_GET_DELAY = 58,
    CT_ZERO_CONTAINER_SPACE = 59,
    CT_SCRUB = 61,
    CT_SCRUB2 = 67,
    CT_PROMOTE = 71,
    CT_READ_DATA = 90,
    CT_ADD_LEVEL = 98,
    CT_MAKE_SNAPSHOT = 104,
    CT_REMOVE_SNAPSHOT = 105,
    CT_WRITE_USER_FLAGS = 106,
    CT_READ_USER_FLAGS = 107,
    CT_GET_SNAPSHOT_INFO = 110,
    CT_LOCK_DRAINIO = 133,
    CT_CONTAINER_OFFLINE = 134,
    CT_SCRUB_NOFIX = 141,
    CT_SCRUB2_NOFIX = 142,
    CT_FLUSH = 143,
    CT_RESTART_MORPH = 149,
    CT_COMMIT_CONFIG = 152,
    CT_OPEN_READ_WRITE = 155,
    CT_DELETE_PPI_BUNDLE = 197,
    CT_DELETE_PPI_BUNDLES_FOR_DEVT = 207,
    CT_PHYDEV_OPERATION = 251,
};

constexpr uint32_t kGlobalSpare = 0x80000000u;
constexpr uint32_t kLegacyGlobalSpare = 99;
constexpr uint32_t kPpiBundleContainer = 100;
constexpr uint32_t kOpt2WideSpares = 0x10;
constexpr uint32_t kFailoverSlot = 2;
constexpr uint32_t kLocked = 3;
constexpr FSA_STATUS kStsLocked = 42;
constexpr FSA_STATUS kStsNotFound = 11;
constexpr FSA_STATUS kStsNotValid = 41;
constexpr FSA_STATUS kStsTooSmall = 5;
constexpr FSA_STATUS kStsNoMemory = 91;
constexpr unsigned kSnapshotRequestBytes = 28;
constexpr unsigned kSnapshotInfoBytes = 96;
constexpr unsigned kFailoverDataBytes = 260;
constexpr unsigned kMirrorCommandBytes = 136;
constexpr unsigned kPhyDevBytes = 1032;
// The handles a 1032-byte request holds after its two header words.
constexpr uint32_t kMaxPhyDevHandles = (kPhyDevBytes - 8) / 4;
constexpr uint32_t kAllDevices = 0xFFFFFFFFu;
constexpr unsigned kSliceTableBytes = 512;
constexpr uint32_t kFailoverMark1 = 0x92755;
constexpr uint32_t kFailoverMark2 = 0x1FA11FA1;

struct StatusMap {
    uint32_t status;
    FSA_STATUS result;
};

// Sends one command with throwOnError set; the container status.
uint32_t send(FSAAPI_CONTEXT* ctx, unsigned code, uint32_t p0, const uint32_t* p1 = nullptr,
              const uint32_t* p2 = nullptr, const void* in = nullptr, unsigned inLen = 0, void* out = nullptr,
              unsigned outLen = 0, uint32_t* result1 = nullptr)
{
    uint32_t w0 = p0;
    uint32_t w1 = p1 != nullptr ? *p1 : 0;
    uint32_t w2 = p2 != nullptr ? *p2 : 0;
    CT_SendReceiveFIB(ctx, code, &w0, p1 != nullptr || result1 != nullptr ? &w1 : nullptr,
                      p2 != nullptr ? &w2 : nullptr, in, inLen, out, outLen, 1);
    if (result1 != nullptr)
        *result1 = w1;
    return w0;
}

// Throws the mapped status unless `status` is the success value.
void check(unsigned code, uint32_t status, std::initializer_list<uint32_t> success,
           std::initializer_list<StatusMap> map, FSA_STATUS other)
{
    for (uint32_t s : success)
        if (status == s)
            return;
    CT_DebugPrintStatus(code, status);
    for (const StatusMap& m : map)
        if (m.status == status)
            throw m.result;
    throw other;
}

// A command on one container whose only parameter is the container number.
void simple(FSAAPI_CONTEXT* ctx, unsigned code, uint32_t container, uint32_t success,
            std::initializer_list<StatusMap> map, FSA_STATUS other, bool invalidate = false)
{
    check(code, send(ctx, code, container), {success}, map, other);
    if (invalidate)
        CT_InvalidateCache(ctx);
}

}  // namespace

uint32_t CT_GetFakeSimSignature() { return kFakeSimSignature; }

void CT_DebugPrintStatus(uint32_t, uint32_t) {}

void CT_CommitConfig(FSAAPI_CONTEXT* ctx)
{
    check(CT_COMMIT_CONFIG, send(ctx, CT_COMMIT_CONFIG, 0), {CT_STS_NEW_SUCCESS}, {}, FSA_STS_CT_BAD_STATUS);
}

void CT_Delete_PPI_Bundles(FSAAPI_CONTEXT* ctx, uint32_t device)
{
    check(CT_DELETE_PPI_BUNDLES_FOR_DEVT, send(ctx, CT_DELETE_PPI_BUNDLES_FOR_DEVT, device), {CT_STS_NEW_SUCCESS}, {},
          FSA_STS_NOT_SUPPORTED);
}

void CT_UpdateEvents(FSAAPI_CONTEXT* ctx)
{
    if (ctx->readWriteNoticeSent)
        return;
    if (ctx->accessMode != FSA_ACC_READ_WRITE && ctx->accessMode != 3)
        return;
    CT_SendReceiveFIB(ctx, CT_OPEN_READ_WRITE, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    ctx->readWriteNoticeSent = 1;
}

void CT_ReadUserFlags(FSAAPI_CONTEXT* ctx, uint32_t container, uint16_t* flags)
{
    uint32_t result1 = 0;
    const uint32_t status = send(ctx, CT_READ_USER_FLAGS, container, nullptr, nullptr, nullptr, 0, nullptr, 0, &result1);
    *flags = static_cast<uint16_t>(result1 & 0xFFFF);
    check(CT_READ_USER_FLAGS, status, {237}, {}, 181);
}

FSA_STATUS CT_WriteUserFlags(FSAAPI_CONTEXT* ctx, uint32_t container, uint16_t flags)
{
    uint32_t p0 = container;
    uint32_t p1 = flags;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_WRITE_USER_FLAGS, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 1);
    check(CT_WRITE_USER_FLAGS, p0, {236}, {}, 182);
    return sent;
}

void CT_SetDumpContainerFlag(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    uint16_t flags = 0;
    CT_ReadUserFlags(ctx, container, &flags);
    CT_WriteUserFlags(ctx, container, static_cast<uint16_t>(flags | 0x2));
}

void CT_Split(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2)
{
    const uint32_t signature = kFakeSimSignature;
    check(CT_SPLIT, send(ctx, CT_SPLIT, container, &container2, &signature), {134}, {{kLocked, kStsLocked}}, 54);
    CT_InvalidateCache(ctx);
}

void CT_SplitTwo(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2)
{
    const uint32_t signature = kFakeSimSignature;
    check(CT_SPLIT2, send(ctx, CT_SPLIT2, container, &container2, &signature), {134}, {{kLocked, kStsLocked}}, 54);
    CT_InvalidateCache(ctx);
}

void CT_MakeSnapshot(FSAAPI_CONTEXT* ctx, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4, uint32_t a5,
                     uint32_t a6, uint32_t a7)
{
    CT_CheckMaxNumberOfPartitions(ctx, 2);
    uint8_t request[kSnapshotRequestBytes] = {};
    faPutLe32(request + 0, a1);
    faPutLe32(request + 4, a2);
    faPutLe32(request + 8, a3);
    // The firmware takes these two in the opposite order.
    faPutLe32(request + 12, a5);
    faPutLe32(request + 16, a4);
    faPutLe32(request + 20, a6 != 0 ? a6 : kFakeSimSignature);
    faPutLe32(request + 24, a7);
    const uint32_t status = send(ctx, CT_MAKE_SNAPSHOT, 0, nullptr, nullptr, request, sizeof request);
    check(CT_MAKE_SNAPSHOT, status, {232}, {{kLocked, kStsLocked}, {242, 245}, {250, 190}, {327, 472}}, 183);
    CT_InvalidateCache(ctx);
}

void CT_RemoveSnapshot(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_REMOVE_SNAPSHOT, container, 234, {{kLocked, kStsLocked}}, 184, true);
}

FSA_STATUS CT_GetSnapshotInfo(FSAAPI_CONTEXT* ctx, uint32_t container, FsaSnapshotInfo* out)
{
    uint32_t p0 = container;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_GET_SNAPSHOT_INFO, &p0, nullptr, nullptr, nullptr, 0, out, kSnapshotInfoBytes, 1);
    check(CT_GET_SNAPSHOT_INFO, p0, {262}, {}, 219);
    return sent;
}

FSA_STATUS CT_WriteMBR(FSAAPI_CONTEXT* ctx, uint32_t slice, uint32_t value)
{
    uint32_t p0 = slice;
    uint32_t p2 = value;
    return CT_SendReceiveFIB(ctx, CT_WRITE_MBR, &p0, nullptr, &p2, nullptr, 0, nullptr, 0, 1);
}

FSA_STATUS CT_VynIoPhyDevOp(FSAAPI_CONTEXT* ctx, uint32_t operation, uint32_t** handles, uint32_t* count, int all)
{
    // More handles than the request holds would run past its buffer.
    if (!all && *count > kMaxPhyDevHandles)
        return FSA_STS_BAD_PARAMETER;
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(1, kPhyDevBytes));
    if (buffer == nullptr)
        return kStsNoMemory;
    buffer[0] = 1;
    buffer[1] = static_cast<uint8_t>(operation);
    if (all) {
        faPutLe32(buffer + 4, kAllDevices);
    } else {
        faPutLe32(buffer + 4, *count);
        for (uint32_t i = 0; i < *count; ++i)
            faPutLe32(buffer + 8 + 4 * i, (*handles)[i]);
    }
    uint32_t p0 = 0;
    FSA_STATUS status =
        CT_SendReceiveFIB(ctx, CT_PHYDEV_OPERATION, &p0, nullptr, nullptr, buffer, kPhyDevBytes, buffer, kPhyDevBytes, 0);
    if (status == FSA_STS_SUCCESS) {
        switch (p0) {
        case CT_STS_NEW_SUCCESS: status = FSA_STS_SUCCESS; break;
        case 219: status = 92; break;
        case 226: status = FSA_STS_GENERAL_FAILURE; break;
        default: status = FSA_STS_CT_BAD_STATUS; break;
        }
    }
    if (status == FSA_STS_SUCCESS) {
        const uint32_t n = faGetLe32(buffer + 4);
        // The reply cannot list more handles than its buffer holds either.
        if (n > *count || n > kMaxPhyDevHandles) {
            std::free(buffer);
            return kStsTooSmall;
        }
        *count = n;
        for (uint32_t i = 0; i < n; ++i)
            (*handles)[i] = faGetLe32(buffer + 8 + 4 * i);
    }
    std::free(buffer);
    return status;
}

void CT_MoveContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t destination)
{
    const uint32_t status = send(ctx, CT_MOVE_CONTAINER, container, &destination);
    check(CT_MOVE_CONTAINER, status, {64},
          {{kLocked, kStsLocked}, {60, kStsNotFound}, {62, kStsNotFound}, {61, kStsNotValid}, {63, kStsNotValid}},
          43);
    CT_InvalidateCache(ctx);
}

void CT_DestroyContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t value, int force)
{
    const uint32_t mode = force ? 2 : 0;
    check(CT_DESTROY_CONTAINER, send(ctx, CT_DESTROY_CONTAINER, container, &value, &mode), {59},
          {{kLocked, kStsLocked}}, 44);
    CT_InvalidateCache(ctx);
}

void CT_AddLevel(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    CT_CheckMaxNumberOfPartitions(ctx, 1);
    simple(ctx, CT_ADD_LEVEL, container, 216, {}, 127, true);
}

void CT_SetMirrorDelay(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t delay)
{
    check(CT_MIRROR_DELAY, send(ctx, CT_MIRROR_DELAY, container, &delay), {0}, {{1, kStsNotValid}}, 44);
}

uint32_t CT_GetContainerDelay(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* out)
{
    uint32_t result1 = 0;
    send(ctx, CT_GET_DELAY, container, nullptr, nullptr, nullptr, 0, nullptr, 0, &result1);
    *out = result1;
    return result1;
}

void CT_ClearFileSystem(FSAAPI_CONTEXT* ctx, uint32_t container, int notify)
{
    const uint32_t blocks = 64;
    check(CT_ZERO_CONTAINER_SPACE, send(ctx, CT_ZERO_CONTAINER_SPACE, container, &blocks), {153},
          {{154, kStsNotValid}}, 45);
    if (notify)
        AIF_FileSystemChange(ctx, container);
}

void CT_Zero(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    const uint32_t whole = 0xFFFFFFFFu;
    check(CT_ZERO_CONTAINER_SPACE, send(ctx, CT_ZERO_CONTAINER_SPACE, container, &whole), {159}, {{161, 609}}, 106);
    AIF_FileSystemChange(ctx, container);
}

void CT_VolumeAdd(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t a, uint32_t b)
{
    CT_CheckMaxNumberOfPartitions(ctx, 1);
    check(CT_VOLUME_ADD, send(ctx, CT_VOLUME_ADD, container, &a, &b), {7, 131}, {{kLocked, kStsLocked}}, 46);
    CT_InvalidateCache(ctx);
}

void CT_GenerateMirror2(FSAAPI_CONTEXT* ctx, MirrorCommand* command)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(command);
    CT_CheckMaxNumberOfPartitions(ctx, faGetLe16(bytes + 2));
    const uint32_t status = send(ctx, CT_GEN_MIRROR2, 0, nullptr, nullptr, bytes, kMirrorCommandBytes);
    check(CT_GEN_MIRROR2, status, {37}, {{kLocked, kStsLocked}}, 47);
    CT_InvalidateCache(ctx);
}

void CT_GenerateMirror(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t value)
{
    CT_CheckMaxNumberOfPartitions(ctx, 1);
    check(CT_GEN_MIRROR, send(ctx, CT_GEN_MIRROR, container, &value), {37}, {{kLocked, kStsLocked}}, 47);
    CT_InvalidateCache(ctx);
}

namespace {

// A global spare goes as 99 to controllers without the wide spare numbers,
// and then without the slot parameter.
uint32_t failoverCommand(FSAAPI_CONTEXT* ctx, unsigned code, uint32_t container, const uint32_t* spare, void* out,
                         unsigned outLen)
{
    uint32_t p0 = container;
    uint32_t p1 = spare != nullptr ? *spare : 0;
    uint32_t p2 = kFailoverSlot;
    bool slot = true;
    if (container == kGlobalSpare && (FsaOptionWord2(ctx) & kOpt2WideSpares) == 0) {
        p0 = kLegacyGlobalSpare;
        slot = false;
    }
    CT_SendReceiveFIB(ctx, code, &p0, spare != nullptr ? &p1 : nullptr, slot ? &p2 : nullptr, nullptr, 0, out,
                      outLen, 1);
    return p0;
}

}  // namespace

void CT_AssignFailover(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t spare)
{
    check(CT_ASSIGN_FAILOVER, failoverCommand(ctx, CT_ASSIGN_FAILOVER, container, &spare, nullptr, 0), {82},
          {{389, 610}}, 49);
}

void CT_ClearFailover(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t spare)
{
    if (container == kPpiBundleContainer) {
        // A physical-device bundle, not a container: its status is not read.
        uint32_t p0 = spare;
        CT_SendReceiveFIB(ctx, CT_DELETE_PPI_BUNDLE, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
        return;
    }
    check(CT_CLEAR_FAILOVER, failoverCommand(ctx, CT_CLEAR_FAILOVER, container, &spare, nullptr, 0), {82}, {}, 49);
}

void CT_GetFailover(FSAAPI_CONTEXT* ctx, uint32_t container, FailoverSlices* out)
{
    check(CT_GET_FAILOVER_DATA,
          failoverCommand(ctx, CT_GET_FAILOVER_DATA, container, nullptr, out, kFailoverDataBytes), {86}, {}, 50);
}

int CT_ReadData(FSAAPI_CONTEXT* ctx, void* buffer, uint32_t length, uint32_t a, uint32_t b)
{
    uint32_t p0 = a;
    uint32_t p1 = b;
    // Callers take 0 as "nothing read", a failed send included.
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_READ_DATA, &p0, &p1, nullptr, nullptr, 0, buffer, length, 0);
    return sent == FSA_STS_SUCCESS && p0 == 208 ? 1 : 0;
}

uint32_t CT_GetSliceFailoverCount(FSAAPI_CONTEXT* ctx, uint32_t slice)
{
    uint8_t table[kSliceTableBytes] = {};
    if (!CT_ReadData(ctx, table, sizeof table, slice, 2))
        return 0;
    uint32_t n = 0;
    for (unsigned entry = 0; entry < kSliceTableBytes / 8; ++entry) {
        const uint32_t mark = faGetLe32(table + 8 * entry);
        if (mark == kFailoverMark1 || mark == kFailoverMark2)
            ++n;
    }
    return n;
}

void CT_UnMirror(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_UNMIRROR, container, 89, {{kLocked, kStsLocked}}, 51, true);
}

void CT_MakeReadOnly(FSAAPI_CONTEXT* ctx, uint32_t container) { simple(ctx, CT_MAKE_READ_ONLY, container, 141, {}, 104); }

void CT_MakeReadWrite(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_MAKE_READ_WRITE, container, 141, {}, 105);
}

void CT_Promote(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    CT_CheckMaxNumberOfPartitions(ctx, 1);
    simple(ctx, CT_PROMOTE, container, 186, {{187, 108}, {188, kStsNotFound}, {189, 22}}, 108, true);
}

void CT_ScrubContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_SCRUB, container, 163, {{166, 96}, {168, kStsNotValid}, {176, 97}}, 98);
}

void CT_Scrub2Container(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_SCRUB2, container, 163, {{166, 96}, {168, kStsNotValid}, {176, 97}}, 98);
}

void CT_CheckContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_SCRUB_NOFIX, container, 163, {{166, 364}, {168, kStsNotValid}, {176, 365}}, 366);
}

void CT_Check2Container(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_SCRUB2_NOFIX, container, 163, {{166, 364}, {168, kStsNotValid}, {176, 365}}, 366);
}

uint32_t CT_FlushContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    const uint32_t status = send(ctx, CT_FLUSH, container);
    check(CT_FLUSH, status, {314}, {}, kStsNotValid);
    return status;
}

FSA_STATUS CT_RestartMorph(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    uint32_t p0 = container;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_RESTART_MORPH, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    check(CT_RESTART_MORPH, p0, {253},
          {{255, 324}, {256, kStsNotValid}, {257, 325}, {258, 326}, {259, 327}, {260, kStsNoMemory},
           {261, FSA_STS_NOT_SUPPORTED}, {331, 496}, {332, 497}},
          323);
    return sent;
}

uint32_t CT_LockDrainContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    const uint32_t status = send(ctx, CT_LOCK_DRAINIO, container);
    check(CT_LOCK_DRAINIO, status, {308}, {}, kStsNotValid);
    return status;
}

uint32_t CT_OfflineContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    const uint32_t status = send(ctx, CT_CONTAINER_OFFLINE, container);
    check(CT_CONTAINER_OFFLINE, status, {309}, {}, 365);
    return status;
}

uint32_t CT_Copy(FSAAPI_CONTEXT* ctx, uint32_t source, uint32_t destination)
{
    const uint32_t status = send(ctx, CT_COPY, source, &destination);
    check(CT_COPY, status, {24}, {{16, 101}, {17, 101}}, 102);
    return status;
}

void CT_LockContainer(FSAAPI_CONTEXT* ctx, uint32_t container) { simple(ctx, CT_LOCK_CONTAINER, container, 11, {}, 56); }

void CT_UnlockContainer(FSAAPI_CONTEXT* ctx, uint32_t container)
{
    simple(ctx, CT_UNLOCK_CONTAINER, container, 13, {}, 57);
}
