#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNADAPTER_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNADAPTER_H

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_types.h"
#include "RaidModel/Implementation/Vyn/VynAdapterLimits.h"
#include "RaidModel/Interface/Adapter.h"

class Addr;
class CSVWriter;
class FsaWriteHandleGrabber;
class HardDrive;
class PhysicalDevice;
class VynBasicLogicalDrive;
class VynDriveIndex;
class VynLogicalDriveInfo;
class VynSystem;
class VStream;
struct VynTreeWork;
class XMLWriter;
struct tag_FSA_EVENT;

// A controller of the family in the tree. It holds the controller's
// read-only firmware handle from construction until it is destroyed (or
// hands it to the next tree's object of the same controller), derives its
// features and limits from the general information, and builds its subtree.
class VynAdapter : public Adapter, public VynAdapterLimits {
public:
    // Result of an open whose cluster partner is missing: counts as opened.
    static constexpr FSA_STATUS FSA_STS_PARTNER_NOT_FOUND = 418;
    // Availability of a controller the enumeration marks as unusable.
    static constexpr uint32_t AVAILABILITY_CANNOT_OPEN = 4;

    // Takes the enumeration record, opens (or takes over `handle`) and reads
    // the general information. Never fails: problems go to `ret` (when
    // given) and to the controller status.
    VynAdapter(const _tagFSA_ADAPTER_ENUM_INFO* record, VynSystem* system, unsigned long index, void* handle,
               Ret* ret);
    ~VynAdapter() override;
    VynAdapter(const VynAdapter&) = delete;
    VynAdapter& operator=(const VynAdapter&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    int getLimit(Limit limit) const override;
    // The family's attributes behind those of Adapter: all it knows, or the
    // settings a saved configuration keeps.
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    void setFeature(FeatureEnum feature, int value) override;
    int getFeature(FeatureEnum feature) override;

    // Firmware handle.
    void fsaOpen(Ret* ret);
    void fsaClose();
    bool isFsaOpen(Ret* ret);
    void openSavedWriteHandle();
    void closeSavedWriteHandle();
    void* getSavedWriteHandle() const;
    void SetReusingFsaHandle(bool reusing) { reusingFsaHandle = reusing; }
    bool isReusingFsaHandle() const { return reusingFsaHandle; }

    void setFsaEnumInfo(const _tagFSA_ADAPTER_ENUM_INFO* record);
    void setFsaGeneralInfo(const FSA_GENERAL_INFO2* info);

    // Tree building.
    void buildChildren(Ret& retOUT);
    void initSasPhyInfo(Ret& ret);
    void initConnectionMap(Ret& ret);
    void refreshAlarmState();
    void refreshBatteryState();

    // Devices whose inquiry failed, by world-wide name, for the whole
    // process. Duplicates are kept.
    static void addInquiryFailure(PhysicalDevice* device);
    static bool hadInquiryFailure(PhysicalDevice* device);
    static bool delInquiryFailure(PhysicalDevice* device);

    void* getAdapterHandle() const { return adapterHandle; }
    const char* getFsaDescription() const { return fsaDescription.c_str(); }
    const FSA_GENERAL_INFO2* getFsaInfo() const { return &fsaInfo; }
    FSA_RAID6_OPTIONS getRaid6Options() const { return raid6Options; }
    std::map<std::string, const char*> getVendorNameMap() const { return vendorNames; }
    uint32_t getAvailability() const { return availability; }
    bool getHasFilterDriver() const { return hasFilterDriver; }
    unsigned long getCachedSmartStatXmlSize() const { return cachedSmartStatsSize; }
    // The SMART attribute tables of the controller's SATA drives as one
    // SmartStats report in the caller's buffer (size: its room on entry, the
    // bytes written on return). A complete report replaces the cached copy;
    // one that does not fit gives an overflow and keeps the copy.
    Ret getSmartStats(char* buffer, unsigned long& size) override;
    // Copies the cached report, getCachedSmartStatXmlSize() bytes without a
    // terminator; nothing when there is none or no destination.
    void getCachedSmartStatXml(char* destination) const;

    VynLogicalDriveInfo* getLogicalInfo(unsigned long index) const { return logicalInfo[index]; }
    unsigned long numLogicalInfo() const { return logicalInfo.size(); }
    void addLogicalInfo(VynLogicalDriveInfo* info);
    VynLogicalDriveInfo* getLogicalInfoByContainerNum(unsigned long container) const;

    // The hard drive at (channel, device) below the controller, null when
    // the object there is none; from the build's index while one is set.
    HardDrive* findHardDrive(uint32_t channel, uint32_t device) const;
    // addDeadHardDrive, keeping the build's index in step.
    HardDrive* addMissingHardDrive(Addr& addr);
    // Tests and the build: the index the lookups above use (not owned; null
    // walks the tree).
    void setDriveIndex(VynDriveIndex* index) { driveIndex = index; }
    bool hasDriveIndex() const { return driveIndex != nullptr; }

    // Limits of the general information and the container options.
    int getMaxGlobalSpares() const { return maxGlobalSpares; }
    unsigned long getMaxConfiguredDrives() const { return maxConfiguredDrives; }
    unsigned long getMaxDedicatedSparesPerLogicalDrive() const { return maxDedicatedSparesPerLogicalDrive; }
    int getMaxLogicalDriveMembers() const override { return static_cast<int>(maxLogicalDriveMembers); }
    int getMaxRaid0Members() const override { return static_cast<int>(maxRaid0Members); }
    int getMaxRaid1EMembers() const override { return static_cast<int>(maxRaid1EMembers); }
    int getMaxRaid5Members() const override { return static_cast<int>(maxRaid5Members); }
    int getMaxRaid5EEMembers() const override { return static_cast<int>(maxRaid5EEMembers); }
    int getMaxRaid6Members() const override { return static_cast<int>(maxRaid6Members); }
    int getMaxRaidVolumeMembers() const override { return static_cast<int>(maxRaidVolumeMembers); }
    int getMaxSpannedVolumeMembers() const override { return static_cast<int>(maxSpannedVolumeMembers); }
    unsigned long getStagedBuildNum() const override { return stagedFwBuildNum; }
    unsigned long long getInstalledMemory() const override { return installedMemory; }
    unsigned long long getCacheMemory() const override { return cacheMemory; }

    unsigned long getDataScrubErrCount() const { return dataScrubErrCount; }
    unsigned long getDataScrubFixedErrCount() const { return dataScrubFixedErrCount; }
    const char* getFsaApiVersion() const { return fsaApiVersion; }
    unsigned long getFsaApiBuildNum() const { return fsaApiBuildNum; }
    const char* getVpdAssemblyPn() const { return vpdAssemblyPn; }
    const char* getVpdFruPn() const { return vpdFruPn; }
    const char* getVpdBatteryFruPn() const { return vpdBatteryFruPn; }
    const char* getVpdECVersion() const { return vpdECVersion; }
    const uint8_t* getBatteryInfo() const { return batteryInfo; }
    // The battery platform a failed battery query leaves: 4; 0 until then.
    uint32_t getBatteryPlatform() const { return batteryPlatform; }
    const FSA_CONTAINER_OPTIONS& getContainerOptions() const { return containerOptions; }
    const uint16_t* getPciIds() const { return pciIds; }
    uint32_t getVersionMatchStatus() const { return versionMatchStatus; }
    bool isFirstEventPoll() const { return firstEventPoll; }
    void clearFirstEventPoll() { firstEventPoll = false; }

    // The SMART attribute names by id text ("0x01"), of the two drive families.
    const std::map<std::string, const char*>& getSmartAttributeNames() const { return smartNames; }
    const std::map<std::string, const char*>& getSecondSmartAttributeNames() const { return secondSmartNames; }

    // Checks the request against the tree and the controller's features and
    // creates the logical drive; the new container's number is the Ret's
    // unsigned value. The tree is left as it was.
    Ret createLogicalDrive(const LogicalDriveSpec& spec) override;

    // Controller settings and maintenance, and the SSD cache pool: one
    // firmware call each on a read-write handle of its own.
    Ret setDataScrubActive(bool active) override;
    Ret setDataScrubRate(EnumPriorityLevel rate) override;
    Ret setDataScrubRate(unsigned long days) override;
    // A pause keeps the adapter's saved write handle until the resume (0).
    Ret pauseResumeIO(unsigned long pause) override;
    Ret isPaused(bool& paused) override;
    Ret upgradeControllerFirmware(const char* file, bool flag) override;
    // Reads the start of every hot spare; the last failure, or success.
    Ret testAllSpares() override;
    Ret startControllerDiagnostic(EnumAdapterDiagType type) override;
    Ret setCopyBack(bool enable) override;
    Ret clearPPITable() override;
    Ret setDefaultLDTaskPriority(EnumPriorityLevel priority, bool applyToRunningTasks) override;
    Ret setPerformanceMode(EnumPerformanceMode mode) override;
    Ret setPMStayAwakePeriod(unsigned long start, unsigned long end, unsigned long enable,
                             unsigned char days) override;
    Ret setPMSpinupLimits(unsigned long internalLimit, unsigned long externalLimit) override;
    Ret setPMUTCToLocalTimeDiff(long difference) override;
    Ret clearNvsRam() override;
    Ret setSataNCQ(bool enable) override;
    // The collection comes back holding the drives the firmware failed to
    // handle (empty on full success).
    Ret initializeHardDriveSet(AddrCollection& drives, bool allDrives) override;
    Ret protectHardDriveSet(AddrCollection& drives, bool protect, bool allDrives) override;
    Ret setOrvexaWrite(bool enable) override;
    Ret addDriveToOrvexaPool(AddrCollection& drives) override;
    Ret removeDriveFromOrvexaPool(AddrCollection& drives) override;
    Ret clearOrvexaPool() override;
    Ret setOrvexaFlushAndFetchRate(unsigned long rate) override;
    Ret setDirtyPageThresholdValue(unsigned long value) override;
    Ret setOrvexaRWFactor(unsigned long readFactor, unsigned long writeFactor) override;

    // Tasks and controller operations.
    Ret getProgress(Progress& progress) override;
    Ret getProgress(ProgressCollection& collection) override;
    Ret scanForDrives(bool flag) override;
    Ret abortTask(unsigned long taskID) override;
    Ret setTaskPriority(unsigned long taskID, EnumPriorityLevel priority) override;
    Ret startBatteryCalibration() override;
    Ret setAlarmState(EnumAlarmState state) override;
    Ret setAutoFailoverEnabled(bool enable) override;
    Ret resetController() override;
    Ret setPhysicalDriveCache(EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas) override;
    Ret isOrvexaHasDirtyData() override;

    // Controller events as they arrive.
    Ret getEvents(std::string& xml) override;
    Ret getEvents(unsigned long startEventNumber, std::string& xml) override;
    Ret getEvents(unsigned long startEventNumber, std::vector<GenericRecord>& events) override;
    Ret getEvents(StorEventCollection& events) override;
    Ret getEvents(unsigned long startEventNumber, StorEventCollection& events) override;

    // The statistics log (XML into `xml` for mode 0 and 2, CSV into `csv`
    // for mode 1 and 2, each size set for the stream written) and the cache
    // statistics log of one logical drive (type 13) or of all (type 14).
    Ret getAdapterStatsLog(VStream* xml, VStream* csv, int mode, unsigned long* xmlSize, unsigned long* csvSize);
    Ret getAdapterCacheLog(VStream* out, unsigned long* size, unsigned int logicalDrive, EnumLogTypeRequest type);

    // Controller statistics: the raw block (size: the buffer's room on
    // entry, the bytes copied on return; a buffer smaller than the block is
    // refused and `size` then tells the room needed), and the collection
    // switches, which change the controller but not the tree.
    Ret getAdapterStats(char* buffer, unsigned long& size) override;
    Ret setStatisticDataCollectionMode(bool enable) override;
    Ret resetStatisticsCounters() override;
    // The room the raw block needs for the tree's drives.
    unsigned long statsBufferSize() const;

    // Reports of a controller statistics record of `length` bytes. Sections
    // and entries are read only where they lie wholly inside the record; a
    // record too short for its own header yields no text. They never change
    // `ret`, but for a single-drive index at or past the section's count,
    // which is a bad parameter and writes nothing.
    static void GetStatsXml(const char* record, unsigned long length, XMLWriter* writer, Ret& ret);
    static void GetCacheXmlSingleLD(const char* record, unsigned long length, XMLWriter* writer,
                                    unsigned int index, Ret& ret);
    static void GetCacheXmlAllLD(const char* record, unsigned long length, XMLWriter* writer, Ret& ret);
    static void GetStatsCSV(const char* record, unsigned long length, CSVWriter* writer, Ret& ret);
    // Handles of the record: a logical drive's is its id; a device's packs
    // the channel in bits 31-24 and the id in bits 15-0.
    static unsigned long GetLDIdFromHandle(unsigned long handle) { return handle; }
    static void GetChanAndIdFromHandle(unsigned long handle, unsigned int* channel, unsigned int* id);

    // Controller logs into the caller's buffers: on entry each size is the
    // buffer's room, on return the bytes written (without the terminator).
    // `param` is the logical drive of the single-drive cache log.
    Ret getControllerLog(EnumLogTypeRequest type, char* buffer, unsigned long& size, unsigned int param) override;
    Ret getControllerLog(EnumLogTypeRequest type, char* buffer1, unsigned long& size1, char* buffer2,
                         unsigned long& size2) override;
    Ret clearControllerLog(EnumLogTypeRequest type) override;
    // The producers: each writes one ControllerLog element into `out` and
    // sets `*size` to the bytes written.
    Ret getEventLog(VStream* out, unsigned long* size);
    Ret getUARTLog(VStream* out, unsigned long* size);
    // Also saves the archive as VelmornArch.log in the debug directory.
    Ret getMonitorArchiveLog(VStream* out, unsigned long* size);
    Ret getDeadDriveLog(VStream* out, unsigned long* size);
    Ret getDeviceLog(VStream* out, unsigned long* size);

protected:
    // Phases of the tree build over spares and logical drives; false when
    // the build must end (an allocation failed).
    bool buildSparesAndLogicalDrives(Ret& retOUT);
    void deleteUnhungDrives();
    void buildGlobalSpares(FSA_STORAGE_DEVICE* devices, uint32_t capacity, Ret& retOUT);
    bool readLogicalDriveInfos(Ret& retOUT);
    bool buildLogicalDrives(std::vector<VynBasicLogicalDrive*>& hang, Ret& retOUT);
    bool buildMorphPair(VynLogicalDriveInfo* info, std::vector<VynBasicLogicalDrive*>& hang, Ret& retOUT);
    void buildDedicatedSpares(const std::vector<VynBasicLogicalDrive*>& hang, FSA_STORAGE_DEVICE* devices,
                              uint32_t capacity, Ret& retOUT);

private:
    void readSettings(Ret* ret);
    // Phases of the tree build over the devices and enclosures; false when
    // the build must end (an allocation failed).
    bool findEnclosures(VynTreeWork& work, Ret& retOUT);
    bool buildPhysicalDevices(VynTreeWork& work, Ret& retOUT);
    void mapSafteSlots(VynTreeWork& work);
    void mapSes2EnclosureIds(VynTreeWork& work);
    void mapSesElements(VynTreeWork& work);
    void setFeaturesFromTable(const FSA_GENERAL_INFO2* info);

    std::map<std::string, const char*> smartNames;
    std::map<std::string, const char*> secondSmartNames;
    VynSystem* system;
    void* adapterHandle;
    int openWord = 0;
    uint32_t availability = 0;
    std::string fsaDescription;
    FSA_GENERAL_INFO2 fsaInfo;
    uint8_t batteryInfo[60];
    uint32_t batteryPlatform = 0;
    uint16_t pciIds[4];
    FSA_CONTAINER_OPTIONS containerOptions;
    FSA_RAID6_OPTIONS raid6Options;
    bool firstEventPoll = true;

public:
    // Appends one `event` element for a firmware event record; an event
    // class outside the table is still written and reported through `ret`.
    void GetXmlFromFsaEvent(const tag_FSA_EVENT& event, XMLWriter* writer, Ret& ret);

private:
    bool reusingFsaHandle = false;
    bool hasFilterDriver = false;
    FsaWriteHandleGrabber* savedWriteHandle = nullptr;
    uint32_t versionMatchStatus = 2;
    std::vector<VynLogicalDriveInfo*> logicalInfo;
    // The first record of each container number in the list.
    std::unordered_map<uint32_t, VynLogicalDriveInfo*> logicalInfoByNumber;
    VynDriveIndex* driveIndex = nullptr;
    // Drives of the last build that are not in the tree (the SSD cache
    // pool), owned here.
    std::vector<VynBasicLogicalDrive*> unhungDrives;
    std::map<std::string, const char*> vendorNames;
    // The connector map as last read (malloc'ed), kept with the controller.
    uint8_t* connectorMap = nullptr;
    unsigned int connectorMapSize = 0;
    char* cachedSmartStats = nullptr;
    unsigned long cachedSmartStatsSize = 0;

    uint32_t maxConfiguredDrives = 0;
    uint32_t installedMemory = 0;
    uint32_t cacheMemory = 0;
    uint32_t maxDedicatedSparesPerLogicalDrive = 0;
    uint32_t maxLogicalDriveMembers = 0;
    uint32_t maxRaid0Members = 0;
    uint32_t maxRaid1EMembers = 0;
    uint32_t maxRaid5Members = 0;
    uint32_t maxRaid5EEMembers = 0;
    uint32_t maxRaid6Members = 0;
    uint32_t maxRaidVolumeMembers = 0;
    uint32_t maxSpannedVolumeMembers = 0;
    uint32_t dataScrubErrCount = 0;
    uint32_t dataScrubFixedErrCount = 0;
    char vpdAssemblyPn[9] = {};
    char vpdFruPn[9] = {};
    char vpdBatteryFruPn[9] = {};
    char vpdECVersion[9] = {};
    uint32_t stagedFwBuildNum = 0;
    uint32_t fsaApiBuildNum = 0;
    char fsaApiVersion[Adapter::TEXT_SIZE] = {};
    uint32_t enumSerialWord = 0;

    static std::vector<std::pair<uint32_t, uint32_t>> inquiryVPDFailures;
};

// The channel callback of the tree build: one channel object per record
// under the controller passed as the context.
void fsaEnumChannelCallback(unsigned index, const _tagFSA_CHANNEL_ENUM_INFO* info, void* context);

// The print callbacks of the UART log (`stream` is the log's VStream) and of
// the monitor archive (`context` starts with the chunk's byte count, a u32
// the firmware interface sets, followed by the work stream).
void fsaUartDumpCallBack(const char* text, void* stream);
void fsaMonArchDumpCallBack(const char* data, void* context);

#endif
