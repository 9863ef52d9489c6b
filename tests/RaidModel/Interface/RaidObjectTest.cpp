#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/RaidObject.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/TestTree.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/SimpleXmlParser.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

using vyntest::NotificationLog;
using vyntest::TestNode;

namespace {

constexpr std::uint32_t U = Addr::UNSET_ID;
constexpr std::uint64_t UC = Addr::UNSET_CHUNK_ID;

// Records every attribute as "name=value" in call order, with the operation
// that wrote it, so that order and form can be checked without XML.
class RecordingWriter : public Writer {
public:
    std::vector<std::string> items;

    void writeChar(const char* n, char v) override { add("char", n, std::string(1, v)); }
    void writeUChar(const char* n, unsigned char v) override { add("uchar", n, std::to_string(v)); }
    void writeLong(const char* n, long v) override { add("long", n, std::to_string(v)); }
    void writeULong(const char* n, unsigned long v) override { add("ulong", n, std::to_string(v)); }
    void writeShort(const char* n, short v) override { add("short", n, std::to_string(v)); }
    void writeUShort(const char* n, unsigned short v) override { add("ushort", n, std::to_string(v)); }
    void writeInt(const char* n, int v) override { add("int", n, std::to_string(v)); }
    void writeUInt(const char* n, unsigned int v) override { add("uint", n, std::to_string(v)); }
    void writeUIntHex(const char* n, unsigned int v) override { add("hex", n, std::to_string(v)); }
    void writeFloat(const char* n, float v) override { add("float", n, std::to_string(v)); }
    void writeDouble(const char* n, double v) override { add("double", n, std::to_string(v)); }
    void writeU64(const char* n, unsigned long long v) override { add("u64", n, std::to_string(v)); }
    void writeI64(const char* n, long long v) override { add("i64", n, std::to_string(v)); }
    void writeBlockT(const char* n, unsigned long long v) override { add("block", n, std::to_string(v)); }
    void writeBool(const char* n, bool v) override { add("bool", n, v ? "true" : "false"); }
    void writeString(const char* n, const char* v) override { add("string", n, v); }
    void writeASCIIString(const char* n, char* v) override { add("ascii", n, v); }
    void writeObject(const RaidObject*) override {}
    void writeObject(const RaidObject&) override {}
    void writeObject(const Addr*) override {}
    void writeObject(const Addr&) override {}
    void writeAddr(const Addr*) override {}
    void writeAddrDefinedIDsOnly(const Addr&) override {}
    void writeAddr(const Addr&) override {}
    void writeTree(const RaidObject*) override {}
    void writeTree(const RaidObject&) override {}
    void writeRawString(const char*) override {}
    void writeBinary(const char*, const char*, unsigned long) override {}
    void addTag(const char*) override {}

private:
    void add(const char* op, const char* name, const std::string& value)
    {
        items.push_back(std::string(op) + " " + name + "=" + value);
    }
};

// An attachment that writes one attribute of its own and says when it dies.
class TestAttachment : public Serializable {
public:
    explicit TestAttachment(bool* destroyed = nullptr) : destroyed_(destroyed) {}
    ~TestAttachment() override
    {
        if (destroyed_ != nullptr) {
            *destroyed_ = true;
        }
    }
    bool isInstanceOf(const char* name) const override
    {
        return std::string(name) == "TestAttachment" || Serializable::isInstanceOf(name);
    }
    const char* typeName() const override { return "TestAttachment"; }
    void writeTo(Writer* w) const override { w->writeInt("extra", 7); }

private:
    bool* destroyed_;
};

std::vector<std::string> names(const std::vector<RaidObject*>& nodes)
{
    std::vector<std::string> out;
    for (RaidObject* node : nodes) {
        out.push_back(static_cast<TestNode*>(node)->name());
    }
    return out;
}

// Owns a tree for the duration of a test.
struct TreeOwner {
    RaidObject* root;
    ~TreeOwner()
    {
        root->deleteAllChildren();
        delete root;
    }
};

}  // namespace

