#include "RaidModel/Interface/Channel.h"

#include <gtest/gtest.h>

#include <string>

#include "ModelXml.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/TapeDrive.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;
using vyntest::xmlOf;

namespace {

Channel* newChannel(const std::string& xml, SimpleXmlParser& parser)
{
    const std::string kind = xml.substr(0, 200);
    if (kind.find("SASChannel") != std::string::npos) {
        return new SASChannel(nullptr, parser);
    }
    if (kind.find("SATAChannel") != std::string::npos) {
        return new SATAChannel(nullptr, parser);
    }
    return new SCSIChannel(nullptr, parser);
}

// A channel read from XML, with the text its attributes point into; frees
// the channel and what it built.
struct Owned {
    explicit Owned(const std::string& text) : xml(text), channel(newChannel(text, xml.parser())) {}
    ~Owned()
    {
        channel->deleteAllChildren();
        delete channel;
    }
    Channel* operator->() const { return channel; }

    ParsedXml xml;
    Channel* channel;
};

}  // namespace

TEST(ChannelIndexes, DevicesAreIndexedByKindAndStampedWithTheChannelID)
{
    SASChannel channel(nullptr, 5, SPEED_UNSET);
    HardDrive* drive = new HardDrive();
    TapeDrive* tape = new TapeDrive();
    Enclosure* enclosure = new Enclosure();
    SES2EnclosureDevice* ses = new SES2EnclosureDevice();
    SASPhy* phy = new SASPhy();
    drive->addChild(phy);
    channel.addChild(drive);
    channel.addChild(tape);
    channel.addChild(enclosure);
    channel.addChild(ses);

    EXPECT_EQ(channel.getPhysicalDevice(0), drive);
    EXPECT_EQ(channel.getPhysicalDevice(3), ses);
    EXPECT_EQ(channel.getPhysicalDevice(4), nullptr);
    EXPECT_EQ(channel.getHardDrive(0), drive);
    EXPECT_EQ(channel.getHardDrive(1), nullptr);
    EXPECT_EQ(channel.getOtherPhysicalDevice(0), tape);
    EXPECT_EQ(channel.getOtherPhysicalDevice(1), nullptr);
    EXPECT_EQ(channel.getEnclosure(0), enclosure);
    EXPECT_EQ(channel.getSES2EnclosureDevice(0), ses);
    for (RaidObject* node : {static_cast<RaidObject*>(drive), static_cast<RaidObject*>(tape),
                             static_cast<RaidObject*>(phy)}) {
        EXPECT_EQ(node->getChannelID(), 5u);
    }
    channel.deleteAllChildren();
}

TEST(ChannelKinds, NamesTypesAndAliases)
{
    SCSIChannel scsi;
    SASChannel sas;
    SATAChannel sata;
    const struct {
        Channel* channel;
        const char* type;
        const char* alias;
        EnumChannelType channelType;
    } cases[] = {
        {&scsi, "SCSIChannel", "ScsiChannel", CHANNEL_TYPE_SCSI},
        {&sas, "SASChannel", "SasChannel", CHANNEL_TYPE_SAS},
        {&sata, "SATAChannel", "SataChannel", CHANNEL_TYPE_SATA},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.channel->typeName(), c.type);
        EXPECT_STREQ(c.channel->serializedName(), "Channel");
        EXPECT_TRUE(c.channel->isInstanceOf(c.type));
        EXPECT_TRUE(c.channel->isInstanceOf(c.alias));
        EXPECT_TRUE(c.channel->isInstanceOf("Channel"));
        EXPECT_TRUE(c.channel->isInstanceOf("RaidObject"));
        EXPECT_EQ(c.channel->getChannelType(), c.channelType);
        EXPECT_EQ(c.channel->getTransferSpeed(), SPEED_UNSET);
        EXPECT_EQ(c.channel->getChannelID(), 0u);
    }
    EXPECT_FALSE(scsi.isInstanceOf("SASChannel"));
}

TEST(ChannelOperations, HardwareOperationsAreNotSupported)
{
    SCSIChannel channel(nullptr, 1, 7, static_cast<EnumSpeed>(6));
    EXPECT_EQ(channel.setTransferSpeed(static_cast<EnumSpeed>(7)).getReturn(), -1);
    EXPECT_EQ(channel.getTransferSpeed(), 6);
    EXPECT_EQ(channel.identifyDevice(true).getReturn(), -1);
    EXPECT_EQ(channel.setInitiatorID(3).getReturn(), -1);
    EXPECT_EQ(channel.getInitiatorID(), 7u);
}

TEST(ChannelCompare, EachKindComparesItsOwnField)
{
    SCSIChannel a(nullptr, 1, 7, SPEED_UNSET);
    SCSIChannel b(nullptr, 1, 6, SPEED_UNSET);
    EXPECT_TRUE(static_cast<Channel&>(a) == static_cast<Channel&>(b));
    EXPECT_TRUE(a != b);
    SASChannel c(nullptr, 1, static_cast<EnumSpeed>(401));
    SASChannel d(nullptr, 1, static_cast<EnumSpeed>(402));
    EXPECT_TRUE(c != d);
    SATAChannel e(nullptr, 1, SPEED_UNSET, 4);
    SATAChannel f(e);
    EXPECT_TRUE(e == f);
    EXPECT_EQ(f.getChannelID(), 1u);
    EXPECT_EQ(f.getPortCount(), 4u);
}

