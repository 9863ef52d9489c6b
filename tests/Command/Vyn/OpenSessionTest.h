#ifndef VYN_TESTS_COMMAND_VYN_OPENSESSIONTEST_H
#define VYN_TESTS_COMMAND_VYN_OPENSESSIONTEST_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_open.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <string>

namespace vyntest {

// Adapters opened through the library's own open over a simulator.
class OpenSessionTest : public SimulatorTest {
protected:
    void TearDown() override
    {
        for (void* h : handles_)
            FsaCloseAdapter(h);
        handles_.clear();
        SimulatorTest::TearDown();
    }
    // Starts a one-controller simulator with `extra` description lines and
    // opens ulb0; null when the open fails.
    void* start(const std::string& extra = "", FSA_ACCESS access = FSA_ACC_READ_WRITE)
    {
        startSimulator("adapters = 1\nhostsim.persist = 0\n" + extra);
        return openAgain(access);
    }
    void* openAgain(FSA_ACCESS access)
    {
        void* h = nullptr;
        int aux = 0;
        if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, access, 1, nullptr, nullptr, &h, &aux) != 1)
            return nullptr;
        handles_.push_back(h);
        sim().clearRequests();
        return h;
    }
    static FSAAPI_CONTEXT* context(void* h) { return UtilGetContextFromHandle(h); }
    // Number of requests of FIB `command` (500: container commands of CT `ct`).
    unsigned sent(unsigned command, unsigned ct = 0)
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            if (r.isFib && r.command == command && (command != 500 || r.ct == ct))
                ++n;
        return n;
    }

private:
    std::vector<void*> handles_;
};

}  // namespace vyntest

#endif
