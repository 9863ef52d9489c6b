#ifndef VYN_CIMPROV_PROVIDERINSTANCE_H
#define VYN_CIMPROV_PROVIDERINSTANCE_H

#include "platform/cmpi/CmpiHandles.h"

class FnLogger;

// Both providers serve one class with a single instance in one namespace.
constexpr const char* kProviderNamespace = "root/tov/vyn/cli";

struct ProviderInstance {
    const char* className;
    const char* instanceId;
};

// The request's namespace, class and "InstanceID", checked in that order
// with their traces: OK, or 3, 5 or 6.
CmpiStatus checkInstancePath(const CmpiObjectPath& cop, const ProviderInstance& served,
                             FnLogger& log);

// The instance operations the two providers share; the enumerations answer
// 5 without a trace for a foreign class or namespace.
CmpiStatus enumServedInstanceNames(CmpiResult& rslt, const CmpiObjectPath& cop,
                                   const ProviderInstance& served);
CmpiStatus enumServedInstances(CmpiResult& rslt, const CmpiObjectPath& cop,
                               const ProviderInstance& served);
CmpiStatus getServedInstance(CmpiResult& rslt, const CmpiObjectPath& cop,
                             const ProviderInstance& served, FnLogger& log);

// The method's return value followed by the end of the result.
void returnMethodValue(CmpiResult& rslt, CMPISint32 value);

#endif
