#include "Command/Vyn/common/fa_readonly.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_oem_ulb.h"

#include <algorithm>
#include <cstring>

namespace {

// FIB commands of the refresh.
constexpr uint16_t kFibAdapterInfo = 703;
constexpr uint16_t kFibSupplementInfo = 706;
constexpr uint16_t kFibHeatSensor = 803;
constexpr uint16_t kFibMfgSerial = 906;
constexpr uint16_t kFibContainer = 500;

constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = 512;

// Adapter information reply: serial words.
constexpr size_t kAiSerial0 = 68;
constexpr size_t kAiSerial1 = 72;
// Supplement information reply.
constexpr size_t kSupVersion = 32;
constexpr size_t kSupOptions2 = 36;
constexpr size_t kSupMorphMask = 112;
constexpr size_t kSupOptions3 = 144;
constexpr size_t kSupPerformanceModes = 156;
// Heat-sensor reply.
constexpr size_t kHeatTemperature = 36;
constexpr size_t kHeatLow = 40;
constexpr size_t kHeatHigh = 42;

// Dynamic adapter properties record.
constexpr size_t kPropertiesBytes = 480;
constexpr uint32_t kPropertiesGet = 25;
constexpr size_t kPropMask = 4;
constexpr size_t kPropTaskPriority = 44;
constexpr size_t kPropFlags = 48;
constexpr size_t kPropSsdDrives = 53;
constexpr size_t kPropFlushRate = 54;
constexpr size_t kPropReadFactor = 58;
constexpr size_t kPropWriteFactor = 59;
constexpr size_t kPropPerformanceMode = 88;
constexpr size_t kPropPower = 92;
constexpr size_t kPropStayAwakeStart = 96;
constexpr size_t kPropStayAwakeEnd = 100;
constexpr size_t kPropSpinUpInternal = 104;
constexpr size_t kPropSpinUpExternal = 108;
constexpr size_t kPropUtc = 112;
constexpr size_t kPropProperty17 = 116;
constexpr size_t kPropDirtyPages = 120;

constexpr uint32_t kDefaultMorphMask = 0xF0F9B;
constexpr uint32_t kDescriptionChars = 18;
constexpr uint32_t kNoSupplementVersion = 1;

FSA_GENERAL_INFO2& gi(FSAAPI_CONTEXT* ctx) { return ctx->generalInfo; }

void put32(FSAAPI_CONTEXT* ctx, size_t field, uint32_t v) { faPutLe32(gi(ctx).bytes + field, v); }
void put16(FSAAPI_CONTEXT* ctx, size_t field, uint16_t v) { faPutLe16(gi(ctx).bytes + field, v); }
void put8(FSAAPI_CONTEXT* ctx, size_t field, uint8_t v) { gi(ctx).bytes[field] = v; }

void putRevision(uint8_t* record, size_t field, const FSA_REVISION& rev)
{
    record[field + 0] = rev.dash;
    record[field + 1] = rev.type;
    record[field + 2] = rev.minor;
    record[field + 3] = rev.major;
    faPutLe32(record + field + 4, rev.buildNumber);
}

void putWideText(uint8_t* record, size_t field, const wchar_t* text, uint32_t room)
{
    for (uint32_t i = 0; i < room; ++i) {
        const wchar_t c = text[i];
        faPutLe32(record + field + 4 * i, static_cast<uint32_t>(c));
        if (c == L'\0')
            break;
    }
}

// A FIB of `command` with a zeroed payload of `size` bytes, built in place.
void buildFib(uint8_t* fib, uint16_t command, uint16_t size)
{
    faBuildFib(fib, kFibBytes, command, size);
}

_FIB* asFib(uint8_t* fib) { return faAsFib(fib); }

void mapDynamicProperties(FSAAPI_CONTEXT* ctx)
{
    const uint8_t* p = ctx->dynamicProperties;
    const uint32_t mask = faGetLe32(p + kPropMask);
    auto has = [mask](unsigned bit) { return (mask & (1u << bit)) != 0; };
    uint32_t& opt1 = FsaOptionWord1(ctx);
    uint32_t& opt4 = FsaOptionWord4(ctx);

    if (has(0)) {
        opt4 |= 1u << 0;
        put32(ctx, GI_DEFAULT_TASK_PRIORITY, faGetLe32(p + kPropTaskPriority) >> 1);
    }
    if (has(10)) {
        opt4 |= 1u << 1;
        put32(ctx, GI_PERFORMANCE_MODE, faGetLe32(p + kPropPerformanceMode));
    }
    uint32_t power = 0;
    put32(ctx, GI_STAY_AWAKE_START, 0);
    put32(ctx, GI_STAY_AWAKE_END, 0);
    put32(ctx, GI_SPINUP_INTERNAL, 0);
    put32(ctx, GI_SPINUP_EXTERNAL, 0);
    put32(ctx, GI_UTC_DIFFERENCE, 0);
    put32(ctx, GI_DYNAMIC_PROPERTY_17, 0);
    put8(ctx, GI_STAY_AWAKE_DAYS, 0);
    const uint8_t powerByte = p[kPropPower];
    const uint16_t powerWord = faGetLe16(p + kPropPower);
    if (has(12))
        power |= powerByte & 0x07;
    if (has(13))
        power |= powerByte & 0x18;
    if (has(14)) {
        put32(ctx, GI_STAY_AWAKE_START, faGetLe32(p + kPropStayAwakeStart));
        put32(ctx, GI_STAY_AWAKE_END, faGetLe32(p + kPropStayAwakeEnd));
    }
    if (has(15)) {
        put32(ctx, GI_SPINUP_INTERNAL, faGetLe32(p + kPropSpinUpInternal));
        put32(ctx, GI_SPINUP_EXTERNAL, faGetLe32(p + kPropSpinUpExternal));
    }
    if (has(16))
        put32(ctx, GI_UTC_DIFFERENCE, faGetLe32(p + kPropUtc));
    if (has(17))
        put32(ctx, GI_DYNAMIC_PROPERTY_17, faGetLe32(p + kPropProperty17));
    if (has(18)) {
        power |= 1u << 5;
        if (powerByte & 0x20)
            power |= 1u << 6;
        if (powerWord & 0x1FC0)
            put8(ctx, GI_STAY_AWAKE_DAYS, static_cast<uint8_t>((powerWord >> 6) & 127));
    }
    put32(ctx, GI_POWER_MANAGEMENT, power);
    if (has(20))
        put8(ctx, GI_SSD_CACHE_DRIVES, p[kPropSsdDrives]);
    if (has(19)) {
        put8(ctx, GI_NCQ_FLAGS, static_cast<uint8_t>(gi(ctx).bytes[GI_NCQ_FLAGS] | 0x80));
        put32(ctx, GI_NCQ_ENABLED, (p[kPropFlags] >> 5) & 1);
    }
    if (has(21))
        put16(ctx, GI_SSD_FLUSH_FETCH_RATE, faGetLe16(p + kPropFlushRate));
    if (has(23))
        put16(ctx, GI_DIRTY_PAGE_THRESHOLD, p[kPropDirtyPages]);
    if (has(11)) {
        opt1 |= FSA_OPT1_STATISTICS;
        put32(ctx, GI_STATISTICS_ENABLED, (p[kPropFlags] >> 4) & 1);
    }
    if (has(22)) {
        put8(ctx, GI_SSD_READ_FACTOR, p[kPropReadFactor]);
        put8(ctx, GI_SSD_WRITE_FACTOR, p[kPropWriteFactor]);
    }
    if (has(24))
        put32(ctx, GI_FURTHER_FLAGS, faGetLe32(gi(ctx).bytes + GI_FURTHER_FLAGS) | (1u << 8));
}

// Step 2 of the refresh: supplement information, then the heat sensor.
void refreshSupplement(FSAAPI_CONTEXT* ctx)
{
    alignas(8) uint8_t fib[kFibBytes];
    buildFib(fib, kFibSupplementInfo, 4);
    FsaInternalSendReceiveFib(ctx, asFib(fib), 1, kFibBytes);
    FsaInitSupportedOptions(ctx, fib + kFibHeader);
}

void refreshHeatSensor(FSAAPI_CONTEXT* ctx)
{
    alignas(8) uint8_t heat[kFibBytes];
    buildFib(heat, kFibHeatSensor, 4);
    faPutLe32(heat + kFibHeader, 1);
    if (FsaInternalSendReceiveFib(ctx, asFib(heat), 0, kFibBytes) == FSA_STS_SUCCESS) {
        put16(ctx, GI_HEAT_TEMPERATURE, faGetLe16(heat + kFibHeader + kHeatTemperature));
        put16(ctx, GI_HEAT_LOW, faGetLe16(heat + kFibHeader + kHeatLow));
        put16(ctx, GI_HEAT_HIGH, faGetLe16(heat + kFibHeader + kHeatHigh));
    } else {
        // Until the close: later refreshes and every gate see it cleared.
        FsaOptionWord1(ctx) &= ~FSA_OPT1_HEAT_SENSOR;
    }
}

// Steps 3 and 4: the manufacturing serial reply, then the adapter
// information when the serial is still unknown.
void refreshSerial(FSAAPI_CONTEXT* ctx)
{
    uint32_t& opt2 = FsaOptionWord2(ctx);
    if (opt2 & FSA_OPT2_MFG_SERIAL) {
        alignas(8) uint8_t fib[kFibBytes];
        buildFib(fib, kFibMfgSerial, 4);
        const FSA_STATUS sent = FsaInternalSendReceiveFib(ctx, asFib(fib), 0, kFibBytes);
        const uint8_t* reply = fib + kFibHeader;
        if (sent == FSA_STS_SUCCESS || faGetLe32(reply) == 1) {
            put32(ctx, GI_SERIAL_NUMBER_0, faGetLe32(reply + 4));
            put32(ctx, GI_SERIAL_NUMBER_1, faGetLe32(reply + 8));
            put32(ctx, GI_LONG_SERIAL, faGetLe32(reply + 12));
        } else {
            opt2 &= ~FSA_OPT2_MFG_SERIAL;
            put32(ctx, GI_LONG_SERIAL, 0);
        }
    }
    if (faGetLe32(gi(ctx).bytes + GI_SERIAL_NUMBER_0) == 0) {
        alignas(8) uint8_t fib[kFibBytes];
        buildFib(fib, kFibAdapterInfo, 4);
        FsaInternalSendReceiveFib(ctx, asFib(fib), 1, kFibBytes);
        opt2 &= ~FSA_OPT2_MFG_SERIAL;
        put32(ctx, GI_LONG_SERIAL, 0);
        put32(ctx, GI_SERIAL_NUMBER_0, faGetLe32(fib + kFibHeader + kAiSerial0));
        put32(ctx, GI_SERIAL_NUMBER_1, faGetLe32(fib + kFibHeader + kAiSerial1));
    }
}

void refreshCachePolicy(FSAAPI_CONTEXT* ctx)
{
    uint32_t policy = 0;
    if (FsaOptionWord2(ctx) & FSA_OPT2_DEVICE_CACHE_POLICY) {
        try {
            int first = 0;
            int second = 0;
            CT_GetControllerDeviceCachePolicy(ctx, &first, &second);
            policy = (first != 0 ? 0x2u : 0u) | (second != 0 ? 0x1u : 0u);
        } catch (FSA_STATUS) {
            policy = 0;
        }
    }
    put32(ctx, GI_DEVICE_CACHE_POLICY, policy);
}

// The option words into their places in the record.
void publishOptionWords(FSAAPI_CONTEXT* ctx)
{
    put32(ctx, GI_SUPPORTED_OPTIONS, FsaOptionWord1(ctx));
    put32(ctx, GI_SUPPORTED_OPTIONS2, FsaOptionWord2(ctx));
    put32(ctx, GI_OPTION_WORD3, FsaOptionWord3(ctx));
    put32(ctx, GI_OPTION_WORD4, FsaOptionWord4(ctx));
    put32(ctx, GI_MORPH_SUPPORT_MASK, ctx->optionWord2);
}

}  // namespace

