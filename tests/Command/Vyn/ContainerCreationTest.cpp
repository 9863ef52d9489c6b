// Creating containers on free space (primary, RAID-50/60) and over other
// containers (secondary), growing volumes and adding or taking mirrors, as
// the controller and the host see it.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_debug.h"
#include "OpenSessionTest.h"
#include "platform/hostsim/fw/Configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::Fault;
using vyn::hostsim::configurationOf;

constexpr uint64_t kMB = 1024 * 1024;
constexpr uint64_t kStart = 65536;

// Ten free drives of one SAS bus.
const std::string kDrives =
    "[adapter0]\nbus0 = sas 16\n"
    "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\n"
    "drive4 = 0:4 sas 146G\ndrive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
    "drive8 = 0:8 sas 146G\ndrive9 = 0:9 sas 146G\n";

FSA_STORAGE_DEVICE drive(uint8_t target)
{
    FSA_STORAGE_DEVICE d{};
    d.targetId = target;
    return d;
}

// One extent of `length` bytes at the start of the free space of each of
// the drives first, first + 1, ...
std::vector<FSA_STORAGE_DEVICE_SPACE> extents(uint32_t n, uint8_t first = 0, uint64_t length = 64 * kMB)
{
    std::vector<FSA_STORAGE_DEVICE_SPACE> out(n);
    for (uint32_t i = 0; i < n; ++i) {
        out[i] = {};
        out[i].device = drive(static_cast<uint8_t>(first + i));
        out[i].start = kStart;
        out[i].length = length;
    }
    return out;
}

tag_FSA_CONTAINER id(uint32_t number)
{
    tag_FSA_CONTAINER c{};
    c.number = number;
    return c;
}

class ContainerCreationTest : public vyntest::OpenSessionTest {
protected:
    void TearDown() override
    {
        FsaUxDbgFileSetLevel(0);
        FsaUxDbgFileClrModule(~0u, ~0u);
        vyntest::OpenSessionTest::TearDown();
    }

    void* begin(const std::string& extra = "")
    {
        void* h = start(kDrives + extra);
        if (h != nullptr)
            sim().setSleepScale(0);
        return h;
    }
    ControllerState& controller() { return sim().controller(0); }
    bool has(uint32_t number) { return controller().objects.count("ld" + std::to_string(number)) != 0; }
    std::string line(uint32_t number) { return controller().objects["ld" + std::to_string(number)]; }
    unsigned creates() { return sent(500, 221) + sent(500, 179); }
    // The last kept request of CT `code`.
    const ControllerState::CtCapture* captured(uint32_t code)
    {
        const ControllerState::CtCapture* last = nullptr;
        for (const ControllerState::CtCapture& c : controller().captured)
            if (c.code == code)
                last = &c;
        return last;
    }
    unsigned ioctls(const std::string& request)
    {
        unsigned n = 0;
        for (const std::string& l : sim().requestLines())
            n += l.find(" " + request) != std::string::npos ? 1 : 0;
        return n;
    }
    // The OS layer's trace of what it told the host.
    void traceHost()
    {
        FsaUxDbgFileSetLevel(4);
        FsaUxDbgFileSetModule(FAUX_DBG_DRIVER, 0);
    }
    std::string hostTrace() { return vyntest::readFile(hostFile("/tmp/dbg.api")); }
};

// ---- primary containers ----

TEST_F(ContainerCreationTest, TypeCodesAndMemberCountsAreRefusedBeforeAnythingIsCreated)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    struct Row {
        uint32_t type;
        uint32_t members;
        FSA_STATUS status;
    };
    const Row rows[] = {
        {34, 3, 90},   // RAID-5EE: its own minimum of 4 decides
        {34, 2, 90},
        {4, 2, 211},   // RAID-5
        {40, 2, 90},   // RAID-1E
        {45, 3, 90},   // RAID-6
        {55, 3, 22},   // no row: refused once the free space has passed
        {5, 3, 22},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        tag_FSA_CONTAINER out{};
        const std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(r.members);
        EXPECT_EQ(FsaCreatePrimaryContainer(h, &out, r.type, "x", r.members, spaces.data(), 0, nullptr, 0),
                  r.status);
    }
    // The free space is checked before the type.
    std::vector<FSA_STORAGE_DEVICE_SPACE> unaligned = extents(3);
    unaligned[0].length += 512;
    tag_FSA_CONTAINER out{};
    EXPECT_EQ(FsaCreatePrimaryContainer(h, &out, 55, nullptr, 3, unaligned.data(), 0, nullptr, 0), 147u);
    EXPECT_EQ(creates(), 0u);
    EXPECT_EQ(configurationOf(controller()).logDevs.size(), 0u);
}

