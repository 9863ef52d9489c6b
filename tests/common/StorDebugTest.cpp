#include "common/StorDebug.h"
#include "common/StorDebugInfo.h"
#include "common/StorDebugTracer.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vyntest::fileExists;
using vyntest::readFile;
using vyntest::writeFile;

const EnumStorLibType kVyn = STORLIB_TYPE_VYN;

EnumStorLibType libType(unsigned int t)
{
    return static_cast<EnumStorLibType>(t);
}

// Replaces the clock readings of debug records by fixed words so that whole
// files can be compared.
std::string withoutTimes(const std::string& text)
{
    static const std::regex date(
        "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) [0-3][0-9]"
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)[0-9]{4} \\(tz=-?[0-9]+\\)");
    static const std::regex time("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} ");
    return std::regex_replace(std::regex_replace(text, date, "DATE"), time, "TIME ");
}

// Each test gets a fresh debug state of type 9 under its own host root and
// leaves the global tables as it found them.
class StorDebugTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        std::copy(std::begin(storDebugInstanceCounter), std::end(storDebugInstanceCounter),
                  savedCounters_);
        StorDebugDeleteAll();
        disableDebugLog = false;
        storDebugInfo[kVyn] = new StorDebugInfo(kVyn, nullptr);
    }
    void TearDown() override
    {
        StorDebugDeleteAll();
        disableDebugLog = false;
        std::copy(std::begin(savedCounters_), std::end(savedCounters_), storDebugInstanceCounter);
        HostRootTest::TearDown();
    }

    std::string errorFile() const { return hostFile("/var/log/vynerror.txt"); }
    std::string traceFile() const { return hostFile("/var/log/vyntrace.txt"); }
    std::string configFile() const { return hostFile("/var/log/vynconfig.xml"); }
    std::string eventFile() const { return hostFile("/var/log/vynevents.txt"); }

    static void sizeFile(const std::string& path, unsigned long long size)
    {
        writeFile(path, "");
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    }
    static unsigned long long sizeOf(const std::string& path)
    {
        return osFileWriter::Size(path.c_str());
    }

    StorDebugInfo& state() { return *storDebugInfo[kVyn]; }

private:
    unsigned int savedCounters_[STOR_DEBUG_TYPE_COUNT + 1] = {};
};

TEST_F(StorDebugTest, FilesAreNamedUnderTheHostRoot)
{
    EXPECT_EQ(std::string(gStorDebugFilePath), root() + "/var/log/");
    EXPECT_EQ(state().getErrorPath(), errorFile());
    EXPECT_EQ(state().getTracePath(), traceFile());
    EXPECT_EQ(state().getConfigPath(), configFile());
    EXPECT_EQ(state().getEventPath(), eventFile());
}

TEST_F(StorDebugTest, ThreeNestedScopesWithAnErrorInTheInnermost)
{
    writeFile(traceFile(), "");
    {
        StorDebugTracer outer(kVyn, STOR_DEBUG_TRACE, "Outer::run()");
        {
            StorDebugTracer middle(kVyn, STOR_DEBUG_TRACE, "Middle::step()");
            {
                StorDebugTracer inner(kVyn, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "Inner::Inner()");
                StorErrorPrintf(kVyn, "/src/RaidLib/Inner.cpp", 42, "failed with %d (%s)", 7, "busy");
            }
        }
    }
    EXPECT_EQ(withoutTimes(readFile(traceFile())),
              "DATE\n"
              "TIME  vynconf: Outer::run() IN\n"
              "TIME  vynconf: 0   Middle::step() IN\n"
              "TIME  vynconf: 0   1   Inner::Inner() IN\n"
              "TIME  vynconf: 0   1   2   failed with 7 (busy)\n"
              "TIME  vynconf: 0   1   Inner::Inner() OUT\n"
              "TIME  vynconf: 0   Middle::step() OUT\n"
              "TIME  vynconf: Outer::run() OUT\n");
    EXPECT_EQ(withoutTimes(readFile(errorFile())),
              "DATE\n"
              "TIME  vynconf: Inner.cpp: Line #: 42\n"
              "                   Outer::run()\n"
              "                       Middle::step()\n"
              "                           Inner::Inner()\n"
              "                               failed with 7 (busy)\n");
    EXPECT_EQ(state().getTraceDepth(), 0u);
}