uint32_t& FsaOptionWord1(FSAAPI_CONTEXT* ctx) { return ctx->adapterOptions; }
uint32_t& FsaOptionWord2(FSAAPI_CONTEXT* ctx) { return ctx->supportedOptions; }
uint32_t& FsaOptionWord3(FSAAPI_CONTEXT* ctx) { return ctx->supplementInfoWord; }
uint32_t& FsaOptionWord4(FSAAPI_CONTEXT* ctx) { return ctx->featureEnable; }

void FsaInitSupportedOptions(FSAAPI_CONTEXT* ctx, const uint8_t* supplement)
{
    uint32_t& opt2 = FsaOptionWord2(ctx);
    uint32_t& opt4 = FsaOptionWord4(ctx);
    opt2 = 0;
    opt4 = 0;
    put8(ctx, GI_NUM_OF_SNAPSHOTS, 0);
    ctx->optionWord2 = kDefaultMorphMask;
    if (supplement != nullptr) {
        const uint32_t version = faGetLe32(supplement + kSupVersion);
        if (version > kNoSupplementVersion) {
            opt2 = faGetLe32(supplement + kSupOptions2);
            FsaOptionWord3(ctx) = faGetLe32(supplement + kSupOptions3);
        }
        if (version > 6)
            ctx->optionWord2 = faGetLe32(supplement + kSupMorphMask);
        ctx->furtherOptions = faGetLe32(supplement + kSupPerformanceModes);
        put32(ctx, GI_PERFORMANCE_MODES, ctx->furtherOptions);
    }
    if (opt2 & 0x10)
        opt4 |= 0x7C;
    if (opt2 & 0x1)
        put8(ctx, GI_NUM_OF_SNAPSHOTS, 4);
}

