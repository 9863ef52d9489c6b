// Live events of a controller: the polling loop with its one pause on a new
// controller object, the list text and the events file, the statuses that
// end the loop, and the records parsed from the list.
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/StorEvent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

using vyntest::readFile;
using vyntest::ScriptedFsaExports;
using vyntest::writeFile;

constexpr FSA_STATUS kNoEvent = 336;
const char kEmptyList[] = "<eventlog>\n</eventlog>\n";

// The 332 bytes of an event record: the class, u32 fields at their offsets
// and a fixed time.
std::vector<uint8_t> record(uint32_t eventClass, std::initializer_list<std::pair<size_t, uint32_t>> fields = {})
{
    std::vector<uint8_t> bytes(sizeof(tag_FSA_EVENT), 0);
    faPutLe32(bytes.data(), eventClass);
    faPutLe32(bytes.data() + 328, 1700000000);
    for (const auto& [at, value] : fields)
        faPutLe32(bytes.data() + at, value);
    return bytes;
}

std::string maskDates(const std::string& text)
{
    static const std::regex date(" Date=\"[0-9]+\"");
    return std::regex_replace(text, date, " Date=\"D\"");
}

std::vector<std::string> attributeNames(const StorEvent& event)
{
    std::vector<std::string> names;
    for (unsigned long i = 0; i < event.attributes.NumEntries(); ++i)
        names.emplace_back(event.attributes.GetName(i));
    return names;
}

class VynEventPollTest : public vyntest::FamilyTest {
protected:
    std::string eventsFile() const { return hostFile("/var/log/vynevents.txt"); }