TEST_F(ContainerCreationTest, MethodThreeRaid5TakesTheTopNumberAndRaid1ETheBottom)
{
    // Numbers 0 to 32; 32 is the first the host cannot see.
    void* h = begin("max_containers = 33\n");
    ASSERT_NE(h, nullptr);
    tag_FSA_CONTAINER top{};
    std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(3, 0);
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &top, 7, "Top", 3, spaces.data(), 0, nullptr, 0), 1u);
    EXPECT_EQ(top.number, 32u);
    EXPECT_EQ(line(32).compare(0, 6, "raid5 "), 0) << line(32);
    // Created at the exposure limit, never exposed.
    EXPECT_EQ(sim().diskOf(0, 32), "");

    tag_FSA_CONTAINER bottom{};
    spaces = extents(3, 3);
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &bottom, 42, "Bottom", 3, spaces.data(), 0, nullptr, 0), 1u);
    EXPECT_EQ(bottom.number, 0u);
    EXPECT_EQ(line(0).compare(0, 7, "raid1e "), 0) << line(0);
    EXPECT_NE(sim().diskOf(0, 0), "");
    EXPECT_EQ(bottom.adapterWord, context(h)->adapterIdentityWord);
}

TEST_F(ContainerCreationTest, NoBuildKeepsTheDataAndTellsTheHostSo)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    traceHost();
    tag_FSA_CONTAINER out{};
    std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(2, 0);
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &out, 1, "Kept", 2, spaces.data(), 0, nullptr, 1), 1u);
    ASSERT_NE(captured(221), nullptr);
    EXPECT_EQ(faGetLe32(captured(221)->input.data() + 12), 5u);  // mode: no build
    EXPECT_EQ(sent(500, 59), 0u);                                  // no file-system erase
    EXPECT_EQ(sent(500, 61) + sent(500, 67), 0u);                  // no scrub
    EXPECT_NE(hostTrace().find("ExposeCtrToOs: container 0 data 1"), std::string::npos) << hostTrace();
    EXPECT_NE(sim().diskOf(0, 0), "");

    // The quick RAID-1 builds: its file system is erased, the host told the
    // container is new.
    sim().clearRequests();
    spaces = extents(2, 2);
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &out, 29, nullptr, 2, spaces.data(), 0, nullptr, 0), 1u);
    EXPECT_EQ(out.number, 1u);
    EXPECT_EQ(faGetLe32(captured(221)->input.data() + 12), 3u);  // mode: quick
    EXPECT_EQ(sent(500, 59), 1u);
    EXPECT_NE(hostTrace().find("ExposeCtrToOs: container 1 data 0"), std::string::npos) << hostTrace();
}

TEST_F(ContainerCreationTest, CacheParametersAreAppliedWhenSetAndTheirFailureIsReported)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    tag_FSA_CONTAINER out{};
    std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(2, 0);
    const tag_FSA_CONTAINER_PARAMS none{0, 0};
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &out, 29, nullptr, 2, spaces.data(), 0, &none, 0), 1u);
    EXPECT_EQ(sent(500, 111), 0u);

    const tag_FSA_CONTAINER_PARAMS both{1, 1};
    spaces = extents(2, 2);
    ASSERT_EQ(FsaCreatePrimaryContainer(h, &out, 29, nullptr, 2, spaces.data(), 0, &both, 0), 1u);
    EXPECT_EQ(sent(500, 111), 1u);
    EXPECT_EQ(controller().containerSettings[1].readCache, 1u);

    // A refused setting is the answer, yet the container stands.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 111", "status = 5"}));
    spaces = extents(2, 4);
    EXPECT_EQ(FsaCreatePrimaryContainer(h, &out, 29, nullptr, 2, spaces.data(), 0, &both, 0), 321u);
    EXPECT_TRUE(has(2));
    EXPECT_NE(sim().diskOf(0, 2), "");
}

