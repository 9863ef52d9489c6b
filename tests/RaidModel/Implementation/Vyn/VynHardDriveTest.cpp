// Hard drives of the family: the firmware words of each drive operation, the
// shared frame of attachment, write handle and error records, task progress,
// the predictive-failure warning and the XML attributes, on the scripted
// exports; and the drive operations of the command-line program over the
// simulated controller, seen by the next process.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynChunk.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "ScriptedFsaExports.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;
using vyntest::words;

using vyntest::kWriteHandle;
constexpr uint32_t kTarget = 3;

// Drive-operation arguments the fake keeps, by position.
enum DriveOpKept { OP, BUS, TARGET, HAS_BLOCK, WORD1, WORD2, PASSWORD, EXTRA };

FSA_STORAGE_DEVICE_INFO diskRecord()
{
    FSA_STORAGE_DEVICE_INFO r;
    std::memset(&r, 0, sizeof r);
    r.address.storageDeviceType = 1;
    r.address.targetId = kTarget;
    r.numBlocksLow = 1000000;
    r.numUsableBlocksLow = 999000;
    r.maxUsableBlocksLow = 999000;
    r.bytesPerBlock = 512;
    r.negotiatedSpeedInMbps = 3000;
    return r;
}

std::string xmlOf(const RaidObject& node, bool userForm)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    if (userForm)
        node.writeToXML(&writer);
    else
        node.writeTo(&writer);
    return text != nullptr ? std::string(text) : std::string();
}

// The names of the attributes of an element text, in order.
std::vector<std::string> attributeNames(const std::string& xml)
{
    std::vector<std::string> names;
    for (size_t eq = xml.find("=\""); eq != std::string::npos; eq = xml.find("=\"", eq + 2)) {
        size_t start = xml.rfind(' ', eq);
        names.push_back(xml.substr(start + 1, eq - start - 1));
        eq = xml.find('"', eq + 2);
        if (eq == std::string::npos)
            break;
    }
    return names;
}

class VynHardDriveTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        // A controller that is never opened: every firmware call is the
        // scripted one.
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        _tagFSA_CHANNEL_ENUM_INFO c = {};
        channel = new VynSASChannel(adapter.get(), &c, static_cast<EnumSpeed>(400));
        adapter->addChild(channel);
        fsa.answerUnscripted(31);
        // The attachments of the SAS channel find their phys.
        fsa.scriptAlways("FsaGetDiskSasPhyInfo", 1);
    }
    // A drive under the channel, with an attachment made from the records
    // unless `attached` is false.
    VynHardDrive* drive(bool attached = true, const FSA_SMART_DATA* smart = nullptr)
    {
        auto* d = new VynHardDrive(adapter.get(), channel, kTarget, 1000000);
        channel->addChild(d);
        if (attached) {
            const FSA_STORAGE_DEVICE_INFO info = diskRecord();
            new VynPhysicalDeviceAttach(channel, d, &info, smart);
        }
        return d;
    }
    // The write handle opens for the next change.
    void handleOpens() { fsa.script("FsaOpenAdapter2A", 1, kWriteHandle); }
    std::vector<std::vector<uint64_t>> driveOps() const { return fsa.arguments("FsaStorageDevice2"); }

    ScriptedFsaExports fsa;
    TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
};

using Operation = std::function<Ret(VynHardDrive&)>;

DISK_DIAGNOSTIC_STATE& diagnosticState()
{
    alignas(8) static unsigned char record[132];
    return *reinterpret_cast<DISK_DIAGNOSTIC_STATE*>(record);
}

// Every change that reaches the drive through its attachment: its firmware
// call and the label of that call's error record.
struct Change {
    const char* name;
    Operation run;
    const char* missingText;
    const char* call;
    const char* label;
};

