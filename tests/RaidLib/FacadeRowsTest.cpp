#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/System.h"
#include "common/AddrCollection.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "support/HostRootTest.h"

namespace {

using Calls = std::vector<std::string>;

// A failure that fills every word of the status record.
Ret fullFailure()
{
    Ret ret(0);
    ret.setMiscErrors(0x12345678, -77);
    ret.setReturn(-9);
    return ret;
}

// A controller of the family: records what it is asked and answers as told.
class FamilyAdapter : public Adapter {
public:
    explicit FamilyAdapter(Calls& calls) : calls(calls) { setAdapterID(0); setStorLibType(STORLIB_TYPE_VYN); }
    bool isInstanceOf(const char* name) const override
    {
        return (name != nullptr && std::strcmp(name, "VynAdapter") == 0) || Adapter::isInstanceOf(name);
    }
    Ret resetController() override
    {
        calls.push_back("reset");
        if (throwing)
            throw 7;
        return failing ? fullFailure() : Ret(0);
    }
    Ret scanForDrives(bool async) override
    {
        calls.push_back(async ? "scan async" : "scan sync");
        return Ret(0);
    }
    Ret getEvents(unsigned long start, std::string& xml) override
    {
        calls.push_back("events " + std::to_string(start));
        xml = "<Events/>";
        return failing ? fullFailure() : Ret(0);
    }
    Ret getAdapterStats(char* buffer) override
    {
        std::strcpy(buffer, "stats");
        return Ret(0);
    }
    Ret getControllerLog(EnumLogTypeRequest, char* buffer, unsigned long& size, unsigned int) override
    {
        calls.push_back("log " + std::to_string(size));
        std::strcpy(buffer, "log");
        size = 4;
        return failing ? fullFailure() : Ret(0);
    }
    Ret getControllerLog(EnumLogTypeRequest, char* xml, unsigned long& xmlSize, char* csv,
                         unsigned long& csvSize) override
    {
        calls.push_back(std::string("dual ") + (xml != nullptr ? std::to_string(xmlSize) : "no-xml") + " " +
                        (csv != nullptr ? std::to_string(csvSize) : "no-csv"));
        if (csv != nullptr) {
            std::strcpy(csv, "a,b,");
            csvSize = 5;
        }
        return failing ? fullFailure() : Ret(0);
    }
    Ret setAlarmState(EnumAlarmState) override
    {
        calls.push_back("controller alarm");
        return Ret(0);
    }

    Calls& calls;
    bool failing = false;
    bool throwing = false;
};

class RecordingDrive : public HardDrive {
public:
    RecordingDrive(Calls& calls, unsigned long device) : calls(calls)
    {
        setChannelID(0);
        setDeviceID(device);
    }
    Ret startTask(EnumHardDriveTask task, const char* text) override
    {
        calls.push_back("drive task " + std::to_string(task) + (text != nullptr ? std::string(" ") + text : ""));
        return Ret(0);
    }
    Ret setWriteCacheEnable(bool on) override
    {
        calls.push_back(on ? "cache on" : "cache off");
        return Ret(0);
    }
    Ret identifyDevice(bool on) override
    {
        calls.push_back(on ? "identify on" : "identify off");
        return Ret(0);
    }
    Ret clearATASecurePassword(const char* text) override
    {
        calls.push_back(std::string("clear password ") + text);
        return Ret(0);
    }
    Ret getProgress(ProgressCollection& tasks) override
    {
        Progress progress;
        tasks.add(progress);
        return Ret(0);
    }

    Calls& calls;
};

class RecordingLogicalDrive : public LogicalDrive {
public:
    RecordingLogicalDrive(Calls& calls) : LogicalDrive(nullptr, 3), calls(calls) {}
    Ret verify() override { calls.push_back("verify"); return Ret(0); }
    Ret synchronize() override { calls.push_back("synchronize"); return Ret(0); }
    Ret initializeLogicalDrive(EnumInitMethod method, EnumPriorityLevel level) override
    {
        calls.push_back("initialize " + std::to_string(method) + " " + std::to_string(level));
        return Ret(0);
    }

