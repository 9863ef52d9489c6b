// A notification plug-in for the daemon's tests. It appends "init", one line
// per event "eventTime|eventCode|eventType|eventDesc|identifier" and
// "terminate" to the file that VYN_PLUGIN_LOG names under VYN_HOST_ROOT.
// PlugInInit returns VYN_PLUGIN_INIT_RESULT (default 0).
#include "listener/VynEvent.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void append(const std::string& line)
{
    const char* root = std::getenv("VYN_HOST_ROOT");
    const char* file = std::getenv("VYN_PLUGIN_LOG");
    if (file == nullptr)
        return;
    const std::string path = std::string(root != nullptr ? root : "") + file;
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
    struct timespec pause = {0, 150 * 1000 * 1000};
    nanosleep(&pause, nullptr);
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
