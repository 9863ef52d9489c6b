#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RaidLib/StorLib.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/System.h"
#include "support/HostRootTest.h"

namespace {

// What the replay seam was handed, and the answer it gives.
struct Seam {
    const System* parsed = nullptr;
    const System* current = nullptr;
    const System* calledOn = nullptr;
    StorLib* lib = nullptr;
    unsigned long parsedControllers = 0;
    int force = -1;
    bool slotIDFlag = false;
    int answer = 0;
};

// A root that discovers one controller and whose replay writes one line of
// its own to the log before answering.
class ReplayRoot : public System {
public:
    explicit ReplayRoot(Seam& seam) : System(STORLIB_TYPE_VYN), seam(seam) {}

    void buildChildren(StorLib*, Ret&) override
    {
        Adapter* adapter = new Adapter;
        adapter->setAdapterID(7);
        addChild(adapter);
    }
    using System::buildChildren;
    int getControllerCount(StorLib*, Ret&) override { return static_cast<int>(getNumAdapters()); }

    Ret compareConfig(StorLib* lib, System& parsed, System& current, char* logFile, EnumForceOption force,
                      bool slotIDFlag) override
    {
        seam.calledOn = this;
        seam.lib = lib;
        seam.parsed = &parsed;
        seam.current = &current;
        seam.parsedControllers = parsed.getNumAdapters();
        seam.force = force;
        seam.slotIDFlag = slotIDFlag;
        FILE* log = std::fopen(logFile, "a");
        if (log != nullptr) {
            std::fputs("replayed\n", log);
            std::fclose(log);
        }
        return Ret(seam.answer);
    }

private:
    Seam& seam;
};

class ReplayLib : public StorLib {
public:
    ReplayLib() : StorLib(STORLIB_TYPE_VYN) {}

    System* newSystem() override
    {
        ++made;
        if (failFrom != 0 && made >= failFrom) {
            if (throwing) {
                throw 1;
            }
            return nullptr;
        }
        return new ReplayRoot(seam);
    }

    System* parsedRoot() const { return parsedSystem.GetSystem(); }

    Seam seam;
    int made = 0;
    int failFrom = 0;
    bool throwing = false;
};

class ReplayTest : public vyntest::HostRootTest {
protected:
    std::string logPath() const { return root() + "/replay.log"; }

    Ret play(const std::string& xml, long size, EnumForceOption force = static_cast<EnumForceOption>(0))
    {
        text.assign(xml.begin(), xml.end());
        text.push_back('\0');
        char* input = text.data();
        std::string path = logPath();
        return lib.playConfig(&input, size, force, &path[0], true);
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        const std::string log = vyntest::readFile(logPath());
        std::size_t start = 0;
        while (start < log.size()) {
            const std::size_t end = log.find('\n', start);
            lines.push_back(log.substr(start, end - start + 1));
            start = end == std::string::npos ? log.size() : end + 1;
        }
        return lines;
    }

    ReplayLib lib;
    std::vector<char> text;
};

const char SAVED[] = "<System><Controller controllerID=\"0\"/><Controller controllerID=\"1\"/></System>";

TEST(ReplayTimeTest, StampIsTheDateAndTwoBlanks)
{
    char stamp[27];
    std::memset(stamp, 'x', sizeof stamp);
    ASSERT_EQ(StorLib::getTime(stamp), stamp);
    EXPECT_EQ(std::strlen(stamp), 26u);
    EXPECT_EQ(stamp[24], ' ');
    EXPECT_EQ(stamp[25], ' ');
    EXPECT_NE(stamp[23], ' ');
    EXPECT_EQ(stamp[3], ' ');
    EXPECT_EQ(stamp[13], ':');
}

TEST_F(ReplayTest, UnwritableLogOnlyTellsStandardOutput)
{
    char* input = nullptr;
    std::string path = root() + "/missing/dir/replay.log";
    testing::internal::CaptureStdout();
    Ret ret = lib.playConfig(&input, 0, static_cast<EnumForceOption>(0), &path[0], false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n Unable to find log file \n");
    EXPECT_EQ(ret.getReturn(), -3);
    EXPECT_EQ(lib.made, 0);
}

TEST_F(ReplayTest, NullInputLineEndsWithoutBlank)
{
    std::string path = logPath();
    Ret ret = lib.playConfig(nullptr, 10, static_cast<EnumForceOption>(0), &path[0], false);
    EXPECT_EQ(ret.getReturn(), -2);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(26), "   NULL Input XML file.\n");
    EXPECT_EQ(lib.made, 0);
}

// A root that could not be made counts as missing; when making the second
// one throws, the first is not used either.
TEST_F(ReplayTest, MissingRootsAreLoggedWithABlank)
{
    struct Case {
        int failFrom;
        bool throwing;
        bool parsedKept;
        std::vector<std::string> lines;
    } cases[] = {
        {1, false, false, {"   NULL newParsedSystem. \n"}},
        {2, false, true, {"   NULL currentSystem. \n"}},
        {2, true, false, {"   Exception in creating newSystem(). \n", "   NULL newParsedSystem. \n"}},
    };
    for (const Case& c : cases) {
        std::remove(logPath().c_str());
        lib.made = 0;
        lib.failFrom = c.failFrom;
        lib.throwing = c.throwing;
        Ret ret = play(SAVED, sizeof SAVED);
        EXPECT_EQ(ret.getReturn(), -3) << c.lines[0];
        const std::vector<std::string> lines = logLines();
        ASSERT_EQ(lines.size(), c.lines.size()) << c.lines[0];
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].substr(26), c.lines[i]);
        }
        EXPECT_EQ(lib.seam.calledOn, nullptr);
        EXPECT_EQ(lib.parsedRoot() != nullptr, c.parsedKept) << c.lines[0];
    }
}

TEST_F(ReplayTest, SeamGetsBothRootsAndItsAnswerIsTheResult)
{
    lib.seam.answer = 7;
    Ret ret = play(SAVED, sizeof SAVED, static_cast<EnumForceOption>(2));
    EXPECT_EQ(ret.getReturn(), 7);
    EXPECT_EQ(lib.seam.lib, &lib);
    EXPECT_EQ(lib.seam.current, lib.getSystem());
    EXPECT_EQ(lib.seam.calledOn, lib.getSystem());
    EXPECT_EQ(lib.seam.parsed, lib.parsedRoot());
    EXPECT_NE(lib.seam.parsed, lib.seam.current);
    EXPECT_EQ(lib.seam.parsedControllers, 2u);
    EXPECT_EQ(lib.getNumAdapters(), 1u);
    EXPECT_EQ(lib.seam.force, 2);
    EXPECT_TRUE(lib.seam.slotIDFlag);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"replayed\n"}));
}

TEST_F(ReplayTest, ParserNeverReadsPastTheTextOrANegativeSize)
{
    struct Case {
        long size;
        unsigned long controllers;
    } cases[] = {{1L << 20, 2}, {-5, 0}, {0, 0}};
    for (const Case& c : cases) {
        Ret ret = play(SAVED, c.size);
        EXPECT_EQ(ret.getReturn(), 0) << c.size;
        EXPECT_EQ(lib.seam.parsedControllers, c.controllers) << c.size;
    }
}

TEST_F(ReplayTest, BrokenTextIsCaughtAndLogged)
{
    Ret ret = play("<System><Controller controllerID=0/></System>", 100);
    EXPECT_EQ(ret.getReturn(), -13);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(26), "   Exception Captured. \n");
}

}  // namespace
