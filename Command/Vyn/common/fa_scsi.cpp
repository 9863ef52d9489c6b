#include "Command/Vyn/common/fa_scsi.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

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

// The routines below are not available yet: each answers 31.

FSA_STATUS SCSI_GetDeviceProbeInfo(FSAAPI_CONTEXT*, uint32_t, EnhancedGetDeviceProbeInfo_CSS*)
{
    return FSA_STS_NOT_SUPPORTED;
}

int SCSI_GetDeviceProbeInfoIsSupported(const EnhancedGetDeviceProbeInfo_CSS*, size_t) { return 0; }

int SCSI_hasDosPartition(FSAAPI_CONTEXT*, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void SCSI_BlinkDrive(FSAAPI_CONTEXT*, const FSA_STORAGE_DEVICE*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void SCSI_FWBlinkDrive(FSAAPI_CONTEXT*, const FSA_STORAGE_DEVICE*, uint32_t) {}

void SCSI_StartVerify(FSAAPI_CONTEXT*, uint32_t, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void SCSI_StartZero(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void SCSI_StartSecureErase(FSAAPI_CONTEXT*, uint32_t, const char*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void SCSI_SetATAPassword(FSAAPI_CONTEXT*, uint32_t, const char*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void SCSI_ClearATAPassword(FSAAPI_CONTEXT*, uint32_t, const char*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS FsaApiInternalSetSmartDeviceInfo(void*, int, const FSA_STORAGE_DEVICE*, FSA_SMART_DATA*)
{
    return FSA_STS_NOT_SUPPORTED;
}

FSA_STATUS FsaApiInternalSetSmartDeviceInfoForChanMode(void*, int, const FSA_STORAGE_DEVICE*, FSA_SMART_DATA*, uint32_t)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaStorageDevice2(void*, const FSA_STORAGE_DEVICE*, uint32_t, uint32_t*, uint32_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaStorageDevice(void*, const FSA_STORAGE_DEVICE*, uint32_t, uint32_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaCreateJBOD(void*, const FSA_STORAGE_DEVICE*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaDeleteJBOD(void*, const FSA_STORAGE_DEVICE*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaSendScsiCommand(void*, const FSA_STORAGE_DEVICE*, uint32_t, uint8_t*, uint32_t*, uint8_t*,
                                         uint32_t, FSA_SCSI_DATA_DIR, int, uint32_t*, uint8_t*, uint32_t, uint32_t*,
                                         uint32_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FsaOnlineDiskDiagnostic(void*, const FSA_STORAGE_DEVICE*, uint32_t, void*)
{
    return FSA_STS_NOT_SUPPORTED;
}

extern "C" FSA_STATUS FSASetWearOutParams(void*, uint32_t, uint32_t, uint32_t) { return FSA_STS_NOT_SUPPORTED; }
