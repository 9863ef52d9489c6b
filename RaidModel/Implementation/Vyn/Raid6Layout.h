#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_RAID6LAYOUT_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_RAID6LAYOUT_H

#include "common/LogicalDriveSpec.h"

// The RAID-6 layouts of this controller family and the sizing that follows
// from them, shared by the create and modify commands and by the
// configuration replay. Sizes are 512-byte sectors, stripe sizes KiB.
//
// A layout row says that one full stripe over that many drives holds that
// many parity units and data units. The XOR layout (level 16) has rows for 4
// to 16 drives only: the controller defines no XOR layout for more, so such
// a set has no row and is refused like any other count without one.

// Copies {drives, parity, data} of the row for `drives` into `params`; true
// when the level (16 XOR, 18 Reed-Solomon) has such a row, else false with
// `params` untouched.
bool get_raid6_params(unsigned long params[3], unsigned drives, EnumRaidLevel level);

// 0 when a full stripe, (parity + data) × stripe KiB, fits in 8 MiB; 5 when
// it is larger; 1 without a row.
int check_raid6_limits(unsigned drives, int stripeKB, EnumRaidLevel level);

// The per-drive segment of a RAID-6 set of `size` sectors: (size / data) ×
// (parity + data) / drives, divided in that order. 0, or 1 without a row
// (the segment is left as it is).
int set_raid6_chunksize(unsigned long long size, unsigned long long& segment, unsigned drives, EnumRaidLevel level);

// The largest stripe KiB whose full stripe fits in 8 MiB: 64, 128, 256 or
// 512; 1 when none of them does (or for an empty row).
int getMaxRaid6StripeSize(unsigned long parity, unsigned long data);

// The fewest member drives of a level.
unsigned getMinimumDriveCount(EnumRaidLevel level);

// The largest full stripe of a RAID-6 set, in bytes.
constexpr unsigned long long RAID6_MAX_CYCLE_BYTES = 0x800000ull;

// The smallest size other than 0 that a logical drive may be asked for:
// 20 MiB in sectors.
constexpr unsigned long long MIN_REQUESTED_SECTORS = 40960ull;

// What the sizing of one logical drive's per-drive chunk works on: the
// requested size (0: as large as the drives allow), the member count, level,
// stripe KiB and, for RAID 50 and 60, the legs; it yields the chunk and two
// flags the layout needs.
struct ChunkSizing {
    unsigned long long requested = 0;
    unsigned drives = 0;
    EnumRaidLevel level = RAID_LEVEL_0;
    int stripeKB = 0;
    int legs = 2;
    unsigned long long chunk = 0;
    bool wholeDrive = false;
    bool spanned = false;
};

// 0 when RAID 10, 50 or 60 can be split into legs as asked (any other level
// always can), 1 when not: an odd RAID 10 count, fewer than two legs, a count
// that is no multiple of the legs, or legs of too few drives.
int checkSpanCounts(EnumRaidLevel level, unsigned drives, int legs);

// The per-drive chunk of `sizing`: 0 done; 3 a requested size below 20 MiB;
// 1 too few drives, a count that cannot be split into legs, no RAID-6 row or
// a level that cannot be sized; 5 a RAID-6 full stripe above 8 MiB.
int sizeChunk(ChunkSizing& sizing);
inline bool calculateChunkSize(ChunkSizing& sizing) { return sizeChunk(sizing) == 0; }

// The next multiple of the stripe at or above `chunk`; stripes below 64 KiB
// count as 64 KiB.
unsigned long long alignChunkSizeWithStripeSize(unsigned long long chunk, int stripeKB);

#endif
