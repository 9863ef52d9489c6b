// Enclosure management: the one export that passes a command, a sub-command
// and five parameters to the controller's enclosure-management service, the
// transport it rides on and the mapping of the firmware's enclosure statuses.
#include "Command/Vyn/common/fa_enclmgt.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_status.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint16_t kContainerFib = 500;
constexpr unsigned kFibHeader = 32;
constexpr unsigned kRequestHeader = 32;  // eight words before the data
constexpr unsigned kSmallFib = 512;
constexpr unsigned kLargeFib = 2048;
constexpr unsigned kSmallSize = 464;
// Data sent up to this size still goes in a 512-byte FIB.
constexpr uint32_t kSmallData = 432;

// Request and reply words of the payload.
enum : unsigned {
    kService = 0,  // request: 12 or 2; reply: the enclosure status
    kCommandWord = 1,
    kParam0 = 2,
    kParam4 = 6,
    kLength = 7,
};

constexpr uint32_t kEnclosureService = 12;
constexpr uint32_t kFollowUpService = 2;
constexpr uint32_t kContinueData = 83;
constexpr uint32_t kStopData = 84;
constexpr uint32_t kMultiPacket = 201;
constexpr uint32_t kTransferDone = 198;

// Data classes of a sub-command and the direction values written for them.
constexpr uint32_t kClassMask = 0xC0C0;
constexpr uint32_t kClassStatus = 0x80;   // 332 bytes into the inline area
constexpr uint32_t kClassInfo = 0x40;     // 132 bytes into the inline area
constexpr uint32_t kClassIn = 0x4000;     // into the caller's buffer
constexpr uint32_t kClassOut = 0x8000;    // from the caller's buffer
constexpr uint32_t kStatusBytes = 332;
constexpr uint32_t kInfoBytes = 132;
constexpr uint32_t kWordBytes = 4;
// Bits of the sub-commands that only read: allowed on a read-only opening.
constexpr uint32_t kReadOnlySubCommands = 0x40E0;

uint32_t word(const uint8_t* payload, unsigned n) { return faGetLe32(payload + 4 * n); }
void setWord(uint8_t* payload, unsigned n, uint32_t v) { faPutLe32(payload + 4 * n, v); }

void setHeader(uint8_t* fib, unsigned size)
{
    faPutLe32(fib + 0, 33);
    faPutLe16(fib + 4, kContainerFib);
    fib[6] = 1;
    faPutLe16(fib + 8, static_cast<uint16_t>(size));
}

FSA_STATUS finish(FSA_STATUS result, int throwFlag)
{
    if (throwFlag != 0 && result != FSA_STS_SUCCESS)
        throw result;
    return result;
}

bool readOnlyAllowed(uint32_t command, uint32_t subCommand)
{
    switch (command) {
    case FSA_ECM_GET_EMP_COUNT:
    case FSA_ECM_GET_EMP_INFO:
    case FSA_ECM_GET_DEVICE_SLOT:
    case FSA_ECM_SES_PAGE:
        return true;
    default:
        return (subCommand & kReadOnlySubCommands) != 0;
    }
}

bool writeMode(FSA_ACCESS mode)
{
    return mode == FSA_ACC_READ_WRITE || mode == FSA_ACC_LL_READ_WRITE || mode == FSA_ACC_UTILITY;
}

