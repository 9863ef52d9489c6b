#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/HexPage.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "common/Buffer.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

using vyntest::readHexPage;

namespace {

Buffer bufferOf(const std::vector<unsigned char>& bytes)
{
    return Buffer(static_cast<unsigned long>(bytes.size()), bytes.empty() ? nullptr : bytes.data());
}

Buffer fixture(const char* name)
{
    return bufferOf(readHexPage(name));
}

// Captures the control pages instead of sending them.
class CapturingDevice : public SES2EnclosureDevice {
public:
    Ret sendDiagnosticPage(EnumSESPageCodes code, unsigned char* page, unsigned long length) override
    {
        ++sent;
        lastCode = code;
        lastPage.assign(page, page + length);
        return Ret(0);
    }

    int sent = 0;
    int lastCode = -1;
    std::vector<unsigned char> lastPage;
};

struct Pages {
    Buffer config = fixture("ses_config_two_descriptors.hex");
    Buffer status = fixture("ses_status.hex");
    Buffer descriptors = fixture("ses_element_descriptors.hex");
    Buffer additional = fixture("ses_additional_status.hex");
};

void load(SES2EnclosureDevice& device, const Pages& pages)
{
    device.setConfigurationPage(pages.config);
    device.setStatusPage(pages.status);
    device.setElementDescriptorPage(pages.descriptors);
    device.setDeviceElementStatusPage(pages.additional);
    device.initSESData();
}

// The generation code of the fixtures' configuration, which every page
// joined to it carries.
const unsigned char FIXTURE_GENERATION[4] = {0xde, 0xad, 0xbe, 0xef};

// An element descriptor page with these texts, one per status element of
// the fixture's configuration.
Buffer descriptorPage(const std::vector<std::string>& texts)
{
    std::vector<unsigned char> body;
    for (const std::string& t : texts) {
        body.insert(body.end(), {0, 0, static_cast<unsigned char>(t.size() >> 8), static_cast<unsigned char>(t.size())});
        body.insert(body.end(), t.begin(), t.end());
    }
    std::vector<unsigned char> page = {0x07, 0, static_cast<unsigned char>((body.size() + 4) >> 8),
                                       static_cast<unsigned char>(body.size() + 4)};
    page.insert(page.end(), FIXTURE_GENERATION, FIXTURE_GENERATION + 4);
    page.insert(page.end(), body.begin(), body.end());
    return bufferOf(page);
}

std::vector<std::string> fixtureTexts(const std::vector<std::string>& slots)
{
    std::vector<std::string> texts = {"ArrayOverall"};
    texts.insert(texts.end(), slots.begin(), slots.end());
    for (const char* t : {"Cooling", "Fan 1", "Fan 2", "AlarmOverall", "Buzzer", "TempOverall", "Temp A", "Temp B",
                          "EnclOverall", "Chassis", "Vendor", "V1"})
        texts.emplace_back(t);
    return texts;
}

class SESDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { load(device, pages); }
    void TearDown() override { device.deleteAllChildren(); }

    Pages pages;
    CapturingDevice device;
};

TEST_F(SESDeviceTest, ConfigurationHeadersFollowTheLastEnclosureDescriptor)
{
    const auto headers = device.getTypeDescriptorHeaders();
    ASSERT_EQ(device.getNumberOfElementTypesSupported(), 6);
    const int types[] = {0x17, 0x03, 0x06, 0x04, 0x0E, 0x83};
    const int possible[] = {4, 2, 1, 2, 1, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(headers[i].elementType, types[i]) << i;
        EXPECT_EQ(headers[i].numPossibleElements, possible[i]) << i;
    }
    // Headers without text add no entry, so texts and headers do not pair.
    const std::vector<std::string> texts = {"ArrayDev", "Alarm", "Temp"};
    EXPECT_EQ(device.getTypeDescriptorTexts(), texts);
    EXPECT_STREQ(device.getVendor(), "ACME");
    EXPECT_STREQ(device.getModel(), "JBOD-12");
    EXPECT_STREQ(device.getEnclosureLogicalID(), "500A0B0C0D0E0F10");
    EXPECT_STREQ(device.getWWN(), "0000000000000000");
    device.makeEnclosureKey();
    EXPECT_STREQ(device.getEnclosureKey(), "500A0B0C0D0E0F10");
}

TEST_F(SESDeviceTest, ElementsAreMadeInPageOrderWithTheirSasParts)
{
    ASSERT_TRUE(device.isSESDataValid());
    // Four slots, two fans, the alarm, two sensors and the enclosure; the
    // vendor-specific element gets no object.
    ASSERT_EQ(device.getChildCount(), 10u);
    for (unsigned long i = 0; i < 10; ++i)
        EXPECT_EQ(device.getSESElement(i)->getItemID(), i);
    EXPECT_EQ(device.getSESArrayDevice(3)->getItemID(), 3u);
    ASSERT_NE(device.getSESArrayDeviceSAS(2), nullptr);
    EXPECT_EQ(device.getSESArrayDeviceSAS(3), nullptr);
    // The third slot speaks another protocol: kept plain, cursor still moved.
    EXPECT_FALSE(device.getSESArrayDevice(2)->isInstanceOf("SESArrayDeviceSAS"));
    EXPECT_STREQ(device.getSESArrayDevice(2)->getDescriptor(), "Slot 03");
    SESArrayDeviceSAS* last = device.getSESArrayDeviceSAS(2);
    EXPECT_STREQ(last->getDescriptor(), "Slot 04");
    EXPECT_FALSE(last->isEIP());
    EXPECT_EQ(last->getBayNumber(), 0x7FFFFFFFu);
    EXPECT_EQ(last->getNumPhy(), 1u);
    ASSERT_EQ(last->getNumSASPhys(), 1u);
    EXPECT_EQ(last->getSASPhy(1), nullptr);
    EXPECT_STREQ(last->getSASPhy(0)->getSASAddress(), "5000000000000004");
    EXPECT_EQ(last->getSASPhy(0)->getPhyID(), 0x21u);
    EXPECT_EQ(last->getPhy0()[7], 0x04);
    EXPECT_EQ(device.getOtherSESElement(0)->getType(), 0x03);
    EXPECT_EQ(device.getNumSASPhys(), 3u);
}

