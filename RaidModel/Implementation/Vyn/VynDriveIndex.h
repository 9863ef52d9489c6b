#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNDRIVEINDEX_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNDRIVEINDEX_H

#include <cstdint>
#include <unordered_map>

class RaidObject;

// The devices below a controller by channel and device id, as a recursive
// address lookup under the controller finds them (the first of a level's
// children, before their descendants), made in one walk. The tree build asks
// it once per spare and per member instead of walking the tree each time.
class VynDriveIndex {
public:
    explicit VynDriveIndex(const RaidObject* adapter);

    // The object a lookup of (channel, device) under the controller finds;
    // null when none.
    RaidObject* find(uint32_t channel, uint32_t device) const;
    // A node hung after the walk, at its own address; an address already
    // held keeps the node found first.
    void add(RaidObject* node);

private:
    void walk(const RaidObject* node);
    void record(RaidObject* node);

    uint32_t adapterID;
    std::unordered_map<uint64_t, RaidObject*> nodes;
};

#endif