TEST_F(StorDebugTest, EveryOutermostCallStartsWithADateLine)
{
    writeFile(traceFile(), "");
    for (int i = 0; i < 2; ++i) {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        EXPECT_TRUE(state().FlagsEnabled(STOR_DEBUG_TRACE)) << "the open trace file enables tracing";
        VynTracePrintf("step %d", i);
    }
    EXPECT_FALSE(state().FlagsEnabled(STOR_DEBUG_TRACE));
    EXPECT_EQ(withoutTimes(readFile(traceFile())),
              "DATE\nTIME  vynconf: Lib::op() IN\nTIME  vynconf: 0   step 0\n"
              "TIME  vynconf: Lib::op() OUT\n"
              "DATE\nTIME  vynconf: Lib::op() IN\nTIME  vynconf: 0   step 1\n"
              "TIME  vynconf: Lib::op() OUT\n");
}

// The flags of a trace line travel with it but never filter it out.
TEST_F(StorDebugTest, EveryTraceFrontEndWritesOneMarkedLine)
{
    writeFile(traceFile(), "");
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        StorTracePrintf(kVyn, STOR_DEBUG_TASKS, "tasks %d", 1);
        StorTracePrintf(libType(0), STOR_DEBUG_TRACE, "default type");
        STORDBG(libType(14), "level one");
        STORDBGL2(kVyn, "level two");
        VynTracePrintf("vyn %s", "one");
        VynTracePrintfL2("vyn %s", "two");
    }
    EXPECT_EQ(withoutTimes(readFile(traceFile())),
              "DATE\nTIME  vynconf: Lib::op() IN\n"
              "TIME  vynconf: 0   tasks 1\n"
              "TIME  vynconf: 0   default type\n"
              "TIME  vynconf: 0   level one\n"
              "TIME  vynconf: 0   level two\n"
              "TIME  vynconf: 0   vyn one\n"
              "TIME  vynconf: 0   vyn two\n"
              "TIME  vynconf: Lib::op() OUT\n");
}

// A missing function or file name still gives a readable record; the stack
// keeps the stand-in name, so the error record lists it too.
TEST_F(StorDebugTest, MissingNamesAreShownAsQuestionMarks)
{
    writeFile(traceFile(), "");
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, nullptr);
        StorErrorPrintf(kVyn, nullptr, 5, "lost");
    }
    EXPECT_EQ(withoutTimes(readFile(traceFile())),
              "DATE\nTIME  vynconf: ?\?\?() IN\nTIME  vynconf: 0   lost\n"
              "TIME  vynconf: ?\?\?() OUT\n");
    EXPECT_EQ(withoutTimes(readFile(errorFile())),
              "DATE\nTIME  vynconf: ?\?\?: Line #: 5\n"
              "                   ?\?\?()\n"
              "                       lost\n");
}

TEST_F(StorDebugTest, WithoutATraceFileNothingIsTracedOrCreated)
{
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        STORDBG(kVyn, "inside %d", 1);
        EXPECT_EQ(state().getTraceDepth(), 1u);
    }
    EXPECT_FALSE(fileExists(traceFile()));
    EXPECT_FALSE(fileExists(errorFile()));
    EXPECT_FALSE(fileExists(eventFile()));
}

TEST_F(StorDebugTest, DepthsFrom62OnAreMarkedWithBars)
{
    writeFile(traceFile(), "");
    {
        std::vector<std::unique_ptr<StorDebugTracer>> calls;
        for (int i = 0; i < 64; ++i)
            calls.push_back(std::make_unique<StorDebugTracer>(kVyn, STOR_DEBUG_TRACE, "f()"));
        STORDBGL2(kVyn, "deep");
        while (!calls.empty())
            calls.pop_back();
    }
    std::string marks;
    for (char c : std::string("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"))
        marks += std::string(1, c) + "   ";
    marks += "|   |   ";
    EXPECT_NE(readFile(traceFile()).find(" vynconf: " + marks + "deep\n"), std::string::npos);
}

