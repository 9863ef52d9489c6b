// The legacy container record of one container: CT 178 (1152 bytes) and the
// older CT 5 (708 bytes). The container status is the firmware container
// type; the record holds the member count in word 0, the size in blocks in
// words 1 (low) and 2 (high), and the members' partition-table indexes from
// word 5. A container described as
// "ldK = snapshot N" exists only here: a snapshot (type 5) over container N,
// named in word 135. "original=R" sets word 137, the pair's reference: when it
// names the snapshot itself, the container it stands over is the first of its
// pair.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

constexpr size_t kRecordBytes = 1152;
constexpr size_t kOldRecordBytes = 708;
constexpr size_t kMembersWord = 5;
constexpr size_t kSnapshotWord = 135;
constexpr size_t kPairReferenceWord = 137;
constexpr size_t kMaxMembers = kSnapshotWord - kMembersWord;
constexpr uint32_t kTypeSnapshot = 5;
// Word 3 of the record: bit 28 read-only, bit 31 locked.
constexpr size_t kFlagsWord = 3;
constexpr uint32_t kFlagReadOnly = 1u << 28;
constexpr uint32_t kFlagLocked = 1u << 31;

// Firmware container type of a logical-device raidType: 1 volume, 2 mirror,
// 3 stripe, 4 RAID-5, 15 RAID-5EE, 17 RAID-1E, 18 RAID-6; a two-level top
// stripes over its legs.
uint32_t firmwareType(uint32_t raidType)
{
    switch (raidType) {
    case 0:
    case 1: return 1;
    case 3: return 2;
    case 5: return 17;
    case 7: return 4;
    case 9: return 15;
    case 11:
    case 13: return 18;
    default: return 3;  // RAID-0 and the two-level tops
    }
}

// "ldK = snapshot N [original=R]": the container a snapshot stands over, or
// -1; the pair's reference R, 0 unless given.
long snapshotOver(const ControllerState& c, uint32_t number, uint32_t* reference)
{
    *reference = 0;
    auto it = c.objects.find("ld" + std::to_string(number));
    if (it == c.objects.end())
        return -1;
    std::istringstream in(it->second);
    std::string level;
    long over = -1;
    if (!(in >> level >> over) || level != "snapshot" || over < 0)
        return -1;
    std::string word;
    while (in >> word)
        if (word.rfind("original=", 0) == 0)
            *reference = static_cast<uint32_t>(std::strtoul(word.c_str() + 9, nullptr, 10));
    return over;
}

// The 1152-byte record and the container status of container `number`; an
// unknown number gives status 0 and a zero record.
std::vector<uint8_t> recordOf(const ControllerState& c, uint32_t number, uint32_t* status)
{
    std::vector<uint8_t> record(kRecordBytes, 0);
    *status = 0;
    uint32_t reference = 0;
    const long over = snapshotOver(c, number, &reference);
    if (over >= 0) {
        *status = kTypeSnapshot;
        putLe32(record.data() + 4 * kSnapshotWord, static_cast<uint32_t>(over));
        putLe32(record.data() + 4 * kPairReferenceWord, reference);
        return record;
    }
    // Partition-table indexes are handed out from 1 in configuration order,
    // one per segment; a leg counts as one entry of its top container.
    const ConfigView v = configurationOf(c);
    uint32_t nextIndex = 1;
    for (const LogDevView& l : v.logDevs) {
        if (l.number == number) {
            *status = firmwareType(l.raidType);
            auto s = c.containerSettings.find(number);
            if (s != c.containerSettings.end())
                putLe32(record.data() + 4 * kFlagsWord,
                        (s->second.locked ? kFlagLocked : 0u) | (s->second.readOnly ? kFlagReadOnly : 0u));
            const size_t n = std::min(l.members.size(), kMaxMembers);
            putLe32(record.data(), static_cast<uint32_t>(n));
            putLe32(record.data() + 4, static_cast<uint32_t>(l.blocks));
            putLe32(record.data() + 8, static_cast<uint32_t>(l.blocks >> 32));
            for (size_t m = 0; m < n; ++m)
                putLe32(record.data() + 4 * (kMembersWord + m), nextIndex + static_cast<uint32_t>(m));
            return record;
        }
        nextIndex += static_cast<uint32_t>(l.members.size());
    }
    return record;
}

void containerInfo(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (c.containerRecord == kOldRecordBytes) {
        r.unknown = true;
        return;
    }
    r.data = recordOf(c, q.param[0], &r.status);
    // A long reply hands back result word 2 in place of the status.
    r.result2 = r.status;
}

// The older record: words 0, 1, 3 and 5-36 of the new one as words 0, 1, 2
// and 3-34, word 4 as word 35, and bytes 532-1095 as bytes 144-707.
void containerInfoOld(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const std::vector<uint8_t> wide = recordOf(c, q.param[0], &r.status);
    r.data.assign(kOldRecordBytes, 0);
    std::memcpy(r.data.data(), wide.data(), 8);
    std::memcpy(r.data.data() + 8, wide.data() + 12, 4);
    std::memcpy(r.data.data() + 12, wide.data() + 20, 32 * 4);
    std::memcpy(r.data.data() + 140, wide.data() + 16, 4);
    std::memcpy(r.data.data() + 144, wide.data() + 532, kOldRecordBytes - 144);
    r.result2 = r.status;
}

}  // namespace

void registerContainerHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 5, containerInfoOld);
    addCtHandler(dispatcher, 178, containerInfo);
}

}  // namespace vyn::hostsim
