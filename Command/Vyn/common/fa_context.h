#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTEXT_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTEXT_H

#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_types.h"

#include <atomic>
#include <cstdint>
#include <cwchar>

struct FAUX_COMM_CONTEXT;
class FSA_BLINK_MANAGER;
class FsaVynIoAdapterConfig;

// One entry of the context's handle/serial table.
struct FSA_HANDLE_SERIAL_ENTRY {
    uint32_t handle;
    uint32_t serial1;
    uint32_t serial2;
};

// The general event callback registered on a context. A callback that answers
// 0 wants no more events of that class: the class's bits leave the mask.
typedef int (*FSA_EVENT_CALLBACK)(void* adapterHandle, uint32_t eventClass, const void* event, void* userData);

// Everything the firmware interface knows about one opened adapter; one heap
// object per open, deleted by the close or by a failed open. It owns its
// caches, the blink manager, the connector map, the heap arrays and the
// configuration reader; the handle table entry that names it owns it.
// One other adapter of the host: its handle, identity word and one more word.
struct FSA_OTHER_ADAPTER {
    uint32_t handle;
    uint32_t identity;
    uint32_t reserved;
};
constexpr unsigned FSA_MAX_OTHER_ADAPTERS = 16;

class FSAAPI_CONTEXT {
public:
    // Builds the task-callback manager and the caches (each with its mutex);
    // everything else starts at 0. Throws 485 or 489 when a mutex or the
    // semaphore cannot be created.
    FSAAPI_CONTEXT();
    virtual ~FSAAPI_CONTEXT();
    FSAAPI_CONTEXT(const FSAAPI_CONTEXT&) = delete;
    FSAAPI_CONTEXT& operator=(const FSAAPI_CONTEXT&) = delete;

    // 1. Identity of the open.
    uint32_t openState = 0;
    void* apiHandle = nullptr;
    FSA_ACCESS accessMode = FSA_ACC_READ_ONLY;
    uint32_t scsiMethod = 0;
    uint32_t interfaceVersion = 0;

    // 2. Handle/serial table; the open appends its own entry.
    FSA_HANDLE_SERIAL_ENTRY handleSerial[16] = {};
    uint32_t handleSerialCount = 0;

    // 3. Adapter-initiated-event receive channels (null when closed) and the
    // general event callback.
    void* aifChannel[2] = {nullptr, nullptr};
    FSA_EVENT_CALLBACK eventCallback = nullptr;
    uint32_t eventMask = 0;
    void* eventUserData = nullptr;
    // The event thread (fa_async): its flags, whether a thread was created,
    // the thread-started and thread-ended semaphores, and the lock that
    // orders the thread's channel open against a stop. The thread reads its
    // FIBs from aifChannel[1]; polling keeps aifChannel[0].
    std::atomic<int> aifThreadStarted{0};
    std::atomic<int> aifThreadStopping{0};
    std::atomic<int> aifThreadWaiting{0};
    int aifThreadCreated = 0;
    // Set on hosts that start no event thread of their own; nothing sets it
    // on this one.
    int aifNoEventThread = 0;
    void* aifStartedSemaphore = nullptr;
    void* aifEndedSemaphore = nullptr;
    void* aifThreadMutex = nullptr;

    // 4.
    CTaskCallbackManager taskCallbackManager;

    // 5. 1 while the controller's I/O is paused.
    int paused = 0;

