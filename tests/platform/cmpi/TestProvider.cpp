// Providers of the CMPI layer's own tests, built as a provider library that
// exports only its factories. Each instance operation names itself in its
// status message; the methods exercise the handle classes the way the real
// providers do.

#include "platform/cmpi/CmpiProvider.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

std::atomic<unsigned> constructed{0};
std::atomic<unsigned> destroyed{0};
std::atomic<unsigned> initialized{0};
std::atomic<unsigned> cleanups{0};
std::atomic<bool> stayLoaded{false};

// Handles kept past their call, to show that the broker poisons them.
CmpiArgs keptArgs{static_cast<const CMPIArgs*>(nullptr)};
CmpiString keptString;

const char* const kInstanceId = "TestInstance";

CmpiObjectPath namedPath(const CmpiObjectPath& cop) {
    CmpiObjectPath path = cop.copy();
    path.setKey("InstanceID", CmpiData(kInstanceId));
    return path;
}

class TestProvider : public CmpiInstanceMI, public CmpiMethodMI {
public:
    TestProvider(const CmpiBroker& broker, const CmpiContext& ctx)
        : CmpiBaseMI(broker, ctx), CmpiInstanceMI(broker, ctx), CmpiMethodMI(broker, ctx) {
        ++constructed;
    }
    ~TestProvider() override { ++destroyed; }

    CmpiStatus initialize(const CmpiContext&) override {
        ++initialized;
        return CmpiStatus(CMPI_RC_OK);
    }

    CmpiStatus cleanup(CmpiContext&, bool) override {
        ++cleanups;
        return CmpiStatus(stayLoaded ? CMPI_RC_DO_NOT_UNLOAD : CMPI_RC_OK);
    }

    CmpiStatus enumInstanceNames(const CmpiContext&, CmpiResult& rslt,
                                 const CmpiObjectPath& cop) override {
        rslt.returnData(namedPath(cop));
        rslt.returnDone();
        return CmpiStatus(CMPI_RC_OK, "enumInstanceNames");
    }

    CmpiStatus enumInstances(const CmpiContext&, CmpiResult& rslt, const CmpiObjectPath& cop,
                             const char**) override {
        CmpiInstance inst(namedPath(cop));
        inst.setProperty("InstanceID", CmpiData(kInstanceId));
        rslt.returnData(inst);
        rslt.returnDone();
        return CmpiStatus(CMPI_RC_OK, "enumInstances");
    }

    CmpiStatus getInstance(const CmpiContext&, CmpiResult& rslt, const CmpiObjectPath& cop,
                           const char**) override {
        CmpiData id = cop.getKey("InstanceID");
        if (id.isNotFound() || id.isNullValue() ||
            std::strcmp(static_cast<const char*>(id), kInstanceId) != 0) {
            return CmpiStatus(CMPI_RC_ERR_NOT_FOUND, "getInstance");
        }
        CmpiInstance inst(namedPath(cop));
        inst.setProperty("InstanceID", CmpiData(kInstanceId));
        rslt.returnData(inst);
        rslt.returnDone();
        return CmpiStatus(CMPI_RC_OK, "getInstance");
    }

    CmpiStatus createInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                              const CmpiInstance&) override {
        return CmpiStatus(CMPI_RC_OK, "createInstance");
    }

    CmpiStatus setInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                           const CmpiInstance&, const char**) override {
        return CmpiStatus(CMPI_RC_OK, "setInstance");
    }

    CmpiStatus deleteInstance(const CmpiContext&, CmpiResult&, const CmpiObjectPath&) override {
        return CmpiStatus(CMPI_RC_OK, "deleteInstance");
    }

    CmpiStatus execQuery(const CmpiContext&, CmpiResult&, const CmpiObjectPath&,
                         const char* language, const char* query) override {
        std::string msg = std::string("execQuery language=") + language + " query=" + query;
        return CmpiStatus(CMPI_RC_OK, msg.c_str());
    }

    CmpiStatus invokeMethod(const CmpiContext& ctx, CmpiResult& rslt, const CmpiObjectPath& cop,
                            const char* method, const CmpiArgs& in, CmpiArgs& out) override;

