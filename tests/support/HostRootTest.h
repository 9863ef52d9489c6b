#ifndef VYN_TESTS_SUPPORT_HOSTROOTTEST_H
#define VYN_TESTS_SUPPORT_HOSTROOTTEST_H

#include <gtest/gtest.h>

#include <string>

namespace vyntest {

// Gives every test its own temporary host root with the system directories
// that the code expects (var/log, var/lock, tmp, dev, proc, sys, etc), so that
// tests never touch the machine's real directories and can run in parallel.
class HostRootTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Absolute path of `logical` (for example "/var/log/vyntrace.txt") under
    // this test's root.
    std::string hostFile(const std::string& logical) const;

    const std::string& root() const { return root_; }

    // A further host root at `path`, with the same directories, for a test
    // that runs several cases each on a controller of its own.
    static void makeHostRoot(const std::string& path);

private:
    std::string root_;
    std::string previousRoot_;
    bool hadPreviousRoot_ = false;
};

// Whole-file helpers for assertions.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

}  // namespace vyntest

#endif
