#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Command/Vyn/common/fa_context.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/Raid6Layout.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynLib.h"
#include "RaidModel/Implementation/Vyn/VynReplay.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/AddrCollection.h"
#include "common/Ret.h"
#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "support/HostRootTest.h"

namespace {

using vyntest::TreePtr;

// ---------------------------------------------------------------------------
// Saved and live trees written by hand.

struct DriveXml {
    unsigned channel = 0;
    unsigned device = 0;
    unsigned long long size = 1ull << 24;  // sectors (8 GiB)
    long long maxUsable = -1;              // -1: size less the reserved ends
    long enclosure = -1;                   // -1: unset
    long slot = -1;
    int interfaceType = 4;
    std::string extra;                     // further attributes
    bool reservedChunk = true;             // a chunk at sector 0, as live drives carry
    std::string chunks;                    // further chunk elements
};

struct LogicalXml {
    unsigned id = 0;
    int level = 1;
    std::string size = "100";
    std::string unit = "MB";
    int stripe = 256;
    std::string name;
    std::vector<unsigned> members;  // device ids on channel 0
    std::string extra;
    std::string chunkExtra;           // added to every chunk element
    std::vector<LogicalXml> legs;     // a RAID volume's
};

std::string driveXml(const DriveXml& d)
{
    std::ostringstream out;
    const unsigned long long usable =
        d.maxUsable >= 0 ? static_cast<unsigned long long>(d.maxUsable) : d.size - 128 - 2048;
    out << "<HardDrive typeName=\"HardDrive\" controllerID=\"0\" channelID=\"" << d.channel << "\" deviceID=\""
        << d.device << "\" state=\"1\" interfaceType=\"" << d.interfaceType << "\" size=\"" << d.size << "\" maxUsableBlocks=\"" << usable
        << "\"";
    if (d.enclosure >= 0)
        out << " enclosureID=\"" << d.enclosure << "\"";
    if (d.slot >= 0)
        out << " slotID=\"" << d.slot << "\"";
    out << " " << d.extra << ">";
    if (d.reservedChunk)
        out << "<Chunk typeName=\"Chunk\" storlibType=\"9\" controllerID=\"0\" channelID=\"" << d.channel << "\" deviceID=\"" << d.device
            << "\" chunkID=\"0\" startSector=\"0\" numSectors=\"128\" chunkType=\"1\"/>";
    out << d.chunks << "</HardDrive>";
    return out.str();
}

std::string logicalXml(const LogicalXml& l)
{
    std::ostringstream out;
    out << "<LogicalDrive typeName=\"BasicLogicalDrive\" controllerID=\"0\" logicalDriveID=\"" << l.id
        << "\" raidLevel=\"" << l.level << "\" size=\"" << l.size << "\" sizeUnit=\"" << l.unit << "\" stripeSize=\""
        << l.stripe << "\"";
    if (!l.name.empty())
        out << " name=\"" << l.name << "\"";
    out << " " << l.extra << ">";
    for (const LogicalXml& leg : l.legs)
        out << logicalXml(leg);
    for (unsigned device : l.members)
        out << "<Chunk typeName=\"Chunk\" storlibType=\"9\" controllerID=\"0\" channelID=\"0\" deviceID=\"" << device
            << "\" chunkID=\"0\" startSector=\"0\" numSectors=\"128\" chunkType=\"0\" " << l.chunkExtra << "/>";
    out << "</LogicalDrive>";
    return out.str();
}

const char* const kReserved = "reservedInBeginning=\"128\" reservedInEnd=\"2048\" ";

std::string controllerXml(const std::vector<DriveXml>& drives, const std::vector<LogicalXml>& logicals,
                          const std::string& attributes = kReserved)
{
    std::ostringstream out;
    out << "<Controller typeName=\"Adapter\" storlibType=\"9\" controllerID=\"0\" " << attributes << "><Channel typeName=\"SASChannel\" controllerID=\"0\" channelID=\"0\">";
    for (const DriveXml& d : drives)
        out << driveXml(d);
    out << "</Channel>";
    for (const LogicalXml& l : logicals)
        out << logicalXml(l);
    out << "</Controller>";
    return out.str();
}

std::vector<DriveXml> drivesAt(unsigned count, unsigned long long size = 1ull << 24)
{
    std::vector<DriveXml> drives;
    for (unsigned i = 0; i < count; ++i) {
        DriveXml d;
        d.device = i;
        d.size = size;
        drives.push_back(d);
    }
    return drives;
}

// ---------------------------------------------------------------------------
// A controller whose settings and creation operations are recorded, each
// answering the Ret a test chose (0 unless told).

struct Recorder {
    std::vector<std::string> calls;
    std::map<std::string, int> answers;
    std::vector<LogicalDriveSpec> specs;
    int generation = 0;

    std::set<std::string> failOnce;  // requests whose first call answers -5

    Ret call(int gen, const std::string& what)
    {
        calls.push_back(std::to_string(gen) + ":" + what);
        if (failOnce.erase(what) != 0)
            return Ret(-5);
        auto it = answers.find(what);
        return Ret(it != answers.end() ? it->second : 0);
    }
    bool called(const std::string& what) const
    {
        for (const std::string& c : calls)
            if (c.substr(c.find(':') + 1) == what)
                return true;
        return false;
    }
};

class RecordingAdapter : public Adapter {
public:
    RecordingAdapter(SimpleXmlParser& parser, Recorder& recorder)
        : Adapter(parser), rec(recorder), gen(recorder.generation)
    {
    }

