// Read-only exports for the controller object: the channel walk, the paused
// and OEM-id queries, SAS phys, container options, RAID-6 options and the
// preparation of a configuration walk.
#include "Command/Vyn/common/fa_readonly.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_dynprops.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <algorithm>
#include <cstring>

namespace {

FSA_STATUS ok() { return FSA_STS_SUCCESS; }

// Positions in the enhanced bus information.
constexpr size_t kBusCount = 4;
constexpr size_t kBusTargets = 8;
constexpr size_t kBusIds = 12;
constexpr size_t kBusStates = 22;
constexpr size_t kBusTypes = 36;
constexpr size_t kBusPorts = 76;
constexpr size_t kBusLinkSpeeds = 86;
// The per-bus arrays of the 156-byte record have room for ten buses.
constexpr uint32_t kBusRecordRoom = 10;
constexpr uint32_t kChannelTableRoom = sizeof(FSAAPI_CONTEXT::channelKind) / sizeof(uint32_t);

constexpr uint32_t kOpt1WideChannels = 0x80;

uint32_t channelTypeOfAdapter(uint32_t adapterType, uint32_t option1)
{
    switch (adapterType) {
    case 5: return 6;
    case 7: case 8: case 9: return 7;
    case 18: return (option1 & kOpt1WideChannels) ? 10 : 9;
    case 19: case 20: case 21: return 10;
    default: return adapterType >= 10 && adapterType <= 17 ? 9 : 0;
    }
}

uint32_t defaultLinkSpeed(uint32_t channelType)
{
    static const uint32_t kSpeed[] = {1, 5, 10, 10, 20, 20, 40, 80, 100, 160, 320, 150, 300};
    return channelType < sizeof kSpeed / sizeof kSpeed[0] ? kSpeed[channelType] : 1;
}

uint32_t channelMode(uint8_t busState)
{
    switch (busState) {
    case 1: return 0;
    case 0: return 1;
    case 2: return 2;
    case 3: return 3;
    default: return 4;
    }
}

FSA_STATUS enumChannels(FSAAPI_CONTEXT* ctx, void* context, FSA_ENUM_CHANNELS_CALLBACK callback, uint32_t kind)
{
    EnhancedGetBusInfo_CSS info;
    if (SCSI_GetBusInfo(ctx, &info) != FSA_STS_SUCCESS)
        return FSA_STS_NOT_IMPLEMENTED;
    const uint8_t* b = info.bytes;
    const uint32_t reported = faGetLe32(b + kBusCount);
    // A count beyond the record's per-bus arrays or the context's channel
    // table would read past both.
    const uint32_t buses = std::min({reported, kBusRecordRoom, kChannelTableRoom});
    const bool typed = SCSI_GetBusInfoIsSupported(&info, kBusTypes) != 0;
    const bool withPorts = SCSI_GetBusInfoIsSupported(&info, kBusPorts) != 0;
    const uint32_t version = faGetLe32(b + BUS_INFO_VERSION);
    const uint32_t adapterType = faGetLe32(ctx->generalInfo.bytes + GI_ADAPTER_TYPE);
    for (uint32_t bus = 0; bus < buses; ++bus) {
        if (ctx->channelKind[bus] != kind)
            continue;
        _tagFSA_CHANNEL_ENUM_INFO record;
        std::memset(&record, 0, sizeof record);
        record.busIndex = bus;
        record.adapterScsiId = static_cast<int8_t>(b[kBusIds + bus]);
        record.targetsAvailable = faGetLe32(b + kBusTargets);
        record.channelType = typed ? TranslateFwBusTypeToFsaChannel(faGetLe32(b + kBusTypes + 4 * bus))
                                   : channelTypeOfAdapter(adapterType, FsaOptionWord1(ctx));
        record.maxUsageType = 0;
        record.clustered = 0;
        record.partnerChannel = 0xFFFFFFFFu;
        record.partnerScsiId = 0xFFFFFFFFu;
        record.channelMode = channelMode(b[kBusStates + bus]);
        if (withPorts)
            record.portsMapped = b[kBusPorts + bus];
        else if (reported == 1)
            record.portsMapped = faGetLe32(ctx->generalInfo.bytes + GI_MAX_NUMBER_PORTS);
        const uint16_t speed = faGetLe16(b + kBusLinkSpeeds + 2 * bus);
        record.linkSpeed = version > 3 && speed != 0 ? speed : defaultLinkSpeed(record.channelType);
        callback(reported, &record, context);
    }
    return ok();
}

// FIB 612: one adapter phy.
constexpr uint16_t kFibSasPhy = 612;
constexpr uint16_t kSasPhyRequestSize = 20;
constexpr unsigned kFibHeader = 32;

uint8_t upperNibble(uint8_t v) { return static_cast<uint8_t>(v >> 4); }

// Drive phys: the two records of a physical-device node.
constexpr size_t kPhyDevFirstPhy = 176;
constexpr size_t kPhyDevSecondPhy = 224;

// The place of a drive among the configuration model's physical devices,
// found as the device walk finds it.
bool findModelDevice(const FsaVynIoAdapterConfig* config, const FSA_STORAGE_DEVICE* device, size_t* index)
{
    if (config == nullptr)
        return false;
    const uint32_t at = config->firstPhyDevAt(device->busNumber, device->targetId, device->lun);
    if (at == 0xFFFFFFFFu)
        return false;
    *index = at;
    return true;
}

// Container options: where each 16-byte group comes from.
constexpr unsigned kCtRaidOptions = 217;
constexpr unsigned kCtRaid6Options = 219;
constexpr size_t kOptionEntryBytes = 36;
constexpr size_t kOptionGroupBytes = 16;
constexpr unsigned kRaidOptionsBytes = 216;
constexpr uint32_t kOpt2RaidOptions = 0x10;
// CT 73 entry i lands in group kGroupOf73[i]; CT 217 entry i in kGroupOf217[i].
constexpr size_t kGroupOf73[8] = {0, 2, 1, 3, 12, 14, 13, 15};
constexpr size_t kGroupOf217[6] = {4, 5, 6, 16, 17, 18};

void copyGroups(uint8_t* out, const uint8_t* reply, const size_t* groups, size_t n)
{
    for (size_t e = 0; e < n; ++e)
        std::memcpy(out + groups[e] * kOptionGroupBytes, reply + e * kOptionEntryBytes, kOptionGroupBytes);
}

// The copy shared by the firmware read and the context's stored options.
void copyRaid6Options(uint8_t* out, const uint8_t* from)
{
    for (size_t word : {size_t{4}, size_t{8}, RAID6_OPT_ENTRY_COUNT, RAID6_OPT_FLAGS})
        std::memcpy(out + word, from + word, 4);
    // A count beyond the tables' 32 entries would run over the record.
    const uint32_t entries = std::min(faGetLe32(from + RAID6_OPT_ENTRY_COUNT), RAID6_OPT_MAX_ENTRIES);
    const bool reedSolomon = (faGetLe32(from + RAID6_OPT_FLAGS) & RAID6_OPT_FLAG_RS) != 0;
    for (uint32_t i = 0; i < entries; ++i) {
        std::memcpy(out + RAID6_OPT_TABLE + 4 * i, from + RAID6_OPT_TABLE + 4 * i, 4);
        if (reedSolomon)
            std::memcpy(out + RAID6_OPT_RS_TABLE + 4 * i, from + RAID6_OPT_RS_TABLE + 4 * i, 4);
    }
}

}  // namespace