    Calls& calls;
};

class RecordingEnclosure : public Enclosure {
public:
    explicit RecordingEnclosure(Calls& calls) : calls(calls) { setChannelID(0); setDeviceID(9); }
    Ret setAlarmState(EnumAlarmState state) override
    {
        calls.push_back("enclosure alarm " + std::to_string(state));
        return Ret(0);
    }
    Calls& calls;
};

// The tree: a family controller with a drive, a logical drive, an array and
// a SAF-TE enclosure below it.
struct Tree {
    Calls calls;
    FamilyAdapter* adapter = nullptr;
    RecordingDrive* drive = nullptr;
    RecordingLogicalDrive* logicalDrive = nullptr;
    Array* array = nullptr;
    RecordingEnclosure* enclosure = nullptr;
};

class TreeSystem : public System {
public:
    explicit TreeSystem(Tree& tree) : System(STORLIB_TYPE_VYN), tree(tree) {}
    void buildChildren(StorLib*, Ret&) override
    {
        tree.adapter = new FamilyAdapter(tree.calls);
        addChild(tree.adapter);
        tree.drive = new RecordingDrive(tree.calls, 1);
        tree.adapter->addChild(tree.drive);
        tree.logicalDrive = new RecordingLogicalDrive(tree.calls);
        tree.adapter->addChild(tree.logicalDrive);
        tree.array = new Array(tree.adapter, 2, 100, 0, 0);
        tree.adapter->addChild(tree.array);
        tree.enclosure = new RecordingEnclosure(tree.calls);
        tree.adapter->addChild(tree.enclosure);
    }
    int getControllerCount(StorLib*, Ret&) override { return 1; }

private:
    Tree& tree;
};

class TreeLib : public StorLibPlugin {
public:
    explicit TreeLib(Tree& tree) : StorLibPlugin(STORLIB_TYPE_VYN), tree(tree) {}
    System* newSystem() override { return new TreeSystem(tree); }

private:
    Tree& tree;
};

class FacadeRowsTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        lib = std::make_unique<TreeLib>(tree);
        ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
        tree.calls.clear();
    }
    void TearDown() override
    {
        lib.reset();
        StorDebugDeleteAll();
        HostRootTest::TearDown();
    }
    std::string errorFile() const { return vyntest::readFile(hostFile("/var/log/vynerror.txt")); }

    const Addr& controller() const { return tree.adapter->getAddr(); }
    const Addr& drive() const { return tree.drive->getAddr(); }
    const Addr& logicalDrive() const { return tree.logicalDrive->getAddr(); }

    Tree tree;
    std::unique_ptr<TreeLib> lib;
};

TEST_F(FacadeRowsTest, FrameFailuresAndTheTargetsOwnResult)
{
    EXPECT_EQ(lib->setLogicalDriveName(controller(), "x").getReturn(), -2);
    EXPECT_NE(errorFile().find("*** Bad Parameter: addrIN identified invalid object type, paramValue=0 ***"),
              std::string::npos);
    tree.adapter->throwing = true;
    EXPECT_EQ(lib->resetController(controller()).getReturn(), -13);
    EXPECT_NE(errorFile().find("*** Exception Caught ***"), std::string::npos);
    tree.adapter->throwing = false;
    tree.adapter->failing = true;
    EXPECT_EQ(lib->resetController(controller()), fullFailure());
    EXPECT_EQ(lib->syncRescan(controller()).getReturn(), 0);
    EXPECT_EQ(lib->asyncRescan(controller()).getReturn(), 0);
    EXPECT_EQ(tree.calls, (Calls{"reset", "reset", "scan sync", "scan async"}));
}

