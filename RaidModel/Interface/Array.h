#ifndef VYN_RAIDMODEL_INTERFACE_ARRAY_H
#define VYN_RAIDMODEL_INTERFACE_ARRAY_H

#include <vector>

#include "RaidModel/Interface/RaidObject.h"

class Adapter;
class HardDrive;
class Writer;

// A disk array of a controller: its total and free size, nesting level and
// stripe size. It stamps its array id into everything added below it.
class Array : public RaidObject {
public:
    Array();
    Array(Adapter* adapter, unsigned long arrayID, unsigned long long size, unsigned long long freeSpace,
          int nestedLevel);
    // A fresh node outside the tree with the other array's values.
    Array(const Array& other);
    // The adapter stays.
    Array& operator=(const Array& other);
    ~Array() override;

    // The stripe size and the adapter are not compared.
    bool operator==(const Array& other) const;
    bool operator!=(const Array& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;

    Adapter* getAdapter() const { return adapter; }
    unsigned long long getSize() const { return size; }
    unsigned long long getFreeSpace() const { return freeSpace; }
    int getNestedLevel() const { return nestedLevel; }
    int getStripeSize() const { return stripeSize; }
    void setStripeSize(int value) { stripeSize = value; }

    // The controller's drives under this array's chunks, in chunk order.
    void getHardDrives(std::vector<HardDrive*>& out) const;

private:
    Adapter* adapter = nullptr;
    unsigned long long size = 0;
    unsigned long long freeSpace = 0;
    int nestedLevel = 0;
    int stripeSize = 0;
};

#endif
