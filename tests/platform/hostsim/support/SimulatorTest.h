#ifndef VYN_TESTS_PLATFORM_HOSTSIM_SUPPORT_SIMULATORTEST_H
#define VYN_TESTS_PLATFORM_HOSTSIM_SUPPORT_SIMULATORTEST_H

#include "platform/hostsim/Simulator.h"
#include "support/HostRootTest.h"

#include <memory>
#include <string>

namespace vyntest {

// The fixture of every simulator test: its own host root and a Simulator
// over it, installed as the process's HostIo for the test.
class SimulatorTest : public HostRootTest {
protected:
    void TearDown() override;

    // Builds and installs a simulator from description text.
    vyn::hostsim::Simulator& startSimulator(const std::string& description);
    // The same from a file of tests/fixtures/hostsim/.
    vyn::hostsim::Simulator& startFixture(const std::string& fileName);

    vyn::hostsim::Simulator& sim() { return *sim_; }

    // Path of a fixture file.
    static std::string fixturePath(const std::string& fileName);

private:
    std::unique_ptr<vyn::hostsim::Simulator> sim_;
};

}  // namespace vyntest

#endif
