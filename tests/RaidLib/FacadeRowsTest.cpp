#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/GenericRecord.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "RaidModel/Interface/System.h"
#include "common/AddrCollection.h"
#include "common/Buffer.h"
#include "common/LogicalDriveSpec.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorEvent.h"
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
    Ret getAdapterStats(char* buffer, unsigned long& size) override
    {
        std::strcpy(buffer, "stats");
        size = 6;
        return Ret(0);
    }
    Ret getControllerLog(EnumLogTypeRequest, char* buffer, unsigned long& size, unsigned int) override
    {
        calls.push_back("log " + std::to_string(size));
        if (throwing)
            throw 8;
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

TEST_F(FacadeRowsTest, LogArraysAreNeitherLeakedNorReleasedTwice)
{
    // The sanitizer reports a lost or twice-released array; the values
    // show which arrays the caller ends up holding.
    char* log = nullptr;
    unsigned long size = 7;
    tree.adapter->throwing = true;
    EXPECT_EQ(lib->getControllerLog(controller(), EnumLogTypeRequest(1), &log, &size).getReturn(), -13);
    EXPECT_EQ(log, nullptr);
    EXPECT_EQ(size, 7u);
    tree.adapter->throwing = false;

    const struct {
        bool failing;
        bool oneVariable;  // the same char* given for both forms
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "failing=" << c.failing << " oneVariable=" << c.oneVariable);
        tree.adapter->failing = c.failing;
        char* const earlier = new char[8];
        char* xml = earlier;
        char* csv = earlier;
        char** const csvOut = c.oneVariable ? &xml : &csv;
        unsigned long xmlSize = 1;
        unsigned long csvSize = 1;
        const Ret ret = lib->getControllerLog(controller(), EnumLogTypeRequest(1), &xml, &xmlSize, csvOut, &csvSize);
        EXPECT_EQ(ret.getReturn(), c.failing ? -9 : 0);
        if (c.failing) {
            EXPECT_EQ(xml, nullptr);
            EXPECT_EQ(*csvOut, nullptr);
        } else {
            ASSERT_NE(*csvOut, nullptr);
            EXPECT_STREQ(*csvOut, "a,b,");
            EXPECT_EQ(csvSize, 5u);
            if (!c.oneVariable) {
                EXPECT_NE(xml, nullptr);
                lib->freeBuffer(xml);
            }
            lib->freeBuffer(*csvOut);
        }
    }
}

TEST_F(FacadeRowsTest, StatisticsNeedTheFamilysController)
{
    char stats[16] = {};
    unsigned long size = sizeof stats;
    EXPECT_EQ(lib->getControllerStats(controller(), stats, size).getReturn(), 0);
    EXPECT_STREQ(stats, "stats");
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(lib->getControllerStats(drive(), stats, size).getReturn(), -2);
}

} // namespace

