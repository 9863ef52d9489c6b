#include "common/StorTimeInfo.h"

#include <sys/time.h>
#include <time.h>

const char* const gStorMonthNames[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
const char* const gStorMonthAbbrevs[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const gStorDayOfWeekNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
const char* const gStorDayOfWeekAbbrevs[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

namespace {

const char* pick(const char* const* table, int count, int index)
{
    return index >= 0 && index < count ? table[index] : "???";
}

}  // namespace

StorTimeInfo::StorTimeInfo(bool gmt)
{
    GetTime(gmt);
}

void StorTimeInfo::GetTime(bool gmt)
{
    tzset();
    struct timeval now = {};
    gettimeofday(&now, nullptr);
    time_t seconds = now.tv_sec;
    struct tm parts = {};
    if (gmt)
        gmtime_r(&seconds, &parts);
    else
        localtime_r(&seconds, &parts);

    year = parts.tm_year + 1900;
    month = parts.tm_mon;
    dayOfWeek = parts.tm_wday;
    dayOfMonth = parts.tm_mday;
    hour = parts.tm_hour;
    minute = parts.tm_min;
    second = parts.tm_sec;
    msec = static_cast<int>(now.tv_usec / 1000);
    timeZone = static_cast<int>(::timezone / 60);
    daylight = ::daylight != 0;
}

const char* StorTimeInfo::MonthStr() const
{
    return pick(gStorMonthNames, 12, month);
}

const char* StorTimeInfo::MonthAbbrev() const
{
    return pick(gStorMonthAbbrevs, 12, month);
}

const char* StorTimeInfo::DayOfWeekStr() const
{
    return pick(gStorDayOfWeekNames, 7, dayOfWeek);
}

const char* StorTimeInfo::DayOfWeekAbbrev() const
{
    return pick(gStorDayOfWeekAbbrevs, 7, dayOfWeek);
}
