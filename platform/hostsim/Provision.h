#ifndef VYN_PLATFORM_HOSTSIM_PROVISION_H
#define VYN_PLATFORM_HOSTSIM_PROVISION_H

#include <string>

namespace vyn::hostsim {

struct DriverConfig {
    unsigned major = 250;
    bool sysfs = true;
    unsigned firstHost = 1;
    bool rawSrb = true;
};

// Writes the driver's /proc and /sys text under `root` for adapters 0 to
// `highestIndex` (-1: none). Each file is written only when absent, so a test
// can place its own variant first.
void provisionHostText(const std::string& root, const DriverConfig& driver, int highestIndex);

}  // namespace vyn::hostsim

#endif
