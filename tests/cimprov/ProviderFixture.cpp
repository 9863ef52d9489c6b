#include "ProviderFixture.h"

#include <dlfcn.h>

namespace provtest {

namespace {

// Blocks that the library's globals still hold when a broker unloads it
// become unreachable, and the leak checker would blame each test for them.
// Pinned, the library stays mapped, and every test still gets fresh provider
// objects from the factories.
const bool pinned = dlopen(kLibrary, RTLD_NOW | RTLD_NODELETE) != nullptr;

}  // namespace

void ProviderTest::SetUp() {
    HostRootTest::SetUp();
    ASSERT_TRUE(pinned) << dlerror();
    MiniBroker::clearFailures();
    std::string error;
    ASSERT_TRUE(broker_.load(kLibrary, &error)) << error;
    CMPIStatus rc;
    ASSERT_NE(broker_.createMethodMI(provider_, &rc), nullptr);
    ASSERT_EQ(rc.rc, CMPI_RC_OK);
    ASSERT_NE(broker_.createInstanceMI(provider_, &rc), nullptr);
    ASSERT_EQ(rc.rc, CMPI_RC_OK);
}

void ProviderTest::TearDown() {
    if (broker_.instanceMI()) {
        EXPECT_EQ(broker_.cleanupInstanceMI(true).rc, CMPI_RC_OK);
    }
    if (broker_.methodMI()) {
        EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
    }
    broker_.unload();
    std::string failures;
    for (const std::string& f : MiniBroker::failures()) failures += "\n  " + f;
    EXPECT_TRUE(failures.empty()) << failures;
    HostRootTest::TearDown();
}

Path ProviderTest::path(const std::string& ns, const std::string& cls, const char* instanceId) {
    Path p{ns, cls, "", {}};
    if (instanceId != nullptr) minibroker::setEntry(p.keys, "InstanceID", Value::string(instanceId));
    return p;
}

int returnedValue(const Outcome& o) {
    const Value* v = o.returned();
    if (v == nullptr || v->type != CMPI_sint32) return -12345;
    return v->scalar.sint32;
}

std::vector<std::string> outTexts(const Outcome& o, const std::string& name) {
    std::vector<std::string> texts;
    if (const Value* v = o.outArg(name)) {
        for (const Value& e : v->elements) texts.push_back(e.text);
    }
    return texts;
}

std::string flavourParamName(const ::testing::TestParamInfo<Flavour>& info) {
    return minibroker::flavourName(info.param);
}

}  // namespace provtest
