// The controller object: its enumeration data, the open with its retries,
// the settings it reads, and the features and limits of the general
// information.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_open.h"
#include "FamilyTest.h"
#include "Command/Vyn/common/fa_context.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

const std::vector<uint8_t> kFakeHandle = {0x34, 0x12, 0, 0, 0, 0, 0, 0};
void* const kFakeHandleValue = reinterpret_cast<void*>(uintptr_t{0x1234});

class VynAdapterTest : public vyntest::FamilyTest {};

TEST_F(VynAdapterTest, VendorAndModelFollowTheTypeTextAndTheOemId)
{
    struct Case {
        const wchar_t* text;
        uint32_t oem;
        const char* vendor;
        const char* model;
    };
    const Case cases[] = {
        {L"VYN SIMRAID-8E", 0, "VYN", "SIMRAID-8E"},
        {L"SIMRAID", 0, "SIMRAID", ""},
        {L"ServeRAID 8k", 4, "IBM", "ServeRAID 8k"},
        {L"IBM ServeRAID", 4, "IBM", "ServeRAID"},
        {L"StorageTek SAS", 14, "Sun", "StorageTek SAS"},
        {L"Sun STK", 14, "Sun", "STK"},
        {L"AOC-USAS", 13, "SMC", "AOC-USAS"},
        {L"VYN AOC", 4, "IBM", "VYN AOC"},
        {L"ABCDEFGHIJKLMNOPQRSTUV", 0, "ABCDEFGHIJKLMNOPQR", ""},
    };
    ScriptedFsaExports fsa;
    for (const Case& c : cases) {
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4, c.text, c.oem);
        VynAdapter adapter(&record, nullptr, 3, nullptr, nullptr);
        EXPECT_STREQ(adapter.getDeviceVendor(), c.vendor) << c.vendor << c.oem;
        EXPECT_STREQ(adapter.getDeviceName(), c.model) << c.vendor << c.oem;
        EXPECT_STREQ(adapter.getFsaDescription(), "ulb0");
        EXPECT_EQ(adapter.getAdapterID(), 3u);
        EXPECT_EQ(adapter.getAdapterType(), ADAPTER_TYPE_VYN);
        EXPECT_TRUE(adapter.isInstanceOf("VynAdapter"));
        EXPECT_TRUE(adapter.isInstanceOf("Adapter"));
        EXPECT_EQ(faGetLe32(adapter.getFsaInfo()->bytes + GI_SERIAL_NUMBER_0), 0x30315356u);
        EXPECT_EQ(faGetLe32(adapter.getFsaInfo()->bytes + GI_OEM), c.oem);
        EXPECT_EQ(faGetLe32(adapter.getFsaInfo()->bytes + GI_MAX_NUMBER_PORTS), 16u);
    }
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
}

TEST_F(VynAdapterTest, APausedControllerIsAskedFiveTimesOneSecondApart)
{
    startController();
    ScriptedFsaExports fsa;
    fsa.scriptTimes("FsaOpenAdapter2A", 5, 301);
    const uint64_t before = sim().clockMs();
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord();
    Ret ret;
    VynAdapter adapter(&record, nullptr, 0, nullptr, &ret);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 5u);
    EXPECT_EQ(sim().clockMs() - before, 5000u);
    EXPECT_EQ(adapter.getAdapterStatus(), CONTROLLER_STATUS_INACCESSIBLE);
    EXPECT_EQ(adapter.getAdapterHandle(), nullptr);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 301u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaOpenAdapter2A() fsaStatus=301 ***"), 1u);
    EXPECT_EQ(fsa.count("FsaGetGeneralInformation2Ex"), 0u);
}

