#include "common/OsFileWriter.h"
#include "common/OsServices.h"
#include "common/OsThreadLocker.h"
#include "common/StorLocker.h"
#include "common/StorTimeInfo.h"
#include "support/HostRootTest.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <thread>
#include <unistd.h>

namespace {

using vyntest::fileExists;
using vyntest::readFile;
using vyntest::writeFile;

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

bool lockedElsewhere(osThreadLocker& locker)
{
    bool obtained = false;
    std::thread other([&] {
        obtained = locker.TryLock();
        if (obtained)
            locker.UnLock();
    });
    other.join();
    return !obtained;
}

TEST(OsThreadLockerTest, IsRecursiveAndExcludesOtherThreads)
{
    osThreadLocker locker;
    locker.Lock();
    EXPECT_TRUE(locker.TryLock()) << "the holder may lock again";
    locker.UnLock();
    EXPECT_TRUE(lockedElsewhere(locker)) << "one of two holds remains";
    locker.UnLock();
    EXPECT_FALSE(lockedElsewhere(locker));
}

TEST(OsThreadLockerTest, GrabberHoldsForItsScopeAndIgnoresNull)
{
    osThreadLocker locker;
    {
        osThreadLockerGrabber grab(locker);
        EXPECT_TRUE(lockedElsewhere(locker));
    }
    EXPECT_FALSE(lockedElsewhere(locker));
    {
        osThreadLockerGrabber none(static_cast<osThreadLocker*>(nullptr));
    }
}

class OsFileWriterTest : public vyntest::HostRootTest {};

TEST_F(OsFileWriterTest, MissingFilesHaveNoSizeAndDoNotExist)
{
    const std::string missing = hostFile("/var/log/missing.txt");
    unsigned long long size = 77;
    EXPECT_EQ(osFileWriter::Size(missing.c_str()), 0u);
    EXPECT_FALSE(osFileWriter::Exists(missing.c_str()));
    EXPECT_FALSE(osFileWriter::Exists(missing.c_str(), &size));
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(osFileWriter::Size(nullptr), 0u);
    EXPECT_FALSE(osFileWriter::Exists(nullptr));

    osFileWriter closed;
    EXPECT_FALSE(closed.Open(missing.c_str(), "r+"));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_EQ(closed.Printf("%d", 5), 0);
    EXPECT_EQ(closed.Write("abc", 3), 0u);
    EXPECT_EQ(closed.Size(), 0u);
    closed.SeekEnd();
    closed.Flush();
    closed.Lock();
    closed.UnLock();
    closed.Close();
}

TEST_F(OsFileWriterTest, WritesAppendAfterSeekEndAndReportCounts)
{
    const std::string path = hostFile("/var/log/file.txt");
    writeFile(path, "head\n");
    {
        osFileWriter writer(path.c_str(), "r+");
        ASSERT_TRUE(writer.IsOpen());
        writer.SeekEnd();
        EXPECT_EQ(writer.Printf("%s=%d\n", "value", 42), 9);
        EXPECT_EQ(writer.Printf(nullptr), 0);
        EXPECT_EQ(writer.Write("raw %s", 6), 6u);
        writer.Flush();
        EXPECT_EQ(writer.Size(), 20u);

        const std::string other = hostFile("/var/log/other.txt");
        EXPECT_TRUE(writer.Open(other.c_str(), "w+")) << "the open stream is kept";
        EXPECT_FALSE(fileExists(other));
    }
    EXPECT_EQ(readFile(path), "head\nvalue=42\nraw %s");
    unsigned long long size = 0;
    EXPECT_TRUE(osFileWriter::Exists(path.c_str(), &size));
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(osFileWriter::Size(path.c_str()), 20u);
}

bool flockFreeFor(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY);
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

TEST_F(OsFileWriterTest, LockGrabbersTakeAnExclusiveFlock)
{
    const std::string path = hostFile("/var/log/locked.txt");
    writeFile(path, "");
    osFileWriter writer(path.c_str(), "r+");
    ASSERT_TRUE(writer.IsOpen());
    {
        osFileLockGrabber grab(writer);
        EXPECT_FALSE(flockFreeFor(path));
    }
    EXPECT_TRUE(flockFreeFor(path));

    FILE* stream = std::fopen(path.c_str(), "r");
    {
        osFileLockGrabber grab(stream);
        EXPECT_FALSE(flockFreeFor(path));
    }
    std::fclose(stream);

    // Grabbers of nothing lock nothing.
    osFileWriter closed;
    osFileLockGrabber a(static_cast<osFileWriter*>(nullptr));
    osFileLockGrabber b(closed);
    osFileLockGrabber c(-1);
    osFileLockGrabber d(static_cast<FILE*>(nullptr));
    EXPECT_TRUE(flockFreeFor(path));
}

using vyntest::ScopedTimeZone;

TEST(StorTimeInfoTest, BreaksDownOneReadingOfTheClock)
{
    ScopedTimeZone utc("UTC");
    std::time_t before = std::time(nullptr);
    StorTimeInfo now(STOR_GMT_TIME);
    std::time_t after = std::time(nullptr);

    std::tm expected = {};
    gmtime_r(&before, &expected);
    if (before != after && now.Second() != expected.tm_sec)
        gmtime_r(&after, &expected);
    EXPECT_EQ(now.Year(), expected.tm_year + 1900);
    EXPECT_EQ(now.DayOfMonth(), expected.tm_mday);
    EXPECT_EQ(now.Hour(), expected.tm_hour);
    EXPECT_EQ(now.Minute(), expected.tm_min);
    EXPECT_EQ(now.Second(), expected.tm_sec);
    EXPECT_GE(now.MSec(), 0);
    EXPECT_LE(now.MSec(), 999);
    EXPECT_STREQ(now.MonthAbbrev(), gStorMonthAbbrevs[expected.tm_mon]);
    EXPECT_STREQ(now.MonthStr(), gStorMonthNames[expected.tm_mon]);
    EXPECT_STREQ(now.DayOfWeekAbbrev(), gStorDayOfWeekAbbrevs[expected.tm_wday]);
    EXPECT_STREQ(now.DayOfWeekStr(), gStorDayOfWeekNames[expected.tm_wday]);

    StorTimeInfo copy(now);
    EXPECT_EQ(copy.MSec(), now.MSec());
    EXPECT_STREQ(copy.MonthStr(), now.MonthStr());
}

TEST(StorTimeInfoTest, TimeZoneIsMinutesWestOfGreenwich)
{
    {
        ScopedTimeZone utc("UTC");
        EXPECT_EQ(StorTimeInfo(STOR_LOCAL_TIME).TimeZone(), 0);
    }
    {
        ScopedTimeZone newYork("EST5EDT");
        StorTimeInfo local(STOR_LOCAL_TIME);
        StorTimeInfo gmt(STOR_GMT_TIME);
        EXPECT_EQ(local.TimeZone(), 300);
        EXPECT_EQ(gmt.TimeZone(), 300) << "the zone is the system's, whatever the breakdown";
        int shift = (gmt.Hour() - local.Hour() + 24) % 24;
        EXPECT_TRUE(shift == 5 || shift == 4) << shift;
    }
}

TEST(StorTimeInfoTest, NameTables)
{
    EXPECT_STREQ(gStorMonthNames[0], "January");
    EXPECT_STREQ(gStorMonthNames[11], "December");
    EXPECT_STREQ(gStorMonthAbbrevs[8], "Sep");
    EXPECT_STREQ(gStorDayOfWeekNames[0], "Sunday");
    EXPECT_STREQ(gStorDayOfWeekAbbrevs[6], "Sat");
}

TEST(MilliSleepTest, WaitsSecondsAndMilliseconds)
{
    for (long ms : {0L, 30L, 1020L}) {
        Clock::time_point start = Clock::now();
        EXPECT_EQ(MilliSleep(ms), 0);
        EXPECT_GE(elapsedMs(start), ms) << ms;
    }
}

TEST(StorEndianSwapBytesTest, ReversesInPlace)
{
    const struct {
        std::string in;
        std::string out;
        unsigned int swaps;
    } cases[] = {
        {"\x01\x02\x03\x04", "\x04\x03\x02\x01", 2},
        {"\x01\x02\x03", "\x03\x02\x01", 1},
        {"\x01", "\x01", 0},
        {"", "", 0},
        {"ABCDEFGH", "HGFEDCBA", 4},
    };
    for (const auto& c : cases) {
        std::string bytes = c.in;
        EXPECT_EQ(StorEndianSwapBytes(bytes.data(), static_cast<unsigned int>(bytes.size())), c.swaps);
        EXPECT_EQ(bytes, c.out);
    }
}

TEST(UnixSemLockerTest, TimeoutMakesOneAttemptPerMillisecond)
{
    UnixSemLocker empty(0);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(empty.getLockWithTimeout(0), 0);
    EXPECT_EQ(empty.getLockWithTimeout(3), 0);
    EXPECT_GE(elapsedMs(start), 3);

    empty.releaseLock();
    EXPECT_EQ(empty.getLockWithTimeout(3), 1);
    EXPECT_EQ(empty.getLockWithTimeout(1), 0);
}

TEST(UnixSemLockerTest, CountsAcrossThreads)
{
    UnixSemLocker sem(2);
    sem.getLock();
    sem.getLock();
    EXPECT_EQ(sem.getLockWithTimeout(1), 0);
    std::thread poster([&] {
        MilliSleep(20);
        sem.releaseLock();
    });
    sem.getLock();
    poster.join();
    EXPECT_EQ(sem.getLockWithTimeout(1), 0);
}

// The semaphore set of UnixLocker has a machine-wide key, so these tests hold
// a CTest resource lock (every test named UnixLocker*) and remove the set.
class UnixLockerTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        removeSet();
    }
    void TearDown() override
    {
        removeSet();
        HostRootTest::TearDown();
    }

    static int setId() { return semget(UnixLocker::UNIX_LOCKER_KEY, 1, 0); }
    static int value() { return semctl(setId(), 0, GETVAL); }
    static void removeSet()
    {
        int id = setId();
        if (id >= 0)
            semctl(id, 0, IPC_RMID);
    }
    static EnumAdapterType adapterType(int code) { return static_cast<EnumAdapterType>(code); }
};

