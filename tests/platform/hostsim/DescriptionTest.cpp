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

// Descriptions whose lines are each well formed but that no controller could
// report: refused with the line of the object that breaks the rule (the later
// of two that collide).
TEST_F(DescriptionTest, WhatNoControllerCouldReportIsRefusedWithItsLine)
{
    const char* const kTwo = "[adapter0]\ndrive0 = 0:0 sas 1G\ndrive1 = 0:1 sas 1G\n";
    const char* const kFour = "[adapter0]\ndrive0 = 0:0 sas 1G\ndrive1 = 0:1 sas 1G\ndrive2 = 0:2 sas 1G\n"
                              "drive3 = 0:3 sas 1G\n";
    struct Case {
        std::string text;
        int badLine;       // 0: accepted
        const char* what;  // part of the message
    };
    const Case cases[] = {
        // two devices at one address
        {"[adapter0]\ndrive0 = 0:0 sas 1G\ndrive1 = 0:0 sas 2G\n", 3, "'drive1' is at the address of 'drive0'"},
        {"[adapter0]\ndrive5 = 0:1:0 sas 1G\n\ndrive2 = 0:1 sas 1G\n", 4, "'drive2' is at the address of 'drive5'"},
        {"[adapter0]\nencl0 = ses2 0:8\ndrive0 = 0:8 sas 1G\n", 3, "'drive0' is at the address of 'encl0'"},
        {"base = default\n[adapter0]\ndrive9 = 0:8 sas 1G\n", 3, "'drive9' is at the address of 'encl0'"},
        {"[adapter0]\ndrive0 = 0:0 sas 1G\n[adapter1]\ndrive0 = 0:0 sas 1G\n", 0, ""},
        {"[adapter0]\ndrive0 = 0:0 sas 1G\ndrive1 = 0:0:1 sas 1G\n", 0, ""},
        // containers over drives not described, or named twice
        {std::string(kTwo) + "ld0 = raid1 0:0,0:5\n", 4, "member '0:5' is no drive of the description"},
        {"[adapter0]\nencl0 = ses2 0:8\ndrive0 = 0:0 sas 1G\nld0 = raid1 0:0,0:8\n", 4,
         "member '0:8' is no drive"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:0\n", 4, "member '0:0' is named twice"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1:0\n", 0, ""},
        {std::string(kTwo) + "ld0 = raid1 0:0,zero\n", 4, "member 'zero' is no address"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = volume ld0,ld0\n", 5, "member 'ld0' is named twice"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = volume ld0,ld3\n", 5, "member 'ld3' is no other container"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = raid5 ld0\n", 5, "only volume and raid0"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = volume ld0\n", 0, ""},
        {std::string(kTwo) + "ld0 = raid7 0:0,0:1\n", 4, "'raid7' of 'ld0' is no container level"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = snapshot 0\n", 0, ""},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1\nld1 = snapshot zero\n", 5, "'ld1' is a snapshot of 'zero'"},
        {std::string(kTwo) + "ld0 = raid1\n", 4, "'ld0' needs <level> <members>"},
        // legs of 0, beyond the members, or members left over
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2,0:3 legs=0\n", 6, "do not form 0 legs"},
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2,0:3 legs=5\n", 6, "has legs=5 over 4 members"},
        {std::string(kFour) + "ld0 = raid50 0:0,0:1,0:2,0:3 legs=3\n", 6, "the 4 members of 'ld0' do not form 3 legs"},
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2\n", 6, "the 3 members of 'ld0' do not form 2 legs"},
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2,0:3 legs=-1\n", 6, "has legs=-1"},
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2,0:3\n", 0, ""},
        {std::string(kFour) + "ld0 = raid10 0:0,0:1,0:2,0:3 legs=2\n", 0, ""},
        // bus target counts
        {"[adapter0]\nbus0 = sas -1\n", 2, "the target count '-1' of 'bus0' is not 0 to 256"},
        {"[adapter0]\nbus0 = sas 4294967296\n", 2, "the target count '4294967296'"},
        {"[adapter0]\nbus0 = sas 257\n", 2, "the target count '257'"},
        {"[adapter0]\nbus0 = sas 256\nbus1 = sata\n", 0, ""},
        // drives of no size, or none given
        {"[adapter0]\ndrive0 = 0:0 sas 0G\n", 2, "'drive0' has no blocks (size '0G')"},
        {"[adapter0]\ndrive0 = 0:0 sas 0.0001s\n", 2, "'drive0' has no blocks"},
        {"[adapter0]\ndrive0 = 0:0 sas 146\n", 2, "the size '146' of 'drive0' is not a size"},
        {"[adapter0]\ndrive0 = 0:0 sas\n", 2, "'drive0' needs <bus:target[:lun]> <kind> <size>"},
        {"[adapter0]\ndrive0 = 0:-1 sas 1G\n", 2, "'drive0' needs"},
        {"[adapter0]\ndrive0 = 0:256 sas 1G\n", 2, "'drive0' needs"},
        {"[adapter0]\ndrive0 = 0:0 sas 1.5G\ndrive1 = 0:1 sas 2048s\n", 0, ""},
        // a tape or optical drive may hold no medium
        {"[adapter0]\ndrive0 = 0:0 tape\ndrive1 = 0:1 cdrom 0M\ndrive2 = 0:2 other 0\n", 0, ""},
        {"[adapter0]\ndrive0 = 0:0 sas 0\n", 2, "'drive0' has no blocks (size '0')"},
        {"[adapter0]\ndrive0 = 0:0 tape many\n", 2, "the size 'many' of 'drive0' is not a size"},
        // a quote left open in an object line
        {"[adapter0]\ndrive0 = 0:0 sas 1G vendor=\"ACME\n", 2, "a quote in 'adapter0.drive0' is not closed"},
        {std::string(kTwo) + "ld0 = raid1 0:0,0:1 name=\"My data\n", 4, "a quote in 'adapter0.ld0'"},
        {"[adapter0]\ndrive0 = 0:0 sas 1G vendor=\"ACME CO\"\n", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Simulator s(c.text, "case.conf");
        if (c.badLine == 0) {
            EXPECT_TRUE(s.ok()) << s.message();
            continue;
        }
        EXPECT_FALSE(s.ok());
        EXPECT_EQ(s.controllerCount(), 0u);
        EXPECT_EQ(s.message().rfind("case.conf:" + std::to_string(c.badLine) + ": ", 0), 0u) << s.message();
        EXPECT_NE(s.message().find(c.what), std::string::npos) << s.message();
    }
    // Over the built-in description, a fault is named by the text's own line.
    Simulator s("base = default\n[adapter0]\nld1 = raid1 0:4,0:4\n", "case.conf");
    EXPECT_EQ(s.message().rfind("case.conf:3: ", 0), 0u) << s.message();
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
    // A directory opens, and reads as nothing: no description either.
    auto dir = Simulator::fromFile(root());
    EXPECT_FALSE(dir->ok());
    EXPECT_EQ(dir->controllerCount(), 0u);
    EXPECT_EQ(dir->message(), root() + ": cannot read the description");
}

}  // namespace
