#include "RawFibTest.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/DriveRequests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;
constexpr uint32_t kDrive1 = 1;  // bus 0, LUN 0, target 1

class DriveRequestsAnswersTest : public vyntest::RawFibTest {
protected:
    void SetUp() override
    {
        fd_ = openAdapter("adapters = 1\nhostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\n"
                          "drive1 = 0:1 sata 500G\n" + extra_);
        ASSERT_TRUE(sim().ok()) << sim().message();
    }
    void TearDown() override
    {
        hostIo().close(fd_);
        RawFibTest::TearDown();
    }
    // A SCSI-class request: service words 3 and 9, command in word 3,
    // sub-command in word 4, data from payload byte 20.
    std::vector<uint8_t> scsi(uint32_t command, uint32_t sub, const std::vector<uint8_t>& data = {})
    {
        std::vector<uint8_t> fib = request(3, 9);
        putLe32(fib.data() + kPayload + 12, command);
        putLe32(fib.data() + kPayload + 16, sub);
        if (!data.empty())
            std::memcpy(fib.data() + kPayload + 20, data.data(), data.size());
        return send(fd_, fib);
    }
    std::vector<uint8_t> ct(uint32_t code, uint32_t p0, uint32_t p1 = 0)
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + kPayload + 8, p0);
        putLe32(fib.data() + kPayload + 12, p1);
        return send(fd_, fib);
    }
    static const uint8_t* data(const std::vector<uint8_t>& fib) { return fib.data() + kPayload + 20; }
    static uint32_t status(const std::vector<uint8_t>& fib) { return getLe32(fib.data() + kPayload); }
    std::string line(unsigned drive) { return sim().controller(0).objects["drive" + std::to_string(drive)]; }

    int fd_ = -1;
    std::string extra_;
};

TEST_F(DriveRequestsAnswersTest, DeviceProbeRecords)
{
    const std::vector<uint8_t> enhanced = scsi(kDrive1, 11);
    EXPECT_EQ(status(enhanced), 0u);
    EXPECT_EQ(getLe32(data(enhanced)), kDrive1);
    EXPECT_EQ(getLe32(data(enhanced) + 8), 500u * 2 * 1024 * 1024);  // 500G in 512-byte blocks
    EXPECT_EQ(getLe32(data(enhanced) + 16), 512u);
    EXPECT_EQ(data(enhanced)[21], 1);
    EXPECT_EQ(getLe32(data(enhanced) + 108), 2u);
    EXPECT_EQ(data(enhanced)[112], 1);  // SATA
    const std::vector<uint8_t> legacy = scsi(kDrive1, 5);
    EXPECT_EQ(status(legacy), 0u);
    EXPECT_EQ(getLe32(data(legacy) + 108), 0u);
    // an unknown device fails in both forms
    EXPECT_EQ(status(scsi(0x55, 11)), 1u);
    EXPECT_EQ(status(scsi(0x55, 5)), 1u);
    const std::vector<uint8_t> size = scsi(kDrive1, 6);
    EXPECT_EQ(getLe32(data(size) + 16), 512u);
}

TEST_F(DriveRequestsAnswersTest, PasswordsAndSecurityRequests)
{
    // Drive request body: operation, flag at 8, handle at 12, password at 23.
    std::vector<uint8_t> body(56, 0);
    putLe32(body.data(), 12);
    putLe32(body.data() + 12, kDrive1);
    std::memcpy(body.data() + 23, "pw", 2);
    EXPECT_EQ(status(scsi(0, 52, body)), 0u);
    EXPECT_NE(line(1).find("ata_password=7077"), std::string::npos) << line(1);
    std::vector<uint8_t> security(8, 0);
    const std::vector<uint8_t> secured = scsi(kDrive1, 96, security);
    EXPECT_EQ(getLe32(data(secured) + 4), 1u);
    // a wrong password clears nothing
    putLe32(body.data(), 13);
    body[24] = 'x';
    EXPECT_EQ(status(scsi(0, 52, body)), 1u);
    body[24] = 'w';
    EXPECT_EQ(status(scsi(0, 52, body)), 0u);
    EXPECT_EQ(line(1).find("ata_password"), std::string::npos);
    EXPECT_EQ(getLe32(data(scsi(0x55, 96, security)) + 4), 2u);
}

TEST_F(DriveRequestsAnswersTest, JbodAndBlinkCommands)
{
    // Drive 1 holds slice 1.
    EXPECT_EQ(getLe32(ct(242, 1).data() + kPayload + 8), 403u);
    EXPECT_NE(line(1).find("jbod=1"), std::string::npos);
    EXPECT_EQ(getLe32(ct(243, 1).data() + kPayload + 8), 405u);
    EXPECT_EQ(line(1).find("jbod"), std::string::npos);
    EXPECT_EQ(getLe32(ct(242, 9).data() + kPayload + 8), 6u);
    ct(241, 1, kDrive1);
    EXPECT_NE(line(1).find("blink=1"), std::string::npos);
    ct(241, 0, kDrive1);
    EXPECT_EQ(line(1).find("blink"), std::string::npos);
}

