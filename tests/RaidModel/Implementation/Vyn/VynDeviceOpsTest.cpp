// The spare roles of a hard drive on the scripted exports (the tables each
// change sends, the checks made before anything changes), the CD-ROM, tape
// and other devices of the family, and the spare read test over the
// simulated controller.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "ScriptedFsaExports.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;

constexpr uint32_t kNone = 0xFFFFFFFF;

// Operations of the spare tables.
constexpr uint64_t ADD = 0, REMOVE = 1, ADD_GLOBAL = 3, REMOVE_GLOBAL = 4, REMOVE_CANDIDATE = 8;

// Kept arguments of a spare-table call: container number, operation, count,
// then the drive's bus, target and LUN.
std::vector<uint64_t> failover(uint64_t container, uint64_t operation, uint64_t target)
{
    return {container, operation, 1, 0, target, 0};
}

FSA_CONTAINER_INFO_EXTND containerRecord(uint32_t number)
{
    FSA_CONTAINER_INFO_EXTND r = {};
    faPutLe32(r.bytes, number);
    faPutLe32(r.bytes + 4, 0x5A000000 + number);
    faPutLe32(r.bytes + CI_TYPE, 1);
    faPutLe32(r.bytes + CI_BASE_TYPE, 1);
    faPutLe32(r.bytes + CI_RELATED, 0xFFFFFFFF);
    return r;
}

class VynSpareTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        // A controller that is never opened: every firmware call is the
        // scripted one, and succeeds unless a test says otherwise.
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        channel = new Channel(adapter.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter->addChild(channel);
        freshExports();
    }
    void TearDown() override
    {
        adapter.reset();
        fsa.reset();
        vyntest::FamilyTest::TearDown();
    }
    void freshExports()
    {
        fsa.reset();
        fsa = vyntest::succeedingExports();
    }
    // A drive at channel 0 with the given device usage and candidate word,
    // attached unless `attached` is false.
    VynHardDrive* drive(uint8_t target, uint32_t usage = 1, uint32_t candidate = 0, bool attached = true)
    {
        auto* d = new VynHardDrive(adapter.get(), channel, target, 1000000);
        channel->addChild(d);
        if (attached) {
            FSA_STORAGE_DEVICE_INFO info = {};
            info.address.targetId = target;
            info.storageDeviceUsage = usage;
            info.isCandidateSpare = candidate;
            new VynPhysicalDeviceAttach(channel, d, &info, nullptr);
        }
        return d;
    }
    // Logical drive `id` of the controller on container `container`.
    VynBasicLogicalDrive* logical(unsigned long id, uint32_t container)
    {
        const FSA_CONTAINER_INFO_EXTND record = containerRecord(container);
        std::vector<uint8_t> params(VynLogicalDriveInfo::PARAMS_SIZE, 0);
        auto* info =
            new VynLogicalDriveInfo(&record, reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params.data()),
                                    reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params.data()));
        adapter->addLogicalInfo(info);
        auto* ld = new VynBasicLogicalDrive(info, adapter.get(), id, RAID_LEVEL_1, 1000, 0, LD_OPTIMAL, false);
        adapter->addChild(ld);
        return ld;
    }
    static AddrCollection logicalDrives(std::initializer_list<uint32_t> ids)
    {
        AddrCollection c;
        for (uint32_t id : ids) {
            Addr a(0);
            a.setLogicalDriveID(id);
            c.addAddr(a);
        }
        return c;
    }
    std::vector<std::vector<uint64_t>> tables() const { return fsa->arguments("FsaFailoverSpace"); }

    std::unique_ptr<ScriptedFsaExports> fsa;
    TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
};

// ---- creating spares ----

