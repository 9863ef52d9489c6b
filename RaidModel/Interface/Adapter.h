#ifndef VYN_RAIDMODEL_INTERFACE_ADAPTER_H
#define VYN_RAIDMODEL_INTERFACE_ADAPTER_H

#include <cstdint>
#include <string>
#include <vector>

#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/ModelEnums.h"
#include "RaidModel/Interface/RaidObject.h"
#include "RaidModel/Interface/RaidSupportInfo.h"
#include "common/Ret.h"
#include "common/TaskEnums.h"

class AddrCollection;
class Buffer;
class Channel;
class Enclosure;
class HardDrive;
class LogicalDrive;
class PhysicalDevice;
class Progress;
class ProgressCollection;
class SASChannel;
class SASConnector;
class SATAChannel;
class SCSIChannel;
class SES2EnclosureDevice;
class SimpleXmlParser;
class StorEventCollection;
struct GenericRecord;

// The controller type code; it also decides which storage-library family
// owns the controller (setAdapterType). This system's family is 0x500.
enum EnumAdapterType : int {
    ADAPTER_TYPE_UNKNOWN = 0,
    ADAPTER_TYPE_VYN = 0x500
};

enum EnumControllerStatus : int {
    CONTROLLER_STATUS_OPTIMAL = 0,
    CONTROLLER_STATUS_INACCESSIBLE = 5,
    CONTROLLER_STATUS_DRIVER_UPDATE_REQUIRED = 8
};

// Controller limits by code. The base knows 1-7 and 10; a controller family
// may answer more.
enum Limit : int {
    LIMIT_MAX_LOGICAL_DRIVES = 1,
    LIMIT_MAX_ARRAYS = 2,
    LIMIT_MAX_SPANNED_ARRAYS = 3,
    LIMIT_MAX_CHANNELS = 4,
    LIMIT_MAX_ID = 5,
    LIMIT_MAX_DEVICES_PER_ARRAY = 6,
    LIMIT_MAX_CONTROLLERS = 7,
    LIMIT_MAX_GLOBAL_SPARES = 10
};

// A RAID controller in the tree: its identity, versions, limits, settings and
// non-owning indexes of its descendants, kept by descendantAdded. Operations
// that need the controller answer "not supported" (-1) here; the controller
// family's subclass implements them and fills the fields below.
class Adapter : public RaidObject {
public:
    static constexpr unsigned TEXT_SIZE = 32;

    Adapter();
    // Version texts are cut to 31 characters; null texts stay empty.
    Adapter(int adapterType, unsigned long adapterID, EnumControllerStatus status, char* biosVersion,
            char* firmwareVersion, char* driverVersion, int physicalSlot, bool unattended,
            int maxLogicalDrives, int maxArrays, int maxSpannedArrays, int maxChannels, int maxID,
            int maxDevicesPerArray, int maxControllers);
    explicit Adapter(SimpleXmlParser& parser);
    // A copy starts outside the tree, without address, limits, features,
    // indexes or capability records.
    Adapter(const Adapter& other);
    Adapter& operator=(const Adapter& other);
    ~Adapter() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void descendantAdded(RaidObject* descendant) override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;

