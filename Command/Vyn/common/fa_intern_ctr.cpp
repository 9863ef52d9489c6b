#include "Command/Vyn/common/fa_intern_ctr.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

FSA_PARTITION_LAYOUT_CACHE::FSA_PARTITION_LAYOUT_CACHE() { mutex_ = faos_CreateMutex(nullptr); }

FSA_PARTITION_LAYOUT_CACHE::~FSA_PARTITION_LAYOUT_CACHE()
{
    try {
        FreePartitionLayoutCache();
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the cache goes anyway.
    }
}

void FSA_PARTITION_LAYOUT_CACHE::TakeMutex() { faos_WaitForAndGetMutex(mutex_); }

void FSA_PARTITION_LAYOUT_CACHE::ReleaseMutex() { faos_ReleaseMutex(mutex_); }

void FSA_PARTITION_LAYOUT_CACHE::FreePartitionLayoutCache()
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    std::free(buffer);
    buffer = nullptr;
}

void CT_GetStandardID(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t container)
{
    std::memset(out, 0, sizeof *out);
    out->number = container;
    out->adapterWord = ctx->adapterIdentityWord;
    // The unique id as the partition cache last recorded it for this adapter.
    if (ctx->uniqueIdTable != nullptr && ctx->uniqueIdMutex != nullptr) {
        FAUX_AUTORELEASE_MUTEX lock(ctx->uniqueIdMutex);
        const uint8_t* table = static_cast<const uint8_t*>(ctx->uniqueIdTable);
        for (uint32_t i = 0; i < ctx->uniqueIdCount; ++i) {
            const uint8_t* entry = table + 12 * i;
            if (faGetLe32(entry) == container && faGetLe32(entry + 8) == out->adapterWord) {
                out->uniqueId = faGetLe32(entry + 4);
                break;
            }
        }
    }
    if (out->uniqueId != 0)
        return;
    // A container the table does not know yet, or a level of a multi-level
    // container: asked of the controller. An identifier is always built, so
    // a failed read leaves the unique id 0.
    try {
        CTGetUid(ctx, container, &out->uniqueId);
    } catch (FSA_STATUS) {
        out->uniqueId = 0;
    }
}

uint32_t CT_GetInternalID(const tag_FSA_CONTAINER* container) { return container->number; }

uint32_t CT_GetInternalUID(const tag_FSA_CONTAINER* container) { return container->uniqueId; }

namespace {

constexpr uint16_t kContainerFib = 500;
constexpr uint32_t kXferBuilt = 33;
constexpr uint32_t kSingleReply = 0xFFFFFFFFu;
constexpr uint32_t kCapacityFlag = 0x80000000u;
constexpr uint32_t kOpt2CapacityFlag = 0x2000;
constexpr uint32_t kOpt2WideMiscStatus = 0x10;
constexpr unsigned kFibHeader = 32;
constexpr unsigned kRequestHeader = 32;  // eight words before the data
constexpr unsigned kSmallFib = 512;
constexpr unsigned kLargeFib = 2048;
constexpr unsigned kSmallSize = 464;
constexpr unsigned kPacket201 = 432;

// Request and reply words of the payload.
enum Word : unsigned {
    kVm = 0,
    kCt = 1,
    kParam0 = 2,
    kParam1 = 3,
    kParam2 = 4,
    kHandle = 5,
    kIndex = 6,
    kCapacity = 7,
};
enum ReplyWord : unsigned {
    kTransport = 0,
    kEcho = 1,
    kStatus = 2,
    kResult1 = 3,
    kResult2 = 4,
    kReplyHandle = 5,
    kPacketSize = 6,
};

uint32_t word(const uint8_t* payload, unsigned n) { return faGetLe32(payload + 4 * n); }
void setWord(uint8_t* payload, unsigned n, uint32_t v) { faPutLe32(payload + 4 * n, v); }

void debugText(const char* text)
{
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%s", text);
    UtilPrintDebugFormatted(buffer);
}

// The data room of a reply that arrived in a FIB of senderSize bytes, bounded
// by what a FIB can hold whatever the header claims.
unsigned dataRoom(unsigned senderSize)
{
    const unsigned size = std::min(senderSize, kLargeFib);
    return size > kFibHeader + kRequestHeader ? size - kFibHeader - kRequestHeader : 0;
}

FSA_STATUS finish(FSA_STATUS result, int throwOnError)
{
    if (throwOnError && result != FSA_STS_SUCCESS)
        throw result;
    return result;
}

// Hands back one reply: its words 2-4 to the in-out words and its data to out.
void singleReply(const uint8_t* reply, const uint8_t* data, unsigned room, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                 void* out, unsigned outLen)
{
    if (p0 != nullptr)
        *p0 = word(reply, kStatus);
    if (p1 != nullptr)
        *p1 = word(reply, kResult1);
    if (p2 != nullptr)
        *p2 = word(reply, kResult2);
    if (out != nullptr && outLen != 0)
        std::memcpy(out, data, std::min(outLen, room));
}

void setHeader(uint8_t* fib, unsigned size)
{
    faPutLe32(fib + 0, kXferBuilt);
    faPutLe16(fib + 4, kContainerFib);
    fib[6] = 1;
    faPutLe16(fib + 8, static_cast<uint16_t>(size));
}

}  // namespace

