// The partition limit a large controller reports, against what the library
// counts: every partition of the controller and every free region of its
// drives. A controller of 128 drives must leave room for a new logical drive
// while few partitions are in use.
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/os/faux_char.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kSliceStart = 128 * 512;
constexpr uint64_t kMemberBytes = 1024ull * 1024 * 1024;

// 128 drives on four buses; 16 RAID 5 of four members on the first 64: 64
// partitions, and 64 drives whose whole slice is free.
std::string largeController(const std::string& extra)
{
    std::string text = "adapters = 1\n[adapter0]\n" + extra;
    for (int b = 0; b < 4; ++b)
        text += "bus" + std::to_string(b) + " = sas 32\n";
    auto at = [](int i) { return std::to_string(i / 32) + ":" + std::to_string(i % 32); };
    for (int i = 0; i < 128; ++i)
        text += "drive" + std::to_string(i) + " = " + at(i) + " sas 146G\n";
    for (int k = 0; k < 16; ++k)
        text += "ld" + std::to_string(k) + " = raid5 " + at(4 * k) + "," + at(4 * k + 1) + "," + at(4 * k + 2) + "," +
                at(4 * k + 3) + "\n";
    return text;
}

size_t logicalDrivesOf(const vyn::hostsim::ControllerState& c)
{
    size_t n = 0;
    for (const auto& [key, line] : c.objects)
        n += key.compare(0, 2, "ld") == 0 ? 1 : 0;
    return n;
}

class PartitionLimitTest : public vyntest::SimulatorTest {};

TEST_F(PartitionLimitTest, AMirrorOnTwoFreeDrivesOfALargeControllerFitsTheDefaultLimit)
{
    struct Case {
        const char* limit;
        FSA_STATUS status;
    };
    // 64 partitions and 128 free regions are counted (the 64 free drives and
    // the tails the RAID 5 members leave behind their whole stripes); a
    // mirror reserves two more.
    const Case cases[] = {{"", FSA_STS_SUCCESS}, {"partitions = 194\n", FSA_STS_SUCCESS}, {"partitions = 193\n", 528}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.limit);
        const std::string description = largeController(k.limit);
        startSimulator(description).setSleepScale(0);
        void* handle = nullptr;
        int aux = 0;
        ASSERT_EQ(FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_WRITE, 1, nullptr, nullptr, &handle,
                                   &aux),
                  FSA_STS_SUCCESS);
        FSA_STORAGE_DEVICE_SPACE spaces[2] = {};
        for (int i = 0; i < 2; ++i) {
            spaces[i].device.busNumber = 3;
            spaces[i].device.targetId = static_cast<uint8_t>(30 + i);
            spaces[i].start = kSliceStart;
            spaces[i].length = kMemberBytes;
        }
        tag_FSA_CONTAINER made = {};
        EXPECT_EQ(FsaCreateLogicalDrive(handle, &made, 2, "Mirror", 0, 2, spaces, 0, nullptr, 0, 0, 0), k.status);
        FsaCloseAdapter(handle);
        // What the next process sees (each limit is a description of its own,
        // seeded afresh).
        vyn::hostsim::Simulator next(description);
        EXPECT_EQ(logicalDrivesOf(next.controller(0)), k.status == FSA_STS_SUCCESS ? 17u : 16u);
    }
}

}  // namespace