    Ret setAlarmState(EnumAlarmState) override { return rec.call(gen, "setAlarmState"); }
    Ret setCopyBack(bool) override { return rec.call(gen, "setCopyBack"); }
    Ret setDataScrubActive(bool) override { return rec.call(gen, "setDataScrubActive"); }
    Ret setDataScrubRate(unsigned long) override { return rec.call(gen, "setDataScrubRate"); }
    Ret setDefaultLDTaskPriority(EnumPriorityLevel, bool) override { return rec.call(gen, "setDefaultLDTaskPriority"); }
    Ret setPerformanceMode(EnumPerformanceMode) override { return rec.call(gen, "setPerformanceMode"); }
    Ret setPMStayAwakePeriod(unsigned long, unsigned long, unsigned long, unsigned char) override
    {
        return rec.call(gen, "setPMStayAwakePeriod");
    }
    Ret setPMSpinupLimits(unsigned long, unsigned long) override { return rec.call(gen, "setPMSpinupLimits"); }
    Ret setSataNCQ(bool) override { return rec.call(gen, "setSataNCQ"); }
    Ret addDriveToOrvexaPool(AddrCollection&) override { return rec.call(gen, "addDriveToOrvexaPool"); }
    Ret createLogicalDrive(const LogicalDriveSpec& spec) override
    {
        rec.specs.push_back(spec);
        return rec.call(gen, "createLogicalDrive");
    }

private:
    Recorder& rec;
    int gen;
};

// A live logical drive whose power-management requests are recorded.
class RecordingLogicalDrive : public BasicLogicalDrive {
public:
    RecordingLogicalDrive(Adapter* adapter, SimpleXmlParser& parser, Recorder& recorder)
        : BasicLogicalDrive(adapter, parser), rec(recorder)
    {
    }
    Ret setPMEnabled(bool) override { return rec.call(rec.generation, "setPMEnabled"); }
    Ret setPMTimers(unsigned long, unsigned long, unsigned long) override
    {
        return rec.call(rec.generation, "setPMTimers");
    }

private:
    Recorder& rec;
};

void readControllers(RaidObject& root, const std::string& xml, Recorder* rec)
{
    std::vector<char> text(xml.begin(), xml.end());
    text.push_back('\0');
    SimpleXmlParser parser(text.data(), static_cast<unsigned long>(xml.size()));
    while (parser.parseNext()) {
        if (parser.tagIs("Controller") && parser.foundStartTag()) {
            if (rec != nullptr)
                root.addChild(new RecordingAdapter(parser, *rec));
            else
                root.addChild(new Adapter(parser));
        }
    }
}

// The live root: its controllers record; a rebuild adds a new set of them,
// as the family's does, read from `next` (the same as before unless told).
class RecordingSystem : public VynSystem {
public:
    RecordingSystem(Recorder& recorder, const std::string& xml) : rec(recorder), next(xml)
    {
        readControllers(*this, xml, &rec);
    }
    void buildChildren(StorLib*, Ret&) override { rebuild(); }
    void buildChildrenForSingleAdapter(StorLib*, unsigned long, Ret&) override { rebuild(); }

    Recorder& rec;
    std::string next;
    // Logical drives (each one LogicalDrive element) that the controller shows
    // after the n-th rebuild, as recording ones; none when absent.
    std::vector<std::string> made;
    int rebuilds = 0;

private:
    void rebuild()
    {
        ++rebuilds;
        ++rec.generation;
        readControllers(*this, next, &rec);
        auto* controller = static_cast<Adapter*>(getChildren().back());
        for (int k = 0; k < rebuilds && k < static_cast<int>(made.size()); ++k) {
            std::vector<char> text(made[k].begin(), made[k].end());
            text.push_back('\0');
            SimpleXmlParser parser(text.data(), static_cast<unsigned long>(made[k].size()));
            while (parser.parseNext())
                if (parser.tagIs("LogicalDrive") && parser.foundStartTag()) {
                    controller->addChild(new RecordingLogicalDrive(controller, parser, rec));
                    break;
                }
        }
    }
};

TreePtr<VynSystem> savedSystem(const std::string& controllers)
{
    TreePtr<VynSystem> root(new VynSystem());
    readControllers(*root, controllers, nullptr);
    return root;
}

class VynReplayTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        vyntest::HostRootTest::SetUp();
        logPath = root() + "/replay.log";
    }
    void TearDown() override
    {
        StorDebugDeleteAll();
        vyntest::HostRootTest::TearDown();
    }

    // A replay of `saved` onto `live` with the log at logPath.
    Ret replay(VynSystem& live, VynSystem& saved, int force, bool slots = false)
    {
        return live.compareConfig(nullptr, saved, live, &logPath[0], static_cast<EnumForceOption>(force), slots);
    }
    std::string logText() const { return vyntest::readFile(logPath); }
    unsigned logCount(const std::string& text) const
    {
        const std::string log = logText();
        unsigned n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
            ++n;
        return n;
    }

    std::string logPath;
};

// The saved logical drive with that id.
LogicalDrive* savedLogical(VynSystem& saved, unsigned long id)
{
    for (LogicalDrive* ld : saved.getAdapter(0)->getAllLogicalDrives())
        if (ld->getLogicalDriveID() == id)
            return ld;
    return nullptr;
}

// The specification code of one saved logical drive on the live controller,
// as the creation computes it; the specification stays for inspection.
int specCode(VynSystem& sys, Adapter* live, LogicalDrive* saved, int force = 0)
{
    vynreplay::force = force;
    VynSystem::ReplayState& st = sys.replayState();
    st.spec.reset(new LogicalDriveSpec());
    st.legs = 2;
    st.promoteJbod = false;
    st.chunkSize = 0;
    st.savedName = saved->getName();
    st.stripeKB = static_cast<unsigned>(saved->getStripeSize());
    if (!sys.sizeInSectors(saved->getUserSize(), saved->getUserSizeUnit()))
        return -2;
    std::vector<unsigned long> list;
    for (HardDrive* member : saved->getHardDriveVector()) {
        list.push_back(member->getChannelID());
        list.push_back(member->getDeviceID());
    }
    unsigned n = 0;
    if (!sys.buildChunkSpec(saved, list, static_cast<int>(list.size()), n))
        return -9;
    return sys.buildLogicalDriveSpec(live, saved, n);
}

std::vector<unsigned long> groups(const VynSystem& sys)
{
    std::vector<unsigned long> out;
    for (const ChunkSpec& c : const_cast<VynSystem&>(sys).replayState().spec->chunks)
        out.push_back(c.getGroupNum());
    return out;
}

// ---------------------------------------------------------------------------
// Chunk sizing

