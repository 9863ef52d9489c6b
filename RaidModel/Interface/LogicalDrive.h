#ifndef VYN_RAIDMODEL_INTERFACE_LOGICALDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_LOGICALDRIVE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/DriveEnums.h"
#include "RaidModel/Interface/ModelEnums.h"
#include "RaidModel/Interface/RaidObject.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"

class Adapter;
class Array;
class Chunk;
class HardDrive;
class Progress;
class ProgressCollection;
class Writer;

// When the controller made the drive, as its firmware reports it; each half
// carries its own valid flag, and the last word stays zero.
struct LogicalDriveCreationDate {
    std::uint32_t dateValid = 0;
    std::uint32_t month = 0;
    std::uint32_t day = 0;
    std::uint32_t year = 0;
    std::uint32_t timeValid = 0;
    std::uint32_t hour = 0;
    std::uint32_t minute = 0;
    std::uint32_t second = 0;
    std::uint32_t reserved = 0;
};

// A logical drive the host sees: a RAID array, a volume, or a member of a
// spanned or multi-level drive (then a child of the drive spanning it). Its
// chunk children describe the extents it occupies; the indexes below are
// filled only as chunks enter the subtree and never own what they hold.
// Operations answer "not supported" until the controller family overrides
// them.
class LogicalDrive : public RaidObject {
public:
    static constexpr int UNSET = 0x7FFFFFFF;
    static constexpr unsigned DRIVE_LETTER_SIZE = 32;
    static constexpr unsigned MOUNT_POINT_SIZE = 128;
    static constexpr unsigned SECONDARY_LOGICALS_SIZE = 128;

    LogicalDrive();
    LogicalDrive(Adapter* adapter, Array* array, unsigned long logicalDriveID, EnumLogicalDeviceState state,
                 EnumRaidLevel raidLevel, unsigned long long dataSpace, unsigned long long paritySpace,
                 bool blockedAccess, EnumLogicalDriveCacheMode writeCacheMode, bool lastDriveInArray,
                 bool OSPartition);
    LogicalDrive(Adapter* adapter, unsigned long logicalDriveID);
    LogicalDrive(const LogicalDrive& other);
    LogicalDrive& operator=(const LogicalDrive& other);
    ~LogicalDrive() override;

