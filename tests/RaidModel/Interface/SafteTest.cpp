#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HexPage.h"
#include "RaidModel/Interface/SafteItems.h"
#include "RaidModel/Interface/SaftePages.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

using vyntest::readHexPage;

namespace {

std::unique_ptr<SafteConfig> configFrom(const char* fixture)
{
    const std::vector<unsigned char> bytes = readHexPage(fixture);
    SAFTE_CONFIG page{};
    EXPECT_EQ(bytes.size(), sizeof page);
    std::memcpy(page.bytes, bytes.data(), std::min(bytes.size(), sizeof page));
    auto config = std::make_unique<SafteConfig>();
    config->initFieldsFromData(&page);
    return config;
}

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

// Every attribute whose name matches `pattern`, with its value.
std::vector<std::pair<std::string, std::string>> attributes(const std::string& xml, const std::string& pattern)
{
    std::vector<std::pair<std::string, std::string>> found;
    const std::regex attribute(" (" + pattern + ")=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), attribute); it != std::sregex_iterator(); ++it)
        found.emplace_back((*it)[1].str(), (*it)[2].str());
    return found;
}

// Reads `xml` with a builder that expects the parser on the element's tag.
template <typename Build>
void parse(std::string xml, Build build)
{
    std::vector<char> text(xml.begin(), xml.end());
    SimpleXmlParser parser(text.data(), text.size());
    ASSERT_TRUE(parser.parseNext());
    build(parser);
}

// An enclosure as the controller family fills it.
class FilledEnclosure : public Enclosure {
public:
    FilledEnclosure(std::unique_ptr<SafteConfig> config, const std::vector<unsigned char>& status)
    {
        auto page = std::make_unique<SafteStatus>();
        page->initFieldsFromData(config.get(), reinterpret_cast<const char*>(status.data()), status.size());
        setSafteConfig(config.release());
        setSafteStatus(page.release());
        setSafteDataValid(true);
    }
};

// An element of a kind the enclosure has no typed index for.
class OtherItem : public EnclosureItem {
public:
    explicit OtherItem(Enclosure* enclosure) : EnclosureItem(enclosure, SLOT, 0) {}
};

TEST(SafteConfigTest, ConfigurationPageGivesCountsUnitsAndStatusLength)
{
    const auto config = configFrom("safte_config_2_1_4_1_1_1.hex");
    EXPECT_EQ(config->getFanCount(), 2);
    EXPECT_EQ(config->getPowerSupplyCount(), 1);
    EXPECT_EQ(config->getDeviceSlotCount(), 4);
    EXPECT_EQ(config->getDoorLockPresent(), 1);
    EXPECT_EQ(config->getTempSensorCount(), 1);
    EXPECT_EQ(config->getAudibleAlarmPresent(), 1);
    EXPECT_TRUE(config->isCelsius());
    EXPECT_EQ(config->getVendorUniqueBytes(), 0x5a);
    EXPECT_EQ(config->getStatusLength(), 13);
}

TEST(SafteConfigTest, ReservedTextStopsAtItsZeroAndAtTheAreasEnd)
{
    SafteConfig config;
    config.setReserved(reinterpret_cast<const unsigned char*>("abc"));
    EXPECT_EQ(std::memcmp(config.getReserved(), "abc\0", 4), 0);
    const std::string longText(200, 'x');
    config.setReserved(reinterpret_cast<const unsigned char*>(longText.c_str()));
    EXPECT_EQ(config.getReserved()[SafteConfig::RESERVED_SIZE - 1], 'x');
}

TEST(SafteConfigTest, XmlRoundTripKeepsCountsAlarmAndUnits)
{
    auto config = configFrom("safte_config_2_1_4_1_1_1.hex");
    const std::string xml = xmlOf(*config);
    EXPECT_NE(xml.find(" speakerPresent=\"1\""), std::string::npos) << xml;
    parse(xml, [&](SimpleXmlParser& p) {
        SafteConfig back(nullptr, p);
        EXPECT_EQ(back.getFanCount(), 2);
        EXPECT_EQ(back.getPowerSupplyCount(), 1);
        EXPECT_EQ(back.getDeviceSlotCount(), 4);
        EXPECT_EQ(back.getDoorLockPresent(), 1);
        EXPECT_EQ(back.getTempSensorCount(), 1);
        EXPECT_EQ(back.getAudibleAlarmPresent(), 1);
        EXPECT_TRUE(back.isCelsius());
    });
}

TEST(SafteStatusTest, StatusPageIsLaidOutByTheConfiguration)
{
    const auto config = configFrom("safte_config_2_1_4_1_1_1.hex");
    std::vector<unsigned char> page = readHexPage("safte_status_2_1_4_1.hex");
    ASSERT_EQ(page.size(), config->getStatusLength());
    SafteStatus status;
    status.initFieldsFromData(config.get(), reinterpret_cast<char*>(page.data()));
    EXPECT_EQ(status.getFanStatus(0), 0x01);
    EXPECT_EQ(status.getFanStatus(1), 0x02);
    EXPECT_EQ(status.getFanStatus(2), 0x80);
    EXPECT_EQ(status.getPowerSupplyStatus(0), 0x03);
    EXPECT_EQ(status.getSlotNumberFromDeviceID(5), 2);
    EXPECT_EQ(status.getSlotNumberFromDeviceID(9), 0x7FFFFFFF);
    EXPECT_EQ(status.getDeviceIDFromSlotNumber(1), 1);
    EXPECT_EQ(status.getDeviceIDFromSlotNumber(64), 0x7FFFFFFF);
    EXPECT_EQ(status.getDeviceIDFromSlotNumber(-1), 0x7FFFFFFF);
    EXPECT_EQ(status.getDoorLock(), 0x41);
    EXPECT_EQ(status.getSpeaker(), 0x80);
    EXPECT_EQ(status.getTemperature(0), 45);
    EXPECT_EQ(status.getTempFlags1(), 0x00);
    EXPECT_EQ(status.getTempFlags2(), 0x04);

    const std::string xml = xmlOf(status);
    EXPECT_EQ(attributes(xml, "fan[0-9]+").size(), 2u);
    EXPECT_EQ(attributes(xml, "slot[0-9]+").size(), 4u);
    EXPECT_EQ(attributes(xml, "tempSensor[0-9]+").size(), 1u);
}

TEST(SafteStatusTest, EntriesBeyondTheArraysAreSkippedButStillConsumed)
{
    const auto config = configFrom("safte_config_40_fans.hex");
    std::vector<unsigned char> page = readHexPage("safte_status_40_fans.hex");
    ASSERT_EQ(page.size(), config->getStatusLength());
    SafteStatus status;
    status.initFieldsFromData(config.get(), reinterpret_cast<char*>(page.data()));
    EXPECT_EQ(status.getFanStatus(0), 0x10);
    EXPECT_EQ(status.getFanStatus(31), 0x10 + 31);
    EXPECT_EQ(status.getPowerSupplyStatus(0), 0xa1);
    EXPECT_EQ(status.getPowerSupplyStatus(1), 0xa2);
    EXPECT_EQ(status.getSlotScsiID(0), 0x07);
    EXPECT_EQ(status.getTemperature(0), 0x30);
    EXPECT_EQ(status.getTempFlags1(), 0x01);
    EXPECT_EQ(status.getTempFlags2(), 0x02);
    // More fans than the array holds: the XML form writes the array only.
    EXPECT_EQ(attributes(xmlOf(status), "fan[0-9]+").size(), 32u);
}

TEST(SafteStatusTest, FreshStatusWritesWholeArraysOfDefaults)
{
    SafteStatus status;
    EXPECT_EQ(status.getSlotNumberFromDeviceID(255), 0);
    const std::string xml = xmlOf(status);
    struct Expected {
        const char* pattern;
        size_t count;
        const char* value;
    };
    const Expected cases[] = {
        {"fan[0-9]+", 32, "128"},
        {"powerSupply[0-9]+", 32, "128"},
        {"slot[0-9]+", 64, "255"},
        {"tempSensor[0-9]+", 32, "0"},
        {"doorLock", 1, "128"},
        {"speaker", 1, "0"},
        {"tempFlags1", 1, "0"},
        {"tempFlags2", 1, "0"},
    };
    for (const Expected& c : cases) {
        const auto found = attributes(xml, c.pattern);
        EXPECT_EQ(found.size(), c.count) << c.pattern;
        for (const auto& entry : found)
            EXPECT_EQ(entry.second, c.value) << entry.first;
    }
    EXPECT_EQ(attributes(xml, "fan31").size(), 1u);
    EXPECT_EQ(attributes(xml, "slot63").size(), 1u);
}

TEST(SafteStatusTest, APageCutAtAnyLengthIsNeverReadPastItsEnd)
{
    const auto config = configFrom("safte_config_2_1_4_1_1_1.hex");
    const std::vector<unsigned char> whole = readHexPage("safte_status_2_1_4_1.hex");
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        // An exact-size block, so that the sanitizer sees any read past it.
        std::unique_ptr<char[]> page(new char[cut == 0 ? 1 : cut]);
        std::memcpy(page.get(), whole.data(), cut);
        SafteStatus status;
        status.initFieldsFromData(config.get(), page.get(), cut);
        EXPECT_EQ(status.getFanStatus(0), cut > 0 ? 0x01 : 0x80) << cut;
        EXPECT_EQ(status.getPowerSupplyStatus(0), cut > 2 ? 0x03 : 0x80) << cut;
        EXPECT_EQ(status.getSlotScsiID(0), cut > 3 ? 0x00 : 0xFF) << cut;
        EXPECT_EQ(status.getDoorLock(), cut > 7 ? 0x41 : 0x80) << cut;
        EXPECT_EQ(status.getTempFlags2(), cut > 11 ? 0x04 : 0x00) << cut;
    }
}

TEST(SafteItemTest, TemperatureAndSlotStatusDecoding)
{
    SafteTempSensor sensor(nullptr, 0, false, 0);
    sensor.setTemperature(0);
    EXPECT_EQ(sensor.getTemperature(), -10);
    sensor.setTemperature(35);
    EXPECT_EQ(sensor.getTemperature(), 25);

    struct SlotCase {
        unsigned char status;
        bool inserted, ready, prepared;
    };
    const SlotCase cases[] = {
        {0x00, false, false, false}, {0x01, true, false, false}, {0x02, false, true, false},
        {0x04, false, false, true},  {0x05, true, false, true},  {0xF8, false, false, false},
    };
    for (const SlotCase& c : cases) {
        SafteSlot slot(nullptr, 3, c.status, 0);
        EXPECT_EQ(slot.getDeviceInserted(), c.inserted) << int(c.status);
        EXPECT_EQ(slot.getReadyForInsertionRemoval(), c.ready) << int(c.status);
        EXPECT_EQ(slot.getPreparedForOperation(), c.prepared) << int(c.status);
    }
}

TEST(EnclosureTest, WithoutSafteDataNothingIsReported)
{
    Enclosure enclosure;
    EXPECT_EQ(enclosure.getFanCount(), 0);
    EXPECT_EQ(enclosure.getPowerSupplyCount(), 0);
    for (unsigned short i = 0; i < 40; ++i) {
        EXPECT_EQ(enclosure.getFanStatus(i), 128);
        EXPECT_EQ(enclosure.getPowerSupplyStatus(i), 128);
    }
    EXPECT_FALSE(enclosure.isTempOutOfRange());
    EXPECT_EQ(enclosure.getSlotNumberFromDeviceID(0), 0x7FFFFFFF);
    EXPECT_EQ(enclosure.getSlotNumberFromDeviceID(255), 0x7FFFFFFF);
    EXPECT_EQ(enclosure.setAlarmState(ALARM_ON).getReturn(), -1);
}

TEST(EnclosureTest, ValidDataAnswersFromThePages)
{
    FilledEnclosure enclosure(configFrom("safte_config_2_1_4_1_1_1.hex"), readHexPage("safte_status_2_1_4_1.hex"));
    EXPECT_EQ(enclosure.getFanCount(), 2);
    EXPECT_EQ(enclosure.getPowerSupplyCount(), 1);
    EXPECT_EQ(enclosure.getFanStatus(1), 0x02);
    EXPECT_EQ(enclosure.getFanStatus(32), 128);
    EXPECT_EQ(enclosure.getPowerSupplyStatus(0), 0x03);
    EXPECT_TRUE(enclosure.isTempOutOfRange());
    EXPECT_EQ(enclosure.getSlotNumberFromDeviceID(5), 2);
}

TEST(EnclosureTest, ItemsLandInTheirTypedIndexesNumberedInArrivalOrder)
{
    Enclosure enclosure;
    auto* slot = new SafteSlot(&enclosure, 4, 0x01, 0);
    auto* fan = new SafteFan(&enclosure, SafteFan::STATUS(1), 0);
    auto* other = new OtherItem(&enclosure);
    auto* supply = new SaftePowerSupply(&enclosure, SaftePowerSupply::STATUS(2), 0);
    auto* sensor = new SafteTempSensor(&enclosure, 20, true, 0);
    auto* fan2 = new SafteFan(&enclosure, SafteFan::STATUS(3), 1);
    // A plain item, made as it is, is a child and an other item as well.
    auto* plain = new EnclosureItem(&enclosure, EnclosureItem::FAN, 2);

    EXPECT_EQ(enclosure.getSafteFan(0), fan);
    EXPECT_EQ(enclosure.getSafteFan(1), fan2);
    EXPECT_EQ(enclosure.getSafteFan(2), nullptr);
    EXPECT_EQ(enclosure.getSaftePowerSupply(0), supply);
    EXPECT_EQ(enclosure.getSafteSlot(0), slot);
    EXPECT_EQ(enclosure.getSafteTempSensor(0), sensor);
    EXPECT_EQ(enclosure.getOtherEnclosureItem(0), other);
    EXPECT_EQ(enclosure.getOtherEnclosureItem(1), plain);
    EXPECT_EQ(enclosure.getOtherEnclosureItem(2), nullptr);
    ASSERT_EQ(enclosure.getChildCount(), 7u);
    const EnclosureItem* order[] = {slot, fan, other, supply, sensor, fan2, plain};
    for (unsigned long i = 0; i < 7; ++i) {
        EXPECT_EQ(enclosure.getEnclosureItem(i), order[i]);
        EXPECT_EQ(order[i]->getItemID(), i);
    }
    enclosure.deleteAllChildren();
}

TEST(EnclosureTest, XmlRoundTripKeepsItemsStatusesAndFruRecords)
{
    Enclosure enclosure(nullptr, nullptr, 5, nullptr, nullptr, nullptr, nullptr, PD_READY, nullptr);
    auto* fan = new SafteFan(&enclosure, SafteFan::STATUS(1), 0);
    auto* fru = new IbmFruInfo();
    fru->setPartNum("P1");
    fru->setSerialNum("S2");
    fru->setDateOfManufacture("D3");
    fru->setVendor("V4");
    fru->setType("T5");
    fan->setIbmFruInfo(fru);
    new SaftePowerSupply(&enclosure, SaftePowerSupply::STATUS(2), 0);
    new SafteSlot(&enclosure, 7, 0x05, 0);
    new SafteTempSensor(&enclosure, 31, true, 0);
    new SafteFan(&enclosure, SafteFan::STATUS(6), 1);
    const std::string xml = xmlOf(enclosure);
    enclosure.deleteAllChildren();

    const auto fruNames = attributes(xml, "fru(PartNum|SerialNum|DateOfMfr|Vendor|Type)");
    ASSERT_EQ(fruNames.size(), 5u) << xml;
    EXPECT_EQ(fruNames[0].first, "fruPartNum");
    EXPECT_EQ(fruNames[2].first, "fruDateOfMfr");
    EXPECT_EQ(fruNames[4].first, "fruType");

    // A configuration page read from XML is a child and takes an id too.
    std::string withConfig = xml;
    withConfig.insert(withConfig.find("<Fan"), "<SafteConfig fanCount=\"2\"/>\n");
    parse(withConfig, [](SimpleXmlParser& p) {
        Enclosure back(nullptr, nullptr, p);
        ASSERT_EQ(back.getChildCount(), 6u);
        EXPECT_TRUE(back.getChild(0)->isInstanceOf("SafteConfig"));
        ASSERT_NE(back.getSafteFan(1), nullptr);
        EXPECT_EQ(back.getSafteFan(0)->getFanStatus(), 1);
        EXPECT_EQ(back.getSafteFan(1)->getFanStatus(), 6);
        EXPECT_EQ(back.getSafteFan(1)->getItemNum(), 1u);
        ASSERT_NE(back.getSafteFan(0)->getIbmFruInfo(), nullptr);
        EXPECT_STREQ(back.getSafteFan(0)->getIbmFruInfo()->getPartNum(), "P1");
        EXPECT_STREQ(back.getSafteFan(0)->getIbmFruInfo()->getSerialNum(), "S2");
        EXPECT_STREQ(back.getSafteFan(0)->getIbmFruInfo()->getDateOfManufacture(), "D3");
        EXPECT_STREQ(back.getSafteFan(0)->getIbmFruInfo()->getVendor(), "V4");
        EXPECT_STREQ(back.getSafteFan(0)->getIbmFruInfo()->getType(), "T5");
        EXPECT_EQ(back.getSaftePowerSupply(0)->getPowerSupplyStatus(), 2);
        EXPECT_EQ(back.getSafteSlot(0)->getScsiID(), 7u);
        EXPECT_TRUE(back.getSafteSlot(0)->getDeviceInserted());
        EXPECT_TRUE(back.getSafteSlot(0)->getPreparedForOperation());
        EXPECT_FALSE(back.getSafteSlot(0)->getReadyForInsertionRemoval());
        EXPECT_EQ(back.getSafteTempSensor(0)->getTemperature(), 31);
        EXPECT_TRUE(back.getSafteTempSensor(0)->getOutOfRange());
        EXPECT_EQ(back.getEnclosureItem(5), nullptr);
        // Every child carries the enclosure's device id, as it did when written.
        EXPECT_EQ(back.getDeviceID(), 5u);
        for (unsigned long i = 0; i < 6; ++i) {
            EXPECT_EQ(back.getChild(static_cast<int>(i))->getItemID(), i);
            EXPECT_EQ(back.getChild(static_cast<int>(i))->getDeviceID(), 5u) << i;
        }
        back.deleteAllChildren();
    });
}

} // namespace