const std::vector<Change>& changes()
{
    static const std::vector<Change> all = {
        {"setWriteCacheEnable", [](VynHardDrive& d) { return d.setWriteCacheEnable(true); },
         "Hard drive object had no attachment", "FsaStorageDevice2", "FsaStorageDevice2()"},
        {"setPhysicalDriveCache", [](VynHardDrive& d) { return d.setPhysicalDriveCache(EnumHardDriveCacheMode(0)); },
         "Hard drive object had no attachment", "FsaStorageDevice2", "FsaStorageDevice2()"},
        {"initializeHardDrive", [](VynHardDrive& d) { return d.initializeHardDrive(); },
         "Hard drive object had no attachment", "FsaInitStorageDeviceForFsa", "FsaInitStorageDeviceForFsa()"},
        {"downHardDrive(true)", [](VynHardDrive& d) { return d.downHardDrive(true); },
         "Hard drive object had no attachment", "FsaStorageDevice2",
         "FsaStorageDevice2(x,x,FSA_SDO_FORCE_DOWN_DEVICE,x,x)"},
        {"downHardDrive(false)", [](VynHardDrive& d) { return d.downHardDrive(false); },
         "Hard drive object had no attachment", "FsaStorageDevice2",
         "FsaStorageDevice2(x,x,FSA_SDO_ENABLE_DEVICE,x,x)"},
        {"createJBOD", [](VynHardDrive& d) { return d.createJBOD(); }, "pAttach==NULL", "FsaCreateJBOD",
         "FsaCreateJBOD()"},
        {"deleteJBOD", [](VynHardDrive& d) { return d.deleteJBOD(); }, "pAttach==NULL", "FsaDeleteJBOD",
         "FsaDeleteJBOD()"},
        {"startTask", [](VynHardDrive& d) { return d.startTask(EnumHardDriveTask(1), nullptr); },
         "Hard drive object had no attachment", "FsaStorageDevice2", "FsaStorageDevice2(x,x,x,x,x)"},
        {"startDiskDiagnostic", [](VynHardDrive& d) { return d.startDiskDiagnostic(EnumDiskDiagType(1)); },
         "Hard drive object had no attachment", "FsaOnlineDiskDiagnostic", "FsaOnlineDiskDiagnostic(START)"},
        {"abortDiskDiagnostic", [](VynHardDrive& d) { return d.abortDiskDiagnostic(); },
         "Hard drive object had no attachment", "FsaOnlineDiskDiagnostic", "FsaOnlineDiskDiagnostic(ABORT)"},
        {"getDiskDiagnosticProgress",
         [](VynHardDrive& d) { return d.getDiskDiagnosticProgress(diagnosticState()); },
         "Hard drive object had no attachment", "FsaOnlineDiskDiagnostic", "FsaOnlineDiskDiagnostic(GET_PROGRESS)"},
        {"getDiskDiagnosticResults", [](VynHardDrive& d) { return d.getDiskDiagnosticResults(diagnosticState()); },
         "Hard drive object had no attachment", "FsaOnlineDiskDiagnostic", "FsaOnlineDiskDiagnostic(GET_RESULTS)"},
        {"setATASecurePassword", [](VynHardDrive& d) { return d.setATASecurePassword("pw"); },
         "Hard drive object had no attachment", "FsaStorageDevice2", "FsaStorageDevice2(x,x,x,x,x)"},
        {"clearATASecurePassword", [](VynHardDrive& d) { return d.clearATASecurePassword("pw"); },
         "Hard drive object had no attachment", "FsaStorageDevice2", "FsaStorageDevice2(x,x,x,x,x)"},
        {"SetWearOutParams", [](VynHardDrive& d) { return d.SetWearOutParams(1, 2, 3); },
         "Hard drive object had no attachment", "FSASetWearOutParams", "FSASetWearOutParams()"},
        {"setState(5)", [](VynHardDrive& d) { return d.setState(PD_REBUILDING); }, "HardDrive had no FSA attachment",
         "FsaStorageDevice2", "FsaStorageDevice2(x,x,FSA_SDO_VERIFY_REPLACE,x,x)"},
    };
    return all;
}

TEST_F(VynHardDriveTest, WithoutAnAttachmentNothingReachesTheFirmware)
{
    VynHardDrive* bare = drive(false);
    for (const Change& k : changes()) {
        SCOPED_TRACE(k.name);
        fsa.clearCalls();
        const bool stateFive = std::strcmp(k.name, "setState(5)") == 0;
        // Only setState opens its handle before it looks for the attachment.
        if (stateFive)
            handleOpens();
        const Ret ret = k.run(*bare);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(ret.getSignedReturn(), 0);
        EXPECT_EQ(errorCount(std::string("*** Bad Parameter: ") + k.missingText + ", paramValue=0 ***"),
                  1u)
            << errorLog();
        EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), stateFive ? 1u : 0u);
        EXPECT_EQ(fsa.count(k.call), 0u);
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
    }

    // The reads: no attachment, no address to ask about.
    fsa.clearCalls();
    SCSICommand command;
    EXPECT_EQ(bare->scsiPassThruCommand(command).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: Hard drive object had no attachment, paramValue=0 ***"), 1u);
    EXPECT_EQ(bare->identifyDevice(true).getReturn(), -2);
    Progress progress;
    EXPECT_EQ(bare->getProgress(progress).getReturn(), -2);
    ProgressCollection tasks;
    EXPECT_EQ(bare->getProgress(tasks).getReturn(), -2);
    EXPECT_EQ(tasks.getSize(), 0u);
    EXPECT_EQ(errorCount("*** Bad Parameter: pAttach==NULL, paramValue=0 ***"), 3u);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
    EXPECT_EQ(fsa.count("FsaGetTaskList"), 0u);
    // Nothing is known of the drive's health: no warning.
    EXPECT_EQ(bare->getPfaWarn(), 0);
    EXPECT_EQ(errorCount("*** Bad Parameter: HardDrive had no FSA attachment, paramValue=0 ***"), 1u);
}

