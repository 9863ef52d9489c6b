#ifndef VYN_TESTS_RAIDLIB_TESTLIB_H
#define VYN_TESTS_RAIDLIB_TESTLIB_H

#include <memory>
#include <string>
#include <vector>

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/TestTree.h"
#include "common/StorDebug.h"
#include "support/HostRootTest.h"

namespace vyntest {

// A library object whose factory makes test roots that discover the
// controllers of `plan`; it counts the roots made and their discoveries.
class TestLib : public StorLibPlugin {
public:
    TestLib() : StorLibPlugin(STORLIB_TYPE_VYN) { plan.discoveries = &discoveries; }

    System* newSystem() override
    {
        ++systemsMade;
        if (failFactory) {
            return nullptr;
        }
        return new TestSystem(plan);
    }

    // Roots the library announced as discarded before any handle took them.
    void forgetSystem(System* root) override { forgotten.push_back(root); }

    TestSystem::Plan plan;
    std::vector<System*> forgotten;
    int discoveries = 0;
    int systemsMade = 0;
    bool failFactory = false;
};

// Every case gets its own host root, so the debug files it writes are its
// own; the debug states made for that root are dropped afterwards.
class LibraryTest : public HostRootTest {
protected:
    // The library is made only once the host root is in place, since its
    // debug state takes the file names from it.
    void SetUp() override
    {
        HostRootTest::SetUp();
        lib = std::make_unique<TestLib>();
    }
    void TearDown() override
    {
        lib.reset();
        StorDebugDeleteAll();
        disableDebugLog = false;
        HostRootTest::TearDown();
    }

    std::string errorFile() const { return readFile(hostFile("/var/log/vynerror.txt")); }
    std::string configFile() const { return readFile(hostFile("/var/log/vynconfig.xml")); }

    std::unique_ptr<TestLib> lib;
};

}  // namespace vyntest

#endif