// The transport's work under the context mutex; statuses are thrown.
FSA_STATUS sendReceive(FSAAPI_CONTEXT* ctx, uint32_t commandWord, uint32_t* p[5], const void* in, uint32_t inLen,
                       void* out, uint32_t outLen)
{
    if (inLen > FSA_ECM_MAX_DATA)
        return FSA_STS_CT_BAD_STATUS;

    alignas(8) uint8_t fib[kLargeFib] = {};
    uint8_t* payload = fib + kFibHeader;
    uint8_t* data = payload + kRequestHeader;
    setWord(payload, kService, kEnclosureService);
    setWord(payload, kCommandWord, commandWord);
    for (unsigned i = 0; i < 5; ++i)
        setWord(payload, kParam0 + i, p[i] != nullptr ? *p[i] : 0);
    const bool sending = in != nullptr && inLen != 0;
    setWord(payload, kLength, sending ? inLen : outLen);
    if (sending)
        std::memcpy(data, in, inLen);
    const bool large = inLen > kSmallData;
    setHeader(fib, large ? ((inLen + 7) & ~7u) + kRequestHeader : kSmallSize);
    const FSA_STATUS sent = FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, large ? kLargeFib : kSmallFib);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    ECM_CheckError(static_cast<int>(word(payload, kService)), 1);
    if (word(payload, kCommandWord) != commandWord)
        return FSA_STS_ENCL_OPERATION_FAILED;

    if (word(payload, kParam0) == kMultiPacket) {
        const uint32_t total = word(payload, kParam0 + 1);
        const uint32_t handedBack = word(payload, kParam0 + 2);
        // The firmware announces the total; it must fit the caller's buffer
        // before a byte of it is copied.
        if (total > (out != nullptr ? outLen : 0)) {
            setWord(payload, kService, kFollowUpService);
            setWord(payload, kCommandWord, kStopData);
            setHeader(fib, kSmallSize);
            FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, kSmallFib);
            return FSA_STS_ENCL_OPERATION_FAILED;
        }
        uint8_t* dest = static_cast<uint8_t*>(out);
        const uint32_t packets = static_cast<uint32_t>((static_cast<uint64_t>(total) + FSA_ECM_PACKET - 1) / FSA_ECM_PACKET);
        // Follow-ups are built in the reply just read: its parameter words
        // name the transfer for the firmware.
        for (uint32_t i = 0; i < packets; ++i) {
            setWord(payload, kService, kFollowUpService);
            setWord(payload, kCommandWord, kContinueData);
            setWord(payload, kParam4, i);
            setHeader(fib, kSmallSize);
            FsaInternalSendReceiveFib(ctx, faAsFib(fib), 1, kSmallFib);
            ECM_CheckError(static_cast<int>(word(payload, kService)), 1);
            if (word(payload, kCommandWord) != kContinueData)
                return FSA_STS_ENCL_OPERATION_FAILED;
            const uint32_t offset = i * FSA_ECM_PACKET;
            const uint32_t n = std::min(FSA_ECM_PACKET, total - offset);
            std::memcpy(dest + offset, data, n);
        }
        setWord(payload, kService, kFollowUpService);
        setWord(payload, kCommandWord, kStopData);
        setHeader(fib, kSmallSize);
        FsaInternalSendReceiveFib(ctx, faAsFib(fib), 1, kSmallFib);
        if (word(payload, kCommandWord) != kStopData)
            return FSA_STS_ENCL_OPERATION_FAILED;
        if (word(payload, kParam0) == kTransferDone) {
            if (p[0] != nullptr)
                *p[0] = handedBack;
            return FSA_STS_SUCCESS;
        }
    }

    if (inLen > FSA_ECM_MAX_DATA || outLen > FSA_ECM_MAX_DATA)
        return FSA_STS_ENCL_OPERATION_FAILED;
    for (unsigned i = 0; i < 5; ++i)
        if (p[i] != nullptr)
            *p[i] = word(payload, kParam0 + i);
    if (out != nullptr && outLen != 0)
        std::memcpy(out, data, outLen);
    return word(payload, kService) == 0 ? static_cast<FSA_STATUS>(FSA_STS_SUCCESS)
                                        : static_cast<FSA_STATUS>(FSA_STS_ENCL_OPERATION_FAILED);
}

}  // namespace

void* FsaEnclosureMgtData(const FSA_ENCLOSURE_MGT* record)
{
    void* p = nullptr;
    std::memcpy(&p, record->data, sizeof p);
    return p;
}

void FsaSetEnclosureMgtData(FSA_ENCLOSURE_MGT* record, void* data) { std::memcpy(record->data, &data, sizeof data); }

FSA_STATUS ECM_CheckError(int firmwareStatus, int throwFlag)
{
    FSA_STATUS status;
    switch (firmwareStatus) {
    case 0: return FSA_STS_SUCCESS;
    case 16: status = FSA_STS_ENCL_NO_PROCESSOR; break;
    case 17: status = FSA_STS_ENCL_FAILED; break;
    case 18: status = FSA_STS_ENCL_BAD_COMMAND; break;
    case 19: status = FSA_STS_ENCL_BAD_SUBCOMMAND; break;
    case 20: status = FSA_STS_ENCL_BAD_PARAMETER; break;
    case 22: status = FSA_STS_ENCL_NOT_SUPPORTED; break;
    case 23: status = FSA_STS_ENCL_OFFLINE; break;
    default: status = FSA_STS_ENCL_OPERATION_FAILED; break;  // 21 and any other
    }
    return finish(status, throwFlag);
}