private:
    CmpiStatus passing(CmpiResult& rslt, const CmpiObjectPath& cop, CmpiArgs& out);
};

CmpiStatus TestProvider::passing(CmpiResult& rslt, const CmpiObjectPath& cop, CmpiArgs& out) {
    out.setArg("chars", CmpiData("text"));
    out.setArg("string", CmpiData(CmpiString("made")));
    out.setArg("uint32", CmpiData(CMPIUint32(7)));
    out.setArg("sint32", CmpiData(CMPISint32(-7)));
    out.setArg("boolean", CmpiTrue);

    CmpiArray names(2, CMPI_string);
    names.setElement(0, CmpiData("first"));
    names.setElement(1, CmpiData(CmpiString("second")));
    out.setArg("names", CmpiData(names));

    CmpiArray numbers(2, CMPI_uint32);
    numbers.setElement(0, CmpiData(CMPIUint32(1)));
    numbers.setElement(1, CmpiData(CMPIUint32(2)));
    out.setArg("numbers", CmpiData(numbers));

    CmpiObjectPath path = namedPath(cop);
    out.setArg("path", CmpiData(path));
    CmpiInstance inst(path);
    inst.setProperty("Name", CmpiData("n"));
    out.setArg("instance", CmpiData(inst));

    rslt.returnData(CmpiData("returned"));
    rslt.returnDone();
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus TestProvider::invokeMethod(const CmpiContext&, CmpiResult& rslt,
                                      const CmpiObjectPath& cop, const char* method,
                                      const CmpiArgs& in, CmpiArgs& out) {
    const std::string m = method;
    if (m == "echo") {
        const char* text = in.getArg("text");
        std::string copy = text;
        // Widens the window in which concurrent calls could mix their objects
        // or lose their current broker; the string made afterwards needs it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        out.setArg("text", CmpiData(CmpiString(copy.c_str())));
        rslt.returnData(CmpiData(CMPISint32(0)));
        rslt.returnDone();
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "passing") return passing(rslt, cop, out);
    if (m == "echoAll") {
        for (const char* name : {"text", "flag", "count", "words"}) {
            CmpiData d = in.getArg(name);
            if (!d.isNotFound()) out.setArg(name, d);
        }
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "mismatch") {
        CmpiArray numbers(1, CMPI_uint32);
        numbers.setElement(0, CmpiData(CMPISint32(1)));
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "classIs") {
        const char* cls = in.getArg("cls");
        out.setArg("isA", CmpiBooleanData(cop.classPathIsA(cls) ? 1 : 0));
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "throwStatus") throw CmpiStatus(CMPI_RC_ERR_NOT_FOUND);
    if (m == "throwRuntime") throw std::runtime_error("provider failed");
    if (m == "throwBadAlloc") throw std::bad_alloc();
    if (m == "throwInt") throw 42;
    if (m == "keep") {
        keptArgs = in;
        keptString = CmpiString("kept");
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "useKept") {
        CmpiData old = keptArgs.getArg("text");
        out.setArg("kept", CmpiData(keptString.charPtr()));
        return CmpiStatus(old.isNotFound() ? CMPI_RC_ERR_NOT_FOUND : CMPI_RC_OK);
    }
    if (m == "stayLoaded") {
        stayLoaded = static_cast<CMPIBoolean>(in.getArg("stay")) != 0;
        return CmpiStatus(CMPI_RC_OK);
    }
    if (m == "counters") {
        out.setArg("constructed", CmpiData(CMPIUint32(constructed)));
        out.setArg("destroyed", CmpiData(CMPIUint32(destroyed)));
        out.setArg("initialized", CmpiData(CMPIUint32(initialized)));
        out.setArg("cleanups", CmpiData(CMPIUint32(cleanups)));
        return CmpiStatus(CMPI_RC_OK);
    }
    return CmpiStatus(CMPI_RC_ERR_METHOD_NOT_FOUND, "no such method");
}

// Overrides nothing: every operation answers with the layer's defaults.
class DefaultProvider : public CmpiInstanceMI, public CmpiMethodMI {
public:
    DefaultProvider(const CmpiBroker& broker, const CmpiContext& ctx)
        : CmpiBaseMI(broker, ctx), CmpiInstanceMI(broker, ctx), CmpiMethodMI(broker, ctx) {}
};

// Registered for both MI types but implementing only the method interface.
class MethodOnlyProvider : public CmpiMethodMI {
public:
    MethodOnlyProvider(const CmpiBroker& broker, const CmpiContext& ctx)
        : CmpiBaseMI(broker, ctx), CmpiMethodMI(broker, ctx) {}
};

class FailingProvider : public CmpiMethodMI {
public:
    FailingProvider(const CmpiBroker& broker, const CmpiContext& ctx)
        : CmpiBaseMI(broker, ctx), CmpiMethodMI(broker, ctx) {}
    CmpiStatus initialize(const CmpiContext&) override {
        return CmpiStatus(CMPI_RC_ERR_ACCESS_DENIED, "refused");
    }
};

std::atomic<unsigned> throwingDestroyed{0};

// Its initialize throws: the factory fails and deletes the half-made object.
class ThrowingProvider : public CmpiInstanceMI, public CmpiMethodMI {
public:
    ThrowingProvider(const CmpiBroker& broker, const CmpiContext& ctx)
        : CmpiBaseMI(broker, ctx), CmpiInstanceMI(broker, ctx), CmpiMethodMI(broker, ctx) {}
    ~ThrowingProvider() override { ++throwingDestroyed; }
    CmpiStatus initialize(const CmpiContext&) override {
        if (throwingDestroyed < 2) throw std::runtime_error("cannot start");
        return CmpiStatus(CMPI_RC_OK);
    }
};

CmpiProviderRecords testRecords("vynTestProvider");
CmpiProviderRecords defaultRecords("vynDefaultProvider");
CmpiProviderRecords methodOnlyRecords("vynMethodOnlyProvider");
CmpiProviderRecords failingRecords("vynFailingProvider");
CmpiProviderRecords throwingRecords("vynThrowingProvider");

}  // namespace

