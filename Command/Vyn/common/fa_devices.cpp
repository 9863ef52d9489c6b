// Physical device information and SMART data, read from the adapter's
// configuration model: the device walk, its channel-mode filters and the
// readers that turn a physical-device record into the API's records.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <cstddef>
#include <cstring>
#include <iterator>

namespace {

constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

// Option-word bits read here.
constexpr uint32_t kOpt2PeripheralQualifier = 1u << 27;
constexpr uint32_t kOpt3FirmwareState = 0x4;
constexpr uint32_t kOpt3ConfigModel = 0x8;
constexpr uint32_t kOpt3CachePool = 0x40;

// The physical-device record, by byte offset.
enum : size_t {
    kValidity = 0,
    kHandle = 8,
    kBus = 12,
    kTarget = 16,
    kLun = 24,
    kSpeed = 32,
    kBusType = 36,
    kKind = 37,
    kCacheSetting = 38,
    kNvsramIndex = 39,
    kBlocks = 40,
    kBlocksHigh = 44,
    kUsable = 48,
    kUsableHigh = 52,
    kMaxUsable = 56,
    kMaxUsableHigh = 60,
    kBlockSize = 64,
    kFlags = 68,
    kFlags2 = 69,
    kFingerprint = 72,
    kFingerprintHigh = 76,
    kInquiry = 80,
    kVendor = 88,
    kProduct = 96,
    kRevision = 112,
    kSerial = 116,
    kSmart = 272,
    kSasFingerprint = 288,
    kExtendedId = 304,
    kRevisionExtension = 324,
    kUnsupported = 332,
    kTask = 336,
    kFirmwareState = 352,
    kFirmwareOptions = 356,
};

// A direct-access device: peripheral device type 0 of the inquiry data.
constexpr uint8_t kDirectAccess = 0;
constexpr uint8_t kSlotUnknown = 255;
constexpr uint32_t kKindSasAddress = 3;

uint32_t bit(uint8_t byte, unsigned n) { return (byte >> n) & 1u; }

const uint8_t* recordOf(const FsaVynIoPhyDevInfo* node) { return node->record.bytes; }

uint32_t deviceCacheSetting(uint8_t byte)
{
    switch (byte) {
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    default: return 0;
    }
}

uint64_t bigEndian64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[i];
    return v;
}

// The model's device count, 0 without a model.
size_t deviceCount(const FSAAPI_CONTEXT* ctx)
{
    return ctx->vynIoConfig != nullptr ? ctx->vynIoConfig->phyDevs().size() : 0;
}

uint32_t deviceIndex(const FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, int next)
{
    uint32_t index = kNoIndex;
    if (device != nullptr && ctx->vynIoConfig != nullptr)
        index = ctx->vynIoConfig->firstPhyDevAt(device->busNumber, device->targetId, device->lun);
    if (next != 0) {
        if (device == nullptr)
            index = 0;
        else if (index != kNoIndex)
            index += 1;
    }
    return index;
}

// The node a reader answers, or null when the walk is over (10).
const FsaVynIoPhyDevInfo* nodeAt(void* handle, const FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, int next,
                                 uint32_t* indexOut)
{
    const uint32_t index = FsaGetDeviceIndex(handle, device, next);
    if (index == kNoIndex || index >= deviceCount(ctx))
        return nullptr;
    if (indexOut != nullptr)
        *indexOut = index;
    return ctx->vynIoConfig->phyDevs()[index];
}

// Step 3 of the reader: a device that may sit in an SES-2 enclosure slot
// asks the enclosure for its slot and NVSRAM index.
void enclosureSlot(void* handle, const uint8_t* r, FSA_STORAGE_DEVICE_INFO* info)
{
    info->enclNvsramIndex = r[kNvsramIndex];
    info->rawSlotNumber = kSlotUnknown;
    if ((r[kInquiry] & 0x1F) != kDirectAccess)
        return;
    FSA_ENCLOSURE_MGT request;
    std::memset(&request, 0, sizeof request);
    request.command = FSA_ECM_GET_DEVICE_SLOT;
    request.param[0] = static_cast<uint32_t>(r[kBus]) << 24 | static_cast<uint32_t>(r[kLun]) << 16 | r[kTarget];
    if (FsaEnclosureMgt(handle, &request) != FSA_STS_SUCCESS)
        return;
    // The answers are host-order words from byte 36; slot at 44, index at 52.
    uint32_t answers[5];
    std::memcpy(answers, request.data + (FSA_ENCLOSURE_MGT_ANSWERS - offsetof(FSA_ENCLOSURE_MGT, data)), sizeof answers);
    info->rawSlotNumber = static_cast<uint8_t>(answers[2]);
    info->enclNvsramIndex = static_cast<uint8_t>(answers[4]);
}

