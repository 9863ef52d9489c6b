#include "platform/cim/System.h"

#include <curl/curl.h>
#include <netdb.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <mutex>

namespace cimxml {

String System::getSystemCreationClassName() { return "CIM_ComputerSystem"; }

String System::getHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return String();
    return name;
}

String System::getFullyQualifiedHostName()
{
    String plain = getHostName();
    if (plain.empty())
        return plain;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    if (getaddrinfo(plain.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return plain;
    String canonical = (result->ai_canonname && *result->ai_canonname) ? result->ai_canonname : plain;
    freeaddrinfo(result);
    return canonical;
}

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        std::signal(SIGPIPE, SIG_IGN);
    });
}

}  // namespace cimxml
