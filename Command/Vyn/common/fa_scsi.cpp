#include "Command/Vyn/common/fa_scsi.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_blinker.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned kFibBytes = 512;
constexpr unsigned kFibHeader = 32;
constexpr unsigned kRequestWords = 20;  // service words before the data
constexpr uint32_t kServiceScsi = 3;
constexpr uint32_t kServiceWord = 9;
constexpr uint32_t kNotSupported = 10004;
constexpr FSA_STATUS kTooLarge = 71;

FSA_STATUS finish(FSA_STATUS result, int throwOnError)
{
    if (throwOnError && result != FSA_STS_SUCCESS)
        throw result;
    return result;
}

}  // namespace

FSA_STATUS SCSI_sendfib(FSAAPI_CONTEXT* ctx, uint32_t command, uint32_t subCommand, void* data, uint32_t length,
                        int throwOnError)
{
    if (length > SCSI_MAX_DATA) {
        char text[] = "Unable to send scsi command, command is too large\n";
        UtilPrintDebugFormatted(text);
        return finish(kTooLarge, throwOnError);
    }
    alignas(8) uint8_t fib[kFibBytes];
    FSA_STATUS sent = FSA_STS_SUCCESS;
    for (int attempt = 0; attempt < 2; ++attempt) {
        faBuildFib(fib, sizeof fib, 500, static_cast<uint16_t>(length + kRequestWords));
        faPutLe32(fib + 20, command);
        uint8_t* payload = fib + kFibHeader;
        faPutLe32(payload + 0, kServiceScsi);
        faPutLe32(payload + 4, kServiceWord);
        faPutLe32(payload + 8, ctx->adapterNumberWord);
        faPutLe32(payload + 12, command);
        faPutLe32(payload + 16, subCommand);
        if (data != nullptr && length != 0)
            std::memcpy(payload + kRequestWords, data, length);
        sent = FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 0, kFibBytes);
        if (sent == FSA_STS_SUCCESS)
            break;
    }
    if (sent != FSA_STS_SUCCESS)
        return finish(sent, throwOnError);
    const uint8_t* payload = fib + kFibHeader;
    if (data != nullptr && length != 0)
        std::memcpy(data, payload + kRequestWords, length);
    const uint32_t status = faGetLe32(payload);
    FSA_STATUS result = FSA_STS_SUCCESS;
    if (status == kNotSupported)
        result = FSA_STS_NOT_SUPPORTED;
    else if (status != 0)
        result = FSA_STS_CT_GENERIC_FAILURE;
    return finish(result, throwOnError);
}

FSA_STATUS SCSI_GetBusInfo(FSAAPI_CONTEXT* ctx, EnhancedGetBusInfo_CSS* info)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    std::memset(info, 0, sizeof *info);
    const FSA_STATUS enhanced = SCSI_sendfib(ctx, 0, SCSI_SUB_GET_BUS_INFO, info->bytes, sizeof info->bytes, 0);
    if (enhanced != FSA_STS_CT_GENERIC_FAILURE)
        return enhanced;
    std::memset(info, 0, sizeof *info);
    const FSA_STATUS legacy =
        SCSI_sendfib(ctx, 0, SCSI_SUB_GET_BUS_INFO_LEGACY, info->bytes, BUS_INFO_LEGACY_BYTES, 0);
    faPutLe32(info->bytes + BUS_INFO_VERSION, 0);
    return legacy;
}

int SCSI_GetBusInfoIsSupported(const EnhancedGetBusInfo_CSS* info, size_t offset)
{
    if (info == nullptr)
        return 0;
    const uint32_t version = faGetLe32(info->bytes + BUS_INFO_VERSION);
    if (offset < 32)
        return 1;
    if (offset < 37)
        return version > 1 ? 1 : 0;
    if (offset < 77)
        return version > 2 ? 1 : 0;
    return 0;
}

uint64_t SCSI_GetInternalID(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device)
{
    constexpr uint64_t kNoHandle = 0xFFFFFFFFu;
    if (device->targetId > ctx->highestTarget)
        return static_cast<uint64_t>(device->targetId) << 32 | kNoHandle;
    const uint32_t handle = FsaApiGetDevtFromBLT(ctx, device->busNumber, device->targetId, device->lun);
    const uint32_t lun = FsaApiGetLunFromDeviceHandle(ctx, handle);
    const uint32_t bus = FsaApiGetBusFromDeviceHandle(ctx, handle);
    if (lun != device->lun)
        return static_cast<uint64_t>(lun) << 32 | kNoHandle;
    if (bus != device->busNumber)
        return static_cast<uint64_t>(bus) << 32 | kNoHandle;
    return static_cast<uint64_t>(bus) << 32 | handle;
}