// Every row of the facade, each on a target that records what reached it.
namespace {

// The answer every recording target gives: a failure no frame step makes
// itself, so a row that forwards returns exactly this.
Ret targetAnswer()
{
    Ret ret(0);
    ret.setMiscErrors(0x5150, -40);
    ret.setReturn(-40);
    return ret;
}

template <typename T>
std::string field(const T& value)
{
    std::ostringstream out;
    out << +value;
    return out.str();
}
std::string field(const char* text) { return text != nullptr ? text : "(null)"; }
std::string field(const AddrCollection& set) { return "set" + std::to_string(set.getAddrCount()); }

template <typename... Args>
Ret heard(Calls& calls, const char* name, const Args&... args)
{
    std::string entry = name;
    ((entry += " " + field(args)), ...);
    calls.push_back(entry);
    return targetAnswer();
}

class RowAdapter : public Adapter {
public:
    explicit RowAdapter(Calls& calls) : calls(calls)
    {
        setAdapterID(0);
        setStorLibType(STORLIB_TYPE_VYN);
        alarmState = ALARM_SILENCE;
    }
    bool isInstanceOf(const char* name) const override
    {
        return (name != nullptr && std::strcmp(name, "VynAdapter") == 0) || Adapter::isInstanceOf(name);
    }
    using Adapter::getEvents;
    using Adapter::getProgress;
    Ret createLogicalDrive(const LogicalDriveSpec&) override { return heard(calls, "createLogicalDrive"); }
    Ret getEvents(unsigned long start, std::string&) override { return heard(calls, "getEvents text", start); }
    Ret getEvents(unsigned long start, std::vector<GenericRecord>&) override
    {
        return heard(calls, "getEvents records", start);
    }
    Ret getEvents(StorEventCollection&) override { return heard(calls, "getEvents collection"); }
    Ret setAlarmState(EnumAlarmState state) override { return heard(calls, "adapter setAlarmState", state); }
    Ret setConfiguration(const Buffer& buffer) override { return heard(calls, "setConfiguration", buffer.Size()); }
    Ret getConfiguration(Buffer&) override { return heard(calls, "getConfiguration"); }
    Ret getControllerLog(EnumLogTypeRequest type, char*, unsigned long& size, unsigned int ld) override
    {
        return heard(calls, "getControllerLog", type, size, ld);
    }
    Ret getControllerLog(EnumLogTypeRequest type, char* xml, unsigned long& xmlSize, char* csv,
                         unsigned long& csvSize) override
    {
        return heard(calls, "getControllerLog two", type, xml != nullptr, xmlSize, csv != nullptr, csvSize);
    }
    Ret clearControllerLog(EnumLogTypeRequest type) override { return heard(calls, "clearControllerLog", type); }
    Ret setDataScrubActive(bool on) override { return heard(calls, "setDataScrubActive", on); }
    Ret setDataScrubRate(EnumPriorityLevel level) override { return heard(calls, "setDataScrubRate level", level); }
    Ret setDataScrubRate(unsigned long days) override { return heard(calls, "setDataScrubRate days", days); }
    Ret pauseResumeIO(unsigned long pause) override { return heard(calls, "pauseResumeIO", pause); }
    Ret upgradeControllerFirmware(const char* file, bool flag) override
    {
        return heard(calls, "upgradeControllerFirmware", file, flag);
    }
    Ret isPaused(bool&) override { return heard(calls, "isPaused"); }
    Ret setAutoFailoverEnabled(bool on) override { return heard(calls, "setAutoFailoverEnabled", on); }
    Ret resetController() override { return heard(calls, "resetController"); }
    Ret setPhysicalDriveCache(EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas) override
    {
        return heard(calls, "adapter setPhysicalDriveCache", sata, sas);
    }
    Ret setDefaultLDTaskPriority(EnumPriorityLevel level, bool running) override
    {
        return heard(calls, "setDefaultLDTaskPriority", level, running);
    }
    Ret setPerformanceMode(EnumPerformanceMode mode) override { return heard(calls, "setPerformanceMode", mode); }
    Ret setPMStayAwakePeriod(unsigned long a, unsigned long b, unsigned long c, unsigned char d) override
    {
        return heard(calls, "setPMStayAwakePeriod", a, b, c, d);
    }
    Ret setPMSpinupLimits(unsigned long a, unsigned long b) override { return heard(calls, "setPMSpinupLimits", a, b); }
    Ret clearNvsRam() override { return heard(calls, "clearNvsRam"); }
    Ret initializeHardDriveSet(AddrCollection& set, bool flag) override
    {
        return heard(calls, "initializeHardDriveSet", set, flag);
    }
    Ret protectHardDriveSet(AddrCollection& set, bool a, bool b) override
    {
        return heard(calls, "protectHardDriveSet", set, a, b);
    }
    Ret scanForDrives(bool async) override { return heard(calls, "scanForDrives", async); }
    Ret abortTask(unsigned long id) override { return heard(calls, "abortTask", id); }
    Ret testAllSpares() override { return heard(calls, "testAllSpares"); }
    Ret setCopyBack(bool on) override { return heard(calls, "setCopyBack", on); }
    Ret setOrvexaWrite(bool on) override { return heard(calls, "setOrvexaWrite", on); }
    Ret startControllerDiagnostic(EnumAdapterDiagType type) override
    {
        return heard(calls, "startControllerDiagnostic", type);
    }
    Ret startBatteryCalibration() override { return heard(calls, "startBatteryCalibration"); }
    Ret clearPPITable() override { return heard(calls, "clearPPITable"); }
    Ret addDriveToOrvexaPool(AddrCollection& set) override { return heard(calls, "addDriveToOrvexaPool", set); }
    Ret removeDriveFromOrvexaPool(AddrCollection& set) override
    {
        return heard(calls, "removeDriveFromOrvexaPool", set);
    }
    Ret clearOrvexaPool() override { return heard(calls, "clearOrvexaPool"); }
    Ret isOrvexaHasDirtyData() override { return heard(calls, "isOrvexaHasDirtyData"); }
    Ret setOrvexaFlushAndFetchRate(unsigned long rate) override
    {
        return heard(calls, "setOrvexaFlushAndFetchRate", rate);
    }
    Ret setDirtyPageThresholdValue(unsigned long value) override
    {
        return heard(calls, "setDirtyPageThresholdValue", value);
    }
    Ret setOrvexaRWFactor(unsigned long r, unsigned long w) override { return heard(calls, "setOrvexaRWFactor", r, w); }
    Ret setSataNCQ(bool on) override { return heard(calls, "setSataNCQ", on); }
    Ret getSmartStats(char*, unsigned long& size) override { return heard(calls, "getSmartStats", size); }
    Ret getAdapterStats(char*, unsigned long& size) override { return heard(calls, "getAdapterStats", size); }
    Ret setStatisticDataCollectionMode(bool on) override
    {
        return heard(calls, "setStatisticDataCollectionMode", on);
    }
    Ret resetStatisticsCounters() override { return heard(calls, "resetStatisticsCounters"); }
    Ret getProgress(ProgressCollection&) override { return heard(calls, "adapter getProgress"); }
    Ret setTaskPriority(unsigned long id, EnumPriorityLevel level) override
    {
        return heard(calls, "adapter setTaskPriority", id, level);
    }