TEST_F(StorDebugTest, TraceFileIsOpenedOnlyBelowTenMebibytes)
{
    const struct {
        unsigned long long size;
        bool written;
    } cases[] = {{MAX_TRACE_FILE_SIZE - 1, true}, {MAX_TRACE_FILE_SIZE, false},
                 {MAX_TRACE_FILE_SIZE + 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        sizeFile(traceFile(), c.size);
        {
            StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        }
        EXPECT_EQ(sizeOf(traceFile()) > c.size, c.written);
        EXPECT_EQ(state().FlagsEnabled(STOR_DEBUG_TRACE), false);
    }
}

TEST_F(StorDebugTest, ErrorFileIsCreatedAndStopsAboveTheLimitButTheTraceGoesOn)
{
    StorErrorPrintf(kVyn, "Plain.cpp", 1, "first");
    ASSERT_TRUE(fileExists(errorFile()));
    EXPECT_EQ(withoutTimes(readFile(errorFile())),
              "DATE\nTIME  vynconf: Plain.cpp: Line #: 1\n                   first\n");

    const struct {
        unsigned long long size;
        bool written;
    } cases[] = {{MAX_ERROR_FILE_SIZE - 1, true}, {MAX_ERROR_FILE_SIZE, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        sizeFile(errorFile(), c.size);
        writeFile(traceFile(), "");
        {
            StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
            VynErrorPrintf("dir\\Win.cpp", 9, "bad %s", "thing");
        }
        EXPECT_EQ(sizeOf(errorFile()) > c.size, c.written);
        EXPECT_NE(readFile(traceFile()).find(" vynconf: 0   bad thing\n"), std::string::npos);
    }
    sizeFile(errorFile(), MAX_ERROR_FILE_SIZE - 1);
    VynErrorPrintf("dir\\Win.cpp", 9, "x");
    std::string text = readFile(errorFile()).substr(MAX_ERROR_FILE_SIZE - 1);
    EXPECT_NE(text.find("Win.cpp: Line #: 9\n"), std::string::npos) << "the base name after a backslash";
}

TEST_F(StorDebugTest, ExtraErrorTextIsIndentedToTheCurrentDepth)
{
    writeFile(traceFile(), "");
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        VynExtraErrorPrintf("detail %d", 3);
    }
    EXPECT_EQ(readFile(errorFile()), "                       detail 3\n");
    EXPECT_NE(readFile(traceFile()).find(" vynconf: 0   detail 3\n"), std::string::npos);
}

TEST_F(StorDebugTest, EventFileTakesTextUntilItPassesTheLimit)
{
    StorEventPrintf(kVyn, "lost");
    EXPECT_FALSE(fileExists(eventFile())) << "a missing event file is never created";

    writeFile(eventFile(), "");
    StorEventPrintf(kVyn, "<Event id=\"1\">100%s done</Event>\n");
    StorEventPrintf(kVyn, "tail");
    EXPECT_EQ(readFile(eventFile()), "<Event id=\"1\">100%s done</Event>\ntail");
    EXPECT_TRUE(state().FlagsEnabled(STOR_DEBUG_EVENTS));

    // Reopen at four bytes below the limit: that event ends exactly at the
    // limit, one more still fits, then the file is marked and closed.
    StorDebugDeleteAll();
    sizeFile(eventFile(), MAX_EVENT_FILE_SIZE - 4);
    storDebugInfo[kVyn] = new StorDebugInfo(kVyn, nullptr);
    StorEventPrintf(kVyn, "abcd");
    EXPECT_EQ(sizeOf(eventFile()), MAX_EVENT_FILE_SIZE);
    StorEventPrintf(kVyn, "efgh");
    EXPECT_EQ(sizeOf(eventFile()), MAX_EVENT_FILE_SIZE + 4);
    StorEventPrintf(kVyn, "ijkl");
    StorEventPrintf(kVyn, "mnop");
    const std::string limit = "<!-- File size limit exceeded.  Event logging stopped. -->\n";
    EXPECT_EQ(sizeOf(eventFile()), MAX_EVENT_FILE_SIZE + 4 + limit.size());
    EXPECT_EQ(readFile(eventFile()).substr(MAX_EVENT_FILE_SIZE - 4), "abcdefgh" + limit);

    StorDebugDeleteAll();
    sizeFile(eventFile(), MAX_EVENT_FILE_SIZE);
    storDebugInfo[kVyn] = new StorDebugInfo(kVyn, nullptr);
    StorEventPrintf(kVyn, "late");
    EXPECT_EQ(sizeOf(eventFile()), MAX_EVENT_FILE_SIZE) << "a full file is not opened";
}

TEST_F(StorDebugTest, ConfigurationDumpReplacesThePreviousOne)
{
    StorConfigPrintf(kVyn, "<System a=\"%s%n\">first</System>");
    StorConfigPrintf(kVyn, "<System a=\"%d\">second</System>");
    EXPECT_EQ(withoutTimes(readFile(configFile())),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
              "<!-- DATE -->\n"
              "<!-- TIME  vynconf: -->\n"
              "<System a=\"%d\">second</System>\n");
}

TEST_F(StorDebugTest, TheApplicationNameTakesEightColumnsAtMost)
{
    const char* const saved = pStorLibAppName;
    pStorLibAppName = "vynconfigurator";
    StorErrorPrintf(kVyn, "Long.cpp", 3, "cut");
    StorConfigPrintf(kVyn, "<System/>");
    pStorLibAppName = saved;
    EXPECT_EQ(withoutTimes(readFile(errorFile())),
              "DATE\nTIME vynconfi: Long.cpp: Line #: 3\n                   cut\n");
    EXPECT_NE(readFile(configFile()).find(" vynconfi: -->\n"), std::string::npos);
}

TEST_F(StorDebugTest, FrontEndsMapTypeZeroAndLargeTypesToTheDefault)
{
    const struct {
        unsigned int type;
        bool written;
    } cases[] = {{0, true}, {9, true}, {14, true}, {200, true}, {5, false}, {13, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        std::remove(errorFile().c_str());
        StorErrorPrintf(libType(c.type), "F.cpp", 1, "e");
        EXPECT_EQ(fileExists(errorFile()), c.written);
    }
}

TEST_F(StorDebugTest, DisableDebugLogMutesOnlyTheTracerAndTheVynErrorFrontEnds)
{
    writeFile(traceFile(), "");
    disableDebugLog = true;
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
        EXPECT_EQ(state().getTraceDepth(), 0u);
    }
    VynErrorPrintf("F.cpp", 1, "muted");
    VynExtraErrorPrintf("muted too");
    EXPECT_FALSE(fileExists(errorFile()));
    EXPECT_EQ(readFile(traceFile()), "");

    StorErrorPrintf(kVyn, "F.cpp", 2, "still written");
    EXPECT_NE(readFile(errorFile()).find("still written"), std::string::npos);
}

// A traced call holds its type's lock until it returns, so another thread's
// traced call waits for it.
TEST_F(StorDebugTest, TracedCallsOfTwoThreadsDoNotInterleave)
{
    writeFile(traceFile(), "");
    std::atomic<bool> entered{false};
    std::thread first([&] {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "First()");
        entered = true;
        usleep(50000);
        VynTracePrintf("first working");
    });
    while (!entered)
        usleep(1000);
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Second()");
    }
    first.join();
    std::string text = withoutTimes(readFile(traceFile()));
    EXPECT_EQ(text,
              "DATE\nTIME  vynconf: First() IN\nTIME  vynconf: 0   first working\n"
              "TIME  vynconf: First() OUT\n"
              "DATE\nTIME  vynconf: Second() IN\nTIME  vynconf: Second() OUT\n");
}

