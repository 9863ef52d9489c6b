// What a device's attachment and the adapter attributes read beyond the
// device records: the device-record fields set by drive pairs (CT 248), the
// RAID-6 drive-count tables (CT 219), the SAF-TE slot identify (class 12
// command 3) and the vendor bytes of the standard inquiry data.
#include "RawFibTest.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/state/Controller.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vyn::hostsim;

using vyntest::word;
using vyntest::setWord;
using vyntest::replyData;

class DeviceAttachTest : public vyntest::RawFibTest {
protected:
    void start(const std::string& description) { fd_ = openAdapter("hostsim.persist = 0\n" + description); }
    std::vector<uint8_t> ct(uint32_t code, uint32_t param, uint32_t capacity)
    {
        std::vector<uint8_t> fib = request(2, code);
        setWord(fib, 2, param);
        setWord(fib, 7, capacity);
        return send(fd_, fib);
    }

    int fd_ = -1;
};

TEST_F(DeviceAttachTest, DrivePairsSetTheDeviceRecordFieldsTheAttachmentReads)
{
    start("adapters = 1\n"
          "adapter0.drive0 = 0:0 sas 146G\n"
          "adapter0.drive1 = 0:1 sas 146G jbod=1 unsupported=0x6 fingerprint=0x1122334455667788 flagged=1\n"
          "adapter0.drive2 = 0:2 tape 1G\n");
    struct Case {
        uint32_t handle;
        uint8_t peripheral;
        uint32_t unsupported;
        bool flagged;
    };
    const Case cases[] = {
        // A disk the controller keeps for itself answers qualifier 1.
        {0, 0x20, 0, false},
        {1, 0x00, 6, true},
        // Other devices keep their plain peripheral type.
        {2, 0x01, 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.handle);
        const std::vector<uint8_t> fib = ct(248, k.handle, 440);
        ASSERT_EQ(word(fib, 2), 218u);
        const uint8_t* r = replyData(fib);
        EXPECT_EQ(r[80], k.peripheral);
        EXPECT_EQ(getLe32(r + 332), k.unsupported);
        EXPECT_EQ((r[69] & 0x08) != 0, k.flagged);
    }
    const std::vector<uint8_t> fib = ct(248, 1, 440);
    EXPECT_EQ(getLe32(replyData(fib) + 72), 0x55667788u);
    EXPECT_EQ(getLe32(replyData(fib) + 76), 0x11223344u);
}

