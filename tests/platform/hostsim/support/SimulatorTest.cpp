#include "platform/hostsim/support/SimulatorTest.h"

namespace vyntest {

void SimulatorTest::TearDown()
{
    sim_.reset();
    HostRootTest::TearDown();
}

vyn::hostsim::Simulator& SimulatorTest::startSimulator(const std::string& description)
{
    sim_.reset();
    sim_ = std::make_unique<vyn::hostsim::Simulator>(description);
    sim_->install();
    return *sim_;
}

vyn::hostsim::Simulator& SimulatorTest::startFixture(const std::string& fileName)
{
    sim_.reset();
    sim_ = vyn::hostsim::Simulator::fromFile(fixturePath(fileName));
    sim_->install();
    return *sim_;
}

std::string SimulatorTest::fixturePath(const std::string& fileName)
{
    return std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/" + fileName;
}

}  // namespace vyntest
