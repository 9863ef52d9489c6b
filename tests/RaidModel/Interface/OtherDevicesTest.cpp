#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/CDROMDrive.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/ModelXml.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/TapeDrive.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

TEST(OtherDevicesTest, NewDevicesWriteTheirTypeAndStandby)
{
    CDROMDrive cdrom;
    TapeDrive tape;
    OtherDevice other;
    EXPECT_NE(attributesOf(cdrom).find(" deviceType=\"5\""), std::string::npos);
    EXPECT_NE(attributesOf(tape).find(" deviceType=\"1\""), std::string::npos);
    EXPECT_NE(attributesOf(other).find(" deviceType=\"10\""), std::string::npos);
    for (const PhysicalDevice* device : {static_cast<PhysicalDevice*>(&cdrom), static_cast<PhysicalDevice*>(&tape),
                                         static_cast<PhysicalDevice*>(&other)}) {
        EXPECT_NE(attributesOf(*device).find(" state=\"3\""), std::string::npos) << device->typeName();
        EXPECT_TRUE(device->isInstanceOf("PhysicalDevice"));
        EXPECT_TRUE(device->isInstanceOf(device->typeName()));
    }
    EXPECT_STREQ(cdrom.serializedName(), "CDROMDrive");
    EXPECT_STREQ(tape.serializedName(), "TapeDrive");
}

TEST(OtherDevicesTest, ElementNameFollowsTheDeviceType)
{
    struct Case {
        int type;
        const char* name;
    } cases[] = {{0, "RemovableDrive"}, {2, "Printer"},      {4, "WormDrive"},     {6, "Scanner"},
                 {7, "OpticalDrive"},   {8, "MediaChanger"}, {9, "CommDevice"},    {3, "UnknownDevice"},
                 {10, "UnknownDevice"}, {1, "UnknownDevice"}};
    for (const Case& c : cases) {
        OtherDevice device(nullptr, nullptr, 1, static_cast<EnumPhysicalDeviceType>(c.type), nullptr, nullptr,
                           nullptr, nullptr, nullptr);
        EXPECT_STREQ(device.serializedName(), c.name) << c.type;
        EXPECT_TRUE(OtherDevice::isElementName(c.name));
    }
    EXPECT_FALSE(OtherDevice::isElementName("HardDrive"));
}

TEST(OtherDevicesTest, CopiesStartInStandby)
{
    char vendor[] = "ACME";
    CDROMDrive cdrom(nullptr, nullptr, 4, vendor, nullptr, nullptr, nullptr, nullptr);
    cdrom.setStateProperty(PD_ONLINE);
    CDROMDrive copy(cdrom);
    EXPECT_EQ(copy.getState(), PD_STANDBY);
    EXPECT_EQ(copy.getDeviceID(), 4u);
    EXPECT_STREQ(copy.getVendor(), "ACME");
    OtherDevice other(nullptr, nullptr, 2, static_cast<EnumPhysicalDeviceType>(8), nullptr, nullptr, nullptr,
                      nullptr, nullptr);
    other.setStateProperty(PD_ONLINE);
    OtherDevice otherCopy(other);
    EXPECT_EQ(otherCopy.getState(), PD_STANDBY);
    EXPECT_EQ(otherCopy.getDeviceType(), 8);
}

