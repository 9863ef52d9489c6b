#ifndef VYN_TESTS_PLATFORM_HOSTSIM_RAWFIBTEST_H
#define VYN_TESTS_PLATFORM_HOSTSIM_RAWFIBTEST_H

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vyntest {

// Payload words of a FIB start at its byte 32; a reply's data at byte 64.
constexpr size_t FIB_WORDS_AT = 32;
inline uint32_t word(const std::vector<uint8_t>& fib, size_t n)
{
    return vyn::hostsim::getLe32(fib.data() + FIB_WORDS_AT + 4 * n);
}
inline void setWord(std::vector<uint8_t>& fib, size_t n, uint32_t v)
{
    vyn::hostsim::putLe32(fib.data() + FIB_WORDS_AT + 4 * n, v);
}
inline const uint8_t* replyData(const std::vector<uint8_t>& fib) { return fib.data() + 64; }

// Firmware requests sent to the simulator as raw FIBs on its adapter node,
// with no library in between: handlers are checked against the record tables.
class RawFibTest : public SimulatorTest {
protected:
    // Starts the simulator and opens /dev/ulb0; its descriptor.
    int openAdapter(const std::string& description)
    {
        startSimulator(description);
        EXPECT_EQ(hostIo().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
        const int fd = hostIo().open("/dev/ulb0", O_RDWR);
        EXPECT_GE(fd, 0);
        return fd;
    }

    // A 512-byte FIB 500 of class `cls` and code `code` (payload words 0 and
    // 1), word 5 (a container request's transfer handle) the single-reply mark.
    static std::vector<uint8_t> request(uint32_t cls, uint32_t code)
    {
        using namespace vyn::hostsim;
        std::vector<uint8_t> fib(512, 0);
        putLe32(fib.data(), 0x00100001);
        putLe16(fib.data() + 4, 500);
        fib[6] = 1;
        putLe16(fib.data() + 8, 464);
        putLe16(fib.data() + 10, 512);
        putLe32(fib.data() + 32, cls);
        putLe32(fib.data() + 36, code);
        putLe32(fib.data() + 52, 0xFFFFFFFFu);
        return fib;
    }

    std::vector<uint8_t> send(int fd, std::vector<uint8_t> fib)
    {
        EXPECT_EQ(hostIo().ioctl(fd, 0x42008, fib.data()), 0);
        return fib;
    }
};

}  // namespace vyntest

#endif
