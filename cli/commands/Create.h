#ifndef VYN_CLI_COMMANDS_CREATE_H
#define VYN_CLI_COMMANDS_CREATE_H

#include <string>
#include <vector>

#include "cli/UcliFunction.h"
#include "common/LogicalDriveSpec.h"

class Adapter;
class Addr;
class HardDrive;
class LogicalDrive;

// The create-error codes shown by displayError.
enum CreateError {
    CREATE_BAD_DRIVE_COUNT = 1,
    CREATE_NO_SPACE = 2,
    CREATE_TOO_SMALL = 3,
    CREATE_DEVICE_UNAVAILABLE = 4,
    CREATE_STRIPE_TOO_LARGE = 5,
    CREATE_MIXED_INTERFACES = 6,
    CREATE_TOO_LARGE = 7,
    CREATE_SEGMENT_LIMIT = 8,
    CREATE_BAD_CONTROLLER = 9
};

// The sectors of one megabyte, and the largest logical drive in megabytes on
// a controller without 64-bit block addresses.
constexpr unsigned long long SECTORS_PER_MB = 2048;
constexpr unsigned long long MAX_32BIT_LOGICAL_DRIVE_MB = 0x1FFFFF;

// "0", "1", "1E", ... as EnumRaidLevel; RAID_LEVEL_NONE for any other word.
EnumRaidLevel getRAIDLevelEnum(const char* word);
// 4 to 1024 KiB; 1 (invalid) for any other word.
int getStripeSize(const char* word);

// CREATE: a logical drive on listed drives, a RAID volume over logical
// drives, or JBODs. MODIFY derives from it for the drive lists, levels and
// the free-space search.
class Create : public UcliCommand {
public:
    Create();
    ~Create() override;

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // Places one chunk on the drive and answers the sectors available there:
    // the smallest free extent of at least `segment` sectors, or the biggest.
    virtual unsigned long long findMaxChunk(HardDrive* drive, ChunkSpec& chunk);
    virtual unsigned long long findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment);

    // The layout of the logical drive to create; 0 or a create-error code.
    int buildLogicalDriveSpec(Adapter* adapter);
    int findChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long& segment, EnumRaidLevel level,
                       unsigned n);
    int findVolumeChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long size);
    int findJBODPromoteChunkSpace(Adapter* adapter, LogicalDriveSpec* target, unsigned long long size);
    int initHDFreeSpace(Adapter* adapter, LogicalDriveSpec* target);
    void setCacheMode(Adapter* adapter);
    void setInitMethod(Adapter* adapter);
    void configEnclRedundancy(Adapter* adapter);
    // 0, or -30 when the chunks run out before the legs are filled.
    int setSpannedArrays();
    bool isMemberOfLogicalDrive(Adapter* adapter, HardDrive* drive);
    bool containsHardDrive(LogicalDrive* logicalDrive, HardDrive* drive);

    unsigned getMinChunks(EnumRaidLevel level, int legCount);
    unsigned getMinimumDriveCount(EnumRaidLevel level);
    unsigned getMinimumSubArrayDriveCount(EnumRaidLevel level);
    // The family's RAID-6 sizing, with the message of a stripe that is too
    // large.
    int check_raid6_limits(unsigned drives, int stripe, EnumRaidLevel level);
    int set_raid6_chunksize(unsigned long long targetSize, unsigned long long& segment, unsigned drives,
                            EnumRaidLevel level);

    void displayError(int code);
    // Whether the controller can create the level; RAID volumes only through
    // RVOLUME.
    bool isValidRAIDLevel(Adapter* adapter, EnumRaidLevel level);
    int getMaxDrivesPerRaidLevel(Adapter* adapter, EnumRaidLevel level);
    // "LogicalDrv %d" with the smallest free id, made unique.
    std::string buildLogicalDriveName(Adapter* adapter);

protected:
    // For MODIFY, which answers to its own keyword.
    Create(const char* keyword, const char* description);

    // Reads channel and device pairs into `target`, counting them in `n`.
    int buildChunkSpec(char** words, int count, LogicalDriveSpec* target, unsigned& n);
    Adapter* adapterOf(StorLibPlugin* lib) const;
    void releaseSpec();

    // The parsed command line; reset at the start of every argument load.
    bool isVynAdapter = false;
    bool spanned = false;
    bool legsGiven = false;
    bool enclosureRedundancy = false;
    bool jbodCommand = false;
    bool jbodToSimpleVolume = false;
    int noInit = 0;
    int sync = 0;
    int legs = 2;
    int maxDrives = 0;
    unsigned chunkCount = 0;
    std::vector<int> volumeMembers;
    bool nameGiven = false;
    std::string name;
    std::string initPriority;
    std::string initMethod;
    unsigned long long size = 0;
    EnumRaidLevel raidLevel = RAID_LEVEL_NONE;
    int stripeSize = 1;
    bool stripeGiven = false;
    int readCache = 4;
    int writeCache = 4;
    int orvexaReadCache = 0;
    int orvexaWriteCache = 0;
    int writePolicy = 0;
    LogicalDriveSpec* spec = nullptr;
    bool blankName = false;
    StorLibPlugin* library = nullptr;

private:
    int loadArgumentsLD(char** argv, int argc, StorLibPlugin* lib);
    int loadArgumentsJBOD(char** argv, int argc, StorLibPlugin* lib);
    // The options between LOGICALDRIVE and the size; `next` ends on the
    // first word that is no option.
    int loadOptions(char** argv, int argc, int& next, Adapter* adapter);
    int loadRaidVolume(char** argv, int argc, int next, Adapter* adapter);
    int searchRaidVolumeLogicalDrives(Adapter* adapter);
    int buildRaidVolumeSpec(Adapter* adapter);
    int executeLD(StorLibPlugin* lib);
    int executeJBOD(StorLibPlugin* lib);
    // Waits while a logical drive of the controller builds, clears, verifies
    // or flushes.
    void syncWait(StorLibPlugin* lib);
    void printRaid6Debug(unsigned drives, int stripe, EnumRaidLevel level);
};

#endif
