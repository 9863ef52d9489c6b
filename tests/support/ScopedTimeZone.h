#ifndef VYN_TESTS_SUPPORT_SCOPEDTIMEZONE_H
#define VYN_TESTS_SUPPORT_SCOPEDTIMEZONE_H

#include <cstdlib>
#include <ctime>
#include <string>

namespace vyntest {

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace vyntest

#endif