TEST_F(VynSpareTest, ADriveIsPreparedOnlyWhenTheControllerDoesNotUseItYet)
{
    VynBasicLogicalDrive* ld = logical(0, 7);
    const struct {
        uint32_t usage;
        bool prepared;
    } cases[] = {{0, true}, {1, false}, {2, true}, {3, false}, {4, true}, {5, false}};
    uint8_t target = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.usage);
        VynHardDrive* spare = drive(target, c.usage);
        const std::function<Ret()> creations[] = {
            [&] { return spare->createGlobalHotSpare(); },
            [&] { return spare->createAssignedHotSpare(ld); },
            [&] { return spare->createAssignedHotSpare(logicalDrives({0})); },
        };
        for (const auto& create : creations) {
            freshExports();
            EXPECT_EQ(create(), Ret(0)) << errorLog();
            if (c.prepared) {
                EXPECT_EQ(fsa->arguments("FsaInitStorageDeviceForFsa"),
                          (std::vector<std::vector<uint64_t>>{{1, 0, target, 0, 1}}));
                EXPECT_EQ(fsa->calls().at(1), "FsaInitStorageDeviceForFsa");
            } else {
                EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 0u);
            }
            EXPECT_EQ(fsa->count("FsaFailoverSpace"), 1u);
        }
        ++target;
    }
}

TEST_F(VynSpareTest, EachCreationNamesItsTable)
{
    VynHardDrive* spare = drive(5);
    logical(0, 7);
    VynBasicLogicalDrive* second = logical(1, 9);

    EXPECT_EQ(spare->createGlobalHotSpare(), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(kNone, ADD_GLOBAL, 5)}));

    freshExports();
    EXPECT_EQ(spare->createAssignedHotSpare(second), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(9, ADD, 5)}));

    // One call per listed logical drive, in the list's order.
    freshExports();
    EXPECT_EQ(spare->createAssignedHotSpare(logicalDrives({1, 0})), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(9, ADD, 5), failover(7, ADD, 5)}));

    // An empty list still prepares the drive, and assigns nothing.
    VynHardDrive* fresh = drive(6, 0);
    freshExports();
    EXPECT_EQ(fresh->createAssignedHotSpare(logicalDrives({})), Ret(0));
    EXPECT_EQ(fsa->count("FsaInitStorageDeviceForFsa"), 1u);
    EXPECT_EQ(fsa->count("FsaFailoverSpace"), 0u);

    freshExports();
    EXPECT_EQ(spare->createCandidateHotSpare().getReturn(), -1);
    EXPECT_TRUE(fsa->calls().empty());
}