    bool operator==(const LogicalDrive& other) const;
    bool operator!=(const LogicalDrive& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;

    virtual int getReadCacheMode() const { return readCacheMode; }
    virtual EnumInitMethod getInitMethod() const { return initMethod; }
    virtual Ret synchronize();
    virtual Ret verify();
    virtual Ret rebuild();
    virtual Ret getProgress(Progress& progress);
    virtual Ret getProgress(ProgressCollection& out);
    virtual Ret initialize();
    // A null text names the drive "".
    virtual Ret setName(const char* text);
    virtual Ret setState(EnumLogicalDeviceState state, EnumLogicalDeviceFOCmd command, unsigned long flags);
    virtual Ret setBootable(bool bootable);
    virtual Ret setCache(EnumLogicalDriveCacheMode readMode, EnumLogicalDriveCacheMode writeMode);
    virtual Ret initializeLogicalDrive(EnumInitMethod method, EnumPriorityLevel priority);
    virtual Ret deleteLogicalDrive();
    virtual Ret identifyDevice(bool on);
    virtual Ret setBlockedAccess(bool blocked);
    virtual Ret setTaskPriority(unsigned long taskID, EnumPriorityLevel priority);
    virtual const char* getName() const;
    virtual Ret increaseSize(const std::vector<ChunkSpec>& chunks, EnumPriorityLevel priority);
    virtual Ret setStripeSize(EnumStripeSize size);
    virtual Ret modify(const LogicalDriveSpec& spec);
    virtual Ret setPMEnabled(bool enabled);
    virtual Ret setPMTimers(unsigned long standby, unsigned long off, unsigned long verify);
    virtual Ret setOrvexaPreferredCache(EnumOrvexaPreferredSetting setting);
    virtual Ret setPreferredOrvexaWriteCache(EnumOrvexaWriteCachePreferredSetting setting,
                                             EnumOrvexaWriteCachePolicySetting policy);

    EnumLogicalDeviceState getState() const { return state; }
    EnumLogicalDeviceSubState getSubState() const { return subState; }
    EnumRaidLevel getRaidLevel() const { return raidLevel; }
    unsigned long long getDataSpace() const { return dataSpace; }
    unsigned long long getDataSpace64() const { return dataSpace; }
    unsigned long long getParitySpace() const { return paritySpace; }
    unsigned long long getParitySpace64() const { return paritySpace; }
    bool getUserSizeInput() const { return userSizeInput; }
    unsigned long long getUserSize() const { return userSize; }
    int getUserSizeUnit() const { return userSizeUnit; }
    bool getBlockedAccess() const { return blockedAccess; }
    EnumLogicalDriveCacheMode getWriteCacheMode() const { return writeCacheMode; }
    int getReadCacheSetting() const { return readCacheSetting; }
    int getWriteCacheSetting() const { return writeCacheSetting; }
    bool getLastDriveInArray() const { return lastDriveInArray; }
    bool hasOSPartition() const { return OSPartition; }
    EnumLogicalDriveHasPartition getHasPartition() const { return hasPartition; }
    EnumStripeSize getStripeSize() const { return stripeSize; }
    const char* getDriveLetter() const { return driveLetter.get(); }
    int getOsDiskNumber() const { return osDiskNumber; }
    unsigned long getUniqueID() const { return uniqueID; }
    int getTaskPriority() const { return taskPriority; }
    bool getTaskInProgress() const { return taskInProgress; }
    int getSnapshotType() const { return snapshotType; }
    bool getSnapshotBUMode() const { return snapshotBUMode; }
    bool getSnapshotBUComplete() const { return snapshotBUComplete; }
    unsigned long getSnapshotPartnerID() const { return snapshotPartnerID; }
    unsigned long getSnapshotCapacityUsed() const { return snapshotCapacityUsed; }
    bool isBootDrive() const { return bootDrive; }
    bool isBootable() const { return bootable; }
    int getNumMissingMembers() const { return numMissingMembers; }
    const char* getUnixMountPoint() const { return unixMountPoint.get(); }
    const char* getSecondaryLogicals() const { return secondaryLogicals.get(); }
    EnumLDMorphType getMorphType() const { return morphType; }
    int getMorphPartnerID() const { return morphPartnerID; }
    int getBadBlockCount() const { return badBlockCount; }
    int getRaid5EEState() const { return raid5EEState; }
    bool isQuickInit() const { return quickInit; }
    bool isUnconfig() const { return unconfig; }
    bool isReadOnly() const { return readOnly; }
    bool isLocked() const { return locked; }
    bool isForcedOnline() const { return forcedOnline; }
    bool isCreatedWithNoBuild() const { return createdWithNoBuild; }
    int getForceOnlineFlags() const { return forceOnlineFlags; }
    bool getPMEnabled() const { return pmEnabled; }
    unsigned long getPMStandbyTimer() const { return pmStandbyTimer; }
    unsigned long getPMOffTimer() const { return pmOffTimer; }
    unsigned long getPMVerifyTimer() const { return pmVerifyTimer; }
    EnumLogicalDevicePMState getPMState() const { return pmState; }
    EnumOrvexaPreferredSetting getOrvexaPreferredSetting() const { return orvexaPreferredSetting; }
    int getOrvexaSetting() const { return orvexaSetting; }
    EnumOrvexaWriteCachePreferredSetting getOrvexaWriteCachePreferredSetting() const
    {
        return orvexaWriteCachePreferredSetting;
    }
    int getOrvexaWriteCacheSetting() const { return orvexaWriteCacheSetting; }
    EnumOrvexaWriteCachePolicySetting getOrvexaWriteCachePolicySetting() const
    {
        return orvexaWriteCachePolicySetting;
    }
    Adapter* getAdapter() const { return adapter; }
    Array* getArray() const { return array; }
    const LogicalDriveCreationDate& getCreationDate() const { return creationDate; }

    // The model only; the controller is not asked.
    void setSubState(EnumLogicalDeviceSubState value) { subState = value; }
    void setMorphTypeProperty(EnumLDMorphType value) { morphType = value; }
    void setMorphPartnerID(int id) { morphPartnerID = id; }
    void setPMState(EnumLogicalDevicePMState value) { pmState = value; }
    void setHasPartitionProperty(EnumLogicalDriveHasPartition value);
    void addToParitySpace(unsigned long long blocks) { paritySpace += blocks; }
    // Combines a state the controller reports into the current one.
    void mergeStateProperty(EnumLogicalDeviceState reported);

    Chunk* getHardDriveChunk(unsigned long i) const;
    Chunk* getLogicalDriveChunk(unsigned long i) const;
    HardDrive* getHardDrive(unsigned long i) const;
    HardDrive* getAssignedSpare(unsigned long i) const;
    LogicalDrive* getLogicalDrive(unsigned long i) const;
    unsigned long getNumHardDriveChunks() const { return hardDriveChunks.size(); }
    unsigned long getNumHardDrives() const { return hardDrives.size(); }
    unsigned long getNumAssignedSpares() const { return assignedSpares.size(); }
    std::vector<Chunk*> getHardDriveChunkVector() const { return hardDriveChunks; }
    std::vector<Chunk*> enumerateChunks() const { return hardDriveChunks; }
    std::vector<Chunk*> getLogicalDriveChunkVector() const { return logicalDriveChunks; }
    std::vector<HardDrive*> getHardDriveVector() const { return hardDrives; }
    std::vector<LogicalDrive*> getSecondLevelLogicalVector() const { return secondLevelLogicals; }
    void getHardDrives(std::vector<HardDrive*>& out) const { out = hardDrives; }
    void addHardDriveVector(HardDrive* drive) { hardDrives.push_back(drive); }
    // Links a dedicated spare both ways; a drive already assigned is left.
    void addAssignedSpare(HardDrive* drive);
    Chunk* getSmallestChunk() const;

protected:
    friend class HardDrive;

    std::vector<Chunk*> hardDriveChunks;
    std::vector<HardDrive*> hardDrives;
    std::vector<HardDrive*> assignedSpares;
    std::vector<Chunk*> logicalDriveChunks;
    std::vector<LogicalDrive*> logicalDrives;
    std::vector<LogicalDrive*> secondLevelLogicals;
    Adapter* adapter = nullptr;
    Array* array = nullptr;
    EnumLogicalDeviceState state = LD_NOT_EXISTING;
    EnumLogicalDeviceSubState subState = LD_SUBSTATE_NONE;
    EnumRaidLevel raidLevel = RAID_LEVEL_0;
    bool userSizeInput = false;
    unsigned long long userSize = 0;
    int userSizeUnit = 0;
    unsigned long long dataSpace = 0;
    unsigned long long paritySpace = 0;
    bool blockedAccess = false;
    EnumLogicalDriveCacheMode writeCacheMode = static_cast<EnumLogicalDriveCacheMode>(0);
    int readCacheMode = 0;
    EnumInitMethod initMethod = static_cast<EnumInitMethod>(2);
    bool lastDriveInArray = false;
    bool OSPartition = false;
    EnumLogicalDriveHasPartition hasPartition = LD_HAS_NO_PARTITION;
    EnumStripeSize stripeSize = static_cast<EnumStripeSize>(1);
    std::unique_ptr<char[]> driveLetter;
    int osDiskNumber = 0;
    std::uint32_t uniqueID = 0;
    int taskPriority = 0;
    bool taskInProgress = false;
    int snapshotType = 0;
    bool snapshotBUMode = false;
    bool snapshotBUComplete = false;
    std::uint32_t snapshotPartnerID = UNSET;
    std::uint32_t snapshotCapacityUsed = 0;
    bool bootDrive = false;
    bool bootable = false;
    int numMissingMembers = UNSET;
    std::unique_ptr<char[]> unixMountPoint;
    std::unique_ptr<char[]> secondaryLogicals;
    int readCacheSetting = 0;
    int writeCacheSetting = 0;
    EnumLDMorphType morphType = LD_MORPH_NONE;
    int morphPartnerID = UNSET;
    int badBlockCount = 0;
    int raid5EEState = UNSET;
    bool quickInit = false;
    bool unconfig = false;
    bool readOnly = false;
    bool locked = false;
    bool forcedOnline = false;
    bool createdWithNoBuild = false;
    int forceOnlineFlags = 0;
    bool pmEnabled = false;
    std::uint32_t pmStandbyTimer = 0;
    std::uint32_t pmOffTimer = 0;
    std::uint32_t pmVerifyTimer = 0;
    EnumLogicalDevicePMState pmState = static_cast<EnumLogicalDevicePMState>(0);
    EnumOrvexaPreferredSetting orvexaPreferredSetting = static_cast<EnumOrvexaPreferredSetting>(0);
    int orvexaSetting = 0;
    EnumOrvexaWriteCachePreferredSetting orvexaWriteCachePreferredSetting =
        static_cast<EnumOrvexaWriteCachePreferredSetting>(0);
    int orvexaWriteCacheSetting = 0;
    EnumOrvexaWriteCachePolicySetting orvexaWriteCachePolicySetting =
        static_cast<EnumOrvexaWriteCachePolicySetting>(5);
    std::string name;
    LogicalDriveCreationDate creationDate;

private:
    void allocateTexts();
    void copyTexts(const LogicalDrive& other);
};

// The logical drive the model instantiates, and the only one read back from
// XML. Its element is "LogicalDrive" like its base's.
class BasicLogicalDrive : public LogicalDrive {
public:
    BasicLogicalDrive();
    BasicLogicalDrive(Adapter* adapter, Array* array, unsigned long logicalDriveID, EnumLogicalDeviceState state,
                      EnumRaidLevel raidLevel, unsigned long long dataSpace, unsigned long long paritySpace,
                      bool blockedAccess, EnumLogicalDriveCacheMode writeCacheMode, bool lastDriveInArray,
                      bool OSPartition);
    BasicLogicalDrive(Adapter* adapter, SimpleXmlParser& parser);
    ~BasicLogicalDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;

    virtual void build(SimpleXmlParser& parser);

private:
    void readAttributes();
    void linkChunkToHardDrives(Chunk* chunk);
};

#endif
