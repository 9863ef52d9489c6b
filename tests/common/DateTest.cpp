#include "common/Date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Dates are local time: every case runs in UTC.
class DateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        hadTZ_ = tz != nullptr;
        if (hadTZ_) {
            previous_ = tz;
        }
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (hadTZ_) {
            setenv("TZ", previous_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadTZ_ = false;
    std::string previous_;
};

}  // namespace

TEST_F(DateTest, ThreePartDateNormalisesAndKeepsTheTimeOfDay)
{
    Date d(1, 31, 105);
    EXPECT_EQ(d.getYear(), 105);
    EXPECT_EQ(d.getMonth(), 2);
    EXPECT_EQ(d.getDay(), 3);
    Date now;
    Date early(12, 0, 50);
    EXPECT_EQ(early.getYear(), 70);
    EXPECT_EQ(early.getMonth(), 0);
    EXPECT_EQ(early.getDay(), 1);
    // The time of day of now, measured around the clock so that a run
    // across midnight still matches.
    const long timeOfDay = static_cast<long>(now.getTime() % 86400);
    const long apart = (static_cast<long>(early.getTime()) - timeOfDay + 86400) % 86400;
    EXPECT_TRUE(apart <= 2 || apart >= 86398) << apart;
}

TEST_F(DateTest, SixPartDateClampsEveryPart)
{
    Date d(12, 0, 50, 30, 70, 70);
    EXPECT_EQ(d.getYear(), 70);
    EXPECT_EQ(d.getMonth(), 11);
    EXPECT_EQ(d.getDay(), 1);
    EXPECT_EQ(d.getHour(), 23);
    EXPECT_EQ(d.getMinutes(), 59);
    EXPECT_EQ(d.getSeconds(), 59);
    EXPECT_EQ(d.getTime(), 28943999);  // 1970-12-01 23:59:59 UTC
    Date big(5, 40, 120, 1, 2, 3);
    EXPECT_EQ(big.getDay(), 1);  // 31 June rolls over to 1 July
    EXPECT_EQ(big.getMonth(), 6);
}

TEST_F(DateTest, SettersRejectOutOfRangeValues)
{
    Date d(0, 15, 100, 12, 0, 0);
    const time_t before = d.getTime();
    d.setDay(0);
    d.setDay(32);
    d.setMonth(12);
    d.setYear(69);
    d.setHour(24);
    d.setMinutes(60);
    d.setSeconds(60);
    d.setTime(0);
    d.setTime(-5);
    EXPECT_EQ(d.getTime(), before);
    EXPECT_EQ(d.getDay(), 15);

    d.setDay(31);
    d.setMonth(1);
    EXPECT_EQ(d.getMonth(), 2);
    EXPECT_EQ(d.getDay(), 2);  // 31 February 2000 is 2 March
    d.setTime(86400);
    EXPECT_EQ(d.getYear(), 70);
    EXPECT_EQ(d.getDay(), 2);
    EXPECT_EQ(d.getHour(), 0);
}

TEST_F(DateTest, ComparisonsAndText)
{
    Date a(0, 1, 100, 0, 0, 0);
    Date b(0, 2, 100, 0, 0, 0);
    EXPECT_TRUE(a.before(b));
    EXPECT_TRUE(b.after(a));
    EXPECT_TRUE(a != b);
    Date c(a);
    EXPECT_TRUE(c == a);
    c = b;
    EXPECT_EQ(c.getDay(), 2);
    EXPECT_EQ(a.toString(), "Sat Jan  1 00:00:00 2000\n");
}