TEST_F(VynAdapterTest, APartnerNotFoundCountsAsOpened)
{
    startController();
    ScriptedFsaExports fsa;
    fsa.script("FsaOpenAdapter2A", 301, kFakeHandle);
    fsa.script("FsaOpenAdapter2A", 418, kFakeHandle);
    FSA_GENERAL_INFO2 info = {};
    faPutLe32(info.bytes + GI_SERIAL_NUMBER_0, 0x77);
    fsa.script("FsaGetGeneralInformation2Ex", 1, std::vector<uint8_t>(info.bytes, info.bytes + sizeof info.bytes));
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord();
    Ret ret;
    {
        VynAdapter adapter(&record, nullptr, 0, nullptr, &ret);
        EXPECT_EQ(adapter.getAdapterHandle(), kFakeHandleValue);
        EXPECT_EQ(adapter.getAdapterStatus(), CONTROLLER_STATUS_OPTIMAL);
        EXPECT_EQ(adapter.getSerialNum0(), 0x77u);
        EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 2u);
        // The unanswered option reads report their status and go on.
        EXPECT_EQ(ret.getAPIReturn(), 31u);
        EXPECT_EQ(errorCount("FsaGetContainerOptions() fsaStatus=31"), 1u);
        EXPECT_EQ(errorCount("FsaGetAutomaticFailover() fsaStatus=31"), 1u);
    }
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
}

TEST_F(VynAdapterTest, AFailedGeneralInformationClosesTheHandle)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaOpenAdapter2A", 1, kFakeHandle);
    fsa.script("FsaGetGeneralInformation2Ex", 123);
    fsa.answerUnscripted(1);
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord();
    Ret ret;
    VynAdapter adapter(&record, nullptr, 0, nullptr, &ret);
    EXPECT_EQ(adapter.getAdapterHandle(), nullptr);
    EXPECT_EQ(adapter.getAdapterStatus(), CONTROLLER_STATUS_INACCESSIBLE);
    EXPECT_EQ(ret.getAPIReturn(), 123u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetGeneralInformation2Ex() fsaStatus=123 ***"), 1u);
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
}

TEST_F(VynAdapterTest, AnUnusableControllerIsNeverOpenedAndBuildsNothing)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(3);
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
    Ret ret;
    VynAdapter adapter(&record, nullptr, 0, nullptr, &ret);
    EXPECT_EQ(adapter.getAdapterStatus(), CONTROLLER_STATUS_DRIVER_UPDATE_REQUIRED);
    Ret build;
    adapter.buildChildren(build);
    EXPECT_EQ(build, Ret());
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
    EXPECT_EQ(adapter.getChildCount(), 0u);

    // Any other availability without a handle: busy, after one more try.
    const _tagFSA_ADAPTER_ENUM_INFO other = craftedRecord(2);
    VynAdapter closed(&other, nullptr, 1, nullptr, nullptr);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 1u);
    closed.buildChildren(build);
    EXPECT_EQ(build.getReturn(), -6);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 2u);
    EXPECT_EQ(errorCount("*** Busy: !isFsaOpen() ***"), 1u);
}

TEST_F(VynAdapterTest, AHandedOverHandleIsUsedAndLeftOpenWhenReused)
{
    startController();
    ScriptedFsaExports fsa;  // every call reaches the simulator
    void* handle = nullptr;
    int word = 0;
    ASSERT_EQ(FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_ONLY, 1, nullptr, nullptr, &handle,
                               &word),
              FSA_STS_SUCCESS);
    const _tagFSA_ADAPTER_ENUM_INFO record = firstRecord();
    {
        VynAdapter adapter(&record, nullptr, 0, handle, nullptr);
        EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
        EXPECT_EQ(adapter.getAdapterHandle(), handle);
        EXPECT_EQ(adapter.getAdapterStatus(), CONTROLLER_STATUS_OPTIMAL);
        adapter.SetReusingFsaHandle(true);
    }
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 0u);
    FSA_GENERAL_INFO2 info;
    EXPECT_EQ(FsaGetGeneralInformation2Ex(handle, 0, &info), FSA_STS_SUCCESS);
    {
        VynAdapter owner(&record, nullptr, 0, handle, nullptr);
    }
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
    EXPECT_EQ(FsaGetGeneralInformation2Ex(handle, 0, &info), 9u);
}

