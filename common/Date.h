#ifndef VYN_COMMON_DATE_H
#define VYN_COMMON_DATE_H

#include <ctime>
#include <string>

// A calendar instant in local time. Out-of-range parts given to the
// constructors are clamped into range; the setters reject them instead.
class Date {
public:
    Date();
    // Month 0..11, day 1..31, year counted from 1900 and not before 1970;
    // the time of day stays that of now.
    Date(unsigned month, unsigned day, unsigned year);
    Date(unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minutes,
         unsigned seconds);
    Date(const Date& other) = default;
    Date& operator=(const Date& other) = default;

    bool operator==(const Date& other) const { return time == other.time; }
    bool operator!=(const Date& other) const { return time != other.time; }
    bool before(const Date& other) const { return time < other.time; }
    bool after(const Date& other) const { return time > other.time; }

    time_t getTime() const { return time; }
    int getMonth() const { return local.tm_mon; }
    int getDay() const { return local.tm_mday; }
    int getYear() const { return local.tm_year; }
    int getHour() const { return local.tm_hour; }
    int getMinutes() const { return local.tm_min; }
    int getSeconds() const { return local.tm_sec; }

    // Only a positive time is taken.
    void setTime(long t);
    void refresh();
    void setMonth(unsigned month);
    void setDay(unsigned day);
    void setYear(unsigned year);
    void setHour(unsigned hour);
    void setMinutes(unsigned minutes);
    void setSeconds(unsigned seconds);

    // ctime's text, newline included.
    std::string toString() const;

private:
    void setDate(unsigned month, unsigned day, unsigned year, unsigned lastMonth);
    void recompute();

    time_t time;
    struct tm local;
};

#endif
