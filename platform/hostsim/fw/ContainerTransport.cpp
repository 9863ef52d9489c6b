// The class-2 container transport: single replies, long replies kept under a
// transfer handle and fetched with CT 83 (both forms), and their close, CT 84.
#include "platform/hostsim/fw/ContainerTransport.h"

#include "platform/hostsim/Bytes.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kSingleReply = 0xFFFFFFFFu;
constexpr uint32_t kCapacityFlag = 0x80000000u;
constexpr size_t kRequestWords = 32;  // eight words before the data

// Reply words.
constexpr size_t kTransport = 0;
constexpr size_t kEcho = 1;
constexpr size_t kStatus = 2;
constexpr size_t kResult1 = 3;
constexpr size_t kResult2 = 4;
constexpr size_t kHandle = 5;
constexpr size_t kIndexOrPacket = 6;
constexpr size_t kCapacity = 7;

size_t dataRoom(const FibCall& call)
{
    return call.payloadSize() > kRequestWords ? call.payloadSize() - kRequestWords : 0;
}

void transportFailure(FibCall& call, const char* reason)
{
    const uint32_t echo = call.word(kEcho);
    call.clearPayload();
    call.setWord(kTransport, 1);
    call.setWord(kEcho, echo);
    call.reject(reason);
}

ControllerState::CtTransfer* findTransfer(ControllerState& c, uint32_t handle)
{
    for (ControllerState::CtTransfer& t : c.ctTransfers)
        if (t.handle == handle)
            return &t;
    return nullptr;
}

void forget(ControllerState& c, uint32_t handle)
{
    c.ctTransfers.erase(std::remove_if(c.ctTransfers.begin(), c.ctTransfers.end(),
                                     [handle](const ControllerState::CtTransfer& t) { return t.handle == handle; }),
                      c.ctTransfers.end());
}

// The packet size a status-200 transfer uses once its first reply has left:
// word 6 as the library reads it, 0 meaning one byte, cut to the data room.
uint32_t effectivePacket(uint32_t announced, size_t room)
{
    const uint32_t size = announced == 0 ? 1 : announced;
    return static_cast<uint32_t>(std::min<size_t>(size, room == 0 ? 1 : room));
}

void answer(FibCall& call, uint32_t code, const CtHandler& handler)
{
    ControllerState& c = call.controller();
    CtRequest req;
    req.code = code;
    for (size_t i = 0; i < 3; ++i)
        req.param[i] = call.word(2 + i);
    req.capacity = call.word(kCapacity) & ~kCapacityFlag;
    req.capacityFlag = (call.word(kCapacity) & kCapacityFlag) != 0;
    const size_t size = getLe16(call.payload() - kFibHeaderSize + kFibSize);
    req.input = call.payload() + kRequestWords;
    req.inputSize = size > kRequestWords ? std::min(size - kRequestWords, dataRoom(call)) : 0;
    // The handler may read the input while the reply is built elsewhere.
    const std::vector<uint8_t> input(req.input, req.input + req.inputSize);
    req.input = input.data();

    // Handlers change the controller through its state; what a state file
    // would show differently afterwards must be saved.
    const uint64_t before = c.savedDigest();
    CtReply rep;
    handler(c, req, rep);
    if (c.savedDigest() != before)
        call.markChanged();
    if (rep.unknown) {
        transportFailure(call, "unhandled");
        return;
    }

    const size_t room = dataRoom(call);
    call.clearPayload();
    call.setWord(kTransport, 0);
    call.setWord(kEcho, code);
    call.setWord(kStatus, rep.status);
    call.setWord(kResult1, rep.result1);
    call.setWord(kResult2, rep.result2);
    if (rep.data.size() <= room) {
        call.setWord(kHandle, kSingleReply);
        if (!rep.data.empty())
            std::memcpy(call.payload() + kRequestWords, rep.data.data(), rep.data.size());
        return;
    }

    // A long reply: keep it for its packets; a fifth transfer drops the oldest.
    if (c.ctTransfers.size() >= kMaxOpenTransfers)
        c.ctTransfers.erase(c.ctTransfers.begin());
    ControllerState::CtTransfer t;
    t.handle = c.nextCtTransfer++;
    if (c.nextCtTransfer == kSingleReply || c.nextCtTransfer < 0x100)
        c.nextCtTransfer = 0x100;
    t.form = c.multipacket == kCtMultiPacketFirstInReply ? kCtMultiPacketFirstInReply : kCtMultiPacket;
    t.data = std::move(rep.data);
    const uint32_t total = static_cast<uint32_t>(t.data.size());
    call.setWord(kStatus, t.form);
    call.setWord(kResult1, total);
    call.setWord(kResult2, rep.result2);
    call.setWord(kHandle, t.handle);
    if (t.form == kCtMultiPacketFirstInReply) {
        t.packetSize = effectivePacket(c.packetSize, room);
        call.setWord(kIndexOrPacket, c.packetSize);
        const size_t first = std::min<size_t>({t.data.size(), t.packetSize, room});
        std::memcpy(call.payload() + kRequestWords, t.data.data(), first);
    } else {
        t.packetSize = kCtPacket201;
    }
    const uint32_t handle = t.handle;
    const uint32_t form = t.form;
    c.ctTransfers.push_back(std::move(t));
    // A fault may rewrite the announced packet size after this point; the
    // transfer then serves the size the library will read.
    if (form == kCtMultiPacketFirstInReply)
        call.onFinal([handle, room](FibCall& final) {
            if (ControllerState::CtTransfer* kept = findTransfer(final.controller(), handle))
                kept->packetSize = effectivePacket(final.word(kIndexOrPacket), room);
        });
}

