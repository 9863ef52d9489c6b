#include "CliTest.h"

#include "cli/Engine.h"
#include "cli/ResultTable.h"
#include "common/Ret.h"

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;

namespace {

class ResultTableTest : public CliTest {};

Ret api(unsigned int status)
{
    Ret ret;
    ret.setApiError(status);
    return ret;
}

constexpr const char kOk[] = "\nCommand completed successfully.\n";
constexpr const char kFailed[] = "\nCommand failed.\n";
constexpr const char kInitTask[] =
    "The initialization task on the logical device failed to start due to insufficient controller "
    "resources.\nYou must start the task manually at a later time.\nIf you choose to Clear the "
    "logical device,\nyou must allow the task to finish before storing any data on the logical "
    "device\n";
constexpr const char kPoolDirty[] =
    "Addition of SSD to Orvexa pool is not allowed because Orvexa is having dirty data. Please "
    "disable the Orvexa write-back caching on all logical devices and try later.\n\n";

TEST_F(ResultTableTest, EachResultGivesItsMessageAndValue)
{
    const auto P = ResultColumn::Program;
    const auto V = ResultColumn::Provider;
    const struct {
        int result;
        Ret codes;
        ResultColumn column;
        std::string message;
        int value;
    } cases[] = {
        {0, Ret(-1), P, kOk, 0},
        {1, Ret(-1), P, kFailed, 1},
        {2, Ret(-1), V, "\nCommand aborted.\n", 2},
        {3, Ret(-1), P, "", 3},
        {4, Ret(-1), P, "Operation currently not legal.\n", 4},
        {6, Ret(-1), V, "Invalid controller number.\n", 6},
        {7, Ret(-1), P, kOk, 0},
        {8, Ret(-1), P, kFailed, 1},
        {15, Ret(-1), V, kFailed, 1},
        {16, Ret(-1), P, kFailed, 16},
        {19, Ret(-1), V, kFailed, 19},
        {20, Ret(-1), P, "\nCommand failed.", 1},
        {21, Ret(-1), P, "\nCommand completed successfully. No reboot required.", 0},
        {22, Ret(-1), V, "\nCommand completed successfully. Reboot required.", 2},
        {256, Ret(-1), P, kFailed, 1},
        {256, Ret(-1), V, "", 0},
        {300, Ret(-1), V, kFailed, 1},
        {-3, Ret(-1), P, kFailed, 1},
        {5, Ret(0), P, kOk, 0},
        {5, api(96), V, kInitTask, 0},
        {5, api(609), P, kInitTask, 0},
        {5, api(505), V, kOk, 0},
        {5, api(506), P, kOk, 0},
        {5, api(637), P, "", 0},
        {5, api(638), P, "", 0},
        {5, api(637), V, std::string(kPoolDirty) + "\n" + kFailed, 1},
        {5, api(642), P,
         "\nFailed to enable Orvexa write cache on the controller. Please make sure controller has "
         "the backup unit before enabling Orvexa write caching\n",
         0},
        {5, api(644), P,
         "\nThe Controller cannot detect attached devices.\n" + std::string(kFailed), 1},
        {5, api(644), V, "API failure occurred (0x284)\n" + std::string(kFailed), 1},
        {5, api(7), P, "One of the parameters specified is invalid.\n" + std::string(kFailed), 1},
        {5, Ret(-7), V, "The requested action has timed out\n" + std::string(kFailed), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "result " << c.result << " api " << c.codes.getAPIReturn()
                     << (c.column == P ? " program" : " provider"));
        discardOutputData();
        EXPECT_EQ(applyResultTable(c.result, c.codes, "CREATE", c.column), c.value);
        EXPECT_EQ(retString, c.message);
    }
}

TEST_F(ResultTableTest, LibraryFailureIsLoggedUnderTheKeyword)
{
    applyResultTable(5, api(7), "SETSTATE", ResultColumn::Program);
    EXPECT_EQ(logEntries(errorLog()).at(0),
              "VYNCONF SETSTATE ERROR: One of the parameters specified is invalid.");
}

TEST_F(ResultTableTest, EventEntryNamesTheOutcome)
{
    const struct {
        int result;
        Ret codes;
        const char* action;
        const char* entry;  // null: no entry
    } cases[] = {
        {0, Ret(-1), "", "Status: success, ReturnCode: 0x0"},
        {1, Ret(-1), "", "Status: failure, ReturnCode: 0x1"},
        {2, Ret(-1), "", "Status: aborted, ReturnCode: 0x2"},
        {3, Ret(-1), "", "Status: invalid arguments, ReturnCode: 0x3"},
        {4, Ret(-1), "", "Status: unsupported, ReturnCode: 0x4"},
        {6, Ret(-1), "", "Status: invalid adapter, ReturnCode: 0x6"},
        {7, Ret(-1), "", nullptr},
        {8, Ret(-1), "", nullptr},
        {17, Ret(-1), "", "Status: failure, ReturnCode: 0x1"},
        {20, Ret(-1), "", "Status: Command failed., ReturnCode: 0x1"},
        {21, Ret(-1), "",
         "Status: Command completed successfully. No reboot required., ReturnCode: 0x0"},
        {22, Ret(-1), "",
         "Status: Command completed successfully. Reboot required., ReturnCode: 0x2"},
        {5, Ret(0), "", "Status: success, ReturnCode: 0x0"},
        {5, api(609), "", "Status: success, ReturnCode: 0x0"},
        {5, api(587), "", "Status: failure, ReturnCode: 0x10"},
        {5, api(590), "", "Status: failure, ReturnCode: 0x10"},
        {5, api(7), "", "Status: failure, ReturnCode: 0x1"},
        {0, Ret(-1), "Flash controller 1", "Flash controller 1, Status: success, ReturnCode: 0x0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result);
        std::remove(hostFile("/var/log/UcliEvt.log").c_str());
        returnCodes = c.codes;
        std::snprintf(logEntryAction, sizeof logEntryAction, "%s", c.action);
        writeEventLogEntry(c.result);
        if (c.entry == nullptr) {
            EXPECT_FALSE(fileExists(hostFile("/var/log/UcliEvt.log")));
        } else {
            EXPECT_THAT(logEntries(eventLog()), ElementsAre(c.entry));
        }
    }
}

TEST_F(ResultTableTest, LongActionTextIsCutToItsLimit)
{
    std::memset(logEntryAction, 'a', LOG_ENTRY_ACTION_MAX);
    logEntryAction[LOG_ENTRY_ACTION_MAX] = '\0';
    writeEventLogEntry(0);
    EXPECT_THAT(logEntries(eventLog()), ElementsAre(std::string(LOG_ENTRY_ACTION_MAX, 'a') +
                                                    ", Status: success, ReturnCode: 0x0"));
}

}  // namespace