// Each phy is indexed and addressed by its own device, whose id comes before
// the phys in the text but is read after them.
TEST(OtherDevicesTest, DeviceReadsItsSASPhys)
{
    struct Case {
        const char* tag;
        PhysicalDevice* (*make)(SimpleXmlParser&);
    };
    const Case cases[] = {
        {"CDROMDrive", [](SimpleXmlParser& p) -> PhysicalDevice* { return new CDROMDrive(nullptr, nullptr, p); }},
        {"TapeDrive", [](SimpleXmlParser& p) -> PhysicalDevice* { return new TapeDrive(nullptr, nullptr, p); }},
        {"PhysicalDevice",
         [](SimpleXmlParser& p) -> PhysicalDevice* { return new OtherDevice(nullptr, nullptr, p); }},
    };
    for (const Case& c : cases) {
        const std::string tag = c.tag;
        ParsedXml xml("<" + tag + " deviceID=\"3\" state=\"1\"><SASPhy phyID=\"0\" deviceID=\"9\"/>"
                      "<SASPhy phyID=\"1\"/></" + tag + "><" + tag + " deviceID=\"4\"/>");
        std::unique_ptr<PhysicalDevice> device(c.make(xml.parser()));
        EXPECT_EQ(device->getDeviceID(), 3u) << tag;
        EXPECT_EQ(device->getState(), PD_ONLINE) << tag;
        ASSERT_EQ(device->getNumSASPhys(), 2u) << tag;
        for (unsigned long i = 0; i < 2; ++i) {
            EXPECT_EQ(device->getSASPhy(i)->getSASPhyID(), i) << tag;
            EXPECT_EQ(device->getSASPhy(i)->getDeviceID(), 3u) << tag << " phy " << i;
        }
        device->deleteAllChildren();
    }
}

// A device made from a generic element reads that element only and leaves
// what follows it to its channel.
TEST(OtherDevicesTest, OtherDeviceReadsTheElementItStartedOn)
{
    ParsedXml xml("<PhysicalDevice deviceID=\"5\" deviceType=\"8\" vendor=\"ACME\"></PhysicalDevice>"
                  "<HardDrive deviceID=\"6\"><SASPhy phyID=\"0\"/></HardDrive>");
    OtherDevice device(nullptr, nullptr, xml.parser());
    EXPECT_EQ(device.getDeviceID(), 5u);
    EXPECT_EQ(device.getDeviceType(), 8);
    EXPECT_STREQ(device.getVendor(), "ACME");
    EXPECT_EQ(device.getNumSASPhys(), 0u);
    EXPECT_STREQ(device.serializedName(), "MediaChanger");
    ASSERT_TRUE(xml.parser().parseNext());
    EXPECT_TRUE(xml.parser().tagIs("HardDrive"));

    // The element it is written under reads back the same way.
    ParsedXml written(vyntest::xmlOf(device) + "<Tail/>");
    OtherDevice again(nullptr, nullptr, written.parser());
    EXPECT_EQ(again.getDeviceType(), 8);
    EXPECT_STREQ(again.getVendor(), "ACME");
    ASSERT_TRUE(written.parser().parseNext());
    EXPECT_TRUE(written.parser().tagIs("Tail"));
}

}  // namespace

namespace {

// A channel reads back the devices it wrote under their names by type.
TEST(OtherDevicesTest, ChannelReadsDevicesUnderTheirNamesByType)
{
    Adapter adapter;
    SASChannel channel(&adapter, 0, SPEED_UNSET);
    channel.addChild(new OtherDevice(&adapter, &channel, 1, static_cast<EnumPhysicalDeviceType>(8), nullptr,
                                     nullptr, nullptr, nullptr, nullptr));
    channel.addChild(new OtherDevice(&adapter, &channel, 2, static_cast<EnumPhysicalDeviceType>(10), nullptr,
                                     nullptr, nullptr, nullptr, nullptr));
    channel.addChild(new TapeDrive(&adapter, &channel, 3, nullptr, nullptr, nullptr, nullptr, nullptr));
    ParsedXml xml(vyntest::xmlOf(channel));
    SASChannel read(&adapter, xml.parser());
    ASSERT_EQ(read.getChildCount(), 3u);
    EXPECT_STREQ(read.getChild(0)->serializedName(), "MediaChanger");
    EXPECT_STREQ(read.getChild(1)->serializedName(), "UnknownDevice");
    EXPECT_STREQ(read.getChild(2)->typeName(), "TapeDrive");
    EXPECT_EQ(read.getChild(2)->getDeviceID(), 3u);
    read.deleteAllChildren();
    channel.deleteAllChildren();
}

}  // namespace
