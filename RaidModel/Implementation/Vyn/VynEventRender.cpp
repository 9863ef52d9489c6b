// Rendering of controller event records as XML elements.
#include "RaidModel/Implementation/Vyn/VynEventRender.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "common/Addr.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/XMLWriter.h"

namespace {

// Detail bytes end here; the four bytes after them are not the firmware's
// text and the time follows. Texts that lack a NUL stop at this byte.
constexpr size_t kDetailEnd = 324;
constexpr size_t kTimeAt = 328;
constexpr uint32_t kNoContainer = 0xFFFFFFFFu;

static_assert(sizeof(tag_FSA_EVENT) == 332, "event record is 332 bytes");

const uint8_t* recordBytes(const tag_FSA_EVENT& event) { return reinterpret_cast<const uint8_t*>(&event); }
uint32_t u32At(const tag_FSA_EVENT& event, size_t at) { return faGetLe32(recordBytes(event) + at); }
uint16_t u16At(const tag_FSA_EVENT& event, size_t at) { return faGetLe16(recordBytes(event) + at); }
uint8_t u8At(const tag_FSA_EVENT& event, size_t at) { return recordBytes(event)[at]; }

// The NUL-terminated text at `at`, cut at the end of the detail bytes.
void writeText(XMLWriter* writer, const char* name, const tag_FSA_EVENT& event, size_t at)
{
    char text[kDetailEnd + 1];
    const char* from = reinterpret_cast<const char*>(recordBytes(event) + at);
    const size_t length = strnlen(from, kDetailEnd - at);
    std::memcpy(text, from, length);
    text[length] = '\0';
    writer->writeString(name, text);
}

void writeBytes(XMLWriter* writer, const char* name, const tag_FSA_EVENT& event, size_t at, size_t count)
{
    writer->writeBinary(name, reinterpret_cast<const char*>(recordBytes(event) + at), count);
}

template <size_t N>
const char* nameOf(const char* const (&table)[N], uint32_t code, const char* invalid)
{
    return code < N ? table[code] : invalid;
}

struct EventClassName {
    uint32_t value;
    const char* name;
};

const EventClassName kEventClasses[] = {
    {0x00000001, "FSA_EM_ACKNOWLEDGE"},
    {0x00000002, "FSA_EM_CLOSE_HANDLE"},
    {0x00000004, "FSA_EM_CONFIG_CHANGE"},
    {0x00000008, "FSA_EM_DISK_FAILURE"},
    {0x00000009, "FSA_EM_JBOD_ADD"},
    {0x0000000A, "FSA_EM_JBOD_DELETE"},
    {0x00000010, "FSA_EM_ADAPTER_TEXT"},
    {0x00000020, "FSA_EM_CONTAINER_CHANGE"},
    {0x00000040, "FSA_EM_DRIVE_LETTER_CHANGE"},
    {0x00000080, "FSA_EM_FILE_SYSTEM_CHANGE"},
    {0x00000100, "FSA_EM_CONTAINER_EVENT"},
    {0x00000200, "FSA_EM_NETWORK_FAILURE"},
    {0x00000400, "FSA_EM_ADAPTER_PAUSED"},
    {0x00000800, "FSA_EM_ADAPTER_RESUMED"},
    {0x00001000, "FSA_EM_FAILOVER_CHANGE"},
    {0x00002000, "FSA_EM_ENCLOSURE_MANAGEMENT"},
    {0x00004000, "FSA_EM_BATTERY_CHANGE"},
    {0x00008000, "FSA_EM_JOB_PROGRESS"},
    {0x00010000, "FSA_EM_GLOBAL_CACHE_CHANGE"},
    {0x00020000, "FSA_EM_CONTAINER_ADD"},
    {0x00040000, "FSA_EM_CONTAINER_DELETE"},
    {0x00080000, "FSA_EM_BATT_RECOND_REQD"},
    {0x00100000, "FSA_EM_SMART"},
    {0x00200000, "FSA_EM_PRIORITY_CHANGE"},
    {0x00400000, "FSA_EM_DISK_SET"},
    {0x0040000A, "FSA_EM_SSD_WEAROUT_THRESHOLD_REACHED"},
    {0x00800000, "FSA_EM_SS_NO_BACKUP_PRIVILEGE"},
    {0x01000000, "FSA_EM_NETWORK_RECONNECT"},
    {0x02000000, "FSA_EM_CLUSTER"},
    {0x04000000, "FSA_EM_CONTAINER_SCSI_EVENT"},
    {0x08000000, "FSA_EM_ENHANCED_BATTERY_CHANGE"},
    {0x10000000, "FSA_EM_EXPANDED_EVENT"},
    {0x20000000, "FSA_EM_GENERAL_UPDATE_EVENT"},
    {0x2000000A, "FSA_EM_SSD_CONTAINER_WBC_OFFLINE"},
    {0x40000000, "FSA_EM_SSD_REPLACED_IN_RRC_POOL"},
    {0x4000000A, "FSA_EM_SSD_BIG_FOR_RRC_REPLACEMENT"},
    {0x80000000, "FSA_EM_UNRECOGNIZED_FW_EVENT"},
};

const char* const kUnknownEventType = "UNKNOWN";

const char* const kContainerEvents[] = {
    "FSA_CE_GENERAL_ERROR",          "FSA_CE_M_NOT_MIRRORING",         "FSA_CE_M_NO_SPACE",
    "FSA_CE_M_NO_UNMIRROR",          "FSA_CE_M_FAILOVER_STARTED",      "FSA_CE_M_FAILOVER_FAILED",
    "FSA_CE_M_RESERVED1",            "FSA_CE_M_NO_ADP_MEM_FOR_CREATE", "FSA_CE_M_NO_FAILOVER_ASSIGNED",
    "FSA_CE_M_DRIVE_FAILURE",        "FSA_CE_R5_REBUILD_START",        "FSA_CE_R5_REBUILD_RESTART",
    "FSA_CE_R5_DRIVE_FAILURE",       "FSA_CE_R5_NO_ADP_MEM_FOR_REBLD", "FSA_CE_R5_NO_ADP_MEM_FOR_SCRUB",
    "FSA_CE_R5_NO_FAILOVER_ASSIGNED", "FSA_CE_R5_NO_SPACE",            "FSA_CE_SS_80_PERCENT_FULL",
    "FSA_CE_SS_BACKING_FULL",        "FSA_CE_R5_REBUILD_DONE",         "FSA_CE_INTERNAL_DL_CHANGE",
    "FSA_CE_R6_REBUILD_START",       "FSA_CE_R6_REBUILD_RESTART",      "FSA_CE_R6_DRIVE_FAILURE",
    "FSA_CE_R6_UNKNOWN_DRIVE_FAILURE", "FSA_CE_R6_NO_ADP_MEM_FOR_REBLD", "FSA_CE_R6_NO_ADP_MEM_FOR_SCRUB",
    "FSA_CE_R6_NO_FAILOVER_ASSIGNED", "FSA_CE_R6_NO_SPACE",            "FSA_CE_R6_REBUILD_DONE",
    "FSA_CE_BCC_START",              "FSA_CE_BCC_END",
};
static_assert(sizeof kContainerEvents / sizeof kContainerEvents[0] == 32, "32 container events");

const char* const kEnclosureEvents[] = {
    "FSA_ECM_GENERAL_ERROR",
    "FSA_ECM_FAN_FAILURE",
    "FSA_ECM_POWER_SUPPLY_FAILURE",
    "FSA_ECM_TEMPERATURE_ABNORMAL",
    "FSA_ECM_TEMPERATURE_OVER_THRESHOLD",
    "FSA_ECM_TEMPERATURE_CHANGE_THRESHOLD",
    "FSA_ECM_TEMPERATURE_CHANGED",
    "FSA_ECM_FAN_SWITCH_ON",
    "FSA_ECM_FAN_SWITCH_OFF",
    "FSA_ECM_FAN_CHANGE_SPEED",
    "FSA_ECM_POWER_SUPPLY_SWITCH_ON",
    "FSA_ECM_POWER_SUPPLY_SWITCH_OFF",
    "FSA_ECM_DOOR_LOCKED",
    "FSA_ECM_DOOR_UNLOCKED",
    "FSA_ECM_SPEAKER_SWITCH_ON",
    "FSA_ECM_SPEAKER_SWITCH_OFF",
    "FSA_ECM_SCSIID_CHANGE",
    "FSA_ECM_SLOT_STATUS_CHANGE",
    "FSA_ECM_FAN_STATUS_CHANGE",
    "FSA_ECM_POWER_SUPPLY_STATUS_CHANGE",
    "FSA_ECM_OFFLINE",
    "FSA_ECM_INCORRECT_CONFIGURATION",
    "FSA_ECM_CORRECT_CONFIGURATION",
    "FSA_ECM_TEMPERATURE_NORMAL",
    "FSA_ECM_DRIVE_INSERTION",
    "FSA_ECM_DRIVE_REMOVAL",
};
static_assert(sizeof kEnclosureEvents / sizeof kEnclosureEvents[0] == 26, "26 enclosure events");
constexpr uint32_t kDriveInsertion = 24;
constexpr uint32_t kDriveRemoval = 25;

// Battery codes start at 1; 0 is invalid.
const char* const kBatteryEvents[] = {
    nullptr,
    "FSA_BATTERY_DEAD",
    "FSA_BATTERY_LOW_IMPROVE",
    "FSA_BATTERY_LOW_DEGRADING",
    "FSA_BATTERY_GOOD",
    "FSA_BATTERY_RECONDITION",
    "FSA_BATTERY_DEAD_DONE_RECOND",
    "FSA_BATTERY_LOW_DONE_RECOND",
    "FSA_BATTERY_GOOD_DONE_RECOND",
};

const char* const kTaskFunctions[] = {
    "FSA_TF_SD_ZERO",          "FSA_TF_SD_VERIFY",         "FSA_TF_SD_EXERCISE",       "FSA_TF_CTR_ZERO",
    "FSA_TF_CTR_COPY",         "FSA_TF_CTR_MCREATE",       "FSA_TF_RESERVED1",         "FSA_TF_CTR_MSCRUB",
    "FSA_TF_CTR_R5REBUILD",    "FSA_TF_CTR_R5SCRUB",       "FSA_TF_RESERVED2",         "FSA_TF_RESERVED3",
    "FSA_TF_SD_VERIFY_REPLACE", "FSA_TF_RESERVED4",        "FSA_TF_CTR_MORPH",         "FSA_TF_CTR_FORMAT_NTFS",
    "FSA_TF_CTR_FORMAT_FAT",   "FSA_TF_CTR_MREBUILD",      "FSA_TF_CTR_UPDATE_SNAPSHOT", "FSA_TF_ADAPTER_VERIFY",
    "FSA_TF_UNKNOWN",          "FSA_TF_CTR_FORMAT_FAT32",  "FSA_TF_CTR_COPYBACK",      "FSA_TF_CTR_R5EECOMPACT",
    "FSA_TF_CTR_R5EEEXPAND",   "FSA_TF_CTR_R6REBUILD",     "FSA_TF_CTR_R6SCRUB",       "FSA_TF_CTR_SS_BACKUP",
    "FSA_TF_SD_SECURE_ERASE",  "FSA_TF_CTR_ORVEXA_FLUSH",
};
static_assert(sizeof kTaskFunctions / sizeof kTaskFunctions[0] == 30, "30 task functions");
constexpr uint32_t kCopyBack = 22;

const char* const kSmartEvents[] = {
    "FSA_SMART_FPT_EXCEEDED",        "FSA_SMART_FPT_EXCEEDED_TEST", "FSA_SMART_WARNING",
    "FSA_SMART_WARNING_TEMPERATURE", "FSA_SMART_WARNING_DEGRADED",  "FSA_SMART_CONFIG_CHANGE",
};

const char* const kExpandedGroups[] = {
    "FSA_EXE_UNKNOWN_GROUP",   "FSA_EXE_FIRMWARE_GROUP", "FSA_EXE_SCSI_GROUP",    "FSA_EXE_CONTAINER_GROUP",
    "FSA_EXE_CLUSTER_GROUP",   "FSA_EXE_ENCLOSURE_GROUP", "FSA_EXE_GENERIC_GROUP",
};

const char* const kScsiSubtypes[] = {
    "FSA_EXE_SCSI_UNKNOWN_SUBTYPE",   "FSA_EXE_SCSI_GENERIC",          "FSA_EXE_SCSI_BUS_RESET",
    "FSA_EXE_SCSI_NEXUS_DEAD",        "FSA_EXE_SCSI_SPINUP_FAILED",    "FSA_EXE_SCSI_MEDIUM_ERROR",
    "FSA_EXE_SCSI_BAD_BLOCK_REC",     "FSA_EXE_SCSI_INVALID_IO_SIZE",  "FSA_EXE_SCSI_DISABLING_CHANNEL",
    "FSA_EXE_SCSI_CANNOT_READY_DEVICE", "FSA_EXE_SCSI_CHANNEL_TIMEOUT", "FSA_EXE_SCSI_UNKNOWN_SENSE_DATA",
    "FSA_EXE_SCSI_SENSE_DATA",        "FSA_EXE_SCSI_COMMAND_TIMEOUT",  "FSA_EXE_SCSI_BAD_STRIPE_ERROR",
    "FSA_EXE_SCSI_IO_RATE_WARNING",   "FSA_EXE_SCSI_NEW_DEVICE_FOUND",
};

const char* const kContainerSubtypes[] = {
    "FSA_EXE_CT_UNKNOWN_SUBTYPE",      "FSA_EXE_CT_GENERIC",
    "FSA_EXE_CT_SCRUB_MEDIUM_ERROR",   "FSA_EXE_CT_PPI_UPDATE",
    "FSA_EXE_CT_REPLACED_HOTSPARE",    "FSA_EXE_CT_METADATA_ERROR",
    "FSA_EXE_CT_UNKNOWN_SUBTYPE",      "FSA_EXE_CT_SNAPSHOT_DEAD_BACKING",
    "FSA_EXE_CT_SNAPSHOT_USED_TARGET_SPACE",
};

// Bad-block reassignment: whether it is possible, and what happened.
const char* const kBbrPossible[] = {nullptr, "FSA_EXE_SCSI_BBR_NOT_POSSIBLE", "FSA_EXE_SCSI_BBR_POSSIBLE",
                                    "FSA_EXE_SCSI_BBR_UNKNOWN"};
const char* const kBbrEvents[] = {nullptr, "FSA_EXE_SCSI_BBR_STARTING", "FSA_EXE_SCSI_BBR_COMPLETING",
                                  "FSA_EXE_SCSI_BBR_CONFLICTING_ACTIONS", "FSA_EXE_SCSI_BBR_FAILED"};
const char* const kReplaceResults[] = {"FSA_EXE_UNKNOWN_EVENT", "FSA_EXE_REPLACE_SUCCESS",
                                       "FSA_EXE_REPLACE_TOO_SMALL", "FSA_EXE_REPLACE_DEDICATED_NON_EXIST"};
const char* const kMetadataResults[] = {"FSA_EXE_METADATA_UNKNOWN_EVENT", "FSA_EXE_METADATA_READ_ERROR",
                                        "FSA_EXE_METADATA_CRC_FAILURE"};

// A coded value written as its name and code; a value without name writes
// only the fallback name. Null entries of the table have no name.
template <size_t N>
bool writeCoded(XMLWriter* writer, const char* typeName, const char* codeName, const char* const (&table)[N],
                uint32_t value, const char* fallback)
{
    if (value < N && table[value] != nullptr) {
        writer->writeString(typeName, table[value]);
        writer->writeUInt(codeName, value);
        return true;
    }
    writer->writeString(typeName, fallback);
    return false;
}

void writeBbrPossible(XMLWriter* writer, uint32_t value)
{
    writeCoded(writer, "bbrPossibleType", "bbrPossibleCode", kBbrPossible, value, "UNKNOWN bbrPossibleType");
}

// The SCSI device of an expanded SCSI event: the address and its LUN.
void scsiDeviceAddress(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
{
    addr.setChannelID(u8At(event, 20));
    addr.setDeviceID(u8At(event, 21));
    writer->writeUInt("lun", u8At(event, 22));
}

uint32_t expandedSubtype(const tag_FSA_EVENT& event) { return u32At(event, 16); }

// The three groups whose subtype 1 is a generic text.
void writeTextGroup(const tag_FSA_EVENT& event, XMLWriter* writer, const char* unknown, const char* generic,
                    size_t textAt, const char* other)
{
    const uint32_t subtype = expandedSubtype(event);
    if (subtype == 0) {
        writer->writeString("subType", unknown);
        writer->writeUInt("subTypeCode", 0);
    } else if (subtype == 1) {
        writer->writeString("subType", generic);
        writer->writeUInt("subTypeCode", 1);
        writeText(writer, "text", event, textAt);
    } else {
        writer->writeString("subType", other);
        writer->writeUInt("subTypeCode", subtype);
    }
}

}  // namespace

const char* VynEvent::eventTypeName(uint32_t eventClass)
{
    for (const EventClassName& entry : kEventClasses)
        if (entry.value == eventClass)
            return entry.name;
    return kUnknownEventType;
}

VynEvent::VynEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : eventClass(u32At(event, 0)), eventType(eventTypeName(u32At(event, 0)))
{
    const uint32_t time = u32At(event, kTimeAt);
    writer->writeULong("Date", time != 0 ? time : static_cast<unsigned long>(std::time(nullptr)));
    writer->writeString("eventType", eventType);
    writer->writeUIntHex("eventCode", eventClass);
}

VynContainerEvent::VynContainerEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    const uint32_t code = u32At(event, 20);
    writer->writeString("containerEventType", nameOf(kContainerEvents, code, "INVALID_CONTAINER_EVENT"));
    writer->writeUInt("containerEventCode", code);
}

