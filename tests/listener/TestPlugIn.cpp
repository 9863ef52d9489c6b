// A notification plug-in for the daemon's tests. It appends "init", one line
// per event "eventTime|eventCode|eventType|eventDesc|identifier" and
// "terminate" to the file that VYN_PLUGIN_LOG names under VYN_HOST_ROOT.
// PlugInInit returns VYN_PLUGIN_INIT_RESULT (default 0). The slow variant
// holds each notification until the file VYN_PLUGIN_RELEASE names exists
// under VYN_HOST_ROOT (at most 30 s), or for 150 ms when that is not set.
#include "listener/VynEvent.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// `file` under the host root, or "" when the variable naming it is unset.
std::string hostFile(const char* variable)
{
    const char* root = std::getenv("VYN_HOST_ROOT");
    const char* file = std::getenv(variable);
    if (file == nullptr)
        return std::string();
    return std::string(root != nullptr ? root : "") + file;
}

void append(const std::string& line)
{
    const std::string path = hostFile("VYN_PLUGIN_LOG");
    if (path.empty())
        return;
    if (FILE* out = std::fopen(path.c_str(), "a")) {
        std::fputs((line + "\n").c_str(), out);
        std::fclose(out);
    }
}

}  // namespace

extern "C" int PlugInInit(void)
{
    append("init");
    const char* result = std::getenv("VYN_PLUGIN_INIT_RESULT");
    return result != nullptr ? std::atoi(result) : 0;
}

extern "C" void PlugInNotify(_vynEvent event)
{
#ifdef SLOW_NOTIFY
    const std::string release = hostFile("VYN_PLUGIN_RELEASE");
    struct timespec pause = {0, 150 * 1000 * 1000};
    if (release.empty()) {
        nanosleep(&pause, nullptr);
    } else {
        pause.tv_nsec = 5 * 1000 * 1000;
        for (int i = 0; i < 6000 && access(release.c_str(), F_OK) != 0; ++i)
            nanosleep(&pause, nullptr);
    }
#endif
    append(event.eventTime + "|" + std::to_string(event.eventCode) + "|" + std::to_string(event.eventType) + "|" +
           event.eventDesc + "|" + event.identifier);
}

#ifndef NO_TERMINATE
extern "C" void PlugInTerminate(void)
{
    append("terminate");
}
#endif
