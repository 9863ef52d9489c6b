// Enclosures and physical devices of a controller's tree: the enclosure
// processors, one object per device under its channel with its attachment,
// and the SAF-TE slots of the drives.
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Implementation/Vyn/VynEnclosure.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SESElements.h"
#include "ScriptedFsaExports.h"
#include "common/Addr.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "Command/Vyn/os/faux_char.h"
#include "platform/hostsim/fw/Enclosures.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;

// Drives 8 to 19 of a bus of 32 targets, at targets 10 to 21: with the
// default drives they fill slots 0 to 19 of an enclosure on the bus.
std::string moreDrives()
{
    std::string text = "adapter0.bus0 = sas 32\n";
    for (int i = 8; i < 20; ++i)
        text += "adapter0.drive" + std::to_string(i) + " = 0:" + std::to_string(i + 2) + " sas 146G\n";
    return text;
}

const char* const kSafte = "adapter0.encl0 = safte 0:9 slots=20 fans=1\n";

class VynAdapterDevicesTest : public vyntest::FamilyTest {
protected:
    // The default controller with `extra` description lines.
    void start(const std::string& extra = "") { startController("base = default\n" + extra); }
    // Builds the tree of the first controller; the build's Ret in ret_.
    void build(const std::string& extra = "")
    {
        start(extra);
        adapter_ = openController();
        ASSERT_NE(adapter_, nullptr);
        adapter_->buildChildren(ret_);
    }
    RaidObject* device(unsigned long bus, unsigned long target, unsigned long lun = 0) const
    {
        Addr addr;
        addr.setAdapterID(static_cast<uint32_t>(adapter_->getAdapterID()));
        addr.setChannelID(static_cast<uint32_t>(bus));
        addr.setDeviceID(static_cast<uint32_t>(lun << 16 | target));
        return adapter_->getChild(addr, true);
    }
    static VynPhysicalDeviceAttach* attachOf(const RaidObject* node)
    {
        if (node == nullptr || node->getAttachment() == nullptr ||
            !node->getAttachment()->isInstanceOf("VynPhysicalDeviceAttach"))
            return nullptr;
        return static_cast<VynPhysicalDeviceAttach*>(node->getAttachment());
    }
    std::vector<RaidObject*> devices() const
    {
        std::vector<RaidObject*> out;
        adapter_->getChildren(out, "PhysicalDevice", true, true);
        return out;
    }

    vyntest::TreePtr<VynAdapter> adapter_;
    Ret ret_;
};

TEST_F(VynAdapterDevicesTest, TheDefaultControllerHasEightDrivesAndItsSes2EnclosureOnTheSasChannel)
{
    ScriptedFsaExports fsa;  // every call reaches the simulator, and is logged
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    build();
    EXPECT_EQ(ret_, Ret());
    EXPECT_EQ(errorLog(), "");
    const std::string trace = traceLog();

    EXPECT_NE(trace.find("Found 1 enclosures"), std::string::npos);
    EXPECT_NE(trace.find("Found SES2 enclosure"), std::string::npos);
    EXPECT_EQ(trace.find("Found SAFTE enclosure"), std::string::npos);

    Channel* sas = adapter_->getChannel(0);
    ASSERT_NE(sas, nullptr);
    EXPECT_STREQ(sas->typeName(), "VynSASChannel");
    EXPECT_EQ(sas->getChildCount(), 9u);
    for (unsigned long target = 0; target < 8; ++target) {
        SCOPED_TRACE(target);
        RaidObject* drive = device(0, target);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->getParent(), sas);
        EXPECT_STREQ(drive->typeName(), "VynHardDrive");
        VynPhysicalDeviceAttach* attach = attachOf(drive);
        ASSERT_NE(attach, nullptr);
        EXPECT_EQ(attach->getFsaInfo()->address.targetId, target);
        EXPECT_NE(attach->getSmartInfo(), nullptr);
        // SAS addresses of the drive's phys come with the attachment.
        EXPECT_NE(attach->getSasAddress(0)[0] | attach->getSasAddress(0)[7], 0);
    }
    EXPECT_EQ(static_cast<HardDrive*>(device(0, 4))->getSize(), (300ull << 30) / 512);
    RaidObject* enclosure = device(0, 8);
    ASSERT_NE(enclosure, nullptr);
    EXPECT_STREQ(enclosure->typeName(), "VynSES2EnclosureDevice");
    EXPECT_EQ(static_cast<VynSES2EnclosureDevice*>(enclosure)->getFsaEnclosureID(), 0u);
    ASSERT_NE(attachOf(enclosure), nullptr);
    EXPECT_EQ(attachOf(enclosure)->getFsaEnclosureId(), 0u);
    EXPECT_EQ(attachOf(enclosure)->getSmartInfo(), nullptr);
    EXPECT_EQ(adapter_->getNumHardDrives(), 8u);
    EXPECT_EQ(adapter_->getSES2EnclosureDevice(0), enclosure);
    // SMART data is asked for the hard drives only.
    EXPECT_EQ(fsa.count("FsaGetSmartDeviceInfo"), 8u);
    EXPECT_EQ(fsa.count("FsaGetStorageDeviceInfo"), 10u);
}

