// The changes a logical drive of the family makes on its controller: the
// firmware words of each on the scripted exports (checks before the handle,
// cache flags, restores over member containers, migrations checked against
// the tree and paced afterwards), and the commands of the command-line
// program over the simulated controller, seen by the next process.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Channel.h"
#include "ScriptedFsaExports.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

using vyntest::kWriteHandle;
constexpr uint64_t kStart = 128;
constexpr uint64_t kBlocks = 1000;
constexpr uint32_t kDiskBlocks = 1000000;

// Kept arguments of the container call, by position.
enum ContainerKept { NUMBER, OPERATION, DELAY };
// Kept arguments of the morph call, by position.
enum MorphKept { M_NUMBER, M_TYPE, M_COUNT, M_CHUNK, M_SIZE, M_FLAG, M_FIRST_BUS, M_FIRST_TARGET };

// A container record over the given drives of bus 0 (each kBlocks from
// kStart), or, when `members` is given, a container of those containers.
FSA_CONTAINER_INFO_EXTND containerRecord(uint32_t number, uint32_t extendedType, const std::vector<uint8_t>& targets,
                                         const std::vector<uint32_t>& members = {})
{
    FSA_CONTAINER_INFO_EXTND r = {};
    faPutLe32(r.bytes, number);
    faPutLe32(r.bytes + 4, 0x5A000000 + number);
    faPutLe32(r.bytes + CI_TYPE, members.empty() ? 1 : 2);
    faPutLe32(r.bytes + CI_BASE_TYPE, extendedType);
    faPutLe32(r.bytes + 64, members.empty() ? 1 : 0);
    faPutLe64(r.bytes + 68, kBlocks * 512 * (members.empty() ? targets.size() : members.size()));
    faPutLe32(r.bytes + 104, 0xFFFFFFFF);
    const size_t n = members.empty() ? targets.size() : members.size();
    faPutLe32(r.bytes + 260, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        uint8_t* e = r.bytes + 552 + 28 * i;
        if (members.empty()) {
            e[5] = targets[i];
            faPutLe64(e + 12, kStart * 512);
            faPutLe64(e + 20, kBlocks * 512);
        } else {
            faPutLe32(e, members[i]);
        }
    }
    return r;
}

// Lets a test give the drive the cache settings its record would.
class CachedDrive : public VynBasicLogicalDrive {
public:
    using VynBasicLogicalDrive::VynBasicLogicalDrive;
    void settings(int read, int write)
    {
        readCacheSetting = read;
        writeCacheSetting = write;
    }
};

class VynLogicalDriveOpsTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        fsa_.reset(new ScriptedFsaExports());
        fsa_->answerUnscripted(31);
        // The changes succeed unless a test scripts otherwise.
        for (const char* call : {"FsaContainer", "FsaMorphContainer", "FsaContainerSetCacheParams",
                                 "FsaReleaseContainerCache", "FsaContainerForceOnline",
                                 "FsaContainerSetPowerManagement", "FsaContainerSetITPCacheSettings",
                                 "FsaContainerSetOrvexaWriteCacheSettings", "FsaCloseAdapter"})
            fsa_->scriptAlways(call, 1);
        // Controller objects that are never opened: every firmware call is
        // the scripted one.
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter_.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        bus_ = new Channel(adapter_.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter_->addChild(bus_);
        for (uint8_t t = 0; t < 4; ++t)
            disk(t);
    }
    void TearDown() override
    {
        adapter_.reset();
        fsa_.reset();
        vyntest::FamilyTest::TearDown();
    }
    void disk(uint8_t target)
    {
        auto* d = new VynHardDrive(adapter_.get(), bus_, target, kDiskBlocks);
        bus_->addChild(d);
        FSA_STORAGE_DEVICE_INFO info;
        std::memset(&info, 0, sizeof info);
        info.address.storageDeviceType = 1;
        info.address.targetId = target;
        info.numBlocksLow = kDiskBlocks;
        // The controller keeps the first kStart blocks for itself.
        info.numUsableBlocksLow = kDiskBlocks - kStart;
        info.maxUsableBlocksLow = kDiskBlocks - kStart;
        info.bytesPerBlock = 512;
        new VynPhysicalDeviceAttach(bus_, d, &info, nullptr);
    }
    VynLogicalDriveInfo* keep(const FSA_CONTAINER_INFO_EXTND& r)
    {
        std::vector<uint8_t> params(VynLogicalDriveInfo::PARAMS_SIZE, 0);
        auto* info = new VynLogicalDriveInfo(&r, reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params.data()),
                                             reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params.data()));
        adapter_->addLogicalInfo(info);
        return info;
    }
    // A drive of the controller's tree built from `record`.
    CachedDrive* drive(const FSA_CONTAINER_INFO_EXTND& record, EnumRaidLevel level)
    {
        VynLogicalDriveInfo* info = keep(record);
        auto* ld = new CachedDrive(info, adapter_.get(), info->getContainerNumber(), level, kBlocks, 0, LD_OPTIMAL,
                                   false);
        adapter_->addChild(ld);
        fsa_->clearCalls();
        return ld;
    }
    // A RAID 1 over drives 0:0 and 0:1, container 0.
    CachedDrive* mirror() { return drive(containerRecord(0, 1, {0, 1}), RAID_LEVEL_1); }
    // A RAID 10 (container 2) over the mirrors 0 (0:0, 0:1) and 1 (0:2, 0:3).
    CachedDrive* raid10()
    {
        keep(containerRecord(0, 1, {0, 1}));
        keep(containerRecord(1, 1, {2, 3}));
        return drive(containerRecord(2, 13, {}, {0, 1}), RAID_LEVEL_10);
    }
    void handleOpens() { fsa_->script("FsaOpenAdapter2A", 1, kWriteHandle); }
    std::vector<std::vector<uint64_t>> containerCalls() const { return fsa_->arguments("FsaContainer"); }
    void clearErrorLog() { vyntest::writeFile(hostFile("/var/log/vynerror.txt"), ""); }

    std::unique_ptr<ScriptedFsaExports> fsa_;
    vyntest::TreePtr<VynAdapter> adapter_;
    Channel* bus_ = nullptr;
};

