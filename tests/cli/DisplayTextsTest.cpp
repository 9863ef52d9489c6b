#include "cli/DisplayTexts.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TextCase {
    const char* what;
    const char* got;
    const char* expected;
};

void expectTexts(const TextCase* begin, const TextCase* end)
{
    for (const TextCase* c = begin; c != end; ++c) {
        ASSERT_NE(c->got, nullptr) << c->what;
        EXPECT_STREQ(c->got, c->expected) << c->what;
    }
}

TEST(DisplayTexts, LogicalStateShowsSubStateWhereItMatters)
{
    const TextCase cases[] = {
        {"failed, clearing", getLogicalState(LD_FAILED, 6), "Clearing"},
        {"failed, uninitialized", getLogicalState(LD_FAILED, 5), "Uninitialized"},
        {"failed", getLogicalState(LD_FAILED, 0), "Failed"},
        {"failed, impacted", getLogicalState(LD_FAILED, 7), "Failed"},
        {"optimal, impacted", getLogicalState(LD_OPTIMAL, 7), "Impacted"},
        {"optimal, clearing", getLogicalState(LD_OPTIMAL, 6), "Optimal"},
        {"degraded, impacted", getLogicalState(LD_DEGRADED, 7), "Degraded"},
        {"reconfiguring", getLogicalState(LD_RECONFIGURING, 0), "Logical device Reconfiguring"},
        {"suboptimal", getLogicalState(LD_SUBOPTIMAL, 0), "Suboptimal, Fault Tolerant"},
        {"past the table", getLogicalState(static_cast<EnumLogicalDeviceState>(11), 0), "Unknown"},
        {"sub-state outside", getLogicalSubState(8), "Unknown"},
    };
    expectTexts(std::begin(cases), std::end(cases));
}

TEST(DisplayTexts, TaskTypeDependsOnTarget)
{
    Addr controller(0);
    Addr drive(0);
    drive.setLogicalDriveID(3);
    const TextCase cases[] = {
        {"controller target", getTaskType(TASK_TYPE_BUILD_VERIFY, controller),
         "Background consistency check"},
        {"logical drive target", getTaskType(TASK_TYPE_BUILD_VERIFY, drive), "Build/Verify"},
        {"verify", getTaskType(TASK_TYPE_VERIFY, controller), "Verify"},
        {"14 is a gap", getTaskType(static_cast<EnumTaskType>(14), drive), "Unknown"},
        {"15 is a gap", getTaskType(static_cast<EnumTaskType>(15), drive), "Unknown"},
        {"flush", getTaskType(TASK_TYPE_FLUSH, drive), "Flush"},
    };
    expectTexts(std::begin(cases), std::end(cases));
}

