#include "Command/Vyn/common/fa_open.h"

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_blinker.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_enum.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_parse.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/faux_aif.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_oem_ulb.h"
#include "Command/Vyn/os/faux_opensup.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

// FIB commands of the bring-up.
constexpr uint16_t kFibCheckRevision = 701;
constexpr uint16_t kFibAdapterInfo = 703;
constexpr uint16_t kFibSupplementInfo = 706;
constexpr uint16_t kFibSupplementInfoExt = 707;
constexpr uint16_t kFibConnectorMap = 708;
constexpr uint16_t kFibEnvironment = 803;
constexpr uint16_t kFibMfgSerial = 906;

constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = 512;
constexpr unsigned kLargeFibBytes = 2048;
constexpr unsigned kLargePayload = kLargeFibBytes - kFibHeader;

// Adapter information reply.
constexpr size_t kAiBootRevision = 36;
constexpr size_t kAiBiosRevision = 44;
constexpr size_t kAiHardwareRevision = 52;
constexpr size_t kAiWord19 = 76;
constexpr size_t kAiWords = 22;
constexpr unsigned kAiZeroed = 88;
// Supplement information reply.
constexpr unsigned kSupZeroed = 480;
constexpr size_t kSupVersion = 32;
constexpr size_t kSupOptions2 = 36;

// Adapter option word bits.
constexpr uint32_t kOpt1Supplement = 0x10000;
constexpr uint32_t kOpt1Lba64 = 0x40000;
constexpr uint32_t kOpt1Environment = 0x80000;
constexpr uint32_t kOpt1Alarm = 0x800;
constexpr uint32_t kOpt1Channel1A = 0x2000;
constexpr uint32_t kOpt1Channel1B = 0x4000;
// Supported-option bits.
constexpr uint32_t kOpt2Raid6 = 0x10;
constexpr uint32_t kOpt2SupplementExt = 0x80;
constexpr uint32_t kOpt2ConnectorMap = 0x100;
constexpr uint32_t kOpt2MfgSerial = 0x2000000;

constexpr uint32_t kUnset = 0xFFFFFFFFu;
constexpr uint32_t kMaxMembers = 128;
constexpr uint32_t kMaxContainerNumber = 256;
constexpr uint32_t kMaxTransfer = 0xA00000;
constexpr unsigned kContainerParamsBytes = 288;
constexpr unsigned kRaidOptionsBytes = 216;
constexpr unsigned kMiscStatusBytes = 48;
constexpr size_t kMiscSerial = 20;
constexpr unsigned kHostNameChars = 256;

struct RevRow {
    uint32_t a, b, minAChecksB, minBChecksA;
};
const RevRow kRevCompareTable[16] = {
    {1, 4, 2120, 2120}, {2, 4, 2120, 2120}, {2, 5, 257, 257}, {2, 6, 257, 257},  {2, 7, 257, 257},
    {4, 5, 2120, 2120}, {4, 6, 2120, 2120}, {4, 7, 2120, 2120}, {4, 3, 2120, 2120}, {5, 6, 100, 100},
    {5, 7, 257, 257},   {6, 7, 257, 257},   {6, 8, 100, 100},   {4, 3, 2120, 2120}, {4, 9, 2120, 2120},
    {3, 9, 2120, 2120},
};

FSA_GENERAL_INFO2& gi(FSAAPI_CONTEXT* ctx) { return ctx->generalInfo; }
void put32(FSAAPI_CONTEXT* ctx, size_t field, uint32_t v) { faPutLe32(gi(ctx).bytes + field, v); }
void put16(FSAAPI_CONTEXT* ctx, size_t field, uint16_t v) { faPutLe16(gi(ctx).bytes + field, v); }

void putRevision(FSAAPI_CONTEXT* ctx, size_t field, const FSA_REVISION& rev)
{
    uint8_t* p = gi(ctx).bytes + field;
    p[0] = rev.dash;
    p[1] = rev.type;
    p[2] = rev.minor;
    p[3] = rev.major;
    faPutLe32(p + 4, rev.buildNumber);
}

FSA_REVISION readRevision(const uint8_t* p)
{
    FSA_REVISION rev;
    rev.dash = p[0];
    rev.type = p[1];
    rev.minor = p[2];
    rev.major = p[3];
    rev.buildNumber = faGetLe32(p + 4);
    return rev;
}

void buildFib(uint8_t* fib, unsigned fibBytes, uint16_t command, uint16_t size)
{
    faBuildFib(fib, fibBytes, command, size);
}

_FIB* asFib(uint8_t* fib) { return faAsFib(fib); }

// Container parameter pairs (w, w + 1); unset when both words are -1.
struct Params {
    uint8_t bytes[kContainerParamsBytes] = {};
    uint32_t word(size_t w) const { return w * 4 + 4 <= sizeof bytes ? faGetLe32(bytes + w * 4) : kUnset; }
    bool unset(size_t w) const { return word(w) == kUnset && word(w + 1) == kUnset; }
};

struct RaidOptions {
    uint8_t bytes[kRaidOptionsBytes] = {};
    uint32_t word(size_t w) const { return w * 4 + 4 <= sizeof bytes ? faGetLe32(bytes + w * 4) : kUnset; }
    bool unset(size_t w) const { return word(w) == kUnset && word(w + 1) == kUnset; }
};

uint32_t adapterTypeCode(uint32_t w1, uint32_t w2)
{
    switch (w1) {
    case 1: return 0;
    case 2: return w2 >= 1 && w2 <= 4 ? w2 : 8;
    case 3: return 5;
    case 5: return 7;
    case 9: return 9;
    case 10: return 10;
    default: return 6;
    }
}

