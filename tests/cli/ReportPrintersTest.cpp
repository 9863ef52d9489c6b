#include "cli/ReportPrinters.h"

#include "CliTest.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "cli/DisplayTexts.h"
#include "RaidModel/Interface/TapeDrive.h"
#include "cli/support/Fixtures.h"
#include "cli/Engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::CliTest;

std::string blanks(std::size_t n)
{
    return std::string(n, ' ');
}

std::string dots(std::size_t n)
{
    return std::string(n, '.');
}

TEST(ReportLayout, LabelColumns)
{
    struct {
        int indent;
        const char* label;
        int width;
        std::string expected;
    } cases[] = {
        {1, "Controller Status", 45, "   Controller Status" + blanks(24)},
        {0, "Firmware", 20, "Firmware" + blanks(11)},
        {2, "Transfer Speed", 45, "      Transfer Speed" + blanks(24)},
        {1, "A label much longer than its column", 20, "   A label much lon"},
        {7, "Lost", 20, blanks(19)},
        {0, "", 5, blanks(4)},
    };
    for (const auto& c : cases) {
        std::vector<char> buffer(static_cast<std::size_t>(c.width) + 8, '#');
        getFormattedString(c.indent, c.label, c.width, buffer.data());
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.label;
        EXPECT_EQ(buffer[static_cast<std::size_t>(c.width)], '#') << "written past the width";
    }
}

class ReportPrintersTest : public CliTest {};

TEST_F(ReportPrintersTest, SectionRuleIsThreeBlanksAnd56Dashes)
{
    printSectionRule();
    EXPECT_EQ(retString, "   " + std::string(56, '-') + "\n");
}

