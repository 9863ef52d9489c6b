// The built command-line program over the built-in simulated controller:
// discovery as a user sees it.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
