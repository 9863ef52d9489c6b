#ifndef VYN_PLATFORM_CMPI_CMPISTATUS_H
#define VYN_PLATFORM_CMPI_CMPISTATUS_H

#include "platform/cmpi/CmpiAbi.h"

// The result of every MI operation, and the one exception type the layer
// throws. A message becomes a broker string of the current broker (brokers read
// status messages through their own string layout); without a broker, or when
// the broker cannot make it, the status carries no message.
class CmpiStatus {
public:
    CmpiStatus();
    explicit CmpiStatus(CMPIrc rc);
    CmpiStatus(CMPIrc rc, const char* msg);
    explicit CmpiStatus(const CMPIStatus& status);

    CMPIrc rc() const { return status_.rc; }
    // Never null: "" when the status has no message.
    const char* msg() const;
    const CMPIStatus& status() const { return status_; }

private:
    CMPIStatus status_;
};

// Inside a catch handler: the status that the caught exception stands for
// (a CmpiStatus as thrown, anything else CMPI_RC_ERR_FAILED with a message when
// the exception has one). Never throws.
CMPIStatus cmpiStatusOfCurrentException() noexcept;

// Makes a broker string with the current broker, or returns null. Never throws.
CMPIString* cmpiTryNewString(const char* text) noexcept;

#endif