TEST_F(ReportPrintersTest, FileTargetTakesReportsUntilStandardOutputReturns)
{
    const std::string path = hostFile("/tmp/report.txt");
    vyntest::writeFile(path, "old content that must go\n");
    FILE* file = setFilePointer(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(CONFIGOUT, file);
    printSectionRule();
    std::fclose(file);
    CONFIGOUT = stdout;
    EXPECT_EQ(retString, "");
    EXPECT_EQ(vyntest::readFile(path), "   " + std::string(56, '-') + "\n");

    EXPECT_EQ(setFilePointer(hostFile("/tmp/no/such/dir/x.txt").c_str()), nullptr);
    EXPECT_EQ(CONFIGOUT, stdout);
}

TEST_F(ReportPrintersTest, XmlElementWithOneAttribute)
{
    printXML("<Controller model=\"MODEL 8\"/>", nullptr);
    const std::string expected = "\n"
                                 "   Controller" + blanks(26) + "\n" +
                                 blanks(6) + "model " + dots(43) + " MODEL 8\n";
    EXPECT_EQ(retString, expected);
}

TEST_F(ReportPrintersTest, XmlNestingAndSiblings)
{
    printXML("<?xml version=\"1.0\"?><!-- a / comment -->"
             "<A><B x=\"a/b\"/><C><D/></C></A><E/>",
             nullptr);
    std::vector<std::string> names;
    for (const std::string& line : vyntest::lines(retString)) {
        if (!line.empty() && line.find('.') == std::string::npos)
            names.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    const std::vector<std::string> expected = {"   A", "      B", "      C", "         D", "   E"};
    EXPECT_EQ(names, expected);
    EXPECT_NE(retString.find(blanks(9) + "x " + dots(47) + " a/b\n"), std::string::npos);
}

TEST_F(ReportPrintersTest, XmlAttributeCutsAndDeviceId)
{
    const std::string longName(60, 'n');
    const std::string longValue(100, 'v');
    const std::string xml = "<Dev " + longName + "=\"" + longValue + "\" deviceID=\"131077\"/>";
    printXML(xml.c_str(), nullptr);
    const std::string expected = "\n   Dev" + blanks(33) + "\n" +
                                 blanks(6) + std::string(48, 'n') + "  " + std::string(78, 'v') + "\n" +
                                 blanks(6) + "deviceID(T:L) ............................ 131077(5:2)\n";
    EXPECT_EQ(retString, expected);
}

TEST_F(ReportPrintersTest, XmlStopsAtControlCharacters)
{
    printXML("<A a=\"1\"/>\t\n<B/>\x01<C/>", nullptr);
    EXPECT_NE(retString.find("   B"), std::string::npos);
    EXPECT_EQ(retString.find("C"), std::string::npos);
    printXML(nullptr, nullptr);
    printXML("", nullptr);
    printXML("<Unclosed a=\"1", nullptr);
    EXPECT_NE(retString.find("Unclosed"), std::string::npos);
}

TEST_F(ReportPrintersTest, XmlGoesToTheGivenStream)
{
    const std::string path = hostFile("/tmp/xml.txt");
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    printXML("<A/>", file);
    std::fclose(file);
    EXPECT_EQ(retString, "");
    EXPECT_EQ(vyntest::readFile(path), "\n   A" + blanks(35) + "\n");
}

std::string statsLine(int depth, const std::string& label, const std::string& value)
{
    std::string padded = label.size() < 49 ? label + dots(49 - label.size()) : label.substr(0, 49);
    return blanks(static_cast<std::size_t>(depth) * 3 + 3) + padded + " " + value + "\n";
}

TEST_F(ReportPrintersTest, StatisticsUseDisplayNames)
{
    printStatisticsData("<ControllerLog controllerID=\"0\" deviceVendor=\"VEND\">"
                        "<statslog><controllerstats statsVersion=\"3.0\" custom=\"7\">"
                        "<physicaldrivestats handle=\"9\" id=\"3\" senseKey4Cnt=\"1\"/>"
                        "<logicaldrivestats handle=\"1\" id=\"0\">"
                        "<interCmdTime cmdTimeUsec16=\"4\"/>"
                        "</logicaldrivestats></controllerstats></statslog></ControllerLog>",
                        nullptr);
    const std::string expected =
        "\n   Controller log" + blanks(32) + "\n" +
        statsLine(1, "Controller ID", "0") + statsLine(1, "Device vendor", "VEND") +
        "\n      Statistics log" + blanks(29) + "\n" +
        "\n         Controller statistics" + blanks(19) + "\n" +
        statsLine(3, "Statistics version", "3.0") + statsLine(3, "custom", "7") +
        "\n            physicaldrivestats" + blanks(19) + "\n" +
        blanks(15) + blanks(49) + " \n" +
        statsLine(4, "Device ID", "3") + statsLine(4, "Hardware errors", "1") +
        "\n            Logical drive statistics" + blanks(13) + "\n" +
        blanks(15) + blanks(49) + " \n" +
        statsLine(4, "Logical drive ID", "0") +
        "\n               interCmdTime" + blanks(22) + "\n" +
        statsLine(5, "Inter-IO times (usecs) 16", "4");
    EXPECT_EQ(retString, expected);
}

// A controller of the family as the tests need it; the fields are the ones
// the controller family fills from the firmware.
class TestAdapter : public Adapter {
public:
    bool isInstanceOf(const char* name) const override
    {
        return std::strcmp(name, "VynAdapter") == 0 || Adapter::isInstanceOf(name);
    }
    void battery(int status, int full, int remaining, int draw)
    {
        batStatus = status;
        batFullCapacity = full;
        batRemainingCapacity = remaining;
        batCurrentDraw = draw;
    }
    void backupUnit(bool present, int status)
    {
        blbuPresent = present;
        blbuStatus = status;
    }
    void versions()
    {
        std::strcpy(biosVersion, "5.2-0");
        std::strcpy(firmwareVersion, "5.2-0");
        std::strcpy(driverVersion, "1.1-5");
        std::strcpy(firmwareBootVersion, "5.2-0");
        biosBuildNum = 17899;
        firmwareBuildNum = 17900;
        driverBuildNum = 2470;
        fwBootBuildNum = 17901;
    }
};

std::string rule()
{
    return "   " + std::string(56, '-') + "\n";
}

std::string line(const char* label, const std::string& value)
{
    std::string laid = std::string("   ") + label;
    laid.resize(44, ' ');
    return laid + ": " + value + "\n";
}

struct BatteryCase {
    int status;
    int full;
    int remaining;
    int draw;
    std::vector<std::string> lines;
};

TEST_F(ReportPrintersTest, BatterySection)
{
    const std::string head = rule() + "   Controller Battery Information\n" + rule();
    const BatteryCase cases[] = {
        {5, 0, 0, 0, {"Optimal", "No", "0 percent", "0 days, 0 hours, 0 minutes"}},
        {7, 1000, 500, 0, {"Charging", "No", "50 percent", "0 days, 0 hours, 0 minutes"}},
        {8, 1000, 1500, 7, {"Discharging", "No", "100 percent", "89 days, 6 hours, 0 minutes"}},
        {9, 3, 1, 1, {"Maintenance mode", "No", "33 percent", "0 days, 10 hours, 0 minutes"}},
        {11, 100, 25, 3, {"Unknown", "No", "25 percent", "3 days, 11 hours, 0 minutes"}},
        {4, 100, 100, 100, {"Not Installed"}},
        {6, 100, 100, 100, {"Failed"}},
    };
    for (const auto& c : cases) {
        TestAdapter adapter;
        adapter.battery(c.status, c.full, c.remaining, c.draw);
        discardOutputData();
        printBattery(&adapter);
        std::string expected = head + line("Status", c.lines[0]);
        if (c.lines.size() > 1) {
            expected += line("Over temperature", c.lines[1]) + line("Capacity remaining", c.lines[2]) +
                        line("Time remaining (at current draw)", c.lines[3]);
        }
        EXPECT_EQ(retString, expected) << c.status << " " << c.remaining << "/" << c.full;
    }
}

TEST_F(ReportPrintersTest, BatteryDetailsInDebugMode)
{
    TestAdapter adapter;
    adapter.battery(5, 2000, 1000, 255);
    UCLI_DEBUG = 1;
    printBattery(&adapter);
    EXPECT_NE(retString.find(line("Total capacity", "2000 mAmp/hours")), std::string::npos);
    EXPECT_NE(retString.find(line("Capacity remaining", "1000 mAmp/hours")), std::string::npos);
    EXPECT_NE(retString.find(line("Current draw", "25 mAmp/hours")), std::string::npos);
}

TEST_F(ReportPrintersTest, BackupUnitSection)
{
    const std::string head = rule() + "   Controller KVT Information\n" + rule();
    const std::pair<int, const char*> cases[] = {
        {0, "KVT Status Unknown"}, {2, "KVT Charging / Not Ready"}, {4, "KVT not installed"}, {5, nullptr},
    };
    for (const auto& c : cases) {
        TestAdapter adapter;
        adapter.backupUnit(true, c.first);
        discardOutputData();
        printBLBU(&adapter);
        EXPECT_EQ(retString, c.second ? head + line("Status", c.second) : head) << c.first;
    }
}

TEST_F(ReportPrintersTest, VersionsOfTheFamilysControllers)
{
    TestAdapter adapter;
    adapter.versions();
    printVersions(&adapter);
    EXPECT_EQ(retString, rule() + "   Controller Version Information\n" + rule() +
                             line("BIOS", "5.2-0 (17899)") + line("Firmware", "5.2-0 (17900)") +
                             line("Driver", "1.1-5 (2470)") + line("Boot Flash", "5.2-0 (17901)"));
    discardOutputData();
    Adapter other;
    printVersions(&other);
    EXPECT_EQ(retString, rule() + "   Controller Version Information\n" + rule());
}

std::string deviceLine(const char* label, const std::string& value)
{
    std::string laid = std::string(9, ' ') + label;
    laid.resize(44, ' ');
    return laid + ": " + value + "\n";
}

TEST_F(ReportPrintersTest, SafteEnclosureWithoutPages)
{
    Adapter adapter;
    Channel* channel = new SASChannel(&adapter, 1, static_cast<EnumSpeed>(401));
    adapter.addChild(channel);
    char vendor[] = "VEND", model[] = "ENCL", serial[] = "", firmware[] = "0102", fru[] = "";
    Enclosure* enclosure = new Enclosure(&adapter, channel, 0x00010002, vendor, model, serial, firmware,
                                         PD_READY, fru);
    channel->addChild(enclosure);
    printEnclosure(enclosure, -1);
    EXPECT_EQ(retString, "      Device #65538\n"
                         "         Device is an Enclosure\n" +
                             deviceLine("Reported Channel,Device(T:L)", "1,65538(2:1)") +
                             deviceLine("Type", "SAF-TE") + deviceLine("Vendor", "VEND") +
                             deviceLine("Model", "ENCL") + deviceLine("Firmware", "0102") +
                             "         Status of Enclosure\n" + deviceLine("Temperature status", "Normal"));
    adapter.deleteAllChildren();
}

TEST_F(ReportPrintersTest, SunSes2EnclosureShowsItsBaseWwn)
{
    Adapter adapter;
    Channel* channel = new SASChannel(&adapter, 0, static_cast<EnumSpeed>(401));
    adapter.addChild(channel);
    char vendor[] = "SUN", model[] = "ST J4500", serial[] = "SN9", firmware[] = "3R21", text[] = "";
    SES2EnclosureDevice* enclosure =
        new SES2EnclosureDevice(&adapter, channel, 8, vendor, model, serial, firmware, PD_READY, text);
    channel->addChild(enclosure);
    enclosure->setEnclosureID(2);
    printEnclosure(enclosure, 4);
    EXPECT_NE(retString.find("      Device #4\n"), std::string::npos);
    EXPECT_NE(retString.find(deviceLine("Enclosure ID", std::string("2 (BaseWWN - ") + enclosure->getWWN() + ")")),
              std::string::npos);
    EXPECT_NE(retString.find(deviceLine("Type", "SES2")), std::string::npos);
    EXPECT_EQ(getSlotOffset(8, enclosure), 0);
    adapter.deleteAllChildren();
}

struct Ses2Case {
    const char* vendor;
    const char* model;
    std::string enclosureId;
    std::vector<std::pair<const char*, const char*>> statusLines;
};

TEST_F(ReportPrintersTest, Ses2EnclosureElements)
{
    // Two fans (Optimal, Critical), one power supply (Not Installed) and two
    // temperature sensors (Normal, Abnormal) in every case.
    const Ses2Case cases[] = {
        {"VEND", "ENC", "2",
         {{"Fan 1 status", "Optimal"}, {"Fan 2 status", "Critical"}, {"Power supply 1 status", "Not Installed"},
          {"Temperature Sensor Status 1", "Normal"}, {"Temperature Sensor Status 2", "Abnormal"}}},
        {"SUN", "Storage J4200", "2 (SysSN - SN9)",
         {{"Power Supply Fan 0 left", "Optimal"}, {"Power Supply Fan 1 right", "Critical"},
          {"Power supply 0 status", "Not Installed"}, {"Temperature Sensor Status 0", "Normal"},
          {"Temperature Sensor Status 1", "Abnormal"}}},
        {"SUN", "Other", "2",
         {{"Fan 1 status", "Optimal"}, {"Fan 2 status", "Critical"}, {"Power supply 0 status", "Not Installed"},
          {"Temperature Sensor Status 0", "Normal"}, {"Temperature Sensor Status 1", "Abnormal"}}},
    };
    for (const auto& c : cases) {
        Adapter adapter;
        Channel* channel = new SASChannel(&adapter, 0, static_cast<EnumSpeed>(401));
        adapter.addChild(channel);
        char serial[] = "SN9", firmware[] = "3R21", text[] = "";
        std::string vendor = c.vendor, model = c.model;
        SES2EnclosureDevice* enclosure =
            new SES2EnclosureDevice(&adapter, channel, 8, &vendor[0], &model[0], serial, firmware, PD_READY, text);
        channel->addChild(enclosure);
        enclosure->setEnclosureID(2);
        enclosure->addChild(new SESElement(1, "", 3));
        enclosure->addChild(new SESElement(2, "", 3));
        enclosure->addChild(new SESElement(5, "", 2));
        enclosure->addChild(new SESElement(1, "", 4));
        enclosure->addChild(new SESElement(3, "", 4));
        discardOutputData();
        printEnclosure(enclosure, 4);
        const std::string type = getDeviceType(enclosure->getDeviceType());
        std::string expected = "      Device #4\n         Device is an " + type + "\n" +
                               deviceLine("Reported Channel,Device(T:L)", "0,8(8:0)") +
                               deviceLine("Enclosure ID", c.enclosureId) + deviceLine("Type", "SES2") +
                               deviceLine("Vendor", c.vendor) + deviceLine("Model", c.model) +
                               deviceLine("Firmware", "3R21") + "         Status of " + type + "\n";
        for (const auto& status : c.statusLines)
            expected += deviceLine(status.first, status.second);
        EXPECT_EQ(retString, expected) << c.vendor << " " << c.model;
        adapter.deleteAllChildren();
    }
}

using vyntest::FixtureAdapter;
using vyntest::FixtureLogicalDrive;

FixtureAdapter* fixtureAdapter(System& root)
{
    return static_cast<FixtureAdapter*>(root.getAdapter(0));
}

TEST_F(ReportPrintersTest, BasicControllerSection)
{
    auto root = vyntest::makeFixtureSystem("basic");
    ASSERT_NE(root, nullptr);
    printAdapter(fixtureAdapter(*root));
    const std::string expected =
        line("Controller Status", "Optimal") + line("Channel description", "SATA") +
        line("Controller Model", "VEND MODEL 8") + line("Controller Serial Number", "SN0001") +
        line("Installed memory", "512 MB") + line("Copyback", "Disabled") +
        line("Background consistency check", "Disabled") + line("Automatic Failover", "Enabled") +
        line("Stayawake period", "Disabled") + line("Spinup limit internal drives", "0") +
        line("Spinup limit external drives", "0") + line("Defunct disk drive count", "0") +
        line("Logical devices/Failed/Degraded", "0/0/0") + rule() + "   Controller Version Information\n" +
        rule() + line("BIOS", " (0)") + line("Firmware", " (0)") + line("Driver", " (0)") +
        line("Boot Flash", " (0)") + rule() + "   Controller Battery Information\n" + rule() +
        line("Status", "Not Installed");
    EXPECT_EQ(retString, expected);
}

TEST_F(ReportPrintersTest, ControllerNotOptimalShowsOnlyItsStatus)
{
    auto root = vyntest::makeFixtureSystem("basic");
    fixtureAdapter(*root)->setAdapterStatus(CONTROLLER_STATUS_INACCESSIBLE);
    printAdapter(fixtureAdapter(*root));
    EXPECT_EQ(retString, line("Controller Status", "Inaccessible"));
}

TEST_F(ReportPrintersTest, ControllerCountsAndBattery)
{
    auto root = vyntest::makeFixtureSystem("ld");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    adapter->setBattery(5, 0, 0, 0);
    adapter->setSerialNumber("abcdefghijklmnopqrstuvwxyz0123456789");
    adapter->getHardDrive(2)->setStateProperty(PD_FAILED);
    adapter->getHardDrive(3)->setStateProperty(PD_FAILED);
    adapter->getHardDrive(3)->setDeviceID(0x00FF);
    static_cast<FixtureLogicalDrive*>(adapter->getLogicalDrive(0))->setStateProperty(LD_DEGRADED_RECONFIGURING);
    printAdapter(adapter);
    EXPECT_NE(retString.find(line("Controller Serial Number", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234")),
              std::string::npos);
    EXPECT_NE(retString.find(line("Defunct disk drive count", "1")), std::string::npos);
    EXPECT_NE(retString.find(line("Logical devices/Failed/Degraded", "1/0/1")), std::string::npos);
    EXPECT_NE(retString.find(line("Capacity remaining", "0 percent")), std::string::npos);
    EXPECT_NE(retString.find(line("Time remaining (at current draw)", "0 days, 0 hours, 0 minutes")),
              std::string::npos);
}

TEST_F(ReportPrintersTest, ControllerOptionalLines)
{
    auto root = vyntest::makeFixtureSystem("basic");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    adapter->setFeature(featHeatSensor, 1);
    adapter->setFeature(featDefaultLDTaskPriority, 1);
    adapter->backupUnitForTest(true, 1);
    adapter->heatSensorForTest(41, 41);
    printAdapter(adapter);
    EXPECT_NE(retString.find(line("Temperature", "41 C/ 105 F (Abnormal)")), std::string::npos);
    EXPECT_NE(retString.find(line("Global task priority", "Low")), std::string::npos);
    EXPECT_NE(retString.find("   Controller KVT Information\n" + rule() + line("Status", "KVT Optimal")),
              std::string::npos);
    EXPECT_EQ(retString.find("Battery"), std::string::npos);
}

// Readings and ids come from a configuration and may be any int; the report
// shows them without overflowing.
TEST_F(ReportPrintersTest, ExtremeConfigurationValues)
{
    auto root = vyntest::makeFixtureSystem("ld");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    adapter->setFeature(featHeatSensor, 1);
    const struct {
        int celsius;
        const char* shown;
    } readings[] = {
        {2147483647, "2147483647 C/ 3865470596 F (Abnormal)"},
        {-2147483647 - 1, "-2147483648 C/ -3865470534 F (Normal)"},
    };
    for (const auto& r : readings) {
        retString.clear();
        adapter->heatSensorForTest(r.celsius, 0);
        printAdapter(adapter);
        EXPECT_NE(retString.find(line("Temperature", r.shown)), std::string::npos) << r.shown;
    }
    retString.clear();
    adapter->getHardDrive(0)->setAdapterID(0x7FFFFFFF);
    printVynSegmentStatus(adapter->getLogicalDrive(0));
    EXPECT_NE(retString.find(line("Segment 0", "Present (Controller:-2147483648,Channel:0,Device:0) d0")),
              std::string::npos);
}

TEST_F(ReportPrintersTest, LogicalDriveOfTheLdFixture)
{
    auto root = vyntest::makeFixtureSystem("ld");
    printLogicalDrive(fixtureAdapter(*root)->getLogicalDrive(0));
    const std::string expected =
        "Logical device number 0\n" + line("Logical device name", "Data") + line("RAID level", "1") +
        line("Status of logical device", "Optimal") + line("Size", "10000 MB") +
        line("Write-cache mode", "Enabled (write-back)") + line("Write-cache setting", "Enabled") +
        line("Partitioned", "No") + line("Protected by Hot-Spare", "No") + line("Bootable", "Yes") +
        line("Failed stripes", "No") + line("Power settings", "Disabled") + rule() +
        "   Logical device segment information\n" + rule() +
        line("Segment 0", "Present (Controller:1,Channel:0,Device:0) d0") +
        line("Segment 1", "Present (Controller:1,Channel:0,Device:1) d1");
    EXPECT_EQ(retString, expected);
}

TEST_F(ReportPrintersTest, LogicalDriveInStateFivePrintsNothing)
{
    auto root = vyntest::makeFixtureSystem("ld");
    auto* drive = static_cast<FixtureLogicalDrive*>(fixtureAdapter(*root)->getLogicalDrive(0));
    drive->setStateProperty(LD_SYSTEM);
    printLogicalDrive(drive);
    EXPECT_EQ(retString, "");
}

TEST_F(ReportPrintersTest, HotSparesAndMissingMembers)
{
    auto root = vyntest::makeFixtureSystem("ld");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    HardDrive* spare = adapter->getHardDrive(2);
    spare->setStateProperty(PD_HOT_SPARE);
    spare->setSpareTypeProperty(SPARE_NONE);
    adapter->getHardDrive(1)->setStateProperty(PD_FAILED);
    printLogicalDrive(adapter->getLogicalDrive(0));
    EXPECT_NE(retString.find(line("Protected by Hot-Spare", "Yes") + line("Global Hot-Spare", "0,2")),
              std::string::npos);
    EXPECT_NE(retString.find(line("Segment 1", "Missing")), std::string::npos);
}

TEST_F(ReportPrintersTest, SparesStandByWithoutBeingMembers)
{
    // Drive 2 is a global spare, drive 3 the dedicated spare of logical
    // drive 0, whose extent the model hangs below that drive.
    auto root = vyntest::makeFixtureSystem("mixed");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    printLogicalDrive(adapter->getLogicalDrive(0));
    EXPECT_NE(retString.find(line("Protected by Hot-Spare", "Yes") + line("Global Hot-Spare", "0,2") +
                             line("Dedicated Hot-Spare", "0,3") + line("Bootable", "Yes")),
              std::string::npos)
        << retString;
    // The members' segments close the report.
    const std::string last = line("Segment 1", "Present (Controller:1,Channel:0,Device:1) d1");
    ASSERT_GE(retString.size(), last.size());
    EXPECT_EQ(retString.substr(retString.size() - last.size()), last) << retString;

    // A drive without redundancy names no spare under its "No".
    retString.clear();
    FixtureLogicalDrive& lost = vyntest::fixtureLogicalDrive(*root, 1);
    lost.setStateProperty(LD_OPTIMAL);
    printLogicalDrive(&lost);
    EXPECT_NE(retString.find(line("Protected by Hot-Spare", "No") + line("Bootable", "No")), std::string::npos)
        << retString;
    EXPECT_EQ(retString.find("Global Hot-Spare"), std::string::npos) << retString;
}

TEST_F(ReportPrintersTest, HardDriveOfTheBasicFixture)
{
    auto root = vyntest::makeFixtureSystem("basic");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    printPhysicalDevice(adapter, adapter->getHardDrive(2), -1);
    const std::string expected =
        "      Device #2\n         Device is a Hard drive\n" + deviceLine("State", "Ready") +
        deviceLine("Supported", "Yes") + deviceLine("Reported Channel,Device(T:L)", "0,2(2:0)") +
        deviceLine("Vendor", "VEND") + deviceLine("Model", "DISK") + deviceLine("Firmware", "") +
        deviceLine("Serial number", "d2") + deviceLine("Size", "140014 MB") +
        deviceLine("Write Cache", "Enabled (write-back)") + deviceLine("FRU", "None") +
        deviceLine("S.M.A.R.T.", "No") + deviceLine("S.M.A.R.T. warnings", "0") +
        deviceLine("NCQ status", "Disabled");
    EXPECT_EQ(retString, expected);
}

TEST_F(ReportPrintersTest, DeviceHeadingNamesWhatTheDeviceIs)
{
    auto root = vyntest::makeFixtureSystem("basic");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    Channel* channel = adapter->getChannel(0);
    char vendor[] = "VEND", model[] = "DEV", serial[] = "", firmware[] = "1.0", fru[] = "";
    struct {
        PhysicalDevice* device;
        const char* kind;
    } cases[] = {
        {new OtherDevice(adapter, channel, 4, PHYSICAL_DEVICE_DISK, vendor, model, serial, firmware, fru),
         "Removable Media"},
        {new OtherDevice(adapter, channel, 5, static_cast<EnumPhysicalDeviceType>(8), vendor, model, serial,
                         firmware, fru),
         "Media changer"},
        {new TapeDrive(adapter, channel, 6, vendor, model, serial, firmware, fru), "Tape drive"},
        {adapter->getHardDrive(0), "Hard drive"},
    };
    for (const auto& c : cases) {
        if (!c.device->isInstanceOf("HardDrive"))
            channel->addChild(c.device);
        discardOutputData();
        printPhysicalDevice(adapter, c.device, -1);
        const std::string heading = "      Device #" + std::to_string(c.device->getDeviceID()) +
                                    "\n         Device is a " + c.kind + "\n";
        EXPECT_EQ(retString.rfind(heading, 0), 0u) << c.kind << "\n" << retString;
    }
}

TEST_F(ReportPrintersTest, ChannelListsItsDevicesByDeviceId)
{
    auto root = vyntest::makeFixtureSystem("ld");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    adapter->getHardDrive(0)->setStateProperty(PD_ONLINE);
    adapter->getHardDrive(3)->setDeviceID(0x00FF);
    printChannel(adapter, adapter->getChannel(0));
    std::string laid = "      Transfer Speed";
    laid.resize(44, ' ');
    EXPECT_EQ(retString.rfind("   Channel #0:\n" + laid + ": SATA 3.0 Gb/s\n      Device #0\n", 0), 0u);
    std::vector<std::string> numbers;
    for (const std::string& text : vyntest::lines(retString)) {
        if (text.rfind("      Device #", 0) == 0)
            numbers.push_back(text.substr(14));
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_NE(retString.find(deviceLine("State", "Online")), std::string::npos);
}

TEST_F(ReportPrintersTest, SasListNumbersSkippedDevicesToo)
{
    auto root = vyntest::makeFixtureSystem("basic");
    FixtureAdapter* adapter = fixtureAdapter(*root);
    adapter->getHardDrive(1)->setDeviceID(0x00FF);
    adapter->getHardDrive(2)->setDeviceID(0x0100);
    adapter->getHardDrive(3)->setDeviceID(0x0101);
    printSASPhysicalDevices(adapter);
    std::vector<std::string> numbers;
    for (const std::string& text : vyntest::lines(retString)) {
        if (text.rfind("      Device #", 0) == 0)
            numbers.push_back(text.substr(14));
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"0", "2", "3"}));

    discardOutputData();
    Adapter empty;
    printSASPhysicalDevices(&empty);
    EXPECT_EQ(retString, "      No physical drives attached\n");
}

TEST(ReportStatsNames, MapEndsAtEndKey)
{
    const char* const keys[] = {"a", "b", "end", "c"};
    const char* const names[] = {"Alpha", "Beta", "end", "Gamma"};
    std::map<std::string, std::string> map;
    repharseStatsData(keys, names, map);
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map["b"], "Beta");
    EXPECT_EQ(map.count("c"), 0u);
}

}  // namespace
