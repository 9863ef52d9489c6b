#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNENCLOSURE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNENCLOSURE_H

#include <cstddef>
#include <cstdint>

#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/SafteItems.h"
#include "common/Ret.h"

class SCSICommand;
class VynAdapter;
class Writer;

// One SAF-TE enclosure as enclosure management describes it: the
// configuration and status blocks of its processor. The enclosure object
// built on it takes it over (owned set) and frees it; the tree build frees
// those that no enclosure took.
struct FsaEnclosureInfo {
    static constexpr size_t CONFIG_BYTES = 132;
    static constexpr size_t STATUS_BYTES = 332;
    // Configuration (u32 words): fans at 4, power supplies at 8, slots at
    // 12, door lock installed at 16, temperature sensors at 20, audible
    // alarm installed at 24; bus, target and LUN of the processor in bytes
    // 32, 33 and 34. Status: speaker on (u32) at 8, temperature out of
    // range at 12, temperature flags at 24; a status byte per fan from 28
    // and per power supply from 44; the door lock at 60; an i16 per
    // temperature sensor from 76; 8-byte slot entries from 108 (byte 1 of
    // each the SCSI id of the slot's device) and a u32 per slot from 268,
    // its status in the top byte. Room for 16 items of each kind.
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

// A SAF-TE enclosure processor of a controller of the family. Its build
// turns the enclosure-management record into the SAF-TE pages and items of
// the model (and, for one outside vendor's enclosure, reads the FRU data of
// its elements over SES); its operations go to enclosure management.
class VynEnclosure : public Enclosure, public VynScsiFields {
public:
    // Takes over `info` (may be null) and marks it owned.
    VynEnclosure(FsaEnclosureInfo* info, VynAdapter* adapter, Channel* channel, unsigned long deviceID);
    ~VynEnclosure() override;
    VynEnclosure(const VynEnclosure&) = delete;
    VynEnclosure& operator=(const VynEnclosure&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void writeTo(Writer* writer) const override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    Ret identifyDevice(bool on) override;
    Ret setAlarmState(EnumAlarmState state) override;

    using Enclosure::build;
    // Runs once, when the attachment is in place: the SAF-TE pages, the
    // items, then the FRU data of the outside enclosure model.
    void build();

    // The first item of `type` numbered `number`, or null.
    EnclosureItem* getItem(EnclosureItem::ITEM_TYPE type, unsigned long number) const;

    unsigned long getFsaEnclosureID() const { return info != nullptr ? info->enclosureIndex : 0; }
    const FsaEnclosureInfo* getFsaEnclosureInfo() const { return info; }

    bool getTempOutOfRange() const { return tempOutOfRange; }
    bool getDoorLockPresent() const { return doorLockPresent; }
    bool getSpeakerPresent() const { return speakerPresent; }
    int getDoorLockStatus() const { return doorLockStatus; }
    int getSpeakerStatus() const { return speakerStatus; }

private:
    void buildEnclosureBase();
    void buildEnclosureItems();
    void buildIbmEXP400();

    bool tempOutOfRange = false;
    bool doorLockPresent = false;
    bool speakerPresent = false;
    int doorLockStatus = 128;
    int speakerStatus = 0;
    FsaEnclosureInfo* info;
};

#endif
