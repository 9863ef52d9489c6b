#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RaidLib/TestLib.h"
#include "common/AddrCollection.h"
#include "common/Buffer.h"
#include "common/Progress.h"
#include "common/StorEvent.h"

using vyntest::LibraryTest;
using vyntest::TestLib;

namespace {

constexpr std::uint32_t U = Addr::UNSET_ID;
constexpr std::uint64_t UC = Addr::UNSET_CHUNK_ID;

// The arguments the operations write to or read from.
struct OpArgs {
    char* out = nullptr;
    char text[64] = {};
    unsigned long size = sizeof text;
    bool flag = false;
    EnumAlarmState alarm = ALARM_NONE;
    Buffer buffer;
    AddrCollection drives;
    StorEventCollection events{1, 1, 16};
    ProgressCollection tasks;

    ~OpArgs() { delete[] out; }
};

struct Operation {
    const char* name;
    std::function<Ret(StorLibPlugin&, const Addr&, OpArgs&)> call;
};

// Every operation whose argument types the model already provides.
#define OP(name, ...)                                                          \
    {                                                                          \
        #name, [](StorLibPlugin& lib, const Addr& a, OpArgs& x) {              \
            (void)x;                                                           \
            return lib.name(a, __VA_ARGS__);                                   \
        }                                                                      \
    }
#define OP0(name) \
    {#name, [](StorLibPlugin& lib, const Addr& a, OpArgs&) { return lib.name(a); }}
const std::vector<Operation> operations = {
    OP(getEvents, 1, &x.out),
    OP(getEvents, x.events),
    OP(setAlarmState, EnumAlarmState(1)),
    OP(getAlarmState, x.alarm),
    OP(setControllerConfiguration, EnumConfigurationSource(1), x.buffer),
    OP(getControllerConfiguration, x.buffer),
    OP(getControllerLog, EnumLogTypeRequest(1), &x.out, &x.size),
    OP(getControllerLog, EnumLogTypeRequest(1), x.text, x.size, 0),
    OP(getControllerLog, EnumLogTypeRequest(1), x.text, x.size, x.text, x.size),
    OP(getControllerLog, EnumLogTypeRequest(1), &x.out, &x.size, &x.out, &x.size),
    OP(clearControllerLog, EnumLogTypeRequest(1)),
    OP(setDataScrubActive, true),
    OP(setDataScrubRate, EnumPriorityLevel(1)),
    OP(setDataScrubRate, 1),
    OP(pauseResumeIO, 1),
    OP(upgradeControllerFirmware, "x", true),
    OP(upgradeSASDriveMicrocode, "x", 1, 1),
    OP(upgradeSATADriveMicrocode, "x", 1, 1),
    OP(isControllerPaused, x.flag),
    OP(setAutoFailover, true),
    OP0(resetController),
    OP(setControllerPhysicalDriveCache, EnumHardDriveCacheMode(1), EnumHardDriveCacheMode(1)),
    OP(setDefaultLDTaskPriority, EnumPriorityLevel(1), true),
    OP(setPerformanceMode, EnumPerformanceMode(1)),
    OP(setPMControllerStayAwakePeriod, 1, 1, 1, 1),
    OP(setPMControllerSpinupLimits, 1, 1),
    OP0(clearControllerNvsRam),
    OP(setLogicalDriveName, "x"),
    OP(setLogicalDriveCache, EnumLogicalDriveCacheMode(1), EnumLogicalDriveCacheMode(1)),
    OP(startTask, EnumTaskType(1), x.text),
    OP(setPhysicalDriveCache, EnumHardDriveCacheMode(1)),
    OP(synchronizeLogicalDrive, true),
    OP(initializeLogicalDrive, EnumInitMethod(1), EnumPriorityLevel(1)),
    OP0(deleteLogicalDrive),
    OP0(deleteArray),
    OP(setStripeSize, EnumStripeSize(1)),
    OP(setLogicalDriveBootable, true),
    OP(setLogicalDriveState, EnumLogicalDeviceState(1), EnumLogicalDeviceFOCmd(1), 1),
    OP(setPMLogicalDriveEnabled, true),
    OP(setPMLogicalDriveTimers, 1, 1, 1),
    OP0(createJBOD),
    OP0(deleteJBOD),
    OP(setDeviceState, EnumPhysicalDeviceState(1)),
    OP0(createGlobalHotSpare),
    OP(createAssignedHotSpare, x.drives),
    OP0(deleteHotSpare),
    OP(deleteAssignedHotSpare, x.drives),
    OP(identifyDevice, EnumIdentifyOption(1)),
    OP0(initializeHardDrive),
    OP(initializeHardDriveSet, x.drives, true),
    OP(protectHardDriveSet, x.drives, true, true),
    OP(downHardDrive, true),
    OP0(syncRescan),
    OP0(asyncRescan),
    OP(getTasks, &x.out),
    OP(getTasks, x.tasks),
    OP(setTaskPriority, 1, EnumPriorityLevel(1)),
    OP(abortTask, 1),
    OP0(testAllSpares),
    OP(setCopyBack, true),
    OP(setOrvexaWrite, true),
    OP(startDiskDiagnostic, EnumDiskDiagType(1)),
    OP0(abortDiskDiagnostic),
    OP(startControllerDiagnostic, EnumAdapterDiagType(1)),
    OP0(startBatteryCalibration),
    OP(startHardDriveTask, EnumHardDriveTask(1)),
    OP0(clearPPITable),
    OP(setSesControlBytes, 1, 1, 1, 1),
    OP(addDriveToOrvexaPool, x.drives),
    OP(removeDriveFromOrvexaPool, x.drives),
    OP0(clearOrvexaPool),
    OP0(isOrvexaHasDirtyData),
    OP(setOrvexaPreferredCache, EnumOrvexaPreferredSetting(1)),
    OP(setPreferredOrvexaWriteCache, EnumOrvexaWriteCachePreferredSetting(1), EnumOrvexaWriteCachePolicySetting(1)),
    OP(setOrvexaFlushAndFetchRate, 1),
    OP(setDirtyPageThresholdValue, 1),
    OP(setOrvexaRWFactor, 1, 1),
    OP(setSataNCQ, true),
    OP(getSmartStats, x.text, x.size),
    OP(getControllerStats, x.text, x.size),
    OP(setStatisticDataCollectionMode, true),
    OP(configureATAPassword, "x", true),
    OP0(resetStatisticsCounters),
};
#undef OP
#undef OP0

const Addr controller0(0);

}  // namespace

class FacadeTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        lib->plan.adapterIDs = {0};
    }

};

TEST_F(FacadeTest, WithoutATreeEveryOperationReportsABadParameter)
{
    for (const Operation& op : operations) {
        OpArgs args;
        const Ret ret = op.call(*lib, controller0, args);
        EXPECT_EQ(ret.getReturn(), -2) << op.name;
        EXPECT_EQ(ret.getSignedReturn(), 0) << op.name;
    }
    EXPECT_EQ(lib->systemsMade, 0);
    EXPECT_NE(errorFile().find("*** Bad Parameter: curSystem==NULL ***"), std::string::npos);
}

TEST_F(FacadeTest, AnAddressThatMatchesNothingIsNotFound)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    const Addr missing(0x1234, U, 7, 2, 3, UC, U, U);
    for (const Operation& op : operations) {
        OpArgs args;
        EXPECT_EQ(op.call(*lib, missing, args).getReturn(), -12) << op.name;
    }
    EXPECT_NE(errorFile().find("*** Object Not Found (adapterID=0x00001234, channelID=0x00000002, "
                               "deviceID=0x00000003, logicalDriveID=0x00000007, "
                               "arrayID=0x7fffffff) ***"),
              std::string::npos)
        << errorFile();
}

TEST_F(FacadeTest, OnAControllerEachOperationReachesItOrRejectsTheClass)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    // Operations aimed at other classes; the rest reach the model's
    // controller, whose operations are not supported, except the stored
    // alarm state, which is read.
    const std::vector<std::string> otherClasses = {
        "upgradeSASDriveMicrocode", "upgradeSATADriveMicrocode", "setLogicalDriveName", "setLogicalDriveCache",
        "startTask", "setPhysicalDriveCache", "synchronizeLogicalDrive", "initializeLogicalDrive",
        "deleteLogicalDrive", "deleteArray", "setStripeSize", "setLogicalDriveBootable", "setLogicalDriveState",
        "setPMLogicalDriveEnabled", "setPMLogicalDriveTimers", "createJBOD", "deleteJBOD", "setDeviceState",
        "createGlobalHotSpare", "createAssignedHotSpare", "deleteHotSpare", "deleteAssignedHotSpare",
        "identifyDevice", "initializeHardDrive", "downHardDrive", "startDiskDiagnostic", "abortDiskDiagnostic",
        "startHardDriveTask", "setSesControlBytes", "setOrvexaPreferredCache", "setPreferredOrvexaWriteCache",
        "getControllerStats", "configureATAPassword", "increaseLogicalDriveSize", "modifyLogicalDrive",
        "getDiskDiagnosticProgress", "getDiskDiagnosticResults", "scsiPassThruCommand"};
    for (const Operation& op : operations) {
        OpArgs args;
        const Ret ret = op.call(*lib, controller0, args);
        const std::string name = op.name;
        const bool rejected = std::find(otherClasses.begin(), otherClasses.end(), name) != otherClasses.end();
        const int expected = rejected ? -2 : name == "getAlarmState" ? 0 : -1;
        EXPECT_EQ(ret.getReturn(), expected) << op.name;
        if (name == "getTasks" && args.out != nullptr)
            EXPECT_STREQ(args.out, "<ProgressCollection>\n\n</ProgressCollection>");
        else
            EXPECT_EQ(args.out, nullptr) << op.name;
    }
}

