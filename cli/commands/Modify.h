#ifndef VYN_CLI_COMMANDS_MODIFY_H
#define VYN_CLI_COMMANDS_MODIFY_H

#include <vector>

#include "cli/commands/Create.h"

class Chunk;

// MODIFY: migrates a logical drive to another RAID level or grows it. The
// target layout is CREATE's, except that a chunk on a drive that already
// holds the source grows in place.
class Modify : public Create {
public:
    Modify();
    ~Modify() override;

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;
    unsigned long long findMaxChunk(HardDrive* drive, ChunkSpec& chunk) override;
    unsigned long long findChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment) override;

    // The feature that allows the migration; 277 for none. Also decides
    // whether the migration swaps a mirror for a simple volume.
    int getRLMFeature(EnumRaidLevel from, EnumRaidLevel to);
    int getOCEFeature(EnumRaidLevel level);
    bool isValidRLM(EnumRaidLevel from, EnumRaidLevel to);

    static unsigned long getMinorDataStripesPerMajorCycle(unsigned long drives, EnumRaidLevel level);
    static unsigned long getMinorParityStripesPerMajorCycle(unsigned long drives, EnumRaidLevel level);

private:
    void cleanUp();
    int fail();
    int buildLogicalDriveChunkSpec();
    unsigned long long findModifyChunk(HardDrive* drive, ChunkSpec& chunk, unsigned long long segment);
    int findMirrorSpace(Adapter* adapter, LogicalDriveSpec* layout, unsigned long long segment, EnumRaidLevel level,
                        unsigned n);
    // False when the source's layout allows no computation (a division by
    // zero): the reconfiguration is not supported.
    bool getMinChunksAllowed(unsigned& required);
    bool isValid_56_65_Morph(unsigned long t, unsigned long d, unsigned long k);
    bool getMinDataSpace(unsigned long long& space);
    bool isExpandable(EnumRaidLevel level);
    bool keepsSourceSize(bool expandable);
    bool calculateMaxDataSize(unsigned long long total, unsigned long n, EnumRaidLevel level, unsigned long legCount,
                              unsigned long long& space);
    const Chunk* sourceChunkOn(unsigned long channel, unsigned long device) const;
    bool isTargetChunkDisjoint(const ChunkSpec& chunk) const;
    bool isSourceTargetDisjoint() const;
    bool isSourceTargetNonDisjoint() const;
    bool isSourceSubsetOfTarget() const;
    bool targetHasMixedTech() const;
    bool anyMorphingComponents() const;

    Adapter* adapter = nullptr;
    int modifyAdapterNumber = -1;
    LogicalDrive* sourceDrive = nullptr;
    int sourceNumber = 0;
    EnumRaidLevel sourceLevel = RAID_LEVEL_NONE;
    std::vector<Chunk*>* sourceChunks = nullptr;
    unsigned long long targetSize = 0;
    EnumRaidLevel targetLevel = RAID_LEVEL_NONE;
    bool disjoint = false;
    unsigned targetChunkCount = 0;
    int modifyLegs = 2;
    int modifyStripe = 256;
    EnumPriorityLevel modifyPriority = PRIORITY_HIGH;
    bool mirrorSwap = false;
    // The target is the source's size exactly (a stripe-size change or a
    // mirror swap): its chunks are not rounded past the source's.
    bool keepSize = false;
};

#endif
