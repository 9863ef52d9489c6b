// Containers at work, checked byte for byte: forcing a container online, the
// morph and verify tasks and what a logical-drive creation asked for, as the
// logical-device record, the segment list and the task list show them.
#include "RawFibTest.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/state/Controller.h"

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kData = 64;  // reply data from byte 64
constexpr uint32_t kHandle0 = 0x00100000;
constexpr uint32_t kUid0 = 0x5A000000;

uint64_t getLe64(const uint8_t* p) { return uint64_t{getLe32(p + 4)} << 32 | getLe32(p); }
void putLe64(uint8_t* p, uint64_t v)
{
    putLe32(p, static_cast<uint32_t>(v));
    putLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

const char* kContainers = "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\n"
                          "drive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\n"
                          "drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
                          "ld0 = raid1 0:0,0:1 state=failed\nld2 = raid0 0:2,0:3\n";

class ContainerActivityTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> command(int fd, uint32_t code, uint32_t p0, uint32_t p1 = 0, uint32_t capacity = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        vyntest::setWord(fib, 2, p0);
        vyntest::setWord(fib, 3, p1);
        vyntest::setWord(fib, 7, capacity);
        if (!input.empty()) {
            std::memcpy(fib.data() + kData, input.data(), input.size());
            putLe16(fib.data() + 8, static_cast<uint16_t>(32 + input.size() < 464 ? 464 : 32 + input.size()));
        }
        fib = send(fd, fib);
        EXPECT_EQ(vyntest::word(fib, 0), 0u) << code;
        EXPECT_EQ(vyntest::word(fib, 1), code);
        return fib;
    }
    // The 432-byte logical-device record of container `number`.
    std::vector<uint8_t> record(int fd, uint32_t number)
    {
        const std::vector<uint8_t> fib = command(fd, 234, kHandle0 + number, 1, 432);
        return std::vector<uint8_t>(fib.begin() + kData, fib.begin() + kData + 432);
    }
    // Force online: words 2, 224, number, unique id, mode, flags, list age.
    uint32_t forceOnline(int fd, uint32_t number, uint32_t uid, uint32_t flags, uint32_t age)
    {
        std::vector<uint8_t> fib = request(2, 224);
        const uint32_t words[] = {number, uid, 1, flags, age};
        for (size_t i = 0; i < 5; ++i)
            vyntest::setWord(fib, 2 + i, words[i]);
        fib = send(fd, fib);
        EXPECT_EQ(vyntest::word(fib, 0), 0u);
        EXPECT_EQ(vyntest::word(fib, 1), 224u);
        return vyntest::word(fib, 2);
    }
    uint32_t listAge(int fd) { return getLe32(command(fd, 229, 1, 0, 64).data() + kData); }
    // Jobs of the running tasks (FIB 700 request 100): {job, object} pairs.
    std::vector<std::pair<uint32_t, uint32_t>> jobs(int fd)
    {
        std::vector<uint8_t> fib(512, 0);
        putLe16(fib.data() + 4, 700);
        putLe16(fib.data() + 10, 512);
        vyntest::setWord(fib, 0, 100);
        fib = send(fd, fib);
        std::vector<std::pair<uint32_t, uint32_t>> out;
        const unsigned n = (getLe16(fib.data() + 8) - 40) / 16;
        for (unsigned i = 0; i < n; ++i)
            out.push_back({vyntest::word(fib, 2 + 4 * i + 1), vyntest::word(fib, 2 + 4 * i + 2)});
        return out;
    }
};

TEST_F(ContainerActivityTest, ForceOnlineAnswersFromTheContainer)
{
    const int fd = openAdapter(kContainers);
    const uint32_t age = listAge(fd);
    EXPECT_EQ(forceOnline(fd, 5, kUid0 + 5, 0, age), 393u);  // no such container
    EXPECT_EQ(forceOnline(fd, 0, kUid0 + 2, 0, age), 394u);  // another's unique id
    EXPECT_EQ(forceOnline(fd, 0, kUid0, 0, age + 1), 390u);  // lists read before a change
    EXPECT_EQ(forceOnline(fd, 2, kUid0 + 2, 0, age), 395u);  // on line already
    // The logical-device handle names the container as well: the identifier
    // word of the records of the newer configuration interface.
    EXPECT_EQ(forceOnline(fd, 2, kHandle0 + 2, 0, age), 395u);
    EXPECT_EQ(forceOnline(fd, 2, kHandle0, 0, age), 394u);  // another's handle
    EXPECT_EQ(forceOnline(fd, 0, kUid0, 0x15, age), 287u);
    EXPECT_EQ(getLe32(record(fd, 0).data() + 108), 0x15u);
    // The change moved the lists on; forced again it is on line.
    EXPECT_NE(listAge(fd), age);
    EXPECT_EQ(forceOnline(fd, 0, kUid0, 0, listAge(fd)), 395u);
    // The container came back on line: with no channel open, its change
    // notification (4, container 0) waits, once; the refusals told nothing.
    const ControllerState& c = sim().controller(0);
    ASSERT_EQ(c.pendingAif.size(), 1u);
    const uint8_t* notify = c.pendingAif[0].data() + 32;
    EXPECT_EQ(getLe32(notify), 1u);
    EXPECT_EQ(getLe32(notify + 8), 4u);
    EXPECT_EQ(getLe32(notify + 12), 0u);
}

