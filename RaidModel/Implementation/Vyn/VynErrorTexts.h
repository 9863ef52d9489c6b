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
// The controller's write handle could not be had.
constexpr const char* NO_WRITE_HANDLE = "*** Busy: Failed to obtain FSA API adapter write handle ***";
// A refused argument and its value.
constexpr const char* BAD_PARAM = "*** Bad Parameter: %s, paramValue=%d ***";
// What the controller or the object does not offer, and the value asked for.
constexpr const char* NOT_SUPPORTED = "*** Not Supported: %s, value=%d ***";
// What did not fit the caller's buffer.
constexpr const char* OUTPUT_OVERFLOW = "*** Output Overflow: %s ***";
// Anything thrown inside an operation ends there.
constexpr const char* EXCEPTION = "*** Exception Caught ***";

// A failed firmware call: the Ret's API error and one record naming the
// call, at the caller's place.
inline Ret& apiError(Ret& ret, const char* call, FSA_STATUS status, const char* file = __builtin_FILE(),
                     int line = __builtin_LINE())
{
    ret.setApiError(status);
    VynErrorPrintf(file, line, API, call, static_cast<int>(status));
    return ret;
}

// Something that could not be had: the Ret's resource error and one record.
inline Ret& resourceError(Ret& ret, const char* what, const char* file = __builtin_FILE(),
                          int line = __builtin_LINE())
{
    ret.setResource();
    VynErrorPrintf(file, line, RESOURCE, what);
    return ret;
}

// Each helper below sets the Ret as its name says and writes one record at
// the caller's place. The value a refusal names is the one its Ret carries.

inline Ret& busy(Ret& ret, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ret.setBusy();
    VynErrorPrintf(file, line, NO_WRITE_HANDLE);
    return ret;
}

inline Ret& badParam(Ret& ret, const char* what, long value, const char* file = __builtin_FILE(),
                     int line = __builtin_LINE())
{
    ret.setBadParam(value);
    VynErrorPrintf(file, line, BAD_PARAM, what, static_cast<int>(value));
    return ret;
}

inline Ret& notSupported(Ret& ret, const char* what, long value, const char* file = __builtin_FILE(),
                         int line = __builtin_LINE())
{
    ret.setNotSupported(value);
    VynErrorPrintf(file, line, NOT_SUPPORTED, what, static_cast<int>(value));
    return ret;
}

inline Ret& overflow(Ret& ret, const char* what, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ret.setOverflow();
    VynErrorPrintf(file, line, OUTPUT_OVERFLOW, what);
    return ret;
}

inline Ret& exception(Ret& ret, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ret.setException();
    VynErrorPrintf(file, line, EXCEPTION);
    return ret;
}

}  // namespace vynerror

#endif