TEST(DisplayTexts, TablesAndTheirGaps)
{
    const TextCase cases[] = {
        {"status 0", getAdapterStatus(CONTROLLER_STATUS_OPTIMAL), "Optimal"},
        {"status 6 gap", getAdapterStatus(static_cast<EnumControllerStatus>(6)), "Unknown"},
        {"status 8", getAdapterStatus(CONTROLLER_STATUS_DRIVER_UPDATE_REQUIRED), "Driver Update Required"},
        {"physical 4", getPhysicalState(PD_HOT_SPARE), "Hot Spare"},
        {"physical 9", getPhysicalState(PD_COPYING_BACK), "Copying Back"},
        {"physical 10", getPhysicalState(static_cast<EnumPhysicalDeviceState>(10)), "Unknown"},
        {"priority 2", getTaskPriority(PRIORITY_HIGH), "High"},
        {"priority 3", getTaskPriority(static_cast<EnumPriorityLevel>(3)), "Unknown"},
        {"task state 7", getTaskState(TASK_STATE_PENDING), "Pending"},
        {"5EE 3", getRaid5EEState(3), "Expanding"},
        {"perf 11", getPerfModeString(static_cast<EnumPerformanceMode>(11)), "Big Block Bypass"},
        {"perf 12", getPerfModeString(static_cast<EnumPerformanceMode>(12)), "Unknown"},
        {"raid 1E", getRAIDLevelString(RAID_LEVEL_1E), "1E"},
        {"raid 3 gap", getRAIDLevelString(static_cast<EnumRaidLevel>(3)), "Unknown"},
        {"raid 00", getRAIDLevelString(static_cast<EnumRaidLevel>(8)), "00"},
        {"raid 60RS", getRAIDLevelString(RAID_LEVEL_60RS), "60 Reed-Solomon"},
        {"raid unset", getRAIDLevelString(RAID_LEVEL_NONE), "Unknown"},
        {"speed 301", getTransferSpeed(static_cast<EnumSpeed>(301)), "SATA 3.0 Gb/s"},
        {"speed 502", getTransferSpeed(static_cast<EnumSpeed>(502)), "SATA on SAS 6.0 Gb/s"},
        {"speed 0", getTransferSpeed(static_cast<EnumSpeed>(0)), "Unknown"},
        {"device 13", getDeviceType(13), "Enclosure services device"},
        {"device 2", getDeviceType(2), "Unknown"},
        {"safte fan 2", getSAFTEFanState(2), "Not Installed"},
        {"safte psu 17", getSAFTEPowerSupplyState(17), "Off / Malfunctioning"},
        {"safte psu 2", getSAFTEPowerSupplyState(2), "Unknown"},
        {"ses2 6 gap", getSES2State(6), "Unknown"},
        {"ses2 7", getSES2State(7), "Not available"},
        {"temp 3", getSES2TempSensorState(3), "Abnormal"},
        {"temp 0", getSES2TempSensorState(0), "Unknown"},
        {"pm 3", getPowerMgtStateString(3), "Powered off"},
        {"pm 0", getPowerMgtStateString(0), "Unknown"},
        {"support 0", getSupportStatus(0), "Yes"},
        {"support 2", getSupportStatus(2), "No, Unsupported sector size"},
        {"support 3", getSupportStatus(3), "Yes"},
        {"orvexa 2", getOrvexaPreferredSettingString(static_cast<EnumOrvexaPreferredSetting>(2)),
         "Enabled"},
        {"orvexa 0", getOrvexaPreferredSettingString(static_cast<EnumOrvexaPreferredSetting>(0)),
         "Not supported"},
        {"orvexa write 1",
         getOrvexaWriteCachePreferredSettingString(static_cast<EnumOrvexaWriteCachePreferredSetting>(1)),
         "Disabled"},
        {"policy 4",
         getOrvexaWriteCachePolicySettingString(static_cast<EnumOrvexaWriteCachePolicySetting>(4)),
         "Write Back with Write Through"},
        {"policy 5",
         getOrvexaWriteCachePolicySettingString(static_cast<EnumOrvexaWriteCachePolicySetting>(5)),
         "Not supported"},
        {"orvexa flag", getOrvexaSettingString(true), "Yes"},
        {"ncq flag", getNCQSettingString(false), "Disabled"},
        {"stats flag", getStatsDataCollectionModeString(true), "Enabled"},
    };
    expectTexts(std::begin(cases), std::end(cases));
}

TEST(DisplayTexts, AdapterWithoutChannelsHasUnknownType)
{
    Adapter adapter;
    EXPECT_STREQ(getAdapterChannelType(&adapter), "Unknown");
    EXPECT_STREQ(getAdapterChannelType(nullptr), "Unknown");
}

struct ChannelSpec {
    int type;
    int speed;
};

struct ChannelTypeCase {
    std::vector<ChannelSpec> channels;
    const char* expected;
};