TEST(ReplayChunkSizingTest, LevelsLegsAndLimits)
{
    struct Case {
        const char* what;
        EnumRaidLevel level;
        unsigned drives;
        int legs;
        unsigned long long requested;
        int stripe;
        int code;
        unsigned long long chunk;
    };
    const unsigned long long s = 24ull * 1000 * 2048;
    const Case cases[] = {
        // Legs of 8: rows {8, 8, 24}; the chunk of a leg is halved.
        {"RAID 60 over 16 in 2 legs", RAID_LEVEL_60, 16, 2, s, 64, 0, (s / 24) * 32 / 8 / 2},
        {"RAID 60 RS over 16 in 2 legs", RAID_LEVEL_60RS, 16, 2, s, 64, 0, (s / 6) * 8 / 8 / 2},
        {"RAID 50 over 6 in 2 legs", RAID_LEVEL_50, 6, 2, s, 64, 0, (s + 3) / 4},
        {"RAID 50 over 4 in 2 legs", RAID_LEVEL_50, 4, 2, s, 64, 1, 0},
        {"RAID 50 over 7 in 2 legs", RAID_LEVEL_50, 7, 2, s, 64, 1, 0},
        {"RAID 10 over an odd count", RAID_LEVEL_10, 5, 2, s, 64, 1, 0},
        {"RAID 6 XOR over 8, 256 KiB", RAID_LEVEL_6, 8, 2, s, 256, 0, (s / 24) * 32 / 8},
        {"RAID 6 XOR over 16, 128 KiB", RAID_LEVEL_6, 16, 2, s, 128, 5, 0},
        // The XOR layout has no row beyond 16 drives: no row, no division.
        {"RAID 6 XOR over 17", RAID_LEVEL_6, 17, 2, s, 64, 1, 0},
        {"RAID 60 XOR legs of 17", RAID_LEVEL_60, 34, 2, s, 64, 1, 0},
        {"RAID 5 over 3", RAID_LEVEL_5, 3, 2, 40961, 64, 0, 20481},
        {"RAID 1E over 3", RAID_LEVEL_1E, 3, 2, 40960, 64, 0, 13654 * 2},
        {"below 20 MiB", RAID_LEVEL_1, 2, 2, 40959, 64, 3, 0},
        {"size 0 is the largest", RAID_LEVEL_1, 2, 2, 0, 64, 0, 0},
        {"too few drives", RAID_LEVEL_5, 2, 2, s, 64, 1, 0},
        {"a level without sizing", static_cast<EnumRaidLevel>(3), 3, 2, s, 64, 1, 0},
        {"a level above the known", static_cast<EnumRaidLevel>(20), 3, 2, s, 64, 1, 0},
    };
    for (const Case& c : cases) {
        ChunkSizing z;
        z.level = c.level;
        z.drives = c.drives;
        z.legs = c.legs;
        z.requested = c.requested;
        z.stripeKB = c.stripe;
        EXPECT_EQ(sizeChunk(z), c.code) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(z.chunk, c.chunk) << c.what;
        }
    }
}

TEST(ReplayChunkSizingTest, ChunksAlignUpToAWholeStripeOfAtLeast64KiB)
{
    EXPECT_EQ(alignChunkSizeWithStripeSize(1, 16), 128u);
    EXPECT_EQ(alignChunkSizeWithStripeSize(1, 64), 128u);
    EXPECT_EQ(alignChunkSizeWithStripeSize(128, 64), 128u);
    EXPECT_EQ(alignChunkSizeWithStripeSize(129, 256), 512u);
    // The whole 64-bit value is kept.
    EXPECT_EQ(alignChunkSizeWithStripeSize((1ull << 40) + 1, 64), (1ull << 40) + 128);
}

// ---------------------------------------------------------------------------
// The requested size and the time stamp

TEST_F(VynReplayTest, RequestedSizesCarryTenMebibytesMoreAndUnknownUnitsStoreNothing)
{
    VynSystem sys;
    struct Case {
        unsigned long long size;
        int unit;
        bool ok;
        unsigned long long sectors;
    } cases[] = {
        {0, 0, true, 20480}, {1, 1, true, (1024 + 10) * 2048ull}, {1, 2, true, (1048576 + 10) * 2048ull},
        {5, 3, false, 777},
    };
    for (const Case& c : cases) {
        sys.replayState().requestedSize = 777;
        EXPECT_EQ(sys.sizeInSectors(c.size, c.unit), c.ok) << c.unit;
        EXPECT_EQ(sys.replayState().requestedSize, c.sectors) << c.unit;
    }
}

TEST_F(VynReplayTest, TheStampIsTwentyFourCharactersAndTwoBlanks)
{
    char stamp[27];
    std::memset(stamp, 'x', sizeof stamp);
    ASSERT_EQ(VynSystem::getTime(stamp), stamp);
    EXPECT_EQ(stamp[24], ' ');
    EXPECT_EQ(stamp[25], ' ');
    EXPECT_EQ(stamp[26], '\0');
    EXPECT_NE(stamp[23], ' ');
}

// ---------------------------------------------------------------------------
// The specification of one replayed logical drive

// A saved tree whose drives are those of `live`, plus the extra first entry
// a saved controller carries.
std::vector<DriveXml> withLeadingEntry(std::vector<DriveXml> drives)
{
    DriveXml lead;
    lead.device = 99;
    drives.insert(drives.begin(), lead);
    return drives;
}

TEST_F(VynReplayTest, ASavedDriveListedTwiceCreatesNothing)
{
    Recorder rec;
    TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drivesAt(3), {})));
    LogicalXml raid5;
    raid5.level = 5;
    raid5.members = {0, 1, 1};
    TreePtr<VynSystem> saved = savedSystem(controllerXml(drivesAt(3), {raid5}));
    LogicalDrive* ld = savedLogical(*saved, 0);
    ASSERT_NE(ld, nullptr);
    ASSERT_EQ(ld->getNumHardDrives(), 3u);
    EXPECT_EQ(live->createLogical(live->getAdapter(0), ld).getReturn(), -9);
    EXPECT_TRUE(rec.specs.empty());
}