void fillInfo(void* handle, FSAAPI_CONTEXT* ctx, const FsaVynIoPhyDevInfo* node, FSA_STORAGE_DEVICE_INFO* info)
{
    const uint8_t* r = recordOf(node);
    const uint8_t flags = r[kFlags];
    const uint8_t flags2 = r[kFlags2];
    const uint32_t validity = faGetLe32(r + kValidity);
    const uint32_t opt3 = FsaOptionWord3(ctx);

    FsaSetDeviceLocation(node, &info->address);
    info->address.adapterSerial = ctx->adapterIdentityWord;
    info->storageDeviceClass = (flags & 0x01) ? 2 : 0;
    info->storageDeviceUsage = (flags & 0x01) ? 3 : (flags & 0x50) == 0x50 ? 1 : 0;
    info->taskInProgress = faGetLe32(r + kTask) != 0 ? 1 : 0;
    info->failoverSpaceUsage = 0;
    info->adapterManaged = bit(flags, 4);
    info->stdDevType = r[kInquiry] & 0x1F;
    info->devSubType = 0;
    info->removableMedia = bit(r[kInquiry + 1], 7);
    std::memcpy(info->vendorId, r + kVendor, sizeof info->vendorId);
    std::memcpy(info->productId, r + kProduct, sizeof info->productId);
    std::memcpy(info->productRevision, r + kRevision, sizeof info->productRevision);
    std::memcpy(info->serialNumber, r + kSerial, sizeof info->serialNumber);
    info->numBlocksLow = faGetLe32(r + kBlocks);
    info->bytesPerBlock = faGetLe32(r + kBlockSize);
    info->isBlinking = bit(flags, 1);
    info->negotiatedBusType = r[kBusType];
    info->negotiatedSpeedInMbps = faGetLe32(r + kSpeed);
    info->maxUsableBlocksLow = faGetLe32(r + kMaxUsable);
    info->numUsableBlocksLow = faGetLe32(r + kUsable);
    info->diskCacheSetting = deviceCacheSetting(r[kCacheSetting]);
    info->numBlocksHigh = faGetLe32(r + kBlocksHigh);
    if (info->address.storageDeviceType == kKindSasAddress)
        info->fingerprint = bigEndian64(r + kSasFingerprint);
    else
        info->fingerprint =
            static_cast<uint64_t>(faGetLe32(r + kFingerprintHigh)) << 32 | faGetLe32(r + kFingerprint);
    std::memcpy(info->revisionExtension, r + kRevisionExtension, sizeof info->revisionExtension);
    info->deviceFlags =
        (FsaOptionWord2(ctx) & kOpt2PeripheralQualifier) != 0 && (r[kInquiry] & 0xE0) == 0 ? 1 : 0;
    info->maxUsableBlocksHigh = faGetLe32(r + kMaxUsableHigh);
    info->numUsableBlocksHigh = faGetLe32(r + kUsableHigh);
    info->sharedBus = 0;
    info->isCandidateSpare = 0;
    info->scsiVersion = r[kInquiry + 2];
    info->unsupportedDeviceReason = faGetLe32(r + kUnsupported);
    if (opt3 & kOpt3FirmwareState) {
        info->firmwareState = faGetLe32(r + kFirmwareState);
        info->firmwareOptions = faGetLe32(r + kFirmwareOptions);
    } else {
        info->firmwareState = 0;
    }
    std::memcpy(info->extendedIdentifier, r + kExtendedId, sizeof info->extendedIdentifier);
    info->deviceHandle = faGetLe32(r + kHandle);
    info->nonSpinning = bit(flags, 7);
    if (opt3 & kOpt3CachePool) {
        info->orvexaCapable = bit(flags2, 0);
        info->orvexaAssigned = bit(flags2, 1);
    }
    info->sataNcqEnabled = bit(flags, 5);
    info->auxStateFlag = (validity & 0x1) ? bit(flags2, 3) : 0;
    if (validity & 0x2)
        info->ataSecuritySupport = bit(flags2, 4);

    if (info->scsiVersion > 3)
        enclosureSlot(handle, r, info);

    FsaApiEntryExit::logToFileV("FsaNewApiInternalGetStorageDeviceInfo", "b:%d  l:%d t:%d  state:%x  opts:%x\n",
                                static_cast<int>(faGetLe32(r + kBus)), static_cast<int>(faGetLe32(r + kLun)),
                                static_cast<int>(faGetLe32(r + kTarget)), faGetLe32(r + kFirmwareState),
                                faGetLe32(r + kFirmwareOptions));
}