TEST_F(DeviceAttachTest, Raid6DriveCountTablesAndTheirEntryCount)
{
    std::string many;
    for (int i = 0; i < 33; ++i)
        many += (i ? "," : "") + std::to_string(i) + ":1:4";
    struct Case {
        std::string keys;
        uint32_t count;
        std::vector<uint8_t> first;  // the first entry of each table
        std::vector<uint8_t> rsFirst;
    };
    const Case cases[] = {
        // The default record: entries by drive count, none for counts 0 to 3.
        {"", 32, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"adapter0.raid6_drive_counts = 3:1:16,4:2:32\n", 2, {3, 1, 16, 0}, {0, 0, 0, 0}},
        {"adapter0.raid6_drive_counts = 3:1:16\nadapter0.raid6_rs_drive_counts = 5:2:300,6:2:8,7:2:9\n", 3,
         {3, 1, 16, 0}, {5, 2, 0x2C, 0x01}},
        // A malformed entry is passed over.
        {"adapter0.raid6_drive_counts = 3:1,4:2:32\n", 1, {4, 2, 32, 0}, {0, 0, 0, 0}},
        // Thirty-three entries: the table holds thirty-two.
        {"adapter0.raid6_drive_counts = " + many + "\n", 32, {0, 1, 4, 0}, {0, 0, 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.keys);
        Description desc;
        std::string error;
        ASSERT_TRUE(desc.parse("adapters = 1\n" + k.keys, "test", error)) << error;
        const ControllerState c = ControllerState::fromDescription(desc, 0);
        ASSERT_EQ(c.raid6Options.size(), 340u);
        const uint8_t* r = c.raid6Options.data();
        EXPECT_EQ(getLe32(r + 12), k.count);
        EXPECT_EQ(std::vector<uint8_t>(r + 84, r + 88), k.first);
        EXPECT_EQ(std::vector<uint8_t>(r + 212, r + 216), k.rsFirst);
        // The state file keeps the tables in the record.
        Description again;
        ASSERT_TRUE(again.parse(c.toText(1), "state", error)) << error;
        EXPECT_EQ(ControllerState::fromDescription(again, 0).raid6Options, c.raid6Options);
    }
    // What CT 219 answers.
    start("adapters = 1\nadapter0.raid6_drive_counts = 3:1:16,4:2:32\n");
    const std::vector<uint8_t> fib = ct(219, 0, 448);
    EXPECT_EQ(getLe32(replyData(fib) + 12), 2u);
    EXPECT_EQ(replyData(fib)[88], 4);
}

TEST_F(DeviceAttachTest, SafteSlotIdentifyIsDoneWithoutEffect)
{
    start("adapters = 1\nadapter0.encl0 = safte 0:6 slots=4\nadapter0.drive0 = 0:0 sas 146G\n");
    for (uint32_t sub : {1026u, 1027u}) {
        SCOPED_TRACE(sub);
        std::vector<uint8_t> fib = request(12, 3u << 16 | sub);
        setWord(fib, 2, 0);
        setWord(fib, 3, 0);
        fib = send(fd_, fib);
        EXPECT_EQ(word(fib, 0), 0u);
    }
    // An unknown slot sub-command still answers the unknown status.
    std::vector<uint8_t> fib = request(12, 3u << 16 | 1028);
    EXPECT_NE(word(send(fd_, fib), 0), 0u);
}

TEST_F(DeviceAttachTest, InquiryVendorBytesComeFromTheDrivePairs)
{
    DeviceView plain, set;
    ASSERT_TRUE(readDevice("drive0", "0:0 sas 146G serial=S1", plain));
    ASSERT_TRUE(readDevice("drive1", "0:1 sas 146G serial=S1 inquiry36=4A31323334353637 "
                                     "inquiry96=000102030405060708090A0B0C0D0E0F101134324430343231",
                           set));
    const uint8_t cdb[6] = {0x12, 0, 0, 0, 128, 0};
    uint8_t data[128];

    std::memset(data, 0, sizeof data);
    runCdb(plain, cdb, sizeof cdb, data, sizeof data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 36, 20), "S1                  ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 96, 32), std::string(32, '\0'));

    std::memset(data, 0, sizeof data);
    runCdb(set, cdb, sizeof cdb, data, sizeof data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 36, 20), "J1234567            ");
    EXPECT_EQ(data[96], 0x00);
    EXPECT_EQ(data[111], 0x0F);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 114, 12), "42D0421     ");
    EXPECT_EQ(data[126], ' ');
}

TEST_F(DeviceAttachTest, ReadTenAnswersZerosWithinTheDrive)
{
    DeviceView drive;
    ASSERT_TRUE(readDevice("drive0", "0:0 sas 1M", drive));
    ASSERT_EQ(drive.blocks, 2048u);
    const struct {
        const char* what;
        uint32_t lba;
        uint16_t count;
        size_t room;
        uint8_t status;
        size_t transferred;
    } cases[] = {
        {"the spare test's read", 0, 100, 51200, kScsiGood, 51200},
        {"the last block", 2047, 1, 512, kScsiGood, 512},
        {"a buffer shorter than the read", 0, 4, 1000, kScsiGood, 1000},
        {"past the end", 2047, 2, 1024, kScsiCheckCondition, 0},
        {"far past the end", 0xFFFFFFFF, 1, 512, kScsiCheckCondition, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uint8_t cdb[10] = {0x28, 0, static_cast<uint8_t>(c.lba >> 24), static_cast<uint8_t>(c.lba >> 16),
                                 static_cast<uint8_t>(c.lba >> 8), static_cast<uint8_t>(c.lba), 0,
                                 static_cast<uint8_t>(c.count >> 8), static_cast<uint8_t>(c.count), 0};
        std::vector<uint8_t> data(c.room, 0xEE);
        const CdbResult r = runCdb(drive, cdb, sizeof cdb, data.data(), data.size());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.transferred, c.transferred);
        EXPECT_EQ(std::count(data.begin(), data.end(), 0), static_cast<long>(c.transferred));
        if (c.status == kScsiCheckCondition) {
            EXPECT_EQ(r.sense[2], 5);
            EXPECT_EQ(r.sense[12], 0x21);
        }
    }
}

}  // namespace