TEST(RaidObjectTree, AddChildIgnoresNullAndAppendsPastTheEnd)
{
    TestNode parent("p");
    TestNode* a = new TestNode("a");
    TestNode* b = new TestNode("b");
    TestNode* c = new TestNode("c");
    TestNode* front = new TestNode("front");
    parent.addChild(a);
    parent.addChild(b);
    parent.addChild(nullptr);
    parent.addChild(nullptr, 0);
    EXPECT_EQ(parent.getChildCount(), 2u);

    parent.addChild(c, 5);
    parent.addChild(front, 0);
    EXPECT_EQ(names(parent.getChildren()), (std::vector<std::string>{"front", "a", "b", "c"}));
    EXPECT_EQ(c->getParent(), &parent);
    EXPECT_EQ(front->getParent(), &parent);
    parent.deleteAllChildren();
}

TEST(RaidObjectTree, AddingASubtreeNotifiesEveryAncestorOncePerNodeInPreOrder)
{
    NotificationLog log;
    TestNode* root = new TestNode("root", "TestNode", &log);
    TreeOwner owner{root};
    TestNode* mid = new TestNode("mid", "TestNode", &log);
    root->addChild(mid);
    log.clear();

    // x holds y (which holds z) and w; built apart, then added in one step.
    TestNode* x = new TestNode("x", "TestNode", &log);
    TestNode* y = new TestNode("y", "TestNode", &log);
    y->addChild(new TestNode("z", "TestNode", &log));
    x->addChild(y);
    x->addChild(new TestNode("w", "TestNode", &log));
    log.clear();

    mid->addChild(x);
    const NotificationLog expected = {
        {"mid", "x"}, {"root", "x"}, {"mid", "y"}, {"root", "y"},
        {"mid", "z"}, {"root", "z"}, {"mid", "w"}, {"root", "w"},
    };
    EXPECT_EQ(log, expected);
}

TEST(RaidObjectTree, ChildByIndexOutOfRangeIsNull)
{
    TestNode parent("p");
    parent.addChild(new TestNode("a"));
    EXPECT_EQ(parent.getChild(-1), nullptr);
    EXPECT_EQ(parent.getChild(1), nullptr);
    ASSERT_NE(parent.getChild(0), nullptr);
    EXPECT_EQ(parent.getNumChildren(), 1u);
    parent.deleteAllChildren();
}

TEST(RaidObjectTree, AncestryAndRoot)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    TestNode* mid = new TestNode("mid");
    TestNode* leaf = new TestNode("leaf");
    root->addChild(mid);
    mid->addChild(leaf);
    TestNode stranger("stranger");

    EXPECT_EQ(leaf->getRoot(), root);
    EXPECT_EQ(root->getRoot(), root);
    EXPECT_TRUE(leaf->hasAncestor(root));
    EXPECT_TRUE(leaf->hasAncestor(mid));
    EXPECT_FALSE(leaf->hasAncestor(leaf));
    EXPECT_FALSE(leaf->hasAncestor(&stranger));
    EXPECT_TRUE(root->isAncestorOf(leaf));
    EXPECT_FALSE(leaf->isAncestorOf(root));
    EXPECT_FALSE(root->isAncestorOf(nullptr));
}

TEST(RaidObjectTree, DeleteChildFreesOnlyDirectChildrenWithTheirSubtrees)
{
    const unsigned int before = globalRaidObjectCounter;
    TestNode* root = new TestNode("root");
    TestNode* child = new TestNode("child");
    TestNode* grandChild = new TestNode("grand");
    root->addChild(child);
    child->addChild(grandChild);
    child->addChild(new TestNode("grand2"));
    EXPECT_EQ(globalRaidObjectCounter, before + 4);

    root->deleteChild(grandChild);
    TestNode foreign("foreign");
    root->deleteChild(&foreign);
    EXPECT_EQ(globalRaidObjectCounter, before + 5);
    EXPECT_EQ(child->getChildCount(), 2u);

    root->deleteChild(child);
    EXPECT_EQ(root->getChildCount(), 0u);
    EXPECT_EQ(globalRaidObjectCounter, before + 2);
    delete root;
}

