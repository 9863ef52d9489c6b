// The firmware side of a physical device: the model fields it takes from the
// device and SMART records, the reserved chunks and SAS phys it adds, SCSI
// pass-through, the locate blink and its XML attributes. Exact firmware words
// through the scripted exports.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;

// An enclosure device that records the element blinks asked of it.
class RecordingSes2Device : public SES2EnclosureDevice {
public:
    Ret blinkElement(bool on, SESElement& element) override
    {
        ++calls;
        lastOn = on;
        lastElement = &element;
        return Ret(0);
    }
    int calls = 0;
    bool lastOn = false;
    SESElement* lastElement = nullptr;
};

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

// A device record of a SAS disk at bus 0, target 3.
FSA_STORAGE_DEVICE_INFO diskRecord()
{
    FSA_STORAGE_DEVICE_INFO r;
    std::memset(&r, 0, sizeof r);
    r.address.storageDeviceType = 1;
    r.address.targetId = 3;
    r.address.lun = 0;
    r.stdDevType = 0;
    std::memcpy(r.vendorId, "SEAGATE ", 8);
    std::memcpy(r.productId, "ST3146855SS     ", 16);
    std::memcpy(r.productRevision, "0002", 4);
    r.numBlocksLow = 1000000;
    r.numUsableBlocksLow = 999000;
    r.maxUsableBlocksLow = 999000;
    r.bytesPerBlock = 512;
    r.negotiatedSpeedInMbps = 3000;
    return r;
}

class VynPhysicalDeviceAttachTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        // A controller that is never opened: every firmware call below is
        // the scripted one.
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
    }
    // A channel of the controller whose transfer speed is `speed`: SAS from
    // 400 up, SATA from 300, parallel SCSI below.
    Channel* channel(int speed)
    {
        _tagFSA_CHANNEL_ENUM_INFO r = {};
        r.busIndex = 0;
        Channel* c;
        if (speed >= 400)
            c = new VynSASChannel(adapter.get(), &r, static_cast<EnumSpeed>(speed));
        else if (speed >= 300)
            c = new VynSATAChannel(adapter.get(), &r, static_cast<EnumSpeed>(speed));
        else
            c = new VynSCSIChannel(adapter.get(), &r, static_cast<EnumSpeed>(speed));
        adapter->addChild(c);
        return c;
    }
    // A hard drive under `c` with its attachment made from the records.
    VynHardDrive* drive(Channel* c, const FSA_STORAGE_DEVICE_INFO& info, const FSA_SMART_DATA* smart = nullptr)
    {
        auto* d = new VynHardDrive(adapter.get(), c, info.address.targetId, 0);
        c->addChild(d);
        attach = new VynPhysicalDeviceAttach(c, d, &info, smart);
        return d;
    }
    void setGeneralInfoByte645(uint8_t value)
    {
        FSA_GENERAL_INFO2 gi;
        std::memset(&gi, 0, sizeof gi);
        gi.bytes[645] = value;
        adapter->setFsaGeneralInfo(&gi);
    }

    TreePtr<VynAdapter> adapter;
    VynPhysicalDeviceAttach* attach = nullptr;
};

TEST_F(VynPhysicalDeviceAttachTest, DeviceRecordFieldsGiveStateCacheAndFlags)
{
    struct Case {
        uint32_t usage, flags, unsupported, flagged, cache;
        EnumPhysicalDeviceState state;
        int writeCache;
        bool settable;
        bool jbod;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 1, PD_READY, 2, false, false},
        {3, 0, 0, 0, 2, PD_FAILED, 3, false, false},
        {2, 0, 0, 0, 3, PD_PARTITIONED, 0, true, false},
        {0, 0, 0, 0, 4, PD_READY, 1, true, false},
        {0, 0, 0, 0, 7, PD_READY, 4, false, false},
        // The JBOD flag comes after the usage and wins over it.
        {3, 1, 0, 0, 0, PD_ONLINE, 4, false, true},
        // Unsupported: only bit 0x2 of the reason changes the state.
        {0, 0, 0x2, 0, 0, PD_UNSUPPORTED, 4, false, false},
        {0, 0, 0x4, 0, 0, PD_READY, 4, false, false},
        // A flagged device ends in state 9, after the JBOD flag.
        {0, 1, 0, 5, 0, PD_COPYING_BACK, 4, false, true},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    Channel* c = channel(400);
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "usage " << k.usage << " flags " << k.flags << " reason "
                                        << k.unsupported << " flagged " << k.flagged << " cache " << k.cache);
        FSA_STORAGE_DEVICE_INFO r = diskRecord();
        r.storageDeviceUsage = k.usage;
        r.deviceFlags = k.flags;
        r.unsupportedDeviceReason = k.unsupported;
        r.auxStateFlag = k.flagged;
        r.diskCacheSetting = k.cache;
        VynHardDrive* d = drive(c, r);
        EXPECT_EQ(d->getState(), k.state);
        EXPECT_EQ(static_cast<int>(d->getWriteCacheEnable()), k.writeCache);
        EXPECT_EQ(d->getWriteCacheEnableSupported(), k.settable);
        EXPECT_EQ(d->isJBOD(), k.jbod);
        EXPECT_EQ(d->getUnsupportedDeviceReason(), k.unsupported);
    }
}

