// Several simulators, in one process or two, over one host root: every change
// one of them makes is seen by the other at its next request and none is
// lost, although each keeps its derived views between requests; a state file
// of an earlier build reads into the same configuration; the digest that
// decides a save notices a change of any saved value.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kGlobalPool = 0x80000000u;
constexpr uint32_t kSpareSlice = 4;  // drive4 = 0:4 holds slice 4

const char kController[] = "[adapter0]\n"
                           "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\n"
                           "drive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\n"
                           "ld0 = raid5 0:0,0:1,0:2 name=Data\n";

// One simulator's side of the exchange: container requests on its own
// descriptor of /dev/ulb0.
class Side {
public:
    explicit Side(SimHostIo& io) : io_(io)
    {
        if (io_.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)) != 0 && errno != EEXIST)
            ok_ = false;
        fd_ = io_.open("/dev/ulb0", O_RDWR);
        ok_ = ok_ && fd_ >= 0;
    }
    ~Side()
    {
        if (fd_ >= 0)
            io_.close(fd_);
    }
    bool ok() const { return ok_; }

    void rename(const std::string& name)
    {
        std::vector<uint8_t> label(name.begin(), name.end());
        label.resize(16, 0);
        expect(command(131, 0, 0, 0, label), 218);
    }
    std::string name()
    {
        const std::vector<uint8_t> fib = command(130, 0, 0, 16);
        expect(fib, 218);
        return std::string(reinterpret_cast<const char*>(fib.data() + 64), strnlen(reinterpret_cast<const char*>(fib.data() + 64), 16));
    }
    void setSpare(bool on) { expect(command(on ? 41 : 42, kGlobalPool, kSpareSlice), 82); }
    // The slices of the global pool (CT 43).
    std::vector<uint32_t> spares()
    {
        const std::vector<uint8_t> fib = command(43, kGlobalPool, 0, 260);
        expect(fib, 86);
        std::vector<uint32_t> out;
        const uint32_t n = getLe32(fib.data() + 64);
        for (uint32_t i = 0; i < n && i < 64; ++i)
            out.push_back(getLe32(fib.data() + 68 + 4 * i));
        return out;
    }

private:
    std::vector<uint8_t> command(uint32_t code, uint32_t p0, uint32_t p1 = 0, uint32_t capacity = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib(512, 0);
        putLe32(fib.data(), 0x00100001);
        putLe16(fib.data() + 4, 500);
        fib[6] = 1;
        putLe16(fib.data() + 8, static_cast<uint16_t>(32 + std::max<size_t>(input.size(), 432)));
        putLe16(fib.data() + 10, 512);
        putLe32(fib.data() + 32, 2);
        putLe32(fib.data() + 36, code);
        putLe32(fib.data() + 40, p0);
        putLe32(fib.data() + 44, p1);
        putLe32(fib.data() + 52, 0xFFFFFFFFu);
        putLe32(fib.data() + 60, capacity);
        if (!input.empty())
            std::memcpy(fib.data() + 64, input.data(), input.size());
        if (io_.ioctl(fd_, 0x42008, fib.data()) != 0 || getLe32(fib.data() + 32) != 0)
            ok_ = false;
        return fib;
    }
    void expect(const std::vector<uint8_t>& fib, uint32_t status)
    {
        if (getLe32(fib.data() + 40) != status)
            ok_ = false;
    }

    SimHostIo& io_;
    int fd_ = -1;
    bool ok_ = true;
};

bool holds(const std::vector<uint32_t>& slices, uint32_t slice)
{
    return std::find(slices.begin(), slices.end(), slice) != slices.end();
}

class PersistenceTest : public vyntest::SimulatorTest {};

