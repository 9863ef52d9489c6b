#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNERRORTEXTS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNERRORTEXTS_H

#include "Command/Vyn/common/fa_status.h"
#include "common/Ret.h"
#include "common/StorDebug.h"

// The fixed formats of the family's error records (VynErrorPrintf).
namespace vynerror {

// The failing firmware call and its status.
constexpr const char* API = "*** FSA API Error: %s fsaStatus=%d ***";
// What could not be allocated or made.
constexpr const char* RESOURCE = "*** Resource Error: %s ***";
// Why no firmware handle is at hand.
constexpr const char* BUSY = "*** Busy: %s ***";

// A failed firmware call: the Ret's API error and one record naming the
// call, at the caller's place.
inline void apiError(Ret& ret, const char* call, FSA_STATUS status, const char* file = __builtin_FILE(),
                     int line = __builtin_LINE())
{
    ret.setApiError(status);
    VynErrorPrintf(file, line, API, call, static_cast<int>(status));
}

// Something that could not be had: the Ret's resource error and one record.
inline void resourceError(Ret& ret, const char* what, const char* file = __builtin_FILE(),
                          int line = __builtin_LINE())
{
    ret.setResource();
    VynErrorPrintf(file, line, RESOURCE, what);
}

}  // namespace vynerror

#endif
