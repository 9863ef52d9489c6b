// The controller's background tasks (progress, pace, stop) and its one-shot
// operations (I/O pause, failover, reset, alarm, battery, drive write cache,
// cache-pool dirty data): the words each sends on the scripted exports, the
// refusals and errors, the same on the simulated controller, and the
// command-line program over it.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"
#include "RaidModel/Interface/Channel.h"
#include "ScriptedFsaExports.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "platform/hostsim/Simulator.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kLastContainer = 63;

// A task descriptor: id, function, the drive (bus, target, LUN) and the
// container reference's two words (the object, the container number).
std::vector<uint8_t> descriptor(uint32_t id, uint32_t function, uint32_t object, uint32_t container = kNone,
                                uint8_t bus = 0, uint8_t target = 0, uint8_t lun = 0)
{
    std::vector<uint8_t> d(36, 0);
    faPutLe32(d.data(), id);
    faPutLe32(d.data() + 4, function);
    d[12] = bus;
    d[13] = target;
    d[14] = lun;
    faPutLe32(d.data() + 20, object);
    faPutLe32(d.data() + 24, container);
    return d;
}

// A task list reply: the count, then the descriptors.
std::vector<uint8_t> taskList(const std::vector<std::vector<uint8_t>>& descriptors)
{
    std::vector<uint8_t> reply = words({static_cast<uint32_t>(descriptors.size())});
    for (const auto& d : descriptors)
        reply.insert(reply.end(), d.begin(), d.end());
    return reply;
}

// A task details record: the descriptor, then state, progress in tenths
// and further information.
std::vector<uint8_t> details(uint32_t function, uint32_t state, uint32_t tenths, uint32_t explanation = 0,
                             uint32_t container = kNone)
{
    std::vector<uint8_t> d = descriptor(0, function, container, container);
    d.resize(56, 0);
    faPutLe32(d.data() + 36, state);
    faPutLe32(d.data() + 40, tenths);
    faPutLe32(d.data() + 48, explanation);
    return d;
}

// A container record: number, unique id, the task delay and the containers
// a reconfiguration or an enclosing container names (unused: all ones).
std::vector<uint8_t> containerInfo(uint32_t number, uint32_t delay = 0,
                                   std::vector<std::pair<size_t, uint32_t>> named = {})
{
    std::vector<uint8_t> r(FSA_CONTAINER_INFO_EXTND_MAX, 0);
    faPutLe32(r.data(), number);
    faPutLe32(r.data() + 4, 0x5A000000 + number);
    faPutLe32(r.data() + CI_TASK_PRIORITY, delay);
    for (size_t at : {CI_RELATED, CI_MORPH_SOURCE, CI_MORPH_DESTINATION, CI_FURTHER_1, CI_FURTHER_2,
                      CI_SNAPSHOT_RELATION})
        faPutLe32(r.data() + at, kNone);
    for (const auto& [at, n] : named)
        faPutLe32(r.data() + at, n);
    return r;
}

// Reaches what the model keeps of the controller for the operations.
class ProbeAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    bool rescanPending() const { return asyncRescanActive; }
    void setRecordedAlarm(EnumAlarmState state) { alarmState = state; }
};

class VynAdapterTasksTest : public vyntest::FamilyTest {
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
        FSA_GENERAL_INFO2 info = *adapter->getFsaInfo();
        faPutLe32(info.bytes + GI_MAX_CONTAINER_NUMBER, kLastContainer);
        adapter->setFsaGeneralInfo(&info);
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

    // A logical drive of the family with id `id` over container `number`
    // whose record holds the task delay `delay`.
    VynBasicLogicalDrive* addLogicalDrive(unsigned id, uint32_t number, uint32_t delay = 0)
    {
        const std::vector<uint8_t> bytes = containerInfo(number, delay);
        FSA_CONTAINER_INFO_EXTND record;
        std::memcpy(record.bytes, bytes.data(), sizeof record.bytes);
        auto* info = new VynLogicalDriveInfo(&record, nullptr, nullptr);
        adapter->addLogicalInfo(info);
        auto* drive = new VynBasicLogicalDrive(info, adapter.get(), id, RAID_LEVEL_5, 0, 0, LD_OPTIMAL, false);
        adapter->addChild(drive);
        return drive;
    }

    std::vector<uint64_t> containersGivenTheDelay() const
    {
        std::vector<uint64_t> out;
        for (const auto& args : fsa->arguments("FsaContainer"))
            out.push_back(args[0]);
        return out;
    }

    std::unique_ptr<ScriptedFsaExports> construction;
    std::unique_ptr<ScriptedFsaExports> fsa;
    vyntest::TreePtr<ProbeAdapter> adapter;
    Channel* channel = nullptr;
};

// ---- the free task functions ----

TEST(VynTaskFunctionsTest, TaskFunctionsGiveTheModelsTaskTypesAndSomeTakeAPace)
{
    struct Row {
        uint32_t function;
        EnumTaskType type;
        bool paced;
    };
    const Row rows[] = {
        {0, TASK_TYPE_CLEAR, false},          {1, TASK_TYPE_VERIFY, false},
        {2, TASK_TYPE_NONE, false},           {3, TASK_TYPE_CLEAR, true},
        {4, TASK_TYPE_NONE, true},            {5, TASK_TYPE_REBUILD, true},
        {6, TASK_TYPE_NONE, false},           {7, TASK_TYPE_BUILD_VERIFY, true},
        {8, TASK_TYPE_REBUILD, true},         {9, TASK_TYPE_BUILD_VERIFY, true},
        {10, TASK_TYPE_NONE, false},          {11, TASK_TYPE_NONE, false},
        {12, TASK_TYPE_VERIFY_WITH_FIX, false}, {13, TASK_TYPE_NONE, false},
        {14, TASK_TYPE_RECONFIGURATION, true}, {15, TASK_TYPE_FORMAT, true},
        {16, TASK_TYPE_FORMAT, true},         {17, TASK_TYPE_REBUILD, true},
        {18, TASK_TYPE_NONE, true},           {19, TASK_TYPE_NONE, false},
        {20, TASK_TYPE_NONE, false},          {21, TASK_TYPE_FORMAT, true},
        {22, TASK_TYPE_COPYBACK, true},       {23, TASK_TYPE_COMPACTING, true},
        {24, TASK_TYPE_EXPANDING, true},      {25, TASK_TYPE_REBUILD, true},
        {26, TASK_TYPE_BUILD_VERIFY, true},   {27, TASK_TYPE_BACKUP_SNAPSHOT, true},
        {28, TASK_TYPE_SECURE_ERASE, false},  {29, TASK_TYPE_FLUSH, true},
        {30, TASK_TYPE_NONE, false},          {0xFFFFFFFF, TASK_TYPE_NONE, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.function);
        FSA_TASK_DESCRIPTOR d = {};
        d.function = row.function;
        EXPECT_EQ(VynGetTaskType(&d), row.type);
        EXPECT_EQ(taskSupportsSettingItsPriority(static_cast<FSA_TASK_FUNCTION>(row.function)), row.paced);
    }
    EXPECT_EQ(VynGetTaskType(nullptr), TASK_TYPE_NONE);
}