TEST_F(VynHardDriveTest, EachChangeTakesAWriteHandleAndNamesItsFailingCall)
{
    VynHardDrive* d = drive();
    adapter->setFeature(featSecureErase, 1);
    for (const Change& k : changes()) {
        SCOPED_TRACE(k.name);
        // No write handle: busy, and the firmware is not asked.
        fsa.clearCalls();
        fsa.script("FsaOpenAdapter2A", 123);
        EXPECT_EQ(k.run(*d).getReturn(), -6);
        EXPECT_EQ(fsa.count(k.call), 0u);
        EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), 1u);

        // The call fails: its status in the Ret and one record naming it.
        handleOpens();
        fsa.script(k.call, 9);
        const Ret failed = k.run(*d);
        EXPECT_EQ(failed.getReturn(), -5);
        EXPECT_EQ(failed.getAPIReturn(), 9u);
        EXPECT_EQ(errorCount(std::string("*** FSA API Error: ") + k.label + " fsaStatus=9 ***"), 1u) << errorLog();

        // The call succeeds on the write handle, which is closed again.
        fsa.clearCalls();
        handleOpens();
        fsa.script(k.call, 1);
        EXPECT_EQ(k.run(*d), Ret(0));
        EXPECT_EQ(fsa.count(k.call), 1u);
        EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
    }
}