using Operation = std::function<Ret(VynBasicLogicalDrive&)>;

// Every change that holds a write handle: the firmware call it makes and
// the label of that call's error record.
struct Change {
    const char* name;
    Operation run;
    const char* call;
    const char* label;
};

LogicalDriveSpec stripeChange()
{
    LogicalDriveSpec spec(RAID_LEVEL_1, static_cast<EnumStripeSize>(128), "");
    spec.addChunk(0, 0, kStart, kBlocks, 0, static_cast<EnumChunkType>(0));
    spec.addChunk(0, 1, kStart, kBlocks, 0, static_cast<EnumChunkType>(0));
    return spec;
}

const std::vector<Change>& changes()
{
    static const std::vector<Change> all = {
        {"verify", [](VynBasicLogicalDrive& d) { return d.verify(); }, "FsaContainer", "FsaContainer(x,x,x,x)"},
        {"synchronize", [](VynBasicLogicalDrive& d) { return d.synchronize(); }, "FsaContainer",
         "FsaContainer(x,x,x,x)"},
        {"initializeLogicalDrive",
         [](VynBasicLogicalDrive& d) {
             return d.initializeLogicalDrive(static_cast<EnumInitMethod>(1), static_cast<EnumPriorityLevel>(0));
         },
         "FsaContainer", "FsaContainer(x,x,FSA_CO_ZERO_ALWAYS,x)"},
        {"setName", [](VynBasicLogicalDrive& d) { return d.setName("Data"); }, "FsaContainer",
         "FsaContainer(x,x,FSA_CO_SET_LABEL,x)"},
        {"deleteLogicalDrive", [](VynBasicLogicalDrive& d) { return d.deleteLogicalDrive(); }, "FsaContainer",
         "FsaContainer(x, x, FSA_CO_DELETE_UNCONDITIONAL, NULL)"},
        {"setCache",
         [](VynBasicLogicalDrive& d) {
             return d.setCache(static_cast<EnumLogicalDriveCacheMode>(2), static_cast<EnumLogicalDriveCacheMode>(2));
         },
         "FsaContainerSetCacheParams", "FsaContainerSetCacheParams(x,x,x)"},
        {"setCache(release)",
         [](VynBasicLogicalDrive& d) {
             return d.setCache(static_cast<EnumLogicalDriveCacheMode>(5), static_cast<EnumLogicalDriveCacheMode>(2));
         },
         "FsaReleaseContainerCache", "FsaReleaseContainerCache(x,x,x)"},
        {"setState(restore)",
         [](VynBasicLogicalDrive& d) { return d.setState(LD_OPTIMAL, static_cast<EnumLogicalDeviceFOCmd>(0), 0); },
         "FsaContainer", "FsaContainer(x, x, FSA_CO_RESTORE_CONTAINER, NULL)"},
        {"setState(force)",
         [](VynBasicLogicalDrive& d) { return d.setState(LD_OPTIMAL, static_cast<EnumLogicalDeviceFOCmd>(2), 9); },
         "FsaContainerForceOnline", "FsaContainerForceOnline(x, x, x)"},
        {"setStripeSize", [](VynBasicLogicalDrive& d) { return d.setStripeSize(static_cast<EnumStripeSize>(64)); },
         "FsaMorphContainer", "FsaMorphContainer()"},
        {"increaseSize",
         [](VynBasicLogicalDrive& d) {
             return d.increaseSize(stripeChange().chunks, static_cast<EnumPriorityLevel>(0));
         },
         "FsaMorphContainer", "FsaMorphContainer()"},
        {"modify", [](VynBasicLogicalDrive& d) { return d.modify(stripeChange()); }, "FsaMorphContainer",
         "FsaMorphContainer()"},
        {"setPMEnabled", [](VynBasicLogicalDrive& d) { return d.setPMEnabled(true); },
         "FsaContainerSetPowerManagement", "FsaContainerSetPowerManagement()"},
        {"setPMTimers", [](VynBasicLogicalDrive& d) { return d.setPMTimers(1, 2, 3); },
         "FsaContainerSetPowerManagement", "FsaContainerSetPowerManagement()"},
        {"setOrvexaPreferredCache",
         [](VynBasicLogicalDrive& d) { return d.setOrvexaPreferredCache(static_cast<EnumOrvexaPreferredSetting>(2)); },
         "FsaContainerSetITPCacheSettings", "setOrvexaPreferredCache()"},
        {"setPreferredOrvexaWriteCache",
         [](VynBasicLogicalDrive& d) {
             return d.setPreferredOrvexaWriteCache(static_cast<EnumOrvexaWriteCachePreferredSetting>(1),
                                                   static_cast<EnumOrvexaWriteCachePolicySetting>(4));
         },
         "FsaContainerSetOrvexaWriteCacheSettings", "setPreferredOrvexaWriteCache()"},
    };
    return all;
}

