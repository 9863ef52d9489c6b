#include "RaidModel/Interface/Adapter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ModelXml.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/GenericRecord.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "common/AddrCollection.h"
#include "common/Buffer.h"
#include "common/LogicalDriveSpec.h"
#include "common/Progress.h"
#include "common/StorEvent.h"

namespace {

// An adapter whose fields a test can reach, as the controller family does.
class FieldAdapter : public Adapter {
public:
    using Adapter::Adapter;
    int& slot() { return physicalSlot; }
    EnumAlarmState& alarm() { return alarmState; }
    int& battery() { return batStatus; }
    std::uint32_t& dirtyPages() { return dirtyPageThresholdValue; }
    std::uint32_t& scrubRate() { return dataScrubRate; }
    char* staged() { return stagedVersion; }
    char* firmwareText() { return firmwareVersion; }
    EnumHardDriveCacheMode& sasCache() { return sasHDCacheMode; }
    EnumHardDriveCacheMode& sataCache() { return sataHDCacheMode; }
    int& maxGlobal() { return maxGlobalSpares; }
    unsigned char* expander(int i) { return onBoardExpanders[i]; }
    AdapterFeatures*& featureTable() { return features; }
    std::vector<RaidSupportInfo>& capabilities() { return raidSupport; }
    bool ncqEnabled() const { return sataNCQEnabled; }
    bool reconditionRequired() const { return batReconditionRequired; }
    int versionMatch() const { return versionMatchStatus; }
    bool smartStats() const { return smartStatsSupported; }
    void* raw() const { return rawData; }
};

// A controller whose single-task query answers as told.
class ProgressAdapter : public Adapter {
public:
    explicit ProgressAdapter(int code) : code_(code) {}
    Ret getProgress(Progress& progress) override
    {
        progress.setPercent(42);
        return Ret(code_);
    }
    using Adapter::getProgress;

private:
    int code_;
};

// Deletes the subtree the test built on the stack-held root.
struct TreeOwner {
    RaidObject& root;
    ~TreeOwner() { root.deleteAllChildren(); }
};

char bios[] = "BIOS-1.0";
char firmware[] = "FW-2.0";
char driver[] = "DRV-3.0";

}  // namespace

TEST(AdapterDefaults, FreshAdapterHasItsDefaultsAndEmptyIndexes)
{
    FieldAdapter a;
    EXPECT_TRUE(a.IsAutoFailoverEnabled());
    EXPECT_EQ(a.getBatStatus(), 1);
    EXPECT_TRUE(a.reconditionRequired());
    EXPECT_EQ(a.versionMatch(), 2);
    EXPECT_TRUE(a.smartStats());
    EXPECT_EQ(a.raw(), nullptr);
    EXPECT_EQ(a.getSasHDCacheMode(), 3);
    EXPECT_EQ(a.getSataHDCacheMode(), 3);
    EXPECT_EQ(a.getAdapterType(), 0);
    EXPECT_EQ(a.getAdapterStatus(), 0);
    EXPECT_EQ(a.getAlarmState(), 0);
    EXPECT_STREQ(a.getBiosVersion(), "");
    EXPECT_STREQ(a.getFirmwareVersion(), "");
    EXPECT_STREQ(a.getDeviceDriverVersion(), "");
    EXPECT_STREQ(a.getFirmwareBootVersion(), "");
    EXPECT_STREQ(a.getStagedVersion(), "");
    EXPECT_EQ(a.getNumHardDrives(), 0u);
    EXPECT_EQ(a.getNumLogicalDrives(), 0u);
    EXPECT_EQ(a.getNumSASConnector(), 0u);
    EXPECT_EQ(a.getChannel(0), nullptr);
    EXPECT_EQ(a.getPhysicalDevice(0), nullptr);
    EXPECT_EQ(a.getFeature(featRaid5), 0);
    EXPECT_EQ(a.getCacheMemory(), 0u);
    EXPECT_EQ(a.getInstalledMemory(), 0u);
    EXPECT_EQ(a.featureTable(), nullptr);
    EXPECT_TRUE(a.isInstanceOf("Adapter"));
    EXPECT_TRUE(a.isInstanceOf("RaidObject"));
    EXPECT_STREQ(a.typeName(), "Adapter");
    EXPECT_STREQ(a.serializedName(), "Controller");
}

