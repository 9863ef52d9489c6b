#ifndef VYN_RAIDMODEL_INTERFACE_HARDDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_HARDDRIVE_H

#include <cstdint>
#include <vector>

#include "RaidModel/Interface/DriveEnums.h"
#include "RaidModel/Interface/FreeSpace.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/Buffer.h"

class AddrCollection;
class Chunk;
class LogicalDrive;
class Progress;
class ProgressCollection;
struct DISK_DIAGNOSTIC_STATE;

// One disk behind a controller: its size, PFA and cache flags, its spare
// role, the bay it sits in, and the bookkeeping the layout commands need
// (chunks on the drive, logical drives it is a dedicated spare for, free
// extents). Operations answer "not supported" until the controller family
// overrides them.
class HardDrive : public PhysicalDevice {
public:
    HardDrive();
    HardDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size,
              EnumPhysicalDeviceState state, char* vendor, char* model, char* serial, char* firmware,
              bool pfaError, EnumHardDriveCacheMode writeCacheEnable, bool writeCacheEnableSupported,
              bool selfTestSupported, bool OSPartition, char* fru, bool pfaSupported);
    HardDrive(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    HardDrive(const HardDrive& other);
    HardDrive& operator=(const HardDrive& other);
    ~HardDrive() override;

    bool operator==(const HardDrive& other) const;
    bool operator!=(const HardDrive& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;

    virtual Ret setWriteCacheEnable(bool enable);
    virtual Ret setPhysicalDriveCache(EnumHardDriveCacheMode mode);
    virtual Ret initializeHardDrive();
    virtual Ret downHardDrive(bool flag);
    virtual Ret startDiskDiagnostic(EnumDiskDiagType type);
    virtual Ret abortDiskDiagnostic();
    virtual Ret getDiskDiagnosticProgress(DISK_DIAGNOSTIC_STATE& state);
    virtual Ret getDiskDiagnosticResults(DISK_DIAGNOSTIC_STATE& state);
    virtual Ret startTask(EnumHardDriveTask task, const char* argument);
    virtual Ret getProgress(Progress& progress);
    virtual Ret getProgress(ProgressCollection& out);
    virtual int getPfaWarn();
    virtual Ret createGlobalHotSpare();
    virtual Ret createAssignedHotSpare(const AddrCollection& logicalDrives);
    virtual Ret createAssignedHotSpare(LogicalDrive* logicalDrive);
    virtual Ret createCandidateHotSpare();
    virtual Ret deleteHotSpare();
    virtual Ret deleteAssignedHotSpare(const AddrCollection& logicalDrives);
    virtual Ret createJBOD();
    virtual Ret deleteJBOD();
    virtual void build(SimpleXmlParser& parser);
    virtual Ret upgradeSATADriveFirmware(const char* file, unsigned long mode, unsigned char flags);
    virtual Ret GetSataIdentifyWord(unsigned long word, unsigned long* value);
    virtual Ret upgradeSASDriveFirmware(const char* file, unsigned long mode, unsigned char flags);
    virtual Ret setATASecurePassword(const char* password);
    virtual Ret clearATASecurePassword(const char* password);
    virtual Ret getSmartInfoById(char* id, char* out, unsigned long& length);
    virtual Ret SetWearOutParams(unsigned long a, unsigned long b, unsigned long c);
    virtual Ret readDriveFirmwareFile(const char* file, Buffer& image);

    unsigned long long getSize() const { return size; }
    bool getPfaError() const { return pfaError; }
    bool getPfaSupported() const { return pfaSupported; }
    bool getPfaEnabled() const { return pfaEnabled; }
    EnumHardDriveCacheMode getWriteCacheEnable() const { return writeCacheEnable; }
    bool getWriteCacheEnableSupported() const { return writeCacheEnableSupported; }
    bool getOSPartitionInfo() const { return OSPartition; }
    bool getSelfTestSupported() const { return selfTestSupported; }
    EnumSpareType getSpareType() const { return spareType; }
    unsigned long getEnclosureID() const { return enclosureID; }
    unsigned long getSlotID() const { return slotID; }
    bool isJBOD() const { return jbod; }
    bool getCandidateSpare() const { return isCandidateSpare; }
    bool getTaskInProgress() const { return taskInProgress; }
    int getPMState() const { return pmState; }
    int getPMSupportedStates() const { return pmSupportedStates; }
    bool IsNonSpinning() const { return nonSpinning; }
    bool IsOrvexaCapable() const { return OrvexaCapable; }
    bool IsOrvexaAssigned() const { return OrvexaAssigned; }
    bool IsSataNCQEnabled() const { return sataNCQEnabled; }
    bool IsATAsecuritySupport() const { return ataSecuritySupported; }
    unsigned long long getMaxUsableBlocks() const { return maxUsableBlocks; }
    int getSpareListSize() const { return spareListSize; }
    const int* getSpareList() const { return pSpareList; }
    Buffer* getImageBuffer() { return &imageBuffer; }

    // The model only; the controller is not asked.
    void setSpareTypeProperty(EnumSpareType type) { spareType = type; }
    void setEnclosureID(unsigned long id) { enclosureID = static_cast<std::uint32_t>(id); }
    void setSlotID(unsigned long id) { slotID = static_cast<std::uint32_t>(id); }

    // Sectors the replay's safety check has promised to saved logical drives.
    unsigned long long getPromisedSectors() const { return promisedSectors; }
    void setPromisedSectors(unsigned long long sectors) { promisedSectors = sectors; }

    Chunk* getChunk(unsigned long i) const;
    std::vector<Chunk*> getChunkVector() const { return chunks; }
    LogicalDrive* getAssignedLogicalDrive(unsigned long i) const;
    std::vector<LogicalDrive*> getNumAssignedLogical() const { return assignedLogicals; }
    Ret createDedicatedHotSpare(const AddrCollection& logicalDrives);

    // Rebuilds the free extents for a drive of `numSectors` (0: its size).
    void InitFreeSpace(unsigned long long numSectors);
    // Holes are new chunks that the caller owns.
    Chunk* getLargestHole();
    Chunk* getLargestHoleToCreateLogical();
    std::vector<Chunk*> enumerateHoles();
    std::vector<Chunk*> enumerateHolesFromHarddisk();
    // The chunks of the controller's logical drives that lie on this drive.
    std::vector<Chunk*> getChunks();

    // Makes this drive a dedicated spare of `ld` and links both ways.
    void addAssignedLogical(LogicalDrive* ld);
    // The logical-drive ids that "assignedTo" named, in their order; the
    // placeholders that stood for them are freed and leave the list.
    std::vector<unsigned long> dropPlaceholders();

    FreeSpaceVector freeSpace;

protected:
    // The controller family fills the fields from its firmware records.
    friend class VynPhysicalDeviceAttach;

    std::vector<Chunk*> chunks;
    std::vector<LogicalDrive*> assignedLogicals;
    unsigned long long size = 0;
    bool pfaError = false;
    EnumHardDriveCacheMode writeCacheEnable = static_cast<EnumHardDriveCacheMode>(4);
    bool writeCacheEnableSupported = false;
    bool selfTestSupported = false;
    bool OSPartition = false;
    bool pfaSupported = false;
    bool pfaEnabled = false;
    bool taskInProgress = false;
    EnumSpareType spareType = SPARE_NONE;
    bool isCandidateSpare = false;
    bool jbod = false;
    std::uint32_t enclosureID = UNSET;
    std::uint32_t slotID = UNSET;
    int spareListSize = 0;
    int* pSpareList = nullptr;
    int pmState = 0;
    int pmSupportedStates = 0;
    bool nonSpinning = false;
    bool OrvexaCapable = false;
    bool OrvexaAssigned = false;
    bool sataNCQEnabled = false;
    bool ataSecuritySupported = false;
    unsigned long long maxUsableBlocks = 0;
    Buffer imageBuffer;
    unsigned long long promisedSectors = 0;

private:
    void readAttributes();
    void readAssignedTo(const char* text);
    bool hasOwnSpareChunk(const LogicalDrive* ld) const;
    std::vector<Chunk*> enumerateHolesOver(const std::vector<Chunk*>& used, bool fromHarddisk) const;

    // The placeholder drives read from "assignedTo"; the drive frees those
    // that nobody took over.
    std::vector<LogicalDrive*> placeholders;
};

#endif
