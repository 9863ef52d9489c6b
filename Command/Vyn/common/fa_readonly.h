#ifndef VYN_COMMAND_VYN_COMMON_FA_READONLY_H
#define VYN_COMMAND_VYN_COMMON_FA_READONLY_H

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstddef>
#include <cstdint>

class FSAAPI_CONTEXT;
struct FAOS_CTR_REMOVE_BASE;
struct FAOS_CTR_CHANGE_BASE;
class FsaVynIoPhyDevInfo;

// The general information of a controller as a whole, kept in its context
// from the open to the close. A byte record: fields are read and written at
// their offsets with the little-endian accessors of fa_bytes.h.
struct FSA_GENERAL_INFO2 {
    uint8_t bytes[2764];
};
static_assert(sizeof(FSA_GENERAL_INFO2) == 2764, "general information is 2764 bytes");

// The older, shorter form: the first 2484 bytes of the same record.
struct FSA_GENERAL_INFO {
    uint8_t bytes[2484];
};
static_assert(sizeof(FSA_GENERAL_INFO) == 2484, "legacy general information is 2484 bytes");

// Byte offsets of the fields of FSA_GENERAL_INFO2. Revisions are 4 bytes
// (dash, type, minor, major) followed by a u32 build number.
enum FSA_GENERAL_INFO2_FIELD : size_t {
    GI_OPTION_BYTE_645 = 645,              // u8, low byte of option word 3
    GI_API_VERSION = 2120,                 // revision + build (fsaApiVersion, fsaApiBuildNum)
    GI_FS_DRIVER_VERSION = 2144,           // revision + build
    GI_MINIPORT_VERSION = 2152,            // revision + build
    GI_FIRMWARE_VERSION = 2160,            // revision + build
    GI_ADAPTER_TYPE = 2184,                // u32
    GI_PROCESSOR_CLOCK_MHZ = 2192,         // u32 fsaProcessorClockSpeedInMhz
    GI_ADAPTER_MEMORY = 2196,              // u32 fsaAdapterMemorySizeInBytes
    GI_EXECUTION_MEMORY = 2200,            // u32
    GI_BUFFER_MEMORY = 2204,               // u32
    GI_NUMBER_OF_BUSES = 2208,             // u32 fsaNumberOfBuses
    GI_DEVICES_PER_BUS = 2212,             // u32 fsaDevicesAvailablePerBus
    GI_MAX_LD_MEMBERS = 2216,              // u32
    GI_MAX_VOLUME_MEMBERS = 2220,          // u32
    GI_MAX_RAID0_MEMBERS = 2224,           // u32
    GI_MAX_RAID5_MEMBERS = 2228,           // u32
    GI_MAX_DEDICATED_SPARES = 2232,        // u32
    GI_MAX_GLOBAL_SPARES = 2236,           // u32
    GI_MIN_STRIPE_BYTES = 2248,            // u32
    GI_MAX_STRIPE_BYTES = 2256,            // u32
    GI_MAX_CONTAINER_NUMBER = 2268,        // u32 fsaMaxContainerNumber
    GI_MAX_ACCESSIBLE_CONTAINERS = 2272,   // u32 fsaMaxAccessibleContainers
    GI_SERIAL_NUMBER_0 = 2284,             // u32
    GI_SERIAL_NUMBER_1 = 2288,             // u32
    GI_OS_TYPE = 2292,                     // u32
    GI_PCI_BUS = 2300,                     // i16 fsaPCIBusID
    GI_PCI_SLOT = 2302,                    // i16 fsaPCISlotNumber
    GI_OEM = 2312,                         // u32 fsaOem
    GI_DESCRIPTION = 2316,                 // wide text, 18 characters
    GI_BIOS_VERSION = 2388,                // revision + build
    GI_CLUSTERING = 2396,                  // u32
    GI_SUPPORTED_OPTIONS = 2412,           // u32 fsaSupportedOptions (option word 1)
    GI_ALARM_STATE = 2416,                 // u32 fsaAdapAlarmState
    GI_OEM_ID = 2420,                      // u32 fsaOemId
    GI_MAX_NUMBER_PORTS = 2424,            // u32 fsaMaxNumberPorts
    GI_SUPPORTED_OPTIONS2 = 2428,          // u32 fsaSupportedOptions2 (option word 2)
    GI_PCI_PHYSICAL_SLOT = 2432,           // u16 fsaPCIPhysicalSlotNumber
    GI_NUM_OF_SNAPSHOTS = 2435,            // u8 fsaNumOfSnapshots
    GI_NUM_SAS_PORTS = 2436,               // u32 fsaNumSasPorts
    GI_VPD_ASSEMBLY = 2440,                // 8 characters
    GI_VPD_FRU = 2448,                     // 8 characters
    GI_VPD_BATTERY_FRU = 2456,             // 8 characters
    GI_VPD_EC = 2464,                      // 8 characters
    GI_STAGED_FIRMWARE_VERSION = 2472,     // revision + build
    GI_MORPH_SUPPORT_MASK = 2480,          // u32 fsaMorphSupportMask
    GI_HEAT_TEMPERATURE = 2492,            // i16
    GI_HEAT_LOW = 2496,                    // i16
    GI_HEAT_HIGH = 2498,                   // i16
    GI_BOOT_FIRMWARE_VERSION = 2500,       // revision + build
    GI_LONG_SERIAL = 2508,                 // u32 fsaLongSerialNum
    GI_EXPANDER_WWNS = 2512,               // 2 x 8 bytes
    GI_RAID_SUPPORT_MASK = 2528,           // u32
    GI_DEVICE_CACHE_POLICY = 2532,         // u32 fsaDeviceCachePolicy: bit 1 SATA, bit 0 SAS
    GI_OPTION_WORD4 = 2536,                // u32
    GI_DEFAULT_TASK_PRIORITY = 2540,       // u32
    GI_PERFORMANCE_MODE = 2544,            // u32
    GI_PERFORMANCE_MODES = 2548,           // u32 supported performance modes
    GI_POWER_MANAGEMENT = 2552,            // u32
    GI_STAY_AWAKE_START = 2556,            // u32
    GI_STAY_AWAKE_END = 2560,              // u32
    GI_SPINUP_INTERNAL = 2564,             // u32
    GI_SPINUP_EXTERNAL = 2568,             // u32
    GI_UTC_DIFFERENCE = 2572,              // u32
    GI_HOST_BUS_TYPE = 2576,               // u8 fsaHostBusType
    GI_HOST_BUS_WIDTH = 2577,              // u8 fsaHostBusWidth
    GI_HOST_BUS_SPEED = 2578,              // u16 fsaHostBusSpeed
    GI_OPTION_WORD3 = 2580,                // u32
    GI_DYNAMIC_PROPERTY_17 = 2584,         // u32
    GI_STAY_AWAKE_DAYS = 2588,             // u8
    GI_SSD_CACHE_MAX_DRIVES = 2589,        // u8
    GI_SSD_CACHE_DRIVES = 2590,            // u8
    GI_SSD_FLUSH_FETCH_RATE = 2592,        // u16
    GI_DIRTY_PAGE_THRESHOLD = 2594,        // u16
    GI_NCQ_FLAGS = 2596,                   // u8, bit 7 NCQ supported
    GI_NCQ_ENABLED = 2600,                 // u32
    GI_STATISTICS_ENABLED = 2604,          // u32
    GI_SSD_READ_FACTOR = 2608,             // i8
    GI_SSD_WRITE_FACTOR = 2609,            // i8
    GI_SSD_CAPACITY = 2612,                // u64
    GI_MAX_DISK_TASKS = 2620,              // u8
    GI_FURTHER_FLAGS = 2624,               // u32
};
static_assert(GI_FURTHER_FLAGS + 4 <= sizeof(FSA_GENERAL_INFO2), "every field lies inside the record");
static_assert(GI_MORPH_SUPPORT_MASK + 4 <= sizeof(FSA_GENERAL_INFO), "the legacy form ends after the morph mask");

