// Channels with their firmware record, the channel identify over its drives,
// and the SAS phys and connectors made from firmware records.
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A drive whose blink answers a set result.
class BlinkingDrive : public VynHardDrive {
public:
    BlinkingDrive(VynAdapter* adapter, Channel* channel, unsigned long id, int result)
        : VynHardDrive(adapter, channel, id, 1000), result(result)
    {
    }
    Ret identifyDevice(bool on) override
    {
        ++calls;
        lastOn = on;
        Ret ret(result);
        ret.setMiscErrors(0, static_cast<long>(getDeviceID()));
        return ret;
    }
    int result;
    int calls = 0;
    bool lastOn = false;
};

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

class VynChannelsTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
    }
    static _tagFSA_CHANNEL_ENUM_INFO channelRecord()
    {
        _tagFSA_CHANNEL_ENUM_INFO r = {};
        r.busIndex = 2;
        r.adapterScsiId = 7;
        r.targetsAvailable = 16;
        r.channelType = 4;
        r.maxUsageType = 1;
        r.clustered = 1;
        r.partnerChannel = 3;
        r.partnerScsiId = 6;
        r.channelMode = 5;
        r.portsMapped = 8;
        r.linkSpeed = 3000;
        return r;
    }

    vyntest::TreePtr<VynAdapter> adapter;
};

TEST_F(VynChannelsTest, TheChannelsResultIsThatOfTheLastDriveThatFailed)
{
    const _tagFSA_CHANNEL_ENUM_INFO r = channelRecord();
    auto* channel = new VynSASChannel(adapter.get(), &r, static_cast<EnumSpeed>(400));
    adapter->addChild(channel);
    EXPECT_EQ(channel->identifyDevice(true), Ret(0));

    const int results[] = {0, -5, 0};
    std::vector<BlinkingDrive*> drives;
    for (unsigned long i = 0; i < 3; ++i) {
        drives.push_back(new BlinkingDrive(adapter.get(), channel, i, results[i]));
        channel->addChild(drives.back());
    }
    const Ret ret = channel->identifyDevice(true);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getSignedReturn(), 1);
    for (BlinkingDrive* d : drives) {
        EXPECT_EQ(d->calls, 1);
        EXPECT_TRUE(d->lastOn);
    }

    // A channel whose attachment is gone is a bad parameter.
    channel->attach(nullptr);
    EXPECT_EQ(channel->identifyDevice(false).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: pAttach==NULL, paramValue=0 ***"), 1u);
    EXPECT_FALSE(channel->getIsClustered());
    EXPECT_EQ(channel->getClusterPartnerID(), 0u);
}

TEST_F(VynChannelsTest, EveryChannelClassKeepsItsRecord)
{
    const _tagFSA_CHANNEL_ENUM_INFO r = channelRecord();
    vyntest::TreePtr<VynSCSIChannel> scsi(new VynSCSIChannel(adapter.get(), &r, static_cast<EnumSpeed>(40)));
    vyntest::TreePtr<VynSATAChannel> sata(new VynSATAChannel(adapter.get(), &r, static_cast<EnumSpeed>(300)));
    vyntest::TreePtr<VynSASChannel> sas(new VynSASChannel(adapter.get(), &r, static_cast<EnumSpeed>(400)));
    for (const VynChannelRecord* c : {static_cast<const VynChannelRecord*>(scsi.get()),
                                      static_cast<const VynChannelRecord*>(sata.get()),
                                      static_cast<const VynChannelRecord*>(sas.get())}) {
        EXPECT_TRUE(c->getIsClustered());
        EXPECT_FALSE(c->getIsPaused());
        EXPECT_EQ(c->getFsaChanStatus(), 5u);
        EXPECT_EQ(c->getClusterPartnerID(), 6u);
    }
    EXPECT_EQ(scsi->getChannelID(), 2u);
    EXPECT_EQ(sas->getChannelID(), 2u);
    EXPECT_EQ(sata->identifyDevice(true), Ret(0));

    // Without a record the copy stays zero.
    vyntest::TreePtr<VynSASChannel> bare(new VynSASChannel(adapter.get(), nullptr, static_cast<EnumSpeed>(400)));
    EXPECT_FALSE(bare->getIsClustered());
    EXPECT_EQ(bare->getFsaChanStatus(), 0u);
}

