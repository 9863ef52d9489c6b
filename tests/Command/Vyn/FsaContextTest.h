#ifndef VYN_TESTS_COMMAND_VYN_FSACONTEXTTEST_H
#define VYN_TESTS_COMMAND_VYN_FSACONTEXTTEST_H

#include "Command/Vyn/common/fa_context.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <string>
#include <vector>

namespace vyntest {

// A simulator and adapter contexts made by hand the way the open makes them:
// access mode, the driver channel, the context mutex and a handle.
class FsaContextTest : public SimulatorTest {
protected:
    void TearDown() override;

    // Opens adapter `adapter` of the running simulator in `mode`; null (and a
    // test failure) when the channel does not open.
    FSAAPI_CONTEXT* openContext(FSA_ACCESS mode = FSA_ACC_READ_WRITE, unsigned adapter = 0);
    void* handleOf(const FSAAPI_CONTEXT* ctx) const { return ctx->apiHandle; }
    void closeContext(FSAAPI_CONTEXT* ctx);

private:
    std::vector<FSAAPI_CONTEXT*> contexts_;
};

}  // namespace vyntest

#endif
