#include "RaidModel/Interface/PhysicalDevice.h"

#include <gtest/gtest.h>

#include <string>

#include "ModelXml.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SCSICommand.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

// A device read from an element, as a subclass builder does it.
class ReadDevice : public PhysicalDevice {
public:
    explicit ReadDevice(SimpleXmlParser& parser) { buildFromXml(parser); }
};

}  // namespace

TEST(PhysicalDeviceWWN, BytesOfEachWordFromLowToHigh)
{
    PhysicalDevice device;
    EXPECT_STREQ(device.getWWN(), "0000000000000000");
    device.setWWN0(1);
    device.setWWN1(2);
    EXPECT_STREQ(device.getWWN(), "0100000002000000");
    device.setWWN0(0x100);
    EXPECT_STREQ(device.getWWN(), "0001000002000000");
    device.setWWN0(0xA1B2C3D4);
    device.setWWN1(0xFFFFFFFF);
    EXPECT_STREQ(device.getWWN(), "D4C3B2A1FFFFFFFF");
    EXPECT_EQ(device.getWWN0(), 0xA1B2C3D4u);
}

TEST(PhysicalDeviceConstruction, DefaultsAndInterfaceTypeFromTheChannel)
{
    PhysicalDevice device;
    EXPECT_EQ(device.getEnumeratedSetSpeed(), 0x7FFFFFFF);
    EXPECT_EQ(device.getEnumeratedNegotiatedSpeed(), 0x7FFFFFFF);
    EXPECT_EQ(device.getSataPortNumber(), 0x7FFFFFFF);
    EXPECT_EQ(device.getSataPortMultiplierNumber(), 0x7FFFFFFF);
    EXPECT_EQ(device.getState(), PD_READY);

    SASChannel sas(nullptr, 1, SPEED_UNSET);
    PhysicalDevice onSas(nullptr, &sas, 5, PHYSICAL_DEVICE_DISK, "V", "M", "S", "F", PD_ONLINE, nullptr);
    EXPECT_EQ(onSas.getInterfaceType(), 4);
    EXPECT_EQ(onSas.getDeviceID(), 5u);
    EXPECT_STREQ(onSas.getFruNumber(), "");
    PhysicalDevice noChannel(nullptr, nullptr, 5, PHYSICAL_DEVICE_DISK, nullptr, nullptr, nullptr,
                             nullptr, PD_ONLINE, nullptr);
    EXPECT_EQ(noChannel.getInterfaceType(), 0);
    EXPECT_STREQ(noChannel.getVendor(), "");
}

TEST(PhysicalDeviceConstruction, OverlongTextsAreCutToTheirFields)
{
    const std::string long300(300, 'S');
    const std::string long40(40, 'V');
    PhysicalDevice device(nullptr, nullptr, 1, PHYSICAL_DEVICE_DISK, long40.c_str(), long40.c_str(),
                          long300.c_str(), long40.c_str(), PD_READY, long40.c_str());
    EXPECT_EQ(std::string(device.getVendor()), long40.substr(0, 32));
    EXPECT_EQ(std::string(device.getModel()), long40.substr(0, 32));
    EXPECT_EQ(std::string(device.getSerialNumber()), long300.substr(0, 256));
    EXPECT_EQ(std::string(device.getFirmwareLevel()), long40.substr(0, 32));
    EXPECT_EQ(std::string(device.getFruNumber()), long40.substr(0, 32));

    PhysicalDevice set;
    set.setSerialNumber(long300.c_str());
    EXPECT_EQ(std::string(set.getSerialNumber()), long300.substr(0, 256));
    set.setVendor(long40.c_str());
    EXPECT_EQ(std::string(set.getVendor()), long40.substr(0, 32));
}

TEST(PhysicalDeviceIndex, PhysAreIndexedAndEveryDescendantGetsTheDeviceID)
{
    PhysicalDevice device(nullptr, nullptr, 6, PHYSICAL_DEVICE_DISK, nullptr, nullptr, nullptr, nullptr,
                          PD_READY, nullptr);
    SASPhy* phy = new SASPhy();
    HardDrive* other = new HardDrive();
    device.addChild(phy);
    device.addChild(other);
    EXPECT_EQ(device.getNumSASPhys(), 1u);
    EXPECT_EQ(device.getSASPhy(0), phy);
    EXPECT_EQ(device.getSASPhy(1), nullptr);
    EXPECT_EQ(phy->getDeviceID(), 6u);
    EXPECT_EQ(other->getDeviceID(), 6u);
    device.deleteAllChildren();
}

