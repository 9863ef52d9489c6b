#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNADAPTERLIMITS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNADAPTERLIMITS_H

class Adapter;

// What the commands read of a controller of this family beyond `Adapter`:
// the member limits per RAID level from its general information and the
// build of its staged firmware. The family's controller class answers them;
// the commands reach them only through vynAdapterLimits, so they never cast
// a controller to the family's class.
class VynAdapterLimits {
public:
    virtual ~VynAdapterLimits();

    virtual int getMaxRaid0Members() const = 0;
    virtual int getMaxRaid1EMembers() const = 0;
    virtual int getMaxRaid5Members() const = 0;
    virtual int getMaxRaid5EEMembers() const = 0;
    virtual int getMaxRaid6Members() const = 0;
    virtual int getMaxLogicalDriveMembers() const = 0;
    virtual int getMaxSpannedVolumeMembers() const = 0;
    virtual int getMaxRaidVolumeMembers() const = 0;
    virtual unsigned long getStagedBuildNum() const = 0;
};

// The limits of a controller of this family; null for any other controller
// and for null.
const VynAdapterLimits* vynAdapterLimits(const Adapter* adapter);

#endif
