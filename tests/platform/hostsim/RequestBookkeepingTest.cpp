// What the simulator keeps between requests so that a request costs the same
// however large the configuration and the logs are: the node registry as last
// read, the container lines per revision of the object lines, the digests of
// the log texts. Each must answer exactly as a fresh look would.
#include "RawFibTest.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::setWord;
using vyntest::word;

constexpr uint32_t kTestCt = 250;  // no handler of its own

const char* const kTwoMirrorsOfFour = "adapters = 1\n[adapter0]\nbus0 = sas 8\n"
                                      "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\n"
                                      "drive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\n"
                                      "ld0 = raid1 0:0,0:1\n";

struct FileStamp {
    ino_t ino = 0;
    long long mtimeNs = 0;
    off_t size = -1;
    bool operator==(const FileStamp& o) const { return ino == o.ino && mtimeNs == o.mtimeNs && size == o.size; }
};

FileStamp stampOf(const std::string& path)
{
    FileStamp out;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        out.ino = st.st_ino;
        out.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        out.size = st.st_size;
    }
    return out;
}

class RequestBookkeepingTest : public vyntest::RawFibTest {
protected:
    std::string registry() { return hostFile("/var/lib/hostsim/nodes"); }

    // The codes and containers of the notifications waiting for a channel.
    static std::vector<std::pair<uint32_t, uint32_t>> waiting(const ControllerState& c)
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const std::vector<uint8_t>& fib : c.pendingAif)
            out.emplace_back(getLe32(fib.data() + 32 + 8), getLe32(fib.data() + 32 + 12));
        return out;
    }

    // CT 250 edits the object lines as parameter 0 says: 0 leaves them, 1
    // adds container `number`, 2 changes its line, 3 removes it.
    static void addLineEditor(Simulator& s)
    {
        s.addCtHandler(kTestCt, [](ControllerState& c, const CtRequest& q, CtReply& r) {
            const std::string key = "ld" + std::to_string(q.param[1]);
            if (q.param[0] == 1)
                c.objects.set(key, "raid1 0:2,0:3");
            else if (q.param[0] == 2)
                c.objects.set(key, "raid1 0:2,0:3 name=Changed");
            else if (q.param[0] == 3)
                c.objects.erase(key);
            r.status = 1;
        });
    }

    static std::vector<uint8_t> edit(uint32_t what, uint32_t number)
    {
        std::vector<uint8_t> fib = request(2, kTestCt);
        setWord(fib, 2, what);
        setWord(fib, 3, number);
        return fib;
    }
};