VynEnclosureManagementEvent::VynEnclosureManagementEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynEvent(event, writer)
{
    const uint32_t code = u32At(event, 16);
    writer->writeString("enclosureEventType", nameOf(kEnclosureEvents, code, "INVALID_ENCLOSURE_MGMT_EVENT"));
    if (code == kDriveInsertion || code == kDriveRemoval)
        writer->writeInt("unitID", static_cast<int>(u32At(event, 12)));
    writer->writeUInt("enclosureEventCode", code);
}

VynBatteryChangeEvent::VynBatteryChangeEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynEvent(event, writer)
{
    const uint32_t code = u32At(event, 16);
    const char* name = nameOf(kBatteryEvents, code, nullptr);
    writer->writeString("batteryEventType", name != nullptr ? name : "INVALID_BATTERY_CHANGE_EVENT");
    writer->writeUInt("batteryEventCode", code);
    if (name != nullptr) {
        writer->writeUInt("priorState", u32At(event, 8));
        writer->writeUInt("currentState", u32At(event, 12));
    }
}

VynJobProgressEvent::VynJobProgressEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    const uint32_t function = u32At(event, 12);
    writer->writeString("taskFunctionType", nameOf(kTaskFunctions, function, "INVALID_JOB_PROGRESS_EVENT"));
    const uint32_t specific1 = u32At(event, 52);
    const uint32_t specific2 = u32At(event, 56);
    if (function == kCopyBack) {
        // Both drives of a copy-back as packed bus and target words.
        writer->writeUInt("srcChannelID", (specific1 >> 7) & 63);
        writer->writeUInt("srcDeviceID", specific1 & 15);
        writer->writeUInt("destChannelID", (specific2 >> 7) & 63);
        writer->writeUInt("destDeviceID", specific2 & 15);
    }
    writer->writeUInt("taskFunctionCode", function);
    writer->writeUInt("taskID", u32At(event, 8));
    writer->writeUInt("taskState", u32At(event, 44));
    writer->writeUInt("tenthsOfAPercent", u32At(event, 48));
    writer->writeUInt("taskSpecific1", specific1);
    writer->writeUInt("taskSpecific2", specific2);
}

