// Tasks of the drives and of the controller's scrub through the built
// command-line program over the simulated controller, each step a process of
// its own on one host root: a running task shows in progress, refuses a
// second start and ends on a stop; initialising drives reports what the
// controller did; a secure erase reaches the drive with its password.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DriveTasksEndToEndTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args, const std::string& simulator = "default")
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), simulator, args);
    }
};

// The GETSTATUS block (up to its blank line) whose line `label` shows
// `value`, or "" when there is none.
std::string taskBlock(const std::string& status, const std::string& label, const std::string& value)
{
    std::istringstream in(status);
    std::string block;
    bool inBlock = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            if (inBlock)
                return block;
            block.clear();
            continue;
        }
        block += line + "\n";
        const size_t colon = line.find(':');
        if (colon != std::string::npos && line.find(label) < colon && line.substr(colon + 1) == " " + value)
            inBlock = true;
    }
    return inBlock ? block : "";
}

// The value of the line of `block` that starts with `label` after blanks.
std::string valueOf(const std::string& block, const std::string& label)
{
    std::istringstream in(block);
    for (std::string line; std::getline(in, line);) {
        const size_t start = line.find_first_not_of(' ');
        const size_t colon = line.find(" : ");
        if (start != std::string::npos && line.compare(start, label.size(), label) == 0 && colon != std::string::npos)
            return line.substr(colon + 3);
    }
    return "";
}

TEST_F(DriveTasksEndToEndTest, ADriveVerifyRunsRefusesASecondStartAndEndsOnAStop)
{
    const vyntest::ProgramRun started = run({"TASK", "START", "1", "DEVICE", "0", "5", "verify", "noprompt"});
    EXPECT_EQ(started.exitCode, 0) << started.output << started.error;
    EXPECT_THAT(started.output, HasSubstr("Command completed successfully."));

    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    const std::string task = taskBlock(status.output, "Channel,Device", "0,5");
    ASSERT_NE(task, "") << status.output;
    EXPECT_EQ(valueOf(task, "Current operation"), "Verify") << task;
    EXPECT_EQ(valueOf(task, "Status"), "In Progress") << task;
    EXPECT_NE(valueOf(task, "Percentage complete"), "") << task;

    const vyntest::ProgramRun again = run({"TASK", "START", "1", "DEVICE", "0", "5", "verify", "noprompt"});
    EXPECT_EQ(again.exitCode, 2) << again.output;
    EXPECT_THAT(again.output, HasSubstr("Task 'Verify' is already running on this device.  Aborting \n"));

    const vyntest::ProgramRun stopped = run({"TASK", "STOP", "1", "DEVICE", "0", "5"});
    EXPECT_EQ(stopped.exitCode, 0) << stopped.output;
    EXPECT_THAT(stopped.output, HasSubstr("Command completed successfully."));

    const vyntest::ProgramRun after = run({"GETSTATUS", "1"});
    EXPECT_EQ(taskBlock(after.output, "Channel,Device", "0,5"), "") << after.output;
    // With nothing left to stop, a second stop is refused.
    const vyntest::ProgramRun nothing = run({"TASK", "STOP", "1", "DEVICE", "0", "5"});
    EXPECT_EQ(nothing.exitCode, 2) << nothing.output;
    EXPECT_THAT(nothing.output, HasSubstr("There exists no task to stop on this device."));
}

TEST_F(DriveTasksEndToEndTest, AReconfigurationJustStartedIsInProgress)
{
    const vyntest::ProgramRun modify = run({"MODIFY", "1", "FROM", "0", "TO", "STRIPESIZE", "64", "MAX", "5", "0",
                                            "0", "0", "1", "0", "2", "noprompt"});
    ASSERT_EQ(modify.exitCode, 0) << modify.output << modify.error;
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    const std::string task = taskBlock(status.output, "Logical device", "0");
    ASSERT_NE(task, "") << status.output;
    EXPECT_EQ(valueOf(task, "Status"), "In Progress") << task;
    EXPECT_THAT(status.output, Not(HasSubstr("Paused")));
}