void fillSmart(const FsaVynIoPhyDevInfo* node, FSA_SMART_DATA* smart)
{
    const uint8_t* r = recordOf(node);
    const uint8_t* s = r + kSmart;
    smart->smartEnabled = 0;
    if (s[0] == 0 || s[1] == 0)
        return;
    smart->smartEnabled = 1;
    FsaSetDeviceLocation(node, &smart->address);
    smart->mrie = s[3] & 0x0F;
    smart->disableException = bit(s[2], 3);
    smart->logError = bit(s[2], 0);
    smart->perf = bit(s[2], 7);
    smart->reportCount = faGetLe32(s + 8);
    smart->errorCount = faGetLe32(s + 12);
    smart->intervalTimer = faGetLe32(s + 4);
    smart->testError = bit(s[2], 2);
    std::memset(smart->zero, 0, sizeof smart->zero);
}

// The readers' work; *answered (when given) receives the node answered.
FSA_STATUS readInfo(void* handle, FSAAPI_CONTEXT* ctx, int next, const FSA_STORAGE_DEVICE* device,
                    FSA_STORAGE_DEVICE_INFO* info, uint32_t* answered)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const FsaVynIoPhyDevInfo* node = nodeAt(handle, ctx, device, next, answered);
    if (node == nullptr)
        return FSA_STS_NO_MORE_DEVICES;
    fillInfo(handle, ctx, node, info);
    return FSA_STS_SUCCESS;
}

FSA_STATUS readSmart(void* handle, FSAAPI_CONTEXT* ctx, int next, const FSA_STORAGE_DEVICE* device,
                     FSA_SMART_DATA* smart, uint32_t* answered)
{
    if (smart == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const FsaVynIoPhyDevInfo* node = nodeAt(handle, ctx, device, next, answered);
    if (node == nullptr)
        return FSA_STS_NO_MORE_DEVICES;
    fillSmart(node, smart);
    // A walk needs the answered address as its next cursor, with SMART data
    // or without.
    if (next != 0 && smart->smartEnabled == 0)
        FsaSetDeviceLocation(node, &smart->address);
    return FSA_STS_SUCCESS;
}

// The model readers, in their own frames.
FSA_STATUS modelInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_STORAGE_DEVICE_INFO* info,
                     uint32_t* answered)
{
    return FsaExportedCall("FsaNewApiInternalGetStorageDeviceInfo", handle, FSA_READ_ONLY_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return readInfo(handle, ctx, next, device, info, answered); });
}

FSA_STATUS modelSmart(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart,
                      uint32_t* answered)
{
    return FsaExportedCall("FsaNewApiInternalGetSmartDeviceInfo", handle, FSA_READ_ONLY_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return readSmart(handle, ctx, next, device, smart, answered); });
}

// The routers: nothing to read without a configuration model.
template <class Record, class Reader>
FSA_STATUS route(const char* name, void* handle, int next, const FSA_STORAGE_DEVICE* device, Record* record,
                 uint32_t* answered, Reader reader)
{
    return FsaExportedCall(name, handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if ((FsaOptionWord3(ctx) & kOpt3ConfigModel) == 0)
            return FSA_STS_NOT_SUPPORTED;
        return reader(handle, next, device, record, answered);
    });
}

FSA_STATUS routeInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_STORAGE_DEVICE_INFO* info,
                     uint32_t* answered)
{
    return route("FsaApiInternalGetStorageDeviceInfo", handle, next, device, info, answered, modelInfo);
}

FSA_STATUS routeSmart(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart,
                      uint32_t* answered)
{
    return route("FsaApiInternalGetSmartDeviceInfo", handle, next, device, smart, answered, modelSmart);
}

// The mode of a bus; a bus beyond the table has none, so a walk passes it.
uint32_t channelModeOf(const FSAAPI_CONTEXT* ctx, uint32_t bus)
{
    return bus < std::size(ctx->channelKind) ? ctx->channelKind[bus] : 0;
}