// A controller passes through only a drive that serves nothing else, and
// takes back only a drive it passes through.
class JbodRefusalsTest : public DriveRequestsAnswersTest {
protected:
    JbodRefusalsTest()
    {
        extra_ = "drive2 = 0:2 sas 146G spare=global\ndrive3 = 0:3 sas 146G state=failed\n"
                 "drive4 = 0:4 sas 146G\nld0 = raid1 0:0,0:4\n";
    }
    uint32_t sliceOf(unsigned drive)
    {
        for (const DriveView& d : configurationOf(sim().controller(0)).drives)
            if (d.index == drive)
                return d.slice;
        return 0xFFFFFFFFu;
    }
    uint32_t jbod(bool create, unsigned drive)
    {
        return getLe32(ct(create ? 242 : 243, sliceOf(drive)).data() + kPayload + 8);
    }
};

TEST_F(JbodRefusalsTest, OnlyAFreeReadyDriveIsPassedThrough)
{
    const struct {
        const char* what;
        bool create;
        unsigned drive;
    } refused[] = {
        {"member of a logical drive", true, 0},
        {"global spare", true, 2},
        {"failed drive", true, 3},
        {"not passed through", false, 1},
    };
    for (const auto& k : refused) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(jbod(k.create, k.drive), 2u);
        EXPECT_EQ(line(k.drive).find("jbod"), std::string::npos);
    }
    EXPECT_EQ(jbod(true, 1), 403u);
    // Twice is refused and leaves it passed through.
    EXPECT_EQ(jbod(true, 1), 2u);
    EXPECT_NE(line(1).find("jbod=1"), std::string::npos);
}

TEST_F(DriveRequestsAnswersTest, SelfTestPagesOverTheCdbEngine)
{
    ControllerState& c = sim().controller(0);
    DeviceView d;
    auto run = [&](std::vector<uint8_t> cdb, uint8_t* out, size_t size) -> CdbResult {
        EXPECT_TRUE(readDevice("drive1", line(1), d));
        CdbResult r;
        bool changed = false;
        EXPECT_TRUE(runSelfTestCdb(c, d, cdb.data(), cdb.size(), out, size, r, &changed));
        return r;
    };
    uint8_t sense[32] = {};
    CdbResult r = run({0x1D, 0x40, 0, 0, 0, 0}, nullptr, 0);  // background extended test
    EXPECT_EQ(r.status, kScsiGood);
    c.clockMs += 300000;  // a quarter of twenty minutes
    r = run({0x03, 0, 0, 0, 32, 0}, sense, sizeof sense);
    EXPECT_EQ(r.transferred, 18u);
    EXPECT_EQ(sense[2], 2);
    EXPECT_EQ(sense[12], 0x04);
    EXPECT_EQ(sense[13], 0x09);
    EXPECT_EQ(sense[15], 0x80);
    EXPECT_EQ(sense[16] << 8 | sense[17], 0x4000);
    uint8_t page[256] = {};
    r = run({0x4D, 0, 0x50, 0, 0, 0, 0, 1, 0, 0}, page, sizeof page);
    EXPECT_EQ(r.transferred, 256u);
    EXPECT_EQ(page[0], 0x10);
    EXPECT_EQ(page[2] << 8 | page[3], 400);
    EXPECT_EQ(page[4 + 1], 1);        // parameter code 1, the latest
    EXPECT_EQ(page[4 + 4], 2 << 5 | 15);  // extended, in progress
    // a second test waits for the first
    r = run({0x1D, 0x20, 0, 0, 0, 0}, nullptr, 0);
    EXPECT_EQ(r.status, kScsiCheckCondition);
    c.clockMs += 900000;
    // once done, REQUEST SENSE is the plain engine's again
    ASSERT_TRUE(readDevice("drive1", line(1), d));
    CdbResult plain;
    bool changed = false;
    const uint8_t requestSense[6] = {0x03, 0, 0, 0, 32, 0};
    EXPECT_FALSE(runSelfTestCdb(c, d, requestSense, 6, sense, sizeof sense, plain, &changed));
    std::memset(page, 0, sizeof page);
    run({0x4D, 0, 0x50, 0, 0, 0, 0, 1, 0, 0}, page, sizeof page);
    EXPECT_EQ(page[4 + 4], 2 << 5 | 0);
}

}  // namespace
