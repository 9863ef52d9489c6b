// Drive initialisation, protection of drive sets and the SSD cache pool, in
// process against the simulator: the boot-record and task checks, the set
// parameters, what the controller's answer writes back into the caller's
// records, and what the controller keeps of each change.
#include "Command/Vyn/common/fa_init.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "OpenSessionTest.h"
#include "SimulatedDriveState.h"
#include "platform/hostsim/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::Fault;

// Drives 0 and 1 carry the controller's boot record; drive 2 is passed
// through (no record of this controller). Slices follow the drive numbers.
// Option word 3 adds protection (0x20), the cache pool (0x40) and the
// dirty-data query (0x8000) to the defaults; the adapter information's word
// 19, which the boot record carries, reads 0x5A17.
constexpr char kController[] = "[adapter0]\n"
                               "option_word3 = 0x83F8\n"
                               "drive0 = 0:0 sas 146G\n"
                               "drive1 = 0:1 sas 146G\n"
                               "drive2 = 0:2 sas 146G jbod=1\n"
                               "[adapter0.fault0]\n"
                               "on = fib 703\n"
                               "poke = 76:4=0x5A17\n"
                               "times = 0\n";
constexpr uint32_t kMbrWord = 0x5A17;

// Container reply data start at payload byte 32: a CT 63 reply's slice type
// (word 5) and a CT 251 reply's count (word 1).
constexpr char kDosSliceType[] = "52:4=3";
constexpr char kPhyDevCount[] = "36:4=";

FSA_STORAGE_DEVICE drive(uint8_t target)
{
    FSA_STORAGE_DEVICE d{};
    d.targetId = target;
    return d;
}

class DriveInitTest : public vyntest::OpenSessionTest {
protected:
    void* open(const std::string& extra = "")
    {
        void* h = start(std::string(kController) + extra);
        // The settle and poll waits pass at once; the clock still counts them.
        sim().setSleepScale(0);
        return h;
    }
    ControllerState& state() { return sim().controller(0); }
    std::vector<ControllerState::CtCapture> captured(uint32_t code)
    {
        std::vector<ControllerState::CtCapture> out;
        for (const auto& k : state().captured)
            if (k.code == code)
                out.push_back(k);
        return out;
    }
    // The entries of the last physical-device operation sent: its code first.
    std::vector<uint32_t> lastPhyDevRequest()
    {
        const std::vector<ControllerState::CtCapture> all = captured(251);
        if (all.empty())
            return {};
        const std::vector<uint8_t>& in = all.back().input;
        std::vector<uint32_t> out{in.at(1)};
        const uint32_t n = vyn::hostsim::getLe32(in.data() + 4);
        for (uint32_t i = 0; i < n; ++i)
            out.push_back(vyn::hostsim::getLe32(in.data() + 8 + 4 * i));
        return out;
    }
    std::string drivePair(unsigned n, const std::string& name) { return vyntest::drivePairOf(sim(), n, name); }
    void fault(const std::string& on, const std::string& effect) { ASSERT_TRUE(sim().addFault(0, Fault{on, effect})); }
    // The positions of CT `ct` among the container commands sent.
    std::vector<size_t> positionsOf(uint32_t ct)
    {
        std::vector<size_t> out;
        size_t i = 0;
        for (const vyn::hostsim::Request& r : sim().requests()) {
            if (!r.isFib || r.command != 500 || !r.hasClass || r.fibClass != 2)
                continue;
            if (r.ct == ct)
                out.push_back(i);
            ++i;
        }
        return out;
    }
};