// Option-word bits used by the general information.
enum : uint32_t {
    FSA_OPT1_SUPPLEMENT = 1u << 16,
    FSA_OPT1_HEAT_SENSOR = 1u << 19,
    FSA_OPT1_STATISTICS = 1u << 26,
    FSA_OPT2_DEVICE_CACHE_POLICY = 1u << 15,
    FSA_OPT2_DYNAMIC_PROPERTIES = 1u << 16,
    FSA_OPT2_MFG_SERIAL = 1u << 25,
    FSA_OPT4_JBOD_DRIVER = 1u << 7,
};

// The context's option words, one place each: word 1 is the adapter
// information's option word, word 2 the supplement's supported-option mask,
// word 3 its feature word, word 4 the feature-enable mask. The general
// information record carries copies of them at 2412, 2428, 2580 and 2536.
uint32_t& FsaOptionWord1(FSAAPI_CONTEXT* ctx);
uint32_t& FsaOptionWord2(FSAAPI_CONTEXT* ctx);
uint32_t& FsaOptionWord3(FSAAPI_CONTEXT* ctx);
uint32_t& FsaOptionWord4(FSAAPI_CONTEXT* ctx);

// Re-derives the option fields from the supplement adapter information (the
// FIB 706 reply payload, or null): word 2, word 4 and the snapshot count are
// cleared and the morph mask reset to 0xF0F9B, then taken from the record.
void FsaInitSupportedOptions(FSAAPI_CONTEXT* ctx, const uint8_t* supplement);

