#ifndef VYN_RAIDMODEL_INTERFACE_FILTERCOLLECTION_H
#define VYN_RAIDMODEL_INTERFACE_FILTERCOLLECTION_H

#include <vector>

class RaidObject;

// Switches the collection's trace lines on standard error (bits 0x10, 0x20
// and 0xF0); zero at start and set by nothing in the library.
extern unsigned int universalDebugFlag;

// A caller's predicate over tree objects.
class RaidFilter {
public:
    virtual bool matches(RaidObject* object) = 0;
    virtual ~RaidFilter();
};

using RaidObjectCompare = bool (*)(const RaidObject*, const RaidObject*);

// Orders in which users expect to see objects, as "less than".
bool compareAdapters(const RaidObject* a, const RaidObject* b);
bool compareArrays(const RaidObject* a, const RaidObject* b);
bool compareLogicalDrives(const RaidObject* a, const RaidObject* b);
bool compareChannels(const RaidObject* a, const RaidObject* b);
bool comparePhysicalDevices(const RaidObject* a, const RaidObject* b);
bool compareChunks(const RaidObject* a, const RaidObject* b);

// The objects of a subtree, root first and then level by level, narrowed
// filter by filter. It holds pointers only: the tree must outlive it.
class FilterCollection {
public:
    explicit FilterCollection(RaidObject* root);
    virtual ~FilterCollection();
    FilterCollection(const FilterCollection&) = delete;
    FilterCollection& operator=(const FilterCollection&) = delete;

    // Keeps what the filter accepts; the collection deletes the filter.
    virtual FilterCollection* apply(RaidFilter* filter);
    // Keeps the instances of the class; with `sort`, orders them by that
    // class's comparison when it has one (the order of equal keys is open).
    virtual FilterCollection* apply(const char* className, bool sort);
    virtual void sort(RaidObjectCompare compare);
    virtual FilterCollection* resetFilters();

    int size() const;
    RaidObject* elementAt(int i) const;

private:
    void repackResultSet();

    RaidObject* root;
    std::vector<RaidObject*> results;
};

#endif
