// Enclosures of a controller: the SAF-TE pages and items a processor's
// enclosure record gives, the FRU data of the outside enclosure model, the
// identify and alarm requests of both enclosure kinds, and the SES-2 pages
// the simulated enclosure answers, kept as hex fixtures. Exact firmware
// words through the scripted exports; page contents and state changes on
// the simulator.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynEnclosure.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HexPage.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "RaidModel/Interface/SESElements.h"
#include "RaidModel/Interface/SafteItems.h"
#include "RaidModel/Interface/SaftePages.h"
#include "ScriptedFsaExports.h"
#include "common/Addr.h"
#include "common/Buffer.h"
#include "common/Ret.h"
#include "platform/hostsim/fw/Enclosures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;

using vyntest::kWriteHandle;
const std::vector<uint8_t> kNullHandle = {0, 0, 0, 0, 0, 0, 0, 0};
constexpr const char* kBusyLine = "*** Busy: Failed to obtain FSA API adapter write handle ***";

// A 472-byte enclosure record with fields written at their offsets from
// its start, as tree building receives it.
class Record {
public:
    Record() : info(new FsaEnclosureInfo) {}
    Record& u32(size_t at, uint32_t v)
    {
        faPutLe32(bytes() + at, v);
        return *this;
    }
    Record& u16(size_t at, uint16_t v)
    {
        faPutLe16(bytes() + at, v);
        return *this;
    }
    Record& u8(size_t at, uint8_t v)
    {
        bytes()[at] = v;
        return *this;
    }
    // Hands the record over (to an enclosure).
    FsaEnclosureInfo* release()
    {
        FsaEnclosureInfo* out = info;
        info = nullptr;
        return out;
    }
    ~Record() { delete info; }

private:
    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(info); }
    FsaEnclosureInfo* info;
};

// The scripted reply of a SCSI command that returns `page`.
std::vector<uint8_t> scsiReply(const std::vector<unsigned char>& page)
{
    std::vector<uint8_t> reply(8 + ScriptedFsaExports::kScsiSenseBytes, 0);
    reply.insert(reply.end(), page.begin(), page.end());
    return reply;
}

std::string hexText(const std::vector<unsigned char>& bytes)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
        text += (i % 16 == 15) ? "\n" : " ";
    }
    return text;
}

uint32_t word(const std::vector<uint8_t>& bytes, size_t at) { return faGetLe32(bytes.data() + at); }

// Enclosures over a controller that is never opened: every firmware call
// is the scripted one.
class VynEnclosureTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        _tagFSA_CHANNEL_ENUM_INFO c = {};
        channel = new VynSASChannel(adapter.get(), &c, static_cast<EnumSpeed>(400));
        adapter->addChild(channel);
    }
    // A SAF-TE enclosure at 0:9 on `record`, with its attachment made from a
    // device record of that vendor and model (which runs its build).
    VynEnclosure* enclosure(Record& record, const char* vendor = "VYNSIM", const char* model = "ENCLOSURE")
    {
        auto* e = new VynEnclosure(record.release(), adapter.get(), channel, 9);
        channel->addChild(e);
        FSA_STORAGE_DEVICE_INFO info;
        std::memset(&info, 0, sizeof info);
        info.address.targetId = 9;
        info.stdDevType = 3;
        std::memset(info.vendorId, ' ', sizeof info.vendorId);
        std::memset(info.productId, ' ', sizeof info.productId);
        std::memcpy(info.vendorId, vendor, std::strlen(vendor));
        std::memcpy(info.productId, model, std::strlen(model));
        new VynPhysicalDeviceAttach(channel, e, &info, nullptr);
        return e;
    }
    std::unique_ptr<ScriptedFsaExports> writableExports(const std::vector<uint8_t>& handle = kWriteHandle)
    {
        auto fsa = std::make_unique<ScriptedFsaExports>();
        fsa->answerUnscripted(FSA_STS_SUCCESS);
        fsa->scriptAlways("FsaOpenAdapter2A", FSA_STS_SUCCESS, handle);
        return fsa;
    }

    TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
};

// ---- SAF-TE pages and items ----