TEST_F(StorDebugTest, InstanceCountersDecideTheLifeOfAState)
{
    // Type 9 starts with one reference held by the library itself.
    storDebugInstanceCounter[kVyn] = 1;
    doStorDebugInitialization(kVyn);
    StorDebugInfo* vyn = storDebugInfo[kVyn];
    EXPECT_EQ(storDebugInstanceCounter[kVyn], 2u);
    doStorDebugCleanup(kVyn);
    EXPECT_EQ(storDebugInfo[kVyn], vyn);

    const EnumStorLibType other = libType(2);
    storDebugInstanceCounter[other] = 0;
    doStorDebugInitialization(other);
    StorDebugInfo* made = storDebugInfo[other];
    ASSERT_NE(made, nullptr);
    doStorDebugInitialization(other);
    EXPECT_EQ(storDebugInfo[other], made);
    doStorDebugCleanup(other);
    EXPECT_EQ(storDebugInfo[other], made);
    doStorDebugCleanup(other);
    EXPECT_EQ(storDebugInfo[other], nullptr);
    doStorDebugCleanup(other);
    EXPECT_EQ(storDebugInstanceCounter[other], 0u);

    doStorDebugInitialization(libType(14));
    doStorDebugCleanup(libType(14));
    EXPECT_EQ(storDebugInstanceCounter[14], 0u);

    StorDebugDeleteAll();
    EXPECT_EQ(storDebugInfo[kVyn], nullptr);
    EXPECT_EQ(storDebugInstanceCounter[kVyn], 1u) << "counters are left as they are";
}

// The library holds type 9's first reference itself, so one initialisation
// and one cleanup of its own leave the state that its objects trace into.
TEST_F(StorDebugTest, TypeNineStartsWithOneReference)
{
    for (unsigned int t = 0; t <= STOR_DEBUG_TYPE_COUNT; ++t)
        EXPECT_EQ(storDebugInstanceCounter[t], t == kVyn ? 1u : 0u) << "type " << t;
    StorDebugInfo* vyn = storDebugInfo[kVyn];
    doStorDebugInitialization(kVyn);
    doStorDebugCleanup(kVyn);
    EXPECT_EQ(storDebugInfo[kVyn], vyn);
}

