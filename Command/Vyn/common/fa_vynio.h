#ifndef VYN_COMMAND_VYN_COMMON_FA_VYNIO_H
#define VYN_COMMAND_VYN_COMMON_FA_VYNIO_H

#include "Command/Vyn/common/fa_types.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class FSAAPI_CONTEXT;
class FsaVynIoAdapterConfig;
class FsaVynIoLogDevInfo;
class FsaVynIoPhyDevInfo;

// Firmware records of the newer configuration interface.
struct VYNIO_PHYDEV_INFO_S {
    uint8_t bytes[440];  // word 2: the physical-device handle
};
static_assert(sizeof(VYNIO_PHYDEV_INFO_S) == 440, "physical-device record is 440 bytes");
struct VYNIO_LOGDEV_INFO_S {
    uint8_t bytes[432];  // word at 16: handle; at 52: parent handle
};
static_assert(sizeof(VYNIO_LOGDEV_INFO_S) == 432, "logical-device record is 432 bytes");
struct VYNIO_SEGMENT64_INFO_S {
    uint8_t bytes[32];  // word 0: the physical-device handle
};
static_assert(sizeof(VYNIO_SEGMENT64_INFO_S) == 32, "segment record is 32 bytes");

enum : uint32_t {
    CT_GET_LOGDEV_INFO = 234,
    CT_GET_PHYDEV_LIST = 247,
    CT_GET_PHYDEV_INFO = 248,
    CT_GET_LOGDEV_SEGMENT64_LIST = 249,
};
constexpr size_t VYNIO_LOGDEV_HANDLE = 16;
constexpr size_t VYNIO_LOGDEV_PARENT = 52;
constexpr uint32_t VYNIO_NO_PARENT = 0xFFFFFFFFu;
// The handle list: a count word and up to 512 handles.
constexpr uint32_t VYNIO_MAX_PHYDEVS = 512;
// The segment list: an 8-byte header whose word 1 is the count, then the
// records.
constexpr uint32_t VYNIO_MAX_SEGMENTS = 256;
constexpr size_t VYNIO_SEGMENT_LIST_BYTES = 8 + 32 * VYNIO_MAX_SEGMENTS;

class FsaVynIoSegmentInfo {
public:
    FsaVynIoSegmentInfo(const VYNIO_SEGMENT64_INFO_S& record, FsaVynIoLogDevInfo* owner);
    uint32_t handle() const;
    // Links the segment to the physical device of its handle (none: stays
    // null); 1.
    int FindPhyDevInfo(FsaVynIoAdapterConfig* config);

    VYNIO_SEGMENT64_INFO_S record;
    FsaVynIoLogDevInfo* logDev;
    FsaVynIoPhyDevInfo* phyDev = nullptr;
};

class FsaVynIoPhyDevInfo {
public:
    explicit FsaVynIoPhyDevInfo(const VYNIO_PHYDEV_INFO_S& r) : record(r) {}
    uint32_t handle() const;
    void AppendSegment(FsaVynIoSegmentInfo* segment) { segments.push_back(segment); }

    VYNIO_PHYDEV_INFO_S record;
    std::vector<FsaVynIoSegmentInfo*> segments;  // not owned
};

class FsaVynIoLogDevInfo {
public:
    explicit FsaVynIoLogDevInfo(const VYNIO_LOGDEV_INFO_S& r) : record(r) {}
    ~FsaVynIoLogDevInfo();
    FsaVynIoLogDevInfo(const FsaVynIoLogDevInfo&) = delete;
    FsaVynIoLogDevInfo& operator=(const FsaVynIoLogDevInfo&) = delete;
    uint32_t handle() const;
    uint32_t parent() const;
    void AppendSegment(FsaVynIoSegmentInfo* segment) { segments.push_back(segment); }
    void AddSecondLevel(FsaVynIoLogDevInfo* child) { secondLevel.push_back(child); }

    VYNIO_LOGDEV_INFO_S record;
    uint32_t flags = 0;
    std::vector<FsaVynIoSegmentInfo*> segments;       // owned
    std::vector<FsaVynIoLogDevInfo*> secondLevel;     // not owned
};

// The configuration model of one context: physical devices, logical devices
// and their segments, rebuilt in full by each GetConfig.
class FsaVynIoAdapterConfig {
public:
    explicit FsaVynIoAdapterConfig(FSAAPI_CONTEXT* ctx) : ctx_(ctx) {}
    ~FsaVynIoAdapterConfig();
    FsaVynIoAdapterConfig(const FsaVynIoAdapterConfig&) = delete;
    FsaVynIoAdapterConfig& operator=(const FsaVynIoAdapterConfig&) = delete;

    FSA_STATUS GetConfig();
    FSA_STATUS GetPhyDevInfo();
    FSA_STATUS GetLogDevInfo();
    FSA_STATUS GetSegmentInfo(FsaVynIoLogDevInfo* logDev);
    int AllocIoBuffer();
    void DeleteAll();

    // The physical device of a handle, or null.
    FsaVynIoPhyDevInfo* findPhyDev(uint32_t handle) const;
    // The vector index of the first physical device whose record names bus,
    // target and LUN (a LUN whose high word is 0), or 0xFFFFFFFF. The index
    // is built once per model, so a walk over every device stays linear.
    uint32_t firstPhyDevAt(uint8_t bus, uint8_t target, uint8_t lun) const;

    const std::vector<FsaVynIoPhyDevInfo*>& phyDevs() const { return phyDevs_; }
    const std::vector<FsaVynIoLogDevInfo*>& topLevel() const { return topLevel_; }
    const std::vector<FsaVynIoLogDevInfo*>& allLogDevs() const { return allLogDevs_; }

private:
    static constexpr uint32_t kNoListAge = 0xFFFFFFFFu;

    FSA_STATUS addLogDev(const uint8_t* record, std::unordered_map<uint32_t, FsaVynIoLogDevInfo*>& byHandle);

    FSAAPI_CONTEXT* ctx_;
    uint8_t* handleList_ = nullptr;  // 4 + 4 x 512 bytes
    uint8_t* ioBuffer_ = nullptr;    // 4096 bytes
    std::vector<FsaVynIoPhyDevInfo*> phyDevs_;
    std::vector<FsaVynIoLogDevInfo*> topLevel_;
    std::vector<FsaVynIoLogDevInfo*> allLogDevs_;
    std::unordered_map<uint32_t, FsaVynIoPhyDevInfo*> phyByHandle_;
    // Address (bus << 16 | target << 8 | LUN) to first index, and the
    // device count it was built for.
    mutable std::unordered_map<uint32_t, uint32_t> firstByAddress_;
    mutable size_t addressesIndexed_ = 0;
    // The age of the logical-device list the last read walked.
    uint32_t listAge_ = kNoListAge;
    // True when the controller's list is no longer the one the last read
    // walked.
    bool listsChangedSinceRead();
};

// The context's reader, created on first use: 31 without the newer
// configuration interface (option word 3 bit 0x8), 91, or GetConfig's status.
FSA_STATUS GetVynIoConfig(FSAAPI_CONTEXT* ctx);

#endif
