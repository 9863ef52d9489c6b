#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/RaidObject.h"

namespace {

// A node with a chosen element name that writes one attribute in the full
// form and another in the user-configuration form, so that the walk can be
// told apart from the base class's attributes.
class NamedNode : public RaidObject {
public:
    NamedNode(std::string element, std::string id) : element_(std::move(element)), id_(std::move(id)) {}

    const char* serializedName() const override { return element_.c_str(); }
    void writeTo(Writer* w) const override { w->writeString("id", id_.c_str()); }
    void writeToXML(Writer* w) const override { w->writeString("user", id_.c_str()); }

private:
    std::string element_;
    std::string id_;
};

std::string treeOf(const RaidObject& root, bool userConfig = false)
{
    char* text = new char[1];
    text[0] = '\0';
    XMLWriter writer(&text);
    if (userConfig)
        writer.writeUserConfigTree(&root);
    else
        static_cast<Writer&>(writer).writeTree(root);
    return std::string(text);
}

TEST(XMLWriterTreeTest, ParentWithOneLeafGivesThreeLines)
{
    NamedNode parent("Parent", "p");
    NamedNode leaf("Leaf", "l");
    parent.addChild(&leaf);
    EXPECT_EQ(treeOf(parent), "<Parent id=\"p\">\n"
                              "    <Leaf id=\"l\"/>\n"
                              "</Parent>\n");
    EXPECT_EQ(treeOf(leaf), "<Leaf id=\"l\"/>\n");
}

TEST(XMLWriterTreeTest, ChildrenInOrderAndLeafAtDepthTwoIndentedEight)
{
    NamedNode root("System", "s");
    NamedNode controller("Controller", "c");
    NamedNode channel("Channel", "ch");
    NamedNode drive("HardDrive", "d");
    NamedNode logical("LogicalDrive", "ld");
    root.addChild(&controller);
    controller.addChild(&channel);
    channel.addChild(&drive);
    controller.addChild(&logical);
    EXPECT_EQ(treeOf(root), "<System id=\"s\">\n"
                            "    <Controller id=\"c\">\n"
                            "        <Channel id=\"ch\">\n"
                            "            <HardDrive id=\"d\"/>\n"
                            "        </Channel>\n"
                            "        <LogicalDrive id=\"ld\"/>\n"
                            "    </Controller>\n"
                            "</System>\n");
}

TEST(XMLWriterTreeTest, DeepIndentationIsCappedAt62AndEndTagsAt61)
{
    const int depth = 18;
    std::vector<std::unique_ptr<NamedNode>> chain;
    for (int i = 0; i < depth; ++i) {
        chain.emplace_back(new NamedNode("N", std::to_string(i)));
        if (i > 0)
            chain[static_cast<size_t>(i - 1)]->addChild(chain.back().get());
    }
    std::string expected;
    for (int i = 0; i < depth; ++i) {
        expected += std::string(static_cast<size_t>(std::min(4 * i, 62)), ' ') + "<N id=\"" + std::to_string(i) + "\"";
        expected += i + 1 < depth ? ">\n" : "/>\n";
    }
    for (int i = depth - 2; i >= 0; --i)
        expected += std::string(static_cast<size_t>(std::min(4 * i, 61)), ' ') + "</N>\n";
    EXPECT_EQ(treeOf(*chain.front()), expected);
}

TEST(XMLWriterTreeTest, UserConfigTreeSkipsDiscoveredOnlySubtreesAndUsesWriteToXML)
{
    NamedNode root("System", "s");
    NamedNode controller("Controller", "c");
    NamedNode phy("SASPhy", "phy");
    NamedNode connector("SASConnector", "con");
    NamedNode enclosure("SESEnclosureDevice", "ses");
    NamedNode element("SESElement", "el");
    NamedNode drive("HardDrive", "d");
    root.addChild(&controller);
    controller.addChild(&phy);
    controller.addChild(&enclosure);
    enclosure.addChild(&element);
    controller.addChild(&drive);
    root.addChild(&connector);
    EXPECT_EQ(treeOf(root, true), "<System user=\"s\">\n"
                                  "    <Controller user=\"c\">\n"
                                  "        <HardDrive user=\"d\"/>\n"
                                  "    </Controller>\n"
                                  "</System>\n");

    // A parent whose children are all skipped still opens and closes.
    NamedNode lonely("Connector", "x");
    NamedNode onlyPhy("SASPhy", "y");
    lonely.addChild(&onlyPhy);
    EXPECT_EQ(treeOf(lonely, true), "<Connector user=\"x\">\n</Connector>\n");
    EXPECT_EQ(treeOf(phy, true), "");
}

TEST(XMLWriterTreeTest, WriteObjectIsOneElementWithoutNewline)
{
    NamedNode parent("Parent", "p");
    NamedNode leaf("Leaf", "l");
    parent.addChild(&leaf);
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeObject(parent);
    writer.writeObject(&leaf);
    EXPECT_EQ(std::string(text), "<Parent id=\"p\"/><Leaf id=\"l\"/>");
}

// The state of a writer each time an element has been opened: text length,
// buffer size, and whether the published address moved since the last look.
struct Snapshot {
    unsigned long length;
    unsigned long size;
    bool moved;
    bool operator==(const Snapshot& o) const { return length == o.length && size == o.size && moved == o.moved; }
};

struct SnapshotLog {
    XMLWriter* writer = nullptr;
    char** text = nullptr;
    const char* last = nullptr;
    std::vector<Snapshot> snapshots;
    void take()
    {
        snapshots.push_back({writer->getStrSize(), writer->getBuffSize(), *text != last});
        last = *text;
    }
};

// A node that looks at the writer before it writes its one attribute.
class LoggingNode : public RaidObject {
public:
    LoggingNode(std::string element, std::string id, SnapshotLog& log)
        : element_(std::move(element)), id_(std::move(id)), log_(log)
    {
    }
    const char* serializedName() const override { return element_.c_str(); }
    void writeTo(Writer* w) const override
    {
        log_.take();
        w->writeString("id", id_.c_str());
    }
    const std::string& id() const { return id_; }

private:
    std::string element_;
    std::string id_;
    SnapshotLog& log_;
};

// The growth rule of the text, for pieces appended one at a time: the first
// block max(needed, 512), then doubling up to 64 KiB and 64 KiB steps past
// it, where needed is the text, the piece, its terminator and a spare byte.
struct GrowthModel {
    std::string text;
    unsigned long size = 0;
    bool moved = false;
    std::vector<Snapshot> snapshots;
    void append(const std::string& piece)
    {
        const unsigned long needed = text.size() + piece.size() + 2;
        if (size == 0) {
            size = needed > 512 ? needed : 512;
            moved = true;
        }
        if (size <= needed) {
            while (size < needed)
                size = size <= 65535 ? size * 2 : size + 65536;
            moved = true;
        }
        text += piece;
    }
    void take()
    {
        snapshots.push_back({text.size(), size, moved});
        moved = false;
    }
};

// The tree written one piece at a time, as the writer always wrote it:
// blanks, '<', name, the attribute's five pieces, the element's end.
void writePieces(GrowthModel& m, const LoggingNode& node, unsigned int indent)
{
    m.append(std::string(indent < 62 ? indent : 62, ' '));
    m.append("<");
    m.append(node.serializedName());
    m.take();
    for (const std::string& piece : {std::string(" "), std::string("id"), std::string("=\""), node.id(), std::string("\"")})
        m.append(piece);
    if (node.getChildCount() == 0) {
        m.append("/>\n");
        return;
    }
    m.append(">\n");
    for (const RaidObject* child : node.getChildren())
        writePieces(m, *static_cast<const LoggingNode*>(child), indent + 4);
    m.append(std::string(indent < 61 ? indent : 61, ' '));
    m.append("</");
    m.append(node.serializedName());
    m.append(">\n");
}

TEST(XMLWriterTreeTest, ElementsGrowTheBufferWhereTheirPiecesWould)
{
    SnapshotLog log;
    // Long chains (past the indentation clamps) of nodes with names and ids
    // of many lengths, enough of them to pass 64 KiB.
    std::vector<std::unique_ptr<LoggingNode>> nodes;
    nodes.emplace_back(new LoggingNode("Root", "r", log));
    LoggingNode* root = nodes.back().get();
    for (unsigned int chain = 0; chain < 60; ++chain) {
        LoggingNode* parent = root;
        for (unsigned int depth = 0; depth < 20; ++depth) {
            const unsigned int k = chain * 20 + depth;
            nodes.emplace_back(new LoggingNode(std::string(1 + k % 23, 'E'), std::string(k % 31, 'v'), log));
            parent->addChild(nodes.back().get());
            if (k % 3 != 0)
                parent = nodes.back().get();
        }
    }

    char* text = nullptr;
    XMLWriter writer(&text);
    log.writer = &writer;
    log.text = &text;
    writer.writeTree(root);
    GrowthModel model;
    writePieces(model, *root, 0);

    ASSERT_GT(writer.getStrSize(), 65536u);
    EXPECT_EQ(std::string(text), model.text);
    EXPECT_EQ(writer.getBuffSize(), model.size);
    ASSERT_EQ(log.snapshots.size(), model.snapshots.size());
    for (std::size_t i = 0; i < log.snapshots.size(); ++i) {
        Snapshot expected = model.snapshots[i];
        // Past 64 KiB the block behind the text may be larger than its size.
        if (expected.size > 65536)
            expected.moved = log.snapshots[i].moved;
        ASSERT_TRUE(log.snapshots[i] == expected)
            << "element " << i << ": " << log.snapshots[i].length << "/" << log.snapshots[i].size << "/"
            << log.snapshots[i].moved << " against " << expected.length << "/" << expected.size << "/"
            << expected.moved;
    }
}

} // namespace