TEST_F(VynPhysicalDeviceAttachTest, SizesRevisionWwnAndDriveFieldsComeFromTheRecord)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    Channel* c = channel(400);
    FSA_STORAGE_DEVICE_INFO r = diskRecord();
    r.numBlocksHigh = 1;
    r.numBlocksLow = 0x10;
    r.maxUsableBlocksHigh = 1;
    r.maxUsableBlocksLow = 0;
    r.numUsableBlocksHigh = 0;
    r.numUsableBlocksLow = 0xFFFFF000u;
    std::memcpy(r.productRevision, "AB12", 4);
    std::memcpy(r.revisionExtension, "C\0\0\0", 4);
    r.fingerprint = 0x1122334455667788ull;  // low word at 128, high at 132
    r.address.targetId = 9;
    r.address.lun = 2;
    r.taskInProgress = 1;
    r.isCandidateSpare = 1;
    r.firmwareState = 3;
    r.firmwareOptions = 7;
    r.nonSpinning = 1;
    r.sataNcqEnabled = 1;
    r.ataSecuritySupport = 1;
    r.orvexaCapable = 1;
    r.orvexaAssigned = 1;
    VynHardDrive* d = drive(c, r);
    EXPECT_EQ(d->getSize(), 0x100000010ull);
    EXPECT_EQ(d->getMaxUsableBlocks(), 0x100000000ull);
    EXPECT_STREQ(d->getFirmwareLevel(), "AB12C");
    EXPECT_EQ(d->getWWN0(), 0x44332211u);
    EXPECT_EQ(d->getWWN1(), 0x88776655u);
    EXPECT_EQ(d->getScsiID(), 9u);
    EXPECT_EQ(d->getScsiLUN(), 2u);
    EXPECT_TRUE(d->getTaskInProgress());
    EXPECT_TRUE(d->getCandidateSpare());
    EXPECT_EQ(d->getPMState(), 3);
    EXPECT_EQ(d->getPMSupportedStates(), 7);
    EXPECT_TRUE(d->IsNonSpinning());
    EXPECT_TRUE(d->IsSataNCQEnabled());
    EXPECT_TRUE(d->IsATAsecuritySupport());
    // Cache-pool flags need bit 0x40 of the general information byte 645.
    EXPECT_FALSE(d->IsOrvexaCapable());
    EXPECT_FALSE(d->IsOrvexaAssigned());
    setGeneralInfoByte645(0x40);
    attach->setFsaInfo(&r, nullptr);
    EXPECT_TRUE(d->IsOrvexaCapable());
    EXPECT_TRUE(d->IsOrvexaAssigned());

    // A world-wide name already set is kept.
    d->setWWN0(0xAAAA);
    d->setWWN1(0);
    r.fingerprint = 0x0102030405060708ull;
    attach->setFsaInfo(&r, nullptr);
    EXPECT_EQ(d->getWWN0(), 0xAAAAu);
    EXPECT_EQ(d->getWWN1(), 0u);
}