TEST(AdapterType, ControllerTypeDecidesTheLibraryType)
{
    const struct {
        int adapterType;
        unsigned storLibType;
    } cases[] = {
        {1, 5},    {17, 5},   {32, 5},   {18, 0},    {0, 0},     {257, 6},   {259, 6},
        {260, 0},  {512, 7},  {1024, 8}, {1280, 9},  {768, 10},  {1536, 11}, {1792, 12},
        {2048, 13}, {-1, 0},
    };
    for (const auto& c : cases) {
        Adapter a;
        a.setAdapterType(static_cast<EnumAdapterType>(c.adapterType));
        EXPECT_EQ(a.getAdapterType(), c.adapterType);
        EXPECT_EQ(static_cast<unsigned>(a.getStorLibType()), c.storLibType) << c.adapterType;
    }
}

TEST(AdapterConstruction, FieldListTakesIdentityLimitsAndCutsLongVersions)
{
    char longVersion[] = "0123456789012345678901234567890123456789";
    FieldAdapter a(1280, 4, CONTROLLER_STATUS_INACCESSIBLE, longVersion, firmware, nullptr, 3, true,
                   1, 2, 3, 4, 5, 6, 7);
    EXPECT_EQ(a.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(a.getAdapterID(), 4u);
    EXPECT_EQ(a.getAdapterStatus(), CONTROLLER_STATUS_INACCESSIBLE);
    EXPECT_EQ(std::string(a.getBiosVersion()), std::string(longVersion, 31));
    EXPECT_STREQ(a.getFirmwareVersion(), "FW-2.0");
    EXPECT_STREQ(a.getDeviceDriverVersion(), "");
    EXPECT_EQ(a.getPhysicalSlot(), 3);
    EXPECT_TRUE(a.isUnattended());
    const Limit codes[] = {LIMIT_MAX_LOGICAL_DRIVES, LIMIT_MAX_ARRAYS,  LIMIT_MAX_SPANNED_ARRAYS,
                           LIMIT_MAX_CHANNELS,       LIMIT_MAX_ID,      LIMIT_MAX_DEVICES_PER_ARRAY,
                           LIMIT_MAX_CONTROLLERS};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(a.getLimit(codes[i]), i + 1);
    }
    EXPECT_EQ(a.getMaxJBODs(), 0);
}

TEST(AdapterLimits, OnlyKnownCodesAreReadAndStored)
{
    FieldAdapter a;
    a.setLimit(LIMIT_MAX_GLOBAL_SPARES, 12);
    EXPECT_EQ(a.getLimit(LIMIT_MAX_GLOBAL_SPARES), 12);
    EXPECT_EQ(a.maxGlobal(), 12);
    for (int code : {0, 8, 9, 11}) {
        a.setLimit(static_cast<Limit>(code), 99);
        EXPECT_EQ(a.getLimit(static_cast<Limit>(code)), 0) << code;
    }
    for (int code = 1; code <= 7; ++code) {
        EXPECT_EQ(a.getLimit(static_cast<Limit>(code)), 0) << code;
    }
}

TEST(AdapterFeaturesAccess, GoThroughTheTableWhenThereIsOne)
{
    FieldAdapter a;
    a.setFeature(featRaid5, 1);
    EXPECT_EQ(a.getFeature(featRaid5), 0);
    a.featureTable() = new AdapterFeatures();
    a.setFeature(featRaid5, 1);
    EXPECT_EQ(a.getFeature(featRaid5), 1);
    EXPECT_EQ(a.getFeature(featMaxIndex), 0);
}