TEST_F(VynEnclosureTest, ItemCountsAreCappedAtSixteenInBothPagesAndTheItems)
{
    // Twenty slots stay inside the record; forty would read other fields and
    // past its end (ASan watches the 472 bytes).
    for (uint32_t claimed : {20u, 40u}) {
        SCOPED_TRACE(claimed);
        Record record;
        record.u32(20, claimed).u32(12, claimed).u32(16, claimed).u32(28, claimed).u8(200, 2);
        for (uint32_t k = 0; k < 16; ++k)
            record.u8(249 + 8 * k, static_cast<uint8_t>(100 + k));
        VynEnclosure* e = enclosure(record);
        SafteConfig* config = e->getSafteConfig();
        SafteStatus* status = e->getSafteStatus();
        ASSERT_NE(config, nullptr);
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(config->getDeviceSlotCount(), 16u);
        EXPECT_EQ(config->getFanCount(), 16u);
        EXPECT_EQ(config->getPowerSupplyCount(), 16u);
        EXPECT_EQ(config->getTempSensorCount(), 16u);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(status->getSlotScsiID(k), 100 + k);
        EXPECT_EQ(status->getSlotScsiID(16), SafteStatus::NO_DEVICE);
        // The door lock (firmware 2, unlocked) follows the sixteenth slot id
        // in the status page.
        EXPECT_EQ(status->getDoorLock(), 1);
        EXPECT_EQ(e->getSafteSlot(15)->getScsiID(), 115u);
        EXPECT_EQ(e->getSafteSlot(16), nullptr);
        EXPECT_NE(e->getSafteFan(15), nullptr);
        EXPECT_EQ(e->getSafteFan(16), nullptr);
        EXPECT_EQ(e->getSafteTempSensor(16), nullptr);
        EXPECT_EQ(e->getSaftePowerSupply(16), nullptr);
    }
}

TEST_F(VynEnclosureTest, FirmwareStatusBytesBecomeSafteCodes)
{
    const uint8_t fans[] = {1, 2, 4, 3};
    const int fanCodes[] = {0, 1, 2, 128};
    const uint8_t supplies[] = {1, 2, 4, 8, 16, 32, 7};
    const int supplyCodes[] = {0, 1, 16, 17, 33, 32, 128};
    const struct {
        uint8_t firmware;
        int lock;
    } locks[] = {{1, 0}, {2, 1}, {7, 128}};
    for (const auto& lock : locks) {
        SCOPED_TRACE(static_cast<int>(lock.firmware));
        Record record;
        record.u32(12, 4).u32(16, 7).u32(24, 1).u8(200, lock.firmware);
        for (size_t k = 0; k < 4; ++k)
            record.u8(168 + k, fans[k]);
        for (size_t k = 0; k < 7; ++k)
            record.u8(184 + k, supplies[k]);
        VynEnclosure* e = enclosure(record);
        // The items, the status page and the enclosure's own answers (read
        // from the page) all hold the same SAF-TE codes.
        const SafteStatus* page = e->getSafteStatus();
        ASSERT_NE(page, nullptr);
        for (unsigned long k = 0; k < 4; ++k) {
            EXPECT_EQ(e->getSafteFan(k)->getFanStatus(), fanCodes[k]) << k;
            EXPECT_EQ(page->getFanStatus(static_cast<int>(k)), fanCodes[k]) << k;
            EXPECT_EQ(e->getFanStatus(static_cast<unsigned short>(k)), fanCodes[k]) << k;
        }
        for (unsigned long k = 0; k < 7; ++k) {
            EXPECT_EQ(e->getSaftePowerSupply(k)->getPowerSupplyStatus(), supplyCodes[k]) << k;
            EXPECT_EQ(page->getPowerSupplyStatus(static_cast<int>(k)), supplyCodes[k]) << k;
            EXPECT_EQ(e->getPowerSupplyStatus(static_cast<unsigned short>(k)), supplyCodes[k]) << k;
        }
        EXPECT_EQ(e->getDoorLockStatus(), lock.lock);
        EXPECT_EQ(page->getDoorLock(), lock.lock);
        EXPECT_TRUE(e->getDoorLockPresent());
    }
}