TEST_F(RequestBookkeepingTest, AStartOverAnUnchangedRegistryReadsItOnceAndWritesNothing)
{
    { Simulator first(kTwoMirrorsOfFour); }
    const std::vector<std::string> registered = Simulator(kTwoMirrorsOfFour).nodeLines();
    ASSERT_EQ(registered.size(), 6u);  // sg0 to sg3, the host's sda, the mirror's sdb
    const FileStamp written = stampOf(registry());

    Simulator s(kTwoMirrorsOfFour);
    EXPECT_EQ(s.nodeReads(), 1u);
    HostIo& io = s.io();
    // What the library's node check does at every start: look at its node,
    // remove the nodes of controllers that are not there, make what is there.
    struct stat st;
    EXPECT_EQ(io.stat("/dev/ulb0", &st), -1);
    for (int n = 1; n < 16; ++n) {
        const std::string path = "/dev/ulb" + std::to_string(n);
        EXPECT_EQ(io.unlink(path.c_str()), -1);
        EXPECT_EQ(errno, ENOENT);
    }
    EXPECT_EQ(io.mknod("/dev/sg0", S_IFCHR | 0660, makedev(21, 0)), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(io.stat("/dev/sg0", &st), 0);
    EXPECT_EQ(s.nodeReads(), 1u);
    EXPECT_TRUE(stampOf(registry()) == written);

    // A real change reads the file afresh under the lock and writes it once.
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_EQ(s.nodeReads(), 2u);
    EXPECT_FALSE(stampOf(registry()) == written);
    ASSERT_EQ(io.unlink("/dev/ulb0"), 0);
    EXPECT_EQ(s.nodeReads(), 3u);
    EXPECT_EQ(s.nodeLines(), registered);
}

TEST_F(RequestBookkeepingTest, ARegistryChangedByAnotherProcessIsReadBeforeItIsAnswered)
{
    Simulator a("adapters = 1\n");
    Simulator b("adapters = 1\n");
    // Both have looked at the registry: each answers from what it read.
    EXPECT_EQ(a.io().unlink("/dev/ulb0"), -1);
    EXPECT_EQ(b.io().unlink("/dev/ulb0"), -1);
    const uint64_t readsOfA = a.nodeReads();

    ASSERT_EQ(b.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_EQ(a.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(a.nodeReads(), readsOfA + 1);
    ASSERT_EQ(a.io().unlink("/dev/ulb0"), 0);
    EXPECT_EQ(b.io().unlink("/dev/ulb0"), -1);
    EXPECT_EQ(errno, ENOENT);
    ASSERT_EQ(b.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_EQ(a.nodeLines(), std::vector<std::string>{"/dev/ulb0 c 250 0"});
}

TEST_F(RequestBookkeepingTest, RegistryLinesThatAreNoNodeArePassedOver)
{
    std::filesystem::create_directories(hostFile("/var/lib/hostsim"));
    vyntest::writeFile(registry(), "/dev/sg0 c 21 0\n"
                                   "garbage\n"
                                   "/dev/x q 1 2\n"
                                   "/dev/y c 1\n"
                                   "/dev/z c 1x 2\n"
                                   "/dev/v c -1 2\n"
                                   "  /dev/sdb\tb 8 16 extra\r\n"
                                   "\n"
                                   "/dev/last b 8 32");
    Simulator s("adapters = 1\n");
    EXPECT_EQ(s.nodeLines(), (std::vector<std::string>{"/dev/sg0 c 21 0", "/dev/sdb b 8 16", "/dev/last b 8 32"}));
}

TEST_F(RequestBookkeepingTest, ContainerNotificationsFollowTheLinesAsEachRequestFoundThem)
{
    const int fd = openAdapter(kTwoMirrorsOfFour);
    addLineEditor(sim());
    using Seen = std::vector<std::pair<uint32_t, uint32_t>>;
    struct Step {
        uint32_t what;
        Seen after;
    };
    // Added (15), changed (4), nothing, removed (16), added again.
    const Step steps[] = {
        {1, {{15, 5}}},
        {2, {{15, 5}, {4, 5}}},
        {0, {{15, 5}, {4, 5}}},
        {2, {{15, 5}, {4, 5}}},
        {3, {{15, 5}, {4, 5}, {16, 5}}},
        {1, {{15, 5}, {4, 5}, {16, 5}, {15, 5}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        send(fd, edit(step.what, 5));
        EXPECT_EQ(waiting(sim().controller(0)), step.after);
    }

    // Another process removes container 5: this one's next request starts
    // from the lines it reloads and tells nothing of its own.
    {
        Simulator other(kTwoMirrorsOfFour);
        addLineEditor(other);
        ASSERT_EQ(other.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), -1);
        const int otherFd = other.io().open("/dev/ulb0", O_RDWR);
        ASSERT_GE(otherFd, 0);
        std::vector<uint8_t> fib = edit(3, 5);
        ASSERT_EQ(other.io().ioctl(otherFd, 0x42008, fib.data()), 0);
        other.io().close(otherFd);
    }
    send(fd, edit(0, 5));
    const Seen expected = {{15, 5}, {4, 5}, {16, 5}, {15, 5}, {16, 5}};
    EXPECT_EQ(waiting(sim().controller(0)), expected);
    EXPECT_EQ(sim().controller(0).objects.count("ld5"), 0u);
}

TEST_F(RequestBookkeepingTest, ReadingTheConsoleTextSavesNothingAndAnAppendedLineIsSaved)
{
    const int fd = openAdapter("adapters = 1\n[adapter0]\nlog.history = first line\\nsecond line\\n\n");
    sim().addCtHandler(kTestCt, [](ControllerState& c, const CtRequest&, CtReply& r) {
        c.historyText += "third line\n";
        r.status = 1;
    });
    const std::string state = hostFile("/var/lib/hostsim/adapter0.state");
    send(fd, request(2, 189));
    const FileStamp before = stampOf(state);
    // The size, then every entry and the one past the end.
    std::vector<uint8_t> size = send(fd, request(2, 189));
    ASSERT_EQ(word(size, 3), 23u);
    for (uint32_t offset : {0u, 12u, 23u}) {
        std::vector<uint8_t> fib = request(2, 189);
        setWord(fib, 2, 151);
        setWord(fib, 3, offset);
        setWord(fib, 4, 12);
        setWord(fib, 7, 448);
        fib = send(fd, fib);
        EXPECT_EQ(word(fib, 2), offset < 23 ? 150u : 151u);
    }
    EXPECT_TRUE(stampOf(state) == before);

    send(fd, request(2, kTestCt));
    EXPECT_FALSE(stampOf(state) == before);
    Simulator next("adapters = 1\n[adapter0]\nlog.history = first line\\nsecond line\\n\n");
    EXPECT_EQ(next.controller(0).historyText.str(), "first line\nsecond line\nthird line\n");
}

TEST_F(RequestBookkeepingTest, EveryChangeOfALogTextMovesTheDigest)
{
    ControllerState c;
    c.historyText = "console\n";
    c.archiveText = "archive\n";
    const uint64_t start = c.savedDigest();
    struct Change {
        const char* name;
        void (*apply)(ControllerState&);
    };
    const Change changes[] = {
        {"assigned", [](ControllerState& s) { s.historyText = "consolf\n"; }},
        {"appended", [](ControllerState& s) { s.historyText += "more\n"; }},
        {"cleared", [](ControllerState& s) { s.historyText.clear(); }},
        {"archive assigned", [](ControllerState& s) { s.archiveText = "archivf\n"; }},
        {"archive appended", [](ControllerState& s) { s.archiveText += "\n"; }},
        {"archive cleared", [](ControllerState& s) { s.archiveText.clear(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        ControllerState changed = c;
        EXPECT_EQ(changed.savedDigest(), start);
        change.apply(changed);
        EXPECT_NE(changed.savedDigest(), start);
    }
    // The same text, however it came, gives the same digest.
    ControllerState same = c;
    same.historyText = "cons";
    same.historyText += "ole\n";
    EXPECT_EQ(same.savedDigest(), start);
}

}  // namespace