TEST(AdapterIndexes, ChannelWithTwoDrivesAndAnEnclosure)
{
    Adapter a;
    a.setAdapterType(ADAPTER_TYPE_VYN);
    a.setAdapterID(3);
    TreeOwner owner{a};
    SASChannel* channel = new SASChannel(&a, 1, SPEED_UNSET);
    HardDrive* d0 = new HardDrive();
    HardDrive* d1 = new HardDrive();
    Enclosure* e = new Enclosure();
    d0->setDeviceID(0);
    d1->setDeviceID(1);
    e->setDeviceID(7);
    channel->addChild(d0);
    channel->addChild(d1);
    channel->addChild(e);
    a.addChild(channel);

    EXPECT_EQ(a.getChannel(0), channel);
    EXPECT_EQ(a.getChannel(1), nullptr);
    EXPECT_EQ(a.getSASChannel(0), channel);
    EXPECT_EQ(a.getSASChannel(1), nullptr);
    EXPECT_EQ(a.getSCSIChannel(0), nullptr);
    EXPECT_EQ(a.getSATAChannel(0), nullptr);
    EXPECT_EQ(a.getPhysicalDevice(2), e);
    EXPECT_EQ(a.getPhysicalDevice(3), nullptr);
    EXPECT_EQ(a.getNumHardDrives(), 2u);
    EXPECT_EQ(a.getHardDrive(0), d0);
    EXPECT_EQ(a.getHardDrive(1), d1);
    EXPECT_EQ(a.getEnclosure(0), e);
    EXPECT_EQ(a.getEnclosure(1), nullptr);
    EXPECT_EQ(a.getOtherPhysicalDevice(0), nullptr);
    EXPECT_EQ(a.getSES2EnclosureDevice(0), nullptr);
    std::vector<HardDrive*> drives = a.getAllHardDrives();
    EXPECT_EQ(drives.size(), 2u);
    for (RaidObject* node : std::vector<RaidObject*>{channel, d0, d1, e}) {
        EXPECT_EQ(node->getAdapterID(), 3u);
        EXPECT_EQ(node->getStorLibType(), STORLIB_TYPE_VYN);
    }
    EXPECT_EQ(d1->getChannelID(), 1u);
}

TEST(AdapterIndexes, EachKindOfNodeGoesToItsIndex)
{
    Adapter a;
    TreeOwner owner{a};
    SCSIChannel* scsi = new SCSIChannel(&a, 0, 7, SPEED_UNSET);
    SATAChannel* sata = new SATAChannel(&a, 1, SPEED_UNSET, 4);
    a.addChild(scsi);
    a.addChild(sata);
    OtherDevice* other = new OtherDevice();
    SES2EnclosureDevice* ses = new SES2EnclosureDevice();
    sata->addChild(other);
    sata->addChild(ses);
    SASConnector* connector = new SASConnector();
    a.addChild(connector);
    a.addChild(new SASPhy());

    EXPECT_EQ(a.getSCSIChannel(0), scsi);
    EXPECT_EQ(a.getSATAChannel(0), sata);
    EXPECT_EQ(a.getChannel(1), sata);
    EXPECT_EQ(a.getOtherPhysicalDevice(0), other);
    EXPECT_EQ(a.getSES2EnclosureDevice(0), ses);
    EXPECT_EQ(a.getSASConnector(0), connector);
    EXPECT_EQ(a.getNumSASConnector(), 1u);
    EXPECT_EQ(a.getPhysicalDevice(2), nullptr);
}