TEST_F(VynAdapterDevicesTest, Ses2DrivesAreLinkedToTheirSlotElements)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    // Drive 5 answers an old inquiry version: it keeps its slot number.
    build("adapter0.drive5 = 0:5 sas 300G version=3\n");
    EXPECT_EQ(ret_, Ret());
    auto* enclosure = static_cast<VynSES2EnclosureDevice*>(device(0, 8));
    ASSERT_NE(enclosure, nullptr);
    ASSERT_STRNE(enclosure->getEnclosureKey(), "");
    EXPECT_EQ(enclosure->getEnclosureID(), 0u);
    EXPECT_NE(traceLog().find("Added entry to map [" + std::string(enclosure->getEnclosureKey()) + " , 1]"),
              std::string::npos);
    for (unsigned long target = 0; target < 8; ++target) {
        SCOPED_TRACE(target);
        VynPhysicalDeviceAttach* attach = attachOf(device(0, target));
        ASSERT_NE(attach, nullptr);
        EXPECT_EQ(attach->getFsaEnclosureId(), 0u);
        EXPECT_EQ(attach->getFsaSlotNum(), target == 5 ? VynPhysicalDeviceAttach::UNSET : target);
        EXPECT_EQ(attach->getFsaSafteSlotNum(), VynPhysicalDeviceAttach::UNSET);
        SESElement* element = attach->getSesElement();
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->getParent(), enclosure);
        EXPECT_TRUE(element->getType() == 1 || element->getType() == 23);
    }
    // The enclosure itself has no SAS address of its own to match.
    EXPECT_EQ(attachOf(enclosure)->getSesElement(), nullptr);
}

TEST_F(VynAdapterDevicesTest, DistinctSes2EnclosuresAreNumberedInKeyOrder)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    build("adapter0.bus1 = sas 16\nadapter0.encl1 = ses2 1:8 slots=4\n"
          "adapter0.drive8 = 1:0 sas 146G slot=1:0\n");
    EXPECT_EQ(ret_, Ret());
    auto* first = static_cast<VynSES2EnclosureDevice*>(device(0, 8));
    auto* second = static_cast<VynSES2EnclosureDevice*>(device(1, 8));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_STRNE(first->getEnclosureKey(), second->getEnclosureKey());
    const bool firstLower = std::string(first->getEnclosureKey()) < second->getEnclosureKey();
    EXPECT_EQ(first->getEnclosureID(), firstLower ? 0u : 1u);
    EXPECT_EQ(second->getEnclosureID(), firstLower ? 1u : 0u);
    ASSERT_NE(attachOf(device(1, 0)), nullptr);
    EXPECT_EQ(attachOf(device(1, 0))->getFsaEnclosureId(), 1u);
}

