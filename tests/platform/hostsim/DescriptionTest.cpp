#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/desc/Keys.h"
#include "platform/hostsim/support/SimulatorTest.h"

namespace {

using vyn::hostsim::Description;
using vyn::hostsim::Simulator;

struct LineCase {
    const char* text;
    bool good;
    int badLine;  // line the message names
};

class DescriptionTest : public vyntest::SimulatorTest {};

TEST_F(DescriptionTest, GoodAndBadLines)
{
    const LineCase cases[] = {
        {"adapters = 2\n", true, 0},
        {"# comment\n; comment\n\nadapters = 0x2\n", true, 0},
        {"[adapter0]\nfirmware_build = 2119\n", true, 0},
        {"adapter0.firmware_build = 2119\n", true, 0},
        {"[adapter0]\ntype_text = \"Quoted \\\"x\\\" \\\\ text\"\n", true, 0},
        {"[adapter1]\nfirmware = 5.3-1 21000\nserial = 0x1, 2\n", true, 0},
        {"[driver]\nsysfs = 0\nmajor = 251\n[hostsim]\npersist = 0\n", true, 0},
        {"base = default\n[adapter0]\npci_bus = 7\n", true, 0},
        // a fault that shapes one field of a partition record
        {"[adapter0.fault0]\non = partition 2\npoke = 100:4=3\ntimes = 0\n", true, 0},
        {"[adapter0.fault0]\non = partition two\npoke = 100:4=3\n", false, 2},
        // an unknown key, a bad value, a key given twice
        {"adapters = 1\nwhatever = 3\n", false, 2},
        {"[adapter0]\nbogus_key = 1\n", false, 2},
        {"[driver]\nsysfs = 2\n", false, 2},
        {"adapters = many\n", false, 1},
        {"[adapter0]\nfirmware = five\n", false, 2},
        {"[adapter0]\npci_bus = 0x100000000\n", false, 2},
        {"[adapter0]\ntype_text = \"unterminated\n", false, 2},
        {"base = other\n", false, 1},
        {"adapters = 1\n\nadapters = 2\n", false, 3},
        {"[adapter0]\npci_bus = 1\n[driver]\nmajor = 250\nadapter0.pci_bus = 2\n", false, 5},
        {"[Adapter0]\npci_bus = 1\n", false, 1},
        {"adapters\n", false, 1},
        // sizes that would make the simulator provision without end
        {"adapters = 65\n", false, 1},
        {"[driver]\nfirst_host = 4000000000\n", false, 2},
        {"adapter1000.pci_bus = 1\n", false, 1},
        {"adapters = 64\n[driver]\nfirst_host = 255\nmajor = 4095\n[hostsim]\npersist = 0\n", true, 0},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.text);
        Simulator s(c.text, "case.conf");
        EXPECT_EQ(s.ok(), c.good) << s.message();
        if (c.good) {
            EXPECT_TRUE(s.message().empty());
        } else {
            EXPECT_EQ(s.controllerCount(), 0u);
            EXPECT_EQ(s.message().rfind("case.conf:" + std::to_string(c.badLine) + ": ", 0), 0u) << s.message();
            EXPECT_EQ(s.message().find('\n'), std::string::npos);
        }
    }
}

TEST_F(DescriptionTest, SectionsAreDottedPrefixesAndDefaultsFillTheRest)
{
    Description d;
    std::string error;
    ASSERT_TRUE(d.parse("[adapter0]\nfirmware_build = 2119\n", "t", error)) << error;
    EXPECT_EQ(d.get("adapter0.firmware_build"), "2119");
    EXPECT_EQ(d.get("driver.major"), "250");
    EXPECT_EQ(d.get("adapter3.option_word1"), "0x000D0820");
}

TEST_F(DescriptionTest, TheBuiltInDescriptionParses)
{
    Description d;
    std::string error;
    ASSERT_TRUE(d.parse(vyn::hostsim::defaultDescriptionText(), "default", error)) << error;
    EXPECT_EQ(d.get("adapter0.drive3"), "0:3 sas 146G spare=global");
    Simulator s("base = default\n");
    EXPECT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(s.controllerCount(), 1u);
}

TEST_F(DescriptionTest, AFileThatCannotBeReadGivesNoControllers)
{
    auto s = Simulator::fromFile(root() + "/missing.conf");
    EXPECT_FALSE(s->ok());
    EXPECT_EQ(s->controllerCount(), 0u);
    EXPECT_NE(s->message().find("missing.conf"), std::string::npos);
}

}  // namespace