void SCSI_GetStandardID(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE* device, uint32_t handle)
{
    device->storageDeviceType = 0;
    device->busNumber = static_cast<uint8_t>(FsaApiGetBusFromDeviceHandle(ctx, handle));
    device->targetId = static_cast<uint8_t>(FsaApiGetTargetFromDeviceHandle(ctx, handle));
    device->lun = static_cast<uint8_t>(FsaApiGetLunFromDeviceHandle(ctx, handle));
    device->adapterSerial = ctx->adapterIdentityWord;
}

namespace {

constexpr uint32_t kSubProbeLegacy = 5;
constexpr uint32_t kSubProbe = 11;
constexpr uint32_t kSubDriveRequest = 48;
constexpr uint32_t kSubDrivePasswordRequest = 52;
constexpr uint32_t kSubDriveState = 80;
constexpr uint32_t kSubDriveSecurity = 96;
constexpr uint32_t kProbeLegacyBytes = 108;

// Drive request body (sub-commands 48 and 52).
constexpr unsigned kDriveRequestBytes = 56;
constexpr unsigned kDriveOperation = 0;
constexpr unsigned kDriveFlag = 8;
constexpr unsigned kDriveHandle = 12;
constexpr unsigned kDriveZero = 16;
constexpr unsigned kDrivePassword = 23;
constexpr unsigned kPasswordField = 32;

constexpr uint32_t kOpVerify = 4;
constexpr uint32_t kOpZero = 6;
constexpr uint32_t kOpSecureErase = 9;
constexpr uint32_t kOpSecureErasePassword = 11;
constexpr uint32_t kOpSetPassword = 12;
constexpr uint32_t kOpClearPassword = 13;

constexpr FSA_STATUS kVerifyNotStarted = 518;
constexpr FSA_STATUS kNoSuchDevice = 12;
constexpr uint32_t kDosPartition = 3;
constexpr unsigned kBlinkCommand = 241;

void sendDriveRequest(FSAAPI_CONTEXT* ctx, uint32_t handle, uint32_t operation, uint32_t flag, const char* password)
{
    uint8_t body[kDriveRequestBytes] = {};
    uint32_t sub = kSubDriveRequest;
    if (password != nullptr) {
        // The field keeps the terminating zero: a longer password would be
        // cut short on its way to the drive.
        const size_t length = std::strlen(password);
        if (length >= kPasswordField)
            throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        std::memcpy(body + kDrivePassword, password, length);
        sub = kSubDrivePasswordRequest;
    }
    faPutLe32(body + kDriveOperation, operation);
    faPutLe32(body + kDriveFlag, flag);
    faPutLe32(body + kDriveHandle, handle);
    faPutLe32(body + kDriveZero, 0);
    SCSI_sendfib(ctx, 0, sub, body, sizeof body, 1);
}

}  // namespace

FSA_STATUS SCSI_GetDeviceProbeInfo(FSAAPI_CONTEXT* ctx, uint32_t handle, EnhancedGetDeviceProbeInfo_CSS* info)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    std::memset(info, 0, sizeof *info);
    const FSA_STATUS enhanced = SCSI_sendfib(ctx, handle, kSubProbe, info->bytes, sizeof info->bytes, 0);
    if (enhanced != FSA_STS_CT_GENERIC_FAILURE)
        return enhanced;
    std::memset(info, 0, sizeof *info);
    const FSA_STATUS legacy = SCSI_sendfib(ctx, handle, kSubProbeLegacy, info->bytes, kProbeLegacyBytes, 0);
    faPutLe32(info->bytes + DEVICE_PROBE_VERSION, 0);
    return legacy == FSA_STS_CT_GENERIC_FAILURE ? kNoSuchDevice : legacy;
}

int SCSI_GetDeviceProbeInfoIsSupported(const EnhancedGetDeviceProbeInfo_CSS* info, size_t offset)
{
    if (info == nullptr)
        return 0;
    if (offset < DEVICE_PROBE_VERSION)
        return 1;
    if (offset < 121)
        return faGetLe32(info->bytes + DEVICE_PROBE_VERSION) >= 2 ? 1 : 0;
    return 0;
}

