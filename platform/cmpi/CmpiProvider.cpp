#include "platform/cmpi/CmpiProvider.h"

#include "platform/cmpi/CmpiBrokerScope.h"
#include "platform/cmpi/CmpiSlotCalls.h"

#include <new>

namespace {

CMPIStatus status(CMPIrc rc) { return CMPIStatus{rc, nullptr}; }

void setRc(CMPIStatus* rc, const CMPIStatus& value) {
    if (rc) *rc = value;
}

// Every slot: the record's object, its broker as the current one, the
// interface the slot belongs to, and no exception back into the broker's C
// frames.
template <class Interface, class Record, class Call>
CMPIStatus dispatch(const Record* record, Call call) noexcept {
    auto* base = static_cast<CmpiBaseMI*>(const_cast<void*>(record ? record->hdl : nullptr));
    if (!base) return status(CMPI_RC_ERR_FAILED);
    CmpiBrokerScope scope(base->broker().getEnc());
    try {
        auto* mi = dynamic_cast<Interface*>(base);
        if (!mi) return status(CMPI_RC_ERR_NOT_SUPPORTED);
        return call(*mi).status();
    } catch (...) {
        return cmpiStatusOfCurrentException();
    }
}

}  // namespace

// CmpiBaseMI

CmpiBaseMI::CmpiBaseMI(const CmpiBroker& broker, const CmpiContext&)
    : broker_(broker), providerBase_(nullptr) {}

CmpiBaseMI::~CmpiBaseMI() = default;

CmpiStatus CmpiBaseMI::initialize(const CmpiContext&) { return CmpiStatus(CMPI_RC_OK); }

CmpiStatus CmpiBaseMI::cleanup(CmpiContext&, bool) { return CmpiStatus(CMPI_RC_OK); }

// CmpiInstanceMI

CmpiInstanceMI::CmpiInstanceMI(const CmpiBroker& broker, const CmpiContext& ctx)
    : CmpiBaseMI(broker, ctx) {}

CmpiStatus CmpiInstanceMI::enumInstanceNames(const CmpiContext&, CmpiResult&,
                                             const CmpiObjectPath&) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::enumInstances(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                         const char**) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::getInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                       const char**) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::createInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                          const CmpiInstance&) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::setInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                       const CmpiInstance&, const char**) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::deleteInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CmpiStatus CmpiInstanceMI::execQuery(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                     const char*, const char*) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CMPIInstanceMIFT CmpiInstanceMI::miTable(const char* miName) {
    CMPIInstanceMIFT table{};
    table.ftVersion = VYN_CMPI_MI_VERSION;
    table.miVersion = VYN_CMPI_MI_VERSION;
    table.miName = miName;
    table.cleanup = &slotCleanup;
    table.enumerateInstanceNames = &slotEnumInstanceNames;
    table.enumerateInstances = &slotEnumInstances;
    table.getInstance = &slotGetInstance;
    table.createInstance = &slotCreateInstance;
    table.modifyInstance = &slotModifyInstance;
    table.deleteInstance = &slotDeleteInstance;
    table.execQuery = &slotExecQuery;
    return table;
}

CMPIStatus CmpiInstanceMI::slotEnumInstanceNames(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                                 const CMPIResult* rslt,
                                                 const CMPIObjectPath* cop) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.enumInstanceNames(CmpiContext(ctx), result, CmpiObjectPath(cop));
    });
}

CMPIStatus CmpiInstanceMI::slotEnumInstances(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                             const CMPIResult* rslt, const CMPIObjectPath* cop,
                                             const char** props) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.enumInstances(CmpiContext(ctx), result, CmpiObjectPath(cop), props);
    });
}

CMPIStatus CmpiInstanceMI::slotGetInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                           const CMPIResult* rslt, const CMPIObjectPath* cop,
                                           const char** props) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.getInstance(CmpiContext(ctx), result, CmpiObjectPath(cop), props);
    });
}

CMPIStatus CmpiInstanceMI::slotCreateInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                              const CMPIResult* rslt, const CMPIObjectPath* cop,
                                              const CMPIInstance* inst) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.createInstance(CmpiContext(ctx), result, CmpiObjectPath(cop), CmpiInstance(inst));
    });
}

CMPIStatus CmpiInstanceMI::slotModifyInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                              const CMPIResult* rslt, const CMPIObjectPath* cop,
                                              const CMPIInstance* inst,
                                              const char** props) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.setInstance(CmpiContext(ctx), result, CmpiObjectPath(cop), CmpiInstance(inst),
                             props);
    });
}

CMPIStatus CmpiInstanceMI::slotDeleteInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                              const CMPIResult* rslt,
                                              const CMPIObjectPath* cop) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.deleteInstance(CmpiContext(ctx), result, CmpiObjectPath(cop));
    });
}

// The C slot passes the query first and the language second; the virtual takes
// them the other way round, by name.
CMPIStatus CmpiInstanceMI::slotExecQuery(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                         const CMPIResult* rslt, const CMPIObjectPath* cop,
                                         const char* query, const char* lang) noexcept {
    return dispatch<CmpiInstanceMI>(mi, [&](CmpiInstanceMI& p) {
        CmpiResult result(rslt);
        return p.execQuery(CmpiContext(ctx), result, CmpiObjectPath(cop), lang, query);
    });
}

CMPIStatus CmpiInstanceMI::slotCleanup(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                       CMPIBoolean terminating) noexcept {
    return CmpiProviderBase::cleanupRecord(mi ? mi->hdl : nullptr, ctx, terminating);
}