uint32_t platformWord(uint32_t w21)
{
    switch (w21) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 3;
    case 3: return 4;
    case 4:
    case 5: return 1;
    default: return 2;
    }
}

// Step 14: the container-operation capability mask.
uint32_t capabilityMask(FSAAPI_CONTEXT* ctx, const Params& p)
{
    uint32_t mask = 0xFFF;
    if (p.unset(0))
        mask &= ~0x3u;
    else if (p.word(0) == 1 && p.word(1) == 1)
        mask &= ~0x2u;
    if (p.unset(36))
        mask &= ~0x4u;
    if (p.unset(9))
        mask &= ~0x8u;
    if (p.unset(18))
        mask &= ~0x30u;
    else if (p.unset(45))
        mask &= ~0x20u;
    if (p.unset(27) || (ctx->extendedOptions & 0x20000) == 0)
        mask &= ~0x180u;
    else if (p.unset(45))
        mask &= ~0x100u;
    if ((FsaOptionWord2(ctx) & kOpt2Raid6) == 0) {
        mask &= ~0xE40u;
        return mask;
    }
    RaidOptions r;
    CT_SendReceiveFIB(ctx, 217, nullptr, nullptr, nullptr, nullptr, 0, r.bytes, sizeof r.bytes, 1);
    const uint32_t enable = FsaOptionWord4(ctx);
    if (r.unset(18) || (enable & 0x4) == 0)
        mask &= ~0x40u;
    if (r.unset(9) || (enable & 0x8) == 0)
        mask &= ~0x200u;
    if (r.unset(0) || (enable & 0x10) == 0)
        mask &= ~0xC00u;
    else if (p.unset(45))
        mask &= ~0x800u;
    return mask;
}

// Step 20: the limits of the container parameters.
FSA_STATUS containerLimits(FSAAPI_CONTEXT* ctx, const Params& p)
{
    uint32_t largest = 0;
    for (size_t w : {1, 10, 28})
        if (p.word(w) != kUnset)
            largest = std::max(largest, p.word(w));
    put32(ctx, GI_MAX_LD_MEMBERS, largest);
    put32(ctx, GI_MAX_VOLUME_MEMBERS, p.word(37));
    put32(ctx, GI_MAX_RAID0_MEMBERS, p.word(10));
    put32(ctx, GI_MAX_RAID5_MEMBERS, p.word(28));
    put32(ctx, GI_MIN_STRIPE_BYTES, 512 * p.word(11));
    put32(ctx, GI_MAX_STRIPE_BYTES, 512 * p.word(12));
    uint32_t smallest = kUnset;
    for (size_t entry = 0; entry < 6; ++entry) {
        const uint32_t maxSize = p.word(entry * 9 + 6);
        if (!p.unset(entry * 9) && maxSize != 0)
            smallest = std::min(smallest, maxSize);
    }
    ctx->smallestMaxContainerBlocks = smallest;
    if (largest > kMaxMembers)
        return FSA_STS_ADAPTER_MISMATCH;
    return FSA_STS_SUCCESS;
}

// Step 12: what the supplement information gives, by its version.
void keepSupplement(FSAAPI_CONTEXT* ctx, const uint8_t* sup)
{
    const uint32_t version = faGetLe32(sup + kSupVersion);
    const uint16_t slot = version > 2 && sup[40] != 0xFF ? faGetLe16(sup + 40) : 0xFFFF;
    put16(ctx, GI_PCI_PHYSICAL_SLOT, slot);
    put32(ctx, GI_MAX_NUMBER_PORTS, faGetLe32(sup + 7 * 4));
    put32(ctx, GI_NUM_SAS_PORTS, faGetLe32(sup + 14 * 4) & 0xFFFF);
    if (version > 4)
        std::memcpy(gi(ctx).bytes + GI_VPD_ASSEMBLY, sup + 60, 32);
    if (version > 5)
        std::memcpy(gi(ctx).bytes + GI_STAGED_FIRMWARE_VERSION, sup + 104, 8);
    if (version > 7)
        std::memcpy(gi(ctx).bytes + GI_BOOT_FIRMWARE_VERSION, sup + 116, 8);
    if (version > 10) {
        gi(ctx).bytes[GI_HOST_BUS_TYPE] = sup[160];
        gi(ctx).bytes[GI_HOST_BUS_WIDTH] = sup[161];
        put16(ctx, GI_HOST_BUS_SPEED, faGetLe16(sup + 162));
        gi(ctx).bytes[GI_SSD_CACHE_MAX_DRIVES] = sup[164];
        gi(ctx).bytes[GI_MAX_DISK_TASKS] = sup[165];
        put32(ctx, GI_SSD_CAPACITY, faGetLe32(sup + 168));
        put32(ctx, GI_SSD_CAPACITY + 4, faGetLe32(sup + 172));
    }
}

// Step 26: the connector map, kept only when it lies inside the reply.
void readConnectorMap(FSAAPI_CONTEXT* ctx)
{
    std::unique_ptr<uint8_t[]> fib(new (std::nothrow) uint8_t[kLargeFibBytes]);
    if (!fib)
        return;
    buildFib(fib.get(), kLargeFibBytes, kFibConnectorMap, 4);
    if (FsaInternalSendReceiveFib(ctx, asFib(fib.get()), 0, kLargeFibBytes) != FSA_STS_SUCCESS)
        return;
    const uint8_t* reply = fib.get() + kFibHeader;
    if (faGetLe32(reply) != 1 || reply[4] == 0 || reply[5] == 0)
        return;
    const uint32_t bytes = 20 + 16u * reply[4] + 12u * reply[5];
    // The announced counts may describe more than one reply can carry.
    if (bytes > kLargePayload)
        return;
    void* map = std::malloc(bytes);
    if (map == nullptr)
        return;
    std::memcpy(map, reply, bytes);
    ctx->connectorMap = map;
    ctx->connectorMapBytes = bytes;
}

