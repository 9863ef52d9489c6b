#ifndef VYN_PLATFORM_CMPI_CMPISLOTCALLS_H
#define VYN_PLATFORM_CMPI_CMPISLOTCALLS_H

// Helpers for calling broker slots from the handle classes; private to the
// layer's sources.

#include "platform/cmpi/CmpiAbi.h"

namespace cmpislot {

[[noreturn]] void fail(CMPIrc rc);

// Throws CmpiStatus(status) unless it is OK.
void check(const CMPIStatus& status);

// The current broker with its encoder table, or throws CMPI_RC_ERR_FAILED.
const CMPIBroker& broker();

// A function table or slot that a broker left null is a failure, never a jump
// to address 0.
template <typename T>
T require(T p) {
    if (!p) fail(CMPI_RC_ERR_FAILED);
    return p;
}

// sfcb answers a missing argument or key with rc 6 and state notFound,
// OpenPegasus with rc 12 (arguments) or 6 (keys) and state null + notFound.
bool isMissing(const CMPIStatus& status, const CMPIData& data);

inline CMPIStatus ok() { return CMPIStatus{CMPI_RC_OK, nullptr}; }

}  // namespace cmpislot

#endif
