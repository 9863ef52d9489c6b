#ifndef VYN_TESTS_CLI_ACTIONCOMMANDTEST_H
#define VYN_TESTS_CLI_ACTIONCOMMANDTEST_H

#include <cstdio>
#include <string>
#include <vector>

#include "CommandTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vyntest {

// A test of a command that changes the configuration: the calls of one run,
// each shown on an output of its own.
class ActionCommandTest : public CommandTest {
protected:
    // The run's exit code and the calls it made, from an empty call log.
    int runCounting(const std::vector<std::string>& words)
    {
        scenario->clearCalls();
        int code = -1;
        runShown(words, code);
        return code;
    }

    // Runs `command` on controller 1 with `words` after it; expects its exit
    // code, the text it shows (when `shown` is given) and all the calls it
    // made.
    void expectOutcome(const char* command, const std::vector<std::string>& words, int exitCode, const char* shown,
                       const std::vector<std::string>& expectedCalls)
    {
        std::vector<std::string> line{command, "1"};
        line.insert(line.end(), words.begin(), words.end());
        int code = -1;
        const std::string text = runShown(line, code);
        EXPECT_EQ(code, exitCode);
        if (shown != nullptr) {
            EXPECT_THAT(text, ::testing::HasSubstr(shown));
        }
        EXPECT_THAT(calls(), ::testing::ElementsAreArray(expectedCalls));
    }
};

}  // namespace vyntest

#endif