TEST_F(FacadeTest, TheLibraryTypeOfTheAddressIsIgnored)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    const Addr2 otherType(static_cast<EnumStorLibType>(5), 0, U, U, U, U, UC, U, U);
    const Addr2 sameType(STORLIB_TYPE_VYN, 0, U, U, U, U, UC, U, U);
    EXPECT_EQ(lib->resetController(otherType).getReturn(), -1);
    EXPECT_EQ(lib->resetController(sameType).getReturn(), -1);
    EXPECT_EQ(lib->resetController(Addr(1)).getReturn(), -12);
}

TEST_F(FacadeTest, SpareWrappersRunTheSameFrame)
{
    AddrCollection drives;
    EXPECT_EQ(lib->createGlobalSpare(controller0).getReturn(), -2);
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    // Spares are hard drives: a controller address is of the wrong class.
    EXPECT_EQ(lib->createGlobalSpare(controller0).getReturn(), -2);
    EXPECT_EQ(lib->createDedicatedSpare(controller0, drives).getReturn(), -2);
    EXPECT_EQ(lib->deleteSpare(Addr(9)).getReturn(), -12);
    EXPECT_EQ(lib->removeDedicatedSpare(controller0, drives).getReturn(), -2);
}

// The n-th operation of that name in the table (overloads in slot order).
const Operation& operation(const std::string& name, int n)
{
    for (const Operation& op : operations) {
        if (name == op.name && n-- == 0) {
            return op;
        }
    }
    throw std::invalid_argument(name);
}

TEST_F(FacadeTest, OverloadsTraceUnderTheirOwnLabels)
{
    const struct {
        const char* name;
        int overload;
        const char* label;
    } cases[] = {
        {"getEvents", 0, "StorLib::getEvents(char**)"},
        {"getEvents", 1, "StorLib::getEvents(StorEventCollection &)"},
        {"getControllerLog", 0, "StorLib::getControllerLog(char **)"},
        {"getControllerLog", 1, "StorLib::getControllerLog(char *)"},
        {"getControllerLog", 2, "StorLib::getControllerLog(char *)"},
        {"getControllerLog", 3, "StorLib::getControllerLog(char **, ULONG*, char**, ULONG *)"},
        {"getTasks", 0, "StorLib::getTasks(char**)"},
        {"getTasks", 1, "StorLib::getTasks(ProgressCollection &)"},
        {"setDataScrubRate", 0, "StorLib::setDataScrubRate()"},
        {"setDataScrubRate", 1, "StorLib::setDataScrubRate()"},
        {"setAlarmState", 0, "StorLib::setAlarmState()"},
    };
    const std::string traceFile = hostFile("/var/log/vyntrace.txt");
    for (const auto& c : cases) {
        vyntest::writeFile(traceFile, "");
        OpArgs args;
        operation(c.name, c.overload).call(*lib, controller0, args);
        const std::string trace = vyntest::readFile(traceFile);
        EXPECT_NE(trace.find(std::string(c.label) + " IN\n"), std::string::npos)
            << c.name << " " << c.overload << "\n" << trace;
    }
}

namespace {

// A controller whose reset answers a prepared record, or throws.
class ScriptedAdapter : public vyntest::TestAdapter {
public:
    ScriptedAdapter(const Ret& answer, bool throws)
        : TestAdapter(0, STORLIB_TYPE_VYN), answer_(answer), throws_(throws)
    {
    }
    Ret resetController() override
    {
        if (throws_)
            throw std::runtime_error("reset failed");
        return answer_;
    }

private:
    Ret answer_;
    bool throws_;
};

class ScriptedSystem : public System {
public:
    ScriptedSystem(const Ret& answer, bool throws) : System(STORLIB_TYPE_VYN), answer_(answer), throws_(throws) {}
    void buildChildren(StorLib*, Ret&) override { addChild(new ScriptedAdapter(answer_, throws_)); }
    int getControllerCount(StorLib*, Ret&) override { return 1; }

private:
    Ret answer_;
    bool throws_;
};

class ScriptedLib : public StorLibPlugin {
public:
    ScriptedLib(const Ret& answer, bool throws) : StorLibPlugin(STORLIB_TYPE_VYN), answer_(answer), throws_(throws) {}
    System* newSystem() override { return new ScriptedSystem(answer_, throws_); }

private:
    Ret answer_;
    bool throws_;
};

}  // namespace

TEST_F(FacadeTest, TheTargetsRecordIsHandedBackWholeAndItsExceptionsAreCaught)
{
    Ret answer;
    answer.setApiError(0x1234);
    answer.setMiscErrors(77, -9);
    ScriptedLib failing(answer, false);
    ASSERT_EQ(failing.getSystemConfig().getReturn(), 0);
    EXPECT_EQ(failing.resetController(controller0), answer);

    ScriptedLib throwing(Ret(0), true);
    ASSERT_EQ(throwing.getSystemConfig().getReturn(), 0);
    const Ret caught = throwing.resetController(controller0);
    EXPECT_EQ(caught.getReturn(), -13);
    EXPECT_NE(errorFile().find("*** Exception Caught ***"), std::string::npos);
}
