#ifndef VYN_PLATFORM_CIM_SYSTEM_H
#define VYN_PLATFORM_CIM_SYSTEM_H

#include "platform/cim/CIMTypes.h"

namespace cimxml {

class System {
public:
    // "CIM_ComputerSystem", the key value brokers on Linux use.
    static String getSystemCreationClassName();
    // gethostname(), canonicalised through getaddrinfo(AI_CANONNAME) when the
    // resolver knows it, else the plain name.
    static String getHostName();
    static String getFullyQualifiedHostName();
};

// Call once in main before any thread starts: initialises libcurl and ignores
// SIGPIPE (the client's handles set CURLOPT_NOSIGNAL, so a write to a socket
// the broker closed would otherwise kill the process).
void globalInit();

}  // namespace cimxml

#endif