    // 6. Adapter description filled at open.
    wchar_t hostName[257] = {};
    wchar_t adapterName[16] = {};
    FSA_REVISION libraryRevision = {};
    FSA_REVISION firmwareRevision = {};
    FSA_REVISION bootRevision = {};
    FSA_REVISION biosRevision = {};
    FSA_REVISION hardwareRevision = {};
    // Driver revisions answered by the revision check.
    FSA_REVISION miniportDriverVersion = {};
    FSA_REVISION fileSystemDriverVersion = {};
    uint32_t adapterType = 0;
    uint32_t adapterInfoWords[32] = {};
    uint32_t channelCount = 0;
    uint32_t channelKind[16] = {};
    uint32_t maxTransferBytes = 0;
    // Container numbers at or above this have no host disk.
    uint32_t maxAccessibleContainers = 0;
    uint32_t osType = 0;
    uint32_t osTypeOverride = 0;
    uint32_t pciBus = 0;
    uint32_t pciSlot = 0;
    uint32_t onlineExpansion = 0;
    wchar_t adapterModel[17] = {};
    uint32_t alarmState = 0;  // 2 none, 1 on, 0 off
    uint32_t oemId = 0;
    uint32_t boardSerial[2] = {0, 0};
    // Serial word 0: the third word of every container identifier.
    uint32_t adapterIdentityWord = 0;
    // The driver-handle word (first identity word): 0 for every adapter this
    // system opens.
    uint32_t driverHandleWord = 0;
    int jbodSupported = 0;

    // 7. Option masks.
    uint32_t supportedOptions = 0;  // from the supplement information
    uint32_t adapterOptions = 0;    // the adapter information's own word
    uint32_t optionWord2 = 0xF0F9B;
    uint32_t featureEnable = 0;
    uint32_t furtherOptions = 0;
    uint32_t containerOpMask = 0xFFF;
    uint32_t supplementInfoWord = 0;

    // 8. Heap, created by the open.
    FSA_BLINK_MANAGER* blinkManager = nullptr;

    // 9. The context mutex and its held flag.
    void* contextMutex = nullptr;
    int mutexHeld = 0;

    // 10. The connection to the driver, owned by the context while open.
    FAUX_COMM_CONTEXT* commContext = nullptr;

    // 11. Caches.
    FSA_CONTAINER_CACHE containerCache;
    FSA_ASYNC_FIB_CACHE asyncFibCache;
    FSA_PARTITION_LAYOUT_CACHE partitionLayoutCache;
    uint32_t uniqueIdCount = 0;
    void* uniqueIdTable = nullptr;  // malloc'ed
    void* uniqueIdMutex = nullptr;
    void* ppiTable = nullptr;       // malloc'ed
    void* ppiMutex = nullptr;

    // Other adapters of the host whose drives this context forwards to: their
    // handle and identity word (nothing fills it yet: every drive is local).
    FSA_OTHER_ADAPTER otherAdapters[FSA_MAX_OTHER_ADAPTERS] = {};
    uint32_t otherAdapterCount = 0;

    // 12. 0 for every adapter that this system opens.
    int remoteAdapter = 0;

    // 13.
    uint8_t raid6Options[340] = {};
    void* connectorMap = nullptr;  // malloc'ed
    uint32_t connectorMapBytes = 0;
    void* heapArray[4] = {nullptr, nullptr, nullptr, nullptr};  // malloc'ed
    FsaVynIoAdapterConfig* vynIoConfig = nullptr;

    // The general information, kept from the open to the close and refreshed
    // in place; its option words live in the option masks above.
    FSA_GENERAL_INFO2 generalInfo = {};
    // The dynamic adapter properties as last read (480 bytes).
    uint8_t dynamicProperties[480] = {};
    // Sent in SCSI-class requests (0; 3 while a battery request is sent).
    uint32_t adapterNumberWord = 0;
    // Targets above this have no device handle; the open sets it.
    uint32_t highestTarget = 0xFFFF;

    // The user-interface callback values; nothing in the library reads them.
    uint32_t uiCallback[3] = {0, 0, 0};
    // Kept by the open's bring-up.
    uint32_t callerBuild = 0;
    uint32_t extendedOptions = 0;
    uint32_t platformWord = 0;
    uint32_t retryWord = 0;
    uint32_t targetCount = 0;
    uint32_t smallestMaxContainerBlocks = 0;
    // Container lists (malloc'ed): list 0 of container numbers, list 1 of
    // logical-device handles, each {age, count, entries}; the identifiers of
    // list 0 and the 432-byte records of list 1.
    uint32_t maxContainerCount = 0;
    uint8_t* containerList[2] = {nullptr, nullptr};
    uint32_t* listIdentifiers = nullptr;
    uint32_t listIdentifierCount = 0;
    uint8_t* logDevRecords = nullptr;
    uint32_t logDevRecordCount = 0;
    // Container walks: bit 0 while a `next` walk runs, bit 1 once the PPI
    // table was refreshed in it.
    uint32_t walkWord = 0;