TEST_F(VynLogicalDriveOpsTest, WithoutAWriteHandleNothingIsSent)
{
    CachedDrive* ld = mirror();
    for (const Change& c : changes()) {
        SCOPED_TRACE(c.name);
        fsa_->clearCalls();
        clearErrorLog();
        fsa_->script("FsaOpenAdapter2A", 5);
        const Ret ret = c.run(*ld);
        EXPECT_EQ(ret.getReturn(), -6);
        EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), 1u) << errorLog();
        EXPECT_EQ(fsa_->count(c.call), 0u);
    }
}

TEST_F(VynLogicalDriveOpsTest, AFirmwareRefusalIsAnApiErrorNamingTheCall)
{
    CachedDrive* ld = mirror();
    for (const Change& c : changes()) {
        SCOPED_TRACE(c.name);
        fsa_->clearCalls();
        clearErrorLog();
        handleOpens();
        fsa_->script(c.call, 17);
        const Ret ret = c.run(*ld);
        EXPECT_EQ(ret.getReturn(), -5);
        EXPECT_EQ(ret.getAPIReturn(), 17u);
        EXPECT_EQ(errorCount(std::string("*** FSA API Error: ") + c.label + " fsaStatus=17 ***"), 1u) << errorLog();
        EXPECT_EQ(fsa_->count(c.call), 1u);
        // The one write handle is closed again.
        EXPECT_EQ(fsa_->count("FsaCloseAdapter"), 1u);
    }
}