FSA_STATUS CT_SendReceiveFIB(FSAAPI_CONTEXT* ctx, unsigned ctCommand, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                             const void* in, unsigned inLen, void* out, unsigned outLen, int throwOnError,
                             unsigned vmCommand, const _CONTAINERREPONSE* replyInHand, unsigned* received)
{
    unsigned filled = 0;
    if (received == nullptr)
        received = &filled;
    *received = 0;
    if (inLen > CT_MAX_INPUT)
        return finish(FSA_STS_CT_BAD_STATUS, throwOnError);

    alignas(8) uint8_t fib[kLargeFib] = {};
    _FIB* asFib = reinterpret_cast<_FIB*>(fib);
    uint8_t* payload = fib + kFibHeader;
    setWord(payload, kVm, vmCommand);
    setWord(payload, kCt, ctCommand);
    setHeader(fib, inLen > CT_SMALL_INPUT ? ((inLen + 7) & ~7u) + kRequestHeader : kSmallSize);
    if (in != nullptr && inLen != 0)
        std::memcpy(payload + kRequestHeader, in, inLen);
    if (p0 != nullptr)
        setWord(payload, kParam0, *p0);
    if (p1 != nullptr)
        setWord(payload, kParam1, *p1);
    if (p2 != nullptr)
        setWord(payload, kParam2, *p2);
    const bool capacityFlag = (FsaOptionWord2(ctx) & kOpt2CapacityFlag) != 0;
    setWord(payload, kCapacity, outLen | (capacityFlag ? kCapacityFlag : 0));

    const uint8_t* reply;
    const uint8_t* replyData;
    unsigned room;
    if (replyInHand == nullptr) {
        setWord(payload, kHandle, kSingleReply);
        const FSA_STATUS sent = FsaInternalSendReceiveFib(ctx, asFib, 0, inLen <= CT_SMALL_INPUT ? kSmallFib : kLargeFib);
        if (sent != FSA_STS_SUCCESS)
            return finish(sent, throwOnError);
        if (word(payload, kTransport) != 0)
            return finish(FSA_STS_CT_BAD_STATUS, throwOnError);
        if (word(payload, kEcho) != ctCommand) {
            debugText("Received wrong response, aborting command\n");
            return finish(FSA_STS_CT_BAD_RESPONSE, throwOnError);
        }
        reply = payload;
        replyData = payload + kRequestHeader;
        room = dataRoom(faGetLe16(fib + 10));
    } else {
        reply = replyInHand->words;
        replyData = replyInHand->data;
        room = sizeof replyInHand->data;
    }

    const uint32_t status = word(reply, kStatus);
    const unsigned oneReply = out != nullptr ? std::min(outLen, room) : 0;
    if (word(reply, kReplyHandle) == kSingleReply) {
        singleReply(reply, replyData, room, p0, p1, p2, out, outLen);
        *received = oneReply;
        return FSA_STS_SUCCESS;
    }
    if (status != CT_STS_MULTI_PACKET_FIRST_IN_REPLY && status != CT_STS_MULTI_PACKET) {
        // A completion outside a transfer means success of the newer commands.
        if (status == CT_STS_TRANSFER_DONE) {
            if (p0 != nullptr)
                *p0 = CT_STS_NEW_SUCCESS;
            singleReply(reply, replyData, room, nullptr, p1, p2, out, outLen);
        } else {
            singleReply(reply, replyData, room, p0, p1, p2, out, outLen);
        }
        *received = oneReply;
        return FSA_STS_SUCCESS;
    }

    // A reply split over several packets.
    const uint32_t handedBack = word(reply, kResult2);
    const uint32_t total = word(reply, kResult1);
    const uint32_t handle = word(reply, kReplyHandle);
    // A caller without a buffer has room for nothing.
    if (total > (out != nullptr ? outLen : 0)) {
        debugText("Not enough Buffer Size to hold Firmware Response\n");
        return finish(FSA_STS_CT_BUFFER_TOO_SMALL, throwOnError);
    }
    uint8_t* dest = static_cast<uint8_t*>(out);
    const bool firstInReply = status == CT_STS_MULTI_PACKET_FIRST_IN_REPLY;
    uint32_t packetSize;
    uint32_t next;
    uint32_t remaining = total;
    if (firstInReply) {
        packetSize = word(reply, kPacketSize);
        if (packetSize == 0)
            packetSize = 1;
        packetSize = std::min<uint32_t>(packetSize, room);
        if (packetSize == 0)
            packetSize = 1;
        const uint32_t n = std::min(remaining, packetSize);
        if (n != 0)
            std::memcpy(dest, replyData, n);
        remaining -= n;
        next = 1;
    } else {
        packetSize = kPacket201;
        next = 0;
    }
    const uint32_t count = static_cast<uint32_t>((static_cast<uint64_t>(total) + packetSize - 1) / packetSize);

    for (uint32_t index = next; index < count; ++index) {
        setWord(payload, kVm, VM_ContainerConfig);
        setWord(payload, kCt, CT_CONTINUE_DATA);
        setWord(payload, kHandle, handle);
        setWord(payload, kIndex, index);
        if (firstInReply)
            setWord(payload, kCapacity, outLen | kCapacityFlag);
        faPutLe16(fib + 8, kSmallSize);
        FsaInternalSendReceiveFib(ctx, asFib, 1, kSmallFib);
        if (word(payload, kTransport) != 0)
            return finish(FSA_STS_CT_BAD_STATUS, throwOnError);
        if (word(payload, kEcho) != CT_CONTINUE_DATA) {
            debugText("Received wrong response2, aborting command\n");
            return finish(FSA_STS_CT_BAD_RESPONSE, throwOnError);
        }
        // Never past the announced total, nor past what a follow-up carries.
        const uint64_t offset = static_cast<uint64_t>(index) * packetSize;
        uint32_t n = std::min({remaining, packetSize, dataRoom(kSmallFib)});
        n = static_cast<uint32_t>(std::min<uint64_t>(n, total - offset));
        if (n != 0)
            std::memcpy(dest + offset, payload + kRequestHeader, n);
        remaining -= n;
    }

    *received = total - remaining;
    if (firstInReply) {
        if (p0 != nullptr)
            *p0 = handedBack;
        return FSA_STS_SUCCESS;
    }

    setWord(payload, kVm, VM_ContainerConfig);
    setWord(payload, kCt, CT_STOP_DATA);
    setWord(payload, kHandle, handle);
    faPutLe16(fib + 8, kSmallSize);
    const FSA_STATUS closed = FsaInternalSendReceiveFib(ctx, asFib, 1, kSmallFib);
    if (closed != FSA_STS_SUCCESS)
        return finish(closed, throwOnError);
    if (word(payload, kTransport) != 0)
        return finish(FSA_STS_CT_BAD_STATUS, throwOnError);
    if (word(payload, kEcho) != CT_STOP_DATA) {
        debugText("Received wrong response, aborting command\n");
        return finish(FSA_STS_CT_BAD_RESPONSE, throwOnError);
    }
    if (word(payload, kStatus) == CT_STS_TRANSFER_DONE) {
        if (p0 != nullptr)
            *p0 = handedBack;
    } else {
        singleReply(payload, payload + kRequestHeader, dataRoom(kSmallFib), p0, p1, p2, out, outLen);
        *received = out != nullptr ? std::min(outLen, dataRoom(kSmallFib)) : 0;
    }
    return FSA_STS_SUCCESS;
}

