// The controller's settings and maintenance operations and the SSD cache
// pool: the words each sends on the scripted exports, the refusals before
// any handle, the drive sets and what comes back of them, and the
// command-line program over the simulated controller.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Channel.h"
#include "ScriptedFsaExports.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/Ret.h"
#include "support/ImageSetWriter.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

constexpr const char* kBusyLine = "*** Busy: Failed to obtain FSA API adapter write handle ***";

// Reaches what the model keeps of the controller for the operations.
class ProbeAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    bool rescanPending() const { return asyncRescanActive; }
};

class VynAdapterSettingsTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        FamilyTest::SetUp();
        construction = std::make_unique<ScriptedFsaExports>();
        construction->answerUnscripted(31);
        construction->script("FsaOpenAdapter2A", FSA_STS_SUCCESS, {0x34, 0x12, 0, 0, 0, 0, 0, 0});
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        adapter.reset(new ProbeAdapter(&record, nullptr, 0, nullptr, nullptr));
        channel = new Channel(adapter.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter->addChild(channel);
        freshExports();
    }
    void TearDown() override
    {
        adapter.reset();
        fsa.reset();
        construction.reset();
        FamilyTest::TearDown();
    }

    // Calls from here on meet exports that succeed without output and open
    // every write handle.
    void freshExports()
    {
        fsa.reset();
        fsa = vyntest::succeedingExports();
    }
    // No write handle can be had.
    void noWriteHandle()
    {
        fsa.reset();
        fsa = vyntest::succeedingExports(false);
    }

    // A hard drive at channel 0, device `target`, with the family's
    // attachment in firmware state `state` unless `attached` is false.
    VynHardDrive* addDrive(uint8_t target, uint32_t state = 1, bool attached = true,
                           EnumSpareType spare = SPARE_NONE)
    {
        auto* drive = new VynHardDrive(adapter.get(), channel, target, 1000000);
        channel->addChild(drive);
        drive->setSpareTypeProperty(spare);
        if (attached) {
            FSA_STORAGE_DEVICE_INFO info = {};
            info.address.targetId = target;
            info.storageDeviceUsage = state;
            new VynPhysicalDeviceAttach(channel, drive, &info, nullptr);
        }
        return drive;
    }
    static Addr driveAt(uint32_t target)
    {
        Addr a(0);
        a.setChannelID(0);
        a.setDeviceID(target);
        return a;
    }
    static AddrCollection drives(std::initializer_list<uint32_t> targets)
    {
        AddrCollection c;
        for (uint32_t t : targets)
            c.addAddr(driveAt(t));
        return c;
    }
    static std::vector<uint32_t> targetsOf(const AddrCollection& c)
    {
        std::vector<uint32_t> out;
        for (const Addr& a : c)
            out.push_back(a.getDeviceID());
        return out;
    }
    // A set reply: the count, then 12-byte records naming the targets.
    static std::vector<uint8_t> failedReply(std::initializer_list<uint8_t> targets)
    {
        std::vector<uint8_t> reply = words({static_cast<uint32_t>(targets.size())});
        for (uint8_t t : targets) {
            std::vector<uint8_t> record(12, 0);
            record[5] = t;
            reply.insert(reply.end(), record.begin(), record.end());
        }
        return reply;
    }

    std::unique_ptr<ScriptedFsaExports> construction;
    std::unique_ptr<ScriptedFsaExports> fsa;
    vyntest::TreePtr<ProbeAdapter> adapter;
    Channel* channel = nullptr;
};

// ---- settings of one firmware call ----

