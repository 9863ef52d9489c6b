#include "cli/DisplayTexts.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
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

// One enumeration table as the reports show it: every listed code with its
// text; every other code gives `otherwise`.
struct EnumTable {
    const char* name;
    std::function<const char*(long)> text;
    std::vector<std::pair<long, const char*>> rows;
    const char* otherwise;
};

template <class E>
std::function<const char*(long)> byCode(const char* (*fn)(E))
{
    return [fn](long code) { return fn(static_cast<E>(code)); };
}

TEST(DisplayTexts, EveryTableAgainstItsKeys)
{
    const EnumTable tables[] = {
        {"adapter status", byCode(getAdapterStatus),
         {{0, "Optimal"}, {1, "Failed"}, {2, "Passive"}, {3, "Removed"}, {4, "Signature Error"},
          {5, "Inaccessible"}, {7, "Down"}, {8, "Driver Update Required"}},
         "Unknown"},
        {"logical state", [](long code) { return getLogicalState(static_cast<EnumLogicalDeviceState>(code), 0); },
         {{0, "Does Not Exist"}, {1, "Failed"}, {2, "Optimal"}, {3, "Degraded"},
          {4, "Logical device Reconfiguring"}, {5, "System"}, {6, "Degraded, Reconfiguring"},
          {7, "Degraded, System"}, {8, "Suboptimal, Fault Tolerant"}, {9, "Suboptimal, Reconfiguring"},
          {10, "Suboptimal, System"}},
         "Unknown"},
        {"logical sub-state", byCode(getLogicalSubState),
         {{5, "Uninitialized"}, {6, "Clearing"}, {7, "Impacted"}},
         "Unknown"},
        {"physical state", byCode(getPhysicalState),
         {{0, "Ready"}, {1, "Online"}, {2, "Failed"}, {3, "Standby"}, {4, "Hot Spare"}, {5, "Rebuilding"},
          {6, "Partitioned"}, {7, "Does Not Exist"}, {8, "Unsupported"}, {9, "Copying Back"}},
         "Unknown"},
        {"task priority", byCode(getTaskPriority), {{0, "Low"}, {1, "Medium"}, {2, "High"}}, "Unknown"},
        {"task state", byCode(getTaskState),
         {{0, "None"}, {1, "Complete"}, {2, "In Progress"}, {3, "Failed"}, {4, "Paused"}, {5, "Aborted"},
          {6, "Preempted"}, {7, "Pending"}},
         "Unknown"},
        {"task type",
         [](long code) {
             Addr drive(0);
             drive.setLogicalDriveID(1);
             return getTaskType(static_cast<EnumTaskType>(code), drive);
         },
         {{0, "None"}, {1, "Clear"}, {2, "Format"}, {3, "Verify with fix"}, {4, "Build/Verify"}, {5, "Verify"},
          {6, "Rebuild"}, {7, "Reconfiguration"}, {8, "Snapshot"}, {9, "Copyback"}, {10, "Compacting"},
          {11, "Expanding"}, {12, "Backup Snapshot"}, {13, "Secure Erase"}, {16, "Flush"}},
         "Unknown"},
        {"RAID 5EE state", byCode(getRaid5EEState),
         {{0, "Expanded"}, {1, "Compacted"}, {2, "Compacting"}, {3, "Expanding"}},
         "Unknown"},
        {"performance mode", byCode(getPerfModeString),
         {{0, "Default/Dynamic"}, {1, "Media/Application Server"}, {2, "Media Capture/Virtual Tape Library"},
          {3, "OLTP/Database"}, {4, "E-Mail/Decision Support Systems"}, {5, "Web Services"},
          {6, "Content Creation/Backup/Reference Data"}, {7, "File and Print Server"},
          {8, "Workstation/Business Productivity"}, {9, "Gaming"}, {10, "Benchmarking"},
          {11, "Big Block Bypass"}},
         "Unknown"},
        {"RAID level", byCode(getRAIDLevelString),
         {{0, "0"}, {1, "1"}, {2, "1E"}, {5, "5"}, {6, "5E"}, {7, "5EE"}, {8, "00"}, {9, "10"}, {10, "1E0"},
          {11, "50"}, {12, "5E0"}, {13, "Spanned_volume"}, {14, "RAID_volume"}, {15, "Simple_volume"},
          {16, "6 XOR"}, {17, "60 XOR"}, {18, "6 Reed-Solomon"}, {19, "60 Reed-Solomon"}},
         "Unknown"},
        {"transfer speed", byCode(getTransferSpeed),
         {{1, "Basic SCSI"}, {2, "SCSI 2"}, {3, "Fast SCSI 2"}, {4, "Ultra SCSI"}, {5, "Ultra2 SCSI"},
          {6, "Ultra160"}, {7, "Ultra320"}, {300, "SATA 1.5 Gb/s"}, {301, "SATA 3.0 Gb/s"},
          {302, "SATA 6.0 Gb/s"}, {400, "SAS 1.5 Gb/s"}, {401, "SAS 3.0 Gb/s"}, {402, "SAS 6.0 Gb/s"},
          {500, "SATA on SAS 1.5 Gb/s"}, {501, "SATA on SAS 3.0 Gb/s"}, {502, "SATA on SAS 6.0 Gb/s"}},
         "Unknown"},
        {"device type", byCode(getDeviceType),
         {{0, "Hard drive"}, {1, "Tape drive"}, {3, "Enclosure"}, {5, "CD ROM"}, {7, "Optical"},
          {8, "Media changer"}, {12, "Storage array controller"}, {13, "Enclosure services device"}},
         "Unknown"},
        {"SAF-TE fan", byCode(getSAFTEFanState),
         {{0, "Optimal"}, {1, "Malfunctioning"}, {2, "Not Installed"}},
         "Unknown"},
        {"SAF-TE power supply", byCode(getSAFTEPowerSupplyState),
         {{0, "On / Operational"}, {1, "Off / Operational"}, {16, "On / Malfunctioning"},
          {17, "Off / Malfunctioning"}, {32, "Not Installed"}, {33, "Installed"}},
         "Unknown"},
        {"SES-2 element", byCode(getSES2State),
         {{0, "Not supported"}, {1, "Optimal"}, {2, "Critical"}, {3, "Not critical"}, {4, "Malfunctioning"},
          {5, "Not Installed"}, {7, "Not available"}},
         "Unknown"},
        {"SES-2 temperature", byCode(getSES2TempSensorState),
         {{1, "Normal"}, {2, "Abnormal"}, {3, "Abnormal"}, {4, "Abnormal"}, {5, "Not Installed"}},
         "Unknown"},
        {"power state", byCode(getPowerMgtStateString),
         {{1, "Full rpm"}, {2, "Reduced rpm"}, {3, "Powered off"}},
         "Unknown"},
        {"support status", byCode(getSupportStatus),
         {{1, "No, Known data integrity issues"}, {2, "No, Unsupported sector size"}},
         "Yes"},
        {"Orvexa preferred", byCode(getOrvexaPreferredSettingString), {{1, "Disabled"}, {2, "Enabled"}},
         "Not supported"},
        {"Orvexa write preferred", byCode(getOrvexaWriteCachePreferredSettingString),
         {{1, "Disabled"}, {2, "Enabled"}},
         "Not supported"},
        {"Orvexa write policy", byCode(getOrvexaWriteCachePolicySettingString),
         {{1, "Write Back"}, {2, "Instant Write Back"}, {3, "Write Through"}, {4, "Write Back with Write Through"}},
         "Not supported"},
    };
    for (const EnumTable& table : tables) {
        // Every listed code, every code around and between them, and a few far ones.
        std::map<long, const char*> expected(table.rows.begin(), table.rows.end());
        std::vector<long> codes = {-1, 0x7FFFFFFF, 1000};
        for (long code = 0; code <= 40; ++code)
            codes.push_back(code);
        for (const auto& row : table.rows) {
            codes.push_back(row.first - 1);
            codes.push_back(row.first + 1);
        }
        for (long code : codes) {
            const auto found = expected.find(code);
            const char* want = found != expected.end() ? found->second : table.otherwise;
            const char* got = table.text(code);
            ASSERT_NE(got, nullptr) << table.name << " " << code;
            EXPECT_STREQ(got, want) << table.name << " " << code;
        }
    }
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