    Calls& calls;
};

class RowDrive : public HardDrive {
public:
    explicit RowDrive(Calls& calls) : calls(calls)
    {
        setChannelID(0);
        setDeviceID(1);
    }
    using HardDrive::createAssignedHotSpare;
    using HardDrive::getProgress;
    Ret upgradeSASDriveFirmware(const char* file, unsigned long chunk, unsigned char mode) override
    {
        return heard(calls, "upgradeSASDriveFirmware", file, chunk, mode);
    }
    Ret upgradeSATADriveFirmware(const char* file, unsigned long chunk, unsigned char mode) override
    {
        return heard(calls, "upgradeSATADriveFirmware", file, chunk, mode);
    }
    Ret startTask(EnumHardDriveTask task, const char* text) override { return heard(calls, "startTask", task, text); }
    Ret setWriteCacheEnable(bool on) override { return heard(calls, "setWriteCacheEnable", on); }
    Ret createJBOD() override { return heard(calls, "createJBOD"); }
    Ret deleteJBOD() override { return heard(calls, "deleteJBOD"); }
    Ret setState(EnumPhysicalDeviceState state) override { return heard(calls, "device setState", state); }
    Ret createGlobalHotSpare() override { return heard(calls, "createGlobalHotSpare"); }
    Ret createAssignedHotSpare(const AddrCollection& set) override
    {
        return heard(calls, "createAssignedHotSpare", set);
    }
    Ret deleteHotSpare() override { return heard(calls, "deleteHotSpare"); }
    Ret deleteAssignedHotSpare(const AddrCollection& set) override
    {
        return heard(calls, "deleteAssignedHotSpare", set);
    }
    Ret identifyDevice(bool on) override { return heard(calls, "device identifyDevice", on); }
    Ret initializeHardDrive() override { return heard(calls, "initializeHardDrive"); }
    Ret scsiPassThruCommand(SCSICommand&) override { return heard(calls, "scsiPassThruCommand"); }
    Ret downHardDrive(bool down) override { return heard(calls, "downHardDrive", down); }
    Ret getProgress(ProgressCollection&) override { return heard(calls, "drive getProgress"); }
    Ret startDiskDiagnostic(EnumDiskDiagType type) override { return heard(calls, "startDiskDiagnostic", type); }
    Ret abortDiskDiagnostic() override { return heard(calls, "abortDiskDiagnostic"); }
    Ret getDiskDiagnosticProgress(DISK_DIAGNOSTIC_STATE&) override { return heard(calls, "getDiskDiagnosticProgress"); }
    Ret getDiskDiagnosticResults(DISK_DIAGNOSTIC_STATE&) override { return heard(calls, "getDiskDiagnosticResults"); }
    Ret setATASecurePassword(const char* text) override { return heard(calls, "setATASecurePassword", text); }
    Ret clearATASecurePassword(const char* text) override { return heard(calls, "clearATASecurePassword", text); }

