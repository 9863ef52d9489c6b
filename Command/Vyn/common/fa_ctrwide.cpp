#include "Command/Vyn/common/fa_ctrwide.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_misc.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kCapAlarm = 0x800;        // option word 1
constexpr uint32_t kCapStatistics = 1u << 26;  // option word 1
constexpr uint32_t kFeatureDiagnostic = 0x1;   // option word 2
constexpr uint32_t kFeatureCopyback = 0x10;    // option word 2
constexpr uint32_t kSecondStatsReset = 0x100;  // option word 3

constexpr uint32_t CT_CLEAR_PPI_TABLE = 202;
constexpr uint32_t CT_COPYBACK = 216;
constexpr uint32_t CT_STATISTICS = 244;
constexpr uint32_t kStatsReset = 2;
constexpr uint16_t kFibDiagnostic = 800;

// Battery requests (SCSI-class, command 0).
constexpr uint32_t kBatteryLegacyPage = 0x30000;
constexpr uint32_t kBatteryPage = 0x700000;
constexpr uint32_t kBatteryValue = 0xA0000;
constexpr uint32_t kBatteryRouting = 3;

FSA_STATUS ok() { return FSA_STS_SUCCESS; }

// The routing word the SCSI-class requests carry, set for one scope.
class RoutingWord {
public:
    RoutingWord(FSAAPI_CONTEXT* ctx, uint32_t value) : ctx_(ctx), saved_(ctx->adapterNumberWord)
    {
        ctx_->adapterNumberWord = value;
    }
    ~RoutingWord() { ctx_->adapterNumberWord = saved_; }
    RoutingWord(const RoutingWord&) = delete;
    RoutingWord& operator=(const RoutingWord&) = delete;

private:
    FSAAPI_CONTEXT* ctx_;
    uint32_t saved_;
};

// Writes inside the caller's record only: version 1 ends at byte 40.
class BatteryRecord {
public:
    BatteryRecord(uint8_t* p, size_t size) : p_(p), size_(size) { std::memset(p_, 0, size_); }
    void flags(uint32_t bits) { or32(0, bits); }
    void clearFlags(uint32_t bits) { and32(0, ~bits); }
    void status(uint32_t bits) { or32(8, bits); }
    void clearStatus(uint32_t bits) { and32(8, ~bits); }
    void u16(size_t at, uint16_t v)
    {
        if (at + 2 <= size_)
            faPutLe16(p_ + at, v);
    }
    void u32(size_t at, uint32_t v)
    {
        if (at + 4 <= size_)
            faPutLe32(p_ + at, v);
    }
    void u8(size_t at, uint8_t v)
    {
        if (at < size_)
            p_[at] = v;
    }

private:
    void or32(size_t at, uint32_t bits) { faPutLe32(p_ + at, faGetLe32(p_ + at) | bits); }
    void and32(size_t at, uint32_t mask) { faPutLe32(p_ + at, faGetLe32(p_ + at) & mask); }
    uint8_t* p_;
    size_t size_;
};