TEST_F(UnixLockerTest, CreatesTheSetAtOneAndTheLockFileUnderTheHostRoot)
{
    {
        UnixLocker locker(adapterType(512), nullptr);
        EXPECT_EQ(locker.path(), root() + "/StorLock512");
        EXPECT_TRUE(fileExists(root() + "/StorLock512"));
        ASSERT_TRUE(locker.hasSemaphore());
        EXPECT_EQ(value(), 1);
        locker.getLock();
        EXPECT_EQ(value(), 0);
        locker.releaseLock();
        EXPECT_EQ(value(), 1);
    }
    EXPECT_FALSE(fileExists(root() + "/StorLock512"));
    EXPECT_GE(setId(), 0) << "the set stays in the system";
}

TEST_F(UnixLockerTest, AnExistingSetKeepsItsValue)
{
    UnixLocker first(adapterType(512), nullptr);
    first.getLock();
    char suffix[] = "b";
    UnixLocker second(adapterType(1792), suffix);
    EXPECT_TRUE(fileExists(root() + "/StorLock1792b"));
    EXPECT_EQ(value(), 0);
    first.releaseLock();
    second.getLock();
    EXPECT_EQ(value(), 0);
    second.releaseLock();
}

TEST_F(UnixLockerTest, ALongSuffixIsNeverCutOrOverrun)
{
    std::string suffix(200, 's');
    UnixLocker locker(adapterType(512), suffix.data());
    EXPECT_EQ(locker.path(), root() + "/StorLock512" + suffix);
    EXPECT_TRUE(fileExists(locker.path()));
}

TEST_F(UnixLockerTest, AnUnusableLockFileLeavesNoSemaphore)
{
    ::setenv("VYN_HOST_ROOT", (root() + "/no/such/dir").c_str(), 1);
    testing::internal::CaptureStderr();
    {
        UnixLocker locker(adapterType(512), nullptr);
        EXPECT_FALSE(locker.hasSemaphore());
        locker.getLock();
        locker.releaseLock();
    }
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("File open failed:"), std::string::npos) << messages;
    EXPECT_NE(messages.find("key for lock unavailable:"), std::string::npos) << messages;
    EXPECT_NE(messages.find("Error deleting lock file"), std::string::npos) << messages;
    EXPECT_LT(setId(), 0) << "no set was made";
}

}  // namespace