int SCSI_hasDosPartition(FSAAPI_CONTEXT* ctx, int slice)
{
    if (slice < 0)
        return 0;
    uint64_t size = 0, maxSize = 0, c = 0;
    uint32_t handle = 0, e = 0, type = 0;
    CT_GetSliceInfo(ctx, static_cast<uint32_t>(slice), &size, &maxSize, &c, &handle, &e, &type);
    return type == kDosPartition ? 1 : 0;
}

void SCSI_BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds)
{
    if (ctx->blinkManager == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    ctx->blinkManager->BlinkDrive(ctx, device, seconds);
}

void SCSI_FWBlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds)
{
    uint32_t on = seconds != 0 ? 1 : 0;
    uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, device));
    CT_SendReceiveFIB(ctx, kBlinkCommand, &on, &handle, nullptr, nullptr, 0, nullptr, 0, 0);
}

void SCSI_StartVerify(FSAAPI_CONTEXT* ctx, uint32_t handle, int repair)
{
    try {
        sendDriveRequest(ctx, handle, kOpVerify, repair ? 1 : 0, nullptr);
    } catch (FSA_STATUS status) {
        // Typically too many tasks already run on the controller.
        throw status == FSA_STS_CT_GENERIC_FAILURE ? kVerifyNotStarted : status;
    }
}

void SCSI_StartZero(FSAAPI_CONTEXT* ctx, uint32_t handle) { sendDriveRequest(ctx, handle, kOpZero, 0, nullptr); }

void SCSI_StartSecureErase(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password)
{
    sendDriveRequest(ctx, handle, password != nullptr ? kOpSecureErasePassword : kOpSecureErase, 0, password);
}

