#include "common/Date.h"

#include <cstring>

namespace {

constexpr unsigned kFirstYear = 70;  // 1970, counted from 1900

}  // namespace

Date::Date() : time(0), local{}
{
    refresh();
}

Date::Date(unsigned month, unsigned day, unsigned year) : Date()
{
    setDate(month, day, year, 0);
    recompute();
}

Date::Date(unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minutes,
           unsigned seconds)
    : Date()
{
    setDate(month, day, year, 11);
    local.tm_hour = static_cast<int>(hour < 24 ? hour : 23);
    local.tm_min = static_cast<int>(minutes < 60 ? minutes : 59);
    local.tm_sec = static_cast<int>(seconds < 60 ? seconds : 59);
    recompute();
}

// The 3-part form has always turned a bad month into January, the 6-part
// form into December; saved dates depend on both.
void Date::setDate(unsigned month, unsigned day, unsigned year, unsigned lastMonth)
{
    local.tm_mon = static_cast<int>(month < 12 ? month : lastMonth);
    local.tm_mday = static_cast<int>(day == 0 ? 1 : (day > 31 ? 31 : day));
    local.tm_year = static_cast<int>(year >= kFirstYear ? year : kFirstYear);
}

// The daylight-saving flag of now does not hold for another season: let
// mktime decide it for the date itself.
void Date::recompute()
{
    local.tm_isdst = -1;
    time = mktime(&local);
}

void Date::setTime(long t)
{
    if (t <= 0) {
        return;
    }
    time = static_cast<time_t>(t);
    localtime_r(&time, &local);
}

void Date::refresh()
{
    time = std::time(nullptr);
    localtime_r(&time, &local);
}

void Date::setMonth(unsigned month)
{
    if (month < 12) {
        local.tm_mon = static_cast<int>(month);
        recompute();
    }
}

void Date::setDay(unsigned day)
{
    if (day >= 1 && day <= 31) {
        local.tm_mday = static_cast<int>(day);
        recompute();
    }
}

void Date::setYear(unsigned year)
{
    if (year >= kFirstYear) {
        local.tm_year = static_cast<int>(year);
        recompute();
    }
}

void Date::setHour(unsigned hour)
{
    if (hour < 24) {
        local.tm_hour = static_cast<int>(hour);
        recompute();
    }
}

void Date::setMinutes(unsigned minutes)
{
    if (minutes < 60) {
        local.tm_min = static_cast<int>(minutes);
        recompute();
    }
}

void Date::setSeconds(unsigned seconds)
{
    if (seconds < 60) {
        local.tm_sec = static_cast<int>(seconds);
        recompute();
    }
}

std::string Date::toString() const
{
    char text[32] = {};
    if (ctime_r(&time, text) == nullptr) {
        return std::string();
    }
    return std::string(text);
}