TEST_F(PersistenceTest, TwoSimulatorsAlternatingChangesSeeEachOtherAndLoseNone)
{
    Simulator a(kController);
    Simulator b(kController);
    Side renamer(a.io());
    Side assigner(b.io());
    ASSERT_TRUE(renamer.ok() && assigner.ok());
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string name = "Name" + std::to_string(round);
        const bool spare = round % 2 == 0;
        renamer.rename(name);
        // The other simulator's next request sees the rename, and its own
        // change does not undo it.
        EXPECT_EQ(assigner.name(), name);
        assigner.setSpare(spare);
        EXPECT_EQ(holds(renamer.spares(), kSpareSlice), spare);
        EXPECT_EQ(renamer.name(), name);
        EXPECT_EQ(holds(assigner.spares(), kSpareSlice), spare);
    }
    EXPECT_TRUE(renamer.ok() && assigner.ok());
    // What the state file holds at the end has both: the last name, and the
    // spare taken back in the last round.
    const std::string state = vyntest::readFile(hostFile("/var/lib/hostsim/adapter0.state"));
    EXPECT_NE(state.find("\ndrive4 = 0:4 sas 146G\n"), std::string::npos) << state;
    EXPECT_NE(state.find("container0.label = \"4E616D653539\""), std::string::npos) << state;  // "Name59"
}