TEST_F(FacadeRowsTest, StartTaskMapsTaskTypesPerClass)
{
    char text[] = "pattern";
    const struct {
        EnumTaskType type;
        int ret;
        const char* call;
    } driveCases[] = {
        {EnumTaskType(5), 0, "drive task 1"}, {EnumTaskType(4), 0, "drive task 2"},
        {EnumTaskType(1), 0, "drive task 3"}, {EnumTaskType(13), 0, "drive task 4 pattern"},
        {EnumTaskType(2), -1, nullptr},
    };
    for (const auto& c : driveCases) {
        tree.calls.clear();
        EXPECT_EQ(lib->startTask(drive(), c.type, text).getReturn(), c.ret) << c.type;
        EXPECT_EQ(tree.calls, c.call != nullptr ? Calls{c.call} : Calls{}) << c.type;
    }
    tree.calls.clear();
    EXPECT_EQ(lib->startTask(drive(), EnumTaskType(13), nullptr).getReturn(), 0);
    EXPECT_EQ(lib->startTask(logicalDrive(), EnumTaskType(5), nullptr).getReturn(), 0);
    EXPECT_EQ(lib->startTask(logicalDrive(), EnumTaskType(4), nullptr).getReturn(), 0);
    EXPECT_EQ(lib->startTask(logicalDrive(), EnumTaskType(1), nullptr).getReturn(), 0);
    EXPECT_EQ(lib->startTask(logicalDrive(), EnumTaskType(7), nullptr).getReturn(), -1);
    EXPECT_EQ(tree.calls, (Calls{"drive task 4", "verify", "synchronize", "initialize 1 2"}));
}

TEST_F(FacadeRowsTest, ArgumentMappingsOfTheDriveRows)
{
    EXPECT_EQ(lib->synchronizeLogicalDrive(logicalDrive(), false).getReturn(), 0);
    EXPECT_EQ(lib->synchronizeLogicalDrive(logicalDrive(), true).getReturn(), 0);
    EXPECT_EQ(lib->setPhysicalDriveCache(drive(), EnumHardDriveCacheMode(0)).getReturn(), 0);
    EXPECT_EQ(lib->setPhysicalDriveCache(drive(), EnumHardDriveCacheMode(2)).getReturn(), 0);
    EXPECT_EQ(lib->identifyDevice(drive(), EnumIdentifyOption(0)).getReturn(), 0);
    EXPECT_EQ(lib->identifyDevice(drive(), EnumIdentifyOption(1)).getReturn(), 0);
    EXPECT_EQ(lib->configureATAPassword(drive(), "secret", false).getReturn(), 0);
    EXPECT_EQ(tree.calls, (Calls{"verify", "synchronize", "cache on", "cache off", "identify on", "identify off",
                                 "clear password secret"}));
    EXPECT_EQ(lib->deleteArray(tree.array->getAddr()).getReturn(), 0);
    EXPECT_EQ(lib->deleteArray(logicalDrive()).getReturn(), -2);
    EXPECT_EQ(lib->setTaskPriority(drive(), 1, PRIORITY_LOW).getReturn(), -2);
}

TEST_F(FacadeRowsTest, AlarmRowsReachTheMatchedClass)
{
    EXPECT_EQ(lib->setAlarmState(tree.enclosure->getAddr(), ALARM_OFF).getReturn(), 0);
    EXPECT_EQ(lib->setAlarmState(controller(), ALARM_ON).getReturn(), 0);
    EXPECT_EQ(tree.calls, (Calls{"enclosure alarm 2", "controller alarm"}));
    EnumAlarmState state = ALARM_TEST;
    EXPECT_EQ(lib->getAlarmState(controller(), state).getReturn(), 0);
    EXPECT_EQ(state, ALARM_NONE);
}