TEST_F(VynAdapterSettingsTest, EachSettingSendsItsWordsAndNamesItsFailure)
{
    adapter->setFeature(featCopyBack, 1);
    adapter->setFeature(featOrvexaSupport, 1);
    struct Row {
        const char* what;
        std::function<Ret(VynAdapter&)> run;
        const char* call;
        std::vector<uint64_t> sent;
        const char* failure;
    };
    const char* const scrubRate = "FsaVerifyContainer2(x,FSA_BG_VERIFY_ADJUST_PRIORITY,x)";
    const std::vector<Row> rows = {
        // Operation, request words 0 and 1.
        {"scrub on", [](VynAdapter& a) { return a.setDataScrubActive(true); }, "FsaVerifyContainer2", {0, 1, 0},
         "FsaVerifyContainer(x,x)"},
        {"scrub off", [](VynAdapter& a) { return a.setDataScrubActive(false); }, "FsaVerifyContainer2", {1, 1, 0},
         "FsaVerifyContainer(x,x)"},
        {"rate low", [](VynAdapter& a) { return a.setDataScrubRate(PRIORITY_LOW); }, "FsaVerifyContainer2",
         {2, 1, 0}, scrubRate},
        {"rate medium", [](VynAdapter& a) { return a.setDataScrubRate(PRIORITY_MEDIUM); }, "FsaVerifyContainer2",
         {2, 2, 0}, scrubRate},
        {"rate high", [](VynAdapter& a) { return a.setDataScrubRate(PRIORITY_HIGH); }, "FsaVerifyContainer2",
         {2, 3, 0}, scrubRate},
        {"rate unknown", [](VynAdapter& a) { return a.setDataScrubRate(static_cast<EnumPriorityLevel>(5)); },
         "FsaVerifyContainer2", {2, 0, 0}, scrubRate},
        // A number goes to word 1: 0 to 2 as priorities, else itself.
        {"rate 0", [](VynAdapter& a) { return a.setDataScrubRate(0UL); }, "FsaVerifyContainer2", {2, 0, 1},
         scrubRate},
        {"rate 2", [](VynAdapter& a) { return a.setDataScrubRate(2UL); }, "FsaVerifyContainer2", {2, 0, 3},
         scrubRate},
        {"rate 7", [](VynAdapter& a) { return a.setDataScrubRate(7UL); }, "FsaVerifyContainer2", {2, 0, 7},
         scrubRate},
        {"diagnostic", [](VynAdapter& a) { return a.startControllerDiagnostic(static_cast<EnumAdapterDiagType>(3)); },
         "FsaOnlineControllerDiagnostic", {}, "FsaOnlineControllerDiagnostic()"},
        {"copyback", [](VynAdapter& a) { return a.setCopyBack(true); }, "FsaSetCopyback", {1}, "FsaSetCopyback()"},
        {"task priority", [](VynAdapter& a) { return a.setDefaultLDTaskPriority(PRIORITY_HIGH, true); },
         "FsaSetDefaultLDTaskPriority", {2, 1}, "FsaSetDefaultLDTaskPriority()"},
        {"performance", [](VynAdapter& a) { return a.setPerformanceMode(static_cast<EnumPerformanceMode>(11)); },
         "FsaSetPerformanceMode", {11}, "FsaSetPerformanceMode()"},
        {"stay awake", [](VynAdapter& a) { return a.setPMStayAwakePeriod(800, 1730, 1, 0x3E); },
         "FsaSetPMStayAwakePeriod", {800, 1730, 1, 0x3E}, "setPMStayAwakePeriod()"},
        {"spin-up", [](VynAdapter& a) { return a.setPMSpinupLimits(4, 6); }, "FsaSetPMSpinupLimits", {4, 6},
         "setPMSpinupLimits()"},
        {"utc", [](VynAdapter& a) { return a.setPMUTCToLocalTimeDiff(-90); }, "FsaSetPMUTCToLocalTimeDiff",
         {static_cast<uint64_t>(-90)}, "setPMUTCToLocalTimeDiff()"},
        {"nvsram", [](VynAdapter& a) { return a.clearNvsRam(); }, "FsaClearControllerNvsRam", {}, "clearNvsRam()"},
        {"ncq off", [](VynAdapter& a) { return a.setSataNCQ(false); }, "FsaSetSataNCQ", {0}, "setSataNCQ()"},
        {"orvexa write", [](VynAdapter& a) { return a.setOrvexaWrite(true); }, "FsaSetOrvexaWrite", {1},
         "FsaSetOrvexaWrite()"},
        {"flush rate", [](VynAdapter& a) { return a.setOrvexaFlushAndFetchRate(35); },
         "FsaSetOrvexaFlushAndFetchRate", {35}, "setOrvexaFlushAndFetchRate()"},
        {"dirty pages", [](VynAdapter& a) { return a.setDirtyPageThresholdValue(60); },
         "FsaSetDirtyPageThresholdValue", {60}, "setDirtyPageThresholdValue()"},
        {"balance", [](VynAdapter& a) { return a.setOrvexaRWFactor(1, 10); }, "FsaSetOrvexaRWFactor", {1, 10},
         "setOrvexaRWFactor()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshExports();
        EXPECT_EQ(row.run(*adapter), Ret(0));
        EXPECT_EQ(fsa->arguments(row.call), (std::vector<std::vector<uint64_t>>{row.sent}));
        EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaOpenAdapter2A", row.call, "FsaCloseAdapter"}));

        const std::string line = "*** FSA API Error: " + std::string(row.failure) + " fsaStatus=162 ***";
        const unsigned before = errorCount(line);
        fsa->script(row.call, 162);
        const Ret failed = row.run(*adapter);
        EXPECT_EQ(failed.getReturn(), -5);
        EXPECT_EQ(failed.getAPIReturn(), 162u);
        EXPECT_EQ(errorCount(line), before + 1);

        noWriteHandle();
        EXPECT_EQ(row.run(*adapter).getReturn(), -6);
        EXPECT_EQ(fsa->count(row.call), 0u);
    }
    EXPECT_EQ(errorCount(kBusyLine), rows.size());
}

TEST_F(VynAdapterSettingsTest, RefusalsComeBeforeAnyHandle)
{
    struct Row {
        const char* what;
        std::function<Ret(VynAdapter&)> run;
        int code;
        const char* line;
    };
    const char* const balance =
        "*** Bad Parameter: The read, write balance factor should be in the range of 1 to 10, paramValue=0 ***";
    const std::vector<Row> rows = {
        {"copyback", [](VynAdapter& a) { return a.setCopyBack(true); }, -1,
         "*** Not Supported: !getFeature(FeatCopyBack), value=0 ***"},
        {"orvexa write", [](VynAdapter& a) { return a.setOrvexaWrite(false); }, -1,
         "*** Not Supported: !getFeature(FeatOrvexaSupport), value=0 ***"},
        {"read 0", [](VynAdapter& a) { return a.setOrvexaRWFactor(0, 5); }, -2, balance},
        {"read 11", [](VynAdapter& a) { return a.setOrvexaRWFactor(11, 5); }, -2, balance},
        {"write 0", [](VynAdapter& a) { return a.setOrvexaRWFactor(5, 0); }, -2, balance},
        {"write 11", [](VynAdapter& a) { return a.setOrvexaRWFactor(5, 11); }, -2, balance},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshExports();
        const unsigned before = errorCount(row.line);
        const Ret refused = row.run(*adapter);
        EXPECT_EQ(refused.getReturn(), row.code);
        EXPECT_TRUE(fsa->calls().empty());
        EXPECT_EQ(errorCount(row.line), before + 1) << errorLog();
    }
}

TEST_F(VynAdapterSettingsTest, ThePpiTableIsClearedThenTheControllerRescans)
{
    EXPECT_EQ(adapter->clearPPITable(), Ret(0));
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaOpenAdapter2A", "FsaClearPPITable", "FsaPauseResumeIo",
                                                      "FsaCloseAdapter"}));
    EXPECT_EQ(fsa->arguments("FsaPauseResumeIo"), (std::vector<std::vector<uint64_t>>{{1, 0}}));

    freshExports();
    fsa->script("FsaClearPPITable", 162);
    EXPECT_EQ(adapter->clearPPITable().getAPIReturn(), 162u);
    EXPECT_EQ(fsa->count("FsaPauseResumeIo"), 0u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaClearPPITable() fsaStatus=162 ***"), 1u);

    freshExports();
    fsa->script("FsaPauseResumeIo", 163);
    EXPECT_EQ(adapter->clearPPITable().getAPIReturn(), 163u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaPauseResumeIo() fsaStatus=163 ***"), 1u);
}

// ---- pause, resume and the paused state ----

TEST_F(VynAdapterSettingsTest, APauseHoldsTheSavedHandleUntilTheResume)
{
    // A negative time pauses for ever, on a handle that outlives the call.
    EXPECT_EQ(adapter->pauseResumeIO(static_cast<unsigned long>(-1L)), Ret(0));
    EXPECT_EQ(fsa->arguments("FsaPauseResumeIo"), (std::vector<std::vector<uint64_t>>{{0x7FFFFFFF, 0}}));
    EXPECT_NE(adapter->getSavedWriteHandle(), nullptr);
    EXPECT_EQ(fsa->count("FsaCloseAdapter"), 0u);
    EXPECT_TRUE(adapter->rescanPending());

    // The resume closes it, even when the firmware refuses.
    fsa->script("FsaPauseResumeIo", 129);
    const Ret refused = adapter->pauseResumeIO(0);
    EXPECT_EQ(refused.getAPIReturn(), 129u);
    EXPECT_EQ(adapter->getSavedWriteHandle(), nullptr);
    EXPECT_EQ(fsa->count("FsaCloseAdapter"), 1u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaPauseResumeIo(x,x) fsaStatus=129 ***"), 1u);

    // A resume with no pause before it has no handle to resume on.
    fsa->clearCalls();
    const Ret alone = adapter->pauseResumeIO(0);
    EXPECT_EQ(alone.getReturn(), -2);
    EXPECT_TRUE(fsa->calls().empty());
    EXPECT_EQ(errorCount("*** Bad Parameter: No saved FSA API read-write handle available, paramValue=0 ***"), 1u);

    // A pause of 30 seconds, then a resume that succeeds.
    EXPECT_EQ(adapter->pauseResumeIO(30), Ret(0));
    EXPECT_EQ(adapter->pauseResumeIO(0), Ret(0));
    EXPECT_EQ(fsa->arguments("FsaPauseResumeIo").back(), (std::vector<uint64_t>{0, 0}));
    EXPECT_EQ(adapter->getSavedWriteHandle(), nullptr);
}

TEST_F(VynAdapterSettingsTest, APauseWithoutAWriteHandleIsRefused)
{
    noWriteHandle();
    EXPECT_EQ(adapter->pauseResumeIO(10).getReturn(), -2);
    EXPECT_EQ(fsa->count("FsaPauseResumeIo"), 0u);
    EXPECT_FALSE(adapter->rescanPending());
}

TEST_F(VynAdapterSettingsTest, ThePausedStateIsReadOnTheReadHandle)
{
    bool paused = true;
    fsa->script("FsaIsAdapterPausedEx", 1, words({0}));
    EXPECT_EQ(adapter->isPaused(paused), Ret(0));
    EXPECT_FALSE(paused);
    fsa->script("FsaIsAdapterPausedEx", 1, words({1}));
    EXPECT_EQ(adapter->isPaused(paused), Ret(0));
    EXPECT_TRUE(paused);
    EXPECT_EQ(fsa->count("FsaOpenAdapter2A"), 0u);

    fsa->script("FsaIsAdapterPausedEx", 9, words({1}));
    EXPECT_EQ(adapter->isPaused(paused).getAPIReturn(), 9u);
    EXPECT_FALSE(paused);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaIsAdapterPausedEx() fsaStatus=9 ***"), 1u);
}

// ---- firmware upgrade ----

TEST_F(VynAdapterSettingsTest, AnUpgradeFlashesTheSetAndRereadsTheStagedBuild)
{
    std::vector<uint8_t> info(sizeof(FSA_GENERAL_INFO2), 0);
    info[GI_STAGED_FIRMWARE_VERSION + 3] = 5;
    faPutLe32(info.data() + GI_STAGED_FIRMWARE_VERSION + 4, 4711);
    fsa->script("FsaGetGeneralInformation2Ex", 1, info);
    EXPECT_EQ(adapter->upgradeControllerFirmware("/tmp/fw", false), Ret(0));
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaOpenAdapter2A", "FsaCreateUFIfromFile",
                                                      "FsaUpdateFlashImages", "FsaGetGeneralInformation2Ex",
                                                      "FsaCloseAdapter"}));
    EXPECT_EQ(fsa->lastName(), "/tmp/fw");
    EXPECT_EQ(fsa->arguments("FsaUpdateFlashImages"), (std::vector<std::vector<uint64_t>>{{1}}));
    EXPECT_EQ(adapter->getStagedBuildNum(), 4711u);

    // Each step that fails names itself and ends the upgrade.
    const char* const steps[] = {"FsaCreateUFIfromFile", "FsaUpdateFlashImages", "FsaGetGeneralInformation2Ex"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(steps[i]);
        freshExports();
        fsa->script(steps[i], 170);
        EXPECT_EQ(adapter->upgradeControllerFirmware("/tmp/fw", true).getAPIReturn(), 170u);
        for (size_t later = i + 1; later < 3; ++later)
            EXPECT_EQ(fsa->count(steps[later]), 0u);
        EXPECT_EQ(errorCount("*** FSA API Error: " + std::string(steps[i]) + "() fsaStatus=170 ***"), 1u);
    }
    noWriteHandle();
    EXPECT_EQ(adapter->upgradeControllerFirmware("/tmp/fw", false).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaCreateUFIfromFile"), 0u);
}