FSA_STATUS battery(FSAAPI_CONTEXT* ctx, uint32_t version, uint8_t* out)
{
    const size_t size = version == 1 ? 40 : 60;
    BatteryRecord rec(out, size);
    RoutingWord routing(ctx, kBatteryRouting);
    uint8_t page[24] = {};
    FSA_STATUS s = SCSI_sendfib(ctx, 0, kBatteryLegacyPage, page, sizeof page, 0);
    if (s == FSA_STS_NOT_SUPPORTED)
        return FSA_STS_NO_BATTERY;
    if (s != FSA_STS_SUCCESS)
        return s;
    const uint16_t v = faGetLe16(page + 22);
    auto vb = [v](unsigned bit) { return (v >> bit) & 1; };
    if (!vb(13)) {
        if (vb(0)) {
            rec.flags(0x1);
            if (page[0] != 0)
                rec.status(0x1);
        }
        if (vb(1) && page[1] != 0)
            rec.status(0x8);
        if (vb(2) && page[2] != 0) {
            rec.flags(0x20);
            rec.status(0x10);
        }
        if (vb(3)) {
            uint8_t value[4] = {};
            if (SCSI_sendfib(ctx, 0, kBatteryValue, value, sizeof value, 0) == FSA_STS_SUCCESS) {
                rec.flags(0x20 | 0x80000000u);
                rec.u32(28, faGetLe32(value));
            }
        }
        if (vb(6) && version == 2) {
            rec.flags(0x8000);
            rec.u16(42, faGetLe16(page + 10));
        }
        if (vb(4)) {
            rec.flags(0x20 | 0x80000000u);
            rec.u32(32, faGetLe32(page + 4));
        }
        if (vb(5)) {
            rec.flags(0x800);
            rec.u16(12, faGetLe16(page + 8));
        }
        if (vb(7)) {
            rec.flags(0x10);
            rec.u16(14, faGetLe16(page + 12));
        }
        if (vb(8)) {
            rec.flags(0x8);
            rec.u16(16, faGetLe16(page + 14));
        }
        if (vb(9)) {
            rec.flags(0x4);
            rec.u16(18, faGetLe16(page + 16));
        }
        if (vb(10)) {
            rec.flags(0x2);
            rec.u16(20, faGetLe16(page + 18));
        }
        if (vb(11)) {
            rec.flags(0x100);
            rec.u8(36, page[20]);
        }
        if (vb(12)) {
            rec.flags(0x100);
            rec.u8(37, page[21]);
        }
        return FSA_STS_SUCCESS;
    }
    uint8_t full[56] = {};
    s = SCSI_sendfib(ctx, 0, kBatteryPage, full, sizeof full, 0);
    if (s != FSA_STS_SUCCESS)
        return s;
    const uint32_t w = faGetLe32(full);
    const uint32_t st = faGetLe32(full + 28);
    auto wb = [w](unsigned bit) { return (w >> bit) & 1; };
    auto sb = [st](unsigned bit) { return (st >> bit) & 1; };
    if (!wb(0))
        return FSA_STS_SUCCESS;
    rec.flags(0x1);
    rec.status((st & 0xF0000000u) | (st & (0xFu | 0x200u)));
    if (wb(12)) {
        rec.flags(0x1000);
        if (sb(5))
            rec.status(0x20);
    }
    if (wb(5)) {
        rec.flags(0x20);
        if (sb(4))
            rec.status(0x10);
        rec.flags(0x80000000u);
        rec.u32(32, faGetLe32(full + 20));
        rec.u32(28, faGetLe32(full + 16));
    }
    if (wb(7)) {
        rec.flags(0x80);
        rec.u16(26, faGetLe16(full + 4));
    }
    if (wb(11)) {
        rec.flags(0x800);
        rec.u16(12, faGetLe16(full + 24));
    }
    if (wb(4)) {
        rec.flags(0x10);
        rec.u16(14, faGetLe16(full + 12));
    }
    if (wb(3)) {
        rec.flags(0x8);
        rec.u16(16, faGetLe16(full + 10));
    }
    if (wb(2)) {
        rec.flags(0x4);
        rec.u16(18, faGetLe16(full + 8));
    }
    if (wb(1)) {
        rec.flags(0x2);
        rec.u16(20, faGetLe16(full + 6));
    }
    if (wb(8)) {
        rec.flags(0x100);
        rec.u8(36, full[32]);
        rec.u8(37, full[33]);
    }
    if (wb(9)) {
        rec.flags(0x200);
        rec.u8(38, full[34]);
        rec.u8(39, full[35]);
    }
    if (wb(17)) {
        rec.flags(0x20000);
        if (sb(7)) {
            rec.status(0x80);
        } else {
            rec.clearFlags(0xE);
            rec.clearStatus(0x820);
        }
    }
    if (version == 2) {
        if (wb(13)) {
            rec.flags(0x2000);
            if (sb(6))
                rec.status(0x40);
        }
        if (wb(14)) {
            rec.flags(0x8000);
            rec.u16(42, faGetLe16(full + 38));
        }
        if (wb(15)) {
            rec.flags(0x4000 | 0x400);
            rec.u16(40, faGetLe16(full + 36));
            for (size_t i = 0; i < 4; ++i)
                rec.u16(44 + 2 * i, faGetLe16(full + 40 + 2 * i));
        }
        if (wb(16)) {
            rec.flags(0x10000);
            for (size_t i = 0; i < 4; ++i)
                rec.u16(52 + 2 * i, faGetLe16(full + 48 + 2 * i));
        }
        if (wb(17) && !sb(7)) {
            rec.clearFlags(0x1C400);
            rec.clearStatus(0x40);
        }
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS alarm(FSAAPI_CONTEXT* ctx, uint32_t operation, uint32_t* a)
{
    if ((FsaOptionWord1(ctx) & kCapAlarm) == 0)
        return FSA_STS_NO_ALARM;
    if (operation > 3 || a == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const bool writes = operation == 1 || operation == 2;
    if (writes && (kFsaModesWrite & (1u << ctx->accessMode)) == 0)
        return FSA_STS_NOT_OPEN_READ_WRITE;
    _ALARM_INFO info = {};
    switch (operation) {
    case 0:
        CT_AlarmCmdOut(ctx, CT_ALARM_GET_STATE, &info);
        a[0] = (info.bytes[0] & 0x2) ? 1 : 0;
        return FSA_STS_SUCCESS;
    case 1:
        if (a[0] > 1)
            return FSA_STS_BAD_PARAMETER;
        info.bytes[0] = a[0] == 1 ? 0x2 : 0;
        return CT_AlarmCmdIn(ctx, CT_ALARM_SET_STATE, &info);
    case 2:
        if (a[0] == 1) {
            uint32_t time = 0;
            if (a[1] == 2 || a[1] == 0xFFFFFFFFu)
                time = a[1];
            else if (a[1] == 3)
                time = a[2];
            else
                return FSA_STS_BAD_PARAMETER;
            info.bytes[0] = 0x1;
            faPutLe32(info.bytes + 4, time);
        } else if (a[0] != 0) {
            return FSA_STS_BAD_PARAMETER;
        }
        return CT_AlarmCmdIn(ctx, CT_ALARM_ON_OFF, &info);
    default:
        CT_AlarmCmdOut(ctx, CT_ALARM_GET_STATE, &info);
        a[0] = (info.bytes[0] & 0x2) == 0 ? 2 : (info.bytes[0] & 0x4) ? 1 : 0;
        return FSA_STS_SUCCESS;
    }
}

}  // namespace

extern "C" FSA_STATUS FsaValidHostOs()
{
    const int os = faos_GetOSType();
    return os == 2 || os == 7 || os == 8 ? static_cast<FSA_STATUS>(FSA_STS_HOST_OS_NOT_SUPPORTED)
                                         : static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
}

extern "C" int FsaIsUnixOS(int osType)
{
    switch (osType) {
    case 4: case 5: case 9: case 11: case 12: case 13: return 1;
    default: return 0;
    }
}

extern "C" int FsaIsNTOS(int osType) { return osType == 1 || osType == 8 || osType == 10 ? 1 : 0; }

extern "C" int FsaGetOSType()
{
    FSA_GENERAL_INFO info;
    FsaGetGeneralInformation(nullptr, &info);
    const uint32_t second = faGetLe32(info.bytes + GI_OS_TYPE + 4);
    return static_cast<int>(second != 0 ? second : faGetLe32(info.bytes + GI_OS_TYPE));
}

extern "C" FSA_STATUS FsaAlarm(void* handle, uint32_t operation, uint32_t* array)
{
    return FsaExportedCall("FsaAlarm", handle, FSA_READ_ONLY_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) { return alarm(ctx, operation, array); });
}

extern "C" FSA_STATUS FsaBattery(void* handle, uint32_t version, void* record)
{
    return FsaExportedCall("FsaBattery", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((version != 1 && version != 2) || record == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return battery(ctx, version, static_cast<uint8_t*>(record));
    });
}

extern "C" FSA_STATUS FsaClearPPITable(void* handle)
{
    return FsaExportedCall("FsaClearPPITable", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        CT_SendReceiveFIB(ctx, CT_CLEAR_PPI_TABLE, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
        return ok();
    });
}

extern "C" FSA_STATUS FsaOnlineControllerDiagnostic(void* handle)
{
    return FsaExportedCall("FsaOnlineControllerDiagnostic", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord2(ctx) & kFeatureDiagnostic) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        alignas(8) uint8_t fib[512] = {};
        faPutLe32(fib, 33);
        faPutLe16(fib + 4, kFibDiagnostic);
        fib[6] = 1;
        faPutLe16(fib + 8, 4);
        FSA_STATUS s = FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 1, sizeof fib);
        if (s == FSA_STS_SUCCESS && fib[32] != 0)
            s = FSA_STS_GENERAL_FAILURE;
        return s;
    });
}

