#ifndef VYN_TESTS_CIMPROV_PROVIDERFIXTURE_H
#define VYN_TESTS_CIMPROV_PROVIDERFIXTURE_H

// libvynprov.so loaded by the mini broker, once per test and per broker
// flavour, under the test's own host root.

#include "MiniBroker.h"
#include "support/HostRootTest.h"

#include <string>

namespace provtest {

using minibroker::Entries;
using minibroker::Flavour;
using minibroker::MiniBroker;
using minibroker::Outcome;
using minibroker::Path;
using minibroker::Value;

constexpr const char* kLibrary = VYNPROV_LIBRARY;
constexpr const char* kNamespace = "root/tov/vyn/cli";

class ProviderTest : public vyntest::HostRootTest,
                     public ::testing::WithParamInterface<Flavour> {
protected:
    ProviderTest(const char* provider, const char* cls, const char* instanceId)
        : provider_(provider), class_(cls), instanceId_(instanceId) {}

    void SetUp() override;
    void TearDown() override;

    // The served instance's path; other namespaces, classes or ids for the
    // error cases.
    Path path() const { return path(kNamespace, class_, instanceId_); }
    static Path path(const std::string& ns, const std::string& cls, const char* instanceId);

    Outcome invoke(const std::string& method, const Entries& in = {}) {
        return broker_.invoke(path(), method, in);
    }

    MiniBroker broker_{GetParam()};

private:
    const char* provider_;
    const char* class_;
    const char* instanceId_;
};

// The sint32 the method returned, or a value no method returns.
int returnedValue(const Outcome& o);
// The texts of an output string array; empty when the argument is missing.
std::vector<std::string> outTexts(const Outcome& o, const std::string& name);

std::string flavourParamName(const ::testing::TestParamInfo<Flavour>& info);

}  // namespace provtest

#endif
