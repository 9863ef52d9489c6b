// What the controller object reads beyond the open: the adapter SAS phys
// (FIB 612), automatic failover (CT 169), background verification on (CT 175)
// and its period (CT 206), and the RAID-6 options (CT 219).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kVerifyDelayOk = 152;
constexpr uint32_t kFailoverOn = 0x4;

constexpr size_t kPhyBytes = 64;
constexpr size_t kRaid6Bytes = 340;

// FIB 612: payload word 0 = phy index; the 64-byte record from payload byte 0.
void adapterPhy(FibCall& call)
{
    const ControllerState& c = call.controller();
    const uint32_t index = call.word(0);
    call.clearPayload();
    const std::vector<uint8_t> record = adapterPhyRecord(c, index);
    std::memcpy(call.payload(), record.data(), std::min(record.size(), call.payloadSize()));
}

void autoFailover(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.result1 = c.autoFailover ? kFailoverOn : 0;
}

void verifyOn(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.result1 = c.verifyOn ? 1 : 0;
}

void verifyDelay(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kVerifyDelayOk;
    r.result1 = c.verifyPriority;
}

void raid6Options(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.data = c.raid6Options;
    r.data.resize(kRaid6Bytes, 0);
}

}  // namespace

std::vector<uint8_t> adapterPhyRecord(const ControllerState& c, uint32_t index)
{
    std::vector<uint8_t> p(kPhyBytes, 0);
    if (index >= c.ports)
        return p;
    auto stored = c.phys.find(index);
    if (stored != c.phys.end()) {
        std::copy_n(stored->second.begin(), std::min(stored->second.size(), kPhyBytes), p.begin());
        return p;
    }
    // Phys of the SAS ports (four each) are attached to an end device.
    const bool attached = index < 4 * c.sasPorts;
    p[0] = 0x10;          // the firmware's field in the upper nibble
    p[2] = 0x0E;          // initiator protocols
    putBe32(p.data() + 12, 0x50000D1Eu);
    putBe32(p.data() + 16, c.serial[0]);
    p[20] = static_cast<uint8_t>(index);
    p[29] = attached ? 0x09 : 0x00;
    p[30] = 0x08;
    p[31] = 0x0A;
    if (attached) {
        p[36] = 0x10;     // end device, upper nibble
        p[39] = 0x08;     // SSP target
        putBe32(p.data() + 48, 0x50000C0Fu);
        putBe32(p.data() + 52, 0x01000000u + index);
        p[56] = 0;
    }
    return p;
}

void registerControllerObjectHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 612, adapterPhy);
    addCtHandler(dispatcher, 169, autoFailover);
    addCtHandler(dispatcher, 175, verifyOn);
    addCtHandler(dispatcher, 206, verifyDelay);
    addCtHandler(dispatcher, 219, raid6Options);
}

}  // namespace vyn::hostsim