// The filter: a direct lookup is checked against the channel's mode; a walk
// re-asks, with the answered device as the cursor, until it answers a device
// on a channel of `mode`. A re-ask must move forward: duplicate addresses on
// a passed-over channel would otherwise answer the same device for ever.
template <class Record, class Router>
FSA_STATUS filter(const char* name, void* handle, int next, const FSA_STORAGE_DEVICE* device, Record* record,
                  FSAAPI_CHANNEL_MODE mode, Router router)
{
    return FsaExportedCall(name, handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) -> FSA_STATUS {
        if (next == 0)
            PCK_ValidateChannelMode(ctx, mode, device, 1);
        uint32_t answered = kNoIndex;
        FSA_STATUS result = router(handle, next, device, record, &answered);
        while (result == FSA_STS_SUCCESS && next != 0) {
            FSA_STORAGE_DEVICE cursor{};
            FsaSetDeviceLocation(ctx->vynIoConfig->phyDevs()[answered], &cursor);
            if (channelModeOf(ctx, cursor.busNumber) == mode)
                break;
            const uint32_t previous = answered;
            result = router(handle, next, &cursor, record, &answered);
            if (result == FSA_STS_SUCCESS && answered <= previous)
                return static_cast<FSA_STATUS>(FSA_STS_NO_MORE_DEVICES);
        }
        return result;
    });
}

}  // namespace

uint32_t FsaGetDeviceIndex(void* handle, const FSA_STORAGE_DEVICE* device, int next)
{
    uint32_t index = kNoIndex;
    FsaExportedCall("FsaGetDeviceIndex", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        index = deviceIndex(ctx, device, next);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
    return index;
}

void FsaSetDeviceLocation(const FsaVynIoPhyDevInfo* node, FSA_STORAGE_DEVICE* out)
{
    const uint8_t* r = recordOf(node);
    switch (r[kKind]) {
    case 1: out->storageDeviceType = 0; break;
    case 2: out->storageDeviceType = 2; break;
    case 3: out->storageDeviceType = 3; break;
    case 4: out->storageDeviceType = 4; break;
    default: out->storageDeviceType = 1; break;
    }
    out->busNumber = r[kBus];
    out->targetId = r[kTarget];
    out->lun = r[kLun];
}

FsaVynIoPhyDevInfo* FsaGetPhyDevFromHandle(FSAAPI_CONTEXT* ctx, uint32_t deviceHandle)
{
    if (ctx == nullptr || ctx->vynIoConfig == nullptr)
        return nullptr;
    return ctx->vynIoConfig->findPhyDev(deviceHandle);
}

FSA_STATUS FsaNewApiInternalGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                 FSA_STORAGE_DEVICE_INFO* info)
{
    return modelInfo(handle, next, device, info, nullptr);
}

FSA_STATUS FsaNewApiInternalGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                               FSA_SMART_DATA* smart)
{
    return modelSmart(handle, next, device, smart, nullptr);
}

FSA_STATUS FsaApiInternalGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                              FSA_STORAGE_DEVICE_INFO* info)
{
    return routeInfo(handle, next, device, info, nullptr);
}

FSA_STATUS FsaApiInternalGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                            FSA_SMART_DATA* smart)
{
    return routeSmart(handle, next, device, smart, nullptr);
}

FSA_STATUS FsaApiInternalGetStorageDeviceInfoForChanMode(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                         FSA_STORAGE_DEVICE_INFO* info, FSAAPI_CHANNEL_MODE mode)
{
    return filter("FsaApiInternalGetStorageDeviceInfoForChanMode", handle, next, device, info, mode, routeInfo);
}

FSA_STATUS FsaApiInternalGetSmartDeviceInfoForChanMode(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                       FSA_SMART_DATA* smart, FSAAPI_CHANNEL_MODE mode)
{
    return filter("FsaApiInternalGetSmartDeviceInfoForChanMode", handle, next, device, smart, mode, routeSmart);
}

FSA_STATUS FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                   FSA_STORAGE_DEVICE_INFO* info)
{
    return FsaExportedCall("FsaGetStorageDeviceInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        return FsaApiInternalGetStorageDeviceInfoForChanMode(handle, next, device, info, FSAAPI_CHANNEL_MODE_1);
    });
}

FSA_STATUS FsaGetScsiStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                       FSA_STORAGE_DEVICE_INFO* info)
{
    return FsaExportedCall("FsaGetScsiStorageDeviceInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        return FsaApiInternalGetStorageDeviceInfoForChanMode(handle, next, device, info, FSAAPI_CHANNEL_MODE_2);
    });
}

FSA_STATUS FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart)
{
    return FsaExportedCall("FsaGetSmartDeviceInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        return FsaApiInternalGetSmartDeviceInfoForChanMode(handle, next, device, smart, FSAAPI_CHANNEL_MODE_1);
    });
}
