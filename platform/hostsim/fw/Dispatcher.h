#ifndef VYN_PLATFORM_HOSTSIM_FW_DISPATCHER_H
#define VYN_PLATFORM_HOSTSIM_FW_DISPATCHER_H

#include "platform/hostsim/state/Controller.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vyn::hostsim {

// What selects a handler.
enum class HandlerKind {
    Fib,      // Command of the header, every command but 500
    Class2,   // FIB 500 word 0 = 2: CT code in word 1
    Class3,   // FIB 500 word 0 = 3: sub-command in word 4
    Class12,  // FIB 500 word 0 = 12: command << 16 | sub-command in word 1
    Class21,  // FIB 500 word 0 = 21: sub-operation in word 1
    Class23,  // FIB 500 word 0 = 23: CT code in word 1
    Class25,  // FIB 500 word 0 = 25
    Class26,  // FIB 500 word 0 = 26
    Aif,      // FIB 700: request in payload word 0
};

// One firmware request being answered in place.
class FibCall {
public:
    FibCall(ControllerState& controller, uint8_t* fib, size_t fibSize)
        : controller_(controller), fib_(fib), fibSize_(fibSize)
    {
    }

    ControllerState& controller() { return controller_; }
    uint16_t command() const;
    uint8_t* payload() { return fib_ + 32; }
    size_t payloadSize() const { return fibSize_ - 32; }
    // Payload words; out-of-range reads give 0 and writes are dropped.
    uint32_t word(size_t n) const;
    void setWord(size_t n, uint32_t value);
    void clearPayload();
    // The header's Size word, which some replies use to say how much they hold.
    void setSize(uint16_t size);

    // A handler that changed the controller's state says so, so that it is saved.
    void markChanged() { changed_ = true; }
    bool changed() const { return changed_; }
    // A request the handler refuses: the reason goes into the trace.
    void reject(std::string reason) { rejected_ = std::move(reason); }
    const std::string& rejected() const { return rejected_; }

    // Work that must see the reply as it finally leaves (after any fault has
    // rewritten it): run by finish(), once.
    void onFinal(std::function<void(FibCall&)> work) { final_.push_back(std::move(work)); }
    void finish()
    {
        for (auto& work : final_)
            work(*this);
        final_.clear();
    }

private:
    ControllerState& controller_;
    uint8_t* fib_;
    size_t fibSize_;
    bool changed_ = false;
    std::string rejected_;
    std::vector<std::function<void(FibCall&)>> final_;
};

using FibHandler = std::function<void(FibCall&)>;

// Every handler of one simulator, keyed by what selects it.
class Dispatcher {
public:
    void add(HandlerKind kind, uint32_t code, FibHandler handler);
    bool has(HandlerKind kind, uint32_t code) const;

    // Answers the FIB; false when no handler knew it (the unknown answer of
    // its kind was written instead).
    bool dispatch(FibCall& call) const;

private:
    const FibHandler* find(HandlerKind kind, uint32_t code) const;
    std::map<std::pair<HandlerKind, uint32_t>, FibHandler> handlers_;
};

// The one registration list (fw/Handlers.cpp): each area's registerXxx.
void registerAllHandlers(Dispatcher& dispatcher);

// Areas.
void registerIdentityHandlers(Dispatcher& dispatcher);
void registerTransportHandlers(Dispatcher& dispatcher);
void registerContainerTransportHandlers(Dispatcher& dispatcher);
void registerContainerInfoHandlers(Dispatcher& dispatcher);
void registerAdapterOpenHandlers(Dispatcher& dispatcher);
void registerControllerWideHandlers(Dispatcher& dispatcher);
void registerLogHandlers(Dispatcher& dispatcher);
void registerContainerHandlers(Dispatcher& dispatcher);
void registerContainerOpHandlers(Dispatcher& dispatcher);
void registerControllerObjectHandlers(Dispatcher& dispatcher);
void registerTaskHandlers(Dispatcher& dispatcher);
// Whether a task has ended (done, or ended by a command); other tasks are
// listed and hold their object.
bool taskFinished(const ControllerState::Task& t);
// Brings every running task's done count up to the controller's clock; true
// when any task changed.
bool advanceTasks(ControllerState& c);
// The job-progress FIBs the controller raises for the tasks that started,
// crossed a tenth or ended since `before`.
std::vector<std::vector<uint8_t>> taskProgressFibs(const std::map<uint32_t, ControllerState::Task>& before,
                                                   const ControllerState& c);
// Whether a drive job on the drive of firmware handle `handle` has not ended
// by the simulated clock (running or suspended).
bool driveHasTask(const ControllerState& c, uint32_t handle);
void registerContainerSplitHandlers(Dispatcher& dispatcher);

// The 64-byte record FIB 612 answers for adapter phy `index`.
std::vector<uint8_t> adapterPhyRecord(const ControllerState& c, uint32_t index);
void registerEnclosureHandlers(Dispatcher& dispatcher);
// Container and logical-drive creation requests (CT 179, 221, 237).
void registerCreationHandlers(Dispatcher& dispatcher);

// Status words the unknown answers use.
constexpr uint32_t kStatusNotSupported = 10004;

}  // namespace vyn::hostsim

#endif