    // A controller object whose firmware calls the scripted exports answer
    // (sleeps still reach the simulator's clock).
    vyntest::TreePtr<VynAdapter> scriptedController()
    {
        startController();
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(VynAdapter::AVAILABILITY_CANNOT_OPEN);
        return vyntest::TreePtr<VynAdapter>(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
    }
};

TEST_F(VynEventPollTest, OnlyTheFirstPollOfANewControllerObjectPauses)
{
    startController();
    writeFile(eventsFile(), "");
    auto adapter = openController();
    ASSERT_NE(adapter, nullptr);

    std::string xml = "left over";
    uint64_t before = sim().clockMs();
    Ret ret = adapter->getEvents(0, xml);
    const uint64_t first = sim().clockMs() - before;
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(xml, kEmptyList);
    EXPECT_FALSE(adapter->isFirstEventPoll());

    before = sim().clockMs();
    ret = adapter->getEvents(0, xml);
    const uint64_t second = sim().clockMs() - before;
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(xml, kEmptyList);
    // The firmware interface rests on each empty fetch itself; on top of
    // its two fetches the first request waits one second, the second none.
    EXPECT_EQ(first, 1000 + 2 * second);
    EXPECT_EQ(readFile(eventsFile()), "");
    EXPECT_EQ(errorLog(), "");
}

TEST_F(VynEventPollTest, TheFirstPauseIsOneSecondBetweenTwoPolls)
{
    auto adapter = scriptedController();
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaPollForEvent", kNoEvent);
    std::string xml;
    uint64_t before = sim().clockMs();
    EXPECT_EQ(adapter->getEvents(0, xml).getReturn(), 0);
    EXPECT_EQ(sim().clockMs() - before, 1000u);
    EXPECT_EQ(fsa.count("FsaPollForEvent"), 2u);
    EXPECT_EQ(xml, kEmptyList);

    before = sim().clockMs();
    EXPECT_EQ(adapter->getEvents(0, xml).getReturn(), 0);
    EXPECT_EQ(sim().clockMs() - before, 0u);
    EXPECT_EQ(fsa.count("FsaPollForEvent"), 3u);
}

TEST_F(VynEventPollTest, AnEventAlreadyPendingNeedsNoPause)
{
    startController("[adapter0.event0]\nnotify = 9\n[adapter0.event1]\nnotify = 10\n");
    writeFile(eventsFile(), "");
    auto adapter = openController();
    ASSERT_NE(adapter, nullptr);
    const uint64_t before = sim().clockMs();
    std::string xml;
    EXPECT_EQ(adapter->getEvents(0, xml).getReturn(), 0);
    EXPECT_LT(sim().clockMs() - before, 1000u);
    EXPECT_FALSE(adapter->isFirstEventPoll());
    const std::string expected =
        "<eventlog>\n"
        "\t<event Date=\"D\" eventType=\"FSA_EM_ADAPTER_PAUSED\" eventCode=\"0x400\" controllerID=\"0\"/>\n"
        "\t<event Date=\"D\" eventType=\"FSA_EM_ADAPTER_RESUMED\" eventCode=\"0x800\" controllerID=\"0\"/>\n"
        "</eventlog>\n";
    EXPECT_EQ(maskDates(xml), expected);
    // The events file gets the whole list as it was returned.
    EXPECT_EQ(readFile(eventsFile()), xml);
}

TEST_F(VynEventPollTest, RaisedEventsComeBackAsRecordsInOrder)
{
    startController();
    auto adapter = openController();
    ASSERT_NE(adapter, nullptr);
    // A drive inserted at handle 3 (enclosure event 31), a pause, and the
    // battery going from dead to reconditioning.
    sim().raiseEvent(0, 13, {0, 3, 31});
    sim().raiseEvent(0, 9);
    sim().raiseEvent(0, 14, {0, 4, 1});

    StorEventCollection events(1, 1, 16);
    const Ret ret = adapter->getEvents(events);
    EXPECT_EQ(ret.getReturn(), 0);
    ASSERT_EQ(events.LastIndex(), 2);

    const StorEvent& inserted = *events.Obj_P(0);
    EXPECT_STREQ(inserted.eventType, "FSA_EM_ENCLOSURE_MANAGEMENT");
    EXPECT_EQ(inserted.eventCode, 0x2000);
    EXPECT_STREQ(inserted.detailType, "FSA_ECM_DRIVE_INSERTION");
    EXPECT_EQ(inserted.detailCode, 24);
    EXPECT_EQ(inserted.eventAddr.getAdapterID(), 0u);
    EXPECT_EQ(inserted.eventAddr.getChannelID(), 0u);
    EXPECT_EQ(inserted.eventAddr.getDeviceID(), 3u);
    EXPECT_NE(inserted.date, 0u);
    EXPECT_EQ(attributeNames(inserted),
              (std::vector<std::string>{"Date", "eventType", "eventCode", "enclosureEventType", "unitID",
                                        "enclosureEventCode", "channelID", "deviceID", "controllerID"}));
    EXPECT_STREQ(inserted.attributes.GetValue("unitID"), "3");

    const StorEvent& paused = *events.Obj_P(1);
    EXPECT_STREQ(paused.eventType, "FSA_EM_ADAPTER_PAUSED");
    EXPECT_EQ(paused.detailCode, 0x7FFFFFFF);
    EXPECT_STREQ(paused.detailType, "");
    EXPECT_EQ(paused.attributes.NumEntries(), 4u);

    const StorEvent& battery = *events.Obj_P(2);
    EXPECT_STREQ(battery.eventType, "FSA_EM_BATTERY_CHANGE");
    EXPECT_STREQ(battery.detailType, "FSA_BATTERY_RECONDITION");
    EXPECT_EQ(battery.detailCode, 5);
    EXPECT_STREQ(battery.attributes.GetValue("priorState"), "2");
    EXPECT_STREQ(battery.attributes.GetValue("currentState"), "1");
}

TEST_F(VynEventPollTest, TextsOfSeededAndRaisedNotificationsReachTheirAttributes)
{
    startController("[adapter0.event0]\nnotify = 1\ntext = \"Battery <low>\"\n");
    auto adapter = openController();
    ASSERT_NE(adapter, nullptr);
    // An expanded generic event (type 0x70000000, priority 2) and its text.
    sim().raiseEvent(0, 23, {0x70000000, 2}, "fan tray swapped");
    std::string xml;
    EXPECT_EQ(adapter->getEvents(0, xml).getReturn(), 0);
    EXPECT_EQ(maskDates(xml),
              "<eventlog>\n"
              "\t<event Date=\"D\" eventType=\"FSA_EM_ADAPTER_TEXT\" eventCode=\"0x10\""
              " adapterText=\"Battery &lt;low&gt;\" controllerID=\"0\"/>\n"
              "\t<event Date=\"D\" eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\""
              " groupType=\"FSA_EXE_GENERIC_GROUP\" groupCode=\"6\" priority=\"2\" subType=\"FSA_EXE_GENERIC\""
              " subTypeCode=\"1\" text=\"fan tray swapped\" controllerID=\"0\"/>\n"
              "</eventlog>\n");
}

TEST_F(VynEventPollTest, NotificationsOfTheControllerRenderAsTheirEventClasses)
{
    struct Case {
        const char* what;
        uint32_t code;
        std::vector<uint32_t> words;
        const char* element;  // after "\t<event Date=\"D\"", before "/>\n"
    };
    // Drive handles are bus << 24 | LUN << 16 | target. Expanded events
    // (23) carry their type and priority, then the type's data.
    const Case cases[] = {
        {"disk failure", 5, {0x00000002},
         " eventType=\"FSA_EM_DISK_FAILURE\" eventCode=\"0x8\" controllerID=\"0\" channelID=\"0\" deviceID=\"2\""},
        {"JBOD added", 30, {0x00000006},
         " eventType=\"FSA_EM_JBOD_ADD\" eventCode=\"0x9\" controllerID=\"0\" channelID=\"0\" deviceID=\"6\""},
        {"drive removed from its slot", 13, {0, 0x00000004, 32},
         " eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\""
         " enclosureEventType=\"FSA_ECM_DRIVE_REMOVAL\" unitID=\"4\" enclosureEventCode=\"25\" channelID=\"0\""
         " deviceID=\"4\" controllerID=\"0\""},
        {"enclosure fan", 13, {0, 0, 1},
         " eventType=\"FSA_EM_ENCLOSURE_MANAGEMENT\" eventCode=\"0x2000\""
         " enclosureEventType=\"FSA_ECM_FAN_FAILURE\" enclosureEventCode=\"1\" controllerID=\"0\""},
        {"battery low after reconditioning", 14, {0, 1, 4},
         " eventType=\"FSA_EM_BATTERY_CHANGE\" eventCode=\"0x4000\""
         " batteryEventType=\"FSA_BATTERY_LOW_DONE_RECOND\" batteryEventCode=\"7\" priorState=\"1\""
         " currentState=\"2\" controllerID=\"0\""},
        {"heat sensor", 25, {71, 65u << 16 | 10},
         " eventType=\"FSA_EM_GENERAL_UPDATE_EVENT\" eventCode=\"0x20000000\""
         " generalUpdateEventType=\"FSA_GENERAL_UPDATE_HEAT_SENSOR\" generalUpdateEventCode=\"3\" overheat=\"1\""
         " temperature=\"71\" thresholdLo=\"10\" thresholdHi=\"65\" controllerID=\"0\""},
        {"SSD wear-out", 36, {},
         " eventType=\"FSA_EM_SSD_WEAROUT_THRESHOLD_REACHED\" eventCode=\"0x40000a\" controllerID=\"0\""},
        {"firmware panic", 23, {3, 1, 0xBEEF},
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_FIRMWARE_GROUP\""
         " groupCode=\"1\" priority=\"1\" subType=\"FSA_EXE_FW_PANIC\" subTypeCode=\"4\" value=\"48879\""
         " controllerID=\"0\""},
        {"medium error", 23, {0x10004, 2, 0x01000300, 100, 107},
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_SCSI_GROUP\""
         " groupCode=\"2\" priority=\"2\" subType=\"FSA_EXE_SCSI_MEDIUM_ERROR\" subTypeCode=\"5\""
         " bbrPossibleType=\"FSA_EXE_SCSI_BBR_POSSIBLE\" bbrPossibleCode=\"2\" lbaStart=\"100\" lbaEnd=\"107\""
         " lun=\"0\" controllerID=\"0\" channelID=\"0\" deviceID=\"3\""},
        {"hot spare took over", 23, {0x20003, 3, 1, 0x0500},
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_CONTAINER_GROUP\""
         " groupCode=\"3\" priority=\"3\" subType=\"FSA_EXE_CT_REPLACED_HOTSPARE\" subTypeCode=\"4\""
         " replaceEventType=\"FSA_EXE_REPLACE_SUCCESS\" replaceEventCode=\"1\" hotSpareBusNumber=\"0\""
         " hotSpareID=\"5\" hotSpareLUN=\"0\" bIsDedicated=\"0\" controllerID=\"0\" logicalDriveID=\"0\""},
        {"enclosure group", 23, {0x40000, 4},
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_ENCLOSURE_GROUP\""
         " groupCode=\"5\" priority=\"4\" subType=\"FSA_EXE_ENC_UNKOWN_SUBTYPE\" subTypeCode=\"0\""
         " controllerID=\"0\""},
        {"expanded type unknown", 23, {0x50000, 2},
         " eventType=\"FSA_EM_EXPANDED_EVENT\" eventCode=\"0x10000000\" groupType=\"FSA_EXE_UNKNOWN_GROUP\""
         " groupCode=\"0\" priority=\"2\" controllerID=\"0\""},
        {"notification 38", 38, {},
         " eventType=\"FSA_EM_UNRECOGNIZED_FW_EVENT\" eventCode=\"0x80000000\" fwParam0=\"38\" controllerID=\"0\""},
    };
    startController();
    auto adapter = openController();
    ASSERT_NE(adapter, nullptr);
    std::string xml;
    ASSERT_EQ(adapter->getEvents(0, xml).getReturn(), 0);
    for (const Case& c : cases) {
        sim().raiseEvent(0, c.code, c.words);
        const Ret ret = adapter->getEvents(0, xml);
        EXPECT_EQ(ret.getReturn(), 0) << c.what;
        EXPECT_EQ(maskDates(xml), std::string("<eventlog>\n\t<event Date=\"D\"") + c.element + "/>\n</eventlog>\n")
            << c.what;
    }
}

TEST_F(VynEventPollTest, AnUnknownClassEndsThePollAndLeavesTheRestPending)
{
    auto adapter = scriptedController();
    ScriptedFsaExports fsa;
    fsa.script("FsaPollForEvent", 1, record(0x4));
    fsa.script("FsaPollForEvent", 1, record(0x3));
    fsa.script("FsaPollForEvent", 1, record(0x8, {{12, 0x0301}}));
    fsa.script("FsaPollForEvent", kNoEvent);

    std::string xml;
    Ret ret = adapter->getEvents(0, xml);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 0u);
    EXPECT_EQ(maskDates(xml),
              "<eventlog>\n"
              "\t<event Date=\"D\" eventType=\"FSA_EM_CONFIG_CHANGE\" eventCode=\"0x4\" controllerID=\"0\"/>\n"
              "\t<event Date=\"D\" eventType=\"UNKNOWN\" eventCode=\"0x3\" controllerID=\"0\"/>\n"
              "</eventlog>\n");
    EXPECT_EQ(fsa.count("FsaPollForEvent"), 2u);
    EXPECT_EQ(errorCount("UNKNOWN event fsaStatus=0"), 1u);
    EXPECT_EQ(errorCount("FsaPollForEvent"), 0u);