// The handle of entry `index` of the session's handle list into *out: 9 for
// an unknown handle, 3 (with *out null) past the end of the list, else 1.
FSA_STATUS FsaGetHandleFromIndex(void* handle, uint32_t index, void** out);
// The handle of the first handle-list entry whose adapter identity word is
// `serial`: 1, 3 when none matches, 9 for an unknown handle; *out null unless found.
FSA_STATUS FsaGetHandleFromSerial(void* handle, uint32_t serial, void** out);


// Refreshes the parts of the context's general information that can change
// and copies the record out; an unknown handle gives the placeholder record.
void FsaGetGeneralInformation2(void* handle, FSA_GENERAL_INFO2* out);
// The legacy form: the first 2484 bytes.
void FsaGetGeneralInformation(void* handle, FSA_GENERAL_INFO* out);
// Read-only export: the general information of entry `index` of the
// session's handle list.
FSA_STATUS FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out);

// The extended type of a container for the container conversion; `record` is
// the container's legacy record (cttype).
uint32_t GetExtendedType(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t type, const void* record);

// Container removal, change and exposure for the host; the integer
// arguments go to the OS layer unchanged. Each resolves the handle (9) and
// returns 1 or what the OS layer threw; removal preparation gives 399 when the
// OS layer hands back no state for a local controller, and 1 with a null state
// for a controller without host driver.
extern "C" {
FSA_STATUS FsaPrepareCtrForRemoval(void* handle, int container, int permanent, int force, FAOS_CTR_REMOVE_BASE** out);
FSA_STATUS FsaCtrRemovalComplete(void* handle, int container, int failed, FAOS_CTR_REMOVE_BASE* state);
FSA_STATUS FsaExposeCtrToOs(void* handle, int container, int data);
FSA_STATUS FsaPrepareCtrForChange(void* handle, uint32_t container, FAOS_CTR_CHANGE_BASE** out);
FSA_STATUS FsaCtrChangeComplete(void* handle, int container, int failed, FAOS_CTR_CHANGE_BASE* state);
}
// Whether controller `controller` holds the host's boot device, into *flag.
FSA_STATUS FsaCtrIsSystemBootDevice(FSAAPI_CONTEXT* ctx, uint32_t controller, int* flag);

// The dynamic adapter properties (480 bytes) into `record`: 1, 31 without
// support, 72 for a reply reporting failure, or the failed send's status.
FSA_STATUS SendGetDynamicAdapterPropertiesFib(FSAAPI_CONTEXT* ctx, void* record);


// Container information queries. Records are at least 580 bytes (extended)
// or 504 (legacy); a walk passes the previous answer's identifier with `next`
// set and ends with 17.
struct tag_FSA_CONTAINER;
struct FSA_CONTAINER_INFO_EXTND;
struct FSA_CONTAINER_INFO;
struct FSA_PARTITION;
struct FSA_PARTITION_INFO;
FSA_STATUS FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                FSA_CONTAINER_INFO_EXTND* info, uint32_t size);
FSA_STATUS FsaGetContainerInfo(void* handle, int next, const tag_FSA_CONTAINER* container, FSA_CONTAINER_INFO* info,
                               uint32_t size);