TEST_F(VynAdapterTest, TheSavedWriteHandleLivesWithItsController)
{
    startController();
    ScriptedFsaExports fsa;  // every call reaches the simulator
    {
        vyntest::TreePtr<VynAdapter> adapter = openController();
        EXPECT_EQ(adapter->getSavedWriteHandle(), nullptr);
        adapter->openSavedWriteHandle();
        void* rw = adapter->getSavedWriteHandle();
        ASSERT_NE(rw, nullptr);
        EXPECT_NE(rw, adapter->getAdapterHandle());
        EXPECT_EQ(UtilGetContextFromHandle(rw)->accessMode, FSA_ACC_READ_WRITE);
        adapter->openSavedWriteHandle();
        EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
        EXPECT_NE(adapter->getSavedWriteHandle(), nullptr);
    }
    // Both handles go with the controller.
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 3u);

    // An object without a controller of the family: no handle, no record.
    PhysicalDevice loose;
    FsaWriteHandleGrabber none(&loose, nullptr);
    EXPECT_EQ(none.getAdapterRWHandle(), nullptr);
    EXPECT_EQ(errorCount("FSA_ACC_READ_WRITE"), 0u);

    // A refused open: the API error, and the handle stays null.
    fsa.script("FsaOpenAdapter2A", 475);
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
    VynAdapter unusable(&record, nullptr, 0, nullptr, nullptr);
    Ret ret;
    FsaWriteHandleGrabber refused(&unusable, &ret);
    EXPECT_EQ(static_cast<void*>(refused), nullptr);
    EXPECT_EQ(ret.getAPIReturn(), 475u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaOpenAdapter2A(FSA_ACC_READ_WRITE) fsaStatus=475 ***"), 1u);
}

TEST_F(VynAdapterTest, DataScrubPrioritiesBecomeRatesAndPeriodsStay)
{
    struct Case {
        FSA_STATUS second;  // status of the form with the priority record
        uint32_t priority;
        uint32_t verifyOn;
        unsigned long rate;
        bool active;
    };
    const Case cases[] = {
        {1, 1, 0, 0, false}, {1, 2, 1, 1, true}, {1, 3, 0, 2, false}, {1, 7, 0, 7, false}, {520, 2, 1, 0, true},
    };
    for (const Case& c : cases) {
        ScriptedFsaExports fsa;
        fsa.script("FsaOpenAdapter2A", 1, kFakeHandle);
        fsa.script("FsaGetGeneralInformation2Ex", 1);
        fsa.script("FsaVerifyContainerGetInfo2", c.second, words({0, c.priority}));
        fsa.script("FsaVerifyContainerGetInfo", 1, words({c.verifyOn}));
        fsa.answerUnscripted(1);
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord();
        VynAdapter adapter(&record, nullptr, 0, nullptr, nullptr);
        EXPECT_EQ(adapter.getDataScrubRate(), c.rate) << c.priority;
        EXPECT_EQ(fsa.count("FsaVerifyContainerGetInfo"), c.second == 1 ? 0u : 1u) << c.priority;
        // The record of the form that ran tells whether a scrub runs; the
        // scripted record of the first form leaves the state words at 0.
        EXPECT_EQ(adapter.IsDataScrubbingActive(), c.second != 1 && c.active) << c.priority;
    }
}

TEST_F(VynAdapterTest, SettingsOfTheOpenOnTheDefaultController)
{
    startController("adapter0.auto_failover = 0\nadapter0.verify = 1\nadapter0.verify_priority = 2\n");
    Ret ret;
    vyntest::TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_NE(adapter->getAdapterHandle(), nullptr);
    // Only the PCI identifiers are not answered yet, and nobody checks them.
    EXPECT_EQ(ret, Ret());
    EXPECT_FALSE(adapter->IsAutoFailoverEnabled());
    EXPECT_TRUE(adapter->IsDataScrubbingActive());
    EXPECT_EQ(adapter->getDataScrubRate(), 20u);  // a period in days
    EXPECT_EQ(adapter->getMaxRaid6Members(), 32);
    EXPECT_EQ(adapter->getMaxRaid5EEMembers(), 32);
    EXPECT_EQ(adapter->getMaxRaid1EMembers(), 32);
}

