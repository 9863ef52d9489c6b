// Flash requests: SCSI-class requests of command 0x10610299 and sub-command
// 0x52 whose data is u32 first argument, u32 second argument, u32 operation
// and 224 data bytes; the reply comes back in the same place.
//
// The requests name no image: the simulated firmware learns an image's
// identifier and revision from the image itself, from a component header
// in its first 16 bytes (u32 0x4D494656 "VFIM", u32 identifier below 1000,
// then dash, type, minor, major and the u32 build). An image without it is
// kept under the identifier of its start code, 1 (0x1205A) or 2 (0x1206D).
// A read-back reads the image last completed with the matching start code.
#include "platform/hostsim/fw/Flash.h"

#include "platform/hostsim/Bytes.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kCommand = 0x10610299;
constexpr uint32_t kSubCommand = 0x52;

// SCSI-class reply: status in word 0, data from payload byte 20.
constexpr size_t kData = 20;
constexpr uint32_t kOk = 0;
constexpr uint32_t kFailed = 1;

constexpr size_t kRecordBytes = 236;
constexpr size_t kChunkAt = 12;
constexpr uint32_t kChunkBytes = 224;
// The largest image a transfer takes: the library's whole image buffer.
constexpr uint32_t kMaxImage = 0xA40000;

constexpr uint32_t kOpPciIds = 0x11;
constexpr uint32_t kOpStart = 0x1205A;
constexpr uint32_t kOpStartAlt = 0x1206D;
constexpr uint32_t kOpWrite = 0x12033;
constexpr uint32_t kOpComplete = 0x12066;
constexpr uint32_t kOpRead = 0x12078;
constexpr uint32_t kOpReadAlt = 0x120C8;

constexpr uint32_t kComponentMagic = 0x4D494656;
constexpr size_t kComponentBytes = 16;
constexpr uint32_t kMaxIdentifier = 999;  // state keys carry at most three digits

void fail(FibCall& call, const char* why)
{
    call.setWord(0, kFailed);
    call.reject(why);
}

// Start code 0x1205A and read-back code 0x12078 share slot 0, the others slot 1.
size_t slotOf(uint32_t code) { return code == kOpStart || code == kOpRead ? 0 : 1; }

void complete(FibCall& call)
{
    ControllerState& c = call.controller();
    ControllerState::FlashTransfer& t = c.flashTransfer;
    if (!t.open)
        return fail(call, "no flash transfer open");
    const size_t slot = slotOf(t.startCode);
    uint32_t id = static_cast<uint32_t>(slot + 1);
    const uint8_t* head = t.bytes.data();
    if (t.bytes.size() >= kComponentBytes && getLe32(head) == kComponentMagic && getLe32(head + 4) <= kMaxIdentifier) {
        id = getLe32(head + 4);
        c.staged.dash = head[8];
        c.staged.minor = head[10];
        c.staged.major = head[11];
        c.staged.build = getLe32(head + 12);
        c.staged.hasBuild = true;
    }
    ControllerState::FlashImage& image = c.flash[id];
    image.bytes = std::move(t.bytes);
    image.digest = flashDigest(image.bytes);
    c.flashRead[slot] = id;
    t = ControllerState::FlashTransfer();
    call.markChanged();
}

void flashRequest(FibCall& call)
{
    ControllerState& c = call.controller();
    if (call.payloadSize() < kData + kRecordBytes) {
        call.setWord(0, kFailed);
        return call.reject("flash record does not fit");
    }
    uint8_t* r = call.payload() + kData;
    const uint32_t first = getLe32(r);
    const uint32_t second = getLe32(r + 4);
    const uint32_t op = getLe32(r + 8);
    const bool flash = call.word(3) == kCommand;
    std::memset(call.payload(), 0, kData);
    if (!flash)
        return fail(call, "not a flash command");
    c.flashRequests.push_back({op, first, second});
    switch (op) {
    case kOpPciIds:
        std::memset(r, 0, kRecordBytes);
        putLe32(r, c.pciIds[1] << 16 | (c.pciIds[0] & 0xFFFF));
        putLe32(r + 4, c.pciIds[3] << 16 | (c.pciIds[2] & 0xFFFF));
        return;
    case kOpStart:
    case kOpStartAlt:
        if (second == 0 || second > kMaxImage)
            return fail(call, "flash image length out of range");
        c.flashTransfer.open = true;
        c.flashTransfer.startCode = op;
        c.flashTransfer.bytes.assign(second, 0);
        return;
    case kOpWrite: {
        ControllerState::FlashTransfer& t = c.flashTransfer;
        if (!t.open)
            return fail(call, "no flash transfer open");
        if (second > kChunkBytes || first > t.bytes.size() || second > t.bytes.size() - first)
            return fail(call, "flash chunk outside the image");
        std::memcpy(t.bytes.data() + first, r + kChunkAt, second);
        return;
    }
    case kOpComplete:
        return complete(call);
    case kOpRead:
    case kOpReadAlt: {
        auto it = c.flash.find(c.flashRead[slotOf(op)]);
        if (it == c.flash.end())
            return fail(call, "no flash image to read");
        const std::vector<uint8_t>& bytes = it->second.bytes;
        if (second > kChunkBytes || first > bytes.size() || second > bytes.size() - first)
            return fail(call, "read-back outside the image");
        std::memset(r + kChunkAt, 0, kChunkBytes);
        std::memcpy(r + kChunkAt, bytes.data() + first, second);
        return;
    }
    default:
        return fail(call, "unknown flash operation");
    }
}

}  // namespace

void registerFlashHandlers(Dispatcher& dispatcher) { dispatcher.add(HandlerKind::Class3, kSubCommand, flashRequest); }

}  // namespace vyn::hostsim