VynSmartEvent::VynSmartEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    const uint32_t code = u32At(event, 20);
    writer->writeString("smartEventType", nameOf(kSmartEvents, code, "INVALID_SMART_EVENT"));
    writer->writeUInt("smartEventCode", code);
}

VynDiskSetEvent::VynDiskSetEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    const uint32_t code = u32At(event, 40);
    const bool known = (code >= 1 && code <= 15) || code == 100;
    writer->writeString("diskSetEventType", known ? "FSA_DSE_OS_MANAGED_CHANGE" : "INVALID_DISKSET_EVENT");
    writer->writeUInt("diskSetEventCode", code);
    writer->writeUInt("handle", u32At(event, 8));
    writer->writeUInt("creatorId", u32At(event, 16));
}

VynAdapterTextEvent::VynAdapterTextEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    writeText(writer, "adapterText", event, 8);
}

VynContainerScsiEvent::VynContainerScsiEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynEvent(event, writer)
{
    // The interface delivers only the one kind it translates.
    writer->writeString("containerScsiEventType", "FSA_CE_MASTER_BADBLOCK_FAIL");
    writer->writeUInt("containerScsiEventCode", 0);
}

VynEnhancedBatteryChangeEvent::VynEnhancedBatteryChangeEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynEvent(event, writer)
{
    const auto signed16 = [&](size_t at) {
        return static_cast<unsigned int>(static_cast<int>(static_cast<int16_t>(u16At(event, at))));
    };
    writer->writeUInt("capabilities_bits", u32At(event, 12));
    writer->writeUInt("event_bits", u32At(event, 16));
    writer->writeUInt("status_bits", u32At(event, 20));
    writer->writeUInt("temperature", signed16(24));
    writer->writeUInt("current", signed16(26));
    writer->writeUInt("designCapacity", u16At(event, 28));
    writer->writeUInt("fullCapacity", u16At(event, 30));
    writer->writeUInt("remainingCapacity", u16At(event, 32));
    writer->writeUInt("DramCurrentDraw", u16At(event, 38));
    writer->writeUInt("nextReconDate", u32At(event, 40));
    writer->writeUInt("lastReconDate", u32At(event, 44));
    writer->writeUInt("tabStatusRegisterBits", u8At(event, 48));
    writer->writeUInt("tabControlRegisterBits", u8At(event, 49));
    writer->writeUInt("rombStatusRegisterBits", u8At(event, 50));
    writer->writeUInt("rombControlRegisterBits", u8At(event, 51));
    writer->writeUInt("max_temperature", u16At(event, 52));
    writer->writeUInt("voltage", u16At(event, 54));
    writer->writeUInt("batSubSysColdStartedDays", u16At(event, 56));
    writer->writeUInt("batSubSysColdStartedHours", u16At(event, 58));
    writer->writeUInt("batSubSysColdStartedMinutes", u16At(event, 60));
    writer->writeUInt("batSubSysColdStartedSeconds", u16At(event, 62));
}