TEST_F(VynAdapterDevicesTest, DevicesGetTheClassOfTheirPeripheralType)
{
    struct Case {
        const char* drive;  // the description of drive 8 at 0:9
        const char* cls;
        int type;
        unsigned smartQueries;
    };
    const Case cases[] = {
        {"sas 146G removable=1", "VynOtherDevice", 0, 8},
        {"tape 0", "VynTapeDrive", 1, 8},
        {"cdrom 0", "VynCDROMDrive", 5, 8},
        {"sas 146G type=3", "VynOtherDevice", 3, 8},
        {"sas 146G type=13", "VynOtherDevice", 13, 8},
        {"sas 146G type=10", "VynOtherDevice", 10, 8},
        {"sas 146G type=11", "VynOtherDevice", 10, 8},
        {"sas 146G type=12", "VynOtherDevice", 12, 8},
        {"sas 146G type=31", "VynOtherDevice", 10, 8},
        {"sas 146G", "VynHardDrive", 0, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drive);
        ScriptedFsaExports fsa;
        fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
        build(std::string("adapter0.drive8 = 0:9 ") + c.drive + "\n");
        RaidObject* node = device(0, 9);
        ASSERT_NE(node, nullptr);
        EXPECT_STREQ(node->typeName(), c.cls);
        EXPECT_EQ(static_cast<PhysicalDevice*>(node)->getDeviceType(), c.type);
        EXPECT_NE(attachOf(node), nullptr);
        EXPECT_EQ(fsa.count("FsaGetSmartDeviceInfo"), c.smartQueries);
        EXPECT_EQ(ret_, Ret());
        adapter_.reset();
        ret_ = Ret();
    }
}

TEST_F(VynAdapterDevicesTest, SafteSlotsUpToSixteenAreMapped)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    build(std::string(kSafte) + moreDrives());
    EXPECT_EQ(ret_, Ret());
    const std::string trace = traceLog();
    EXPECT_NE(trace.find("Found SAFTE enclosure"), std::string::npos);
    RaidObject* enclosure = device(0, 9);
    ASSERT_NE(enclosure, nullptr);
    EXPECT_STREQ(enclosure->typeName(), "VynEnclosure");
    ASSERT_NE(attachOf(enclosure), nullptr);
    EXPECT_EQ(attachOf(enclosure)->getFsaEnclosureId(), 0u);
    const FsaEnclosureInfo* info = static_cast<VynEnclosure*>(enclosure)->getFsaEnclosureInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->owned, 1u);
    for (unsigned s = 0; s < 20; ++s) {
        SCOPED_TRACE(s);
        VynPhysicalDeviceAttach* attach = attachOf(device(0, s < 8 ? s : s + 2));
        ASSERT_NE(attach, nullptr);
        if (s < 16) {
            EXPECT_EQ(attach->getFsaEnclosureId(), 0u);
            EXPECT_EQ(attach->getFsaSafteSlotNum(), s);
            EXPECT_EQ(attach->getFsaSlotNum(), s);
        } else {
            EXPECT_EQ(attach->getFsaEnclosureId(), VynPhysicalDeviceAttach::UNSET);
            EXPECT_EQ(attach->getFsaSafteSlotNum(), VynPhysicalDeviceAttach::UNSET);
            EXPECT_EQ(attach->getFsaSlotNum(), VynPhysicalDeviceAttach::UNSET);
        }
    }
}

