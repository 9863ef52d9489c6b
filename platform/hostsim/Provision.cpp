#include "platform/hostsim/Provision.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace vyn::hostsim {

namespace {

void writeIfAbsent(const std::string& path, const std::string& content)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

}  // namespace

void provisionHostText(const std::string& root, const DriverConfig& driver, int highestIndex)
{
    writeIfAbsent(root + "/proc/devices", "Character devices:\n  1 mem\n" + std::to_string(driver.major) +
                                              " ulbraid\n 21 sg\n\nBlock devices:\n  8 sd\n");
    writeIfAbsent(root + "/proc/scsi/scsi", "Attached devices:\n");
    const unsigned lastHost = highestIndex < 0 ? 0 : driver.firstHost + static_cast<unsigned>(highestIndex);
    if (driver.sysfs) {
        std::error_code ec;
        std::filesystem::create_directories(root + "/sys/bus/pci/drivers/ulbraid", ec);
        if (highestIndex < 0)
            return;
        for (unsigned h = 0; h <= lastHost; ++h) {
            const std::string dir = root + "/sys/class/scsi_host/host" + std::to_string(h);
            const bool ours = h >= driver.firstHost;
            writeIfAbsent(dir + "/proc_name", ours ? "ulbraid\n" : "sim_other\n");
            if (ours) {
                writeIfAbsent(dir + "/scan", "");
                writeIfAbsent(dir + "/reset_host", "");
                writeIfAbsent(dir + "/flags", "\n");
            }
        }
    } else {
        if (highestIndex < 0)
            return;
        for (unsigned h = driver.firstHost; h <= lastHost; ++h)
            writeIfAbsent(root + "/proc/scsi/ulbraid/" + std::to_string(h), "\n");
    }
}

}  // namespace vyn::hostsim