    virtual void build(SimpleXmlParser& parser);
    // The chunks directly below the controller's hard drives whose address
    // is `addr`, each with its drive, in the order of a depth-first walk.
    struct DriveChunk {
        RaidObject* drive;
        RaidObject* chunk;
    };
    void findDriveChunks(const Addr2& addr, std::vector<DriveChunk>& out) const;
    virtual bool operator==(const Adapter& other) const;
    bool operator!=(const Adapter& other) const { return !(*this == other); }
    virtual Ret getProgress(Progress& progress);
    // One entry per call, when the single-task query succeeds.
    virtual Ret getProgress(ProgressCollection& collection);
    virtual Ret scanForDrives(bool flag);
    virtual Ret abortTask(unsigned long taskID);
    virtual Ret setTaskPriority(unsigned long taskID, EnumPriorityLevel priority);
    virtual Ret getEvents(std::string& xml);
    virtual Ret getEvents(unsigned long startEventNumber, std::string& xml);
    virtual Ret getEvents(unsigned long startEventNumber, std::vector<GenericRecord>& events);
    virtual Ret getEvents(StorEventCollection& events);
    virtual Ret getEvents(unsigned long startEventNumber, StorEventCollection& events);
    virtual int getLimit(Limit limit) const;
    virtual void setLimit(Limit limit, int value);
    virtual Ret createLogicalDrive(const LogicalDriveSpec& spec);
    virtual Ret identifyDevice(bool on);
    virtual Ret getConfiguration(Buffer& buffer);
    virtual Ret setConfiguration(const Buffer& buffer);
    virtual Ret getControllerLog(EnumLogTypeRequest type, char* buffer, unsigned long& size,
                                 unsigned int logicalDrive);
    virtual Ret getControllerLog(EnumLogTypeRequest type, char* xmlBuffer, unsigned long& xmlSize,
                                 char* csvBuffer, unsigned long& csvSize);
    virtual Ret clearControllerLog(EnumLogTypeRequest type);
    // The controller's raw statistics block; `size` is the buffer's room on
    // entry and the bytes copied on return.
    virtual Ret getAdapterStats(char* buffer, unsigned long& size);
    virtual Ret setDataScrubActive(bool active);
    virtual Ret setDataScrubRate(EnumPriorityLevel rate);
    virtual Ret setDataScrubRate(unsigned long days);
    virtual Ret pauseResumeIO(unsigned long pause);
    virtual Ret testAllSpares();
    virtual Ret upgradeControllerFirmware(const char* file, bool flag);
    virtual Ret startControllerDiagnostic(EnumAdapterDiagType type);
    virtual Ret setCopyBack(bool enable);
    virtual Ret setOrvexaWrite(bool enable);
    virtual Ret startBatteryCalibration();
    virtual Ret setAlarmState(EnumAlarmState state);
    virtual Ret isPaused(bool& paused);
    virtual Ret clearPPITable();
    virtual unsigned long long getCacheMemory() const;
    virtual unsigned long long getInstalledMemory() const;
    virtual void setFeature(FeatureEnum feature, int value);
    virtual int getFeature(FeatureEnum feature);
    virtual Ret setAutoFailoverEnabled(bool enable);
    virtual Ret resetController();
    virtual Ret setPhysicalDriveCache(EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas);
    virtual Ret getSmartStats(char* buffer, unsigned long& size);
    virtual Ret setDefaultLDTaskPriority(EnumPriorityLevel priority, bool applyToRunningTasks);
    virtual Ret setPerformanceMode(EnumPerformanceMode mode);
    virtual Ret setPMStayAwakePeriod(unsigned long start, unsigned long end, unsigned long enable,
                                     unsigned char days);
    virtual Ret setPMSpinupLimits(unsigned long internalLimit, unsigned long externalLimit);
    virtual Ret setPMUTCToLocalTimeDiff(long difference);
    virtual Ret clearNvsRam();
    virtual Ret initializeHardDriveSet(AddrCollection& drives, bool flag);
    virtual Ret protectHardDriveSet(AddrCollection& drives, bool protect, bool flag);
    virtual Ret addDriveToOrvexaPool(AddrCollection& drives);
    virtual Ret removeDriveFromOrvexaPool(AddrCollection& drives);
    virtual Ret clearOrvexaPool();
    virtual Ret setOrvexaFlushAndFetchRate(unsigned long rate);
    virtual Ret setDirtyPageThresholdValue(unsigned long value);
    virtual Ret setOrvexaRWFactor(unsigned long readFactor, unsigned long writeFactor);
    virtual Ret setSataNCQ(bool enable);
    virtual Ret setStatisticDataCollectionMode(bool enable);
    virtual Ret resetStatisticsCounters();
    virtual Ret isOrvexaHasDirtyData();

    void setAdapterType(EnumAdapterType type);
    EnumAdapterType getAdapterType() const { return controllerType; }
    EnumControllerStatus getAdapterStatus() const { return controllerStatus; }
    void setAdapterStatus(EnumControllerStatus status) { controllerStatus = status; }

