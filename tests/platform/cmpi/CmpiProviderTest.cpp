// The provider classes end to end: a provider library built like a real one,
// loaded and driven by the mini broker in both flavours.

#include "MiniBroker.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using namespace minibroker;

namespace {

const char* const kLibrary = VYN_CMPI_TESTPROVIDER;
const char* const kProvider = "vynTestProvider";

Path testPath(bool withKey = true) {
    Path p{"root/test", "Test_Class", "", {}};
    if (withKey) setEntry(p.keys, "InstanceID", Value::string("TestInstance"));
    return p;
}

std::string failureText() {
    std::string text;
    for (const std::string& f : MiniBroker::failures()) text += "\n  " + f;
    return text;
}

bool anyFailureContains(const std::string& part) {
    for (const std::string& f : MiniBroker::failures()) {
        if (f.find(part) != std::string::npos) return true;
    }
    return false;
}

TEST(CmpiExports, OnlyTheFactoriesAreExported) {
    std::string error;
    std::vector<std::string> symbols = exportedSymbols(kLibrary, &error);
    std::sort(symbols.begin(), symbols.end());
    const std::vector<std::string> expected = {
        "vynDefaultProvider_Create_InstanceMI",  "vynDefaultProvider_Create_MethodMI",
        "vynFailingProvider_Create_MethodMI",    "vynMethodOnlyProvider_Create_InstanceMI",
        "vynMethodOnlyProvider_Create_MethodMI", "vynTestProvider_Create_InstanceMI",
        "vynTestProvider_Create_MethodMI",       "vynThrowingProvider_Create_InstanceMI",
        "vynThrowingProvider_Create_MethodMI",
    };
    EXPECT_EQ(symbols, expected) << error;
    void* lib = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlsym(lib, "_Generic_Create_InstanceMI"), nullptr);
    EXPECT_EQ(dlsym(lib, "_Generic_Create_MethodMI"), nullptr);
    dlclose(lib);
}

class CmpiProviderTest : public ::testing::TestWithParam<Flavour> {
protected:
    void SetUp() override {
        MiniBroker::clearFailures();
        std::string error;
        ASSERT_TRUE(broker_.load(kLibrary, &error)) << error;
    }

    void TearDown() override {
        if (broker_.instanceMI()) {
            EXPECT_EQ(broker_.cleanupInstanceMI(true).rc, CMPI_RC_OK);
        }
        if (broker_.methodMI()) {
            EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
        }
        broker_.unload();
        EXPECT_TRUE(MiniBroker::failures().empty()) << failureText();
    }

    void createBoth(const std::string& provider = kProvider) {
        CMPIStatus rc;
        ASSERT_NE(broker_.createInstanceMI(provider, &rc), nullptr);
        ASSERT_EQ(rc.rc, CMPI_RC_OK);
        ASSERT_NE(broker_.createMethodMI(provider, &rc), nullptr);
        ASSERT_EQ(rc.rc, CMPI_RC_OK);
    }

    // The test provider's object counters, read through a method call.
    std::vector<unsigned> counters() {
        Outcome o = broker_.invoke(testPath(), "counters", {});
        std::vector<unsigned> values;
        for (const char* name : {"constructed", "destroyed", "initialized", "cleanups"}) {
            const Value* v = o.outArg(name);
            values.push_back(v ? v->scalar.uint32 : 999u);
        }
        return values;
    }

    MiniBroker broker_{GetParam()};
};