TEST_F(VynLogicalDriveOpsTest, RefusedArgumentsOpenNoHandle)
{
    CachedDrive* ld = mirror();
    const std::string seventeen(17, 'n');
    const struct {
        const char* name;
        Operation run;
        const char* text;
        long value;
    } cases[] = {
        {"null name", [](VynBasicLogicalDrive& d) { return d.setName(nullptr); }, "pNameIN==NULL", 0},
        {"17 characters", [&](VynBasicLogicalDrive& d) { return d.setName(seventeen.c_str()); },
         "strlen(pNameIN) too long", 17},
        {"build", [](VynBasicLogicalDrive& d) {
             return d.initializeLogicalDrive(static_cast<EnumInitMethod>(2), static_cast<EnumPriorityLevel>(0));
         },
         "methodIN != INIT_CLEAR", 0},
        {"degraded", [](VynBasicLogicalDrive& d) { return d.setState(LD_DEGRADED, static_cast<EnumLogicalDeviceFOCmd>(0), 0); },
         "Logical drives can only be forced into the OKAY state", LD_DEGRADED},
        {"read cache 3", [](VynBasicLogicalDrive& d) {
             return d.setOrvexaPreferredCache(static_cast<EnumOrvexaPreferredSetting>(3));
         },
         "Unknown value passed for read cache setting", 0},
        {"write cache preferred 0", [](VynBasicLogicalDrive& d) {
             return d.setPreferredOrvexaWriteCache(static_cast<EnumOrvexaWriteCachePreferredSetting>(0),
                                                   static_cast<EnumOrvexaWriteCachePolicySetting>(0));
         },
         "Unknown value passed for write cache setting", 0},
        {"write cache policy 5", [](VynBasicLogicalDrive& d) {
             return d.setPreferredOrvexaWriteCache(static_cast<EnumOrvexaWriteCachePreferredSetting>(3),
                                                   static_cast<EnumOrvexaWriteCachePolicySetting>(5));
         },
         "Unknown value passed for write cache setting", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fsa_->clearCalls();
        clearErrorLog();
        const Ret ret = c.run(*ld);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(errorCount("*** Bad Parameter: " + std::string(c.text) + ", paramValue=" +
                             std::to_string(c.value) + " ***"),
                  1u)
            << errorLog();
        EXPECT_TRUE(fsa_->calls().empty()) << fsa_->calls().front();
    }
}

TEST_F(VynLogicalDriveOpsTest, ANameOfSixteenCharactersReachesTheFirmware)
{
    CachedDrive* ld = mirror();
    handleOpens();
    const Ret ret = ld->setName("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(ret.getReturn(), 0);
    ASSERT_EQ(containerCalls().size(), 1u);
    EXPECT_EQ(containerCalls()[0][OPERATION], 22u);
    // The model's own name is the controller's: the next build reads it.
    EXPECT_STREQ(ld->getName(), "");
}

TEST_F(VynLogicalDriveOpsTest, CacheModesGiveTheFlagsSent)
{
    enum { NONE = -1 };
    const struct {
        int read, write;
        int readSetting, writeSetting;
        long sentRead, sentWrite;  // NONE: no parameters sent
        const char* refusal;       // bad parameter 0 with this text
        bool released;
    } cases[] = {
        {2, 3, 1, 1, 0x1, 0x1, nullptr, false},
        {1, 2, 1, 1, 0x0, 0x2, nullptr, false},
        {1, 1, 2, 2, 0x0, 0x0, nullptr, false},
        // "No change" keeps what the drive has.
        {4, 1, 2, 1, 0x1, 0x0, nullptr, false},
        {4, 1, 1, 1, 0x0, 0x0, nullptr, false},
        {1, 4, 1, 2, 0x0, 0x2, nullptr, false},
        {1, 4, 1, 3, 0x0, 0x1, nullptr, false},
        {4, 4, 2, 2, NONE, NONE, "Both read/write cache settings set to LD_CACHE_NO_CHANGE", false},
        {0, 1, 1, 1, NONE, NONE, "LD_CACHE_NOT_SUPPORTED invalid", false},
        {1, 0, 1, 1, NONE, NONE, "LD_CACHE_NOT_SUPPORTED invalid", false},
        {3, 1, 1, 1, NONE, NONE, "LD_CACHE_WHEN_PROTECTED is not supported for read", false},
        {6, 1, 1, 1, NONE, NONE, "Unknown value passed for readCacheSettingIN", false},
        {1, 6, 1, 1, NONE, NONE, "Unknown value passed for writeCacheSettingIN", false},
        // A release ends the request whatever else was asked.
        {5, 9, 1, 1, NONE, NONE, nullptr, true},
        {2, 5, 1, 1, NONE, NONE, nullptr, true},
    };
    CachedDrive* ld = mirror();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.read) + "/" + std::to_string(c.write));
        ld->settings(c.readSetting, c.writeSetting);
        fsa_->clearCalls();
        clearErrorLog();
        handleOpens();
        const size_t before = fsa_->arguments("FsaContainerSetCacheParams").size();
        const Ret ret = ld->setCache(static_cast<EnumLogicalDriveCacheMode>(c.read),
                                     static_cast<EnumLogicalDriveCacheMode>(c.write));
        // The handle is opened before the modes are looked at.
        EXPECT_EQ(fsa_->count("FsaOpenAdapter2A"), 1u);
        EXPECT_EQ(fsa_->count("FsaReleaseContainerCache"), c.released ? 1u : 0u);
        const auto sent = fsa_->arguments("FsaContainerSetCacheParams");
        if (c.sentRead == NONE) {
            EXPECT_EQ(sent.size(), before);
        } else {
            ASSERT_EQ(sent.size(), before + 1);
            EXPECT_EQ(sent.back()[1], static_cast<uint64_t>(c.sentRead));
            EXPECT_EQ(sent.back()[2], static_cast<uint64_t>(c.sentWrite));
        }
        if (c.refusal != nullptr) {
            EXPECT_EQ(ret.getReturn(), -2);
            EXPECT_EQ(errorCount("*** Bad Parameter: " + std::string(c.refusal) + ", paramValue=0 ***"), 1u)
                << errorLog();
        } else {
            EXPECT_EQ(ret.getReturn(), 0) << errorLog();
        }
    }
}