// 5 under 580 bytes; 31 without the configuration model.
FSA_STATUS FsaGetMostContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                    FSA_CONTAINER_INFO_EXTND* info, uint32_t size);
// From the configuration model: 1, 7 without container and `next`, 17.
FSA_STATUS FsaNewGetMostContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                       FSA_CONTAINER_INFO_EXTND* info, uint32_t size);
// The legacy record: 5 under 504 bytes, or with the fixed part written when
// the members do not fit; 91.
FSA_STATUS FsaGetMostContainerInfo(void* handle, int next, const tag_FSA_CONTAINER* container,
                                   FSA_CONTAINER_INFO* info, uint32_t size);
// The container's OS device file into the record; 1.
FSA_STATUS FsaGetExtendedInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                               FSA_CONTAINER_INFO_EXTND* info, uint32_t size);
FSA_STATUS FsaGetExtendedInfo(void* handle, int next, const tag_FSA_CONTAINER* container, FSA_CONTAINER_INFO* info,
                              uint32_t size);
// The defaults a container record holds before its conversion.
void FsaInitContainerInfo(FSA_CONTAINER_INFO_EXTND* info);
// What a partition of a drive belongs to: 1, 13 when not found or for a
// walk; 31 without the configuration model.
FSA_STATUS FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition, FSA_PARTITION_INFO* info);
FSA_STATUS FsaNewGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition, FSA_PARTITION_INFO* info);
void DebugPrintContainerInfo(const char* label, FSA_CONTAINER_INFO_EXTND* info);
// ---- Channels, adapter state, SAS phys, container and RAID-6 options ----

// One channel (bus) as the channel enumeration reports it: eleven words are
// filled, the rest stays as the caller's zeroed record had it.
struct _tagFSA_CHANNEL_ENUM_INFO {
    uint32_t busIndex;
    int32_t adapterScsiId;      // the bus's identifier byte, sign-extended
    uint32_t targetsAvailable;  // the bus information's third word
    uint32_t channelType;
    uint32_t maxUsageType;      // 0
    uint32_t clustered;         // 0
    uint32_t partnerChannel;    // 0xFFFFFFFF
    uint32_t partnerScsiId;     // 0xFFFFFFFF
    uint32_t channelMode;
    uint32_t portsMapped;
    uint32_t linkSpeed;
    uint32_t reserved[10];
};
static_assert(sizeof(_tagFSA_CHANNEL_ENUM_INFO) == 84, "channel record is 84 bytes");

// Channel kinds a walk asks for: the plain channels and the SCSI channels
// that some controllers keep apart (the context's per-bus table).
enum : uint32_t {
    FSA_CHANNEL_KIND_PLAIN = 1,
    FSA_CHANNEL_KIND_SCSI = 2,
};

// Called once per bus of the requested kind: the number of buses the
// controller reported, the record, the caller's context.
typedef void (*FSA_ENUM_CHANNELS_CALLBACK)(uint32_t busCount, const _tagFSA_CHANNEL_ENUM_INFO* info, void* context);

// One adapter phy as FIB 612 answers it; bytes 0 and 36 hold their upper
// nibble moved down.
struct _FSA_SAS_PHY_ENTITY {
    uint8_t bytes[64];
};
static_assert(sizeof(_FSA_SAS_PHY_ENTITY) == 64, "adapter phy record is 64 bytes");

// One phy of a drive, as the configuration model keeps two per drive.
struct _FSA_SAS_DISK_PHY_INFO {
    uint8_t bytes[48];
};
static_assert(sizeof(_FSA_SAS_DISK_PHY_INFO) == 48, "drive phy record is 48 bytes");

// Member limits per RAID level: 24 groups of 16 bytes.
struct FSA_CONTAINER_OPTIONS {
    uint8_t bytes[384];
};
static_assert(sizeof(FSA_CONTAINER_OPTIONS) == 384, "container options are 384 bytes");

