// What the controller changes on its containers: mirror splits (CT 30, 31)
// and the settings of the one-command operations, kept in the state file.
#include "RawFibTest.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/state/Controller.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t W0 = 32;
using vyntest::word;

const char* kMirrors = "[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\n"
                       "drive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\ndrive5 = 0:5 sas 146G\n"
                       "ld0 = raid1 0:0,0:1 name=Mirror\nld1 = raid10 0:2,0:3,0:4,0:5\nld5 = raid0 0:0\n";

class ContainerStateTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> command(int fd, uint32_t code, uint32_t p0, uint32_t p1 = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + W0 + 8, p0);
        putLe32(fib.data() + W0 + 12, p1);
        if (!input.empty())
            std::memcpy(fib.data() + 64, input.data(), input.size());
        return send(fd, fib);
    }
};

TEST_F(ContainerStateTest, SplitsGiveTheSecondHalfOfEachPairToANewContainer)
{
    const int fd = openAdapter(std::string("hostsim.persist = 0\n") + kMirrors);
    ControllerState& c = sim().controller(0);
    const std::string mirror = c.objects.at("ld0");
    // Not a mirror, a number in use, a number beyond the controller's, an
    // unknown container: refused and nothing changes.
    EXPECT_EQ(word(command(fd, 30, 5, 7), 2), 2u);
    EXPECT_EQ(word(command(fd, 30, 0, 5), 2), 2u);
    EXPECT_EQ(word(command(fd, 30, 0, 64), 2), 2u);
    EXPECT_EQ(word(command(fd, 31, 0, 7), 2), 2u);
    EXPECT_EQ(word(command(fd, 30, 9, 7), 2), 194u);
    EXPECT_EQ(c.objects.at("ld0"), mirror);
    EXPECT_EQ(c.objects.count("ld7"), 0u);

    EXPECT_EQ(word(command(fd, 30, 0, 7), 2), 134u);
    EXPECT_EQ(c.objects.at("ld0").compare(0, 13, "volume 0:0 si"), 0) << c.objects.at("ld0");
    EXPECT_NE(c.objects.at("ld0").find("name=Mirror"), std::string::npos);
    EXPECT_EQ(c.objects.at("ld7").compare(0, 10, "volume 0:1"), 0) << c.objects.at("ld7");

    EXPECT_EQ(word(command(fd, 31, 1, 8), 2), 134u);
    EXPECT_EQ(c.objects.at("ld1").compare(0, 17, "raid0 0:2,0:4 siz"), 0) << c.objects.at("ld1");
    EXPECT_EQ(c.objects.at("ld8").compare(0, 13, "raid0 0:3,0:5"), 0) << c.objects.at("ld8");

    // Both halves keep the mirror's size.
    uint64_t blocks[9] = {};
    for (const LogDevView& l : configurationOf(c).logDevs)
        if (l.number < 9)
            blocks[l.number] = l.blocks;
    EXPECT_EQ(blocks[0], blocks[7]);
    EXPECT_EQ(blocks[1], blocks[8]);
    EXPECT_NE(blocks[1], 0u);
}

TEST_F(ContainerStateTest, LockedMirrorIsNotSplit)
{
    const int fd = openAdapter(std::string("hostsim.persist = 0\n") + kMirrors);
    EXPECT_EQ(word(command(fd, 50, 0), 2), 11u);
    EXPECT_EQ(word(command(fd, 30, 0, 7), 2), 3u);
    EXPECT_EQ(sim().controller(0).objects.count("ld7"), 0u);
}

TEST_F(ContainerStateTest, SettingsSurviveTheStateFile)
{
    Description desc;
    std::string error;
    ASSERT_TRUE(desc.parse(std::string("hostsim.persist = 0\n") + kMirrors, "test", error)) << error;
    ControllerState first = ControllerState::fromDescription(desc, 0);
    ControllerState::ContainerSettings& s = first.containerSettings[1];
    s.named = true;
    s.name = "A \"quoted\"\nname";
    s.userFlags = 0x8002;
    s.locked = true;
    s.readOnly = true;
    s.delay = 30;
    s.readCache = 3;
    s.writeCache = 1;
    s.buffered = 5;
    s.snapshotOf = 0;
    first.containerSettings[0].named = true;  // a label of no characters
    // A number no container can have (a request named it) is not kept, and
    // the file still reads.
    first.containerSettings[4096].named = true;
    Description again;
    ASSERT_TRUE(again.parse(first.toText(1), "state", error)) << error;
    const ControllerState second = ControllerState::fromDescription(again, 0);
    ASSERT_EQ(second.containerSettings.size(), 2u);
    const ControllerState::ContainerSettings& t = second.containerSettings.at(1);
    EXPECT_TRUE(t.named);
    EXPECT_EQ(t.name, s.name);
    EXPECT_EQ(t.userFlags, 0x8002u);
    EXPECT_TRUE(t.locked);
    EXPECT_TRUE(t.readOnly);
    EXPECT_EQ(t.delay, 30u);
    EXPECT_EQ(t.readCache, 3u);
    EXPECT_EQ(t.writeCache, 1u);
    EXPECT_EQ(t.buffered, 5u);
    EXPECT_EQ(t.snapshotOf, 0u);
    EXPECT_TRUE(second.containerSettings.at(0).named);
    EXPECT_EQ(second.containerSettings.at(0).name, "");
    EXPECT_EQ(second.containerSettings.at(0).snapshotOf, 0xFFFFFFFFu);
}

// A second simulator over the same root and description sees what the
// first one's commands changed: a label, a lock and a split.
TEST_F(ContainerStateTest, CommandsChangeTheSavedState)
{
    {
        const int fd = openAdapter(kMirrors);
        std::vector<uint8_t> label(16, 0);
        std::memcpy(label.data(), "Kept", 4);
        EXPECT_EQ(word(command(fd, 131, 0, 0, label), 2), 218u);
        EXPECT_EQ(word(command(fd, 50, 1), 2), 11u);
        EXPECT_EQ(word(command(fd, 30, 0, 7), 2), 134u);
        hostIo().close(fd);
    }
    startSimulator(kMirrors);
    const ControllerState& c = sim().controller(0);
    ASSERT_EQ(c.containerSettings.count(0), 1u);
    EXPECT_EQ(c.containerSettings.at(0).name, "Kept");
    EXPECT_TRUE(c.containerSettings.at(1).locked);
    EXPECT_EQ(c.objects.count("ld7"), 1u);
}

}  // namespace