    Channel* getChannel(unsigned long index) const;
    SCSIChannel* getSCSIChannel(unsigned long index) const;
    SASChannel* getSASChannel(unsigned long index) const;
    SATAChannel* getSATAChannel(unsigned long index) const;
    LogicalDrive* getLogicalDrive(unsigned long index) const;
    LogicalDrive* getLogical(unsigned long index) const;
    HardDrive* getHardDrive(unsigned long index) const;
    Enclosure* getEnclosure(unsigned long index) const;
    SES2EnclosureDevice* getSES2EnclosureDevice(unsigned long index) const;
    PhysicalDevice* getPhysicalDevice(unsigned long index) const;
    PhysicalDevice* getOtherPhysicalDevice(unsigned long index) const;
    SASConnector* getSASConnector(unsigned long index) const;
    unsigned long getNumHardDrives() const { return hardDrives.size(); }
    unsigned long getNumLogicalDrives() const { return logicalDrives.size(); }
    unsigned long getNumSASConnector() const { return sasConnectors.size(); }
    std::vector<HardDrive*> getAllHardDrives() const { return hardDrives; }
    std::vector<LogicalDrive*> getAllLogicalDrives() const { return logicalDrives; }

    // Indexes above 1 are ignored.
    void setOnBoardExpandersWWN(unsigned long index, unsigned char* wwn);
    void SetClustered() { isClustered = true; }
    void setRescanPending(bool pending) { asyncRescanActive = pending; }