TEST(VynTaskFunctionsTest, TheDelayOfTheRecordGivesThePriority)
{
    const std::pair<uint32_t, EnumPriorityLevel> rows[] = {
        {0, PRIORITY_HIGH},   {29, PRIORITY_HIGH}, {30, PRIORITY_MEDIUM},
        {79, PRIORITY_MEDIUM}, {80, PRIORITY_LOW},  {100, PRIORITY_LOW},
    };
    for (const auto& [delay, priority] : rows) {
        const std::vector<uint8_t> bytes = containerInfo(1, delay);
        FSA_CONTAINER_INFO_EXTND record;
        std::memcpy(record.bytes, bytes.data(), sizeof record.bytes);
        VynLogicalDriveInfo info(&record, nullptr, nullptr);
        EXPECT_EQ(VynGetTaskPriority(&info), priority) << delay;
    }
}

TEST_F(VynAdapterTasksTest, TaskDetailsGiveStateAndKeepTheLeastAdvancedTask)
{
    const std::pair<uint32_t, EnumTaskState> states[] = {
        {0, TASK_STATE_IN_PROGRESS}, {1, TASK_STATE_PAUSED},    {2, TASK_STATE_COMPLETE},
        {3, TASK_STATE_FAILED},      {4, TASK_STATE_ABORTED},   {5, TASK_STATE_NONE},
        {6, TASK_STATE_PREEMPTED},   {7, TASK_STATE_PENDING},   {8, TASK_STATE_NONE},
    };
    for (const auto& [firmware, state] : states) {
        Progress p;
        Ret ret(0);
        fsa->script("FsaGetTaskDetails", 1, details(1, firmware, 0));
        VynGetTaskDetails(nullptr, p, ret);
        EXPECT_EQ(p.getStatus(), state) << firmware;
        EXPECT_EQ(ret, Ret(0));
    }

    // Tenths of a percent, cut; a second task only replaces a more advanced
    // first one (or one at 0), with its explanation.
    struct Step {
        uint32_t tenths;
        uint32_t explanation;
        unsigned long percent;
        unsigned long keptExplanation;
    };
    const Step steps[] = {{0, 1, 0, 1}, {459, 3, 45, 3}, {700, 8, 45, 3}, {99, 9, 9, 9}, {91, 4, 9, 9}};
    Progress p;
    for (const Step& s : steps) {
        Ret ret(0);
        fsa->script("FsaGetTaskDetails", 1, details(1, 0, s.tenths, s.explanation));
        VynGetTaskDetails(nullptr, p, ret);
        EXPECT_EQ(p.getPercent(), s.percent) << s.tenths;
        EXPECT_EQ(p.getExplanation(), s.keptExplanation) << s.tenths;
    }

    // A build/verify whose explanation has bit value 2 only verifies.
    for (const uint32_t explanation : {2u, 1u}) {
        Progress q;
        q.setType(TASK_TYPE_BUILD_VERIFY);
        Ret ret(0);
        fsa->script("FsaGetTaskDetails", 1, details(7, 0, 10, explanation));
        VynGetTaskDetails(nullptr, q, ret);
        EXPECT_EQ(q.getType(), explanation == 2 ? TASK_TYPE_VERIFY : TASK_TYPE_BUILD_VERIFY);
    }

    Progress failed;
    Ret ret(0);
    fsa->script("FsaGetTaskDetails", 100);
    VynGetTaskDetails(nullptr, failed, ret);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 100u);
    EXPECT_EQ(failed.getStatus(), TASK_STATE_NONE);
    EXPECT_EQ(errorCount("*** FSA API Error: VynGetTaskDetails(): FsaGetTaskDetails(x,x,x) fsaStatus=100 ***"), 1u);
}

TEST_F(VynAdapterTasksTest, ALogicalDrivesProgressAsksOnceMoreForAllItsTasks)
{
    VynBasicLogicalDrive* drive = addLogicalDrive(2, 2, 50);
    // One descriptor's room is too small: the count comes back, the list is
    // asked once more with room for all and the first task is the drive's.
    fsa->script("FsaGetTaskList", 5, words({3}));
    fsa->script("FsaGetTaskList", 1, taskList({descriptor(41, 26, 2, 2), descriptor(42, 1, 2, 2),
                                               descriptor(43, 1, 2, 2)}));
    fsa->script("FsaGetTaskDetails", 1, details(26, 0, 333));
    Progress p;
    Ret ret(0);
    VynGetLogicalDriveProgress(nullptr, drive->getLogicalDriveInfo(), p, ret);
    EXPECT_EQ(ret, Ret(0));
    EXPECT_EQ(fsa->count("FsaGetTaskList"), 2u);
    EXPECT_EQ(p.getTaskID(), 41u);
    EXPECT_EQ(p.getType(), TASK_TYPE_BUILD_VERIFY);
    EXPECT_EQ(p.getPriority(), PRIORITY_MEDIUM);
    EXPECT_EQ(p.getPercent(), 33u);

    // A list that fails leaves the record and says why.
    fsa->script("FsaGetTaskList", 301, words({7}));
    Progress untouched;
    Ret failed(0);
    VynGetLogicalDriveProgress(nullptr, drive->getLogicalDriveInfo(), untouched, failed);
    EXPECT_EQ(failed.getAPIReturn(), 301u);
    EXPECT_EQ(failed.getUnsignedReturn(), 7u);
    EXPECT_EQ(untouched, Progress());
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetTaskList() fsaStatus=301 ***"), 1u);
}

// ---- the controller's task list ----