TEST(RaidObjectTree, DestructorLeavesChildrenAndCopiesShareThem)
{
    const unsigned int before = globalRaidObjectCounter;
    TestNode* parent = new TestNode("p");
    TestNode* child = new TestNode("c");
    parent->addChild(child);
    {
        RaidObject copy(*parent);
        EXPECT_EQ(copy.getChildCount(), 1u);
        EXPECT_EQ(copy.getChild(0), child);
        EXPECT_EQ(copy.getParent(), parent->getParent());
        EXPECT_EQ(globalRaidObjectCounter, before + 3);
    }
    EXPECT_EQ(globalRaidObjectCounter, before + 2);
    delete parent;
    EXPECT_EQ(globalRaidObjectCounter, before + 1);
    EXPECT_EQ(child->getParent(), parent);
    delete child;
    EXPECT_EQ(globalRaidObjectCounter, before);
}

TEST(RaidObjectTree, AssignmentTakesOnlyTheChildList)
{
    TestNode a("a");
    TestNode b("b");
    b.setAdapterID(4);
    TestNode* child = new TestNode("c");
    b.addChild(child);
    a = b;
    EXPECT_EQ(a.getChild(0), child);
    EXPECT_EQ(a.getAdapterID(), U);
    EXPECT_NE(a, b);
    b.deleteAllChildren();
}

TEST(RaidObjectTree, AttachmentIsOwnedAndReplaced)
{
    bool firstGone = false;
    bool secondGone = false;
    {
        TestNode node("n");
        node.attach(new TestAttachment(&firstGone));
        node.attach(new TestAttachment(&secondGone));
        EXPECT_TRUE(firstGone);
        EXPECT_FALSE(secondGone);
        ASSERT_NE(node.getAttachment(), nullptr);
        EXPECT_TRUE(node.getAttachment()->isInstanceOf("Serializable"));
    }
    EXPECT_TRUE(secondGone);
}

TEST(RaidObjectTree, ClassIdentityByName)
{
    TestNode node("n", "Channel");
    EXPECT_TRUE(node.isInstanceOf("Channel"));
    EXPECT_TRUE(node.isInstanceOf("RaidObject"));
    EXPECT_TRUE(node.isInstanceOf("Serializable"));
    EXPECT_FALSE(node.isInstanceOf("raidobject"));
    EXPECT_FALSE(node.isInstanceOf("System"));
    RaidObject plain;
    EXPECT_STREQ(plain.typeName(), "RaidObject");
    EXPECT_STREQ(plain.serializedName(), "RaidObject");
}

TEST(RaidObjectLookup, ChildSearchComparesDirectChildrenFirstAndNeverTheNodeItself)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    root->setAdapterID(1);
    TestNode* first = new TestNode("first");
    TestNode* deep = new TestNode("deep");
    TestNode* second = new TestNode("second");
    deep->setAdapterID(1);
    second->setAdapterID(1);
    root->addChild(first);
    first->addChild(deep);
    root->addChild(second);

    const Addr one(1);
    EXPECT_EQ(root->getChild(one, true), second);
    EXPECT_EQ(first->getChild(one, true), deep);
    EXPECT_EQ(first->getChild(one, false), deep);
    EXPECT_EQ(deep->getChild(one, true), nullptr);
    EXPECT_EQ(root->getChild(Addr(2), true), nullptr);

    // No node below the root carries the root's own address twice.
    second->setAdapterID(3);
    deep->setAdapterID(3);
    EXPECT_EQ(root->getChild(one, true), nullptr);
    EXPECT_EQ(root->getChild(Addr(3), false), second);
}

TEST(RaidObjectLookup, Addr2SearchComparesTheLibraryTypeAndAddrSearchDoesNot)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    TestNode* node = new TestNode("n");
    node->setAdapterID(0);
    node->setStorLibType(STORLIB_TYPE_VYN);
    root->addChild(node);

    const Addr2 sameType(STORLIB_TYPE_VYN, 0, U, U, U, U, UC, U, U);
    const Addr2 otherType(static_cast<EnumStorLibType>(5), 0, U, U, U, U, UC, U, U);
    EXPECT_EQ(root->getChild(sameType, true), node);
    EXPECT_EQ(root->getChild(otherType, true), nullptr);
    EXPECT_EQ(root->getChild(static_cast<const Addr&>(otherType), true), node);
    EXPECT_EQ(root->getObject(otherType), nullptr);
    EXPECT_EQ(root->getObject(static_cast<const Addr&>(otherType)), node);
}

