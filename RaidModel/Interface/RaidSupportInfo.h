#ifndef VYN_RAIDMODEL_INTERFACE_RAIDSUPPORTINFO_H
#define VYN_RAIDMODEL_INTERFACE_RAIDSUPPORTINFO_H

#include <vector>

#include "common/LogicalDriveSpec.h"

// What a controller allows for one RAID level: stripe and member bounds,
// dedicated spares, and the levels a drive of this level can migrate to.
struct RaidSupportInfo {
    EnumRaidLevel raidLevel = RAID_LEVEL_NONE;
    int minStripeSize = 1;
    int maxStripeSize = 1;
    int minMembers = 0;
    int maxMembers = 0;
    int maxDedicatedSpares = 0;
    std::vector<EnumRaidLevel> reachableLevels;
};

#endif