void continueData(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t handle = call.word(kHandle);
    const uint32_t index = call.word(kIndexOrPacket);
    ControllerState::CtTransfer* t = findTransfer(c, handle);
    if (t == nullptr) {
        transportFailure(call, "transfer_handle");
        return;
    }
    const uint64_t offset = static_cast<uint64_t>(index) * t->packetSize;
    const size_t room = dataRoom(call);
    call.clearPayload();
    call.setWord(kEcho, kCtContinueData);
    call.setWord(kHandle, handle);
    call.setWord(kIndexOrPacket, index);
    if (offset >= t->data.size()) {
        call.reject("packet_index");
        return;
    }
    const size_t n = std::min<size_t>({t->data.size() - offset, t->packetSize, room});
    std::memcpy(call.payload() + kRequestWords, t->data.data() + offset, n);
    call.setWord(kResult1, static_cast<uint32_t>(n));
    // The status-200 form closes itself after its last packet.
    if (t->form == kCtMultiPacketFirstInReply && offset + n >= t->data.size())
        forget(c, handle);
}

void stopData(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t handle = call.word(kHandle);
    if (findTransfer(c, handle) == nullptr) {
        transportFailure(call, "transfer_handle");
        return;
    }
    forget(c, handle);
    call.clearPayload();
    call.setWord(kEcho, kCtStopData);
    call.setWord(kStatus, kCtTransferDone);
    call.setWord(kHandle, kSingleReply);
}

}  // namespace

void addCtHandler(Dispatcher& dispatcher, HandlerKind kind, uint32_t code, CtHandler handler)
{
    dispatcher.add(kind, code, [code, h = std::move(handler)](FibCall& call) { answer(call, code, h); });
}

uint32_t openCtTransfer(ControllerState& c, std::vector<uint8_t> data)
{
    if (c.ctTransfers.size() >= kMaxOpenTransfers)
        c.ctTransfers.erase(c.ctTransfers.begin());
    ControllerState::CtTransfer t;
    t.handle = c.nextCtTransfer++;
    if (c.nextCtTransfer == kSingleReply || c.nextCtTransfer < 0x100)
        c.nextCtTransfer = 0x100;
    t.form = kCtMultiPacket;
    t.packetSize = kCtPacket201;
    t.data = std::move(data);
    const uint32_t handle = t.handle;
    c.ctTransfers.push_back(std::move(t));
    return handle;
}

void answerCt(FibCall& call, uint32_t code, const CtHandler& handler) { answer(call, code, handler); }

void keepCtRequest(ControllerState& c, const CtRequest& q)
{
    ControllerState::CtCapture k;
    k.code = q.code;
    std::copy(q.param, q.param + 3, k.param);
    if (q.input != nullptr)
        k.input.assign(q.input, q.input + q.inputSize);
    c.captured.push_back(std::move(k));
}

void addCtHandler(Dispatcher& dispatcher, uint32_t code, CtHandler handler)
{
    dispatcher.add(HandlerKind::Class2, code, [code, h = std::move(handler)](FibCall& call) { answer(call, code, h); });
}

void registerContainerTransportHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Class2, kCtContinueData, continueData);
    dispatcher.add(HandlerKind::Class2, kCtStopData, stopData);
}

}  // namespace vyn::hostsim