TEST_F(VynHardDriveTest, DriveOperationsSendTheirCodesAndBlocks)
{
    VynHardDrive* d = drive();
    adapter->setFeature(featSecureErase, 1);
    const char* password = "secret";
    const uint64_t passwordAt = reinterpret_cast<uintptr_t>(password);
    const struct {
        const char* name;
        Operation run;
        std::vector<uint64_t> kept;  // OP, BUS, TARGET, HAS_BLOCK, WORD1, WORD2, PASSWORD, EXTRA
    } cases[] = {
        // Mode 0 is the only one that enables; the policy word follows.
        {"write cache on", [](VynHardDrive& h) { return h.setWriteCacheEnable(true); }, {8, 0, kTarget, 1, 0, 1, 0, 0xFFFFFFFF}},
        {"write cache off", [](VynHardDrive& h) { return h.setWriteCacheEnable(false); }, {8, 0, kTarget, 1, 0, 0, 0, 0xFFFFFFFF}},
        {"cache mode 0", [](VynHardDrive& h) { return h.setPhysicalDriveCache(EnumHardDriveCacheMode(0)); }, {8, 0, kTarget, 1, 0, 1, 0, 0xFFFFFFFF}},
        {"cache mode 1", [](VynHardDrive& h) { return h.setPhysicalDriveCache(EnumHardDriveCacheMode(1)); }, {8, 0, kTarget, 1, 0, 0, 0, 0xFFFFFFFF}},
        {"cache mode 2", [](VynHardDrive& h) { return h.setPhysicalDriveCache(EnumHardDriveCacheMode(2)); }, {8, 0, kTarget, 1, 0, 0, 0, 0xFFFFFFFF}},
        {"force down", [](VynHardDrive& h) { return h.downHardDrive(true); }, {10, 0, kTarget, 0, 0, 0, 0, 0xFFFFFFFF}},
        {"enable", [](VynHardDrive& h) { return h.downHardDrive(false); }, {11, 0, kTarget, 0, 0, 0, 0, 0xFFFFFFFF}},
        {"rebuild state", [](VynHardDrive& h) { return h.setState(PD_REBUILDING); }, {1, 0, kTarget, 0, 0, 0, 0, 0xFFFFFFFF}},
        // Tasks: verify, verify and replace, clear, secure erase; the
        // caller's text rides at byte 40 unchanged.
        {"verify", [](VynHardDrive& h) { return h.startTask(EnumHardDriveTask(1), nullptr); }, {0, 0, kTarget, 1, 0, 0, 0, 0xFFFFFFFF}},
        {"verify and replace", [&](VynHardDrive& h) { return h.startTask(EnumHardDriveTask(2), password); }, {1, 0, kTarget, 1, 0, 0, passwordAt, 0xFFFFFFFF}},
        {"clear", [](VynHardDrive& h) { return h.startTask(EnumHardDriveTask(3), nullptr); }, {5, 0, kTarget, 1, 0, 0, 0, 0xFFFFFFFF}},
        {"secure erase", [&](VynHardDrive& h) { return h.startTask(EnumHardDriveTask(4), password); }, {104, 0, kTarget, 1, 0, 0, passwordAt, 0xFFFFFFFF}},
        // The password operation: set 1, clear 0, in the extra word.
        {"set password", [&](VynHardDrive& h) { return h.setATASecurePassword(password); }, {105, 0, kTarget, 1, 0, 0, passwordAt, 1}},
        {"clear password", [&](VynHardDrive& h) { return h.clearATASecurePassword(password); }, {105, 0, kTarget, 1, 0, 0, passwordAt, 0}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        handleOpens();
        fsa.script("FsaStorageDevice2", 1);
        EXPECT_EQ(k.run(*d), Ret(0));
        ASSERT_FALSE(driveOps().empty());
        EXPECT_EQ(driveOps().back(), k.kept);
        // Word 0 repeats the operation code whenever a block goes.
        if (k.kept[HAS_BLOCK] != 0) {
            EXPECT_EQ(fsa.sent("FsaStorageDevice2").back().bytes, words({static_cast<uint32_t>(k.kept[OP]),
                                                                         static_cast<uint32_t>(k.kept[OP]), 0}));
        }
        EXPECT_EQ(fsa.sent("FsaStorageDevice2").back().handle, reinterpret_cast<void*>(uintptr_t{0x5678}));
    }
    EXPECT_EQ(errorLog(), "");

    // The wear-out values pass unchanged; the drive only names the controller.
    handleOpens();
    fsa.script("FSASetWearOutParams", 1);
    EXPECT_EQ(d->SetWearOutParams(7, 0xE9, 10), Ret(0));
    EXPECT_EQ(fsa.arguments("FSASetWearOutParams").back(), (std::vector<uint64_t>{7, 0xE9, 10}));
    // Initialisation waits for the drive's job.
    handleOpens();
    fsa.script("FsaInitStorageDeviceForFsa", 1);
    EXPECT_EQ(d->initializeHardDrive(), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaInitStorageDeviceForFsa").back(), (std::vector<uint64_t>{1, 0, kTarget, 0, 1}));
    handleOpens();
    fsa.script("FsaCreateJBOD", 1);
    EXPECT_EQ(d->createJBOD(), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaCreateJBOD").back(), (std::vector<uint64_t>{0, kTarget, 0}));
}

TEST_F(VynHardDriveTest, TasksAndStatesOutsideTheTablesAreRefusedBeforeAnyHandle)
{
    VynHardDrive* d = drive();
    // Secure erase only where the controller has it: not supported, quietly.
    EXPECT_EQ(d->startTask(EnumHardDriveTask(4), "pw").getReturn(), -1);
    EXPECT_EQ(errorLog(), "");
    for (int task : {0, 5, -1}) {
        SCOPED_TRACE(task);
        const Ret ret = d->startTask(EnumHardDriveTask(task), nullptr);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(ret.getSignedReturn(), task);
        EXPECT_EQ(errorCount("*** Bad Parameter: Invalid hard drive task type., paramValue=" + std::to_string(task) +
                             " ***"),
                  1u);
    }
    for (EnumPhysicalDeviceState state : {PD_READY, PD_ONLINE, PD_STANDBY, PD_HOT_SPARE, PD_NOT_EXISTING}) {
        SCOPED_TRACE(state);
        const Ret ret = d->setState(state);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(ret.getSignedReturn(), static_cast<int>(state));
        EXPECT_EQ(errorCount("*** Bad Parameter: invalid (HardDrive) state, paramValue=" +
                             std::to_string(static_cast<int>(state)) + " ***"),
                  1u);
    }
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
    EXPECT_EQ(fsa.count("FsaStorageDevice2"), 0u);
}

TEST_F(VynHardDriveTest, FailingADriveFailsThePartitionsThatServeLogicalDrives)
{
    VynHardDrive* d = drive();
    TreePtr<LogicalDrive> served(new LogicalDrive(adapter.get(), 0));
    // A partition record of the drive: its address, then where it lies.
    auto partitionOf = [](uint64_t startBytes) {
        FSA_PARTITION_INFO p = {};
        p.bytes[FSA_PARTITION_DEVICE + 4] = 0;
        p.bytes[FSA_PARTITION_DEVICE + 5] = kTarget;
        faPutLe64(p.bytes + FSA_PARTITION_OFFSET, startBytes);
        return p;
    };
    auto chunk = [&](uint64_t start, LogicalDrive* consumer) {
        const FSA_PARTITION_INFO p = partitionOf(start * 512);
        d->addChild(new VynChunk(&p, d, consumer, start, 1000, EnumChunkType(0), 0, CHUNK_STATE_NORMAL, 0, 1));
    };

    // Chunks that serve nothing: nothing to fail, no call.
    chunk(128, nullptr);
    handleOpens();
    EXPECT_EQ(d->setState(PD_FAILED), Ret(0));
    EXPECT_EQ(fsa.count("FsaFailPartition"), 0u);

    chunk(2048, served.get());
    chunk(8192, served.get());
    handleOpens();
    fsa.scriptTimes("FsaFailPartition", 2, 1);
    EXPECT_EQ(d->setState(PD_FAILED), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaFailPartition"),
              (std::vector<std::vector<uint64_t>>{{1, 0, kTarget, 0}, {1, 0, kTarget, 0}}));

    // The first refusal ends it.
    handleOpens();
    fsa.script("FsaFailPartition", 9);
    const Ret failed = d->setState(PD_FAILED);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(fsa.arguments("FsaFailPartition").size(), 3u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaFailPartition(x,x,x) fsaStatus=9 ***"), 1u);
}

TEST_F(VynHardDriveTest, DiagnosticsPickTheirOperationAndFillTheCallersState)
{
    VynHardDrive* d = drive();
    const struct {
        int type;
        uint64_t operation;
    } starts[] = {{1, 2}, {2, 3}, {0, 6}, {3, 6}};
    for (const auto& k : starts) {
        handleOpens();
        fsa.script("FsaOnlineDiskDiagnostic", 1);
        EXPECT_EQ(d->startDiskDiagnostic(EnumDiskDiagType(k.type)), Ret(0));
        EXPECT_EQ(fsa.arguments("FsaOnlineDiskDiagnostic").back(), (std::vector<uint64_t>{0, kTarget, 0, k.operation}));
    }
    handleOpens();
    fsa.script("FsaOnlineDiskDiagnostic", 1);
    EXPECT_EQ(d->abortDiskDiagnostic(), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaOnlineDiskDiagnostic").back()[3], 1u);

    alignas(8) unsigned char state[132] = {};
    handleOpens();
    fsa.script("FsaOnlineDiskDiagnostic", 1, words({3, 455}));
    EXPECT_EQ(d->getDiskDiagnosticProgress(*reinterpret_cast<DISK_DIAGNOSTIC_STATE*>(state)), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaOnlineDiskDiagnostic").back()[3], 4u);
    EXPECT_EQ(faGetLe32(state + 4), 455u);
    handleOpens();
    fsa.script("FsaOnlineDiskDiagnostic", 1, words({5}));
    EXPECT_EQ(d->getDiskDiagnosticResults(*reinterpret_cast<DISK_DIAGNOSTIC_STATE*>(state)), Ret(0));
    EXPECT_EQ(fsa.arguments("FsaOnlineDiskDiagnostic").back()[3], 5u);
    EXPECT_EQ(faGetLe32(state), 5u);
}

// A task descriptor: id, function, then the drive.
std::vector<uint8_t> descriptor(uint32_t id, uint32_t function)
{
    std::vector<uint8_t> d(36, 0);
    faPutLe32(d.data(), id);
    faPutLe32(d.data() + 4, function);
    d[13] = kTarget;
    return d;
}

std::vector<uint8_t> taskList(uint32_t count, const std::vector<std::vector<uint8_t>>& descriptors)
{
    std::vector<uint8_t> reply = words({count});
    for (const auto& d : descriptors)
        reply.insert(reply.end(), d.begin(), d.end());
    return reply;
}

// Task details: state at 36, tenths of a percent at 40.
std::vector<uint8_t> details(uint32_t state, uint32_t tenths)
{
    std::vector<uint8_t> r(56, 0);
    faPutLe32(r.data() + 36, state);
    faPutLe32(r.data() + 40, tenths);
    return r;
}

TEST_F(VynHardDriveTest, ProgressOfADriveWithoutATask)
{
    VynHardDrive* d = drive();
    fsa.script("FsaGetTaskList", 1, words({0}));
    Progress progress;
    EXPECT_EQ(d->getProgress(progress), Ret(0));
    EXPECT_EQ(progress.getType(), TASK_TYPE_NONE);
    EXPECT_EQ(progress.getDeviceAddr()->getChannelID(), d->getChannelID());
    EXPECT_EQ(progress.getDeviceAddr()->getDeviceID(), kTarget);
    // Asked on the controller's read handle about this drive, no write
    // handle taken.
    EXPECT_EQ(fsa.arguments("FsaGetTaskList").back(),
              (std::vector<uint64_t>{reinterpret_cast<uintptr_t>(adapter->getAdapterHandle()), kTarget, 36}));
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);

    // The collection still gets the drive's entry.
    fsa.script("FsaGetTaskList", 1, words({0}));
    ProgressCollection tasks;
    EXPECT_EQ(d->getProgress(tasks), Ret(0));
    ASSERT_EQ(tasks.getSize(), 1u);
    EXPECT_EQ(tasks.getProgress(0)->getType(), TASK_TYPE_NONE);
    EXPECT_EQ(tasks.getProgress(0)->getDeviceAddr()->getDeviceID(), kTarget);
}

TEST_F(VynHardDriveTest, ProgressAsksOnceMoreWhenTheListDidNotFit)
{
    VynHardDrive* d = drive();
    fsa.script("FsaGetTaskList", 5, words({3}));
    fsa.script("FsaGetTaskList", 1, taskList(3, {descriptor(41, 12), descriptor(42, 0), descriptor(43, 1)}));
    fsa.script("FsaGetTaskDetails", 1, details(0, 457));
    Progress progress;
    EXPECT_EQ(d->getProgress(progress), Ret(0));
    const auto asked = fsa.arguments("FsaGetTaskList");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1][2], 3u * 36u);
    // Only the first task counts.
    EXPECT_EQ(progress.getTaskID(), 41u);
    EXPECT_EQ(progress.getType(), TASK_TYPE_VERIFY_WITH_FIX);
    EXPECT_EQ(progress.getStatus(), TASK_STATE_IN_PROGRESS);
    EXPECT_EQ(progress.getPercent(), 45u);

    // A list that still does not fit is an API error with the count, and
    // the collection gets nothing.
    fsa.script("FsaGetTaskList", 5, words({3}));
    fsa.script("FsaGetTaskList", 5, words({4}));
    ProgressCollection tasks;
    const Ret failed = d->getProgress(tasks);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(failed.getAPIReturn(), 5u);
    EXPECT_EQ(failed.getUnsignedReturn(), 4u);
    EXPECT_EQ(tasks.getSize(), 0u);
    EXPECT_EQ(fsa.arguments("FsaGetTaskList").size(), 4u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetTaskList() fsaStatus=5 ***"), 1u);

    // A count past any drive's tasks is not allocated as such.
    fsa.script("FsaGetTaskList", 5, words({0xFFFFFFFF}));
    fsa.script("FsaGetTaskList", 1, taskList(1, {descriptor(44, 1)}));
    fsa.script("FsaGetTaskDetails", 1, details(0, 10));
    EXPECT_EQ(d->getProgress(progress), Ret(0));
    EXPECT_LE(fsa.arguments("FsaGetTaskList").back()[2], 256u * 36u);
}

TEST_F(VynHardDriveTest, PfaWarningIsTheSmartErrorCount)
{
    FSA_SMART_DATA smart = {};
    smart.errorCount = 4;
    EXPECT_EQ(drive(true, &smart)->getPfaWarn(), 4);
    EXPECT_EQ(drive(true, nullptr)->getPfaWarn(), 0);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(VynHardDriveTest, AttributesFollowTheModelsInBothForms)
{
    VynHardDrive* d = drive();
    const std::vector<std::string> own = {"maxUsableBlocks", "scsiID",           "scsiLUN",        "scsiDeviceType",
                                          "clusterState",    "disksetID",        "taskInProgress", "isCandidateSpare",
                                          "pmState",         "pmSupportedState", "nonSpinning",    "OrvexaCapable",
                                          "OrvexaAssigned",  "sataNCQEnabled",   "ATAsecuritySupport"};
    const std::vector<std::string> all = attributeNames(xmlOf(*d, false));
    ASSERT_GE(all.size(), own.size());
    EXPECT_EQ(std::vector<std::string>(all.end() - static_cast<long>(own.size()), all.end()), own);
    const std::string text = xmlOf(*d, false);
    EXPECT_NE(text.find("maxUsableBlocks=\"999000\""), std::string::npos) << text;
    EXPECT_NE(text.find("scsiID=\"3\""), std::string::npos) << text;
    EXPECT_NE(text.find("disksetID=\"2147483647\""), std::string::npos) << text;

    const std::vector<std::string> user = {"maxUsableBlocks", "isCandidateSpare", "pmState",        "pmSupportedState",
                                           "nonSpinning",     "OrvexaCapable",    "OrvexaAssigned", "sataNCQEnabled"};
    const std::vector<std::string> userAll = attributeNames(xmlOf(*d, true));
    ASSERT_GE(userAll.size(), user.size());
    EXPECT_EQ(std::vector<std::string>(userAll.end() - static_cast<long>(user.size()), userAll.end()), user);
}

// The simulated controller behind the firmware interface.
class VynHardDriveSimulatorTest : public vyntest::FamilyTest {};

TEST_F(VynHardDriveSimulatorTest, TheWriteCacheSettingReachesTheControllerAsItsPolicy)
{
    // The firmware interface takes word 2 of the block as "cache writes"
    // when it is not 0: mode 0 must arrive as 1, every other mode as 0.
    startController("base = default\n");
    Ret ret(0);
    TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_EQ(ret.getReturn(), 0);
    Ret built(0);
    adapter->buildChildren(built);
    ASSERT_EQ(built.getReturn(), 0) << errorLog();
    std::vector<RaidObject*> drives;
    adapter->getChildren(drives, "VynHardDrive", true, true);
    ASSERT_FALSE(drives.empty());
    auto* d = static_cast<VynHardDrive*>(drives.front());

    const std::pair<int, uint32_t> rows[] = {{1, 0}, {0, 1}, {2, 0}, {0, 1}, {4, 0}};
    for (const auto& [mode, policy] : rows) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(d->setPhysicalDriveCache(EnumHardDriveCacheMode(mode)), Ret(0)) << errorLog();
        const auto& kept = sim().controller(0).drivePolicy;
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept.begin()->second, policy);
    }
}

TEST_F(VynHardDriveSimulatorTest, DriveTasksRunOnTheControllerAndReportTheirProgress)
{
    // The ready drive at 0:4 of the default controller.
    struct Row {
        int task;
        EnumTaskType type;
    };
    const Row rows[] = {{1, TASK_TYPE_VERIFY}, {2, TASK_TYPE_VERIFY_WITH_FIX}, {3, TASK_TYPE_CLEAR},
                        {4, TASK_TYPE_SECURE_ERASE}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.task);
        startController("base = default\n");
        Ret ret(0);
        TreePtr<VynAdapter> adapter = openController(&ret);
        ASSERT_EQ(ret.getReturn(), 0);
        Ret built(0);
        adapter->buildChildren(built);
        ASSERT_EQ(built.getReturn(), 0) << errorLog();
        ASSERT_NE(adapter->getFeature(featSecureErase), 0u);
        VynHardDrive* ready = nullptr;
        std::vector<RaidObject*> drives;
        adapter->getChildren(drives, "VynHardDrive", true, true);
        for (RaidObject* node : drives)
            if (static_cast<VynHardDrive*>(node)->getDeviceID() == 4)
                ready = static_cast<VynHardDrive*>(node);
        ASSERT_NE(ready, nullptr);

        EXPECT_EQ(ready->startTask(EnumHardDriveTask(row.task), nullptr), Ret(0)) << errorLog();
        ProgressCollection tasks;
        EXPECT_EQ(ready->getProgress(tasks), Ret(0)) << errorLog();
        ASSERT_EQ(tasks.getSize(), 1u);
        EXPECT_EQ(tasks.getProgress(0)->getType(), row.type);
        EXPECT_EQ(tasks.getProgress(0)->getDeviceAddr()->getDeviceID(), 4u);
        // The controller's list carries it on the drive, not on a logical
        // drive.
        ProgressCollection all;
        EXPECT_EQ(adapter->getProgress(all), Ret(0)) << errorLog();
        ASSERT_EQ(all.getSize(), 1u);
        EXPECT_EQ(all.getProgress(0)->getType(), row.type);
        EXPECT_EQ(all.getProgress(0)->getDeviceAddr()->getDeviceID(), 4u);
        EXPECT_EQ(all.getProgress(0)->getLogicalDrive(), Addr::UNSET_ID);
        adapter.reset();
    }
}

// The command-line program over the simulated controller.
class VynHardDriveEndToEndTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args, const std::string& simulator = "default")
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), simulator, args);
    }
};

