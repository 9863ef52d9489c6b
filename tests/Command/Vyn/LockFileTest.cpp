#include "Command/Vyn/os/faux_lockfile.h"
#include "OpenFiles.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using vyntest::descriptorsOn;

mode_t modeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class LockFileTest : public vyntest::SimulatorTest {
protected:
    void SetUp() override
    {
        vyntest::SimulatorTest::SetUp();
        startSimulator("[hostsim]\npersist = 0\n");
        sim().setSleepScale(0);
    }
    void TearDown() override
    {
        char name[] = "ulb0";
        clsALH.ReleaseAdapter(name);
        vyntest::SimulatorTest::TearDown();
    }
};

TEST_F(LockFileTest, ReadWriteTakeCreatesTheFileAndKeepsItOpenOnce)
{
    std::filesystem::remove(hostFile("/var/lock"));
    char name[] = "ulb0";
    EXPECT_EQ(clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE), 1);
    const std::string lock = hostFile("/var/lock/.ulb0lock");
    EXPECT_EQ(modeOf(hostFile("/var/lock")), 0775u);
    EXPECT_EQ(modeOf(lock), 0600u);
    // the logical path, without a terminating zero
    EXPECT_EQ(vyntest::readFile(lock), "/var/lock/.ulb0lock");
    EXPECT_EQ(descriptorsOn(lock), 1);
    EXPECT_EQ(clsALH.count(), 1u);

    EXPECT_EQ(clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE), 1);
    EXPECT_EQ(clsALH.count(), 1u);
    EXPECT_EQ(descriptorsOn(lock), 1);
    EXPECT_EQ(clsALH.QuerryAdapter(name), FSA_AVL_READ_WRITE);

    clsALH.ReleaseAdapter(name);
    EXPECT_EQ(clsALH.count(), 0u);
    EXPECT_EQ(descriptorsOn(lock), 0);
    EXPECT_TRUE(vyntest::fileExists(lock));  // lock files stay
}

TEST_F(LockFileTest, ThreadsTakingAndReleasingAdaptersKeepTheListWhole)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            char name[16];
            std::snprintf(name, sizeof name, "ulb%d", t + 8);
            for (int i = 0; i < 25; ++i) {
                clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE);
                clsALH.QuerryAdapter(name);
                clsALH.ReleaseAdapter(name);
            }
            clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE);
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(clsALH.count(), 8u);
    for (int t = 0; t < 8; ++t) {
        char name[16];
        std::snprintf(name, sizeof name, "ulb%d", t + 8);
        clsALH.ReleaseAdapter(name);
    }
    EXPECT_EQ(clsALH.count(), 0u);
}

TEST_F(LockFileTest, OtherAccessModesTakeNoLock)
{
    char name[] = "ulb0";
    for (FSA_ACCESS access : {FSA_ACC_READ_ONLY, FSA_ACC_LL_READ_ONLY, FSA_ACC_LL_READ_WRITE, FSA_ACC_UTILITY})
        EXPECT_EQ(clsALH.TakeAdapter(name, access), 1);
    EXPECT_EQ(clsALH.count(), 0u);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/lock/.ulb0lock")));
}

TEST_F(LockFileTest, QueryOfAClosedLockCreatesTheFileAndAnswersReadWrite)
{
    char name[] = "ulb3";
    EXPECT_EQ(clsALH.QuerryAdapter(name), FSA_AVL_READ_WRITE);
    EXPECT_EQ(vyntest::readFile(hostFile("/var/lock/.ulb3lock")), "/var/lock/.ulb3lock");
    EXPECT_EQ(descriptorsOn(hostFile("/var/lock/.ulb3lock")), 0);
}

