// Creating a logical drive on a controller of the family, on the scripted
// exports: the refusals and their order, which drives get prepared, and the
// words each creation call receives.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/HardDrive.h"
#include "ScriptedFsaExports.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

// The extent fields by value: the record is packed.
uint64_t startOf(const FSA_STORAGE_DEVICE_SPACE& space) { return space.start; }
uint64_t lengthOf(const FSA_STORAGE_DEVICE_SPACE& space) { return space.length; }

const std::vector<uint8_t> kFakeHandle = {0x34, 0x12, 0, 0, 0, 0, 0, 0};

// Firmware drive states as the device record gives them.
constexpr uint32_t kReady = 1;
constexpr uint32_t kNeedsPreparing = 0;

// The drive texts: none (the constructor wants writable text).
char blank[] = "";

// A drive whose JBOD flag a test sets.
class TestDrive : public HardDrive {
public:
    TestDrive(Adapter* adapter, Channel* channel, unsigned long deviceID)
        : HardDrive(adapter, channel, deviceID, 0ull, PD_READY, blank, blank, blank, blank, false,
                    static_cast<EnumHardDriveCacheMode>(4), false, false, false, blank, false)
    {
    }
    void setJbod(bool on) { jbod = on; }
};

class VynAdapterCreateTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        FamilyTest::SetUp();
        fsa = std::make_unique<ScriptedFsaExports>();
        // Every call not scripted succeeds without output, the open excepted.
        fsa->answerUnscripted(FSA_STS_SUCCESS);
        fsa->scriptTimes("FsaOpenAdapter2A", 64, FSA_STS_SUCCESS, kFakeHandle);
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        adapter.reset(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
        channel = new Channel(adapter.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter->addChild(channel);
        setCapabilities(0);
    }
    void TearDown() override
    {
        adapter.reset();
        fsa.reset();
        FamilyTest::TearDown();
    }

    // The capability word of the general information; the features are set
    // afterwards, as the general information would reset them.
    void setCapabilities(uint32_t word)
    {
        FSA_GENERAL_INFO2 info = *adapter->getFsaInfo();
        faPutLe32(info.bytes + GI_OPTION_WORD3, word);
        adapter->setFsaGeneralInfo(&info);
    }

    // A hard drive at channel 0, device `id`, with the family's attachment in
    // firmware state `state`.
    TestDrive* addDrive(unsigned id, uint32_t state = kReady, bool jbod = false)
    {
        auto* drive = new TestDrive(adapter.get(), channel, id);
        drive->setJbod(jbod);
        channel->addChild(drive);
        FSA_STORAGE_DEVICE_INFO info = {};
        info.address.busNumber = 0;
        info.address.targetId = static_cast<uint8_t>(id);
        info.storageDeviceUsage = state;
        new VynPhysicalDeviceAttach(channel, drive, &info, nullptr);
        return drive;
    }

    // A drive with no attachment of the family.
    void addBareDrive(unsigned id) { channel->addChild(new TestDrive(adapter.get(), channel, id)); }

    // A logical drive of the family with id `id` over container `number`.
    void addLogicalDrive(unsigned id, uint32_t number, EnumRaidLevel level)
    {
        FSA_CONTAINER_INFO_EXTND record = {};
        faPutLe32(record.bytes, number);
        faPutLe32(record.bytes + 4, 0x5A000000 + number);
        auto* info = new VynLogicalDriveInfo(&record, nullptr, nullptr);
        adapter->addLogicalInfo(info);
        adapter->addChild(new VynBasicLogicalDrive(info, adapter.get(), id, level, 0, 0, LD_OPTIMAL, false));
    }

    static LogicalDriveSpec spec(EnumRaidLevel level, int initMethod = 0)
    {
        LogicalDriveSpec s(level, static_cast<EnumStripeSize>(256), "Data");
        s.readCache = 1;
        s.writeCache = 1;
        s.orvexaReadCache = 1;
        s.orvexaWriteCache = 1;
        s.orvexaWritePolicy = 0;
        s.initMethod = initMethod;
        s.priority = static_cast<EnumPriorityLevel>(0);
        return s;
    }
    // A chunk of `blocks` blocks from `start` on the drive at channel 0.
    static void onDrive(LogicalDriveSpec& s, unsigned device, unsigned group = 0, unsigned long long start = 128,
                        unsigned long long blocks = 2048)
    {
        s.addChunk(0, device, start, blocks, group, static_cast<EnumChunkType>(0));
    }
    static void onLogicalDrive(LogicalDriveSpec& s, unsigned id)
    {
        ChunkSpec chunk;
        chunk.setLogicalID(id);
        s.addChunk(chunk);
    }

    unsigned creations() const
    {
        return fsa->count("FsaCreatePrimaryContainer") + fsa->count("FsaCreateRAID50") +
               fsa->count("FsaCreateRAID60") + fsa->count("FsaCreateLogicalDrive") +
               fsa->count("FsaCreateSecondaryContainer");
    }

    std::unique_ptr<ScriptedFsaExports> fsa;
    vyntest::TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
};

