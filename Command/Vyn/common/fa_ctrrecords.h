#ifndef VYN_COMMAND_VYN_COMMON_FA_CTRRECORDS_H
#define VYN_COMMAND_VYN_COMMON_FA_CTRRECORDS_H

// Byte records of the drive metadata sector, the PPI table, the single-command
// container operations and the container creation requests. All are read and
// written through fa_bytes.h.

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstdint>

// The library's own sector on every drive, kept by the controller.
struct FSAAPI_SW_METADATA {
    uint8_t bytes[384];

    static constexpr unsigned kSignatureBytes = 12;
    static constexpr unsigned kFormat1 = 12;
    static constexpr unsigned kFormat2 = 16;
    static constexpr unsigned kCandidateFlag = 20;
    static constexpr unsigned kZeroFrom = 24;

    void Init();
    bool IsValidSignature() const;
    void SetCandidateSpare();
    void ClrCandidateSpare();
    uint32_t IsCandidateSpare() const;
};
static_assert(sizeof(FSAAPI_SW_METADATA) == 384, "metadata sector is 384 bytes");

// Reply of the PPI header request: word 1 the table age, word 4 the count.
struct FSA_PPI_TABLE_HDRS {
    uint32_t words[6];
};
static_assert(sizeof(FSA_PPI_TABLE_HDRS) == 24, "PPI headers are six words");
constexpr unsigned PPI_HDR_AGE = 1;
constexpr unsigned PPI_HDR_COUNT = 4;

// One PPI entry in the form kept by the context: identity words at 0 and 4,
// device handle at 8 (0xFFFF none), bundle length at 12, flags at 13 (bit 7
// missing, bits 0-3 kind).
struct FSA_PPI_ENTRY {
    uint8_t bytes[16];
};
static_assert(sizeof(FSA_PPI_ENTRY) == 16, "PPI entry is 16 bytes");
constexpr unsigned PPI_HANDLE = 8;
constexpr unsigned PPI_BUNDLE = 12;
constexpr unsigned PPI_FLAGS = 13;
constexpr uint8_t PPI_MISSING = 0x80;
constexpr uint8_t PPI_KIND_MASK = 0x0F;
// The controller's narrow entry: handle u16 at 8, bundle at 10, flags at 11.
constexpr unsigned PPI_NARROW_BYTES = 12;

// The spares of a container or of the global pool (CT 43, 260 bytes): word 0
// the count, then up to 64 slice numbers; a slice with bit 31 set is not a
// usable spare.
struct FailoverSlices {
    uint8_t bytes[260];

    static constexpr unsigned kCount = 0;
    static constexpr unsigned kFirstSlice = 4;
    static constexpr uint32_t kMaxSlices = 64;
};
static_assert(sizeof(FailoverSlices) == 260, "failover data are 260 bytes");

// A firmware segment to delete (24 bytes): device handle at 0, start block
// (u64) at 8, block count (u64) at 16.
struct VYNIO_SEGMENT64_S {
    uint8_t bytes[24];

    static constexpr unsigned kHandle = 0;
    static constexpr unsigned kStart = 8;
    static constexpr unsigned kBlocks = 16;
};
static_assert(sizeof(VYNIO_SEGMENT64_S) == 24, "segment to delete is 24 bytes");

// The morph request (CT 109): container, morph kind, member count, stripe
// and new size in blocks (low word), mode, then one slice byte per member.
struct MorphRequest {
    uint8_t bytes[152];

    static constexpr unsigned kContainer = 0;
    static constexpr unsigned kKind = 4;
    static constexpr unsigned kMembers = 8;
    static constexpr unsigned kStripe = 12;
    static constexpr unsigned kSize = 16;
    static constexpr unsigned kMode = 20;
    static constexpr unsigned kSlices = 24;
};
static_assert(sizeof(MorphRequest) == 152, "morph request is 152 bytes");

// The 64-bit morph request (CT 252): the size is a u64 at 16, so the mode
// and the slice bytes move four bytes up.
struct MorphRequest64 {
    uint8_t bytes[156];

    static constexpr unsigned kSize = 16;
    static constexpr unsigned kMode = 24;
    static constexpr unsigned kSlices = 28;
};
static_assert(sizeof(MorphRequest64) == 156, "64-bit morph request is 156 bytes");

// Members either morph request has room for.
constexpr unsigned MORPH_MAX_MEMBERS = 128;

struct SnapshotMap {
    uint8_t bytes[384];
};
static_assert(sizeof(SnapshotMap) == 384, "snapshot map is 384 bytes");

struct _FSA_BAD_STRIPE_ENTRY {
    uint8_t bytes[8];
};
static_assert(sizeof(_FSA_BAD_STRIPE_ENTRY) == 8, "bad-stripe entry is 8 bytes");

struct PM_CONFIG_DATA_S {
    uint8_t bytes[432];
};
static_assert(sizeof(PM_CONFIG_DATA_S) == 432, "power-management record is 432 bytes");

// The cache-pool drive list: word 0 zero, word 1 the count, then handles.
constexpr unsigned POOL_LIST_BYTES = 1032;
constexpr unsigned POOL_LIST_MAX = 256;

// Creation stamp: 1, 0, 2, year - 1900, the date word, the serial number.
struct _ContainerCreationInfo {
    uint8_t bytes[16];
};
static_assert(sizeof(_ContainerCreationInfo) == 16, "creation info is 16 bytes");

// The create request; its layout depends on the kind in word 0.
struct CreateContainer {
    uint8_t bytes[1068];
};
static_assert(sizeof(CreateContainer) == 1068, "create request is 1068 bytes");
constexpr unsigned CREATE_LEGACY_BYTES = 432;

// Header of a logical-drive creation request; the member records follow it
// in the caller's buffer (20 bytes each for RAID type code 1, else 12), and
// 64 further bytes after the last.
struct VYNIO_CREATE_HEADER_S {
    uint8_t bytes[64];
};
static_assert(sizeof(VYNIO_CREATE_HEADER_S) == 64, "creation header is 64 bytes");
constexpr unsigned VCH_RAID_TYPE = 8;
constexpr unsigned VCH_CONTAINER = 12;
constexpr unsigned VCH_DATE = 20;
constexpr unsigned VCH_YEAR = 24;
constexpr unsigned VCH_MEMBERS = 30;
// Bytes a request of n members sends: header, records and 64 trailing bytes.
inline unsigned VynIoCreateRequestBytes(uint8_t raidType, unsigned n)
{
    return 128 + n * (raidType == 1 ? 20u : 12u);
}

// The local time packed as the controller's date word: month, day << 4,
// hour << 10, minute << 16, second << 22.
uint32_t CT_DateWord(const FAOS_TIME_INFO& t);

// Hands a debug text to the library's debug print.
template <class... Args>
inline void CT_DebugText(const char* format, Args... args)
{
    UtilPrintDebugFormatted(const_cast<char*>(format), args...);
}

#endif
