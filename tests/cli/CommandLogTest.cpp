#include "CliTest.h"

#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "common/Ret.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vyntest;
using ::testing::ElementsAre;

namespace {

class CommandLogTest : public CliTest {};

// The stamp is asctime's 24 characters and two blanks.
const std::regex kStamp("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d{2}:\\d{2}:\\d{2} \\d{4}  ");

TEST_F(CommandLogTest, FirstEventLineCreatesTheLogWithCounterZeroAndOneEntry)
{
    EXPECT_EQ(ucliprintf(UCLI_EVENT_LOG, "hello"), 1);
    const std::string log = eventLog();
    EXPECT_EQ(logCounter(log), 0);
    EXPECT_EQ(lines(log)[0][0], '0');
    ASSERT_EQ(lines(log).size(), 2u);
    EXPECT_TRUE(std::regex_match(lines(log)[1].substr(0, 26), kStamp)) << lines(log)[1];
    EXPECT_THAT(logEntries(log), ElementsAre("hello"));
    EXPECT_EQ(realOut(), "");
}

TEST_F(CommandLogTest, EveryDestinationOfEachStreamGetsTheTextOnce)
{
    struct Case {
        EnumOutputStream stream;
        bool out, event, err, error;
    } cases[] = {
        {UCLI_STDOUT, true, false, false, false},
        {UCLI_STDERR, false, false, true, false},
        {UCLI_EVENT_LOG, false, true, false, false},
        {UCLI_ERROR_LOG, false, false, false, true},
        {UCLI_STDOUT_AND_EVENT_LOG, true, true, false, false},
        {UCLI_STDERR_AND_ERROR_LOG, false, false, true, true},
        {UCLI_ALL, true, true, true, true},
        {static_cast<EnumOutputStream>(9), false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.stream));
        std::remove(hostFile("/var/log/UcliEvt.log").c_str());
        std::remove(hostFile("/var/log/UcliErr.log").c_str());
        const std::string before = realOut();
        const std::string beforeErr = realErr();
        EXPECT_EQ(ucliprintf(c.stream, "line"), 1);
        EXPECT_EQ(realOut().substr(before.size()), c.out ? "line\n" : "");
        EXPECT_EQ(realErr().substr(beforeErr.size()), c.err ? "line\n" : "");
        EXPECT_EQ(logEntries(eventLog()),
                  c.event ? std::vector<std::string>{"line"} : std::vector<std::string>{});
        EXPECT_EQ(logEntries(errorLog()),
                  c.error ? std::vector<std::string>{"line"} : std::vector<std::string>{});
    }
}

// A stream that notes, at each write, how many entries both logs hold, so
// that the order of the four destinations shows.
struct OrderProbe {
    const CliTest* test;
    std::string name;
    std::vector<std::string>* notes;
    std::function<std::string()> snapshot;
};

ssize_t probeWrite(void* cookie, const char*, size_t size)
{
    auto* probe = static_cast<OrderProbe*>(cookie);
    probe->notes->push_back(probe->name + probe->snapshot());
    return static_cast<ssize_t>(size);
}

TEST_F(CommandLogTest, StreamEightWritesOutputEventLogErrorAndErrorLogInThisOrder)
{
    std::vector<std::string> notes;
    auto snapshot = [this] {
        return " events=" + std::to_string(logEntries(eventLog()).size()) +
               " errors=" + std::to_string(logEntries(errorLog()).size());
    };
    OrderProbe outProbe{this, "out", &notes, snapshot};
    OrderProbe errProbe{this, "err", &notes, snapshot};
    cookie_io_functions_t io{nullptr, probeWrite, nullptr, nullptr};
    FILE* outStream = fopencookie(&outProbe, "w", io);
    FILE* errStream = fopencookie(&errProbe, "w", io);
    ucliRealStdout = outStream;
    ucliRealStderr = errStream;
    ucliprintf(UCLI_ALL, "x");
    ucliRealStdout = out;
    ucliRealStderr = err;
    std::fclose(outStream);
    std::fclose(errStream);
    EXPECT_THAT(notes, ElementsAre("out events=0 errors=0", "err events=1 errors=0"));
    EXPECT_THAT(logEntries(errorLog()), ElementsAre("x"));
}

