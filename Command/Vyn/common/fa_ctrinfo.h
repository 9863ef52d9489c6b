#ifndef VYN_COMMAND_VYN_COMMON_FA_CTRINFO_H
#define VYN_COMMAND_VYN_COMMON_FA_CTRINFO_H

// Container information records handed to callers: the extended record, its
// legacy form and the partition record. Byte positions are part of the format
// (callers of every generation read them), so the records are byte arrays read
// and written with the little-endian accessors of fa_bytes.h.

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstddef>
#include <cstdint>

// A stretch of one device: its address, then a byte offset and a byte length.
struct FSA_PARTITION {
    uint8_t bytes[28];
};
static_assert(sizeof(FSA_PARTITION) == 28, "a partition (member element) is 28 bytes");
constexpr size_t FSA_PARTITION_DEVICE = 0;   // FSA_STORAGE_DEVICE, 12 bytes
constexpr size_t FSA_PARTITION_OFFSET = 12;  // u64, bytes
constexpr size_t FSA_PARTITION_LENGTH = 20;  // u64, bytes

// The extended container information: a fixed part of 552 bytes, then one
// FSA_PARTITION per member. Callers pass records of 580 to 4164 bytes; the
// type spans the largest.
struct FSA_CONTAINER_INFO_EXTND {
    uint8_t bytes[4164];
};
static_assert(sizeof(FSA_CONTAINER_INFO_EXTND) == 4164, "the largest extended container record is 4164 bytes");
constexpr uint32_t FSA_CONTAINER_INFO_EXTND_MIN = 580;
constexpr uint32_t FSA_CONTAINER_INFO_EXTND_MAX = sizeof(FSA_CONTAINER_INFO_EXTND);

// The legacy record: byte for byte the extended one up to byte 476, then its
// members at once. At least 504 bytes (one member).
struct FSA_CONTAINER_INFO {
    uint8_t bytes[504];
};
static_assert(sizeof(FSA_CONTAINER_INFO) == 504, "the smallest legacy container record is 504 bytes");
constexpr uint32_t FSA_CONTAINER_INFO_MIN = sizeof(FSA_CONTAINER_INFO);

// Byte positions of the container information (both forms below 476).
enum FSA_CONTAINER_INFO_FIELD : size_t {
    CI_NUMBER = 0,
    CI_HANDLE = 4,
    CI_ADAPTER_WORD = 8,
    CI_NAME = 12,  // char[16], no terminator when full
    CI_TYPE = 28,
    CI_BASE_TYPE = 32,
    CI_MIRROR_STATE = 36,
    CI_USAGE = 40,
    CI_FLAG_A = 44,  // flags1 0x4
    CI_FLAG_B = 48,  // flags1 0x1 (the second flag)
    CI_FLAG_C = 52,  // flags1 0x2
    CI_WORD_56 = 56,
    CI_WORD_60 = 60,
    CI_LAYOUT = 64,
    CI_SIZE = 68,  // u64, bytes
    CI_TASK_PRIORITY = 76,
    CI_CREATOR = 80,  // two words
    CI_CREATION = 88,  // month, day (u8), year (u16), hour, minute, second, last (u8)
    CI_STRIPE = 96,
    CI_TASK_RELATION = 100,
    CI_RELATED = 104,  // triple {number, unique id or handle, adapter word}
    CI_MORPH_SOURCE = 116,
    CI_MORPH_DESTINATION = 128,
    CI_FURTHER_1 = 140,
    CI_FURTHER_2 = 152,
    CI_FURTHER_3 = 164,
    CI_MIRROR_FLAG = 176,
    CI_MIRROR_PARTNER = 180,  // triple
    CI_TASK_PRESENT = 192,
    CI_SNAPSHOT_RELATION = 196,  // triple
    CI_CREATION_BLOCK = 208,     // 16 bytes
    CI_SNAPSHOT_ORIGINAL = 224,  // number, handle
    CI_SNAPSHOT_ADAPTER = 232,
    CI_FAULTED = 236,
    CI_MEMBER_COUNT = 260,
    CI_DESCRIPTION = 264,  // 152 bytes
    CI_FILE_NAME = 420,    // 51 bytes
    CI_PERFORMANCE = 472,
    CI_LEGACY_MEMBERS = 476,  // legacy form: the members start here
    CI_WRITE_CACHE = 476,     // extended form
    CI_ATTRIBUTES = 480,
    CI_BAD_UNITS = 484,
    CI_FORCE_ONLINE = 488,
    CI_EXTENSION = 492,  // five words
    CI_FLAGS4 = 512,     // four words
    CI_STATE_KIND = 528,
    CI_MEMBERS = 552,
};
constexpr size_t CI_NAME_BYTES = 16;
constexpr size_t CI_FILE_NAME_BYTES = 51;
constexpr size_t CI_DESCRIPTION_BYTES = 152;
static_assert(CI_MEMBERS + sizeof(FSA_PARTITION) == FSA_CONTAINER_INFO_EXTND_MIN, "the smallest record holds one member");
static_assert(CI_LEGACY_MEMBERS + sizeof(FSA_PARTITION) == FSA_CONTAINER_INFO_MIN,
              "the smallest legacy record holds one member");