    Calls& calls;
};

class RowLogicalDrive : public LogicalDrive {
public:
    explicit RowLogicalDrive(Calls& calls) : LogicalDrive(nullptr, 3), calls(calls) {}
    using LogicalDrive::getProgress;
    Ret setName(const char* name) override { return heard(calls, "setName", name); }
    Ret setCache(EnumLogicalDriveCacheMode r, EnumLogicalDriveCacheMode w) override
    {
        return heard(calls, "setCache", r, w);
    }
    Ret verify() override { return heard(calls, "verify"); }
    Ret synchronize() override { return heard(calls, "synchronize"); }
    Ret initializeLogicalDrive(EnumInitMethod method, EnumPriorityLevel level) override
    {
        return heard(calls, "initializeLogicalDrive", method, level);
    }
    Ret deleteLogicalDrive() override { return heard(calls, "deleteLogicalDrive"); }
    Ret setStripeSize(EnumStripeSize size) override { return heard(calls, "setStripeSize", size); }
    Ret increaseSize(const std::vector<ChunkSpec>& chunks, EnumPriorityLevel level) override
    {
        return heard(calls, "increaseSize", chunks.size(), level);
    }
    Ret modify(const LogicalDriveSpec&) override { return heard(calls, "modify"); }
    Ret setBootable(bool on) override { return heard(calls, "setBootable", on); }
    Ret setState(EnumLogicalDeviceState state, EnumLogicalDeviceFOCmd cmd, unsigned long value) override
    {
        return heard(calls, "logical setState", state, cmd, value);
    }
    Ret setPMEnabled(bool on) override { return heard(calls, "setPMEnabled", on); }
    Ret setPMTimers(unsigned long a, unsigned long b, unsigned long c) override
    {
        return heard(calls, "setPMTimers", a, b, c);
    }
    Ret identifyDevice(bool on) override { return heard(calls, "logical identifyDevice", on); }
    Ret getProgress(ProgressCollection&) override { return heard(calls, "logical getProgress"); }
    Ret setTaskPriority(unsigned long id, EnumPriorityLevel level) override
    {
        return heard(calls, "logical setTaskPriority", id, level);
    }
    Ret setOrvexaPreferredCache(EnumOrvexaPreferredSetting setting) override
    {
        return heard(calls, "setOrvexaPreferredCache", setting);
    }
    Ret setPreferredOrvexaWriteCache(EnumOrvexaWriteCachePreferredSetting setting,
                                     EnumOrvexaWriteCachePolicySetting policy) override
    {
        return heard(calls, "setPreferredOrvexaWriteCache", setting, policy);
    }

