#include "Command/Vyn/common/fa_nvram.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = FSA_FIB_SIZE;
constexpr unsigned kFibPayload = kFibBytes - kFibHeader;
constexpr uint16_t kFibFileSystem = 300;

// NVRAM request (56 bytes): the service word and the NVRAM command.
constexpr size_t kRequestBytes = 56;
constexpr uint32_t kNvramService = 30;
constexpr uint32_t kNvramStatus = 1;
constexpr uint32_t kNvramStartRecondition = 10;
// NVRAM reply: service status, command status, NVRAM state, battery state.
// The reply area is the size the firmware's record has; only the FIB's part
// of it is ever filled.
constexpr size_t kReplyAreaBytes = 1076;
constexpr size_t kReplyServiceStatus = 0;
constexpr size_t kReplyCommandStatus = 4;
constexpr size_t kReplyNvramState = 8;
constexpr size_t kReplyBatteryState = 12;
constexpr uint32_t kHighestNvramState = 4;
// Orphan raw cache buffers are reported as this NVRAM state.
constexpr uint32_t kNvramStateOrphans = 2;

// The new-battery request: SCSI-class command 0, its own sub-command, the
// two-byte value as data, sent under adapter number word 3.
constexpr uint32_t kNewBatterySubCommand = 0xF0000;
constexpr uint32_t kBatteryAdapterNumber = 3;

constexpr uint32_t kOpt1NoSoftwareRecondition = 0x200;
constexpr uint32_t kAdapterTypeWithoutReplacement = 18;

constexpr FSA_STATUS kBadOperation = 92;
constexpr FSA_STATUS kNvramCallFailed = 166;
constexpr FSA_STATUS kReconditionRefused = 167;
constexpr FSA_STATUS kNewBatteryFailed = 535;
constexpr FSA_STATUS kNoBatteryReplacement = 601;
constexpr FSA_STATUS kNoSoftwareRecondition = 602;

bool mayWrite(const FSAAPI_CONTEXT* ctx) { return (kFsaModesWrite >> ctx->accessMode & 1u) != 0; }

uint32_t batteryStateOf(uint32_t firmware)
{
    switch (firmware) {
    case 1: return 2;
    case 3: return 3;
    case 4: return 1;
    default: return 0;  // 0 and any value the library does not know
    }
}

// Sends one NVRAM command and checks both statuses of its reply.
void sendNvramCommand(FSAAPI_CONTEXT* ctx, uint32_t command, uint8_t (&reply)[kReplyAreaBytes])
{
    uint8_t request[kRequestBytes] = {};
    faPutLe32(request + 0, kNvramService);
    faPutLe32(request + 4, command);
    FS_SendReceiveFib(ctx, request, static_cast<int>(sizeof request), reply, static_cast<int>(sizeof reply));
    if (faGetLe32(reply + kReplyServiceStatus) != 0)
        throw static_cast<FSA_STATUS>(kNvramCallFailed);
    if (faGetLe32(reply + kReplyCommandStatus) != 0)
        throw static_cast<FSA_STATUS>(kReconditionRefused);
}

FSA_STATUS nvramStatus(FSAAPI_CONTEXT* ctx, void* handle, uint32_t* record)
{
    // The check answers 1 for buffers found; a failed check (another status
    // in the same word) is not taken for buffers.
    const bool orphans = FsaAreThereOphanRawBuffers(handle, 0) == 1;
    uint8_t reply[kReplyAreaBytes] = {};
    sendNvramCommand(ctx, kNvramStatus, reply);
    const uint32_t state = faGetLe32(reply + kReplyNvramState);
    record[FSA_NVRAM_STATE_WORD] = orphans ? kNvramStateOrphans : std::min(state, kHighestNvramState);
    record[FSA_NVRAM_BATTERY_WORD] = batteryStateOf(faGetLe32(reply + kReplyBatteryState));
    record[FSA_NVRAM_FIRMWARE_WORD2] = 0;
    record[FSA_NVRAM_FIRMWARE_WORD3] = 0;
    return FSA_STS_SUCCESS;
}