// Step 21: board serial words.
void readSerials(FSAAPI_CONTEXT* ctx)
{
    uint8_t misc[kMiscStatusBytes] = {};
    CT_GetMiscStatus(ctx, misc);
    uint32_t& opt2 = FsaOptionWord2(ctx);
    if (opt2 & kOpt2MfgSerial) {
        alignas(8) uint8_t fib[kFibBytes];
        buildFib(fib, kFibBytes, kFibMfgSerial, 4);
        const FSA_STATUS sent = FsaInternalSendReceiveFib(ctx, asFib(fib), 0, kFibBytes);
        const uint8_t* reply = fib + kFibHeader;
        if (sent == FSA_STS_SUCCESS || faGetLe32(reply) == 1) {
            ctx->boardSerial[0] = faGetLe32(reply + 4);
            ctx->boardSerial[1] = faGetLe32(reply + 8);
            put32(ctx, GI_LONG_SERIAL, faGetLe32(reply + 12));
        } else {
            opt2 &= ~kOpt2MfgSerial;
        }
    }
    if (ctx->boardSerial[0] == 0) {
        opt2 &= ~kOpt2MfgSerial;
        ctx->boardSerial[0] = faGetLe32(misc + kMiscSerial);
        ctx->boardSerial[1] = faGetLe32(misc + kMiscSerial + 4);
        put32(ctx, GI_LONG_SERIAL, 0);
    }
    put32(ctx, GI_SERIAL_NUMBER_0, ctx->boardSerial[0]);
    put32(ctx, GI_SERIAL_NUMBER_1, ctx->boardSerial[1]);
    ctx->adapterIdentityWord = ctx->boardSerial[0];
}

// Copies a wide string of at most `room` characters, always terminated.
void copyWide(wchar_t* dst, const wchar_t* src, size_t room)
{
    size_t i = 0;
    for (; i + 1 < room && src[i] != L'\0'; ++i)
        dst[i] = src[i];
    dst[i] = L'\0';
}

// Step 10 of the open: everything a failed open made goes again.
void unwindOpen(FSAAPI_CONTEXT* ctx)
{
    for (void*& channel : ctx->aifChannel) {
        if (channel != nullptr) {
            try {
                faos_CloseAIFReceiveChannel(ctx, channel);
            } catch (FSA_STATUS) {
            }
            channel = nullptr;
        }
    }
    delete ctx->blinkManager;
    ctx->blinkManager = nullptr;
    faos_CloseChannelToAdapter(ctx);
    if (ctx->apiHandle != nullptr)
        UtilDeleteHandle(ctx->apiHandle);
    delete ctx;
}

}  // namespace

uint32_t RevGetBuildNumber() { return FSA_LIBRARY_BUILD; }

int RevCheckCompatibility(uint32_t a, uint32_t b, uint32_t build)
{
    if (FSA_LIBRARY_BUILD < build)
        return 1;
    for (const RevRow& row : kRevCompareTable)
        if (row.a == a && row.b == b)
            return build >= row.minAChecksB;
    for (const RevRow& row : kRevCompareTable)
        if (row.a == b && row.b == a)
            return build >= row.minBChecksA;
    return 0;
}

int FsaContextIsAdapterPaused(FSAAPI_CONTEXT* ctx)
{
    alignas(8) uint8_t fib[kFibBytes];
    buildFib(fib, kFibBytes, FIB_CMD_IS_ADAPTER_PAUSED, 4);
    FsaInternalSendReceiveFib(ctx, asFib(fib), 1, kFibBytes);
    return faGetLe32(fib + kFibHeader) != 0 ? 1 : 0;
}