TEST_F(VynReplayTest, SpecificationCodes)
{
    struct Case {
        const char* what;
        std::vector<DriveXml> drives;
        LogicalXml logical;
        std::string attributes;
        int force;
        int code;
    };
    auto plain = [](int level, std::vector<unsigned> members, const std::string& size, const std::string& unit) {
        LogicalXml l;
        l.level = level;
        l.members = std::move(members);
        l.size = size;
        l.unit = unit;
        return l;
    };
    std::vector<DriveXml> oneSmall = drivesAt(2);
    oneSmall[1].size = 1u << 20;
    std::vector<DriveXml> jbod = drivesAt(2);
    jbod[0].extra = "jbod=\"true\"";
    std::vector<DriveXml> noSizes = drivesAt(2);
    noSizes[0].maxUsable = 0;
    std::vector<DriveXml> pooled = drivesAt(2);
    pooled[1].extra = "OrvexaAssigned=\"true\"";
    std::vector<DriveXml> busy = drivesAt(2);
    busy[1].extra = "taskInProgress=\"true\"";
    std::vector<DriveXml> empty = drivesAt(1);
    empty[0].size = 0;
    empty[0].maxUsable = 0;
    empty[0].reservedChunk = false;
    std::vector<DriveXml> mixed = drivesAt(2);
    mixed[1].interfaceType = 2;
    const Case cases[] = {
        {"a RAID 1 that fits", drivesAt(2), plain(1, {0, 1}, "100", "MB"), kReserved, 0, 0},
        {"a saved size below 10 MiB", drivesAt(2), plain(1, {0, 1}, "5", "MB"), kReserved, 0, 3},
        {"a chunk that fits no extent of one member", oneSmall, plain(1, {0, 1}, "1", "GB"), kReserved, 0, 2},
        // 2^32 sectors over four: 2^30 each, on members of 2^31.
        {"2 TiB without 64-bit addressing", drivesAt(4, 1ull << 31), plain(0, {0, 1, 2, 3}, "2097142", "MB"),
         kReserved, 0, 7},
        {"2 TiB on members of only 2^30", drivesAt(4, 1ull << 30), plain(0, {0, 1, 2, 3}, "2097142", "MB"), kReserved,
         0, 2},
        {"2 TiB with 64-bit addressing", drivesAt(4, 1ull << 31), plain(0, {0, 1, 2, 3}, "2097142", "MB"),
         std::string(kReserved) + "feat64BitLBA=\"1\"", 0, 0},
        {"a JBOD member of a RAID 1", jbod, plain(1, {0, 1}, "100", "MB"), kReserved, 0, 4},
        {"a member in the cache pool", pooled, plain(1, {0, 1}, "100", "MB"), kReserved, 0, 4},
        {"a member with a task running", busy, plain(1, {0, 1}, "100", "MB"), kReserved, 0, 4},
        {"mixed interfaces", mixed, plain(1, {0, 1}, "100", "MB"), kReserved, 0, 6},
        {"mixed interfaces where allowed", mixed, plain(1, {0, 1}, "100", "MB"),
         std::string(kReserved) + "featMixedArrays=\"1\"", 0, 0},
        {"a member missing live", drivesAt(1), plain(1, {0, 1}, "100", "MB"), kReserved, 0, 4},
        {"a RAID 5 of two", drivesAt(2), plain(5, {0, 1}, "100", "MB"), kReserved, 0, 1},
        // Members of no size at all have no share to give.
        {"a spread volume over a drive of size 0", empty, plain(15, {0}, "100", "MB"), kReserved, 0, 2},
        // Forced, the chunk is rescaled by the saved drives' size.
        {"a saved smallest usable size of 0", noSizes, plain(1, {0, 1}, "100", "MB"), kReserved, 1, 1},
        {"forced with saved sizes", drivesAt(2), plain(1, {0, 1}, "100", "MB"), kReserved, 1, 0},
    };
    for (const Case& c : cases) {
        Recorder rec;
        std::vector<DriveXml> liveDrives = c.drives;
        TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(liveDrives, {}, c.attributes)));
        std::vector<DriveXml> savedDrives = c.drives;
        while (savedDrives.size() < 4)
            savedDrives.push_back(drivesAt(4)[savedDrives.size()]);
        // Saved chunks name their drives through the drives' own chunks.
        for (DriveXml& d : savedDrives)
            d.reservedChunk = true;
        TreePtr<VynSystem> saved = savedSystem(controllerXml(savedDrives, {c.logical}));
        EXPECT_EQ(specCode(*live, live->getAdapter(0), savedLogical(*saved, 0), c.force), c.code) << c.what;
    }
    vynreplay::force = 0;
}

TEST_F(VynReplayTest, AChosenChunkIsCutBelowTwoTebibytesWithout64BitAddressing)
{
    Recorder rec;
    TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drivesAt(4, 1ull << 31), {})));
    VynSystem::ReplayState& st = live->replayState();
    st.spec.reset(new LogicalDriveSpec());
    for (unsigned d = 0; d < 4; ++d)
        st.spec->addChunk(0, d, 0, 0, 0, static_cast<EnumChunkType>(0));
    unsigned long long chunk = 0;
    ASSERT_EQ(live->findChunkSpace(live->getAdapter(0), chunk, RAID_LEVEL_0, 4), 0);
    EXPECT_EQ(chunk, (2097151ull / 4) * 2048);
    for (const ChunkSpec& c : st.spec->chunks) {
        EXPECT_EQ(c.getNumBlocks(), chunk);
        EXPECT_EQ(c.getStartBlock(), 128u);
    }
}

TEST_F(VynReplayTest, ASpreadVolumeNeverStartsAtSectorZero)
{
    for (bool reservedStart : {false, true}) {
        Recorder rec;
        std::vector<DriveXml> drives = drivesAt(1);
        drives[0].reservedChunk = false;
        const std::string attributes =
            reservedStart ? kReserved : "reservedInBeginning=\"0\" reservedInEnd=\"2048\" ";
        TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drives, {}, attributes)));
        LogicalXml simple;
        simple.level = 15;
        simple.members = {0};
        TreePtr<VynSystem> saved = savedSystem(controllerXml(drivesAt(2), {simple}));
        EXPECT_EQ(specCode(*live, live->getAdapter(0), savedLogical(*saved, 0)), reservedStart ? 0 : 2);
        if (reservedStart) {
            ASSERT_EQ(live->replayState().spec->chunks.size(), 1u);
            EXPECT_EQ(live->replayState().spec->chunks[0].getStartBlock(), 128u);
        }
    }
}

TEST_F(VynReplayTest, AJbodDriveAsAOneDriveSimpleVolumeOfTheWholeDriveIsPromoted)
{
    Recorder rec;
    std::vector<DriveXml> drives = drivesAt(1);
    drives[0].extra = "jbod=\"true\"";
    TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drives, {})));
    LogicalXml simple;
    simple.level = 15;
    simple.members = {0};
    TreePtr<VynSystem> saved = savedSystem(controllerXml(drivesAt(2), {simple}));
    VynSystem& sys = *live;
    VynSystem::ReplayState& st = sys.replayState();
    st.spec.reset(new LogicalDriveSpec());
    st.stripeKB = 256;
    // Only a whole-drive request reaches the promotion: any saved size is
    // at least 10 MiB, below the smallest size a drive may be asked for.
    st.requestedSize = 0;
    unsigned n = 0;
    ASSERT_TRUE(sys.buildChunkSpec(savedLogical(*saved, 0), {0, 0}, 2, n));
    ASSERT_EQ(sys.buildLogicalDriveSpec(live->getAdapter(0), savedLogical(*saved, 0), n), 0);
    EXPECT_TRUE(st.promoteJbod);
    ASSERT_EQ(st.spec->chunks.size(), 1u);
    const unsigned long long free = (1ull << 24) - 128 - 2048;
    EXPECT_EQ(st.spec->chunks[0].getStartBlock(), 128u);
    EXPECT_EQ(st.spec->chunks[0].getNumBlocks(), free - free % 2048);
}

// ---------------------------------------------------------------------------
// Legs of spanned arrays, legs across enclosures, RAID volumes