TEST_F(VynEnclosureTest, SensorsSlotsSpeakerAndTheirPageBytes)
{
    Record record;
    record.u32(20, 2).u32(28, 2).u32(32, 1).u32(148, 1).u32(152, 1).u32(164, 0x2);
    record.u16(216, static_cast<uint16_t>(-5)).u16(218, 300);
    record.u8(249, 4).u8(257, 0xFF);
    record.u32(408, 0x01000000u).u32(412, 0x06000000u);
    VynEnclosure* e = enclosure(record);
    EXPECT_EQ(e->getSafteTempSensor(0)->getTemperature(), -5);
    EXPECT_FALSE(e->getSafteTempSensor(0)->getOutOfRange());
    EXPECT_EQ(e->getSafteTempSensor(1)->getTemperature(), 300);
    EXPECT_TRUE(e->getSafteTempSensor(1)->getOutOfRange());
    EXPECT_TRUE(e->getSafteSlot(0)->getDeviceInserted());
    EXPECT_FALSE(e->getSafteSlot(0)->getReadyForInsertionRemoval());
    EXPECT_FALSE(e->getSafteSlot(1)->getDeviceInserted());
    EXPECT_TRUE(e->getSafteSlot(1)->getPreparedForOperation());
    EXPECT_EQ(e->getSafteSlot(1)->getScsiID(), 0xFFu);
    EXPECT_TRUE(e->getSpeakerPresent());
    EXPECT_EQ(e->getSpeakerStatus(), 1);
    EXPECT_TRUE(e->getTempOutOfRange());
    EXPECT_FALSE(e->getDoorLockPresent());
    EXPECT_EQ(e->getDoorLockStatus(), 128);
    const SafteStatus* status = e->getSafteStatus();
    EXPECT_EQ(status->getSpeaker(), 1);
    EXPECT_EQ(status->getTemperature(0), 0xFB);  // the low byte of -5
    EXPECT_EQ(status->getTemperature(1), 300 & 0xFF);
    EXPECT_EQ(status->getTempFlags1(), 2);
    EXPECT_EQ(status->getTempFlags2(), 2);
    EXPECT_EQ(e->getSafteConfig()->getAudibleAlarmPresent(), 1u);
    EXPECT_TRUE(e->isSafteDataValid());
    // Both pages are children too, beside the items.
    std::vector<RaidObject*> pages;
    e->getChildren(pages, "SafteConfig", false, true);
    EXPECT_EQ(pages.size(), 1u);
    pages.clear();
    e->getChildren(pages, "SafteStatus", false, true);
    EXPECT_EQ(pages.size(), 1u);
}

TEST_F(VynEnclosureTest, AnEnclosureWithoutARecordBuildsNothing)
{
    Record none;
    delete none.release();
    VynEnclosure* e = enclosure(none);
    EXPECT_EQ(e->getSafteConfig(), nullptr);
    EXPECT_EQ(e->getEnclosureItem(0), nullptr);
    EXPECT_EQ(e->getDoorLockStatus(), 128);
}

// ---- FRU data of the outside enclosure model ----

TEST_F(VynEnclosureTest, OnlyTheOutsideModelSendsScsiCommandsDuringBuild)
{
    const struct {
        const char* vendor;
        const char* model;
        unsigned sent;
    } cases[] = {
        {"IBM", "EXP400", 2}, {"IBM", "EXP4000", 2}, {"IBM", "EXP300", 0}, {"VYNSIM", "EXP400", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.vendor) + " " + c.model);
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(FSA_STS_SUCCESS);
        Record record;
        record.u32(20, 2);
        enclosure(record, c.vendor, c.model);
        const auto sent = fsa.sent("FsaSendScsiCommand");
        ASSERT_EQ(sent.size(), c.sent);
        if (c.sent == 2) {
            // RECEIVE DIAGNOSTIC RESULTS of page 1 for 512 bytes, then page 7
            // for 2048.
            EXPECT_EQ(sent[0].bytes, (std::vector<uint8_t>{0x1C, 1, 1, 0x02, 0x00, 0}));
            EXPECT_EQ(sent[1].bytes, (std::vector<uint8_t>{0x1C, 1, 7, 0x08, 0x00, 0}));
        }
    }
}

TEST_F(VynEnclosureTest, FruBlocksGoToTheItemsOfTheirElements)
{
    // Pages of an enclosure with two slots, one fan and the enclosure
    // element, as the simulator answers them for the outside model.
    const struct {
        const char* descriptors;
        bool fanAndEnclosure;  // the blocks after the slots are read
    } cases[] = {
        {"safte_fru_descriptors.hex", true},
        // The slots' group claims more than the page holds: reading stops
        // after the slots.
        {"safte_fru_descriptors_overrun.hex", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.descriptors);
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(FSA_STS_SUCCESS);
        fsa.script("FsaSendScsiCommand", FSA_STS_SUCCESS, scsiReply(vyntest::readHexPage("safte_fru_configuration.hex")));
        fsa.script("FsaSendScsiCommand", FSA_STS_SUCCESS, scsiReply(vyntest::readHexPage(c.descriptors)));
        Record record;
        record.u32(20, 2).u32(12, 1);
        VynEnclosure* e = enclosure(record, "IBM", "EXP400");
        for (unsigned long k = 0; k < 2; ++k) {
            const IbmFruInfo* fru = e->getSafteSlot(k)->getIbmFruInfo();
            ASSERT_NE(fru, nullptr) << k;
            EXPECT_EQ(std::string(fru->getPartNum()), "PN010" + std::to_string(k));
            EXPECT_EQ(std::string(fru->getSerialNum()), "SN0010" + std::to_string(k));
            EXPECT_STREQ(fru->getVendor(), "IBM");
            EXPECT_STREQ(fru->getDateOfManufacture(), "2024-01-01");
            EXPECT_STREQ(fru->getType(), "SLOT");
        }
        const IbmFruInfo* fan = e->getSafteFan(0)->getIbmFruInfo();
        EnclosureItem* chassis = e->getItem(static_cast<EnclosureItem::ITEM_TYPE>(14), 0);
        if (!c.fanAndEnclosure) {
            EXPECT_EQ(fan, nullptr);
            EXPECT_EQ(chassis, nullptr);
            continue;
        }
        ASSERT_NE(fan, nullptr);
        EXPECT_STREQ(fan->getType(), "FAN");
        // An element without an item gets one of its own, numbered from 0.
        ASSERT_NE(chassis, nullptr);
        ASSERT_NE(chassis->getIbmFruInfo(), nullptr);
        EXPECT_STREQ(chassis->getIbmFruInfo()->getType(), "ENCL");
        EXPECT_EQ(e->getOtherEnclosureItem(0), chassis);
    }
}

