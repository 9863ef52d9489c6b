#include "platform/hostsim/fw/Dispatcher.h"

#include "platform/hostsim/Bytes.h"

#include <cstring>

namespace vyn::hostsim {

uint16_t FibCall::command() const { return getLe16(fib_ + kFibCommand); }

uint32_t FibCall::word(size_t n) const
{
    if (n * 4 + 4 > fibSize_ - kFibHeaderSize)
        return 0;
    return getLe32(fib_ + kFibHeaderSize + n * 4);
}

void FibCall::setWord(size_t n, uint32_t value)
{
    if (n * 4 + 4 > fibSize_ - kFibHeaderSize)
        return;
    putLe32(fib_ + kFibHeaderSize + n * 4, value);
}

void FibCall::setSize(uint16_t size) { putLe16(fib_ + kFibSize, size); }

void FibCall::clearPayload() { std::memset(fib_ + kFibHeaderSize, 0, fibSize_ - kFibHeaderSize); }

void Dispatcher::add(HandlerKind kind, uint32_t code, FibHandler handler)
{
    handlers_[{kind, code}] = std::move(handler);
}

bool Dispatcher::has(HandlerKind kind, uint32_t code) const { return find(kind, code) != nullptr; }

const FibHandler* Dispatcher::find(HandlerKind kind, uint32_t code) const
{
    auto it = handlers_.find({kind, code});
    return it == handlers_.end() ? nullptr : &it->second;
}

namespace {

constexpr uint16_t kContainerCommand = 500;
constexpr uint16_t kAifRequest = 700;

}  // namespace

bool Dispatcher::dispatch(FibCall& call) const
{
    const uint16_t command = call.command();
    if (command == kContainerCommand) {
        const uint32_t cls = call.word(0);
        const FibHandler* h = nullptr;
        switch (cls) {
        case 2:
            h = find(HandlerKind::Class2, call.word(1));
            break;
        case 3:
            h = find(HandlerKind::Class3, call.word(4));
            break;
        case 12:
            h = find(HandlerKind::Class12, call.word(1));
            if (h == nullptr)
                h = find(HandlerKind::Class12, call.word(1) >> 16);
            break;
        case 21:
            h = find(HandlerKind::Class21, call.word(1));
            break;
        case 23:
            h = find(HandlerKind::Class23, call.word(1));
            break;
        case 25:
            h = find(HandlerKind::Class25, 0);
            break;
        case 26:
            h = find(HandlerKind::Class26, 0);
            break;
        default:
            break;
        }
        if (h != nullptr) {
            (*h)(call);
            return true;
        }
        // The unknown answers the library expects of each class.
        if (cls == 3 || cls == 21) {
            call.setWord(0, kStatusNotSupported);
        } else if (cls == 12) {
            bool commandKnown = false;
            for (const auto& entry : handlers_)
                if (entry.first.first == HandlerKind::Class12 &&
                    (entry.first.second == (call.word(1) >> 16) || entry.first.second >> 16 == call.word(1) >> 16))
                    commandKnown = true;
            call.setWord(0, commandKnown ? 19 : 18);
        } else {
            const uint32_t echo = call.word(1);
            call.setWord(0, 1);
            call.setWord(1, echo);
        }
        return false;
    }
    if (command == kAifRequest) {
        if (const FibHandler* h = find(HandlerKind::Aif, call.word(0))) {
            (*h)(call);
            return true;
        }
        call.setWord(1, 3);
        return false;
    }
    if (const FibHandler* h = find(HandlerKind::Fib, command)) {
        (*h)(call);
        return true;
    }
    call.clearPayload();
    call.setWord(0, kStatusNotSupported);
    return false;
}

}  // namespace vyn::hostsim
