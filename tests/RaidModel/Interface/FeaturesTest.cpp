#include "RaidModel/Interface/Features.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ModelXml.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

// Feature values as a "Controller" start tag carries them.
XmlAttributeList_C attributesFrom(ParsedXml& xml)
{
    XmlAttributeList_C list;
    SimpleXmlParser& p = xml.parser();
    do {
        if (p.tagIs("Controller") && p.getName() != nullptr) {
            list.Append(p.getName(), p.getValue());
        }
    } while (p.parseNext());
    return list;
}

}  // namespace

TEST(FeatureStrings, RowsByNumberAndNoRowForTheUnusedNumber)
{
    EXPECT_STREQ(FeatureStrings[featRaid0], "featRaid0");
    EXPECT_STREQ(FeatureStrings[3], "featRaid5");
    EXPECT_STREQ(FeatureStrings[13], "featQuickInit");
    EXPECT_STREQ(FeatureStrings[40], "featCopyBack");
    EXPECT_STREQ(FeatureStrings[195], "featLongSerialNumber");
    EXPECT_EQ(FeatureStrings[196], nullptr);
    EXPECT_STREQ(FeatureStrings[197], "featMarkArrayBootable");
    EXPECT_STREQ(FeatureStrings[276], "featOrvexaWriteCacheSupport");
    EXPECT_STREQ(FeatureStrings[featMaxIndex], "featMaxIndex");
    EXPECT_EQ(featMaxIndex, 277);
    for (int f = 0; f < featMaxIndex; ++f) {
        if (f != 196) {
            ASSERT_NE(FeatureStrings[f], nullptr) << f;
            EXPECT_EQ(std::strncmp(FeatureStrings[f], "feat", 4), 0) << f;
        }
    }
}

TEST(AdapterFeatures, NewSetIsAllZeroAndWritesNothing)
{
    AdapterFeatures features;
    for (int f = 0; f < featMaxIndex; ++f) {
        EXPECT_EQ(features.getFeature(static_cast<FeatureEnum>(f)), 0) << f;
    }
    EXPECT_EQ(attributesOf(features), "");
    EXPECT_TRUE(features.isInstanceOf("AdapterFeatures"));
    EXPECT_TRUE(features.isInstanceOf("RaidObject"));
    EXPECT_STREQ(features.serializedName(), "AdapterFeatures");
}

TEST(AdapterFeatures, NumbersOutsideTheTableAreIgnored)
{
    AdapterFeatures features;
    features.setFeature(featMaxIndex, 1);
    features.setFeature(static_cast<FeatureEnum>(-1), 1);
    EXPECT_EQ(features.getFeature(featMaxIndex), 0);
    EXPECT_EQ(features.getFeature(static_cast<FeatureEnum>(-1)), 0);
    EXPECT_EQ(attributesOf(features), "");
}

TEST(AdapterFeatures, WritesNonZeroFeaturesInAscendingOrderAsSignedDecimal)
{
    AdapterFeatures features;
    features.setFeature(featOrvexaSupport, -3);
    features.setFeature(featRaid5, 2);
    features.setFeature(featRaid0, 1);
    EXPECT_EQ(attributesOf(features), " featRaid0=\"1\" featRaid5=\"2\" featOrvexaSupport=\"-3\"");
}

// Every value set through the virtual slot, so a controller family's own
// table sees setAll.
TEST(AdapterFeatures, SetAllGoesThroughTheVirtualSetter)
{
    struct Counting : AdapterFeatures {
        int calls = 0;
        void setFeature(FeatureEnum f, int v) override
        {
            ++calls;
            AdapterFeatures::setFeature(f, v);
        }
    } features;
    features.calls = 0;
    features.setAll(7);
    EXPECT_EQ(features.calls, featMaxIndex);
    EXPECT_EQ(features.getFeature(featRaid60), 7);
}

// The unused number has no name; writing must not hand the writer a null
// attribute name.
TEST(AdapterFeatures, SetAllWritesEveryNamedFeatureAndSkipsTheUnusedNumber)
{
    AdapterFeatures features;
    features.setAll(1);
    const std::string text = attributesOf(features);
    EXPECT_NE(text.find(" featFastInit=\"1\" featLongSerialNumber=\"1\" featMarkArrayBootable=\"1\""),
              std::string::npos);
    EXPECT_EQ(text.find("(null)"), std::string::npos);
}