    Calls& calls;
};

class RowChannel : public Channel {
public:
    explicit RowChannel(Calls& calls) : calls(calls) { setChannelID(5); }
    Ret identifyDevice(bool on) override { return heard(calls, "channel identifyDevice", on); }
    Calls& calls;
};

class RowEnclosure : public Enclosure {
public:
    explicit RowEnclosure(Calls& calls) : calls(calls)
    {
        setChannelID(0);
        setDeviceID(9);
    }
    Ret setAlarmState(EnumAlarmState state) override { return heard(calls, "enclosure setAlarmState", state); }
    Calls& calls;
};

// An SES device with one enclosure element, whose control element sits at
// byte 12 of the control page.
class RowSES : public SES2EnclosureDevice {
public:
    explicit RowSES(Calls& calls) : calls(calls)
    {
        setChannelID(0);
        setDeviceID(7);
        std::vector<unsigned char> config(16, 0);
        config[0] = 0x01;
        config[3] = 12;
        config[8 + 2] = 1;  // one type header, right after a 4-byte descriptor
        config[12] = 0x0E;
        config[13] = 1;
        setConfigurationPage(Buffer(static_cast<unsigned long>(config.size()), config.data()));
    }
    Ret setAlarmState(EnumAlarmState state) override { return heard(calls, "ses setAlarmState", state); }
    Ret sendDiagnosticPage(EnumSESPageCodes code, unsigned char* page, unsigned long length) override
    {
        return heard(calls, "sendDiagnosticPage", code, length, page[12], page[13], page[14], page[15]);
    }
    Calls& calls;
};

struct RowTree {
    Calls calls;
    RowAdapter* adapter = nullptr;
    RowDrive* drive = nullptr;
    RowLogicalDrive* logicalDrive = nullptr;
    RowChannel* channel = nullptr;
    Array* array = nullptr;
    RowEnclosure* enclosure = nullptr;
    RowSES* ses = nullptr;
    SESElement* element = nullptr;
};

class RowSystem : public System {
public:
    explicit RowSystem(RowTree& tree) : System(STORLIB_TYPE_VYN), tree(tree) {}
    void buildChildren(StorLib*, Ret&) override
    {
        tree.adapter = new RowAdapter(tree.calls);
        addChild(tree.adapter);
        tree.drive = new RowDrive(tree.calls);
        tree.adapter->addChild(tree.drive);
        tree.logicalDrive = new RowLogicalDrive(tree.calls);
        tree.adapter->addChild(tree.logicalDrive);
        tree.channel = new RowChannel(tree.calls);
        tree.adapter->addChild(tree.channel);
        tree.array = new Array(tree.adapter, 2, 100, 0, 0);
        tree.adapter->addChild(tree.array);
        tree.enclosure = new RowEnclosure(tree.calls);
        tree.adapter->addChild(tree.enclosure);
        tree.ses = new RowSES(tree.calls);
        tree.adapter->addChild(tree.ses);
        tree.element = new SESElement(1, "chassis", 0x0E);
        tree.ses->addChild(tree.element);
    }
    int getControllerCount(StorLib*, Ret&) override { return 1; }

private:
    RowTree& tree;
};

class RowLib : public StorLibPlugin {
public:
    explicit RowLib(RowTree& tree) : StorLibPlugin(STORLIB_TYPE_VYN), tree(tree) {}
    System* newSystem() override { return new RowSystem(tree); }

private:
    RowTree& tree;
};

enum class Target { Controller, Drive, LogicalDrive, Channel, Array, Enclosure, SES, Element };

// Scratch arguments of one call.
struct RowArgs {
    char text[64] = "text";
    char* out = nullptr;
    unsigned long size = 11;
    unsigned long size2 = 12;
    bool flag = false;
    EnumAlarmState alarm = ALARM_NONE;
    Buffer buffer{3};
    AddrCollection drives;
    StorEventCollection events{1, 1, 16};
    ProgressCollection tasks;
    std::vector<GenericRecord> records;
    std::vector<ChunkSpec> chunks = std::vector<ChunkSpec>(2);
    LogicalDriveSpec spec;
    SCSICommand command;
    alignas(8) unsigned char diagnostic[64] = {};
    DISK_DIAGNOSTIC_STATE& state() { return *reinterpret_cast<DISK_DIAGNOSTIC_STATE*>(diagnostic); }