FSA_STATUS FsaContextGetAdapterOemId(FSAAPI_CONTEXT* ctx, unsigned int* oemId)
{
    try {
        uint32_t id = 0;
        CT_GetOemId(ctx, &id);
        *oemId = id;
    } catch (FSA_STATUS status) {
        return status;
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaInternalCommonContextInit(FSAAPI_CONTEXT* ctx, unsigned int callerBuild)
{
    if (!RevCheckCompatibility(4, 1, callerBuild))
        return FSA_STS_CALLER_INCOMPATIBLE;
    ctx->openState = 0;
    const uint32_t handle = UtilCreateHandle(ctx);
    if (handle == 0)
        return FSA_STS_NO_HANDLE;
    ctx->apiHandle = FsaHandleFromNumber(handle);
    ctx->callerBuild = callerBuild;

    std::memset(&ctx->generalInfo, 0, sizeof ctx->generalInfo);
    ctx->libraryRevision = RevGetFullRevision();
    ctx->osType = static_cast<uint32_t>(faos_GetOSType());
    ctx->osTypeOverride = 0;
    putRevision(ctx, GI_API_VERSION, ctx->libraryRevision);

    if (FsaContextIsAdapterPaused(ctx)) {
        ctx->paused = 1;
        return FSA_STS_OPEN_PAUSED;
    }
    ctx->scsiMethod = CT_GetScsiMethod(ctx);
    const int access = faos_CheckAdapterAccess(ctx, ctx->accessMode);
    if (access != 1)
        return static_cast<FSA_STATUS>(access);

    // Step 7: revisions of both sides.
    alignas(8) uint8_t fib[kFibBytes];
    buildFib(fib, kFibBytes, kFibCheckRevision, 12);
    faPutLe32(fib + kFibHeader, 4);
    uint8_t* rev = fib + kFibHeader + 4;
    rev[0] = ctx->libraryRevision.dash;
    rev[1] = ctx->libraryRevision.type;
    rev[2] = ctx->libraryRevision.minor;
    rev[3] = ctx->libraryRevision.major;
    faPutLe32(rev + 4, ctx->libraryRevision.buildNumber);
    FsaInternalSendReceiveFib(ctx, asFib(fib), 1, kFibBytes);
    if (faGetLe32(fib + kFibHeader) == 0)
        return FSA_STS_ADAPTER_MISMATCH;
    if (!RevCheckCompatibility(4, 7, faGetLe32(fib + kFibHeader + 8)))
        return FSA_STS_FIRMWARE_INCOMPATIBLE;
    ctx->firmwareRevision = readRevision(fib + kFibHeader + 4);
    putRevision(ctx, GI_FIRMWARE_VERSION, ctx->firmwareRevision);

    // Steps 8 and 9: adapter and supplement information.
    alignas(8) uint8_t info[kFibBytes];
    buildFib(info, kFibBytes, kFibAdapterInfo, 4);
    std::memset(info + kFibHeader, 0, kAiZeroed);
    FsaInternalSendReceiveFib(ctx, asFib(info), 1, kFibBytes);
    const uint8_t* ai = info + kFibHeader;
    auto aiWord = [ai](size_t w) { return faGetLe32(ai + 4 * w); };
    alignas(8) uint8_t supFib[kFibBytes];
    const uint8_t* sup = nullptr;
    if (aiWord(20) & kOpt1Supplement) {
        buildFib(supFib, kFibBytes, kFibSupplementInfo, 4);
        std::memset(supFib + kFibHeader, 0, kSupZeroed);
        FsaInternalSendReceiveFib(ctx, asFib(supFib), 1, kFibBytes);
        sup = supFib + kFibHeader;
    }

    // Step 10.
    ctx->bootRevision = readRevision(ai + kAiBootRevision);
    ctx->biosRevision = readRevision(ai + kAiBiosRevision);
    ctx->hardwareRevision = readRevision(ai + kAiHardwareRevision);
    putRevision(ctx, GI_BIOS_VERSION, ctx->biosRevision);
    for (size_t w = 0; w < kAiWords; ++w)
        ctx->adapterInfoWords[w] = aiWord(w);
    ctx->adapterInfoWords[kAiWord19 / 4] = faGetLe32(ai + kAiWord19);
    FsaOptionWord1(ctx) = aiWord(20);
    if (faos_OsAndDriverSupport64BitLBA(ctx) != 1)
        FsaOptionWord1(ctx) &= ~kOpt1Lba64;

    // Step 11.
    std::unique_ptr<_tagFSA_ADAPTER_ENUM_INFO> en(new (std::nothrow) _tagFSA_ADAPTER_ENUM_INFO());
    if (!en)
        return FSA_STS_OUT_OF_MEMORY;
    PopulateOSIndependentPartAdapterEnum(en.get(), reinterpret_cast<_ADAPTER_INFO_STRUCT*>(info + kFibHeader),
                                         reinterpret_cast<_ADAPTER_SUPPLEMENT_INFO_STRUCT*>(sup ? supFib + kFibHeader
                                                                                                : nullptr));
    copyWide(ctx->adapterModel, en->adapterTypeText, 17);
    for (size_t i = 0; i < 17; ++i) {
        const wchar_t c = ctx->adapterModel[i];
        faPutLe32(gi(ctx).bytes + GI_DESCRIPTION + 4 * i, static_cast<uint32_t>(c));
        if (c == L'\0')
            break;
    }

    // Step 12.
    if (sup != nullptr) {
        keepSupplement(ctx, sup);
        if (faGetLe32(sup + kSupOptions2) & kOpt2SupplementExt) {
            alignas(8) uint8_t ext[kFibBytes];
            buildFib(ext, kFibBytes, kFibSupplementInfoExt, 4);
            FsaInternalSendReceiveFib(ctx, asFib(ext), 1, kFibBytes);
            std::memcpy(gi(ctx).bytes + GI_EXPANDER_WWNS, ext + kFibHeader, 16);
        }
    } else {
        put16(ctx, GI_PCI_PHYSICAL_SLOT, 0xFFFF);
    }

    // Step 13.
    FsaInitSupportedOptions(ctx, sup);
    ctx->extendedOptions |= 0x20000 | 0x40000;

    // Step 14.
    Params params;
    CT_ContainerParams(ctx, params.bytes);
    ctx->containerOpMask = capabilityMask(ctx, params);
    {
        // An unset RAID-0 entry leaves no limits to check against.
        auto bytesOf = [&](size_t w) { return params.unset(9) ? 0u : params.word(w) * 512u; };
        ctx->chunkMinimum = bytesOf(11);
        ctx->chunkMaximum = bytesOf(12);
        ctx->chunkGranularity = bytesOf(13);
        ctx->minContainerBytes = params.unset(9) ? 0 : static_cast<uint64_t>(params.word(14)) * 512u;
    }
    put32(ctx, GI_RAID_SUPPORT_MASK, ctx->containerOpMask);

    // Step 15.
    if (FsaOptionWord1(ctx) & kOpt1Environment) {
        alignas(8) uint8_t env[kFibBytes];
        buildFib(env, kFibBytes, kFibEnvironment, 4);
        faPutLe32(env + kFibHeader, 1);
        if (FsaInternalSendReceiveFib(ctx, asFib(env), 0, kFibBytes) == FSA_STS_SUCCESS) {
            put16(ctx, GI_HEAT_TEMPERATURE, faGetLe16(env + kFibHeader + 36));
            put16(ctx, GI_HEAT_LOW, faGetLe16(env + kFibHeader + 40));
            put16(ctx, GI_HEAT_HIGH, faGetLe16(env + kFibHeader + 42));
        } else {
            FsaOptionWord1(ctx) &= ~kOpt1Environment;
        }
    }

    // Step 16.
    ctx->adapterType = adapterTypeCode(aiWord(1), aiWord(2));
    put32(ctx, GI_ADAPTER_TYPE, ctx->adapterType);
    put32(ctx, GI_PROCESSOR_CLOCK_MHZ, aiWord(3));
    put32(ctx, GI_ADAPTER_MEMORY, aiWord(4));
    put32(ctx, GI_EXECUTION_MEMORY, aiWord(5));
    put32(ctx, GI_BUFFER_MEMORY, aiWord(6));
    put32(ctx, GI_MAX_DEDICATED_SPARES, aiWord(15));
    put32(ctx, GI_MAX_GLOBAL_SPARES, aiWord(16));

    // Step 17.
    ctx->maxTransferBytes = kMaxTransfer;
    const FSA_STATUS driver = faos_CheckDriverCompatibility(ctx);
    if (driver != FSA_STS_SUCCESS)
        return driver;
    putRevision(ctx, GI_FS_DRIVER_VERSION, ctx->fileSystemDriverVersion);
    putRevision(ctx, GI_MINIPORT_VERSION, ctx->miniportDriverVersion);

    // Step 18.
    CT_GetOemId(ctx, &ctx->oemId);
    put32(ctx, GI_OEM_ID, ctx->oemId);
    ctx->alarmState = 2;
    if (FsaOptionWord1(ctx) & kOpt1Alarm) {
        _ALARM_INFO alarm = {};
        CT_AlarmCmdOut(ctx, CT_ALARM_GET_STATE, &alarm);
        ctx->alarmState = (alarm.bytes[0] & 0x2) ? 1 : 0;
    }
    put32(ctx, GI_ALARM_STATE, ctx->alarmState);

    // Step 19.
    EnhancedGetBusInfo_CSS bus = {};
    const FSA_STATUS busStatus = SCSI_GetBusInfo(ctx, &bus);
    if (busStatus != FSA_STS_SUCCESS)
        return busStatus;
    ctx->channelCount = std::min<uint32_t>(faGetLe32(bus.bytes + 4), 16);
    ctx->targetCount = faGetLe32(bus.bytes + 8);
    const bool kind2 = (FsaOptionWord1(ctx) & kOpt1Channel1A) && (FsaOptionWord1(ctx) & kOpt1Channel1B);
    for (uint32_t c = 0; c < 16; ++c)
        ctx->channelKind[c] = c == 1 && kind2 ? 2 : 1;
    put32(ctx, GI_NUMBER_OF_BUSES, faGetLe32(bus.bytes + 4));
    put32(ctx, GI_DEVICES_PER_BUS, ctx->targetCount);

    // Step 20.
    const FSA_STATUS limits = containerLimits(ctx, params);
    if (limits != FSA_STS_SUCCESS)
        return limits;

    // Step 21.
    readSerials(ctx);

    // Step 22.
    uint32_t accessible = 0;
    uint32_t partitions = 0;
    const uint32_t count = CT_GetContainerCount(ctx, &accessible, &partitions);
    if (count == 0 || count - 1 >= kMaxContainerNumber)
        return FSA_STS_ADAPTER_MISMATCH;
    put32(ctx, GI_MAX_CONTAINER_NUMBER, count - 1);
    put32(ctx, GI_MAX_ACCESSIBLE_CONTAINERS, accessible);
    ctx->maxAccessibleContainers = accessible;
    ctx->partitionLimitWord = partitions;
    ctx->retryWord = 30;

    // Step 23.
    ctx->platformWord = platformWord(aiWord(21));
    short pciBus = -1;
    short pciSlot = -1;
    faos_GetPCIBusAndSlotInfo(ctx, &pciBus, &pciSlot);
    ctx->pciBus = static_cast<uint32_t>(pciBus);
    ctx->pciSlot = static_cast<uint32_t>(pciSlot);
    put16(ctx, GI_PCI_BUS, static_cast<uint16_t>(pciBus));
    put16(ctx, GI_PCI_SLOT, static_cast<uint16_t>(pciSlot));
    ctx->onlineExpansion = static_cast<uint32_t>(faos_IsThereOCE(ctx));

    // Step 24.
    ctx->blinkManager = new (std::nothrow) FSA_BLINK_MANAGER;
    if (ctx->blinkManager == nullptr)
        return FSA_STS_OUT_OF_MEMORY;

    // Steps 25 to 27: what these read is optional for the open.
    if (FsaOptionWord2(ctx) & kOpt2Raid6)
        FsaApiInternalGetRaid6Options(ctx, ctx->raid6Options);
    if ((FsaOptionWord2(ctx) & kOpt2ConnectorMap) && ctx->connectorMap == nullptr)
        readConnectorMap(ctx);
    CT_GetPPITable(ctx);
    CT_GetMissingDiskList(ctx);
    GetVynIoConfig(ctx);

    // The rest of the general information of the open.
    gi(ctx).bytes[GI_OPTION_BYTE_645] = static_cast<uint8_t>(FsaOptionWord3(ctx));
    put32(ctx, GI_OS_TYPE, 5);
    put32(ctx, GI_OEM, static_cast<uint32_t>(faos_GetOEMWithNoContext()));
    put32(ctx, GI_CLUSTERING, 0);
    put32(ctx, GI_SUPPORTED_OPTIONS, FsaOptionWord1(ctx));
    put32(ctx, GI_SUPPORTED_OPTIONS2, FsaOptionWord2(ctx));
    put32(ctx, GI_OPTION_WORD3, FsaOptionWord3(ctx));
    put32(ctx, GI_OPTION_WORD4, FsaOptionWord4(ctx));
    put32(ctx, GI_MORPH_SUPPORT_MASK, ctx->optionWord2);
    put32(ctx, GI_PERFORMANCE_MODES, ctx->furtherOptions);
    return FSA_STS_SUCCESS;
}

extern "C" FSA_STATUS FsaOpenAdapter2W(const wchar_t* adapterName, const wchar_t* domainName, unsigned int callerBuild,
                                       FSA_ACCESS access, int /*flag*/, FSA_PASSWD_CALLBACK_W /*callback*/,
                                       void* /*callbackContext*/, void** handleOut, int* auxOut)
{
    FsaApiEntryExit scope("FsaOpenAdapter2W");
    if (access == 10)
        access = FSA_ACC_READ_ONLY;
    else if (access == 11)
        access = FSA_ACC_READ_WRITE;
    if (auxOut != nullptr)
        *auxOut = 0;
    if (adapterName == nullptr)
        return FSA_STS_INVALID_ADAPTER_NAME;

    // The parser leaves a part that fills its buffer unterminated: one more
    // character of room keeps every read bounded.
    wchar_t adapter[133] = {};
    wchar_t host[260] = {};
    wchar_t domain[257] = {};
    const FSA_STATUS parsed = FsaParseAdapterName(adapterName, adapter, 132, host, 259, domain, 256);
    if (parsed != FSA_STS_SUCCESS)
        return parsed;
    if (adapter[0] == L'\0')
        return FSA_STS_INVALID_ADAPTER_NAME;
    if (domainName != nullptr && domainName[0] != L'\0') {
        if (domain[0] != L'\0')
            return FSA_STS_TWO_DOMAINS;
        copyWide(domain, domainName, 257);
    }
    if (host[0] != L'\0') {
        wchar_t own[kHostNameChars + 1] = {};
        unsigned length = kHostNameChars;
        faos_GetHostName(own, &length);
        own[kHostNameChars] = L'\0';
        // The parser upper-cases what it returns.
        FA_wcsupr(own);
        if (FA_wcsncmp(host, own, kHostNameChars) == 0)
            host[0] = L'\0';
    }
    if (host[0] != L'\0')
        return FSA_STS_REMOTE_ADAPTER;
    const FSA_STATUS hostOs = FsaValidHostOs();
    if (hostOs != FSA_STS_SUCCESS)
        return hostOs;

    FSAAPI_CONTEXT* ctx = nullptr;
    try {
        ctx = new FSAAPI_CONTEXT;
    } catch (const std::bad_alloc&) {
        return FSA_STS_OUT_OF_MEMORY;
    } catch (FSA_STATUS status) {
        return status;
    }
    ctx->accessMode = access;
    int opened = 0;
    try {
        opened = faos_OpenChannelToAdapter(ctx, adapter);
    } catch (FSA_STATUS status) {
        delete ctx;
        return status;
    }
    if (opened == 0) {
        delete ctx;
        return FSA_STS_ADAPTER_NOT_FOUND;
    }
    ctx->remoteAdapter = 0;
    ctx->accessMode = access;

    FSA_STATUS status = FSA_STS_SUCCESS;
    try {
        char narrow[257] = {};
        FA_wcstombs(narrow, adapter, 256);
        narrow[256] = '\0';
        std::string mutexName = std::string("OmrWrapperMutex") + narrow;
        if (mutexName.size() > 256)
            mutexName.resize(256);
        ctx->contextMutex = faos_CreateMutex(&mutexName[0]);
        status = FsaInternalCommonContextInit(ctx, callerBuild);
    } catch (FSA_STATUS thrown) {
        status = thrown;
    }
    if (status != FSA_STS_SUCCESS) {
        unwindOpen(ctx);
        return status;
    }
    copyWide(ctx->adapterName, adapter, 16);
    copyWide(ctx->hostName, host, 257);
    const uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ctx->apiHandle));
    if (handleOut != nullptr)
        *handleOut = ctx->apiHandle;
    if (ctx->handleSerialCount < 16) {
        ctx->handleSerial[ctx->handleSerialCount] = {handle, ctx->boardSerial[0], ctx->boardSerial[1]};
        ++ctx->handleSerialCount;
    }
    return FSA_STS_SUCCESS;
}

