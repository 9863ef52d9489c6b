// The SMART statistics report of a controller's SATA drives and one drive's
// attribute read back from the controller's copy of it: attribute tables,
// drive families and their longevity figures, sleeping drives and failed
// reads on the scripted exports; the report of the command-line program over
// the simulated controller.
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;

constexpr unsigned long kBufferSize = 64 * 1024;

struct Entry {
    uint8_t id;
    uint8_t current;
    uint8_t worst;
    uint64_t raw;  // six bytes are sent
};

// The pass-through's answer: status words, sense, then the 512-byte page.
std::vector<uint8_t> smartReply(const std::vector<Entry>& entries)
{
    std::vector<uint8_t> reply(8 + ScriptedFsaExports::kScsiSenseBytes + 512, 0);
    uint8_t* page = reply.data() + 8 + ScriptedFsaExports::kScsiSenseBytes;
    page[0] = 0x10;
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* e = page + 2 + 12 * i;
        e[0] = entries[i].id;
        e[3] = entries[i].current;
        e[4] = entries[i].worst;
        for (int b = 0; b < 6; ++b)
            e[5 + b] = static_cast<uint8_t>(entries[i].raw >> (8 * b));
    }
    return reply;
}

struct DriveSpec {
    uint32_t target;
    const char* vendor;
    const char* revision;  // the firmware level's first four characters
    bool solid;
    uint32_t pm;
    bool sata;
};

// The report with its time stamp replaced by "T".
std::string masked(const std::string& text)
{
    return std::regex_replace(text, std::regex("time=\"[0-9]+\""), "time=\"T\"");
}

class VynSmartTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        _tagFSA_CHANNEL_ENUM_INFO c = {};
        channel = new VynSASChannel(adapter.get(), &c, static_cast<EnumSpeed>(400));
        adapter->addChild(channel);
        fsa.answerUnscripted(31);
        fsa.scriptAlways("FsaGetDiskSasPhyInfo", 1);
        fsa.scriptAlways("FsaOpenAdapter2A", 1, {0x78, 0x56, 0, 0, 0, 0, 0, 0});
        fsa.scriptAlways("FSASetWearOutParams", 1);
    }

    VynHardDrive* addDrive(const DriveSpec& s)
    {
        FSA_STORAGE_DEVICE_INFO info;
        std::memset(&info, 0, sizeof info);
        // A SATA drive behind the SAS port; 1 is a SAS drive.
        info.address.storageDeviceType = s.sata ? 2 : 1;
        info.address.targetId = s.target;
        info.numBlocksLow = 1000000;
        info.numUsableBlocksLow = 999000;
        info.maxUsableBlocksLow = 999000;
        info.bytesPerBlock = 512;
        info.negotiatedSpeedInMbps = 3000;
        std::memcpy(info.vendorId, s.vendor, std::min<size_t>(std::strlen(s.vendor), sizeof info.vendorId));
        std::memcpy(info.productRevision, s.revision,
                    std::min<size_t>(std::strlen(s.revision), sizeof info.productRevision));
        info.nonSpinning = s.solid ? 1 : 0;
        info.firmwareState = s.pm;
        auto* d = new VynHardDrive(adapter.get(), channel, s.target, 1000000);
        channel->addChild(d);
        new VynPhysicalDeviceAttach(channel, d, &info, nullptr);
        return d;
    }
    VynHardDrive* intelDrive(uint32_t target = 3) { return addDrive({target, "INTEL", "0001", true, 1, true}); }
    VynHardDrive* hpgDrive(uint32_t target = 3) { return addDrive({target, "VENDOR", "HPG1", true, 1, true}); }
    VynHardDrive* plainDrive(uint32_t target = 3) { return addDrive({target, "VENDOR", "0001", false, 1, true}); }

    Ret report(std::string& text, unsigned long room = kBufferSize)
    {
        std::vector<char> buffer(room + 1, '\0');
        unsigned long size = room;
        fsa.clearCalls();
        const Ret ret = adapter->getSmartStats(buffer.data(), size);
        lastSize = size;
        text.assign(buffer.data(), std::min(size, room));
        return ret;
    }
    std::string cached() const
    {
        std::string copy(adapter->getCachedSmartStatXmlSize(), '\0');
        adapter->getCachedSmartStatXml(copy.empty() ? nullptr : &copy[0]);
        return copy;
    }
    std::string startTag() const
    {
        return std::string("<SmartStats controllerID=\"0\" time=\"T\" deviceVendor=\"") +
               adapter->getDeviceVendor() + "\" deviceName=\"" + adapter->getDeviceName() + "\" serialNumber=\"" +
               adapter->getSerialNumString() + "\">\n";
    }

    ScriptedFsaExports fsa;
    TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
    unsigned long lastSize = 0;
};