TEST_P(CmpiProviderTest, EitherFactoryFirstGivesOneInitialisedObject) {
    for (bool instanceFirst : {true, false}) {
        SCOPED_TRACE(instanceFirst ? "instance first" : "method first");
        const CMPIStatus garbage{static_cast<CMPIrc>(77), reinterpret_cast<CMPIString*>(0x10)};
        CMPIStatus rcInstance, rcMethod;
        CMPIInstanceMI* inst = nullptr;
        CMPIMethodMI* meth = nullptr;
        if (instanceFirst) {
            inst = broker_.createInstanceMI(kProvider, &rcInstance, garbage);
            meth = broker_.createMethodMI(kProvider, &rcMethod, garbage);
        } else {
            meth = broker_.createMethodMI(kProvider, &rcMethod, garbage);
            inst = broker_.createInstanceMI(kProvider, &rcInstance, garbage);
        }
        ASSERT_NE(inst, nullptr);
        ASSERT_NE(meth, nullptr);
        for (const CMPIStatus& rc : {rcInstance, rcMethod}) {
            EXPECT_EQ(rc.rc, CMPI_RC_OK);
            EXPECT_EQ(rc.msg, nullptr);
        }
        EXPECT_NE(inst->hdl, nullptr);
        EXPECT_EQ(inst->hdl, meth->hdl);
        const CMPIInstanceMIFT* it = inst->ft;
        const CMPIMethodMIFT* mt = meth->ft;
        EXPECT_EQ(it->ftVersion, 200);
        EXPECT_EQ(it->miVersion, 200);
        EXPECT_EQ(mt->ftVersion, 200);
        EXPECT_EQ(mt->miVersion, 200);
        EXPECT_STREQ(it->miName, kProvider);
        EXPECT_STREQ(mt->miName, kProvider);
        EXPECT_TRUE(it->cleanup && it->enumerateInstanceNames && it->enumerateInstances &&
                    it->getInstance && it->createInstance && it->modifyInstance &&
                    it->deleteInstance && it->execQuery);
        EXPECT_TRUE(mt->cleanup && mt->invokeMethod);

        std::vector<unsigned> c = counters();
        // constructed, destroyed, initialized: one object per round
        const unsigned round = instanceFirst ? 1 : 2;
        EXPECT_EQ(c[0], round);
        EXPECT_EQ(c[1], round - 1);
        EXPECT_EQ(c[2], round);
        EXPECT_EQ(broker_.cleanupInstanceMI(true).rc, CMPI_RC_OK);
        EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
    }
}

TEST_P(CmpiProviderTest, FailedInitializeFailsTheFactory) {
    CMPIStatus rc;
    EXPECT_EQ(broker_.createMethodMI("vynFailingProvider", &rc), nullptr);
    EXPECT_EQ(rc.rc, CMPI_RC_ERR_ACCESS_DENIED);

    // An initialize that throws fails each factory call alike (either MI type
    // first, *rc preset to garbage) and leaves no half-made object behind: the
    // third attempt makes a fresh one that works.
    const CMPIStatus garbage{static_cast<CMPIrc>(77), nullptr};
    EXPECT_EQ(broker_.createInstanceMI("vynThrowingProvider", &rc, garbage), nullptr);
    EXPECT_EQ(rc.rc, CMPI_RC_ERR_FAILED);
    EXPECT_EQ(broker_.createMethodMI("vynThrowingProvider", &rc, garbage), nullptr);
    EXPECT_EQ(rc.rc, CMPI_RC_ERR_FAILED);
    createBoth("vynThrowingProvider");
    EXPECT_EQ(broker_.invoke(testPath(), "m", {}).rc, CMPI_RC_ERR_NOT_SUPPORTED);
}

TEST_P(CmpiProviderTest, EachSlotReachesTheVirtualOfItsName) {
    createBoth();
    struct Case {
        const char* expected;
        Outcome outcome;
    };
    Instance inst{testPath(), {}};
    Case cases[] = {
        {"enumInstanceNames", broker_.enumInstanceNames(testPath(false))},
        {"enumInstances", broker_.enumInstances(testPath(false))},
        {"getInstance", broker_.getInstance(testPath())},
        {"createInstance", broker_.createInstance(testPath(), inst)},
        {"setInstance", broker_.modifyInstance(testPath(), inst)},
        {"deleteInstance", broker_.deleteInstance(testPath())},
        // The C slot passes the query first, the language second.
        {"execQuery language=WQL query=SELECT * FROM Test_Class",
         broker_.execQuery(testPath(false), "SELECT * FROM Test_Class", "WQL")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.outcome.rc, CMPI_RC_OK) << c.expected;
        EXPECT_TRUE(c.outcome.hasMsg) << c.expected;
        EXPECT_EQ(c.outcome.msg, c.expected);
    }
    const Outcome& names = cases[0].outcome;
    ASSERT_EQ(names.items.size(), 1u);
    EXPECT_TRUE(names.done);
    EXPECT_EQ(pathText(names.items[0].path), "root/test:Test_Class.InstanceID=\"TestInstance\"");
    const Outcome& instances = cases[1].outcome;
    ASSERT_EQ(instances.items.size(), 1u);
    EXPECT_EQ(instances.items[0].kind, Item::Kind::Instance);
    EXPECT_EQ(findEntry(instances.items[0].instance.props, "InstanceID")->text, "TestInstance");

    Outcome missingKey = broker_.getInstance(testPath(false));
    EXPECT_EQ(missingKey.rc, CMPI_RC_ERR_NOT_FOUND);
    EXPECT_TRUE(missingKey.items.empty());
    EXPECT_EQ(broker_.invoke(testPath(), "noSuchMethod", {}).rc, CMPI_RC_ERR_METHOD_NOT_FOUND);
}

