// The transport's own FIBs: the pause query (FIB 704) and the chunked large
// transfer (FIB 907).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <algorithm>

namespace vyn::hostsim {

namespace {

// Large-transfer chunk, payload offsets.
constexpr size_t kChunkStatus = 0;
constexpr size_t kChunkType = 4;    // u16
constexpr size_t kChunkIndex = 6;   // u16
constexpr size_t kChunkTotal = 8;
constexpr size_t kChunkHandle = 12;
constexpr size_t kChunkCrc = 16;
constexpr size_t kChunkData = 20;
constexpr uint32_t kChunkRoom = 1996;
constexpr uint32_t kRefused = 5;
constexpr uint32_t kComplete = 6;
constexpr size_t kOpenTransfersMax = 4;

void isAdapterPaused(FibCall& call)
{
    ControllerState& c = call.controller();
    // A release (CT 66) takes effect once its delay has passed.
    if (c.paused && c.pauseReleaseAtMs != 0 && c.clockMs >= c.pauseReleaseAtMs) {
        c.paused = false;
        c.pauseReleaseAtMs = 0;
        call.markChanged();
    }
    call.clearPayload();
    call.setWord(0, call.controller().paused ? 1 : 0);
}

void largeTransfer(FibCall& call)
{
    if (call.payloadSize() < kChunkData + kChunkRoom) {
        call.reject("small_fib");
        call.setWord(0, kRefused);
        return;
    }
    ControllerState& c = call.controller();
    uint8_t* p = call.payload();
    const uint16_t type = getLe16(p + kChunkType);
    const uint32_t index = getLe16(p + kChunkIndex);
    const uint32_t total = getLe32(p + kChunkTotal);
    const uint64_t offset = static_cast<uint64_t>(index) * kChunkRoom;
    uint32_t handle = getLe32(p + kChunkHandle);
    auto refuse = [&](const char* why) {
        call.reject(why);
        call.setWord(0, kRefused);
    };
    if (total == 0 || offset >= total || (type != 1 && type != 2))
        return refuse("chunk");
    const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(kChunkRoom, total - offset));
    if (chunkCrc(p + kChunkData, length) != getLe32(p + kChunkCrc))
        return refuse("crc");
    if (type == 1) {
        if (c.transfers.size() >= kOpenTransfersMax)
            c.transfers.erase(c.transfers.begin());
        handle = c.nextTransfer++;
        if (c.nextTransfer == 0)
            c.nextTransfer = 1;
        c.transfers[handle] = total;
    } else {
        auto it = c.transfers.find(handle);
        if (it == c.transfers.end() || it->second != total)
            return refuse("handle");
    }
    const bool last = offset + length == total;
    if (last)
        c.transfers.erase(handle);
    call.setWord(0, last ? kComplete : 0);
    if (type == 1)
        call.setWord(1, handle);
}

}  // namespace

void registerTransportHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 704, isAdapterPaused);
    dispatcher.add(HandlerKind::Fib, 907, largeTransfer);
}

}  // namespace vyn::hostsim
