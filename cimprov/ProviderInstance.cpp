#include "cimprov/ProviderInstance.h"

#include "listener/osal/FnLogger.h"

#include <cstring>

namespace {

const char* const kInstanceIdKey = "InstanceID";

bool isServedClass(const CmpiObjectPath& cop, const ProviderInstance& served) {
    return cop.classPathIsA(served.className) &&
           cop.getNameSpace().equals(kProviderNamespace);
}

CmpiObjectPath servedPath(const CmpiObjectPath& cop, const ProviderInstance& served) {
    CmpiObjectPath path = cop.copy();
    path.setKey(kInstanceIdKey, CmpiData(served.instanceId));
    return path;
}

CmpiInstance servedInstance(const CmpiObjectPath& cop, const ProviderInstance& served) {
    CmpiInstance inst(servedPath(cop, served));
    inst.setProperty(kInstanceIdKey, CmpiData(served.instanceId));
    return inst;
}

}  // namespace

CmpiStatus checkInstancePath(const CmpiObjectPath& cop, const ProviderInstance& served,
                             FnLogger& log) {
    if (!cop.getNameSpace().equals(kProviderNamespace)) {
        log.log("Invalid namespace");
        return CmpiStatus(CMPI_RC_ERR_INVALID_NAMESPACE);
    }
    if (!cop.getClassName().equals(served.className)) {
        log.log("Invalid class");
        return CmpiStatus(CMPI_RC_ERR_INVALID_CLASS);
    }
    CmpiData id = cop.getKey(kInstanceIdKey);
    bool matches = false;
    if (!id.isNotFound() && !id.isNullValue()) {
        // A key of another type is no match either.
        try {
            matches = std::strcmp(static_cast<const char*>(id), served.instanceId) == 0;
        } catch (const CmpiStatus&) {
            matches = false;
        }
    }
    if (!matches) {
        log.log("Invalid instance id");
        return CmpiStatus(CMPI_RC_ERR_NOT_FOUND);
    }
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus enumServedInstanceNames(CmpiResult& rslt, const CmpiObjectPath& cop,
                                   const ProviderInstance& served) {
    if (!isServedClass(cop, served)) return CmpiStatus(CMPI_RC_ERR_INVALID_CLASS);
    rslt.returnData(servedPath(cop, served));
    rslt.returnDone();
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus enumServedInstances(CmpiResult& rslt, const CmpiObjectPath& cop,
                               const ProviderInstance& served) {
    if (!isServedClass(cop, served)) return CmpiStatus(CMPI_RC_ERR_INVALID_CLASS);
    rslt.returnData(servedInstance(cop, served));
    rslt.returnDone();
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus getServedInstance(CmpiResult& rslt, const CmpiObjectPath& cop,
                             const ProviderInstance& served, FnLogger& log) {
    CmpiStatus checked = checkInstancePath(cop, served, log);
    if (checked.rc() != CMPI_RC_OK) return checked;
    rslt.returnData(servedInstance(cop, served));
    rslt.returnDone();
    return CmpiStatus(CMPI_RC_OK);
}

void returnMethodValue(CmpiResult& rslt, CMPISint32 value) {
    rslt.returnData(CmpiData(value));
    rslt.returnDone();
}

ServedInstanceProvider::ServedInstanceProvider(const CmpiBroker& broker, const CmpiContext& ctx,
                                               const ProviderInstance& served,
                                               const char* traceName)
    : CmpiBaseMI(broker, ctx),
      CmpiInstanceMI(broker, ctx),
      CmpiMethodMI(broker, ctx),
      served_(served),
      traceName_(traceName) {}

std::string ServedInstanceProvider::traced(const char* operation) const {
    return std::string(traceName_) + "::" + operation;
}

CmpiStatus ServedInstanceProvider::enumInstanceNames(const CmpiContext&, CmpiResult& rslt,
                                                     const CmpiObjectPath& cop) {
    FnLogger log(traced("enumInstanceNames").c_str());
    return enumServedInstanceNames(rslt, cop, served_);
}

CmpiStatus ServedInstanceProvider::enumInstances(const CmpiContext&, CmpiResult& rslt,
                                                 const CmpiObjectPath& cop, const char**) {
    FnLogger log(traced("enumInstances").c_str());
    return enumServedInstances(rslt, cop, served_);
}

CmpiStatus ServedInstanceProvider::getInstance(const CmpiContext&, CmpiResult& rslt,
                                               const CmpiObjectPath& cop, const char**) {
    FnLogger log(traced("getInstance").c_str());
    return getServedInstance(rslt, cop, served_, log);
}