TEST_F(VynReplayTest, LegsOfSpannedArrays)
{
    struct Case {
        const char* what;
        int level;
        std::vector<long> enclosures;  // per member; -1 unset
        std::vector<unsigned long> groups;
        int legs;
        bool redundant;
    };
    const Case cases[] = {
        {"RAID 10 over 6", 9, {-1, -1, -1, -1, -1, -1}, {0, 0, 1, 1, 2, 2}, 3, false},
        {"RAID 10 over 4 in two enclosures", 9, {0, 0, 1, 1}, {1, 0, 1, 0}, 2, true},
        {"RAID 10 over 6 in three enclosures", 9, {0, 0, 1, 1, 2, 2}, {0, 0, 1, 1, 2, 2}, 2, false},
        {"RAID 50 over 6 in two enclosures", 11, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, 3, false},
        {"RAID 50 over 9 in three enclosures", 11, {0, 0, 0, 1, 1, 1, 2, 2, 2}, {2, 1, 0, 2, 1, 0, 2, 1, 0}, 3, true},
        {"RAID 50 over 8 unevenly", 11, {0, 0, 0, 1, 1, 1, 2, 2}, {0, 0, 0, 0, 1, 1, 1, 1}, 2, false},
        {"RAID 60 over 8 in four enclosures", 17, {0, 1, 2, 3, 0, 1, 2, 3}, {1, 1, 1, 1, 0, 0, 0, 0}, 2, true},
        {"RAID 50 over 6, one enclosure unset", 11, {0, 0, 0, 1, 1, -1}, {0, 0, 0, 1, 1, 1}, 2, false},
    };
    for (const Case& c : cases) {
        Recorder rec;
        std::vector<DriveXml> drives = drivesAt(static_cast<unsigned>(c.enclosures.size()));
        for (std::size_t i = 0; i < drives.size(); ++i) {
            drives[i].enclosure = c.enclosures[i];
            drives[i].slot = c.enclosures[i] < 0 ? -1 : static_cast<long>(i);
        }
        TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drives, {})));
        VynSystem::ReplayState& st = live->replayState();
        st.spec.reset(new LogicalDriveSpec());
        for (std::size_t i = 0; i < drives.size(); ++i)
            st.spec->addChunk(0, i, 0, 0, 0, static_cast<EnumChunkType>(0));
        st.driveCount = static_cast<unsigned>(drives.size());
        st.raidLevel = static_cast<EnumRaidLevel>(c.level);
        st.legs = 2;
        st.enclRedundancy = false;
        ASSERT_EQ(live->setSpannedArrays(), 0) << c.what;
        live->configEnclRedundancy(live->getAdapter(0));
        EXPECT_EQ(groups(*live), c.groups) << c.what;
        EXPECT_EQ(st.legs, c.legs) << c.what;
        EXPECT_EQ(st.enclRedundancy, c.redundant) << c.what;
    }
}

TEST_F(VynReplayTest, ARaid10ReplayedAfterItsLegsWereSplitStillSplitsARaid50InTwo)
{
    Recorder rec;
    TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drivesAt(6), {})));
    LogicalXml raid10;
    raid10.level = 9;
    raid10.members = {0, 1, 2, 3, 4, 5};
    LogicalXml raid50 = raid10;
    raid50.id = 1;
    raid50.level = 11;
    TreePtr<VynSystem> saved = savedSystem(controllerXml(withLeadingEntry(drivesAt(6)), {raid10, raid50}));
    for (unsigned id : {0u, 1u}) {
        LogicalDrive* ld = savedLogical(*saved, id);
        ASSERT_TRUE(live->sizeInSectors(ld->getUserSize(), ld->getUserSizeUnit()));
        EXPECT_EQ(live->createLogical(live->getAdapter(0), ld).getReturn(), 0) << id;
    }
    ASSERT_EQ(rec.specs.size(), 2u);
    std::vector<unsigned long> legs;
    for (const ChunkSpec& c : rec.specs[1].chunks)
        legs.push_back(c.getGroupNum());
    EXPECT_EQ(legs, (std::vector<unsigned long>{0, 0, 0, 1, 1, 1}));
}

TEST_F(VynReplayTest, ARaidVolumeTakesItsLegsByNameAndPassesOverALegWithoutANamesake)
{
    Recorder rec;
    LogicalXml legA;
    legA.id = 1;
    legA.name = "LegA";
    legA.members = {0, 1};
    legA.extra = "dataSpace=\"409600\"";
    LogicalXml other = legA;
    other.id = 2;
    other.name = "Other";
    other.members = {2, 3};
    TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drivesAt(4), {other, legA})));
    LogicalXml legB = legA;
    legB.id = 2;
    legB.name = "LegB";
    legB.members = {2, 3};
    LogicalXml volume;
    volume.level = 14;
    volume.name = "Vol";
    volume.legs = {legA, legB};
    TreePtr<VynSystem> saved = savedSystem(controllerXml(drivesAt(5), {volume}));
    LogicalDrive* ld = savedLogical(*saved, 0);
    ASSERT_EQ(ld->getSecondLevelLogicalVector().size(), 2u);
    vynreplay::logicalNumVector = ld->getSecondLevelLogicalVector();

    ASSERT_EQ(live->createLogical(live->getAdapter(0), ld).getReturn(), 0);
    ASSERT_EQ(rec.specs.size(), 1u);
    const LogicalDriveSpec& spec = rec.specs[0];
    EXPECT_STREQ(spec.getName(), "Vol");
    ASSERT_EQ(spec.chunks.size(), 1u);
    EXPECT_EQ(spec.chunks[0].getLogicalDriveID(), 1u);
    EXPECT_EQ(spec.chunks[0].getChannelID(), ChunkSpec::UNSET_ID);

    // One leg alone is no volume.
    vynreplay::logicalNumVector.resize(1);
    EXPECT_EQ(live->createLogical(live->getAdapter(0), ld).getReturn(), -9);
    vynreplay::logicalNumVector.clear();
}

// ---------------------------------------------------------------------------
// Slot mapping and the safety check

// Live drives 10 and 11 in enclosure 1, slots 0 and 1.
std::vector<DriveXml> slottedLive(bool chunks = true)
{
    std::vector<DriveXml> drives = drivesAt(2);
    for (unsigned i = 0; i < 2; ++i) {
        drives[i].device = 10 + i;
        drives[i].enclosure = 1;
        drives[i].slot = i;
        drives[i].reservedChunk = chunks;
    }
    return drives;
}

class VynReplaySlotTest : public VynReplayTest {
protected:
    // Maps `savedXml` onto the slotted live drives with `force`.
    bool map(const std::string& savedXml, int force, bool liveChunks = true)
    {
        live.reset(new RecordingSystem(rec, controllerXml(slottedLive(liveChunks), {})));
        saved = savedSystem(savedXml);
        vynreplay::force = force;
        vynreplay::retFlag = false;
        live->replayState().log = std::fopen(logPath.c_str(), "a");
        const bool ok = live->assignDeviceIDfromSlotID(*saved, *live);
        std::fclose(live->replayState().log);
        live->replayState().log = nullptr;
        vynreplay::force = 0;
        return ok;
    }
    unsigned long savedDevice(unsigned index) { return saved->getAdapter(0)->getHardDrive(index)->getDeviceID(); }

