#ifndef VYN_CIMPROV_PROVIDERINSTANCE_H
#define VYN_CIMPROV_PROVIDERINSTANCE_H

#include "platform/cmpi/CmpiHandles.h"
#include "platform/cmpi/CmpiProvider.h"

#include <string>

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

// A provider of the one served instance and its methods. The instance
// operations answer from `served`, each traced as "<traceName>::<operation>".
// The most derived class still constructs the virtual CmpiBaseMI itself.
class ServedInstanceProvider : public CmpiInstanceMI, public CmpiMethodMI {
public:
    ServedInstanceProvider(const CmpiBroker& broker, const CmpiContext& ctx,
                           const ProviderInstance& served, const char* traceName);

    CmpiStatus enumInstanceNames(const CmpiContext& ctx, CmpiResult& rslt,
                                 const CmpiObjectPath& cop) override;
    CmpiStatus enumInstances(const CmpiContext& ctx, CmpiResult& rslt,
                             const CmpiObjectPath& cop, const char** props) override;
    CmpiStatus getInstance(const CmpiContext& ctx, CmpiResult& rslt, const CmpiObjectPath& cop,
                           const char** props) override;

private:
    std::string traced(const char* operation) const;

    ProviderInstance served_;
    const char* traceName_;
};

#endif