TEST_F(VynLogicalDriveOpsTest, ARestoreCountsNothingToRestoreAsDone)
{
    CachedDrive* ld = mirror();
    handleOpens();
    fsa_->script("FsaContainer", 405);
    EXPECT_EQ(ld->setState(LD_OPTIMAL, static_cast<EnumLogicalDeviceFOCmd>(0), 0).getReturn(), 0);
    ASSERT_EQ(containerCalls().size(), 1u);
    EXPECT_EQ(containerCalls()[0][NUMBER], 0u);
    EXPECT_EQ(containerCalls()[0][OPERATION], 26u);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(VynLogicalDriveOpsTest, ARestoreVisitsEveryMemberAndKeepsTheFirstFailure)
{
    CachedDrive* ld = raid10();
    ASSERT_EQ(ld->getMemberRecords().size(), 2u);
    const struct {
        FSA_STATUS first, second;
        int ret;
        unsigned detail;
    } cases[] = {
        {405, 405, 0, 0},
        {1, 405, 0, 0},
        {7, 1, -5, 7},
        {7, 8, -5, 7},
        {405, 8, -5, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + "," + std::to_string(c.second));
        fsa_->clearCalls();
        clearErrorLog();
        handleOpens();
        fsa_->script("FsaContainer", c.first);
        fsa_->script("FsaContainer", c.second);
        const size_t before = containerCalls().size();
        const Ret ret = ld->setState(LD_OPTIMAL, static_cast<EnumLogicalDeviceFOCmd>(0), 0);
        EXPECT_EQ(ret.getReturn(), c.ret);
        if (c.ret != 0) {
            EXPECT_EQ(ret.getAPIReturn(), c.detail);
        }
        // The members, not the drive's own container, in their order.
        const auto calls = containerCalls();
        ASSERT_EQ(calls.size(), before + 2);
        EXPECT_EQ(calls[before][NUMBER], 0u);
        EXPECT_EQ(calls[before + 1][NUMBER], 1u);
        EXPECT_EQ(errorCount("FSA_CO_RESTORE_CONTAINER"), c.ret != 0 ? 1u : 0u) << errorLog();
    }
}

TEST_F(VynLogicalDriveOpsTest, AForcedOnlinePassesItsCommandAndFlags)
{
    CachedDrive* ld = raid10();
    handleOpens();
    EXPECT_EQ(ld->setState(LD_OPTIMAL, static_cast<EnumLogicalDeviceFOCmd>(3), 0x11).getReturn(), 0);
    const auto calls = fsa_->arguments("FsaContainerForceOnline");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<uint64_t>{2, 3, 0x11}));
    EXPECT_EQ(fsa_->count("FsaContainer"), 0u);
}

TEST_F(VynLogicalDriveOpsTest, PowerManagementKeepsTheDrivesTimersWhenOnlySwitched)
{
    FSA_CONTAINER_INFO_EXTND r = containerRecord(0, 1, {0, 1});
    faPutLe32(r.bytes + 496, 30);
    faPutLe32(r.bytes + 500, 60);
    faPutLe32(r.bytes + 504, 90);
    CachedDrive* ld = drive(r, RAID_LEVEL_1);
    handleOpens();
    EXPECT_EQ(ld->setPMEnabled(false).getReturn(), 0);
    handleOpens();
    EXPECT_EQ(ld->setPMTimers(1, 2, 3).getReturn(), 0);
    const auto calls = fsa_->arguments("FsaContainerSetPowerManagement");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::vector<uint64_t>{0, 0, 30, 60, 90}));
    EXPECT_EQ(calls[1], (std::vector<uint64_t>{0, 1, 1, 2, 3}));
}

TEST_F(VynLogicalDriveOpsTest, OrvexaPreferencesMapToTheFirmwareWords)
{
    CachedDrive* ld = mirror();
    handleOpens();
    EXPECT_EQ(ld->setOrvexaPreferredCache(static_cast<EnumOrvexaPreferredSetting>(1)).getReturn(), 0);
    handleOpens();
    EXPECT_EQ(ld->setOrvexaPreferredCache(static_cast<EnumOrvexaPreferredSetting>(2)).getReturn(), 0);
    const auto read = fsa_->arguments("FsaContainerSetITPCacheSettings");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0][1], 0u);
    EXPECT_EQ(read[1][1], 1u);
    handleOpens();
    EXPECT_EQ(ld->setPreferredOrvexaWriteCache(static_cast<EnumOrvexaWriteCachePreferredSetting>(3),
                                               static_cast<EnumOrvexaWriteCachePolicySetting>(0))
                  .getReturn(),
              0);
    EXPECT_EQ(fsa_->arguments("FsaContainerSetOrvexaWriteCacheSettings").at(0), (std::vector<uint64_t>{0, 3, 0}));
}