extern "C" FSA_STATUS FsaExposeNewPhysicalSpace(void* handle, const tag_FSA_CONTAINER* container)
{
    return FsaExportedCall("FsaExposeNewPhysicalSpace", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (container == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        faos_ExposeExtendedContainer(ctx, static_cast<int>(CT_GetInternalID(container)));
        return ok();
    });
}

extern "C" FSA_STATUS FsaSetUiThreadCallBack(void* handle, uint32_t a, uint32_t b, uint32_t c)
{
    return FsaExportedCall("FsaSetUiThreadCallBack", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        ctx->uiCallback[0] = a;
        ctx->uiCallback[1] = b;
        ctx->uiCallback[2] = c;
        const uint32_t own = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
        const uint32_t count = std::min<uint32_t>(ctx->handleSerialCount, 16);
        for (uint32_t i = 1; i < count; ++i) {
            // The context's own handle would only call back into itself.
            if (ctx->handleSerial[i].handle == own)
                continue;
            const FSA_STATUS s = FsaSetUiThreadCallBack(FsaHandleFromNumber(ctx->handleSerial[i].handle), a, b, c);
            if (s != FSA_STS_SUCCESS)
                return s;
        }
        return ok();
    });
}

extern "C" FSA_STATUS FsaResetController(void* handle)
{
    return FsaExportedCall("FsaResetController", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [](FSAAPI_CONTEXT* ctx) { return faos_ResetController(ctx); });
}