// ---- SAF-TE operations ----

TEST_F(VynEnclosureTest, SafteIdentifySendsTheEnclosureRequestOnAWriteHandle)
{
    Record record;
    record.u32(4, 3);
    VynEnclosure* e = enclosure(record);
    auto fsa = writableExports();
    EXPECT_EQ(e->identifyDevice(true), Ret(0));
    EXPECT_EQ(e->identifyDevice(false), Ret(0));
    const auto sent = fsa->sent("FsaEnclosureMgt");
    ASSERT_EQ(sent.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(word(sent[i].bytes, 0), 2u);
        EXPECT_EQ(word(sent[i].bytes, 4), i == 0 ? 645u : 646u);
        EXPECT_EQ(word(sent[i].bytes, 8), 3u);
        EXPECT_EQ(sent[i].handle, reinterpret_cast<void*>(0x5678));
    }

    fsa->script("FsaEnclosureMgt", 263);
    const Ret failed = e->identifyDevice(true);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(failed.getAPIReturn(), 263u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaEnclosureMgt(FSA_ECM_ENCLOSURE_OP, FSA_ECM_SUB_ENCL_IDENTIFY) "
                         "fsaStatus=263 ***"),
              1u);

    fsa.reset();  // scopes of the exports end before the next begins
    fsa = writableExports(kNullHandle);
    EXPECT_EQ(e->identifyDevice(true).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaEnclosureMgt"), 0u);
    EXPECT_EQ(errorCount(kBusyLine), 1u);
}