TEST_F(VynLogicalDriveOpsTest, AnExpansionSendsItsMembersAndSizeThenItsPace)
{
    CachedDrive* ld = drive(containerRecord(0, 4, {0, 1, 2}), RAID_LEVEL_5);
    LogicalDriveSpec spec = stripeChange();
    spec.addChunk(0, 3, kStart, kBlocks, 0, static_cast<EnumChunkType>(0));
    handleOpens();
    // A refused delay leaves the expansion running.
    fsa_->script("FsaContainer", 9);
    const Ret ret = ld->increaseSize(spec.chunks, PRIORITY_LOW);
    EXPECT_EQ(ret.getReturn(), 0);
    const auto morph = fsa_->arguments("FsaMorphContainer");
    ASSERT_EQ(morph.size(), 1u);
    EXPECT_EQ(morph[0], (std::vector<uint64_t>{0, 4, 3, 0, kBlocks * 512, 0, 0, 0, 0, 1, 0, 3}));
    ASSERT_EQ(containerCalls().size(), 1u);
    EXPECT_EQ(containerCalls()[0], (std::vector<uint64_t>{0, 4, 100}));
    EXPECT_EQ(errorCount("FsaContainer(x, x, FSA_CO_SET_DELAY, x), fsaStatus=9"), 1u) << errorLog();
}

TEST_F(VynLogicalDriveOpsTest, AStripeSizeChangeKeepsTheMembers)
{
    CachedDrive* ld = drive(containerRecord(0, 4, {0, 1, 2}), RAID_LEVEL_5);
    handleOpens();
    EXPECT_EQ(ld->setStripeSize(static_cast<EnumStripeSize>(64)).getReturn(), 0);
    EXPECT_EQ(fsa_->arguments("FsaMorphContainer").at(0), (std::vector<uint64_t>{0, 4, 0, 64 * 1024, 0, 0}));
}

TEST_F(VynLogicalDriveOpsTest, AMigrationSendsTheLevelAndAStripeOnlyWhereTheLevelHasOne)
{
    const struct {
        EnumRaidLevel level;
        uint64_t fsaLevel;
        uint64_t stripe;
    } cases[] = {
        {RAID_LEVEL_1, 1, 0},
        {RAID_LEVEL_SIMPLE_VOLUME, 3, 0},
        {RAID_LEVEL_0, 2, 128 * 1024},
        {RAID_LEVEL_5, 4, 128 * 1024},
    };
    CachedDrive* ld = mirror();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fsaLevel);
        fsa_->clearCalls();
        handleOpens();
        LogicalDriveSpec spec = stripeChange();
        spec.raidLevel = c.level;
        const size_t before = fsa_->arguments("FsaMorphContainer").size();
        EXPECT_EQ(ld->modify(spec).getReturn(), 0) << errorLog();
        const auto morph = fsa_->arguments("FsaMorphContainer");
        ASSERT_EQ(morph.size(), before + 1);
        EXPECT_EQ(morph.back()[M_TYPE], c.fsaLevel);
        EXPECT_EQ(morph.back()[M_COUNT], 2u);
        EXPECT_EQ(morph.back()[M_CHUNK], c.stripe);
        EXPECT_EQ(morph.back()[M_SIZE], kBlocks * 512);
    }
}

