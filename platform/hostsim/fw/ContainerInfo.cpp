// Controller-wide answers of the container layer's first commands: the
// revision check (FIB 701), the heat sensor (FIB 803), the container count
// (CT 4), SCSI method (CT 64), container options (CT 73), miscellaneous status
// (CT 87), OEM id (CT 193), drive cache policy (CT 239) and the dynamic
// adapter properties (class 25).
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>

namespace vyn::hostsim {

namespace {

// Success statuses the library expects of each command.
constexpr uint32_t kContainerOptionsOk = 192;
constexpr uint32_t kMiscStatusOk = 205;
constexpr uint32_t kNewSuccess = 218;

constexpr uint32_t kOpt2WideMiscStatus = 0x10;
constexpr size_t kOptionEntries = 8;
constexpr size_t kOptionEntryBytes = 36;
constexpr size_t kPropertiesBytes = 480;

constexpr uint32_t kBlocksPerMiB = 2048;

void revisionCheck(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    call.setWord(0, 1);
    const RevisionValue& fw = c.firmware;
    call.setWord(1, static_cast<uint32_t>(fw.major) << 24 | static_cast<uint32_t>(fw.minor) << 16 | fw.dash);
    call.setWord(2, fw.build);
}

void heatSensor(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    putLe16(p + 36, static_cast<uint16_t>(c.heatSensor[0]));
    putLe16(p + 40, static_cast<uint16_t>(c.heatSensor[1]));
    putLe16(p + 42, static_cast<uint16_t>(c.heatSensor[2]));
}

void containerCount(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = c.maxContainers;
    r.result1 = c.accessibleContainers;
    r.result2 = c.partitions;
}

void scsiMethod(ControllerState&, const CtRequest&, CtReply& r) { r.status = 0; }

// One CT 73 entry: minimum and maximum members, chunk minimum, maximum and
// granularity, minimum and maximum container size (512-byte blocks), two
// reserved words. An unset entry has words 0 and 1 at -1.
void putOptionEntry(uint8_t* p, uint32_t minMembers, uint32_t maxMembers)
{
    putLe32(p + 0, minMembers);
    putLe32(p + 4, maxMembers);
    if (minMembers == 0xFFFFFFFFu)
        return;
    putLe32(p + 8, 16);                      // 8 KiB
    putLe32(p + 12, 2048);                   // 1 MiB
    putLe32(p + 16, 16);
    putLe32(p + 20, 10 * kBlocksPerMiB);     // 10 MiB
    putLe32(p + 24, 0xFFFFFFFFu);
}

void containerOptions(ControllerState&, const CtRequest&, CtReply& r)
{
    r.status = kContainerOptionsOk;
    r.data.assign(kOptionEntries * kOptionEntryBytes, 0);
    uint8_t* p = r.data.data();
    putOptionEntry(p + 0 * kOptionEntryBytes, 1, 32);   // volume
    putOptionEntry(p + 1 * kOptionEntryBytes, 2, 32);   // RAID-0
    putOptionEntry(p + 2 * kOptionEntryBytes, 2, 2);    // RAID-1
    putOptionEntry(p + 3 * kOptionEntryBytes, 3, 32);   // RAID-5
    putOptionEntry(p + 4 * kOptionEntryBytes, 2, 32);   // RAID volume
    putOptionEntry(p + 5 * kOptionEntryBytes, 4, 128);  // second level
    putOptionEntry(p + 6 * kOptionEntryBytes, 0xFFFFFFFFu, 0xFFFFFFFFu);
    putOptionEntry(p + 7 * kOptionEntryBytes, 0xFFFFFFFFu, 0xFFFFFFFFu);
}

// 48 bytes: word 0, 8 status bytes, 8 zero bytes, seven words from byte 20;
// 40 bytes without option word 2 bit 0x10 (the seven words from byte 12).
void miscStatus(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kMiscStatusOk;
    const bool wide = (c.optionWord[1] & kOpt2WideMiscStatus) != 0;
    r.data.assign(wide ? 48 : 40, 0);
    const size_t words = wide ? 20 : 12;
    putLe32(r.data.data() + words, c.serial[0]);
    putLe32(r.data.data() + words + 4, c.serial[1]);
}

void oemId(ControllerState& c, const CtRequest&, CtReply& r) { r.status = c.oemId; }

void cachePolicy(ControllerState& c, const CtRequest&, CtReply& r)
{
    r.status = kNewSuccess;
    r.result1 = c.cachePolicy;
}

// Class 25: the stored record with the reported-property mask; word 0 = 0.
void dynamicProperties(FibCall& call)
{
    const ControllerState& c = call.controller();
    call.clearPayload();
    uint8_t* p = call.payload();
    const size_t n = std::min({c.properties.size(), kPropertiesBytes, call.payloadSize()});
    std::memcpy(p, c.properties.data(), n);
    putLe32(p + 0, 0);
    putLe32(p + 4, c.propertiesMask);
}

}  // namespace

void registerContainerInfoHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Fib, 701, revisionCheck);
    dispatcher.add(HandlerKind::Fib, 803, heatSensor);
    addCtHandler(dispatcher, 4, containerCount);
    addCtHandler(dispatcher, 64, scsiMethod);
    addCtHandler(dispatcher, 73, containerOptions);
    addCtHandler(dispatcher, 87, miscStatus);
    addCtHandler(dispatcher, 193, oemId);
    addCtHandler(dispatcher, 239, cachePolicy);
    dispatcher.add(HandlerKind::Class25, 0, dynamicProperties);
}

}  // namespace vyn::hostsim