VYN_CMPI_FACTORY CMPIInstanceMI* vynTestProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                   const CMPIContext* ctx,
                                                                   CMPIStatus* rc) {
    return testRecords.createInstanceMI<TestProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIMethodMI* vynTestProvider_Create_MethodMI(const CMPIBroker* mb,
                                                               const CMPIContext* ctx,
                                                               CMPIStatus* rc) {
    return testRecords.createMethodMI<TestProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIInstanceMI* vynDefaultProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                      const CMPIContext* ctx,
                                                                      CMPIStatus* rc) {
    return defaultRecords.createInstanceMI<DefaultProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIMethodMI* vynDefaultProvider_Create_MethodMI(const CMPIBroker* mb,
                                                                  const CMPIContext* ctx,
                                                                  CMPIStatus* rc) {
    return defaultRecords.createMethodMI<DefaultProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIInstanceMI* vynMethodOnlyProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                         const CMPIContext* ctx,
                                                                         CMPIStatus* rc) {
    return methodOnlyRecords.createInstanceMI<MethodOnlyProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIMethodMI* vynMethodOnlyProvider_Create_MethodMI(const CMPIBroker* mb,
                                                                     const CMPIContext* ctx,
                                                                     CMPIStatus* rc) {
    return methodOnlyRecords.createMethodMI<MethodOnlyProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIMethodMI* vynFailingProvider_Create_MethodMI(const CMPIBroker* mb,
                                                                  const CMPIContext* ctx,
                                                                  CMPIStatus* rc) {
    return failingRecords.createMethodMI<FailingProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIInstanceMI* vynThrowingProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                       const CMPIContext* ctx,
                                                                       CMPIStatus* rc) {
    return throwingRecords.createInstanceMI<ThrowingProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIMethodMI* vynThrowingProvider_Create_MethodMI(const CMPIBroker* mb,
                                                                   const CMPIContext* ctx,
                                                                   CMPIStatus* rc) {
    return throwingRecords.createMethodMI<ThrowingProvider>(mb, ctx, rc);
}
