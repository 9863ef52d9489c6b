#include "Command/Vyn/common/fa_context.h"

#include "Command/Vyn/common/fa_blinker.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>
#include <mutex>

FSAAPI_CONTEXT::FSAAPI_CONTEXT()
{
    uniqueIdMutex = faos_CreateMutex(nullptr);
    try {
        ppiMutex = faos_CreateMutex(nullptr);
    } catch (FSA_STATUS) {
        faos_DestroyMutex(uniqueIdMutex);
        throw;
    }
}

FSAAPI_CONTEXT::~FSAAPI_CONTEXT()
{
    // First of all: the blink workers send through this context and take its
    // mutex until the manager has seen the last of them end.
    delete blinkManager;
    blinkManager = nullptr;
    try {
        if (contextMutex != nullptr)
            faos_DestroyMutex(contextMutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the context goes anyway.
    }
    for (void*& array : heapArray) {
        std::free(array);
        array = nullptr;
    }
    delete vynIoConfig;
    std::free(containerList[0]);
    std::free(containerList[1]);
    std::free(listIdentifiers);
    std::free(logDevRecords);
    std::free(connectorMap);
    std::free(uniqueIdTable);
    std::free(ppiTable);
    std::free(missingDrives);
    CT_FreePartitionCache(this);
    try {
        faos_DestroyMutex(ppiMutex);
        faos_DestroyMutex(uniqueIdMutex);
    } catch (FSA_STATUS) {
    }
}

namespace {

struct HandlePair {
    uint32_t handle;
    FSAAPI_CONTEXT* context;
};

constexpr uint32_t kFirstHandle = 4096;
constexpr uint32_t kTableGrowth = 10;

HandlePair* pHandleTable = nullptr;
uint32_t tableSize = 0;
uint32_t nextTableEntry = 0;
uint32_t nextHandleToUse = kFirstHandle;
void* utilAccessMutex = nullptr;
std::once_flag utilAccessOnce;

// Takes the table mutex for one scope.
class TableLock {
public:
    TableLock() { UtilStartHandleAccess(); }
    ~TableLock() { UtilFinishHandleAccess(); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

uint32_t handleNumber(void* handle)
{
    const uintptr_t n = reinterpret_cast<uintptr_t>(handle);
    return n > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(n);
}

}  // namespace

void UtilStartHandleAccess()
{
    // Created once, whichever thread comes first.
    std::call_once(utilAccessOnce, [] { utilAccessMutex = faos_CreateMutex(nullptr); });
    faos_WaitForAndGetMutex(utilAccessMutex);
}

void UtilFinishHandleAccess() { faos_ReleaseMutex(utilAccessMutex); }

uint32_t UtilCreateHandle(FSAAPI_CONTEXT* ctx)
{
    TableLock lock;
    if (nextTableEntry >= tableSize) {
        void* grown = std::realloc(pHandleTable, (tableSize + kTableGrowth) * sizeof(HandlePair));
        if (grown == nullptr)
            return 0;
        pHandleTable = static_cast<HandlePair*>(grown);
        tableSize += kTableGrowth;
    }
    const uint32_t handle = nextHandleToUse++;
    pHandleTable[nextTableEntry++] = HandlePair{handle, ctx};
    return handle;
}

FSAAPI_CONTEXT* UtilGetContextFromHandle(void* handle)
{
    const uint32_t n = handleNumber(handle);
    TableLock lock;
    for (uint32_t i = 0; i < nextTableEntry; ++i)
        if (pHandleTable[i].handle == n)
            return pHandleTable[i].context;
    return nullptr;
}

void UtilDeleteHandle(void* handle)
{
    const uint32_t n = handleNumber(handle);
    TableLock lock;
    for (uint32_t i = 0; i < nextTableEntry; ++i) {
        if (pHandleTable[i].handle == n) {
            pHandleTable[i] = pHandleTable[nextTableEntry - 1];
            --nextTableEntry;
            return;
        }
    }
}

FSA_STATUS UtilFreeHandleResources()
{
    {
        TableLock lock;
        std::free(pHandleTable);
        pHandleTable = nullptr;
        tableSize = 0;
        nextTableEntry = 0;
        nextHandleToUse = kFirstHandle;
    }
    // The mutex itself stays: a second creation could race with a thread
    // that is about to take it.
    return FSA_STS_SUCCESS;
}

uint32_t UtilHandleTableCapacity()
{
    TableLock lock;
    return tableSize;
}

namespace {

constexpr uint32_t kNoDevice = 0xFFFFFFFF;
constexpr uint32_t kNoBus = 255;
constexpr uint32_t kNoTarget = 65535;
constexpr uint32_t kNoLun = 255;
constexpr uint32_t kBusLimit = 4;

bool extendedHandles(const FSAAPI_CONTEXT* ctx) { return (ctx->supportedOptions & FSA_SUPPORTED_EXTENDED_DEVICE_HANDLES) != 0; }

uint32_t busField(const FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    return extendedHandles(ctx) ? handle >> 24 : (handle >> 7) & 63;
}

bool noDevice(const FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    return handle == kNoDevice || busField(ctx, handle) >= kBusLimit;
}

}  // namespace

uint32_t FsaApiGetBusFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    return noDevice(ctx, handle) ? kNoBus : busField(ctx, handle);
}

uint32_t FsaApiGetTargetFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    if (noDevice(ctx, handle))
        return kNoTarget;
    return extendedHandles(ctx) ? handle & 0xFFFF : handle & 15;
}

uint32_t FsaApiGetLunFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    if (noDevice(ctx, handle))
        return kNoLun;
    return extendedHandles(ctx) ? (handle >> 16) & 0xFF : (handle >> 4) & 7;
}

uint32_t FsaApiGetDevtFromBLT(const FSAAPI_CONTEXT* ctx, uint32_t bus, uint32_t target, uint32_t lun)
{
    if (bus == kNoBus && target == kNoTarget && lun == kNoLun)
        return kNoDevice;
    if (extendedHandles(ctx))
        return bus << 24 | (lun & 0xFF) << 16 | (target & 0xFFFF);
    return (bus & 63) << 7 | (lun & 7) << 4 | (target & 15);
}

uint32_t TranslateFwBusTypeToFsaChannel(uint32_t busType) { return busType >= 1 && busType <= 13 ? busType : 0; }

uint32_t TranslateFwDevTypeToFsaDevType(uint32_t deviceType)
{
    switch (deviceType) {
    case 0: return 1;
    case 1: return 0;
    case 2:
    case 3:
    case 4: return deviceType;
    default: return 1;
    }
}

void TranslateAdapterTypeToText(uint32_t, uint32_t, wchar_t*) {}

uint32_t TranslatePLATtoAT(uint32_t platform, uint32_t /*oem*/) { return platform; }

bool IsHostWithDeviceNotifications(const FSAAPI_CONTEXT* ctx)
{
    const uint32_t os = ctx->osTypeOverride != 0 ? ctx->osTypeOverride : ctx->osType;
    return os == 10;
}
