#ifndef VYN_TESTS_COMMAND_VYN_CAPTURINGSESSIONTEST_H
#define VYN_TESTS_COMMAND_VYN_CAPTURINGSESSIONTEST_H

#include "FsaThrown.h"
#include "OpenSessionTest.h"

#include <functional>
#include <string>
#include <vector>

namespace vyntest {

// A read-write session over the built-in description, with the requests the
// simulator captured for its creation, pool and sector commands.
class CapturingSessionTest : public OpenSessionTest {
protected:
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        startSimulator("base = default\nhostsim.persist = 0\n" + extra);
        handle_ = openAgain(FSA_ACC_READ_WRITE);
        return handle_ != nullptr ? context(handle_) : nullptr;
    }
    vyn::hostsim::ControllerState& state() { return sim().controller(0); }
    std::vector<vyn::hostsim::ControllerState::CtCapture> captured(uint32_t code)
    {
        std::vector<vyn::hostsim::ControllerState::CtCapture> out;
        for (const auto& k : state().captured)
            if (k.code == code)
                out.push_back(k);
        return out;
    }
    void* handle_ = nullptr;
};

}  // namespace vyntest

#endif