TEST(RaidObjectLookup, LogicalDriveAddressSearchesTheWholeTreeOtherAddressesOnlyTheSubtree)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    TestNode* adapter0 = new TestNode("adapter0", "Adapter");
    TestNode* adapter1 = new TestNode("adapter1", "Adapter");
    adapter0->setAdapterID(0);
    adapter1->setAdapterID(1);
    root->addChild(adapter0);
    root->addChild(adapter1);

    TestNode* channel = new TestNode("channel", "Channel");
    channel->setAdapterID(0);
    channel->setChannelID(0);
    adapter0->addChild(channel);
    TestNode* drive = new TestNode("drive", "HardDrive");
    drive->setAdapterID(0);
    drive->setChannelID(0);
    drive->setDeviceID(2);
    channel->addChild(drive);

    // A spanned drive of controller 1 with a member drive one level deeper.
    TestNode* spanned = new TestNode("spanned", "LogicalDrive");
    spanned->setLogicalDriveID(5);
    adapter1->addChild(spanned);
    TestNode* member = new TestNode("member", "LogicalDrive");
    member->setLogicalDriveID(6);
    spanned->addChild(member);

    EXPECT_EQ(channel->getObject(Addr(1, U, 6, U, U, UC, U, U)), member);
    EXPECT_EQ(channel->getObject(Addr(1, U, 5, U, U, UC, U, U)), spanned);
    EXPECT_EQ(channel->getObject(Addr(0, U, 5, U, U, UC, U, U)), nullptr);
    EXPECT_EQ(channel->getObject(0, U, U, 0, 2), drive);
    EXPECT_EQ(channel->getObject(0, U, U, 0, U), channel);
    EXPECT_EQ(drive->getObject(Addr(0)), nullptr);
    EXPECT_EQ(root->getObject(Addr(0)), adapter0);
}

TEST(RaidObjectLookup, CollectingChildren)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    TestNode* a = new TestNode("a", "Channel");
    TestNode* b = new TestNode("b", "LogicalDrive");
    root->addChild(a);
    root->addChild(b);
    a->addChild(new TestNode("a1", "LogicalDrive"));
    a->addChild(new TestNode("a2", "HardDrive"));

    std::vector<RaidObject*> out{a};
    root->getChildren(out, false, true);
    EXPECT_EQ(names(out), (std::vector<std::string>{"a", "b"}));

    out = {a};
    root->getChildren(out, false, false);
    EXPECT_EQ(names(out), (std::vector<std::string>{"a", "a", "b"}));

    out.clear();
    root->getChildren(out, true, false);
    EXPECT_EQ(names(out), (std::vector<std::string>{"a", "a1", "a2", "b"}));

    out.clear();
    root->getChildren(out, "LogicalDrive", true, true);
    EXPECT_EQ(names(out), (std::vector<std::string>{"a1", "b"}));

    out.clear();
    root->getChildren(out, "LogicalDrive", false, true);
    EXPECT_EQ(names(out), (std::vector<std::string>{"b"}));
}

TEST(RaidObjectLookup, SASPhysAreCollectedFromEveryLevelDepthFirst)
{
    TestNode* root = new TestNode("root");
    TreeOwner owner{root};
    TestNode* device = new TestNode("device", "HardDrive");
    SASPhy* devicePhy = new SASPhy;
    SASPhy* rootPhy = new SASPhy;
    SASPhy* slotPhy = new SASPhy;
    TestNode* slot = new TestNode("slot", "SESArrayDevice");
    root->addChild(device);
    device->addChild(devicePhy);
    root->addChild(rootPhy);
    root->addChild(slot);
    slot->addChild(slotPhy);

    EXPECT_EQ(root->getSASPhys(), (std::vector<SASPhy*>{devicePhy, rootPhy, slotPhy}));
    EXPECT_EQ(slot->getSASPhys(), (std::vector<SASPhy*>{slotPhy}));
    EXPECT_TRUE(devicePhy->getSASPhys().empty());
}