TEST_F(VynSmartTest, IntelDriveGetsNamesWritesInGibibytesAndLongevity)
{
    intelDrive();
    fsa.script("FsaSendScsiCommand", 1,
               smartReply({{0x09, 100, 100, 300}, {0xE1, 100, 100, 64}, {0xE9, 75, 70, 0}, {0x77, 1, 2, 3}}));
    std::string text;
    const Ret ret = report(text);
    ASSERT_EQ(ret.getReturn(), 0) << errorLog();
    EXPECT_EQ(masked(text),
              startTag() +
                  "<PhysicalDriveSmartStats channel=\"0\" id=\"3\" nonSpinning=\"true\" "
                  "isDescriptionAvailable=\"true\" >\n"
                  "<Attribute id=\"0x09\" name=\"Power-On Hours\" normalizedCurrent=\"100\" "
                  "normalizedWorst=\"100\" rawValue=\"300\" />\n"
                  "<Attribute id=\"0xE1\" name=\"Host Writes in Gigabytes\" normalizedCurrent=\"100\" "
                  "normalizedWorst=\"100\" rawValue=\"64\" />\n"
                  "<Attribute id=\"0xE9\" name=\"Media Wearout Indicator\" normalizedCurrent=\"75\" "
                  "normalizedWorst=\"70\" rawValue=\"2.000000\" />\n"
                  "<Attribute id=\"0x77\" name=\"Unknown Attribute\" normalizedCurrent=\"1\" "
                  "normalizedWorst=\"2\" rawValue=\"3\" />\n"
                  "<CalculatedLongevity powerOnHoursBased=\"900.000000\" futureWritesBased=\"6.000000\" />\n"
                  "</PhysicalDriveSmartStats>\n</SmartStats>\n");
    EXPECT_EQ(lastSize, text.size());
    // ATA PASS-THROUGH (12), PIO in, SMART READ DATA at LBA 0xC24F.
    ASSERT_EQ(fsa.sent("FsaSendScsiCommand").size(), 1u);
    const std::vector<uint8_t> sent = fsa.sent("FsaSendScsiCommand")[0].bytes;
    ASSERT_GE(sent.size(), 10u);
    const std::vector<uint8_t> cdb(sent.begin(), sent.begin() + 10);
    EXPECT_EQ(cdb, (std::vector<uint8_t>{0xA1, 0x08, 0x0E, 0xD0, 0x01, 0x00, 0x4F, 0xC2, 0x00, 0xB0}));
    // The wear attribute hands its parameters to the drive, once.
    EXPECT_EQ(fsa.count("FSASetWearOutParams"), 1u);
}