TEST(ChannelXml, AttributesInOrderPerKind)
{
    SCSIChannel scsi(nullptr, 2, 7, static_cast<EnumSpeed>(6));
    SASChannel sas(nullptr, 0, static_cast<EnumSpeed>(401));
    SATAChannel sata(nullptr, 1, static_cast<EnumSpeed>(301), 8);
    const std::string base = " typeName=\"";
    EXPECT_EQ(attributesOf(scsi), base + "SCSIChannel\" attachmentType=\"none\" channelID=\"2\""
                                  " transferSpeed=\"6\" channelSpeed=\"6\" channelType=\"0\""
                                  " type=\"scsi\" initiatorID=\"7\"");
    EXPECT_EQ(attributesOf(sas), base + "SASChannel\" attachmentType=\"none\" channelID=\"0\""
                                 " transferSpeed=\"401\" channelSpeed=\"401\" channelType=\"4\""
                                 " type=\"sas\"");
    EXPECT_EQ(attributesOf(sata), base + "SATAChannel\" attachmentType=\"none\" channelID=\"1\""
                                  " transferSpeed=\"301\" channelSpeed=\"301\" channelType=\"1\""
                                  " type=\"sata\" ports=\"8\"");
}

TEST(ChannelXml, OnlyASASChannelKeepsAnSESEnclosureDevice)
{
    const std::string children = "<SESEnclosureDevice deviceID=\"9\"/><HardDrive deviceID=\"1\"/></Channel>";
    const struct {
        const char* typeName;
        bool keepsSES;
    } cases[] = {
        {"VynSASChannel", true},
        {"SCSIChannel", false},
        {"SATAChannel", false},
    };
    for (const auto& c : cases) {
        Owned channel(std::string("<Channel typeName=\"") + c.typeName + "\" channelID=\"3\">" + children);
        ASSERT_NE(channel->getHardDrive(0), nullptr) << c.typeName;
        EXPECT_EQ(channel->getSES2EnclosureDevice(0) != nullptr, c.keepsSES) << c.typeName;
        EXPECT_EQ(channel->getChildCount(), c.keepsSES ? 2u : 1u) << c.typeName;
        EXPECT_EQ(channel->getHardDrive(0)->getChannelID(), 3u);
    }
}

TEST(ChannelXml, PortsAndInitiatorReadBackTypeAndChannelSpeedDoNot)
{
    Owned sata("<Channel typeName=\"SATAChannel\" ports=\"8\" type=\"sas\" channelSpeed=\"9\"/>");
    EXPECT_EQ(static_cast<SATAChannel*>(sata.channel)->getPortCount(), 8u);
    EXPECT_EQ(sata->getChannelType(), CHANNEL_TYPE_SATA);
    EXPECT_EQ(sata->getTransferSpeed(), SPEED_UNSET);

    Owned bare("<Channel typeName=\"SATAChannel\"/>");
    EXPECT_EQ(static_cast<SATAChannel*>(bare.channel)->getPortCount(), 0u);

    Owned scsi("<Channel typeName=\"SCSIChannel\" initiatorID=\"7\" transferSpeed=\"6\"/>");
    EXPECT_EQ(static_cast<SCSIChannel*>(scsi.channel)->getInitiatorID(), 7u);
    EXPECT_EQ(scsi->getTransferSpeed(), 6);
}

TEST(ChannelXml, DevicesOfEveryKindAreBuiltAndOtherTagsSkipped)
{
    Owned channel("<Channel typeName=\"SCSIChannel\" channelID=\"1\">"
                              "<Unknown><Deeper/></Unknown>"
                              "<TapeDrive deviceID=\"2\"/><CDROMDrive deviceID=\"3\"/>"
                              "<PhysicalDevice deviceID=\"4\" deviceType=\"8\"/>"
                              "<Enclosure deviceID=\"6\"/></Channel>");
    ASSERT_EQ(channel->getChildCount(), 4u);
    EXPECT_TRUE(channel->getChild(0)->isInstanceOf("TapeDrive"));
    EXPECT_TRUE(channel->getChild(1)->isInstanceOf("CDROMDrive"));
    EXPECT_TRUE(channel->getChild(2)->isInstanceOf("OtherDevice"));
    EXPECT_EQ(channel->getChild(2)->getDeviceID(), 4u);
    EXPECT_EQ(channel->getEnclosure(0)->getDeviceID(), 6u);
    EXPECT_EQ(channel->getOtherPhysicalDevice(2), channel->getChild(2));
}

TEST(ChannelXml, WrittenChannelReadsBack)
{
    SATAChannel written(nullptr, 2, static_cast<EnumSpeed>(301), 6);
    HardDrive* drive = new HardDrive();
    drive->setDeviceID(4);
    written.addChild(drive);
    Owned read(xmlOf(written));
    written.deleteAllChildren();
    EXPECT_EQ(read->getChannelID(), 2u);
    EXPECT_EQ(read->getTransferSpeed(), 301);
    EXPECT_EQ(static_cast<SATAChannel*>(read.channel)->getPortCount(), 6u);
    ASSERT_NE(read->getHardDrive(0), nullptr);
    EXPECT_EQ(read->getHardDrive(0)->getDeviceID(), 4u);
}

// The parser throws on text it cannot read; the devices built before that
// are freed, not leaked.
TEST(ChannelXml, MalformedDeviceThrowsWithoutLeaking)
{
    const std::string text = "<Channel typeName=\"SASChannel\"><HardDrive deviceID=\"1\"/>"
                             "<HardDrive deviceID=2/></Channel>";
    ParsedXml xml(text);
    EXPECT_THROW(newChannel(text, xml.parser()), SimpleXmlException);
}
