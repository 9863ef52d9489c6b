// Controller event records written as event elements: the base attributes,
// each event class's details and the address they point at, and records
// whose codes, counts or texts lie outside what the tables know.
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

constexpr uint32_t kTime = 1700000000;

// A 332-byte event record built field by field.
struct Record {
    explicit Record(uint32_t eventClass, uint32_t time = kTime)
    {
        u32(0, eventClass);
        u32(328, time);
    }
    Record& u32(size_t at, uint32_t value)
    {
        faPutLe32(bytes() + at, value);
        return *this;
    }
    Record& u16(size_t at, uint16_t value)
    {
        faPutLe16(bytes() + at, value);
        return *this;
    }
    Record& u8(size_t at, uint8_t value)
    {
        bytes()[at] = value;
        return *this;
    }
    Record& text(size_t at, const char* value)
    {
        std::memcpy(bytes() + at, value, std::strlen(value) + 1);
        return *this;
    }
    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(&event); }

    tag_FSA_EVENT event{};
};

// An expanded record: group, subtype, priority 2.
Record expanded(uint32_t group, uint32_t subtype)
{
    Record r(0x10000000);
    r.u32(8, 2).u32(12, group).u32(16, subtype);
    return r;
}

struct Case {
    const char* what;
    Record record;
    const char* element;  // after "\t<event Date=\"D\"", before "/>\n"
};

class VynEventRenderTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        FamilyTest::SetUp();
        // Never opened: the renderer needs the controller's id and handle
        // only, and the translation of device handles is scripted.
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(VynAdapter::AVAILABILITY_CANNOT_OPEN);
        adapter_.reset(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
    }
    void TearDown() override
    {
        adapter_.reset();
        FamilyTest::TearDown();
    }

    std::string render(const Record& r, Ret& ret)
    {
        char* text = nullptr;
        XMLWriter writer(&text);
        adapter_->GetXmlFromFsaEvent(r.event, &writer, ret);
        return std::string(text != nullptr ? text : "");
    }
    // The element with its date masked.
    std::string masked(const Record& r, Ret& ret)
    {
        static const std::regex date(" Date=\"[0-9]+\"");
        return std::regex_replace(render(r, ret), date, " Date=\"D\"");
    }
    // Each case renders as its element, without a failure.
    template <size_t N>
    void expectRendered(const Case (&cases)[N])
    {
        for (const Case& c : cases) {
            Ret ret(0);
            EXPECT_EQ(masked(c.record, ret), std::string("\t<event Date=\"D\"") + c.element + "/>\n") << c.what;
            EXPECT_EQ(ret.getReturn(), 0) << c.what;
        }
    }

    vyntest::TreePtr<VynAdapter> adapter_;
};

