// The NVRAM request (FIB 300) and the new-battery request (class 3
// sub-command 0xF0000), byte for byte on a raw adapter node.
#include "RawFibTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::word;

class NvramAnswersTest : public vyntest::RawFibTest {
protected:
    void open(const std::string& extra = "")
    {
        fd_ = openAdapter("adapters = 1\nhostsim.persist = 0\n" + extra);
        ASSERT_TRUE(sim().ok()) << sim().message();
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            hostIo().close(fd_);
        RawFibTest::TearDown();
    }

    // A 56-byte NVRAM request in a 512-byte FIB 300.
    std::vector<uint8_t> nvram(uint32_t service, uint32_t command, uint16_t size = 56)
    {
        std::vector<uint8_t> fib(512, 0);
        putLe32(fib.data(), 0x21);
        putLe16(fib.data() + 4, 300);
        fib[6] = 1;
        putLe16(fib.data() + 8, size);
        putLe16(fib.data() + 10, 512);
        vyntest::setWord(fib, 0, service);
        vyntest::setWord(fib, 1, command);
        // Whatever else the request holds must not come back.
        for (size_t n = 2; n < 14; ++n)
            vyntest::setWord(fib, n, 0xA5A5A5A5u);
        return send(fd_, fib);
    }

    // Class 3 command `command`, sub-command 0xF0000, adapter number word
    // `adapterWord` and the two-byte value at payload byte 20.
    std::vector<uint8_t> newBattery(uint32_t command, uint32_t adapterWord, uint16_t value, uint16_t size = 22)
    {
        std::vector<uint8_t> fib = request(3, 9);
        putLe16(fib.data() + 8, size);
        vyntest::setWord(fib, 2, adapterWord);
        vyntest::setWord(fib, 3, command);
        vyntest::setWord(fib, 4, 0xF0000);
        putLe16(fib.data() + 32 + 20, value);
        return send(fd_, fib);
    }

    static bool zeroFromWord(const std::vector<uint8_t>& fib, size_t first)
    {
        for (size_t n = first; n < 120; ++n)
            if (word(fib, n) != 0)
                return false;
        return true;
    }

    int fd_ = -1;
};

TEST_F(NvramAnswersTest, StatusAnswersFourWordsOnly)
{
    open("adapter0.nvram_state = 7\nadapter0.battery_state = 4\n");
    const std::vector<uint8_t> reply = nvram(30, 1);
    EXPECT_EQ(word(reply, 0), 0u);
    EXPECT_EQ(word(reply, 1), 0u);
    EXPECT_EQ(word(reply, 2), 7u);
    EXPECT_EQ(word(reply, 3), 4u);
    EXPECT_TRUE(zeroFromWord(reply, 4));
    EXPECT_EQ(sim().controller(0).batteryReconditions, 0u);
}

TEST_F(NvramAnswersTest, RefusedRequests)
{
    open("adapter0.nvram_state = 3\n");
    struct Case {
        uint32_t service, command;
        uint16_t size;
        uint32_t serviceStatus, commandStatus;
    };
    const Case cases[] = {
        {31, 1, 56, 1, 0},  // not the NVRAM service
        {30, 2, 56, 0, 1},  // an NVRAM command the controller does not know
        {30, 10, 4, 1, 0},  // a request too short to hold its command
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.service) + "/" + std::to_string(c.command) + "/" + std::to_string(c.size));
        const std::vector<uint8_t> reply = nvram(c.service, c.command, c.size);
        EXPECT_EQ(word(reply, 0), c.serviceStatus);
        EXPECT_EQ(word(reply, 1), c.commandStatus);
        EXPECT_TRUE(zeroFromWord(reply, 2));
    }
    EXPECT_EQ(sim().controller(0).batteryReconditions, 0u);
}

TEST_F(NvramAnswersTest, ReconditionStartsAreCounted)
{
    open("adapter0.battery_state = 3\n");
    for (uint32_t n = 1; n <= 2; ++n) {
        const std::vector<uint8_t> reply = nvram(30, 10);
        EXPECT_EQ(word(reply, 0), 0u);
        EXPECT_EQ(word(reply, 1), 0u);
        EXPECT_EQ(word(reply, 3), 3u);
        EXPECT_EQ(sim().controller(0).batteryReconditions, n);
    }
}

TEST_F(NvramAnswersTest, NewBattery)
{
    open();
    const std::vector<uint8_t> reply = newBattery(0, 3, 0xBEEF);
    EXPECT_EQ(word(reply, 0), 0u);
    EXPECT_TRUE(zeroFromWord(reply, 1));
    EXPECT_EQ(sim().controller(0).newBatteryValue, 0xBEEFu);
    EXPECT_EQ(sim().controller(0).batteryReplacements, 1u);
    EXPECT_EQ(sim().controller(0).newBatteryAdapterWord, 3u);
    // Another command word, or a request without its two bytes, is refused
    // and changes nothing.
    EXPECT_EQ(word(newBattery(1, 3, 0x1234), 0), 1u);
    EXPECT_EQ(word(newBattery(0, 3, 0x1234, 21), 0), 1u);
    EXPECT_EQ(sim().controller(0).newBatteryValue, 0xBEEFu);
    EXPECT_EQ(sim().controller(0).batteryReplacements, 1u);
}

TEST_F(NvramAnswersTest, WithoutABattery)
{
    open("adapter0.battery = none\n");
    const std::vector<uint8_t> recondition = nvram(30, 10);
    EXPECT_EQ(word(recondition, 0), 0u);
    EXPECT_EQ(word(recondition, 1), 1u);
    EXPECT_EQ(sim().controller(0).batteryReconditions, 0u);
    EXPECT_EQ(word(newBattery(0, 3, 7), 0), kStatusNotSupported);
    EXPECT_EQ(sim().controller(0).batteryReplacements, 0u);
}

}  // namespace