TEST_F(CommandLogTest, NoLogsStillOpensAndCountsTheErrorLogButAddsNoEntry)
{
    disableUcliLog = 1;
    ucliprintf(UCLI_ERROR_LOG, "first");
    ucliprintf(UCLI_STDERR_AND_ERROR_LOG, "second");
    EXPECT_EQ(logCounter(errorLog()), 1);
    EXPECT_THAT(logEntries(errorLog()), ElementsAre());
    EXPECT_EQ(realErr(), "second\n");
    ucliprintf(UCLI_EVENT_LOG, "event");
    EXPECT_THAT(logEntries(eventLog()), ElementsAre("event"));
}

TEST_F(CommandLogTest, LongTextIsCutInTheLogOnlyAndNeverUsedAsFormat)
{
    const std::string text = std::string(500, 'a') + "%s%n";
    ucliprintf(UCLI_ALL, text.c_str());
    EXPECT_EQ(realOut(), text + "\n");
    EXPECT_EQ(realErr(), text + "\n");
    EXPECT_THAT(logEntries(eventLog()), ElementsAre(std::string(373, 'a')));
    EXPECT_THAT(logEntries(errorLog()), ElementsAre(std::string(373, 'a')));
    ucliprintf(UCLI_EVENT_LOG, "%s%s%n");
    EXPECT_EQ(logEntries(eventLog()).back(), "%s%s%n");
}

TEST_F(CommandLogTest, UnopenableLogsAreReportedOnTheirOwnStreamsAndGiveTwo)
{
    const std::string eventPath = hostFile("/missing/dir/events.log");
    const std::string errorPath = hostFile("/missing/dir/errors.log");
    useUserEventLog = 1;
    userEventLog = eventPath.c_str();
    useUserErrorLog = 1;
    userErrorLog = errorPath.c_str();
    EXPECT_EQ(ucliprintf(UCLI_ALL, "text"), 2);
    EXPECT_EQ(realOut(), "Could not open log file: " + eventPath + "\ntext\n");
    EXPECT_EQ(realErr(), "Could not open log file: " + errorPath + "\ntext\n");
    EXPECT_EQ(ucliprintf(UCLI_STDOUT, "plain"), 1);
}

TEST_F(CommandLogTest, UserChosenLogsAreUsedAsTyped)
{
    const std::string path = hostFile("/tmp/mine.log");
    useUserEventLog = 1;
    userEventLog = path.c_str();
    ucliprintf(UCLI_EVENT_LOG, "mine");
    EXPECT_THAT(logEntries(readFile(path)), ElementsAre("mine"));
    EXPECT_FALSE(fileExists(hostFile("/var/log/UcliEvt.log")));
}

TEST_F(CommandLogTest, CounterGrowsPastNewDigitsWithoutDamagingTheFirstEntry)
{
    for (int i = 0; i <= 1000; ++i) {
        ucliprintf(UCLI_EVENT_LOG, ("entry " + std::to_string(i)).c_str());
        if (i == 9 || i == 10 || i == 99 || i == 100 || i == 999 || i == 1000) {
            const std::string log = eventLog();
            EXPECT_EQ(logCounter(log), i) << log.substr(0, 80);
            const std::vector<std::string> entries = logEntries(log);
            ASSERT_EQ(entries.size(), static_cast<std::size_t>(i + 1));
            EXPECT_EQ(entries.front(), "entry 0");
            EXPECT_EQ(entries.back(), "entry " + std::to_string(i));
        }
    }
}

TEST_F(CommandLogTest, ShortCounterLineOfAnOlderLogIsWidenedKeepingItsEntries)
{
    const std::string older = "9\nThu Dec 10 14:35:33 2026  old entry\n";
    writeFile(hostFile("/var/log/UcliEvt.log"), older);
    ucliprintf(UCLI_EVENT_LOG, "new entry");
    const std::string log = eventLog();
    EXPECT_EQ(logCounter(log), 10);
    EXPECT_THAT(logEntries(log), ElementsAre("old entry", "new entry"));
    ucliprintf(UCLI_EVENT_LOG, "third");
    EXPECT_EQ(logCounter(eventLog()), 11);
    EXPECT_EQ(lines(eventLog())[0].size(), lines(log)[0].size());
}

