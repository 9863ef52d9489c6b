#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/ModelXml.h"
#include "RaidModel/Interface/System.h"
#include "common/Ret.h"
#include "common/XMLWriter.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

constexpr unsigned long UNSET = 0x7FFFFFFF;
constexpr int SPARE_CHUNK = 3;

// A controller read from XML whose capability records and expander names
// the tests look at.
class XmlAdapter : public Adapter {
public:
    explicit XmlAdapter(SimpleXmlParser& parser) : Adapter(parser) {}
    XmlAdapter() = default;

    const std::vector<RaidSupportInfo>& records() const { return raidSupport; }
    const unsigned char* expander(int i) const { return onBoardExpanders[i]; }
    void setExpander(int i, const unsigned char* wwn) { std::memcpy(onBoardExpanders[i], wwn, 8); }
};

std::unique_ptr<XmlAdapter> readAdapter(const std::string& xml)
{
    ParsedXml parsed(xml);
    std::unique_ptr<XmlAdapter> adapter(new XmlAdapter(parsed.parser()));
    return adapter;
}

struct AdapterDeleter {
    void operator()(Adapter* a) const
    {
        a->deleteAllChildren();
        delete a;
    }
};

// A saved system's root; it discovers nothing.
class SavedRoot : public System {
public:
    SavedRoot() : System(STORLIB_TYPE_VYN) {}
    using System::buildChildren;
    void buildChildren(StorLib*, Ret&) override {}
    int getControllerCount(StorLib*, Ret&) override { return static_cast<int>(getNumAdapters()); }
};

const unsigned char WWN_A[8] = {0x50, 0x00, 0x0a, 0xbc, 0xde, 0xf0, 0x12, 0x34};
const unsigned char WWN_B[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xff};

// ---------------------------------------------------------------- controller form

TEST(AdapterXmlTest, ExpanderNamesAreWrittenOnlyWhenSetAndReadBack)
{
    XmlAdapter none;
    EXPECT_EQ(attributesOf(none).find("onBoardExpanders"), std::string::npos);

    XmlAdapter second;
    second.setExpander(1, WWN_B);
    const std::string secondText = attributesOf(second);
    EXPECT_NE(secondText.find(" onBoardExpanders=\"01020304050607ff\""), std::string::npos) << secondText;
    auto secondRead = readAdapter("<Controller onBoardExpanders=\"01020304050607ff\"></Controller>");
    EXPECT_EQ(std::memcmp(secondRead->expander(0), WWN_B, 8), 0);
    const unsigned char zero[8] = {};
    EXPECT_EQ(std::memcmp(secondRead->expander(1), zero, 8), 0);

    XmlAdapter both;
    both.setExpander(0, WWN_A);
    both.setExpander(1, WWN_B);
    EXPECT_NE(attributesOf(both).find(" onBoardExpanders=\"50000abcdef01234,01020304050607ff\""),
              std::string::npos);
    auto bothRead = readAdapter("<Controller " + attributesOf(both) + "></Controller>");
    EXPECT_EQ(std::memcmp(bothRead->expander(0), WWN_A, 8), 0);
    EXPECT_EQ(std::memcmp(bothRead->expander(1), WWN_B, 8), 0);

    auto shortEntry = readAdapter("<Controller onBoardExpanders=\"abcd,12\"></Controller>");
    const unsigned char firstTwo[8] = {0xab, 0xcd};
    const unsigned char firstOne[8] = {0x12};
    EXPECT_EQ(std::memcmp(shortEntry->expander(0), firstTwo, 8), 0);
    EXPECT_EQ(std::memcmp(shortEntry->expander(1), firstOne, 8), 0);
}

