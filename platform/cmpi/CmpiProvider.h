#ifndef VYN_PLATFORM_CMPI_CMPIPROVIDER_H
#define VYN_PLATFORM_CMPI_CMPIPROVIDER_H

#include "platform/cmpi/CmpiAbi.h"
#include "platform/cmpi/CmpiHandles.h"
#include "platform/cmpi/CmpiStatus.h"

#include <mutex>

class CmpiProviderBase;

#define VYN_CMPI_FACTORY extern "C" __attribute__((visibility("default")))

// Virtual base of every provider: one object serves both the instance and the
// method interface of a provider.
class CmpiBaseMI {
public:
    CmpiBaseMI(const CmpiBroker& broker, const CmpiContext& ctx);
    virtual ~CmpiBaseMI();
    virtual CmpiStatus initialize(const CmpiContext& ctx);
    virtual CmpiStatus cleanup(CmpiContext& ctx, bool terminating);

    const CmpiBroker& broker() const { return broker_; }
    CmpiProviderBase* providerBase() const { return providerBase_; }
    void setProviderBase(CmpiProviderBase* base) { providerBase_ = base; }

private:
    CmpiBroker broker_;
    CmpiProviderBase* providerBase_;
};

class CmpiInstanceMI : virtual public CmpiBaseMI {
public:
    CmpiInstanceMI(const CmpiBroker& broker, const CmpiContext& ctx);

    // Each answers CMPI_RC_ERR_NOT_SUPPORTED unless a provider overrides it.
    virtual CmpiStatus enumInstanceNames(const CmpiContext& ctx, CmpiResult& rslt,
                                         const CmpiObjectPath& cop);
    virtual CmpiStatus enumInstances(const CmpiContext& ctx, CmpiResult& rslt,
                                     const CmpiObjectPath& cop, const char** props);
    virtual CmpiStatus getInstance(const CmpiContext& ctx, CmpiResult& rslt,
                                   const CmpiObjectPath& cop, const char** props);
    virtual CmpiStatus createInstance(const CmpiContext& ctx, CmpiResult& rslt,
                                      const CmpiObjectPath& cop, const CmpiInstance& inst);
    virtual CmpiStatus setInstance(const CmpiContext& ctx, CmpiResult& rslt,
                                   const CmpiObjectPath& cop, const CmpiInstance& inst,
                                   const char** props);
    virtual CmpiStatus deleteInstance(const CmpiContext& ctx, CmpiResult& rslt,
                                      const CmpiObjectPath& cop);
    virtual CmpiStatus execQuery(const CmpiContext& ctx, CmpiResult& rslt,
                                 const CmpiObjectPath& cop, const char* language,
                                 const char* query);

    // The instance MI table of a provider registered under `miName`, every slot
    // filled.
    static CMPIInstanceMIFT miTable(const char* miName);

private:
    static CMPIStatus slotEnumInstanceNames(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                            const CMPIResult* rslt,
                                            const CMPIObjectPath* cop) noexcept;
    static CMPIStatus slotEnumInstances(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                        const CMPIResult* rslt, const CMPIObjectPath* cop,
                                        const char** props) noexcept;
    static CMPIStatus slotGetInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                      const CMPIResult* rslt, const CMPIObjectPath* cop,
                                      const char** props) noexcept;
    static CMPIStatus slotCreateInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                         const CMPIResult* rslt, const CMPIObjectPath* cop,
                                         const CMPIInstance* inst) noexcept;
    static CMPIStatus slotModifyInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                         const CMPIResult* rslt, const CMPIObjectPath* cop,
                                         const CMPIInstance* inst, const char** props) noexcept;
    static CMPIStatus slotDeleteInstance(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                         const CMPIResult* rslt,
                                         const CMPIObjectPath* cop) noexcept;
    static CMPIStatus slotExecQuery(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                    const CMPIResult* rslt, const CMPIObjectPath* cop,
                                    const char* query, const char* lang) noexcept;
    static CMPIStatus slotCleanup(CMPIInstanceMI* mi, const CMPIContext* ctx,
                                  CMPIBoolean terminating) noexcept;
};

class CmpiMethodMI : virtual public CmpiBaseMI {
public:
    CmpiMethodMI(const CmpiBroker& broker, const CmpiContext& ctx);

    virtual CmpiStatus invokeMethod(const CmpiContext& ctx, CmpiResult& rslt,
                                    const CmpiObjectPath& cop, const char* method,
                                    const CmpiArgs& in, CmpiArgs& out);

    static CMPIMethodMIFT miTable(const char* miName);

private:
    static CMPIStatus slotInvokeMethod(CMPIMethodMI* mi, const CMPIContext* ctx,
                                       const CMPIResult* rslt, const CMPIObjectPath* cop,
                                       const char* method, const CMPIArgs* in,
                                       CMPIArgs* out) noexcept;
    static CMPIStatus slotCleanup(CMPIMethodMI* mi, const CMPIContext* ctx,
                                  CMPIBoolean terminating) noexcept;
};

