#include "Command/Vyn/common/fa_dynprops.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_misc.h"

#include <cstring>

namespace {

constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = 512;
constexpr uint16_t kFibContainer = 500;
constexpr uint32_t kPropertiesSet = 26;
constexpr uint32_t kRejected = 430;

// Record offsets.
constexpr size_t kMask = 4;
constexpr size_t kCode = 36;
constexpr size_t kReplyReason = 40;
constexpr size_t kPriority = 44;
constexpr size_t kFlags = 48;
constexpr size_t kFlushRate = 54;
constexpr size_t kReadFactor = 58;
constexpr size_t kWriteFactor = 59;
constexpr size_t kPerformanceMode = 88;
constexpr size_t kPower = 92;
constexpr size_t kStayStart = 96;
constexpr size_t kStayStop = 100;
constexpr size_t kSpinInternal = 104;
constexpr size_t kSpinExternal = 108;
constexpr size_t kUtcDiff = 112;
constexpr size_t kAdapterTime = 116;
constexpr size_t kDirtyPages = 120;

// Feature bits.
constexpr uint32_t kCapStatistics = 1u << 26;      // option word 1
constexpr uint32_t kSecondFlushRate = 1u << 7;     // option word 3
constexpr uint32_t kSecondRwFactor = 1u << 9;
constexpr uint32_t kSecondOrvexa = 1u << 15;
constexpr uint32_t kPmUtc = 1u << 3;
constexpr uint32_t kPmLocal = 1u << 4;
constexpr uint32_t kPmStayAwake = 1u << 5;
constexpr uint32_t kOrvexaWritePresent = 1u << 8;  // further flags
constexpr uint8_t kNcqPresent = 0x80;

constexpr int32_t kMinBias = -720;
constexpr int32_t kMaxBias = 780;
constexpr uint32_t TIME_5MINS_IN_SECS = 300;
constexpr uint32_t kTimeSetThreshold = 900;

// A fresh record carrying property `code`.
struct Record {
    VYNIO_DYN_ADAP_PROPS_INTERFACE_TYPE r = {};
    explicit Record(uint32_t code, bool markChange = true)
    {
        faPutLe32(r.bytes + kCode, code);
        if (markChange)
            faPutLe32(r.bytes + kMask, 1u << code);
    }
    uint8_t* p() { return r.bytes; }
};

uint32_t giWord(FSAAPI_CONTEXT* ctx, size_t field) { return faGetLe32(ctx->generalInfo.bytes + field); }

FSA_STATUS unsupported() { return FSA_STS_NOT_SUPPORTED; }

// Refreshes the cached general information through the first handle-list entry.
FSA_STATUS refresh(void* handle)
{
    FSA_GENERAL_INFO2 record;
    return FsaGetGeneralInformation2Ex(handle, 0, &record);
}

}  // namespace

FSA_STATUS SendSetDynamicAdapterPropertiesFib(FSAAPI_CONTEXT* ctx, VYNIO_DYN_ADAP_PROPS_INTERFACE_TYPE* record)
{
    if ((FsaOptionWord2(ctx) & FSA_OPT2_DYNAMIC_PROPERTIES) == 0)
        return FSA_STS_NOT_SUPPORTED;
    alignas(8) uint8_t fib[kFibBytes] = {};
    faPutLe32(fib, 33);
    faPutLe16(fib + 4, kFibContainer);
    fib[6] = 1;
    faPutLe16(fib + 8, sizeof record->bytes);
    std::memcpy(fib + kFibHeader, record->bytes, sizeof record->bytes);
    faPutLe32(fib + kFibHeader, kPropertiesSet);
    FSA_STATUS status = FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 0, kFibBytes);
    if (status != FSA_STS_SUCCESS)
        status = FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 0, kFibBytes);
    if (status != FSA_STS_SUCCESS)
        return status;
    const uint8_t* reply = fib + kFibHeader;
    if (faGetLe32(reply + kReplyReason) == kRejected)
        status = FSA_STS_PROPERTY_REJECTED;
    if (faGetLe32(reply) != 0)
        status = FSA_STS_CT_GENERIC_FAILURE;
    return status;
}

