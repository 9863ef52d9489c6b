#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNENCLOSURE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNENCLOSURE_H

#include <cstddef>
#include <cstdint>

#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Interface/Enclosure.h"

class VynAdapter;

// One SAF-TE enclosure as enclosure management describes it: the
// configuration and status blocks of its processor. The enclosure object
// built on it takes it over (owned set) and frees it; the tree build frees
// those that no enclosure took.
struct FsaEnclosureInfo {
    static constexpr size_t CONFIG_BYTES = 132;
    static constexpr size_t STATUS_BYTES = 332;
    // Configuration: slot count (u32) at 12; bus, target and LUN of the
    // processor at 32, 33 and 34. Status: 8-byte slot entries from 108,
    // byte 1 of each the SCSI id of the slot's device.
    static constexpr size_t CONFIG_SLOT_COUNT = 12;
    static constexpr size_t CONFIG_BUS = 32;
    static constexpr size_t STATUS_SLOT_TABLE = 108;
    static constexpr size_t STATUS_SLOT_ENTRY = 8;

    FsaEnclosureInfo();

    uint32_t owned;
    uint32_t enclosureIndex;
    uint8_t config[CONFIG_BYTES];
    uint8_t status[STATUS_BYTES];
};
static_assert(sizeof(FsaEnclosureInfo) == 472, "enclosure record is 472 bytes");
static_assert(offsetof(FsaEnclosureInfo, config) == 8, "configuration block at byte 8");

// A SAF-TE enclosure processor of a controller of the family.
class VynEnclosure : public Enclosure, public VynScsiFields {
public:
    // Takes over `info` (may be null) and marks it owned.
    VynEnclosure(FsaEnclosureInfo* info, VynAdapter* adapter, Channel* channel, unsigned long deviceID);
    ~VynEnclosure() override;
    VynEnclosure(const VynEnclosure&) = delete;
    VynEnclosure& operator=(const VynEnclosure&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;

    using Enclosure::build;
    // Runs once the attachment is in place. The pages and items are not
    // derived from the record yet: the enclosure keeps the record only.
    void build();

    unsigned long getFsaEnclosureID() const { return info != nullptr ? info->enclosureIndex : 0; }
    const FsaEnclosureInfo* getFsaEnclosureInfo() const { return info; }

private:
    FsaEnclosureInfo* info;
};

#endif