    ret = adapter->getEvents(0, xml);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(maskDates(xml), "<eventlog>\n"
                              "\t<event Date=\"D\" eventType=\"FSA_EM_DISK_FAILURE\" eventCode=\"0x8\""
                              " controllerID=\"0\" channelID=\"1\" deviceID=\"3\"/>\n"
                              "</eventlog>\n");
}

TEST_F(VynEventPollTest, AFailedPollIsReportedWithTheTextGathered)
{
    auto adapter = scriptedController();
    ScriptedFsaExports fsa;
    fsa.script("FsaPollForEvent", 1, record(0x400));
    fsa.script("FsaPollForEvent", 5);

    std::string xml;
    Ret ret = adapter->getEvents(0, xml);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 5u);
    EXPECT_EQ(maskDates(xml), "<eventlog>\n"
                              "\t<event Date=\"D\" eventType=\"FSA_EM_ADAPTER_PAUSED\" eventCode=\"0x400\""
                              " controllerID=\"0\"/>\n"
                              "</eventlog>\n");
    EXPECT_EQ(errorCount("*** FSA API Error: FsaPollForEvent(x,x,x) fsaStatus=5 ***"), 1u);

    // The parsed form hands the failure back with nothing collected.
    fsa.script("FsaPollForEvent", 1, record(0x400));
    fsa.script("FsaPollForEvent", 611);
    StorEventCollection events(4, 4, 0);
    ret = adapter->getEvents(events);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 611u);
    EXPECT_EQ(events.LastIndex(), -1);
}