FSA_STATUS SendSetDynPropPMUTCToLocalTimeDiff(FSAAPI_CONTEXT* ctx, int32_t minutes)
{
    FsaApiEntryExit scope("SendSetDynPropPMUTCToLocalTimeDiff");
    Record rec(16);
    faPutLe32(rec.p() + kUtcDiff, static_cast<uint32_t>(minutes));
    return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
}

FSA_STATUS SendSetDynPropAdapterTime(FSAAPI_CONTEXT* ctx, uint32_t seconds)
{
    FsaApiEntryExit scope("SendSetDynPropAdapterTime");
    Record rec(17);
    faPutLe32(rec.p() + kAdapterTime, seconds);
    return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
}

FSA_STATUS SendSetDynPropPMTimeQualifier(FSAAPI_CONTEXT* ctx, uint32_t utc, uint32_t local)
{
    FsaApiEntryExit scope("SendSetDynPropPMTimeQualifierUTC");
    Record rec(13);
    faPutLe16(rec.p() + kPower, static_cast<uint16_t>((utc & 1) << 3 | (local & 1) << 4));
    return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
}

FSA_STATUS FsaSyncTimeStructs(FSAAPI_CONTEXT* ctx)
{
    FSA_STATUS status = FSA_STS_SUCCESS;
    try {
        unsigned now = 0;
        int bias = 0;
        if (faos_GetEpochTimeAndBias(0, &now, &bias) != 0 || bias < kMinBias || bias > kMaxBias ||
            now == 0xFFFFFFFFu)
            return FSA_STS_SUCCESS;
        const uint32_t pm = giWord(ctx, GI_POWER_MANAGEMENT);
        const bool utc = (pm & kPmUtc) != 0;
        const bool local = (pm & kPmLocal) != 0;
        const uint32_t adapterTime = giWord(ctx, GI_DYNAMIC_PROPERTY_17);
        const int32_t utcDiff = static_cast<int32_t>(giWord(ctx, GI_UTC_DIFFERENCE));
        const uint32_t absTimeDiff = adapterTime > now ? adapterTime - now : now - adapterTime;
        bool qualifier = false;
        bool setTime = false;
        if (utc && local) {
            qualifier = true;
            setTime = true;
        } else if (utc) {
            if (adapterTime != 0 && absTimeDiff > TIME_5MINS_IN_SECS) {
                int64_t biasDiff = absTimeDiff / 60;
                if (adapterTime > now)
                    biasDiff = -biasDiff;
                const int64_t newDiff = biasDiff + utcDiff;
                if (newDiff >= kMinBias && newDiff <= kMaxBias)
                    status = SendSetDynPropPMUTCToLocalTimeDiff(ctx, static_cast<int32_t>(newDiff));
            }
        } else if (local) {
            setTime = true;
        }
        if (setTime && adapterTime != 0 && absTimeDiff > kTimeSetThreshold) {
            if (qualifier)
                status = SendSetDynPropPMTimeQualifier(ctx, 0, 1);
            status = SendSetDynPropAdapterTime(ctx, now);
        }
    } catch (FSA_STATUS thrown) {
        status = thrown;
    }
    return status;
}

