// Identity of a controller: the adapter information (FIB 703), the supplement
// adapter information (FIB 706) and the manufacturing serial reply (FIB 906).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <algorithm>
#include <cstring>

namespace vyn::hostsim {

namespace {

// Adapter information reply, payload offsets.
constexpr size_t kAiPlatform = 0;
constexpr size_t kAiClockMhz = 12;
constexpr size_t kAiMemory = 16;
constexpr size_t kAiExecMemory = 20;
constexpr size_t kAiBufferMemory = 24;
constexpr size_t kAiFirmwareRevision = 28;  // dash, type, minor, major, then u32 build
constexpr size_t kAiBootRevision = 36;
constexpr size_t kAiBiosRevision = 44;
constexpr size_t kAiHardwareRevision = 52;
constexpr size_t kAiDedicatedSpares = 60;
constexpr size_t kAiGlobalSpares = 64;
constexpr size_t kAiSerial0 = 68;
constexpr size_t kAiSerial1 = 72;
constexpr size_t kAiOptions = 80;
constexpr size_t kAiOemId = 84;

// Supplement information reply, payload offsets.
constexpr size_t kSupTypeText = 0;  // up to 28 bytes
constexpr size_t kSupTypeTextRoom = 28;
constexpr size_t kSupMaxPorts = 28;
constexpr size_t kSupVersion = 32;
constexpr size_t kSupOptions2 = 36;
constexpr size_t kSupPhysicalSlot = 40;  // u16
constexpr size_t kSupSasPorts = 56;
constexpr size_t kSupStaged = 104;  // revision and build of the staged firmware
constexpr size_t kSupOptions3 = 144;
constexpr size_t kSupPoolMaxDrives = 164;

constexpr uint32_t kClockMhz = 1200;

void putRevision(uint8_t* p, const RevisionValue& rev)
{
    p[0] = rev.dash;
    p[1] = 0;
    p[2] = rev.minor;
    p[3] = rev.major;
    putLe32(p + 4, rev.build);
}

void adapterInformation(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    putLe32(p + kAiPlatform, c.platform);
    putLe32(p + kAiClockMhz, kClockMhz);
    putLe32(p + kAiMemory, c.memory);
    putLe32(p + kAiExecMemory, c.memory / 2);
    putLe32(p + kAiBufferMemory, c.memory / 2);
    putRevision(p + kAiFirmwareRevision, c.firmware);
    putRevision(p + kAiBootRevision, c.boot);
    putRevision(p + kAiBiosRevision, c.bios);
    putRevision(p + kAiHardwareRevision, RevisionValue{1, 0, 0, 0, true});
    putLe32(p + kAiDedicatedSpares, c.dedicatedSpares);
    putLe32(p + kAiGlobalSpares, c.globalSpares);
    putLe32(p + kAiSerial0, c.serial[0]);
    putLe32(p + kAiSerial1, c.serial[1]);
    putLe32(p + kAiOptions, c.optionWord[0]);
    putLe32(p + kAiOemId, c.oemId);
}

void supplementInformation(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    std::memcpy(p + kSupTypeText, c.typeText.data(), std::min(c.typeText.size(), kSupTypeTextRoom - 1));
    putLe32(p + kSupMaxPorts, c.ports);
    putLe32(p + kSupVersion, c.supplementVersion);
    putLe32(p + kSupOptions2, c.optionWord[1]);
    putLe16(p + kSupPhysicalSlot, static_cast<uint16_t>(c.pciSlot));
    putLe32(p + kSupSasPorts, c.sasPorts);
    putRevision(p + kSupStaged, c.staged);
    putLe32(p + kSupOptions3, c.optionWord[2]);
    p[kSupPoolMaxDrives] = static_cast<uint8_t>(c.poolMaxDrives);
}

void manufacturingSerial(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    call.setWord(0, 1);
    call.setWord(1, c.serial[0]);
    call.setWord(2, c.serial[1]);
    call.setWord(3, c.pcbaSerial);
}

}  // namespace

void registerIdentityHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 703, adapterInformation);
    dispatcher.add(HandlerKind::Fib, 706, supplementInformation);
    dispatcher.add(HandlerKind::Fib, 906, manufacturingSerial);
}

}  // namespace vyn::hostsim