VynUnrecognizedFwEvent::VynUnrecognizedFwEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynEvent(event, writer)
{
    constexpr size_t kFirstParameter = 12;
    static_assert(kFirstParameter + 4 * MAX_PARAMETERS <= sizeof(tag_FSA_EVENT), "parameters stay in the record");
    uint32_t count = u32At(event, 8);
    if (count > MAX_PARAMETERS)
        count = MAX_PARAMETERS;
    for (uint32_t i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "fwParam%d", static_cast<int>(i));
        writer->writeInt(name, static_cast<int>(u32At(event, kFirstParameter + 4 * i)));
    }
}

VynGeneralUpdateEvent::VynGeneralUpdateEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
    : VynEvent(event, writer)
{
    constexpr uint32_t kHeatSensor = 3;
    constexpr uint32_t kPowerManagement = 5;
    const uint32_t subtype = u32At(event, 8);
    if (subtype == kHeatSensor) {
        writer->writeString("generalUpdateEventType", "FSA_GENERAL_UPDATE_HEAT_SENSOR");
        writer->writeUInt("generalUpdateEventCode", subtype);
        writer->writeUInt("overheat", u32At(event, 12));
        writer->writeUInt("temperature", u16At(event, 16));
        writer->writeUInt("thresholdLo", u16At(event, 18));
        writer->writeUInt("thresholdHi", u16At(event, 20));
    } else if (subtype == kPowerManagement) {
        writer->writeString("generalUpdateEventType", "FSA_GENERAL_UPDATE_POWER_MGT");
        writer->writeUInt("generalUpdateEventCode", subtype);
        const uint16_t kind = u16At(event, 12);
        writer->writeUInt("pmEventType", kind);
        if (kind == 1) {
            addr.setLogicalDriveID(u32At(event, 16));
            writer->writeUInt("pmState", u16At(event, 14));
        } else if (kind == 2) {
            addr.setLogicalDriveID(u32At(event, 16));
            writer->writeUInt("channelID", u32At(event, 20));
            writer->writeUInt("deviceID", u32At(event, 24));
        }
    } else {
        writer->writeString("generalUpdateEventType", "FSA_GENERAL_UPDATE_UNKNOWN");
        writer->writeUInt("generalUpdateEventCode", subtype);
    }
}

