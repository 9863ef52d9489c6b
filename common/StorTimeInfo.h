#ifndef VYN_COMMON_STORTIMEINFO_H
#define VYN_COMMON_STORTIMEINFO_H

constexpr bool STOR_GMT_TIME = true;
constexpr bool STOR_LOCAL_TIME = false;

extern const char* const gStorMonthNames[12];
extern const char* const gStorMonthAbbrevs[12];
extern const char* const gStorDayOfWeekNames[7];
extern const char* const gStorDayOfWeekAbbrevs[7];

// One reading of the clock, broken down with its millisecond part, for the
// time stamps of the debug files.
class StorTimeInfo {
public:
    explicit StorTimeInfo(bool gmt);
    StorTimeInfo(const StorTimeInfo&) = default;
    StorTimeInfo& operator=(const StorTimeInfo&) = default;

    void GetTime(bool gmt);

    int Year() const { return year; }
    int Hour() const { return hour; }
    int Minute() const { return minute; }
    int Second() const { return second; }
    int MSec() const { return msec; }
    int DayOfMonth() const { return dayOfMonth; }
    int TimeZone() const { return timeZone; }

    // "???" for a field out of its table's range.
    const char* MonthStr() const;
    const char* MonthAbbrev() const;
    const char* DayOfWeekStr() const;
    const char* DayOfWeekAbbrev() const;

private:
    int year;
    int month;       // 0-11, January = 0
    int dayOfWeek;   // 0-6, Sunday = 0
    int dayOfMonth;  // 1-31
    int hour;
    int minute;
    int second;
    int msec;
    int timeZone;    // minutes west of Greenwich
    bool daylight;
};

#endif