TEST_F(VynSmartTest, FullWearGivesAHundredTimesHoursAndWrites)
{
    // The HPG family's wear attribute also carries its writes; a value above
    // 100 counts as no wear.
    const uint8_t wears[] = {100, 120};
    for (uint32_t i = 0; i < 2; ++i) {
        hpgDrive(3 + i);
        fsa.script("FsaSendScsiCommand", 1, smartReply({{0x09, 100, 100, 50}, {0xAD, wears[i], wears[i], 320}}));
    }
    std::string text;
    ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    for (uint32_t i = 0; i < 2; ++i) {
        const std::string wear = std::to_string(wears[i]);
        const std::string drive =
            "<PhysicalDriveSmartStats channel=\"0\" id=\"" + std::to_string(3 + i) +
            "\" nonSpinning=\"true\" isDescriptionAvailable=\"true\" >\n"
            "<Attribute id=\"0x09\" name=\"Power-On Hours\" normalizedCurrent=\"100\" normalizedWorst=\"100\" "
            "rawValue=\"50\" />\n"
            "<Attribute id=\"0xAD\" name=\"Media Wearout Indicator\" normalizedCurrent=\"" + wear +
            "\" normalizedWorst=\"" + wear + "\" rawValue=\"10.000000\" />\n"
            "<CalculatedLongevity powerOnHoursBased=\"5000.000000\" futureWritesBased=\"1000.000000\" />\n"
            "</PhysicalDriveSmartStats>\n";
        EXPECT_NE(text.find(drive), std::string::npos) << wear << "\n" << text;
    }
}

TEST_F(VynSmartTest, DriveOfNoFamilyHasRawValuesOnlyClampedToThirtyTwoBits)
{
    // An SSD of another vendor is of no family either.
    plainDrive(3);
    addDrive({4, "OTHER", "0001", true, 1, true});
    fsa.script("FsaSendScsiCommand", 1,
               smartReply({{0x05, 100, 100, 0x100000000ULL}, {0xC2, 90, 80, 0xFFFFFFFFULL}, {0xE9, 5, 5, 7}}));
    fsa.script("FsaSendScsiCommand", 1, smartReply({}));
    std::string text;
    ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    EXPECT_EQ(masked(text), startTag() +
                                "<PhysicalDriveSmartStats channel=\"0\" id=\"3\" nonSpinning=\"false\" "
                                "isDescriptionAvailable=\"false\" >\n"
                                "<Attribute id=\"0x05\" normalizedCurrent=\"100\" normalizedWorst=\"100\" "
                                "rawValue=\"4294967295\" />\n"
                                "<Attribute id=\"0xC2\" normalizedCurrent=\"90\" normalizedWorst=\"80\" "
                                "rawValue=\"4294967295\" />\n"
                                "<Attribute id=\"0xE9\" normalizedCurrent=\"5\" normalizedWorst=\"5\" "
                                "rawValue=\"7\" />\n"
                                "</PhysicalDriveSmartStats>\n"
                                "<PhysicalDriveSmartStats channel=\"0\" id=\"4\" nonSpinning=\"true\" "
                                "isDescriptionAvailable=\"false\" >\n"
                                "</PhysicalDriveSmartStats>\n</SmartStats>\n");
    EXPECT_EQ(fsa.count("FSASetWearOutParams"), 0u);
}

TEST_F(VynSmartTest, OnlySolidStateDrivesBelongToAFamily)
{
    struct Case {
        DriveSpec drive;
        bool family;
    } cases[] = {
        {{3, "INTEL", "0001", true, 1, true}, true},
        // The vendor text must be exactly "INTEL".
        {{4, "Intel", "0001", true, 1, true}, false},
        {{5, "INTEL", "0001", false, 1, true}, false},
        // "HPG" anywhere in the firmware level.
        {{6, "VENDOR", "XHPG", true, 1, true}, true},
        {{7, "VENDOR", "HPG1", false, 1, true}, false},
    };
    for (const Case& k : cases) {
        addDrive(k.drive);
        fsa.script("FsaSendScsiCommand", 1, smartReply({{0x09, 100, 100, 1}}));
    }
    std::string text;
    ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.drive.target);
        const std::string element = "<PhysicalDriveSmartStats channel=\"0\" id=\"" +
                                    std::to_string(k.drive.target) + "\" nonSpinning=\"" +
                                    (k.drive.solid ? "true" : "false") + "\" isDescriptionAvailable=\"" +
                                    (k.family ? "true" : "false") + "\" >\n";
        const size_t at = text.find(element);
        ASSERT_NE(at, std::string::npos) << text;
        // A family's drive gets names and longevity figures, another none.
        const size_t end = text.find("</PhysicalDriveSmartStats>", at);
        const std::string body = text.substr(at, end - at);
        EXPECT_EQ(body.find("name=\"Power-On Hours\"") != std::string::npos, k.family) << body;
        EXPECT_EQ(body.find("<CalculatedLongevity") != std::string::npos, k.family) << body;
    }
}