TEST_F(VynSpareTest, CreationRefusalsAndFailures)
{
    VynHardDrive* spare = drive(5);
    VynHardDrive* bare = drive(6, 1, 0, false);
    logical(0, 7);
    logical(1, 9);
    struct Row {
        const char* what;
        std::function<Ret()> run;
        std::function<void(ScriptedFsaExports&)> script;
        int code;
        const char* line;
        std::vector<std::vector<uint64_t>> sent;
    };
    const Row rows[] = {
        {"null logical drive", [&] { return spare->createAssignedHotSpare(static_cast<LogicalDrive*>(nullptr)); },
         nullptr, -2, "*** Bad Parameter: pLogicalDriveIN==NULL, paramValue=0 ***", {}},
        {"not of the family",
         [&] {
             LogicalDrive plain(adapter.get(), 3);
             return spare->createAssignedHotSpare(&plain);
         },
         nullptr, -2, "*** Bad Parameter: pLogicalDriveIN parameter is not an VynBasicLogicalDrive, paramValue=0 ***",
         {}},
        {"unknown address: earlier assignments stay", [&] { return spare->createAssignedHotSpare(logicalDrives({0, 4, 1})); },
         nullptr, -2, "*** Bad Parameter: pVynLogical==NULL, paramValue=0 ***", {failover(7, ADD, 5)}},
        {"a refusal ends the list",
         [&] { return spare->createAssignedHotSpare(logicalDrives({0, 1})); },
         [](ScriptedFsaExports& f) { f.script("FsaFailoverSpace", 97); }, -5,
         "*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_ADDFAILOVER,x,x) fsaStatus=97 ***", {failover(7, ADD, 5)}},
        {"global refused", [&] { return spare->createGlobalHotSpare(); },
         [](ScriptedFsaExports& f) { f.script("FsaFailoverSpace", 98); }, -5,
         "*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_ADD_GLOBAL_SPARE,x,x) fsaStatus=98 ***",
         {failover(kNone, ADD_GLOBAL, 5)}},
        {"no attachment", [&] { return bare->createGlobalHotSpare(); }, nullptr, -2,
         "*** Bad Parameter: Hard drive object had no attachment, paramValue=0 ***", {}},
        {"busy", [&] { return spare->createAssignedHotSpare(logicalDrives({0})); },
         [](ScriptedFsaExports& f) { f.scriptAlways("FsaOpenAdapter2A", 301); }, -6,
         "*** Busy: Failed to obtain FSA API adapter write handle ***", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshExports();
        if (row.script) {
            fsa->clearCalls();
            row.script(*fsa);
        }
        const unsigned before = errorCount(row.line);
        EXPECT_EQ(row.run().getReturn(), row.code);
        EXPECT_EQ(errorCount(row.line), before + 1) << errorLog();
        EXPECT_EQ(tables(), row.sent);
    }

    // A drive that could not be prepared is not offered as a spare.
    VynHardDrive* unused = drive(7, 0);
    freshExports();
    fsa->script("FsaInitStorageDeviceForFsa", 20);
    const Ret failed = unused->createGlobalHotSpare();
    EXPECT_EQ(failed.getAPIReturn(), 20u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaInitStorageDeviceForFsa() fsaStatus=20 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaFailoverSpace"), 0u);
}

// ---- removing spares ----

TEST_F(VynSpareTest, DeletingASpareDropsEveryRoleCandidateFirst)
{
    VynBasicLogicalDrive* first = logical(0, 7);
    VynBasicLogicalDrive* second = logical(1, 9);

    VynHardDrive* both = drive(1, 1, 1);
    both->setSpareTypeProperty(SPARE_GLOBAL);
    EXPECT_EQ(both->deleteHotSpare(), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(kNone, REMOVE_CANDIDATE, 1),
                                                            failover(kNone, REMOVE_GLOBAL, 1)}));

    VynHardDrive* dedicated = drive(2);
    dedicated->addAssignedLogical(first);
    dedicated->addAssignedLogical(second);
    freshExports();
    EXPECT_EQ(dedicated->deleteHotSpare(), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(7, REMOVE, 2), failover(9, REMOVE, 2)}));

    // No role: nothing to send.
    VynHardDrive* plain = drive(3);
    freshExports();
    EXPECT_EQ(plain->deleteHotSpare(), Ret(0));
    EXPECT_EQ(fsa->count("FsaFailoverSpace"), 0u);

    // A refused step ends the removal.
    freshExports();
    fsa->script("FsaFailoverSpace", 96);
    const Ret refused = both->deleteHotSpare();
    EXPECT_EQ(refused.getAPIReturn(), 96u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_REMOVE_CANDIDATE_SPARE,x,x) fsaStatus=96 ***"),
              1u);
    EXPECT_EQ(fsa->count("FsaFailoverSpace"), 1u);
}

TEST_F(VynSpareTest, RemovingADedicatedProtectionChecksEveryDriveFirst)
{
    VynBasicLogicalDrive* first = logical(0, 7);
    logical(1, 9);
    VynBasicLogicalDrive* third = logical(2, 11);
    VynHardDrive* spare = drive(4);
    spare->addAssignedLogical(first);
    spare->addAssignedLogical(third);
    VynHardDrive* global = drive(5);
    global->setSpareTypeProperty(SPARE_GLOBAL);

    const struct {
        const char* what;
        VynHardDrive* drive;
        std::initializer_list<uint32_t> ids;
        long value;
        const char* text;
    } refusals[] = {
        {"a global spare", global, {0}, 1, "spareType != SPARE_DEDICATED"},
        {"one protected, one not", spare, {0, 1}, 0, "Logical drive not protected by spare"},
        {"no such logical drive", spare, {2, 6}, 0, "Invalid logical drive specified"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        freshExports();
        const Ret ret = r.drive->deleteAssignedHotSpare(logicalDrives(r.ids));
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(ret.getSignedReturn(), r.value);
        EXPECT_EQ(errorCount("*** Bad Parameter: " + std::string(r.text) + ", paramValue=" + std::to_string(r.value) +
                             " ***"),
                  1u)
            << errorLog();
        // Nothing is opened or sent.
        EXPECT_TRUE(fsa->calls().empty());
    }

    freshExports();
    EXPECT_EQ(spare->deleteAssignedHotSpare(logicalDrives({2, 0})), Ret(0));
    EXPECT_EQ(tables(), (std::vector<std::vector<uint64_t>>{failover(11, REMOVE, 4), failover(7, REMOVE, 4)}));

    freshExports();
    fsa->script("FsaFailoverSpace", 95);
    EXPECT_EQ(spare->deleteAssignedHotSpare(logicalDrives({2, 0})).getAPIReturn(), 95u);
    EXPECT_EQ(fsa->count("FsaFailoverSpace"), 1u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_REMOVEFAILOVER,x,x) fsaStatus=95 ***"), 1u);
}

// ---- CD-ROM, tape and other devices ----

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    node.writeTo(&writer);
    return text != nullptr ? std::string(text) : std::string();
}