// ---- the spare test ----

TEST_F(VynAdapterSettingsTest, EverySpareIsReadAndAFailureIsNotHiddenByALaterPass)
{
    addDrive(0);
    EXPECT_EQ(adapter->testAllSpares(), Ret(0));
    EXPECT_EQ(fsa->count("FsaSendScsiCommand"), 0u);

    addDrive(1, 1, true, SPARE_GLOBAL);
    addDrive(2, 1, true, SPARE_DEDICATED);
    freshExports();
    fsa->script("FsaSendScsiCommand", 162);
    fsa->script("FsaSendScsiCommand", 1);
    const Ret ret = adapter->testAllSpares();
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 162u);
    // READ(10) of 100 blocks from block 0, to each spare.
    const std::vector<ScriptedFsaExports::Sent> cdbs = fsa->sent("FsaSendScsiCommand");
    ASSERT_EQ(cdbs.size(), 2u);
    for (const auto& s : cdbs)
        EXPECT_EQ(s.bytes, (std::vector<uint8_t>{0x28, 0, 0, 0, 0, 0, 0, 0, 100, 0}));

    freshExports();
    EXPECT_EQ(adapter->testAllSpares(), Ret(0));
    EXPECT_EQ(fsa->count("FsaSendScsiCommand"), 2u);

    noWriteHandle();
    EXPECT_EQ(adapter->testAllSpares().getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaSendScsiCommand"), 0u);
}