    Recorder rec;
    TreePtr<RecordingSystem> live;
    TreePtr<VynSystem> saved;
};

TEST_F(VynReplaySlotTest, SavedDrivesTakeTheAddressOfTheLiveDriveInTheirSlot)
{
    std::vector<DriveXml> drives = drivesAt(3);
    drives[1].enclosure = 1;
    drives[1].slot = 1;
    drives[2].enclosure = 1;  // no slot: neither matched nor logged
    ASSERT_TRUE(map(controllerXml(drives, {}), 0));
    EXPECT_EQ(savedDevice(1), 11u);
    EXPECT_EQ(savedDevice(2), 2u);
    EXPECT_EQ(logText(), "");
}

TEST_F(VynReplaySlotTest, MissesAreLoggedAndStopTheMappingOnlyWithoutForce)
{
    std::vector<DriveXml> drives = drivesAt(3);
    drives[1].enclosure = 5;
    drives[1].slot = 3;
    drives[2].enclosure = 1;
    drives[2].slot = 1;
    for (int force : {0, 2}) {
        EXPECT_EQ(map(controllerXml(drives, {}), force), force != 0) << force;
        EXPECT_EQ(vynreplay::retFlag, force != 0) << force;
        // Forced, the mapping goes on to the next drive.
        EXPECT_EQ(savedDevice(2), force != 0 ? 11u : 2u) << force;
    }
    EXPECT_EQ(logCount("   The EnclosureID/SlotID specified in Input XML is not present in the current system. "
                       "EnclosureID = 5  SlotID = 3\n"),
              2u)
        << logText();
}

TEST_F(VynReplaySlotTest, ChunksMapThroughTheLiveDrivesOwnChunks)
{
    LogicalXml l;
    l.members = {0, 1};
    l.chunkExtra = "enclosureID=\"1\" slotID=\"1\"";
    struct Case {
        const char* what;
        unsigned id;
        bool liveChunks;
        bool mapped;
    } cases[] = {
        {"a drive with a chunk in the slot", 0, true, true},
        {"a drive without chunks in the slot", 0, false, false},
        {"no saved drive at the index of the id", 5, true, false},
    };
    for (const Case& c : cases) {
        l.id = c.id;
        std::remove(logPath.c_str());
        EXPECT_EQ(map(controllerXml(drivesAt(2), {l}), 0, c.liveChunks), c.mapped) << c.what;
        LogicalDrive* ld = saved->getAdapter(0)->getLogicalDrive(0);
        EXPECT_EQ(ld->getHardDrive(0)->getDeviceID(), c.mapped ? 11u : 0u) << c.what;
        EXPECT_EQ(logText().empty(), c.mapped) << c.what << logText();
        if (!c.mapped) {
            EXPECT_NE(logText().find("EnclosureID = 1 SlotID = 1\n"), std::string::npos) << c.what << logText();
        }
    }
}

TEST_F(VynReplayTest, TwoMirrorsOnTheSameDrivesFailTheSafetyCheckAtTheSecond)
{
    // 60 % of a drive's usable blocks, less the 10 MiB every request adds.
    const unsigned long long usable = (1ull << 24) - 128 - 2048;
    const std::string size = std::to_string(usable * 6 / 10 / 2048 - 10);
    for (unsigned count : {1u, 2u}) {
        Recorder rec;
        TreePtr<RecordingSystem> live(new RecordingSystem(rec, controllerXml(drivesAt(2), {})));
        std::vector<LogicalXml> mirrors;
        for (unsigned i = 0; i < count; ++i) {
            LogicalXml l;
            l.id = i;
            l.size = size;
            l.members = {0, 1};
            mirrors.push_back(l);
        }
        TreePtr<VynSystem> saved = savedSystem(controllerXml(withLeadingEntry(drivesAt(2)), mirrors));
        std::remove(logPath.c_str());
        live->replayState().log = std::fopen(logPath.c_str(), "a");
        EXPECT_EQ(live->isSafeConfig(*saved, *live), count == 1) << count;
        std::fclose(live->replayState().log);
        live->replayState().log = nullptr;
        // The check found no room and wrote nothing of its own.
        EXPECT_EQ(logText(), "") << count;
        EXPECT_FALSE(vynreplay::retFlagSafeConfig);
    }
}

// ---------------------------------------------------------------------------
// The replay

struct ReplayCase {
    std::string liveAttributes = kReserved;
    std::string savedAttributes = kReserved;
    std::vector<LogicalXml> logicals;
    unsigned liveDrives = 2;
    unsigned savedDrives = 3;  // one entry more than live
};

class VynReplayRunTest : public VynReplayTest {
protected:
    Ret run(const ReplayCase& s, int force, const std::string& next = "")
    {
        live.reset(new RecordingSystem(rec, controllerXml(drivesAt(s.liveDrives), {}, s.liveAttributes)));
        if (!next.empty())
            live->next = next;
        std::vector<DriveXml> savedDrives = drivesAt(s.savedDrives - 1);
        saved = savedSystem(controllerXml(withLeadingEntry(savedDrives), s.logicals, s.savedAttributes));
        return replay(*live, *saved, force);
    }

    Recorder rec;
    TreePtr<RecordingSystem> live;
    TreePtr<VynSystem> saved;
};