struct DeviceKind {
    const char* className;
    const char* baseName;
    const char* missingText;
    std::function<PhysicalDevice*(VynAdapter*, Channel*)> make;
};

const DeviceKind kDeviceKinds[] = {
    {"VynCDROMDrive", "CDROMDrive", "pAttach==NULL",
     [](VynAdapter* a, Channel* c) { return new VynCDROMDrive(a, c, 2); }},
    {"VynTapeDrive", "TapeDrive", "TapeDrive object had no attachment",
     [](VynAdapter* a, Channel* c) { return new VynTapeDrive(a, c, 2); }},
    {"VynOtherDevice", "OtherDevice", "OtherDevice object had no attachment",
     [](VynAdapter* a, Channel* c) { return new VynOtherDevice(a, c, 2, static_cast<EnumPhysicalDeviceType>(3)); }},
};

using VynOtherDevicesTest = VynSpareTest;

TEST_F(VynOtherDevicesTest, EachKindWritesItsScsiFieldsAfterItsBasesAttributes)
{
    for (const DeviceKind& kind : kDeviceKinds) {
        SCOPED_TRACE(kind.className);
        TreePtr<PhysicalDevice> device(kind.make(adapter.get(), channel));
        EXPECT_STREQ(device->typeName(), kind.className);
        EXPECT_TRUE(device->isInstanceOf(kind.className));
        EXPECT_TRUE(device->isInstanceOf(kind.baseName));
        const std::string xml = xmlOf(*device);
        const size_t id = xml.find(" scsiID=\"0\" scsiLUN=\"0\" scsiDeviceType=\"0\"");
        ASSERT_NE(id, std::string::npos) << xml;
        // Nothing of the base comes after them.
        EXPECT_EQ(xml.find("=\"", id + 45), std::string::npos) << xml;
        EXPECT_NE(xml.find(" deviceID=\"2\""), std::string::npos) << xml;
    }
    TreePtr<VynCDROMDrive> cdrom(new VynCDROMDrive(adapter.get(), channel, 1));
    EXPECT_TRUE(cdrom->isInstanceOf("CDROMDrive"));
    EXPECT_FALSE(cdrom->isInstanceOf("VynTapeDrive"));
}

TEST_F(VynOtherDevicesTest, WithoutAnAttachmentBothOperationsAreRefused)
{
    for (const DeviceKind& kind : kDeviceKinds) {
        SCOPED_TRACE(kind.className);
        TreePtr<PhysicalDevice> device(kind.make(adapter.get(), channel));
        const std::string line = "*** Bad Parameter: " + std::string(kind.missingText) + ", paramValue=0 ***";
        const unsigned before = errorCount(line);
        SCSICommand inquiry;
        inquiry.initInquiry(0);
        EXPECT_EQ(device->scsiPassThruCommand(inquiry).getReturn(), -2);
        EXPECT_EQ(device->identifyDevice(true).getReturn(), -2);
        EXPECT_EQ(errorCount(line), before + 2) << errorLog();
        EXPECT_TRUE(fsa->calls().empty());
    }
}

