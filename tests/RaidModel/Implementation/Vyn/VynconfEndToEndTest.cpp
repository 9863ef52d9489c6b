// The built command-line program over the built-in simulated controller:
// discovery as a user sees it.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class VynconfEndToEndTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), "default", args);
    }
};

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// The lines of `text`, each without its line end.
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The line that starts with `start`, or "" when none does.
std::string lineStarting(const std::string& text, const std::string& start)
{
    for (const std::string& line : linesOf(text))
        if (line.rfind(start, 0) == 0)
            return line;
    return "";
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string lastLine(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const size_t cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

TEST_F(VynconfEndToEndTest, VersionsOfTheOneSimulatedController)
{
    const vyntest::ProgramRun version = run({"GETVERSION"});
    EXPECT_EQ(version.exitCode, 0) << version.error;
    EXPECT_EQ(vyntest::maskDates(version.output),
              "Controllers found: 1\n"
              "Controller #1\n"
              "==============\n"
              "Firmware           : 5.2-0 (20000)\n"
              "BIOS               : 5.2-0 (20000)\n"
              "Driver             : 5.2-0 (20000)\n"
              "Boot Flash         : 0.0-0 (0)\n"
              "\n"
              "\n"
              "Command completed successfully.\n");
}

TEST_F(VynconfEndToEndTest, TheConfigurationOfTheControllerIsOptimal)
{
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "AD"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(firstLine(config.output), "Controllers found: 1");
    size_t status = config.output.find("Controller Status");
    ASSERT_NE(status, std::string::npos) << config.output;
    const std::string statusLine = config.output.substr(status, config.output.find('\n', status) - status);
    EXPECT_EQ(statusLine.substr(statusLine.size() - 7), "Optimal") << statusLine;
    EXPECT_EQ(lastLine(config.output), "Command completed successfully.");

    // A controller beyond the one there is.
    const vyntest::ProgramRun beyond = run({"GETCONFIG", "2"});
    EXPECT_NE(beyond.output.find("Invalid controller number."), std::string::npos) << beyond.output;
}

TEST_F(VynconfEndToEndTest, TheExportCarriesEveryChannelsRecord)
{
    const vyntest::ProgramRun xml = run({"GETXML"});
    EXPECT_EQ(xml.exitCode, 0) << xml.error;
    // The default controller has one bus.
    EXPECT_EQ(occurrences(xml.output, "attachmentType=\"VynChannelAttach\""), 1u) << xml.output;
    const size_t at = xml.output.find("attachmentType=\"VynChannelAttach\"");
    ASSERT_NE(at, std::string::npos);
    const size_t paused = xml.output.find("isPaused=", at);
    const size_t clustered = xml.output.find("isClustered=", at);
    const size_t ports = xml.output.find("numPortsMapped=", at);
    const size_t number = xml.output.find("fsaChannelNumber=", at);
    const size_t speed = xml.output.find("fsaMaxSpeedInMbps=", at);
    EXPECT_LT(paused, clustered);
    EXPECT_LT(clustered, ports);
    EXPECT_LT(ports, number);
    EXPECT_LT(number, speed);
    EXPECT_NE(speed, std::string::npos);
}

// Every element of `kind` in `xml`, from `from` (an attribute name) up to
// `to` (the first attribute not wanted, or the end of the tag).
std::vector<std::string> elements(const std::string& xml, const std::string& kind, const std::string& from,
                                  const std::string& to)
{
    std::vector<std::string> out;
    for (size_t at = xml.find(kind); at != std::string::npos; at = xml.find(kind, at + kind.size())) {
        const size_t end = xml.find('>', at);
        const size_t begin = xml.find(from, at);
        if (begin >= end)
            continue;
        out.push_back(xml.substr(begin, std::min(xml.find(to, begin), end) - begin));
    }
    return out;
}

TEST_F(VynconfEndToEndTest, ChannelsAndConnectorsCarryTheDescribedRecords)
{
    const vyntest::ProgramRun xml =
        vyntest::runVynconf(VYNCONF_PATH, root(), std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/three-buses.conf", {"GETXML"});
    ASSERT_EQ(xml.exitCode, 0) << xml.error;
    // Clustering and partners are not the firmware's to report: the channel
    // walk fixes them.
    const std::string fixed = "fsaMaxUsageType=\"0\" fsaPartnerChanNum=\"4294967295\" fsaPartnerScsiID=\"4294967295\" ";
    EXPECT_EQ(elements(xml.output, "attachmentType=\"VynChannelAttach\"", "isPaused=", " storlibType="),
              (std::vector<std::string>{
                  "isPaused=\"false\" isClustered=\"false\" numPortsMapped=\"0\" fsaChannelNumber=\"0\" "
                  "fsaAdapterScsiID=\"7\" fsaTargetsAvailable=\"16\" fsaPhysicalType=\"12\" " + fixed +
                      "fsaChannelStatus=\"0\" fsaMaxSpeedInMbps=\"600\"",
                  "isPaused=\"false\" isClustered=\"false\" numPortsMapped=\"4\" fsaChannelNumber=\"1\" "
                  "fsaAdapterScsiID=\"5\" fsaTargetsAvailable=\"16\" fsaPhysicalType=\"11\" " + fixed +
                      "fsaChannelStatus=\"2\" fsaMaxSpeedInMbps=\"150\"",
                  "isPaused=\"false\" isClustered=\"false\" numPortsMapped=\"2\" fsaChannelNumber=\"2\" "
                  "fsaAdapterScsiID=\"2\" fsaTargetsAvailable=\"16\" fsaPhysicalType=\"12\" " + fixed +
                      "fsaChannelStatus=\"1\" fsaMaxSpeedInMbps=\"300\"",
              }));
    // One connector per lane it leads to. A lane entry holds the first four
    // bytes of its SAS address; the rest is read from what follows it.
    EXPECT_EQ(elements(xml.output, "<VynSASConnector ", "channelID=", " SASaddress="),
              (std::vector<std::string>{
                  "channelID=\"0\" deviceID=\"65\" laneID=\"0\"",
                  "channelID=\"0\" deviceID=\"65\" laneID=\"1\"",
                  "channelID=\"1\" deviceID=\"66\" laneID=\"0\"",
              }));
    EXPECT_EQ(elements(xml.output, "<VynSASConnector ", "phyID=", "/>"),
              (std::vector<std::string>{
                  "phyID=\"0\" connectorID=\"0\" connectorType=\"8\" connectorName=\"A-port\"",
                  "phyID=\"1\" connectorID=\"0\" connectorType=\"8\" connectorName=\"A-port\"",
                  "phyID=\"4\" connectorID=\"1\" connectorType=\"8\" connectorName=\"B-port\"",
              }));
    EXPECT_NE(xml.output.find("SASaddress=\"50010203"), std::string::npos);
}

// The value of the first line that starts with `label` (after blanks), or
// "" when there is none.
std::string valueOf(const std::string& text, const std::string& label)
{
    const size_t at = text.find("   " + label);
    if (at == std::string::npos)
        return "";
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    const size_t colon = line.find(": ");
    return colon == std::string::npos ? "" : line.substr(colon + 2);
}

TEST_F(VynconfEndToEndTest, TheLogicalDeviceOfTheDefaultController)
{
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(firstLine(config.output), "Controllers found: 1");
    EXPECT_NE(config.output.find("\nLogical device number 0\n"), std::string::npos) << config.output;
    EXPECT_EQ(valueOf(config.output, "Logical device name"), "Data") << config.output;
    EXPECT_EQ(valueOf(config.output, "RAID level"), "5");
    EXPECT_EQ(valueOf(config.output, "Status of logical device"), "Optimal");
    EXPECT_EQ(occurrences(config.output, "Segment "), 3u);
    EXPECT_EQ(lastLine(config.output), "Command completed successfully.");
}

TEST_F(VynconfEndToEndTest, TheDefaultLogicalDeviceIsProtectedByTheGlobalSpare)
{
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    const size_t at = config.output.find("Protected by Hot-Spare");
    ASSERT_NE(at, std::string::npos) << config.output;
    const std::string line = config.output.substr(at, config.output.find('\n', at) - at);
    EXPECT_EQ(line.substr(line.size() - 3), "Yes") << line;
    EXPECT_EQ(lastLine(config.output), "Command completed successfully.");
}

TEST_F(VynconfEndToEndTest, TheExportCarriesEveryDevicesAttachmentAndTheControllersRecord)
{
    const vyntest::ProgramRun xml = run({"GETXML"});
    EXPECT_EQ(xml.exitCode, 0) << xml.error;
    // Eight drives and the SES-2 enclosure device, each with its firmware
    // record; SMART records for the drives alone.
    EXPECT_EQ(occurrences(xml.output, "attachmentType=\"VynPhysicalDeviceAttach\""), 9u) << xml.output;
    EXPECT_EQ(occurrences(xml.output, " fsaStdDevType=\""), 9u);
    EXPECT_EQ(occurrences(xml.output, " fsaSmartEnabled=\""), 8u);
    EXPECT_EQ(occurrences(xml.output, " pSesElement=\"valid\""), 8u);
    EXPECT_EQ(occurrences(xml.output, " fsaSupportedOptions2=\"246912988\""), 1u);
    EXPECT_EQ(occurrences(xml.output, " maxRaid60Members=\""), 1u);
}

TEST_F(VynconfEndToEndTest, ADrivesSerialIsTheWholeIdentifierTheControllerKeeps)
{
    // The simulated controller keeps vendor and serial there, as one with
    // long serials does; the inquiry's short field holds the serial alone.
    const vyntest::ProgramRun devices = run({"GETCONFIG", "1", "PD"});
    EXPECT_EQ(devices.exitCode, 0) << devices.error;
    EXPECT_EQ(valueOf(devices.output, "Serial number"), "VYNSIMSIM1000") << devices.output;
    const vyntest::ProgramRun drives = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(valueOf(drives.output, "Segment 0"), "Present (Controller:1,Enclosure:0,Slot:0) VYNSIMSIM1000");
}

TEST_F(VynconfEndToEndTest, IdentifyOfTheControllerBlinksTheDrivesOfItsChannels)
{
    // The trace shows which objects were asked to blink.
    vyntest::writeFile(hostFile("/var/log/vyntrace.txt"), "");
    const vyntest::ProgramRun drive = run({"IDENTIFY", "1", "DEVICE", "0", "0"});
    for (const char* form : {"", "ALL"}) {
        SCOPED_TRACE(form);
        vyntest::writeFile(hostFile("/var/log/vyntrace.txt"), "");
        std::vector<std::string> words{"IDENTIFY", "1"};
        if (*form != '\0')
            words.push_back(form);
        const vyntest::ProgramRun all = run(words);
        EXPECT_EQ(all.output.find("Parameter Check failure"), std::string::npos) << all.output;
        // The one channel, then each of its eight drives, on and off.
        const std::string trace = vyntest::readFile(hostFile("/var/log/vyntrace.txt"));
        EXPECT_EQ(occurrences(trace, "VynSASChannel::identifyDevice(bool bIdentify) IN"), 2u) << trace;
        EXPECT_EQ(occurrences(trace, "VynHardDrive::identifyDevice() IN"), 16u);
        // It ends as blinking one of the drives does.
        EXPECT_EQ(all.output, drive.output);
        EXPECT_EQ(all.exitCode, drive.exitCode);
    }
}

TEST_F(VynconfEndToEndTest, AStripeSizeChangeTakesMaxOrTheShownSize)
{
    // Logical drive 0 holds 299005.875 MB; the controller cannot grow a
    // RAID 5, so its size must stay.
    const struct {
        const char* size;
        const char* shown;
    } cases[] = {
        {"MAX", "Reconfiguring logical device: Data\n"},
        {"299005", "Reconfiguring logical device: Data\n"},
        {"299006", "The target logical device must be 299005 MB\n"},
        {"299004", "The target logical device must be at least as large as the source (299005 MB)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::filesystem::remove_all(root() + "/var/lib/hostsim");
        const vyntest::ProgramRun modify =
            run({"MODIFY", "1", "FROM", "0", "TO", "STRIPESIZE", "128", c.size, "5", "0", "0", "0", "1", "0", "2",
                 "noprompt"});
        EXPECT_NE(modify.output.find(c.shown), std::string::npos) << modify.output;
    }
}

TEST_F(VynconfEndToEndTest, ASpareStandsByWithoutBeingAMember)
{
    // The default controller with drive 4 the dedicated spare of logical
    // drive 0 and a RAID 0 on drive 5.
    const std::string description = root() + "/dedicated.conf";
    vyntest::writeFile(description, "base = default\n[adapter0]\ndrive4 = 0:4 sas 300G spare=0\n"
                           "ld1 = raid0 0:5 size=100G name=Stripe\n");
    const vyntest::ProgramRun config = vyntest::runVynconf(VYNCONF_PATH, root(), description, {"GETCONFIG", "1", "LD"});
    ASSERT_EQ(config.exitCode, 0) << config.error;
    const size_t second = config.output.find("Logical device number 1");
    ASSERT_NE(second, std::string::npos) << config.output;
    const std::string data = config.output.substr(0, second);
    const std::string stripe = config.output.substr(second);
    EXPECT_EQ(valueOf(data, "Protected by Hot-Spare"), "Yes") << data;
    EXPECT_EQ(valueOf(data, "Dedicated Hot-Spare"), "0,4");
    EXPECT_EQ(occurrences(data, "   Segment "), 3u);
    EXPECT_EQ(valueOf(stripe, "Protected by Hot-Spare"), "No") << stripe;
    EXPECT_EQ(occurrences(stripe, "Global Hot-Spare"), 0u);
    EXPECT_EQ(occurrences(stripe, "Dedicated Hot-Spare"), 0u);
    EXPECT_EQ(occurrences(stripe, "   Segment "), 1u);
}

// The README shows what the main job prints on a fresh root; the block there
// is the program's output, byte for byte.
std::string readmeBlock(const std::string& name)
{
    std::ifstream in(VYN_README_PATH);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    const std::string open = "<!-- " + name + " -->\n```\n";
    const size_t begin = all.find(open);
    const size_t end = all.find("```\n<!-- /" + name + " -->", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "";
    return all.substr(begin + open.size(), end - begin - open.size());
}

TEST_F(VynconfEndToEndTest, TheMainJobPrintsTheReadmesBlock)
{
    const std::string expected = readmeBlock("getconfig-al");
    ASSERT_FALSE(expected.empty());
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "AL"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(config.output, expected);
}

TEST_F(VynconfEndToEndTest, ADeletedLogicalDeviceIsGoneInTheNextRun)
{
    // Each run is a process of its own; the controller's state file carries
    // the delete to the last one.
    const vyntest::ProgramRun before = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(before.exitCode, 0) << before.error;
    EXPECT_EQ(occurrences(before.output, "Logical device number 0"), 1u) << before.output;

    const vyntest::ProgramRun removal = run({"DELETE", "1", "LOGICALDRIVE", "0", "noprompt"});
    EXPECT_EQ(removal.exitCode, 0) << removal.output << removal.error;
    EXPECT_EQ(lastLine(removal.output), "Command completed successfully.") << removal.output;

    const vyntest::ProgramRun after = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(after.exitCode, 0) << after.error;
    EXPECT_EQ(occurrences(after.output, "Logical device number"), 0u) << after.output;
    EXPECT_NE(after.output.find("   No logical devices configured"), std::string::npos) << after.output;
}

TEST_F(VynconfEndToEndTest, ANumberTooLargeForAnIntIsABadNumberAndChangesNothing)
{
    // 4294967296 once wrapped to logical drive 0, which was then deleted or
    // renamed.
    const vyntest::ProgramRun before = run({"GETCONFIG", "1", "LD"});
    ASSERT_EQ(before.exitCode, 0) << before.error;
    const struct {
        std::vector<std::string> large;
        std::vector<std::string> bad;
    } cases[] = {
        {{"DELETE", "1", "LOGICALDRIVE", "4294967296", "noprompt"}, {"DELETE", "1", "LOGICALDRIVE", "x", "noprompt"}},
        {{"SETNAME", "1", "LOGICALDRIVE", "4294967296", "x"}, {"SETNAME", "1", "LOGICALDRIVE", "x", "x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.large[0]);
        const vyntest::ProgramRun large = run(c.large);
        const vyntest::ProgramRun bad = run(c.bad);
        EXPECT_NE(large.exitCode, 0);
        EXPECT_EQ(large.exitCode, bad.exitCode);
        EXPECT_EQ(vyntest::maskDates(large.output), vyntest::maskDates(bad.output));
        const vyntest::ProgramRun after = run({"GETCONFIG", "1", "LD"});
        EXPECT_EQ(after.exitCode, 0) << after.error;
        EXPECT_EQ(vyntest::maskDates(after.output), vyntest::maskDates(before.output));
        EXPECT_EQ(valueOf(after.output, "Logical device name"), "Data") << after.output;
    }
}

TEST_F(VynconfEndToEndTest, ForcingOnlineTellsWhatTheControllerAnswered)
{
    // The optimal drive of the default controller is found; the controller
    // refuses it as on line already, which is what the user reads.
    const vyntest::ProgramRun optimal =
        run({"SETSTATE", "1", "LOGICALDRIVE", "0", "OPTIMAL", "ADVANCED", "nocheck", "noprompt"});
    EXPECT_NE(optimal.exitCode, 0);
    const std::string said = optimal.output + optimal.error;
    EXPECT_NE(said.find("The specified logical device is already online."), std::string::npos) << said;
    EXPECT_EQ(said.find("was not found"), std::string::npos) << said;

    // A failed one comes back on line, and the next run finds it on line.
    const std::string failed = root() + "/failed.conf";
    vyntest::writeFile(failed, "base = default\n[adapter0]\n"
                               "ld0 = raid5 0:0,0:1,0:2 stripe=256K name=Data state=failed\n");
    const std::vector<std::string> force = {"SETSTATE", "1",        "LOGICALDRIVE", "0",
                                            "OPTIMAL",  "ADVANCED", "nocheck",      "noprompt"};
    const vyntest::ProgramRun forced = vyntest::runVynconf(VYNCONF_PATH, root(), failed, force);
    EXPECT_EQ(forced.exitCode, 0) << forced.output << forced.error;
    EXPECT_NE(forced.output.find("The logical device has been forced online."), std::string::npos) << forced.output;
    const vyntest::ProgramRun again = vyntest::runVynconf(VYNCONF_PATH, root(), failed, force);
    EXPECT_NE(again.exitCode, 0);
    EXPECT_NE((again.output + again.error).find("The specified logical device is already online."),
              std::string::npos)
        << again.output << again.error;
}

// ---- controller tasks and operations, drive operations ----

// The contents of every host reset file of the simulated controllers.
std::string hostResetFiles(const std::string& root)
{
    std::string all;
    std::error_code ec;
    for (const auto& host : std::filesystem::directory_iterator(root + "/sys/class/scsi_host", ec)) {
        std::ifstream in(host.path() / "reset_host", std::ios::binary);
        all += std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return all;
}

TEST_F(VynconfEndToEndTest, AResetReachesTheHostAndLeavesTheControllerInUse)
{
    const vyntest::ProgramRun reset = run({"RESET", "1", "noprompt"});
    EXPECT_EQ(reset.exitCode, 0) << reset.error;
    EXPECT_EQ(lastLine(reset.output), "Command completed successfully.") << reset.output;
    // The driver is told through its host's reset file; the controller keeps
    // nothing of it that a later run could show.
    EXPECT_EQ(hostResetFiles(root()), std::string("!", 2));

    const vyntest::ProgramRun after = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(after.exitCode, 0) << after.error;
    EXPECT_EQ(occurrences(after.output, "Logical device number 0"), 1u) << after.output;
}

// Spares: each run is a process of its own, so a spare role one run gives or
// takes is what the next run's tree shows.

TEST_F(VynconfEndToEndTest, SpareRolesMadeByOneRunAreSeenByTheNext)
{
    const struct {
        std::vector<std::string> change;
        const char* global;     // the "Global Hot-Spare" lines of GETCONFIG LD
        const char* dedicated;  // the "Dedicated Hot-Spare" value, "" for none
        const char* state4;     // the state of the drive at 0:4
    } steps[] = {
        {{"SETSTATE", "1", "DEVICE", "0", "4", "HSP", "noprompt"}, "0,3|0,4|", "", "Hot Spare"},
        {{"SETSTATE", "1", "DEVICE", "0", "5", "HSP", "LOGICALDRIVE", "0", "noprompt"}, "0,3|0,4|", "0,5",
         "Hot Spare"},
        {{"SETSTATE", "1", "DEVICE", "0", "5", "RDY", "LOGICALDRIVE", "0", "noprompt"}, "0,3|0,4|", "", "Hot Spare"},
        {{"SETSTATE", "1", "DEVICE", "0", "4", "RDY", "noprompt"}, "0,3|", "", "Ready"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change[4] + " " + step.change[5]);
        const vyntest::ProgramRun change = run(step.change);
        EXPECT_EQ(change.exitCode, 0) << change.output << change.error;
        EXPECT_EQ(lastLine(change.output), "Command completed successfully.") << change.output;

        const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
        std::string globals;
        for (size_t at = config.output.find("   Global Hot-Spare"); at != std::string::npos;
             at = config.output.find("   Global Hot-Spare", at + 1))
            globals += valueOf(config.output.substr(at), "Global Hot-Spare") + "|";
        EXPECT_EQ(globals, step.global) << config.output;
        EXPECT_EQ(valueOf(config.output, "Dedicated Hot-Spare"), step.dedicated) << config.output;

        const vyntest::ProgramRun devices = run({"GETCONFIG", "1", "PD"});
        const size_t drive4 = devices.output.find("Device #4\n");
        ASSERT_NE(drive4, std::string::npos) << devices.output;
        EXPECT_EQ(valueOf(devices.output.substr(drive4), "State"), step.state4);
    }
}

TEST_F(VynconfEndToEndTest, TheDefaultConfigurationLeavesEveryDriveReady)
{
    // The logical drive goes and the global spare with it.
    const vyntest::ProgramRun reset = run({"SETCONFIG", "1", "DEFAULT", "noprompt"});
    EXPECT_EQ(reset.exitCode, 0) << reset.output << reset.error;
    EXPECT_EQ(lastLine(reset.output), "Command completed successfully.") << reset.output;

    const vyntest::ProgramRun devices = run({"GETCONFIG", "1", "PD"});
    EXPECT_EQ(occurrences(devices.output, "   State "), 8u) << devices.output;
    EXPECT_EQ(occurrences(devices.output, ": Ready\n"), 8u) << devices.output;
    const vyntest::ProgramRun drives = run({"GETCONFIG", "1", "LD"});
    EXPECT_NE(drives.output.find("   No logical devices configured"), std::string::npos) << drives.output;
}

}  // namespace

// Controller statistics: the collection switch and the counter reset reach
// the controller, and the next run reads the switch back.
namespace {

TEST_F(VynconfEndToEndTest, StatisticsCollectionAndResetCarryToTheNextRun)
{
    const vyntest::ProgramRun before = run({"GETCONFIG", "1", "AD"});
    EXPECT_EQ(before.exitCode, 0) << before.error;
    EXPECT_EQ(valueOf(before.output, "Statistics data collection mode"), "Disabled") << before.output;

    const vyntest::ProgramRun enable = run({"SETSTATSDATACOLLECTION", "1", "ENABLE"});
    EXPECT_EQ(enable.exitCode, 0) << enable.output << enable.error;
    EXPECT_EQ(lastLine(enable.output), "Command completed successfully.") << enable.output;

    const vyntest::ProgramRun reset = run({"RESETSTATISTICSCOUNTERS", "1"});
    EXPECT_EQ(reset.exitCode, 0) << reset.output << reset.error;
    EXPECT_EQ(lastLine(reset.output), "Command completed successfully.") << reset.output;

    const vyntest::ProgramRun after = run({"GETCONFIG", "1", "AD"});
    EXPECT_EQ(after.exitCode, 0) << after.error;
    EXPECT_EQ(valueOf(after.output, "Statistics data collection mode"), "Enabled") << after.output;

    // With collection on, the statistics log carries the controller's record.
    const vyntest::ProgramRun stats = run({"GETLOGS", "1", "STATS"});
    EXPECT_EQ(stats.exitCode, 0) << stats.error;
    EXPECT_NE(lineStarting(stats.output, "<ControllerLog controllerID=\"0\" type=\"9\" time=\""), "") << stats.output;
    EXPECT_NE(lineStarting(stats.output, "<controllerstats  statsVersion=\"3.0\""), "") << stats.output;
    EXPECT_EQ(occurrences(stats.output, "<logicaldrivestats "), 1u) << stats.output;
    EXPECT_EQ(lastLine(stats.output), "Command completed successfully.");

    // Switching it on again is refused by the program itself.
    const vyntest::ProgramRun again = run({"SETSTATSDATACOLLECTION", "1", "ENABLE"});
    EXPECT_NE(again.output.find("Statistics data collection is already enabled for controller 1."),
              std::string::npos)
        << again.output;
}

// Enclosures: a SAF-TE enclosure's items in the export, the SES-2 alarm
// kept for the next run, and identify through enclosure management.
class VynconfEnclosureEndToEndTest : public vyntest::HostRootTest {
protected:
    // The default controller with its enclosure replaced by `enclosure`.
    vyntest::ProgramRun run(const std::string& enclosure, const std::vector<std::string>& args)
    {
        const std::string description = root() + "/enclosure.conf";
        vyntest::writeFile(description, "base = default\n[adapter0]\nencl0 = " + enclosure + "\n");
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    }
};

TEST_F(VynconfEnclosureEndToEndTest, ASafteEnclosureExportsSixteenOfItsTwentySlots)
{
    const vyntest::ProgramRun xml = run("safte 0:9 slots=20", {"GETXML"});
    EXPECT_EQ(xml.exitCode, 0) << xml.error;
    EXPECT_EQ(occurrences(xml.output, "typeName=\"SafteSlot\""), 16u) << xml.output.substr(0, 2000);
    EXPECT_EQ(occurrences(xml.output, "typeName=\"VynEnclosure\""), 1u);
}

TEST_F(VynconfEnclosureEndToEndTest, HealthyFansAndSuppliesOfASafteEnclosureReadAsHealthy)
{
    const vyntest::ProgramRun config = run("safte 0:9 slots=6 fans=2 psus=2", {"GETCONFIG", "1", "PD"});
    EXPECT_EQ(config.exitCode, 0) << config.output << config.error;
    for (const char* label : {"Fan 1 status", "Fan 2 status"})
        EXPECT_EQ(valueOf(config.output, label), "Optimal") << label << "\n" << config.output;
    for (const char* label : {"Power supply 1 status", "Power supply 2 status"})
        EXPECT_EQ(valueOf(config.output, label), "On / Operational") << label << "\n" << config.output;

    // The export's status page and its items agree.
    const vyntest::ProgramRun xml = run("safte 0:9 slots=6 fans=2 psus=2", {"GETXML"});
    EXPECT_EQ(xml.exitCode, 0) << xml.error;
    EXPECT_NE(xml.output.find(" fan0=\"0\""), std::string::npos) << xml.output.substr(0, 4000);
    EXPECT_EQ(xml.output.find(" fan0=\"1\""), std::string::npos);
}

TEST_F(VynconfEnclosureEndToEndTest, TheSilencedAlarmIsWhatTheNextRunSees)
{
    const vyntest::ProgramRun silence = run("ses2 0:8 alarm=1", {"SETALARM", "1", "0", "8", "SILENCE"});
    EXPECT_EQ(silence.exitCode, 0) << silence.output << silence.error;
    EXPECT_EQ(lastLine(silence.output), "Command completed successfully.") << silence.output;

    const vyntest::ProgramRun again = run("ses2 0:8 alarm=1", {"SETALARM", "1", "0", "8", "SILENCE"});
    EXPECT_NE(again.output.find("The enclosure alarm is already in the requested state."), std::string::npos)
        << again.output << again.error;
    const vyntest::ProgramRun test = run("ses2 0:8 alarm=1", {"SETALARM", "1", "0", "8", "TEST"});
    EXPECT_EQ(lastLine(test.output), "Command completed successfully.") << test.output << test.error;
}

TEST_F(VynconfEnclosureEndToEndTest, IdentifyOfAnEnclosureGoesToEnclosureManagement)
{
    // The simulator's trace names each enclosure request: class 12 with
    // command << 16 | sub-command.
    const std::string trace = root() + "/simulator.trace";
    setenv("VYN_SIMULATOR_TRACE", trace.c_str(), 1);
    const vyntest::ProgramRun safte = run("safte 0:9 slots=8", {"IDENTIFY", "1", "DEVICE", "0", "9"});
    const std::string safteTrace = vyntest::readFile(trace);
    std::filesystem::remove(trace);
    std::filesystem::remove_all(root() + "/var/lib/hostsim");
    const vyntest::ProgramRun ses = run("ses2 0:8", {"IDENTIFY", "1", "DEVICE", "0", "8"});
    const std::string sesTrace = vyntest::readFile(trace);
    unsetenv("VYN_SIMULATOR_TRACE");
    EXPECT_EQ(safte.exitCode, 0) << safte.output << safte.error;
    EXPECT_EQ(lastLine(safte.output), "Command completed successfully.") << safte.output;
    EXPECT_EQ(occurrences(safteTrace, " class=12 ct=" + std::to_string(2u << 16 | 645) + "\n"), 1u) << safteTrace;
    EXPECT_EQ(occurrences(safteTrace, " class=12 ct=" + std::to_string(2u << 16 | 646) + "\n"), 1u);
    // The SES-2 enclosure blinks its Enclosure element with a control page,
    // on and off.
    EXPECT_EQ(lastLine(ses.output), "Command completed successfully.") << ses.output << ses.error;
    EXPECT_EQ(occurrences(sesTrace, " class=12 ct=" + std::to_string(100u << 16 | 0x2000) + "\n"), 2u) << sesTrace;
}

// ---- controller logs ----

TEST_F(VynconfEndToEndTest, EachXmlLogIsOneControllerLogElement)
{
    struct Row {
        const char* type;
        const char* opening;  // how its first line starts
        const char* inside;   // a text the element carries
    };
    for (const Row& row : {Row{"DEAD", "<ControllerLog controllerID=\"0\" type=\"5\" time=\"", " version=\""},
                           Row{"DEVICE", "<ControllerLog controllerID=\"0\" type=\"0\" time=\"", " tableFull=\""},
                           Row{"EVENT", "<ControllerLog controllerID=\"0\" type=\"6\" time=\"", "\">"}}) {
        SCOPED_TRACE(row.type);
        const vyntest::ProgramRun logs = run({"GETLOGS", "1", row.type});
        EXPECT_EQ(logs.exitCode, 0) << logs.error;
        const std::string first = lineStarting(logs.output, row.opening);
        EXPECT_NE(first.find(row.inside), std::string::npos) << logs.output;
        const std::vector<std::string> lines = linesOf(logs.output);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "</ControllerLog>"), lines.end()) << logs.output;
        EXPECT_EQ(lastLine(logs.output), "Command completed successfully.");
    }
    const vyntest::ProgramRun events = run({"GETLOGS", "1", "EVENT"});
    EXPECT_NE(events.output.find("\n    <eventlog>\n    </eventlog>\n</ControllerLog>\n"), std::string::npos)
        << events.output;
}

TEST_F(VynconfEndToEndTest, TheUartAndMonitorLogsOfTheSimulatedController)
{
    const std::string description = root() + "/logs.conf";
    vyntest::writeFile(description, "base = default\n[adapter0.log]\nhistory = controller started\\nready\\n\n"
                                    "archive = archived line\\n\n");
    const vyntest::ProgramRun uart = vyntest::runVynconf(VYNCONF_PATH, root(), description, {"GETLOGS", "1", "UART"});
    EXPECT_EQ(uart.exitCode, 0) << uart.error;
    EXPECT_NE(uart.output.find("controller started\nready\n"), std::string::npos) << uart.output;
    EXPECT_EQ(uart.output.find("CDATA"), std::string::npos) << uart.output;

    const vyntest::ProgramRun monitor =
        vyntest::runVynconf(VYNCONF_PATH, root(), description, {"GETLOGS", "1", "MONITOR"});
    EXPECT_EQ(monitor.exitCode, 0) << monitor.error;
    const std::string element = lineStarting(monitor.output, "<ControllerLog controllerID=\"0\" type=\"8\" time=\"");
    EXPECT_NE(element.find(" filename=\"" + hostFile("/var/log/VelmornArch.log") + "\"/>"), std::string::npos)
        << monitor.output;
    EXPECT_EQ(vyntest::readFile(hostFile("/var/log/VelmornArch.log")), "archived line\n");
}

TEST_F(VynconfEndToEndTest, EachLogicalDrivesCacheLogIsItsOwn)
{
    // Logical drives 0, 2 and 3: the numbers leave a gap the record's order
    // does not show.
    const std::string description = root() + "/cache.conf";
    vyntest::writeFile(description, "base = default\n[adapter0]\n"
                                    "ld2 = raid1 0:4,0:5 size=10G name=Two\n"
                                    "ld3 = raid0 0:6 size=10G name=Three\n");
    const auto vynconf = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    const vyntest::ProgramRun enable = vynconf({"SETSTATSDATACOLLECTION", "1", "ENABLE"});
    ASSERT_EQ(enable.exitCode, 0) << enable.output << enable.error;
    for (const char* number : {"0", "2", "3"}) {
        SCOPED_TRACE(number);
        const vyntest::ProgramRun log = vynconf({"GETLOGS", "1", "CACHE", "LOGICALDRIVE", number});
        EXPECT_EQ(log.exitCode, 0) << log.output << log.error;
        EXPECT_NE(log.output.find("<logicaldrivestats  id=\"" + std::string(number) + "\">"), std::string::npos)
            << log.output;
        EXPECT_EQ(occurrences(log.output, "<logicaldrivestats "), 1u) << log.output;
    }
    // A number without a logical drive is refused.
    const vyntest::ProgramRun missing = vynconf({"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "1"});
    EXPECT_NE(missing.exitCode, 0) << missing.output;
    EXPECT_EQ(occurrences(missing.output, "<logicaldrivestats "), 0u) << missing.output;
}

TEST_F(VynconfEndToEndTest, ConsoleTextAndControlCharactersLeaveTheLogsWellFormed)
{
    // The console text carries a "]]>"; the controller's serial number a
    // control character.
    const std::string description = root() + "/xml.conf";
    vyntest::writeFile(description, "base = default\n[adapter0.log]\n"
                                    "history = boot ok\\nmap a[b[1]]> 2\\nlater line\\nlast line\\n\n"
                                    "[adapter0]\nserial = 0x30015356,0x32343030\n"
                                    "drive_error_entries = 2\n");
    const auto vynconf = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    // The command engine prints the console text up to the first "]]>".
    const vyntest::ProgramRun uart = vynconf({"GETLOGS", "1", "UART"});
    EXPECT_EQ(uart.exitCode, 0) << uart.error;
    for (const char* line : {"boot ok\n", "2\n", "later line\n", "last line\n"})
        EXPECT_NE(uart.output.find(line), std::string::npos) << line << "\n" << uart.output;
    EXPECT_NE(uart.output.find("map a[b[1]]"), std::string::npos) << uart.output;

    const vyntest::ProgramRun enable = vynconf({"SETSTATSDATACOLLECTION", "1", "ENABLE"});
    ASSERT_EQ(enable.exitCode, 0) << enable.output << enable.error;
    for (const char* type : {"DEVICE", "STATS"}) {
        SCOPED_TRACE(type);
        const vyntest::ProgramRun log = vynconf({"GETLOGS", "1", type});
        EXPECT_EQ(log.exitCode, 0) << log.error;
        const size_t from = log.output.find("<ControllerLog ");
        const size_t to = log.output.find("</ControllerLog>");
        ASSERT_NE(from, std::string::npos) << log.output;
        ASSERT_NE(to, std::string::npos) << log.output;
        const std::string element = log.output.substr(from, to + 16 - from);
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(element.c_str())) << element;
        EXPECT_EQ(element.find('\x01'), std::string::npos) << element;
    }
}

TEST_F(VynconfEndToEndTest, AClearedDeadDriveLogIsEmptyInTheNextRun)
{
    const std::string description = root() + "/dead.conf";
    vyntest::writeFile(description, "base = default\n[adapter0]\ndead_drive_version = 0\ndead_drive_entries = 2\n");
    const auto logs = [&](std::vector<std::string> args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    const vyntest::ProgramRun before = logs({"GETLOGS", "1", "DEAD"});
    EXPECT_EQ(before.exitCode, 0) << before.error;
    EXPECT_EQ(occurrences(before.output, "    <deadDriveEntry adapterID=\"0\""), 2u) << before.output;
    // The drives of the default controller sit in an SES-2 enclosure.
    EXPECT_EQ(occurrences(before.output, " slotNum=\""), 2u) << before.output;

    const vyntest::ProgramRun clear = logs({"GETLOGS", "1", "DEAD", "clear"});
    EXPECT_EQ(clear.exitCode, 0) << clear.output << clear.error;
    EXPECT_EQ(lastLine(clear.output), "Command completed successfully.");

    const vyntest::ProgramRun after = logs({"GETLOGS", "1", "DEAD"});
    EXPECT_EQ(after.exitCode, 0) << after.error;
    EXPECT_EQ(occurrences(after.output, "<deadDriveEntry"), 0u) << after.output;
    EXPECT_NE(lineStarting(after.output, "<ControllerLog controllerID=\"0\" type=\"5\""), "") << after.output;
}

TEST_F(VynconfEndToEndTest, TheSupportArchiveCarriesTheControllerLogs)
{
    const vyntest::ProgramRun archive = run({"SAVESUPPORTARCHIVE"});
    EXPECT_EQ(archive.exitCode, 0) << archive.output << archive.error;
    for (const char* name : {" Controller 1 Device_log.txt", " Controller 1 Deaddrives.txt",
                             " Controller 1 Event_log.txt", " Controller 1 Logs.txt", " Controller 1 Monitor_log.txt",
                             " Controller 1 Stats.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(vyntest::fileExists(hostFile(std::string("/var/log/Support/") + name)));
    }
    const std::string deviceLog = vyntest::readFile(hostFile("/var/log/Support/ Controller 1 Device_log.txt"));
    EXPECT_EQ(deviceLog.rfind("<ControllerLog controllerID=\"0\" type=\"0\"", 0), 0u) << deviceLog;
}

}  // namespace