TEST_F(StorDebugTest, TypesThreeFourAndAboveThirteenAreStoredAsNone)
{
    for (unsigned int t : {3u, 4u, 14u}) {
        StorDebugInfo info(libType(t), nullptr);
        EXPECT_EQ(info.getType(), STORLIB_TYPE_NONE) << t;
    }
    StorDebugInfo five(libType(5), nullptr);
    EXPECT_EQ(five.getType(), libType(5));
    EXPECT_FALSE(five.hasCrossProcessLock());
}

// The debug directory with its host root must fit gStorDebugFilePath; a root
// too long switches the debug files off instead of overflowing the buffer or
// falling back to relative names.
TEST_F(StorDebugTest, AHostRootTooLongForThePathBufferTurnsDebugOutputOff)
{
    const std::string tail = "/var/log/";
    const std::size_t room = STOR_DEBUG_FILE_PATH_SIZE - 1;
    const std::string fitting = root() + "/" + std::string(room - root().size() - 1 - tail.size(), 'r');
    ASSERT_EQ((fitting + tail).size(), room);

    ::setenv("VYN_HOST_ROOT", fitting.c_str(), 1);
    {
        StorDebugInfo info(kVyn, nullptr);
        EXPECT_EQ(std::string(gStorDebugFilePath), fitting + tail);
        EXPECT_EQ(info.getErrorPath(), fitting + tail + "vynerror.txt");
    }

    ::setenv("VYN_HOST_ROOT", (fitting + "x").c_str(), 1);
    StorDebugDeleteAll();
    storDebugInfo[kVyn] = new StorDebugInfo(kVyn, nullptr);
    EXPECT_STREQ(gStorDebugFilePath, "");
    EXPECT_EQ(state().getErrorPath(), "");
    EXPECT_EQ(state().getEventPath(), "");

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(root().c_str()), 0);
    StorErrorPrintf(kVyn, "F.cpp", 1, "nowhere");
    StorConfigPrintf(kVyn, "<System/>");
    {
        StorDebugTracer call(kVyn, STOR_DEBUG_TRACE, "Lib::op()");
    }
    EXPECT_FALSE(fileExists(root() + "/vynerror.txt"));
    EXPECT_FALSE(fileExists(root() + "/vynconfig.xml"));
    ASSERT_EQ(chdir(cwd), 0);
}

// Types 7 and 12 take the machine-wide UnixLocker, so this test shares the
// resource lock of the UnixLocker tests.
class UnixLockerDebugTest : public StorDebugTest {
protected:
    static void removeSet()
    {
        int id = semget(54321, 1, 0);
        if (id >= 0)
            semctl(id, 0, IPC_RMID);
    }
    void SetUp() override
    {
        StorDebugTest::SetUp();
        removeSet();
    }
    void TearDown() override
    {
        StorDebugTest::TearDown();
        removeSet();
    }
};

TEST_F(UnixLockerDebugTest, OutermostTracedCallsOfTypeSevenHoldTheCrossProcessLock)
{
    const EnumStorLibType seven = libType(7);
    storDebugInfo[seven] = new StorDebugInfo(seven, nullptr);
    ASSERT_TRUE(storDebugInfo[seven]->hasCrossProcessLock());
    EXPECT_TRUE(fileExists(root() + "/StorLock512"));
    const int set = semget(54321, 1, 0);
    ASSERT_GE(set, 0);
    {
        StorDebugTracer outer(seven, STOR_DEBUG_TRACE, "Outer()");
        StorDebugTracer inner(seven, STOR_DEBUG_TRACE, "Inner()");
        EXPECT_EQ(semctl(set, 0, GETVAL), 0);
    }
    EXPECT_EQ(semctl(set, 0, GETVAL), 1);
    delete storDebugInfo[seven];
    storDebugInfo[seven] = nullptr;
    EXPECT_FALSE(fileExists(root() + "/StorLock512"));
}

TEST_F(UnixLockerDebugTest, TypeTwelveLocksAsAdapterType1792AndTypeNineNotAtAll)
{
    EXPECT_FALSE(state().hasCrossProcessLock());
    {
        StorDebugInfo twelve(libType(12), nullptr);
        EXPECT_TRUE(twelve.hasCrossProcessLock());
        EXPECT_TRUE(fileExists(root() + "/StorLock1792"));
    }
    EXPECT_FALSE(fileExists(root() + "/StorLock1792"));
}

}  // namespace
