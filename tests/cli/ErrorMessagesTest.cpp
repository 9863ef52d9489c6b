#include "CliTest.h"

#include "cli/ErrorMessages.h"
#include "common/ApiErrorTable.h"
#include "common/Ret.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace vyntest;
using ::testing::ElementsAre;

namespace {

class ErrorMessagesTest : public CliTest {};

Ret withCode(int code)
{
    return Ret(code);
}

Ret apiFailure(unsigned int status)
{
    Ret ret;
    ret.setApiError(status);
    return ret;
}

Ret parameterFailure(unsigned int status)
{
    Ret ret = apiFailure(status);
    ret.setReturn(-2);
    return ret;
}

TEST_F(ErrorMessagesTest, TextFollowsTheReturnCodeAndItsStatus)
{
    const struct {
        Ret ret;
        const char* text;
    } cases[] = {
        {apiFailure(7), "One of the parameters specified is invalid."},
        {apiFailure(26), "API failure occurred (0x1a)"},
        {apiFailure(1000), "API failure occurred (0x3e8)"},
        {apiFailure(582), "ERROR TEXT: Could not translate message to its text description."},
        {apiFailure(999), "Cannot delete a partitioned logical device."},
        {apiFailure(637),
         "Addition of SSD to Orvexa pool is not allowed because Orvexa is having dirty data. "
         "Please disable the Orvexa write-back caching on all logical devices and try later.\n\n"},
        {withCode(-4), " "},
        {withCode(0), "Unsupported Error (unknown failure)"},
        {withCode(3), "Unsupported Error (unknown failure)"},
        {withCode(-17), "Unsupported Error (unknown failure)"},
        {withCode(-101), "Unsupported Error (unknown failure)"},
        {withCode(-1), "The requested action is not supported"},
        {withCode(-3), "Unsupported Error (resource failure)"},
        {withCode(-7), "The requested action has timed out"},
        {withCode(-13), "Unsupported Error (exception thrown)"},
        {withCode(-16), "Unsupported Error (invalid command/buffer)"},
        {withCode(-100), "Unsupported Error (parse error)"},
        {parameterFailure(30), "Specified driver(s) do not match any currently installed device."},
        {parameterFailure(31), "Specified driver file does not exist."},
        {parameterFailure(7), "Parameter Check failure occured (0x7)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        char message[CLI_ERROR_MESSAGE_SIZE];
        EXPECT_STREQ(getErrorMessage(c.ret, message, "CREATE"), c.text);
    }
    char message[CLI_ERROR_MESSAGE_SIZE];
    EXPECT_STREQ(setIOCTLErrorMessage(0x2a, message), "IOCTL failure occurred (0x2a)");
}

TEST_F(ErrorMessagesTest, EveryReturnCodeWithoutFurtherNumberHasItsOwnText)
{
    // Codes -2, -4 and -5 take their text from a further number, tested above.
    const std::map<int, std::string> texts = {
        {-1, "The requested action is not supported"},
        {-3, "Unsupported Error (resource failure)"},
        {-6, "Unsupported Error (busy failure)"},
        {-7, "The requested action has timed out"},
        {-8, "Unsupported Error (parameter limit failure)"},
        {-9, "Unsupported Error (general failure)"},
        {-10, "Unsupported Error (more info)"},
        {-11, "Unsupported Error (uninitialized)"},
        {-12, "Unsupported Error (object not found)"},
        {-13, "Unsupported Error (exception thrown)"},
        {-14, "Unsupported Error (output overflow)"},
        {-15, "Unsupported Error (debug overflow)"},
        {-16, "Unsupported Error (invalid command/buffer)"},
        {-100, "Unsupported Error (parse error)"},
    };
    for (int code = -120; code <= 20; ++code) {
        if (code == -2 || code == -4 || code == -5)
            continue;
        SCOPED_TRACE(code);
        const auto row = texts.find(code);
        char message[CLI_ERROR_MESSAGE_SIZE];
        EXPECT_STREQ(getErrorMessage(withCode(code), message, "X"),
                     row != texts.end() ? row->second.c_str()
                                        : "Unsupported Error (unknown failure)");
    }
}

TEST_F(ErrorMessagesTest, EngineTableHoldsExactlyItsOwnCodes)
{
    const std::set<unsigned> removed = {26,  52,  185, 283, 297, 304, 311, 460, 500, 501,
                                        521, 536, 537, 538, 539, 541, 544, 550, 572, 580};
    std::size_t rows = 0;
    for (unsigned key = 0; key <= 1000; ++key) {
        const bool expected = (key <= 618 && removed.count(key) == 0) || key == 637 ||
                              key == 638 || key == 999;
        EXPECT_EQ(cliApiErrorTable().find(key) != nullptr, expected) << key;
        rows += cliApiErrorTable().find(key) != nullptr;
    }
    EXPECT_EQ(rows, 602u);
    // The shared table keeps its own rows.
    EXPECT_NE(apiErrorTable().find(26), nullptr);
    EXPECT_EQ(apiErrorTable().find(637), nullptr);
}

TEST_F(ErrorMessagesTest, PoolTextsEndWithTwoLineFeeds)
{
    for (int status : {637, 638}) {
        char message[CLI_ERROR_MESSAGE_SIZE];
        const std::string text = setAPIErrorMessage(status, message);
        EXPECT_EQ(text.substr(text.size() - 3), ".\n\n") << status;
    }
}

TEST_F(ErrorMessagesTest, FailureIsLoggedWithItsContextAndRecord)
{
    char message[CLI_ERROR_MESSAGE_SIZE];
    getErrorMessage(apiFailure(7), message, "SETCACHE");
    EXPECT_THAT(logEntries(errorLog()),
                ElementsAre("VYNCONF SETCACHE ERROR: One of the parameters specified is invalid.",
                            "** Return structure details **",
                            "   ReturnCode()          = 0xfffffffb",
                            "   APIReturnCode()       = 0x7"));
    EXPECT_EQ(realOut(), "");
    EXPECT_EQ(realErr(), "");
}

}  // namespace