TEST_F(VynPhysicalDeviceAttachTest, ReservedAreasBecomeMetadataChunks)
{
    struct Case {
        uint32_t blocks, usable;
        std::vector<std::pair<unsigned long long, unsigned long long>> chunks;  // start, count
    };
    const Case cases[] = {
        {1000000, 999000, {{0, 128}, {999128, 872}}},
        // Usable blocks that leave no room behind them: no end chunk.
        {1000, 950, {{0, 128}}},
        {1078, 950, {{0, 128}}},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    Channel* c = channel(400);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.blocks);
        FSA_STORAGE_DEVICE_INFO r = diskRecord();
        r.numBlocksLow = k.blocks;
        r.numUsableBlocksLow = k.usable;
        VynHardDrive* d = drive(c, r);
        const std::vector<Chunk*> chunks = d->getChunkVector();
        ASSERT_EQ(chunks.size(), k.chunks.size());
        for (size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i]->getStartSector(), k.chunks[i].first);
            EXPECT_EQ(chunks[i]->getNumSector(), k.chunks[i].second);
            EXPECT_EQ(static_cast<int>(chunks[i]->getChunkType()), 1);
        }
    }
}

TEST_F(VynPhysicalDeviceAttachTest, SpeedBandsFollowTheChannelAndSetTheInterface)
{
    struct Case {
        int channelSpeed;
        uint32_t deviceType;  // storage device type at offset 0
        unsigned long mbps;
        int speed;
        int interfaceType;
    };
    const Case cases[] = {
        {99, 1, 9, 1, 0},      {99, 1, 10, 2, 0},      {99, 1, 19, 2, 0},      {99, 1, 39, 3, 0},
        {99, 1, 79, 4, 0},     {99, 1, 159, 5, 0},     {99, 1, 319, 6, 0},     {99, 1, 320, 7, 0},
        {100, 1, 65, 100, 2},  {199, 1, 66, 101, 2},   {100, 1, 99, 101, 2},   {100, 1, 132, 102, 2},
        {100, 1, 133, 103, 2}, {200, 1, 199, 200, 3},  {299, 1, 200, 201, 3},  {200, 1, 999, 202, 3},
        {200, 1, 1000, 203, 3}, {300, 1, 299, 300, 1}, {399, 1, 300, 301, 1},  {300, 1, 600, 302, 1},
        {400, 1, 299, 400, 4}, {400, 1, 599, 401, 4},  {400, 1, 600, 402, 4},
        // A SATA device behind a SAS channel takes the SATA values.
        {400, 2, 299, 300, 1}, {400, 2, 300, 301, 1},  {400, 2, 600, 302, 1},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.channelSpeed << " / " << k.deviceType << " / " << k.mbps);
        FSA_STORAGE_DEVICE_INFO r = diskRecord();
        r.address.storageDeviceType = k.deviceType;
        r.negotiatedSpeedInMbps = static_cast<uint32_t>(k.mbps);
        VynHardDrive* d = drive(channel(k.channelSpeed), r);
        EXPECT_EQ(d->getEnumeratedNegotiatedSpeed(), k.speed);
        EXPECT_EQ(d->getNegotiatedSpeed(), k.speed);
        EXPECT_EQ(d->getSetSpeed(), k.speed);
        EXPECT_EQ(d->getEnumeratedSetSpeed(), k.speed);
        EXPECT_EQ(d->getInterfaceType(), k.interfaceType);
        EXPECT_EQ(attach->GetEnumSpeedFromFsaSpeed(k.mbps), k.speed);
    }
}