TEST_F(DriveInitTest, OneDriveIsCheckedForABootRecordUnlessForcedOrWaitedFor)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    struct Case {
        const char* name;
        uint8_t target;
        uint32_t force, wait;
        const char* faultOn;
        std::string effect;
        FSA_STATUS status;
    };
    // In order: the passed-through drive is initialised by its last case.
    const Case cases[] = {
        {"the controller's record, no force", 0, 0, 0, nullptr, "", 20},
        {"the controller's record, forced", 0, 1, 0, nullptr, "", 1},
        {"waiting reads the record and leaves it unchecked", 0, 0, 1, nullptr, "", 1},
        {"unreadable record", 1, 1, 0, "ct 15", "status = 0", 12},
        {"unreadable record while waiting", 1, 1, 1, "ct 15", "status = 0", 1},
        {"a DOS partition, no force", 2, 0, 0, "ct 63", std::string("poke = ") + kDosSliceType, 20},
        {"a drive without a record", 2, 0, 0, nullptr, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state().captured.clear();
        // A fault the case did not meet does not reach the next one.
        state().faults.clear();
        sim().clearRequests();
        if (c.faultOn != nullptr)
            fault(c.faultOn, c.effect);
        const FSA_STORAGE_DEVICE d = drive(c.target);
        EXPECT_EQ(FsaInitStorageDeviceForFsa(h, c.force, &d, c.wait), c.status);
        // The boot record is read, waiting or not.
        const std::vector<size_t> mbrReads = positionsOf(15);
        ASSERT_FALSE(mbrReads.empty());
        const std::vector<ControllerState::CtCapture> mbr = captured(6);
        if (c.status != 1) {
            EXPECT_TRUE(mbr.empty());
            EXPECT_EQ(sent(500, 34), 0u);
            continue;
        }
        ASSERT_EQ(mbr.size(), 1u);
        EXPECT_LT(mbrReads[0], positionsOf(6).at(0));
        EXPECT_EQ(mbr[0].param[0], c.target);
        EXPECT_EQ(mbr[0].param[2], kMbrWord);
        // The configuration is re-read after the record is written.
        ASSERT_EQ(positionsOf(34).size(), 1u);
        EXPECT_LT(positionsOf(6).at(0), positionsOf(34).at(0));
    }
    // The record makes the passed-through drive one for containers.
    EXPECT_EQ(drivePair(2, "jbod"), "");
    const FSA_STORAGE_DEVICE none = drive(9);
    EXPECT_EQ(FsaInitStorageDeviceForFsa(h, 1, &none, 0), 12u);
    EXPECT_EQ(FsaInitStorageDeviceForFsa(h, 1, nullptr, 0), FSA_STS_BAD_PARAMETER);
}

// Each drive has a running task of its own; request 104 ends it, and the
// state in its reply (poked) decides whether the end can be waited for.
TEST_F(DriveInitTest, TheStateOfAnEndedTaskDecidesTheWait)
{
    std::string tasks;
    for (unsigned t = 0; t < 8; ++t) {
        const std::string n = std::to_string(t);
        if (t > 2)
            tasks += "[adapter0]\ndrive" + n + " = 0:" + n + " sas 146G\n";
        tasks += "[adapter0.task" + std::to_string(t + 1) + "]\njob = 3\nobject = " + n + "\ntotal = 1000000\n";
    }
    void* h = open(tasks);
    ASSERT_NE(h, nullptr);
    struct Case {
        uint8_t target;
        uint32_t wait;
        int replyState;  // -1: as the controller answers
        FSA_STATUS status;
    };
    const Case cases[] = {
        {0, 1, 0, 6}, {1, 1, 2, 6}, {2, 1, 3, 6}, {3, 1, 8, 6},
        {4, 1, 1, 1}, {5, 1, 4, 1}, {6, 1, 7, 1},
        // without waiting, a running task refuses the drive as it is
        {7, 0, -1, 145},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target));
        state().captured.clear();
        sim().clearRequests();
        if (c.replyState >= 0)
            fault("aif 104", "poke = 4:4=" + std::to_string(c.replyState));
        const uint64_t before = sim().clockMs();
        const FSA_STORAGE_DEVICE d = drive(c.target);
        EXPECT_EQ(FsaInitStorageDeviceForFsa(h, 1, &d, c.wait), c.status);
        if (c.status == 1) {
            // Ended, waited for, then 2 s of settling before the record.
            EXPECT_GE(sim().clockMs() - before, 2000u);
            EXPECT_EQ(captured(6).size(), 1u);
            EXPECT_EQ(state().tasks.at(c.target + 1u).status, 1u);
            continue;
        }
        EXPECT_TRUE(captured(6).empty());
        // The task list, and for a refused state the one ending request:
        // nothing was waited for.
        EXPECT_EQ(sent(700), c.wait != 0 ? 2u : 1u);
    }
    EXPECT_EQ(state().tasks.at(8).status, 102u);
}