// Restores the context's adapter number word however the request ends.
class AdapterNumberScope {
public:
    AdapterNumberScope(FSAAPI_CONTEXT* ctx, uint32_t word) : ctx_(ctx), saved_(ctx->adapterNumberWord)
    {
        ctx_->adapterNumberWord = word;
    }
    ~AdapterNumberScope() { ctx_->adapterNumberWord = saved_; }
    AdapterNumberScope(const AdapterNumberScope&) = delete;
    AdapterNumberScope& operator=(const AdapterNumberScope&) = delete;

private:
    FSAAPI_CONTEXT* ctx_;
    uint32_t saved_;
};

}  // namespace

void FS_SendReceiveFib(FSAAPI_CONTEXT* ctx, const void* request, int requestLength, void* reply, int replyLength)
{
    if (requestLength < 0 || static_cast<unsigned>(requestLength) > kFibPayload || replyLength < 0 ||
        (requestLength > 0 && request == nullptr) || (replyLength > 0 && reply == nullptr))
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    alignas(8) uint8_t fib[kFibBytes];
    faBuildFib(fib, kFibBytes, kFibFileSystem, static_cast<uint16_t>(requestLength));
    if (requestLength > 0)
        std::memcpy(fib + kFibHeader, request, static_cast<size_t>(requestLength));
    FsaInternalSendReceiveFib(ctx, faAsFib(fib), 1, kFibBytes);
    const size_t wanted = static_cast<size_t>(replyLength);
    const size_t copied = std::min<size_t>(wanted, kFibPayload);
    if (copied > 0)
        std::memcpy(reply, fib + kFibHeader, copied);
    if (wanted > copied)
        std::memset(static_cast<uint8_t*>(reply) + copied, 0, wanted - copied);
}

FSA_STATUS NVRAM_NewBattery(FSAAPI_CONTEXT* ctx, uint16_t value)
{
    uint8_t data[2];
    faPutLe16(data, value);
    FSA_STATUS sent = FSA_STS_SUCCESS;
    {
        AdapterNumberScope scope(ctx, kBatteryAdapterNumber);
        sent = SCSI_sendfib(ctx, 0, kNewBatterySubCommand, data, sizeof data, 0);
    }
    return sent == FSA_STS_SUCCESS ? static_cast<FSA_STATUS>(FSA_STS_SUCCESS) : kNewBatteryFailed;
}

extern "C" FSA_STATUS FsaNvram(void* handle, uint32_t operation, uint32_t* record)
{
    return FsaExportedCall("FsaNvram", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (operation > FSA_NVO_NEW_BATTERY)
            return kBadOperation;
        if (operation != FSA_NVO_GET_STATUS && !mayWrite(ctx))
            return FSA_STS_NOT_OPEN_READ_WRITE;
        const bool usesRecord = operation == FSA_NVO_GET_STATUS || operation == FSA_NVO_NEW_BATTERY;
        if (usesRecord && record == nullptr)
            return FSA_STS_BAD_PARAMETER;
        const uint32_t opt1 = FsaOptionWord1(ctx);
        switch (operation) {
        case FSA_NVO_RELEASE_ORPHAN_BUFFERS:
            FsaAreThereOphanRawBuffers(handle, 1);
            return FSA_STS_SUCCESS;
        case FSA_NVO_START_BATT_RECONDITION: {
            if (opt1 & kOpt1NoSoftwareRecondition)
                return kNoSoftwareRecondition;
            uint8_t reply[kReplyAreaBytes] = {};
            sendNvramCommand(ctx, kNvramStartRecondition, reply);
            return FSA_STS_SUCCESS;
        }
        case FSA_NVO_NEW_BATTERY:
            if (ctx->adapterType == kAdapterTypeWithoutReplacement && (opt1 & kOpt1NoSoftwareRecondition))
                return kNoBatteryReplacement;
            return NVRAM_NewBattery(ctx, static_cast<uint16_t>(record[FSA_NVRAM_NEW_BATTERY_WORD] & 0xFFFF));
        default:
            return nvramStatus(ctx, handle, record);
        }
    });
}