    const char* getBiosVersion() const { return biosVersion; }
    const char* getFirmwareVersion() const { return firmwareVersion; }
    const char* getDeviceDriverVersion() const { return driverVersion; }
    const char* getFirmwareBootVersion() const { return firmwareBootVersion; }
    const char* getStagedVersion() const { return stagedVersion; }
    const char* getSerialNumString() const { return serialNumber; }
    const char* getDeviceVendor() const { return deviceVendor; }
    const char* getDeviceName() const { return deviceName; }
    int getPhysicalSlot() const { return physicalSlot; }
    bool isUnattended() const { return unattended; }
    int getMaxTopLevelLogicalDrives() const { return maxTopLevelLogicalDrives; }
    unsigned long getReservedInBeginning() const { return reservedInBeginning; }
    unsigned long getReservedInEnd() const { return reservedInEnd; }
    int getMinStripeSize() const { return minStripeSize; }
    int getMaxStripeSize() const { return maxStripeSize; }
    int getMaxJBODs() const { return maxJBODs; }
    bool IsAutoFailoverEnabled() const { return autoFailoverEnabled; }
    EnumAlarmState getAlarmState() const { return alarmState; }
    int getBatStatus() const { return batStatus; }
    bool IsBatTempWarning() const { return batTempWarning; }
    int getBatFullCapacity() const { return batFullCapacity; }
    int getBatRemainingCapacity() const { return batRemainingCapacity; }
    int getBatCurrentDraw() const { return batCurrentDraw; }
    unsigned long getDataScrubRate() const { return dataScrubRate; }
    bool IsBLBUPresent() const { return blbuPresent; }
    int getBLBUStatus() const { return blbuStatus; }
    unsigned long getFwBuildNum() const { return firmwareBuildNum; }
    unsigned long getBiosBuildNum() const { return biosBuildNum; }
    unsigned long getDriverBuildNum() const { return driverBuildNum; }
    bool IsDataScrubbingActive() const { return dataScrubbingActive; }
    bool IsCopyBackEnabled() const { return copyBackEnabled; }
    unsigned long getSerialNum0() const { return serialNum0; }
    unsigned long getSerialNum1() const { return serialNum1; }
    int getHSTemperature() const { return heatSensorTemperature; }
    int getHSThresholdHi() const { return heatSensorThresholdHi; }
    unsigned long getLongSerialNum() const { return longSerialNum; }
    unsigned long getFwBootBuildNum() const { return fwBootBuildNum; }
    EnumHardDriveCacheMode getSasHDCacheMode() const { return sasHDCacheMode; }
    EnumHardDriveCacheMode getSataHDCacheMode() const { return sataHDCacheMode; }
    EnumPriorityLevel getDefaultLDTaskPriority() const { return defaultLDTaskPriority; }
    EnumPerformanceMode getPerformanceMode() const { return performanceMode; }
    unsigned long getSupportedPerformanceModes() const { return supportedPerformanceModes; }
    unsigned long getPMStayAwakeStart() const { return pmStayAwakeStart; }
    unsigned long getPMStayAwakeEnd() const { return pmStayAwakeStop; }
    unsigned long getPMSpinupInternalLimit() const { return pmSpinupLimitInternal; }
    unsigned long getPMSpinupExternalLimit() const { return pmSpinupLimitExternal; }
    bool isPMStayAwakeMainEnabled() const { return pmStayAwakeMainEnabled; }
    unsigned long getpmStayAwakeMainEnabled() const { return pmStayAwakeMainEnabled ? 1 : 0; }
    unsigned char getPMStayAwakeDays() const { return pmStayAwakeDays; }
    unsigned long getNumOrvexaAssignedDrives() const { return numOrvexaAssignedDrives; }
    unsigned long getMaxNumOrvexaAssignedDrives() const { return maxNumOrvexaAssignedDrives; }
    unsigned long getOrvexaFlushAndFetchRate() const { return orvexaFlushAndFetchRate; }
    unsigned long getDirtyPageThresholdValue() const { return dirtyPageThresholdValue; }
    bool isSataNCQSupported() const { return sataNCQSupported; }
    bool isSataNCQEnabled() const { return sataNCQEnabled; }
    bool isStatisticDataCollectionEnabled() const { return statisticDataCollectionEnabled; }
    unsigned long getOrvexaReadFactor() const { return orvexaReadFactor; }
    unsigned long getOrvexaWriteFactor() const { return orvexaWriteFactor; }
    unsigned long long getOrvexaReadCachePoolSize() const { return orvexaReadCachePoolSize; }
    bool iSOrvexaReadCachePoolSizeSupported() const { return orvexaReadCachePoolSizeSupported; }

protected:
    // The fields the controller family fills from the firmware.
    std::vector<RaidSupportInfo> raidSupport;
    std::vector<Channel*> channels;
    std::vector<SCSIChannel*> scsiChannels;
    std::vector<SASChannel*> sasChannels;
    std::vector<SATAChannel*> sataChannels;
    std::vector<HardDrive*> hardDrives;
    std::vector<LogicalDrive*> logicalDrives;
    std::vector<Enclosure*> enclosures;
    std::vector<SES2EnclosureDevice*> ses2EnclosureDevices;
    std::vector<PhysicalDevice*> physicalDevices;
    std::vector<PhysicalDevice*> otherPhysicalDevices;
    std::vector<SASConnector*> sasConnectors;
    EnumAdapterType controllerType = ADAPTER_TYPE_UNKNOWN;
    EnumControllerStatus controllerStatus = CONTROLLER_STATUS_OPTIMAL;
    char biosVersion[TEXT_SIZE] = {};
    char firmwareVersion[TEXT_SIZE] = {};
    char driverVersion[TEXT_SIZE] = {};
    char stagedVersion[TEXT_SIZE] = {};
    int physicalSlot = 0;
    bool unattended = false;
    int maxLogicalDrives = 0;
    int maxArrays = 0;
    int maxSpannedArrays = 0;
    int maxChannels = 0;
    int maxID = 0;
    int maxDevicesPerArray = 0;
    int maxControllers = 0;
    int maxTopLevelLogicalDrives = 0;
    std::uint32_t reservedInBeginning = 0;
    std::uint32_t reservedInEnd = 0;
    AdapterFeatures* features = nullptr;
    int maxSnapshots = 0;
    int maxStripeSize = 0;
    int minStripeSize = 0;
    int maxGlobalSpares = 0;
    int maxJBODs = 0;
    char deviceVendor[TEXT_SIZE] = {};
    char deviceName[TEXT_SIZE] = {};
    std::uint32_t pciVendorID = 0;
    std::uint32_t pciDevice = 0;
    std::uint32_t pciDeviceID = 0;
    std::uint32_t pciSubVendorID = 0;
    std::uint32_t pciSubDeviceID = 0;
    std::uint32_t pciBus = 0;
    std::uint32_t pciFunction = 0;
    bool isClustered = false;
    bool autoFailoverEnabled = true;
    EnumAlarmState alarmState = ALARM_NONE;
    int batStatus = 1;
    bool batTempWarning = false;
    bool batReconditionRequired = true;
    int batFullCapacity = 0;
    int batRemainingCapacity = 0;
    int batCurrentDraw = 0;
    std::uint32_t dataScrubRate = 0;
    bool blbuPresent = false;
    int blbuStatus = 0;
    std::uint32_t buildNum = 0;
    std::uint32_t firmwareBuildNum = 0;
    std::uint32_t biosBuildNum = 0;
    std::uint32_t driverBuildNum = 0;
    bool asyncRescanActive = false;
    bool dataScrubbingActive = false;
    bool copyBackEnabled = false;
    int versionMatchStatus = 2;
    std::uint32_t maxNumPhy = 0;
    std::uint32_t maxSasPorts = 0;
    std::uint32_t serialNum0 = 0;
    std::uint32_t serialNum1 = 0;
    int heatSensorTemperature = 0;
    int heatSensorThresholdLo = 0;
    int heatSensorThresholdHi = 0;
    std::uint32_t longSerialNum = 0;
    char serialNumber[TEXT_SIZE] = {};
    char firmwareBootVersion[TEXT_SIZE] = {};
    std::uint32_t fwBootBuildNum = 0;
    unsigned char onBoardExpanders[2][8] = {};
    EnumHardDriveCacheMode sasHDCacheMode = static_cast<EnumHardDriveCacheMode>(3);
    EnumHardDriveCacheMode sataHDCacheMode = static_cast<EnumHardDriveCacheMode>(3);
    EnumPriorityLevel defaultLDTaskPriority = PRIORITY_LOW;
    EnumPerformanceMode performanceMode = static_cast<EnumPerformanceMode>(0);
    std::uint32_t supportedPerformanceModes = 0;
    std::uint32_t pmStayAwakeStart = 0;
    std::uint32_t pmStayAwakeStop = 0;
    std::uint32_t pmSpinupLimitInternal = 0;
    std::uint32_t pmSpinupLimitExternal = 0;
    int pmUTCtoLocalTimeDiff = 0;
    bool pmStayAwakeDaysSupported = false;
    bool pmStayAwakeMainEnabled = false;
    std::uint8_t pmStayAwakeDays = 0;
    std::uint32_t numOrvexaAssignedDrives = 0;
    std::uint32_t maxNumOrvexaAssignedDrives = 0;
    std::uint32_t orvexaFlushAndFetchRate = 0;
    std::uint32_t dirtyPageThresholdValue = 0;
    bool sataNCQSupported = false;
    bool sataNCQEnabled = false;
    bool smartStatsSupported = true;
    bool statisticDataCollectionEnabled = false;
    std::uint32_t orvexaReadFactor = 0;
    std::uint32_t orvexaWriteFactor = 0;
    std::uint64_t orvexaReadCachePoolSize = 0;
    bool orvexaReadCachePoolSizeSupported = false;
    std::uint64_t orvexaCapacity = 0;
    bool orvexaCapacitySupported = false;
    std::uint32_t maxDiskXtasks = 0;
    bool maxDiskXtasksSupported = false;
    // Controller data kept by the controller family: a block of the system
    // allocator, which the family releases with free().
    void* rawData = nullptr;

private:
    class DriveChunkIndex;
    friend class DriveChunkScope;

    void copySettings(const Adapter& other);
    void copyScalars(const Adapter& other);
    void markDriveChunksStale(const RaidObject* added);

    // Only while build reads the controller's elements: its drives' chunks
    // by address, so that each logical drive's chunk finds its drive without
    // a walk over the whole controller. Adding a drive or a drive's chunk
    // marks it stale; nothing else changes it, and it is gone when build ends.
    mutable DriveChunkIndex* driveChunks = nullptr;
};

#endif