TEST_F(VynReplayRunTest, AnUnwritableLogEndsTheReplayBeforeAnything)
{
    logPath = root() + "/no/such/dir/replay.log";
    testing::internal::CaptureStdout();
    const Ret ret = run(ReplayCase(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n Unable to find log file \n");
    EXPECT_EQ(ret.getReturn(), -3);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(VynReplayRunTest, CopyBackIsSentAndLoggedEvenWhenTheStatesAgree)
{
    ReplayCase s;
    s.liveAttributes += "copyBackEnabled=\"false\"";
    s.savedAttributes += "copyBackEnabled=\"false\"";
    EXPECT_EQ(run(s, 0).getReturn(), 0);
    EXPECT_EQ(rec.calls, std::vector<std::string>{"0:setCopyBack"});
    EXPECT_EQ(logCount("   Controller 0   copy back has been applied successfully. \n"), 1u) << logText();
}

TEST_F(VynReplayRunTest, NcqIsComparedOnlyWhereSupported)
{
    struct Case {
        const char* live;
        const char* saved;
        int result;
        const char* line;
    } cases[] = {
        {"sataNCQSupported=\"false\" sataNCQEnabled=\"false\"", "sataNCQEnabled=\"true\"", 0, nullptr},
        {"sataNCQSupported=\"true\" sataNCQEnabled=\"true\"", "sataNCQEnabled=\"true\"", 0,
         "Controller 0   NCQ state is same as in the input XML.\n"},
        {"sataNCQSupported=\"true\" sataNCQEnabled=\"false\"", "sataNCQEnabled=\"true\"", -200,
         "Controller 0   NCQ state has been applied successfully.\n"},
    };
    for (const Case& c : cases) {
        std::remove(logPath.c_str());
        ReplayCase s;
        s.liveAttributes += c.live;
        s.savedAttributes += c.saved;
        EXPECT_EQ(run(s, 0).getReturn(), c.result) << c.live;
        if (c.line == nullptr) {
            EXPECT_EQ(logText().find("NCQ"), std::string::npos) << logText();
        } else {
            EXPECT_EQ(logCount(c.line), 1u) << logText();
        }
    }
}

TEST_F(VynReplayRunTest, ForceDecidesWhichFailuresEndTheReplay)
{
    LogicalXml mirror;
    mirror.members = {0, 1};
    struct Case {
        const char* what;
        const char* failing;
        int force;
        int result;
        bool created;
    } cases[] = {
        {"a failed setting without force", "setCopyBack", 0, -5, false},
        {"a failed setting under force 2", "setCopyBack", 2, -5, false},
        {"a failed setting under force 1", "setCopyBack", 1, -9, true},
        {"a failed logical drive without force", "createLogicalDrive", 0, -5, true},
        {"a failed logical drive under force 2", "createLogicalDrive", 2, -9, true},
    };
    for (const Case& c : cases) {
        rec = Recorder();
        rec.answers[c.failing] = -5;
        ReplayCase s;
        s.logicals = {mirror};
        EXPECT_EQ(run(s, c.force).getReturn(), c.result) << c.what;
        EXPECT_EQ(rec.called("createLogicalDrive"), c.created) << c.what;
    }
    EXPECT_NE(logText().find("Controller 0   copy back apply action failed. \n"), std::string::npos);
    EXPECT_NE(logText().find("Controller 0   Logical Drive 0   Error in creating logical drive. \n"),
              std::string::npos)
        << logText();
}

TEST_F(VynReplayRunTest, TheSavedDriveListHoldsOneEntryMoreThanTheLiveOne)
{
    struct Case {
        unsigned saved;
        int result;
    } cases[] = {{3, 0}, {2, -1}, {4, -1}};
    for (const Case& c : cases) {
        std::remove(logPath.c_str());
        ReplayCase s;
        s.savedDrives = c.saved;
        EXPECT_EQ(run(s, 2).getReturn(), c.result) << c.saved;
        EXPECT_EQ(logCount("Unequal physical drives in Controller 0    : The physical drives from input XML varies "
                           "from actual physical drives present in the system. \n"),
                  c.result == 0 ? 0u : 1u)
            << logText();
    }
}

TEST_F(VynReplayRunTest, TwoReplaysInOneProcessReportIndependently)
{
    rec.answers["setCopyBack"] = -5;
    EXPECT_EQ(run(ReplayCase(), 1).getReturn(), -9);
    rec.answers.clear();
    EXPECT_EQ(run(ReplayCase(), 1).getReturn(), 0);
}

TEST_F(VynReplayRunTest, ReplayedLogicalDrivesEndUpOnTheNewestControllerObject)
{
    LogicalXml legA;
    legA.id = 1;
    legA.name = "LegA";
    legA.members = {0, 1};
    legA.extra = "dataSpace=\"409600\"";
    LogicalXml legB = legA;
    legB.id = 2;
    legB.name = "LegB";
    legB.members = {2, 3};
    LogicalXml volume;
    volume.level = 14;
    volume.name = "Vol";
    volume.legs = {legA, legB};
    ReplayCase s;
    s.liveDrives = 4;
    s.savedDrives = 5;
    s.logicals = {volume};
    // After the legs the controller shows them.
    LogicalXml liveA = legA;
    LogicalXml liveB = legB;
    liveA.id = 0;
    liveB.id = 1;
    EXPECT_EQ(run(s, 0, controllerXml(drivesAt(4), {liveA, liveB})).getReturn(), 0) << logText();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"0:setCopyBack", "0:createLogicalDrive", "0:createLogicalDrive",
                                                   "1:createLogicalDrive"}));
    ASSERT_EQ(rec.specs.size(), 3u);
    ASSERT_EQ(rec.specs[2].chunks.size(), 2u);
    EXPECT_EQ(rec.specs[2].chunks[0].getLogicalDriveID(), 0u);
    EXPECT_EQ(rec.specs[2].chunks[1].getLogicalDriveID(), 1u);
    EXPECT_EQ(live->rebuilds, 2);
    EXPECT_EQ(logCount("Controller 0   RAID Volume 0  Second level logical drive 1   Logical drive has been applied "
                       "successfully. \n"),
              1u)
        << logText();
    EXPECT_EQ(logCount("Controller 0   RaidVolume 0   Raid Volume has been created successfully. \n"), 1u);
}

TEST_F(VynReplayRunTest, ADriveMissingFromTheRebuiltControllerIsALoggedFailure)
{
    LogicalXml mirror;
    mirror.members = {0, 1};
    mirror.extra = "pmEnabled=\"true\"";
    ReplayCase s;
    s.logicals = {mirror};
    EXPECT_EQ(run(s, 0).getReturn(), -1);
    EXPECT_EQ(logCount("Controller 0   Logical Drive 0   Error in applying logical drive setPMEnabled(). \n"), 1u)
        << logText();
}

