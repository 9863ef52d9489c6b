#ifndef VYN_PLATFORM_HOSTSIM_SIMHOSTIO_H
#define VYN_PLATFORM_HOSTSIM_SIMHOSTIO_H

#include "Command/Vyn/os/HostIo.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/Faults.h"
#include "platform/hostsim/Provision.h"
#include "platform/hostsim/Trace.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/Dispatcher.h"
#include "platform/hostsim/fw/Enclosures.h"
#include "platform/hostsim/state/StateStore.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
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
    ssize_t write(int fd, const void* buf, size_t len) override;
    // A container's disk reads its image, zeros beyond (SimDisks.cpp).
    ssize_t read(int fd, void* buf, size_t len) override;
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
    // Tests: an enclosure-management handler for a command word.
    void addEnclosureHandler(uint32_t commandWord, EmHandler handler);
    std::vector<Request> requests() const;
    void clearRequests();
    void reset();
    std::vector<NodeEntry> nodes();
    // How often this simulator has read the node registry file.
    uint64_t nodeReads() const;
    uint64_t clockMs() const;
    void setSleepScale(unsigned percent) { sleepScale_.store(percent); }
    size_t openNodeCount() const;
    // Adapter-initiated FIBs: to every channel open on the controller in this
    // process, else to its pending list (at most 64, oldest dropped).
    void queueAif(unsigned adapter, const uint8_t* fib512);
    void raiseEvent(unsigned adapter, uint32_t code, const std::vector<uint32_t>& words,
                    const std::string& text = std::string());
    // Controller resets written to the host's reset files.
    unsigned resetCount(unsigned adapter) const;
    // BLKRRPART requests on the container disks.
    unsigned rereadCount() const { return rereadCount_; }
    // The disk name ("sdb") of a container the host sees, or "".
    std::string diskOf(unsigned adapter, unsigned container) const;
    // The drive at bus:target:lun fails now, as a drive that breaks does;
    // false when the controller has no such drive or it had failed.
    bool failDrive(unsigned adapter, uint32_t bus, uint32_t target, uint32_t lun = 0);
    // Simulated time passes, as a sleep of `ms` lets it pass, and what it
    // brings (tasks that end, rebuilds that follow) happens on every
    // controller and is saved: tests move the clock on between processes so.
    void advanceClock(uint64_t ms);
    const std::string& root() const { return root_; }
    const DriverConfig& driver() const { return driver_; }

private:
    enum class NodeKind { Adapter, Generic, Disk, ForeignDisk };
    struct OpenNode {
        std::string path;
        std::string name;
        unsigned controller;
        NodeKind kind = NodeKind::Adapter;
        unsigned device = 0;  // generic: index in devicesOf; disk: container
        uint64_t offset = 0;  // disk: where the next read starts
    };
    // What a write to a host file means.
    enum class Observed { Scan, ProcScsi, Reset };
    struct Watched {
        Observed what;
        unsigned host;
    };
    struct Channel {
        unsigned controller;
        int fd;
        std::vector<std::vector<uint8_t>> queue;
    };
    struct DeviceSlot {
        unsigned controller;
        size_t device;
    };
    int closeChannel(uint32_t id, Request& r);
    // A poke fault on a driver record of fixed size, after the answer.
    void pokeRecord(unsigned long request, uint8_t* bytes, const ArmedFault& fault);
    int transportIoctl(int fd, OpenNode& node, unsigned long request, void* arg, Request& r);
    int sendFib(ControllerState& c, uint8_t* bytes, size_t size, Request& r);
    int rawSrb(ControllerState& c, uint8_t* bytes, Request& r);
    int sgIo(OpenNode& node, void* arg, Request& r);
    int queryDisk(ControllerState& c, uint8_t* bytes, Request& r);
    // Hands the events the controller raised to its channels (true when some
    // wait in its pending list) and shows the disks it gave back.
    bool deliverRaised(ControllerState& c);
    // Moves the controller's clock on by what passed in this process.
    void bringClockUp(ControllerState& c);
    // Runs `act` on the controller outside any request, as a request runs:
    // the clock brought up, tasks settled, events delivered, state saved.
    bool actOnController(unsigned adapter, const std::function<bool(ControllerState&)>& act);
    int deleteDisk(ControllerState& c, uint8_t* bytes, Request& r);
    void registerDevices();
    // A node mknod registers, with the mode of its placeholder file.
    struct GatheredNode {
        NodeEntry entry;
        mode_t mode = 0;
    };
    // Registers those of `wanted` not registered yet, in one change of the
    // registry, each with its placeholder; returns how many it added.
    size_t registerNodes(const std::vector<GatheredNode>& wanted);
    // Binds an sg or sd node to its device; false when none answers there.
    bool bindDeviceNode(const NodeEntry& node, OpenNode& bind);
    // Remembers a host file whose writes the host acts on.
    void watchHostFile(int fd, const char* path);
    void forgetDescriptor(int fd);
    void exposeContainer(unsigned controller, unsigned container);
    void hideContainer(unsigned controller, unsigned container);
    void observeWrite(const Watched& w, const std::string& text);
    unsigned hostOf(unsigned controller) const { return driver_.firstHost + controller; }
    // The cdb fault acting on this command, applied to its result.
    bool applyCdbFault(unsigned controller, uint8_t opcode, CdbResult& result, ArmedFault& hit);
    bool findNode(const std::string& path, NodeEntry& out);
    void record(const Request& r);
    void seedControllers();
    int fail(Request& r, int error);
    // False when no fault is armed for the controller (-1: none bound) or for
    // none: the call need not describe itself for the match.
    bool faultsArmed(int controller);
    // The fault acting on this call, if any (controller -1: none bound).
    bool faultFor(int controller, const std::string& trigger, const std::string& argument, ArmedFault& out);

    std::string text_;
    std::string source_;
    std::string message_;
    std::string root_;
    DriverConfig driver_;
    bool persist_ = true;
    uint64_t seed_ = 0;
    std::map<unsigned, ControllerState> initial_;
    std::map<unsigned, ControllerState> controllers_;
    std::unique_ptr<StateStore> store_;
    Dispatcher dispatcher_;
    std::vector<ArmedFault> globalFaults_;  // faults bound to no controller
    mutable std::recursive_mutex mutex_;
    std::map<int, OpenNode> open_;
    std::deque<Request> requests_;
    std::string traceFile_;
    std::atomic<unsigned> sleepScale_{100};
    std::atomic<uint64_t> clockMs_{0};
    // Per controller, the process clock its clock was last brought up to.
    std::map<unsigned, uint64_t> clockSeen_;
    bool realClock_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    // While set (at start-up), mknod gathers its nodes here for one batch.
    std::vector<GatheredNode>* gathering_ = nullptr;
    std::vector<DeviceSlot> generic_;                     // /dev/sgM -> device
    // (controller, container) -> the host's disk number k: sda is 0, the host's
    // own; /dev/<diskName(k)> is b 8 16k.
    std::map<std::pair<unsigned, unsigned>, unsigned> sdDisk_;
    std::map<int, Watched> watched_;
    std::map<uint32_t, Channel> channels_;
    uint32_t nextChannel_ = 1;
    std::map<unsigned, unsigned> resets_;
    unsigned rereadCount_ = 0;
};

// VYN_SIMULATOR's value: "default" or the path of a description file.
std::unique_ptr<HostIo> makeSimHostIo(const char* selection);

}  // namespace vyn::hostsim

#endif