FSA_STATUS FsaGetHandleFromIndex(void* handle, uint32_t index, void** out)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    const uint32_t count = std::min<uint32_t>(ctx->handleSerialCount, 16);
    if (index >= count) {
        if (out != nullptr)
            *out = nullptr;
        return FSA_STS_ADAPTER_NOT_FOUND;
    }
    if (out != nullptr)
        *out = FsaHandleFromNumber(ctx->handleSerial[index].handle);
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaGetHandleFromSerial(void* handle, uint32_t serial, void** out)
{
    if (out != nullptr)
        *out = nullptr;
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    const uint32_t count = std::min<uint32_t>(ctx->handleSerialCount, 16);
    for (uint32_t i = 0; i < count; ++i) {
        if (ctx->handleSerial[i].serial1 == serial) {
            if (out != nullptr)
                *out = FsaHandleFromNumber(ctx->handleSerial[i].handle);
            return FSA_STS_SUCCESS;
        }
    }
    return FSA_STS_ADAPTER_NOT_FOUND;
}

FSA_STATUS SendGetDynamicAdapterPropertiesFib(FSAAPI_CONTEXT* ctx, void* record)
{
    if ((FsaOptionWord2(ctx) & FSA_OPT2_DYNAMIC_PROPERTIES) == 0)
        return FSA_STS_NOT_SUPPORTED;
    alignas(8) uint8_t fib[kFibBytes];
    FSA_STATUS sent = FSA_STS_SUCCESS;
    for (int attempt = 0; attempt < 2; ++attempt) {
        buildFib(fib, kFibContainer, kPropertiesBytes);
        faPutLe32(fib + kFibHeader, kPropertiesGet);
        sent = FsaInternalSendReceiveFib(ctx, asFib(fib), 0, kFibBytes);
        if (sent == FSA_STS_SUCCESS)
            break;
    }
    if (sent != FSA_STS_SUCCESS)
        return sent;
    const uint8_t* reply = fib + kFibHeader;
    if (faGetLe32(reply) != 0)
        return FSA_STS_CT_GENERIC_FAILURE;
    uint8_t* out = static_cast<uint8_t*>(record);
    std::memcpy(out, reply, kPropertiesBytes);
    const uint32_t priority = faGetLe32(out + kPropTaskPriority);
    const uint32_t p = priority >> 1;
    faPutLe32(out + kPropTaskPriority, (priority & 1) | (p == 1 ? 2u : p == 2 ? 0u : 4u));
    return FSA_STS_SUCCESS;
}