TEST(AdapterIndexes, OnlyTopLevelLogicalDrivesAreIndexed)
{
    Adapter a;
    TreeOwner owner{a};
    LogicalDrive* spanned = new LogicalDrive();
    spanned->addChild(new LogicalDrive());
    spanned->addChild(new LogicalDrive());
    a.addChild(spanned);
    EXPECT_EQ(a.getNumLogicalDrives(), 1u);
    EXPECT_EQ(a.getLogicalDrive(0), spanned);
    EXPECT_EQ(a.getLogical(0), spanned);
    EXPECT_EQ(a.getLogicalDrive(1), nullptr);
    EXPECT_EQ(a.getAllLogicalDrives().size(), 1u);
}

TEST(AdapterIndexes, ANodeAnnouncedTwiceIsIndexedTwice)
{
    Adapter a;
    HardDrive drive;
    a.descendantAdded(&drive);
    a.descendantAdded(&drive);
    EXPECT_EQ(a.getNumHardDrives(), 2u);
    EXPECT_EQ(a.getHardDrive(1), &drive);
}

TEST(AdapterCopy, CopyLeavesAddressLimitsAndStagedDataBehind)
{
    FieldAdapter a(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, true, 1, 2, 3, 4,
                   5, 6, 7);
    TreeOwner owner{a};
    a.addChild(new HardDrive());
    a.alarm() = ALARM_ON;
    a.maxGlobal() = 6;
    a.scrubRate() = 30;
    std::strcpy(a.staged(), "STAGED");
    unsigned char wwn[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    a.setOnBoardExpandersWWN(1, wwn);
    a.featureTable() = new AdapterFeatures();

    FieldAdapter copy(a);
    EXPECT_EQ(copy.getAdapterType(), ADAPTER_TYPE_VYN);
    EXPECT_EQ(copy.getStorLibType(), STORLIB_TYPE_NONE);
    EXPECT_EQ(copy.getAdapterID(), Addr::UNSET_ID);
    EXPECT_STREQ(copy.getBiosVersion(), "BIOS-1.0");
    EXPECT_NE(copy.getBiosVersion(), a.getBiosVersion());
    EXPECT_EQ(copy.getPhysicalSlot(), 3);
    EXPECT_TRUE(copy.isUnattended());
    EXPECT_EQ(copy.getAlarmState(), ALARM_ON);
    EXPECT_EQ(copy.maxGlobal(), 6);
    EXPECT_EQ(copy.getLimit(LIMIT_MAX_LOGICAL_DRIVES), 0);
    EXPECT_EQ(copy.getDataScrubRate(), 0u);
    EXPECT_STREQ(copy.getStagedVersion(), "");
    EXPECT_EQ(copy.expander(1)[7], 8);
    EXPECT_EQ(copy.featureTable(), nullptr);
    EXPECT_EQ(copy.getNumHardDrives(), 0u);
    EXPECT_EQ(copy.getChildCount(), 0u);
}

TEST(AdapterCopy, AssignmentTakesIdentityAndSettingsOnly)
{
    FieldAdapter source(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, false, 1, 2,
                        3, 4, 5, 6, 7);
    source.alarm() = ALARM_OFF;
    source.battery() = 9;
    source.dirtyPages() = 70;
    source.sasCache() = EnumHardDriveCacheMode(1);
    source.sataCache() = EnumHardDriveCacheMode(2);
    FieldAdapter target;
    target = source;
    EXPECT_EQ(target.getSasHDCacheMode(), 1);
    EXPECT_EQ(target.getSataHDCacheMode(), 2);
    EXPECT_EQ(target.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(target.getAdapterID(), 4u);
    EXPECT_STREQ(target.getDeviceDriverVersion(), "DRV-3.0");
    EXPECT_EQ(target.getPhysicalSlot(), 3);
    EXPECT_EQ(target.getAlarmState(), ALARM_OFF);
    EXPECT_EQ(target.getBatStatus(), 1);
    EXPECT_EQ(target.getDirtyPageThresholdValue(), 0u);
    EXPECT_EQ(target.getLimit(LIMIT_MAX_ARRAYS), 0);
    target = target;
    EXPECT_STREQ(target.getFirmwareVersion(), "FW-2.0");
}

TEST(AdapterCompare, IdentityFieldsOnly)
{
    FieldAdapter a(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, false, 1, 2, 3, 4,
                   5, 6, 7);
    FieldAdapter b(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, true, 9, 9, 9, 9,
                   9, 9, 9);
    b.alarm() = ALARM_ON;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    b.slot() = 4;
    EXPECT_TRUE(a != b);
}

// A version rewritten in place by a shorter one still equals the same text
// written fresh; what lies behind the terminator does not count.
TEST(AdapterCompare, VersionsCompareAsTexts)
{
    char longer[] = "FW-2.0.1234";
    FieldAdapter a(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, longer, driver, 3, false, 1, 2, 3, 4,
                   5, 6, 7);
    FieldAdapter b(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, false, 1, 2, 3, 4,
                   5, 6, 7);
    EXPECT_TRUE(a != b);
    std::memcpy(a.firmwareText(), "FW-2.0", 7);
    EXPECT_TRUE(a == b);
    a.firmwareText()[5] = '1';
    EXPECT_TRUE(a != b);
}

TEST(AdapterExpanders, OnlyTwoEntries)
{
    FieldAdapter a;
    unsigned char wwn[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    a.setOnBoardExpandersWWN(2, wwn);
    a.setOnBoardExpandersWWN(0, wwn);
    EXPECT_EQ(a.expander(0)[0], 9);
    EXPECT_EQ(a.expander(1)[0], 0);
}

TEST(AdapterOperations, EveryStubAnswersNotSupportedAndChangesNothing)
{
    FieldAdapter a(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, false, 1, 2, 3, 4,
                   5, 6, 7);
    const FieldAdapter before(1280, 4, CONTROLLER_STATUS_OPTIMAL, bios, firmware, driver, 3, false,
                              1, 2, 3, 4, 5, 6, 7);
    std::string xml;
    std::vector<GenericRecord> records;
    StorEventCollection events(1, 1, 64);
    Buffer buffer(8);
    LogicalDriveSpec spec;
    AddrCollection drives;
    Progress progress;
    char text[16] = {};
    unsigned long size = sizeof(text);
    unsigned long size2 = sizeof(text);
    bool paused = false;
    const std::vector<Ret> results = {
        a.getProgress(progress),
        a.scanForDrives(true),
        a.abortTask(1),
        a.setTaskPriority(1, PRIORITY_HIGH),
        a.getEvents(xml),
        a.getEvents(0, xml),
        a.getEvents(0, records),
        a.getEvents(events),
        a.getEvents(0, events),
        a.createLogicalDrive(spec),
        a.identifyDevice(true),
        a.getConfiguration(buffer),
        a.setConfiguration(buffer),
        a.getControllerLog(EnumLogTypeRequest(1), text, size, 0),
        a.getControllerLog(EnumLogTypeRequest(1), text, size, text, size2),
        a.clearControllerLog(EnumLogTypeRequest(1)),
        a.getAdapterStats(text, size),
        a.setDataScrubActive(true),
        a.setDataScrubRate(PRIORITY_HIGH),
        a.setDataScrubRate(5ul),
        a.pauseResumeIO(1),
        a.testAllSpares(),
        a.upgradeControllerFirmware("image", true),
        a.startControllerDiagnostic(EnumAdapterDiagType(1)),
        a.setCopyBack(true),
        a.setOrvexaWrite(true),
        a.startBatteryCalibration(),
        a.setAlarmState(ALARM_ON),
        a.isPaused(paused),
        a.clearPPITable(),
        a.setAutoFailoverEnabled(false),
        a.resetController(),
        a.setPhysicalDriveCache(EnumHardDriveCacheMode(1), EnumHardDriveCacheMode(1)),
        a.getSmartStats(text, size),
        a.setDefaultLDTaskPriority(PRIORITY_HIGH, true),
        a.setPerformanceMode(EnumPerformanceMode(2)),
        a.setPMStayAwakePeriod(1, 2, 1, 3),
        a.setPMSpinupLimits(1, 2),
        a.setPMUTCToLocalTimeDiff(60),
        a.clearNvsRam(),
        a.initializeHardDriveSet(drives, true),
        a.protectHardDriveSet(drives, true, true),
        a.addDriveToOrvexaPool(drives),
        a.removeDriveFromOrvexaPool(drives),
        a.clearOrvexaPool(),
        a.setOrvexaFlushAndFetchRate(3),
        a.setDirtyPageThresholdValue(50),
        a.setOrvexaRWFactor(1, 2),
        a.setSataNCQ(true),
        a.setStatisticDataCollectionMode(true),
        a.resetStatisticsCounters(),
        a.isOrvexaHasDirtyData(),
    };
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i], Ret(-1)) << "operation " << i;
    }
    EXPECT_TRUE(a == before);
    EXPECT_TRUE(a.IsAutoFailoverEnabled());
    EXPECT_EQ(a.getAlarmState(), ALARM_NONE);
    EXPECT_EQ(a.getDirtyPageThresholdValue(), 0u);
    EXPECT_EQ(a.getPerformanceMode(), 0);
    EXPECT_FALSE(a.ncqEnabled());
    EXPECT_EQ(progress.getPercent(), 0u);
}