TEST_F(VynSmartTest, SpunDownDrivesAreMarkedSleepingAndNotAsked)
{
    addDrive({3, "INTEL", "0001", true, 2, true});
    addDrive({4, "VENDOR", "0001", false, 3, true});
    std::string text;
    ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    EXPECT_EQ(masked(text), startTag() +
                                "<PhysicalDriveSmartStats channel=\"0\" id=\"3\" nonSpinning=\"true\" "
                                "isDescriptionAvailable=\"true\" sleeping=\"true\" />\n"
                                "<PhysicalDriveSmartStats channel=\"0\" id=\"4\" nonSpinning=\"false\" "
                                "isDescriptionAvailable=\"false\" sleeping=\"true\" />\n"
                                "</SmartStats>\n");
    EXPECT_EQ(fsa.count("FsaSendScsiCommand"), 0u);
}

TEST_F(VynSmartTest, WithoutSataDrivesTheBareReportIsCachedExactly)
{
    addDrive({3, "VENDOR", "0001", false, 1, false});
    std::string text;
    ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    EXPECT_EQ(masked(text), startTag() + "</SmartStats>\n");
    EXPECT_EQ(fsa.count("FsaSendScsiCommand"), 0u);
    EXPECT_EQ(lastSize, text.size());
    EXPECT_EQ(adapter->getCachedSmartStatXmlSize(), text.size());
    EXPECT_EQ(cached(), text);
}

TEST_F(VynSmartTest, TheResultIsThatOfTheLastSmartRead)
{
    plainDrive(3);
    plainDrive(4);
    // A failed read leaves its drive out; the next drive's good read is the result.
    fsa.script("FsaSendScsiCommand", 9);
    fsa.script("FsaSendScsiCommand", 1, smartReply({{0x05, 100, 100, 1}}));
    std::string text;
    Ret ret = report(text);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(text.find("id=\"3\""), std::string::npos) << text;
    EXPECT_NE(text.find("<PhysicalDriveSmartStats channel=\"0\" id=\"4\""), std::string::npos) << text;

    // A failure on the last drive is the result; the report still stands.
    fsa.script("FsaSendScsiCommand", 1, smartReply({{0x05, 100, 100, 1}}));
    fsa.script("FsaSendScsiCommand", 9);
    ret = report(text);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 9u);
    EXPECT_NE(text.find("id=\"3\""), std::string::npos) << text;
    EXPECT_EQ(text.find("id=\"4\""), std::string::npos) << text;
    EXPECT_EQ(cached(), text);
}

TEST_F(VynSmartTest, BufferTooSmallOrEmptyLeavesTheCachedReport)
{
    plainDrive(3);
    fsa.scriptAlways("FsaSendScsiCommand", 1, smartReply({{0x05, 100, 100, 1}, {0x09, 100, 100, 2}}));
    std::string full;
    ASSERT_EQ(report(full).getReturn(), 0);
    ASSERT_EQ(cached(), full);

    struct Case {
        unsigned long room;
        int code;
        const char* record;
    } cases[] = {
        {0, -2, "*** Bad Parameter: Buffer must be greater than zero in size, paramValue=0 ***"},
        // Room for the start tag but not for the drive.
        {full.size() / 2, -14, "*** Output Overflow: "},
        // Less than the stream's own reserve.
        {3, -14, "*** Output Overflow: "},
        // The text fits but not its terminator and the stream's reserve.
        {full.size(), -14, "*** Output Overflow: "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.room);
        std::string text;
        const unsigned before = errorCount(k.record);
        const Ret ret = report(text, k.room);
        EXPECT_EQ(ret.getReturn(), k.code);
        EXPECT_EQ(errorCount(k.record), before + 1) << errorLog();
        EXPECT_EQ(lastSize, 0u);
        EXPECT_EQ(cached(), full);
    }
    std::string text;
    EXPECT_EQ(report(text, full.size() + 4).getReturn(), 0);
}