TEST_F(VynAdapterTest, FeaturesAndLimitsOfTheDefaultController)
{
    startController();
    vyntest::TreePtr<VynAdapter> adapter = openController();
    ASSERT_NE(adapter->getAdapterHandle(), nullptr);
    for (FeatureEnum f : {feat64BitLBA, featHeatSensor, featJBOD, featLongSerialNumber, featFWRawBlink,
                          featMixedArrays, featAdapterStats, featFlashBios})
        EXPECT_EQ(adapter->getFeature(f), 1) << f;
    for (FeatureEnum f : {featSnapshot, featPowerManagement, featOrvexaSupport})
        EXPECT_EQ(adapter->getFeature(f), 0) << f;

    const FSA_GENERAL_INFO2* info = adapter->getFsaInfo();
    char serial[13] = {};
    std::memcpy(serial, info->bytes + GI_SERIAL_NUMBER_0, 4);
    std::memcpy(serial + 4, info->bytes + GI_SERIAL_NUMBER_1, 4);
    std::memcpy(serial + 8, info->bytes + GI_LONG_SERIAL, 4);
    EXPECT_STREQ(adapter->getSerialNumString(), serial);
    EXPECT_STREQ(adapter->getSerialNumString(), "VS100042PK01");
    EXPECT_STREQ(adapter->getFirmwareVersion(), "5.2-0");
    EXPECT_EQ(adapter->getFwBuildNum(), 20000u);
    EXPECT_EQ(adapter->getLimit(LIMIT_MAX_CHANNELS), 1);
    EXPECT_EQ(adapter->getLimit(LIMIT_MAX_ID), 15);
    EXPECT_EQ(adapter->getLimit(static_cast<Limit>(9)), 64);
}

// A general information record with the fields the table reads.
struct Crafted {
    uint32_t r = 0, m = 0, opt1 = 0, opt2 = 0, opt3 = 0, opt4 = 0, pm = 0;
    uint32_t ports = 8, buses = 3, perBus = 15;
    uint16_t slot = 5;
    uint32_t highest = 63;
};

FSA_GENERAL_INFO2 record(const Crafted& c)
{
    FSA_GENERAL_INFO2 g = {};
    faPutLe32(g.bytes + GI_RAID_SUPPORT_MASK, c.r);
    faPutLe32(g.bytes + GI_MORPH_SUPPORT_MASK, c.m);
    faPutLe32(g.bytes + GI_SUPPORTED_OPTIONS, c.opt1);
    faPutLe32(g.bytes + GI_SUPPORTED_OPTIONS2, c.opt2);
    faPutLe32(g.bytes + GI_OPTION_WORD3, c.opt3);
    faPutLe32(g.bytes + GI_OPTION_WORD4, c.opt4);
    faPutLe32(g.bytes + GI_POWER_MANAGEMENT, c.pm);
    faPutLe32(g.bytes + GI_MAX_NUMBER_PORTS, c.ports);
    faPutLe32(g.bytes + GI_NUMBER_OF_BUSES, c.buses);
    faPutLe32(g.bytes + GI_DEVICES_PER_BUS, c.perBus);
    faPutLe16(g.bytes + GI_PCI_PHYSICAL_SLOT, c.slot);
    faPutLe32(g.bytes + GI_MAX_CONTAINER_NUMBER, c.highest);
    return g;
}