namespace {

int passwdCallbackWrapper(void* record, wchar_t* user, wchar_t* password)
{
    struct Narrow {
        FSA_PASSWD_CALLBACK_A callback;
        void* context;
    };
    const Narrow* n = static_cast<const Narrow*>(record);
    char u[256] = {};
    char p[256] = {};
    const int result = n->callback(n->context, u, p);
    u[255] = '\0';
    p[255] = '\0';
    FA_mbstowcs(user, u, 256);
    FA_mbstowcs(password, p, 256);
    return result;
}

std::wstring widen(const char* s)
{
    std::wstring out;
    if (s == nullptr)
        return out;
    const size_t n = std::strlen(s);
    out.resize(n + 1);
    FA_mbstowcs(&out[0], s, n + 1);
    out.resize(FA_wcslen(out.c_str()));
    return out;
}

}  // namespace

extern "C" FSA_STATUS FsaOpenAdapter2A(const char* adapterName, const char* domainName, unsigned int callerBuild,
                                       FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_A callback,
                                       void* callbackContext, void** handleOut, int* auxOut)
{
    try {
        const std::wstring name = widen(adapterName);
        const std::wstring domain = widen(domainName);
        struct {
            FSA_PASSWD_CALLBACK_A callback;
            void* context;
        } record{callback, callbackContext};
        return FsaOpenAdapter2W(adapterName ? name.c_str() : nullptr, domainName ? domain.c_str() : nullptr,
                                callerBuild, access, flag, callback ? passwdCallbackWrapper : nullptr,
                                callback ? &record : nullptr, handleOut, auxOut);
    } catch (const std::bad_alloc&) {
        return FSA_STS_OUT_OF_MEMORY;
    } catch (FSA_STATUS status) {
        return status;
    }
}