// One drive's attribute, read back from the controller's copy of the report.
class VynSmartInfoTest : public VynSmartTest {
protected:
    // Drives 3, 4 and 5; attribute 0x05 on each with its own values, 0xC2
    // only on 3, 0x09 only on 5; drive 4 is an Intel one.
    void SetUp() override
    {
        VynSmartTest::SetUp();
        first = plainDrive(3);
        second = intelDrive(4);
        third = plainDrive(5);
        fsa.script("FsaSendScsiCommand", 1, smartReply({{0x05, 100, 99, 7}, {0xC2, 80, 70, 0x12345678ULL}}));
        fsa.script("FsaSendScsiCommand", 1, smartReply({{0x05, 50, 40, 8}}));
        fsa.script("FsaSendScsiCommand", 1, smartReply({{0x09, 90, 90, 9}, {0x05, 20, 10, 6}}));
        std::string text;
        ASSERT_EQ(report(text).getReturn(), 0) << errorLog();
    }
    Ret info(VynHardDrive* drive, const char* id, std::string& text, unsigned long room = kBufferSize)
    {
        std::vector<char> buffer(room + 1, '\0');
        std::vector<char> idText(id, id + std::strlen(id) + 1);
        unsigned long size = room;
        const Ret ret = drive->getSmartInfoById(idText.data(), buffer.data(), size);
        lastSize = size;
        text.assign(buffer.data(), std::min(size, room));
        return ret;
    }

    VynHardDrive* first = nullptr;
    VynHardDrive* second = nullptr;
    VynHardDrive* third = nullptr;
};

TEST_F(VynSmartInfoTest, IdTextsInBaseSixteenFindTheDrivesOwnAttribute)
{
    for (const char* id : {"5", "05", "0x05"}) {
        SCOPED_TRACE(id);
        std::string text;
        ASSERT_EQ(info(first, id, text).getReturn(), 0) << errorLog();
        EXPECT_EQ(masked(text), startTag() +
                                    "<PhysicalDriveSmartStats channel=\"0\" id=\"3\" nonSpinning=\"false\" >\n"
                                    "<Attribute id=\"0x05\" normalizedCurrent=\"100\" normalizedWorst=\"99\" "
                                    "rawValue=\"7.000000\" />\n"
                                    "</PhysicalDriveSmartStats>\n</SmartStats>\n");
        EXPECT_EQ(lastSize, text.size());
    }
    std::string text;
    ASSERT_EQ(info(first, "c2", text).getReturn(), 0);
    EXPECT_NE(text.find("<Attribute id=\"0xC2\" normalizedCurrent=\"80\" normalizedWorst=\"70\" "
                        "rawValue=\"305419896.000000\" />\n"),
              std::string::npos)
        << text;
    // A drive of a family has its names copied too.
    ASSERT_EQ(info(second, "0x05", text).getReturn(), 0);
    EXPECT_NE(text.find("<PhysicalDriveSmartStats channel=\"0\" id=\"4\" nonSpinning=\"true\" >\n"
                        "<Attribute id=\"0x05\" name=\"Reallocated Sectors Count\" normalizedCurrent=\"50\" "
                        "normalizedWorst=\"40\" rawValue=\"8.000000\" />\n"),
              std::string::npos)
        << text;
}