TEST(DisplayTexts, AdapterChannelTypeFromFirstDecidingChannel)
{
    const ChannelTypeCase cases[] = {
        {{{0, 7}}, "SCSI"},
        {{{1, 301}}, "SATA"},
        {{{4, 401}}, "SAS/SATA"},
        {{{4, 500}}, "SATA"},
        {{{4, 502}}, "SATA"},
        {{{4, 503}}, "SAS/SATA"},
        {{{2, 0}, {3, 0}, {5, 0}, {1, 300}}, "SATA"},
        {{{2, 0}, {5, 0}}, "Unknown"},
        {{{4, 402}, {0, 7}}, "SAS/SATA"},
    };
    for (const auto& c : cases) {
        Adapter adapter;
        unsigned long id = 0;
        for (const ChannelSpec& spec : c.channels) {
            adapter.addChild(new Channel(&adapter, id++, static_cast<EnumChannelType>(spec.type),
                                         static_cast<EnumSpeed>(spec.speed)));
        }
        EXPECT_STREQ(getAdapterChannelType(&adapter), c.expected) << c.channels.size();
        adapter.deleteAllChildren();
    }
}

// A disk whose power state the test sets.
class PoweredDrive : public HardDrive {
public:
    PoweredDrive(int powerState, bool pfa, int cacheEnable, bool cacheSupported)
        : HardDrive(nullptr, nullptr, 0, 1000, PD_ONLINE, vendor(), model(), serial(), firmware(), pfa,
                    static_cast<EnumHardDriveCacheMode>(cacheEnable), cacheSupported, false, false, fru(), true)
    {
        pmState = powerState;
    }

private:
    static char* vendor() { static char t[] = "VEND"; return t; }
    static char* model() { static char t[] = "DISK"; return t; }
    static char* serial() { static char t[] = "d0"; return t; }
    static char* firmware() { static char t[] = "1.0"; return t; }
    static char* fru() { static char t[] = ""; return t; }
};

TEST(DisplayTextsOfObjects, HardDriveTexts)
{
    PoweredDrive failing(0, true, 0, true);
    PoweredDrive writeThrough(0, false, 1, true);
    PoweredDrive noSetting(0, false, 0, false);
    const TextCase cases[] = {
        {"pfa", getPfa(&failing), "Yes"},
        {"no pfa", getPfa(&writeThrough), "No"},
        {"enable 0", getWriteCacheMode(&failing), "Enabled (write-back)"},
        {"enable 1", getWriteCacheMode(&writeThrough), "Disabled (write-through)"},
        {"not settable", getWriteCacheMode(&noSetting), "Unknown"},
    };
    expectTexts(std::begin(cases), std::end(cases));
}

LogicalDrive* logicalWithCache(int writeCacheMode)
{
    return new LogicalDrive(nullptr, nullptr, 0, LD_OPTIMAL, RAID_LEVEL_1, 2048, 0, false,
                            static_cast<EnumLogicalDriveCacheMode>(writeCacheMode), false, false);
}

TEST(DisplayTextsOfObjects, LogicalDriveWriteCache)
{
    const std::pair<int, const char*> cases[] = {
        {0, "Not supported"}, {1, "Disabled (write-through)"}, {2, "Enabled (write-back)"},
        {3, "Enabled (write-back)"}, {4, "Disabled (write-through)"},
    };
    for (const auto& c : cases) {
        LogicalDrive* drive = logicalWithCache(c.first);
        EXPECT_STREQ(getWriteCacheMode(drive), c.second) << c.first;
        delete drive;
    }
}

