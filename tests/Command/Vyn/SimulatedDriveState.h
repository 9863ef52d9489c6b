// What the simulated controller keeps of its drives and tasks, read the way
// the drive-request tests assert on it.
#ifndef VYN_TESTS_COMMAND_VYN_SIMULATEDDRIVESTATE_H
#define VYN_TESTS_COMMAND_VYN_SIMULATEDDRIVESTATE_H

#include "platform/hostsim/Devices.h"
#include "platform/hostsim/Simulator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vyntest {

// The value of pair `name` on the line of drive n ("?" when there is no such
// drive); reading changes nothing.
inline std::string drivePairOf(vyn::hostsim::Simulator& sim, unsigned n, const std::string& name)
{
    const auto& lines = sim.controller(0).objects;
    const std::string key = "drive" + std::to_string(n);
    vyn::hostsim::DeviceView d;
    if (lines.count(key) == 0 || !vyn::hostsim::readDevice(key, lines.at(key), d))
        return "?";
    return d.pair(name);
}

// Jobs of the controller's tasks in id order.
inline std::vector<uint32_t> taskJobsOf(vyn::hostsim::Simulator& sim)
{
    std::vector<uint32_t> out;
    for (const auto& [id, t] : sim.controller(0).tasks)
        out.push_back(t.job);
    return out;
}

}  // namespace vyntest

#endif
