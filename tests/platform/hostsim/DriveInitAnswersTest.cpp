// The boot record (CT 6) and the physical-device operations (CT 251) as raw
// requests: their reply bytes and what they change on the drives.
#include "RawFibTest.h"
#include "platform/hostsim/Devices.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::replyData;
using vyntest::setWord;
using vyntest::word;

// Drive 1 is passed through; slices follow the drive numbers.
const char* kDrives = "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G jbod=1\n"
                      "drive2 = 0:2 sas 146G\n";

constexpr uint32_t kMbrSignature = 0x21956;
constexpr size_t kPhyDevBytes = 1032;

class DriveInitAnswersTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> command(int fd, uint32_t code, uint32_t p0, uint32_t p2 = 0, uint32_t capacity = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        setWord(fib, 2, p0);
        setWord(fib, 4, p2);
        setWord(fib, 7, capacity);
        if (!input.empty()) {
            fib.resize(2048, 0);
            putLe16(fib.data() + 10, 2048);
            std::memcpy(fib.data() + 64, input.data(), input.size());
            putLe16(fib.data() + 8, static_cast<uint16_t>(32 + input.size()));
            EXPECT_EQ(hostIo().ioctl(fd, 0x42168, fib.data()), 0);
        } else {
            fib = send(fd, fib);
        }
        EXPECT_EQ(word(fib, 0), 0u) << code;
        return fib;
    }
    // CT 251 for a list of entries; the entries of the reply.
    std::vector<uint32_t> phyDevOperation(int fd, uint8_t operation, const std::vector<uint32_t>& entries)
    {
        std::vector<uint8_t> in(kPhyDevBytes, 0);
        in[0] = 1;
        in[1] = operation;
        putLe32(in.data() + 4, static_cast<uint32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i)
            putLe32(in.data() + 8 + 4 * i, entries[i]);
        const std::vector<uint8_t> fib = command(fd, 251, 0, 0, kPhyDevBytes, in);
        EXPECT_EQ(word(fib, 2), 218u);
        std::vector<uint32_t> out;
        const uint32_t n = getLe32(replyData(fib) + 4);
        for (uint32_t i = 0; i < n && i < 256; ++i)
            out.push_back(getLe32(replyData(fib) + 8 + 4 * i));
        return out;
    }
    std::string pair(unsigned drive, const std::string& name)
    {
        const std::string key = "drive" + std::to_string(drive);
        DeviceView d;
        if (!readDevice(key, sim().controller(0).objects.at(key), d))
            return "?";
        return d.pair(name);
    }
    // The boot record's signature word and the slice type (CT 15, CT 63).
    uint32_t signature(int fd, uint32_t slice)
    {
        const std::vector<uint8_t> fib = command(fd, 15, slice, 0, 48);
        EXPECT_EQ(word(fib, 2), 132u);
        return getLe32(replyData(fib));
    }
    uint32_t sliceType(int fd, uint32_t slice) { return getLe32(replyData(command(fd, 63, slice, 0, 32)) + 20); }
};

TEST_F(DriveInitAnswersTest, TheBootRecordMakesAPassedThroughDriveOneForContainers)
{
    const int fd = openAdapter(kDrives);
    EXPECT_EQ(signature(fd, 1), 0u);
    EXPECT_EQ(sliceType(fd, 1), 7u);
    const std::vector<uint8_t> fib = command(fd, 6, 1, 0x5A17);
    EXPECT_EQ(word(fib, 2), 0u);
    EXPECT_EQ(signature(fd, 1), kMbrSignature);
    EXPECT_EQ(getLe32(replyData(command(fd, 15, 1, 0, 48)) + 8), 1u);
    EXPECT_EQ(sliceType(fd, 1), 6u);
    EXPECT_EQ(pair(1, "jbod"), "");
    ASSERT_FALSE(sim().controller(0).captured.empty());
    EXPECT_EQ(sim().controller(0).captured.back().param[2], 0x5A17u);

    // A slice without a drive changes nothing.
    const uint64_t revision = sim().controller(0).objects.revision();
    EXPECT_EQ(word(command(fd, 6, 9), 2), 0u);
    EXPECT_EQ(sim().controller(0).objects.revision(), revision);
}

TEST_F(DriveInitAnswersTest, ListOperationsActOnTheDrivesOfTheirSlices)
{
    const int fd = openAdapter(kDrives);
    struct Case {
        const char* name;
        uint8_t operation;
        std::vector<uint32_t> entries;
        std::vector<uint32_t> answered;           // the slices that could not be handled
        std::vector<std::string> protectedPairs;  // drives 0 to 2
    };
    const Case cases[] = {
        {"protect: a slice without a drive comes back, once", 1, {2, 9, 0, 9, 2}, {9}, {"1", "", "1"}},
        {"unprotect: all handled, none comes back", 2, {0}, {}, {"", "", "1"}},
        {"initialise", 0, {1, 7}, {7}, {"", "", "1"}},
        {"other operations echo their entries", 4, {7, 8}, {7, 8}, {"", "", "1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(phyDevOperation(fd, c.operation, c.entries), c.answered);
        for (unsigned d = 0; d < 3; ++d)
            EXPECT_EQ(pair(d, "protected"), c.protectedPairs[d]) << d;
    }
    EXPECT_EQ(pair(1, "jbod"), "");
    EXPECT_EQ(sliceType(fd, 1), 6u);
}

}  // namespace
