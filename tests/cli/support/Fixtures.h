#ifndef VYN_TESTS_CLI_SUPPORT_FIXTURES_H
#define VYN_TESTS_CLI_SUPPORT_FIXTURES_H

#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Implementation/Vyn/VynAdapterLimits.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/System.h"
#include "cli/support/Scenario.h"

namespace vyntest {

class Scenario;

// Stand-ins for the controller family's classes: they answer to the family's
// class names and let a test change what the firmware would have reported.
class FixtureAdapter : public Adapter, public VynAdapterLimits {
public:
    FixtureAdapter();
    bool isInstanceOf(const char* name) const override;
    unsigned long long getInstalledMemory() const override { return installedMemory; }
    int getLimit(Limit limit) const override;

    int getMaxRaid0Members() const override { return maxRaid0Members; }
    int getMaxRaid1EMembers() const override { return maxRaid1EMembers; }
    int getMaxRaid5Members() const override { return maxRaid5Members; }
    int getMaxRaid5EEMembers() const override { return maxRaid5EEMembers; }
    int getMaxRaid6Members() const override { return maxRaid6Members; }
    int getMaxLogicalDriveMembers() const override { return maxLogicalDriveMembers; }
    int getMaxSpannedVolumeMembers() const override { return maxSpannedVolumeMembers; }
    int getMaxRaidVolumeMembers() const override { return maxRaidVolumeMembers; }
    unsigned long getStagedBuildNum() const override { return stagedBuildNum; }

    void setBattery(int status, int fullCapacity, int remainingCapacity, int currentDraw);
    void setSerialNumber(const char* text);
    void backupUnitForTest(bool present, int status)
    {
        blbuPresent = present;
        blbuStatus = status;
    }
    void heatSensorForTest(int celsius, int highThreshold)
    {
        heatSensorTemperature = celsius;
        heatSensorThresholdHi = highThreshold;
    }
    // Fields the firmware would have filled.
    void setJBODLimit(int limit) { maxJBODs = limit; }
    void setMaxTopLevelLogicalDrives(int limit) { maxTopLevelLogicalDrives = limit; }
    void setStripeSizeLimits(int minimumKB, int maximumKB)
    {
        minStripeSize = minimumKB;
        maxStripeSize = maximumKB;
    }
    void setReservedSectors(unsigned long atBeginning, unsigned long atEnd)
    {
        reservedInBeginning = static_cast<std::uint32_t>(atBeginning);
        reservedInEnd = static_cast<std::uint32_t>(atEnd);
    }
    void setStatisticDataCollection(bool enabled) { statisticDataCollectionEnabled = enabled; }
    void setDefaultLDTaskPriorityForTest(EnumPriorityLevel priority) { defaultLDTaskPriority = priority; }
    // The controller-wide write-cache modes of its drives; 3 cannot be set.
    void setDriveCacheModesForTest(int sata, int sas)
    {
        sataHDCacheMode = static_cast<EnumHardDriveCacheMode>(sata);
        sasHDCacheMode = static_cast<EnumHardDriveCacheMode>(sas);
    }
    // Texts are cut to fit their fields.
    void setVersionsForTest(const char* firmware, unsigned long firmwareBuild, const char* bios,
                            unsigned long biosBuild, const char* driver, unsigned long driverBuild,
                            const char* bootFlash, unsigned long bootFlashBuild);
    void setStagedFirmwareForTest(const char* version, unsigned long build);
    void setCopyBackForTest(bool on) { copyBackEnabled = on; }
    void setAutoFailoverForTest(bool on) { autoFailoverEnabled = on; }
    void setSataNCQForTest(bool on) { sataNCQEnabled = on; }
    void setDeviceNameForTest(const char* text);
    void setPerformanceModeForTest(EnumPerformanceMode mode, unsigned long supported)
    {
        performanceMode = mode;
        supportedPerformanceModes = static_cast<std::uint32_t>(supported);
    }
    void setOrvexaPoolForTest(unsigned long assigned, unsigned long maximum)
    {
        numOrvexaAssignedDrives = static_cast<std::uint32_t>(assigned);
        maxNumOrvexaAssignedDrives = static_cast<std::uint32_t>(maximum);
    }
    void setOrvexaRatesForTest(unsigned long flushAndFetch, unsigned long dirtyPageThreshold)
    {
        orvexaFlushAndFetchRate = static_cast<std::uint32_t>(flushAndFetch);
        dirtyPageThresholdValue = static_cast<std::uint32_t>(dirtyPageThreshold);
    }