TEST_F(VynAdapterTest, TheFeatureTableRunsInRowOrder)
{
    struct Case {
        const char* name;
        Crafted in;
        std::vector<FeatureEnum> on;
        std::vector<FeatureEnum> off;
    };
    auto crafted = [](uint32_t r, uint32_t m, uint32_t opt1 = 0, uint32_t opt2 = 0) {
        Crafted c;
        c.r = r;
        c.m = m;
        c.opt1 = opt1;
        c.opt2 = opt2;
        return c;
    };
    Crafted pm = crafted(0, 0);
    pm.opt3 = 0x4;
    pm.pm = 0x2;
    Crafted pmOn = pm;
    pmOn.pm = 0x3;
    const Case cases[] = {
        {"raid0 and raid5", crafted(0x88, 0x101),
         {featRaid0, featMorphRaid0ToRaid0, featExpandRaid0, featMorphRaid0ToRaid5, featRaid5, featMorphRaid5ToRaid5},
         {featRaid1, featMorphRaid0ToRaid10, featExpandRaid5}},
        {"raid50 with option word 1 bit 5", crafted(0x80, 0, 0x20), {featRaid50}, {}},
        {"raid50 needs both", crafted(0x80, 0), {featRaid5}, {featRaid50}},
        {"raid50 needs raid5", crafted(0, 0, 0x20), {}, {featRaid50}},
        {"raid10 morph without M bit 3", crafted(0xA0, 0), {featRaid10}, {featMorphRaid10ToRaid10, featExpandRaid10}},
        {"raid10 morph with M bit 3", crafted(0xA0, 0x8), {featMorphRaid10ToRaid10, featExpandRaid10}, {}},
        {"snapshot", crafted(0, 0, 0x1, 0), {featSnapshot}, {}},
        {"mixed arrays off", crafted(0, 0, 0, 0x20), {}, {featMixedArrays, featSasProtectSataArrays}},
        {"power management switched off", pm, {}, {}},
        {"power management on", pmOn, {featPowerManagement}, {}},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO enumRecord = craftedRecord(4);
    for (const Case& c : cases) {
        VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);
        const FSA_GENERAL_INFO2 g = record(c.in);
        adapter.setFsaGeneralInfo(&g);
        for (FeatureEnum f : c.on)
            EXPECT_EQ(adapter.getFeature(f), 1) << c.name << " " << f;
        for (FeatureEnum f : c.off)
            EXPECT_EQ(adapter.getFeature(f), 0) << c.name << " " << f;
    }
    VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);
    FSA_GENERAL_INFO2 g = record(pm);
    adapter.setFsaGeneralInfo(&g);
    EXPECT_EQ(adapter.getFeature(featPowerManagement), -1);
    Crafted snapshot2 = crafted(0, 0, 0x1, 1u << 22);
    g = record(snapshot2);
    adapter.setFsaGeneralInfo(&g);
    EXPECT_EQ(adapter.getFeature(featSnapshot), 2);
}

TEST_F(VynAdapterTest, Raid6OptionsDecideBetweenTheTwoRaid6Kinds)
{
    struct Case {
        uint8_t flags;
        uint32_t r;
        std::vector<FeatureEnum> on;
        std::vector<FeatureEnum> off;
    };
    const Case cases[] = {
        {1, 0x400, {featRaid6RS, featMorphRaid6RSToRaid6RS, featMorphRaid6ToRaid6RS}, {featRaid6, featRaid60}},
        {0, 0x400, {featRaid6, featMorphRaid6ToRaid6}, {featRaid6RS}},
        {1, 0xC00, {featRaid6RS, featRaid60RS}, {featRaid6, featRaid60}},
        {0, 0xC00, {featRaid6, featRaid60}, {featRaid60RS}},
    };
    for (const Case& c : cases) {
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(31);
        std::vector<uint8_t> options(340, 0);
        options[16] = c.flags;
        fsa.script("FsaGetRaid6Options", 1, options);
        const _tagFSA_ADAPTER_ENUM_INFO enumRecord = craftedRecord(4);
        VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);
        Crafted in;
        in.r = c.r;
        const FSA_GENERAL_INFO2 g = record(in);
        adapter.setFsaGeneralInfo(&g);
        for (FeatureEnum f : c.on)
            EXPECT_EQ(adapter.getFeature(f), 1) << int{c.flags} << " " << c.r << " " << f;
        for (FeatureEnum f : c.off)
            EXPECT_EQ(adapter.getFeature(f), 0) << int{c.flags} << " " << c.r << " " << f;
        EXPECT_EQ(adapter.getRaid6Options().bytes[16], c.flags);
    }
    // RAID-60 alone uses the options as last read: none yet.
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO enumRecord = craftedRecord(4);
    VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);
    Crafted in;
    in.r = 0x800;
    const FSA_GENERAL_INFO2 g = record(in);
    adapter.setFsaGeneralInfo(&g);
    EXPECT_EQ(adapter.getFeature(featRaid60), 1);
    EXPECT_EQ(fsa.count("FsaGetRaid6Options"), 0u);
}

