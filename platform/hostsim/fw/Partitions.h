#ifndef VYN_PLATFORM_HOSTSIM_FW_PARTITIONS_H
#define VYN_PLATFORM_HOSTSIM_FW_PARTITIONS_H

#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyn::hostsim {

// One partition: a container member's extent on a drive's slice, or the
// unplaced entry of a two-level container's leg (start 0, location = the
// leg's number).
struct PartitionView {
    uint32_t index = 0;    // partition-table index
    uint32_t slice = 0xFFFFFFFFu;
    uint64_t start = 0;
    uint64_t blocks = 0;
    uint32_t firstType = 0, firstNumber = 0, memberCount = 0, memberIndex = 0;
    uint32_t secondType = 0, secondNumber = 0, secondCount = 0, legIndex = 0;
    // Stripe sizes in blocks of the first and of the second owner.
    uint32_t firstStripe = 0, secondStripe = 0;
    // The outermost container: one creation made it with its legs, and the
    // PPI table lists the members under its unique id.
    uint32_t outerNumber = 0;
    bool inTable = true;   // in the controller's table
    bool onDisk = false;   // in the slice's own table (the drive's `ondisk` pair)
};

// Every partition of the controller, in table-index order (of its
// configuration view `v`, when the caller already has it). The partitions
// on a missing drive stay in the table; no drive's own table holds them.
std::vector<PartitionView> partitionsOf(const ControllerState& c);
std::vector<PartitionView> partitionsOf(const ConfigView& v);

// The partition record (420 bytes; an older form is its first 196 or 160).
constexpr size_t kPartitionRecordBytes = 420;
constexpr size_t kRecIndex = 0;          // u32
constexpr size_t kRecCreation = 4;       // u8
constexpr size_t kRecCreationYear = 7;   // u8, year - 1900
constexpr size_t kRecCreationDate = 8;   // u32
constexpr size_t kRecCreator1 = 12;      // u32
constexpr size_t kRecCreator2 = 16;      // u32
constexpr size_t kRecAge = 20;           // u32, configuration age
constexpr size_t kRecStart32 = 24;       // u32
constexpr size_t kRecLength32 = 28;      // u32
constexpr size_t kRecOwnerWord = 32;     // u32, serial word 0
constexpr size_t kRecLocation = 40;      // u32, the slice
constexpr size_t kRecSlice = 44;         // u32
constexpr size_t kRecFirstOwner = 48;    // u32, firmware container type
constexpr size_t kRecFirstNumber = 52;   // u16
constexpr size_t kRecMemberCount = 56;   // u16
constexpr size_t kRecMemberIndex = 60;   // u16
constexpr size_t kRecDeadMask = 64;      // u32, bit (member index & 31) set: dead
constexpr size_t kRecSecondOwner = 68;   // u32
constexpr size_t kRecSecondNumber = 72;  // u16
constexpr size_t kRecSecondCount = 76;   // u16
constexpr size_t kRecRelated = 79;       // u8
constexpr size_t kRecLegIndex = 80;      // u16
constexpr size_t kRecDeadIndex = 88;     // u16, the member index CT 72 takes
constexpr size_t kRecFirstStripe = 92;   // u32, blocks
constexpr size_t kRecSecondStripe = 96;  // u32, blocks
constexpr size_t kRecAttributes = 112;   // u32, bit 0: has a container
constexpr size_t kRecWriteCache = 136;   // u8, write-cache setting of the owner
constexpr size_t kRecReadCache = 137;    // u8, read-cache setting of the owner
constexpr size_t kRecPpiUid = 164;       // u32
constexpr size_t kRecStart64 = 256;      // u64
constexpr size_t kRecLength64 = 264;     // u64

// Writes the first `recordBytes` bytes of p's record, shaped by the faults
// on its table index ("partition N", poke effects), whose counters advance.
void writePartitionRecord(ControllerState& c, const PartitionView& p, uint8_t* out, size_t recordBytes);

void registerPartitionHandlers(Dispatcher& dispatcher);

}  // namespace vyn::hostsim

#endif
