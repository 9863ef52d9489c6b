#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNBASICLOGICALDRIVE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNBASICLOGICALDRIVE_H

#include <cstdint>
#include <vector>

#include "RaidModel/Interface/LogicalDrive.h"

class HardDrive;
struct tag_FSA_CONTAINER;
class VynAdapter;
class VynLogicalDriveInfo;

// A logical drive of a controller of the family: one top-level container of
// the firmware, built from the record the adapter read for it. The record
// belongs to the adapter and outlives the drive. The constructor builds the
// drive whole: its chunks on the hard drives (placeholders for members the
// controller no longer shows), the member records of a container made of
// containers, the sub-drives of a RAID volume, parity space, bad blocks and
// the state that missing members give.
class VynBasicLogicalDrive : public BasicLogicalDrive {
public:
    static constexpr uint32_t NO_SNAPSHOT_TOP = 0xFFFFFFFFu;
    static constexpr unsigned NAME_SIZE = 32;
    // Containers nest at most this deep below the drive's own record.
    static constexpr unsigned long MAX_RECURSION = 3;

    VynBasicLogicalDrive(VynLogicalDriveInfo* record, VynAdapter* adapter, unsigned long logicalDriveID,
                         EnumRaidLevel raidLevel, unsigned long long dataSpace, unsigned long long paritySpace,
                         EnumLogicalDeviceState state, bool blockedAccess);
    ~VynBasicLogicalDrive() override;
    VynBasicLogicalDrive(const VynBasicLogicalDrive&) = delete;
    VynBasicLogicalDrive& operator=(const VynBasicLogicalDrive&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    int getReadCacheMode() const override;
    Ret getProgress(Progress& progress) override;
    Ret getProgress(ProgressCollection& out) override;
    Ret identifyDevice(bool on) override;
    // Deletes the drive's container unconditionally on a read-write handle.
    Ret deleteLogicalDrive() override;
    const char* getName() const override;

    // Logical-drive operations: each change holds its own read-write
    // handle and acts on the drive's container key.
    Ret verify() override;
    Ret synchronize() override;
    // Only the clear method is taken; the priority is not used.
    Ret initializeLogicalDrive(EnumInitMethod method, EnumPriorityLevel priority) override;
    // The controller's label of the drive: at most 16 characters.
    Ret setName(const char* name) override;
    Ret setCache(EnumLogicalDriveCacheMode readMode, EnumLogicalDriveCacheMode writeMode) override;
    // Optimal only: a restore (command 0) of the container or of each of its
    // member containers, or a forced online.
    Ret setState(EnumLogicalDeviceState state, EnumLogicalDeviceFOCmd command, unsigned long flags) override;
    Ret setStripeSize(EnumStripeSize size) override;
    Ret increaseSize(const std::vector<ChunkSpec>& chunks, EnumPriorityLevel priority) override;
    // A RAID-level migration. Every member the request names is one the drive
    // has or the start of the biggest free extent of its hard drive.
    Ret modify(const LogicalDriveSpec& spec) override;
    Ret setPMEnabled(bool enabled) override;
    Ret setPMTimers(unsigned long standby, unsigned long off, unsigned long verify) override;
    Ret setOrvexaPreferredCache(EnumOrvexaPreferredSetting setting) override;
    Ret setPreferredOrvexaWriteCache(EnumOrvexaWriteCachePreferredSetting setting,
                                     EnumOrvexaWriteCachePolicySetting policy) override;
    // The adapter's: the task is the controller's.
    Ret setTaskPriority(unsigned long taskID, EnumPriorityLevel priority) override;

    // The container key of the firmware calls (number, unique id, adapter
    // word): the first 12 bytes of the record; null without a record.
    const uint8_t* getContainer() const;
    VynLogicalDriveInfo* getLogicalDriveInfo() const { return record; }
    VynAdapter* getVynAdapter() const { return vynAdapter; }
    // The containers this drive is made of, in element order (not owned).
    const std::vector<VynLogicalDriveInfo*>& getMemberRecords() const { return memberRecords; }
    unsigned long getDisksetID() const { return disksetID; }
    void setDisksetID(unsigned long id) { disksetID = static_cast<uint32_t>(id); }
    uint32_t getSnapshotTopContainer() const { return snapshotTopContainer; }
    // The other half of a morphing pair (not owned); null when none.
    VynBasicLogicalDrive* getMorphPartner() const { return morphPartner; }
    void setMorphPartner(VynBasicLogicalDrive* partner) { morphPartner = partner; }

    // Parity blocks of a drive whose first chunk holds `chunkBlocks` sectors
    // over `members` members, by RAID level. RAID-6 forms read the adapter's
    // drive-count tables; an entry without parity and data counts (or a
    // member count beyond the tables) adds nothing and is reported.
    static unsigned long long parityBlocksOf(EnumRaidLevel level, unsigned long long chunkBlocks,
                                             unsigned long members, const VynAdapter* adapter);
    // The state that `missing` members give a drive whose record has the
    // RAID level `level`; LD_OPTIMAL when nothing is to be merged.
    static EnumLogicalDeviceState missingMemberState(EnumRaidLevel level, unsigned long missing);

private:
    // The record computes the model fields of the drive from the firmware's.
    friend class VynLogicalDriveInfo;

    void createChunks(VynLogicalDriveInfo* info, unsigned long group, unsigned long recursionLevel);
    void addMembers();
    // One sub-drive per member of a RAID volume, with its chunks in group
    // `group` at `index` of `count`; it joins this drive's totals.
    void addSubDrive(VynLogicalDriveInfo* member, unsigned long group, unsigned long index, unsigned long count,
                     unsigned long long& badBlocks);
    // The hard drive at the channel and device of element `i` of `info`:
    // the present one, or a placeholder for one the controller lost.
    HardDrive* memberDrive(VynLogicalDriveInfo* info, unsigned long i);
    // Takes the redundancy words of a member into this drive's record.
    void mergeRedundancy(const VynLogicalDriveInfo* member);

    // One container operation on a write handle, failures reported as
    // `call`.
    Ret containerOperation(uint32_t operation, void* parameter, const char* call);
    Ret powerManagement(uint32_t enable, unsigned long standby, unsigned long off, unsigned long verifyTimer);
    // False, with the Ret set, when the request names a member the tree does
    // not have room for.
    bool specFitsTree(const LogicalDriveSpec& spec, Ret& ret);
    // The delay of a started migration on each container taking part.
    void paceMigration(void* writeHandle, const tag_FSA_CONTAINER& key, unsigned long delay);

    uint32_t disksetID = 0x7FFFFFFF;
    char logicalName[NAME_SIZE] = {};
    uint32_t snapshotTopContainer = NO_SNAPSHOT_TOP;
    VynAdapter* vynAdapter;
    VynLogicalDriveInfo* record;
    std::vector<VynLogicalDriveInfo*> memberRecords;
    VynBasicLogicalDrive* morphPartner = nullptr;
};

#endif