TEST(DisplayTextsOfObjects, PowerStateFromMembersWhenNotReported)
{
    LogicalDrive* drive = logicalWithCache(2);
    PoweredDrive off(3, false, 0, true);
    PoweredDrive standby(2, false, 0, true);
    PoweredDrive active(1, false, 0, true);
    const auto state = [](int v) { return static_cast<EnumLogicalDevicePMState>(v); };
    EXPECT_STREQ(getPMStateDisplayString(drive, state(4)), "Verifying");
    EXPECT_STREQ(getPMStateDisplayString(drive, state(5)), "Stay Awake");
    EXPECT_STREQ(getPMStateDisplayString(drive, state(0)), "Powered Off");
    drive->addHardDriveVector(&off);
    drive->addHardDriveVector(&standby);
    EXPECT_STREQ(getPMStateDisplayString(drive, state(0)), "Standby");
    drive->addHardDriveVector(&active);
    EXPECT_STREQ(getPMStateDisplayString(drive, state(6)), "Active");
    EXPECT_STREQ(getPMStateDisplayString(drive, state(3)), "Powered Off");
    delete drive;
}

struct MinutesCase {
    unsigned long minutes;
    const char* time;
    const char* clock;
};

TEST(DisplayTextsBuffers, TimesOfPowerManagement)
{
    const MinutesCase cases[] = {
        {0, "never", "0000"},
        {59, "59m", "0059"},
        {60, "1h", "0100"},
        {61, "1h,1m", "0101"},
        {90, "1h,30m", "0130"},
        {1439, "23h,59m", "2359"},
        {2880, "48h", "4800"},
    };
    for (const auto& c : cases) {
        char out[TIME_TEXT_SIZE];
        EXPECT_STREQ(timeString(c.minutes, out), c.time) << c.minutes;
        EXPECT_STREQ(stayawakeTimeString(c.minutes, out), c.clock) << c.minutes;
    }
    char out[TIME_TEXT_SIZE];
    EXPECT_STREQ(timeString(~0ul, out), "307445734561825860h,15m");
}

TEST(DisplayTextsBuffers, StayAwakeDays)
{
    struct {
        unsigned char days;
        const char* text;
    } cases[] = {
        {0x7F, "sun, mon, tue, wed, thu, fri, sat"},
        {0xFF, "sun, mon, tue, wed, thu, fri, sat"},
        {0x2A, "mon, wed, fri"},
        {0x01, "sun"},
        {0x00, ""},
    };
    for (const auto& c : cases) {
        char out[DAY_TEXT_SIZE];
        std::strcpy(out, "stale");
        EXPECT_STREQ(stayawakeDayString(c.days, out), c.text) << int(c.days);
    }
}

TEST(DisplayTextsBuffers, SupportedPowerStatesAppend)
{
    struct {
        unsigned long mask;
        const char* text;
    } cases[] = {
        {0, "Full rpm"},
        {1, "Full rpm,Powered off"},
        {2, "Full rpm,Powered off,Reduced rpm"},
        {3, "Full rpm,Powered off,Reduced rpm"},
        {4, "Full rpm"},
    };
    for (const auto& c : cases) {
        char out[POWER_STATES_TEXT_SIZE] = "";
        EXPECT_STREQ(getPowerMgtSupportedStatesString(c.mask, out), c.text) << c.mask;
    }
    char prefixed[POWER_STATES_TEXT_SIZE] = "States: ";
    EXPECT_STREQ(getPowerMgtSupportedStatesString(1, prefixed), "States: Full rpm,Powered off");
}

TEST(DisplayTextsBuffers, ShortBuffersAreNeverOverrun)
{
    char guarded[12];
    std::memset(guarded, '#', sizeof(guarded));
    stayawakeDayString(0x7F, guarded, 8);
    EXPECT_STREQ(guarded, "sun, mo");
    EXPECT_EQ(guarded[8], '#');

    std::memset(guarded, '#', sizeof(guarded));
    guarded[0] = '\0';
    getPowerMgtSupportedStatesString(3, guarded, 10);
    EXPECT_STREQ(guarded, "Full rpm,");
    EXPECT_EQ(guarded[10], '#');

    std::memset(guarded, '#', sizeof(guarded));
    timeString(61, guarded, 4);
    EXPECT_STREQ(guarded, "1h,");
    EXPECT_EQ(guarded[4], '#');
}

}  // namespace
