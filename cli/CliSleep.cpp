#include "cli/CliSleep.h"

#include <chrono>
#include <thread>

namespace {

void realSleep(unsigned seconds)
{
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

CliSleepFunction currentSleep = realSleep;

}  // namespace

void cliSleep(unsigned seconds)
{
    currentSleep(seconds);
}

CliSleepFunction setCliSleep(CliSleepFunction sleep)
{
    const CliSleepFunction previous = currentSleep;
    currentSleep = sleep != nullptr ? sleep : realSleep;
    return previous;
}