TEST_F(VynOtherDevicesTest, ACommandGoesThroughTheAttachmentToTheDevice)
{
    for (const DeviceKind& kind : kDeviceKinds) {
        SCOPED_TRACE(kind.className);
        freshExports();
        PhysicalDevice* device = kind.make(adapter.get(), channel);
        channel->addChild(device);
        FSA_STORAGE_DEVICE_INFO info = {};
        info.address.targetId = 2;
        new VynPhysicalDeviceAttach(channel, device, &info, nullptr);
        SCSICommand unitReady;
        unitReady.initTestUnitReady();
        EXPECT_EQ(device->scsiPassThruCommand(unitReady), Ret(0)) << errorLog();
        const auto sent = fsa->sent("FsaSendScsiCommand");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].bytes.at(0), 0x00);
        // The device's own handle is not a write handle.
        EXPECT_EQ(fsa->count("FsaOpenAdapter2A"), 0u);
    }
}

// ---- spares over the simulated controller ----

class VynSpareSimulatorTest : public vyntest::FamilyTest {
protected:
    // The controller's tree as a fresh build sees it.
    TreePtr<VynAdapter> built()
    {
        Ret ret(0);
        TreePtr<VynAdapter> adapter = openController(&ret);
        EXPECT_EQ(ret.getReturn(), 0);
        Ret children(0);
        adapter->buildChildren(children);
        EXPECT_EQ(children.getReturn(), 0) << errorLog();
        return adapter;
    }
    static HardDrive* driveAt(VynAdapter& adapter, uint32_t target)
    {
        Addr a(adapter.getAdapterID());
        a.setChannelID(0);
        a.setDeviceID(target);
        RaidObject* found = adapter.getChild(a, true);
        return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
    }
};

TEST_F(VynSpareSimulatorTest, SpareRolesLastIntoTheNextBuild)
{
    // The default controller: logical drive 0 on 0:0-0:2, the global spare
    // at 0:3.
    startController("base = default\n");
    {
        TreePtr<VynAdapter> adapter = built();
        ASSERT_NE(driveAt(*adapter, 4), nullptr);
        EXPECT_EQ(driveAt(*adapter, 3)->getSpareType(), SPARE_GLOBAL);
        // The spare read test reaches the spare and passes; the read it
        // sends is answered in full.
        EXPECT_EQ(adapter->testAllSpares(), Ret(0)) << errorLog();
        SCSICommand read;
        read.initRead(0, 100, false);
        EXPECT_EQ(driveAt(*adapter, 3)->scsiPassThruCommand(read), Ret(0));
        EXPECT_EQ(read.getScsiStatus(), 0);
        EXPECT_EQ(driveAt(*adapter, 4)->createGlobalHotSpare(), Ret(0)) << errorLog();
        AddrCollection first;
        Addr ld(adapter->getAdapterID());
        ld.setLogicalDriveID(0);
        first.addAddr(ld);
        EXPECT_EQ(driveAt(*adapter, 5)->createAssignedHotSpare(first), Ret(0)) << errorLog();
        EXPECT_EQ(driveAt(*adapter, 3)->deleteHotSpare(), Ret(0)) << errorLog();
    }
    {
        TreePtr<VynAdapter> adapter = built();
        EXPECT_EQ(driveAt(*adapter, 3)->getSpareType(), SPARE_NONE);
        EXPECT_EQ(driveAt(*adapter, 4)->getSpareType(), SPARE_GLOBAL);
        HardDrive* dedicated = driveAt(*adapter, 5);
        EXPECT_EQ(dedicated->getSpareType(), SPARE_DEDICATED);
        ASSERT_EQ(dedicated->getNumAssignedLogical().size(), 1u);
        EXPECT_EQ(dedicated->getNumAssignedLogical()[0]->getLogicalDriveID(), 0u);
        AddrCollection first;
        Addr ld(adapter->getAdapterID());
        ld.setLogicalDriveID(0);
        first.addAddr(ld);
        EXPECT_EQ(dedicated->deleteAssignedHotSpare(first), Ret(0)) << errorLog();
    }
    TreePtr<VynAdapter> adapter = built();
    EXPECT_EQ(driveAt(*adapter, 5)->getSpareType(), SPARE_NONE);
}

}  // namespace