TEST_F(ContainerCreationTest, ClearedContainerOnAHostThatAnnouncesDisksIsZeroedNotExposed)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    context(h)->osTypeOverride = 10;
    const uint64_t before = controller().clockMs;
    tag_FSA_CONTAINER out{};
    std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(2, 0);
    // The status is that of the notice the zeroing sends to the host's
    // clients, which belongs to the event channel.
    FsaCreatePrimaryContainer(h, &out, 23, nullptr, 2, spaces.data(), 0, nullptr, 0);
    EXPECT_TRUE(has(0));
    // The file-system erase and the zeroing of the whole container.
    EXPECT_EQ(sent(500, 59), 2u);
    EXPECT_EQ(sim().diskOf(0, 0), "");
    EXPECT_GE(controller().clockMs - before, 30000u);
}

TEST_F(ContainerCreationTest, TwoLevelCodesPickRaid50OrRaid60)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    tag_FSA_CONTAINER out{};
    std::vector<FSA_STORAGE_DEVICE_SPACE> spaces = extents(6, 0);
    EXPECT_EQ(FsaCreateRAID50(h, &out, 4, nullptr, 3, 6, spaces.data(), 0, nullptr, 0), 22u);
    EXPECT_EQ(FsaCreateRAID50(h, &out, 28, nullptr, 3, 6, spaces.data(), 0, nullptr, 0), 22u);
    EXPECT_EQ(creates(), 0u);
    // The RAID-60 entry takes the same codes: quick RAID-50 in two legs of 3.
    ASSERT_EQ(FsaCreateRAID60(h, &out, 32, "Fifty", 3, 6, spaces.data(), 0, nullptr, 0), 1u);
    EXPECT_EQ(out.number, 0u);
    EXPECT_EQ(line(0).compare(0, 7, "raid50 "), 0) << line(0);
    EXPECT_NE(line(0).find("legs=2"), std::string::npos) << line(0);
    EXPECT_EQ(faGetLe32(captured(221)->input.data()), 14u);
    EXPECT_EQ(faGetLe32(captured(221)->input.data() + 36), 3u);  // mode: quick
}

TEST_F(ContainerCreationTest, SourcesOfASecondaryMustExistAndStandAlone)
{
    void* h = begin("ld0 = raid1 0:0,0:1\nld1 = raid0 0:2\nld2 = raid10 0:4,0:5,0:6,0:7\nld3 = raid0 0:3\n"
                    "container3.locked = 1\n");
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    struct Row {
        std::vector<uint32_t> sources;
        FSA_STATUS status;
    };
    const Row rows[] = {
        {{0, 1}, 1},
        {{0, 9}, 421},   // no such container
        {{0, 3}, 421},   // locked
        {{2, 1}, 421},   // multilevel
    };
    for (const Row& r : rows) {
        std::vector<tag_FSA_CONTAINER> list;
        for (uint32_t s : r.sources)
            list.push_back(id(s));
        EXPECT_EQ(VerifySourceContainers(ctx, 2, static_cast<uint32_t>(list.size()), list.data()), r.status)
            << r.sources[1];
    }
}

// ---- secondary containers, volume growth and mirrors ----