TEST_F(VynLogicalDriveOpsTest, ANewMemberMustStartAtTheBiggestFreeExtent)
{
    CachedDrive* ld = mirror();
    // Drive 0:2 is empty: its biggest extent is all but what the drive keeps
    // at its start and the controller at its end.
    ASSERT_LE(adapter_->getReservedInBeginning(), kStart);
    const uint64_t first = kStart;
    const uint64_t room = kDiskBlocks - kStart - adapter_->getReservedInEnd();
    const std::string mismatch = "*** FSA API Error: FsaMorphContainer(): Mismatch in scheduled configuration spec "
                                 "and the current configuration fsaStatus=6 ***";
    const struct {
        const char* name;
        unsigned long device;
        uint64_t start, blocks;
        const char* error;  // null: accepted
    } cases[] = {
        {"at the start", 2, first, kBlocks, nullptr},
        {"the whole extent", 2, first, room, nullptr},
        {"past the start", 2, first + 1, kBlocks, mismatch.c_str()},
        {"larger than the extent", 2, first, room + 1, mismatch.c_str()},
        {"no such drive", 9, first, kBlocks, "*** FSA API Error: FsaMorphContainer() fsaStatus=6 ***"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fsa_->clearCalls();
        clearErrorLog();
        LogicalDriveSpec spec = stripeChange();
        spec.raidLevel = RAID_LEVEL_5;
        spec.addChunk(0, c.device, c.start, c.blocks, 0, static_cast<EnumChunkType>(0));
        if (c.error == nullptr)
            handleOpens();
        const Ret ret = ld->modify(spec);
        if (c.error == nullptr) {
            EXPECT_EQ(ret.getReturn(), 0) << errorLog();
            EXPECT_EQ(fsa_->count("FsaMorphContainer"), 1u);
        } else {
            EXPECT_EQ(ret.getReturn(), -5);
            EXPECT_EQ(ret.getAPIReturn(), 6u);
            EXPECT_EQ(errorCount(c.error), 1u) << errorLog();
            // Nothing is opened or sent for a spec the tree does not match.
            EXPECT_TRUE(fsa_->calls().empty());
        }
    }
}

TEST_F(VynLogicalDriveOpsTest, ASpecWithoutMembersOrWithAnUnknownLevelIsRefused)
{
    CachedDrive* ld = mirror();
    LogicalDriveSpec none(RAID_LEVEL_5, static_cast<EnumStripeSize>(64), "");
    EXPECT_EQ(ld->modify(none).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: no members specified, paramValue=0 ***"), 1u) << errorLog();
    LogicalDriveSpec unknown = stripeChange();
    unknown.raidLevel = static_cast<EnumRaidLevel>(99);
    EXPECT_EQ(ld->modify(unknown).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: invalid RAID level, paramValue=99 ***"), 1u) << errorLog();
    EXPECT_EQ(fsa_->count("FsaOpenAdapter2A"), 0u);
}

TEST_F(VynLogicalDriveOpsTest, AStartedMigrationIsPacedOnEveryContainerTakingPart)
{
    CachedDrive* ld = mirror();
    // The fresh record names morph containers 5 (source) and 6 (copy); the
    // other slots are unused.
    FSA_CONTAINER_INFO_EXTND fresh = containerRecord(0, 1, {0, 1});
    faPutLe32(fresh.bytes + CI_RELATED, 0xFFFFFFFF);
    faPutLe32(fresh.bytes + CI_MORPH_SOURCE, 5);
    faPutLe32(fresh.bytes + CI_MORPH_DESTINATION, 256);
    faPutLe32(fresh.bytes + CI_FURTHER_2, 0xFFFFFFFF);
    faPutLe32(fresh.bytes + CI_FURTHER_1, 6);
    std::vector<uint8_t> reply(fresh.bytes, fresh.bytes + VynLogicalDriveInfo::RECORD_SIZE);
    handleOpens();
    fsa_->script("FsaGetContainerInfo2", 1, reply);
    // A refused delay does not fail the migration.
    fsa_->script("FsaContainer", 1);
    fsa_->script("FsaContainer", 12);
    LogicalDriveSpec spec = stripeChange();
    spec.priority = PRIORITY_MEDIUM;
    EXPECT_EQ(ld->modify(spec).getReturn(), 0) << errorLog();
    const auto calls = containerCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (std::vector<uint64_t>{0, 4, 50}));
    EXPECT_EQ(calls[1], (std::vector<uint64_t>{5, 4, 50}));
    EXPECT_EQ(calls[2], (std::vector<uint64_t>{6, 4, 50}));
    EXPECT_NE(traceLog().find("FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) - MorphSource, fsaStatus=12"),
              std::string::npos)
        << traceLog();
    EXPECT_EQ(errorLog(), "");

    // Without the fresh record no delay is set, and the migration stands.
    fsa_->clearCalls();
    handleOpens();
    fsa_->script("FsaGetContainerInfo2", 15);
    EXPECT_EQ(ld->modify(spec).getReturn(), 0);
    EXPECT_EQ(fsa_->count("FsaContainer"), 0u);
    EXPECT_EQ(errorCount("FsaGetContainerInfo2(), fsaStatus=15"), 1u) << errorLog();
}

TEST_F(VynLogicalDriveOpsTest, TaskPriorityIsTheControllers)
{
    CachedDrive* ld = mirror();
    fsa_->script("FsaGetTaskDetails", 15);
    const Ret ret = ld->setTaskPriority(7, PRIORITY_HIGH);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 15u);
    EXPECT_EQ(fsa_->count("FsaGetTaskDetails"), 1u);
    EXPECT_EQ(fsa_->count("FsaOpenAdapter2A"), 0u);
}

// The commands of the program over the simulated controller: each change is
// the controller's, so the next run of the program sees it.
class LogicalDriveCommandsTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args, const std::string& simulator = "default")
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), simulator, args);
    }
    // The value after the colon of the first line naming `label`.
    static std::string valueOf(const std::string& text, const std::string& label)
    {
        const size_t at = text.find("   " + label + " ");
        if (at == std::string::npos)
            return "";
        const size_t colon = text.find(": ", at);
        return text.substr(colon + 2, text.find('\n', colon) - colon - 2);
    }
    static bool completed(const vyntest::ProgramRun& r)
    {
        return r.exitCode == 0 && r.output.find("Command completed successfully.\n") != std::string::npos;
    }
};

