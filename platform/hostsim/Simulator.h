#ifndef VYN_PLATFORM_HOSTSIM_SIMULATOR_H
#define VYN_PLATFORM_HOSTSIM_SIMULATOR_H

#include "platform/hostsim/SimHostIo.h"

#include <memory>
#include <string>
#include <vector>

class ScopedHostIo;

namespace vyn::hostsim {

// Tests only: a simulator built from description text (or a file), over the
// host root in force when it is made, installed process-wide for its scope.
class Simulator {
public:
    explicit Simulator(const std::string& descriptionText, const std::string& source = "description");
    static std::unique_ptr<Simulator> fromFile(const std::string& path);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Makes this simulator the process's HostIo until uninstall() or the end.
    void install();
    void uninstall();

    bool ok() const { return io_->ok(); }
    const std::string& message() const { return io_->message(); }
    unsigned controllerCount() const { return io_->controllerCount(); }
    // The state of controller n; throws std::out_of_range when not described.
    ControllerState& controller(unsigned n);

    // False when the fault is malformed.
    bool addFault(unsigned adapter, const Fault& fault) { return io_->addFault(static_cast<int>(adapter), fault); }
    bool addFault(const Fault& fault) { return io_->addFault(-1, fault); }
    // A class-2 handler for an otherwise unused CT code, behind the container
    // transport: tests choose their reply sizes with it.
    void addCtHandler(uint32_t code, CtHandler handler) { io_->addCtHandler(code, std::move(handler)); }
    // An enclosure-management handler for a command word (command << 16 |
    // sub-command), behind the enclosure transport.
    void addEnclosureHandler(uint32_t commandWord, EmHandler handler)
    {
        io_->addEnclosureHandler(commandWord, std::move(handler));
    }
    std::vector<Request> requests() const { return io_->requests(); }
    // The trace lines of requests().
    std::vector<std::string> requestLines() const;
    void clearRequests() { io_->clearRequests(); }
    void reset() { io_->reset(); }

    // Lines of the node registry.
    std::vector<std::string> nodeLines();
    // How often the node registry file has been read since this simulator was made.
    uint64_t nodeReads() const { return io_->nodeReads(); }
    size_t openNodeCount() const { return io_->openNodeCount(); }
    uint64_t clockMs() const { return io_->clockMs(); }
    // Simulated time passes for every controller and what it brings is saved:
    // a simulator over the root of a run moves the clock on for the next run.
    void advanceClock(uint64_t ms) { io_->advanceClock(ms); }
    // The drive at bus:target:lun breaks now; false when there is none or it
    // had failed.
    bool failDrive(unsigned adapter, uint32_t bus, uint32_t target, uint32_t lun = 0)
    {
        return io_->failDrive(adapter, bus, target, lun);
    }
    void setSleepScale(unsigned percent) { io_->setSleepScale(percent); }

    // Adapter-initiated FIBs for the controller's event channels: raw 512
    // bytes, or a notification (payload word 0 = 1, word 2 = code, words
    // from word 3, then a text with its NUL).
    void queueAif(unsigned adapter, const uint8_t* fib512) { io_->queueAif(adapter, fib512); }
    void raiseEvent(unsigned adapter, uint32_t code, const std::vector<uint32_t>& words = {},
                    const std::string& text = std::string())
    {
        io_->raiseEvent(adapter, code, words, text);
    }
    unsigned resetCount(unsigned adapter) const { return io_->resetCount(adapter); }
    unsigned rereadCount() const { return io_->rereadCount(); }
    std::string diskOf(unsigned adapter, unsigned container) const { return io_->diskOf(adapter, container); }

    SimHostIo& io() { return *io_; }

private:
    Simulator(std::unique_ptr<SimHostIo> io);
    std::unique_ptr<SimHostIo> io_;
    std::unique_ptr<ScopedHostIo> installed_;
};

}  // namespace vyn::hostsim

#endif