VynExpandedEvent::VynExpandedEvent(const tag_FSA_EVENT& event, XMLWriter* writer) : VynEvent(event, writer)
{
    const uint32_t group = u32At(event, 12);
    writer->writeString("groupType", nameOf(kExpandedGroups, group, "INVALID_EXPANDED_EVENT"));
    writer->writeUInt("groupCode", group);
    writer->writeUInt("priority", u32At(event, 8));
}

VynExpandedFirmwareEvent::VynExpandedFirmwareEvent(const tag_FSA_EVENT& event, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    const uint32_t subtype = expandedSubtype(event);
    switch (subtype) {
    case 0:
        writer->writeString("subType", "FSA_EXE_FW_UNKNOWN_SUBTYPE");
        writer->writeUInt("subTypeCode", subtype);
        break;
    case 1:
        writer->writeString("subType", "FSA_EXE_FW_GENERIC");
        writer->writeUInt("subTypeCode", subtype);
        writeText(writer, "filename", event, 20);
        writer->writeUInt("line", u32At(event, 36));
        writeText(writer, "text", event, 40);
        break;
    case 4:
        writer->writeString("subType", "FSA_EXE_FW_PANIC");
        writer->writeUInt("subTypeCode", subtype);
        writer->writeUInt("value", u32At(event, 20));
        break;
    default:
        writer->writeString("subType", "UNKNOWN_EXPANDED_FIRMWARE_SUBTYPE");
        writer->writeUInt("subTypeCode", subtype);
        break;
    }
}