TEST_F(SESDeviceTest, SensorsAlarmAndTemperature)
{
    EXPECT_EQ(device.getFanCount(), 2);
    EXPECT_EQ(device.getPowerSupplyCount(), 0);
    EXPECT_EQ(device.getTempSensorCount(), 2);
    EXPECT_EQ(device.getFanStatus(0), 1);
    EXPECT_EQ(device.getFanStatus(1), 2);
    EXPECT_EQ(device.getFanStatus(2), 6);
    EXPECT_EQ(device.getPowerSupplyStatus(0), 6);
    EXPECT_EQ(device.getCelciusTemperature(), 25);
    EXPECT_FALSE(device.isTempOutOfRange());
    EXPECT_EQ(device.getOtherSESElement(2)->getType(), 0x06);
    EXPECT_EQ(device.getOtherSESElement(2)->getStatus(), 3u);
}

TEST(SESPageTest, DescriptorTextsAreTakenWhileTheirStartLiesWithinThePageLength)
{
    // In the fixture the enclosure element's descriptor ("Chassis") starts
    // at byte 173 and its text ends at byte 184; the page length field
    // decides whether it is taken, the stored page whether it can be.
    struct Case {
        unsigned pageLength;
        unsigned long stored;
        const char* chassis;
        const char* secondSensor;
    };
    const Case cases[] = {
        {0xC4, 200, "Chassis", "Temp B"},
        // Starts exactly at the declared length: taken, though its text
        // runs past it.
        {173, 200, "Chassis", "Temp B"},
        {172, 200, "", "Temp B"},
        // Declared in full but stored only in part: never read past the
        // stored bytes.
        {0xC4, 183, "", "Temp B"},
        {0xC4, 184, "Chassis", "Temp B"},
        {0xC4, 150, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = readHexPage("ses_element_descriptors.hex");
        bytes[2] = static_cast<unsigned char>(c.pageLength >> 8);
        bytes[3] = static_cast<unsigned char>(c.pageLength);
        bytes.resize(c.stored);
        Pages pages;
        pages.descriptors = bufferOf(bytes);
        CapturingDevice device;
        load(device, pages);
        ASSERT_EQ(device.getChildCount(), 10u);
        EXPECT_STREQ(device.getOtherSESElement(5)->getDescriptor(), c.chassis) << c.pageLength << "/" << c.stored;
        EXPECT_STREQ(device.getOtherSESElement(4)->getDescriptor(), c.secondSensor)
            << c.pageLength << "/" << c.stored;
        device.deleteAllChildren();
    }
}

TEST(SESSensorTest, TemperatureComesFromTheLastReadingSensor)
{
    // The two temperature sensor elements of ses_status.hex sit at bytes 52
    // and 56: status code, unused, reading (degrees + 20), flags.
    struct Case {
        std::vector<unsigned char> first, second;
        int celsius;
        bool outOfRange;
    };
    const Case cases[] = {
        {{0x01, 0, 45, 0}, {0x01, 0, 0, 0}, 25, false},
        {{0x01, 0, 0, 0}, {0x01, 0, 0, 0}, 0x7FFFFFFF, false},
        {{0x01, 0, 45, 0}, {0x01, 0, 30, 0}, 10, false},
        {{0x01, 0, 0, 0}, {0x01, 0, 30, 0}, 10, false},
        {{0x01, 0, 45, 0x08}, {0x01, 0, 0, 0}, 25, true},
        {{0x01, 0, 45, 0x01}, {0x01, 0, 0, 0}, 25, true},
        {{0x01, 0, 45, 0x10}, {0x01, 0, 0, 0}, 25, false},
        {{0x01, 0, 45, 0}, {0x02, 0, 0, 0}, 25, true},
        {{0x01, 0, 45, 0}, {0x05, 0, 0, 0}, 25, true},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> status = readHexPage("ses_status.hex");
        std::copy(c.first.begin(), c.first.end(), status.begin() + 52);
        std::copy(c.second.begin(), c.second.end(), status.begin() + 56);
        Pages pages;
        pages.status = bufferOf(status);
        CapturingDevice device;
        load(device, pages);
        EXPECT_EQ(device.getTempSensorCount(), 2);
        EXPECT_EQ(device.getCelciusTemperature(), c.celsius) << int(c.first[2]) << "/" << int(c.second[2]);
        EXPECT_EQ(device.isTempOutOfRange(), c.outOfRange) << int(c.first[3]) << "/" << int(c.second[0]);
        EXPECT_EQ(device.getTempSensorStatus(1), c.second[0] & 0x0F);
        device.deleteAllChildren();
    }
}

TEST_F(SESDeviceTest, DescriptorTextsSelectSlotMethodThree)
{
    device.determineSlotIDMethod();
    EXPECT_EQ(device.getSlotIDMethod(), 3);
    const std::vector<unsigned long> numbers = {1, 2, 3, 4};
    EXPECT_EQ(device.getSlotNumbers(), numbers);
}

TEST(SESSlotTest, SlotTextsNumberTheSlotsOrFailTheMethod)
{
    struct Case {
        std::vector<std::string> slots;
        int method;
        std::vector<unsigned long> numbers;
    };
    const Case cases[] = {
        {{"Bay 1 Slot 4", "Disk #12", "SLOT 7", "bay 2"}, 3, {14, 12, 7, 2}},
        // One slot without the words: method 3 fails; nothing else fits.
        {{"Slot 01", "Slot 02", "Drive 3", "Slot 04"}, 0, {}},
        // Digits beyond what a number holds are cut.
        {{"Slot 12345678901234", "Slot 2", "Slot 3", "Slot 4"}, 3, {123456789, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Pages pages;
        pages.descriptors = descriptorPage(fixtureTexts(c.slots));
        CapturingDevice device;
        load(device, pages);
        device.determineSlotIDMethod();
        EXPECT_EQ(device.getSlotIDMethod(), c.method) << c.slots[0];
        EXPECT_EQ(device.getSlotNumbers(), c.numbers) << c.slots[0];
        device.deleteAllChildren();
    }
}

// A device with array device slots, then device slots, each with the given
// descriptor texts; device slot i reports slot address addresses[i].
void loadSlots(SES2EnclosureDevice& device, const std::vector<std::string>& arrayTexts,
               const std::vector<std::string>& deviceTexts, const std::vector<unsigned char>& addresses)
{
    std::vector<unsigned char> config(8 + 40, 0);
    config[0] = 0x01;
    std::copy(FIXTURE_GENERATION, FIXTURE_GENERATION + 4, config.begin() + 4);
    config[8 + 2] = 2;
    config[8 + 3] = 36;
    for (unsigned i = 12; i < 36; ++i)
        config[8 + i] = ' ';
    config.insert(config.end(), {0x17, static_cast<unsigned char>(arrayTexts.size()), 0, 0});
    config.insert(config.end(), {0x01, static_cast<unsigned char>(deviceTexts.size()), 0, 0});
    config[3] = static_cast<unsigned char>(config.size() - 4);
    device.setConfigurationPage(bufferOf(config));

    std::vector<unsigned char> status(8 + 4 * (2 + arrayTexts.size() + deviceTexts.size()), 0);
    status[0] = 0x02;
    status[3] = static_cast<unsigned char>(status.size() - 4);
    std::copy(FIXTURE_GENERATION, FIXTURE_GENERATION + 4, status.begin() + 4);
    for (std::size_t i = 0; i < deviceTexts.size(); ++i) {
        const std::size_t at = 8 + 4 * (1 + arrayTexts.size() + 1 + i);
        status[at] = 0x01;
        status[at + 1] = addresses[i];
    }
    device.setStatusPage(bufferOf(status));

    std::vector<std::string> texts = {"arrays"};
    texts.insert(texts.end(), arrayTexts.begin(), arrayTexts.end());
    texts.push_back("devices");
    texts.insert(texts.end(), deviceTexts.begin(), deviceTexts.end());
    device.setElementDescriptorPage(descriptorPage(texts));
    device.initSESData();
}

TEST(SESSlotTest, AMethodThatCannotNumberEverySlotGivesWayToTheNext)
{
    struct Case {
        const char* label;
        std::vector<std::string> arrays;
        std::vector<std::string> devices;
        int method;
        std::vector<unsigned long> numbers;
    };
    const Case cases[] = {
        {"array texts", {"Slot 1", "Slot 2"}, {"Bay 5", "Bay 6"}, 3, {1, 2}},
        {"device texts", {"Slot 1", "Drive 2"}, {"Bay 5", "Bay 6"}, 4, {5, 6}},
        {"slot addresses", {"Slot 1", "Drive 2"}, {"Bay 5", "Front"}, 5, {9, 10}},
        {"no array slots", {}, {"Front", "Rear"}, 5, {9, 10}},
    };
    for (const Case& c : cases) {
        SES2EnclosureDevice device;
        loadSlots(device, c.arrays, c.devices, {9, 10});
        ASSERT_EQ(device.getChildCount(), c.arrays.size() + c.devices.size()) << c.label;
        device.determineSlotIDMethod();
        EXPECT_EQ(device.getSlotIDMethod(), c.method) << c.label;
        EXPECT_EQ(device.getSlotNumbers(), c.numbers) << c.label;
        device.deleteAllChildren();
    }
}

TEST(SESSlotTest, BayNumbersWithEipSelectMethodOne)
{
    Pages pages;
    pages.additional = fixture("ses_additional_status_eip.hex");
    CapturingDevice device;
    load(device, pages);
    // The page describes the slots its element indexes name, the second and
    // the third; the other two stay plain, so the SAS index holds two slots.
    ASSERT_NE(device.getSESArrayDeviceSAS(1), nullptr);
    EXPECT_EQ(device.getSESArrayDeviceSAS(2), nullptr);
    EXPECT_FALSE(device.getSESArrayDevice(0)->isInstanceOf("SESArrayDeviceSAS"));
    EXPECT_STREQ(device.getSESArrayDeviceSAS(0)->getDescriptor(), "Slot 02");
    EXPECT_STREQ(device.getSESArrayDeviceSAS(1)->getDescriptor(), "Slot 03");
    EXPECT_EQ(device.getSESArrayDeviceSAS(0)->getBayNumber(), 7u);
    EXPECT_EQ(device.getSESArrayDeviceSAS(1)->getElementIndex(), 2u);
    EXPECT_TRUE(device.getSESArrayDeviceSAS(1)->isNotAllPhys());
    EXPECT_EQ(device.getSESArrayDeviceSAS(1)->getDescriptorType(), 1);
    device.determineSlotIDMethod();
    EXPECT_EQ(device.getSlotIDMethod(), 1);
    const std::vector<unsigned long> bays = {7, 3};
    EXPECT_EQ(device.getSlotNumbers(), bays);

    // A drive whose phy matches the second slot is found at index 1.
    PhysicalDevice drive;
    drive.addChild(new SASPhy(0, "5000000000000012XYZ", 0, 0, 0, "", 0, 0, EnumSASDeviceType(0),
                              EnumSASNegotiatedLinkRate(0), EnumSASProgrammedLinkRate(0),
                              EnumSASProgrammedLinkRate(0), EnumSASHardwareLinkRate(0),
                              EnumSASHardwareLinkRate(0), 0, false, 0, EnumSASRoutingType(0)));
    EXPECT_EQ(device.getArrayDeviceIndexForDrive(&drive), 1u);
    EXPECT_EQ(device.getDeviceIndexForDrive(&drive), 0x7FFFFFFFu);
    drive.deleteAllChildren();
    device.deleteAllChildren();
}

SASPhy* phyAt(const char* address)
{
    return new SASPhy(0, address, 0, 0, 0, "", 0, 0, EnumSASDeviceType(0), EnumSASNegotiatedLinkRate(0),
                      EnumSASProgrammedLinkRate(0), EnumSASProgrammedLinkRate(0), EnumSASHardwareLinkRate(0),
                      EnumSASHardwareLinkRate(0), 0, false, 0, EnumSASRoutingType(0));
}

TEST(SESSlotTest, DrivesTakeTheSlotOfTheElementSharingTheirSasAddress)
{
    Adapter adapter;
    auto* matched = new HardDrive();
    matched->setDeviceID(1);
    matched->addChild(phyAt("5000000000000012"));
    auto* elsewhere = new HardDrive();
    elsewhere->setDeviceID(2);
    elsewhere->addChild(phyAt("5000000000000077"));
    adapter.addChild(matched);
    adapter.addChild(elsewhere);
    const unsigned long slotBefore = elsewhere->getSlotID();

    char empty[] = "";
    SES2EnclosureDevice device(&adapter, nullptr, 5, empty, empty, empty, empty, PD_READY, empty);
    Pages pages;
    pages.additional = fixture("ses_additional_status_eip.hex");
    load(device, pages);
    device.setHardDriveLocationMap(6);
    EXPECT_EQ(device.getSlotIDMethod(), 1);
    // Bay numbers decide: the second SAS slot reports bay 3.
    EXPECT_EQ(matched->getSlotID(), 3u);
    EXPECT_EQ(matched->getEnclosureID(), 6u);
    EXPECT_EQ(elsewhere->getSlotID(), slotBefore);
    device.deleteAllChildren();
    adapter.deleteAllChildren();
}

TEST(SESSlotTest, AnExpanderBeforeTheSlotsLeavesEachDriveInItsOwnSlot)
{
    // Drive k (1..4) sits in slot k of ses_expander_config. Its slot id is
    // the slot's bay number when the descriptors carry one, else the slot's
    // place among the SAS slots.
    struct Case {
        const char* additional;
        int method;
        std::vector<unsigned long> slotOfDrive; // UNSET: the drive is not in the enclosure
        unsigned long physOfFirstSlot;
    };
    const unsigned long NONE = 0x7FFFFFFF;
    const Case cases[] = {
        {"ses_expander_additional_eip.hex", 2, {11, 12, 13, 14}, 1},
        {"ses_expander_additional_positional.hex", 5, {NONE, 1, 2, 3}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.additional);
        Adapter adapter;
        std::vector<HardDrive*> drives;
        for (int k = 1; k <= 4; ++k) {
            auto* drive = new HardDrive();
            drive->setDeviceID(static_cast<unsigned long>(k));
            drive->addChild(phyAt(("5000C50000000A0" + std::to_string(k)).c_str()));
            adapter.addChild(drive);
            drives.push_back(drive);
        }
        const unsigned long unmapped = drives[0]->getSlotID();
        char empty[] = "";
        SES2EnclosureDevice device(&adapter, nullptr, 5, empty, empty, empty, empty, PD_READY, empty);
        device.setConfigurationPage(fixture("ses_expander_config.hex"));
        device.setStatusPage(fixture("ses_expander_status.hex"));
        device.setDeviceElementStatusPage(fixture(c.additional));
        ASSERT_EQ(device.initSESData(), Ret(0));
        ASSERT_EQ(device.getChildCount(), 5u);
        EXPECT_EQ(device.getOtherSESElement(0)->getType(), 0x18);
        ASSERT_NE(device.getSESDeviceSAS(3), nullptr);
        EXPECT_EQ(device.getSESDeviceSAS(0)->getNumSASPhys(), c.physOfFirstSlot);
        device.setHardDriveLocationMap(6);
        EXPECT_EQ(device.getSlotIDMethod(), c.method);
        for (std::size_t k = 0; k < drives.size(); ++k) {
            SCOPED_TRACE(k + 1);
            if (c.slotOfDrive[k] == NONE) {
                EXPECT_EQ(drives[k]->getSlotID(), unmapped);
                EXPECT_EQ(device.getDeviceIndexForDrive(drives[k]), NONE);
                continue;
            }
            EXPECT_EQ(drives[k]->getSlotID(), c.slotOfDrive[k]);
            EXPECT_EQ(drives[k]->getEnclosureID(), 6u);
            // The slot element that holds the drive's address is slot k.
            EXPECT_EQ(device.getDeviceIndexForDrive(drives[k]), k);
            EXPECT_EQ(device.getSESDevice(k)->getSlotAddress(), k);
        }
        device.deleteAllChildren();
        adapter.deleteAllChildren();
    }
}

TEST(SESPageTest, PagesOfAnotherGenerationAreNeverJoined)
{
    // Each page joined to the configuration must carry its generation code
    // (bytes 4..7); one that does not answers busy and builds nothing, and a
    // device decoded before keeps what it had.
    struct Case {
        const char* label;
        Buffer Pages::*page;
        unsigned at;
    };
    const Case cases[] = {
        {"status", &Pages::status, 7},
        {"element descriptors", &Pages::descriptors, 4},
        {"additional element status", &Pages::additional, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Pages pages;
        std::vector<unsigned char> bytes((pages.*c.page).CPtr(), (pages.*c.page).CPtr() + (pages.*c.page).Size());
        bytes[c.at] ^= 0x01;
        const Buffer changed = bufferOf(bytes);

        CapturingDevice fresh;
        Pages mixed;
        mixed.*c.page = changed;
        load(fresh, mixed);
        EXPECT_EQ(fresh.initSESData().getReturn(), -6);
        EXPECT_FALSE(fresh.isSESDataValid());
        EXPECT_EQ(fresh.getChildCount(), 0u);
        EXPECT_EQ(fresh.getSESElement(0), nullptr);

        CapturingDevice decoded;
        load(decoded, pages);
        ASSERT_EQ(decoded.getChildCount(), 10u);
        SESElement* first = decoded.getSESElement(0);
        if (c.page == &Pages::status)
            decoded.setStatusPage(changed);
        else if (c.page == &Pages::descriptors)
            decoded.setElementDescriptorPage(changed);
        else
            decoded.setDeviceElementStatusPage(changed);
        EXPECT_EQ(decoded.initSESData().getReturn(), -6);
        EXPECT_TRUE(decoded.isSESDataValid());
        EXPECT_EQ(decoded.getChildCount(), 10u);
        EXPECT_EQ(decoded.getSESElement(0), first);
        decoded.deleteAllChildren();
    }

    // Pages too short to carry a generation code are not compared; the
    // configuration page decides, and without one nothing is compared.
    Buffer shortPage = bufferOf({0x0A, 0, 0, 0});
    EXPECT_TRUE(SES2EnclosureDevice::generationCodesAgree(Pages().config, Pages().status, Buffer(), shortPage));
    EXPECT_TRUE(SES2EnclosureDevice::generationCodesAgree(Buffer(), Pages().status, Buffer(), Buffer()));
    EXPECT_FALSE(SES2EnclosureDevice::generationCodesAgree(fixture("ses_expander_config.hex"), Pages().status,
                                                           Buffer(), Buffer()));
}

TEST(SESSlotTest, DriveLookupsNeedSesData)
{
    CapturingDevice device;
    PhysicalDevice drive;
    EXPECT_EQ(device.getArrayDeviceIndexForDrive(&drive), 0x7FFFFFFFu);
    EXPECT_EQ(device.getCelciusTemperature(), 0x7FFFFFFF);
    EXPECT_EQ(device.getFanStatus(0), 6);
}

using ByteSettings = std::vector<std::pair<unsigned, unsigned char>>;

// The enclosure-control page the device should send: its head (page 2, the
// length and the configuration page's generation code) and the bytes `set`.
std::vector<unsigned char> controlPage(std::size_t size, const ByteSettings& set)
{
    std::vector<unsigned char> page(size, 0);
    page[0] = 0x02;
    page[3] = 72;
    page[4] = 0xde, page[5] = 0xad, page[6] = 0xbe, page[7] = 0xef;
    for (const auto& byte : set)
        page[byte.first] = byte.second;
    return page;
}

struct ControlCase {
    const char* label;
    EnumAlarmState state;
    ByteSettings set;
};

// The alarm is the third type: 8 + 4*(1+4) + 4*(1+2) + 4 = 44.
const unsigned ALARM_AT = 44;

TEST_F(SESDeviceTest, AlarmControlPageSetsOnlyTheAlarmElement)
{
    const ControlCase cases[] = {
        {"none", ALARM_NONE, {{ALARM_AT, 0x80}}},
        {"on", ALARM_ON, {{ALARM_AT, 0x80}}},
        {"off", ALARM_OFF, {{ALARM_AT, 0xA0}}},
        {"silence", ALARM_SILENCE, {{ALARM_AT, 0x80}, {ALARM_AT + 3, 0x40}}},
        {"test", ALARM_TEST, {{ALARM_AT, 0x80}, {ALARM_AT + 3, 0x02}}},
        {"clear test", ALARM_CLEAR_TEST, {{ALARM_AT, 0x80}}},
        {"beyond", EnumAlarmState(9), {{ALARM_AT, 0x80}}},
    };
    for (const ControlCase& c : cases) {
        ASSERT_EQ(device.setAlarmState(c.state), Ret(0)) << c.label;
        ASSERT_EQ(device.lastCode, 2);
        ASSERT_EQ(device.lastPage.size(), 8u + 4 * 17) << c.label;
        EXPECT_EQ(device.lastPage, controlPage(device.lastPage.size(), c.set)) << c.label;
    }
}

TEST_F(SESDeviceTest, BlinkAndRawControlAimAtTheElementsOrdinal)
{
    struct Case {
        const char* label;
        SESElement* element;
        bool on;
        ByteSettings set;
    };
    const Case cases[] = {
        {"second slot on", device.getSESArrayDevice(1), true, {{16, 0x80}, {18, 0x02}}},
        {"second slot off", device.getSESArrayDevice(1), false, {{16, 0x80}}},
        {"enclosure on", device.getOtherSESElement(5), true, {{64, 0x80}, {65, 0x80}}},
        // The first fan's control element follows the cooling type's overall
        // one, at 8 + 4 * (1 + 4) + 4.
        {"fan on", device.getOtherSESElement(0), true, {{32, 0x80}, {33, 0x80}}},
        {"second fan off", device.getOtherSESElement(1), false, {{36, 0x80}}},
        {"alarm on", device.getOtherSESElement(2), true, {{ALARM_AT, 0x80}, {ALARM_AT + 1, 0x80}}},
        {"second sensor on", device.getOtherSESElement(4), true, {{56, 0x80}, {57, 0x80}}},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.element, nullptr) << c.label;
        ASSERT_EQ(device.blinkElement(c.on, *c.element), Ret(0)) << c.label;
        EXPECT_EQ(device.lastPage, controlPage(device.lastPage.size(), c.set)) << c.label;
    }

    ASSERT_EQ(device.setControlBytes(0x81, 0x02, 0x03, 0x04), Ret(0));
    EXPECT_EQ(std::vector<unsigned char>(device.lastPage.begin() + 64, device.lastPage.begin() + 68),
              (std::vector<unsigned char>{0x81, 0x02, 0x03, 0x04}));
    ASSERT_EQ(device.getSESArrayDevice(3)->setControlBytes(0x80, 0, 0, 0x20), Ret(0));
    EXPECT_EQ(device.lastPage[24], 0x80);
    EXPECT_EQ(device.lastPage[27], 0x20);

    // An element of another device selects nothing on this page.
    SESElement stranger(1, "x", 0x0E);
    ASSERT_EQ(device.setElementControlBytes(&stranger, 0xff, 0xff, 0xff, 0xff), Ret(0));
    for (unsigned i = 8; i < device.lastPage.size(); ++i)
        EXPECT_EQ(device.lastPage[i], 0) << i;

    // The configuration has room for one enclosure element: a second one
    // lies beyond its type and selects nothing either.
    auto* extra = new SESElement(1, "extra", 0x0E);
    device.addChild(extra);
    const std::function<Ret()> aimedAtExtra[] = {
        [&] { return device.setElementControlBytes(extra, 0xff, 0xff, 0xff, 0xff); },
        [&] { return device.blinkElement(true, *extra); },
    };
    for (const auto& send : aimedAtExtra) {
        ASSERT_EQ(send(), Ret(0));
        ASSERT_EQ(device.lastPage.size(), 8u + 4 * 17);
        for (unsigned i = 8; i < device.lastPage.size(); ++i)
            EXPECT_EQ(device.lastPage[i], 0) << i;
    }
}

// A configuration page with one enclosure descriptor and these type
// headers (element type, possible elements), no texts.
Buffer configWithTypes(const std::vector<std::pair<unsigned char, unsigned char>>& types)
{
    std::vector<unsigned char> config(8 + 40, 0);
    config[0] = 0x01;
    config[8 + 2] = static_cast<unsigned char>(types.size());
    config[8 + 3] = 36;
    for (const auto& type : types)
        config.insert(config.end(), {type.first, type.second, 0, 0});
    config[3] = static_cast<unsigned char>(config.size() - 4);
    return bufferOf(config);
}

TEST(SESControlTest, TheAlarmIsSetInTheLastAlarmTypeOrNotAtAll)
{
    struct Case {
        const char* label;
        std::vector<std::pair<unsigned char, unsigned char>> types;
        int ret;
        unsigned selectAt; // 0: nothing sent
    };
    const Case cases[] = {
        {"no types", {}, -1, 0},
        {"alarm type without elements", {{0x03, 2}, {0x06, 0}}, -1, 0},
        {"last alarm type without elements", {{0x06, 1}, {0x06, 0}}, -1, 0},
        {"last alarm type has one", {{0x06, 0}, {0x06, 1}}, 0, 8 + 4 + 4},
        {"after a fan type", {{0x03, 2}, {0x06, 1}}, 0, 8 + 12 + 4},
    };
    for (const Case& c : cases) {
        CapturingDevice device;
        device.setConfigurationPage(configWithTypes(c.types));
        EXPECT_EQ(device.setAlarmState(ALARM_OFF).getReturn(), c.ret) << c.label;
        EXPECT_EQ(device.sent, c.selectAt != 0 ? 1 : 0) << c.label;
        if (c.selectAt != 0) {
            ASSERT_LT(c.selectAt, device.lastPage.size()) << c.label;
            EXPECT_EQ(device.lastPage[c.selectAt], 0xA0) << c.label;
        }
    }
}

TEST(SESControlTest, IdentifySetsTheRequestIdentifyBitWhereTheTypeHasOne)
{
    // One element of each type, in this order: type i's element lies at
    // 8 + 8 * i + 4.
    const std::vector<std::pair<unsigned char, unsigned char>> types = {
        {0x02, 1}, {0x03, 1}, {0x04, 1}, {0x06, 1}, {0x12, 1}, {0x18, 1},
        {0x19, 1}, {0x0E, 1}, {0x01, 1}, {0x17, 1}, {0x00, 1}, {0x80, 1},
    };
    struct Case {
        unsigned char type;
        int ret;
        unsigned identByte; // 0: nothing sent
        unsigned char identBit;
    };
    const Case cases[] = {
        {0x02, 0, 1, 0x80}, {0x03, 0, 1, 0x80}, {0x04, 0, 1, 0x80}, {0x06, 0, 1, 0x80},
        {0x12, 0, 1, 0x80}, {0x18, 0, 1, 0x80}, {0x19, 0, 1, 0x80}, {0x0E, 0, 1, 0x80},
        {0x01, 0, 2, 0x02}, {0x17, 0, 2, 0x02}, {0x00, -1, 0, 0},    {0x80, -1, 0, 0},
    };
    CapturingDevice device;
    device.setConfigurationPage(configWithTypes(types));
    std::vector<SESElement*> elements;
    for (const auto& type : types) {
        elements.push_back(new SESElement(1, "", type.first));
        device.addChild(elements.back());
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(static_cast<int>(c.type));
        const unsigned at = static_cast<unsigned>(8 + 8 * i + 4);
        for (bool on : {true, false}) {
            const int sentBefore = device.sent;
            EXPECT_EQ(device.blinkElement(on, *elements[i]).getReturn(), c.ret);
            if (c.identByte == 0) {
                EXPECT_EQ(device.sent, sentBefore);
                continue;
            }
            ASSERT_EQ(device.sent, sentBefore + 1);
            std::vector<unsigned char> expected(device.lastPage.size(), 0);
            std::copy(device.lastPage.begin(), device.lastPage.begin() + 8, expected.begin());
            expected[at] = 0x80;
            if (on)
                expected[at + c.identByte] = c.identBit;
            EXPECT_EQ(device.lastPage, expected) << on;
        }
    }
    device.deleteAllChildren();
}

TEST(SESControlTest, WithoutAnAlarmElementNothingIsSent)
{
    CapturingDevice device;
    EXPECT_EQ(device.setAlarmState(ALARM_OFF).getReturn(), -1);
    EXPECT_EQ(device.setControlBytes(1, 2, 3, 4).getReturn(), -1);
    EXPECT_EQ(device.sent, 0);
    SES2EnclosureDevice plain;
    SESElement element(1, "", 0x01);
    EXPECT_EQ(plain.blinkElement(true, element).getReturn(), -1);
    EXPECT_EQ(plain.upgradeFirmware("f", false).getReturn(), -1);
    EXPECT_EQ(plain.quiesceForDownload(true).getReturn(), 0);
}

TEST(SESPageTest, PagesWithTheWrongCodeAreIgnored)
{
    CapturingDevice device;
    device.setConfigurationPage(fixture("ses_status.hex"));
    device.setStatusPage(fixture("ses_config_two_descriptors.hex"));
    device.initSESData();
    EXPECT_EQ(device.getNumberOfElementTypesSupported(), 0);
    EXPECT_FALSE(device.isSESDataValid());
    EXPECT_EQ(device.getConfigurationPage().Size(), 0u);

    device.setSupportedDiagnosticPages(bufferOf({0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x07}));
    EXPECT_TRUE(device.supportsDiagnosticPage(7));
    EXPECT_FALSE(device.supportsDiagnosticPage(0x0A));
    EXPECT_FALSE(device.supportsDiagnosticPage(0));
    // The length field decides how many codes there are; those the buffer
    // does not hold read as 0.
    device.setSupportedDiagnosticPages(bufferOf({0x00, 0x00, 0x00, 0x09, 0x01}));
    EXPECT_TRUE(device.supportsDiagnosticPage(1));
    EXPECT_TRUE(device.supportsDiagnosticPage(0));
    EXPECT_FALSE(device.supportsDiagnosticPage(7));
    // Too short to hold a code, or of another page: the list is emptied.
    device.setSupportedDiagnosticPages(bufferOf({0x00, 0x00, 0x00, 0x01}));
    EXPECT_FALSE(device.supportsDiagnosticPage(1));
    device.setSupportedDiagnosticPages(bufferOf({0x02, 0x00, 0x00, 0x01, 0x01}));
    EXPECT_FALSE(device.supportsDiagnosticPage(1));
}

TEST(SESPageTest, OutsideVendorRulesApplyToTheirExactTexts)
{
    std::vector<unsigned char> config = readHexPage("ses_config_two_descriptors.hex");
    auto name = [&](const std::string& vendor, const std::string& model) {
        std::vector<unsigned char> page = config;
        for (unsigned i = 0; i < 8; ++i)
            page[8 + 12 + i] = i < vendor.size() ? vendor[i] : ' ';
        for (unsigned i = 0; i < 16; ++i)
            page[8 + 20 + i] = i < model.size() ? model[i] : ' ';
        return bufferOf(page);
    };
    SES2EnclosureDevice sun;
    sun.setConfigurationPage(name("SUN", "ST4500"));
    EXPECT_STREQ(sun.getWWN(), "1122334455667788");
    SES2EnclosureDevice other;
    other.setConfigurationPage(name("SUN", "ST4500X"));
    EXPECT_STREQ(other.getWWN(), "0000000000000000");

    std::vector<unsigned char> stringIn(115, 0);
    stringIn[0] = 0x04;
    std::memcpy(&stringIn[105], "SER123\0zzz", 10);
    SES2EnclosureDevice j4400;
    j4400.setConfigurationPage(name("SUN", "Storage J4400"));
    j4400.setStatusPage2(bufferOf(stringIn));
    EXPECT_STREQ(j4400.getSerialNumber(), "SER123");
    // A String In page too short for the serial leaves it alone.
    SES2EnclosureDevice shortPage;
    shortPage.setConfigurationPage(name("SUN", "Storage J4400"));
    shortPage.setStatusPage2(bufferOf(std::vector<unsigned char>(stringIn.begin(), stringIn.begin() + 110)));
    EXPECT_STREQ(shortPage.getSerialNumber(), "");
    EXPECT_EQ(shortPage.getStatusPage2().Size(), 110u);

    EXPECT_FALSE(SES2EnclosureDevice::isValidWWN(""));
    EXPECT_FALSE(SES2EnclosureDevice::isValidWWN("0000"));
    EXPECT_TRUE(SES2EnclosureDevice::isValidWWN("0010"));
}

TEST(SESPageTest, EveryPageCutAtEveryLengthDecodesWithinItsBounds)
{
    const Pages whole;
    const Buffer Pages::*members[] = {&Pages::config, &Pages::status, &Pages::descriptors, &Pages::additional};
    for (const Buffer Pages::*member : members) {
        const Buffer& full = whole.*member;
        for (unsigned long cut = 1; cut <= full.Size(); ++cut) {
            Pages pages;
            // Buffer keeps exactly `cut` bytes, so the sanitizer sees any
            // read past the stored page.
            pages.*const_cast<Buffer Pages::*>(member) = Buffer(cut, full.CPtr());
            CapturingDevice device;
            load(device, pages);
            device.determineSlotIDMethod();
            device.makeEnclosureKey();
            device.setAlarmState(ALARM_OFF);
            if (device.getSESElement(0) != nullptr)
                device.blinkElement(true, *device.getSESElement(0));
            EXPECT_LE(device.getChildCount(), 10u);
            device.deleteAllChildren();
        }
    }
}

TEST(SESPageTest, AnyLyingByteStillDecodesWithinThePage)
{
    // Counts, lengths and offsets taken at their largest or smallest must
    // still never lead a read past the stored page.
    const Pages whole;
    Buffer Pages::*const members[] = {&Pages::config, &Pages::status, &Pages::descriptors, &Pages::additional};
    for (Buffer Pages::*member : members) {
        const Buffer& full = whole.*member;
        for (unsigned long at = 0; at < full.Size(); ++at) {
            for (unsigned char value : {0x00, 0xFF}) {
                std::vector<unsigned char> bytes(full.CPtr(), full.CPtr() + full.Size());
                bytes[at] = value;
                Pages pages;
                pages.*member = bufferOf(bytes);
                CapturingDevice device;
                load(device, pages);
                device.determineSlotIDMethod();
                device.setAlarmState(ALARM_TEST);
                if (device.getSESElement(0) != nullptr)
                    device.blinkElement(true, *device.getSESElement(0));
                device.deleteAllChildren();
            }
        }
    }
}

TEST(SESElementTest, AlarmStatusDecoding)
{
    struct Case {
        unsigned long word;
        unsigned long expected;
    };
    const Case cases[] = {
        {0x40000001, 3}, {0x00000021, 2}, {0x01000002, 4}, {0x00000003, 1}, {0x00000004, 1},
        {0x00000000, 2}, {0x00000006, 2}, {0x00000007, 2}, {0x00000008, 2}, {0x00000005, 0},
        {0x00000009, 0}, {0x0000000F, 0},
    };
    for (const Case& c : cases) {
        SESElement alarm(c.word, "", 0x06);
        EXPECT_EQ(alarm.getStatus(), c.expected) << std::hex << c.word;
        SESElement other(c.word, "", 0x03);
        EXPECT_EQ(other.getStatus(), c.word);
    }
}

TEST(SESElementTest, SlotAddressAndClassNames)
{
    EXPECT_EQ(SESDevice(6, "", 15).getSlotAddress(), 0x7FFFFFFFu);
    EXPECT_EQ(SESDevice(0x301, "", 15).getSlotAddress(), 3u);
    EXPECT_EQ(SESDevice(0x106, "", 15).getSlotAddress(), 1u);

    SESElement element(0, "", 2);
    SESDevice device(0, "", 15);
    SESArrayDevice array(0, "", 15);
    SESDeviceSAS deviceSAS(0, "", false, true, false, 1, EnumSESAdditionalElementDescriptorTypes(0), 1, 0);
    SESArrayDeviceSAS arraySAS(0, "", false, true, false, 1, EnumSESAdditionalElementDescriptorTypes(0), 1, 0);
    const RaidObject* all[] = {&element, &device, &array, &deviceSAS, &arraySAS};
    for (const RaidObject* o : all) {
        EXPECT_TRUE(o->isInstanceOf("SESElement")) << o->typeName();
        EXPECT_FALSE(o->isInstanceOf("RaidObject")) << o->typeName();
        EXPECT_STREQ(o->serializedName(), "SESElement");
    }
    EXPECT_TRUE(deviceSAS.isInstanceOf("SESDevice"));
    EXPECT_FALSE(arraySAS.isInstanceOf("SESDevice"));
    EXPECT_TRUE(arraySAS.isInstanceOf("SESArrayDevice"));
    EXPECT_EQ(device.getType(), 0x01);
    EXPECT_EQ(arraySAS.getType(), 0x17);
    EXPECT_EQ(arraySAS.getProtocolIdentifier(), 6u);
    EXPECT_EQ(element.setControlBytes(1, 2, 3, 4).getReturn(), -1);
}

TEST_F(SESDeviceTest, XmlKeepsElementsButNoPages)
{
    char* text = nullptr;
    {
        XMLWriter writer(&text);
        static_cast<Writer&>(writer).writeTree(device);
        std::string xml = text;
        EXPECT_NE(xml.find(" sesVersionDescriptor=\"992\" enclosureLogicalID=\"500A0B0C0D0E0F10\""), std::string::npos);
        // The alarm writes its decoded state.
        EXPECT_NE(xml.find("status=\"3\" descriptor=\"Buzzer\" elementType=\"6\""), std::string::npos) << xml;

        std::vector<char> buffer(xml.begin(), xml.end());
        SimpleXmlParser parser(buffer.data(), buffer.size());
        ASSERT_TRUE(parser.parseNext());
        SES2EnclosureDevice back(nullptr, nullptr, parser);
        EXPECT_FALSE(back.isSESDataValid());
        EXPECT_STREQ(back.getVendor(), "ACME");
        ASSERT_EQ(back.getChildCount(), 10u);
        // Plain slots come back as plain elements, among the others.
        EXPECT_EQ(back.getSESArrayDeviceSAS(2)->getSASPhy(0) != nullptr, true);
        EXPECT_STREQ(back.getSESArrayDeviceSAS(2)->getSASPhy(0)->getSASAddress(), "5000000000000004");
        EXPECT_STREQ(back.getSESArrayDeviceSAS(2)->getDescriptor(), "Slot 04");
        EXPECT_EQ(back.getSESArrayDevice(3), nullptr);
        EXPECT_STREQ(back.getOtherSESElement(0)->getDescriptor(), "Slot 03");
        // The alarm wrote its state 3; read back as a status word (code 3) it
        // decodes to 1.
        EXPECT_EQ(back.getOtherSESElement(3)->getStatus(), 1u);
        back.deleteAllChildren();
    }
}

} // namespace