TEST_P(CmpiProviderTest, UnimplementedOperationsAnswerNotSupported) {
    for (const char* provider : {"vynDefaultProvider", "vynMethodOnlyProvider"}) {
        SCOPED_TRACE(provider);
        createBoth(provider);
        Instance inst{testPath(), {}};
        const Outcome outcomes[] = {
            broker_.enumInstanceNames(testPath()),    broker_.enumInstances(testPath()),
            broker_.getInstance(testPath()),          broker_.createInstance(testPath(), inst),
            broker_.modifyInstance(testPath(), inst), broker_.deleteInstance(testPath()),
            broker_.execQuery(testPath(), "q", "l"),
        };
        for (const Outcome& o : outcomes) {
            EXPECT_EQ(o.rc, CMPI_RC_ERR_NOT_SUPPORTED);
            EXPECT_TRUE(o.items.empty());
        }
        EXPECT_EQ(broker_.invoke(testPath(), "anything", {}).rc, CMPI_RC_ERR_NOT_SUPPORTED);
        EXPECT_EQ(broker_.cleanupInstanceMI(false).rc, CMPI_RC_OK);
        EXPECT_EQ(broker_.cleanupMethodMI(false).rc, CMPI_RC_OK);
    }
}

TEST_P(CmpiProviderTest, NoExceptionReachesTheBroker) {
    createBoth();
    struct Case {
        const char* method;
        CMPIrc rc;
        const char* msg;  // null: no message
    } cases[] = {
        {"throwStatus", CMPI_RC_ERR_NOT_FOUND, nullptr},
        {"throwRuntime", CMPI_RC_ERR_FAILED, "provider failed"},
        {"throwBadAlloc", CMPI_RC_ERR_FAILED, "out of memory"},
        {"throwInt", CMPI_RC_ERR_FAILED, nullptr},
        {"mismatch", CMPI_RC_ERR_TYPE_MISMATCH, nullptr},
    };
    for (const Case& c : cases) {
        Outcome o = broker_.invoke(testPath(), c.method, {});
        EXPECT_EQ(o.rc, c.rc) << c.method;
        EXPECT_EQ(o.hasMsg, c.msg != nullptr) << c.method;
        if (c.msg) {
            EXPECT_EQ(o.msg, c.msg) << c.method;
        }
        EXPECT_TRUE(o.items.empty()) << c.method;
    }
}

TEST_P(CmpiProviderTest, OutputArgumentsReachTheBrokerTyped) {
    createBoth();
    Outcome o = broker_.invoke(testPath(), "passing", {});
    ASSERT_EQ(o.rc, CMPI_RC_OK);
    EXPECT_TRUE(o.done);
    ASSERT_NE(o.returned(), nullptr);
    EXPECT_EQ(o.returned()->text, "returned");
    struct Expect {
        const char* name;
        CMPIType type;
        const char* text;
    } expected[] = {
        {"chars", CMPI_chars, "text"},
        {"string", CMPI_chars, "made"},
        {"uint32", CMPI_uint32, "7"},
        {"sint32", CMPI_sint32, "-7"},
        {"boolean", CMPI_boolean, "true"},
        {"names", CMPI_stringA, nullptr},
        {"numbers", CMPI_uint32A, nullptr},
        {"path", CMPI_ref, "root/test:Test_Class.InstanceID=\"TestInstance\""},
        {"instance", CMPI_instance, "instance root/test:Test_Class.InstanceID=\"TestInstance\""},
    };
    for (const Expect& e : expected) {
        const Value* v = o.outArg(e.name);
        ASSERT_NE(v, nullptr) << e.name;
        EXPECT_EQ(v->type, e.type) << e.name;
        if (e.text) {
            EXPECT_EQ(v->toText(), e.text) << e.name;
        }
    }
    const Value* names = o.outArg("names");
    ASSERT_EQ(names->elements.size(), 2u);
    EXPECT_EQ(names->elements[0].text, "first");
    EXPECT_EQ(names->elements[1].text, "second");
    EXPECT_EQ(o.outArg("numbers")->elements[1].scalar.uint32, 2u);
}