    RowArgs() { drives.addAddr(Addr(0)); }
    ~RowArgs() { delete[] out; }
};

struct Row {
    const char* name;
    Target target;
    std::function<Ret(StorLibPlugin&, const Addr&, RowArgs&)> call;
    const char* heard;  // what the target records; null when nothing is called
    int code;           // the return code the facade gives
};

#define ROW(target, heard, code, name, ...)                                                 \
    Row                                                                                      \
    {                                                                                        \
        #name, Target::target,                                                               \
            [](StorLibPlugin& lib, const Addr& a, RowArgs& x) {                              \
                (void)x;                                                                     \
                return lib.name(a, __VA_ARGS__);                                             \
            },                                                                               \
            heard, code                                                                      \
    }
#define ROW0(target, heard, code, name)                                                      \
    Row                                                                                      \
    {                                                                                        \
        #name, Target::target, [](StorLibPlugin& lib, const Addr& a, RowArgs&) { return lib.name(a); }, heard, \
            code                                                                             \
    }

const int HEARD = -40;

const std::vector<Row> rows = {
    ROW(Controller, "createLogicalDrive", HEARD, createLogicalDrive, x.spec),
    ROW(Controller, "getEvents text 5", HEARD, getEvents, 5, &x.out),
    ROW(Controller, "getEvents records 6", HEARD, getEvents, 6, x.records),
    ROW(Controller, "getEvents collection", HEARD, getEvents, x.events),
    ROW(Controller, "adapter setAlarmState 2", HEARD, setAlarmState, ALARM_OFF),
    ROW(Enclosure, "enclosure setAlarmState 3", HEARD, setAlarmState, ALARM_SILENCE),
    ROW(SES, "ses setAlarmState 4", HEARD, setAlarmState, ALARM_TEST),
    ROW(Controller, nullptr, 0, getAlarmState, x.alarm),
    ROW(Controller, "setConfiguration 3", HEARD, setControllerConfiguration, EnumConfigurationSource(2), x.buffer),
    ROW(Controller, "getConfiguration", HEARD, getControllerConfiguration, x.buffer),
    ROW(Controller, "getControllerLog 2 2097664 0", HEARD, getControllerLog, EnumLogTypeRequest(2), &x.out, &x.size),
    ROW(Controller, "getControllerLog 3 11 4", HEARD, getControllerLog, EnumLogTypeRequest(3), x.text, x.size, 4),
    ROW(Controller, "getControllerLog two 4 1 11 1 12", HEARD, getControllerLog, EnumLogTypeRequest(4), x.text,
        x.size, x.text, x.size2),
    ROW(Controller, "getControllerLog two 5 1 3146240 0 3146240", HEARD, getControllerLog, EnumLogTypeRequest(5),
        &x.out, &x.size, nullptr, &x.size2),
    ROW(Controller, "clearControllerLog 6", HEARD, clearControllerLog, EnumLogTypeRequest(6)),
    ROW(Controller, "setDataScrubActive 1", HEARD, setDataScrubActive, true),
    ROW(Controller, "setDataScrubRate level 3", HEARD, setDataScrubRate, EnumPriorityLevel(3)),
    ROW(Controller, "setDataScrubRate days 7", HEARD, setDataScrubRate, 7ul),
    ROW(Controller, "pauseResumeIO 8", HEARD, pauseResumeIO, 8),
    ROW(Controller, "upgradeControllerFirmware fw.bin 1", HEARD, upgradeControllerFirmware, "fw.bin", true),
    ROW(Drive, "upgradeSASDriveFirmware sas.bin 9 2", HEARD, upgradeSASDriveMicrocode, "sas.bin", 9, 2),
    ROW(Drive, "upgradeSATADriveFirmware sata.bin 10 3", HEARD, upgradeSATADriveMicrocode, "sata.bin", 10, 3),
    ROW(Controller, "isPaused", HEARD, isControllerPaused, x.flag),
    ROW(Controller, "setAutoFailoverEnabled 1", HEARD, setAutoFailover, true),
    ROW0(Controller, "resetController", HEARD, resetController),
    ROW(Controller, "adapter setPhysicalDriveCache 1 2", HEARD, setControllerPhysicalDriveCache,
        EnumHardDriveCacheMode(1), EnumHardDriveCacheMode(2)),
    ROW(Controller, "setDefaultLDTaskPriority 2 1", HEARD, setDefaultLDTaskPriority, EnumPriorityLevel(2), true),
    ROW(Controller, "setPerformanceMode 3", HEARD, setPerformanceMode, EnumPerformanceMode(3)),
    ROW(Controller, "setPMStayAwakePeriod 1 2 3 4", HEARD, setPMControllerStayAwakePeriod, 1, 2, 3, 4),
    ROW(Controller, "setPMSpinupLimits 5 6", HEARD, setPMControllerSpinupLimits, 5, 6),
    ROW0(Controller, "clearNvsRam", HEARD, clearControllerNvsRam),
    ROW(LogicalDrive, "setName data", HEARD, setLogicalDriveName, "data"),
    ROW(LogicalDrive, "setCache 1 2", HEARD, setLogicalDriveCache, EnumLogicalDriveCacheMode(1),
        EnumLogicalDriveCacheMode(2)),
    ROW(Drive, "startTask 3 (null)", HEARD, startTask, EnumTaskType(1), x.text),
    ROW(LogicalDrive, "synchronize", HEARD, startTask, EnumTaskType(4), x.text),
    ROW(Drive, "setWriteCacheEnable 0", HEARD, setPhysicalDriveCache, EnumHardDriveCacheMode(1)),
    ROW(LogicalDrive, "verify", HEARD, synchronizeLogicalDrive, false),
    ROW(LogicalDrive, "initializeLogicalDrive 2 3", HEARD, initializeLogicalDrive, EnumInitMethod(2),
        EnumPriorityLevel(3)),
    ROW0(LogicalDrive, "deleteLogicalDrive", HEARD, deleteLogicalDrive),
    ROW0(Array, nullptr, 0, deleteArray),
    ROW(LogicalDrive, "setStripeSize 4", HEARD, setStripeSize, EnumStripeSize(4)),
    ROW(LogicalDrive, "increaseSize 2 1", HEARD, increaseLogicalDriveSize, x.chunks, EnumPriorityLevel(1)),
    ROW(LogicalDrive, "modify", HEARD, modifyLogicalDrive, x.spec),
    ROW(LogicalDrive, "setBootable 1", HEARD, setLogicalDriveBootable, true),
    ROW(LogicalDrive, "logical setState 3 2 9", HEARD, setLogicalDriveState, EnumLogicalDeviceState(3),
        EnumLogicalDeviceFOCmd(2), 9),
    ROW(LogicalDrive, "setPMEnabled 1", HEARD, setPMLogicalDriveEnabled, true),
    ROW(LogicalDrive, "setPMTimers 7 8 9", HEARD, setPMLogicalDriveTimers, 7, 8, 9),
    ROW0(Drive, "createJBOD", HEARD, createJBOD),
    ROW0(Drive, "deleteJBOD", HEARD, deleteJBOD),
    ROW(Drive, "device setState 3", HEARD, setDeviceState, EnumPhysicalDeviceState(3)),
    ROW0(Drive, "createGlobalHotSpare", HEARD, createGlobalHotSpare),
    ROW(Drive, "createAssignedHotSpare set1", HEARD, createAssignedHotSpare, x.drives),
    ROW0(Drive, "deleteHotSpare", HEARD, deleteHotSpare),
    ROW(Drive, "deleteAssignedHotSpare set1", HEARD, deleteAssignedHotSpare, x.drives),
    ROW(Drive, "device identifyDevice 1", HEARD, identifyDevice, EnumIdentifyOption(0)),
    ROW(LogicalDrive, "logical identifyDevice 0", HEARD, identifyDevice, EnumIdentifyOption(2)),
    ROW(Channel, "channel identifyDevice 1", HEARD, identifyDevice, EnumIdentifyOption(0)),
    ROW0(Drive, "initializeHardDrive", HEARD, initializeHardDrive),
    ROW(Controller, "initializeHardDriveSet set1 1", HEARD, initializeHardDriveSet, x.drives, true),
    ROW(Controller, "protectHardDriveSet set1 1 0", HEARD, protectHardDriveSet, x.drives, true, false),
    ROW(Drive, "scsiPassThruCommand", HEARD, scsiPassThruCommand, x.command),
    ROW(Drive, "downHardDrive 1", HEARD, downHardDrive, true),
    ROW0(Controller, "scanForDrives 0", HEARD, syncRescan),
    ROW0(Controller, "scanForDrives 1", HEARD, asyncRescan),
    ROW(Drive, "drive getProgress", HEARD, getTasks, &x.out),
    ROW(Controller, "adapter getProgress", HEARD, getTasks, x.tasks),
    ROW(LogicalDrive, "logical getProgress", HEARD, getTasks, x.tasks),
    ROW(Controller, "adapter setTaskPriority 4 1", HEARD, setTaskPriority, 4, EnumPriorityLevel(1)),
    ROW(LogicalDrive, "logical setTaskPriority 5 2", HEARD, setTaskPriority, 5, EnumPriorityLevel(2)),
    ROW(Controller, "abortTask 6", HEARD, abortTask, 6),
    ROW0(Controller, "testAllSpares", HEARD, testAllSpares),
    ROW(Controller, "setCopyBack 1", HEARD, setCopyBack, true),
    ROW(Controller, "setOrvexaWrite 0", HEARD, setOrvexaWrite, false),
    ROW(Drive, "startDiskDiagnostic 2", HEARD, startDiskDiagnostic, EnumDiskDiagType(2)),
    ROW0(Drive, "abortDiskDiagnostic", HEARD, abortDiskDiagnostic),
    ROW(Drive, "getDiskDiagnosticProgress", HEARD, getDiskDiagnosticProgress, x.state()),
    ROW(Drive, "getDiskDiagnosticResults", HEARD, getDiskDiagnosticResults, x.state()),
    ROW(Controller, "startControllerDiagnostic 3", HEARD, startControllerDiagnostic, EnumAdapterDiagType(3)),
    ROW0(Controller, "startBatteryCalibration", HEARD, startBatteryCalibration),
    ROW(Drive, "startTask 2 (null)", HEARD, startHardDriveTask, EnumHardDriveTask(2)),
    ROW0(Controller, "clearPPITable", HEARD, clearPPITable),
    ROW(SES, "sendDiagnosticPage 2 16 129 2 3 4", HEARD, setSesControlBytes, 0x81, 2, 3, 4),
    ROW(Element, "sendDiagnosticPage 2 16 133 6 7 8", HEARD, setSesControlBytes, 0x85, 6, 7, 8),
    ROW(Controller, "addDriveToOrvexaPool set1", HEARD, addDriveToOrvexaPool, x.drives),
    ROW(Controller, "removeDriveFromOrvexaPool set1", HEARD, removeDriveFromOrvexaPool, x.drives),
    ROW0(Controller, "clearOrvexaPool", HEARD, clearOrvexaPool),
    ROW0(Controller, "isOrvexaHasDirtyData", HEARD, isOrvexaHasDirtyData),
    ROW(LogicalDrive, "setOrvexaPreferredCache 2", HEARD, setOrvexaPreferredCache, EnumOrvexaPreferredSetting(2)),
    ROW(LogicalDrive, "setPreferredOrvexaWriteCache 1 2", HEARD, setPreferredOrvexaWriteCache,
        EnumOrvexaWriteCachePreferredSetting(1), EnumOrvexaWriteCachePolicySetting(2)),
    ROW(Controller, "setOrvexaFlushAndFetchRate 3", HEARD, setOrvexaFlushAndFetchRate, 3),
    ROW(Controller, "setDirtyPageThresholdValue 4", HEARD, setDirtyPageThresholdValue, 4),
    ROW(Controller, "setOrvexaRWFactor 5 6", HEARD, setOrvexaRWFactor, 5, 6),
    ROW(Controller, "setSataNCQ 1", HEARD, setSataNCQ, true),
    ROW(Controller, "getSmartStats 11", HEARD, getSmartStats, x.text, x.size),
    ROW(Controller, "getAdapterStats 11", HEARD, getControllerStats, x.text, x.size),
    ROW(Controller, "setStatisticDataCollectionMode 1", HEARD, setStatisticDataCollectionMode, true),
    ROW(Drive, "setATASecurePassword pw", HEARD, configureATAPassword, "pw", true),
    ROW0(Controller, "resetStatisticsCounters", HEARD, resetStatisticsCounters),
};
#undef ROW
#undef ROW0

class FacadeEveryRowTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        lib = std::make_unique<RowLib>(tree);
        ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    }
    void TearDown() override
    {
        lib.reset();
        StorDebugDeleteAll();
        HostRootTest::TearDown();
    }
    const Addr& addressOf(Target target) const
    {
        switch (target) {
        case Target::Controller: return tree.adapter->getAddr();
        case Target::Drive: return tree.drive->getAddr();
        case Target::LogicalDrive: return tree.logicalDrive->getAddr();
        case Target::Channel: return tree.channel->getAddr();
        case Target::Array: return tree.array->getAddr();
        case Target::Enclosure: return tree.enclosure->getAddr();
        case Target::SES: return tree.ses->getAddr();
        case Target::Element: return tree.element->getAddr();
        }
        return tree.adapter->getAddr();
    }

    RowTree tree;
    std::unique_ptr<RowLib> lib;
};

