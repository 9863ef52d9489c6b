#ifndef VYN_TESTS_COMMAND_VYN_CONTAINERTEST_H
#define VYN_TESTS_COMMAND_VYN_CONTAINERTEST_H

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_open.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vyntest {

// One adapter opened (read-only unless asked otherwise) over a container
// description: the fixture two-containers.conf (a mirror numbered 0 on
// 0:0-0:1, a stripe numbered 2 on 0:2-0:3) with any lines added under
// [adapter0].
class ContainerTest : public SimulatorTest {
protected:
    void TearDown() override
    {
        if (handle_ != nullptr)
            FsaCloseAdapter(handle_);
        handle_ = nullptr;
        SimulatorTest::TearDown();
    }

    FSAAPI_CONTEXT* open(const std::string& extra = "", FSA_ACCESS access = FSA_ACC_READ_ONLY)
    {
        if (handle_ != nullptr)
            FsaCloseAdapter(handle_);
        handle_ = nullptr;
        std::ifstream in(fixturePath("two-containers.conf"));
        std::stringstream text;
        text << in.rdbuf() << extra;
        startSimulator(text.str());
        int aux = 0;
        if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, access, 1, nullptr, nullptr, &handle_,
                             &aux) != 1)
            return nullptr;
        sim().clearRequests();
        return UtilGetContextFromHandle(handle_);
    }

    void* handle() const { return handle_; }

    // Container commands of code `ct` sent since the open.
    unsigned sent(unsigned ct)
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            if (r.isFib && r.command == 500 && r.hasClass && r.fibClass == 2 && r.ct == ct)
                ++n;
        return n;
    }

    static uint32_t word(const uint8_t* record, size_t offset) { return faGetLe32(record + offset); }

private:
    void* handle_ = nullptr;
};

// The logical-device handles of the simulator count up from this one by
// container number.
constexpr uint32_t kFirstHandle = 0x00100000;
constexpr uint32_t kFirstUid = 0x5A000000;

}  // namespace vyntest

#endif
