#ifndef VYN_TESTS_RAIDMODEL_IMPLEMENTATION_VYN_FAMILYTEST_H
#define VYN_TESTS_RAIDMODEL_IMPLEMENTATION_VYN_FAMILYTEST_H

#include "Command/Vyn/common/fa_types.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <memory>
#include <string>

class Ret;
class RaidObject;
class VynAdapter;

namespace vyntest {

// A node of the tree owns its children only through the tree: a test that
// holds a node alone frees its subtree with it.
struct TreeDeleter {
    void operator()(RaidObject* node) const;
};
template <class T>
using TreePtr = std::unique_ptr<T, TreeDeleter>;

// Controller objects over a simulator in this process: a private root, the
// family's debug files under it (error and trace logs exist, so both are
// written), and sleeps that advance only the simulated clock.
class FamilyTest : public SimulatorTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a one-controller simulator with `extra` description lines.
    void startController(const std::string& extra = "");
    // The enumeration record of the first controller the firmware interface
    // lists (a test fails when there is none).
    _tagFSA_ADAPTER_ENUM_INFO firstRecord();
    // A record for a controller that is never opened for real: named
    // "ulb0", with the given availability and type text.
    static _tagFSA_ADAPTER_ENUM_INFO craftedRecord(uint32_t availability = 0, const wchar_t* typeText = L"VYN SIMRAID",
                                                   uint32_t oem = 0);
    // A controller object of the first listed controller, opened by itself.
    TreePtr<VynAdapter> openController(Ret* ret = nullptr);

    std::string errorLog() const;
    std::string traceLog() const;
    // Occurrences of `text` in the error log.
    unsigned errorCount(const std::string& text) const;
};

}  // namespace vyntest

#endif