VynExpandedScsiEvent::VynExpandedScsiEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    const uint32_t subtype = expandedSubtype(event);
    writer->writeString("subType", nameOf(kScsiSubtypes, subtype, "UNKNOWN_EXPANDED_SCSI_EVENT_SUBTYPE"));
    if (subtype == 0 || subtype >= sizeof kScsiSubtypes / sizeof kScsiSubtypes[0])
        return;
    if (subtype == 1) {
        writeText(writer, "text", event, 28);
        writer->writeUInt("subTypeCode", subtype);
        return;
    }
    writer->writeUInt("subTypeCode", subtype);
    switch (subtype) {
    case 2:
        writer->writeUInt("bus", u8At(event, 20));
        writer->writeUInt("isInBound", u8At(event, 21));
        return;
    case 3:
        writer->writeUInt("bus", u32At(event, 28));
        break;
    case 5:
        writeBbrPossible(writer, u32At(event, 28));
        writer->writeUInt("lbaStart", u32At(event, 32));
        writer->writeUInt("lbaEnd", u32At(event, 36));
        break;
    case 6:
        writeCoded(writer, "bbrEvtType", "bbrEvtCode", kBbrEvents, u32At(event, 28), "UNKNOWN bbrEvtType");
        break;
    case 7:
        writer->writeUInt("actualIoBytes", u32At(event, 28));
        writer->writeUInt("expectedIoBytes", u32At(event, 32));
        break;
    case 8:
        writer->writeUInt("bus", u8At(event, 20));
        writer->writeUInt("error", u8At(event, 21));
        return;
    case 10:
        writer->writeUInt("bus", u8At(event, 20));
        writer->writeUInt("commands", u32At(event, 24));
        return;
    case 11:
        writer->writeUInt("key", u8At(event, 28));
        writer->writeUInt("asc", u8At(event, 29));
        writer->writeUInt("ascq", u8At(event, 30));
        break;
    case 12:
        writeBytes(writer, "cdb", event, 28, 12);
        writeBytes(writer, "data", event, 40, 32);
        break;
    case 13:
        writeBytes(writer, "cdb", event, 28, 12);
        break;
    case 14:
        writeBbrPossible(writer, u32At(event, 32));
        writer->writeUInt("lbaStart", u32At(event, 36));
        writer->writeUInt("lbaEnd", u32At(event, 40));
        addr.setLogicalDriveID(u32At(event, 20));
        return;
    default:  // 4, 9, 15, 16: the device alone
        break;
    }
    scsiDeviceAddress(event, addr, writer);
}

