#ifndef VYN_PLATFORM_HOSTSIM_SIMHOSTIO_H
#define VYN_PLATFORM_HOSTSIM_SIMHOSTIO_H

#include "Command/Vyn/os/HostIo.h"
#include "platform/hostsim/Faults.h"
#include "platform/hostsim/Provision.h"
#include "platform/hostsim/Trace.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/Dispatcher.h"
#include "platform/hostsim/state/StateStore.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vyn::hostsim {

// The simulated ulbraid driver and its controllers, answering in-process.
// Everything that is not a simulated node (lock files, directories, the /proc
// and /sys text) goes to the real file system under the host root.
class SimHostIo : public RealHostIo {
public:
    // `source` names the description in messages ("default", a file path).
    // A non-empty `loadError` says the description could not be read.
    SimHostIo(const std::string& descriptionText, const std::string& source, const std::string& loadError = "");
    ~SimHostIo() override;

    int open(const char* path, int flags, mode_t mode = 0) override;
    int close(int fd) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    int ioctlValue(int fd, unsigned long request, unsigned long value) override;
    int stat(const char* path, struct stat* st) override;
    int mknod(const char* path, mode_t mode, dev_t dev) override;
    int unlink(const char* path) override;
    void sleepMs(unsigned ms) override;

    // For the test API.
    bool ok() const { return message_.empty(); }
    const std::string& message() const { return message_; }
    unsigned controllerCount() const { return static_cast<unsigned>(controllers_.size()); }
    ControllerState* controller(unsigned n);
    bool addFault(int adapter, const Fault& fault);
    // Tests: a class-2 handler for an otherwise unused CT code.
    void addCtHandler(uint32_t code, CtHandler handler);
    std::vector<Request> requests() const;
    void clearRequests();
    void reset();
    std::vector<NodeEntry> nodes();
    uint64_t clockMs() const { return clockMs_.load(); }
    void setSleepScale(unsigned percent) { sleepScale_.store(percent); }
    size_t openNodeCount() const;
    const std::string& root() const { return root_; }
    const DriverConfig& driver() const { return driver_; }

private:
    struct OpenNode {
        std::string path;
        std::string name;
        unsigned controller;
    };
    bool findNode(const std::string& path, NodeEntry& out);
    void record(const Request& r);
    void seedControllers();
    int fail(Request& r, int error);

    std::string text_;
    std::string source_;
    std::string message_;
    std::string root_;
    DriverConfig driver_;
    bool persist_ = true;
    uint64_t seed_ = 0;
    std::map<unsigned, ControllerState> initial_;
    std::map<unsigned, ControllerState> controllers_;
    std::vector<std::pair<int, Fault>> describedFaults_;
    std::unique_ptr<StateStore> store_;
    Dispatcher dispatcher_;
    FaultList faults_;
    mutable std::recursive_mutex mutex_;
    std::map<int, OpenNode> open_;
    std::vector<Request> requests_;
    std::string traceFile_;
    std::atomic<unsigned> sleepScale_{100};
    std::atomic<uint64_t> clockMs_{0};
};

// VYN_SIMULATOR's value: "default" or the path of a description file.
std::unique_ptr<HostIo> makeSimHostIo(const char* selection);

}  // namespace vyn::hostsim

#endif