TEST_F(ContainerActivityTest, AMorphRunsAsATaskWithSourceAndDestination)
{
    const int fd = openAdapter(kContainers);
    // CT 252: container, kind, members, stripe, u64 size, mode, slice bytes.
    std::vector<uint8_t> morph(156, 0);
    putLe32(morph.data(), 2);
    putLe32(morph.data() + 4, 4);
    putLe32(morph.data() + 8, 3);
    putLe32(morph.data() + 24, 4);
    morph[28] = 2;
    morph[29] = 3;
    morph[30] = 4;
    EXPECT_EQ(vyntest::word(command(fd, 252, 0, 0, 0, morph), 2), 253u);
    const std::vector<uint8_t> r = record(fd, 2);
    EXPECT_EQ(getLe32(r.data() + 120), 3u);  // task type: morph
    EXPECT_EQ(getLe32(r.data() + 224), kHandle0 + 2);
    const uint32_t destination = getLe32(r.data() + 228);
    EXPECT_NE(destination, 0u);
    EXPECT_NE(destination, kHandle0 + 2);
    const auto running = jobs(fd);
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].first, 108u);
    EXPECT_EQ(running[0].second, 2u);
    // A second morph of the same container waits for the first; CT 109 on a
    // number without container is refused.
    EXPECT_EQ(vyntest::word(command(fd, 252, 0, 0, 0, morph), 2), 256u);
    std::vector<uint8_t> old(152, 0);
    putLe32(old.data(), 9);
    EXPECT_EQ(vyntest::word(command(fd, 109, 0, 0, 0, old), 2), 194u);
    EXPECT_EQ(getLe32(record(fd, 0).data() + 120), 0u);
}

TEST_F(ContainerActivityTest, VerifyStartsAndEndsTheAdapterVerifyTask)
{
    const int fd = openAdapter(kContainers);
    EXPECT_EQ(vyntest::word(command(fd, 173, 1), 2), 218u);
    auto running = jobs(fd);
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].first, 400u);
    // On again: still one task.
    command(fd, 173, 1);
    EXPECT_EQ(jobs(fd).size(), 1u);
    EXPECT_EQ(vyntest::word(command(fd, 173, 0), 2), 218u);
    EXPECT_TRUE(jobs(fd).empty());
    EXPECT_EQ(getLe32(command(fd, 175, 0).data() + 32 + 12) & 1, 0u);
}