TEST_F(VynEventRenderTest, EventClassesWriteTheirDetailsAndAddress)
{
    ScriptedFsaExports fsa;
    // Device handle 0x02000003 is bus 2, target 3.
    fsa.scriptAlways("FsaGetBusTargetLunFromDevHandle", 1, words({2, 3, 0}));
    const Case cases[] = {
        {"disk failure", Record(0x8).u8(12, 2).u8(13, 5),
         " eventType=\"FSA_EM_DISK_FAILURE\" eventCode=\"0x8\" controllerID=\"0\" channelID=\"2\" deviceID=\"5\""},
        {"JBOD deleted", Record(0xA).u8(12, 0).u8(13, 7),
         " eventType=\"FSA_EM_JBOD_DELETE\" eventCode=\"0xa\" controllerID=\"0\" channelID=\"0\" deviceID=\"7\""},
        {"container added", Record(0x20000).u32(8, 4),
         " eventType=\"FSA_EM_CONTAINER_ADD\" eventCode=\"0x20000\" controllerID=\"0\" logicalDriveID=\"4\""},
        {"write cache offline", Record(0x2000000A).u32(8, 1),
         " eventType=\"FSA_EM_SSD_CONTAINER_WBC_OFFLINE\" eventCode=\"0x2000000a\" controllerID=\"0\""
         " logicalDriveID=\"1\""},
        {"paused: no address", Record(0x400), " eventType=\"FSA_EM_ADAPTER_PAUSED\" eventCode=\"0x400\" controllerID=\"0\""},
        {"container event", Record(0x100).u32(8, 3).u32(20, 19),
         " eventType=\"FSA_EM_CONTAINER_EVENT\" eventCode=\"0x100\" containerEventType=\"FSA_CE_R5_REBUILD_DONE\""
         " containerEventCode=\"19\" controllerID=\"0\" logicalDriveID=\"3\""},
        {"container event code 32", Record(0x100).u32(8, 3).u32(20, 32),
         " eventType=\"FSA_EM_CONTAINER_EVENT\" eventCode=\"0x100\" containerEventType=\"INVALID_CONTAINER_EVENT\""
         " containerEventCode=\"32\" controllerID=\"0\" logicalDriveID=\"3\""},
        {"drive inserted", Record(0x2000).u32(12, 0x02000003).u32(16, 24),
         " eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\" enclosureEventType=\"FSA_ECM_DRIVE_INSERTION\""
         " unitID=\"33554435\" enclosureEventCode=\"24\" channelID=\"2\" deviceID=\"3\" controllerID=\"0\""},
        {"fan failure", Record(0x2000).u32(12, 0x02000003).u32(16, 1),
         " eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\" enclosureEventType=\"FSA_ECM_FAN_FAILURE\""
         " enclosureEventCode=\"1\" controllerID=\"0\""},
        {"enclosure code 26", Record(0x2000).u32(16, 26),
         " eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\""
         " enclosureEventType=\"INVALID_ENCLOSURE_MGMT_EVENT\" enclosureEventCode=\"26\" controllerID=\"0\""},
        {"battery good", Record(0x4000).u32(8, 2).u32(12, 1).u32(16, 4),
         " eventType=\"FSA_EM_BATTERY_CHANGE\" eventCode=\"0x4000\" batteryEventType=\"FSA_BATTERY_GOOD\""
         " batteryEventCode=\"4\" priorState=\"2\" currentState=\"1\" controllerID=\"0\""},
        {"battery code 0", Record(0x4000).u32(8, 2).u32(12, 1).u32(16, 0),
         " eventType=\"FSA_EM_BATTERY_CHANGE\" eventCode=\"0x4000\" batteryEventType=\"INVALID_BATTERY_CHANGE_EVENT\""
         " batteryEventCode=\"0\" controllerID=\"0\""},
        {"battery code 9", Record(0x4000).u32(16, 9),
         " eventType=\"FSA_EM_BATTERY_CHANGE\" eventCode=\"0x4000\" batteryEventType=\"INVALID_BATTERY_CHANGE_EVENT\""
         " batteryEventCode=\"9\" controllerID=\"0\""},
        {"job on a drive", Record(0x8000).u32(8, 21).u32(12, 1).u32(16, 0).u8(20, 1).u8(21, 4).u8(22, 1)
                               .u32(44, 1).u32(48, 250).u32(52, 7).u32(56, 8),
         " eventType=\"FSA_EM_JOB_PROGRESS\" eventCode=\"0x8000\" taskFunctionType=\"FSA_TF_SD_VERIFY\""
         " taskFunctionCode=\"1\" taskID=\"21\" taskState=\"1\" tenthsOfAPercent=\"250\" taskSpecific1=\"7\""
         " taskSpecific2=\"8\" controllerID=\"0\" channelID=\"1\" deviceID=\"65540\""},
        {"job on a container", Record(0x8000).u32(12, 8).u32(16, 1).u32(28, 5),
         " eventType=\"FSA_EM_JOB_PROGRESS\" eventCode=\"0x8000\" taskFunctionType=\"FSA_TF_CTR_R5REBUILD\""
         " taskFunctionCode=\"8\" taskID=\"0\" taskState=\"0\" tenthsOfAPercent=\"0\" taskSpecific1=\"0\""
         " taskSpecific2=\"0\" controllerID=\"0\" logicalDriveID=\"5\""},
        {"job on no container", Record(0x8000).u32(12, 30).u32(16, 1).u32(28, 0xFFFFFFFF),
         " eventType=\"FSA_EM_JOB_PROGRESS\" eventCode=\"0x8000\" taskFunctionType=\"INVALID_JOB_PROGRESS_EVENT\""
         " taskFunctionCode=\"30\" taskID=\"0\" taskState=\"0\" tenthsOfAPercent=\"0\" taskSpecific1=\"0\""
         " taskSpecific2=\"0\" controllerID=\"0\""},
        {"copy-back", Record(0x8000).u32(12, 22).u32(16, 1).u32(28, 0xFFFFFFFF).u32(52, 3 << 7 | 9)
                          .u32(56, 1 << 7 | 2),
         " eventType=\"FSA_EM_JOB_PROGRESS\" eventCode=\"0x8000\" taskFunctionType=\"FSA_TF_CTR_COPYBACK\""
         " srcChannelID=\"3\" srcDeviceID=\"9\" destChannelID=\"1\" destDeviceID=\"2\" taskFunctionCode=\"22\""
         " taskID=\"0\" taskState=\"0\" tenthsOfAPercent=\"0\" taskSpecific1=\"393\" taskSpecific2=\"130\""
         " controllerID=\"0\""},
        {"SMART warning", Record(0x100000).u8(12, 0).u8(13, 6).u32(20, 2),
         " eventType=\"FSA_EM_SMART\" eventCode=\"0x100000\" smartEventType=\"FSA_SMART_WARNING\""
         " smartEventCode=\"2\" controllerID=\"0\" channelID=\"0\" deviceID=\"6\""},
        {"SMART code 6", Record(0x100000).u32(20, 6),
         " eventType=\"FSA_EM_SMART\" eventCode=\"0x100000\" smartEventType=\"INVALID_SMART_EVENT\""
         " smartEventCode=\"6\" controllerID=\"0\" channelID=\"0\" deviceID=\"0\""},
        {"disk set 1", Record(0x400000).u32(8, 77).u32(16, 5).u32(40, 1),
         " eventType=\"FSA_EM_DISK_SET\" eventCode=\"0x400000\" diskSetEventType=\"FSA_DSE_OS_MANAGED_CHANGE\""
         " diskSetEventCode=\"1\" handle=\"77\" creatorId=\"5\" controllerID=\"0\""},
        {"disk set 100", Record(0x400000).u32(40, 100),
         " eventType=\"FSA_EM_DISK_SET\" eventCode=\"0x400000\" diskSetEventType=\"FSA_DSE_OS_MANAGED_CHANGE\""
         " diskSetEventCode=\"100\" handle=\"0\" creatorId=\"0\" controllerID=\"0\""},
        {"disk set 16", Record(0x400000).u32(40, 16),
         " eventType=\"FSA_EM_DISK_SET\" eventCode=\"0x400000\" diskSetEventType=\"INVALID_DISKSET_EVENT\""
         " diskSetEventCode=\"16\" handle=\"0\" creatorId=\"0\" controllerID=\"0\""},
        {"disk set 99", Record(0x400000).u32(40, 99),
         " eventType=\"FSA_EM_DISK_SET\" eventCode=\"0x400000\" diskSetEventType=\"INVALID_DISKSET_EVENT\""
         " diskSetEventCode=\"99\" handle=\"0\" creatorId=\"0\" controllerID=\"0\""},
        {"adapter text", Record(0x10).text(8, "Battery <low> & \"hot\""),
         " eventType=\"FSA_EM_ADAPTER_TEXT\" eventCode=\"0x10\""
         " adapterText=\"Battery &lt;low&gt; &amp; &quot;hot&quot;\" controllerID=\"0\""},
        {"container SCSI event", Record(0x4000000).u32(8, 3).u32(20, 9),
         " eventType=\"FSA_EM_CONTAINER_SCSI_EVENT\" eventCode=\"0x4000000\""
         " containerScsiEventType=\"FSA_CE_MASTER_BADBLOCK_FAIL\" containerScsiEventCode=\"0\" controllerID=\"0\""},
        {"enhanced battery", Record(0x8000000).u32(12, 1).u32(16, 0x41).u32(20, 3).u16(24, 0xFFFB).u16(26, 0x8000)
                                 .u16(28, 1200).u16(30, 1100).u16(32, 900).u16(38, 45).u32(40, 111).u32(44, 222)
                                 .u8(48, 1).u8(49, 2).u8(50, 3).u8(51, 4).u16(52, 60).u16(54, 4100).u16(56, 5)
                                 .u16(58, 6).u16(60, 7).u16(62, 8),
         " eventType=\"FSA_EM_ENHANCED_BATTERY_CHANGE\" eventCode=\"0x8000000\" capabilities_bits=\"1\""
         " event_bits=\"65\" status_bits=\"3\" temperature=\"4294967291\" current=\"4294934528\""
         " designCapacity=\"1200\" fullCapacity=\"1100\" remainingCapacity=\"900\" DramCurrentDraw=\"45\""
         " nextReconDate=\"111\" lastReconDate=\"222\" tabStatusRegisterBits=\"1\" tabControlRegisterBits=\"2\""
         " rombStatusRegisterBits=\"3\" rombControlRegisterBits=\"4\" max_temperature=\"60\" voltage=\"4100\""
         " batSubSysColdStartedDays=\"5\" batSubSysColdStartedHours=\"6\" batSubSysColdStartedMinutes=\"7\""
         " batSubSysColdStartedSeconds=\"8\" controllerID=\"0\""},
        {"unrecognized, no parameters", Record(0x80000000).u32(8, 0),
         " eventType=\"FSA_EM_UNRECOGNIZED_FW_EVENT\" eventCode=\"0x80000000\" controllerID=\"0\""},
        {"unrecognized, two parameters", Record(0x80000000).u32(8, 2).u32(12, 13).u32(16, 0xFFFFFFFF),
         " eventType=\"FSA_EM_UNRECOGNIZED_FW_EVENT\" eventCode=\"0x80000000\" fwParam0=\"13\" fwParam1=\"-1\""
         " controllerID=\"0\""},
        {"heat sensor", Record(0x20000000).u32(8, 3).u32(12, 1).u16(16, 71).u16(18, 10).u16(20, 65),
         " eventType=\"FSA_EM_GENERAL_UPDATE_EVENT\" eventCode=\"0x20000000\""
         " generalUpdateEventType=\"FSA_GENERAL_UPDATE_HEAT_SENSOR\" generalUpdateEventCode=\"3\" overheat=\"1\""
         " temperature=\"71\" thresholdLo=\"10\" thresholdHi=\"65\" controllerID=\"0\""},
        {"power state of a logical drive", Record(0x20000000).u32(8, 5).u16(12, 1).u16(14, 3).u32(16, 2),
         " eventType=\"FSA_EM_GENERAL_UPDATE_EVENT\" eventCode=\"0x20000000\""
         " generalUpdateEventType=\"FSA_GENERAL_UPDATE_POWER_MGT\" generalUpdateEventCode=\"5\" pmEventType=\"1\""
         " pmState=\"3\" controllerID=\"0\" logicalDriveID=\"2\""},
        {"power state of a member", Record(0x20000000).u32(8, 5).u16(12, 2).u32(16, 2).u32(20, 0).u32(24, 4),
         " eventType=\"FSA_EM_GENERAL_UPDATE_EVENT\" eventCode=\"0x20000000\""
         " generalUpdateEventType=\"FSA_GENERAL_UPDATE_POWER_MGT\" generalUpdateEventCode=\"5\" pmEventType=\"2\""
         " channelID=\"0\" deviceID=\"4\" controllerID=\"0\" logicalDriveID=\"2\""},
        {"general update 4", Record(0x20000000).u32(8, 4),
         " eventType=\"FSA_EM_GENERAL_UPDATE_EVENT\" eventCode=\"0x20000000\""
         " generalUpdateEventType=\"FSA_GENERAL_UPDATE_UNKNOWN\" generalUpdateEventCode=\"4\" controllerID=\"0\""},
    };
    expectRendered(cases);
}