// ---- drive sets ----

using SetOperation = std::function<Ret(VynAdapter&, AddrCollection&)>;

struct SetCase {
    const char* what;
    SetOperation run;
    const char* call;
    std::vector<uint64_t> flags;  // the kept words before the count
    const char* failedLine;
};

const SetCase kSetCases[] = {
    {"initialise", [](VynAdapter& a, AddrCollection& c) { return a.initializeHardDriveSet(c, false); },
     "FsaInitStorageDeviceSetForFsa", {1, 1, 0},
     "*** FSA API Error: FsaInitStorageDeviceSetForFsa() failedDrives.getAddrCount() fsaStatus=1 ***"},
    {"protect", [](VynAdapter& a, AddrCollection& c) { return a.protectHardDriveSet(c, true, false); },
     "FsaProtectStorageDeviceSet", {0, 1}, "*** FSA API Error: FsaProtectStorageDeviceSet() fsaStatus=1 ***"},
    {"unprotect", [](VynAdapter& a, AddrCollection& c) { return a.protectHardDriveSet(c, false, false); },
     "FsaProtectStorageDeviceSet", {0, 0}, "*** FSA API Error: FsaProtectStorageDeviceSet() fsaStatus=1 ***"},
};

TEST_F(VynAdapterSettingsTest, TheDrivesTheFirmwareFailedComeBackInTheCollection)
{
    addDrive(0);
    addDrive(1);
    addDrive(2);
    for (const SetCase& c : kSetCases) {
        SCOPED_TRACE(c.what);
        freshExports();
        fsa->script(c.call, 1, failedReply({}));
        AddrCollection all = drives({0, 1, 2});
        EXPECT_EQ(c.run(*adapter, all), Ret(0));
        std::vector<uint64_t> sent = c.flags;
        sent.insert(sent.end(), {3, 0, 1, 2});
        EXPECT_EQ(fsa->arguments(c.call), (std::vector<std::vector<uint64_t>>{sent}));
        EXPECT_EQ(all.getAddrCount(), 0u);

        // Two of three failed: exactly those stay, in the caller's order.
        freshExports();
        fsa->script(c.call, 1, failedReply({2, 0}));
        AddrCollection some = drives({0, 1, 2});
        const unsigned before = errorCount(c.failedLine);
        const Ret failed = c.run(*adapter, some);
        EXPECT_EQ(failed.getReturn(), -5);
        EXPECT_EQ(failed.getAPIReturn(), 1u);
        EXPECT_EQ(targetsOf(some), (std::vector<uint32_t>{0, 2}));
        EXPECT_EQ(errorCount(c.failedLine), before + 1);

        // A count beyond the set is not trusted past the set.
        freshExports();
        fsa->script(c.call, 1, failedReply({1, 1, 1, 1, 1}));
        AddrCollection one = drives({1});
        EXPECT_EQ(c.run(*adapter, one).getAPIReturn(), 1u);
        EXPECT_EQ(targetsOf(one), (std::vector<uint32_t>{1}));

        freshExports();
        fsa->script(c.call, 145);
        AddrCollection refused = drives({0});
        EXPECT_EQ(c.run(*adapter, refused).getAPIReturn(), 145u);
    }
}