TEST_F(ContainerActivityTest, ALogicalDriveKeepsWhatItsCreationAskedFor)
{
    const int fd = openAdapter(kContainers);
    // A mirror at block 4096 of 0:4 and 8192 of 0:5: build (2), priority 1,
    // read cache on, write cache 2.
    std::vector<uint8_t> create(128 + 2 * 20, 0);
    create[0] = 1;
    create[1] = 2;
    create[2] = 1;
    create[3] = 2;
    create[8] = 3;  // RAID-1
    putLe16(create.data() + 10, 1);
    putLe32(create.data() + 12, 1);
    putLe16(create.data() + 30, 2);
    const uint64_t starts[2] = {4096, 8192};
    for (uint32_t i = 0; i < 2; ++i) {
        putLe32(create.data() + 64 + 12 * i, 4 + i);
        putLe32(create.data() + 68 + 12 * i, static_cast<uint32_t>(starts[i]));
    }
    putLe32(create.data() + 32, 2048 * 100);
    EXPECT_EQ(vyntest::word(command(fd, 237, 0, 0, 0, create), 2), 305u);
    const std::vector<uint8_t> r = record(fd, 1);
    EXPECT_EQ(getLe32(r.data() + 132), 1u);
    EXPECT_EQ(getLe32(r.data() + 144), 1u);
    EXPECT_EQ(getLe32(r.data() + 148), 2u);
    const std::vector<uint8_t> segments = command(fd, 249, kHandle0 + 1, 0, 8 + 2 * 32);
    EXPECT_EQ(getLe32(segments.data() + kData + 4), 2u);
    for (uint32_t i = 0; i < 2; ++i)
        EXPECT_EQ(getLe64(segments.data() + kData + 8 + 32 * i + 16), starts[i]);
    bool building = false;
    for (const auto& [job, object] : jobs(fd))
        building = building || (job == 103 && object == 1);
    EXPECT_TRUE(building);

    // A Reed-Solomon RAID-6 (code 13) shows its code and flags1 bit 0x400.
    std::vector<uint8_t> raid6(128 + 4 * 12, 0);
    raid6[0] = 1;
    raid6[8] = 13;
    putLe32(raid6.data() + 12, 3);
    putLe16(raid6.data() + 30, 4);
    // On 0:6 and 0:7 from their start, on 0:4 and 0:5 well after the mirror.
    for (uint32_t i = 0; i < 4; ++i) {
        putLe32(raid6.data() + 64 + 12 * i, i < 2 ? 6 + i : 2 + i);
        putLe64(raid6.data() + 68 + 12 * i, i < 2 ? 128 : 1000000);
    }
    EXPECT_EQ(vyntest::word(command(fd, 237, 0, 0, 0, raid6), 2), 305u);
    const std::vector<uint8_t> rs = record(fd, 3);
    EXPECT_EQ(getLe32(rs.data() + 48), 13u);
    EXPECT_EQ(getLe32(rs.data() + 88) & 0x400, 0x400u);
    // The plain code shows neither.
    raid6[8] = 11;
    putLe32(raid6.data() + 12, 4);
    for (uint32_t i = 0; i < 4; ++i)
        putLe64(raid6.data() + 68 + 12 * i, 2000000);
    EXPECT_EQ(vyntest::word(command(fd, 237, 0, 0, 0, raid6), 2), 305u);
    const std::vector<uint8_t> plain = record(fd, 4);
    EXPECT_EQ(getLe32(plain.data() + 48), 11u);
    EXPECT_EQ(getLe32(plain.data() + 88) & 0x400, 0u);
}

TEST(ContainerActivityState, SurvivesTheStateFileAndOlderFilesReadAsBefore)
{
    Description desc;
    std::string error;
    ASSERT_TRUE(desc.parse(kContainers, "test", error)) << error;
    ControllerState first = ControllerState::fromDescription(desc, 0);
    ControllerState::ContainerSettings& s = first.containerSettings[2];
    s.taskPriority = 2;
    s.forceOnlineFlags = 0x15;
    s.morphTask = 7;
    s.morphSource = kHandle0 + 2;
    s.morphDestination = kHandle0 + 0x2002;
    first.verifyTask = 9;
    const std::string text = first.toText(1);
    Description again;
    ASSERT_TRUE(again.parse(text, "state", error)) << error;
    const ControllerState second = ControllerState::fromDescription(again, 0);
    const ControllerState::ContainerSettings& t = second.containerSettings.at(2);
    EXPECT_EQ(t.taskPriority, 2u);
    EXPECT_EQ(t.forceOnlineFlags, 0x15u);
    EXPECT_EQ(t.morphTask, 7u);
    EXPECT_EQ(t.morphSource, kHandle0 + 2);
    EXPECT_EQ(t.morphDestination, kHandle0 + 0x2002u);
    EXPECT_EQ(second.verifyTask, 9u);

    // A state file written before these were kept.
    std::string older;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.find("task_priority") == std::string::npos && line.find("force_online") == std::string::npos &&
            line.find("morph_") == std::string::npos && line.find("verify_task") == std::string::npos)
            older += line + "\n";
    Description old;
    ASSERT_TRUE(old.parse(older, "state", error)) << error;
    const ControllerState third = ControllerState::fromDescription(old, 0);
    const ControllerState::ContainerSettings& u = third.containerSettings.at(2);
    EXPECT_EQ(u.taskPriority, 0u);
    EXPECT_EQ(u.morphTask, 0u);
    EXPECT_EQ(u.morphSource, 0xFFFFFFFFu);
    EXPECT_EQ(u.morphDestination, 0xFFFFFFFFu);
    EXPECT_EQ(third.verifyTask, 0u);
}

}  // namespace