TEST_F(DriveInitTest, SetsAreCheckedBeforeAnythingIsSent)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    std::vector<FSA_STORAGE_DEVICE> many(257, drive(0));
    FSA_STORAGE_DEVICE one = drive(0);
    FSA_STORAGE_DEVICE* manyArray = many.data();
    FSA_STORAGE_DEVICE* oneArray = &one;
    FSA_STORAGE_DEVICE* noArray = nullptr;
    struct Case {
        const char* name;
        FSA_STORAGE_DEVICE** drives;
        uint32_t count;
        bool nullCount;
        uint32_t all;
    };
    const Case cases[] = {
        {"no drives", &oneArray, 0, false, 0},
        {"257 drives", &manyArray, 257, false, 0},
        {"no count", &oneArray, 1, true, 0},
        {"no array", &noArray, 1, false, 0},
        {"no array pointer", nullptr, 1, false, 0},
        {"all devices, whatever the list", &oneArray, 1, false, 1},
    };
    using Call = std::function<FSA_STATUS(FSA_STORAGE_DEVICE**, uint32_t*, uint32_t)>;
    const std::pair<const char*, Call> operations[] = {
        {"initialise", [&](FSA_STORAGE_DEVICE** d, uint32_t* n, uint32_t all) {
             return FsaInitStorageDeviceSetForFsa(h, 1, 0, d, n, all);
         }},
        {"protect", [&](FSA_STORAGE_DEVICE** d, uint32_t* n, uint32_t all) {
             return FsaProtectStorageDeviceSet(h, d, n, all, 1);
         }},
        // the pool takes no all-devices flag
        {"cache pool", [&](FSA_STORAGE_DEVICE** d, uint32_t* n, uint32_t) {
             return FsaStorageDeviceSetCachePool(h, d, n, 1);
         }},
    };
    for (const auto& [operation, call] : operations) {
        for (const Case& c : cases) {
            if (c.all != 0 && std::string(operation) == "cache pool")
                continue;
            SCOPED_TRACE(std::string(operation) + ": " + c.name);
            sim().clearRequests();
            uint32_t count = c.count;
            EXPECT_EQ(call(c.drives, c.nullCount ? nullptr : &count, c.all), FSA_STS_BAD_PARAMETER);
            EXPECT_EQ(count, c.count);
            EXPECT_EQ(sent(500, 251) + sent(500, 254), 0u);
        }
    }
    // 256 drives are a set (each is one drive here, so the set goes out).
    uint32_t count = 256;
    EXPECT_EQ(FsaProtectStorageDeviceSet(h, &manyArray, &count, 0, 1), 1u);
    EXPECT_EQ(lastPhyDevRequest().size(), 257u);
}

