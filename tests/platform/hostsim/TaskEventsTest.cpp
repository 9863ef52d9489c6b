// Job progress the controller raises on its own: a FIB 700 of job-progress
// reports for the tasks that moved on by a tenth or ended during a request,
// checked against the report layout.
#include "RawFibTest.h"
#include "platform/hostsim/state/Controller.h"

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;
constexpr size_t kRecords = kPayload + 8;

// A drive verify of 600 blocks (10 a second), an adapter verify of 60 (1 a
// second) and a suspended task, which does not move.
const char* kTasks = "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive2 = 0:2 sas 146G\n"
                     "[adapter0.task7]\njob = 3\nobject = 0x2\ntotal = 600\nspecific = 5,6\n"
                     "[adapter0.task9]\njob = 400\ntotal = 60\ndone = 3\n"
                     "[adapter0.task10]\njob = 3\nobject = 0\nstatus = 101\ntotal = 100\ndone = 40\n";

class TaskEventsTest : public vyntest::RawFibTest {
protected:
    void listTasks(int fd)
    {
        std::vector<uint8_t> fib(512, 0);
        putLe16(fib.data() + 4, 700);
        fib[6] = 1;
        putLe16(fib.data() + 8, 72);
        putLe16(fib.data() + 10, 512);
        putLe32(fib.data() + kPayload, 100);
        send(fd, fib);
    }
    std::vector<std::vector<uint8_t>>& raised() { return sim().controller(0).pendingAif; }
    static uint32_t at(const std::vector<uint8_t>& fib, size_t offset) { return getLe32(fib.data() + offset); }
};

TEST_F(TaskEventsTest, ATenthReachedRaisesOneReportPerTask)
{
    const int fd = openAdapter(kTasks);
    sim().setSleepScale(0);
    raised().clear();
    // Nothing moved: nothing raised.
    listTasks(fd);
    EXPECT_TRUE(raised().empty());

    // 2 s: the adapter verify goes from 3 to 5 of 60, within its first tenth;
    // 6 s: the drive verify reaches 60 of 600 and the adapter verify 9 of 60.
    hostIo().sleepMs(2000);
    listTasks(fd);
    EXPECT_TRUE(raised().empty());
    hostIo().sleepMs(4000);
    listTasks(fd);
    ASSERT_EQ(raised().size(), 1u);
    const std::vector<uint8_t> fib = raised()[0];
    ASSERT_EQ(fib.size(), 512u);
    EXPECT_EQ(getLe16(fib.data() + 4), 700u);
    EXPECT_EQ(fib[6], 1u);
    EXPECT_EQ(getLe16(fib.data() + 8), 40u + 2 * 48);
    EXPECT_EQ(getLe16(fib.data() + 10), 512u);
    EXPECT_EQ(at(fib, kPayload), 2u);
    struct Report {
        uint32_t task, job, object, status, total, done, specific1;
    };
    const Report expected[] = {{7, 3, 2, 102, 600, 60, 5}, {9, 400, 0, 102, 60, 9, 0}};
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const size_t r = kRecords + 48 * i;
        EXPECT_EQ(at(fib, r), expected[i].task);
        EXPECT_EQ(at(fib, r + 4), expected[i].job);
        EXPECT_EQ(at(fib, r + 8), expected[i].object);
        EXPECT_EQ(at(fib, r + 16), expected[i].status);
        EXPECT_EQ(at(fib, r + 24), expected[i].total);
        EXPECT_EQ(at(fib, r + 28), 0u);
        EXPECT_EQ(at(fib, r + 32), expected[i].done);
        EXPECT_EQ(at(fib, r + 40), expected[i].specific1);
    }
    EXPECT_EQ(at(fib, kRecords + 96), 0u);
}

TEST_F(TaskEventsTest, AnEndRaisesTheFinalReport)
{
    const int fd = openAdapter(kTasks);
    sim().setSleepScale(0);
    raised().clear();
    hostIo().sleepMs(120000);
    listTasks(fd);
    ASSERT_EQ(raised().size(), 1u);
    const std::vector<uint8_t>& fib = raised()[0];
    EXPECT_EQ(getLe16(fib.data() + 8), 40u + 2 * 48);
    for (size_t i = 0; i < 2; ++i) {
        const size_t r = kRecords + 48 * i;
        EXPECT_EQ(at(fib, r + 16), 1u) << i;  // done
        EXPECT_EQ(at(fib, r + 32), at(fib, r + 24)) << i;
    }
    // Ended tasks raise nothing more.
    raised().clear();
    hostIo().sleepMs(1000);
    listTasks(fd);
    EXPECT_TRUE(raised().empty());
}

}  // namespace