TEST_F(VynAdapterCreateTest, RefusalsComeInOrderAndPrepareNoDrive)
{
    // Drives 0 and 1 would be prepared before the later checks of each row.
    addDrive(0, kNeedsPreparing);
    addDrive(1, kNeedsPreparing);
    addDrive(2, kReady);
    addDrive(3, 7);  // no state the controller can build on
    addDrive(4, kReady, true);
    addBareDrive(5);
    addLogicalDrive(0, 0, RAID_LEVEL_5);
    addLogicalDrive(1, 1, RAID_LEVEL_1);
    adapter->setFeature(featRaid50, 1);

    struct Row {
        const char* what;
        LogicalDriveSpec request;
        int code;
        int value;
        std::string line;
    };
    auto bad = [](const char* text, int value) {
        return "*** Bad Parameter: " + std::string(text) + ", paramValue=" + std::to_string(value) + " ***";
    };
    std::vector<Row> rows;
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_RAID_VOLUME);
        onLogicalDrive(s, 0);
        rows.push_back({"volume over one drive", s, -2, 1, bad("too few RAID Volume members", 1)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_5);
        onDrive(s, 0);
        onLogicalDrive(s, 0);
        onDrive(s, 1);
        rows.push_back({"RAID 5 of a logical and two hard drives", s, -2, 0,
                        bad("not all members were physical drives", 0)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_50);
        onDrive(s, 0, 0);
        onDrive(s, 1, 2);
        rows.push_back({"groups 0 and 2", s, -2, 0, bad("discontiguous RAID group numbers", 0)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_1);
        onDrive(s, 0);
        onDrive(s, 4);
        rows.push_back({"JBOD member of a RAID 1", s, -2, 0,
                        bad("JBOD configured drive specified as logical drive member", 0)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_6RS);
        onDrive(s, 0);
        rows.push_back({"RAID 6 Reed-Solomon", s, -1, 0,
                        "*** Not Supported: RAID level not supported by adapter: FeatRaid6, value=0 ***"});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_60RS);
        onDrive(s, 0);
        rows.push_back({"RAID 60 Reed-Solomon", s, -1, 0,
                        "*** Not Supported: RAID level not supported by adapter: FeatRaid60, value=0 ***"});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_1E);
        onDrive(s, 0);
        rows.push_back({"RAID 1E", s, -1, 0,
                        "*** Not Supported: RAID level not supported by adapter: FeatRaid1E, value=0 ***"});
    }
    for (int level : {3, 4, 6, 8, 10, 12, 20}) {
        LogicalDriveSpec s = spec(static_cast<EnumRaidLevel>(level));
        onDrive(s, 0);
        rows.push_back({"level", s, -2, level, bad("invalid RAID level", level)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_5);
        onDrive(s, 0);
        onDrive(s, 9);
        rows.push_back({"nothing at the address", s, -2, 1, bad("member not found", 1)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_RAID_VOLUME);
        onLogicalDrive(s, 0);
        onLogicalDrive(s, 1);
        rows.push_back({"volume over RAID 5 and RAID 1", s, -2, 0, bad("dissimilar member RAID levels", 0)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_5);
        s.addChunk(0, ChunkSpec::UNSET_ID, 0, 100, 0, static_cast<EnumChunkType>(0));  // the channel
        rows.push_back({"a channel as member", s, -2, 0,
                        bad("illegal member object type (not a HardDrive or LogicalDrive)", 0)});
    }
    rows.push_back({"no chunks", spec(RAID_LEVEL_5), -2, 0, bad("no valid members specified", 0)});
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_5);
        onDrive(s, 0);
        onDrive(s, 1);
        onDrive(s, 5);
        rows.push_back({"drive without attachment", s, -2, 2,
                        bad("HardDrive had no VYN attachment (the drive was probably not physically found in the "
                            "system)",
                            2)});
    }
    {
        LogicalDriveSpec s = spec(RAID_LEVEL_5);
        onDrive(s, 0);
        onDrive(s, 1);
        onDrive(s, 3);
        rows.push_back({"drive in state 7", s, -2, 2, bad("invalid member state", 2)});
    }
    {
        // The state check of group 0 comes before the gap after it.
        LogicalDriveSpec s = spec(RAID_LEVEL_50);
        onDrive(s, 3, 0);
        onDrive(s, 0, 2);
        rows.push_back({"state before gap", s, -2, 0, bad("invalid member state", 0)});
    }

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const unsigned before = errorCount(row.line);
        const Ret ret = adapter->createLogicalDrive(row.request);
        EXPECT_EQ(ret.getReturn(), row.code);
        EXPECT_EQ(ret.getSignedReturn(), row.value);
        EXPECT_EQ(errorCount(row.line), before + 1) << row.line;
    }
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 0u);
    EXPECT_EQ(creations(), 0u);
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);
}