// RAID-6 options: words at 4, 8 (maximum major cycle), 12 (entry count) and
// 16 (flags; bit 0 = the Reed-Solomon table is filled), the drive-count table
// from 84 and the Reed-Solomon one from 212, 32 entries of 4 bytes each.
struct FSA_RAID6_OPTIONS {
    uint8_t bytes[340];
};
static_assert(sizeof(FSA_RAID6_OPTIONS) == 340, "RAID-6 options are 340 bytes");
constexpr size_t RAID6_OPT_ENTRY_COUNT = 12;
constexpr size_t RAID6_OPT_FLAGS = 16;
constexpr size_t RAID6_OPT_TABLE = 84;
constexpr size_t RAID6_OPT_RS_TABLE = 212;
constexpr uint32_t RAID6_OPT_MAX_ENTRIES = 32;
constexpr uint32_t RAID6_OPT_FLAG_RS = 0x1;

// Reads the RAID-6 options from the firmware (CT 219) into `record`: 7
// without a context or record, else the status of the request. The open
// calls it and goes on whatever it answers, so it returns its failures
// instead of throwing them.
FSA_STATUS FsaApiInternalGetRaid6Options(FSAAPI_CONTEXT* ctx, void* record);

extern "C" {
// Channel walks of kind 1 and kind 2, and the walk they share: 66 when the
// bus information cannot be read, else 1.
FSA_STATUS FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback);
FSA_STATUS FsaEnumScsiChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback);
FSA_STATUS FsaApiInternalEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback,
                                      uint32_t kind);
// Whether the controller's I/O is paused (FIB 704); allowed while paused.
FSA_STATUS FsaIsAdapterPaused(void* handle, int* paused);
// The same over every handle of the adapter's list, stopping at the first
// failure or the first paused answer.
FSA_STATUS FsaIsAdapterPausedEx(void* handle, int* paused);
FSA_STATUS FsaGetAdapterOemId(void* handle, uint32_t* oem);
// Adapter phy `phyIndex` (FIB 612).
FSA_STATUS FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy);
// The two phys of a drive from the configuration model: 6 for a drive the
// model does not list.
FSA_STATUS FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first, void* second);
FSA_STATUS FsaNewGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first, void* second);
// Fills the groups of CT 73 and, with option word 2 bit 4, of CT 217; the
// other groups keep what the caller put there.
FSA_STATUS FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options);
// The RAID-6 options the open read.
FSA_STATUS FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options);
// Rebuilds the configuration model and brings the controller's time in step;
// 1 whatever they answer.
FSA_STATUS FsaStartGetConfig(void* handle);
}

// What is known of one physical device, copied whole by the controller
// family. The 64-bit block counts sit as low and high words apart.
struct FSA_STORAGE_DEVICE_INFO {
    FSA_STORAGE_DEVICE address;
    uint32_t storageDeviceClass;
    uint32_t storageDeviceUsage;
    uint32_t taskInProgress;
    uint32_t failoverSpaceUsage;
    uint32_t adapterManaged;
    uint32_t stdDevType;  // peripheral device type of the inquiry data
    uint32_t devSubType;
    uint32_t removableMedia;
    char vendorId[8];  // not terminated
    char productId[16];
    char productRevision[4];
    char serialNumber[20];
    uint32_t numBlocksLow;
    uint32_t bytesPerBlock;
    uint32_t isBlinking;
    uint32_t negotiatedBusType;
    uint32_t negotiatedSpeedInMbps;
    uint32_t maxUsableBlocksLow;
    uint32_t numUsableBlocksLow;
    uint32_t diskCacheSetting;
    uint32_t numBlocksHigh;
    uint64_t fingerprint;
    char revisionExtension[4];
    uint32_t deviceFlags;
    uint32_t maxUsableBlocksHigh;
    uint32_t numUsableBlocksHigh;
    uint8_t reserved[152];
    uint32_t sharedBus;
    uint32_t isCandidateSpare;
    uint8_t rawSlotNumber;
    uint8_t enclNvsramIndex;
    uint16_t scsiVersion;
    uint32_t unsupportedDeviceReason;
    uint32_t firmwareState;
    uint32_t firmwareOptions;
    char extendedIdentifier[20];
    uint32_t deviceHandle;
    uint32_t nonSpinning;
    uint32_t orvexaCapable;
    uint32_t orvexaAssigned;
    uint32_t sataNcqEnabled;
    uint32_t auxStateFlag;
    uint32_t ataSecuritySupport;
    uint8_t tail[8];
};
static_assert(sizeof(FSA_STORAGE_DEVICE_INFO) == 384, "device information is 384 bytes");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, stdDevType) == 32, "device part at byte 32");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, numBlocksLow) == 92, "block count low word at byte 92");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, numBlocksHigh) == 124, "block count high word at byte 124");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, fingerprint) == 128, "fingerprint at byte 128");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, sharedBus) == 304, "shared-bus word at byte 304");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, rawSlotNumber) == 312, "raw slot at byte 312");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, scsiVersion) == 314, "inquiry version at byte 314");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, deviceHandle) == 348, "device handle at byte 348");
static_assert(offsetof(FSA_STORAGE_DEVICE_INFO, ataSecuritySupport) == 372, "last field at byte 372");