FSA_STATUS FsaApiInternalGetRaid6Options(FSAAPI_CONTEXT* ctx, void* record)
{
    if (ctx == nullptr || record == nullptr)
        return FSA_STS_BAD_PARAMETER;
    try {
        uint8_t reply[sizeof(FSA_RAID6_OPTIONS)] = {};
        CT_SendReceiveFIB(ctx, kCtRaid6Options, nullptr, nullptr, nullptr, nullptr, 0, reply, sizeof reply, 1);
        copyRaid6Options(static_cast<uint8_t*>(record), reply);
    } catch (FSA_STATUS thrown) {
        return thrown;
    }
    return ok();
}

extern "C" FSA_STATUS FsaApiInternalEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback,
                                                 uint32_t kind)
{
    return FsaExportedCall("FsaApiInternalEnumChannels", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (callback == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return enumChannels(ctx, context, callback, kind);
    });
}

extern "C" FSA_STATUS FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback)
{
    FsaApiEntryExit scope("FsaEnumChannels");
    return FsaApiInternalEnumChannels(handle, context, callback, FSA_CHANNEL_KIND_PLAIN);
}

extern "C" FSA_STATUS FsaEnumScsiChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback)
{
    FsaApiEntryExit scope("FsaEnumScsiChannels");
    return FsaApiInternalEnumChannels(handle, context, callback, FSA_CHANNEL_KIND_SCSI);
}