TEST(AdapterXmlTest, SettingsAreReadByTheirRules)
{
    auto adapter = readAdapter(
        "<Controller storlibType=\"9\" controllerID=\"4\" pmStayAwakeDays=\"300\" defaultLDTaskPriority=\"3\" "
        "longSerialNum=\"5\" fsaLongSerialNum=\"6\" copyBackEnabled=\"yes\" batReconditionRequired=\"false\" "
        "autoFailoverEnabled=\"false\" maxChannels=\"8\" "
        "biosVersion=\"0123456789012345678901234567890123456789\"></Controller>");
    EXPECT_EQ(adapter->getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(adapter->getAdapterID(), 4u);
    EXPECT_EQ(adapter->getPMStayAwakeDays(), 44);
    EXPECT_EQ(adapter->getDefaultLDTaskPriority(), 0);
    EXPECT_EQ(adapter->getLongSerialNum(), 6u);
    EXPECT_FALSE(adapter->IsCopyBackEnabled());
    EXPECT_FALSE(adapter->IsAutoFailoverEnabled());
    EXPECT_EQ(adapter->getLimit(LIMIT_MAX_CHANNELS), 8);
    EXPECT_STREQ(adapter->getBiosVersion(), "0123456789012345678901234567890");
    EXPECT_EQ(adapter->getArrayID(), UNSET);

    auto priority = readAdapter("<Controller defaultLDTaskPriority=\"2\" bAutoFailoverEnabled=\"false\"/>");
    EXPECT_EQ(priority->getDefaultLDTaskPriority(), 2);
    EXPECT_FALSE(priority->IsAutoFailoverEnabled());
    // A flag keeps its value for any text but "true" and "false".
    EXPECT_TRUE(readAdapter("<Controller autoFailoverEnabled=\"yes\"/>")->IsAutoFailoverEnabled());
}

TEST(AdapterXmlTest, CapabilityRecordsFollowTheFeatureAttributes)
{
    auto bare = readAdapter("<Controller minStripeSize=\"16\" maxStripeSize=\"1024\"></Controller>");
    ASSERT_EQ(bare->records().size(), 1u);
    const RaidSupportInfo& simple = bare->records()[0];
    EXPECT_EQ(simple.raidLevel, RAID_LEVEL_SIMPLE_VOLUME);
    EXPECT_EQ(simple.minStripeSize, 1);
    EXPECT_EQ(simple.maxStripeSize, 1);
    EXPECT_EQ(simple.minMembers, 1);
    EXPECT_EQ(simple.maxMembers, 1);
    EXPECT_EQ(simple.maxDedicatedSpares, 0);
    EXPECT_TRUE(simple.reachableLevels.empty());

    auto rich = readAdapter(
        "<Controller minStripeSize=\"16\" maxStripeSize=\"1024\" maxDedicatedSparesPerLogicalDrive=\"4\" "
        "featRaid1=\"1\" featRaid6=\"1\" maxRaid6Members=\"32\" featMorphRaid6ToRaid5EE=\"1\" "
        "featMorphRaid6ToRaid5=\"1\" featExpandRaid6=\"1\" featRaid0=\"1\" featMorphRaid0ToRaid5=\"1\" "
        "featMorphRaid0ToRaid5EE=\"1\"></Controller>");
    ASSERT_EQ(rich->records().size(), 4u);
    const RaidSupportInfo& raid0 = rich->records()[0];
    EXPECT_EQ(raid0.raidLevel, RAID_LEVEL_0);
    EXPECT_EQ(raid0.reachableLevels, (std::vector<EnumRaidLevel>{RAID_LEVEL_5EE, RAID_LEVEL_5}));
    EXPECT_EQ(raid0.maxDedicatedSpares, 0);
    const RaidSupportInfo& raid1 = rich->records()[1];
    EXPECT_EQ(raid1.raidLevel, RAID_LEVEL_1);
    EXPECT_EQ(raid1.minStripeSize, 1);
    EXPECT_EQ(raid1.maxStripeSize, 1);
    EXPECT_EQ(raid1.minMembers, 2);
    EXPECT_EQ(raid1.maxMembers, 2);
    EXPECT_EQ(raid1.maxDedicatedSpares, 4);
    EXPECT_EQ(rich->records()[2].raidLevel, RAID_LEVEL_SIMPLE_VOLUME);
    const RaidSupportInfo& raid6 = rich->records()[3];
    EXPECT_EQ(raid6.raidLevel, RAID_LEVEL_6);
    EXPECT_EQ(raid6.minStripeSize, 16);
    EXPECT_EQ(raid6.maxMembers, 32);
    EXPECT_EQ(raid6.reachableLevels, (std::vector<EnumRaidLevel>{RAID_LEVEL_6, RAID_LEVEL_5}));
}

// Reading into an adapter that holds a feature table frees the old table.
TEST(AdapterXmlTest, ReadingAgainReplacesTheFeatureTable)
{
    ParsedXml first("<Controller featRaid5=\"1\"/>");
    XmlAdapter adapter(first.parser());
    EXPECT_EQ(adapter.getFeature(featRaid5), 1);
    ParsedXml second("<Controller featRaid0=\"1\"/>");
    adapter.build(second.parser());
    EXPECT_EQ(adapter.getFeature(featRaid0), 1);
}

TEST(AdapterXmlTest, ChannelKindIsToldByItsTypeName)
{
    std::unique_ptr<Adapter, AdapterDeleter> adapter(readAdapter(
        "<Controller storlibType=\"9\" controllerID=\"2\">"
        "<Channel typeName=\"VynSCSIChannel\" channelID=\"0\"><HardDrive deviceID=\"1\"/></Channel>"
        "<Channel typeName=\"SASChannel\" channelID=\"1\"></Channel>"
        "<Channel typeName=\"FibreChannel\" channelID=\"2\">"
        "<HardDrive deviceID=\"5\"><SASPhy phyID=\"0\"/></HardDrive></Channel>"
        "<Channel typeName=\"SATAChannel\" channelID=\"3\"></Channel>"
        "<Unknown a=\"1\"/>"
        "</Controller>").release());
    // The unknown channel is passed over with its drives and their phys.
    ASSERT_EQ(adapter->getChildCount(), 3u);
    EXPECT_TRUE(adapter->getChild(0)->isInstanceOf("SCSIChannel"));
    EXPECT_TRUE(adapter->getChild(1)->isInstanceOf("SASChannel"));
    EXPECT_TRUE(adapter->getChild(2)->isInstanceOf("SATAChannel"));
    ASSERT_EQ(adapter->getNumHardDrives(), 1u);
    EXPECT_EQ(adapter->getHardDrive(0)->getAdapterID(), 2u);
    EXPECT_EQ(adapter->getHardDrive(0)->getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(adapter->getHardDrive(0)->getChannelID(), 0u);
}

TEST(AdapterXmlTest, ChannelTypeNameWithoutAValueNamesNoKind)
{
    std::unique_ptr<Adapter, AdapterDeleter> adapter(readAdapter(
        "<Controller controllerID=\"0\">"
        "<Channel typeName channelID=\"0\"><HardDrive deviceID=\"1\"/></Channel>"
        "<Channel typeName=\"SATAChannel\" channelID=\"1\"></Channel>"
        "</Controller>").release());
    ASSERT_EQ(adapter->getChildCount(), 1u);
    EXPECT_TRUE(adapter->getChild(0)->isInstanceOf("SATAChannel"));
    EXPECT_EQ(adapter->getNumHardDrives(), 0u);
}

TEST(AdapterXmlTest, SpareIsReconnectedToTheLogicalDrivesItNames)
{
    std::unique_ptr<Adapter, AdapterDeleter> adapter(readAdapter(
        "<Controller controllerID=\"0\">"
        "<Channel typeName=\"SASChannel\" channelID=\"0\">"
        "<HardDrive deviceID=\"1\" size=\"1000\" spareType=\"2\" assignedTo=\"1,3,9\"/></Channel>"
        "<LogicalDrive logicalDriveID=\"1\"/><LogicalDrive logicalDriveID=\"2\"/>"
        "<LogicalDrive logicalDriveID=\"3\"/>"
        "</Controller>").release());
    HardDrive* spare = adapter->getHardDrive(0);
    ASSERT_NE(spare, nullptr);
    std::vector<LogicalDrive*> served = spare->getNumAssignedLogical();
    ASSERT_EQ(served.size(), 2u);
    EXPECT_EQ(served[0], adapter->getLogicalDrive(0));
    EXPECT_EQ(served[1], adapter->getLogicalDrive(2));
    EXPECT_EQ(adapter->getLogicalDrive(1)->getNumAssignedSpares(), 0u);
    EXPECT_EQ(spare->getSpareListSize(), 2);
}

// ---------------------------------------------------------------- saved systems

HardDrive* addDrive(Adapter* adapter, Channel* channel, unsigned long id)
{
    HardDrive* drive = new HardDrive(adapter, channel, id, 1000000, PD_READY, nullptr, nullptr, nullptr, nullptr,
                                     false, static_cast<EnumHardDriveCacheMode>(4), false, false, false, nullptr,
                                     false);
    channel->addChild(drive);
    return drive;
}

void addMirror(Adapter* adapter, unsigned long id, HardDrive* a, HardDrive* b, unsigned long long start)
{
    BasicLogicalDrive* ld = new BasicLogicalDrive(adapter, nullptr, id, LD_OPTIMAL, RAID_LEVEL_1, 4096, 0, false,
                                                  static_cast<EnumLogicalDriveCacheMode>(0), false, false);
    ld->setName(id == 1 ? "data" : "logs");
    adapter->addChild(ld);
    for (HardDrive* drive : {a, b}) {
        const EnumChunkType type = static_cast<EnumChunkType>(1);
        ld->addChild(new Chunk(drive, ld, start, 4096, type, 0, CHUNK_STATE_NORMAL, UNSET, UNSET));
        drive->addChild(new Chunk(drive, ld, start, 4096, type, 0, CHUNK_STATE_NORMAL, UNSET, UNSET));
    }
}

// Two mirrors on two drives and a third drive that is a dedicated spare of
// both, as the controller family builds them.
std::unique_ptr<SavedRoot> madeSystem()
{
    std::unique_ptr<SavedRoot> root(new SavedRoot);
    XmlAdapter* adapter = new XmlAdapter;
    adapter->setAdapterType(ADAPTER_TYPE_VYN);
    adapter->setAdapterID(0);
    root->addChild(adapter);
    Channel* channel = new SASChannel(adapter, 0, SPEED_UNSET);
    adapter->addChild(channel);
    HardDrive* a = addDrive(adapter, channel, 0);
    HardDrive* b = addDrive(adapter, channel, 1);
    HardDrive* spare = addDrive(adapter, channel, 2);
    addMirror(adapter, 1, a, b, 0);
    addMirror(adapter, 2, a, b, 8192);
    adapter->getLogicalDrive(0)->addAssignedSpare(spare);
    adapter->getLogicalDrive(1)->addAssignedSpare(spare);
    return root;
}

std::string fullText(const System& root)
{
    return vyntest::xmlOf(root);
}

std::string userText(const System& root)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.writeUserConfigTree(&root);
    return text != nullptr ? std::string(text) : std::string();
}

std::unique_ptr<SavedRoot> readSystem(const std::string& xml)
{
    std::vector<char> text(xml.begin(), xml.end());
    SimpleXmlParser parser(text.data(), text.size());
    std::unique_ptr<SavedRoot> root(new SavedRoot);
    root->buildChildren(parser);
    // The attribute lists point into the text; they are not read again.
    return root;
}

// The direct chunks of `node` that lie on `provider` (on any drive when it
// is null); with `spareOnly`, only the spare's extents (type 3).
int chunksOn(const RaidObject& node, const HardDrive* provider, bool spareOnly)
{
    int n = 0;
    for (const RaidObject* child : node.getChildren()) {
        if (child->isInstanceOf("Chunk")) {
            const Chunk* chunk = static_cast<const Chunk*>(child);
            n += (!spareOnly || chunk->getChunkType() == SPARE_CHUNK) &&
                 (provider == nullptr || chunk->getProviderHardDrive() == provider);
        }
    }
    return n;
}

// The user-configuration form carries no chunk types: there a chunk is the
// spare's by the drive it lies on alone.
void expectSpareOfBoth(const System& root, bool typed = true)
{
    ASSERT_EQ(root.getNumAdapters(), 1u);
    const Adapter* adapter = root.getAdapter(0);
    ASSERT_EQ(adapter->getNumHardDrives(), 3u);
    ASSERT_EQ(adapter->getNumLogicalDrives(), 2u);
    const HardDrive* spare = adapter->getHardDrive(2);
    EXPECT_EQ(spare->getSpareType(), SPARE_DEDICATED);
    EXPECT_EQ(spare->getNumAssignedLogical().size(), 2u);
    EXPECT_EQ(spare->getSpareListSize(), 2);
    EXPECT_EQ(chunksOn(*spare, nullptr, typed), 2);
    EXPECT_EQ(spare->getChildCount(), 2u);
    for (unsigned long i = 0; i < 2; ++i) {
        const LogicalDrive* ld = adapter->getLogicalDrive(i);
        EXPECT_EQ(chunksOn(*ld, spare, typed), 1) << i;
        EXPECT_EQ(chunksOn(*ld, spare, false), 1) << i;
        EXPECT_EQ(chunksOn(*ld, nullptr, typed), typed ? 1 : 3) << i;
        EXPECT_EQ(ld->getNumAssignedSpares(), 1u) << i;
        EXPECT_EQ(ld->getAssignedSpare(0), spare) << i;
        EXPECT_EQ(ld->getNumHardDrives(), 3u) << i;
    }
}

// A dedicated spare read back must not gain another pair of extents on
// every load and save, in either form.
TEST(SavedSystemTest, ReadAndWrittenAgainGivesTheSameText)
{
    struct Form {
        const char* name;
        std::string (*write)(const System&);
        bool typed;
    } forms[] = {{"full", fullText, true}, {"user", userText, false}};
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        std::unique_ptr<SavedRoot> made = madeSystem();
        expectSpareOfBoth(*made);
        const std::string saved = form.write(*made);

        std::unique_ptr<SavedRoot> first = readSystem(saved);
        expectSpareOfBoth(*first, form.typed);
        const std::string firstText = form.write(*first);

        std::unique_ptr<SavedRoot> second = readSystem(firstText);
        expectSpareOfBoth(*second, form.typed);
        EXPECT_EQ(form.write(*second), firstText);
    }
}

