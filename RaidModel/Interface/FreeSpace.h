#ifndef VYN_RAIDMODEL_INTERFACE_FREESPACE_H
#define VYN_RAIDMODEL_INTERFACE_FREESPACE_H

#include <vector>

// One free extent of a drive, in 512-byte sectors.
class FreeSpace {
public:
    FreeSpace() : startSector(0), numSectors(~0ULL) {}
    FreeSpace(unsigned long long start, unsigned long long count) : startSector(start), numSectors(count) {}

    unsigned long long startSector;
    unsigned long long numSectors;
};

// The free extents of a drive in the order they arose, never sorted, and the
// biggest of them. An extent of 0 sectors is an emptied slot that stays in
// the list and that every operation passes over.
class FreeSpaceVector {
public:
    FreeSpaceVector();

    // Sets the first extent's length and the biggest extent's length only.
    void SetNumSectors(unsigned long long n);
    // Takes [start, start + count - 1] out of the extents; a range inside an
    // extent splits it, and the tail goes to the end of the list.
    void SubtractUsedSpace(unsigned long long start, unsigned long long count);
    // Best fit for `size` sectors (the first of equals); size 0 asks for the
    // biggest extent. Nothing that fits gives start 0, size 0.
    void FindAdequate(unsigned long long& start, unsigned long long& size) const;

    unsigned long long BigFreeStartSector() const { return bigFreeStartSector; }
    unsigned long long BigFreeNumSectors() const { return bigFreeNumSectors; }
    const std::vector<FreeSpace>& getExtents() const { return extents; }

private:
    void recomputeBiggest();

    std::vector<FreeSpace> extents;
    unsigned long long bigFreeStartSector;
    unsigned long long bigFreeNumSectors;
};

#endif