TEST_F(ContainerCreationTest, SecondaryIsRefusedForItsSourcesBeforeAnythingMoves)
{
    void* h = begin("ld0 = raid0 0:0 size=1G\nld1 = raid0 0:1 size=2G\nld2 = raid0 0:2 size=1G host=open\n"
                    "ld3 = raid0 0:3 size=1G host=unmapped\nld4 = raid0 0:4 size=1G host=none\n"
                    "ld5 = raid0 0:5 size=1G host=deleted\nld6 = raid1 0:6,0:7 size=1G\n"
                    "ld7 = raid0 0:8 size=1G host=none\ncontainer7.locked = 1\n");
    ASSERT_NE(h, nullptr);
    struct Row {
        const char* name;
        uint32_t type;
        std::vector<uint32_t> sources;
        FSA_STATUS status;
    };
    const Row rows[] = {
        // The sizes are compared before the host is asked: a mounted source
        // of another size is refused for its size.
        {"stripe of unequal sizes", 2, {1, 2}, 25},
        {"mounted", 3, {0, 2}, 547},
        {"unmapped", 3, {0, 3}, 421},
        {"not seen by the host", 3, {0, 4}, 93},
        {"locked and not seen by the host", 3, {0, 7}, 495},
        {"sources of two types", 3, {0, 6}, 421},
        {"no sources", 3, {}, 7},
        {"a mirror of containers", 1, {0, 5}, 22},  // a deleted disk passes
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        sim().clearRequests();
        std::vector<tag_FSA_CONTAINER> list;
        for (uint32_t s : r.sources)
            list.push_back(id(s));
        tag_FSA_CONTAINER out{};
        EXPECT_EQ(FsaCreateSecondaryContainer(h, &out, r.type, nullptr, static_cast<uint32_t>(list.size()),
                                              list.data(), 0, 0),
                  r.status);
        EXPECT_EQ(sent(500, 21) + sent(500, 171) + sent(500, 172), 0u);
    }
    EXPECT_EQ(controller().objects.count("ld31") + controller().objects.count("ld63"), 0u);
}

TEST_F(ContainerCreationTest, SourcesMoveToTheTopAndTheVolumeTakesTheLowestNumber)
{
    void* h = begin("max_containers = 32\nld0 = raid1 0:0,0:1 size=1G\nld1 = raid1 0:2,0:3 size=2G\n");
    ASSERT_NE(h, nullptr);
    const std::string first = line(0);
    const std::string second = line(1);
    ASSERT_NE(sim().diskOf(0, 0), "");
    const tag_FSA_CONTAINER sources[] = {id(0), id(1)};
    tag_FSA_CONTAINER out{};
    ASSERT_EQ(FsaCreateSecondaryContainer(h, &out, 3, "Span", 2, sources, 0, 0), 1u);
    EXPECT_EQ(out.number, 0u);
    EXPECT_EQ(line(31).compare(0, first.size(), first), 0) << line(31);
    EXPECT_EQ(line(30).compare(0, second.size(), second), 0) << line(30);
    EXPECT_EQ(line(0).compare(0, 17, "volume ld31,ld30 "), 0) << line(0);
    EXPECT_FALSE(has(1));
    // The sources left the host; the volume is its new disk, named and erased.
    EXPECT_EQ(sim().diskOf(0, 1), "");
    EXPECT_EQ(sim().diskOf(0, 31), "");
    EXPECT_NE(sim().diskOf(0, 0), "");
    EXPECT_EQ(sent(500, 171), 1u);
    EXPECT_EQ(sent(500, 59), 1u);
    EXPECT_EQ(controller().containerSettings[0].name, "Span");
    for (const vyn::hostsim::LogDevView& l : configurationOf(controller()).logDevs)
        if (l.number == 0) {
            EXPECT_EQ(l.members.size(), 2u);
            EXPECT_EQ(l.blocks, 3u * 2 * 1024 * 1024);
        }
}

TEST_F(ContainerCreationTest, ASourceThatCannotMoveEndsTheCreation)
{
    void* h = begin("max_containers = 32\nld0 = raid1 0:0,0:1 size=1G\nld1 = raid1 0:2,0:3 size=2G\n");
    ASSERT_NE(h, nullptr);
    // The second source's move is refused: the first already moved.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 21", "status = 2", 1, 1}));
    const tag_FSA_CONTAINER sources[] = {id(0), id(1)};
    tag_FSA_CONTAINER out{};
    EXPECT_EQ(FsaCreateSecondaryContainer(h, &out, 3, nullptr, 2, sources, 0, 0), 43u);
    EXPECT_EQ(sent(500, 171), 0u);
    EXPECT_TRUE(has(1));
    EXPECT_TRUE(has(31));
    // The failed removal is completed as failed, which the host layer of
    // this system carries out as a removal.
    EXPECT_EQ(ioctls("0x163"), 2u);
}