// The SMART state of one device: 19 words.
struct FSA_SMART_DATA {
    uint32_t smartEnabled;
    FSA_STORAGE_DEVICE address;
    uint32_t mrie;
    uint32_t disableException;
    uint32_t logError;
    uint32_t perf;
    uint32_t reportCount;
    uint32_t errorCount;
    uint32_t intervalTimer;
    uint32_t testError;
    uint32_t reserved[2];
    uint32_t zero[5];
};
static_assert(sizeof(FSA_SMART_DATA) == 76, "SMART record is 76 bytes");
static_assert(offsetof(FSA_SMART_DATA, mrie) == 16, "MRIE is word 4");

// Walks over devices: `next` 0 answers the device at `device`; non-zero the
// one after it in the model's order (the first for a null device). 10 past
// the last device or for an address the model does not hold.
extern "C" {
FSA_STATUS FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                   FSA_STORAGE_DEVICE_INFO* info);
FSA_STATUS FsaGetScsiStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                       FSA_STORAGE_DEVICE_INFO* info);
FSA_STATUS FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device, FSA_SMART_DATA* smart);
}

// The channel-mode filters: a `next` walk passes over devices on channels of
// another mode; a direct lookup checks the device's channel first.
FSA_STATUS FsaApiInternalGetStorageDeviceInfoForChanMode(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                         FSA_STORAGE_DEVICE_INFO* info, FSAAPI_CHANNEL_MODE mode);
FSA_STATUS FsaApiInternalGetSmartDeviceInfoForChanMode(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                       FSA_SMART_DATA* smart, FSAAPI_CHANNEL_MODE mode);
// The routers: the model readers when the controller has a configuration
// model (option word 3 bit 0x8), else 31.
FSA_STATUS FsaApiInternalGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                              FSA_STORAGE_DEVICE_INFO* info);
FSA_STATUS FsaApiInternalGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                            FSA_SMART_DATA* smart);
// The model readers.
FSA_STATUS FsaNewApiInternalGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                 FSA_STORAGE_DEVICE_INFO* info);
FSA_STATUS FsaNewApiInternalGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                               FSA_SMART_DATA* smart);

// Index into the model's physical devices of the device at `device` (the
// first match), or with `next` the index after it (0 for a null device);
// 0xFFFFFFFF when the address is not in the model.
uint32_t FsaGetDeviceIndex(void* handle, const FSA_STORAGE_DEVICE* device, int next);
// The address of a model node: kind, bus, target and LUN; the other bytes of
// `out` are left alone. No lock: the caller holds it.
void FsaSetDeviceLocation(const FsaVynIoPhyDevInfo* node, FSA_STORAGE_DEVICE* out);
// The model node whose record carries `deviceHandle`, the first from index 0,
// or null. No lock: the caller holds it.
FsaVynIoPhyDevInfo* FsaGetPhyDevFromHandle(FSAAPI_CONTEXT* ctx, uint32_t deviceHandle);

#endif