TEST_F(VynSmartInfoTest, AttributesOfOtherDrivesAreNotTaken)
{
    struct Case {
        const char* name;
        unsigned target;
        const char* id;
    } cases[] = {
        // 0x09 only follows in drive 5's element, after drive 3's ended.
        {"later drive", 3, "09"},
        // 0xC2 only precedes, in drive 3's element.
        {"earlier drive", 5, "C2"},
        {"nowhere", 4, "0xFF"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::string text;
        VynHardDrive* drive = k.target == 3 ? first : k.target == 4 ? second : third;
        const Ret ret = info(drive, k.id, text);
        EXPECT_EQ(ret.getReturn(), -12);
        EXPECT_EQ(lastSize, 0u);
        EXPECT_EQ(text, "");
    }
}

TEST_F(VynSmartInfoTest, EmptyOrShortBufferGivesNoAnswer)
{
    std::string text;
    Ret ret = info(first, "5", text, 0);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getSignedReturn(), 0);
    EXPECT_EQ(errorCount("*** Bad Parameter: Buffer must be greater than zero in size, paramValue=0 ***"), 1u);

    // A stream that fills up starts again at the front: what it holds then
    // is no answer.
    ret = info(first, "5", text, 64);
    EXPECT_EQ(ret.getReturn(), -14);
    EXPECT_EQ(lastSize, 0u);
    EXPECT_EQ(errorCount("*** Output Overflow: "), 1u) << errorLog();
}

TEST_F(VynSmartTest, WithoutACachedReportNoAttributeIsFound)
{
    VynHardDrive* drive = plainDrive(3);
    std::vector<char> buffer(256, 'x');
    char id[] = "5";
    unsigned long size = buffer.size();
    EXPECT_EQ(drive->getSmartInfoById(id, buffer.data(), size).getReturn(), -12);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(fsa.count("FsaSendScsiCommand"), 0u);
}

// The command-line program over the simulated controller.
class VynSmartEndToEndTest : public vyntest::FamilyTest {};

TEST_F(VynSmartEndToEndTest, GetSmartStatsPrintsTheReportOfTheSataDrives)
{
    const vyntest::ProgramRun run = vyntest::runVynconf(VYNCONF_PATH, root(), "default", {"GETSMARTSTATS", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.error;
    EXPECT_TRUE(std::regex_search(run.output, std::regex("(^|\n)<SmartStats controllerID=\"0\" time=\"")))
        << run.output;
    EXPECT_NE(run.output.find("\n</SmartStats>\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Command completed successfully."), std::string::npos) << run.output;
    // The SATA disk and the SSD of the description, not its SAS drives.
    EXPECT_NE(run.output.find("<PhysicalDriveSmartStats channel=\"0\" id=\"6\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("<PhysicalDriveSmartStats channel=\"0\" id=\"7\""), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("id=\"0\" nonSpinning"), std::string::npos) << run.output;
}

TEST_F(VynSmartEndToEndTest, DriveTablesAndPowerStatesComeFromTheDescription)
{
    const std::string description = root() + "/smart.conf";
    vyntest::writeFile(description,
                       "[adapter0]\n"
                       // The controller reports the drives' power states.
                       "option_word3 = 0x39C\n"
                       "bus0   = sas 16\n"
                       "drive0 = 0:0 ssd 120G vendor=INTEL smart.attrs=09:100:100:300,E1:100:100:64,E9:75:75:0\n"
                       "drive1 = 0:1 sata 500G pm=2\n");
    const vyntest::ProgramRun run = vyntest::runVynconf(VYNCONF_PATH, root(), description, {"GETSMARTSTATS", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.error;
    EXPECT_NE(run.output.find("<Attribute id=\"0xE9\" name=\"Media Wearout Indicator\" normalizedCurrent=\"75\" "
                              "normalizedWorst=\"75\" rawValue=\"2.000000\" />\n"
                              "<CalculatedLongevity powerOnHoursBased=\"900.000000\" "
                              "futureWritesBased=\"6.000000\" />\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("<PhysicalDriveSmartStats channel=\"0\" id=\"1\" nonSpinning=\"false\" "
                              "isDescriptionAvailable=\"false\" sleeping=\"true\" />"),
              std::string::npos)
        << run.output;
}

}  // namespace