TEST_P(CmpiProviderTest, ClassPathIsAAsksTheBroker) {
    createBoth();
    broker_.setSuperclasses("Test_Class", {"CIM_Base"});
    for (auto [cls, expected] : {std::pair<const char*, bool>{"cim_base", true},
                                 {"Test_Class", true},
                                 {"Other_Class", false}}) {
        Outcome o = broker_.invoke(testPath(), "classIs", {{"cls", Value::string(cls)}});
        ASSERT_EQ(o.rc, CMPI_RC_OK) << cls;
        EXPECT_EQ(o.outArg("isA")->scalar.boolean, expected ? 1 : 0) << cls;
    }
}

TEST_P(CmpiProviderTest, ObjectsKeptPastTheirCallArePoisoned) {
    createBoth();
    ASSERT_EQ(broker_.invoke(testPath(), "keep", {{"text", Value::string("x")}}).rc, CMPI_RC_OK);
    ASSERT_TRUE(MiniBroker::failures().empty()) << failureText();
    Outcome o = broker_.invoke(testPath(), "useKept", {});
    EXPECT_NE(o.rc, CMPI_RC_OK);
    EXPECT_TRUE(anyFailureContains("use after call CMPIArgsFT.getArg")) << failureText();
    MiniBroker::clearFailures();
}

TEST_P(CmpiProviderTest, LastCleanupDeletesTheObjectAndFactoriesStartAgain) {
    for (bool terminating : {false, true}) {
        SCOPED_TRACE(terminating ? "terminating" : "idle unload");
        createBoth();
        std::vector<unsigned> before = counters();
        CMPIInstanceMI* inst = broker_.instanceMI();
        CMPIMethodMI* meth = broker_.methodMI();
        EXPECT_EQ(broker_.cleanupInstanceMI(terminating).rc, CMPI_RC_OK);
        EXPECT_NE(meth->hdl, nullptr);
        EXPECT_EQ(broker_.cleanupMethodMI(terminating).rc, CMPI_RC_OK);
        EXPECT_EQ(inst->hdl, nullptr);
        EXPECT_EQ(meth->hdl, nullptr);

        createBoth();
        std::vector<unsigned> after = counters();
        EXPECT_EQ(after[0], before[0] + 1);  // constructed
        EXPECT_EQ(after[1], before[1] + 1);  // destroyed
        EXPECT_EQ(after[2], before[2] + 1);  // initialized
        EXPECT_EQ(after[3], before[3] + 1);  // one provider cleanup for two records
        EXPECT_EQ(broker_.cleanupInstanceMI(true).rc, CMPI_RC_OK);
        EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
    }
}

TEST_P(CmpiProviderTest, ACleanupThatAsksToStayKeepsTheObject) {
    createBoth();
    ASSERT_EQ(broker_.invoke(testPath(), "stayLoaded", {{"stay", Value::boolean(true)}}).rc,
              CMPI_RC_OK);
    std::vector<unsigned> before = counters();
    CMPIInstanceMI* inst = broker_.instanceMI();
    CMPIMethodMI* meth = broker_.methodMI();
    EXPECT_EQ(broker_.cleanupInstanceMI(false).rc, CMPI_RC_OK);
    EXPECT_EQ(broker_.cleanupMethodMI(false).rc, CMPI_RC_DO_NOT_UNLOAD);
    EXPECT_NE(meth->hdl, nullptr);
    broker_.reinstate(inst, meth);
    std::vector<unsigned> kept = counters();
    EXPECT_EQ(kept[1], before[1]);      // nothing destroyed
    EXPECT_EQ(kept[3], before[3] + 1);  // asked once

    // Both records count again: the first cleanup only gives one back.
    EXPECT_EQ(broker_.cleanupInstanceMI(false).rc, CMPI_RC_OK);
    EXPECT_EQ(counters()[3], before[3] + 1);
    // At broker shutdown the object goes whatever the provider answers.
    EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_DO_NOT_UNLOAD);
    EXPECT_EQ(inst->hdl, nullptr);
    EXPECT_EQ(meth->hdl, nullptr);
    createBoth();
    std::vector<unsigned> after = counters();
    EXPECT_EQ(after[1], before[1] + 1);
    broker_.invoke(testPath(), "stayLoaded", {{"stay", Value::boolean(false)}});
}

