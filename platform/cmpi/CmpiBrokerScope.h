#ifndef VYN_PLATFORM_CMPI_CMPIBROKERSCOPE_H
#define VYN_PLATFORM_CMPI_CMPIBROKERSCOPE_H

#include "platform/cmpi/CmpiAbi.h"

// The broker that handles making broker objects use. It is per thread and set
// only while a broker's call runs in the library, because each provider may
// have its own broker and one provider may be unloaded while another stays.

// Null outside a call.
const CMPIBroker* cmpiCurrentBroker() noexcept;

// Installs a broker as the current one of this thread for its lifetime and
// restores the previous one afterwards.
class CmpiBrokerScope {
public:
    explicit CmpiBrokerScope(const CMPIBroker* broker) noexcept;
    ~CmpiBrokerScope();
    CmpiBrokerScope(const CmpiBrokerScope&) = delete;
    CmpiBrokerScope& operator=(const CmpiBrokerScope&) = delete;

private:
    const CMPIBroker* previous_;
};

#endif