TEST_F(VynPhysicalDeviceAttachTest, VendorModelAndSerialAreFilledOnlyWhereEmpty)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    Channel* c = channel(400);
    FSA_STORAGE_DEVICE_INFO r = diskRecord();
    // The short inquiry serial and the controller's whole identifier of the
    // drive: only the second is the drive's serial number.
    std::memcpy(r.serialNumber, "SER-1234            ", 20);
    std::memcpy(r.extendedIdentifier, "SEAGATE 3QN0A1B2C3\x01 ", 20);
    VynHardDrive* d = drive(c, r);
    EXPECT_STREQ(d->getVendor(), "SEAGATE");
    EXPECT_STREQ(d->getModel(), "ST3146855SS");
    // Without bit 0x08 of byte 645 the record's serial is not taken.
    EXPECT_STREQ(d->getSerialNumber(), "");

    setGeneralInfoByte645(0x08);
    auto* set = new VynHardDrive(adapter.get(), c, 4, 0);
    c->addChild(set);
    set->setVendor("OWN");
    set->setModel("MODEL");
    new VynPhysicalDeviceAttach(c, set, &r, nullptr);
    EXPECT_STREQ(set->getVendor(), "OWN");
    EXPECT_STREQ(set->getModel(), "MODEL");
    EXPECT_STREQ(set->getSerialNumber(), "SEAGATE 3QN0A1B2C3?");

    // A disk without vendor text whose model the controller knows.
    std::memset(r.vendorId, ' ', 8);
    std::memcpy(r.productId, "SSDSA2SH032G1GN ", 16);
    EXPECT_STREQ(drive(c, r)->getVendor(), "INTEL");
    // Other device types keep the empty vendor.
    auto* tape = new VynTapeDrive(adapter.get(), c, 6);
    c->addChild(tape);
    r.stdDevType = 1;
    new VynPhysicalDeviceAttach(c, tape, &r, nullptr);
    EXPECT_STREQ(tape->getVendor(), "");
    EXPECT_STREQ(tape->getModel(), "SSDSA2SH032G1GN");
}

TEST_F(VynPhysicalDeviceAttachTest, IbmDrivesTakeSerialAndFruFromTheInquiry)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    std::vector<uint8_t> reply(8 + ScriptedFsaExports::kScsiSenseBytes + 255, 0);
    uint8_t* inquiry = reply.data() + 8 + ScriptedFsaExports::kScsiSenseBytes;
    std::memcpy(inquiry + 36, "J1234567", 8);
    std::memcpy(inquiry + 114, "42D0421     ", 12);
    reply[4] = 1;  // completion class: success
    fsa.script("FsaSendScsiCommand", 1, reply);
    FSA_STORAGE_DEVICE_INFO r = diskRecord();
    std::memcpy(r.vendorId, "IBM-ESXS", 8);
    VynHardDrive* d = drive(channel(400), r);
    EXPECT_STREQ(d->getSerialNumber(), "J1234567");
    EXPECT_STREQ(d->getFruNumber(), "42D0421");
    ASSERT_EQ(fsa.sent("FsaSendScsiCommand").size(), 1u);
    EXPECT_EQ(fsa.sent("FsaSendScsiCommand")[0].bytes[0], 0x12);  // INQUIRY

    // A failed inquiry leaves both.
    fsa.script("FsaSendScsiCommand", 9);
    VynHardDrive* other = drive(channel(400), r);
    EXPECT_STREQ(other->getSerialNumber(), "");
    EXPECT_STREQ(other->getFruNumber(), "");
}

TEST_F(VynPhysicalDeviceAttachTest, SasPhysAreAddedPerPortWithAnAddress)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    std::vector<uint8_t> both(2 * sizeof(_FSA_SAS_DISK_PHY_INFO), 0);
    for (int b = 0; b < 8; ++b)
        both[8 + b] = static_cast<uint8_t>(0x50 + b);
    fsa.script("FsaGetDiskSasPhyInfo", 1, both);
    VynHardDrive* one = drive(channel(400), diskRecord());
    EXPECT_EQ(one->getNumSASPhys(), 1u);
    EXPECT_EQ(attach->getSasAddress(0)[0], 0x50);

    both[sizeof(_FSA_SAS_DISK_PHY_INFO) + 8 + 7] = 0x01;
    fsa.script("FsaGetDiskSasPhyInfo", 1, both);
    EXPECT_EQ(drive(channel(400), diskRecord())->getNumSASPhys(), 2u);
    EXPECT_EQ(attach->getSasAddress(1)[7], 0x01);

    // A failed query is reported and adds none; a SATA channel asks nothing.
    fsa.script("FsaGetDiskSasPhyInfo", 7);
    EXPECT_EQ(drive(channel(400), diskRecord())->getNumSASPhys(), 0u);
    EXPECT_EQ(errorCount("FsaGetDiskSasPhyInfo() == 7 (fsaStatus)"), 1u);
    const unsigned asked = fsa.count("FsaGetDiskSasPhyInfo");
    drive(channel(300), diskRecord());
    EXPECT_EQ(fsa.count("FsaGetDiskSasPhyInfo"), asked);
    // Nor does an SES-2 enclosure device on a SAS channel.
    Channel* sas = channel(400);
    auto* ses = new RecordingSes2Device();
    sas->addChild(ses);
    const FSA_STORAGE_DEVICE_INFO record = diskRecord();
    new VynPhysicalDeviceAttach(sas, ses, &record, nullptr);
    EXPECT_EQ(fsa.count("FsaGetDiskSasPhyInfo"), asked);
    EXPECT_EQ(ses->getNumSASPhys(), 0u);
}