TEST_F(DriveInitTest, WithoutTheirOptionBitsTheOperationsAnswerNotSupported)
{
    // Option word 2 without bit 10; option word 3 as the controller defaults.
    void* h = start("[adapter0]\noption_word2 = 0x0EB793DC\ndrive0 = 0:0 sas 146G\n");
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    FSA_STORAGE_DEVICE d = drive(0);
    FSA_STORAGE_DEVICE* drives = &d;
    uint32_t count = 1;
    const std::pair<const char*, std::function<FSA_STATUS()>> cases[] = {
        {"initialise a set", [&] { return FsaInitStorageDeviceSetForFsa(h, 1, 1, &drives, &count, 0); }},
        {"protect", [&] { return FsaProtectStorageDeviceSet(h, &drives, &count, 0, 1); }},
        {"cache pool", [&] { return FsaStorageDeviceSetCachePool(h, &drives, &count, 1); }},
        {"clear the pool", [&] { return FsaClearOrvexaPool(h); }},
        {"dirty data", [&] { return FsaHasDirtyData(h); }},
        // the container command itself tests its bit as well
        {"CT_HasDirtyData", [&] { return CT_HasDirtyData(ctx); }},
    };
    for (const auto& [name, call] : cases) {
        SCOPED_TRACE(name);
        sim().clearRequests();
        EXPECT_EQ(call(), FSA_STS_NOT_SUPPORTED);
        EXPECT_TRUE(sim().requests().empty());
    }
}

TEST_F(DriveInitTest, ASetTakesBackWhatTheControllerAnswers)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    // Without force and without waiting, a drive carrying the record stops
    // the set before anything is sent.
    std::vector<FSA_STORAGE_DEVICE> set = {drive(2), drive(0)};
    FSA_STORAGE_DEVICE* drives = set.data();
    uint32_t count = 2;
    EXPECT_EQ(FsaInitStorageDeviceSetForFsa(h, 0, 0, &drives, &count, 0), 20u);
    EXPECT_EQ(sent(500, 251), 0u);
    EXPECT_EQ(drivePair(2, "jbod"), "1");

    // Every drive handled: the controller answers no slice, the count
    // becomes 0 and the records stay.
    for (FSA_STORAGE_DEVICE& d : set)
        d.storageDeviceType = 0x77;
    EXPECT_EQ(FsaInitStorageDeviceSetForFsa(h, 1, 0, &drives, &count, 0), 1u);
    EXPECT_EQ(lastPhyDevRequest(), (std::vector<uint32_t>{0, 2, 0}));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(set[0].targetId, 2);
    EXPECT_EQ(set[0].storageDeviceType, 0x77u);
    EXPECT_EQ(drivePair(2, "jbod"), "");

    // The controller answers one slice it could not handle (slice 0, drive
    // 0's): the count is what it reports, the caller's first record becomes
    // that drive, later records stay.
    set = {drive(1), drive(2)};
    drives = set.data();
    count = 2;
    for (FSA_STORAGE_DEVICE& d : set)
        d.storageDeviceType = 0x77;
    fault("ct 251", std::string("poke = ") + kPhyDevCount + "1");
    EXPECT_EQ(FsaInitStorageDeviceSetForFsa(h, 1, 1, &drives, &count, 0), 1u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(set[0].targetId, 0);
    EXPECT_NE(set[0].storageDeviceType, 0x77u);
    EXPECT_EQ(set[1].storageDeviceType, 0x77u);

    // A drive without a slice cannot be initialised as a set member.
    set = {drive(0), drive(9)};
    drives = set.data();
    count = 2;
    sim().clearRequests();
    EXPECT_EQ(FsaInitStorageDeviceSetForFsa(h, 1, 1, &drives, &count, 0), 12u);
    EXPECT_EQ(sent(500, 251), 0u);
}

TEST_F(DriveInitTest, ProtectionIsKeptPerDrive)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    std::vector<FSA_STORAGE_DEVICE> set = {drive(1), drive(0)};
    FSA_STORAGE_DEVICE* drives = set.data();
    uint32_t count = 2;
    EXPECT_EQ(FsaProtectStorageDeviceSet(h, &drives, &count, 0, 1), 1u);
    EXPECT_EQ(lastPhyDevRequest(), (std::vector<uint32_t>{1, 1, 0}));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(drivePair(0, "protected"), "1");
    EXPECT_EQ(drivePair(1, "protected"), "1");

    count = 1;
    EXPECT_EQ(FsaProtectStorageDeviceSet(h, &drives, &count, 0, 0), 1u);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(lastPhyDevRequest(), (std::vector<uint32_t>{2, 1}));
    EXPECT_EQ(drivePair(1, "protected"), "");
    EXPECT_EQ(drivePair(0, "protected"), "1");
    // No task is ended and no boot record read for protection.
    EXPECT_EQ(sent(700), 0u);
    EXPECT_EQ(sent(500, 15), 0u);

    // A controller failure is the result.
    count = 1;
    fault("ct 251", "status = 226");
    EXPECT_EQ(FsaProtectStorageDeviceSet(h, &drives, &count, 0, 1), FSA_STS_GENERAL_FAILURE);
}

