#ifndef VYN_PLATFORM_HOSTSIM_FW_CONTAINERTRANSPORT_H
#define VYN_PLATFORM_HOSTSIM_FW_CONTAINERTRANSPORT_H

#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vyn::hostsim {

// A class-2 container request as a handler sees it.
struct CtRequest {
    uint32_t code = 0;
    uint32_t param[3] = {0, 0, 0};
    const uint8_t* input = nullptr;
    size_t inputSize = 0;  // Size less the eight request words, bounded by the FIB
    uint32_t capacity = 0; // reply capacity, word 7 without bit 31
    bool capacityFlag = false;  // bit 31 of word 7
};

// What a handler answers: the container status, result words 1 and 2 and all
// its data. The transport writes words 0, 1, 5 and 6 and decides the packet
// form; a handler never does.
struct CtReply {
    uint32_t status = 0;
    uint32_t result1 = 0;
    uint32_t result2 = 0;
    std::vector<uint8_t> data;
    // Set when the controller does not know the command after all (an older
    // controller): the transport gives the unknown-code answer instead.
    bool unknown = false;
};

using CtHandler = std::function<void(ControllerState&, const CtRequest&, CtReply&)>;

// Registers a class-2 handler behind the container transport.
void addCtHandler(Dispatcher& dispatcher, uint32_t code, CtHandler handler);
// The same for the container requests of another class (21: controller logs).
void addCtHandler(Dispatcher& dispatcher, HandlerKind kind, uint32_t code, CtHandler handler);
// Answers one class-2 request with `handler` in place, for registrations that
// wrap the answer (for instance to look at the reply as it finally leaves).
void answerCt(FibCall& call, uint32_t code, const CtHandler& handler);
// Keeps the request in the controller's captured list, for tests to read.
void keepCtRequest(ControllerState& c, const CtRequest& q);
// Keeps `data` as a 201-form transfer for CT 83; its handle.
uint32_t openCtTransfer(ControllerState& c, std::vector<uint8_t> data);

// The transport's own codes: packets of a long reply, and its close.
constexpr uint32_t kCtContinueData = 83;
constexpr uint32_t kCtStopData = 84;
constexpr uint32_t kCtTransferDone = 198;
constexpr uint32_t kCtMultiPacketFirstInReply = 200;
constexpr uint32_t kCtMultiPacket = 201;
constexpr size_t kCtPacket201 = 432;
constexpr size_t kMaxOpenTransfers = 4;

}  // namespace vyn::hostsim

#endif
