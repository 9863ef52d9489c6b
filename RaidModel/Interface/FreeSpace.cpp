#include "RaidModel/Interface/FreeSpace.h"

FreeSpaceVector::FreeSpaceVector() : extents(1), bigFreeStartSector(0), bigFreeNumSectors(0) {}

void FreeSpaceVector::SetNumSectors(unsigned long long n)
{
    extents.front().numSectors = n;
    bigFreeNumSectors = n;
}

void FreeSpaceVector::SubtractUsedSpace(unsigned long long start, unsigned long long count)
{
    if (count == 0) {
        return;
    }
    const unsigned long long end = start + count - 1;
    for (std::size_t i = 0; i < extents.size(); ++i) {
        FreeSpace& e = extents[i];
        if (e.numSectors == 0) {
            continue;
        }
        const unsigned long long eEnd = e.startSector + e.numSectors - 1;
        if (start > eEnd || e.startSector > end) {
            continue;
        }
        if (e.startSector >= start) {
            if (end >= eEnd) {
                e = FreeSpace(0, 0);
            } else {
                e.startSector = end + 1;
                e.numSectors = eEnd - end;
            }
            continue;
        }
        if (end >= eEnd) {
            e.numSectors = start - e.startSector;
            continue;
        }
        e.numSectors = start - e.startSector;
        extents.emplace_back(end + 1, eEnd - end);
        break;
    }
    recomputeBiggest();
}

void FreeSpaceVector::recomputeBiggest()
{
    bigFreeStartSector = 0;
    bigFreeNumSectors = 0;
    for (const FreeSpace& e : extents) {
        if (e.numSectors > bigFreeNumSectors) {
            bigFreeStartSector = e.startSector;
            bigFreeNumSectors = e.numSectors;
        }
    }
}

void FreeSpaceVector::FindAdequate(unsigned long long& start, unsigned long long& size) const
{
    if (size == 0) {
        start = bigFreeStartSector;
        size = bigFreeNumSectors;
        return;
    }
    const unsigned long long wanted = size;
    unsigned long long best = ~0ULL;
    start = 0;
    for (const FreeSpace& e : extents) {
        if (e.numSectors >= wanted && e.numSectors < best) {
            start = e.startSector;
            best = e.numSectors;
        }
    }
    size = best == ~0ULL ? 0 : best;
}
