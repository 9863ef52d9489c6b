#include "Command/Vyn/os/faux_char.h"
#include "FsaContextTest.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

using vyn::hostsim::Fault;

constexpr const char kTwoDrives[] =
    "adapters = 1\n"
    "[adapter0]\n"
    "drive0 = 0:0 sas 146G vendor=ACME product=BIGDISK serial=S123\n"
    "drive1 = 0:1 sata 500G state=failed\n";

class ScsiTest : public vyntest::FsaContextTest {
protected:
    FSAAPI_CONTEXT* start(const std::string& description)
    {
        startSimulator(description);
        FSAAPI_CONTEXT* ctx = openContext();
        sim().clearRequests();
        return ctx;
    }

    struct Outcome {
        FSA_STATUS status = 0;
        unsigned transferred = 0xDEAD;
        unsigned senseLength = 0xDEAD;
        unsigned scsiStatus = 0xDEAD;
        unsigned srbStatus = 0xDEAD;
        unsigned char data[64] = {};
        unsigned char sense[18] = {};
    };

    Outcome send(FSAAPI_CONTEXT* ctx, unsigned target, std::vector<unsigned char> cdb, unsigned dataLength,
                 FSA_SCSI_DATA_DIR direction, int wantSense = 1)
    {
        FSA_STORAGE_DEVICE device{};
        device.busNumber = 0;
        device.targetId = static_cast<uint8_t>(target);
        Outcome o;
        o.status = faos_SendScsiCommand(ctx, &device, static_cast<unsigned>(cdb.size()), cdb.data(), &o.transferred,
                                        dataLength ? o.data : nullptr, dataLength, direction, wantSense,
                                        &o.senseLength, o.sense, sizeof o.sense, &o.scsiStatus, &o.srbStatus);
        return o;
    }

    std::vector<std::string> requestsTo(const std::string& prefix)
    {
        std::vector<std::string> out;
        for (const std::string& line : sim().requestLines())
            if (line.compare(0, prefix.size(), prefix) == 0)
                out.push_back(line);
        return out;
    }

    static std::vector<unsigned char> inquiry(unsigned char length) { return {0x12, 0, 0, 0, length, 0}; }
};

TEST_F(ScsiTest, InquiryThroughTheGenericNodeOfChannelOne)
{
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    // The host's address of bus 0 target 0 is channel 1.
    EXPECT_TRUE(vyntest::fileExists(hostFile("/sys/class/scsi_device/1:1:0:0/device/generic/dev")));
    const Outcome o = send(ctx, 0, inquiry(36), 36, FSA_SCSI_DATA_IN);
    EXPECT_EQ(o.status, 1u);
    EXPECT_EQ(o.transferred, 36u);
    EXPECT_EQ(o.srbStatus, 1u);
    EXPECT_EQ(o.senseLength, 0u);
    EXPECT_EQ(o.scsiStatus, 0xDEADu);  // not written on this road
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(o.data + 8), 8), "ACME    ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(o.data + 16), 7), "BIGDISK");
    EXPECT_EQ(sim().requestLines(), std::vector<std::string>{"sg0 0x2285"});
}

TEST_F(ScsiTest, WithoutSysfsTheGenericNodesAreScannedByAddress)
{
    FSAAPI_CONTEXT* ctx = start(std::string(kTwoDrives) + "drive2 = 0:2 sas 146G vendor=THIRD\n");
    ASSERT_NE(ctx, nullptr);
    std::filesystem::remove_all(hostFile("/sys/class/scsi_device"));
    const Outcome o = send(ctx, 2, inquiry(36), 36, FSA_SCSI_DATA_IN);
    EXPECT_EQ(o.status, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(o.data + 8), 5), "THIRD");
    EXPECT_EQ(sim().requestLines(),
              (std::vector<std::string>{"sg0 0x2276", "sg1 0x2276", "sg2 0x2276", "sg2 0x2285"}));
}

TEST_F(ScsiTest, MaskedStatusGivesTheSrbStatus)
{
    struct Case {
        unsigned scsiStatus;
        unsigned srb;
    };
    const Case cases[] = {{0x00, 1}, {0x04, 1}, {0x10, 1}, {0x14, 1}, {0x08, 5},
                          {0x28, 5}, {0x22, 2}, {0x18, 4}, {0x02, 4}};
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scsiStatus);
        ASSERT_TRUE(sim().addFault(0, Fault{"cdb 0x00", "status = " + std::to_string(c.scsiStatus)}));
        const Outcome o = send(ctx, 0, {0, 0, 0, 0, 0, 0}, 0, FSA_SCSI_NO_DATA);
        EXPECT_EQ(o.status, 1u);
        EXPECT_EQ(o.srbStatus, c.srb);
    }
}