TEST_F(LockFileTest, LockStepAnswersItsTable)
{
    CLock lock;
    EXPECT_EQ(lock.fcntlLock(F_GETLK, F_WRLCK), FSA_AVL_UNKNOWN);  // closed
    ASSERT_EQ(lock.OpenLock("ulb1"), 1);
    const int expected[2][3] = {{2, 3, 1}, {2, 2, 3}};
    for (int type = 0; type < 3; ++type) {
        EXPECT_EQ(lock.fcntlLock(F_GETLK, type), expected[0][type]) << type;
        EXPECT_EQ(lock.fcntlLock(F_SETLK, type), expected[1][type]) << type;
    }
    EXPECT_EQ(lock.fcntlLock(F_SETLKW, F_WRLCK), FSA_AVL_UNKNOWN);
    EXPECT_EQ(lock.ReleaseLock(), 1);
    lock.CloseLock();
    EXPECT_FALSE(lock.IsOpen());
}

TEST_F(LockFileTest, ANameThatDoesNotFitIsRefusedNotOverflowed)
{
    CLock lock;
    const std::string longName(40, 'u');
    try {
        lock.OpenLock(longName.c_str());
        FAIL() << "opened";
    } catch (FSA_STATUS s) {
        EXPECT_EQ(s, 475u);
    }
    EXPECT_STREQ(lock.GetName(), "");
}

TEST_F(LockFileTest, APlantedLinkInTheLockDirectoryIsNeverFollowed)
{
    // The lock directory is writable by everyone on most hosts: a link planted
    // there must neither create nor hold open a file elsewhere.
    struct Case {
        const char* what;
        bool targetExists;
    };
    for (const Case& c : {Case{"dangling", false}, Case{"existing", true}}) {
        SCOPED_TRACE(c.what);
        const std::string victim = hostFile(std::string("/victim-") + c.what);
        if (c.targetExists)
            vyntest::writeFile(victim, "keep");
        std::filesystem::create_directories(hostFile("/var/lock"));
        const std::string lock = hostFile("/var/lock/.ulb0lock");
        std::filesystem::remove(lock);
        std::filesystem::create_symlink(victim, lock);
        char name[] = "ulb0";
        FSA_STATUS thrown = 0;
        try {
            clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE);
        } catch (FSA_STATUS s) {
            thrown = s;
        }
        EXPECT_EQ(thrown, 475u);
        EXPECT_EQ(clsALH.count(), 0u);
        EXPECT_EQ(vyntest::fileExists(victim), c.targetExists);
        if (c.targetExists) {
            EXPECT_EQ(vyntest::readFile(victim), "keep");
            EXPECT_EQ(descriptorsOn(victim), 0);
        }
        clsALH.ReleaseAdapter(name);
    }
}

TEST_F(LockFileTest, APlantedLinkEndsTheOpenAndTheEnumerationAtOnce)
{
    // A link does not go away by waiting: both the read-write take and the
    // enumeration's query give the open's status without retrying.
    std::filesystem::create_directories(hostFile("/var/lock"));
    std::filesystem::create_symlink(hostFile("/elsewhere"), hostFile("/var/lock/.ulb0lock"));
    char name[] = "ulb0";
    struct Case {
        const char* path;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"open", [&] { clsALH.TakeAdapter(name, FSA_ACC_READ_WRITE); }},
        {"enumeration", [&] { clsALH.QuerryAdapter(name); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const uint64_t before = sim().clockMs();
        FSA_STATUS thrown = 0;
        try {
            c.call();
        } catch (FSA_STATUS s) {
            thrown = s;
        }
        EXPECT_EQ(thrown, 475u);
        EXPECT_EQ(sim().clockMs() - before, 0u);
        EXPECT_EQ(clsALH.count(), 0u);
    }
}

TEST_F(LockFileTest, AFileThatCannotBeOpenedGives475AfterTheRetries)
{
    // A directory where the lock file belongs cannot be opened read-write.
    std::filesystem::create_directories(hostFile("/var/lock/.ulb5lock"));
    CLock lock;
    const uint64_t before = sim().clockMs();
    try {
        lock.OpenLock("ulb5");
        FAIL() << "opened";
    } catch (FSA_STATUS s) {
        EXPECT_EQ(s, 475u);
    }
    EXPECT_EQ(sim().clockMs() - before, 120000u);
}

}  // namespace
