#include "listener/osal/FnLogger.h"
#include "support/HostRootTest.h"

#include <sys/stat.h>
#include <pthread.h>
#include <unistd.h>

#include <filesystem>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class FnLoggerTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        if (const char* tz = std::getenv("TZ")) {
            hadTz_ = true;
            tz_ = tz;
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override
    {
        if (hadTz_)
            ::setenv("TZ", tz_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        HostRootTest::TearDown();
    }

private:
    bool hadTz_ = false;
    std::string tz_;
};

TEST_F(FnLoggerTest, PrefixCarriesDateThreadAndName)
{
    struct Case {
        std::time_t when;
        unsigned int thread;
        const char* expected;
    };
    // 9 December 2026 09:35:44, and 1 January 2027 00:00:05 (UTC).
    for (const Case& c : {Case{1796808944, 0x7F3A2B00u, "12_9_2026 09.35.44[7F3A2B00] processAenThread - "},
                          Case{1798761605, 0xABu, "01_1_2027 00.00.05[000000AB] processAenThread - "}}) {
        EXPECT_EQ(FnLogger::linePrefix(c.when, c.thread, "processAenThread"), c.expected);
    }
}

TEST_F(FnLoggerTest, OverlongNameIsCutToThePrefixBuffer)
{
    const std::string prefix = FnLogger::linePrefix(1796808944, 1, std::string(500, 'n'));
    EXPECT_EQ(prefix.size(), 119u);
    EXPECT_EQ(prefix.rfind("12_9_2026 09.35.44[00000001] nnn", 0), 0u);
}

TEST_F(FnLoggerTest, ScopeWritesEnteringMessageAndLeavingLines)
{
    {
        FnLogger logger("readAenConfigFile", "vynlistend.log");
        EXPECT_EQ(logger.logPath(), hostFile("/var/log/vynlistend.log"));
        logger.log("port = %d", 5990);
        logger.log("%s", "");
    }
    const std::vector<std::string> got = lines(vyntest::readFile(hostFile("/var/log/vynlistend.log")));
    ASSERT_EQ(got.size(), 4u);
    const std::string head = R"(^\d{2}_\d{1,2}_\d{4} \d{2}\.\d{2}\.\d{2}\[[0-9A-F]{8}\] readAenConfigFile - )";
    EXPECT_TRUE(std::regex_search(got[0], std::regex(head + "Entering readAenConfigFile$"))) << got[0];
    EXPECT_TRUE(std::regex_search(got[1], std::regex(head + "port = 5990$"))) << got[1];
    EXPECT_TRUE(std::regex_search(got[2], std::regex(head + "$"))) << got[2];
    EXPECT_TRUE(std::regex_search(got[3], std::regex(head + "Leaving readAenConfigFile$"))) << got[3];

    // The thread of every line is the one that wrote it.
    const std::string thread = got[0].substr(got[0].find('[') + 1, 8);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08X", static_cast<unsigned int>(pthread_self()));
    EXPECT_EQ(thread, expected);
}

TEST_F(FnLoggerTest, FullPathAndDefaultFileStayUnderTheHostRoot)
{
    {
        FnLogger stop("ENTER:AenTerminateMonitor", "/var/log/vynconf.log");
        EXPECT_EQ(stop.logPath(), hostFile("/var/log/vynconf.log"));
        FnLogger engine("executeCommand");
        EXPECT_EQ(engine.logPath(), hostFile("/var/log/vynconf.log"));
    }
    const std::vector<std::string> got = lines(vyntest::readFile(hostFile("/var/log/vynconf.log")));
    ASSERT_EQ(got.size(), 4u);
    EXPECT_NE(got[0].find("] ENTER:AenTerminateMonitor - Entering ENTER:AenTerminateMonitor"), std::string::npos);
    EXPECT_NE(got[3].find("] ENTER:AenTerminateMonitor - Leaving ENTER:AenTerminateMonitor"), std::string::npos);
}

TEST_F(FnLoggerTest, LinesOfConcurrentThreadsStayWhole)
{
    // Lines longer than a stream buffer and than the logger's own line
    // buffer, so that a line written in pieces would show pieces of others.
    constexpr int kThreads = 6;
    constexpr int kLines = 40;
    constexpr std::size_t kLength = 9000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            FnLogger logger("writer");
            const std::string text(kLength, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i)
                logger.log("%s", text.c_str());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<std::string> got = lines(vyntest::readFile(hostFile("/var/log/vynconf.log")));
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kThreads * (kLines + 2)));
    const std::regex head(R"(^[0-9_]+ [0-9.]+\[[0-9A-F]{8}\] writer - )");
    for (const std::string& line : got) {
        const std::size_t cut = line.find(" writer - ");
        ASSERT_NE(cut, std::string::npos) << line.substr(0, 80);
        const std::string start = line.substr(0, cut + 10);
        const std::string text = line.substr(cut + 10);
        EXPECT_TRUE(std::regex_match(start, head)) << start;
        const bool scope = text == "Entering writer" || text == "Leaving writer";
        const bool oneWriter = text.size() == kLength && text.find_first_not_of(text[0]) == std::string::npos;
        EXPECT_TRUE(scope || oneWriter) << text.substr(0, 40) << " ... (" << line.size() << " bytes)";
    }
}

TEST_F(FnLoggerTest, UnwritableLogDirectoryDropsTracingSilently)
{
    // A plain file where the directory should be makes every open fail, for
    // root as for anyone else.
    std::filesystem::remove_all(hostFile("/var/log"));
    vyntest::writeFile(hostFile("/var/log"), "not a directory");
    {
        FnLogger logger("aenMonitorThread", "vynlistend.log");
        logger.log("%s", "dropped");
    }
    EXPECT_EQ(vyntest::readFile(hostFile("/var/log")), "not a directory");
}

}  // namespace
