#include "RaidModel/Implementation/Vyn/Raid6Layout.h"

namespace {

struct LayoutRow {
    unsigned drives;
    unsigned parity;
    unsigned data;
};

// XOR parity: no layout beyond 16 drives.
constexpr LayoutRow kXorRows[] = {
    {4, 4, 4},     {5, 5, 5},     {6, 6, 12},    {7, 7, 14},    {8, 8, 24},
    {9, 9, 27},    {10, 10, 40},  {11, 11, 44},  {12, 12, 60},  {13, 13, 65},
    {14, 14, 70},  {15, 15, 90},  {16, 16, 112},
};

// Reed-Solomon: two parity units and the rest data, 4 to 32 drives.
constexpr unsigned kReedSolomonFirst = 4;
constexpr unsigned kReedSolomonLast = 32;

bool findRow(unsigned drives, EnumRaidLevel level, LayoutRow& row)
{
    if (level == RAID_LEVEL_6) {
        for (const LayoutRow& candidate : kXorRows) {
            if (candidate.drives == drives) {
                row = candidate;
                return true;
            }
        }
        return false;
    }
    if (level == RAID_LEVEL_6RS && drives >= kReedSolomonFirst && drives <= kReedSolomonLast) {
        row = {drives, 2, drives - 2};
        return true;
    }
    return false;
}

}  // namespace

bool get_raid6_params(unsigned long params[3], unsigned drives, EnumRaidLevel level)
{
    LayoutRow row{};
    if (params == nullptr || !findRow(drives, level, row))
        return false;
    params[0] = row.drives;
    params[1] = row.parity;
    params[2] = row.data;
    return true;
}

int check_raid6_limits(unsigned drives, int stripeKB, EnumRaidLevel level)
{
    LayoutRow row{};
    if (!findRow(drives, level, row))
        return 1;
    const unsigned long long stripe = stripeKB > 0 ? static_cast<unsigned long long>(stripeKB) : 0;
    const unsigned long long cycle = (static_cast<unsigned long long>(row.parity) + row.data) * stripe * 1024;
    return cycle <= RAID6_MAX_CYCLE_BYTES ? 0 : 5;
}

int set_raid6_chunksize(unsigned long long size, unsigned long long& segment, unsigned drives, EnumRaidLevel level)
{
    LayoutRow row{};
    if (!findRow(drives, level, row))
        return 1;
    segment = size / row.data * (static_cast<unsigned long long>(row.parity) + row.data) / drives;
    return 0;
}

int getMaxRaid6StripeSize(unsigned long parity, unsigned long data)
{
    const unsigned long units = parity + data;
    if (units == 0)
        return 1;
    const unsigned long q = 8192 / units;
    for (unsigned long size : {512ul, 256ul, 128ul, 64ul})
        if (q >= size && q < 2 * size)
            return static_cast<int>(size);
    return 1;
}

unsigned getMinimumDriveCount(EnumRaidLevel level)
{
    switch (static_cast<int>(level)) {
    case 2:
    case 3:
    case 4:
    case 5:
        return 3;
    case 6:
    case 7:
    case 9:
    case 16:
    case 18:
        return 4;
    case 10:
    case 11:
        return 6;
    case 15:
        return 1;
    case 17:
    case 19:
        return 8;
    default:
        return 2;
    }
}

namespace {

// ceil(a / b) in 64 bits.
unsigned long long ceilDiv(unsigned long long a, unsigned long long b)
{
    return (a + b - 1) / b;
}

}  // namespace

int checkSpanCounts(EnumRaidLevel level, unsigned drives, int legs)
{
    switch (level) {
    case RAID_LEVEL_10:
        return drives % 2 != 0 ? 1 : 0;
    case RAID_LEVEL_50:
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS: {
        if (legs < 2 || drives % static_cast<unsigned>(legs) != 0)
            return 1;
        const unsigned perLeg = drives / static_cast<unsigned>(legs);
        const unsigned parity = level == RAID_LEVEL_50 ? 1 : 2;
        return perLeg < parity + 2 ? 1 : 0;
    }
    default:
        return 0;
    }
}

int sizeChunk(ChunkSizing& z)
{
    const unsigned long long s = z.requested;
    if (s != 0 && s < MIN_REQUESTED_SECTORS)
        return 3;
    const int level = static_cast<int>(z.level);
    if (level < 0 || level >= 20 || z.drives < getMinimumDriveCount(z.level))
        return 1;
    const unsigned long long n = z.drives;
    switch (level) {
    case RAID_LEVEL_0:
        z.chunk = ceilDiv(s, n);
        z.wholeDrive = true;
        return 0;
    case RAID_LEVEL_1:
    case RAID_LEVEL_SPANNED_VOLUME:
        z.chunk = s;
        return 0;
    case RAID_LEVEL_1E:
        z.chunk = ceilDiv(s, n) * 2;
        return 0;
    case RAID_LEVEL_5:
        z.chunk = ceilDiv(s, n - 1);
        return 0;
    case RAID_LEVEL_5EE:
        z.chunk = ceilDiv(s, n - 2);
        return 0;
    case RAID_LEVEL_10:
        if (checkSpanCounts(z.level, z.drives, z.legs) != 0)
            return 1;
        z.spanned = true;
        z.chunk = ceilDiv(s, n) * 2;
        return 0;
    case RAID_LEVEL_50:
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS: {
        if (checkSpanCounts(z.level, z.drives, z.legs) != 0)
            return 1;
        z.spanned = true;
        const unsigned long long legs = static_cast<unsigned long long>(z.legs);
        if (level == RAID_LEVEL_50) {
            z.chunk = ceilDiv(s, n - legs);
            return 0;
        }
        const EnumRaidLevel table = level == RAID_LEVEL_60 ? RAID_LEVEL_6 : RAID_LEVEL_6RS;
        const unsigned perLeg = z.drives / static_cast<unsigned>(z.legs);
        const int limit = check_raid6_limits(perLeg, z.stripeKB, table);
        if (limit != 0)
            return limit;
        unsigned long long chunk = z.chunk;
        if (set_raid6_chunksize(s, chunk, perLeg, table) != 0)
            return 1;
        z.chunk = chunk / legs;
        return 0;
    }
    case RAID_LEVEL_SIMPLE_VOLUME:
        z.chunk = s;
        z.wholeDrive = true;
        return 0;
    case RAID_LEVEL_6:
    case RAID_LEVEL_6RS: {
        z.chunk = ceilDiv(s, n - 2);
        const int limit = check_raid6_limits(z.drives, z.stripeKB, z.level);
        if (limit != 0)
            return limit;
        return set_raid6_chunksize(s, z.chunk, z.drives, z.level) != 0 ? 1 : 0;
    }
    default:
        return 1;
    }
}

unsigned long long alignChunkSizeWithStripeSize(unsigned long long chunk, int stripeKB)
{
    const unsigned long long stripe = stripeKB < 64 ? 64 : static_cast<unsigned long long>(stripeKB);
    // Sectors per stripe, less one: the stripe is a power of two.
    const unsigned long long mask = 2 * stripe - 1;
    return (chunk + mask) & ~mask;
}
