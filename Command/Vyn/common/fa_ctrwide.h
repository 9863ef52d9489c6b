#ifndef VYN_COMMAND_VYN_COMMON_FA_CTRWIDE_H
#define VYN_COMMAND_VYN_COMMON_FA_CTRWIDE_H

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

// Statuses of the controller-wide exports.
enum : FSA_STATUS {
    FSA_STS_HOST_OS_NOT_SUPPORTED = 213,
    FSA_STS_NO_BATTERY = 620,
    FSA_STS_NO_ALARM = 604,
    FSA_STS_ALARM_DISABLED = 605,
};

extern "C" {
// Host operating-system queries: 213 for OS codes 2, 7 and 8, else 1.
FSA_STATUS FsaValidHostOs();
int FsaIsUnixOS(int osType);
int FsaIsNTOS(int osType);
int FsaGetOSType();

// Alarm operations 0 to 3 on the caller's array (see the operation table).
FSA_STATUS FsaAlarm(void* handle, uint32_t operation, uint32_t* array);
// Battery record of version 1 (40 bytes) or 2 (60 bytes).
FSA_STATUS FsaBattery(void* handle, uint32_t version, void* record);
FSA_STATUS FsaClearPPITable(void* handle);
FSA_STATUS FsaOnlineControllerDiagnostic(void* handle);
FSA_STATUS FsaExposeNewPhysicalSpace(void* handle, const tag_FSA_CONTAINER* container);
FSA_STATUS FsaSetUiThreadCallBack(void* handle, uint32_t a, uint32_t b, uint32_t c);

FSA_STATUS FsaResetController(void* handle);
uint64_t FsaGetOwnerId(void* handle);
FSA_STATUS FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus, uint32_t* target,
                                           uint32_t* lun);
FSA_STATUS FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second);
FSA_STATUS FsaSetCopyback(void* handle, uint32_t enable);
FSA_STATUS FsaGetCopyback(void* handle, uint32_t* state);
FSA_STATUS FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size);
FSA_STATUS FsaResetControllerStatsCounters(void* handle);
FSA_STATUS FsaClearControllerNvsRam(void* handle);
FSA_STATUS FsaGetVersionStatus(void* handle, FSA_CODE_VERSION_STATUS* status);
}

// Waits for the host's plug-and-play notifications around a change of the
// host's devices, on hosts that have them (OS code 10). It holds the host's
// notification window open for its life; nothing of the library makes one on
// this host, whose window does nothing.
class PnPWindowGrabber {
public:
    explicit PnPWindowGrabber(const FSAAPI_CONTEXT* ctx);
    explicit PnPWindowGrabber(bool active);
    ~PnPWindowGrabber();
    PnPWindowGrabber(const PnPWindowGrabber&) = delete;
    PnPWindowGrabber& operator=(const PnPWindowGrabber&) = delete;

    // Nothing when inactive; else the arrival notification and 15000 ms, or
    // 20000 ms when no window is open.
    void WaitForArrival();
    // The removal notification, or 20000 ms when no window is open.
    void WaitForRemoval();
    bool active() const { return active_; }
    bool windowOpen() const { return windowOpen_; }

private:
    bool active_;
    bool windowOpen_;
};

#endif