TEST(SavedSystemTest, UserFormOfAReadSystemKeepsSizesAndTheSpare)
{
    std::unique_ptr<SavedRoot> read = readSystem(fullText(*madeSystem()));
    const std::string user = userText(*read);
    EXPECT_NE(user.find(" size=\"2\" sizeUnit=\"MB\""), std::string::npos) << user;
    EXPECT_NE(user.find(" assignedTo=\"1,2\""), std::string::npos);
    EXPECT_NE(user.find("name=\"logs\""), std::string::npos);
}

TEST(SavedSystemTest, OnlyControllersBecomeChildrenAndTheRootKeepsItsAttributes)
{
    std::string xml = "<System version=\"3\"><Controller controllerID=\"0\"/><Other a=\"1\"></Other>"
                      "<Controller controllerID=\"1\"></Controller></System><Controller/>";
    std::vector<char> text(xml.begin(), xml.end());
    SimpleXmlParser parser(text.data(), text.size());
    std::unique_ptr<SavedRoot> root(new SavedRoot);
    root->buildChildren(parser);
    EXPECT_STREQ(root->getAttributes().GetValue("version"), "3");
    EXPECT_EQ(root->getNumAdapters(), 2u);
    EXPECT_EQ(root->getChildCount(), 2u);
    EXPECT_EQ(root->getAdapter(1)->getAdapterID(), 1u);

    std::unique_ptr<SavedRoot> empty = readSystem("");
    EXPECT_EQ(empty->getChildCount(), 0u);
}

}  // namespace