TEST_F(FacadeRowsTest, TasksTextWrapsWhateverTheQueryGave)
{
    char* xml = nullptr;
    const Addr nowhere(0x55);
    EXPECT_EQ(lib->getTasks(nowhere, &xml).getReturn(), -12);
    ASSERT_NE(xml, nullptr);
    EXPECT_STREQ(xml, "<ProgressCollection>\n\n</ProgressCollection>");
    EXPECT_EQ(lib->getTasks(drive(), &xml).getReturn(), 0);
    const std::string withTask = xml;
    EXPECT_EQ(withTask.rfind("<ProgressCollection>\n", 0), 0u);
    EXPECT_GT(withTask.size(), std::strlen("<ProgressCollection>\n\n</ProgressCollection>"));
    lib->freeBuffer(xml);
    EXPECT_EQ(lib->getTasks(drive(), nullptr).getReturn(), -2);
}

TEST_F(FacadeRowsTest, EventsTextIsCopiedOnlyOnSuccess)
{
    char* xml = nullptr;
    EXPECT_EQ(lib->getEvents(controller(), 5, &xml).getReturn(), 0);
    ASSERT_NE(xml, nullptr);
    EXPECT_STREQ(xml, "<Events/>");
    tree.adapter->failing = true;
    char* const before = xml;
    EXPECT_EQ(lib->getEvents(controller(), 6, &xml), fullFailure());
    EXPECT_EQ(xml, before);
    lib->freeBuffer(xml);
    EXPECT_EQ(lib->getEvents(controller(), 0, static_cast<char**>(nullptr)).getReturn(), -2);
    EXPECT_NE(errorFile().find("xmlINOUT == NULL"), std::string::npos);
}

TEST_F(FacadeRowsTest, LogBuffersAreAllocatedAndResetOnFailure)
{
    // Null out-pointers are refused before the class is looked at.
    EXPECT_EQ(lib->getControllerLog(drive(), EnumLogTypeRequest(1), nullptr, nullptr).getReturn(), -2);
    EXPECT_NE(errorFile().find("*** Bad Parameter: pBufferOUT==NULL, paramValue=0 ***"), std::string::npos);
    EXPECT_EQ(errorFile().find("invalid object type"), std::string::npos);
    char* log = nullptr;
    EXPECT_EQ(lib->getControllerLog(drive(), EnumLogTypeRequest(1), &log, nullptr).getReturn(), -2);
    EXPECT_NE(errorFile().find("buffSizeOUT==NULL"), std::string::npos);

    unsigned long size = 0;
    EXPECT_EQ(lib->getControllerLog(controller(), EnumLogTypeRequest(1), &log, &size).getReturn(), 0);
    ASSERT_NE(log, nullptr);
    EXPECT_STREQ(log, "log");
    EXPECT_EQ(size, 4u);

    char* xml = nullptr;
    char* csv = new char[1];
    unsigned long xmlSize = 1;
    unsigned long csvSize = 1;
    EXPECT_EQ(lib->getControllerLog(controller(), EnumLogTypeRequest(1), nullptr, nullptr, &csv, &csvSize)
                  .getReturn(),
              0);
    EXPECT_STREQ(csv, "a,b,");
    EXPECT_EQ(csvSize, 5u);

    tree.adapter->failing = true;
    EXPECT_EQ(lib->getControllerLog(controller(), EnumLogTypeRequest(1), &log, &size), fullFailure());
    EXPECT_EQ(log, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(lib->getControllerLog(controller(), EnumLogTypeRequest(1), &xml, &xmlSize, &csv, &csvSize),
              fullFailure());
    EXPECT_EQ(xml, nullptr);
    EXPECT_EQ(csv, nullptr);
    EXPECT_EQ(xmlSize, 0u);
    EXPECT_EQ(csvSize, 0u);
    EXPECT_EQ(tree.calls, (Calls{"log 2097664", "dual no-xml 3146240", "log 2097664", "dual 3146240 3146240"}));
}

TEST_F(FacadeRowsTest, StatisticsNeedTheFamilysController)
{
    char stats[16] = {};
    EXPECT_EQ(lib->getControllerStats(controller(), stats).getReturn(), 0);
    EXPECT_STREQ(stats, "stats");
    EXPECT_EQ(lib->getControllerStats(drive(), stats).getReturn(), -2);
}

} // namespace