TEST_F(VynEnclosureTest, SafteAlarmTestsOrSilencesOnly)
{
    Record record;
    record.u32(4, 1).u32(32, 1);
    VynEnclosure* e = enclosure(record);
    const struct {
        EnumAlarmState state;
        int code;
        uint32_t sub;  // 0: nothing sent
    } cases[] = {
        {ALARM_TEST, 0, 256}, {ALARM_SILENCE, 0, 257}, {ALARM_ON, -2, 0}, {ALARM_OFF, -2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state));
        auto fsa = writableExports();
        const std::string refusal = "*** Bad Parameter: Invalid Alarm State, paramValue=" +
                                    std::to_string(static_cast<int>(c.state)) + " ***";
        const unsigned before = errorCount(refusal);
        EXPECT_EQ(e->setAlarmState(c.state).getReturn(), c.code);
        const auto sent = fsa->sent("FsaEnclosureMgt");
        ASSERT_EQ(sent.size(), c.sub != 0 ? 1u : 0u);
        if (c.sub == 0) {
            EXPECT_EQ(fsa->count("FsaOpenAdapter2A"), 0u);
            EXPECT_EQ(errorCount(refusal), before + 1);
            continue;
        }
        EXPECT_EQ(word(sent[0].bytes, 0), 2u);
        EXPECT_EQ(word(sent[0].bytes, 4), c.sub);
        EXPECT_EQ(word(sent[0].bytes, 8), 1u);
        EXPECT_EQ(word(sent[0].bytes, 12), 0u);
    }

    std::unique_ptr<ScriptedFsaExports> fsa = writableExports();
    fsa->script("FsaEnclosureMgt", 369);
    EXPECT_EQ(e->setAlarmState(ALARM_TEST).getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaEnclosureMgt() fsaStatus=369 ***"), 1u);

    // Without a write handle: busy, nothing sent and no record of it.
    fsa.reset();  // scopes of the exports end before the next begins
    fsa = writableExports(kNullHandle);
    const std::string before = errorLog();
    EXPECT_EQ(e->setAlarmState(ALARM_SILENCE).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaEnclosureMgt"), 0u);
    EXPECT_EQ(errorLog(), before);
}

TEST_F(VynEnclosureTest, PassThroughNeedsTheAttachment)
{
    Record record;
    TreePtr<VynEnclosure> alone(new VynEnclosure(record.release(), adapter.get(), channel, 10));
    SCSICommand inquiry;
    inquiry.initInquiry(0);
    EXPECT_EQ(alone->scsiPassThruCommand(inquiry).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: Enclosure object had no attachment, paramValue=0 ***"), 1u);

    Record attached;
    VynEnclosure* e = enclosure(attached);
    ScriptedFsaExports fsa;
    fsa.script("FsaSendScsiCommand", FSA_STS_SUCCESS, scsiReply({0x03, 0, 5}));
    EXPECT_EQ(e->scsiPassThruCommand(inquiry), Ret(0));
    EXPECT_EQ(static_cast<const uint8_t*>(inquiry.getReadData().Ptr())[0], 0x03);
}

// ---- SES-2 enclosure device ----

TEST_F(VynEnclosureTest, Ses2OperationsThatAreRefusedOrNotOffered)
{
    // An enclosure whose pages could not be read has no elements and lists
    // no page.
    ScriptedFsaExports failing;
    failing.scriptAlways("FsaEnclosureMgt", 263);
    TreePtr<VynSES2EnclosureDevice> ses(new VynSES2EnclosureDevice(adapter.get(), channel, 8, 0));
    EXPECT_EQ(ses->identifyDevice(true).getReturn(), -12);
    EXPECT_EQ(ses->sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, nullptr, 0).getReturn(), -1);
    Buffer data(16);
    EXPECT_EQ(ses->sendDownloadMicrocodeControlPage(7, 0, 0, 0, 16, data).getReturn(), -1);
    EXPECT_EQ(ses->getDownloadMicrocodeStatusPage(data).getReturn(), -1);
    SCSICommand inquiry;
    inquiry.initInquiry(0);
    EXPECT_EQ(ses->scsiPassThruCommand(inquiry).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: SES2 Enclosure device had no attachment, paramValue=0 ***"), 1u);
}

TEST_F(VynEnclosureTest, Ses2ControlPagesGoThroughEnclosureManagement)
{
    // The built-in enclosure's page 0: page 2 is listed.
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(FSA_STS_SUCCESS);
    fsa.scriptAlways("FsaOpenAdapter2A", FSA_STS_SUCCESS, kWriteHandle);
    auto* ses = new VynSES2EnclosureDevice(adapter.get(), channel, 8, 0);
    channel->addChild(ses);
    const std::vector<unsigned char> supported = vyntest::readHexPage("ses2_default_supported.hex");
    ses->setSupportedDiagnosticPages(Buffer(supported.size(), supported.data()));
    unsigned char page[12] = {2};
    // Listed, but no attachment yet: nothing to address.
    EXPECT_EQ(ses->sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, page, sizeof page).getReturn(), -12);

    FSA_STORAGE_DEVICE_INFO info;
    std::memset(&info, 0, sizeof info);
    info.address.targetId = 8;
    info.stdDevType = 13;
    auto* attach = new VynPhysicalDeviceAttach(channel, ses, &info, nullptr);
    attach->setFsaEnclosureId(5);
    fsa.clearCalls();
    EXPECT_EQ(ses->sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, page, sizeof page), Ret(0));
    const auto sent = fsa.sent("FsaEnclosureMgt");
    ASSERT_FALSE(sent.empty());
    const std::vector<uint8_t>& r = sent.back().bytes;
    EXPECT_EQ(word(r, 0), 100u);
    EXPECT_EQ(word(r, 4), 0x2000u);
    EXPECT_EQ(word(r, 8), 5u);
    EXPECT_EQ(word(r, 12), 2u);
    EXPECT_EQ(word(r, 28), sizeof page);
    void* pointer = nullptr;
    std::memcpy(&pointer, r.data() + 36, sizeof pointer);
    EXPECT_EQ(pointer, page);
    EXPECT_EQ(sent.back().handle, reinterpret_cast<void*>(0x5678));

    // A page the enclosure does not list is not sent.
    const size_t before = fsa.sent("FsaEnclosureMgt").size();
    EXPECT_EQ(ses->sendDiagnosticPage(static_cast<EnumSESPageCodes>(0x0E), page, sizeof page).getReturn(), -1);
    EXPECT_EQ(fsa.sent("FsaEnclosureMgt").size(), before);

    fsa.script("FsaEnclosureMgt", 515);
    EXPECT_EQ(ses->sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, page, sizeof page).getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaEnclosureMgt() fsaStatus=515 ***"), 1u);

    // Without a write handle: busy, nothing sent and no record of it.
    ScriptedFsaExports noHandle;
    noHandle.answerUnscripted(FSA_STS_SUCCESS);
    noHandle.scriptAlways("FsaOpenAdapter2A", FSA_STS_SUCCESS, kNullHandle);
    const std::string log = errorLog();
    EXPECT_EQ(ses->sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, page, sizeof page).getReturn(), -6);
    EXPECT_EQ(noHandle.count("FsaEnclosureMgt"), 0u);
    EXPECT_EQ(errorLog(), log);
}

