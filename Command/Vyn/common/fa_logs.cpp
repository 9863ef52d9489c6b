#include "Command/Vyn/common/fa_logs.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kFeatureLogs = 0x10;  // option word 2
constexpr FSA_STATUS kBufferTooSmall = 5;

constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = 512;
constexpr uint16_t kFibNvlogRead = 900;
constexpr uint16_t kFibNvlogReset = 901;
constexpr uint32_t kLogEmpty = 366;
constexpr uint32_t kPacketBytes = 432;
constexpr uint32_t kTempBytes = 16384;
constexpr uint32_t kTempOffset = 3;
constexpr size_t kEntryBytes = 144;

bool hasLogs(FSAAPI_CONTEXT* ctx) { return (FsaOptionWord2(ctx) & kFeatureLogs) != 0; }

// One class-21 request; the container status comes back in *status.
FSA_STATUS request(FSAAPI_CONTEXT* ctx, uint32_t sub, void* out, uint32_t outLen, int throwOnError,
                   uint32_t* status = nullptr)
{
    uint32_t p0 = 0;
    const FSA_STATUS s =
        CT_SendReceiveFIB(ctx, sub, &p0, nullptr, nullptr, nullptr, 0, out, outLen, throwOnError, VM_DrvErrTblLog);
    if (status != nullptr)
        *status = p0;
    return s;
}

uint32_t readCount(FSAAPI_CONTEXT* ctx, uint32_t sub)
{
    uint8_t word[4] = {};
    request(ctx, sub, word, sizeof word, 1);
    return faGetLe32(word);
}

FSA_STATUS countedRead(FSAAPI_CONTEXT* ctx, uint32_t* count, uint8_t* buffer, uint32_t countSub, uint32_t readSub,
                       uint32_t entryBytes)
{
    if (!hasLogs(ctx))
        return FSA_STS_NOT_SUPPORTED;
    if (count == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t capacity = *count;
    const uint32_t firmware = readCount(ctx, countSub);
    *count = firmware;
    if (buffer != nullptr && capacity != 0 && firmware != 0) {
        const uint32_t n = std::min(capacity, firmware);
        *count = 0;
        request(ctx, readSub, buffer, n * entryBytes, 1);
        *count = n;
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS clearLog(FSAAPI_CONTEXT* ctx, uint32_t sub)
{
    if (!hasLogs(ctx))
        return FSA_STS_NOT_SUPPORTED;
    request(ctx, sub, nullptr, 0, 1);
    return FSA_STS_SUCCESS;
}

}  // namespace

extern "C" FSA_STATUS FsaClearDriveErrorTable(void* handle)
{
    return FsaExportedCall("FsaClearDriveErrorTable", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [](FSAAPI_CONTEXT* ctx) { return clearLog(ctx, DRVLOG_CLEAR_ERRORS); });
}

extern "C" FSA_STATUS FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer)
{
    return FsaExportedCall("FsaGetDriveErrorTable", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return countedRead(ctx, count, buffer, DRVLOG_ERROR_COUNT, DRVLOG_ERROR_ENTRIES, FSA_DRIVE_ERROR_ENTRY_BYTES);
    });
}

extern "C" FSA_STATUS FsaGetDriveErrorTableSize(void* handle, uint32_t* size)
{
    if (size != nullptr)
        *size = 0;
    return FsaExportedCall("FsaGetDriveErrorTableSize", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasLogs(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (size == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint32_t status = 0;
        const FSA_STATUS s = request(ctx, DRVLOG_ERROR_TABLE2_SIZE, nullptr, 0, 0, &status);
        if (s == FSA_STS_SUCCESS)
            *size = status;
        return s;
    });
}

extern "C" FSA_STATUS FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer)
{
    return FsaExportedCall("FsaGetDriveErrorTable2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasLogs(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (size == 0 || buffer == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return request(ctx, DRVLOG_ERROR_TABLE2, buffer, size, 0);
    });
}

extern "C" FSA_STATUS FsaClearDeadDriveLog(void* handle)
{
    return FsaExportedCall("FsaClearDeadDriveLog", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [](FSAAPI_CONTEXT* ctx) { return clearLog(ctx, DRVLOG_CLEAR_DEAD); });
}

extern "C" FSA_STATUS FsaGetDeadDriveLog(void* handle, uint32_t* count, uint8_t* buffer)
{
    return FsaExportedCall("FsaGetDeadDriveLog", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return countedRead(ctx, count, buffer, DRVLOG_DEAD_COUNT, DRVLOG_DEAD_ENTRIES, FSA_DEAD_DRIVE_ENTRY_BYTES);
    });
}