TEST_F(VynAdapterDevicesTest, EnclosureManagementAnswersDecideTheProcessorsClass)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    struct Case {
        const char* what;
        const char* fault;   // on what, with what
        const char* effect;
        const char* cls;     // of the processor at 0:9
        bool reported;
    };
    const Case cases[] = {
        // A status block that cannot be read leaves no SAF-TE record.
        {"status read fails", "class12 0x20280", "status = 21", "VynOtherDevice", false},
        {"configuration read fails", "class12 0x20240", "status = 21", "VynOtherDevice", false},
        // An invalid-command answer to the identity: a SAF-TE candidate.
        {"identity says invalid command", "class12 0x70000", "status = 18", "VynEnclosure", false},
        {"identity fails", "class12 0x70000", "status = 21", "VynOtherDevice", true},
        {"count fails", "class12 0x10000", "status = 21", "VynOtherDevice", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(kSafte);
        ASSERT_TRUE(sim().addFault(0, {c.fault, c.effect}));
        adapter_ = openController();
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
        ret_ = Ret();
        adapter_->buildChildren(ret_);
        RaidObject* processor = device(0, 9);
        ASSERT_NE(processor, nullptr);
        EXPECT_STREQ(processor->typeName(), c.cls);
        EXPECT_EQ(static_cast<PhysicalDevice*>(processor)->getDeviceType(), 3);
        EXPECT_EQ(ret_.getReturn(), c.reported ? -5 : 0);
        EXPECT_EQ(errorCount("FsaEnclosureMgt("), c.reported ? 1u : 0u) << errorLog();
        // The drives are built whatever enclosure management answered.
        EXPECT_EQ(adapter_->getNumHardDrives(), 8u);
        adapter_.reset();
    }
}

TEST_F(VynAdapterDevicesTest, ASafteRecordWhoseReadsFailedServesTheNextProcessor)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    start("adapter0.encl0 = safte 0:9 slots=4\nadapter0.encl1 = safte 0:10 slots=4\n"
          "adapter0.drive0 = 0:0 sas 146G slot=1:2\n");
    ASSERT_TRUE(sim().addFault(0, {"class12 0x20280", "status = 21"}));  // the first status read only
    adapter_ = openController();
    adapter_->buildChildren(ret_);
    EXPECT_EQ(ret_, Ret());
    RaidObject* first = device(0, 9);
    RaidObject* second = device(0, 10);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(first->typeName(), "VynOtherDevice");
    ASSERT_STREQ(second->typeName(), "VynEnclosure");
    EXPECT_EQ(static_cast<VynEnclosure*>(second)->getFsaEnclosureID(), 1u);
    EXPECT_EQ(attachOf(second)->getFsaEnclosureId(), 1u);
    EXPECT_EQ(attachOf(device(0, 0))->getFsaSafteSlotNum(), 2u);
    EXPECT_EQ(attachOf(device(0, 0))->getFsaEnclosureId(), 1u);
    // The slots of the first enclosure are unknown.
    EXPECT_EQ(attachOf(device(0, 1))->getFsaEnclosureId(), VynPhysicalDeviceAttach::UNSET);
}

TEST_F(VynAdapterDevicesTest, ASafteRecordIsTakenByOneEnclosureOnly)
{
    // The firmware reports the enclosure's processor twice.
    FSA_STORAGE_DEVICE_INFO info{};
    info.address.targetId = 9;
    info.stdDevType = 3;
    std::vector<uint8_t> bytes(sizeof info);
    std::memcpy(bytes.data(), &info, sizeof info);
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    fsa.script("FsaGetStorageDeviceInfo", 1, bytes);
    fsa.script("FsaGetStorageDeviceInfo", 1, bytes);
    fsa.script("FsaGetStorageDeviceInfo", 10);
    build(kSafte);
    EXPECT_EQ(ret_, Ret());
    std::vector<RaidObject*> found;
    adapter_->getChannel(0)->getChildren(found, "PhysicalDevice", false, true);
    // The logical drive's members, which the scripted walk left out, hang
    // there as placeholders.
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](RaidObject* node) {
                                   return std::string(static_cast<PhysicalDevice*>(node)->getVendor()) == "*MISSING*";
                               }),
                found.end());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0]->typeName(), "VynEnclosure");
    EXPECT_STREQ(found[1]->typeName(), "VynOtherDevice");
    EXPECT_EQ(static_cast<PhysicalDevice*>(found[1])->getDeviceType(), 3);
}