    // The SSD cache-pool operations that commands call on the controller
    // object itself, recorded as "Adapter::addDriveToOrvexaPool adapter=0 |
    // [adapter=0,channel=0,device=4]" and answered by the scenario under that
    // name; without a scenario, Ret(0).
    Ret addDriveToOrvexaPool(AddrCollection& drives) override;
    Ret removeDriveFromOrvexaPool(AddrCollection& drives) override;
    Ret clearOrvexaPool() override;
    Ret isOrvexaHasDirtyData() override;

    std::shared_ptr<Scenario> scenario;

    // False: the controller answers to no family class name, as one of
    // another controller family would.
    bool familyClass = true;
    unsigned long long installedMemory = 0;
    int dedicatedSpareLimit = 0;
    int maxRaid0Members = 32;
    int maxRaid1EMembers = 32;
    int maxRaid5Members = 32;
    int maxRaid5EEMembers = 32;
    int maxRaid6Members = 32;
    int maxLogicalDriveMembers = 32;
    int maxSpannedVolumeMembers = 128;
    int maxRaidVolumeMembers = 128;
    unsigned long stagedBuildNum = 0;
};

class FixtureHardDrive : public HardDrive {
public:
    FixtureHardDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, const char* serial);
    bool isInstanceOf(const char* name) const override;

    void setSizeForTest(unsigned long long sectors) { size = sectors; }
    void setJBODForTest(bool on) { jbod = on; }
    void setOrvexaAssignedForTest(bool on) { OrvexaAssigned = on; }
    void setTaskInProgressForTest(bool on) { taskInProgress = on; }
    void setInterfaceTypeForTest(int type) { interfaceType = type; }
    // A solid-state drive that the SSD cache pool may take.
    void setOrvexaCapableSSDForTest(bool on)
    {
        nonSpinning = on;
        OrvexaCapable = on;
    }
    void setATASecuritySupportForTest(bool on) { ataSecuritySupported = on; }
    void setOSPartitionForTest(bool on) { OSPartition = on; }

    // The drive's own JBOD removal, recorded as "HardDrive::deleteJBOD
    // adapter=0,channel=0,device=2" and answered under that name.
    Ret deleteJBOD() override;

    std::shared_ptr<Scenario> scenario;
};

// An SES-2 enclosure of the controller family with one audible-alarm element
// whose status word the test chooses. Its own setAlarmState is recorded as
// "SES2EnclosureDevice::setAlarmState adapter=0,channel=0,device=5 | 4".
class FixtureSES2Enclosure : public SES2EnclosureDevice {
public:
    FixtureSES2Enclosure(Adapter* adapter, Channel* channel, unsigned long deviceID);
    bool isInstanceOf(const char* name) const override;
    Ret setAlarmState(EnumAlarmState state) override;

    std::shared_ptr<Scenario> scenario;
};

class FixtureLogicalDrive : public BasicLogicalDrive {
public:
    FixtureLogicalDrive(Adapter* adapter, unsigned long id, const char* name, EnumRaidLevel level,
                        unsigned long long dataSpace);
    bool isInstanceOf(const char* name) const override;
    // From the scenario's tasks for the drive's address, recorded as
    // "getProgress adapter=0,logicalDrive=0"; without a scenario, or with
    // nothing seeded, a record of type 0.
    Ret getProgress(Progress& progress) override;
    Ret getProgress(ProgressCollection& out) override;
    // Renames the drive and records "setName adapter=0,logicalDrive=0 |
    // "text"" with the scenario's answer for "setName"; the name stays
    // unless that answer fails.
    Ret setName(const char* text) override;