extern "C" FSA_STATUS FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size)
{
    return FsaExportedCall("FsaGetDeadDriveLog2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasLogs(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (header == nullptr || size == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint8_t h[FSA_DEAD_DRIVE_HEADER_BYTES] = {};
        request(ctx, DRVLOG_DEAD_HEADER, h, sizeof h, 1);
        const uint16_t version = faGetLe16(h + 16);
        uint32_t count = 0;
        uint32_t needed = 0;
        if (version == 1) {
            count = faGetLe32(h);
            needed = count * FSA_DEAD_DRIVE_ENTRY2_BYTES;
        } else if (version == 0) {
            count = readCount(ctx, DRVLOG_DEAD_COUNT);
            faPutLe32(h, count);
            needed = count * FSA_DEAD_DRIVE_ENTRY_BYTES;
        }
        std::memcpy(header, h, sizeof h);
        if (buffer != nullptr && *size >= needed) {
            if (count == 0)
                return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
            std::memset(buffer, 0, *size);
            return request(ctx, DRVLOG_DEAD_ENTRIES, buffer, *size, 1);
        }
        *size = needed;
        return kBufferTooSmall;
    });
}

extern "C" FSA_STATUS FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size)
{
    return FsaExportedCall("FsaGetNvramEventLog", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasLogs(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (buffer == nullptr || size < 4)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        alignas(8) uint8_t fib[kFibBytes] = {};
        faPutLe32(fib, 33);
        faPutLe16(fib + 4, kFibNvlogRead);
        fib[6] = 1;
        faPutLe16(fib + 8, 464);
        FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 1, kFibBytes);
        const uint8_t* reply = fib + kFibHeader;
        if (faGetLe32(reply) != 0)
            return static_cast<FSA_STATUS>(FSA_STS_CT_BAD_STATUS);
        // The count is written as a whole word: readers take four bytes.
        if (faGetLe32(reply + 8) == kLogEmpty) {
            faPutLe32(buffer, 0);
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        }
        if (faGetLe32(reply + 8) != CT_STS_MULTI_PACKET)
            return static_cast<FSA_STATUS>(FSA_STS_CT_BAD_RESPONSE);
        const uint32_t total = faGetLe32(reply + 12);
        const uint64_t packets = (static_cast<uint64_t>(total) + kPacketBytes - 1) / kPacketBytes;
        if (packets * FSA_NVLOG_ITEM_BYTES + 1 > size)
            return kBufferTooSmall;
        std::unique_ptr<uint8_t[]> temp(new (std::nothrow) uint8_t[kTempBytes]());
        if (!temp)
            return static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
        _CONTAINERREPONSE inHand;
        std::memcpy(&inHand, reply, sizeof inHand);
        uint32_t p0 = 0;
        CT_SendReceiveFIB(ctx, CT_CONTINUE_DATA, &p0, nullptr, nullptr, nullptr, 0, temp.get() + kTempOffset,
                          kTempBytes - kTempOffset, 1, VM_ContainerConfig, &inHand);
        // The count byte may claim more entries than arrived, or than the
        // caller's buffer holds: only whole entries gathered are converted.
        const uint32_t gathered =
            std::min<uint32_t>(total, kTempBytes - kTempOffset) > 1
                ? static_cast<uint32_t>((std::min<uint32_t>(total, kTempBytes - kTempOffset) - 1) / kEntryBytes)
                : 0;
        const uint32_t count = std::min<uint32_t>(temp[kTempOffset], gathered);
        if (4 + static_cast<uint64_t>(count) * FSA_NVLOG_ITEM_BYTES > size)
            return kBufferTooSmall;
        faPutLe32(buffer, count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* entry = temp.get() + 4 + kEntryBytes * i;
            uint8_t* item = buffer + 4 + FSA_NVLOG_ITEM_BYTES * i;
            // An entry holds less than a whole notification: the rest reads
            // as zeros rather than as the next entry or past the buffer.
            AifEventNotify notify{};
            std::memcpy(notify.bytes, entry + 8, kEntryBytes - 8);
            uint32_t eventClass = 0;
            FSA_EVENT_DETAILS details;
            ParseAifEventNotifyFib(ctx, nullptr, &notify, &eventClass, &details);
            faPutLe32(item + 4, eventClass);
            std::memcpy(item + 4 + 8, details.bytes, sizeof details.bytes);
            std::memcpy(item, entry + 4, 4);
        }
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaResetNvramEventLog(void* handle)
{
    return FsaExportedCall("FsaResetNvramEventLog", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasLogs(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        try {
            alignas(8) uint8_t fib[kFibBytes] = {};
            faPutLe32(fib, 33);
            faPutLe16(fib + 4, kFibNvlogReset);
            fib[6] = 1;
            faPutLe16(fib + 8, 464);
            const FSA_STATUS s = FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 1, kFibBytes);
            if (s == FSA_STS_SUCCESS) {
                FsaDebugPrintf("FsaResetNvramEventLog: <> return FSA_STS_SUCCESS");
                return s;
            }
            FsaDebugPrintf("FsaResetNvramEventLog: <> return FSA_STS_SUCCESS != fsaStatus");
            return s;
        } catch (FSA_STATUS thrown) {
            FsaDebugPrintf("FsaResetNvramEventLog: <> catch");
            return thrown;
        }
    });
}