TEST_F(VynPhysicalDeviceAttachTest, PassThruOutcomesByFirmwareAndDeviceStatus)
{
    struct Case {
        FSA_STATUS firmware;
        uint32_t scsiStatus, srb;
        int code;
        unsigned api;
        const char* extraLine;  // in the error log, or null
    };
    const Case cases[] = {
        // CHECK CONDITION counts as run: the caller reads status and sense.
        {1, 2, 4, 0, 0, nullptr},
        {1, 0, 4, 0, 0, nullptr},
        {1, 8, 1, 0, 0, nullptr},
        {1, 8, 0x12, 0, 0, nullptr},
        {1, 8, 0x23, 0, 0, nullptr},
        {1, 8, 4, -10, 0, "FsaSendScsiCommand(),srbStatus = 4 scsiStatus = 8"},
        // A failed send keeps the API error with the firmware status.
        {5, 0, 0, -5, 5, "*** FSA API Error: FsaSendScsiCommand() fsaStatus=5 ***"},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    drive(channel(400), diskRecord());
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.firmware << " / " << k.scsiStatus << " / " << k.srb);
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
        std::vector<uint8_t> reply = vyntest::words({k.scsiStatus, k.srb});
        reply.resize(8 + ScriptedFsaExports::kScsiSenseBytes, 0);
        reply[8] = 0xF0;
        reply[8 + 2] = 0x05;
        reply[8 + 12] = 0x24;
        fsa.script("FsaSendScsiCommand", k.firmware, reply);
        SCSICommand command;
        command.initTestUnitReady();
        Ret ret;
        attach->doScsiPassThru(command, ret);
        EXPECT_EQ(ret.getReturn(), k.code);
        EXPECT_EQ(ret.getAPIReturn(), k.api);
        if (k.firmware == 1) {
            EXPECT_EQ(command.getScsiStatus(), static_cast<int>(k.scsiStatus));
            EXPECT_EQ(command.getSrbStatus(), static_cast<int>(k.srb));
            EXPECT_EQ(command.getSenseData().Ptr()[12], 0x24);
        }
        const std::string log = errorLog();
        if (k.extraLine != nullptr)
            EXPECT_NE(log.find(k.extraLine), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("srbStatus ="), std::string::npos) << log;
        // The dump follows every send.
        EXPECT_NE(log.find("CDB: 00 00 00 00 00 00"), std::string::npos) << log;
        EXPECT_NE(log.find("Request Sense: ErrorCode=0x70, SenseKey=0x05, ASC=0x24, ASCQ=0x00, fruCode=0x00, "
                           "SenseKeySpecific=0x000000"),
                  std::string::npos)
            << log;
    }
}

TEST_F(VynPhysicalDeviceAttachTest, TheDumpShowsTheCdbByItsLengthAndTheDataAreas)
{
    struct Case {
        unsigned long cdbLength;
        size_t shown;  // CDB bytes in the dump line
    };
    const Case cases[] = {{16, 16}, {17, 16}, {15, 12}, {12, 12}, {11, 10}, {10, 10}, {9, 6}, {6, 6}, {5, 0}};
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    drive(channel(400), diskRecord());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.cdbLength);
        vyntest::writeFile(hostFile("/var/log/vynerror.txt"), "");
        Buffer cdb(k.cdbLength);
        for (unsigned long i = 0; i < k.cdbLength; ++i)
            cdb[i] = static_cast<unsigned char>(0xA0 + i);
        SCSICommand command(cdb, SCSI_DIRECTION_DATA_IN);
        Buffer in(16);
        for (unsigned long i = 0; i < 16; ++i)
            in[i] = static_cast<unsigned char>(i);
        command.setReadData(in);
        fsa.script("FsaSendScsiCommand", 1, vyntest::words({0, 1}));
        Ret ret;
        attach->doScsiPassThru(command, ret);
        EXPECT_EQ(ret, Ret());
        std::string expected = "CDB:";
        char hex[4];
        for (size_t i = 0; i < k.shown; ++i) {
            std::snprintf(hex, sizeof hex, " %02x", static_cast<unsigned>(0xA0 + i));
            expected += hex;
        }
        const std::string log = errorLog();
        if (k.shown == 0) {
            EXPECT_EQ(log.find("CDB:"), std::string::npos) << log;
        } else {
            EXPECT_NE(log.find(expected + "\n"), std::string::npos) << log;
        }
        EXPECT_NE(log.find("Read Data: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f"), std::string::npos) << log;
        EXPECT_EQ(log.find("Write Data:"), std::string::npos) << log;
        // No sense area: no sense lines.
        EXPECT_EQ(log.find("Request Sense:"), std::string::npos) << log;
    }
    // The whole CDB goes to the firmware, whatever the dump shows of it.
    EXPECT_EQ(fsa.sent("FsaSendScsiCommand").back().bytes.size(), 5u);
}