TEST_F(CommandLogTest, FullOrUnreadableLogsMoveToTheBackupName)
{
    struct Case {
        const char* content;
        bool rotates;
        long counterAfter;
    } cases[] = {
        {"2498\nThu Dec 10 14:35:33 2026  kept\n", false, 2499},
        {"2499\nThu Dec 10 14:35:33 2026  kept\n", false, 2500},
        {"2500\nThu Dec 10 14:35:33 2026  kept\n", true, 0},
        {"not a number\nThu Dec 10 14:35:33 2026  kept\n", true, 0},
        {"", true, 0},
    };
    const std::string path = hostFile("/var/log/UcliEvt.log");
    const std::string backup = hostFile("/var/log/UcliEvt.bak");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        std::remove(backup.c_str());
        writeFile(path, c.content);
        ucliprintf(UCLI_EVENT_LOG, "entry");
        EXPECT_EQ(fileExists(backup), c.rotates);
        if (c.rotates) {
            EXPECT_EQ(readFile(backup), c.content);
        }
        EXPECT_EQ(logCounter(eventLog()), c.counterAfter);
        EXPECT_EQ(logEntries(eventLog()).back(), "entry");
    }
}

// Processes that, round after round, write one entry each to the event log
// at the same moment: each waits on a pipe of its own, and a round releases
// them all at once.
class TogetherWriters {
public:
    TogetherWriters(int processes, int rounds)
    {
        int done[2];
        if (::pipe(done) != 0)
            return;
        done_ = done[0];
        for (int i = 0; i < processes; ++i) {
            int go[2];
            if (::pipe(go) != 0)
                break;
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(go[1]);
                for (int round = 0; round < rounds; ++round) {
                    char byte;
                    if (::read(go[0], &byte, 1) != 1)
                        break;
                    ucliprintf(UCLI_EVENT_LOG, ("new " + std::to_string(i)).c_str());
                    if (::write(done[1], &byte, 1) != 1)
                        break;
                }
                ::_exit(0);
            }
            ::close(go[0]);
            if (child < 0) {
                ::close(go[1]);
                break;
            }
            children_.push_back(child);
            gates_.push_back(go[1]);
        }
        ::close(done[1]);
    }
    ~TogetherWriters()
    {
        for (const int gate : gates_)
            ::close(gate);
        if (done_ >= 0)
            ::close(done_);
        for (const pid_t child : children_) {
            int status = 0;
            ::waitpid(child, &status, 0);
        }
    }
    int processes() const { return static_cast<int>(children_.size()); }
    // Releases every writer and waits until each has written its entry.
    bool round()
    {
        const char byte = 'g';
        for (const int gate : gates_)
            if (::write(gate, &byte, 1) != 1)
                return false;
        for (size_t i = 0; i < children_.size(); ++i) {
            char got;
            if (::read(done_, &got, 1) != 1)
                return false;
        }
        return true;
    }

private:
    std::vector<pid_t> children_;
    std::vector<int> gates_;
    int done_ = -1;
};

TEST_F(CommandLogTest, ProcessesWritingTogetherLoseNoEntryAndNoCount)
{
    constexpr int kProcesses = 8;
    constexpr int kRounds = 10;
    const std::string path = hostFile("/var/log/UcliEvt.log");
    const std::string backup = hostFile("/var/log/UcliEvt.bak");
    for (const int counter : {2500, 100}) {
        const bool rotates = counter == 2500;
        std::string old = std::to_string(counter) + "\n";
        for (int i = 0; i <= counter; ++i)
            old += "Thu Dec 10 14:35:33 2026  old " + std::to_string(i) + "\n";
        TogetherWriters writers(kProcesses, kRounds);
        ASSERT_EQ(writers.processes(), kProcesses);
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE("counter " + std::to_string(counter) + ", round " + std::to_string(round));
            std::remove(backup.c_str());
            writeFile(path, old);
            ASSERT_TRUE(writers.round());

            const std::vector<std::string> entries = logEntries(eventLog());
            const long written = static_cast<long>(entries.size());
            EXPECT_EQ(logCounter(eventLog()), written - 1);
            const long news = std::count_if(entries.begin(), entries.end(),
                                            [](const std::string& e) { return e.rfind("new ", 0) == 0; });
            EXPECT_EQ(news, kProcesses);
            if (rotates) {
                // Every old entry in the backup, every new one in the log.
                const std::string kept = readFile(backup);
                EXPECT_TRUE(kept == old) << "the backup holds " << logEntries(kept).size() << " entries";
                EXPECT_EQ(written, kProcesses);
            } else {
                EXPECT_FALSE(fileExists(backup));
                EXPECT_EQ(written, counter + 1 + kProcesses);
            }
        }
    }
    // No file of the writers' own stays beside the logs.
    for (const auto& file : std::filesystem::directory_iterator(hostFile("/var/log")))
        EXPECT_EQ(file.path().filename().string().find(".tmp"), std::string::npos) << file.path();
}