TEST_F(DriveTasksEndToEndTest, TheScrubIsSwitchedOnAndGivenAPeriodWhileItRuns)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"DATASCRUB", "1", "on"}, {"DATASCRUB", "1", "on"},
          {"DATASCRUB", "1", "period", "30", "noprompt"}, {"DATASCRUB", "1", "period", "40", "noprompt"}}) {
        SCOPED_TRACE(args.back());
        const vyntest::ProgramRun scrub = run(args);
        EXPECT_EQ(scrub.exitCode, 0) << scrub.output << scrub.error;
        EXPECT_THAT(scrub.output, HasSubstr("Command completed successfully."));
    }
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "AD"});
    EXPECT_EQ(valueOf(config.output, "Background consistency check"), "Enabled") << config.output;
    const vyntest::ProgramRun xml = run({"GETXML", "1"});
    EXPECT_THAT(xml.output, HasSubstr("dataScrubRate=\"40\""));
    EXPECT_THAT(xml.output, HasSubstr("dataScrubbingActive=\"true\""));
    // The scrub's task still runs.
    EXPECT_THAT(run({"GETSTATUS", "1"}).output, Not(HasSubstr("Paused")));
}

TEST_F(DriveTasksEndToEndTest, InitialisingDrivesReportsEveryDriveInitialised)
{
    const vyntest::ProgramRun one = run({"TASK", "START", "1", "DEVICE", "0", "4", "initialize", "noprompt"});
    EXPECT_EQ(one.exitCode, 0) << one.output << one.error;
    EXPECT_THAT(one.output, HasSubstr("Initializing Channel 0, Device 4.\n"));
    EXPECT_THAT(one.output, HasSubstr("Command completed successfully."));
    EXPECT_THAT(one.output, Not(HasSubstr("initialization failed")));

    // Drives 0:4 to 0:7 are ready; the members of Data and the spare are not.
    const vyntest::ProgramRun all = run({"TASK", "START", "1", "DEVICE", "ALL", "initialize", "noprompt"});
    EXPECT_EQ(all.exitCode, 0) << all.output << all.error;
    for (const char* device : {"4", "5", "6", "7"})
        EXPECT_THAT(all.output, HasSubstr(std::string("Initializing Channel 0, Device ") + device + ".\n"));
    EXPECT_THAT(all.output, HasSubstr("4 device(s) initialized.\n"));
    EXPECT_THAT(all.output, HasSubstr("Command completed successfully."));
    EXPECT_THAT(all.output, Not(HasSubstr("initialization failed")));
}

TEST_F(DriveTasksEndToEndTest, ASecureEraseTakesTheDrivesPasswordAndRunsAsATask)
{
    // The SATA drive 0:6 of the default controller carries the ATA security
    // feature set; its password is set first.
    const vyntest::ProgramRun password = run({"ATAPASSWORD", "1", "SET", "secret", "0", "6"});
    ASSERT_EQ(password.exitCode, 0) << password.output << password.error;

    const vyntest::ProgramRun wrong = run({"TASK", "START", "1", "DEVICE", "0", "6", "secureerase", "other", "noprompt"});
    EXPECT_EQ(wrong.exitCode, 1) << wrong.output;
    EXPECT_EQ(taskBlock(run({"GETSTATUS", "1"}).output, "Channel,Device", "0,6"), "");

    const vyntest::ProgramRun erase =
        run({"TASK", "START", "1", "DEVICE", "0", "6", "secureerase", "secret", "noprompt"});
    EXPECT_EQ(erase.exitCode, 0) << erase.output << erase.error;
    EXPECT_THAT(erase.output, HasSubstr("Secure Erasing Channel 0, Device 6.\n"));
    EXPECT_THAT(erase.output, HasSubstr("Command completed successfully."));
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    const std::string task = taskBlock(status.output, "Channel,Device", "0,6");
    ASSERT_NE(task, "") << status.output;
    EXPECT_EQ(valueOf(task, "Status"), "In Progress") << task;

    // A SAS drive has no ATA security: a password is refused before anything
    // is sent.
    const vyntest::ProgramRun sas = run({"TASK", "START", "1", "DEVICE", "0", "5", "secureerase", "secret", "noprompt"});
    EXPECT_EQ(sas.exitCode, 2) << sas.output;
    EXPECT_THAT(sas.output + sas.error, HasSubstr("The requested feature is not supported on this device."));
}

}  // namespace