extern "C" uint64_t FsaGetOwnerId(void* handle)
{
    if (handle == nullptr)
        return 0;
    FSA_GENERAL_INFO info;
    FsaGetGeneralInformation(handle, &info);
    return static_cast<uint64_t>(faGetLe32(info.bytes + GI_SERIAL_NUMBER_1)) << 32 |
           faGetLe32(info.bytes + GI_SERIAL_NUMBER_0);
}

extern "C" FSA_STATUS FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus, uint32_t* target,
                                                      uint32_t* lun)
{
    return FsaExportedCall("FsaGetBusTargetLunFromDevHandle", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (bus == nullptr || target == nullptr || lun == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        const uint32_t d = static_cast<uint32_t>(device);
        *bus = FsaApiGetBusFromDeviceHandle(ctx, d);
        *target = FsaApiGetTargetFromDeviceHandle(ctx, d);
        *lun = FsaApiGetLunFromDeviceHandle(ctx, d);
        return ok();
    });
}

extern "C" FSA_STATUS FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second)
{
    return FsaExportedCall("FsaSetControllerDeviceCachePolicy", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) {
                               CT_SetControllerDeviceCachePolicy(ctx, first, second);
                               return ok();
                           });
}

extern "C" FSA_STATUS FsaSetCopyback(void* handle, uint32_t enable)
{
    return FsaExportedCall("FsaSetCopyback", handle, FSA_OS_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord2(ctx) & kFeatureCopyback) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        uint32_t p0 = enable != 0 ? 1 : 0;
        return CT_SendReceiveFIB(ctx, CT_COPYBACK, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0);
    });
}