// Member elements a record of `size` bytes holds after the fixed part of
// `membersAt` bytes.
inline uint32_t FsaMemberCapacity(uint32_t size, size_t membersAt)
{
    return size > membersAt ? static_cast<uint32_t>((size - membersAt) / sizeof(FSA_PARTITION)) : 0;
}

// What a partition of a device is part of.
struct FSA_PARTITION_INFO {
    uint8_t bytes[112];
};
static_assert(sizeof(FSA_PARTITION_INFO) == 112, "partition information is 112 bytes");
enum FSA_PARTITION_INFO_FIELD : size_t {
    PI_PARTITION = 0,                  // FSA_PARTITION
    PI_PARTITION_TYPE = 28,            // u32
    PI_PRIMARY_CONTAINER_TYPE = 32,    // u32
    PI_PRIMARY_CONTAINER = 36,         // tag_FSA_CONTAINER
    PI_SECONDARY_CONTAINER_TYPE = 48,  // u32
    PI_SECONDARY_CONTAINER = 52,       // tag_FSA_CONTAINER
    PI_READ_ONLY = 64,                 // u32
    PI_MIRROR_SLAVE_SPACE = 68,        // u32
    PI_BAD_BLOCK_COUNT = 72,           // u32
};
static_assert(PI_BAD_BLOCK_COUNT + 4 + 36 == sizeof(FSA_PARTITION_INFO), "36 bytes follow the bad-block count");


// Fields of the firmware's logical-device record (VYNIO_LOGDEV_INFO_S, 432
// bytes) that the container layer reads.
enum VYNIO_LOGDEV_FIELD : size_t {
    LD_SUPPORTED_OPTIONS1 = 0,
    LD_SUPPORTED_OPTIONS2 = 4,
    LD_HANDLE = 16,
    LD_CONTAINER_NUM = 20,
    LD_UID = 24,
    LD_RAID_TYPE = 48,
    LD_PARENT = 52,
    LD_NUM_CHILDREN = 56,
    LD_CHILD_OFFSET = 60,
    LD_NUM_BLOCKS = 64,  // u64
    LD_BLOCK_SIZE = 80,
    LD_STRIPE_SIZE = 84,
    LD_FLAGS1 = 88,
    LD_FLAGS2 = 92,
    LD_FAULT_STATE = 96,
    LD_ONLINE_STATE = 100,
    LD_PERFORMANCE_FLAGS = 104,
    LD_FORCE_ONLINE_FLAGS = 108,
    LD_TASK_TYPE = 120,
    LD_TASK_PROGRESS = 124,
    LD_TASK_STATE = 128,
    LD_TASK_PRIORITY = 132,
    LD_READ_CACHE_SETTING = 144,
    LD_WRITE_CACHE_SETTING = 148,
    LD_WRITE_CACHE_FLAGS = 152,
    LD_WRITE_CACHE_MODE = 156,
    LD_R6_TABLE_VERSION = 176,
    LD_R6_NUM_DATA = 180,
    LD_R6_NUM_PARITY = 184,
    LD_R6_REBUILD_MAP = 188,
    LD_SS_FLAGS = 192,
    LD_SS_ORIGINAL = 196,
    LD_SS_USED_BLOCKS = 200,  // u64
    LD_SS_ALERT_AT = 208,     // u64
    LD_MORPH_SOURCE = 224,
    LD_MORPH_DESTINATION = 228,
    LD_CREATION_DATE = 240,
    LD_CREATION_YEAR = 244,
    LD_CREATION_TIME = 248,
    LD_BAD_UNIT_COUNT = 264,
    LD_NAME = 296,       // char[16]
    LD_EXTENSION = 328,  // five words
};

class FsaVynIoAdapterConfig;
class FsaVynIoLogDevInfo;
// The context's configuration model, read from the controller when no walk
// has built it yet: 1, or the status of the failed read (91 when none made).
FSA_STATUS CT_ModelOf(FSAAPI_CONTEXT* ctx, FsaVynIoAdapterConfig** model);
// The first logical device of a container number: top-level devices first,
// then all devices (where the legs of two-level arrays are); null for none.
FsaVynIoLogDevInfo* CT_LogDevNumbered(const FsaVynIoAdapterConfig* model, uint32_t number);

// Fields of a segment record (VYNIO_SEGMENT64_INFO_S, 32 bytes).
enum VYNIO_SEGMENT_FIELD : size_t {
    SEG_PHY_HANDLE = 0,
    SEG_LOG_HANDLE = 4,
    SEG_MEMBER_INDEX = 10,  // u16
    SEG_FLAGS = 12,
    SEG_START = 16,   // u64, blocks
    SEG_BLOCKS = 24,  // u64, blocks
};

// Fields of the physical-device record (VYNIO_PHYDEV_INFO_S) read for
// member addresses.
enum VYNIO_PHYDEV_FIELD : size_t {
    PD_BUS = 12,
    PD_TARGET = 16,
    PD_LUN = 24,  // u64
    PD_ATTACHMENT_KIND = 37,
};

#endif
