#ifndef VYN_TESTS_COMMAND_VYN_PARTITIONTEST_H
#define VYN_TESTS_COMMAND_VYN_PARTITIONTEST_H

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "OpenSessionTest.h"

#include <string>
#include <vector>

namespace vyntest {

// Slices and partitions over an adapter opened on the simulator.
class PartitionTest : public OpenSessionTest {
protected:
    // Opens ulb0 of a controller with `description`; null when the open fails.
    FSAAPI_CONTEXT* begin(const std::string& description)
    {
        void* h = start(description);
        handle_ = h;
        return h != nullptr ? context(h) : nullptr;
    }
    void* handle() const { return handle_; }
    // CT codes of the container commands since the last clearRequests().
    std::vector<uint32_t> ctCodes()
    {
        std::vector<uint32_t> codes;
        for (const vyn::hostsim::Request& r : sim().requests())
            if (r.isFib && r.command == 500 && r.hasClass && r.fibClass == 2)
                codes.push_back(r.ct);
        return codes;
    }
private:
    void* handle_ = nullptr;
};

}  // namespace vyntest

#endif