TEST_F(VynAdapterSettingsTest, ABadAddressInASetStopsBeforeTheFirmware)
{
    addDrive(0);
    addDrive(1, 1, false);
    for (const SetCase& c : kSetCases) {
        SCOPED_TRACE(c.what);
        struct Bad {
            std::initializer_list<uint32_t> targets;
            const char* line;
            long index;
        };
        const Bad bads[] = {
            {{0, 1}, "*** Bad Parameter: One or more Hard-drive objects had no attachment, paramValue=1 ***", 1},
            {{5, 0}, "*** Bad Parameter: One or more addresses are wrong, paramValue=0 ***", 0},
        };
        for (const Bad& bad : bads) {
            freshExports();
            AddrCollection set = drives(bad.targets);
            const unsigned before = errorCount(bad.line);
            const Ret ret = c.run(*adapter, set);
            EXPECT_EQ(ret.getReturn(), -2);
            EXPECT_EQ(ret.getSignedReturn(), bad.index);
            EXPECT_EQ(fsa->count(c.call), 0u);
            EXPECT_EQ(errorCount(bad.line), before + 1);
        }
    }
}

TEST_F(VynAdapterSettingsTest, AllDrivesIsRefusedButProtectionGoesOnWithTheList)
{
    addDrive(0);
    const std::string line = "*** Bad Parameter: True option is not supported for bAllDrives, paramValue=0 ***";
    AddrCollection set = drives({0});
    EXPECT_EQ(adapter->initializeHardDriveSet(set, true).getReturn(), -2);
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceSetForFsa"), 0u);

    AddrCollection again = drives({0});
    fsa->script("FsaProtectStorageDeviceSet", 1, failedReply({}));
    EXPECT_EQ(adapter->protectHardDriveSet(again, true, true).getReturn(), -2);
    EXPECT_EQ(fsa->arguments("FsaProtectStorageDeviceSet"), (std::vector<std::vector<uint64_t>>{{0, 1, 1, 0}}));
    EXPECT_EQ(errorCount(line), 2u);

    // A later failure has the last word.
    fsa->script("FsaProtectStorageDeviceSet", 145);
    EXPECT_EQ(adapter->protectHardDriveSet(again, true, true).getAPIReturn(), 145u);
}