TEST_F(VynEventPollTest, ACollectionReusedAfterALongerListHoldsOnlyTheNewEvents)
{
    auto adapter = scriptedController();
    ScriptedFsaExports fsa;
    // An enhanced battery change, an expanded medium error on drive 0:3 and
    // a job on logical drive 2.
    std::vector<uint8_t> battery = record(0x8000000, {{20, 3}});
    std::vector<uint8_t> medium = record(0x10000000, {{8, 2}, {12, 2}, {16, 5}, {28, 2}, {32, 10}, {36, 20}});
    medium[21] = 3;
    fsa.script("FsaPollForEvent", 1, battery);
    fsa.script("FsaPollForEvent", 1, medium);
    fsa.script("FsaPollForEvent", 1, record(0x8000, {{12, 9}, {16, 1}, {28, 2}}));
    fsa.script("FsaPollForEvent", kNoEvent);

    StorEventCollection events(2, 2, 0);
    ASSERT_EQ(adapter->getEvents(events).getReturn(), 0);
    ASSERT_EQ(events.LastIndex(), 2);
    EXPECT_EQ(events.Obj_P(0)->detailCode, 3);
    EXPECT_STREQ(events.Obj_P(0)->detailType, "status.status_bits");
    EXPECT_EQ(events.Obj_P(0)->attributes.NumEntries(), 25u);
    const StorEvent& scsi = *events.Obj_P(1);
    EXPECT_EQ(scsi.detailCode, 2);
    EXPECT_STREQ(scsi.detailType, "FSA_EXE_SCSI_GROUP");
    EXPECT_EQ(scsi.subTypeCode, 5);
    EXPECT_EQ(scsi.eventAddr.getChannelID(), 0u);
    EXPECT_EQ(scsi.eventAddr.getDeviceID(), 3u);
    EXPECT_STREQ(scsi.attributes.GetValue("bbrPossibleType"), "FSA_EXE_SCSI_BBR_POSSIBLE");
    const StorEvent& job = *events.Obj_P(2);
    EXPECT_EQ(job.eventCode, 0x8000);
    EXPECT_EQ(job.detailCode, 9);
    EXPECT_STREQ(job.detailType, "FSA_TF_CTR_R5SCRUB");
    EXPECT_EQ(job.eventAddr.getLogicalDriveID(), 2u);
    const unsigned long firstSize = events.getText().Size();
    // Parsing left the text in pieces; a caller may have put a whole list
    // back in its place. Either way it is not the next call's events.
    std::string earlier = "<eventlog>\n";
    for (int i = 0; i < 6; ++i)
        earlier += "\t<event Date=\"1\" eventType=\"FSA_EM_ADAPTER_PAUSED\" eventCode=\"0x400\"/>\n";
    earlier += "</eventlog>\n";
    ASSERT_LE(earlier.size(), firstSize);
    std::memcpy(events.getText().Buffer(), earlier.data(), earlier.size());

    fsa.script("FsaPollForEvent", 1, record(0x20000, {{8, 6}}));
    fsa.script("FsaPollForEvent", kNoEvent);
    ASSERT_EQ(adapter->getEvents(events).getReturn(), 0);
    EXPECT_EQ(events.getText().Size(), firstSize);
    ASSERT_EQ(events.LastIndex(), 0);
    EXPECT_STREQ(events.Obj_P(0)->eventType, "FSA_EM_CONTAINER_ADD");
    EXPECT_EQ(events.Obj_P(0)->eventAddr.getLogicalDriveID(), 6u);

    // A list with no event at all leaves the collection empty.
    fsa.script("FsaPollForEvent", kNoEvent);
    ASSERT_EQ(adapter->getEvents(events).getReturn(), 0);
    EXPECT_EQ(events.LastIndex(), -1);
}

}  // namespace