extern "C" FSA_STATUS FsaOpenAdapterW(const wchar_t* adapterName, const wchar_t* domainName, unsigned int callerBuild,
                                      FSA_ACCESS access, void** handleOut, int* auxOut)
{
    FsaApiEntryExit scope("FsaOpenAdapterW");
    return FsaOpenAdapter2W(adapterName, domainName, callerBuild, access, 1, nullptr, nullptr, handleOut, auxOut);
}

extern "C" FSA_STATUS FsaOpenAdapterA(const char* adapterName, const char* domainName, unsigned int callerBuild,
                                      FSA_ACCESS access, void** handleOut, int* auxOut)
{
    return FsaOpenAdapter2A(adapterName, domainName, callerBuild, access, 1, nullptr, nullptr, handleOut, auxOut);
}

void FsaCloseLocalAdapter(FSAAPI_CONTEXT* ctx)
{
    delete ctx->blinkManager;
    ctx->blinkManager = nullptr;
    if (ctx->remoteAdapter)
        throw static_cast<FSA_STATUS>(59);
    faos_CloseChannelToAdapter(ctx);
}

void FsaGeneralCallbackShell(FSAAPI_CONTEXT* ctx, uint32_t event, const void* details)
{
    if (ctx->eventCallback == nullptr || (ctx->eventMask & event) == 0)
        return;
    FsaApiEntryExit scope("callback-from-FsaRegisterGeneralCallback");
    if (ctx->eventCallback(ctx->apiHandle, event, details, ctx->eventUserData) == 0)
        ctx->eventMask &= ~event;
}