// On the simulator: the pages of the built-in enclosure, its elements and
// what its control pages change.
class VynEnclosureSimTest : public vyntest::FamilyTest {
protected:
    void build(const std::string& extra = "")
    {
        startController("base = default\n" + extra);
        adapter_ = openController();
        ASSERT_NE(adapter_, nullptr);
        adapter_->buildChildren(ret_);
    }
    RaidObject* device(unsigned long target) const
    {
        Addr addr;
        addr.setAdapterID(static_cast<uint32_t>(adapter_->getAdapterID()));
        addr.setChannelID(0);
        addr.setDeviceID(static_cast<uint32_t>(target));
        return adapter_->getChild(addr, true);
    }
    VynSES2EnclosureDevice* ses() const
    {
        RaidObject* node = device(8);
        return node != nullptr && node->isInstanceOf("VynSES2EnclosureDevice")
                   ? static_cast<VynSES2EnclosureDevice*>(node)
                   : nullptr;
    }
    std::string enclosureLine() { return sim().controller(0).objects.at("encl0"); }
    // Page `code` as enclosure management reads it; empty when it did not
    // arrive.
    std::vector<unsigned char> simulatedPage(unsigned char code)
    {
        FSA_ENCLOSURE_MGT request;
        std::vector<unsigned char> page(FSA_ECM_MAX_DATA, 0);
        if (!ses()->GetSesPage(&request, code, FSA_ECM_MAX_DATA, page.data()))
            return {};
        page.resize(std::min<size_t>(page.size(), 4 + (page[2] << 8 | page[3])));
        return page;
    }

    TreePtr<VynAdapter> adapter_;
    Ret ret_;
};

TEST_F(VynEnclosureSimTest, TheBuiltInEnclosuresPagesAreTheFixtures)
{
    build();
    ASSERT_NE(ses(), nullptr);
    const struct {
        unsigned char code;
        const char* file;
    } pages[] = {
        {0x00, "ses2_default_supported.hex"},     {0x01, "ses2_default_configuration.hex"},
        {0x02, "ses2_default_status.hex"},        {0x07, "ses2_default_descriptors.hex"},
        {0x0A, "ses2_default_additional.hex"},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.file);
        EXPECT_EQ(hexText(simulatedPage(p.code)), hexText(vyntest::readHexPage(p.file)));
    }
    EXPECT_FALSE(ses()->supportsDiagnosticPage(SES_PAGE_STRING_IN));
    EXPECT_TRUE(simulatedPage(SES_PAGE_STRING_IN).empty());
}

TEST_F(VynEnclosureSimTest, TheFruPagesOfTheOutsideModelAreTheFixtures)
{
    build("adapter0.encl0 = safte 0:9 slots=2 fans=1 vendor=IBM product=EXP400\n");
    RaidObject* node = device(9);
    ASSERT_NE(node, nullptr);
    ASSERT_STREQ(node->typeName(), "VynEnclosure");
    auto* e = static_cast<VynEnclosure*>(node);
    for (const auto& [code, file] : {std::make_pair(1, "safte_fru_configuration.hex"),
                                     std::make_pair(7, "safte_fru_descriptors.hex")}) {
        SCOPED_TRACE(file);
        SCSICommand read;
        read.initReadSES(static_cast<unsigned char>(code), 2048);
        ASSERT_EQ(e->scsiPassThruCommand(read), Ret(0));
        const std::vector<unsigned char> fixture = vyntest::readHexPage(file);
        const auto* data = static_cast<const unsigned char*>(read.getReadData().Ptr());
        const size_t length = std::min<size_t>(4u + (data[2] << 8 | data[3]), read.getReadData().Size());
        EXPECT_EQ(hexText(std::vector<unsigned char>(data, data + length)), hexText(fixture));
    }
    // The build read them: the items carry the FRU data.
    ASSERT_NE(e->getSafteSlot(1), nullptr);
    ASSERT_NE(e->getSafteSlot(1)->getIbmFruInfo(), nullptr);
    EXPECT_STREQ(e->getSafteSlot(1)->getIbmFruInfo()->getSerialNum(), "SN00101");
    ASSERT_NE(e->getSafteFan(0)->getIbmFruInfo(), nullptr);
}