void SCSI_SetATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password)
{
    if (password == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    sendDriveRequest(ctx, handle, kOpSetPassword, 0, password);
}

void SCSI_ClearATAPassword(FSAAPI_CONTEXT* ctx, uint32_t handle, const char* password)
{
    if (password == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
    sendDriveRequest(ctx, handle, kOpClearPassword, 0, password);
}

uint32_t GetRelevantAdapterForScsi(FSAAPI_CONTEXT* ctx, const FSA_SCSI_DEVICE* device)
{
    const uint32_t count = std::min<uint32_t>(ctx->otherAdapterCount, FSA_MAX_OTHER_ADAPTERS);
    for (uint32_t i = 0; i < count; ++i) {
        const FSA_OTHER_ADAPTER& entry = ctx->otherAdapters[i];
        if (entry.identity == device->adapterSerial)
            return entry.identity == ctx->adapterIdentityWord ? 0 : entry.handle;
    }
    return 0;
}

uint32_t ScsiAdapterHandle(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device)
{
    return GetRelevantAdapterForScsi(ctx, device);
}

namespace {

constexpr uint32_t kOpt2CachePolicy = 1u << 2;
constexpr uint32_t kOpt2PassThroughWhenPaused = 1u << 3;
constexpr uint32_t kOpt2SecureErase = 1u << 6;
constexpr uint32_t kOpt2FirmwareBlink = 1u << 18;
constexpr uint32_t kOpt2Jbod = 1u << 27;

constexpr FSA_STATUS kDiskInitialized = 20;
constexpr FSA_STATUS kUnknownOperation = 92;
constexpr unsigned kCreateJbod = 242;
constexpr unsigned kDeleteJbod = 243;
constexpr uint32_t kJbodCreated = 403;
constexpr uint32_t kJbodDeleted = 405;
constexpr unsigned kWearOutCommand = 257;

bool openReadWrite(const FSAAPI_CONTEXT* ctx) { return (kFsaModesWrite >> ctx->accessMode & 1u) != 0; }

void* handleOfAdapter(uint32_t handle) { return reinterpret_cast<void*>(static_cast<uintptr_t>(handle)); }

// Sub-command 96 {mode, result}.
uint32_t driveSecurity(FSAAPI_CONTEXT* ctx, uint32_t handle, uint32_t mode)
{
    uint8_t body[8] = {};
    faPutLe32(body, mode);
    const FSA_STATUS sent = SCSI_sendfib(ctx, handle, kSubDriveSecurity, body, sizeof body, 0);
    if (sent == FSA_STS_CT_GENERIC_FAILURE)
        throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
    if (sent != FSA_STS_SUCCESS)
        throw sent;
    const uint32_t result = faGetLe32(body + 4);
    if (result == 2)
        throw kNoSuchDevice;
    if (result > 2)
        throw static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
    return result;
}

void zeroDrive(FSAAPI_CONTEXT* ctx, uint32_t operation, uint32_t handle, int slice)
{
    PCK_ThrowIfScsiDeviceIs(ctx, static_cast<int>(handle), 1);
    if (operation == 2 || operation == 3) {
        if (slice >= 0 && CT_MbrExists(ctx, static_cast<uint32_t>(slice)) == 1)
            throw kDiskInitialized;
        if (operation == 2 && SCSI_hasDosPartition(ctx, slice))
            throw kDiskInitialized;
    }
    PCK_CheckAndRemoveActiveCtrs(ctx, static_cast<int>(handle), operation == 5 ? 1 : 0, 0);
    SCSI_StartZero(ctx, handle);
}

FSA_STATUS storageDevice(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                         uint32_t* parameters, uint32_t* extra)
{
    if (device == nullptr)
        return FSA_STS_BAD_PARAMETER;
    if (ctx->paused && (operation < 100 || operation > 103))
        return FSA_STS_ADAPTER_PAUSED;
    if (const uint32_t owner = ScsiAdapterHandle(ctx, device))
        return FsaStorageDevice2(handleOfAdapter(owner), device, operation, parameters, extra);
    const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, device));
    int slice = -1;
    if (operation != 11 && operation != 100 && operation != 101 && operation != 103)
        slice = CT_GetSliceFromDriveHandle(ctx, handle, 0, nullptr);
    if (operation == 7) {
        const uint32_t seconds = parameters != nullptr ? FsaDriveOpParamWord(parameters, 1) : 0;
        if (FsaOptionWord2(ctx) & kOpt2FirmwareBlink)
            SCSI_FWBlinkDrive(ctx, device, seconds);
        else
            SCSI_BlinkDrive(ctx, device, seconds);
        return FSA_STS_SUCCESS;
    }
    if (!openReadWrite(ctx))
        return FSA_STS_NOT_OPEN_READ_WRITE;
    switch (operation) {
    case 0:
    case 1:
        PCK_ThrowIfScsiDeviceIs(ctx, static_cast<int>(handle), 1);
        SCSI_StartVerify(ctx, handle, operation == 1);
        return FSA_STS_SUCCESS;
    case 2:
    case 3:
    case 4:
    case 5:
        zeroDrive(ctx, operation, handle, slice);
        return FSA_STS_SUCCESS;
    case 6: {
        PCK_ValidateChannelMode(ctx, FSAAPI_CHANNEL_MODE_1, device, 1);
        FSA_PARTITION only;
        const FSA_PARTITION* given = nullptr;
        if (parameters != nullptr) {
            std::memcpy(&only, parameters, sizeof only);
            given = &only;
        }
        CT_RemoveDeadPartitions(ctx, static_cast<int>(handle), given);
        return FSA_STS_SUCCESS;
    }
    case 8:
        if ((FsaOptionWord2(ctx) & kOpt2CachePolicy) == 0)
            return FSA_STS_NOT_SUPPORTED;
        if (parameters == nullptr)
            return FSA_STS_BAD_PARAMETER;
        CT_SetDeviceCachePolicy(ctx, handle, static_cast<int>(FsaDriveOpParamWord(parameters, 2)));
        return FSA_STS_SUCCESS;
    case 9:
    case 10:
    case 11: {
        if (operation == 9)
            PCK_CheckAndRemoveActiveCtrs(ctx, static_cast<int>(handle), 0, 0);
        uint8_t body[8] = {};
        faPutLe32(body, operation == 11 ? 5 : 6);
        SCSI_sendfib(ctx, handle, kSubDriveState, body, sizeof body, 1);
        return FSA_STS_SUCCESS;
    }
    case 100:
    case 101:
        if (driveSecurity(ctx, handle, operation == 100 ? 1 : 2) != 1)
            return FSA_STS_GENERAL_FAILURE;
        return FSA_STS_SUCCESS;
    case 102: {
        if (extra == nullptr)
            return FSA_STS_BAD_PARAMETER;
        *extra = driveSecurity(ctx, handle, 0) == 0 ? 0 : 1;
        return FSA_STS_SUCCESS;
    }
    case 103:
        CT_Delete_PPI_Bundles(ctx, handle);
        return FSA_STS_SUCCESS;
    case 104:
        if ((FsaOptionWord2(ctx) & kOpt2SecureErase) == 0)
            return FSA_STS_NOT_SUPPORTED;
        SCSI_StartSecureErase(ctx, handle, parameters != nullptr ? FsaDriveOpParamPassword(parameters) : nullptr);
        return FSA_STS_SUCCESS;
    case 105: {
        const char* password = parameters != nullptr ? FsaDriveOpParamPassword(parameters) : nullptr;
        if (extra != nullptr && *extra != 0)
            SCSI_SetATAPassword(ctx, handle, password);
        else
            SCSI_ClearATAPassword(ctx, handle, password);
        return FSA_STS_SUCCESS;
    }
    default:
        return kUnknownOperation;
    }
}

FSA_STATUS jbodCommand(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, unsigned command, uint32_t done)
{
    if ((FsaOptionWord2(ctx) & kOpt2Jbod) == 0)
        return FSA_STS_NOT_SUPPORTED;
    if (device == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, device));
    uint32_t status = static_cast<uint32_t>(CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr));
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, command, &status, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    return status == done ? static_cast<FSA_STATUS>(FSA_STS_SUCCESS) : static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
}

}  // namespace