TEST_F(VynAdapterTasksTest, NoTaskGivesAnEmptyListAndACleanResult)
{
    fsa->scriptAlways("FsaGetTaskList", 1, words({0}));
    ProgressCollection all;
    EXPECT_EQ(adapter->getProgress(all), Ret(0));
    EXPECT_EQ(all.getSize(), 0u);
    Progress first;
    EXPECT_EQ(adapter->getProgress(first), Ret(0));
    EXPECT_EQ(first, Progress());
    EXPECT_EQ(fsa->count("FsaGetTaskDetails"), 0u);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(VynAdapterTasksTest, EachTaskIsReportedOnItsLogicalDriveOrItsDrive)
{
    addLogicalDrive(2, 2, 60);
    addLogicalDrive(3, 3, 90);
    const auto tasks = taskList({
        descriptor(11, 9, 2, 2),                     // build/verify of logical drive 2
        descriptor(12, 1, kNone, kNone, 1, 5, 2),    // verify of the drive at 1, target 5, LUN 2
        descriptor(13, 20, 3, 3),                    // a task the model has no type for
        descriptor(14, 5, kLastContainer + 1, kNone, 0, 9, 0),  // just above the last container
        descriptor(15, 28, kLastContainer, kLastContainer),     // no drive object there
    });
    fsa->script("FsaGetTaskList", 1, words({5}));
    fsa->script("FsaGetTaskList", 1, tasks);
    fsa->script("FsaGetTaskDetails", 1, details(9, 0, 125));
    fsa->script("FsaGetTaskDetails", 1, details(1, 1, 900));
    fsa->script("FsaGetTaskDetails", 1, details(20, 0, 10));
    fsa->script("FsaGetTaskDetails", 1, details(5, 7, 0));
    fsa->script("FsaGetTaskDetails", 1, details(28, 0, 990));
    ProgressCollection all;
    EXPECT_EQ(adapter->getProgress(all), Ret(0));
    ASSERT_EQ(all.getSize(), 4u);

    const Progress& onDrive = *all.getProgress(0);
    EXPECT_EQ(onDrive.getTaskID(), 11u);
    EXPECT_EQ(onDrive.getType(), TASK_TYPE_BUILD_VERIFY);
    EXPECT_EQ(onDrive.getStatus(), TASK_STATE_IN_PROGRESS);
    EXPECT_EQ(onDrive.getPercent(), 12u);
    EXPECT_EQ(onDrive.getPriority(), PRIORITY_MEDIUM);
    EXPECT_EQ(onDrive.getLogicalDrive(), 2u);
    EXPECT_EQ(onDrive.getDeviceAddr()->getChannelID(), Addr::UNSET_ID);

    const Progress& onDevice = *all.getProgress(1);
    EXPECT_EQ(onDevice.getTaskID(), 12u);
    EXPECT_EQ(onDevice.getType(), TASK_TYPE_VERIFY);
    EXPECT_EQ(onDevice.getStatus(), TASK_STATE_PAUSED);
    EXPECT_EQ(onDevice.getPercent(), 90u);
    EXPECT_EQ(onDevice.getPriority(), PRIORITY_HIGH);
    EXPECT_EQ(onDevice.getLogicalDrive(), Addr::UNSET_ID);
    EXPECT_EQ(onDevice.getDeviceAddr()->getLogicalDriveID(), Addr::UNSET_ID);
    EXPECT_EQ(onDevice.getDeviceAddr()->getChannelID(), 1u);
    EXPECT_EQ(onDevice.getDeviceAddr()->getDeviceID(), (2u << 16) | 5u);
    EXPECT_EQ(onDevice.getDeviceAddr()->getAdapterID(), adapter->getAdapterID());

    const Progress& aboveLast = *all.getProgress(2);
    EXPECT_EQ(aboveLast.getTaskID(), 14u);
    EXPECT_EQ(aboveLast.getStatus(), TASK_STATE_PENDING);
    EXPECT_EQ(aboveLast.getDeviceAddr()->getDeviceID(), 9u);
    EXPECT_EQ(aboveLast.getLogicalDrive(), Addr::UNSET_ID);

    // A logical-drive number without a drive of the family keeps high.
    const Progress& noObject = *all.getProgress(3);
    EXPECT_EQ(noObject.getTaskID(), 15u);
    EXPECT_EQ(noObject.getLogicalDrive(), kLastContainer);
    EXPECT_EQ(noObject.getPriority(), PRIORITY_HIGH);
    EXPECT_EQ(noObject.getPercent(), 99u);

    // The single form answers the first.
    fsa->script("FsaGetTaskList", 1, words({5}));
    fsa->script("FsaGetTaskList", 1, tasks);
    fsa->script("FsaGetTaskDetails", 1, details(9, 0, 125));
    Progress first;
    adapter->getProgress(first);
    EXPECT_EQ(first.getTaskID(), 11u);
    EXPECT_EQ(first.getLogicalDrive(), 2u);
}

TEST_F(VynAdapterTasksTest, AFailedTaskListSaysWhichCallAndTheCount)
{
    struct Row {
        FSA_STATUS first;
        FSA_STATUS second;
        std::string line;
    };
    const Row rows[] = {
        {9, 1, "*** FSA API Error: FsaGetTaskList()#1 fsaStatus=9 ***"},
        {1, 5, "*** FSA API Error: FsaGetTaskList()#2 fsaStatus=5 ***"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        freshExports();
        fsa->script("FsaGetTaskList", row.first, words({4}));
        fsa->script("FsaGetTaskList", row.second, taskList({descriptor(1, 1, kNone)}));
        ProgressCollection all;
        const Ret ret = adapter->getProgress(all);
        EXPECT_EQ(ret.getReturn(), -5);
        EXPECT_EQ(ret.getAPIReturn(), row.first == 1 ? row.second : row.first);
        EXPECT_EQ(ret.getUnsignedReturn(), row.first == 1 ? 1u : 4u);
        EXPECT_EQ(all.getSize(), 0u);
        EXPECT_EQ(errorCount(row.line), 1u);

        // The single form reports the failure and leaves its record.
        fsa->script("FsaGetTaskList", row.first, words({4}));
        fsa->script("FsaGetTaskList", row.second, taskList({descriptor(1, 1, kNone)}));
        Progress first;
        EXPECT_EQ(adapter->getProgress(first).getReturn(), -5);
        EXPECT_EQ(first, Progress());
        EXPECT_EQ(fsa->count("FsaGetTaskDetails"), 0u);
    }
}

TEST_F(VynAdapterTasksTest, ATaskWhoseDetailsCannotBeReadKeepsNothingOfThePreviousOne)
{
    // One record serves every task of the list: the second task's failed
    // details read must not leave it with the first task's state.
    fsa->script("FsaGetTaskList", 1, words({2}));
    fsa->script("FsaGetTaskList", 1,
                taskList({descriptor(1, 1, kNone, kNone, 0, 2), descriptor(2, 1, kNone, kNone, 0, 3)}));
    fsa->script("FsaGetTaskDetails", 1, details(1, 1, 500, 6));
    fsa->script("FsaGetTaskDetails", 100);
    ProgressCollection all;
    const Ret ret = adapter->getProgress(all);
    EXPECT_EQ(ret.getAPIReturn(), 100u);
    ASSERT_EQ(all.getSize(), 2u);
    EXPECT_EQ(all.getProgress(0)->getStatus(), TASK_STATE_PAUSED);
    EXPECT_EQ(all.getProgress(0)->getPercent(), 50u);
    EXPECT_EQ(all.getProgress(1)->getTaskID(), 2u);
    EXPECT_EQ(all.getProgress(1)->getStatus(), TASK_STATE_NONE);
    EXPECT_EQ(all.getProgress(1)->getPercent(), 0u);
    EXPECT_EQ(all.getProgress(1)->getExplanation(), 0u);
    EXPECT_EQ(errorCount("*** FSA API Error: VynGetTaskDetails(): FsaGetTaskDetails(x,x,x) fsaStatus=100 ***"), 1u);
}

TEST_F(VynAdapterTasksTest, AFirmwareCountBeyondWhatAControllerRunsIsNotTrusted)
{
    // More tasks announced than are allocated: the list asked with the room
    // there is reports that many at most.
    fsa->script("FsaGetTaskList", 1, words({0xFFFFFFFF}));
    fsa->script("FsaGetTaskList", 1, taskList({descriptor(1, 1, kNone)}));
    fsa->scriptAlways("FsaGetTaskDetails", 1, details(1, 0, 0));
    ProgressCollection all;
    EXPECT_EQ(adapter->getProgress(all), Ret(0));
    EXPECT_EQ(all.getSize(), 1u);

    // A second answer whose count exceeds the room asked for.
    std::vector<uint8_t> reply = taskList({descriptor(1, 1, kNone), descriptor(2, 1, kNone)});
    faPutLe32(reply.data(), 1000);
    fsa->script("FsaGetTaskList", 1, words({2}));
    fsa->script("FsaGetTaskList", 1, reply);
    ProgressCollection two;
    EXPECT_EQ(adapter->getProgress(two), Ret(0));
    EXPECT_EQ(two.getSize(), 2u);
}

// ---- the pace of a task ----

TEST_F(VynAdapterTasksTest, APriorityBecomesTheDelayOfTheTasksContainer)
{
    const std::pair<int, uint64_t> rows[] = {{0, 100}, {1, 50}, {2, 0}, {7, 50}};
    for (const auto& [priority, delay] : rows) {
        SCOPED_TRACE(priority);
        freshExports();
        fsa->script("FsaGetTaskDetails", 1, details(9, 0, 0, 0, 3));
        fsa->script("FsaGetContainerInfo2", 1, containerInfo(3));
        EXPECT_EQ(adapter->setTaskPriority(21, static_cast<EnumPriorityLevel>(priority)), Ret(0));
        EXPECT_EQ(fsa->arguments("FsaContainer"), (std::vector<std::vector<uint64_t>>{{3, 4, delay}}));
    }

    // A container inside another: the enclosing one takes the delay.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(5, 0, 0, 0, 3));
    fsa->script("FsaGetContainerInfo2", 1, containerInfo(3, 0, {{CI_SNAPSHOT_RELATION, 8}}));
    fsa->script("FsaGetContainerInfo2", 1, containerInfo(8));
    EXPECT_EQ(adapter->setTaskPriority(21, PRIORITY_LOW), Ret(0));
    EXPECT_EQ(containersGivenTheDelay(), (std::vector<uint64_t>{8}));

    // Its record cannot be read: the task's own container does.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(5, 0, 0, 0, 3));
    fsa->script("FsaGetContainerInfo2", 1, containerInfo(3, 0, {{CI_SNAPSHOT_RELATION, 8}}));
    fsa->script("FsaGetContainerInfo2", 301);
    EXPECT_EQ(adapter->setTaskPriority(21, PRIORITY_LOW), Ret(0));
    EXPECT_EQ(containersGivenTheDelay(), (std::vector<uint64_t>{3}));

    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(9, 0, 0, 0, 3));
    fsa->script("FsaContainer", 413);
    const Ret refused = adapter->setTaskPriority(21, PRIORITY_LOW);
    EXPECT_EQ(refused.getAPIReturn(), 413u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaContainer(x,x,FSA_CO_SET_DELAY,x,x) fsaStatus=413 ***"), 1u);
}

TEST_F(VynAdapterTasksTest, APaceIsRefusedBeforeAnyWriteHandle)
{
    // Details that cannot be read, and a task function that takes no pace.
    fsa->script("FsaGetTaskDetails", 100);
    const Ret unread = adapter->setTaskPriority(21, PRIORITY_LOW);
    EXPECT_EQ(unread.getAPIReturn(), 100u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetTaskDetails(x,x,x) fsaStatus=100 ***"), 1u);

    fsa->script("FsaGetTaskDetails", 1, details(2, 0, 0, 0, 3));
    const Ret refused = adapter->setTaskPriority(21, PRIORITY_LOW);
    EXPECT_EQ(refused.getReturn(), -1);
    EXPECT_EQ(errorCount("*** Not Supported: !taskSupportsSettingItsPriority(taskInfo.taskDesc.taskFunction), "
                         "value=0 ***"),
              1u);
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaGetTaskDetails", "FsaGetTaskDetails"}));

    noWriteHandle();
    fsa->script("FsaGetTaskDetails", 1, details(9, 0, 0, 0, 3));
    EXPECT_EQ(adapter->setTaskPriority(21, PRIORITY_LOW).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);
}

TEST_F(VynAdapterTasksTest, AReconfigurationPacesEveryContainerItNames)
{
    // Morph original 5, source 6, destination 300 (no container of a
    // reconfiguration), copy 8, temporary 7.
    fsa->script("FsaGetTaskDetails", 1, details(14, 0, 0, 0, 4));
    fsa->script("FsaGetContainerInfo2", 1,
                containerInfo(4, 0,
                              {{CI_RELATED, 5}, {CI_MORPH_SOURCE, 6}, {CI_MORPH_DESTINATION, 300},
                               {CI_FURTHER_1, 8}, {CI_FURTHER_2, 7}, {CI_SNAPSHOT_RELATION, 9}}));
    fsa->script("FsaContainer", 1);
    fsa->script("FsaContainer", 402);  // the morph original
    fsa->script("FsaContainer", 1);
    fsa->script("FsaContainer", 403);  // the temporary container
    const Ret ret = adapter->setTaskPriority(30, PRIORITY_MEDIUM);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 403u);
    EXPECT_EQ(containersGivenTheDelay(), (std::vector<uint64_t>{4, 5, 6, 7, 8}));
    for (const auto& args : fsa->arguments("FsaContainer"))
        EXPECT_EQ(args[2], 50u);
    EXPECT_EQ(errorCount("FSA_CO_SET_DELAY,x,x) - MorphOriginal fsaStatus=402 ***"), 1u);
    EXPECT_EQ(errorCount("FSA_CO_SET_DELAY,x,x) - MorphTemp fsaStatus=403 ***"), 1u);

    // The original's failure is named too; the others still follow.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(14, 0, 0, 0, 4));
    fsa->script("FsaGetContainerInfo2", 1, containerInfo(4, 0, {{CI_MORPH_SOURCE, 0}}));
    fsa->script("FsaContainer", 404);
    EXPECT_EQ(adapter->setTaskPriority(30, PRIORITY_HIGH).getAPIReturn(), 404u);
    EXPECT_EQ(containersGivenTheDelay(), (std::vector<uint64_t>{4, 0}));
    EXPECT_EQ(errorCount("FSA_CO_SET_DELAY,x,x) - Original fsaStatus=404 ***"), 1u);

    // Without the record nothing can be paced, and the caller learns it.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(14, 0, 0, 0, 4));
    fsa->script("FsaGetContainerInfo2", 301);
    EXPECT_EQ(adapter->setTaskPriority(30, PRIORITY_HIGH).getAPIReturn(), 301u);
    EXPECT_EQ(fsa->count("FsaContainer"), 0u);
}

// ---- stopping a task ----

TEST_F(VynAdapterTasksTest, ATaskWithoutContainerStopsAlone)
{
    addLogicalDrive(0, 0);
    fsa->script("FsaGetTaskDetails", 1, details(1, 0, 0));
    EXPECT_EQ(adapter->abortTask(17), Ret(0));
    EXPECT_EQ(fsa->arguments("FsaTask"), (std::vector<std::vector<uint64_t>>{{17, 2}}));
    EXPECT_EQ(fsa->count("FsaGetTaskList"), 0u);

    // A container no logical drive holds: the same.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(9, 0, 0, 0, 40));
    EXPECT_EQ(adapter->abortTask(18), Ret(0));
    EXPECT_EQ(fsa->arguments("FsaTask"), (std::vector<std::vector<uint64_t>>{{18, 2}}));
    EXPECT_EQ(fsa->count("FsaGetTaskList"), 0u);

    fsa->script("FsaGetTaskDetails", 100);
    EXPECT_EQ(adapter->abortTask(19).getAPIReturn(), 100u);
    EXPECT_EQ(fsa->arguments("FsaTask").size(), 1u);
}

TEST_F(VynAdapterTasksTest, AMultiLevelDriveLosesTheTasksOfAllItsLevels)
{
    // Logical drive 9 over member containers 3 and 70.
    for (uint8_t target : {0, 1})
        channel->addChild(new VynHardDrive(adapter.get(), channel, target, 1000000));
    auto keep = [&](std::vector<uint8_t> bytes) {
        FSA_CONTAINER_INFO_EXTND record;
        std::memcpy(record.bytes, bytes.data(), sizeof record.bytes);
        auto* info = new VynLogicalDriveInfo(&record, nullptr, nullptr);
        adapter->addLogicalInfo(info);
        return info;
    };
    auto leg = [](uint32_t number, uint8_t target) {
        std::vector<uint8_t> r = containerInfo(number);
        faPutLe32(r.data() + CI_TYPE, 1);
        faPutLe32(r.data() + CI_LAYOUT, 1);
        faPutLe32(r.data() + CI_MEMBER_COUNT, 1);
        r[CI_MEMBERS + 5] = target;
        faPutLe64(r.data() + CI_MEMBERS + 20, 1000 * 512);
        return r;
    };
    keep(leg(3, 0));
    keep(leg(70, 1));
    std::vector<uint8_t> top = containerInfo(9);
    faPutLe32(top.data() + CI_TYPE, 2);
    faPutLe32(top.data() + CI_MEMBER_COUNT, 2);
    faPutLe32(top.data() + CI_MEMBERS, 3);
    faPutLe32(top.data() + CI_MEMBERS + 28, 70);
    freshExports();
    auto* drive = new VynBasicLogicalDrive(keep(top), adapter.get(), 9, RAID_LEVEL_10, 2000, 0, LD_OPTIMAL, false);
    adapter->addChild(drive);
    ASSERT_EQ(drive->getMemberRecords().size(), 2u);

    // The task runs on member 3; the other member's task and the top's
    // stop with it, a task of another container does not.
    const auto tasks = taskList({descriptor(50, 8, 3, 3), descriptor(51, 8, 70, 70), descriptor(52, 9, 12, 12),
                                 descriptor(53, 7, 9, 9)});
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(8, 0, 0, 0, 3));
    fsa->script("FsaGetTaskList", 1, words({4}));
    fsa->script("FsaGetTaskList", 1, tasks);
    EXPECT_EQ(adapter->abortTask(50), Ret(0));
    EXPECT_EQ(fsa->arguments("FsaTask"), (std::vector<std::vector<uint64_t>>{{50, 2}, {51, 2}, {53, 2}}));
    // Everything is read before the write handle is opened.
    EXPECT_EQ(fsa->calls(), (std::vector<std::string>{"FsaGetTaskDetails", "FsaGetTaskList", "FsaGetTaskList",
                                                      "FsaOpenAdapter2A", "FsaTask", "FsaTask", "FsaTask",
                                                      "FsaCloseAdapter"}));

    // The first stop that fails ends the stopping.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(8, 0, 0, 0, 3));
    fsa->script("FsaGetTaskList", 1, words({4}));
    fsa->script("FsaGetTaskList", 1, tasks);
    fsa->script("FsaTask", 1);
    fsa->script("FsaTask", 176);
    const Ret stopped = adapter->abortTask(50);
    EXPECT_EQ(stopped.getAPIReturn(), 176u);
    EXPECT_EQ(fsa->count("FsaTask"), 2u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaTask(x,x,x) fsaStatus=176 ***"), 1u);

    // The list cannot be had: nothing is stopped.
    freshExports();
    fsa->script("FsaGetTaskDetails", 1, details(8, 0, 0, 0, 3));
    fsa->script("FsaGetTaskList", 31, words({0}));
    const Ret unlisted = adapter->abortTask(50);
    EXPECT_EQ(unlisted.getAPIReturn(), 31u);
    EXPECT_EQ(fsa->count("FsaTask"), 0u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetTaskList() fsaStatus=31 ***"), 1u);

    noWriteHandle();
    fsa->script("FsaGetTaskDetails", 1, details(1, 0, 0));
    EXPECT_EQ(adapter->abortTask(50).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaTask"), 0u);
}

// ---- one-shot operations ----

TEST_F(VynAdapterTasksTest, OneShotOperationsSendTheirWordsAndNameTheirFailure)
{
    struct Row {
        const char* what;
        std::function<Ret(VynAdapter&)> run;
        const char* call;
        std::vector<std::vector<uint64_t>> sent;
        const char* failure;
    };
    const std::vector<Row> rows = {
        {"pause", [](VynAdapter& a) { return a.scanForDrives(true); }, "FsaPauseResumeIo", {{1, 0}},
         "FsaPauseResumeIo(x,x)"},
        {"resume", [](VynAdapter& a) { return a.scanForDrives(false); }, "FsaPauseResumeIo", {{0, 0}},
         "FsaPauseResumeIo(x,x)"},
        {"failover on", [](VynAdapter& a) { return a.setAutoFailoverEnabled(true); }, "FsaSetAutomaticFailover",
         {{4}}, "FsaSetAutomaticFailover()"},
        {"failover off", [](VynAdapter& a) { return a.setAutoFailoverEnabled(false); }, "FsaSetAutomaticFailover",
         {{0}}, "FsaSetAutomaticFailover()"},
        {"reset", [](VynAdapter& a) { return a.resetController(); }, "FsaResetController", {{}},
         "FsaResetController()"},
        {"battery", [](VynAdapter& a) { return a.startBatteryCalibration(); }, "FsaNvram", {{2, 0, 0, 0, 0, 0}},
         "FsaNvram(x, FSA_NVO_START_BATT_RECONDITION, x)"},
        {"dirty data", [](VynAdapter& a) { return a.isOrvexaHasDirtyData(); }, "FsaHasDirtyData", {{}},
         "isOrvexaHasDirtyData()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshExports();
        EXPECT_EQ(row.run(*adapter), Ret(0));
        EXPECT_EQ(fsa->arguments(row.call), row.sent);
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
    EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), rows.size());
}

TEST_F(VynAdapterTasksTest, OnlyASuccessfulResumeLeavesARescanPending)
{
    fsa->script("FsaPauseResumeIo", 129);
    adapter->scanForDrives(false);
    EXPECT_FALSE(adapter->rescanPending());
    adapter->scanForDrives(true);
    EXPECT_FALSE(adapter->rescanPending());
    adapter->scanForDrives(false);
    EXPECT_TRUE(adapter->rescanPending());
}

TEST_F(VynAdapterTasksTest, AnAlarmThatIsOffIsSwitchedOnBeforeItSoundsOrFallsSilent)
{
    struct Row {
        EnumAlarmState recorded;
        EnumAlarmState requested;
        std::vector<std::vector<uint64_t>> sent;  // operation, three words
    };
    const Row rows[] = {
        {ALARM_ON, ALARM_ON, {{1, 1, 0, 0}}},
        {ALARM_ON, ALARM_OFF, {{1, 0, 0, 0}}},
        {ALARM_OFF, ALARM_ON, {{1, 1, 0, 0}}},
        {ALARM_ON, ALARM_SILENCE, {{2, 0, 0, 0}}},
        {ALARM_ON, ALARM_TEST, {{2, 1, 0xFFFFFFFF, 0}}},
        {ALARM_OFF, ALARM_SILENCE, {{1, 1, 0, 0}, {2, 0, 0, 0}}},
        {ALARM_OFF, ALARM_TEST, {{1, 1, 0, 0}, {2, 1, 0xFFFFFFFF, 0}}},
        {ALARM_NONE, ALARM_TEST, {{2, 1, 0xFFFFFFFF, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.recorded << " -> " << row.requested);
        freshExports();
        adapter->setRecordedAlarm(row.recorded);
        EXPECT_EQ(adapter->setAlarmState(row.requested), Ret(0));
        EXPECT_EQ(fsa->arguments("FsaAlarm"), row.sent);
    }

    // The switching on fails: nothing sounds.
    freshExports();
    adapter->setRecordedAlarm(ALARM_OFF);
    fsa->script("FsaAlarm", 3);
    const Ret failed = adapter->setAlarmState(ALARM_SILENCE);
    EXPECT_EQ(failed.getAPIReturn(), 3u);
    EXPECT_EQ(fsa->count("FsaAlarm"), 1u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaAlarm(x,x,x) fsaStatus=3 ***"), 1u);

    for (const int state : {0, 5}) {
        freshExports();
        const Ret invalid = adapter->setAlarmState(static_cast<EnumAlarmState>(state));
        EXPECT_EQ(invalid.getReturn(), -2);
        EXPECT_EQ(fsa->count("FsaAlarm"), 0u);
    }
    EXPECT_EQ(errorCount("*** Bad Parameter: Invalid Alarm State, paramValue=0 ***"), 2u);

    noWriteHandle();
    EXPECT_EQ(adapter->setAlarmState(ALARM_ON).getReturn(), -6);
    EXPECT_EQ(fsa->count("FsaAlarm"), 0u);
}

TEST_F(VynAdapterTasksTest, TheDrivesWriteCacheIsSetOnlyWhereTheControllerCan)
{
    // Without the capability: -1, nothing sent and nothing written.
    EXPECT_EQ(adapter->setPhysicalDriveCache(static_cast<EnumHardDriveCacheMode>(0),
                                             static_cast<EnumHardDriveCacheMode>(0))
                  .getReturn(),
              -1);
    EXPECT_TRUE(fsa->calls().empty());

    FSA_GENERAL_INFO2 info = *adapter->getFsaInfo();
    faPutLe32(info.bytes + GI_SUPPORTED_OPTIONS2, 0x8000);
    adapter->setFsaGeneralInfo(&info);

    struct Row {
        int sata;
        int sas;
        int code;
        std::vector<std::vector<uint64_t>> sent;
    };
    const Row rows[] = {
        {0, 1, 0, {{1, 0}}},
        {1, 0, 0, {{0, 1}}},
        {0, 0, 0, {{1, 1}}},
        {2, 0, -2, {}},
        {0, 3, -2, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sata << "," << row.sas);
        freshExports();
        const Ret ret = adapter->setPhysicalDriveCache(static_cast<EnumHardDriveCacheMode>(row.sata),
                                                       static_cast<EnumHardDriveCacheMode>(row.sas));
        EXPECT_EQ(ret.getReturn(), row.code);
        EXPECT_EQ(fsa->arguments("FsaSetControllerDeviceCachePolicy"), row.sent);
        if (row.code == 0) {
            EXPECT_EQ(static_cast<int>(adapter->getSataHDCacheMode()), row.sata);
            EXPECT_EQ(static_cast<int>(adapter->getSasHDCacheMode()), row.sas);
        } else {
            EXPECT_TRUE(fsa->calls().empty());
        }
    }

    // A refused policy leaves the recorded modes.
    freshExports();
    fsa->script("FsaSetControllerDeviceCachePolicy", 122);
    EXPECT_EQ(adapter->setPhysicalDriveCache(static_cast<EnumHardDriveCacheMode>(1),
                                             static_cast<EnumHardDriveCacheMode>(1))
                  .getAPIReturn(),
              122u);
    EXPECT_EQ(static_cast<int>(adapter->getSataHDCacheMode()), 0);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaSetControllerDeviceCachePolicy() fsaStatus=122 ***"), 1u);
    // Only the refused firmware call wrote an error line.
    EXPECT_EQ(errorCount("*** "), 1u);
}

// ---- on the simulated controller ----

class VynAdapterTasksSimulatorTest : public vyntest::FamilyTest {};

TEST_F(VynAdapterTasksSimulatorTest, TasksOfTheControllerArePacedAndStopped)
{
    // A consistency check of logical drive 0 a quarter done, and a verify of
    // the drive at 0:4.
    startController("base = default\n"
                    "adapter0.task1.job = 107\nadapter0.task1.object = 0\n"
                    "adapter0.task1.total = 1000\nadapter0.task1.done = 250\nadapter0.task1.rate = 1\n"
                    "adapter0.task2.job = 3\nadapter0.task2.object = 4\n"
                    "adapter0.task2.total = 1000\nadapter0.task2.done = 500\nadapter0.task2.rate = 1\n");
    Ret ret(0);
    vyntest::TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_EQ(ret.getReturn(), 0);
    Ret built(0);
    adapter->buildChildren(built);
    ASSERT_EQ(built.getReturn(), 0) << errorLog();

    ProgressCollection all;
    EXPECT_EQ(adapter->getProgress(all), Ret(0)) << errorLog();
    ASSERT_EQ(all.getSize(), 2u);
    const Progress& check = *all.getProgress(0);
    EXPECT_EQ(check.getTaskID(), 1u);
    EXPECT_EQ(check.getType(), TASK_TYPE_BUILD_VERIFY);
    EXPECT_EQ(check.getLogicalDrive(), 0u);
    EXPECT_EQ(check.getPercent(), 25u);
    const Progress& verify = *all.getProgress(1);
    EXPECT_EQ(verify.getTaskID(), 2u);
    EXPECT_EQ(verify.getType(), TASK_TYPE_VERIFY);
    EXPECT_EQ(verify.getLogicalDrive(), Addr::UNSET_ID);
    EXPECT_EQ(verify.getDeviceAddr()->getChannelID(), 0u);
    EXPECT_EQ(verify.getDeviceAddr()->getDeviceID(), 4u);
    EXPECT_EQ(verify.getPercent(), 50u);

    // The check runs on container 0: it takes the delay of a low priority.
    EXPECT_EQ(adapter->setTaskPriority(1, PRIORITY_LOW), Ret(0)) << errorLog();
    EXPECT_EQ(sim().controller(0).containerSettings.at(0).delay, 100u);
    // A drive task takes no pace.
    EXPECT_EQ(adapter->setTaskPriority(2, PRIORITY_LOW).getReturn(), -1);

    EXPECT_EQ(adapter->abortTask(1), Ret(0)) << errorLog();
    EXPECT_EQ(adapter->abortTask(2), Ret(0)) << errorLog();
    ProgressCollection after;
    EXPECT_EQ(adapter->getProgress(after), Ret(0));
    EXPECT_EQ(after.getSize(), 0u);
}

TEST_F(VynAdapterTasksSimulatorTest, OneShotOperationsLastOnTheController)
{
    startController("base = default\n");
    Ret ret(0);
    vyntest::TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_EQ(ret.getReturn(), 0);
    auto& state = sim().controller(0);

    EXPECT_EQ(adapter->setAutoFailoverEnabled(false), Ret(0)) << errorLog();
    EXPECT_FALSE(state.autoFailover);
    EXPECT_EQ(adapter->setAlarmState(ALARM_OFF), Ret(0)) << errorLog();
    EXPECT_EQ(state.alarm, "off");
    EXPECT_EQ(adapter->resetController(), Ret(0)) << errorLog();
    EXPECT_EQ(sim().resetCount(0), 1u);
    EXPECT_EQ(adapter->scanForDrives(false), Ret(0)) << errorLog();
    EXPECT_FALSE(state.paused);
    // SATA drives cache their writes, SAS drives do not.
    EXPECT_EQ(adapter->setPhysicalDriveCache(static_cast<EnumHardDriveCacheMode>(0),
                                             static_cast<EnumHardDriveCacheMode>(1)),
              Ret(0))
        << errorLog();

    // A controller object made afterwards reads all of it back.
    vyntest::TreePtr<VynAdapter> next = openController(&ret);
    Ret built(0);
    next->buildChildren(built);
    EXPECT_FALSE(next->IsAutoFailoverEnabled());
    EXPECT_EQ(next->getAlarmState(), ALARM_OFF);
    EXPECT_EQ(static_cast<int>(next->getSataHDCacheMode()), 0);
    EXPECT_EQ(static_cast<int>(next->getSasHDCacheMode()), 1);

    // Testing an alarm that is off switches it on, then sounds it.
    EXPECT_EQ(next->setAlarmState(ALARM_TEST), Ret(0)) << errorLog();
    EXPECT_EQ(state.alarm, "sounding");

    // A pause holds the controller's I/O; no further change gets a handle.
    EXPECT_EQ(next->scanForDrives(true), Ret(0)) << errorLog();
    EXPECT_TRUE(state.paused);
    EXPECT_EQ(next->resetController().getReturn(), -6);
}

// ---- the command-line program ----

class VynAdapterTasksEndToEndTest : public vyntest::HostRootTest {
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

TEST_F(VynAdapterTasksEndToEndTest, AControllerWithoutTasksHasNoCurrentOperation)
{
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    EXPECT_EQ(status.exitCode, 0) << status.error;
    EXPECT_TRUE(has(status.output, "(^|\n) *Current operation *: None\n")) << status.output;
    EXPECT_EQ(lastLine(status.output), "Command completed successfully.");
}

TEST_F(VynAdapterTasksEndToEndTest, ATaskIsPacedAndStoppedAcrossRuns)
{
    // The default controller with a consistency check of logical drive 0.
    const std::string description = root() + "/task.conf";
    vyntest::writeFile(description, "base = default\n"
                                    "adapter0.task1.job = 107\nadapter0.task1.object = 0\n"
                                    "adapter0.task1.total = 1000\nadapter0.task1.done = 250\n");
    auto runOn = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    const vyntest::ProgramRun before = runOn({"GETSTATUS", "1"});
    EXPECT_TRUE(has(before.output, "Task ID *: 1\n")) << before.output;
    EXPECT_TRUE(has(before.output, "Priority *: High\n"));

    EXPECT_EQ(lastLine(runOn({"SETPRIORITY", "1", "1", "LOW"}).output), "Command completed successfully.");
    const vyntest::ProgramRun paced = runOn({"GETSTATUS", "1"});
    EXPECT_TRUE(has(paced.output, "Priority *: Low\n")) << paced.output;

    EXPECT_EQ(lastLine(runOn({"TASK", "STOP", "1", "LOGICALDRIVE", "0"}).output), "Command completed successfully.");
    const vyntest::ProgramRun after = runOn({"GETSTATUS", "1"});
    EXPECT_TRUE(has(after.output, "Current operation *: None\n")) << after.output;
}

TEST_F(VynAdapterTasksEndToEndTest, LogicalDriveVerifyAndClearRunUntilStopped)
{
    // The default controller with a mirror beside its RAID-5.
    const std::string description = root() + "/two.conf";
    vyntest::writeFile(description, "base = default\nadapter0.ld1 = raid1 0:4,0:5 name=Pair\n");
    auto runOn = [&](const std::vector<std::string>& args) {
        return vyntest::runVynconf(VYNCONF_PATH, root(), description, args);
    };
    EXPECT_EQ(lastLine(runOn({"TASK", "START", "1", "LOGICALDRIVE", "0", "verify", "noprompt"}).output),
              "Command completed successfully.");
    EXPECT_EQ(lastLine(runOn({"TASK", "START", "1", "LOGICALDRIVE", "1", "clear", "noprompt"}).output),
              "Command completed successfully.");
    const vyntest::ProgramRun both = runOn({"GETSTATUS", "1"});
    EXPECT_TRUE(has(both.output, "Logical device *: 0\n *Task ID *: 1\n *Current operation *: Verify\n"))
        << both.output;
    EXPECT_TRUE(has(both.output, "Logical device *: 1\n *Task ID *: 2\n *Current operation *: Clear\n"));

    // A second verify of drive 0 is refused while the first runs: by the
    // command when the task reads as running, by the controller otherwise.
    const vyntest::ProgramRun again = runOn({"TASK", "START", "1", "LOGICALDRIVE", "0", "verify", "noprompt"});
    if (has(both.output, "Status *: In Progress\n")) {
        EXPECT_EQ(again.exitCode, 2) << again.output;
        EXPECT_TRUE(has(again.output, "Task 'Verify' is already running on this device.  Aborting \n"));
    } else {
        EXPECT_NE(again.exitCode, 0) << again.output;
    }

    // The clear stopped, its logical drive is the host's disk again.
    EXPECT_EQ(lastLine(runOn({"TASK", "STOP", "1", "LOGICALDRIVE", "1"}).output), "Command completed successfully.");
    const vyntest::ProgramRun one = runOn({"GETSTATUS", "1"});
    EXPECT_TRUE(has(one.output, "Logical device *: 0\n")) << one.output;
    EXPECT_FALSE(has(one.output, "Logical device *: 1\n"));
    EXPECT_TRUE(vyntest::fileExists(root() + "/dev/sdc"));
    EXPECT_EQ(lastLine(runOn({"TASK", "STOP", "1", "LOGICALDRIVE", "0"}).output), "Command completed successfully.");
    EXPECT_TRUE(has(runOn({"GETSTATUS", "1"}).output, "Current operation *: None\n"));
}

TEST_F(VynAdapterTasksEndToEndTest, AFailedMemberIsRebuiltOntoTheHotSpare)
{
    const vyntest::ProgramRun down = run({"SETSTATE", "1", "DEVICE", "0", "0", "DDD", "noprompt"});
    EXPECT_EQ(lastLine(down.output), "Command completed successfully.") << down.output << down.error;
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    EXPECT_TRUE(has(status.output, "Logical device *: 0\n *Task ID *: 1\n *Current operation *: Rebuild\n"))
        << status.output;
    EXPECT_TRUE(has(status.output, "Channel,Device *: 0,3\n *Task ID *: 1\n *Current operation *: Rebuild\n"));
    const vyntest::ProgramRun rebuilding = run({"GETCONFIG", "1", "LD"});
    EXPECT_TRUE(has(rebuilding.output, "Status of logical device *: Degraded\n")) << rebuilding.output;

    // The simulated clock passes the rebuild before the next run.
    vyn::hostsim::Simulator::fromFile("default")->advanceClock(61000);
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "LD"});
    EXPECT_TRUE(has(config.output, "Logical device name *: Data\n")) << config.output;
    EXPECT_TRUE(has(config.output, "Status of logical device *: Optimal\n")) << config.output;
    EXPECT_TRUE(has(config.output, "Segment 0 *: Present \\(Controller:1,Enclosure:0,Slot:3\\)")) << config.output;
    EXPECT_TRUE(has(run({"GETSTATUS", "1"}).output, "Current operation *: None\n"));
    EXPECT_TRUE(has(run({"GETCONFIG", "1", "PD"}).output, "Device #0\n(.*\n)*? *State *: Failed\n"));
}

TEST_F(VynAdapterTasksEndToEndTest, ControllerOperationsLastIntoTheNextRun)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"SETALARM", "1", "SILENCE"}, {"FAILOVER", "1", "OFF"}, {"RESET", "1", "noprompt"}}) {
        const vyntest::ProgramRun done = run(args);
        EXPECT_EQ(lastLine(done.output), "Command completed successfully.") << args[0] << "\n" << done.output;
    }
    const vyntest::ProgramRun config = run({"GETCONFIG", "1", "AD"});
    EXPECT_TRUE(has(config.output, "Automatic Failover *: Disabled\n")) << config.output;

    // Off, then silenced: an alarm that is off is switched on first.
    EXPECT_EQ(lastLine(run({"SETALARM", "1", "OFF"}).output), "Command completed successfully.");
    EXPECT_TRUE(has(run({"GETXML"}).output, " alarmState=\"2\""));
    EXPECT_EQ(lastLine(run({"SETALARM", "1", "SILENCE"}).output), "Command completed successfully.");
    const vyntest::ProgramRun xml = run({"GETXML"});
    EXPECT_TRUE(has(xml.output, " alarmState=\"1\"")) << xml.output;
    EXPECT_TRUE(has(xml.output, " autoFailoverEnabled=\"false\""));
}

}  // namespace