TEST(PhysicalDeviceCopy, CopiesIdentityButNotSataPortsOrPhys)
{
    PhysicalDevice source(nullptr, nullptr, 6, PHYSICAL_DEVICE_DISK, "V", "M", "S", "F", PD_ONLINE, "R");
    source.setWWN0(1);
    source.addChild(new SASPhy());
    PhysicalDevice copy(source);
    EXPECT_EQ(copy.getDeviceID(), 6u);
    EXPECT_STREQ(copy.getSerialNumber(), "S");
    EXPECT_STREQ(copy.getWWN(), "0100000000000000");
    EXPECT_EQ(copy.getNumSASPhys(), 0u);
    EXPECT_EQ(copy.getChildCount(), 0u);
    EXPECT_TRUE(copy == source);

    PhysicalDevice assigned;
    assigned = source;
    EXPECT_TRUE(assigned == source);
    assigned.setWWN1(7);
    EXPECT_TRUE(assigned == source);
    assigned.setStateProperty(PD_FAILED);
    EXPECT_TRUE(assigned != source);
    source.deleteAllChildren();
}

TEST(PhysicalDeviceOperations, NotSupportedHere)
{
    PhysicalDevice device;
    SCSICommand command;
    EXPECT_EQ(device.setState(PD_FAILED).getReturn(), -1);
    EXPECT_EQ(device.getState(), PD_READY);
    EXPECT_EQ(device.scsiPassThruCommand(command).getReturn(), -1);
    EXPECT_EQ(device.upgradeFirmware("image", true).getReturn(), -1);
    EXPECT_EQ(device.identifyDevice(true).getReturn(), -1);
}

TEST(PhysicalDeviceXml, FullAndUserConfigurationAttributes)
{
    PhysicalDevice device(nullptr, nullptr, 2, PHYSICAL_DEVICE_DISK, "VEND", "MODEL", "SER", "FW",
                          PD_ONLINE, "FRU");
    device.setWWN0(1);
    EXPECT_EQ(attributesOf(device),
              " typeName=\"PhysicalDevice\" attachmentType=\"none\" deviceID=\"2\" deviceType=\"0\""
              " vendor=\"VEND\" model=\"MODEL\" serialNumber=\"SER\" firmwareLevel=\"FW\" fruNumber=\"FRU\""
              " state=\"1\" maxSpeed=\"2147483647\" negotiatedSpeed=\"2147483647\" wwn0=\"1\" wwn1=\"0\""
              " wwn=\"0100000000000000\" I_T_nexusLossTime=\"0\" I_T_nexusLossTimeChangeable=\"false\""
              " interfaceType=\"0\" sataPort=\"2147483647\" sataMultiplierPort=\"2147483647\""
              " unsupportedDeviceReason=\"0\"");
}

TEST(PhysicalDeviceXml, AbsentAttributesReadAsZeroOrEmpty)
{
    ParsedXml xml("<PhysicalDevice deviceID=\"3\" vendor=\"V\"/>");
    ReadDevice device(xml.parser());
    EXPECT_EQ(device.getDeviceID(), 3u);
    EXPECT_EQ(device.getState(), PD_READY);
    EXPECT_EQ(device.getSataPortNumber(), 0);
    EXPECT_EQ(device.getSataPortMultiplierNumber(), 0x7FFFFFFF);
    EXPECT_EQ(device.getEnumeratedSetSpeed(), 0);
    EXPECT_STREQ(device.getVendor(), "V");
    EXPECT_STREQ(device.getWWN(), "");
}

TEST(PhysicalDeviceXml, WwnTextIsTakenAsWrittenAndLongTextsAreCut)
{
    const std::string long300(300, 'Z');
    ParsedXml xml("<PhysicalDevice wwn0=\"1\" wwn=\"ABCDEF0123456789FFFF\" serialNumber=\"" + long300
                  + "\" model=\"" + long300 + "\" state=\"2\" sataPort=\"3\" maxSpeed=\"7\">"
                  "<SASPhy phyID=\"1\"/></PhysicalDevice>");
    ReadDevice device(xml.parser());
    EXPECT_STREQ(device.getWWN(), "ABCDEF0123456789");
    EXPECT_EQ(device.getWWN0(), 1u);
    EXPECT_EQ(std::string(device.getSerialNumber()), long300.substr(0, 256));
    EXPECT_EQ(std::string(device.getModel()), long300.substr(0, 32));
    EXPECT_EQ(device.getState(), PD_FAILED);
    EXPECT_EQ(device.getSataPortNumber(), 3);
    EXPECT_EQ(device.getEnumeratedSetSpeed(), 7);
    EXPECT_EQ(device.getNumSASPhys(), 1u);
    device.deleteAllChildren();
}