extern "C" FSA_STATUS FsaCloseAdapter(void* handle)
{
    FsaApiEntryExit scope("FsaCloseAdapter");
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    FSA_STATUS status = FSA_STS_SUCCESS;
    auto keep = [&status](FSA_STATUS s) {
        if (status == FSA_STS_SUCCESS)
            status = s;
    };
    // An event thread reads the context until it has ended.
    try {
        AIF_StopThreadProcessing(ctx);
    } catch (FSA_STATUS s) {
        keep(s);
    }
    for (void*& channel : ctx->aifChannel) {
        if (channel == nullptr)
            continue;
        try {
            faos_CloseAIFReceiveChannel(ctx, channel);
        } catch (FSA_STATUS s) {
            keep(s);
        }
        channel = nullptr;
    }
    try {
        FsaCloseLocalAdapter(ctx);
    } catch (FSA_STATUS s) {
        keep(s);
    }
    try {
        FsaGeneralCallbackShell(ctx, 2, nullptr);
    } catch (FSA_STATUS s) {
        keep(s);
    }
    UtilDeleteHandle(handle);
    delete ctx;
    return status;
}

namespace {

FSA_STATUS lookupSerial(void* handle, uint32_t serial, uint32_t* index)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    const uint32_t count = std::min<uint32_t>(ctx->handleSerialCount, 16);
    for (uint32_t i = 0; i < count; ++i) {
        if (ctx->handleSerial[i].serial1 == serial) {
            *index = i;
            return FSA_STS_SUCCESS;
        }
    }
    return FSA_STS_ADAPTER_NOT_FOUND;
}

}  // namespace

extern "C" FSA_STATUS FsaGetIndexFromSerial(void* handle, uint32_t serial, uint32_t* indexOut)
{
    if (indexOut != nullptr)
        *indexOut = 0;
    uint32_t index = 0;
    const FSA_STATUS found = lookupSerial(handle, serial, &index);
    if (found == FSA_STS_SUCCESS && indexOut != nullptr)
        *indexOut = index;
    return found;
}