TEST_F(VynEventRenderTest, ExpandedGroupsWriteTheirSubtypes)
{
    const uint8_t cdb[12] = {0x28, 0, 0, 0, 0x10, 0, 0, 0, 8, 0, 0, 0xFF};
    Record senseData = expanded(2, 12).u8(20, 0).u8(21, 3).u8(22, 0);
    std::memcpy(senseData.bytes() + 28, cdb, sizeof cdb);
    senseData.u8(40, 0x70).u8(42, 3).u8(71, 0xAB);
    const Case cases[] = {
        {"group 9", expanded(9, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"INVALID_EXPANDED_EVENT\""
         " groupCode=\"9\" priority=\"2\" controllerID=\"0\""},
        {"group 0", expanded(0, 3),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_UNKNOWN_GROUP\""
         " groupCode=\"0\" priority=\"2\" controllerID=\"0\""},
        {"firmware panic", expanded(1, 4).u32(20, 0xDEAD),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_FIRMWARE_GROUP\""
         " groupCode=\"1\" priority=\"2\" subType=\"FSA_EXE_FW_PANIC\" subTypeCode=\"4\" value=\"57005\""
         " controllerID=\"0\""},
        {"firmware generic", expanded(1, 1).text(20, "cache.c").u32(36, 812).text(40, "flush stalled"),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_FIRMWARE_GROUP\""
         " groupCode=\"1\" priority=\"2\" subType=\"FSA_EXE_FW_GENERIC\" subTypeCode=\"1\" filename=\"cache.c\""
         " line=\"812\" text=\"flush stalled\" controllerID=\"0\""},
        {"firmware subtype 2", expanded(1, 2),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_FIRMWARE_GROUP\""
         " groupCode=\"1\" priority=\"2\" subType=\"UNKNOWN_EXPANDED_FIRMWARE_SUBTYPE\" subTypeCode=\"2\""
         " controllerID=\"0\""},
        {"SCSI subtype 0", expanded(2, 0).u8(20, 1).u8(21, 2),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_UNKNOWN_SUBTYPE\" controllerID=\"0\""},
        {"SCSI subtype 17", expanded(2, 17).u8(20, 1).u8(21, 2),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"UNKNOWN_EXPANDED_SCSI_EVENT_SUBTYPE\" controllerID=\"0\""},
        {"SCSI generic", expanded(2, 1).text(28, "bus settled"),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_GENERIC\" text=\"bus settled\" subTypeCode=\"1\""
         " controllerID=\"0\""},
        {"medium error, possibility 7", expanded(2, 5).u8(20, 0).u8(21, 3).u8(22, 1).u32(28, 7).u32(32, 100)
                                            .u32(36, 107),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_MEDIUM_ERROR\" subTypeCode=\"5\""
         " bbrPossibleType=\"UNKNOWN bbrPossibleType\" lbaStart=\"100\" lbaEnd=\"107\" lun=\"1\" controllerID=\"0\""
         " channelID=\"0\" deviceID=\"3\""},
        {"medium error, possible", expanded(2, 5).u8(21, 3).u32(28, 2).u32(32, 100).u32(36, 107),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_MEDIUM_ERROR\" subTypeCode=\"5\""
         " bbrPossibleType=\"FSA_EXE_SCSI_BBR_POSSIBLE\" bbrPossibleCode=\"2\" lbaStart=\"100\" lbaEnd=\"107\""
         " lun=\"0\" controllerID=\"0\" channelID=\"0\" deviceID=\"3\""},
        {"bad block reassignment failed", expanded(2, 6).u8(21, 3).u32(28, 4),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_BAD_BLOCK_REC\" subTypeCode=\"6\""
         " bbrEvtType=\"FSA_EXE_SCSI_BBR_FAILED\" bbrEvtCode=\"4\" lun=\"0\" controllerID=\"0\" channelID=\"0\""
         " deviceID=\"3\""},
        {"bad block reassignment 0", expanded(2, 6).u8(21, 3).u32(28, 0),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_BAD_BLOCK_REC\" subTypeCode=\"6\""
         " bbrEvtType=\"UNKNOWN bbrEvtType\" lun=\"0\" controllerID=\"0\" channelID=\"0\" deviceID=\"3\""},
        {"bus reset: no address", expanded(2, 2).u8(20, 1).u8(21, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_BUS_RESET\" subTypeCode=\"2\" bus=\"1\""
         " isInBound=\"1\" controllerID=\"0\""},
        {"sense data", senseData,
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_SENSE_DATA\" subTypeCode=\"12\""
         " cdb=\"28 00 00 00 10 00 00 00 08 00 00 ff\""
         " data=\"70 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ab\""
         " lun=\"0\" controllerID=\"0\" channelID=\"0\" deviceID=\"3\""},
        {"bad stripe", expanded(2, 14).u32(20, 2).u32(32, 1).u32(36, 5).u32(40, 9),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_BAD_STRIPE_ERROR\" subTypeCode=\"14\""
         " bbrPossibleType=\"FSA_EXE_SCSI_BBR_NOT_POSSIBLE\" bbrPossibleCode=\"1\" lbaStart=\"5\" lbaEnd=\"9\""
         " controllerID=\"0\" logicalDriveID=\"2\""},
        {"container subtype 0", expanded(3, 0),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_UNKNOWN_SUBTYPE\" subTypeCode=\"0\" controllerID=\"0\""},
        {"container subtype 6", expanded(3, 6).u32(20, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_UNKNOWN_SUBTYPE\" controllerID=\"0\""},
        {"container subtype 9", expanded(3, 9).u32(20, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_UNKNOWN_SUBTYPE\" controllerID=\"0\""},
        {"scrub medium errors", expanded(3, 2).u32(20, 1).u32(32, 12),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_SCRUB_MEDIUM_ERROR\" subTypeCode=\"2\""
         " errorCount=\"12\" controllerID=\"0\" logicalDriveID=\"1\""},
        {"hot spare took over", expanded(3, 4).u32(20, 1).u8(24, 0).u8(25, 3).u8(26, 0).u32(32, 1).u32(44, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_REPLACED_HOTSPARE\" subTypeCode=\"4\""
         " replaceEventType=\"FSA_EXE_REPLACE_SUCCESS\" replaceEventCode=\"1\" hotSpareBusNumber=\"0\""
         " hotSpareID=\"3\" hotSpareLUN=\"0\" bIsDedicated=\"1\" controllerID=\"0\" logicalDriveID=\"1\""},
        {"hot spare too small", expanded(3, 4).u32(20, 2).u8(25, 3).u32(32, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_REPLACED_HOTSPARE\" subTypeCode=\"4\""
         " replaceEventType=\"FSA_EXE_REPLACE_TOO_SMALL\" replaceEventCode=\"2\" hotSpareBusNumber=\"0\""
         " hotSpareID=\"3\" hotSpareLUN=\"0\" controllerID=\"0\" logicalDriveID=\"1\""},
        {"hot spare result 5", expanded(3, 4).u32(20, 5).u32(32, 1),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_REPLACED_HOTSPARE\" subTypeCode=\"4\""
         " replaceEventType=\"UNKNOWN replaceEventType\" controllerID=\"0\" logicalDriveID=\"1\""},
        {"metadata CRC failure", expanded(3, 5).u8(20, 0).u8(21, 2).u8(22, 0).u32(28, 2),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_METADATA_ERROR\" subTypeCode=\"5\""
         " mDataEventType=\"FSA_EXE_METADATA_CRC_FAILURE\" mDataEventCode=\"2\" memberWithErrorBusNumber=\"0\""
         " memberWithErrorID=\"2\" memberWithErrorLUN=\"0\" controllerID=\"0\" channelID=\"0\" deviceID=\"2\""},
        {"metadata result 9", expanded(3, 5).u8(21, 2).u32(28, 9),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_METADATA_ERROR\" subTypeCode=\"5\""
         " mDataEventType=\"UNKNOWN mDataEventType\" controllerID=\"0\" channelID=\"0\" deviceID=\"2\""},
        {"snapshot space", expanded(3, 8).u32(20, 4).u32(32, 100).u32(36, 40).u32(40, 64),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"2\" subType=\"FSA_EXE_CT_SNAPSHOT_USED_TARGET_SPACE\" subTypeCode=\"8\""
         " totalTargetChunks=\"100\" usedTargetChunks=\"40\" chunkSize=\"64\" controllerID=\"0\""
         " logicalDriveID=\"4\""},
        {"cluster generic", expanded(4, 1).u32(20, 3).text(32, "partner lost"),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CLUSTER_GROUP\""
         " groupCode=\"4\" priority=\"2\" subType=\"FSA_EXE_CL_GENERIC\" subTypeCode=\"1\" text=\"partner lost\""
         " controllerID=\"0\" logicalDriveID=\"3\""},
        {"cluster subtype 2", expanded(4, 2).u32(20, 3),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CLUSTER_GROUP\""
         " groupCode=\"4\" priority=\"2\" subType=\"UNKNOWN_EXPANDED_CLUSTER_EVENT\" subTypeCode=\"2\""
         " controllerID=\"0\""},
        {"enclosure subtype 0", expanded(5, 0),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_ENCLOSURE_GROUP\""
         " groupCode=\"5\" priority=\"2\" subType=\"FSA_EXE_ENC_UNKOWN_SUBTYPE\" subTypeCode=\"0\" controllerID=\"0\""},
        {"generic text", expanded(6, 1).text(20, "hello"),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_GENERIC_GROUP\""
         " groupCode=\"6\" priority=\"2\" subType=\"FSA_EXE_GENERIC\" subTypeCode=\"1\" text=\"hello\""
         " controllerID=\"0\""},
        {"generic subtype 3", expanded(6, 3),
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_GENERIC_GROUP\""
         " groupCode=\"6\" priority=\"2\" subType=\"UNKNOWN_EXPANDED_GENERIC_EVENT\" subTypeCode=\"3\""
         " controllerID=\"0\""},
    };
    expectRendered(cases);
}

TEST_F(VynEventRenderTest, ARecordTimeIsKeptAndTimeZeroIsNow)
{
    Ret ret(0);
    EXPECT_NE(render(Record(0x4, 1234567), ret).find(" Date=\"1234567\" "), std::string::npos);

    const unsigned long before = static_cast<unsigned long>(std::time(nullptr));
    const std::string now = render(Record(0x4, 0), ret);
    const unsigned long after = static_cast<unsigned long>(std::time(nullptr));
    const size_t at = now.find("Date=\"");
    ASSERT_NE(at, std::string::npos);
    const unsigned long stamped = std::stoul(now.substr(at + 6));
    EXPECT_GE(stamped, before);
    EXPECT_LE(stamped, after);
    EXPECT_EQ(ret.getReturn(), 0);
}

TEST_F(VynEventRenderTest, AnUnknownClassIsWrittenAndReported)
{
    Ret ret(0);
    EXPECT_EQ(masked(Record(0x3), ret),
              "\t<event Date=\"D\" eventType=\"UNKNOWN\" eventCode=\"0x3\" controllerID=\"0\"/>\n");
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 0u);
    EXPECT_EQ(errorCount("*** FSA API Error: UNKNOWN event fsaStatus=0 ***"), 1u);
}

TEST_F(VynEventRenderTest, ADriveHandleThatDoesNotTranslateLeavesOnlyTheUnit)
{
    const std::pair<uint32_t, const char*> slotEvents[] = {{24, "FSA_ECM_DRIVE_INSERTION"},
                                                           {25, "FSA_ECM_DRIVE_REMOVAL"}};
    for (const auto& [code, name] : slotEvents) {
        ScriptedFsaExports fsa;
        fsa.script("FsaGetBusTargetLunFromDevHandle", 9, words({2, 3, 0}));
        Ret ret(0);
        EXPECT_EQ(masked(Record(0x2000).u32(12, 0x02000003).u32(16, code), ret),
                  std::string("\t<event Date=\"D\" eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\""
                              " enclosureEventType=\"") +
                      name + "\" unitID=\"33554435\" enclosureEventCode=\"" + std::to_string(code) +
                      "\" controllerID=\"0\"/>\n");
        EXPECT_EQ(fsa.count("FsaGetBusTargetLunFromDevHandle"), 1u);
        EXPECT_EQ(ret.getReturn(), 0);
    }
}

TEST_F(VynEventRenderTest, ParameterCountsAreCutAtTheRecordsRoom)
{
    Record r(0x80000000);
    r.u32(8, 1000);
    for (size_t at = 12; at + 4 <= 328; at += 4)
        r.u32(at, 7);
    Ret ret(0);
    const std::string element = render(r, ret);
    size_t parameters = 0;
    for (size_t at = element.find("fwParam"); at != std::string::npos; at = element.find("fwParam", at + 1))
        ++parameters;
    EXPECT_EQ(parameters, 80u);
    EXPECT_NE(element.find(" fwParam78=\"7\" fwParam79=\"" + std::to_string(kTime) + "\""), std::string::npos);
    EXPECT_EQ(ret.getReturn(), 0);
}

TEST_F(VynEventRenderTest, TextsWithoutNulEndWithTheDetailBytes)
{
    Record adapterText(0x10);
    std::memset(adapterText.bytes() + 8, 'A', 332 - 8);
    Record firmware = expanded(1, 1);
    std::memset(firmware.bytes() + 20, 'f', 16);
    firmware.u32(36, 'L');
    std::memset(firmware.bytes() + 40, 't', 332 - 40);
    Ret ret(0);
    EXPECT_NE(render(adapterText, ret).find(" adapterText=\"" + std::string(324 - 8, 'A') + "\" controllerID="),
              std::string::npos);
    // The file name runs on into the line word, as the firmware sent it.
    const std::string expandedText = render(firmware, ret);
    EXPECT_NE(expandedText.find(" filename=\"" + std::string(16, 'f') + "L\" line=\"76\""), std::string::npos);
    EXPECT_NE(expandedText.find(" text=\"" + std::string(324 - 40, 't') + "\" controllerID="), std::string::npos);
    EXPECT_EQ(ret.getReturn(), 0);
}

}  // namespace
