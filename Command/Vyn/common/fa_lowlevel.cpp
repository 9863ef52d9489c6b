#include "Command/Vyn/common/fa_lowlevel.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

FSA_STATUS FsaInternalSendReceiveFib(FSAAPI_CONTEXT* context, _FIB* fib, int throwOnError, unsigned int size)
{
    FSA_STATUS status;
    {
        FsaApiFibDebugger trace(fib);
        status = faos_SendReceiveFIB(context, fib, size);
    }
    if (status != FSA_STS_SUCCESS && throwOnError)
        throw status;
    return status;
}

extern "C" FSA_STATUS FsaSendReceiveFib(void* adapterHandle, _FIB* fib)
{
    FsaApiEntryExit scope("FsaSendReceiveFib");
    FSA_STATUS status = FSA_STS_SUCCESS;
    FSAAPI_CONTEXT* ctx = FsaOpenGate(adapterHandle, FSA_PASS_THROUGH_ROUTINE, &status);
    if (ctx == nullptr)
        return status;
    // No catch: its caller runs under its own handler and wants the status
    // of a failed send as the exception itself.
    return FsaRunGuarded(ctx, FSA_PASS_THROUGH_ROUTINE, [fib](FSAAPI_CONTEXT* c) -> FSA_STATUS {
        if (fib == nullptr)
            return FSA_STS_BAD_PARAMETER;
        return FsaInternalSendReceiveFib(c, fib, 1, FSA_FIB_SIZE);
    });
}

namespace {

// Chunk header of the large transfer, payload offsets.
constexpr size_t kChunkOperation = 0;  // u32; in the reply the status word
constexpr size_t kChunkType = 4;       // u16: 1 first, 2 later
constexpr size_t kChunkIndex = 6;      // u16
constexpr size_t kChunkTotal = 8;      // u32
constexpr size_t kChunkHandle = 12;    // u32
constexpr size_t kChunkCrc = 16;       // u32
constexpr size_t kChunkData = 20;
constexpr size_t kReplyHandle = 4;     // u32 of the first reply
constexpr uint32_t kChunkRoom = 1996;
constexpr uint16_t kChunkSize = 2016;
constexpr uint32_t kReplyRefused = 5;
constexpr uint32_t kReplyComplete = 6;

constexpr uint32_t crcEntry(uint32_t n)
{
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
        c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    return c;
}

struct CrcTable {
    uint32_t entry[256];
    constexpr CrcTable() : entry()
    {
        for (uint32_t n = 0; n < 256; ++n)
            entry[n] = crcEntry(n);
    }
};

constexpr CrcTable kCrcTable;
static_assert(kCrcTable.entry[1] == 0x77073096u, "the standard CRC-32 table");

}  // namespace

uint32_t FsaInternalComputeCrc32(const unsigned char* first, const unsigned char* last, uint32_t seed)
{
    uint32_t crc = seed;
    for (const unsigned char* p = first; p <= last; ++p)
        crc = kCrcTable.entry[(*p ^ crc) & 0xFF] ^ (crc >> 8);
    return crc;
}

FSA_STATUS FsaInternalSendReceiveFibWithLargeTransfer(FSAAPI_CONTEXT* context, unsigned int operation, void* data,
                                                      unsigned int length, void* reply, unsigned int* replyLength)
{
    if ((context->supportedOptions & FSA_SUPPORTED_LARGE_TRANSFER) == 0)
        return FSA_STS_NOT_SUPPORTED;
    // Nothing to carry: there is no chunk to send and no reply to take.
    if (length == 0 || data == nullptr)
        return FSA_STS_BAD_PARAMETER;
    std::unique_ptr<_LARGE_FIB> large(new (std::nothrow) _LARGE_FIB());
    if (!large)
        return FSA_STS_OUT_OF_MEMORY;
    _FIB* fib = reinterpret_cast<_FIB*>(large.get());
    FsaApiFibDebugger trace(fib);
    large->Header.Command = FIB_CMD_LARGE_TRANSFER;
    large->Header.SenderSize = FSA_LARGE_FIB_SIZE;

    const unsigned char* source = static_cast<const unsigned char*>(data);
    uint32_t chunk = std::min(kChunkRoom, length);
    const uint32_t chunks = length / chunk + (length % chunk != 0 ? 1 : 0);
    uint32_t handle = 0;
    uint32_t sent = 0;
    FSA_STATUS status = FSA_STS_SUCCESS;
    uint8_t* payload = large->data;
    for (uint32_t i = 0; i < chunks; ++i) {
        faPutLe32(payload + kChunkOperation, operation);
        faPutLe16(payload + kChunkType, i == 0 ? 1 : 2);
        faPutLe16(payload + kChunkIndex, static_cast<uint16_t>(i));
        faPutLe32(payload + kChunkTotal, length);
        faPutLe32(payload + kChunkHandle, handle);
        chunk = std::min(chunk, length - sent);
        std::memcpy(payload + kChunkData, source + sent, chunk);
        faPutLe32(payload + kChunkCrc,
                  FsaInternalComputeCrc32(payload + kChunkData, payload + kChunkData + chunk - 1, 0));
        large->Header.Size = kChunkSize;
        sent += chunk;
        // Straight to the OS layer: a chunk never throws.
        status = faos_SendReceiveFIB(context, fib, FSA_LARGE_FIB_SIZE);
        if (status != FSA_STS_SUCCESS)
            return status;
        const uint32_t replyStatus = faGetLe32(payload + kChunkOperation);
        if (replyStatus == kReplyRefused || (replyStatus == kReplyComplete && i + 1 < chunks))
            return FSA_STS_BAD_PARAMETER;
        if (i == 0)
            handle = faGetLe32(payload + kReplyHandle);
    }
    if (replyLength != nullptr && *replyLength != 0) {
        *replyLength = std::min(*replyLength, chunk);
        if (reply != nullptr)
            std::memcpy(reply, payload + kChunkData, *replyLength);
    }
    return status;
}

