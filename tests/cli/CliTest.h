#ifndef VYN_TESTS_CLI_CLITEST_H
#define VYN_TESTS_CLI_CLITEST_H

#include <cstdio>
#include <string>
#include <vector>

#include "support/HostRootTest.h"

namespace vyntest {

// A host root of its own, the engine state as at load, and the router's real
// streams pointed at temporary files that the test reads back.
class CliTest : public HostRootTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string realOut() const;
    std::string realErr() const;
    std::string eventLog() const { return readFile(hostFile("/var/log/UcliEvt.log")); }
    std::string errorLog() const { return readFile(hostFile("/var/log/UcliErr.log")); }

    FILE* out = nullptr;
    FILE* err = nullptr;

private:
    FILE* previousOut_ = nullptr;
    FILE* previousErr_ = nullptr;
};

std::string readStream(FILE* stream);
std::vector<std::string> lines(const std::string& text);
// The lines after the counter line, each without its 26-character stamp.
std::vector<std::string> logEntries(const std::string& log);
// The number on the counter line, or -1 when it does not read as one.
long logCounter(const std::string& log);

}  // namespace vyntest

#endif