// Removal, change and exposure of a container for the host: the work is the
// OS layer's; these add the no-host-driver shortcut and the status mapping.
// The handle-taking exports resolve the handle without a gate or the context
// mutex, so a container operation that holds the mutex may call them.

namespace {

constexpr FSA_STATUS kNoRemovalState = 399;

template <class Work>
FSA_STATUS onContextOf(void* handle, Work&& work)
{
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return FSA_STS_INVALID_HANDLE;
    try {
        return work(ctx);
    } catch (FSA_STATUS thrown) {
        return thrown;
    }
}

}  // namespace

FSA_STATUS FsaPrepareCtrForRemoval(FSAAPI_CONTEXT* ctx, int container, int permanent, int force,
                                   FAOS_CTR_REMOVE_BASE** out)
{
    *out = nullptr;
    if (PCK_HasNoHostDriver(ctx))
        return FSA_STS_SUCCESS;
    FAOS_CTR_REMOVE* state = faos_PrepareCtrForRemoval(ctx, container, permanent, force);
    if (state == nullptr)
        return ctx->remoteAdapter == 1 ? static_cast<FSA_STATUS>(FSA_STS_SUCCESS) : kNoRemovalState;
    *out = state;
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaCtrRemovalComplete(FSAAPI_CONTEXT* ctx, int container, int failed, FAOS_CTR_REMOVE_BASE* state)
{
    if (PCK_HasNoHostDriver(ctx))
        return FSA_STS_SUCCESS;
    faos_CtrRemovalComplete(ctx, container, failed, static_cast<FAOS_CTR_REMOVE*>(state));
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaExposeCtrToOs(FSAAPI_CONTEXT* ctx, int container, int data)
{
    faos_ExposeCtrToOs(ctx, static_cast<unsigned>(container), data);
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaPrepareCtrForChange(FSAAPI_CONTEXT* ctx, uint32_t container, FAOS_CTR_CHANGE_BASE** out)
{
    *out = nullptr;
    // This host keeps no state across a change: the OS layer answers 0.
    faos_PrepareCtrForChange(ctx, static_cast<int>(container));
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaCtrChangeComplete(FSAAPI_CONTEXT* ctx, int container, int failed, FAOS_CTR_CHANGE_BASE*)
{
    faos_CtrChangeComplete(ctx, container, failed);
    return FSA_STS_SUCCESS;
}

extern "C" FSA_STATUS FsaPrepareCtrForRemoval(void* handle, int container, int permanent, int force,
                                              FAOS_CTR_REMOVE_BASE** out)
{
    if (out == nullptr)
        return FSA_STS_BAD_PARAMETER;
    *out = nullptr;
    return onContextOf(handle, [&](FSAAPI_CONTEXT* ctx) {
        return FsaPrepareCtrForRemoval(ctx, container, permanent, force, out);
    });
}

extern "C" FSA_STATUS FsaCtrRemovalComplete(void* handle, int container, int failed, FAOS_CTR_REMOVE_BASE* state)
{
    return onContextOf(handle,
                       [&](FSAAPI_CONTEXT* ctx) { return FsaCtrRemovalComplete(ctx, container, failed, state); });
}

extern "C" FSA_STATUS FsaExposeCtrToOs(void* handle, int container, int data)
{
    return onContextOf(handle, [&](FSAAPI_CONTEXT* ctx) { return FsaExposeCtrToOs(ctx, container, data); });
}

extern "C" FSA_STATUS FsaPrepareCtrForChange(void* handle, uint32_t container, FAOS_CTR_CHANGE_BASE** out)
{
    if (out == nullptr)
        return FSA_STS_BAD_PARAMETER;
    *out = nullptr;
    return onContextOf(handle, [&](FSAAPI_CONTEXT* ctx) { return FsaPrepareCtrForChange(ctx, container, out); });
}

extern "C" FSA_STATUS FsaCtrChangeComplete(void* handle, int container, int failed, FAOS_CTR_CHANGE_BASE* state)
{
    return onContextOf(handle,
                       [&](FSAAPI_CONTEXT* ctx) { return FsaCtrChangeComplete(ctx, container, failed, state); });
}

FSA_STATUS FsaCtrIsSystemBootDevice(FSAAPI_CONTEXT* ctx, uint32_t controller, int* flag)
{
    if (ctx == nullptr || flag == nullptr)
        return FSA_STS_BAD_PARAMETER;
    *flag = faos_CtrIsSystemBootDevice(ctx, static_cast<int>(controller));
    return FSA_STS_SUCCESS;
}

void FsaGetGeneralInformation2(void* handle, FSA_GENERAL_INFO2* out)
{
    if (out == nullptr)
        return;
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr) {
        std::memset(out, 0, sizeof *out);
        putRevision(out->bytes, GI_API_VERSION, RevGetFullRevision());
        putWideText(out->bytes, GI_DESCRIPTION, L"No Information", kDescriptionChars);
        faPutLe32(out->bytes + GI_OEM, static_cast<uint32_t>(faos_GetOEMWithNoContext()));
        faPutLe32(out->bytes + GI_OS_TYPE, static_cast<uint32_t>(faos_GetOSType()));
        return;
    }
    if (FsaOptionWord1(ctx) & FSA_OPT1_SUPPLEMENT)
        refreshSupplement(ctx);
    if (FsaOptionWord1(ctx) & FSA_OPT1_HEAT_SENSOR)
        refreshHeatSensor(ctx);
    refreshSerial(ctx);
    refreshCachePolicy(ctx);
    if ((FsaOptionWord2(ctx) & FSA_OPT2_DYNAMIC_PROPERTIES) &&
        SendGetDynamicAdapterPropertiesFib(ctx, ctx->dynamicProperties) == FSA_STS_SUCCESS)
        mapDynamicProperties(ctx);
    if (ctx->jbodSupported)
        FsaOptionWord4(ctx) |= FSA_OPT4_JBOD_DRIVER;
    // The serial words are also the context's identity of the board.
    ctx->boardSerial[0] = faGetLe32(gi(ctx).bytes + GI_SERIAL_NUMBER_0);
    ctx->boardSerial[1] = faGetLe32(gi(ctx).bytes + GI_SERIAL_NUMBER_1);
    publishOptionWords(ctx);
    std::memcpy(out, &ctx->generalInfo, sizeof *out);
}

void FsaGetGeneralInformation(void* handle, FSA_GENERAL_INFO* out)
{
    if (out == nullptr)
        return;
    FSA_GENERAL_INFO2 full;
    FsaGetGeneralInformation2(handle, &full);
    std::memcpy(out->bytes, full.bytes, sizeof out->bytes);
}

FSA_STATUS FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out)
{
    if (out == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaGetGeneralInformation2Ex", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        void* entry = nullptr;
        const FSA_STATUS found = FsaGetHandleFromIndex(handle, index, &entry);
        if (found != FSA_STS_SUCCESS)
            return found;
        FsaGetGeneralInformation2(entry, out);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}


namespace {

// Container record (cttype): word 0 member count, from word 5 the members'
// partition-table indexes, words 135 and 136 the containers a snapshot stands on.
constexpr size_t kCtMembers = 0;
constexpr size_t kCtFirstPartition = 20;
constexpr size_t kCtMaxMembers = (1152 - kCtFirstPartition) / 4;
constexpr size_t kCtSnapshotFirst = 135 * 4;
constexpr size_t kCtSnapshotSecond = 136 * 4;
constexpr size_t kContainerRecordBytes = 1152;
// Partition record: its 64-bit start and, for an entry that stands for a
// member container (start 0), that container's number in its location word.
// The first owner of such an entry is the container it belongs to, not the
// member.
constexpr size_t kPartitionBytes = 420;
constexpr size_t kPartStart64 = 256;
constexpr size_t kPartMemberContainer = 40;
// A firmware cycle of snapshot containers must not recurse without end.
constexpr int kMaxSnapshotDepth = 4;
constexpr uint32_t kTypeUnknown = 22;

bool memberOf(const uint32_t* allowed, size_t n, uint32_t t)
{
    for (size_t i = 0; i < n; ++i)
        if (allowed[i] == t)
            return true;
    return false;
}

uint32_t containerOfPartition(FSAAPI_CONTEXT* ctx, uint32_t index, bool* placed)
{
    uint8_t partition[kPartitionBytes] = {};
    CT_GetPartitionInMemory(ctx, index, reinterpret_cast<Partition*>(partition));
    *placed = faGetLe32(partition + kPartStart64) == 0 && faGetLe32(partition + kPartStart64 + 4) == 0;
    return faGetLe32(partition + kPartMemberContainer);
}

uint32_t extendedType(FSAAPI_CONTEXT* ctx, uint32_t type, const uint8_t* record, int depth)
{
    if (type >= 19)
        return kTypeUnknown;
    if (type == 1 || type == 3) {
        const uint32_t members = std::min<uint32_t>(faGetLe32(record + kCtMembers), kCtMaxMembers);
        const uint32_t fallback = type == 1 ? 3 : 2;
        if (members == 0)
            return fallback;
        bool onContainer = false;
        uint8_t member[kContainerRecordBytes] = {};
        uint32_t status = 0;
        const uint32_t first = containerOfPartition(ctx, faGetLe32(record + kCtFirstPartition), &onContainer);
        if (!onContainer || CT_GetContainer(ctx, first, member, &status) == 0)
            return fallback;
        const uint32_t t = status;
        static const uint32_t kVolumeOf[] = {1, 2, 3, 4, 13, 15, 17, 18};
        static const uint32_t kStripeOf[] = {2, 3, 4, 15, 18};
        if (type == 1 ? !memberOf(kVolumeOf, 8, t) : !memberOf(kStripeOf, 5, t))
            return kTypeUnknown;
        for (uint32_t m = 0; m < members; ++m) {
            bool placed = false;
            const uint32_t c = containerOfPartition(ctx, faGetLe32(record + kCtFirstPartition + 4 * m), &placed);
            uint32_t memberStatus = 0;
            if (CT_GetContainer(ctx, c, member, &memberStatus) == 0 || memberStatus != t)
                return kTypeUnknown;
        }
        if (type == 1) {
            switch (t) {
            case 1: return 20;
            case 2: return 15;
            case 3: return 17;
            case 4: return 19;
            case 13: return 18;
            case 15: return 39;
            case 17: return 44;
            default: return 49;
            }
        }
        switch (t) {
        case 2: return 13;
        case 3: return 14;
        case 4: return 26;
        case 15: return 37;
        default: return 50;
        }
    }
    if (type == 5 || type == 6) {
        if (depth >= kMaxSnapshotDepth)
            return 6;
        const uint32_t other = faGetLe32(record + (type == 5 ? kCtSnapshotFirst : kCtSnapshotSecond));
        uint8_t next[kContainerRecordBytes] = {};
        uint32_t status = 0;
        if (CT_GetContainer(ctx, other, next, &status) == 0)
            return 6;
        return extendedType(ctx, status, next, depth + 1);
    }
    switch (type) {
    case 2: return 1;
    case 4: return 4;
    case 7: return 16;
    case 8: return 21;
    case 9: return 9;
    case 10: return 13;
    case 11: return 14;
    case 12: return 15;
    case 13: return 11;
    case 15: return 34;
    case 17: return 40;
    case 18: return 45;
    default: return kTypeUnknown;  // 0, 14 and 16
    }
}

}  // namespace

uint32_t GetExtendedType(FSAAPI_CONTEXT* ctx, uint32_t /*container*/, uint32_t type, const void* record)
{
    return extendedType(ctx, type, static_cast<const uint8_t*>(record), 0);
}