// Brokers call one provider on several threads at once: each call's objects
// and the current broker are its own.
TEST_P(CmpiProviderTest, ConcurrentCallsKeepTheirOwnObjects) {
    createBoth();
    const int kThreads = 8;
    const int kCalls = 25;
    std::vector<std::vector<std::string>> wrong(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &wrong] {
            for (int i = 0; i < kCalls; ++i) {
                const std::string text =
                    "thread " + std::to_string(t) + " call " + std::to_string(i);
                Outcome o = broker_.invoke(testPath(), "echo", {{"text", Value::string(text)}});
                const Value* out = o.outArg("text");
                const Value* ret = o.returned();
                if (o.rc != CMPI_RC_OK || !o.done || !out || out->text != text || !ret ||
                    ret->type != CMPI_sint32 || o.items.size() != 1) {
                    wrong[t].push_back(text + " came back as " + (out ? out->text : "nothing"));
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(wrong[t].empty()) << wrong[t].front();
}

// A broker slot failing in the middle of a call ends that call with the
// broker's status; the next call runs normally.
TEST_P(CmpiProviderTest, BrokerFailuresInsideACallEndTheCall) {
    createBoth();
    for (const char* slot : {"addArg", "newString", "newArray", "setElementAt", "newObjectPath",
                             "addKey", "newInstance", "setProperty"}) {
        broker_.failOnce(slot);
        Outcome failed = broker_.invoke(testPath(), "passing", {});
        EXPECT_EQ(failed.rc, CMPI_RC_ERR_FAILED) << slot;
        EXPECT_FALSE(failed.done) << slot;
        Outcome next = broker_.invoke(testPath(), "passing", {});
        EXPECT_EQ(next.rc, CMPI_RC_OK) << "after " << slot;
        EXPECT_TRUE(next.done) << "after " << slot;
    }
}

// After the last cleanup the broker may close the library and load it again:
// the library leaves the process, and the new copy starts from fresh statics.
TEST_P(CmpiProviderTest, ReloadedLibraryStartsAfresh) {
    createBoth();
    ASSERT_EQ(broker_.invoke(testPath(), "passing", {}).rc, CMPI_RC_OK);
    ASSERT_EQ(broker_.cleanupInstanceMI(false).rc, CMPI_RC_OK);
    ASSERT_EQ(broker_.cleanupMethodMI(false).rc, CMPI_RC_OK);
    EXPECT_TRUE(broker_.unload()) << "the library stays in the process after dlclose";

    std::string error;
    ASSERT_TRUE(broker_.load(kLibrary, &error)) << error;
    // The method factory first this time.
    CMPIStatus rc;
    ASSERT_NE(broker_.createMethodMI(kProvider, &rc), nullptr);
    ASSERT_NE(broker_.createInstanceMI(kProvider, &rc), nullptr);
    // constructed, destroyed, initialized, cleanups
    EXPECT_EQ(counters(), (std::vector<unsigned>{1, 0, 1, 0}));
    Outcome o = broker_.getInstance(testPath());
    EXPECT_EQ(o.rc, CMPI_RC_OK);
    EXPECT_EQ(o.items.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Flavours, CmpiProviderTest,
                         ::testing::Values(Flavour::Sfcb, Flavour::Pegasus),
                         [](const ::testing::TestParamInfo<Flavour>& info) {
                             return std::string(flavourName(info.param));
                         });

}  // namespace