TEST_F(VynReplayRunTest, AForcedPowerManagementFailureGoesOnWithTheNextSavedDrive)
{
    // Two saved mirrors with power management; the first drive's first or
    // second power-management request fails under force.
    LogicalXml first;
    first.members = {0, 1};
    first.extra = "pmEnabled=\"true\" pmState=\"2\"";
    LogicalXml second = first;
    second.id = 1;
    second.members = {2, 3};
    LogicalXml madeFirst;
    LogicalXml madeSecond;
    madeSecond.id = 1;
    struct Case {
        const char* failing;
        std::vector<std::string> calls;  // the power-management requests, in order
        unsigned timersLines;            // power-management timer lines logged
    } cases[] = {
        {"setPMEnabled", {"1:setPMEnabled", "2:setPMEnabled", "2:setPMTimers"}, 1},
        {"setPMTimers", {"1:setPMEnabled", "1:setPMTimers", "2:setPMEnabled", "2:setPMTimers"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        std::remove(logPath.c_str());
        rec = Recorder();
        rec.failOnce.insert(c.failing);
        live.reset(new RecordingSystem(rec, controllerXml(drivesAt(4), {})));
        live->made = {logicalXml(madeFirst), logicalXml(madeSecond)};
        saved = savedSystem(controllerXml(withLeadingEntry(drivesAt(4)), {first, second}));
        EXPECT_EQ(replay(*live, *saved, 2).getReturn(), -9) << logText();

        std::vector<std::string> pm;
        for (const std::string& call : rec.calls)
            if (call.find(":setPM") != std::string::npos)
                pm.push_back(call);
        EXPECT_EQ(pm, c.calls);
        EXPECT_EQ(logCount("Logical drive power management timers has been applied successfully") +
                      logCount("Error in applying logical drive power management timers"),
                  c.timersLines)
            << logText();
        // The state is stored only on the drive whose requests both succeeded:
        // the first rebuild's controller holds the first drive, the second's
        // the second.
        ASSERT_EQ(live->getAdapters().size(), 3u);
        EXPECT_NE(live->getAdapters()[1]->getLogicalDrive(0)->getPMState(), static_cast<EnumLogicalDevicePMState>(2));
        EXPECT_EQ(live->getAdapters()[2]->getLogicalDrive(1)->getPMState(), static_cast<EnumLogicalDevicePMState>(2));
    }
}

TEST_F(VynReplayRunTest, ALogicalDriveWithoutMembersOrOnAControllerWithDrivesIsRefused)
{
    LogicalXml empty;
    ReplayCase s;
    s.logicals = {empty};
    EXPECT_EQ(run(s, 2).getReturn(), -9);
    EXPECT_EQ(logCount("Logical Drive 0   Error in creating logical drive. No Physical drive found with specified "
                       "DeviceID. \n"),
              1u)
        << logText();
    // Without force the safety check refuses a controller that has logical
    // drives already.
    std::remove(logPath.c_str());
    LogicalXml mirror;
    mirror.members = {0, 1};
    live.reset(new RecordingSystem(rec, controllerXml(drivesAt(2), {mirror})));
    saved = savedSystem(controllerXml(drivesAt(3), {mirror}));
    rec.calls.clear();
    EXPECT_EQ(replay(*live, *saved, 0).getReturn(), -1);
    EXPECT_EQ(logCount("Could not apply the new configuration. There are one or more logical existing in the "
                       "Controller 0.\n"),
              1u)
        << logText();
    EXPECT_TRUE(rec.calls.empty());
}

// ---------------------------------------------------------------------------
// Over the simulated controller

const char* const kFiveDrives =
    "[hostsim]\npersist = 0\n[adapter0]\n"
    "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\n"
    "drive4 = 0:4 sas 146G\n";

class VynReplaySimTest : public vyntest::FamilyTest {
protected:
    void start(const std::string& extra)
    {
        UtilFreeHandleResources();
        startSimulator(kFiveDrives + extra);
        sim().setSleepScale(0);
    }
};

TEST_F(VynReplaySimTest, AfterTwoRebuildsOnlyTheNewestObjectOfAControllerOwnsItsHandle)
{
    start("");
    VynLib lib;
    ASSERT_EQ(lib.getSystemConfig().getReturn(), 0);
    for (int round = 0; round < 2; ++round) {
        Ret ret(0);
        lib.getSystem()->buildChildren(&lib, ret);
    }
    ASSERT_EQ(lib.getNumVynAdapters(), 3u);
    for (unsigned long i = 0; i < 3; ++i) {
        const VynAdapter* adapter = lib.getVynAdapter(i);
        ASSERT_NE(adapter->getAdapterHandle(), nullptr);
        // Each handle is closed once, by the object that holds it last.
        EXPECT_EQ(adapter->isReusingFsaHandle(), i != 2) << i;
    }
}

TEST_F(VynReplaySimTest, ASavedConfigurationReplaysOntoAFreshControllerOfTheSameShape)
{
    start("ld0 = raid1 0:0,0:1 name=Mirror\nld2 = raid0 0:2,0:3 name=Stripe\n");
    std::string xml;
    {
        VynLib lib;
        char* out = nullptr;
        ASSERT_EQ(lib.getSystemConfig(&out).getReturn(), 0);
        xml = out;
        lib.freeBuffer(out);
    }
    // The user's sizes: the controller's own form carries none.
    const std::string tag = "<LogicalDrive typeName=\"VynBasicLogicalDrive\" ";
    unsigned sized = 0;
    for (size_t at = xml.find(tag); at != std::string::npos; at = xml.find(tag, at + 1)) {
        xml.insert(at + tag.size(), "size=\"1\" sizeUnit=\"GB\" ");
        ++sized;
    }
    ASSERT_EQ(sized, 2u);

    start("");
    const std::string log = root() + "/replay.log";
    {
        VynLib lib;
        std::vector<char> text(xml.begin(), xml.end());
        text.push_back('\0');
        char* input = text.data();
        std::string logFile = log;
        const Ret ret = lib.playConfig(&input, static_cast<long>(text.size()), static_cast<EnumForceOption>(2),
                                       &logFile[0], false);
        // The drives were created; a saved list of the live length fails
        // the drive step, which force 2 does not pass over.
        EXPECT_EQ(ret.getReturn(), -1) << vyntest::readFile(log);
    }
    const std::string replayLog = vyntest::readFile(log);
    EXPECT_NE(replayLog.find("Controller 0   Logical Drive 0   Logical drive has been applied successfully. \n"),
              std::string::npos)
        << replayLog;
    EXPECT_NE(replayLog.find("Controller 0   Logical Drive 2   Logical drive has been applied successfully. \n"),
              std::string::npos)
        << replayLog;

    // What the next run of the program sees.
    UtilFreeHandleResources();
    VynLib next;
    ASSERT_EQ(next.getSystemConfig().getReturn(), 0);
    Adapter* adapter = next.getSystem()->getAdapter(0);
    ASSERT_NE(adapter, nullptr);
    ASSERT_EQ(adapter->getNumLogicalDrives(), 2u);
    EXPECT_STREQ(adapter->getLogicalDrive(0)->getName(), "Mirror");
    EXPECT_EQ(adapter->getLogicalDrive(0)->getRaidLevel(), RAID_LEVEL_1);
    EXPECT_EQ(adapter->getLogicalDrive(0)->getNumHardDrives(), 2u);
    EXPECT_STREQ(adapter->getLogicalDrive(1)->getName(), "Stripe");
    EXPECT_EQ(adapter->getLogicalDrive(1)->getRaidLevel(), RAID_LEVEL_0);
    // 1 GiB and the 10 MiB the replay adds, over two drives, aligned up
    // to the stripe.
    EXPECT_GE(adapter->getLogicalDrive(1)->getDataSpace(), (1024ull + 10) * 2048);
}

}  // namespace
