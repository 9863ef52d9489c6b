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
