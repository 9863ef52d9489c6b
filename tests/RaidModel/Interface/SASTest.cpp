#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SASPhy.h"

#include <gtest/gtest.h>

#include <string>

#include "ModelXml.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

const std::string kLongAddress = "5000000000000001500000000000000150000000";  // 40 characters

SASPhy makePhy(const char* address)
{
    return SASPhy(3, address, 1, 2, 4, "5000000000000002", 5, 6, static_cast<EnumSASDeviceType>(7),
                  static_cast<EnumSASNegotiatedLinkRate>(8), static_cast<EnumSASProgrammedLinkRate>(9),
                  static_cast<EnumSASProgrammedLinkRate>(10), static_cast<EnumSASHardwareLinkRate>(11),
                  static_cast<EnumSASHardwareLinkRate>(12), 13, true, 14,
                  static_cast<EnumSASRoutingType>(15));
}

}  // namespace

TEST(SASPhy, WritesItsAttributesInItsOwnOrder)
{
    SASPhy phy = makePhy("5000000000000001");
    EXPECT_EQ(phy.getPhyID(), 3u);
    EXPECT_EQ(attributesOf(phy),
              " typeName=\"SASPhy\" attachmentType=\"none\" phyID=\"3\" SASaddress=\"5000000000000001\""
              " initiatorProtocols=\"1\" targetProtocols=\"2\" attachedPhyID=\"4\""
              " attachedSASaddress=\"5000000000000002\" attachedInitiatorProtocols=\"5\""
              " attachedTargetProtocols=\"6\" attachedDeviceType=\"7\" negPhyLinkRate=\"8\""
              " progMinPhyLinkRate=\"9\" progMaxPhyLinkRate=\"10\" hwMinPhyLinkRate=\"11\""
              " hwMaxPhyLinkRate=\"12\" phyChangeCount=\"13\" virtualPhy=\"true\" pathTimeout=\"14\""
              " routingType=\"15\"");
}

TEST(SASPhy, LongAndNullAddressesAreCutOrEmpty)
{
    SASPhy phy = makePhy(kLongAddress.c_str());
    EXPECT_EQ(std::string(phy.getSASAddress()), kLongAddress.substr(0, 31));
    SASPhy none = makePhy(nullptr);
    EXPECT_STREQ(none.getSASAddress(), "");
}

TEST(SASPhy, WrittenPhyReadsBackAndCopiesTakeEveryField)
{
    SASPhy written = makePhy("5000000000000001");
    ParsedXml xml("<SASPhy" + attributesOf(written) + "/>");
    SASPhy read(xml.parser());
    EXPECT_EQ(attributesOf(read), attributesOf(written));
    SASPhy copy(read);
    EXPECT_EQ(attributesOf(copy), attributesOf(written));
    SASPhy assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(attributesOf(assigned), attributesOf(written));
}

TEST(SASPhy, ReadingCutsLongTextsAndReadsVirtualPhyByItsFirstLetter)
{
    const struct {
        const char* value;
        bool expected;
    } cases[] = {{"True", true}, {"1", true}, {"true", true}, {"yes", false}, {"false", false}};
    for (const auto& c : cases) {
        ParsedXml xml("<SASPhy SASaddress=\"" + kLongAddress + "\" virtualPhy=\"" + c.value + "\"></SASPhy>");
        SASPhy phy(xml.parser());
        EXPECT_EQ(std::string(phy.getSASAddress()), kLongAddress.substr(0, 31));
        const std::string expected = std::string("virtualPhy=\"") + (c.expected ? "true" : "false");
        EXPECT_NE(attributesOf(phy).find(expected), std::string::npos) << c.value;
    }
}

TEST(SASConnector, AbsentAttributesKeepTheUnsetDefaults)
{
    ParsedXml xml("<SASConnector connectorName=\"Port 0\"/>");
    SASConnector connector(xml.parser());
    EXPECT_STREQ(connector.getConnectorName(), "Port 0");
    EXPECT_EQ(connector.getChannelID(), 0x7FFFFFFF);
    EXPECT_EQ(connector.getDevID(), 0x7FFFFFFF);
    EXPECT_EQ(connector.getLaneID(), 0x7FFFFFFF);
    EXPECT_EQ(connector.getPhyID(), 0x7FFFFFFF);
    EXPECT_EQ(connector.getConnectorID(), 0x7FFFFFFF);
    EXPECT_EQ(connector.getConnectorType(), 0x7FFFFFFF);
    EXPECT_STREQ(connector.getSASAddress(), "");
}

TEST(SASConnector, FieldsAndAddressIdsFromTheElement)
{
    ParsedXml xml("<SASConnector channelID=\"1\" deviceID=\"2\" laneID=\"2\" phyID=\"3\" connectorID=\"4\""
                  " connectorType=\"5\" SASaddress=\"" + kLongAddress + "\"><Ignored/></SASConnector>");
    SASConnector connector(xml.parser());
    EXPECT_EQ(connector.getLaneID(), 2);
    EXPECT_EQ(connector.getConnectorType(), 5);
    EXPECT_EQ(connector.getConnectorID(), 4);
    EXPECT_EQ(std::string(connector.getSASAddress()), kLongAddress.substr(0, 31));
    const RaidObject& node = connector;
    EXPECT_EQ(node.getChannelID(), 1u);
    EXPECT_EQ(node.getDeviceID(), 2u);
    EXPECT_EQ(node.getSASPhyID(), 3u);
    EXPECT_EQ(connector.getChildCount(), 0u);
}

TEST(SASConnector, WritesItsFieldsAfterTheBaseAttributes)
{
    SASConnector connector;
    EXPECT_EQ(attributesOf(connector),
              " typeName=\"SASConnector\" attachmentType=\"none\" channelID=\"2147483647\""
              " deviceID=\"2147483647\" laneID=\"2147483647\" SASaddress=\"\" phyID=\"2147483647\""
              " connectorID=\"2147483647\" connectorType=\"2147483647\" connectorName=\"\"");
}