TEST_F(LogicalDriveCommandsTest, ANewNameIsTheControllers)
{
    const vyntest::ProgramRun rename = run({"SETNAME", "1", "LOGICALDRIVE", "0", "NewName"});
    EXPECT_TRUE(completed(rename)) << rename.output << rename.error;
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
    ASSERT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(valueOf(config.output, "Logical device name"), "NewName") << config.output;
}

TEST_F(LogicalDriveCommandsTest, CacheSettingsAreTheControllers)
{
    const vyntest::ProgramRun before = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(valueOf(before.output, "Read-cache mode"), "Disabled") << before.output;
    EXPECT_EQ(valueOf(before.output, "Write-cache setting"), "Disabled");
    const vyntest::ProgramRun read = run({"SETCACHE", "1", "LOGICALDRIVE", "0", "RON"});
    EXPECT_TRUE(completed(read)) << read.output << read.error;
    const vyntest::ProgramRun write = run({"SETCACHE", "1", "LOGICALDRIVE", "0", "WB", "noprompt"});
    EXPECT_TRUE(completed(write)) << write.output << write.error;
    const vyntest::ProgramRun after = run({"GETCONFIG", "1", "LD"});
    EXPECT_EQ(valueOf(after.output, "Read-cache mode"), "Enabled") << after.output;
    EXPECT_EQ(valueOf(after.output, "Write-cache setting"), "Enabled");
}

// A number given twice: the first deletes the logical drive, the second
// finds it gone and says so, as for any number without a logical drive.
TEST_F(LogicalDriveCommandsTest, ANumberGivenTwiceIsDeletedOnceAndThenDoesNotExist)
{
    const vyntest::ProgramRun twice = run({"DELETE", "1", "LOGICALDRIVE", "0", "0", "noprompt"});
    EXPECT_EQ(twice.exitCode, 0) << twice.output << twice.error;
    EXPECT_TRUE(completed(twice)) << twice.output << twice.error;
    const std::string ending = "Deleting: logical device 0 (\"Data\")\nLogical device 0 does not exist.\n\n"
                               "Command completed successfully.\n";
    ASSERT_GE(twice.output.size(), ending.size()) << twice.output;
    EXPECT_EQ(twice.output.substr(twice.output.size() - ending.size()), ending) << twice.output;
    EXPECT_EQ(twice.output.find("maximum number"), std::string::npos) << twice.output;
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
    ASSERT_EQ(config.exitCode, 0) << config.error;
    EXPECT_NE(config.output.find("No logical devices configured"), std::string::npos) << config.output;
}

TEST_F(LogicalDriveCommandsTest, AStripeSizeChangeStartsAReconfiguration)
{
    // The default controller's drive, sized so that its members hold whole
    // stripes of every size.
    const std::string description = root() + "/aligned.conf";
    vyntest::writeFile(description,
                       "base = default\n[adapter0]\nld0 = raid5 0:0,0:1,0:2 stripe=256K size=100G name=Data\n");
    const vyntest::ProgramRun modify =
        run({"MODIFY", "1", "FROM", "0", "TO", "STRIPESIZE", "128", "MAX", "5", "0", "0", "0", "1", "0", "2",
             "noprompt"},
            description);
    EXPECT_TRUE(completed(modify)) << modify.output << modify.error;
    EXPECT_NE(modify.output.find("Reconfiguring logical device: Data\n"), std::string::npos) << modify.output;
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"}, description);
    EXPECT_EQ(valueOf(status.output, "Logical device"), "0") << status.output;
    EXPECT_EQ(valueOf(status.output, "Current operation"), "Reconfiguration") << status.output;
}

TEST_F(LogicalDriveCommandsTest, LogicalDriveTasksReachTheController)
{
    const struct {
        const char* task;
        const char* operation;
    } cases[] = {
        {"VERIFY", "VynBasicLogicalDrive::verify()"},
        {"CLEAR", "VynBasicLogicalDrive::initializeLogicalDrive()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.task);
        vyntest::writeFile(hostFile("/var/log/vyntrace.txt"), "");
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
        const vyntest::ProgramRun task = run({"TASK", "START", "1", "LOGICALDRIVE", "0", c.task, "noprompt"});
        EXPECT_TRUE(completed(task)) << task.output << task.error;
        EXPECT_NE(vyntest::readFile(hostFile("/var/log/vyntrace.txt")).find(c.operation), std::string::npos);
        EXPECT_EQ(vyntest::readFile(hostFile("/var/log/vynerror.txt")).find("***"), std::string::npos)
            << vyntest::readFile(hostFile("/var/log/vynerror.txt"));
        // The task runs on: it is stopped before the next one starts.
        EXPECT_TRUE(completed(run({"TASK", "STOP", "1", "LOGICALDRIVE", "0"})));
    }
}

}  // namespace