// One static object per provider class: the one provider object that both MI
// records share, its use count (one per record handed out) and the broker it
// was made for. Its destructor leaves the provider object alone, so unloading
// the library never runs provider code.
//
// A provider library writes one factory per MI type on createMI, marked with
// VYN_CMPI_FACTORY (libraries are built with hidden visibility, and a version
// script cannot export a hidden symbol); CmpiProviderRecords below holds the
// statics they need:
//
//   static CmpiProviderRecords records("vynXProvider");
//   VYN_CMPI_FACTORY CMPIMethodMI* vynXProvider_Create_MethodMI(const CMPIBroker* mb,
//                                                         const CMPIContext* ctx,
//                                                         CMPIStatus* rc) {
//       return records.createMethodMI<XProvider>(mb, ctx, rc);
//   }
class CmpiProviderBase {
public:
    constexpr CmpiProviderBase() = default;
    CmpiProviderBase(const CmpiProviderBase&) = delete;
    CmpiProviderBase& operator=(const CmpiProviderBase&) = delete;

    // Creates and initialises the provider object on the first call for either
    // MI type, hands out `record` pointing at `table` and the object, and sets
    // *rc. Failure: null and *rc the reason. Never throws.
    template <class Provider>
    static CMPIInstanceMI* createMI(CmpiProviderBase& base, CMPIInstanceMI& record,
                                    CMPIInstanceMIFT& table, const CMPIBroker* mb,
                                    const CMPIContext* ctx, CMPIStatus* rc) noexcept {
        return base.attach(record, table, &construct<Provider>, mb, ctx, rc);
    }

    template <class Provider>
    static CMPIMethodMI* createMI(CmpiProviderBase& base, CMPIMethodMI& record,
                                  CMPIMethodMIFT& table, const CMPIBroker* mb,
                                  const CMPIContext* ctx, CMPIStatus* rc) noexcept {
        return base.attach(record, table, &construct<Provider>, mb, ctx, rc);
    }

    // The cleanup slot of both tables: the last record's cleanup cleans up and
    // deletes the provider object unless it asks to stay loaded.
    static CMPIStatus cleanupRecord(void* hdl, const CMPIContext* ctx,
                                    CMPIBoolean terminating) noexcept;

private:
    using Constructor = CmpiBaseMI* (*)(const CmpiBroker&, const CmpiContext&);

    template <class Provider>
    static CmpiBaseMI* construct(const CmpiBroker& broker, const CmpiContext& ctx) {
        return new Provider(broker, ctx);
    }

    CMPIInstanceMI* attach(CMPIInstanceMI& record, CMPIInstanceMIFT& table, Constructor constructor,
                           const CMPIBroker* mb, const CMPIContext* ctx, CMPIStatus* rc) noexcept;
    CMPIMethodMI* attach(CMPIMethodMI& record, CMPIMethodMIFT& table, Constructor constructor,
                         const CMPIBroker* mb, const CMPIContext* ctx, CMPIStatus* rc) noexcept;
    // With the mutex held: makes the provider object when there is none and
    // puts it into `recordHdl`.
    bool acquire(void*& recordHdl, Constructor constructor, const CMPIBroker* mb,
                 const CMPIContext* ctx, CMPIStatus* rc) noexcept;
    void release() noexcept;

    std::mutex mutex_;
    CmpiBaseMI* provider_ = nullptr;
    const CMPIBroker* broker_ = nullptr;
    unsigned useCount_ = 0;
    unsigned handedOut_ = 0;
    CMPIInstanceMI* instanceRecord_ = nullptr;
    CMPIMethodMI* methodRecord_ = nullptr;
};

// The static state behind one provider name's two factories: the shared
// provider base, both function tables and the two MI records handed out.
struct CmpiProviderRecords {
    explicit CmpiProviderRecords(const char* miName)
        : instanceTable(CmpiInstanceMI::miTable(miName)), methodTable(CmpiMethodMI::miTable(miName)) {}
    CmpiProviderRecords(const CmpiProviderRecords&) = delete;
    CmpiProviderRecords& operator=(const CmpiProviderRecords&) = delete;

    template <class Provider>
    CMPIInstanceMI* createInstanceMI(const CMPIBroker* mb, const CMPIContext* ctx,
                                     CMPIStatus* rc) noexcept {
        return CmpiProviderBase::createMI<Provider>(base, instanceRecord, instanceTable, mb, ctx, rc);
    }

    template <class Provider>
    CMPIMethodMI* createMethodMI(const CMPIBroker* mb, const CMPIContext* ctx,
                                 CMPIStatus* rc) noexcept {
        return CmpiProviderBase::createMI<Provider>(base, methodRecord, methodTable, mb, ctx, rc);
    }

    CmpiProviderBase base;
    CMPIInstanceMIFT instanceTable;
    CMPIMethodMIFT methodTable;
    CMPIInstanceMI instanceRecord{};
    CMPIMethodMI methodRecord{};
};

#endif