TEST(RaidObjectXml, BareNodeWritesTypeNameAndNoAttachment)
{
    RaidObject node;
    RecordingWriter full;
    node.writeTo(&full);
    EXPECT_EQ(full.items, (std::vector<std::string>{"string typeName=RaidObject",
                                                    "string attachmentType=none"}));
    RecordingWriter user;
    node.writeToXML(&user);
    EXPECT_EQ(user.items, (std::vector<std::string>{"string typeName=RaidObject"}));

    char* text = nullptr;
    XMLWriter xml(&text);
    xml.writeObject(&node);
    EXPECT_STREQ(text, "<RaidObject typeName=\"RaidObject\" attachmentType=\"none\"/>");
}

TEST(RaidObjectXml, BaseAttributesInOrderOnlyWhenSet)
{
    TestNode node("n", "Chunk");
    node.attach(new TestAttachment);
    node.setStorLibType(STORLIB_TYPE_VYN);
    node.setAdapterID(1);
    node.setLogicalDriveID(3);
    node.setChannelID(0);
    node.setDeviceID(4);
    node.setChunkID(0x100000000ull);
    node.setSASPhyID(7);

    RecordingWriter full;
    node.writeTo(&full);
    EXPECT_EQ(full.items,
              (std::vector<std::string>{"string typeName=Chunk", "string attachmentType=TestAttachment",
                                        "int extra=7", "int storlibType=9", "ulong controllerID=1",
                                        "ulong logicalDriveID=3", "ulong channelID=0",
                                        "ulong deviceID=4", "block chunkID=4294967296",
                                        "ulong phyID=7"}));

    RecordingWriter user;
    node.writeToXML(&user);
    EXPECT_EQ(user.items,
              (std::vector<std::string>{"string typeName=Chunk", "int storlibType=9",
                                        "ulong controllerID=1", "ulong logicalDriveID=3",
                                        "ulong channelID=0", "ulong deviceID=4",
                                        "block chunkID=4294967296", "ulong phyID=7"}));
}