    // The partition cache (made by its first reader, freed with the context),
    // the partition limit of the container count (CT 4 result word 2), and
    // the adapter index word the slice request answers with.
    FSA_PARTITION_CACHE* partitionCache = nullptr;
    uint32_t partitionLimitWord = 0;
    uint32_t adapterIndexWord = 0;
    // Change notification: while set, every invalidation of the partition
    // cache calls the callback with its user word.
    int changeNotify = 0;
    void (*changeCallback)(void* user) = nullptr;
    void* changeUserData = nullptr;
    // The PPI table copy: the six header words, the entries (ppiTable, 16
    // bytes each) and whether they were read; the missing drives that are
    // really absent (malloc'ed 16-byte entries, ascending by device handle).
    uint32_t ppiHeaders[6] = {};
    uint32_t ppiCount = 0;
    int ppiValid = 0;
    void* missingDrives = nullptr;
    uint32_t missingCount = 0;

    // Limits the parameter checks read, kept by the open from the RAID-0
    // container-option entry (bytes): chunk minimum, maximum and granularity,
    // and the smallest container.
    uint32_t chunkMinimum = 0;
    uint32_t chunkMaximum = 0;
    uint32_t chunkGranularity = 0;
    uint64_t minContainerBytes = 0;
    // Set once the open-read-write notice (CT 155) went to the controller.
    int readWriteNoticeSent = 0;
};

// Handle table: process-wide map of adapter handles to contexts. Handles start
// at 4096 and are never reused within the process.
// The new handle, or 0 when the table cannot grow.
uint32_t UtilCreateHandle(FSAAPI_CONTEXT* ctx);
FSAAPI_CONTEXT* UtilGetContextFromHandle(void* handle);
void UtilDeleteHandle(void* handle);
// Frees the table and starts handles at 4096 again; 1.
FSA_STATUS UtilFreeHandleResources();
void UtilStartHandleAccess();
void UtilFinishHandleAccess();
// Capacity of the table in pairs, for tests.
uint32_t UtilHandleTableCapacity();

// Adapter handles are opaque pointers holding the handle number.
inline void* FsaHandleFromNumber(uint32_t handle) { return reinterpret_cast<void*>(static_cast<uintptr_t>(handle)); }

// Supported-option bit of the extended device-handle encoding.
constexpr uint32_t FSA_SUPPORTED_EXTENDED_DEVICE_HANDLES = 0x200000;

// Device handles: (255, 65535, 255) for -1 and for buses from 4 up.
uint32_t FsaApiGetBusFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle);
uint32_t FsaApiGetTargetFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle);
uint32_t FsaApiGetLunFromDeviceHandle(const FSAAPI_CONTEXT* ctx, uint32_t handle);
uint32_t FsaApiGetDevtFromBLT(const FSAAPI_CONTEXT* ctx, uint32_t bus, uint32_t target, uint32_t lun);

// Firmware bus types 1 to 13 are the FSA channel types; others 0.
uint32_t TranslateFwBusTypeToFsaChannel(uint32_t busType);
uint32_t TranslateFwDevTypeToFsaDevType(uint32_t deviceType);
// Nothing on this system.
void TranslateAdapterTypeToText(uint32_t adapterType, uint32_t, wchar_t*);
// The adapter type of a platform code: the code itself on this host.
uint32_t TranslatePLATtoAT(uint32_t platform, uint32_t oem);
// The effective OS type (the override when set) is 10.
bool IsHostWithDeviceNotifications(const FSAAPI_CONTEXT* ctx);

#endif