TEST_F(VynAdapterCreateTest, TheOrvexaWritePolicyIsCheckedOnlyWhenTheControllerTakesIt)
{
    addDrive(0);
    LogicalDriveSpec s = spec(RAID_LEVEL_SIMPLE_VOLUME);
    onDrive(s, 0);
    s.orvexaWritePolicy = 5;
    EXPECT_EQ(adapter->createLogicalDrive(s).getReturn(), 0);
    setCapabilities(0x8000);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), -1);
    EXPECT_EQ(ret.getSignedReturn(), 5);
    EXPECT_EQ(errorCount("*** Not Supported: not supported write back cache setting, value=5 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaCreatePrimaryContainer"), 1u);
}

TEST_F(VynAdapterCreateTest, AJbodDriveMakesASimpleVolumeWithoutBuild)
{
    addDrive(0, kNeedsPreparing, true);
    fsa->script("FsaCreatePrimaryContainer", FSA_STS_SUCCESS, words({6, 0x5A000006, 0}));
    LogicalDriveSpec s = spec(RAID_LEVEL_SIMPLE_VOLUME);
    onDrive(s, 0, 0, 128, 4096);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(ret.getUnsignedReturn(), 6u);
    // A drive passed through as JBOD is taken as it is.
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 0u);
    const auto args = fsa->arguments("FsaCreatePrimaryContainer");
    ASSERT_EQ(args.size(), 1u);
    // Type 3 (the method given), one member, 256 KB stripe, no cache, no build.
    EXPECT_EQ(args[0], (std::vector<uint64_t>{3, 1, 256 * 1024, 0, 0, 1}));
    ASSERT_EQ(fsa->lastSpaces().size(), 1u);
    EXPECT_EQ(startOf(fsa->lastSpaces()[0]), 128u * 512);
    EXPECT_EQ(lengthOf(fsa->lastSpaces()[0]), 4096u * 512);
    EXPECT_EQ(fsa->lastName(), "Data");
}