VynExpandedContainerEvent::VynExpandedContainerEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    constexpr uint32_t kReserved = 6;
    const uint32_t subtype = expandedSubtype(event);
    writer->writeString("subType", nameOf(kContainerSubtypes, subtype, "FSA_EXE_CT_UNKNOWN_SUBTYPE"));
    if (subtype == kReserved || subtype >= sizeof kContainerSubtypes / sizeof kContainerSubtypes[0])
        return;
    writer->writeUInt("subTypeCode", subtype);
    switch (subtype) {
    case 1:
        writeText(writer, "text", event, 32);
        addr.setLogicalDriveID(u32At(event, 20));
        break;
    case 2:
        writer->writeUInt("errorCount", u32At(event, 32));
        addr.setLogicalDriveID(u32At(event, 20));
        break;
    case 3:
        writer->writeUInt("age", u32At(event, 20));
        break;
    case 4:
        if (writeCoded(writer, "replaceEventType", "replaceEventCode", kReplaceResults, u32At(event, 20),
                       "UNKNOWN replaceEventType") &&
            u32At(event, 20) != 0) {
            writer->writeUInt("hotSpareBusNumber", u8At(event, 24));
            writer->writeUInt("hotSpareID", u8At(event, 25));
            writer->writeUInt("hotSpareLUN", u8At(event, 26));
            if (u32At(event, 20) == 1)
                writer->writeUInt("bIsDedicated", u32At(event, 44));
        }
        addr.setLogicalDriveID(u32At(event, 32));
        break;
    case 5:
        if (writeCoded(writer, "mDataEventType", "mDataEventCode", kMetadataResults, u32At(event, 28),
                       "UNKNOWN mDataEventType") &&
            u32At(event, 28) != 0) {
            writer->writeUInt("memberWithErrorBusNumber", u8At(event, 20));
            writer->writeUInt("memberWithErrorID", u8At(event, 21));
            writer->writeUInt("memberWithErrorLUN", u8At(event, 22));
        }
        addr.setChannelID(u8At(event, 20));
        addr.setDeviceID(u8At(event, 21));
        break;
    case 7:
        writer->writeUInt("reason", u32At(event, 32));
        addr.setLogicalDriveID(u32At(event, 20));
        break;
    case 8:
        writer->writeUInt("totalTargetChunks", u32At(event, 32));
        writer->writeUInt("usedTargetChunks", u32At(event, 36));
        writer->writeUInt("chunkSize", u32At(event, 40));
        addr.setLogicalDriveID(u32At(event, 20));
        break;
    default:  // 0: the code alone
        break;
    }
}

VynExpandedClusterEvent::VynExpandedClusterEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    writeTextGroup(event, writer, "FSA_EXE_CL_UNKNOWN_SUBTYPE", "FSA_EXE_CL_GENERIC", 32,
                   "UNKNOWN_EXPANDED_CLUSTER_EVENT");
    if (expandedSubtype(event) == 1)
        addr.setLogicalDriveID(u32At(event, 20));
}

VynExpandedEnclosureEvent::VynExpandedEnclosureEvent(const tag_FSA_EVENT& event, Addr&, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    // The firmware's own spelling.
    writeTextGroup(event, writer, "FSA_EXE_ENC_UNKOWN_SUBTYPE", "FSA_EXE_ENC_GENERIC", 20,
                   "UNKNOWN_EXPANDED_ENCLOSURE_EVENT");
}

VynExpandedGenericEvent::VynExpandedGenericEvent(const tag_FSA_EVENT& event, Addr&, XMLWriter* writer)
    : VynExpandedEvent(event, writer)
{
    writeTextGroup(event, writer, "FSA_EXE_GENERIC_UNKNOWN_SUBTYPE", "FSA_EXE_GENERIC", 20,
                   "UNKNOWN_EXPANDED_GENERIC_EVENT");
}