TEST_F(VynAdapterDevicesTest, Ses2PagesAreAskedAgainWhileTheEnclosureIsBusy)
{
    for (unsigned busy : {5u, 6u}) {
        SCOPED_TRACE(busy);
        start();
        unsigned calls = 0;
        sim().addEnclosureHandler(100u << 16 | EM_SUB_SCSI_RECEIVE_DIAGNOSTIC,
                                  [&calls, busy](vyn::hostsim::ControllerState&, const vyn::hostsim::EmRequest& q,
                                                 vyn::hostsim::EmReply& r) {
                                      ++calls;
                                      // Busy, then the supported-pages page listing itself alone.
                                      r.data = calls <= busy ? std::vector<uint8_t>{9, 0, 0, 0}
                                                             : std::vector<uint8_t>{0, 0, 0, 1, 0};
                                      EXPECT_EQ(q.param[1], 0u);
                                  });
        adapter_ = openController();
        vyntest::TreePtr<VynSES2EnclosureDevice> enclosure(new VynSES2EnclosureDevice(adapter_.get(), nullptr, 8, 0));
        EXPECT_EQ(calls, 6u);
        EXPECT_EQ(enclosure->supportsDiagnosticPage(0), busy < 6);
        adapter_.reset();
    }
}

TEST_F(VynAdapterDevicesTest, Ses2PagesOfAnotherGenerationAreReadAgainAndNeverJoined)
{
    // An enclosure with one fan whose configuration page carries generation
    // 1 and whose status page carries generation 2 for the first
    // `staleStatus` reads.
    for (unsigned staleStatus : {1u, 2u, 100u}) {
        SCOPED_TRACE(staleStatus);
        start();
        unsigned configReads = 0;
        unsigned statusReads = 0;
        sim().addEnclosureHandler(
            100u << 16 | EM_SUB_SCSI_RECEIVE_DIAGNOSTIC,
            [&](vyn::hostsim::ControllerState&, const vyn::hostsim::EmRequest& q, vyn::hostsim::EmReply& r) {
                switch (q.param[1]) {
                case 0:
                    r.data = {0, 0, 0, 3, 0, 1, 2};
                    break;
                case 1:
                    ++configReads;
                    r.data.assign(8 + 40 + 4, 0);
                    r.data[0] = 1;
                    r.data[3] = static_cast<uint8_t>(r.data.size() - 4);
                    r.data[7] = 1;
                    r.data[8 + 2] = 1;
                    r.data[8 + 3] = 36;
                    r.data[48] = 0x03;  // cooling, one element
                    r.data[49] = 1;
                    break;
                case 2:
                    ++statusReads;
                    r.data = {2, 0, 0, 12, 0, 0, 0, static_cast<uint8_t>(statusReads <= staleStatus ? 2 : 1),
                              0, 0, 0, 0, 1, 0, 0, 0};
                    break;
                default:
                    r.data = {0xFF};
                    break;
                }
            });
        adapter_ = openController();
        vyntest::TreePtr<VynSES2EnclosureDevice> enclosure(new VynSES2EnclosureDevice(adapter_.get(), nullptr, 8, 0));
        const bool joined = staleStatus < 3;
        // Three rounds of reads at most.
        EXPECT_EQ(configReads, joined ? staleStatus + 1 : 3u);
        EXPECT_EQ(statusReads, configReads);
        EXPECT_EQ(enclosure->isSESDataValid(), joined);
        EXPECT_EQ(enclosure->getFanCount(), joined ? 1 : 0);
        EXPECT_EQ(enclosure->getNumberOfElementTypesSupported(), joined ? 1 : 0);
        EXPECT_EQ(traceLog().find("SES-2 enclosure 0 changed while its pages were read") != std::string::npos,
                  !joined);
        if (!joined) {
            EXPECT_EQ(enclosure->build().getReturn(), -6);
        }
        adapter_.reset();
    }
}