std::string lastLine(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const size_t cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

// The value of the first report line "<label> ... : <value>" after `from`.
std::string valueAfter(const std::string& text, const std::string& from, const std::string& label)
{
    size_t at = text.find(from);
    if (at == std::string::npos)
        return "";
    at = text.find(label, at);
    if (at == std::string::npos)
        return "";
    const size_t colon = text.find(": ", at);
    return text.substr(colon + 2, text.find('\n', colon) - colon - 2);
}

TEST_F(VynHardDriveEndToEndTest, EveryDriveOfTheDescriptionIsListed)
{
    const vyntest::ProgramRun config =
        run({"GETCONFIG", "1", "PD"}, std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/four-drives.conf");
    EXPECT_EQ(config.exitCode, 0) << config.error;
    size_t devices = 0;
    for (size_t at = config.output.find("\n      Device #"); at != std::string::npos;
         at = config.output.find("\n      Device #", at + 1))
        ++devices;
    EXPECT_EQ(devices, 4u) << config.output;
    EXPECT_EQ(lastLine(config.output), "Command completed successfully.");
}

TEST_F(VynHardDriveEndToEndTest, AJbodStaysForTheNextProcessUntilItIsDeleted)
{
    const vyntest::ProgramRun create = run({"CREATE", "1", "JBOD", "0", "4", "noprompt"});
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output << create.error;
    EXPECT_EQ(valueAfter(run({"GETCONFIG", "1", "PD"}).output, "Device #4", "State"), "Online (JBOD)");

    const vyntest::ProgramRun remove = run({"DELETE", "1", "JBOD", "0", "4", "noprompt"});
    EXPECT_EQ(lastLine(remove.output), "Command completed successfully.") << remove.output;
    EXPECT_EQ(valueAfter(run({"GETCONFIG", "1", "PD"}).output, "Device #4", "State"), "Ready");
}

TEST_F(VynHardDriveEndToEndTest, AVerifyTaskIsSeenByTheNextProcess)
{
    const vyntest::ProgramRun start = run({"TASK", "START", "1", "DEVICE", "0", "4", "VERIFY", "noprompt"});
    EXPECT_EQ(lastLine(start.output), "Command completed successfully.") << start.output << start.error;
    const vyntest::ProgramRun status = run({"GETSTATUS", "1"});
    EXPECT_EQ(valueAfter(status.output, "Physical Device Task:", "Channel,Device"), "0,4") << status.output;
    EXPECT_EQ(valueAfter(status.output, "Physical Device Task:", "Current operation"), "Verify") << status.output;
    EXPECT_EQ(lastLine(status.output), "Command completed successfully.");
}

TEST_F(VynHardDriveEndToEndTest, AForcedDownDriveFailsItsLogicalDriveUntilEnabled)
{
    const vyntest::ProgramRun down = run({"SETSTATE", "1", "DEVICE", "0", "0", "DDD", "noprompt"});
    EXPECT_EQ(lastLine(down.output), "Command completed successfully.") << down.output << down.error;
    EXPECT_EQ(valueAfter(run({"GETCONFIG", "1", "PD"}).output, "Device #0", "State"), "Failed");
    EXPECT_EQ(valueAfter(run({"GETCONFIG", "1", "LD"}).output, "Logical device number 0", "Status of logical device"),
              "Degraded");

    const vyntest::ProgramRun up = run({"SETSTATE", "1", "DEVICE", "0", "0", "RDY", "noprompt"});
    EXPECT_EQ(lastLine(up.output), "Command completed successfully.") << up.output;
    EXPECT_NE(valueAfter(run({"GETCONFIG", "1", "PD"}).output, "Device #0", "State"), "Failed");
}

}  // namespace