TEST(AdapterProgress, CollectionGrowsByOneEntryPerSuccessfulQuery)
{
    ProgressAdapter ok(0);
    ProgressCollection collection;
    EXPECT_EQ(ok.getProgress(collection).getReturn(), 0);
    EXPECT_EQ(ok.getProgress(collection).getReturn(), 0);
    ASSERT_EQ(collection.getSize(), 2u);
    EXPECT_EQ(collection.getProgress(1)->getPercent(), 42u);

    ProgressAdapter failing(-5);
    ProgressCollection none;
    EXPECT_EQ(failing.getProgress(none).getReturn(), -5);
    EXPECT_EQ(none.getSize(), 0u);

    Adapter base;
    EXPECT_EQ(base.getProgress(none).getReturn(), -1);
    EXPECT_EQ(none.getSize(), 0u);
}

TEST(AdapterXml, ReadsIdentityAndFeaturesFromItsElement)
{
    vyntest::ParsedXml xml("<Controller storlibType=\"9\" controllerID=\"2\" featRaid5=\"1\">"
                           "<Channel channelID=\"0\"/></Controller><After/>");
    Adapter a(xml.parser());
    EXPECT_EQ(a.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(a.getAdapterID(), 2u);
    EXPECT_EQ(a.getFeature(featRaid5), 1);
    EXPECT_EQ(a.getFeature(featRaid0), 0);
    EXPECT_TRUE(xml.parser().tagIs("Controller"));
    EXPECT_TRUE(xml.parser().foundEndTag());
}

TEST(RaidSupportInfoRecord, DefaultsAndDeepCopies)
{
    RaidSupportInfo info;
    EXPECT_EQ(info.raidLevel, RAID_LEVEL_NONE);
    EXPECT_EQ(info.minStripeSize, 1);
    EXPECT_EQ(info.maxStripeSize, 1);
    EXPECT_EQ(info.minMembers, 0);
    EXPECT_EQ(info.maxMembers, 0);
    EXPECT_EQ(info.maxDedicatedSpares, 0);
    EXPECT_TRUE(info.reachableLevels.empty());

    info.reachableLevels = {RAID_LEVEL_5, RAID_LEVEL_6, RAID_LEVEL_10};
    RaidSupportInfo copy(info);
    copy.reachableLevels.push_back(RAID_LEVEL_0);
    EXPECT_EQ(info.reachableLevels, (std::vector<EnumRaidLevel>{RAID_LEVEL_5, RAID_LEVEL_6, RAID_LEVEL_10}));
    EXPECT_EQ(copy.reachableLevels.size(), 4u);
}