FSA_STATUS ECM_SendReceiveFIB(void* handle, uint32_t commandWord, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                              uint32_t* p3, uint32_t* p4, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                              int throwFlag)
{
    FSA_STATUS status = FSA_STS_SUCCESS;
    FSAAPI_CONTEXT* ctx = FsaOpenGate(handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, &status);
    if (ctx == nullptr)
        return finish(status, throwFlag);
    uint32_t* p[5] = {p0, p1, p2, p3, p4};
    try {
        status = FsaRunGuarded(ctx, FSA_READ_ONLY_PAUSE_OK_ROUTINE,
                               [&](FSAAPI_CONTEXT* c) { return sendReceive(c, commandWord, p, in, inLen, out, outLen); });
    } catch (FSA_STATUS thrown) {
        status = thrown;
    }
    return finish(status, throwFlag);
}

FSA_STATUS FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record)
{
    return FsaExportedCall("FsaEnclosureMgt", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (record == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        const uint32_t command = record->command;
        const uint32_t sub = record->subCommand;
        if (command > FSA_ECM_MAX_COMMAND)
            return static_cast<FSA_STATUS>(FSA_STS_ENCL_BAD_COMMAND);
        if (sub > EM_SUB_CMD_END)
            return static_cast<FSA_STATUS>(FSA_STS_ENCL_BAD_SUBCOMMAND);

        const void* in = nullptr;
        uint32_t inLen = 0;
        void* out = nullptr;
        uint32_t outLen = 0;
        const uint32_t dataClass = sub & kClassMask;
        switch (dataClass) {
        case kClassStatus:
            record->direction = kClassStatus;
            out = record->data;
            outLen = kStatusBytes;
            break;
        case kClassInfo:
            record->direction = kClassInfo;
            out = record->data;
            outLen = kInfoBytes;
            break;
        case kClassIn:
            record->direction = kClassIn;
            out = FsaEnclosureMgtData(record);
            outLen = record->dataLength;
            break;
        case kClassOut:
            record->direction = kClassOut;
            in = FsaEnclosureMgtData(record);
            inLen = record->dataLength;
            break;
        case 0:
            if (sub == EM_SUB_SCSI_RECEIVE_DIAGNOSTIC) {
                record->direction = kClassIn;
                out = FsaEnclosureMgtData(record);
                outLen = record->dataLength;
            } else if (sub == EM_SUB_SCSI_SEND_DIAGNOSTIC) {
                record->direction = kClassOut;
                if (record->dataLength > FSA_ECM_MAX_DATA)
                    return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
                in = FsaEnclosureMgtData(record);
                inLen = record->dataLength;
            } else {
                record->direction = 0;
                out = record->data;
                outLen = kWordBytes;
            }
            break;
        default:
            break;  // no data, and the direction is left as it was
        }

        if (!readOnlyAllowed(command, sub) && !writeMode(ctx->accessMode))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_OPEN_READ_WRITE);

        uint32_t params[5];
        std::memcpy(params, record->param, sizeof params);
        const FSA_STATUS sent = ECM_SendReceiveFIB(handle, command << 16 | sub, &params[0], &params[1], &params[2],
                                                   &params[3], &params[4], in, inLen, out, outLen, 1);
        if (dataClass == kClassInfo)
            faPutLe32(record->data + (FSA_ENCLOSURE_MGT_ADAPTER_WORD - offsetof(FSA_ENCLOSURE_MGT, data)),
                      ctx->adapterIdentityWord);
        if (command == FSA_ECM_GET_EMP_INFO)
            std::memcpy(record->param, params, sizeof params);
        else if (command == FSA_ECM_GET_DEVICE_SLOT)
            std::memcpy(record->data + (FSA_ENCLOSURE_MGT_ANSWERS - offsetof(FSA_ENCLOSURE_MGT, data)), params,
                        sizeof params);
        return sent;
    });
}
