// NVRAM and battery: the NVRAM requests of FIB 300 (status, start of a
// battery recondition) and the new-battery request (class 3 sub-command
// 0xF0000).
#include "platform/hostsim/fw/Nvram.h"

#include "platform/hostsim/Bytes.h"

#include <string>

namespace vyn::hostsim {

namespace {

// FIB 300 request: word 0 the NVRAM service, word 1 the NVRAM command.
// Reply: word 0 the service status, word 1 the command status, word 2 the
// NVRAM state, word 3 the battery state; nothing else.
constexpr uint32_t kNvramService = 30;
constexpr uint32_t kNvramStatus = 1;
constexpr uint32_t kNvramStartRecondition = 10;
constexpr size_t kNvramRequestWords = 8;
constexpr uint32_t kFailed = 1;

// Class 3: command word 3, data from payload byte 20, status word 0.
constexpr size_t kScsiCommandWord = 3;
constexpr size_t kScsiAdapterWord = 2;
constexpr size_t kScsiData = 20;
constexpr size_t kNewBatteryBytes = 2;

// The payload size the request's header announces.
size_t requestSize(FibCall& call) { return getLe16(call.payload() - kFibHeaderSize + kFibSize); }

void nvramRequest(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t service = call.word(0);
    const uint32_t command = call.word(1);
    const size_t size = requestSize(call);
    call.clearPayload();
    if (size < kNvramRequestWords) {
        call.setWord(0, kFailed);
        call.reject("size " + std::to_string(size));
        return;
    }
    if (service != kNvramService) {
        call.setWord(0, kFailed);
        call.reject("service " + std::to_string(service));
        return;
    }
    if (command == kNvramStartRecondition) {
        if (c.battery == "none") {
            call.setWord(1, kFailed);
            call.reject("no battery");
            return;
        }
        ++c.batteryReconditions;
        call.markChanged();
    } else if (command != kNvramStatus) {
        call.setWord(1, kFailed);
        call.reject("NVRAM command " + std::to_string(command));
        return;
    }
    call.setWord(2, c.nvramState);
    call.setWord(3, c.batteryState);
}

void newBattery(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t command = call.word(kScsiCommandWord);
    const uint32_t adapterWord = call.word(kScsiAdapterWord);
    const uint16_t value = getLe16(call.payload() + kScsiData);
    const size_t size = requestSize(call);
    call.clearPayload();
    if (c.battery == "none") {
        call.setWord(0, kStatusNotSupported);
        return;
    }
    if (command != 0 || size < kScsiData + kNewBatteryBytes) {
        call.setWord(0, kFailed);
        call.reject("command " + std::to_string(command) + " size " + std::to_string(size));
        return;
    }
    c.newBatteryAdapterWord = adapterWord;
    ++c.batteryReplacements;
    c.newBatteryValue = value;
    call.markChanged();
}

}  // namespace

void registerNvramHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 300, nvramRequest);
    dispatcher.add(HandlerKind::Class3, 0xF0000, newBattery);
}

}  // namespace vyn::hostsim