uint32_t FsaDriveOpParamWord(const uint32_t* block, unsigned word)
{
    uint32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const uint8_t*>(block) + 4 * word, sizeof value);
    return value;
}

const char* FsaDriveOpParamPassword(const uint32_t* block)
{
    const char* password = nullptr;
    std::memcpy(&password, reinterpret_cast<const uint8_t*>(block) + FSA_DRIVE_OP_PASSWORD_AT, sizeof password);
    return password;
}

void FsaDriveOpParamSetPassword(uint32_t* block, const char* password)
{
    std::memcpy(reinterpret_cast<uint8_t*>(block) + FSA_DRIVE_OP_PASSWORD_AT, &password, sizeof password);
}

extern "C" FSA_STATUS FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                        uint32_t* parameters, uint32_t* extra)
{
    return FsaExportedCall("FsaStorageDevice2", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return storageDevice(ctx, device, operation, parameters, extra); });
}

extern "C" FSA_STATUS FsaStorageDevice(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                       uint32_t* parameters)
{
    if (operation > 99)
        return FSA_STS_NOT_SUPPORTED;
    return FsaStorageDevice2(handle, device, operation, parameters, nullptr);
}

extern "C" FSA_STATUS FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    return FsaExportedCall("FsaCreateJBOD", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return jbodCommand(ctx, device, kCreateJbod, kJbodCreated);
    });
}

extern "C" FSA_STATUS FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    return FsaExportedCall("FsaDeleteJBOD", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return jbodCommand(ctx, device, kDeleteJbod, kJbodDeleted);
    });
}

