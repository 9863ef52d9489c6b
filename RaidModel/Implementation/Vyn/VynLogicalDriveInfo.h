#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLOGICALDRIVEINFO_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLOGICALDRIVEINFO_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/TaskEnums.h"

class VynBasicLogicalDrive;
class Writer;
struct FSA_CONTAINER_INFO_EXTND;
struct tag_FSA_CONTAINER_PARAMS;

// What the firmware reports about one container: a private copy of its
// extended record (the fixed part and one element per member) and its two
// cache-parameter records. The controller that built it owns it.
class VynLogicalDriveInfo {
public:
    static constexpr size_t FIXED_SIZE = 552;
    static constexpr size_t ELEMENT_SIZE = 28;
    // The fixed part, the elements and the trailing words the firmware
    // always sends.
    static constexpr size_t COPY_BASE = 580;
    static constexpr size_t RECORD_SIZE = 4164;
    // The most elements a record can hold; a larger count from the firmware
    // is cut to this.
    static constexpr uint32_t MAX_ELEMENTS = (RECORD_SIZE - COPY_BASE) / ELEMENT_SIZE;
    static constexpr size_t PARAMS_SIZE = 16;
    static constexpr size_t DEVICE_NAME_CHARS = 50;
    static constexpr size_t PARTITION_PROBE_SIZE = 17408;
    static constexpr size_t MOUNT_POINT_SIZE = 128;

    // Offsets of the record's fields that the family reads.
    enum Field : size_t {
        LABEL = 12,
        TYPE = 28,
        EXTENDED_TYPE = 32,
        USAGE = 40,
        DRIVE_LETTER = 56,
        CAPACITY = 68,  // u64, bytes
        CREATION = 88,  // month, day, year (u16), hour, minute, second
        CHUNK_SIZE = 96,
        TASK_RELATION = 100,
        RELATED = 104,  // container key
        MORPH_SOURCE = 116,
        MORPH_DESTINATION = 128,
        TASK_IN_PROGRESS = 192,
        NOT_REDUNDANT = 236,
        BOOT = 240,
        INITIALLY_REDUNDANT = 252,
        QUICK_INIT = 472,
        UNCONFIG = 476,
        FLAGS = 480,
        BAD_STRIPES = 484,
        FORCE_ONLINE = 488,
        POWER = 492,
        ORVEXA = 512,  // read preferred, read, write preferred, write
        ORVEXA_POLICY = 528,
    };
    static constexpr size_t LABEL_SIZE = 16;
    // Flags that keep missing members from degrading the drive.
    static constexpr uint32_t FLAG_NO_DEGRADE = 0x4 | 0x8;

    // Any pointer may be null: a null record leaves the copy unmade, a null
    // parameter record leaves that record zero.
    VynLogicalDriveInfo(const FSA_CONTAINER_INFO_EXTND* record, const tag_FSA_CONTAINER_PARAMS* cacheParams,
                        const tag_FSA_CONTAINER_PARAMS* cacheMode);
    virtual ~VynLogicalDriveInfo();
    VynLogicalDriveInfo(const VynLogicalDriveInfo&) = delete;
    VynLogicalDriveInfo& operator=(const VynLogicalDriveInfo&) = delete;

    void setFsaInfo(const FSA_CONTAINER_INFO_EXTND* record, const tag_FSA_CONTAINER_PARAMS* cacheParams,
                    const tag_FSA_CONTAINER_PARAMS* cacheMode);
    void setLogicalDrive(VynBasicLogicalDrive* drive);
    // The drive is going away: the record no longer points at it and
    // recomputes nothing.
    void forgetLogicalDrive() { drive = nullptr; }
    // Takes the morph original, source and destination and the task flag of
    // `record`; recomputes nothing.
    void setOriginalMorphInfo(const FSA_CONTAINER_INFO_EXTND* record);
    // Recomputes the logical drive's model fields from the record; nothing
    // while either is missing.
    virtual void UpdateLogicalDrive();

    bool hasComponent(unsigned long number) const;
    EnumPriorityLevel GetTaskPriority() const;

    VynBasicLogicalDrive* getLogicalDrive() const { return drive; }
    // The record's start: container number and unique id, the key of the
    // container calls. Null without a record.
    const uint8_t* getContainer() const { return record.get(); }
    const FSA_CONTAINER_INFO_EXTND* getContainerInfo() const;
    const FSA_CONTAINER_INFO_EXTND* getContainerInfo2() const { return getContainerInfo(); }
    // The bytes the copy holds (580 + 28 per element), 0 without a record.
    size_t getCopySize() const;
    uint32_t getContainerNumber() const { return word(0); }
    uint32_t getNumElements() const { return word(260); }
    bool isPrimaryContainer() const { return word(64) != 0; }
    const uint8_t* getFsaPartition(unsigned long i) const;
    unsigned getScsiBusNum(unsigned long i) const;
    unsigned getScsiID(unsigned long i) const;
    unsigned getScsiLun(unsigned long i) const;
    unsigned long long getStartBlock(unsigned long i) const;
    unsigned long long getNumBlocks(unsigned long i) const;
    const uint8_t* getCacheParams() const { return cacheParams; }
    const uint8_t* getCacheMode() const { return cacheMode; }

    // The 32-bit word at `offset` of the record; 0 without a record or
    // beyond the copy.
    uint32_t word(size_t offset) const;
    // Changes one word of the copy; nothing beyond the copy.
    void setWord(size_t offset, uint32_t value);
    // Names another drive in element i (bus, target and LUN bytes).
    void setElementAddress(unsigned long i, uint8_t bus, uint8_t target, uint8_t lun);
    // Takes `size` bytes at `offset` of `other`'s copy; nothing beyond either
    // copy.
    void copyBytes(const VynLogicalDriveInfo& other, size_t offset, size_t size);
    // The operating-system device name at byte 420, at most 50 characters.
    std::string getDeviceName() const;

    void writeTo(Writer* writer) const;
    void writeToXML(Writer*) const {}

    // What the rules of the update give, each from the values it needs.
    //
    // A stripe size in kilobytes from a chunk size in bytes: the powers of
    // two from 2 to 1024, else 1.
    static int stripeSizeOf(uint32_t chunkBytes);
    // Whether the disk `device` carries partitions from its first 17408
    // bytes: 0 none (also when it cannot be read), 1 some, 2 undetermined.
    static int probePartitions(const char* device);
    // The record's partition state: the firmware's flags when they are
    // valid, 2 when the disk must not be read, else the probe of the device.
    int partitionState(bool powerManagementActive) const;
    // The mount point of `device` in "/etc/mtab": "unknown" when the file
    // cannot be read, "empty" for an empty name, "none" when not mounted.
    static std::string mountPointOf(const std::string& device);
    // The logical drive's write-cache mode from the cache mode's write flags
    // and the controller's battery status; 0 without cache support.
    static int writeCacheModeOf(uint32_t writeFlags, bool cacheSupported, int batteryStatus);

private:
    // Whether the drive's power management keeps its disks from being read.
    bool powerManagementActive() const;
    void updateCaches();
    void updateStates();

    VynBasicLogicalDrive* drive = nullptr;
    uint8_t cacheParams[PARAMS_SIZE] = {};
    uint8_t cacheMode[PARAMS_SIZE] = {};
    std::unique_ptr<uint8_t[]> record;
    // Elements the array has room for.
    uint32_t roomElements = 0;
};

#endif