// ---- the SSD cache pool ----

TEST_F(VynAdapterSettingsTest, ADriveJoinsThePoolInitialisedWhenItsStateAsks)
{
    struct Row {
        uint32_t state;
        bool initialised;
    };
    const Row rows[] = {{1, false}, {0, true}, {2, true}, {4, true}};
    uint8_t target = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        addDrive(target, row.state);
        freshExports();
        AddrCollection one = drives({target});
        EXPECT_EQ(adapter->addDriveToOrvexaPool(one), Ret(0));
        std::vector<std::string> calls{"FsaOpenAdapter2A"};
        if (row.initialised) {
            calls.push_back("FsaInitStorageDeviceForFsa");
            EXPECT_EQ(fsa->arguments("FsaInitStorageDeviceForFsa"),
                      (std::vector<std::vector<uint64_t>>{{1, 0, target, 0, 1}}));
        }
        calls.insert(calls.end(), {"FsaStorageDeviceSetCachePool", "FsaCloseAdapter"});
        EXPECT_EQ(fsa->calls(), calls);
        EXPECT_EQ(fsa->arguments("FsaStorageDeviceSetCachePool"), (std::vector<std::vector<uint64_t>>{{1, 1, target}}));
        ++target;
    }
}

TEST_F(VynAdapterSettingsTest, PoolRefusalsLeaveThePoolAlone)
{
    addDrive(0, 3);
    addDrive(1, 0);
    addDrive(2, 1, false);
    addDrive(3, 1);
    struct Row {
        const char* what;
        std::function<void(ScriptedFsaExports&)> script;
        std::initializer_list<uint32_t> targets;
        int code;
        const char* line;
    };
    const Row rows[] = {
        {"two drives", nullptr, {3, 3}, -1,
         "*** Not Supported: Adding more than one drive to Orvexa Pool in a single API call is not supported, "
         "value=0 ***"},
        {"bad state", nullptr, {0}, -2, "*** Bad Parameter: invalid member state, paramValue=0 ***"},
        {"no attachment", nullptr, {2}, -2,
         "*** Bad Parameter: One or more Hard-drive objects had no attachment, paramValue=0 ***"},
        {"no drive", nullptr, {9}, -2, "*** Bad Parameter: One or more addresses are wrong, paramValue=0 ***"},
        {"initialisation", [](ScriptedFsaExports& f) { f.script("FsaInitStorageDeviceForFsa", 20); }, {1}, -5,
         "*** FSA API Error: FsaInitStorageDeviceForFsa() fsaStatus=20 ***"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshExports();
        if (row.script)
            row.script(*fsa);
        AddrCollection set = drives(row.targets);
        EXPECT_EQ(adapter->addDriveToOrvexaPool(set).getReturn(), row.code);
        EXPECT_EQ(fsa->count("FsaStorageDeviceSetCachePool"), 0u);
        EXPECT_EQ(errorCount(row.line), 1u) << errorLog();
    }

    freshExports();
    fsa->script("FsaStorageDeviceSetCachePool", 31);
    AddrCollection ready = drives({3});
    EXPECT_EQ(adapter->addDriveToOrvexaPool(ready).getAPIReturn(), 31u);
    EXPECT_EQ(errorCount("*** FSA API Error: addDriveToOrvexaPool() fsaStatus=31 ***"), 1u);
}

TEST_F(VynAdapterSettingsTest, DrivesLeaveThePoolTogetherAndThePoolIsCleared)
{
    addDrive(0, 0);
    addDrive(1, 3);
    addDrive(2, 1, false);
    AddrCollection both = drives({0, 1});
    EXPECT_EQ(adapter->removeDriveFromOrvexaPool(both), Ret(0));
    // No state test and no initialisation on the way out.
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaOpenAdapter2A", "FsaStorageDeviceSetCachePool",
                                                      "FsaCloseAdapter"}));
    EXPECT_EQ(fsa->arguments("FsaStorageDeviceSetCachePool"), (std::vector<std::vector<uint64_t>>{{0, 2, 0, 1}}));

    freshExports();
    AddrCollection bare = drives({0, 2});
    EXPECT_EQ(adapter->removeDriveFromOrvexaPool(bare).getSignedReturn(), 1);
    EXPECT_EQ(fsa->count("FsaStorageDeviceSetCachePool"), 0u);

    freshExports();
    fsa->script("FsaStorageDeviceSetCachePool", 12);
    EXPECT_EQ(adapter->removeDriveFromOrvexaPool(both).getAPIReturn(), 12u);
    EXPECT_EQ(errorCount("*** FSA API Error: removeDriveFromOrvexaPool() fsaStatus=12 ***"), 1u);

    freshExports();
    EXPECT_EQ(adapter->clearOrvexaPool(), Ret(0));
    EXPECT_EQ(fsa->count("FsaClearOrvexaPool"), 1u);
    // A handle that cannot be opened shows as the call's own failure.
    noWriteHandle();
    fsa->script("FsaClearOrvexaPool", 9);
    EXPECT_EQ(adapter->clearOrvexaPool().getAPIReturn(), 9u);
    EXPECT_EQ(errorCount("*** FSA API Error: clearOrvexaPool() fsaStatus=9 ***"), 1u);
}