TEST_F(VynAdapterTest, TheLongSerialShowsOnlyPrintableCharacters)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO enumRecord = craftedRecord(4);
    VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);
    const struct {
        const char* what;
        uint8_t bytes[12];
        const char* shown;
    } cases[] = {
        {"printable", {'V', 'S', '1', '0', '0', '0', '4', '2', 'P', 'K', '0', '1'}, "VS100042PK01"},
        {"ends early", {'A', 'B', 'C', 0, 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'}, "ABC"},
        {"binary words", {0xFF, 0x01, 'A', 0x1B, '[', '2', 'J', 0x80, 'Z', 0x90, ' ', ' '}, "??A?[2J?Z?"},
        {"blank", {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Crafted in;
        in.opt2 = 1u << 25;
        FSA_GENERAL_INFO2 g = record(in);
        std::memcpy(g.bytes + GI_SERIAL_NUMBER_0, c.bytes, 4);
        std::memcpy(g.bytes + GI_SERIAL_NUMBER_1, c.bytes + 4, 4);
        std::memcpy(g.bytes + GI_LONG_SERIAL, c.bytes + 8, 4);
        adapter.setFsaGeneralInfo(&g);
        EXPECT_STREQ(adapter.getSerialNumString(), c.shown);
    }
}

TEST_F(VynAdapterTest, LimitsOfTheGeneralInformation)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO enumRecord = craftedRecord(4);
    VynAdapter adapter(&enumRecord, nullptr, 0, nullptr, nullptr);

    Crafted noPorts;
    noPorts.ports = 0;
    noPorts.slot = 0xFFFF;
    FSA_GENERAL_INFO2 g = record(noPorts);
    faPutLe32(g.bytes + GI_MIN_STRIPE_BYTES, 16 * 1024);
    faPutLe32(g.bytes + GI_MAX_STRIPE_BYTES, 1024 * 1024);
    faPutLe32(g.bytes + GI_MAX_GLOBAL_SPARES, 12);
    faPutLe32(g.bytes + GI_MAX_DEDICATED_SPARES, 3);
    g.bytes[GI_FIRMWARE_VERSION + 3] = 6;
    g.bytes[GI_FIRMWARE_VERSION + 2] = 1;
    g.bytes[GI_FIRMWARE_VERSION + 0] = 9;
    faPutLe32(g.bytes + GI_SERIAL_NUMBER_0, 0xABC);
    adapter.setFsaGeneralInfo(&g);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_CHANNELS), 3);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_ID), 15);
    EXPECT_EQ(adapter.getPhysicalSlot(), 0x7FFFFFFF);
    EXPECT_EQ(adapter.getLimit(static_cast<Limit>(9)), 64);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_LOGICAL_DRIVES), 64);
    EXPECT_EQ(adapter.getLimit(static_cast<Limit>(8)), 12);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_GLOBAL_SPARES), 12);
    EXPECT_EQ(adapter.getLimit(static_cast<Limit>(11)), 3);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_CONTROLLERS), 1);
    EXPECT_EQ(adapter.getMinStripeSize(), 16);
    EXPECT_EQ(adapter.getMaxStripeSize(), 1024);
    EXPECT_STREQ(adapter.getFirmwareVersion(), "6.1-9");
    EXPECT_STREQ(adapter.getSerialNumString(), "abc");

    Crafted eight;
    g = record(eight);
    adapter.setFsaGeneralInfo(&g);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_CHANNELS), 1);
    EXPECT_EQ(adapter.getLimit(LIMIT_MAX_ID), 7);
    EXPECT_EQ(adapter.getPhysicalSlot(), 5);
}

}  // namespace