uint32_t CT_GetFsaCtrType(uint32_t firmwareType)
{
    switch (firmwareType) {
    case 0:
        return 0;
    case 1:
        return 3;
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return 4;
    case 8:
        return 21;
    case 15:
        return 34;
    case 17:
        return 40;
    case 18:
        return 45;
    default:
        return 22;
    }
}

namespace {

constexpr uint32_t kStsMiscStatusOk = 205;
constexpr uint32_t kStsContainerOptionsOk = 192;
constexpr FSA_STATUS kMiscStatusFailed = 118;
constexpr FSA_STATUS kContainerOptionsFailed = 117;
constexpr unsigned kContainerOptionsBytes = 288;
constexpr unsigned kMiscStatusBytes = 48;
constexpr unsigned kOldMiscStatusBytes = 40;

}  // namespace

uint32_t CT_GetContainerCount(FSAAPI_CONTEXT* ctx, uint32_t* p1, uint32_t* p2)
{
    uint32_t status = 0;
    CT_SendReceiveFIB(ctx, CT_GET_CONTAINER_COUNT, &status, p1, p2, nullptr, 0, nullptr, 0, 1);
    return status;
}

uint32_t CT_GetScsiMethod(FSAAPI_CONTEXT* ctx)
{
    uint32_t status = 0;
    CT_SendReceiveFIB(ctx, CT_GET_SCSI_METHOD, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
    return status;
}

FSA_STATUS CT_ContainerParams(FSAAPI_CONTEXT* ctx, void* out)
{
    uint32_t status = 0;
    const FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, CT_CONTAINER_OPTIONS, &status, nullptr, nullptr, nullptr, 0, out, kContainerOptionsBytes, 1);
    if (status != kStsContainerOptionsOk)
        throw kContainerOptionsFailed;
    return sent;
}

void CT_GetMiscStatus(FSAAPI_CONTEXT* ctx, void* out)
{
    uint32_t status = 0;
    if (FsaOptionWord2(ctx) & kOpt2WideMiscStatus) {
        CT_SendReceiveFIB(ctx, CT_GET_MISC_STATUS, &status, nullptr, nullptr, nullptr, 0, out, kMiscStatusBytes, 1);
    } else {
        // Word 0 and the 8 status bytes, then 8 zero bytes before the seven words.
        uint8_t old[kOldMiscStatusBytes] = {};
        CT_SendReceiveFIB(ctx, CT_GET_MISC_STATUS, &status, nullptr, nullptr, nullptr, 0, old, sizeof old, 1);
        uint8_t* wide = static_cast<uint8_t*>(out);
        std::memset(wide, 0, kMiscStatusBytes);
        std::memcpy(wide, old, 12);
        std::memcpy(wide + 20, old + 12, 28);
    }
    if (status != kStsMiscStatusOk)
        throw kMiscStatusFailed;
}

void CT_GetOemId(FSAAPI_CONTEXT* ctx, uint32_t* out)
{
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, CT_GET_EE_OEM_ID, out, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent != FSA_STS_SUCCESS) {
        *out = 0;
        throw sent;
    }
}