TEST_F(VynEnclosureSimTest, TheBuiltInEnclosuresElementsAsDecoded)
{
    build();
    VynSES2EnclosureDevice* enclosure = ses();
    ASSERT_NE(enclosure, nullptr);
    EXPECT_TRUE(enclosure->isSESDataValid());
    EXPECT_EQ(enclosure->getFanCount(), 2);
    EXPECT_EQ(enclosure->getPowerSupplyCount(), 2);
    EXPECT_EQ(enclosure->getTempSensorCount(), 1);
    const std::vector<QVRN_SES_TYPE_DESCRIPTOR_HEADER> headers = enclosure->getTypeDescriptorHeaders();
    ASSERT_EQ(headers.size(), 5u);
    EXPECT_EQ(headers[0].elementType, 1);
    EXPECT_EQ(headers[0].numPossibleElements, 8);
    EXPECT_EQ(headers[4].elementType, 14);
    EXPECT_EQ(headers[4].numPossibleElements, 1);
    for (unsigned long s = 0; s < 8; ++s) {
        SESDeviceSAS* slot = enclosure->getSESDeviceSAS(s);
        ASSERT_NE(slot, nullptr) << s;
        EXPECT_EQ(std::string(slot->getDescriptor()), "Slot 0" + std::to_string(s));
    }
    int enclosureElements = 0;
    for (RaidObject* child : enclosure->getChildren())
        if (child->isInstanceOf("SESElement") && static_cast<SESElement*>(child)->getType() == 14) {
            ++enclosureElements;
            EXPECT_STREQ(static_cast<SESElement*>(child)->getDescriptor(), "Enclosure 00");
        }
    EXPECT_EQ(enclosureElements, 1);
}

TEST_F(VynEnclosureSimTest, WithoutPageTenTheElementsComeFromPagesOneTwoAndSeven)
{
    startController("base = default\n");
    std::vector<unsigned> asked;
    sim().addEnclosureHandler(100u << 16 | EM_SUB_SCSI_RECEIVE_DIAGNOSTIC,
                              [&asked](vyn::hostsim::ControllerState&, const vyn::hostsim::EmRequest& q,
                                       vyn::hostsim::EmReply& r) {
                                  asked.push_back(q.param[1]);
                                  const char* file = q.param[1] == 0   ? "ses2_supported_without_additional.hex"
                                                     : q.param[1] == 1 ? "ses2_default_configuration.hex"
                                                     : q.param[1] == 2 ? "ses2_default_status.hex"
                                                     : q.param[1] == 7 ? "ses2_default_descriptors.hex"
                                                                       : nullptr;
                                  if (file == nullptr)
                                      r.status = 20;
                                  else
                                      r.data = vyntest::readHexPage(file);
                              });
    adapter_ = openController();
    TreePtr<VynSES2EnclosureDevice> enclosure(new VynSES2EnclosureDevice(adapter_.get(), nullptr, 8, 0));
    EXPECT_EQ(asked, (std::vector<unsigned>{0, 1, 2, 7}));
    EXPECT_TRUE(enclosure->isSESDataValid());
    EXPECT_EQ(enclosure->getFanCount(), 2);
    for (unsigned long s = 0; s < 8; ++s) {
        ASSERT_NE(enclosure->getSESDevice(s), nullptr) << s;
        EXPECT_EQ(std::string(enclosure->getSESDevice(s)->getDescriptor()), "Slot 0" + std::to_string(s));
    }
    // Without additional status no slot knows its SAS phys.
    EXPECT_EQ(enclosure->getSESDeviceSAS(0), nullptr);
}

TEST_F(VynEnclosureSimTest, Ses2IdentifyAndAlarmChangeTheElementsTheNextBuildSees)
{
    build("adapter0.encl0 = ses2 0:8 alarm=1\n");
    ASSERT_NE(ses(), nullptr);
    EXPECT_EQ(ses()->identifyDevice(true), Ret(0));
    EXPECT_NE(enclosureLine().find("ident=14:0"), std::string::npos) << enclosureLine();
    EXPECT_EQ(ses()->setAlarmState(ALARM_SILENCE), Ret(0));
    EXPECT_NE(enclosureLine().find("alarm_state=silenced"), std::string::npos) << enclosureLine();

    adapter_.reset();
    ret_ = Ret();
    adapter_ = openController();
    adapter_->buildChildren(ret_);
    ASSERT_NE(ses(), nullptr);
    unsigned long alarm = 0, identified = 0;
    for (RaidObject* child : ses()->getChildren()) {
        if (!child->isInstanceOf("SESElement"))
            continue;
        auto* element = static_cast<SESElement*>(child);
        if (element->getType() == SES_TYPE_AUDIBLE_ALARM)
            alarm = element->getStatus();
        if (element->getType() == 14)
            identified = element->getStatusWord() >> 8 & 0x80;
    }
    EXPECT_EQ(alarm, static_cast<unsigned long>(ALARM_SILENCE));
    EXPECT_EQ(identified, 0x80u);
    EXPECT_EQ(ses()->identifyDevice(false), Ret(0));
    EXPECT_EQ(enclosureLine().find("ident="), std::string::npos) << enclosureLine();
}