TEST_F(VynPhysicalDeviceAttachTest, AHardDriveBlinksThroughItsAttachment)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    Channel* c = channel(400);
    VynHardDrive* d = drive(c, diskRecord());
    fsa.script("FsaStorageDevice2", 9);
    EXPECT_EQ(d->identifyDevice(true).getReturn(), -5);
    const auto blinks = fsa.sent("FsaStorageDevice2");
    ASSERT_EQ(blinks.size(), 1u);
    EXPECT_EQ(blinks[0].bytes, vyntest::words({7, 7, 3600}));

    // Without an attachment there is nothing to reach the drive by.
    auto* bare = new VynHardDrive(adapter.get(), c, 9, 0);
    c->addChild(bare);
    EXPECT_EQ(bare->identifyDevice(true).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: pAttach==NULL, paramValue=0 ***"), 1u);
    EXPECT_EQ(fsa.sent("FsaStorageDevice2").size(), 1u);
}

TEST_F(VynPhysicalDeviceAttachTest, IdentifyPicksTheBlinkByWhatHoldsTheDevice)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    drive(channel(400), diskRecord());

    // No enclosure: the drive blinks itself, an hour on, then off, on the
    // controller's own handle.
    fsa.scriptTimes("FsaStorageDevice2", 2, 1);
    Ret ret;
    attach->identifyDevice(true, ret);
    EXPECT_EQ(ret, Ret());
    attach->identifyDevice(false, ret);
    EXPECT_EQ(ret, Ret());
    const auto blinks = fsa.sent("FsaStorageDevice2");
    ASSERT_EQ(blinks.size(), 2u);
    EXPECT_EQ(blinks[0].bytes, vyntest::words({7, 7, 3600}));
    EXPECT_EQ(blinks[1].bytes, vyntest::words({7, 7, 0}));
    EXPECT_EQ(blinks[0].handle, adapter->getAdapterHandle());
    fsa.script("FsaStorageDevice2", 9);
    attach->identifyDevice(true, ret);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaStorageDevice2(x,x,FSA_SDO_BLINK_DRIVE,x,x) fsaStatus=9 ***"), 1u);

    // A SAF-TE slot: the enclosure request on a write handle of its own.
    attach->setFsaEnclosureId(2);
    attach->setFsaSafteSlotNum(5);
    fsa.script("FsaOpenAdapter2A", 1, vyntest::words({0x4321, 0}));
    fsa.script("FsaEnclosureMgt", 1);
    fsa.script("FsaCloseAdapter", 1);
    attach->identifyDevice(true, ret);
    EXPECT_EQ(ret, Ret());
    auto requests = fsa.sent("FsaEnclosureMgt");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].handle, reinterpret_cast<void*>(0x4321));
    EXPECT_EQ(faGetLe32(requests[0].bytes.data()), 3u);
    EXPECT_EQ(faGetLe32(requests[0].bytes.data() + 4), 1026u);
    EXPECT_EQ(faGetLe32(requests[0].bytes.data() + 8), 2u);
    EXPECT_EQ(faGetLe32(requests[0].bytes.data() + 12), 5u);
    fsa.script("FsaOpenAdapter2A", 1, vyntest::words({0x4321, 0}));
    fsa.script("FsaEnclosureMgt", 1);
    fsa.script("FsaCloseAdapter", 1);
    attach->identifyDevice(false, ret);
    requests = fsa.sent("FsaEnclosureMgt");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(faGetLe32(requests[1].bytes.data() + 4), 1027u);
    // No write handle: busy, nothing sent.
    fsa.script("FsaOpenAdapter2A", 9);
    attach->identifyDevice(true, ret);
    EXPECT_EQ(ret.getReturn(), -6);
    EXPECT_EQ(fsa.sent("FsaEnclosureMgt").size(), 2u);
    EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), 1u);

    // An SES-2 slot element: its enclosure device blinks the element.
    auto* ses = new RecordingSes2Device();
    adapter->addChild(ses);
    auto* element = new SESElement(1, "slot", 1);
    ses->addChild(element);
    attach->setSesElement(element);
    attach->identifyDevice(true, ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(ses->calls, 1);
    EXPECT_TRUE(ses->lastOn);
    EXPECT_EQ(ses->lastElement, element);
    EXPECT_EQ(fsa.sent("FsaEnclosureMgt").size(), 2u);
}