FSA_STATUS FsaInternalDeviceDriverCall() { return FSA_STS_NOT_AVAILABLE_ON_OS; }

FSA_STATUS InternalWaitAndGetAsyncFib(FSAAPI_CONTEXT* context, _FIB* fib) { return AdapterWaitAndGetAsyncFib(context, fib); }

namespace {

constexpr size_t kPayloadBytes = sizeof(static_cast<_FIB*>(nullptr)->data);
constexpr uint32_t kEventNotification = 1;
constexpr uint32_t kJobReports = 2;
constexpr size_t kReportsOffset = 8;
constexpr uint32_t kReportBytes = 48;
constexpr uint32_t kBatchHeader = 40;
// Reports that fit the payload after their offset.
constexpr uint32_t kMaxReports = static_cast<uint32_t>((kPayloadBytes - kReportsOffset) / kReportBytes);
constexpr size_t kEventCompareBytes = 136;

uint32_t payloadWord(const _FIB* fib, size_t n) { return faGetLe32(fib->data + 4 * n); }

bool foldableEvent(uint32_t code)
{
    return code == 1 || code == 3 || code == 4 || code == 5 || code == 7 || code == 13;
}

}  // namespace

FSA_ASYNC_FIB_CACHE::FSA_ASYNC_FIB_CACHE() { mutex_ = faos_CreateMutex(nullptr); }

FSA_ASYNC_FIB_CACHE::~FSA_ASYNC_FIB_CACHE()
{
    try {
        FAUX_AUTORELEASE_MUTEX lock(mutex_);
        while (head_ != nullptr) {
            Node* next = head_->next;
            delete head_;
            head_ = next;
        }
        tail_ = nullptr;
    } catch (FSA_STATUS) {
    }
    try {
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
    }
}

void FSA_ASYNC_FIB_CACHE::PushOnList(const _FIB* fib)
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    if (payloadWord(fib, 0) != kJobReports) {
        PushSingleElement(fib);
        return;
    }
    // The firmware's Size is trusted only as far as the payload reaches.
    const uint32_t size = fib->Header.Size;
    const uint32_t reports =
        size < kBatchHeader + kReportBytes ? 0 : std::min((size - kBatchHeader) / kReportBytes, kMaxReports);
    for (uint32_t i = 0; i < reports; ++i) {
        _FIB one;
        std::memcpy(&one, fib, sizeof one);
        one.Header.Size = static_cast<uint16_t>(size - kReportBytes * reports + kReportBytes);
        std::memcpy(one.data + kReportsOffset, fib->data + kReportsOffset + i * kReportBytes, kReportBytes);
        PushSingleElement(&one);
    }
}

void FSA_ASYNC_FIB_CACHE::PushSingleElement(const _FIB* fib)
{
    const uint32_t kind = payloadWord(fib, 0);
    for (Node* node = head_; node != nullptr; node = node->next) {
        if (payloadWord(&node->fib, 0) != kind)
            continue;
        if (kind == kEventNotification) {
            const uint32_t code = payloadWord(fib, 2);
            if (payloadWord(&node->fib, 2) == code && foldableEvent(code) &&
                std::memcmp(node->fib.data + kReportsOffset, fib->data + kReportsOffset, kEventCompareBytes) == 0)
                return;
        } else if (kind == kJobReports) {
            if (payloadWord(&node->fib, 2) == payloadWord(fib, 2) && payloadWord(&node->fib, 6) == payloadWord(fib, 6)) {
                // The queued report takes the newer progress words.
                std::memcpy(node->fib.data + 40, fib->data + 40, 8);
                return;
            }
        }
    }
    Node* node = new (std::nothrow) Node;
    if (node == nullptr)
        return;
    std::memcpy(&node->fib, fib, sizeof node->fib);
    node->next = nullptr;
    if (tail_ != nullptr)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
}

int FSA_ASYNC_FIB_CACHE::GetFirstAsyncFib(_FIB* out)
{
    FAUX_AUTORELEASE_MUTEX lock(mutex_);
    if (head_ == nullptr)
        return 0;
    Node* node = head_;
    std::memcpy(out, &node->fib, sizeof node->fib);
    head_ = node->next;
    if (head_ == nullptr)
        tail_ = nullptr;
    delete node;
    return 1;
}