TEST_F(VynAdapterCreateTest, DrivesNotReadyArePreparedUnlessNothingIsBuilt)
{
    addDrive(0, kReady);
    addDrive(1, 0);
    addDrive(2, 2);
    addDrive(3, 4);
    auto request = [](int method) {
        LogicalDriveSpec s = spec(RAID_LEVEL_5, method);
        for (unsigned d = 0; d < 4; ++d)
            onDrive(s, d);
        return s;
    };
    EXPECT_EQ(adapter->createLogicalDrive(request(0)).getReturn(), 0);
    const auto prepared = fsa->arguments("FsaInitStorageDeviceForFsa");
    ASSERT_EQ(prepared.size(), 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(prepared[i], (std::vector<uint64_t>{1, 0, i + 1, 0, 1}));
    // Preparing comes before the creation.
    const auto& calls = fsa->calls();
    auto at = [&calls](const char* name) { return std::find(calls.begin(), calls.end(), name) - calls.begin(); };
    EXPECT_LT(at("FsaInitStorageDeviceForFsa"), at("FsaCreatePrimaryContainer"));

    // Method 4 builds nothing and prepares nothing.
    EXPECT_EQ(adapter->createLogicalDrive(request(4)).getReturn(), 0);
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 3u);
    EXPECT_EQ(fsa->arguments("FsaCreatePrimaryContainer").back().back(), 1u);

    // A failed preparation stops before anything is created.
    fsa->script("FsaInitStorageDeviceForFsa", FSA_STS_SUCCESS);
    fsa->script("FsaInitStorageDeviceForFsa", 112);
    const Ret failed = adapter->createLogicalDrive(request(1));
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(failed.getAPIReturn(), 112u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaInitStorageDeviceForFsa() fsaStatus=112 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 5u);
    EXPECT_EQ(fsa->count("FsaCreatePrimaryContainer"), 2u);
}

TEST_F(VynAdapterCreateTest, TheSingleCreationCallTakesCodesAndNoDelay)
{
    setCapabilities(0x8 | 0x8000);
    for (unsigned d = 0; d < 4; ++d)
        addDrive(d);
    fsa->script("FsaCreateLogicalDrive", FSA_STS_SUCCESS, words({9, 0x5A000009, 0}));
    LogicalDriveSpec s = spec(RAID_LEVEL_10, 2);
    for (unsigned d = 0; d < 4; ++d)
        onDrive(s, d, d / 2);
    s.readCache = 2;
    s.orvexaReadCache = 2;
    s.writeCache = 3;
    s.orvexaWriteCache = 2;
    s.orvexaWritePolicy = 3;
    s.priority = static_cast<EnumPriorityLevel>(7);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(ret.getUnsignedReturn(), 9u);
    const auto args = fsa->arguments("FsaCreateLogicalDrive");
    ASSERT_EQ(args.size(), 1u);
    // Level code 4, two groups, four drives, 256 KB, cache words {1, 1, 1,
    // 1}, method 2 as init code 3, any other priority as 2, policy 3.
    EXPECT_EQ(args[0], (std::vector<uint64_t>{4, 2, 4, 256 * 1024, 1, 1, 1, 1, 3, 2, 3}));
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);
    EXPECT_EQ(traceLog().find("FsaCreateLogicalDrive() - SUCCESS") != std::string::npos, true);

    // Init and priority codes of the other values.
    struct Codes {
        int method;
        int priority;
        uint64_t init;
        uint64_t code;
    };
    const Codes codes[] = {{0, 0, 2, 0}, {1, 1, 1, 1}, {3, 2, 0, 2}, {4, 0, 4, 0}};
    for (const Codes& c : codes) {
        s.initMethod = c.method;
        s.priority = static_cast<EnumPriorityLevel>(c.priority);
        EXPECT_EQ(adapter->createLogicalDrive(s).getReturn(), 0);
        const auto last = fsa->arguments("FsaCreateLogicalDrive").back();
        EXPECT_EQ(last[8], c.init) << c.method;
        EXPECT_EQ(last[9], c.code) << c.priority;
    }
}