TEST_F(VynEnclosureSimTest, SafteRequestsChangeTheSimulatedEnclosure)
{
    build("adapter0.encl0 = safte 0:9 slots=4 alarm=1\n");
    RaidObject* node = device(9);
    ASSERT_NE(node, nullptr);
    ASSERT_STREQ(node->typeName(), "VynEnclosure");
    auto* e = static_cast<VynEnclosure*>(node);
    EXPECT_TRUE(e->getSpeakerPresent());
    EXPECT_EQ(e->getSpeakerStatus(), 0);
    EXPECT_EQ(e->setAlarmState(ALARM_TEST), Ret(0));
    EXPECT_NE(enclosureLine().find("alarm_state=sounding"), std::string::npos) << enclosureLine();
    EXPECT_EQ(e->identifyDevice(true), Ret(0));
    EXPECT_NE(enclosureLine().find("ident=14:0"), std::string::npos);
    // A drive in a SAF-TE slot blinks through its enclosure.
    EXPECT_EQ(static_cast<PhysicalDevice*>(device(2))->identifyDevice(true), Ret(0));
    EXPECT_NE(enclosureLine().find("ident=1:2,14:0"), std::string::npos) << enclosureLine();

    // The next build sees the speaker on.
    adapter_.reset();
    ret_ = Ret();
    adapter_ = openController();
    adapter_->buildChildren(ret_);
    e = static_cast<VynEnclosure*>(device(9));
    EXPECT_EQ(e->getSpeakerStatus(), 1);
    EXPECT_EQ(e->setAlarmState(ALARM_SILENCE), Ret(0));
    EXPECT_NE(enclosureLine().find("alarm_state=silenced"), std::string::npos);
    EXPECT_EQ(e->identifyDevice(false), Ret(0));
    EXPECT_EQ(static_cast<PhysicalDevice*>(device(2))->identifyDevice(false), Ret(0));
    EXPECT_EQ(enclosureLine().find("ident="), std::string::npos) << enclosureLine();
}

TEST_F(VynEnclosureSimTest, TheSimulatorRefusesMalformedEnclosureRequestsAndKeepsItsState)
{
    build("adapter0.encl0 = ses2 0:8 alarm=1\nadapter0.encl1 = safte 0:9 slots=4\n");
    const std::string ses2Line = enclosureLine();
    const std::string safteLine = sim().controller(0).objects.at("encl1");
    // A control page as long as the enclosure's, every element selected
    // with its identify bit: what each malformed variant must not do.
    std::vector<unsigned char> full = vyntest::readHexPage("ses2_default_status.hex");
    full.resize(8 + 4 * (1 + 8) + 4 * (1 + 1) + 4 * (1 + 1));  // slots, alarm, enclosure
    full[0] = 2;
    for (size_t at = 8; at + 4 <= full.size(); at += 4) {
        full[at] = 0x80;
        full[at + 1] = 0x80;
        full[at + 2] = 0x02;
    }
    struct Case {
        const char* what;
        uint32_t command, sub, p0, p1;
        std::vector<unsigned char> data;
    };
    std::vector<unsigned char> wrongCode = full;
    wrongCode[0] = 1;
    const Case cases[] = {
        {"control page cut short", 100, 0x2000, 0, 2, std::vector<unsigned char>(full.begin(), full.begin() + 20)},
        {"another page code", 100, 0x2000, 0, 2, wrongCode},
        {"another page asked for", 100, 0x2000, 0, 4, full},
        {"no such enclosure", 100, 0x2000, 7, 2, full},
        {"control page to a SAF-TE processor", 100, 0x2000, 1, 2, full},
        {"slot past the last", 3, 0x402, 1, 4, {}},
        {"SAF-TE identify of an SES-2 device", 2, 0x285, 0, 0, {}},
        {"alarm of a SAF-TE processor without one", 2, 0x100, 1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSA_ENCLOSURE_MGT request;
        std::memset(&request, 0, sizeof request);
        request.command = c.command;
        request.subCommand = c.sub;
        request.param[0] = c.p0;
        request.param[1] = c.p1;
        std::vector<unsigned char> data = c.data;
        request.dataLength = static_cast<uint32_t>(data.size());
        if (!data.empty())
            FsaSetEnclosureMgtData(&request, data.data());
        FsaWriteHandleGrabber handle(adapter_.get(), nullptr);
        ASSERT_NE(handle.getAdapterRWHandle(), nullptr);
        EXPECT_NE(fsaExports().FsaEnclosureMgt(handle.getAdapterRWHandle(), &request), FSA_STS_SUCCESS);
        EXPECT_EQ(enclosureLine(), ses2Line);
        EXPECT_EQ(sim().controller(0).objects.at("encl1"), safteLine);
    }
}

}  // namespace