TEST_F(VynPhysicalDeviceAttachTest, TheRecordIsWrittenInItsAttributeOrder)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    FSA_STORAGE_DEVICE_INFO r = diskRecord();
    r.fingerprint = 0x100000002ull;
    r.rawSlotNumber = 6;
    r.numBlocksHigh = 2;
    FSA_SMART_DATA smart;
    std::memset(&smart, 0, sizeof smart);
    smart.smartEnabled = 1;
    smart.mrie = 6;
    smart.errorCount = 3;
    VynHardDrive* d = drive(channel(400), r, &smart);
    EXPECT_TRUE(d->getPfaSupported());
    EXPECT_TRUE(d->getPfaEnabled());
    EXPECT_TRUE(d->getPfaError());
    const std::string xml = xmlOf(*d);
    const char* const order[] = {
        "attachmentType=\"VynPhysicalDeviceAttach\"",
        "fsaStdDevType=\"0\"",
        "fsaDevSubType=\"0\"",
        "fsaNumBlocks=\"8590934592\"",
        "fsaBytesPerBlock=\"512\"",
        "fsaMaxUsableBlocks=\"999000\"",
        "fsaNumUsableBlocks=\"999000\"",
        "fsaNegotiatedSpeedInMbps=\"3000\"",
        "fsaNegotiatedBusType=",
        "fsaDiskCacheSetting=",
        "fsaFingerprint=\"4294967298\"",
        "fsaIsBlinking=\"false\"",
        "fsaRemovableMedia=",
        "fsaFailoverSpaceUsage=",
        "fsaStorageDeviceClass=",
        "fsaStorageDeviceUsage=",
        "fsaUnsupportedDeviceReason=",
        "fsaRawSlotNumber=\"6\"",
        "fsaEnclNvsramIndex=",
        "fsaStorageDeviceType=\"1\"",
        "fsaIsCandidateSpare=",
        "fsaTaskInProgress=",
        "fsaSharedBus=",
        "fsaAdapterManaged=",
        "fsaSmartMRIE=\"6\"",
        "fsaSmartEnabled=\"true\"",
        "fsaSmartPerf=",
        "fsaSmartTestError=",
        "fsaSmartDisableException=",
        "fsaSmartLogError=",
        "fsaSmartErrorCount=\"3\"",
        "fsaSmartIntervalTimer=",
        "fsaSmartRCount=",
        "fsaEnclosureId=\"2147483647\"",
        "fsaSafteSlotNum=\"2147483647\"",
        "fsaSlotNum=\"2147483647\"",
        "pSesElement=\"null\"",
    };
    size_t at = 0;
    for (const char* attribute : order) {
        const size_t found = xml.find(attribute, at);
        ASSERT_NE(found, std::string::npos) << attribute << " after " << at << " in " << xml;
        at = found;
    }
    // A device without SMART copy writes no SMART attributes.
    auto* tape = new VynTapeDrive(adapter.get(), d->getChannel(), 7);
    d->getChannel()->addChild(tape);
    new VynPhysicalDeviceAttach(d->getChannel(), tape, &r, &smart);
    EXPECT_EQ(xmlOf(*tape).find("fsaSmart"), std::string::npos);
}

}  // namespace