extern "C" FSA_STATUS FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength,
                                         uint8_t* cdb, uint32_t* dataLength, uint8_t* data, uint32_t dataBufferLength,
                                         FSA_SCSI_DATA_DIR direction, int reportSense, uint32_t* senseLength,
                                         uint8_t* sense, uint32_t senseBufferLength, uint32_t* scsiStatus,
                                         uint32_t* completionClass)
{
    return FsaExportedCall("FsaSendScsiCommand", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (ctx->paused && (FsaOptionWord2(ctx) & kOpt2PassThroughWhenPaused) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_ADAPTER_PAUSED);
        if (device == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        if (const uint32_t owner = ScsiAdapterHandle(ctx, device))
            return FsaSendScsiCommand(handleOfAdapter(owner), device, cdbLength, cdb, dataLength, data,
                                      dataBufferLength, direction, reportSense, senseLength, sense, senseBufferLength,
                                      scsiStatus, completionClass);
        if (device->busNumber >= ctx->channelCount || cdbLength == 0 || cdb == nullptr || dataLength == nullptr ||
            scsiStatus == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        unsigned transferred = 0;
        unsigned senseBytes = 0;
        unsigned status = 0;
        unsigned srb = 0;
        const FSA_STATUS result =
            faos_SendScsiCommand(ctx, device, cdbLength, cdb, &transferred, data, dataBufferLength, direction,
                                 reportSense, &senseBytes, sense, senseBufferLength, &status, &srb);
        *dataLength = transferred;
        *scsiStatus = status;
        if (reportSense && senseLength != nullptr)
            *senseLength = senseBytes;
        if (completionClass != nullptr)
            *completionClass = srb;
        return result;
    });
}

namespace {

constexpr unsigned kDiagnosticResultBytes = 132;
constexpr unsigned kDiagSenseBytes = 32;
constexpr unsigned kDiagResultsPageBytes = 256;
constexpr uint32_t kClassGood = 1;
constexpr uint32_t kClassSenseReturned = 18;

enum : uint32_t {
    kDstStarted = 2,
    kDstInProgress = 3,
    kDstPassed = 5,
    kDstFailed = 6,
    kDstCompletedOrAborted = 7,
    kDstInterrupted = 8,
};

void putSense(uint8_t* record, const uint8_t* sense, unsigned length)
{
    if (length < 14)
        return;
    record[8] = sense[2] & 0x0F;
    record[9] = sense[12];
    record[10] = sense[13];
}

FSA_STATUS onlineDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation, uint8_t* record)
{
    static const char* const kTraces[] = {
        nullptr,
        "FsaOnlineDiskDiagnostic - Abort DST returns status %d, scsi status 0x%02X\n",
        "FsaOnlineDiskDiagnostic - Short DST returns status %d, scsi status 0x%02X\n",
        "FsaOnlineDiskDiagnostic - Long DST returns status %d, scsi status 0x%02X\n",
        "FsaOnlineDiskDiagnostic - DST Progress returns status %d, scsi status 0x%02X\n",
        "FsaOnlineDiskDiagnostic - DST Results returns status %d, scsi status 0x%02X\n",
        "FsaOnlineDiskDiagnostic - Default DST returns status %d, scsi status 0x%02X\n",
    };
    if (operation == 0 || operation > 6)
        return FSA_STS_BAD_PARAMETER;
    uint8_t cdb[10] = {};
    unsigned cdbLength = 6;
    uint8_t data[kDiagResultsPageBytes] = {};
    uint32_t dataBytes = 0;
    FSA_SCSI_DATA_DIR direction = FSA_SCSI_NO_DATA;
    switch (operation) {
    case 1:
        cdb[0] = 0x1D;
        cdb[1] = 0x80;
        break;
    case 2:
        cdb[0] = 0x1D;
        cdb[1] = 0x20;
        break;
    case 3:
        cdb[0] = 0x1D;
        cdb[1] = 0x40;
        break;
    case 4:
        cdb[0] = 0x03;
        cdb[4] = kDiagSenseBytes;
        dataBytes = kDiagSenseBytes;
        direction = FSA_SCSI_DATA_IN;
        break;
    case 5:
        cdb[0] = 0x4D;
        cdb[2] = 0x50;
        cdb[7] = kDiagResultsPageBytes >> 8;
        cdb[8] = kDiagResultsPageBytes & 0xFF;
        cdbLength = 10;
        dataBytes = kDiagResultsPageBytes;
        direction = FSA_SCSI_DATA_IN;
        break;
    default:
        cdb[0] = 0x1D;
        cdb[1] = 0x04;
        break;
    }
    uint8_t sense[kDiagSenseBytes] = {};
    uint32_t transferred = 0, senseLength = 0, scsiStatus = 0, completion = 0;
    const FSA_STATUS status =
        FsaSendScsiCommand(handle, device, cdbLength, cdb, &transferred, dataBytes ? data : nullptr, dataBytes,
                           direction, 1, &senseLength, sense, sizeof sense, &scsiStatus, &completion);
    char text[128];
    std::snprintf(text, sizeof text, kTraces[operation], static_cast<int>(status), scsiStatus);
    UtilPrintDebugFormatted(text);
    if (status != FSA_STS_SUCCESS)
        return status;
    senseLength = std::min<uint32_t>(senseLength, sizeof sense);
    faPutLe32(record, kDstStarted);
    const bool dataBack = completion == kClassGood || completion == kClassSenseReturned;
    if (operation == 4 && dataBack) {
        putSense(record, data, std::min<uint32_t>(transferred, kDiagSenseBytes));
        faPutLe32(record, 4);
        if (record[8] == 2 && record[9] == 0x04 && record[10] == 0x09)
            faPutLe32(record, kDstInProgress);
        else if (record[8] == 0x0B && record[9] == 0x3E && record[10] == 0x03)
            faPutLe32(record, kDstCompletedOrAborted);
        if (transferred >= 18 && data[15] == 0x80) {
            const uint32_t indicator = static_cast<uint32_t>(data[16]) << 8 | data[17];
            const uint32_t progress = indicator * 1000 / 65536;
            faPutLe32(record + 4, progress);
            std::snprintf(text, sizeof text, "FsaOnlineDiskDiagnostic - DST Progress Indicator: 0x%04X, percent: %5.1f\n",
                          indicator, progress / 10.0);
            UtilPrintDebugFormatted(text);
        }
    } else if (operation == 5 && dataBack) {
        // Page 0x10; the first parameter (20 bytes from byte 4) is the latest.
        const uint8_t* p = data + 4;
        if (transferred >= 24 && (data[0] & 0x3F) == 0x10 && p[3] != 0) {
            static const uint32_t kStates[16] = {kDstPassed, kDstCompletedOrAborted, kDstCompletedOrAborted,
                                                 kDstInterrupted, kDstFailed, kDstFailed, kDstFailed, kDstFailed,
                                                 kDstStarted, kDstStarted, kDstStarted, kDstStarted, kDstStarted,
                                                 kDstStarted, kDstStarted, kDstInProgress};
            faPutLe32(record, kStates[p[4] & 0x0F]);
            record[8] = p[16] & 0x0F;
            record[9] = p[17];
            record[10] = p[18];
        }
    } else if (operation != 4 && operation != 5 && completion == kClassGood) {
        faPutLe32(record, kDstCompletedOrAborted);
    } else {
        putSense(record, sense, senseLength);
    }
    if (record[8] == 5)
        return FSA_STS_NOT_SUPPORTED;
    return FSA_STS_SUCCESS;
}

}  // namespace

