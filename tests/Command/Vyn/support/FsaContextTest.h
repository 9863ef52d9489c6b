#ifndef VYN_TESTS_COMMAND_VYN_SUPPORT_FSACONTEXTTEST_H
#define VYN_TESTS_COMMAND_VYN_SUPPORT_FSACONTEXTTEST_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_types.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <vector>

namespace vyntest {

// A simulator and adapter sessions made by hand, as the open will make them:
// the context with its mutex, the driver channel opened, a handle registered
// and entered in the context's handle list. Option words are the test's.
class FsaContextTest : public SimulatorTest {
protected:
    void TearDown() override;

    // A session on "ulb<index>" in `access` mode; null (with a test failure)
    // when the channel does not open.
    void* openSession(FSA_ACCESS access = FSA_ACC_READ_WRITE, unsigned index = 0);
    void closeSession(void* handle);
    static FSAAPI_CONTEXT* context(void* handle);

private:
    std::vector<void*> sessions_;
};

}  // namespace vyntest

#endif
