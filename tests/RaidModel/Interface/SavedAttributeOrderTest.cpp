#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/XMLWriter.h"

// Saved configurations are compared and replayed as text, so each class's
// attributes keep their names and their order in both forms.

namespace {

std::vector<std::string> namesIn(const std::string& attributes)
{
    static const std::regex pair(R"re(\s([A-Za-z_0-9]+)="[^"]*")re");
    std::vector<std::string> names;
    for (std::sregex_iterator it(attributes.begin(), attributes.end(), pair), end; it != end; ++it) {
        names.push_back((*it)[1].str());
    }
    return names;
}

std::string written(const RaidObject& node, bool full)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    if (full) {
        node.writeTo(&writer);
    } else {
        node.writeToXML(&writer);
    }
    return text != nullptr ? std::string(text) : std::string();
}

// The names a node writes after those of its base class.
std::vector<std::string> ownNames(const RaidObject& node, bool full, std::size_t count)
{
    std::vector<std::string> names = namesIn(written(node, full));
    if (names.size() < count) {
        return names;
    }
    return std::vector<std::string>(names.end() - static_cast<std::ptrdiff_t>(count), names.end());
}

// Every optional attribute of a logical drive is set.
class SnapshotDrive : public BasicLogicalDrive {
public:
    SnapshotDrive(Adapter* adapter, unsigned long id)
        : BasicLogicalDrive(adapter, nullptr, id, LD_OPTIMAL, RAID_LEVEL_5, 4096, 2048, false,
                            static_cast<EnumLogicalDriveCacheMode>(0), false, false)
    {
        snapshotType = 1;
        setMorphTypeProperty(static_cast<EnumLDMorphType>(1));
        setMorphPartnerID(3);
        setName("data");
    }
};

class SavedAttributeOrder : public ::testing::Test {
protected:
    SavedAttributeOrder() : adapter(new Adapter), channel(new SASChannel(adapter, 0, SPEED_UNSET))
    {
        adapter->setAdapterID(0);
        adapter->addChild(channel);
        unsigned char wwn[8] = {0x50, 1, 2, 3, 4, 5, 6, 7};
        adapter->setOnBoardExpandersWWN(0, wwn);
        drive = new HardDrive(adapter, channel, 1, 100000, PD_READY, nullptr, nullptr, nullptr, nullptr, false,
                              static_cast<EnumHardDriveCacheMode>(4), false, false, false, nullptr, false);
        drive->setEnclosureID(2);
        drive->setSlotID(5);
        channel->addChild(drive);
        ld = new SnapshotDrive(adapter, 1);
        adapter->addChild(ld);
        chunk = new Chunk(drive, ld, 0, 4096, static_cast<EnumChunkType>(1), 0, CHUNK_STATE_NORMAL, 0, 2);
        ld->addChild(chunk);
        ld->addAssignedSpare(drive);
    }
    ~SavedAttributeOrder() override
    {
        adapter->deleteAllChildren();
        delete adapter;
    }

    Adapter* adapter;
    Channel* channel;
    HardDrive* drive;
    LogicalDrive* ld;
    Chunk* chunk;
};

TEST_F(SavedAttributeOrder, EachClassWritesItsAttributesInItsOrder)
{
    struct Form {
        const char* what;
        const RaidObject* node;
        bool full;
        std::vector<std::string> names;
    } forms[] = {
        {"controller, full", adapter, true,
         {"controllerType", "controllerStatus", "biosVersion", "firmwareVersion", "driverVersion",
          "firmwareBootVersion", "physicalSlot", "unattended", "maxLogicalDrives", "maxArrays", "maxSpannedArrays",
          "maxChannels", "maxID", "maxDevicesPerArray", "maxControllers", "maxJBODs", "buildNum", "firmwareBuildNum",
          "biosBuildNum", "driverBuildNum", "alarmState", "autoFailoverEnabled", "sasHDCacheMode", "sataHDCacheMode",
          "defaultLDTaskPriority", "performanceMode", "supportedPerformanceModes", "pmStayAwakeStart",
          "pmStayAwakeStop", "pmSpinupLimitInternal", "pmSpinupLimitExternal", "pmUTCtoLocalTimeDiff",
          "onBoardExpanders"}},
        {"controller, user", adapter, false,
         {"controllerID", "controllerType", "biosVersion", "firmwareVersion", "driverVersion", "firmwareBootVersion",
          "buildNum", "firmwareBuildNum", "biosBuildNum", "driverBuildNum", "alarmState", "defaultLDTaskPriority",
          "performanceMode", "pmStayAwakeStart", "pmStayAwakeStop", "pmSpinupLimitInternal", "pmSpinupLimitExternal",
          "pmUTCtoLocalTimeDiff"}},
        {"logical drive, full", ld, true,
         {"logicalDriveID", "state", "subState", "raidLevel", "dataSpace", "paritySpace", "blockedAccess",
          "writeCacheMode", "lastDriveInArray", "OSPartition", "hasPartition", "stripeSize", "osDiskNumber",
          "uniqueID", "taskPriority", "bTaskInProgress", "snapshotType", "snapshotBUMode", "snapshotBUComplete",
          "snapshotPartnerID", "snapshotCapacityUsed", "raid5EEState", "numMissingMembers", "morphType",
          "morphPartnerID", "name", "driveLetter", "unixMountPoint", "pmEnabled", "pmStandbyTimer", "pmOffTimer",
          "pmVerifyTimer", "pmState", "orvexaPreferredSetting", "orvexaSetting", "orvexaWriteCachePreferredSetting",
          "orvexaWriteCacheSetting", "orvexaWriteCachePolicySetting"}},
        {"logical drive, user", ld, false,
         {"logicalDriveID", "raidLevel", "size", "sizeUnit", "stripeSize", "taskPriority", "initMethod", "name",
          "pmEnabled", "pmStandbyTimer", "pmOffTimer", "pmVerifyTimer", "pmState", "orvexaPreferredSetting",
          "orvexaSetting", "orvexaWriteCachePreferredSetting", "orvexaWriteCacheSetting",
          "orvexaWriteCachePolicySetting"}},
        {"chunk, full", chunk, true,
         {"chunkID", "consumerLogicalID", "startSector", "numSectors", "reserved", "group", "groupPosition",
          "groupSize", "chunkType", "chunkState", "startBlock", "numBlocks", "groupNum"}},
        {"chunk, user", chunk, false, {"deviceID", "chunkID", "enclosureID", "slotID"}},
        {"hard drive, full", drive, true,
         {"size", "pfaError", "pfaSupported", "pfaEnabled", "writeCacheEnable", "writeCacheEnableSupported",
          "selfTestSupported", "OSPartition", "spareType", "jbod", "assignedTo", "enclosureID", "slotID"}},
        {"hard drive, user", drive, false,
         {"size", "writeCacheEnable", "writeCacheEnableSupported", "spareType", "jbod", "assignedTo", "enclosureID",
          "slotID"}},
    };
    for (const Form& form : forms) {
        EXPECT_EQ(ownNames(*form.node, form.full, form.names.size()), form.names) << form.what;
    }
}

}  // namespace
