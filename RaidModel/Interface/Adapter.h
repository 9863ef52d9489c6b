#ifndef VYN_RAIDMODEL_INTERFACE_ADAPTER_H
#define VYN_RAIDMODEL_INTERFACE_ADAPTER_H

#include "RaidModel/Interface/RaidObject.h"

// A controller node of the tree: a child of the system root, written as
// "Controller".
class Adapter : public RaidObject {
public:
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