TEST_F(ContainerCreationTest, AVolumeGrowsByAtLeast32Megabytes)
{
    void* h = begin("ld0 = volume 0:0 size=1G\n");
    ASSERT_NE(h, nullptr);
    const tag_FSA_CONTAINER volume = id(0);
    FSA_STORAGE_DEVICE_SPACE space = extents(1, 1, 32 * kMB - 65536)[0];
    EXPECT_EQ(FsaGrowPrimaryVolumeSet(h, &volume, &space), 310u);
    EXPECT_EQ(captured(44), nullptr);
    space.length = 32 * kMB;
    ASSERT_EQ(FsaGrowPrimaryVolumeSet(h, &volume, &space), 1u);
    ASSERT_NE(captured(44), nullptr);
    EXPECT_EQ(captured(44)->param[0], 0u);
    EXPECT_EQ(captured(44)->param[1], 1u);  // the slice of drive 0:1
    EXPECT_EQ(captured(44)->param[2], 65536u);
    // Only a volume set grows.
    const tag_FSA_CONTAINER none = id(5);
    EXPECT_EQ(FsaGrowPrimaryVolumeSet(h, &none, &space), 11u);
}

TEST_F(ContainerCreationTest, MirrorFromVolumeCountsTheDrivesAgainstTheMembers)
{
    void* h = begin("ld0 = volume 0:8 size=1G\nld1 = raid10 0:0,0:1,0:2,0:3,0:4,0:5 legs=3 size=1G\n");
    ASSERT_NE(h, nullptr);
    tag_FSA_CONTAINER multilevel = id(1);
    const std::vector<FSA_STORAGE_DEVICE> many(33, drive(6));
    EXPECT_EQ(FsaCreateMirrorFromVolume(h, &multilevel, 33, many.data()), 27u);
    const FSA_STORAGE_DEVICE two[] = {drive(6), drive(7)};
    EXPECT_EQ(FsaCreateMirrorFromVolume(h, &multilevel, 2, two), 154u);
    EXPECT_EQ(sent(500, 26) + sent(500, 27), 0u);

    tag_FSA_CONTAINER volume = id(0);
    const FSA_STORAGE_DEVICE one[] = {drive(9)};
    ASSERT_EQ(FsaCreateMirrorFromVolume(h, &volume, 1, one), 1u);
    EXPECT_EQ(line(0).compare(0, 14, "raid1 0:8,0:9 "), 0) << line(0);
    EXPECT_EQ(volume.adapterWord, context(h)->adapterIdentityWord);
}

TEST_F(ContainerCreationTest, MirrorOperations)
{
    void* h = begin("ld0 = raid1 0:0,0:1 size=1G\nld1 = raid1 0:2,0:3 size=1G\n");
    ASSERT_NE(h, nullptr);
    tag_FSA_CONTAINER mirror = id(0);
    tag_FSA_CONTAINER second{};
    EXPECT_EQ(FsaMirror(h, 2, &mirror, &second), 30u);
    EXPECT_EQ(mirror.adapterWord, context(h)->adapterIdentityWord);  // refreshed all the same
    EXPECT_EQ(FsaMirror(h, 1, &mirror, nullptr), 7u);
    EXPECT_EQ(sent(500, 30), 0u);

    // Split: the second half becomes the lowest free number, seen by the host.
    ASSERT_EQ(FsaMirror(h, 1, &mirror, &second), 1u);
    EXPECT_EQ(second.number, 2u);
    EXPECT_EQ(line(2).compare(0, 10, "volume 0:1"), 0) << line(2);
    EXPECT_NE(sim().diskOf(0, 2), "");

    // Unmirror keeps the first drive.
    tag_FSA_CONTAINER other = id(1);
    ASSERT_EQ(FsaMirror(h, 0, &other, nullptr), 1u);
    EXPECT_EQ(line(1).compare(0, 11, "volume 0:2 "), 0) << line(1);

    // A session opened read-only may not change mirrors.
    void* ro = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(FsaMirror(ro, 4, &other, nullptr), 122u);
}

}  // namespace