namespace {

// Builds the expanded event of the record's group; its type name.
const char* renderExpanded(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer)
{
    switch (u32At(event, 12)) {
    case 1: return VynExpandedFirmwareEvent(event, writer).getEventType();
    case 2: return VynExpandedScsiEvent(event, addr, writer).getEventType();
    case 3: return VynExpandedContainerEvent(event, addr, writer).getEventType();
    case 4: return VynExpandedClusterEvent(event, addr, writer).getEventType();
    case 5: return VynExpandedEnclosureEvent(event, addr, writer).getEventType();
    case 6: return VynExpandedGenericEvent(event, addr, writer).getEventType();
    default: return VynExpandedEvent(event, writer).getEventType();
    }
}

}  // namespace

void VynAdapter::GetXmlFromFsaEvent(const tag_FSA_EVENT& event, XMLWriter* writer, Ret& ret)
{
    writer->writeRawString("\t<event");
    Addr addr;
    addr.setAdapterID(static_cast<uint32_t>(getAdapterID()));
    const auto device = [&](size_t channelAt, size_t deviceAt) {
        addr.setChannelID(u8At(event, channelAt));
        addr.setDeviceID(u8At(event, deviceAt));
    };
    const char* type = kUnknownEventType;
    switch (u32At(event, 0)) {
    case FSA_EM_CONTAINER_EVENT:
        type = VynContainerEvent(event, writer).getEventType();
        addr.setLogicalDriveID(u32At(event, 8));
        break;
    case FSA_EM_DISK_FAILURE:
    case FSA_EM_JBOD_ADD:
    case FSA_EM_JBOD_DELETE:
        type = VynEvent(event, writer).getEventType();
        device(12, 13);
        break;
    case FSA_EM_ADAPTER_TEXT:
        type = VynAdapterTextEvent(event, writer).getEventType();
        break;
    case FSA_EM_CONTAINER_CHANGE:
    case FSA_EM_DRIVE_LETTER_CHANGE:
    case FSA_EM_FILE_SYSTEM_CHANGE:
    case FSA_EM_CONTAINER_ADD:
    case FSA_EM_CONTAINER_DELETE:
    case FSA_EM_PRIORITY_CHANGE:
    case FSA_EM_FAILOVER_CHANGE:
    case FSA_EM_SSD_CONTAINER_WBC_OFFLINE:
        type = VynEvent(event, writer).getEventType();
        addr.setLogicalDriveID(u32At(event, 8));
        break;
    case FSA_EM_ENCLOSURE_MANAGEMENT: {
        type = VynEnclosureManagementEvent(event, writer).getEventType();
        const uint32_t code = u32At(event, 16);
        if (code == kDriveInsertion || code == kDriveRemoval) {
            uint32_t bus = 0, target = 0, lun = 0;
            if (fsaExports().FsaGetBusTargetLunFromDevHandle(getAdapterHandle(), static_cast<int32_t>(u32At(event, 12)),
                                                            &bus, &target, &lun) == FSA_STS_SUCCESS) {
                writer->writeInt("channelID", static_cast<int>(bus));
                writer->writeInt("deviceID", static_cast<int>(target));
            }
        }
        break;
    }
    case FSA_EM_BATTERY_CHANGE:
        type = VynBatteryChangeEvent(event, writer).getEventType();
        break;
    case FSA_EM_JOB_PROGRESS:
        type = VynJobProgressEvent(event, writer).getEventType();
        if (u32At(event, 16) == 0) {
            addr.setChannelID(u8At(event, 20));
            addr.setDeviceID(static_cast<uint32_t>(u8At(event, 22)) << 16 | u8At(event, 21));
        } else if (u32At(event, 28) != kNoContainer) {
            addr.setLogicalDriveID(u32At(event, 28));
        }
        break;
    case FSA_EM_SMART:
        type = VynSmartEvent(event, writer).getEventType();
        device(12, 13);
        break;
    case FSA_EM_DISK_SET:
        type = VynDiskSetEvent(event, writer).getEventType();
        break;
    case FSA_EM_CONTAINER_SCSI_EVENT:
        type = VynContainerScsiEvent(event, writer).getEventType();
        break;
    case FSA_EM_ENHANCED_BATTERY_CHANGE:
        type = VynEnhancedBatteryChangeEvent(event, writer).getEventType();
        break;
    case FSA_EM_EXPANDED_EVENT:
        type = renderExpanded(event, addr, writer);
        break;
    case FSA_EM_GENERAL_UPDATE_EVENT:
        type = VynGeneralUpdateEvent(event, addr, writer).getEventType();
        break;
    case FSA_EM_UNRECOGNIZED_FW_EVENT:
        type = VynUnrecognizedFwEvent(event, writer).getEventType();
        break;
    default:
        type = VynEvent(event, writer).getEventType();
        break;
    }
    writer->writeAddrDefinedIDsOnly(addr);
    writer->writeRawString("/>\n");
    if (std::strcmp(type, kUnknownEventType) == 0)
        vynerror::apiError(ret, "UNKNOWN event", 0);
}