// ---- the command-line program over the simulated controller ----

class VynAdapterSettingsEndToEndTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), "default", args);
    }
    static std::string lastLine(std::string text)
    {
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        const size_t cut = text.rfind('\n');
        return cut == std::string::npos ? text : text.substr(cut + 1);
    }
    static bool has(const std::string& text, const std::string& pattern)
    {
        return std::regex_search(text, std::regex(pattern));
    }
};

TEST_F(VynAdapterSettingsEndToEndTest, SettingsLastIntoTheNextRun)
{
    struct Row {
        std::vector<std::string> args;
        const char* shown;  // in the next run's GETXML; empty: nothing to see
    };
    const Row rows[] = {
        {{"COPYBACK", "1", "ON"}, " copyBackEnabled=\"true\""},
        {{"SETNCQ", "1", "ENABLE"}, " sataNCQEnabled=\"true\""},
        {{"DATASCRUB", "1", "period", "45", "noprompt"}, " dataScrubRate=\"45\""},
        {{"DATASCRUB", "1", "OFF"}, " dataScrubbingActive=\"false\""},
        {{"CLEARNVSRAM", "1", "noprompt"}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0]);
        const vyntest::ProgramRun done = run(row.args);
        EXPECT_EQ(lastLine(done.output), "Command completed successfully.") << done.output << done.error;
        const vyntest::ProgramRun xml = run({"GETXML"});
        EXPECT_NE(xml.output.find(row.shown), std::string::npos) << xml.output;
    }
}

TEST_F(VynAdapterSettingsEndToEndTest, PoolTuningAndTaskPriorityLastWhereTheControllerHasThem)
{
    // The default controller with the SSD cache pool and the settings the
    // controller reports: default task priority, pool tuning.
    const std::string description = root() + "/pool.conf";
    vyntest::writeFile(description, "base = default\n"
                                    "adapter0.option_word3 = 0x83DC\n"
                                    "adapter0.properties_mask = 0x01FFCC01\n");
    auto runOn = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    const std::vector<std::string> commands[] = {
        {"SETPRIORITY", "1", "LOW"},
        {"SETORVEXA", "1", "FLUSHANDFETCHRATE", "40"},
        {"SETORVEXA", "1", "RWBALANCE", "3", "4"},
        {"SETORVEXA", "1", "DIRTYPAGETHRESHOLD", "50"},
    };
    for (const auto& args : commands) {
        const vyntest::ProgramRun done = runOn(args);
        EXPECT_EQ(lastLine(done.output), "Command completed successfully.") << args[2] << "\n" << done.output;
    }
    const vyntest::ProgramRun config = runOn({"GETCONFIG", "1", "AD"});
    EXPECT_TRUE(has(config.output, "Global task priority *: Low\n")) << config.output;
    EXPECT_TRUE(has(config.output, "Orvexa flush and fetch rate *: 40\n"));
    EXPECT_TRUE(has(config.output, "Orvexa Read, Write Balance Factor *: 3,4\n"));
    EXPECT_TRUE(has(config.output, "Orvexa Dirty Page Threshold *: 50\n"));

    // Out of range before the firmware: the controller keeps its factors.
    EXPECT_NE(lastLine(runOn({"SETORVEXA", "1", "RWBALANCE", "0", "4"}).output), "Command completed successfully.");
    EXPECT_TRUE(has(runOn({"GETCONFIG", "1", "AD"}).output, "Orvexa Read, Write Balance Factor *: 3,4\n"));
}

TEST_F(VynAdapterSettingsEndToEndTest, AnImageSetIsFlashedAndTheNextRunSeesItStaged)
{
    vyntest::ImageSetWriter set;
    set.build(4711).oemId(0).disks(2).image(1, 600).image(2, 300);
    const std::vector<std::string> files = set.write(root(), "fw");
    ASSERT_EQ(files.size(), 2u);

    const vyntest::ProgramRun update = run({"ROMUPDATE", "1", root() + "/fw", "noprompt"});
    EXPECT_EQ(update.exitCode, 0) << update.error;
    EXPECT_TRUE(has(update.output, "Succeeded")) << update.output;
    EXPECT_EQ(lastLine(update.output), "Command completed successfully.") << update.output;

    // The simulator keeps the written images with the controller.
    for (const char* id : {"1", "2"}) {
        std::ifstream image(root() + "/var/lib/hostsim/adapter0.flash." + id, std::ios::binary);
        EXPECT_TRUE(image.good()) << id;
    }
    const vyntest::ProgramRun version = run({"GETVERSION"});
    EXPECT_TRUE(has(version.output, "4711")) << version.output;
}