TEST_F(VynAdapterCreateTest, Raid50TakesDrivesPerGroupAndTheDelayAfterIt)
{
    for (unsigned d = 0; d < 6; ++d)
        addDrive(d);
    adapter->setFeature(featRaid50, 1);
    fsa->script("FsaCreateRAID50", FSA_STS_SUCCESS, words({4, 0x5A000004, 0}));
    LogicalDriveSpec s = spec(RAID_LEVEL_50, 1);
    // Groups alternate in chunk order; the records go group by group.
    for (unsigned d = 0; d < 6; ++d)
        onDrive(s, d, d % 2, 128 * (d + 1));
    s.writeCache = 2;
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(ret.getUnsignedReturn(), 4u);
    const auto args = fsa->arguments("FsaCreateRAID50");
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0], (std::vector<uint64_t>{27, 3, 6, 256 * 1024, 0, 2, 0}));
    const unsigned order[] = {0, 2, 4, 1, 3, 5};
    ASSERT_EQ(fsa->lastSpaces().size(), 6u);
    for (unsigned k = 0; k < 6; ++k) {
        EXPECT_EQ(fsa->lastSpaces()[k].device.targetId, order[k]);
        EXPECT_EQ(startOf(fsa->lastSpaces()[k]), 128u * 512 * (order[k] + 1));
    }
    // Low priority: a delay of 100 on the new container, after the creation.
    EXPECT_EQ(fsa->arguments("FsaContainer"), (std::vector<std::vector<uint64_t>>{{4, 4, 100}}));
    EXPECT_EQ(fsa->calls().back(), "FsaCloseAdapter");
    EXPECT_EQ(fsa->calls()[fsa->calls().size() - 2], "FsaContainer");

    // RAID 60 over the same drives goes to its own call.
    adapter->setFeature(featRaid60, 1);
    s.raidLevel = RAID_LEVEL_60;
    EXPECT_EQ(adapter->createLogicalDrive(s).getReturn(), 0);
    ASSERT_EQ(fsa->arguments("FsaCreateRAID60").size(), 1u);
    EXPECT_EQ(fsa->arguments("FsaCreateRAID60")[0][0], 51u);
    EXPECT_EQ(fsa->arguments("FsaCreateRAID60")[0][1], 3u);
}

TEST_F(VynAdapterCreateTest, AFailingDelayIsLoggedAndTheCreationStands)
{
    addDrive(0);
    addDrive(1);
    fsa->script("FsaCreatePrimaryContainer", FSA_STS_SUCCESS, words({2, 0x5A000002, 0}));
    fsa->script("FsaContainer", 31);
    LogicalDriveSpec s = spec(RAID_LEVEL_1);
    onDrive(s, 0);
    onDrive(s, 1);
    s.priority = static_cast<EnumPriorityLevel>(1);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(ret.getUnsignedReturn(), 2u);
    EXPECT_EQ(errorCount("FsaContainer(FSA_CO_SET_DELAY) - FAILED (fsaStatus=31)"), 1u);
    EXPECT_EQ(fsa->arguments("FsaContainer"), (std::vector<std::vector<uint64_t>>{{2, 4, 50}}));
}

TEST_F(VynAdapterCreateTest, AFailedCreationReportsItsCallAndSetsNoDelay)
{
    addDrive(0);
    fsa->script("FsaCreatePrimaryContainer", 17);
    LogicalDriveSpec s = spec(RAID_LEVEL_0);
    onDrive(s, 0);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 17u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaCreatePrimaryContainer() fsaStatus=17 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);
}

TEST_F(VynAdapterCreateTest, ARaidVolumeJoinsLogicalDrivesAndNothingMore)
{
    addLogicalDrive(0, 3, RAID_LEVEL_5);
    addLogicalDrive(1, 7, RAID_LEVEL_5);
    fsa->script("FsaCreateSecondaryContainer", FSA_STS_SUCCESS, words({8, 0x5A000008, 0}));
    LogicalDriveSpec s = spec(RAID_LEVEL_RAID_VOLUME, 4);
    onLogicalDrive(s, 1);
    onLogicalDrive(s, 0);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), 0);
    const auto args = fsa->arguments("FsaCreateSecondaryContainer");
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0], (std::vector<uint64_t>{3, 2, 256 * 1024, 1, 7, 3}));
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);

    fsa->script("FsaCreateSecondaryContainer", 421);
    const Ret failed = adapter->createLogicalDrive(s);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaCreateSecondaryContainer() fsaStatus=421 ***"), 1u);
}

TEST_F(VynAdapterCreateTest, NoWriteHandleIsBusyAndSendsNothing)
{
    addDrive(0);
    fsa.reset();
    fsa = std::make_unique<ScriptedFsaExports>();
    fsa->answerUnscripted(FSA_STS_SUCCESS);
    fsa->script("FsaOpenAdapter2A", 301);
    LogicalDriveSpec s = spec(RAID_LEVEL_0);
    onDrive(s, 0);
    const Ret ret = adapter->createLogicalDrive(s);
    EXPECT_EQ(ret.getReturn(), -6);
    EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), 1u);
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaOpenAdapter2A"}));
}

}  // namespace