    void setStateProperty(EnumLogicalDeviceState newState) { state = newState; }
    void setNameForTest(const char* text) { name = text != nullptr ? text : ""; }
    void setMountPointForTest(const char* text);
    void setBadBlockCountForTest(int count) { badBlockCount = count; }
    void setRaid5EEStateForTest(int value) { raid5EEState = value; }
    void setStripeSizeForTest(int kb) { stripeSize = static_cast<EnumStripeSize>(kb); }
    void setOrvexaPreferredForTest(EnumOrvexaPreferredSetting setting) { orvexaPreferredSetting = setting; }
    void setOrvexaWriteCacheForTest(EnumOrvexaWriteCachePreferredSetting setting,
                                    EnumOrvexaWriteCachePolicySetting policy)
    {
        orvexaWriteCachePreferredSetting = setting;
        orvexaWriteCachePolicySetting = policy;
    }
    void setPMForTest(bool enabled, unsigned long standby, unsigned long off, unsigned long verify)
    {
        pmEnabled = enabled;
        pmStandbyTimer = static_cast<std::uint32_t>(standby);
        pmOffTimer = static_cast<std::uint32_t>(off);
        pmVerifyTimer = static_cast<std::uint32_t>(verify);
    }
    void setWriteCacheSettingForTest(int value) { writeCacheSetting = value; }
    void setForceOnlineFlagsForTest(unsigned flags) { forceOnlineFlags = static_cast<int>(flags); }
    void setPartitionForTest(bool on) { hasPartition = on ? LD_HAS_PARTITION : LD_HAS_NO_PARTITION; }

    std::shared_ptr<Scenario> scenario;
};

// Whether `name` names a fixture: "empty" (no controller), "basic", "ld",
// "sas", "mixed". "basic": one controller answering "VynAdapter" at
// position 0 with four ready SATA drives 0,0 to 0,3 of 286749488 sectors;
// "ld" adds logical drive 0 "Data", a RAID 1 of 10000 MB on drives 0,0 and
// 0,1 from sector 0; "sas" is "basic" with a SAS channel and SAS drives.
// "mixed" is "ld" with a drive in every other role: 0,2 a global spare; 0,3
// a dedicated spare of logical drive 0; 0,4 a ready JBOD; 0,5 a failed drive
// carrying the failed segment (chunk state 2) of logical drive 1 "Lost", a
// failed RAID 0 of 10000 MB; 0,6 a ready SAS drive (interface type 4) on
// the same channel.
// "two-controllers": two "basic" controllers at positions 0 and 1.
// "enclosure": "basic" with an SES-2 enclosure at 0,5 answering
// "VynSES2EnclosureDevice", whose one audible-alarm element reports on (1).
// "ssd": "basic" with three ready SSDs 0,4 to 0,6 that the cache pool may
// take, the SSD read and write cache features (270, 276) and a pool of at
// most two drives, none assigned.
bool isFixtureName(const std::string& name);

// Adds the controllers of the named fixture below `root`; false, adding
// nothing, for an unknown name.
bool buildFixture(const std::string& name, System& root);

// The fixture's controller and its parts, for tree changes; each throws
// std::out_of_range when the tree lacks it.
FixtureAdapter& fixtureAdapter(System& root);
FixtureHardDrive& fixtureDrive(System& root, unsigned long channel, unsigned long device);
FixtureLogicalDrive& fixtureLogicalDrive(System& root, unsigned long id);

// A logical drive with one chunk of `sectors` from `start` on each listed
// device of channel 0, each chunk also a child of its hard drive, as
// discovery links them; the member drives become online.
FixtureLogicalDrive& addFixtureLogicalDrive(FixtureAdapter& adapter, unsigned long id, const char* name,
                                            EnumRaidLevel level, const std::vector<unsigned long>& devices,
                                            unsigned long long start, unsigned long long sectors,
                                            unsigned long long dataSpace,
                                            EnumChunkState chunkState = CHUNK_STATE_NORMAL);

// A ready drive of the basic kind added to the controller's first channel.
FixtureHardDrive& addFixtureDrive(FixtureAdapter& adapter, unsigned long device);

// Ready-made tree changes.
TreeChange setFeatureChange(FeatureEnum feature, int value);

// The root a storage library builds for a fixture: discovery adds the
// fixture's controllers, as the controller family adds what it finds, then
// the scenario's tree changes. A single-controller build of a position the
// fixture lacks reports a bad parameter, as the family does; of one it has,
// it builds the whole fixture.
class FixtureSystem : public System {
public:
    explicit FixtureSystem(std::string fixture);
    explicit FixtureSystem(std::shared_ptr<Scenario> scenario);
    void buildChildren(StorLib* lib, Ret& ret) override;
    void buildChildrenForSingleAdapter(StorLib* lib, unsigned long index, Ret& ret) override;
    int getControllerCount(StorLib* lib, Ret& ret) override;

private:
    void discover();

    std::string fixture_;
    std::shared_ptr<Scenario> scenario_;
};

// A system root holding the named fixture, or null for an unknown name.
std::unique_ptr<System> makeFixtureSystem(const std::string& name);

}  // namespace vyntest

#endif