extern "C" FSA_STATUS FsaGetCopyback(void* handle, uint32_t* state)
{
    return FsaExportedCall("FsaGetCopyback", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord2(ctx) & kFeatureCopyback) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (state == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint32_t p0 = 2;
        uint32_t p1 = *state;
        const FSA_STATUS s = CT_SendReceiveFIB(ctx, CT_COPYBACK, &p0, &p1, nullptr, nullptr, 0, nullptr, 0, 0);
        if (s == FSA_STS_SUCCESS)
            *state = p1;
        return s;
    });
}

extern "C" FSA_STATUS FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size)
{
    return FsaExportedCall("FsaGetControllerStats", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if ((FsaOptionWord1(ctx) & kCapStatistics) == 0)
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        if (size == nullptr || (buffer == nullptr && *size != 0))
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint32_t p0 = type;
        return CT_SendReceiveFIB(ctx, CT_STATISTICS, &p0, nullptr, nullptr, nullptr, 0, buffer, *size, 1);
    });
}

extern "C" FSA_STATUS FsaResetControllerStatsCounters(void* handle)
{
    return FsaExportedCall("FsaResetControllerStatsCounters", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) {
                               if ((FsaOptionWord3(ctx) & kSecondStatsReset) == 0)
                                   return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
                               uint32_t p0 = kStatsReset;
                               return CT_SendReceiveFIB(ctx, CT_STATISTICS, &p0, nullptr, nullptr, nullptr, 0,
                                                        nullptr, 0, 1);
                           });
}

extern "C" FSA_STATUS FsaClearControllerNvsRam(void* handle)
{
    return FsaExportedCall("FsaClearControllerNvsRam", handle, FSA_OS_READ_WRITE_ROUTINE,
                           [](FSAAPI_CONTEXT* ctx) { return CT_ClearControllerNvsRam(ctx); });
}

extern "C" FSA_STATUS FsaGetVersionStatus(void* handle, FSA_CODE_VERSION_STATUS* status)
{
    return FsaExportedCall("FsaGetVersionStatus", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (ctx->commContext != nullptr && status != nullptr)
            faos_GetVersionStatus(ctx, status);
        return ok();
    });
}

namespace {

constexpr int kOsWithPnPWindow = 10;
constexpr unsigned kSettleAfterArrivalMs = 15000;
constexpr unsigned kWaitWithoutWindowMs = 20000;

bool hasPnPWindow(const FSAAPI_CONTEXT* ctx)
{
    const uint32_t os = ctx->osTypeOverride != 0 ? ctx->osTypeOverride : ctx->osType;
    return os == kOsWithPnPWindow;
}

}  // namespace

PnPWindowGrabber::PnPWindowGrabber(const FSAAPI_CONTEXT* ctx) : PnPWindowGrabber(ctx != nullptr && hasPnPWindow(ctx)) {}

PnPWindowGrabber::PnPWindowGrabber(bool active)
    : active_(active), windowOpen_(faos_OpenDeviceNotificationWindow() == FSA_STS_SUCCESS)
{
}

PnPWindowGrabber::~PnPWindowGrabber()
{
    if (windowOpen_)
        faos_CloseDeviceNotificationWindow();
}

void PnPWindowGrabber::WaitForArrival()
{
    if (!active_)
        return;
    if (!windowOpen_) {
        faos_Sleep(kWaitWithoutWindowMs);
        return;
    }
    faos_WaitOnDeviceArrivalNotification();
    faos_Sleep(kSettleAfterArrivalMs);
}

void PnPWindowGrabber::WaitForRemoval()
{
    if (windowOpen_)
        faos_WaitOnDeviceRemovalNotification();
    else
        faos_Sleep(kWaitWithoutWindowMs);
}