TEST_F(FacadeEveryRowTest, EachRowReachesItsTargetWithItsArgumentsAndGivesBackItsAnswer)
{
    for (const Row& row : rows) {
        tree.calls.clear();
        RowArgs args;
        const Ret ret = row.call(*lib, addressOf(row.target), args);
        EXPECT_EQ(tree.calls, row.heard != nullptr ? Calls{row.heard} : Calls{}) << row.name;
        if (row.code == HEARD)
            EXPECT_EQ(ret, targetAnswer()) << row.name;
        else
            EXPECT_EQ(ret.getReturn(), row.code) << row.name;
    }
}

TEST_F(FacadeEveryRowTest, EachRowRefusesAnObjectOfAnotherClass)
{
    // The array accepts only deleteArray; the channel only identifyDevice.
    for (const Row& row : rows) {
        const Target other = row.target == Target::Array ? Target::Channel : Target::Array;
        tree.calls.clear();
        RowArgs args;
        EXPECT_EQ(row.call(*lib, addressOf(other), args).getReturn(), -2) << row.name;
        EXPECT_TRUE(tree.calls.empty()) << row.name;
    }
}

TEST_F(FacadeEveryRowTest, AlarmStateIsTheStoredOne)
{
    EnumAlarmState state = ALARM_NONE;
    EXPECT_EQ(lib->getAlarmState(tree.adapter->getAddr(), state).getReturn(), 0);
    EXPECT_EQ(state, ALARM_SILENCE);
    EXPECT_TRUE(tree.calls.empty());
}

} // namespace
