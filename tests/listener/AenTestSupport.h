#ifndef VYN_TESTS_LISTENER_AENTESTSUPPORT_H
#define VYN_TESTS_LISTENER_AENTESTSUPPORT_H

#include "support/HostRootTest.h"

#include <chrono>
#include <string>
#include <vector>

namespace aentest {

// A private host root with an install directory "<root>/opt/vyn/" named by
// VYNCONF_PATH, the test plug-ins linked into it, and the daemon state reset
// before and after each test.
class AenDaemonTest : public vyntest::HostRootTest {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& installDir() const { return installDir_; }
    void writeInstallFile(const std::string& name, const std::string& content) const;
    // Lines of "/var/log/vynlistend.log" and of the plug-in output file.
    std::vector<std::string> daemonLog() const;
    std::vector<std::string> pluginLines() const;
    bool logHas(const std::string& text) const;
    // Waits until the plug-in file holds `count` lines.
    bool waitForPluginLines(std::size_t count, std::chrono::milliseconds timeout) const;

    // The credential file in its scrambled form.
    static std::string credentialFile(const std::string& host, const std::string& port, const std::string& user,
                                      const std::string& password);

private:
    std::string installDir_;
};

std::vector<std::string> splitLines(const std::string& text);
void resetDaemonState();

}  // namespace aentest

#endif