extern "C" FSA_STATUS FsaGetConnectorMapSize(void* handle, unsigned int* size)
{
    return FsaExportedCall("FsaGetConnectorMapSize", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (size != nullptr)
            *size = ctx->connectorMap != nullptr ? ctx->connectorMapBytes : 0;
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaGetConnectorMap(void* handle, void* buffer)
{
    return FsaExportedCall("FsaGetConnectorMap", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (buffer == nullptr || ctx->connectorMap == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_GENERAL_FAILURE);
        std::memcpy(buffer, ctx->connectorMap, ctx->connectorMapBytes);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS internalPauseResumeIo(void* handle, int timeoutSeconds, int noRescan)
{
    return FsaExportedCall("internalPauseResumeIo", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        const int paused = FsaContextIsAdapterPaused(ctx);
        if (timeoutSeconds != 0) {
            if (paused)
                return static_cast<FSA_STATUS>(FSA_STS_ADAPTER_PAUSED);
            const unsigned seconds = timeoutSeconds < 0 ? 0x7FFFFFFFu : static_cast<unsigned>(timeoutSeconds);
            ctx->paused = 1;
            CT_PauseIo(ctx, seconds, 0, noRescan);
            return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
        }
        if (!paused) {
            ctx->paused = 1;
            CT_PauseIo(ctx, 150, 1, noRescan);
        }
        CT_ReleaseIo(ctx);
        constexpr unsigned kBudgetMs = 120000;
        constexpr unsigned kPollMs = 2500;
        for (unsigned waited = 0; ctx->paused && waited < kBudgetMs; waited += kPollMs) {
            faos_Sleep(kPollMs);
            ctx->paused = FsaContextIsAdapterPaused(ctx);
        }
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan)
{
    return FsaExportedCall("FsaPauseResumeIo", handle, FSA_RW_PAUSE_OK_ROUTINE,
                           [&](FSAAPI_CONTEXT*) { return internalPauseResumeIo(handle, timeoutSeconds, noRescan); });
}

extern "C" FSA_STATUS FsaPauseResumeIoStatus(void* handle, unsigned int* state)
{
    return FsaExportedCall("FsaPauseResumeIoStatus", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (state != nullptr)
            *state = ctx->paused ? static_cast<unsigned>(FSA_STS_ADAPTER_PAUSED)
                                 : static_cast<unsigned>(FSA_STS_NOT_PAUSED);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaResetScsiBus(void* handle, unsigned int bus)
{
    return FsaExportedCall("FsaResetScsiBus", handle, FSA_RW_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        EnhancedGetBusInfo_CSS info = {};
        const FSA_STATUS read = SCSI_GetBusInfo(ctx, &info);
        if (read != FSA_STS_SUCCESS)
            return read;
        if (bus >= faGetLe32(info.bytes + 4))
            return static_cast<FSA_STATUS>(FSA_STS_INVALID_BUS);
        uint8_t data[4];
        faPutLe32(data, bus);
        return SCSI_sendfib(ctx, 0, 22, data, sizeof data, 1);
    });
}

extern "C" FSA_STATUS FsaPauseResumeIoStatusEx(void* handle, uint32_t index, unsigned int* state)
{
    void* entry = nullptr;
    const FSA_STATUS found = FsaGetHandleFromIndex(handle, index, &entry);
    return found != FSA_STS_SUCCESS ? found : FsaPauseResumeIoStatus(entry, state);
}

extern "C" FSA_STATUS FsaResetScsiBusEx(void* handle, uint32_t index, unsigned int bus)
{
    void* entry = nullptr;
    const FSA_STATUS found = FsaGetHandleFromIndex(handle, index, &entry);
    return found != FSA_STS_SUCCESS ? found : FsaResetScsiBus(entry, bus);
}

extern "C" FSA_STATUS FsaGetDriveLetterUsage(void* handle)
{
    return FsaExportedCall("FsaGetDriveLetterUsage", handle, FSA_READ_ONLY_ROUTINE,
                           [](FSAAPI_CONTEXT*) { return static_cast<FSA_STATUS>(FSA_STS_NOT_AVAILABLE_ON_OS); });
}

extern "C" FSA_STATUS FsaGetDriveLetterUsageEx(void* handle, uint32_t index)
{
    void* entry = nullptr;
    const FSA_STATUS found = FsaGetHandleFromIndex(handle, index, &entry);
    return found != FSA_STS_SUCCESS ? found : FsaGetDriveLetterUsage(entry);
}

extern "C" FSA_STATUS FsaNTLinkForContainer(void* handle, uint32_t operation)
{
    return FsaExportedCall("FsaNTLinkForContainer", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        const int mode = ctx->accessMode;
        const bool writeMode = mode == 1 || mode == 3 || mode == 6;
        if (operation == 1 && !(writeMode || mode == 4 || mode == 5))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_OPEN_READ_WRITE);
        if (operation == 1 || operation == 5 || operation == 6 || writeMode) {
            // Only the OS type 10 has these links; this host is type 5.
            const uint32_t os = ctx->osTypeOverride != 0 ? ctx->osTypeOverride : ctx->osType;
            return os == 10 ? static_cast<FSA_STATUS>(533) : static_cast<FSA_STATUS>(FSA_STS_NOT_AVAILABLE_ON_OS);
        }
        return static_cast<FSA_STATUS>(FSA_STS_NOT_OPEN_READ_WRITE);
    });
}

extern "C" FSA_STATUS FsaLinkForContainerExInternal(void* handle, uint32_t serial, uint32_t operation)
{
    void* entry = nullptr;
    const FSA_STATUS found = FsaGetHandleFromSerial(handle, serial, &entry);
    return found != FSA_STS_SUCCESS ? found : FsaNTLinkForContainer(entry, operation);
}

extern "C" int FsaIsRunningAsServer() { return 0; }

namespace {

std::atomic<int> notThreadOwner{0};

}  // namespace

int FSAAPI_SIM_DRIVE_LETTER[26] = {-2, -2, -2, 0,  1,  -1, -1, -1, -1, -1, -1, -1, -1,
                                   -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

extern "C" FSA_STATUS FsaInitCreateThread(int thread)
{
    const int granted = faos_GrantThreadOwnership(thread);
    if (granted == 1)
        notThreadOwner = 1;
    return static_cast<FSA_STATUS>(granted);
}

int FsaIsNotThreadOwner() { return notThreadOwner.load(); }

void AIF_FileSystemChange(FSAAPI_CONTEXT* ctx, unsigned int container)
{
    constexpr uint32_t kFileSystemChange = 128;
    tag_FSA_CONTAINER id;
    CT_GetStandardID(ctx, &id, container);
    FSA_EVENT_DETAILS details{};
    faPutLe32(details.bytes, id.number);
    faPutLe32(details.bytes + 4, id.uniqueId);
    faPutLe32(details.bytes + 8, id.adapterWord);
    AIF_SendEventToAllClients(ctx, kFileSystemChange, &details);
}