extern "C" FSA_STATUS FsaIsAdapterPaused(void* handle, int* paused)
{
    return FsaExportedCall("FsaIsAdapterPaused", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (paused == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        *paused = FsaContextIsAdapterPaused(ctx);
        return ok();
    });
}

extern "C" FSA_STATUS FsaIsAdapterPausedEx(void* handle, int* paused)
{
    return FsaExportedCall("FsaIsAdapterPausedEx", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT*) {
        if (paused == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        // An empty list asks nobody: not paused.
        FSA_STATUS last = FSA_STS_SUCCESS;
        int answer = 0;
        void* entry = nullptr;
        for (uint32_t i = 0; FsaGetHandleFromIndex(handle, i, &entry) == FSA_STS_SUCCESS; ++i) {
            last = FsaIsAdapterPaused(entry, &answer);
            if (last != FSA_STS_SUCCESS || answer != 0)
                break;
        }
        if (last == FSA_STS_SUCCESS)
            *paused = answer;
        return last;
    });
}

extern "C" FSA_STATUS FsaGetAdapterOemId(void* handle, uint32_t* oem)
{
    return FsaExportedCall("FsaGetAdapterOemId", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (oem == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        unsigned int id = 0;
        const FSA_STATUS s = FsaContextGetAdapterOemId(ctx, &id);
        if (s == FSA_STS_SUCCESS)
            *oem = id;
        return s;
    });
}

extern "C" FSA_STATUS FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy)
{
    return FsaExportedCall("FsaGetAdapterSasPhyInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (phy == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        std::memset(phy, 0, sizeof *phy);
        alignas(8) uint8_t fib[FSA_FIB_SIZE];
        faBuildFib(fib, sizeof fib, kFibSasPhy, kSasPhyRequestSize);
        faPutLe32(fib + kFibHeader, phyIndex);
        const FSA_STATUS s = FsaInternalSendReceiveFib(ctx, faAsFib(fib), 1, sizeof fib);
        std::memcpy(phy->bytes, fib + kFibHeader, sizeof phy->bytes);
        phy->bytes[0] = upperNibble(phy->bytes[0]);
        phy->bytes[36] = upperNibble(phy->bytes[36]);
        return s;
    });
}

extern "C" FSA_STATUS FsaNewGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first,
                                              void* second)
{
    return FsaExportedCall("FsaNewGetDiskSasPhyInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (device == nullptr || first == nullptr || second == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        size_t index = 0;
        if (!findModelDevice(ctx->vynIoConfig, device, &index))
            return static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
        const uint8_t* r = ctx->vynIoConfig->phyDevs()[index]->record.bytes;
        std::memcpy(first, r + kPhyDevFirstPhy, sizeof(_FSA_SAS_DISK_PHY_INFO));
        std::memcpy(second, r + kPhyDevSecondPhy, sizeof(_FSA_SAS_DISK_PHY_INFO));
        return ok();
    });
}

extern "C" FSA_STATUS FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first, void* second)
{
    return FsaNewGetDiskSasPhyInfo(handle, device, first, second);
}

extern "C" FSA_STATUS FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options)
{
    return FsaExportedCall("FsaGetContainerOptions", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (options == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint8_t params[8 * kOptionEntryBytes] = {};
        FSA_STATUS last = CT_ContainerParams(ctx, params);
        if (last == FSA_STS_SUCCESS)
            copyGroups(options->bytes, params, kGroupOf73, 8);
        if (FsaOptionWord2(ctx) & kOpt2RaidOptions) {
            uint8_t raid[kRaidOptionsBytes] = {};
            last = CT_SendReceiveFIB(ctx, kCtRaidOptions, nullptr, nullptr, nullptr, nullptr, 0, raid, sizeof raid, 1);
            if (last == FSA_STS_SUCCESS)
                copyGroups(options->bytes, raid, kGroupOf217, 6);
        }
        return last;
    });
}

extern "C" FSA_STATUS FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options)
{
    return FsaExportedCall("FsaGetRaid6Options", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (options == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        copyRaid6Options(options->bytes, ctx->raid6Options);
        return ok();
    });
}

extern "C" FSA_STATUS FsaStartGetConfig(void* handle)
{
    return FsaExportedCall("FsaStartGetConfig", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        // The configuration model first, so that the walk that follows
        // reads what the controller holds now.
        try {
            GetVynIoConfig(ctx);
        } catch (FSA_STATUS) {
        }
        try {
            FsaSyncTimeStructs(ctx);
        } catch (FSA_STATUS) {
        }
        return ok();
    });
}