TEST_F(CommandLogTest, BackupNameEndsAtTheFirstDotOfTheLogsOwnPath)
{
    struct Case {
        const char* logical;
        const char* backup;
    } cases[] = {
        {"/var/log/my.events.log", "/var/log/my.bak"},
        {"/tmp/run.d/events.log", "/tmp/run.bak"},
        {"/tmp/plainname", "/tmp/plainname.bak"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logical);
        ::mkdir(hostFile("/tmp/run.d").c_str(), 0755);
        const std::string path = hostFile(c.logical);
        writeFile(path, "2500\n");
        checkLogSize(path.c_str());
        EXPECT_EQ(readFile(hostFile(c.backup)), "2500\n");
        EXPECT_EQ(logCounter(readFile(path)), 0);
    }
}

TEST_F(CommandLogTest, LogThatIsNoRegularFileIsNeverMovedAside)
{
    // A link stands for the device, so that even a wrong move could only
    // take the link away, never the device itself.
    const std::string device = hostFile("/tmp/null");
    const std::string directory = hostFile("/tmp/logdir");
    ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
    struct Case {
        const std::string* path;
        int status;
        const char* complaint;
    } cases[] = {
        {&device, 1, ""},
        {&directory, 2, "Could not open log file: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.path);
        const std::string before = realOut();
        useUserEventLog = 1;
        userEventLog = c.path->c_str();
        EXPECT_EQ(ucliprintf(UCLI_EVENT_LOG, "entry"), c.status);
        EXPECT_EQ(realOut().substr(before.size()),
                  c.status == 1 ? "" : c.complaint + *c.path + "\n");
        EXPECT_FALSE(fileExists(*c.path + ".bak"));
    }
    char target[32] = {};
    EXPECT_EQ(::readlink(device.c_str(), target, sizeof target - 1), 9);
    EXPECT_STREQ(target, "/dev/null");
    struct stat info;
    ASSERT_EQ(::stat(directory.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(CommandLogTest, RetDumpWritesOnlyTheFieldsThatAreSet)
{
    Ret apiOnly(0);
    apiOnly.setApiError(0x1a);
    apiOnly.setReturn(0);
    logRet(apiOnly);
    EXPECT_THAT(logEntries(errorLog()),
                ElementsAre("** Return structure details **", "   ReturnCode()          = 0x0",
                            "   APIReturnCode()       = 0x1a"));

    std::remove(hostFile("/var/log/UcliErr.log").c_str());
    Ret values(-2);
    values.setMiscErrors(0x30, -1);
    logRet(values);
    EXPECT_THAT(logEntries(errorLog()), ElementsAre("** Return structure details **",
                                                    "   ReturnCode()          = 0xfffffffe",
                                                    "   UnsignedReturnValue() = 0x30",
                                                    "   SignedReturnValue()   = 0xffffffff"));
}

TEST_F(CommandLogTest, LocalTimeTextsFitTheirBuffers)
{
    char plain[25];
    char fileForm[25];
    GetLocalTime(plain, 0);
    GetLocalTime(fileForm, 2);
    EXPECT_TRUE(std::regex_match(plain, std::regex("\\d{2}/\\d{1,2}/\\d{4} \\d{2}:\\d{2}:\\d{2}")))
        << plain;
    EXPECT_TRUE(
        std::regex_match(fileForm, std::regex("\\d{2}_\\d{1,2}_\\d{4} \\d{2}\\.\\d{2}\\.\\d{2}")))
        << fileForm;

    char stamp[27];
    getTime(stamp);
    EXPECT_EQ(std::string(stamp).size(), 26u);
    EXPECT_TRUE(std::regex_match(stamp, kStamp)) << stamp;
}

TEST_F(CommandLogTest, EveryPrintTracesItselfIntoTheEngineTraceLog)
{
    myprintf(stdout, "x");
    const std::vector<std::string> trace = lines(readFile(hostFile("/var/log/vynconf.log")));
    ASSERT_EQ(trace.size(), 2u);
    const std::string prefix =
        "\\d{2}_\\d{1,2}_\\d{4} \\d{2}\\.\\d{2}\\.\\d{2}\\[[0-9A-F]{8}\\] fprintf - ";
    EXPECT_TRUE(std::regex_match(trace[0], std::regex(prefix + "Entering fprintf"))) << trace[0];
    EXPECT_TRUE(std::regex_match(trace[1], std::regex(prefix + "Leaving fprintf"))) << trace[1];
}

}  // namespace
