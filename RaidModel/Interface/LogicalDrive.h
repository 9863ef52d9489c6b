#ifndef VYN_RAIDMODEL_INTERFACE_LOGICALDRIVE_H
#define VYN_RAIDMODEL_INTERFACE_LOGICALDRIVE_H

#include "RaidModel/Interface/RaidObject.h"

// A logical drive of a controller; members of spanned and multi-level drives
// are logical drives below it. For now it carries only its names.
class LogicalDrive : public RaidObject {
public:
    LogicalDrive();
    ~LogicalDrive() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