// Two processes pass the turn through pipes: each checks that it sees what
// the other did in its turn, then makes its own change.
TEST_F(PersistenceTest, TwoProcessesAlternatingChangesSeeEachOtherAndLoseNone)
{
    constexpr int kRounds = 40;
    {
        Simulator seed(kController);  // writes the state file once
    }
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const bool renaming = child != 0;
    const int in = renaming ? toParent[0] : toChild[0];
    const int out = renaming ? toChild[1] : toParent[1];
    // Only the ends each side uses stay open: when one side ends early, the
    // other reads the end of its pipe instead of waiting.
    ::close(renaming ? toParent[1] : toChild[1]);
    ::close(renaming ? toChild[0] : toParent[0]);
    int failures = 0;
    {
        SimHostIo io(kController, "process");
        Side side(io);
        char turn = 0;
        for (int round = 0; round < kRounds; ++round) {
            const std::string name = "Name" + std::to_string(round);
            const bool spare = round % 2 == 0;
            if (renaming) {
                if (round > 0) {
                    failures += ::read(in, &turn, 1) != 1;
                    failures += holds(side.spares(), kSpareSlice) != !spare;  // the last round's spare
                }
                side.rename(name);
                failures += ::write(out, "r", 1) != 1;
            } else {
                failures += ::read(in, &turn, 1) != 1;
                failures += side.name() != name;
                side.setSpare(spare);
                failures += ::write(out, "s", 1) != 1;
            }
        }
        if (renaming) {
            failures += ::read(in, &turn, 1) != 1;
            failures += side.name() != "Name" + std::to_string(kRounds - 1);
            failures += holds(side.spares(), kSpareSlice) != ((kRounds - 1) % 2 == 0);
        }
        failures += !side.ok();
    }
    if (!renaming)
        ::_exit(failures == 0 ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(failures, 0);
    ::close(in);
    ::close(out);
}

// A state file that does not read as a whole is evidence of what went wrong
// and holds every change made so far: it is named on standard error, kept
// aside (never overwritten by a later damage) and only then replaced by the
// description.
TEST_F(PersistenceTest, ADamagedStateFileIsNamedKeptAsideAndStartsFromTheDescription)
{
    const std::string path = hostFile("/var/lib/hostsim/adapter0.state");
    struct Case {
        const char* damage;
        std::string (*damaged)(const std::string& good);
        std::string what;
    };
    const Case cases[] = {
        {"a foreign line", [](const std::string& good) { return good + "written by someone else\n"; },
         ": expected 'key = value', found 'written by someone else'"},
        {"cut short", [](const std::string& good) { return good.substr(0, good.find("\nld0 = ") + 8); },
         ": the state file ends inside a line"},
        {"cut at a line's end",
         [](const std::string& good) { return good.substr(0, good.find("[hostsim]")); },
         ": the state file ends before its [hostsim] seed, generation and clock_ms"},
        {"empty", [](const std::string&) { return std::string(); }, ": the state file is empty"},
    };
    int kept = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        {
            Simulator changer(kController);
            Side side(changer.io());
            side.rename("Changed");
            ASSERT_TRUE(side.ok());
        }
        const std::string damaged = c.damaged(vyntest::readFile(path));
        vyntest::writeFile(path, damaged);
        const size_t lines = std::count(damaged.begin(), damaged.end(), '\n');
        const size_t line = damaged.empty() ? 1 : damaged.back() == '\n' ? lines : lines + 1;
        const std::string keptAs = path + ".damaged-" + std::to_string(++kept);

        ::testing::internal::CaptureStderr();
        Simulator next(kController);
        Side side(next.io());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, "hostsim: " + path + ":" + std::to_string(line) + c.what + "; the damaged file is kept as " +
                            keptAs + "; starting from the description\n");
        EXPECT_EQ(vyntest::readFile(keptAs), damaged);
        EXPECT_TRUE(vyntest::fileExists(keptAs));
        // The description's name: a fresh start, written as a whole.
        EXPECT_EQ(side.name(), "Data");
        EXPECT_EQ(vyntest::readFile(path).find("written by someone else"), std::string::npos);
        ::testing::internal::CaptureStderr();
        { Simulator again(kController); }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    // Each damage was kept in a file of its own.
    for (int k = 1; k <= kept; ++k)
        EXPECT_TRUE(vyntest::fileExists(path + ".damaged-" + std::to_string(k)));

    // Damaged while a simulator runs: the next request names it, keeps it and
    // goes on from what this process last read, which it writes back.
    Simulator running(kController);
    Side side(running.io());
    side.rename("Running");
    vyntest::writeFile(path, vyntest::readFile(path) + "garbage\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(side.name(), "Running");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("hostsim: " + path + ":"), std::string::npos) << said;
    EXPECT_NE(said.find("kept as " + path + ".damaged-" + std::to_string(kept + 1) +
                        "; going on from the state this process read last\n"),
              std::string::npos)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_TRUE(side.ok());
    Simulator reader(kController);
    EXPECT_EQ(Side(reader.io()).name(), "Running");
}

// A writer killed between writing its temporary file and the rename leaves
// that file behind; the next simulator over the root removes it, but not the
// file of a writer that still runs.
TEST_F(PersistenceTest, TemporaryFilesOfKilledWritersAreRemoved)
{
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dir = hostFile("/var/lib/hostsim/");
    std::filesystem::create_directories(dir);
    const std::string dead[] = {dir + "adapter0.state." + std::to_string(gone) + ".tmp",
                                dir + "nodes." + std::to_string(gone) + ".tmp",
                                dir + "adapter0.flash.1." + std::to_string(gone) + ".tmp"};
    const std::string living = dir + "adapter0.state." + std::to_string(::getppid()) + ".tmp";
    const std::string other = dir + "notes.tmp";
    for (const std::string& f : dead)
        vyntest::writeFile(f, "[adapter0]\ntype_");
    vyntest::writeFile(living, "[adapter0]\n");
    vyntest::writeFile(other, "kept");
    Simulator s(kController);
    ASSERT_TRUE(s.ok());
    for (const std::string& f : dead)
        EXPECT_FALSE(vyntest::fileExists(f)) << f;
    EXPECT_TRUE(vyntest::fileExists(living));
    EXPECT_TRUE(vyntest::fileExists(other));
    EXPECT_TRUE(vyntest::fileExists(dir + "adapter0.state"));
}

std::string dumpView(const ConfigView& v)
{
    std::ostringstream o;
    for (const DriveView& d : v.drives)
        o << "drive " << d.index << " " << d.bus << ":" << d.target << ":" << d.lun << " blocks=" << d.blocks
          << " usable=" << d.usable << " slice=" << d.slice << " type=" << d.sliceType << " ondisk=" << d.ondisk << "\n";
    for (const LogDevView& l : v.logDevs) {
        o << "ld " << l.number << " handle=" << l.handle << " parent=" << l.parent << " raid=" << l.raidType
          << " blocks=" << l.blocks << " stripe=" << l.stripeBlocks << " name=" << l.name << "\n";
        for (const LogDevView::Member& m : l.members)
            o << "  member phy=" << m.phy << " log=" << m.log << " start=" << m.start << " blocks=" << m.blocks
              << " index=" << m.tableIndex << "\n";
    }
    return o.str();
}

TEST_F(PersistenceTest, AStateFileOfAnEarlierBuildReadsIntoTheSameConfiguration)
{
    std::filesystem::create_directories(hostFile("/var/lib/hostsim"));
    vyntest::writeFile(hostFile("/var/lib/hostsim/adapter0.state"),
                       vyntest::readFile(fixturePath("earlier-state.adapter0.state")));
    startFixture("earlier-state.conf");
    ASSERT_TRUE(sim().ok()) << sim().message();
    const ControllerState& c = sim().controller(0);
    // Taken, not reseeded from the description: what the earlier runs changed is there.
    EXPECT_EQ(c.generation, 2u);
    EXPECT_EQ(c.clockMs, 5000u);
    EXPECT_EQ(c.configAge, 3u);
    ASSERT_EQ(c.containerSettings.count(0), 1u);
    EXPECT_EQ(c.containerSettings.at(0).name, "Renamed");
    EXPECT_EQ(c.containerSettings.at(0).writeCache, 3u);
    ASSERT_EQ(c.tasks.size(), 2u);
    // Its running tasks (status 101 then) still run.
    EXPECT_EQ(c.tasks.at(1).status, ControllerState::Task::kRunning);
    EXPECT_EQ(c.tasks.at(4).status, ControllerState::Task::kRunning);
    EXPECT_EQ(c.objects.at("ld3"), "raid1 0:6,0:7 name=Made");
    EXPECT_EQ(dumpView(configurationOf(c)), vyntest::readFile(fixturePath("earlier-state.view")));
}

// main-state.adapter0.state was written by the simulator as it stood before
// sized two-level and RAID-1E containers kept their size, on `default`,
// by: CREATE 1000 MB RAID 1E on 0:4-0:6 and RAID 10 on 0:4-0:7, RAID 1 of
// 100 and 200 MB on 0:4-0:5 joined into a RAID volume, and SETNAME of
// "Data" to a name of 16 characters. It still loads, and its containers now
// hold what their creations asked for.
TEST_F(PersistenceTest, AStateFileOfTheFormerSizesLoadsWithTheSizesAskedFor)
{
    std::filesystem::create_directories(hostFile("/var/lib/hostsim"));
    vyntest::writeFile(hostFile("/var/lib/hostsim/adapter0.state"),
                       vyntest::readFile(fixturePath("main-state.adapter0.state")));
    startSimulator(defaultDescriptionText());
    ASSERT_TRUE(sim().ok()) << sim().message();
    const ControllerState& c = sim().controller(0);
    EXPECT_EQ(c.generation, 11u);
    EXPECT_EQ(c.objects.at("ld3"), "volume ld61,ld60 host=exposed");
    ASSERT_EQ(c.containerSettings.count(0), 1u);
    EXPECT_EQ(c.containerSettings.at(0).name, "SixteenCharsName");
    const ConfigView v = configurationOf(c);
    std::map<uint32_t, uint64_t> blocks;
    for (const LogDevView& l : v.logDevs)
        blocks[l.number] = l.blocks;
    EXPECT_EQ(blocks[1], 2048256u);  // 1000 MB of RAID 1E, as the library aligned it
    EXPECT_EQ(blocks[2], 2048000u);  // 1000 MB of RAID 10
    EXPECT_EQ(blocks[3], 614400u);   // 100 + 200 MB
    EXPECT_EQ(blocks[61], 204800u);
    EXPECT_EQ(blocks[60], 409600u);
}

// A value of another form for a key of the state file, or "" when the key's
// type has none to try.
std::vector<std::string> otherValues(const std::string& key, const std::string& value)
{
    const KeyDef* def = findKey(key);
    if (def == nullptr)
        return {};
    switch (def->type) {
    case KeyType::Integer: return {std::to_string((parseInteger(value) + 1) % (uint64_t{def->maxValue} + 1))};
    case KeyType::Wide: return {std::to_string(parseWide(value) + 1)};
    case KeyType::Boolean: return {value == "1" ? "0" : "1"};
    case KeyType::IntList: {
        std::vector<uint32_t> list = parseIntList(value);
        std::string out = std::to_string(list.empty() ? 1 : list[0] + 1);
        for (size_t i = 1; i < list.size(); ++i)
            out += "," + std::to_string(list[i]);
        return {out};
    }
    case KeyType::Revision: return {"9.8-7 654"};
    case KeyType::Trigger: return {"ct 18"};
    default: return {"\"0102\"", "\"7\"", "legacy", "off", "none", "sounding", "\"x\"", "on 5"};
    }
}

TEST_F(PersistenceTest, TheSaveDigestNoticesAChangeOfEverySavedValue)
{
    Description base;
    std::string error;
    ASSERT_TRUE(base.parse(vyntest::readFile(fixturePath("earlier-state.conf")), "earlier-state.conf", error)) << error;
    // A state with every kind of saved value: faults, phys, pending events,
    // container settings and tasks as well.
    ControllerState s = ControllerState::fromDescription(base, 0);
    s.faults.clear();
    Fault f{"ct 17", "status = 5", 1, 2};
    ArmedFault armed;
    ASSERT_TRUE(armFault(f, 0, armed));
    s.faults.push_back(armed);
    s.phys[3] = std::vector<uint8_t>(64, 1);
    s.pendingAif.push_back(notificationFib(4, {1, 2}));
    s.containerSettings[0].named = true;
    s.containerSettings[0].name = "Named";
    s.propertiesReject = {11};
    s.flash[3].digest = 0x0123456789ABCDEFULL;
    const std::string text = s.toText(0x1234);

    Description same;
    ASSERT_TRUE(same.parse(text, "state", error)) << error;
    ControllerState again = ControllerState::fromDescription(same, 0);
    again.objects = s.objects;  // the object lines enter by their revision
    ASSERT_EQ(again.savedDigest(), s.savedDigest());

    std::istringstream lines(text);
    std::string line, section;
    int checked = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            section = line.substr(1, line.size() - 2) + ".";
            continue;
        }
        const size_t eq = line.find(" = ");
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 3);
        if (section + key == "hostsim.seed")
            continue;
        SCOPED_TRACE(section + key + " = " + value);
        const bool objectLine = findKey(section + key) != nullptr && findKey(section + key)->type == KeyType::Object;
        bool noticed = false;
        for (const std::string& other : otherValues(section + key, value)) {
            if (other == value)
                continue;
            std::string changed = text;
            changed.replace(text.find("\n" + line + "\n") + 1, line.size(), key + " = " + other);
            Description d;
            std::string ignored;
            if (!d.parse(changed, "state", ignored))
                continue;
            ControllerState c = ControllerState::fromDescription(d, 0);
            if (objectLine) {
                noticed = c.objects != s.objects.map();
            } else {
                c.objects = s.objects;
                noticed = c.savedDigest() != s.savedDigest();
            }
            if (noticed)
                break;
        }
        EXPECT_TRUE(noticed);
        ++checked;
    }
    EXPECT_GT(checked, 80);
}

TEST_F(PersistenceTest, EveryChangeOfTheObjectLinesTakesANewRevision)
{
    ObjectLines lines(ObjectLines::Map{{"drive0", "0:0 sas 146G"}});
    const ObjectLines copy = lines;
    EXPECT_EQ(copy.revision(), lines.revision());
    uint64_t last = lines.revision();
    auto changed = [&] {
        const bool moved = lines.revision() != last;
        last = lines.revision();
        return moved;
    };
    lines["drive1"] = "0:1 sas 146G";
    EXPECT_TRUE(changed());
    lines["drive1"] += " spare=global";
    EXPECT_TRUE(changed());
    EXPECT_EQ(lines.at("drive1"), "0:1 sas 146G spare=global");
    const std::string read = lines["drive0"];  // reading an existing line changes nothing
    EXPECT_EQ(read, "0:0 sas 146G");
    EXPECT_FALSE(changed());
    lines.set("drive0", "0:0 sas 300G");
    EXPECT_TRUE(changed());
    lines.erase("drive1");
    EXPECT_TRUE(changed());
    lines = ObjectLines::Map{{"drive0", "0:0 sas 300G"}};
    EXPECT_TRUE(changed());
    EXPECT_NE(copy.revision(), lines.revision());
}

}  // namespace
