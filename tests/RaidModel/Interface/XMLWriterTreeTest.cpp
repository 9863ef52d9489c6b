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

} // namespace