TEST(RaidObjectXml, BaseAttributesReadBackWholeIncludingChunkIdsBeyond32Bits)
{
    RaidObject node;
    XmlAttributeList_C& attributes = node.getAttributes();
    attributes.Append("typeName", "Chunk");
    attributes.Append("storlibType", "9");
    attributes.Append("arrayID", "2");
    attributes.Append("chunkID", "4294967296");
    attributes.Append("itemID", "11");
    node.setDeviceID(8);
    node.initBaseAttributes();

    EXPECT_EQ(node.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(node.getArrayID(), 2u);
    EXPECT_EQ(node.getChunkID(), 0x100000000ull);
    EXPECT_EQ(node.getItemID(), 11u);
    EXPECT_EQ(node.getDeviceID(), 8u);
    EXPECT_EQ(node.getAdapterID(), U);
    EXPECT_EQ(node.getSASPhyID(), U);
}

TEST(RaidObjectXml, ChunkIdBeyond32BitsSurvivesWritingAndParsing)
{
    TestNode written("n", "Chunk");
    written.setAdapterID(0);
    written.setChunkID(0x100000000ull);
    char* text = nullptr;
    XMLWriter xml(&text);
    xml.writeObject(&written);
    std::string copy(text);

    SimpleXmlParser parser(&copy[0], copy.size());
    RaidObject read;
    while (parser.parseNext()) {
        if (parser.getName() != nullptr) {
            read.getAttributes().Append(parser.getName(), parser.getValue());
        }
    }
    read.initBaseAttributes();
    EXPECT_EQ(read.getChunkID(), 0x100000000ull) << copy;
    EXPECT_EQ(read.getAdapterID(), 0u);
}

TEST(RaidObjectXml, CopyStartsWithoutAttributesOrAddress)
{
    TestNode node("n");
    node.setAdapterID(2);
    node.getAttributes().Append("controllerID", "2");
    node.attach(new TestAttachment);
    RaidObject copy(node);
    EXPECT_EQ(copy.getAttributes().NumEntries(), 0u);
    EXPECT_EQ(copy.getAttachment(), nullptr);
    EXPECT_EQ(copy.getAdapterID(), U);
}

namespace {

// Reads a "Node" element into `node`; with `takeNested`, nested "Node"
// elements become children read the same way, otherwise they are ignored.
void readNode(RaidObject& node, SimpleXmlParser& parser, bool takeNested)
{
    readXmlElement(node, parser, "Node", [&node, takeNested](SimpleXmlParser& p) {
        if (takeNested && p.tagIs("Node")) {
            RaidObject* child = new RaidObject;
            readNode(*child, p, true);
            node.addChild(child);
        }
    });
}

// "a=1 b=2(child;child)": the attributes a node collected, then its children.
std::string describe(const RaidObject& node)
{
    std::string text;
    const XmlAttributeList_C& attributes = node.getAttributes();
    for (unsigned long i = 0; i < attributes.NumEntries(); ++i) {
        text += (i == 0 ? "" : " ") + std::string(attributes.GetName(i)) + "=" + attributes.GetValue(i);
    }
    if (node.getChildCount() != 0) {
        text += "(";
        for (unsigned long i = 0; i < node.getChildCount(); ++i) {
            text += (i == 0 ? "" : ";") + describe(*node.getChild(static_cast<int>(i)));
        }
        text += ")";
    }
    return text;
}

}  // namespace

// A nested element of the element's own name is a child: its attributes never
// reach the parent and its end does not end the parent, whether a builder
// takes it or not.
TEST(RaidObjectBuild, NestedElementOfTheSameNameIsAChildNeverPartOfTheParent)
{
    struct Case {
        const char* xml;
        int skipItems;  // items the caller consumed before handing over
        bool takeNested;
        const char* expected;
    };
    const char* const nested =
        "<Node id=\"1\"><Node id=\"2\" x=\"y\"/><Other a=\"b\"/>"
        "<Node id=\"3\"><Node id=\"4\"></Node><Node/></Node></Node><After/>";
    const Case cases[] = {
        {nested, 0, false, "id=1"},
        {nested, 0, true, "id=1(id=2 x=y;id=3(id=4;))"},
        {"<Node a=\"0\" id=\"1\"><Node id=\"2\"/></Node><After/>", 1, false, "id=1"},
        {"<Node a=\"0\" id=\"1\"><Node id=\"2\"/></Node><After/>", 1, true, "id=1(id=2)"},
        {"<Node><Node><Node id=\"3\"/></Node></Node><After/>", 0, false, ""},
    };
    for (const Case& c : cases) {
        std::string text(c.xml);
        SimpleXmlParser parser(&text[0], text.size());
        for (int i = 0; i <= c.skipItems; ++i) {
            ASSERT_TRUE(parser.parseNext()) << c.xml;
        }
        RaidObject node;
        readNode(node, parser, c.takeNested);
        EXPECT_EQ(describe(node), c.expected) << c.xml;
        EXPECT_TRUE(parser.tagIs("Node") && parser.foundEndTag()) << c.xml;
        ASSERT_TRUE(parser.parseNext()) << c.xml;
        EXPECT_TRUE(parser.tagIs("After")) << c.xml;
        node.deleteAllChildren();
    }
}

TEST(RaidObjectBuild, MemberDrivesOfASpannedDriveKeepTheirOwnAttributes)
{
    std::string text =
        "<LogicalDrive logicalDriveID=\"5\" raidLevel=\"13\">"
        "<LogicalDrive logicalDriveID=\"6\" raidLevel=\"1\"/>"
        "<LogicalDrive logicalDriveID=\"7\" raidLevel=\"5\"></LogicalDrive>"
        "</LogicalDrive><After/>";
    SimpleXmlParser parser(&text[0], text.size());
    ASSERT_TRUE(parser.parseNext());
    BasicLogicalDrive spanned(nullptr, parser);
    EXPECT_EQ(spanned.getLogicalDriveID(), 5u);
    EXPECT_EQ(spanned.getRaidLevel(), static_cast<EnumRaidLevel>(13));
    EXPECT_EQ(spanned.getAttributes().NumEntries(), 2u);
    ASSERT_EQ(spanned.getChildCount(), 2u);
    const std::vector<LogicalDrive*> members = spanned.getSecondLevelLogicalVector();
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0]->getLogicalDriveID(), 6u);
    EXPECT_EQ(members[0]->getRaidLevel(), static_cast<EnumRaidLevel>(1));
    EXPECT_EQ(members[1]->getLogicalDriveID(), 7u);
    EXPECT_EQ(members[1]->getRaidLevel(), static_cast<EnumRaidLevel>(5));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_TRUE(parser.tagIs("After"));
    spanned.deleteAllChildren();
}