extern "C" FSA_STATUS FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                              void* result)
{
    return FsaExportedCall("FsaOnlineDiskDiagnostic", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT*) {
        if (device == nullptr || result == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint8_t* record = static_cast<uint8_t*>(result);
        std::memset(record, 0, kDiagnosticResultBytes);
        return onlineDiagnostic(handle, device, operation, record);
    });
}

extern "C" FSA_STATUS FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c)
{
    return FsaExportedCall("FSASetWearOutParams", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        uint32_t status = a, p1 = b, p2 = c;
        const FSA_STATUS sent = CT_SendReceiveFIB(ctx, kWearOutCommand, &status, &p1, &p2, nullptr, 0, nullptr, 0, 0);
        if (sent != FSA_STS_SUCCESS)
            return sent;
        return status == 0 ? static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE) : sent;
    });
}

namespace {

constexpr uint32_t kSubModePageRead = 17;
constexpr uint32_t kSubModePageWrite = 18;
constexpr uint32_t kModePageBytes = 140;
constexpr uint8_t kPageHeaderFlags = 0xC0;
constexpr uint8_t kPerf = 0x80, kDexcpt = 0x08, kTest = 0x04, kLogErr = 0x01;
constexpr uint32_t kSmartChangeEvent = 5;

constexpr FSA_STATUS kMrieFixed = 377;
constexpr FSA_STATUS kDexcptFixed = 378;
constexpr FSA_STATUS kLogErrFixed = 379;
constexpr FSA_STATUS kPerfFixed = 380;
constexpr FSA_STATUS kSmartUnreadable = 383;
constexpr FSA_STATUS kSmartNotSet = 384;

// The SMART record's trailing words tell which settings the drive lets a
// host change: MRIE, exception reporting, error logging, performance.
enum : unsigned { kMrieChangeable, kDexcptChangeable, kLogErrChangeable, kPerfChangeable };

FSA_STATUS readSmart(void* handle, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart)
{
    std::memset(smart, 0, sizeof *smart);
    return FsaApiInternalGetSmartDeviceInfo(handle, 0, device, smart);
}

bool flag(uint32_t word) { return word != 0; }

void putBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

FSA_STATUS setSmart(void* handle, FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, const FSA_SMART_DATA* want)
{
    if (device == nullptr || want == nullptr)
        return FSA_STS_BAD_PARAMETER;
    if (const uint32_t owner = ScsiAdapterHandle(ctx, device))
        return FsaApiInternalSetSmartDeviceInfo(handleOfAdapter(owner), 0, device,
                                                const_cast<FSA_SMART_DATA*>(want));
    const uint32_t driveHandle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, device));
    if (driveHandle == 0xFFFFFFFFu)
        return FSA_STS_NO_MORE_DEVICES;
    if (CT_GetSliceFromDriveHandle(ctx, driveHandle, 0, nullptr) < 0)
        return kNoSuchDevice;

    FSA_SMART_DATA now;
    const FSA_STATUS read = readSmart(handle, device, &now);
    if (read != FSA_STS_SUCCESS)
        return read;
    if (now.smartEnabled == 0)
        return kSmartUnreadable;
    if (want->mrie != now.mrie && now.zero[kMrieChangeable] == 0)
        return kMrieFixed;
    if (flag(want->disableException) != flag(now.disableException) && now.zero[kDexcptChangeable] == 0)
        return kDexcptFixed;
    if (flag(want->logError) != flag(now.logError) && now.zero[kLogErrChangeable] == 0)
        return kLogErrFixed;
    if (flag(want->perf) != flag(now.perf) && now.zero[kPerfChangeable] == 0)
        return kPerfFixed;

    uint8_t page[kModePageBytes] = {};
    SCSI_sendfib(ctx, driveHandle, kSubModePageRead, page, sizeof page, 1);
    uint8_t bits = static_cast<uint8_t>(page[2] & ~(kPerf | kDexcpt | kTest | kLogErr));
    if (want->perf)
        bits |= kPerf;
    if (want->disableException)
        bits |= kDexcpt;
    if (want->testError)
        bits |= kTest;
    if (want->logError)
        bits |= kLogErr;
    page[2] = bits;
    page[3] = static_cast<uint8_t>((page[3] & 0xF0) | (want->mrie & 0x0F));
    putBe32(page + 4, want->intervalTimer);
    putBe32(page + 8, want->reportCount);
    // Once with the header's top bits set, then with them cleared.
    page[0] |= kPageHeaderFlags;
    uint8_t sent[kModePageBytes];
    std::memcpy(sent, page, sizeof sent);
    SCSI_sendfib(ctx, driveHandle, kSubModePageWrite, sent, sizeof sent, 1);
    page[0] &= static_cast<uint8_t>(~kPageHeaderFlags);
    std::memcpy(sent, page, sizeof sent);
    SCSI_sendfib(ctx, driveHandle, kSubModePageWrite, sent, sizeof sent, 1);

    FSA_EVENT_DETAILS details = {};
    faPutLe32(details.bytes, kSmartChangeEvent);
    std::memcpy(details.bytes + 4, device, sizeof *device);
    AIF_SendEventToAllClients(ctx, FSA_EM_SMART, &details);

    // The device records are a picture taken earlier: take it again, or the
    // re-read compares against the settings from before the change.
    try {
        const FSA_STATUS fresh = GetVynIoConfig(ctx);
        if (fresh != FSA_STS_SUCCESS)
            return fresh;
    } catch (FSA_STATUS status) {
        return status;
    }
    FSA_SMART_DATA after;
    if (readSmart(handle, device, &after) != FSA_STS_SUCCESS || after.smartEnabled == 0)
        return kSmartNotSet;
    // The drive keeps the interval in whole seconds of its own.
    const bool same = after.mrie == want->mrie && flag(after.disableException) == flag(want->disableException) &&
                      flag(after.logError) == flag(want->logError) && flag(after.perf) == flag(want->perf) &&
                      after.intervalTimer / 10 == want->intervalTimer / 10 && after.reportCount == want->reportCount;
    return same ? FSA_STS_SUCCESS : kSmartNotSet;
}

}  // namespace

FSA_STATUS FsaApiInternalSetSmartDeviceInfo(void* handle, int, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart)
{
    return FsaExportedCall("FsaApiInternalSetSmartDeviceInfo", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return setSmart(handle, ctx, device, smart); });
}

FSA_STATUS FsaApiInternalSetSmartDeviceInfoForChanMode(void* handle, int flags, const FSA_STORAGE_DEVICE* device,
                                                       FSA_SMART_DATA* smart, uint32_t)
{
    return FsaApiInternalSetSmartDeviceInfo(handle, flags, device, smart);
}