TEST_F(DriveInitTest, ChangesToDrivesReachTheNextProcess)
{
    const std::string description = std::string("adapters = 1\n") + kController;
    startSimulator(description);
    sim().setSleepScale(0);
    void* h = openAgain(FSA_ACC_READ_WRITE);
    ASSERT_NE(h, nullptr);
    FSA_STORAGE_DEVICE passedThrough = drive(2);
    FSA_STORAGE_DEVICE* drives = &passedThrough;
    uint32_t count = 1;
    ASSERT_EQ(FsaInitStorageDeviceSetForFsa(h, 1, 1, &drives, &count, 0), 1u);
    FSA_STORAGE_DEVICE one = drive(1);
    drives = &one;
    count = 1;
    ASSERT_EQ(FsaProtectStorageDeviceSet(h, &drives, &count, 0, 1), 1u);

    vyn::hostsim::Simulator next(description);
    EXPECT_EQ(vyntest::drivePairOf(next, 2, "jbod"), "");
    EXPECT_EQ(vyntest::drivePairOf(next, 1, "protected"), "1");
    EXPECT_EQ(vyntest::drivePairOf(next, 0, "protected"), "");
}

TEST_F(DriveInitTest, CachePoolTakesTheSlicesOfItsDrives)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    std::vector<FSA_STORAGE_DEVICE> set = {drive(2), drive(1)};
    set[0].storageDeviceType = 0x77;
    const std::vector<FSA_STORAGE_DEVICE> given = set;
    FSA_STORAGE_DEVICE* drives = set.data();
    uint32_t count = 2;
    EXPECT_EQ(FsaStorageDeviceSetCachePool(h, &drives, &count, 1), 1u);
    EXPECT_EQ(state().cachePool, (std::vector<uint32_t>{2, 1}));
    // The pool answers no list: count and records stay as given.
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(std::memcmp(set.data(), given.data(), sizeof(FSA_STORAGE_DEVICE) * set.size()), 0);

    count = 1;
    EXPECT_EQ(FsaStorageDeviceSetCachePool(h, &drives, &count, 0), 1u);
    EXPECT_EQ(state().cachePool, (std::vector<uint32_t>{1}));
    EXPECT_EQ(FsaClearOrvexaPool(h), 1u);
    EXPECT_TRUE(state().cachePool.empty());

    EXPECT_EQ(FsaHasDirtyData(h), 1u);
    fault("ct 254", "status = 428");
    EXPECT_EQ(FsaHasDirtyData(h), 639u);
    fault("ct 254", "status = 420");
    count = 1;
    EXPECT_EQ(FsaStorageDeviceSetCachePool(h, &drives, &count, 1), 628u);
}

TEST_F(DriveInitTest, OnlyAnInitialisationWithoutWaitingRemovesTheDrivesContainers)
{
    void* h = open("[adapter0]\nld0 = volume 0:1\n");
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE member = drive(1);
    EXPECT_EQ(FsaInitStorageDeviceForFsa(h, 1, &member, 1), 1u);
    EXPECT_EQ(sent(500, 17), 0u);
    EXPECT_EQ(state().objects.count("ld0"), 1u);
    EXPECT_EQ(FsaInitStorageDeviceForFsa(h, 1, &member, 0), 1u);
    EXPECT_EQ(sent(500, 17), 1u);
    EXPECT_EQ(state().objects.count("ld0"), 0u);
}

}  // namespace