// Each step a process of its own on one host root: what one run set, the
// next run's GETCONFIG shows.
TEST_F(VynAdapterSettingsEndToEndTest, CacheSsdCacheAndPowerSettingsShowInTheNextRun)
{
    const std::string description = std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/pool-and-power.conf";
    auto runOn = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    const std::vector<std::string> commands[] = {
        {"SETPOWER", "1", "stayawake", "1345", "1640"},
        {"SETORVEXA", "1", "FLUSHANDFETCHRATE", "75"},
        {"SETORVEXA", "1", "RWBALANCE", "3", "7"},
        {"SETORVEXA", "1", "DIRTYPAGETHRESHOLD", "40"},
        {"SETORVEXA", "1", "ADDTOPOOL", "0", "7"},
        {"SETORVEXA", "1", "LOGICALDRIVE", "0", "READCACHE", "ENABLE"},
        {"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "ENABLE", "noprompt"},
        {"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITEPOLICY", "WT"},
        {"SETCACHE", "1", "LOGICALDRIVE", "0", "WB"},
        {"SETCACHE", "1", "DEVICE", "0", "5", "WB"},
    };
    for (const auto& args : commands) {
        const vyntest::ProgramRun done = runOn(args);
        EXPECT_EQ(lastLine(done.output), "Command completed successfully.") << args[0] << " " << args[2] << "\n"
                                                                             << done.output << done.error;
    }
    const std::string adapter = runOn({"GETCONFIG", "1", "AD"}).output;
    for (const char* line : {"Stayawake period *: Enabled\n", "Stayawake period start\\(HHMM\\) *: 1345\n",
                             "Stayawake period end\\(HHMM\\) *: 1640\n", "SSDs assigned to Orvexa pool *: 1\n",
                             "Maximum SSDs allowed in Orvexa pool *: 2\n", "Orvexa flush and fetch rate *: 75\n",
                             "Orvexa Read, Write Balance Factor *: 3,7\n", "Orvexa Dirty Page Threshold *: 40\n"})
        EXPECT_TRUE(has(adapter, line)) << line << "\n" << adapter;
    // Power management is still there to be set.
    EXPECT_EQ(lastLine(runOn({"SETPOWER", "1", "stayawake", "1300", "1400"}).output), "Command completed successfully.");

    const std::string drives = runOn({"GETCONFIG", "1", "LD", "0"}).output;
    for (const char* line : {"Write-cache mode *: Enabled \\(write-back\\)\n",
                             "Orvexa preferred read cache setting *: Enabled\n",
                             "Orvexa preferred write cache setting *: Enabled\n",
                             "Orvexa write cache policy *: Write Through\n",
                             "Segment 0 *: Present \\(Controller:1,Enclosure:0,Slot:0\\)"})
        EXPECT_TRUE(has(drives, line)) << line << "\n" << drives;
    const std::string devices = runOn({"GETCONFIG", "1", "PD"}).output;
    EXPECT_TRUE(has(devices, "Write Cache *: Enabled \\(write-back\\)\n")) << devices;
}

TEST_F(VynAdapterSettingsEndToEndTest, ACreatedDriveIsDatedAndAResetIsKept)
{
    EXPECT_EQ(lastLine(run({"CREATE", "1", "LOGICALDRIVE", "1000", "1", "0", "4", "0", "5", "noprompt"}).output),
              "Command completed successfully.");
    const std::string xml = run({"GETXML"}).output;
    // The simulated clock starts on 2024-01-01.
    EXPECT_TRUE(has(xml, "fsaContainerNum=\"1\"[^>]*fsaCreationMonth=\"1\" fsaCreationDay=\"1\" "
                         "fsaCreationYear=\"2024\"")) << xml;
    EXPECT_EQ(lastLine(run({"RESET", "1", "noprompt"}).output), "Command completed successfully.");
    std::ifstream state(root() + "/var/lib/hostsim/adapter0.state");
    const std::string text((std::istreambuf_iterator<char>(state)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(has(text, "\nreset_count = 1\n")) << text;
}

TEST_F(VynAdapterSettingsEndToEndTest, ALostDriveShowsMissingAndDegradesItsDrive)
{
    const std::string description = root() + "/lost.conf";
    // Failover off: with it on, the hot spare 0,3 would take the lost
    // member's place at once.
    vyntest::writeFile(description,
                       "base = default\nadapter0.auto_failover = 0\nadapter0.drive1 = 0:1 sas 146G state=missing\n");
    const std::string drives = vyntest::runVynconf(VYNCONF_PATH, root(), description, {"GETCONFIG", "1", "LD"}).output;
    EXPECT_TRUE(has(drives, "Status of logical device *: Degraded\n")) << drives;
    EXPECT_TRUE(has(drives, "Segment 1 *: Missing\n")) << drives;
}

}  // namespace