TEST_F(VynChannelsTest, TheRecordIsWrittenInItsAttributeOrder)
{
    const _tagFSA_CHANNEL_ENUM_INFO r = channelRecord();
    vyntest::TreePtr<VynSASChannel> sas(new VynSASChannel(adapter.get(), &r, static_cast<EnumSpeed>(400)));
    const std::string xml = xmlOf(*sas);
    const char* const order[] = {
        "attachmentType=\"VynChannelAttach\"", "isPaused=\"false\"", "isClustered=\"true\"", "numPortsMapped=\"8\"",
        "fsaChannelNumber=\"2\"", "fsaAdapterScsiID=\"7\"", "fsaTargetsAvailable=\"16\"", "fsaPhysicalType=\"4\"",
        "fsaMaxUsageType=\"1\"", "fsaPartnerChanNum=\"3\"", "fsaPartnerScsiID=\"6\"", "fsaChannelStatus=\"5\"",
        "fsaMaxSpeedInMbps=\"3000\"",
    };
    size_t at = 0;
    for (const char* attribute : order) {
        const size_t found = xml.find(attribute, at);
        ASSERT_NE(found, std::string::npos) << attribute << " after " << at << " in " << xml;
        at = found;
    }
}

TEST_F(VynChannelsTest, DrivePhysTakeTheirRatesFromTheNibbles)
{
    _FSA_SAS_DISK_PHY_INFO disk = {};
    disk.bytes[1] = 3;
    disk.bytes[4] = 0x25;  // device type in bits 4 to 6
    disk.bytes[5] = 0xA9;
    disk.bytes[6] = 0x08;
    disk.bytes[7] = 0x02;
    for (int i = 0; i < 8; ++i) {
        disk.bytes[8 + i] = static_cast<uint8_t>(0x50 + i);
        disk.bytes[16 + i] = static_cast<uint8_t>(0xA0 + i);
    }
    disk.bytes[24] = 4;
    disk.bytes[32] = 0x98;
    disk.bytes[33] = 0xBA;
    VynSASPhy phy(&disk);
    EXPECT_STREQ(phy.getSASAddress(), "5051525354555657");
    EXPECT_EQ(phy.getPhyID(), 3u);
    const std::string xml = xmlOf(phy);
    for (const char* attribute :
         {"attachedDeviceType=\"2\"", "negPhyLinkRate=\"9\"", "initiatorProtocols=\"0\"", "targetProtocols=\"0\"",
          "attachedInitiatorProtocols=\"8\"", "attachedTargetProtocols=\"2\"", "attachedPhyID=\"4\"",
          "attachedSASaddress=\"A0A1A2A3A4A5A6A7\"", "progMinPhyLinkRate=\"9\"", "progMaxPhyLinkRate=\"11\"",
          "hwMinPhyLinkRate=\"8\"", "hwMaxPhyLinkRate=\"10\"", "phyChangeCount=\"0\""})
        EXPECT_NE(xml.find(attribute), std::string::npos) << attribute << " in " << xml;
}

TEST_F(VynChannelsTest, ConnectorWordsSplitIntoChannelAndDevice)
{
    fsa_dev_info_struct lane = {};
    faPutLe32(lane.bytes, 0x02000005);
    lane.bytes[5] = 1;
    lane.bytes[6] = 7;
    fsa_connector_info_struct connector = {};
    connector.bytes[0] = 3;
    connector.bytes[1] = 2;
    const char name[] = "PORT-A1X";  // eight characters, none to spare
    std::memcpy(connector.bytes + 4, name, 8);
    VynSASConnector c(&lane, &connector);
    EXPECT_EQ(c.getChannelID(), 2);
    EXPECT_EQ(c.getDevID(), 5);
    EXPECT_EQ(c.getLaneID(), 1);
    EXPECT_EQ(c.getPhyID(), 7);
    EXPECT_EQ(c.getConnectorID(), 3);
    EXPECT_STREQ(c.getConnectorName(), "PORT-A1X");
}

}  // namespace