TEST_F(ScsiTest, SenseOfTheGenericRoad)
{
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"cdb 0x00", "sense = 2/0x04/0x01"}));
    const Outcome o = send(ctx, 0, {0, 0, 0, 0, 0, 0}, 0, FSA_SCSI_NO_DATA);
    EXPECT_EQ(o.status, 1u);
    EXPECT_EQ(o.srbStatus, 4u);
    EXPECT_EQ(o.senseLength, 18u);
    EXPECT_EQ(o.sense[2], 2);
    EXPECT_EQ(o.sense[12], 0x04);
    // An unknown command is refused by the device, not by the road.
    const Outcome bad = send(ctx, 0, {0xC7, 0, 0, 0, 0, 0}, 0, FSA_SCSI_NO_DATA);
    EXPECT_EQ(bad.status, 1u);
    EXPECT_EQ(bad.sense[12], 0x20);
}

TEST_F(ScsiTest, AtaPassThroughWithF4AlwaysTakesTheRawRequest)
{
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    std::vector<unsigned char> cdb(12, 0);
    cdb[0] = 0xA1;
    cdb[9] = 0xF4;
    // The reply names 30 sense bytes; the caller's buffer holds 18.
    ASSERT_TRUE(sim().addFault(0, Fault{"cdb 0xa1", "poke = 16:4=30"}));
    const Outcome o = send(ctx, 0, cdb, 16, FSA_SCSI_DATA_IN);
    EXPECT_EQ(o.status, 1u);
    EXPECT_EQ(o.scsiStatus, 2u);
    EXPECT_EQ(o.srbStatus, 4u);
    EXPECT_EQ(o.senseLength, 18u);
    EXPECT_EQ(o.sense[0], 0x70);
    EXPECT_EQ(o.sense[12], 0x20);
    EXPECT_TRUE(requestsTo("sg0 0x2285").empty());
    EXPECT_EQ(requestsTo("ulb0 0x4204c").size(), 1u);
}

TEST_F(ScsiTest, RawRequestCarriesDataAndReportsTheDevice)
{
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    // Without its generic node the device is reached through the controller.
    std::filesystem::remove_all(hostFile("/sys/class/scsi_device"));
    sim().io().unlink("/dev/sg0");
    sim().io().unlink("/dev/sg1");
    sim().clearRequests();
    const Outcome o = send(ctx, 0, inquiry(36), 36, FSA_SCSI_DATA_IN);
    EXPECT_EQ(o.status, 1u);
    EXPECT_EQ(o.transferred, 36u);
    EXPECT_EQ(o.scsiStatus, 0u);
    EXPECT_EQ(o.srbStatus, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(o.data + 8), 4), "ACME");
    // A failed drive does not answer: the firmware did not send the command.
    EXPECT_EQ(send(ctx, 1, inquiry(36), 36, FSA_SCSI_DATA_IN).status, 6u);
    // Data in without a buffer.
    EXPECT_EQ(send(ctx, 0, inquiry(36), 0, FSA_SCSI_DATA_IN).status, 7u);
}

TEST_F(ScsiTest, FailedDriveOnTheGenericRoadFallsBackToTheRawRequest)
{
    FSAAPI_CONTEXT* ctx = start(kTwoDrives);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(send(ctx, 1, inquiry(36), 36, FSA_SCSI_DATA_IN).status, 6u);
    EXPECT_EQ(sim().requestLines(), (std::vector<std::string>{"sg1 0x2285 errno=5", "ulb0 0x4204c"}));
}

TEST_F(ScsiTest, BadParametersAndAMissingRawRequest)
{
    FSAAPI_CONTEXT* ctx = start("adapters = 1\n[driver]\nraw_srb = 0\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(send(ctx, 0, inquiry(36), 36, FSA_SCSI_DATA_IN).status, 66u);
    sim().clearRequests();
    EXPECT_EQ(send(ctx, 0, std::vector<unsigned char>(17, 0), 0, FSA_SCSI_NO_DATA).status, 7u);
    EXPECT_TRUE(sim().requests().empty());
    // Sense wanted without a buffer.
    FSA_STORAGE_DEVICE device{};
    unsigned char cdb[6] = {};
    unsigned length = 0;
    EXPECT_EQ(faos_SendScsiCommand(ctx, &device, 6, cdb, nullptr, nullptr, 0, FSA_SCSI_NO_DATA, 1, &length, nullptr,
                                   18, nullptr, nullptr),
              7u);
    EXPECT_TRUE(sim().requests().empty());
}

}  // namespace