TEST(AdapterFeatures, ReadsOnlyTheRestoredFeatures)
{
    ParsedXml xml("<Controller featRaid5=\"1\" featRaid0=\"0\" featRaid4=\"1\" featExpand=\"1\""
                  " featBkgrndScrubInDays=\"9\" featFWRawBlink=\"1\" featOrvexaWriteCacheSupport=\"-2\"/>");
    XmlAttributeList_C list = attributesFrom(xml);
    AdapterFeatures features;
    features.initFromXML(list);
    EXPECT_EQ(features.getFeature(featRaid5), 1);
    EXPECT_EQ(features.getFeature(featRaid0), 0);
    EXPECT_EQ(features.getFeature(featRaid4), 0);
    EXPECT_EQ(features.getFeature(featExpand), 0);
    EXPECT_EQ(features.getFeature(featBkgrndScrubInDays), 9);
    EXPECT_EQ(features.getFeature(featFWRawBlink), 0);
    EXPECT_EQ(features.getFeature(featOrvexaWriteCacheSupport), -2);
}

// Every named feature offered at once: exactly the restored ranges come
// back, the report-only features stay 0.
TEST(AdapterFeatures, ReadsExactlyTheRestoredRanges)
{
    const struct {
        int first;
        int last;
    } restored[] = {
        {0, 1},    {3, 8},     {11, 16},   {23, 23},   {25, 27},   {29, 90},
        {92, 101}, {103, 113}, {115, 195}, {200, 200}, {260, 261}, {263, 276},
    };
    std::string element = "<Controller";
    for (int f = 0; f < featMaxIndex; ++f) {
        if (FeatureStrings[f] != nullptr) {
            element += std::string(" ") + FeatureStrings[f] + "=\"" + std::to_string(f + 1) + "\"";
        }
    }
    ParsedXml xml(element + "/>");
    XmlAttributeList_C list = attributesFrom(xml);
    AdapterFeatures features;
    features.initFromXML(list);
    for (int f = 0; f < featMaxIndex; ++f) {
        bool read = false;
        for (const auto& range : restored) {
            read = read || (f >= range.first && f <= range.last);
        }
        EXPECT_EQ(features.getFeature(static_cast<FeatureEnum>(f)), read ? f + 1 : 0) << f;
    }
}

TEST(AdapterFeatures, AbsentAttributesKeepTheirValues)
{
    ParsedXml xml("<Controller featRaid1=\"4\"/>");
    XmlAttributeList_C list = attributesFrom(xml);
    AdapterFeatures features;
    features.setFeature(featRaid6, 5);
    features.initFromXML(list);
    EXPECT_EQ(features.getFeature(featRaid1), 4);
    EXPECT_EQ(features.getFeature(featRaid6), 5);
}

// What writeTo produces, initFromXML restores: including quick init and copy
// back, whose older attribute names are still accepted.
TEST(AdapterFeatures, WrittenFeaturesReadBack)
{
    AdapterFeatures written;
    written.setFeature(featRaid5, 2);
    written.setFeature(featQuickInit, 1);
    written.setFeature(featCopyBack, 3);
    ParsedXml xml("<Controller" + attributesOf(written) + "/>");
    XmlAttributeList_C list = attributesFrom(xml);
    AdapterFeatures read;
    read.initFromXML(list);
    EXPECT_EQ(read.getFeature(featRaid5), 2);
    EXPECT_EQ(read.getFeature(featQuickInit), 1);
    EXPECT_EQ(read.getFeature(featCopyBack), 3);

    ParsedXml legacy("<Controller featBuildQuick=\"1\" featCopyback=\"1\"/>");
    XmlAttributeList_C legacyList = attributesFrom(legacy);
    AdapterFeatures old;
    old.initFromXML(legacyList);
    EXPECT_EQ(old.getFeature(featQuickInit), 1);
    EXPECT_EQ(old.getFeature(featCopyBack), 1);
}

TEST(AdapterFeatures, CopyTakesEveryValue)
{
    AdapterFeatures features;
    features.setFeature(featJBOD, 9);
    AdapterFeatures copy(features);
    EXPECT_EQ(copy.getFeature(featJBOD), 9);
}
