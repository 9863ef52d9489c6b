#ifndef VYN_TESTS_CLI_ACTIONCOMMANDTEST_H
#define VYN_TESTS_CLI_ACTIONCOMMANDTEST_H

#include <cstdio>
#include <string>
#include <vector>

#include "CommandTest.h"

namespace vyntest {

// A test of a command that changes the configuration: what the program
// shows for one run, on an output of its own.
class ActionCommandTest : public CommandTest {
protected:
    std::string runShown(const std::vector<std::string>& words, int& code)
    {
        std::FILE* previous = out;
        out = std::tmpfile();
        code = run(words);
        const std::string text = realOut();
        std::fclose(out);
        out = previous;
        return text;
    }

    // The run's exit code and the calls it made, from an empty call log.
    int runCounting(const std::vector<std::string>& words)
    {
        scenario->clearCalls();
        int code = -1;
        runShown(words, code);
        return code;
    }
};

}  // namespace vyntest

#endif