extern "C" FSA_STATUS FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag)
{
    return FsaExportedCall("FsaSetDefaultLDTaskPriority", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        Record rec(0);
        const uint32_t field = priority == 0 ? 2 : priority == 1 ? 1 : 0;
        faPutLe32(rec.p() + kPriority, (flag != 0 ? 1u : 0u) | field << 1);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetPerformanceMode(void* handle, uint32_t mode)
{
    return FsaExportedCall("FsaSetPerformanceMode", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        Record rec(10);
        faPutLe32(rec.p() + kPerformanceMode, mode);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetControllerStats(void* handle, uint32_t enable)
{
    return FsaExportedCall("FsaSetControllerStats", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        // The statistics bit comes from the reported properties: a handle
        // opened for this change has not read them yet.
        refresh(handle);
        if ((FsaOptionWord1(ctx) & kCapStatistics) == 0)
            return unsupported();
        // Switching off carries no change bit: kept as the controller expects it.
        Record rec(11, enable != 0);
        rec.p()[kFlags] = static_cast<uint8_t>((enable & 1) << 4);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable,
                                              uint8_t days)
{
    return FsaExportedCall("FsaSetPMStayAwakePeriod", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        const FSA_STATUS refreshed = refresh(handle);
        if (refreshed != FSA_STS_SUCCESS)
            return refreshed;
        if (giWord(ctx, GI_POWER_MANAGEMENT) & kPmStayAwake) {
            Record rec(18);
            const bool on = start != stop && enable != 0;
            faPutLe16(rec.p() + kPower, static_cast<uint16_t>((on ? kPmStayAwake : 0u) | (days & 0x7Fu) << 6));
            faPutLe32(rec.p() + kStayStart, start);
            faPutLe32(rec.p() + kStayStop, stop);
            return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
        }
        if (enable != 0xFFFFFFFFu)
            return static_cast<FSA_STATUS>(FSA_STS_INVALID_ARGUMENT);
        Record rec(14);
        faPutLe32(rec.p() + kStayStart, start);
        faPutLe32(rec.p() + kStayStop, stop);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external)
{
    return FsaExportedCall("FsaSetPMSpinupLimits", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        Record rec(15);
        faPutLe32(rec.p() + kSpinInternal, internal);
        faPutLe32(rec.p() + kSpinExternal, external);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes)
{
    return FsaExportedCall("FsaSetPMUTCToLocalTimeDiff", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        Record rec(16);
        faPutLe32(rec.p() + kUtcDiff, static_cast<uint32_t>(minutes));
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetSataNCQ(void* handle, int32_t enable)
{
    return FsaExportedCall("FsaSetSataNCQ", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        refresh(handle);
        if ((ctx->generalInfo.bytes[GI_NCQ_FLAGS] & kNcqPresent) == 0)
            return unsupported();
        Record rec(19);
        rec.p()[kFlags] = static_cast<uint8_t>((static_cast<uint32_t>(enable) & 1) << 5);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate)
{
    return FsaExportedCall("FsaSetOrvexaFlushAndFetchRate", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) {
                               if ((FsaOptionWord3(ctx) & kSecondFlushRate) == 0)
                                   return unsupported();
                               Record rec(21);
                               faPutLe16(rec.p() + kFlushRate, static_cast<uint16_t>(rate));
                               return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
                           });
}

extern "C" FSA_STATUS FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor)
{
    return FsaExportedCall("FsaSetOrvexaRWFactor", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord3(ctx) & kSecondRwFactor) == 0)
            return unsupported();
        Record rec(22);
        rec.p()[kReadFactor] = static_cast<uint8_t>(readFactor);
        rec.p()[kWriteFactor] = static_cast<uint8_t>(writeFactor);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}

extern "C" FSA_STATUS FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold)
{
    return FsaExportedCall("FsaSetDirtyPageThresholdValue", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) {
                               if ((FsaOptionWord3(ctx) & kSecondOrvexa) == 0)
                                   return unsupported();
                               Record rec(23);
                               rec.p()[kDirtyPages] = static_cast<uint8_t>(threshold);
                               return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
                           });
}

extern "C" FSA_STATUS FsaSetOrvexaWrite(void* handle, uint32_t enable)
{
    return FsaExportedCall("FsaSetOrvexaWrite", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        refresh(handle);
        if ((giWord(ctx, GI_FURTHER_FLAGS) & kOrvexaWritePresent) == 0)
            return unsupported();
        const bool second = (FsaOptionWord3(ctx) & kSecondOrvexa) != 0;
        if (second == (enable != 0))
            return static_cast<FSA_STATUS>(FSA_STS_ORVEXA_WRITE_REFUSED);
        Record rec(24);
        rec.p()[kFlags] = static_cast<uint8_t>((enable & 1) << 6);
        return SendSetDynamicAdapterPropertiesFib(ctx, &rec.r);
    });
}