// CmpiMethodMI

CmpiMethodMI::CmpiMethodMI(const CmpiBroker& broker, const CmpiContext& ctx)
    : CmpiBaseMI(broker, ctx) {}

CmpiStatus CmpiMethodMI::invokeMethod(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                                      const char*, const CmpiArgs&, CmpiArgs&) {
    return CmpiStatus(CMPI_RC_ERR_NOT_SUPPORTED);
}

CMPIMethodMIFT CmpiMethodMI::miTable(const char* miName) {
    CMPIMethodMIFT table{};
    table.ftVersion = VYN_CMPI_MI_VERSION;
    table.miVersion = VYN_CMPI_MI_VERSION;
    table.miName = miName;
    table.cleanup = &slotCleanup;
    table.invokeMethod = &slotInvokeMethod;
    return table;
}

CMPIStatus CmpiMethodMI::slotInvokeMethod(CMPIMethodMI* mi, const CMPIContext* ctx,
                                          const CMPIResult* rslt, const CMPIObjectPath* cop,
                                          const char* method, const CMPIArgs* in,
                                          CMPIArgs* out) noexcept {
    return dispatch<CmpiMethodMI>(mi, [&](CmpiMethodMI& p) {
        CmpiResult result(rslt);
        CmpiArgs outArgs(out);
        return p.invokeMethod(CmpiContext(ctx), result, CmpiObjectPath(cop), method ? method : "",
                              CmpiArgs(in), outArgs);
    });
}

CMPIStatus CmpiMethodMI::slotCleanup(CMPIMethodMI* mi, const CMPIContext* ctx,
                                     CMPIBoolean terminating) noexcept {
    return CmpiProviderBase::cleanupRecord(mi ? mi->hdl : nullptr, ctx, terminating);
}

// CmpiProviderBase

CMPIInstanceMI* CmpiProviderBase::attach(CMPIInstanceMI& record, CMPIInstanceMIFT& table,
                                         Constructor constructor, const CMPIBroker* mb,
                                         const CMPIContext* ctx, CMPIStatus* rc) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    record.ft = &table;
    instanceRecord_ = &record;
    return acquire(record.hdl, constructor, mb, ctx, rc) ? &record : nullptr;
}

CMPIMethodMI* CmpiProviderBase::attach(CMPIMethodMI& record, CMPIMethodMIFT& table,
                                       Constructor constructor, const CMPIBroker* mb,
                                       const CMPIContext* ctx, CMPIStatus* rc) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    record.ft = &table;
    methodRecord_ = &record;
    return acquire(record.hdl, constructor, mb, ctx, rc) ? &record : nullptr;
}

bool CmpiProviderBase::acquire(void*& recordHdl, Constructor constructor, const CMPIBroker* mb,
                               const CMPIContext* ctx, CMPIStatus* rc) noexcept {
    if (!mb) {
        setRc(rc, status(CMPI_RC_ERR_FAILED));
        return false;
    }
    CmpiBrokerScope scope(mb);
    if (!provider_) {
        CmpiBaseMI* made = nullptr;
        try {
            CmpiContext context(ctx);
            made = constructor(CmpiBroker(mb), context);
            // Library code may be built with allocation operators that answer
            // null instead of throwing.
            if (!made) throw std::bad_alloc();
            made->setProviderBase(this);
            CmpiStatus st = made->initialize(context);
            if (st.rc() != CMPI_RC_OK) {
                delete made;
                setRc(rc, st.status());
                return false;
            }
        } catch (...) {
            CMPIStatus st = cmpiStatusOfCurrentException();
            delete made;
            setRc(rc, st.rc == CMPI_RC_OK ? status(CMPI_RC_ERR_FAILED) : st);
            return false;
        }
        provider_ = made;
        broker_ = mb;
    }
    recordHdl = provider_;
    ++useCount_;
    ++handedOut_;
    setRc(rc, status(CMPI_RC_OK));
    return true;
}

void CmpiProviderBase::release() noexcept {
    CmpiBaseMI* gone = provider_;
    provider_ = nullptr;
    broker_ = nullptr;
    useCount_ = 0;
    handedOut_ = 0;
    if (instanceRecord_) instanceRecord_->hdl = nullptr;
    if (methodRecord_) methodRecord_->hdl = nullptr;
    try {
        delete gone;
    } catch (...) {
    }
}

CMPIStatus CmpiProviderBase::cleanupRecord(void* hdl, const CMPIContext* ctx,
                                           CMPIBoolean terminating) noexcept {
    auto* mi = static_cast<CmpiBaseMI*>(hdl);
    CmpiProviderBase* base = mi ? mi->providerBase() : nullptr;
    if (!base) return status(CMPI_RC_ERR_FAILED);
    std::lock_guard<std::mutex> lock(base->mutex_);
    CmpiBrokerScope scope(base->broker_);
    if (base->useCount_ > 1) {
        --base->useCount_;
        return status(CMPI_RC_OK);
    }
    CMPIStatus st = status(CMPI_RC_OK);
    bool threw = false;
    try {
        CmpiContext context(ctx);
        st = mi->cleanup(context, terminating != 0).status();
    } catch (...) {
        st = cmpiStatusOfCurrentException();
        threw = true;
    }
    if (st.rc == CMPI_RC_OK || terminating || threw) {
        base->release();
        return threw && terminating ? status(CMPI_RC_OK) : st;
    }
    // The provider asked to stay loaded: the broker will clean up every record
    // again later.
    base->useCount_ = base->handedOut_;
    return st;
}
