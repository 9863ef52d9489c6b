#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSYSTEM_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSYSTEM_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/System.h"
#include "common/LogicalDriveSpec.h"

class Adapter;
class HardDrive;
class LogicalDrive;
class VynAdapter;
struct _tagFSA_ADAPTER_ENUM_INFO;

// The controller family's root. Besides the base's controller index it keeps
// the family's own controllers, in the order they joined the tree; the list
// does not own them (they are children of the root).
class VynSystem : public System {
public:
    VynSystem();
    ~VynSystem() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void descendantAdded(RaidObject* descendant) override;

    void buildChildren(StorLib* previous, Ret& ret) override;
    void disableDebugLogging(Ret& ret) override;
    void buildChildrenForSingleAdapter(StorLib* previous, unsigned long index, Ret& ret) override;
    int getControllerCount(StorLib* previous, Ret& ret) override;
    // Applies the saved configuration `parsed` to the live controllers of
    // `current` (normally this root), writing each step to the replay log.
    // One replay runs at a time.
    Ret compareConfig(StorLib* lib, System& parsed, System& current, char* logFile, EnumForceOption force,
                      bool slotIDFlag) override;

    // The replay log's stamp: asctime's 24 characters, two blanks, NUL at 26.
    static char* getTime(char* timeEntry);
    static void closeFileHandle(FILE* file);
    // The requested size in sectors, 10 MiB above the saved size; false for
    // an unknown unit (0 MiB, 1 GiB, 2 TiB), which stores nothing.
    bool sizeInSectors(unsigned long long userSize, int userSizeUnit);

    // Before anything changes: the saved drives take the addresses of the
    // live drives in the same enclosure slots; the saved logical drives must
    // fit on the live drives.
    bool assignDeviceIDfromSlotID(System& saved, System& current);
    bool isSafeConfig(System& saved, System& current);

    // The per-drive chunk of the logical drive being replayed.
    bool calculateChunkSize();
    void alignChunkSizeWithStripeSize();

    // The creation of one saved logical drive on a live controller, and the
    // steps of its specification. Codes: 0 done, 1 counts or level, 2 no
    // room, 3 too small, 4 member missing, busy or not allowed, 5 RAID-6
    // stripe too wide, 6 mixed interfaces, 7 needs 64-bit addressing, 8 a
    // member with too many chunks, -30 no split into legs.
    Ret createLogical(Adapter* curAdapter, LogicalDrive* pLogical);
    Ret createUserSizeLogical(Adapter* curAdapter, LogicalDrive* pLogical);
    bool buildChunkSpec(LogicalDrive* pLogical, std::vector<unsigned long> chunkList, int count, unsigned& driveCount);
    int buildLogicalDriveSpec(Adapter* curAdapter, LogicalDrive* pLogical, unsigned& drivecount);
    std::string buildLogicalDriveName(Adapter* adapter);
    int findChunkSpace(Adapter* adapter, unsigned long long& chunkSize, EnumRaidLevel level, int numberDrives);
    int initHDFreeSpace(Adapter* adapter);
    int findVolumeChunkSpace(Adapter* adapter, unsigned long long chunksize);
    int findJBODPromoteChunkSpace(Adapter* adapter, unsigned long long chunksize);
    unsigned long long findMaxChunk(HardDrive* drive, ChunkSpec& chunk);
    unsigned long long findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long chunkSize);
    bool isMemberOfLogicalDrive(Adapter* adapter, HardDrive* drive);
    bool containsHardDrive(LogicalDrive* logical, HardDrive* drive);
    // RAID volumes, legs of spanned arrays and legs across enclosures.
    int buildRaidVolumeSpec(Adapter* adapter, StorLib* storlib);
    int setSpannedArrays();
    void configEnclRedundancy(Adapter* adapter);

    // What a replay keeps while it runs.
    struct ReplayState {
        bool vynAdapter = false;
        bool promoteJbod = false;
        unsigned long long requestedSize = 0;
        unsigned wholeDrive = 0;
        unsigned stripeKB = 0;
        bool spanned = false;
        int legs = 2;
        EnumRaidLevel raidLevel = RAID_LEVEL_0;
        unsigned driveCount = 0;
        std::unique_ptr<LogicalDriveSpec> spec;
        bool enclRedundancy = false;
        const char* savedName = nullptr;
        StorLib* storLib = nullptr;
        FILE* log = nullptr;
        unsigned long long chunkSize = 0;
    };
    ReplayState& replayState() { return replay; }

    VynAdapter* getVynAdapter(unsigned long index) const;
    unsigned long getNumVynAdapters() const { return vynAdapters.size(); }

private:
    // One pass of discovery over one enumeration record; false when the
    // adapter could not be made.
    bool buildOneAdapter(StorLib* previous, const _tagFSA_ADAPTER_ENUM_INFO& record, unsigned long index, Ret& ret);

    // The live member drive of a chunk of the specification, by address.
    HardDrive* liveMember(Adapter* adapter, const ChunkSpec& chunk) const;
    Ret replayControllerSettings(Adapter& saved, Adapter& live);
    bool replayLogicalDrives(Adapter& saved, System& current, Ret& ret);
    bool replayDrives(Adapter& saved, Adapter& live, Ret& ret);

    std::vector<RaidObject*> vynAdapters;
    ReplayState replay;
};

#endif
