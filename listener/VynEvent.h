#ifndef VYN_LISTENER_VYNEVENT_H
#define VYN_LISTENER_VYNEVENT_H

#include <cstdint>
#include <string>

// One controller event as the daemon queues it and as every notification
// plug-in receives it, by value. Plug-ins are built with the daemon's compiler
// and flags, since the record carries standard strings.
struct _vynEvent {
    std::string eventTime;
    uint32_t eventCode = 0;
    uint32_t eventType = 0;
    std::string eventDesc;
    std::string identifier;
};

#endif