TEST_F(VynAdapterDevicesTest, ADeviceOnAnUnreportedBusHangsOnAPlaceholderChannelOfTheController)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    build("adapter0.drive8 = 1:0 sas 146G\nadapter0.drive9 = 1:1 sas 146G\n");
    EXPECT_EQ(ret_, Ret());
    EXPECT_NE(traceLog().find("Didn't find real channel object, creating placeholder channel"), std::string::npos);
    RaidObject* first = device(1, 0);
    RaidObject* second = device(1, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    RaidObject* placeholder = first->getParent();
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->getParent(), adapter_.get());
    EXPECT_STREQ(placeholder->typeName(), "Channel");
    EXPECT_EQ(placeholder->getChannelID(), 1u);
    EXPECT_EQ(static_cast<Channel*>(placeholder)->getChannelType(), CHANNEL_TYPE_SCSI);
    EXPECT_EQ(static_cast<int>(static_cast<Channel*>(placeholder)->getTransferSpeed()), 0x7FFFFFFF);
    // One placeholder per bus: the second device joins the first's.
    EXPECT_EQ(second->getParent(), placeholder);
    std::vector<RaidObject*> channels;
    adapter_->getChildren(channels, "Channel", false, true);
    EXPECT_EQ(channels.size(), 2u);
    EXPECT_NE(attachOf(first), nullptr);
    FSA_STORAGE_DEVICE address = *attachOf(second)->getStorageDevice();
    EXPECT_EQ(getHardDriveFromFsa(adapter_.get(), &address), second);
    address.targetId = 7;
    EXPECT_EQ(getHardDriveFromFsa(adapter_.get(), &address), nullptr);
}

TEST_F(VynAdapterDevicesTest, FailingDeviceQueriesEndAfterTwoHundredFiftySixTries)
{
    // Without a configuration model every device query fails.
    ScriptedFsaExports fsa;
    build("adapter0.option_word3 = 0x390\n");
    EXPECT_EQ(fsa.count("FsaGetStorageDeviceInfo"), 256u);
    EXPECT_EQ(errorCount("FSA API Error: Moving to next device.  FsaGetStorageDeviceInfo() != "
                         "FSA_STS_NO_MORE_DEVICES fsaStatus="),
              255u);
    EXPECT_EQ(errorCount("FSA API Error: FsaGetStorageDeviceInfo() != FSA_STS_NO_MORE_DEVICES fsaStatus="), 1u);
    // No device was found: what the tree holds are the placeholders the
    // spare and logical-drive phases make for drives the firmware names.
    for (RaidObject* node : devices())
        EXPECT_STREQ(static_cast<PhysicalDevice*>(node)->getVendor(), "*MISSING*");
    // The later phases still run.
    EXPECT_NE(traceLog().find("--- MAP SES DEVICES TO SES ELEMENTS ---"), std::string::npos);
}

TEST_F(VynAdapterDevicesTest, AFailureBetweenDevicesSkipsOnlyThatQuery)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaGetStorageDeviceInfo", 31);
    fsa.script("FsaGetStorageDeviceInfo", 31);
    build();
    EXPECT_EQ(ret_.getReturn(), -5);
    EXPECT_EQ(ret_.getAPIReturn(), 31u);
    EXPECT_EQ(errorCount("Moving to next device."), 2u);
    EXPECT_EQ(adapter_->getNumHardDrives(), 8u);
    EXPECT_EQ(fsa.count("FsaGetStorageDeviceInfo"), 12u);
}

TEST(VynDeviceConversionTest, PeripheralTypesBecomeDeviceTypes)
{
    const std::pair<unsigned, int> cases[] = {{0, 0},   {5, 5},   {9, 9},   {10, 10}, {11, 10},
                                              {12, 12}, {15, 15}, {16, 10}, {255, 10}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(GetDeviceTypeFromFsa(in), out) << in;
}

}  // namespace
